#pragma once
// A one-PC shop moving to a server: the address book and print history of
// this PC's file copied into the server's database. Safe to run again: an
// entry already there merges with its twin, a page already there (by its
// station id, or for pages recorded before ids, one made from the page
// itself) is not added twice. The file is left as it was.
#include "storage/database.h"

#include <QString>

namespace station {

struct MoveReport {
    bool ok = false;
    int entriesAdded = 0;
    int entriesAlreadyThere = 0;
    int pagesAdded = 0;
    int pagesAlreadyThere = 0;
    int spoiledFormsMoved = 0; // listed on the server now (those already there count too)
    QString message;           // for the user: what was moved, or why not
};

MoveReport moveToServer(storage::Database& local, storage::Database& server);

} // namespace station
