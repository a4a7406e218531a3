#pragma once
// The one page renderer: printing, PDF files, the preview and the tests'
// pictures all replay pages through it, so what one shows the other prints.
#include "print/page.h"

class QPainter;

namespace print {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kImpactDotsPerInch = 180.0; // the unit of a mark's line width
// PDF pages are written at this resolution, and text is laid out at it for
// every picture of a page, so a picture's glyphs have the sizes and places
// of the printed ones: Qt sets a font's size in whole device pixels.
constexpr int kPdfDotsPerInch = 1200;

// Paints the page with the printer's twips scaled to the painter's device
// resolution; printableCorner is where the printer's printable area starts
// on the device, in device units (the hardware margins).
void renderPage(QPainter& painter, const Page& page, QPointF printableCorner = {});

} // namespace print
