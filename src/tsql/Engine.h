#pragma once

#include "core/RowSet.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

namespace tsql {

struct ReadRest;

// An error as the server reports it: Msg number, Level, State, Line (1-based, in the batch)
// and the message text; column is ours (1-based, 0 when unknown).
struct ServerError {
    int number = 0;
    int level = 16;
    int state = 1;
    int line = 1;
    int column = 0;
    QString message;
};

struct BatchResult {
    QList<core::RowSet> resultSets;   // every result set the batch returned, in order
    qint64 recordsAffected = -1;      // rows changed by the last data-changing statement, -1 if none
    std::optional<ServerError> error; // set when the batch failed (it stopped at that point)
    QList<int> executedLines;         // traced runs only: lines where a statement of the batch ran, ascending
};

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
//   Msg 40005, Level 20 the batch wrote more pages to the database and its temporary tables than
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

struct IsolatedResult {
    BatchResult result;
    int transactionCountAfter = 1; // @@TRANCOUNT when the batch ended (1 = as the batch found it)
};

// The embedded database server: runs T-SQL batches with SQL Server semantics over the tables
// of a SQLite database. One engine per connection; not thread-safe.
class Engine {
public:
    // db must be an open SQLite database; the engine does not own it.
    explicit Engine(QSqlDatabase db);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    BatchResult execute(const QString& batch);

    // Runs `batch` inside a transaction that is always rolled back and that no statement of the
    // batch can end: the database is afterwards exactly as it was, and transactionCount() is 0.
    // The batch starts with @@TRANCOUNT 1, as after a BEGIN TRAN of the caller; its own COMMIT,
    // ROLLBACK and BEGIN TRAN act inside that transaction. `writeLock` takes the database's write
    // lock before the batch runs, waiting up to Limits::lockWaitMs for another connection (a
    // transaction that has read and then writes could not wait for it). Refused (an error in the
    // result, nothing run: Msg 40004) while a transaction of the connection is open. Should
    // SQLite end the transaction by itself (a full disk, an interrupted write), the batch stops
    // at once with Msg 40003, Level 20, so that nothing runs unprotected.
    // `traceLines` records the lines of the batch on which a statement started to run (not those
    // of dynamic batches inside it) in BatchResult::executedLines.
    // `read`: the rest of the batch after its leading declarations as the caller has read it
    // already (the check's statement guard): the engine binds those statements instead of
    // reading the rest again when it reads the rest from the same place and text (see ReadRest).
    IsolatedResult executeIsolated(const QString& batch, bool writeLock, bool traceLines = false,
                                   ReadRest* read = nullptr);

    void setLimits(const Limits& limits);
    const Limits& limits() const;

    // Explicit transactions as the ADO connection offers them (BeginTrans and friends).
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    int transactionCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

struct Value;
// A value of the engine as the ADO layer hands it over (SQL NULL as Null, exact numbers as
// Decimal, integers as Integer/Long/LongLong, dates and texts as String).
core::Variant toVariant(const Value& v);

} // namespace tsql
