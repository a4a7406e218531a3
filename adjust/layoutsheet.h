#pragma once
// A layout's test sheet: every place of the layout drawn as a box with its
// caption, and every mark's circle, with the current offsets, on plain
// paper to hold over a form against the light.
#include "print/layout.h"
#include "print/page.h"
#include "print/printjob.h"

namespace adjust {

// The sheet as a page, its places where a print with these offsets puts
// the texts' character cells and the marks. Throws print::JobStopped when
// the offsets cannot be placed.
print::Page layoutTestPage(const print::Layout& layout, print::PrintOffsets offsets);

// The caption a place carries on the sheet: the value's, short enough for
// a postal code's box.
QString sheetCaption(const print::LayoutText& text);

} // namespace adjust
