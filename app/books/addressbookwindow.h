#pragma once
// The address book window: saved recipients and senders, found as the user
// types, put into either block of the main window as if typed; the main
// window's blocks saved with one click; entries edited and removed; the
// book written to and read from CSV.
#include "addressbook/addressbook.h"
#include "csv/encoding.h"

#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTreeWidget;

namespace app {

class GoodsTableWindow;

class StorageProblemBanner;
class WaybillWindow;
struct Services;

class AddressBookWindow final : public QWidget {
    Q_OBJECT
public:
    AddressBookWindow(WaybillWindow& window, Services& services);

    addressbook::Kind kind() const;
    void setKind(addressbook::Kind kind);
    QLineEdit& searchField() { return *m_search; }
    QTreeWidget& list() { return *m_list; }
    // The entries the list shows, in order; the chosen one, if any.
    const QList<addressbook::AddressEntry>& shownEntries() const { return m_shown; }
    std::optional<addressbook::AddressEntry> chosenEntry() const;
    void choose(int row);
    QString statusText() const;
    // What the window says about a database it cannot use; empty when all is well.
    QString problemText() const;

    // Asks the reading (フリガナ) of `name` before the main window's block is
    // saved, `offered` filled in; nothing when the user cancels. A seam for
    // the tests; a dialog unless replaced.
    using ReadingAsker = std::function<std::optional<QString>(const QString& name, const QString& offered)>;
    void setReadingAsker(ReadingAsker ask) { m_askReading = std::move(ask); }

    // Without the file dialogs. Both tell the user how it went; false when
    // nothing was written or read.
    bool exportTo(const QString& path, csv::Encoding encoding);
    bool importFrom(const QString& path);

public slots:
    void search();
    void fillRecipient();
    void fillSender();
    void saveRecipientOfWindow();
    void saveSenderOfWindow();
    void editChosen();
    void removeChosen();
    void chooseExportFile();
    void chooseImportFile();
    void retryDatabase();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill(int block);
    void saveOfWindow(addressbook::Kind kind);
    void showEntries(const QList<addressbook::AddressEntry>& entries, int limit);
    // Chooses the entry if the list shows it.
    bool select(qint64 id);
    void updateButtons();
    // Says a storage problem once (after `lead`, what did not happen, when
    // given), and shows or hides the note about a database that cannot be used.
    void tellStorageProblem(storage::ProblemsMet& problems, const QString& lead = {});

    WaybillWindow& m_window;
    Services& m_services;
    GoodsTableWindow* m_goodsTable = nullptr; // made at its first opening
    StorageProblemBanner* m_problem;
    QTabBar* m_kinds;
    QLineEdit* m_search;
    QTreeWidget* m_list;
    QLabel* m_status;
    QLabel* m_hint;
    QPushButton* m_toRecipient;
    QPushButton* m_toSender;
    QPushButton* m_edit;
    QPushButton* m_remove;
    QList<QPushButton*> m_needingTheBook; // disabled while the database cannot be used
    QList<addressbook::AddressEntry> m_shown;
    ReadingAsker m_askReading;
    bool m_deferMessages = false; // while the window is being shown: messages come once it is up
};

// Opens the address book, or brings the open one to the front.
AddressBookWindow* showAddressBook(WaybillWindow& window, Services& services);

} // namespace app
