#include "app/preview/previewwidget.h"

#include "adjust/offsets.h"
#include "print/pdfoutput.h"
#include "print/renderer.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

namespace app {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kMarginPx = 16; // grey around the paper
constexpr double kMinZoom = 0.1, kMaxZoom = 8.0;

// The form's own drawing is in the blue of a drop-out ink, so the black of
// the print stands out from it as on the real form.
const QColor kFormInk(40, 110, 200);
const QColor kOverrunInk(210, 0, 0);

QRectF toPx(const QRectF& mm, QPointF originPx, double pxPerMm)
{
    return QRectF(originPx + mm.topLeft() * pxPerMm, mm.size() * pxPerMm);
}

QString mmText(double mm) { return QString::number(mm, 'f', 1); }

} // namespace

bool scanTellsResolution(const QImage& scan)
{
    // Qt gives an image without a recorded resolution its default one.
    static const int untold = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    return scan.dotsPerMeterX() > 0 && scan.dotsPerMeterX() != untold;
}

double scanPixelsPerMm(const QImage& scan, double paperWidthMm)
{
    if (scanTellsResolution(scan))
        return scan.dotsPerMeterX() / 1000.0;
    return scan.width() / paperWidthMm;
}

PreviewWidget::PreviewWidget(PreviewSource source, QWidget* parent)
    : QWidget(parent), m_source(std::move(source)), m_paper(print::defaultPdfPaper())
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    refresh();
    resize(sizeHint());
}

void PreviewWidget::setPaper(const QPageLayout& paper, QPointF printableCornerMm)
{
    m_paper = paper;
    m_cornerMm = printableCornerMm;
    refresh();
    resize(sizeHint());
}

QSizeF PreviewWidget::paperSizeMm() const { return m_paper.fullRect(QPageLayout::Millimeter).size(); }

QRectF PreviewWidget::paperSheetInPageMm() const { return QRectF(-m_cornerMm, paperSizeMm()); }

double PreviewWidget::screenDotsPerInch() const
{
    const QScreen* s = screen();
    if (!s)
        return logicalDpiX();
    // Screens that report no size, or a size that is not their own, give
    // densities no real screen has; those are drawn at the logical density.
    const double physical = s->physicalDotsPerInch();
    return physical >= 40 && physical <= 1000 ? physical : s->logicalDotsPerInch();
}

double PreviewWidget::pixelsPerMm() const { return m_zoom * screenDotsPerInch() / kMmPerInch; }

QPointF PreviewWidget::paperOrigin() const { return QPointF(kMarginPx, kMarginPx); }

QPointF PreviewWidget::pageToWidget(QPointF pageMm) const
{
    return paperOrigin() + (m_cornerMm + pageMm) * pixelsPerMm();
}

QSize PreviewWidget::sizeHint() const
{
    const QSizeF paper = paperSizeMm() * pixelsPerMm();
    return QSize(int(std::ceil(paper.width())) + 2 * kMarginPx, int(std::ceil(paper.height())) + 2 * kMarginPx);
}

void PreviewWidget::setZoom(double zoom)
{
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    resize(sizeHint());
    update();
}

void PreviewWidget::setShownLayers(Layers layers)
{
    m_layers = layers;
    update();
}

void PreviewWidget::refresh()
{
    m_content = m_source();
    m_page = {};
    m_overruns.clear();
    m_offsets.reset();
    m_problem.reset();
    const auto offsets = adjust::offsetsForPrint(m_content.horizontalOffsetText, m_content.verticalOffsetText,
                                                 adjust::OffsetUse::Preview);
    if (!m_content.layoutProblem.isEmpty()) {
        m_problem = m_content.layoutProblem;
    } else if (!offsets) {
        m_problem = offsets.error();
    } else {
        const print::PrintOffsets shift = *offsets;
        try {
            m_page = print::waybillPage(m_content.waybill, shift, m_printState, m_content.layout, m_content.extras);
            m_overruns =
                print::findOverruns(m_content.waybill, shift, paperSheetInPageMm(), m_content.layout, m_content.extras);
            m_offsets = shift;
        } catch (const print::JobStopped& stop) {
            m_problem = stop.message;
        }
    }
    update();
    emit refreshed();
}

void PreviewWidget::setScan(const QImage& scan)
{
    m_scan = scan;
    m_scanScaled = {};
    m_scanScaledFor = 0;
    setCursor(hasScan() ? Qt::OpenHandCursor : Qt::ArrowCursor);
    update();
}

void PreviewWidget::setScanNudgeTenthMm(QPoint nudge)
{
    if (nudge == m_scanNudge)
        return;
    m_scanNudge = nudge;
    update();
    emit scanNudged(nudge);
}

