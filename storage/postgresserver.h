#pragma once
// The address book and history in a database on a PostgreSQL server that
// several packing stations share: the connection made with libpq's own
// settings, the schema brought up to date while stations starting together
// take turns, and the server's errors said as the user's problems.
#include "storage/backend.h"
#include "storage/server.h"

namespace storage {

class PostgresServer final : public Backend {
public:
    // locationProblem: why the URL given cannot be used, said at the first use.
    PostgresServer(ServerAddress server, QString locationProblem, int connectTimeoutSeconds);
    ~PostgresServer() override;

    Engine engine() const override { return Engine::Postgres; }
    std::optional<Problem> open() override;
    void close() override;
    bool run(const std::function<bool(Statements&)>& body, bool inTransaction,
             std::optional<QSqlError>& error) override;
    Problem problemOf(const QSqlError& error, Activity activity) override;
    bool worthRunningAgain(const QSqlError& error) const override;
    bool triesAgainAfterAWhile() const override { return m_locationProblem.isEmpty(); }

private:
    bool openConnection();
    // Brings the schema up to date, under a lock so stations starting
    // together take turns; whether the database is of a newer version (left
    // as it is). Failures go to the statements.
    bool prepareSchema(Statements& sql);
    ProblemKind kindOf(const QSqlError& error, Activity activity) const;
    QString describe(ProblemKind kind, const QSqlError& error) const;
    QSqlDatabase connection() const;

    ServerAddress m_server;
    QString m_locationProblem;
    int m_connectTimeoutSeconds;
    QString m_connectionName;
};

} // namespace storage
