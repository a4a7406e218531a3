#include "app/desktop/printerdialog.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>

namespace desktop {

bool QtPrinterDialog::run(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("プリンタの設定"));
    // Setup form: no page range, no selection, no copies or collation.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, 1);
    // Qt's dialog has no setup form of its own: drop the page range and
    // copies tab, and confirm with OK rather than Print.
    for (QTabWidget* tabs : dialog.findChildren<QTabWidget*>()) {
        if (QWidget* copies = tabs->findChild<QWidget*>(QStringLiteral("copiesTab")))
            tabs->removeTab(tabs->indexOf(copies));
    }
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    }
    return dialog.exec() == QDialog::Accepted;
}

} // namespace desktop
