// Tracking numbers on pre-printed forms: read and checked on numbers the
// carriers published, the stack of forms in a printer kept in a real
// settings file, and the shipping confirmations written and read back.
#include "csv/reader.h"
#include "faildevice.h"
#include "mounts.h"
#include "shipping/confirmations.h"
#include "tracking/formstack.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTest>

using shipping::Format;
using shipping::ShippedParcel;
using tracking::Carrier;
using tracking::FormStack;
using tracking::FormStackStore;
using tracking::TrackingNumber;
using namespace testing;

namespace {

// The check digit worked out as the spreadsheet formula people use for it,
// MOD(LEFT(A1,4)*3+MID(A1,6,4)*6+MID(A1,11,3),7) (10^7 ≡ 3, 10^3 ≡ 6 mod 7),
// not as the program computes it.
int checkDigitBySpreadsheet(const QString& elevenDigits)
{
    return (elevenDigits.first(4).toInt() * 3 + elevenDigits.sliced(4, 4).toInt() * 6 +
            elevenDigits.sliced(8, 3).toInt()) %
           7;
}

TrackingNumber number(Carrier carrier, const QString& typed)
{
    auto read = TrackingNumber::read(carrier, typed);
    if (!read)
        qFatal("%s", qPrintable(read.error()));
    return *read;
}

// Why it failed; empty when it did not.
template <class T>
QString problem(const Result<T>& result)
{
    return result ? QString() : result.error();
}

QString refusal(Carrier carrier, const QString& typed) { return problem(TrackingNumber::read(carrier, typed)); }

QStringList digitsOf(const QList<TrackingNumber>& numbers)
{
    QStringList digits;
    for (const TrackingNumber& n : numbers)
        digits << n.digits();
    return digits;
}

template <class T>
T value(Result<T> result)
{
    if (!result)
        qFatal("%s", qPrintable(result.error()));
    return std::move(*result);
}

// A written file read back by heading: rows of heading → field.
struct Table {
    QStringList headings;
    QList<QHash<QString, QString>> rows;
    QStringList column(const QString& heading) const
    {
        QStringList values;
        for (const auto& row : rows)
            values << row.value(heading);
        return values;
    }
};

Table table(const QList<QStringList>& records)
{
    Table t;
    t.headings = records.value(0);
    for (const QStringList& record : records.mid(1)) {
        QHash<QString, QString> row;
        for (qsizetype i = 0; i < t.headings.size(); ++i)
            row.insert(t.headings[i], record.value(i));
        t.rows << row;
    }
    return t;
}

// Comma-separated files through the program's own CSV reader.
Table readCsv(const QByteArray& bytes, csv::Encoding expectedEncoding, bool expectedBom)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    csv::Reader reader(buffer);
    if (!reader.start())
        qFatal("%s", qPrintable(reader.errorText()));
    if (reader.encoding() != expectedEncoding || reader.hasByteOrderMark() != expectedBom)
        qFatal("encoding or byte-order mark not as the format wants");
    QList<QStringList> records;
    csv::Record record;
    while (reader.next(record) == csv::Reader::Step::Record) {
        if (record.badColumn >= 0)
            qFatal("%s", qPrintable(record.problem));
        records << record.fields;
    }
    return table(records);
}

// Amazon's template, CP932 with CR LF line ends, read by hand: its first
// row and the labels row checked, the field names the table's headings.
Table readAmazonTemplate(const QByteArray& bytes)
{
    QStringDecoder cp932("Shift_JIS");
    const QString text = cp932(bytes);
    if (cp932.hasError() || !bytes.endsWith("\r\n"))
        qFatal("not CP932 lines ending in CR LF");
    QList<QStringList> records;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        records << line.split(QLatin1Char('\t'));
    if (records.size() < 3 || records[0].value(0) != QLatin1String("TemplateType=OrderFulfillment") ||
        records[1].value(0) != QStringLiteral("注文番号") || records[1].size() != records[2].size())
        qFatal("not Amazon's template rows");
    return table(records.mid(2));
}

} // namespace

