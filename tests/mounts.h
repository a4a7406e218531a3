#pragma once
// Folders that really refuse writes, for tests run as root (where permission
// bits are no obstacle): small tmpfs mounts in a mount namespace of the test
// process's own, gone when it ends. Call enterPrivateMounts() from main
// before any thread starts.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testing {

inline bool& privateMounts()
{
    static bool on = false;
    return on;
}

inline void enterPrivateMounts()
{
    if (geteuid() == 0 && unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0)
        privateMounts() = true;
}

// A small file system of its own at path while the object lives.
class SmallMount {
public:
    explicit SmallMount(const QString& path, const char* size = "size=64k") : m_path(path)
    {
        QDir().mkpath(path);
        m_mounted = privateMounts() && mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, size) == 0;
    }
    ~SmallMount()
    {
        if (m_mounted)
            umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
        else
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool mounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

inline bool makeReadOnly(const QString& path)
{
    if (privateMounts())
        return mount("none", QFile::encodeName(path).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
}

// Fills the file system at path until no byte more fits.
inline void fillUp(const QString& path)
{
    QFile filler(QDir(path).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    const QByteArray byte(1, 'x');
    while (filler.write(byte) == 1 && filler.flush()) {
    }
}

} // namespace testing

namespace testing {

inline bool makeWritable(const QString& path)
{
    if (privateMounts())
        return mount("none", QFile::encodeName(path).constData(), nullptr, MS_REMOUNT, nullptr) == 0;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace testing
