#pragma once
// What the batch window says in words: a problem with the whole list (the
// banner over the rows), the counts of the rows' states, the reasons of the
// row in hand, and the outcome of the last command.
#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace orders {
class OrderList;
}

namespace app {

class OrderListModel;

class BatchTexts final : public QObject {
    Q_OBJECT
public:
    explicit BatchTexts(QWidget* parent);

    QLabel* banner() const { return m_banner; }
    QLabel* summary() const { return m_summary; }
    QLabel* rowDetail() const { return m_rowDetail; }
    QLabel* status() const { return m_status; }

    QString bannerText() const;
    QString summaryText() const;
    QString rowDetailText() const;
    QString statusText() const;

    void setStatus(const QString& text);
    // An empty text hides the banner.
    void setBanner(const QString& text);
    // The banner once the list is read to its end: why it stopped, what it
    // lacks, or the notes on its heading row.
    void showListRead(const orders::OrderList& list);
    // The counts of the list's rows by state; nothing before a list is open.
    // Returns the printable rows counted.
    qint64 showCounts(const orders::OrderList& list, bool open);
    // The state of `row` and, for a refused row, its reasons.
    void showRow(OrderListModel& model, qint64 row, bool open);

private:
    QLabel* m_banner;
    QLabel* m_summary;
    QLabel* m_rowDetail;
    QLabel* m_status;
};

// A count as the window writes it: 1,234.
QString countText(qint64 n);

} // namespace app
