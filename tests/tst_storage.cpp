// The database file of the address book and the print history, on real
// SQLite files: its schema, every way the file can fail (each told once,
// earlier data kept, the program going on), the history and the address book.
#include "expect.h"
#include "failingvfs.h"
#include "fifo.h"
#include "mounts.h"

#include "addressbook/addressbook.h"
#include "history/history.h"
#include "platform/files.h"
#include "storage/database.h"
#include "storage/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <optional>
#include <sqlite3.h>

using namespace testing;
using addressbook::AddressBook;
using addressbook::Kind;
using history::History;
using storage::Database;
using storage::ProblemKind;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Opens the file directly with SQLite, as another program would.
class RawConnection {
public:
    explicit RawConnection(const QString& path)
    {
        if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
    }
    ~RawConnection() { sqlite3_close(m_db); }
    int exec(const QByteArray& sql) { return sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr); }

private:
    sqlite3* m_db = nullptr;
};

waybill::Address address(const QString& name, const QString& telephone = {}, const QString& postalCode = {},
                         const QString& line1 = {}, const QString& line2 = {})
{
    waybill::Address a;
    a.name = name, a.telephone = telephone, a.postalCode = postalCode, a.line1 = line1, a.line2 = line2;
    return a;
}

const waybill::Address kShop = address(QStringLiteral("ホルテア雑貨店"), QStringLiteral("06-6111-2222"),
                                       QStringLiteral("5300001"), QStringLiteral("大阪府大阪市北区梅田1-1-1"));

QDateTime at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }

// The filled waybill sent to `recipient`.
history::PrintRecord printed(const waybill::Address& recipient, const char* when = "2026-02-01T00:00:00Z",
                             const char* order = nullptr)
{
    history::PrintRecord r{.printedAt = at(when),
                           .destination = QStringLiteral("Office"),
                           .offsetXTenthMm = -12.5,
                           .offsetYTenthMm = 3,
                           .waybill = expect::filledWaybill()};
    if (order)
        r.orderNumber = QString::fromUtf8(order);
    r.waybill.recipient = recipient;
    return r;
}

QStringList names(const QList<addressbook::AddressEntry>& entries)
{
    QStringList out;
    for (const auto& e : entries)
        out.append(e.address.name);
    return out;
}

Database::Options throughFailingVfs()
{
    return {.vfsName = QString::fromLatin1(FailingVfs::name()), .busyTimeoutMs = 50};
}

} // namespace

class StorageTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;

    // A new file path in a new folder for each test.
    QString freshPath() { return m_dir.filePath(QStringLiteral("user%1/horutea.sqlite").arg(++m_serial)); }

    // Three history rows and two address book entries, closed again.
    void fillSample(const QString& path)
    {
        Database db(path);
        for (const char* name : {"山田太郎", "佐藤花子", "鈴木一郎"})
            QVERIFY(History(db).record(printed(address(QString::fromUtf8(name)))));
        QVERIFY(AddressBook(db).save(Kind::Sender, kShop) &&
                AddressBook(db).save(Kind::Recipient, address(QStringLiteral("山田太郎"))));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init()
    {
        FailingVfs::instance().reset();
        // Qt's warnings here (a connection removed while in use, a driver
        // missing) are faults of the storage code.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    }

    // ---- the file itself ----

    void nothingHappensBeforeFirstUse()
    {
        const QString path = freshPath();
        Database db(path);
        History history(db);
        AddressBook book(db);
        QVERIFY(!QFileInfo::exists(QFileInfo(path).absolutePath()));
        QVERIFY(!db.isOpen());
    }

    // A new file, and an empty one an earlier attempt left (version 0), are
    // brought to the present schema; every other test uses it.
    void schemaOnANewOrEmptyFile()
    {
        for (const bool leftEmpty : {false, true}) {
            const QString path = freshPath();
            if (leftEmpty)
                writeFile(path, {});
            QVERIFY(Database(path).ensureOpen());
            const QByteArray header = readAll(path); // user_version at byte 60; 2 at bytes 18, 19 for WAL
            QCOMPARE(qFromBigEndian<qint32>(header.constData() + 60), Database::currentSchemaVersion());
            QCOMPARE(header[18], '\2');
        }
    }

    // A file the program must not or cannot use: told once, with the cause;
    // the program goes on without it, leaves it as it was, and uses it again
    // when asked once the cause is gone.
    void fileThatCannotBeWritten_data()
    {
        QTest::addColumn<ProblemKind>("kind");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("readableRows"); // history rows read before a write is refused
        QTest::newRow("newer version") << ProblemKind::NewerVersion << QStringLiteral("新しい版") << 0;
        QTest::newRow("read-only file") << ProblemKind::ReadOnly << QStringLiteral("書き込め") << 3;
        QTest::newRow("read-only folder") << ProblemKind::ReadOnly << QStringLiteral("書き込め") << 0;
        QTest::newRow("unreadable") << ProblemKind::Unreadable << QStringLiteral("開けません") << 0;
        QTest::newRow("locked") << ProblemKind::Locked << QStringLiteral("別のプログラム") << 0;
        // SQLite's other code for a lock (SQLITE_LOCKED) is a lock too.
        QTest::newRow("locked, SQLite's other code") << ProblemKind::Locked << QStringLiteral("別のプログラム") << 0;
    }
    void fileThatCannotBeWritten()
    {
        QFETCH(ProblemKind, kind);
        QFETCH(QString, cause);
        QFETCH(int, readableRows);
        const QString path = freshPath();
        const QString folder = QFileInfo(path).absolutePath();
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        std::optional<SmallMount> mount;
        if (tag == QLatin1String("read-only folder"))
            mount.emplace(folder, "size=4m");
        fillSample(path);
        if (kind == ProblemKind::NewerVersion)
            QCOMPARE(RawConnection(path).exec("PRAGMA user_version = " +
                                              QByteArray::number(Database::currentSchemaVersion() + 1)),
                     SQLITE_OK);
        if (mount) {
            if (!makeReadOnly(folder) || platform::folderWritable(folder))
                QSKIP(
                    "this process can write any folder (root without a mount namespace); the read-only file covers it");
            QFile::setPermissions(path, QFile::ReadOwner); // as an unprivileged user, the file too
        }
        auto holder = std::make_unique<RawConnection>(path);
        if (tag == QLatin1String("locked"))
            QCOMPARE(holder->exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;"), SQLITE_OK);
        FailingVfs::instance().faults.mainFileReadOnly = tag == QLatin1String("read-only file");
        FailingVfs::instance().faults.mainFileUnopenable = kind == ProblemKind::Unreadable;
        if (tag == QLatin1String("locked, SQLite's other code"))
            FailingVfs::instance().faults.lockResult = SQLITE_LOCKED;
        const QByteArray before = readAll(path);

        Database db(path, throughFailingVfs());
        storage::ProblemsMet problems(db);
        History history(db);
        QCOMPARE(history.list(10).size(), readableRows);
        QVERIFY(!history.record(printed(kShop)));
        const auto problem = problems.take();
        QVERIFY(problem && !problem->databaseUsable);
        QCOMPARE(problem->kind, kind);
        QVERIFY2(problem->message.contains(cause), qPrintable(problem->message));
        QVERIFY(problem->message.contains(QDir::toNativeSeparators(path)));
        QVERIFY(history.list(10).isEmpty());
        QVERIFY(AddressBook(db).search(Kind::Sender, QStringLiteral("店")).isEmpty());
        QVERIFY(!AddressBook(db).save(Kind::Sender, kShop));
        QVERIFY(!problems.take());
        QCOMPARE(readAll(path), before);

        FailingVfs::instance().reset();
        holder.reset();
        const bool causeGone = kind != ProblemKind::NewerVersion && !mount;
        QCOMPARE(db.retryOpen(), causeGone);
        QCOMPARE(names(AddressBook(db).recent(Kind::Sender)), causeGone ? QStringList{kShop.name} : QStringList{});
    }

    // A named pipe under the file's name is never opened (SQLite would wait
    // on it for ever): told as what it is, the program goes on without it.
    void namedPipeIsNoDatabase()
    {
        const QString path = freshPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const testing::GuardedFifo pipe(path);
        Database db(path);
        storage::ProblemsMet problems(db);
        QVERIFY(History(db).list(10).isEmpty());
        const auto problem = problems.take();
        QVERIFY(problem && problem->kind == ProblemKind::Unreadable && !problem->databaseUsable);
        QVERIFY2(problem->message.contains(QStringLiteral("名前付きパイプ")), qPrintable(problem->message));
        QVERIFY(!pipe.released());
    }

    // A problem is told when it is met: to the code that ran the operation
    // when it asks, otherwise at once to the program's receiver; never held
    // for a later operation to pick up.
    void problemsAreToldWhenMet()
    {
        const QString path = freshPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const testing::GuardedFifo pipe(path); // the file cannot be used
        Database db(path);
        QStringList received;
        db.setProblemReceiver([&](const storage::Problem& problem) { received << problem.message; });
        {
            storage::ProblemsMet outer(db);
            {
                storage::ProblemsMet inner(db);
                QVERIFY(History(db).list(10).isEmpty());
            } // not taken: goes on to the one around it
            QVERIFY(received.isEmpty());
            QVERIFY(outer.met() && outer.take()->kind == ProblemKind::Unreadable);
        }
        QVERIFY(received.isEmpty());
        QVERIFY(db.retryOpen() == false); // asked again: told again, with no one listening
        QCOMPARE(received.size(), 1);
        QVERIFY(received.front().contains(QStringLiteral("名前付きパイプ")));
        {
            storage::ProblemsMet forgotten(db);
            QVERIFY(db.retryOpen() == false);
        }
        QCOMPARE(received.size(), 2);
        QVERIFY(!AddressBook(db).save(Kind::Sender, kShop)); // the same fault, already told
        QCOMPARE(received.size(), 2);
    }

    // A file that is not a database, or whose rows are damaged behind a sound
    // first page, is set aside under a name of its own (a second one in the
    // same second too) and a fresh one used.
    void damagedFileIsSetAside()
    {
        const QString path = freshPath();
        QList<QByteArray> damaged;
        QStringList setAside;
        for (int round = 0; round < 3; ++round) {
            QFile::remove(path + QStringLiteral("-wal"));
            if (round < 2) {
                damaged.append(QByteArray(10000, char(0x5a + round)));
                writeFile(path, damaged.back());
            } else {
                {
                    Database db(path);
                    for (int i = 0; i < 300; ++i)
                        QVERIFY(History(db).record(printed(
                            address(QStringLiteral("宛先%1").arg(i), {}, {}, QStringLiteral("東京都").repeated(20)))));
                }
                QFile f(path);
                QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")) &&
                        f.open(QIODevice::ReadWrite)); // all rows in the file
                for (qint64 pos = 4096; pos < f.size(); pos += 4096)
                    f.seek(pos), f.write(QByteArray(64, '\xA5'));
                f.close();
                damaged.append(readAll(path));
            }
            Database db(path);
            storage::ProblemsMet problems(db);
            History history(db);
            QVERIFY(history.list(1000).isEmpty());
            QVERIFY(history.record(printed(kShop)));
            const auto problem = problems.take();
            QVERIFY(problem && problem->kind == ProblemKind::Damaged && problem->databaseUsable);
            QVERIFY(problem->setAsidePath.startsWith(path + QStringLiteral(".damaged-")));
            QVERIFY(problem->message.contains(QDir::toNativeSeparators(problem->setAsidePath)));
            QCOMPARE(history.list(10).size(), 1);
            setAside.append(problem->setAsidePath);
        }
        for (int round = 0; round < 3; ++round)
            QCOMPARE(readAll(setAside[round]), damaged[round]);
    }

    // A write refused while in use (a full disk, another program's lock):
    // told once, nothing lost, and work goes on.
    void writeRefusedInUseLosesNothingAndIsToldOnce()
    {
        const QString path = freshPath();
        fillSample(path);
        auto& vfs = FailingVfs::instance();
        const QString longLine = QStringLiteral("長い住所").repeated(10);
        {
            Database db(path, throughFailingVfs());
            storage::ProblemsMet problems(db);
            History history(db);
            AddressBook book(db);
            QVERIFY(db.ensureOpen());
            vfs.faults.writableBytes = 0;
            QVERIFY(!history.record(printed(kShop)));
            const auto problem = problems.take();
            QVERIFY(problem && problem->kind == ProblemKind::DiskFull && problem->databaseUsable);
            QVERIFY(problem->message.contains(QStringLiteral("空き")));
            // The same fault again is not told again; an import or a long
            // document's history fails whole, part way through.
            QVERIFY(!book.save(Kind::Recipient, address(QStringLiteral("新規"))));
            QVERIFY(!problems.take());
            vfs.faults.writableBytes = 20000;
            QList<addressbook::ImportEntry> many;
            for (int i = 0; i < 2000; ++i)
                many.append({Kind::Recipient, address(QStringLiteral("取込%1").arg(i), {}, {}, longLine), {}});
            QVERIFY(!book.importEntries(many));
            vfs.faults.writableBytes = 20000;
            QVERIFY(!history.recordAll(
                2000, [&](int) { return printed(address({}, {}, {}, longLine), "2026-02-01T00:00:00Z", "D-1"); }));
            QVERIFY(book.search(Kind::Recipient, QStringLiteral("取込")).isEmpty());
            QVERIFY(history.search({.orderNumber = QStringLiteral("D-1")}).isEmpty());
            QCOMPARE(history.list(10).size(), 3);
            // Space again; another program's lock taken while in use: the same.
            vfs.faults.writableBytes = -1;
            RawConnection other(path);
            QCOMPARE(other.exec("BEGIN IMMEDIATE;"), SQLITE_OK);
            QVERIFY(!history.record(printed(kShop)));
            const auto locked = problems.take();
            QVERIFY(locked && locked->kind == ProblemKind::Locked && locked->databaseUsable);
            QCOMPARE(history.list(10).size(), 3);
            QCOMPARE(other.exec("COMMIT;"), SQLITE_OK);
            QVERIFY(history.record(printed(kShop)));
        }
        vfs.reset();
        Database db(path);
        QCOMPARE(History(db).list(10).size(), 4);
        QCOMPARE(AddressBook(db).recent(Kind::Recipient).size(), 1);
    }

    // ---- history ----

    void historyRecordsSearchesAndGivesBack()
    {
        const QString path = freshPath();
        Database db(path);
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

        Database again(path); // kept across runs
        QCOMPARE(History(again).get(fourth)->record, printed(yamada, "2026-03-04T09:00:00Z"));
    }

    // ---- address book ----

    void addressBookSavesWithoutTwinsEditsAndRemoves()
    {
        Database db(freshPath());
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
        const QString path = freshPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        {
            RawConnection old(path);
            for (const char* statement : storage::schemaSteps().front().statements)
                QCOMPARE(old.exec(statement), SQLITE_OK);
            QCOMPARE(
                old.exec(
                    "INSERT INTO address_entry (kind, postal_code, line1, line2, name, care_of, care_of_shown, telephone, "
                    "last_used_ms, search_text) VALUES (0, '1000001', '東京都', '', '佐藤一郎', '', 0, '03', 1, '佐藤一郎')"),
                SQLITE_OK);
            QCOMPARE(old.exec("PRAGMA user_version = 1"), SQLITE_OK);
        }
        Database db(path);
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

    void searchAsYouTypeFindsSubstringsInEveryField()
    {
        Database db(freshPath());
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
        entries.append({Kind::Sender, address(QStringLiteral("田中商店")), {}});
        const auto imported = book.importEntries(entries);
        QVERIFY(imported && imported->added == 4202);

        auto find = [&](const QString& typed, int limit = 20) {
            return names(book.search(Kind::Recipient, typed, limit));
        };
        for (const char* typed : {"や", "やま", "ヤマダ", "だたろ", "06-6123", "06ー6123", "6123", "06-6123-4567",
                                  "5300001", "梅田", "梅田ビル3", "ﾀﾛｳ"})
            QVERIFY2(find(QString::fromUtf8(typed)) == QStringList{rare.name}, typed);
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
    enterPrivateMounts(); // before any thread exists
    QCoreApplication app(argc, argv);
    StorageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storage.moc"
