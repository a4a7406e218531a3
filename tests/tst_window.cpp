// The window as the user meets it: its picture against the designed one, the state after start-up, typing, the tab
// order, the item list, reading and filling a waybill, and the two ways out.
#include "expect.h"
#include "glyphs.h"
#include "support.h"

#include "app/books/addressbookwindow.h"
#include "app/tracking/formstackwindow.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/entryfield.h"
#include "app/widgets/frame.h"
#include "app/widgets/updown.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QToolTip>

using namespace testing;

namespace {

QWidget* editorOf(QWidget* c) { return qobject_cast<QComboBox*>(c) ? qobject_cast<QComboBox*>(c)->lineEdit() : c; }

// The edit field of a combo box stands for the combo box.
QString focusedControl()
{
    QWidget* f = QApplication::focusWidget();
    return (qobject_cast<QComboBox*>(f->parentWidget()) ? f->parentWidget() : f)->objectName();
}

// The window's picture against the one kept beside the tests; with HORUTEA_UPDATE_PICTURES=1 the kept one is written
// anew (look at it).
void comparePicture(QWidget& window, const char* name)
{
    const QImage now = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(HORUTEA_TEST_DATA "/window-%1.png").arg(QLatin1String(name));
    if (qEnvironmentVariableIsSet("HORUTEA_UPDATE_PICTURES"))
        QVERIFY(now.save(path));
    const QString saved = QDir::temp().filePath(QStringLiteral("window-%1-now.png").arg(QLatin1String(name)));
    const bool same = now == QImage(path).convertToFormat(QImage::Format_RGB32);
    if (!same)
        now.save(saved);
    QVERIFY2(same, qPrintable(QStringLiteral("the window differs; it now is in ") + saved));
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    // A fresh window: 指定なし and 必要 chosen, care-of lines hidden, numeric mode off, so it reads as a fresh waybill;
    // nothing said.
    void startUp()
    {
        TestWindow w;
        QVERIFY(w.loaded && w.messages.shown.empty());
        QCOMPARE(w.form->windowTitle(), QStringLiteral(" ホルテア(連続伝票用)"));
        QCOMPARE(w.form->minimumSize(), w.form->maximumSize()); // fixed; the size is in its picture
        QVERIFY(!w.form->windowIcon().isNull());
        // Messages in the window's face (ＭＳ Ｐゴシック's stand-in), which its picture shows.
        QMessageBox box(QMessageBox::Question, QStringLiteral("ホルテア"),
                        QStringLiteral("このプログラムを終了しますか？"));
        QCOMPARE(QFontInfo(box.font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(w.form->readWaybill(), waybill::Waybill{});
        for (auto* combo : {w.c<QComboBox>("c_Hinmei"), w.c<QComboBox>("c_Hinmei2")})
            QVERIFY(combo->count() == 12 && combo->itemText(0).isEmpty() &&
                    combo->itemText(7) + combo->itemText(11) == QStringLiteral("お菓子割れ物"));
        // The option groups are independent; the greyed box ignores clicks.
        w.click("O_Haitatsu3");
        QVERIFY(!w.c<QRadioButton>("O_Haitatsu5")->isChecked() && w.c<QRadioButton>("O_Tsuuchi1")->isChecked());
        QCOMPARE(w.form->readWaybill().deliveryTime, waybill::DeliveryTime::Evening);
        w.click("C_Goirainushi");
        QVERIFY(!w.c("C_Goirainushi")->isEnabled() && !w.c<QCheckBox>("C_Goirainushi")->isChecked());

        // The item list drops below its box and a picked entry becomes the text; typed text stays as typed even where
        // it begins an entry.
        auto* combo = w.c<QComboBox>("c_Hinmei");
        combo->showPopup();
        QWidget* list = combo->view()->window();
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(list->geometry().top(), combo->mapToGlobal(combo->rect().bottomLeft()).y());
        QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {},
                          combo->view()->visualRect(combo->model()->index(7, 0)).center());
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(w.form->readWaybill().goods[0].description, QStringLiteral("お菓子"));

        type(combo, QString());
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("お")); // a kana keyboard
        QApplication::sendEvent(QApplication::focusWidget(), &key);
        w.c("c_Hinmei2")->setFocus();
        QCOMPARE(combo->currentText(), QStringLiteral("お"));
    }

    // What the user sees, pixel for pixel: after start-up, and with every hidden part shown (numeric mode, the panel,
    // both care-of lines).
    void pictureAndNoOverlap()
    {
        TestWindow w;
        w.showActive();
        // The next form's line is filled once the window is up, not before its first paint.
        QTRY_VERIFY(!w.form->findChild<QLabel*>(QStringLiteral("nextFormLabel"))->text().isEmpty());
        comparePicture(*w.form, "start");
        for (const char* name :
             {"SuujiNyuuryokuBtn", "OnOffBtn", "C_1_Samakata", "C_2_Samakata", "O_Haitatsu3", "O_Tsuuchi2"})
            w.click(name);
        w.form->setFocus();
        comparePicture(*w.form, "all-shown");

        // Controls stay within their containers and never cover one another.
        for (QWidget* container : w.form->findChildren<QWidget*>()) {
            QList<QWidget*> kids;
            for (QObject* o : container->children())
                if (auto* k = qobject_cast<QWidget*>(o); k && !k->isHidden() && !k->objectName().isEmpty() &&
                                                         !qobject_cast<app::Frame*>(k) && container != w.form.get())
                    kids << k;
            for (int i = 0; i < kids.size(); ++i) {
                QVERIFY2(container->rect().contains(kids[i]->geometry()), qPrintable(kids[i]->objectName()));
                // Neighbouring option buttons share their one-pixel edge.
                for (int j = i + 1; j < kids.size(); ++j)
                    QVERIFY2(kids[i]->geometry().intersected(kids[j]->geometry()).width() <= 1,
                             qPrintable(kids[i]->objectName() + QStringLiteral(" / ") + kids[j]->objectName()));
            }
        }
    }

    // Typing stops at each box's limit; the other boxes and the combo boxes take any length, and typing into a combo
    // box adds nothing to its list.
    void typingLimits()
    {
        TestWindow w;
        w.click("SuujiNyuuryokuBtn");
        w.click("OnOffBtn");
        const QString typed = QStringLiteral("12345678901234567890");
        const std::pair<const char*, int> limits[] = {
            {"SuuryouBox2", 3},  {"TankaBox1", 5},          {"KingakuBox2", 8}, {"GoukeiBox", 9},
            {"T_6_Denwaba", 20}, {"SyouhinBangouBox1", 20}, {"Sayuu_Xtxt", 20}, {"iraiJyuusyo1", 20}};
        for (const auto& [name, limit] : limits) {
            w.type(name, typed);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // leaving the box keeps the text
            QVERIFY2(w.text(name) == typed.left(limit), name);
        }
        QCOMPARE(w.c<QComboBox>("iraiJyuusyo1")->count(), 0);
    }

    void tabOrder()
    {
        TestWindow w;
        w.showActive();
        auto walk = [&](const char* from, int steps) {
            w.c(from)->setFocus();
            QStringList got{focusedControl()};
            while (steps-- > 0)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab), got << focusedControl();
            return got;
        };
        const QStringList expected{
            "T_1_Yuubin", "T_2_Jyuusyo", "T_3_Jyuusyo", "T_4_Namae", "C_1_Samakata", "T_6_Denwaba", "iraiYuubin",
            "iraiJyuusyo1", "iraiJyuusyo2", "iraiNamae", "C_2_Samakata", "iraiDenwa", "O_Haitatsu5", "O_Tsuuchi1",
            "c_Hinmei", "c_Hinmei2", "SuujiNyuuryokuBtn", "InsatsuBtn", "zEndBtn",
            // then the rest in design order, the hidden ones skipped
            "T_clear1", "T_clear2", "OnOffBtn", "SyouhinBangouBox1", "SyouhinBangouBox2", "z_Henkan", "PriDiaBtn",
            // the commands of the bottom-left frame last
            "addressBookButton", "historyButton", "batchButton", "previewButton", "formStackButton", "T_1_Yuubin"};
        QCOMPARE(walk("T_1_Yuubin", int(expected.size()) - 1), expected);

        // Shown parts join in their places: the care-of line after its box, the panel after 終了, the numeric boxes
        // after the window's frames.
        for (const char* name : {"C_1_Samakata", "OnOffBtn", "SuujiNyuuryokuBtn"})
            w.click(name);
        QCOMPARE(walk("C_1_Samakata", 1).last(), QStringLiteral("T_5_Samakata"));
        QCOMPARE(walk("zEndBtn", 6).mid(1),
                 (QStringList{"Sayuu_Xtxt", "Jyouge_Ytxt", "UpDownX", "UpDownY", "HozonBtn", "IchiBtn"}));
        QCOMPARE(walk("OnOffBtn", 10).mid(1),
                 (QStringList{"SuuryouBox1", "SuuryouBox2", "TankaBox1", "TankaBox2", "KingakuBox1", "KingakuBox2",
                              "GoukeiBox", "SyouhinBangouBox1", "SyouhinBangouBox2", "GoukeiBtn"}));
    }

