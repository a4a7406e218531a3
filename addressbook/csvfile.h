#pragma once
// The address book as a CSV file and back, in the program's own address-book
// format (orders/columns.h): a heading row, then one row per entry with its
// kind (お届け先 or ご依頼主), the reading (フリガナ) of its name last. Written as UTF-8 with a byte-order mark or as
// CP932; read in either.
#include "addressbook/addressbook.h"
#include "csv/encoding.h"
#include "orders/columns.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <memory>

namespace csv {
class Reader;
}

namespace addressbook {

// An entry the chosen encoding cannot hold (𠮷 in CP932).
struct UnwritableEntry {
    Kind kind = Kind::Recipient;
    waybill::Address address;
    QString characters; // the characters the encoding lacks, once each
};

struct CsvExport {
    bool ok = false;
    int written = 0;                   // entries written
    QList<UnwritableEntry> unwritable; // entries left out; the file is then not to be kept
    QString errorText;                 // why writing or reading the book failed
};

// Writes every entry into an open device. Entries the encoding cannot hold
// are left out and listed: no substitute character ever goes into the file.
CsvExport writeCsv(AddressBook& book, QIODevice& device, csv::Encoding encoding);

// Reads an address-book CSV a piece at a time, so that a window can show
// progress between the pieces; the entries go into the book in one
// transaction afterwards (AddressBook::importEntries).
class CsvReading {
public:
    // The device must be open for reading and seekable.
    explicit CsvReading(QIODevice& device);
    ~CsvReading();
    CsvReading(const CsvReading&) = delete;
    CsvReading& operator=(const CsvReading&) = delete;

    // Settles the encoding and reads the heading row. false: errorText()
    // says why (not CSV text, not the address-book headings).
    bool start();
    // Reads up to `maxRecords` more rows; true once the file is done (or
    // reading failed: then errorText() is set and the rows before stay).
    bool readMore(int maxRecords);
    // How much of the file has been read, from 0 to 1.
    double progress() const;

    csv::Encoding encoding() const;
    const QList<ImportEntry>& entries() const { return m_entries; }
    // Rows left out, each as "N行目：why", in the order met.
    const QStringList& skippedRows() const { return m_skipped; }
    QString errorText() const { return m_errorText; }

private:
    QIODevice& m_device;
    std::unique_ptr<csv::Reader> m_reader;
    orders::AddressBookFormat m_format = orders::AddressBookFormat::None;
    qsizetype m_columns = 0;
    qint64 m_sizeBytes = 0;
    bool m_done = false;
    QList<ImportEntry> m_entries;
    QStringList m_skipped;
    QString m_errorText;
};

} // namespace addressbook
