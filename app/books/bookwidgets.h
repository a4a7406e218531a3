#pragma once
// What the address book and history windows share: the list of entries,
// their buttons, and the note and message about a database that cannot be
// used.
#include "storage/database.h"

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace app {

struct Services;

// A list of one entry per row, one chosen at a time; the column at
// `stretchColumn` takes the width the others leave, and a cell cut short
// shows its whole text when pointed at.
QTreeWidget* makeEntryList(const QStringList& headings, int stretchColumn, QWidget* parent);
// The chosen row, or -1: focus alone makes a row current without choosing it.
int chosenRow(const QTreeWidget& list);
void chooseRow(QTreeWidget& list, int row);

QPushButton* bookButton(const QString& caption, QWidget* parent, const char* objectName);

// The note above a book's list while its database cannot be used: what
// cannot be done, why, and (optionally) a button to try the file again.
class StorageProblemBanner final : public QWidget {
    Q_OBJECT
public:
    // unusable: what the window cannot do while the file cannot be used.
    StorageProblemBanner(QString unusable, bool offerRetry, QWidget* parent);

    // Shown while the database cannot be used, hidden otherwise; true when shown.
    bool follow(const storage::Database& database);
    QString text() const;

signals:
    void retryRequested();

private:
    QString m_unusable;
    QLabel* m_text;
    QPushButton* m_retry = nullptr;
};

// Says a storage problem over `over`, after `lead` (what did not happen)
// when given; from the event loop when `deferred`, so a window being shown
// is up before its message.
void sayStorageProblem(Services& services, QWidget* over, const QString& problem, const QString& lead = {},
                       bool deferred = false);

} // namespace app
