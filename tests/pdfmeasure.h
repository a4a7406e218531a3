#pragma once
// Measures a printed PDF page with poppler: text boxes from pdftotext -bbox,
// circles from a page region rendered by pdftoppm.
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

namespace pdf {

constexpr double kPtPerMm = 72.0 / 25.4;

struct Word {
    double x0, y0, x1, y1; // mm from the paper's top-left corner
    QString text;
};

inline QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline std::vector<Word> words(const QString& pdfPath, int page = 1)
{
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                                          QStringLiteral("-l"), QString::number(page), pdfPath, QStringLiteral("-")});
    static const QRegularExpression re(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    std::vector<Word> out;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.push_back({m.captured(1).toDouble() / kPtPerMm, m.captured(2).toDouble() / kPtPerMm,
                       m.captured(3).toDouble() / kPtPerMm, m.captured(4).toDouble() / kPtPerMm,
                       m.captured(5)
                           .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                           .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
                           .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                           .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                           .replace(QStringLiteral("&amp;"), QStringLiteral("&"))});
    }
    return out;
}

inline int pageCount(const QString& pdfPath)
{
    static const QRegularExpression re(QStringLiteral(R"(Pages:\s+(\d+))"));
    const auto m = re.match(run(QStringLiteral("pdfinfo"), {pdfPath}));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

struct Ring {
    bool found = false;
    double cx = 0, cy = 0; // mm from the paper's corner
    double radius = 0;     // mm, to the middle of the line
    double thickness = 0;  // mm
};

// The ring of ink within `half` mm of (x, y), rendered at 1200 dpi.
inline Ring ringNear(const QString& pdfPath, double x, double y, double half = 4.5, int page = 1)
{
    constexpr int dpi = 1200;
    const double pxPerMm = dpi / 25.4;
    const int left = int((x - half) * pxPerMm), top = int((y - half) * pxPerMm), size = int(2 * half * pxPerMm);
    QTemporaryDir dir;
    const QString stem = dir.filePath(QStringLiteral("region"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
         QString::number(page), QStringLiteral("-x"), QString::number(left), QStringLiteral("-y"), QString::number(top),
         QStringLiteral("-W"), QString::number(size), QStringLiteral("-H"), QString::number(size),
         QStringLiteral("-gray"), QStringLiteral("-singlefile"), pdfPath, stem});
    const QImage img(stem + QStringLiteral(".pgm"));
    Ring r;
    if (img.isNull())
        return r;
    std::vector<std::pair<double, double>> ink;
    double minX = 1e9, maxX = -1, minY = 1e9, maxY = -1;
    for (int j = 0; j < img.height(); ++j)
        for (int i = 0; i < img.width(); ++i)
            if (qGray(img.pixel(i, j)) < 128) {
                ink.emplace_back(i + 0.5, j + 0.5);
                minX = std::min(minX, i + 0.5), maxX = std::max(maxX, i + 0.5);
                minY = std::min(minY, j + 0.5), maxY = std::max(maxY, j + 0.5);
            }
    if (ink.empty())
        return r;
    const double cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
    double sum = 0, lo = 1e9, hi = 0;
    for (auto [i, j] : ink) {
        const double d = std::hypot(i - cx, j - cy);
        sum += d, lo = std::min(lo, d), hi = std::max(hi, d);
    }
    r.found = true;
    r.cx = left / pxPerMm + cx / pxPerMm;
    r.cy = top / pxPerMm + cy / pxPerMm;
    r.radius = sum / ink.size() / pxPerMm;
    r.thickness = (hi - lo) / pxPerMm;
    return r;
}

} // namespace pdf
