#include "app/books/addressbookwindow.h"

#include "addressbook/csvfile.h"
#include "addressbook/importfile.h"
#include "app/books/addressdialog.h"
#include "app/books/bookwidgets.h"
#include "app/desktop/filedialogs.h"
#include "app/desktop/ime.h"
#include "app/desktop/messagebox.h"
#include "app/goods/goodstablewindow.h"
#include "app/storage/storagedialog.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/elidedtips.h"
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"
#include "entry/textrules.h"
#include "postal/postalcode.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
// Steps of the import's progress bar.
constexpr int kProgressSteps = 1000;
// Entries a message names before it only counts the rest.
constexpr int kNamedInMessage = 10;
// No column but the address grows wider than this many characters.
constexpr double kWidestColumn_em = 14;

enum Column { NameColumn, ReadingColumn, PostalCodeColumn, AddressColumn, TelephoneColumn };

QString blockName(Kind kind)
{
    return kind == Kind::Recipient ? QStringLiteral("お届け先") : QStringLiteral("ご依頼主");
}

QString addressLines(const waybill::Address& a)
{
    return QStringList{a.line1, a.line2}.join(QLatin1Char(' ')).trimmed();
}

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

// The reading of a name about to be saved, in a small dialog of its own.
std::optional<QString> askReading(const QString& name, const QString& offered, QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ReadingDialog"));
    dialog.setWindowTitle(QStringLiteral("フリガナ"));
    auto* said = new QLabel(
        QStringLiteral("%1のフリガナ（読み）を入れてください。住所録では読みでも探せます。空のままでも登録できます。")
            .arg(name.isEmpty() ? QStringLiteral("名前") : QStringLiteral("「%1」").arg(name)),
        &dialog);
    said->setWordWrap(true);
    auto* field = new QLineEdit(offered, &dialog);
    field->setObjectName(QStringLiteral("reading"));
    desktop::applyImeMode(field, desktop::ImeMode::Hiragana);
    field->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("登録"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(said);
    layout->addWidget(field);
    layout->addWidget(buttons);
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return entry::flattenLineBreaks(field->text()).trimmed();
}

} // namespace

