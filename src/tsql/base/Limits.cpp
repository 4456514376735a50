#include "tsql/base/Limits.h"

#include "tsql/base/Messages.h"

#include "tsql/base/ServerError.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace tsql {

namespace {

thread_local BatchBudget* g_current = nullptr;

// SQLite calls it every kProgressSteps virtual machine instructions; a non-zero answer
// interrupts the statement (SQLITE_INTERRUPT).
constexpr int kProgressSteps = 1000;

// The bytes every batch of the process holds, taken a megabyte at a time by each batch.
std::atomic<qint64> g_serverInUse{0};
constexpr qint64 kReserveStep = 1LL << 20;

} // namespace

qint64 serverMemoryInUse() {
    return g_serverInUse.load(std::memory_order_relaxed);
}

void BatchBudget::start(const Limits& limits, bool keepCancel) {
    finish();
    m_limits = limits;
    m_clock.start();
    m_used = 0;
    m_ticks = 0;
    m_diskExceeded = false;
    ++m_generation;
    if (!keepCancel)
        m_cancelled.store(false, std::memory_order_relaxed);
}

void BatchBudget::finish() {
    if (m_reserved > 0)
        g_serverInUse.fetch_sub(m_reserved, std::memory_order_relaxed);
    m_reserved = 0;
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

// A limit as the messages write it: in megabytes when it is a whole number of them.
QString limitText(qint64 limit) {
    return limit % (1LL << 20) == 0 ? QStringLiteral("%1 MB").arg(limit >> 20)
                                    : QStringLiteral("%1 bytes").arg(limit);
}

void BatchBudget::memoryExceeded() const {
    // Level 17, as SQL Server's own shortage of memory (Msg 701): the batch can catch it, and
    // every further attempt fails the same way before it allocates anything.
    raise<Msg::OutOfMemoryBudget>(limitText(m_limits.memoryBytes));
}

void BatchBudget::serverMemoryExceeded() {
    // SQL Server's own message when the server as a whole has no memory left for the query.
    raise<Msg::InsufficientMemory>();
}

void BatchBudget::diskLimitReached() const {
    // SQLite rolls back the whole transaction of a write it interrupts: no CATCH block handles
    // it, as with the end of a transaction SQLite decided (Msg 40003).
    raise<Msg::OutOfDiskBudget>(limitText(m_limits.diskBytes));
}

void BatchBudget::charge(qint64 bytes) {
    checkRoom(bytes);
    if (m_used + bytes > m_reserved)
        reserve(m_used + bytes);
    m_used += bytes;
}

// Takes from the process's counter what the batch now holds beyond its share, rounded up to a
// megabyte, so that a batch touches the shared counter once a megabyte rather than once a value.
void BatchBudget::reserve(qint64 bytes) {
    const qint64 step = ((bytes - m_reserved) + kReserveStep - 1) / kReserveStep * kReserveStep;
    const qint64 total = g_serverInUse.fetch_add(step, std::memory_order_relaxed) + step;
    if (m_limits.serverMemoryBytes > 0 && total > m_limits.serverMemoryBytes) {
        g_serverInUse.fetch_sub(step, std::memory_order_relaxed);
        serverMemoryExceeded();
    }
    m_reserved += step;
}

void BatchBudget::release(qint64 bytes) {
    m_used = std::max<qint64>(0, m_used - bytes);
}

void BatchBudget::checkRoom(qint64 bytes) const {
    if (m_limits.memoryBytes > 0 && (bytes > m_limits.memoryBytes || m_used > m_limits.memoryBytes - bytes))
        memoryExceeded();
    const qint64 beyondShare = m_used + bytes - m_reserved;
    if (m_limits.serverMemoryBytes > 0 && beyondShare > 0 &&
        (beyondShare > m_limits.serverMemoryBytes ||
         g_serverInUse.load(std::memory_order_relaxed) > m_limits.serverMemoryBytes - beyondShare))
        serverMemoryExceeded();
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

LockWait::LockWait(sqlite3* db, int milliseconds)
    : m_db(db)
    , m_limitMs(std::max(0, milliseconds)) {
    install();
}

LockWait::~LockWait() {
    if (m_db)
        sqlite3_busy_handler(m_db, nullptr, nullptr);
}

void LockWait::install() {
    if (m_db)
        sqlite3_busy_handler(m_db, busy, this);
}

// SQLite calls it each time a lock it needs is held by another connection, `attempts` counting
// from 0 for one wait; 0 gives up (SQLITE_BUSY), anything else tries again.
int LockWait::busy(void* wait, int attempts) {
    auto* self = static_cast<LockWait*>(wait);
    if (attempts == 0)
        self->m_clock.start();
    if (self->m_stop && self->m_stop())
        return 0;
    const qint64 left = self->m_limitMs - self->m_clock.elapsed();
    if (left <= 0)
        return 0;
    // Short first sleeps for a lock held briefly, then steps short enough to hear a cancel.
    constexpr qint64 steps[] = {1, 2, 5, 10};
    const qint64 step = steps[std::min<std::size_t>(std::size_t(attempts), std::size(steps) - 1)];
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, step)));
    return 1;
}

