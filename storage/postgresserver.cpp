#include "storage/postgresserver.h"

#include "platform/secretstore.h"

#include <QSqlDriver>

namespace storage {

namespace {

// The server's SQLSTATE classes and codes that decide what the user is told
// (PostgreSQL documentation, appendix A "PostgreSQL Error Codes").
struct StateKind {
    const char* sqlstate; // a whole code, or a class of two characters
    ProblemKind kind;
};
constexpr StateKind kStateKinds[] = {
    {"08", ProblemKind::ServerUnreachable},    // connection exception
    {"57P01", ProblemKind::ServerUnreachable}, // admin shutdown
    {"57P02", ProblemKind::ServerUnreachable}, // crash shutdown
    {"57P03", ProblemKind::ServerUnreachable}, // cannot connect now (starting up)
    {"28", ProblemKind::AuthenticationFailed}, // SQLSTATE class 28: the login was refused
    {"3D000", ProblemKind::DatabaseMissing},   // invalid catalog name
    {"42501", ProblemKind::ReadOnly},          // insufficient privilege
    {"25006", ProblemKind::ReadOnly},          // read-only transaction (a standby)
    {"53100", ProblemKind::DiskFull},          // disk full
    {"55P03", ProblemKind::Locked},            // lock not available
    // The server's own limits, set on each connection: a statement that ran
    // past it, a transaction left idle past it.
    {"57014", ProblemKind::ServerUnreachable}, // query canceled
    {"25P03", ProblemKind::ServerUnreachable}, // idle in transaction session timeout
};

// Transactions that met another station's and succeed when run again:
// serialization failure, deadlock, and a new entry another station saved
// first (the run again finds it as the twin).
constexpr const char* kRunAgainStates[] = {"40001", "40P01", "23505"};

// libpq gives no SQLSTATE for a refused login: the server's own words tell
// the cause, in English or, on a server set up in Japanese, in Japanese.
struct PhraseKind {
    const char* phrase;
    ProblemKind kind;
};
constexpr PhraseKind kLoginPhrases[] = {
    {"password authentication failed", ProblemKind::AuthenticationFailed},
    {"no password supplied", ProblemKind::AuthenticationFailed},
    {"authentication failed", ProblemKind::AuthenticationFailed},
    {"no pg_hba.conf entry", ProblemKind::AuthenticationFailed},
    {"認証に失敗しました", ProblemKind::AuthenticationFailed},
    {"パスワードが提供されませんでした", ProblemKind::AuthenticationFailed},
    {"pg_hba.conf", ProblemKind::AuthenticationFailed},
    {"role \"", ProblemKind::AuthenticationFailed}, // role "x" does not exist
    {"ロール\"", ProblemKind::AuthenticationFailed},
    {"database \"", ProblemKind::DatabaseMissing}, // database "x" does not exist
    {"データベース\"", ProblemKind::DatabaseMissing},
};

// What the user reads about a server: %1 host:port, %2 the database, %3 the user.
struct KindText {
    ProblemKind kind;
    const char* cause;
    const char* remedy;
};
constexpr KindText kServerTexts[] = {
    {ProblemKind::ServerUnreachable, "住所録と印刷履歴のサーバー（%1）につながりません。",
     "サーバーが動いているか、ネットワークと「データの保存先」のホスト名・ポート番号を確かめてください。"},
    {ProblemKind::AuthenticationFailed,
     "住所録と印刷履歴のサーバー（%1）が、ユーザー「%3」でデータベース「%2」に入ることを認めませんでした。",
     "パスワードは ~/.pgpass に書いてください。ユーザー名が正しいか、サーバーの pg_hba.conf "
     "でこのPCからの接続が許されているかを、サーバーの管理者に確かめてもらってください。"},
    {ProblemKind::DatabaseMissing, "住所録と印刷履歴のサーバー（%1）に、データベース「%2」がありません。",
     "「データの保存先」のデータベース名を確かめるか、サーバーの管理者に作ってもらってください。"},
    {ProblemKind::NewerVersion, "サーバー（%1）のデータベース「%2」は、このホルテアより新しい版で作られています。",
     "データには手を付けていません。このPCのホルテアを新しい版にしてください。"},
    {ProblemKind::Locked, "サーバー（%1）のデータベース「%2」を別のステーションが使っていて、待ちきれませんでした。",
     "少し待ってから、もう一度試してください。"},
    {ProblemKind::ReadOnly, "サーバー（%1）のデータベース「%2」に、ユーザー「%3」では書き込めません。",
     "サーバーの管理者に、このユーザーの権限（データベースの持ち主か）を確かめてもらってください。"},
    {ProblemKind::DiskFull, "サーバー（%1）のディスクの空きが足りず、データベース「%2」に書き込めません。",
     "サーバーの管理者に空きを作ってもらってください。"},
};

const QString kUntilServerAnswers = QStringLiteral("サーバーにつながるまで住所録と履歴は使えません。印刷はできます。");
const QString kUntilUpdated =
    QStringLiteral("このPCのホルテアを新しい版にするまで、住所録と履歴は使えません。印刷はできます。");

// A transaction may take this many round trips' limits in all (a long
// document recorded at once), on a server that knows such a limit.
constexpr int kTransactionLimitInRoundTrips = 10;
// A newer schema may make indexes over a large book.
constexpr int kSchemaUpgradeLimitMs = 5 * 60 * 1000;
constexpr int kMostRunsOfATransaction = 5;
// The first server that knows a limit on a whole transaction (PostgreSQL 17).
constexpr int kTransactionTimeoutSince = 170000;

} // namespace

PostgresServer::PostgresServer(ServerAddress server, QString locationProblem, Limits limits,
                               std::optional<QString> password)
    : m_server(std::move(server)), m_locationProblem(std::move(locationProblem)), m_limits(limits),
      m_password(std::move(password)), m_thread(limits.answerLimitMs)
{}

PostgresServer::~PostgresServer() { close(); }

QSqlDatabase PostgresServer::connection() const { return QSqlDatabase::database(m_connectionName, false); }

std::optional<Problem> PostgresServer::open()
{
    std::optional<Problem> problem;
    m_thread.run([&] { problem = openHere(); });
    return problem;
}

void PostgresServer::close()
{
    m_thread.run([&] { closeHere(); });
}

Ran PostgresServer::run(const std::function<bool(Statements&)>& body, Activity activity)
{
    Ran ran;
    m_thread.run([&] { ran = runHere(body, activity); });
    return ran;
}

bool PostgresServer::openConnection()
{
    m_connectionName = newConnectionName();
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    connection.setHostName(m_server.host);
    connection.setPort(m_server.port);
    connection.setDatabaseName(m_server.database);
    if (!m_server.user.isEmpty())
        connection.setUserName(m_server.user);
    // A password as typed, or the one kept for the server; without either,
    // libpq looks in ~/.pgpass itself.
    if (!m_password) {
        if (const platform::SecretRead kept = platform::readSecret(m_server.secretKey());
            kept.outcome == platform::SecretRead::Outcome::Found)
            m_password = kept.secret;
        else
            m_password = QString();
    }
    if (!m_password->isEmpty())
        connection.setPassword(*m_password);
    // Every wait has a limit: connecting (connect_timeout), a host gone
    // while idle (keepalives) or while data waits for its answer
    // (tcp_user_timeout), and on the server a statement or a transaction
    // left idle (a station gone mid-transaction frees its locks). Each
    // statement is planned for the tables as they are: a plan kept from when
    // they were empty would scan them whole once they fill.
    const int limitMs = m_limits.answerLimitMs;
    const int limitSeconds = qMax(1, limitMs / 1000);
    connection.setConnectOptions(
        QStringLiteral("connect_timeout=%1;application_name=horutea;keepalives=1;keepalives_idle=%2;"
                       "keepalives_interval=%3;keepalives_count=3;tcp_user_timeout=%4;"
                       "options='-c client_min_messages=warning -c plan_cache_mode=force_custom_plan "
                       "-c statement_timeout=%4 -c idle_in_transaction_session_timeout=%4'")
            .arg(qMax(2, m_limits.connectTimeoutSeconds))
            .arg(limitSeconds)
            .arg(qMax(1, limitSeconds / 3))
            .arg(limitMs));
    if (!connection.open())
        return false;
    const CancelHandles handles = cancelHandlesOf(connection.driver()->handle());
    m_thread.watchConnection(handles.cancel, handles.socket);
    return true;
}

void PostgresServer::closeHere()
{
    // Before the socket is closed, so a late watch never shuts another one.
    m_thread.watchConnection(nullptr, -1);
    if (m_connectionName.isEmpty())
        return;
    connection().close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

std::optional<Problem> PostgresServer::openHere()
{
    closeHere();
    if (!m_locationProblem.isEmpty())
        return Problem{ProblemKind::Other, m_locationProblem, {}, false};
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return Problem{
            ProblemKind::Other,
            QStringLiteral("住所録と印刷履歴のサーバー（%1）につなぐ部品（Qt の QPSQL ドライバー、Debian の "
                           "libqt6sql6-psql パッケージ）が入っていません。入れてから、もう一度起動してください。")
                    .arg(m_server.hostAndPort()) +
                kUntilServerAnswers,
            {},
            false};
    if (!openConnection()) {
        const QSqlError error = connection().lastError();
        return problemOf(error, Activity::Opening);
    }
    std::optional<QSqlError> error;
    bool newer = false;
    {
        Statements sql(connection(), Engine::Postgres, &m_thread);
        newer = prepareSchema(sql);
        error = sql.error();
    }
    if (newer) {
        closeHere();
        return Problem{ProblemKind::NewerVersion, describe(ProblemKind::NewerVersion, {}) + kUntilUpdated, {}, false};
    }
    if (error)
        return problemOf(*error, Activity::Opening);
    learnServer();
    return std::nullopt;
}

void PostgresServer::learnServer()
{
    Statements sql(connection(), Engine::Postgres, &m_thread);
    QSqlQuery server =
        sql.prepare(QStringLiteral("SELECT system_identifier::text, current_setting('server_version_num')::integer "
                                   "FROM pg_control_system()"));
    if (!sql.exec(server) || !sql.next(server))
        return; // a server that keeps its identity to itself is known by its address alone
    m_identity = server.value(0).toString();
    const int version = server.value(1).toInt();
    server.finish();
    if (version >= kTransactionTimeoutSince)
        sql.exec(QStringLiteral("SET transaction_timeout = %1")
                     .arg(qint64(m_limits.answerLimitMs) * kTransactionLimitInRoundTrips));
}

bool PostgresServer::prepareSchema(Statements& sql)
{
    // Any number of the program's own: stations starting together at an
    // empty database wait here for the first to make the tables.
    constexpr qint64 kSchemaLock = 0x486f7275746561; // "Horutea"
    if (!sql.exec(QStringLiteral("BEGIN")))
        return false;
    sql.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock));
    // Made only where it is missing: the server refuses even CREATE TABLE IF
    // NOT EXISTS to a role that may not make tables, and a station's role
    // may be one that only reads and writes the tables its owner made.
    QSqlQuery versionTable = sql.prepare(QStringLiteral("SELECT to_regclass('horutea_schema_version') IS NOT NULL"));
    const bool hasVersionTable = sql.exec(versionTable) && sql.next(versionTable) && versionTable.value(0).toBool();
    versionTable.finish();
    if (!hasVersionTable)
        sql.exec(QStringLiteral("CREATE TABLE horutea_schema_version (version INTEGER NOT NULL)"));
    QSqlQuery versionQuery =
        sql.prepare(QStringLiteral("SELECT coalesce(max(version), 0) FROM horutea_schema_version"));
    int version = 0;
    if (sql.exec(versionQuery) && sql.next(versionQuery))
        version = versionQuery.value(0).toInt();
    versionQuery.finish();
    const bool newer = version > currentSchemaVersion();
    if (!newer && version < currentSchemaVersion()) {
        // Indexes made over a large book take longer than a statement may.
        m_thread.setLongerLimitMs(kSchemaUpgradeLimitMs);
        sql.exec(QStringLiteral("SET LOCAL statement_timeout = %1").arg(kSchemaUpgradeLimitMs));
        for (const SchemaStep& step : schemaSteps()) {
            if (step.toVersion <= version)
                continue;
            for (const QString& statement : step.statementsFor(Engine::Postgres))
                sql.exec(statement);
        }
        sql.exec(QStringLiteral("DELETE FROM horutea_schema_version"));
        sql.exec(
            QStringLiteral("INSERT INTO horutea_schema_version (version) VALUES (%1)").arg(currentSchemaVersion()));
    }
    const bool committed = !newer && !sql.failed() && sql.exec(QStringLiteral("COMMIT"));
    m_thread.setLongerLimitMs(0);
    if (committed)
        return false;
    QSqlQuery rollback(connection());
    rollback.exec(QStringLiteral("ROLLBACK"));
    return newer;
}

