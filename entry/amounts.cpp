#include "entry/amounts.h"

#include "platform/numtext.h"

#include <cmath>
#include <optional>

namespace entry {

static std::optional<double> operand(const QString& text)
{
    if (text.trimmed().isEmpty())
        return 0.0;
    return platform::textToDouble(text);
}

static bool fits(double value, int limit, QString& out)
{
    if (!std::isfinite(value))
        return false;
    out = platform::numberToText(value);
    return out.size() <= limit;
}

std::variant<Amounts, AmountRefused> calculateAmounts(const AmountInputs& in, const AmountLimits& limits)
{
    const QString* texts[] = {&in.quantity1, &in.price1, &in.quantity2, &in.price2};
    double v[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = operand(*texts[i]);
        if (!value)
            return AmountRefused{i};
        v[i] = *value;
    }
    Amounts out;
    // The total comes again from the four inputs, never from the amount boxes.
    if (!fits(v[0] * v[1], limits.amount, out.amount1))
        return AmountRefused{0};
    if (!fits(v[2] * v[3], limits.amount, out.amount2))
        return AmountRefused{2};
    if (!fits(v[0] * v[1] + v[2] * v[3], limits.total, out.total))
        return AmountRefused{0};
    return out;
}

} // namespace entry
