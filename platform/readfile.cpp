#include "platform/readfile.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    return FileKind::Special;
}

} // namespace

FileKind kindOfFile(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unreadable;
    return kindOfMode(st.st_mode);
}

FileKind openRegularFile(QFile& file, QString* systemError, QIODevice::OpenMode mode)
{
    const auto failed = [&](FileKind kind) {
        if (systemError)
            *systemError = QString::fromLocal8Bit(std::strerror(errno));
        return kind;
    };
    const QByteArray name = QFile::encodeName(file.fileName());
    int fd;
    do {
        // Non-blocking: opening a FIFO without a writer would wait for one.
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return FileKind::Missing;
        if (error == EISDIR)
            return FileKind::Folder;
        return failed(FileKind::Unreadable);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const FileKind kind = failed(FileKind::Unreadable);
        ::close(fd);
        return kind;
    }
    if (const FileKind kind = kindOfMode(st.st_mode); kind != FileKind::Regular) {
        ::close(fd);
        return kind;
    }
    // A regular file reads the same either way; the flag is taken off so no
    // later read can be refused for it.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        if (systemError)
            *systemError = file.errorString();
        ::close(fd);
        return FileKind::Unreadable;
    }
    return FileKind::Regular;
}

QString notReadableText(FileKind kind, const QString& path, const QString& what, const QString& systemError)
{
    const QString name = QDir::toNativeSeparators(path);
    switch (kind) {
    case FileKind::Regular:
        return {};
    case FileKind::Missing:
        return QStringLiteral("%1「%2」が見つかりません。ファイルの名前と場所を確かめてください。").arg(what, name);
    case FileKind::Folder:
        return QStringLiteral("%1「%2」はフォルダです。フォルダの中のファイルを選んでください。").arg(what, name);
    case FileKind::Special:
        return QStringLiteral(
                   "%1「%2」はふつうのファイルではありません（名前付きパイプや装置など）。読み込むと止まったままになるため開きません。"
                   "ふつうのファイルとして保存したものを選んでください。")
            .arg(what, name);
    case FileKind::Unreadable:
        break;
    }
    return QStringLiteral("%1「%2」を開けませんでした（%3）。読み取りの許可を確かめてください。")
        .arg(what, name, systemError);
}

QString specialFileProblem(const QString& path, const QString& what)
{
    const FileKind kind = kindOfFile(path);
    if (kind != FileKind::Folder && kind != FileKind::Special)
        return {};
    return QStringLiteral("%1「%2」が%3ため、読みません。その名前のものを別の場所へ移すか、名前を変えてください。")
        .arg(what, QDir::toNativeSeparators(path),
             kind == FileKind::Folder ? QStringLiteral("フォルダになっている")
                                      : QStringLiteral("ふつうのファイルではない（名前付きパイプや装置など）"));
}

} // namespace platform
