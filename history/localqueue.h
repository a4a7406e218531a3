#pragma once
// The pages a station printed while its server could not take them, kept
// on this PC until that server takes them: one SQLite file per server (the
// same tables as the history), so that pages queued for one server never
// reach another. A server is its address, port and database, and its own
// identity (its system identifier) where it was known when the pages were
// queued. Nothing is opened before the first page waits or the first send
// finds a file there.
//
// A damaged file is set aside (storage/damagedfile.h); what SQLite can
// still read of it is taken back into the queue and sent, what it cannot is
// counted, and both are said with where the damaged file was kept.
#include "history/history.h"

#include <map>
#include <memory>

namespace history {

// The server the pages of one queue wait for.
struct QueueServer {
    storage::ServerAddress address; // host, port and database; the user is no part of it
    QString identity;               // the server's system identifier; empty when it was not known

    // "192.168.1.10:5432 のデータベース「horutea」", as messages name it.
    QString shown() const;
};

// Damaged queue files met by one call, and their pages.
struct ReadBack {
    int recovered = 0;        // read back into the queue
    int unreadable = 0;       // past reading
    QStringList damagedFiles; // where the damaged files were kept

    bool any() const { return !damagedFiles.isEmpty(); }
    // For the user: both counts, and where the files are.
    QString said() const;
};

class LocalQueue {
public:
    // folder: where the queues' files are kept (beside the settings).
    explicit LocalQueue(QString folder);
    ~LocalQueue();
    LocalQueue(const LocalQueue&) = delete;
    LocalQueue& operator=(const LocalQueue&) = delete;

    // The file whose pages wait for `server`.
    QString filePathFor(const QueueServer& server) const;

    struct Kept {
        bool ok = false;
        QString problem; // why the pages could not be kept, for the user
        ReadBack readBack;
    };
    // Keeps the pages of one document for `server`, all or none
    // (History::recordAll).
    Kept keep(const QueueServer& server, int count,
              const std::function<std::optional<PrintRecord>(int index)>& recordAt);
    // Keeps a spoiled form for `server` (give it a station id).
    Kept keepSpoiled(const QueueServer& server, const SpoiledForm& form);

    // Runs `read` on what waits for the server `current` is (each file for
    // its address with its identity not known, and with it), as a history
    // with the database it reads. Empty, or why a file could not be read.
    QString readWaitingFor(const QueueServer& current,
                           const std::function<bool(History& waiting, storage::Database& file)>& read);

    struct Sent {
        int pages = 0; // taken by the server
        int spoiledForms = 0;
        QString problem; // what kept the queue from being read, for the user
        ReadBack readBack;
    };
    // Sends the pages and spoiled forms waiting for the server `server` is (its address, and
    // its identity or none known), oldest first, a batch at a time, and
    // forgets each batch once the server took it. A send whose answer was
    // lost is sent again and meets the pages' own ids there, so no page is
    // recorded twice. Stops at the first batch the server does not take.
    Sent sendTo(storage::Database& server, History& serverHistory);

    struct Elsewhere {
        int pages = 0;
        QStringList servers; // each as QueueServer::shown(), or the file's name when it names none
        QStringList files;
    };
    // The pages waiting for other servers than `current` (nothing: this
    // PC's own file is in use, so every queued page waits for another).
    // With the identity of `current` not known yet, every queue for its
    // address counts as its own.
    Elsewhere waitingElsewhere(const std::optional<QueueServer>& current);

private:
    struct Queue;
    Queue& queueAt(const QString& filePath, const std::optional<QueueServer>& server);
    // Runs an operation on the queue's file; a damaged file met on the way
    // is read back into the fresh one, any other problem is returned.
    QString use(Queue& queue, const std::function<bool()>& operation, bool& done, ReadBack& readBack);
    // The file of an earlier version, which kept one queue for whatever
    // server the station used, taken as the queue of `server` when it has
    // none yet.
    void adoptUnnamedQueue(const QueueServer& server);
    QStringList queueFiles() const;
    // The files whose pages wait for `current`, as they would be named.
    QStringList pathsFor(const QueueServer& current) const;

    QString m_folder;
    std::map<QString, std::unique_ptr<Queue>> m_queues; // by file path
};

} // namespace history
