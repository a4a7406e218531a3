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

// What the user calls each input, in the order of AmountRefused::input.
static const char16_t* const kInputCaptions[] = {u"数量1", u"単価1", u"数量2", u"単価2"};

static QString caption(int input) { return QString::fromUtf16(kInputCaptions[input]); }

static AmountRefused tooLong(int input, const QString& product, const QString& result, const QString& box, int limit)
{
    return {input, QStringLiteral("%1の答え「%2」が%3文字を超えるため、%4の欄に入りません。%5を確かめてください。")
                       .arg(product, result, QString::number(limit), box, caption(input))};
}

Result<Amounts, AmountRefused> calculateAmounts(const AmountInputs& in, const AmountLimits& limits)
{
    const QString* texts[] = {&in.quantity1, &in.price1, &in.quantity2, &in.price2};
    double v[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = operand(*texts[i]);
        if (!value)
            return fail(AmountRefused{
                i,
                QStringLiteral("%1の「%2」は数として読めません。数字で入力してください。").arg(caption(i), *texts[i])});
        v[i] = *value;
    }
    Amounts out;
    // The total comes again from the four inputs, never from the amount boxes.
    if (!fits(v[0] * v[1], limits.amount, out.amount1))
        return fail(tooLong(0, QStringLiteral("数量1 × 単価1"), out.amount1, QStringLiteral("金額1"), limits.amount));
    if (!fits(v[2] * v[3], limits.amount, out.amount2))
        return fail(tooLong(2, QStringLiteral("数量2 × 単価2"), out.amount2, QStringLiteral("金額2"), limits.amount));
    if (!fits(v[0] * v[1] + v[2] * v[3], limits.total, out.total))
        return fail(tooLong(0, QStringLiteral("金額1 ＋ 金額2"), out.total, QStringLiteral("合計"), limits.total));
    return out;
}

} // namespace entry
