#include "orders/orderlist.h"

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

// Changes with any cell's text or the number of cells; kept for this run only.
size_t fingerprintOf(const csv::Record& record)
{
    return qHashMulti(0, record.fields.size(), qHashRange(record.fields.cbegin(), record.fields.cend()));
}

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
    for (waybill::Waybill& edit : m_edits) {
        edit.sender = constants.sender;
        edit.deliveryTime = constants.deliveryTime;
        edit.arrivalNotice = constants.arrivalNotice;
        if (edit.goods[0].description == m_constants.itemDescription)
            edit.goods[0].description = constants.itemDescription;
    }
    m_constants = constants;
    recheckAll();
}

void OrderList::setFitCheck(FitCheck fits)
{
    m_fits = std::move(fits);
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
    m_rows.clear();
    m_edits.clear();
    m_allFound = false;
    m_nextCheck = 0;
    m_cursorValid = false;
    m_cachedRow = -1;
    m_rowProblem.clear();
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

    auto reader = std::make_unique<csv::Reader>(*m_device, csv::Reader::Options{encoding});
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
    m_cursorRow = -1;
    m_cursorValid = true;

    const std::optional<ColumnMap> remembered = m_store ? m_store->recall(headerKey(m_headings)) : std::nullopt;
    if (remembered && remembered->size() == m_headings.size() && duplicatedField(*remembered) == Field::None) {
        m_columns = *remembered;
        m_source = MappingSource::Remembered;
    } else {
        m_columns = recogniseHeadings(m_headings);
        m_source = isAddressBookHeader(m_headings) ? MappingSource::AddressBook : MappingSource::KnownHeadings;
    }
    return true;
}

QStringList OrderList::headingNotes() const
{
    if (m_source == MappingSource::Remembered || m_source == MappingSource::User)
        return {};
    return orders::headingNotes(m_headings, m_columns);
}

bool OrderList::setColumns(const ColumnMap& map)
{
    if (!m_reader || map.size() != m_headings.size() || duplicatedField(map) != Field::None)
        return false;
    m_columns = map;
    m_source = MappingSource::User;
    if (m_store)
        m_store->remember(headerKey(m_headings), map);
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

csv::Reader::Step OrderList::nextDataRecord(csv::Record& record)
{
    for (;;) {
        const csv::Reader::Step step = m_reader->next(record);
        if (step != csv::Reader::Step::Record || !isBlank(record))
            return step;
    }
}

bool OrderList::positionAfter(qint64 row)
{
    if (m_cursorValid && m_cursorRow == row)
        return true;
    const qint64 offset = row < 0 ? m_headerOffset : m_rows[size_t(row)].offsetBytes;
    const qint64 line = row < 0 ? m_headerLine : m_rows[size_t(row)].line;
    csv::Record skipped;
    if (m_reader->readAt(offset, line, skipped) != csv::Reader::Step::Record) {
        failReading(
            m_reader->errorText().isEmpty()
                ? QStringLiteral(
                      "%1行目をファイルから読み直せませんでした。ファイルが変えられた可能性があります。開き直してください。")
                      .arg(line)
                : m_reader->errorText());
        return false;
    }
    m_cursorRow = row;
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
        const qint64 at = m_rows.empty() ? m_headerOffset : m_rows.back().offsetBytes;
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
        if (canCheck() && m_nextCheck < m_rows.size()) {
            const qint64 row = qint64(m_nextCheck);
            if (!positionAfter(row - 1))
                return true;
            if (!readRowAgain(row, record)) {
                failReading(m_rowProblem);
                return true;
            }
            m_cursorRow = row;
            applyCheck(row, record);
            ++m_nextCheck;
            continue;
        }
        if (m_allFound)
            break;
        if (!positionAfter(qint64(m_rows.size()) - 1))
            return true;
        const csv::Reader::Step step = nextDataRecord(record);
        if (step == csv::Reader::Step::End) {
            m_allFound = true;
            m_cursorValid = false;
            break;
        }
        if (step == csv::Reader::Step::Failed) {
            failReading(m_reader->errorText());
            return true;
        }
        m_rows.push_back({record.offsetBytes, fingerprintOf(record), qint32(record.line), 0});
        const qint64 row = qint64(m_rows.size()) - 1;
        m_cursorRow = row;
        if (canCheck() && m_nextCheck == m_rows.size() - 1) {
            applyCheck(row, record);
            ++m_nextCheck;
        }
    }
    return isComplete();
}

