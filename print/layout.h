#pragma once
// A waybill layout: where each value of a waybill goes on one kind of form,
// as data. The built-in layout 「標準」 is read from the program's own file in
// the same format as a user's (print/layoutfile.h).
//
// Places are millimetres from the layout's origin, which a print with both
// offsets 0 puts 16.0 mm to the left of and 1.5 mm below the corner of the
// printer's printable area (the offsets move it). A text's character cell
// starts 2.1 mm above its yMm, the raise of the print's 14-point type; a
// mark's place is its centre.
#include "waybill/waybill.h"

#include <QString>
#include <vector>

namespace print {

// Twips per 0.1 mm as the form's layout rounds it (1440 / 254 is 5.669...):
// every layout position is whole tenths of a millimetre times 5.67, the
// product taken in single precision (84.0 mm is 4762.8 twips).
constexpr float kTwipsPerTenthMm = 5.67f;
float layoutTwips(double mm);

enum class Party { Recipient, Sender };

// What a text of the layout prints.
enum class LayoutValue {
    // A party's: one character of the postal code per box (index 1..7), or
    // the whole code written 123-4567 (any other text as it stands).
    PostalDigit,
    PostalCode,
    AddressLine1,
    AddressLine2,
    Name,
    CareOf, // only while the care-of line is shown
    Telephone,
    // A goods line's (index 1..2); the numbers only in numeric input mode.
    GoodsDescription,
    ProductNumber,
    Quantity,
    UnitPrice,
    Amount,
    Total, // numeric input mode only
    // What the window does not have: from the list or the print.
    ShipDate,
    ParcelCount,
    OrderNumber,
    FormNumber,
    FixedText,
};

enum class TextAlign { Left, Centre, Right };

// How far a text wider than its place may be fitted: first condensed down to
// widthPercent of its width, then set smaller down to sizePt.
struct FitFloors {
    double widthPercent = 50.0;
    double sizePt = 7.0;
    bool operator==(const FitFloors&) const = default;
};

struct LayoutText {
    LayoutValue value = LayoutValue::FixedText;
    Party party = Party::Recipient; // the address values
    int index = 0;                  // the postal code's box 1..7, or the goods line 1..2
    QString fixedText;              // FixedText
    QString dateFormat;             // ShipDate, as QDate::toString takes it
    double xMm = 0, yMm = 0, widthMm = 0;
    double sizePt = 10;
    TextAlign align = TextAlign::Left;
    FitFloors floors;
    bool operator==(const LayoutText&) const = default;
};

// The choices a mark is drawn for.
enum class MarkChoice {
    Morning,
    Afternoon,
    Evening,
    Night,
    Unspecified,
    NoticeWanted,
    NoticeNotWanted,
};

struct LayoutMark {
    MarkChoice choice = MarkChoice::Unspecified;
    double xMm = 0, yMm = 0; // the circle's centre
    bool operator==(const LayoutMark&) const = default;
};

struct Layout {
    QString name;
    // The form's own size, for drawing it; 0 where the layout does not say.
    double formWidthMm = 0, formLengthMm = 0;
    double markRadiusMm = 3.0;
    int markLineWidthDots180 = 2;
    std::vector<LayoutText> texts; // in print order
    std::vector<LayoutMark> marks;
    bool operator==(const Layout&) const = default;
};

// 「標準」: the form the program was made for.
const Layout& builtInLayout();
inline const QString kBuiltInLayoutName = QStringLiteral("標準");

// The mark a waybill's choices draw, the delivery time's first.
MarkChoice markFor(waybill::DeliveryTime time);
MarkChoice markFor(waybill::ArrivalNotice notice);

// What the user calls a text of the layout: お届け先の住所1, ご依頼主の郵便番号（4桁目）,
// 品名1, 合計, 発送日.
QString captionOf(const LayoutText& text);
// 午前, 指定なし, 必要, ...
QString captionOf(MarkChoice choice);

// The mark test print's two dots, from the print origin, in 0.1 mm.
constexpr int kTestDot1XTenthMm = 806, kTestDot2XTenthMm = 1438, kTestDotsYTenthMm = 106;

} // namespace print
