#include "app/preview/pdfpage.h"

#include "platform/datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace app {

namespace {

using RenderPage = void (*)(const QString&, int, double, QImage*, int*, QString*);

// Installed, in the program's module folder; run from the build, where the
// build put it.
RenderPage loadModule()
{
    static RenderPage render = [] {
        const QString programFolder = QCoreApplication::applicationDirPath();
        QStringList places{platform::installedModuleFolder(programFolder), programFolder};
#ifdef HORUTEA_MODULE_DIR
        if (!platform::runsInstalled(programFolder))
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
        picture.problem = QStringLiteral("PDFを読む部品（horutea_pdfpage）が見つからないため、PDFを開けません。"
                                         "PNGかJPEGの画像を選ぶか、プログラムを入れ直してください。");
        return picture;
    }
    render(path, pageIndex, dotsPerInch, &picture.image, &picture.pageCount, &picture.problem);
    return picture;
}

} // namespace app
