#pragma once
// Telephone numbers from order lists as the numbering plan writes them,
// read with libphonenumber (a module opened on first use). Numbers typed in
// the window never pass here: they stay as typed.
#include <QString>

namespace orders {

enum class TelephoneVerdict {
    Unknown,  // the library could not be loaded: nothing is said either way
    Japanese, // a number Japan's numbering plan has
    Foreign,  // another country's number
    Invalid,  // no numbering plan has it (too short, an unused area code, letters)
};

struct TelephoneReading {
    TelephoneVerdict verdict = TelephoneVerdict::Unknown;
    QString national; // a Japanese number's national form: 03-3211-4567
};

// The library's reading of a number written as in Japan (a leading 0) or
// internationally (+81, 81-…).
TelephoneReading readTelephone(const QString& text);

// A list's telephone number as the numbering plan writes it: 03-3211-4567,
// 0466-22-7788, 090-1234-5678, also from 0332114567, full-width digits or
// +81 3 3211 4567 and 81-3-… (domesticTelephone). A number that lost its
// leading 0, another country's, one no plan has: as given (cleaned), for
// the check to judge; without the library, domesticTelephone's form.
QString telephoneAsWritten(const QString& text);

} // namespace orders
