#include "station/station.h"

#include "adjust/testprint.h"
#include "print/overrun.h"
#include "print/renderer.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSettings>
#include <QUuid>

namespace station {

namespace {
const QString kServerUrlKey = QStringLiteral("storage/serverUrl");
}

QString storedServerUrl(const QString& settingsFile)
{
    return QSettings(settingsFile, QSettings::IniFormat).value(kServerUrlKey).toString();
}

Result<void> storeServerUrl(const QString& settingsFile, const QString& serverUrl)
{
    if (!serverUrl.isEmpty())
        if (const auto address = storage::serverAddressFrom(serverUrl); !address)
            return fail(address.error());
    QSettings settings(settingsFile, QSettings::IniFormat);
    if (serverUrl.isEmpty())
        settings.remove(kServerUrlKey);
    else
        settings.setValue(kServerUrlKey, serverUrl);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral("設定のファイル「%1」に、データの保存先を書き込めませんでした。"
                                   "ファイルとフォルダーの書き込みの権限と、ディスクの空きを確かめてください。")
                        .arg(QDir::toNativeSeparators(settingsFile)));
    return {};
}

Station::Station(const platform::Folders& folders, platform::InstanceDetector& instance, print::Destination& printer,
                 platform::DeviceFilter saveFilter)
    : m_offsets(folders, std::move(saveFilter)), m_instance(instance), m_printer(printer), m_folders(folders)
{}

Station::~Station() = default;

postal::Directory& Station::postalCodes()
{
    if (!m_postalCodes)
        m_postalCodes = std::make_unique<postal::Directory>(m_postalDataFile.isEmpty() ? postal::defaultDataFilePath()
                                                                                       : m_postalDataFile);
    return *m_postalCodes;
}

QString localDatabasePath(const platform::Folders& folders)
{
    return platform::joinPath(folders.userDataFolder(), QStringLiteral("horutea.sqlite"));
}

QString Station::localDatabasePath() const { return station::localDatabasePath(m_folders); }

QString Station::queueFilePath() const
{
    return platform::joinPath(m_folders.configFolder(), QStringLiteral("horutea-queue.sqlite"));
}

void Station::setDatabaseLocation(const QString& location, storage::Database::Options options)
{
    m_databaseLocation = location;
    m_databaseOptions = options;
}

QString Station::databaseLocation() const
{
    if (!m_databaseLocation.isEmpty())
        return m_databaseLocation;
    if (const QString server = storedServerUrl(m_folders.settingsFile()); !server.isEmpty())
        return server;
    return localDatabasePath();
}

storage::Database& Station::database()
{
    if (!m_database) {
        const QString location = databaseLocation();
        if (!storage::isServerUrl(location))
            platform::ensureFolder(m_folders.userDataFolder());
        m_database = std::make_unique<storage::Database>(location, m_databaseOptions);
        m_database->setProblemReceiver(m_storageProblemReceiver);
    }
    return *m_database;
}

QString Station::sendQueued()
{
    if (database().engine() != storage::Engine::Postgres || !QFileInfo::exists(queueFilePath()))
        return {};
    if (!m_queueDatabase)
        m_queueDatabase = std::make_unique<storage::Database>(queueFilePath());
    history::History queue(*m_queueDatabase);
    constexpr int kPagesPerSend = 500;
    int sent = 0;
    while (database().ensureOpen()) {
        const QList<history::HistoryEntry> batch = queue.oldestFirst(kPagesPerSend);
        if (batch.isEmpty())
            break;
        // Sent, then forgotten here: a send whose answer was lost is sent
        // again and meets the pages' own ids on the server.
        if (!history().recordAll(int(batch.size()), [&](int i) { return std::optional(batch[i].record); }) ||
            !queue.removeThrough(batch.last().id))
            break;
        sent += int(batch.size());
    }
    if (sent == 0)
        return {};
    m_toldQueued = false;
    return QStringLiteral("サーバー（%1）に、このPCの控えに記録していた %2 枚の印刷履歴を送りました。")
        .arg(database().server().hostAndPort())
        .arg(sent);
}

addressbook::AddressBook& Station::addressBook()
{
    if (!m_addressBook)
        m_addressBook = std::make_unique<addressbook::AddressBook>(database());
    return *m_addressBook;
}

history::History& Station::history()
{
    if (!m_history)
        m_history = std::make_unique<history::History>(database());
    return *m_history;
}

void Station::setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver)
{
    m_storageProblemReceiver = std::move(receiver);
    if (m_database)
        m_database->setProblemReceiver(m_storageProblemReceiver);
}

