// The waybill print job on its value type, against a printer that logs its
// operations: the numeric model (single precision, the font shift read back,
// checked arithmetic) and the order of operations, with every position from
// the designed millimetres.
#include "doubles.h"
#include "expect.h"

#include "adjust/testprint.h"
#include "platform/fonts.h"
#include "print/printjob.h"

#include <QTest>
#include <span>

using namespace testing;
using Op = RecordingPrinter::Op;
using OpKind = RecordingPrinter::Kind;
using waybill::Waybill;

namespace {

constexpr double kTol = 0.01; // twips

struct Placed {
    int points;
    double x, y;
    QString text;
};

// Position, size and text of every printed text, in order.
std::vector<Placed> placed(const std::vector<Op>& ops)
{
    std::vector<Placed> out;
    int points = 0;
    double x = 0, y = 0;
    for (const Op& op : ops) {
        if (op.kind == OpKind::FontSize)
            points = int(op.a);
        if (op.kind == OpKind::CurrentX)
            x = op.a;
        if (op.kind == OpKind::CurrentY)
            y = op.a;
        if (op.kind == OpKind::Print)
            out.push_back({points, x, y, op.text});
    }
    return out;
}

std::vector<Op> circles(const std::vector<Op>& ops)
{
    std::vector<Op> out;
    for (const Op& op : ops)
        if (op.kind == OpKind::Circle)
            out.push_back(op);
    return out;
}

std::vector<Op> run(const Waybill& w, float x = 0, float y = 0, double sizeRead = -1)
{
    RecordingPrinter printer;
    printer.reportedFontSize = sizeRead;
    print::PrintState state;
    print::printWaybill(w, {x, y}, printer, state);
    return printer.ops;
}

// Every text the waybill prints, in print order, as designed.
std::vector<const expect::Text*> designedTexts(const Waybill& w)
{
    std::vector<const expect::Text*> out;
    for (auto block : {std::span(expect::kRecipient), std::span(expect::kSender)})
        for (const expect::Text& t : block)
            if (expect::printed(w, t))
                out.push_back(&t);
    for (int i = 0; i < 4; ++i)
        out.push_back(&expect::kGoods[i]);
    // Quantities, prices, amounts, then the total: both lines of each column.
    for (int i = 4; i < 11 && w.numericMode; ++i)
        out.push_back(&expect::kGoods[i]);
    return out;
}

} // namespace

class PrintJobTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { platform::installFontSubstitutions(); }

    // The whole sequence once: prolog, then size, x, y, text for every item
    // (a hidden care-of line costs nothing), the marks between the sender
    // and the goods, each with its line width.
    void sequence()
    {
        Waybill w;
        w.recipient.name = QStringLiteral("山田");
        const auto ops = run(w);
        std::vector<Op> want{{OpKind::FontSize, 14},
                             {OpKind::FontName, 0, 0, 0, QStringLiteral("ＭＳ　P ゴシック")},
                             {OpKind::FontBold, 0}};
        auto text = [&](const expect::Text& t) {
            want.push_back({OpKind::FontSize, double(t.points)});
            want.push_back({OpKind::CurrentX, expect::textX(0, t.xMm)});
            want.push_back({OpKind::CurrentY, expect::textY(0, t.yMm)});
            want.push_back({OpKind::Print, 0, 0, 0, expect::textOf(w, t)});
        };
        for (auto block : {std::span(expect::kRecipient), std::span(expect::kSender)})
            for (const expect::Text& t : block)
                if (t.field != expect::Field::CareOf)
                    text(t);
        for (auto m : {expect::deliveryTimeMark(w.deliveryTime), expect::noticeMark(w.arrivalNotice)}) {
            want.push_back({OpKind::DrawWidth, 2});
            want.push_back(
                {OpKind::Circle, expect::originX(0) + m.xMm * 56.7, expect::originY(0) + m.yMm * 56.7, 170.1});
        }
        for (int i = 0; i < 4; ++i)
            text(expect::kGoods[i]);
        QCOMPARE(ops.size(), want.size());
        for (size_t i = 0; i < ops.size(); ++i) {
            const Op &g = ops[i], &e = want[i];
            QVERIFY2(g.kind == e.kind && qAbs(g.a - e.a) < kTol && qAbs(g.b - e.b) < kTol && qAbs(g.c - e.c) < kTol &&
                         g.text == e.text,
                     qPrintable(QStringLiteral("op %1: %2 %3 '%4'").arg(i).arg(g.a).arg(g.b).arg(g.text)));
        }
        // The designed figures: first box at 68.0 mm / 15.0 mm, marks at
        // 2670.57 / 2194.29 and 8062.74 / 2171.61 twips.
        QVERIFY(qAbs(ops[4].a - 3855.6) < kTol && qAbs(ops[5].a - 850.5) < kTol);
        const auto marks = circles(ops);
        QVERIFY(qAbs(marks[0].a - 2670.57) < kTol && qAbs(marks[0].b - 2194.29) < kTol);
        QVERIFY(qAbs(marks[1].a - 8062.74) < kTol && qAbs(marks[1].b - 2171.61) < kTol);
    }

    // Every text of a filled waybill in its place and size, as typed.
    void everyTextInItsPlace_data()
    {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::newRow("160/-15: on the corner") << 160.0f << -15.0f;
        QTest::newRow("fraction") << 160.5f << -15.0f;
        QTest::newRow("the ends of the range") << -1000.0f << 1000.0f;
    }

    void everyTextInItsPlace()
    {
        QFETCH(float, x);
        QFETCH(float, y);
        const Waybill w = expect::filledWaybill();
        const auto texts = placed(run(w, x, y));
        const auto designed = designedTexts(w);
        QCOMPARE(texts.size(), designed.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            const expect::Text& t = *designed[i];
            QCOMPARE(texts[i].text, expect::textOf(w, t));
            QCOMPARE(texts[i].points, t.points);
            QVERIFY2(qAbs(texts[i].x - expect::textX(x, t.xMm)) < kTol, qPrintable(texts[i].text));
            QVERIFY2(qAbs(texts[i].y - expect::textY(y, t.yMm)) < kTol, qPrintable(texts[i].text));
        }
        if (x == 160.0f && y == -15.0f) // the designed figure of box 1
            QVERIFY(qAbs(texts[0].x - 4762.8) < kTol && qAbs(texts[0].y - 765.45) < kTol);
        // Marks move with the origin, carry no text shift and keep 3.0 mm.
        const auto marks = circles(run(w, x, y));
        QCOMPARE(marks.size(), size_t(2));
        const auto m = expect::deliveryTimeMark(w.deliveryTime);
        QVERIFY(qAbs(marks[0].a - (expect::originX(x) + m.xMm * 56.7)) < kTol);
        QVERIFY(qAbs(marks[0].b - (expect::originY(y) + m.yMm * 56.7)) < kTol);
        QVERIFY(qAbs(marks[0].c - 170.1) < kTol);
    }

    void shiftFollowsSizeReadBack()
    {
        const Waybill w = expect::filledWaybill();
        const auto texts = placed(run(w, 0, 0, 14.25));
        QVERIFY(qAbs(texts[0].y - (85.05 + 884.52 - 21.375 * 5.67)) < kTol);
        // The same shift for every text, whatever its own size.
        const auto designed = designedTexts(w);
        for (size_t i = 0; i < texts.size(); ++i)
            QVERIFY(qAbs(texts[i].y - expect::textY(0, designed[i]->yMm, 14.25)) < kTol);
        QVERIFY(qAbs(circles(run(w, 0, 0, 14.25))[0].b - (expect::originY(0) + 32.8 * 56.7)) < kTol);
    }

    // A hidden care-of line is not printed whatever it holds; a shown one is,
    // after the name and before the telephone, even when empty (a shown line
    // with text is everyTextInItsPlace's).
    void careOfLines()
    {
        Waybill hidden;
        hidden.recipient.careOf = hidden.sender.careOf = QStringLiteral("田中様方");
        QCOMPARE(placed(run(hidden)).size(), size_t(26));
        Waybill shown;
        shown.recipient.careOfShown = shown.sender.careOfShown = true;
        const auto texts = placed(run(shown));
        QCOMPARE(texts.size(), size_t(28));
        QVERIFY(texts[10].text.isEmpty() && texts[10].points == 9 && qAbs(texts[10].y - expect::textY(0, 43.5)) < kTol);
        QVERIFY(texts[22].text.isEmpty() && texts[22].points == 8 && qAbs(texts[22].y - expect::textY(0, 86.1)) < kTol);
    }

    // Numeric fields print only in numeric mode, as they stand.
    void numericMode()
    {
        Waybill w = expect::filledWaybill();
        w.total = QStringLiteral("999"); // disagrees with the amounts: printed anyway
        QCOMPARE(placed(run(w)).back().text, QStringLiteral("999"));
        w.numericMode = false;
        const auto texts = placed(run(w));
        QCOMPARE(texts.size(), size_t(28));
        QCOMPARE(texts.back().text, QStringLiteral("ZX-9"));
    }

    // Every delivery-time band and notice choice at its designed place.
    void marks()
    {
        for (int time = 0; time < 5; ++time)
            for (int notice = 0; notice < 2; ++notice) {
                Waybill w;
                w.deliveryTime = waybill::DeliveryTime(time);
                w.arrivalNotice = waybill::ArrivalNotice(notice);
                const auto marks = circles(run(w, 10, 0));
                QCOMPARE(marks.size(), size_t(2));
                const expect::Mark want[] = {expect::deliveryTimeMark(w.deliveryTime),
                                             expect::noticeMark(w.arrivalNotice)};
                for (int i = 0; i < 2; ++i)
                    QVERIFY2(qAbs(marks[i].a - (expect::originX(10) + want[i].xMm * 56.7)) < kTol &&
                                 qAbs(marks[i].b - (expect::originY(0) + want[i].yMm * 56.7)) < kTol,
                             qPrintable(QStringLiteral("time %1 notice %2").arg(time).arg(notice)));
            }
    }

    // An origin beyond single precision stops the job with a message before
    // anything is printed.
    void arithmeticCheckStops()
    {
        for (auto [x, y] : {std::pair{3.3e38f, 0.0f}, std::pair{0.0f, -3.4e38f}}) {
            RecordingPrinter printer;
            print::PrintState state;
            try {
                print::printWaybill(expect::filledWaybill(), {x, y}, printer, state);
                QFAIL("not stopped");
            } catch (const print::JobStopped& stop) {
                QVERIFY(stop.message.contains(QStringLiteral("中止")));
            }
            QVERIFY(placed(printer.ops).empty());
        }
        QVERIFY_THROWS_EXCEPTION(print::JobStopped, print::checked(std::nan(""), "x"));
    }

    // Texts go down unaltered; two jobs give the same page.
    void textsUnalteredAndRepeatable()
    {
        Waybill w;
        w.recipient.line1 = QStringLiteral("  東京都千代田区  ");
        QCOMPARE(placed(run(w))[7].text, QStringLiteral("  東京都千代田区  "));
        print::PrintState state;
        const print::Page first = print::waybillPage(w, {5, 5}, state);
        QCOMPARE(print::waybillPage(w, {5, 5}, state), first);
        QCOMPARE(first.texts.size(), size_t(26));
        QCOMPARE(first.texts[0].fontFamily, QStringLiteral("IPAPGothic"));
    }

    // The test page: two 0.3 mm dots at 64.6 and 127.8 mm across and 12.1 mm
    // down from the printer's corner, moved by the offsets; a waybill after
    // it still draws 3.0 mm marks.
    void testMarks()
    {
        for (auto [x, y] : {std::pair{0.0f, 0.0f}, std::pair{10.0f, 10.0f}, std::pair{-35.0f, 4.0f}}) {
            RecordingPrinter printer;
            print::PrintState state;
            adjust::printTestMarks({x, y}, printer, state);
            QCOMPARE(printer.ops.size(), size_t(3));
            QCOMPARE(printer.ops[0].kind, OpKind::DrawWidth);
            QCOMPARE(printer.ops[0].a, 2.0);
            for (int i = 0; i < 2; ++i) {
                const Op& dot = printer.ops[1 + i];
                QVERIFY(qAbs(dot.a - ((i ? 127.8 : 64.6) * 56.7 + x * 5.67)) < kTol);
                QVERIFY(qAbs(dot.b - (12.1 * 56.7 + y * 5.67)) < kTol);
                QVERIFY(qAbs(dot.c - 17.01) < 0.001);
            }
            print::printWaybill(Waybill{}, {x, y}, printer, state);
            QVERIFY(qAbs(circles(printer.ops).back().c - 170.1) < kTol);
        }
    }
};

QTEST_MAIN(PrintJobTest)
#include "tst_printjob.moc"
