#include "tsql/sql/Transactions.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"
#include "tsql/sql/SqliteFunctions.h"
#include "tsql/sql/StatementCache.h"
#include "tsql/values/Value.h"

#include <sqlite3.h>

namespace tsql {

namespace {

// The savepoint that stands for the T-SQL transaction inside a fence.
constexpr const char* kSavepoint = "SAVEPOINT tsql_tran";
constexpr const char* kRelease = "RELEASE tsql_tran";
constexpr const char* kRollbackTo = "ROLLBACK TO tsql_tran";

} // namespace

void lockRequestTimedOut() {
    // SQL Server's answer when a lock is not granted within LOCK_TIMEOUT.
    raise<Msg::LockTimeout>();
}

bool isLockFailure(int sqliteCode) {
    const int primary = sqliteCode & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

Transactions::Transactions(const QSqlDatabase& db)
    : m_db(db) {}

sqlite3* Transactions::handle() const {
    return sqliteHandle(m_db);
}

void Transactions::exec(const char* sql) {
    sqlite3* h = handle();
    if (!h)
        raise<Msg::NotSqliteConnection>();
    const int rc = sqlite3_exec(h, sql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return;
    const int code = sqlite3_extended_errcode(h);
    // A cancel ends the wait for another connection's lock as it ends the batch.
    if (isLockFailure(code) && currentBudget() && currentBudget()->cancelled())
        BatchBudget::timeoutExpired();
    if (isLockFailure(code))
        lockRequestTimedOut();
    // The batch's progress handler interrupts whatever SQLite runs once the time is up.
    if ((code & 0xff) == SQLITE_INTERRUPT && currentBudget() && currentBudget()->expired())
        BatchBudget::timeoutExpired();
    raiseSqliteFailure(code, QString::fromUtf8(sqlite3_errmsg(h)));
}

void Transactions::begin() {
    if (m_count == 0) {
        if (m_fenced) {
            checkFence();
            exec(kSavepoint);
        } else {
            // As on SQL Server, beginning a transaction takes no lock: the database's write lock
            // is taken by the first write to one of its tables (beforeDatabaseWrite), so a client
            // that sits in an open transaction, or writes only table variables and temporary
            // tables, keeps no other connection from reading, checking or writing.
            exec("BEGIN");
        }
    }
    ++m_count;
}

void Transactions::beforeDatabaseWrite() {
    sqlite3* h = handle();
    // Outside a transaction the statement takes the lock itself, waiting for it; inside one
    // that has not read the database yet, or already holds the lock, the same.
    if (!h || sqlite3_get_autocommit(h) || sqlite3_txn_state(h, "main") != SQLITE_TXN_READ)
        return;
    // SQLite refuses at once, without waiting, to turn a transaction that has read the database
    // into a writing one while another connection holds the lock or has committed since. One
    // that has written nothing yet (not even a temporary table) loses nothing by starting
    // again: it starts over holding the lock, waiting for it as long as the lock wait allows,
    // and its reads stay committed ones, as on SQL Server. One that has written to the temp
    // schema keeps its transaction and the write asks for the lock as it is.
    if (sqlite3_txn_state(h, nullptr) == SQLITE_TXN_WRITE)
        return;
    exec("ROLLBACK");
    try {
        exec("BEGIN IMMEDIATE");
    } catch (const SqlError&) {
        // The transaction stays open, without the lock, for whatever the batch does next.
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        if (m_fenced && m_count > 0)
            sqlite3_exec(h, kSavepoint, nullptr, nullptr, nullptr);
        throw;
    }
    if (m_fenced && m_count > 0)
        exec(kSavepoint);
}

void Transactions::commit() {
    if (m_count == 0)
        return;
    if (m_count == 1) {
        if (m_fenced) {
            checkFence();
            exec(kRelease);
        } else {
            exec("COMMIT");
        }
    }
    --m_count;
}

void Transactions::rollback() {
    if (m_count == 0)
        return;
    m_count = 0;
    if (m_fenced) {
        checkFence();
        exec(kRollbackTo);
        exec(kRelease);
        return;
    }
    sqlite3* h = handle();
    if (h && sqlite3_get_autocommit(h))
        return; // SQLite has already rolled it back
    exec("ROLLBACK");
}

void Transactions::raiseFence(bool writeLock) {
    sqlite3* h = handle();
    if (m_fenced || m_count != 0 || (h && !sqlite3_get_autocommit(h)))
        raise<Msg::IsolatedBatchRunInside>();
    exec(writeLock ? "BEGIN IMMEDIATE" : "BEGIN");
    m_fenced = true;
    try {
        exec(kSavepoint);
    } catch (...) {
        lowerFence();
        throw;
    }
    m_count = 1;
}

void Transactions::lowerFence() {
    if (!m_fenced)
        return;
    m_fenced = false;
    m_count = 0;
    sqlite3* h = handle();
    if (!h || sqlite3_get_autocommit(h))
        return;
    if (sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK)
        return;
    // A statement still under way can hold the rollback up: every statement of the connection
    // is reset (none of them is then under way) and the rollback tried again.
    for (sqlite3_stmt* s = sqlite3_next_stmt(h, nullptr); s; s = sqlite3_next_stmt(h, s))
        sqlite3_reset(s);
    sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Transactions::fenceGone() const {
    sqlite3* h = handle();
    return !h || sqlite3_get_autocommit(h) != 0;
}

void Transactions::fenceLost() const {
    // Level 20: no CATCH block handles it, so no statement of the batch runs after it.
    raise<Msg::DatabaseEndedTransactionIsolated>();
}

void Transactions::forgetEndedTransaction() {
    if (m_fenced || m_count == 0)
        return;
    sqlite3* h = handle();
    if (h && sqlite3_get_autocommit(h))
        m_count = 0;
}

} // namespace tsql
