#pragma once
// The form in the layout window: its paper, its scan or the drawing of its
// places (the preview's), a sample waybill printed on it as it will print,
// and the chosen item marked. Items are chosen and dragged with the mouse
// and moved by the arrow keys: 0.1 mm a press, 1 mm with Shift.
#include "app/layout/layoutdocument.h"
#include "app/preview/previewwidget.h"

#include <optional>

namespace app {

class LayoutCanvas final : public PreviewWidget {
    Q_OBJECT
public:
    explicit LayoutCanvas(LayoutDocument& document, QWidget* parent = nullptr);

    // The item whose place is under a point of the widget; the chosen one
    // where places overlap.
    std::optional<LayoutItem> itemAt(QPointF widgetPoint) const;
    // Where the item's place is drawn in the widget.
    QRectF itemRect(LayoutItem item) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    LayoutDocument& m_document;
    // While an item is dragged: where the press was, and the item's place then.
    std::optional<QPointF> m_dragFrom;
    QPointF m_placeAtPress;
};

// The waybill the layout window fills its layout with: every field, both
// care-of lines, numeric input mode.
waybill::Waybill sampleWaybill();
print::SheetExtras sampleExtras();

} // namespace app
