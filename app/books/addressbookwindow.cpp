#include "app/books/addressbookwindow.h"

#include "addressbook/csvfile.h"
#include "app/form1.h"
#include "app/widgets/entryfield.h"
#include "app/platform/messagebox.h"
#include "platform/readfile.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include "platform/readfile.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {

using addressbook::AddressEntry;
using addressbook::Kind;

namespace {

// The list shows at most this many matches, most recently used first.
constexpr int kListedEntries = 50;
// Rows read between two turns of the event loop during an import.
constexpr int kImportRowsPerStep = 2000;
// An import stores its entries in pieces of one transaction each, sized to
// take about this long, so that the windows answer between the pieces.
constexpr double kImportPieceMs = 40;
constexpr int kFewestEntriesPerPiece = 50;
constexpr int kMostEntriesPerPiece = 5000;
// The import's progress: reading the file takes the first part of the bar.
constexpr int kProgressSteps = 1000;
constexpr double kReadingShare = 0.2;
// Entries a message names before it only counts the rest.
constexpr int kNamedInMessage = 10;

enum Column { NameColumn, PostalCodeColumn, AddressColumn, TelephoneColumn };

QString blockName(Kind kind) { return kind == Kind::Recipient ? QStringLiteral("お届け先") : QStringLiteral("ご依頼主"); }

QString addressLines(const waybill::Address& a) { return QStringList{a.line1, a.line2}.join(QLatin1Char(' ')).trimmed(); }

// What an entry is called in messages: its name, else its address.
QString titleOf(const waybill::Address& a)
{
    for (const QString& text : {a.name, addressLines(a), a.postalCode, a.telephone})
        if (!text.trimmed().isEmpty())
            return text.trimmed();
    return QStringLiteral("（空の住所）");
}

bool isBlank(const waybill::Address& a)
{
    for (const QString& text : {a.postalCode, a.line1, a.line2, a.name, a.careOf, a.telephone})
        if (!text.trimmed().isEmpty())
            return false;
    return true;
}

// The first few lines of a list, then how many more there are.
QString bulleted(const QStringList& lines)
{
    QStringList shown;
    for (const QString& line : lines.mid(0, kNamedInMessage))
        shown.append(QStringLiteral("・") + line);
    if (lines.size() > kNamedInMessage)
        shown.append(QStringLiteral("ほか%1件").arg(lines.size() - kNamedInMessage));
    return shown.join(QLatin1Char('\n'));
}

// Where the file dialogs start: the user's documents.
QString documentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

QPushButton* button(const QString& caption, QWidget* parent, const char* objectName)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAutoDefault(false);
    return b;
}

} // namespace

// ---- the edit dialog ----

