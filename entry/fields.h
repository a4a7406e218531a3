#pragma once
// Operations on the window's fields: reading and writing a field's text,
// numeric input mode, care-of lines, clearing and swapping address blocks.
#include <QString>
#include <functional>

class QWidget;

namespace entry {

// Finds a control of the window by its name.
using FindControl = std::function<QWidget*(const char* name)>;

// Text of a text box or the edit text of a combo box. Writing a text box
// keeps to its length limit, as typing does.
QString fieldText(const QWidget* field);
void setFieldText(QWidget* field, const QString& text);

// The numeric group, in the order it is shown and hidden.
inline constexpr const char* kNumericGroup[] = {
    "SuuryouLb", "TankaLb", "KingakuLb", "SuuryouBox1", "Kakeru1Lb", "TankaBox1", "Equal1Lb", "KingakuBox1",
    "SuuryouBox2", "Kakeru2Lb", "TankaBox2", "Equal2Lb", "KingakuBox2", "GoukeiBox", "GoukeiBtn"};

inline constexpr const char* kRecipientFields[] = {"T_1_Yuubin", "T_2_Jyuusyo", "T_3_Jyuusyo", "T_4_Namae", "T_5_Samakata", "T_6_Denwaba"};
inline constexpr const char* kSenderFields[] = {"iraiYuubin", "iraiJyuusyo1", "iraiJyuusyo2", "iraiNamae", "iraiSamakata", "iraiDenwa"};

void showNumericGroup(const FindControl& find, bool shown);
void clearFields(const FindControl& find, const char* const (&fields)[6]);
// All twelve texts are read before any is written; visibility stays put.
void swapAddressBlocks(const FindControl& find);

} // namespace entry
