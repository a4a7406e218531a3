#include "platform/instance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

LockFileInstanceDetector::LockFileInstanceDetector(QString lockPath) : m_path(std::move(lockPath)) {}

LockFileInstanceDetector::~LockFileInstanceDetector()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString LockFileInstanceDetector::defaultLockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("horutea.instance.lock"));
}

bool LockFileInstanceDetector::anotherInstanceRunning()
{
    if (m_fd >= 0)
        return false; // this process holds it already
    const QByteArray path = QFile::encodeName(m_path);
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false; // no place for a lock: never refuse a start for that
    int r;
    do {
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
    m_fd = fd;
    return false;
}

} // namespace platform
