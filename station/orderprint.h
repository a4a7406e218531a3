#pragma once
// Printing the rows of an order list through a station: what the batch
// window and `horutea --batch` share.
#include "orders/orderlist.h"
#include "station/printrun.h"

#include <vector>

namespace station {

// The sender of a list printed without the window.
struct SenderChoice {
    std::optional<waybill::Address> address; // nothing: do not print; `problem` says why
    std::optional<qint64> savedEntryId;      // the address book's entry, when one was found
    QString problem;
    QString note; // printing goes on, but the user should hear this
};
// The saved sender named `name`, or, for an empty name, the one used last.
// The sender is never silently blank: an address book that cannot be read
// (held by another program: tried again until `lockWaitMs` has passed; or
// damaged, so that the saved senders are in the file set aside) gives no
// address and the reason; no sender saved at all gives an empty one and a
// note saying the waybills carry none.
SenderChoice chooseSender(Station& station, const QString& name, int lockWaitMs);

// Checks the list's rows against the page they print as: texts that do not
// fit even at both floors refuse a row, and a shop's address is split over
// its lines where each stands as it is.
void checkAgainstThePage(orders::OrderList& list);

// The rows as one document, one page each, in the order given, recorded in
// the history with their order numbers. When the printer accepted the
// document every row becomes printed in the list; otherwise none does, since
// a document reaches the printer whole or not at all. Rows that are not
// printable (refused, excluded, printed, unchecked) are never printed: the
// whole document is then refused before anything is made. A row that the
// file no longer holds as it was checked stops the document, and the
// delivery's message names its line. A saved sender printed on them moves
// up the saved list (savedSenderId); a problem doing so is in the notice.
Printed printOrderRows(PrintRun& run, orders::OrderList& list, const std::vector<qint64>& rows,
                       print::PrintOffsets offsets, const print::Progress& progress = {},
                       std::optional<qint64> savedSenderId = std::nullopt,
                       const std::optional<tracking::TrackingNumber>& firstFormNumber = {});

} // namespace station
