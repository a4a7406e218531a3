#pragma once
// Where the address book and the print history live: one SQLite file in the
// per-user data folder (storage/sqlitefile.h), or a database on a PostgreSQL
// server that several packing stations share (storage/postgresserver.h).
// Nothing touches either until the first use, so the window's start never
// waits for it.
//
// When the database cannot be used (damaged, made by a newer version, locked
// by another program, read-only, unreadable, the disk full, the server away)
// the program goes on without it: every operation then fails, and the
// problem is pushed at once to whoever shows it (storage/problems.h). A
// damaged file is moved aside under a new name and a fresh one is started;
// nothing is ever deleted.
#include "storage/problems.h"
#include "storage/schema.h"
#include "storage/server.h"
#include "storage/statements.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace storage {

class Backend;

class Database {
public:
    struct Options {
        // A SQLite VFS registered under this name opens the file instead of
        // the default one (the tests inject failing devices this way).
        QString vfsName;
        // How long an operation waits for another program's lock before it
        // gives up; the user interface thread waits this long at most.
        int busyTimeoutMs = 1000;
        // A server: how long connecting may take, and how long after a
        // failure the next use tries again (0: at once).
        int connectTimeoutSeconds = 5;
        int reconnectAfterMs = 30000;
    };

    // A file path, or a server's URL (postgresql://USER@HOST:PORT/DBNAME).
    explicit Database(QString location);
    Database(QString location, Options options);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Engine engine() const;
    // The file, or the URL, as given.
    const QString& filePath() const { return m_location; }
    const QString& location() const { return m_location; }
    // The server (engine() == Postgres).
    const ServerAddress& server() const { return m_server; }

    // Opens the database on the first call; later calls answer at once.
    // False when the program goes on without it.
    bool ensureOpen();
    bool isOpen() const { return m_state == State::Open; }
    // After a failure to open: tries once more (for a lock that has gone).
    bool retryOpen();

    // Where a problem goes when no ProblemsMet is in place: the window shows
    // it, the command line prints it. Each problem is pushed the moment it is
    // met; one of the same kind as the one pushed last comes again only after
    // an operation succeeded in between, so each fault is told once.
    void setProblemReceiver(std::function<void(const Problem&)> receiver)
    {
        m_problems.setReceiver(std::move(receiver));
    }
    // The last problem, told or not (for a banner or a status line).
    const std::optional<Problem>& lastProblem() const { return m_problems.lastProblem(); }
    ProblemRouter& problemRouter() { return m_problems; }

    // One change in one transaction: body runs between BEGIN (IMMEDIATE) and
    // COMMIT and returns false (or records a failure) to roll everything back.
    // On a server, a transaction that met another station's at the same
    // time (the same new entry saved, a deadlock) runs again from the start,
    // so body must set its results afresh each time it runs.
    bool write(const std::function<bool(Statements&)>& body);
    // Reading; no transaction of its own.
    bool read(const std::function<bool(Statements&)>& body);

    // Loads the engine's driver without touching any file or server, so the
    // first operation does not wait for it.
    static void loadDriver(Engine engine = Engine::Sqlite);
    // The driver loaded and, for a file that is there, its schema read once
    // through a read-only connection of its own, so the first operation finds
    // the engine's code and the file's pages at hand. Nothing is changed,
    // mended or said: the operation that meets a problem says it.
    void prepareForFirstUse() const;

    // The schema this program writes; a database with a higher number is refused.
    static int currentSchemaVersion() { return storage::currentSchemaVersion(); }

private:
    enum class State { NotOpened, Open, Unavailable };

    bool open();
    bool operation(const std::function<bool(Statements&)>& body, bool inTransaction);

    QString m_location;
    Options m_options;
    ServerAddress m_server;
    std::unique_ptr<Backend> m_backend;
    State m_state = State::NotOpened;
    qint64 m_failedAtMs = 0;
    ProblemRouter m_problems;
};

} // namespace storage
