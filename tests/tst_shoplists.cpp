// Shop platforms' order lists, their heading rows written as the exports have
// them (and as shops' files change them): recognition, ship-to over buyer,
// joined parts, values, the address over two lines, items over goods lines.
#include "shopfiles.h"

#include "orders/itemfile.h"
#include "orders/orderlist.h"
#include "orders/prefectures.h"
#include "orders/rows.h"
#include "orders/shoplayouts.h"
#include "orders/telephones.h"

#include <QTemporaryDir>
#include <QTest>

using namespace orders;

namespace {

QStringList split(const QString& line, QChar separator = u',') { return line.split(separator); }

// A row for `headings` with these cells by heading; the rest empty.
QStringList row(const QStringList& headings, const QList<std::pair<QString, QString>>& cells)
{
    QStringList out(headings.size());
    for (const auto& [heading, value] : cells) {
        const qsizetype column = headings.indexOf(heading);
        if (column < 0)
            qFatal("no heading %s", qPrintable(heading));
        out[column] = value;
    }
    return out;
}

RecognisedLayout recognised(const QStringList& headings)
{
    const auto layout = recogniseLayout(headings);
    if (!layout)
        qFatal("headings not recognised: %s", qPrintable(headings.join(u',')));
    return *layout;
}

// Postal code|address|building|name|telephone.
QString summary(const PersonParts& p)
{
    return QStringList{p.postalCode, p.address, p.building, p.name, p.telephone}.join(u'|');
}

// A stand-in for the form's width check: at most `n` characters.
LineFits atMost(qsizetype n)
{
    return [n](const QString& text) { return text.size() <= n; };
}

// RMS 全カラム (楽天ペイ) as its public column list has it.
const QStringList kRms = split(QStringLiteral(
    "配送会社,お荷物伝票番号,注文番号,ステータス,注文日時,配送方法,複数送付先フラグ,送付先一致フラグ,商品合計金額,"
    "注文者郵便番号1,注文者郵便番号2,注文者住所都道府県,注文者住所郡市区,注文者住所それ以降の住所,注文者姓,注文者名,"
    "注文者姓カナ,注文者名カナ,注文者電話番号1,注文者電話番号2,注文者電話番号3,注文者メールアドレス,送付先ID,送付先送料,のし,"
    "送付先郵便番号1,送付先郵便番号2,送付先住所都道府県,送付先住所郡市区,送付先住所それ以降の住所,送付先姓,送付先名,"
    "送付先姓カナ,送付先名カナ,送付先電話番号1,送付先電話番号2,送付先電話番号3,商品明細ID,商品ID,商品名,商品番号,"
    "商品管理番号,単価,個数,項目・選択肢,お届け時間帯,お届け日指定,コメント"));

const QStringList kAmazonOrders = split(
    QStringLiteral(
        "order-id\torder-item-id\tpurchase-date\tpayments-date\tbuyer-email\tbuyer-name\tbuyer-phone-number\tsku\tproduct-name\t"
        "quantity-purchased\tcurrency\titem-price\titem-tax\tshipping-price\tshipping-tax\tship-service-level\trecipient-name\t"
        "ship-address-1\tship-address-2\tship-address-3\tship-city\tship-state\tship-postal-code\tship-country\tship-phone-number\t"
        "delivery-start-date\tdelivery-end-date\tdelivery-time-zone\tdelivery-Instructions\tsales-channel"),
    u'\t');

const QStringList kAmazonUnshipped = split(
    QStringLiteral(
        "order-id\torder-item-id\tpurchase-date\tpayments-date\treporting-date\tpromise-date\tdays-past-promise\tbuyer-email\t"
        "buyer-name\tbuyer-phone-number\tsku\tproduct-name\tquantity-purchased\tquantity-shipped\tquantity-to-ship\t"
        "ship-service-level\trecipient-name\tship-address-1\tship-address-2\tship-address-3\tship-city\tship-state\t"
        "ship-postal-code\tship-country\tpayment-method\tcod-collectible-amount\talready-paid\tpayment-method-fee\t"
        "scheduled-delivery-start-date\tscheduled-delivery-end-date\tpoints-granted\tis-prime"),
    u'\t');

const QStringList kShopify = split(QStringLiteral(
    "Name,Email,Financial Status,Paid at,Fulfillment Status,Fulfilled at,Accepts Marketing,Currency,Subtotal,Shipping,Taxes,"
    "Total,Discount Code,Discount Amount,Shipping Method,Created at,Lineitem quantity,Lineitem name,Lineitem price,"
    "Lineitem compare at price,Lineitem sku,Lineitem requires shipping,Lineitem taxable,Lineitem fulfillment status,"
    "Billing Name,Billing Street,Billing Address1,Billing Address2,Billing Company,Billing City,Billing Zip,"
    "Billing Province,Billing Country,Billing Phone,Shipping Name,Shipping Street,Shipping Address1,Shipping Address2,"
    "Shipping Company,Shipping City,Shipping Zip,Shipping Province,Shipping Country,Shipping Phone,Notes,Note Attributes,"
    "Cancelled at,Payment Method,Payment Reference,Refunded Amount,Vendor,Id,Tags,Risk Level,Source,Lineitem discount"));

// RMS before 楽天ペイ: other words, full-width digits.
const QStringList kRmsOld = split(QStringLiteral(
    "受注番号,受注ステータス,注文者郵便番号１,注文者郵便番号２,注文者住所：都道府県,注文者名字,注文者名前,送付先郵便番号１,"
    "送付先郵便番号２,送付先住所：都道府県,送付先住所：都市区,送付先住所：町以降,送付先名字,送付先名前,送付先電話番号１,"
    "送付先電話番号２,送付先電話番号３,商品名,商品番号,単価,個数"));

const QStringList kYahoo = split(QStringLiteral(
    "OrderId,OrderTime,ShipName,ShipZipCode,ShipPrefecture,ShipCity,ShipAddress1,ShipAddress2,ShipPhoneNumber,"
    "BillLastName,BillFirstName,BillZipCode,BillPrefecture,BillCity,BillAddress1,BillPhoneNumber,PayMethodName"));

} // namespace

