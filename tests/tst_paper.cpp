// Pages on paper, measured through a PDF file and a real spooler (a private
// CUPS scheduler with file-backed PDF queues, cups/with-cupsd.sh) against the
// designed millimetres; then what the user hears when a queue cannot print.
#include "support.h"
#include "waybillcheck.h"

#include "print/systemprinter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPrinterInfo>

using namespace testing;

namespace {

// The queues' hardware margins (tests/cups/waybill-pdf.ppd): the printable
// area starts 11.91 pt from the left and 842 - 831.80 pt from the top.
const Corner kQueueCorner{11.91 / pdf::kPtPerMm, (842.0 - 831.80) / pdf::kPtPerMm};

QString out(const QString& queue)
{
    return QDir(qEnvironmentVariable("CUPS_TEST_OUT")).filePath(queue + QStringLiteral(".pdf"));
}

QStringList jobs(const QString& which, const QString& queue)
{
    return pdf::run(QStringLiteral("lpstat"), {QStringLiteral("-W"), which, QStringLiteral("-o"), queue})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Waits (bounded) until the queue has completed `count` jobs in all and
// holds none.
bool waitForJobs(const QString& queue, int count)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        if (jobs(QStringLiteral("completed"), queue).size() == count &&
            jobs(QStringLiteral("not-completed"), queue).isEmpty() && QFileInfo(out(queue)).size() > 0)
            return true;
        QTest::qWait(100);
    }
    return false;
}

void admin(const QString& program, const QStringList& args) { QCOMPARE(QProcess::execute(program, args), 0); }

} // namespace

class PaperTest : public QObject {
    Q_OBJECT

