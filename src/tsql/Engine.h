#pragma once

#include "core/RowSet.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

namespace tsql {

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
