#include "app/books/historywindow.h"

#include "app/books/bookwidgets.h"
#include "app/desktop/filedialogs.h"
#include "app/desktop/messagebox.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/elidedtips.h"
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"
#include "postal/postalcode.h"
#include "station/shipped.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {

using history::HistoryEntry;

namespace {

// Rows fetched at a time; さらに表示 fetches the next ones.
constexpr int kRowsPerPage = 100;
// A search runs this long after the last keystroke: the rarest names take
// some 30 ms, too long to run on every key.
constexpr int kTypingPauseMs = 400;

enum Column {
    PrintedAtColumn,
    NameColumn,
    TelephoneColumn,
    PostalCodeColumn,
    AddressColumn,
    SenderColumn,
    DestinationColumn,
    OrderNumberColumn,
    TrackingNumberColumn
};
// No column but the address grows wider than this many characters.
constexpr double kWidestColumn_em = 18;

QString addressLines(const waybill::Address& a)
{
    return QStringList{a.line1, a.line2}.join(QLatin1Char(' ')).trimmed();
}

// Why a form is spoiled, as the list of spoiled forms says it.
QString reasonShown(const history::SpoiledForm& form)
{
    switch (form.reason) {
    case history::SpoiledReason::Skipped:
        return QStringLiteral("1枚飛ばし");
    case history::SpoiledReason::TestMarks:
        return QStringLiteral("テスト印刷");
    case history::SpoiledReason::Reprinted:
        return form.orderNumber.isEmpty() ? QStringLiteral("書き損じ（印刷し直し）")
                                          : QStringLiteral("書き損じ（印刷し直し・注文 %1）").arg(form.orderNumber);
    case history::SpoiledReason::Unknown:
        break;
    }
    return QStringLiteral("書き損じ");
}

// A PDF written instead of printing is shown by its file name.
QString destinationShown(const QString& destination)
{
    return destination.contains(QLatin1Char('/')) || destination.contains(QLatin1Char('\\'))
               ? QFileInfo(destination).fileName()
               : destination;
}

} // namespace

