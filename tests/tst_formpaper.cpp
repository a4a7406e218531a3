// The printer and paper as they last: the queue and paper confirmed in the
// printer dialog at the next start, a queue that has gone since, the form's
// exact size on a queue that takes any size, and the 24-pin driver's
// resolution. Run by cups/with-cupsd.sh --all-queues.
#include "cupsjobs.h"
#include "expect.h"

#include "paper/formpaper.h"
#include "platform/fonts.h"
#include "platform/spooler.h"
#include "print/printjob.h"
#include "print/systemprinter.h"

#include <QApplication>
#include <QPrintEngine>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

int lastJob(const QString& queue)
{
    const QList<int> ids = jobIds(queue);
    return ids.isEmpty() ? 0 : ids.back();
}

// The printer dialog, confirmed on `queue`.
bool choose(print::SystemPrinter& printer, const QString& queue)
{
    return printer.chooseWith([&](QPrinter& p) {
        p.setPrinterName(queue);
        return true;
    });
}

print::Delivery printOne(print::SystemPrinter& printer)
{
    print::PrintState state;
    return printer.print(1, [&](int) { return print::waybillPage(expect::filledWaybill(), {}, state); });
}

} // namespace

class FormPaperTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString choiceFile() const { return m_dir.filePath(QStringLiteral("printer.conf")); }

