#pragma once
// The address book and history in one SQLite file on this PC: the file
// checked before it is opened, its schema brought up to date, SQLite's
// errors said as the user's problems, and a damaged file set aside for a
// fresh one.
#include "storage/backend.h"

namespace storage {

class SqliteFile final : public Backend {
public:
    // vfsName: a SQLite VFS registered under this name opens the file instead
    // of the default one (the tests inject failing devices this way).
    SqliteFile(QString filePath, QString vfsName, int busyTimeoutMs);
    ~SqliteFile() override;

    Engine engine() const override { return Engine::Sqlite; }
    std::optional<Problem> open() override;
    void close() override;
    bool run(const std::function<bool(Statements&)>& body, bool inTransaction,
             std::optional<QSqlError>& error) override;
    Problem problemOf(const QSqlError& error, Activity activity) override;
    void prepareForFirstUse() const override;

private:
    bool openConnection();
    // Brings the schema up to date in one transaction; the lock it takes
    // also finds a file another program holds. Failures go to the statements.
    void prepareSchema(Statements& sql);
    // The damaged file moved aside and a fresh one opened in its place.
    Problem startAfresh(const QSqlError& error);
    QSqlDatabase connection() const;

    QString m_filePath;
    QString m_vfsName;
    int m_busyTimeoutMs;
    QString m_connectionName;
    bool m_startingAfresh = false; // a fresh file after a damaged one is never set aside in turn
};

} // namespace storage
