// The database file of the address book and the print history, on real
// SQLite files in a temporary folder: its schema, every way the file can fail
// (each with one message, the earlier data kept and the program going on),
// the history and the address book.
#include "failingvfs.h"
#include "mounts.h"

#include "addressbook/addressbook.h"
#include "history/history.h"
#include "platform/files.h"
#include "storage/database.h"
#include "storage/searchkey.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <unistd.h>

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

// Opens the file directly with SQLite, as another program would.
class RawConnection {
public:
    explicit RawConnection(const QString& path)
    {
        if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
        sqlite3_busy_timeout(m_db, 0);
    }
    ~RawConnection() { sqlite3_close(m_db); }
    int exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    // The first column of the first row as text; empty when none.
    QString value(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        QString result;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3* m_db = nullptr;
};

waybill::Address address(const QString& name, const QString& telephone, const QString& postalCode, const QString& line1,
                         const QString& line2 = {})
{
    waybill::Address a;
    a.name = name;
    a.telephone = telephone;
    a.postalCode = postalCode;
    a.line1 = line1;
    a.line2 = line2;
    return a;
}

waybill::Waybill waybillTo(const waybill::Address& recipient, const waybill::Address& sender)
{
    waybill::Waybill w;
    w.recipient = recipient;
    w.sender = sender;
    w.deliveryTime = waybill::DeliveryTime::Evening;
    w.arrivalNotice = waybill::ArrivalNotice::NotWanted;
    w.goods[0].description = QStringLiteral("衣類");
    w.goods[0].quantity = QStringLiteral("2");
    w.numericMode = true;
    return w;
}

const waybill::Address kShop = address(QStringLiteral("ホルテア雑貨店"), QStringLiteral("06-6111-2222"),
                                       QStringLiteral("5300001"), QStringLiteral("大阪府大阪市北区梅田1-1-1"));

QDateTime at(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

history::PrintRecord printed(const waybill::Address& recipient, const char* when, const char* order = nullptr)
{
    history::PrintRecord r;
    r.printedAt = at(when);
    r.destination = QStringLiteral("Office-Printer");
    r.offsetXTenthMm = -12.5;
    r.offsetYTenthMm = 3;
    if (order)
        r.orderNumber = QString::fromUtf8(order);
    r.waybill = waybillTo(recipient, kShop);
    return r;
}

QStringList recipientNames(const QList<history::HistoryEntry>& entries)
{
    QStringList names;
    for (const auto& e : entries)
        names.append(e.record.waybill.recipient.name);
    return names;
}

QStringList names(const QList<addressbook::AddressEntry>& entries)
{
    QStringList out;
    for (const auto& e : entries)
        out.append(e.address.name);
    return out;
}

// Damages bytes of a database file after its first page, where the rows are.
void damageRows(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        qFatal("cannot damage %s", qPrintable(path));
    const qint64 size = f.size();
    for (qint64 pos = 4096; pos < size; pos += 4096) {
        f.seek(pos);
        f.write(QByteArray(64, '\xA5'));
    }
}

} // namespace

class StorageTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;

    // A new file path in a new folder for each test.
    QString freshPath()
    {
        const QString folder = m_dir.filePath(QStringLiteral("user%1").arg(++m_serial));
        return QDir(folder).filePath(QStringLiteral("horutea.sqlite"));
    }

    static Database::Options throughFailingVfs()
    {
        Database::Options options;
        options.vfsName = QString::fromLatin1(FailingVfs::name());
        options.busyTimeoutMs = 50;
        return options;
    }

    // A database holding three history rows and two address book entries,
    // closed again.
    void fillSample(const QString& path)
    {
        Database db(path);
        History history(db);
        AddressBook book(db);
        QVERIFY(history.record(printed(address(QStringLiteral("山田太郎"), {}, {}, {}), "2026-01-05T10:00:00Z")));
        QVERIFY(history.record(printed(address(QStringLiteral("佐藤花子"), {}, {}, {}), "2026-01-06T10:00:00Z")));
        QVERIFY(history.record(printed(address(QStringLiteral("鈴木一郎"), {}, {}, {}), "2026-01-07T10:00:00Z")));
        QVERIFY(book.save(Kind::Sender, kShop));
        QVERIFY(book.save(Kind::Recipient, address(QStringLiteral("山田太郎"), {}, {}, {})));
    }