AddressDialog::AddressDialog(const waybill::Address& address, std::function<bool(const waybill::Address&)> save, QWidget* parent)
    : QDialog(parent), m_save(std::move(save))
{
    setObjectName(QStringLiteral("AddressDialog"));
    setWindowTitle(QStringLiteral("住所の編集"));
    using EF = app::EntryField;
    struct Row {
        const char* label;
        EF::Kind kind;
        int limit;
        const QString* text;
    };
    const Row rows[6] = {{"郵便番号", EF::Kind::PostalCode, 7, &address.postalCode}, {"住所", EF::Kind::Text, 0, &address.line1},
                         {"住所（2行目）", EF::Kind::Text, 0, &address.line2},   {"名前", EF::Kind::Text, 0, &address.name},
                         {"様方", EF::Kind::Text, 0, &address.careOf},            {"電話番号", EF::Kind::Numbers, 0, &address.telephone}};
    auto* form = new QFormLayout;
    for (int i = 0; i < 6; ++i) {
        auto* field = new EF(rows[i].kind, this);
        field->setCharacterLimit(rows[i].limit);
        field->setFieldText(*rows[i].text);
        field->setMinimumWidth(i == 0 ? 120 : 320);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        m_fields[i] = field;
        form->addRow(QString::fromUtf8(rows[i].label) + QStringLiteral("："), field);
    }
    m_careOfShown = new QCheckBox(QStringLiteral("様方を印刷する"), this);
    m_careOfShown->setObjectName(QStringLiteral("careOfShown"));
    m_careOfShown->setChecked(address.careOfShown);
    form->addRow(QString(), m_careOfShown);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("保存"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

waybill::Address AddressDialog::address() const
{
    waybill::Address a;
    a.postalCode = m_fields[0]->text();
    a.line1 = m_fields[1]->text();
    a.line2 = m_fields[2]->text();
    a.name = m_fields[3]->text();
    a.careOf = m_fields[4]->text();
    a.careOfShown = m_careOfShown->isChecked();
    a.telephone = m_fields[5]->text();
    return a;
}

void AddressDialog::accept()
{
    if (m_save(address()))
        QDialog::accept();
}

// ---- the window ----

AddressBookWindow::AddressBookWindow(Form1& form, Services& services)
    : QWidget(&form, Qt::Window), m_form(form), m_services(services)
{
    setObjectName(QStringLiteral("AddressBookWindow"));
    setWindowTitle(QStringLiteral("住所録 - ホルテア"));
    resize(780, 500);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setFrameShape(QFrame::StyledPanel);
    m_problem->setStyleSheet(QStringLiteral("QLabel { background: #fff4d6; padding: 6px; }"));
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_retry = button(QStringLiteral("もう一度開く"), this, "retry");
    m_retry->setToolTip(QStringLiteral("住所録のファイルをもう一度開いてみます（ほかのプログラムが使い終わったときなど）"));
    auto* problemRow = new QHBoxLayout;
    problemRow->addWidget(m_problem, 1);
    problemRow->addWidget(m_retry, 0, Qt::AlignTop);
    m_problem->hide();
    m_retry->hide();

    m_kinds = new QTabBar(this);
    m_kinds->setObjectName(QStringLiteral("kinds"));
    m_kinds->addTab(blockName(Kind::Recipient)); // tab index = Kind
    m_kinds->addTab(blockName(Kind::Sender));
    m_kinds->setDrawBase(false);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("名前・電話番号・郵便番号・住所の一部を入力して探す"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    auto* searchLabel = new QLabel(QStringLiteral("探す："), this);
    searchLabel->setBuddy(m_search);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 1);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("entries"));
    m_list->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("郵便番号"), QStringLiteral("住所"), QStringLiteral("電話番号")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(AddressColumn, QHeaderView::Stretch);
    m_list->setColumnWidth(NameColumn, 170);
    m_list->setColumnWidth(PostalCodeColumn, 80);
    m_list->setColumnWidth(TelephoneColumn, 120);
    m_list->installEventFilter(this);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hint"));

    m_toRecipient = button(QStringLiteral("お届け先に入れる"), this, "toRecipient");
    m_toRecipient->setToolTip(QStringLiteral("選んだ住所を、メイン画面のお届け先の欄に入れます"));
    m_toSender = button(QStringLiteral("ご依頼主に入れる"), this, "toSender");
    m_toSender->setToolTip(QStringLiteral("選んだ住所を、メイン画面のご依頼主の欄に入れます"));
    m_edit = button(QStringLiteral("編集…"), this, "edit");
    m_remove = button(QStringLiteral("削除…"), this, "remove");
    auto* saveRecipient = button(QStringLiteral("この画面のお届け先を登録"), this, "saveRecipient");
    saveRecipient->setToolTip(QStringLiteral("メイン画面のお届け先の欄に入っている住所を、住所録に登録します"));
    auto* saveSender = button(QStringLiteral("この画面のご依頼主を登録"), this, "saveSender");
    saveSender->setToolTip(QStringLiteral("メイン画面のご依頼主の欄に入っている住所を、住所録に登録します"));
    auto* importButton = button(QStringLiteral("読み込み…"), this, "import");
    importButton->setToolTip(QStringLiteral("CSVファイルの住所を住所録に登録します"));
    auto* exportButton = button(QStringLiteral("書き出し…"), this, "export");
    exportButton->setToolTip(QStringLiteral("住所録のすべての住所をCSVファイルに書き出します"));
    auto* closeButton = button(QStringLiteral("閉じる"), this, "close");

    auto* chosenRow = new QHBoxLayout;
    chosenRow->addWidget(m_toRecipient);
    chosenRow->addWidget(m_toSender);
    chosenRow->addStretch(1);
    chosenRow->addWidget(m_edit);
    chosenRow->addWidget(m_remove);
    auto* bookRow = new QHBoxLayout;
    bookRow->addWidget(saveRecipient);
    bookRow->addWidget(saveSender);
    bookRow->addStretch(1);
    bookRow->addWidget(importButton);
    bookRow->addWidget(exportButton);
    bookRow->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(problemRow);
    layout->addWidget(m_kinds);
    layout->addLayout(searchRow);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_hint);
    layout->addLayout(chosenRow);
    layout->addLayout(bookRow);

    connect(m_kinds, &QTabBar::currentChanged, this, [this] {
        m_hint->setText(QStringLiteral("Enterキーまたはダブルクリックで、選んだ住所を%1に入れます。").arg(blockName(kind())));
        search();
    });
    connect(m_search, &QLineEdit::textChanged, this, &AddressBookWindow::search);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { fill(int(kind())); });
    // Focus alone makes an item current without choosing it; buttons follow the choice.
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &AddressBookWindow::updateButtons);
    connect(m_toRecipient, &QPushButton::clicked, this, &AddressBookWindow::fillRecipient);
    connect(m_toSender, &QPushButton::clicked, this, &AddressBookWindow::fillSender);
    connect(m_edit, &QPushButton::clicked, this, &AddressBookWindow::editChosen);
    connect(m_remove, &QPushButton::clicked, this, &AddressBookWindow::removeChosen);
    connect(saveRecipient, &QPushButton::clicked, this, &AddressBookWindow::saveRecipientOfWindow);
    connect(saveSender, &QPushButton::clicked, this, &AddressBookWindow::saveSenderOfWindow);
    connect(importButton, &QPushButton::clicked, this, &AddressBookWindow::chooseImportFile);
    connect(exportButton, &QPushButton::clicked, this, &AddressBookWindow::chooseExportFile);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_retry, &QPushButton::clicked, this, &AddressBookWindow::retryDatabase);
    m_needingTheBook = {saveRecipient, saveSender, importButton, exportButton};
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    m_hint->setText(QStringLiteral("Enterキーまたはダブルクリックで、選んだ住所を%1に入れます。").arg(blockName(kind())));
    updateButtons();
}

