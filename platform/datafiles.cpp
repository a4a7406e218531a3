#include "platform/datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// Paths relative to the program's folder, set from the install layout by the
// build (cmake/Packaging.cmake), so the lookup and the install rules agree.
#if !defined(HORUTEA_DATA_DIR_FROM_PROGRAM) || !defined(HORUTEA_MODULE_DIR_FROM_PROGRAM)
#error "the build names the installed folders relative to the program"
#endif

namespace platform {

namespace {

QString besideProgram(const QString& programFolder, const char* relative)
{
    return QDir::cleanPath(QDir(programFolder).filePath(QString::fromUtf8(relative)));
}

QString sourceDataFolder()
{
#ifdef HORUTEA_SOURCE_DATA_DIR
    return QStringLiteral(HORUTEA_SOURCE_DATA_DIR);
#else
    return {};
#endif
}

} // namespace

QString installedDataFolder(const QString& programFolder)
{
    return besideProgram(programFolder, HORUTEA_DATA_DIR_FROM_PROGRAM);
}

QString installedModuleFolder(const QString& programFolder)
{
    return besideProgram(programFolder, HORUTEA_MODULE_DIR_FROM_PROGRAM);
}

bool runsInstalled(const QString& programFolder)
{
    return !programFolder.isEmpty() && QFileInfo(installedDataFolder(programFolder)).isDir();
}

QString dataFilePath(const QString& relativePath, const QString& programFolder, const QString& sourceDataFolder)
{
    const QString installed =
        programFolder.isEmpty() ? QString() : QDir(installedDataFolder(programFolder)).filePath(relativePath);
    if (!installed.isEmpty() && QFileInfo::exists(installed))
        return installed;
    if (!sourceDataFolder.isEmpty()) {
        const QString inSourceTree = QDir(sourceDataFolder).filePath(relativePath);
        if (installed.isEmpty() || QFileInfo::exists(inSourceTree))
            return inSourceTree;
    }
    return installed;
}

QString dataFilePath(const QString& relativePath)
{
    const QString programFolder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    return dataFilePath(relativePath, programFolder, sourceDataFolder());
}

} // namespace platform
