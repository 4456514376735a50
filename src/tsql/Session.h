#pragma once

#include "tsql/Engine.h"
#include "tsql/Value.h"

#include <QSqlDatabase>
#include <QStringList>

#include <memory>
#include <vector>

namespace tsql {

// A result set with the engine's own values (SQL Server types).
struct ResultSet {
    QStringList columns;
    std::vector<SqlType> types;
    std::vector<std::vector<Value>> rows;
};

struct RunResult {
    std::vector<ResultSet> resultSets;
    qint64 recordsAffected = -1;
    std::optional<ServerError> error;
    QStringList messages; // PRINT output
};

// The server side of one connection: compiles a batch (parse and bind) and runs it
// statement by statement over the tables of a SQLite database.
class Session {
public:
    explicit Session(QSqlDatabase db);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    RunResult run(const QString& batch);
    // Parses and binds without running: the compile-time verdict of a batch.
    std::optional<ServerError> compile(const QString& batch);

    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    int transactionCount() const;

    // Cap on WHILE iterations per batch (0 = none): a runaway loop fails instead of hanging.
    void setLoopLimit(qint64 iterations);
    // Time a batch may run (milliseconds, 0 = unlimited; 30 s as ADO's command timeout):
    // a loop that runs longer fails with "Query timeout expired".
    void setTimeout(qint64 milliseconds);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tsql