    // The sample is all there, read through a fresh connection.
    void verifySample(const QString& path)
    {
        Database db(path);
        QCOMPARE(recipientNames(History(db).list(10)),
                 QStringList({QStringLiteral("鈴木一郎"), QStringLiteral("佐藤花子"), QStringLiteral("山田太郎")}));
        QCOMPARE(names(AddressBook(db).recent(Kind::Sender)), QStringList{kShop.name});
        QVERIFY(!db.takeProblem());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        FailingVfs::instance();
    }
    void init()
    {
        FailingVfs::instance().reset();
        // Qt's warnings here (a connection removed while in use, a driver
        // missing) are faults of the storage code.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    }

    void searchKeyFoldsWhatUsersTypeDifferently()
    {
        using storage::searchKey;
        QCOMPARE(searchKey(QStringLiteral("０３－１２３４－５６７８")), QStringLiteral("0312345678"));
        QCOMPARE(searchKey(QStringLiteral("03ー1234ー5678")), QStringLiteral("0312345678"));
        QCOMPARE(searchKey(QStringLiteral("ﾔﾏﾀﾞ　ﾀﾛｳ")), QStringLiteral("やまだたろう"));
        QCOMPARE(searchKey(QStringLiteral("コーヒー")), QStringLiteral("こーひー")); // the long vowel stays in words
        QCOMPARE(searchKey(QStringLiteral("ＡＢＣ Mart")), QStringLiteral("abcmart"));
        QCOMPARE(storage::searchKeyLength(QStringLiteral("𠮷野")), 2); // a character outside the BMP counts once
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

    void emptyFileGetsTheSchema()
    {
        const QString path = freshPath();
        {
            Database db(path);
            const bool opened = db.ensureOpen();
            const auto problem = db.takeProblem();
            QVERIFY2(opened && !problem, problem ? qPrintable(problem->message) : "");
        }
        RawConnection raw(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), Database::currentSchemaVersion());
        QCOMPARE(raw.value("PRAGMA journal_mode"), QStringLiteral("wal"));
        for (const char* table : {"address_entry", "address_entry_trigrams", "print_history"})
            QCOMPARE(raw.value(QByteArray("SELECT count(*) FROM sqlite_master WHERE name = '") + table + "'"), QStringLiteral("1"));

        // An empty file left by an earlier attempt gets the schema too.
        const QString empty = freshPath();
        QDir().mkpath(QFileInfo(empty).absolutePath());
        QFile(empty).open(QIODevice::WriteOnly);
        Database db(empty);
        QVERIFY(History(db).record(printed(kShop, "2026-02-01T00:00:00Z")));
    }

    void newerSchemaIsRefusedAndLeftAlone()
    {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        {
            RawConnection raw(path);
            QCOMPARE(raw.exec("CREATE TABLE later_things (x); INSERT INTO later_things VALUES (1);"), SQLITE_OK);
            QCOMPARE(raw.exec(QByteArray("PRAGMA user_version = " + QByteArray::number(Database::currentSchemaVersion() + 1)).constData()),
                     SQLITE_OK);
        }
        const QByteArray before = readAll(path);

        Database db(path);
        History history(db);
        QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
        const auto problem = db.takeProblem();
        QVERIFY(problem);
        QCOMPARE(problem->kind, ProblemKind::NewerVersion);
        QVERIFY(!problem->databaseUsable);
        QVERIFY(problem->message.contains(QStringLiteral("新しい版")));
        QVERIFY(problem->message.contains(QDir::toNativeSeparators(path)));
        // The program goes on: lists are empty, nothing more is said.
        QVERIFY(history.list(10).isEmpty());
        QVERIFY(AddressBook(db).search(Kind::Sender, QStringLiteral("店")).isEmpty());
        QVERIFY(!db.takeProblem());
        QCOMPARE(readAll(path), before);
    }

    void garbageFileIsSetAsideAndAFreshOneUsed()
    {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QByteArray garbage;
        for (int i = 0; i < 10000; ++i)
            garbage.append(char(i * 37 % 251));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }

        Database db(path);
        History history(db);
        QVERIFY(history.record(printed(kShop, "2026-02-01T00:00:00Z")));
        const auto problem = db.takeProblem();
        QVERIFY(problem);
        QCOMPARE(problem->kind, ProblemKind::Damaged);
        QVERIFY(problem->databaseUsable);
        QVERIFY(problem->setAsidePath.startsWith(path + QStringLiteral(".damaged-")));
        QVERIFY(problem->message.contains(QDir::toNativeSeparators(problem->setAsidePath)));
        QCOMPARE(readAll(problem->setAsidePath), garbage);
        QCOMPARE(history.list(10).size(), 1);

        // A second damaged file on the same second gets a name of its own.
        Database(path).ensureOpen(); // let go of the fresh file
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("not a database either, but a different text of some length to be sure it is read");
        }
        Database second(path);
        QVERIFY(second.ensureOpen());
        const auto again = second.takeProblem();
        QVERIFY(again && again->kind == ProblemKind::Damaged);
        QVERIFY(again->setAsidePath != problem->setAsidePath);
        QCOMPARE(readAll(problem->setAsidePath), garbage);
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("*.damaged-*")}).size(), 2);
    }

    void malformedRowsFoundInUseAreSetAside()
    {
        const QString path = freshPath();
        {
            Database db(path);
            History history(db);
            for (int i = 0; i < 300; ++i)
                QVERIFY(history.record(printed(address(QStringLiteral("宛先%1").arg(i), {}, {}, QStringLiteral("東京都").repeated(20)),
                                               "2026-01-05T10:00:00Z")));
        }
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal"))); // all rows in the file itself
        damageRows(path);
        const QByteArray damaged = readAll(path);

        Database db(path);
        History history(db);
        QVERIFY(db.ensureOpen()); // the first page is sound
        QVERIFY(history.list(1000).isEmpty());
        const auto problem = db.takeProblem();
        QVERIFY(problem);
        QCOMPARE(problem->kind, ProblemKind::Damaged);
        QCOMPARE(readAll(problem->setAsidePath), damaged);
        QVERIFY(history.record(printed(kShop, "2026-02-01T00:00:00Z")));
        QCOMPARE(history.list(1000).size(), 1);
    }

    void readOnlyFolderIsToldAndNothingChanges()
    {
        const QString path = freshPath();
        const QString folder = QFileInfo(path).absolutePath();
        const SmallMount mount(folder, "size=4m");
        fillSample(path);
        const QByteArray before = readAll(path);
        if (!makeReadOnly(folder) || platform::folderWritable(folder))
            QSKIP("this process can write any folder (root without a mount namespace); the read-only file case covers it");
        QFile::setPermissions(path, QFile::ReadOwner); // as an unprivileged user, the file too

        {
            Database db(path);
            History history(db);
            QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
            const auto problem = db.takeProblem();
            QVERIFY(problem);
            QCOMPARE(problem->kind, ProblemKind::ReadOnly);
            QVERIFY(problem->message.contains(QStringLiteral("書き込め")));
            QVERIFY(!problem->databaseUsable);
            QVERIFY(history.list(10).isEmpty());
        }
        QCOMPARE(readAll(path), before);
    }

    void readOnlyFileIsToldAndNothingChanges()
    {
        const QString path = freshPath();
        fillSample(path);
        const QByteArray before = readAll(path);
        FailingVfs::instance().faults.mainFileReadOnly = true;
        {
            Database db(path, throughFailingVfs());
            History history(db);
            QCOMPARE(history.list(10).size(), 3); // reading works until a write is refused
            QVERIFY(FailingVfs::instance().openedFiles() > 0); // the driver went through the test's VFS
            QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
            const auto problem = db.takeProblem();
            QVERIFY(problem);
            QCOMPARE(problem->kind, ProblemKind::ReadOnly);
            QVERIFY(!problem->databaseUsable);
            QVERIFY(problem->message.contains(QStringLiteral("書き込め")));
            QVERIFY(history.list(10).isEmpty()); // then the program goes on without the file
            QVERIFY(!db.takeProblem());
        }
        QCOMPARE(readAll(path), before);
        FailingVfs::instance().reset();
        verifySample(path);
    }

    void unreadableFileIsTold()
    {
        const QString path = freshPath();
        fillSample(path);
        const QByteArray before = readAll(path);
        FailingVfs::instance().faults.mainFileUnopenable = true;
        {
            Database db(path, throughFailingVfs());
            AddressBook book(db);
            QVERIFY(book.recent(Kind::Sender).isEmpty());
            const auto problem = db.takeProblem();
            QVERIFY(problem);
            QCOMPARE(problem->kind, ProblemKind::Unreadable);
            QVERIFY(problem->message.contains(QStringLiteral("開けません")));
            QVERIFY(!problem->databaseUsable);
            QVERIFY(!book.save(Kind::Sender, kShop));
            QVERIFY(!db.takeProblem());
        }
        QCOMPARE(readAll(path), before);
        FailingVfs::instance().reset();
        verifySample(path);
    }

    void fileLockedByAnotherProgram()
    {
        const QString path = freshPath();
        fillSample(path);
        {
            // Held from before the first use: the program goes on without it,
            // and can try again once the other program lets go.
            auto other = std::make_unique<RawConnection>(path);
            QCOMPARE(other->exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;"), SQLITE_OK);
            Database::Options options;
            options.busyTimeoutMs = 50;
            Database db(path, options);
            History history(db);
            QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
            const auto problem = db.takeProblem();
            QVERIFY(problem);
            QCOMPARE(problem->kind, ProblemKind::Locked);
            QVERIFY(problem->message.contains(QStringLiteral("別のプログラム")));
            QVERIFY(!problem->databaseUsable);
            other.reset();
            QVERIFY(db.retryOpen());
            QCOMPARE(history.list(10).size(), 3);
        }
        {
            // Taken while in use: that one change is not saved, the rest goes on.
            Database::Options options;
            options.busyTimeoutMs = 50;
            Database db(path, options);
            History history(db);
            QVERIFY(db.ensureOpen());
            RawConnection other(path);
            QCOMPARE(other.exec("BEGIN IMMEDIATE;"), SQLITE_OK);
            QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
            const auto problem = db.takeProblem();
            QVERIFY(problem);
            QCOMPARE(problem->kind, ProblemKind::Locked);
            QVERIFY(problem->databaseUsable);
            QCOMPARE(history.list(10).size(), 3); // reading goes on
            QCOMPARE(other.exec("COMMIT;"), SQLITE_OK);
            QVERIFY(history.record(printed(kShop, "2026-02-02T00:00:00Z")));
        }
        Database db(path);
        QCOMPARE(History(db).list(10).size(), 4);
    }

    void fullDiskLosesNothingAndEachFaultIsToldOnce()
    {
        const QString path = freshPath();
        fillSample(path);
        auto& vfs = FailingVfs::instance();
        {
            Database db(path, throughFailingVfs());
            History history(db);
            AddressBook book(db);
            QVERIFY(db.ensureOpen());
            QVERIFY(vfs.openedFiles() > 0);
            vfs.faults.writableBytes = 0;
            QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
            QVERIFY(vfs.refusedWrites() > 0);
            const auto problem = db.takeProblem();
            QVERIFY(problem);
            QCOMPARE(problem->kind, ProblemKind::DiskFull);
            QVERIFY(problem->databaseUsable);
            QVERIFY(problem->message.contains(QStringLiteral("空き")));

            // The same fault again is not told again...
            QVERIFY(!book.save(Kind::Recipient, address(QStringLiteral("新規"), {}, {}, {})));
            QVERIFY(!db.takeProblem());
            // ...and an import fails whole, part way through.
            vfs.faults.writableBytes = 20000;
            QList<addressbook::ImportEntry> many;
            for (int i = 0; i < 2000; ++i)
                many.append({Kind::Recipient, address(QStringLiteral("取込%1").arg(i), {}, {}, QStringLiteral("長い住所").repeated(10)), {}});
            QVERIFY(!book.importEntries(many));
            // So does a long document's history: none of its pages is recorded.
            int asked = 0;
            QVERIFY(!history.recordAll(2000, [&](int) {
                ++asked;
                auto record = printed(kShop, "2026-02-01T00:00:00Z", "D-1");
                record.waybill.recipient.line2 = QStringLiteral("長い住所").repeated(10);
                return record;
            }));
            QVERIFY(asked > 1 && asked < 2000);
            QVERIFY(history.search({.orderNumber = QStringLiteral("D-1")}).isEmpty());

            QCOMPARE(history.list(10).size(), 3);
            QCOMPARE(book.search(Kind::Recipient, QStringLiteral("取込")).size(), 0);

            // Space again: work goes on, and a later fault is told again.
            vfs.faults.writableBytes = -1;
            QVERIFY(history.record(printed(kShop, "2026-02-02T00:00:00Z")));
            vfs.faults.writableBytes = 0;
            QVERIFY(!history.record(printed(kShop, "2026-02-03T00:00:00Z")));
            QVERIFY(db.takeProblem());
        }
        vfs.reset();
        Database db(path);
        QCOMPARE(History(db).list(10).size(), 4);
        QCOMPARE(AddressBook(db).recent(Kind::Recipient).size(), 1);
    }

    void fullDiskOnTheFirstUse()
    {
        const QString path = freshPath();
        FailingVfs::instance().faults.writableBytes = 0;
        Database db(path, throughFailingVfs());
        History history(db);
        QVERIFY(!history.record(printed(kShop, "2026-02-01T00:00:00Z")));
        const auto problem = db.takeProblem();
        QVERIFY(problem);
        QCOMPARE(problem->kind, ProblemKind::DiskFull);
        QVERIFY(!problem->databaseUsable);
        QVERIFY(history.list(10).isEmpty());
    }

    void realFullDeviceLosesNothing()
    {
        if (!privateMounts())
            QSKIP("needs root for a small mount of its own");
        const QString path = freshPath();
        const SmallMount mount(QFileInfo(path).absolutePath(), "size=1m");
        QVERIFY(mount.mounted());
        fillSample(path);
        Database db(path);
        History history(db);
        QVERIFY(db.ensureOpen());
        fillUp(QFileInfo(path).absolutePath());
        bool refused = false;
        for (int i = 0; i < 200 && !refused; ++i)
            refused = !history.record(printed(address(QStringLiteral("満杯"), {}, {}, QStringLiteral("長い住所").repeated(100)),
                                              "2026-02-01T00:00:00Z"));
        QVERIFY(refused);
        const auto problem = db.takeProblem();
        QVERIFY(problem);
        QCOMPARE(problem->kind, ProblemKind::DiskFull);
        QCOMPARE(history.search({.name = QStringLiteral("山田")}).size(), 1);
    }

    // ---- history ----

    void historyRecordsSearchesAndGivesBack()
    {
        const QString path = freshPath();
        Database db(path);
        History history(db);
        const auto yamada = address(QStringLiteral("山田 太郎"), QStringLiteral("03-1234-5678"), QStringLiteral("1000001"),
                                    QStringLiteral("東京都千代田区千代田1-1"), QStringLiteral("皇居前ハイツ101"));
        const auto sato = address(QStringLiteral("佐藤花子"), QStringLiteral("045-987-6543"), QStringLiteral("2310023"),
                                  QStringLiteral("神奈川県横浜市中区山下町"));
        auto satoCareOf = sato;
        satoCareOf.careOf = QStringLiteral("鈴木");
        satoCareOf.careOfShown = true;
        const auto first = history.record(printed(yamada, "2026-03-01T09:00:00Z", "A-100"));
        const auto second = history.record(printed(sato, "2026-03-02T09:00:00Z"));
        const auto third = history.record(printed(satoCareOf, "2026-03-03T09:00:00Z", "A-102"));
        const auto fourth = history.record(printed(yamada, "2026-03-04T09:00:00Z"));
        QVERIFY(first && second && third && fourth);

        const auto all = history.list(10);
        QCOMPARE(all.size(), 4);
        QCOMPARE(all[0].id, *fourth);
        QCOMPARE(all[3].id, *first);
        QCOMPARE(history.list(2, 1).size(), 2);
        QCOMPARE(history.list(2, 1)[0].id, *third);

        const auto back = history.get(*third);
        QVERIFY(back);
        QCOMPARE(back->record, printed(satoCareOf, "2026-03-03T09:00:00Z", "A-102"));
        QVERIFY(!history.get(*first)->record.orderNumber || history.get(*first)->record.orderNumber == QStringLiteral("A-100"));
        QVERIFY(!history.get(*second)->record.orderNumber);
        QVERIFY(!history.get(9999));

        auto ids = [&](history::HistoryQuery q) {
            QList<qint64> out;
            for (const auto& e : history.search(q))
                out.append(e.id);
            return out;
        };
        using Q = history::HistoryQuery;
        QCOMPARE(ids(Q{.name = QStringLiteral("太郎")}), (QList<qint64>{*fourth, *first}));
        QCOMPARE(ids(Q{.name = QStringLiteral("鈴木")}), QList<qint64>{*third}); // the care-of line
        QCOMPARE(ids(Q{.name = QStringLiteral("ホルテア")}).size(), 4);            // the sender block
        QCOMPARE(ids(Q{.telephone = QStringLiteral("0312345678")}), (QList<qint64>{*fourth, *first}));
        QCOMPARE(ids(Q{.telephone = QStringLiteral("987-65")}), (QList<qint64>{*third, *second}));
        QCOMPARE(ids(Q{.postalCode = QStringLiteral("231-0023")}), (QList<qint64>{*third, *second}));
        QCOMPARE(ids(Q{.address = QStringLiteral("ハイツ")}), (QList<qint64>{*fourth, *first}));
        QCOMPARE(ids(Q{.address = QStringLiteral("梅田")}).size(), 4);
        QCOMPARE(ids(Q{.orderNumber = QStringLiteral("a-102")}), QList<qint64>{*third});
        QCOMPARE(ids(Q{.printedFrom = at("2026-03-02T09:00:00Z"), .printedBefore = at("2026-03-04T09:00:00Z")}),
                 (QList<qint64>{*third, *second}));
        QCOMPARE(ids(Q{.name = QStringLiteral("佐藤"), .printedFrom = at("2026-03-03T00:00:00Z")}), QList<qint64>{*third});
        QCOMPARE(ids(Q{.name = QStringLiteral("佐藤"), .telephone = QStringLiteral("03-1234")}), QList<qint64>{});
        QCOMPARE(ids(Q{.name = QStringLiteral("太郎"), .limit = 1, .offset = 1}), QList<qint64>{*first});

        // Kept across runs.
        Database again(path);
        QCOMPARE(History(again).get(*fourth)->record.waybill, waybillTo(yamada, kShop));
    }

    // ---- address book ----

    void addressBookSavesWithoutTwinsEditsAndRemoves()
    {
        Database db(freshPath());
        AddressBook book(db);
        const auto yamada = address(QStringLiteral("山田太郎"), QStringLiteral("03-1234-5678"), QStringLiteral("1000001"),
                                    QStringLiteral("東京都千代田区"));
        const auto id = book.save(Kind::Recipient, yamada, at("2026-01-01T00:00:00Z"));
        QVERIFY(id);
        // The same again: the one entry, now used later.
        QCOMPARE(book.save(Kind::Recipient, yamada, at("2026-02-01T00:00:00Z")), id);
        QCOMPARE(book.recent(Kind::Recipient).size(), 1);
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
        const auto got = book.get(*id);
        QVERIFY(got);
        QCOMPARE(got->address, moved);
        QCOMPARE(got->kind, Kind::Recipient);
        QCOMPARE(got->lastUsed, at("2026-02-01T00:00:00Z"));
        QCOMPARE(names(book.search(Kind::Recipient, QStringLiteral("大阪府"))), QStringList{yamada.name});
        QVERIFY(book.search(Kind::Recipient, QStringLiteral("千代田区")).size() == 1); // only the care-of twin now

        // Edited into a copy of another entry: the two become one.
        QCOMPARE(book.edit(*careOfId, moved), id);
        QVERIFY(!book.get(*careOfId));
        QCOMPARE(book.recent(Kind::Recipient).size(), 1);
        QVERIFY(book.search(Kind::Recipient, QStringLiteral("千代田区")).isEmpty());

        QVERIFY(book.remove(*id));
        QVERIFY(!book.remove(*id));
        QVERIFY(!book.get(*id));
        QVERIFY(book.search(Kind::Recipient, QStringLiteral("山田太郎")).isEmpty());
        QVERIFY(!book.edit(*id, yamada));
        QVERIFY(!db.takeProblem());
    }

    void sendersByLastUse()
    {
        Database db(freshPath());
        AddressBook book(db);
        const auto a = book.save(Kind::Sender, address(QStringLiteral("本店"), {}, {}, {}), at("2026-01-01T00:00:00Z"));
        const auto b = book.save(Kind::Sender, address(QStringLiteral("支店"), {}, {}, {}), at("2026-01-03T00:00:00Z"));
        book.save(Kind::Sender, address(QStringLiteral("倉庫"), {}, {}, {}), at("2026-01-02T00:00:00Z"));
        book.save(Kind::Recipient, address(QStringLiteral("お客様"), {}, {}, {}), at("2026-01-09T00:00:00Z"));
        QCOMPARE(names(book.recent(Kind::Sender)), (QStringList{QStringLiteral("支店"), QStringLiteral("倉庫"), QStringLiteral("本店")}));
        QVERIFY(book.markUsed(*a, at("2026-01-04T00:00:00Z")));
        QCOMPARE(names(book.recent(Kind::Sender, 2)), (QStringList{QStringLiteral("本店"), QStringLiteral("支店")}));
        // Saving an older use of an existing entry does not move it back.
        QCOMPARE(book.save(Kind::Sender, address(QStringLiteral("支店"), {}, {}, {}), at("2025-01-01T00:00:00Z")), b);
        QCOMPARE(book.get(*b)->lastUsed, at("2026-01-03T00:00:00Z"));
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
                                     QStringLiteral("%1").arg(1500000 + i), QStringLiteral("東京都渋谷区神南%1").arg(i)),
                             QDateTime::fromMSecsSinceEpoch(1700000000000LL + i * 1000LL)});
        const auto rare = address(QStringLiteral("ヤマダ タロウ"), QStringLiteral("０６－６１２３－４５６７"), QStringLiteral("530-0001"),
                                  QStringLiteral("大阪府大阪市北区梅田"), QStringLiteral("梅田ビル３階"));
        entries.append({Kind::Recipient, rare, QDateTime::fromMSecsSinceEpoch(1600000000000LL)}); // the oldest
        // Older entries whose one letter begins hundreds of different trigrams.
        for (int i = 0; i < 600; ++i)
            entries.append({Kind::Recipient, address(QStringLiteral("Z") + QChar(0x4e00 + i) + QChar(0x4e00 + i), {}, {}, {}),
                             QDateTime::fromMSecsSinceEpoch(1650000000000LL + i * 1000LL)});
        entries.append({Kind::Sender, address(QStringLiteral("田中商店"), {}, {}, {}), {}});
        const auto imported = book.importEntries(entries);
        QVERIFY(imported);
        QCOMPARE(imported->added, 4802);

        auto find = [&](const char* typed, int limit = 20) { return names(book.search(Kind::Recipient, QString::fromUtf8(typed), limit)); };
        for (const char* typed : {"や", "やま", "ヤマダ", "だたろ", "06-6123", "6123", "06-6123-4567", "5300001", "梅田", "梅田ビル3", "ﾀﾛｳ"})
            QVERIFY2(find(typed) == QStringList{rare.name}, typed);
        // Most recently used first, both for short keys and through the index.
        QCOMPARE(find("田中", 3), (QStringList{QStringLiteral("田中4199"), QStringLiteral("田中4198"), QStringLiteral("田中4197")}));
        QCOMPARE(find("神南29", 2), (QStringList{QStringLiteral("田中2999"), QStringLiteral("田中2998")}));
        QStringList newestWith12;
        for (int i = 1299; i >= 1280; --i)
            newestWith12.append(QStringLiteral("田中%1").arg(i));
        QCOMPARE(find("田中12"), newestWith12); // 田中129 and 田中12 are older
        QCOMPARE(find("田中商店"), QStringList{});              // a sender, not a recipient
        QCOMPARE(find("見つからない"), QStringList{});
        QCOMPARE(find("\"引用符\""), QStringList{});            // quotes do not upset the index
        QCOMPARE(find("", 2), (QStringList{QStringLiteral("田中4199"), QStringLiteral("田中4198")}));
        QCOMPARE(find("z", 2), (QStringList{QStringLiteral("Z") + QChar(0x4e00 + 599) + QChar(0x4e00 + 599),
                                            QStringLiteral("Z") + QChar(0x4e00 + 598) + QChar(0x4e00 + 598)}));
        QCOMPARE(find(QString(QStringLiteral("z") + QChar(0x4e00 + 7)).toUtf8().constData()),
                 QStringList{QStringLiteral("Z") + QChar(0x4e00 + 7) + QChar(0x4e00 + 7)});

        // Every entry once, for export; an import of twins merges them.
        int count = 0;
        QVERIFY(book.forEach([&](const addressbook::AddressEntry&) { return ++count > 0; }));
        QCOMPARE(count, 4802);
        const auto twins = book.importEntries({{Kind::Recipient, rare, {}}, {Kind::Sender, rare, {}}, {Kind::Sender, rare, {}}});
        QVERIFY(twins);
        QCOMPARE(twins->added, 1);
        QCOMPARE(twins->merged, 2);
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
