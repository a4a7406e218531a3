// The spooler layer against a real CUPS scheduler: queues that take, hold,
// refuse or do not exist, a scheduler that is not running, exact form sizes,
// the 24-pin driver's resolution and page length, and a job that carries
// what Qt's own print engine sends. Run by cups/with-cupsd.sh.
#include "paper/formfeed.h"
#include "cupsjobs.h"
#include "pdfmeasure.h"
#include "platform/spooler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>

using platform::JobOption;
using platform::JobOptions;
using platform::Resolution;
using platform::SpoolerProblem;

namespace {

constexpr double kPtPerInch = 72.0;
constexpr double kMmPerInch = 25.4;


// A one-page PDF of the given paper with a frame just inside its edges.
QString makePdf(const QTemporaryDir& dir, const QString& name, double widthMm, double lengthMm)
{
    const QString path = dir.filePath(name);
    QPdfWriter writer(path);
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(widthMm, lengthMm), QPageSize::Millimeter), QPageLayout::Portrait,
                                     QMarginsF(), QPageLayout::Millimeter));
    QPainter painter(&writer);
    const double dotsPerMm = writer.resolution() / kMmPerInch;
    painter.drawRect(QRectF(5 * dotsPerMm, 5 * dotsPerMm, (widthMm - 10) * dotsPerMm, (lengthMm - 10) * dotsPerMm));
    painter.drawText(QPointF(10 * dotsPerMm, 15 * dotsPerMm), QStringLiteral("送り状"));
    painter.end();
    return path;
}


QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The page length the 24-pin driver set with ESC C n, in lines of the line
// spacing ESC 2 set just before: 1/6 inch.
int escpPageLengthLines(const QByteArray& escp)
{
    const qsizetype at = escp.indexOf(QByteArray("\x1b" "2" "\x1b" "C", 4));
    return at < 0 || at + 4 >= escp.size() ? -1 : int(quint8(escp[at + 4]));
}

platform::QueueInfo offering(QList<Resolution> resolutions, std::optional<Resolution> byDefault)
{
    platform::QueueInfo q;
    q.resolutions = std::move(resolutions);
    q.defaultResolution = byDefault;
    return q;
}

// Runs `work` on a thread of its own: libcups reads CUPS_SERVER once per
// thread, so a fresh thread sees the server as a fresh program would.
template <typename Work>
void onFreshThread(Work work)
{
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    thread->wait();
}

} // namespace

class SpoolerTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("CUPS_SERVER") && qEnvironmentVariableIsSet("CUPS_TEST_OUT"),
                 "run through tests/cups/with-cupsd.sh --all-queues");
        QVERIFY(m_dir.isValid());
    }

    void goodQueueTakesThePdfAndTheJobCompletes()
    {
        const platform::QueueInfo queue = platform::inspectQueue(QStringLiteral("waybill"));
        QVERIFY2(queue.status.ok(), qPrintable(queue.status.message));
        QVERIFY(queue.status.message.isEmpty());

        const QString pdfPath = makePdf(m_dir, QStringLiteral("a4.pdf"), 210, 297);
        const auto r = platform::submitPdf(QStringLiteral("waybill"), pdfPath, QStringLiteral("送り状"),
                                           platform::standardPaper(QStringLiteral("A4")));
        QVERIFY2(r.ok(), qPrintable(r.message));
        QVERIFY(r.jobId > 0);
        QCOMPARE(waitForJob(QStringLiteral("waybill"), r.jobId), QStringLiteral("completed"));
        const auto attrs = jobAttributes(QStringLiteral("waybill"), r.jobId);
        QCOMPARE(attrs.value(QStringLiteral("job-name")), QStringLiteral("送り状"));
        QCOMPARE(attrs.value(QStringLiteral("document-format")), QStringLiteral("application/pdf"));
        QCOMPARE(pdf::pageCount(out(QStringLiteral("waybill.pdf"))), 1);
        const QSizeF page = pageSizePt(out(QStringLiteral("waybill.pdf")));
        QCOMPARE(qRound(page.width()), 595);
        QCOMPARE(qRound(page.height()), 842);
    }

    // cupsreject: said before anything is rendered, and a job sent anyway
    // comes back refused instead of vanishing.
    void rejectingQueueIsRefusedBeforeAndAtSubmission()
    {
        const auto queue = platform::inspectQueue(QStringLiteral("rejecting"));
        QCOMPARE(queue.status.problem, SpoolerProblem::NotAccepting);
        QVERIFY2(queue.status.message.contains(QStringLiteral("受け付けない")), qPrintable(queue.status.message));
        QVERIFY(queue.status.message.contains(QStringLiteral("cupsaccept rejecting")));

        const QString pdfPath = makePdf(m_dir, QStringLiteral("reject.pdf"), 210, 297);
        const auto r = platform::submitPdf(QStringLiteral("rejecting"), pdfPath, QStringLiteral("送り状"), {});
        QCOMPARE(r.problem, SpoolerProblem::NotAccepting);
        QCOMPARE(r.jobId, 0);
        QVERIFY2(r.message.contains(QStringLiteral("rejecting")), qPrintable(r.message));
        QVERIFY(jobIds(QStringLiteral("rejecting")).isEmpty());
    }

    void stoppedQueueIsSaidToBeStopped()
    {
        const auto queue = platform::inspectQueue(QStringLiteral("stopped"));
        QCOMPARE(queue.status.problem, SpoolerProblem::QueueStopped);
        QVERIFY2(queue.status.message.contains(QStringLiteral("停止")), qPrintable(queue.status.message));
        QVERIFY(queue.status.message.contains(QStringLiteral("再開")));
        QVERIFY(queue.status.message.contains(QStringLiteral("「stopped」")));
    }

    void missingQueueIsSaidToBeMissing()
    {
        const auto queue = platform::inspectQueue(QStringLiteral("nosuch"));
        QCOMPARE(queue.status.problem, SpoolerProblem::QueueNotFound);
        QVERIFY2(queue.status.message.contains(QStringLiteral("見つからない")), qPrintable(queue.status.message));
        QVERIFY(queue.status.message.contains(QStringLiteral("「プリンタの設定」")));

        const QString pdfPath = makePdf(m_dir, QStringLiteral("missing.pdf"), 210, 297);
        const auto r = platform::submitPdf(QStringLiteral("nosuch"), pdfPath, QStringLiteral("送り状"), {});
        QVERIFY2(r.problem == SpoolerProblem::QueueNotFound, qPrintable(r.message));
        QCOMPARE(r.jobId, 0);
    }

    void queueNobodyMayUseIsRefusedForPermission()
    {
        QVERIFY(platform::inspectQueue(QStringLiteral("denied")).status.ok());
        const QString pdfPath = makePdf(m_dir, QStringLiteral("denied.pdf"), 210, 297);
        const auto r = platform::submitPdf(QStringLiteral("denied"), pdfPath, QStringLiteral("送り状"), {});
        QCOMPARE(r.problem, SpoolerProblem::NotPermitted);
        QVERIFY2(r.message.contains(QStringLiteral("権限")), qPrintable(r.message));
        QVERIFY(jobIds(QStringLiteral("denied")).isEmpty());
    }

    void unreadableFileIsNamed()
    {
        const QString missing = m_dir.filePath(QStringLiteral("never-written.pdf"));
        const auto r = platform::submitPdf(QStringLiteral("waybill"), missing, QStringLiteral("送り状"), {});
        QCOMPARE(r.problem, SpoolerProblem::FileUnreadable);
        QVERIFY2(r.message.contains(missing), qPrintable(r.message));
    }

    // The scheduler not running is its own case, not a missing queue.
    void serviceDownIsNotAMissingQueue()
    {
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", qgetenv("CUPS_TEST_DOWN_SERVER"));
        const QString pdfPath = makePdf(m_dir, QStringLiteral("down.pdf"), 210, 297);
        platform::QueueInfo queue;
        platform::SpoolerResult submitted;
        QElapsedTimer t;
        t.start();
        onFreshThread([&] {
            queue = platform::inspectQueue(QStringLiteral("waybill"));
            submitted = platform::submitPdf(QStringLiteral("waybill"), pdfPath, QStringLiteral("送り状"), {});
        });
        qputenv("CUPS_SERVER", server);
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(queue.status.problem, SpoolerProblem::ServiceDown);
        QVERIFY2(queue.status.message.contains(QStringLiteral("印刷サービス（CUPS）が動いていない")),
                 qPrintable(queue.status.message));
        QVERIFY(!queue.status.message.contains(QStringLiteral("見つから")));
        QCOMPARE(submitted.problem, SpoolerProblem::ServiceDown);
        QCOMPARE(submitted.jobId, 0);
    }

    // The job's paper is the form's exact size: not snapped to Letter,
    // which lies within the scheduler's 1.76 mm of 215 × 279.4 mm.
    void customFormSizeReachesTheJobExactly_data()
    {
        QTest::addColumn<double>("widthMm");
        QTest::addColumn<double>("lengthMm");
        QTest::addColumn<QString>("media");
        QTest::newRow("4.5 × 10 in") << 4.5 * kMmPerInch << 10 * kMmPerInch << QStringLiteral("Custom.114.3x254mm");
        QTest::newRow("215 × 279.4 mm") << 215.0 << 279.4 << QStringLiteral("Custom.215x279.4mm");
    }
    void customFormSizeReachesTheJobExactly()
    {
        QFETCH(double, widthMm);
        QFETCH(double, lengthMm);
        QFETCH(QString, media);
        const auto queue = platform::inspectQueue(QStringLiteral("forms"));
        QVERIFY2(queue.status.ok(), qPrintable(queue.status.message));
        QVERIFY(queue.takesCustomSize(widthMm, lengthMm));
        // The driver's limits (tests/cups/forms-pdf.ppd): 0.5 in to 15 in
        // wide, 0.5 in to 1200 in long.
        QVERIFY(std::abs(queue.customMinWidthMm - 0.5 * kMmPerInch) < 0.01);
        QVERIFY(std::abs(queue.customMaxWidthMm - 15 * kMmPerInch) < 0.01);
        QVERIFY(std::abs(queue.customMinLengthMm - 0.5 * kMmPerInch) < 0.01);
        QVERIFY(std::abs(queue.customMaxLengthMm - 1200 * kMmPerInch) < 0.01);
        QVERIFY(!queue.takesCustomSize(16 * kMmPerInch, lengthMm));
        QVERIFY(!queue.takesCustomSize(widthMm, 1201 * kMmPerInch));
        QVERIFY(!queue.takesCustomSize(widthMm, 0.4 * kMmPerInch));

        const QString pdfPath = makePdf(m_dir, QStringLiteral("form.pdf"), widthMm, lengthMm);
        const auto r = platform::submitPdf(QStringLiteral("forms"), pdfPath, QStringLiteral("送り状"),
                                           platform::customPaper(widthMm, lengthMm));
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(waitForJob(QStringLiteral("forms"), r.jobId), QStringLiteral("completed"));
        QCOMPARE(jobAttributes(QStringLiteral("forms"), r.jobId).value(QStringLiteral("media")), media);
        const QSizeF page = pageSizePt(out(QStringLiteral("forms.pdf")));
        QVERIFY2(std::abs(page.width() - widthMm / kMmPerInch * kPtPerInch) < 0.01, qPrintable(QString::number(page.width())));
        QVERIFY2(std::abs(page.height() - lengthMm / kMmPerInch * kPtPerInch) < 0.01, qPrintable(QString::number(page.height())));
    }

    // The stock 24-pin driver offers 60, 120×60, 180, 360×180 and 360 dpi
    // and defaults to 120×60; a form job must come out at 180 or finer.
    void epson24JobPrintsAt180DpiOrFiner()
    {
        const auto queue = platform::inspectQueue(QStringLiteral("epson24"));
        QVERIFY2(queue.status.ok(), qPrintable(queue.status.message));
        QCOMPARE(queue.defaultResolution, (Resolution{120, 60}));
        QVERIFY(queue.resolutions.size() >= 2);
        const auto picked = platform::pickResolution(queue);
        QVERIFY(picked);

        const double widthMm = 4.5 * kMmPerInch, lengthMm = 4 * kMmPerInch;
        const QString pdfPath = makePdf(m_dir, QStringLiteral("epson.pdf"), widthMm, lengthMm);
        JobOptions options = platform::customPaper(widthMm, lengthMm);
        options += platform::resolutionOptions(picked);
        const auto r = platform::submitPdf(QStringLiteral("epson24"), pdfPath, QStringLiteral("送り状"), options);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(waitForJob(QStringLiteral("epson24"), r.jobId), QStringLiteral("completed"));

        const auto sent = Resolution::fromName(jobAttributes(QStringLiteral("epson24"), r.jobId).value(QStringLiteral("Resolution")));
        QVERIFY(sent);
        QVERIFY2(sent->xDpi >= 180 && sent->yDpi >= 180, qPrintable(sent->name()));
        // The driver drew with 24-dot graphics at 180 dpi (ESC * 39), not
        // with the 8-dot 120 dpi mode of its default (ESC * 1).
        const QByteArray escp = readAll(out(QStringLiteral("epson24.prn")));
        QVERIFY(escp.contains(QByteArray("\x1b*\x27", 3)));
        QVERIFY(!escp.contains(QByteArray("\x1b*\x01", 3)));
    }

    // The driver feeds whole 1/6 inch lines; the form-feed rule predicts
    // what it does with a form that is not a whole number of lines.
    void epson24FeedsFormsAsTheFeedRuleSays_data()
    {
        QTest::addColumn<double>("lengthIn");
        QTest::addColumn<int>("lines");
        QTest::newRow("4.25 in") << 4.25 << 26;
        QTest::newRow("4 1/3 in") << 4 + 1 / 3.0 << 26;
        QTest::newRow("4 1/6 in") << 4 + 1 / 6.0 << 25;
    }
    void epson24FeedsFormsAsTheFeedRuleSays()
    {
        QFETCH(double, lengthIn);
        QFETCH(int, lines);
        const double widthMm = 4.5 * kMmPerInch, lengthMm = lengthIn * kMmPerInch;
        const QString pdfPath = makePdf(m_dir, QStringLiteral("feed.pdf"), widthMm, lengthMm);
        const auto r = platform::submitPdf(QStringLiteral("epson24"), pdfPath, QStringLiteral("送り状"),
                                           platform::customPaper(widthMm, lengthMm));
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(waitForJob(QStringLiteral("epson24"), r.jobId), QStringLiteral("completed"));
        const int driverLines = escpPageLengthLines(readAll(out(QStringLiteral("epson24.prn"))));
        QCOMPARE(driverLines, lines);
        QCOMPARE(paper::formFeedFor(lengthMm).fed.sixthsOfInch, driverLines);
    }

    // Settings made on a QPrinter reach our job as they reach the job of
    // Qt's own CUPS engine: both jobs end with the same attributes.
    void jobCarriesWhatQtsEngineSends_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<QPageLayout::Orientation>("orientation");
        QTest::addColumn<QPrinter::DuplexMode>("duplex");
        QTest::addColumn<QStringList>("dialogOptions");
        QTest::newRow("copies, dialog options")
            << 2 << QPageLayout::Portrait << QPrinter::DuplexNone
            << QStringList{QStringLiteral("job-priority"), QStringLiteral("42"), QStringLiteral("page-label"), QStringLiteral("控え")};
        QTest::newRow("landscape, both sides") << 1 << QPageLayout::Landscape << QPrinter::DuplexAuto << QStringList();
        QTest::newRow("long edge") << 1 << QPageLayout::Portrait << QPrinter::DuplexLongSide << QStringList();
    }
    void jobCarriesWhatQtsEngineSends()
    {
        QFETCH(int, copies);
        QFETCH(QPageLayout::Orientation, orientation);
        QFETCH(QPrinter::DuplexMode, duplex);
        QFETCH(QStringList, dialogOptions);
        const double widthMm = 4.5 * kMmPerInch, lengthMm = 10 * kMmPerInch;
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(QStringLiteral("forms"));
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        printer.setDocName(QStringLiteral("送り状 控え"));
        printer.setPageSize(QPageSize(QSizeF(widthMm, lengthMm), QPageSize::Millimeter));
        printer.setPageOrientation(orientation);
        printer.setDuplex(duplex);
        QCOMPARE(printer.duplex(), duplex);
        printer.setCopyCount(copies);
        printer.setCollateCopies(true);
        // As the printer dialog stores the options of its advanced pages.
        printer.printEngine()->setProperty(QPrintEngine::PrintEnginePropertyKey(0xfe00), dialogOptions);
        const QList<int> before = jobIds(QStringLiteral("forms"));
        {
            QPainter painter(&printer);
            painter.drawText(QPointF(100, 100), QStringLiteral("送り状"));
        }
        const QList<int> after = jobIds(QStringLiteral("forms"));
        QCOMPARE(after.size(), before.size() + 1);
        const int qtJob = after.last();

        const platform::PrinterJobSettings settings = platform::jobSettingsOf(printer);
        QCOMPARE(settings.queue, QStringLiteral("forms"));
        QCOMPARE(settings.title, QStringLiteral("送り状 控え"));
        const QString pdfPath = makePdf(m_dir, QStringLiteral("qt.pdf"), widthMm, lengthMm);
        const auto ours = platform::submitPdf(settings.queue, pdfPath, settings.title, settings.options);
        QVERIFY2(ours.ok(), qPrintable(ours.message));
        QCOMPARE(waitForJob(QStringLiteral("forms"), qtJob), QStringLiteral("completed"));
        QCOMPARE(waitForJob(QStringLiteral("forms"), ours.jobId), QStringLiteral("completed"));

        // What differs between any two jobs: ids, addresses, times, sizes,
        // progress, and how the document's format was made known.
        static const QRegularExpression perJob(QStringLiteral(
            R"(^(job-id|job-uri|job-uuid|job-more-info|job-k-octets|job-printer-up-time|job-printer-state-.*|)"
            R"(job-state.*|job-media-.*|job-impressions.*|job-pages.*|time-at-.*|date-time-at-.*|)"
            R"(number-of-documents|document-format-supplied|document-format-detected|document-name-supplied|)"
            R"(job-originating-host-name)$)"));
        auto qtAttrs = jobAttributes(QStringLiteral("forms"), qtJob);
        auto ourAttrs = jobAttributes(QStringLiteral("forms"), ours.jobId);
        QVERIFY(qtAttrs.contains(QStringLiteral("sides")));
        for (auto* attrs : {&qtAttrs, &ourAttrs})
            for (const QString& key : attrs->uniqueKeys())
                if (perJob.match(key).hasMatch())
                    attrs->remove(key);
        for (const QString& key : qtAttrs.uniqueKeys())
            QVERIFY2(ourAttrs.values(key) == qtAttrs.values(key),
                     qPrintable(QStringLiteral("%1: Qt %2, ours %3")
                                    .arg(key, qtAttrs.values(key).join(QLatin1Char(',')),
                                         ourAttrs.values(key).join(QLatin1Char(',')))));
        QCOMPARE(ourAttrs.uniqueKeys(), qtAttrs.uniqueKeys());
    }

    // The queue's default when fine enough, else what was asked for when
    // that is, else the coarsest that is: impact printers slow down in
    // finer modes.
    void resolutionChoice()
    {
        const QList<Resolution> stock24Pin{{60, 60}, {120, 60}, {180, 180}, {360, 180}, {360, 360}};
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{120, 60})), (Resolution{180, 180}));
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{360, 360})), (Resolution{360, 360}));
        QCOMPARE(platform::pickResolution(offering(stock24Pin, std::nullopt)), (Resolution{180, 180}));
        const QList<Resolution> unordered{{360, 360}, {360, 180}, {60, 60}, {180, 180}};
        QCOMPARE(platform::pickResolution(offering(unordered, Resolution{60, 60})), (Resolution{180, 180}));
        QCOMPARE(platform::pickResolution(offering({{360, 360}, {180, 360}, {360, 180}}, std::nullopt)), (Resolution{360, 180}));

        // A choice on the printer's own options page wins when fine enough.
        const JobOptions asked{{QStringLiteral("Resolution"), QStringLiteral("360x180dpi")}};
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{120, 60}), asked), (Resolution{360, 180}));
        const JobOptions tooCoarse{{QStringLiteral("Resolution"), QStringLiteral("120x60dpi")}};
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{360, 360}), tooCoarse), (Resolution{180, 180}));

        // Nothing fine enough: the finest there is. No choice: nothing.
        QCOMPARE(platform::pickResolution(offering({{60, 60}, {120, 60}}, Resolution{60, 60})), (Resolution{120, 60}));
        QCOMPARE(platform::pickResolution(offering({{300, 300}}, Resolution{300, 300})), std::nullopt);
        QVERIFY(platform::resolutionOptions(std::nullopt).isEmpty());
        QCOMPARE(platform::resolutionOptions(Resolution{360, 180}),
                 (JobOptions{{QStringLiteral("Resolution"), QStringLiteral("360x180dpi")},
                             {QStringLiteral("printer-resolution"), QStringLiteral("360x180dpi")}}));
        QCOMPARE(Resolution::fromName(QStringLiteral("180dpi")), (Resolution{180, 180}));
        QCOMPARE(Resolution::fromName(QStringLiteral("Draft")), std::nullopt);
    }

    void formFeed()
    {
        // 4.25 in is fed as 4 1/3 in: every following form 2.1 mm lower.
        const paper::FormFeed quarter = paper::formFeedFor(4.25 * kMmPerInch);
        QVERIFY(!quarter.exact);
        QCOMPARE(quarter.fed.inchesText(), QStringLiteral("4 1/3 in"));
        QVERIFY(std::abs(quarter.driftPerFormMm - (4 + 1 / 3.0 - 4.25) * kMmPerInch) < 1e-9);
        QCOMPARE(quarter.shorter.inchesText(), QStringLiteral("4 1/6 in"));
        QCOMPARE(quarter.longer.inchesText(), QStringLiteral("4 1/3 in"));

        for (const double inches : {4 + 1 / 3.0, 4.5, 11.0}) {
            const paper::FormFeed f = paper::formFeedFor(inches * kMmPerInch);
            QVERIFY2(f.exact, qPrintable(QString::number(inches)));
            QCOMPARE(f.driftPerFormMm, 0.0);
            QVERIFY(std::abs(f.fed.mm() - inches * kMmPerInch) < 1e-9);
        }
        QCOMPARE(paper::formFeedFor(4.5 * kMmPerInch).fed.inchesText(), QStringLiteral("4 1/2 in"));
        QCOMPARE(paper::formFeedFor(11 * kMmPerInch).fed.inchesText(), QStringLiteral("11 in"));
        QCOMPARE(paper::formFeedFor(kMmPerInch / 6).fed.inchesText(), QStringLiteral("1/6 in"));

        // A4 length: between 11 2/3 in and 11 5/6 in, fed 0.67 mm short.
        const paper::FormFeed a4 = paper::formFeedFor(297);
        QVERIFY(!a4.exact);
        QCOMPARE(a4.shorter.inchesText(), QStringLiteral("11 2/3 in"));
        QCOMPARE(a4.longer.inchesText(), QStringLiteral("11 5/6 in"));
        QVERIFY(std::abs(a4.shorter.mm() - (11 + 2 / 3.0) * kMmPerInch) < 1e-9);
        QVERIFY(std::abs(a4.longer.mm() - (11 + 5 / 6.0) * kMmPerInch) < 1e-9);
        QVERIFY(std::abs(a4.driftPerFormMm - ((11 + 2 / 3.0) * kMmPerInch - 297)) < 1e-9);

        // A length typed to 0.01 mm counts as exact; 0.02 mm off does not.
        QVERIFY(paper::formFeedFor(110.07).exact);
        QVERIFY(!paper::formFeedFor(110.09).exact);
        QCOMPARE(paper::formFeedFor(110.09).shorter.inchesText(), QStringLiteral("4 1/3 in"));
        QCOMPARE(paper::formFeedFor(110.09).longer.inchesText(), QStringLiteral("4 1/2 in"));
    }
};

QTEST_MAIN(SpoolerTest)
#include "tst_spooler.moc"
