#pragma once
// Characters the printer's face has no glyph for: printed anyway, they come
// out in another face or as an empty box, so a check before printing names
// them.
#include "waybill/waybill.h"

#include <QString>
#include <vector>

namespace print {

struct MissingGlyphs {
    QString caption;    // お届け先の名前, 品名1, ...
    QString characters; // those the face lacks, each once, in the order met
};

// The texts this waybill prints (a hidden care-of line and, outside numeric
// input mode, the numbers left out) that hold characters without a glyph in
// the printer's face; blanks, control and format characters and variation selectors aside.
std::vector<MissingGlyphs> findMissingGlyphs(const waybill::Waybill& waybill);

} // namespace print
