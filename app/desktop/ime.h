#pragma once
class QWidget;
namespace desktop {
enum class ImeMode { Unchanged, Disabled, Hiragana };
// Disabled: the field refuses the input method, so only direct characters
// arrive. Hiragana: the field takes the input method; Qt has no portable way
// to pick the conversion mode, so the mode is recorded on the widget and the
// user's input method decides the rest.
void applyImeMode(QWidget* field, ImeMode mode);
ImeMode imeMode(const QWidget* field);
} // namespace desktop
