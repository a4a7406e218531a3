#pragma once
namespace platform {
// Maps the font names the window and the printer ask for to installed
// Japanese faces, so the names in the layout stay as they are.
void installFontSubstitutions();
// Qt's own texts (printer dialog, standard buttons) in Japanese, when the
// translations are installed.
void installJapaneseQtTexts();
} // namespace platform
