#pragma once

#include <QElapsedTimer>

#include <atomic>

// The limits of a batch. Two are the server's own: a (max) value holds at most 2^31 - 1 bytes
// (SQL Server's documented maximum capacities; Msg 7119 beyond), and a client's command
// timeout ends the batch with "Query timeout expired", which no CATCH block sees (the attention
// of the client ends the batch on the server). The memory budget (Msg 40002) and the lock wait
// (Msg 1222, as SET LOCK_TIMEOUT gives it) guard the machine the engine shares with the editor.

struct sqlite3;

namespace tsql {

// What one batch may use of the machine. A batch that goes beyond a limit stops with an error;
// the database is left as a failing statement leaves it.
//   Msg 3617, Level 25  "Query timeout expired": out of time; no CATCH block handles it.
//   Msg 40002, Level 17 out of the memory budget (a CATCH block may handle it).
//   Msg 7119, Level 16  a (max) value would grow beyond 2,147,483,647 bytes.
//   Msg 1222, Level 16  "Lock request time out period exceeded.": another connection kept its lock.
// Whatever the limits, a statement nested or chained deeper than the engine walks safely is
// refused when it is read (Msg 191), as is xml nested deeper than 128 levels (Msg 6335).
struct Limits {
    qint64 timeoutMs = 30000;         // wall clock for a whole batch, 0 = none
    qint64 memoryBytes = 256LL << 20; // strings and rows one batch builds, 0 = none
    int lockWaitMs = 15000;           // how long a statement waits for another connection's lock
};

// What the batch running on this thread may still use: its deadline and the memory held by the
// strings and rows it has built. A session starts one for every batch and makes it current for
// the batch's duration, so that the functions of the engine (string operators and functions,
// also when SQLite calls them) refuse a value before they build it.
class BatchBudget {
public:
    // Starts a batch: the clock from now, nothing charged.
    void start(const Limits& limits);
    const Limits& limits() const { return m_limits; }

    // True once the batch has run longer than its time limit, or another thread cancelled it.
    bool expired() const {
        return m_cancelled.load(std::memory_order_relaxed) ||
               (m_limits.timeoutMs > 0 && m_clock.elapsed() > m_limits.timeoutMs);
    }
    // Ends the running batch as its timeout would (a client's attention); callable from any
    // thread. The next start() clears it.
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    qint64 remainingMs() const;
    // Stops the batch (Msg 3617) once it has run out of time.
    void checkTime() const {
        if (expired())
            timeoutExpired();
    }
    // The same check for tight loops: the clock is read once every 256 calls.
    void tick() {
        if ((++m_ticks & 255u) == 0)
            checkTime();
    }

    qint64 used() const { return m_used; }
    // Counts `bytes` more against the budget; stops the batch (Msg 40002) when they do not fit.
    void charge(qint64 bytes);
    void release(qint64 bytes);
    // Stops the batch when `bytes` more would not fit, without counting them.
    void checkRoom(qint64 bytes) const;
    // Tells charges of an earlier batch from those of the running one.
    quint64 generation() const { return m_generation; }

    [[noreturn]] static void timeoutExpired();
    [[noreturn]] void memoryExceeded() const;

private:
    Limits m_limits;
    QElapsedTimer m_clock;
    qint64 m_used = 0;
    unsigned m_ticks = 0;
    quint64 m_generation = 0;
    std::atomic<bool> m_cancelled{false};
};

// The budget of the batch running on this thread, or null outside a batch.
BatchBudget* currentBudget();

// Makes `budget` the current one of this thread for the scope's lifetime.
class CurrentBudget {
public:
    explicit CurrentBudget(BatchBudget* budget);
    ~CurrentBudget();
    CurrentBudget(const CurrentBudget&) = delete;
    CurrentBudget& operator=(const CurrentBudget&) = delete;

private:
    BatchBudget* m_previous;
};

// While it lives, the statements SQLite runs for the batch stop once it is out of time (a
// progress handler), wait for another connection's lock no longer than the lock wait and the
// time left allow, and build no text or blob larger than the memory budget.
class SqliteBatchScope {
public:
    SqliteBatchScope(sqlite3* db, const BatchBudget& budget);
    ~SqliteBatchScope();
    SqliteBatchScope(const SqliteBatchScope&) = delete;
    SqliteBatchScope& operator=(const SqliteBatchScope&) = delete;

private:
    sqlite3* m_db;
    int m_lockWaitMs;
    int m_previousLength = -1;
};

// How long the connection's statements wait for a lock outside batches.
void setLockWait(sqlite3* db, int milliseconds);

// Memory held by one structure of a batch (a result set, the rows of a query being combined),
// charged to the current budget as it grows and given back when the structure goes. A copy
// holds nothing; a charge that outlives its batch gives nothing back.
class MemoryCharge {
public:
    MemoryCharge() = default;
    MemoryCharge(const MemoryCharge&) {}
    MemoryCharge& operator=(const MemoryCharge& other) {
        if (this != &other)
            clear();
        return *this;
    }
    MemoryCharge(MemoryCharge&& other) noexcept;
    MemoryCharge& operator=(MemoryCharge&& other) noexcept;
    ~MemoryCharge() { clear(); }

    void add(qint64 bytes);
    qint64 bytes() const { return m_bytes; }
    // The bytes stay charged until the batch ends (the structure is handed to the caller).
    void keep();
    void clear() {
        if (m_budget)
            release();
    }

private:
    void release();

    BatchBudget* m_budget = nullptr;
    quint64 m_generation = 0;
    qint64 m_bytes = 0;
};

} // namespace tsql
