#include "station/shipped.h"

#include <QDir>
#include <QSaveFile>

namespace station {

QList<shipping::ShippedOrder> shippedBetween(history::History& history, QDate from, QDate to)
{
    history::HistoryQuery query;
    query.printedFrom = from.startOfDay();
    query.printedBefore = to.addDays(1).startOfDay();
    query.limit = 1000;
    QList<history::HistoryEntry> entries;
    // Page by page: a busy day is more than one page of the list.
    for (;;) {
        const QList<history::HistoryEntry> page = history.search(query);
        entries << page;
        if (page.size() < query.limit)
            break;
        query.offset += query.limit;
    }
    QList<shipping::ShippedOrder> orders;
    for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry) {
        const history::PrintRecord& record = entry->record;
        shipping::ShippedOrder order;
        order.orderNumber = record.orderNumber.value_or(QString());
        if (record.trackingNumber) {
            order.carrier = record.trackingNumber->carrier();
            order.trackingNumbers << *record.trackingNumber;
        }
        order.shipDate = record.printedAt.date();
        order.recipientName = record.waybill.recipient.name;
        orders << order;
    }
    return orders;
}

ShippedReport writeShipped(Station& station, shipping::Format format, const QString& path, QDate from, QDate to)
{
    ShippedReport report;
    const QString shownPath = QDir::toNativeSeparators(path);
    if (!from.isValid() || !to.isValid() || from > to) {
        report.message = QStringLiteral("期間の始めが終わりより後です。日付を確かめてください。");
        return report;
    }
    storage::ProblemsMet problems(station.database());
    const QList<shipping::ShippedOrder> orders = shippedBetween(station.history(), from, to);
    if (const auto problem = problems.take()) {
        report.message =
            QStringLiteral("履歴を読めないため、出荷情報を書き出していません。\n\n%1").arg(problem->message);
        return report;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        report.message = QStringLiteral("ファイル %1 を作れません（%2）。").arg(shownPath, file.errorString());
        return report;
    }
    auto written = shipping::writeConfirmations(format, orders, file);
    if (!written) {
        file.cancelWriting();
        report.message = written.error();
        return report;
    }
    if (!file.commit()) {
        report.message =
            QStringLiteral("ファイル %1 に書き込めませんでした（%2）。").arg(shownPath, file.errorString());
        return report;
    }
    report.ok = true;
    report.written = *written;
    const QString period = from == to ? from.toString(QStringLiteral("yyyy-MM-dd"))
                                      : QStringLiteral("%1～%2").arg(from.toString(QStringLiteral("yyyy-MM-dd")),
                                                                     to.toString(QStringLiteral("yyyy-MM-dd")));
    report.message = QStringLiteral("%1 に印刷した %2 件の注文を、%3として %4 に書き出しました。")
                         .arg(period)
                         .arg(written->orderCount)
                         .arg(QString::fromUtf16(shipping::formatRow(format).label), shownPath);
    if (!written->notes.isEmpty())
        report.message += QLatin1Char('\n') + written->notes.join(QLatin1Char('\n'));
    return report;
}

} // namespace station
