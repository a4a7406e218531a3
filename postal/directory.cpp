#include "postal/directory.h"

#include "platform/datafiles.h"
#include "platform/readfile.h"
#include "postal/postalcode.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <array>
#include <zlib.h>

// The file's layout is described where it is written, in
// scripts/postal_data.py; the constants here must agree with it.

namespace postal {

namespace {

constexpr QByteArrayView fileMagic = "JPPOSTAL";
constexpr quint16 supportedFormatVersion = 1;
constexpr int prefixCount = 1000;
constexpr qint64 fixedHeaderBytes = 32;
constexpr qint64 indexEntryBytes = 16;
constexpr qint64 headerCrcBytes = 4;
constexpr qint64 headerTextCount = 3;
// Bounds that no file built from Japan Post's data comes near (its header is
// 16 KB, its largest block 65 KB); they keep a damaged length from asking
// for gigabytes before its CRC is checked.
constexpr qint64 maxHeaderBytes = 64 * 1024;
constexpr quint32 maxBlockBytes = 1024 * 1024;
constexpr qint64 crcChunkBytes = 64 * 1024;
constexpr int cachedBlockLimit = 8;
// A block line: four digits, then prefecture, city, town, street, office.
constexpr int suffixDigits = 4;
constexpr int fieldsPerLine = 6;

// Callers have checked the length; the bound is checked again because a
// damaged file must never make a read run past the bytes read.
template <typename Number>
Number numberAt(QByteArrayView bytes, qint64 at)
{
    if (at + qint64(sizeof(Number)) > bytes.size())
        return 0;
    return qFromLittleEndian<Number>(bytes.data() + at);
}
quint16 u16At(QByteArrayView bytes, qint64 at) { return numberAt<quint16>(bytes, at); }
quint32 u32At(QByteArrayView bytes, qint64 at) { return numberAt<quint32>(bytes, at); }

quint32 crc32Of(QByteArrayView bytes, quint32 crc = 0)
{
    return quint32(::crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

QString missingMessage(const QString& path)
{
    return QStringLiteral("郵便番号データのファイルが見つかりません（%1）。ホルテアを入れ直してください。")
        .arg(shownPath(path));
}

QString unreadableMessage(const QString& path, const QString& reason)
{
    return QStringLiteral(
               "郵便番号データのファイルを読めません（%1：%2）。ファイルの読み取り権限を確かめるか、ホルテアを入れ直してください。")
        .arg(shownPath(path), reason);
}

QString emptyMessage(const QString& path)
{
    return QStringLiteral("郵便番号データのファイルが空です（%1）。ホルテアを入れ直してください。")
        .arg(shownPath(path));
}

QString notPostalDataMessage(const QString& path)
{
    return QStringLiteral("このファイルは郵便番号データではありません（%1）。ホルテアを入れ直してください。")
        .arg(shownPath(path));
}

QString unsupportedVersionMessage(const QString& path, int version)
{
    return QStringLiteral(
               "郵便番号データのファイルは第%2版の形式で、このホルテアには読めません（%1）。ホルテアを入れ直してください。")
        .arg(shownPath(path))
        .arg(version);
}

QString truncatedMessage(const QString& path)
{
    return QStringLiteral("郵便番号データのファイルが途中で切れています（%1）。ホルテアを入れ直してください。")
        .arg(shownPath(path));
}

QString damagedMessage(const QString& path)
{
    return QStringLiteral("郵便番号データのファイルが壊れています（%1）。ホルテアを入れ直してください。")
        .arg(shownPath(path));
}

struct IndexEntry {
    quint32 offset = 0;
    quint32 storedBytes = 0; // 0: no code starts with these three digits
    quint32 rawBytes = 0;
    quint32 crc = 0;
};

// Reads the 1-byte-length texts of the header; false when one runs past
// the index.
bool readHeaderTexts(const QByteArray& header, qint64& at, qint64 end, std::array<QString, headerTextCount>& texts)
{
    for (QString& text : texts) {
        if (at >= end)
            return false;
        const qint64 length = quint8(header[at]);
        if (at + 1 + length > end)
            return false;
        text = QString::fromUtf8(header.constData() + at + 1, length);
        at += 1 + length;
    }
    return true;
}

// Checks that every line of a block has six fields and starts with four
// digits in ascending order, so that the look-up can take them as they are.
bool wellFormedBlock(QByteArrayView text)
{
    if (text.isEmpty() || !text.endsWith('\n'))
        return false;
    QByteArrayView previousSuffix;
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype end = text.indexOf('\n', start);
        const QByteArrayView line = text.sliced(start, end - start);
        if (line.size() <= suffixDigits || line[suffixDigits] != '\t' || line.count('\t') != fieldsPerLine - 1)
            return false;
        const QByteArrayView suffix = line.first(suffixDigits);
        for (char digit : suffix)
            if (digit < '0' || digit > '9')
                return false;
        if (suffix.compare(previousSuffix) < 0)
            return false;
        previousSuffix = suffix;
        start = end + 1;
    }
    return true;
}

Match matchFromLine(QByteArrayView line)
{
    std::array<QString, fieldsPerLine> fields;
    qsizetype start = 0;
    for (QString& field : fields) {
        qsizetype end = line.indexOf('\t', start);
        if (end < 0)
            end = line.size();
        field = QString::fromUtf8(line.sliced(start, end - start));
        start = end + 1;
    }
    return {fields[1], fields[2], fields[3], fields[4], fields[5]};
}

} // namespace

struct Directory::Data {
    struct Block {
        int prefix = -1;
        QByteArray text;
    };

