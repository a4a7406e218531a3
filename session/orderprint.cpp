#include "session/orderprint.h"

#include "orders/batchrows.h"

namespace session {

std::optional<waybill::Address> savedSender(Session& session, const QString& name, QString& why)
{
    if (name.isEmpty()) {
        const auto recent = session.addressBook().recent(addressbook::Kind::Sender, 1);
        return recent.isEmpty() ? waybill::Address{} : recent.front().address;
    }
    for (const addressbook::AddressEntry& entry : session.addressBook().search(addressbook::Kind::Sender, name, 200))
        if (entry.address.name == name)
            return entry.address;
    why = QStringLiteral("住所録に「%1」という名前のご依頼主がありません。").arg(name);
    if (const auto problem = session.takeStorageProblem())
        why += QLatin1Char('\n') + *problem;
    return std::nullopt;
}

Session::Printed printOrderRows(Session& session, orders::OrderList& list, const std::vector<qint64>& rows,
                                print::PrintOffsets offsets, const print::Progress& progress)
{
    std::vector<qint64> notPrintable;
    for (qint64 row : rows)
        if (row < 0 || row >= list.rowCount() || list.state(row) != orders::RowState::Printable)
            notPrintable.push_back(row);
    if (!notPrintable.empty()) {
        Session::Printed refused;
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
    Session::Printed printed = session.printWaybills(int(rows.size()), checkedWaybill, offsets, progress,
                                                     [&](int i) { return list.orderNumberAt(rows[size_t(i)]); });
    if (printed.delivery.ok)
        for (qint64 row : rows)
            list.setPrinted(row);
    return printed;
}

} // namespace session