class TrackingTest : public QObject {
    Q_OBJECT

private slots:
    // Numbers printed in public sources, each valid, and each refused with
    // the right check digit named once one digit is changed.
    void publishedNumbers_data()
    {
        QTest::addColumn<Carrier>("carrier");
        QTest::addColumn<QString>("published");
        // shipping-jp-js README; nayutaya/packtrack fixtures.
        QTest::newRow("yamato readme") << Carrier::Yamato << QStringLiteral("444413758703");
        QTest::newRow("yamato packtrack 1") << Carrier::Yamato << QStringLiteral("2253-0009-9640");
        QTest::newRow("yamato packtrack 2") << Carrier::Yamato << QStringLiteral("2497-0143-1674");
        QTest::newRow("sagawa readme") << Carrier::Sagawa << QStringLiteral("512547514334");
        QTest::newRow("sagawa packtrack 1") << Carrier::Sagawa << QStringLiteral("600078420325");
        QTest::newRow("sagawa packtrack 2") << Carrier::Sagawa << QStringLiteral("600472758141");
        QTest::newRow("japanpost readme") << Carrier::JapanPost << QStringLiteral("4055-4842-4886");
        QTest::newRow("japanpost packtrack") << Carrier::JapanPost << QStringLiteral("317481847594");
    }
    void publishedNumbers()
    {
        QFETCH(Carrier, carrier);
        QFETCH(QString, published);
        const QString digits = QString(published).remove(QLatin1Char('-'));
        const TrackingNumber read = number(carrier, published);
        QCOMPARE(read.digits(), digits);
        QVERIFY(read.checkDigitVerified());
        QVERIFY(read.uncheckedNote().isEmpty());
        QCOMPARE(read.display(), digits.first(4) + u'-' + digits.sliced(4, 4) + u'-' + digits.sliced(8));

        // One serial digit changed: the message names the digit that fits it.
        QString changed = digits;
        changed[5] = QChar(u'0' + (changed[5].digitValue() + 1) % 10);
        const QString why = refusal(carrier, changed);
        QVERIFY2(why.contains(QStringLiteral("チェック数字が合いません（最後の1桁は %1 のはずです）")
                                  .arg(checkDigitBySpreadsheet(changed.first(11)))),
                 qPrintable(why));
        QVERIFY(why.contains(tracking::carrierName(carrier)));
        // The check digit changed: 7, 8 and 9 can never be one.
        for (int last : {(digits.back().digitValue() + 1) % 7, 7, 9}) {
            changed = digits.first(11) + QString::number(last);
            QVERIFY2(refusal(carrier, changed).contains(QStringLiteral("のはずです")), qPrintable(changed));
        }
        QVERIFY(refusal(carrier, digits.first(11)).contains(QStringLiteral("12桁")));
        QVERIFY(refusal(carrier, digits + u'0').contains(QStringLiteral("13桁")));
    }

    // The and a worked example's numbers, typed and scanned.
    void typedAndScanned()
    {
        const QString expected = QStringLiteral("444413758703");
        for (const QString& typed :
             {QStringLiteral("4444-1375-8703"), QStringLiteral(" 4444 1375 8703\r\n"), QStringLiteral("A444413758703A"),
              QStringLiteral("d4444-1375-8703b\t"), QStringLiteral("４４４４－１３７５－８７０３"),
              QStringLiteral("４４４４ー１３７５ー８７０３"), QStringLiteral("Ｃ４４４４１３７５８７０３Ｄ")})
            QCOMPARE(number(Carrier::Yamato, typed).digits(), expected);
        // A letter inside the number, or one that is not a start/stop letter.
        QVERIFY(refusal(Carrier::Yamato, QStringLiteral("4444A13758703")).contains(QStringLiteral("「A」")));
        QVERIFY(refusal(Carrier::Yamato, QStringLiteral("E444413758703E")).contains(QStringLiteral("「E」")));
        QVERIFY(refusal(Carrier::Yamato, QStringLiteral("Ａ４４４４Ｘ")).contains(QStringLiteral("「Ｘ」")));
        QVERIFY(refusal(Carrier::Yamato, QStringLiteral(" A-A ")).contains(QStringLiteral("入っていません")));
        // The worked example from the 7DR pages: 1234-5678-901? ends in 3.
        QVERIFY(refusal(Carrier::Yamato, QStringLiteral("1234-5678-9012"))
                    .contains(QStringLiteral("最後の1桁は 3 のはずです")));
        QVERIFY(bool(TrackingNumber::read(Carrier::Yamato, QStringLiteral("1234-5678-9013"))));
    }

