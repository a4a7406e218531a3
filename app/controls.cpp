#include "app/controls.h"

#include <array>

namespace app {

using platform::ImeMode;

namespace {

constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kGreen = 0xff00c000;

// Containers: the recipient and sender frames form one control array.
#define RCP "Frame1(0)"
#define SND "Frame1(1)"

const ControlSpec kControls[] = {
    // Frames on the window.
    {.name = RCP, .kind = Kind::Frame, .container = nullptr, .leftTwips = 120, .topTwips = 210, .widthTwips = 6135, .heightTwips = 3255,
     .caption = "                             お届け先                         ", .tabIndex = 37, .colour = kBlue, .font = Font::Bold12},
    {.name = SND, .kind = Kind::Frame, .container = nullptr, .leftTwips = 120, .topTwips = 3540, .widthTwips = 6135, .heightTwips = 3195,
     .caption = "                                                                                                  ", .tabIndex = 44},
    {.name = "Frame5", .kind = Kind::Frame, .container = nullptr, .leftTwips = 120, .topTwips = 6720, .widthTwips = 6135, .heightTwips = 825, .tabIndex = 55},
    {.name = "Frame2", .kind = Kind::Frame, .container = nullptr, .leftTwips = 6360, .topTwips = 240, .widthTwips = 4335, .heightTwips = 1185, .caption = "配達時間帯指定", .tabIndex = 51},
    {.name = "Frame3", .kind = Kind::Frame, .container = nullptr, .leftTwips = 6360, .topTwips = 1530, .widthTwips = 4335, .heightTwips = 735, .caption = "お届け通知", .tabIndex = 52},
    {.name = "Frame4", .kind = Kind::Frame, .container = nullptr, .leftTwips = 6360, .topTwips = 2370, .widthTwips = 4335, .heightTwips = 2955, .tabIndex = 53},
    {.name = "CyouseiFrm", .kind = Kind::Frame, .container = nullptr, .leftTwips = 6360, .topTwips = 5370, .widthTwips = 4335, .heightTwips = 1365, .tabIndex = 27},
    {.name = "BtnFrm", .kind = Kind::Frame, .container = nullptr, .leftTwips = 6360, .topTwips = 6720, .widthTwips = 4335, .heightTwips = 825, .tabIndex = 36},

    // Recipient block.
    {.name = "Label1", .kind = Kind::Label, .container = RCP, .leftTwips = 240, .topTwips = 360, .widthTwips = 975, .heightTwips = 255, .caption = "郵便番号　：", .tabIndex = 43},
    {.name = "T_1_Yuubin", .kind = Kind::TextBox, .container = RCP, .leftTwips = 1320, .topTwips = 360, .widthTwips = 1215, .heightTwips = 270, .tabIndex = 0, .maxLength = 7, .postalCode = true, .ime = ImeMode::Disabled},
    {.name = "Label2", .kind = Kind::Label, .container = RCP, .leftTwips = 240, .topTwips = 840, .widthTwips = 975, .heightTwips = 255, .caption = "住所　　　　：", .tabIndex = 42},
    {.name = "T_2_Jyuusyo", .kind = Kind::TextBox, .container = RCP, .leftTwips = 1320, .topTwips = 840, .widthTwips = 3435, .heightTwips = 270, .tabIndex = 1, .ime = ImeMode::Hiragana},
    {.name = "Label3", .kind = Kind::Label, .container = RCP, .leftTwips = 240, .topTwips = 1320, .widthTwips = 975, .heightTwips = 255, .caption = "　　　　　　　：", .tabIndex = 41},
    {.name = "T_3_Jyuusyo", .kind = Kind::TextBox, .container = RCP, .leftTwips = 1320, .topTwips = 1320, .widthTwips = 3435, .heightTwips = 270, .tabIndex = 2, .ime = ImeMode::Hiragana},
    {.name = "Label4", .kind = Kind::Label, .container = RCP, .leftTwips = 240, .topTwips = 1800, .widthTwips = 975, .heightTwips = 255, .caption = "名前　　　　：", .tabIndex = 40},
    {.name = "T_4_Namae", .kind = Kind::TextBox, .container = RCP, .leftTwips = 1320, .topTwips = 1800, .widthTwips = 3435, .heightTwips = 270, .tabIndex = 3, .ime = ImeMode::Hiragana},
    {.name = "C_1_Samakata", .kind = Kind::CheckBox, .container = RCP, .leftTwips = 330, .topTwips = 2280, .widthTwips = 915, .heightTwips = 255, .caption = "  様方：", .tabIndex = 4},
    {.name = "T_5_Samakata", .kind = Kind::TextBox, .container = RCP, .leftTwips = 1320, .topTwips = 2280, .widthTwips = 3435, .heightTwips = 270, .tabIndex = 5, .ime = ImeMode::Hiragana},
    {.name = "Label6", .kind = Kind::Label, .container = RCP, .leftTwips = 240, .topTwips = 2760, .widthTwips = 975, .heightTwips = 255, .caption = "電話番号　：", .tabIndex = 39},
    {.name = "T_6_Denwaba", .kind = Kind::TextBox, .container = RCP, .leftTwips = 1320, .topTwips = 2760, .widthTwips = 3435, .heightTwips = 270, .tabIndex = 6, .ime = ImeMode::Disabled},
    {.name = "T_clear1", .kind = Kind::PushButton, .container = RCP, .leftTwips = 5040, .topTwips = 240, .widthTwips = 975, .heightTwips = 375, .caption = "クリア", .tabIndex = 38},

    // Sender block.
    {.name = "Label10", .kind = Kind::Label, .container = SND, .leftTwips = 240, .topTwips = 360, .widthTwips = 975, .heightTwips = 255, .caption = "郵便番号　：", .tabIndex = 50},
    {.name = "iraiYuubin", .kind = Kind::ComboBox, .container = SND, .leftTwips = 1320, .topTwips = 360, .widthTwips = 1335, .heightTwips = 300, .tabIndex = 8, .postalCode = true, .ime = ImeMode::Disabled},
    {.name = "Label9", .kind = Kind::Label, .container = SND, .leftTwips = 240, .topTwips = 840, .widthTwips = 975, .heightTwips = 255, .caption = "住所　　　　：", .tabIndex = 49},
    {.name = "iraiJyuusyo1", .kind = Kind::ComboBox, .container = SND, .leftTwips = 1320, .topTwips = 840, .widthTwips = 3435, .heightTwips = 300, .tabIndex = 9, .ime = ImeMode::Hiragana},
    {.name = "Label8", .kind = Kind::Label, .container = SND, .leftTwips = 240, .topTwips = 1320, .widthTwips = 975, .heightTwips = 255, .caption = "　　　　　　　：", .tabIndex = 48},
    {.name = "iraiJyuusyo2", .kind = Kind::ComboBox, .container = SND, .leftTwips = 1320, .topTwips = 1320, .widthTwips = 3435, .heightTwips = 300, .tabIndex = 10, .ime = ImeMode::Hiragana},
    {.name = "Label7", .kind = Kind::Label, .container = SND, .leftTwips = 240, .topTwips = 1800, .widthTwips = 975, .heightTwips = 255, .caption = "名前　　　　：", .tabIndex = 47},
    {.name = "iraiNamae", .kind = Kind::ComboBox, .container = SND, .leftTwips = 1320, .topTwips = 1800, .widthTwips = 3435, .heightTwips = 300, .tabIndex = 11, .ime = ImeMode::Hiragana},
    {.name = "C_2_Samakata", .kind = Kind::CheckBox, .container = SND, .leftTwips = 330, .topTwips = 2280, .widthTwips = 915, .heightTwips = 255, .caption = "  様方：", .tabIndex = 12},
    {.name = "iraiSamakata", .kind = Kind::ComboBox, .container = SND, .leftTwips = 1320, .topTwips = 2280, .widthTwips = 3435, .heightTwips = 300, .tabIndex = 13, .ime = ImeMode::Hiragana},
    {.name = "Label5", .kind = Kind::Label, .container = SND, .leftTwips = 240, .topTwips = 2760, .widthTwips = 975, .heightTwips = 255, .caption = "電話番号　：", .tabIndex = 46},
    {.name = "iraiDenwa", .kind = Kind::ComboBox, .container = SND, .leftTwips = 1320, .topTwips = 2760, .widthTwips = 3435, .heightTwips = 300, .tabIndex = 14, .ime = ImeMode::Disabled},
    {.name = "Label13", .kind = Kind::Label, .container = SND, .leftTwips = 2760, .topTwips = 30, .widthTwips = 1005, .heightTwips = 255, .caption = "ご依頼主", .tabIndex = 77, .colour = kGreen, .font = Font::Bold12},
    {.name = "C_Goirainushi", .kind = Kind::CheckBox, .container = SND, .leftTwips = 2490, .topTwips = 30, .widthTwips = 195, .heightTwips = 240, .tabIndex = 7, .enabled = false, .colour = kGreen, .font = Font::Bold12},
    {.name = "T_clear2", .kind = Kind::PushButton, .container = SND, .leftTwips = 5040, .topTwips = 240, .widthTwips = 975, .heightTwips = 375, .caption = "クリア", .tabIndex = 45},
    {.name = "z_Henkan", .kind = Kind::PushButton, .container = SND, .leftTwips = 5070, .topTwips = 2640, .widthTwips = 945, .heightTwips = 435, .caption = "入替", .tabIndex = 75},

    // Frame5 holds only the printer dialog component.
    {.name = "CommonDialog1", .kind = Kind::CommonDialog, .container = "Frame5", .leftTwips = 0, .topTwips = 0, .widthTwips = 0, .heightTwips = 0, .visible = false},
    // The commands of the address book, the history, order lists and the
    // preview, each in a window of its own; their tab stops come last.
    {.name = "addressBookButton", .kind = Kind::PushButton, .container = "Frame5", .leftTwips = 120, .topTwips = 180, .widthTwips = 1380, .heightTwips = 495, .caption = "住所録 (F2)", .tabIndex = 78,
     .toolTip = "住所録を開きます。保存したお届け先やご依頼主を選んで入力したり、この画面の住所を登録したりできます（F2）", .shortcut = "F2"},
    {.name = "historyButton", .kind = Kind::PushButton, .container = "Frame5", .leftTwips = 1620, .topTwips = 180, .widthTwips = 1380, .heightTwips = 495, .caption = "履歴 (F3)", .tabIndex = 79,
     .toolTip = "これまでに印刷した送り状を探して、画面に戻したり印刷し直したりします（F3）", .shortcut = "F3"},
    {.name = "batchButton", .kind = Kind::PushButton, .container = "Frame5", .leftTwips = 3120, .topTwips = 180, .widthTwips = 1380, .heightTwips = 495, .caption = "一括印刷 (F4)", .tabIndex = 80,
     .toolTip = "注文一覧（CSV）を読み込んで、1行ごとに送り状を続けて印刷します（F4）", .shortcut = "F4"},
    {.name = "previewButton", .kind = Kind::PushButton, .container = "Frame5", .leftTwips = 4620, .topTwips = 180, .widthTwips = 1380, .heightTwips = 495, .caption = "プレビュー (F5)", .tabIndex = 81,
     .toolTip = "この画面の送り状が用紙のどこに印刷されるかを、印刷する前に実寸で確かめます（F5）", .shortcut = "F5"},

    // Delivery-time options.
    {.name = "O_Haitatsu1", .kind = Kind::OptionButton, .container = "Frame2", .leftTwips = 120, .topTwips = 360, .widthTwips = 1935, .heightTwips = 180, .caption = "午前  ９時～１２時頃", .tabIndex = 16},
    {.name = "O_Haitatsu2", .kind = Kind::OptionButton, .container = "Frame2", .leftTwips = 2040, .topTwips = 360, .widthTwips = 1935, .heightTwips = 180, .caption = "午後１３時～１６時頃", .tabIndex = 17},
    {.name = "O_Haitatsu3", .kind = Kind::OptionButton, .container = "Frame2", .leftTwips = 120, .topTwips = 600, .widthTwips = 1935, .heightTwips = 180, .caption = "夕方１７時～１９時頃", .tabIndex = 18},
    {.name = "O_Haitatsu4", .kind = Kind::OptionButton, .container = "Frame2", .leftTwips = 2040, .topTwips = 600, .widthTwips = 1935, .heightTwips = 180, .caption = "夜間１９時～２１時頃", .tabIndex = 19},
    {.name = "O_Haitatsu5", .kind = Kind::OptionButton, .container = "Frame2", .leftTwips = 120, .topTwips = 840, .widthTwips = 975, .heightTwips = 180, .caption = "指定なし", .tabIndex = 15, .initiallyOn = true},

    // Arrival-notice options.
    {.name = "O_Tsuuchi1", .kind = Kind::OptionButton, .container = "Frame3", .leftTwips = 120, .topTwips = 360, .widthTwips = 975, .heightTwips = 180, .caption = "必要", .tabIndex = 20, .initiallyOn = true},
    {.name = "O_Tsuuchi2", .kind = Kind::OptionButton, .container = "Frame3", .leftTwips = 2040, .topTwips = 360, .widthTwips = 975, .heightTwips = 180, .caption = "不要", .tabIndex = 21},

    // Goods block; the numeric group starts hidden.
    {.name = "HinmeiLb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 660, .topTwips = 210, .widthTwips = 645, .heightTwips = 165, .caption = "品　　名", .tabIndex = 65},
    {.name = "SuuryouLb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 1980, .topTwips = 210, .widthTwips = 405, .heightTwips = 195, .caption = "数量", .tabIndex = 67, .visible = false},
    {.name = "TankaLb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 2640, .topTwips = 210, .widthTwips = 405, .heightTwips = 195, .caption = "単価", .tabIndex = 68, .visible = false},
    {.name = "KingakuLb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 3570, .topTwips = 210, .widthTwips = 405, .heightTwips = 195, .caption = "金額", .tabIndex = 69, .visible = false},
    {.name = "c_Hinmei", .kind = Kind::ComboBox, .container = "Frame4", .leftTwips = 240, .topTwips = 420, .widthTwips = 1545, .heightTwips = 300, .tabIndex = 22},
    {.name = "SuuryouBox1", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 1920, .topTwips = 420, .widthTwips = 405, .heightTwips = 270, .caption = "0", .tabIndex = 56, .maxLength = 3, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "Kakeru1Lb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 2340, .topTwips = 450, .widthTwips = 135, .heightTwips = 135, .caption = "×", .tabIndex = 70, .visible = false},
    {.name = "TankaBox1", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 2520, .topTwips = 420, .widthTwips = 585, .heightTwips = 270, .caption = "0", .tabIndex = 58, .maxLength = 5, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "Equal1Lb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 3180, .topTwips = 450, .widthTwips = 75, .heightTwips = 135, .caption = "=", .tabIndex = 72, .visible = false},
    {.name = "KingakuBox1", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 3330, .topTwips = 420, .widthTwips = 855, .heightTwips = 270, .caption = "0", .tabIndex = 60, .maxLength = 8, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "c_Hinmei2", .kind = Kind::ComboBox, .container = "Frame4", .leftTwips = 240, .topTwips = 900, .widthTwips = 1545, .heightTwips = 300, .tabIndex = 23},
    {.name = "SuuryouBox2", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 1920, .topTwips = 900, .widthTwips = 405, .heightTwips = 270, .caption = "0", .tabIndex = 57, .maxLength = 3, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "Kakeru2Lb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 2340, .topTwips = 960, .widthTwips = 165, .heightTwips = 135, .caption = "×", .tabIndex = 71, .visible = false},
    {.name = "TankaBox2", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 2520, .topTwips = 900, .widthTwips = 585, .heightTwips = 270, .caption = "0", .tabIndex = 59, .maxLength = 5, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "Equal2Lb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 3180, .topTwips = 930, .widthTwips = 75, .heightTwips = 135, .caption = "=", .tabIndex = 73, .visible = false},
    {.name = "KingakuBox2", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 3330, .topTwips = 900, .widthTwips = 855, .heightTwips = 270, .caption = "0", .tabIndex = 61, .maxLength = 8, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "SyouhinLb", .kind = Kind::Label, .container = "Frame4", .leftTwips = 630, .topTwips = 1350, .widthTwips = 855, .heightTwips = 195, .caption = "商品番号", .tabIndex = 66},
    {.name = "SyouhinBangouBox1", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 240, .topTwips = 1620, .widthTwips = 2055, .heightTwips = 270, .tabIndex = 63},
    {.name = "SyouhinBangouBox2", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 240, .topTwips = 2100, .widthTwips = 2055, .heightTwips = 270, .tabIndex = 64},
    {.name = "GoukeiBox", .kind = Kind::TextBox, .container = "Frame4", .leftTwips = 3240, .topTwips = 2100, .widthTwips = 975, .heightTwips = 270, .caption = "0", .tabIndex = 62, .maxLength = 9, .align = Align::Right, .ime = ImeMode::Disabled, .visible = false},
    {.name = "SuujiNyuuryokuBtn", .kind = Kind::ToggleButton, .container = "Frame4", .leftTwips = 240, .topTwips = 2460, .widthTwips = 2055, .heightTwips = 375, .caption = "数字の入力", .tabIndex = 24},
    {.name = "GoukeiBtn", .kind = Kind::PushButton, .container = "Frame4", .leftTwips = 2520, .topTwips = 2460, .widthTwips = 1695, .heightTwips = 375, .caption = "合計", .tabIndex = 74, .visible = false},

    // Adjustment panel.
    {.name = "SayuuLabel", .kind = Kind::Label, .container = "CyouseiFrm", .leftTwips = 120, .topTwips = 240, .widthTwips = 975, .heightTwips = 195, .caption = "左右のズレ：", .tabIndex = 34},
    {.name = "Sayuu_Xtxt", .kind = Kind::TextBox, .container = "CyouseiFrm", .leftTwips = 1080, .topTwips = 210, .widthTwips = 555, .heightTwips = 270, .caption = "0", .tabIndex = 28, .align = Align::Right, .ime = ImeMode::Disabled,
     .toolTip = "左右のズレ（0.1 mm単位）：10で印刷が1 mm右へ、-10で1 mm左へ動きます。小数も印刷に使えます（1.5なら0.15 mm）が、「ズレ保存」で残せるのは整数だけです"},
    {.name = "UpDownX", .kind = Kind::UpDown, .container = "CyouseiFrm", .leftTwips = 2070, .topTwips = 240, .widthTwips = 645, .heightTwips = 240, .tabIndex = 30,
     .toolTip = "押すたびに印刷を1 mm右（→）か左（←）へ動かします"},
    {.name = "JyougeLabel", .kind = Kind::Label, .container = "CyouseiFrm", .leftTwips = 90, .topTwips = 780, .widthTwips = 975, .heightTwips = 195, .caption = "上下のズレ：", .tabIndex = 35},
    {.name = "Jyouge_Ytxt", .kind = Kind::TextBox, .container = "CyouseiFrm", .leftTwips = 1080, .topTwips = 780, .widthTwips = 555, .heightTwips = 270, .caption = "0", .tabIndex = 29, .align = Align::Right, .ime = ImeMode::Disabled,
     .toolTip = "上下のズレ（0.1 mm単位）：10で印刷が1 mm下へ、-10で1 mm上へ動きます。小数も印刷に使えます（1.5なら0.15 mm）が、「ズレ保存」で残せるのは整数だけです"},
    {.name = "UpDownY", .kind = Kind::UpDown, .container = "CyouseiFrm", .leftTwips = 1710, .topTwips = 630, .widthTwips = 240, .heightTwips = 555, .tabIndex = 31,
     .toolTip = "押すたびに印刷を1 mm上（↑）か下（↓）へ動かします"},
    {.name = "HozonBtn", .kind = Kind::PushButton, .container = "CyouseiFrm", .leftTwips = 2100, .topTwips = 630, .widthTwips = 615, .heightTwips = 555, .caption = "ズレ保存", .tabIndex = 32},
    {.name = "IchiBtn", .kind = Kind::PushButton, .container = "CyouseiFrm", .leftTwips = 2910, .topTwips = 630, .widthTwips = 1335, .heightTwips = 555, .caption = "○印の印刷", .tabIndex = 33},
    // The unit of both offsets, beside the arrows of the first.
    {.name = "offsetUnitLabel", .kind = Kind::Label, .container = "CyouseiFrm", .leftTwips = 2850, .topTwips = 240, .widthTwips = 1425, .heightTwips = 195, .caption = "単位：0.1 mm"},

    // Main buttons.
    {.name = "OnOffBtn", .kind = Kind::ToggleButton, .container = "BtnFrm", .leftTwips = 60, .topTwips = 150, .widthTwips = 615, .heightTwips = 585, .tabIndex = 54,
     .toolTip = "印刷の位置を合わせる調整パネルを開きます。もう一度押すと閉じます"},
    {.name = "PriDiaBtn", .kind = Kind::PushButton, .container = "BtnFrm", .leftTwips = 720, .topTwips = 150, .widthTwips = 825, .heightTwips = 585, .caption = "プリンタの設定", .tabIndex = 76},
    {.name = "InsatsuBtn", .kind = Kind::PushButton, .container = "BtnFrm", .leftTwips = 1620, .topTwips = 150, .widthTwips = 1635, .heightTwips = 585, .caption = "印刷", .tabIndex = 25},
    {.name = "zEndBtn", .kind = Kind::PushButton, .container = "BtnFrm", .leftTwips = 3330, .topTwips = 150, .widthTwips = 915, .heightTwips = 585, .caption = "終了", .tabIndex = 26},
};

#undef RCP
#undef SND

const char* const kItems[] = {"", "衣類", "雑貨", "精密機械", "電化製品", "食品", "生物", "お菓子", "書類", "本", "食器", "割れ物"};

} // namespace

std::span<const ControlSpec> controlTable() { return kControls; }
std::span<const char* const> itemDescriptions() { return kItems; }

} // namespace app