Station::Printed Station::printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                                        const print::Progress& progress)
{
    return printWaybills(
        int(waybills.size()), [&](int index) { return waybills[size_t(index)]; }, offsets, progress);
}

Station::Printed Station::printWaybills(int count, const WaybillSource& waybillAt, print::PrintOffsets offsets,
                                        const print::Progress& progress, const OrderNumberSource& orderNumberAt,
                                        const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    Printed printed = deliver(
        count, [&](int index) { return print::waybillPage(waybillAt(index), offsets, m_printState); }, progress,
        firstFormNumber);
    if (!printed.delivery.ok)
        return printed;
    // In UTC, the same instant: a local time asks the C library for the
    // time zone again each time a page's record turns it into a number.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList leftOut;
    // Each page's own id, so a page sent from the queue twice is one row.
    const QString documentId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    storage::ProblemsMet problems(database());
    const QString sentFromQueue = sendQueued();
    const auto recordAt = [&](int i) -> std::optional<history::PrintRecord> {
        if (i == 0)
            leftOut.clear(); // asked again from the start (the queue, a transaction run again)
        history::PrintRecord record{
            now, printed.delivery.destination, offsets.horizontalTenthMm, offsets.verticalTenthMm, std::nullopt, {}};
        record.stationRowId = QStringLiteral("%1/%2").arg(documentId).arg(i);
        try {
            record.waybill = waybillAt(i);
        } catch (const print::JobStopped& stop) {
            leftOut << stop.message;
            return std::nullopt;
        }
        if (orderNumberAt)
            if (const QString number = orderNumberAt(i); !number.isEmpty())
                record.orderNumber = number;
        if (i < printed.formNumbers.size())
            record.trackingNumber = printed.formNumbers[i];
        return record;
    };
    bool recorded = history().recordAll(count, recordAt);
    const auto tell = [&](const QString& said) {
        printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + said;
    };
    if (!sentFromQueue.isEmpty())
        tell(sentFromQueue);
    // The server away: the pages go to this PC's queue, to be sent when it
    // is back; said once until then.
    if (!recorded && database().engine() == storage::Engine::Postgres) {
        if (!m_queueDatabase)
            m_queueDatabase = std::make_unique<storage::Database>(queueFilePath());
        const std::optional<storage::Problem> serverProblem = problems.take();
        storage::ProblemsMet queueProblems(*m_queueDatabase);
        if (history::History(*m_queueDatabase).recordAll(count, recordAt)) {
            if (!m_toldQueued)
                tell(QStringLiteral("印刷した分は、サーバーにつながるまでこのPCの控え（%1）に記録しました。"
                                    "つながったら、次の印刷のときにサーバーへ送ります。\n\n%2")
                         .arg(QDir::toNativeSeparators(queueFilePath()),
                              serverProblem ? serverProblem->message : QString()));
            m_toldQueued = true;
            recorded = true;
        } else {
            const std::optional<storage::Problem> queueProblem = queueProblems.take();
            tell(QStringLiteral("印刷はできましたが、履歴には記録されていません。\n\n%1\n\n%2")
                     .arg(serverProblem ? serverProblem->message : QString(),
                          queueProblem ? queueProblem->message : QString()));
            return printed;
        }
    }
    // A problem with the file may have been met and mended on the way (a
    // damaged file set aside and a new one begun): then the pages are in the
    // history all the same.
    if (const auto problem = problems.take())
        tell(recorded ? QStringLiteral("印刷した分は履歴に記録しました。\n\n%1").arg(problem->message)
                      : QStringLiteral("印刷はできましたが、履歴には記録されていません。\n\n%1").arg(problem->message));
    if (recorded && !leftOut.isEmpty())
        tell(QStringLiteral("印刷した後で一覧のファイルが変わったため、%1 枚を履歴に記録していません。\n%2")
                 .arg(leftOut.size())
                 .arg(leftOut.first()));
    return printed;
}

void Station::prepareFirstPrint()
{
    database().prepareForFirstUse();
    // Every row filled, so the check before the first print finds each size
    // of the face it measures with already made; and in every row kanji,
    // hiragana, katakana and Latin letters, since Qt makes a face for each
    // script and asks fontconfig for that script's fallbacks first (5.5 M
    // instructions in a first print with kana otherwise).
    const QString everyScript = QStringLiteral("千代田ちよだチヨダAB-1");
    waybill::Waybill sample;
    sample.recipient = {QStringLiteral("1000001"),     everyScript, everyScript, everyScript, everyScript, true,
                        QStringLiteral("03-1234-5678")};
    sample.sender = sample.recipient;
    sample.goods[0] = sample.goods[1] = {everyScript, QStringLiteral("AB-1234"), QStringLiteral("1"),
                                         QStringLiteral("1000"), QStringLiteral("1000")};
    sample.total = QStringLiteral("2000");
    sample.numericMode = true;
    (void)print::printProblems(sample);
    print::PrintState scratch;
    try {
        const print::Page page = print::waybillPage(sample, {}, scratch);
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&sink);
        pdf.setResolution(print::kPdfDotsPerInch);
        QPainter painter(&pdf);
        print::renderPage(painter, page);
    } catch (const print::JobStopped&) {
        // Nothing is said here: the print that meets it says it.
    }
}

