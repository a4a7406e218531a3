#pragma once
// The check of one row of an order list before it is printed: the line's
// shape against the heading row, a shop's order whose lines name two
// ship-tos, a buyer missing where he is the sender, a gift whose list has
// no number for its recipient (a note), and then the waybill's own check
// (checkWaybill).
#include "orders/rowwaybills.h"

namespace orders {

class RowChecks {
public:
    RowChecks(const ListShape& shape, const RowWaybills& waybills) : m_shape(shape), m_waybills(waybills) {}

    // The postal codes' prefectures, for an address whose prefecture is
    // not its code's.
    void setPostalPrefectures(PostalPrefectures prefectures) { m_prefectures = std::move(prefectures); }

    // The findings of a row read from the file; none when it may print.
    QList<Finding> findingsOf(Records records) const;
    // Those of a row the user edited: its waybill alone is checked.
    QList<Finding> findingsOfEdit(const waybill::Waybill& edit) const;
    // A row the list itself leaves out: a ご依頼主 row of the program's
    // address-book export, or a shop's order of items with nothing left to
    // ship (already sent in full). The user may still take it in.
    bool isLeftOut(Records records) const;

private:
    const ListShape& m_shape;
    const RowWaybills& m_waybills;
    PostalPrefectures m_prefectures;
};

} // namespace orders
