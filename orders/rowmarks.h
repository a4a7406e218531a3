#pragma once
// What is known of each row of an order list besides its text: whether it
// was checked with the present columns and constants and passed, whether it
// is a ご依頼主 row of an address-book export, and what the user did with it
// (left it out, took it in, printed it). One byte per row.
#include <QtGlobal>
#include <vector>

namespace orders {

enum class RowState {
    Unchecked, // not yet checked with the present columns and constants
    Printable,
    Refused,  // the row's findings say why
    Excluded, // left out by the user, or a ご依頼主 row of an address-book export
    Printed,
};

class RowMarks {
public:
    void clear() { m_flags.clear(); }
    void add() { m_flags.push_back(0); }
    qint64 size() const { return qint64(m_flags.size()); }

    RowState state(qint64 row) const;
    qint64 count(RowState state) const;

    bool isChecked(qint64 row) const { return m_flags[size_t(row)] & kChecked; }
    // The check's verdict; what the user decided stays.
    void setChecked(qint64 row, bool refused, bool senderRow);
    void setUnchecked(qint64 row) { m_flags[size_t(row)] &= quint8(~kChecked); }
    void setAllUnchecked();

    void setExcluded(qint64 row, bool excluded);
    void setPrinted(qint64 row) { m_flags[size_t(row)] |= kPrinted; }

private:
    enum Flag : quint8 {
        kChecked = 1,
        kRefused = 2,
        kSenderRow = 4,
        kUserExcluded = 8,
        kUserIncluded = 16,
        kPrinted = 32,
    };
    // What the user decided about a row; a new check keeps these.
    static constexpr quint8 kUserFlags = kUserExcluded | kUserIncluded | kPrinted;

    std::vector<quint8> m_flags;
};

} // namespace orders
