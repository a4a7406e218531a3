#pragma once
// One page of a PDF file as a picture. Poppler and the libraries under it
// are large, so they live in a module of their own that is loaded the first
// time a PDF is opened, never at the program's start.
#include <QImage>
#include <QString>

namespace app {

struct PdfPicture {
    QImage image;      // its resolution set; null when the page could not be made
    int pageCount = 0; // of the document, when it could be opened
    QString problem;   // for the user, when the image is null
};

// pageIndex counts from 0.
PdfPicture renderPdfPage(const QString& path, int pageIndex, double dotsPerInch);

} // namespace app
