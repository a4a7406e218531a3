#pragma once
// Conversions between the window's texts and numbers. Every value on the
// window lives as text and becomes a number only at the moment it is used.
#include <QLocale>
#include <QString>
#include <optional>

namespace platform {

// Text to double by the locale's rules: blanks around the number ignored,
// sign, decimal point and the locale's grouping allowed. Infinity and NaN
// spellings are not numbers a user types, so they are refused.
std::optional<double> textToDouble(const QString& text, const QLocale& locale = QLocale());

// The same, narrowed to single precision; a value beyond the single range
// is an overflow and gives no number.
std::optional<float> textToSingle(const QString& text, const QLocale& locale = QLocale());

// Shortest decimal form with at most 15 significant digits: no grouping,
// no exponent, no trailing zeros, a leading minus for negatives.
QString numberToText(double value);

} // namespace platform
