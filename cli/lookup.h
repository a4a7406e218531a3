#pragma once
// `horutea --lookup CODE`: the addresses of a postal code, for scripts and
// for checking the installed data without the window.
#include <QString>
#include <QTextStream>

namespace cli {

enum LookupExit : int {
    lookupFound = 0,
    lookupNotFoundOrMalformed = 1,
    lookupDataUnavailable = 2,
};

// Prints one line per address: prefecture, city and town separated by tabs,
// and for a large office's code its street and office name as two more
// columns. Returns lookupFound, or writes a Japanese message to err and
// returns lookupNotFoundOrMalformed (no such code, or not a postal code) or
// lookupDataUnavailable (data file missing or damaged). Malformed input is
// refused before the data file is opened.
int runLookup(const QString& code, const QString& dataFilePath, QTextStream& out, QTextStream& err);

} // namespace cli
