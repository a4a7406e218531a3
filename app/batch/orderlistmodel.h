#pragma once
// The rows of an order list as a table. Row texts are read from the file
// only for the rows a view asks for, and a few hundred of them are kept, so
// a list of a million rows shows as fast as one of ten.
#include "orders/orderlist.h"

#include <QAbstractTableModel>
#include <QCache>

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
        ReasonColumn,
        FormNumberColumn,
        ColumnCount
    };

    explicit OrderListModel(orders::OrderList& list, QObject* parent = nullptr);

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

private:
    struct RowTexts {
        orders::RowState state; // when read; reasons depend on it
        QString orderNumber, name, postalCode, address, firstReason, allReasons;
    };
    const RowTexts* textsOf(int row) const;

    orders::OrderList& m_list;
    QHash<qint64, QString> m_usedForms, m_plannedForms;
    int m_rows = 0;
    mutable QCache<int, RowTexts> m_texts;
    mutable qint64 m_fetched = 0;
};

} // namespace app
