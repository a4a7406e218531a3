#include "storage/sqlitefile.h"

#include "platform/files.h"
#include "platform/readfile.h"
#include "storage/damagedfile.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

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

ProblemKind kindOf(const QSqlError& error)
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

QString describe(ProblemKind kind, const QString& filePath, const QSqlError& error = {})
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

} // namespace

SqliteFile::SqliteFile(QString filePath, QString vfsName, int busyTimeoutMs)
    : m_filePath(std::move(filePath)), m_vfsName(std::move(vfsName)), m_busyTimeoutMs(busyTimeoutMs)
{}

SqliteFile::~SqliteFile() { close(); }

QSqlDatabase SqliteFile::connection() const { return QSqlDatabase::database(m_connectionName, false); }

bool SqliteFile::openConnection()
{
    m_connectionName = newConnectionName();
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs);
    if (m_vfsName.isEmpty()) {
        connection.setDatabaseName(m_filePath);
    } else {
        const QUrl url = QUrl::fromLocalFile(QFileInfo(m_filePath).absoluteFilePath());
        connection.setDatabaseName(
            QStringLiteral("file:%1?vfs=%2")
                .arg(url.path(QUrl::FullyEncoded), QString::fromUtf8(QUrl::toPercentEncoding(m_vfsName))));
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    }
    connection.setConnectOptions(options);
    return connection.open();
}

void SqliteFile::close()
{
    if (m_connectionName.isEmpty())
        return;
    connection().close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

std::optional<Problem> SqliteFile::open()
{
    close();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return Problem{ProblemKind::Other,
                       QStringLiteral("住所録と印刷履歴に使う SQLite の部品（Qt の QSQLITE ドライバー）が見つかりません。"
                                      "ホルテアを入れ直してください。") +
                           kWithoutDatabase,
                       {},
                       false};
    if (!platform::ensureFolder(folderOf(m_filePath)))
        return Problem{ProblemKind::ReadOnly, describe(ProblemKind::ReadOnly, m_filePath) + kWithoutDatabase, {}, false};
    // SQLite would wait for ever on a named pipe and cannot use a folder or a
    // device; such a thing under the file's name is said as what it is.
    if (const QString problem = platform::specialFileProblem(m_filePath, QStringLiteral("住所録と印刷履歴のファイル"));
        !problem.isEmpty())
        return Problem{ProblemKind::Unreadable, problem + kWithoutDatabase, {}, false};
    // A file that cannot be written is found before the first print wants to
    // record it. Asked of the file system, not tried by writing: a test write
    // would touch a damaged file before its damage shows.
    if (QFileInfo::exists(m_filePath) &&
        !(QFileInfo(m_filePath).isWritable() && platform::folderWritable(folderOf(m_filePath))))
        return Problem{ProblemKind::ReadOnly, describe(ProblemKind::ReadOnly, m_filePath) + kWithoutDatabase, {}, false};
    if (!openConnection()) {
        // Copied first: a handle to the connection still alive when it is
        // closed and removed would keep it in use.
        const QSqlError error = connection().lastError();
        return problemOf(error, Activity::Opening);
    }

    std::optional<QSqlError> error;
    bool newer = false;
    {
        Statements sql(connection());
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
        close();
        return Problem{ProblemKind::NewerVersion, describe(ProblemKind::NewerVersion, m_filePath) + kWithoutDatabase,
                       {}, false};
    }
    if (error)
        return problemOf(*error, Activity::Opening);
    return std::nullopt;
}

void SqliteFile::prepareSchema(Statements& sql)
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
        for (const QString& statement : step.statementsFor(Engine::Sqlite))
            sql.exec(statement);
        sql.exec(QStringLiteral("PRAGMA user_version = %1").arg(step.toVersion));
    }
    if (!sql.failed() && sql.exec(QStringLiteral("COMMIT")))
        return;
    QSqlQuery rollback(connection());
    rollback.exec(QStringLiteral("ROLLBACK"));
}

bool SqliteFile::run(const std::function<bool(Statements&)>& body, bool inTransaction,
                     std::optional<QSqlError>& error)
{
    QSqlDatabase db = connection();
    Statements sql(db, Engine::Sqlite);
    bool done;
    if (inTransaction) {
        done = sql.exec(QStringLiteral("BEGIN IMMEDIATE")) && body(sql) && !sql.failed() &&
               sql.exec(QStringLiteral("COMMIT"));
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

Problem SqliteFile::startAfresh(const QSqlError& error)
{
    close();
    const QString damaged = describe(ProblemKind::Damaged, m_filePath, error);
    const std::optional<QString> aside = setDamagedFileAside(m_filePath);
    if (!aside)
        return {ProblemKind::Damaged,
                damaged +
                    QStringLiteral(
                        "別の名前に移すこともできませんでした。フォルダーの書き込みの権限を確かめてください。") +
                    kWithoutDatabase,
                {},
                false};
    const QString asideName = QDir::toNativeSeparators(*aside);
    m_startingAfresh = true;
    const std::optional<Problem> freshProblem = open();
    m_startingAfresh = false;
    if (!freshProblem || freshProblem->databaseUsable)
        return {ProblemKind::Damaged,
                damaged +
                    QStringLiteral(
                        "「%1」という名前で残し、新しいファイルで始めます。以前の住所録と履歴は新しいファイルには入っていません。")
                        .arg(asideName),
                *aside, true};
    // The fresh file failed too; tell both.
    return {freshProblem->kind,
            damaged + QStringLiteral("「%1」という名前で残しました。").arg(asideName) + freshProblem->message, *aside,
            false};
}

Problem SqliteFile::problemOf(const QSqlError& error, Activity activity)
{
    ProblemKind kind = kindOf(error);
    // A file that exists but whose folder refuses the log beside it cannot be
    // opened either; the folder is the cause to name.
    if (kind == ProblemKind::Unreadable && QFileInfo(m_filePath).isReadable() &&
        !platform::folderWritable(folderOf(m_filePath)))
        kind = ProblemKind::ReadOnly;
    if (kind == ProblemKind::Damaged && !m_startingAfresh)
        return startAfresh(error);

    const QString text = describe(kind, m_filePath, error);
    // A file found read-only in use stays so; going on without it is
    // clearer than failing at every print.
    if (kind == ProblemKind::ReadOnly)
        activity = Activity::Opening;
    switch (activity) {
    case Activity::Opening:
        close();
        return {kind, text + kWithoutDatabase, {}, false};
    case Activity::Writing:
        return {kind, text + changeNotSavedText(), {}, true};
    case Activity::Reading:
        break;
    }
    return {kind, text, {}, true};
}

void SqliteFile::prepareForFirstUse() const
{
    if (!QFileInfo(m_filePath).isFile())
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

} // namespace storage
