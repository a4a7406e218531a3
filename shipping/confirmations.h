#pragma once
// Shipping confirmations: the files a shop uploads to its platform to mark
// orders shipped and tell each customer the carrier and tracking number.
// One table row per format (formatRows()), with the layout each platform
// publishes, and one row per platform and carrier for the carrier code.
//
// What could not be confirmed in public sources is written the safest known
// way and said in Written::notes, for the user to read before uploading.
#include "common/result.h"
#include "csv/encoding.h"
#include "tracking/trackingnumber.h"

#include <QDate>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace shipping {

enum class Format { Amazon, Rakuten, Yahoo, Shopify, Generic };

// What a column of a format holds.
enum class Value {
    Blank,
    Fixed, // the column's fixed text
    OrderNumber,
    ShipToId,       // the platform's id of the ship-to (RMS 送付先ID)
    ShipDate,       // in the format's date pattern
    CarrierCode,    // the platform's code (carrierCodeRows())
    CarrierName,    // the platform's name for the carrier
    TrackingDigits, // half-width digits only
    SecondTrackingDigits,
    TrackingDisplay, // as printed on the form, 4-4-4
    RecipientName,
};

struct Column {
    const char16_t* heading;
    Value value;
    const char16_t* fixedText = nullptr;
    const char16_t* label = nullptr; // the column's words on a labels row above the headings
};

struct FormatRow {
    Format format;
    const char16_t* token;      // command line (--shipped FORMAT): never changes
    const char16_t* label;      // on screen
    const char16_t* fileSuffix; // without the dot
    char16_t delimiter;         // ',' (quoted CSV) or '\t' (unquoted, no tab or line break in a field)
    csv::Encoding encoding;
    bool byteOrderMark;          // a UTF-8 file begins with one
    const char16_t* datePattern; // QDate::toString pattern
    int numbersPerRecord;        // tracking numbers one record carries
    bool needsOrderNumber;       // orders without a number are left out
    QList<Column> columns;
    // The platform's own first row, its cells separated by tabs, before the
    // labels (where the columns have them) and the headings; nullptr: none.
    const char16_t* templateRow = nullptr;
    // Holds only the parcels of orders from this platform's own lists
    // (every format but Generic).
    bool ownParcelsOnly = true;
};

const QList<FormatRow>& formatRows();
const FormatRow& formatRow(Format format);
// The format a command-line word names (case does not matter), or a message
// listing the words there are.
Result<Format> formatFromToken(const QString& token);
QString formatTokenChoices(); // "amazon|rakuten|yahoo|shopify|generic"

// How sure the carrier code of a platform is.
enum class CodeStatus {
    Confirmed,
    // The platform's own code is not confirmed; what is written is a stand-in
    // the row's comment explains, and Written::notes says so.
    Substitute,
};

struct CarrierCodeRow {
    Format format;
    tracking::Carrier carrier;
    const char16_t* code; // empty: the column is left blank
    const char16_t* name; // the platform's name for the carrier
    CodeStatus status;
};
const QList<CarrierCodeRow>& carrierCodeRows();
// nullptr for Generic, which names the carrier as the program does.
const CarrierCodeRow* carrierCode(Format format, tracking::Carrier carrier);

// One parcel shipped: the form it carries (never a spoiled one) and what the
// history knows of its order.
struct ShippedParcel {
    QString orderNumber; // empty when printed without an order
    QString shipToId;    // the platform's id of the ship-to (RMS 送付先ID); empty: none
    // The platform whose own list the order was printed from; none: the
    // window, another list, or a page recorded before the history kept it.
    std::optional<Format> platform;
    // The number on the parcel's form; none when the form carried no known
    // number.
    std::optional<tracking::TrackingNumber> trackingNumber;
    QDate shipDate;
    QString recipientName;
};

struct Written {
    int orderCount = 0;  // orders in the file
    int parcelCount = 0; // parcels (forms) in the file
    int recordCount = 0; // records under the heading row
    // Sentences for the user: parcels left out and why, stand-in carrier
    // codes, numbers the format has no room for. Empty when nothing to say.
    QStringList notes;
};

// Writes `parcels` as `format` to `device`: the heading rows, then the
// parcels of this platform's orders (Generic: all), one record per parcel
// (Yahoo!: one per order, its first two parcels' numbers in it). Parcels with
// the same order number, ship-to id and carrier are one order, in the order
// given; a number given twice is one parcel. Orders without an order number
// go only into Generic; Generic alone also lists parcels without a tracking
// number.
//
// Everything is laid out before the first byte goes to the device: text the
// encoding cannot hold (CP932 has no 𠮷) refuses the whole file with the
// order and characters named, and nothing is written. A device failing
// midway leaves a partial file, so give a file that replaces the old one
// only when committed.
Result<Written> writeConfirmations(Format format, const QList<ShippedParcel>& parcels, QIODevice& device);

} // namespace shipping