    // Filling the window from a waybill and reading it back gives the same waybill; boxes keep to their lengths as
    // typing does.
    void fillAndRead()
    {
        TestWindow w;
        waybill::Waybill filled = expect::filledWaybill();
        filled.sender.careOfShown = false;
        w.form->fillFrom(filled);
        QCOMPARE(w.form->readWaybill(), filled); // the sender's care-of line hidden, its text kept
        QVERIFY(w.c<QCheckBox>("C_1_Samakata")->isChecked() && !w.c("T_5_Samakata")->isHidden() &&
                w.c("iraiSamakata")->isHidden());
        QVERIFY(!w.c("GoukeiBtn")->isHidden());
        filled.goods[1].quantity = QStringLiteral("12345");
        filled.numericMode = false;
        w.form->fillFrom(filled);
        QVERIFY(w.form->readWaybill().goods[1].quantity == QStringLiteral("123") && w.c("GoukeiBtn")->isHidden());
    }

    // Text pasted with line breaks and tabs shows and prints with spaces.
    void pastedLineBreaksBecomeSpaces()
    {
        TestWindow w;
        for (const char* name : {"T_2_Jyuusyo", "iraiNamae"}) {
            QApplication::clipboard()->setText(QStringLiteral("東京都\r\n千代田区\t1-1\n"));
            w.type(name, QString());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(w.text(name), QStringLiteral("東京都 千代田区 1-1 "));
        }
        w.setText("T_3_Jyuusyo", QStringLiteral("a\nb"));
        QCOMPARE(w.text("T_3_Jyuusyo"), QStringLiteral("a b"));
        w.setText("T_4_Namae", QStringLiteral("山田"));
        w.messages.answers = {desktop::MsgAnswer::Yes}; // このまま印刷: no postal code
        w.click("InsatsuBtn");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        const auto& texts = w.recording.lastPage().texts;
        QVERIFY(std::any_of(texts.begin(), texts.end(), [](const print::PageText& t) {
            return t.text == QStringLiteral("a b"); // printed as shown
        }));
    }

