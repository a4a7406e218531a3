#pragma once
// What the print jobs may read of the window, by control name.
#include <QString>

namespace print {

class FormView {
public:
    virtual ~FormView() = default;
    // Text of a text box, or the edit text of a combo box.
    virtual QString text(const char* control) const = 0;
    // The control's own visibility (shown, even while its panel is hidden).
    virtual bool isShown(const char* control) const = 0;
    // Option selected, or toggle pressed.
    virtual bool isOn(const char* control) const = 0;
};

} // namespace print
