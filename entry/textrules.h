#pragma once
// What a field's text may be: the rules every way into a field (typing,
// pasting, an input method, an order list, the address book) goes by.
#include "waybill/waybill.h"

#include <QString>

namespace entry {

// A line break or a tab becomes one space: a field holds one line, and the
// page must carry what the field shows.
QString flattenLineBreaks(const QString& text);

// Full-width digits, minus, period and comma as their ASCII forms, for the
// fields that take numbers (postal codes, telephones, amounts, offsets), so
// what is shown, computed and printed is the same ASCII text.
QString asciiNumerals(const QString& text);

// A hyphen, dash or minus sign as people type one between digits
// (half- or full-width); the katakana long-vowel mark is not one.
bool isDash(char32_t c);
// A dash, or a long-vowel mark (full- or half-width), which a kana keyboard
// gives for the hyphen key: in a postal code, a telephone number or a house
// number it stands for a hyphen.
bool isHyphenKey(char32_t c);

// The value of a half- or full-width digit 0-9 as its ASCII character;
// 0 for any other character.
char16_t asciiDigit(char16_t c);
inline bool isDigit(QChar c) { return asciiDigit(c.unicode()) != 0; }

// A number's text as postal codes and telephone numbers are read: digits,
// plus signs and brackets half-width, every hyphen key (isHyphenKey) a
// hyphen, every blank a space; other characters unchanged.
QString foldedNumberText(const QString& text);

// Characters as a reader counts them: a character outside the basic plane
// (𠮷) or a letter with its combining marks is one.
int characterCount(const QString& text);
QString leftCharacters(const QString& text, int count);

// A waybill whose texts keep the rules they would have had if typed into
// the window's fields (an order list's cell may hold a line break).
waybill::Waybill asEntered(waybill::Waybill waybill);

// Whether a postal code field may hold this text: at most `limit`
// characters, or one more when that one is a hyphen after the third.
bool fitsPostalCodeField(const QString& text, int limit);

} // namespace entry