Q_DECLARE_METATYPE(orders::Shop)

class ShopListsTest : public QObject {
    Q_OBJECT

private slots:
    void recognisesShops_data()
    {
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<Shop>("shop");
        QTest::newRow("RMS") << kRms << Shop::RakutenRms;
        QStringList wide = kRms;
        for (QString& heading : wide)
            heading.replace(u'1', u'１').replace(u'2', u'２').prepend(u' ');
        QTest::newRow("RMS, full-width digits, blanks") << wide << Shop::RakutenRms;
        QTest::newRow("RMS, few columns, reordered")
            << split(QStringLiteral(
                   "送付先姓,送付先名,商品名,送付先住所郡市区,送付先郵便番号2,送付先郵便番号1,注文番号,送付先住所都道府県"))
            << Shop::RakutenRms;
        QTest::newRow("RMS before 楽天ペイ") << kRmsOld << Shop::RakutenRmsOld;
        QTest::newRow("Amazon unshipped") << kAmazonUnshipped << Shop::AmazonUnshippedReport;
        QStringList upper = QStringList(kShopify.rbegin(), kShopify.rend())
                            << QStringLiteral("Shipping Province Name") << QStringLiteral("Phone");
        for (QString& heading : upper)
            heading = heading.toUpper();
        QTest::newRow("Shopify, capitals, reversed, newer columns") << upper << Shop::Shopify;
    }

    void recognisesShops()
    {
        QFETCH(QStringList, headings);
        QFETCH(Shop, shop);
        const auto layout = recogniseLayout(headings);
        QVERIFY(layout);
        QCOMPARE(layout->shop, shop);
        QVERIFY(missingFields(*layout).isEmpty());
    }

    void otherListsAreNotShops()
    {
        // The program's own lists and a Shopify customers export (no order,
        // no line items) stay with the column choice.
        QVERIFY(!recogniseLayout(addressBookHeadings()));
        QVERIFY(!recogniseLayout(split(QStringLiteral(
            "注文番号,お届け先郵便番号1,お届け先郵便番号2,お届け先都道府県,お届け先市区町村,お届け先番地,お届け先氏名,お届け先電話番号"))));
        QVERIFY(!recogniseLayout(split(QStringLiteral(
            "First Name,Last Name,Email,Company,Address1,Address2,City,Province,Province Code,Country,Zip,Phone"))));
    }

    void missingPartsAreNamed()
    {
        QCOMPARE(missingFields(recognised(
                     split(QStringLiteral("注文番号,送付先郵便番号1,送付先郵便番号2,送付先住所郡市区,商品名")))),
                 QStringList{fieldLabel(Field::Name)});
        QCOMPARE(missingFields(recognised(split(QStringLiteral("注文番号,送付先郵便番号1,送付先住所郡市区,送付先姓")))),
                 QStringList{fieldLabel(Field::PostalCode)});
    }

    void rakutenShipToOverBuyer()
    {
        const RecognisedLayout layout = recognised(kRms);
        const QStringList cells = row(kRms, {
                                                {"注文番号", "421951-20260805-0302246615"},
                                                {"注文者郵便番号1", "530"},
                                                {"注文者郵便番号2", "0001"},
                                                {"注文者住所都道府県", "大阪府"},
                                                {"注文者住所郡市区", "大阪市北区"},
                                                {"注文者住所それ以降の住所", "梅田1-1-1"},
                                                {"注文者姓", "山田"},
                                                {"注文者名", "太郎"},
                                                {"注文者電話番号1", "06"},
                                                {"注文者電話番号2", "1111"},
                                                {"注文者電話番号3", "2222"},
                                                {"送付先郵便番号1", "150"},
                                                {"送付先郵便番号2", "0041"},
                                                {"送付先住所都道府県", "東京都"},
                                                {"送付先住所郡市区", "渋谷区"},
                                                {"送付先住所それ以降の住所", "神南1-2-3 ABCビル5F"},
                                                {"送付先姓", "佐藤"},
                                                {"送付先名", "花子"},
                                                {"送付先電話番号1", "03"},
                                                {"送付先電話番号2", "1234"},
                                                {"送付先電話番号3", "5678"},
                                                {"商品名", "ダージリン 100g"},
                                                {"商品番号", "tea-01"},
                                                {"単価", "1980"},
                                                {"個数", "2"},
                                            });
        const OrderParts parts = extractOrderRow(layout, cells);
        QCOMPARE(summary(parts.shipTo),
                 QStringLiteral("150-0041|東京都渋谷区神南1-2-3 ABCビル5F||佐藤 花子|03-1234-5678"));
        QCOMPARE(summary(parts.buyer), QStringLiteral("530-0001|大阪府大阪市北区梅田1-1-1||山田 太郎|06-1111-2222"));
        QCOMPARE(parts.item, (OrderItem{QStringLiteral("ダージリン 100g"), QStringLiteral("tea-01"),
                                        QStringLiteral("2"), QStringLiteral("1980")}));
    }

    void rakutenOldLayout()
    {
        const OrderParts parts =
            extractOrderRow(recognised(kRmsOld), row(kRmsOld, {{"受注番号", "123456-20120101-00000001"},
                                                               {"送付先郵便番号１", "060"},
                                                               {"送付先郵便番号２", "0042"},
                                                               {"送付先住所：都道府県", "北海道"},
                                                               {"送付先住所：都市区", "札幌市中央区"},
                                                               {"送付先住所：町以降", "大通西1-1"},
                                                               {"送付先名字", "鈴木"},
                                                               {"送付先名前", "一郎"},
                                                               {"送付先電話番号１", "011"},
                                                               {"送付先電話番号２", "222"},
                                                               {"送付先電話番号３", "3333"}}));
        QCOMPARE(summary(parts.shipTo), QStringLiteral("060-0042|北海道札幌市中央区大通西1-1||鈴木 一郎|011-222-3333"));
    }

