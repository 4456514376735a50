#include "tds/Throttle.h"

namespace tds {

LoginThrottle::Verdict LoginThrottle::failed(const QString& address, Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    auto it = m_entries.find(address);
    if (it == m_entries.end()) {
        makeRoom(now);
        it = m_entries.emplace(address, Entry{}).first;
    }
    Entry& e = it->second;
    if (e.failures > 0 && now - e.lastFailure > m_limits.window)
        e.failures = 0;
    ++e.failures;
    e.lastFailure = now;
    Verdict v;
    v.failures = e.failures;
    v.delay = std::min(m_limits.step * e.failures, m_limits.maxDelay);
    if (e.failures >= m_limits.blockAfter && e.blockedUntil <= now) {
        e.blockedUntil = now + m_limits.blockFor;
        v.blockStarts = true;
    }
    return v;
}

bool LoginThrottle::blocked(const QString& address, Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(address);
    return it != m_entries.end() && it->second.blockedUntil > now;
}

// Forgets the addresses whose failures are past, and when all are recent the one that failed
// longest ago (its block ends early: the bound on memory comes first).
void LoginThrottle::makeRoom(Clock::time_point now) {
    if (qsizetype(m_entries.size()) < m_limits.maxAddresses)
        return;
    auto oldest = m_entries.end();
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (now - it->second.lastFailure > m_limits.window && it->second.blockedUntil <= now) {
            it = m_entries.erase(it);
            continue;
        }
        if (oldest == m_entries.end() || it->second.lastFailure < oldest->second.lastFailure)
            oldest = it;
        ++it;
    }
    if (qsizetype(m_entries.size()) >= m_limits.maxAddresses && oldest != m_entries.end())
        m_entries.erase(oldest);
}

} // namespace tds