QImage PreviewWidget::render(double dotsPerInch, Layers layers) const
{
    const double pxPerMm = dotsPerInch / kMmPerInch;
    const QSizeF paper = paperSizeMm() * pxPerMm;
    QImage image(qRound(paper.width()), qRound(paper.height()), QImage::Format_RGB32);
    const int dotsPerMetre = qRound(dotsPerInch / kMmPerInch * 1000.0);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPaper(painter, pxPerMm, QPointF(0, 0), layers, false);
    return image;
}

void PreviewWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    paintPaper(painter, pixelsPerMm(), paperOrigin(), m_layers, true);
}

void PreviewWidget::paintPaper(QPainter& painter, double pxPerMm, QPointF paperTopLeft, Layers layers,
                               bool onScreen) const
{
    const QRectF sheet(paperTopLeft, paperSizeMm() * pxPerMm);
    painter.fillRect(sheet, Qt::white);
    const QPointF cornerPx = paperTopLeft + m_cornerMm * pxPerMm;

    painter.save();
    painter.setClipRect(sheet);
    if (layers.testFlag(ScanLayer) && hasScan())
        paintScan(painter, pxPerMm, paperTopLeft, onScreen);
    if (layers.testFlag(FormLayer)) {
        // Over a scan the drawing only hints where the places are.
        const bool overScan = layers.testFlag(ScanLayer) && hasScan();
        painter.setOpacity(overScan ? 0.45 : 1.0);
        paintForm(painter, pxPerMm, cornerPx, overScan);
        painter.setOpacity(1.0);
    }
    if (!m_problem) {
        // The page is drawn in the device's own units, as on the printer;
        // the scale brings them to this zoom.
        painter.save();
        painter.translate(cornerPx);
        const double scale = pxPerMm * kMmPerInch / painter.device()->logicalDpiX();
        if (std::abs(scale - 1.0) > 1e-9)
            painter.scale(scale, scale);
        print::renderPage(painter, m_page);
        painter.restore();
    }
    painter.restore();
    if (layers.testFlag(OverrunLayer) && !m_problem)
        paintOverruns(painter, pxPerMm, cornerPx);
}

