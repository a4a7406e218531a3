#include "orders/orderlist.h"

#include <QFileInfo>
#include <algorithm>

namespace orders {

OrderList::OrderList() { m_waybills.setItemFile(&m_itemFile); }
OrderList::~OrderList() = default;

void OrderList::setConstants(const ListConstants& constants)
{
    // An edit changed the recipient and goods, not what the whole list
    // shares: edited rows take the new sender and choices too.
    const ListConstants before = m_waybills.constants();
    m_waybills.setConstants(constants);
    for (auto it = m_edits.begin(); it != m_edits.end(); ++it) {
        waybill::Waybill& edit = *it;
        if (constants.senderFromBuyer) {
            const std::vector<csv::Record>* records = recordsAt(it.key(), false);
            edit.sender = records ? m_waybills.waybillOf(*records).sender : waybill::Address{};
        } else {
            edit.sender = constants.sender;
        }
        edit.deliveryTime = constants.deliveryTime;
        edit.arrivalNotice = constants.arrivalNotice;
        // A new common item description replaces the goods of edited rows
        // too; none any more gives them the file's goods back.
        if (constants.itemDescription != before.itemDescription) {
            if (!constants.itemDescription.isEmpty()) {
                applyCommonGoods(edit, constants);
            } else if (const std::vector<csv::Record>* records = recordsAt(it.key(), false)) {
                const waybill::Waybill own = m_waybills.waybillOf(*records);
                edit.goods = own.goods;
                edit.total = own.total;
                edit.numericMode = own.numericMode;
            }
        }
    }
    recheckAll();
}

void OrderList::setFitCheck(FitCheck fits)
{
    m_waybills.setFitCheck(std::move(fits));
    recheckAll();
}

void OrderList::setPostalPrefectures(PostalPrefectures prefectures)
{
    m_checks.setPostalPrefectures(std::move(prefectures));
    recheckAll();
}

void OrderList::setGoodsNames(GoodsNames names)
{
    m_waybills.setGoodsNames(std::move(names));
    m_cachedRow = -1;
    recheckAll();
}

void OrderList::setNaturalFitCheck(FitCheck fitsAsIs)
{
    m_waybills.setNaturalFitCheck(std::move(fitsAsIs));
    recheckAll();
}

csv::Encoding OrderList::encoding() const { return m_file.encoding(); }

void OrderList::close()
{
    m_file.close();
    m_shape = ListShape{};
    m_nearlyShop.reset();
    m_itemFile.clear();
    m_itemFileNote.clear();
    m_waybillColumns.clear();
    forgetRows();
}

void OrderList::forgetRows()
{
    m_file.forgetLines();
    m_marks.clear();
    m_groups.clear();
    m_latestOrderLines.clear();
    m_edits.clear();
    m_allFound = false;
    m_nextCheck = 0;
    m_cachedRow = -1;
    m_cachedWhole = false;
}

std::optional<Shop> OrderList::shop() const
{
    return m_shape.layout ? std::optional<Shop>(m_shape.layout->shop) : std::nullopt;
}

qint64 OrderList::fileRowCount() const { return m_file.lineCount(); }

QStringList OrderList::missingFields() const
{
    if (!m_shape.layout)
        return orders::missingFields(m_shape.columns);
    QStringList missing = orders::missingFields(*m_shape.layout);
    const QStringList headings = missingHeadings(*m_shape.layout);
    for (qsizetype i = 0; i < missing.size() && i < headings.size(); ++i)
        missing[i] += QStringLiteral("（%1の列%2）").arg(shopName(m_shape.layout->shop), headings[i]);
    return missing;
}

QString OrderList::nearlyShopNote() const
{
    if (!m_nearlyShop || m_source != MappingSource::KnownHeadings)
        return {};
    return QStringLiteral(
               "この一覧は%1のようですが、列「%2」がありません（見出しが書き換えられたか、列が消されています）。"
               "%1として注文ごとに読むには、出力したままの見出しで出力し直してください。")
        .arg(shopName(m_nearlyShop->shop), m_nearlyShop->missingHeading);
}

bool OrderList::open(const QString& path, std::optional<csv::Encoding> encoding)
{
    close();
    if (!m_file.open(path, encoding))
        return false;
    takeHeadings();
    findItemFile(path);
    return true;
}

void OrderList::findItemFile(const QString& path)
{
    if (!m_shape.layout || m_shape.layout->shop != Shop::YahooShopping ||
        m_shape.layout->has(OrderPart::ItemDescription))
        return;
    const QString beside = ItemFile::besideOrderFile(path);
    if (beside.isEmpty() || !QFileInfo::exists(beside)) {
        m_itemFileNote =
            QStringLiteral(
                "Yahoo!ショッピングの商品のファイル（%1）が注文のファイルと同じフォルダに見つからないため、"
                "品名には一覧の定数の品名を印刷します。商品のファイルも一緒にダウンロードして同じフォルダに置くか、"
                "--items で指定してください。")
                .arg(beside.isEmpty() ? QStringLiteral("items….csv") : QFileInfo(beside).fileName());
        return;
    }
    if (!m_itemFile.read(beside, m_file.encoding()))
        m_itemFileNote = m_itemFile.errorText() + QStringLiteral("品名には一覧の定数の品名を印刷します。");
}

bool OrderList::openItemFile(const QString& path, std::optional<csv::Encoding> encoding)
{
    m_itemFileNote.clear();
    m_cachedRow = -1;
    recheckAll();
    return m_itemFile.read(path, encoding);
}

bool OrderList::open(std::unique_ptr<QIODevice> device, std::optional<csv::Encoding> encoding)
{
    close();
    if (!m_file.open(std::move(device), encoding))
        return false;
    takeHeadings();
    return true;
}

void OrderList::takeHeadings()
{
    m_shape.headings = m_file.headings();
    m_shape.bookFormat = addressBookFormat(m_shape.headings);
    // The user's own choice for these headings first, then a shop's
    // layout, then the known headings.
    const std::optional<ColumnMap> remembered = m_store ? m_store->recall(headerKey(m_shape.headings)) : std::nullopt;
    if (remembered && remembered->size() == m_shape.headings.size() && duplicatedField(*remembered) == Field::None) {
        m_shape.columns = *remembered;
        m_source = MappingSource::Remembered;
    } else if (m_shape.bookFormat == AddressBookFormat::None && (m_shape.layout = recogniseLayout(m_shape.headings))) {
        m_shape.columns = columnsOfLayout(*m_shape.layout, int(m_shape.headings.size()));
        m_source = MappingSource::Shop;
    } else {
        m_shape.columns = recogniseHeadings(m_shape.headings);
        m_source = isAddressBookHeader(m_shape.headings) ? MappingSource::AddressBook : MappingSource::KnownHeadings;
        if (m_source == MappingSource::KnownHeadings)
            m_nearlyShop = nearlyShopHeadings(m_shape.headings);
    }
    findWaybillColumns();
}

void OrderList::findWaybillColumns()
{
    m_waybillColumns.assign(size_t(m_shape.headings.size()), false);
    const auto take = [&](int column) {
        if (column >= 0 && size_t(column) < m_waybillColumns.size())
            m_waybillColumns[size_t(column)] = true;
    };
    if (m_shape.layout) {
        for (const auto& columns : m_shape.layout->personColumns)
            for (int column : columns)
                take(column);
        for (int column : m_shape.layout->orderColumns)
            take(column);
        return;
    }
    for (qsizetype column = 0; column < m_shape.columns.size(); ++column)
        if (m_shape.columns[column] != Field::None)
            take(int(column));
}

QStringList OrderList::headingNotes() const
{
    if (m_source == MappingSource::Shop)
        return m_itemFileNote.isEmpty() ? QStringList() : QStringList{m_itemFileNote};
    if (m_source == MappingSource::Remembered || m_source == MappingSource::User)
        return {};
    QStringList notes = orders::headingNotes(m_shape.headings, m_shape.columns);
    if (const QString note = nearlyShopNote(); !note.isEmpty())
        notes.prepend(note);
    return notes;
}

bool OrderList::setColumns(const ColumnMap& map)
{
    if (!m_file.isOpen() || map.size() != m_shape.headings.size() || duplicatedField(map) != Field::None)
        return false;
    m_shape.columns = map;
    m_source = MappingSource::User;
    // What was read ahead for waybills may lack a cell the new columns take.
    m_cachedRow = -1;
    if (m_store)
        m_store->remember(headerKey(m_shape.headings), map);
    if (m_shape.layout) {
        // Rows become lines: the orders found so far mean nothing now.
        m_shape.layout.reset();
        forgetRows();
        findWaybillColumns();
        return true;
    }
    findWaybillColumns();
    recheckAll();
    return true;
}

void OrderList::recheckAll()
{
    m_marks.setAllUnchecked();
    m_nextCheck = 0;
}

std::vector<qint64> OrderList::linesOfRow(qint64 row) const
{
    return byOrder() ? m_groups.linesOf(row) : std::vector<qint64>{row};
}

bool OrderList::isComplete() const
{
    if (!m_file.isOpen() || m_file.failed())
        return true;
    return m_allFound && (!canCheck() || m_nextCheck >= size_t(rowCount()));
}

double OrderList::progress() const
{
    if (isComplete())
        return 1.0;
    const double found = m_allFound ? 1.0 : m_file.foundShare();
    if (canCheck() && m_nextCheck < size_t(rowCount()))
        return found * double(m_nextCheck) / double(rowCount());
    return found;
}

bool OrderList::readMore(int maxRows)
{
    if (isComplete())
        return true;
    csv::Record record;
    for (int handled = 0; handled < maxRows; ++handled) {
        // An order is checked once all of its lines are found.
        if (canCheck() && m_nextCheck < size_t(rowCount()) && (!byOrder() || m_allFound)) {
            // Orders whose lines stood together were checked as they were found.
            if (byOrder() && m_marks.isChecked(qint64(m_nextCheck))) {
                while (m_nextCheck < size_t(rowCount()) && m_marks.isChecked(qint64(m_nextCheck)))
                    ++m_nextCheck;
                continue;
            }
            const auto row = qint64(m_nextCheck);
            const std::vector<csv::Record>* records = recordsAt(row, true);
            if (!records) {
                if (!m_file.failed())
                    m_file.fail(m_file.problem());
                return true;
            }
            applyCheck(row, *records);
            ++m_nextCheck;
            continue;
        }
        if (m_allFound)
            break;
        const csv::Reader::Step step = m_file.readNextLine(record);
        if (step == csv::Reader::Step::Failed)
            return true;
        if (step == csv::Reader::Step::End) {
            m_allFound = true;
            m_groups.finish();
            if (byOrder()) {
                checkLatestOrder();
                continue;
            }
            break;
        }
        if (byOrder()) {
            addOrderLine(record);
            continue;
        }
        m_marks.add();
        const qint64 row = rowCount() - 1;
        if (canCheck() && m_nextCheck == size_t(row)) {
            applyCheck(row, Records(&record, 1));
            ++m_nextCheck;
        }
    }
    return isComplete();
}

void OrderList::addOrderLine(const csv::Record& record)
{
    const OrderGroups::Placed placed = m_groups.addLine(m_file.lineCount() - 1, m_shape.orderKeyOf(record.fields));
    if (!placed.newOrder) {
        // What was read of the order before is not all of it.
        if (m_cachedRow == placed.order)
            m_cachedRow = -1;
        if (placed.order + 1 == rowCount())
            m_latestOrderLines.push_back(record);
        else
            m_marks.setUnchecked(placed.order);
        return;
    }
    checkLatestOrder();
    m_marks.add();
    m_latestOrderLines.push_back(record);
}

void OrderList::checkLatestOrder()
{
    // Checked from the lines as they were read: a list written order by
    // order is read once to be checked, as a list of lines is; a line of
    // the order found later has it checked again.
    if (rowCount() > 0 && !m_latestOrderLines.empty() && canCheck())
        applyCheck(rowCount() - 1, m_latestOrderLines);
    m_latestOrderLines.clear();
}

void OrderList::applyCheck(qint64 row, Records records)
{
    const auto edit = m_edits.constFind(row);
    const QList<Finding> findings =
        edit != m_edits.constEnd() ? m_checks.findingsOfEdit(*edit) : m_checks.findingsOf(records);
    m_marks.setChecked(row, refuses(findings), m_checks.isLeftOut(records),
                       std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.note; }));
}

