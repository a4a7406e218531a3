#include "orders/itemfile.h"

#include "csv/reader.h"
#include "orders/columns.h"
#include "platform/readfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace orders {

namespace {

enum class ItemPart { OrderId, ItemId, SubCode, Title, Quantity, UnitPrice };

// Yahoo!ショッピング's item file: its downloads come as an order file and an
// item file joined by the order id (a public manual of an order-management
// program: www.com2han.com/help/j03, …/w11, "Orders" and "Items").
// The headings are the order API's item fields
// (developer.yahoo.co.jp/webapi/shopping/orderInfo.html: LineId, ItemId,
// Title, SubCode, Quantity, UnitPrice), read so for the CSV by one public
// importer (Title, Quantity, UnitPrice with OrderId); partly confirmed. The
// file's name is not confirmed: the item file is looked for by the order
// file's name with "order" made "item", and can always be named.
struct ItemColumn {
    ItemPart part;
    const char* headings; // alternatives separated by |
};
constexpr ItemColumn kItemColumns[] = {
    {ItemPart::OrderId, "OrderId|Order_ID"}, {ItemPart::ItemId, "ItemId"},     {ItemPart::SubCode, "SubCode"},
    {ItemPart::Title, "Title|ItemName"},     {ItemPart::Quantity, "Quantity"}, {ItemPart::UnitPrice, "UnitPrice"},
};

QHash<ItemPart, int> columnsOf(const QStringList& headings)
{
    QHash<ItemPart, int> columns;
    for (const ItemColumn& column : kItemColumns)
        for (const QString& heading : QString::fromLatin1(column.headings).split(u'|'))
            for (int i = 0; i < headings.size() && !columns.contains(column.part); ++i)
                if (normalizedHeading(headings[i]) == normalizedHeading(heading))
                    columns.insert(column.part, i);
    return columns;
}

} // namespace

bool ItemFile::isItemFile(const QStringList& headings)
{
    const QHash<ItemPart, int> columns = columnsOf(headings);
    return columns.contains(ItemPart::OrderId) && columns.contains(ItemPart::Quantity) &&
           (columns.contains(ItemPart::Title) || columns.contains(ItemPart::ItemId));
}

QString ItemFile::besideOrderFile(const QString& orderFilePath)
{
    const QFileInfo info(orderFilePath);
    QString name = info.fileName();
    static const QRegularExpression kOrder(QStringLiteral("order"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = kOrder.match(name);
    if (!m.hasMatch())
        return {};
    const QString found = m.captured();
    // The case as written: orders → items, Orders → Items, ORDERS → ITEMS.
    QString item = QStringLiteral("item");
    if (found.front().isUpper())
        item[0] = u'I';
    if (found == found.toUpper())
        item = item.toUpper();
    name.replace(m.capturedStart(), m.capturedLength(), item);
    return info.dir().filePath(name);
}

void ItemFile::clear()
{
    m_path.clear();
    m_errorText.clear();
    m_itemsByOrder.clear();
}

bool ItemFile::read(const QString& path, std::optional<csv::Encoding> encoding)
{
    clear();
    QFile file(path);
    QString systemError;
    if (const platform::FileKind kind = platform::openRegularFile(file, &systemError, QIODevice::ReadOnly);
        kind != platform::FileKind::Regular) {
        m_errorText = platform::notReadableText(kind, path, QStringLiteral("商品のファイル"), systemError);
        return false;
    }
    return read(file, path, encoding);
}

bool ItemFile::read(QIODevice& file, const QString& path, std::optional<csv::Encoding> encoding)
{
    clear();
    csv::Reader::Options options;
    options.encoding = encoding;
    options.tabsByHeading = true;
    csv::Reader reader(file, options);
    if (!reader.start()) {
        m_errorText = QStringLiteral("商品のファイル「%1」: %2").arg(path, reader.errorText());
        return false;
    }
    csv::Record record;
    if (reader.next(record) != csv::Reader::Step::Record || !isItemFile(record.fields)) {
        m_errorText = reader.errorText().isEmpty()
                          ? QStringLiteral("「%1」は商品のファイルではありません（見出しに OrderId、Quantity と "
                                           "Title か ItemId の列がありません）。Yahoo!ショッピングからダウンロードした"
                                           "商品のファイルを指定してください。")
                                .arg(path)
                          : QStringLiteral("商品のファイル「%1」: %2").arg(path, reader.errorText());
        return false;
    }
    const QHash<ItemPart, int> columns = columnsOf(record.fields);
    const auto cell = [&](ItemPart part) {
        const int column = columns.value(part, -1);
        return column >= 0 && column < record.fields.size() ? cleanCell(record.fields[column]) : QString();
    };
    QHash<QString, Kept> items;
    for (;;) {
        const csv::Reader::Step step = reader.next(record);
        if (step == csv::Reader::Step::End)
            break;
        if (step == csv::Reader::Step::Failed || record.badColumn >= 0) {
            m_errorText = QStringLiteral("商品のファイル「%1」: %2")
                              .arg(path, step == csv::Reader::Step::Failed ? reader.errorText() : record.problem);
            return false;
        }
        const QString orderId = cell(ItemPart::OrderId);
        if (orderId.isEmpty())
            continue;
        OrderItem item;
        item.description = cell(ItemPart::Title);
        // The shop's code of the item, with its variation's where it has one.
        item.productNumber = cell(ItemPart::SubCode).isEmpty() ? cell(ItemPart::ItemId) : cell(ItemPart::SubCode);
        item.quantity = plainNumber(cell(ItemPart::Quantity));
        item.unitPrice = plainNumber(cell(ItemPart::UnitPrice));
        Kept& kept = items[orderId];
        if (item.quantity == u"0")
            ++kept.nothingToShip;
        else if (!item.isEmpty())
            kept.items << item;
    }
    m_itemsByOrder = std::move(items);
    m_path = path;
    return true;
}

QList<OrderItem> ItemFile::itemsOf(const QString& orderId, int* nothingToShip) const
{
    const auto it = m_itemsByOrder.constFind(orderId);
    if (it == m_itemsByOrder.constEnd())
        return {};
    if (nothingToShip)
        *nothingToShip = it->nothingToShip;
    return it->items;
}

} // namespace orders
