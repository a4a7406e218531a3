#include "platform/numtext.h"

#include <cfloat>
#include <cmath>

namespace platform {

std::optional<double> textToDouble(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = locale.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<float> textToSingle(const QString& text, const QLocale& locale)
{
    const auto d = textToDouble(text, locale);
    if (!d)
        return std::nullopt;
    if (std::fabs(*d) > double(FLT_MAX))
        return std::nullopt; // overflow
    return static_cast<float>(*d);
}

QString numberToText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    // Whole numbers below 10^15 are exact in fifteen digits and read back as
    // they are, so they are written at once: every page's font shift and
    // most amounts are such.
    constexpr double kExactWholeBelow = 1e15;
    if (std::fabs(value) < kExactWholeBelow && value == std::trunc(value))
        return QString::number(static_cast<long long>(value));
    // Round to 15 significant digits first, then print the shortest form
    // that reads back as that rounded value.
    const double rounded = QString::number(value, 'g', 15).toDouble();
    if (rounded == 0.0)
        return QStringLiteral("0");
    return QString::number(rounded, 'f', QLocale::FloatingPointShortest);
}

} // namespace platform
