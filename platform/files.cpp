#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace platform {

QString QtFolders::applicationFolder() const { return QCoreApplication::applicationDirPath(); }

QString QtFolders::userDataFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString QtFolders::documentsFolder() const
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

QString joinPath(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(name));
}

bool fileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool folderWritable(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}

bool ensureFolder(const QString& folder) { return QDir().mkpath(folder); }

bool createEmptyFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

std::optional<QByteArray> readFileBounded(const QString& path, qint64 maxBytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = f.read(maxBytes + 1);
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

bool writeFileAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile f(path);
    // Unbuffered, so a full device fails the write itself; a buffered write
    // can fail late at commit without saying so.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (f.write(content) != content.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace platform
