#include "app/batch/orderlistmodel.h"

#include "orders/batchrows.h"
#include "platform/readfile.h"
#include "postal/postalcode.h"
#include "station/orderprint.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QSettings>

namespace app {

namespace {

// Room for several screens of rows while scrolling back and forth.
constexpr int kKeptRows = 400;

// Before the form number a row is planned to go on.
const QString kPlanned = QStringLiteral("（予定）");

struct StateLook {
    orders::RowState state;
    const char16_t* text;
    QRgb foreground;
    QRgb background; // 0: the view's own
};

constexpr StateLook kStateLooks[] = {
    {orders::RowState::Unchecked, u"確認待ち", 0xff606060, 0},
    {orders::RowState::Printable, u"印刷できる", 0xff006400, 0},
    {orders::RowState::Refused, u"不備あり", 0xff9c0000, 0xfffde8e8},
    {orders::RowState::Excluded, u"除外", 0xff707070, 0xfff0f0f0},
    {orders::RowState::Printed, u"印刷済み", 0xff1a4f8a, 0xffe8f0fa},
};

// A reason as the narrow column shows it: what is wrong comes first, the
// column it names being under the reason's own heading already. 「お届け先氏名」
// にお届け先の名前がありません → お届け先の名前がありません.
QString withoutColumnName(const orders::Finding& finding, const QStringList& headings)
{
    if (finding.column < 0 || finding.column >= headings.size())
        return finding.reason;
    const QString named = QStringLiteral("「%1」").arg(headings[finding.column]);
    if (!finding.reason.startsWith(named))
        return finding.reason;
    QString rest = finding.reason.mid(named.size());
    if (rest.startsWith(u'の') || rest.startsWith(u'に'))
        rest.remove(0, 1);
    return rest.isEmpty() ? finding.reason : rest;
}

// The goods lines as one text; a quantity only where the line has one
// (a list with items prints them in numeric mode).
QString itemsText(const waybill::Waybill& w)
{
    QStringList items;
    for (const waybill::GoodsLine& line : w.goods) {
        if (line.description.isEmpty())
            continue;
        items << (w.numericMode && !line.quantity.isEmpty()
                      ? QStringLiteral("%1 ×%2").arg(line.description, line.quantity)
                      : line.description);
    }
    return items.join(QStringLiteral("、"));
}

const StateLook& lookOf(orders::RowState state)
{
    for (const StateLook& look : kStateLooks)
        if (look.state == state)
            return look;
    return kStateLooks[0];
}

} // namespace

OrderListModel::OrderListModel(const QString& settingsFile, QObject* parent)
    : QAbstractTableModel(parent), m_texts(kKeptRows)
{
    // Settings that are not a file (a named pipe) would stop the window; the
    // columns chosen are then not remembered.
    if (platform::specialFileProblem(settingsFile, {}).isEmpty()) {
        m_settings = std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
        m_mappings = std::make_unique<orders::SettingsMappingStore>(*m_settings);
        m_list.setMappingStore(m_mappings.get());
    }
    station::checkAgainstThePage(m_list);
    m_rows = int(m_list.rowCount());
}

OrderListModel::~OrderListModel() = default;

bool OrderListModel::open(const QString& path, std::optional<csv::Encoding> encoding)
{
    const bool opened = m_list.open(path, encoding);
    resetList();
    m_path = path;
    return opened;
}

void OrderListModel::saveColumns()
{
    if (m_settings)
        m_settings->sync();
}

int OrderListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }
int OrderListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString OrderListModel::stateText(orders::RowState state) { return QString::fromUtf16(lookOf(state).text); }

QString OrderListModel::reasonsOf(qint64 row)
{
    // Each reason names its column itself.
    QStringList lines;
    for (const orders::Finding& finding : m_list.findingsAt(row))
        lines << QStringLiteral("・") + finding.reason;
    return lines.join(QLatin1Char('\n'));
}

const OrderListModel::RowTexts* OrderListModel::textsOf(int row) const
{
    const orders::RowState state = m_list.state(row);
    if (const RowTexts* kept = m_texts.object(row); kept && kept->state == state)
        return kept;
    auto& list = const_cast<orders::OrderList&>(m_list);
    const waybill::Waybill w = list.waybillAt(row);
    auto* texts = new RowTexts{
        state,
        list.orderNumberAt(row),
        w.recipient.name,
        postal::codeForReading(w.recipient.postalCode),
        w.recipient.line2.isEmpty() ? w.recipient.line1 : w.recipient.line1 + QStringLiteral("　") + w.recipient.line2,
        itemsText(w),
        {},
        {}};
    if (state == orders::RowState::Refused) {
        const QList<orders::Finding> findings = list.findingsAt(row);
        if (!findings.isEmpty()) {
            const QString first = withoutColumnName(findings.front(), list.headings());
            texts->firstReason =
                findings.size() == 1 ? first : QStringLiteral("%1（ほか %2 件）").arg(first).arg(findings.size() - 1);
        }
        texts->allReasons = const_cast<OrderListModel*>(this)->reasonsOf(row);
    }
    ++m_fetched;
    noteLength(OrderNumberColumn, texts->orderNumber);
    m_texts.insert(row, texts);
    return texts;
}

