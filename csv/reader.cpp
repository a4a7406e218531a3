#include "csv/reader.h"

#include <QHash>
#include <csv.h>
#include <string_view>

namespace csv {

namespace {

// The parser states of libcsv 3 (csv_parser::pstate); the struct is public,
// its state numbers are not named in the header.
constexpr int kRowNotBegun = 0;
constexpr int kFieldBegun = 2;

// Reading starts with small chunks, so that fetching one record at an offset
// reads little more than the record, and doubles them up to the largest.
constexpr qint64 kFirstChunkBytes = 4 * 1024;
constexpr qint64 kLargestChunkBytes = 64 * 1024;
constexpr qint64 kSampleBytes = 1024 * 1024;
// libcsv grows its field buffer by this much at a time; its default of 128
// bytes makes a long field cost time in the square of its length.
constexpr size_t kFieldGrowthBytes = 64 * 1024;

void initParser(csv_parser* parser, bool tabSeparated)
{
    csv_init(parser, CSV_STRICT);
    csv_set_blk_size(parser, kFieldGrowthBytes);
    if (tabSeparated) {
        // Marketplace reports write tab-separated text without quoting: a
        // quote in a product name is part of it. NUL never reaches the
        // parser (refused before), so it stands for "no quote character".
        csv_set_delim(parser, '\t');
        csv_set_quote(parser, '\0');
    }
}

// The first non-blank line has more tabs than commas.
bool looksTabSeparated(const QByteArray& sample, qsizetype from)
{
    qsizetype at = from;
    while (at < sample.size() && (sample[at] == '\r' || sample[at] == '\n'))
        ++at;
    qsizetype tabs = 0, commas = 0;
    for (; at < sample.size() && sample[at] != '\r' && sample[at] != '\n'; ++at) {
        tabs += sample[at] == '\t';
        commas += sample[at] == ',';
    }
    return tabs > commas;
}

} // namespace

Reader::Reader(QIODevice& device) : Reader(device, Options{}) {}

Reader::Reader(QIODevice& device, Options options)
    : m_device(device), m_options(options), m_parser(std::make_unique<csv_parser>())
{
    initParser(m_parser.get(), false);
}

Reader::~Reader() { csv_free(m_parser.get()); }

void Reader::resetParser()
{
    csv_free(m_parser.get());
    initParser(m_parser.get(), m_tabSeparated);
    m_fieldBytes.clear();
    m_fieldStarts.clear();
    m_recordBytes.clear();
    m_recordEnded = false;
    m_tooManyFields = false;
}

bool Reader::inQuotedField() const { return m_parser->pstate == kFieldBegun && m_parser->quoted; }

bool Reader::betweenRecords() const { return m_parser->pstate == kRowNotBegun; }

void Reader::onField(void* bytes, size_t length, void* self)
{
    auto* reader = static_cast<Reader*>(self);
    if (reader->m_fieldStarts.size() >= size_t(reader->m_options.maxFields)) {
        reader->m_tooManyFields = true;
        return;
    }
    reader->m_fieldStarts.push_back(reader->m_fieldBytes.size());
    reader->m_fieldBytes.append(static_cast<const char*>(bytes), length);
}

void Reader::onRecordEnd(int, void* self) { static_cast<Reader*>(self)->m_recordEnded = true; }

Reader::Step Reader::fail(qint64 line, const QString& text)
{
    m_errorLine = line;
    m_errorText = text;
    m_done = true;
    return Step::Failed;
}

bool Reader::start()
{
    const qint64 base = m_device.pos();
    const qint64 sampleBytes = qMin(kSampleBytes, qMax<qint64>(0, m_device.size() - base));
    const QByteArray sample = m_device.read(sampleBytes);
    const Detection detection = detect(sample, sample.size() < kSampleBytes);
    if (!detection.refusal.isEmpty() && !(detection.refusalIsEncodingGuess && m_options.encoding)) {
        fail(0, detection.refusal);
        return false;
    }
    m_detected = detection.encoding;
    m_encoding = m_options.encoding.value_or(detection.encoding);
    m_bomBytes = m_encoding == Encoding::Utf8 ? detection.bomBytes : 0;
    if (m_options.tabsByHeading && looksTabSeparated(sample, m_bomBytes)) {
        m_tabSeparated = true;
        resetParser();
    }
    m_decoder = std::make_unique<FieldDecoder>(m_encoding);
    if (!m_decoder->isUsable()) {
        fail(0,
             QStringLiteral("この環境では%1の文字コードを扱えません。ファイルをUTF-8で保存し直してから開いてください。")
                 .arg(displayName(m_encoding)));
        return false;
    }
    if (!m_device.seek(base + m_bomBytes)) {
        fail(0, QStringLiteral("ファイルを読めませんでした（%1）。").arg(m_device.errorString()));
        return false;
    }
    m_bufferOffset = m_recordStart = base + m_bomBytes;
    m_started = true;
    return true;
}

bool Reader::refill()
{
    m_bufferOffset += m_buffer.size();
    m_bufferPos = 0;
    m_buffer.resize(m_chunkBytes);
    const qint64 got = m_device.read(m_buffer.data(), m_chunkBytes);
    m_chunkBytes = qMin(m_chunkBytes * 2, kLargestChunkBytes);
    if (got < 0) {
        m_buffer.clear();
        fail(m_line, QStringLiteral("ファイルを読めませんでした（%1）。").arg(m_device.errorString()));
        return false;
    }
    m_buffer.resize(got);
    m_atEnd = got == 0;
    return true;
}

void Reader::takeRecord(Record& record, const Columns* onlyColumns, bool endedByLineBreak)
{
    record.offsetBytes = m_recordStart;
    record.line = m_recordLine;
    std::string_view bytes = m_recordBytes;
    if (endedByLineBreak && !bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n'))
        bytes.remove_suffix(1);
    record.bytesHash = qHashBits(bytes.data(), bytes.size());
    // Every cell is set below: the list's cells are overwritten, not made anew.
    record.fields.resize(qsizetype(m_fieldStarts.size()));
    QString* cells = record.fields.data();
    record.badColumn = -1;
    record.problem.clear();
    bool blankSoFar = true;
    for (size_t i = 0; i < m_fieldStarts.size(); ++i) {
        if (onlyColumns && !blankSoFar && (i >= onlyColumns->size() || !(*onlyColumns)[i])) {
            if (!cells[i].isNull())
                cells[i] = QString();
            continue;
        }
        const size_t end = i + 1 < m_fieldStarts.size() ? m_fieldStarts[i + 1] : m_fieldBytes.size();
        bool invalid = false;
        cells[i] = m_decoder->decode(
            QByteArrayView(m_fieldBytes.data() + m_fieldStarts[i], qsizetype(end - m_fieldStarts[i])), invalid);
        blankSoFar = blankSoFar && QStringView(cells[i]).trimmed().isEmpty();
        if (invalid && record.badColumn < 0) {
            record.badColumn = int(i);
            const QString where = QStringLiteral("%1行目の%2列目に、%3の文字として読めないバイトがあります。")
                                      .arg(m_recordLine)
                                      .arg(i + 1)
                                      .arg(displayName(m_encoding));
            // The other encoding helps only when the content says so; else
            // the rest of the file reads well and this cell is damaged.
            const Encoding other = m_encoding == Encoding::Utf8 ? Encoding::Cp932 : Encoding::Utf8;
            record.problem =
                m_detected == other
                    ? where + QStringLiteral("文字コードに「%1」を選んで開き直してください。").arg(displayName(other))
                    : where + QStringLiteral("ファイルのほかの部分は%1で読めるため、この項目の文字が壊れているか、"
                                             "別の文字コードの文字が混ざっています。その項目を直してください。")
                                  .arg(displayName(m_encoding));
        }
    }
    m_fieldBytes.clear();
    m_fieldStarts.clear();
    m_recordBytes.clear();
    m_recordEnded = false;
}

Reader::Step Reader::finishAtEnd(Record& record, const Columns* onlyColumns)
{
    m_done = true;
    if (inQuotedField())
        return fail(m_quoteLine, QStringLiteral("%1行目で始まる引用符（\"）が、ファイルの終わりまで閉じられていません。"
                                                "その行の \" の数を確かめてください。")
                                     .arg(m_quoteLine));
    if (betweenRecords())
        return Step::End;
    csv_fini(m_parser.get(), &Reader::onField, &Reader::onRecordEnd, this);
    if (m_tooManyFields)
        return fail(m_recordLine,
                    QStringLiteral("%1行目の列が多すぎます（%2列を超えています）。CSVファイルか確かめてください。")
                        .arg(m_recordLine)
                        .arg(m_options.maxFields));
    takeRecord(record, onlyColumns, false);
    return Step::Record;
}

Reader::Step Reader::next(Record& record, const Columns* onlyColumns)
{
    if (!m_started && !start())
        return Step::Failed;
    if (m_done)
        return m_errorText.isEmpty() ? Step::End : Step::Failed;
    for (;;) {
        if (m_bufferPos >= m_buffer.size()) {
            if (!refill())
                return Step::Failed;
            if (m_atEnd)
                return finishAtEnd(record, onlyColumns);
        }
        // Feed the parser up to and including the next line break, so that a
        // record can only end at the end of what was fed, and the parser's
        // state afterwards tells whether the next byte starts a new record.
        const char* data = m_buffer.constData();
        const qsizetype from = m_bufferPos;
        qsizetype to = from;
        char last = 0;
        while (to < m_buffer.size()) {
            last = data[to++];
            if (last == '\n' || last == '\r')
                break;
            if (last == '\0')
                return fail(m_line, QStringLiteral(
                                        "%1行目に文字ではないデータ（NULバイト）があります。CSVファイルではないか、"
                                        "壊れている可能性があります。CSV形式で保存し直したファイルを開いてください。")
                                        .arg(m_line));
        }
        const bool wasQuoted = inQuotedField();
        const size_t fieldsBefore = m_fieldStarts.size();
        const size_t length = size_t(to - from);
        m_recordBytes.append(data + from, length);
        if (csv_parse(m_parser.get(), data + from, length, &Reader::onField, &Reader::onRecordEnd, this) != length)
            return fail(m_line,
                        QStringLiteral("%1行目の引用符（\"）の使い方が正しくありません。\" で囲んだ項目の中の \" は "
                                       "\"\" と二つ重ねて書き、項目の途中から \" で囲むことはできません。"
                                       "その行を直すか、ファイルを出力し直してください。")
                            .arg(m_line));
        m_bufferPos = to;
        if (inQuotedField() && (!wasQuoted || m_fieldStarts.size() > fieldsBefore || m_recordEnded))
            m_quoteLine = m_line;
        if (to - from > 1 || (last != '\n' && last != '\r'))
            m_afterCr = false;
        if (last == '\r') {
            ++m_line;
            m_afterCr = true;
        } else if (last == '\n') {
            if (!m_afterCr)
                ++m_line;
            m_afterCr = false;
        }
        const qint64 consumedTo = m_bufferOffset + to;
        if (m_tooManyFields)
            return fail(m_recordLine,
                        QStringLiteral("%1行目の列が多すぎます（%2列を超えています）。CSVファイルか確かめてください。")
                            .arg(m_recordLine)
                            .arg(m_options.maxFields));
        if (m_recordEnded) {
            takeRecord(record, onlyColumns, true);
            m_recordStart = consumedTo;
            m_recordLine = m_line;
            return Step::Record;
        }
        if (betweenRecords()) {
            m_recordBytes.clear(); // a blank line
            m_recordStart = consumedTo;
            m_recordLine = m_line;
        } else if (consumedTo - m_recordStart > m_options.maxRecordBytes) {
            return fail(m_recordLine,
                        QStringLiteral("%1行目から始まる行が長すぎます（%2 KBを超えています）。"
                                       "引用符（\"）が閉じられていないか、CSVではないファイルの可能性があります。")
                            .arg(m_recordLine)
                            .arg(m_options.maxRecordBytes / 1024));
        }
    }
}

Reader::Step Reader::readAt(qint64 offsetBytes, qint64 line, Record& record, const Columns* onlyColumns)
{
    if (!m_started && !start())
        return Step::Failed;
    m_errorText.clear();
    m_errorLine = 0;
    m_done = false;
    if (!m_device.seek(offsetBytes))
        return fail(line, QStringLiteral("ファイルを読めませんでした（%1）。").arg(m_device.errorString()));
    resetParser();
    m_buffer.clear();
    m_bufferPos = 0;
    m_bufferOffset = offsetBytes;
    m_chunkBytes = kFirstChunkBytes;
    m_atEnd = false;
    m_line = m_recordLine = m_quoteLine = line;
    m_afterCr = false;
    m_recordStart = offsetBytes;
    return next(record, onlyColumns);
}

} // namespace csv
