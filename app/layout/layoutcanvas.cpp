#include "app/layout/layoutcanvas.h"

#include "print/overrun.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace app {

namespace {

const QColor kChosenInk(230, 110, 0);
// A mouse that moved less than this was a click, not a drag.
constexpr int kDragStartPx = 2;

QString stepCaption(const print::Layout& layout, LayoutItem item, const char* how)
{
    return QStringLiteral("%1を%2").arg(itemCaption(layout, item), QString::fromUtf8(how));
}

} // namespace

waybill::Waybill sampleWaybill()
{
    waybill::Waybill w;
    w.recipient = {QStringLiteral("1000001"),       QStringLiteral("東京都千代田区千代田1-1"),
                   QStringLiteral("千代田ビル3階"), QStringLiteral("山田花子"),
                   QStringLiteral("佐藤様方"),      true,
                   QStringLiteral("03-1234-5678")};
    w.sender = {QStringLiteral("5300001"),     QStringLiteral("大阪府大阪市北区梅田1-1"),
                QStringLiteral("梅田ビル5階"), QStringLiteral("ホルテア商店"),
                QStringLiteral("発送係"),      true,
                QStringLiteral("06-1234-5678")};
    w.deliveryTime = waybill::DeliveryTime::Afternoon;
    w.arrivalNotice = waybill::ArrivalNotice::Wanted;
    w.goods[0] = {QStringLiteral("雑貨"), QStringLiteral("A-1001"), QStringLiteral("2"), QStringLiteral("1500"),
                  QStringLiteral("3000")};
    w.goods[1] = {QStringLiteral("食器"), QStringLiteral("B-2002"), QStringLiteral("1"), QStringLiteral("2800"),
                  QStringLiteral("2800")};
    w.total = QStringLiteral("5800");
    w.numericMode = true;
    return w;
}

print::SheetExtras sampleExtras()
{
    print::SheetExtras extras;
    extras.shipDate = QDate::currentDate();
    extras.parcelCount = 1;
    extras.orderNumber = QStringLiteral("10001");
    extras.formNumber = QStringLiteral("1234-5678-9012");
    return extras;
}

LayoutCanvas::LayoutCanvas(LayoutDocument& document, QWidget* parent)
    : PreviewWidget(
          [&document] {
              PreviewContent content{sampleWaybill(), QStringLiteral("0"), QStringLiteral("0")};
              content.layout = document.layout();
              content.extras = sampleExtras();
              return content;
          },
          parent),
      m_document(document)
{
    setObjectName(QStringLiteral("layoutCanvas"));
    setMouseTracking(false);
    connect(&document, &LayoutDocument::changed, this, &PreviewWidget::refresh);
    connect(&document, &LayoutDocument::chosenChanged, this, qOverload<>(&QWidget::update));
}

QRectF LayoutCanvas::itemRect(LayoutItem item) const
{
    const print::FormDrawing& form = print::formDrawing(m_document.layout());
    const double pxPerMm = pixelsPerMm();
    if (item.kind == LayoutItem::Kind::Text) {
        for (const print::FormTextPlace& place : form.texts)
            if (place.layoutText == item.index)
                return QRectF(pageToWidget(place.placeMm.topLeft()), place.placeMm.size() * pxPerMm);
        return {};
    }
    if (item.index < 0 || size_t(item.index) >= form.marks.size())
        return {};
    const print::FormMark& mark = form.marks[size_t(item.index)];
    const double r = mark.radiusMm * pxPerMm;
    return QRectF(pageToWidget(mark.centreMm) - QPointF(r, r), QSizeF(2 * r, 2 * r));
}

