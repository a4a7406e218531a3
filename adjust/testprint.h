#pragma once
// The mark test print: two small dots placed with the current offsets, to
// check the shift against the pre-printed form.
#include "print/printjob.h"

namespace adjust {

// Throws print::JobStopped when a position cannot be computed.
void printTestMarks(print::PrintOffsets offsets, print::Printer& printer, print::PrintState& state);
print::Page testMarksPage(print::PrintOffsets offsets, print::PrintState& state);

} // namespace adjust
