#pragma once
// Order lists laid out as the shop platforms export them, each with the
// traps a shop meets: the buyer beside (and before) the ship-to, fields in
// parts, tab-separated text, orders over several rows (not all adjacent),
// international phone numbers, spreadsheet apostrophes and ="…" wrappers.
// Each comes with the waybills its orders must print as, written out by
// hand from the file's own values.
#include "waybill/waybill.h"

#include <QFile>
#include <QList>
#include <QStringEncoder>

namespace testing {

struct ShopFile {
    const char* fileName;
    const char* encoding; // as QStringEncoder names it
    QString text;
    QString readAs; // what --batch says it read
    QList<waybill::Waybill> pages;
    // Files the platform gives with the list, written beside it: name, text.
    QList<std::pair<const char*, QString>> beside = {};
};

inline waybill::Address shipTo(const char* postal, const char* line1, const char* line2, const char* name,
                               const char* telephone)
{
    return {QString::fromUtf8(postal),
            QString::fromUtf8(line1),
            QString::fromUtf8(line2),
            QString::fromUtf8(name),
            {},
            false,
            QString::fromUtf8(telephone)};
}

inline waybill::Waybill page(const waybill::Address& to, QList<std::pair<const char*, const char*>> goods)
{
    waybill::Waybill w;
    w.recipient = to;
    if (!goods.isEmpty())
        w.goods.fill({{}, {}, {}, {}, {}});
    for (qsizetype i = 0; i < goods.size() && i < qsizetype(w.goods.size()); ++i)
        w.goods[size_t(i)] = {QString::fromUtf8(goods[i].first), {}, QString::fromUtf8(goods[i].second), {}, {}};
    w.total.clear();
    w.numericMode = !goods.isEmpty();
    return w;
}

// 楽天 RMS 「全カラムダウンロード用」 style, CP932: 注文者… before 送付先…, the
// postal code, name, phone and address in parts; order 1's three items (its
// third after order 2); order 2 to two addresses (送付先ID), the second
// without a phone (the buyer's stands in).
inline ShopFile rakutenFile()
{
    const QString heading = QStringLiteral(
        "注文番号,ステータス,注文日時,注文者郵便番号1,注文者郵便番号2,注文者住所都道府県,注文者住所郡市区,"
        "注文者住所それ以降の住所,注文者姓,注文者名,注文者姓カナ,注文者名カナ,注文者電話番号1,注文者電話番号2,"
        "注文者電話番号3,注文者メールアドレス,複数送付先フラグ,送付先ID,のし,送付先郵便番号1,送付先郵便番号2,"
        "送付先住所都道府県,送付先住所郡市区,送付先住所それ以降の住所,送付先姓,送付先名,送付先姓カナ,送付先名カナ,"
        "送付先電話番号1,送付先電話番号2,送付先電話番号3,商品明細ID,商品ID,商品名,商品番号,商品管理番号,単価,個数,"
        "ギフト配送希望,コメント\r\n");
    const QString buyer1 = QStringLiteral("530,0001,大阪府,大阪市北区,梅田1-1-1,佐藤,花子,サトウ,ハナコ,06,1111,2222,"
                                          "hanako@example.jp");
    const QString buyer2 = QStringLiteral("100,0005,東京都,千代田区,丸の内1-9-1,高橋,美咲,タカハシ,ミサキ,090,5555,"
                                          "6666,misaki@example.jp");
    const QString to1 = QStringLiteral("1000000001,,222,0033,神奈川県,横浜市港北区,"
                                       "新横浜2-100-45 新横浜第一ビルディング2301号室,鈴木,一郎,スズキ,イチロウ,045,"
                                       "123,4567");
    QString text = heading;
    text += QStringLiteral("421951-20261201-0000000001,発送待ち,2026-12-01 10:00:00,") + buyer1 +
            QStringLiteral(",0,") + to1 + QStringLiteral(",1001,10000001,緑茶ギフトセット,tea-01,tea-01,3240,2,1,\r\n");
    text += QStringLiteral("421951-20261201-0000000001,発送待ち,2026-12-01 10:00:00,") + buyer1 +
            QStringLiteral(",0,") + to1 + QStringLiteral(",1002,10000002,急須,pot-02,pot-02,4320,1,1,\r\n");
    text += QStringLiteral("421951-20261201-0000000002,発送待ち,2026-12-01 11:30:00,") + buyer2 +
            QStringLiteral(",1,1000000011,御歳暮,060,0001,北海道,札幌市中央区,北一条西2-1,高橋,健,タカハシ,ケン,011,"
                           "222,3333,2001,10000003,羊羹,yk-01,yk-01,2160,1,1,\r\n");
    text +=
        QStringLiteral("421951-20261201-0000000002,発送待ち,2026-12-01 11:30:00,") + buyer2 +
        QStringLiteral(",1,1000000012,御歳暮,812,0011,福岡県,福岡市博多区,博多駅前3-2-1,伊藤,さくら,イトウ,サクラ,,,"
                       ",2002,10000003,羊羹,yk-01,yk-01,2160,1,1,\r\n");
    text += QStringLiteral("421951-20261201-0000000001,発送待ち,2026-12-01 10:00:00,") + buyer1 +
            QStringLiteral(",0,") + to1 + QStringLiteral(",1003,10000004,湯呑み,cup-03,cup-03,1080,3,1,\r\n");
    return {"rakuten-orders.csv",
            "Shift_JIS",
            text,
            QStringLiteral("楽天市場の注文一覧として読みました（5 行、3 件の注文）"),
            {page(shipTo("2220033", "神奈川県横浜市港北区新横浜2-100-45", "新横浜第一ビルディング2301号室", "鈴木 一郎",
                         "045-123-4567"),
                  {{"緑茶ギフトセット", "2"}, {"ほか 2 点", "4"}}),
             page(shipTo("0600001", "北海道札幌市中央区北一条西2-1", "", "高橋 健", "011-222-3333"), {{"羊羹", "1"}}),
             page(shipTo("8120011", "福岡県福岡市博多区博多駅前3-2-1", "", "伊藤 さくら", "090-5555-6666"),
                  {{"羊羹", "1"}})}};
}

// Amazon 注文レポート style: tab-separated .txt in UTF-8, buyer-… beside
// recipient-…/ship-…, one row per order-item-id, the ship-to phone written
// +81, a quote in a product name; the second order has no ship phone.
inline ShopFile amazonFile()
{
    QString text = QStringLiteral(
        "order-id\torder-item-id\tpurchase-date\tpayments-date\tbuyer-email\tbuyer-name\tbuyer-phone-number\tsku\t"
        "product-name\tquantity-purchased\tcurrency\titem-price\titem-tax\tshipping-price\tshipping-tax\t"
        "ship-service-level\trecipient-name\tship-address-1\tship-address-2\tship-address-3\tship-city\tship-state\t"
        "ship-postal-code\tship-country\tship-phone-number\tdelivery-start-date\tdelivery-end-date\t"
        "delivery-time-zone\tdelivery-Instructions\tsales-channel\n");
    const QString to1 = QStringLiteral("Standard\t田中 花子\t世田谷区太子堂4-1-1\tキャロットタワー15F\t\t\t東京都\t"
                                       "154-0004\tJP\t+81 90-1234-5678\t\t\t\t\tAmazon.co.jp\n");
    text += QStringLiteral("503-1234567-7654321\t11111111111111\t2026-12-01T01:00:00+09:00\t"
                           "2026-12-01T01:00:00+09:00\tabc@marketplace.amazon.co.jp\t田中 太郎\t080-9999-0000\tTW-3\t"
                           "タオル\"ふわり\"\t2\tJPY\t3960\t360\t0\t0\t") +
            to1;
    text += QStringLiteral("503-1234567-7654321\t22222222222222\t2026-12-01T01:00:00+09:00\t"
                           "2026-12-01T01:00:00+09:00\tabc@marketplace.amazon.co.jp\t田中 太郎\t080-9999-0000\tBT-1\t"
                           "バスタオル\t1\tJPY\t2980\t271\t0\t0\t") +
            to1;
    text += QStringLiteral("250-9876543-1111111\t33333333333333\t2026-12-01T02:00:00+09:00\t"
                           "2026-12-01T02:00:00+09:00\txyz@marketplace.amazon.co.jp\t中村 翔\t81-80-2222-3333\tMG-5\t"
                           "マグカップ\t1\tJPY\t1500\t136\t0\t0\tStandard\t中村 翔\t中央区日本橋2-3-4\t\t\t\t"
                           "東京都\t103-0027\tJP\t\t\t\t\t\tAmazon.co.jp\n");
    return {
        "amazon-report.txt",
        "UTF-8",
        text,
        QStringLiteral("Amazon の注文レポートとして読みました（3 行、2 件の注文）"),
        {page(shipTo("1540004", "東京都世田谷区太子堂4-1-1", "キャロットタワー15F", "田中 花子", "090-1234-5678"),
              {{"タオル\"ふわり\"", "2"}, {"バスタオル", "1"}}),
         page(shipTo("1030027", "東京都中央区日本橋2-3-4", "", "中村 翔", "080-2222-3333"), {{"マグカップ", "1"}})}};
}

// Yahoo!ショッピング order file, CP932: one row per order, the zip code in a
// ="…" wrapper and the phone with a spreadsheet's apostrophe; items are in
// the shop's separate item file, so the goods lines stay empty.
inline ShopFile yahooFile()
{
    const QString text = QStringLiteral(
        "OrderId,OrderTime,BillLastName,BillFirstName,BillZipCode,BillPrefecture,BillCity,BillAddress1,"
        "BillPhoneNumber,ShipName,ShipZipCode,ShipPrefecture,ShipCity,ShipAddress1,ShipAddress2,ShipPhoneNumber,"
        "PayMethodName,TotalPrice\r\n"
        "store-10000123,2026/12/01 09:15:00,小林,誠,4600008,愛知県,名古屋市中区,栄3-4-5,052-111-2222,小林 陽子,"
        "\"=\"\"4600008\"\"\",愛知県,名古屋市中区,栄3-4-5,サカエビル8F,'052-111-2222,クレジットカード,5500\r\n");
    return {"yahoo-orders.csv",
            "Shift_JIS",
            text,
            QStringLiteral("Yahoo!ショッピングの注文一覧として読みました（1 行、1 件の注文）"),
            {page(shipTo("4600008", "愛知県名古屋市中区栄3-4-5", "サカエビル8F", "小林 陽子", "052-111-2222"), {})}};
}

// Shopify orders export, UTF-8 with a byte-order mark: #1001 over three
// rows with the shipping columns on the first only, the zip with a leading
// apostrophe, the phone +81; the province as its JP-nn code.
inline ShopFile shopifyFile()
{
    const QString heading = QStringLiteral(
        "Name,Email,Financial Status,Paid at,Fulfillment Status,Fulfilled at,Accepts Marketing,Currency,Subtotal,"
        "Shipping,Taxes,Total,Discount Code,Discount Amount,Shipping Method,Created at,Lineitem quantity,"
        "Lineitem name,Lineitem price,Lineitem compare at price,Lineitem sku,Lineitem requires shipping,"
        "Lineitem taxable,Lineitem fulfillment status,Billing Name,Billing Street,Billing Address1,Billing Address2,"
        "Billing Company,Billing City,Billing Zip,Billing Province,Billing Country,Billing Phone,Shipping Name,"
        "Shipping Street,Shipping Address1,Shipping Address2,Shipping Company,Shipping City,Shipping Zip,"
        "Shipping Province,Shipping Country,Shipping Phone,Notes,Id\r\n");
    QString text = QStringLiteral("\uFEFF") + heading;
    text += QStringLiteral(
        "#1001,yamada@example.jp,paid,2026-12-01 09:00:00 +0900,unfulfilled,,no,JPY,7400,800,672,8200,,0,"
        "通常配送,2026-12-01 09:00:00 +0900,1,ソイキャンドル,2800,,CDL-1,true,true,pending,山田 太郎,"
        "本町1-2-3,本町1-2-3,,,渋谷区,'151-0071,JP-13,JP,+81 3-3333-4444,山田 次郎,"
        "\"宮町5-6-7, ハイツ宮町202\",宮町5-6-7,ハイツ宮町202,,仙台市青葉区,'980-0004,JP-04,JP,"
        "+81 90-8765-4321,,5550001\r\n");
    text += QStringLiteral("#1001,yamada@example.jp,,,,,,,,,,,,,,2026-12-01 09:00:00 +0900,2,アロマオイル,1500,,"
                           "OIL-2,true,true,pending,,,,,,,,,,,,,,,,,,,,,,\r\n");
    text += QStringLiteral("#1001,yamada@example.jp,,,,,,,,,,,,,,2026-12-01 09:00:00 +0900,1,ギフト包装,1600,,"
                           "WRAP,true,true,pending,,,,,,,,,,,,,,,,,,,,,,\r\n");
    text += QStringLiteral(
        "#1002,kato@example.jp,paid,2026-12-01 10:00:00 +0900,unfulfilled,,no,JPY,2800,800,304,3904,,0,"
        "通常配送,2026-12-01 10:00:00 +0900,1,ソイキャンドル,2800,,CDL-1,true,true,pending,加藤 恵,"
        "港南2-16-1,港南2-16-1,,,港区,'108-0075,JP-13,JP,'+81 80-1111-2222,加藤 恵,港南2-16-1,港南2-16-1,,,"
        "港区,'108-0075,JP-13,JP,'+81 80-1111-2222,,5550002\r\n");
    return {
        "orders_export_1.csv",
        "UTF-8",
        text,
        QStringLiteral("Shopify の注文一覧として読みました（4 行、2 件の注文）"),
        {page(shipTo("9800004", "宮城県仙台市青葉区宮町5-6-7", "ハイツ宮町202", "山田 次郎", "090-8765-4321"),
              {{"ソイキャンドル", "1"}, {"ほか 2 点", "3"}}),
         page(shipTo("1080075", "東京都港区港南2-16-1", "", "加藤 恵", "080-1111-2222"), {{"ソイキャンドル", "1"}})}};
}

inline QList<ShopFile> shopFiles() { return {rakutenFile(), amazonFile(), yahooFile(), shopifyFile()}; }

// Lists as the platforms' downloads really come, each column from the
// platform's public column list (see orders/shoplayouts.cpp and
// orders/itemfile.cpp for the sources): product titles with marketing
// brackets, buildings and rooms in the street cell, numbers as digits only
// and +81, a prefecture as JP-13 and romanised, an order to two ship-tos, a
// gift without the recipient's number, an item already sent, Yahoo!'s item
// file beside its order file. Each page is the waybill as it must print:
// the whole address over two lines, numbers hyphenated, prefectures in kanji.

inline ShopFile rakutenAsItComes()
{
    QString text = rakutenFile().text.section(QStringLiteral("\r\n"), 0, 0) + QStringLiteral("\r\n");
    const QString sapporo =
        QStringLiteral("060,0001,北海道,札幌市中央区,"
                       "北一条西１３丁目４番地１　ノースプレイス大通公園前レジデンス　東棟１２０３号室");
    text += QStringLiteral("421951-20261201-0000000101,発送待ち,2026-12-01 10:00:00,") + sapporo +
            QStringLiteral(",佐々木,美和,ササキ,ミワ,011,222,3333,miwa@example.jp,0,1000000101,,") + sapporo +
            QStringLiteral(",佐々木,美和,ササキ,ミワ,011,222,3333,1001,10000001,"
                           "【送料無料】国産 今治タオル フェイスタオル 3枚セット,towel-3,towel-3,2980,1,0,\r\n");
    const QString buyer = QStringLiteral("100,0005,東京都,千代田区,丸の内1-9-1,高橋,美咲,タカハシ,ミサキ,090,5555,6666,"
                                         "misaki@example.jp,1");
    text +=
        QStringLiteral("421951-20261201-0000000102,発送待ち,2026-12-01 11:30:00,") + buyer +
        QStringLiteral(",1000000111,御歳暮,251,0025,神奈川県,藤沢市,鵠沼石上1-2-3 湘南ハイツ202号室,中村,恵,ナカムラ,"
                       "メグミ,0466,22,7788,2001,10000003,★ギフト★煎茶 やぶきた 100g,sencha-100,sencha-100,1620,2,1,"
                       "\r\n");
    text += QStringLiteral("421951-20261201-0000000102,発送待ち,2026-12-01 11:30:00,") + buyer +
            QStringLiteral(
                ",1000000112,御歳暮,812,0011,福岡県,福岡市博多区,博多駅前3-2-1 グランドタワー博多駅前 15階,伊藤,"
                "さくら,イトウ,サクラ,,,,2002,10000003,★ギフト★煎茶 やぶきた 100g,sencha-100,sencha-100,1620,1,1,"
                "\r\n");
    return {"rakuten-2026-12-01.csv",
            "Shift_JIS",
            text,
            QStringLiteral("楽天市場の注文一覧として読みました（3 行、3 件の注文）"),
            {page(shipTo("0600001", "北海道札幌市中央区北一条西１３丁目４番地１",
                         "ノースプレイス大通公園前レジデンス　東棟１２０３号室", "佐々木 美和", "011-222-3333"),
                  {{"国産 今治タオル フェイスタオル 3枚セット", "1"}}),
             page(shipTo("2510025", "神奈川県藤沢市鵠沼石上1-2-3", "湘南ハイツ202号室", "中村 恵", "0466-22-7788"),
                  {{"煎茶 やぶきた 100g", "2"}}),
             // A gift with no number for its recipient: the buyer's, as chosen by default.
             page(shipTo("8120011", "福岡県福岡市博多区博多駅前3-2-1", "グランドタワー博多駅前 15階", "伊藤 さくら",
                         "090-5555-6666"),
                  {{"煎茶 やぶきた 100g", "1"}})}};
}

inline ShopFile amazonAsItComes()
{
    QString text = QStringLiteral(
        "order-id\torder-item-id\tpurchase-date\tpayments-date\treporting-date\tpromise-date\tdays-past-promise\t"
        "buyer-email\tbuyer-name\tbuyer-phone-number\tsku\tproduct-name\tquantity-purchased\tquantity-shipped\t"
        "quantity-to-ship\tship-service-level\trecipient-name\tship-address-1\tship-address-2\tship-address-3\t"
        "ship-city\tship-state\tship-postal-code\tship-country\tpayment-method\tcod-collectible-amount\t"
        "already-paid\tpayment-method-fee\tscheduled-delivery-start-date\tscheduled-delivery-end-date\t"
        "points-granted\tis-prime\n");
    const QString day = QStringLiteral("2026-12-01T01:00:00+09:00\t2026-12-01T01:00:00+09:00\t"
                                       "2026-12-01T01:00:00+09:00\t2026-12-03T23:59:59+09:00\t0\t");
    const QString tanaka =
        QStringLiteral("\tStandard\t田中 太郎\t世田谷区太子堂4-1-1\tキャロットタワー15F\t\t\t東京都\t"
                       "154-0004\tJP\tOther\t\t\t\t\t\t\tfalse\n");
    // One item already sent, one still to send.
    text +=
        QStringLiteral("503-1234567-7654321\t11111111111111\t") + day +
        QStringLiteral("abc@marketplace.amazon.co.jp\t田中 太郎\t09011112222\tGT-2\t【Amazon限定】静岡県産 深蒸し緑茶 "
                       "100g×2袋\t2\t2\t0") +
        tanaka;
    text += QStringLiteral("503-1234567-7654321\t22222222222222\t") + day +
            QStringLiteral("abc@marketplace.amazon.co.jp\t田中 太郎\t09011112222\tGY-1\t玉露 八女 50g\t1\t0\t1") +
            tanaka;
    // A gift to another person; the prefecture romanised.
    text += QStringLiteral("250-9876543-1111111\t33333333333333\t") + day +
            QStringLiteral(
                "xyz@marketplace.amazon.co.jp\t中村 翔\t+81-80-2222-3333\tMG-5\t有田焼 マグカップ ペア\t1\t0\t1\t"
                "Standard\t山本 花子\t大阪市中央区難波5-1-60\tなんばスカイオ 27階\t\t\tOsaka\t542-0076\tJP\t"
                "Other\t\t\t\t\t\t\tfalse\n");
    return {
        "amazon-unshipped.txt",
        "UTF-8",
        text,
        QStringLiteral("Amazon の未出荷注文レポートとして読みました（3 行、2 件の注文）"),
        {page(shipTo("1540004", "東京都世田谷区太子堂4-1-1", "キャロットタワー15F", "田中 太郎", "090-1111-2222"),
              {{"玉露 八女 50g", "1"}}),
         page(shipTo("5420076", "大阪府大阪市中央区難波5-1-60", "なんばスカイオ 27階", "山本 花子", "080-2222-3333"),
              {{"有田焼 マグカップ ペア", "1"}})}};
}

inline ShopFile yahooAsItComes()
{
    const QString text = QStringLiteral(
        "OrderId,OrderTime,BillLastName,BillFirstName,BillZipCode,BillPrefecture,BillCity,BillAddress1,"
        "BillPhoneNumber,ShipName,ShipZipCode,ShipPrefecture,ShipCity,ShipAddress1,ShipAddress2,ShipPhoneNumber,"
        "PayMethodName,TotalPrice\r\n"
        "store-10000123,2026/12/01 09:15:00,小林,誠,4600008,愛知県,名古屋市中区,栄3-4-5,0527654321,小林 陽子,"
        "\"=\"\"4600008\"\"\",愛知県,名古屋市中区,栄3-4-5,栄ハイツ1103号室,0527654321,クレジットカード,4360\r\n");
    const QString items =
        QStringLiteral("OrderId,LineId,ItemId,SubCode,Title,Quantity,UnitPrice\r\n"
                       "store-10000123,1,tea-01,,【ポイント10倍】国産 緑茶 ティーバッグ 50包入り ＼大人気／,2,1080\r\n"
                       "store-10000123,2,cup-02,cup-02-wh,有田焼 湯呑み 白,1,2200\r\n");
    return {"orders_20261201.csv",
            "Shift_JIS",
            text,
            QStringLiteral("Yahoo!ショッピングの注文一覧として読みました（1 行、1 件の注文）"),
            {page(shipTo("4600008", "愛知県名古屋市中区栄3-4-5", "栄ハイツ1103号室", "小林 陽子", "052-765-4321"),
                  {{"国産 緑茶 ティーバッグ 50包入り", "2"}, {"有田焼 湯呑み 白", "1"}})},
            {{"items_20261201.csv", items}}};
}

inline ShopFile shopifyAsItComes()
{
    QString text = QStringLiteral("\uFEFF") + shopifyFile().text.section(QStringLiteral("\r\n"), 0, 0).mid(1);
    text.replace(QStringLiteral("Shipping Province,"), QStringLiteral("Shipping Province,Shipping Province Name,"));
    text += QStringLiteral(
        "\r\n#1003,sato@example.jp,paid,2026-12-01 09:00:00 +0900,unfulfilled,,no,JPY,3600,800,360,4760,,0,"
        "通常配送,2026-12-01 09:00:00 +0900,1,【送料無料】ソイキャンドル ラベンダー 200g,"
        "3600,,CDL-L,true,true,pending,佐藤 健,丸の内1-9-1,丸の内1-9-1,,,千代田区,'100-0005,JP-13,JP,"
        "+81 3-3211-4567,佐藤 健,丸の内1-9-1,丸の内1-9-1,グラントウキョウノースタワー 38階 山田様方,,千代田区,"
        "'100-0005,JP-13,Tokyo,JP,+81 3-3211-4567,,5550003\r\n");
    waybill::Waybill w = page(
        shipTo("1000005", "東京都千代田区丸の内1-9-1", "グラントウキョウノースタワー 38階", "佐藤 健", "03-3211-4567"),
        {{"ソイキャンドル ラベンダー 200g", "1"}});
    w.recipient.careOf = QStringLiteral("山田様方");
    w.recipient.careOfShown = true;
    return {"orders_export_2.csv",
            "UTF-8",
            text,
            QStringLiteral("Shopify の注文一覧として読みました（1 行、1 件の注文）"),
            {w}};
}

inline QList<ShopFile> shopFilesAsTheyCome()
{
    return {rakutenAsItComes(), amazonAsItComes(), yahooAsItComes(), shopifyAsItComes()};
}

// Writes the file into `folder`; its path.
inline QString writeShopFile(const QString& folder, const ShopFile& file)
{
    QStringEncoder encoder(file.encoding);
    const QByteArray bytes = encoder(file.text);
    QFile out(folder + QLatin1Char('/') + QString::fromUtf8(file.fileName));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(out.fileName()));
    for (const auto& [name, text] : file.beside) {
        QFile other(folder + QLatin1Char('/') + QString::fromUtf8(name));
        const QByteArray otherBytes = QStringEncoder(file.encoding)(text);
        if (!other.open(QIODevice::WriteOnly) || other.write(otherBytes) != otherBytes.size())
            qFatal("cannot write %s", qPrintable(other.fileName()));
    }
    return out.fileName();
}

} // namespace testing
