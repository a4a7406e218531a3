// Printing through a real CUPS spooler: the default queue, a queue chosen in
// the printer dialog, the mark test page, and queues that are stopped or
// gone. Run by cups/with-cupsd.sh, which starts a private scheduler with two
// file-backed PDF queues and points CUPS_SERVER at it.
#include "waybillcheck.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinterInfo>

using namespace testing;

namespace {

// The queues' hardware margins (tests/cups/waybill-pdf.ppd): the printable
// area starts 11.91 pt from the left and 842 - 831.80 pt from the top.
const Corner kQueueCorner{11.91 / pdf::kPtPerMm, (842.0 - 831.80) / pdf::kPtPerMm};

QString out(const QString& queue) { return QDir(qEnvironmentVariable("CUPS_TEST_OUT")).filePath(queue + QStringLiteral(".pdf")); }

QStringList jobs(const QString& which, const QString& queue)
{
    QStringList lines = pdf::run(QStringLiteral("lpstat"), {QStringLiteral("-W"), which, QStringLiteral("-o"), queue})
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines;
}

// Waits (bounded) until the queue has completed `count` jobs in all and
// holds none, then gives its output file.
bool waitForJobs(const QString& queue, int count)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        if (jobs(QStringLiteral("completed"), queue).size() == count && jobs(QStringLiteral("not-completed"), queue).isEmpty() &&
            QFileInfo(out(queue)).size() > 0)
            return true;
        QTest::qWait(100);
    }
    return false;
}

void admin(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
}

} // namespace

class CupsTest : public QObject {
    Q_OBJECT

    // One program run: the real print target on the system's default queue.
    std::unique_ptr<platform::QtPrintTarget> m_target;
    std::unique_ptr<TestWindow> m_window;

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        QVERIFY2(qEnvironmentVariableIsSet("CUPS_SERVER") && qEnvironmentVariableIsSet("CUPS_TEST_OUT"),
                 "run through tests/cups/with-cupsd.sh");
        QCOMPARE(QPrinterInfo::defaultPrinterName(), QStringLiteral("waybill"));
        m_target = std::make_unique<platform::QtPrintTarget>(QDir::temp().filePath(QStringLiteral("unused")));
        m_window = std::make_unique<TestWindow>(true, m_target.get());
    }

    void waybillThroughDefaultQueue()
    {
        TestWindow& w = *m_window;
        fillWindow(w);
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("-12"));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("9"));
        QTest::mouseClick(w.c("InsatsuBtn"), Qt::LeftButton);
        QVERIFY2(w.messages.shown.empty(), w.messages.shown.empty() ? "" : qPrintable(w.messages.shown[0].text));
        QVERIFY(waitForJobs(QStringLiteral("waybill"), 1));
        QVERIFY(jobs(QStringLiteral("all"), QStringLiteral("other")).isEmpty());
        QCOMPARE(pdf::pageCount(out("waybill")), 1);
        checkWaybillPage(w, out("waybill"), -12, 9, kQueueCorner, 0.3);
    }

    void markTestPageThroughDefaultQueue()
    {
        TestWindow& w = *m_window;
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        QTest::mouseClick(w.c("IchiBtn"), Qt::LeftButton);
        QVERIFY(w.messages.shown.empty());
        QVERIFY(waitForJobs(QStringLiteral("waybill"), 2));
        QCOMPARE(pdf::pageCount(out("waybill")), 1);
        checkTestDots(out("waybill"), -12, 9, kQueueCorner);
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
    }

    // The queue confirmed in the printer dialog takes the next waybill and
    // the next test page; the default queue gets nothing more.
    void dialogChoiceSendsToItsQueue()
    {
        TestWindow& w = *m_window;
        w.dialog.answer = [](QPrinter& printer) {
            printer.setPrinterName(QStringLiteral("other"));
            return true;
        };
        QTest::mouseClick(w.c("PriDiaBtn"), Qt::LeftButton);
        QTest::mouseClick(w.c("InsatsuBtn"), Qt::LeftButton);
        QVERIFY(w.messages.shown.empty());
        QVERIFY(waitForJobs(QStringLiteral("other"), 1));
        checkWaybillPage(w, out("other"), -12, 9, kQueueCorner, 0.3);
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        QTest::mouseClick(w.c("IchiBtn"), Qt::LeftButton);
        QVERIFY(waitForJobs(QStringLiteral("other"), 2));
        checkTestDots(out("other"), -12, 9, kQueueCorner);
        QCOMPARE(jobs(QStringLiteral("completed"), QStringLiteral("waybill")).size(), 2);
        QVERIFY(w.messages.shown.empty());
    }

    void stoppedQueueSaysSo()
    {
        TestWindow& w = *m_window;
        admin(QStringLiteral("cupsdisable"), {QStringLiteral("other")});
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY2(w.messages.shown[0].text.contains(QStringLiteral("停止")), qPrintable(w.messages.shown[0].text));
        QVERIFY(w.messages.shown[0].text.contains(QStringLiteral("other")));
        QVERIFY(jobs(QStringLiteral("not-completed"), QStringLiteral("other")).isEmpty()); // nothing left waiting
        admin(QStringLiteral("cupsenable"), {QStringLiteral("other")});
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(waitForJobs(QStringLiteral("other"), 3));
    }

    void missingQueueSaysSo()
    {
        TestWindow& w = *m_window;
        admin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("other")});
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(2));
        QVERIFY2(w.messages.shown[1].text.contains(QStringLiteral("見つからない")), qPrintable(w.messages.shown[1].text));
        w.form->IchiBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(3));
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.text("T_4_Namae"), QStringLiteral("山田太郎様"));
    }
};

QTEST_MAIN(CupsTest)
#include "tst_cups.moc"
