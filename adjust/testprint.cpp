#include "adjust/testprint.h"

namespace adjust {

using print::checkedSingle;
using print::kTwipsPerTenthMm;

void printTestMarks(print::PrintOffsets offsets, print::Printer& printer, print::PrintState& state)
{
    state.horizontalOffset = offsets.horizontalTenthMm;
    state.verticalOffset = offsets.verticalTenthMm;
    state.MarkRadius = 3.0f;
    state.MarkLineWidth = 2.0f;
    printer.setDrawWidth(2);
    const double x = state.horizontalOffset, y = state.verticalOffset, k = kTwipsPerTenthMm;
    // Tenths of a millimetre from the paper's reference corner, less the
    // same 16.0 mm and plus the same 1.5 mm as a waybill's origin.
    for (int dotTenths : {print::kTestDot1XTenthMm, print::kTestDot2XTenthMm}) {
        const float cx = checkedSingle((x + dotTenths - 160.0) * k, "○印の横位置");
        const float cy = checkedSingle((y + print::kTestDotsYTenthMm + 15.0) * k, "○印の縦位置");
        const float r = checkedSingle(double(state.MarkRadius) * k, "○印の半径");
        printer.circle(cx, cy, r);
    }
}

print::Page testMarksPage(print::PrintOffsets offsets, print::PrintState& state)
{
    print::PageRecorder recorder;
    printTestMarks(offsets, recorder, state);
    return recorder.takePage();
}

} // namespace adjust
