#pragma once
// One engine under storage::Database: how its connection is made and its
// schema brought up to date, how an operation runs on it, and what its
// errors mean for the user. The Database keeps the state, runs a
// transaction again where the engine says so, and routes the problems.
#include "storage/problems.h"
#include "storage/statements.h"

#include <functional>
#include <optional>

namespace storage {

enum class Activity { Opening, Reading, Writing };

// What one operation came to: whether it ran to the end, and the problem
// it met, as the user is told it. A problem that leaves the database
// unusable has closed the connection.
struct Ran {
    bool done = false;
    std::optional<Problem> problem;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual Engine engine() const = 0;

    // Opens the connection and brings the schema up to date. Nothing when
    // the database can be used as it is; else the problem to tell, whose
    // databaseUsable says whether it was opened all the same (a damaged file
    // replaced by a fresh one).
    virtual std::optional<Problem> open() = 0;
    virtual void close() = 0;
    // Runs body on the open connection: reading as it stands, writing in one
    // transaction (run again from the start where the engine's error says it
    // would succeed so).
    virtual Ran run(const std::function<bool(Statements&)>& body, Activity activity) = 0;
    // Whether, once unusable, the next use after a while tries again.
    virtual bool triesAgainAfterAWhile() const { return false; }
    // The engine's code and the database's first pages at hand, without
    // changing, mending or telling anything.
    virtual void prepareForFirstUse() const {}
    // The server's own identity, once it was opened; empty for a file.
    virtual QString identity() const { return {}; }
};

// Said after a write that failed, on either engine.
inline QString changeNotSavedText()
{
    return QStringLiteral("いまの変更は保存されていません。それまでの内容はそのまま残っています。");
}

} // namespace storage
