#include "addressbook/addressbook.h"

#include "storage/searchkey.h"

#include <QCryptographicHash>
#include <QHash>
#include <algorithm>

namespace addressbook {

namespace {

using storage::Statements;
using storage::textValue;

const QString kColumns = QStringLiteral(
    "id, kind, postal_code, line1, line2, name, care_of, care_of_shown, telephone, last_used_ms, reading");

// A search first looks among this many most recently used entries of the
// kind; when they hold enough matches those are the answer, and the whole book
// is searched only for rarer texts.
constexpr int kRecentWindowEntries = 4000;
// An import of at least this many entries brings the server's statistics up to date.
constexpr qsizetype kEntriesWorthAnalysing = 1000;
// The trigram index answers keys of at least this many characters.
constexpr qsizetype kTrigramCharacters = 3;
// A shorter key is looked up through the trigrams it begins, unless it
// begins more than this many (then it is common, and scanning finds enough
// matches sooner).
constexpr int kMostTrigramsOfShortKey = 500;

QString searchTextOf(const waybill::Address& a, const QString& reading)
{
    return storage::paddedSearchKey({a.name, a.telephone, a.postalCode, a.line1, a.line2, a.careOf, reading});
}

qint64 msOf(const QDateTime& time)
{
    return (time.isValid() ? time : QDateTime::currentDateTime()).toMSecsSinceEpoch();
}

AddressEntry entryFrom(const QSqlQuery& row)
{
    AddressEntry entry;
    entry.id = row.value(0).toLongLong();
    entry.kind = row.value(1).toInt() == int(Kind::Sender) ? Kind::Sender : Kind::Recipient;
    entry.address.postalCode = row.value(2).toString();
    entry.address.line1 = row.value(3).toString();
    entry.address.line2 = row.value(4).toString();
    entry.address.name = row.value(5).toString();
    entry.address.careOf = row.value(6).toString();
    entry.address.careOfShown = row.value(7).toBool();
    entry.address.telephone = row.value(8).toString();
    entry.lastUsed = QDateTime::fromMSecsSinceEpoch(row.value(9).toLongLong());
    entry.reading = row.value(10).toString();
    return entry;
}

// On a server, the twin is found through the unique index of the
// identity (storage/schema.cpp), whatever plan the server keeps for the
// statement: a plan made while the table was empty would otherwise scan it
// whole for each entry of a large import.
constexpr char kIdentityCondition[] =
    "AND md5(name || chr(31) || postal_code || chr(31) || line1 || chr(31) || line2 || chr(31) || care_of || "
    "chr(31) || telephone) = ?";

// The digest that condition compares, made here from the same fields.
QString identityOf(const waybill::Address& a)
{
    const QChar separator(0x1f);
    const QString joined = a.name + separator + a.postalCode + separator + a.line1 + separator + a.line2 + separator +
                           a.careOf + separator + a.telephone;
    return QString::fromLatin1(QCryptographicHash::hash(joined.toUtf8(), QCryptographicHash::Md5).toHex());
}

// The statements of saving, prepared once per transaction so an import of
// many entries does not prepare them again for each.
class Saver {
public:
    explicit Saver(Statements& sql)
        : m_sql(sql),
          m_findTwin(sql.prepare(
              QStringLiteral(
                  "SELECT id FROM address_entry WHERE kind = ? AND name = ? AND postal_code = ? AND line1 = ? AND "
                  "line2 = ? AND care_of = ? AND care_of_shown = ? AND telephone = ? AND id != ? %1 LIMIT 1")
                  .arg(sql.engine() == storage::Engine::Postgres ? QLatin1String(kIdentityCondition)
                                                                 : QLatin1String()))),
          m_touch(
              sql.prepare(QStringLiteral("UPDATE address_entry SET last_used_ms = CASE WHEN last_used_ms < ? THEN ? "
                                         "ELSE last_used_ms END WHERE id = ?"))),
          m_insert(sql.prepare(QStringLiteral(
              "INSERT INTO address_entry (kind, postal_code, line1, line2, name, care_of, care_of_shown, telephone, "
              "last_used_ms, search_text, reading) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING "
              "RETURNING id"))),
          m_setReading(
              sql.prepare(QStringLiteral("UPDATE address_entry SET reading = ?, search_text = ? WHERE id = ?")))
    {}

