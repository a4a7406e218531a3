// Shipping confirmations through real files: the shop platforms' lists
// printed with numbered forms by the command line, a reprint both ways, and
// each platform's file read back as the platform reads it; lists made up
// here that no one wrote by hand; the file written onto a full disk, a
// failing device, a device and a named pipe.
#include "doubles.h"
#include "faildevice.h"
#include "fifo.h"
#include "mounts.h"
#include "shopfiles.h"

#include "cli/commandline.h"
#include "csv/reader.h"
#include "station/printrun.h"
#include "station/shipped.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTest>

using namespace testing;
using tracking::Carrier;
using tracking::TrackingNumber;

namespace {

struct Run {
    int exit = -1;
    QString out, err;
};

TrackingNumber number(Carrier carrier, const QString& typed)
{
    auto read = TrackingNumber::read(carrier, typed);
    if (!read)
        qFatal("%s", qPrintable(read.error()));
    return *read;
}

// The numbers of `count` forms from `first` on, as the forms carry them.
QStringList formsFrom(const TrackingNumber& first, int count)
{
    QStringList digits;
    std::optional<TrackingNumber> n = first;
    for (int i = 0; i < count && n; ++i) {
        digits << n->digits();
        const auto following = n->next();
        n = following ? std::optional(*following) : std::nullopt;
    }
    return digits;
}

// A file read back by its field names: rows of name → field.
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

// A comma-separated file as a platform reads it: the program's CSV reader,
// the encoding it finds checked against the format's.
Table readCsvFile(const QString& path, csv::Encoding expected)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    csv::Reader reader(file);
    if (!reader.start() || reader.encoding() != expected)
        qFatal("%s: not in the format's encoding", qPrintable(path));
    QList<QStringList> records;
    csv::Record record;
    while (reader.next(record) == csv::Reader::Step::Record)
        records << record.fields;
    return table(records);
}

// Amazon's template: CP932, tabs, CR LF; the template row and the labels
// above the field names.
Table readAmazonFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    const QByteArray bytes = file.readAll();
    QStringDecoder cp932("Shift_JIS");
    const QString text = cp932(bytes);
    QList<QStringList> records;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        records << line.split(QLatin1Char('\t'));
    if (cp932.hasError() || records.size() < 3 || !records[0].value(0).startsWith(QLatin1String("TemplateType=")) ||
        records[1].value(0) != QStringLiteral("注文番号"))
        qFatal("%s: not Amazon's template", qPrintable(path));
    return table(records.mid(2));
}

// One made-up order list of a platform, and what must come back from it.
struct MadeList {
    QString path;
    QString carrier;
    QString firstNumber;
    QStringList parcelKeys; // per waybill: order number, and for RMS "/" and its 送付先ID
};

struct Place {
    const char* postal1;
    const char* postal2;
    const char* prefecture;
    const char* city;
    const char* rest;
};
// Places that the list checks take as they are.
constexpr Place kPlaces[] = {
    {"222", "0033", "神奈川県", "横浜市港北区", "新横浜2-100-45"},
    {"060", "0001", "北海道", "札幌市中央区", "北一条西2-1"},
    {"812", "0011", "福岡県", "福岡市博多区", "博多駅前3-2-1"},
    {"530", "0001", "大阪府", "大阪市北区", "梅田1-1-1"},
    {"100", "0005", "東京都", "千代田区", "丸の内1-9-1"},
    {"460", "0008", "愛知県", "名古屋市中区", "栄3-4-5"},
};
constexpr std::pair<const char*, const char*> kNames[] = {
    {"鈴木", "一郎"}, {"高橋", "健"},   {"伊藤", "さくら"}, {"佐藤", "花子"}, {"田中", "花子"},
    {"中村", "翔"},   {"小林", "陽子"}, {"山田", "次郎"},   {"加藤", "恵"},
};
constexpr std::array<const char*, 3> kPhones[] = {
    {"045", "123", "4567"},  {"011", "222", "3333"}, {"06", "1111", "2222"},
    {"090", "5555", "6666"}, {"052", "111", "2222"}, {"080", "2222", "3333"},
};

