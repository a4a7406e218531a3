#include "adjust/layoutsheet.h"

#include "platform/fonts.h"
#include "print/fit.h"
#include "print/overrun.h"

#include <algorithm>
#include <vector>

namespace adjust {

namespace {

constexpr double kCaptionPt = 6.0;
constexpr double kMarkCaptionPt = 5.0;
constexpr print::FitFloors kCaptionFloors{50.0, 4.0};
// Inside the box, off its lines.
constexpr double kCaptionInsetMm = 0.4;

} // namespace

QString sheetCaption(const print::LayoutText& text)
{
    if (text.value == print::LayoutValue::PostalDigit)
        return QStringLiteral("〒%1").arg(text.index);
    return print::captionOf(text);
}

print::Page layoutTestPage(const print::Layout& layout, print::PrintOffsets offsets)
{
    using print::checkedSingle;
    // The places of a print with both offsets 0, moved as the offsets move
    // a waybill's origin.
    const double dxTwips =
        checkedSingle(double(offsets.horizontalTenthMm) * double(print::kTwipsPerTenthMm), "左右のズレ");
    const double dyTwips =
        checkedSingle(double(offsets.verticalTenthMm) * double(print::kTwipsPerTenthMm), "上下のズレ");
    const auto twips = [&](QPointF mm) {
        return QPointF(mm.x() / print::kMmPerTwip + dxTwips, mm.y() / print::kMmPerTwip + dyTwips);
    };

    const print::FormDrawing& form = print::formDrawing(layout);
    const QString face = platform::installedFace(print::kPrinterFontName);
    print::Page page;
    const auto caption = [&](const QString& text, double sizePt, QPointF topLeftMm, double widthMm) {
        const print::TextFit fit = print::fitText(text, sizePt, std::max(0.5, widthMm), kCaptionFloors, true);
        print::PageText printed;
        printed.fontFamily = face;
        printed.fontPoints = fit.sizePt;
        printed.topLeftTwips = twips(topLeftMm);
        printed.text = fit.text;
        printed.widthPercent = fit.widthPercent;
        page.texts.push_back(printed);
    };
    for (const print::FormTextPlace& place : form.texts) {
        page.boxes.push_back({QRectF(twips(place.placeMm.topLeft()), twips(place.placeMm.bottomRight())), 1});
        caption(sheetCaption(place.item), kCaptionPt,
                place.placeMm.topLeft() + QPointF(kCaptionInsetMm, kCaptionInsetMm),
                place.placeMm.width() - 2 * kCaptionInsetMm);
    }
    // Choices that share a place (必要 and 不要 of the built-in form) are
    // one circle with both captions.
    std::vector<std::pair<QPointF, QStringList>> circles;
    for (const print::FormMark& mark : form.marks) {
        auto same =
            std::find_if(circles.begin(), circles.end(), [&](const auto& c) { return c.first == mark.centreMm; });
        if (same == circles.end())
            circles.push_back({mark.centreMm, {mark.caption}});
        else
            same->second << mark.caption;
    }
    for (const auto& [centreMm, captions] : circles) {
        const double radiusMm = layout.markRadiusMm;
        page.circles.push_back({twips(centreMm), radiusMm / print::kMmPerTwip, layout.markLineWidthDots180});
        caption(captions.join(QStringLiteral("・")), kMarkCaptionPt,
                centreMm + QPointF(-radiusMm - 2.0, radiusMm + 0.8), 2 * radiusMm + 4.0);
    }
    return page;
}

} // namespace adjust
