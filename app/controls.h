#pragma once
// The window's control inventory: one row per control, as designed.
#include "app/desktop/ime.h"

#include <QRgb>
#include <span>

namespace app {

enum class Kind {
    Frame,
    Label,
    TextBox,
    ComboBox,
    CheckBox,
    OptionButton,
    PushButton,
    ToggleButton,
    UpDown,
    CommonDialog
};
enum class Align { Left, Right };
enum class Font { Default, Bold12 };

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* container; // nullptr: the window's client area
    int leftTwips, topTwips, widthTwips, heightTwips;
    const char* caption = ""; // caption, or initial text of a text box
    int tabIndex = -1;
    int maxLength = 0;       // characters; 0: no limit
    bool postalCode = false; // a hyphen after the third digit takes no place
    Align align = Align::Left;
    desktop::ImeMode ime = desktop::ImeMode::Unchanged;
    bool visible = true;
    bool enabled = true;
    bool initiallyOn = false; // option selected, box ticked, toggle pressed
    QRgb colour = 0;          // 0: the platform's text colour
    Font font = Font::Default;
    const char* toolTip = nullptr;
    const char* shortcut = nullptr; // a key that clicks the button, e.g. "F2"
};

constexpr int kTwipsPerPixel = 15;
// A designed length in whole pixels, rounded to the nearest.
constexpr int pixelsFromTwips(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
constexpr int kClientWidthTwips = 10875;
constexpr int kClientHeightTwips = 7590;
constexpr const char* kWindowName = "Form1";
constexpr const char* kWindowCaption = " ホルテア(連続伝票用)";
constexpr const char* kWindowFontFamily = "ＭＳ Ｐゴシック";
constexpr int kWindowFontPoints = 9;
// The face whose half-width digits are half an em, as the window's face's
// were: for number boxes too narrow for their digits in the window's face.
constexpr const char* kNumberFontFamily = "ＭＳ ゴシック";

std::span<const ControlSpec> controlTable();

// The item-description list of both goods lines.
std::span<const char* const> itemDescriptions();

} // namespace app
