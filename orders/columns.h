#pragma once
// Which column of an order list feeds which part of a waybill. A heading row
// is matched against one table of known headings (Japanese order exports,
// English marketplace reports and the program's own address-book export);
// what is not recognised the user assigns, and the assignment is remembered
// for that heading row.
#include "waybill/waybill.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orders {

// The parts of a row a column can feed. Split parts are joined when a
// waybill is built: the prefecture, city and AddressLine1 (street and
// number) make the first address line, AddressLine2 and AddressLine3 the
// second; PostalCode1 and PostalCode2 are the two halves of a postal code.
enum class Field {
    None,
    Kind, // address-book rows: お届け先 or ご依頼主
    PostalCode,
    PostalCode1,
    PostalCode2,
    Prefecture,
    City,
    AddressLine1,
    AddressLine2,
    AddressLine3,
    Name,
    CareOf,
    Telephone,
    ItemDescription,
    ProductNumber,
    OrderNumber,
};

// The word a field is stored under (never changes) and its name on screen.
QString fieldWord(Field field);
std::optional<Field> fieldOfWord(const QString& word);
QString fieldLabel(Field field);
// Every field a column can be set to, None first, in the order a choice lists them.
QList<Field> assignableFields();

// The program's own address-book export: these headings, in this order.
struct AddressBookColumn {
    Field field;
    const char16_t* heading;
};
const QList<AddressBookColumn>& addressBookColumns();
QStringList addressBookHeadings();
// The column after those, in exports since readings were kept: the reading
// (フリガナ) of the entry's name. Files without it are read as before.
QString addressBookReadingHeading();
// The values of the 区分 column.
QString recipientKindText();
QString senderKindText();
// One address as a record of the address-book export, in the order of
// addressBookHeadings(); the care-of text goes out whether shown or not.
QStringList addressBookRecord(bool isSender, const waybill::Address& address);

// A heading as it is compared: blanks, hyphens, underscores and dots
// dropped, full-width letters and digits made half-width, half-width kana
// made full-width, capitals made small.
QString normalizedHeading(const QString& heading);

// One field per column. A field goes to at most one column: when several
// headings name it, the one the known-headings table lists first wins.
// 区分 becomes Kind only in the address-book heading row.
using ColumnMap = QList<Field>;
ColumnMap recogniseHeadings(const QStringList& headings);
// The address-book headings, with or without the reading's after them.
bool isAddressBookHeader(const QStringList& headings);

// Labels of the fields a waybill cannot do without that `map` leaves out:
// the postal code (whole or both halves), the name and the first address
// line (any of its parts). Empty when the map is usable.
QStringList missingFields(const ColumnMap& map);
// The first field set on two columns, or None.
Field duplicatedField(const ColumnMap& map);

// A stable key for a heading row, for remembering the user's assignment.
QString headerKey(const QStringList& headings);

} // namespace orders