Ran PostgresServer::runHere(const std::function<bool(Statements&)>& body, Activity activity)
{
    const auto once = [&](std::optional<QSqlError>& error) {
        QSqlDatabase db = connection();
        Statements sql(db, Engine::Postgres, &m_thread);
        bool done;
        if (activity == Activity::Writing) {
            done =
                sql.exec(QStringLiteral("BEGIN")) && body(sql) && !sql.failed() && sql.exec(QStringLiteral("COMMIT"));
            if (!done && db.isOpen() && !m_thread.connectionCut()) {
                QSqlQuery rollback(db); // refused, and harmless, when the transaction never began
                rollback.exec(QStringLiteral("ROLLBACK"));
            }
        } else {
            done = body(sql) && !sql.failed();
        }
        error = sql.error();
        return done;
    };
    std::optional<QSqlError> error;
    bool done = once(error);
    const auto worthRunningAgain = [](const QSqlError& failure) {
        for (const char* again : kRunAgainStates)
            if (failure.nativeErrorCode() == QLatin1String(again))
                return true;
        return false;
    };
    for (int run = 1;
         activity == Activity::Writing && error && worthRunningAgain(*error) && run < kMostRunsOfATransaction; ++run)
        done = once(error);
    if (error)
        return {false, problemOf(*error, activity)};
    return {done, std::nullopt};
}

