#include "orders/shoplayouts.h"

#include "orders/rows.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <span>

namespace orders {

namespace {

using P = PersonPart;
using O = OrderPart;

// One part and the headings that hold it: alternatives separated by |, the
// first one the list has wins.
struct ColumnRule {
    int slot; // a person's part, or an order part after both persons'
    const char16_t* headings;
};

constexpr ColumnRule ship(P part, const char16_t* headings) { return {int(part), headings}; }
constexpr ColumnRule buyer(P part, const char16_t* headings) { return {kPersonPartCount + int(part), headings}; }
constexpr ColumnRule order(O part, const char16_t* headings) { return {2 * kPersonPartCount + int(part), headings}; }

// 楽天ペイ受注管理 (RMS) order CSV, template 「全カラムダウンロード用」, CP932
// (UTF-8 once re-saved). One row per item (商品明細) with the order's and
// the destination's columns repeated. The 送付先… and item headings are
// confirmed by several independent open-source readers of the file
// (github.com/yukidaruma1123/csv-converter index.html, and others in
// public code); the 注文者… headings and 送付先ID by a public SQL schema
// that names every column of the file ("NEW 楽天CSVファイル"), 送付先ID
// also by a second reader. An order to several addresses has one 送付先ID
// per address (複数送付先フラグ); the meaning is taken from a public copy of
// RMS's upload field notes (「送付先単位に振られる番号」), partly confirmed.
constexpr ColumnRule kRakutenRms[] = {
    order(O::OrderNumber, u"注文番号"),
    order(O::DestinationId, u"送付先ID"),
    ship(P::PostalCode1, u"送付先郵便番号1"),
    ship(P::PostalCode2, u"送付先郵便番号2"),
    ship(P::Prefecture, u"送付先住所都道府県"),
    ship(P::City, u"送付先住所郡市区"),
    ship(P::Street, u"送付先住所それ以降の住所"),
    ship(P::FamilyName, u"送付先姓"),
    ship(P::GivenName, u"送付先名"),
    ship(P::Telephone1, u"送付先電話番号1"),
    ship(P::Telephone2, u"送付先電話番号2"),
    ship(P::Telephone3, u"送付先電話番号3"),
    buyer(P::PostalCode1, u"注文者郵便番号1"),
    buyer(P::PostalCode2, u"注文者郵便番号2"),
    buyer(P::Prefecture, u"注文者住所都道府県"),
    buyer(P::City, u"注文者住所郡市区"),
    buyer(P::Street, u"注文者住所それ以降の住所"),
    buyer(P::FamilyName, u"注文者姓"),
    buyer(P::GivenName, u"注文者名"),
    buyer(P::Telephone1, u"注文者電話番号1"),
    buyer(P::Telephone2, u"注文者電話番号2"),
    buyer(P::Telephone3, u"注文者電話番号3"),
    order(O::ItemDescription, u"商品名"),
    // 商品番号 is the shop's own number; 商品管理番号 (the item's page) where
    // a template leaves 商品番号 out.
    order(O::ProductNumber, u"商品番号|商品管理番号"),
    order(O::Quantity, u"個数"),
    order(O::UnitPrice, u"単価"),
};

// RMS order CSV before 楽天ペイ, as the same public SQL schema lists it
// ("楽天CSVファイル"): other words, full-width digits, a colon in the
// address headings. Partly confirmed (that one source only). It has no
// 送付先ID; how it wrote an order to several addresses is not confirmed.
constexpr ColumnRule kRakutenRmsOld[] = {
    order(O::OrderNumber, u"受注番号"),
    ship(P::PostalCode1, u"送付先郵便番号１"),
    ship(P::PostalCode2, u"送付先郵便番号２"),
    ship(P::Prefecture, u"送付先住所：都道府県"),
    ship(P::City, u"送付先住所：都市区"),
    ship(P::Street, u"送付先住所：町以降"),
    ship(P::FamilyName, u"送付先名字"),
    ship(P::GivenName, u"送付先名前"),
    ship(P::Telephone1, u"送付先電話番号１"),
    ship(P::Telephone2, u"送付先電話番号２"),
    ship(P::Telephone3, u"送付先電話番号３"),
    buyer(P::PostalCode1, u"注文者郵便番号１"),
    buyer(P::PostalCode2, u"注文者郵便番号２"),
    buyer(P::Prefecture, u"注文者住所：都道府県"),
    buyer(P::City, u"注文者住所：都市区"),
    buyer(P::Street, u"注文者住所：町以降"),
    buyer(P::FamilyName, u"注文者名字"),
    buyer(P::GivenName, u"注文者名前"),
    buyer(P::Telephone1, u"注文者電話番号１"),
    buyer(P::Telephone2, u"注文者電話番号２"),
    buyer(P::Telephone3, u"注文者電話番号３"),
    order(O::ItemDescription, u"商品名"),
    order(O::ProductNumber, u"商品番号"),
    order(O::Quantity, u"個数"),
    order(O::UnitPrice, u"単価"),
};

// Amazon Seller Central order reports, tab-separated, UTF-8 since
// 2021-11-01 (CP932 before). Field names: Amazon's order report field list
// (sellercentral.amazon.com/help/hub/reference/G201648780), confirmed by
// several open-source readers; order-id 3-7-7 digits (Seller Central JP
// help itemID=641). One row per order-item-id; one ship-to per order.
// ship-state is the prefecture and ship-address-1/2/3 the rest (partly
// confirmed: one third-party reader builds the address so); ship-city, when
// filled, is kept. The unshipped report as seen in public readers has no
// ship-phone-number, only buyer-phone-number (partly confirmed); the
// bill-… columns appear only for accounts that asked for them (partly
// confirmed, assist-tencho.com/faq/?p=21161). item-price is not taken:
// whether it is per unit or for the line's quantity is not confirmed.
constexpr ColumnRule kAmazon[] = {
    order(O::OrderNumber, u"order-id"),
    ship(P::Name, u"recipient-name"),
    ship(P::PostalCode, u"ship-postal-code"),
    ship(P::Prefecture, u"ship-state"),
    ship(P::City, u"ship-city"),
    ship(P::Street, u"ship-address-1"),
    ship(P::Building, u"ship-address-2"),
    ship(P::Building2, u"ship-address-3"),
    ship(P::Telephone, u"ship-phone-number"),
    buyer(P::Name, u"buyer-name"),
    buyer(P::Telephone, u"buyer-phone-number"),
    buyer(P::PostalCode, u"bill-postal-code"),
    buyer(P::Prefecture, u"bill-state"),
    buyer(P::City, u"bill-city"),
    buyer(P::Street, u"bill-address-1"),
    buyer(P::Building, u"bill-address-2"),
    buyer(P::Building2, u"bill-address-3"),
    order(O::ItemDescription, u"product-name"),
    order(O::ProductNumber, u"sku"),
    // What this parcel holds: the unshipped report's quantity still to ship.
    order(O::Quantity, u"quantity-to-ship|quantity-purchased"),
};

// Yahoo!ショッピング (ストアクリエイターPro) order file, columns chosen by the
// shop's download template; the headings are the order API's field names
// (developer.yahoo.co.jp/webapi/shopping/orderInfo.html). OrderId, ShipName,
// ShipZipCode, ShipPrefecture, ShipCity, ShipAddress1/2, ShipAddressFull and
// ShipPhoneNumber are read so by an open-source reader of the CSV
// (yukidaruma1123/csv-converter), partly confirmed; ShipLastName/
// ShipFirstName and the Bill… names are confirmed for the API only —
// whether the CSV template offers them is not confirmed. CP932 (partly
// confirmed). Items are not taken: they come in a separate item file, or
// several in one cell (ItemId L1=…&L2=…), partly confirmed; the waybill
// takes the list's own 品名.
constexpr ColumnRule kYahooShopping[] = {
    order(O::OrderNumber, u"OrderId"),
    ship(P::Name, u"ShipName"),
    ship(P::FamilyName, u"ShipLastName"),
    ship(P::GivenName, u"ShipFirstName"),
    ship(P::PostalCode, u"ShipZipCode"),
    ship(P::Prefecture, u"ShipPrefecture"),
    ship(P::City, u"ShipCity"),
    ship(P::Street, u"ShipAddress1"),
    ship(P::Building, u"ShipAddress2"),
    ship(P::WholeAddress, u"ShipAddressFull"),
    ship(P::Telephone, u"ShipPhoneNumber"),
    buyer(P::FamilyName, u"BillLastName"),
    buyer(P::GivenName, u"BillFirstName"),
    buyer(P::PostalCode, u"BillZipCode"),
    buyer(P::Prefecture, u"BillPrefecture"),
    buyer(P::City, u"BillCity"),
    buyer(P::Street, u"BillAddress1"),
    buyer(P::Building, u"BillAddress2"),
    buyer(P::Telephone, u"BillPhoneNumber"),
};

// Shopify orders export (admin → 注文管理 → エクスポート,
// help.shopify.com/ja/manual/fulfillment/managing-orders/exporting-orders),
// UTF-8, comma. Headings confirmed by several open-source readers and test
// fixtures and by laplace-live/shopify-csv-converter (src/types); Name is
// the order's name, #1001 (help.shopify.com …/transporter-app/csv-orders).
// One row per line item; the order's columns, the addresses among them,
// only on its first row (partly confirmed by two public test fixtures).
// Newer exports add Shipping/Billing Province Name and Phone (partly
// confirmed); what Shipping Province holds for Japan (a JP-nn code or a
// name) is not confirmed, so a JP-nn code is read as its prefecture.
// Shipping Street (a combination of the two address lines, exactly which
// not confirmed) only where Address1 is missing.
constexpr ColumnRule kShopify[] = {
    order(O::OrderNumber, u"Name"),
    ship(P::Name, u"Shipping Name"),
    ship(P::PostalCode, u"Shipping Zip"),
    ship(P::Prefecture, u"Shipping Province Name|Shipping Province"),
    ship(P::City, u"Shipping City"),
    ship(P::Street, u"Shipping Address1|Shipping Street"),
    ship(P::Building, u"Shipping Address2"),
    ship(P::Company, u"Shipping Company"),
    ship(P::Telephone, u"Shipping Phone"),
    buyer(P::Name, u"Billing Name"),
    buyer(P::PostalCode, u"Billing Zip"),
    buyer(P::Prefecture, u"Billing Province Name|Billing Province"),
    buyer(P::City, u"Billing City"),
    buyer(P::Street, u"Billing Address1|Billing Street"),
    buyer(P::Building, u"Billing Address2"),
    buyer(P::Company, u"Billing Company"),
    buyer(P::Telephone, u"Billing Phone|Phone"),
    order(O::ItemDescription, u"Lineitem name"),
    order(O::ProductNumber, u"Lineitem sku"),
    order(O::Quantity, u"Lineitem quantity"),
    order(O::UnitPrice, u"Lineitem price"),
};

struct LayoutRow {
    Shop shop;
    const char16_t* name;
    // Headings all of which the list must have; the first row they all
    // match wins, so a list's more particular row comes first.
    std::array<const char16_t*, 4> characteristic;
    std::span<const ColumnRule> columns;
};

// BASE and STORES are not rows: neither's order CSV headings could be
// confirmed from a public source (BASE's API field names are known, its
// CSV's are not). Their lists read through the column choice as before.
// The program's own address-book export is recognised by columns.h.
constexpr LayoutRow kLayouts[] = {
    {Shop::RakutenRms, u"楽天市場の注文一覧", {u"注文番号", u"送付先郵便番号1", u"送付先住所郡市区"}, kRakutenRms},
    {Shop::RakutenRmsOld,
     u"楽天市場の注文一覧（旧形式）",
     {u"受注番号", u"送付先郵便番号１", u"送付先住所：都市区"},
     kRakutenRmsOld},
    {Shop::AmazonUnshippedReport,
     u"Amazon の未出荷注文レポート",
     {u"order-id", u"recipient-name", u"ship-postal-code", u"quantity-to-ship"},
     kAmazon},
    {Shop::AmazonOrderReport, u"Amazon の注文レポート", {u"order-id", u"recipient-name", u"ship-postal-code"}, kAmazon},
    {Shop::YahooShopping, u"Yahoo!ショッピングの注文一覧", {u"OrderId", u"ShipZipCode"}, kYahooShopping},
    {Shop::Shopify, u"Shopify の注文一覧", {u"Name", u"Shipping Zip", u"Lineitem quantity"}, kShopify},
};

// A heading as compared: NFKC (full-width letters and digits half-width,
// a full-width colon a colon), case folded, only letters and digits kept.
QString foldedHeading(QStringView heading)
{
    QString folded = heading.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
    folded.removeIf([](QChar c) { return !c.isLetterOrNumber(); });
    return folded;
}

const LayoutRow& rowOf(Shop shop)
{
    for (const LayoutRow& row : kLayouts)
        if (row.shop == shop)
            return row;
    return kLayouts[0];
}

int& slotOf(RecognisedLayout& layout, int slot)
{
    if (slot < 2 * kPersonPartCount)
        return layout.personColumns[size_t(slot / kPersonPartCount)][size_t(slot % kPersonPartCount)];
    return layout.orderColumns[size_t(slot - 2 * kPersonPartCount)];
}

} // namespace

QString shopName(Shop shop) { return QString::fromUtf16(rowOf(shop).name); }

std::optional<RecognisedLayout> recogniseLayout(const QStringList& headings)
{
    QHash<QString, int> columnOf;
    for (int column = 0; column < headings.size(); ++column) {
        const QString key = foldedHeading(headings[column]);
        if (!key.isEmpty() && !columnOf.contains(key))
            columnOf.insert(key, column);
    }
    for (const LayoutRow& row : kLayouts) {
        bool matches = true;
        for (const char16_t* heading : row.characteristic)
            matches = matches && (!heading || columnOf.contains(foldedHeading(heading)));
        if (!matches)
            continue;
        RecognisedLayout layout;
        layout.shop = row.shop;
        for (const ColumnRule& rule : row.columns) {
            for (QStringView alternative : QStringView(rule.headings).tokenize(u'|')) {
                if (const auto it = columnOf.constFind(foldedHeading(alternative)); it != columnOf.constEnd()) {
                    slotOf(layout, rule.slot) = *it;
                    break;
                }
            }
        }
        return layout;
    }
    return std::nullopt;
}

QList<int> RecognisedLayout::columnsFeeding(Field field, Person person) const
{
    QList<PersonPart> parts;
    QList<OrderPart> orderParts;
    switch (field) {
    case Field::PostalCode:
    case Field::PostalCode1:
    case Field::PostalCode2:
        parts = {P::PostalCode, P::PostalCode1, P::PostalCode2};
        break;
    case Field::Prefecture:
    case Field::City:
    case Field::AddressLine1:
        parts = {P::Prefecture, P::City, P::Street, P::WholeAddress};
        break;
    case Field::AddressLine2:
    case Field::AddressLine3:
        parts = {P::Building, P::Building2, P::Company};
        break;
    case Field::Name:
        parts = {P::Name, P::FamilyName, P::GivenName};
        break;
    case Field::Telephone:
        parts = {P::Telephone, P::Telephone1, P::Telephone2, P::Telephone3};
        break;
    case Field::ItemDescription:
        orderParts = {O::ItemDescription};
        break;
    case Field::ProductNumber:
        orderParts = {O::ProductNumber};
        break;
    case Field::OrderNumber:
        orderParts = {O::OrderNumber, O::DestinationId};
        break;
    case Field::None:
    case Field::Kind:
    case Field::CareOf:
    case Field::CareOfShown:
    case Field::LastUsed:
    case Field::Reading:
        break;
    }
    QList<int> columns;
    for (PersonPart part : parts)
        if (has(person, part))
            columns << column(person, part);
    if (field == Field::Telephone && person == Person::ShipTo)
        columns << columnsFeeding(field, Person::Buyer);
    for (OrderPart part : orderParts)
        if (has(part))
            columns << column(part);
    return columns;
}

ColumnMap columnsOfLayout(const RecognisedLayout& layout, int columnCount)
{
    // The fields a ship-to's part feeds, in PersonPart's order.
    static constexpr Field kFieldOfPart[kPersonPartCount] = {
        Field::PostalCode,   Field::PostalCode1,  Field::PostalCode2,  Field::Prefecture, Field::City,
        Field::AddressLine1, Field::AddressLine2, Field::AddressLine3, Field::None,       Field::Name,
        Field::Name,         Field::Name,         Field::None,         Field::Telephone,  Field::Telephone,
        Field::Telephone,    Field::Telephone,
    };
    ColumnMap map(columnCount, Field::None);
    const auto put = [&](int column, Field field) {
        if (column >= 0 && column < columnCount && map[column] == Field::None)
            map[column] = field;
    };
    for (int part = 0; part < kPersonPartCount; ++part)
        put(layout.column(Person::ShipTo, PersonPart(part)), kFieldOfPart[part]);
    put(layout.column(OrderPart::OrderNumber), Field::OrderNumber);
    put(layout.column(OrderPart::ItemDescription), Field::ItemDescription);
    put(layout.column(OrderPart::ProductNumber), Field::ProductNumber);
    return map;
}

QStringList missingFields(const RecognisedLayout& layout)
{
    const auto has = [&](PersonPart part) { return layout.has(Person::ShipTo, part); };
    QStringList missing;
    if (!has(P::PostalCode) && !(has(P::PostalCode1) && has(P::PostalCode2)))
        missing << fieldLabel(Field::PostalCode);
    if (!has(P::Prefecture) && !has(P::City) && !has(P::Street) && !has(P::WholeAddress))
        missing << fieldLabel(Field::AddressLine1);
    if (!has(P::Name) && !has(P::FamilyName))
        missing << fieldLabel(Field::Name);
    return missing;
}

QStringList missingHeadings(const RecognisedLayout& layout)
{
    const std::span<const ColumnRule> rules = rowOf(layout.shop).columns;
    // The ship-to's parts of one label, as missingFields() groups them.
    const auto headingsOf = [&](std::initializer_list<PersonPart> parts) {
        QStringList headings;
        for (const ColumnRule& rule : rules)
            for (PersonPart part : parts)
                if (rule.slot == int(part) && !layout.has(Person::ShipTo, part))
                    headings << QStringLiteral("「%1」").arg(QStringView(rule.headings).split(u'|').front());
        return headings.join(QStringLiteral("か"));
    };
    QStringList missing;
    const auto has = [&](PersonPart part) { return layout.has(Person::ShipTo, part); };
    if (!has(P::PostalCode) && !(has(P::PostalCode1) && has(P::PostalCode2))) {
        // A list in halves lacks the half it lacks; a list of whole codes the whole.
        const bool halves = std::any_of(rules.begin(), rules.end(),
                                        [](const ColumnRule& rule) { return rule.slot == int(P::PostalCode1); });
        missing << (halves ? headingsOf({P::PostalCode1, P::PostalCode2}) : headingsOf({P::PostalCode}));
    }
    if (!has(P::Prefecture) && !has(P::City) && !has(P::Street) && !has(P::WholeAddress))
        missing << headingsOf({P::Prefecture, P::City, P::Street, P::WholeAddress});
    if (!has(P::Name) && !has(P::FamilyName))
        missing << headingsOf({P::Name, P::FamilyName});
    return missing;
}

std::optional<NearlyShopHeadings> nearlyShopHeadings(const QStringList& headings)
{
    if (recogniseLayout(headings))
        return std::nullopt;
    QSet<QString> present;
    for (const QString& heading : headings)
        present.insert(foldedHeading(heading));
    const auto has = [&](QStringView heading) { return present.contains(foldedHeading(heading)); };
    // Besides all characteristic headings but one, as many of the shop's
    // other headings as would make any list plainly this shop's.
    constexpr int kOtherHeadingsAtLeast = 3;
    for (const LayoutRow& row : kLayouts) {
        QStringList missing;
        int characteristic = 0;
        for (const char16_t* heading : row.characteristic) {
            if (!heading)
                continue;
            ++characteristic;
            if (!has(heading))
                missing << QString::fromUtf16(heading);
        }
        if (characteristic < 2 || missing.size() != 1)
            continue;
        int others = 0;
        for (const ColumnRule& rule : row.columns)
            for (QStringView alternative : QStringView(rule.headings).tokenize(u'|'))
                if (has(alternative)) {
                    ++others;
                    break;
                }
        if (others - (characteristic - 1) >= kOtherHeadingsAtLeast)
            return NearlyShopHeadings{row.shop, missing.front()};
    }
    return std::nullopt;
}

bool PersonParts::isEmpty() const
{
    return postalCode.isEmpty() && address.isEmpty() && building.isEmpty() && name.isEmpty() && company.isEmpty() &&
           telephone.isEmpty();
}

QString OrderParts::orderKey() const
{
    if (orderNumber.isEmpty())
        return {};
    return destinationId.isEmpty() ? orderNumber : orderNumber + QChar(0x1F) + destinationId;
}

namespace {

PersonParts personOf(const RecognisedLayout& layout, Person person, const QStringList& cells)
{
    const auto cell = [&](PersonPart part) {
        const int column = layout.column(person, part);
        return column >= 0 && column < cells.size() ? cleanCell(cells[column]) : QString();
    };
    PersonParts parts;
    // An order's later rows of a Shopify list leave every address cell
    // empty: nothing to join.
    const auto& columns = layout.personColumns[size_t(person)];
    if (std::all_of(columns.begin(), columns.end(),
                    [&](int column) { return column < 0 || column >= cells.size() || cells[column].isEmpty(); }))
        return parts;
    parts.postalCode = joinPostalCode(cell(P::PostalCode), cell(P::PostalCode1), cell(P::PostalCode2));
    parts.address =
        joinAddress({prefectureOfCode(cell(P::Prefecture)), cell(P::City), cell(P::Street)}, &parts.addressBreaks);
    if (parts.address.isEmpty())
        parts.address = cell(P::WholeAddress);
    QStringList building;
    for (const QString& part : {cell(P::Building), cell(P::Building2)})
        if (!part.isEmpty())
            building << part;
    parts.building = building.join(QLatin1Char(' '));
    parts.name = joinName(cell(P::FamilyName), cell(P::GivenName));
    if (parts.name.isEmpty())
        parts.name = cell(P::Name);
    parts.company = cell(P::Company);
    QString given = cell(P::Telephone);
    if (given.isEmpty()) {
        QStringList pieces;
        for (PersonPart part : {P::Telephone1, P::Telephone2, P::Telephone3})
            if (const QString piece = cell(part); !piece.isEmpty())
                pieces << piece;
        given = pieces.join(QLatin1Char('-'));
    }
    parts.telephone = domesticTelephone(given);
    parts.telephoneWasInternational = parts.telephone != given;
    return parts;
}

} // namespace

OrderParts extractOrderRow(const RecognisedLayout& layout, const QStringList& cells, bool buyer)
{
    const auto cell = [&](OrderPart part) {
        const int column = layout.column(part);
        return column >= 0 && column < cells.size() ? cleanCell(cells[column]) : QString();
    };
    OrderParts row;
    row.orderNumber = cell(O::OrderNumber);
    row.destinationId = cell(O::DestinationId);
    row.shipTo = personOf(layout, Person::ShipTo, cells);
    if (buyer || (row.shipTo.telephone.isEmpty() && !row.shipTo.isEmpty()))
        row.buyer = personOf(layout, Person::Buyer, cells);
    if (row.shipTo.telephone.isEmpty() && !row.shipTo.isEmpty() && !row.buyer.telephone.isEmpty()) {
        row.shipTo.telephone = row.buyer.telephone;
        row.shipTo.telephoneWasInternational = row.buyer.telephoneWasInternational;
        row.telephoneFromBuyer = true;
    }
    row.item.description = cell(O::ItemDescription);
    row.item.productNumber = cell(O::ProductNumber);
    row.item.quantity = plainNumber(cell(O::Quantity));
    row.item.unitPrice = plainNumber(cell(O::UnitPrice));
    return row;
}

void addRow(AssembledOrder& order, const OrderParts& row)
{
    if (order.rowCount++ == 0) {
        order.orderNumber = row.orderNumber;
        order.destinationId = row.destinationId;
    }
    if (!row.shipTo.isEmpty()) {
        if (order.shipTo.isEmpty()) {
            order.shipTo = row.shipTo;
            order.telephoneFromBuyer = row.telephoneFromBuyer;
        } else if (row.shipTo != order.shipTo) {
            order.shipToConflict = true;
        }
    }
    if (order.buyer.isEmpty())
        order.buyer = row.buyer;
    if (!row.item.isEmpty())
        order.items << row.item;
}

waybill::Address addressOf(const PersonParts& person, const LineFits& fitsLine1)
{
    waybill::Address address;
    address.postalCode = postalDigits(person.postalCode).value_or(person.postalCode);
    const AddressLines lines = splitAddress(person.address, fitsLine1, person.addressBreaks);
    address.line1 = lines.line1;
    QStringList line2;
    for (const QString& part : {lines.line2, person.building, person.company})
        if (!part.isEmpty())
            line2 << part;
    address.line2 = line2.join(QLatin1Char(' '));
    address.name = person.name;
    address.telephone = person.telephone;
    return address;
}

} // namespace orders
