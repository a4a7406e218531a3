#pragma once
// The total button: amounts of both goods lines and the total, from the
// quantities and unit prices.
#include "common/result.h"

#include <QString>
#include <array>

namespace entry {

struct AmountInputs {
    QString quantity1, price1, quantity2, price2;
};
struct AmountLimits {
    int amount = 8, total = 9; // box lengths
};
struct Amounts {
    QString amount1, amount2, total;
};
// Which input to hand back to the user: 0 quantity 1, 1 price 1,
// 2 quantity 2, 3 price 2; and why, in Japanese, naming the box.
struct AmountRefused {
    int input;
    QString reason;
};

// An empty input counts as 0. A text that is not a number, or a result that
// its box could not hold whole, refuses the whole calculation.
Result<Amounts, AmountRefused> calculateAmounts(const AmountInputs& in, const AmountLimits& limits = {});

} // namespace entry