HistoryWindow::HistoryWindow(WaybillWindow& window, Services& services)
    : QWidget(&window, Qt::Window), m_window(window), m_services(services)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("印刷の履歴 - ホルテア"));
    resize(1040, 540);
    // Room for a page of prints: on a small screen it then covers the main
    // window rather than squeeze below the block in use.
    setMinimumHeight(420);

    // A station on a server keeps what it prints in its own queue meanwhile.
    m_problem = new StorageProblemBanner(
        services.station.database().engine() == storage::Engine::Postgres
            ? QStringLiteral("履歴のサーバーを使えないため、これまでの印刷を表示できません。これからの印刷は"
                             "このPCの控えに記録し、サーバーにつながったら送ります。印刷はこれまでどおりできます。")
            : QStringLiteral(
                  "履歴のファイルを使えないため、これまでの印刷を表示できず、これからの印刷も記録されません。"
                  "印刷はこれまでどおりできます。"),
        false, this);

    struct FieldSpec {
        const char* label;
        const char* objectName;
        const char* hint;
    };
    const FieldSpec specs[6] = {{"名前", "name", "お届け先・ご依頼主の名前や様方"},
                                {"電話番号", "telephone", "一部だけでも探せます"},
                                {"郵便番号", "postalCode", "例：100-0001"},
                                {"住所", "address", "住所の一部"},
                                {"注文番号", "orderNumber", ""},
                                {"伝票番号", "trackingNumber", "ハイフンなしでも、一部だけでも探せます"}};
    auto* conditions = new QGridLayout;
    const int places[6][2] = {{0, 0}, {0, 2}, {0, 4}, {1, 0}, {1, 4}, {2, 4}};
    for (int i = 0; i < 6; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(specs[i].objectName));
        field->setPlaceholderText(QString::fromUtf8(specs[i].hint));
        field->setClearButtonEnabled(true);
        auto* label = new QLabel(QString::fromUtf8(specs[i].label) + QStringLiteral("："), this);
        label->setBuddy(field);
        conditions->addWidget(label, places[i][0], places[i][1]);
        // The address takes the width of two fields.
        conditions->addWidget(field, places[i][0], places[i][1] + 1, 1, i == int(Key::Address) ? 3 : 1);
        connect(field, &QLineEdit::textEdited, this, [this] { m_pause.start(); });
        connect(field, &QLineEdit::returnPressed, this, &HistoryWindow::search);
        m_fields[i] = field;
    }
    m_byDate = new QCheckBox(QStringLiteral("印刷日："), this);
    m_byDate->setObjectName(QStringLiteral("byDate"));
    m_from = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    m_to = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        edit->setEnabled(false);
        connect(edit, &QDateEdit::dateChanged, this, [this] { m_pause.start(); });
    }
    connect(m_byDate, &QCheckBox::toggled, this, [this](bool on) {
        m_from->setEnabled(on);
        m_to->setEnabled(on);
        search();
    });
    auto* dates = new QHBoxLayout;
    dates->addWidget(m_byDate);
    dates->addWidget(m_from);
    dates->addWidget(new QLabel(QStringLiteral("～"), this));
    dates->addWidget(m_to);
    dates->addStretch(1);
    auto* searchButton = bookButton(QStringLiteral("検索"), this, "search");
    auto* clearButton = bookButton(QStringLiteral("条件をクリア"), this, "clear");
    dates->addWidget(searchButton);
    dates->addWidget(clearButton);

    m_list = makeEntryList({QStringLiteral("印刷日時"), QStringLiteral("お届け先"), QStringLiteral("電話番号"),
                            QStringLiteral("郵便番号"), QStringLiteral("住所"), QStringLiteral("ご依頼主"),
                            QStringLiteral("印刷先"), QStringLiteral("注文番号"), QStringLiteral("伝票番号")},
                           AddressColumn, this);
    m_list->setObjectName(QStringLiteral("prints"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_more = bookButton(QStringLiteral("さらに表示"), this, "more");
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_more);

    m_putBack = bookButton(QStringLiteral("画面に戻す"), this, "putBack");
    m_putBack->setToolTip(
        QStringLiteral("選んだ送り状の内容を、メイン画面に入れ直します（ダブルクリックでも同じです）"));
    m_printAgain = bookButton(QStringLiteral("印刷し直す"), this, "printAgain");
    m_printAgain->setToolTip(QStringLiteral("選んだ送り状を、メイン画面の今のズレの設定でもう一度印刷します"));
    auto* exportButton = bookButton(QStringLiteral("出荷情報を書き出す..."), this, "exportShipped");
    exportButton->setToolTip(QStringLiteral(
        "印刷日の範囲（指定がなければ今日）に印刷した注文の伝票番号を、ショップに取り込むファイルに書き出します"));
    auto* closeButton = bookButton(QStringLiteral("閉じる"), this, "close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_putBack);
    buttons->addWidget(m_printAgain);
    buttons->addWidget(exportButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_problem);
    layout->addLayout(conditions);
    layout->addLayout(dates);
    layout->addWidget(m_list, 1);
    layout->addLayout(statusRow);
    m_spoiled = makeEntryList({QStringLiteral("日時"), QStringLiteral("運送会社"), QStringLiteral("伝票番号"),
                               QStringLiteral("プリンタ"), QStringLiteral("わけ")},
                              4, this);
    m_spoiled->setObjectName(QStringLiteral("spoiledForms"));
    m_spoiled->setMaximumHeight(110);
    layout->addWidget(new QLabel(QStringLiteral("書き損じ・飛ばした伝票（テスト印刷を含む）："), this));
    layout->addWidget(m_spoiled);
    layout->addLayout(buttons);

    m_pause.setSingleShot(true);
    m_pause.setInterval(kTypingPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &HistoryWindow::search);
    connect(searchButton, &QPushButton::clicked, this, &HistoryWindow::search);
    connect(clearButton, &QPushButton::clicked, this, &HistoryWindow::clearConditions);
    connect(m_more, &QPushButton::clicked, this, &HistoryWindow::showMore);
    connect(m_list, &QTreeWidget::itemActivated, this, &HistoryWindow::putBack);
    // Focus alone makes an item current without choosing it; buttons follow the choice.
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &HistoryWindow::updateButtons);
    connect(m_putBack, &QPushButton::clicked, this, &HistoryWindow::putBack);
    connect(m_printAgain, &QPushButton::clicked, this, &HistoryWindow::printAgain);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::chooseShippedFile);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    updateButtons();
}

void HistoryWindow::setDateRange(QDate from, QDate to)
{
    const QSignalBlocker blockFrom(m_from), blockTo(m_to), blockCheck(m_byDate);
    m_byDate->setChecked(from.isValid());
    m_from->setEnabled(from.isValid());
    m_to->setEnabled(from.isValid());
    if (from.isValid()) {
        m_from->setDate(from);
        m_to->setDate(to);
    }
}

history::HistoryQuery HistoryWindow::query() const
{
    history::HistoryQuery q;
    q.name = m_fields[int(Key::Name)]->text().trimmed();
    q.telephone = m_fields[int(Key::Telephone)]->text().trimmed();
    q.postalCode = m_fields[int(Key::PostalCode)]->text().trimmed();
    q.address = m_fields[int(Key::Address)]->text().trimmed();
    q.orderNumber = m_fields[int(Key::OrderNumber)]->text().trimmed();
    q.trackingNumber = m_fields[int(Key::TrackingNumber)]->text().trimmed();
    if (m_byDate->isChecked()) {
        q.printedFrom = QDateTime(m_from->date(), QTime(0, 0));
        q.printedBefore = QDateTime(m_to->date().addDays(1), QTime(0, 0));
    }
    q.limit = kRowsPerPage;
    return q;
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_deferMessages = true;
    search(); // the database is opened here, at the window's first use
    m_deferMessages = false;
    m_fields[int(Key::Name)]->setFocus();
}

void HistoryWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) {
        m_deferMessages = true;
        search();
        m_deferMessages = false;
    }
}

void HistoryWindow::search()
{
    m_pause.stop();
    const auto chosen = chosenEntry();
    m_query = query();
    m_shown.clear();
    m_list->clear();
    storage::ProblemsMet problems(m_services.station.database());
    append(m_services.station.history().search(m_query));
    m_spoiled->clear();
    const QDateTime spoiledFrom = m_query.printedFrom.isValid()
                                      ? m_query.printedFrom
                                      : QDateTime(QDate::currentDate().addMonths(-1), QTime(0, 0));
    for (const history::SpoiledForm& form :
         m_services.station.history().spoiledForms(spoiledFrom, m_query.printedBefore))
        m_spoiled->addTopLevelItem(
            new QTreeWidgetItem({form.spoiledAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")),
                                 tracking::carrierName(form.trackingNumber.carrier()), form.trackingNumber.display(),
                                 destinationShown(form.destination), reasonShown(form)}));
    if (chosen)
        for (int row = 0; row < m_shown.size(); ++row)
            if (m_shown[row].id == chosen->id)
                choose(row);
    tellStorageProblem(problems);
}

void HistoryWindow::showMore()
{
    m_query.offset = int(m_shown.size());
    storage::ProblemsMet problems(m_services.station.database());
    append(m_services.station.history().search(m_query));
    tellStorageProblem(problems);
}

