#pragma once
// Shared by the benchmark programs: peak memory, and a marker printed once
// a window has been painted for the first time.
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace bench {

// Peak resident set size of this process, in KiB.
inline long peakRssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Says "painted <peak KiB>" right after the widget's first paint, then ends
// the process at once (or runs then() instead of ending it). Ended there,
// a count of the process's instructions stops where the timed figure does:
// what the program queued for after its first paint, and the teardown,
// would otherwise be counted as start-up.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* w, std::function<void()> then = {}) : m_then(std::move(then))
    {
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, [this] {
                if (m_then) {
                    m_then();
                    return;
                }
                std::printf("painted %ld\n", peakRssKiB());
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> m_then;
    bool m_done = false;
};

} // namespace bench