std::optional<LayoutItem> LayoutCanvas::itemAt(QPointF at) const
{
    const print::Layout& layout = m_document.layout();
    if (const auto chosen = m_document.chosen(); chosen && itemRect(*chosen).adjusted(-2, -2, 2, 2).contains(at))
        return chosen;
    // The smallest place under the point: a postal box inside a wider text's place.
    std::optional<LayoutItem> found;
    double foundArea = 0;
    const auto consider = [&](LayoutItem item) {
        const QRectF rect = itemRect(item).adjusted(-1, -1, 1, 1);
        const double area = rect.width() * rect.height();
        if (rect.contains(at) && (!found || area < foundArea)) {
            found = item;
            foundArea = area;
        }
    };
    for (int i = 0; i < int(layout.marks.size()); ++i)
        consider({LayoutItem::Kind::Mark, i});
    for (int i = 0; i < int(layout.texts.size()); ++i)
        consider({LayoutItem::Kind::Text, i});
    return found;
}

void LayoutCanvas::paintEvent(QPaintEvent* event)
{
    PreviewWidget::paintEvent(event);
    const auto chosen = m_document.chosen();
    if (!chosen)
        return;
    const QRectF rect = itemRect(*chosen);
    if (rect.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(kChosenInk, 2);
    painter.setPen(pen);
    painter.setBrush(QColor(kChosenInk.red(), kChosenInk.green(), kChosenInk.blue(), 40));
    if (chosen->kind == LayoutItem::Kind::Mark)
        painter.drawEllipse(rect.adjusted(-1, -1, 1, 1));
    else
        painter.drawRect(rect.adjusted(-1, -1, 1, 1));
    // The place the item is set by: a text's x on its line, a mark's centre;
    // its numbers are in the side panel.
    const QPointF anchor = chosen->kind == LayoutItem::Kind::Mark ? rect.center() : rect.topLeft();
    painter.setBrush(kChosenInk);
    painter.drawEllipse(anchor, 3, 3);
}

void LayoutCanvas::keyPressEvent(QKeyEvent* event)
{
    const auto chosen = m_document.chosen();
    if (!chosen) {
        PreviewWidget::keyPressEvent(event);
        return;
    }
    if (const std::optional<QPoint> direction = arrowDirection(event->key())) {
        const double stepMm = event->modifiers().testFlag(Qt::ShiftModifier) ? 1.0 : 0.1;
        m_document.moveChosenBy(QPointF(*direction) * stepMm, stepCaption(m_document.layout(), *chosen, "動かす"));
        return;
    }
    switch (event->key()) {
    case Qt::Key_Delete:
        m_document.removeChosen();
        return;
    case Qt::Key_Escape:
        m_document.choose(std::nullopt);
        return;
    default:
        PreviewWidget::keyPressEvent(event);
        return;
    }
}

void LayoutCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        PreviewWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const std::optional<LayoutItem> item = itemAt(event->position());
    m_document.choose(item);
    if (!item) {
        // Off every place, the scan moves as in the preview.
        PreviewWidget::mousePressEvent(event);
        return;
    }
    m_dragFrom = event->position();
    m_placeAtPress = placeOf(m_document.layout(), *item);
    setCursor(Qt::SizeAllCursor);
}

void LayoutCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragFrom) {
        PreviewWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF moved = event->position() - *m_dragFrom;
    if (!m_document.previewing() && std::max(std::abs(moved.x()), std::abs(moved.y())) < kDragStartPx)
        return;
    m_document.dragChosenTo(m_placeAtPress + moved / pixelsPerMm());
}

void LayoutCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragFrom || event->button() != Qt::LeftButton) {
        PreviewWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF moved = event->position() - *m_dragFrom;
    m_dragFrom.reset();
    setCursor(hasScan() ? Qt::OpenHandCursor : Qt::ArrowCursor);
    const auto chosen = m_document.chosen();
    if (!chosen)
        return;
    // Where the mouse was let go is where the item stays.
    if (m_document.previewing() || std::max(std::abs(moved.x()), std::abs(moved.y())) >= kDragStartPx)
        m_document.dragChosenTo(m_placeAtPress + moved / pixelsPerMm());
    m_document.endPreview(stepCaption(m_document.layout(), *chosen, "動かす"));
}

} // namespace app