const std::vector<csv::Record>* OrderList::recordsAt(qint64 row, bool whole)
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    if (m_cachedRow == row && (m_cachedWhole || !whole))
        return &m_cached;
    m_cachedRow = -1;
    const std::vector<qint64> lines = linesOfRow(row);
    m_cached.resize(lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        if (!m_file.readLineAgain(lines[i], m_cached[i], whole ? nullptr : &m_waybillColumns))
            return nullptr;
    m_cachedRow = row;
    m_cachedWhole = whole;
    return &m_cached;
}

RowState OrderList::state(qint64 row) const { return m_marks.state(row); }

qint64 OrderList::countRows(RowState wanted) const { return m_marks.count(wanted); }

waybill::Waybill OrderList::waybillAt(qint64 row)
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return *edit;
    const std::vector<csv::Record>* records = recordsAt(row, false);
    return m_waybills.waybillOf(records ? Records(*records) : Records());
}

std::optional<waybill::Waybill> OrderList::checkedWaybillAt(qint64 row, QString& why, RowOrder* order)
{
    const auto edit = m_edits.constFind(row);
    if (edit != m_edits.constEnd() && !order)
        return *edit;
    const std::vector<csv::Record>* records = recordsAt(row, false);
    if (!records) {
        if (edit != m_edits.constEnd())
            return *edit;
        why = m_file.problem();
        return std::nullopt;
    }
    std::optional<waybill::Waybill> waybill;
    if (m_shape.layout) {
        const AssembledOrder assembled = m_waybills.assemble(*records);
        if (order)
            *order = {assembled.orderNumber, assembled.destinationId, assembled.lineIds};
        waybill = m_waybills.orderWaybill(assembled);
    } else {
        if (order && !records->empty())
            *order = {cellOf(m_shape.columns, m_shape.cellsOf(records->front()), Field::OrderNumber), {}, {}};
        waybill = m_waybills.waybillOf(*records);
    }
    if (edit != m_edits.constEnd())
        return *edit;
    return waybill;
}

