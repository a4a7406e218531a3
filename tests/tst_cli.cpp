// The command line run in-process: its exit codes, what it says on stderr,
// and what it prints, measured.
#include "doubles.h"
#include "fifo.h"
#include "glyphs.h"
#include "layoutcheck.h"
#include "shopfiles.h"
#include "waybillcheck.h"

#include "addressbook/addressbook.h"
#include "cli/batch.h"
#include "cli/commandline.h"
#include "cli/lookup.h"
#include "goods/goodstable.h"
#include "history/history.h"
#include "history/localqueue.h"
#include "platform/fonts.h"
#include "platform/readfile.h"
#include "print/layoutfile.h"
#include "station/layoutstore.h"
#include "station/station.h"
#include "storage/database.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringConverter>
#include <QTemporaryDir>

using namespace testing;

namespace {

struct Run {
    int exit = -1;
    QString out, err;
};

class CliTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TestFolders m_folders;

    Run run(const QStringList& arguments)
    {
        Run r;
        QTextStream out(&r.out), err(&r.err);
        r.exit = cli::run(arguments, m_folders, out, err);
        return r;
    }

    // A run of --batch as a caller sets it up (progress, lock wait).
    Run batch(const cli::BatchRequest& request, const platform::Folders& folders)
    {
        Run r;
        QTextStream out(&r.out), err(&r.err);
        r.exit = cli::runBatch(request, folders, out, err);
        return r;
    }

