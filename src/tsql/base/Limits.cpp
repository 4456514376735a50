#include "tsql/base/Limits.h"

#include "tsql/base/Messages.h"

#include "tsql/base/ServerError.h"

#include <sqlite3.h>

#include <limits>

namespace tsql {

namespace {

thread_local BatchBudget* g_current = nullptr;

// SQLite calls it every kProgressSteps virtual machine instructions; a non-zero answer
// interrupts the statement (SQLITE_INTERRUPT).
constexpr int kProgressSteps = 1000;

int outOfTime(void* budget) {
    return static_cast<const BatchBudget*>(budget)->expired() ? 1 : 0;
}

} // namespace

void BatchBudget::start(const Limits& limits) {
    m_limits = limits;
    m_clock.start();
    m_used = 0;
    m_ticks = 0;
    ++m_generation;
    m_cancelled.store(false, std::memory_order_relaxed);
}

qint64 BatchBudget::remainingMs() const {
    if (m_limits.timeoutMs <= 0)
        return std::numeric_limits<qint64>::max();
    return std::max<qint64>(0, m_limits.timeoutMs - m_clock.elapsed());
}

void BatchBudget::timeoutExpired() {
    // The client's attention ends the batch on SQL Server, and TRY/CATCH does not see it: the
    // level above 19 keeps every CATCH block of the engine from handling it.
    raise<Msg::QueryTimeout>();
}

void BatchBudget::memoryExceeded() const {
    const qint64 limit = m_limits.memoryBytes;
    const QString amount = limit % (1LL << 20) == 0 ? QStringLiteral("%1 MB").arg(limit >> 20)
                                                    : QStringLiteral("%1 bytes").arg(limit);
    // Level 17, as SQL Server's own shortage of memory (Msg 701): the batch can catch it, and
    // every further attempt fails the same way before it allocates anything.
    raise<Msg::OutOfMemoryBudget>(amount);
}

void BatchBudget::charge(qint64 bytes) {
    checkRoom(bytes);
    m_used += bytes;
}

void BatchBudget::release(qint64 bytes) {
    m_used = std::max<qint64>(0, m_used - bytes);
}

void BatchBudget::checkRoom(qint64 bytes) const {
    if (m_limits.memoryBytes > 0 && (bytes > m_limits.memoryBytes || m_used > m_limits.memoryBytes - bytes))
        memoryExceeded();
}

BatchBudget* currentBudget() {
    return g_current;
}

CurrentBudget::CurrentBudget(BatchBudget* budget)
    : m_previous(g_current) {
    g_current = budget;
}

CurrentBudget::~CurrentBudget() {
    g_current = m_previous;
}

SqliteBatchScope::SqliteBatchScope(sqlite3* db, const BatchBudget& budget)
    : m_db(db)
    , m_lockWaitMs(budget.limits().lockWaitMs) {
    if (!m_db)
        return;
    sqlite3_progress_handler(m_db, kProgressSteps, outOfTime, const_cast<BatchBudget*>(&budget));
    qint64 wait = std::max(0, m_lockWaitMs);
    if (budget.limits().timeoutMs > 0)
        wait = std::min(wait, budget.remainingMs());
    sqlite3_busy_timeout(m_db, int(wait));
    if (budget.limits().memoryBytes > 0) {
        const int length =
            int(std::min<qint64>(budget.limits().memoryBytes, std::numeric_limits<int>::max()));
        m_previousLength = sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, length);
    }
}

SqliteBatchScope::~SqliteBatchScope() {
    if (!m_db)
        return;
    sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    sqlite3_busy_timeout(m_db, std::max(0, m_lockWaitMs));
    if (m_previousLength >= 0)
        sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, m_previousLength);
}

void setLockWait(sqlite3* db, int milliseconds) {
    if (db)
        sqlite3_busy_timeout(db, std::max(0, milliseconds));
}

MemoryCharge::MemoryCharge(MemoryCharge&& other) noexcept
    : m_budget(other.m_budget)
    , m_generation(other.m_generation)
    , m_bytes(other.m_bytes) {
    other.m_budget = nullptr;
    other.m_bytes = 0;
}

MemoryCharge& MemoryCharge::operator=(MemoryCharge&& other) noexcept {
    if (this != &other) {
        clear();
        m_budget = other.m_budget;
        m_generation = other.m_generation;
        m_bytes = other.m_bytes;
        other.m_budget = nullptr;
        other.m_bytes = 0;
    }
    return *this;
}

void MemoryCharge::add(qint64 bytes) {
    BatchBudget* budget = currentBudget();
    if (!budget)
        return;
    if (m_budget && (m_budget != budget || m_generation != budget->generation()))
        clear();
    budget->charge(bytes);
    m_budget = budget;
    m_generation = budget->generation();
    m_bytes += bytes;
}

void MemoryCharge::keep() {
    m_budget = nullptr;
    m_bytes = 0;
}

void MemoryCharge::release() {
    if (m_budget->generation() == m_generation)
        m_budget->release(m_bytes);
    m_budget = nullptr;
    m_bytes = 0;
}

} // namespace tsql
