#include "entry/textrules.h"

#include "postal/postalcode.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace entry {

namespace {

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The half-width form of a full-width numeral or number sign; 0 for others.
char16_t asciiNumeral(char16_t u)
{
    if (u >= u'０' && u <= u'９')
        return asciiDigit(u);
    if (u == u'－' || u == u'−') // full-width hyphen-minus, minus sign
        return u'-';
    if (u == u'．')
        return u'.';
    if (u == u'，')
        return u',';
    return 0;
}

} // namespace

// Both return a text that needs no change as it is, without copying it:
// every field of every row of a list passes here.
QString flattenLineBreaks(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : out)
        if (isBreak(c))
            c = u' ';
    return out;
}

QString asciiNumerals(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return asciiNumeral(c.unicode()) != 0; }))
        return text;
    QString out = text;
    for (QChar& c : out)
        if (const char16_t ascii = asciiNumeral(c.unicode()))
            c = ascii;
    return out;
}

bool isDash(char32_t c)
{
    switch (c) {
    case U'-':
    case U'\u2010': // hyphen
    case U'\u2011': // non-breaking hyphen
    case U'\u2012': // figure dash
    case U'\u2013': // en dash
    case U'\u2014': // em dash
    case U'\u2015': // horizontal bar
    case U'\u2212': // minus sign
    case U'\uFF0D': // full-width hyphen-minus
        return true;
    default:
        return false;
    }
}

bool isHyphenKey(char32_t c) { return isDash(c) || c == U'\u30FC' || c == U'\uFF70'; }

char16_t asciiDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c;
    if (c >= u'０' && c <= u'９')
        return char16_t(c - u'０' + u'0');
    return 0;
}

QString foldedNumberText(const QString& text)
{
    QString folded;
    folded.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (const char16_t digit = asciiDigit(u))
            folded += QChar(digit);
        else if (u == u'＋')
            folded += QLatin1Char('+');
        else if (u == u'（')
            folded += QLatin1Char('(');
        else if (u == u'）')
            folded += QLatin1Char(')');
        else if (isHyphenKey(u))
            folded += QLatin1Char('-');
        else if (c.isSpace())
            folded += QLatin1Char(' ');
        else
            folded += c;
    }
    return folded;
}

int characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QString leftCharacters(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int end = 0;
    for (int n = 0; n < count; ++n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        end = int(next);
    }
    return text.left(end);
}

waybill::Waybill asEntered(waybill::Waybill w)
{
    for (waybill::Address* a : {&w.recipient, &w.sender}) {
        for (QString* text : {&a->line1, &a->line2, &a->name, &a->careOf})
            *text = flattenLineBreaks(*text);
        for (QString* number : {&a->postalCode, &a->telephone})
            *number = asciiNumerals(flattenLineBreaks(*number));
    }
    for (waybill::GoodsLine& line : w.goods) {
        line.description = flattenLineBreaks(line.description);
        line.productNumber = flattenLineBreaks(line.productNumber);
        for (QString* number : {&line.quantity, &line.unitPrice, &line.amount})
            *number = asciiNumerals(flattenLineBreaks(*number));
    }
    w.total = asciiNumerals(flattenLineBreaks(w.total));
    return w;
}

bool fitsPostalCodeField(const QString& text, int limit)
{
    const int count = characterCount(text);
    if (count <= limit)
        return true;
    return count == limit + 1 && text.size() > 3 && postal::isCodeHyphen(QStringView(leftCharacters(text, 4)).right(1));
}

} // namespace entry
