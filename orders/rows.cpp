#include "orders/rows.h"

#include "entry/textrules.h"
#include "orders/prefectures.h"
#include "orders/telephones.h"
#include "orders/values.h"
#include "postal/postalcode.h"

#include <QRegularExpression>
#include <algorithm>

namespace orders {

namespace {

QString withoutPostalMark(const QString& text)
{
    QString t = text.trimmed();
    if (t.startsWith(u'〒'))
        t = t.mid(1).trimmed();
    return t;
}

QString join(const QStringList& parts, const QString& separator)
{
    QStringList present;
    for (const QString& part : parts)
        if (!part.isEmpty())
            present << part;
    return present.join(separator);
}

// The columns that feed one part of the waybill.
QList<int> columnsFeeding(const ColumnMap& map, Field field)
{
    QList<Field> sources{field};
    if (field == Field::PostalCode && !map.contains(Field::PostalCode))
        sources = {Field::PostalCode1, Field::PostalCode2};
    else if (field == Field::AddressLine1)
        sources = {Field::Prefecture, Field::City, Field::AddressLine1};
    QList<int> columns;
    for (qsizetype i = 0; i < map.size(); ++i)
        if (sources.contains(map[i]))
            columns << int(i);
    return columns;
}

// 「お届け先郵便番号」 or 「郵便番号1」「郵便番号2」; the field's own name when no
// column feeds it (an edit may have filled it).
QString columnNames(const QStringList& headings, const QList<int>& columns, Field field)
{
    QString names;
    for (int column : columns)
        names += QStringLiteral("「%1」").arg(column < headings.size() ? headings[column] : QString());
    return names.isEmpty() ? QStringLiteral("「%1」").arg(fieldLabel(field)) : names;
}

struct Verdict {
    QString reason;
    QString suggestion;
    bool note = false;
};

// `whereOf` names the columns; called only when there is something to say.
template <typename WhereOf>
std::optional<Verdict> judgePostal(const QString& text, const WhereOf& whereOf)
{
    if (postalDigits(text))
        return std::nullopt;
    const QString where = whereOf();
    if (text.trimmed().isEmpty())
        return Verdict{QStringLiteral("%1の郵便番号がありません。").arg(where), {}};
    const QString folded = entry::foldedNumberText(withoutPostalMark(text));
    static const QRegularExpression kDigitsOnly(QStringLiteral("^[0-9]{5,6}$"));
    static const QRegularExpression kTwoParts(QStringLiteral("^([0-9]{1,3})-([0-9]{1,4})$"));
    QString padded;
    if (kDigitsOnly.match(folded).hasMatch()) {
        padded = QString(7 - folded.size(), QLatin1Char('0')) + folded;
    } else if (const auto m = kTwoParts.match(folded);
               m.hasMatch() && (m.capturedLength(1) == 3 || m.capturedLength(1) + m.capturedLength(2) >= 5)) {
        padded = m.captured(1).rightJustified(3, QLatin1Char('0')) + m.captured(2).rightJustified(4, QLatin1Char('0'));
    }
    if (!padded.isEmpty())
        return Verdict{
            QStringLiteral("%1の郵便番号「%2」は桁が足りません。表計算ソフトで先頭の0が消えた可能性があります。"
                           "正しくは「%3」ではありませんか。")
                .arg(where, text, padded),
            padded};
    return Verdict{
        QStringLiteral("%1の郵便番号「%2」は形が正しくありません。7桁の数字（1234567 か 123-4567）にしてください。")
            .arg(where, text),
        {}};
}

template <typename WhereOf>
std::optional<Verdict> judgeTelephone(const QString& text, const WhereOf& whereOf)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QString digits = entry::foldedNumberText(trimmed);
    digits.removeIf([](QChar c) { return c == u'-' || c == u'(' || c == u')' || c == u' '; });
    if (digits.startsWith(QLatin1String("+81")))
        digits = QLatin1Char('0') + digits.mid(3);
    const bool onlyDigits = allAsciiDigits(digits);
    if (onlyDigits && !digits.startsWith(u'0') && (digits.size() == 9 || digits.size() == 10))
        return Verdict{QStringLiteral("%1の電話番号「%2」は先頭の0が消えた可能性があります。"
                                      "正しくは「0%3」ではありませんか。")
                           .arg(whereOf(), text, trimmed),
                       QLatin1Char('0') + trimmed};
    const TelephoneVerdict verdict = readTelephone(trimmed).verdict;
    if (verdict == TelephoneVerdict::Japanese)
        return std::nullopt;
    if (verdict != TelephoneVerdict::Unknown)
        return Verdict{
            QStringLiteral("%1の電話番号「%2」は、日本の電話番号の決まりにない番号です。書かれたとおりに印刷します。"
                           "番号を確かめてください。")
                .arg(whereOf(), text),
            {},
            true};
    // Without the numbering plan: the shape alone.
    if (!onlyDigits)
        return Verdict{
            QStringLiteral("%1の電話番号「%2」に数字とハイフン、かっこ以外の文字があります。").arg(whereOf(), text),
            {}};
    if (digits.startsWith(u'0') && (digits.size() == 10 || digits.size() == 11))
        return std::nullopt;
    return Verdict{QStringLiteral("%1の電話番号「%2」は数字が%3桁です。0で始まる10桁か11桁にしてください。")
                       .arg(whereOf(), text, QString::number(digits.size())),
                   {}};
}

} // namespace

