#pragma once
// 「用紙レイアウト」: where each value of a waybill goes on a form, set in
// place over the form's scan or drawing. The layouts are the station's
// (station::LayoutStore): made from the built-in one or another, saved,
// deleted, imported, exported and chosen for the forms of the printer in
// use; a test sheet of the places prints on plain paper to hold over a form.
#include "app/layout/itempanel.h"
#include "app/layout/layoutcanvas.h"
#include "app/layout/layoutdocument.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace app {

class WaybillWindow;
struct Services;

class LayoutWindow final : public QWidget {
    Q_OBJECT
public:
    LayoutWindow(WaybillWindow& window, Services& services);

    LayoutDocument& document() { return m_document; }
    LayoutCanvas& canvas() { return *m_canvas; }
    LayoutItemPanel& panel() { return *m_panel; }
    QScrollArea& scrollArea() { return *m_scroll; }
    QComboBox& layoutChoice() { return *m_names; }
    // The layout open, as saved (its name).
    const QString& layoutName() const { return m_name; }
    QString statusText() const;

    // How the window asks for a name and for files; tests answer in their
    // place. A name: nothing when cancelled. A file: empty when cancelled.
    using AskName = std::function<std::optional<QString>(QWidget*, const QString& question, const QString& suggested)>;
    using AskFile = std::function<QString(QWidget*, const QString& caption, const QString& pathOrFolder)>;
    void setAskName(AskName ask) { m_askName = std::move(ask); }
    void setAskOpenFile(AskFile ask) { m_askOpenFile = std::move(ask); }
    void setAskSaveFile(AskFile ask) { m_askSaveFile = std::move(ask); }

public slots:
    // Opens the layout of that name to edit; false when it was not opened
    // (changes kept on the user's word, or a file that does not read).
    bool openLayout(const QString& name);
    // 新規…: a new layout from the one open, under a name asked for.
    bool newLayout();
    // 保存: under its name; 「標準」 is saved under a new name asked for.
    bool save();
    bool saveAs();
    bool removeLayout();
    bool importLayout();
    bool exportLayout();
    // The layout open becomes the one the forms of the printer in use take.
    bool useForPrinterForms();
    // The test sheet to the printer in use, or into a PDF file.
    bool printTestSheet();
    bool saveTestSheetAsPdf();
    void chooseScan();
    // The form's scan under the layout (an image, or a page from 0 of a
    // PDF), kept for this layout; false and the reason told when unreadable.
    bool openScan(const QString& path, int pdfPage = 0);
    void removeScan();
    void zoomIn();
    void zoomOut();
    void fitToWindow();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildTools();
    void refreshNames();
    void updateTexts();
    void refreshQueueLine();
    void showPaper();
    // Whether the changes open may be left: none, or the user said so.
    bool mayLeaveChanges(const QString& doing);
    bool saveUnder(const QString& name);
    std::optional<QString> askNewName(const QString& question, const QString& suggested);
    void restoreScan();
    void rememberScan() const;
    void say(const QString& text);

    WaybillWindow& m_window;
    Services& m_services;
    LayoutDocument m_document;
    QString m_name;
    QString m_queueLayout; // the layout the printer's forms take, as last read
    LayoutCanvas* m_canvas;
    LayoutItemPanel* m_panel;
    QScrollArea* m_scroll;
    QComboBox* m_names;
    QLabel* m_queueLine;
    QLabel* m_status;
    QPushButton* m_save;
    QPushButton* m_remove;
    QPushButton* m_undo;
    QPushButton* m_redo;
    QPushButton* m_useForForms;
    QPushButton* m_removeScan;
    QString m_scanPath;
    int m_scanPage = 0;
    bool m_fitted = false;
    std::pair<QSizeF, QPointF> m_paperShown;
    AskName m_askName;
    AskFile m_askOpenFile;
    AskFile m_askSaveFile;
};

// Opens the layout window, or brings the open one to the front.
LayoutWindow* showLayouts(WaybillWindow& window, Services& services);

} // namespace app