AddressBookWindow::AddressBookWindow(WaybillWindow& window, Services& services)
    : QWidget(&window, Qt::Window), m_window(window), m_services(services)
{
    setObjectName(QStringLiteral("AddressBookWindow"));
    setWindowTitle(QStringLiteral("住所録 - ホルテア"));
    resize(780, 500);

    m_problem = new StorageProblemBanner(
        QStringLiteral("住所録の%1を使えないため、住所の登録も検索もできません。印刷はこれまでどおりできます。")
            .arg(services.station.database().engine() == storage::Engine::Postgres ? QStringLiteral("サーバー")
                                                                                   : QStringLiteral("ファイル")),
        true, this);

    m_kinds = new QTabBar(this);
    m_kinds->setObjectName(QStringLiteral("kinds"));
    m_kinds->addTab(blockName(Kind::Recipient)); // tab index = Kind
    m_kinds->addTab(blockName(Kind::Sender));
    m_kinds->setDrawBase(false);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("名前・フリガナ・電話番号・郵便番号・住所の一部を入力して探す"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    auto* searchLabel = new QLabel(QStringLiteral("探す："), this);
    searchLabel->setBuddy(m_search);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 1);

    m_list = makeEntryList({QStringLiteral("名前"), QStringLiteral("フリガナ"), QStringLiteral("郵便番号"),
                            QStringLiteral("住所"), QStringLiteral("電話番号")},
                           AddressColumn, this);
    m_list->setObjectName(QStringLiteral("entries"));
    m_list->installEventFilter(this);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hint"));

    m_toRecipient = bookButton(QStringLiteral("お届け先に入れる"), this, "toRecipient");
    m_toRecipient->setToolTip(QStringLiteral("選んだ住所を、メイン画面のお届け先の欄に入れます"));
    m_toSender = bookButton(QStringLiteral("ご依頼主に入れる"), this, "toSender");
    m_toSender->setToolTip(QStringLiteral("選んだ住所を、メイン画面のご依頼主の欄に入れます"));
    m_edit = bookButton(QStringLiteral("編集…"), this, "edit");
    m_remove = bookButton(QStringLiteral("削除…"), this, "remove");
    auto* saveRecipient = bookButton(QStringLiteral("この画面のお届け先を登録"), this, "saveRecipient");
    saveRecipient->setToolTip(QStringLiteral("メイン画面のお届け先の欄に入っている住所を、住所録に登録します"));
    auto* saveSender = bookButton(QStringLiteral("この画面のご依頼主を登録"), this, "saveSender");
    saveSender->setToolTip(QStringLiteral("メイン画面のご依頼主の欄に入っている住所を、住所録に登録します"));
    auto* importButton = bookButton(QStringLiteral("読み込み…"), this, "import");
    importButton->setToolTip(QStringLiteral("CSVファイルの住所を住所録に登録します"));
    auto* exportButton = bookButton(QStringLiteral("書き出し…"), this, "export");
    exportButton->setToolTip(QStringLiteral("住所録のすべての住所をCSVファイルに書き出します"));
    auto* storageButton = bookButton(QStringLiteral("データの保存先…"), this, "storage");
    storageButton->setToolTip(
        QStringLiteral("住所録と印刷履歴を、このPCに置くか、何台かの作業台で共有するサーバーに置くかを決めます"));
    auto* goodsButton = bookButton(QStringLiteral("品名の置き換え…"), this, "goodsTable");
    goodsButton->setToolTip(
        QStringLiteral("注文一覧の商品コードや商品名を、送り状に印刷する短い品名に置き換える表を開きます"));
    auto* closeButton = bookButton(QStringLiteral("閉じる"), this, "close");

    auto* chosenRow = new QHBoxLayout;
    chosenRow->addWidget(m_toRecipient);
    chosenRow->addWidget(m_toSender);
    chosenRow->addStretch(1);
    chosenRow->addWidget(goodsButton);
    chosenRow->addWidget(m_edit);
    chosenRow->addWidget(m_remove);
    // Three short rows, so the window fits beside the block it fills on a
    // small screen.
    auto* bookRow = new QHBoxLayout;
    bookRow->addWidget(saveRecipient);
    bookRow->addWidget(saveSender);
    bookRow->addStretch(1);
    bookRow->addWidget(closeButton);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(importButton);
    fileRow->addWidget(exportButton);
    fileRow->addStretch(1);
    fileRow->addWidget(storageButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_problem);
    layout->addWidget(m_kinds);
    layout->addLayout(searchRow);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_hint);
    layout->addLayout(chosenRow);
    layout->addLayout(bookRow);
    layout->addLayout(fileRow);

    connect(m_kinds, &QTabBar::currentChanged, this, [this] {
        m_hint->setText(
            QStringLiteral("Enterキーまたはダブルクリックで、選んだ住所を%1に入れます。").arg(blockName(kind())));
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
    connect(storageButton, &QPushButton::clicked, this, [this] {
        if (chooseStorage(*this, m_services))
            search(); // the book of the new place, at once
    });
    connect(goodsButton, &QPushButton::clicked, this, [this] {
        if (!m_goodsTable)
            m_goodsTable = new GoodsTableWindow(m_services.station.database(), this);
        m_goodsTable->show();
        m_goodsTable->raise();
        m_goodsTable->activateWindow();
    });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_problem, &StorageProblemBanner::retryRequested, this, &AddressBookWindow::retryDatabase);
    m_needingTheBook = {saveRecipient, saveSender, importButton, exportButton};
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    m_hint->setText(
        QStringLiteral("Enterキーまたはダブルクリックで、選んだ住所を%1に入れます。").arg(blockName(kind())));
    m_askReading = [this](const QString& name, const QString& offered) { return askReading(name, offered, this); };
    updateButtons();
}

Kind AddressBookWindow::kind() const
{
    return m_kinds->currentIndex() == int(Kind::Sender) ? Kind::Sender : Kind::Recipient;
}

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
    // From the search field down into the list, its first entry chosen;
    // Enter puts that entry back at once, as it does in the list.
    if (watched == m_search && (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) &&
        !m_shown.isEmpty()) {
        if (!chosenEntry())
            choose(0);
        if (key == Qt::Key_Down)
            m_list->setFocus();
        else
            fill(int(kind()));
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
    const int row = chosenRow(*m_list);
    return row >= 0 && row < m_shown.size() ? std::optional(m_shown[row]) : std::nullopt;
}

void AddressBookWindow::choose(int row) { chooseRow(*m_list, row); }

QString AddressBookWindow::statusText() const { return m_status->text(); }

QString AddressBookWindow::problemText() const { return m_problem->text(); }

void AddressBookWindow::search()
{
    storage::ProblemsMet problems(m_services.station.database());
    showEntries(m_services.station.addressBook().search(kind(), m_search->text(), kListedEntries), kListedEntries);
    tellStorageProblem(problems);
}

