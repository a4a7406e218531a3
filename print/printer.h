#pragma once
// The printer as the print jobs see it: a device addressed in twips from the
// top-left corner of its printable area, with a font, a current position,
// text output at that position, a line width and circles. A page ends when
// its job ends; the document is released by whoever collects the pages.
#include "print/fit.h"

#include <QString>

namespace print {

// Where a printed text came from: which text of the layout, and how it was
// fitted into its place.
struct TextOrigin {
    int layoutText = -1; // index into the layout's texts
    FitOutcome fit = FitOutcome::AsIs;
    double placeWidthMm = 0;
    double naturalWidthMm = 0;
    QString wholeText; // before a goods description was shortened
};

class Printer {
public:
    virtual ~Printer() = default;
    virtual void setFontSize(int points) = 0;
    // The size the device reports, to four decimal places.
    virtual double fontSize() const = 0;
    virtual void setFontName(const QString& name) = 0;
    virtual void setFontBold(bool bold) = 0;
    virtual void setCurrentX(float twips) = 0;
    virtual void setCurrentY(float twips) = 0;
    // Text with the top-left corner of its character cell at the current position.
    virtual void printText(const QString& text) = 0;
    // The next text only: set at sizePt and condensed to widthPercent of its
    // width, to fit its place.
    virtual void fitNextText(double sizePt, double widthPercent) = 0;
    // Where the next text comes from; a device that only prints ignores it.
    virtual void describeNextText(const TextOrigin&) {}
    // In dots of a 180-dpi impact printer.
    virtual void setDrawWidth(int dots180) = 0;
    // Absolute centre, no fill, the device's default colour.
    virtual void circle(float centreXTwips, float centreYTwips, float radiusTwips) = 0;
};

} // namespace print
