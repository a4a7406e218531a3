#pragma once
// From one row of an order list to a waybill, and the checks a row must pass
// before it is printed.
#include "orders/columns.h"
#include "waybill/waybill.h"

#include <functional>

namespace orders {

// Whose number a gift's waybill carries where the list has none for its
// recipient: the shop chooses once for the list.
enum class GiftTelephone {
    Buyer,  // 注文者の電話番号
    Sender, // ご依頼主の電話番号
    Blank,  // 空欄
};
// The choice as the user reads it, and as `--gift-telephone` names it.
QString giftTelephoneText(GiftTelephone choice);
QString giftTelephoneToken(GiftTelephone choice);
std::optional<GiftTelephone> giftTelephoneOfToken(const QString& token);

// The short names the shop wants on its forms for a product code or a
// list's product name (the goods table); nothing when it has none. A
// list's goods go through it before anything else is done to their names.
using GoodsNames = std::function<std::optional<QString>(const QString& productCode, const QString& listName)>;

// What every waybill of one list shares.
struct ListConstants {
    waybill::Address sender;
    // When set, every waybill's goods: this one item description, in place
    // of the rows' own goods (no product numbers, quantities or amounts).
    QString itemDescription;
    waybill::DeliveryTime deliveryTime = waybill::DeliveryTime::Unspecified;
    waybill::ArrivalNotice arrivalNotice = waybill::ArrivalNotice::Wanted;
    // 「ご依頼主: 注文者」: each order's buyer is its sender (gift orders), in
    // place of `sender`; only a shop's list names the buyer.
    bool senderFromBuyer = false;
    GiftTelephone giftTelephone = GiftTelephone::Buyer;
};

// The cell of `field` with surrounding blanks (also ideographic spaces)
// removed; empty when no column has the field or the row is short.
QString cellOf(const ColumnMap& map, const QStringList& fields, Field field);

// The recipient comes from the row, everything else from the constants;
// numeric input mode is off. Texts are as in the file but for surrounding
// blanks, with split parts joined: the postal-code halves with a hyphen, the
// prefecture, city and street without a gap (line 1), the second and third
// address parts with a space (line 2). A postal code of the right shape is
// stored as its seven half-width digits, the form's seven boxes being the
// only hyphen the code needs.
waybill::Waybill buildWaybill(const ColumnMap& map, const QStringList& fields, const ListConstants& constants);

// The goods of `waybill` replaced by the list's common item description,
// when one is set; unchanged otherwise.
void applyCommonGoods(waybill::Waybill& waybill, const ListConstants& constants);

// The seven digits of a postal code written 1234567 or 123-4567, in half- or
// full-width, with or without a leading 〒; nothing for any other shape.
std::optional<QString> postalDigits(const QString& text);

// One reason not to print a row.
struct Finding {
    Field field = Field::None; // the part concerned; None for the whole row
    int column = -1;           // the first column that feeds it, from 0; -1 when none does
    QString reason;            // Japanese, naming the column and what to do
    QString suggestion;        // a corrected text for `field` where one is clear
    // Told, but no reason not to print: the row prints as it stands (a
    // telephone number no numbering plan has prints as given).
    bool note = false;
};

// Whether any of the findings is a reason not to print.
bool refuses(const QList<Finding>& findings);

// Whether the texts fit their places on the form in the printer's font; the
// reason in Japanese when one does not. Supplied by the print layout.
using FitCheck = std::function<std::optional<QString>(const waybill::Waybill&)>;

// The prefectures a postal code stands for, in kanji (a code may stand for
// towns in two); none when the code or the data is not known. Supplied by
// the postal-code directory.
using PostalPrefectures = std::function<QStringList(const QString& sevenDigits)>;

// Checks the recipient of a waybill built from a row (or edited since): the
// postal code's shape, including seven digits that lost their leading zeros
// in a spreadsheet; a name and a first address line; the telephone number.
// An empty telephone number passes: marketplaces leave it out for some
// orders, and the form prints nothing in its place. A number that lost its
// leading 0 is refused with the likely correction; one Japan's numbering
// plan does not have (telephones.h) is a note: it prints as given. Without
// the numbering plan's library, a number needs 10 or 11 digits starting
// with 0 (or +81 for that 0). An address that starts in Latin letters
// before its Japanese text would print its prefecture so, and one whose
// prefecture is not one of those its postal code stands for (when
// `prefectures` is given) would send the parcel astray: both are refused.
// Then `fits`, when given.
QList<Finding> checkWaybill(const waybill::Waybill& waybill, const QStringList& headings, const ColumnMap& map,
                            const FitCheck& fits, const PostalPrefectures& prefectures = {});

} // namespace orders
