#include "orders/ordergroups.h"

namespace orders {

void OrderGroups::clear()
{
    m_nextOfLine.clear();
    m_firstLineOf.clear();
    m_lastLineOf.clear();
    m_orderOfKey.clear();
}

OrderGroups::Placed OrderGroups::addLine(qint64 line, const QString& key)
{
    const auto index = qint32(line);
    if (size_t(index) >= m_nextOfLine.size())
        m_nextOfLine.resize(size_t(index) + 1, -1);
    if (!key.isEmpty()) {
        if (const auto it = m_orderOfKey.constFind(key); it != m_orderOfKey.constEnd()) {
            m_nextOfLine[size_t(m_lastLineOf[size_t(*it)])] = index;
            m_lastLineOf[size_t(*it)] = index;
            return {*it, false};
        }
        m_orderOfKey.insert(key, qint32(m_firstLineOf.size()));
    }
    m_firstLineOf.push_back(index);
    m_lastLineOf.push_back(index);
    return {orderCount() - 1, true};
}

void OrderGroups::finish()
{
    m_orderOfKey = {};
    m_lastLineOf = {};
}

std::vector<qint64> OrderGroups::linesOf(qint64 order) const
{
    std::vector<qint64> lines;
    for (qint32 line = m_firstLineOf[size_t(order)]; line >= 0; line = m_nextOfLine[size_t(line)])
        lines.push_back(line);
    return lines;
}

} // namespace orders