SqliteBatchScope::SqliteBatchScope(sqlite3* db, BatchBudget& budget, LockWait* lockWait)
    : m_db(db)
    , m_budget(budget)
    , m_lockWait(lockWait)
    , m_lockWaitMs(budget.limits().lockWaitMs) {
    if (!m_db)
        return;
    sqlite3_progress_handler(m_db, kProgressSteps, progress, this);
    if (m_lockWait != nullptr) {
        // The wait ends with the batch's time or its cancel, whichever comes first.
        m_lockWait->setLimit(m_lockWaitMs);
        m_lockWait->watch([&budget] { return budget.expired(); });
    } else {
        qint64 wait = std::max(0, m_lockWaitMs);
        if (budget.limits().timeoutMs > 0)
            wait = std::min(wait, budget.remainingMs());
        sqlite3_busy_timeout(m_db, int(wait));
    }
    if (budget.limits().memoryBytes > 0) {
        const int length =
            int(std::min<qint64>(budget.limits().memoryBytes, std::numeric_limits<int>::max()));
        m_previousLength = sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, length);
    }
    if (budget.limits().diskBytes > 0) {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v2(m_db, "PRAGMA main.page_size", -1, &q, nullptr) == SQLITE_OK &&
            sqlite3_step(q) == SQLITE_ROW)
            m_pageSize = std::max<qint64>(512, sqlite3_column_int64(q, 0));
        sqlite3_finalize(q);
        m_writesAtStart = bytesWritten();
    }
}

SqliteBatchScope::~SqliteBatchScope() {
    if (!m_db)
        return;
    sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    if (m_lockWait != nullptr)
        m_lockWait->watch({});
    else
        sqlite3_busy_timeout(m_db, std::max(0, m_lockWaitMs));
    if (m_previousLength >= 0)
        sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, m_previousLength);
}

qint64 SqliteBatchScope::bytesWritten() const {
    int pages = 0;
    int highest = 0;
    sqlite3_db_status(m_db, SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 0);
    return qint64(pages) * m_pageSize - m_writesAtStart;
}

// SQLite calls it every kProgressSteps instructions; a non-zero answer interrupts the statement,
// which StatementCache reports as the timeout or the disk budget the budget says.
int SqliteBatchScope::progress(void* scope) {
    auto* self = static_cast<SqliteBatchScope*>(scope);
    if (self->m_budget.expired())
        return 1;
    const qint64 disk = self->m_budget.limits().diskBytes;
    if (disk > 0 && self->bytesWritten() > disk) {
        self->m_budget.setDiskExceeded();
        return 1;
    }
    return 0;
}

void truncateLog(sqlite3* db) {
    if (!db || sqlite3_get_autocommit(db) == 0)
        return;
    // No wait: a reader or a writer of another connection keeps the log as it is.
    sqlite3_busy_timeout(db, 0);
    sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
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

void checkRoomFor(qint64 bytes) {
    if (BatchBudget* budget = currentBudget())
        budget->checkRoom(bytes);
}

void MemoryCharge::add(qint64 bytes) {
    if (bytes <= 0)
        return;
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
