#include "history/history.h"

#include "storage/searchkey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace history {

namespace {

using storage::textValue;

QVariant searchKeyValue(const QStringList& fields) { return textValue(storage::joinedSearchKey(fields)); }

const QString kColumns = QStringLiteral("id, printed_at_ms, destination, offset_x_tenth_mm, offset_y_tenth_mm, "
                                        "order_number, waybill_json, carrier, tracking_number, station_row_id, "
                                        "source, ship_to_id, line_ids");
const QString kSpoiledColumns =
    QStringLiteral("id, spoiled_at_ms, destination, carrier, tracking_number, reason, order_number, station_row_id");

// How a reason is kept; in SpoiledReason's order after Unknown (NULL).
constexpr const char* kSpoiledReasonTokens[] = {"skipped", "test-marks", "reprinted"};

QVariant reasonValue(SpoiledReason reason)
{
    if (reason == SpoiledReason::Unknown)
        return QVariant(QMetaType::fromType<QString>());
    return QString::fromLatin1(kSpoiledReasonTokens[int(reason) - 1]);
}

SpoiledReason reasonFrom(const QVariant& value)
{
    for (int i = 0; i < int(std::size(kSpoiledReasonTokens)); ++i)
        if (value.toString() == QLatin1String(kSpoiledReasonTokens[i]))
            return SpoiledReason(i + 1);
    return SpoiledReason::Unknown;
}

QString lineIdsText(const QStringList& ids)
{
    return ids.isEmpty()
               ? QString()
               : QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(ids)).toJson(QJsonDocument::Compact));
}

QStringList lineIdsFrom(const QVariant& value)
{
    QStringList ids;
    for (const QJsonValue& id : QJsonDocument::fromJson(value.toString().toUtf8()).array())
        ids << id.toString();
    return ids;
}

// The number a row holds; nothing for none, and for one that no longer reads
// (a carrier word this version does not know).
std::optional<tracking::TrackingNumber> trackingNumberFrom(const QVariant& carrierToken, const QVariant& digits)
{
    if (carrierToken.isNull() || digits.isNull())
        return std::nullopt;
    const auto carrier = tracking::carrierFromToken(carrierToken.toString());
    if (!carrier)
        return std::nullopt;
    auto number = tracking::TrackingNumber::read(*carrier, digits.toString());
    if (!number)
        return std::nullopt;
    return *number;
}

QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }

std::optional<HistoryEntry> entryFrom(const QSqlQuery& row)
{
    const auto json = QJsonDocument::fromJson(row.value(6).toString().toUtf8());
    const std::optional<waybill::Waybill> waybill =
        json.isObject() ? waybill::waybillFromJson(json.object()) : std::nullopt;
    if (!waybill)
        return std::nullopt;
    HistoryEntry entry;
    entry.id = row.value(0).toLongLong();
    entry.record.printedAt = QDateTime::fromMSecsSinceEpoch(row.value(1).toLongLong());
    entry.record.destination = row.value(2).toString();
    entry.record.offsetXTenthMm = row.value(3).toDouble();
    entry.record.offsetYTenthMm = row.value(4).toDouble();
    if (!row.value(5).isNull())
        entry.record.orderNumber = row.value(5).toString();
    entry.record.waybill = *waybill;
    entry.record.trackingNumber = trackingNumberFrom(row.value(7), row.value(8));
    entry.record.stationRowId = row.value(9).toString();
    entry.record.origin = Origin::fromToken(row.value(10).toString());
    entry.record.shipToId = row.value(11).toString();
    entry.record.lineIds = lineIdsFrom(row.value(12));
    return entry;
}

// Rows whose waybill no longer reads are left out rather than shown empty.
bool collect(storage::Statements& sql, QSqlQuery& query, QList<HistoryEntry>& out)
{
    if (!sql.exec(query))
        return false;
    while (sql.next(query))
        if (auto entry = entryFrom(query))
            out.append(*entry);
    return !sql.failed();
}

// The digits of a number as typed or scanned, whatever the carrier: no
// check, since a search may give part of a number. Text that is no number
// is kept as it is and so finds nothing.
QString trackingDigits(const QString& typed)
{
    const auto read = tracking::TrackingNumber::read(tracking::Carrier::Other, typed);
    return read ? read->digits() : typed.trimmed();
}

} // namespace

