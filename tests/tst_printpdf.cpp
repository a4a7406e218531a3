// The waybill and the mark test page through Qt's real printer into a PDF,
// measured with poppler against the designed millimetres.
#include "expect.h"
#include "pdfmeasure.h"
#include "support.h"

#include "app/updown.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>

using namespace testing;

namespace {

constexpr double kTolMm = 0.2;

struct Filled {
    const char* control;
    const char* text;
};

// Japanese and ASCII texts in every block; no spaces, so each is one word.
const Filled kFilled[] = {
    {"T_1_Yuubin", "1000001"}, {"T_2_Jyuusyo", "東京都千代田区千代田1-1"}, {"T_3_Jyuusyo", "テストビル3F"},
    {"T_4_Namae", "山田太郎様"}, {"T_5_Samakata", "鈴木様方"}, {"T_6_Denwaba", "03-1234-5678"},
    {"iraiYuubin", "5300001"}, {"iraiJyuusyo1", "大阪府大阪市北区梅田"}, {"iraiJyuusyo2", "梅田ビル12F"},
    {"iraiNamae", "株式会社サンプル"}, {"iraiSamakata", "総務部気付"}, {"iraiDenwa", "06-9876-5432"},
    {"SyouhinBangouBox1", "AB-1234"}, {"SyouhinBangouBox2", "ZX-9"},
    {"SuuryouBox1", "3"}, {"TankaBox1", "150"}, {"SuuryouBox2", "12"}, {"TankaBox2", "2500"},
};

void fill(TestWindow& w)
{
    w.form->show();
    for (const Filled& f : kFilled) {
        QWidget* c = w.c(f.control);
        if (auto* e = qobject_cast<QLineEdit*>(c))
            e->setText(QString::fromUtf8(f.text));
        else
            qobject_cast<QComboBox*>(c)->setEditText(QString::fromUtf8(f.text));
    }
    w.c<QComboBox>("c_Hinmei")->setCurrentIndex(3);  // 精密機械
    w.c<QComboBox>("c_Hinmei2")->setCurrentIndex(11); // 割れ物
    for (const char* name : {"C_1_Samakata", "C_2_Samakata", "SuujiNyuuryokuBtn", "O_Haitatsu2", "O_Tsuuchi2"})
        QTest::mouseClick(w.c(name), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseClick(w.c("GoukeiBtn"), Qt::LeftButton);
}

QString textOf(TestWindow& w, const char* control)
{
    QWidget* c = w.c(control);
    if (auto* e = qobject_cast<QLineEdit*>(c))
        return e->text();
    return qobject_cast<QComboBox*>(c)->currentText();
}

} // namespace

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
        fill(w);
        QCOMPARE(textOf(w, "GoukeiBox"), QStringLiteral("30450"));
        const double ox = 23, oy = -7;
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("23"));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("-7"));
        QTest::mouseClick(w.c("InsatsuBtn"), Qt::LeftButton);
        QVERIFY2(w.messages.shown.empty(), w.messages.shown.empty() ? "" : qPrintable(w.messages.shown[0].text));
        QCOMPARE(pdf::pageCount(file), 1);

        const auto words = pdf::words(file);
        auto check = [&](const expect::Text& t) {
            const QString all = textOf(w, t.control);
            const QString text = t.postalChar ? all.mid(t.postalChar - 1, 1) : all;
            if (text.isEmpty())
                return;
            const double x = expect::textX(ox, t.x_mm) / expect::kTwipsPerMm;
            const double y = expect::textY(oy, t.y_mm) / expect::kTwipsPerMm;
            const pdf::Word* best = nullptr;
            for (const pdf::Word& word : words)
                if (word.text == text && (!best || std::hypot(word.x0 - x, word.y0 - y) < std::hypot(best->x0 - x, best->y0 - y)))
                    best = &word;
            QVERIFY2(best, qPrintable(QStringLiteral("%1 '%2' not on the page").arg(t.control, text)));
            QVERIFY2(qAbs(best->x0 - x) < kTolMm && qAbs(best->y0 - y) < kTolMm,
                     qPrintable(QStringLiteral("%1 '%2' at %3/%4 mm, designed %5/%6 mm")
                                    .arg(t.control, text).arg(best->x0).arg(best->y0).arg(x).arg(y)));
        };
        for (const auto& t : expect::kRecipient) check(t);
        for (const auto& t : expect::kSender) check(t);
        for (const auto& t : expect::kGoods) check(t);

        // 午後 and 不要 (at the place of 必要): 3.0 mm circles of a thin line.
        for (const auto& m : {expect::kMarks[1], expect::kMarks[6]}) {
            const double x = (expect::originX(ox) + m.x_mm * 56.7) / expect::kTwipsPerMm;
            const double y = (expect::originY(oy) + m.y_mm * 56.7) / expect::kTwipsPerMm;
            const pdf::Ring ring = pdf::ringNear(file, x, y);
            QVERIFY2(ring.found, m.option);
            QVERIFY2(qAbs(ring.cx - x) < kTolMm && qAbs(ring.cy - y) < kTolMm,
                     qPrintable(QStringLiteral("%1 centre %2/%3 mm, designed %4/%5").arg(m.option).arg(ring.cx).arg(ring.cy).arg(x).arg(y)));
            QVERIFY2(qAbs(ring.radius - 3.0) < kTolMm, qPrintable(QString::number(ring.radius)));
            QVERIFY2(ring.thickness > 0.2 && ring.thickness < 0.4, qPrintable(QString::number(ring.thickness)));
        }
        // No mark where nothing was chosen.
        QVERIFY(!pdf::ringNear(file, (expect::originX(ox) + 63.1 * 56.7) / 56.7, (expect::originY(oy) + 37.2 * 56.7) / 56.7, 2.0).found);
    }

    void markTestPageOnPaper()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("marks.pdf"));
        auto target = platform::QtPrintTarget::toPdfFile(file);
        TestWindow w(true, target.get());
        w.form->show();
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        QTest::mouseClick(w.c("IchiBtn"), Qt::LeftButton);
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(pdf::pageCount(file), 1);
        QVERIFY(pdf::words(file).empty()); // dots only
        for (double x : {64.6, 127.8}) {
            const pdf::Ring dot = pdf::ringNear(file, x, 12.1, 2.0);
            QVERIFY(dot.found);
            QVERIFY2(qAbs(dot.cx - x) < kTolMm && qAbs(dot.cy - 12.1) < kTolMm,
                     qPrintable(QStringLiteral("dot at %1/%2 mm").arg(dot.cx).arg(dot.cy)));
            QVERIFY2(dot.radius < 0.45, qPrintable(QString::number(dot.radius))); // a 0.3 mm dot, not a mark
        }

        // A waybill after it still draws 3.0 mm circles.
        QTest::mouseClick(w.c("InsatsuBtn"), Qt::LeftButton);
        const pdf::Ring mark = pdf::ringNear(file, (expect::originX(0) + 63.1 * 56.7) / 56.7, (expect::originY(0) + 37.2 * 56.7) / 56.7);
        QVERIFY(mark.found);
        QVERIFY2(qAbs(mark.radius - 3.0) < kTolMm, qPrintable(QString::number(mark.radius)));
    }
};

QTEST_MAIN(PrintPdfTest)
#include "tst_printpdf.moc"
