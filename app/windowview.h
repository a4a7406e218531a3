#pragma once
// The print jobs' narrow view of the window's controls.
#include "entry/fields.h"
#include "print/formview.h"

namespace app {

class WindowView final : public print::FormView {
public:
    explicit WindowView(entry::FindControl find) : m_find(std::move(find)) {}
    QString text(const char* control) const override;
    bool isShown(const char* control) const override;
    bool isOn(const char* control) const override;

private:
    entry::FindControl m_find;
};

} // namespace app
