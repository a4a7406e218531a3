#pragma once
// The batch window: an order list (CSV) opened, its rows checked and shown
// with their states, fixed or left out where needed, and the printable rows
// printed as one document, one waybill per form. The view over three
// parts: the list and its rows (OrderListModel), the reading from the
// event loop (ReadingPump) and what the window says (BatchTexts).
#include "csv/encoding.h"
#include "orders/orderlist.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QDialog;
class QLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QShortcut;
class QTableView;

namespace app {

struct Services;
class WaybillWindow;
class BatchTexts;
class ListConstantsPanel;
class OrderListModel;
class PreviewWidget;
class ReadingPump;

class BatchWindow final : public QWidget {
    Q_OBJECT
public:
    // Prints with the offsets of `window`, and shows its rows' pages with them.
    BatchWindow(Services& services, WaybillWindow& window);
    ~BatchWindow() override;

    // Seams for the tests: where the file comes from, and how a dialog runs
    // (exec() unless replaced; true when accepted).
    using FileChooser = std::function<QString(QWidget* parent)>;
    using DialogRunner = std::function<bool(QDialog& dialog)>;
    void setFileChooser(FileChooser choose) { m_chooseFile = std::move(choose); }
    void setDialogRunner(DialogRunner run) { m_runDialog = std::move(run); }

    // Opens an order list, its encoding detected unless given; its rows are
    // then read and checked from the event loop. false: the window says why.
    bool openFile(const QString& path, std::optional<csv::Encoding> encoding = std::nullopt);
    QString filePath() const;
    bool isReading() const;
    bool isPrinting() const { return m_printing; }

    orders::OrderList& list();
    OrderListModel& model() { return *m_model; }
    QTableView& table() { return *m_table; }
    ListConstantsPanel& constantsPanel() { return *m_constants; }
    PreviewWidget& preview() { return *m_preview; }
    QComboBox& encodingChoice() { return *m_encoding; }

    // What the window says: the last outcome, the counts of the states, a
    // problem with the whole list, and the current row's reasons.
    QString statusText() const;
    QString summaryText() const;
    QString bannerText() const;
    QString rowDetailText() const;

    std::vector<qint64> selectedRows() const;
    void selectRows(const std::vector<qint64>& rows);

public slots:
    void chooseFile();
    void chooseColumns();
    void editCurrentRow();
    void toggleExcluded();
    void nextRefused();
    void printSelected();
    void printAll();
    void cancel();
    void refreshPreview();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The constructor's parts, top to bottom.
    QLayout* createFileBar();
    QWidget* createRowsPane();
    QWidget* createSidePane();
    QLayout* createPrintBar();
    void connectCommands();

    void startReading(bool rechecking);
    void afterSlice(bool countsDue);
    void afterReading();
    // Widens `column` to show `text` whole.
    void showWhole(int column, const QString& text);
    void afterChecksChanged();
    void applyConstants();
    void encodingChosen();
    void printRows(std::vector<qint64> rows);
    void updateCommands();
    void showPlannedForms();
    void updateSummary();
    void updateRowDetail();
    bool runDialog(QDialog& dialog);
    // Asks before the work done on this list is forgotten for `path`.
    bool mayForgetWork(const QString& path);
    qint64 currentRow() const;

    Services& m_services;
    WaybillWindow& m_window;
    FileChooser m_chooseFile;
    DialogRunner m_runDialog;

    bool m_printing = false;
    bool m_cancelRequested = false;
    qint64 m_printableRows = 0; // as last counted for the summary

    OrderListModel* m_model;
    ReadingPump* m_pump;
    BatchTexts* m_texts;
    QTableView* m_table;
    ListConstantsPanel* m_constants;
    PreviewWidget* m_preview;
    QLabel* m_fileLabel;
    QComboBox* m_encoding;
    QLabel* m_encodingNote;
    QProgressBar* m_progress;
    QPushButton* m_openButton;
    QPushButton* m_columnsButton;
    QPushButton* m_editButton;
    QPushButton* m_excludeButton;
    QPushButton* m_nextButton;
    QPushButton* m_printSelectedButton;
    QPushButton* m_printAllButton;
    QPushButton* m_cancelButton;
    QPushButton* m_closeButton;
    QShortcut* m_escape;
};

// Opens the batch window of the program's window, or brings the open one to
// the front; it prints with the main window's offsets.
BatchWindow* showBatch(WaybillWindow& window, Services& services);

} // namespace app
