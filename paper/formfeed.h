#pragma once
// Continuous forms on an impact printer: the driver sets the page length in
// lines of 1/6 inch, so a form whose length is not a whole number of lines
// is fed a little long or short, and every following form drifts by the
// difference.
#include <QString>

namespace paper {

constexpr double kMmPerInch = 25.4;
constexpr int kFeedLinesPerInch = 6;
constexpr double kMmPerFeedLine = kMmPerInch / kFeedLinesPerInch;
// Closer than this to a whole line counts as exact: far below the 0.1 mm
// steps of the print adjustment, and below what a form can be cut to.
constexpr double kExactFeedToleranceMm = 0.01;

// A length that the printer feeds exactly: a whole number of 1/6 inch lines.
struct FeedLength {
    int sixthsOfInch = 0;
    double mm() const { return sixthsOfInch * kMmPerFeedLine; }
    // Whole inches and the rest as a reduced fraction: "4 1/3 in", "11 in".
    QString inchesText() const;
};

struct FormFeed {
    bool exact = false;        // the length is a whole number of lines
    FeedLength fed;            // what the printer feeds for it: the nearest whole line
    double driftPerFormMm = 0; // fed minus the form's length; 0 when exact
    FeedLength shorter;        // the longest exact length below the form's length
    FeedLength longer;         // the shortest exact length above it
};

// For a form `lengthMm` long (positive). A half line rounds up, as the
// driver does: 4.25 in is fed as 4 1/3 in.
FormFeed formFeedFor(double lengthMm);

} // namespace paper
