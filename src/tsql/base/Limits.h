#pragma once

#include <QElapsedTimer>

#include <atomic>
#include <functional>

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
//   Msg 701, Level 17   "There is insufficient system memory in resource pool 'default' to run
//                       this query.": the batches of every session of the process together hold
//                       more than serverMemoryBytes (the TDS server runs one session per client).
//   Msg 40006, Level 20 the batch wrote more pages to the database and its temporary tables than
//                       diskBytes allow; the write is interrupted, its transaction rolled back,
//                       and no CATCH block handles it.
struct Limits {
    qint64 timeoutMs = 30000;         // wall clock for a whole batch, 0 = none
    qint64 memoryBytes = 256LL << 20; // values, rows, results and messages one batch builds, 0 = none
    int lockWaitMs = 15000;           // how long a statement waits for another connection's lock
    // What the batches running in the process hold together, counted on one shared counter that
    // every session's batches charge; 0 = none. 1 GB: four batches at their own limit.
    qint64 serverMemoryBytes = 1LL << 30;
    // Bytes of pages one batch may write: pages the database grows by, pages of its temporary
    // tables, and pages it writes again; 0 = none.
    qint64 diskBytes = 0;
};

// What the batch running on this thread may still use: its deadline and the memory held by the
// strings and rows it has built. A session starts one for every batch and makes it current for
// the batch's duration, so that the functions of the engine (string operators and functions,
// also when SQLite calls them) refuse a value before they build it.
class BatchBudget {
public:
    // Starts a batch: the clock from now, nothing charged. A cancel that came before is
    // forgotten unless `keepCancel` (the caller cleared it itself before a wait that belongs to
    // the batch: an isolated run's wait for the write lock).
    void start(const Limits& limits, bool keepCancel = false);
    const Limits& limits() const { return m_limits; }

    // True once the batch has run longer than its time limit, or another thread cancelled it.
    bool expired() const {
        return m_cancelled.load(std::memory_order_relaxed) ||
               (m_limits.timeoutMs > 0 && m_clock.elapsed() > m_limits.timeoutMs);
    }
    // Ends the running batch as its timeout would (a client's attention); callable from any
    // thread. The next start() clears it.
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    // Whether cancel() was called since the last start() or clearCancel().
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    void clearCancel() { m_cancelled.store(false, std::memory_order_relaxed); }
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
    // Counts `bytes` more against the budget; stops the batch (Msg 40002) when they do not fit,
    // or (Msg 701) when the batches of the whole process would hold more than their ceiling.
    void charge(qint64 bytes);
    void release(qint64 bytes);
    // Stops the batch when `bytes` more would not fit, without counting them.
    void checkRoom(qint64 bytes) const;
    // Tells charges of an earlier batch from those of the running one.
    quint64 generation() const { return m_generation; }
    // The batch has ended: what it took of the process's counter goes back.
    void finish();

    // The pages the batch has written so far went beyond its disk budget (set by the SQLite
    // scope's progress handler, which then interrupts the statement).
    bool diskExceeded() const { return m_diskExceeded; }
    void setDiskExceeded() { m_diskExceeded = true; }

    [[noreturn]] static void timeoutExpired();
    [[noreturn]] void memoryExceeded() const;
    [[noreturn]] static void serverMemoryExceeded();
    [[noreturn]] void diskLimitReached() const;

    BatchBudget() = default;
    ~BatchBudget() { finish(); }
    BatchBudget(const BatchBudget&) = delete;
    BatchBudget& operator=(const BatchBudget&) = delete;

private:
    void reserve(qint64 bytes);

    Limits m_limits;
    QElapsedTimer m_clock;
    qint64 m_used = 0;
    qint64 m_reserved = 0; // taken from the process's counter, in steps of a megabyte
    unsigned m_ticks = 0;
    quint64 m_generation = 0;
    bool m_diskExceeded = false;
    std::atomic<bool> m_cancelled{false};
};

// What the batches of every session of the process hold now, as they charged it.
qint64 serverMemoryInUse();

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

// How a connection waits for another connection's lock: SQLite's busy handler, sleeping a few
// milliseconds at a time for at most the lock wait, and giving up at once when the condition it
// watches answers true (a batch cancelled from another thread, or out of time), so that a cancel
// is heard within milliseconds rather than at the end of a wait of many seconds. Giving up is
// SQLite's SQLITE_BUSY, as when the wait runs out. One per connection, installed while it lives.
class LockWait {
public:
    LockWait(sqlite3* db, int milliseconds);
    ~LockWait();
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

    // Installs the handler again (after something else set SQLite's own busy timeout).
    void install();
    void setLimit(int milliseconds) { m_limitMs = std::max(0, milliseconds); }
    int limit() const { return m_limitMs; }
    // What ends a wait early; none when null.
    void watch(std::function<bool()> stop) { m_stop = std::move(stop); }

private:
    static int busy(void* wait, int attempts);

    sqlite3* m_db;
    int m_limitMs;
    std::function<bool()> m_stop;
    QElapsedTimer m_clock;
};

// While it lives, the statements SQLite runs for the batch stop once it is out of time or has
// written more pages than its disk budget allows (a progress handler), wait for another
// connection's lock no longer than the lock wait and the time left allow (and not at all once
// the batch is cancelled, when the connection's LockWait is given), and build no text or blob
// larger than the memory budget.
class SqliteBatchScope {
public:
    SqliteBatchScope(sqlite3* db, BatchBudget& budget, LockWait* lockWait = nullptr);
    ~SqliteBatchScope();
    SqliteBatchScope(const SqliteBatchScope&) = delete;
    SqliteBatchScope& operator=(const SqliteBatchScope&) = delete;

    // Bytes of pages the connection has written since the scope began (the database's log, its
    // temporary tables, pages written again), as SQLite counts its cache's writes.
    qint64 bytesWritten() const;

private:
    static int progress(void* scope);

    sqlite3* m_db;
    BatchBudget& m_budget;
    LockWait* m_lockWait;
    int m_lockWaitMs;
    int m_previousLength = -1;
    qint64 m_pageSize = 4096;
    qint64 m_writesAtStart = 0;
};

// Gives back the disk space the database's write-ahead log took beyond its start, when no other
// connection is reading from it: the log is checkpointed and cut to nothing, without waiting
// for anyone. A batch rolled back leaves its pages there otherwise, as large as it wrote them,
// for as long as another connection keeps the database open.
void truncateLog(sqlite3* db);

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

// Stops the batch when `bytes` more would not fit in its memory; nothing outside a batch.
void checkRoomFor(qint64 bytes);

} // namespace tsql
