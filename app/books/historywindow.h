#pragma once
// The print history window: the printed waybills newest first, found by
// name, telephone, postal code, address, order number, form number and
// print date, the spoiled forms beside them; the shipping confirmations of
// the period written for a shop platform; one
// of them put back into the main window, or printed again with the main
// window's present offsets.
#include "history/history.h"
#include "shipping/confirmations.h"

#include <QDate>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace app {

class StorageProblemBanner;
class WaybillWindow;
struct Services;

class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    HistoryWindow(WaybillWindow& window, Services& services);

    // The search fields, by what they hold.
    enum class Key { Name, Telephone, PostalCode, Address, OrderNumber, TrackingNumber };
    QLineEdit& field(Key key) { return *m_fields[int(key)]; }
    // Limits the search to prints from `from` to `to`, both days included;
    // an invalid `from` lifts the limit.
    void setDateRange(QDate from, QDate to);
    // The query the fields stand for now.
    history::HistoryQuery query() const;

    QTreeWidget& list() { return *m_list; }
    const QList<history::HistoryEntry>& shownEntries() const { return m_shown; }
    std::optional<history::HistoryEntry> chosenEntry() const;
    void choose(int row);
    QString statusText() const;
    // The spoiled forms of the period (the date range, else the last month).
    QTreeWidget& spoiledList() { return *m_spoiled; }
    // Writes the shipping confirmations of the prints of the date range (or,
    // without one, of today) as `format` into `path`; false when nothing
    // was written, the reason then told.
    bool exportShipped(const QString& path, shipping::Format format);
    QString problemText() const;

public slots:
    // Searches now, from the newest print on.
    void search();
    // The next rows of the same search, below those shown.
    void showMore();
    void clearConditions();
    void putBack();
    void printAgain();
    // 出荷情報を書き出す: asks for the format and the file.
    void chooseShippedFile();

protected:
    void showEvent(QShowEvent* event) override;
    // Coming back to the window shows the prints made meanwhile.
    void changeEvent(QEvent* event) override;

private:
    void append(const QList<history::HistoryEntry>& entries);
    void updateButtons();
    // Says a storage problem once; shows or hides the note about a
    // database that cannot be used.
    void tellStorageProblem(storage::ProblemsMet& problems);

    WaybillWindow& m_window;
    Services& m_services;
    StorageProblemBanner* m_problem;
    QLineEdit* m_fields[6];
    QTreeWidget* m_spoiled;
    QCheckBox* m_byDate;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QTreeWidget* m_list;
    QLabel* m_status;
    QPushButton* m_more;
    QPushButton* m_putBack;
    QPushButton* m_printAgain;
    QTimer m_pause; // searches a moment after the typing stops
    QList<history::HistoryEntry> m_shown;
    history::HistoryQuery m_query; // of the rows shown
    bool m_mayHaveMore = false;
    bool m_deferMessages = false; // while the window is being shown: messages come once it is up
};

// Opens the history, or brings the open one to the front.
HistoryWindow* showHistory(WaybillWindow& window, Services& services);

} // namespace app
