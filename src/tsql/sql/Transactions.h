#pragma once

#include <QSqlDatabase>

struct sqlite3;

namespace tsql {

// Stops the statement with SQL Server's lock time-out (Msg 1222).
[[noreturn]] void lockRequestTimedOut();
// True for SQLite's answers that mean another connection holds a lock (busy, locked).
bool isLockFailure(int sqliteCode);

// The transactions of one connection as T-SQL sees them: @@TRANCOUNT and BEGIN, COMMIT and
// ROLLBACK TRANSACTION, carried out on SQLite. The only place the engine issues transaction SQL.
//
// The outermost BEGIN TRANSACTION takes no lock; the first write to a table of the database
// takes its write lock (see beforeDatabaseWrite), waiting for it as long as the lock wait allows
// and failing with Msg 1222 after that. Table variables and temporary tables live in SQLite's
// temp schema, private to the connection: writing them takes no lock another connection sees.
//
// Nested BEGIN TRANSACTION only counts, as on SQL Server: the outermost COMMIT commits, any
// ROLLBACK rolls everything back and leaves the count at 0.
//
// A fence is a SQLite transaction the batch inside it cannot end: while it stands, the T-SQL
// transaction is a savepoint inside it (count 0 -> 1 is SAVEPOINT, the outermost COMMIT is
// RELEASE, ROLLBACK is ROLLBACK TO and RELEASE), and lifting the fence rolls back whatever
// happened inside.
class Transactions {
public:
    explicit Transactions(const QSqlDatabase& db);

    int count() const { return m_count; }
    void begin();
    void commit();
    void rollback();
    // Called before a statement writes a table of the database (not the temp schema): makes
    // sure the write can wait for the database's write lock (see Transactions.cpp).
    void beforeDatabaseWrite();

    // Puts up the fence and does the caller's BEGIN TRAN inside it (count 1). `writeLock` takes
    // the database's write lock at once, waiting as long as SQLite's busy timeout allows.
    // Throws SqlError (Msg 1222 when the lock cannot be had); nothing is left open then.
    void raiseFence(bool writeLock);
    // Rolls back everything done since the fence went up; the count is 0 afterwards. Never throws.
    void lowerFence();
    bool fenced() const { return m_fenced; }
    // SQLite rolls a transaction back by itself after some failures (an interrupted write, a
    // full disk, ...). Inside a fence nothing may run after that, as it would run unprotected:
    // throws an error no CATCH block handles once the fence's transaction is gone.
    void checkFence() const {
        if (m_fenced && fenceGone())
            fenceLost();
    }
    // Outside a fence, after a failure: a transaction SQLite has ended by itself is no longer
    // counted, so that the next COMMIT or ROLLBACK does not fail for want of one.
    void forgetEndedTransaction();

private:
    sqlite3* handle() const;
    bool fenceGone() const;
    [[noreturn]] void fenceLost() const;
    void exec(const char* sql);

    QSqlDatabase m_db;
    int m_count = 0;
    bool m_fenced = false;
};

} // namespace tsql
