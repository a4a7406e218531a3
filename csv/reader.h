#pragma once
// Reads CSV records one at a time from a file, with libcsv doing the parsing:
// quoted fields may hold commas, quotes ("" for one) and line breaks; records
// end in CR LF, LF or CR; blank lines are skipped; blanks around an unquoted
// field are dropped. Only a window of the file is in memory at any time, and
// each record says where it starts, so that a list of a million rows can keep
// just the offsets and read a row again when it is needed.
#include "csv/encoding.h"

#include <QIODevice>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

struct csv_parser;

namespace csv {

struct Record {
    qint64 offsetBytes = 0; // where the record starts in the device
    qint64 line = 0;        // the physical line (from 1) it starts on
    QStringList fields;
    // The first field whose bytes are not characters of the encoding, or -1.
    // Its text then holds substitutes, and `problem` says so in Japanese.
    int badColumn = -1;
    QString problem;
    // Of the record's bytes as they stand in the file, the line break that
    // ends it not counted: the same bytes give the same value in one run.
    size_t bytesHash = 0;
};

class Reader {
public:
    struct Options {
        std::optional<Encoding> encoding; // detected from the bytes unless given
        qint64 maxRecordBytes = 1 << 20;  // a longer record is an error (an unclosed quote, or not CSV)
        int maxFields = 10000;
        // A first line with more tabs than commas makes the file
        // tab-separated (as marketplace reports are), read without quoting.
        bool tabsByHeading = false;
    };

    // The device must be open for reading and seekable; reading starts at its
    // current position.
    explicit Reader(QIODevice& device);
    Reader(QIODevice& device, Options options);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Settles the encoding and skips a byte-order mark. false when the file
    // cannot be read as CSV text; errorText() says why.
    bool start();
    Encoding encoding() const { return m_encoding; }
    bool hasByteOrderMark() const { return m_bomBytes > 0; }
    // Fields are separated by tabs, not commas (Options::tabsByHeading).
    bool isTabSeparated() const { return m_tabSeparated; }

    enum class Step { Record, End, Failed };
    // The columns (from 0) a record is read for: those marked true.
    using Columns = std::vector<bool>;
    // The next record. Failed is final: malformed quoting, a NUL byte, an
    // overlong record or a read error; errorText() and errorLine() tell.
    // With `onlyColumns`, the fields made text are those it marks and
    // those up to the first that holds more than blanks (so that a record
    // of blanks still reads as one); the others are empty, their number
    // kept, and badColumn tells of the fields made text only: for reading
    // a record again for a few of its many cells.
    Step next(Record& record, const Columns* onlyColumns = nullptr);
    // Reads the record that starts at `offsetBytes` (an offset an earlier
    // record reported) and carries on from there; `line` is its line number.
    Step readAt(qint64 offsetBytes, qint64 line, Record& record, const Columns* onlyColumns = nullptr);

    QString errorText() const { return m_errorText; }
    qint64 errorLine() const { return m_errorLine; }
    // Bytes of the device consumed so far, for progress.
    qint64 positionBytes() const { return m_bufferOffset + m_bufferPos; }

private:
    static void onField(void* bytes, size_t length, void* self);
    static void onRecordEnd(int terminator, void* self);

    void resetParser();
    bool refill();
    Step fail(qint64 line, const QString& text);
    Step finishAtEnd(Record& record, const Columns* onlyColumns);
    void takeRecord(Record& record, const Columns* onlyColumns, bool endedByLineBreak);
    bool inQuotedField() const;
    bool betweenRecords() const;

    QIODevice& m_device;
    Options m_options;
    Encoding m_encoding = Encoding::Utf8;
    Encoding m_detected = Encoding::Utf8; // what the content says, given an encoding or not
    std::unique_ptr<FieldDecoder> m_decoder;
    std::unique_ptr<csv_parser> m_parser;
    qint64 m_bomBytes = 0;
    bool m_started = false;
    bool m_tabSeparated = false;

    QByteArray m_buffer;
    qint64 m_chunkBytes = 4 * 1024;
    qsizetype m_bufferPos = 0;
    qint64 m_bufferOffset = 0; // device offset of m_buffer[0]
    bool m_atEnd = false;
    bool m_done = false;

    qint64 m_line = 1;        // line of the next unread byte
    bool m_afterCr = false;   // the last byte was a CR, so an LF now ends no further line
    qint64 m_recordStart = 0; // offset and line of the record being read
    qint64 m_recordLine = 1;
    qint64 m_quoteLine = 1; // line of the quote that opened the current quoted field
    // The record's fields as libcsv gave them, one after another, and where
    // each one starts; kept from record to record, so reading allocates
    // nothing once they are large enough.
    std::string m_fieldBytes;
    std::vector<size_t> m_fieldStarts;
    std::string m_recordBytes; // what was fed to the parser since the record began
    bool m_recordEnded = false;
    bool m_tooManyFields = false;

    QString m_errorText;
    qint64 m_errorLine = 0;
};

} // namespace csv
