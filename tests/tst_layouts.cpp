// Layouts as data and texts fitted into their places, on real PDF pages
// measured with poppler: every expectation from the designed millimetres
// (expect.h), the fitting floors of 50 % and 7 points, and the files a user
// would write.
#include "expect.h"
#include "pdfmeasure.h"

#include "print/layoutfile.h"
#include "print/overrun.h"
#include "print/pdfoutput.h"
#include "print/printjob.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Designed millimetres on paper: a layout step of 0.1 mm is 5.67 twips.
constexpr double kPaperMmPerDesignedMm = 56.7 * 25.4 / 1440.0;
constexpr double kTolMm = 0.05;

double paperX(double designedMm) { return expect::textX(0, designedMm) / expect::kTwipsPerMm; }
double paperY(double designedMm) { return expect::textY(0, designedMm) / expect::kTwipsPerMm; }

QString printPdf(const QTemporaryDir& dir, const QString& name, const waybill::Waybill& w,
                 const print::Layout& layout = print::builtInLayout(), const print::SheetExtras& extras = {})
{
    const QString path = dir.filePath(name);
    print::PrintState state;
    const print::Delivery d = print::PdfFileDestination(path).print(
        1, [&](int) { return print::waybillPage(w, {}, state, layout, extras); });
    return d.ok ? path : QString();
}

// A PDF's bytes but for the moment it was made.
QByteArray pdfContent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression made(QStringLiteral(R"(/CreationDate \(D:\d+Z\))"));
    return QString::fromLatin1(file.readAll()).remove(made).toLatin1();
}

// The words on the text's line (the designed y), from the designed x on, joined.
struct Line {
    QString text;
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
};
Line lineAt(const std::vector<pdf::Word>& words, double xMm, double yMm, double toMm)
{
    Line line;
    for (const pdf::Word& w : words)
        if (qAbs((w.y0 + w.y1) / 2 - yMm) < 2.0 && w.x0 > xMm - 1.0 && w.x1 < toMm + 20.0) {
            line.text += w.text;
            line.x0 = std::min(line.x0, w.x0), line.x1 = std::max(line.x1, w.x1);
            line.y0 = std::min(line.y0, w.y0), line.y1 = std::max(line.y1, w.y1);
        }
    return line;
}

// Text as poppler reads it back, compared: an ideograph may come back as the
// radical of the same shape (田 as ⽥, 西 as ⻄), digits full-width or not.
QString asRead(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC).replace(QChar(0x2EC4), QChar(0x897F));
}

print::LayoutText* findText(print::Layout& layout, print::LayoutValue value, print::Party party = print::Party::Recipient)
{
    for (print::LayoutText& t : layout.texts)
        if (t.value == value && t.party == party)
            return &t;
    return nullptr;
}

waybill::Waybill recipientOnly(const QString& line1, const QString& line2 = {}, const QString& name = u"山田太郎"_s)
{
    waybill::Waybill w;
    w.recipient.postalCode = u"0600001"_s;
    w.recipient.line1 = line1;
    w.recipient.line2 = line2;
    w.recipient.name = name;
    return w;
}

} // namespace

