// Prepares what `horutea --batch` is measured with: a saved sender in the
// address book of the home folder the program runs with, and an order list
// of N rows whose pages carry the same texts as the floor's batch page.
// "prepare HOME OUT.csv N"; "long HOME OUT.csv N": the same rows with
// addresses and goods too long for their places, as shops' lists have them;
// "storefront HOME OUT.csv N": a shop platform's
// export (Shopify's columns) of N orders over 2.5 × N rows, each order's
// ship-to on its first row only, its items one a row, to the same address.
#include "addressbook/addressbook.h"
#include "platform/files.h"
#include "storage/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool storefront = argc == 5 && qstrcmp(argv[1], "storefront") == 0;
    const bool longTexts = argc == 5 && qstrcmp(argv[1], "long") == 0;
    if (argc != 5 || (qstrcmp(argv[1], "prepare") != 0 && !storefront && !longTexts)) {
        std::fprintf(stderr, "usage: bench_batch prepare|long|storefront HOME OUT.csv ROWS\n");
        return 2;
    }
    // The program's own folders under that home, as it will find them.
    qputenv("HOME", argv[2]);
    qunsetenv("XDG_DATA_HOME");
    QCoreApplication::setApplicationName(QStringLiteral("horutea"));
    const platform::QtFolders folders;
    platform::ensureFolder(folders.userDataFolder());
    storage::Database database(platform::joinPath(folders.userDataFolder(), QStringLiteral("horutea.sqlite")));
    addressbook::AddressBook book(database);
    const waybill::Address sender{QStringLiteral("5300001"),     QStringLiteral("大阪府大阪市北区梅田"),
                                  QStringLiteral("梅田ビル12F"), QStringLiteral("株式会社サンプル"),
                                  QStringLiteral("総務部気付"),  true,
                                  QStringLiteral("06-9876-5432")};
    if (!book.save(addressbook::Kind::Sender, sender)) {
        std::fprintf(stderr, "the sender could not be saved\n");
        return 1;
    }

    QFile csv(QString::fromLocal8Bit(argv[3]));
    if (!csv.open(QIODevice::WriteOnly))
        return 1;
    if (storefront) {
        csv.write(
            "Name,Email,Financial Status,Paid at,Fulfillment Status,Fulfilled at,Accepts Marketing,Currency,Subtotal,"
            "Shipping,Taxes,Total,Discount Code,Discount Amount,Shipping Method,Created at,Lineitem quantity,"
            "Lineitem name,Lineitem price,Lineitem compare at price,Lineitem sku,Lineitem requires shipping,"
            "Lineitem taxable,Lineitem fulfillment status,Billing Name,Billing Street,Billing Address1,"
            "Billing Address2,Billing Company,Billing City,Billing Zip,Billing Province,Billing Country,Billing Phone,"
            "Shipping Name,Shipping Street,Shipping Address1,Shipping Address2,Shipping Company,Shipping City,"
            "Shipping Zip,Shipping Province,Shipping Country,Shipping Phone,Notes,Id\r\n");
        const QByteArray first =
            QStringLiteral(",buyer@example.jp,paid,2026-12-01 09:00:00 +0900,unfulfilled,,no,JPY,4500,800,440,5740,,0,"
                           "通常配送,2026-12-01 09:00:00 +0900,1,精密機械,3000,,AB-1234,true,true,pending,山田太郎,"
                           "千代田1-1,千代田1-1,テストビル3F,,千代田区,'100-0001,JP-13,JP,+81 3-1234-5678,山田太郎様,"
                           "千代田1-1,千代田1-1,テストビル3F,,千代田区,'100-0001,JP-13,JP,+81 3-1234-5678,,1\r\n")
                .toUtf8();
        const QByteArray later =
            QStringLiteral(",buyer@example.jp,,,,,,,,,,,,,,2026-12-01 09:00:00 +0900,2,割れ物,750,,"
                           "ZX-9,true,true,pending,,,,,,,,,,,,,,,,,,,,,,\r\n")
                .toUtf8();
        const int orders = atoi(argv[4]);
        for (int i = 0; i < orders; ++i) {
            const QByteArray name = "#" + QByteArray::number(1001 + i);
            csv.write(name + first);
            // Two or three rows an order: 2.5 on average.
            for (int item = 0; item < 1 + i % 2; ++item)
                csv.write(name + later);
        }
        return csv.flush() ? 0 : 1;
    }
    csv.write(
        QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先住所2,お届け先氏名,お届け先様方,お届け先電話番号,商品名,商品番号\r\n")
            .toUtf8());
    const int rows = atoi(argv[4]);
    const QByteArray row =
        (longTexts ? QStringLiteral(",0600001,北海道札幌市中央区北一条西１３丁目４番地１ノースプレイス,"
                                    "ノースプレイス大通公園前レジデンス　東棟１２０３号室,山田太郎様,鈴木様方,"
                                    "03-1234-5678,国産 今治タオル フェイスタオル 3枚セット ギフト箱入り,AB-1234\r\n")
                   : QStringLiteral(",1000001,東京都千代田区千代田1-1,テストビル3F,山田太郎様,鈴木様方,03-1234-5678,"
                                    "精密機械,AB-1234\r\n"))
            .toUtf8();
    for (int i = 0; i < rows; ++i)
        csv.write("B-" + QByteArray::number(i) + row);
    return csv.flush() ? 0 : 1;
}
