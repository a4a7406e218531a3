#pragma once
// The mark test print: two small dots placed with the current offsets, to
// check the shift against the pre-printed form.
#include "print/printjob.h"

namespace adjust {

print::JobResult printTestMarks(const print::FormView& view, platform::Printer& printer, print::PrintState& state);

} // namespace adjust
