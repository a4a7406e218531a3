#include "app/widgets/updown.h"

#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

namespace app {

UpDown::UpDown(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    const bool horizontal = orientation == Qt::Horizontal;
    m_up->setArrowType(horizontal ? Qt::RightArrow : Qt::UpArrow);
    m_down->setArrowType(horizontal ? Qt::LeftArrow : Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
    setFocusPolicy(Qt::StrongFocus);
}

void UpDown::setRange(int downEnd, int upEnd)
{
    m_downEnd = downEnd;
    m_upEnd = upEnd;
    setValue(m_value);
}

void UpDown::setValue(int value)
{
    const int clamped = std::clamp(value, std::min(m_downEnd, m_upEnd), std::max(m_downEnd, m_upEnd));
    if (clamped == m_value)
        return;
    m_value = clamped;
    emit valueChanged(m_value);
}

// Stops at the ends of the range rather than wrapping: a shift that jumps
// from one end to the other would ruin the next waybill.
void UpDown::stepUp() { setValue(m_value + (m_upEnd >= m_downEnd ? m_increment : -m_increment)); }
void UpDown::stepDown() { setValue(m_value + (m_upEnd >= m_downEnd ? -m_increment : m_increment)); }

void UpDown::keyPressEvent(QKeyEvent* event)
{
    const bool horizontal = m_orientation == Qt::Horizontal;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        if ((event->key() == Qt::Key_Right) == horizontal) {
            stepUp();
            return;
        }
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        if ((event->key() == Qt::Key_Left) == horizontal) {
            stepDown();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void UpDown::resizeEvent(QResizeEvent*)
{
    const int w = width(), h = height();
    if (m_orientation == Qt::Horizontal) {
        m_down->setGeometry(0, 0, w / 2, h);
        m_up->setGeometry(w / 2, 0, w - w / 2, h);
    } else {
        m_up->setGeometry(0, 0, w, h / 2);
        m_down->setGeometry(0, h / 2, w, h - h / 2);
    }
}

} // namespace app
