#include "print/renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

namespace print {

void renderPage(QPainter& painter, const Page& page, QPointF printableCorner)
{
    QPaintDevice* device = painter.device();
    const double dpiX = device->logicalDpiX(), dpiY = device->logicalDpiY();
    auto toDevice = [&](QPointF twips) { return QPointF(twips.x() * dpiX / kTwipsPerInch, twips.y() * dpiY / kTwipsPerInch); };

    painter.save();
    painter.translate(printableCorner);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    for (const PageText& text : page.texts) {
        QFont font(text.fontFamily);
        font.setPointSizeF(text.fontPoints);
        font.setBold(text.bold);
        painter.setFont(font);
        // Text is placed by its cell's top-left corner; QPainter draws on the baseline.
        const QFontMetricsF metrics(font, device);
        painter.drawText(toDevice(text.topLeftTwips) + QPointF(0, metrics.ascent()), text.text);
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
