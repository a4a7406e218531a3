#pragma once
// A device that takes writes up to a chosen byte and refuses every write
// after it, as a full disk does: lets a test fail a save anywhere without
// root or a real full disk.
#include <QBuffer>

namespace testing {

class FailDevice final : public QBuffer {
public:
    explicit FailDevice(qint64 failAfterBytes) : m_limit(failAfterBytes) { open(QIODevice::WriteOnly); }

protected:
    qint64 writeData(const char* data, qint64 len) override
    {
        if (size() + len > m_limit) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return QBuffer::writeData(data, len);
    }

private:
    qint64 m_limit;
};

} // namespace testing

namespace testing {

// Passes writes on to another device until a chosen byte, then refuses.
class FailAfter final : public QIODevice {
public:
    FailAfter(QIODevice& target, qint64 limit) : m_target(target), m_limit(limit) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override
    {
        if (m_written + len > m_limit) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        m_written += len;
        return m_target.write(data, len);
    }

private:
    QIODevice& m_target;
    qint64 m_limit;
    qint64 m_written = 0;
};

} // namespace testing
