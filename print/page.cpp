#include "print/page.h"

#include "platform/fonts.h"

namespace print {

void PageRecorder::setFontName(const QString& name) { m_family = platform::installedFace(name); }

void PageRecorder::printText(const QString& text)
{
    PageText& printed = m_page.texts.emplace_back();
    printed.fontFamily = m_family;
    printed.fontPoints = m_fit ? m_fit->first : double(m_points);
    printed.bold = m_bold;
    printed.topLeftTwips = QPointF(m_x, m_y);
    printed.text = text;
    printed.widthPercent = m_fit ? m_fit->second : 100.0;
    printed.origin = std::move(m_origin);
    m_fit.reset();
    m_origin = {};
}

void PageRecorder::fitNextText(double sizePt, double widthPercent) { m_fit = std::pair(sizePt, widthPercent); }

void PageRecorder::circle(float centreXTwips, float centreYTwips, float radiusTwips)
{
    m_page.circles.push_back({QPointF(centreXTwips, centreYTwips), radiusTwips, m_drawWidth});
}

Page PageRecorder::takePage()
{
    Page page = std::move(m_page);
    *this = PageRecorder();
    return page;
}

} // namespace print