class LayoutsTest : public QObject {
    Q_OBJECT

private slots:
    // A text wider than its place is printed whole inside it: condensed at
    // its size while 50 % will do, then smaller, its line kept; past both
    // floors only a goods description is shortened, with …, and anything
    // else is refused by the check.
    void longTextsFitTheirPlaces()
    {
        QTemporaryDir dir;
        // Address line 1 runs from 84.0 mm to the goods column at 150.0 mm; line 2 from 74.0 mm.
        const QString condensed = u"北海道札幌市中央区北一条西１３丁目４番地１　ノースプレイス"_s;
        const QString smaller = u"北海道札幌市中央区北一条西１３丁目４番地１ノースプレイス大通公園前レジデンス東棟１２０３号室"_s;
        waybill::Waybill w = recipientOnly(condensed, smaller);
        w.goods[0].description = u"国産 今治タオル フェイスタオル 3枚セット ギフト箱入り 名入れ刺繍 ホワイト"_s;
        const QString path = printPdf(dir, u"long.pdf"_s, w);
        const auto words = pdf::words(path);
        const waybill::Waybill plain = recipientOnly(u"北海道"_s, u"札幌市"_s);
        const auto plainWords = pdf::words(printPdf(dir, u"plain.pdf"_s, plain));

        struct Case {
            QString text;
            double xMm, yMm, widthMm;
        };
        const Case cases[] = {{condensed, 84.0, 26.9, 66.0}, {smaller, 74.0, 36.7, 76.0}};
        for (const Case& c : cases) {
            const Line line = lineAt(words, paperX(c.xMm), paperY(c.yMm) + 2.5, paperX(c.xMm + c.widthMm));
            // poppler may read an ideograph as the radical of the same shape.
            QCOMPARE(asRead(line.text), asRead(QString(c.text).remove(QChar(0x3000))));
            QVERIFY2(qAbs(line.x0 - paperX(c.xMm)) < kTolMm, qPrintable(QString::number(line.x0)));
            QVERIFY2(line.x1 <= paperX(c.xMm + c.widthMm) + kTolMm && line.x1 > paperX(c.xMm + c.widthMm) - 1.0,
                     qPrintable(QString::number(line.x1 - paperX(c.xMm + c.widthMm))));
        }
        // Condensed at 10 points: as tall as a short line; smaller: its top lower, its foot within a hair.
        const Line tall = lineAt(plainWords, paperX(84.0), paperY(26.9) + 2.5, paperX(150.0));
        const Line line1 = lineAt(words, paperX(84.0), paperY(26.9) + 2.5, paperX(150.0));
        QVERIFY(qAbs((line1.y1 - line1.y0) - (tall.y1 - tall.y0)) < 0.02);
        const Line plain2 = lineAt(plainWords, paperX(74.0), paperY(36.7) + 2.5, paperX(150.0));
        const Line line2 = lineAt(words, paperX(74.0), paperY(36.7) + 2.5, paperX(150.0));
        QVERIFY2(line2.y1 - line2.y0 < 0.95 * (plain2.y1 - plain2.y0) && plain2.y1 - line2.y1 >= 0 &&
                     plain2.y1 - line2.y1 < (line2.y0 - plain2.y0) / 2,
                 qPrintable(u"%1 %2 / %3 %4"_s.arg(line2.y0).arg(line2.y1).arg(plain2.y0).arg(plain2.y1)));

        // The goods description past both floors ends in … inside its 30.6 mm.
        const Line goods = lineAt(words, paperX(150.0), paperY(70.8) + 2.5, paperX(180.6));
        QVERIFY2(goods.text.endsWith(u"…"_s) && w.goods[0].description.remove(u' ').startsWith(goods.text.chopped(1)),
                 qPrintable(goods.text));
        QVERIFY(goods.x1 <= paperX(180.6) + kTolMm);

        // What the check says: notes, not findings.
        QVERIFY(print::printProblems(w).isEmpty());
        const QStringList notes = print::fitNotes(w);
        QCOMPARE(notes.size(), 3);
        QVERIFY2(notes[0].startsWith(u"お届け先の住所1は幅 "_s) && notes[1].startsWith(u"お届け先の住所2は "_s) &&
                     notes[2].startsWith(u"品名1は「"_s) && notes[2].contains(u"…」に短くして"_s),
                 qPrintable(notes.join(u'\n')));
    }

