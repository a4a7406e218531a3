#include "orders/columns.h"

#include "csv/writer.h"

#include <QCryptographicHash>
#include <QHash>
#include <algorithm>

namespace orders {

namespace {

struct FieldInfo {
    Field field;
    const char* word; // stored with remembered assignments; never changes
    const char16_t* label;
};

constexpr FieldInfo kFields[] = {
    {Field::None, "none", u"（使わない）"},
    {Field::Kind, "kind", u"区分（お届け先／ご依頼主）"},
    {Field::PostalCode, "postalCode", u"郵便番号"},
    {Field::PostalCode1, "postalCode1", u"郵便番号（前の3桁）"},
    {Field::PostalCode2, "postalCode2", u"郵便番号（後の4桁）"},
    {Field::Prefecture, "prefecture", u"都道府県"},
    {Field::City, "city", u"市区町村"},
    {Field::AddressLine1, "addressLine1", u"住所1（番地まで）"},
    {Field::AddressLine2, "addressLine2", u"住所2（建物名など）"},
    {Field::AddressLine3, "addressLine3", u"住所3"},
    {Field::Name, "name", u"名前"},
    {Field::CareOf, "careOf", u"様方"},
    {Field::Telephone, "telephone", u"電話番号"},
    {Field::ItemDescription, "itemDescription", u"品名"},
    {Field::ProductNumber, "productNumber", u"商品番号"},
    {Field::OrderNumber, "orderNumber", u"注文番号"},
    {Field::CareOfShown, "careOfShown", u"様方を印刷するか（印刷する／印刷しない）"},
    {Field::LastUsed, "lastUsed", u"最後に使った日時（住所録）"},
    {Field::Reading, "reading", u"フリガナ（住所録）"},
};

const FieldInfo* infoOf(Field field)
{
    for (const auto& row : kFields)
        if (row.field == field)
            return &row;
    return nullptr;
}

struct KnownHeading {
    const char16_t* heading;
    Field field;
};

// Headings of order exports. Where several name one field, the earlier row
// wins: a heading that says お届け先 beats a bare one, which may be the
// buyer's. The address-book headings come after all of these.
constexpr KnownHeading kKnownHeadings[] = {
    {u"お届け先郵便番号", Field::PostalCode},
    {u"送付先郵便番号", Field::PostalCode},
    {u"配送先郵便番号", Field::PostalCode},
    {u"送り先郵便番号", Field::PostalCode},
    {u"ship-postal-code", Field::PostalCode},
    {u"お届け先郵便番号1", Field::PostalCode1},
    {u"送付先郵便番号1", Field::PostalCode1},
    {u"郵便番号1", Field::PostalCode1},
    {u"お届け先郵便番号2", Field::PostalCode2},
    {u"送付先郵便番号2", Field::PostalCode2},
    {u"郵便番号2", Field::PostalCode2},
    {u"お届け先都道府県", Field::Prefecture},
    {u"送付先都道府県", Field::Prefecture},
    {u"配送先都道府県", Field::Prefecture},
    {u"ship-state", Field::Prefecture},
    {u"都道府県", Field::Prefecture},
    {u"お届け先市区町村", Field::City},
    {u"送付先市区町村", Field::City},
    {u"配送先市区町村", Field::City},
    {u"ship-city", Field::City},
    {u"市区町村", Field::City},
    {u"お届け先住所1", Field::AddressLine1},
    {u"お届け先住所", Field::AddressLine1},
    {u"送付先住所1", Field::AddressLine1},
    {u"送付先住所", Field::AddressLine1},
    {u"配送先住所1", Field::AddressLine1},
    {u"配送先住所", Field::AddressLine1},
    {u"お届け先番地", Field::AddressLine1},
    {u"ship-address-1", Field::AddressLine1},
    {u"番地", Field::AddressLine1},
    {u"住所", Field::AddressLine1},
    {u"お届け先住所2", Field::AddressLine2},
    {u"送付先住所2", Field::AddressLine2},
    {u"配送先住所2", Field::AddressLine2},
    {u"お届け先建物名", Field::AddressLine2},
    {u"ship-address-2", Field::AddressLine2},
    {u"建物名", Field::AddressLine2},
    {u"お届け先住所3", Field::AddressLine3},
    {u"送付先住所3", Field::AddressLine3},
    {u"ship-address-3", Field::AddressLine3},
    {u"住所3", Field::AddressLine3},
    {u"お届け先氏名", Field::Name},
    {u"お届け先名称", Field::Name},
    {u"お届け先名", Field::Name},
    {u"お届け先名前", Field::Name},
    {u"送付先氏名", Field::Name},
    {u"送付先名称", Field::Name},
    {u"配送先氏名", Field::Name},
    {u"recipient-name", Field::Name},
    {u"氏名", Field::Name},
    {u"お届け先様方", Field::CareOf},
    {u"お届け先電話番号", Field::Telephone},
    {u"送付先電話番号", Field::Telephone},
    {u"配送先電話番号", Field::Telephone},
    {u"ship-phone-number", Field::Telephone},
    {u"buyer-phone-number", Field::Telephone},
    {u"品名", Field::ItemDescription},
    {u"商品名", Field::ItemDescription},
    {u"product-name", Field::ItemDescription},
    {u"商品番号", Field::ProductNumber},
    {u"商品コード", Field::ProductNumber},
    {u"sku", Field::ProductNumber},
    {u"注文番号", Field::OrderNumber},
    {u"受注番号", Field::OrderNumber},
    {u"order-id", Field::OrderNumber},
};

const QList<AddressBookColumn> kAddressBookColumns = {
    {Field::Kind, u"区分"},
    {Field::PostalCode, u"郵便番号"},
    {Field::AddressLine1, u"住所1"},
    {Field::AddressLine2, u"住所2"},
    {Field::Name, u"名前"},
    {Field::CareOf, u"様方"},
    {Field::Telephone, u"電話番号"},
    // Added in the current format; the first had the columns above.
    {Field::CareOfShown, u"様方を印刷"},
    {Field::LastUsed, u"最後に使った日時"},
    {Field::Reading, u"フリガナ"},
};
constexpr qsizetype kFirstFormatColumns = 7;

// Words that suggest a column's field when its heading is not a known one;
// as normalizedHeading() writes them.
struct HeadingWord {
    const char16_t* word;
    Field field;
};
constexpr HeadingWord kHeadingWords[] = {
    {u"郵便", Field::PostalCode},
    {u"〒", Field::PostalCode},
    {u"zip", Field::PostalCode},
    {u"postal", Field::PostalCode},
    {u"都道府県", Field::Prefecture},
    {u"市区町村", Field::City},
    {u"住所", Field::AddressLine1},
    {u"所在地", Field::AddressLine1},
    {u"address", Field::AddressLine1},
    {u"様方", Field::CareOf},
    {u"気付", Field::CareOf},
    {u"氏名", Field::Name},
    {u"名前", Field::Name},
    {u"宛名", Field::Name},
    {u"name", Field::Name},
    {u"電話", Field::Telephone},
    {u"tel", Field::Telephone},
    {u"phone", Field::Telephone},
    {u"品名", Field::ItemDescription},
    {u"商品名", Field::ItemDescription},
    {u"商品コード", Field::ProductNumber},
    {u"品番", Field::ProductNumber},
    {u"注文", Field::OrderNumber},
    {u"受注", Field::OrderNumber},
    {u"受付", Field::OrderNumber},
    {u"order", Field::OrderNumber},
};

bool isDroppedInHeading(QChar c)
{
    return c.isSpace() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.');
}

} // namespace

QString fieldWord(Field field)
{
    const FieldInfo* info = infoOf(field);
    return info ? QString::fromLatin1(info->word) : QString();
}

std::optional<Field> fieldOfWord(const QString& word)
{
    for (const auto& row : kFields)
        if (word == QLatin1String(row.word))
            return row.field;
    return std::nullopt;
}

QString fieldLabel(Field field)
{
    const FieldInfo* info = infoOf(field);
    return info ? QString::fromUtf16(info->label) : QString();
}

QList<Field> assignableFields()
{
    QList<Field> fields;
    for (const auto& row : kFields)
        if (row.field != Field::LastUsed && row.field != Field::Reading)
            fields << row.field;
    return fields;
}

QString lastUsedText(const QDateTime& lastUsed)
{
    return lastUsed.isValid() ? lastUsed.toUTC().toString(Qt::ISODateWithMs) : QString();
}

std::optional<QDateTime> lastUsedOf(const QString& text)
{
    const QDateTime time = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

const QList<AddressBookColumn>& addressBookColumns() { return kAddressBookColumns; }

QStringList addressBookHeadings()
{
    QStringList headings;
    for (const auto& column : kAddressBookColumns)
        headings << QString::fromUtf16(column.heading);
    return headings;
}

QString recipientKindText() { return QStringLiteral("お届け先"); }

QString senderKindText() { return QStringLiteral("ご依頼主"); }

QString careOfShownText(bool shown) { return shown ? QStringLiteral("印刷する") : QStringLiteral("印刷しない"); }

std::optional<bool> careOfShownOf(const QString& text)
{
    const QString t = text.trimmed();
    if (t == careOfShownText(true))
        return true;
    if (t == careOfShownText(false))
        return false;
    return std::nullopt;
}

QStringList addressBookRecord(bool isSender, const waybill::Address& address, const QDateTime& lastUsed,
                              const QString& reading)
{
    QStringList record;
    for (const auto& column : kAddressBookColumns) {
        switch (column.field) {
        case Field::CareOfShown:
            record << careOfShownText(address.careOfShown);
            break;
        case Field::LastUsed:
            record << lastUsedText(lastUsed);
            break;
        case Field::Reading:
            record << reading;
            break;
        case Field::Kind:
            record << (isSender ? senderKindText() : recipientKindText());
            break;
        case Field::PostalCode:
            record << address.postalCode;
            break;
        case Field::AddressLine1:
            record << address.line1;
            break;
        case Field::AddressLine2:
            record << address.line2;
            break;
        case Field::Name:
            record << address.name;
            break;
        case Field::CareOf:
            record << address.careOf;
            break;
        case Field::Telephone:
            record << address.telephone;
            break;
        default:
            record << QString();
            break;
        }
    }
    return record;
}

QString normalizedHeading(const QString& heading)
{
    QString folded = heading.normalized(QString::NormalizationForm_KC).toCaseFolded();
    folded.removeIf(isDroppedInHeading);
    return folded;
}

AddressBookFormat addressBookFormat(const QStringList& headings)
{
    if (headings.size() != kAddressBookColumns.size() && headings.size() != kFirstFormatColumns)
        return AddressBookFormat::None;
    for (qsizetype i = 0; i < headings.size(); ++i)
        if (normalizedHeading(headings[i]) != normalizedHeading(QString::fromUtf16(kAddressBookColumns[i].heading)))
            return AddressBookFormat::None;
    return headings.size() == kFirstFormatColumns ? AddressBookFormat::First : AddressBookFormat::Current;
}

QString withoutFormulaGuard(const QString& cell, AddressBookFormat format)
{
    if (format != AddressBookFormat::First)
        return csv::Writer::withoutFormulaGuard(cell);
    if (cell.size() >= 2 && cell.front() == QLatin1Char('\'') && cell[1] != QLatin1Char('\'') &&
        csv::Writer::guardFormula(cell.mid(1)) == cell)
        return cell.mid(1);
    return cell;
}

bool isAddressBookHeader(const QStringList& headings) { return addressBookFormat(headings) != AddressBookFormat::None; }

namespace {

// The known headings and then the address-book headings, normalised once:
// each with its field, in the order of preference.
const QList<std::pair<QString, Field>>& headingsByPreference()
{
    static const QList<std::pair<QString, Field>> table = [] {
        QList<std::pair<QString, Field>> rows;
        for (const auto& known : kKnownHeadings)
            rows.append({normalizedHeading(QString::fromUtf16(known.heading)), known.field});
        for (const auto& column : kAddressBookColumns)
            rows.append({normalizedHeading(QString::fromUtf16(column.heading)), column.field});
        return rows;
    }();
    return table;
}

} // namespace

ColumnMap recogniseHeadings(const QStringList& headings)
{
    // Rank of each column's heading in the known headings (address-book
    // headings last), or -1.
    struct Match {
        Field field = Field::None;
        int rank = -1;
    };
    QList<Match> matches(headings.size());
    for (qsizetype column = 0; column < headings.size(); ++column) {
        const QString key = normalizedHeading(headings[column]);
        if (key.isEmpty())
            continue;
        const auto& table = headingsByPreference();
        for (int rank = 0; rank < table.size(); ++rank) {
            if (key == table[rank].first) {
                matches[column] = {table[rank].second, rank};
                break;
            }
        }
    }
    // For each field the column with the best rank; the first on a tie.
    QHash<Field, qsizetype> best;
    for (qsizetype column = 0; column < headings.size(); ++column) {
        const Match& m = matches[column];
        if (m.rank < 0)
            continue;
        const auto it = best.constFind(m.field);
        if (it == best.constEnd() || m.rank < matches[*it].rank)
            best.insert(m.field, column);
    }
    // 区分 is a common heading in order exports too (配送区分 and the like,
    // with other values); it means お届け先/ご依頼主 only in the address book,
    // as the care-of switch and the last use do.
    if (!isAddressBookHeader(headings))
        for (const Field ownOnly : {Field::Kind, Field::CareOfShown, Field::LastUsed, Field::Reading})
            best.remove(ownOnly);
    ColumnMap map(headings.size(), Field::None);
    for (auto it = best.constBegin(); it != best.constEnd(); ++it)
        map[it.value()] = it.key();
    return map;
}

ColumnMap suggestedColumns(const QStringList& headings, ColumnMap map)
{
    while (map.size() < headings.size())
        map << Field::None;
    for (qsizetype column = 0; column < headings.size(); ++column) {
        if (map[column] != Field::None)
            continue;
        const QString heading = normalizedHeading(headings[column]);
        for (const HeadingWord& hint : kHeadingWords) {
            if (!heading.contains(QString::fromUtf16(hint.word)))
                continue;
            Field field = hint.field;
            if (field == Field::AddressLine1 && map.contains(field))
                field = Field::AddressLine2;
            if (!map.contains(field))
                map[column] = field;
            break;
        }
    }
    return map;
}

QStringList headingNotes(const QStringList& headings, const ColumnMap& map)
{
    QStringList notes;
    for (qsizetype column = 0; column < headings.size() && column < map.size(); ++column) {
        if (map[column] == Field::None)
            continue;
        const QString key = normalizedHeading(headings[column]);
        QStringList others;
        for (qsizetype other = column + 1; other < headings.size(); ++other)
            if (normalizedHeading(headings[other]) == key)
                others << QStringLiteral("%1列目").arg(other + 1);
        if (!others.isEmpty())
            notes
                << QStringLiteral(
                       "見出し「%1」の列がいくつもあります（%2列目と%3）。%2列目を「%4」として使い、ほかは使いません。"
                       "別の列を使うときは、画面の「一括印刷」で列の対応を選んでください。")
                       .arg(headings[column])
                       .arg(column + 1)
                       .arg(others.join(QStringLiteral("、")), fieldLabel(map[column]));
    }
    // Parts that print on the form: one of them left out prints empty.
    constexpr Field kPrinted[] = {Field::PostalCode, Field::PostalCode1,  Field::PostalCode2,  Field::Prefecture,
                                  Field::City,       Field::AddressLine1, Field::AddressLine2, Field::AddressLine3,
                                  Field::Name,       Field::CareOf,       Field::Telephone};
    const ColumnMap suggested = suggestedColumns(headings, map);
    for (qsizetype column = 0; column < headings.size() && column < map.size(); ++column) {
        const Field field = suggested.value(column, Field::None);
        if (map[column] != Field::None ||
            std::find(std::begin(kPrinted), std::end(kPrinted), field) == std::end(kPrinted))
            continue;
        notes
            << QStringLiteral(
                   "見出し「%1」（%2列目）は「%3」の列のようですが、知っている見出しではないため使っていません（%3は印刷されません）。"
                   "使うときは、画面の「一括印刷」で列の対応を選んでください。")
                   .arg(headings[column])
                   .arg(column + 1)
                   .arg(fieldLabel(field));
    }
    return notes;
}

QStringList missingFields(const ColumnMap& map)
{
    QStringList missing;
    if (!map.contains(Field::PostalCode) && !(map.contains(Field::PostalCode1) && map.contains(Field::PostalCode2)))
        missing << fieldLabel(Field::PostalCode);
    if (!map.contains(Field::Prefecture) && !map.contains(Field::City) && !map.contains(Field::AddressLine1))
        missing << fieldLabel(Field::AddressLine1);
    if (!map.contains(Field::Name))
        missing << fieldLabel(Field::Name);
    return missing;
}

bool isJoinable(Field field)
{
    switch (field) {
    case Field::PostalCode:
    case Field::Prefecture:
    case Field::City:
    case Field::AddressLine1:
    case Field::AddressLine2:
    case Field::AddressLine3:
    case Field::Name:
    case Field::CareOf:
    case Field::Telephone:
    case Field::ItemDescription:
        return true;
    default:
        return false;
    }
}

Field duplicatedField(const ColumnMap& map)
{
    for (qsizetype i = 0; i < map.size(); ++i)
        if (map[i] != Field::None && !isJoinable(map[i]) && map.indexOf(map[i], i + 1) >= 0)
            return map[i];
    return Field::None;
}

QString headerKey(const QStringList& headings)
{
    QStringList normalized;
    for (const QString& heading : headings)
        normalized << normalizedHeading(heading);
    const QByteArray digest =
        QCryptographicHash::hash(normalized.join(QChar(0x1F)).toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex().left(32));
}

} // namespace orders
