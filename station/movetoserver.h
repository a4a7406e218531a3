#pragma once
// A one-PC shop moving to a server: the address book and print history of
// this PC's file copied into the server's database. Safe to run again: an
// entry already there merges with its twin, a page already there (by its
// station id, or for pages recorded before ids, one made from the page
// itself) is not added twice. The file is left as it was.
#include "addressbook/importfile.h"
#include "storage/database.h"

#include <QString>

namespace station {

struct MoveReport {
    bool ok = false;
    bool cancelled = false;
    int entriesAdded = 0;
    int entriesAlreadyThere = 0;
    int pagesAdded = 0;
    int pagesAlreadyThere = 0;
    int spoiledFormsMoved = 0; // listed on the server now (those already there count too)
    QString message;           // for the user: what was moved, or why not
};

// progress: told between steps how far the move is (0 to 1) and what it is
// doing; false stops it there (what was moved stays, and moving again goes
// on from there without twins).
MoveReport moveToServer(storage::Database& local, storage::Database& server,
                        const addressbook::ImportProgress& progress = {});

} // namespace station