// The line of a list for its heading row, from the fields named.
QString lineOf(const QStringList& headings, const QHash<QString, QString>& fields, QChar separator)
{
    QStringList cells;
    for (const QString& heading : headings)
        cells << fields.value(heading);
    return cells.join(separator);
}

class ListMaker {
public:
    explicit ListMaker(quint32 seed) : m_random(seed) {}

    int pick(int from, int to) { return int(m_random.bounded(from, to + 1)); }
    const Place& place() { return kPlaces[pick(0, int(std::size(kPlaces)) - 1)]; }
    const std::pair<const char*, const char*>& name() { return kNames[pick(0, int(std::size(kNames)) - 1)]; }
    const std::array<const char*, 3>& phone() { return kPhones[pick(0, int(std::size(kPhones)) - 1)]; }
    template <class T>
    void shuffle(QList<T>& items)
    {
        for (qsizetype i = items.size() - 1; i > 0; --i)
            items.swapItemsAt(i, m_random.bounded(int(i + 1)));
    }

    // 楽天 RMS: orders to one to three addresses (送付先ID), each of one to
    // three items; the lines of all orders mixed.
    ShopFile rakuten(QStringList& keys)
    {
        const QString heading = rakutenFile().text.section(QStringLiteral("\r\n"), 0, 0);
        const QStringList headings = heading.split(QLatin1Char(','));
        QList<QString> lines;
        const int orders = pick(2, 5);
        for (int o = 0; o < orders; ++o) {
            const QString order = QStringLiteral("421951-20261201-%1").arg(m_serial++, 10, 10, QLatin1Char('0'));
            const Place& buyerPlace = place();
            const auto& buyer = name();
            const auto& buyerPhone = phone();
            const int shipTos = pick(1, 3);
            for (int d = 0; d < shipTos; ++d) {
                const QString shipToId = QString::number(1000000000 + m_serial++);
                keys << order + QLatin1Char('/') + shipToId;
                const Place& to = place();
                const auto& who = name();
                const auto& tel = phone();
                for (int item = pick(1, 3); item > 0; --item)
                    lines << lineOf(headings,
                                    {{"注文番号", order},
                                     {"ステータス", "発送待ち"},
                                     {"注文者郵便番号1", buyerPlace.postal1},
                                     {"注文者郵便番号2", buyerPlace.postal2},
                                     {"注文者住所都道府県", buyerPlace.prefecture},
                                     {"注文者住所郡市区", buyerPlace.city},
                                     {"注文者住所それ以降の住所", buyerPlace.rest},
                                     {"注文者姓", buyer.first},
                                     {"注文者名", buyer.second},
                                     {"注文者電話番号1", buyerPhone[0]},
                                     {"注文者電話番号2", buyerPhone[1]},
                                     {"注文者電話番号3", buyerPhone[2]},
                                     {"複数送付先フラグ", shipTos > 1 ? "1" : "0"},
                                     {"送付先ID", shipToId},
                                     {"送付先郵便番号1", to.postal1},
                                     {"送付先郵便番号2", to.postal2},
                                     {"送付先住所都道府県", to.prefecture},
                                     {"送付先住所郡市区", to.city},
                                     {"送付先住所それ以降の住所", to.rest},
                                     {"送付先姓", who.first},
                                     {"送付先名", who.second},
                                     {"送付先電話番号1", tel[0]},
                                     {"送付先電話番号2", tel[1]},
                                     {"送付先電話番号3", tel[2]},
                                     {"商品明細ID", QString::number(m_serial++)},
                                     {"商品名", QStringLiteral("緑茶%1").arg(item)},
                                     {"個数", QString::number(item)}},
                                    QLatin1Char(','));
            }
        }
        shuffle(lines);
        return {"made-rakuten.csv",
                "Shift_JIS",
                heading + QStringLiteral("\r\n") + lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"),
                {},
                {}};
    }

