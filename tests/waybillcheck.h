#pragma once
// The measurement of a printed page against the designed millimetres:
// every text of a waybill and its marks, or the test page's two dots.
#include "expect.h"
#include "pdfmeasure.h"

#include <QTest>
#include <span>

namespace testing {

// The printable area's corner on the sheet, in mm.
struct Corner {
    double left = 0, top = 0;
};

// Every printed text within textTol mm of its place, readable as typed; the
// two marks centred within 0.2 mm with a 3.0 mm radius; no mark at the
// other delivery-time bands. Returns the largest text distance.
inline double checkWaybillPage(const QString& file, int page, const waybill::Waybill& w, double ox, double oy,
                               Corner corner, double textTol)
{
    const auto words = pdf::words(file, page);
    [&] { QVERIFY(!words.empty()); }();
    double worst = 0;
    auto check = [&](const expect::Text& t) {
        const QString text = expect::textOf(w, t);
        if (text.isEmpty() || !expect::printed(w, t))
            return;
        const double x = corner.left + expect::textX(ox, t.xMm) / expect::kTwipsPerMm;
        const double y = corner.top + expect::textY(oy, t.yMm) / expect::kTwipsPerMm;
        // A text with blanks ("山田 太郎", 「ほか 2 点」, also ideographic ones)
        // prints as words: the first at the place, the others after it on
        // its line, in order.
        QStringList parts;
        for (const QString& part : text.split(QChar(0x3000)))
            parts += part.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const pdf::Word* best = nullptr;
        for (const pdf::Word& word : words)
            if (word.text == parts.value(0) &&
                (!best || std::hypot(word.x0 - x, word.y0 - y) < std::hypot(best->x0 - x, best->y0 - y)))
                best = &word;
        QVERIFY2(best, qPrintable(QStringLiteral("'%1' not on page %2").arg(text).arg(page)));
        double after = best->x1;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const pdf::Word* next = nullptr;
            for (const pdf::Word& word : words)
                if (word.text == parts[i] && qAbs(word.y0 - best->y0) < 0.3 && word.x0 >= after - 0.1 &&
                    (!next || word.x0 < next->x0))
                    next = &word;
            QVERIFY2(next, qPrintable(QStringLiteral("'%1' of '%2' not after '%3' on page %4")
                                          .arg(parts[i], text, parts.value(i - 1))
                                          .arg(page)));
            after = next->x1;
        }
        worst = std::max({worst, qAbs(best->x0 - x), qAbs(best->y0 - y)});
        QVERIFY2(qAbs(best->x0 - x) < textTol && qAbs(best->y0 - y) < textTol,
                 qPrintable(QStringLiteral("'%1' at %2/%3 mm, designed %4/%5 mm")
                                .arg(text)
                                .arg(best->x0)
                                .arg(best->y0)
                                .arg(x)
                                .arg(y)));
    };
    for (std::span<const expect::Text> block :
         {std::span<const expect::Text>(expect::kRecipient), std::span<const expect::Text>(expect::kSender),
          std::span<const expect::Text>(expect::kGoods)})
        for (const expect::Text& t : block)
            check(t);

    auto at = [&](expect::Mark m) {
        return QPointF(corner.left + (expect::originX(ox) + m.xMm * 56.7) / expect::kTwipsPerMm,
                       corner.top + (expect::originY(oy) + m.yMm * 56.7) / expect::kTwipsPerMm);
    };
    for (const expect::Mark& m : {expect::deliveryTimeMark(w.deliveryTime), expect::noticeMark(w.arrivalNotice)}) {
        const QPointF c = at(m);
        const pdf::Ring ring = pdf::ringNear(file, c.x(), c.y(), 4.5, page);
        [&] {
            QVERIFY2(ring.found, qPrintable(QStringLiteral("no mark at %1/%2 mm").arg(c.x()).arg(c.y())));
            QVERIFY2(qAbs(ring.cx - c.x()) < 0.2 && qAbs(ring.cy - c.y()) < 0.2,
                     qPrintable(QStringLiteral("mark centre %1/%2 mm, designed %3/%4")
                                    .arg(ring.cx)
                                    .arg(ring.cy)
                                    .arg(c.x())
                                    .arg(c.y())));
            QVERIFY2(qAbs(ring.radius - 3.0) < 0.2, qPrintable(QString::number(ring.radius)));
            QVERIFY2(ring.thickness > 0.2 && ring.thickness < 0.4, qPrintable(QString::number(ring.thickness)));
        }();
    }
    for (int band = 0; band < 5; ++band) {
        if (waybill::DeliveryTime(band) == w.deliveryTime)
            continue;
        const QPointF c = at(expect::deliveryTimeMark(waybill::DeliveryTime(band)));
        [&] { QVERIFY2(!pdf::ringNear(file, c.x(), c.y(), 2.0, page).found, "a mark where nothing was chosen"); }();
    }
    return worst;
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
