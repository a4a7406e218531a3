#pragma once
// Importing a CSV file of addresses into the address book: read whole first,
// so a file that breaks off part way stores nothing, then stored a piece at
// a time, each piece one transaction sized to take a moment, so that the
// windows answer and prints are recorded in between. What the window and the
// command line share.
#include "addressbook/addressbook.h"

#include <functional>

namespace addressbook {

// Called between steps with how far the import is (0 to 1) and what it is
// doing, in Japanese; false cancels it.
using ImportProgress = std::function<bool(double done, const QString& doing)>;

struct ImportReport {
    enum class Outcome {
        Imported,        // every entry stored (added or merged)
        NothingToImport, // the file had no row to store
        Cancelled,       // stopped by the caller; the pieces stored before stay
        CannotRead,      // the file could not be opened or read whole; nothing stored
        StorageFailed,   // a piece could not be stored; the pieces before stay
    };
    Outcome outcome = Outcome::Imported;
    qsizetype entriesInFile = 0;
    int added = 0;
    int merged = 0;          // identical to an entry already there
    QStringList skippedRows; // "N行目：why", rows left out
    QString message;         // for the user: what happened and what to do
    int stored() const { return added + merged; }
};

ImportReport importCsvFile(AddressBook& book, const QString& path, const ImportProgress& progress = {});

} // namespace addressbook
