#include "history/localqueue.h"

#include "storage/damagedfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>

namespace history {

namespace {

const QString kFilePrefix = QStringLiteral("horutea-queue-");
const QString kFileSuffix = QStringLiteral(".sqlite");
// The one queue an earlier version kept, for whatever server was in use.
const QString kUnnamedQueueFile = QStringLiteral("horutea-queue.sqlite");
constexpr int kPagesPerSend = 500;
constexpr qsizetype kMostReadableNameCharacters = 80;

// The server a queue's file waits for, and the count of its pages kept in
// the same transaction as the pages themselves, so that a damaged file
// still tells how many it held.
constexpr const char* kQueueTables[] = {
    R"(CREATE TABLE IF NOT EXISTS queue_server (
        host TEXT NOT NULL,
        port INTEGER NOT NULL,
        database_name TEXT NOT NULL,
        identity TEXT NOT NULL,     -- '' when not known
        pages_waiting INTEGER NOT NULL
    ))",
    R"(CREATE TRIGGER IF NOT EXISTS queue_page_kept AFTER INSERT ON print_history BEGIN
        UPDATE queue_server SET pages_waiting = pages_waiting + 1;
    END)",
    R"(CREATE TRIGGER IF NOT EXISTS queue_page_sent AFTER DELETE ON print_history BEGIN
        UPDATE queue_server SET pages_waiting = pages_waiting - 1;
    END)",
};

// The pages SQLite can still read of a damaged queue, and how many it held.
struct Readable {
    QList<HistoryEntry> entries; // oldest first
    int held = 0;
    QList<SpoiledEntry> spoiled; // the forms spoiled while the server was away, as far as they read
};

// Read from a copy, so the damaged file stays as it was kept. Rows are read
// one by one, by every id the table or its indexes still name and every id
// between, so one damaged page loses only the rows on it.
Readable readDamagedQueue(const QString& damagedPath)
{
    Readable readable;
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("queue.sqlite"));
    if (!scratch.isValid() || !storage::copyDamagedFile(damagedPath, copy))
        return readable;
    const QString name = storage::newConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(copy);
        const auto schemaReads = [&] {
            QSqlQuery schema(db);
            return db.isOpen() && schema.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && schema.next();
        };
        db.open();
        if (!schemaReads()) {
            db.close();
            storage::writeFreshHeader(copy);
            db.open();
        }
        QSet<qint64> ids;
        for (const char* listing : {"SELECT id FROM print_history ORDER BY id",
                                    "SELECT id FROM print_history INDEXED BY print_history_station_row "
                                    "WHERE station_row_id IS NOT NULL",
                                    "SELECT id FROM print_history INDEXED BY print_history_printed "
                                    "WHERE printed_at_ms IS NOT NULL"}) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            if (query.exec(QString::fromLatin1(listing)))
                while (query.next())
                    ids.insert(query.value(0).toLongLong());
        }
        QSqlQuery held(db);
        const bool heldReads = held.exec(QStringLiteral("SELECT pages_waiting FROM queue_server")) && held.next();
        if (heldReads)
            readable.held = held.value(0).toInt();
        held.finish();
        if (!ids.isEmpty()) {
            const auto [lowest, highest] = std::minmax_element(ids.cbegin(), ids.cend());
            QSqlQuery row(db);
            row.setForwardOnly(true);
            row.prepare(QStringLiteral("SELECT %1 FROM print_history WHERE id = ?").arg(historyColumns()));
            for (qint64 id = *lowest; id <= *highest; ++id) {
                row.bindValue(0, id);
                if (row.exec() && row.next())
                    if (auto entry = historyEntryFrom(row))
                        readable.entries.append(*entry);
                row.finish();
            }
            if (!heldReads)
                readable.held = int(*highest - *lowest + 1);
        }
        readable.held = std::max(readable.held, int(readable.entries.size()));
        // Spoiled forms row by row too: a lost one would let its number
        // into a confirmation.
        QList<qint64> spoiledIds;
        {
            QSqlQuery listing(db);
            listing.setForwardOnly(true);
            if (listing.exec(QStringLiteral("SELECT id FROM spoiled_form ORDER BY id")))
                while (listing.next())
                    spoiledIds << listing.value(0).toLongLong();
        }
        if (!spoiledIds.isEmpty()) {
            QSqlQuery row(db);
            row.setForwardOnly(true);
            row.prepare(QStringLiteral("SELECT %1 FROM spoiled_form WHERE id = ?").arg(spoiledColumns()));
            for (qint64 id = spoiledIds.front(); id <= spoiledIds.back(); ++id) {
                row.bindValue(0, id);
                if (row.exec() && row.next())
                    if (auto entry = spoiledEntryFrom(row))
                        readable.spoiled.append(*entry);
                row.finish();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return readable;
}

QString readableName(const history::QueueServer& server)
{
    QString name =
        QStringLiteral("%1-%2-%3").arg(server.address.host).arg(server.address.port).arg(server.address.database);
    if (!server.identity.isEmpty())
        name += QLatin1Char('-') + server.identity;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9.]"));
    return name.replace(unsafe, QStringLiteral("_")).left(kMostReadableNameCharacters);
}

} // namespace