    QString csv(const QString& name, const QString& text, bool cp932 = false)
    {
        QStringEncoder encoder(cp932 ? "Shift_JIS" : "UTF-8");
        const QByteArray bytes = encoder(text);
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
        return f.fileName();
    }

private slots:
    void initTestCase()
    {
        qputenv("CUPS_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("no-cups.sock"))));
        platform::installFontSubstitutions();
        for (auto [folder, name] : {std::pair{&m_folders.app, "app"}, std::pair{&m_folders.user, "user"},
                                    std::pair{&m_folders.docs, "docs"}, std::pair{&m_folders.config, "config"}})
            QVERIFY(QDir().mkpath(*folder = m_dir.filePath(QString::fromLatin1(name))));
    }

    void helpVersionAndWrongArguments()
    {
        Run r = run({QStringLiteral("--help")});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.contains(QStringLiteral("--batch")) && r.out.contains(QStringLiteral("--lookup")));
        for (const char* option : {"--database", "--import-local"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
        r = run({QStringLiteral("--version")});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("horutea ")));
        r = run({QStringLiteral("--colour")});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("分からないオプション")) && r.err.contains(QStringLiteral("colour")),
                 qPrintable(r.err));
        QCOMPARE(run({QStringLiteral("--batch"), QStringLiteral("x.csv"), QStringLiteral("--pdf"),
                      QStringLiteral("a.pdf"), QStringLiteral("--printer"), QStringLiteral("q")})
                     .exit,
                 2);
        QCOMPARE(run({QStringLiteral("--lookup"), QStringLiteral("100-0001")}).out,
                 QStringLiteral("東京都\t千代田区\t千代田\n"));
        QCOMPARE(run({QStringLiteral("--lookup"), QStringLiteral("0000000")}).exit, 1);
        // --lookup takes a code as an order list's cell would hold it.
        for (const char* code : {"〒100-0001", "〒 1000001", "100ｰ0001", "１００－０００１", "100‐0001"})
            QCOMPARE(run({QStringLiteral("--lookup"), QString::fromUtf8(code)}).out,
                     QStringLiteral("東京都\t千代田区\t千代田\n"));
    }

    // Arguments that cannot be meant as given are refused with exit 2 and
    // the one thing to change; nothing is run, no option quietly wins.
    void argumentsRefusedAsGiven_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        const QString list = QStringLiteral("x.csv"), a = QStringLiteral("a.pdf"), b = QStringLiteral("b.pdf");
        QTest::newRow("switch with a value")
            << QStringList{"--batch", list, "--skip-invalid=yes"} << QStringLiteral("--skip-invalid は値をとりません");
        QTest::newRow("--pdf twice") << QStringList{"--batch", list, "--pdf", a, "--pdf", b}
                                     << QStringLiteral("--pdf が2回指定されています（「a.pdf」と「b.pdf」）");
        QTest::newRow("--batch twice") << QStringList{"--batch", list, "--batch=y.csv"}
                                       << QStringLiteral("--batch が2回");
        QTest::newRow("lookup with batch") << QStringList{"--lookup", "1000001", "--batch", list}
                                           << QStringLiteral("--lookup と --batch は一緒に使えません");
        QTest::newRow("database alone") << QStringList{"--database", "postgresql://u@h/db", "--lookup", "1000001"}
                                        << QStringLiteral(
                                               "--database は --batch、--shipped か --import-local と一緒に");
        QTest::newRow("database with a password")
            << QStringList{"--batch", list, "--database", "postgresql://u:pw@h/db"}
            << QStringLiteral("パスワードは書けません");
        QTest::newRow("database without its name") << QStringList{"--import-local", "--database", "postgresql://u@h"}
                                                   << QStringLiteral("データベースの名前がありません");
        QTest::newRow("sender and no sender") << QStringList{"--batch", list, "--sender", "店", "--no-sender"}
                                              << QStringLiteral("--sender と --no-sender");
        QTest::newRow("printer and pdf") << QStringList{"--batch", list, "--pdf", a, "--printer", "q"}
                                         << QStringLiteral("--printer と --pdf");
        QTest::newRow("batch option alone")
            << QStringList{"--pdf", a} << QStringLiteral("--pdf は --batch か --alignment-sheet と一緒に使う");
        QTest::newRow("batch option with lookup") << QStringList{"--lookup", "1000001", "--skip-invalid"}
                                                  << QStringLiteral("--skip-invalid は --batch と一緒に使う");
        QTest::newRow("value missing") << QStringList{"--batch", list, "--pdf"}
                                       << QStringLiteral("--pdf の後に出力.pdfがありません");
        QTest::newRow("option for a value")
            << QStringList{"--batch", "--pdf", a} << QStringLiteral("--batch の後にファイル.csvがありません");
        QTest::newRow("bare file") << QStringList{list} << QStringLiteral("--batch x.csv と書いてください");
    }
    void argumentsRefusedAsGiven()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const Run r = run(arguments);
        QVERIFY2(r.exit == 2 && r.out.isEmpty() && r.err.contains(says) &&
                     r.err.contains(QStringLiteral("horutea --help")) &&
                     (arguments.size() == 1 || !r.err.contains(arguments.join(QLatin1Char(' ')))),
                 qPrintable(r.err));
    }

    // A good list prints every row as one document, each page as designed,
    // and records each row in the history with its order number.
    void batchPrintsEveryRow()
    {
        const QString list =
            csv(QStringLiteral("good.csv"),
                QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先住所2,お届け先氏名,お届け先電話番号\r\n"
                               "A-1,100-0001,東京都千代田区千代田1-1,テストビル3F,㈱山田商会,03-1234-5678\r\n"
                               "A-2,0600001,北海道札幌市中央区北一条西,\"札幌ビル\r\n2F\",佐藤花子,011-222-3333\r\n"),
                true);
        const QString pdfPath = m_dir.filePath(QStringLiteral("good.pdf"));
        const Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.out.contains(QStringLiteral("2 件")), qPrintable(r.out + r.err));
        QCOMPARE(pdf::pageCount(pdfPath), 2);
        waybill::Waybill first;
        first.recipient = {QStringLiteral("1000001"),
                           QStringLiteral("東京都千代田区千代田1-1"),
                           QStringLiteral("テストビル3F"),
                           QStringLiteral("㈱山田商会"),
                           {},
                           false,
                           QStringLiteral("03-1234-5678")};
        checkWaybillPage(pdfPath, 1, first, 0, 0, Corner{}, 0.05);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(pdf::run(QStringLiteral("pdftotext"),
                         {QStringLiteral("-f"), QStringLiteral("2"), pdfPath, QStringLiteral("-")})
                    .contains(QStringLiteral("札幌ビル 2F"))); // the quoted line break, one line on the form

        storage::Database database(QDir(m_folders.user).filePath(QStringLiteral("horutea.sqlite")));
        history::History history(database);
        const auto rows = history.search({.orderNumber = QStringLiteral("A-2")});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.front().record.waybill.recipient.name, QStringLiteral("佐藤花子"));
        QCOMPARE(rows.front().record.destination, pdfPath);
    }

    // The alignment sheet to a file at the saved offsets; after --alignment
    // 12 -5 (the print found 1.2 mm right and 0.5 mm high) every text of the
    // next waybill stands 1.2 mm further left and 0.5 mm lower, to 0.05 pt,
    // and the offset files hold the new offsets; readings that cannot be
    // change nothing.
    void alignmentMovesTheNextWaybill()
    {
        QTemporaryDir dir;
        TestFolders folders;
        for (auto [folder, name] : {std::pair{&folders.app, "app"}, std::pair{&folders.user, "user"},
                                    std::pair{&folders.docs, "docs"}, std::pair{&folders.config, "config"}})
            QVERIFY(QDir().mkpath(*folder = dir.filePath(QString::fromLatin1(name))));
        auto runIn = [&](const QStringList& arguments) {
            Run r;
            QTextStream out(&r.out), err(&r.err);
            r.exit = cli::run(arguments, folders, out, err);
            return r;
        };
        const QString sheet = dir.filePath(QStringLiteral("sheet.pdf"));
        Run r = runIn({QStringLiteral("--alignment-sheet"), QStringLiteral("--pdf"), sheet});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QVERIFY(pdf::run(QStringLiteral("pdftotext"), {sheet, QStringLiteral("-")})
                    .contains(QStringLiteral("左右のズレ 0・上下のズレ 0 で印刷")));

        const QString list = csv(QStringLiteral("aligned.csv"),
                                 QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\r\n"
                                                "100-0001,東京都千代田区千代田1-1,山田花子,03-1234-5678\r\n"));
        const QString before = dir.filePath(QStringLiteral("before.pdf")),
                      after = dir.filePath(QStringLiteral("after.pdf"));
        QCOMPARE(
            runIn({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), before, QStringLiteral("--no-sender")})
                .exit,
            0);
        r = runIn({QStringLiteral("--alignment"), QStringLiteral("12"), QStringLiteral("-5")});
        QVERIFY2(r.exit == 0 && r.out.contains(QStringLiteral("左右のズレを 0 から -12 に、上下のズレを 0 から 5 に")),
                 qPrintable(r.out + r.err));
        QCOMPARE(runIn({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), after, QStringLiteral("--no-sender")})
                     .exit,
                 0);
        const std::vector<pdf::Word> was = pdf::words(before), is = pdf::words(after);
        QVERIFY(was.size() >= 4);
        QCOMPARE(is.size(), was.size());
        const double tolerancePt = 0.05;
        for (size_t i = 0; i < is.size(); ++i)
            QVERIFY2(is[i].text == was[i].text &&
                         std::abs((is[i].x0 - was[i].x0 + 1.2) * pdf::kPtPerMm) <= tolerancePt &&
                         std::abs((is[i].y0 - was[i].y0 - 0.5) * pdf::kPtPerMm) <= tolerancePt,
                     qPrintable(is[i].text));
        const auto saved = [&](const QString& name) {
            QFile f(QDir(folders.app).filePath(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QCOMPARE(saved(QStringLiteral("vanq_x01.txt")), QByteArray("-12\r\n"));
        QCOMPARE(saved(QStringLiteral("vanq_y01.txt")), QByteArray("5\r\n"));

        for (const QStringList& wrong : {QStringList{"--alignment", "70", "0"}, QStringList{"--alignment", "12"},
                                         QStringList{"--alignment", "1.2", "0"}}) {
            r = runIn(wrong);
            QVERIFY2(r.exit == 2 && !r.err.isEmpty(), qPrintable(wrong.join(QLatin1Char(' '))));
        }
        QCOMPARE(saved(QStringLiteral("vanq_x01.txt")), QByteArray("-12\r\n"));
    }

    // Each platform's list, as the platform writes it, prints without any
    // column choice, whatever the file's name: one page per order (per
    // address), the ship-to over the buyer, parts joined, items on the goods
    // lines; and --batch says what it read.
    void platformListsPrintAsOrders()
    {
        for (const ShopFile& file : shopFiles()) {
            const QString path = writeShopFile(m_dir.path(), file);
            const QString pdfPath = path + QStringLiteral(".pdf");
            const Run r =
                run({QStringLiteral("--batch"), path, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--no-sender")});
            QVERIFY2(r.exit == 0, qPrintable(QString::fromUtf8(file.fileName) + QLatin1Char(' ') + r.err));
            QVERIFY2(r.err.contains(file.readAs), qPrintable(r.err));
            QCOMPARE(pdf::pageCount(pdfPath), int(file.pages.size()));
            for (int page = 0; page < file.pages.size(); ++page) {
                checkWaybillPage(pdfPath, page + 1, file.pages[page], 0, 0, Corner{}, 0.05);
                if (QTest::currentTestFailed())
                    qWarning("%s, page %d", file.fileName, page + 1);
                QVERIFY(!QTest::currentTestFailed());
            }
        }
    }

    // Lists as the platforms' downloads come print every parcel whole with
    // no option: one page each, the whole address over the two lines, the
    // numbers hyphenated, no prefecture in Latin letters, the goods without
    // their marketing brackets; the gift without its recipient's number is
    // said, and printed as the shop chose.
    void shopListsAsTheyComePrintWhole()
    {
        for (const ShopFile& file : shopFilesAsTheyCome()) {
            const QString path = writeShopFile(m_dir.path(), file);
            const QString pdfPath = path + QStringLiteral(".pdf");
            const Run r =
                run({QStringLiteral("--batch"), path, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--no-sender")});
            QVERIFY2(r.exit == 0, qPrintable(QString::fromUtf8(file.fileName) + QLatin1Char(' ') + r.err));
            QVERIFY2(r.err.contains(file.readAs), qPrintable(r.err));
            QCOMPARE(pdf::pageCount(pdfPath), int(file.pages.size()));
            for (int page = 0; page < file.pages.size(); ++page) {
                // A long text set smaller stands a little lower in its place.
                checkWaybillPage(pdfPath, page + 1, file.pages[page], 0, 0, Corner{}, 0.3);
                if (QTest::currentTestFailed())
                    qWarning("%s, page %d", file.fileName, page + 1);
                QVERIFY(!QTest::currentTestFailed());
                const QString text = pdf::run(QStringLiteral("pdftotext"),
                                              {QStringLiteral("-f"), QString::number(page + 1), QStringLiteral("-l"),
                                               QString::number(page + 1), pdfPath, QStringLiteral("-")});
                for (const char* latin : {"Tokyo", "Osaka", "JP-"})
                    QVERIFY2(!text.contains(QLatin1String(latin)), qPrintable(text));
            }
        }
        // The gift to 伊藤 さくら was said, with the number printed for it.
        const QString rakuten = writeShopFile(m_dir.path(), rakutenAsItComes());
        Run r = run({QStringLiteral("--batch"), rakuten, QStringLiteral("--pdf"), rakuten + QStringLiteral(".pdf"),
                     QStringLiteral("--no-sender"), QStringLiteral("--gift-telephone"), QStringLiteral("blank")});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.contains(QStringLiteral("4 行目")) && r.err.contains(QStringLiteral("伊藤 さくら")) &&
                     r.err.contains(QStringLiteral("空欄にします")),
                 qPrintable(r.err));
        waybill::Waybill blank = rakutenAsItComes().pages[2];
        blank.recipient.telephone.clear();
        checkWaybillPage(rakuten + QStringLiteral(".pdf"), 3, blank, 0, 0, Corner{}, 0.3);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(!pdf::run(QStringLiteral("pdftotext"),
                          {QStringLiteral("-f"), QStringLiteral("3"), QStringLiteral("-l"), QStringLiteral("3"),
                           rakuten + QStringLiteral(".pdf"), QStringLiteral("-")})
                     .contains(QStringLiteral("090-5555-6666")));
        // The item file named, and one that is not an item file.
        const QString yahoo = writeShopFile(m_dir.path(), yahooAsItComes());
        r = run({QStringLiteral("--batch"), yahoo, QStringLiteral("--pdf"), yahoo + QStringLiteral(".pdf"),
                 QStringLiteral("--items"), yahoo});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("商品のファイルではありません")), qPrintable(r.err));
        QVERIFY(QFile::remove(m_dir.filePath(QStringLiteral("items_20261201.csv"))));
        r = run({QStringLiteral("--batch"), yahoo, QStringLiteral("--pdf"), yahoo + QStringLiteral(".pdf"),
                 QStringLiteral("--no-sender")});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.contains(QStringLiteral("商品のファイル（items_20261201.csv）が")), qPrintable(r.err));
    }

    // The shop's goods table names a list's goods: by product code first,
    // else by the list's name, before the brackets would be dropped.
    void goodsTableNamesAListsGoods()
    {
        {
            storage::Database database(QDir(m_folders.user).filePath(QStringLiteral("horutea.sqlite")));
            goods::GoodsTable table(database);
            QVERIFY(
                table.save({0, goods::MatchBy::ProductCode, QStringLiteral("TOWEL-3"), QStringLiteral("今治タオル")}));
            QVERIFY(table.save(
                {0, goods::MatchBy::ListName, QStringLiteral("★ギフト★煎茶 やぶきた 100g"), QStringLiteral("煎茶")}));
        }
        ShopFile file = rakutenAsItComes();
        file.fileName = "rakuten-goods-table.csv";
        const QString path = writeShopFile(m_dir.path(), file);
        const Run r = run({QStringLiteral("--batch"), path, QStringLiteral("--pdf"), path + QStringLiteral(".pdf"),
                           QStringLiteral("--no-sender")});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        file.pages[0].goods[0].description = QStringLiteral("今治タオル");
        file.pages[1].goods[0].description = QStringLiteral("煎茶");
        for (int page = 0; page < 2; ++page) {
            checkWaybillPage(path + QStringLiteral(".pdf"), page + 1, file.pages[page], 0, 0, Corner{}, 0.05);
            QVERIFY(!QTest::currentTestFailed());
        }
        storage::Database database(QDir(m_folders.user).filePath(QStringLiteral("horutea.sqlite")));
        goods::GoodsTable table(database);
        for (const goods::GoodsName& row : table.all())
            QVERIFY(table.remove(row.id));
    }

    // A shop's list with a heading it is known by renamed is not printed
    // line by line as some other list: the run names the shop's list and
    // the column, and prints nothing.
    void nearlyAShopsListPrintsNothing()
    {
        ShopFile file = rakutenFile();
        QCOMPARE(file.text.count(QStringLiteral("送付先郵便番号1")), 1);
        file.text.replace(QStringLiteral("送付先郵便番号1"), QStringLiteral("送付先〒1"));
        file.fileName = "rakuten-renamed.csv";
        const QString path = writeShopFile(m_dir.path(), file);
        const QString pdfPath = path + QStringLiteral(".pdf");
        const Run r = run({QStringLiteral("--batch"), path, QStringLiteral("--pdf"), pdfPath});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("楽天市場の注文一覧のようですが、列「送付先郵便番号1」がありません")),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(pdfPath));
    }

    // 「ご依頼主: 注文者」: each order's buyer prints as its sender; a list
    // whose orders name no buyer's address prints nothing, and says why.
    void senderFromBuyer()
    {
        const QString shopify = writeShopFile(m_dir.path(), shopifyFile());
        const QString pdfPath = m_dir.filePath(QStringLiteral("gift.pdf"));
        Run r = run({QStringLiteral("--batch"), shopify, QStringLiteral("--pdf"), pdfPath,
                     QStringLiteral("--sender-from-buyer")});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        waybill::Waybill gift = shopifyFile().pages[0];
        gift.sender = shipTo("1510071", "東京都渋谷区本町1-2-3", "", "山田 太郎", "03-3333-4444");
        checkWaybillPage(pdfPath, 1, gift, 0, 0, Corner{}, 0.05);
        QVERIFY(!QTest::currentTestFailed());

        const QString amazon = writeShopFile(m_dir.path(), amazonFile());
        r = run({QStringLiteral("--batch"), amazon, QStringLiteral("--pdf"), pdfPath,
                 QStringLiteral("--sender-from-buyer")});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains(QStringLiteral("注文者の住所がありません")) &&
                     r.err.contains(QStringLiteral("不備のある注文が 2 件")),
                 qPrintable(r.err));

        r = run({QStringLiteral("--batch"), shopify, QStringLiteral("--pdf"), pdfPath,
                 QStringLiteral("--sender-from-buyer"), QStringLiteral("--no-sender")});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("一緒に使えません")), qPrintable(r.err));
    }

    // Numbered forms: a first number with a wrong check digit prints
    // nothing; a right one gives every page the next form's number, each
    // order paired with its own forms, and --shipped writes them back out as
    // the platform reads them (Rakuten: CP932, one line per form).
    void firstNumberAndShippedConfirmations()
    {
        QTemporaryDir dir;
        TestFolders folders;
        for (auto [folder, name] : {std::pair{&folders.app, "app"}, std::pair{&folders.user, "user"},
                                    std::pair{&folders.docs, "docs"}, std::pair{&folders.config, "config"}})
            QVERIFY(QDir().mkpath(*folder = dir.filePath(QString::fromLatin1(name))));
        const auto runIn = [&](const QStringList& arguments) {
            Run r;
            QTextStream out(&r.out), err(&r.err);
            r.exit = cli::run(arguments, folders, out, err);
            return r;
        };
        const QString list = csv(QStringLiteral("numbered.csv"),
                                 QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名\r\n"
                                                "R-1,1000001,東京都千代田区千代田1-1,山田一郎\r\n"
                                                "R-2,0600001,北海道札幌市中央区北一条西,佐藤花子\r\n"
                                                "R-2,0600001,北海道札幌市中央区北一条西,佐藤花子\r\n"),
                                 true);
        const QString pdfPath = dir.filePath(QStringLiteral("numbered.pdf"));
        const QStringList printing{QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath};

        Run r = runIn(printing + QStringList{"--carrier", "yamato", "--first-number", "4444-1375-8704"});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("チェック数字")) && r.err.contains(QStringLiteral("3 のはず")),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(pdfPath));
        r = runIn(printing + QStringList{"--first-number", "444413758703"});
        QCOMPARE(r.exit, 2); // a PDF has no stack to name the carrier
        QVERIFY2(r.err.contains(QStringLiteral("--carrier")), qPrintable(r.err));
        QVERIFY(!QFile::exists(pdfPath));

        // As a scanner types it: the barcode's start and stop letters.
        r = runIn(printing + QStringList{"--carrier", "yamato", "--first-number", "a444413758703a"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(pdf::pageCount(pdfPath), 3);
        QVERIFY2(r.out.contains(QStringLiteral("R-2\t4444-1375-8725")), qPrintable(r.out));
        {
            storage::Database database(QDir(folders.user).filePath(QStringLiteral("horutea.sqlite")));
            history::History history(database);
            QStringList paired;
            for (const auto& entry : history.list(10))
                paired.prepend(entry.record.orderNumber.value_or(QString()) + QLatin1Char(' ') +
                               (entry.record.trackingNumber ? entry.record.trackingNumber->digits() : QString()));
            QCOMPARE(paired, (QStringList{"R-1 444413758703", "R-2 444413758714", "R-2 444413758725"}));
            QCOMPARE(history.search({.trackingNumber = QStringLiteral("4444-1375-8714")}).size(), 1);
        }

        // A list of no platform's goes back in the generic file only; the
        // platform's file says so, naming its orders.
        const QString rakuten = dir.filePath(QStringLiteral("rakuten.csv"));
        r = runIn({QStringLiteral("--shipped"), QStringLiteral("rakuten"), QStringLiteral("--out"), rakuten});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("R-1")) && r.out.contains(QStringLiteral("汎用")), qPrintable(r.out));
        QFile file(rakuten);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 1); // the heading row alone
        const QString generic = dir.filePath(QStringLiteral("generic.csv"));
        r = runIn({QStringLiteral("--shipped"), QStringLiteral("generic"), QStringLiteral("--out"), generic});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QFile genericFile(generic);
        QVERIFY(genericFile.open(QIODevice::ReadOnly));
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        // Every field quoted; none holds a quote or a comma.
        QCOMPARE(QString::fromUtf8(genericFile.readAll())
                     .remove(QChar(0xFEFF))
                     .remove(QLatin1Char('"'))
                     .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
                 (QStringList{QStringLiteral("注文番号,運送会社,伝票番号,発送日,お届け先名"),
                              QStringLiteral("R-1,ヤマト運輸,4444-1375-8703,%1,山田一郎").arg(today),
                              QStringLiteral("R-2,ヤマト運輸,4444-1375-8714,%1,佐藤花子").arg(today),
                              QStringLiteral("R-2,ヤマト運輸,4444-1375-8725,%1,佐藤花子").arg(today)}));
        // Another day has nothing; a date that is none is refused, no file.
        const QString empty = dir.filePath(QStringLiteral("empty.csv"));
        r = runIn({"--shipped", "generic", "--out", empty, "--from", "2020-01-01", "--to", "2020-01-02"});
        QCOMPARE(r.exit, 0);
        QFile emptyFile(empty);
        QVERIFY(emptyFile.open(QIODevice::ReadOnly));
        QCOMPARE(emptyFile.readAll().count('\n'), 1); // the heading row alone
        const QString never = dir.filePath(QStringLiteral("never.csv"));
        r = runIn({"--shipped", "generic", "--out", never, "--from", "2026-02-30"});
        QVERIFY(r.exit == 2 && r.err.contains(QStringLiteral("2026-02-30")));
        r = runIn({"--shipped", "ebay", "--out", never});
        QVERIFY(r.exit == 2 && r.err.contains(QStringLiteral("rakuten")));
        QVERIFY(!QFile::exists(never));
        // A file that cannot be made is a failure, said on stderr.
        const QString nowhere = dir.filePath(QStringLiteral("no-such-folder/shipped.csv"));
        r = runIn({QStringLiteral("--shipped"), QStringLiteral("generic"), QStringLiteral("--out"), nowhere});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("no-such-folder")) && r.out.isEmpty(), qPrintable(r.out + r.err));
    }

    // A refused row stops the whole list and is named with its line, column
    // and reason; with --skip-invalid the rest prints and the exit says some
    // were refused.
    void refusedRows()
    {
        // Also a character no face can draw (named with its field), beside
        // 𠮷, which prints; and a heading that may drop a part, said.
        const QString none = characterNoFaceHas();
        const QString list =
            csv(QStringLiteral("mixed.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名,ＴＥＬ\n"
                                                            "1000001,東京都千代田区千代田1-1,𠮷田太郎,\n"
                                                            "600001,北海道札幌市,佐藤花子,\n"
                                                            "1000001,東京都千代田区,,\n"
                                                            "1000001,東京都千代田区,%2太郎,\n"
                                                            "1000001,東京都千代田区,田中%1,\n")
                                                 .arg(none, QString(80, QChar(0x5c71))));
        const QString pdfPath = m_dir.filePath(QStringLiteral("mixed.pdf"));
        Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath});
        QCOMPARE(r.exit, 1);
        QVERIFY(!QFile::exists(pdfPath));
        QVERIFY2(r.err.contains(QStringLiteral("3 行目")) && r.err.contains(QStringLiteral("お届け先郵便番号")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("4 行目")) && r.err.contains(QStringLiteral("お届け先氏名")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("5 行目")) && r.err.contains(QStringLiteral("列「お届け先氏名」")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("6 行目、行全体: お届け先の名前の「%1」").arg(none)) &&
                     !r.err.contains(QStringLiteral("2 行目")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("「ＴＥＬ」（4列目）は「電話番号」の列のよう")), qPrintable(r.err));
        r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--skip-invalid")});
        QCOMPARE(r.exit, 1);
        QCOMPARE(pdf::pageCount(pdfPath), 1);
        // One refused row is enough for the exit to say so.
        const QString oneBad =
            csv(QStringLiteral("one-bad.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n"
                                                              "1000001,東京都千代田区千代田1-1,山田太郎\n"
                                                              "1000001,東京都千代田区,\n"));
        r = run(
            {QStringLiteral("--batch"), oneBad, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--skip-invalid")});
        QCOMPARE(r.exit, 1);
        QCOMPARE(pdf::pageCount(pdfPath), 1);
    }

    // The list changed while its pages are made, as another program saving
    // over it would: rewritten in place, or cut short. Each row carries an
    // unprinted note longer than a read-ahead, so every row after the change
    // comes fresh from the disk. The run stops at the first row that is not
    // the one checked, names its line, and leaves no file and no history.
    void listChangedWhilePrinting()
    {
        const QString note(70000, QLatin1Char('x'));
        auto listText = [&](const QString& family, int rows) {
            QString text = QStringLiteral("備考,お届け先郵便番号,お届け先住所1,お届け先氏名\n");
            for (int i = 0; i < rows; ++i)
                text += QStringLiteral("%1,1000001,東京都千代田区千代田1-%2,%3%2\n").arg(note).arg(i).arg(family);
            return text.toUtf8();
        };
        const std::pair<QByteArray, QString> changes[] = {
            {listText(QStringLiteral("亀田"), 12),
             QStringLiteral("5行目の中身が、確かめた後でファイルの中で変わりました")},
            {listText(QStringLiteral("鶴田"), 6), QStringLiteral("8行目が、確かめた後でファイルから無くなりました")},
        };
        for (const auto& [changed, said] : changes) {
            cli::BatchRequest request{
                .csvPath = csv(QStringLiteral("changing.csv"), QString::fromUtf8(listText(QStringLiteral("鶴田"), 12))),
                .pdfPath = m_dir.filePath(QStringLiteral("changing.pdf"))};
            request.progress = [&, changedBytes = changed](int done, int) {
                QFile f(request.csvPath);
                return done != 3 || (f.open(QIODevice::ReadWrite) && f.resize(changedBytes.size()) &&
                                     f.write(changedBytes) == changedBytes.size());
            };
            const Run r = batch(request, m_folders);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(said) && r.err.contains(QStringLiteral("印刷されていません")), qPrintable(r.err));
            QVERIFY(!QFile::exists(request.pdfPath));
        }
        storage::Database database(QDir(m_folders.user).filePath(QStringLiteral("horutea.sqlite")));
        QVERIFY(history::History(database).search({.name = QStringLiteral("鶴田")}).isEmpty());
    }

    // The sender is never silently blank. None saved: the run says the
    // waybills carry none, unless --no-sender says so on purpose. A book
    // held by another program is waited for, then the run stops (exit 2),
    // as it does for a damaged book, whose saved senders are in the file
    // set aside; what is printed then is recorded in the new file, and said.
    void senderNeverSilentlyBlank()
    {
        TestFolders folders = m_folders;
        QVERIFY(QDir().mkpath(folders.user = m_dir.filePath(QStringLiteral("sender-user"))));
        const QString bookPath = QDir(folders.user).filePath(QStringLiteral("horutea.sqlite"));
        cli::BatchRequest request{
            .csvPath = csv(QStringLiteral("sender.csv"),
                           QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,松田\n")),
            .pdfPath = m_dir.filePath(QStringLiteral("sender.pdf")),
            .lockWaitMs = 1500};
        const QString noneSaid = QStringLiteral("ご依頼主を印刷しません");
        Run r = batch(request, folders);
        QVERIFY2(r.exit == 0 && r.err.contains(noneSaid) && r.err.contains(QStringLiteral("--no-sender")),
                 qPrintable(r.err));
        request.noSender = true;
        r = batch(request, folders);
        QVERIFY2(r.exit == 0 && r.err.isEmpty(), qPrintable(r.err));
        request.noSender = false;

        QVERIFY(addressbook::AddressBook(*std::make_unique<storage::Database>(bookPath))
                    .save(addressbook::Kind::Sender,
                          {"1500001", "東京都渋谷区", "", "ホルテア商店", {}, false, "03-5555-0000"}));
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(bookPath);
            QVERIFY(holder.open() && QSqlQuery(holder).exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) &&
                    QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QFile::remove(request.pdfPath);
            QElapsedTimer waited;
            waited.start();
            r = batch(request, folders);
            QVERIFY(waited.elapsed() >= 1500 && r.exit == 2 && !QFile::exists(request.pdfPath));
            QVERIFY2(r.err.contains(QStringLiteral("別のプログラムが使っています")) &&
                         r.err.contains(QStringLiteral("何も印刷しませんでした")),
                     qPrintable(r.err));
            holder.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        r = batch(request, folders);
        QVERIFY2(r.exit == 0 && !r.err.contains(noneSaid), qPrintable(r.err));
        QVERIFY(pdf::run(QStringLiteral("pdftotext"), {request.pdfPath, QStringLiteral("-")})
                    .contains(QStringLiteral("ホルテア商店")));

        for (const bool noSender : {false, true}) {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(bookPath + QLatin1String(suffix));
            QFile damaged(bookPath);
            QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(8192, 'x')) == 8192);
            damaged.close();
            QFile::remove(request.pdfPath);
            request.noSender = noSender;
            r = batch(request, folders);
            if (!noSender)
                QVERIFY2(r.exit == 2 && r.err.contains(QStringLiteral("壊れて")) &&
                             r.err.contains(QStringLiteral("--no-sender")) && !QFile::exists(request.pdfPath),
                         qPrintable(r.err));
        }
        QVERIFY2(r.exit == 0 && r.err.contains(QStringLiteral("印刷した分は履歴に記録しました")) &&
                     !r.err.contains(QStringLiteral("記録されていません")),
                 qPrintable(r.err));
        storage::Database fresh(bookPath);
        QCOMPARE(history::History(fresh).search({.name = QStringLiteral("松田")}).size(), 1);
    }

    // A named pipe where a file is read or written (the list, the settings,
    // the postal data, the PDF) or a folder as the PDF stops the run at once
    // with exit 2 and says what it is; none is waited on, none is replaced.
    // So does a form size kept in the settings that a typed one could not be.
    void namedPipesFoldersAndKeptSizes()
    {
        const QString list = csv(QStringLiteral("plain.csv"),
                                 QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("plain.pdf"));
        const auto refused = [&](const QString& csvPath, const QString& pdf, const QString& what, const QString& said) {
            const Run r = run({QStringLiteral("--batch"), csvPath, QStringLiteral("--pdf"), pdf});
            QVERIFY2(r.exit == 2 && r.err.contains(what) && r.err.contains(said) &&
                         !r.err.contains(QStringLiteral("（）")),
                     qPrintable(r.err));
        };
        const QString pipe = QStringLiteral("名前付きパイプ");
        for (const QString& name : {QStringLiteral("pipe.csv"), QStringLiteral("pipe.pdf"), m_folders.settingsFile()}) {
            const GuardedFifo fifo(name.contains(u'/') ? name : m_dir.filePath(name));
            if (name.endsWith(QLatin1String(".csv")))
                refused(fifo.path(), pdfPath, QStringLiteral("注文一覧"), pipe);
            else if (name.endsWith(QLatin1String(".pdf")))
                refused(list, fifo.path(), QStringLiteral("PDFファイル"), pipe);
            else
                refused(list, pdfPath, QStringLiteral("設定ファイル"), pipe);
            QVERIFY(!fifo.released() && platform::kindOfFile(fifo.path()) == platform::FileKind::Special);
        }
        refused(list, m_dir.path(), QStringLiteral("PDFファイル"), QStringLiteral("フォルダです"));
        {
            const GuardedFifo data(m_dir.filePath(QStringLiteral("postal.bin")));
            Run r;
            QTextStream out(&r.out), err(&r.err);
            QCOMPARE(cli::runLookup(QStringLiteral("100-0001"), data.path(), out, err),
                     int(cli::lookupDataUnavailable));
            QVERIFY2(r.err.contains(pipe) && !data.released(), qPrintable(r.err));
        }
        for (const char* width : {"inf", "1e308", "0.0001", "10", "100000", "nan"}) {
            QFile settings(m_folders.settingsFile());
            QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
            settings.write(QByteArray("[form]\nwidthMm=") + width + "\nlengthMm=254\n");
            settings.close();
            refused(list, pdfPath, QStringLiteral("連続用紙の大きさ"), QStringLiteral("50～600 mm"));
        }
        QVERIFY(QFile::remove(m_folders.settingsFile()));
        QVERIFY(!QFile::exists(pdfPath));
    }

    // This PC's book moved to a server that is not named, or does not
    // answer (at the port a URL without one means): exit 2, and the import
    // said not to have run.
    void importLocalThatCannotRun()
    {
        TestFolders folders = m_folders;
        folders.user = m_dir.filePath(QStringLiteral("import-user"));
        folders.config = m_dir.filePath(QStringLiteral("import-config"));
        QVERIFY(storage::Database(station::localDatabasePath(folders)).ensureOpen());
        const std::pair<QStringList, QStringList> cases[] = {
            {{QStringLiteral("--import-local")},
             {QStringLiteral("取り込みは行っていません"), QStringLiteral("--database")}},
            {{QStringLiteral("--import-local"), QStringLiteral("--database"),
              QStringLiteral("postgresql://horutea@127.0.0.1/horutea_absent")},
             {QStringLiteral("取り込みは行っていません"), QStringLiteral("127.0.0.1:5432")}},
        };
        for (const auto& [arguments, said] : cases) {
            Run r;
            QTextStream out(&r.out), err(&r.err);
            r.exit = cli::run(arguments, folders, out, err);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
            for (const QString& part : said)
                QVERIFY2(r.err.contains(part), qPrintable(r.err));
        }
    }

    // The server away and this PC's queue held by another program: the
    // pages are printed and recorded nowhere, so the run exits 3 and says
    // where they are.
    void pagesRecordedNowhere()
    {
        TestFolders folders = m_folders;
        folders.config = m_dir.filePath(QStringLiteral("nowhere-config"));
        const QString url = QStringLiteral("postgresql://horutea@127.0.0.1:1/horutea");
        const history::QueueServer server{*storage::serverAddressFrom(url), {}};
        history::LocalQueue queue(folders.config);
        QVERIFY(queue.keep(server, 0, [](int) { return std::optional<history::PrintRecord>(); }).ok);
        const QString holder = QStringLiteral("another program");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
            other.setDatabaseName(queue.filePathFor(server));
            QVERIFY(other.open() && QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
            const QString list =
                csv(QStringLiteral("nowhere.csv"),
                    QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n"));
            const QString pdf = m_dir.filePath(QStringLiteral("nowhere.pdf"));
            Run r;
            QTextStream out(&r.out), err(&r.err);
            r.exit = cli::run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdf,
                               QStringLiteral("--no-sender"), QStringLiteral("--database"), url},
                              folders, out, err);
            QCOMPARE(r.exit, 3);
            for (const QString& part : {QStringLiteral("PDFファイル「%1」").arg(QDir::toNativeSeparators(pdf)),
                                        QStringLiteral("記録されていません"), QStringLiteral("別のプログラム")})
                QVERIFY2(r.err.contains(part), qPrintable(r.err));
            QVERIFY(QFile::exists(pdf));
            other.close();
        }
        QSqlDatabase::removeDatabase(holder);
    }

    // Lists that cannot run at all: exit 2, stderr naming the cause, no file.
    // The built-in layout exported and given back for a run prints the same
    // bytes as without it; the same file with every xMm 10 more moves every
    // text 10 mm right; a saved layout's name, the PDF file's own layout, and
    // what a layout places beyond the waybill (ship date, 個数, order number,
    // the form's number).
    void layoutsForARun()
    {
        const QString list =
            csv(QStringLiteral("layout.csv"),
                QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\r\n"
                               "A-1,100-0001,東京都千代田区千代田1-1,山田花子,03-1234-5678\r\n"));
        const QString exported = m_dir.filePath(QStringLiteral("standard.json"));
        Run r = run({QStringLiteral("--layout-export"), QStringLiteral("標準"), QStringLiteral("--out"), exported});
        QVERIFY2(r.exit == 0 && r.out.contains(exported), qPrintable(r.err));
        QCOMPARE(print::readLayoutFile(exported).value(), print::builtInLayout());

        const auto printWith = [&](const QString& name, const QStringList& more) {
            const QString pdfPath = m_dir.filePath(name);
            const Run printed = run(QStringList{QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath,
                                                QStringLiteral("--no-sender")} +
                                    more);
            [&] { QVERIFY2(printed.exit == 0, qPrintable(printed.err)); }();
            return pdfPath;
        };
        // The bytes of a PDF but for the moment it was made.
        const auto withoutDate = [](const QString& path) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return QByteArray();
            QByteArray bytes = file.readAll();
            static const QRegularExpression date(QStringLiteral("/CreationDate \\([^)]*\\)"));
            return QString::fromLatin1(bytes).remove(date).toLatin1();
        };
        const QString plain = printWith(QStringLiteral("plain.pdf"), {});
        const QString viaFile = printWith(QStringLiteral("via-file.pdf"), {QStringLiteral("--layout"), exported});
        QVERIFY(!withoutDate(plain).isEmpty());
        QCOMPARE(withoutDate(viaFile), withoutDate(plain));

        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject top = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        const auto raised = [](QJsonArray items) {
            for (QJsonValueRef item : items) {
                QJsonObject o = item.toObject();
                o.insert(QStringLiteral("xMm"), o.value(QStringLiteral("xMm")).toDouble() + 10.0);
                item = o;
            }
            return items;
        };
        top.insert(QStringLiteral("texts"), raised(top.value(QStringLiteral("texts")).toArray()));
        QJsonObject marks = top.value(QStringLiteral("marks")).toObject();
        marks.insert(QStringLiteral("places"), raised(marks.value(QStringLiteral("places")).toArray()));
        top.insert(QStringLiteral("marks"), marks);
        const QString shiftedFile = m_dir.filePath(QStringLiteral("shifted.json"));
        QFile out(shiftedFile);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(top).toJson());
        out.close();
        const QString shifted = printWith(QStringLiteral("shifted.pdf"), {QStringLiteral("--layout"), shiftedFile});
        const std::vector<pdf::Word> before = pdf::words(plain), after = pdf::words(shifted);
        QCOMPARE(after.size(), before.size());
        QVERIFY(before.size() >= 10);
        for (size_t i = 0; i < before.size(); ++i)
            QVERIFY2(after[i].text == before[i].text && qAbs(after[i].x0 - before[i].x0 - 10.0) < 0.05 &&
                         qAbs(after[i].y0 - before[i].y0) < 0.01,
                     qPrintable(
                         QStringLiteral("%1 from %2 to %3 mm").arg(before[i].text).arg(before[i].x0).arg(after[i].x0)));

        // A saved layout by its name; a file that is not one prints nothing
        // and says where its fault is.
        const station::LayoutStore store(m_folders);
        const print::Layout example =
            print::readLayoutFile(QStringLiteral(HORUTEA_SOURCE_DIR "/layouts/example-small-parcel.json")).value();
        QVERIFY(store.save(example));
        const QString small = printWith(QStringLiteral("small.pdf"),
                                        {QStringLiteral("--layout"), example.name, QStringLiteral("--ship-date"),
                                         QStringLiteral("2025-04-01"), QStringLiteral("--parcels"), QStringLiteral("3"),
                                         QStringLiteral("--carrier"), QStringLiteral("yamato"),
                                         QStringLiteral("--first-number"), QStringLiteral("4444-1375-8703")});
        const auto valueOf = [](const print::LayoutText& t) -> QString {
            switch (t.value) {
            case print::LayoutValue::FixedText:
                return t.fixedText;
            case print::LayoutValue::ShipDate:
                return QStringLiteral("2025年4月1日");
            case print::LayoutValue::Name:
                return t.party == print::Party::Recipient ? QStringLiteral("山田花子") : QString();
            default:
                return {};
            }
        };
        QCOMPARE(checkLayoutTexts(small, 1, example, valueOf, 0.05), 3);
        // The right-aligned ones: the order number, the form's number and 個数.
        QStringList printed;
        for (const pdf::Word& word : pdf::words(small))
            printed << word.text;
        for (const char* text : {"A-1", "4444-1375-8703", "3"})
            QVERIFY2(printed.contains(QString::fromUtf8(text)), qPrintable(printed.join(QLatin1Char(' '))));

        // The PDF file's own layout, when no --layout is given.
        QVERIFY(store.setNameForQueue({}, example.name));
        QVERIFY(pdf::run(QStringLiteral("pdftotext"), {printWith(QStringLiteral("own.pdf"), {}), QStringLiteral("-")})
                    .contains(QStringLiteral("小口便")));
        QVERIFY(store.setNameForQueue({}, print::kBuiltInLayoutName));

        const QString damaged = m_dir.filePath(QStringLiteral("damaged.json"));
        QFile bad(damaged);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(
            "{\n  \"format\": \"horutea-layout\",\n  \"version\": 1,\n  \"name\": \"x\",\n  \"texts\": [{\"value\": \"recipient.name\", \"xMm\": \"ten\"}]\n}\n");
        bad.close();
        const QString none = m_dir.filePath(QStringLiteral("none.pdf"));
        for (const QStringList& layout : {QStringList{QStringLiteral("--layout"), damaged},
                                          QStringList{QStringLiteral("--layout"), QStringLiteral("ない")}}) {
            r = run(QStringList{QStringLiteral("--batch"), list, QStringLiteral("--pdf"), none,
                                QStringLiteral("--no-sender")} +
                    layout);
            QVERIFY2(r.exit == 2 && r.err.contains(QStringLiteral("何も印刷していません")), qPrintable(r.err));
            QVERIFY(!QFile::exists(none));
        }
        QVERIFY2(r.err.contains(QStringLiteral("標準、見本・小口便")), qPrintable(r.err));
        r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), none, QStringLiteral("--layout"), damaged});
        QVERIFY2(r.err.contains(QStringLiteral("texts[0].xMm")), qPrintable(r.err));

        r = run({QStringLiteral("--layout-export"), QStringLiteral("ない"), QStringLiteral("--out"), exported});
        QVERIFY2(r.exit == 2 && r.err.contains(QStringLiteral("見つかりません")), qPrintable(r.err));
        QCOMPARE(print::readLayoutFile(exported).value(), print::builtInLayout()); // left as it was
        for (const QStringList& wrong :
             {QStringList{"--layout-export", "標準"}, QStringList{"--batch", list, "--out", exported},
              QStringList{"--batch", list, "--parcels", "0"}, QStringList{"--batch", list, "--ship-date", "4/1"},
              QStringList{"--layout", "標準"}}) {
            r = run(wrong);
            QVERIFY2(r.exit == 2 && r.err.contains(QStringLiteral("horutea --help")), qPrintable(r.err));
        }
    }

    void cannotRun()
    {
        const QString list = csv(QStringLiteral("ok.csv"),
                                 QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n"));
        const QString strange = csv(QStringLiteral("strange.csv"), QStringLiteral("a,b,c\n1,2,3\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("x.pdf"));
        const std::pair<QStringList, QString> cases[] = {
            {{m_dir.filePath(QStringLiteral("missing.csv")), QStringLiteral("--pdf"), pdfPath},
             QStringLiteral("missing.csv")},
            {{list, QStringLiteral("--printer"), QStringLiteral("no-such-queue")}, QStringLiteral("no-such-queue")},
            {{list, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--sender"), QStringLiteral("知らない店")},
             QStringLiteral("知らない店")},
            {{strange, QStringLiteral("--pdf"), pdfPath}, QStringLiteral("一括印刷")},
            {{list, QStringLiteral("--pdf"), m_dir.filePath(QStringLiteral("no-folder/x.pdf"))},
             QStringLiteral("印刷されていません")},
        };
        for (const auto& [arguments, named] : cases) {
            const Run r = run(QStringList{QStringLiteral("--batch")} + arguments);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(named), qPrintable(r.err));
        }
        QVERIFY(!QFile::exists(pdfPath));
    }
};

} // namespace

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