ProblemKind PostgresServer::kindOf(const QSqlError& error, Activity activity) const
{
    const QString state = error.nativeErrorCode();
    if (!state.isEmpty()) {
        for (const auto& row : kStateKinds)
            if (state.startsWith(QLatin1String(row.sqlstate)))
                return row.kind;
    }
    if (activity != Activity::Opening) {
        if (!m_connectionName.isEmpty() && connectionLost(connection().driver()->handle()))
            return ProblemKind::ServerUnreachable;
        return ProblemKind::Other;
    }
    // A login that failed: a server that does not answer is told by libpq
    // itself; one that answers refused the user or has no such database.
    if (error.databaseText().contains(QLatin1String("timeout expired")))
        return ProblemKind::ServerUnreachable;
    switch (pingServer(m_server, m_limits.connectTimeoutSeconds)) {
    case ServerAnswer::NoResponse:
        return ProblemKind::ServerUnreachable;
    case ServerAnswer::Refusing:
        return ProblemKind::ServerUnreachable; // starting up or shutting down
    case ServerAnswer::Accepting:
    case ServerAnswer::Unknown:
        break;
    }
    const QString said = error.databaseText() + QLatin1Char(' ') + error.driverText();
    for (const auto& row : kLoginPhrases)
        if (said.contains(QString::fromUtf8(row.phrase), Qt::CaseInsensitive))
            return row.kind;
    return ProblemKind::Other;
}

