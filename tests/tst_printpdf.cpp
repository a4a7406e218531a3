// The waybill and the mark test page through Qt's real printer into a PDF,
// measured with poppler against the designed millimetres.
#include "waybillcheck.h"

using namespace testing;

class PrintPdfTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    void waybillOnPaper()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("waybill.pdf"));
        auto target = platform::QtPrintTarget::toPdfFile(file);
        TestWindow w(true, target.get());
        fillWindow(w);
        QCOMPARE(w.text("GoukeiBox"), QStringLiteral("30450"));
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("23"));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("-7"));
        QTest::mouseClick(w.c("InsatsuBtn"), Qt::LeftButton);
        QVERIFY2(w.messages.shown.empty(), w.messages.shown.empty() ? "" : qPrintable(w.messages.shown[0].text));
        QCOMPARE(pdf::pageCount(file), 1);
        // Qt's own PDF writer can print to the sheet's edge: the printable
        // area's corner is the paper corner.
        checkWaybillPage(w, file, 23, -7, Corner{}, 0.2);
    }

    void markTestPageOnPaper()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("marks.pdf"));
        auto target = platform::QtPrintTarget::toPdfFile(file);
        TestWindow w(true, target.get());
        w.form->show();
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("15"));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("-20"));
        QTest::mouseClick(w.c("IchiBtn"), Qt::LeftButton);
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(pdf::pageCount(file), 1);
        checkTestDots(file, 15, -20, Corner{});

        // A waybill after it still draws 3.0 mm circles.
        QTest::mouseClick(w.c("InsatsuBtn"), Qt::LeftButton);
        const pdf::Ring mark = pdf::ringNear(file, (expect::originX(15) + 63.1 * 56.7) / 56.7, (expect::originY(-20) + 37.2 * 56.7) / 56.7);
        QVERIFY(mark.found);
        QVERIFY2(qAbs(mark.radius - 3.0) < 0.2, qPrintable(QString::number(mark.radius)));
    }
};

QTEST_MAIN(PrintPdfTest)
#include "tst_printpdf.moc"
