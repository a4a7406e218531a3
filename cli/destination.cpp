#include "cli/destination.h"

#include <QPrinterInfo>

namespace cli {

Result<std::unique_ptr<ChosenDestination>> chooseDestination(const QString& queue, const QString& pdfPath,
                                                             const platform::Folders& folders)
{
    auto chosen = std::make_unique<ChosenDestination>();
    chosen->systemPrinter = std::make_unique<print::SystemPrinter>(folders.documentsFolder(), folders.settingsFile());
    // A form size that cannot be would feed every form wrongly.
    if (!chosen->systemPrinter->settingsProblem().isEmpty())
        return fail(chosen->systemPrinter->settingsProblem());
    if (!pdfPath.isEmpty()) {
        QPageLayout paper = print::defaultPdfPaper();
        if (const auto form = chosen->systemPrinter->formPaper())
            paper = QPageLayout(
                QPageSize(QSizeF(form->widthMm, form->lengthMm), QPageSize::Millimeter, {}, QPageSize::ExactMatch),
                QPageLayout::Portrait, QMarginsF());
        chosen->pdfFile = std::make_unique<print::PdfFileDestination>(pdfPath, paper);
        chosen->destination = chosen->pdfFile.get();
        return chosen;
    }
    chosen->windowsQueue = chosen->systemPrinter->formQueue();
    if (!queue.isEmpty()) {
        if (QPrinterInfo::printerInfo(queue).isNull())
            return fail(
                QStringLiteral("プリンタ「%1」が見つかりません。lpstat -p で名前を確かめてください。").arg(queue));
        chosen->systemPrinter->chooseWith([&](QPrinter& printer) {
            printer.setPrinterName(queue);
            return true;
        });
    }
    chosen->destination = chosen->systemPrinter.get();
    return chosen;
}

} // namespace cli
