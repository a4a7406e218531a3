#include "orders/rowchecks.h"

namespace orders {

QList<Finding> RowChecks::findingsOfEdit(const waybill::Waybill& edit) const
{
    return checkWaybill(edit, m_shape.headings, m_shape.columns, m_waybills.fitCheck());
}

bool RowChecks::isSenderRow(Records records) const
{
    return !m_shape.layout && !records.empty() &&
           cellOf(m_shape.columns, m_shape.cellsOf(records.front()), Field::Kind) == senderKindText();
}

QList<Finding> RowChecks::findingsOf(Records records) const
{
    const QStringList& headings = m_shape.headings;
    QList<Finding> findings;
    for (const csv::Record& record : records) {
        if (record.badColumn >= 0)
            findings.append(
                {m_shape.columns.value(record.badColumn, Field::None), record.badColumn, record.problem, {}});
        // A cell left out or one too many moves every cell after it into the
        // next column's field; where it happened cannot be told.
        if (record.fields.size() < headings.size()) {
            findings.append(
                {Field::None,
                 -1,
                 QStringLiteral(
                     "%1行目は列が %2 個で、見出しの行（%3 個）より少なくなっています。途中の項目が抜けていると、"
                     "それより後ろの項目がすべて一つ前の列に入ってしまいます。その行の区切りのコンマ（,）を確かめてください。")
                     .arg(record.line)
                     .arg(record.fields.size())
                     .arg(headings.size()),
                 {}});
        }
        for (qsizetype column = headings.size(); column < record.fields.size(); ++column) {
            if (record.fields[column].trimmed().isEmpty())
                continue;
            findings.append(
                {Field::None,
                 int(column),
                 QStringLiteral(
                     "%1行目は列が %2 個で、見出しの行（%3 個）より多く、%4列目に「%5」が入っています。列がずれている可能性があります。"
                     "その行の区切りのコンマ（,）を確かめてください。")
                     .arg(record.line)
                     .arg(record.fields.size())
                     .arg(headings.size())
                     .arg(column + 1)
                     .arg(record.fields[column].trimmed()),
                 {}});
            break;
        }
    }
    // A shop's order is put together once, for its waybill and its ship-to.
    const std::optional<AssembledOrder> order =
        m_shape.layout ? std::optional(m_waybills.assemble(records)) : std::nullopt;
    const waybill::Waybill waybill = order ? m_waybills.orderWaybill(*order) : m_waybills.waybillOf(records);
    if (m_waybills.constants().senderFromBuyer && (waybill.sender.name.isEmpty() || waybill.sender.line1.isEmpty()))
        findings.append({Field::None,
                         -1,
                         m_shape.layout
                             ? QStringLiteral("ご依頼主を注文者にしていますが、この注文には注文者の%1がありません。"
                                              "ご依頼主を住所録のものに戻すか、一覧を出力し直してください。")
                                   .arg(waybill.sender.name.isEmpty() ? QStringLiteral("名前") : QStringLiteral("住所"))
                             : QStringLiteral("ご依頼主を注文者にしていますが、この一覧には注文者の列がありません。"
                                              "ご依頼主を住所録のものに戻してください。"),
                         {}});
    if (order) {
        if (order->shipToConflict)
            findings.append({Field::None,
                             -1,
                             QStringLiteral("注文番号「%1」の行に、別々のお届け先が書かれています（%2行目ほか）。"
                                            "一つの送り状にはできないため、一覧を出力し直してください。")
                                 .arg(m_shape.orderNumberOf(records.front().fields))
                                 .arg(records.front().line),
                             {}});
        findings += checkWaybill(waybill, headings, m_shape.columns, m_waybills.fitCheck());
        return findings;
    }
    const QStringList cells = records.empty() ? QStringList() : m_shape.cellsOf(records.front());
    const QString kind = cellOf(m_shape.columns, cells, Field::Kind);
    if (!kind.isEmpty() && kind != recipientKindText() && kind != senderKindText())
        findings.append({Field::Kind,
                         int(m_shape.columns.indexOf(Field::Kind)),
                         QStringLiteral("「%1」の「%2」は、「%3」か「%4」にしてください。")
                             .arg(headings.value(m_shape.columns.indexOf(Field::Kind)), kind, recipientKindText(),
                                  senderKindText()),
                         {}});
    findings += checkWaybill(waybill, headings, m_shape.columns, m_waybills.fitCheck());
    return findings;
}

} // namespace orders
