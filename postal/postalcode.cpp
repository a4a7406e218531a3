#include "postal/postalcode.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <optional>

namespace postal {

bool isCodeHyphen(QStringView character)
{
    return character.size() == 1 &&
           std::find(codeHyphens.begin(), codeHyphens.end(), character.front().unicode()) != codeHyphens.end();
}

std::optional<QString> normalizedCode(QStringView typed)
{
    QStringView code = typed.trimmed();
    if (code.startsWith(QChar(postalMark)))
        code = code.mid(1).trimmed();
    QString digits;
    digits.reserve(codeDigitCount);
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char16_t c = code[i].unicode();
        if (i == digitsBeforeHyphen && digits.size() == digitsBeforeHyphen && isCodeHyphen(code.mid(i, 1)))
            continue;
        if (c >= u'0' && c <= u'9')
            digits += QChar(c);
        else if (c >= u'\uFF10' && c <= u'\uFF19') // full-width digits
            digits += QChar(u'0' + (c - u'\uFF10'));
        else
            return std::nullopt;
    }
    if (digits.size() != codeDigitCount)
        return std::nullopt;
    return digits;
}

QString displayCode(const QString& sevenDigits)
{
    return sevenDigits.left(digitsBeforeHyphen) + QLatin1Char('-') + sevenDigits.mid(digitsBeforeHyphen);
}

QString codeForReading(const QString& text)
{
    const auto digits = normalizedCode(text);
    return digits ? displayCode(*digits) : text;
}

std::array<QString, codeDigitCount> printedBoxes(const QString& text)
{
    std::array<QString, codeDigitCount> boxes;
    // In ASCII only a CR and LF pair is one character of two; without it
    // every code unit is a character and the boundary finder, which costs
    // more than the rest of the page's number boxes, is not needed.
    const bool eachUnitACharacter =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80 && c != u'\r'; });
    std::optional<QTextBoundaryFinder> characters;
    if (!eachUnitACharacter)
        characters.emplace(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    int characterIndex = 0;
    size_t box = 0;
    while (box < boxes.size()) {
        const qsizetype end = characters ? characters->toNextBoundary() : (start < text.size() ? start + 1 : -1);
        if (end < 0)
            break;
        const QStringView character = QStringView(text).mid(start, end - start);
        start = end;
        const bool hyphenAfterThirdDigit = characterIndex == digitsBeforeHyphen && isCodeHyphen(character);
        ++characterIndex;
        if (!hyphenAfterThirdDigit)
            boxes[box++] = character.toString();
    }
    return boxes;
}

} // namespace postal
