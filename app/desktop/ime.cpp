#include "app/desktop/ime.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>

namespace desktop {

static const char* const kProperty = "imeMode";

void applyImeMode(QWidget* field, ImeMode mode)
{
    field->setProperty(kProperty, static_cast<int>(mode));
    if (mode == ImeMode::Unchanged)
        return;
    QWidget* editor = field;
    if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->lineEdit())
        editor = combo->lineEdit();
    editor->setProperty(kProperty, static_cast<int>(mode));
    const bool enabled = mode == ImeMode::Hiragana;
    field->setAttribute(Qt::WA_InputMethodEnabled, enabled);
    editor->setAttribute(Qt::WA_InputMethodEnabled, enabled);
    if (mode == ImeMode::Disabled)
        editor->setInputMethodHints(editor->inputMethodHints() | Qt::ImhLatinOnly);
}

ImeMode imeMode(const QWidget* field) { return static_cast<ImeMode>(field->property(kProperty).toInt()); }

} // namespace desktop
