#pragma once
// An order list and its rows as a table. The model holds the list (the
// file it reads, the columns chosen for its heading row) as the batch
// window's one source of rows. Row texts are read from the file only for
// the rows a view asks for, and a few hundred of them are kept, so a list
// of a million rows shows as fast as one of ten.
#include "orders/orderlist.h"

#include <QAbstractTableModel>
#include <QCache>
#include <memory>

class QSettings;

namespace orders {
class SettingsMappingStore;
}

namespace app {

class OrderListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        StateColumn,
        LineColumn,
        OrderNumberColumn,
        NameColumn,
        PostalCodeColumn,
        AddressColumn,
        ItemsColumn, // the goods lines: 「Tシャツ ×2、マグカップ ×1」
        ReasonColumn,
        FormNumberColumn,
        ColumnCount
    };

    // The columns chosen for a heading row are remembered in `settingsFile`.
    explicit OrderListModel(const QString& settingsFile, QObject* parent = nullptr);
    ~OrderListModel() override;

    orders::OrderList& list() { return m_list; }
    const orders::OrderList& list() const { return m_list; }
    // The file last opened, also one that did not open; empty before.
    QString filePath() const { return m_path; }
    bool isOpen() const { return !m_path.isEmpty(); }
    // Opens `path` into the list and shows its rows anew; false when it
    // does not open (the list says why).
    bool open(const QString& path, std::optional<csv::Encoding> encoding);
    // Writes the columns chosen to the settings file now.
    void saveColumns();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes in the rows the list has found since the last call.
    void takeNewRows();
    // The list was opened anew or closed.
    void resetList();
    // Checks, columns or constants changed what rows say: reads them again.
    void refreshAll();
    void refreshRow(qint64 row);
    // Rows were checked again: states redrawn, texts read again only where
    // a state changed.
    void statesChanged();

    // What the state column says.
    static QString stateText(orders::RowState state);
    // All reasons of a refused row, one a line.
    QString reasonsOf(qint64 row);

    // The form each row will go on (planned) or went on, by row; replaces
    // the planned numbers shown before, keeps the ones used.
    void setFormNumbers(const QHash<qint64, QString>& numbers, bool planned);

    // Rows read from the file for the view since the model was made.
    qint64 rowsFetched() const { return m_fetched; }

    // The longest order number or form number shown so far, so the view
    // can show every one whole: two orders must never look the same.
    QString longestText(int column) const;

signals:
    // A text longer than any before in the order-number or form-number column.
    void longerText(int column, const QString& text);

private:
    struct RowTexts {
        orders::RowState state; // when read; reasons depend on it
        QString orderNumber, name, postalCode, address, items, firstReason, allReasons;
    };
    const RowTexts* textsOf(int row) const;
    void noteLength(int column, const QString& text) const;

    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<orders::SettingsMappingStore> m_mappings;
    orders::OrderList m_list;
    QString m_path;
    QHash<qint64, QString> m_usedForms, m_plannedForms;
    int m_rows = 0;
    mutable QCache<int, RowTexts> m_texts;
    mutable qint64 m_fetched = 0;
    mutable QString m_longestOrderNumber, m_longestFormNumber;
};

} // namespace app
