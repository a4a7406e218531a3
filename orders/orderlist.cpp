#include "orders/orderlist.h"

#include "entry/textrules.h"
#include "platform/readfile.h"

#include <QFile>

namespace orders {

namespace {

enum RowFlag : quint8 {
    kChecked = 1,
    kRefused = 2,
    kSenderRow = 4,
    kUserExcluded = 8,
    kUserIncluded = 16,
    kPrinted = 32,
};
// What the user decided about a row; a new check keeps these.
constexpr quint8 kUserFlags = kUserExcluded | kUserIncluded | kPrinted;

// Changes with any byte of the record; kept for this run only.
size_t fingerprintOf(const csv::Record& record) { return record.bytesHash; }

// For reading a record only to carry on after it.
const csv::Reader::Columns kNoColumns;

bool isBlank(const csv::Record& record)
{
    for (const QString& field : record.fields)
        if (!field.trimmed().isEmpty())
            return false;
    return true;
}

} // namespace

OrderList::OrderList() = default;
OrderList::~OrderList() = default;

void OrderList::setConstants(const ListConstants& constants)
{
    // An edit changed the recipient, not what the whole list shares: edited
    // rows take the new sender and choices too, and the new item description
    // where they still had the old one.
    const ListConstants before = m_constants;
    m_constants = constants;
    for (auto it = m_edits.begin(); it != m_edits.end(); ++it) {
        waybill::Waybill& edit = *it;
        if (constants.senderFromBuyer) {
            const std::vector<csv::Record>* records = recordsAt(it.key(), false);
            edit.sender = records ? waybillOf(*records).sender : waybill::Address{};
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
                const waybill::Waybill own = waybillOf(*records);
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
    m_fits = std::move(fits);
    m_surelyFittingUnits = {-1, -1};
    recheckAll();
}

csv::Encoding OrderList::encoding() const { return m_reader ? m_reader->encoding() : csv::Encoding::Utf8; }

void OrderList::close()
{
    m_reader.reset();
    m_device.reset();
    m_errorText.clear();
    m_readingFailed = false;
    m_headings.clear();
    m_columns.clear();
    m_waybillColumns.clear();
    m_layout.reset();
    forgetRows();
}

void OrderList::forgetRows()
{
    m_rows.clear();
    m_records.clear();
    m_firstRecordOf.clear();
    m_lastRecordOf.clear();
    m_rowOfOrderKey.clear();
    m_latestOrderLines.clear();
    m_edits.clear();
    m_allFound = false;
    m_nextCheck = 0;
    m_cursorRecord = -1;
    m_cursorValid = false;
    m_cachedRow = -1;
    m_cachedWhole = false;
    m_rowProblem.clear();
}

std::optional<Shop> OrderList::shop() const { return m_layout ? std::optional<Shop>(m_layout->shop) : std::nullopt; }

qint64 OrderList::fileRowCount() const { return byOrder() ? qint64(m_records.size()) : qint64(m_rows.size()); }

QStringList OrderList::missingFields() const
{
    return m_layout ? orders::missingFields(*m_layout) : orders::missingFields(m_columns);
}

bool OrderList::open(const QString& path, std::optional<csv::Encoding> encoding)
{
    auto file = std::make_unique<QFile>(path);
    QString systemError;
    // Unbuffered: the reader keeps its own window of the file, and a row read
    // again comes from the disk, never from a copy taken before a change.
    if (const platform::FileKind kind =
            platform::openRegularFile(*file, &systemError, QIODevice::ReadOnly | QIODevice::Unbuffered);
        kind != platform::FileKind::Regular) {
        close();
        m_errorText = platform::notReadableText(kind, path, QStringLiteral("注文一覧"), systemError);
        return false;
    }
    return open(std::move(file), encoding);
}

bool OrderList::open(std::unique_ptr<QIODevice> device, std::optional<csv::Encoding> encoding)
{
    close();
    m_device = std::move(device);

    csv::Reader::Options options;
    options.encoding = encoding;
    options.tabsByHeading = true;
    auto reader = std::make_unique<csv::Reader>(*m_device, options);
    if (!reader->start()) {
        m_errorText = reader->errorText();
        return false;
    }
    csv::Record header;
    for (;;) {
        const csv::Reader::Step step = reader->next(header);
        if (step == csv::Reader::Step::Failed) {
            m_errorText = reader->errorText();
            return false;
        }
        if (step == csv::Reader::Step::End) {
            m_errorText =
                QStringLiteral("このファイルには見出しの行がありません。空のファイルか、空の行しかありません。");
            return false;
        }
        if (!isBlank(header))
            break;
    }
    if (header.badColumn >= 0) {
        m_errorText = header.problem;
        return false;
    }
    m_reader = std::move(reader);
    for (const QString& heading : header.fields)
        m_headings << heading.trimmed();
    m_bookFormat = addressBookFormat(m_headings);
    m_headerOffset = header.offsetBytes;
    m_headerLine = header.line;
    m_cursorRecord = -1;
    m_cursorValid = true;

    // The user's own choice for these headings first, then a shop's
    // layout, then the known headings.
    const std::optional<ColumnMap> remembered = m_store ? m_store->recall(headerKey(m_headings)) : std::nullopt;
    if (remembered && remembered->size() == m_headings.size() && duplicatedField(*remembered) == Field::None) {
        m_columns = *remembered;
        m_source = MappingSource::Remembered;
    } else if (m_bookFormat == AddressBookFormat::None && (m_layout = recogniseLayout(m_headings))) {
        m_columns = columnsOfLayout(*m_layout, int(m_headings.size()));
        m_source = MappingSource::Shop;
    } else {
        m_columns = recogniseHeadings(m_headings);
        m_source = isAddressBookHeader(m_headings) ? MappingSource::AddressBook : MappingSource::KnownHeadings;
    }
    findWaybillColumns();
    return true;
}

void OrderList::findWaybillColumns()
{
    m_waybillColumns.assign(size_t(m_headings.size()), false);
    const auto take = [&](int column) {
        if (column >= 0 && size_t(column) < m_waybillColumns.size())
            m_waybillColumns[size_t(column)] = true;
    };
    if (m_layout) {
        for (const auto& columns : m_layout->personColumns)
            for (int column : columns)
                take(column);
        for (int column : m_layout->orderColumns)
            take(column);
        return;
    }
    for (qsizetype column = 0; column < m_columns.size(); ++column)
        if (m_columns[column] != Field::None)
            take(int(column));
}

QStringList OrderList::headingNotes() const
{
    if (m_source == MappingSource::Remembered || m_source == MappingSource::User || m_source == MappingSource::Shop)
        return {};
    return orders::headingNotes(m_headings, m_columns);
}

bool OrderList::setColumns(const ColumnMap& map)
{
    if (!m_reader || map.size() != m_headings.size() || duplicatedField(map) != Field::None)
        return false;
    m_columns = map;
    m_source = MappingSource::User;
    // What was read ahead for waybills may lack a cell the new columns take.
    m_cachedRow = -1;
    if (m_store)
        m_store->remember(headerKey(m_headings), map);
    if (m_layout) {
        // Rows become lines: the orders found so far mean nothing now.
        m_layout.reset();
        forgetRows();
        m_readingFailed = false;
        m_errorText.clear();
        findWaybillColumns();
        return true;
    }
    findWaybillColumns();
    recheckAll();
    return true;
}

void OrderList::recheckAll()
{
    for (Row& row : m_rows)
        row.flags &= quint8(~kChecked);
    m_nextCheck = 0;
}

void OrderList::failReading(const QString& text)
{
    m_errorText = text;
    m_readingFailed = true;
    m_allFound = true;
    m_cursorValid = false;
}

csv::Reader::Step OrderList::nextDataRecord(csv::Record& record, const csv::Reader::Columns* onlyColumns)
{
    for (;;) {
        const csv::Reader::Step step = m_reader->next(record, onlyColumns);
        if (step != csv::Reader::Step::Record || !isBlank(record))
            return step;
    }
}

qint64 OrderList::recordTotal() const { return fileRowCount(); }

OrderList::RecordPlace OrderList::placeOf(qint64 record) const
{
    if (record < 0)
        return {m_headerOffset, 0, m_headerLine};
    if (byOrder()) {
        const FileRecord& kept = m_records[size_t(record)];
        return {kept.offsetBytes, kept.fingerprint, kept.line};
    }
    const Row& kept = m_rows[size_t(record)];
    return {kept.offsetBytes, kept.fingerprint, kept.line};
}

std::vector<qint64> OrderList::recordsOfRow(qint64 row) const
{
    if (!byOrder())
        return {row};
    std::vector<qint64> records;
    for (qint32 record = m_firstRecordOf[size_t(row)]; record >= 0; record = m_records[size_t(record)].nextOfOrder)
        records.push_back(record);
    return records;
}

bool OrderList::positionAfter(qint64 record)
{
    if (m_cursorValid && m_cursorRecord == record)
        return true;
    const RecordPlace place = placeOf(record);
    const qint64 offset = place.offsetBytes;
    const qint64 line = place.line;
    csv::Record skipped;
    if (m_reader->readAt(offset, line, skipped, &kNoColumns) != csv::Reader::Step::Record) {
        failReading(
            m_reader->errorText().isEmpty()
                ? QStringLiteral(
                      "%1行目をファイルから読み直せませんでした。ファイルが変えられた可能性があります。開き直してください。")
                      .arg(line)
                : m_reader->errorText());
        return false;
    }
    m_cursorRecord = record;
    m_cursorValid = true;
    return true;
}

bool OrderList::isComplete() const
{
    if (!m_reader || m_readingFailed)
        return true;
    return m_allFound && (!canCheck() || m_nextCheck >= m_rows.size());
}

double OrderList::progress() const
{
    if (isComplete())
        return 1.0;
    double found = 1.0;
    if (!m_allFound) {
        const qint64 size = m_device->size();
        const qint64 at = placeOf(recordTotal() - 1).offsetBytes;
        found = size > 0 ? double(at) / double(size) : 0.0;
    }
    if (canCheck() && m_nextCheck < m_rows.size())
        return found * double(m_nextCheck) / double(m_rows.size());
    return found;
}

bool OrderList::readMore(int maxRows)
{
    if (isComplete())
        return true;
    csv::Record record;
    for (int handled = 0; handled < maxRows; ++handled) {
        // An order is checked once all of its lines are found.
        if (canCheck() && m_nextCheck < m_rows.size() && (!byOrder() || m_allFound)) {
            // Orders whose lines stood together were checked as they were found.
            if (byOrder() && (m_rows[m_nextCheck].flags & kChecked)) {
                while (m_nextCheck < m_rows.size() && (m_rows[m_nextCheck].flags & kChecked))
                    ++m_nextCheck;
                continue;
            }
            const qint64 row = qint64(m_nextCheck);
            const std::vector<csv::Record>* records = recordsAt(row, true);
            if (!records) {
                failReading(m_rowProblem);
                return true;
            }
            applyCheck(row, *records);
            ++m_nextCheck;
            continue;
        }
        if (m_allFound)
            break;
        if (!positionAfter(recordTotal() - 1))
            return true;
        const csv::Reader::Step step = nextDataRecord(record);
        if (step == csv::Reader::Step::End) {
            m_allFound = true;
            m_cursorValid = false;
            m_rowOfOrderKey = {};
            m_lastRecordOf = {};
            if (byOrder()) {
                checkLatestOrder();
                continue;
            }
            break;
        }
        if (step == csv::Reader::Step::Failed) {
            failReading(m_reader->errorText());
            return true;
        }
        if (byOrder()) {
            addOrderRecord(record);
            m_cursorRecord = recordTotal() - 1;
            continue;
        }
        m_rows.push_back({record.offsetBytes, fingerprintOf(record), qint32(record.line), 0});
        const qint64 row = qint64(m_rows.size()) - 1;
        m_cursorRecord = row;
        if (canCheck() && m_nextCheck == m_rows.size() - 1) {
            applyCheck(row, Records(&record, 1));
            ++m_nextCheck;
        }
    }
    return isComplete();
}

QString OrderList::orderKeyOf(const QStringList& cells) const
{
    const auto cell = [&](OrderPart part) {
        const int column = m_layout->column(part);
        return column >= 0 && column < cells.size() ? cleanCell(cells[column]) : QString();
    };
    OrderParts parts;
    parts.orderNumber = cell(OrderPart::OrderNumber);
    parts.destinationId = cell(OrderPart::DestinationId);
    return parts.orderKey();
}

void OrderList::addOrderRecord(const csv::Record& record)
{
    const auto index = qint32(m_records.size());
    m_records.push_back({record.offsetBytes, fingerprintOf(record), qint32(record.line), -1});
    const QString key = orderKeyOf(record.fields);
    if (!key.isEmpty()) {
        if (const auto it = m_rowOfOrderKey.constFind(key); it != m_rowOfOrderKey.constEnd()) {
            m_records[size_t(m_lastRecordOf[size_t(*it)])].nextOfOrder = index;
            m_lastRecordOf[size_t(*it)] = index;
            // What was read of the order before is not all of it.
            if (m_cachedRow == *it)
                m_cachedRow = -1;
            if (size_t(*it) + 1 == m_rows.size())
                m_latestOrderLines.push_back(record);
            else
                m_rows[size_t(*it)].flags &= quint8(~kChecked);
            return;
        }
        m_rowOfOrderKey.insert(key, qint32(m_rows.size()));
    }
    checkLatestOrder();
    m_rows.push_back({record.offsetBytes, m_records.back().fingerprint, qint32(record.line), 0});
    m_firstRecordOf.push_back(index);
    m_lastRecordOf.push_back(index);
    m_latestOrderLines.push_back(record);
}

void OrderList::checkLatestOrder()
{
    // Checked from the lines as they were read: a list written order by
    // order is read once to be checked, as a list of lines is; a line of
    // the order found later has it checked again.
    if (!m_rows.empty() && !m_latestOrderLines.empty() && canCheck())
        applyCheck(qint64(m_rows.size()) - 1, m_latestOrderLines);
    m_latestOrderLines.clear();
}

QList<Finding> OrderList::findingsOf(qint64 row, Records records) const
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return checkWaybill(*edit, m_headings, m_columns, m_fits);
    QList<Finding> findings;
    for (const csv::Record& record : records) {
        if (record.badColumn >= 0)
            findings.append({m_columns.value(record.badColumn, Field::None), record.badColumn, record.problem, {}});
        // A cell left out or one too many moves every cell after it into the
        // next column's field; where it happened cannot be told.
        if (record.fields.size() < m_headings.size()) {
            findings.append(
                {Field::None,
                 -1,
                 QStringLiteral(
                     "%1行目は列が %2 個で、見出しの行（%3 個）より少なくなっています。途中の項目が抜けていると、"
                     "それより後ろの項目がすべて一つ前の列に入ってしまいます。その行の区切りのコンマ（,）を確かめてください。")
                     .arg(record.line)
                     .arg(record.fields.size())
                     .arg(m_headings.size()),
                 {}});
        }
        for (qsizetype column = m_headings.size(); column < record.fields.size(); ++column) {
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
                     .arg(m_headings.size())
                     .arg(column + 1)
                     .arg(record.fields[column].trimmed()),
                 {}});
            break;
        }
    }
    // A shop's order is put together once, for its waybill and its ship-to.
    const std::optional<AssembledOrder> order = m_layout ? std::optional(assemble(records)) : std::nullopt;
    const waybill::Waybill waybill = order ? orderWaybill(*order) : waybillOf(records);
    if (m_constants.senderFromBuyer && (waybill.sender.name.isEmpty() || waybill.sender.line1.isEmpty()))
        findings.append({Field::None,
                         -1,
                         m_layout
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
                                 .arg(orderKeyOf(records.front().fields).section(QChar(0x1F), 0, 0))
                                 .arg(records.front().line),
                             {}});
        findings += checkWaybill(waybill, m_headings, m_columns, m_fits);
        return findings;
    }
    const csv::Record& record = records.front();
    const QStringList cells = cellsOf(record);
    const QString kind = cellOf(m_columns, cells, Field::Kind);
    if (!kind.isEmpty() && kind != recipientKindText() && kind != senderKindText())
        findings.append(
            {Field::Kind,
             int(m_columns.indexOf(Field::Kind)),
             QStringLiteral("「%1」の「%2」は、「%3」か「%4」にしてください。")
                 .arg(m_headings.value(m_columns.indexOf(Field::Kind)), kind, recipientKindText(), senderKindText()),
             {}});
    findings += checkWaybill(waybill, m_headings, m_columns, m_fits);
    return findings;
}

