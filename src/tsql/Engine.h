#pragma once

#include "core/RowSet.h"
#include "tsql/base/Limits.h"
#include "tsql/base/ServerError.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

namespace tsql {

struct ReadRest;

struct BatchResult {
    QList<core::RowSet> resultSets;   // every result set the batch returned, in order
    qint64 recordsAffected = -1;      // rows changed by the last data-changing statement, -1 if none
    std::optional<ServerError> error; // set when the batch failed (it stopped at that point)
    QList<int> executedLines;         // traced runs only: lines where a statement of the batch ran, ascending
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
    explicit Engine(const QSqlDatabase& db);
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

    // Stops the batch running now as its timeout would (Msg 3617, "Query timeout expired"); safe
    // to call from another thread while the engine's own thread runs the batch. A call while no
    // batch runs is forgotten when the next one starts.
    void cancel();

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
