#pragma once
// Where a document goes: one spooler job or one PDF file. A document holds
// one or more pages and is released whole or not at all: a page that cannot
// be made, a cancel or a failing device releases nothing.
#include "print/page.h"

#include <QString>
#include <functional>

namespace print {

struct Delivery {
    bool ok = false;
    bool cancelled = false;
    QString message;     // why nothing was released, for the user
    QString destination; // the queue's name, or the PDF file written
    bool toPdfFile = false;
    bool becauseNoPrinter = false; // a new file in the documents folder: the machine has no printer
    QString notice;                // something the user should hear once, printed or not
    int pages = 0;
};

// Makes page `index` (0-based) of the document; throws JobStopped when it
// cannot.
using PageSource = std::function<Page(int index)>;
// Told after each page is out of the way; answers false to cancel.
using Progress = std::function<bool(int pagesDone, int pageCount)>;

class Destination {
public:
    virtual ~Destination() = default;
    virtual Delivery print(int pageCount, const PageSource& pages, const Progress& progress = {}) = 0;
    // The printer queue whose loaded forms the next document goes on; empty
    // when it goes to a file, which uses no form.
    virtual QString formQueue() { return {}; }
};

} // namespace print
