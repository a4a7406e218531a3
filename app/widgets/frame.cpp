#include "app/widgets/frame.h"

#include <QPainter>

namespace app {

void Frame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    const int top = m_caption.isEmpty() ? 0 : fm.height() / 2;
    const QRect box = rect().adjusted(0, top, -2, -2);
    // The etched border as filled one-pixel lines: a stroked rectangle
    // would go through the path stroker for the same pixels.
    auto outline = [&p](const QRect& r, const QColor& c) {
        p.fillRect(r.left(), r.top(), r.width() + 1, 1, c);
        p.fillRect(r.left(), r.top() + r.height(), r.width() + 1, 1, c);
        p.fillRect(r.left(), r.top() + 1, 1, r.height() - 1, c);
        p.fillRect(r.left() + r.width(), r.top() + 1, 1, r.height() - 1, c);
    };
    outline(box, palette().color(QPalette::Dark));
    outline(box.translated(1, 1), palette().color(QPalette::Light));
    if (m_caption.isEmpty())
        return;
    constexpr int captionLeft = 8;
    const QRect captionRect(captionLeft, 0, std::min(fm.horizontalAdvance(m_caption), width() - 2 * captionLeft),
                            fm.height());
    p.fillRect(captionRect, palette().window());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);
}

} // namespace app
