#include "print/renderer.h"

#include "platform/fonts.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <QRawFont>
#include <QTextLayout>
#include <map>
#include <tuple>

namespace print {

namespace {

// A device with the resolution pages are laid out at.
const QImage& layoutDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMetre = qRound(kPdfDotsPerInch / 25.4 * 1000.0);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

// Text as outlines, laid out as in a PDF page and scaled to the device.
// A raster engine would lay it out with the font's size rounded to its own
// whole pixels (13 for the 13.3 of 10 points on a 96 dpi screen, so a long
// line would end millimetres short) and put cached glyphs on whole pixels.
void fillTextOutline(QPainter& painter, const QFont& font, QPointF topLeft, const QString& text, double widthFactor)
{
    QTextLayout layout(text, font, &layoutDevice());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QPainterPath outline;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont face = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            outline.addPath(face.pathForGlyph(glyphs[i]).translated(positions[i]));
    }
    QPaintDevice* device = painter.device();
    const QTransform toDevice = QTransform::fromScale(widthFactor * double(device->logicalDpiX()) / kPdfDotsPerInch,
                                                      double(device->logicalDpiY()) / kPdfDotsPerInch);
    painter.fillPath(toDevice.map(outline).translated(topLeft), painter.pen().color());
}

} // namespace

void renderPage(QPainter& painter, const Page& page, QPointF printableCorner)
{
    QPaintDevice* device = painter.device();
    const double dpiX = device->logicalDpiX(), dpiY = device->logicalDpiY();
    auto toDevice = [&](QPointF twips) {
        return QPointF(twips.x() * dpiX / kTwipsPerInch, twips.y() * dpiY / kTwipsPerInch);
    };

    painter.save();
    painter.translate(printableCorner);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    // A page has a handful of sizes: each font is made and measured once,
    // so Qt finds its face once rather than for every text.
    struct FontOnDevice {
        QFont font;
        double ascent;
    };
    std::map<std::tuple<QString, double, bool>, FontOnDevice> fonts;
    // The painter is told a font only when it changes: each time it is
    // told, it makes the font anew for the device and looks its face up.
    const FontOnDevice* fontSet = nullptr;
    for (const PageText& text : page.texts) {
        if (text.text.isEmpty())
            continue;
        auto [at, made] = fonts.try_emplace({text.fontFamily, text.fontPoints, text.bold});
        if (made) {
            QFont font = platform::printFont(text.fontFamily);
            font.setPointSizeF(text.fontPoints);
            font.setBold(text.bold);
            at->second = {font, QFontMetricsF(font, device).ascent()};
        }
        const FontOnDevice& face = at->second;
        const double widthFactor = text.widthPercent / 100.0;
        // Printers and PDF files keep text as text.
        if (painter.paintEngine()->type() == QPaintEngine::Raster) {
            fillTextOutline(painter, face.font, toDevice(text.topLeftTwips), text.text, widthFactor);
            continue;
        }
        if (fontSet != &face) {
            painter.setFont(face.font);
            fontSet = &face;
        }
        // Text is placed by its cell's top-left corner; QPainter draws on the baseline.
        const QPointF baseline = toDevice(text.topLeftTwips) + QPointF(0, face.ascent);
        if (widthFactor == 1.0) {
            painter.drawText(baseline, text.text);
            continue;
        }
        // A condensed text stays text: the page scales it where it stands.
        painter.save();
        painter.translate(baseline);
        painter.scale(widthFactor, 1.0);
        painter.drawText(QPointF(0, 0), text.text);
        painter.restore();
    }
    painter.setBrush(Qt::NoBrush);
    for (const PageCircle& circle : page.circles) {
        QPen pen(Qt::black);
        pen.setWidthF(circle.lineWidthDots180 * dpiX / kImpactDotsPerInch);
        painter.setPen(pen);
        painter.drawEllipse(toDevice(circle.centreTwips), circle.radiusTwips * dpiX / kTwipsPerInch,
                            circle.radiusTwips * dpiY / kTwipsPerInch);
    }
    painter.restore();
}

} // namespace print