Kind AddressBookWindow::kind() const { return m_kinds->currentIndex() == int(Kind::Sender) ? Kind::Sender : Kind::Recipient; }

void AddressBookWindow::setKind(Kind kind) { m_kinds->setCurrentIndex(int(kind)); }

void AddressBookWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_deferMessages = true;
    search(); // the database is opened here, at the window's first use
    m_deferMessages = false;
    m_search->setFocus();
}

bool AddressBookWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    // From the search field down into the list, its first entry chosen.
    if (watched == m_search && (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) && !m_shown.isEmpty()) {
        m_list->setFocus();
        if (!chosenEntry())
            choose(0);
        return true;
    }
    if (watched == m_list && key == Qt::Key_Delete && chosenEntry()) {
        removeChosen();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

std::optional<AddressEntry> AddressBookWindow::chosenEntry() const
{
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    if (row < 0 || row >= m_shown.size() || !m_list->currentItem()->isSelected())
        return std::nullopt;
    return m_shown[row];
}

void AddressBookWindow::choose(int row)
{
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
        m_list->setCurrentItem(item);
}

QString AddressBookWindow::statusText() const { return m_status->text(); }

QString AddressBookWindow::problemText() const { return m_problem->isHidden() ? QString() : m_problem->text(); }

void AddressBookWindow::search()
{
    showEntries(m_services.session.addressBook().search(kind(), m_search->text(), kListedEntries), kListedEntries);
    tellStorageProblem();
}

void AddressBookWindow::showEntries(const QList<AddressEntry>& entries, int limit)
{
    m_shown = entries;
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const AddressEntry& e : entries) {
        const waybill::Address& a = e.address;
        auto* item = new QTreeWidgetItem({a.name, a.postalCode, addressLines(a), a.telephone});
        QStringList whole{a.postalCode, a.line1, a.line2, a.name};
        if (!a.careOf.isEmpty())
            whole.append(a.careOf + (a.careOfShown ? QString() : QStringLiteral("（様方は印刷しない）")));
        whole.append(a.telephone);
        whole.removeAll(QString());
        item->setToolTip(AddressColumn, whole.join(QLatin1Char('\n')));
        item->setToolTip(NameColumn, whole.join(QLatin1Char('\n')));
        items.append(item);
    }
    m_list->addTopLevelItems(items);

    const QString typed = m_search->text().trimmed();
    if (entries.isEmpty() && typed.isEmpty())
        m_status->setText(QStringLiteral("%1はまだ登録されていません。メイン画面に入っている住所は「この画面の%1を登録」で登録できます。")
                              .arg(blockName(kind())));
    else if (entries.isEmpty())
        m_status->setText(QStringLiteral("「%1」を含む%2は見つかりませんでした。").arg(typed, blockName(kind())));
    else if (entries.size() >= limit && typed.isEmpty())
        m_status->setText(QStringLiteral("最近使った%1件を表示しています。名前・電話番号・郵便番号・住所の一部を入力すると、ほかの住所も探せます。")
                              .arg(entries.size()));
    else if (entries.size() >= limit)
        m_status->setText(QStringLiteral("たくさん見つかったため、最近使った%1件だけを表示しています。文字を足すと絞り込めます。").arg(entries.size()));
    else if (typed.isEmpty())
        m_status->setText(QStringLiteral("%1件（最近使った順）").arg(entries.size()));
    else
        m_status->setText(QStringLiteral("%1件見つかりました（最近使った順）").arg(entries.size()));
    updateButtons();
}

