#include "station/shipped.h"

#include "orders/shoplayouts.h"

#include <QDir>
#include <QSet>
#include <algorithm>

namespace station {

namespace {

// Which platform's confirmation takes the orders of each of its lists.
struct ShopPlatform {
    orders::Shop shop;
    shipping::Format format;
};
constexpr ShopPlatform kShopPlatforms[] = {
    {orders::Shop::RakutenRms, shipping::Format::Rakuten},
    {orders::Shop::RakutenRmsOld, shipping::Format::Rakuten},
    {orders::Shop::AmazonUnshippedReport, shipping::Format::Amazon},
    {orders::Shop::AmazonOrderReport, shipping::Format::Amazon},
    {orders::Shop::YahooShopping, shipping::Format::Yahoo},
    {orders::Shop::Shopify, shipping::Format::Shopify},
};

// The pages printed in [from, before), oldest first (in the order recorded),
// page by page: a busy day is more than one page of the list. False when it
// cannot be read.
bool pagesBetween(history::History& history, storage::Database& database, const QDateTime& from,
                  const QDateTime& before, QList<history::HistoryEntry>& entries)
{
    history::HistoryQuery query;
    query.printedFrom = from;
    query.printedBefore = before;
    query.limit = 1000;
    storage::ProblemsMet problems(database);
    QList<history::HistoryEntry> newestFirst;
    for (;;) {
        const QList<history::HistoryEntry> page = history.search(query);
        if (problems.met())
            return false;
        newestFirst << page;
        if (page.size() < query.limit)
            break;
        query.offset += query.limit;
    }
    entries.reserve(entries.size() + newestFirst.size());
    std::copy(newestFirst.crbegin(), newestFirst.crend(), std::back_inserter(entries));
    return true;
}

} // namespace

std::optional<shipping::Format> platformOf(const history::Origin& origin)
{
    if (origin.kind != history::Origin::Kind::ShopList)
        return std::nullopt;
    const std::optional<orders::Shop> shop = orders::shopFromToken(origin.shopToken);
    for (const ShopPlatform& row : kShopPlatforms)
        if (shop && row.shop == *shop)
            return row.format;
    return std::nullopt;
}

std::optional<ShippedParcels> shippedBetween(Station& station, QDate from, QDate to, QString& queueProblem)
{
    const QDateTime start = from.startOfDay(), before = to.addDays(1).startOfDay();
    storage::Database& database = station.database();
    QList<history::HistoryEntry> entries;
    if (!pagesBetween(station.history(), database, start, before, entries))
        return std::nullopt;
    // On a server, this PC's pages the server has not had yet: sent but not
    // yet forgotten here, a page is in both, and is one.
    ShippedParcels shipped;
    const std::optional<history::QueueServer> server = station.queueServer();
    const bool queued = database.engine() == storage::Engine::Postgres && server;
    QSet<QString> fromQueue;
    if (queued) {
        QList<history::HistoryEntry> waiting;
        queueProblem =
            station.localQueue().readWaitingFor(*server, [&](history::History& waitingPages, storage::Database& file) {
                return pagesBetween(waitingPages, file, start, before, waiting);
            });
        if (!queueProblem.isEmpty())
            return std::nullopt;
        QSet<QString> onServer;
        for (const history::HistoryEntry& entry : entries)
            if (!entry.record.stationRowId.isEmpty())
                onServer.insert(entry.record.stationRowId);
        for (const history::HistoryEntry& entry : waiting)
            if (entry.record.stationRowId.isEmpty() || !onServer.contains(entry.record.stationRowId)) {
                entries << entry;
                fromQueue.insert(entry.record.stationRowId);
            }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const history::HistoryEntry& a, const history::HistoryEntry& b) {
                         return a.record.printedAt < b.record.printedAt;
                     });

    // A form listed as spoiled, whenever: its page went again on another
    // form, or it never carried a parcel.
    QList<tracking::TrackingNumber> numbers;
    for (const history::HistoryEntry& entry : entries)
        if (entry.record.trackingNumber)
            numbers << *entry.record.trackingNumber;
    QSet<QString> spoiled;
    const auto noteSpoiled = [&](history::History& history, storage::Database& where) {
        storage::ProblemsMet problems(where);
        const auto found = history.numbersUsed(numbers, history::NumberUse::SpoiledForm);
        if (!found)
            return false;
        for (const tracking::TrackingNumber& number : *found)
            spoiled.insert(tracking::carrierToken(number.carrier()) + QLatin1Char(' ') + number.digits());
        return true;
    };
    if (!numbers.isEmpty()) {
        if (!noteSpoiled(station.history(), database))
            return std::nullopt;
        if (queued) {
            queueProblem = station.localQueue().readWaitingFor(
                *server, [&](history::History& waitingForms, storage::Database& file) {
                    return noteSpoiled(waitingForms, file);
                });
            if (!queueProblem.isEmpty())
                return std::nullopt;
        }
    }

