#include "storage/database.h"

#include "platform/files.h"
#include "platform/readfile.h"
#include "storage/schema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUrl>
#include <algorithm>

namespace storage {

namespace {

// SQLite's primary result codes that decide what the user is told.
enum SqliteCode {
    kSqlitePerm = 3,
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteReadOnly = 8,
    kSqliteIoErr = 10,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteCantOpen = 14,
    kSqliteAuth = 23,
    kSqliteNotADb = 26,
};

struct CodeKind {
    int sqliteCode;
    ProblemKind kind;
};
constexpr CodeKind kCodeKinds[] = {
    {kSqliteCorrupt, ProblemKind::Damaged},     {kSqliteNotADb, ProblemKind::Damaged},
    {kSqliteBusy, ProblemKind::Locked},         {kSqliteLocked, ProblemKind::Locked},
    {kSqliteReadOnly, ProblemKind::ReadOnly},   {kSqliteFull, ProblemKind::DiskFull},
    {kSqliteCantOpen, ProblemKind::Unreadable}, {kSqlitePerm, ProblemKind::Unreadable},
    {kSqliteAuth, ProblemKind::Unreadable},     {kSqliteIoErr, ProblemKind::Unreadable},
};

// What the user reads: the cause, then what to do. %1 is the file.
struct KindText {
    ProblemKind kind;
    const char* cause;
    const char* remedy;
};
constexpr KindText kKindTexts[] = {
    {ProblemKind::Damaged, "住所録と印刷履歴のファイル「%1」が壊れていて読めません。",
     "壊れたファイルは消さずに残しました。"},
    {ProblemKind::NewerVersion, "住所録と印刷履歴のファイル「%1」は、このホルテアより新しい版で作られています。",
     "ファイルには手を付けていません。新しい版のホルテアで開いてください。"},
    {ProblemKind::Locked, "住所録と印刷履歴のファイル「%1」を別のプログラムが使っています。",
     "ホルテアをもう一つ開いていないか、ほかのプログラムがこのファイルを開いていないか確かめてください。"},
    {ProblemKind::ReadOnly, "住所録と印刷履歴のファイル「%1」か、そのフォルダーに書き込めません。",
     "ファイルとフォルダーの書き込みの権限を確かめてください。"},
    {ProblemKind::Unreadable, "住所録と印刷履歴のファイル「%1」を開けません（読み取れません）。",
     "ファイルの読み取りの権限と、ディスクに異常がないかを確かめてください。"},
    {ProblemKind::DiskFull, "ディスクの空きが足りず、住所録と印刷履歴のファイル「%1」に書き込めません。",
     "不要なファイルを消して、ディスクに空きを作ってください。"},
    {ProblemKind::Other, "住所録と印刷履歴のファイル「%1」を使えませんでした（%2）。", ""},
};

const QString kWithoutDatabase =
    QStringLiteral("今回は住所録と履歴を使わずに続けます。印刷はできますが、印刷の履歴は記録されません。");
const QString kChangeNotSaved =
    QStringLiteral("いまの変更は保存されていません。それまでの内容はそのまま残っています。");

ProblemKind sqliteKindOf(const QSqlError& error)
{
    bool numeric = false;
    const int code =
        error.nativeErrorCode().toInt(&numeric) & 0xff; // extended codes carry the primary one in the low byte
    if (numeric)
        for (const auto& row : kCodeKinds)
            if (row.sqliteCode == code)
                return row.kind;
    return ProblemKind::Other;
}

QString describe(ProblemKind kind, const QString& filePath, const QSqlError& error)
{
    for (const auto& row : kKindTexts) {
        if (row.kind != kind)
            continue;
        QString text = QString::fromUtf8(row.cause).arg(QDir::toNativeSeparators(filePath));
        if (kind == ProblemKind::Other)
            text = text.arg(error.text());
        const QString remedy = QString::fromUtf8(row.remedy);
        return remedy.isEmpty() ? text : text + remedy;
    }
    return {};
}

QString folderOf(const QString& filePath) { return QFileInfo(filePath).absolutePath(); }

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
bool worthRunningAgain(const QSqlError& error)
{
    const QString state = error.nativeErrorCode();
    return state == QLatin1String("40001") || state == QLatin1String("40P01") || state == QLatin1String("23505");
}
constexpr int kMostRunsOfATransaction = 5;

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

int gConnectionSerial = 0;

} // namespace

// ---- Statements ----

QSqlQuery Statements::prepare(const QString& sql, std::initializer_list<QVariant> values)
{
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    if (failed())
        return query;
    if (!query.prepare(sql)) {
        fail(query.lastError());
        return query;
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query;
}

bool Statements::exec(QSqlQuery& query)
{
    if (failed())
        return false;
    if (!query.exec()) {
        fail(query.lastError());
        return false;
    }
    return true;
}

bool Statements::exec(const QString& sql, std::initializer_list<QVariant> values)
{
    if (values.size() == 0) {
        if (failed())
            return false;
        QSqlQuery query(m_connection);
        if (!query.exec(sql)) {
            fail(query.lastError());
            return false;
        }
        return true;
    }
    QSqlQuery query = prepare(sql, values);
    return exec(query);
}

QString Statements::containsCondition(QLatin1StringView column) const
{
    return (m_engine == Engine::Postgres ? QStringLiteral("strpos(%1, ?) > 0") : QStringLiteral("instr(%1, ?) > 0"))
        .arg(column);
}

bool Statements::next(QSqlQuery& query)
{
    if (failed())
        return false;
    if (query.next())
        return true;
    if (query.lastError().isValid())
        fail(query.lastError());
    return false;
}

void Statements::fail(const QSqlError& error)
{
    if (!m_error)
        m_error = error;
}

// ---- Database ----

Database::Database(QString location) : Database(std::move(location), Options{}) {}

Database::Database(QString location, Options options) : m_filePath(std::move(location)), m_options(std::move(options))
{
    if (isServerUrl(m_filePath)) {
        m_engine = Engine::Postgres;
        if (const Result<ServerAddress> server = serverAddressFrom(m_filePath))
            m_server = *server;
        else
            m_locationProblem = server.error();
    }
}

Database::~Database() { closeConnection(); }

int Database::currentSchemaVersion() { return schemaSteps().back().toVersion; }

bool Database::ensureOpen()
{
    switch (m_state) {
    case State::Open:
        return true;
    case State::Unavailable:
        // A server that did not answer is asked again after a while, so a
        // station goes on with it once it is back.
        if (m_engine == Engine::Postgres && m_locationProblem.isEmpty() &&
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
        m_kindTold.reset(); // asked for again, so the same fault is told again
    }
    return ensureOpen();
}

bool Database::openConnection()
{
    m_connectionName = QStringLiteral("horutea-storage-%1").arg(++gConnectionSerial);
    if (m_engine == Engine::Postgres) {
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
                .arg(qMax(2, m_options.connectTimeoutSeconds)));
        return connection.open();
    }
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_options.busyTimeoutMs);
    if (m_options.vfsName.isEmpty()) {
        connection.setDatabaseName(m_filePath);
    } else {
        const QUrl url = QUrl::fromLocalFile(QFileInfo(m_filePath).absoluteFilePath());
        connection.setDatabaseName(
            QStringLiteral("file:%1?vfs=%2")
                .arg(url.path(QUrl::FullyEncoded), QString::fromUtf8(QUrl::toPercentEncoding(m_options.vfsName))));
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    }
    connection.setConnectOptions(options);
    return connection.open();
}

void Database::closeConnection()
{
    if (m_connectionName.isEmpty())
        return;
    {
        QSqlDatabase connection = QSqlDatabase::database(m_connectionName, false);
        connection.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

bool Database::open()
{
    closeConnection();
    m_state = State::Unavailable;
    m_failedAtMs = QDateTime::currentMSecsSinceEpoch();
    return m_engine == Engine::Postgres ? openServer() : openFile();
}

bool Database::openServer()
{
    if (!m_locationProblem.isEmpty()) {
        raise({ProblemKind::Other, m_locationProblem, {}, false});
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        raise({ProblemKind::Other,
               QStringLiteral("住所録と印刷履歴のサーバー（%1）につなぐ部品（Qt の QPSQL ドライバー、Debian の "
                              "libqt6sql6-psql パッケージ）が入っていません。入れてから、もう一度起動してください。")
                       .arg(m_server.hostAndPort()) +
                   kUntilServerAnswers,
               {},
               false});
        return false;
    }
    if (!openConnection()) {
        const QSqlError error = QSqlDatabase::database(m_connectionName, false).lastError();
        return afterServerFailure(error, Activity::Opening);
    }
    std::optional<QSqlError> error;
    bool newer = false;
    {
        Statements sql(QSqlDatabase::database(m_connectionName, false), m_engine);
        newer = prepareServerSchema(sql);
        error = sql.error();
    }
    if (newer) {
        closeConnection();
        raise({ProblemKind::NewerVersion,
               describeServer(ProblemKind::NewerVersion, {}) + kUntilServerAnswers,
               {},
               false});
        return false;
    }
    if (error)
        return afterServerFailure(*error, Activity::Opening);
    m_state = State::Open;
    return true;
}

bool Database::prepareServerSchema(Statements& sql)
{
    // Any number of the program's own: stations starting together at an
    // empty database wait here for the first to make the tables.
    constexpr qint64 kSchemaLock = 0x486f7275746561; // "Horutea"
    if (!sql.exec(QStringLiteral("BEGIN")))
        return false;
    sql.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock));
    sql.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS horutea_schema_version (version INTEGER NOT NULL)"));
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
            for (const char* statement : step.statementsFor(Engine::Postgres))
                sql.exec(QString::fromUtf8(statement));
        }
        sql.exec(QStringLiteral("DELETE FROM horutea_schema_version"));
        sql.exec(
            QStringLiteral("INSERT INTO horutea_schema_version (version) VALUES (%1)").arg(currentSchemaVersion()));
    }
    if (!newer && !sql.failed() && sql.exec(QStringLiteral("COMMIT")))
        return false;
    QSqlQuery rollback(QSqlDatabase::database(m_connectionName, false));
    rollback.exec(QStringLiteral("ROLLBACK"));
    return newer;
}

