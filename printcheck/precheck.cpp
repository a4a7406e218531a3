#include "printcheck/precheck.h"

#include "entry/amounts.h"
#include "orders/rows.h"
#include "platform/numtext.h"
#include "print/overrun.h"

namespace printcheck {

namespace {

using orders::Field;

// The row checks name the place of a text by its column's heading: here the
// window's block or field.
QList<orders::Finding> rowFindings(const waybill::Address& address, const QString& block)
{
    waybill::Waybill asRow;
    asRow.recipient = address;
    const QStringList headings{block, QStringLiteral("住所"), QStringLiteral("名前"), block};
    const orders::ColumnMap columns{Field::PostalCode, Field::AddressLine1, Field::Name, Field::Telephone};
    return orders::checkWaybill(asRow, headings, columns, {});
}

QStringList amountFindings(const waybill::Waybill& w)
{
    const auto result =
        entry::calculateAmounts({w.goods[0].quantity, w.goods[0].unitPrice, w.goods[1].quantity, w.goods[1].unitPrice});
    if (!result)
        return {result.error().reason};
    const entry::Amounts& computed = *result;
    const QString again = QStringLiteral("「合計」を押すと計算し直します。");
    const std::tuple<QString, QString, QString, QString> boxes[] = {
        {QStringLiteral("金額1"), w.goods[0].amount, computed.amount1, QStringLiteral("数量1 × 単価1")},
        {QStringLiteral("金額2"), w.goods[1].amount, computed.amount2, QStringLiteral("数量2 × 単価2")},
        {QStringLiteral("合計"), w.total, computed.total, QStringLiteral("金額1 ＋ 金額2")},
    };
    QStringList found;
    for (const auto& [caption, shown, wanted, how] : boxes) {
        const auto value = platform::textToDouble(shown);
        if (value && value == platform::textToDouble(wanted))
            continue;
        found << QStringLiteral("%1が「%2」ですが、%3は「%4」です。%5").arg(caption, shown, how, wanted, again);
    }
    return found;
}

} // namespace

QStringList refusalsBeforePrint(const waybill::Waybill& waybill)
{
    QStringList refused;
    for (const orders::Finding& finding : rowFindings(waybill.recipient, QStringLiteral("お届け先")))
        if (finding.field == Field::Name || finding.field == Field::AddressLine1)
            refused << finding.reason;
    return refused;
}

QStringList findingsBeforePrint(const waybill::Waybill& waybill, Sender sender, const print::Layout& layout)
{
    QStringList found;
    for (const orders::Finding& finding : rowFindings(waybill.recipient, QStringLiteral("お届け先")))
        found << finding.reason;
    if (sender == Sender::Typed) {
        if (waybill.sender.name.trimmed().isEmpty())
            found << QStringLiteral(
                "ご依頼主の名前がありません。ご依頼主が印刷済みの伝票なら、「伝票 (F6)」でそう設定すると聞かれなくなります。");
        if (waybill.sender.line1.trimmed().isEmpty())
            found << QStringLiteral("ご依頼主の住所がありません。");
    }
    const bool senderHasPostalCode = !waybill.sender.postalCode.trimmed().isEmpty();
    for (const orders::Finding& finding : rowFindings(waybill.sender, QStringLiteral("ご依頼主")))
        if ((finding.field == Field::PostalCode && senderHasPostalCode) || finding.field == Field::Telephone)
            found << finding.reason;
    found << print::printProblems(waybill, layout);
    if (waybill.numericMode)
        found << amountFindings(waybill);
    return found;
}

QStringList notesBeforePrint(const waybill::Waybill& waybill, const print::Layout& layout)
{
    return print::fitNotes(waybill, layout);
}

} // namespace printcheck
