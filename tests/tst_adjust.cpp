// The adjustment panel, the spin controls, the mark test print, the printer
// dialog, and what the user is told when a print cannot be made.
#include "expect.h"
#include "pdfmeasure.h"
#include "support.h"

#include "app/updown.h"

#include <QDir>
#include <QLineEdit>
#include <QToolButton>

using namespace testing;
using OpKind = platform::RecordingPrinter::Kind;

namespace {

void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(4, 4)); }

// Where the first text of the last waybill began, in twips across.
double firstTextX(const platform::RecordingPrinter& printer)
{
    const auto& ops = printer.ops;
    const auto op = std::find_if(ops.begin(), ops.end(), [](const auto& o) { return o.kind == OpKind::CurrentX; });
    return op == ops.end() ? -1e9 : op->a;
}

struct Panel {
    TestWindow w;
    app::UpDown* x;
    app::UpDown* y;
    QLineEdit* xText;
    QLineEdit* yText;
    Panel()
    {
        w.form->show();
        click(w.c("OnOffBtn"));
        x = w.c<app::UpDown>("UpDownX");
        y = w.c<app::UpDown>("UpDownY");
        xText = w.c<QLineEdit>("Sayuu_Xtxt");
        yText = w.c<QLineEdit>("Jyouge_Ytxt");
    }
};

} // namespace

class AdjustTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A spooler nobody runs: this machine has no printer at all.
        qputenv("CUPS_SERVER", QFile::encodeName(QDir::temp().filePath(QStringLiteral("no-such-cups.sock"))));
        initTestEnvironment();
    }

    void panelToggle()
    {
        TestWindow w;
        w.form->show();
        auto* toggle = w.c<QAbstractButton>("OnOffBtn");
        QCOMPARE(toggle->text(), QString());
        QVERIFY(w.c("CyouseiFrm")->isHidden());
        click(toggle);
        QCOMPARE(toggle->text(), QStringLiteral("調整"));
        QVERIFY(w.c("CyouseiFrm")->isVisible());
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("25"));
        click(toggle);
        QCOMPARE(toggle->text(), QString());
        QVERIFY(w.c("CyouseiFrm")->isHidden());
        // Still in force while hidden.
        w.form->InsatsuBtn_Click();
        QVERIFY(qAbs(firstTextX(w.recording.printer) - expect::textX(25, 84.0)) < 0.01);
    }

    void spinSteps()
    {
        Panel p;
        QCOMPARE(p.x->orientation(), Qt::Horizontal);
        QCOMPARE(p.y->orientation(), Qt::Vertical);
        click(p.x->upButton()); // right arrow: print moves right
        QCOMPARE(p.xText->text(), QStringLiteral("10"));
        click(p.y->upButton()); // up arrow: print moves up
        QCOMPARE(p.yText->text(), QStringLiteral("-10"));
        click(p.y->downButton());
        click(p.y->downButton());
        QCOMPARE(p.yText->text(), QStringLiteral("10"));
        click(p.x->downButton());
        click(p.x->downButton());
        QCOMPARE(p.xText->text(), QStringLiteral("-10"));
        // Keys on the focused spin do the same.
        p.x->setFocus();
        QTest::keyClick(p.x, Qt::Key_Right);
        QCOMPARE(p.xText->text(), QStringLiteral("0"));
        p.y->setFocus();
        QTest::keyClick(p.y, Qt::Key_Up);
        QCOMPARE(p.yText->text(), QStringLiteral("0"));
    }

    void spinStopsAtTheEnds()
    {
        Panel p;
        for (int i = 0; i < 105; ++i)
            click(p.x->upButton());
        QCOMPARE(p.xText->text(), QStringLiteral("1000"));
        for (int i = 0; i < 205; ++i)
            click(p.x->downButton());
        QCOMPARE(p.xText->text(), QStringLiteral("-1000"));
        for (int i = 0; i < 105; ++i)
            click(p.y->upButton());
        QCOMPARE(p.yText->text(), QStringLiteral("-1000"));
        for (int i = 0; i < 205; ++i)
            click(p.y->downButton());
        QCOMPARE(p.yText->text(), QStringLiteral("1000"));
    }

    // A typed value is what prints and saves; the next click steps from the
    // spin's own value and replaces it.
    void typedValue()
    {
        Panel p;
        p.xText->selectAll();
        QTest::keyClicks(p.xText, QStringLiteral("7"));
        QCOMPARE(p.x->value(), 0);
        p.w.form->InsatsuBtn_Click();
        QVERIFY(qAbs(firstTextX(p.w.recording.printer) - expect::textX(7, 84.0)) < 0.01);
        click(p.w.c("HozonBtn"));
        QFile saved(p.w.appFile("vanq_x01.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("7\r\n"));
        click(p.x->upButton());
        QCOMPARE(p.xText->text(), QStringLiteral("10"));
    }

    void testPrintOperations_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<double>("dx");
        QTest::addColumn<double>("dy");
        QTest::newRow("offsets 0") << "0" << "0" << 0.0 << 0.0;
        QTest::newRow("1 mm right and down") << "10" << "10" << 56.7 << 56.7;
        QTest::newRow("unsaved typed") << "-35" << "4" << -35 * 5.67 << 4 * 5.67;
    }

    void testPrintOperations()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(double, dx);
        QFETCH(double, dy);
        Panel p;
        p.xText->setText(x);
        p.yText->setText(y);
        click(p.w.c("IchiBtn"));
        const auto& ops = p.w.recording.printer.ops;
        QCOMPARE(ops.size(), size_t(4));
        QCOMPARE(ops[0].kind, OpKind::DrawWidth);
        QCOMPARE(ops[0].a, 2.0);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(ops[1 + i].kind, OpKind::Circle);
            QVERIFY(qAbs(ops[1 + i].a - ((i ? 127.8 : 64.6) * 56.7 + dx)) < 0.01);
            QVERIFY(qAbs(ops[1 + i].b - (12.1 * 56.7 + dy)) < 0.01);
            QVERIFY(qAbs(ops[1 + i].c - 17.01) < 0.001);
        }
        QCOMPARE(ops[3].kind, OpKind::EndDoc);
        QVERIFY(p.w.messages.shown.empty());

        // The waybill after it draws its own 3.0 mm marks.
        p.w.form->InsatsuBtn_Click();
        for (const auto& op : std::vector(ops.begin() + 4, ops.end()))
            if (op.kind == OpKind::Circle)
                QVERIFY(qAbs(op.c - 170.1) < 0.01);
    }

    void testPrintStopsOnBadOffset()
    {
        Panel p;
        p.yText->setText(QStringLiteral("上"));
        click(p.w.c("IchiBtn"));
        for (const auto& op : p.w.recording.printer.ops)
            QCOMPARE(op.kind, OpKind::KillDoc);
        QCOMPARE(p.w.messages.shown.size(), size_t(1));
        QVERIFY(p.w.messages.shown[0].text.contains(QStringLiteral("上下のズレ")));
        p.xText->setText(QStringLiteral("3.3e38"));
        p.yText->setText(QStringLiteral("0"));
        p.w.recording.printer.ops.clear();
        click(p.w.c("IchiBtn"));
        QCOMPARE(p.w.messages.shown.size(), size_t(2));
        // The line width was set before the position overflowed; the
        // unfinished page is thrown away, no dot drawn, nothing released.
        const auto& ops = p.w.recording.printer.ops;
        QCOMPARE(ops.back().kind, OpKind::KillDoc);
        for (const auto& op : ops)
            QVERIFY(op.kind != OpKind::Circle && op.kind != OpKind::EndDoc);
    }

    // The dialog's confirmed choice is what the next prints use; a cancelled
    // one changes nothing.
    void printerDialogChoice()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.pdf")), chosen = dir.filePath(QStringLiteral("chosen.pdf"));
        auto target = platform::QtPrintTarget::toPdfFile(first);
        TestWindow w(true, target.get());
        w.form->show();
        w.dialog.answer = [](QPrinter&) { return false; }; // cancelled: the dialog leaves the printer as it was
        click(w.c("PriDiaBtn"));
        QCOMPARE(w.dialog.runs, 1);
        click(w.c("InsatsuBtn"));
        QVERIFY(QFile::exists(first));
        QVERIFY(!QFile::exists(chosen));

        w.dialog.answer = [&](QPrinter& printer) {
            printer.setOutputFileName(chosen);
            printer.setPageSize(QPageSize(QPageSize::B5));
            return true;
        };
        click(w.c("PriDiaBtn"));
        QCOMPARE(w.dialog.runs, 2);
        QVERIFY(QFile::remove(first));
        click(w.c("InsatsuBtn"));
        QVERIFY(QFile::exists(chosen));
        QVERIFY(!QFile::exists(first));
        QVERIFY(pdf::run(QStringLiteral("pdfinfo"), {chosen}).contains(QStringLiteral("499 x 709"))); // B5 in pt
        QVERIFY(QFile::remove(chosen));
        w.form->show();
        click(w.c("OnOffBtn"));
        click(w.c("IchiBtn"));
        QVERIFY(QFile::exists(chosen));
        QVERIFY(w.messages.shown.empty());
    }

    // Without any printer each page becomes a new PDF file in the documents
    // folder, and the user is told where once.
    void noPrinterWritesPdfFiles()
    {
        QTemporaryDir docsDir;
        const QString docs = docsDir.filePath(QStringLiteral("文書"));
        platform::QtPrintTarget target(docs);
        TestWindow w(true, &target);
        w.folders.docs = docs;
        QVERIFY(QDir().mkpath(docs));
        // Earlier pages of this second and the next must survive.
        const QDateTime now = QDateTime::currentDateTime();
        QStringList kept;
        for (int s = 0; s < 3; ++s) {
            const QString name = QDir(w.folders.docs).filePath(
                QStringLiteral("送り状_%1.pdf").arg(now.addSecs(s).toString(QStringLiteral("yyyyMMdd_HHmmss"))));
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier page");
            kept << name;
        }
        w.c<QLineEdit>("T_4_Namae")->setText(QStringLiteral("山田太郎"));
        w.form->InsatsuBtn_Click();
        w.form->InsatsuBtn_Click();
        w.form->IchiBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.shown[0].text.contains(QDir::toNativeSeparators(w.folders.docs)));
        QCOMPARE(w.messages.shown[0].icon, platform::MsgIcon::Information);
        for (const QString& name : kept) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("earlier page"));
        }
        const QStringList pages = QDir(w.folders.docs).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        QCOMPARE(pages.size(), 6);
        int withName = 0;
        for (const QString& page : pages) {
            const QString path = QDir(w.folders.docs).filePath(page);
            if (kept.contains(path))
                continue;
            QCOMPARE(pdf::pageCount(path), 1);
            for (const pdf::Word& word : pdf::words(path))
                withName += word.text == QStringLiteral("山田太郎");
        }
        QCOMPARE(withName, 2);
    }

    void failingPrinterSaysSoAndKeepsRunning()
    {
        auto target = platform::QtPrintTarget::toPdfFile(QStringLiteral("/nonexistent-folder/sub/waybill.pdf"));
        TestWindow w(true, target.get());
        w.c<QLineEdit>("T_4_Namae")->setText(QStringLiteral("山田"));
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.shown[0].text.contains(QStringLiteral("印刷できませんでした")));
        QCOMPARE(w.c<QLineEdit>("T_4_Namae")->text(), QStringLiteral("山田"));
        w.form->IchiBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(2));
    }
};

QTEST_MAIN(AdjustTest)
#include "tst_adjust.moc"
