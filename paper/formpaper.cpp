#include "paper/formpaper.h"

#include "entry/textrules.h"
#include "paper/formfeed.h"

#include <QRegularExpression>
#include <cmath>

namespace paper {

namespace {

struct Unit {
    const char* spelling; // lower case, as matched
    double mm;
};
// Longest spellings first, so "mm" is not read as "m".
const Unit kUnits[] = {
    {"millimetres", 1.0}, {"millimeters", 1.0}, {"ミリメートル", 1.0},  {"ミリ", 1.0},        {"mm", 1.0},
    {"cm", 10.0},         {"センチ", 10.0},     {"inches", kMmPerInch}, {"inch", kMmPerInch}, {"インチ", kMmPerInch},
    {"in", kMmPerInch},   {"\"", kMmPerInch},   {"″", kMmPerInch},
};

// "4", "4.5", "4 1/2", "4-1/2", "1/2".
std::optional<double> parseNumber(const QString& text)
{
    static const QRegularExpression whole(QStringLiteral(R"(^(\d+(?:\.\d+)?)$)"));
    static const QRegularExpression mixed(QStringLiteral(R"(^(?:(\d+)[ -])?(\d+)/(\d+)$)"));
    if (const auto m = whole.match(text); m.hasMatch())
        return m.captured(1).toDouble();
    if (const auto m = mixed.match(text); m.hasMatch()) {
        const double denominator = m.captured(3).toDouble();
        if (denominator == 0)
            return std::nullopt;
        return m.captured(1).toDouble() + m.captured(2).toDouble() / denominator;
    }
    return std::nullopt;
}

QString inchesOf(double mm)
{
    // Eighths of an inch at most, as forms are made; otherwise decimals.
    const double eighths = mm / kMmPerInch * 8.0;
    if (std::fabs(eighths - std::round(eighths)) > 0.01)
        return QString::number(mm / kMmPerInch, 'f', 2);
    int n = int(std::lround(eighths)), d = 8;
    const int inches = n / d;
    n %= d;
    while (n && n % 2 == 0 && d > 1)
        n /= 2, d /= 2;
    if (!n)
        return QString::number(inches);
    return inches ? QStringLiteral("%1 %2/%3").arg(inches).arg(n).arg(d) : QStringLiteral("%1/%2").arg(n).arg(d);
}

} // namespace

std::optional<double> parseLengthMm(const QString& text)
{
    QString t = entry::asciiNumerals(text).trimmed().toLower();
    double unitMm = 1.0; // plain numbers are millimetres
    for (const Unit& unit : kUnits) {
        const QString spelling = QString::fromUtf8(unit.spelling);
        if (t.endsWith(spelling)) {
            t.chop(spelling.size());
            unitMm = unit.mm;
            break;
        }
    }
    const auto number = parseNumber(t.trimmed());
    if (!number || *number <= 0)
        return std::nullopt;
    return *number * unitMm;
}

Result<FormPaper> formPaperFrom(const QString& widthText, const QString& lengthText)
{
    const auto width = parseLengthMm(widthText);
    if (!width)
        return fail(QStringLiteral("幅「%1」を長さとして読めません。114.3 mm や 4 1/2 in のように書いてください。")
                        .arg(widthText));
    const auto length = parseLengthMm(lengthText);
    if (!length)
        return fail(QStringLiteral("長さ「%1」を長さとして読めません。254 mm や 10 in のように書いてください。")
                        .arg(lengthText));
    return formPaperOf(*width, *length);
}

Result<FormPaper> formPaperOf(double widthMm, double lengthMm)
{
    for (auto [value, what] : {std::pair{widthMm, "幅"}, std::pair{lengthMm, "長さ"}}) {
        // Written so that a value that is not a number fails too.
        if (!(value >= kMinFormMm && value <= kMaxFormMm))
            return fail(
                QStringLiteral("%1 %2 mm は用紙の大きさとして扱えません（%3～%4 mm）。")
                    .arg(QString::fromUtf8(what))
                    .arg(std::isfinite(value) ? QString::number(value, 'f', value < 1 ? 4 : 1) : QString::number(value))
                    .arg(kMinFormMm)
                    .arg(kMaxFormMm));
    }
    return FormPaper{widthMm, lengthMm};
}

QString describe(const FormPaper& p)
{
    return QStringLiteral("%1 × %2 mm（%3 × %4 in）")
        .arg(QString::number(p.widthMm, 'f', 1), QString::number(p.lengthMm, 'f', 1), inchesOf(p.widthMm),
             inchesOf(p.lengthMm));
}

} // namespace paper
