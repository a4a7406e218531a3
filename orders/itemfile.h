#pragma once
// A shop's file of ordered items, read beside its order file: Yahoo!
// ショッピング's downloads come as a pair, the orders (ship-to, buyer) and
// their items, joined by the order's id. The item file is read whole when it
// is opened, and the goods printed are the ones read then (and checked).
#include "csv/encoding.h"
#include "orders/values.h"

#include <QHash>
#include <QIODevice>
#include <QList>
#include <QString>
#include <optional>

namespace orders {

class ItemFile {
public:
    // Reads the file; false: errorText() says why (the file, the line, the
    // column), and no items are kept.
    bool read(const QString& path, std::optional<csv::Encoding> encoding = std::nullopt);
    // The same from an open device; `path` names it in messages.
    bool read(QIODevice& device, const QString& path, std::optional<csv::Encoding> encoding = std::nullopt);
    void clear();
    const QString& path() const { return m_path; }
    const QString& errorText() const { return m_errorText; }
    bool isEmpty() const { return m_itemsByOrder.isEmpty(); }

    // The items of an order, in the file's order; items with nothing to
    // ship (a quantity of 0) are left out and counted in `nothingToShip`.
    QList<OrderItem> itemsOf(const QString& orderId, int* nothingToShip = nullptr) const;

    // Whether a heading row is an item file's.
    static bool isItemFile(const QStringList& headings);
    // Where the item file of an order file is expected: the same folder
    // and name with "order" made "item" (orders_20261201.csv →
    // items_20261201.csv, in any case); empty when the name has no "order".
    static QString besideOrderFile(const QString& orderFilePath);

private:
    struct Kept {
        QList<OrderItem> items;
        int nothingToShip = 0;
    };
    QString m_path;
    QString m_errorText;
    QHash<QString, Kept> m_itemsByOrder;
};

} // namespace orders
