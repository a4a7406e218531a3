#pragma once
// `horutea --batch FILE.csv`: every row of an order list printed as one
// document with the saved offsets, without the window.
#include "orders/rows.h"
#include "platform/files.h"
#include "print/destination.h"

#include <QDate>
#include <QString>
#include <QTextStream>

namespace cli {

struct BatchRequest {
    QString csvPath;
    QString queue;                // empty: the program's printer
    QString pdfPath;              // set: one PDF file instead of a printer
    QString senderName;           // a saved sender's name; empty: the most recently used one
    bool noSender = false;        // the waybills carry no sender, on purpose (forms with it printed)
    bool senderFromBuyer = false; // each order's buyer is its sender (「ご依頼主: 注文者」)
    // A gift's recipient without a number in the list gets this one.
    orders::GiftTelephone giftTelephone = orders::GiftTelephone::Buyer;
    QString itemsPath;      // Yahoo!ショッピング's item file; empty: found beside the list by its name
    int lockWaitMs = 10000; // how long an address book held by another program is waited for
    QString encoding;       // "utf-8", "cp932", or empty to detect
    bool skipInvalid = false;
    QString databaseLocation; // a server's URL; empty: where the settings say
    // The number printed on the first form loaded, as on the form; empty:
    // the queue's stack, if one is set.
    QString firstNumber;
    QString carrier; // the forms' carrier word; empty: that of the queue's stack
    // The layout of every page: a saved layout's name, or a layout file
    // (a path ending in .json or holding a /); empty: the queue's own.
    QString layout;
    QDate shipDate; // a layout's ship date; invalid: the day of the print
    int parcelCount = 1;
    // Told after each page is made; false cancels. The program itself sets
    // none; a caller that must act between pages does.
    print::Progress progress;
};

// Exit 0 when every row printed; 1 when rows were refused (each named on err
// with its line, column and reason; nothing printed unless skipInvalid); 2
// when the batch could not run (a first number failing its carrier's check
// among the causes). With numbered forms, each order's number is on out.
int runBatch(const BatchRequest& request, const platform::Folders& folders, QTextStream& out, QTextStream& err);

} // namespace cli
