#include "history/localqueue.h"

#include <QFileInfo>

namespace history {

LocalQueue::LocalQueue(QString filePath) : m_filePath(std::move(filePath)) {}

LocalQueue::~LocalQueue() = default;

bool LocalQueue::exists() const { return QFileInfo::exists(m_filePath); }

storage::Database& LocalQueue::database()
{
    if (!m_database)
        m_database = std::make_unique<storage::Database>(m_filePath);
    return *m_database;
}

bool LocalQueue::keep(int count, const std::function<std::optional<PrintRecord>(int index)>& recordAt)
{
    return History(database()).recordAll(count, recordAt);
}

int LocalQueue::sendTo(storage::Database& server, History& serverHistory)
{
    if (!exists())
        return 0;
    History queue(database());
    constexpr int kPagesPerSend = 500;
    int sent = 0;
    while (server.ensureOpen()) {
        const QList<HistoryEntry> batch = queue.oldestFirst(kPagesPerSend);
        if (batch.isEmpty())
            break;
        if (!serverHistory.recordAll(int(batch.size()), [&](int i) { return std::optional(batch[i].record); }) ||
            !queue.removeThrough(batch.last().id))
            break;
        sent += int(batch.size());
    }
    return sent;
}

} // namespace history
