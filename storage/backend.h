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
    // Runs body on the open connection, in one transaction when asked:
    // whether it ran to the end, and the first failure met.
    virtual bool run(const std::function<bool(Statements&)>& body, bool inTransaction,
                     std::optional<QSqlError>& error) = 0;
    // What a failure means for the user. A problem that leaves the database
    // unusable has closed the connection.
    virtual Problem problemOf(const QSqlError& error, Activity activity) = 0;
    // Whether a transaction that failed so succeeds when run again from the start.
    virtual bool worthRunningAgain(const QSqlError&) const { return false; }
    // Whether, once unusable, the next use after a while tries again.
    virtual bool triesAgainAfterAWhile() const { return false; }
    // The engine's code and the database's first pages at hand, without
    // changing, mending or telling anything.
    virtual void prepareForFirstUse() const {}
};

// A name of its own for each connection Qt keeps.
QString newConnectionName();

// Said after a write that failed, on either engine.
inline QString changeNotSavedText()
{
    return QStringLiteral("いまの変更は保存されていません。それまでの内容はそのまま残っています。");
}

} // namespace storage
