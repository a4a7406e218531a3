#include "entry/amounts.h"

#include "platform/messagebox.h"
#include "platform/numtext.h"

#include <QLineEdit>
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

void applyAmounts(const FindControl& find)
{
    static constexpr const char* inputs[] = {"SuuryouBox1", "TankaBox1", "SuuryouBox2", "TankaBox2"};
    auto* amount1 = qobject_cast<QLineEdit*>(find("KingakuBox1"));
    auto* amount2 = qobject_cast<QLineEdit*>(find("KingakuBox2"));
    auto* total = qobject_cast<QLineEdit*>(find("GoukeiBox"));
    const AmountInputs in{fieldText(find(inputs[0])), fieldText(find(inputs[1])), fieldText(find(inputs[2])),
                          fieldText(find(inputs[3]))};
    const auto result = calculateAmounts(in, {amount1->maxLength(), total->maxLength()});
    if (const auto* refused = std::get_if<AmountRefused>(&result)) {
        auto* box = qobject_cast<QLineEdit*>(find(inputs[refused->input]));
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        platform::beep();
        return;
    }
    const Amounts& a = std::get<Amounts>(result);
    amount1->setText(a.amount1);
    amount2->setText(a.amount2);
    total->setText(a.total);
}

} // namespace entry
