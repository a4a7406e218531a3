#pragma once
// Order lists as the shop platforms export them: which platform wrote a
// list (told by its heading row, never by the file's name), which columns
// hold the ship-to, the buyer, the order number and the items, and one row
// read into those parts with split fields joined.
//
// How the order-list reader uses it:
//   1. recogniseLayout(headings) once per file; nothing: not a platform's
//      list, read it with recogniseHeadings() (columns.h) as before, which
//      also covers the program's own address-book export (one waybill per
//      row, 区分 column).
//   2. missingFields(layout) non-empty: the list lacks a part no waybill
//      can do without; say so naming shopName(layout.shop).
//   3. extractOrderRow(layout, cells) for every row. Rows with the same
//      OrderParts::orderKey() are one order (one waybill); addRow() puts
//      them together. A row whose key is empty is an order of its own.
//   4. addressOf(order.shipTo, fitsLine1) is the recipient; goodsLines()
//      (values.h) fills the goods lines from order.items. For
//      「ご依頼主: 注文者」 the sender is addressOf(order.buyer, ...).
//   5. columnsFeeding() names the columns behind a waybill part, for the
//      findings of checkWaybill() (rows.h).
#include "orders/columns.h"
#include "orders/values.h"
#include "waybill/waybill.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace orders {

enum class Shop {
    RakutenRms,            // 楽天ペイ受注管理 (RMS), present headings
    RakutenRmsOld,         // RMS before 楽天ペイ: other words, full-width digits
    AmazonUnshippedReport, // Seller Central 未出荷の注文レポート (tab-separated)
    AmazonOrderReport,     // Seller Central 注文レポート (tab-separated)
    YahooShopping,         // ストアクリエイターPro order file
    Shopify,               // Shopify orders export
};

// The platform's list as the user calls it: 「楽天市場の注文一覧」.
QString shopName(Shop shop);

// Whose address a column belongs to.
enum class Person { ShipTo, Buyer };

// What one column holds of a person's address.
enum class PersonPart {
    PostalCode,  // whole
    PostalCode1, // first 3 digits
    PostalCode2, // last 4 digits
    Prefecture,  // or an ISO 3166-2:JP code, JP-13
    City,
    Street, // town and house number, or all after the city
    Building,
    Building2,
    WholeAddress, // all of it in one cell; used where the parts are empty
    Name,         // whole
    FamilyName,   // 姓
    GivenName,    // 名
    Company,
    Telephone, // whole
    Telephone1,
    Telephone2,
    Telephone3,
};
inline constexpr int kPersonPartCount = int(PersonPart::Telephone3) + 1;

// What one column holds of the order or of one item.
enum class OrderPart {
    OrderNumber,
    DestinationId, // RMS 送付先ID: one order to several addresses
    ItemDescription,
    ProductNumber,
    Quantity,
    UnitPrice,
};
inline constexpr int kOrderPartCount = int(OrderPart::UnitPrice) + 1;

// A heading row recognised as a shop's list, with the column of each
// part it has (the columns counted from 0, as in the row's cells).
struct RecognisedLayout {
    Shop shop = Shop::RakutenRms;
    std::array<std::array<int, kPersonPartCount>, 2> personColumns; // [Person][PersonPart], -1: none
    std::array<int, kOrderPartCount> orderColumns;                  // -1: none

    RecognisedLayout()
    {
        for (auto& columns : personColumns)
            columns.fill(-1);
        orderColumns.fill(-1);
    }

    int column(Person person, PersonPart part) const { return personColumns[size_t(person)][size_t(part)]; }
    int column(OrderPart part) const { return orderColumns[size_t(part)]; }
    bool has(Person person, PersonPart part) const { return column(person, part) >= 0; }
    bool has(OrderPart part) const { return column(part) >= 0; }

    // The columns that feed one part of a waybill made for `person`, in
    // the order of the list's own parts: PostalCode the whole code or its
    // halves; Prefecture, City and AddressLine1 the first address line's
    // parts; AddressLine2/3 the building and company; Name the whole name
    // or 姓 and 名; Telephone the person's number (for the ship-to followed
    // by the buyer's, which stands in where the ship-to has none);
    // ItemDescription, ProductNumber and OrderNumber (with 送付先ID) the
    // order's. Empty for a part the list does not have.
    QList<int> columnsFeeding(Field field, Person person = Person::ShipTo) const;
};

