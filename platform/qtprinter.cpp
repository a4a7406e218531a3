#include "platform/qtprinter.h"

#include "platform/files.h"
#include "platform/fonts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPen>
#include <QPrinterInfo>

#include <cmath>
#include <utility>

namespace platform {

namespace {
constexpr double kTwipsPerInch = 1440.0;
constexpr double kImpactDotsPerInch = 180.0; // the unit of the mark line width
} // namespace

void QtPrinter::reset()
{
    m_font = QFont();
    m_x = m_y = 0;
    m_drawWidth = 1;
    m_items.clear();
}

void QtPrinter::setFontSize(int points) { m_font.setPointSizeF(points); }

double QtPrinter::fontSize() const { return std::round(m_font.pointSizeF() * 10000.0) / 10000.0; }

void QtPrinter::setFontName(const QString& name) { m_font.setFamily(installedFace(name)); }
void QtPrinter::setFontBold(bool bold) { m_font.setBold(bold); }
void QtPrinter::setCurrentX(float twips) { m_x = twips; }
void QtPrinter::setCurrentY(float twips) { m_y = twips; }

void QtPrinter::printText(const QString& text)
{
    m_items.push_back({true, m_font, QPointF(m_x, m_y), text, 0, 0});
}

void QtPrinter::setDrawWidth(int width) { m_drawWidth = width; }

void QtPrinter::circle(float centreX, float centreY, float radius)
{
    m_items.push_back({false, QFont(), QPointF(centreX, centreY), QString(), radius, m_drawWidth});
}

void QtPrinter::killDoc() { m_items.clear(); }

// Why the device cannot take a page now, or nothing when it can.
static QString unavailable(const QPrinter& device)
{
    if (device.outputFormat() != QPrinter::NativeFormat)
        return {};
    // The spooler takes a job for a stopped queue and holds it; a page that
    // comes out hours later, or twice after a retry, is worse than none. A
    // queue that is gone would swallow the job without a word.
    const QPrinterInfo queue = QPrinterInfo::printerInfo(device.printerName());
    if (queue.isNull())
        return QStringLiteral("プリンタ「%1」が見つからないため、印刷しませんでした。「プリンタの設定」でプリンタを選び直してください。").arg(device.printerName());
    if (queue.state() == QPrinter::Error)
        return QStringLiteral("プリンタ「%1」が停止しているため、印刷しませんでした。プリンタを再開してから、もう一度印刷してください。").arg(device.printerName());
    return {};
}

EndDocResult QtPrinter::endDoc()
{
    const std::vector<Item> items = std::exchange(m_items, {});
    QPrinter& device = *m_target.device();
    EndDocResult result;
    if (m_target.writesPdfFiles()) {
        if (!ensureFolder(m_target.pdfFolder()))
            return {false, QStringLiteral("PDFファイルの保存先フォルダ「%1」を作成できませんでした。").arg(m_target.pdfFolder()), {}};
        result.savedFile = m_target.nextPdfFile();
        device.setOutputFileName(result.savedFile);
    }
    if (const QString why = unavailable(device); !why.isEmpty())
        return {false, why, {}};

    QPainter painter;
    if (!painter.begin(&device)) {
        const QString name = device.outputFileName().isEmpty() ? device.printerName() : device.outputFileName();
        return {false, QStringLiteral("プリンタ「%1」に印刷できませんでした。プリンタの電源と接続、「プリンタの設定」での選択を確かめてください。").arg(name), {}};
    }

    // Origin: the corner of the printable area, that is the paper corner
    // moved in by the device's own hardware margins.
    QPageLayout layout = device.pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QMarginsF hardware = layout.minimumMargins();
    const double dpi = device.resolution();
    const double unit = dpi / kTwipsPerInch; // device units per twip
    painter.translate(hardware.left() * dpi / 72.0, hardware.top() * dpi / 72.0);
    painter.setRenderHint(QPainter::Antialiasing);

    for (const Item& item : items) {
        const QPointF at(item.at.x() * unit, item.at.y() * unit);
        if (item.isText) {
            painter.setFont(item.font);
            painter.setPen(Qt::black);
            const QFontMetricsF metrics(item.font, &device);
            painter.drawText(at + QPointF(0, metrics.ascent()), item.text);
        } else {
            QPen pen(Qt::black);
            pen.setWidthF(item.width * dpi / kImpactDotsPerInch);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            const double r = item.radius * unit;
            painter.drawEllipse(at, r, r);
        }
    }
    if (!painter.end() || device.printerState() == QPrinter::Error)
        return {false, QStringLiteral("プリンタ「%1」への印刷に失敗しました。").arg(device.printerName()), {}};
    return result;
}

QtPrintTarget::QtPrintTarget(QString pdfFolder) : m_fallbackFolder(std::move(pdfFolder))
{
    m_job = std::make_unique<QtPrinter>(*this);
}

QPrinter* QtPrintTarget::device()
{
    if (!m_device) {
        m_device = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_device->setFullPage(true);
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            m_pdfFolder = m_fallbackFolder;
            m_device->setOutputFormat(QPrinter::PdfFormat);
        }
    }
    return m_device.get();
}

std::unique_ptr<QtPrintTarget> QtPrintTarget::toPdfFile(const QString& path)
{
    std::unique_ptr<QtPrintTarget> t(new QtPrintTarget());
    t->m_device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    t->m_device->setFullPage(true);
    t->m_device->setOutputFormat(QPrinter::PdfFormat);
    t->m_device->setOutputFileName(path);
    t->m_job = std::make_unique<QtPrinter>(*t);
    return t;
}

Printer& QtPrintTarget::beginJob()
{
    device();
    m_job->reset();
    return *m_job;
}

QString QtPrintTarget::nextPdfFile() const
{
    // A new name for every page: the time of printing, then a counter when
    // two pages share a second. The file is created here so the name is ours.
    const QString stem = QStringLiteral("送り状_") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? stem + QStringLiteral(".pdf") : QStringLiteral("%1_%2.pdf").arg(stem).arg(n);
        const QString path = QDir(m_pdfFolder).filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFile::exists(path))
            return path; // cannot reserve it; painting will report the failure
    }
}

} // namespace platform