namespace {

const QString kInsert = QStringLiteral(
    "INSERT INTO print_history (printed_at_ms, destination, offset_x_tenth_mm, offset_y_tenth_mm, "
    "order_number, waybill_json, names_key, telephones_key, postal_codes_key, addresses_key, "
    "order_number_key, carrier, tracking_number, station_row_id, source, ship_to_id, line_ids) VALUES (?, ?, ?, ?, "
    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (station_row_id) DO NOTHING RETURNING id");

// The values of kInsert for one record, in order.
QVariantList insertValues(const PrintRecord& record, const QDateTime& now)
{
    const waybill::Waybill& w = record.waybill;
    const QString json = QString::fromUtf8(waybill::toCompactJson(w));
    const QDateTime printedAt = record.printedAt.isValid() ? record.printedAt : now;
    return {printedAt.toMSecsSinceEpoch(),
            textValue(record.destination),
            record.offsetXTenthMm,
            record.offsetYTenthMm,
            record.orderNumber ? textValue(*record.orderNumber) : nullText(),
            textValue(json),
            searchKeyValue({w.recipient.name, w.recipient.careOf, w.sender.name, w.sender.careOf}),
            searchKeyValue({w.recipient.telephone, w.sender.telephone}),
            searchKeyValue({w.recipient.postalCode, w.sender.postalCode}),
            searchKeyValue({w.recipient.line1, w.recipient.line2, w.sender.line1, w.sender.line2}),
            textValue(storage::searchKey(record.orderNumber.value_or(QString()))),
            record.trackingNumber ? textValue(tracking::carrierToken(record.trackingNumber->carrier())) : nullText(),
            record.trackingNumber ? textValue(record.trackingNumber->digits()) : nullText(),
            record.stationRowId.isEmpty() ? nullText() : QVariant(record.stationRowId),
            record.origin.kind == Origin::Kind::Unknown ? nullText() : QVariant(record.origin.token()),
            record.shipToId.isEmpty() ? nullText() : QVariant(record.shipToId),
            record.lineIds.isEmpty() ? nullText() : QVariant(lineIdsText(record.lineIds))};
}

} // namespace

std::optional<qint64> History::record(const PrintRecord& record)
{
    std::optional<qint64> id;
    if (!recordAll(
            1, [&](int) { return record; }, &id))
        return std::nullopt;
    return id;
}

bool History::recordAll(int count, const std::function<std::optional<PrintRecord>(int index)>& recordAt,
                        std::optional<qint64>* lastId, int* added)
{
    const QDateTime now = QDateTime::currentDateTime();
    return m_database.write([&](storage::Statements& sql) {
        // One statement prepared once: a document of a thousand pages is one
        // transaction, not a thousand.
        QSqlQuery insert = sql.prepare(kInsert);
        if (added)
            *added = 0;
        // The records are asked for where recording was asked for (a list's
        // rows are read on the window's thread), a few at a time.
        constexpr int kRecordsAskedAtOnce = 64;
        std::vector<std::optional<PrintRecord>> asked;
        for (int i = 0; i < count && !sql.failed(); ++i) {
            if (i % kRecordsAskedAtOnce == 0) {
                asked.assign(size_t(std::min(kRecordsAskedAtOnce, count - i)), std::nullopt);
                sql.onCaller([&] {
                    for (size_t j = 0; j < asked.size(); ++j)
                        asked[j] = recordAt(i + int(j));
                });
            }
            const std::optional<PrintRecord>& record = asked[size_t(i % kRecordsAskedAtOnce)];
            if (!record)
                continue;
            const QVariantList values = insertValues(*record, now);
            for (qsizetype v = 0; v < values.size(); ++v)
                insert.bindValue(int(v), values[v]);
            if (!sql.exec(insert))
                return false;
            // No row back: the station's id was recorded before (a page
            // sent again from the station's queue), and it stays one row.
            if (sql.next(insert)) {
                if (added)
                    ++*added;
                if (lastId)
                    *lastId = insert.value(0).toLongLong();
            } else if (sql.failed()) {
                return false;
            }
            insert.finish();
        }
        return true;
    });
}

QList<HistoryEntry> History::list(int limit, int offset)
{
    HistoryQuery query;
    query.limit = limit;
    query.offset = offset;
    return search(query);
}

QList<HistoryEntry> History::search(const HistoryQuery& query)
{
    // Only the conditions asked for go into the statement, so an empty field
    // costs nothing and the newest-first index serves the plain list.
    struct TextCondition {
        const QString& typed;
        const char* column;
    };
    const TextCondition textConditions[] = {
        {query.name, "names_key"},
        {query.telephone, "telephones_key"},
        {query.postalCode, "postal_codes_key"},
        {query.address, "addresses_key"},
        {query.orderNumber, "order_number_key"},
    };
    struct Contains {
        QLatin1StringView column;
        QString key;
    };
    QList<Contains> conditions;
    QStringList where;
    QVariantList values;
    for (const auto& condition : textConditions) {
        const QString key = storage::searchKey(condition.typed);
        if (key.isEmpty())
            continue;
        conditions.append({QLatin1StringView(condition.column), key});
    }
    if (const QString digits = trackingDigits(query.trackingNumber); !digits.isEmpty())
        conditions.append({QLatin1StringView("tracking_number"), digits});
    if (query.printedFrom.isValid()) {
        where.append(QStringLiteral("printed_at_ms >= ?"));
        values.append(query.printedFrom.toMSecsSinceEpoch());
    }
    if (query.printedBefore.isValid()) {
        where.append(QStringLiteral("printed_at_ms < ?"));
        values.append(query.printedBefore.toMSecsSinceEpoch());
    }
    values.append(query.limit);
    values.append(query.offset);

    QList<HistoryEntry> found;
    m_database.read([&](storage::Statements& sql) {
        QStringList all;
        QVariantList bound;
        for (const Contains& c : conditions) {
            all.append(sql.containsCondition(c.column));
            bound.append(c.key);
        }
        all += where;
        bound += values;
        const QString statement =
            QStringLiteral("SELECT %1 FROM print_history %2 ORDER BY printed_at_ms DESC, id DESC LIMIT ? OFFSET ?")
                .arg(kColumns,
                     all.isEmpty() ? QString() : QStringLiteral("WHERE ") + all.join(QStringLiteral(" AND ")));
        QSqlQuery select = sql.prepare(statement);
        for (const QVariant& value : bound)
            select.addBindValue(value);
        return collect(sql, select, found);
    });
    return found;
}

bool History::removeThrough(qint64 id)
{
    return m_database.write([&](storage::Statements& sql) {
        return sql.exec(QStringLiteral("DELETE FROM print_history WHERE id <= ?"), {id});
    });
}

QList<HistoryEntry> History::oldestFirst(int limit, qint64 afterId)
{
    QList<HistoryEntry> found;
    m_database.read([&](storage::Statements& sql) {
        QSqlQuery select =
            sql.prepare(QStringLiteral("SELECT %1 FROM print_history WHERE id > ? ORDER BY id LIMIT ?").arg(kColumns),
                        {afterId, limit});
        return collect(sql, select, found);
    });
    return found;
}

std::optional<HistoryEntry> History::get(qint64 id)
{
    std::optional<HistoryEntry> found;
    m_database.read([&](storage::Statements& sql) {
        QSqlQuery select = sql.prepare(QStringLiteral("SELECT %1 FROM print_history WHERE id = ?").arg(kColumns), {id});
        if (sql.exec(select) && sql.next(select))
            found = entryFrom(select);
        return !sql.failed();
    });
    return found;
}

bool History::recordSpoiled(const SpoiledForm& form)
{
    const QDateTime at = form.spoiledAt.isValid() ? form.spoiledAt : QDateTime::currentDateTime();
    return m_database.write([&](storage::Statements& sql) {
        return sql.exec(
            QStringLiteral("INSERT INTO spoiled_form (spoiled_at_ms, destination, carrier, tracking_number, reason, "
                           "order_number, station_row_id) VALUES (?, ?, ?, ?, ?, ?, ?) "
                           "ON CONFLICT (station_row_id) DO NOTHING"),
            {at.toMSecsSinceEpoch(), textValue(form.destination),
             textValue(tracking::carrierToken(form.trackingNumber.carrier())), textValue(form.trackingNumber.digits()),
             reasonValue(form.reason), form.orderNumber.isEmpty() ? nullText() : QVariant(form.orderNumber),
             form.stationRowId.isEmpty() ? nullText() : QVariant(form.stationRowId)});
    });
}

namespace {

// Rows whose number no longer reads are left out.
std::optional<SpoiledEntry> spoiledFrom(const QSqlQuery& row)
{
    const auto number = trackingNumberFrom(row.value(3), row.value(4));
    if (!number)
        return std::nullopt;
    return SpoiledEntry{row.value(0).toLongLong(),
                        {QDateTime::fromMSecsSinceEpoch(row.value(1).toLongLong()), row.value(2).toString(), *number,
                         reasonFrom(row.value(5)), row.value(6).toString(), row.value(7).toString()}};
}

bool collectSpoiled(storage::Statements& sql, QSqlQuery& select, QList<SpoiledEntry>& out)
{
    if (!sql.exec(select))
        return false;
    while (sql.next(select))
        if (auto entry = spoiledFrom(select))
            out.append(*entry);
    return !sql.failed();
}

} // namespace

QList<SpoiledForm> History::spoiledForms(const QDateTime& from, const QDateTime& before, int limit)
{
    QStringList where;
    QVariantList values;
    if (from.isValid()) {
        where.append(QStringLiteral("spoiled_at_ms >= ?"));
        values.append(from.toMSecsSinceEpoch());
    }
    if (before.isValid()) {
        where.append(QStringLiteral("spoiled_at_ms < ?"));
        values.append(before.toMSecsSinceEpoch());
    }
    values.append(limit);
    const QString statement =
        QStringLiteral("SELECT %1 FROM spoiled_form %2 ORDER BY spoiled_at_ms DESC, id DESC LIMIT ?")
            .arg(kSpoiledColumns,
                 where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND ")));
    QList<SpoiledEntry> found;
    m_database.read([&](storage::Statements& sql) {
        QSqlQuery select = sql.prepare(statement);
        for (const QVariant& value : values)
            select.addBindValue(value);
        return collectSpoiled(sql, select, found);
    });
    QList<SpoiledForm> forms;
    for (const SpoiledEntry& entry : found)
        forms << entry.form;
    return forms;
}

QList<SpoiledEntry> History::spoiledOldestFirst(int limit, qint64 afterId)
{
    QList<SpoiledEntry> found;
    m_database.read([&](storage::Statements& sql) {
        QSqlQuery select = sql.prepare(
            QStringLiteral("SELECT %1 FROM spoiled_form WHERE id > ? ORDER BY id LIMIT ?").arg(kSpoiledColumns),
            {afterId, limit});
        return collectSpoiled(sql, select, found);
    });
    return found;
}

bool History::removeSpoiledThrough(qint64 id)
{
    return m_database.write([&](storage::Statements& sql) {
        return sql.exec(QStringLiteral("DELETE FROM spoiled_form WHERE id <= ?"), {id});
    });
}

std::optional<QList<tracking::TrackingNumber>> History::numbersUsed(const QList<tracking::TrackingNumber>& numbers,
                                                                    NumberUse use)
{
    QSet<QString> held; // carrier token and digits
    const auto key = [](const QString& carrier, const QString& digits) { return carrier + QLatin1Char(' ') + digits; };
    // A few hundred numbers a statement: far below either engine's limit
    // on bound values.
    constexpr qsizetype kNumbersPerStatement = 400;
    const bool read = m_database.read([&](storage::Statements& sql) {
        for (qsizetype first = 0; first < numbers.size(); first += kNumbersPerStatement) {
            const QList<tracking::TrackingNumber> part = numbers.mid(first, kNumbersPerStatement);
            QStringList marks;
            for (qsizetype i = 0; i < part.size(); ++i)
                marks << QStringLiteral("?");
            QStringList tables;
            if (int(use) & int(NumberUse::PrintedPage))
                tables << QStringLiteral("print_history");
            if (int(use) & int(NumberUse::SpoiledForm))
                tables << QStringLiteral("spoiled_form");
            for (const QString& table : tables) {
                QSqlQuery select =
                    sql.prepare(QStringLiteral("SELECT carrier, tracking_number FROM %1 WHERE tracking_number IN (%2)")
                                    .arg(table, marks.join(QLatin1Char(','))));
                for (const tracking::TrackingNumber& number : part)
                    select.addBindValue(number.digits());
                if (!sql.exec(select))
                    return false;
                while (sql.next(select))
                    held.insert(key(select.value(0).toString(), select.value(1).toString()));
                if (sql.failed())
                    return false;
            }
        }
        return true;
    });
    if (!read)
        return std::nullopt;
    QList<tracking::TrackingNumber> used;
    for (const tracking::TrackingNumber& number : numbers)
        if (held.contains(key(tracking::carrierToken(number.carrier()), number.digits())))
            used << number;
    return used;
}

QString Origin::token() const
{
    switch (kind) {
    case Kind::Unknown:
        return {};
    case Kind::Window:
        return QStringLiteral("window");
    case Kind::List:
        return QStringLiteral("list");
    case Kind::ShopList:
        return QStringLiteral("shop/") + shopToken;
    }
    return {};
}

Origin Origin::fromToken(const QString& token)
{
    if (token == QLatin1String("window"))
        return {Kind::Window, {}};
    if (token == QLatin1String("list"))
        return {Kind::List, {}};
    if (token.startsWith(QLatin1String("shop/")))
        return {Kind::ShopList, token.mid(5)};
    return {};
}
QString historyColumns() { return kColumns; }

std::optional<HistoryEntry> historyEntryFrom(const QSqlQuery& row) { return entryFrom(row); }

QString spoiledColumns() { return kSpoiledColumns; }

std::optional<SpoiledEntry> spoiledEntryFrom(const QSqlQuery& row) { return spoiledFrom(row); }

} // namespace history