bool AddressBookWindow::select(qint64 id)
{
    for (int row = 0; row < m_shown.size(); ++row)
        if (m_shown[row].id == id) {
            choose(row);
            return true;
        }
    return false;
}

void AddressBookWindow::updateButtons()
{
    const bool chosen = chosenEntry().has_value();
    for (QPushButton* b : {m_toRecipient, m_toSender, m_edit, m_remove})
        b->setEnabled(chosen);
}

void AddressBookWindow::fillRecipient() { fill(int(Kind::Recipient)); }
void AddressBookWindow::fillSender() { fill(int(Kind::Sender)); }

void AddressBookWindow::fill(int block)
{
    const auto entry = chosenEntry();
    if (!entry)
        return;
    const Kind into = Kind(block);
    m_form.fillAddress(into == Kind::Recipient ? Form1::AddressBlock::Recipient : Form1::AddressBlock::Sender, entry->address);
    m_services.session.addressBook().markUsed(entry->id);
    m_status->setText(QStringLiteral("「%1」をメイン画面の%2に入れました。").arg(titleOf(entry->address), blockName(into)));
    tellStorageProblem();
}

void AddressBookWindow::saveRecipientOfWindow() { saveOfWindow(Kind::Recipient); }
void AddressBookWindow::saveSenderOfWindow() { saveOfWindow(Kind::Sender); }

