#include "print/pdfoutput.h"

#include "platform/files.h"
#include "print/printjob.h"
#include "print/renderer.h"

#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>

namespace print {

// Passes writes on in blocks and remembers whether any was refused: the PDF
// writer itself never looks at what its device answers, and it writes a page
// in thousands of small pieces, each of which would otherwise be a system
// call on a save file, which writes unbuffered.
class PdfDocumentWriter::TrackingDevice final : public QIODevice {
public:
    explicit TrackingDevice(QIODevice& target) : m_target(target)
    {
        open(QIODevice::WriteOnly);
        m_held.reserve(kBlockBytes);
    }
    bool failed() const { return m_failed; }
    // Hands on what is held; false when the target refused any of it.
    bool flushHeld()
    {
        if (!m_failed && !m_held.isEmpty() && m_target.write(m_held) != m_held.size())
            m_failed = true;
        // Emptied, not freed: a block made anew for every page costs the
        // system fresh memory each time on a long list.
        m_held.resize(0);
        return !m_failed;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_failed)
            return -1;
        m_held.append(data, size);
        if (m_held.size() >= kBlockBytes && !flushHeld())
            return -1;
        return size;
    }

private:
    static constexpr qsizetype kBlockBytes = 64 * 1024;
    QIODevice& m_target;
    QByteArray m_held;
    bool m_failed = false;
};

QPageLayout defaultPdfPaper() { return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()); }

PdfDocumentWriter::PdfDocumentWriter(QIODevice& device, const QPageLayout& paper, QPointF printableCornerMm,
                                     const QString& title)
    : m_device(std::make_unique<TrackingDevice>(device)), m_writer(std::make_unique<QPdfWriter>(m_device.get()))
{
    m_writer->setResolution(kPdfDotsPerInch);
    m_writer->setTitle(title);
    m_writer->setPageLayout(QPageLayout(paper.pageSize(), paper.orientation(), QMarginsF()));
    const double dotsPerMm = m_writer->resolution() / 25.4;
    m_cornerDevice = printableCornerMm * dotsPerMm;
}

PdfDocumentWriter::~PdfDocumentWriter() = default;

void PdfDocumentWriter::addPage(const Page& page)
{
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_writer.get()))
            return;
    } else {
        m_writer->newPage();
    }
    renderPage(*m_painter, page, m_cornerDevice);
    ++m_pages;
}

bool PdfDocumentWriter::finish()
{
    if (m_painter && m_painter->isActive())
        m_painter->end();
    return m_device->flushHeld() && m_pages > 0;
}

Delivery writePdfDocument(QIODevice& device, const QPageLayout& paper, QPointF printableCornerMm, int pageCount,
                          const PageSource& pages, const Progress& progress)
{
    Delivery result;
    PdfDocumentWriter writer(device, paper, printableCornerMm);
    for (int i = 0; i < pageCount; ++i) {
        try {
            writer.addPage(pages(i));
        } catch (const JobStopped& stop) {
            result.message = stop.message;
            return result;
        }
        if (progress && !progress(i + 1, pageCount)) {
            result.cancelled = true;
            result.message = QStringLiteral("印刷を取り消しました。どのページも印刷されていません。");
            return result;
        }
    }
    if (!writer.finish())
        return result; // the caller names the device's failure
    result.ok = true;
    result.pages = pageCount;
    return result;
}

PdfFileDestination::PdfFileDestination(QString path, QPageLayout paper, Existing existing)
    : m_path(std::move(path)), m_paper(std::move(paper)), m_existing(existing)
{}

Delivery PdfFileDestination::print(int pageCount, const PageSource& pages, const Progress& progress)
{
    platform::AtomicFile file(
        m_path, m_existing == Existing::NeverOverwrite ? platform::AtomicFile::NewOnly : platform::AtomicFile::Replace,
        QStringLiteral("PDFファイル"));
    if (!file.open())
        return {.message = file.failure()};
    Delivery result = writePdfDocument(file.device(), m_paper, {}, pageCount, pages, progress);
    if (!result.ok) {
        if (result.message.isEmpty())
            result.message = file.failure();
        file.discard();
        return result;
    }
    if (!file.commit())
        return {.message = file.failure()};
    result.destination = m_path;
    result.toPdfFile = true;
    return result;
}

} // namespace print
