#pragma once
// Printing the rows of an order list through a session: what the batch
// window and `horutea --batch` share.
#include "orders/orderlist.h"
#include "session/session.h"

#include <vector>

namespace session {

// A saved sender: the one named `name`, or, for an empty name, the one used
// last (an empty address when none is saved). Nothing when no saved sender
// has that name; `why` then says so, in Japanese.
std::optional<waybill::Address> savedSender(Session& session, const QString& name, QString& why);

// The rows as one document, one page each, in the order given, recorded in
// the history with their order numbers. When the printer accepted the
// document every row becomes printed in the list; otherwise none does, since
// a document reaches the printer whole or not at all. Rows that are not
// printable (refused, excluded, printed, unchecked) are never printed: the
// whole document is then refused before anything is made. A row that the
// file no longer holds as it was checked stops the document, and the
// delivery's message names its line.
Session::Printed printOrderRows(Session& session, orders::OrderList& list, const std::vector<qint64>& rows,
                                print::PrintOffsets offsets, const print::Progress& progress = {});

} // namespace session