    // Carriers without a confirmed rule take any digits, and say so; a
    // letter around the number may be part of it there, so it is refused
    // (with advice), never dropped as a barcode's start and stop letter.
    void uncheckedCarriers()
    {
        for (Carrier carrier : {Carrier::Seino, Carrier::Fukuyama, Carrier::Other}) {
            for (const QString& typed :
                 {QStringLiteral("A0123-4567-99A"), QStringLiteral("b0123456799"), QStringLiteral("0123456799Ｃ")}) {
                const QString scanned = refusal(carrier, typed);
                QVERIFY2(scanned.contains(QStringLiteral("バーコード")), qPrintable(typed + scanned));
            }
            const TrackingNumber n = number(carrier, QStringLiteral("0123-4567-99"));
            QCOMPARE(n.digits(), QStringLiteral("0123456799"));
            QCOMPARE(n.display(), QStringLiteral("0123456799"));
            QVERIFY(!n.checkDigitVerified());
            QVERIFY(n.uncheckedNote().contains(QStringLiteral("確かめずに")));
            QVERIFY(!tracking::hasConfirmedRule(carrier));
            QVERIFY(tracking::ruleDescription(carrier).contains(QStringLiteral("確かめずに")));
            QVERIFY(tracking::ruleDescription(carrier).contains(tracking::carrierName(carrier)));
            const TrackingNumber following = value(n.next());
            QCOMPARE(following.digits(), QStringLiteral("0123456800"));
            QVERIFY(!following.checkDigitVerified());
            QVERIFY(!problem(number(carrier, QStringLiteral("999")).next()).isEmpty());
            QVERIFY(refusal(carrier, QString(TrackingNumber::kMaxUncheckedDigits + 1, u'1'))
                        .contains(QStringLiteral("長すぎ")));
        }
        QVERIFY(number(Carrier::Seino, QStringLiteral("1")).uncheckedNote().contains(QStringLiteral("西濃運輸")));
        QVERIFY(tracking::hasConfirmedRule(Carrier::JapanPost));
    }

    void nextForm()
    {
        // Across a carry in the serial, check digit worked out independently.
        const TrackingNumber before =
            number(Carrier::Sagawa, QStringLiteral("1234567899") + u'9' +
                                        QString::number(checkDigitBySpreadsheet(QStringLiteral("12345678999"))));
        const TrackingNumber after = value(before.next());
        QCOMPARE(after.digits(), QStringLiteral("12345679000") +
                                     QString::number(checkDigitBySpreadsheet(QStringLiteral("12345679000"))));
        QVERIFY(after.checkDigitVerified());
        QCOMPARE(after.carrier(), Carrier::Sagawa);
        // Leading zeros stay; the last serial has no successor.
        const TrackingNumber zeros = number(Carrier::JapanPost, QStringLiteral("00000000006") + QString::number(6 % 7));
        QCOMPARE(value(zeros.next()).digits(), QStringLiteral("000000000070"));
        const QString last = QStringLiteral("99999999999");
        const auto none = number(Carrier::Yamato, last + QString::number(checkDigitBySpreadsheet(last))).next();
        QVERIFY(problem(none).contains(QStringLiteral("あふれる")));
    }

    void carrierWords()
    {
        QCOMPARE(value(tracking::carrierFromToken(QStringLiteral(" JapanPost "))), Carrier::JapanPost);
        const QString why = problem(tracking::carrierFromToken(QStringLiteral("kuroneko")));
        QVERIFY(why.contains(QStringLiteral("kuroneko")) && why.contains(QStringLiteral("yamato")) &&
                why.contains(QStringLiteral("other")));
        for (const tracking::CarrierRow& row : tracking::carrierRows())
            QCOMPARE(value(tracking::carrierFromToken(tracking::carrierToken(row.carrier))), row.carrier);
    }

