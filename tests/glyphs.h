#pragma once
// A character that no face installed on this machine can draw, found by
// asking every face, so a test of missing glyphs holds wherever it runs.
#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
#include <QString>

namespace testing {

inline QString characterNoFaceHas()
{
    // Emoji of recent Unicode versions, then a private-use character of the last plane.
    for (const char32_t c : {U'\U0001FAE8', U'\U0001FAE0', U'\U0001FAEF', U'\U0010FFFD'}) {
        bool drawn = false;
        for (const QString& family : QFontDatabase::families())
            if (QRawFont::fromFont(QFont(family)).supportsCharacter(c)) {
                drawn = true;
                break;
            }
        if (!drawn)
            return QString::fromUcs4(&c, 1);
    }
    qFatal("every candidate character has a glyph in some installed face");
}

} // namespace testing
