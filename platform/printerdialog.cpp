#include "platform/printerdialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace platform {

bool QtPrinterDialog::run(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("プリンタの設定"));
    // Setup form: no page range, no selection, no copies or collation.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, 1);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform
