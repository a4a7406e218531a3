#pragma once
// Where a run without the window prints: a queue of the system (the one
// the window last chose, or one named), or one PDF file on the form's paper.
#include "common/result.h"
#include "platform/files.h"
#include "print/pdfoutput.h"
#include "print/systemprinter.h"

#include <memory>

namespace cli {

struct ChosenDestination {
    std::unique_ptr<print::SystemPrinter> systemPrinter; // also kept for a PDF file: the form's paper
    std::unique_ptr<print::PdfFileDestination> pdfFile;
    print::Destination* destination = nullptr;
    // The queue the window printed to before this run named one; empty on a
    // machine without printers.
    QString windowsQueue;
    // The queue this run prints to; empty for a PDF file.
    QString queue() const { return destination ? destination->formQueue() : QString(); }
};

// A queue that is not there, or settings that cannot be used, fail with the
// message to write; nothing has been printed then. A queue named becomes the
// window's printer, as the printer dialog's choice does.
Result<std::unique_ptr<ChosenDestination>> chooseDestination(const QString& queue, const QString& pdfPath,
                                                             const platform::Folders& folders);

} // namespace cli
