#include "station/orderprint.h"

#include "orders/batchrows.h"
#include "print/overrun.h"

#include <QElapsedTimer>
#include <QThread>

namespace station {

SenderChoice chooseSender(Station& station, const QString& name, int lockWaitMs)
{
    SenderChoice choice;
    storage::Database& database = station.database();
    addressbook::AddressBook& book = station.addressBook();
    QElapsedTimer waited;
    waited.start();
    QList<addressbook::AddressEntry> found;
    storage::ProblemsMet problems(database);
    for (;;) {
        bool read = false;
        // Opens the file the first time; after a lock, tries it again.
        if (database.isOpen() || database.retryOpen())
            found = name.isEmpty() ? book.recent(addressbook::Kind::Sender, 1, &read)
                                   : book.search(addressbook::Kind::Sender, name, 200, &read);
        if (read)
            break;
        const std::optional<storage::Problem> problem = database.lastProblem();
        // Each try waits for the lock a while itself.
        if (problem && problem->kind == storage::ProblemKind::Locked && waited.elapsed() < lockWaitMs) {
            QThread::msleep(100);
            continue;
        }
        problems.take();
        choice.problem =
            (problem ? problem->message + QLatin1Char('\n') : QString()) +
            QStringLiteral(
                "住所録のご依頼主を読めないため、何も印刷しませんでした。しばらくしてからもう一度実行するか、"
                "ご依頼主が印刷済みの用紙なら --no-sender を付けて実行してください。");
        return choice;
    }
    // A damaged file was set aside and a new one begun: the saved senders
    // are in the old file, so none found here says nothing about them.
    if (problems.met() && problems.met()->kind == storage::ProblemKind::Damaged) {
        const storage::Problem problem = *problems.take();
        choice.problem =
            problem.message + QLatin1Char('\n') +
            QStringLiteral(
                "保存してあったご依頼主は残したファイルの中にあり、新しいファイルにはないため、何も印刷しませんでした。"
                "画面の住所録でご依頼主を登録し直すか、ご依頼主が印刷済みの用紙なら --no-sender を付けて実行してください。");
        return choice;
    }
    if (name.isEmpty()) {
        choice.address = found.isEmpty() ? waybill::Address{} : found.front().address;
        if (!found.isEmpty())
            choice.savedEntryId = found.front().id;
        if (found.isEmpty())
            choice.note = QStringLiteral(
                "住所録にご依頼主が保存されていないため、送り状にはご依頼主を印刷しません。"
                "ご依頼主が印刷済みの用紙ならこのままで構いません（--no-sender を付けると、この知らせは出ません）。"
                "入れるときは画面の住所録で登録するか、--sender で名前を指定してください。");
        return choice;
    }
    for (const addressbook::AddressEntry& entry : found)
        if (entry.address.name == name) {
            choice.address = entry.address;
            choice.savedEntryId = entry.id;
            return choice;
        }
    choice.problem =
        QStringLiteral("住所録に「%1」という名前のご依頼主がありません。画面の住所録で名前を確かめてください。")
            .arg(name);
    return choice;
}

void checkAgainstThePage(orders::OrderList& list)
{
    list.setNaturalFitCheck([](const waybill::Waybill& w) { return print::fittingNeeded(w); });
    list.setFitCheck([](const waybill::Waybill& w) { return print::printProblem(w); });
}

Printed printOrderRows(PrintRun& run, orders::OrderList& list, const std::vector<qint64>& rows,
                       print::PrintOffsets offsets, const print::Progress& progress,
                       std::optional<qint64> savedSenderId,
                       const std::optional<tracking::TrackingNumber>& firstFormNumber)
{
    std::vector<qint64> notPrintable;
    for (qint64 row : rows)
        if (row < 0 || row >= list.rowCount() || list.state(row) != orders::RowState::Printable)
            notPrintable.push_back(row);
    if (!notPrintable.empty()) {
        Printed refused;
        refused.delivery.message = QStringLiteral("%1は印刷できる状態ではないため、何も印刷しませんでした。")
                                       .arg(orders::lineList(list, notPrintable));
        return refused;
    }
    // Each page from the row as it was checked; a row the file no longer
    // holds as it was stops the document, which then releases nothing.
    list.forgetReadAhead();
    const auto checkedWaybill = [&](int i) {
        QString why;
        std::optional<waybill::Waybill> waybill = list.checkedWaybillAt(rows[size_t(i)], why);
        if (!waybill)
            throw print::JobStopped{why};
        return *waybill;
    };
    Printed printed = run.printWaybills(
        int(rows.size()), checkedWaybill, offsets, progress, [&](int i) { return list.orderNumberAt(rows[size_t(i)]); },
        firstFormNumber);
    if (!printed.delivery.ok)
        return printed;
    for (qint64 row : rows)
        list.setPrinted(row);
    if (savedSenderId) {
        storage::ProblemsMet problems(run.station().database());
        run.station().addressBook().markUsed(*savedSenderId);
        if (const auto problem = problems.take())
            printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + problem->message;
    }
    return printed;
}

} // namespace station
