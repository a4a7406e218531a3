// The module behind orders/telephones.h: reads a telephone number with
// libphonenumber, the numbering plans' maintained data. A module the
// program opens on first use, so the window's start does not load the
// library and the ones under it.
#include <phonenumbers/phonenumberutil.h>

#include <QString>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

// `verdict`: 0 not a number, 1 a number no plan has, 2 a Japanese number
// (`national` its national form), 3 another country's number.
extern "C" Q_DECL_EXPORT void horutea_read_telephone(const QString& text, int* verdict, QString* national)
{
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    *verdict = 0;
    if (util.Parse(text.toStdString(), "JP", &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return;
    if (!util.IsValidNumber(number)) {
        *verdict = 1;
        return;
    }
    if (number.country_code() != 81) {
        *verdict = 3;
        return;
    }
    std::string formatted;
    util.Format(number, PhoneNumberUtil::NATIONAL, &formatted);
    *national = QString::fromStdString(formatted);
    *verdict = 2;
}