void AddressBookWindow::saveOfWindow(Kind kind)
{
    const waybill::Waybill w = m_form.readWaybill();
    const waybill::Address& address = kind == Kind::Recipient ? w.recipient : w.sender;
    if (isBlank(address)) {
        platform::inform(m_services.messages, this,
                         QStringLiteral("メイン画面の%1の欄が空のため、登録するものがありません。").arg(blockName(kind)));
        return;
    }
    const auto id = m_services.session.addressBook().save(kind, address);
    if (!id) {
        tellStorageProblem(QStringLiteral("%1を登録できませんでした。メイン画面の内容はそのままです。").arg(blockName(kind)));
        return;
    }
    setKind(kind);
    m_search->clear();
    search();
    select(*id);
    m_status->setText(QStringLiteral("「%1」を%2として登録しました。").arg(titleOf(address), blockName(kind)));
}

void AddressBookWindow::editChosen()
{
    const auto entry = chosenEntry();
    if (!entry)
        return;
    std::optional<qint64> kept;
    AddressDialog dialog(
        entry->address,
        [&](const waybill::Address& changed) {
            kept = m_services.session.addressBook().edit(entry->id, changed);
            if (!kept)
                tellStorageProblem(QStringLiteral("変更を保存できませんでした。入力した内容はこの画面に残っています。"));
            return kept.has_value();
        },
        this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    search();
    // An entry edited away from the search stays in view.
    if (!select(*kept)) {
        m_search->setText(titleOf(dialog.address()));
        select(*kept);
    }
    m_status->setText(QStringLiteral("「%1」を変更しました。").arg(titleOf(dialog.address())));
}

void AddressBookWindow::removeChosen()
{
    const auto entry = chosenEntry();
    if (!entry)
        return;
    const auto answer = m_services.messages.show(
        this, {QStringLiteral("「%1」を住所録から削除しますか？\n\n%2").arg(titleOf(entry->address), addressLines(entry->address)),
               platform::MsgIcon::Question, platform::MsgButtons::YesNo, platform::MsgAnswer::No, std::nullopt});
    if (answer != platform::MsgAnswer::Yes)
        return;
    if (!m_services.session.addressBook().remove(entry->id)) {
        tellStorageProblem(QStringLiteral("削除できませんでした。"));
        return;
    }
    search();
    m_status->setText(QStringLiteral("「%1」を削除しました。").arg(titleOf(entry->address)));
}

bool AddressBookWindow::exportTo(const QString& path, csv::Encoding encoding)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        platform::warn(m_services.messages, this,
                       QStringLiteral("「%1」に書き出せません（%2）。保存する場所か名前を変えてください。").arg(shownPath, file.errorString()));
        return false;
    }
    const addressbook::CsvExport result = addressbook::writeCsv(m_services.session.addressBook(), file, encoding);
    if (!result.ok) {
        file.cancelWriting();
        tellStorageProblem(QStringLiteral("「%1」に書き出せませんでした。%2").arg(shownPath, result.errorText));
        return false;
    }
    if (!result.unwritable.isEmpty()) {
        file.cancelWriting();
        QStringList named;
        for (const addressbook::UnwritableEntry& e : result.unwritable)
            named.append(QStringLiteral("%1（%2）").arg(titleOf(e.address), e.characters));
        const auto answer = m_services.messages.show(
            this, {QStringLiteral("次の%1件は、%2にない文字を含むため、この形式では書き出せません。\n\n%3\n\n"
                                  "UTF-8（BOM付き）で書き出しますか？ UTF-8ならすべての文字をそのまま書き出せ、Excelでもそのまま開けます。"
                                  "「いいえ」を選ぶと何も書き出しません。")
                       .arg(result.unwritable.size())
                       .arg(csv::displayName(encoding), bulleted(named)),
                   platform::MsgIcon::Question, platform::MsgButtons::YesNo, platform::MsgAnswer::Yes, std::nullopt});
        if (answer == platform::MsgAnswer::Yes)
            return exportTo(path, csv::Encoding::Utf8);
        m_status->setText(QStringLiteral("書き出しをやめました。"));
        return false;
    }
    if (!file.commit()) {
        platform::warn(m_services.messages, this,
                       QStringLiteral("「%1」を保存できませんでした（%2）。空き容量と、その場所に書き込めるかを確かめてください。")
                           .arg(shownPath, file.errorString()));
        return false;
    }
    m_status->setText(QStringLiteral("%1件を「%2」に書き出しました（%3）。").arg(result.written).arg(shownPath, csv::displayName(encoding)));
    return true;
}

