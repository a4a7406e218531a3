#pragma once
// Operations on the window's fields: reading and writing a field's text,
// numeric input mode, care-of lines, clearing and swapping address blocks.
#include "waybill/waybill.h"

#include <QString>
#include <functional>

class QWidget;

namespace app {

// Finds a control of the window by its name.
using FindControl = std::function<QWidget*(const char* name)>;

// Text of a text box or the edit text of a combo box. Writing a text box
// keeps to its length limit, as typing does.
QString fieldText(const QWidget* field);
void setFieldText(QWidget* field, const QString& text);

// The numeric group, in the order it is shown and hidden.
inline constexpr const char* kNumericGroup[] = {"SuuryouLb", "TankaLb",  "KingakuLb",   "SuuryouBox1", "Kakeru1Lb",
                                                "TankaBox1", "Equal1Lb", "KingakuBox1", "SuuryouBox2", "Kakeru2Lb",
                                                "TankaBox2", "Equal2Lb", "KingakuBox2", "GoukeiBox",   "GoukeiBtn"};

inline constexpr const char* kRecipientFields[] = {"T_1_Yuubin", "T_2_Jyuusyo",  "T_3_Jyuusyo",
                                                   "T_4_Namae",  "T_5_Samakata", "T_6_Denwaba"};
inline constexpr const char* kSenderFields[] = {"iraiYuubin", "iraiJyuusyo1", "iraiJyuusyo2",
                                                "iraiNamae",  "iraiSamakata", "iraiDenwa"};

// The option of each delivery-time band, in the order the print job reads them.
struct DeliveryTimeOption {
    const char* option;
    waybill::DeliveryTime time;
};
inline constexpr DeliveryTimeOption kDeliveryTimeOptions[] = {
    {"O_Haitatsu1", waybill::DeliveryTime::Morning},     {"O_Haitatsu2", waybill::DeliveryTime::Afternoon},
    {"O_Haitatsu3", waybill::DeliveryTime::Evening},     {"O_Haitatsu4", waybill::DeliveryTime::Night},
    {"O_Haitatsu5", waybill::DeliveryTime::Unspecified},
};

// The boxes of each goods line.
struct GoodsLineFields {
    const char* description;
    const char* productNumber;
    const char* quantity;
    const char* unitPrice;
    const char* amount;
};
inline constexpr GoodsLineFields kGoodsLineFields[] = {
    {"c_Hinmei", "SyouhinBangouBox1", "SuuryouBox1", "TankaBox1", "KingakuBox1"},
    {"c_Hinmei2", "SyouhinBangouBox2", "SuuryouBox2", "TankaBox2", "KingakuBox2"},
};

void showNumericGroup(const FindControl& find, bool shown);
void clearFields(const FindControl& find, const char* const (&fields)[6]);
// All twelve texts are read before any is written; visibility stays put.
void swapAddressBlocks(const FindControl& find);

// GoukeiBtn: writes all three results or, when refused, none; the refused
// input gets the focus with its text selected, the platform beeps, and a
// tip under the box says which box and why.
void applyAmounts(const FindControl& find);

} // namespace app
