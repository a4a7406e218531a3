#include "app/batch/readingpump.h"

#include "orders/orderlist.h"

#include <QTimer>

namespace app {

namespace {

// Reading runs in slices this long, so the window keeps answering.
constexpr qint64 kReadSliceMs = 12;
constexpr int kRowsPerReadCall = 250;
constexpr qint64 kCountsEveryMs = 250;

} // namespace

ReadingPump::ReadingPump(orders::OrderList& list, QObject* parent) : QObject(parent), m_list(list)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &ReadingPump::readSlice);
}

bool ReadingPump::isActive() const { return m_timer->isActive(); }

void ReadingPump::start(bool rechecking)
{
    m_rechecking = rechecking;
    if (m_list.isComplete()) {
        readSlice(); // settles the texts at once
        return;
    }
    m_timer->start();
}

void ReadingPump::stop()
{
    m_timer->stop();
    m_rechecking = false;
}

void ReadingPump::readSamples()
{
    while (m_list.rowCount() < kSampleRows && !m_list.readMore(kSampleRows)) {
    }
}

void ReadingPump::readSlice()
{
    QElapsedTimer slice;
    slice.start();
    bool done = m_list.isComplete();
    while (!done && slice.elapsed() < kReadSliceMs)
        done = m_list.readMore(kRowsPerReadCall);
    bool countsDue = false;
    if (!done && (!m_sinceCounts.isValid() || m_sinceCounts.elapsed() > kCountsEveryMs)) {
        countsDue = true;
        m_sinceCounts.start();
    }
    emit sliceRead(countsDue);
    if (!done)
        return;
    stop();
    emit finished();
}

} // namespace app