    // Amazon's order report: orders of one to three items, lines mixed.
    ShopFile amazon(QStringList& keys)
    {
        const QString heading = amazonFile().text.section(QLatin1Char('\n'), 0, 0);
        const QStringList headings = heading.split(QLatin1Char('\t'));
        QList<QString> lines;
        for (int o = pick(2, 5); o > 0; --o) {
            const QString order = QStringLiteral("%1-%2-%3")
                                      .arg(pick(100, 999))
                                      .arg(m_serial++, 7, 10, QLatin1Char('0'))
                                      .arg(pick(1000000, 9999999));
            keys << order;
            const Place& to = place();
            const auto& who = name();
            const auto& tel = phone();
            for (int item = pick(1, 3); item > 0; --item)
                lines << lineOf(headings,
                                {{"order-id", order},
                                 {"order-item-id", QString::number(10000000000000 + m_serial++)},
                                 {"buyer-name", QStringLiteral("%1 %2").arg(who.first, who.second)},
                                 {"sku", QStringLiteral("SKU-%1").arg(item)},
                                 {"product-name", QStringLiteral("タオル%1").arg(item)},
                                 {"quantity-purchased", QString::number(item)},
                                 {"recipient-name", QStringLiteral("%1 %2").arg(who.first, who.second)},
                                 {"ship-address-1", QString::fromUtf8(to.rest)},
                                 {"ship-city", to.city},
                                 {"ship-state", to.prefecture},
                                 {"ship-postal-code", QStringLiteral("%1-%2").arg(to.postal1, to.postal2)},
                                 {"ship-country", "JP"},
                                 {"ship-phone-number", QStringLiteral("%1-%2-%3").arg(tel[0], tel[1], tel[2])}},
                                QLatin1Char('\t'));
        }
        shuffle(lines);
        return {"made-amazon.txt",
                "UTF-8",
                heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n')) + QLatin1Char('\n'),
                {},
                {}};
    }

    // Yahoo!ショッピング: one line an order.
    ShopFile yahoo(QStringList& keys)
    {
        const QString heading = yahooFile().text.section(QStringLiteral("\r\n"), 0, 0);
        const QStringList headings = heading.split(QLatin1Char(','));
        QString text = heading + QStringLiteral("\r\n");
        for (int o = pick(1, 4); o > 0; --o) {
            const QString order = QStringLiteral("store-%1").arg(m_serial++);
            keys << order;
            const Place& to = place();
            const auto& who = name();
            const auto& tel = phone();
            text += lineOf(headings,
                           {{"OrderId", order},
                            {"ShipName", QStringLiteral("%1 %2").arg(who.first, who.second)},
                            {"ShipZipCode", QString::fromUtf8(to.postal1) + QString::fromUtf8(to.postal2)},
                            {"ShipPrefecture", to.prefecture},
                            {"ShipCity", to.city},
                            {"ShipAddress1", to.rest},
                            {"ShipPhoneNumber", QStringLiteral("%1-%2-%3").arg(tel[0], tel[1], tel[2])}},
                           QLatin1Char(',')) +
                    QStringLiteral("\r\n");
        }
        return {"made-yahoo.csv", "Shift_JIS", text, {}, {}};
    }