    QFile file;
    DataInfo info;
    std::array<IndexEntry, prefixCount> index;
    QList<Block> recentBlocks; // most recently used first

    // The uncompressed text of one prefix's block, read and checked on first
    // use; a message instead when the file no longer holds what its index says.
    std::optional<QByteArray> block(int prefix, const QString& path, QString& error);
};

std::optional<QByteArray> Directory::Data::block(int prefix, const QString& path, QString& error)
{
    for (qsizetype i = 0; i < recentBlocks.size(); ++i) {
        if (recentBlocks[i].prefix == prefix) {
            recentBlocks.move(i, 0);
            return recentBlocks.front().text;
        }
    }
    const IndexEntry& entry = index[size_t(prefix)];
    if (!file.seek(entry.offset)) {
        error = truncatedMessage(path);
        return std::nullopt;
    }
    const QByteArray stored = file.read(entry.storedBytes);
    if (stored.size() != qsizetype(entry.storedBytes)) {
        error = truncatedMessage(path);
        return std::nullopt;
    }
    if (crc32Of(stored) != entry.crc) {
        error = damagedMessage(path);
        return std::nullopt;
    }
    QByteArray text(qsizetype(entry.rawBytes), Qt::Uninitialized);
    uLongf textBytes = entry.rawBytes;
    const int status = ::uncompress(reinterpret_cast<Bytef*>(text.data()), &textBytes,
                                    reinterpret_cast<const Bytef*>(stored.constData()), uLong(stored.size()));
    if (status != Z_OK || textBytes != entry.rawBytes || !wellFormedBlock(text)) {
        error = damagedMessage(path);
        return std::nullopt;
    }
    if (recentBlocks.size() >= cachedBlockLimit)
        recentBlocks.removeLast();
    recentBlocks.prepend({prefix, text});
    return text;
}

Directory::Directory(QString dataFilePath) : m_path(std::move(dataFilePath)) {}

Directory::~Directory() = default;

const QString& Directory::dataFilePath() const { return m_path; }

QString Directory::dataError() const { return m_error; }

bool Directory::open()
{
    if (m_data)
        return true;
    if (!m_error.isEmpty())
        return false;
    const auto fail = [this](const QString& message) {
        m_error = message;
        return false;
    };

    auto data = std::make_unique<Data>();
    data->file.setFileName(m_path);
    QString systemError;
    switch (platform::openRegularFile(data->file, &systemError, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    case platform::FileKind::Regular:
        break;
    case platform::FileKind::Missing:
        return fail(missingMessage(m_path));
    case platform::FileKind::Unreadable:
        return fail(unreadableMessage(m_path, systemError));
    case platform::FileKind::Folder:
    case platform::FileKind::Special:
        return fail(unreadableMessage(
            m_path, QStringLiteral("ふつうのファイルではありません（フォルダ、名前付きパイプや装置など）")));
    }
    const qint64 fileBytes = data->file.size();
    if (fileBytes == 0)
        return fail(emptyMessage(m_path));

    QByteArray header = data->file.read(fixedHeaderBytes);
    const QByteArrayView start(header.constData(), std::min<qsizetype>(header.size(), fileMagic.size()));
    if (!fileMagic.startsWith(start))
        return fail(notPostalDataMessage(m_path));
    if (header.size() < fileMagic.size() + 2)
        return fail(truncatedMessage(m_path));
    const quint16 formatVersion = u16At(header, 8);
    if (formatVersion != supportedFormatVersion)
        return fail(unsupportedVersionMessage(m_path, formatVersion));
    if (header.size() < fixedHeaderBytes)
        return fail(truncatedMessage(m_path));

    const qint64 indexEntries = u16At(header, 10);
    const qint64 headerBytes = u32At(header, 12);
    const qint64 declaredFileBytes = u32At(header, 16);
    const qint64 smallestHeaderBytes =
        fixedHeaderBytes + headerTextCount + prefixCount * indexEntryBytes + headerCrcBytes;
    if (indexEntries != prefixCount || headerBytes < smallestHeaderBytes || headerBytes > maxHeaderBytes)
        return fail(damagedMessage(m_path));
    if (fileBytes < headerBytes)
        return fail(truncatedMessage(m_path));
    header += data->file.read(headerBytes - fixedHeaderBytes);
    if (header.size() != headerBytes)
        return fail(unreadableMessage(m_path, data->file.errorString()));
    if (crc32Of(QByteArrayView(header).first(headerBytes - headerCrcBytes)) !=
        u32At(header, headerBytes - headerCrcBytes))
        return fail(damagedMessage(m_path));
    if (fileBytes < declaredFileBytes)
        return fail(truncatedMessage(m_path));
    if (fileBytes > declaredFileBytes)
        return fail(damagedMessage(m_path));

    const qint64 indexStart = headerBytes - headerCrcBytes - prefixCount * indexEntryBytes;
    qint64 at = fixedHeaderBytes;
    std::array<QString, headerTextCount> texts;
    if (!readHeaderTexts(header, at, indexStart, texts) || at != indexStart)
        return fail(damagedMessage(m_path));
    data->info = {texts[0], texts[1], texts[2], u32At(header, 20), u32At(header, 24)};

    for (int prefix = 0; prefix < prefixCount; ++prefix) {
        const qint64 entryAt = indexStart + prefix * indexEntryBytes;
        IndexEntry& entry = data->index[size_t(prefix)];
        entry = {u32At(header, entryAt), u32At(header, entryAt + 4), u32At(header, entryAt + 8),
                 u32At(header, entryAt + 12)};
        const bool empty = entry.storedBytes == 0;
        const bool plausible =
            empty ? entry.offset == 0 && entry.rawBytes == 0
                  : entry.offset >= headerBytes && qint64(entry.offset) + entry.storedBytes <= declaredFileBytes &&
                        entry.storedBytes <= maxBlockBytes && entry.rawBytes > 0 && entry.rawBytes <= maxBlockBytes;
        if (!plausible)
            return fail(damagedMessage(m_path));
    }

    // The whole payload once, so that damage anywhere refuses the file
    // rather than surfacing only when a code in the damaged block is typed.
    quint32 payloadCrc = 0;
    qint64 payloadBytes = 0;
    for (;;) {
        const QByteArray chunk = data->file.read(crcChunkBytes);
        if (chunk.isEmpty())
            break;
        payloadCrc = crc32Of(chunk, payloadCrc);
        payloadBytes += chunk.size();
    }
    if (payloadBytes != declaredFileBytes - headerBytes)
        return fail(truncatedMessage(m_path));
    if (payloadCrc != u32At(header, 28))
        return fail(damagedMessage(m_path));

    m_data = std::move(data);
    return true;
}

std::optional<DataInfo> Directory::dataInfo()
{
    if (!open())
        return std::nullopt;
    return m_data->info;
}

LookupResult Directory::lookup(const QString& typedCode)
{
    LookupResult result;
    const std::optional<QString> code = normalizedCode(typedCode);
    if (!code) {
        result.status = LookupStatus::Malformed;
        result.message =
            typedCode.trimmed().isEmpty()
                ? QStringLiteral("郵便番号が入力されていません。7桁の数字で入力してください（例：100-0001）。")
                : QStringLiteral("「%1」は郵便番号の形になっていません。7桁の数字で入力してください（例：100-0001）。")
                      .arg(typedCode.trimmed());
        return result;
    }
    result.code = *code;
    if (!open()) {
        result.status = LookupStatus::DataUnavailable;
        result.message = m_error;
        return result;
    }

    const int prefix = code->left(digitsBeforeHyphen).toInt();
    const QByteArray suffix = code->mid(digitsBeforeHyphen).toLatin1();
    if (m_data->index[size_t(prefix)].storedBytes > 0) {
        const std::optional<QByteArray> block = m_data->block(prefix, m_path, m_error);
        if (!block) {
            m_data.reset();
            result.status = LookupStatus::DataUnavailable;
            result.message = m_error;
            return result;
        }
        // Lines are in code order (checked when the block was read): stop at
        // the first one past the code.
        const QByteArrayView text(*block);
        for (qsizetype start = 0; start < text.size();) {
            const qsizetype end = text.indexOf('\n', start);
            if (end < 0)
                break;
            const QByteArrayView line = text.sliced(start, end - start);
            const int order = line.first(suffixDigits).compare(suffix);
            if (order > 0)
                break;
            if (order == 0)
                result.matches.append(matchFromLine(line));
            start = end + 1;
        }
    }

    if (result.matches.isEmpty()) {
        result.status = LookupStatus::NoSuchCode;
        result.message =
            QStringLiteral("郵便番号 %1 は日本郵便のデータ（%2 現在）にありません。番号を確かめてください。")
                .arg(displayCode(*code), m_data->info.dataDate);
    } else {
        result.status = LookupStatus::Found;
    }
    return result;
}

QString addressLine1(const Match& match)
{
    QString line = match.prefecture + match.city + match.town;
    if (match.isLargeOffice())
        line += match.street;
    return line;
}

QString defaultDataFilePath() { return platform::dataFilePath(QStringLiteral("postal/jp-postal-codes.bin")); }

} // namespace postal
