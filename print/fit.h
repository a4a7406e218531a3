#pragma once
// Texts measured in the printer's face, and fitted into their places: a
// text wider than its place is condensed horizontally down to a width
// floor, then set smaller down to a size floor. Nothing of an address, a
// name or a number is ever cut; a goods description alone may be shortened
// past both floors, with a visible mark. A text that fits prints as it is.
#include "print/layout.h"

#include <QString>

namespace print {

// Millimetres on paper per twip (1440 twips to the inch, 25.4 mm to it).
constexpr double kMmPerTwip = 25.4 / 1440.0;
// Less than this past a place is below the 0.1 mm the user can read or shift.
constexpr double kNoticeableMm = 0.05;
// The mark that a shortened goods description ends with.
inline const QString kShortenedMark = QStringLiteral("…");

// A text's size in the printer's face at its size, in millimetres on paper.
struct TextExtent {
    double widthMm = 0;  // horizontal advance of the whole text
    double heightMm = 0; // the character cell: ascent plus descent
};
TextExtent printedExtent(const QString& text, double sizePt, bool bold = false);
// From the character cell's top to the baseline.
double ascentMm(double sizePt, bool bold = false);

enum class FitOutcome {
    AsIs,      // it fits
    Condensed, // narrowed, at its size
    Smaller,   // at the width floor or above it, and smaller
    Shortened, // a goods description cut at both floors, ending in …
    TooWide,   // wider than its place even at both floors
};

struct TextFit {
    QString text; // as printed
    double sizePt = 0;
    double widthPercent = 100.0;
    double naturalWidthMm = 0; // the whole text at its own size, not condensed
    double printedWidthMm = 0;
    FitOutcome outcome = FitOutcome::AsIs;
};

// How `text` at `sizePt` goes into a place `placeWidthMm` wide.
TextFit fitText(const QString& text, double sizePt, double placeWidthMm, FitFloors floors, bool mayShorten);

} // namespace print
