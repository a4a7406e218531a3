#pragma once
// Documents as PDF files, drawn by the page renderer.
#include "print/destination.h"

#include <QMarginsF>
#include <QPageLayout>
#include <memory>

class QIODevice;
class QPdfWriter;
class QPainter;

namespace print {

// Writes pages one by one into a device that is open for writing. Nothing is
// kept of a page once it is written, so a long document costs no more memory
// than a short one.
class PdfDocumentWriter {
public:
    // paper: size and orientation of every page; printableCornerMm: where
    // the printer's printable area starts on the paper.
    PdfDocumentWriter(QIODevice& device, const QPageLayout& paper, QPointF printableCornerMm = {},
                      const QString& title = {});
    ~PdfDocumentWriter();
    void addPage(const Page& page);
    // Ends the document; false when the device refused any of it.
    bool finish();

private:
    class TrackingDevice;
    std::unique_ptr<TrackingDevice> m_device;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QPainter> m_painter;
    QPointF m_cornerDevice;
    int m_pages = 0;
};

// The paper of a PDF file when nothing else is set: A4 upright.
QPageLayout defaultPdfPaper();

// All pages of a document into one PDF file at `path`, replacing it only once
// the whole document is written; on any failure the file is left as it was
// (or, with `newFileOnly`, removed again) and the message names the cause.
class PdfFileDestination final : public Destination {
public:
    enum class Existing { Replace, NeverOverwrite };
    explicit PdfFileDestination(QString path, QPageLayout paper = defaultPdfPaper(),
                                Existing existing = Existing::Replace);
    Delivery print(int pageCount, const PageSource& pages, const Progress& progress = {}) override;

private:
    QString m_path;
    QPageLayout m_paper;
    Existing m_existing;
};

// Writes the document into an open device; the caller commits or discards
// it. Returns an empty message when every page was written.
Delivery writePdfDocument(QIODevice& device, const QPageLayout& paper, QPointF printableCornerMm, int pageCount,
                          const PageSource& pages, const Progress& progress);

} // namespace print
