#pragma once
// A printed page measured against a layout's own millimetres: each text's
// first word where the layout puts its character cell.
#include "expect.h"
#include "pdfmeasure.h"

#include "print/layout.h"

#include <QPointF>
#include <QTest>
#include <functional>

namespace testing {

// Twips per millimetre on paper (1440 to the inch).
constexpr double kTrueTwipsPerMm = 1440.0 / 25.4;

// Where a print with these offsets (0.1 mm) puts the top-left corner of a
// left-aligned text's cell, in mm from the printable area's corner.
inline QPointF designedCellMm(double xMm, double yMm, double offsetX = 0, double offsetY = 0)
{
    return {expect::textX(offsetX, xMm) / kTrueTwipsPerMm, expect::textY(offsetY, yMm) / kTrueTwipsPerMm};
}

// Every text of the layout that `textOf` gives a text for, found on the page
// (its first word) within tolMm of its designed place; returns how many.
inline int checkLayoutTexts(const QString& pdfPath, int page, const print::Layout& layout,
                            const std::function<QString(const print::LayoutText&)>& textOf, double tolMm,
                            double offsetX = 0, double offsetY = 0)
{
    const std::vector<pdf::Word> words = pdf::words(pdfPath, page);
    int checked = 0;
    for (const print::LayoutText& item : layout.texts) {
        const QString text = textOf(item).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        if (text.isEmpty())
            continue;
        const QPointF at = designedCellMm(item.xMm, item.yMm, offsetX, offsetY);
        const pdf::Word* best = nullptr;
        for (const pdf::Word& word : words)
            if (word.text == text && (!best || std::hypot(word.x0 - at.x(), word.y0 - at.y()) <
                                                   std::hypot(best->x0 - at.x(), best->y0 - at.y())))
                best = &word;
        [&] {
            QVERIFY2(best, qPrintable(QStringLiteral("%1「%2」is not on the page").arg(print::captionOf(item), text)));
            QVERIFY2(qAbs(best->x0 - at.x()) <= tolMm && qAbs(best->y0 - at.y()) <= tolMm,
                     qPrintable(QStringLiteral("%1「%2」at %3/%4 mm, designed %5/%6 mm")
                                    .arg(print::captionOf(item), text)
                                    .arg(best->x0)
                                    .arg(best->y0)
                                    .arg(at.x())
                                    .arg(at.y())));
        }();
        if (QTest::currentTestFailed())
            return checked;
        ++checked;
    }
    return checked;
}

// A mark's centre on the page, in mm from the printable area's corner.
inline QPointF designedMarkMm(const print::LayoutMark& mark, double offsetX = 0, double offsetY = 0)
{
    return {(expect::originX(offsetX) + mark.xMm * expect::kTwipsPerMm) / kTrueTwipsPerMm,
            (expect::originY(offsetY) + mark.yMm * expect::kTwipsPerMm) / kTrueTwipsPerMm};
}

} // namespace testing
