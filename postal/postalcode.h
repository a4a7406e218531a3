#pragma once
// A postal code as the user types it: the accepted spellings, and how its
// text fills the seven printed boxes of the waybill.
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace postal {

// The characters people put between the third and the fourth digit, by
// hand or in a spreadsheet: the ASCII and full-width hyphen-minus, the
// Unicode hyphens and dashes, the minus sign, and the long-vowel marks (full-
// and half-width) an input method gives for the "-" key in kana mode.
inline constexpr std::array<char16_t, 11> codeHyphens = {
    u'-', u'\uFF0D', u'\u2010', u'\u2011', u'\u2012', u'\u2013', u'\u2014', u'\u2015', u'\u2212', u'\u30FC', u'\uFF70'};
// The postal mark a code may start with on a label or in a list.
inline constexpr char16_t postalMark = u'\u3012';

inline constexpr int codeDigitCount = 7;
inline constexpr int digitsBeforeHyphen = 3;

bool isCodeHyphen(QStringView character);

// The seven ASCII digits of a typed code: seven digits, or three digits, a
// hyphen and four digits, in half- or full-width digits, with surrounding
// white space and a leading 〒 ignored. Nothing for anything else (empty,
// six or nine digits, letters, a hyphen elsewhere). Order lists, the window
// and the command line all take codes by this.
std::optional<QString> normalizedCode(QStringView typed);

// "1000001" as "100-0001".
QString displayCode(const QString& sevenDigits);

// A postal code as lists show it, one way whichever way it was typed or
// stored: a code of the accepted spellings as "100-0001", anything else as
// it stands.
QString codeForReading(const QString& text);

// The texts of the seven postal-code boxes of the waybill, box 1 first. One
// whole character per box (a character outside the basic plane, or a letter
// with its combining marks, is never cut). A hyphen as the fourth character
// takes no box, so "100-0001" prints as seven digits; any other text fills
// the boxes with its first seven characters and leaves the rest empty.
std::array<QString, codeDigitCount> printedBoxes(const QString& text);

} // namespace postal
