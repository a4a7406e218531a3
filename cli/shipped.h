#pragma once
// `horutea --shipped FORMAT --out FILE [--from DATE] [--to DATE]`: the
// shipping confirmations of the waybills printed in a period, for the shop
// platform's upload.
#include "platform/files.h"

#include <QString>
#include <QTextStream>

namespace cli {

struct ShippedRequest {
    QString format; // a format's command-line word (shipping::formatTokenChoices())
    QString outPath;
    QString fromText;         // YYYY-MM-DD; empty: the day of toText
    QString toText;           // YYYY-MM-DD; empty: today
    QString databaseLocation; // a server's URL; empty: where the settings say
};

// Exit 0 when the file was written; 2 when it could not be (nothing is then
// left at outPath but what was there before).
int runShipped(const ShippedRequest& request, const platform::Folders& folders, QTextStream& out, QTextStream& err);

} // namespace cli
