#include "storage/problems.h"

#include <algorithm>

namespace storage {

void ProblemRouter::raise(Problem problem)
{
    const bool repeat = m_kindTold && *m_kindTold == problem.kind;
    m_lastProblem = std::move(problem);
    if (repeat)
        return;
    m_kindTold = m_lastProblem->kind;
    if (!m_listening.empty())
        m_listening.back()->m_met = m_lastProblem;
    else if (m_receiver)
        m_receiver(*m_lastProblem);
}

ProblemsMet::ProblemsMet(ProblemRouter& router) : m_router(router) { m_router.m_listening.push_back(this); }

ProblemsMet::~ProblemsMet()
{
    auto& listening = m_router.m_listening;
    listening.erase(std::find(listening.begin(), listening.end(), this));
    if (!m_met)
        return;
    if (!listening.empty())
        listening.back()->m_met = std::move(m_met);
    else if (m_router.m_receiver)
        m_router.m_receiver(*m_met);
}

} // namespace storage
