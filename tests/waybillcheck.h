#pragma once
// A filled window and the measurement of its printed page: every text and
// both marks against the designed millimetres.
#include "expect.h"
#include "pdfmeasure.h"
#include "support.h"

#include <QComboBox>
#include <QLineEdit>

namespace testing {

struct Filled {
    const char* control;
    const char* text;
};

// Japanese and ASCII texts in every block; no spaces, so each is one word.
inline const Filled kFilled[] = {
    {"T_1_Yuubin", "1000001"}, {"T_2_Jyuusyo", "東京都千代田区千代田1-1"}, {"T_3_Jyuusyo", "テストビル3F"},
    {"T_4_Namae", "山田太郎様"}, {"T_5_Samakata", "鈴木様方"}, {"T_6_Denwaba", "03-1234-5678"},
    {"iraiYuubin", "5300001"}, {"iraiJyuusyo1", "大阪府大阪市北区梅田"}, {"iraiJyuusyo2", "梅田ビル12F"},
    {"iraiNamae", "株式会社サンプル"}, {"iraiSamakata", "総務部気付"}, {"iraiDenwa", "06-9876-5432"},
    {"SyouhinBangouBox1", "AB-1234"}, {"SyouhinBangouBox2", "ZX-9"},
    {"SuuryouBox1", "3"}, {"TankaBox1", "150"}, {"SuuryouBox2", "12"}, {"TankaBox2", "2500"},
};

// Both care-of lines, numeric mode with computed amounts, 午後 and 不要.
inline void fillWindow(TestWindow& w)
{
    w.form->show();
    for (const Filled& f : kFilled)
        w.setText(f.control, QString::fromUtf8(f.text));
    w.c<QComboBox>("c_Hinmei")->setCurrentIndex(3);  // 精密機械
    w.c<QComboBox>("c_Hinmei2")->setCurrentIndex(11); // 割れ物
    for (const char* name : {"C_1_Samakata", "C_2_Samakata", "SuujiNyuuryokuBtn", "O_Haitatsu2", "O_Tsuuchi2"})
        QTest::mouseClick(w.c(name), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseClick(w.c("GoukeiBtn"), Qt::LeftButton);
}

// The printable area's corner on the sheet, in mm.
struct Corner {
    double left = 0, top = 0;
};

// Every text of the filled window within textTol mm of its place, readable
// as typed; the two marks centred within 0.2 mm with a 3.0 mm radius.
inline void checkWaybillPage(TestWindow& w, const QString& file, double ox, double oy, Corner corner, double textTol)
{
    const auto words = pdf::words(file);
    QVERIFY(!words.empty());
    double worst = 0;
    auto check = [&](const expect::Text& t) {
        const QString all = w.text(t.control);
        const QString text = t.postalChar ? all.mid(t.postalChar - 1, 1) : all;
        if (text.isEmpty())
            return;
        const double x = corner.left + expect::textX(ox, t.x_mm) / expect::kTwipsPerMm;
        const double y = corner.top + expect::textY(oy, t.y_mm) / expect::kTwipsPerMm;
        const pdf::Word* best = nullptr;
        for (const pdf::Word& word : words)
            if (word.text == text && (!best || std::hypot(word.x0 - x, word.y0 - y) < std::hypot(best->x0 - x, best->y0 - y)))
                best = &word;
        QVERIFY2(best, qPrintable(QStringLiteral("%1 '%2' not on the page").arg(t.control, text)));
        worst = std::max({worst, qAbs(best->x0 - x), qAbs(best->y0 - y)});
        QVERIFY2(qAbs(best->x0 - x) < textTol && qAbs(best->y0 - y) < textTol,
                 qPrintable(QStringLiteral("%1 '%2' at %3/%4 mm, designed %5/%6 mm")
                                .arg(t.control, text).arg(best->x0).arg(best->y0).arg(x).arg(y)));
    };
    for (const auto& t : expect::kRecipient) check(t);
    for (const auto& t : expect::kSender) check(t);
    for (const auto& t : expect::kGoods) check(t);
    qInfo("texts: largest distance from the designed place %.3f mm", worst);

    for (const auto& m : {expect::kMarks[1], expect::kMarks[6]}) {
        const double x = corner.left + (expect::originX(ox) + m.x_mm * 56.7) / expect::kTwipsPerMm;
        const double y = corner.top + (expect::originY(oy) + m.y_mm * 56.7) / expect::kTwipsPerMm;
        const pdf::Ring ring = pdf::ringNear(file, x, y);
        QVERIFY2(ring.found, m.option);
        qInfo("%s: centre off by %.3f/%.3f mm, radius %.3f mm, line %.3f mm", m.option, ring.cx - x, ring.cy - y, ring.radius, ring.thickness);
        QVERIFY2(qAbs(ring.cx - x) < 0.2 && qAbs(ring.cy - y) < 0.2,
                 qPrintable(QStringLiteral("%1 centre %2/%3 mm, designed %4/%5").arg(m.option).arg(ring.cx).arg(ring.cy).arg(x).arg(y)));
        QVERIFY2(qAbs(ring.radius - 3.0) < 0.2, qPrintable(QString::number(ring.radius)));
        QVERIFY2(ring.thickness > 0.2 && ring.thickness < 0.4, qPrintable(QString::number(ring.thickness)));
    }
    // No mark where nothing was chosen (指定なし).
    const double nx = corner.left + (expect::originX(ox) + 63.1 * 56.7) / 56.7;
    const double ny = corner.top + (expect::originY(oy) + 37.2 * 56.7) / 56.7;
    QVERIFY(!pdf::ringNear(file, nx, ny, 2.0).found);
}

// The two dots of the mark test page within 0.2 mm of their places.
inline void checkTestDots(const QString& file, double ox, double oy, Corner corner)
{
    QVERIFY(pdf::words(file).empty()); // dots only
    for (double mm : {64.6, 127.8}) {
        const double x = corner.left + mm + ox / 10.0, y = corner.top + 12.1 + oy / 10.0;
        const pdf::Ring dot = pdf::ringNear(file, x, y, 2.0);
        QVERIFY(dot.found);
        QVERIFY2(qAbs(dot.cx - x) < 0.2 && qAbs(dot.cy - y) < 0.2,
                 qPrintable(QStringLiteral("dot at %1/%2 mm, designed %3/%4").arg(dot.cx).arg(dot.cy).arg(x).arg(y)));
        QVERIFY2(dot.radius < 0.45, qPrintable(QString::number(dot.radius))); // a 0.3 mm dot, not a mark
    }
}

} // namespace testing
