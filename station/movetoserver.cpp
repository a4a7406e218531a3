#include "station/movetoserver.h"

#include "addressbook/addressbook.h"
#include "history/history.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

namespace station {

namespace {

constexpr int kPagesPerTransaction = 500;

// The id of a page recorded before pages had one: made from the page itself,
// so the same file moved twice gives the same ids.
QString idOfOlderPage(const history::HistoryEntry& entry)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(entry.id) + '\x1f' +
                 QByteArray::number(entry.record.printedAt.toMSecsSinceEpoch()) + '\x1f' +
                 entry.record.destination.toUtf8() + '\x1f' +
                 QJsonDocument(waybill::toJson(entry.record.waybill)).toJson(QJsonDocument::Compact));
    return QStringLiteral("moved/") + QString::fromLatin1(hash.result().toHex());
}

QString problemOf(storage::ProblemsMet& problems, storage::Database& database)
{
    const auto problem = problems.take();
    return problem ? problem->message : database.lastProblem().value_or(storage::Problem{}).message;
}

} // namespace

MoveReport moveToServer(storage::Database& local, storage::Database& server)
{
    MoveReport report;
    const QString file = QDir::toNativeSeparators(local.location());
    const QString where = QStringLiteral("サーバー（%1）のデータベース「%2」")
                              .arg(server.server().hostAndPort(), server.server().database);
    if (local.engine() != storage::Engine::Sqlite || !QFileInfo::exists(local.location())) {
        report.message =
            QStringLiteral("このPCの住所録と印刷履歴のファイル「%1」がありません。移すものはありません。").arg(file);
        return report;
    }
    storage::ProblemsMet localProblems(local), serverProblems(server);
    if (!server.ensureOpen()) {
        report.message =
            QStringLiteral(
                "%1を使えないため、このPCの住所録と印刷履歴は移していません（取り込みは行っていません）。\n\n")
                .arg(where) +
            problemOf(serverProblems, server);
        return report;
    }

    QList<addressbook::ImportEntry> entries;
    addressbook::AddressBook localBook(local);
    if (!localBook.forEach([&](const addressbook::AddressEntry& e) {
            entries.append({e.kind, e.address, e.lastUsed, e.reading});
            return true;
        })) {
        report.message = QStringLiteral("このPCの住所録を読み終えられませんでした。何も移していません。\n\n") +
                         problemOf(localProblems, local);
        return report;
    }
    const auto imported = addressbook::AddressBook(server).importEntries(entries);
    if (!imported) {
        report.message = QStringLiteral("住所録を%1に移せませんでした。何も移していません。\n\n").arg(where) +
                         problemOf(serverProblems, server);
        return report;
    }
    report.entriesAdded = imported->added;
    report.entriesAlreadyThere = imported->merged;

    history::History localHistory(local), serverHistory(server);
    qint64 after = 0;
    for (;;) {
        const QList<history::HistoryEntry> batch = localHistory.oldestFirst(kPagesPerTransaction, after);
        if (batch.isEmpty())
            break;
        int added = 0;
        const bool sent = serverHistory.recordAll(
            int(batch.size()),
            [&](int i) {
                history::PrintRecord record = batch[i].record;
                if (record.stationRowId.isEmpty())
                    record.stationRowId = idOfOlderPage(batch[i]);
                return std::optional(record);
            },
            nullptr, &added);
        if (!sent) {
            report.message = QStringLiteral("住所録は移しましたが、印刷履歴は %1 件まで移したところで止まりました。"
                                            "もう一度実行すると、続きから移します（移した分は二重になりません）。\n\n")
                                 .arg(report.pagesAdded + report.pagesAlreadyThere) +
                             problemOf(serverProblems, server);
            return report;
        }
        report.pagesAdded += added;
        report.pagesAlreadyThere += int(batch.size()) - added;
        after = batch.last().id;
    }
    if (const auto problem = localProblems.take()) {
        report.message = QStringLiteral("このPCの印刷履歴を %1 件まで移したところで、続きを読めなくなりました。\n\n%2")
                             .arg(report.pagesAdded + report.pagesAlreadyThere)
                             .arg(problem->message);
        return report;
    }
    report.ok = true;
    report.message =
        QStringLiteral("このPCの住所録 %1 件（うち %2 件はサーバーに既にありました）と印刷履歴 %3 件（うち %4 "
                       "件は既にありました）を、%5に移しました。このPCのファイル「%6」はそのまま残しています。")
            .arg(report.entriesAdded + report.entriesAlreadyThere)
            .arg(report.entriesAlreadyThere)
            .arg(report.pagesAdded + report.pagesAlreadyThere)
            .arg(report.pagesAlreadyThere)
            .arg(where, file);
    return report;
}

} // namespace station