QString QueueServer::shown() const
{
    return QStringLiteral("%1 のデータベース「%2」").arg(address.hostAndPort(), address.database);
}

QString ReadBack::said() const
{
    if (!any())
        return {};
    QStringList files;
    for (const QString& file : damagedFiles)
        files << QDir::toNativeSeparators(file);
    QString text = QStringLiteral("このPCの控え（サーバーに送る前の印刷履歴）のファイルが壊れていました。");
    text += unreadable == 0 ? QStringLiteral("中の %1 枚はすべて読み出して控えに戻しました。").arg(recovered)
                            : QStringLiteral("読み出せた %1 枚は控えに戻しましたが、%2 枚は読み出せず、"
                                             "サーバーにも送れません。")
                                  .arg(recovered)
                                  .arg(unreadable);
    text +=
        QStringLiteral("壊れたファイルは消さずに「%1」として残しています。").arg(files.join(QStringLiteral("」「")));
    return text;
}

struct LocalQueue::Queue {
    std::unique_ptr<storage::Database> database;
    std::optional<QueueServer> server;
    bool prepared = false;
};

LocalQueue::LocalQueue(QString folder) : m_folder(std::move(folder)) {}

LocalQueue::~LocalQueue() = default;

QString LocalQueue::filePathFor(const QueueServer& server) const
{
    const QByteArray key = server.address.host.toUtf8() + '\x1f' + QByteArray::number(server.address.port) + '\x1f' +
                           server.address.database.toUtf8() + '\x1f' + server.identity.toUtf8();
    const QString digest = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(8));
    return QDir(m_folder).filePath(kFilePrefix + readableName(server) + QLatin1Char('-') + digest + kFileSuffix);
}

LocalQueue::Queue& LocalQueue::queueAt(const QString& filePath, const std::optional<QueueServer>& server)
{
    auto& queue = m_queues[filePath];
    if (!queue) {
        queue = std::make_unique<Queue>();
        queue->database = std::make_unique<storage::Database>(filePath);
    }
    if (server)
        queue->server = server;
    return *queue;
}

QString LocalQueue::use(Queue& queue, const std::function<bool()>& operation, bool& done, ReadBack& readBack)
{
    storage::Database& database = *queue.database;
    const auto prepare = [&] {
        return database.write([&](storage::Statements& sql) {
            for (const char* statement : kQueueTables)
                sql.exec(QString::fromUtf8(statement));
            if (queue.server)
                sql.exec(QStringLiteral("INSERT INTO queue_server SELECT ?, ?, ?, ?, (SELECT count(*) FROM "
                                        "print_history) WHERE NOT EXISTS (SELECT 1 FROM queue_server)"),
                         {queue.server->address.host, queue.server->address.port, queue.server->address.database,
                          storage::textValue(queue.server->identity)});
            return !sql.failed();
        });
    };
    done = false;
    // A damaged file is met once: set aside, read back, and the operation
    // run again on the fresh file with the pages read back (keeping them
    // again adds nothing: each page's id is kept once).
    for (int run = 0; run < 2; ++run) {
        storage::ProblemsMet problems(database);
        if (!queue.prepared)
            queue.prepared = prepare();
        done = queue.prepared && operation();
        const std::optional<storage::Problem> problem = problems.take();
        if (!problem)
            return {};
        if (problem->kind != storage::ProblemKind::Damaged || problem->setAsidePath.isEmpty() ||
            !problem->databaseUsable)
            return problem->message;
        const Readable readable = readDamagedQueue(problem->setAsidePath);
        queue.prepared = prepare();
        const bool keptAgain = queue.prepared && (readable.entries.isEmpty() ||
                                                  History(database).recordAll(int(readable.entries.size()), [&](int i) {
                                                      return std::optional(readable.entries[i].record);
                                                  }));
        for (const SpoiledEntry& spoiled : readable.spoiled)
            History(database).recordSpoiled(spoiled.form);
        const int recovered = keptAgain ? int(readable.entries.size()) : 0;
        readBack.recovered += recovered;
        readBack.unreadable += readable.held - recovered;
        readBack.damagedFiles << problem->setAsidePath;
    }
    return {};
}

