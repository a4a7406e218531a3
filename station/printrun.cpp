#include "station/printrun.h"

#include "adjust/alignment.h"
#include "adjust/testprint.h"
#include "print/overrun.h"
#include "print/renderer.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <QUuid>
#include <algorithm>

namespace station {

namespace {

QString newId() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

void tell(Printed& printed, const QString& said)
{
    if (!said.isEmpty())
        printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + said;
}

Printed refused(const QString& why)
{
    Printed nothing;
    nothing.delivery.message = why + QStringLiteral("何も印刷していません。");
    return nothing;
}

// What the history will keep of each page, taken as the page is made and
// read back once the printer accepted the document: the page's waybill and
// order as one line of JSON in a temporary file, so that a list of
// thousands of pages costs a dozen bytes a page in memory. Where the file
// cannot be written the lines stay in memory.
class MadePages {
public:
    explicit MadePages(int count) : m_places(size_t(qMax(0, count)), {-1, 0}) {}

    void keep(int index, const PageToPrint& page)
    {
        QJsonObject line{{QStringLiteral("waybill"), waybill::toJson(page.waybill)},
                         {QStringLiteral("origin"), page.origin.token()},
                         {QStringLiteral("orderNumber"), page.orderNumber},
                         {QStringLiteral("shipToId"), page.shipToId},
                         {QStringLiteral("lineIds"), QJsonArray::fromStringList(page.lineIds)}};
        const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact);
        if (!m_inMemory && (m_file.isOpen() || m_file.open())) {
            const qint64 at = m_file.size();
            if (m_file.seek(at) && m_file.write(bytes) == bytes.size()) {
                m_places[size_t(index)] = {at, qint32(bytes.size())};
                return;
            }
        }
        m_inMemory = true;
        m_places[size_t(index)] = {qint64(m_memory.size()), qint32(bytes.size())};
        m_memory += bytes;
    }

    PageToPrint at(int index)
    {
        const auto [at, size] = m_places[size_t(index)];
        QByteArray bytes;
        if (at >= 0 && size > 0) {
            if (m_file.isOpen() && at + size <= m_file.size() && m_file.seek(at))
                bytes = m_file.read(size);
            if (bytes.size() != size)
                bytes = m_memory.mid(at, size);
        }
        const QJsonObject line = QJsonDocument::fromJson(bytes).object();
        PageToPrint page;
        page.waybill =
            waybill::waybillFromJson(line.value(QStringLiteral("waybill")).toObject()).value_or(waybill::Waybill{});
        page.origin = history::Origin::fromToken(line.value(QStringLiteral("origin")).toString());
        page.orderNumber = line.value(QStringLiteral("orderNumber")).toString();
        page.shipToId = line.value(QStringLiteral("shipToId")).toString();
        for (const QJsonValue& id : line.value(QStringLiteral("lineIds")).toArray())
            page.lineIds << id.toString();
        return page;
    }

private:
    std::vector<std::pair<qint64, qint32>> m_places; // where each page's line is, and its length
    QTemporaryFile m_file;
    QByteArray m_memory;
    bool m_inMemory = false;
};

} // namespace

QString PrintRun::sendQueued()
{
    storage::Database& server = m_station.database();
    if (server.engine() != storage::Engine::Postgres)
        return {};
    const history::LocalQueue::Sent sent = m_station.localQueue().sendTo(server, m_station.history());
    QStringList said;
    if (sent.readBack.any())
        said << sent.readBack.said();
    if (sent.pages > 0 || sent.spoiledForms > 0) {
        m_toldQueued = false;
        said << QStringLiteral("サーバー（%1）に、このPCの控えに記録していた %2 枚の印刷履歴%3を送りました。")
                    .arg(server.server().hostAndPort())
                    .arg(sent.pages)
                    .arg(sent.spoiledForms > 0 ? QStringLiteral("と %1 枚の書き損じ").arg(sent.spoiledForms)
                                               : QString());
    }
    if (!sent.problem.isEmpty())
        said << QStringLiteral("このPCの控えの印刷履歴をサーバーに送れませんでした。\n\n%1").arg(sent.problem);
    return said.join(QStringLiteral("\n\n"));
}

