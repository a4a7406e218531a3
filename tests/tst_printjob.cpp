// The waybill job against a recording printer: every operation, in order,
// with positions from the designed millimetres.
#include "expect.h"
#include "support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace testing;
using Op = platform::RecordingPrinter::Op;
using OpKind = platform::RecordingPrinter::Kind;

namespace {

constexpr double kTol = 0.01; // twips

QString describe(const Op& op)
{
    return QStringLiteral("%1(%2,%3,%4,'%5')").arg(int(op.kind)).arg(op.a, 0, 'f', 3).arg(op.b, 0, 'f', 3).arg(op.c, 0, 'f', 3).arg(op.text);
}

// The operations one text costs.
void expectText(std::vector<Op>& ops, int points, double x, double y, const QString& text)
{
    ops.push_back({OpKind::FontSize, double(points)});
    ops.push_back({OpKind::CurrentX, x});
    ops.push_back({OpKind::CurrentY, y});
    ops.push_back({OpKind::Print, 0, 0, 0, text});
}

void expectMark(std::vector<Op>& ops, double x, double y)
{
    ops.push_back({OpKind::DrawWidth, 2});
    ops.push_back({OpKind::Circle, x, y, 30.0 * 5.67});
}

bool same(const std::vector<Op>& got, const std::vector<Op>& want, QString* why)
{
    for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
        if (i >= got.size() || i >= want.size()) {
            *why = QStringLiteral("length %1, expected %2").arg(got.size()).arg(want.size());
            return false;
        }
        const Op &g = got[i], &w = want[i];
        if (g.kind != w.kind || qAbs(g.a - w.a) > kTol || qAbs(g.b - w.b) > kTol || qAbs(g.c - w.c) > kTol || g.text != w.text) {
            *why = QStringLiteral("op %1: got %2, expected %3").arg(i).arg(describe(g), describe(w));
            return false;
        }
    }
    return true;
}

std::vector<Op> ofKind(const std::vector<Op>& ops, OpKind kind)
{
    std::vector<Op> out;
    for (const Op& op : ops)
        if (op.kind == kind)
            out.push_back(op);
    return out;
}

// Position and text of every printed text, in order.
struct Placed {
    int points;
    double x, y;
    QString text;
};
std::vector<Placed> placed(const std::vector<Op>& ops)
{
    std::vector<Placed> out;
    int points = 0;
    double x = 0, y = 0;
    for (const Op& op : ops) {
        if (op.kind == OpKind::FontSize) points = int(op.a);
        if (op.kind == OpKind::CurrentX) x = op.a;
        if (op.kind == OpKind::CurrentY) y = op.a;
        if (op.kind == OpKind::Print) out.push_back({points, x, y, op.text});
    }
    return out;
}

void click(TestWindow& w, const char* name)
{
    w.form->show();
    QTest::mouseClick(w.c(name), Qt::LeftButton, {}, QPoint(4, 4));
}

} // namespace

class PrintJobTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    void untouchedWindow()
    {
        TestWindow w;
        click(w, "InsatsuBtn");
        std::vector<Op> want{{OpKind::FontSize, 14}, {OpKind::FontName, 0, 0, 0, QStringLiteral("ＭＳ　P ゴシック")}, {OpKind::FontBold, 0}};
        for (auto block : {std::span(expect::kRecipient), std::span(expect::kSender)})
            for (const expect::Text& t : block)
                if (t.points != 9 && t.points != 8) // care-of lines are hidden
                    expectText(want, t.points, expect::textX(0, t.x_mm), expect::textY(0, t.y_mm), QString());
        expectMark(want, expect::originX(0) + 63.1 * 56.7, expect::originY(0) + 37.2 * 56.7);
        expectMark(want, expect::originX(0) + 158.2 * 56.7, expect::originY(0) + 36.8 * 56.7);
        for (int i = 0; i < 4; ++i)
            expectText(want, 10, expect::textX(0, expect::kGoods[i].x_mm), expect::textY(0, expect::kGoods[i].y_mm), QString());
        want.push_back({OpKind::EndDoc});
        QString why;
        QVERIFY2(same(w.recording.printer.ops, want, &why), qPrintable(why));
        // The designed figures: first box at 68.0 mm / 15.0 mm, marks at
        // 2670.57 / 2194.29 and 8062.74 / 2171.61 twips.
        QVERIFY(qAbs(w.recording.printer.ops[4].a - 3855.6) < kTol);
        QVERIFY(qAbs(w.recording.printer.ops[5].a - 850.5) < kTol);
        const auto circles = ofKind(w.recording.printer.ops, OpKind::Circle);
        QVERIFY(qAbs(circles[0].a - 2670.57) < kTol && qAbs(circles[0].b - 2194.29) < kTol);
        QVERIFY(qAbs(circles[1].a - 8062.74) < kTol && qAbs(circles[1].b - 2171.61) < kTol);
        QVERIFY(w.messages.shown.empty());
    }

    void offsetsMoveEverything_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<double>("firstX");
        QTest::addColumn<double>("firstY");
        QTest::addColumn<double>("ox");
        QTest::addColumn<double>("oy");
        QTest::newRow("0/0") << "0" << "0" << 3855.6 << 850.5 << 0.0 << 0.0;
        QTest::newRow("160/-15: on the corner") << "160" << "-15" << 4762.8 << 765.45 << 160.0 << -15.0;
        QTest::newRow("170/5: 1 mm right, 2 mm down") << "170" << "5" << 4762.8 + 56.7 << 765.45 + 113.4 << 170.0 << 5.0;
        QTest::newRow("fraction") << "160.5" << "-15" << 4762.8 + 2.835 << 765.45 << 160.5 << -15.0;
        QTest::newRow("blanks and grouping") << " 1,000 " << "-1000" << (1000 - 160) * 5.67 + 4762.8 << (-985 * 5.67) + 884.52 - 119.07 << 1000.0 << -1000.0;
    }

    void offsetsMoveEverything()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(double, firstX);
        QFETCH(double, firstY);
        QFETCH(double, ox);
        QFETCH(double, oy);
        TestWindow w;
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(x);
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(y);
        w.form->InsatsuBtn_Click();
        const auto texts = placed(w.recording.printer.ops);
        QVERIFY(qAbs(texts[0].x - firstX) < kTol);
        QVERIFY(qAbs(texts[0].y - firstY) < kTol);
        // Every other item keeps its place relative to the first.
        const expect::Text& last = expect::kGoods[3];
        QVERIFY(qAbs(texts.back().x - expect::textX(ox, last.x_mm)) < kTol);
        QVERIFY(qAbs(texts.back().y - expect::textY(oy, last.y_mm)) < kTol);
        // Marks move with the origin but carry no text shift.
        const auto circles = ofKind(w.recording.printer.ops, OpKind::Circle);
        QVERIFY(qAbs(circles[0].b - (expect::originY(oy) + 37.2 * 56.7)) < kTol);
        QVERIFY(qAbs(circles[0].c - 170.1) < kTol);
    }

    void shiftFollowsSizeReadBack()
    {
        TestWindow w;
        w.recording.printer.reportedFontSize = 14.25;
        w.form->InsatsuBtn_Click();
        const auto texts = placed(w.recording.printer.ops);
        QVERIFY(qAbs(texts[0].y - (85.05 + 884.52 - 21.375 * 5.67)) < kTol);
        // The same shift for every text, whatever its own size.
        for (size_t i = 0; i < 10; ++i)
            QVERIFY(qAbs(texts[i].y - expect::textY(0, expect::kRecipient[i].y_mm, 14.25)) < kTol);
        QVERIFY(qAbs(texts.back().y - expect::textY(0, 96.0, 14.25)) < kTol);
        const auto circles = ofKind(w.recording.printer.ops, OpKind::Circle);
        QVERIFY(qAbs(circles[0].b - 2194.29) < kTol);
    }

    void postalCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("recipientBoxes");
        QTest::addColumn<QStringList>("senderBoxes");
        QTest::newRow("three") << "123" << QStringList{"1", "2", "3", "", "", "", ""} << QStringList{"1", "2", "3", "", "", "", ""};
        QTest::newRow("seven") << "1234567" << QStringList{"1", "2", "3", "4", "5", "6", "7"} << QStringList{"1", "2", "3", "4", "5", "6", "7"};
        // The recipient box holds 7 characters; the sender's takes more and
        // prints only the first seven.
        QTest::newRow("eight") << "12345678" << QStringList{"1", "2", "3", "4", "5", "6", "7"} << QStringList{"1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("hyphen") << "123-4567" << QStringList{"1", "2", "3", "-", "4", "5", "6"} << QStringList{"1", "2", "3", "-", "4", "5", "6"};
        QTest::newRow("full-width") << "１００－０００１" << QStringList{"１", "０", "０", "－", "０", "０", "０"} << QStringList{"１", "０", "０", "－", "０", "０", "０"};
    }

    void postalCodes()
    {
        QFETCH(QString, code);
        QFETCH(QStringList, recipientBoxes);
        QFETCH(QStringList, senderBoxes);
        TestWindow w;
        w.setText("T_1_Yuubin", code);
        w.setText("iraiYuubin", code);
        w.form->InsatsuBtn_Click();
        const auto texts = placed(w.recording.printer.ops);
        for (int n = 0; n < 7; ++n) {
            QCOMPARE(texts[n].text, recipientBoxes[n]);
            QCOMPARE(texts[n].points, 12);
            QVERIFY(qAbs(texts[n].x - expect::textX(0, expect::kRecipient[n].x_mm)) < kTol);
            QCOMPARE(texts[11 + n].text, senderBoxes[n]);
            QCOMPARE(texts[11 + n].points, 10);
            QVERIFY(qAbs(texts[11 + n].x - expect::textX(0, expect::kSender[n].x_mm)) < kTol);
            QVERIFY(qAbs(texts[11 + n].y - expect::textY(0, 64.5)) < kTol);
        }
    }

    void careOfLines_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("text");
        QTest::newRow("shown with text") << true << "田中様方";
        QTest::newRow("shown empty") << true << "";
        QTest::newRow("hidden with text") << false << "田中様方";
        QTest::newRow("hidden empty") << false << "";
    }

    void careOfLines()
    {
        QFETCH(bool, shown);
        QFETCH(QString, text);
        TestWindow w;
        w.setText("T_4_Namae", QStringLiteral("山田 太郎"));
        w.setText("T_5_Samakata", text);
        w.setText("iraiSamakata", text + QStringLiteral("（送）"));
        if (shown) {
            click(w, "C_1_Samakata");
            click(w, "C_2_Samakata");
        }
        w.form->InsatsuBtn_Click();
        const auto texts = placed(w.recording.printer.ops);
        QCOMPARE(texts.size(), size_t(shown ? 28 : 26));
        // After the name, before the telephone, in its own size and place.
        const size_t recipientCareOf = 10, senderCareOf = shown ? 22 : 21;
        QCOMPARE(texts[9].text, QStringLiteral("山田 太郎"));
        if (shown) {
            QCOMPARE(texts[recipientCareOf].text, text);
            QCOMPARE(texts[recipientCareOf].points, 9);
            QVERIFY(qAbs(texts[recipientCareOf].x - expect::textX(0, 90.0)) < kTol);
            QVERIFY(qAbs(texts[recipientCareOf].y - expect::textY(0, 43.5)) < kTol);
            QCOMPARE(texts[senderCareOf].text, text + QStringLiteral("（送）"));
            QCOMPARE(texts[senderCareOf].points, 8);
            QVERIFY(qAbs(texts[senderCareOf].y - expect::textY(0, 86.1)) < kTol);
        } else {
            for (const Placed& p : texts)
                QVERIFY(p.points != 9 && p.points != 8);
        }
    }

    void numericMode_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("off") << false;
        QTest::newRow("on") << true;
    }

    void numericMode()
    {
        QFETCH(bool, on);
        TestWindow w;
        w.setText("c_Hinmei", QStringLiteral("精密機械"));
        w.setText("SyouhinBangouBox2", QStringLiteral("AB-1234"));
        click(w, "SuujiNyuuryokuBtn");
        w.setText("SuuryouBox1", QStringLiteral("5"));
        w.setText("TankaBox2", QStringLiteral("100"));
        w.setText("GoukeiBox", QStringLiteral("999")); // printed as it stands
        if (!on)
            click(w, "SuujiNyuuryokuBtn");
        w.form->InsatsuBtn_Click();
        const auto texts = placed(w.recording.printer.ops);
        QCOMPARE(texts.size(), size_t(on ? 33 : 26));
        const QStringList want{"精密機械", "", "", "AB-1234", "5", "0", "0", "100", "0", "0", "999"};
        for (int i = 0; i < (on ? 11 : 4); ++i) {
            const Placed& p = texts[22 + i];
            QCOMPARE(p.text, want[i]);
            QCOMPARE(p.points, 10);
            QVERIFY(qAbs(p.x - expect::textX(0, expect::kGoods[i].x_mm)) < kTol);
            QVERIFY(qAbs(p.y - expect::textY(0, expect::kGoods[i].y_mm)) < kTol);
        }
        if (on) {
            QVERIFY(qAbs(texts[32].x - 10404.45) < kTol);
            QVERIFY(qAbs(texts[32].y - 5182.38) < kTol);
        }
        QCOMPARE(w.recording.printer.ops.back().kind, OpKind::EndDoc);
    }

    void marks_data()
    {
        QTest::addColumn<QString>("timeOption");
        QTest::addColumn<QString>("noticeOption");
        for (int t = 0; t < 5; ++t)
            for (int n = 5; n < 7; ++n)
                QTest::addRow("%s %s", expect::kMarks[t].option, expect::kMarks[n].option)
                    << expect::kMarks[t].option << expect::kMarks[n].option;
    }

    void marks()
    {
        QFETCH(QString, timeOption);
        QFETCH(QString, noticeOption);
        TestWindow w;
        click(w, timeOption.toLatin1().constData());
        click(w, noticeOption.toLatin1().constData());
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("10"));
        w.form->InsatsuBtn_Click();
        const auto circles = ofKind(w.recording.printer.ops, OpKind::Circle);
        QCOMPARE(circles.size(), size_t(2));
        for (const expect::Mark& m : expect::kMarks) {
            const Op& c = circles[QString::fromLatin1(m.option) == timeOption ? 0 : 1];
            if (QString::fromLatin1(m.option) != timeOption && QString::fromLatin1(m.option) != noticeOption)
                continue;
            QVERIFY(qAbs(c.a - (expect::originX(10) + m.x_mm * 56.7)) < kTol);
            QVERIFY(qAbs(c.b - (expect::originY(0) + m.y_mm * 56.7)) < kTol);
            QVERIFY(qAbs(c.c - 170.1) < kTol);
        }
        QCOMPARE(ofKind(w.recording.printer.ops, OpKind::DrawWidth).size(), size_t(2));
    }

    void badOffsetStopsBeforePrinting_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<QString>("named");
        QTest::newRow("empty horizontal") << "" << "0" << "左右のズレ";
        QTest::newRow("text vertical") << "0" << "abc" << "上下のズレ";
        QTest::newRow("beyond single") << "1e39" << "0" << "左右のズレ";
        QTest::newRow("origin overflows") << "3e38" << "0" << "左右のズレ";
        QTest::newRow("vertical origin overflows") << "0" << "-3.4e38" << "上下のズレ";
    }

    void badOffsetStopsBeforePrinting()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(QString, named);
        TestWindow w;
        w.setText("T_4_Namae", QStringLiteral("山田"));
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(x);
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(y);
        w.form->InsatsuBtn_Click();
        for (const Op& op : w.recording.printer.ops)
            QCOMPARE(op.kind, OpKind::KillDoc); // nothing reached the printer
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY2(w.messages.shown[0].text.contains(named), qPrintable(w.messages.shown[0].text));
        QVERIFY(w.messages.shown[0].text.contains(QStringLiteral("中止")));
        QCOMPARE(w.c<QLineEdit>("Sayuu_Xtxt")->text(), x);
        QCOMPARE(w.c<QLineEdit>("T_4_Namae")->text(), QStringLiteral("山田"));

        // Mended, the next print goes through.
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("0"));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("0"));
        w.recording.printer.ops.clear();
        w.form->InsatsuBtn_Click();
        QCOMPARE(w.recording.printer.ops.back().kind, OpKind::EndDoc);
    }

    void twoClicksTwoIdenticalPagesAndWindowKept()
    {
        TestWindow w;
        w.setText("T_2_Jyuusyo", QStringLiteral("  東京都千代田区  "));
        w.setText("iraiNamae", QStringLiteral("株式会社テスト"));
        w.form->InsatsuBtn_Click();
        const auto first = w.recording.printer.ops;
        w.form->InsatsuBtn_Click();
        const std::vector<Op> second(w.recording.printer.ops.begin() + first.size(), w.recording.printer.ops.end());
        QString why;
        QVERIFY2(same(second, first, &why), qPrintable(why));
        QCOMPARE(placed(first)[7].text, QStringLiteral("  東京都千代田区  ")); // unaltered
        QCOMPARE(w.c<QLineEdit>("T_2_Jyuusyo")->text(), QStringLiteral("  東京都千代田区  "));
        QCOMPARE(w.c<QComboBox>("iraiNamae")->currentText(), QStringLiteral("株式会社テスト"));
        QCOMPARE(w.recording.jobs, 2);
    }
};

QTEST_MAIN(PrintJobTest)
#include "tst_printjob.moc"