Station::Printed Station::printTestMarks(print::PrintOffsets offsets)
{
    Printed printed = deliver(1, [&](int) { return adjust::testMarksPage(offsets, m_printState); }, {});
    if (printed.delivery.ok && !printed.formNumbers.isEmpty()) {
        storage::ProblemsMet problems(database());
        const bool recorded = history().recordSpoiled(
            {QDateTime::currentDateTime(), printed.delivery.destination, printed.formNumbers[0]});
        if (const auto problem = problems.take(); problem || !recorded)
            printed.notice +=
                (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                QStringLiteral("テスト印刷に使った伝票 %1 を、書き損じとして履歴に記録できませんでした。\n\n%2")
                    .arg(printed.formNumbers[0].display(), problem ? problem->message : QString());
    }
    return printed;
}

Result<QList<tracking::TrackingNumber>>
Station::upcomingFormNumbers(int formCount, const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    if (firstFormNumber)
        return tracking::FormStack(*firstFormNumber).peek(formCount);
    const QString queue = formQueue();
    if (queue.isEmpty())
        return QList<tracking::TrackingNumber>();
    auto stack = formStacks().load(queue);
    if (!stack)
        return fail(stack.error());
    if (!*stack)
        return QList<tracking::TrackingNumber>();
    return (*stack)->peek(formCount);
}

Result<tracking::TrackingNumber> Station::spoilForm()
{
    const QString queue = formQueue();
    if (queue.isEmpty())
        return fail(QStringLiteral("印刷先がPDFファイルのため、飛ばす伝票がありません。"));
    auto spoiled = formStacks().spoil(queue);
    if (!spoiled)
        return spoiled;
    // The stack has moved whatever happens to the history: the form is gone.
    history().recordSpoiled({QDateTime::currentDateTime(), queue, *spoiled});
    return spoiled;
}

Station::Printed Station::deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress,
                                  const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    const QString queue = formQueue();
    const tracking::FormStackStore stacks = formStacks();
    const auto refused = [](const QString& why) {
        Printed nothing;
        nothing.delivery.message = why + QStringLiteral("何も印刷していません。");
        return nothing;
    };
    // The first form's number given for a printer: that is the stack loaded.
    if (firstFormNumber && !queue.isEmpty())
        if (auto saved = stacks.save(queue, tracking::FormStack(*firstFormNumber)); !saved)
            return refused(saved.error());
    // Known before anything is sent, so a stack that cannot give them stops
    // the document instead of leaving printed forms without numbers.
    auto planned = upcomingFormNumbers(pageCount, queue.isEmpty() ? firstFormNumber : std::nullopt);
    if (!planned)
        return refused(planned.error());

    Printed printed{m_printer.print(pageCount, pages, progress), {}, {}};
    printed.notice = printed.delivery.notice;
    if (printed.delivery.ok && !queue.isEmpty() && !printed.delivery.toPdfFile && !planned->isEmpty()) {
        auto taken = stacks.take(queue, pageCount);
        if (taken && taken->size() == pageCount)
            *planned = *taken;
        else if (!taken)
            printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                              QStringLiteral("印刷はできましたが、伝票の束を進められませんでした（%1）。"
                                             "次の伝票の番号を「伝票の束」で入れ直してください。")
                                  .arg(taken.error());
    }
    if (printed.delivery.ok)
        printed.formNumbers = *planned;
    if (printed.delivery.ok && printed.delivery.becauseNoPrinter && !m_toldPdfFolder) {
        m_toldPdfFolder = true;
        const QString folder = QFileInfo(printed.delivery.destination).absolutePath();
        printed.notice +=
            (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) +
            QStringLiteral("プリンタが見つからないため、印刷した内容をPDFファイルとして次のフォルダに保存しました。"
                           "以後も同じフォルダに、印刷のたびに新しいファイルとして保存します。\n\n%1")
                .arg(QDir::toNativeSeparators(folder));
    }
    return printed;
}

} // namespace station
