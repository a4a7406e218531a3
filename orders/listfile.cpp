#include "orders/listfile.h"

#include "platform/readfile.h"

#include <QFile>

namespace orders {

namespace {

// For reading a line only to carry on after it.
const csv::Reader::Columns kNoColumns;

bool isBlank(const csv::Record& record)
{
    for (const QString& field : record.fields)
        if (!field.trimmed().isEmpty())
            return false;
    return true;
}

} // namespace

ListFile::ListFile() = default;
ListFile::~ListFile() = default;

csv::Encoding ListFile::encoding() const { return m_reader ? m_reader->encoding() : csv::Encoding::Utf8; }

void ListFile::close()
{
    m_reader.reset();
    m_device.reset();
    m_headings.clear();
    m_errorText.clear();
    forgetLines();
}

void ListFile::forgetLines()
{
    m_places.clear();
    m_position = -1;
    m_positionKnown = false;
    m_failed = false;
    m_problem.clear();
    if (m_reader)
        m_errorText.clear();
}

bool ListFile::open(const QString& path, std::optional<csv::Encoding> encoding)
{
    auto file = std::make_unique<QFile>(path);
    QString systemError;
    // Unbuffered: the reader keeps its own window of the file, and a line
    // read again comes from the disk, never from a copy taken before a change.
    if (const platform::FileKind kind =
            platform::openRegularFile(*file, &systemError, QIODevice::ReadOnly | QIODevice::Unbuffered);
        kind != platform::FileKind::Regular) {
        close();
        m_errorText = platform::notReadableText(kind, path, QStringLiteral("注文一覧"), systemError);
        return false;
    }
    return open(std::move(file), encoding);
}

bool ListFile::open(std::unique_ptr<QIODevice> device, std::optional<csv::Encoding> encoding)
{
    close();
    m_device = std::move(device);

    csv::Reader::Options options;
    options.encoding = encoding;
    options.tabsByHeading = true;
    auto reader = std::make_unique<csv::Reader>(*m_device, options);
    if (!reader->start()) {
        m_errorText = reader->errorText();
        return false;
    }
    csv::Record header;
    for (;;) {
        const csv::Reader::Step step = reader->next(header);
        if (step == csv::Reader::Step::Failed) {
            m_errorText = reader->errorText();
            return false;
        }
        if (step == csv::Reader::Step::End) {
            m_errorText =
                QStringLiteral("このファイルには見出しの行がありません。空のファイルか、空の行しかありません。");
            return false;
        }
        if (!isBlank(header))
            break;
    }
    if (header.badColumn >= 0) {
        m_errorText = header.problem;
        return false;
    }
    m_reader = std::move(reader);
    for (const QString& heading : header.fields)
        m_headings << heading.trimmed();
    m_header = {header.offsetBytes, 0, qint32(header.line)};
    m_position = -1;
    m_positionKnown = true;
    return true;
}

void ListFile::fail(const QString& text)
{
    m_errorText = text;
    m_failed = true;
    m_positionKnown = false;
}

csv::Reader::Step ListFile::nextNonBlank(csv::Record& record, const csv::Reader::Columns* onlyColumns)
{
    for (;;) {
        const csv::Reader::Step step = m_reader->next(record, onlyColumns);
        if (step != csv::Reader::Step::Record || !isBlank(record))
            return step;
    }
}

ListFile::Place ListFile::placeOf(qint64 index) const { return index < 0 ? m_header : m_places[size_t(index)]; }

bool ListFile::positionAfter(qint64 index)
{
    if (m_positionKnown && m_position == index)
        return true;
    const Place place = placeOf(index);
    csv::Record skipped;
    if (m_reader->readAt(place.offsetBytes, place.line, skipped, &kNoColumns) != csv::Reader::Step::Record) {
        fail(
            m_reader->errorText().isEmpty()
                ? QStringLiteral(
                      "%1行目をファイルから読み直せませんでした。ファイルが変えられた可能性があります。開き直してください。")
                      .arg(place.line)
                : m_reader->errorText());
        return false;
    }
    m_position = index;
    m_positionKnown = true;
    return true;
}

csv::Reader::Step ListFile::readNextLine(csv::Record& record)
{
    if (!m_reader || m_failed)
        return csv::Reader::Step::Failed;
    if (!positionAfter(lineCount() - 1))
        return csv::Reader::Step::Failed;
    const csv::Reader::Step step = nextNonBlank(record, nullptr);
    if (step == csv::Reader::Step::Failed) {
        fail(m_reader->errorText());
        return step;
    }
    if (step == csv::Reader::Step::End) {
        m_positionKnown = false;
        return step;
    }
    m_places.push_back({record.offsetBytes, record.bytesHash, qint32(record.line)});
    m_position = lineCount() - 1;
    return step;
}

double ListFile::foundShare() const
{
    const qint64 size = m_device ? m_device->size() : 0;
    return size > 0 ? double(placeOf(lineCount() - 1).offsetBytes) / double(size) : 0.0;
}

bool ListFile::readLineAgain(qint64 index, csv::Record& record, const csv::Reader::Columns* onlyColumns)
{
    if (!m_reader || index < 0 || index >= lineCount()) {
        m_problem = QStringLiteral("読み直す行がありません。一覧を開き直してください。");
        return false;
    }
    if (!positionAfter(index - 1)) {
        m_problem = m_errorText;
        return false;
    }
    const Place kept = placeOf(index);
    const csv::Reader::Step step = nextNonBlank(record, onlyColumns);
    const QString advice = QStringLiteral("ほかのプログラムがファイルを書き換えたか、短くした可能性があります。"
                                          "一覧を開き直して、確かめ直してから印刷してください。");
    if (step == csv::Reader::Step::Failed && !m_reader->errorText().isEmpty())
        m_problem =
            QStringLiteral("%1行目をファイルから読み直せませんでした：%2").arg(kept.line).arg(m_reader->errorText());
    else if (step != csv::Reader::Step::Record)
        m_problem = QStringLiteral("%1行目が、確かめた後でファイルから無くなりました。").arg(kept.line) + advice;
    else if (record.offsetBytes != kept.offsetBytes || record.bytesHash != kept.fingerprint)
        m_problem = QStringLiteral("%1行目の中身が、確かめた後でファイルの中で変わりました。").arg(kept.line) + advice;
    else {
        m_position = index;
        return true;
    }
    // The file is no longer the one read: nothing more of it is trusted.
    fail(m_problem);
    return false;
}

} // namespace orders
