#include "orders/batchrows.h"

namespace orders {

RowCounts countStates(const OrderList& list)
{
    RowCounts counts;
    for (qint64 row = 0; row < list.rowCount(); ++row) {
        switch (list.state(row)) {
        case RowState::Unchecked:
            ++counts.unchecked;
            break;
        case RowState::Printable:
            ++counts.printable;
            break;
        case RowState::Refused:
            ++counts.refused;
            break;
        case RowState::Excluded:
            ++counts.excluded;
            break;
        case RowState::Printed:
            ++counts.printed;
            break;
        }
    }
    return counts;
}

std::vector<qint64> rowsIn(const OrderList& list, RowState state)
{
    std::vector<qint64> rows;
    for (qint64 row = 0; row < list.rowCount(); ++row)
        if (list.state(row) == state)
            rows.push_back(row);
    return rows;
}

QString findingPlace(const QStringList& headings, const Finding& finding)
{
    if (finding.column >= 0 && finding.column < headings.size())
        return QStringLiteral("列「%1」").arg(headings[finding.column]);
    return QStringLiteral("行全体");
}

QString lineList(const OrderList& list, const std::vector<qint64>& rows, int shown)
{
    QStringList lines;
    for (size_t i = 0; i < rows.size() && i < size_t(shown); ++i)
        lines << (rows[i] >= 0 && rows[i] < list.rowCount() ? QString::number(list.lineOf(rows[i]))
                                                            : QStringLiteral("?"));
    QString text = lines.join(QStringLiteral("、")) + QStringLiteral("行目");
    if (rows.size() > size_t(shown))
        text += QStringLiteral("ほか %1 行").arg(rows.size() - size_t(shown));
    return text;
}

} // namespace orders
