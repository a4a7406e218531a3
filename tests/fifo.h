#pragma once
// A named pipe (FIFO) where the program expects a file. Code that opens it
// the ordinary way waits for a writer for ever; so that such a fault fails
// its test instead of hanging it, writers come after `seconds` and go at
// once, and released() then says the code had been waiting.
#include <QFile>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testing {

class GuardedFifo {
public:
    explicit GuardedFifo(QString path, int seconds = 5) : m_path(std::move(path))
    {
        if (::mkfifo(QFile::encodeName(m_path).constData(), 0600) != 0)
            qFatal("cannot make the FIFO %s", qPrintable(m_path));
        m_guard = std::thread([this, until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds)] {
            for (; !m_done; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
                // Opens only while a reader waits in open(); then lets it go.
                const int fd = std::chrono::steady_clock::now() < until
                                   ? -1
                                   : ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    m_released = true, ::close(fd);
            }
        });
    }
    ~GuardedFifo()
    {
        m_done = true;
        m_guard.join();
        QFile::remove(m_path);
    }
    const QString& path() const { return m_path; }
    bool released() const { return m_released; }

private:
    QString m_path;
    std::atomic<bool> m_done{false}, m_released{false};
    std::thread m_guard;
};

} // namespace testing
