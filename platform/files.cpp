#include "platform/files.h"

#include "platform/datafiles.h"
#include "platform/readfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString QtFolders::applicationFolder() const { return QCoreApplication::applicationDirPath(); }

bool QtFolders::applicationFolderKeepsFiles() const { return !runsInstalled(applicationFolder()); }

QString QtFolders::userDataFolder() const { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

QString QtFolders::documentsFolder() const
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

QString QtFolders::configFolder() const { return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation); }

QString Folders::settingsFile() const { return QDir(configFolder()).filePath(QStringLiteral("horutea.conf")); }

QString joinPath(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(name));
}

bool fileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

qint64 modifiedMsecs(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.lastModified().toMSecsSinceEpoch() : -1;
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

bool copyFile(const QString& from, const QString& to) { return QFile::copy(from, to); }

bool removeFile(const QString& path) { return QFile::remove(path); }

FileRead readFileBounded(const QString& path, qint64 maxBytes)
{
    FileRead result;
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.status = errno == ENOENT ? FileRead::Status::Missing : FileRead::Status::Unreadable;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.status = FileRead::Status::NotRegular;
        return result;
    }
    QByteArray data(int(std::min<qint64>(maxBytes + 1, st.st_size + 1)), Qt::Uninitialized);
    qint64 got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            result.status = FileRead::Status::Unreadable;
            return result;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    data.truncate(int(got));
    result.status = got > maxBytes ? FileRead::Status::TooLong : FileRead::Status::Ok;
    result.bytes = data;
    return result;
}

AtomicFile::AtomicFile(QString path, Mode mode, QString what, DeviceFilter filter)
    : m_path(std::move(path)), m_what(std::move(what)), m_mode(mode), m_filter(std::move(filter))
{}

AtomicFile::~AtomicFile()
{
    if (!m_committed)
        discard();
}

bool AtomicFile::open()
{
    // A folder cannot be replaced by a file, and a named pipe or a device
    // would take the document and keep nothing of it (or wait for a reader).
    const FileKind kind = kindOfFile(m_path);
    if (kind == FileKind::Folder || kind == FileKind::Special) {
        m_notAFile = true;
        return false;
    }
    if (m_mode == NewOnly) {
        // Holds the name, so no other writer takes it while this one writes.
        if (!createEmptyFile(m_path))
            return false;
        m_reserved = true;
    }
    m_file = std::make_unique<QSaveFile>(m_path);
    // Unbuffered, so a full device fails the write itself; a buffered write
    // can fail late at commit without saying so.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        discard();
        return false;
    }
    if (m_filter)
        m_filtered = m_filter(*m_file);
    return true;
}

QIODevice& AtomicFile::device() { return m_filtered ? *m_filtered : *m_file; }

bool AtomicFile::commit()
{
    m_filtered.reset();
    if (!m_file || !m_file->commit()) {
        discard();
        return false;
    }
    m_committed = true;
    return true;
}

void AtomicFile::discard()
{
    m_filtered.reset();
    if (m_file && m_file->isOpen())
        m_file->cancelWriting();
    m_file.reset();
    if (m_reserved) {
        QFile::remove(m_path);
        m_reserved = false;
    }
}

QString AtomicFile::cause() const
{
    if (m_notAFile)
        return kindOfFile(m_path) == FileKind::Folder
                   ? QStringLiteral(
                         "その名前はフォルダです。フォルダの中に作るファイルの名前（例：%1）を指定してください。")
                         .arg(QDir::toNativeSeparators(QDir(m_path).filePath(QStringLiteral("送り状.pdf"))))
                   : QStringLiteral(
                         "その名前はふつうのファイルではありません（名前付きパイプや装置など）。書き込んだものが残らないため、書き込みません。"
                         "別のファイルの名前を指定してください。");
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("フォルダ「%1」がありません。").arg(QDir::toNativeSeparators(folder));
    // A full disk first: on it even the write probe fails.
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() < 64 * 1024)
        return QStringLiteral(
            "ディスクの空きが足りません。不要なファイルを消して空きを作ってから、もう一度やり直してください。");
    if (!folderWritable(folder))
        return QStringLiteral(
                   "フォルダ「%1」には書き込みが許されていません。書き込める場所を選ぶか、フォルダの許可を確かめてください。")
            .arg(QDir::toNativeSeparators(folder));
    if (m_mode == NewOnly && QFileInfo::exists(m_path) && !m_reserved)
        return QStringLiteral("同じ名前のファイルがすでにあります。");
    const QString detail = m_file ? m_file->errorString() : QString();
    if (detail.isEmpty())
        return QStringLiteral("書き込みに失敗しました。保存先のフォルダとディスクに異常がないか確かめてください。");
    return QStringLiteral("書き込みに失敗しました（%1）。").arg(detail);
}

QString AtomicFile::failure() const
{
    return QStringLiteral("%1「%2」を保存できませんでした。%3").arg(m_what, QDir::toNativeSeparators(m_path), cause());
}

bool writeFileAtomically(const QString& path, const QByteArray& content, const DeviceFilter& filter)
{
    AtomicFile f(path, AtomicFile::Replace, QString(), filter);
    return f.open() && f.device().write(content) == content.size() && f.commit();
}

QString newFileName(const QString& folder, const QString& stem, const QString& suffix)
{
    for (int n = 1; n < 100000; ++n) {
        const QString name = n == 1 ? stem + suffix : QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(suffix);
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path))
            return path;
    }
    return {};
}

} // namespace platform