QVariant OrderListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const int row = index.row();
    const orders::RowState state = m_list.state(row);
    switch (role) {
    case Qt::DisplayRole: {
        if (index.column() == StateColumn)
            return m_list.isEdited(row) ? stateText(state) + QStringLiteral("（修正済み）") : stateText(state);
        if (index.column() == LineColumn)
            return QString::number(m_list.lineOf(row));
        const RowTexts* t = textsOf(row);
        switch (index.column()) {
        case OrderNumberColumn:
            return t->orderNumber;
        case NameColumn:
            return t->name;
        case PostalCodeColumn:
            return t->postalCode;
        case AddressColumn:
            return t->address;
        case ItemsColumn:
            return t->items;
        case ReasonColumn:
            return t->firstReason;
        case FormNumberColumn:
            if (const auto used = m_usedForms.constFind(row); used != m_usedForms.constEnd())
                return *used;
            if (const auto planned = m_plannedForms.constFind(row); planned != m_plannedForms.constEnd())
                return kPlanned + *planned;
            return {};
        default:
            return {};
        }
    }
    case Qt::ToolTipRole:
        if (index.column() == StateColumn || index.column() == ReasonColumn) {
            const QString reasons = textsOf(row)->allReasons;
            return reasons.isEmpty() ? QVariant() : QVariant(reasons);
        }
        if (index.column() == AddressColumn)
            return textsOf(row)->address;
        if (index.column() == ItemsColumn)
            return textsOf(row)->items;
        return {};
    case Qt::ForegroundRole:
        if (index.column() == StateColumn || index.column() == ReasonColumn || state == orders::RowState::Excluded)
            return QBrush(QColor::fromRgb(lookOf(state).foreground));
        return {};
    case Qt::BackgroundRole:
        if (const QRgb background = lookOf(state).background)
            return QBrush(QColor::fromRgb(background));
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == LineColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant OrderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char16_t* const kCaptions[ColumnCount] = {u"状態", u"行",   u"注文番号",   u"お届け先", u"郵便番号",
                                                           u"住所", u"品名", u"不備の理由", u"伝票番号"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(kCaptions[section]) : QString();
}

QString OrderListModel::longestText(int column) const
{
    return column == OrderNumberColumn  ? m_longestOrderNumber
           : column == FormNumberColumn ? m_longestFormNumber
                                        : QString();
}

void OrderListModel::noteLength(int column, const QString& text) const
{
    QString& longest = column == OrderNumberColumn ? m_longestOrderNumber : m_longestFormNumber;
    if (text.size() <= longest.size())
        return;
    longest = text;
    emit const_cast<OrderListModel*>(this)->longerText(column, text);
}

void OrderListModel::setFormNumbers(const QHash<qint64, QString>& numbers, bool planned)
{
    for (const QString& number : numbers)
        noteLength(FormNumberColumn, planned ? kPlanned + number : number);
    if (planned)
        m_plannedForms = numbers;
    else
        m_usedForms.insert(numbers);
    if (m_rows > 0)
        emit dataChanged(index(0, FormNumberColumn), index(m_rows - 1, FormNumberColumn));
}

void OrderListModel::takeNewRows()
{
    const int now = int(m_list.rowCount());
    if (now < m_rows) {
        resetList();
        return;
    }
    if (now == m_rows)
        return;
    beginInsertRows({}, m_rows, now - 1);
    m_rows = now;
    endInsertRows();
}

void OrderListModel::resetList()
{
    beginResetModel();
    m_texts.clear();
    m_longestOrderNumber.clear();
    m_longestFormNumber.clear();
    m_rows = int(m_list.rowCount());
    endResetModel();
}

void OrderListModel::refreshAll()
{
    m_texts.clear();
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, ColumnCount - 1));
}

void OrderListModel::statesChanged()
{
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, ColumnCount - 1));
}

void OrderListModel::refreshRow(qint64 row)
{
    if (row < 0 || row >= m_rows)
        return;
    m_texts.remove(int(row));
    emit dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
}

} // namespace app
