#pragma once
// Detection of another running instance of the program.
#include <QString>

namespace platform {

class InstanceDetector {
public:
    virtual ~InstanceDetector() = default;
    // True when another instance already runs. Otherwise this process now
    // holds the instance until it ends.
    virtual bool anotherInstanceRunning() = 0;
};

// An exclusive lock on a file in the user's runtime folder. The kernel drops
// the lock when the holder ends in any way, so a crashed instance never
// refuses the next start, and the folder is per user session.
class LockFileInstanceDetector final : public InstanceDetector {
public:
    explicit LockFileInstanceDetector(QString lockPath = defaultLockPath());
    ~LockFileInstanceDetector() override;
    bool anotherInstanceRunning() override;

    static QString defaultLockPath();

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace platform