Printed PrintRun::printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                                const print::Progress& progress)
{
    return printPages(
        int(waybills.size()),
        [&](int index) {
            return PageToPrint{waybills[size_t(index)], {history::Origin::Kind::Window, {}}, {}, {}, {}};
        },
        offsets, progress);
}

Printed PrintRun::printPages(int count, const PageSource& pageAt, print::PrintOffsets offsets,
                             const print::Progress& progress,
                             const std::optional<tracking::TrackingNumber>& firstFormNumber,
                             const ExtrasSource& extrasAt)
{
    const Result<print::Layout> layout = m_station.layoutInUse();
    if (!layout) {
        Printed refused;
        refused.delivery.message = layout.error() + QStringLiteral("\n何も印刷していません。");
        return refused;
    }
    // Asked for only where the layout prints them.
    const auto places = [&](print::LayoutValue value) {
        return std::any_of(layout->texts.begin(), layout->texts.end(),
                           [value](const print::LayoutText& t) { return t.value == value; });
    };
    const bool printsOrderNumber = places(print::LayoutValue::OrderNumber);
    const bool printsFormNumber = places(print::LayoutValue::FormNumber);
    MadePages made(count);
    Printed printed = deliver(
        count,
        [&](int index) {
            const PageToPrint page = pageAt(index);
            print::SheetExtras extras = extrasAt ? extrasAt(index) : print::SheetExtras{};
            if (printsOrderNumber && extras.orderNumber.isEmpty())
                extras.orderNumber = page.orderNumber;
            if (printsFormNumber && extras.formNumber.isEmpty() && index < m_documentFormNumbers.size())
                extras.formNumber = m_documentFormNumbers[index].display();
            print::Page drawn = print::waybillPage(page.waybill, offsets, m_printState, *layout, extras);
            made.keep(index, page);
            return drawn;
        },
        progress, firstFormNumber);
    if (!printed.delivery.ok)
        return printed;
    // In UTC, the same instant: a local time asks the C library for the
    // time zone again each time a page's record turns it into a number.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Each page's own id, so a page sent from the queue twice is one row.
    const QString documentId = newId();
    storage::ProblemsMet problems(m_station.database());
    const QString sentFromQueue = sendQueued();
    const auto recordAt = [&](int i) -> std::optional<history::PrintRecord> {
        PageToPrint page = made.at(i);
        history::PrintRecord record{now,
                                    printed.delivery.destination,
                                    offsets.horizontalTenthMm,
                                    offsets.verticalTenthMm,
                                    std::nullopt,
                                    std::move(page.waybill),
                                    std::nullopt,
                                    QStringLiteral("%1/%2").arg(documentId).arg(i),
                                    page.origin,
                                    page.shipToId,
                                    page.lineIds};
        if (!page.orderNumber.isEmpty())
            record.orderNumber = page.orderNumber;
        if (i < printed.formNumbers.size())
            record.trackingNumber = printed.formNumbers[i];
        return record;
    };
    bool recorded = m_station.history().recordAll(count, recordAt);
    tell(printed, sentFromQueue);
    // Where the pages are when they are recorded nowhere: the user can
    // still find them there.
    const QString printedWhere = printed.delivery.toPdfFile
                                     ? QStringLiteral("印刷した %1 枚はPDFファイル「%2」にあります")
                                           .arg(printed.delivery.pages)
                                           .arg(QDir::toNativeSeparators(printed.delivery.destination))
                                     : QStringLiteral("印刷した %1 枚はプリンタ「%2」に送りました")
                                           .arg(printed.delivery.pages)
                                           .arg(printed.delivery.destination);
    // The server away (or newer than this program): the pages go to this
    // PC's queue for that server, to be sent when it takes them; said once
    // until then.
    if (!recorded && m_station.database().engine() == storage::Engine::Postgres) {
        const std::optional<storage::Problem> serverProblem = problems.take();
        const history::QueueServer server{m_station.database().server(), m_station.database().serverIdentity()};
        const history::LocalQueue::Kept kept = m_station.localQueue().keep(server, count, recordAt);
        const QString serverSaid = serverProblem ? serverProblem->message : QString();
        if (kept.ok) {
            const bool newer = serverProblem && serverProblem->kind == storage::ProblemKind::NewerVersion;
            if (!m_toldQueued || kept.readBack.any())
                tell(printed,
                     (newer ? QStringLiteral("印刷した分は、このPCのホルテアを新しい版にするまで、このPCの控え（%1）に"
                                             "記録しました。新しい版にしてから印刷すると、サーバーへ送ります。")
                            : QStringLiteral("印刷した分は、サーバーにつながるまでこのPCの控え（%1）に記録しました。"
                                             "つながったら、次の印刷のときにサーバーへ送ります。"))
                             .arg(QDir::toNativeSeparators(m_station.localQueue().filePathFor(server))) +
                         (kept.readBack.any() ? QStringLiteral("\n\n") + kept.readBack.said() : QString()) +
                         QStringLiteral("\n\n") + serverSaid);
            m_toldQueued = true;
            recorded = true;
        } else {
            printed.recordedNowhere = true;
            tell(printed, QStringLiteral("%1が、サーバーにもこのPCの控えにも記録できませんでした。"
                                         "履歴の検索と出荷情報には入りません。\n\n%2\n\n%3")
                              .arg(printedWhere, serverSaid, kept.problem));
            return printed;
        }
    }
    // A problem with the file may have been met and mended on the way (a
    // damaged file set aside and a new one begun): then the pages are in the
    // history all the same.
    const std::optional<storage::Problem> problem = problems.take();
    if (!recorded) {
        // Said with the fault, once: the same fault at the next print is not told again.
        printed.recordedNowhere = true;
        if (problem)
            tell(printed,
                 QStringLiteral("%1が、履歴には記録されていません。\n\n%2").arg(printedWhere, problem->message));
    } else if (problem) {
        tell(printed, QStringLiteral("印刷した分は履歴に記録しました。\n\n%1").arg(problem->message));
    }
    return printed;
}