void HistoryWindow::append(const QList<HistoryEntry>& entries)
{
    QList<QTreeWidgetItem*> items;
    for (const HistoryEntry& e : entries) {
        const history::PrintRecord& r = e.record;
        const waybill::Address& to = r.waybill.recipient;
        auto* item = new QTreeWidgetItem({r.printedAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")),
                                          to.name, to.telephone, postal::codeForReading(to.postalCode),
                                          addressLines(to), r.waybill.sender.name, destinationShown(r.destination),
                                          r.orderNumber.value_or(QString()),
                                          r.trackingNumber ? r.trackingNumber->display() : QString()});
        if (r.trackingNumber)
            item->setToolTip(TrackingNumberColumn, tracking::carrierName(r.trackingNumber->carrier()));
        item->setToolTip(DestinationColumn, QDir::toNativeSeparators(r.destination));
        item->setToolTip(AddressColumn, addressLines(to));
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_shown.append(entries);
    fitColumnsToContents(*m_list, *m_list->header(), AddressColumn, kWidestColumn_em);
    m_mayHaveMore = entries.size() >= m_query.limit;
    m_more->setVisible(m_mayHaveMore);

    const history::HistoryQuery none{.limit = m_query.limit};
    const bool anyCondition = m_query.name != none.name || m_query.telephone != none.telephone ||
                              m_query.postalCode != none.postalCode || m_query.address != none.address ||
                              m_query.orderNumber != none.orderNumber ||
                              m_query.trackingNumber != none.trackingNumber || m_query.printedFrom.isValid();
    if (m_shown.isEmpty())
        m_status->setText(anyCondition ? QStringLiteral("条件に合う印刷はありませんでした。")
                                       : QStringLiteral("まだ印刷の履歴はありません。"));
    else
        m_status->setText(QStringLiteral("%1%2件を新しい順に表示しています。%3")
                              .arg(anyCondition ? QStringLiteral("条件に合う印刷のうち") : QString())
                              .arg(m_shown.size())
                              .arg(m_mayHaveMore ? QStringLiteral("続きは「さらに表示」で出せます。") : QString()));
    updateButtons();
}

void HistoryWindow::clearConditions()
{
    for (QLineEdit* field : m_fields)
        field->clear();
    setDateRange({}, {});
    search();
}

std::optional<HistoryEntry> HistoryWindow::chosenEntry() const
{
    const int row = chosenRow(*m_list);
    return row >= 0 && row < m_shown.size() ? std::optional(m_shown[row]) : std::nullopt;
}

void HistoryWindow::choose(int row) { chooseRow(*m_list, row); }

QString HistoryWindow::statusText() const { return m_status->text(); }

QString HistoryWindow::problemText() const { return m_problem->text(); }

void HistoryWindow::updateButtons()
{
    const bool chosen = chosenEntry().has_value();
    m_putBack->setEnabled(chosen);
    m_printAgain->setEnabled(chosen);
}

void HistoryWindow::putBack()
{
    const auto entry = chosenEntry();
    if (!entry)
        return;
    m_window.fillFrom(entry->record.waybill);
    m_status->setText(
        QStringLiteral("「%1」宛ての送り状をメイン画面に戻しました。").arg(entry->record.waybill.recipient.name));
}

void HistoryWindow::printAgain()
{
    const auto entry = chosenEntry();
    if (!entry)
        return;
    // The offsets in force now, as 印刷 reads them: the form may sit
    // differently than when the waybill was first printed.
    const auto offsets = m_window.offsetsForPrint(this);
    if (!offsets)
        return;
    const waybill::Waybill& waybill = entry->record.waybill;
    // One live number per parcel: the form the page went on before is
    // either spoiled or another parcel's, never left to say nothing.
    auto earlier = station::PrintRun::EarlierForm::AnotherParcel;
    if (const std::optional<tracking::TrackingNumber>& before = entry->record.trackingNumber) {
        desktop::Message question{
            QStringLiteral(
                "「%1」宛ての送り状を、次の伝票にもう一度印刷します。前に印刷した伝票 %2 はどうしますか？\n\n"
                "・書き損じにする：前の伝票は使いません。荷物には新しい伝票を貼り、出荷情報には新しい番号だけが"
                "入ります。\n"
                "・もう1個の荷物に使う：同じ注文の荷物がもう1個あり、前の伝票はそちらに貼ります。出荷情報には"
                "両方の番号が入ります。")
                .arg(waybill.recipient.name, before->display()),
            desktop::MsgIcon::Question, desktop::MsgButtons::YesNoCancel, desktop::MsgAnswer::Cancel, std::nullopt};
        question.yesText = QStringLiteral("書き損じにする");
        question.noText = QStringLiteral("もう1個の荷物に使う");
        question.cancelText = QStringLiteral("やめる");
        switch (m_services.messages.show(this, question)) {
        case desktop::MsgAnswer::Yes:
            earlier = station::PrintRun::EarlierForm::Spoiled;
            break;
        case desktop::MsgAnswer::No:
            break;
        default:
            return;
        }
    }
    const auto printed = m_services.printRun.printAgain(*entry, *offsets, earlier);
    m_window.report(printed, this);
    if (!printed.delivery.ok)
        return;
    search();
    choose(0);
    m_status->setText(earlier == station::PrintRun::EarlierForm::Spoiled
                          ? QStringLiteral("「%1」宛ての送り状を印刷し直し、前の伝票 %2 を書き損じにしました。")
                                .arg(waybill.recipient.name, entry->record.trackingNumber->display())
                          : QStringLiteral("「%1」宛ての送り状を印刷し直しました。").arg(waybill.recipient.name));
}

void HistoryWindow::chooseShippedFile()
{
    QStringList filters;
    for (const shipping::FormatRow& row : shipping::formatRows())
        filters << QStringLiteral("%1 (*.%2)").arg(QString::fromUtf16(row.label), QString::fromUtf16(row.fileSuffix));
    QString chosenFilter = filters.front();
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    QString path = desktop::saveFileName(
        this, QStringLiteral("出荷情報の書き出し"),
        QDir(m_services.station.folders().documentsFolder()).filePath(QStringLiteral("出荷情報_%1").arg(day)),
        filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty())
        return;
    const shipping::FormatRow& row = shipping::formatRows()[qMax(qsizetype(0), filters.indexOf(chosenFilter))];
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + QString::fromUtf16(row.fileSuffix);
    exportShipped(path, row.format);
}

bool HistoryWindow::exportShipped(const QString& path, shipping::Format format)
{
    const QDate from = m_byDate->isChecked() ? m_from->date() : QDate::currentDate();
    const QDate to = m_byDate->isChecked() ? m_to->date() : QDate::currentDate();
    const station::ShippedReport report = station::writeShipped(m_services.station, format, path, from, to);
    if (!report.ok) {
        desktop::warn(m_services.messages, this, report.message);
        return false;
    }
    m_status->setText(report.message.section(QLatin1Char('\n'), 0, 0));
    desktop::inform(m_services.messages, this, report.message);
    return true;
}

void HistoryWindow::tellStorageProblem(storage::ProblemsMet& problems)
{
    if (const auto problem = problems.take())
        sayStorageProblem(m_services, this, problem->message, {}, m_deferMessages);
    if (m_problem->follow(m_services.station.database()))
        m_status->clear();
}

HistoryWindow* showHistory(WaybillWindow& window, Services& services)
{
    return showChildWindow<HistoryWindow>(window, window.partInUseOnScreen(), services.station.folders().settingsFile(),
                                          [&] { return new HistoryWindow(window, services); });
}

} // namespace app
