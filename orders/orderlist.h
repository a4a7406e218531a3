#pragma once
// An order list opened for batch printing: the file's heading row, which
// column feeds which part of the waybill, and for every row where it starts,
// a fingerprint of its bytes, whether it can be printed and what the user did
// with it. Row texts are read from the file again when they are asked for,
// so a list of a million rows keeps about 24 bytes per row in memory; a row
// read again must match its fingerprint, so a file changed or cut short
// after it was checked never prints what was not checked. A row read again
// for its waybill alone has only the cells the waybill takes made text.
// Edits live here, never in the file.
//
// A list a shop platform wrote (recognised by its heading row, see
// shoplayouts.h) is read by orders: a "row" here is then one order to
// one address, made of every line of the file with its order number (and
// 送付先ID), wherever they stand; each of those lines keeps its own place
// and fingerprint, and all are read again and matched before a print.
#include "csv/reader.h"
#include "orders/columns.h"
#include "orders/mappingstore.h"
#include "orders/rows.h"
#include "orders/shoplayouts.h"

#include <QHash>
#include <array>
#include <memory>
#include <span>
#include <vector>

namespace orders {

enum class RowState {
    Unchecked, // not yet checked with the present columns and constants
    Printable,
    Refused,  // findingsAt() says why
    Excluded, // left out by the user, or a ご依頼主 row of an address-book export
    Printed,
};

enum class MappingSource {
    Remembered,    // as the user set it before for the same headings
    AddressBook,   // the program's own address-book export
    KnownHeadings, // recognised from the headings
    User,          // set in this session
    Shop,          // a shop platform's order list (shop() says which); rows are orders
};

// The order a row is for, as the shipping confirmations name it.
struct RowOrder {
    QString orderNumber;
    QString shipToId;    // the platform's id of the ship-to (RMS 送付先ID)
    QStringList lineIds; // the platform's ids of the order's lines (Amazon order-item-id)
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

    // Opens the file and reads its heading row; the encoding is detected
    // unless given. false: errorText() says why in Japanese.
    bool open(const QString& path, std::optional<csv::Encoding> encoding = std::nullopt);
    bool open(std::unique_ptr<QIODevice> device, std::optional<csv::Encoding> encoding = std::nullopt);
    // Forgets the file, its rows and the edits.
    void close();
    // Why open() failed or why reading stopped early.
    QString errorText() const { return m_errorText; }
    csv::Encoding encoding() const;

    const QStringList& headings() const { return m_headings; }
    const ColumnMap& columns() const { return m_columns; }
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
    // Labels of required parts no column feeds; rows are checked only when empty.
    QStringList missingFields() const;
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
    bool readingFailed() const { return m_readingFailed; }

    qint64 rowCount() const { return qint64(m_rows.size()); }
    qint64 lineOf(qint64 row) const { return m_rows[size_t(row)].line; }
    RowState state(qint64 row) const;
    qint64 countRows(RowState state) const;

    // The row's waybill: the edited one if the user edited it, else built
    // from the file (from no cells when the row cannot be read again as it
    // was: see checkedWaybillAt).
    waybill::Waybill waybillAt(qint64 row);
    // The same for printing: nothing when the row in the file is no longer
    // the one that was read and checked (changed, moved or cut off), and
    // `why` names its line and says what to do. With `order`, also the
    // order the row is for, from the same reading (an edited row's from the
    // file as it stands, empty when it no longer reads).
    std::optional<waybill::Waybill> checkedWaybillAt(qint64 row, QString& why, RowOrder* order = nullptr);
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
    bool byOrder() const { return m_layout.has_value(); }

private:
    struct Row {
        qint64 offsetBytes;
        size_t fingerprint; // of the bytes as first read (csv::Record::bytesHash)
        qint32 line;
        quint8 flags;
    };
    // A line of a shop's list, in file order.
    struct FileRecord {
        qint64 offsetBytes;
        size_t fingerprint;
        qint32 line;
        qint32 nextOfOrder; // the order's next line in m_records, -1: none
    };
    struct RecordPlace {
        qint64 offsetBytes;
        size_t fingerprint;
        qint64 line;
    };
    using Records = std::span<const csv::Record>;

    bool canCheck() const { return missingFields().isEmpty(); }
    void recheckAll();
    void forgetRows();
    csv::Reader::Step nextDataRecord(csv::Record& record, const csv::Reader::Columns* onlyColumns = nullptr);
    // The columns a waybill or an order number is made from.
    void findWaybillColumns();
    // Records are counted in file order: the rows of a list read line by
    // line, the entries of m_records of one read by orders.
    qint64 recordTotal() const;
    RecordPlace placeOf(qint64 record) const;
    std::vector<qint64> recordsOfRow(qint64 row) const;
    bool positionAfter(qint64 record);
    // Every line of the row as read again, or nothing (m_rowProblem says why).
    // Only the cells of m_waybillColumns are sure to be there unless `whole`
    // (every cell, as a check and the row's cells need).
    const std::vector<csv::Record>* recordsAt(qint64 row, bool whole);
    // Reads record `record` again; false (and m_rowProblem says why) when it
    // is not the one that was first read there.
    bool readRecordAgain(qint64 record, csv::Record& into, const csv::Reader::Columns* onlyColumns);
    void addOrderRecord(const csv::Record& record);
    void checkLatestOrder();
    QString orderKeyOf(const QStringList& cells) const;
    QList<Finding> findingsOf(qint64 row, Records records) const;
    // The record's cells as the waybill takes them: the program's own
    // address-book export has its formula guards taken off.
    QStringList cellsOf(const csv::Record& record) const;
    AssembledOrder assemble(Records records) const;
    waybill::Waybill waybillOf(Records records) const;
    waybill::Waybill orderWaybill(const AssembledOrder& order) const;
    LineFits lineFits(bool sender) const;
    void applyCheck(qint64 row, Records records);
    void failReading(const QString& text);

    MappingStore* m_store = nullptr;
    ListConstants m_constants;
    FitCheck m_fits;
    mutable std::array<qsizetype, 2> m_surelyFittingUnits{-1, -1}; // [recipient, sender] line 1; -1: not yet known

    std::unique_ptr<QIODevice> m_device;
    std::unique_ptr<csv::Reader> m_reader;
    QString m_errorText;
    bool m_readingFailed = false;
    QStringList m_headings;
    qint64 m_headerOffset = 0;
    qint64 m_headerLine = 1;
    ColumnMap m_columns;
    csv::Reader::Columns m_waybillColumns;
    MappingSource m_source = MappingSource::KnownHeadings;
    AddressBookFormat m_bookFormat = AddressBookFormat::None;

    std::optional<RecognisedLayout> m_layout; // a shop's list, read by orders

    std::vector<Row> m_rows;
    std::vector<FileRecord> m_records;           // by orders only
    std::vector<qint32> m_firstRecordOf;         // by orders only: each row's first line in m_records
    std::vector<qint32> m_lastRecordOf;          // while lines are found
    QHash<QString, qint32> m_rowOfOrderKey;      // while lines are found
    std::vector<csv::Record> m_latestOrderLines; // while lines are found: those of the last row begun
    bool m_allFound = false;
    size_t m_nextCheck = 0;     // rows before this one are checked
    qint64 m_cursorRecord = -1; // the reader's next record is the one after this one (-1: after the heading row)
    bool m_cursorValid = false;
    QHash<qint64, waybill::Waybill> m_edits;
    qint64 m_cachedRow = -1;
    bool m_cachedWhole = false;
    std::vector<csv::Record> m_cached;
    QString m_rowProblem; // why the last row read again was refused
};

} // namespace orders
