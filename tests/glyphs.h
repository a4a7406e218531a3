#pragma once
// A character that no face installed here can draw, found by asking every
// face, so a test of missing glyphs holds wherever it runs.
#include <QFontDatabase>
#include <QRawFont>
#include <algorithm>

namespace testing {

inline QString characterNoFaceHas()
{
    // Emoji of recent Unicode versions, then a private-use character of the last plane.
    for (const char32_t c : {U'\U0001FAE8', U'\U0001FAE0', U'\U0001FAEF', U'\U0010FFFD'}) {
        const QStringList families = QFontDatabase::families();
        if (std::none_of(families.begin(), families.end(),
                         [c](const QString& f) { return QRawFont::fromFont(QFont(f)).supportsCharacter(c); }))
            return QString::fromUcs4(&c, 1);
    }
    qFatal("every candidate character has a glyph in some installed face");
}

} // namespace testing
