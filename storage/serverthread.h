#pragma once
// The thread a server's connection lives on. Every operation on the server
// runs there, and the thread that asked for it waits with its events going
// on (timers, painting, the window's system messages; the user's input is
// held until the answer), so a window never stops answering while a server
// is slow, gone or frozen.
//
// Each round trip has a limit. Past it the server is asked to cancel the
// statement (libpq's PQcancel); when that brings no answer either (a frozen
// server, a host gone from the network) the connection's socket is shut, so
// the operation fails at once and its pages can go elsewhere.
#include "storage/statements.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class QAbstractEventDispatcher;

namespace storage {

class ServerThread final : public WaitingCaller {
public:
    explicit ServerThread(int roundTripLimitMs);
    ~ServerThread() override;
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    // Runs job on the server's thread and waits for it; meanwhile the calling
    // thread keeps its events going and runs what the job hands it
    // (runOnCaller). An exception the job throws is thrown here.
    void run(const std::function<void()>& job);

    // From the job: runs fn on the thread waiting for the job.
    void runOnCaller(const std::function<void()>& fn) override;
    // From the job: a round trip begins or ends.
    void progressed() override;

    // From the job: the connection the limit applies to, with libpq's
    // cancel handle (PGcancel) and its socket; none (nullptr, -1) while it
    // is closed. A round trip waits without a limit of its own while none
    // is watched (libpq's connect_timeout bounds the connecting).
    void watchConnection(std::shared_ptr<void> cancel, int socket);
    // From the job: whether the watched connection was shut for not answering.
    bool connectionCut() const { return m_cut.load(); }
    int roundTripLimitMs() const { return m_limitMs; }
    // From the job: a longer limit while the schema is brought up to date
    // (an index made over a large book); 0 goes back to the usual one.
    void setLongerLimitMs(int limitMs) { m_longerLimitMs = limitMs; }

private:
    struct Job {
        const std::function<void()>* work;
        QThread* caller;
        QAbstractEventDispatcher* callerEvents;
        bool done = false;
        std::exception_ptr thrown;
    };
    struct CallerCall {
        const std::function<void()>* fn = nullptr;
        QThread* caller = nullptr;
        bool taken = false;
        bool done = false;
        std::exception_ptr thrown;
    };

    void serve();
    // Called while a caller waits: the running job's round trip checked
    // against its limit.
    void watch();
    void wake(const Job& job);

    const int m_limitMs;
    std::unique_ptr<QThread> m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job*> m_jobs;
    Job* m_running = nullptr;
    CallerCall m_call;
    bool m_quit = false;

    // The watch, written by the job and read by the waiting caller.
    std::atomic<qint64> m_lastProgressMs = 0;
    std::atomic<bool> m_onCaller = false;
    std::atomic<int> m_longerLimitMs = 0;
    std::atomic<bool> m_cancelAsked = false;
    std::atomic<bool> m_cut = false;
    std::mutex m_connectionMutex; // the socket is shut only while it is the connection's
    std::shared_ptr<void> m_cancel;
    int m_socket = -1;
};

} // namespace storage
