#pragma once
// The paper as the print will put it: the page through the same renderer as
// printing, over a drawing of the form (postal boxes, text places, choice
// marks) and, optionally, over a scan of the user's own form.
#include "print/overrun.h"
#include "print/page.h"
#include "waybill/waybill.h"

#include <QImage>
#include <QPageLayout>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

namespace app {

// What the preview shows: the waybill and the two offset texts as they
// stand, on the layout the print takes, with what it places that the
// waybill does not hold.
struct PreviewContent {
    waybill::Waybill waybill;
    QString horizontalOffsetText;
    QString verticalOffsetText;
    print::Layout layout = print::builtInLayout();
    print::SheetExtras extras;
    // Why the layout the print takes cannot be read: no page is shown then.
    QString layoutProblem;
};
using PreviewSource = std::function<PreviewContent()>;

class PreviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWidget(PreviewSource source, QWidget* parent = nullptr);

    // The paper the print goes onto, and where the printer's printable area
    // starts on it. A4 with the printable area at its corner until set.
    void setPaper(const QPageLayout& paper, QPointF printableCornerMm = {});
    QSizeF paperSizeMm() const;

    // Zoom 1 is true size: a millimetre on paper is a millimetre on this screen.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    double pixelsPerMm() const;
    // The screen's own density, in widget pixels per inch.
    double screenDotsPerInch() const;
    // Where the paper's top-left corner is in the widget.
    QPointF paperOrigin() const;
    // Where a point of the page (mm from the printable area's corner) is in the widget.
    QPointF pageToWidget(QPointF pageMm) const;

    // The offsets are readable and the page is shown; otherwise why not.
    bool showsPage() const { return !m_problem; }
    QString problem() const { return m_problem.value_or(QString()); }
    const print::Page& page() const { return m_page; }
    const std::vector<print::Overrun>& overruns() const { return m_overruns; }
    const waybill::Waybill& waybill() const { return m_content.waybill; }
    const print::Layout& layout() const { return m_content.layout; }
    // The offsets the page is drawn with, when they are readable.
    std::optional<print::PrintOffsets> offsets() const { return m_offsets; }

    // A scan of the form under everything, its resolution read from the
    // image (dots per metre); a null image takes it away. The nudge moves it
    // from the paper's corner, in 0.1 mm.
    void setScan(const QImage& scan);
    bool hasScan() const { return !m_scan.isNull(); }
    QPoint scanNudgeTenthMm() const { return m_scanNudge; }
    void setScanNudgeTenthMm(QPoint nudge);

    enum Layer { FormLayer = 1, OverrunLayer = 2, ScanLayer = 4 };
    Q_DECLARE_FLAGS(Layers, Layer)
    // The whole paper at this resolution: white paper and the print, with
    // the layers asked for, drawn as on the screen.
    QImage render(double dotsPerInch, Layers layers = {}) const;

    // Which layers the screen shows; all by default.
    void setShownLayers(Layers layers);
    Layers shownLayers() const { return m_layers; }

    QSize sizeHint() const override;

public slots:
    // Reads the waybill and offsets again and redraws at once.
    void refresh();

signals:
    void refreshed();
    void scanNudged(QPoint nudgeTenthMm);
    // Ctrl and the wheel: steps up (positive) or down, at a point of the widget.
    void zoomRequested(int steps, QPoint at);

protected:
    // The way an arrow key points on the page (right and down positive);
    // nothing for any other key.
    static std::optional<QPoint> arrowDirection(int key);
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintPaper(QPainter& painter, double pxPerMm, QPointF paperTopLeft, Layers layers, bool onScreen) const;
    void paintScan(QPainter& painter, double pxPerMm, QPointF paperTopLeft, bool onScreen) const;
    void paintForm(QPainter& painter, double pxPerMm, QPointF cornerPx, bool overScan) const;
    void paintOverruns(QPainter& painter, double pxPerMm, QPointF cornerPx) const;
    QString toolTipAt(QPoint at) const;
    QRectF paperSheetInPageMm() const;

    PreviewSource m_source;
    PreviewContent m_content;
    std::optional<QString> m_problem;
    std::optional<print::PrintOffsets> m_offsets;
    print::Page m_page;
    std::vector<print::Overrun> m_overruns;
    print::PrintState m_printState;

    QPageLayout m_paper;
    QPointF m_cornerMm;
    double m_zoom = 1.0;
    Layers m_layers = Layers(FormLayer | OverrunLayer | ScanLayer);

    QImage m_scan;
    QPoint m_scanNudge;
    mutable QPixmap m_scanScaled; // the scan at the screen's current scale
    mutable double m_scanScaledFor = 0;
    std::optional<QPoint> m_dragFrom;
    QPoint m_nudgeAtDragStart;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PreviewWidget::Layers)

// Pixels per millimetre of an image: its resolution, or, when the image does
// not tell it, as wide as the paper.
double scanPixelsPerMm(const QImage& scan, double paperWidthMm);
// Whether the image file told its resolution.
bool scanTellsResolution(const QImage& scan);

} // namespace app