QList<Finding> OrderList::findingsOf(qint64 row, const csv::Record& record) const
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return checkWaybill(*edit, m_headings, m_columns, m_fits);
    QList<Finding> findings;
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
    const QStringList cells = cellsOf(record);
    const QString kind = cellOf(m_columns, cells, Field::Kind);
    if (!kind.isEmpty() && kind != recipientKindText() && kind != senderKindText())
        findings.append(
            {Field::Kind,
             int(m_columns.indexOf(Field::Kind)),
             QStringLiteral("「%1」の「%2」は、「%3」か「%4」にしてください。")
                 .arg(m_headings.value(m_columns.indexOf(Field::Kind)), kind, recipientKindText(), senderKindText()),
             {}});
    findings += checkWaybill(buildWaybill(m_columns, cells, m_constants), m_headings, m_columns, m_fits);
    return findings;
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

void OrderList::applyCheck(qint64 row, const csv::Record& record)
{
    quint8 flags = (m_rows[size_t(row)].flags & kUserFlags) | kChecked;
    if (cellOf(m_columns, cellsOf(record), Field::Kind) == senderKindText())
        flags |= kSenderRow;
    if (!findingsOf(row, record).isEmpty())
        flags |= kRefused;
    m_rows[size_t(row)].flags = flags;
}

bool OrderList::readRowAgain(qint64 row, csv::Record& record)
{
    const Row& kept = m_rows[size_t(row)];
    const csv::Reader::Step step = nextDataRecord(record);
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
    else
        return true;
    // The file is no longer the one read: nothing more of it is trusted.
    failReading(m_rowProblem);
    return false;
}

const csv::Record* OrderList::recordAt(qint64 row)
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    if (m_cachedRow == row)
        return &m_cached;
    m_cachedRow = -1;
    if (!positionAfter(row - 1)) {
        m_rowProblem = m_errorText;
        return nullptr;
    }
    if (!readRowAgain(row, m_cached))
        return nullptr;
    m_cursorRow = row;
    m_cachedRow = row;
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
    const csv::Record* record = recordAt(row);
    return buildWaybill(m_columns, record ? cellsOf(*record) : QStringList(), m_constants);
}

std::optional<waybill::Waybill> OrderList::checkedWaybillAt(qint64 row, QString& why)
{
    if (const auto edit = m_edits.constFind(row); edit != m_edits.constEnd())
        return *edit;
    const csv::Record* record = recordAt(row);
    if (!record) {
        why = m_rowProblem;
        return std::nullopt;
    }
    return buildWaybill(m_columns, cellsOf(*record), m_constants);
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
    const csv::Record* record = recordAt(row);
    if (!record)
        return {{Field::None, -1, m_rowProblem, {}}};
    return findingsOf(row, *record);
}

QString OrderList::orderNumberAt(qint64 row)
{
    const csv::Record* record = recordAt(row);
    return record ? cellOf(m_columns, cellsOf(*record), Field::OrderNumber) : QString();
}

QStringList OrderList::cellsAt(qint64 row)
{
    const csv::Record* record = recordAt(row);
    return record ? record->fields : QStringList();
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
    if (const csv::Record* record = recordAt(row))
        applyCheck(row, *record);
    else
        applyCheck(row, csv::Record{});
}

void OrderList::revertEdit(qint64 row)
{
    if (!m_edits.remove(row) || !canCheck() || size_t(row) >= m_nextCheck)
        return;
    if (const csv::Record* record = recordAt(row))
        applyCheck(row, *record);
}

} // namespace orders
