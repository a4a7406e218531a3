#include "app/windowview.h"

#include <QAbstractButton>
#include <QWidget>

namespace app {

QString WindowView::text(const char* control) const { return entry::fieldText(m_find(control)); }

bool WindowView::isShown(const char* control) const { return !m_find(control)->isHidden(); }

bool WindowView::isOn(const char* control) const
{
    auto* button = qobject_cast<QAbstractButton*>(m_find(control));
    return button && button->isChecked();
}

} // namespace app