    void stackMovesByWhatIsUsed()
    {
        FormStack stack(number(Carrier::Yamato, QStringLiteral("4444-1375-8703")));
        const QStringList three = digitsOf(value(stack.peek(3)));
        QCOMPARE(three, (QStringList{"444413758703", "444413758714", "444413758725"}));
        QCOMPARE(stack.nextForm().digits(), QStringLiteral("444413758703")); // peeking moves nothing
        QCOMPARE(digitsOf(value(stack.advance(3))), three);
        QCOMPARE(stack.nextForm().digits(), QStringLiteral("444413758736"));
        QCOMPARE(value(stack.spoil()).digits(), QStringLiteral("444413758736"));
        QCOMPARE(value(stack.advance(0)).size(), 0);
        QVERIFY(stack.nextForm() == number(Carrier::Yamato, QStringLiteral("4444-1375-8740")));
        QVERIFY(!(stack.nextForm() == number(Carrier::Sagawa, QStringLiteral("4444-1375-8740"))));
        QVERIFY(!problem(stack.advance(-1)).isEmpty());

        // Numbers that run out refuse before anything moves; the last form
        // of the range is used, and then the stack is used up.
        stack.replace(number(Carrier::Other, QStringLiteral("97")));
        QCOMPARE(stack.carrier(), Carrier::Other);
        QCOMPARE(digitsOf(value(stack.peek(2))), (QStringList{"97", "98"}));
        QVERIFY(problem(stack.advance(4)).contains(QStringLiteral("足りません")));
        QCOMPARE(stack.nextForm().digits(), QStringLiteral("97"));
        QCOMPARE(digitsOf(value(stack.advance(3))), (QStringList{"97", "98", "99"}));
        QVERIFY(stack.usedUp());
        QVERIFY(problem(stack.peek(1)).contains(QStringLiteral("使い切り")));
        QCOMPARE(value(stack.peek(0)).size(), 0);
        // The last serial of a checked carrier likewise.
        const QString last = QStringLiteral("99999999999");
        stack.replace(number(Carrier::Yamato, last + QString::number(checkDigitBySpreadsheet(last))));
        QVERIFY(!stack.usedUp());
        QCOMPARE(value(stack.spoil()).digits(), last + QString::number(checkDigitBySpreadsheet(last)));
        QVERIFY(stack.usedUp());
    }

    // Stacks of two queues in one settings file, one holding a slash in its
    // name, moved by one store and read by another as a second program would.
    void stackKeptInSettings()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/horutea.ini"));
        FormStackStore window(path), commandLine(path);
        const QString slashed = QStringLiteral("lab/帳票 1"), plain = QStringLiteral("lab");
        QVERIFY(!value(window.load(plain)).has_value());
        QCOMPARE(value(window.take(plain, 2)).size(), 0); // no stack: the forms carry no known number
        QVERIFY(problem(window.spoil(plain)).contains(plain));

        QVERIFY(bool(window.save(slashed, FormStack(number(Carrier::JapanPost, QStringLiteral("4055-4842-4886"))))));
        QVERIFY(bool(window.save(plain, FormStack(number(Carrier::Seino, QStringLiteral("0999"))))));
        QCOMPARE(digitsOf(value(commandLine.take(slashed, 2))), (QStringList{"405548424886", "405548424890"}));
        QCOMPARE(value(window.spoil(slashed)).digits(), QStringLiteral("405548424901"));
        const auto loaded = value(window.load(slashed));
        QCOMPARE(loaded->nextForm().display(), QStringLiteral("4055-4842-4912"));
        QCOMPARE(loaded->carrier(), Carrier::JapanPost);
        const auto other = value(commandLine.load(plain));
        QCOMPARE(other->carrier(), Carrier::Seino);
        QCOMPARE(other->nextForm().digits(), QStringLiteral("0999"));
        QVERIFY(!other->nextForm().checkDigitVerified());

        // The file as another program (or the next run) reads it.
        QSettings file(path, QSettings::IniFormat);
        file.beginGroup(FormStackStore::settingsGroup(slashed));
        QCOMPARE(file.value(QStringLiteral("carrierToken")).toString(), QStringLiteral("japanpost"));
        QCOMPARE(file.value(QStringLiteral("nextFormNumberDigits")).toString(), QStringLiteral("405548424912"));
        file.endGroup();

