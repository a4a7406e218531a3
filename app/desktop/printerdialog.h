#pragma once
// The platform's printer dialog in its setup form: choice of printer and its
// page settings. A confirmed choice changes the current printer that every
// later job uses; the program keeps no printer setting of its own.
class QWidget;
class QPrinter;

namespace desktop {

class PrinterDialog {
public:
    virtual ~PrinterDialog() = default;
    // True when the user confirmed; the printer then carries the choice.
    virtual bool run(QWidget* parent, QPrinter& printer) = 0;
};

class QtPrinterDialog final : public PrinterDialog {
public:
    bool run(QWidget* parent, QPrinter& printer) override;
};

} // namespace desktop
