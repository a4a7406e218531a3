#include "app/frame.h"

#include <QPainter>

namespace app {

void Frame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    const int top = m_caption.isEmpty() ? 0 : fm.height() / 2;
    const QRect box = rect().adjusted(0, top, -2, -2);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(box);
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(box.translated(1, 1));
    if (m_caption.isEmpty())
        return;
    constexpr int captionLeft = 8;
    const QRect captionRect(captionLeft, 0, std::min(fm.horizontalAdvance(m_caption), width() - 2 * captionLeft), fm.height());
    p.fillRect(captionRect, palette().window());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);
}

} // namespace app
