#pragma once
// Where each item goes on the waybill, as millimetres from the print origin.
#include "waybill/waybill.h"

#include <span>

namespace print {

// Twips per 0.1 mm as the form's layout rounds it (1440 / 254 is 5.669...):
// every layout position is whole tenths of a millimetre times 5.67, the
// product taken in single precision (84.0 mm is 4762.8 twips).
constexpr float kTwipsPerTenthMm = 5.67f;
float layoutTwips(double mm);

enum class AddressPart { PostalBox, Line1, Line2, Name, CareOf, Telephone };

// One printed text of an address block. A text's place runs from xMm for
// widthMm: a longer text runs on into the next box or off the form.
struct AddressItem {
    AddressPart part;
    int postalBox; // 1..7 for the postal code's boxes
    int points;
    double xMm, yMm, widthMm;
};

enum class GoodsPart { Description, ProductNumber, Quantity, UnitPrice, Amount, Total };

struct GoodsItem {
    GoodsPart part;
    int line; // goods line 0 or 1; unused for the total
    int points;
    double xMm, yMm, widthMm;
};

// A mark's centre.
struct MarkPlace {
    double xMm, yMm;
};

// In print order.
std::span<const AddressItem> recipientBlock();
std::span<const AddressItem> senderBlock();
std::span<const GoodsItem> goodsBlock();

MarkPlace deliveryTimeMark(waybill::DeliveryTime time);
MarkPlace arrivalNoticeMark(waybill::ArrivalNotice notice);

// The mark test print's two dots, from the print origin, in 0.1 mm.
constexpr int kTestDot1XTenthMm = 806, kTestDot2XTenthMm = 1438, kTestDotsYTenthMm = 106;

} // namespace print