void OrderList::forgetReadAhead()
{
    m_file.forgetPosition();
    m_cachedRow = -1;
}

QList<Finding> OrderList::findingsAt(qint64 row)
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return m_checks.findingsOfEdit(*edit);
    const std::vector<csv::Record>* records = recordsAt(row, true);
    if (!records)
        return {{Field::None, -1, m_file.problem(), {}}};
    return m_checks.findingsOf(*records);
}

QString OrderList::orderNumberAt(qint64 row)
{
    const std::vector<csv::Record>* records = recordsAt(row, false);
    if (!records || records->empty())
        return {};
    if (m_shape.layout)
        return m_shape.orderNumberOf(records->front().fields);
    return cellOf(m_shape.columns, m_shape.cellsOf(records->front()), Field::OrderNumber);
}

QStringList OrderList::cellsAt(qint64 row)
{
    const std::vector<csv::Record>* records = recordsAt(row, true);
    return records && !records->empty() ? records->front().fields : QStringList();
}

void OrderList::setExcluded(qint64 row, bool excluded)
{
    if (row >= 0 && row < rowCount())
        m_marks.setExcluded(row, excluded);
}

void OrderList::setPrinted(qint64 row)
{
    if (row >= 0 && row < rowCount())
        m_marks.setPrinted(row);
}

void OrderList::setEdited(qint64 row, const waybill::Waybill& waybill)
{
    if (row < 0 || row >= rowCount())
        return;
    m_edits.insert(row, waybill);
    if (!canCheck())
        return;
    if (const std::vector<csv::Record>* records = recordsAt(row, true))
        applyCheck(row, *records);
    else
        applyCheck(row, {});
}

void OrderList::revertEdit(qint64 row)
{
    if (!m_edits.remove(row) || !canCheck() || size_t(row) >= m_nextCheck)
        return;
    if (const std::vector<csv::Record>* records = recordsAt(row, true))
        applyCheck(row, *records);
}

} // namespace orders
