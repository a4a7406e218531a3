#pragma once
// An order list read from the event loop a slice at a time, so the window
// keeps answering while a long list is read, or checked again after a
// change of its columns or constants.
#include <QElapsedTimer>
#include <QObject>

class QTimer;

namespace orders {
class OrderList;
}

namespace app {

class ReadingPump final : public QObject {
    Q_OBJECT
public:
    // Rows read at once before the column dialog, for its examples.
    static constexpr int kSampleRows = 3;

    explicit ReadingPump(orders::OrderList& list, QObject* parent = nullptr);

    // Reads until the list is complete; `rechecking`: the rows read before
    // are checked again too. A complete list is settled at once, before
    // this returns.
    void start(bool rechecking);
    void stop();
    bool isActive() const;
    bool isRechecking() const { return m_rechecking; }
    // The first kSampleRows rows, read now.
    void readSamples();

signals:
    // After each slice; `countsDue` a few times a second while reading
    // goes on, since counting the states takes a pass over all rows.
    void sliceRead(bool countsDue);
    // The list is complete (or its reading failed); not rechecking any more.
    void finished();

private:
    void readSlice();

    orders::OrderList& m_list;
    QTimer* m_timer;
    QElapsedTimer m_sinceCounts;
    bool m_rechecking = false;
};

} // namespace app
