#pragma once
// The print history: one row per printed waybill, kept so a spoiled form can
// be printed again and a past parcel found by name, telephone, postal code,
// address or date.
#include "storage/database.h"
#include "tracking/trackingnumber.h"
#include "waybill/waybill.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace history {

// Where a printed waybill came from.
struct Origin {
    enum class Kind {
        Unknown, // recorded before the history kept it
        Window,  // typed in the main window
        List,    // a row of an order list read through its columns
        ShopList // an order of a shop platform's own list
    };
    Kind kind = Kind::Unknown;
    QString shopToken; // ShopList: which platform's list (orders::shopToken)

    // As the history keeps it: window, list, shop/<shopToken>; empty for Unknown.
    QString token() const;
    static Origin fromToken(const QString& token);
    bool operator==(const Origin&) const = default;
};

struct PrintRecord {
    QDateTime printedAt; // when recorded without one: now
    QString destination; // the printer queue, or the PDF file written instead
    double offsetXTenthMm = 0;
    double offsetYTenthMm = 0;
    std::optional<QString> orderNumber;
    waybill::Waybill waybill;
    // The number pre-printed on the form the page went on; nothing when the
    // form carried none the program knew (a PDF, a printer without a stack).
    std::optional<tracking::TrackingNumber> trackingNumber;
    // Made by the station for each page (empty: none); a page recorded twice
    // under one id is one row.
    QString stationRowId;
    Origin origin;
    // The platform's own id of the ship-to (楽天 RMS 送付先ID, one per
    // address of an order to several); empty: none.
    QString shipToId;
    // The platform's ids of the order's lines on this page (Amazon
    // order-item-id), in the list's order.
    QStringList lineIds;

    bool operator==(const PrintRecord&) const = default;
};

struct HistoryEntry {
    qint64 id = 0;
    PrintRecord record;
};

// Every filled-in field must match; a text matches where it occurs anywhere in
// the field of either address block (in the loose form of
// storage::searchKey). Times: printedFrom inclusive, printedBefore exclusive.
struct HistoryQuery {
    QString name; // name or care-of line
    QString telephone;
    QString postalCode;
    QString address; // either address line
    QString orderNumber;
    // A form's number as typed or scanned (hyphens, blanks, full-width
    // digits and barcode letters are dropped): its digits anywhere in the
    // page's number.
    QString trackingNumber;
    QDateTime printedFrom;
    QDateTime printedBefore;
    int limit = 100;
    int offset = 0;
};

// Why a form is spoiled; its number never goes on a parcel.
enum class SpoiledReason {
    Unknown,   // recorded before the history kept it
    Skipped,   // 1枚飛ばす: torn or misprinted before anything was printed on it
    TestMarks, // the test print's marks went on it
    Reprinted, // its page was printed again on another form, which the parcel carries
};

// A form that no parcel carries.
struct SpoiledForm {
    QDateTime spoiledAt;
    QString destination; // the printer queue the form was in
    tracking::TrackingNumber trackingNumber;
    SpoiledReason reason = SpoiledReason::Skipped;
    QString orderNumber;  // Reprinted: the order whose page it carried
    QString stationRowId; // made by the station (empty: none); one row per id
};

struct SpoiledEntry {
    qint64 id = 0;
    SpoiledForm form;
};

// What a form's number has been used for, as asked of numbersUsed().
enum class NumberUse { PrintedPage = 1, SpoiledForm = 2, Either = 3 };
// The columns of a history row, in the order historyEntryFrom reads them
// (for reading a file of the history's tables another way, as a damaged
// one is read).
QString historyColumns();
// The entry a row of those columns holds; nothing when its waybill no
// longer reads.
std::optional<HistoryEntry> historyEntryFrom(const QSqlQuery& row);
// The same for a spoiled form's row.
QString spoiledColumns();
std::optional<SpoiledEntry> spoiledEntryFrom(const QSqlQuery& row);

class History {
public:
    explicit History(storage::Database& database) : m_database(database) {}

    // The id of the new row; nothing when the database cannot be used (the
    // database then has a problem for the caller to show).
    std::optional<qint64> record(const PrintRecord& record);
    // The records of one document, all or none, in one transaction; each is
    // asked for once, so a long document is never held whole, and one
    // answered with nothing is left out. false when the database cannot be
    // used (it then has a problem for the caller to show).
    // `added`, when given, counts the rows that were new (not a station's id
    // recorded before).
    bool recordAll(int count, const std::function<std::optional<PrintRecord>(int index)>& recordAt,
                   std::optional<qint64>* lastId = nullptr, int* added = nullptr);
    // Newest first.
    QList<HistoryEntry> list(int limit, int offset = 0);
    QList<HistoryEntry> search(const HistoryQuery& query);
    std::optional<HistoryEntry> get(qint64 id);

    // For a station's queue of pages waiting for the server: the rows in the
    // order recorded, and forgetting them once sent.
    QList<HistoryEntry> oldestFirst(int limit, qint64 afterId = 0);
    bool removeThrough(qint64 id);
    // Records a spoiled form (once per station id); false when the
    // database cannot be used (it then has a problem for the caller to show).
    bool recordSpoiled(const SpoiledForm& form);
    // Spoiled forms of [from, before) (either may be invalid: no bound),
    // newest first.
    QList<SpoiledForm> spoiledForms(const QDateTime& from = {}, const QDateTime& before = {}, int limit = 1000);
    // For a station's queue and a move to a server: in the order recorded.
    QList<SpoiledEntry> spoiledOldestFirst(int limit, qint64 afterId = 0);
    bool removeSpoiledThrough(qint64 id);

    // Of `numbers`, those the history holds for `use` (same carrier and
    // digits), in the order given; nothing when it cannot be read (the
    // database then has a problem for the caller to show).
    std::optional<QList<tracking::TrackingNumber>> numbersUsed(const QList<tracking::TrackingNumber>& numbers,
                                                               NumberUse use = NumberUse::Either);

private:
    storage::Database& m_database;
};

} // namespace history
