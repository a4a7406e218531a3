#pragma once
// Reading an order list as a batch: how many rows stand in each state, which
// rows to print, and where a finding lies, for the window and the command
// line alike.
#include "orders/orderlist.h"

#include <vector>

namespace orders {

struct RowCounts {
    qint64 unchecked = 0;
    qint64 printable = 0;
    qint64 refused = 0;
    qint64 excluded = 0;
    qint64 printed = 0;
};
// Every row counted once, in one pass over the states kept in memory.
RowCounts countStates(const OrderList& list);

// The rows in `state`, in the order of the file.
std::vector<qint64> rowsIn(const OrderList& list, RowState state);

// Where a finding lies, for the user: 列「お届け先郵便番号」, or 行全体 when it
// concerns no one column.
QString findingPlace(const QStringList& headings, const Finding& finding);

// The file's line numbers of the rows, for a sentence: 「2、5、9行目」; past
// `shown` rows, 「2、5、9行目ほか 12 行」.
QString lineList(const OrderList& list, const std::vector<qint64>& rows, int shown = 10);

} // namespace orders