        // A damaged entry is reported, never used or moved.
        file.setValue(FormStackStore::settingsGroup(plain) + QStringLiteral("/nextFormNumberDigits"),
                      QStringLiteral("09x9"));
        file.sync();
        QVERIFY(problem(window.load(plain)).contains(QStringLiteral("「x」")));
        QVERIFY(!problem(window.take(plain, 1)).isEmpty());
        QCOMPARE(QSettings(path, QSettings::IniFormat)
                     .value(FormStackStore::settingsGroup(plain) + QStringLiteral("/nextFormNumberDigits"))
                     .toString(),
                 QStringLiteral("09x9"));
        QVERIFY(bool(window.remove(plain)));
        QVERIFY(!value(window.load(plain)).has_value());
        QCOMPARE(value(window.load(slashed))->nextForm().digits(), QStringLiteral("405548424912"));
    }

    // Another program holding the stacks: nothing is handed out meanwhile;
    // a reservation holds them until it ends, moving the stack only when
    // committed; the last form of a range is kept used up in the file.
    void stackLockedByAnotherProgram()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("horutea.ini"));
        constexpr int kWaitMs = 300;
        FormStackStore store(path, FormStackStore::kMinimumFreeBytes, kWaitMs);
        QVERIFY(
            bool(store.save(QStringLiteral("q"), FormStack(number(Carrier::Yamato, QStringLiteral("444413758703"))))));
        QLockFile other(path + QStringLiteral(".formstacks.lock"));
        QVERIFY(other.tryLock(0));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(problem(store.take(QStringLiteral("q"), 1)).contains(QStringLiteral("ほかのホルテア")));
        QVERIFY(waited.elapsed() >= kWaitMs);
        other.unlock();
        {
            auto reserved = value(store.reserve(QStringLiteral("q"), 2));
            QCOMPARE(digitsOf(reserved->numbers()), (QStringList{"444413758703", "444413758714"}));
            QVERIFY(reserved->firstNumberTyped());
            QVERIFY(problem(FormStackStore(path, FormStackStore::kMinimumFreeBytes, 0).take(QStringLiteral("q"), 1))
                        .contains(QStringLiteral("ほかのホルテア")));
        } // not committed: nothing moved
        QCOMPARE(value(store.take(QStringLiteral("q"), 1)).front().digits(), QStringLiteral("444413758703"));
        {
            auto reserved = value(store.reserve(QStringLiteral("q"), 1));
            QVERIFY(!reserved->firstNumberTyped()); // worked out from the form before
            QVERIFY(bool(reserved->commit()));
        }
        QCOMPARE(value(store.load(QStringLiteral("q")))->nextForm().digits(), QStringLiteral("444413758725"));

        QVERIFY(bool(store.save(QStringLiteral("q"), FormStack(number(Carrier::Other, QStringLiteral("98"))))));
        QCOMPARE(digitsOf(value(store.take(QStringLiteral("q"), 2))), (QStringList{"98", "99"}));
        const auto usedUp = value(FormStackStore(path).load(QStringLiteral("q")));
        QVERIFY(usedUp && usedUp->usedUp() && usedUp->nextForm().digits() == QStringLiteral("99"));
        QVERIFY(problem(store.take(QStringLiteral("q"), 1)).contains(QStringLiteral("使い切り")));
    }

    // A full disk: the numbers are not handed out, and the settings file,
    // which Qt 6.4 empties when its write fails on closing, is kept whole.
    void stackOnFullDisk()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("small"));
        SmallMount mount(folder, "size=64k");
        if (!mount.mounted())
            QSKIP("needs a file system of its own (root in a mount namespace)");
        const QString path = folder + QStringLiteral("/horutea.ini");
        QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("printer/choice"), QStringLiteral("lab"));
        FormStackStore store(path, 0); // no margin: the write itself fails
        QVERIFY(
            bool(store.save(QStringLiteral("q"), FormStack(number(Carrier::Yamato, QStringLiteral("444413758703"))))));
        const auto fileText = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = fileText();
        fillUp(folder);
        // Room for two lock files, none for the settings.
        QFile filler(folder + QStringLiteral("/filler"));
        QVERIFY(filler.resize(filler.size() - 2 * 4096));
        const QString why = problem(store.take(QStringLiteral("q"), 2));
        QVERIFY2(why.contains(QStringLiteral("書き込めませんでした")) &&
                     why.contains(QStringLiteral("変わっていません")),
                 qPrintable(why));
        QCOMPARE(fileText(), before);
        QCOMPARE(value(store.load(QStringLiteral("q")))->nextForm().digits(), QStringLiteral("444413758703"));
        // With the usual margin such a disk is refused before anything changes.
        QVERIFY(problem(FormStackStore(path).take(QStringLiteral("q"), 1)).contains(QStringLiteral("空きが足りない")));
        QCOMPARE(fileText(), before);

        QVERIFY(filler.remove());
        QCOMPARE(value(store.take(QStringLiteral("q"), 1)).front().digits(), QStringLiteral("444413758703"));
        const QByteArray after = fileText();
        QVERIFY2(after.contains("444413758714") && after.contains("choice=lab"), after.constData());
    }

    // Each format written and read back: a platform's file holds its own
    // orders' parcels only, one line a parcel with the number on it, each
    // number once; the RMS order to two addresses names each ship-to; the
    // Yahoo! order in two parcels has both numbers, never one twice.
    void confirmationsReadBack()
    {
        const QDate day(2026, 9, 8), nextDay(2026, 9, 9);
        const QString single = QStringLiteral("421951-20260805-0302246615"),
                      twoShipTos = QStringLiteral("421951-20260805-0302246616"),
                      amazonOrder = QStringLiteral("503-1234567-7654321"), yahooOrder = QStringLiteral("store-100"),
                      shopifyOrder = QStringLiteral("#1001");
        const auto parcel = [](const QString& order, const QString& shipToId, std::optional<Format> platform,
                               std::optional<TrackingNumber> n, QDate date, const char* name) {
            return ShippedParcel{order, shipToId, platform, n, date, QString::fromUtf8(name)};
        };
        const TrackingNumber y1 = number(Carrier::Yamato, QStringLiteral("444413758703")),
                             y2 = number(Carrier::Yamato, QStringLiteral("444413758714")),
                             y3 = number(Carrier::Yamato, QStringLiteral("444413758725")),
                             s1 = number(Carrier::Sagawa, QStringLiteral("600078420325")),
                             s2 = number(Carrier::Sagawa, QStringLiteral("600079555353")),
                             s3 = number(Carrier::Sagawa, QStringLiteral("600099783555")),
                             p1 = number(Carrier::JapanPost, QStringLiteral("405548424886")),
                             seino = number(Carrier::Seino, QStringLiteral("1234567890"));
        const QList<ShippedParcel> parcels = {
            parcel(single, "1000000001", Format::Rakuten, y1, day, "鈴木 一郎"),
            parcel(twoShipTos, "1000000011", Format::Rakuten, s1, day, "高橋 健"),
            parcel(amazonOrder, {}, Format::Amazon, y2, day, "田中 花子"),
            parcel(twoShipTos, "1000000012", Format::Rakuten, s2, day, "伊藤 さくら"),
            parcel(yahooOrder, {}, Format::Yahoo, p1, day, "小林 陽子"),
            // The same form read twice (from the server and this PC's queue).
            parcel(yahooOrder, {}, Format::Yahoo, p1, day, "小林 陽子"),
            parcel(shopifyOrder, {}, Format::Shopify, y3, day, "山田 次郎"),
            // Printed in the window with an order number typed nowhere.
            parcel({}, {}, std::nullopt, seino, day, "髙橋 次郎"),
            // A page of another list that happens to carry a Rakuten-like number.
            parcel(QStringLiteral("R-77"), {}, std::nullopt, s3, nextDay, "佐藤 花子"),
            // The Yahoo! order's second parcel, the next day.
            parcel(yahooOrder, {}, Format::Yahoo, number(Carrier::JapanPost, QStringLiteral("405548424890")), nextDay,
                   "小林 陽子"),
        };

        QMap<Format, shipping::Written> written;
        QMap<Format, QByteArray> bytes;
        for (const shipping::FormatRow& row : shipping::formatRows()) {
            QBuffer buffer(&bytes[row.format]);
            buffer.open(QIODevice::WriteOnly);
            written[row.format] = value(shipping::writeConfirmations(row.format, parcels, buffer));
        }

        // Amazon's template: its first row and the labels above the names.
        const Table amazon = readAmazonTemplate(bytes[Format::Amazon]);
        QCOMPARE(amazon.headings,
                 (QStringList{"order-id", "order-item-id", "quantity", "ship-date", "carrier-code", "carrier-name",
                              "tracking-number", "ship-method", "cod-collection-method"}));
        QCOMPARE(amazon.column("order-id"), QStringList{amazonOrder});
        QCOMPARE(amazon.column("tracking-number"), QStringList{"444413758714"});
        QCOMPARE(amazon.column("ship-date"), QStringList{"2026-09-08"});
        QCOMPARE(amazon.column("carrier-code"), QStringList{"Other"});
        QCOMPARE(amazon.column("carrier-name"), QStringList{"ヤマト運輸"});
        QCOMPARE(amazon.column("order-item-id"), QStringList(1));

        const Table rakuten = readCsv(bytes[Format::Rakuten], csv::Encoding::Cp932, false);
        QCOMPARE(rakuten.headings,
                 (QStringList{"注文番号", "送付先ID", "発送明細ID", "お荷物伝票番号", "配送会社", "発送日"}));
        QCOMPARE(rakuten.column("注文番号"), (QStringList{single, twoShipTos, twoShipTos}));
        QCOMPARE(rakuten.column("送付先ID"), (QStringList{"1000000001", "1000000011", "1000000012"}));
        QCOMPARE(rakuten.column("お荷物伝票番号"), (QStringList{"444413758703", "600078420325", "600079555353"}));
        QCOMPARE(rakuten.column("配送会社"), (QStringList{"1001", "1002", "1002"}));
        QCOMPARE(rakuten.column("発送明細ID"), QStringList(3));

        // Yahoo!: one record an order, its two parcels' numbers, each once.
        const Table yahoo = readCsv(bytes[Format::Yahoo], csv::Encoding::Utf8, false); // plain ASCII reads as UTF-8
        QCOMPARE(yahoo.column("OrderId"), QStringList{yahooOrder});
        QCOMPARE(yahoo.column("ShipInvoiceNumber1"), QStringList{"405548424886"});
        QCOMPARE(yahoo.column("ShipInvoiceNumber2"), QStringList{"405548424890"});
        QCOMPARE(yahoo.column("ShipStatus"), QStringList{"3"});
        QCOMPARE(written[Format::Yahoo].parcelCount, 2);

        const Table shopify = readCsv(bytes[Format::Shopify], csv::Encoding::Utf8, false);
        QCOMPARE(shopify.column("Name"), QStringList{shopifyOrder});
        QCOMPARE(shopify.column("Fulfillment: Tracking Number"), QStringList{"444413758725"});
        QCOMPARE(shopify.column("Fulfillment: Tracking Company"), QStringList{"Yamato (JA)"});

        // Generic: every parcel, each number once, the number as on the form.
        const Table generic = readCsv(bytes[Format::Generic], csv::Encoding::Utf8, true);
        QCOMPARE(generic.column("伝票番号"),
                 (QStringList{"4444-1375-8703", "6000-7842-0325", "4444-1375-8714", "6000-7955-5353", "4055-4842-4886",
                              "4055-4842-4890", "4444-1375-8725", "1234567890", "6000-9978-3555"}));
        QCOMPARE(written[Format::Generic].parcelCount, 9);
        QVERIFY(written[Format::Generic].notes.isEmpty());

        // Each platform's file says what it left to the generic one: the
        // other list's order, never another platform's own.
        for (Format format : {Format::Amazon, Format::Rakuten, Format::Yahoo, Format::Shopify}) {
            const QString notes = written[format].notes.join('\n');
            QVERIFY2(notes.contains(QStringLiteral("R-77")) && notes.contains(QStringLiteral("汎用")),
                     qPrintable(notes));
            QVERIFY2(!notes.contains(single) && !notes.contains(yahooOrder), qPrintable(notes));
            QVERIFY(!QString::fromUtf8(bytes[format]).contains(QStringLiteral("600099783555")));
        }
        QVERIFY(written[Format::Amazon].notes.join('\n').contains(QStringLiteral("Other")));

        // An order one of whose parcels carries no known number is written
        // with the others, and the note says only that parcel is missing.
        QList<ShippedParcel> partly = {parcel(single, "1000000001", Format::Rakuten, y1, day, "鈴木 一郎"),
                                       parcel(single, "1000000001", Format::Rakuten, std::nullopt, day, "鈴木 一郎")};
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const QString partlyNotes =
            value(shipping::writeConfirmations(Format::Rakuten, partly, buffer)).notes.join('\n');
        QVERIFY2(partlyNotes.contains(single) && !partlyNotes.contains(QStringLiteral("書き出していません")),
                 qPrintable(partlyNotes));
    }

    // More parcels than a Yahoo! record holds are said; two parcels of one
    // RMS ship-to are two lines, and say so.
    void severalParcelsOfOneOrder()
    {
        const QDate day(2026, 9, 8);
        const TrackingNumber first = number(Carrier::Yamato, QStringLiteral("444413758703"));
        const TrackingNumber second = value(first.next()), third = value(second.next());
        QList<ShippedParcel> parcels;
        for (const TrackingNumber& n : {first, second, third})
            parcels << ShippedParcel{QStringLiteral("store-1"), {}, Format::Yahoo, n, day, QStringLiteral("小林")};
        QBuffer yahoo;
        yahoo.open(QIODevice::WriteOnly);
        const shipping::Written three = value(shipping::writeConfirmations(Format::Yahoo, parcels, yahoo));
        QCOMPARE(three.recordCount, 1);
        QVERIFY(three.notes.join('\n').contains(third.display()));
        parcels.removeLast();
        yahoo.buffer().clear();
        yahoo.seek(0);
        QVERIFY(value(shipping::writeConfirmations(Format::Yahoo, parcels, yahoo)).notes.filter("入る欄").isEmpty());

        QList<ShippedParcel> rms;
        for (const TrackingNumber& n : {first, second})
            rms << ShippedParcel{QStringLiteral("421951-1"), QStringLiteral("7"), Format::Rakuten, n, day, {}};
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const shipping::Written two = value(shipping::writeConfirmations(Format::Rakuten, rms, buffer));
        QCOMPARE(readCsv(bytes, csv::Encoding::Cp932, false).column("お荷物伝票番号"), digitsOf({first, second}));
        QVERIFY(two.notes.join('\n').contains(QStringLiteral("421951-1")));
    }

    // The published Rakuten sample row (333267-20260901-0000000001,,,621234567890,1003,2026-09-08):
    // 日本郵便 is 1003. Its number is a placeholder that fails the check
    // digit, so a published ゆうパック number stands in.
    void rakutenSampleRow()
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const ShippedParcel parcel{QStringLiteral("333267-20260901-0000000001"),
                                   {},
                                   Format::Rakuten,
                                   number(Carrier::JapanPost, QStringLiteral("405548424886")),
                                   QDate(2026, 9, 8),
                                   {}};
        const auto result = shipping::writeConfirmations(Format::Rakuten, {parcel}, buffer);
        QVERIFY(value(result).notes.isEmpty());
        QCOMPARE(readCsv(bytes, csv::Encoding::Cp932, false).rows.front(),
                 (QHash<QString, QString>{{"注文番号", "333267-20260901-0000000001"},
                                          {"送付先ID", ""},
                                          {"発送明細ID", ""},
                                          {"お荷物伝票番号", "405548424886"},
                                          {"配送会社", "1003"},
                                          {"発送日", "2026-09-08"}}));
    }

    // Refusals: nothing reaches the device.
    void confirmationsRefused()
    {
        const TrackingNumber n = number(Carrier::Yamato, QStringLiteral("444413758703"));
        const auto refused = [](Format format, const ShippedParcel& parcel) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            auto result = shipping::writeConfirmations(format, {parcel}, buffer);
            if (!!problem(result).isEmpty())
                return QString();
            if (!bytes.isEmpty())
                qFatal("bytes written on refusal");
            return problem(result);
        };
        const QDate day(2026, 9, 8);
        // CP932 has no 𠮷: named with its order, never written as '?'.
        const QString why = refused(Format::Rakuten, {QStringLiteral("𠮷-1"), {}, Format::Rakuten, n, day, {}});
        QVERIFY2(why.contains(QStringLiteral("「𠮷」")) && why.contains(QStringLiteral("注文 𠮷-1")), qPrintable(why));
        QVERIFY(refused(Format::Amazon, {QStringLiteral("1\t2"), {}, Format::Amazon, n, day, {}})
                    .contains(QStringLiteral("タブ")));
        QVERIFY(
            refused(Format::Generic, {QStringLiteral("1"), {}, {}, n, QDate(), {}}).contains(QStringLiteral("発送日")));
        // UTF-8 holds it in the generic list.
        QVERIFY(refused(Format::Generic, {QStringLiteral("𠮷-1"), {}, Format::Rakuten, n, day, {}}).isEmpty());

        FailDevice full(10);
        const auto result = shipping::writeConfirmations(Format::Generic, {{"1", {}, {}, n, day, {}}}, full);
        QVERIFY(problem(result).contains(QStringLiteral("No space left")));
        QCOMPARE(value(shipping::formatFromToken(QStringLiteral("Rakuten"))), Format::Rakuten);
    }
};

int main(int argc, char** argv)
{
    enterPrivateMounts(); // before any thread exists
    QCoreApplication app(argc, argv);
    TrackingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tracking.moc"
