#pragma once
// The statements of one operation on the address book and history's
// database, on either engine.
#include "storage/schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <optional>

namespace storage {

// A text as a value for a NOT NULL column: the driver stores a null QString,
// which every default-constructed field is, as SQL NULL.
inline QVariant textValue(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

// Runs the statements of one operation; every failure is remembered so the
// operation can stop at the first one and the database can tell what went
// wrong.
class Statements {
public:
    explicit Statements(const QSqlDatabase& connection, Engine engine = Engine::Sqlite)
        : m_connection(connection), m_engine(engine)
    {}

    Engine engine() const { return m_engine; }
    // A condition that the column holds the one bound value somewhere.
    QString containsCondition(QLatin1StringView column) const;

    // A prepared statement with its values bound in order; an invalid query
    // (and a recorded failure) when it does not prepare.
    QSqlQuery prepare(const QString& sql, std::initializer_list<QVariant> values = {});
    // Executes; false and a recorded failure on error.
    bool exec(QSqlQuery& query);
    // Without values the statement runs as it stands (BEGIN, DDL: a server
    // prepares only queries).
    bool exec(const QString& sql, std::initializer_list<QVariant> values = {});
    // Steps to the next row; false at the end and on error (then recorded).
    bool next(QSqlQuery& query);

    bool failed() const { return m_error.has_value(); }
    const std::optional<QSqlError>& error() const { return m_error; }
    void fail(const QSqlError& error);

private:
    QSqlDatabase m_connection;
    Engine m_engine;
    std::optional<QSqlError> m_error;
};

} // namespace storage
