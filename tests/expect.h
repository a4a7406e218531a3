#pragma once
// The waybill as designed, in millimetres from the print origin, for the
// print tests to compute their expectations from. The origin sits at
// (X − 160) × 5.67 and (Y + 15) × 5.67 twips for offsets X, Y in 0.1 mm; a
// text's cell is raised by 1.5 times the font size read back, in 0.1 mm.
#include "waybill/waybill.h"

#include <QString>

namespace expect {

enum class Field {
    Postal,
    Line1,
    Line2,
    Name,
    CareOf,
    Telephone,
    Description,
    ProductNumber,
    Quantity,
    UnitPrice,
    Amount,
    Total
};

struct Text {
    bool sender; // address blocks: which one
    Field field;
    int index; // postal box 1..7, or goods line 0/1
    int points;
    double xMm, yMm;
};

inline const Text kRecipient[] = {
    {false, Field::Postal, 1, 12, 84.0, 15.6},  {false, Field::Postal, 2, 12, 93.0, 15.6},
    {false, Field::Postal, 3, 12, 102.0, 15.6}, {false, Field::Postal, 4, 12, 112.1, 15.6},
    {false, Field::Postal, 5, 12, 121.1, 15.6}, {false, Field::Postal, 6, 12, 130.1, 15.6},
    {false, Field::Postal, 7, 12, 139.1, 15.6}, {false, Field::Line1, 0, 10, 84.0, 26.9},
    {false, Field::Line2, 0, 10, 74.0, 36.7},   {false, Field::Name, 0, 12, 75.0, 49.0},
    {false, Field::CareOf, 0, 9, 90.0, 43.5},   {false, Field::Telephone, 0, 11, 90.5, 55.8},
};
inline const Text kSender[] = {
    {true, Field::Postal, 1, 10, 86.8, 64.5},  {true, Field::Postal, 2, 10, 92.0, 64.5},
    {true, Field::Postal, 3, 10, 97.2, 64.5},  {true, Field::Postal, 4, 10, 102.9, 64.5},
    {true, Field::Postal, 5, 10, 108.1, 64.5}, {true, Field::Postal, 6, 10, 113.3, 64.5},
    {true, Field::Postal, 7, 10, 118.4, 64.5}, {true, Field::Line1, 0, 10, 84.0, 71.0},
    {true, Field::Line2, 0, 10, 74.0, 79.1},   {true, Field::Name, 0, 11, 75.0, 92.0},
    {true, Field::CareOf, 0, 8, 90.0, 86.1},   {true, Field::Telephone, 0, 11, 90.5, 98.3},
};
inline const Text kGoods[] = {
    {false, Field::Description, 0, 10, 150.0, 70.8},   {false, Field::Description, 1, 10, 150.0, 79.3},
    {false, Field::ProductNumber, 0, 10, 150.0, 87.7}, {false, Field::ProductNumber, 1, 10, 150.0, 96.0},
    {false, Field::Quantity, 0, 10, 180.6, 70.8},      {false, Field::Quantity, 1, 10, 180.6, 79.3},
    {false, Field::UnitPrice, 0, 10, 188.2, 70.8},     {false, Field::UnitPrice, 1, 10, 188.2, 79.3},
    {false, Field::Amount, 0, 10, 199.5, 70.8},        {false, Field::Amount, 1, 10, 199.5, 79.3},
    {false, Field::Total, 0, 10, 199.5, 92.0},
};

// The printed text of a row: a postal box holds one character, hyphens
// aside; anything else its field's whole text.
inline QString textOf(const waybill::Waybill& w, const Text& t)
{
    const waybill::Address& a = t.sender ? w.sender : w.recipient;
    const waybill::GoodsLine& g =
        w.goods[size_t(t.field >= Field::Description && t.field != Field::Total ? t.index : 0)];
    switch (t.field) {
    case Field::Postal: {
        QString digits = a.postalCode;
        if (digits.size() == 8 && QStringLiteral("-－‐−ー").contains(digits[3]))
            digits.remove(3, 1);
        return digits.mid(t.index - 1, 1);
    }
    case Field::Line1:
        return a.line1;
    case Field::Line2:
        return a.line2;
    case Field::Name:
        return a.name;
    case Field::CareOf:
        return a.careOf;
    case Field::Telephone:
        return a.telephone;
    case Field::Description:
        return g.description;
    case Field::ProductNumber:
        return g.productNumber;
    case Field::Quantity:
        return g.quantity;
    case Field::UnitPrice:
        return g.unitPrice;
    case Field::Amount:
        return g.amount;
    case Field::Total:
        return w.total;
    }
    return {};
}

// Whether the row is printed at all for this waybill.
inline bool printed(const waybill::Waybill& w, const Text& t)
{
    if (t.field == Field::CareOf)
        return (t.sender ? w.sender : w.recipient).careOfShown;
    if (t.field >= Field::Quantity)
        return w.numericMode;
    return true;
}

struct Mark {
    double xMm, yMm;
};
inline Mark deliveryTimeMark(waybill::DeliveryTime t)
{
    switch (t) {
    case waybill::DeliveryTime::Morning:
        return {40.5, 32.8};
    case waybill::DeliveryTime::Afternoon:
        return {53.3, 32.8};
    case waybill::DeliveryTime::Evening:
        return {40.5, 41.6};
    case waybill::DeliveryTime::Night:
        return {53.3, 41.6};
    case waybill::DeliveryTime::Unspecified:
        break;
    }
    return {63.1, 37.2};
}
// 必要 and 不要 share one place.
inline Mark noticeMark(waybill::ArrivalNotice) { return {158.2, 36.8}; }

constexpr double kTwipsPerMm = 56.7;

inline double originX(double offsetX) { return (offsetX - 160.0) * 5.67; }
inline double originY(double offsetY) { return (offsetY + 15.0) * 5.67; }
inline double textX(double offsetX, double mm) { return originX(offsetX) + mm * kTwipsPerMm; }
inline double textY(double offsetY, double mm, double sizeRead = 14.0)
{
    return originY(offsetY) + mm * kTwipsPerMm - 1.5 * sizeRead * 5.67;
}

// A waybill with Japanese and ASCII texts in every field (no spaces, so each
// prints as one word), both care-of lines shown, numeric mode with computed
// amounts, 午後 and 不要.
inline waybill::Waybill filledWaybill()
{
    waybill::Waybill w;
    w.recipient = {QStringLiteral("1000001"),      QStringLiteral("東京都千代田区千代田1-1"),
                   QStringLiteral("テストビル3F"), QStringLiteral("山田太郎様"),
                   QStringLiteral("鈴木様方"),     true,
                   QStringLiteral("03-1234-5678")};
    w.sender = {QStringLiteral("5300001"),     QStringLiteral("大阪府大阪市北区梅田"),
                QStringLiteral("梅田ビル12F"), QStringLiteral("株式会社サンプル"),
                QStringLiteral("総務部気付"),  true,
                QStringLiteral("06-9876-5432")};
    w.deliveryTime = waybill::DeliveryTime::Afternoon;
    w.arrivalNotice = waybill::ArrivalNotice::NotWanted;
    w.goods[0] = {QStringLiteral("精密機械"), QStringLiteral("AB-1234"), QStringLiteral("3"), QStringLiteral("150"),
                  QStringLiteral("450")};
    w.goods[1] = {QStringLiteral("割れ物"), QStringLiteral("ZX-9"), QStringLiteral("12"), QStringLiteral("2500"),
                  QStringLiteral("30000")};
    w.total = QStringLiteral("30450");
    w.numericMode = true;
    return w;
}

// A second, sparser waybill; its postal codes carry hyphens (seven digits
// in seven boxes) and its time band differs from the first.
inline waybill::Waybill secondWaybill()
{
    waybill::Waybill w;
    w.recipient = {
        QStringLiteral("060－0001"),   QStringLiteral("北海道札幌市中央区"), {}, QStringLiteral("佐藤花子"), {}, false,
        QStringLiteral("011-222-3333")};
    w.sender.postalCode = QStringLiteral("530-0001");
    w.deliveryTime = waybill::DeliveryTime::Morning;
    return w;
}

} // namespace expect
