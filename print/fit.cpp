#include "print/fit.h"

#include "platform/fonts.h"
#include "print/printjob.h"
#include "print/renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QTextBoundaryFinder>
#include <cmath>
#include <map>
#include <unordered_map>
#include <vector>

namespace print {

namespace {

// Fonts are measured at the resolution the pages are laid out in.
constexpr double kMeasureDotsPerInch = kPdfDotsPerInch;
constexpr double kMmPerInch = 25.4;
// A fitted text gets smaller by half points: finer steps print no
// differently on a 180-dpi head.
constexpr double kSizeStepPt = 0.5;

const QImage& measureDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMetre = qRound(kMeasureDotsPerInch / kMmPerInch * 1000.0);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

const QFontMetricsF& metricsFor(double sizePt, bool bold)
{
    static std::map<std::pair<double, bool>, QFontMetricsF> cache;
    const auto key = std::pair(sizePt, bold);
    auto it = cache.find(key);
    if (it == cache.end()) {
        QFont font = platform::printFont(platform::installedFace(kPrinterFontName));
        font.setPointSizeF(sizePt);
        font.setBold(bold);
        it = cache.emplace(key, QFontMetricsF(font, &measureDevice())).first;
    }
    return it->second;
}

double dotsToMm(double dots) { return dots / kMeasureDotsPerInch * kMmPerInch; }

// Down to the tenth of a percent, so the fitted text never ends past its place.
double percentToFit(double placeWidthMm, double widthMm)
{
    return std::min(100.0, std::floor(1000.0 * placeWidthMm / widthMm) / 10.0);
}

// The sizes below `sizePt` a text may take, largest first: half points down
// to the floor, and the floor itself.
std::vector<double> smallerSizes(double sizePt, double floorPt)
{
    std::vector<double> sizes;
    for (double size = std::ceil(sizePt / kSizeStepPt - 1.0) * kSizeStepPt; size > floorPt; size -= kSizeStepPt)
        sizes.push_back(size);
    if (floorPt < sizePt)
        sizes.push_back(floorPt);
    return sizes;
}

// The longest start of `text` that fits with the mark at its end, cut
// between characters as the user sees them.
QString shortenedToFit(const QString& text, double sizePt, double widthPercent, double placeWidthMm)
{
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    boundaries.toEnd();
    for (qsizetype end = boundaries.toPreviousBoundary(); end > 0; end = boundaries.toPreviousBoundary()) {
        const QString candidate = text.left(end).trimmed() + kShortenedMark;
        if (printedExtent(candidate, sizePt).widthMm * widthPercent / 100.0 <= placeWidthMm)
            return candidate;
    }
    return kShortenedMark;
}

} // namespace

TextExtent printedExtent(const QString& text, double sizePt, bool bold)
{
    const QFontMetricsF& metrics = metricsFor(sizePt, bold);
    // Measuring shapes the text, which costs; a list of waybills repeats most
    // of its texts (the sender, the postal code's digits, the item
    // description), so recent widths are kept. Only this thread measures.
    struct Key {
        QString text;
        double sizePt;
        bool bold;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const { return qHash(k.text) ^ size_t(k.sizePt * 4.0) * 2 ^ size_t(k.bold); }
    };
    static std::unordered_map<Key, double, KeyHash> widthsDots;
    constexpr size_t kKeptWidths = 4096;
    Key key{text, sizePt, bold};
    auto found = widthsDots.find(key);
    if (found == widthsDots.end()) {
        if (widthsDots.size() >= kKeptWidths)
            widthsDots.clear();
        found = widthsDots.emplace(std::move(key), metrics.horizontalAdvance(text)).first;
    }
    return {dotsToMm(found->second), dotsToMm(metrics.height())};
}

double ascentMm(double sizePt, bool bold) { return dotsToMm(metricsFor(sizePt, bold).ascent()); }

TextFit fitText(const QString& text, double sizePt, double placeWidthMm, FitFloors floors, bool mayShorten)
{
    TextFit fit;
    fit.text = text;
    fit.sizePt = sizePt;
    fit.naturalWidthMm = fit.printedWidthMm = printedExtent(text, sizePt).widthMm;
    if (fit.naturalWidthMm - placeWidthMm < kNoticeableMm)
        return fit;

    const double condensed = percentToFit(placeWidthMm, fit.naturalWidthMm);
    if (condensed >= floors.widthPercent) {
        fit.widthPercent = condensed;
        fit.printedWidthMm = fit.naturalWidthMm * condensed / 100.0;
        fit.outcome = FitOutcome::Condensed;
        return fit;
    }
    for (const double size : smallerSizes(sizePt, floors.sizePt)) {
        const double width = printedExtent(text, size).widthMm;
        if (width * floors.widthPercent / 100.0 <= placeWidthMm) {
            fit.sizePt = size;
            fit.widthPercent = percentToFit(placeWidthMm, width);
            fit.printedWidthMm = width * fit.widthPercent / 100.0;
            fit.outcome = FitOutcome::Smaller;
            return fit;
        }
    }
    fit.sizePt = std::min(sizePt, floors.sizePt);
    fit.widthPercent = floors.widthPercent;
    if (mayShorten) {
        fit.text = shortenedToFit(text, fit.sizePt, fit.widthPercent, placeWidthMm);
        fit.outcome = FitOutcome::Shortened;
    } else {
        fit.outcome = FitOutcome::TooWide;
    }
    fit.printedWidthMm = printedExtent(fit.text, fit.sizePt).widthMm * fit.widthPercent / 100.0;
    return fit;
}

} // namespace print