    // The identical entry of the kind other than `except`, if any.
    std::optional<qint64> twinOf(Kind kind, const waybill::Address& a, qint64 except = 0)
    {
        bind(m_findTwin, {int(kind), textValue(a.name), textValue(a.postalCode), textValue(a.line1), textValue(a.line2),
                          textValue(a.careOf), int(a.careOfShown), textValue(a.telephone), except});
        if (m_sql.engine() == storage::Engine::Postgres)
            m_findTwin.bindValue(9, identityOf(a));
        std::optional<qint64> twin;
        if (m_sql.exec(m_findTwin) && m_sql.next(m_findTwin))
            twin = m_findTwin.value(0).toLongLong();
        m_findTwin.finish();
        return twin;
    }

    bool touch(qint64 id, qint64 usedAtMs)
    {
        bind(m_touch, {usedAtMs, usedAtMs, id});
        return m_sql.exec(m_touch);
    }

    // The reading of entry `id`, whose address is `a`.
    bool setReading(qint64 id, const waybill::Address& a, const QString& reading)
    {
        bind(m_setReading, {textValue(reading), textValue(searchTextOf(a, reading)), id});
        return m_sql.exec(m_setReading);
    }

    std::optional<qint64> insert(Kind kind, const waybill::Address& a, qint64 usedAtMs, const QString& reading)
    {
        bind(m_insert, {int(kind), textValue(a.postalCode), textValue(a.line1), textValue(a.line2), textValue(a.name),
                        textValue(a.careOf), int(a.careOfShown), textValue(a.telephone), usedAtMs,
                        textValue(searchTextOf(a, reading)), textValue(reading)});
        if (!m_sql.exec(m_insert))
            return std::nullopt;
        std::optional<qint64> id;
        if (m_sql.next(m_insert))
            id = m_insert.value(0).toLongLong();
        m_insert.finish();
        return id;
    }

    // The id saved under, and whether it was an entry already there. A
    // reading given is the entry's from then on; none keeps the one it has.
    std::optional<std::pair<qint64, bool>> save(Kind kind, const waybill::Address& a, qint64 usedAtMs,
                                                const QString& reading)
    {
        if (const auto twin = twinOf(kind, a)) {
            if (!touch(*twin, usedAtMs) || (!reading.isEmpty() && !setReading(*twin, a, reading)))
                return std::nullopt;
            return std::pair{*twin, true};
        }
        if (const auto id = insert(kind, a, usedAtMs, reading))
            return std::pair{*id, false};
        // On a server, another station saved the same address since the
        // look-up (its identity is unique there): that entry is this one.
        if (m_sql.failed())
            return std::nullopt;
        if (const auto twin = twinOf(kind, a)) {
            if (!touch(*twin, usedAtMs) || (!reading.isEmpty() && !setReading(*twin, a, reading)))
                return std::nullopt;
            return std::pair{*twin, true};
        }
        return std::nullopt;
    }

private:
    static void bind(QSqlQuery& query, std::initializer_list<QVariant> values)
    {
        int i = 0;
        for (const QVariant& value : values)
            query.bindValue(i++, value);
    }