    // Shopify: an order's later lines without its address, in order.
    ShopFile shopify(QStringList& keys)
    {
        const QString heading = shopifyFile().text.section(QStringLiteral("\r\n"), 0, 0).remove(QChar(0xFEFF));
        const QStringList headings = heading.split(QLatin1Char(','));
        QString text = heading + QStringLiteral("\r\n");
        for (int o = pick(1, 4); o > 0; --o) {
            const QString order = QStringLiteral("#%1").arg(m_serial++);
            keys << order;
            const Place& to = place();
            const auto& who = name();
            const auto& tel = phone();
            for (int item = pick(1, 3), line = 0; item > 0; --item, ++line) {
                QHash<QString, QString> fields{{"Name", order},
                                               {"Lineitem quantity", QString::number(item)},
                                               {"Lineitem name", QStringLiteral("キャンドル%1").arg(item)}};
                if (line == 0)
                    fields.insert({{"Shipping Name", QStringLiteral("%1 %2").arg(who.first, who.second)},
                                   {"Shipping Address1", QString::fromUtf8(to.rest)},
                                   {"Shipping City", to.city},
                                   {"Shipping Zip", QStringLiteral("%1-%2").arg(to.postal1, to.postal2)},
                                   {"Shipping Province", to.prefecture},
                                   {"Shipping Country", "JP"},
                                   {"Shipping Phone", QStringLiteral("%1-%2-%3").arg(tel[0], tel[1], tel[2])}});
                text += lineOf(headings, fields, QLatin1Char(',')) + QStringLiteral("\r\n");
            }
        }
        return {"made-shopify.csv", "UTF-8", text, {}, {}};
    }

private:
    QRandomGenerator m_random;
    int m_serial = 1;
};

} // namespace

class ConfirmationsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TestFolders m_folders;

    // Folders of a fresh station under the test's folder.
    void freshFolders(const QString& name)
    {
        for (auto [folder, part] : {std::pair{&m_folders.app, "app"}, std::pair{&m_folders.user, "user"},
                                    std::pair{&m_folders.docs, "docs"}, std::pair{&m_folders.config, "config"}})
            QVERIFY(QDir().mkpath(*folder = m_dir.filePath(name + QLatin1Char('/') + QString::fromLatin1(part))));
    }

    Run run(const QStringList& arguments)
    {
        Run r;
        QTextStream out(&r.out), err(&r.err);
        r.exit = cli::run(arguments, m_folders, out, err);
        return r;
    }

    // The list printed to a PDF file, its forms numbered from `first`.
    Run print(const QString& list, const QString& carrier, const QString& first)
    {
        return run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), list + QStringLiteral(".pdf"),
                    QStringLiteral("--no-sender"), QStringLiteral("--carrier"), carrier,
                    QStringLiteral("--first-number"), first});
    }

    // The platform's file of today's parcels; its path.
    QString shipped(const char* format)
    {
        const QString path = m_dir.filePath(QStringLiteral("%1-%2").arg(QString::fromLatin1(format)).arg(m_files++));
        const Run r = run({QStringLiteral("--shipped"), QString::fromLatin1(format), QStringLiteral("--out"), path});
        if (r.exit != 0)
            qWarning("%s", qPrintable(r.err));
        return r.exit == 0 ? path : QString();
    }

    // The four platforms' lists printed, as a shop prints a day's orders.
    void printShopLists()
    {
        QVERIFY(print(writeShopFile(m_dir.path(), rakutenFile()), "yamato", "444413758703").exit == 0);
        QVERIFY(print(writeShopFile(m_dir.path(), amazonFile()), "sagawa", "600078420325").exit == 0);
        QVERIFY(print(writeShopFile(m_dir.path(), yahooFile()), "japanpost", "405548424886").exit == 0);
        QVERIFY(print(writeShopFile(m_dir.path(), shopifyFile()), "yamato", "444413758736").exit == 0);
    }

    int m_files = 0;

