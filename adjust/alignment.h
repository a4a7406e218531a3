#pragma once
// The alignment sheet: one form printed at the current offsets with scales
// at two places where every form of the layout has a printed line, and the
// offsets that the numbers read on it give.
//
// Why the scales look as they do. A printer of 180 dots to the inch puts a
// line only on whole dots, 0.141 mm apart, so lines 0.1 or 0.2 mm apart
// run together; and the form's line a scale is read against is short (the
// side of a postal-code box is a few millimetres) while the print may sit
// up to 5 mm off along it. So a scale's lines are spread over five bands
// that follow each other along the form's line and repeat all along where
// it may be, so that any stretch as long as a box's side crosses all five.
// The middle band holds thick lines 1.0 mm apart, the main scale; each band
// from it outwards holds thin lines shifted 0.2 mm further, a vernier whose
// lines never stand closer than 1.0 mm within a band. A person finds the
// line that meets the form's line (or the middle of two that flank it),
// takes the number of the thick line nearest to it, and adds 2 for each
// band the line lies away from the thick band: less towards the numbers,
// more away from them. Only the thick lines carry numbers, which a 180-dpi
// printer could not print legibly 0.2 mm apart; 1.0 mm apart they are
// stacked one character under another (the horizontal scale) or set in two
// columns (the vertical one).
#include "common/result.h"
#include "print/layout.h"
#include "print/page.h"
#include "print/printjob.h"

#include <QRectF>
#include <QString>
#include <array>
#include <optional>

namespace adjust {

// A straight printed line of the form, where a print with both offsets 0
// puts it: millimetres from the printable area's corner.
struct FormLineMm {
    bool vertical = true;
    double acrossMm = 0; // x of a vertical line, y of a horizontal one
    double fromMm = 0, toMm = 0;
};

// One place of the sheet: the corner of a postal-code box, its side read by
// the horizontal scale and its top read by the vertical one.
struct AlignmentPlace {
    FormLineMm side;
    FormLineMm top; // the top of the row of boxes it stands in, as far as it runs unbroken
    bool cornerAtLeft = true;
};

// The top-left corner of the layout's first postal-code box, and the
// top-right corner of its last (lowest, then rightmost): the first for the
// offsets, both for how the form feeds between them. Fails for a layout
// without postal-code boxes, or with boxes too small for the scales.
Result<std::array<AlignmentPlace, 2>> alignmentPlaces(const print::Layout& layout = print::builtInLayout());

// The reach of every scale, in 0.1 mm each way.
constexpr int kAlignmentReachTenthMm = 64;

// The sheet at these offsets. Fails as alignmentPlaces() does.
Result<print::Page> alignmentSheetPage(print::PrintOffsets offsets,
                                       const print::Layout& layout = print::builtInLayout());

// What was read on the sheet, in 0.1 mm, right and down positive: at the
// first place, and at the second if it was read.
struct AlignmentReading {
    int horizontalTenthMm = 0;
    int verticalTenthMm = 0;
    std::optional<int> secondHorizontalTenthMm;
    std::optional<int> secondVerticalTenthMm;
};

struct AlignmentOutcome {
    int horizontalTenthMm = 0; // the offsets that put the print on the form
    int verticalTenthMm = 0;
    QString offsetsSentence;    // 左右のズレを 0 から -12 に、…
    QString differenceSentence; // between the two places; empty without the second
    // With the second place: how much further right and down the print
    // sits there than at the first, and the form length that would feed a
    // continuous form true (with a form length given and a feed that drifts).
    std::optional<int> widerTenthMm, longerTenthMm;
    std::optional<double> trueFormLengthMm;
};

// The offsets the sheet was printed with, less the reading (whole tenths).
// With the second place read: how much the print stretches between the
// places, and for a continuous form of formLengthMm, how the form drifts and
// the length that would feed it true. Fails for a reading beyond the scales
// or offsets beyond their range.
Result<AlignmentOutcome> alignmentOutcome(print::PrintOffsets sheetOffsets, const AlignmentReading& reading,
                                          const print::Layout& layout = print::builtInLayout(),
                                          std::optional<double> formLengthMm = {});

} // namespace adjust
