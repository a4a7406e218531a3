#pragma once
// The continuous form's own paper: width and length, set once, printed as
// an exact page size so the printer feeds exactly one form per waybill.
#include "common/result.h"

#include <QString>
#include <optional>

namespace paper {

struct FormPaper {
    double widthMm = 0;
    double lengthMm = 0;
    bool operator==(const FormPaper&) const = default;
};

// The sizes a form may have: anything an impact printer or a sheet printer
// could feed.
constexpr double kMinFormMm = 50.0;
constexpr double kMaxFormMm = 600.0;

// A length as people write a form's size: millimetres ("114.3", "114.3 mm",
// "11.43cm") or inches with fractions ("4.5 in", "4 1/2 in", "4-1/2\"",
// "10インチ"); full-width digits too. Nothing when it is not a length.
std::optional<double> parseLengthMm(const QString& text);

// Both sides in millimetres, typed or kept, or the reason they cannot be a
// form, in Japanese (not a number, or outside kMinFormMm to kMaxFormMm).
Result<FormPaper> formPaperOf(double widthMm, double lengthMm);

// Both sides, or the reason they cannot be a form, in Japanese.
Result<FormPaper> formPaperFrom(const QString& widthText, const QString& lengthText);

// "114.3 × 254 mm (4 1/2 × 10 in)".
QString describe(const FormPaper& paper);

} // namespace paper
