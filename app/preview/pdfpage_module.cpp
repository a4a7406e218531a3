// The module behind app/pdfpage.h: renders a PDF page with Poppler.
#include <poppler-qt6.h>

#include <QImage>
#include <QString>
#include <memory>

extern "C" Q_DECL_EXPORT void horutea_render_pdf_page(const QString& path, int pageIndex, double dotsPerInch,
                                                      QImage* image, int* pageCount, QString* problem)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document) {
        *problem =
            QStringLiteral("PDFファイル「%1」を開けませんでした。ファイルが壊れていないか確かめてください。").arg(path);
        return;
    }
    if (document->isLocked()) {
        *problem =
            QStringLiteral(
                "PDFファイル「%1」はパスワードで保護されているため読めません。保護のないPDFか、PNG・JPEGの画像を選んでください。")
                .arg(path);
        return;
    }
    *pageCount = document->numPages();
    const std::unique_ptr<Poppler::Page> page =
        pageIndex >= 0 && pageIndex < *pageCount ? document->page(pageIndex) : nullptr;
    if (!page) {
        *problem = QStringLiteral("PDFファイル「%1」に%2ページ目がありません。").arg(path).arg(pageIndex + 1);
        return;
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    QImage rendered = page->renderToImage(dotsPerInch, dotsPerInch);
    if (rendered.isNull()) {
        *problem =
            QStringLiteral("PDFファイル「%1」の%2ページ目を画像にできませんでした。").arg(path).arg(pageIndex + 1);
        return;
    }
    const int dotsPerMetre = qRound(dotsPerInch / 25.4 * 1000.0);
    rendered.setDotsPerMeterX(dotsPerMetre);
    rendered.setDotsPerMeterY(dotsPerMetre);
    *image = std::move(rendered);
}
