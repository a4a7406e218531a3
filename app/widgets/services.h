#pragma once
// What every window of the program prints and keeps with: the seams the
// program's start fills with the real pieces and the tests with doubles.
#include "app/desktop/messagebox.h"
#include "app/desktop/printerdialog.h"
#include "print/systemprinter.h"
#include "station/printrun.h"

#include <functional>

namespace app {

struct Services {
    desktop::MessageBox& messages;
    station::Station& station;
    station::PrintRun& printRun; // the print run over `station`
    desktop::PrinterDialog& printerDialog;
    print::SystemPrinter* systemPrinter; // what the printer dialog edits; none when printing elsewhere
    std::function<void()> quit;          // ends the process
};

} // namespace app
