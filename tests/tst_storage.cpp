// The database file of the address book and the print history, on real
// SQLite files: its schema, every way the file can fail (each told once,
// earlier data kept, the program going on), the history and the address book.
#include "bookdata.h"
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
#include <QElapsedTimer>
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

// What preparing the file for its first use (as the window does once it is
// up) tells.
QStringList toldWhenPrepared(const QString& path)
{
    Database early(path);
    QStringList told;
    early.setProblemReceiver([&](const storage::Problem& problem) { told << problem.message; });
    early.prepareForFirstUse();
    return told;
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
        {
            // Prepared for its first use as the window does once it is up:
            // without a word, and without waiting on another program's lock.
            QElapsedTimer waited;
            waited.start();
            QCOMPARE(toldWhenPrepared(path), QStringList());
            QVERIFY2(waited.elapsed() < 1000, qPrintable(QString::number(waited.elapsed())));
        }

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
    // same second too) and a fresh one used, by the first operation and not
    // before.
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
            // Prepared for its first use as the window does once it is up:
            // without a word, the file as it was.
            QCOMPARE(toldWhenPrepared(path), QStringList());
            QCOMPARE(readAll(path), damaged.back());
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
};

int main(int argc, char** argv)
{
    enterPrivateMounts(); // before any thread exists
    QCoreApplication app(argc, argv);
    StorageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storage.moc"