    // A postal code box holds seven characters, counted as a reader counts them, or eight when a hyphen follows the
    // third digit; it prints whole characters, the hyphen in no box.
    void postalCodeFields()
    {
        TestWindow w;
        w.type("T_1_Yuubin", QStringLiteral("12345678"));
        QCOMPARE(w.text("T_1_Yuubin"), QStringLiteral("1234567"));
        w.type("T_1_Yuubin", QStringLiteral("123-45678"));
        QCOMPARE(w.text("T_1_Yuubin"), QStringLiteral("123-4567"));
        w.type("iraiYuubin", QStringLiteral("530ー0001"));
        w.setText("T_2_Jyuusyo", QStringLiteral("東京都千代田区"));
        w.setText("T_4_Namae", QStringLiteral("山田"));
        w.messages.answers = {desktop::MsgAnswer::Yes};
        w.click("InsatsuBtn");
        // The hyphens in no box: the fourth box of each block, the seventh of the sender's.
        QVERIFY(w.recording.lastPage().texts[3].text == QStringLiteral("4") &&
                w.recording.lastPage().texts[17].text == QStringLiteral("1"));

        const QString yoshi = QStringLiteral("𠮷");
        w.type("T_1_Yuubin", yoshi.repeated(8));
        QCOMPARE(w.text("T_1_Yuubin"), yoshi.repeated(7));
        w.setText("T_1_Yuubin", QStringLiteral("1\u0301") + yoshi.repeated(9));
        QCOMPARE(w.text("T_1_Yuubin"), QStringLiteral("1\u0301") + yoshi.repeated(6));
        w.messages.answers = {desktop::MsgAnswer::Yes};
        w.click("InsatsuBtn");
        QVERIFY(w.recording.lastPage().texts[0].text == QStringLiteral("1\u0301") &&
                w.recording.lastPage().texts[6].text == yoshi);
    }

