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

} // namespace storage