void AddressBookWindow::showEntries(const QList<AddressEntry>& entries, int limit)
{
    m_shown = entries;
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const AddressEntry& e : entries) {
        const waybill::Address& a = e.address;
        auto* item = new QTreeWidgetItem(
            {a.name, e.reading, postal::codeForReading(a.postalCode), addressLines(a), a.telephone});
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
    fitColumnsToContents(*m_list, *m_list->header(), AddressColumn, kWidestColumn_em);

    const QString typed = m_search->text().trimmed();
    if (entries.isEmpty() && typed.isEmpty())
        m_status->setText(
            QStringLiteral(
                "%1はまだ登録されていません。メイン画面に入っている住所は「この画面の%1を登録」で登録できます。")
                .arg(blockName(kind())));
    else if (entries.isEmpty())
        m_status->setText(QStringLiteral("「%1」を含む%2は見つかりませんでした。").arg(typed, blockName(kind())));
    else if (entries.size() >= limit && typed.isEmpty())
        m_status->setText(
            QStringLiteral(
                "最近使った%1件を表示しています。名前・電話番号・郵便番号・住所の一部を入力すると、ほかの住所も探せます。")
                .arg(entries.size()));
    else if (entries.size() >= limit)
        m_status->setText(
            QStringLiteral("たくさん見つかったため、最近使った%1件だけを表示しています。文字を足すと絞り込めます。")
                .arg(entries.size()));
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
    m_window.fillAddress(into == Kind::Recipient ? AddressBlock::Recipient : AddressBlock::Sender, entry->address);
    storage::ProblemsMet problems(m_services.station.database());
    m_services.station.addressBook().markUsed(entry->id);
    m_status->setText(
        QStringLiteral("「%1」をメイン画面の%2に入れました。").arg(titleOf(entry->address), blockName(into)));
    tellStorageProblem(problems);
}

void AddressBookWindow::saveRecipientOfWindow() { saveOfWindow(Kind::Recipient); }
void AddressBookWindow::saveSenderOfWindow() { saveOfWindow(Kind::Sender); }

