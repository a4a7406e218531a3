// Entry operations: the amount arithmetic on its own, and through the window
// what only the window does (focus and selection on a refusal, numeric mode,
// care-of lines, clearing and swapping the address blocks).
#include "support.h"

#include "entry/amounts.h"
#include "platform/numtext.h"

#include <QCheckBox>
#include <QInputMethodEvent>

using namespace testing;

class EntryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    // Each row: the four inputs, then amount 1, amount 2 and total; or, for a
    // text that is not a number or a result its box could not hold whole, the
    // refusal naming the input to mend.
    void amounts_data()
    {
        QTest::addColumn<QStringList>("inputs");  // quantity 1, price 1, quantity 2, price 2
        QTest::addColumn<QStringList>("results"); // amount 1, amount 2, total; or the refused input's index
        QTest::newRow("initial zeros") << QStringList{"0", "0", "0", "0"} << QStringList{"0", "0", "0"};
        QTest::newRow("fractions") << QStringList{"1.5", "3", "2", "0.25"} << QStringList{"4.5", "0.5", "5"};
        QTest::newRow("binary fraction") << QStringList{"0.1", "3", "0", "0"} << QStringList{"0.3", "0", "0.3"};
        QTest::newRow("15 significant digits")
            << QStringList{"100", "4.35", "0", "0"} << QStringList{"435", "0", "435"};
        QTest::newRow("largest whole") << QStringList{"999", "99999", "999", "99999"}
                                       << QStringList{"99899001", "99899001", "199798002"};
        QTest::newRow("grouping and blanks") << QStringList{" 2", "1,500 ", "", ""} << QStringList{"3000", "0", "3000"};
        QTest::newRow("negative") << QStringList{"-2", "300", "1", "100"} << QStringList{"-600", "100", "-500"};
        QTest::newRow("letters") << QStringList{"2", "100", "1", "abc"} << QStringList{"3"};
        QTest::newRow("sign alone") << QStringList{"2", "100", "-", "5"} << QStringList{"2"};
        QTest::newRow("amount 1 too long") << QStringList{"1e9", "1e9", "0", "0"} << QStringList{"0"};
        QTest::newRow("amount 1 fraction too long") << QStringList{"3", "1e-9", "0", "0"} << QStringList{"0"};
        QTest::newRow("amount 2 too long") << QStringList{"1", "1", "1e9", "5"} << QStringList{"2"};
        QTest::newRow("total too long") << QStringList{".2", "0.617", "100", "10000"} << QStringList{"0"};
        QTest::newRow("beyond any number") << QStringList{"1", "9e999", "0", "0"} << QStringList{"1"};
        QTest::newRow("infinite product") << QStringList{"1e200", "1e200", "0", "0"} << QStringList{"0"};
    }

    void amounts()
    {
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, results);
        const auto r = entry::calculateAmounts({inputs[0], inputs[1], inputs[2], inputs[3]});
        if (r)
            QCOMPARE((QStringList{r->amount1, r->amount2, r->total}), results);
        else
            QCOMPARE(QStringList{QString::number(r.error().input)}, results);
    }

    // Numbers are written rounded to fifteen significant digits, in the
    // shortest form that reads back as that value, and zero never as "-0".
    void numbersAsWritten()
    {
        const std::pair<double, const char*> written[] = {{-21.0, "-21"},
                                                          {-0.0, "0"},
                                                          {123456789012345.0, "123456789012345"},
                                                          {1234567890123456.0, "1234567890123460"},
                                                          {-1234567890123456.0, "-1234567890123460"},
                                                          {0.1 * 3, "0.3"},
                                                          {-21.375, "-21.375"}};
        for (const auto& [value, text] : written)
            QCOMPARE(platform::numberToText(value), QString::fromLatin1(text));
    }

    // Through the window: the button writes all three results, or on a
    // refusal none (the focus and tip on a refusal are the window test's).
    void totalButton()
    {
        TestWindow w;
        w.click("SuujiNyuuryokuBtn");
        w.type("KingakuBox1", QStringLiteral("77777")); // typed amount: overwritten, not summed
        w.type("SuuryouBox1", QStringLiteral("3"));
        w.type("TankaBox1", QStringLiteral("150"));
        w.type("SuuryouBox2", QStringLiteral("2"));
        w.type("TankaBox2", QStringLiteral("25"));
        w.click("GoukeiBtn");
        QCOMPARE(w.text("KingakuBox1"), QStringLiteral("450"));
        QCOMPARE(w.text("KingakuBox2"), QStringLiteral("50"));
        QCOMPARE(w.text("GoukeiBox"), QStringLiteral("500"));

        w.type("TankaBox2", QStringLiteral("x"));
        w.click("GoukeiBtn");
        QCOMPARE(w.text("KingakuBox2"), QStringLiteral("50"));
        QCOMPARE(w.text("GoukeiBox"), QStringLiteral("500"));
        QVERIFY(w.messages.shown.empty());
    }

    // Numeric mode shows its group (that nothing else appears is the window
    // picture test's); leaving it hides the group and keeps what was typed.
    void numericModeTogglesItsGroup()
    {
        TestWindow w;
        w.click("SuujiNyuuryokuBtn");
        for (const char* name : app::kNumericGroup)
            QVERIFY2(!w.c(name)->isHidden(), name);
        QCOMPARE(w.c<QAbstractButton>("SuujiNyuuryokuBtn")->text(), QStringLiteral("数字の入力"));
        w.type("SuuryouBox1", QStringLiteral("3"));
        w.click("SuujiNyuuryokuBtn");
        for (const char* name : app::kNumericGroup)
            QVERIFY2(w.c(name)->isHidden(), name);
        for (const char* name : {"c_Hinmei", "SyouhinBangouBox2", "SyouhinLb"})
            QVERIFY(!w.c(name)->isHidden());
        w.click("SuujiNyuuryokuBtn");
        QCOMPARE(w.text("SuuryouBox1"), QStringLiteral("3"));
    }

    void careOfLines()
    {
        TestWindow w;
        for (auto [check, field] :
             {std::pair{"C_1_Samakata", "T_5_Samakata"}, std::pair{"C_2_Samakata", "iraiSamakata"}}) {
            w.click(check);
            QWidget* c = w.c(field);
            QVERIFY(!c->isHidden());
            // Japanese arrives from the input method as committed text, where the focus is.
            c->setFocus();
            QInputMethodEvent input;
            input.setCommitString(QStringLiteral("佐藤様方"));
            QApplication::sendEvent(focused(c), &input);
            w.click(check);
            QVERIFY(w.c(field)->isHidden());
            w.click(check);
            QCOMPARE(w.text(field), QStringLiteral("佐藤様方"));
        }
        const waybill::Waybill read = w.form->readWaybill();
        QVERIFY(read.recipient.careOfShown && read.sender.careOfShown);
        QCOMPARE(read.sender.careOf, QStringLiteral("佐藤様方"));
    }

    void clearEmptiesOnlyItsBlock()
    {
        TestWindow w;
        for (int i = 0; i < 6; ++i) {
            w.setText(app::kRecipientFields[i], QStringLiteral("r%1").arg(i));
            w.setText(app::kSenderFields[i], QStringLiteral("s%1").arg(i));
        }
        w.click("C_1_Samakata");
        w.click("T_clear1");
        QCOMPARE(w.form->readWaybill().recipient, (waybill::Address{{}, {}, {}, {}, {}, true, {}}));
        QCOMPARE(w.text("iraiDenwa"), QStringLiteral("s5"));
        QVERIFY(w.c<QCheckBox>("C_1_Samakata")->isChecked());
        w.click("T_clear2");
        QCOMPARE(w.form->readWaybill().sender, waybill::Address{});
    }

    void swap()
    {
        TestWindow w;
        const waybill::Address r{"1000001", "東京都千代田区", "千代田1-1", "山田太郎", "鈴木様方",
                                 false,     "03-1111-2222"};
        const waybill::Address s{"5300001", "大阪府大阪市", "", "株式会社サンプル", "総務部", false, "06-3333-4444"};
        w.form->fillAddress(app::Form1::AddressBlock::Recipient, r);
        w.form->fillAddress(app::Form1::AddressBlock::Sender, s);
        w.click("C_1_Samakata"); // recipient care-of shown, sender's hidden
        w.click("z_Henkan");
        const waybill::Waybill read = w.form->readWaybill();
        QCOMPARE(read.recipient,
                 (waybill::Address{s.postalCode, s.line1, s.line2, s.name, s.careOf, true, s.telephone}));
        QCOMPARE(read.sender, r); // visibility stays with its block
    }
};

QTEST_MAIN(EntryTest)
#include "tst_entry.moc"
