#pragma once
namespace platform {
// Maps the font names the window and the printer ask for to installed
// Japanese faces, so the names in the layout stay as they are.
void installFontSubstitutions();
} // namespace platform