void AddressBookWindow::saveOfWindow(Kind kind)
{
    const waybill::Waybill w = m_window.readWaybill();
    const waybill::Address& address = kind == Kind::Recipient ? w.recipient : w.sender;
    if (isBlank(address)) {
        desktop::inform(
            m_services.messages, this,
            QStringLiteral("メイン画面の%1の欄が空のため、登録するものがありません。").arg(blockName(kind)));
        return;
    }
    // Found later also by how it is read: asked now, offered from what the
    // input method converted.
    const auto reading =
        m_askReading(address.name.trimmed(),
                     m_window.nameReading(kind == Kind::Recipient ? AddressBlock::Recipient : AddressBlock::Sender));
    if (!reading)
        return;
    storage::ProblemsMet problems(m_services.station.database());
    const auto id = m_services.station.addressBook().save(kind, address, {}, *reading);
    if (!id) {
        tellStorageProblem(
            problems,
            QStringLiteral("%1を登録できませんでした。メイン画面の内容はそのままです。").arg(blockName(kind)));
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
        entry->address, entry->reading,
        [&](const waybill::Address& changed, const QString& reading) {
            storage::ProblemsMet problems(m_services.station.database());
            kept = m_services.station.addressBook().edit(entry->id, changed, reading);
            if (!kept)
                tellStorageProblem(
                    problems, QStringLiteral("変更を保存できませんでした。入力した内容はこの画面に残っています。"));
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
    const auto answer = m_services.messages.show(this, {QStringLiteral("「%1」を住所録から削除しますか？\n\n%2")
                                                            .arg(titleOf(entry->address), addressLines(entry->address)),
                                                        desktop::MsgIcon::Question, desktop::MsgButtons::YesNo,
                                                        desktop::MsgAnswer::No, std::nullopt});
    if (answer != desktop::MsgAnswer::Yes)
        return;
    storage::ProblemsMet problems(m_services.station.database());
    if (!m_services.station.addressBook().remove(entry->id)) {
        tellStorageProblem(problems, QStringLiteral("削除できませんでした。"));
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
        desktop::warn(m_services.messages, this,
                      QStringLiteral("「%1」に書き出せません（%2）。保存する場所か名前を変えてください。")
                          .arg(shownPath, file.errorString()));
        return false;
    }
    storage::ProblemsMet problems(m_services.station.database());
    const addressbook::CsvExport result = addressbook::writeCsv(m_services.station.addressBook(), file, encoding);
    if (!result.ok) {
        file.cancelWriting();
        tellStorageProblem(problems,
                           QStringLiteral("「%1」に書き出せませんでした。%2").arg(shownPath, result.errorText));
        return false;
    }
    if (!result.unwritable.isEmpty()) {
        file.cancelWriting();
        QStringList named;
        for (const addressbook::UnwritableEntry& e : result.unwritable)
            named.append(QStringLiteral("%1（%2）").arg(titleOf(e.address), e.characters));
        const auto answer = m_services.messages.show(
            this,
            {QStringLiteral(
                 "次の%1件は、%2にない文字を含むため、この形式では書き出せません。\n\n%3\n\n"
                 "UTF-8（BOM付き）で書き出しますか？ UTF-8ならすべての文字をそのまま書き出せ、Excelでもそのまま開けます。"
                 "「いいえ」を選ぶと何も書き出しません。")
                 .arg(result.unwritable.size())
                 .arg(csv::displayName(encoding), bulleted(named)),
             desktop::MsgIcon::Question, desktop::MsgButtons::YesNo, desktop::MsgAnswer::Yes, std::nullopt});
        if (answer == desktop::MsgAnswer::Yes)
            return exportTo(path, csv::Encoding::Utf8);
        m_status->setText(QStringLiteral("書き出しをやめました。"));
        return false;
    }
    if (!file.commit()) {
        desktop::warn(
            m_services.messages, this,
            QStringLiteral("「%1」を保存できませんでした（%2）。空き容量と、その場所に書き込めるかを確かめてください。")
                .arg(shownPath, file.errorString()));
        return false;
    }
    m_status->setText(QStringLiteral("%1件を「%2」に書き出しました（%3）。")
                          .arg(result.written)
                          .arg(shownPath, csv::displayName(encoding)));
    return true;
}

bool AddressBookWindow::importFrom(const QString& path)
{
    using Outcome = addressbook::ImportReport::Outcome;
    QProgressDialog progress(QStringLiteral("「%1」を読み込んでいます…").arg(QFileInfo(path).fileName()),
                             QStringLiteral("中止"), 0, kProgressSteps, this);
    progress.setWindowTitle(QStringLiteral("住所録の読み込み"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setValue(0);
    storage::ProblemsMet problems(m_services.station.database());
    const addressbook::ImportReport report =
        addressbook::importCsvFile(m_services.station.addressBook(), path, [&](double done, const QString& doing) {
            progress.setLabelText(doing);
            progress.setValue(int(done * kProgressSteps));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.close();
    // The problem is said with what did not happen before the list is read again.
    if (report.outcome == Outcome::StorageFailed)
        tellStorageProblem(problems, report.message);
    if (report.stored() > 0 || report.outcome == Outcome::StorageFailed)
        search();
    switch (report.outcome) {
    case Outcome::CannotRead:
        desktop::warn(m_services.messages, this, report.message);
        return false;
    case Outcome::NothingToImport:
        desktop::warn(m_services.messages, this,
                      report.message + QStringLiteral("\n\n") + bulleted(report.skippedRows));
        return false;
    case Outcome::Cancelled:
        m_status->setText(report.message);
        return false;
    case Outcome::StorageFailed:
        return false;
    case Outcome::Imported:
        break;
    }
    QString said = report.message;
    if (!report.skippedRows.isEmpty())
        said += QStringLiteral("\n\n次の%1行は読み込んでいません。\n%2")
                    .arg(report.skippedRows.size())
                    .arg(bulleted(report.skippedRows));
    m_status->setText(
        QStringLiteral("「%1」から%2件を読み込みました。").arg(QDir::toNativeSeparators(path)).arg(report.stored()));
    desktop::inform(m_services.messages, this, said);
    return true;
}

void AddressBookWindow::chooseExportFile()
{
    if (const auto chosen = desktop::csvFileToWrite(this, QStringLiteral("住所録の書き出し"),
                                                    QDir(documentsFolder()).filePath(QStringLiteral("住所録.csv"))))
        exportTo(chosen->path, chosen->encoding);
}

void AddressBookWindow::chooseImportFile()
{
    const QString path = desktop::openFileName(this, QStringLiteral("住所録の読み込み"), documentsFolder(),
                                               QStringLiteral("CSVファイル (*.csv *.txt);;すべてのファイル (*)"));
    if (!path.isEmpty())
        importFrom(path);
}

void AddressBookWindow::retryDatabase()
{
    m_services.station.database().retryOpen();
    search();
}

void AddressBookWindow::tellStorageProblem(storage::ProblemsMet& problems, const QString& lead)
{
    const auto problem = problems.take();
    if (problem || !lead.isEmpty())
        sayStorageProblem(m_services, this, problem ? problem->message : QString(), lead, m_deferMessages);
    const bool unusable = m_problem->follow(m_services.station.database());
    if (unusable)
        m_status->clear();
    for (QPushButton* b : m_needingTheBook)
        b->setEnabled(!unusable);
}

AddressBookWindow* showAddressBook(WaybillWindow& window, Services& services)
{
    return showChildWindow<AddressBookWindow>(window, window.partInUseOnScreen(),
                                              services.station.folders().settingsFile(),
                                              [&] { return new AddressBookWindow(window, services); });
}

} // namespace app
