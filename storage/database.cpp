#include "storage/database.h"

#include "storage/postgresserver.h"
#include "storage/sqlitefile.h"

#include <QDateTime>

namespace storage {

namespace {

constexpr int kMostRunsOfATransaction = 5;

} // namespace

Database::Database(QString location) : Database(std::move(location), Options{}) {}

Database::Database(QString location, Options options) : m_location(std::move(location)), m_options(std::move(options))
{
    if (isServerUrl(m_location)) {
        QString locationProblem;
        if (const Result<ServerAddress> server = serverAddressFrom(m_location))
            m_server = *server;
        else
            locationProblem = server.error();
        m_backend = std::make_unique<PostgresServer>(m_server, locationProblem, m_options.connectTimeoutSeconds);
    } else {
        m_backend = std::make_unique<SqliteFile>(m_location, m_options.vfsName, m_options.busyTimeoutMs);
    }
}

Database::~Database() = default;

Engine Database::engine() const { return m_backend->engine(); }

bool Database::ensureOpen()
{
    switch (m_state) {
    case State::Open:
        return true;
    case State::Unavailable:
        // A server that did not answer is asked again after a while, so a
        // station goes on with it once it is back.
        if (m_backend->triesAgainAfterAWhile() &&
            QDateTime::currentMSecsSinceEpoch() - m_failedAtMs >= m_options.reconnectAfterMs)
            break;
        return false;
    case State::NotOpened:
        break;
    }
    return open();
}

bool Database::retryOpen()
{
    if (m_state == State::Unavailable) {
        m_state = State::NotOpened;
        m_problems.forgetTold(); // asked for again, so the same fault is told again
    }
    return ensureOpen();
}

bool Database::open()
{
    m_state = State::Unavailable;
    m_failedAtMs = QDateTime::currentMSecsSinceEpoch();
    const std::optional<Problem> problem = m_backend->open();
    const bool usable = !problem || problem->databaseUsable;
    if (usable)
        m_state = State::Open;
    if (problem)
        m_problems.raise(*problem);
    return usable;
}

bool Database::operation(const std::function<bool(Statements&)>& body, bool inTransaction)
{
    if (!ensureOpen())
        return false;
    std::optional<QSqlError> error;
    bool done = m_backend->run(body, inTransaction, error);
    for (int run = 1; inTransaction && error && m_backend->worthRunningAgain(*error) && run < kMostRunsOfATransaction;
         ++run)
        done = m_backend->run(body, inTransaction, error);
    if (error) {
        const Problem problem = m_backend->problemOf(*error, inTransaction ? Activity::Writing : Activity::Reading);
        if (!problem.databaseUsable) {
            m_backend->close();
            m_state = State::Unavailable;
            m_failedAtMs = QDateTime::currentMSecsSinceEpoch();
        }
        m_problems.raise(problem);
        return false;
    }
    if (done && inTransaction)
        m_problems.forgetTold();
    return done;
}

bool Database::write(const std::function<bool(Statements&)>& body) { return operation(body, true); }

bool Database::read(const std::function<bool(Statements&)>& body) { return operation(body, false); }

void Database::loadDriver(Engine engine)
{
    const QString driver = engine == Engine::Postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return; // said by the first use, not here
    const QString name = QStringLiteral("horutea-storage-driver");
    QSqlDatabase::addDatabase(driver, name);
    QSqlDatabase::removeDatabase(name);
}

void Database::prepareForFirstUse() const
{
    loadDriver(engine());
    m_backend->prepareForFirstUse();
}

ProblemsMet::ProblemsMet(Database& database) : ProblemsMet(database.problemRouter()) {}

} // namespace storage