    Statements& m_sql;
    QSqlQuery m_findTwin;
    QSqlQuery m_touch;
    QSqlQuery m_insert;
    QSqlQuery m_setReading;
};

// Ids in the order found, then their rows in that order.
QList<AddressEntry> entriesOf(Statements& sql, const QList<qint64>& ids)
{
    if (ids.isEmpty())
        return {};
    QStringList marks;
    marks.fill(QStringLiteral("?"), ids.size());
    QSqlQuery select = sql.prepare(
        QStringLiteral("SELECT %1 FROM address_entry WHERE id IN (%2)").arg(kColumns, marks.join(QLatin1Char(','))));
    for (qint64 id : ids)
        select.addBindValue(id);
    QHash<qint64, AddressEntry> byId;
    if (sql.exec(select))
        while (sql.next(select)) {
            AddressEntry entry = entryFrom(select);
            byId.insert(entry.id, entry);
        }
    QList<AddressEntry> ordered;
    for (qint64 id : ids)
        if (byId.contains(id))
            ordered.append(byId.value(id));
    return ordered;
}

QList<qint64> idsOf(Statements& sql, QSqlQuery& query)
{
    QList<qint64> ids;
    if (sql.exec(query))
        while (sql.next(query))
            ids.append(query.value(0).toLongLong());
    return ids;
}

// A phrase of the trigram index: the key in double quotes, inner quotes doubled.
QString trigramPhrase(const QString& key)
{
    QString phrase = key;
    phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + phrase + QLatin1Char('"');
}

// The trigrams of the index that begin with the key, as phrases of an index
// query; nothing when there are too many to ask for.
std::optional<QStringList> trigramsBeginning(Statements& sql, const QString& key)
{
    // Every trigram beginning with the key sorts below the key followed by
    // the last character of Unicode.
    const QString pastKey = key + QString::fromUcs4(U"\U0010ffff");
    QSqlQuery terms =
        sql.prepare(QStringLiteral("SELECT term FROM address_entry_trigram_terms WHERE term >= ? AND term < ? LIMIT ?"),
                    {key, pastKey, kMostTrigramsOfShortKey + 1});
    QStringList phrases;
    if (sql.exec(terms))
        while (sql.next(terms))
            phrases.append(trigramPhrase(terms.value(0).toString()));
    if (phrases.size() > kMostTrigramsOfShortKey)
        return std::nullopt;
    return phrases;
}

// Matches of a rarer key through the trigram index, most recently used
// first. A key of three characters or more is a phrase of its trigrams; a
// shorter one is any trigram it begins. Nothing when no trigram begins the
// key (no entry holds it). On a server, the shorter key goes through its own
// index instead (storage/schema.cpp).
std::optional<QList<qint64>> idsThroughIndex(Statements& sql, Kind kind, const QString& key, int limit)
{
    if (sql.engine() == storage::Engine::Postgres) {
        // The entries holding all the key's characters and pairs (compared
        // as the index compares them, or the server would not use it), each
        // then checked for the key itself: a database without an encoding
        // (SQL_ASCII) splits texts into bytes, not characters.
        if (storage::searchKeyLength(key) < kTrigramCharacters) {
            QSqlQuery grams = sql.prepare(
                QStringLiteral(
                    "SELECT id FROM address_entry WHERE kind = ? AND horutea_short_grams(search_text) COLLATE \"C\" "
                    "@> horutea_short_grams(?) AND %1 ORDER BY last_used_ms DESC, id DESC LIMIT ?")
                    .arg(sql.containsCondition(QLatin1StringView("search_text"))),
                {int(kind), key, key, limit});
            return idsOf(sql, grams);
        }
        // Longer keys through pg_trgm's index, which answers LIKE.
        QString pattern = key;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        QSqlQuery like =
            sql.prepare(QStringLiteral("SELECT id FROM address_entry WHERE kind = ? AND search_text LIKE ? "
                                       "ORDER BY last_used_ms DESC, id DESC LIMIT ?"),
                        {int(kind), QLatin1Char('%') + pattern + QLatin1Char('%'), limit});
        return idsOf(sql, like);
    }
    std::optional<QStringList> phrases;
    if (storage::searchKeyLength(key) >= kTrigramCharacters)
        phrases = QStringList{trigramPhrase(key)};
    else
        phrases = trigramsBeginning(sql, key);
    if (phrases && phrases->isEmpty())
        return std::nullopt;
    if (!phrases) {
        QSqlQuery scan = sql.prepare(QStringLiteral("SELECT id FROM address_entry WHERE kind = ? AND %1 "
                                                    "ORDER BY last_used_ms DESC, id DESC LIMIT ?")
                                         .arg(sql.containsCondition(QLatin1StringView("search_text"))),
                                     {int(kind), key, limit});
        return idsOf(sql, scan);
    }
    // CROSS JOIN keeps the index matches as the outer loop; left free, the
    // planner walks the whole book in recency order and tests each entry
    // against the matches.
    QSqlQuery indexed = sql.prepare(
        QStringLiteral(
            "SELECT e.id FROM address_entry_trigrams t CROSS JOIN address_entry e ON e.id = t.rowid "
            "WHERE address_entry_trigrams MATCH ? AND e.kind = ? ORDER BY e.last_used_ms DESC, e.id DESC LIMIT ?"),
        {phrases->join(QStringLiteral(" OR ")), int(kind), limit});
    return idsOf(sql, indexed);
}

} // namespace

std::optional<qint64> AddressBook::save(Kind kind, const waybill::Address& address, const QDateTime& usedAt,
                                        const QString& reading)
{
    std::optional<qint64> id;
    const bool saved = m_database.write([&](Statements& sql) {
        Saver saver(sql);
        if (const auto result = saver.save(kind, address, msOf(usedAt), reading))
            id = result->first;
        return id.has_value();
    });
    return saved ? id : std::nullopt;
}

std::optional<qint64> AddressBook::edit(qint64 id, const waybill::Address& address,
                                        const std::optional<QString>& reading)
{
    std::optional<qint64> remaining;
    const bool edited = m_database.write([&](Statements& sql) {
        QSqlQuery current =
            sql.prepare(QStringLiteral("SELECT kind, last_used_ms, reading FROM address_entry WHERE id = ?"), {id});
        if (!sql.exec(current) || !sql.next(current))
            return false;
        const Kind kind = current.value(0).toInt() == int(Kind::Sender) ? Kind::Sender : Kind::Recipient;
        const qint64 lastUsedMs = current.value(1).toLongLong();
        const QString kept = reading.value_or(current.value(2).toString());
        current.finish();

        Saver saver(sql);
        if (const auto twin = saver.twinOf(kind, address, id)) {
            if (!saver.touch(*twin, lastUsedMs) || (!kept.isEmpty() && !saver.setReading(*twin, address, kept)) ||
                !sql.exec(QStringLiteral("DELETE FROM address_entry WHERE id = ?"), {id}))
                return false;
            remaining = *twin;
            return true;
        }
        const auto& a = address;
        if (!sql.exec(
                QStringLiteral("UPDATE address_entry SET postal_code = ?, line1 = ?, line2 = ?, name = ?, care_of = ?, "
                               "care_of_shown = ?, telephone = ?, reading = ?, search_text = ? WHERE id = ?"),
                {textValue(a.postalCode), textValue(a.line1), textValue(a.line2), textValue(a.name),
                 textValue(a.careOf), int(a.careOfShown), textValue(a.telephone), textValue(kept),
                 textValue(searchTextOf(a, kept)), id}))
            return false;
        remaining = id;
        return true;
    });
    return edited ? remaining : std::nullopt;
}

bool AddressBook::remove(qint64 id)
{
    return m_database.write([&](Statements& sql) {
        QSqlQuery remove = sql.prepare(QStringLiteral("DELETE FROM address_entry WHERE id = ?"), {id});
        return sql.exec(remove) && remove.numRowsAffected() == 1;
    });
}

std::optional<AddressEntry> AddressBook::get(qint64 id)
{
    std::optional<AddressEntry> found;
    m_database.read([&](Statements& sql) {
        QSqlQuery select = sql.prepare(QStringLiteral("SELECT %1 FROM address_entry WHERE id = ?").arg(kColumns), {id});
        if (sql.exec(select) && sql.next(select))
            found = entryFrom(select);
        return !sql.failed();
    });
    return found;
}

bool AddressBook::markUsed(qint64 id, const QDateTime& usedAt)
{
    return m_database.write([&](Statements& sql) {
        QSqlQuery update =
            sql.prepare(QStringLiteral("UPDATE address_entry SET last_used_ms = ? WHERE id = ?"), {msOf(usedAt), id});
        return sql.exec(update) && update.numRowsAffected() == 1;
    });
}

QList<AddressEntry> AddressBook::search(Kind kind, const QString& typed, int limit, bool* readWhole)
{
    const QString key = storage::searchKey(typed);
    if (key.isEmpty())
        return recent(kind, limit, readWhole);

    QList<AddressEntry> found;
    const bool read = m_database.read([&](Statements& sql) {
        // Among the most recent first: a text that is at all common is found
        // there, newest first, in a scan that ends at the limit or at the
        // window's oldest use.
        QSqlQuery recentMatches =
            sql.prepare(QStringLiteral("SELECT id FROM address_entry WHERE kind = ? AND last_used_ms >= "
                                       "coalesce((SELECT last_used_ms FROM address_entry WHERE kind = ? "
                                       "ORDER BY last_used_ms DESC LIMIT 1 OFFSET ?), -9223372036854775807) "
                                       "AND %1 ORDER BY last_used_ms DESC, id DESC LIMIT ?")
                            .arg(sql.containsCondition(QLatin1StringView("search_text"))),
                        {int(kind), int(kind), kRecentWindowEntries - 1, key, limit});
        QList<qint64> ids = idsOf(sql, recentMatches);
        if (ids.size() < limit)
            ids = idsThroughIndex(sql, kind, key, limit).value_or(ids);
        found = entriesOf(sql, ids);
        return !sql.failed();
    });
    if (readWhole)
        *readWhole = read;
    return found;
}

QList<AddressEntry> AddressBook::recent(Kind kind, int limit, bool* readWhole)
{
    QList<AddressEntry> found;
    const bool read = m_database.read([&](Statements& sql) {
        QSqlQuery select = sql.prepare(
            QStringLiteral("SELECT %1 FROM address_entry WHERE kind = ? ORDER BY last_used_ms DESC, id DESC LIMIT ?")
                .arg(kColumns),
            {int(kind), limit});
        if (sql.exec(select))
            while (sql.next(select))
                found.append(entryFrom(select));
        return !sql.failed();
    });
    if (readWhole)
        *readWhole = read;
    return found;
}

bool AddressBook::forEach(const std::function<bool(const AddressEntry&)>& visit)
{
    return m_database.read([&](Statements& sql) {
        QSqlQuery select = sql.prepare(QStringLiteral("SELECT %1 FROM address_entry ORDER BY kind, id").arg(kColumns));
        if (sql.exec(select))
            while (sql.next(select))
                if (!visit(entryFrom(select)))
                    break;
        return !sql.failed();
    });
}

std::optional<ImportResult> AddressBook::importEntries(const QList<ImportEntry>& entries)
{
    ImportResult result;
    const qint64 nowMs = msOf({});
    const bool imported = m_database.write([&](Statements& sql) {
        result = {};
        Saver saver(sql);
        for (const ImportEntry& entry : entries) {
            const auto saved =
                saver.save(entry.kind, entry.address,
                           entry.lastUsed.isValid() ? entry.lastUsed.toMSecsSinceEpoch() : nowMs, entry.reading);
            if (!saved)
                return false;
            ++(saved->second ? result.merged : result.added);
        }
        return true;
    });
    // A server plans searches from its statistics of the table, which an
    // import of thousands of entries leaves far behind until its own
    // maintenance catches up (meanwhile every keystroke would read the table
    // whole): brought up to date at once.
    if (imported && m_database.engine() == storage::Engine::Postgres && entries.size() >= kEntriesWorthAnalysing)
        m_database.write([](Statements& sql) { return sql.exec(QStringLiteral("ANALYZE address_entry")); });
    return imported ? std::optional(result) : std::nullopt;
}

} // namespace addressbook
