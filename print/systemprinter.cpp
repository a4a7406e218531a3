#include "print/systemprinter.h"

#include "platform/files.h"
#include "platform/readfile.h"
#include "platform/spooler.h"
#include "print/pdfoutput.h"
#include "print/printjob.h"
#include "print/renderer.h"

#include <QDateTime>
#include <QDir>
#include <QPrintEngine>
#include <QPrinterInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <utility>

namespace print {

SystemPrinter::SystemPrinter(QString pdfFolder, QString choiceFile)
    : m_pdfFolder(std::move(pdfFolder)), m_choiceFile(std::move(choiceFile))
{
    // Settings read from a named pipe or a device would stop the program
    // for ever; this run then keeps its choices to itself.
    if (!m_choiceFile.isEmpty())
        if (const QString problem = platform::specialFileProblem(m_choiceFile, QStringLiteral("設定ファイル"));
            !problem.isEmpty()) {
            m_choiceFile.clear();
            m_settingsProblem = problem + QStringLiteral("今回はプリンタと用紙の設定を覚えずに続けます。");
            m_notice = m_settingsProblem;
        }
    // The form's size is cheap to read and the preview needs it early.
    if (!m_choiceFile.isEmpty()) {
        const QSettings stored(m_choiceFile, QSettings::IniFormat);
        const QVariant width = stored.value(QStringLiteral("form/widthMm"));
        const QVariant length = stored.value(QStringLiteral("form/lengthMm"));
        // 0 × 0 is how a cleared size is kept.
        if ((width.isValid() || length.isValid()) && !(width.toDouble() == 0 && length.toDouble() == 0)) {
            const auto checked = paper::formPaperOf(width.toDouble(), length.toDouble());
            if (checked) {
                m_formPaper = *checked;
            } else {
                m_settingsProblem =
                    QStringLiteral("設定ファイル「%1」の連続用紙の大きさ（幅「%2」、長さ「%3」）は使えません。%4"
                                   "プレビューの「用紙の大きさ」で設定し直してください。")
                        .arg(QDir::toNativeSeparators(m_choiceFile), width.toString(), length.toString(),
                             checked.error());
                m_notice = m_settingsProblem;
            }
        }
    }
}
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
        loadChoice();
    }
    return *m_settings;
}

// Where Qt's printer keeps the spooler options chosen in the dialog's
// printer properties.
static const QPrintEngine::PrintEnginePropertyKey kSpoolerOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// The choice is the program's own, not the user's default printer: made the
// system's default, a form printer would take every other program's pages.
void SystemPrinter::loadChoice()
{
    if (m_choiceFile.isEmpty() || m_noPrinter)
        return;
    const QSettings stored(m_choiceFile, QSettings::IniFormat);
    const QString queue = stored.value(QStringLiteral("printer/queue")).toString();
    if (queue.isEmpty())
        return;
    if (QPrinterInfo::printerInfo(queue).isNull()) {
        m_notice =
            QStringLiteral(
                "前に「プリンタの設定」で選んだプリンタ「%1」が見つからないため、既定のプリンタ「%2」を使います。"
                "別のプリンタにするときは「プリンタの設定」で選び直してください。")
                .arg(queue, m_queue);
        return;
    }
    m_settings->setPrinterName(queue);
    m_queue = queue;
    const QSizeF paperMm = stored.value(QStringLiteral("printer/paperMm")).toSizeF();
    if (paperMm.isValid()) {
        const QString name = stored.value(QStringLiteral("printer/paperName")).toString();
        m_settings->setPageSize(QPageSize(paperMm, QPageSize::Millimeter, name, QPageSize::FuzzyMatch));
    }
    m_settings->setPageOrientation(stored.value(QStringLiteral("printer/landscape")).toBool() ? QPageLayout::Landscape
                                                                                              : QPageLayout::Portrait);
    const QStringList options = stored.value(QStringLiteral("printer/spoolerOptions")).toStringList();
    if (!options.isEmpty())
        m_settings->printEngine()->setProperty(kSpoolerOptionsKey, options);
}

void SystemPrinter::saveChoice()
{
    if (m_choiceFile.isEmpty() || m_settings->outputFormat() != QPrinter::NativeFormat)
        return;
    QSettings stored(m_choiceFile, QSettings::IniFormat);
    stored.setValue(QStringLiteral("printer/queue"), m_queue);
    const QPageSize size = m_settings->pageLayout().pageSize();
    stored.setValue(QStringLiteral("printer/paperName"), size.name());
    stored.setValue(QStringLiteral("printer/paperMm"), size.size(QPageSize::Millimeter));
    stored.setValue(QStringLiteral("printer/landscape"),
                    m_settings->pageLayout().orientation() == QPageLayout::Landscape);
    stored.setValue(QStringLiteral("printer/spoolerOptions"),
                    m_settings->printEngine()->property(kSpoolerOptionsKey).toStringList());
}

void SystemPrinter::setFormPaper(std::optional<paper::FormPaper> formPaper)
{
    m_formPaper = formPaper;
    if (m_choiceFile.isEmpty())
        return;
    QSettings stored(m_choiceFile, QSettings::IniFormat);
    stored.setValue(QStringLiteral("form/widthMm"), formPaper ? formPaper->widthMm : 0.0);
    stored.setValue(QStringLiteral("form/lengthMm"), formPaper ? formPaper->lengthMm : 0.0);
}

