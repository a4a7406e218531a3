#include "storage/serverthread.h"

#include "storage/server.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <sys/socket.h>
#include <thread>

namespace storage {

namespace {

// How often a waiting caller looks at the round trip's time.
constexpr int kWatchEveryMs = 20;
// After the cancel was asked for, how long the server has to answer it
// before the connection is shut (at most the limit itself).
constexpr int kCancelAnswerMs = 1000;

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

const QString kThreadName = QStringLiteral("horutea-server");

// Qt's PostgreSQL driver frees each prepared statement as its query ends,
// and warns on stderr when it cannot: always so after a failed statement
// (the transaction is aborted until it is rolled back) or a connection
// gone. The failure itself is told as the user's problem; the driver's
// words about it, on the server's thread only, are left out.
QtMessageHandler gEarlierHandler = nullptr;
void leaveOutStatementsNotFreed(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Unable to free statement")) &&
        QThread::currentThread()->objectName() == kThreadName)
        return;
    if (gEarlierHandler)
        gEarlierHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

} // namespace

ServerThread::ServerThread(int roundTripLimitMs) : m_limitMs(roundTripLimitMs) {}

ServerThread::~ServerThread()
{
    if (!m_thread)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread->wait();
}

void ServerThread::serve()
{
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_quit || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = m_jobs.front();
            m_jobs.pop_front();
            m_running = job;
        }
        m_cancelAsked = false;
        m_lastProgressMs = nowMs();
        try {
            (*job->work)();
        } catch (...) {
            job->thrown = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            m_running = nullptr;
            job->done = true;
            wake(*job);
        }
        m_changed.notify_all();
    }
}

void ServerThread::wake(const Job& job)
{
    if (job.callerEvents)
        job.callerEvents->wakeUp();
}

void ServerThread::run(const std::function<void()>& work)
{
    QThread* const caller = QThread::currentThread();
    // Events are kept going only where the thread has them (the window's,
    // the command line's); elsewhere the caller simply waits.
    QAbstractEventDispatcher* events =
        QCoreApplication::instance() ? QAbstractEventDispatcher::instance(caller) : nullptr;
    Job job{&work, caller, events};
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread) {
            static std::once_flag filtered;
            std::call_once(filtered, [] { gEarlierHandler = qInstallMessageHandler(leaveOutStatementsNotFreed); });
            m_thread.reset(QThread::create([this] { serve(); }));
            m_thread->setObjectName(kThreadName);
            m_thread->start();
        }
        m_jobs.push_back(&job);
    }
    m_changed.notify_all();

    std::unique_ptr<QTimer> watchTimer;
    if (events) {
        watchTimer = std::make_unique<QTimer>();
        watchTimer->start(kWatchEveryMs); // wakes the wait below to look at the time
    }
    for (;;) {
        const std::function<void()>* call = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (job.done)
                break;
            if (m_call.fn && !m_call.taken && m_call.caller == caller) {
                m_call.taken = true;
                call = m_call.fn;
            }
        }
        if (call) {
            std::exception_ptr thrown;
            try {
                (*call)();
            } catch (...) {
                thrown = std::current_exception();
            }
            {
                std::lock_guard lock(m_mutex);
                m_call.done = true;
                m_call.thrown = thrown;
            }
            m_changed.notify_all();
            continue;
        }
        watch();
        if (events) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
        } else {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::milliseconds(kWatchEveryMs),
                               [&] { return job.done || (m_call.fn && !m_call.taken); });
        }
    }
    if (job.thrown)
        std::rethrow_exception(job.thrown);
}

void ServerThread::runOnCaller(const std::function<void()>& fn)
{
    std::exception_ptr thrown;
    m_onCaller = true;
    {
        std::unique_lock lock(m_mutex);
        m_call = CallerCall{&fn, m_running ? m_running->caller : nullptr};
        if (m_running)
            wake(*m_running);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_call.done; });
        thrown = m_call.thrown;
        m_call = CallerCall{};
    }
    m_onCaller = false;
    m_lastProgressMs = nowMs();
    if (thrown)
        std::rethrow_exception(thrown);
}

void ServerThread::progressed() { m_lastProgressMs = nowMs(); }

void ServerThread::watchConnection(std::shared_ptr<void> cancel, int socket)
{
    std::lock_guard lock(m_connectionMutex);
    m_cancel = std::move(cancel);
    m_socket = socket;
    m_cut = false;
}

void ServerThread::watch()
{
    if (m_onCaller)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
    }
    const int longer = m_longerLimitMs;
    const qint64 waitedMs = nowMs() - m_lastProgressMs;
    if (waitedMs <= (longer > 0 ? longer : m_limitMs))
        return;
    std::lock_guard lock(m_connectionMutex);
    if (m_socket < 0 || m_cut)
        return;
    if (!m_cancelAsked) {
        m_cancelAsked = true;
        // The request waits for the server's answer, which a frozen server
        // never gives: asked beside, the cancel handle kept alive for it.
        std::thread([cancel = m_cancel] {
            if (cancel)
                requestCancel(cancel.get());
        }).detach();
        return;
    }
    if (waitedMs > (longer > 0 ? longer : m_limitMs) + std::min(kCancelAnswerMs, m_limitMs)) {
        ::shutdown(m_socket, SHUT_RDWR);
        m_cut = true;
    }
}

} // namespace storage
