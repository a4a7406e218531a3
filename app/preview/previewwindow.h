#pragma once
// The preview window: the waybill on paper at true size or zoomed, with the
// current offsets, the form's places under it, the texts that run past their
// places listed, and a scan of the user's own form under everything.
#include "app/preview/previewwidget.h"
#include "common/result.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;

namespace station {
class Station;
}

namespace app {

struct Services;
class WaybillWindow;

class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWindow(PreviewSource source, QWidget* parent = nullptr);

    PreviewWidget& view() { return *m_view; }
    QScrollArea& scrollArea() { return *m_scroll; }

    // Lays a scan of the form under the page: a PNG or JPEG image, or a page
    // (from 0) of a PDF. Remembered with its nudge for the next window.
    // Returns why it could not be read, or nothing.
    std::optional<QString> openScan(const QString& path, int pdfPage = 0);
    void removeScan();
    QString scanPath() const { return m_scanPath; }

    // A command of the program's at the end of the window's tool row of the form.
    QPushButton* addCommand(const QString& caption, const QString& toolTip, const std::function<void()>& run);

    // What the window says under the page, for the user (and the tests).
    QString statusText() const;
    QString problemText() const;
    QStringList overrunLines() const;
    // The printed texts with characters no face can draw, one line each.
    QStringList missingGlyphLines() const;

public slots:
    void refresh();
    // Redraws once the event loop turns, however many changes came before.
    void scheduleRefresh();
    void zoomIn();
    void zoomOut();
    void showTrueSize();
    void fitToWindow();
    void chooseScan();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void zoomAround(double zoom, QPoint atInView);
    void zoomBySteps(int steps, QPoint atInView);
    void updateTexts();
    void rememberScan() const;
    void restoreScan();

    PreviewWidget* m_view;
    QScrollArea* m_scroll;
    QLabel* m_problem;
    QLabel* m_zoomLabel;
    QLabel* m_overrunCaption;
    QListWidget* m_overruns;
    QLabel* m_status;
    QPushButton* m_removeScan;
    QPushButton* m_resetNudge;
    QCheckBox* m_showForm;
    QHBoxLayout* m_tools;
    QString m_scanPath;
    int m_scanPage = 0;
    QString m_scanNote; // what the user should know about the scan
    bool m_refreshPending = false;
};

// A scan of a form to lay under a page: a PNG or JPEG image (made smaller
// past what a screen shows, its resolution kept true), or a page (from 0)
// of a PDF; `note` is told what the user should know about it.
Result<QImage> readFormScan(const QString& path, int pdfPage, QString* note = nullptr);
// Which page of a PDF of several pages to lay under: from 0; 0 for an
// image or a PDF of one page; -1 when the user cancelled.
int askPdfPage(QWidget* parent, const QString& path);
// A form's scan chosen in a file dialog (starting beside `lastPath`) and,
// for a PDF of several pages, its page; nothing when the user cancelled.
struct ChosenScan {
    QString path;
    int pdfPage = 0;
};
std::optional<ChosenScan> chooseFormScan(QWidget* parent, const QString& lastPath);

// The waybill and offset texts of the program's window, on the layout the
// station's print takes.
PreviewSource previewSourceOf(const WaybillWindow& window, station::Station& station);

// Opens the preview of the window's waybill, or brings the open one to the
// front. It follows every change of the window; with the system's printer,
// its paper is shown and the form's size is set there.
PreviewWindow* showPreview(WaybillWindow& window, Services& services);

} // namespace app
