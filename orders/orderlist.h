#pragma once
// An order list opened for batch printing, as the window and the command
// line use it: the file's heading row, which column feeds which part of
// the waybill, and for every row whether it can be printed and what the
// user did with it. The work is shared out: ListFile reads the file line
// by line and reads a line again only as it was first read (so a list of a
// million rows keeps about 25 bytes per row in memory, and a file changed
// or cut short after it was checked never prints what was not checked);
// OrderGroups gathers a shop's lines into orders; RowWaybills makes a row's
// waybill and RowChecks checks it; RowMarks keeps each row's state. A row
// read again for its waybill alone has only the cells the waybill takes
// made text. Edits live here, never in the file.
//
// A list a shop platform wrote (recognised by its heading row, see
// shoplayouts.h) is read by orders: a "row" here is then one order to
// one address, made of every line of the file with its order number (and
// 送付先ID), wherever they stand; each of those lines keeps its own place
// and fingerprint, and all are read again and matched before a print.
#include "orders/listfile.h"
#include "orders/mappingstore.h"
#include "orders/ordergroups.h"
#include "orders/rowchecks.h"
#include "orders/rowmarks.h"
#include "orders/rowwaybills.h"

#include <QHash>
#include <memory>
#include <vector>

namespace orders {

enum class MappingSource {
    Remembered,    // as the user set it before for the same headings
    AddressBook,   // the program's own address-book export
    KnownHeadings, // recognised from the headings
    User,          // set in this session
    Shop,          // a shop platform's order list (shop() says which); rows are orders
};

class OrderList {
public:
    OrderList();
    ~OrderList();
    OrderList(const OrderList&) = delete;
    OrderList& operator=(const OrderList&) = delete;

    // Asked for remembered columns by open(), told of the user's by setColumns().
    void setMappingStore(MappingStore* store) { m_store = store; }
    void setConstants(const ListConstants& constants);
    void setFitCheck(FitCheck fits);
    // Whether a text stands in its place as it is, not narrowed: a shop's
    // address is split over the two lines by it. Without one the fit check
    // serves.
    void setNaturalFitCheck(FitCheck fitsAsIs);

    // Opens the file and reads its heading row; the encoding is detected
    // unless given. false: errorText() says why in Japanese.
    bool open(const QString& path, std::optional<csv::Encoding> encoding = std::nullopt);
    bool open(std::unique_ptr<QIODevice> device, std::optional<csv::Encoding> encoding = std::nullopt);
    // Forgets the file, its rows and the edits.
    void close();
    // Why open() failed or why reading stopped early.
    QString errorText() const { return m_file.errorText(); }
    csv::Encoding encoding() const;

    const QStringList& headings() const { return m_shape.headings; }
    const ColumnMap& columns() const { return m_shape.columns; }
    MappingSource mappingSource() const { return m_source; }
    // The platform whose list this is, when it is read by orders.
    std::optional<Shop> shop() const;
    // Lines of the file read so far (rowCount() counts orders on a
    // platform's list, lines on any other).
    qint64 fileRowCount() const;
    // What the user should hear about columns taken from the headings alone
    // (see orders::headingNotes); none once the user or a remembered choice
    // set them.
    QStringList headingNotes() const;
    // Labels of required parts no column feeds; rows are checked only when
    // empty. On a shop's list each names the shop's column too.
    QStringList missingFields() const;
    // The list's headings are a shop's but for one it is known by
    // (nearlyShopHeadings): which shop's list and which column, in a
    // sentence, while its columns came from the headings alone; else empty.
    // Also the first of headingNotes().
    QString nearlyShopNote() const;
    // One field per heading. false when the size is wrong or a field that
    // cannot be joined is set twice. Remembered for these headings; every
    // row is checked again. A shop's list is then read line by line,
    // one waybill each, and its edits are forgotten.
    bool setColumns(const ColumnMap& map);

    // Reads and checks up to `maxRows` more rows; true once all are done.
    // Call it again from the event loop until then; 2000 rows take about
    // 8 ms of processor time.
    bool readMore(int maxRows = 2000);
    bool isComplete() const;
    // From 0 to 1: how much of the file has been read, or of the rows checked
    // again after a change of columns or constants.
    double progress() const;
    // Reading stopped at a fault in the file; the rows before it remain.
    bool readingFailed() const { return m_file.failed(); }

    qint64 rowCount() const { return m_marks.size(); }
    qint64 lineOf(qint64 row) const { return m_file.lineNumberOf(byOrder() ? m_groups.firstLineOf(row) : row); }
    RowState state(qint64 row) const;
    qint64 countRows(RowState state) const;

    // The row's waybill: the edited one if the user edited it, else built
    // from the file (from no cells when the row cannot be read again as it
    // was: see checkedWaybillAt).
    waybill::Waybill waybillAt(qint64 row);
    // The same for printing: nothing when the row in the file is no longer
    // the one that was read and checked (changed, moved or cut off), and
    // `why` names its line and says what to do.
    std::optional<waybill::Waybill> checkedWaybillAt(qint64 row, QString& why);
    // The next row asked for is read from the file, not from what was read
    // ahead or kept: a print starts with this, so a file changed since its
    // rows were checked is found.
    void forgetReadAhead();
    QList<Finding> findingsAt(qint64 row);
    QString orderNumberAt(qint64 row);
    QStringList cellsAt(qint64 row);

    void setExcluded(qint64 row, bool excluded);
    void setPrinted(qint64 row);
    void setEdited(qint64 row, const waybill::Waybill& waybill);
    void revertEdit(qint64 row);
    bool isEdited(qint64 row) const { return m_edits.contains(row); }

    // A shop platform's list, read by order: a row is an order of one or
    // more lines rather than one line.
    bool byOrder() const { return m_shape.layout.has_value(); }

private:
    bool canCheck() const { return missingFields().isEmpty(); }
    void recheckAll();
    void forgetRows();
    // The columns a waybill or an order number is made from.
    void findWaybillColumns();
    // The file's lines (counted from 0) that make the row.
    std::vector<qint64> linesOfRow(qint64 row) const;
    // Every line of the row as read again, or nothing (m_file.problem()
    // says why). Only the cells of m_waybillColumns are sure to be there
    // unless `whole` (every cell, as a check and the row's cells need).
    const std::vector<csv::Record>* recordsAt(qint64 row, bool whole);
    // A line of a shop's list found: to its order.
    void addOrderLine(const csv::Record& record);
    void checkLatestOrder();
    void applyCheck(qint64 row, Records records);
    // The columns from the heading row: remembered, a shop's or known.
    void takeHeadings();

    MappingStore* m_store = nullptr;
    ListFile m_file;
    ListShape m_shape;
    RowWaybills m_waybills{m_shape};
    RowChecks m_checks{m_shape, m_waybills};
    RowMarks m_marks;     // one per row: a line, or an order of a shop's list
    OrderGroups m_groups; // a shop's list: its lines in orders
    csv::Reader::Columns m_waybillColumns;
    MappingSource m_source = MappingSource::KnownHeadings;
    std::optional<NearlyShopHeadings> m_nearlyShop;

    std::vector<csv::Record> m_latestOrderLines; // while lines are found: those of the last order begun
    bool m_allFound = false;
    size_t m_nextCheck = 0; // rows before this one are checked
    QHash<qint64, waybill::Waybill> m_edits;
    qint64 m_cachedRow = -1;
    bool m_cachedWhole = false;
    std::vector<csv::Record> m_cached;
};

} // namespace orders
