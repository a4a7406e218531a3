#pragma once
// The lines of a shop's list gathered into orders: lines with one order key
// (shoplayouts.h, OrderParts::orderKey) are one order wherever they stand;
// a line without a key is an order of its own. Orders are counted in the
// order their first lines stand in the file.
#include <QHash>
#include <QString>
#include <vector>

namespace orders {

class OrderGroups {
public:
    void clear();

    struct Placed {
        qint64 order;
        bool newOrder; // the line began an order
    };
    // Line `line` (counted from 0 over the list's lines, each once, in file
    // order) with its order key.
    Placed addLine(qint64 line, const QString& key);
    // Every line is found: the keys are no longer needed.
    void finish();

    qint64 orderCount() const { return qint64(m_firstLineOf.size()); }
    qint64 firstLineOf(qint64 order) const { return m_firstLineOf[size_t(order)]; }
    // The order's lines in file order.
    std::vector<qint64> linesOf(qint64 order) const;

private:
    std::vector<qint32> m_nextOfLine;    // the order's next line after each line, -1: none
    std::vector<qint32> m_firstLineOf;   // each order's first line
    std::vector<qint32> m_lastLineOf;    // while lines are found
    QHash<QString, qint32> m_orderOfKey; // while lines are found
};

} // namespace orders