    for (const history::HistoryEntry& entry : entries) {
        const history::PrintRecord& record = entry.record;
        if (record.trackingNumber && spoiled.contains(tracking::carrierToken(record.trackingNumber->carrier()) +
                                                      QLatin1Char(' ') + record.trackingNumber->digits())) {
            ++shipped.spoiledLeftOut;
            continue;
        }
        shipping::ShippedParcel parcel;
        parcel.orderNumber = record.orderNumber.value_or(QString());
        parcel.shipToId = record.shipToId;
        parcel.platform = platformOf(record.origin);
        parcel.trackingNumber = record.trackingNumber;
        parcel.shipDate = record.printedAt.toLocalTime().date();
        parcel.recipientName = record.waybill.recipient.name;
        shipped.parcels << parcel;
        if (fromQueue.contains(record.stationRowId))
            ++shipped.fromLocalQueue;
    }
    return shipped;
}

ShippedReport writeShipped(Station& station, shipping::Format format, const QString& path, QDate from, QDate to,
                           const platform::DeviceFilter& filter)
{
    ShippedReport report;
    if (!from.isValid() || !to.isValid() || from > to) {
        report.message = QStringLiteral("期間の始めが終わりより後です。日付を確かめてください。");
        return report;
    }
    storage::ProblemsMet problems(station.database());
    QString queueProblem;
    const std::optional<ShippedParcels> shipped = shippedBetween(station, from, to, queueProblem);
    if (!shipped) {
        const std::optional<storage::Problem> problem = problems.take();
        report.message = QStringLiteral("履歴を読めないため、出荷情報を書き出していません。\n\n%1")
                             .arg(problem ? problem->message : queueProblem);
        return report;
    }
    platform::AtomicFile file(path, platform::AtomicFile::Replace, QStringLiteral("出荷情報のファイル"), filter);
    if (!file.open()) {
        report.message = file.failure() + QStringLiteral("前からあったファイルはそのままです。");
        return report;
    }
    auto written = shipping::writeConfirmations(format, shipped->parcels, file.device());
    if (!written) {
        file.discard();
        report.message = written.error() + QStringLiteral("\n") +
                         QStringLiteral("ファイル「%1」には書き出していません（前からあったファイルはそのままです）。")
                             .arg(QDir::toNativeSeparators(path));
        return report;
    }
    if (!file.commit()) {
        report.message = file.failure() + QStringLiteral("前からあったファイルはそのままです。");
        return report;
    }
    report.ok = true;
    report.written = *written;
    const QString period = from == to ? from.toString(QStringLiteral("yyyy-MM-dd"))
                                      : QStringLiteral("%1～%2").arg(from.toString(QStringLiteral("yyyy-MM-dd")),
                                                                     to.toString(QStringLiteral("yyyy-MM-dd")));
    report.message = QStringLiteral("%1 に印刷した %2 件の注文（荷物 %3 個）を、%4として %5 に書き出しました。")
                         .arg(period)
                         .arg(written->orderCount)
                         .arg(written->parcelCount)
                         .arg(QString::fromUtf16(shipping::formatRow(format).label), QDir::toNativeSeparators(path));
    QStringList notes;
    if (station.database().engine() == storage::Engine::Postgres) {
        if (shipped->fromLocalQueue > 0)
            notes << QStringLiteral("このうち %1 枚は、サーバーにまだ送っていないこのPCの控えにある印刷です。")
                         .arg(shipped->fromLocalQueue);
        notes << QStringLiteral(
            "ほかのPCで印刷してそのPCの控えに残っている分（サーバーにつながらなかった間の印刷）は、"
            "このPCからは分からないため入っていません。そのPCで次に印刷すると、サーバーに送られます。");
    }
    if (shipped->spoiledLeftOut > 0)
        notes << QStringLiteral("書き損じにした伝票 %1 枚は入れていません。").arg(shipped->spoiledLeftOut);
    notes << written->notes;
    if (!notes.isEmpty())
        report.message += QLatin1Char('\n') + notes.join(QLatin1Char('\n'));
    return report;
}

} // namespace station
