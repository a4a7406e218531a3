// The spooler layer against a real CUPS scheduler (run by cups/with-cupsd.sh),
// for what printing through the window does not show: refused jobs, a
// scheduler not running, size limits and resolutions, the 24-pin driver's
// page length, Qt's own print engine's job; the resolution and form-feed rules.
#include "cupsjobs.h"
#include "paper/formfeed.h"
#include "platform/spooler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using platform::JobOptions;
using platform::Resolution;
using platform::SpoolerProblem;

namespace {

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
    painter.end();
    return path;
}

// The page length the 24-pin driver set with ESC C n, in lines of the line
// spacing ESC 2 set just before: 1/6 inch.
int escpPageLengthLines(const QString& path)
{
    QFile file(path);
    const QByteArray escp = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const qsizetype at = escp.indexOf(QByteArray("\x1b"
                                                 "2"
                                                 "\x1b"
                                                 "C",
                                                 4));
    return at < 0 || at + 4 >= escp.size() ? -1 : int(quint8(escp[at + 4]));
}

platform::QueueInfo offering(QList<Resolution> resolutions, std::optional<Resolution> byDefault)
{
    platform::QueueInfo q;
    q.resolutions = std::move(resolutions);
    q.defaultResolution = byDefault;
    return q;
}

} // namespace

class SpoolerTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_a4Pdf;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("CUPS_SERVER") && qEnvironmentVariableIsSet("CUPS_TEST_OUT"),
                 "run through tests/cups/with-cupsd.sh --all-queues");
        QVERIFY(m_dir.isValid());
        m_a4Pdf = makePdf(m_dir, QStringLiteral("a4.pdf"), 210, 297);
    }

    // What a queue says before anything is rendered, and what a job sent
    // anyway gets back: a refusal naming the cause, never a job that is
    // silently dropped or left waiting. A stopped queue would hold the job,
    // so none is sent there.
    void refusals_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<SpoolerProblem>("beforehand");
        QTest::addColumn<SpoolerProblem>("sent"); // None: not sent
        QTest::addColumn<QString>("says");
        QTest::newRow("not accepting") << QStringLiteral("rejecting") << SpoolerProblem::NotAccepting
                                       << SpoolerProblem::NotAccepting << QStringLiteral("cupsaccept rejecting");
        QTest::newRow("stopped") << QStringLiteral("stopped") << SpoolerProblem::QueueStopped << SpoolerProblem::None
                                 << QStringLiteral("再開してから");
        QTest::newRow("missing") << QStringLiteral("nosuch") << SpoolerProblem::QueueNotFound
                                 << SpoolerProblem::QueueNotFound << QStringLiteral("「プリンタの設定」");
        QTest::newRow("nobody may print") << QStringLiteral("denied") << SpoolerProblem::None
                                          << SpoolerProblem::NotPermitted << QStringLiteral("権限がない");
    }

    void refusals()
    {
        QFETCH(QString, queue);
        QFETCH(SpoolerProblem, beforehand);
        QFETCH(SpoolerProblem, sent);
        QFETCH(QString, says);
        const platform::QueueInfo info = platform::inspectQueue(queue);
        QCOMPARE(info.status.problem, beforehand);
        platform::SpoolerResult told = info.status;
        if (sent != SpoolerProblem::None) {
            const platform::SpoolerResult r = platform::submitPdf(queue, m_a4Pdf, QStringLiteral("送り状"), {});
            QCOMPARE(r.problem, sent);
            QCOMPARE(r.jobId, 0);
            QVERIFY(jobIds(queue).isEmpty());
            told = r;
        }
        QVERIFY2(told.message.contains(QStringLiteral("プリンタ「%1」").arg(queue)) && told.message.contains(says),
                 qPrintable(told.message));
    }

    void unreadableFileIsNamed()
    {
        const QString missing = m_dir.filePath(QStringLiteral("never-written.pdf"));
        const auto r = platform::submitPdf(QStringLiteral("waybill"), missing, QStringLiteral("送り状"), {});
        QCOMPARE(r.problem, SpoolerProblem::FileUnreadable);
        QVERIFY2(r.message.contains(missing), qPrintable(r.message));
    }

    // The scheduler not running is said as such, at once, not as a missing
    // queue. libcups reads CUPS_SERVER once per thread: a fresh thread sees
    // the server as a fresh program would.
    void serviceDownIsNotAMissingQueue()
    {
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", qgetenv("CUPS_TEST_DOWN_SERVER"));
        platform::QueueInfo queue;
        platform::SpoolerResult submitted;
        QElapsedTimer t;
        t.start();
        std::unique_ptr<QThread> thread(QThread::create([&] {
            queue = platform::inspectQueue(QStringLiteral("waybill"));
            submitted = platform::submitPdf(QStringLiteral("waybill"), m_a4Pdf, QStringLiteral("送り状"), {});
        }));
        thread->start();
        thread->wait();
        qputenv("CUPS_SERVER", server);
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(queue.status.problem, SpoolerProblem::ServiceDown);
        QVERIFY2(queue.status.message.contains(QStringLiteral("印刷サービス（CUPS）が動いていない")),
                 qPrintable(queue.status.message));
        QCOMPARE(submitted.problem, SpoolerProblem::ServiceDown);
        QCOMPARE(submitted.jobId, 0);
    }

    // The forms driver (tests/cups/forms-pdf.ppd) takes any size from 0.5 in
    // to 15 in wide and 0.5 in to 1200 in long; the waybill driver none.
    void customSizeLimits()
    {
        const auto queue = platform::inspectQueue(QStringLiteral("forms"));
        QVERIFY2(queue.status.ok() && queue.status.message.isEmpty(), qPrintable(queue.status.message));
        QVERIFY(queue.takesCustomSize(0.51 * kMmPerInch, 0.51 * kMmPerInch));
        QVERIFY(queue.takesCustomSize(14.99 * kMmPerInch, 1199.99 * kMmPerInch));
        for (const auto& [widthIn, lengthIn] : {std::pair{0.49, 10.0}, {15.01, 10.0}, {4.5, 0.49}, {4.5, 1200.01}})
            QVERIFY2(!queue.takesCustomSize(widthIn * kMmPerInch, lengthIn * kMmPerInch),
                     qPrintable(QStringLiteral("%1 × %2 in").arg(widthIn).arg(lengthIn)));
        QVERIFY(!platform::inspectQueue(QStringLiteral("waybill")).takesCustomSize(215, 279.4));
    }

    // The stock 24-pin driver offers 60, 120×60, 180, 360×180 and 360 dpi
    // and defaults to 120×60, too coarse for 0.1 mm steps. It feeds whole
    // 1/6 inch lines, as the form-feed rule predicts: 4.25 in, half a line
    // over 4 1/6 in, is fed as 26 lines (4 1/3 in).
    void epson24ResolutionsAndFeed()
    {
        const auto queue = platform::inspectQueue(QStringLiteral("epson24"));
        QVERIFY2(queue.status.ok(), qPrintable(queue.status.message));
        QCOMPARE(queue.defaultResolution, (Resolution{120, 60}));
        QCOMPARE(queue.resolutions.size(), 5);
        QVERIFY(queue.resolutions.contains(Resolution{360, 180}));
        const auto picked = platform::pickResolution(queue);
        QCOMPARE(picked, (Resolution{180, 180}));

        const double widthMm = 4.5 * kMmPerInch, lengthMm = 4.25 * kMmPerInch;
        const QString pdfPath = makePdf(m_dir, QStringLiteral("feed.pdf"), widthMm, lengthMm);
        const auto r =
            platform::submitPdf(QStringLiteral("epson24"), pdfPath, QStringLiteral("送り状"),
                                platform::customPaper(widthMm, lengthMm) + platform::resolutionOptions(picked));
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(waitForJob(QStringLiteral("epson24"), r.jobId), QStringLiteral("completed"));
        QCOMPARE(escpPageLengthLines(out(QStringLiteral("epson24.prn"))), 26);
        QCOMPARE(paper::formFeedFor(lengthMm).fed.sixthsOfInch, 26);
    }

    // Settings made on a QPrinter reach our job as they reach the job of
    // Qt's own CUPS engine: both jobs end with the same attributes.
    void jobCarriesWhatQtsEngineSends_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<QPageLayout::Orientation>("orientation");
        QTest::addColumn<QPrinter::DuplexMode>("duplex");
        QTest::addColumn<QStringList>("dialogOptions");
        QTest::newRow("copies, dialog options") << 2 << QPageLayout::Portrait << QPrinter::DuplexNone
                                                << QStringList{QStringLiteral("job-priority"), QStringLiteral("42"),
                                                               QStringLiteral("page-label"), QStringLiteral("控え")};
        QTest::newRow("landscape, both sides") << 1 << QPageLayout::Landscape << QPrinter::DuplexAuto << QStringList();
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
        QPainter(&printer).drawText(QPointF(100, 100), QStringLiteral("送り状"));
        const QList<int> after = jobIds(QStringLiteral("forms"));
        QCOMPARE(after.size(), before.size() + 1);
        const int qtJob = after.last();

        const platform::PrinterJobSettings settings = platform::jobSettingsOf(printer);
        QCOMPARE(settings.queue, QStringLiteral("forms"));
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
        QVERIFY(qtAttrs.contains(QStringLiteral("sides")) && qtAttrs.contains(QStringLiteral("job-name")));
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

    // What was asked for, else the queue's default, when fine enough; else
    // the coarsest that is (impact printers slow down in finer modes), the
    // lower vertical resolution between equals; else the finest there is.
    void resolutionChoice()
    {
        const QList<Resolution> stock24Pin{{60, 60}, {120, 60}, {180, 180}, {360, 180}, {360, 360}};
        const QList<Resolution> unordered{{360, 360}, {360, 180}, {60, 60}, {180, 180}};
        const JobOptions asked{{QStringLiteral("Resolution"), QStringLiteral("360x180dpi")}};
        const JobOptions askedCoarse{{QStringLiteral("printer-resolution"), QStringLiteral("120x60dpi")}};
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{360, 360})), (Resolution{360, 360}));
        QCOMPARE(platform::pickResolution(offering(unordered, Resolution{60, 60})), (Resolution{180, 180}));
        QCOMPARE(platform::pickResolution(offering({{360, 360}, {180, 360}, {360, 180}}, std::nullopt)),
                 (Resolution{360, 180}));
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{120, 60}), asked), (Resolution{360, 180}));
        QCOMPARE(platform::pickResolution(offering(stock24Pin, Resolution{360, 360}), askedCoarse),
                 (Resolution{180, 180}));
        QCOMPARE(platform::pickResolution(offering({{60, 60}, {120, 60}}, Resolution{60, 60})), (Resolution{120, 60}));
        QCOMPARE(platform::pickResolution(offering({{300, 300}}, Resolution{300, 300})), std::nullopt);

        QVERIFY(platform::resolutionOptions(std::nullopt).isEmpty());
        QCOMPARE(platform::resolutionOptions(Resolution{360, 180}),
                 (JobOptions{{QStringLiteral("Resolution"), QStringLiteral("360x180dpi")},
                             {QStringLiteral("printer-resolution"), QStringLiteral("360x180dpi")}}));
    }

    // A form is fed in whole 1/6 inch lines, half a line rounding up as the
    // driver does: what it is fed as, how far every following form drifts,
    // and the nearest lengths that feed exactly, as the form dialog shows them.
    void formFeedRule()
    {
        struct Row {
            double lengthMm;
            const char *fed, *shorter, *longer;
            double driftMm; // 0: exact
        };
        const Row rows[] = {
            {4.25 * kMmPerInch, "4 1/3 in", "4 1/6 in", "4 1/3 in", (4 + 1 / 3.0 - 4.25) * kMmPerInch},
            {297, "11 2/3 in", "11 2/3 in", "11 5/6 in", (11 + 2 / 3.0) * kMmPerInch - 297}, // A4 length
            {0.3 * kMmPerInch, "1/3 in", "1/6 in", "1/3 in", (2 / 6.0 - 0.3) * kMmPerInch},
            {4.5 * kMmPerInch, "4 1/2 in", "4 1/3 in", "4 2/3 in", 0},
            {110.07, "4 1/3 in", "4 1/6 in", "4 1/2 in", 0}, // typed to 0.01 mm: exact
            {110.09, "4 1/3 in", "4 1/3 in", "4 1/2 in", (4 + 1 / 3.0) * kMmPerInch - 110.09}, // 0.02 mm off: not
        };
        for (const Row& row : rows) {
            const paper::FormFeed f = paper::formFeedFor(row.lengthMm);
            const QString got = QStringLiteral("%1 mm: %2, %3, %4, %5")
                                    .arg(row.lengthMm)
                                    .arg(f.fed.inchesText(), f.shorter.inchesText(), f.longer.inchesText())
                                    .arg(f.driftPerFormMm);
            QVERIFY2(f.fed.inchesText() == QLatin1String(row.fed) &&
                         f.shorter.inchesText() == QLatin1String(row.shorter) &&
                         f.longer.inchesText() == QLatin1String(row.longer) && f.exact == (row.driftMm == 0) &&
                         std::abs(f.driftPerFormMm - row.driftMm) < 1e-9 &&
                         std::abs(f.fed.mm() - row.lengthMm - row.driftMm) < 0.01,
                     qPrintable(got));
        }
    }
};

QTEST_MAIN(SpoolerTest)
#include "tst_spooler.moc"
