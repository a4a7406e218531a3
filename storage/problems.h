#pragma once
// What goes wrong with the address book and history's database, and where
// it is told: each problem is pushed the moment it is met, to the
// ProblemsMet the caller holds around the operation, or else at once to the
// program's receiver (a message over the window, a line on stderr).
#include <QString>
#include <functional>
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

class ProblemsMet;

// Where one database's problems go. One of the same kind as the one told
// last comes again only after an operation succeeded in between, so each
// fault is told once.
class ProblemRouter {
public:
    void setReceiver(std::function<void(const Problem&)> receiver) { m_receiver = std::move(receiver); }
    void raise(Problem problem);
    // An operation succeeded, or the user asked again: the same fault is
    // told again when it is met again.
    void forgetTold() { m_kindTold.reset(); }
    // The last problem, told or not (for a banner or a status line).
    const std::optional<Problem>& lastProblem() const { return m_lastProblem; }

private:
    friend class ProblemsMet;
    std::optional<Problem> m_lastProblem;
    std::optional<ProblemKind> m_kindTold;
    std::function<void(const Problem&)> m_receiver;
    std::vector<ProblemsMet*> m_listening; // innermost last
};

class Database;

// The problems met by the operations run while it exists, for the code that
// ran them to tell in its own words (with what did not happen). Whatever it
// was not asked for goes on when it ends, to the ProblemsMet around it or to
// the receiver: a problem is never left for a later, unrelated operation.
class ProblemsMet {
public:
    explicit ProblemsMet(ProblemRouter& router);
    explicit ProblemsMet(Database& database);
    ~ProblemsMet();
    ProblemsMet(const ProblemsMet&) = delete;
    ProblemsMet& operator=(const ProblemsMet&) = delete;

    // The latest problem met, told here once.
    std::optional<Problem> take() { return std::exchange(m_met, std::nullopt); }
    const std::optional<Problem>& met() const { return m_met; }

private:
    friend class ProblemRouter;
    ProblemRouter& m_router;
    std::optional<Problem> m_met;
};

} // namespace storage
