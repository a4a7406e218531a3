#include "storage/damagedfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace storage {

std::optional<QString> setDamagedFileAside(const QString& filePath)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = QStringLiteral("%1.damaged-%2").arg(filePath, stamp);
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo::exists(aside + QStringLiteral("-wal")); ++n)
        aside = QStringLiteral("%1.damaged-%2-%3").arg(filePath, stamp).arg(n);
    if (!QFile::rename(filePath, aside))
        return std::nullopt;
    // The log and index belong to the damaged file; they go with it so the new
    // file does not pick them up.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString companion = filePath + QLatin1String(suffix);
        if (QFileInfo::exists(companion))
            QFile::rename(companion, aside + QLatin1String(suffix));
    }
    return aside;
}

bool copyDamagedFile(const QString& damagedPath, const QString& copyPath)
{
    if (!QFile::copy(damagedPath, copyPath))
        return false;
    const QString log = damagedPath + QStringLiteral("-wal");
    return !QFileInfo::exists(log) || QFile::copy(log, copyPath + QStringLiteral("-wal"));
}

bool writeFreshHeader(const QString& copyPath)
{
    // The layout of the header: SQLite's "Database File Format", section 1.3.
    constexpr int kHeaderBytes = 100;
    constexpr int kDefaultPageBytes = 4096;
    QFile file(copyPath);
    if (!file.open(QIODevice::ReadWrite) || file.size() < kHeaderBytes)
        return false;
    const QByteArray old = file.read(kHeaderBytes);
    const auto byteAt = [&](int offset) { return quint8(old[offset]); };
    int pageBytes = byteAt(16) << 8 | byteAt(17);
    if (pageBytes == 1)
        pageBytes = 65536;
    const bool pageSizeReads =
        pageBytes >= 512 && pageBytes <= 65536 && (pageBytes & (pageBytes - 1)) == 0 && file.size() % pageBytes == 0;
    if (!pageSizeReads)
        pageBytes = kDefaultPageBytes;
    // A log beside it: the file was in write-ahead mode, and its last pages
    // are in the log.
    const quint8 mode = QFileInfo::exists(copyPath + QStringLiteral("-wal")) ? 2 : 1;

    QByteArray header(kHeaderBytes, '\0');
    const auto put32 = [&](int offset, quint32 value) {
        for (int i = 0; i < 4; ++i)
            header[offset + i] = char(value >> (24 - 8 * i));
    };
    header.replace(0, 16, QByteArray("SQLite format 3\0", 16));
    header[16] = char(pageBytes == 65536 ? 0 : pageBytes >> 8);
    header[17] = char(pageBytes == 65536 ? 1 : pageBytes & 0xff);
    header[18] = char(mode);
    header[19] = char(mode);
    header[21] = 64; // payload fractions, fixed by the format
    header[22] = 32;
    header[23] = 32;
    put32(24, 1); // change counter, matched at 92; the size at 28 left 0: taken from the file
    put32(40, 1); // schema cookie
    put32(44, 4); // schema format
    put32(56, 1); // UTF-8
    put32(92, 1);
    put32(96, 3040001);
    return file.seek(0) && file.write(header) == kHeaderBytes;
}

} // namespace storage
