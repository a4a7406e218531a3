#include "orders/rowwaybills.h"

#include "entry/textrules.h"

namespace orders {

QStringList ListShape::cellsOf(const csv::Record& record) const
{
    if (bookFormat == AddressBookFormat::None)
        return record.fields;
    QStringList cells;
    cells.reserve(record.fields.size());
    for (const QString& field : record.fields)
        cells << withoutFormulaGuard(field, bookFormat);
    return cells;
}

QString ListShape::orderKeyOf(const QStringList& cells) const
{
    const auto cell = [&](OrderPart part) {
        const int column = layout->column(part);
        return column >= 0 && column < cells.size() ? cleanCell(cells[column]) : QString();
    };
    OrderParts parts;
    parts.orderNumber = cell(OrderPart::OrderNumber);
    parts.destinationId = cell(OrderPart::DestinationId);
    return parts.orderKey();
}

QString ListShape::orderNumberOf(const QStringList& cells) const
{
    return orderKeyOf(cells).section(QChar(0x1F), 0, 0);
}

void RowWaybills::setFitCheck(FitCheck fits)
{
    m_fits = std::move(fits);
    m_surelyFittingUnits = {-1, -1};
}

void RowWaybills::setNaturalFitCheck(FitCheck fitsAsIs)
{
    m_fitsAsIs = std::move(fitsAsIs);
    m_surelyFittingUnits = {-1, -1};
}

AssembledOrder RowWaybills::assemble(Records records) const
{
    AssembledOrder order;
    for (const csv::Record& record : records)
        addRow(order, extractOrderRow(*m_shape.layout, record.fields, m_constants.senderFromBuyer));
    return order;
}

LineFits RowWaybills::lineFits(bool sender) const
{
    const FitCheck& check = m_fitsAsIs ? m_fitsAsIs : m_fits;
    if (!check)
        return [](const QString&) { return true; };
    const auto fits = [&check, sender](const QString& text) {
        waybill::Waybill alone;
        (sender ? alone.sender : alone.recipient).line1 = text;
        return !check(alone);
    };
    // Measuring a line costs about what drawing it does, and most
    // addresses are short: a line of no more units than a row of
    // full-width characters that fits is taken to fit unmeasured. Were it
    // wider after all, the waybill's own check measures it and refuses it.
    qsizetype& surelyFits = m_surelyFittingUnits[sender ? 1 : 0];
    if (surelyFits < 0) {
        surelyFits = 0;
        for (qsizetype units = 40; units > 0 && surelyFits == 0; --units)
            if (fits(QString(units, QChar(u'國'))))
                surelyFits = units;
    }
    return [fits, units = surelyFits](const QString& text) { return text.size() <= units || fits(text); };
}

waybill::Waybill RowWaybills::orderWaybill(const AssembledOrder& order) const
{
    waybill::Waybill w;
    w.recipient = addressOf(order.shipTo, lineFits(false));
    w.sender = m_constants.senderFromBuyer ? addressOf(order.buyer, lineFits(true)) : m_constants.sender;
    w.deliveryTime = m_constants.deliveryTime;
    w.arrivalNotice = m_constants.arrivalNotice;
    if (order.items.isEmpty()) {
        w.numericMode = false;
        applyCommonGoods(w, m_constants);
        return entry::asEntered(std::move(w));
    }
    // What is in the parcel and how many, not what it cost: a waybill is
    // no invoice, and a gift's must not show the price.
    const GoodsLines lines = goodsLines(order.items);
    for (size_t i = 0; i < w.goods.size(); ++i) {
        const waybill::GoodsLine& line = lines.lines[i];
        // A line no item fills stays blank, not a fresh window's 0.
        const bool used = i < size_t(order.items.size());
        w.goods[i] = {line.description, line.productNumber, used ? line.quantity : QString(), {}, {}};
    }
    w.total.clear();
    w.numericMode = true;
    applyCommonGoods(w, m_constants);
    return entry::asEntered(std::move(w));
}

waybill::Waybill RowWaybills::waybillOf(Records records) const
{
    if (m_shape.layout)
        return orderWaybill(assemble(records));
    waybill::Waybill w =
        buildWaybill(m_shape.columns, records.empty() ? QStringList() : m_shape.cellsOf(records.front()), m_constants);
    if (m_constants.senderFromBuyer)
        w.sender = {};
    return w;
}

} // namespace orders