bool AddressBookWindow::importFrom(const QString& path)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    QFile file(path);
    QString systemError;
    if (const auto kind = platform::openRegularFile(file, &systemError); kind != platform::FileKind::Regular) {
        platform::warn(m_services.messages, this, platform::notReadableText(kind, path, QStringLiteral("住所録のファイル"), systemError));
        return false;
    }
    addressbook::CsvReading reading(file);
    if (!reading.start()) {
        platform::warn(m_services.messages, this, QStringLiteral("「%1」を読み込めません。\n\n%2").arg(shownPath, reading.errorText()));
        return false;
    }
    // Read whole first, so that a file that breaks off part way stores nothing.
    QProgressDialog progress(QStringLiteral("「%1」を読み込んでいます…").arg(QFileInfo(path).fileName()), QStringLiteral("中止"), 0,
                             kProgressSteps, this);
    progress.setWindowTitle(QStringLiteral("住所録の読み込み"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setValue(0);
    while (!reading.readMore(kImportRowsPerStep)) {
        progress.setValue(int(reading.progress() * kReadingShare * kProgressSteps));
        QCoreApplication::processEvents();
        if (progress.wasCanceled()) {
            m_status->setText(QStringLiteral("読み込みを中止しました。住所録は変わっていません。"));
            return false;
        }
    }
    if (!reading.errorText().isEmpty()) {
        progress.close();
        platform::warn(m_services.messages, this,
                       QStringLiteral("「%1」を最後まで読めなかったため、何も登録していません。\n\n%2").arg(shownPath, reading.errorText()));
        return false;
    }
    const QList<addressbook::ImportEntry>& entries = reading.entries();
    if (entries.isEmpty()) {
        progress.close();
        platform::warn(m_services.messages, this,
                       QStringLiteral("「%1」には登録できる行がありませんでした。\n\n%2").arg(shownPath, bulleted(reading.skippedRows())));
        return false;
    }

    // Stored a piece at a time, each piece in one transaction, so that the
    // windows answer and prints are recorded in between. A piece that fails
    // stores nothing of itself; the pieces before stay, and reading the same
    // file again stores the rest, as identical addresses are merged.
    addressbook::ImportResult stored;
    bool failed = false, cancelled = false;
    int pieceEntries = kFewestEntriesPerPiece;
    for (qsizetype done = 0; done < entries.size();) {
        progress.setLabelText(QStringLiteral("住所録に登録しています…（%1件のうち%2件）").arg(entries.size()).arg(done));
        progress.setValue(int((kReadingShare + (1 - kReadingShare) * double(done) / double(entries.size())) * kProgressSteps));
        QCoreApplication::processEvents();
        if (progress.wasCanceled()) {
            cancelled = true;
            break;
        }
        const qsizetype count = std::min<qsizetype>(pieceEntries, entries.size() - done);
        QElapsedTimer pieceTime;
        pieceTime.start();
        const auto piece = m_services.session.addressBook().importEntries(entries.mid(done, count));
        if (!piece) {
            failed = true;
            break;
        }
        stored.added += piece->added;
        stored.merged += piece->merged;
        done += count;
        // The next piece as large as fits the time of one.
        const double ms = std::max<double>(1.0, double(pieceTime.nsecsElapsed()) / 1e6);
        pieceEntries = std::clamp<int>(int(double(count) * kImportPieceMs / ms), kFewestEntriesPerPiece, kMostEntriesPerPiece);
    }
    progress.close();
    const int storedCount = stored.added + stored.merged;
    const QString again = QStringLiteral("同じファイルをもう一度読み込むと、残りを登録できます（登録済みの住所が二重になることはありません）。");
    if (failed) {
        tellStorageProblem(QStringLiteral("「%1」の%2件のうち、%3件を登録したところで登録できなくなりました。%4")
                               .arg(shownPath)
                               .arg(entries.size())
                               .arg(storedCount)
                               .arg(storedCount > 0 ? again : QStringLiteral("住所録は変わっていません。")));
        search();
        return false;
    }
    search();
    if (cancelled) {
        m_status->setText(QStringLiteral("%1件のうち%2件を登録したところで中止しました。%3")
                              .arg(entries.size())
                              .arg(storedCount)
                              .arg(storedCount > 0 ? again : QStringLiteral("住所録は変わっていません。")));
        return false;
    }
    QString said = QStringLiteral("%1件を読み込みました。新しく登録した住所が%2件、すでに登録されていた住所が%3件です。")
                       .arg(storedCount)
                       .arg(stored.added)
                       .arg(stored.merged);
    if (!reading.skippedRows().isEmpty())
        said += QStringLiteral("\n\n次の%1行は読み込んでいません。\n%2").arg(reading.skippedRows().size()).arg(bulleted(reading.skippedRows()));
    m_status->setText(QStringLiteral("「%1」から%2件を読み込みました。").arg(shownPath).arg(storedCount));
    platform::inform(m_services.messages, this, said);
    return true;
}

void AddressBookWindow::chooseExportFile()
{
    const QString utf8 = QStringLiteral("CSV（UTF-8、BOM付き） (*.csv)");
    const QString cp932 = QStringLiteral("CSV（Shift_JIS／CP932） (*.csv)");
    QString chosenFilter = utf8;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("住所録の書き出し"),
                                                QDir(documentsFolder()).filePath(QStringLiteral("住所録.csv")),
                                                utf8 + QStringLiteral(";;") + cp932, &chosenFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    exportTo(path, chosenFilter == cp932 ? csv::Encoding::Cp932 : csv::Encoding::Utf8);
}

void AddressBookWindow::chooseImportFile()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("住所録の読み込み"), documentsFolder(),
                                                      QStringLiteral("CSVファイル (*.csv *.txt);;すべてのファイル (*)"));
    if (!path.isEmpty())
        importFrom(path);
}