bool Database::openFile()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        raise({ProblemKind::Other,
               QStringLiteral("住所録と印刷履歴に使う SQLite の部品（Qt の QSQLITE ドライバー）が見つかりません。"
                              "ホルテアを入れ直してください。") +
                   kWithoutDatabase,
               {},
               false});
        return false;
    }
    if (!platform::ensureFolder(folderOf(m_filePath))) {
        raise({ProblemKind::ReadOnly, describe(ProblemKind::ReadOnly, m_filePath, {}) + kWithoutDatabase, {}, false});
        return false;
    }
    // SQLite would wait for ever on a named pipe and cannot use a folder or a
    // device; such a thing under the file's name is said as what it is.
    if (const QString problem = platform::specialFileProblem(m_filePath, QStringLiteral("住所録と印刷履歴のファイル"));
        !problem.isEmpty()) {
        raise({ProblemKind::Unreadable, problem + kWithoutDatabase, {}, false});
        return false;
    }
    // A file that cannot be written is found before the first print wants to
    // record it. Asked of the file system, not tried by writing: a test write
    // would touch a damaged file before its damage shows.
    if (QFileInfo::exists(m_filePath) &&
        !(QFileInfo(m_filePath).isWritable() && platform::folderWritable(folderOf(m_filePath)))) {
        raise({ProblemKind::ReadOnly, describe(ProblemKind::ReadOnly, m_filePath, {}) + kWithoutDatabase, {}, false});
        return false;
    }
    if (!openConnection()) {
        // Copied first: a handle to the connection still alive when it is
        // closed and removed would keep it in use.
        const QSqlError error = QSqlDatabase::database(m_connectionName, false).lastError();
        return afterFailure(error, Activity::Opening);
    }

    std::optional<QSqlError> error;
    bool newer = false;
    {
        Statements sql(QSqlDatabase::database(m_connectionName, false));
        // Read before anything is written: a file of a newer version must stay
        // exactly as it is.
        QSqlQuery version = sql.prepare(QStringLiteral("PRAGMA user_version"));
        if (sql.exec(version) && sql.next(version))
            newer = version.value(0).toInt() > currentSchemaVersion();
        version.finish(); // an open statement would keep a read transaction the mode change below cannot run in
        if (!newer && !sql.failed())
            prepareSchema(sql);
        error = sql.error();
    }
    if (newer) {
        closeConnection();
        raise({ProblemKind::NewerVersion,
               describe(ProblemKind::NewerVersion, m_filePath, {}) + kWithoutDatabase,
               {},
               false});
        return false;
    }
    if (error)
        return afterFailure(*error, Activity::Opening);
    m_state = State::Open;
    return true;
}