    void amazonReports()
    {
        // The unshipped report has no ship-to number: the buyer's is read,
        // also where the buyer is not read for the sender, and a finding
        // about it names the buyer's column. It stands in for the
        // recipient's when the buyer is the recipient; for a gift, only as
        // the shop chose.
        const RecognisedLayout unshipped = recognised(kAmazonUnshipped);
        QCOMPARE(unshipped.columnsFeeding(Field::Telephone),
                 QList<int>{int(kAmazonUnshipped.indexOf("buyer-phone-number"))});
        const QStringList unshippedCells = row(kAmazonUnshipped, {
                                                                     {"order-id", "250-1234567-1234567"},
                                                                     {"order-item-id", "11111111111111"},
                                                                     {"buyer-name", "高橋 一郎"},
                                                                     {"buyer-phone-number", "090-1111-2222"},
                                                                     {"product-name", "Tシャツ"},
                                                                     {"sku", "TS-M"},
                                                                     {"quantity-purchased", "3"},
                                                                     {"quantity-to-ship", "2"},
                                                                     {"recipient-name", "高橋 美咲"},
                                                                     {"ship-address-1", "渋谷区神南1-2-3"},
                                                                     {"ship-address-2", "グランドメゾン渋谷1203号室"},
                                                                     {"ship-city", "渋谷区"},
                                                                     {"ship-state", "東京都"},
                                                                     {"ship-postal-code", "150-0041"},
                                                                     {"ship-country", "JP"},
                                                                 });
        const OrderParts a = extractOrderRow(unshipped, unshippedCells);
        // The city written again in the street column is printed once.
        QCOMPARE(summary(a.shipTo),
                 QStringLiteral("150-0041|東京都渋谷区神南1-2-3|グランドメゾン渋谷1203号室|高橋 美咲|"));
        QCOMPARE(extractOrderRow(unshipped, unshippedCells, false).buyer.telephone, QStringLiteral("090-1111-2222"));
        QCOMPARE(a.item.quantity, QStringLiteral("2"));
        AssembledOrder gift;
        addRow(gift, a);
        QVERIFY(giftWithoutTelephone(gift));
        const QString sender = QStringLiteral("03-3211-4567");
        QCOMPARE(QStringList({recipientTelephone(gift, GiftTelephone::Buyer, sender),
                              recipientTelephone(gift, GiftTelephone::Sender, sender),
                              recipientTelephone(gift, GiftTelephone::Blank, sender)}),
                 QStringList({"090-1111-2222", "03-3211-4567", ""}));
        QStringList ownCells = unshippedCells;
        ownCells[kAmazonUnshipped.indexOf("buyer-name")] = QStringLiteral("高橋　美咲");
        AssembledOrder own;
        addRow(own, extractOrderRow(unshipped, ownCells));
        QVERIFY(!giftWithoutTelephone(own));
        QCOMPARE(recipientTelephone(own, GiftTelephone::Blank, sender), QStringLiteral("090-1111-2222"));
        // A line of an item already sent in full is no goods.
        ownCells[kAmazonUnshipped.indexOf("quantity-to-ship")] = QStringLiteral("0");
        const OrderParts sent = extractOrderRow(unshipped, ownCells);
        QVERIFY(sent.item.isEmpty() && sent.nothingToShip);
        // The building stays on line 2 although all would fit on line 1.
        const waybill::Address to = addressOf(a.shipTo, line1Fits(atMost(40)));
        QCOMPARE(to.line1 + u'|' + to.line2, QStringLiteral("東京都渋谷区神南1-2-3|グランドメゾン渋谷1203号室"));

        // The order report: item-price is per unit or per line, not known.
        const RecognisedLayout report = recognised(kAmazonOrders);
        QCOMPARE(report.columnsFeeding(Field::OrderNumber), QList<int>{0});
        const QList<std::pair<QString, QString>> cells{
            {"order-id", "250-7654321-7654321"},
            {"buyer-name", "伊藤 健"},
            {"recipient-name", "伊藤 優子"},
            {"ship-state", "福岡県"},
            {"ship-address-1", "福岡市中央区天神2-2-2"},
            {"ship-postal-code", "810-0001"},
            {"quantity-purchased", "1"},
            {"item-price", "3000"},
        };
        const OrderParts b = extractOrderRow(report, row(kAmazonOrders, cells));
        QCOMPARE(b.item.unitPrice, QString());
    }

    // Rows of an order run end to end; here what the pages do not show as
    // text of their own: the company after the building, prices written
    // "1980.00" and "4,500", the goods' amounts and total.
    void shopifyCompanyAndPrices()
    {
        const RecognisedLayout layout = recognised(kShopify);
        AssembledOrder order;
        addRow(order, extractOrderRow(layout, row(kShopify, {{"Name", "#1001"},
                                                             {"Lineitem quantity", "1"},
                                                             {"Lineitem name", "マグカップ"},
                                                             {"Lineitem price", "1980.00"},
                                                             {"Shipping Name", "中村 大輔"},
                                                             {"Shipping Address1", "神南1-2-3"},
                                                             {"Shipping Address2", "ABCビル5F"},
                                                             {"Shipping Company", "株式会社ナカムラ"},
                                                             {"Shipping City", "渋谷区"},
                                                             {"Shipping Zip", "'150-0041"},
                                                             {"Shipping Province", "JP-13"}})));
        for (const char* quantity : {"2", "3"})
            addRow(order, extractOrderRow(layout, row(kShopify, {{"Name", "#1001"},
                                                                 {"Lineitem quantity", quantity},
                                                                 {"Lineitem name", "コースター"},
                                                                 {"Lineitem price", "4,500"}})));
        QCOMPARE(order.rowCount, 3);
        QCOMPARE(addressOf(order.shipTo, line1Fits(atMost(30))).line2, QStringLiteral("ABCビル5F 株式会社ナカムラ"));
        const GoodsLines goods = orders::goodsLines(order.items);
        QCOMPARE(QStringList({goods.lines[0].unitPrice, goods.lines[1].description, goods.lines[1].quantity,
                              goods.lines[1].amount, goods.total}),
                 QStringList({"1980", "ほか 2 点", "5", "22500", "24480"}));
    }

