#pragma once
// The waybill as designed, in millimetres, for the print tests to compute
// their expectations from: twips are millimetres × 56.7 from the print
// origin, which sits at (X − 160) × 0.567 mm and (Y + 15) × 0.567 mm... in
// twips (X − 160) × 5.67 and (Y + 15) × 5.67 for offsets X, Y in 0.1 mm.
namespace expect {

struct Text {
    const char* control;
    int postalChar; // 1..7, or 0 for the whole text
    int points;
    double x_mm, y_mm;
};

inline const Text kRecipient[] = {
    {"T_1_Yuubin", 1, 12, 84.0, 15.6}, {"T_1_Yuubin", 2, 12, 93.0, 15.6}, {"T_1_Yuubin", 3, 12, 102.0, 15.6},
    {"T_1_Yuubin", 4, 12, 112.1, 15.6}, {"T_1_Yuubin", 5, 12, 121.1, 15.6}, {"T_1_Yuubin", 6, 12, 130.1, 15.6},
    {"T_1_Yuubin", 7, 12, 139.1, 15.6}, {"T_2_Jyuusyo", 0, 10, 84.0, 26.9}, {"T_3_Jyuusyo", 0, 10, 74.0, 36.7},
    {"T_4_Namae", 0, 12, 75.0, 49.0}, {"T_5_Samakata", 0, 9, 90.0, 43.5}, {"T_6_Denwaba", 0, 11, 90.5, 55.8},
};
inline const Text kSender[] = {
    {"iraiYuubin", 1, 10, 86.8, 64.5}, {"iraiYuubin", 2, 10, 92.0, 64.5}, {"iraiYuubin", 3, 10, 97.2, 64.5},
    {"iraiYuubin", 4, 10, 102.9, 64.5}, {"iraiYuubin", 5, 10, 108.1, 64.5}, {"iraiYuubin", 6, 10, 113.3, 64.5},
    {"iraiYuubin", 7, 10, 118.4, 64.5}, {"iraiJyuusyo1", 0, 10, 84.0, 71.0}, {"iraiJyuusyo2", 0, 10, 74.0, 79.1},
    {"iraiNamae", 0, 11, 75.0, 92.0}, {"iraiSamakata", 0, 8, 90.0, 86.1}, {"iraiDenwa", 0, 11, 90.5, 98.3},
};
inline const Text kGoods[] = {
    {"c_Hinmei", 0, 10, 150.0, 70.8}, {"c_Hinmei2", 0, 10, 150.0, 79.3},
    {"SyouhinBangouBox1", 0, 10, 150.0, 87.7}, {"SyouhinBangouBox2", 0, 10, 150.0, 96.0},
    {"SuuryouBox1", 0, 10, 180.6, 70.8}, {"SuuryouBox2", 0, 10, 180.6, 79.3},
    {"TankaBox1", 0, 10, 188.2, 70.8}, {"TankaBox2", 0, 10, 188.2, 79.3},
    {"KingakuBox1", 0, 10, 199.5, 70.8}, {"KingakuBox2", 0, 10, 199.5, 79.3},
    {"GoukeiBox", 0, 10, 199.5, 92.0},
};

struct Mark {
    const char* option;
    double x_mm, y_mm;
};
inline const Mark kMarks[] = {
    {"O_Haitatsu1", 40.5, 32.8}, {"O_Haitatsu2", 53.3, 32.8}, {"O_Haitatsu3", 40.5, 41.6},
    {"O_Haitatsu4", 53.3, 41.6}, {"O_Haitatsu5", 63.1, 37.2}, {"O_Tsuuchi1", 158.2, 36.8},
    {"O_Tsuuchi2", 158.2, 36.8},
};

constexpr double kTwipsPerMm = 56.7;
constexpr double kTwipsPerInch = 1440.0;

inline double originX(double offsetX) { return (offsetX - 160.0) * 5.67; }
inline double originY(double offsetY) { return (offsetY + 15.0) * 5.67; }
// Text is raised by 1.5 times the font size read back, in 0.1 mm.
inline double textX(double offsetX, double mm) { return originX(offsetX) + mm * kTwipsPerMm; }
inline double textY(double offsetY, double mm, double sizeRead = 14.0)
{
    return originY(offsetY) + mm * kTwipsPerMm - 1.5 * sizeRead * 5.67;
}

} // namespace expect