    // Where the input method is off, the field says so when the input method asks, and digits that arrive full-width
    // anyway (committed or pasted) are kept, shown, computed and printed as ASCII.
    void numberFieldsRefuseTheInputMethod()
    {
        TestWindow w;
        w.click("SuujiNyuuryokuBtn");
        w.click("OnOffBtn");
        const std::pair<const char*, bool> inputMethodOn[] = {
            {"T_1_Yuubin", false},  {"T_6_Denwaba", false}, {"iraiYuubin", false}, {"iraiDenwa", false},
            {"SuuryouBox1", false}, {"TankaBox2", false},   {"GoukeiBox", false},  {"Sayuu_Xtxt", false},
            {"T_2_Jyuusyo", true},  {"iraiNamae", true}};
        for (const auto& [name, on] : inputMethodOn)
            QVERIFY2(editorOf(w.c(name))->inputMethodQuery(Qt::ImEnabled).toBool() == on, name);
        w.type("SuuryouBox1", QString());
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("１２"));
        QApplication::sendEvent(w.c("SuuryouBox1"), &commit);
        QApplication::clipboard()->setText(QStringLiteral("１，５００"));
        w.type("TankaBox1", QString());
        QTest::keyClick(w.c("TankaBox1"), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(w.text("SuuryouBox1") == QStringLiteral("12") && w.text("TankaBox1") == QStringLiteral("1,500"));
        w.click("GoukeiBtn");
        QCOMPARE(w.text("GoukeiBox"), QStringLiteral("18000"));
        // Typed: turned in number fields, kept as typed in text fields.
        for (const auto& [name, typed, kept] :
             {std::tuple("T_6_Denwaba", "０３－１２３４", "03-1234"), std::tuple("Sayuu_Xtxt", "－１５．５", "-15.5"),
              std::tuple("T_4_Namae", "ＡＢＣ１２３", "ＡＢＣ１２３")}) {
            w.type(name, QString::fromUtf8(typed));
            QCOMPARE(w.text(name), QString::fromUtf8(kept));
        }
    }

