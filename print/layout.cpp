#include "print/layout.h"

#include <cmath>

namespace print {

float layoutTwips(double mm) { return static_cast<float>(std::lround(mm * 10.0)) * kTwipsPerTenthMm; }

namespace {

using A = AddressPart;
using G = GoodsPart;
using waybill::ArrivalNotice;
using waybill::DeliveryTime;

// The address blocks end where the goods column and the notice choice begin.
constexpr double kAddressRightMm = 150.0;

const AddressItem kRecipient[] = {
    {A::PostalBox, 1, 12, 84.0, 15.6, 9.0},
    {A::PostalBox, 2, 12, 93.0, 15.6, 9.0},
    {A::PostalBox, 3, 12, 102.0, 15.6, 9.0},
    {A::PostalBox, 4, 12, 112.1, 15.6, 9.0},
    {A::PostalBox, 5, 12, 121.1, 15.6, 9.0},
    {A::PostalBox, 6, 12, 130.1, 15.6, 9.0},
    {A::PostalBox, 7, 12, 139.1, 15.6, 9.0},
    {A::Line1, 0, 10, 84.0, 26.9, kAddressRightMm - 84.0},
    {A::Line2, 0, 10, 74.0, 36.7, kAddressRightMm - 74.0},
    {A::Name, 0, 12, 75.0, 49.0, kAddressRightMm - 75.0},
    {A::CareOf, 0, 9, 90.0, 43.5, kAddressRightMm - 90.0},
    {A::Telephone, 0, 11, 90.5, 55.8, kAddressRightMm - 90.5},
};

const AddressItem kSender[] = {
    {A::PostalBox, 1, 10, 86.8, 64.5, 5.2},
    {A::PostalBox, 2, 10, 92.0, 64.5, 5.2},
    {A::PostalBox, 3, 10, 97.2, 64.5, 5.2},
    {A::PostalBox, 4, 10, 102.9, 64.5, 5.2},
    {A::PostalBox, 5, 10, 108.1, 64.5, 5.2},
    {A::PostalBox, 6, 10, 113.3, 64.5, 5.2},
    {A::PostalBox, 7, 10, 118.4, 64.5, 5.1},
    {A::Line1, 0, 10, 84.0, 71.0, kAddressRightMm - 84.0},
    {A::Line2, 0, 10, 74.0, 79.1, kAddressRightMm - 74.0},
    {A::Name, 0, 11, 75.0, 92.0, kAddressRightMm - 75.0},
    {A::CareOf, 0, 8, 90.0, 86.1, kAddressRightMm - 90.0},
    {A::Telephone, 0, 11, 90.5, 98.3, kAddressRightMm - 90.5},
};

// Each goods column runs to the next one; the amounts to the form's right
// edge, which the layout does not give: their place is taken as wide as the
// nine digits of the total box.
const GoodsItem kGoods[] = {
    {G::Description, 0, 10, 150.0, 70.8, 30.6},   {G::Description, 1, 10, 150.0, 79.3, 30.6},
    {G::ProductNumber, 0, 10, 150.0, 87.7, 49.5}, {G::ProductNumber, 1, 10, 150.0, 96.0, 49.5},
    {G::Quantity, 0, 10, 180.6, 70.8, 7.6},       {G::Quantity, 1, 10, 180.6, 79.3, 7.6},
    {G::UnitPrice, 0, 10, 188.2, 70.8, 11.3},     {G::UnitPrice, 1, 10, 188.2, 79.3, 11.3},
    {G::Amount, 0, 10, 199.5, 70.8, 16.0},        {G::Amount, 1, 10, 199.5, 79.3, 16.0},
    {G::Total, 0, 10, 199.5, 92.0, 16.0},
};

struct DeliveryTimePlace {
    DeliveryTime time;
    MarkPlace centre;
};
const DeliveryTimePlace kDeliveryTimeMarks[] = {
    {DeliveryTime::Morning, {40.5, 32.8}},     {DeliveryTime::Afternoon, {53.3, 32.8}},
    {DeliveryTime::Evening, {40.5, 41.6}},     {DeliveryTime::Night, {53.3, 41.6}},
    {DeliveryTime::Unspecified, {63.1, 37.2}},
};

// The form's place for 不要 is not known; both choices share the mark of 必要.
struct NoticePlace {
    ArrivalNotice notice;
    MarkPlace centre;
};
const NoticePlace kNoticeMarks[] = {
    {ArrivalNotice::Wanted, {158.2, 36.8}},
    {ArrivalNotice::NotWanted, {158.2, 36.8}},
};

} // namespace

std::span<const AddressItem> recipientBlock() { return kRecipient; }
std::span<const AddressItem> senderBlock() { return kSender; }
std::span<const GoodsItem> goodsBlock() { return kGoods; }

MarkPlace deliveryTimeMark(DeliveryTime time)
{
    for (const auto& row : kDeliveryTimeMarks)
        if (row.time == time)
            return row.centre;
    return kDeliveryTimeMarks[4].centre;
}

MarkPlace arrivalNoticeMark(ArrivalNotice notice)
{
    for (const auto& row : kNoticeMarks)
        if (row.notice == notice)
            return row.centre;
    return kNoticeMarks[0].centre;
}

} // namespace print
