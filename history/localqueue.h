#pragma once
// The pages a station printed while its server could not be reached, kept
// in a SQLite file on this PC (the same tables as the history) until the
// server takes them. Nothing is opened before the first page waits or the
// first send finds the file there.
#include "history/history.h"

#include <memory>

namespace history {

class LocalQueue {
public:
    explicit LocalQueue(QString filePath);
    ~LocalQueue();
    LocalQueue(const LocalQueue&) = delete;
    LocalQueue& operator=(const LocalQueue&) = delete;

    const QString& filePath() const { return m_filePath; }
    // A file is there, so pages may be waiting in it.
    bool exists() const;
    // The queue's own file, opened at first use; its problems go to a
    // storage::ProblemsMet held around the call.
    storage::Database& database();

    // Keeps the pages of one document, all or none (History::recordAll).
    bool keep(int count, const std::function<std::optional<PrintRecord>(int index)>& recordAt);
    // Sends the waiting pages to `server`'s history, oldest first, a batch at
    // a time, and forgets each batch once the server took it. A send whose
    // answer was lost is sent again and meets the pages' own ids there, so no
    // page is recorded twice. Stops at the first batch the server does not
    // take; the pages sent.
    int sendTo(storage::Database& server, History& serverHistory);

private:
    QString m_filePath;
    std::unique_ptr<storage::Database> m_database;
};

} // namespace history
