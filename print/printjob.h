#pragma once
// The waybill print job: origin from the offsets, the font and its shift,
// place-and-print for every text, the marks, the end of the document.
#include "platform/printer.h"
#include "print/formview.h"
#include "print/layout.h"

#include <QString>

namespace print {

// Form-level state kept between jobs; each job writes a member before it
// reads it.
struct PrintState {
    float horizontalOffset = 0; // 0.1 mm
    float verticalOffset = 0;   // 0.1 mm
    float MarkRadius = 0;       // 0.1 mm
    float MarkLineWidth = 0;
    QString FontShift;          // 0.1 mm, as text
    float OriginX = 0;          // twips
    float OriginY = 0;          // twips
};

struct JobResult {
    bool ok = true;
    QString message;   // why the job stopped, for the user
    QString savedFile; // the page went to this PDF file
};

// A stopped job: nothing was released to the printer.
struct JobStopped {
    QString message;
};

// The arithmetic check after each computation: with finite inputs, a result
// that is not finite means an invalid operation, a division by zero or an
// overflow, also when the result is narrowed to single precision.
double checked(double value, const char* what);
float checkedSingle(double value, const char* what);

// Both offsets from their boxes, as single-precision numbers; stops the job
// with a message naming the offset when a text is not a number.
void readOffsets(const FormView& view, PrintState& state);

// Line width, centre and radius of one mark, then the circle.
void drawMark(platform::Printer& printer, const PrintState& state, float dxTwips, float dyTwips);

// Runs body, then ends the document. A stop or a failing printer throws the
// unfinished document away and says why.
template <typename Body>
JobResult runJob(platform::Printer& printer, Body&& body)
{
    try {
        body();
    } catch (const JobStopped& stop) {
        printer.killDoc();
        return {false, stop.message, {}};
    }
    const platform::EndDocResult end = printer.endDoc();
    return {end.ok, end.error, end.savedFile};
}

// One waybill page from the window's current contents.
JobResult printWaybill(const FormView& view, platform::Printer& printer, PrintState& state);

// The printer font, exactly as the layout names it.
inline const QString kPrinterFontName = QStringLiteral("ＭＳ　P ゴシック");

} // namespace print
