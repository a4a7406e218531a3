// The adjustment panel and the printer as the user meets them: the toggle,
// the spin controls, offsets refused before any print, the printer dialog's
// choice, and a machine without any printer (a PDF file for each print).
#include "mounts.h"
#include "pdfmeasure.h"
#include "support.h"

#include "adjust/alignment.h"
#include "app/adjust/alignmentdialog.h"
#include "app/controls.h"
#include "app/layout/layoutwindow.h"
#include "app/preview/formpaperdialog.h"
#include "app/preview/previewwindow.h"
#include "app/widgets/updown.h"
#include "print/systemprinter.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

using namespace testing;

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
        w.fillPrintableWaybill();
        auto* toggle = w.c<QAbstractButton>("OnOffBtn");
        QCOMPARE(toggle->text(), QString());
        // Its caption blank, the button says what it does when pointed at.
        QVERIFY(tipAt(toggle).contains(QStringLiteral("調整パネル")));
        w.click("OnOffBtn");
        QCOMPARE(toggle->text(), QStringLiteral("調整"));
        QVERIFY(w.c("CyouseiFrm")->isVisible());
        // The unit beside the offsets, and on each box.
        QVERIFY(w.c("offsetUnitLabel")->isVisible() &&
                w.c<QLabel>("offsetUnitLabel")->text().contains(QStringLiteral("0.1 mm")));
        for (const char* box : {"Sayuu_Xtxt", "Jyouge_Ytxt"})
            QVERIFY2(tipAt(w.c(box)).contains(QStringLiteral("0.1 mm単位")), box);
        w.type("Sayuu_Xtxt", QStringLiteral("25"));
        w.click("OnOffBtn");
        QCOMPARE(toggle->text(), QString());
        QVERIFY(w.c("CyouseiFrm")->isHidden());
        // Still in force while hidden: the first text, designed at 84.0 mm, moved by the offset (twips).
        w.form->InsatsuBtn_Click();
        QVERIFY(qAbs(w.recording.lastPage().texts.front().topLeftTwips.x() - ((25 - 160.0) * 5.67 + 84.0 * 56.7)) <
                0.01);
    }

    // 「位置合わせ印刷」 fits the panel as it was: the sheet goes out at the
    // panel's offsets; what is read shows the offsets it gives as it is
    // typed, and 「ズレを直す」 puts them on the panel and saves them as
    // 「ズレ保存」 does, for the printer and layout too.
    void alignmentFromThePanel()
    {
        TestWindow w;
        w.recording.queue = QStringLiteral("impact");
        w.click("OnOffBtn");
        QWidget* panel = w.c("CyouseiFrm");
        QCOMPARE(panel->size(), QSize(app::pixelsFromTwips(4335), app::pixelsFromTwips(1365)));
        const QRect button = w.c("alignmentButton")->geometry();
        QVERIFY(panel->rect().contains(button));
        for (QWidget* other : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(other == w.c("alignmentButton") || !other->geometry().intersects(button),
                     qPrintable(other->objectName()));
        w.setText("Sayuu_Xtxt", QStringLiteral("10"));
        w.setText("Jyouge_Ytxt", QStringLiteral("-20"));
        w.click("alignmentButton");
        auto* dialog = w.form->findChild<app::AlignmentDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        click(&dialog->printButton());
        QCOMPARE(w.recording.documents.size(), size_t(1));
        QCOMPARE(w.recording.lastPage(), *adjust::alignmentSheetPage({10, -20}));
        QVERIFY(!dialog->applyButton().isEnabled());
        type(&dialog->readingField(0), QStringLiteral("12"));
        type(&dialog->readingField(1), QStringLiteral("-5"));
        QVERIFY2(dialog->resultText().contains(QStringLiteral("10 から -2")) &&
                     dialog->resultText().contains(QStringLiteral("-20 から -15")),
                 qPrintable(dialog->resultText()));
        type(&dialog->readingField(2), QStringLiteral("14"));
        type(&dialog->readingField(3), QStringLiteral("-5"));
        QVERIFY2(dialog->resultText().contains(QStringLiteral("伸びて")), qPrintable(dialog->resultText()));
        click(&dialog->applyButton());
        QCOMPARE(w.text("Sayuu_Xtxt"), QStringLiteral("-2"));
        QCOMPARE(w.text("Jyouge_Ytxt"), QStringLiteral("-15"));
        QFile x(w.appFile(adjust::kHorizontalFileName));
        QVERIFY(x.open(QIODevice::ReadOnly));
        QCOMPARE(x.readAll(), QByteArray("-2\r\n"));
        QCOMPARE(w.station->printerOffsets().load(QStringLiteral("impact"), print::kBuiltInLayoutName),
                 (adjust::SavedOffsets{-2, -15}));
        QVERIFY(w.messages.shown.empty());
        // The layout the sheet takes its places from opens from the dialog.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed dialog gone
        w.click("alignmentButton");
        dialog = w.form->findChild<app::AlignmentDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        click(dialog->findChild<QPushButton*>(QStringLiteral("alignmentLayoutsButton")));
        auto* layouts = w.form->findChild<app::LayoutWindow*>();
        QVERIFY(layouts && layouts->isVisible());
    }

    // The right arrow moves the print right, the up arrow moves it up; both
    // stop at the ends of their range; the keys of a focused spin do the same;
    // a click after typing steps from the typed value and replaces it.
    void spinSteps()
    {
        TestWindow w;
        w.click("OnOffBtn");
        auto* x = w.c<app::UpDown>("UpDownX");
        auto* y = w.c<app::UpDown>("UpDownY");
        QVERIFY(x->upButton()->geometry().left() > x->downButton()->geometry().left()); // right arrow on the right
        QVERIFY(y->upButton()->geometry().top() < y->downButton()->geometry().top());
        click(x->upButton());
        QCOMPARE(w.text("Sayuu_Xtxt"), QStringLiteral("10"));
        click(y->upButton());
        QCOMPARE(w.text("Jyouge_Ytxt"), QStringLiteral("-10"));
        click(y->downButton());
        click(y->downButton());
        QCOMPARE(w.text("Jyouge_Ytxt"), QStringLiteral("10"));
        x->setFocus();
        QTest::keyClick(x, Qt::Key_Left);
        QCOMPARE(w.text("Sayuu_Xtxt"), QStringLiteral("0"));
        y->setFocus();
        QTest::keyClick(y, Qt::Key_Up);
        QCOMPARE(w.text("Jyouge_Ytxt"), QStringLiteral("0"));
        w.type("Sayuu_Xtxt", QStringLiteral("7"));
        click(x->upButton());
        QCOMPARE(w.text("Sayuu_Xtxt"), QStringLiteral("10"));
        for (int i = 0; i < 105; ++i)
            click(x->upButton());
        QCOMPARE(w.text("Sayuu_Xtxt"), QStringLiteral("1000"));
        for (int i = 0; i < 105; ++i)
            click(y->downButton());
        QCOMPARE(w.text("Jyouge_Ytxt"), QStringLiteral("1000"));
    }

    // An offset that is not a number or lies beyond the arrows' range stops
    // both prints before anything reaches the printer, naming the offset;
    // the window keeps everything.
    void badOffsetsStopBothPrints()
    {
        // Empty, text, just beyond the arrows, far beyond; and the offset named.
        for (const auto& [x, y, named] :
             {std::tuple("", "0", "左右のズレ"), std::tuple("0", "上", "上下のズレ"),
              std::tuple("1000.5", "0", "左右のズレ"), std::tuple("0", "-3e38", "上下のズレ")}) {
            TestWindow w;
            w.fillPrintableWaybill();
            w.setText("T_4_Namae", QStringLiteral("山田"));
            w.setText("Sayuu_Xtxt", QString::fromUtf8(x));
            w.setText("Jyouge_Ytxt", QString::fromUtf8(y));
            w.form->InsatsuBtn_Click();
            w.form->IchiBtn_Click();
            QCOMPARE(w.recording.attempts, 0);
            QCOMPARE(w.messages.shown.size(), size_t(2));
            for (const auto& m : w.messages.shown) {
                QVERIFY2(m.text.contains(QString::fromUtf8(named)) && m.text.contains(QStringLiteral("中止")),
                         qPrintable(m.text));
                QCOMPARE(m.icon, desktop::MsgIcon::Warning);
            }
            QCOMPARE(w.text("Sayuu_Xtxt"), QString::fromUtf8(x));
            QCOMPARE(w.text("T_4_Namae"), QStringLiteral("山田"));
            // Mended, the next print goes through.
            w.setText("Sayuu_Xtxt", QStringLiteral("-1000"));
            w.setText("Jyouge_Ytxt", QStringLiteral("1000"));
            w.form->InsatsuBtn_Click();
            QCOMPARE(w.recording.documents.size(), size_t(1));
        }
    }

    // The dialog's confirmed choice is what the next prints use, paper
    // included; a cancelled dialog changes nothing, even when the dialog
    // itself changed the printer before it was cancelled.
    void printerDialogChoice()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.pdf")),
                      chosen = dir.filePath(QStringLiteral("chosen.pdf"));
        print::SystemPrinter printer(dir.filePath(QStringLiteral("docs")));
        printer.settings().setOutputFileName(first);
        TestWindow w(true, &printer);
        w.fillPrintableWaybill();
        bool confirm = false;
        w.dialog.answer = [&](QPrinter& p) {
            p.setOutputFileName(chosen);
            p.setPageSize(QPageSize(QPageSize::B5));
            return confirm;
        };
        w.click("PriDiaBtn");
        QCOMPARE(w.dialog.runs, 1);
        w.click("InsatsuBtn");
        QVERIFY(QFile::exists(first));
        QVERIFY(!QFile::exists(chosen));
        QVERIFY(pdf::run(QStringLiteral("pdfinfo"), {first}).contains(QStringLiteral("595 x 842")));

        confirm = true;
        w.click("PriDiaBtn");
        QVERIFY(QFile::remove(first));
        w.click("InsatsuBtn");
        QVERIFY(!QFile::exists(first));
        QVERIFY(pdf::run(QStringLiteral("pdfinfo"), {chosen}).contains(QStringLiteral("499 x 709"))); // B5 in pt
        QVERIFY(w.messages.shown.empty());
    }

    // The form's size, set once in the preview: a length the printer cannot
    // feed exactly is said as it is typed, with its exact neighbours; the
    // size set is the page of every later print and of the next run.
    void formPaperSetOnce()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("horutea.conf")),
                      out = dir.filePath(QStringLiteral("form.pdf"));
        print::SystemPrinter printer(dir.path(), settings);
        printer.settings().setOutputFileName(out);
        TestWindow w(true, &printer);
        w.fillPrintableWaybill();
        w.click("previewButton");
        app::PreviewWindow* preview = nullptr;
        QPushButton* command = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<app::PreviewWindow*>(top); p && p->isVisible())
                for (QPushButton* b : (preview = p)->findChildren<QPushButton*>())
                    command = b->text() == QStringLiteral("用紙の大きさ…") ? b : command;
        QVERIFY(preview && command);
        QString warned, exact;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<app::FormPaperDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->widthField().setText(QStringLiteral("10 in"));
            dialog->lengthField().setText(QStringLiteral("4 1/4 in"));
            warned = dialog->verdictText();
            dialog->lengthField().setText(QStringLiteral("4 1/2 in"));
            exact = dialog->verdictText();
            dialog->accept();
        });
        command->click();
        QVERIFY2(warned.contains(QStringLiteral("4 1/3 in")) && warned.contains(QStringLiteral("4 1/6 in")),
                 qPrintable(warned));
        QVERIFY2(!exact.contains(QStringLiteral("ずれ")), qPrintable(exact));
        QCOMPARE(printer.formPaper(), (paper::FormPaper{254.0, 114.3}));
        w.click("InsatsuBtn");
        QVERIFY(pdf::run(QStringLiteral("pdfinfo"), {out}).contains(QStringLiteral("720 x 324 pts")));
        preview->close();
        QCOMPARE(print::SystemPrinter(dir.path(), settings).formPaper(), (paper::FormPaper{254.0, 114.3}));
    }

    // Without any printer each print becomes a new PDF file in the documents
    // folder, and the user is told where once; earlier files are never
    // overwritten.
    void noPrinterWritesPdfFiles()
    {
        QTemporaryDir docsDir;
        const QString docs = docsDir.filePath(QStringLiteral("文書"));
        print::SystemPrinter printer(docs);
        TestWindow w(true, &printer);
        w.fillPrintableWaybill();
        QVERIFY(QDir().mkpath(docs));
        const QDateTime now = QDateTime::currentDateTime();
        QStringList kept;
        for (int s = 0; s < 3; ++s) {
            const QString name = QDir(docs).filePath(
                QStringLiteral("送り状_%1.pdf").arg(now.addSecs(s).toString(QStringLiteral("yyyyMMdd_HHmmss"))));
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("earlier page") == 12);
            kept << name;
        }
        w.setText("T_4_Namae", QStringLiteral("山田太郎"));
        w.form->InsatsuBtn_Click();
        w.form->InsatsuBtn_Click();
        w.form->IchiBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QDir::toNativeSeparators(docs)));
        QCOMPARE(w.messages.shown[0].icon, desktop::MsgIcon::Information);
        const QStringList pages = QDir(docs).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        QCOMPARE(pages.size(), 6);
        int withName = 0;
        for (const QString& page : pages) {
            const QString path = QDir(docs).filePath(page);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            if (kept.contains(path)) {
                QCOMPARE(f.readAll(), QByteArray("earlier page"));
                continue;
            }
            QCOMPARE(pdf::pageCount(path), 1);
            for (const pdf::Word& word : pdf::words(path))
                withName += word.text == QStringLiteral("山田太郎");
        }
        QCOMPARE(withName, 2);

        // 「プリンタの設定」 offers no empty dialog: it says where prints go.
        w.click("PriDiaBtn");
        QVERIFY(w.dialog.runs == 0 && w.messages.last().contains(QStringLiteral("PDF")) &&
                w.messages.last().contains(QDir::toNativeSeparators(docs)));
    }

    // No printer and the documents folder on a full disk or gone read-only:
    // every print says so, naming the real cause, and leaves no empty or
    // partial file behind.
    void noPrinterAndNoRoom()
    {
        if (!privateMounts())
            QSKIP("needs root for a small mount of its own");
        QTemporaryDir docsDir;
        const QString docs = docsDir.filePath(QStringLiteral("docs"));
        const SmallMount mount(docs, "size=64k");
        print::SystemPrinter printer(docs);
        TestWindow w(true, &printer);
        w.fillPrintableWaybill();
        fillUp(docs);
        w.setText("T_4_Namae", QStringLiteral("山田太郎"));
        for (int i = 0; i < 2; ++i)
            w.form->InsatsuBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(2));
        QVERIFY2(w.messages.last().contains(QStringLiteral("空き")), qPrintable(w.messages.last()));
        QVERIFY(!w.messages.last().contains(QStringLiteral("電源")));
        QCOMPARE(QDir(docs).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 0);
        QVERIFY(QFile::remove(QDir(docs).filePath(QStringLiteral("filler"))));
        QVERIFY(makeReadOnly(docs));
        w.form->InsatsuBtn_Click();
        QVERIFY2(w.messages.last().contains(QStringLiteral("書き込み")), qPrintable(w.messages.last()));
        QCOMPARE(QDir(docs).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 0);
        QCOMPARE(w.text("T_4_Namae"), QStringLiteral("山田太郎"));
    }
};

int main(int argc, char** argv)
{
    enterPrivateMounts(); // before any thread exists
    QApplication app(argc, argv);
    AdjustTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_adjust.moc"
