#pragma once
// The check of one row of an order list before it is printed: the line's
// shape against the heading row, a shop's order whose lines name two
// ship-tos, a buyer missing where he is the sender, and then the waybill's
// own check (checkWaybill).
#include "orders/rowwaybills.h"

namespace orders {

class RowChecks {
public:
    RowChecks(const ListShape& shape, const RowWaybills& waybills) : m_shape(shape), m_waybills(waybills) {}

    // The findings of a row read from the file; none when it may print.
    QList<Finding> findingsOf(Records records) const;
    // Those of a row the user edited: its waybill alone is checked.
    QList<Finding> findingsOfEdit(const waybill::Waybill& edit) const;
    // A ご依頼主 row of the program's address-book export.
    bool isSenderRow(Records records) const;

private:
    const ListShape& m_shape;
    const RowWaybills& m_waybills;
};

} // namespace orders