void Database::prepareSchema(Statements& sql)
{
    // Settings of the connection. With write-ahead logging a commit is one
    // append to the log, so recording a print costs well under a millisecond;
    // synchronous=NORMAL keeps the file sound on power loss and may lose only
    // the last commits.
    sql.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    sql.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));

    if (!sql.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return;
    QSqlQuery versionQuery = sql.prepare(QStringLiteral("PRAGMA user_version"));
    int version = 0;
    if (sql.exec(versionQuery) && sql.next(versionQuery))
        version = versionQuery.value(0).toInt();
    versionQuery.finish();
    for (const SchemaStep& step : schemaSteps()) {
        if (step.toVersion <= version)
            continue;
        for (const char* statement : step.statementsFor(Engine::Sqlite))
            sql.exec(QString::fromUtf8(statement));
        sql.exec(QStringLiteral("PRAGMA user_version = %1").arg(step.toVersion));
    }
    if (!sql.failed() && sql.exec(QStringLiteral("COMMIT")))
        return;
    QSqlQuery rollback(QSqlDatabase::database(m_connectionName, false));
    rollback.exec(QStringLiteral("ROLLBACK"));
}

bool Database::transaction(const std::function<bool(Statements&)>& body, std::optional<QSqlError>& error)
{
    QSqlDatabase connection = QSqlDatabase::database(m_connectionName, false);
    Statements sql(connection, m_engine);
    const bool done =
        sql.exec(m_engine == Engine::Postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")) &&
        body(sql) && !sql.failed() && sql.exec(QStringLiteral("COMMIT"));
    if (!done && connection.isOpen()) {
        QSqlQuery rollback(connection); // refused, and harmless, when the transaction never began
        rollback.exec(QStringLiteral("ROLLBACK"));
    }
    error = sql.error();
    return done;
}

bool Database::write(const std::function<bool(Statements&)>& body)
{
    if (!ensureOpen())
        return false;
    std::optional<QSqlError> error;
    bool done = transaction(body, error);
    for (int run = 1;
         error && m_engine == Engine::Postgres && worthRunningAgain(*error) && run < kMostRunsOfATransaction; ++run)
        done = transaction(body, error);
    if (error) {
        afterFailure(*error, Activity::Writing);
        return false;
    }
    if (done)
        succeeded();
    return done;
}

bool Database::read(const std::function<bool(Statements&)>& body)
{
    if (!ensureOpen())
        return false;
    std::optional<QSqlError> error;
    bool done;
    {
        Statements sql(QSqlDatabase::database(m_connectionName, false), m_engine);
        done = body(sql) && !sql.failed();
        error = sql.error();
    }
    if (error) {
        afterFailure(*error, Activity::Reading);
        return false;
    }
    return done;
}

std::optional<QString> Database::setDamagedFileAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = QStringLiteral("%1.damaged-%2").arg(m_filePath, stamp);
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo::exists(aside + QStringLiteral("-wal")); ++n)
        aside = QStringLiteral("%1.damaged-%2-%3").arg(m_filePath, stamp).arg(n);
    if (!QFile::rename(m_filePath, aside))
        return std::nullopt;
    // The log and index belong to the damaged file; they go with it so the new
    // file does not pick them up.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString companion = m_filePath + QLatin1String(suffix);
        if (QFileInfo::exists(companion))
            QFile::rename(companion, aside + QLatin1String(suffix));
    }
    return aside;
}

