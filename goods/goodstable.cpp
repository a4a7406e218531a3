#include "goods/goodstable.h"

#include <QHash>
#include <atomic>

namespace goods {

namespace {

using storage::Statements;
using storage::textValue;

std::atomic<quint64> s_revision{0};

bool isWhole(const GoodsName& row) { return !matchKey(row.match).isEmpty() && !row.shortName.trimmed().isEmpty(); }

// The row's id after saving it over a row of the same key, if any.
std::optional<qint64> saveRow(Statements& sql, const GoodsName& row, bool* replaced)
{
    const QString key = matchKey(row.match);
    QSqlQuery same = sql.prepare(QStringLiteral("SELECT id FROM goods_name WHERE match_kind = ? AND match_key = ?"),
                                 {int(row.by), key});
    if (!sql.exec(same))
        return std::nullopt;
    std::optional<qint64> sameId;
    if (sql.next(same))
        sameId = same.value(0).toLongLong();
    if (sql.failed())
        return std::nullopt;
    if (replaced)
        *replaced = sameId.has_value();
    // A changed row whose new key is another's: that other row takes it.
    if (row.id != 0 && sameId && *sameId != row.id &&
        !sql.exec(QStringLiteral("DELETE FROM goods_name WHERE id = ?"), {row.id}))
        return std::nullopt;
    const qint64 target = sameId ? *sameId : row.id;
    if (target != 0) {
        if (!sql.exec(QStringLiteral("UPDATE goods_name SET match_kind = ?, match_text = ?, match_key = ?, "
                                     "short_name = ? WHERE id = ?"),
                      {int(row.by), textValue(row.match.trimmed()), key, textValue(row.shortName.trimmed()), target}))
            return std::nullopt;
        return target;
    }
    QSqlQuery insert = sql.prepare(
        sql.engine() == storage::Engine::Postgres
            ? QStringLiteral("INSERT INTO goods_name (match_kind, match_text, match_key, short_name) "
                             "VALUES (?, ?, ?, ?) RETURNING id")
            : QStringLiteral(
                  "INSERT INTO goods_name (match_kind, match_text, match_key, short_name) VALUES (?, ?, ?, ?)"),
        {int(row.by), textValue(row.match.trimmed()), key, textValue(row.shortName.trimmed())});
    if (!sql.exec(insert))
        return std::nullopt;
    if (sql.engine() == storage::Engine::Postgres)
        return sql.next(insert) ? std::optional(insert.value(0).toLongLong()) : std::nullopt;
    return insert.lastInsertId().toLongLong();
}

} // namespace

QString matchKey(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded().simplified();
}

quint64 GoodsTable::revision() { return s_revision.load(); }

QList<GoodsName> GoodsTable::all(bool* readWhole)
{
    QList<GoodsName> rows;
    const bool read = m_database.read([&](Statements& sql) {
        rows.clear();
        QSqlQuery q = sql.prepare(QStringLiteral(
            "SELECT id, match_kind, match_text, short_name FROM goods_name ORDER BY match_kind, match_key"));
        if (!sql.exec(q))
            return false;
        while (sql.next(q))
            rows.append({q.value(0).toLongLong(),
                         q.value(1).toInt() == int(MatchBy::ListName) ? MatchBy::ListName : MatchBy::ProductCode,
                         q.value(2).toString(), q.value(3).toString()});
        return !sql.failed();
    });
    if (readWhole)
        *readWhole = read;
    return read ? rows : QList<GoodsName>();
}

std::optional<qint64> GoodsTable::save(const GoodsName& row)
{
    if (!isWhole(row))
        return std::nullopt;
    std::optional<qint64> id;
    if (!m_database.write([&](Statements& sql) { return (id = saveRow(sql, row, nullptr)).has_value(); }))
        return std::nullopt;
    ++s_revision;
    return id;
}

bool GoodsTable::remove(qint64 id)
{
    const bool removed = m_database.write(
        [&](Statements& sql) { return sql.exec(QStringLiteral("DELETE FROM goods_name WHERE id = ?"), {id}); });
    if (removed)
        ++s_revision;
    return removed;
}

std::optional<ImportResult> GoodsTable::importRows(const QList<GoodsName>& rows)
{
    ImportResult result;
    const bool imported = m_database.write([&](Statements& sql) {
        result = {};
        for (GoodsName row : rows) {
            if (!isWhole(row))
                continue;
            row.id = 0;
            bool replaced = false;
            if (!saveRow(sql, row, &replaced))
                return false;
            ++(replaced ? result.replaced : result.added);
        }
        return true;
    });
    if (!imported)
        return std::nullopt;
    ++s_revision;
    return result;
}

std::optional<QString> GoodsNamesLookup::find(const QString& productCode, const QString& listName)
{
    if (m_readAt != GoodsTable::revision() + 1) {
        m_byCode.clear();
        m_byName.clear();
        m_readAt = GoodsTable::revision() + 1;
        for (const GoodsName& row : m_table.all())
            (row.by == MatchBy::ProductCode ? m_byCode : m_byName).insert(matchKey(row.match), row.shortName);
    }
    if (!productCode.isEmpty())
        if (const auto it = m_byCode.constFind(matchKey(productCode)); it != m_byCode.constEnd())
            return *it;
    if (!listName.isEmpty())
        if (const auto it = m_byName.constFind(matchKey(listName)); it != m_byName.constEnd())
            return *it;
    return std::nullopt;
}

} // namespace goods