private slots:
    void initTestCase()
    {
        // No spooler of the machine's own: every print here goes to a file.
        qputenv("CUPS_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("no-cups.sock"))));
    }

    // Three platforms' lists (and Shopify's) printed with numbered forms:
    // each platform's file holds its own orders only, one line a parcel
    // with that parcel's number, in the platform's encoding and headings;
    // the RMS order to two addresses has each 送付先ID with its own number.
    // The same first number given again is refused, nothing printed.
    void platformsListsComeBackInTheirOwnFiles()
    {
        freshFolders(QStringLiteral("own"));
        printShopLists();
        const QStringList yamato = formsFrom(number(Carrier::Yamato, QStringLiteral("444413758703")), 5);
        const QStringList sagawa = formsFrom(number(Carrier::Sagawa, QStringLiteral("600078420325")), 2);

        const Table rakuten = readCsvFile(shipped("rakuten"), csv::Encoding::Cp932);
        QCOMPARE(rakuten.headings,
                 (QStringList{"注文番号", "送付先ID", "発送明細ID", "お荷物伝票番号", "配送会社", "発送日"}));
        QCOMPARE(rakuten.column("注文番号"), (QStringList{"421951-20261201-0000000001", "421951-20261201-0000000002",
                                                          "421951-20261201-0000000002"}));
        QCOMPARE(rakuten.column("送付先ID"), (QStringList{"1000000001", "1000000011", "1000000012"}));
        QCOMPARE(rakuten.column("お荷物伝票番号"), yamato.first(3));
        QCOMPARE(rakuten.column("配送会社"), QStringList(3, QStringLiteral("1001")));

        const Table amazon = readAmazonFile(shipped("amazon"));
        QCOMPARE(amazon.column("order-id"), (QStringList{"503-1234567-7654321", "250-9876543-1111111"}));
        QCOMPARE(amazon.column("tracking-number"), sagawa);
        QCOMPARE(amazon.column("carrier-name"), QStringList(2, QStringLiteral("佐川急便")));

        const Table yahoo = readCsvFile(shipped("yahoo"), csv::Encoding::Utf8); // plain ASCII
        QCOMPARE(yahoo.column("OrderId"), QStringList{"store-10000123"});
        QCOMPARE(yahoo.column("ShipInvoiceNumber1"), QStringList{"405548424886"});
        QCOMPARE(yahoo.column("ShipInvoiceNumber2"), QStringList{QString()});

        const Table shopify = readCsvFile(shipped("shopify"), csv::Encoding::Utf8);
        QCOMPARE(shopify.column("Name"), (QStringList{"#1001", "#1002"}));
        QCOMPARE(shopify.column("Fulfillment: Tracking Number"), yamato.mid(3));

        const Table generic = readCsvFile(shipped("generic"), csv::Encoding::Utf8);
        QCOMPARE(generic.rows.size(), 8);

        // The first number of the Shopify list given again: its forms are
        // parcels' already.
        const QString again = writeShopFile(m_dir.path(), shopifyFile());
        QFile::remove(again + QStringLiteral(".pdf"));
        const Run r = print(again, QStringLiteral("yamato"), QStringLiteral("4444-1375-8736"));
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("4444-1375-8736")) && r.err.contains(QStringLiteral("2つの荷物")),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(again + QStringLiteral(".pdf")));
    }

    // A reprint both ways: the Yahoo! order's form spoiled (its file then
    // has the new number only, and the form is listed as spoiled), an
    // Amazon order's first form kept for another parcel (both in its file).
    void reprintBothWays()
    {
        freshFolders(QStringLiteral("reprint"));
        printShopLists();
        FixedInstance instance;
        RecordingDestination printer;
        printer.queue = QStringLiteral("waybill");
        station::Station station(m_folders, instance, printer);
        station::PrintRun printRun(station);
        QVERIFY(station.formStacks().save(
            printer.queue, tracking::FormStack(number(Carrier::JapanPost, QStringLiteral("405548424890")))));
        const auto entryOf = [&](const QString& order) {
            return station.history().search({.orderNumber = order}).value(0);
        };
        QVERIFY(
            printRun.printAgain(entryOf(QStringLiteral("store-10000123")), {}, station::PrintRun::EarlierForm::Spoiled)
                .delivery.ok);
        QVERIFY(station.formStacks().save(
            printer.queue, tracking::FormStack(number(Carrier::Sagawa, QStringLiteral("600099783555")))));
        QVERIFY(printRun
                    .printAgain(entryOf(QStringLiteral("250-9876543-1111111")), {},
                                station::PrintRun::EarlierForm::AnotherParcel)
                    .delivery.ok);

        const Table yahoo = readCsvFile(shipped("yahoo"), csv::Encoding::Utf8);
        QCOMPARE(yahoo.column("ShipInvoiceNumber1"), QStringList{"405548424890"});
        QCOMPARE(yahoo.column("ShipInvoiceNumber2"), QStringList{QString()});
        const QList<history::SpoiledForm> spoiled = station.history().spoiledForms();
        QCOMPARE(spoiled.size(), 1);
        QCOMPARE(spoiled.front().trackingNumber.digits(), QStringLiteral("405548424886"));
        QCOMPARE(spoiled.front().reason, history::SpoiledReason::Reprinted);

        const Table amazon = readAmazonFile(shipped("amazon"));
        const QStringList sagawa = formsFrom(number(Carrier::Sagawa, QStringLiteral("600078420325")), 2);
        QCOMPARE(amazon.column("order-id"),
                 (QStringList{"503-1234567-7654321", "250-9876543-1111111", "250-9876543-1111111"}));
        QCOMPARE(amazon.column("tracking-number"), (QStringList{sagawa[0], sagawa[1], "600099783555"}));

        const Table generic = readCsvFile(shipped("generic"), csv::Encoding::Utf8);
        QCOMPARE(generic.rows.size(), 9);
        QVERIFY(!generic.column("伝票番号").contains(QStringLiteral("4055-4842-4886")));
    }

    // Lists made up here, of every platform, orders over several lines and
    // (RMS) several ship-tos, printed with numbered forms: each comes back
    // in its own platform's file only, each parcel once with its own valid
    // number, each RMS ship-to named by its id.
    void madeUpListsComeBackWhole_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {7u, 41u, 2026u})
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }
    void madeUpListsComeBackWhole()
    {
        QFETCH(quint32, seed);
        freshFolders(QStringLiteral("made-%1").arg(seed));
        ListMaker make(seed);
        struct Platform {
            const char* format;
            ShopFile file;
            QStringList keys;
            Carrier carrier;
            QString first;
        };
        QList<Platform> platforms;
        platforms.append({"rakuten", {}, {}, Carrier::Yamato, QStringLiteral("444413758703")});
        platforms.back().file = make.rakuten(platforms.back().keys);
        platforms.append({"amazon", {}, {}, Carrier::Sagawa, QStringLiteral("600078420325")});
        platforms.back().file = make.amazon(platforms.back().keys);
        platforms.append({"yahoo", {}, {}, Carrier::JapanPost, QStringLiteral("405548424886")});
        platforms.back().file = make.yahoo(platforms.back().keys);
        platforms.append({"shopify", {}, {}, Carrier::Yamato, QStringLiteral("555500000005")});
        platforms.back().file = make.shopify(platforms.back().keys);

        QSet<QString> printedNumbers;
        qsizetype parcels = 0;
        for (const Platform& platform : platforms) {
            const QString list = writeShopFile(m_dir.path(), platform.file);
            const Run r = print(list, tracking::carrierToken(platform.carrier), platform.first);
            QVERIFY2(r.exit == 0, qPrintable(list + QLatin1Char('\n') + r.err));
            for (const QString& digits : formsFrom(number(platform.carrier, platform.first), int(platform.keys.size())))
                printedNumbers.insert(digits);
            parcels += platform.keys.size();
        }
        QCOMPARE(printedNumbers.size(), parcels);

        QSet<QString> confirmed;
        for (const Platform& platform : platforms) {
            const QString path = shipped(platform.format);
            QVERIFY(!path.isEmpty());
            Table file;
            QString orderColumn, numberColumn;
            if (QLatin1String(platform.format) == QLatin1String("amazon")) {
                file = readAmazonFile(path);
                orderColumn = QStringLiteral("order-id"), numberColumn = QStringLiteral("tracking-number");
            } else if (QLatin1String(platform.format) == QLatin1String("rakuten")) {
                file = readCsvFile(path, csv::Encoding::Cp932);
                orderColumn = QStringLiteral("注文番号"), numberColumn = QStringLiteral("お荷物伝票番号");
            } else if (QLatin1String(platform.format) == QLatin1String("yahoo")) {
                file = readCsvFile(path, csv::Encoding::Utf8);
                orderColumn = QStringLiteral("OrderId"), numberColumn = QStringLiteral("ShipInvoiceNumber1");
            } else {
                file = readCsvFile(path, csv::Encoding::Utf8);
                orderColumn = QStringLiteral("Name"), numberColumn = QStringLiteral("Fulfillment: Tracking Number");
            }
            QStringList keys;
            for (const auto& row : file.rows) {
                QString key = row.value(orderColumn);
                if (QLatin1String(platform.format) == QLatin1String("rakuten")) {
                    QVERIFY(!row.value(QStringLiteral("送付先ID")).isEmpty());
                    key += QLatin1Char('/') + row.value(QStringLiteral("送付先ID"));
                }
                keys << key;
                const QString digits = row.value(numberColumn);
                QVERIFY2(TrackingNumber::read(platform.carrier, digits).has_value(), qPrintable(digits));
                QVERIFY2(!confirmed.contains(digits), qPrintable(digits + QStringLiteral(" twice")));
                confirmed.insert(digits);
            }
            QStringList expected = platform.keys;
            keys.sort();
            expected.sort();
            QCOMPARE(keys, expected);
        }
        QCOMPARE(confirmed, printedNumbers);
    }

    // The file written where it cannot be: a failing write and a full disk
    // say so with a non-zero exit and leave the file that was there whole;
    // a device and a named pipe are refused without being opened for
    // writing (nor waited on).
    void fileThatCannotBeWritten()
    {
        freshFolders(QStringLiteral("refusals"));
        QVERIFY(print(writeShopFile(m_dir.path(), yahooFile()), "japanpost", "405548424886").exit == 0);
        const QByteArray old = "前の出荷情報\r\n";
        const auto writeOld = [&](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(old) == old.size();
        };
        const auto contentOf = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };

        // A write failing at the 40th byte.
        const QString failing = m_dir.filePath(QStringLiteral("failing.csv"));
        QVERIFY(writeOld(failing));
        {
            FixedInstance instance;
            RecordingDestination printer;
            station::Station station(m_folders, instance, printer);
            const station::ShippedReport report = station::writeShipped(
                station, shipping::Format::Generic, failing, QDate::currentDate(), QDate::currentDate(),
                [](QIODevice& file) { return std::make_unique<FailAfter>(file, 40); });
            QVERIFY(!report.ok);
            QVERIFY2(report.message.contains(QStringLiteral("No space left")) &&
                         report.message.contains(QStringLiteral("そのまま")),
                     qPrintable(report.message));
        }
        QCOMPARE(contentOf(failing), old);

        // A real full disk.
        const QString small = m_dir.filePath(QStringLiteral("small"));
        {
            SmallMount mount(small, "size=64k");
            if (mount.mounted()) {
                const QString onFullDisk = QDir(small).filePath(QStringLiteral("shipped.csv"));
                QVERIFY(writeOld(onFullDisk));
                fillUp(small);
                const Run r = run({"--shipped", "generic", "--out", onFullDisk});
                QCOMPARE(r.exit, 2);
                QVERIFY2(!r.err.isEmpty() && r.out.isEmpty(), qPrintable(r.out));
                QCOMPARE(contentOf(onFullDisk), old);
            } else {
                qInfo("no small file system here (not root): the full disk is the failing write above");
            }
        }

        // A device, and a named pipe: never written into.
        Run r = run({"--shipped", "generic", "--out", "/dev/null"});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("ふつうのファイルではありません")), qPrintable(r.err));
        GuardedFifo fifo(m_dir.filePath(QStringLiteral("pipe.csv")));
        r = run({"--shipped", "generic", "--out", fifo.path()});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("ふつうのファイルではありません")), qPrintable(r.err));
        QVERIFY(!fifo.released());
    }
};

int main(int argc, char** argv)
{
    enterPrivateMounts(); // before any thread exists
    QGuiApplication app(argc, argv);
    ConfirmationsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_confirmations.moc"
