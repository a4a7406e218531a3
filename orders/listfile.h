#pragma once
// An order list's file, line by line: the heading row, then each non-blank
// line in turn, of which only its place is kept (where it starts, its line
// number and a fingerprint of its bytes). A line is read again from the
// file when it is asked for, and only the line first read there is taken:
// a file changed or cut short after it was read makes the reading fail
// with the line named, and nothing more of it is trusted.
#include "csv/reader.h"

#include <QIODevice>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace orders {

class ListFile {
public:
    ListFile();
    ~ListFile();
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    // Opens the file and reads its heading row (blank lines before it are
    // skipped); the encoding is detected unless given. false: errorText().
    bool open(const QString& path, std::optional<csv::Encoding> encoding);
    bool open(std::unique_ptr<QIODevice> device, std::optional<csv::Encoding> encoding);
    void close();
    bool isOpen() const { return m_reader != nullptr; }
    csv::Encoding encoding() const;
    // The heading row's cells, trimmed.
    const QStringList& headings() const { return m_headings; }

    // Reads the line after the last one found; its place is kept. Blank
    // lines are skipped. Failed: errorText() says why, and failed() holds.
    csv::Reader::Step readNextLine(csv::Record& record);
    qint64 lineCount() const { return qint64(m_places.size()); }
    // The file's line number where the line `index` (counted from 0 over
    // the lines found) starts.
    qint64 lineNumberOf(qint64 index) const { return m_places[size_t(index)].line; }
    // Of the file read so far, from 0 to 1.
    double foundShare() const;

    // Reads line `index` again, only the cells of `onlyColumns` when given.
    // false when it is not the line first read there (changed, moved or
    // cut off): problem() names the line and says what to do, and the
    // reading has failed.
    bool readLineAgain(qint64 index, csv::Record& into, const csv::Reader::Columns* onlyColumns = nullptr);
    const QString& problem() const { return m_problem; }
    // The next line read again comes from the file, not from where the
    // reader stands.
    void forgetPosition() { m_positionKnown = false; }
    // Forgets the lines found: the next readNextLine() reads the first
    // line after the headings again, and a failure is forgotten.
    void forgetLines();

    // Reading stopped at a fault in the file or a line no longer the one read.
    bool failed() const { return m_failed; }
    void fail(const QString& text);
    // Why open() failed or why the reading failed.
    const QString& errorText() const { return m_errorText; }

private:
    // A line's place; about 24 bytes, one per line of a list that may have
    // a million.
    struct Place {
        qint64 offsetBytes;
        size_t fingerprint; // of the bytes as first read (csv::Record::bytesHash)
        qint32 line;
    };
    Place placeOf(qint64 index) const;
    // The reader stands just after line `index` (-1: the heading row).
    bool positionAfter(qint64 index);
    csv::Reader::Step nextNonBlank(csv::Record& record, const csv::Reader::Columns* onlyColumns);

    std::unique_ptr<QIODevice> m_device;
    std::unique_ptr<csv::Reader> m_reader;
    QStringList m_headings;
    Place m_header{0, 0, 1};
    std::vector<Place> m_places;
    qint64 m_position = -1; // the reader's next line is the one after this one
    bool m_positionKnown = false;
    bool m_failed = false;
    QString m_errorText;
    QString m_problem;
};

} // namespace orders
