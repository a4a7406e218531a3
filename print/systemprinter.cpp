#include "print/systemprinter.h"

#include "platform/files.h"
#include "print/pdfoutput.h"
#include "print/printjob.h"
#include "print/renderer.h"

#include <QDateTime>
#include <QDir>
#include <QPainter>
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

// Why the queue cannot take a document now, or nothing when it can.
static QString unavailable(const QString& queueName)
{
    // The spooler takes a job for a stopped queue and holds it; a page that
    // comes out hours later, or twice after a retry, is worse than none. A
    // queue that is gone would swallow the job without a word.
    const QPrinterInfo queue = QPrinterInfo::printerInfo(queueName);
    if (queue.isNull())
        return QStringLiteral("プリンタ「%1」が見つからないため、印刷しませんでした。「プリンタの設定」でプリンタを選び直してください。").arg(queueName);
    if (queue.state() == QPrinter::Error)
        return QStringLiteral("プリンタ「%1」が停止しているため、印刷しませんでした。プリンタを再開してから、もう一度印刷してください。").arg(queueName);
    return {};
}

Delivery SystemPrinter::printToQueue(int pageCount, const PageSource& pages, const Progress& progress)
{
    QPrinter& device = *m_settings;
    if (const QString why = unavailable(m_queue); !why.isEmpty())
        return {.message = why};
    if (device.printerName() != m_queue)
        device.setPrinterName(m_queue);
    // Every page is made before the first reaches the device, so a stop
    // releases nothing.
    std::vector<Page> made;
    try {
        for (int i = 0; i < pageCount; ++i)
            made.push_back(pages(i));
    } catch (const JobStopped& stop) {
        return {.message = stop.message};
    }
    QPainter painter;
    if (!painter.begin(&device))
        return {.message = QStringLiteral("プリンタ「%1」に印刷できませんでした。プリンタの電源と接続、「プリンタの設定」での選択を確かめてください。").arg(device.printerName())};
    // Origin: the corner of the printable area, that is the paper corner
    // moved in by the device's own hardware margins.
    QPageLayout layout = device.pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QMarginsF hardware = layout.minimumMargins();
    const double dpi = device.resolution();
    const QPointF corner(hardware.left() * dpi / 72.0, hardware.top() * dpi / 72.0);
    for (size_t i = 0; i < made.size(); ++i) {
        if (i > 0)
            device.newPage();
        renderPage(painter, made[i], corner);
        if (progress && !progress(int(i) + 1, pageCount)) {
            device.abort();
            return {.cancelled = true, .message = QStringLiteral("印刷を取り消しました。どのページも印刷されていません。")};
        }
    }
    if (!painter.end() || device.printerState() == QPrinter::Error)
        return {.message = QStringLiteral("プリンタ「%1」への印刷に失敗しました。").arg(device.printerName())};
    return {.ok = true, .destination = device.printerName(), .pages = pageCount};
}

} // namespace print
