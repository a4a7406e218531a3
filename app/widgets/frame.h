#pragma once
// A frame: an etched rectangle with an optional caption set into its top
// border, the caption in the frame's own font and colour. A caption of
// spaces blanks out that stretch of the border, so controls can sit there
// as the frame's title.
#include <QWidget>

namespace app {

class Frame : public QWidget {
    Q_OBJECT
public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr) : QWidget(parent), m_caption(caption) {}
    QString caption() const { return m_caption; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
};

} // namespace app
