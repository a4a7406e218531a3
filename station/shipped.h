#pragma once
// Shipping confirmations from the print history: what `horutea --shipped`
// and the history window's export button share.
#include "shipping/confirmations.h"
#include "station/station.h"

#include <QDate>

namespace station {

// The platform whose confirmation takes the orders of a page printed from
// `origin`; none for the window, another list, or a page recorded before
// the history kept where it came from.
std::optional<shipping::Format> platformOf(const history::Origin& origin);

struct ShippedParcels {
    // One per live form printed in the period, oldest first: a form listed
    // as spoiled (書き損じ, a reprint's old form, 1枚飛ばす) is no parcel's.
    QList<shipping::ShippedParcel> parcels;
    int fromLocalQueue = 0; // of them, pages still waiting in this PC's queue for the server
    int spoiledLeftOut = 0; // pages whose form was listed as spoiled afterwards
};

// The parcels printed from `from` to `to` (both whole days, local time):
// the history's, and on a server also those waiting in this PC's queue.
// Nothing when the history (or the queue) cannot be read; the history's
// problem then goes to the storage::ProblemsMet held around the call, the
// queue's to `queueProblem`.
std::optional<ShippedParcels> shippedBetween(Station& station, QDate from, QDate to, QString& queueProblem);

struct ShippedReport {
    bool ok = false;
    QString message; // for the user: what was written, or why nothing was
    shipping::Written written;
};

// Writes the confirmations of [from, to] as `format` into `path`, replacing
// it only once the whole file is written: a failed write, a full disk, a
// folder, a named pipe or a device under that name leave what was there as
// it was. A history that cannot be read writes nothing: an empty file would
// look like a day without parcels. `filter` wraps the file's device (tests
// make the write fail with it).
ShippedReport writeShipped(Station& station, shipping::Format format, const QString& path, QDate from, QDate to,
                           const platform::DeviceFilter& filter = {});

} // namespace station
