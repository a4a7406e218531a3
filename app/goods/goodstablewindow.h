#pragma once
// 品名の置き換え: the goods table in a window of its own, reached from the
// address book. Each row says what an order list's product code or
// product name prints as on the form; rows are added, changed and removed
// here, and read from or written to a CSV file.
#include "csv/encoding.h"
#include "goods/goodstable.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace app {

class GoodsTableWindow final : public QWidget {
    Q_OBJECT
public:
    GoodsTableWindow(storage::Database& database, QWidget* parent = nullptr);

    // What the buttons do once a file is chosen; the tests call them.
    void importFrom(const QString& path);
    void exportTo(const QString& path, csv::Encoding encoding);
    // What the window says of the last operation.
    QString statusText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reload();
    void takeChosen();
    void saveRow();
    void removeChosen();
    void chooseImportFile();
    void chooseExportFile();
    void updateButtons();
    // Runs one operation on the table; a problem of the database is said.
    template <typename Operation>
    auto withProblems(Operation operation);

    storage::Database& m_database;
    goods::GoodsTable m_table;
    QList<goods::GoodsName> m_rows;
    qint64 m_editing = 0; // the row the fields hold, 0: a new one
    QTreeWidget* m_list;
    QComboBox* m_kind;
    QLineEdit* m_match;
    QLineEdit* m_shortName;
    QPushButton* m_save;
    QPushButton* m_new;
    QPushButton* m_remove;
    QLabel* m_status;
};

} // namespace app
