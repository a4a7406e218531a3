#pragma once
// The one SQLite file that holds the address book and the print history, in
// the per-user data folder. Nothing touches the file until the first use, so
// the window's start never waits for it.
//
// When the file cannot be used (damaged, made by a newer version, locked by
// another program, read-only, unreadable, or the disk is full) the program
// goes on without it: every operation then fails, and the problem is pushed
// at once to whoever shows it (ProblemsMet below). A damaged file is moved
// aside under a new name and a fresh one is started; nothing is ever deleted.
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
    explicit Statements(const QSqlDatabase& connection) : m_connection(connection) {}

    // A prepared statement with its values bound in order; an invalid query
    // (and a recorded failure) when it does not prepare.
    QSqlQuery prepare(const QString& sql, std::initializer_list<QVariant> values = {});
    // Executes; false and a recorded failure on error.
    bool exec(QSqlQuery& query);
    bool exec(const QString& sql, std::initializer_list<QVariant> values = {});
    // Steps to the next row; false at the end and on error (then recorded).
    bool next(QSqlQuery& query);

    bool failed() const { return m_error.has_value(); }
    const std::optional<QSqlError>& error() const { return m_error; }
    void fail(const QSqlError& error);

private:
    QSqlDatabase m_connection;
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
    };

    explicit Database(QString filePath);
    Database(QString filePath, Options options);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& filePath() const { return m_filePath; }

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

    // One change in one transaction: body runs between BEGIN IMMEDIATE and
    // COMMIT and returns false (or records a failure) to roll everything back.
    bool write(const std::function<bool(Statements&)>& body);
    // Reading; no transaction of its own.
    bool read(const std::function<bool(Statements&)>& body);

    // Loads the SQLite driver without touching any file, so the first
    // operation does not wait for it.
    static void loadDriver();

    // The schema this program writes; a file with a higher number is refused.
    static int currentSchemaVersion();

private:
    enum class State { NotOpened, Open, Unavailable };
    enum class Activity { Opening, Reading, Writing };

    bool open();
    bool openConnection();
    void closeConnection();
    // Brings the schema up to date in one transaction; the lock it takes
    // also finds a file another program holds. Failures go to the statements.
    void prepareSchema(Statements& sql);
    // The new name of the damaged file, or nothing when it could not be moved.
    std::optional<QString> setDamagedFileAside();
    // Tells the user and decides whether the database can still be used.
    bool afterFailure(const QSqlError& error, Activity activity);
    void raise(Problem problem);
    void succeeded();

    friend class ProblemsMet;

    QString m_filePath;
    Options m_options;
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