    // One program run on the system's default queue.
    std::unique_ptr<print::SystemPrinter> m_printer;
    std::unique_ptr<TestWindow> m_window;
    int m_waybillJobs = 0;

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        QVERIFY2(qEnvironmentVariableIsSet("CUPS_SERVER") && qEnvironmentVariableIsSet("CUPS_TEST_OUT"),
                 "run through tests/cups/with-cupsd.sh");
        QCOMPARE(QPrinterInfo::defaultPrinterName(), QStringLiteral("waybill"));
        m_printer = std::make_unique<print::SystemPrinter>(QDir::temp().filePath(QStringLiteral("unused")));
        m_window = std::make_unique<TestWindow>(true, m_printer.get());
    }

    // Two different waybills as one document of two pages, and the test
    // page, each measured: once into a PDF file, once through the spooler.
    void pagesMeasured_data()
    {
        QTest::addColumn<bool>("spooler");
        QTest::newRow("PDF file") << false;
        QTest::newRow("spooler queue") << true;
    }

    void pagesMeasured()
    {
        QFETCH(bool, spooler);
        QTemporaryDir dir;
        print::SystemPrinter pdfPrinter(dir.path());
        pdfPrinter.settings().setOutputFileName(dir.filePath(QStringLiteral("waybill.pdf")));
        TestWindow local(true, &pdfPrinter);
        TestWindow& w = spooler ? *m_window : local;
        const QString file = spooler ? out(QStringLiteral("waybill")) : dir.filePath(QStringLiteral("waybill.pdf"));
        const Corner corner = spooler ? kQueueCorner : Corner{};
        const double tolerance = spooler ? 0.3 : 0.05;

        const waybill::Waybill waybills[] = {expect::filledWaybill(), expect::secondWaybill()};
        const auto printed = w.printRun->printWaybills(waybills, {-12, 9});
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        if (spooler)
            QVERIFY(waitForJobs(QStringLiteral("waybill"), ++m_waybillJobs));
        QCOMPARE(pdf::pageCount(file), 2);
        for (int page = 1; page <= 2; ++page) {
            const double worst = checkWaybillPage(file, page, waybills[page - 1], -12, 9, corner, tolerance);
            QVERIFY(!QTest::currentTestFailed());
            qInfo("page %d: texts within %.3f mm of their designed places", page, worst);
        }

        // The test page, with the offsets as typed on the panel.
        w.click("OnOffBtn");
        w.setText("Sayuu_Xtxt", QStringLiteral("-12"));
        w.setText("Jyouge_Ytxt", QStringLiteral("9"));
        w.click("IchiBtn");
        QVERIFY2(w.messages.shown.empty(), qPrintable(w.messages.last()));
        if (spooler)
            QVERIFY(waitForJobs(QStringLiteral("waybill"), ++m_waybillJobs));
        QCOMPARE(pdf::pageCount(file), 1);
        checkTestDots(file, -12, 9, corner);
    }

    // The queue confirmed in the printer dialog takes the next prints; the
    // default queue gets nothing more.
    void dialogChoiceSendsToItsQueue()
    {
        TestWindow& w = *m_window;
        w.dialog.answer = [](QPrinter& printer) {
            printer.setPrinterName(QStringLiteral("other"));
            return true;
        };
        w.click("PriDiaBtn");
        w.form->fillFrom(expect::filledWaybill());
        w.click("InsatsuBtn");
        QVERIFY2(w.messages.shown.empty(), qPrintable(w.messages.last()));
        QVERIFY(waitForJobs(QStringLiteral("other"), 1));
        checkWaybillPage(out(QStringLiteral("other")), 1, expect::filledWaybill(), -12, 9, kQueueCorner, 0.3);
        QCOMPARE(jobs(QStringLiteral("completed"), QStringLiteral("waybill")).size(), m_waybillJobs);
    }

    // A stopped queue, or one that refuses jobs: said, naming the queue, with
    // nothing silently dropped or left waiting; restarted, the next print goes.
    void stoppedOrRejectingQueueSaysSo()
    {
        TestWindow& w = *m_window;
        const std::tuple<QString, QString, QString> states[] = {
            {QStringLiteral("cupsdisable"), QStringLiteral("cupsenable"), QStringLiteral("停止")},
            {QStringLiteral("cupsreject"), QStringLiteral("cupsaccept"), QStringLiteral("受け付けない")}};
        int otherJobs = 1;
        for (const auto& [stop, restart, said] : states) {
            admin(stop, {QStringLiteral("other")});
            const size_t told = w.messages.shown.size() + 1;
            w.form->InsatsuBtn_Click();
            QCOMPARE(w.messages.shown.size(), told);
            const QString last = w.messages.last();
            QVERIFY2(last.contains(said) && last.contains(QStringLiteral("other")), qPrintable(last));
            QVERIFY(jobs(QStringLiteral("not-completed"), QStringLiteral("other")).isEmpty());
            admin(restart, {QStringLiteral("other")});
            w.form->InsatsuBtn_Click();
            QCOMPARE(w.messages.shown.size(), told);
            QVERIFY(waitForJobs(QStringLiteral("other"), ++otherJobs));
        }
    }

    void missingQueueSaysSo()
    {
        TestWindow& w = *m_window;
        admin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("other")});
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(3));
        QVERIFY2(w.messages.last().contains(QStringLiteral("見つからない")), qPrintable(w.messages.last()));
        w.form->IchiBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(4));

        // The dialog, cancelled, keeps the vanished queue: the next print
        // says so again rather than going to whatever the dialog showed.
        w.dialog.answer = [](QPrinter& printer) {
            printer.setPrinterName(QStringLiteral("waybill"));
            return false;
        };
        w.click("PriDiaBtn");
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(5));
        QVERIFY(w.messages.last().contains(QStringLiteral("other")));
        QCOMPARE(jobs(QStringLiteral("completed"), QStringLiteral("waybill")).size(), m_waybillJobs);
        QCOMPARE(QJsonDocument(waybill::toJson(w.form->readWaybill())).toJson(),
                 QJsonDocument(waybill::toJson(expect::filledWaybill())).toJson());
    }
};

QTEST_MAIN(PaperTest)
#include "tst_paper.moc"
