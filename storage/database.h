#pragma once
// Where the address book and the print history live: one SQLite file in the
// per-user data folder, or a database on a PostgreSQL server that several
// packing stations share (storage/server.h). Nothing touches either until
// the first use, so the window's start never waits for it.
//
// When the file cannot be used (damaged, made by a newer version, locked by
// another program, read-only, unreadable, or the disk is full) the program
// goes on without it: every operation then fails, and the problem is pushed
// at once to whoever shows it (ProblemsMet below). A damaged file is moved
// aside under a new name and a fresh one is started; nothing is ever deleted.
#include "storage/schema.h"
#include "storage/server.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace storage {

enum class ProblemKind {
    Damaged,      // not a database or malformed; moved aside (setAsidePath)
    NewerVersion, // written by a newer version of the program; left untouched
    Locked,       // another program holds the file
    ReadOnly,     // the file or its folder cannot be written
    Unreadable,   // the file cannot be opened or read
    DiskFull,
    // The server's problems: it does not answer (or went away), it refuses
    // the user, or the database is not there.
    ServerUnreachable,
    AuthenticationFailed,
    DatabaseMissing,
    Other,
};

struct Problem {
    ProblemKind kind = ProblemKind::Other;
    QString message;             // Japanese, for the user: what happened and what to do
    QString setAsidePath;        // where a damaged file went, when it was moved
    bool databaseUsable = false; // false: the program goes on without the file
};

// A text as a value for a NOT NULL column: the driver stores a null QString,
// which every default-constructed field is, as SQL NULL.
inline QVariant textValue(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

// Runs the statements of one operation; every failure is remembered so the
// operation can stop at the first one and the database can tell what went
// wrong.
class Statements {
public:
    explicit Statements(const QSqlDatabase& connection, Engine engine = Engine::Sqlite)
        : m_connection(connection), m_engine(engine)
    {}

    Engine engine() const { return m_engine; }
    // A condition that the column holds the one bound value somewhere.
    QString containsCondition(QLatin1StringView column) const;

    // A prepared statement with its values bound in order; an invalid query
    // (and a recorded failure) when it does not prepare.
    QSqlQuery prepare(const QString& sql, std::initializer_list<QVariant> values = {});
    // Executes; false and a recorded failure on error.
    bool exec(QSqlQuery& query);
    // Without values the statement runs as it stands (BEGIN, DDL: a server
    // prepares only queries).
    bool exec(const QString& sql, std::initializer_list<QVariant> values = {});
    // Steps to the next row; false at the end and on error (then recorded).
    bool next(QSqlQuery& query);

    bool failed() const { return m_error.has_value(); }
    const std::optional<QSqlError>& error() const { return m_error; }
    void fail(const QSqlError& error);

private:
    QSqlDatabase m_connection;
    Engine m_engine;
    std::optional<QSqlError> m_error;
};

class ProblemsMet;

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

    Engine engine() const { return m_engine; }
    // The file, or the URL, as given.
    const QString& filePath() const { return m_filePath; }
    const QString& location() const { return m_filePath; }
    // The server (engine() == Postgres).
    const ServerAddress& server() const { return m_server; }

    // Opens the file on the first call; later calls answer at once. False
    // when the program goes on without the database.
    bool ensureOpen();
    bool isOpen() const { return m_state == State::Open; }
    // After a failure to open: tries once more (for a lock that has gone).
    bool retryOpen();

    // Where a problem goes when no ProblemsMet is in place: the window shows
    // it, the command line prints it. Each problem is pushed the moment it is
    // met; one of the same kind as the one pushed last comes again only after
    // an operation succeeded in between, so each fault is told once.
    void setProblemReceiver(std::function<void(const Problem&)> receiver) { m_receiver = std::move(receiver); }
    // The last problem, told or not (for a banner or a status line).
    const std::optional<Problem>& lastProblem() const { return m_lastProblem; }

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

    // The schema this program writes; a file with a higher number is refused.
    static int currentSchemaVersion();

private:
    enum class State { NotOpened, Open, Unavailable };
    enum class Activity { Opening, Reading, Writing };

    bool open();
    bool openFile();
    bool openServer();
    bool openConnection();
    void closeConnection();
    bool transaction(const std::function<bool(Statements&)>& body, std::optional<QSqlError>& error);
    // Brings the schema up to date in one transaction; the lock it takes
    // also finds a file another program holds. Failures go to the statements.
    void prepareSchema(Statements& sql);
    // The same on a server, under a lock so stations starting together
    // take turns; whether the database is of a newer version (left as it is).
    bool prepareServerSchema(Statements& sql);
    ProblemKind kindOf(const QSqlError& error, Activity activity) const;
    QString describeServer(ProblemKind kind, const QSqlError& error) const;
    bool afterServerFailure(const QSqlError& error, Activity activity);
    // The new name of the damaged file, or nothing when it could not be moved.
    std::optional<QString> setDamagedFileAside();
    // Tells the user and decides whether the database can still be used.
    bool afterFailure(const QSqlError& error, Activity activity);
    void raise(Problem problem);
    void succeeded();

    friend class ProblemsMet;

    QString m_filePath;
    Options m_options;
    Engine m_engine = Engine::Sqlite;
    ServerAddress m_server;
    QString m_locationProblem; // a server URL that cannot be used, said at the first use
    qint64 m_failedAtMs = 0;
    QString m_connectionName;
    State m_state = State::NotOpened;
    std::optional<Problem> m_lastProblem;
    std::optional<ProblemKind> m_kindTold;
    std::function<void(const Problem&)> m_receiver;
    std::vector<ProblemsMet*> m_listening; // innermost last
    bool m_startingAfresh = false;         // a fresh file after a damaged one is never set aside in turn
};

// The problems met by the operations run while it exists, for the code that
// ran them to tell in its own words (with what did not happen). Whatever it
// was not asked for goes on when it ends, to the ProblemsMet around it or to
// the receiver: a problem is never left for a later, unrelated operation.
class ProblemsMet {
public:
    explicit ProblemsMet(Database& database);
    ~ProblemsMet();
    ProblemsMet(const ProblemsMet&) = delete;
    ProblemsMet& operator=(const ProblemsMet&) = delete;

    // The latest problem met, told here once.
    std::optional<Problem> take() { return std::exchange(m_met, std::nullopt); }
    const std::optional<Problem>& met() const { return m_met; }

private:
    friend class Database;
    Database& m_database;
    std::optional<Problem> m_met;
};

} // namespace storage
