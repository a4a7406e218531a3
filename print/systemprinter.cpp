#include "print/systemprinter.h"

#include "platform/files.h"
#include "platform/spooler.h"
#include "print/pdfoutput.h"
#include "print/printjob.h"
#include "print/renderer.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryFile>
#include <QPrintEngine>
#include <QPrinterInfo>

namespace print {

SystemPrinter::SystemPrinter(QString pdfFolder) : m_pdfFolder(std::move(pdfFolder)) {}
SystemPrinter::~SystemPrinter() = default;

QPrinter& SystemPrinter::settings()
{
    if (!m_settings) {
        m_settings = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_settings->setFullPage(true);
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            m_noPrinter = true;
            m_settings->setOutputFormat(QPrinter::PdfFormat);
        }
        m_queue = m_settings->printerName();
    }
    return *m_settings;
}

bool SystemPrinter::writesPdfFiles()
{
    settings();
    return m_noPrinter && m_settings->outputFileName().isEmpty();
}

// Where Qt's printer keeps the spooler options chosen in the dialog's
// printer properties.
static const QPrintEngine::PrintEnginePropertyKey kSpoolerOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

bool SystemPrinter::chooseWith(const std::function<bool(QPrinter&)>& choose)
{
    QPrinter& printer = settings();
    // Qt's dialog edits the printer as the user goes, and picks another
    // queue when the current one has gone.
    const QPrinter::OutputFormat format = printer.outputFormat();
    const QString file = printer.outputFileName();
    const QPageLayout layout = printer.pageLayout();
    const QPrinter::ColorMode colour = printer.colorMode();
    const QPrinter::DuplexMode duplex = printer.duplex();
    const QVariant spoolerOptions = printer.printEngine()->property(kSpoolerOptionsKey);
    if (choose(printer)) {
        if (printer.outputFormat() == QPrinter::NativeFormat)
            m_queue = printer.printerName();
        return true;
    }
    printer.setOutputFormat(format);
    if (format == QPrinter::NativeFormat)
        printer.setPrinterName(m_queue);
    printer.setOutputFileName(file);
    printer.setPageLayout(layout);
    printer.setColorMode(colour);
    printer.setDuplex(duplex);
    printer.printEngine()->setProperty(kSpoolerOptionsKey, spoolerOptions);
    return false;
}

Delivery SystemPrinter::print(int pageCount, const PageSource& pages, const Progress& progress)
{
    QPrinter& printer = settings();
    if (writesPdfFiles())
        return printToNewPdfFile(pageCount, pages, progress);
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return PdfFileDestination(printer.outputFileName(), printer.pageLayout()).print(pageCount, pages, progress);
    return printToQueue(pageCount, pages, progress);
}

Delivery SystemPrinter::printToNewPdfFile(int pageCount, const PageSource& pages, const Progress& progress)
{
    if (!platform::ensureFolder(m_pdfFolder))
        return {.message = QStringLiteral("PDFファイルの保存先フォルダ「%1」を作成できませんでした。").arg(m_pdfFolder)};
    // A new name for every document: the time of printing, then a counter
    // when two documents share a second.
    const QString stem = QStringLiteral("送り状_") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QString path = platform::newFileName(m_pdfFolder, stem, QStringLiteral(".pdf"));
    PdfFileDestination file(path, m_settings->pageLayout(), PdfFileDestination::Existing::NeverOverwrite);
    Delivery delivery = file.print(pageCount, pages, progress);
    delivery.becauseNoPrinter = true;
    return delivery;
}

Delivery SystemPrinter::printToQueue(int pageCount, const PageSource& pages, const Progress& progress)
{
    QPrinter& device = *m_settings;
    // Asked before anything is made: a queue that is gone, stopped or
    // refusing jobs, or a spooler that does not run, is said as such.
    const platform::QueueInfo queue = platform::inspectQueue(m_queue);
    if (!queue.status.ok())
        return {.message = queue.status.message};
    if (device.printerName() != m_queue)
        device.setPrinterName(m_queue);

    // The whole document into a file of its own first: the spooler gets it
    // complete or not at all.
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("horutea-XXXXXX.pdf")));
    if (!file.open())
        return {.message = QStringLiteral("印刷用の一時ファイルを作れませんでした（%1）。一時フォルダ「%2」の空きと書き込みの許可を確かめてください。")
                               .arg(file.errorString(), QDir::toNativeSeparators(QDir::tempPath()))};
    QPageLayout layout = device.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    // Origin: the corner of the printable area, that is the paper corner
    // moved in by the queue's own hardware margins.
    const QMarginsF hardware = layout.minimumMargins();
    Delivery result = writePdfDocument(file, layout, QPointF(hardware.left(), hardware.top()), pageCount, pages, progress);
    if (!result.ok) {
        if (result.message.isEmpty())
            result.message = QStringLiteral("印刷用の一時ファイルを書けませんでした（%1）。一時フォルダ「%2」の空きを確かめてください。")
                                 .arg(file.errorString(), QDir::toNativeSeparators(QDir::tempPath()));
        return result;
    }
    file.close();

    platform::PrinterJobSettings job = platform::jobSettingsOf(device);
    if (job.title.isEmpty())
        job.title = QStringLiteral("送り状");
    platform::JobOptions options = job.options;
    options += platform::resolutionOptions(platform::pickResolution(queue, options));
    const platform::SpoolerResult submitted = platform::submitPdf(m_queue, file.fileName(), job.title, options);
    if (!submitted.ok())
        return {.message = submitted.message};
    return {.ok = true, .destination = m_queue, .pages = pageCount};
}

} // namespace print
