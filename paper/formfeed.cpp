#include "paper/formfeed.h"

#include <cmath>
#include <numeric>

namespace paper {

QString FeedLength::inchesText() const
{
    const int whole = sixthsOfInch / kFeedLinesPerInch;
    const int rest = sixthsOfInch % kFeedLinesPerInch;
    if (rest == 0)
        return QStringLiteral("%1 in").arg(whole);
    const int common = std::gcd(rest, kFeedLinesPerInch);
    const QString fraction = QStringLiteral("%1/%2").arg(rest / common).arg(kFeedLinesPerInch / common);
    return whole == 0 ? QStringLiteral("%1 in").arg(fraction) : QStringLiteral("%1 %2 in").arg(whole).arg(fraction);
}

FormFeed formFeedFor(double lengthMm)
{
    // The division leaves a length of exactly half a line (4.25 in) a hair
    // below the half; the driver, counting whole points, rounds it up.
    constexpr double kRoundingSlack = 1e-9;
    const double lines = lengthMm / kMmPerFeedLine;
    FormFeed f;
    f.fed.sixthsOfInch = int(std::floor(lines + 0.5 + kRoundingSlack));
    f.exact = std::abs(f.fed.mm() - lengthMm) < kExactFeedToleranceMm;
    f.driftPerFormMm = f.exact ? 0.0 : f.fed.mm() - lengthMm;
    if (f.exact) {
        f.shorter.sixthsOfInch = f.fed.sixthsOfInch - 1;
        f.longer.sixthsOfInch = f.fed.sixthsOfInch + 1;
    } else {
        f.shorter.sixthsOfInch = int(std::floor(lines));
        f.longer.sixthsOfInch = f.shorter.sixthsOfInch + 1;
    }
    return f;
}

} // namespace paper