void PreviewWidget::paintScan(QPainter& painter, double pxPerMm, QPointF paperTopLeft, bool onScreen) const
{
    const double scanPxPerMm = scanPixelsPerMm(m_scan, paperSizeMm().width());
    const QPointF at = paperTopLeft + QPointF(m_scanNudge) / 10.0 * pxPerMm;
    const double scale = pxPerMm / scanPxPerMm;
    if (onScreen) {
        // Scaling a whole scan takes longer than a frame; it is done once per zoom.
        if (m_scanScaledFor != pxPerMm) {
            const QSize size(qRound(m_scan.width() * scale), qRound(m_scan.height() * scale));
            m_scanScaled = QPixmap::fromImage(m_scan.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_scanScaledFor = pxPerMm;
        }
        painter.drawPixmap(at, m_scanScaled);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(at);
    painter.scale(scale, scale);
    painter.drawImage(QPointF(0, 0), m_scan);
    painter.restore();
}

void PreviewWidget::paintForm(QPainter& painter, double pxPerMm, QPointF cornerPx, bool overScan) const
{
    const print::FormDrawing& form = print::formDrawing(m_content.layout);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);

    QPen placePen(QColor(kFormInk.red(), kFormInk.green(), kFormInk.blue(), 150), 1, Qt::DashLine);
    placePen.setCosmetic(true);
    painter.setPen(placePen);
    for (const print::FormTextPlace& place : form.texts) {
        if (place.item.value != print::LayoutValue::PostalDigit)
            painter.drawRect(toPx(place.placeMm, cornerPx, pxPerMm));
    }

    QPen boxPen(kFormInk, std::max(1.0, 0.25 * pxPerMm));
    painter.setPen(boxPen);
    for (const print::FormPostalBox& box : form.postalBoxes)
        painter.drawRect(toPx(box.rectMm, cornerPx, pxPerMm));

    QFont captionFont = font();
    const double captionPx = 2.4 * pxPerMm;
    captionFont.setPixelSize(std::max(1, qRound(captionPx)));
    painter.setFont(captionFont);
    // The choices not taken are faint, so the chosen one is read at a glance;
    // one that shares the chosen one's place is left out.
    auto sharesChosenPlace = [&](const print::FormMark& mark) {
        return std::any_of(form.marks.begin(), form.marks.end(), [&](const print::FormMark& other) {
            return &other != &mark && other.centreMm == mark.centreMm && print::markChosen(other, m_content.waybill);
        });
    };
    for (bool chosenPass : {false, true})
        for (const print::FormMark& mark : form.marks) {
            const bool chosen = print::markChosen(mark, m_content.waybill);
            if (chosen != chosenPass || (!chosen && sharesChosenPlace(mark)))
                continue;
            QColor ink = kFormInk;
            ink.setAlpha(chosen ? 255 : 90);
            QPen pen(ink, std::max(1.0, 0.2 * pxPerMm), chosen ? Qt::SolidLine : Qt::DotLine);
            painter.setPen(pen);
            const QPointF centre = cornerPx + mark.centreMm * pxPerMm;
            const double r = mark.radiusMm * pxPerMm;
            painter.drawEllipse(centre, r, r);
            // A scan shows the form's own captions.
            if (captionPx >= 7 && !overScan) {
                painter.setPen(ink);
                painter.drawText(QRectF(centre.x() - r, centre.y() + r, 2 * r, captionPx * 1.4),
                                 Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, mark.caption);
            }
        }
    painter.restore();
}

void PreviewWidget::paintOverruns(QPainter& painter, double pxPerMm, QPointF cornerPx) const
{
    painter.save();
    for (const print::Overrun& o : m_overruns) {
        const QRectF printed = toPx(o.printedMm, cornerPx, pxPerMm).adjusted(-1, -1, 1, 1);
        if (o.pastPlaceMm > 0) {
            const QRectF past = toPx(o.placeMm, cornerPx, pxPerMm);
            const QRectF beyond(QPointF(past.right(), printed.top()), QPointF(printed.right(), printed.bottom()));
            painter.fillRect(beyond, QBrush(QColor(kOverrunInk.red(), kOverrunInk.green(), kOverrunInk.blue(), 170),
                                            Qt::BDiagPattern));
        }
        QPen pen(kOverrunInk, 2);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(printed);
    }
    painter.restore();
}

QString PreviewWidget::toolTipAt(QPoint at) const
{
    const double pxPerMm = pixelsPerMm();
    const QPointF cornerPx = paperOrigin() + m_cornerMm * pxPerMm;
    if (!m_problem)
        for (const print::Overrun& o : m_overruns)
            if (toPx(o.printedMm, cornerPx, pxPerMm).adjusted(-2, -2, 2, 2).contains(at))
                return o.description;
    const print::FormDrawing& form = print::formDrawing(m_content.layout);
    for (const print::FormTextPlace& place : form.texts)
        if (toPx(place.placeMm, cornerPx, pxPerMm).contains(at))
            return QStringLiteral("%1の欄（%2ポイント、幅 %3 mm）")
                .arg(print::captionOf(place.item))
                .arg(place.item.sizePt)
                .arg(mmText(place.item.widthMm));
    for (const print::FormMark& mark : form.marks)
        if (QLineF(at, cornerPx + mark.centreMm * pxPerMm).length() <= mark.radiusMm * pxPerMm)
            return QStringLiteral("%1「%2」の○印")
                .arg(mark.deliveryTime() ? QStringLiteral("配達時間帯") : QStringLiteral("お届け通知"), mark.caption);
    if (hasScan())
        return QStringLiteral(
            "用紙の画像はドラッグか矢印キーで動かせます（矢印キーで0.1 mm、Shiftキーと一緒なら1 mmずつ）。");
    return {};
}

bool PreviewWidget::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

std::optional<QPoint> PreviewWidget::arrowDirection(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return QPoint(-1, 0);
    case Qt::Key_Right:
        return QPoint(1, 0);
    case Qt::Key_Up:
        return QPoint(0, -1);
    case Qt::Key_Down:
        return QPoint(0, 1);
    default:
        return std::nullopt;
    }
}

void PreviewWidget::keyPressEvent(QKeyEvent* event)
{
    const std::optional<QPoint> direction = arrowDirection(event->key());
    if (!hasScan() || !direction) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->modifiers().testFlag(Qt::ShiftModifier) ? 10 : 1;
    setScanNudgeTenthMm(m_scanNudge + *direction * step);
}

void PreviewWidget::mousePressEvent(QMouseEvent* event)
{
    if (hasScan() && event->button() == Qt::LeftButton) {
        m_dragFrom = event->position().toPoint();
        m_nudgeAtDragStart = m_scanNudge;
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    QWidget::mousePressEvent(event);
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragFrom) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF movedMm = QPointF(event->position().toPoint() - *m_dragFrom) / pixelsPerMm();
    setScanNudgeTenthMm(m_nudgeAtDragStart + QPoint(qRound(movedMm.x() * 10), qRound(movedMm.y() * 10)));
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragFrom && event->button() == Qt::LeftButton) {
        m_dragFrom.reset();
        setCursor(Qt::OpenHandCursor);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void PreviewWidget::wheelEvent(QWheelEvent* event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier)) {
        event->ignore(); // the scroll area scrolls
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta != 0)
        emit zoomRequested(delta > 0 ? 1 : -1, event->position().toPoint());
    event->accept();
}

} // namespace app