    // Names, addresses, telephone numbers and postal codes are never cut:
    // past both floors they are refused, naming the field and the floors.
    void beyondTheFloorsIsRefused()
    {
        waybill::Waybill w = recipientOnly(u"東京都"_s);
        w.recipient.name = QString(80, QChar(0x5c71));
        w.sender.telephone = QString(120, u'0');
        const QStringList problems = print::printProblems(w);
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems[0].startsWith(u"お届け先の名前は 7 ポイント、幅 50 % まで詰めても欄から"_s) &&
                     problems[1].startsWith(u"ご依頼主の電話番号は"_s),
                 qPrintable(problems.join(u'\n')));
        // Printed anyway, each whole.
        print::PrintState state;
        const print::Page page = print::waybillPage(w, {}, state);
        QVERIFY(std::any_of(page.texts.begin(), page.texts.end(),
                            [&](const print::PageText& t) { return t.text == w.recipient.name; }));
        QVERIFY(std::any_of(page.texts.begin(), page.texts.end(),
                            [&](const print::PageText& t) { return t.text == w.sender.telephone; }));
    }

    // Texts that fit print as the form was designed: the filled waybill's
    // page is the same file, byte for byte, as the one printed before texts
    // were fitted and layouts were data (tests/data/filled-waybill.pdf).
    void fittingTextsPrintAsBefore()
    {
        QTemporaryDir dir;
        const QByteArray content = pdfContent(printPdf(dir, u"filled.pdf"_s, expect::filledWaybill()));
        QVERIFY(!content.isEmpty());
        QCOMPARE(content, pdfContent(QStringLiteral(HORUTEA_TEST_DATA "/filled-waybill.pdf")));
        print::PrintState state;
        for (const print::PageText& t : print::waybillPage(expect::filledWaybill(), {}, state).texts)
            QVERIFY(t.widthPercent == 100.0 && t.fontPoints == std::floor(t.fontPoints));
    }

    // The built-in layout written as a file and read back is the same
    // layout and prints the same bytes; every xMm raised by 10 moves every
    // text 10 mm right and nothing else.
    void builtInLayoutAsAFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"標準.json"_s);
        QVERIFY(print::writeLayoutFile(file, print::builtInLayout()));
        const Result<print::Layout> read = print::readLayoutFile(file);
        QVERIFY2(read, qPrintable(read ? QString() : read.error()));
        QVERIFY(*read == print::builtInLayout());
        const waybill::Waybill w = expect::filledWaybill();
        QCOMPARE(pdfContent(printPdf(dir, u"file.pdf"_s, w, *read)),
                 pdfContent(printPdf(dir, u"builtin.pdf"_s, w)));

        QFile text(file);
        QVERIFY(text.open(QIODevice::ReadOnly));
        QString json = QString::fromUtf8(text.readAll());
        static const QRegularExpression x(QStringLiteral(R"("xMm": ([\d.]+))"));
        QString moved;
        qsizetype last = 0;
        for (auto it = x.globalMatch(json); it.hasNext();) {
            const auto m = it.next();
            moved += json.mid(last, m.capturedStart(1) - last) + QString::number(m.captured(1).toDouble() + 10.0);
            last = m.capturedEnd(1);
        }
        moved += json.mid(last);
        const Result<print::Layout> shifted = print::layoutFromJson(moved.toUtf8());
        QVERIFY(shifted);
        print::PrintState state;
        const print::Page before = print::waybillPage(w, {}, state), after = print::waybillPage(w, {}, state, *shifted);
        QCOMPARE(after.texts.size(), before.texts.size());
        for (size_t i = 0; i < before.texts.size(); ++i) {
            QVERIFY(qAbs(after.texts[i].topLeftTwips.x() - before.texts[i].topLeftTwips.x() - 567.0) < 0.01);
            QCOMPARE(after.texts[i].topLeftTwips.y(), before.texts[i].topLeftTwips.y());
        }
        for (size_t i = 0; i < before.circles.size(); ++i)
            QVERIFY(qAbs(after.circles[i].centreTwips.x() - before.circles[i].centreTwips.x() - 567.0) < 0.01);
    }

    // A file that is damaged, unknown or out of range is refused whole,
    // with the place of the fault.
    void damagedFilesAreRefusedWithTheirPlace_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("said");
        const QString head = uR"({"format": "horutea-layout", "version": 1, "name": "小型", "marks": {"places": []}, )"_s;
        const QString text = uR"({"value": "recipient.name", "xMm": 10, "yMm": 20, "widthMm": 50, "sizePt": 10)"_s;
        QTest::newRow("not JSON") << u"{\"format\": \"horutea-layout\",\n \"name\": }"_s << u"2 行 11 文字目"_s;
        QTest::newRow("an array") << u"[1, 2]"_s << u"オブジェクトではありません"_s;
        QTest::newRow("another format") << uR"({"format": "label", "version": 1})"_s << u"format が「label」"_s;
        QTest::newRow("newer") << uR"({"format": "horutea-layout", "version": 2})"_s << u"新しい版"_s;
        QTest::newRow("no name") << QString(head).replace(u"小型"_s, u" "_s) + u"\"texts\": []}"_s << u"名前が空です"_s;
        QTest::newRow("no texts") << head + u"\"text\": []}"_s << u"項目「texts」がありません"_s;
        QTest::newRow("misspelt key") << head + u"\"texts\": ["_s + text + u", \"yMn\": 3}]}"_s
                                      << u"texts[0]: 知らない項目「yMn」"_s;
        QTest::newRow("unknown value") << head + u"\"texts\": ["_s + QString(text).replace(u"recipient.name"_s, u"tracking"_s) +
                                              u"}]}"_s
                                       << u"texts[0].value: 「tracking」は印刷できる値ではありません"_s;
        QTest::newRow("text for a number") << head + u"\"texts\": ["_s + QString(text).replace(u"\"sizePt\": 10"_s, u"\"sizePt\": \"10\""_s) +
                                                  u"}]}"_s
                                           << u"texts[0].sizePt: 数ではありません"_s;
        QTest::newRow("too small") << head + u"\"texts\": ["_s + QString(text).replace(u"\"sizePt\": 10"_s, u"\"sizePt\": 1"_s) +
                                          u"}]}"_s
                                   << u"texts[0].sizePt: 1 は 4 から 72"_s;
        QTest::newRow("floor above the size") << head + u"\"texts\": ["_s + text + u", \"fitMinSizePt\": 12}]}"_s
                                              << u"texts[0].fitMinSizePt"_s;
        QTest::newRow("box 8") << head + u"\"texts\": [{\"value\": \"sender.postalDigit\", \"box\": 8, \"xMm\": 1, \"yMm\": 1, \"widthMm\": 5, \"sizePt\": 10}]}"_s
                               << u"texts[0].box: 8 は 1 から 7"_s;
        QTest::newRow("unknown mark") << uR"({"format": "horutea-layout", "version": 1, "name": "x", "marks": {"places": [{"choice": "express", "xMm": 1, "yMm": 1}]}, "texts": []})"_s
                                      << u"marks.places[0].choice: 「express」"_s;
    }
    void damagedFilesAreRefusedWithTheirPlace()
    {
        QFETCH(QString, json);
        QFETCH(QString, said);
        const Result<print::Layout> read = print::layoutFromJson(json.toUtf8(), u"小型.json"_s);
        QVERIFY(!read);
        QVERIFY2(read.error().startsWith(u"レイアウトのファイル「小型.json」は読めません（"_s) && read.error().contains(said),
                 qPrintable(read.error()));
    }

    // Every value a layout can place comes out on the page, each where its
    // text says, aligned as it says.
    void everyValueAppearsWhereItsTextSays()
    {
        using V = print::LayoutValue;
        using P = print::Party;
        print::Layout layout;
        layout.name = u"全部"_s;
        double y = 10.0;
        auto add = [&](V value, P party = P::Recipient, int index = 0, print::TextAlign align = print::TextAlign::Left) {
            print::LayoutText t;
            t.value = value, t.party = party, t.index = index, t.align = align;
            t.xMm = 30.0, t.yMm = y, t.widthMm = 60.0, t.sizePt = 10;
            if (value == V::ShipDate)
                t.dateFormat = u"yyyy年M月d日"_s;
            if (value == V::FixedText)
                t.fixedText = u"ワレモノ注意"_s;
            layout.texts.push_back(t);
            y += 6.0;
        };
        for (P party : {P::Recipient, P::Sender}) {
            add(V::PostalCode, party);
            add(V::PostalDigit, party, 3);
            for (V v : {V::AddressLine1, V::AddressLine2, V::Name, V::CareOf, V::Telephone})
                add(v, party);
        }
        for (int line : {1, 2})
            for (V v : {V::GoodsDescription, V::ProductNumber, V::Quantity, V::UnitPrice, V::Amount})
                add(v, P::Recipient, line);
        add(V::Total, P::Recipient, 0, print::TextAlign::Right);
        add(V::ShipDate, P::Recipient, 0, print::TextAlign::Centre);
        for (V v : {V::ParcelCount, V::OrderNumber, V::FormNumber, V::FixedText})
            add(v);
        layout.marks = {{print::MarkChoice::Evening, 20.0, 20.0}, {print::MarkChoice::NoticeNotWanted, 25.0, 30.0}};
        // Through its file, as a user's layout comes.
        const Result<print::Layout> read = print::layoutFromJson(print::layoutToJson(layout));
        QVERIFY(read && *read == layout);

        waybill::Waybill w = expect::filledWaybill();
        w.deliveryTime = waybill::DeliveryTime::Evening;
        // pdftotext reads no digits after Latin letters in a word of these pages (they print): numbers alone.
        w.goods[0].productNumber = u"1234"_s;
        w.goods[1].productNumber = u"98"_s;
        const print::SheetExtras extras{QDate(2026, 12, 8), 3, u"2026120801"_s, u"4444-1375-8703"_s};
        QTemporaryDir dir;
        const auto words = pdf::words(printPdf(dir, u"all.pdf"_s, w, *read, extras));
        const QStringList expected{
            u"100-0001"_s, u"0"_s, w.recipient.line1, w.recipient.line2, w.recipient.name, w.recipient.careOf,
            w.recipient.telephone, u"530-0001"_s, u"0"_s, w.sender.line1, w.sender.line2, w.sender.name,
            w.sender.careOf, w.sender.telephone, u"精密機械"_s, u"1234"_s, u"3"_s, u"150"_s, u"450"_s,
            u"割れ物"_s, u"98"_s, u"12"_s, u"2500"_s, u"30000"_s, u"30450"_s, u"2026年12月8日"_s, u"3"_s,
            u"2026120801"_s, u"4444-1375-8703"_s, u"ワレモノ注意"_s};
        QCOMPARE(qsizetype(read->texts.size()), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const double lineY = paperY(10.0 + 6.0 * double(i));
            const Line line = lineAt(words, paperX(30.0) - 1.0, lineY + 2.5, paperX(90.0));
            QVERIFY2(asRead(line.text) == asRead(expected[i]),
                     qPrintable(u"%1: %2 / %3"_s.arg(i).arg(line.text, expected[i])));
            const print::TextAlign align = read->texts[size_t(i)].align;
            if (align == print::TextAlign::Left)
                QVERIFY(qAbs(line.x0 - paperX(30.0)) < kTolMm);
            else if (align == print::TextAlign::Right)
                QVERIFY2(qAbs(line.x1 - paperX(90.0)) < 0.2, qPrintable(QString::number(line.x1 - paperX(90.0))));
            else
                QVERIFY(qAbs((line.x0 + line.x1) / 2 - paperX(60.0)) < 0.2);
        }
        const pdf::Ring evening = pdf::ringNear(dir.filePath(u"all.pdf"_s), paperX(20.0), paperY(20.0) + 2.1);
        QVERIFY(evening.found && qAbs(evening.radius - 3.0 * kPaperMmPerDesignedMm) < 0.1);
    }
};

QTEST_MAIN(LayoutsTest)
#include "tst_layouts.moc"
