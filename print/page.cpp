#include "print/page.h"

#include "platform/fonts.h"

namespace print {

void PageRecorder::setFontName(const QString& name) { m_family = platform::installedFace(name); }

void PageRecorder::printText(const QString& text)
{
    m_page.texts.push_back({m_family, m_points, m_bold, QPointF(m_x, m_y), text});
}

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
