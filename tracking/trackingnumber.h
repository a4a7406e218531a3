#pragma once
// The tracking number (お問い合わせ伝票番号) pre-printed on one form: read as
// the user typed it or as a USB barcode scanner types it, checked by the
// carrier's rule, and stepped on to the number of the following form.
#include "tracking/carriers.h"

#include <QString>

namespace tracking {

class TrackingNumber {
public:
    // Reads a number as typed: half- or full-width digits, with hyphens
    // (any dash, or ー as a Japanese input method gives it) and blanks
    // anywhere. A scanner reading the forms' NW-7 (Codabar) barcode may
    // send the symbol's start and stop letters A–D (either case, half- or
    // full-width) and an Enter or Tab: those are dropped at either end,
    // the letters only for a carrier whose numbers are digits only
    // (CarrierRow::digitsOnly); for another a letter is refused, never
    // guessed away.
    //
    // For a carrier with a confirmed rule the count of digits and the check
    // digit must be right; otherwise the message names what is wrong, e.g.
    // 「…チェック数字が合いません（最後の1桁は 3 のはずです）。…」.
    // For the others the digits are taken as they are (at most
    // kMaxUncheckedDigits) and checkDigitVerified() is false.
    static Result<TrackingNumber> read(Carrier carrier, const QString& typed);

    Carrier carrier() const { return m_carrier; }
    // Half-width digits only: what upload files and the settings file take.
    QString digits() const { return m_digits; }
    // As printed on the form: 4-4-4 for 12 digits, otherwise the digits.
    QString display() const;

    // False for a carrier whose rule is not confirmed: the number was
    // taken as typed. uncheckedNote() then says so in a sentence for the
    // user; it is empty for a verified number.
    bool checkDigitVerified() const { return m_verified; }
    QString uncheckedNote() const;

    // The number on the following form. With a check digit: the serial plus
    // one and its check digit recomputed (4444-1375-8703 → 4444-1375-8714).
    // Without: the number plus one, keeping its width and leading zeros.
    // Fails when the number has no successor of the same width.
    Result<TrackingNumber> next() const;

    friend bool operator==(const TrackingNumber& a, const TrackingNumber& b)
    {
        return a.m_carrier == b.m_carrier && a.m_digits == b.m_digits;
    }

    // A guard against pasted text, not a carrier's rule: no form carries a
    // number this long.
    static constexpr int kMaxUncheckedDigits = 30;

private:
    TrackingNumber(Carrier carrier, QString digits, bool verified)
        : m_carrier(carrier), m_digits(std::move(digits)), m_verified(verified)
    {}

    Carrier m_carrier;
    QString m_digits;
    bool m_verified;
};

// The check digit of an 11-digit serial under CheckRule::SerialMod7.
int serialMod7CheckDigit(qint64 serial);

} // namespace tracking