    void yahooNamesAndWholeAddress()
    {
        const QStringList parted =
            split(QStringLiteral("OrderId,ShipLastName,ShipFirstName,ShipZipCode,ShipAddressFull"));
        const OrderParts a =
            extractOrderRow(recognised(parted), row(parted, {{"OrderId", "store-1"},
                                                             {"ShipLastName", "松本"},
                                                             {"ShipFirstName", "さくら"},
                                                             {"ShipAddressFull", "沖縄県那覇市松尾1-1-1"}}));
        QCOMPARE(a.shipTo.name + u'|' + a.shipTo.address, QStringLiteral("松本 さくら|沖縄県那覇市松尾1-1-1"));
        const OrderParts b =
            extractOrderRow(recognised(kYahoo),
                            row(kYahoo, {{"OrderId", "store-2"}, {"BillLastName", "松本"}, {"BillFirstName", "健"}}));
        QCOMPARE(b.buyer.name, QStringLiteral("松本 健"));
        AssembledOrder order; // no item columns: the list's own 品名, no empty goods line
        addRow(order, a);
        QVERIFY(order.items.isEmpty());
    }

    // As the numbering plan writes them; what it cannot place, as given.
    void telephones_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("written");
        const auto row = [](const char* name, const char* given, const char* written) {
            QTest::newRow(name) << QString::fromUtf8(given) << QString::fromUtf8(written);
        };
        row("Tokyo, digits only", "0332114567", "03-3211-4567");
        row("Fujisawa, four-digit area code", "0466227788", "0466-22-7788");
        row("mobile, digits only", "09012345678", "090-1234-5678");
        row("regrouped", "03-32-114567", "03-3211-4567");
        row("+81 together", "+819012345678", "090-1234-5678");
        row("81 together", "81312345678", "03-1234-5678");
        row("(0)", "+81 (0)3-1234-5678", "03-1234-5678");
        row("blanks as groups", "+81 3 1234 5678", "03-1234-5678");
        row("full-width", "＋８１ ９０－１２３４－５６７８", "090-1234-5678");
        row("spreadsheet's apostrophe", "'0120123456", "0120-123-456");
        row("lost its 0, kept", "9012345678", "9012345678");
        row("another country", "+1 415 555 0100", "+1 415 555 0100");
        row("too short", "+81 90-1234", "+81 90-1234");
        row("no such area", "0011-11-2222", "0011-11-2222");
    }

    void telephones()
    {
        QFETCH(QString, given);
        QFETCH(QString, written);
        QCOMPARE(telephoneAsWritten(given), written);
    }

    // Every way a list writes a prefecture reads as its kanji name; what
    // is no prefecture reads as none.
    void prefectures_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("kanji"); // empty: none
        const auto row = [](const char* given, const char* kanji) {
            QTest::newRow(given) << QString::fromUtf8(given) << QString::fromUtf8(kanji);
        };
        row("JP-13", "東京都");
        row("jp-01", "北海道");
        row("ＪＰ－４７", "沖縄県");
        row("Tokyo", "東京都");
        row("TOKYO-TO", "東京都");
        row("Tōkyō", "東京都");
        row("Tôkyô", "東京都");
        row("Toukyou", "東京都");
        row("Ōsaka", "大阪府");
        row("Osaka-fu", "大阪府");
        row("Hokkaido", "北海道");
        row("Hokkaidō", "北海道");
        row("Kyoto Prefecture", "京都府");
        row("Hyōgo-ken", "兵庫県");
        row("Kouchi", "高知県");
        row("Aichi", "愛知県");
        row("大阪", "大阪府");
        row("神奈川県", "神奈川県");
        row("Tokio", "");
        row("JP-48", "");
        row("13", "");
        row("Texas", "");
        row("東京都千代田区", "");
    }

    void prefectures()
    {
        QFETCH(QString, given);
        QFETCH(QString, kanji);
        QCOMPARE(prefectureName(given).value_or(QString()), kanji);
    }

    // Yahoo!'s item file beside its order file, named as the order file is
    // in whatever case it was written.
    void itemFileBesideTheOrderFile()
    {
        using orders::ItemFile;
        QCOMPARE(ItemFile::besideOrderFile(QStringLiteral("/d/orders_20261201.csv")),
                 QStringLiteral("/d/items_20261201.csv"));
        QCOMPARE(ItemFile::besideOrderFile(QStringLiteral("/d/Orders_20261201.csv")),
                 QStringLiteral("/d/Items_20261201.csv"));
        QCOMPARE(ItemFile::besideOrderFile(QStringLiteral("/d/ORDERS.CSV")), QStringLiteral("/d/ITEMS.CSV"));
        QCOMPARE(ItemFile::besideOrderFile(QStringLiteral("/d/list.csv")), QString());
    }

    void romanisedPrefectureBeforeTheAddress()
    {
        QCOMPARE(withKanjiPrefecture(QStringLiteral("Tokyo千代田区丸の内1-1")),
                 QStringLiteral("東京都千代田区丸の内1-1"));
        QCOMPARE(withKanjiPrefecture(QStringLiteral("Osaka-fu 大阪市北区梅田1-1")),
                 QStringLiteral("大阪府大阪市北区梅田1-1"));
        QCOMPARE(withKanjiPrefecture(QStringLiteral("Tokyo東京都千代田区")), QStringLiteral("東京都千代田区"));
        QCOMPARE(withKanjiPrefecture(QStringLiteral("JP-27大阪市北区")), QStringLiteral("大阪府大阪市北区"));
        QCOMPARE(withKanjiPrefecture(QStringLiteral("Aichi-ken名古屋市中区")), QStringLiteral("愛知県名古屋市中区"));
        for (const char* unchanged : {"東京都千代田区丸の内1-1", "Tokio千代田区", "1-2-3 Jingumae, Shibuya-ku"})
            QCOMPARE(withKanjiPrefecture(QString::fromUtf8(unchanged)), QString::fromUtf8(unchanged));
        QCOMPARE(latinStart(QStringLiteral("Tokio 千代田区")), QStringLiteral("Tokio"));
        QCOMPARE(latinStart(QStringLiteral("東京都Aビル")), QString());
    }

    void marketingBrackets_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("goods");
        const auto row = [](const char* title, const char* goods) {
            QTest::newRow(title) << QString::fromUtf8(title) << QString::fromUtf8(goods);
        };
        row("【送料無料】国産 今治タオル フェイスタオル 3枚セット", "国産 今治タオル フェイスタオル 3枚セット");
        row("【ポイント10倍】【送料無料】緑茶 100g ★大人気★", "緑茶 100g");
        row("＼楽天1位／煎茶 やぶきた 100g", "煎茶 やぶきた 100g");
        row("《公式》マグカップ ≪数量限定≫", "マグカップ");
        row("【冷凍】餃子 50個【送料無料】", "【冷凍】餃子 50個");
        row("タオル【白】セット", "タオル【白】セット");
        row("【送料無料】", "【送料無料】");
        row("煎茶 やぶきた 100g", "煎茶 やぶきた 100g");
    }

    void marketingBrackets()
    {
        QFETCH(QString, title);
        QFETCH(QString, goods);
        QCOMPARE(withoutMarketingBrackets(title), goods);
    }

    void spreadsheetWrappers()
    {
        const QStringList cells{"'0123", "=\"0123\"", "=\"say \"\"hi\"\"\"", "　神南 "};
        QCOMPARE(QStringList({cleanCell(cells[0]), cleanCell(cells[1]), cleanCell(cells[2]), cleanCell(cells[3])}),
                 QStringList({"0123", "0123", "say \"hi\"", "神南"}));
        QCOMPARE(joinTelephone({QStringLiteral("'03"), {}, QStringLiteral("5678")}), QStringLiteral("03-5678"));
        QCOMPARE(plainNumber(QStringLiteral("１，９８０")), QStringLiteral("1980"));
        QCOMPARE(plainNumber(QStringLiteral("19.80")), QStringLiteral("19.80"));
    }

    void postalCodeThatLostItsZero()
    {
        // Never padded here: the check refuses it and offers the correction.
        const QStringList headings =
            split(QStringLiteral("order-id\trecipient-name\tship-postal-code\tship-state\tship-address-1"), u'\t');
        const RecognisedLayout layout = recognised(headings);
        const OrderParts parts = extractOrderRow(layout, {"1", QStringLiteral("森 亮"), QStringLiteral("'150041"),
                                                          QStringLiteral("北海道"), QStringLiteral("函館市1-1")});
        waybill::Waybill w;
        w.recipient = addressOf(parts.shipTo, line1Fits(atMost(40)));
        QCOMPARE(w.recipient.postalCode, QStringLiteral("150041"));
        ColumnMap map(headings.size(), Field::None);
        map[2] = Field::PostalCode;
        const QList<Finding> findings = checkWaybill(w, headings, map, {});
        QCOMPARE(findings.size(), 1);
        QCOMPARE(findings[0].suggestion, QStringLiteral("0150041"));
        QCOMPARE(joinPostalCode({}, QStringLiteral("15"), QStringLiteral("0041")), QStringLiteral("15-0041"));
        QVERIFY(!postalDigits(joinPostalCode({}, QStringLiteral("15"), QStringLiteral("0041"))));
    }

    void addressLines_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        const QString tokyo = QStringLiteral("東京都渋谷区神南1-2-3グランドメゾン渋谷1203号室"),
                      kudan = QStringLiteral("東京都千代田区九段北一丁目2番3号九段ビル");
        QTest::newRow("fits, the building still on line 2") << tokyo << 40 << "東京都渋谷区神南1-2-3"
                                                            << "グランドメゾン渋谷1203号室";
        QTest::newRow("fits, nothing after the house number")
            << "東京都渋谷区神南1-2-3" << 40 << "東京都渋谷区神南1-2-3"
            << "";
        QTest::newRow("building to line 2") << tokyo << 20 << "東京都渋谷区神南1-2-3"
                                            << "グランドメゾン渋谷1203号室";
        QTest::newRow("house number to line 2") << tokyo << 12 << "東京都渋谷区神南"
                                                << "1-2-3グランドメゾン渋谷1203号室";
        QTest::newRow("nothing fits: after the house number") << tokyo << 4 << "東京都渋谷区神南1-2-3"
                                                              << "グランドメゾン渋谷1203号室";
        QTest::newRow("at a blank") << "東京都渋谷区神南1-2-3 ABC ビル" << 16 << "東京都渋谷区神南1-2-3"
                                    << "ABC ビル";
        QTest::newRow("building kept whole") << "東京都渋谷区神南1-2-3 ABC ビル" << 18 << "東京都渋谷区神南1-2-3"
                                             << "ABC ビル";
        QTest::newRow("条 and 丁目 are one number")
            << "北海道札幌市中央区北1条西2丁目1番地札幌ビル5階" << 20 << "北海道札幌市中央区北1条西2丁目1番地"
            << "札幌ビル5階";
        QTest::newRow("full-width number whole")
            << "大阪府大阪市北区梅田１２３－４５メゾン梅田" << 12 << "大阪府大阪市北区梅田"
            << "１２３－４５メゾン梅田";
        QTest::newRow("kanji 丁目") << kudan << 17 << "東京都千代田区九段北一丁目2番3号"
                                    << "九段ビル";
        QTest::newRow("kanji 丁目 to line 2") << kudan << 12 << "東京都千代田区九段北"
                                              << "一丁目2番3号九段ビル";
        QTest::newRow("numerals in names are words")
            << "東京都港区六本木6-10-1六本木ヒルズ" << 14 << "東京都港区六本木6-10-1"
            << "六本木ヒルズ";
        QTest::newRow("no number: last blank that fits") << "東京都 渋谷区 神南 ABCビル" << 11 << "東京都 渋谷区 神南"
                                                         << "ABCビル";
        QTest::newRow("one word") << "ながいながいなまえのまち" << 5 << "ながいながいなまえのまち"
                                  << "";
    }

    void addressLines()
    {
        QFETCH(QString, address);
        QFETCH(int, width);
        QFETCH(QString, line1);
        QFETCH(QString, line2);
        QCOMPARE(splitAddress(address, line1Fits(atMost(width))), (AddressLines{line1, line2}));
    }

    // Both lines measured: the split that lets both stand as they are,
    // else the one that puts the building alone on line 2, narrowed.
    void addressSplitWhereBothLinesFit()
    {
        const AddressFits fits{atMost(18), atMost(20), atMost(36), atMost(40)};
        const QString sapporo = QStringLiteral("北海道札幌市中央区北一条西１３丁目４番地１");
        QCOMPARE(splitAddress(sapporo, fits),
                 (AddressLines{QStringLiteral("北海道札幌市中央区北一条西"), QStringLiteral("１３丁目４番地１")}));
        QCOMPARE(splitAddress(sapporo + QStringLiteral("　ノースプレイス大通公園前レジデンス　東棟１２０３号室"), fits),
                 (AddressLines{sapporo, QStringLiteral("ノースプレイス大通公園前レジデンス　東棟１２０３号室")}));
        // The building column's text counts on line 2.
        QCOMPARE(splitAddress(sapporo, fits, {}, QStringLiteral("ノースプレイス大通公園前レジデンス")),
                 (AddressLines{sapporo, {}}));
    }

    void careOfTakenOut_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("careOf");
        const auto row = [](const char* name, const char* given, const char* text, const char* careOf) {
            QTest::newRow(name) << QString::fromUtf8(given) << QString::fromUtf8(text) << QString::fromUtf8(careOf);
        };
        row("様方 after a blank", "グランドメゾン101 山田様方", "グランドメゾン101", "山田様方");
        row("様方 after the room", "メゾン梅田101号室鈴木様方", "メゾン梅田101号室", "鈴木様方");
        row("気付 with its word", "ホテル青葉 フロント 気付", "ホテル青葉", "フロント 気付");
        row("c/o", "サンハイツ201 C/O Tanaka Trading", "サンハイツ201", "C/O Tanaka Trading");
        row("none", "ハイツ宮町202", "ハイツ宮町202", "");
        row("方 alone is a word", "東北地方センター", "東北地方センター", "");
    }

    void careOfTakenOut()
    {
        QFETCH(QString, given);
        QFETCH(QString, text);
        QFETCH(QString, careOf);
        QCOMPARE(takeCareOf(given), (CareOfSplit{text, careOf}));
    }

    void careOfOnItsOwnLine()
    {
        PersonParts person;
        person.postalCode = QStringLiteral("460-0008");
        person.address = QStringLiteral("愛知県名古屋市中区栄3-4-5");
        person.building = QStringLiteral("サカエビル8F 山田様方");
        person.name = QStringLiteral("小林 陽子");
        const waybill::Address to = addressOf(person, line1Fits(atMost(30)));
        QCOMPARE(QStringList({to.line1, to.line2, to.careOf}),
                 QStringList({"愛知県名古屋市中区栄3-4-5", "サカエビル8F", "山田様方"}));
        QVERIFY(to.careOfShown);
        person.building.clear();
        person.address += QStringLiteral(" 佐藤様方");
        QCOMPARE(addressOf(person, line1Fits(atMost(30))).careOf, QStringLiteral("佐藤様方"));
    }

    void addressBreaksWhereColumnsMet()
    {
        QList<qsizetype> breaks;
        const QString address =
            joinAddress({QStringLiteral("東京都"), QStringLiteral("渋谷区"), QStringLiteral("神南1-2-3")}, &breaks);
        QCOMPARE(address, QStringLiteral("東京都渋谷区神南1-2-3"));
        QCOMPARE(splitAddress(address, line1Fits(atMost(7)), breaks),
                 (AddressLines{QStringLiteral("東京都渋谷区"), QStringLiteral("神南1-2-3")}));
        QCOMPARE(splitAddress(address, line1Fits(atMost(7))),
                 (AddressLines{QStringLiteral("東京都渋谷区神南"), QStringLiteral("1-2-3")}));
        // A street column that repeats all before it.
        QCOMPARE(joinAddress({QStringLiteral("東京都"), QStringLiteral("渋谷区"), QStringLiteral("東京都渋谷区神南1")}),
                 QStringLiteral("東京都渋谷区神南1"));
    }

    // Whatever the width: nothing lost or added, and no number cut in two.
    void addressSplitLosesNothing()
    {
        const QStringList addresses{
            QStringLiteral("東京都渋谷区神南1-2-3グランドメゾン渋谷1203号室"),
            QStringLiteral("大阪府大阪市北区梅田１２３－４５メゾン梅田 2F"),
            QStringLiteral("北海道札幌市中央区北1条西2丁目1番地 札幌ビル5階"),
            QStringLiteral("京都府京都市中京区一之船入町537-1"),
        };
        const auto isNumberChar = [](QChar c) { return c.isDigit() || c == u'-' || c == u'－'; };
        for (const QString& address : addresses) {
            for (int width = 1; width <= address.size(); ++width) {
                const AddressLines lines = splitAddress(address, line1Fits(atMost(width)));
                QString joined = lines.line1 + lines.line2, whole = address;
                QCOMPARE(joined.remove(u' '), whole.remove(u' '));
                if (!lines.line2.isEmpty())
                    QVERIFY2(!(isNumberChar(lines.line1.back()) && isNumberChar(lines.line2.front())),
                             qPrintable(lines.line1 + u'|' + lines.line2));
            }
        }
    }

    void goodsLines_data()
    {
        QTest::addColumn<QList<OrderItem>>("items");
        QTest::addColumn<QStringList>("line1"); // description, product number, quantity, unit price, amount
        QTest::addColumn<QStringList>("line2");
        QTest::addColumn<QString>("total");
        QTest::addColumn<bool>("complete");
        const OrderItem tea{QStringLiteral("紅茶"), QStringLiteral("T-1"), QStringLiteral("2"), QStringLiteral("1200")};
        const OrderItem cup{QStringLiteral("カップ"), QStringLiteral("C-1"), QStringLiteral("1"),
                            QStringLiteral("800")};
        const OrderItem spoon{QStringLiteral("スプーン"), {}, QStringLiteral("4"), QStringLiteral("150")};
        const QStringList fresh{{}, {}, "0", "0", "0"};
        QTest::newRow("one") << QList<OrderItem>{tea} << QStringList{"紅茶", "T-1", "2", "1200", "2400"} << fresh
                             << "2400" << true;
        QTest::newRow("two") << QList<OrderItem>{tea, cup} << QStringList{"紅茶", "T-1", "2", "1200", "2400"}
                             << QStringList{"カップ", "C-1", "1", "800", "800"} << "3200" << true;
        QTest::newRow("more than lines") << QList<OrderItem>{tea, cup, spoon, cup}
                                         << QStringList{"紅茶", "T-1", "2", "1200", "2400"}
                                         << QStringList{"ほか 3 点", {}, "6", {}, "2200"} << "4600" << true;
        const OrderItem unpriced{QStringLiteral("Tシャツ"), QStringLiteral("TS"), QStringLiteral("2"), {}};
        QTest::newRow("no price") << QList<OrderItem>{unpriced, tea} << QStringList{"Tシャツ", "TS", "2", {}, {}}
                                  << QStringList{"紅茶", "T-1", "2", "1200", "2400"} << "" << false;
        QTest::newRow("none") << QList<OrderItem>{} << fresh << fresh << "0" << true;
    }

    void goodsLines()
    {
        QFETCH(QList<OrderItem>, items);
        QFETCH(QStringList, line1);
        QFETCH(QStringList, line2);
        QFETCH(QString, total);
        QFETCH(bool, complete);
        const GoodsLines goods = orders::goodsLines(items);
        const auto fields = [](const waybill::GoodsLine& l) {
            return QStringList{l.description, l.productNumber, l.quantity, l.unitPrice, l.amount};
        };
        QCOMPARE(fields(goods.lines[0]), line1);
        QCOMPARE(fields(goods.lines[1]), line2);
        QCOMPARE(goods.total, total);
        QCOMPARE(goods.amountsComplete, complete);
    }

    // A shop's list read by orders keeps the guarantee of a list read
    // by lines: every line of an order is read again and matched before it
    // prints, so an order whose later line changed after the check (here
    // its third item, and only one character of it) prints nothing, and the
    // reason names that line. So too when what changed is a cell no waybill
    // takes (the line's fulfillment status), which reading for the waybill
    // does not make text of; the row's cells are still all there.
    void orderChangedAfterCheckingPrintsNothing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("an item's name") << QStringLiteral("ギフト包装") << QStringLiteral("ギフト包裝");
        QTest::newRow("a cell no waybill takes")
            << QStringLiteral("WRAP,true,true,pending") << QStringLiteral("WRAP,true,true,pendinG");
    }

    void orderChangedAfterCheckingPrintsNothing()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QTemporaryDir dir;
        const QString path = testing::writeShopFile(dir.path(), testing::shopifyFile());
        OrderList list;
        QVERIFY(list.open(path));
        QCOMPARE(list.shop(), std::optional(Shop::Shopify));
        while (!list.readMore()) {
        }
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.fileRowCount(), 4);
        QCOMPARE(list.state(0), RowState::Printable);
        QString why;
        QVERIFY(list.checkedWaybillAt(0, why));
        QCOMPARE(list.cellsAt(0).value(1), QStringLiteral("yamada@example.jp"));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QCOMPARE(before.toUtf8().size(), after.toUtf8().size());
        QCOMPARE(bytes.count(before.toUtf8()), 1);
        bytes.replace(before.toUtf8(), after.toUtf8());
        QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        file.close();

        list.forgetReadAhead();
        QVERIFY(!list.checkedWaybillAt(0, why));
        QVERIFY2(why.contains(QStringLiteral("4行目")), qPrintable(why));
    }

    // Rows of one order far apart are still one order; a row with the same
    // order number but another ship-to is not printed as part of it.
    void ordersApartAndConflicting()
    {
        QTemporaryDir dir;
        testing::ShopFile file = testing::rakutenFile();
        OrderList list;
        QVERIFY(list.open(testing::writeShopFile(dir.path(), file)));
        while (!list.readMore()) {
        }
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.lineOf(2), 5); // the second address of order 2

        // The third item row of order 1 names another ship-to.
        const qsizetype last = file.text.lastIndexOf(QStringLiteral("新横浜2-100-45"));
        file.text.replace(last, 1, QStringLiteral("西"));
        QVERIFY(list.open(testing::writeShopFile(dir.path(), file)));
        // The order shown (as a window does) before its last line is found.
        QVERIFY(!list.readMore(2));
        QCOMPARE(list.waybillAt(0).goods[1].description, QStringLiteral("急須"));
        while (!list.readMore()) {
        }
        QCOMPARE(list.state(0), RowState::Refused);
        const QList<Finding> findings = list.findingsAt(0);
        QVERIFY(std::any_of(findings.begin(), findings.end(),
                            [](const Finding& f) { return f.reason.contains(QStringLiteral("別々のお届け先")); }));
        QCOMPARE(list.state(1), RowState::Printable);
    }

    // A line cut short just before its order number (the last column) has
    // no order number: it is an order of its own, refused for its missing
    // cells, and never joins the order of the line before it.
    void lineCutShortBeforeItsOrderNumber()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("cut.csv")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("送付先郵便番号1,送付先郵便番号2,送付先住所都道府県,送付先住所郡市区,"
                                  "送付先住所それ以降の住所,送付先姓,送付先名,商品名,個数,注文番号\r\n"
                                  "150,0041,東京都,渋谷区,神南1-2-3,佐藤,花子,紅茶,1,421951-1\r\n"
                                  "060,0001,北海道,札幌市中央区,北一条西2-1,高橋,健,緑茶,2\r\n")
                       .toUtf8());
        file.close();
        OrderList list;
        QVERIFY(list.open(file.fileName()));
        while (!list.readMore(1)) {
        }
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.orderNumberAt(0), QStringLiteral("421951-1"));
        QCOMPARE(list.orderNumberAt(1), QString());
        QCOMPARE(list.waybillAt(0).goods[1].description, QString());
        QCOMPARE(list.state(0), RowState::Printable);
        QCOMPARE(list.state(1), RowState::Refused);
        QVERIFY2(list.findingsAt(1).value(0).reason.contains(QStringLiteral("3行目は列が 9 個")),
                 qPrintable(list.findingsAt(1).value(0).reason));
    }

    // The list's own 品名 replaces an order's goods, also an item without a
    // name: on the first goods line, the second blank, no quantities.
    void blankItemNameTakesTheListsName()
    {
        QTemporaryDir dir;
        testing::ShopFile file = testing::shopifyFile();
        file.text.replace(QStringLiteral(",1,ソイキャンドル,2800,"), QStringLiteral(",1,,2800,"));
        OrderList list;
        ListConstants constants;
        constants.itemDescription = QStringLiteral("雑貨");
        list.setConstants(constants);
        QVERIFY(list.open(testing::writeShopFile(dir.path(), file)));
        while (!list.readMore()) {
        }
        const waybill::Waybill second = list.waybillAt(1);
        QCOMPARE(second.goods[0].description, QStringLiteral("雑貨"));
        QVERIFY(!second.numericMode);
        QCOMPARE(second.goods[1].description, QString());
    }

    // A shop's list with a heading it is known by renamed, or a column a
    // waybill needs deleted, names the shop and the column as the shop
    // writes it; one heading like a shop's does not make a list a shop's.
    void shopListsWithAHeadingChanged()
    {
        QStringList renamed = kRms;
        renamed[renamed.indexOf(QStringLiteral("送付先郵便番号1"))] = QStringLiteral("送付先〒1");
        QVERIFY(!recogniseLayout(renamed));
        const auto nearly = nearlyShopHeadings(renamed);
        QVERIFY(nearly);
        QCOMPARE(nearly->shop, Shop::RakutenRms);
        QCOMPARE(nearly->missingHeading, QStringLiteral("送付先郵便番号1"));
        QStringList amazon = kAmazonOrders;
        amazon.removeAll(QStringLiteral("recipient-name"));
        QCOMPARE(nearlyShopHeadings(amazon).value_or(NearlyShopHeadings{Shop::Shopify, {}}).missingHeading,
                 QStringLiteral("recipient-name"));
        QVERIFY(!nearlyShopHeadings(split(QStringLiteral("注文番号,お届け先郵便番号,送付先住所郡市区,お届け先氏名"))));
        QVERIFY(!nearlyShopHeadings(kRms));

        QTemporaryDir dir;
        const auto opened = [&](const QStringList& headings) {
            QFile file(dir.filePath(QStringLiteral("list.csv")));
            if (!file.open(QIODevice::WriteOnly) || file.write((headings.join(u',') + u'\n').toUtf8()) <= 0)
                qFatal("cannot write");
            file.close();
            auto list = std::make_unique<OrderList>();
            if (!list->open(file.fileName()))
                qFatal("cannot open");
            return list;
        };
        const auto list = opened(renamed);
        QVERIFY2(list->headingNotes().value(0).contains(
                     QStringLiteral("楽天市場の注文一覧のようですが、列「送付先郵便番号1」がありません")),
                 qPrintable(list->headingNotes().join(u'\n')));
        QStringList nameless = kRms;
        nameless.removeAll(QStringLiteral("送付先姓"));
        const auto shop = opened(nameless);
        QCOMPARE(shop->shop(), std::optional(Shop::RakutenRms));
        QCOMPARE(shop->missingFields(), QStringList{QStringLiteral("名前（楽天市場の注文一覧の列「送付先姓」）")});
        QStringList yahoo = kYahoo;
        yahoo.removeAll(QStringLiteral("ShipName"));
        QCOMPARE(opened(yahoo)->missingFields(),
                 QStringList{QStringLiteral("名前（Yahoo!ショッピングの注文一覧の列「ShipName」か「ShipLastName」）")});
    }

    // An order whose every item was sent already is no parcel: left out,
    // as the user may still take it in; the check notes a gift without its
    // recipient's number and prints it as chosen.
    void ordersWithNothingToShipAreLeftOut()
    {
        QTemporaryDir dir;
        testing::ShopFile file = testing::amazonAsItComes();
        file.text.replace(QStringLiteral("玉露 八女 50g\t1\t0\t1"), QStringLiteral("玉露 八女 50g\t1\t1\t0"));
        OrderList list;
        QVERIFY(list.open(testing::writeShopFile(dir.path(), file)));
        while (!list.readMore()) {
        }
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.state(0), RowState::Excluded);
        QCOMPARE(list.state(1), RowState::Printable);
        QVERIFY(list.hasNotes(1) && !list.hasNotes(0));
        const QList<Finding> notes = list.findingsAt(1);
        QVERIFY2(notes.size() == 1 && notes[0].note &&
                     notes[0].reason.contains(QStringLiteral("（080-2222-3333）を印刷します")),
                 qPrintable(notes.value(0).reason));
        list.setExcluded(0, false);
        QCOMPARE(list.state(0), RowState::Printable);
    }

    // Columns the user joins into one field read as the field is written.
    void columnsJoinedIntoOneField()
    {
        const ColumnMap map{Field::Name,      Field::Name,         Field::PostalCode,   Field::PostalCode,
                            Field::Telephone, Field::Telephone,    Field::Telephone,    Field::Prefecture,
                            Field::City,      Field::AddressLine1, Field::AddressLine1, Field::OrderNumber};
        QCOMPARE(duplicatedField(map), Field::None);
        const waybill::Waybill w = buildWaybill(
            map, {"山田", "太郎", "150", "0001", "03", "1234", "5678", "東京都", "渋谷区", "神宮前", "1-2-3", "A-1"},
            {});
        QCOMPARE(w.recipient.name, QStringLiteral("山田 太郎"));
        QCOMPARE(w.recipient.postalCode, QStringLiteral("1500001"));
        QCOMPARE(w.recipient.telephone, QStringLiteral("03-1234-5678"));
        QCOMPARE(w.recipient.line1, QStringLiteral("東京都渋谷区神宮前1-2-3"));
        ColumnMap twice = map;
        twice[0] = Field::OrderNumber;
        QCOMPARE(duplicatedField(twice), Field::OrderNumber);
    }
};

QTEST_GUILESS_MAIN(ShopListsTest)
#include "tst_shoplists.moc"