namespace {

struct GiftTelephoneRow {
    GiftTelephone choice;
    const char* token;
    const char16_t* text;
};
constexpr GiftTelephoneRow kGiftTelephones[] = {
    {GiftTelephone::Buyer, "buyer", u"注文者の電話番号"},
    {GiftTelephone::Sender, "sender", u"ご依頼主の電話番号"},
    {GiftTelephone::Blank, "blank", u"空欄"},
};

} // namespace

QString giftTelephoneText(GiftTelephone choice)
{
    for (const GiftTelephoneRow& row : kGiftTelephones)
        if (row.choice == choice)
            return QString::fromUtf16(row.text);
    return {};
}

QString giftTelephoneToken(GiftTelephone choice)
{
    for (const GiftTelephoneRow& row : kGiftTelephones)
        if (row.choice == choice)
            return QString::fromLatin1(row.token);
    return {};
}

std::optional<GiftTelephone> giftTelephoneOfToken(const QString& token)
{
    for (const GiftTelephoneRow& row : kGiftTelephones)
        if (token == QLatin1String(row.token))
            return row.choice;
    return std::nullopt;
}

bool refuses(const QList<Finding>& findings)
{
    return std::any_of(findings.begin(), findings.end(), [](const Finding& finding) { return !finding.note; });
}

QString cellOf(const ColumnMap& map, const QStringList& fields, Field field)
{
    const qsizetype column = map.indexOf(field);
    if (column < 0 || column >= fields.size())
        return {};
    if (!isJoinable(field) || map.indexOf(field, column + 1) < 0)
        return fields[column].trimmed();
    QStringList parts;
    for (qsizetype i = column; i < map.size() && i < fields.size(); ++i)
        if (map[i] == field)
            parts << fields[i].trimmed();
    switch (field) {
    case Field::Telephone:
    case Field::PostalCode:
        return join(parts, QStringLiteral("-"));
    case Field::Prefecture:
    case Field::City:
    case Field::AddressLine1:
        return joinAddress(parts);
    default:
        return join(parts, QStringLiteral(" "));
    }
}

std::optional<QString> postalDigits(const QString& text) { return postal::normalizedCode(text); }

void applyCommonGoods(waybill::Waybill& waybill, const ListConstants& constants)
{
    if (constants.itemDescription.isEmpty())
        return;
    waybill.goods = {};
    waybill.goods[0].description = constants.itemDescription;
    waybill.total = waybill::Waybill{}.total;
    waybill.numericMode = false;
}

