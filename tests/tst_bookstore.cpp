// The address book and the print history as the stations use them, on the
// engine the run is given: a SQLite file, or (HORUTEA_TEST_PG_URL, set by
// tests/postgres/with-postgres.sh) a real PostgreSQL server. The same cases
// on both, so a station sees the same book wherever it is kept.
#include "bookdata.h"

#include "addressbook/addressbook.h"
#include "addressbook/importfile.h"
#include "goods/goodscsv.h"
#include "goods/goodstable.h"
#include "history/history.h"
#include "storage/database.h"
#include "storage/schema.h"
#include "storage/searchkey.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace testing;
using addressbook::AddressBook;
using addressbook::Kind;
using history::History;
using storage::Database;
using storage::Engine;

namespace {

const QString kServerUrl = qEnvironmentVariable("HORUTEA_TEST_PG_URL");

// A connection of the engine's own driver, as an older version of the
// program left the database.
class RawConnection {
public:
    explicit RawConnection(const QString& location) : m_name(QStringLiteral("raw-%1").arg(++s_serial))
    {
        QSqlDatabase db;
        if (storage::isServerUrl(location)) {
            const auto server = storage::serverAddressFrom(location);
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
            db.setHostName(server->host), db.setPort(server->port), db.setDatabaseName(server->database);
            db.setUserName(server->user);
            db.setConnectOptions(QStringLiteral("options='-c client_min_messages=warning'"));
            m_engine = Engine::Postgres;
        } else {
            QDir().mkpath(QFileInfo(location).absolutePath());
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(location);
        }
        if (!db.open())
            qFatal("cannot open %s: %s", qPrintable(location), qPrintable(db.lastError().text()));
    }
    ~RawConnection() { QSqlDatabase::removeDatabase(m_name); }

    void exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        bool done = values.isEmpty() ? q.exec(sql) : q.prepare(sql);
        for (const QVariant& value : values)
            q.addBindValue(value);
        if (done && !values.isEmpty())
            done = q.exec();
        if (!done)
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    }
    void setVersion(int version)
    {
        if (m_engine == Engine::Sqlite) {
            exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
            return;
        }
        exec(QStringLiteral("CREATE TABLE horutea_schema_version (version INTEGER NOT NULL)"));
        exec(QStringLiteral("INSERT INTO horutea_schema_version VALUES (%1)").arg(version));
    }

private:
    static inline int s_serial = 0;
    QString m_name;
    Engine m_engine = Engine::Sqlite;
};

} // namespace

class BookStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;
    const Engine m_engine = kServerUrl.isEmpty() ? Engine::Sqlite : Engine::Postgres;

    // A database with nothing in it: a new file, or the server's database
    // emptied of the program's tables.
    QString freshLocation()
    {
        if (m_engine == Engine::Sqlite)
            return m_dir.filePath(QStringLiteral("user%1/horutea.sqlite").arg(++m_serial));
        RawConnection(kServerUrl)
            .exec(QStringLiteral(
                "DROP TABLE IF EXISTS address_entry, print_history, spoiled_form, goods_name, horutea_schema_version CASCADE"));
        return kServerUrl;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The server's run without a server would pass on SQLite alone.
        if (qEnvironmentVariable("HORUTEA_TEST_ENGINE") == QLatin1String("postgres"))
            QVERIFY2(!kServerUrl.isEmpty(), "HORUTEA_TEST_PG_URL is not set: run under tests/postgres/run-test.sh");
    }

    // ---- history ----

    void historyRecordsSearchesAndGivesBack()
    {
        const QString location = freshLocation();
        Database db(location);
        History history(db);
        const auto yamada =
            address(QStringLiteral("山田 太郎"), QStringLiteral("03-1234-5678"), QStringLiteral("1000001"),
                    QStringLiteral("東京都千代田区千代田1-1"), QStringLiteral("皇居前ハイツ101"));
        const auto sato = address(QStringLiteral("佐藤花子"), QStringLiteral("045-987-6543"), QStringLiteral("2310023"),
                                  QStringLiteral("神奈川県横浜市中区山下町"));
        auto satoCareOf = sato;
        satoCareOf.careOf = QStringLiteral("鈴木"), satoCareOf.careOfShown = true;
        const qint64 first = history.record(printed(yamada, "2026-03-01T09:00:00Z", "A-100")).value_or(-1),
                     second = history.record(printed(sato, "2026-03-02T09:00:00Z")).value_or(-1),
                     third = history.record(printed(satoCareOf, "2026-03-03T09:00:00Z", "A-102")).value_or(-1),
                     fourth = history.record(printed(yamada, "2026-03-04T09:00:00Z")).value_or(-1);
        const auto ids = [](const QList<history::HistoryEntry>& entries) {
            QList<qint64> out;
            for (const auto& e : entries)
                out.append(e.id);
            return out;
        };
        QCOMPARE(ids(history.list(10)), (QList<qint64>{fourth, third, second, first}));
        QCOMPARE(ids(history.list(2, 1)), (QList<qint64>{third, second}));
        QCOMPARE(history.get(third)->record, printed(satoCareOf, "2026-03-03T09:00:00Z", "A-102"));
        QVERIFY(!history.get(second)->record.orderNumber);

        using Q = history::HistoryQuery;
        const struct {
            Q query;
            QList<qint64> found;
        } cases[] = {
            {{.name = QStringLiteral("太郎")}, {fourth, first}},
            {{.name = QStringLiteral("鈴木")}, {third}},                            // the care-of line
            {{.name = QStringLiteral("サンプル")}, {fourth, third, second, first}}, // the sender block
            {{.telephone = QStringLiteral("0312345678")}, {fourth, first}},
            {{.telephone = QStringLiteral("045-987")}, {third, second}},
            {{.postalCode = QStringLiteral("231-0023")}, {third, second}},
            {{.address = QStringLiteral("ハイツ")}, {fourth, first}},
            {{.address = QStringLiteral("梅田")}, {fourth, third, second, first}},
            {{.orderNumber = QStringLiteral("a-102")}, {third}},
            {{.printedFrom = at("2026-03-02T09:00:00Z"), .printedBefore = at("2026-03-04T09:00:00Z")}, {third, second}},
            {{.name = QStringLiteral("佐藤"), .printedFrom = at("2026-03-03T00:00:00Z")}, {third}},
            {{.name = QStringLiteral("佐藤"), .telephone = QStringLiteral("03-1234")}, {}},
            {{.name = QStringLiteral("太郎"), .limit = 1, .offset = 1}, {first}},
        };
        for (const auto& c : cases)
            QVERIFY2(ids(history.search(c.query)) == c.found, qPrintable(QString::number(&c - cases)));

        Database again(location); // kept across runs
        QCOMPARE(History(again).get(fourth)->record, printed(yamada, "2026-03-04T09:00:00Z"));
    }

    // A page sent again under the station's id (from its queue, after an
    // answer that was lost) stays one row; pages without an id are each kept.
    void pageRecordedTwiceUnderOneIdIsOneRow()
    {
        Database db(freshLocation());
        storage::ProblemsMet problems(db);
        History history(db);
        auto page = printed(kShop, "2026-03-01T09:00:00Z", "Q-1");
        page.stationRowId = QStringLiteral("station-a/1");
        int added = -1;
        QVERIFY(history.recordAll(
                    1, [&](int) { return std::optional(page); }, nullptr, &added) &&
                added == 1);
        QVERIFY(history.recordAll(
                    2, [&](int) { return std::optional(page); }, nullptr, &added) &&
                added == 0);
        auto other = page;
        other.stationRowId = QStringLiteral("station-b/1");
        QVERIFY(history.record(other) && history.record(printed(kShop)) && history.record(printed(kShop)));
        const auto rows = history.list(10);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1].record, page); // its id kept with it (newest first: other, page, then the two without)
        QVERIFY(!problems.take());
    }

    // ---- goods table ----

    // One row per kind and code or name, however wide or cased it was
    // typed; a change that meets another row's key becomes that row; an
    // import is all or nothing and replaces the short names it meets; the
    // lookup prefers the product code and sees changes made since it read;
    // the CSV file reads back as written.
    void goodsTableKeepsOneNamePerCodeAndName()
    {
        Database db(freshLocation());
        storage::ProblemsMet problems(db);
        goods::GoodsTable table(db);
        goods::GoodsNamesLookup lookup(db);
        using goods::MatchBy;
        QCOMPARE(lookup.find(QStringLiteral("tea-01"), {}), std::nullopt);
        const auto tea = table.save({0, MatchBy::ProductCode, QStringLiteral("TEA-01"), QStringLiteral("緑茶")});
        QVERIFY(tea);
        QCOMPARE(table.save({0, MatchBy::ProductCode, QStringLiteral("ｔｅａ－０１ "), QStringLiteral("煎茶")}), tea);
        const auto towel =
            table.save({0, MatchBy::ListName, QStringLiteral("【送料無料】国産 今治タオル フェイスタオル 3枚セット"),
                        QStringLiteral("今治タオル")});
        QVERIFY(towel && towel != tea);
        QVERIFY(!table.save({0, MatchBy::ListName, QStringLiteral("  "), QStringLiteral("空")}));
        QCOMPARE(lookup.find(QStringLiteral("tea-01"),
                             QStringLiteral("【送料無料】国産 今治タオル フェイスタオル 3枚セット")),
                 QStringLiteral("煎茶"));
        QCOMPARE(
            lookup.find(QStringLiteral("x-9"), QStringLiteral("【送料無料】国産  今治タオル フェイスタオル 3枚セット")),
            QStringLiteral("今治タオル"));
        // Changed into the other row's name: one row remains.
        QCOMPARE(table.save({*towel, MatchBy::ProductCode, QStringLiteral("tea-01"), QStringLiteral("玉露")}), tea);
        QCOMPARE(table.all().size(), 1);
        QCOMPARE(lookup.find(QStringLiteral("TEA-01"), {}), QStringLiteral("玉露"));

        const auto imported =
            table.importRows({{0, MatchBy::ProductCode, QStringLiteral("tea-01"), QStringLiteral("ほうじ茶")},
                              {0, MatchBy::ListName, QStringLiteral("有田焼 湯呑み 白"), QStringLiteral("湯呑み")}});
        QVERIFY(imported && imported->added == 1 && imported->replaced == 1);
        const QList<goods::GoodsName> rows = table.all();
        QCOMPARE(rows.size(), 2);

        QTemporaryDir dir;
        for (const csv::Encoding encoding : {csv::Encoding::Utf8, csv::Encoding::Cp932}) {
            QFile out(dir.filePath(QStringLiteral("goods.csv")));
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(goods::writeCsv(rows, out, encoding));
            out.close();
            const auto back = goods::readCsv(out.fileName());
            QVERIFY2(back, qPrintable(back ? QString() : back.error()));
            QCOMPARE(back->size(), rows.size());
            for (qsizetype i = 0; i < rows.size(); ++i)
                QCOMPARE((goods::GoodsName{0, back->at(i).by, back->at(i).match, back->at(i).shortName}),
                         (goods::GoodsName{0, rows[i].by, rows[i].match, rows[i].shortName}));
        }
        QFile bad(dir.filePath(QStringLiteral("bad.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QStringLiteral("種類,一覧の値,送り状の品名\n商品コード,a-1,A\n品番,b-2,B\n").toUtf8());
        bad.close();
        const auto refused = goods::readCsv(bad.fileName());
        QVERIFY(!refused && refused.error().contains(QStringLiteral("3行目")) &&
                refused.error().contains(QStringLiteral("「品番」")));

        QVERIFY(table.remove(rows[0].id));
        QCOMPARE(table.all().size(), 1);
        QVERIFY(!problems.take());
    }

    // Variant forms of kanji find one another both ways, in the book and the history: 高橋 finds 髙橋, 渡辺 finds 渡邊
    // and 渡邉, 斎藤 finds 齋藤 and 齊藤, 山崎 finds 山﨑, and the other way round.
    void variantKanjiFindEachOther()
    {
        Database db(freshLocation());
        storage::ProblemsMet problems(db);
        AddressBook book(db);
        History history(db);
        for (const char* name : {"髙橋一郎", "渡邊二郎", "渡邉三郎", "齋藤四郎", "山﨑五郎", "高野六郎"}) {
            const auto a = address(QString::fromUtf8(name), QStringLiteral("03-1234-5678"), QStringLiteral("1000001"),
                                   QStringLiteral("東京都千代田区"));
            QVERIFY(book.save(Kind::Recipient, a) && history.record(printed(a)));
        }
        const std::pair<const char*, int> searched[] = {{"高橋", 1}, {"渡辺", 2}, {"渡邉", 2}, {"斎藤", 1},
                                                        {"齊藤", 1}, {"山崎", 1}, {"髙", 2},   {"邊二", 1}};
        for (const auto& [typed, found] : searched) {
            QVERIFY2(book.search(Kind::Recipient, QString::fromUtf8(typed)).size() == found, typed);
            QVERIFY2(history.search({.name = QString::fromUtf8(typed)}).size() == found, typed);
        }
        QVERIFY(!problems.take());
    }

    // ---- address book ----

    void addressBookSavesWithoutTwinsEditsAndRemoves()
    {
        Database db(freshLocation());
        storage::ProblemsMet problems(db);
        AddressBook book(db);
        const auto yamada = address(QStringLiteral("山田太郎"), QStringLiteral("03-1234-5678"),
                                    QStringLiteral("1000001"), QStringLiteral("東京都千代田区"));
        const auto id = book.save(Kind::Recipient, yamada, at("2026-01-01T00:00:00Z"));
        QVERIFY(id);
        // The same again: the one entry, now used later; an older use does not move it back.
        QCOMPARE(book.save(Kind::Recipient, yamada, at("2026-02-01T00:00:00Z")), id);
        QCOMPARE(book.save(Kind::Recipient, yamada, at("2025-01-01T00:00:00Z")), id);
        QCOMPARE(book.get(*id)->lastUsed, at("2026-02-01T00:00:00Z"));
        // Not the same: another kind, or one field differing (even the care-of switch).
        QVERIFY(book.save(Kind::Sender, yamada) != id);
        auto withCareOf = yamada;
        withCareOf.careOfShown = true;
        const auto careOfId = book.save(Kind::Recipient, withCareOf);
        QVERIFY(careOfId && careOfId != id);
        QCOMPARE(book.recent(Kind::Recipient).size(), 2);

        auto moved = yamada;
        moved.line1 = QStringLiteral("大阪府大阪市北区");
        QCOMPARE(book.edit(*id, moved), id);
        QCOMPARE(book.get(*id)->address, moved);
        QCOMPARE(book.get(*id)->lastUsed, at("2026-02-01T00:00:00Z"));
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("大阪府"))), QStringList{yamada.name});
        QCOMPARE(book.search(Kind::Recipient, QStringLiteral("千代田区")).size(), 1); // only the care-of twin now

        // Edited into a copy of another entry: the two become one.
        QCOMPARE(book.edit(*careOfId, moved), id);
        QVERIFY(!book.get(*careOfId));
        QVERIFY(book.search(Kind::Recipient, QStringLiteral("千代田区")).isEmpty());

        QVERIFY(book.remove(*id) && !book.remove(*id));
        QVERIFY(book.search(Kind::Recipient, QStringLiteral("山田太郎")).isEmpty());
        QVERIFY(!book.edit(*id, yamada));
        QVERIFY(!problems.take());
    }

    // A reading is found as the name is, in either kana and width; saving the same address without one keeps it, an
    // edit without one keeps it, an edit with one replaces it. A file of the first schema is brought to the present
    // one, its entries kept.
    void readingsAreFoundAndKept()
    {
        const QString location = freshLocation();
        {
            RawConnection old(location);
            for (const QString& statement : storage::schemaSteps().front().statementsFor(m_engine))
                old.exec(statement);
            old.exec(QStringLiteral(
                "INSERT INTO address_entry (kind, postal_code, line1, line2, name, care_of, care_of_shown, telephone, "
                "last_used_ms, search_text) VALUES (0, '1000001', '東京都', '', '佐藤一郎', '', 0, '03', 1, '佐藤一郎')"));
            old.setVersion(1);
        }
        Database db(location);
        storage::ProblemsMet problems(db);
        AddressBook book(db);
        const auto sato = book.search(Kind::Recipient, QStringLiteral("佐藤"));
        QVERIFY(sato.size() == 1 && sato.front().reading.isEmpty() &&
                book.search(Kind::Recipient, QStringLiteral("さとう")).isEmpty());
        const auto id = book.edit(sato.front().id, sato.front().address, QStringLiteral("サトウ イチロウ"));
        for (const char* typed : {"さとう", "サトウイチ", "ｻﾄｳ ｲﾁﾛｳ", "いちろう"})
            QVERIFY2(names(book.search(Kind::Recipient, QString::fromUtf8(typed))) ==
                         QStringList{QStringLiteral("佐藤一郎")},
                     typed);
        QCOMPARE(book.save(Kind::Recipient, sato.front().address), id); // from the window, without a reading
        QVERIFY(book.edit(*id, kShop) && book.get(*id)->reading == QStringLiteral("サトウ イチロウ"));
        QVERIFY(book.edit(*id, kShop, QStringLiteral("サトウ")));
        QVERIFY(book.search(Kind::Recipient, QStringLiteral("いちろう")).isEmpty());
        QVERIFY(!problems.take());
    }

    // An import cancelled before anything was stored leaves the book as it
    // was and says so; one cancelled after the first piece says how many
    // are in and that reading the file again stores the rest.
    void importCancelledSaysWhatWasStored()
    {
        const QString path = m_dir.filePath(QStringLiteral("import%1.csv").arg(++m_serial));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\xEF\xBB\xBF\xE5\x8C\xBA\xE5\x88\x86,郵便番号,住所1,住所2,名前,様方,電話番号\r\n");
            for (int i = 0; i < 400; ++i)
                file.write(QStringLiteral("お届け先,1000001,東京都,,中止%1,,03\r\n").arg(i).toUtf8());
        }
        for (const int cancelAtPiece : {0, 1}) {
            Database db(freshLocation());
            AddressBook book(db);
            int pieces = 0;
            const addressbook::ImportReport report =
                addressbook::importCsvFile(book, path, [&](double, const QString& doing) {
                    return !doing.contains(QStringLiteral("登録しています")) || pieces++ < cancelAtPiece;
                });
            QCOMPARE(report.outcome, addressbook::ImportReport::Outcome::Cancelled);
            const int inBook = int(book.recent(Kind::Recipient, 1000).size());
            QCOMPARE(report.stored(), inBook);
            QVERIFY2(cancelAtPiece == 0 ? inBook == 0 : inBook > 0 && inBook < 400, qPrintable(report.message));
            QVERIFY2(
                report.message.contains(QStringLiteral("400件のうち%1件を登録したところで中止しました").arg(inBook)),
                qPrintable(report.message));
            QCOMPARE(report.message.contains(QStringLiteral("住所録は変わっていません")), inBook == 0);
            QCOMPARE(report.message.contains(QStringLiteral("もう一度読み込むと、残りを登録できます")), inBook > 0);
        }
    }

    // A book of version 4 is brought to the present one: the entries it
    // holds, and those saved after, are found by keys of one and two
    // characters.
    void bookOfVersion4IsBroughtUpToDate()
    {
        const QString location = freshLocation();
        const auto kept = address(QStringLiteral("勅使河原 紗希"), QStringLiteral("03-1234-5678"),
                                  QStringLiteral("1000001"), QStringLiteral("東京都千代田区"));
        {
            RawConnection old(location);
            for (const storage::SchemaStep& step : storage::schemaSteps().first(4)) // versions 1 to 4
                for (const QString& statement : step.statementsFor(m_engine))
                    old.exec(statement);
            old.exec(QStringLiteral("INSERT INTO address_entry (kind, postal_code, line1, line2, name, care_of, "
                                    "care_of_shown, telephone, last_used_ms, search_text) "
                                    "VALUES (0, ?, ?, '', ?, '', 0, ?, 1, ?)"),
                     {kept.postalCode, kept.line1, kept.name, kept.telephone,
                      storage::paddedSearchKey({kept.name, kept.telephone, kept.postalCode, kept.line1, {}, {}, {}})});
            old.setVersion(4);
        }
        Database db(location);
        storage::ProblemsMet problems(db);
        AddressBook book(db);
        const auto saved = address(QStringLiteral("梅本 茂"), {}, {}, QStringLiteral("京都府京都市"));
        QVERIFY(book.save(Kind::Recipient, saved));
        for (const char* typed : {"紗", "河原", "千"})
            QVERIFY2(names(book.search(Kind::Recipient, QString::fromUtf8(typed))) == QStringList{kept.name}, typed);
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("梅"))), QStringList{saved.name});
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("都"))), (QStringList{saved.name, kept.name}));
        QVERIFY(!problems.take());
    }

    // A book and history of version 5 keep keys made before variant forms were folded: they are made again, so the
    // entries saved then are found by the forms in use as new ones are.
    void keysOfVersion5AreFoldedAgain()
    {
        const QString location = freshLocation();
        {
            RawConnection old(location);
            for (const storage::SchemaStep& step : storage::schemaSteps().first(5)) // versions 1 to 5
                for (const QString& statement : step.statementsFor(m_engine))
                    old.exec(statement);
            // Keys as they were made: the fields joined, nothing folded but what needs no table.
            const auto oldKey = [](const QStringList& fields) {
                QString key;
                for (const QString& field : fields)
                    key += field + QChar(0x1f);
                return key + QChar(0x1f);
            };
            old.exec(QStringLiteral("INSERT INTO address_entry (kind, postal_code, line1, line2, name, care_of, "
                                    "care_of_shown, telephone, last_used_ms, search_text) "
                                    "VALUES (0, '1000001', '東京都千代田區', '', '髙橋一郎', '', 0, '', 1, ?)"),
                     {oldKey({QStringLiteral("髙橋一郎"),
                              {},
                              QStringLiteral("1000001"),
                              QStringLiteral("東京都千代田區"),
                              {},
                              {},
                              {}})});
            old.exec(QStringLiteral("INSERT INTO address_entry (kind, postal_code, line1, line2, name, care_of, "
                                    "care_of_shown, telephone, last_used_ms, search_text) "
                                    "VALUES (0, '', '大阪府', '', '山田太郎', '', 0, '', 2, ?)"),
                     {oldKey({QStringLiteral("山田太郎"), {}, {}, QStringLiteral("大阪府"), {}, {}, {}})});
            old.exec(
                QStringLiteral("INSERT INTO print_history (printed_at_ms, destination, offset_x_tenth_mm, "
                               "offset_y_tenth_mm, waybill_json, names_key, telephones_key, postal_codes_key, "
                               "addresses_key, order_number_key) VALUES (1, 'waybill', 0, 0, '{}', ?, '', '', ?, '')"),
                {QStringLiteral("渡邊二郎"), QStringLiteral("東京都千代田區")});
            old.setVersion(5);
        }
        Database db(location);
        storage::ProblemsMet problems(db);
        AddressBook book(db);
        History history(db);
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("高橋"))), QStringList{QStringLiteral("髙橋一郎")});
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("千代田区"))),
                 QStringList{QStringLiteral("髙橋一郎")});
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("山田"))), QStringList{QStringLiteral("山田太郎")});
        QCOMPARE(history.search({.name = QStringLiteral("渡辺")}).size(), 1);
        QCOMPARE(history.search({.address = QStringLiteral("千代田区")}).size(), 1);
        QVERIFY(!problems.take());
    }

    void searchAsYouTypeFindsSubstringsInEveryField()
    {
        Database db(freshLocation());
        AddressBook book(db);
        QList<addressbook::ImportEntry> entries;
        // Many similar recent entries, so common keys are found among the
        // newest and rare ones only through the index or a whole scan.
        for (int i = 0; i < 4200; ++i)
            entries.append({Kind::Recipient,
                            address(QStringLiteral("田中%1").arg(i), QStringLiteral("090-%1").arg(10000000 + i),
                                    QStringLiteral("%1").arg(1500000 + i),
                                    QStringLiteral("東京都渋谷区神南%1号%2棟").arg(i).arg(QChar(0x4E00 + i % 600))),
                            QDateTime::fromMSecsSinceEpoch(1700000000000LL + i * 1000LL)});
        const auto rare =
            address(QStringLiteral("ヤマダ タロウ"), QStringLiteral("０６－６１２３－４５６７"),
                    QStringLiteral("530-0001"), QStringLiteral("大阪府大阪市北区梅田"), QStringLiteral("梅田ビル３階"));
        entries.append({Kind::Recipient, rare, QDateTime::fromMSecsSinceEpoch(1600000000000LL)}); // the oldest
        const auto umemoto = address(QStringLiteral("梅本 茂"), {}, {}, QStringLiteral("京都府京都市"));
        entries.append({Kind::Recipient, umemoto, QDateTime::fromMSecsSinceEpoch(1600000001000LL)});
        entries.append({Kind::Sender, address(QStringLiteral("田中商店")), {}});
        entries.append({Kind::Sender, address(QStringLiteral("梅本商店")), {}});
        const auto imported = book.importEntries(entries);
        QVERIFY(imported && imported->added == 4204);

        auto find = [&](const QString& typed, int limit = 20) {
            return names(book.search(Kind::Recipient, typed, limit));
        };
        for (const char* typed : {"や", "やま", "ヤマダ", "だたろ", "06-6123", "06ー6123", "6123", "06-6123-4567",
                                  "5300001", "梅田", "梅田ビル3", "ﾀﾛｳ"})
            QVERIFY2(find(QString::fromUtf8(typed)) == QStringList{rare.name}, typed);
        // Rare keys of one and two characters: exactly the recipients holding
        // them; none for a pair only made by the end of one field and the
        // start of the next (name|telephone, postal code|address, line 1|2).
        QCOMPARE(find(QStringLiteral("梅")), (QStringList{umemoto.name, rare.name}));
        QCOMPARE(find(QStringLiteral("梅本")), QStringList{umemoto.name});
        for (const char* spanning : {"う0", "1大", "田梅"})
            QVERIFY2(find(QString::fromUtf8(spanning)).isEmpty(), spanning);
        // Most recently used first, both for short keys and through the index.
        QCOMPARE(find(QStringLiteral("田中"), 3),
                 (QStringList{QStringLiteral("田中4199"), QStringLiteral("田中4198"), QStringLiteral("田中4197")}));
        QCOMPARE(find(QStringLiteral("神南29"), 2),
                 (QStringList{QStringLiteral("田中2999"), QStringLiteral("田中2998")}));
        // A short key that begins hundreds of index terms (号一棟, 号丁棟, …) is scanned for: nothing is missed.
        QCOMPARE(find(QStringLiteral("号"), 5000).size(), 4200);
        for (const char* none :
             {"田中商店", "見つからない", "\"引用符\""}) // a sender; nothing; quotes do not upset the index
            QVERIFY2(find(QString::fromUtf8(none)).isEmpty(), none);
        QCOMPARE(find({}, 2), (QStringList{QStringLiteral("田中4199"), QStringLiteral("田中4198")}));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BookStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bookstore.moc"
