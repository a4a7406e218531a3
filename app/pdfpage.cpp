#include "app/pdfpage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace app {

namespace {

using RenderPage = void (*)(const QString&, int, double, QImage*, int*, QString*);

// Beside the program, or where the build put it.
RenderPage loadModule()
{
    static RenderPage render = [] {
        QStringList places{QCoreApplication::applicationDirPath()};
#ifdef HORUTEA_MODULE_DIR
        places << QStringLiteral(HORUTEA_MODULE_DIR);
#endif
        for (const QString& place : places) {
            QLibrary module(QDir(place).filePath(QStringLiteral("horutea_pdfpage")));
            if (auto found = reinterpret_cast<RenderPage>(module.resolve("horutea_render_pdf_page")))
                return found;
        }
        return RenderPage(nullptr);
    }();
    return render;
}

} // namespace

PdfPicture renderPdfPage(const QString& path, int pageIndex, double dotsPerInch)
{
    PdfPicture picture;
    const RenderPage render = loadModule();
    if (!render) {
        picture.problem = QStringLiteral("PDFを読む部品（horutea_pdfpage）がプログラムと同じフォルダにないため、PDFを開けません。"
                                         "PNGかJPEGの画像を選ぶか、プログラムを入れ直してください。");
        return picture;
    }
    render(path, pageIndex, dotsPerInch, &picture.image, &picture.pageCount, &picture.problem);
    return picture;
}

} // namespace app
