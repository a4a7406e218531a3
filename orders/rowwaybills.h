#pragma once
// How the rows of one order list become waybills: a list of lines by its
// columns (one line, one waybill), a shop's list by its layout (one order of
// one or more lines, put together, one waybill to its ship-to).
#include "csv/reader.h"
#include "orders/columns.h"
#include "orders/rows.h"
#include "orders/shoplayouts.h"

#include <array>
#include <optional>
#include <span>

namespace orders {

using Records = std::span<const csv::Record>;

// What a list's heading row says about its rows.
struct ListShape {
    QStringList headings;
    ColumnMap columns;
    std::optional<RecognisedLayout> layout; // a shop's list, read by orders
    AddressBookFormat bookFormat = AddressBookFormat::None;

    // A line's cells as the waybill takes them: the program's own
    // address-book export has its formula guards taken off.
    QStringList cellsOf(const csv::Record& record) const;
    // The order key of a shop's line (OrderParts::orderKey); empty for a
    // line without an order number, also one cut short before it.
    QString orderKeyOf(const QStringList& cells) const;
    // The order number of a shop's line.
    QString orderNumberOf(const QStringList& cells) const;
};

class RowWaybills {
public:
    explicit RowWaybills(const ListShape& shape) : m_shape(shape) {}

    void setConstants(const ListConstants& constants) { m_constants = constants; }
    const ListConstants& constants() const { return m_constants; }
    void setFitCheck(FitCheck fits);
    const FitCheck& fitCheck() const { return m_fits; }
    // Whether a line stands as it is; addresses are split by it, else by the fit check.
    void setNaturalFitCheck(FitCheck fitsAsIs);

    // A shop's order from its lines.
    AssembledOrder assemble(Records records) const;
    // The row's waybill: from its lines when the list is a shop's, else
    // from its one line (no line: an empty recipient).
    waybill::Waybill waybillOf(Records records) const;
    waybill::Waybill orderWaybill(const AssembledOrder& order) const;

private:
    LineFits lineFits(bool sender) const;

    const ListShape& m_shape;
    ListConstants m_constants;
    FitCheck m_fits;
    FitCheck m_fitsAsIs;
    mutable std::array<qsizetype, 2> m_surelyFittingUnits{-1, -1}; // [recipient, sender] line 1; -1: not yet known
};

} // namespace orders
