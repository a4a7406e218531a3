#pragma once
// The goods table's short names offered in the main window's 品名 boxes: at
// the first opening of a box's list (and after the table changed) its names
// follow the box's own items. Only offered: a box's text changes only when
// the user picks an item, and what is typed stays as typed.
#include "app/senderlists.h"
#include "storage/database.h"

#include <QObject>

namespace app {

class GoodsOffer final : public QObject {
    Q_OBJECT
public:
    GoodsOffer(const QList<DropDownComboBox*>& boxes, storage::Database& database, QObject* parent = nullptr);

private:
    void offer(DropDownComboBox& box, int ownItems);

    storage::Database& m_database;
    QHash<DropDownComboBox*, quint64> m_offeredAt; // the goods table's revision + 1 when offered
};

} // namespace app
