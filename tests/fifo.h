#pragma once
// A named pipe (FIFO) where the program expects a file. Code that opens it
// the ordinary way waits for a writer for ever; so that such a fault fails
// its test instead of hanging it, a writer comes after `seconds`, writes
// nothing and goes, and released() then says the code had been waiting.
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
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
        m_guard = std::thread([this, seconds] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (!m_done && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // A reader waiting in open() lets a writer in; with none, this fails at once.
            while (!m_done) {
                const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_released = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~GuardedFifo()
    {
        m_done = true;
        m_guard.join();
        QFile::remove(m_path);
    }
    GuardedFifo(const GuardedFifo&) = delete;
    GuardedFifo& operator=(const GuardedFifo&) = delete;

    const QString& path() const { return m_path; }
    // The code under test had opened the pipe and was waiting on it.
    bool released() const { return m_released; }

private:
    QString m_path;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_released{false};
    std::thread m_guard;
};

} // namespace testing