waybill::Waybill buildWaybill(const ColumnMap& map, const QStringList& fields, const ListConstants& constants)
{
    const auto cell = [&](Field field) { return cellOf(map, fields, field); };
    waybill::Waybill w;
    waybill::Address& to = w.recipient;
    to.postalCode = cell(Field::PostalCode);
    if (to.postalCode.isEmpty())
        to.postalCode = join({cell(Field::PostalCode1), cell(Field::PostalCode2)}, QStringLiteral("-"));
    if (const auto digits = postalDigits(to.postalCode))
        to.postalCode = *digits;
    to.line1 = cell(Field::Prefecture) + cell(Field::City) + cell(Field::AddressLine1);
    to.line2 = join({cell(Field::AddressLine2), cell(Field::AddressLine3)}, QStringLiteral(" "));
    to.name = cell(Field::Name);
    to.careOf = cell(Field::CareOf);
    // The address book's export says whether a care-of line prints; a list
    // that names one means it to print.
    to.careOfShown = careOfShownOf(cell(Field::CareOfShown)).value_or(!to.careOf.isEmpty());
    to.telephone = cell(Field::Telephone);
    w.sender = constants.sender;
    w.deliveryTime = constants.deliveryTime;
    w.arrivalNotice = constants.arrivalNotice;
    w.goods[0].description = cell(Field::ItemDescription);
    w.goods[0].productNumber = cell(Field::ProductNumber);
    w.numericMode = false;
    applyCommonGoods(w, constants);
    return entry::asEntered(std::move(w));
}

QList<Finding> checkWaybill(const waybill::Waybill& waybill, const QStringList& headings, const ColumnMap& map,
                            const FitCheck& fits, const PostalPrefectures& prefectures)
{
    QList<Finding> findings;
    const auto add = [&](Field field, const QString& reason, const QString& suggestion = {}, bool note = false) {
        const QList<int> columns = columnsFeeding(map, field);
        findings.append({field, columns.isEmpty() ? -1 : columns.first(), reason, suggestion, note});
    };
    const auto where = [&](Field field) {
        return [&, field] { return columnNames(headings, columnsFeeding(map, field), field); };
    };
    const waybill::Address& to = waybill.recipient;

    if (const auto verdict = judgePostal(to.postalCode, where(Field::PostalCode)))
        add(Field::PostalCode, verdict->reason, verdict->suggestion);
    if (to.line1.trimmed().isEmpty())
        add(Field::AddressLine1, QStringLiteral("%1にお届け先の住所がありません。").arg(where(Field::AddressLine1)()));
    if (const QString latin = latinStart(to.line1); !latin.isEmpty()) {
        // The postal code knows the prefecture the Latin letters stand for.
        const QStringList ofCode =
            prefectures && postalDigits(to.postalCode) ? prefectures(*postalDigits(to.postalCode)) : QStringList();
        const QString rest = to.line1.trimmed().mid(to.line1.trimmed().indexOf(latin) + latin.size()).trimmed();
        add(Field::AddressLine1,
            QStringLiteral("%1の住所が「%2」で始まっています。都道府県をローマ字のまま印刷することはできません。"
                           "都道府県名を漢字で書いてください。")
                .arg(where(Field::AddressLine1)(), latin),
            ofCode.size() == 1 ? ofCode.front() + rest : QString());
    } else if (const QString prefecture = prefectureAtStart(to.line1); !prefecture.isEmpty() && prefectures) {
        if (const auto digits = postalDigits(to.postalCode)) {
            const QStringList ofCode = prefectures(*digits);
            if (!ofCode.isEmpty() && !ofCode.contains(prefecture))
                add(Field::PostalCode,
                    QStringLiteral(
                        "郵便番号「%1」は%2の番号ですが、住所は%3です。郵便番号か住所のどちらかが違っています。"
                        "確かめて直してください。")
                        .arg(to.postalCode, ofCode.join(QStringLiteral("・")), prefecture));
        }
    }
    if (to.name.trimmed().isEmpty())
        add(Field::Name, QStringLiteral("%1にお届け先の名前がありません。").arg(where(Field::Name)()));
    if (const auto verdict = judgeTelephone(to.telephone, where(Field::Telephone)))
        add(Field::Telephone, verdict->reason, verdict->suggestion, verdict->note);
    if (fits) {
        if (const auto reason = fits(waybill))
            findings.append({Field::None, -1, *reason, {}});
    }
    return findings;
}

} // namespace orders
