#pragma once
// The goods table (品名の置き換え): the short name a shop wants on its forms
// for a product code, or for a product's name as an order list writes it,
// kept in the book's database (a SQLite file or the server) beside the
// address book. Order lists take their goods' names through it before
// anything else is done to them (orders::GoodsNames); the main window offers
// its names in the 品名 box.
#include "storage/database.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace goods {

enum class MatchBy { ProductCode = 0, ListName = 1 }; // the numbers are stored

struct GoodsName {
    qint64 id = 0;
    MatchBy by = MatchBy::ProductCode;
    QString match;     // the product code or the list's name, as given
    QString shortName; // what the form's goods line says
    bool operator==(const GoodsName&) const = default;
};

// A code or name as it is compared: widths and case folded, blanks
// collapsed to one and trimmed (「ＴＥＡ－０１」 is 「tea-01」).
QString matchKey(const QString& text);

struct ImportResult {
    int added = 0;
    int replaced = 0; // a row of the same kind and code or name was there
};

class GoodsTable {
public:
    explicit GoodsTable(storage::Database& database) : m_database(database) {}

    // Every row, product codes first, each kind in the order of its codes
    // or names; `readWhole` (when given) says whether the table could be read.
    QList<GoodsName> all(bool* readWhole = nullptr);
    // Saves a row: a new one (id 0) or a change of row `id`. A row of the
    // same kind and code or name (another row's) takes the new short name,
    // and the changed one goes. The row's id, or nothing when the database
    // cannot be used or the row is not whole (no code or name, no short name).
    std::optional<qint64> save(const GoodsName& row);
    bool remove(qint64 id);
    // All or nothing, in one transaction; rows of a kind and code or name
    // already there take the imported short name.
    std::optional<ImportResult> importRows(const QList<GoodsName>& rows);

    // Changes with every change this program makes to any goods table, so a
    // copy read before knows to read again.
    static quint64 revision();

private:
    storage::Database& m_database;
};

// The names for an order list (orders::GoodsNames): the table read on the
// first look-up and again after any change made since; a product code
// first, then the list's name.
class GoodsNamesLookup {
public:
    explicit GoodsNamesLookup(storage::Database& database) : m_table(database) {}
    std::optional<QString> find(const QString& productCode, const QString& listName);

private:
    GoodsTable m_table;
    quint64 m_readAt = 0; // revision() + 1 when read; 0: never
    QHash<QString, QString> m_byCode;
    QHash<QString, QString> m_byName;
};

} // namespace goods