private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        QVERIFY2(qEnvironmentVariableIsSet("CUPS_SERVER"), "run through tests/cups/with-cupsd.sh --all-queues");
    }

    void lengthsAsPeopleWriteThem()
    {
        const std::pair<const char*, double> lengths[] = {
            {"114.3", 114.3},    {"114.3 mm", 114.3}, {"11.43cm", 114.3},    {"4.5 in", 114.3},
            {"4 1/2 in", 114.3}, {"4-1/2\"", 114.3},  {"１０インチ", 254.0}, {"1/2in", 12.7}};
        for (auto [text, mm] : lengths) {
            const auto parsed = paper::parseLengthMm(QString::fromUtf8(text));
            QVERIFY2(parsed && qAbs(*parsed - mm) < 1e-9, text);
        }
        for (const char* text : {"", "abc", "4 1/0 in", "-5 mm", "4 1/2 ft"})
            QVERIFY2(!paper::parseLengthMm(QString::fromUtf8(text)), text);
        QVERIFY(!paper::formPaperFrom(QStringLiteral("49.9 mm"), QStringLiteral("10 in")));
        QVERIFY(paper::formPaperFrom(QStringLiteral("50 mm"), QStringLiteral("10 in")));
        QCOMPARE(paper::describe(*paper::formPaperFrom(QStringLiteral("4 1/2 in"), QStringLiteral("10in"))),
                 QStringLiteral("114.3 × 254.0 mm（4 1/2 × 10 in）"));
    }

    // The queue and paper confirmed in the dialog are the next start's.
    void choiceLastsAcrossRuns()
    {
        {
            print::SystemPrinter printer(m_dir.path(), choiceFile());
            QCOMPARE(printer.settings().printerName(), QStringLiteral("waybill"));
            QVERIFY(printer.chooseWith([](QPrinter& p) {
                p.setPrinterName(QStringLiteral("forms"));
                p.setPageSize(QPageSize(QPageSize::Letter));
                return true;
            }));
        }
        print::SystemPrinter next(m_dir.path(), choiceFile());
        QCOMPARE(next.settings().printerName(), QStringLiteral("forms"));
        const print::Delivery d = printOne(next);
        QVERIFY2(d.ok, qPrintable(d.message));
        QVERIFY(d.notice.isEmpty());
        QCOMPARE(waitForJob(QStringLiteral("forms"), lastJob(QStringLiteral("forms"))), QStringLiteral("completed"));
        QCOMPARE(pageSizePt(out(QStringLiteral("forms.pdf"))), QSizeF(612, 792));
        // A cancelled dialog is not kept.
        QVERIFY(!next.chooseWith([](QPrinter& p) {
            p.setPrinterName(QStringLiteral("waybill"));
            return false;
        }));
        QCOMPARE(print::SystemPrinter(m_dir.path(), choiceFile()).settings().printerName(), QStringLiteral("forms"));
    }

    // A cancelled dialog puts back everything it changed on its way: the
    // queue, the paper, colour, both sides, its advanced options. Colour and
    // both sides are not the queues' own (black and white, one side), so a
    // queue chosen again cannot put them back by chance.
    void cancelledDialogPutsEverythingBack()
    {
        print::SystemPrinter printer(m_dir.path());
        QVERIFY(choose(printer, QStringLiteral("forms")));
        QPrinter& settings = printer.settings();
        const auto spoolerOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);
        const QStringList options{QStringLiteral("job-priority"), QStringLiteral("42")};
        settings.setColorMode(QPrinter::Color);
        settings.setDuplex(QPrinter::DuplexLongSide);
        settings.setPageSize(QPageSize(QPageSize::A5));
        settings.printEngine()->setProperty(spoolerOptions, options);
        const QPageLayout layout = settings.pageLayout();
        QVERIFY(!printer.chooseWith([&](QPrinter& p) {
            p.setPrinterName(QStringLiteral("waybill"));
            p.setColorMode(QPrinter::GrayScale);
            p.setDuplex(QPrinter::DuplexNone);
            p.setPageSize(QPageSize(QPageSize::Letter));
            p.printEngine()->setProperty(spoolerOptions,
                                         QStringList{QStringLiteral("page-label"), QStringLiteral("x")});
            // Each change took, so putting it back is what is tested.
            [&] {
                QVERIFY(p.colorMode() == QPrinter::GrayScale && p.duplex() == QPrinter::DuplexNone &&
                        p.pageLayout() != layout);
            }();
            return false;
        }));
        QCOMPARE(settings.printerName(), QStringLiteral("forms"));
        QCOMPARE(settings.colorMode(), QPrinter::Color);
        QCOMPARE(settings.duplex(), QPrinter::DuplexLongSide);
        QVERIFY(settings.pageLayout().isEquivalentTo(layout));
        QCOMPARE(settings.printEngine()->property(spoolerOptions).toStringList(), options);
    }

    // The chosen queue has gone: said once, and the default prints.
    void vanishedChoiceFallsBackOnce()
    {
        print::SystemPrinter chooser(m_dir.path(), choiceFile());
        QVERIFY(choose(chooser, QStringLiteral("other")));
        QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), QStringLiteral("other")});
        print::SystemPrinter printer(m_dir.path(), choiceFile());
        print::Delivery d = printOne(printer);
        QVERIFY2(d.ok, qPrintable(d.message));
        QCOMPARE(d.destination, QStringLiteral("waybill"));
        QVERIFY2(d.notice.contains(QStringLiteral("other")) && d.notice.contains(QStringLiteral("waybill")),
                 qPrintable(d.notice));
        d = printOne(printer);
        QVERIFY(d.ok && d.notice.isEmpty());
    }

    // A form of 4 1/2 × 10 in reaches the spooler and the page as exactly
    // that size, on a queue that takes any size; a queue that cannot take it
    // prints nothing and says so.
    void exactFormSize()
    {
        print::SystemPrinter printer(m_dir.path());
        const auto form = *paper::formPaperFrom(QStringLiteral("4 1/2 in"), QStringLiteral("10 in"));
        printer.setFormPaper(form);
        const int before = lastJob(QStringLiteral("waybill"));
        print::Delivery d = printOne(printer);
        QVERIFY(!d.ok);
        QVERIFY2(d.message.contains(QStringLiteral("waybill")) && d.message.contains(QStringLiteral("4 1/2")),
                 qPrintable(d.message));
        QCOMPARE(lastJob(QStringLiteral("waybill")), before);

        QVERIFY(choose(printer, QStringLiteral("forms")));
        d = printOne(printer);
        QVERIFY2(d.ok, qPrintable(d.message));
        const int job = lastJob(QStringLiteral("forms"));
        QCOMPARE(waitForJob(QStringLiteral("forms"), job), QStringLiteral("completed"));
        const QSizeF page = pageSizePt(out(QStringLiteral("forms.pdf")));
        QVERIFY2(qAbs(page.width() - 324.0) < 0.1 && qAbs(page.height() - 720.0) < 0.1,
                 qPrintable(QString::number(page.width())));
        const auto attrs = jobAttributes(QStringLiteral("forms"), job);
        QVERIFY2(attrs.value(QStringLiteral("PageSize")).contains(QStringLiteral("Custom.114.3x254")),
                 qPrintable(attrs.value(QStringLiteral("PageSize"))));
    }

    // The stock 24-pin driver's default is 120 × 60 dpi; a waybill goes at
    // 180 dpi or finer, fine enough for 0.1 mm steps.
    void impactPrinterResolution()
    {
        print::SystemPrinter printer(m_dir.path());
        QVERIFY(choose(printer, QStringLiteral("epson24")));
        const print::Delivery d = printOne(printer);
        QVERIFY2(d.ok, qPrintable(d.message));
        const int job = lastJob(QStringLiteral("epson24"));
        const auto resolution = platform::Resolution::fromName(
            jobAttributes(QStringLiteral("epson24"), job).value(QStringLiteral("Resolution")));
        QVERIFY(resolution);
        QVERIFY2(resolution->xDpi >= 180 && resolution->yDpi >= 180, qPrintable(resolution->name()));
    }
};

QTEST_MAIN(FormPaperTest)
#include "tst_formpaper.moc"