Printed PrintRun::printAgain(const history::HistoryEntry& entry, print::PrintOffsets offsets, EarlierForm earlierForm)
{
    const history::PrintRecord& before = entry.record;
    const PageToPrint page{before.waybill, before.origin, before.orderNumber.value_or(QString()), before.shipToId,
                           before.lineIds};
    Printed printed = printPages(
        1, [&](int) { return page; }, offsets);
    if (!printed.delivery.ok || earlierForm != EarlierForm::Spoiled || !before.trackingNumber)
        return printed;
    const history::SpoiledForm spoiled{QDateTime::currentDateTimeUtc(),   before.destination, *before.trackingNumber,
                                       history::SpoiledReason::Reprinted, page.orderNumber,   newId()};
    if (const QString problem = recordSpoiled(spoiled); !problem.isEmpty())
        tell(printed, QStringLiteral("印刷し直しましたが、前の伝票 %1 を書き損じとして記録できませんでした。"
                                     "出荷情報に前の番号が入らないよう、履歴で確かめてください。\n\n%2")
                          .arg(before.trackingNumber->display(), problem));
    return printed;
}

void PrintRun::prepareFirstPrint()
{
    m_station.database().prepareForFirstUse();
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

Printed PrintRun::printTestMarks(print::PrintOffsets offsets)
{
    return printOnSpoiledForm([&](int) { return adjust::testMarksPage(offsets, m_printState); },
                              QStringLiteral("テスト印刷"));
}

Printed PrintRun::printAlignmentSheet(print::PrintOffsets offsets)
{
    const Result<print::Layout> layout = m_station.layoutInUse();
    const Result<print::Page> sheet =
        layout ? adjust::alignmentSheetPage(offsets, *layout) : Result<print::Page>(fail(layout.error()));
    if (!sheet) {
        Printed nothing;
        nothing.delivery.message = sheet.error() + QStringLiteral("\n何も印刷していません。");
        return nothing;
    }
    return printOnSpoiledForm([&](int) { return *sheet; }, QStringLiteral("位置合わせの印刷"));
}

Printed PrintRun::printOnSpoiledForm(const print::PageSource& page, const QString& what)
{
    Printed printed = deliver(1, page, {});
    if (printed.delivery.ok && !printed.formNumbers.isEmpty()) {
        // The alignment sheet is a test print as the marks are: listed as such.
        const history::SpoiledForm spoiled{QDateTime::currentDateTimeUtc(),
                                           printed.delivery.destination,
                                           printed.formNumbers[0],
                                           history::SpoiledReason::TestMarks,
                                           {},
                                           newId()};
        if (const QString problem = recordSpoiled(spoiled); !problem.isEmpty())
            tell(printed, QStringLiteral("%1に使った伝票 %2 を、書き損じとして履歴に記録できませんでした。\n\n%3")
                              .arg(what, printed.formNumbers[0].display(), problem));
    }
    return printed;
}

Result<QList<tracking::TrackingNumber>> PrintRun::upcomingFormNumbers(int formCount)
{
    const QString queue = m_station.formQueue();
    if (queue.isEmpty())
        return QList<tracking::TrackingNumber>();
    auto stack = m_station.formStacks().load(queue);
    if (!stack)
        return fail(stack.error());
    if (!*stack)
        return QList<tracking::TrackingNumber>();
    return (*stack)->peek(formCount);
}

Result<tracking::TrackingNumber> PrintRun::spoilForm(const tracking::TrackingNumber& expected, QString* notice)
{
    const QString queue = m_station.formQueue();
    if (queue.isEmpty())
        return fail(QStringLiteral("印刷先がPDFファイルのため、飛ばす伝票がありません。"));
    auto reserved = m_station.formStacks().reserve(queue, 1);
    if (!reserved)
        return fail(reserved.error());
    const QList<tracking::TrackingNumber>& numbers = (*reserved)->numbers();
    if (numbers.isEmpty())
        return fail(QStringLiteral("「%1」には伝票の束が設定されていません。").arg(queue));
    if (!(numbers.front() == expected))
        return fail(QStringLiteral("次の伝票は、ほかのホルテアの印刷で %1 から %2 に進んでいます。飛ばしていません。"
                                   "伝票の番号を確かめてから、もう一度「1枚飛ばす」を押してください。")
                        .arg(expected.display(), numbers.front().display()));
    if (auto moved = (*reserved)->commit(); !moved)
        return fail(moved.error());
    reserved->reset();
    // The stack has moved whatever happens to the history: the form is gone.
    const QString problem =
        recordSpoiled({QDateTime::currentDateTimeUtc(), queue, expected, history::SpoiledReason::Skipped, {}, newId()});
    if (notice && !problem.isEmpty())
        *notice = QStringLiteral("伝票 %1 は飛ばしましたが、書き損じとして履歴に記録できませんでした。\n\n%2")
                      .arg(expected.display(), problem);
    return expected;
}

QString PrintRun::recordSpoiled(const history::SpoiledForm& form)
{
    storage::ProblemsMet problems(m_station.database());
    if (m_station.history().recordSpoiled(form)) {
        problems.take(); // met and mended on the way: recorded all the same
        return {};
    }
    const std::optional<storage::Problem> problem = problems.take();
    const std::optional<history::QueueServer> server = m_station.queueServer();
    if (m_station.database().engine() != storage::Engine::Postgres || !server)
        return problem ? problem->message : QString();
    const history::LocalQueue::Kept kept = m_station.localQueue().keepSpoiled(*server, form);
    if (kept.ok)
        return {};
    return (problem ? problem->message : QString()) + QStringLiteral("\n\n") + kept.problem;
}

QString PrintRun::numbersAlreadyUsed(const QList<tracking::TrackingNumber>& numbers)
{
    QList<tracking::TrackingNumber> used;
    {
        // A store that cannot be read says nothing here: the print goes on
        // as it would without it, and its recording says the problem.
        storage::ProblemsMet problems(m_station.database());
        if (const auto found = m_station.history().numbersUsed(numbers))
            used = *found;
        problems.take();
    }
    const std::optional<history::QueueServer> server = m_station.queueServer();
    if (used.isEmpty() && m_station.database().engine() == storage::Engine::Postgres && server)
        m_station.localQueue().readWaitingFor(*server, [&](history::History& waiting, storage::Database&) {
            if (const auto found = waiting.numbersUsed(numbers))
                used << *found;
            return true;
        });
    if (used.isEmpty())
        return {};
    QStringList shown;
    for (const tracking::TrackingNumber& number : used.first(qMin<qsizetype>(3, used.size())))
        shown << number.display();
    return QStringLiteral("伝票番号 %1%2 は、履歴にすでに使った伝票（印刷した荷物か書き損じ）として記録されています。"
                          "1つの番号を2つの荷物に付けないため、印刷しません。伝票の束の番号を確かめ、"
                          "「伝票の束」で次の伝票の番号を入れ直してください。")
        .arg(shown.join(QStringLiteral("、")),
             used.size() > 3 ? QStringLiteral(" ほか%1枚").arg(used.size() - 3) : QString());
}

Printed PrintRun::deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress,
                          const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    const QString queue = m_station.formQueue();
    // The forms are held from here until the document is out: no other
    // program hands them out meanwhile, and their numbers are known before
    // anything is sent, so no form is printed without its number.
    std::unique_ptr<tracking::FormStackStore::Reservation> reservation;
    QList<tracking::TrackingNumber> numbers;
    bool firstTyped = firstFormNumber.has_value();
    if (!queue.isEmpty()) {
        auto reserved = m_station.formStacks().reserve(
            queue, pageCount, firstFormNumber ? std::optional(tracking::FormStack(*firstFormNumber)) : std::nullopt);
        if (!reserved)
            return refused(reserved.error());
        reservation = std::move(*reserved);
        numbers = reservation->numbers();
        firstTyped = reservation->firstNumberTyped();
    } else if (firstFormNumber) {
        auto peeked = tracking::FormStack(*firstFormNumber).peek(pageCount);
        if (!peeked)
            return refused(peeked.error());
        numbers = *peeked;
    }
    if (!numbers.isEmpty())
        if (const QString why = numbersAlreadyUsed(numbers); !why.isEmpty())
            return refused(why);

    m_documentFormNumbers = numbers;
    Printed printed{m_station.printer().print(pageCount, pages, progress), {}, {}};
    m_documentFormNumbers.clear();
    printed.notice = printed.delivery.notice;
    if (!printed.delivery.ok)
        return printed;
    if (reservation && printed.delivery.toPdfFile)
        numbers.clear(); // went to a file after all: no form was used
    else if (reservation)
        if (auto moved = reservation->commit(); !moved)
            tell(printed, QStringLiteral("印刷はできましたが、伝票の束を進められませんでした（%1）。"
                                         "次の伝票の番号を「伝票の束」で入れ直してください。")
                              .arg(moved.error()));
    reservation.reset();
    printed.formNumbers = numbers;
    // Where the carrier's numbering is not confirmed, the numbers after the
    // one the user gave were worked out: said every time.
    if (!numbers.isEmpty()) {
        const QList<tracking::TrackingNumber> workedOut = firstTyped ? numbers.sliced(1) : numbers;
        if (!workedOut.isEmpty())
            tell(printed, tracking::consecutiveAssumption(workedOut.front().carrier(), workedOut.front().display(),
                                                          workedOut.back().display()));
    }
    if (printed.delivery.becauseNoPrinter && !m_toldPdfFolder) {
        m_toldPdfFolder = true;
        const QString folder = QFileInfo(printed.delivery.destination).absolutePath();
        tell(printed,
             QStringLiteral("プリンタが見つからないため、印刷した内容をPDFファイルとして次のフォルダに保存しました。"
                            "以後も同じフォルダに、印刷のたびに新しいファイルとして保存します。\n\n%1")
                 .arg(QDir::toNativeSeparators(folder)));
    }
    return printed;
}

} // namespace station