// The platform whose list has these headings, with its columns resolved.
// A list is known by a few headings characteristic of it, compared after
// folding (full-width letters and digits half-width, capitals small,
// blanks and punctuation ignored): 送付先郵便番号１ is 送付先郵便番号1,
// "SHIPPING ZIP" is "Shipping Zip". Further, fewer (but for those few) or
// reordered columns do not matter. Where a heading appears twice the first
// counts. Nothing when no platform's list has these headings.
std::optional<RecognisedLayout> recogniseLayout(const QStringList& headings);

// The layout as one field per column (columns.h), the ship-to's parts on
// the fields they feed (姓 and 名 both on Name, the telephone's parts on
// Telephone: joined in column order), the buyer's on none: what the column
// dialog starts from, and what names a column in a row's findings.
ColumnMap columnsOfLayout(const RecognisedLayout& layout, int columnCount);

// Labels (fieldLabel) of the parts of the ship-to a waybill cannot do
// without that the list has no column for: the postal code (whole or both
// halves), the first address line (any part) and the name (whole or 姓).
QStringList missingFields(const RecognisedLayout& layout);

// For each label missingFields() gives, the columns the shop's list would
// have for it, as the shop writes their headings: 「送付先姓」, or
// 「ShipName」か「ShipLastName」 where either would do.
QStringList missingHeadings(const RecognisedLayout& layout);

// A heading row that is a shop's but for one of the few headings a shop's
// list is known by (renamed in a spreadsheet, or its column deleted), with
// enough of the shop's other headings that no other list is meant.
struct NearlyShopHeadings {
    Shop shop;
    QString missingHeading; // as the shop writes it
};
std::optional<NearlyShopHeadings> nearlyShopHeadings(const QStringList& headings);

// One person's address from one row: every cell cleaned (cleanCell), the
// parts joined (values.h): the postal code's halves with a hyphen, the
// prefecture (a JP-nn code as its name), city and street without a gap,
// 姓 and 名 with a space (a whole-name column only where both are empty),
// telephone parts with hyphens, an international number the domestic way.
struct PersonParts {
    QString postalCode;
    QString address;                // prefecture + city + street
    QList<qsizetype> addressBreaks; // where its parts meet (a line may break there)
    QString building;               // building parts, joined with a space
    QString name;
    QString company;
    QString telephone;
    bool telephoneWasInternational = false; // written +81…, given here the domestic way

    bool isEmpty() const;
    bool operator==(const PersonParts&) const = default;
};

// What one row of a shop's list says.
struct OrderParts {
    QString orderNumber;
    QString destinationId;
    PersonParts shipTo;
    PersonParts buyer;
    // The ship-to had no telephone number and has the buyer's (the waybill
    // takes the ship-to; the buyer's number only where it has none).
    bool telephoneFromBuyer = false;
    OrderItem item; // empty when the row names none

    // Rows with the same key are one order to one address: the order
    // number, and with RMS the 送付先ID (one waybill per destination).
    // Empty when the row has no order number.
    QString orderKey() const;
};

// Reads one row (short rows read as empty cells). Shopify leaves the
// address columns of an order's later rows empty: their ship-to and buyer
// are empty, and addRow() keeps those of the first row. Without `buyer`
// (the sender is not the buyer), the buyer is read only where his
// telephone number stands in for the ship-to's, and is empty otherwise.
OrderParts extractOrderRow(const RecognisedLayout& layout, const QStringList& cells, bool buyer = true);

// One order put together from its rows (those with one orderKey()).
struct AssembledOrder {
    QString orderNumber;
    QString destinationId;
    PersonParts shipTo; // of the first row that has one
    PersonParts buyer;  // likewise
    bool telephoneFromBuyer = false;
    QList<OrderItem> items; // one per row that names one, in row order
    int rowCount = 0;
    // A later row names another ship-to than the first: the rows are not
    // one parcel, and the order must not be printed as one waybill.
    bool shipToConflict = false;
};

void addRow(AssembledOrder& order, const OrderParts& row);

// The address block of a waybill for a person: the postal code as its
// seven digits where it has that shape (else as given, for the check to
// refuse), the address over the two lines (splitAddress with the parts'
// breaks; the building and then the company on line 2), name and
// telephone. No care-of line.
waybill::Address addressOf(const PersonParts& person, const LineFits& fitsLine1);

} // namespace orders
