#pragma once
// The address book and history in a database on a PostgreSQL server that
// several packing stations share: the connection made with libpq's own
// settings, the schema brought up to date while stations starting together
// take turns, and the server's errors said as the user's problems.
#include "storage/backend.h"
#include "storage/server.h"
#include "storage/serverthread.h"

namespace storage {

class PostgresServer final : public Backend {
public:
    struct Limits {
        int connectTimeoutSeconds = 5; // libpq's connect_timeout (2 at least)
        int answerLimitMs = 10000;     // one round trip, and the server's own statement and idle limits
    };
    // locationProblem: why the URL given cannot be used, said at the first
    // use. password: as typed (empty: libpq's own places); none: the one
    // kept in the desktop's secret store.
    PostgresServer(ServerAddress server, QString locationProblem, Limits limits,
                   std::optional<QString> password = std::nullopt);
    ~PostgresServer() override;

    Engine engine() const override { return Engine::Postgres; }
    std::optional<Problem> open() override;
    void close() override;
    Ran run(const std::function<bool(Statements&)>& body, Activity activity) override;
    bool triesAgainAfterAWhile() const override { return m_locationProblem.isEmpty(); }
    QString identity() const override { return m_identity; }

private:
    // The same, on the server's thread.
    std::optional<Problem> openHere();
    void closeHere();
    Ran runHere(const std::function<bool(Statements&)>& body, Activity activity);

    bool openConnection();
    // Brings the schema up to date, under a lock so stations starting
    // together take turns; whether the database is of a newer version (left
    // as it is). Failures go to the statements.
    bool prepareSchema(Statements& sql);
    // The server's identity, and the limits only a newer server knows.
    void learnServer();
    // What a failure means for the user; one that leaves the database
    // unusable closes the connection.
    Problem problemOf(const QSqlError& error, Activity activity);
    ProblemKind kindOf(const QSqlError& error, Activity activity) const;
    QString describe(ProblemKind kind, const QSqlError& error) const;
    QSqlDatabase connection() const;

    ServerAddress m_server;
    QString m_locationProblem;
    Limits m_limits;
    std::optional<QString> m_password;
    ServerThread m_thread;
    QString m_connectionName; // on the server's thread only
    QString m_identity;       // written on the server's thread while the caller waits
};

} // namespace storage