AssembledOrder OrderList::assemble(Records records) const
{
    AssembledOrder order;
    for (const csv::Record& record : records)
        addRow(order, extractOrderRow(*m_layout, record.fields, m_constants.senderFromBuyer));
    return order;
}

LineFits OrderList::lineFits(bool sender) const
{
    if (!m_fits)
        return [](const QString&) { return true; };
    const auto fits = [this, sender](const QString& text) {
        waybill::Waybill alone;
        (sender ? alone.sender : alone.recipient).line1 = text;
        return !m_fits(alone);
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

waybill::Waybill OrderList::orderWaybill(const AssembledOrder& order) const
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

waybill::Waybill OrderList::waybillOf(Records records) const
{
    if (m_layout)
        return orderWaybill(assemble(records));
    waybill::Waybill w =
        buildWaybill(m_columns, records.empty() ? QStringList() : cellsOf(records.front()), m_constants);
    if (m_constants.senderFromBuyer)
        w.sender = {};
    return w;
}

QStringList OrderList::cellsOf(const csv::Record& record) const
{
    if (m_bookFormat == AddressBookFormat::None)
        return record.fields;
    QStringList cells;
    cells.reserve(record.fields.size());
    for (const QString& field : record.fields)
        cells << withoutFormulaGuard(field, m_bookFormat);
    return cells;
}

void OrderList::applyCheck(qint64 row, Records records)
{
    quint8 flags = (m_rows[size_t(row)].flags & kUserFlags) | kChecked;
    if (!m_layout && !records.empty() && cellOf(m_columns, cellsOf(records.front()), Field::Kind) == senderKindText())
        flags |= kSenderRow;
    if (!findingsOf(row, records).isEmpty())
        flags |= kRefused;
    m_rows[size_t(row)].flags = flags;
}

bool OrderList::readRecordAgain(qint64 index, csv::Record& record, const csv::Reader::Columns* onlyColumns)
{
    if (!positionAfter(index - 1)) {
        m_rowProblem = m_errorText;
        return false;
    }
    const RecordPlace kept = placeOf(index);
    const csv::Reader::Step step = nextDataRecord(record, onlyColumns);
    const QString advice = QStringLiteral("ほかのプログラムがファイルを書き換えたか、短くした可能性があります。"
                                          "一覧を開き直して、確かめ直してから印刷してください。");
    if (step == csv::Reader::Step::Failed && !m_reader->errorText().isEmpty())
        m_rowProblem =
            QStringLiteral("%1行目をファイルから読み直せませんでした：%2").arg(kept.line).arg(m_reader->errorText());
    else if (step != csv::Reader::Step::Record)
        m_rowProblem = QStringLiteral("%1行目が、確かめた後でファイルから無くなりました。").arg(kept.line) + advice;
    else if (record.offsetBytes != kept.offsetBytes || fingerprintOf(record) != kept.fingerprint)
        m_rowProblem =
            QStringLiteral("%1行目の中身が、確かめた後でファイルの中で変わりました。").arg(kept.line) + advice;
    else {
        m_cursorRecord = index;
        return true;
    }
    // The file is no longer the one read: nothing more of it is trusted.
    failReading(m_rowProblem);
    return false;
}

const std::vector<csv::Record>* OrderList::recordsAt(qint64 row, bool whole)
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    if (m_cachedRow == row && (m_cachedWhole || !whole))
        return &m_cached;
    m_cachedRow = -1;
    const std::vector<qint64> indexes = recordsOfRow(row);
    m_cached.resize(indexes.size());
    for (size_t i = 0; i < indexes.size(); ++i)
        if (!readRecordAgain(indexes[i], m_cached[i], whole ? nullptr : &m_waybillColumns))
            return nullptr;
    m_cachedRow = row;
    m_cachedWhole = whole;
    return &m_cached;
}

RowState OrderList::state(qint64 row) const
{
    const quint8 flags = m_rows[size_t(row)].flags;
    if (flags & kPrinted)
        return RowState::Printed;
    if ((flags & kUserExcluded) || ((flags & kSenderRow) && !(flags & kUserIncluded)))
        return RowState::Excluded;
    if (!(flags & kChecked))
        return RowState::Unchecked;
    return (flags & kRefused) ? RowState::Refused : RowState::Printable;
}

qint64 OrderList::countRows(RowState wanted) const
{
    qint64 count = 0;
    for (size_t row = 0; row < m_rows.size(); ++row)
        count += state(qint64(row)) == wanted;
    return count;
}

waybill::Waybill OrderList::waybillAt(qint64 row)
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return *edit;
    const std::vector<csv::Record>* records = recordsAt(row, false);
    return waybillOf(records ? Records(*records) : Records());
}

