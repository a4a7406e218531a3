#include "storage/searchkey.h"

#include "entry/textrules.h"

#include <algorithm>

namespace storage {

namespace {

constexpr char16_t kFieldSeparator = u'\x1f';

bool isAsciiDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// What compatibility normalisation and case folding leave as it is, but for
// A-Z: ASCII, hiragana, katakana and the common ideographs, nearly all that
// shops type and store.
bool keptByFolding(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x80 || (u >= 0x3041 && u <= 0x3096) || (u >= 0x30A1 && u <= 0x30FC) || (u >= 0x4E00 && u <= 0x9FFF);
}

} // namespace

QString searchKey(const QString& text)
{
    // Normalising costs more than the rest of the key; most text needs none.
    const bool plain = std::all_of(text.cbegin(), text.cend(), keptByFolding);
    const QString folded = plain ? text : text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    // Never longer than the folded text: each character keeps its length.
    QString key(folded.size(), Qt::Uninitialized);
    QChar* out = key.data();
    qsizetype length = 0;
    char32_t previous = 0;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        char32_t c = folded.at(i).unicode();
        if (QChar::isSurrogate(c)) {
            const bool pair = QChar::isHighSurrogate(c) && i + 1 < folded.size() && folded.at(i + 1).isLowSurrogate();
            c = pair ? QChar::surrogateToUcs4(folded.at(i), folded.at(i + 1)) : char32_t(QChar::ReplacementCharacter);
            if (pair)
                ++i;
        }
        if (QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control || entry::isDash(c))
            continue;
        if (c == U'\u30fc' && isAsciiDigit(previous))
            continue;
        char32_t kept = c;
        if (c >= U'A' && c <= U'Z')
            kept = c + (U'a' - U'A');
        if (c >= U'\u30a1' && c <= U'\u30f6') // katakana ァ..ヶ to hiragana ぁ..ゖ
            kept = c - 0x60;
        if (QChar::requiresSurrogates(kept)) {
            out[length++] = QChar(QChar::highSurrogate(kept));
            out[length++] = QChar(QChar::lowSurrogate(kept));
        } else {
            out[length++] = QChar(char16_t(kept));
        }
        previous = kept;
    }
    key.truncate(length);
    return key;
}

QString joinedSearchKey(const QStringList& fields)
{
    QStringList keys;
    keys.reserve(fields.size());
    for (const QString& field : fields)
        keys.append(searchKey(field));
    return keys.join(QChar(kFieldSeparator));
}

QString paddedSearchKey(const QStringList& fields)
{
    QString padded;
    for (const QString& field : fields)
        padded += searchKey(field) + QChar(kFieldSeparator);
    return padded + QChar(kFieldSeparator);
}

qsizetype searchKeyLength(const QString& key)
{
    qsizetype characters = 0;
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key.at(i).isHighSurrogate() && i + 1 < key.size() && key.at(i + 1).isLowSurrogate())
            ++i;
        ++characters;
    }
    return characters;
}

} // namespace storage
