#pragma once
#include <QFont>
#include <QString>

namespace platform {
// Maps the font names the window and the printer ask for to installed
// Japanese faces, so the names in the layout stay as they are.
void installFontSubstitutions();
// The installed face a layout font name stands for: the name itself where
// that face is installed, else its first installed substitute. Fonts are
// made with this face, because Qt asks fontconfig for a fallback list,
// script by script, each time a font names a face that is not installed.
QString installedFace(const QString& layoutName);
// A font for printed text in an installed face (see installedFace), with
// the face for the ideographs the IPA faces lack behind it: the page, its
// preview and every measure of a printed text use it.
QFont printFont(const QString& installedFamily);
// Qt's own texts (printer dialog, file dialogs, standard buttons) in
// Japanese: Qt's translation when it is installed, and the texts it leaves
// in English.
void installJapaneseQtTexts();
} // namespace platform
