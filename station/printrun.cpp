#include "station/printrun.h"

#include "adjust/testprint.h"
#include "print/overrun.h"
#include "print/renderer.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QUuid>

namespace station {

QString PrintRun::sendQueued()
{
    storage::Database& server = m_station.database();
    if (server.engine() != storage::Engine::Postgres)
        return {};
    const int sent = m_station.localQueue().sendTo(server, m_station.history());
    if (sent == 0)
        return {};
    m_toldQueued = false;
    return QStringLiteral("サーバー（%1）に、このPCの控えに記録していた %2 枚の印刷履歴を送りました。")
        .arg(server.server().hostAndPort())
        .arg(sent);
}

Printed PrintRun::printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                                const print::Progress& progress)
{
    return printWaybills(
        int(waybills.size()), [&](int index) { return waybills[size_t(index)]; }, offsets, progress);
}

Printed PrintRun::printWaybills(int count, const WaybillSource& waybillAt, print::PrintOffsets offsets,
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
    storage::ProblemsMet problems(m_station.database());
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
    bool recorded = m_station.history().recordAll(count, recordAt);
    const auto tell = [&](const QString& said) {
        printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + said;
    };
    if (!sentFromQueue.isEmpty())
        tell(sentFromQueue);
    // The server away: the pages go to this PC's queue, to be sent when it
    // is back; said once until then.
    if (!recorded && m_station.database().engine() == storage::Engine::Postgres) {
        history::LocalQueue& queue = m_station.localQueue();
        const std::optional<storage::Problem> serverProblem = problems.take();
        storage::ProblemsMet queueProblems(queue.database());
        if (queue.keep(count, recordAt)) {
            if (!m_toldQueued)
                tell(QStringLiteral("印刷した分は、サーバーにつながるまでこのPCの控え（%1）に記録しました。"
                                    "つながったら、次の印刷のときにサーバーへ送ります。\n\n%2")
                         .arg(QDir::toNativeSeparators(queue.filePath()),
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
    Printed printed = deliver(1, [&](int) { return adjust::testMarksPage(offsets, m_printState); }, {});
    if (printed.delivery.ok && !printed.formNumbers.isEmpty()) {
        storage::ProblemsMet problems(m_station.database());
        const bool recorded = m_station.history().recordSpoiled(
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
PrintRun::upcomingFormNumbers(int formCount, const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    if (firstFormNumber)
        return tracking::FormStack(*firstFormNumber).peek(formCount);
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

Result<tracking::TrackingNumber> PrintRun::spoilForm()
{
    const QString queue = m_station.formQueue();
    if (queue.isEmpty())
        return fail(QStringLiteral("印刷先がPDFファイルのため、飛ばす伝票がありません。"));
    auto spoiled = m_station.formStacks().spoil(queue);
    if (!spoiled)
        return spoiled;
    // The stack has moved whatever happens to the history: the form is gone.
    m_station.history().recordSpoiled({QDateTime::currentDateTime(), queue, *spoiled});
    return spoiled;
}

Printed PrintRun::deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress,
                          const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    const QString queue = m_station.formQueue();
    const tracking::FormStackStore stacks = m_station.formStacks();
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

    Printed printed{m_station.printer().print(pageCount, pages, progress), {}, {}};
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