LocalQueue::Kept LocalQueue::keep(const QueueServer& server, int count,
                                  const std::function<std::optional<PrintRecord>(int index)>& recordAt)
{
    adoptUnnamedQueue(server);
    Queue& queue = queueAt(filePathFor(server), server);
    Kept kept;
    kept.problem = use(
        queue, [&] { return History(*queue.database).recordAll(count, recordAt); }, kept.ok, kept.readBack);
    return kept;
}

LocalQueue::Kept LocalQueue::keepSpoiled(const QueueServer& server, const SpoiledForm& form)
{
    adoptUnnamedQueue(server);
    Queue& queue = queueAt(filePathFor(server), server);
    Kept kept;
    kept.problem = use(
        queue, [&] { return History(*queue.database).recordSpoiled(form); }, kept.ok, kept.readBack);
    return kept;
}

QStringList LocalQueue::pathsFor(const QueueServer& current) const
{
    QStringList paths{filePathFor({current.address, {}})};
    if (!current.identity.isEmpty())
        paths << filePathFor(current);
    return paths;
}

QString LocalQueue::readWaitingFor(const QueueServer& current,
                                   const std::function<bool(History& waiting, storage::Database& file)>& read)
{
    adoptUnnamedQueue(current);
    const QStringList paths = pathsFor(current);
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        Queue& queue = queueAt(path, path == paths.front() ? QueueServer{current.address, {}} : current);
        History waiting(*queue.database);
        bool done = false;
        ReadBack readBack;
        const QString problem = use(
            queue, [&] { return read(waiting, *queue.database); }, done, readBack);
        if (!problem.isEmpty())
            return problem;
        if (!done)
            return QStringLiteral("このPCの控え（%1）を読めませんでした。").arg(QDir::toNativeSeparators(path));
    }
    return {};
}

LocalQueue::Sent LocalQueue::sendTo(storage::Database& server, History& serverHistory)
{
    Sent sent;
    if (server.engine() != storage::Engine::Postgres)
        return sent;
    const QueueServer unknown{server.server(), {}};
    // Nothing is asked of the server when nothing waits for its address
    // (whose files' names begin alike, whatever the identity).
    const bool anyWaiting =
        QFileInfo::exists(QDir(m_folder).filePath(kUnnamedQueueFile)) ||
        !QDir(m_folder)
             .entryList({kFilePrefix + readableName(unknown) + QLatin1Char('*') + kFileSuffix}, QDir::Files)
             .isEmpty();
    if (!anyWaiting || !server.ensureOpen())
        return sent;
    const QueueServer current{server.server(), server.serverIdentity()};
    adoptUnnamedQueue(current);
    const QStringList paths = pathsFor(current);
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        Queue& queue = queueAt(path, path == paths.front() ? unknown : current);
        History waiting(*queue.database);
        // One kind of row at a time, a batch at a time: read here, taken by
        // the server, forgotten here; false when the sending stopped.
        const auto sendAll = [&](auto oldestFirst, auto takenByServer, auto forgetThrough, int& count) {
            for (;;) {
                decltype(oldestFirst()) batch;
                bool done = false;
                if (const QString problem = use(
                        queue,
                        [&] {
                            batch = oldestFirst();
                            return true;
                        },
                        done, sent.readBack);
                    !problem.isEmpty()) {
                    sent.problem = problem;
                    return false;
                }
                if (batch.isEmpty() || !server.ensureOpen())
                    return true;
                if (!takenByServer(batch))
                    return false;
                if (const QString problem = use(
                        queue, [&] { return forgetThrough(batch.last().id); }, done, sent.readBack);
                    !problem.isEmpty()) {
                    sent.problem = problem;
                    return false;
                }
                count += int(batch.size());
            }
        };
        const bool pagesSent = sendAll([&] { return waiting.oldestFirst(kPagesPerSend); },
                                       [&](const QList<HistoryEntry>& batch) {
                                           return serverHistory.recordAll(int(batch.size()), [&](int i) {
                                               return std::optional(batch[i].record);
                                           });
                                       },
                                       [&](qint64 id) { return waiting.removeThrough(id); }, sent.pages);
        // Then the forms spoiled while the server was away, so that no
        // confirmation carries their numbers.
        if (!pagesSent || !sendAll([&] { return waiting.spoiledOldestFirst(kPagesPerSend); },
                                   [&](const QList<SpoiledEntry>& batch) {
                                       return std::all_of(batch.begin(), batch.end(), [&](const SpoiledEntry& entry) {
                                           return serverHistory.recordSpoiled(entry.form);
                                       });
                                   },
                                   [&](qint64 id) { return waiting.removeSpoiledThrough(id); }, sent.spoiledForms))
            return sent;
    }
    return sent;
}

