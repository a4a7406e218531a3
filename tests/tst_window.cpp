// The window as designed: every control, its place, caption and attributes,
// the state after start-up, typing limits, tab order and the two ways out.
#include "support.h"

#include "app/frame.h"
#include "app/updown.h"
#include "platform/fonts.h"
#include "platform/ime.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

using namespace testing;
using platform::ImeMode;

namespace {

enum K { Frame, Label, Text, Combo, Check, Option, Push, Toggle, Spin };

struct Expect {
    const char* name;
    K kind;
    const char* container;
    int left, top, width, height; // twips
    const char* caption;
    int maxLength; // 0: none
    bool right;    // right-aligned
    ImeMode ime;
    bool visible; // after start-up
};

const ImeMode N = ImeMode::Unchanged, D = ImeMode::Disabled, H = ImeMode::Hiragana;
#define R0 "Frame1(0)"
#define R1 "Frame1(1)"

// The designed window, row by row.
const Expect kExpected[] = {
    {R0, Frame, "", 120, 210, 6135, 3255, "                             お届け先                         ", 0, false, N, true},
    {R1, Frame, "", 120, 3540, 6135, 3195, "                                                                                                  ", 0, false, N, true},
    {"Frame5", Frame, "", 120, 6720, 6135, 825, "", 0, false, N, true},
    {"Frame2", Frame, "", 6360, 240, 4335, 1185, "配達時間帯指定", 0, false, N, true},
    {"Frame3", Frame, "", 6360, 1530, 4335, 735, "お届け通知", 0, false, N, true},
    {"Frame4", Frame, "", 6360, 2370, 4335, 2955, "", 0, false, N, true},
    {"CyouseiFrm", Frame, "", 6360, 5370, 4335, 1365, "", 0, false, N, false},
    {"BtnFrm", Frame, "", 6360, 6720, 4335, 825, "", 0, false, N, true},
    {"Label1", Label, R0, 240, 360, 975, 255, "郵便番号　：", 0, false, N, true},
    {"T_1_Yuubin", Text, R0, 1320, 360, 1215, 270, "", 7, false, D, true},
    {"Label2", Label, R0, 240, 840, 975, 255, "住所　　　　：", 0, false, N, true},
    {"T_2_Jyuusyo", Text, R0, 1320, 840, 3435, 270, "", 0, false, H, true},
    {"Label3", Label, R0, 240, 1320, 975, 255, "　　　　　　　：", 0, false, N, true},
    {"T_3_Jyuusyo", Text, R0, 1320, 1320, 3435, 270, "", 0, false, H, true},
    {"Label4", Label, R0, 240, 1800, 975, 255, "名前　　　　：", 0, false, N, true},
    {"T_4_Namae", Text, R0, 1320, 1800, 3435, 270, "", 0, false, H, true},
    {"C_1_Samakata", Check, R0, 330, 2280, 915, 255, "  様方：", 0, false, N, true},
    {"T_5_Samakata", Text, R0, 1320, 2280, 3435, 270, "", 0, false, H, false},
    {"Label6", Label, R0, 240, 2760, 975, 255, "電話番号　：", 0, false, N, true},
    {"T_6_Denwaba", Text, R0, 1320, 2760, 3435, 270, "", 0, false, D, true},
    {"T_clear1", Push, R0, 5040, 240, 975, 375, "クリア", 0, false, N, true},
    {"Label10", Label, R1, 240, 360, 975, 255, "郵便番号　：", 0, false, N, true},
    {"iraiYuubin", Combo, R1, 1320, 360, 1335, 300, "", 0, false, D, true},
    {"Label9", Label, R1, 240, 840, 975, 255, "住所　　　　：", 0, false, N, true},
    {"iraiJyuusyo1", Combo, R1, 1320, 840, 3435, 300, "", 0, false, H, true},
    {"Label8", Label, R1, 240, 1320, 975, 255, "　　　　　　　：", 0, false, N, true},
    {"iraiJyuusyo2", Combo, R1, 1320, 1320, 3435, 300, "", 0, false, H, true},
    {"Label7", Label, R1, 240, 1800, 975, 255, "名前　　　　：", 0, false, N, true},
    {"iraiNamae", Combo, R1, 1320, 1800, 3435, 300, "", 0, false, H, true},
    {"C_2_Samakata", Check, R1, 330, 2280, 915, 255, "  様方：", 0, false, N, true},
    {"iraiSamakata", Combo, R1, 1320, 2280, 3435, 300, "", 0, false, H, false},
    {"Label5", Label, R1, 240, 2760, 975, 255, "電話番号　：", 0, false, N, true},
    {"iraiDenwa", Combo, R1, 1320, 2760, 3435, 300, "", 0, false, D, true},
    {"Label13", Label, R1, 2760, 30, 1005, 255, "ご依頼主", 0, false, N, true},
    {"C_Goirainushi", Check, R1, 2490, 30, 195, 240, "", 0, false, N, true},
    {"T_clear2", Push, R1, 5040, 240, 975, 375, "クリア", 0, false, N, true},
    {"z_Henkan", Push, R1, 5070, 2640, 945, 435, "入替", 0, false, N, true},
    {"O_Haitatsu1", Option, "Frame2", 120, 360, 1935, 180, "午前  ９時～１２時頃", 0, false, N, true},
    {"O_Haitatsu2", Option, "Frame2", 2040, 360, 1935, 180, "午後１３時～１６時頃", 0, false, N, true},
    {"O_Haitatsu3", Option, "Frame2", 120, 600, 1935, 180, "夕方１７時～１９時頃", 0, false, N, true},
    {"O_Haitatsu4", Option, "Frame2", 2040, 600, 1935, 180, "夜間１９時～２１時頃", 0, false, N, true},
    {"O_Haitatsu5", Option, "Frame2", 120, 840, 975, 180, "指定なし", 0, false, N, true},
    {"O_Tsuuchi1", Option, "Frame3", 120, 360, 975, 180, "必要", 0, false, N, true},
    {"O_Tsuuchi2", Option, "Frame3", 2040, 360, 975, 180, "不要", 0, false, N, true},
    {"HinmeiLb", Label, "Frame4", 660, 210, 645, 165, "品　　名", 0, false, N, true},
    {"SuuryouLb", Label, "Frame4", 1980, 210, 405, 195, "数量", 0, false, N, false},
    {"TankaLb", Label, "Frame4", 2640, 210, 405, 195, "単価", 0, false, N, false},
    {"KingakuLb", Label, "Frame4", 3570, 210, 405, 195, "金額", 0, false, N, false},
    {"c_Hinmei", Combo, "Frame4", 240, 420, 1545, 300, "", 0, false, N, true},
    {"SuuryouBox1", Text, "Frame4", 1920, 420, 405, 270, "0", 3, true, D, false},
    {"Kakeru1Lb", Label, "Frame4", 2340, 450, 135, 135, "×", 0, false, N, false},
    {"TankaBox1", Text, "Frame4", 2520, 420, 585, 270, "0", 5, true, D, false},
    {"Equal1Lb", Label, "Frame4", 3180, 450, 75, 135, "=", 0, false, N, false},
    {"KingakuBox1", Text, "Frame4", 3330, 420, 855, 270, "0", 8, true, D, false},
    {"c_Hinmei2", Combo, "Frame4", 240, 900, 1545, 300, "", 0, false, N, true},
    {"SuuryouBox2", Text, "Frame4", 1920, 900, 405, 270, "0", 3, true, D, false},
    {"Kakeru2Lb", Label, "Frame4", 2340, 960, 165, 135, "×", 0, false, N, false},
    {"TankaBox2", Text, "Frame4", 2520, 900, 585, 270, "0", 5, true, D, false},
    {"Equal2Lb", Label, "Frame4", 3180, 930, 75, 135, "=", 0, false, N, false},
    {"KingakuBox2", Text, "Frame4", 3330, 900, 855, 270, "0", 8, true, D, false},
    {"SyouhinLb", Label, "Frame4", 630, 1350, 855, 195, "商品番号", 0, false, N, true},
    {"SyouhinBangouBox1", Text, "Frame4", 240, 1620, 2055, 270, "", 0, false, N, true},
    {"SyouhinBangouBox2", Text, "Frame4", 240, 2100, 2055, 270, "", 0, false, N, true},
    {"GoukeiBox", Text, "Frame4", 3240, 2100, 975, 270, "0", 9, true, D, false},
    {"SuujiNyuuryokuBtn", Toggle, "Frame4", 240, 2460, 2055, 375, "数字の入力", 0, false, N, true},
    {"GoukeiBtn", Push, "Frame4", 2520, 2460, 1695, 375, "合計", 0, false, N, false},
    {"SayuuLabel", Label, "CyouseiFrm", 120, 240, 975, 195, "左右のズレ：", 0, false, N, true},
    {"Sayuu_Xtxt", Text, "CyouseiFrm", 1080, 210, 555, 270, "0", 0, true, D, true},
    {"UpDownX", Spin, "CyouseiFrm", 2070, 240, 645, 240, "", 0, false, N, true},
    {"JyougeLabel", Label, "CyouseiFrm", 90, 780, 975, 195, "上下のズレ：", 0, false, N, true},
    {"Jyouge_Ytxt", Text, "CyouseiFrm", 1080, 780, 555, 270, "0", 0, true, D, true},
    {"UpDownY", Spin, "CyouseiFrm", 1710, 630, 240, 555, "", 0, false, N, true},
    {"HozonBtn", Push, "CyouseiFrm", 2100, 630, 615, 555, "ズレ保存", 0, false, N, true},
    {"IchiBtn", Push, "CyouseiFrm", 2910, 630, 1335, 555, "○印の印刷", 0, false, N, true},
    {"OnOffBtn", Toggle, "BtnFrm", 60, 150, 615, 585, "", 0, false, N, true},
    {"PriDiaBtn", Push, "BtnFrm", 720, 150, 825, 585, "プリンタの設定", 0, false, N, true},
    {"InsatsuBtn", Push, "BtnFrm", 1620, 150, 1635, 585, "印刷", 0, false, N, true},
    {"zEndBtn", Push, "BtnFrm", 3330, 150, 915, 585, "終了", 0, false, N, true},
};

QString captionOf(QWidget* w)
{
    if (auto* f = qobject_cast<app::Frame*>(w)) return f->caption();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    return {};
}

QWidget* focusedControl()
{
    QWidget* f = QApplication::focusWidget();
    // The edit field of a combo box stands for the combo box.
    if (f && qobject_cast<QComboBox*>(f->parentWidget()))
        return f->parentWidget();
    return f;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    void window()
    {
        TestWindow w;
        QVERIFY(w.loaded);
        QCOMPARE(w.form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(w.form->windowTitle(), QStringLiteral(" ホルテア(連続伝票用)"));
        QCOMPARE(w.form->size(), QSize(10875 / 15, 7590 / 15));
        QCOMPARE(w.form->minimumSize(), w.form->maximumSize()); // fixed
        QVERIFY(!w.form->windowIcon().isNull());
        // The layout's ＭＳ Ｐゴシック, as the installed face it stands for.
        QCOMPARE(w.form->font().family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(w.form->font().pointSize(), 9);
    }

    // The layout's font names reach installed faces through Qt's
    // substitution table; an installed name is used as it is, and messages
    // and dialogs share the window's face.
    void layoutFontNames()
    {
        QCOMPARE(platform::installedFace(QStringLiteral("ＭＳ Ｐゴシック")), QStringLiteral("IPAPGothic"));
        QCOMPARE(platform::installedFace(QStringLiteral("ＭＳ　P ゴシック")), QStringLiteral("IPAPGothic"));
        QCOMPARE(platform::installedFace(QStringLiteral("IPAGothic")), QStringLiteral("IPAGothic"));
        QCOMPARE(platform::installedFace(QStringLiteral("No Such Face")), QStringLiteral("No Such Face"));
        QFont::insertSubstitutions(QStringLiteral("Second Choice"), {QStringLiteral("No Such Face"), QStringLiteral("IPAGothic")});
        QCOMPARE(platform::installedFace(QStringLiteral("Second Choice")), QStringLiteral("IPAGothic"));

        QMessageBox box(QMessageBox::Question, QStringLiteral("ホルテア"), QStringLiteral("このプログラムを終了しますか？"));
        QCOMPARE(QFontInfo(box.font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(box.font().pointSize(), 9);
    }

    void control_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kExpected)); ++i)
            QTest::newRow(kExpected[i].name) << i;
    }

    void control()
    {
        QFETCH(int, row);
        const Expect& e = kExpected[row];
        TestWindow w;
        QWidget* c = w.c(e.name);
        QCOMPARE(c->objectName(), QString::fromUtf8(e.name));

        switch (e.kind) {
        case Frame: QVERIFY(qobject_cast<app::Frame*>(c)); break;
        case Label: QVERIFY(qobject_cast<QLabel*>(c)); break;
        case Text: QVERIFY(qobject_cast<QLineEdit*>(c)); break;
        case Combo: QVERIFY(qobject_cast<QComboBox*>(c) && qobject_cast<QComboBox*>(c)->isEditable()); break;
        case Check: QVERIFY(qobject_cast<QCheckBox*>(c)); break;
        case Option: QVERIFY(qobject_cast<QRadioButton*>(c)); break;
        case Push: QVERIFY(qobject_cast<QPushButton*>(c) && !qobject_cast<QPushButton*>(c)->isCheckable()); break;
        case Toggle: QVERIFY(qobject_cast<QPushButton*>(c) && qobject_cast<QPushButton*>(c)->isCheckable()); break;
        case Spin: QVERIFY(qobject_cast<app::UpDown*>(c)); break;
        }
        const QWidget* expectedParent = *e.container ? w.c(e.container) : w.form.get();
        QCOMPARE(c->parentWidget(), expectedParent);
        QCOMPARE(c->geometry(), QRect(e.left / 15, e.top / 15, e.width / 15, e.height / 15));
        QCOMPARE(captionOf(c), QString::fromUtf8(e.caption));
        if (auto* edit = qobject_cast<QLineEdit*>(c)) {
            QCOMPARE(edit->maxLength(), e.maxLength ? e.maxLength : 32767);
            QCOMPARE(bool(edit->alignment() & Qt::AlignRight), e.right);
        }
        QCOMPARE(platform::imeMode(c), e.ime);
        if (e.ime != N) {
            QWidget* editor = qobject_cast<QComboBox*>(c) ? qobject_cast<QComboBox*>(c)->lineEdit() : c;
            QCOMPARE(editor->testAttribute(Qt::WA_InputMethodEnabled), e.ime == H);
        }
        QCOMPARE(!c->isHidden(), e.visible);

        // Fonts: the window's face, 9 pt, or bold 12 pt for the two titles;
        // the face resolves to an installed Japanese face holding every
        // character of the caption, so nothing shows as boxes.
        const bool bold12 = e.name == QLatin1String(R0) || e.name == QLatin1String("Label13") ||
                            e.name == QLatin1String("C_Goirainushi");
        QCOMPARE(c->font().family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(QFontInfo(c->font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(c->font().pointSize(), bold12 ? 12 : 9);
        QCOMPARE(c->font().bold(), bold12);
        const QFontMetrics fm(c->font());
        for (QChar ch : QString::fromUtf8(e.caption))
            QVERIFY2(fm.inFont(ch), qPrintable(QStringLiteral("%1 lacks U+%2").arg(QFontInfo(c->font()).family()).arg(ch.unicode(), 4, 16)));

        const QString name = QString::fromUtf8(e.name);
        const QColor text = c->palette().color(QPalette::WindowText);
        if (name == QLatin1String(R0))
            QCOMPARE(text, QColor(0, 0, 255));
        else if (name == QLatin1String("Label13") || name == QLatin1String("C_Goirainushi"))
            QCOMPARE(text, QColor(0, 192, 0));
        else
            QCOMPARE(text, QGuiApplication::palette().color(QPalette::WindowText));
    }

    // The colons of one block's row captions line up, and none is cut off
    // at the right edge of its label.
    void rowCaptionsShowWholeAndAligned()
    {
        TestWindow w;
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        for (auto block : {std::array{"Label1", "Label2", "Label3", "Label4", "Label6"},
                           std::array{"Label10", "Label9", "Label8", "Label7", "Label5"}}) {
            int colonRight = -1;
            for (const char* name : block) {
                QLabel* label = w.c<QLabel>(name);
                const QImage img = label->grab().toImage();
                int right = -1;
                for (int x = 0; x < img.width(); ++x)
                    for (int y = 0; y < img.height(); ++y)
                        if (qGray(img.pixel(x, y)) < 128)
                            right = x;
                QVERIFY2(right >= 0 && right < img.width() - 1, name);
                if (colonRight < 0)
                    colonRight = right;
                QVERIFY2(qAbs(right - colonRight) <= 1, name);
            }
        }
    }

    // A frame's border is etched: a dark line with a light one just below and
    // to the right of it, all round; a caption interrupts the top line.
    void framesEtched()
    {
        TestWindow w;
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        for (const char* name : {"Frame4", "Frame2"}) {
            auto* frame = w.c<app::Frame>(name);
            const QImage img = frame->grab().toImage();
            const QRgb dark = frame->palette().color(QPalette::Dark).rgb() & 0xffffff;
            const QRgb light = frame->palette().color(QPalette::Light).rgb() & 0xffffff;
            const int W = img.width(), H = img.height();
            const int top = frame->caption().isEmpty() ? 0 : QFontMetrics(frame->font()).height() / 2;
            auto at = [&](int x, int y) { return img.pixel(x, y) & 0xffffff; };
            for (int y = top; y <= H - 2; ++y) {
                QCOMPARE(at(0, y), dark);
                QCOMPARE(at(W - 1, y + 1), light);
            }
            for (int x = 1; x <= W - 3; ++x) {
                QCOMPARE(at(x, H - 2), x == 1 ? light : dark);
                QCOMPARE(at(x + 1, H - 1), light);
            }
            QCOMPARE(at(W - 2, H - 2), dark);
            QCOMPARE(at(W / 2, H / 2), frame->palette().color(QPalette::Window).rgb() & 0xffffff);
            // The top line runs to the caption and resumes after it.
            QCOMPARE(at(7, top), dark);
            QCOMPARE(at(8, top) == dark, frame->caption().isEmpty());
            QCOMPARE(at(W - 3, top), dark);
        }
    }

    void startUpState()
    {
        TestWindow w;
        QVERIFY(w.c<QRadioButton>("O_Haitatsu5")->isChecked());
        QVERIFY(w.c<QRadioButton>("O_Tsuuchi1")->isChecked());
        for (const char* name : {"O_Haitatsu1", "O_Haitatsu2", "O_Haitatsu3", "O_Haitatsu4", "O_Tsuuchi2"})
            QVERIFY(!w.c<QRadioButton>(name)->isChecked());
        for (const char* name : {"C_1_Samakata", "C_2_Samakata", "C_Goirainushi", "SuujiNyuuryokuBtn", "OnOffBtn"})
            QVERIFY2(!w.c<QAbstractButton>(name)->isChecked(), name);
        QVERIFY(!w.c("C_Goirainushi")->isEnabled());

        const QStringList items{"", "衣類", "雑貨", "精密機械", "電化製品", "食品", "生物", "お菓子", "書類", "本", "食器", "割れ物"};
        for (const char* name : {"c_Hinmei", "c_Hinmei2"}) {
            auto* combo = w.c<QComboBox>(name);
            QStringList got;
            for (int i = 0; i < combo->count(); ++i)
                got << combo->itemText(i);
            QCOMPARE(got, items);
            QCOMPARE(combo->currentIndex(), 0);
            QCOMPARE(combo->currentText(), QString());
        }
        for (const char* name : {"iraiYuubin", "iraiJyuusyo1", "iraiJyuusyo2", "iraiNamae", "iraiSamakata", "iraiDenwa"})
            QCOMPARE(w.c<QComboBox>(name)->count(), 0);
        QCOMPARE(w.c<app::UpDown>("UpDownX")->value(), 0);
        QCOMPARE(w.c<app::UpDown>("UpDownY")->value(), 0);
        QVERIFY(w.messages.shown.empty());
    }

    // The item list drops below its box and a picked entry becomes the
    // text; typed text stays as typed even where it begins an entry.
    void itemDescriptionList()
    {
        TestWindow w;
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        auto* combo = w.c<QComboBox>("c_Hinmei");
        combo->showPopup();
        QWidget* list = combo->view()->window();
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(list->geometry().top(), combo->mapToGlobal(combo->rect().bottomLeft()).y());
        const QRect entry = combo->view()->visualRect(combo->model()->index(7, 0));
        QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, entry.center());
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(combo->currentText(), QStringLiteral("お菓子"));

        // A kana keyboard sends "お" as the key's text.
        QLineEdit* edit = combo->lineEdit();
        combo->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("お"));
        QApplication::sendEvent(edit, &key);
        w.c("c_Hinmei2")->setFocus();
        QCOMPARE(combo->currentText(), QStringLiteral("お"));
    }

    void optionGroupsAreIndependentAndGreyedBoxIgnoresClicks()
    {
        TestWindow w;
        w.form->show();
        QTest::mouseClick(w.c("O_Haitatsu3"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(w.c<QRadioButton>("O_Haitatsu3")->isChecked());
        QVERIFY(!w.c<QRadioButton>("O_Haitatsu5")->isChecked());
        QVERIFY(w.c<QRadioButton>("O_Tsuuchi1")->isChecked());
        QTest::mouseClick(w.c("C_Goirainushi"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!w.c<QCheckBox>("C_Goirainushi")->isChecked());
    }

    // Typing stops at each box's limit; the other boxes and the combo boxes
    // take any length, and typing into a sender combo box adds nothing to
    // its list.
    void typingLimits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("limit");
        QTest::newRow("postal code") << "T_1_Yuubin" << 7;
        QTest::newRow("quantity 1") << "SuuryouBox1" << 3;
        QTest::newRow("quantity 2") << "SuuryouBox2" << 3;
        QTest::newRow("unit price 1") << "TankaBox1" << 5;
        QTest::newRow("unit price 2") << "TankaBox2" << 5;
        QTest::newRow("amount 1") << "KingakuBox1" << 8;
        QTest::newRow("amount 2") << "KingakuBox2" << 8;
        QTest::newRow("total") << "GoukeiBox" << 9;
        QTest::newRow("telephone") << "T_6_Denwaba" << 0;
        QTest::newRow("product number") << "SyouhinBangouBox1" << 0;
        QTest::newRow("offset") << "Sayuu_Xtxt" << 0;
        QTest::newRow("sender postal code") << "iraiYuubin" << 0;
        QTest::newRow("sender address") << "iraiJyuusyo1" << 0;
    }

    void typingLimits()
    {
        QFETCH(QString, name);
        QFETCH(int, limit);
        TestWindow w;
        w.form->show();
        w.c("SuujiNyuuryokuBtn"); // numeric boxes are typed into while shown
        QTest::mouseClick(w.c("SuujiNyuuryokuBtn"), Qt::LeftButton);
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        QWidget* c = w.c(name.toUtf8().constData());
        QWidget* editor = qobject_cast<QComboBox*>(c) ? qobject_cast<QComboBox*>(c)->lineEdit() : c;
        if (auto* e = qobject_cast<QLineEdit*>(editor))
            e->clear();
        const QString typed = QStringLiteral("12345678901234567890");
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Return);
        const QString expected = limit ? typed.left(limit) : typed;
        QCOMPARE(captionOf(c), expected);
        if (auto* combo = qobject_cast<QComboBox*>(c))
            QCOMPARE(combo->count(), 0);
        // A handler's longer text is cut the same way.
        if (auto* e = qobject_cast<QLineEdit*>(c)) {
            e->setText(QStringLiteral("abcdefghijklmnopqrstu"));
            QCOMPARE(e->text().size(), limit ? limit : 21);
        }
    }

    void tabOrder()
    {
        TestWindow w;
        w.form->show();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        w.c("T_1_Yuubin")->setFocus();
        const QStringList expected{
            "T_1_Yuubin", "T_2_Jyuusyo", "T_3_Jyuusyo", "T_4_Namae", "C_1_Samakata", "T_6_Denwaba",
            "iraiYuubin", "iraiJyuusyo1", "iraiJyuusyo2", "iraiNamae", "C_2_Samakata", "iraiDenwa",
            "O_Haitatsu5", "O_Tsuuchi1", "c_Hinmei", "c_Hinmei2", "SuujiNyuuryokuBtn", "InsatsuBtn", "zEndBtn",
            // then the rest in design order, the hidden ones skipped
            "T_clear1", "T_clear2", "OnOffBtn", "SyouhinBangouBox1", "SyouhinBangouBox2", "z_Henkan", "PriDiaBtn",
            "T_1_Yuubin"};
        QStringList got{focusedControl()->objectName()};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            got << focusedControl()->objectName();
        }
        QCOMPARE(got, expected);

        // With the care-of line and the panel shown they join in their places.
        QTest::mouseClick(w.c("C_1_Samakata"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        w.c("C_1_Samakata")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusedControl()->objectName(), QStringLiteral("T_5_Samakata"));
        w.c("zEndBtn")->setFocus();
        QStringList panel;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            panel << focusedControl()->objectName();
        }
        QCOMPARE(panel, (QStringList{"Sayuu_Xtxt", "Jyouge_Ytxt", "UpDownX", "UpDownY", "HozonBtn", "IchiBtn"}));
    }

    void exitQuestion()
    {
        TestWindow w;
        w.form->show();
        w.c<QLineEdit>("T_4_Namae")->setText(QStringLiteral("山田太郎"));
        w.messages.answers = {platform::MsgAnswer::No};
        QTest::mouseClick(w.c("zEndBtn"), Qt::LeftButton);
        QCOMPARE(w.messages.shown.size(), size_t(1));
        const platform::Message& m = w.messages.shown[0];
        QCOMPARE(m.text, QStringLiteral("このプログラムを終了しますか？"));
        QCOMPARE(m.icon, platform::MsgIcon::Question);
        QCOMPARE(m.buttons, platform::MsgButtons::YesNo);
        QCOMPARE(m.defaultButton, platform::MsgAnswer::Yes);
        QCOMPARE(m.caption.value_or(QString()), QStringLiteral(" 　ホルテア　　"));
        QCOMPARE(w.quits, 0);
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.c<QLineEdit>("T_4_Namae")->text(), QStringLiteral("山田太郎"));

        w.messages.answers = {platform::MsgAnswer::Yes};
        QTest::mouseClick(w.c("zEndBtn"), Qt::LeftButton);
        QCOMPARE(w.messages.shown.size(), size_t(2));
        QCOMPARE(w.quits, 1);
    }

    void closeBoxAsksNothing()
    {
        TestWindow w;
        w.form->show();
        QVERIFY(w.form->close());
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(w.quits, 0);
    }

    void secondInstanceRefused()
    {
        TestWindow w(false);
        w.instance.another = true;
        QVERIFY(!w.form->Form_Load());
        QCOMPARE(w.messages.shown.size(), size_t(1));
        const platform::Message& m = w.messages.shown[0];
        QCOMPARE(m.text, QStringLiteral("多重起動できません。"));
        QCOMPARE(m.icon, platform::MsgIcon::Warning);
        QCOMPARE(m.buttons, platform::MsgButtons::Ok);
        QVERIFY(!m.caption.has_value());
        QVERIFY(!w.form->isVisible());
        // The refused start still created the offset files.
        QVERIFY(QFile::exists(w.appFile("vanq_x01.txt")));
        QVERIFY(QFile::exists(w.appFile("vanq_y01.txt")));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