void AddressBookWindow::retryDatabase()
{
    m_services.session.database().retryOpen();
    search();
}

void AddressBookWindow::tellStorageProblem(const QString& lead)
{
    const auto problem = m_services.session.takeStorageProblem();
    const QString said = problem ? (lead.isEmpty() ? *problem : lead + QStringLiteral("\n\n") + *problem) : lead;
    if (!said.isEmpty()) {
        if (m_deferMessages)
            QTimer::singleShot(0, this, [this, said] { platform::warn(m_services.messages, this, said); });
        else
            platform::warn(m_services.messages, this, said);
    }
    const storage::Database& db = m_services.session.database();
    const bool unusable = !db.isOpen() && db.lastProblem() && !db.lastProblem()->databaseUsable;
    if (unusable) {
        m_problem->setText(QStringLiteral("住所録のファイルを使えないため、住所の登録も検索もできません。印刷はこれまでどおりできます。\n%1")
                               .arg(db.lastProblem()->message));
        m_status->clear();
    }
    m_problem->setVisible(unusable);
    m_retry->setVisible(unusable);
    for (QPushButton* b : m_needingTheBook)
        b->setEnabled(!unusable);
}

AddressBookWindow* showAddressBook(Form1& form, Services& services)
{
    auto* window = form.findChild<AddressBookWindow*>(QStringLiteral("AddressBookWindow"), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new AddressBookWindow(form, services);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace app
