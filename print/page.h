#pragma once
// A printed page as data: what a job put down, in the printer's twips from
// the printable area's corner. Any device can replay it (see renderer.h), so
// the printer, a PDF file, the preview and the tests all see the same page.
#include "print/fit.h"
#include "print/printer.h"

#include <QPointF>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace print {

struct PageText {
    QString fontFamily; // the installed face
    double fontPoints = 0;
    bool bold = false;
    QPointF topLeftTwips; // the character cell's top-left corner
    QString text;
    double widthPercent = 100.0; // below 100: condensed horizontally to fit its place
    // Where the text came from, for the checks; drawing does not read it.
    TextOrigin origin;
};

struct PageCircle {
    QPointF centreTwips;
    double radiusTwips = 0;
    int lineWidthDots180 = 1;
};

struct Page {
    std::vector<PageText> texts;
    std::vector<PageCircle> circles;
    bool operator==(const Page&) const = default;
};

inline bool operator==(const PageText& a, const PageText& b)
{
    return a.fontFamily == b.fontFamily && a.fontPoints == b.fontPoints && a.bold == b.bold &&
           a.topLeftTwips == b.topLeftTwips && a.text == b.text && a.widthPercent == b.widthPercent;
}
inline bool operator==(const PageCircle& a, const PageCircle& b)
{
    return a.centreTwips == b.centreTwips && a.radiusTwips == b.radiusTwips && a.lineWidthDots180 == b.lineWidthDots180;
}

// The printer a job writes to: it keeps the font, position and line width
// like a device and collects what is put down into a page.
class PageRecorder final : public Printer {
public:
    void setFontSize(int points) override { m_points = points; }
    double fontSize() const override { return m_points; }
    void setFontName(const QString& name) override;
    void setFontBold(bool bold) override { m_bold = bold; }
    void setCurrentX(float twips) override { m_x = twips; }
    void setCurrentY(float twips) override { m_y = twips; }
    void printText(const QString& text) override;
    void fitNextText(double sizePt, double widthPercent) override;
    void describeNextText(const TextOrigin& origin) override { m_origin = origin; }
    void setDrawWidth(int dots180) override { m_drawWidth = dots180; }
    void circle(float centreXTwips, float centreYTwips, float radiusTwips) override;

    // The page so far; the recorder starts a new one.
    Page takePage();

private:
    Page m_page;
    QString m_family;
    int m_points = 0;
    // For the next text only.
    std::optional<std::pair<double, double>> m_fit; // size in points, width in percent
    TextOrigin m_origin;
    bool m_bold = false;
    float m_x = 0, m_y = 0;
    int m_drawWidth = 1;
};

} // namespace print
