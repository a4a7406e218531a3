// Entry operations through the real window: amounts, numeric input mode,
// care-of lines, clearing and swapping the address blocks.
#include "support.h"

#include "entry/fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QInputMethodEvent>
#include <QLineEdit>

using namespace testing;

namespace {

void click(TestWindow& w, const char* name)
{
    QTest::mouseClick(w.c(name), Qt::LeftButton, {}, QPoint(4, 4));
}

// Types into a box as a user does: select all, then the keys.
void type(TestWindow& w, const char* name, const QString& text)
{
    auto* e = w.c<QLineEdit>(name);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}

struct Shown {
    TestWindow w;
    Shown()
    {
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        click(w, "SuujiNyuuryokuBtn");
    }
};

} // namespace

class EntryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    void amounts_data()
    {
        QTest::addColumn<QStringList>("inputs"); // quantity 1, price 1, quantity 2, price 2
        QTest::addColumn<QStringList>("results"); // amount 1, amount 2, total
        QTest::newRow("initial zeros") << QStringList{"0", "0", "0", "0"} << QStringList{"0", "0", "0"};
        QTest::newRow("whole") << QStringList{"2", "1500", "0", "0"} << QStringList{"3000", "0", "3000"};
        QTest::newRow("3 x 150") << QStringList{"3", "150", "1", "1"} << QStringList{"450", "1", "451"};
        QTest::newRow("fractions") << QStringList{"1.5", "3", "2", "0.25"} << QStringList{"4.5", "0.5", "5"};
        QTest::newRow("binary fraction") << QStringList{"0.1", "3", "0", "0"} << QStringList{"0.3", "0", "0.3"};
        QTest::newRow("largest whole") << QStringList{"999", "99999", "999", "99999"} << QStringList{"99899001", "99899001", "199798002"};
        QTest::newRow("grouping") << QStringList{"2", "1,500", "1", "1,000"} << QStringList{"3000", "1000", "4000"};
        QTest::newRow("negative") << QStringList{"-2", "300", "1", "100"} << QStringList{"-600", "100", "-500"};
        QTest::newRow("blanks around") << QStringList{" 4", "25 ", "", ""} << QStringList{"100", "0", "100"};
        QTest::newRow("empty counts as 0") << QStringList{"", "500", "3", ""} << QStringList{"0", "0", "0"};
    }

    void amounts()
    {
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, results);
        Shown s;
        TestWindow& w = s.w;
        type(w, "KingakuBox1", QStringLiteral("77777")); // typed amount: overwritten, not summed
        const char* boxes[] = {"SuuryouBox1", "TankaBox1", "SuuryouBox2", "TankaBox2"};
        for (int i = 0; i < 4; ++i)
            type(w, boxes[i], inputs[i]);
        click(w, "GoukeiBtn");
        QCOMPARE(w.text("KingakuBox1"), results[0]);
        QCOMPARE(w.text("KingakuBox2"), results[1]);
        QCOMPARE(w.text("GoukeiBox"), results[2]);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(w.text(boxes[i]), inputs[i]); // inputs untouched
        QVERIFY(w.messages.shown.empty());
    }

    // Text that is not a number, or a result its box could not hold whole,
    // writes nothing; the input to mend gets the focus, selected.
    void refusedCalculation_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("focused");
        QTest::newRow("letters in price 2") << QStringList{"2", "100", "1", "abc"} << "TankaBox2";
        QTest::newRow("letters in quantity 1") << QStringList{"x", "100", "1", "5"} << "SuuryouBox1";
        QTest::newRow("sign alone") << QStringList{"2", "100", "-", "5"} << "SuuryouBox2";
        QTest::newRow("amount 1 exponent, too long") << QStringList{"1e9", "1e9", "0", "0"} << "SuuryouBox1";
        QTest::newRow("amount 1 fraction, too long") << QStringList{"3", "1e-9", "0", "0"} << "SuuryouBox1";
        QTest::newRow("amount 2 too long") << QStringList{"1", "1", "1e9", "5"} << "SuuryouBox2";
        QTest::newRow("total too long") << QStringList{".2", "0.617", "100", "10000"} << "SuuryouBox1";
        QTest::newRow("beyond any number") << QStringList{"1", "9e999", "0", "0"} << "TankaBox1";
    }

    void refusedCalculation()
    {
        QFETCH(QStringList, inputs);
        QFETCH(QString, focused);
        Shown s;
        TestWindow& w = s.w;
        const char* boxes[] = {"SuuryouBox1", "TankaBox1", "SuuryouBox2", "TankaBox2"};
        for (int i = 0; i < 4; ++i)
            type(w, boxes[i], inputs[i]);
        type(w, "KingakuBox1", QStringLiteral("11"));
        type(w, "KingakuBox2", QStringLiteral("22"));
        type(w, "GoukeiBox", QStringLiteral("33"));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(w.text(boxes[i]), inputs[i]);
        click(w, "GoukeiBtn");
        QCOMPARE(w.text("KingakuBox1"), QStringLiteral("11"));
        QCOMPARE(w.text("KingakuBox2"), QStringLiteral("22"));
        QCOMPARE(w.text("GoukeiBox"), QStringLiteral("33"));
        auto* box = w.c<QLineEdit>(focused.toLatin1().constData());
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->selectedText(), box->text());
        QVERIFY(w.messages.shown.empty());
    }

    void numericModeShowsExactlyItsGroup()
    {
        TestWindow w;
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const QStringList group{"SuuryouLb", "TankaLb", "KingakuLb", "SuuryouBox1", "Kakeru1Lb", "TankaBox1", "Equal1Lb",
                                "KingakuBox1", "SuuryouBox2", "Kakeru2Lb", "TankaBox2", "Equal2Lb", "KingakuBox2",
                                "GoukeiBox", "GoukeiBtn"};
        QMap<QString, bool> before;
        for (QWidget* c : w.form->findChildren<QWidget*>())
            if (!c->objectName().isEmpty())
                before[c->objectName()] = c->isHidden();

        auto* toggle = w.c<QAbstractButton>("SuujiNyuuryokuBtn");
        click(w, "SuujiNyuuryokuBtn");
        QVERIFY(toggle->isChecked());
        QCOMPARE(toggle->text(), QStringLiteral("数字の入力"));
        for (QWidget* c : w.form->findChildren<QWidget*>()) {
            if (c->objectName().isEmpty() || !before.contains(c->objectName()))
                continue;
            const bool inGroup = group.contains(c->objectName());
            QCOMPARE(c->isHidden(), inGroup ? false : before[c->objectName()]);
        }
        type(w, "SuuryouBox1", QStringLiteral("3"));
        type(w, "KingakuBox2", QStringLiteral("450"));
        click(w, "SuujiNyuuryokuBtn");
        QVERIFY(!toggle->isChecked());
        QCOMPARE(toggle->text(), QStringLiteral("数字の入力"));
        for (const QString& name : group)
            QVERIFY2(w.c(name.toLatin1().constData())->isHidden(), qPrintable(name));
        for (const char* name : {"c_Hinmei", "c_Hinmei2", "SyouhinBangouBox1", "SyouhinBangouBox2", "HinmeiLb", "SyouhinLb"})
            QVERIFY(!w.c(name)->isHidden());
        click(w, "SuujiNyuuryokuBtn");
        QCOMPARE(w.text("SuuryouBox1"), QStringLiteral("3"));
        QCOMPARE(w.text("KingakuBox2"), QStringLiteral("450"));
    }

    void careOfLines()
    {
        TestWindow w;
        w.form->show();
        for (auto [check, field] : {std::pair{"C_1_Samakata", "T_5_Samakata"}, std::pair{"C_2_Samakata", "iraiSamakata"}}) {
            click(w, check);
            QVERIFY(!w.c(field)->isHidden());
            QWidget* c = w.c(field);
            QWidget* editor = qobject_cast<QComboBox*>(c) ? qobject_cast<QComboBox*>(c)->lineEdit() : c;
            // Japanese arrives from the input method as committed text.
            QInputMethodEvent input;
            input.setCommitString(QStringLiteral("佐藤様方"));
            QApplication::sendEvent(editor, &input);
            click(w, check);
            QVERIFY(w.c(field)->isHidden());
            QCOMPARE(w.text(field), QStringLiteral("佐藤様方"));
            click(w, check);
            QVERIFY(!w.c(field)->isHidden());
            QCOMPARE(w.text(field), QStringLiteral("佐藤様方"));
        }
    }

    void clearEmptiesOnlyItsBlock()
    {
        TestWindow w;
        w.form->show();
        const auto& recipient = entry::kRecipientFields;
        const auto& sender = entry::kSenderFields;
        for (int i = 0; i < 6; ++i) {
            w.setText(recipient[i], QStringLiteral("r%1").arg(i));
            w.setText(sender[i], QStringLiteral("s%1").arg(i));
        }
        click(w, "C_1_Samakata");
        click(w, "T_clear1");
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(w.text(recipient[i]), QString());
            QCOMPARE(w.text(sender[i]), QStringLiteral("s%1").arg(i));
        }
        QVERIFY(w.c<QCheckBox>("C_1_Samakata")->isChecked());
        QVERIFY(!w.c("T_5_Samakata")->isHidden());
        click(w, "T_clear2");
        for (int i = 0; i < 6; ++i)
            QCOMPARE(w.text(sender[i]), QString());
        QVERIFY(w.c("iraiSamakata")->isHidden());
    }

    void swap()
    {
        TestWindow w;
        w.form->show();
        const QStringList r{"1000001", "東京都千代田区", "千代田1-1", "山田太郎", "鈴木様方", "03-1111-2222"};
        const QStringList s{"5300001", "大阪府大阪市", "", "株式会社サンプル", "総務部", "06-3333-4444"};
        for (int i = 0; i < 6; ++i) {
            w.setText(entry::kRecipientFields[i], r[i]);
            w.setText(entry::kSenderFields[i], s[i]);
        }
        click(w, "C_1_Samakata"); // recipient care-of shown, sender's hidden
        click(w, "z_Henkan");
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(w.text(entry::kRecipientFields[i]), s[i]);
            QCOMPARE(w.text(entry::kSenderFields[i]), r[i]);
        }
        QVERIFY(!w.c("T_5_Samakata")->isHidden()); // visibility stays with its block
        QVERIFY(w.c("iraiSamakata")->isHidden());
        QVERIFY(w.c<QCheckBox>("C_1_Samakata")->isChecked());
        QVERIFY(!w.c<QCheckBox>("C_2_Samakata")->isChecked());
        click(w, "z_Henkan");
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(w.text(entry::kRecipientFields[i]), r[i]);
            QCOMPARE(w.text(entry::kSenderFields[i]), s[i]);
        }
        // An eight-character sender postal code arrives cut to seven.
        w.setText("iraiYuubin", QStringLiteral("123-4567"));
        click(w, "z_Henkan");
        QCOMPARE(w.text("T_1_Yuubin"), QStringLiteral("123-456"));
        QCOMPARE(w.text("iraiYuubin"), QStringLiteral("1000001"));
    }
};

QTEST_MAIN(EntryTest)
#include "tst_entry.moc"
