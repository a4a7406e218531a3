#include "app/goodsoffer.h"

#include "goods/goodstable.h"

#include <QSignalBlocker>

namespace app {

GoodsOffer::GoodsOffer(const QList<DropDownComboBox*>& boxes, storage::Database& database, QObject* parent)
    : QObject(parent), m_database(database)
{
    for (DropDownComboBox* box : boxes)
        box->showList = [this, box, ownItems = box->count()] {
            offer(*box, ownItems);
            return false; // the box's own list, now with the names
        };
}

void GoodsOffer::offer(DropDownComboBox& box, int ownItems)
{
    const quint64 now = goods::GoodsTable::revision() + 1;
    if (m_offeredAt.value(&box) == now)
        return;
    m_offeredAt.insert(&box, now);
    // A problem reading the table goes to the program's receiver, as any
    // other of the book's.
    goods::GoodsTable table(m_database);
    QStringList names;
    for (const goods::GoodsName& row : table.all())
        if (!names.contains(row.shortName) && box.findText(row.shortName) < 0)
            names << row.shortName;
    // The box's text is the user's: items come and go under it unchanged.
    const QString text = box.currentText();
    const QSignalBlocker quiet(&box);
    while (box.count() > ownItems)
        box.removeItem(box.count() - 1);
    names.sort();
    box.addItems(names);
    box.setEditText(text);
}

} // namespace app
