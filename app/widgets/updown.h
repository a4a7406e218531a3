#pragma once
// A spin control: two arrow buttons that step an integer value within a
// range, with no text field of its own. The up arrow moves the value towards
// the up end, which may be the smaller number.
#include <QWidget>

class QToolButton;

namespace app {

class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(Qt::Orientation orientation, QWidget* parent = nullptr);

    void setRange(int downEnd, int upEnd);
    void setIncrement(int increment) { m_increment = increment; }
    int value() const { return m_value; }
    Qt::Orientation orientation() const { return m_orientation; }
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

public slots:
    void setValue(int value); // clamped into the range
    void stepUp();
    void stepDown();

signals:
    void valueChanged(int value); // after every change of the value

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Qt::Orientation m_orientation;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_downEnd = 0, m_upEnd = 100, m_increment = 1, m_value = 0;
};

} // namespace app
