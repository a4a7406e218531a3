#include "storage/postgresserver.h"

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

} // namespace

PostgresServer::PostgresServer(ServerAddress server, QString locationProblem, int connectTimeoutSeconds)
    : m_server(std::move(server)), m_locationProblem(std::move(locationProblem)),
      m_connectTimeoutSeconds(connectTimeoutSeconds)
{}

PostgresServer::~PostgresServer() { close(); }

QSqlDatabase PostgresServer::connection() const { return QSqlDatabase::database(m_connectionName, false); }

bool PostgresServer::openConnection()
{
    m_connectionName = newConnectionName();
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    connection.setHostName(m_server.host);
    connection.setPort(m_server.port);
    connection.setDatabaseName(m_server.database);
    if (!m_server.user.isEmpty())
        connection.setUserName(m_server.user);
    // Keepalives find a server gone mid-day while the station is idle.
    // Each statement is planned for the tables as they are: a plan kept
    // from when they were empty would scan them whole once they fill.
    connection.setConnectOptions(
        QStringLiteral("connect_timeout=%1;application_name=horutea;keepalives_idle=30;keepalives_interval=10;"
                       "options='-c client_min_messages=warning -c plan_cache_mode=force_custom_plan'")
            .arg(qMax(2, m_connectTimeoutSeconds)));
    return connection.open();
}

void PostgresServer::close()
{
    if (m_connectionName.isEmpty())
        return;
    connection().close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

std::optional<Problem> PostgresServer::open()
{
    close();
    if (!m_locationProblem.isEmpty())
        return Problem{ProblemKind::Other, m_locationProblem, {}, false};
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return Problem{ProblemKind::Other,
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
        Statements sql(connection(), Engine::Postgres);
        newer = prepareSchema(sql);
        error = sql.error();
    }
    if (newer) {
        close();
        return Problem{ProblemKind::NewerVersion, describe(ProblemKind::NewerVersion, {}) + kUntilServerAnswers, {},
                       false};
    }
    if (error)
        return problemOf(*error, Activity::Opening);
    return std::nullopt;
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
    QSqlQuery versionTable =
        sql.prepare(QStringLiteral("SELECT to_regclass('horutea_schema_version') IS NOT NULL"));
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
    if (!newer && !sql.failed() && sql.exec(QStringLiteral("COMMIT")))
        return false;
    QSqlQuery rollback(connection());
    rollback.exec(QStringLiteral("ROLLBACK"));
    return newer;
}

bool PostgresServer::run(const std::function<bool(Statements&)>& body, bool inTransaction,
                         std::optional<QSqlError>& error)
{
    QSqlDatabase db = connection();
    Statements sql(db, Engine::Postgres);
    bool done;
    if (inTransaction) {
        done = sql.exec(QStringLiteral("BEGIN")) && body(sql) && !sql.failed() && sql.exec(QStringLiteral("COMMIT"));
        if (!done && db.isOpen()) {
            QSqlQuery rollback(db); // refused, and harmless, when the transaction never began
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
    } else {
        done = body(sql) && !sql.failed();
    }
    error = sql.error();
    return done;
}

bool PostgresServer::worthRunningAgain(const QSqlError& error) const
{
    const QString state = error.nativeErrorCode();
    for (const char* again : kRunAgainStates)
        if (state == QLatin1String(again))
            return true;
    return false;
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
    switch (pingServer(m_server, m_connectTimeoutSeconds)) {
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
    const ProblemKind kind = kindOf(error, activity);
    const QString text = describe(kind, error) + (activity == Activity::Writing ? changeNotSavedText() : QString());
    // Without the connection nothing more can be done until it is made
    // again, which the next use after a while tries.
    if (activity == Activity::Opening || kind == ProblemKind::ServerUnreachable ||
        kind == ProblemKind::AuthenticationFailed || kind == ProblemKind::DatabaseMissing) {
        close();
        return {kind, text + kUntilServerAnswers, {}, false};
    }
    return {kind, text, {}, true};
}

} // namespace storage