ProblemKind Database::kindOf(const QSqlError& error, Activity activity) const
{
    if (m_engine == Engine::Sqlite)
        return sqliteKindOf(error);
    const QString state = error.nativeErrorCode();
    if (!state.isEmpty()) {
        for (const auto& row : kStateKinds)
            if (state.startsWith(QLatin1String(row.sqlstate)))
                return row.kind;
    }
    if (activity != Activity::Opening) {
        if (!m_connectionName.isEmpty() &&
            connectionLost(QSqlDatabase::database(m_connectionName, false).driver()->handle()))
            return ProblemKind::ServerUnreachable;
        return ProblemKind::Other;
    }
    // A login that failed: a server that does not answer is told by libpq
    // itself; one that answers refused the user or has no such database.
    switch (pingServer(m_server, m_options.connectTimeoutSeconds)) {
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

QString Database::describeServer(ProblemKind kind, const QSqlError& error) const
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

bool Database::afterServerFailure(const QSqlError& error, Activity activity)
{
    const ProblemKind kind = kindOf(error, activity);
    const QString text = describeServer(kind, error);
    // Without the connection nothing more can be done until it is made
    // again, which the next use after a while tries.
    if (activity == Activity::Opening || kind == ProblemKind::ServerUnreachable ||
        kind == ProblemKind::AuthenticationFailed || kind == ProblemKind::DatabaseMissing) {
        closeConnection();
        m_state = State::Unavailable;
        m_failedAtMs = QDateTime::currentMSecsSinceEpoch();
        raise({kind,
               text + (activity == Activity::Writing ? kChangeNotSaved : QString()) + kUntilServerAnswers,
               {},
               false});
        return false;
    }
    raise({kind, text + (activity == Activity::Writing ? kChangeNotSaved : QString()), {}, true});
    return true;
}

bool Database::afterFailure(const QSqlError& error, Activity activity)
{
    if (m_engine == Engine::Postgres)
        return afterServerFailure(error, activity);
    ProblemKind kind = kindOf(error, activity);
    // A file that exists but whose folder refuses the log beside it cannot be
    // opened either; the folder is the cause to name.
    if (kind == ProblemKind::Unreadable && QFileInfo(m_filePath).isReadable() &&
        !platform::folderWritable(folderOf(m_filePath)))
        kind = ProblemKind::ReadOnly;

    if (kind == ProblemKind::Damaged && !m_startingAfresh) {
        closeConnection();
        m_state = State::Unavailable;
        const QString damaged = describe(kind, m_filePath, error);
        const std::optional<QString> aside = setDamagedFileAside();
        if (!aside) {
            raise({kind,
                   damaged +
                       QStringLiteral(
                           "別の名前に移すこともできませんでした。フォルダーの書き込みの権限を確かめてください。") +
                       kWithoutDatabase,
                   {},
                   false});
            return false;
        }
        const QString asideName = QDir::toNativeSeparators(*aside);
        m_startingAfresh = true;
        const bool fresh = open();
        m_startingAfresh = false;
        if (fresh) {
            raise(
                {kind,
                 damaged +
                     QStringLiteral(
                         "「%1」という名前で残し、新しいファイルで始めます。以前の住所録と履歴は新しいファイルには入っていません。")
                         .arg(asideName),
                 *aside, true});
            return true;
        }
        // The fresh file failed too; tell both.
        const Problem failedAfresh = m_lastProblem.value_or(Problem{});
        raise({failedAfresh.kind,
               damaged + QStringLiteral("「%1」という名前で残しました。").arg(asideName) + failedAfresh.message, *aside,
               false});
        return false;
    }

    const QString text = describe(kind, m_filePath, error);
    // A file found read-only in use stays so; going on without it is
    // clearer than failing at every print.
    if (kind == ProblemKind::ReadOnly)
        activity = Activity::Opening;
    switch (activity) {
    case Activity::Opening:
        closeConnection();
        m_state = State::Unavailable;
        raise({kind, text + kWithoutDatabase, {}, false});
        return false;
    case Activity::Writing:
        raise({kind, text + kChangeNotSaved, {}, true});
        return true;
    case Activity::Reading:
        raise({kind, text, {}, true});
        return true;
    }
    return true;
}

void Database::raise(Problem problem)
{
    const bool repeat = m_kindTold && *m_kindTold == problem.kind;
    m_lastProblem = std::move(problem);
    if (repeat)
        return;
    m_kindTold = m_lastProblem->kind;
    if (!m_listening.empty())
        m_listening.back()->m_met = m_lastProblem;
    else if (m_receiver)
        m_receiver(*m_lastProblem);
}

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
    loadDriver(m_engine);
    if (m_engine != Engine::Sqlite || !QFileInfo(m_filePath).isFile())
        return;
    const QString name = QStringLiteral("horutea-storage-prepare");
    {
        QSqlDatabase look = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        look.setDatabaseName(m_filePath);
        // A file another program holds is left for the first operation,
        // which waits for it as it must; this never waits.
        look.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=0"));
        if (look.open())
            QSqlQuery(QStringLiteral("SELECT count(*) FROM sqlite_master"), look).next();
        look.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void Database::succeeded() { m_kindTold.reset(); }

ProblemsMet::ProblemsMet(Database& database) : m_database(database) { m_database.m_listening.push_back(this); }

ProblemsMet::~ProblemsMet()
{
    auto& listening = m_database.m_listening;
    listening.erase(std::find(listening.begin(), listening.end(), this));
    if (!m_met)
        return;
    if (!listening.empty())
        listening.back()->m_met = std::move(m_met);
    else if (m_database.m_receiver)
        m_database.m_receiver(*m_met);
}

} // namespace storage