void LocalQueue::adoptUnnamedQueue(const QueueServer& server)
{
    const QString unnamed = QDir(m_folder).filePath(kUnnamedQueueFile);
    const QString own = filePathFor({server.address, {}});
    if (!QFileInfo::exists(unnamed) || QFileInfo::exists(own) || m_queues.count(unnamed))
        return;
    if (!QFile::rename(unnamed, own))
        return;
    for (const char* companion : {"-wal", "-shm"})
        if (QFileInfo::exists(unnamed + QLatin1String(companion)))
            QFile::rename(unnamed + QLatin1String(companion), own + QLatin1String(companion));
}

QStringList LocalQueue::queueFiles() const
{
    QStringList files;
    const QDir folder(m_folder);
    for (const QString& name :
         folder.entryList({kFilePrefix + QLatin1Char('*') + kFileSuffix}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    if (folder.exists(kUnnamedQueueFile))
        files << folder.filePath(kUnnamedQueueFile);
    return files;
}

LocalQueue::Elsewhere LocalQueue::waitingElsewhere(const std::optional<QueueServer>& current)
{
    Elsewhere elsewhere;
    for (const QString& path : queueFiles()) {
        if (current) {
            if (path == filePathFor({current->address, {}}) ||
                (!current->identity.isEmpty() && path == filePathFor(*current)))
                continue;
        }
        Queue& queue = queueAt(path, std::nullopt);
        int pages = 0;
        std::optional<QueueServer> named;
        bool read = false;
        ReadBack readBack;
        use(
            queue,
            [&] {
                return queue.database->read([&](storage::Statements& sql) {
                    QSqlQuery count = sql.prepare(QStringLiteral("SELECT count(*) FROM print_history"));
                    if (sql.exec(count) && sql.next(count))
                        pages = count.value(0).toInt();
                    count.finish();
                    QSqlQuery server = sql.prepare(
                        QStringLiteral("SELECT host, port, database_name, identity FROM queue_server LIMIT 1"));
                    if (sql.exec(server) && sql.next(server))
                        named = QueueServer{
                            {server.value(0).toString(), server.value(1).toInt(), server.value(2).toString(), {}},
                            server.value(3).toString()};
                    return !sql.failed();
                });
            },
            read, readBack);
        if (pages == 0)
            continue;
        // The same address, with an identity not known yet in this run: its own.
        if (current && named && named->address.host == current->address.host &&
            named->address.port == current->address.port && named->address.database == current->address.database &&
            (current->identity.isEmpty() || named->identity.isEmpty() || named->identity == current->identity))
            continue;
        elsewhere.pages += pages;
        elsewhere.servers << (named ? named->shown() : QFileInfo(path).fileName());
        elsewhere.files << path;
    }
    return elsewhere;
}

} // namespace history