    // A complete postal code offers its address in the empty first line; the down-arrow key takes it, and typing as
    // before gives exactly what was typed.
    void postalCodeOffersItsAddress()
    {
        TestWindow w;
        w.type("T_1_Yuubin", QStringLiteral("100-0001"));
        auto* line1 = w.c<QLineEdit>("T_2_Jyuusyo");
        QVERIFY(line1->text().isEmpty() && line1->placeholderText().contains(QStringLiteral("東京都千代田区千代田")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(line1->text(), QStringLiteral("東京都千代田区千代田"));
        w.type("T_3_Jyuusyo", QStringLiteral("1-1"));
        w.type("T_4_Namae", QStringLiteral("山田"));
        w.messages.answers = {desktop::MsgAnswer::Yes}; // no sender
        w.click("InsatsuBtn");
        QCOMPARE(w.recording.lastPage().texts[7].text, QStringLiteral("東京都千代田区千代田"));

        // The same keys, the offer not taken: the text as typed.
        TestWindow plain;
        plain.type("T_1_Yuubin", QStringLiteral("100-0001"));
        plain.type("T_2_Jyuusyo", QStringLiteral("ab"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), plain.c("T_3_Jyuusyo"));
        QCOMPARE(plain.form->readWaybill().recipient.line1, QStringLiteral("ab"));

        // The sender block alike, its fields being combo boxes (with saved
        // senders in their lists); a code of two prefectures gives a list.
        w.c<QComboBox>("iraiJyuusyo1")->addItem(QStringLiteral("保存した住所"));
        w.setText("iraiJyuusyo1", QString());
        w.type("iraiYuubin", QStringLiteral("5300001"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(w.text("iraiJyuusyo1"), QStringLiteral("大阪府大阪市北区梅田"));
        w.setText("iraiJyuusyo1", QString());
        w.type("iraiYuubin", QStringLiteral("4980000"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTimer::singleShot(0, [] { // the list's second entry
            for (Qt::Key key : {Qt::Key_Down, Qt::Key_Return})
                QTest::keyClick(QApplication::activePopupWidget(), key);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(w.text("iraiJyuusyo1"), QStringLiteral("三重県桑名郡木曽岬町"));
        // An unknown code offers nothing, and the arrow does nothing.
        w.type("T_1_Yuubin", QStringLiteral("0000000"));
        w.setText("T_2_Jyuusyo", QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY(line1->text().isEmpty() && !line1->placeholderText().contains(QStringLiteral("↓")));
        // Without the data file: said once, naming the file.
        TestWindow bare;
        bare.station->setPostalDataFile(bare.dir.filePath(QStringLiteral("missing.bin")));
        for (const QString& code : {QStringLiteral("100-0001"), QStringLiteral("100-0002")})
            bare.type("T_1_Yuubin", code);
        QVERIFY(bare.messages.shown.size() == 1 && bare.messages.last().contains(QStringLiteral("missing.bin")));
    }

    // 印刷 first checks what a list's row is checked for. A waybill without a recipient's name or address is refused
    // outright: no numbered form is spent on it, whatever the answer. One with findings is printed only on
    // このまま印刷, each finding named, a missing sender among them; a clean one prints at once, asking nothing.
    void printChecksTheWaybill()
    {
        TestWindow empty;
        empty.type("T_1_Yuubin", QStringLiteral("1000001"));
        empty.messages.answers = {desktop::MsgAnswer::Yes, desktop::MsgAnswer::Yes};
        empty.click("InsatsuBtn");
        QVERIFY(empty.recording.attempts == 0 && empty.messages.shown.size() == 1);
        const desktop::Message refused = empty.messages.shown[0];
        QVERIFY(refused.buttons == desktop::MsgButtons::Ok && refused.icon == desktop::MsgIcon::Warning);
        for (const char* reason : {"お届け先の住所がありません", "お届け先の名前がありません", "印刷できません"})
            QVERIFY2(refused.text.contains(QString::fromUtf8(reason)), qPrintable(refused.text));
        empty.type("T_4_Namae", QStringLiteral("山田"));
        empty.click("InsatsuBtn");
        QVERIFY(empty.recording.attempts == 0 && empty.messages.last().contains(QStringLiteral("住所がありません")) &&
                !empty.messages.last().contains(QStringLiteral("名前がありません")));

        TestWindow w;
        w.type("T_1_Yuubin", QStringLiteral("12ab-3"));
        w.type("T_2_Jyuusyo", QStringLiteral("東京都千代田区"));
        w.type("iraiYuubin", QStringLiteral("1OO-0001"));
        const QString none = characterNoFaceHas();
        w.type("T_4_Namae", QStringLiteral("山田%1株式会社東日本営業本部第一営業部第二課御中").arg(none));
        w.click("SuujiNyuuryokuBtn");
        for (const auto& [box, typed] : {std::pair("SuuryouBox1", "3"), std::pair("TankaBox1", "9000"),
                                         std::pair("KingakuBox1", "18000"), std::pair("T_6_Denwaba", "03-12")})
            w.type(box, QString::fromLatin1(typed));
        w.click("InsatsuBtn");
        QVERIFY(w.recording.attempts == 0 && w.messages.shown.size() == 1); // 戻る is the default
        const desktop::Message asked = w.messages.shown[0];
        QVERIFY(asked.buttons == desktop::MsgButtons::YesNo && asked.defaultButton == desktop::MsgAnswer::No &&
                asked.yesText == QStringLiteral("このまま印刷") && asked.noText == QStringLiteral("戻る"));
        for (const char* finding : {"「お届け先」の郵便番号「12ab-3」", "「ご依頼主」の郵便番号「1OO-0001」",
                                    "「お届け先」の電話番号「03-12」", "金額1が「18000」", "「27000」", "合計が「0」",
                                    "ご依頼主の名前がありません", "ご依頼主の住所がありません"})
            QVERIFY2(asked.text.contains(QString::fromUtf8(finding)), qPrintable(asked.text));
        QVERIFY2(asked.text.contains(QStringLiteral("お届け先の名前の「%1」").arg(none)), qPrintable(asked.text));
        // The long name is fitted, not a finding: a note after the question.
        QVERIFY2(asked.text.contains(QStringLiteral("収めます。\n・お届け先の名前は幅 ")), qPrintable(asked.text));

        // "x7" as a quantity: named, and printed as it stands on このまま印刷.
        w.type("SuuryouBox1", QStringLiteral("x7"));
        w.messages.answers = {desktop::MsgAnswer::Yes};
        w.click("InsatsuBtn");
        QVERIFY(w.messages.last().contains(QStringLiteral("数量1の「x7」は数として読めません")) &&
                w.recording.documents.size() == 1);

        // Mended, the next print asks nothing.
        TestWindow clean;
        clean.form->fillFrom(
            {.recipient = expect::filledWaybill().recipient, .sender = expect::filledWaybill().sender});
        clean.click("InsatsuBtn");
        QVERIFY(clean.messages.shown.empty() && clean.recording.documents.size() == 1);
    }

    // Every number box shows the longest value it takes, whole, in its designed size: after typing it, its first and
    // last characters lie inside the box's frame.
    void numberBoxesShowTheirLongestValues()
    {
        TestWindow w;
        w.click("SuujiNyuuryokuBtn");
        w.click("OnOffBtn");
        for (const auto& [name, longest] : {std::pair("SuuryouBox1", "999"), std::pair("TankaBox1", "12000"),
                                            std::pair("TankaBox2", "99999"), std::pair("KingakuBox1", "99999999"),
                                            std::pair("GoukeiBox", "999999999"), std::pair("T_1_Yuubin", "123-4567"),
                                            std::pair("Sayuu_Xtxt", "-1000"), std::pair("Jyouge_Ytxt", "-1000")}) {
            w.type(name, QString::fromLatin1(longest));
            auto* box = w.c<QLineEdit>(name);
            QCOMPARE(box->text(), QString::fromLatin1(longest));
            box->grab(); // laid out as painted
            const int end = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
            const int start = end - box->fontMetrics().horizontalAdvance(box->text());
            QVERIFY2(start >= 1 && end < box->width() - 1,
                     qPrintable(QStringLiteral("%1: %2..%3 of %4").arg(name).arg(start).arg(end).arg(box->width())));
        }
    }

    // A box's font for when it is shown: a shown box takes it at once, a hidden one at its first show and keeps it
    // after; until then the hidden one keeps its own, so a box that starts hidden costs the first paint no face.
    void fontWhenShown()
    {
        QWidget window;
        auto* hidden = new app::EntryField(app::EntryField::Kind::Numbers, &window);
        hidden->hide();
        auto* shown = new app::EntryField(app::EntryField::Kind::Numbers, &window);
        window.show();
        const QString own = shown->font().family();
        QFont narrow = shown->font();
        narrow.setFamily(own == QStringLiteral("IPAGothic") ? QStringLiteral("IPAPGothic")
                                                            : QStringLiteral("IPAGothic"));
        shown->setFontWhenShown(narrow);
        QCOMPARE(shown->font().family(), narrow.family());
        hidden->setFontWhenShown(narrow);
        QCOMPARE(hidden->font().family(), own);
        hidden->show();
        QCOMPARE(hidden->font().family(), narrow.family());
        hidden->hide();
        hidden->show();
        QCOMPARE(hidden->font().family(), narrow.family());
    }

    // 合計 refused: the beep, the refused box chosen with its text selected, and a tip under it saying which box and
    // why.
    void totalRefusalSaysWhy()
    {
        TestWindow w;
        w.click("SuujiNyuuryokuBtn");
        w.type("SuuryouBox2", QStringLiteral("x7"));
        w.type("TankaBox2", QStringLiteral("100"));
        w.click("GoukeiBtn");
        auto* refused = w.c<QLineEdit>("SuuryouBox2");
        QVERIFY(QApplication::focusWidget() == refused && refused->selectedText() == QStringLiteral("x7") &&
                w.text("KingakuBox2") == QStringLiteral("0"));
        QTRY_VERIFY(QToolTip::isVisible() &&
                    QToolTip::text().contains(QStringLiteral("数量2の「x7」は数として読めません")));
        // Pointed at later, the box says it again, until it is mended.
        QVERIFY(refused->toolTip() == QToolTip::text());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
        QVERIFY(refused->toolTip().isEmpty());
    }

    // F2 to F6 open (or bring to the front) the address book, the history, the batch, the preview and the stack of
    // forms from any of the program's windows, pressed where the focus is; F6 is 伝票 in the preview too.
    void functionKeysFromEveryWindow()
    {
        TestWindow w;
        w.showActive();
        const std::pair<Qt::Key, const char*> keys[] = {
            {Qt::Key_F2, "AddressBookWindow"}, {Qt::Key_F3, "HistoryWindow"},    {Qt::Key_F4, "BatchWindow"},
            {Qt::Key_F5, "PreviewWindow"},     {Qt::Key_F6, "FormStackWindow"},  {Qt::Key_F5, "PreviewWindow"},
            {Qt::Key_F6, "FormStackWindow"},   {Qt::Key_F2, "AddressBookWindow"}};
        for (const auto& [key, window] : keys) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow(),
                            key);
            QTRY_COMPARE(QApplication::activeWindow()->objectName(), QString::fromLatin1(window));
        }
    }

    // Enter presses the focused button, as on Windows, in the main window and in every other window; on a box it
    // ticks nothing.
    void enterPressesTheFocusedButton()
    {
        TestWindow w;
        w.showActive();
        w.c("C_1_Samakata")->setFocus();
        QTest::keyClick(w.c("C_1_Samakata"), Qt::Key_Return);
        QVERIFY(!w.c<QCheckBox>("C_1_Samakata")->isChecked() && w.messages.shown.empty());
        w.c("zEndBtn")->setFocus();
        QTest::keyClick(w.c("zEndBtn"), Qt::Key_Return);
        QVERIFY(w.messages.shown.size() == 1 && w.messages.last() == app::kExitQuestion);
        w.c("addressBookButton")->setFocus();
        QTest::keyClick(w.c("addressBookButton"), Qt::Key_Enter, Qt::KeypadModifier);
        QWidget* book = w.form->findChild<app::AddressBookWindow*>();
        QTRY_VERIFY(book && book->isActiveWindow());
        auto* close = book->findChild<QPushButton*>(QStringLiteral("close"));
        close->setFocus();
        QTest::keyClick(close, Qt::Key_Return);
        QVERIFY(!book->isVisible());
    }

    // On a 1366 x 768 screen the main window is as designed, and every window its function keys open lies wholly on
    // the screen with room for its title bar; the book and the stack of forms leave the block being typed in clear.
    void everyWindowFitsASmallScreen()
    {
        TestWindow w;
        w.showActive();
        const QRect screen = w.form->screen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(1366, 768));
        QCOMPARE(w.form->size(), QSize(725, 506));
        for (const auto& [block, field] : {std::pair("Frame1(0)", "T_4_Namae"), std::pair("Frame1(1)", "iraiNamae")}) {
            w.c(field)->setFocus();
            QCOMPARE(w.form->partInUseOnScreen(), QRect(w.c(block)->mapToGlobal(QPoint(0, 0)), w.c(block)->size()));
            for (const Qt::Key key : {Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F9}) {
                QTest::keyClick(QApplication::focusWidget(), key);
                QWidget* opened = nullptr;
                QTRY_VERIFY((opened = QApplication::activeWindow()) && opened != w.form.get());
                QVERIFY2(screen.contains(opened->frameGeometry()) &&
                             opened->height() + app::kTitleBarRoomPx <= screen.height(),
                         qPrintable(QStringLiteral("%1 %2,%3 %4x%5 (window %6x%7)")
                                        .arg(opened->objectName())
                                        .arg(opened->frameGeometry().x())
                                        .arg(opened->frameGeometry().y())
                                        .arg(opened->frameGeometry().width())
                                        .arg(opened->frameGeometry().height())
                                        .arg(opened->width())
                                        .arg(opened->height())));
                const QString name = opened->objectName();
                if (name == QStringLiteral("AddressBookWindow") || name == QStringLiteral("FormStackWindow"))
                    QVERIFY2(!opened->frameGeometry().intersects(w.form->partInUseOnScreen()), qPrintable(name));
                opened->close();
                w.showActive();
                w.c(field)->setFocus();
            }
            // Closed windows open where they were left: forgotten, to be placed for the other block.
            QFile::remove(w.station->folders().settingsFile());
            w.rebuild();
            QVERIFY(w.form->Form_Load());
            w.showActive();
        }
    }

    // A window of the program opens beside the main window where there is room, else beside the part being worked
    // on, smaller if it must, never over it, always on the screen; where the user leaves it, it opens again, in this
    // run and the next.
    void childWindowsOpenBesideAndRemember()
    {
        using app::Placement;
        const QRect screen(0, 0, 1920, 1080), owner(100, 200, 725, 506), none;
        QCOMPARE(app::placeBeside(owner, none, {780, 500}, {300, 200}, screen), (Placement{{833, 200}, {780, 500}}));
        QCOMPARE(app::placeBeside(owner.translated(1000, 0), none, {780, 500}, {300, 200}, screen),
                 (Placement{{312, 200}, {780, 500}}));
        // A laptop: no room beside the main window; the book goes right of the block, narrower.
        const QRect laptop(0, 0, 1366, 768), centred(320, 111, 725, 546), block(328, 155, 409, 217);
        const Placement book = app::placeBeside(centred, block, {780, 540}, {500, 400}, laptop);
        QVERIFY(laptop.contains(QRect(book.topLeft, book.size)) && !QRect(book.topLeft, book.size).intersects(block));
        QCOMPARE(book, (Placement{{745, 111}, {621, 540}}));
        // Below a block at the top when that leaves more of it.
        const Placement wide = app::placeBeside(centred, block, {1040, 300}, {600, 200}, laptop);
        QCOMPARE(wide, (Placement{{320, 380}, {1040, 300}}));
        // Too large to leave it clear: over the main window, kept on the screen and no larger than it.
        const Placement batch = app::placeBeside(centred, block, {1180, 800}, {900, 600}, laptop);
        QCOMPARE(batch, (Placement{{186, 0}, {1180, 768}}));

        TestWindow w;
        w.showActive();
        QWidget* stack = app::showFormStack(*w.form, *w.services);
        const QRect free = w.form->screen()->availableGeometry();
        QVERIFY(!stack->frameGeometry().intersects(w.form->partInUseOnScreen()) &&
                free.contains(stack->frameGeometry()));
        const QRect left(free.topLeft() + QPoint(31, 42), QSize(500, 250));
        stack->setGeometry(left);
        stack->close();
        w.rebuild(); // the next run
        QVERIFY(w.form->Form_Load());
        w.showActive();
        QCOMPARE(app::showFormStack(*w.form, *w.services)->geometry(), left);
    }

    void exitQuestion()
    {
        TestWindow w;
        w.setText("T_4_Namae", QStringLiteral("山田太郎"));
        w.messages.answers = {desktop::MsgAnswer::No};
        w.click("zEndBtn");
        QCOMPARE(w.messages.shown.size(), size_t(1));
        const desktop::Message m = w.messages.shown[0];
        QVERIFY(m.text == QStringLiteral("このプログラムを終了しますか？") &&
                m.caption == QStringLiteral(" 　ホルテア　　"));
        QVERIFY(m.icon == desktop::MsgIcon::Question && m.buttons == desktop::MsgButtons::YesNo &&
                m.defaultButton == desktop::MsgAnswer::Yes);
        QVERIFY(w.quits == 0 && w.text("T_4_Namae") == QStringLiteral("山田太郎"));
        w.messages.answers = {desktop::MsgAnswer::Yes};
        w.click("zEndBtn");
        QCOMPARE(w.quits, 1);
        QVERIFY(w.form->close() && w.messages.shown.size() == 2); // the close box asks nothing
    }

    void secondInstanceRefused()
    {
        TestWindow w(false);
        w.instance.another = true;
        QVERIFY(!w.form->Form_Load());
        QVERIFY(w.messages.shown.size() == 1 && !w.form->isVisible());
        const desktop::Message& m = w.messages.shown[0];
        QVERIFY(m.text == QStringLiteral("多重起動できません。") && m.icon == desktop::MsgIcon::Warning && !m.caption);
        // The refused start still created the offset files.
        QVERIFY(QFile::exists(w.appFile("vanq_x01.txt")) && QFile::exists(w.appFile("vanq_y01.txt")));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
