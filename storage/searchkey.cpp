#include "storage/searchkey.h"

#include "entry/textrules.h"

namespace storage {

namespace {

constexpr char16_t kFieldSeparator = u'\x1f';

bool isAsciiDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

} // namespace

QString searchKey(const QString& text)
{
    const QString folded = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString key;
    key.reserve(folded.size());
    char32_t previous = 0;
    for (const char32_t c : folded.toUcs4()) {
        if (QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control || entry::isDash(c))
            continue;
        if (c == U'\u30fc' && isAsciiDigit(previous))
            continue;
        char32_t kept = c;
        if (c >= U'\u30a1' && c <= U'\u30f6') // katakana ァ..ヶ to hiragana ぁ..ゖ
            kept = c - 0x60;
        if (QChar::requiresSurrogates(kept)) {
            key += QChar(QChar::highSurrogate(kept));
            key += QChar(QChar::lowSurrogate(kept));
        } else {
            key += QChar(char16_t(kept));
        }
        previous = kept;
    }
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
