#pragma once
// Shipping confirmations from the print history: what `horutea --shipped`
// and the history window's export button share.
#include "shipping/confirmations.h"
#include "station/station.h"

#include <QDate>

namespace station {

// The waybills printed from `from` to `to` (both whole days, local time),
// oldest first, one entry per printed page with its form's number; pages
// printed without a known number carry none.
QList<shipping::ShippedOrder> shippedBetween(history::History& history, QDate from, QDate to);

struct ShippedReport {
    bool ok = false;
    QString message; // for the user: what was written, or why nothing was
    shipping::Written written;
};

// Writes the confirmations of [from, to] as `format` into `path`, replacing
// it only once the whole file is written. A history that cannot be read
// writes nothing: an empty file would look like a day without parcels.
ShippedReport writeShipped(Station& station, shipping::Format format, const QString& path, QDate from, QDate to);

} // namespace station
