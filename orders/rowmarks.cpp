#include "orders/rowmarks.h"

namespace orders {

RowState RowMarks::state(qint64 row) const
{
    const quint8 flags = m_flags[size_t(row)];
    if (flags & kPrinted)
        return RowState::Printed;
    if ((flags & kUserExcluded) || ((flags & kSenderRow) && !(flags & kUserIncluded)))
        return RowState::Excluded;
    if (!(flags & kChecked))
        return RowState::Unchecked;
    return (flags & kRefused) ? RowState::Refused : RowState::Printable;
}

qint64 RowMarks::count(RowState wanted) const
{
    qint64 count = 0;
    for (qint64 row = 0; row < size(); ++row)
        count += state(row) == wanted;
    return count;
}

void RowMarks::setChecked(qint64 row, bool refused, bool senderRow)
{
    quint8& flags = m_flags[size_t(row)];
    flags = quint8((flags & kUserFlags) | kChecked | (refused ? kRefused : 0) | (senderRow ? kSenderRow : 0));
}

void RowMarks::setAllUnchecked()
{
    for (quint8& flags : m_flags)
        flags &= quint8(~kChecked);
}

void RowMarks::setExcluded(qint64 row, bool excluded)
{
    quint8& flags = m_flags[size_t(row)];
    flags &= quint8(~(kUserExcluded | kUserIncluded));
    flags |= excluded ? kUserExcluded : kUserIncluded;
}

} // namespace orders
