#include "orders/rowwaybills.h"

#include "entry/textrules.h"
#include "orders/prefectures.h"
#include "orders/telephones.h"

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
    forgetSurelyFitting();
}

void RowWaybills::setNaturalFitCheck(FitCheck fitsAsIs)
{
    m_fitsAsIs = std::move(fitsAsIs);
    forgetSurelyFitting();
}

AssembledOrder RowWaybills::assemble(Records records) const
{
    AssembledOrder order;
    for (const csv::Record& record : records)
        addRow(order, extractOrderRow(*m_shape.layout, record.fields, m_constants.senderFromBuyer));
    // Yahoo!ショッピング's goods are in the item file, by the order's id.
    if (m_items && order.items.isEmpty() && !order.orderNumber.isEmpty()) {
        int nothingToShip = 0;
        order.items = m_items->itemsOf(order.orderNumber, &nothingToShip);
        order.itemsNothingToShip += nothingToShip;
    }
    return order;
}

void RowWaybills::forgetSurelyFitting()
{
    for (auto& sides : m_surelyFittingUnits)
        for (auto& lines : sides)
            lines.fill(-1);
    for (auto& sides : m_measured)
        for (auto& lines : sides)
            for (QHash<QString, bool>& measured : lines)
                measured.clear();
}

LineFits RowWaybills::lineFits(const FitCheck& check, bool sender, int line) const
{
    if (!check)
        return {};
    const auto fits = [&check, sender, line](const QString& text) {
        waybill::Waybill alone;
        waybill::Address& address = sender ? alone.sender : alone.recipient;
        (line == 1 ? address.line1 : address.line2) = text;
        return !check(alone);
    };
    // Measuring a line costs about what drawing it does, and most
    // addresses are short: a line of no more units than a row of
    // full-width characters that fits is taken to fit unmeasured. Were it
    // wider after all, the waybill's own check measures it.
    const size_t kind = &check == &m_fits ? 1 : 0, side = sender ? 1 : 0, lineIndex = size_t(line - 1);
    qsizetype& surelyFits = m_surelyFittingUnits[kind][side][lineIndex];
    if (surelyFits < 0) {
        surelyFits = 0;
        for (qsizetype units = 60; units > 0 && surelyFits == 0; --units)
            if (fits(QString(units, QChar(u'國'))))
                surelyFits = units;
    }
    // Kept for the rows of a list read twice, not more: a list is long.
    constexpr qsizetype kMeasuredKept = 8192;
    QHash<QString, bool>* measured = &m_measured[kind][side][lineIndex];
    return [fits, units = surelyFits, measured](const QString& text) {
        if (text.size() <= units)
            return true;
        if (const auto it = measured->constFind(text); it != measured->constEnd())
            return *it;
        if (measured->size() >= kMeasuredKept)
            measured->clear();
        return *measured->insert(text, fits(text));
    };
}

AddressFits RowWaybills::addressFits(bool sender) const
{
    // Without a check of the line as it is, the fit check stands for it.
    const FitCheck& asIs = m_fitsAsIs ? m_fitsAsIs : m_fits;
    return {lineFits(asIs, sender, 1), lineFits(asIs, sender, 2), lineFits(m_fits, sender, 1),
            lineFits(m_fits, sender, 2)};
}

QString RowWaybills::goodsName(const QString& productCode, const QString& listName) const
{
    if (m_goodsNames && (!productCode.isEmpty() || !listName.isEmpty()))
        if (const std::optional<QString> name = m_goodsNames(productCode, listName))
            return *name;
    return withoutMarketingBrackets(listName);
}

waybill::Waybill RowWaybills::orderWaybill(const AssembledOrder& order) const
{
    waybill::Waybill w;
    w.recipient = addressOf(order.shipTo, addressFits(false));
    w.sender = m_constants.senderFromBuyer ? addressOf(order.buyer, addressFits(true)) : m_constants.sender;
    w.recipient.telephone = recipientTelephone(order, m_constants.giftTelephone, w.sender.telephone);
    w.deliveryTime = m_constants.deliveryTime;
    w.arrivalNotice = m_constants.arrivalNotice;
    if (order.items.isEmpty()) {
        w.numericMode = false;
        applyCommonGoods(w, m_constants);
        return entry::asEntered(std::move(w));
    }
    // What is in the parcel and how many, not what it cost: a waybill is
    // no invoice, and a gift's must not show the price.
    QList<OrderItem> items = order.items;
    for (OrderItem& item : items)
        item.description = goodsName(item.productNumber, item.description);
    const GoodsLines lines = goodsLines(items);
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
    const QStringList cells = records.empty() ? QStringList() : m_shape.cellsOf(records.front());
    waybill::Waybill w = buildWaybill(m_shape.columns, cells, m_constants);
    if (m_constants.senderFromBuyer)
        w.sender = {};
    // The program's own address book holds its texts as they were typed.
    if (m_shape.bookFormat == AddressBookFormat::None) {
        if (const QString listName = cellOf(m_shape.columns, cells, Field::ItemDescription);
            !listName.isEmpty() || !w.goods[0].productNumber.isEmpty())
            w.goods[0].description = entry::flattenLineBreaks(goodsName(w.goods[0].productNumber, listName));
        // The common 品名, when given, stands for every order's goods.
        applyCommonGoods(w, m_constants);
        w.recipient.line1 = withKanjiPrefecture(w.recipient.line1);
        w.recipient.telephone = telephoneAsWritten(w.recipient.telephone);
    }
    return w;
}

} // namespace orders