QString PostgresServer::describe(ProblemKind kind, const QSqlError& error) const
{
    const QString user = m_server.user.isEmpty() ? QStringLiteral("（既定）") : m_server.user;
    for (const auto& row : kServerTexts)
        if (row.kind == kind)
            // Not every text names all three.
            return QString::fromUtf8(row.cause)
                       .replace(QLatin1String("%1"), m_server.hostAndPort())
                       .replace(QLatin1String("%2"), m_server.database)
                       .replace(QLatin1String("%3"), user) +
                   QString::fromUtf8(row.remedy);
    return QStringLiteral("住所録と印刷履歴のサーバー（%1）のデータベース「%2」を使えませんでした（%3）。")
        .arg(m_server.hostAndPort(), m_server.database, error.text().simplified());
}

Problem PostgresServer::problemOf(const QSqlError& error, Activity activity)
{
    const bool timedOut = m_thread.connectionCut() || error.nativeErrorCode() == QLatin1String("57014") ||
                          error.nativeErrorCode() == QLatin1String("25P03");
    const ProblemKind kind = timedOut ? ProblemKind::ServerUnreachable : kindOf(error, activity);
    QString text = timedOut ? QStringLiteral("住所録と印刷履歴のサーバー（%1）が、%2 秒待っても応答しませんでした。"
                                             "サーバーが混んでいるか、止まっているか、ネットワークが切れています。")
                                  .arg(m_server.hostAndPort())
                                  .arg(m_limits.answerLimitMs / 1000.0)
                            : describe(kind, error);
    if (activity == Activity::Writing)
        text += changeNotSavedText();
    // Without the connection nothing more can be done until it is made
    // again, which the next use after a while tries.
    if (activity == Activity::Opening || kind == ProblemKind::ServerUnreachable ||
        kind == ProblemKind::AuthenticationFailed || kind == ProblemKind::DatabaseMissing) {
        closeHere();
        return {kind, text + kUntilServerAnswers, {}, false};
    }
    return {kind, text, {}, true};
}

} // namespace storage