std::optional<waybill::Waybill> OrderList::checkedWaybillAt(qint64 row, QString& why)
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return *edit;
    const std::vector<csv::Record>* records = recordsAt(row, false);
    if (!records) {
        why = m_rowProblem;
        return std::nullopt;
    }
    return waybillOf(*records);
}

void OrderList::forgetReadAhead()
{
    m_cursorValid = false;
    m_cachedRow = -1;
}

QList<Finding> OrderList::findingsAt(qint64 row)
{
    if (m_edits.contains(row))
        return findingsOf(row, {});
    const std::vector<csv::Record>* records = recordsAt(row, true);
    if (!records)
        return {{Field::None, -1, m_rowProblem, {}}};
    return findingsOf(row, *records);
}

QString OrderList::orderNumberAt(qint64 row)
{
    const std::vector<csv::Record>* records = recordsAt(row, false);
    if (!records || records->empty())
        return {};
    if (m_layout)
        return orderKeyOf(records->front().fields).section(QChar(0x1F), 0, 0);
    return cellOf(m_columns, cellsOf(records->front()), Field::OrderNumber);
}

QStringList OrderList::cellsAt(qint64 row)
{
    const std::vector<csv::Record>* records = recordsAt(row, true);
    return records && !records->empty() ? records->front().fields : QStringList();
}

void OrderList::setExcluded(qint64 row, bool excluded)
{
    if (row < 0 || row >= rowCount())
        return;
    quint8& flags = m_rows[size_t(row)].flags;
    flags &= quint8(~(kUserExcluded | kUserIncluded));
    flags |= excluded ? kUserExcluded : kUserIncluded;
}

void OrderList::setPrinted(qint64 row)
{
    if (row < 0 || row >= rowCount())
        return;
    m_rows[size_t(row)].flags |= kPrinted;
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
