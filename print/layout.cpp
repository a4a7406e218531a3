#include "print/layout.h"

#include <cmath>

namespace print {

float layoutTwips(double mm)
{
    return static_cast<float>(std::lround(mm * 10.0)) * kTwipsPerTenthMm;
}

namespace {

using W = When;

const TextItem kRecipient[] = {
    {12, 84.0, 15.6, "T_1_Yuubin", 1, W::Always, nullptr},
    {12, 93.0, 15.6, "T_1_Yuubin", 2, W::Always, nullptr},
    {12, 102.0, 15.6, "T_1_Yuubin", 3, W::Always, nullptr},
    {12, 112.1, 15.6, "T_1_Yuubin", 4, W::Always, nullptr},
    {12, 121.1, 15.6, "T_1_Yuubin", 5, W::Always, nullptr},
    {12, 130.1, 15.6, "T_1_Yuubin", 6, W::Always, nullptr},
    {12, 139.1, 15.6, "T_1_Yuubin", 7, W::Always, nullptr},
    {10, 84.0, 26.9, "T_2_Jyuusyo", 0, W::Always, nullptr},
    {10, 74.0, 36.7, "T_3_Jyuusyo", 0, W::Always, nullptr},
    {12, 75.0, 49.0, "T_4_Namae", 0, W::Always, nullptr},
    {9, 90.0, 43.5, "T_5_Samakata", 0, W::Shown, "T_5_Samakata"},
    {11, 90.5, 55.8, "T_6_Denwaba", 0, W::Always, nullptr},
};

const TextItem kSender[] = {
    {10, 86.8, 64.5, "iraiYuubin", 1, W::Always, nullptr},
    {10, 92.0, 64.5, "iraiYuubin", 2, W::Always, nullptr},
    {10, 97.2, 64.5, "iraiYuubin", 3, W::Always, nullptr},
    {10, 102.9, 64.5, "iraiYuubin", 4, W::Always, nullptr},
    {10, 108.1, 64.5, "iraiYuubin", 5, W::Always, nullptr},
    {10, 113.3, 64.5, "iraiYuubin", 6, W::Always, nullptr},
    {10, 118.4, 64.5, "iraiYuubin", 7, W::Always, nullptr},
    {10, 84.0, 71.0, "iraiJyuusyo1", 0, W::Always, nullptr},
    {10, 74.0, 79.1, "iraiJyuusyo2", 0, W::Always, nullptr},
    {11, 75.0, 92.0, "iraiNamae", 0, W::Always, nullptr},
    {8, 90.0, 86.1, "iraiSamakata", 0, W::Shown, "iraiSamakata"},
    {11, 90.5, 98.3, "iraiDenwa", 0, W::Always, nullptr},
};

const TextItem kGoods[] = {
    {10, 150.0, 70.8, "c_Hinmei", 0, W::Always, nullptr},
    {10, 150.0, 79.3, "c_Hinmei2", 0, W::Always, nullptr},
    {10, 150.0, 87.7, "SyouhinBangouBox1", 0, W::Always, nullptr},
    {10, 150.0, 96.0, "SyouhinBangouBox2", 0, W::Always, nullptr},
    {10, 180.6, 70.8, "SuuryouBox1", 0, W::NumericMode, nullptr},
    {10, 180.6, 79.3, "SuuryouBox2", 0, W::NumericMode, nullptr},
    {10, 188.2, 70.8, "TankaBox1", 0, W::NumericMode, nullptr},
    {10, 188.2, 79.3, "TankaBox2", 0, W::NumericMode, nullptr},
    {10, 199.5, 70.8, "KingakuBox1", 0, W::NumericMode, nullptr},
    {10, 199.5, 79.3, "KingakuBox2", 0, W::NumericMode, nullptr},
    {10, 199.5, 92.0, "GoukeiBox", 0, W::NumericMode, nullptr},
};

// The first selected option of a group gets the mark.
const MarkItem kDeliveryTime[] = {
    {"O_Haitatsu1", 40.5, 32.8},
    {"O_Haitatsu2", 53.3, 32.8},
    {"O_Haitatsu3", 40.5, 41.6},
    {"O_Haitatsu4", 53.3, 41.6},
    {"O_Haitatsu5", 63.1, 37.2},
};

// The form's place for 不要 is not known; both choices share the mark of 必要.
const MarkItem kNotice[] = {
    {"O_Tsuuchi1", 158.2, 36.8},
    {"O_Tsuuchi2", 158.2, 36.8},
};

} // namespace

std::span<const TextItem> recipientBlock() { return kRecipient; }
std::span<const TextItem> senderBlock() { return kSender; }
std::span<const TextItem> goodsBlock() { return kGoods; }
std::span<const MarkItem> deliveryTimeMarks() { return kDeliveryTime; }
std::span<const MarkItem> noticeMarks() { return kNotice; }

} // namespace print
