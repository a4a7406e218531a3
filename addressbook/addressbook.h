#pragma once
// Saved addresses, recipients and senders, found again as the user types.
#include "storage/database.h"
#include "waybill/waybill.h"

#include <QDateTime>
#include <QList>
#include <functional>
#include <optional>

namespace addressbook {

enum class Kind { Recipient = 0, Sender = 1 }; // the numbers are stored

struct AddressEntry {
    qint64 id = 0;
    Kind kind = Kind::Recipient;
    waybill::Address address;
    QDateTime lastUsed;
    QString reading; // フリガナ of the name, as typed; found like the name, never printed
};

struct ImportEntry {
    Kind kind = Kind::Recipient;
    waybill::Address address;
    QDateTime lastUsed; // invalid: the time of the import
    QString reading;
};

struct ImportResult {
    int added = 0;
    int merged = 0; // identical to an entry already there (or earlier in the import)
};

class AddressBook {
public:
    explicit AddressBook(storage::Database& database) : m_database(database) {}

    // Saves an address used at usedAt (invalid: now). An identical address of
    // the same kind is not added again: that entry becomes the used one, and
    // takes the reading when one is given. The id of the entry, or nothing
    // when the database cannot be used.
    std::optional<qint64> save(Kind kind, const waybill::Address& address, const QDateTime& usedAt = {},
                               const QString& reading = {});
    // Changes an entry's address, and its reading when one is given; its
    // kind and last use stay. When the new address equals another entry of
    // the kind, the two become one (the other, with the later of both last
    // uses, and this one's reading where it has one). The id of the entry
    // that remains.
    std::optional<qint64> edit(qint64 id, const waybill::Address& address,
                               const std::optional<QString>& reading = std::nullopt);
    bool remove(qint64 id);
    std::optional<AddressEntry> get(qint64 id);
    // Marks an entry as just used, for the order of the lists.
    bool markUsed(qint64 id, const QDateTime& usedAt = {});

    // Entries of the kind whose name, reading, telephone, postal code,
    // address or care-of line contains the typed text (in the loose form of
    // storage::searchKey), most recently used first. An empty text lists the
    // most recently used.
    // `readWhole`, when given, is set to whether the book could be read
    // (an empty list is then truly empty).
    QList<AddressEntry> search(Kind kind, const QString& typed, int limit = 20, bool* readWhole = nullptr);
    // Most recently used first, for the drop-down lists of the sender block.
    QList<AddressEntry> recent(Kind kind, int limit = 20, bool* readWhole = nullptr);

    // Every entry, recipients first, each kind in the order saved; false when
    // reading failed part way. visit returns false to stop early.
    bool forEach(const std::function<bool(const AddressEntry&)>& visit);
    // All or nothing, in one transaction; identical addresses merge as in save.
    std::optional<ImportResult> importEntries(const QList<ImportEntry>& entries);

private:
    storage::Database& m_database;
};

} // namespace addressbook
