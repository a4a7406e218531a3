#include "storage/statements.h"

#include <atomic>

namespace storage {

QString newConnectionName()
{
    static std::atomic<int> serial = 0;
    return QStringLiteral("horutea-storage-%1").arg(++serial);
}

namespace {

// Marks a round trip to the server, so that one that does not come back is
// found (storage/serverthread.h).
class RoundTrip {
public:
    explicit RoundTrip(WaitingCaller* caller) : m_caller(caller)
    {
        if (m_caller)
            m_caller->progressed();
    }
    ~RoundTrip()
    {
        if (m_caller)
            m_caller->progressed();
    }
    RoundTrip(const RoundTrip&) = delete;
    RoundTrip& operator=(const RoundTrip&) = delete;

private:
    WaitingCaller* m_caller;
};

} // namespace

void Statements::onCaller(const std::function<void()>& fn)
{
    if (m_caller)
        m_caller->runOnCaller(fn);
    else
        fn();
}

QSqlQuery Statements::prepare(const QString& sql, std::initializer_list<QVariant> values)
{
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    if (failed())
        return query;
    const RoundTrip trip(m_caller);
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
    const RoundTrip trip(m_caller);
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
        const RoundTrip trip(m_caller);
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
    const RoundTrip trip(m_caller);
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