QPageLayout SystemPrinter::paperLayout()
{
    if (m_formPaper)
        return QPageLayout(QPageSize(QSizeF(m_formPaper->widthMm, m_formPaper->lengthMm), QPageSize::Millimeter,
                                     QStringLiteral("連続用紙"), QPageSize::ExactMatch),
                           QPageLayout::Portrait, QMarginsF());
    return settings().pageLayout();
}

bool SystemPrinter::writesPdfFiles()
{
    settings();
    return m_noPrinter && m_settings->outputFileName().isEmpty();
}

QPointF SystemPrinter::printableCornerMm()
{
    if (writesPdfFiles() || settings().outputFormat() == QPrinter::PdfFormat)
        return {};
    QPageLayout layout = settings().pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    return {layout.minimumMargins().left(), layout.minimumMargins().top()};
}

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
        saveChoice();
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

QString SystemPrinter::formQueue()
{
    if (writesPdfFiles() || settings().outputFormat() == QPrinter::PdfFormat)
        return {};
    return m_queue;
}

Delivery SystemPrinter::print(int pageCount, const PageSource& pages, const Progress& progress)
{
    QPrinter& printer = settings();
    Delivery delivery;
    if (writesPdfFiles())
        delivery = printToNewPdfFile(pageCount, pages, progress);
    else if (printer.outputFormat() == QPrinter::PdfFormat)
        delivery = PdfFileDestination(printer.outputFileName(), paperLayout()).print(pageCount, pages, progress);
    else
        delivery = printToQueue(pageCount, pages, progress);
    delivery.notice = std::exchange(m_notice, {});
    return delivery;
}

Delivery SystemPrinter::printToNewPdfFile(int pageCount, const PageSource& pages, const Progress& progress)
{
    if (!platform::ensureFolder(m_pdfFolder))
        return {.message =
                    QStringLiteral("PDFファイルの保存先フォルダ「%1」を作成できませんでした。").arg(m_pdfFolder)};
    // A new name for every document: the time of printing, then a counter
    // when two documents share a second.
    const QString stem =
        QStringLiteral("送り状_") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QString path = platform::newFileName(m_pdfFolder, stem, QStringLiteral(".pdf"));
    PdfFileDestination file(path, paperLayout(), PdfFileDestination::Existing::NeverOverwrite);
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
        return {
            .message =
                QStringLiteral(
                    "印刷用の一時ファイルを作れませんでした（%1）。一時フォルダ「%2」の空きと書き込みの許可を確かめてください。")
                    .arg(file.errorString(), QDir::toNativeSeparators(QDir::tempPath()))};
    if (m_formPaper && !queue.takesCustomSize(m_formPaper->widthMm, m_formPaper->lengthMm))
        return {
            .message =
                QStringLiteral(
                    "プリンタ「%1」は連続用紙の大きさ %2 を扱えないため、印刷しませんでした。"
                    "プリンタか用紙の大きさを選び直してください（このプリンタの範囲: 幅 %3～%4 mm、長さ %5～%6 mm）。")
                    .arg(m_queue, paper::describe(*m_formPaper))
                    .arg(queue.customMinWidthMm, 0, 'f', 1)
                    .arg(queue.customMaxWidthMm, 0, 'f', 1)
                    .arg(queue.customMinLengthMm, 0, 'f', 1)
                    .arg(queue.customMaxLengthMm, 0, 'f', 1)};
    if (m_formPaper)
        device.setPageSize(paperLayout().pageSize());
    QPageLayout queuePaper = device.pageLayout();
    queuePaper.setUnits(QPageLayout::Millimeter);
    // Origin: the corner of the printable area, that is the paper corner
    // moved in by the queue's own hardware margins.
    const QMarginsF hardware = queuePaper.minimumMargins();
    const QPageLayout layout = m_formPaper ? paperLayout() : queuePaper;
    Delivery result =
        writePdfDocument(file, layout, QPointF(hardware.left(), hardware.top()), pageCount, pages, progress);
    if (!result.ok) {
        if (result.message.isEmpty())
            result.message =
                QStringLiteral(
                    "印刷用の一時ファイルを書けませんでした（%1）。一時フォルダ「%2」の空きを確かめてください。")
                    .arg(file.errorString(), QDir::toNativeSeparators(QDir::tempPath()));
        return result;
    }
    file.close();

    platform::PrinterJobSettings job = platform::jobSettingsOf(device);
    if (job.title.isEmpty())
        job.title = QStringLiteral("送り状");
    platform::JobOptions options = job.options;
    // The form's exact size, never snapped to a standard size nearby.
    if (m_formPaper)
        options += platform::customPaper(m_formPaper->widthMm, m_formPaper->lengthMm);
    options += platform::resolutionOptions(platform::pickResolution(queue, options));
    const platform::SpoolerResult submitted = platform::submitPdf(m_queue, file.fileName(), job.title, options);
    if (!submitted.ok())
        return {.message = submitted.message};
    return {.ok = true, .destination = m_queue, .pages = pageCount};
}

} // namespace print
