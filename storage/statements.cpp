#include "storage/statements.h"

#include "storage/backend.h"

#include <atomic>

namespace storage {

QString newConnectionName()
{
    static std::atomic<int> serial = 0;
    return QStringLiteral("horutea-storage-%1").arg(++serial);
}

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

} // namespace storage
