#pragma once
// The waybill print job: origin from the offsets, the font and its shift,
// place-and-print for every text, the marks.
#include "print/layout.h"
#include "print/page.h"
#include "print/printer.h"
#include "waybill/waybill.h"

#include <QDate>
#include <QString>

namespace print {

// The print shift the user set, in 0.1 mm: more moves the print right and down.
struct PrintOffsets {
    float horizontalTenthMm = 0;
    float verticalTenthMm = 0;
    bool operator==(const PrintOffsets&) const = default;
};

// State kept between jobs; each job writes a member before it reads it.
struct PrintState {
    float horizontalOffset = 0; // 0.1 mm
    float verticalOffset = 0;   // 0.1 mm
    float MarkRadius = 0;       // 0.1 mm
    float MarkLineWidth = 0;    // dots of a 180-dpi printer
    QString FontShift;          // 0.1 mm, as text
    float OriginX = 0;          // twips
    float OriginY = 0;          // twips
};

// A job that cannot go on: nothing of its document is released.
struct JobStopped {
    QString message;
};

// The arithmetic check after each computation: with finite inputs, a result
// that is not finite means an invalid operation, a division by zero or an
// overflow, also when the result is narrowed to single precision.
double checked(double value, const char* what);
float checkedSingle(double value, const char* what);

// Line width, centre and radius of one mark, then the circle.
void drawMark(Printer& printer, const PrintState& state, float dxTwips, float dyTwips);

// What a layout may print that the waybill itself does not hold: from an
// order list, the batch's constants or the print.
struct SheetExtras {
    QDate shipDate; // none: the day of the print
    int parcelCount = 1;
    QString orderNumber;
    QString formNumber;
    bool operator==(const SheetExtras&) const = default;
};

// One waybill onto the printer, every text of the layout fitted into its
// place. Throws JobStopped when a position cannot be computed.
void printWaybill(const waybill::Waybill& waybill, PrintOffsets offsets, Printer& printer, PrintState& state,
                  const Layout& layout = builtInLayout(), const SheetExtras& extras = {});

// The same, collected into a page.
Page waybillPage(const waybill::Waybill& waybill, PrintOffsets offsets, PrintState& state,
                 const Layout& layout = builtInLayout(), const SheetExtras& extras = {});

// The printer font, exactly as the layout names it.
inline const QString kPrinterFontName = QStringLiteral("ＭＳ　P ゴシック");

} // namespace print
