#pragma once
// Where each item goes on the waybill, as millimetres from the print origin.
#include <span>

namespace print {

// Layout constants are whole tenths of a millimetre times 5.67 twips, the
// product taken in single precision (84.0 mm is 4762.8 twips).
constexpr float kTwipsPerTenthMm = 5.67f;
float layoutTwips(double mm);

enum class When { Always, Shown, NumericMode };

struct TextItem {
    int points;
    double x_mm, y_mm;
    const char* control;
    int postalChar; // 1..7: that character of the control's text; 0: the whole text
    When when;
    const char* condition; // control whose visibility decides, for When::Shown
};

struct MarkItem {
    const char* option;
    double x_mm, y_mm; // centre
};

std::span<const TextItem> recipientBlock();
std::span<const TextItem> senderBlock();
std::span<const TextItem> goodsBlock();
std::span<const MarkItem> deliveryTimeMarks();
std::span<const MarkItem> noticeMarks();

// The mark test print's two dots, from the print origin, in 0.1 mm.
constexpr int kTestDot1_x_tenthMm = 806, kTestDot2_x_tenthMm = 1438, kTestDots_y_tenthMm = 106;

} // namespace print
