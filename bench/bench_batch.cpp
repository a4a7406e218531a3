// Prepares what `horutea --batch` is measured with: a saved sender in the
// address book of the home folder the program runs with, and an order list
// of N rows whose pages carry the same texts as the floor's batch page.
// "prepare HOME OUT.csv N".
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
    if (argc != 5 || qstrcmp(argv[1], "prepare") != 0) {
        std::fprintf(stderr, "usage: bench_batch prepare HOME OUT.csv ROWS\n");
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
    csv.write(
        QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先住所2,お届け先氏名,お届け先様方,お届け先電話番号,商品名,商品番号\r\n")
            .toUtf8());
    const int rows = atoi(argv[4]);
    const QByteArray row =
        QStringLiteral(
            ",1000001,東京都千代田区千代田1-1,テストビル3F,山田太郎様,鈴木様方,03-1234-5678,精密機械,AB-1234\r\n")
            .toUtf8();
    for (int i = 0; i < rows; ++i)
        csv.write("B-" + QByteArray::number(i) + row);
    return csv.flush() ? 0 : 1;
}
