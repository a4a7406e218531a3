#pragma once
// Which column of an order list feeds which part of a waybill. A heading row
// is matched against one table of known headings (Japanese order exports,
// English marketplace reports and the program's own address-book export);
// what is not recognised the user assigns, and the assignment is remembered
// for that heading row.
#include "waybill/waybill.h"

#include <QDateTime>
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
    CareOfShown, // whether the care-of line prints: 印刷する or 印刷しない (the address book's export)
    LastUsed,    // when an address-book entry was last used; not printed, never chosen by the user
    Reading,     // the reading (フリガナ) of an address-book entry's name; not printed
};

// The word a field is stored under (never changes) and its name on screen.
QString fieldWord(Field field);
std::optional<Field> fieldOfWord(const QString& word);
QString fieldLabel(Field field);
// Every field a column can be set to, None first, in the order a choice lists them.
QList<Field> assignableFields();
// The text of the LastUsed column, and back (nothing when it is not a time).
QString lastUsedText(const QDateTime& lastUsed);
std::optional<QDateTime> lastUsedOf(const QString& text);

// The program's own address-book export: these headings, in this order.
// Every stored property of an entry has its column. Files of the first
// format, written before the care-of switch and the last use had columns,
// have the first seven.
struct AddressBookColumn {
    Field field;
    const char16_t* heading;
};
const QList<AddressBookColumn>& addressBookColumns();
QStringList addressBookHeadings();
enum class AddressBookFormat { None, First, Current };
// Which format of the export a heading row is: every heading must match, in
// order (folded as normalizedHeading does).
AddressBookFormat addressBookFormat(const QStringList& headings);
// A cell of the export as it was stored: the quote that csv::Writer put
// before a text a spreadsheet would run as a formula is taken off again, and
// only that one. The first format did not guard a text that began with '
// itself; there only a quote before = + - @ (or a tab or CR) was put on.
QString withoutFormulaGuard(const QString& cell, AddressBookFormat format);
// The values of the 区分 column.
QString recipientKindText();
QString senderKindText();
// The values of the 様方を印刷 column.
QString careOfShownText(bool shown);
// The column's value: true or false, or nothing for a text that is neither.
std::optional<bool> careOfShownOf(const QString& text);
// One address as a record of the address-book export, in the order of
// addressBookHeadings(): the care-of text whether shown or not, the switch,
// and the last use in UTC with milliseconds (ISO 8601).
QStringList addressBookRecord(bool isSender, const waybill::Address& address, const QDateTime& lastUsed = {},
                              const QString& reading = {});

// A heading as it is compared: blanks, hyphens, underscores and dots
// dropped, full-width letters and digits made half-width, half-width kana
// made full-width, capitals made small.
QString normalizedHeading(const QString& heading);

// One field per column. A field goes to at most one column: when several
// headings name it, the one the known-headings table lists first wins.
// 区分 becomes Kind only in the address-book heading row.
using ColumnMap = QList<Field>;
ColumnMap recogniseHeadings(const QStringList& headings);
bool isAddressBookHeader(const QStringList& headings);

// The columns no field feeds yet, filled with the fields their headings
// suggest (宛先氏名, お客様TEL, 配送先〒), each field once; a second address
// column becomes the second line. Only a suggestion: the user confirms it.
ColumnMap suggestedColumns(const QStringList& headings, ColumnMap map);

// What the user should hear about columns recognised from their headings
// alone, one sentence each: a heading several columns share (the first is
// used), and a heading not recognised that looks like a printed part no
// column feeds (that part then prints empty).
QStringList headingNotes(const QStringList& headings, const ColumnMap& map);

// Whether several columns may feed one field, joined in column order as
// the field is written: a name's parts with a space, a telephone number's
// and a postal code's with hyphens, an address's without a gap (the
// second line's with a space), an item description's with a space.
bool isJoinable(Field field);

// Labels of the fields a waybill cannot do without that `map` leaves out:
// the postal code (whole or both halves), the name and the first address
// line (any of its parts). Empty when the map is usable.
QStringList missingFields(const ColumnMap& map);
// The first field set on two columns that cannot be joined, or None.
Field duplicatedField(const ColumnMap& map);

// A stable key for a heading row, for remembering the user's assignment.
QString headerKey(const QStringList& headings);

} // namespace orders
