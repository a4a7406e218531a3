#include "app/desktop/enterkey.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QRadioButton>

namespace desktop {

namespace {

class EnterPressesButtons final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        // A box or an option is ticked with the space bar: Enter there is
        // the window's own.
        if (!button || qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button) || !button->hasFocus() ||
            !button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void pressFocusedButtonsWithEnter(QApplication& application)
{
    application.installEventFilter(new EnterPressesButtons(&application));
}

} // namespace desktop
