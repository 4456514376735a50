#pragma once

#include "tsql/Engine.h"
#include "tsql/base/Limits.h"
#include "tsql/run/Results.h"
#include "tsql/values/Value.h"

#include <QSqlDatabase>
#include <QStringList>

#include <memory>
#include <vector>

namespace tsql {

struct ReadRest;

struct IsolatedRun {
    RunResult result;
    int transactionCountAfter = 1; // @@TRANCOUNT when the batch ended
};

// The server side of one connection: compiles a batch (parse and bind) and runs it
// statement by statement over the tables of a SQLite database.
class Session {
public:
    explicit Session(const QSqlDatabase& db);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // `keepCancel`: a cancel() since clearCancel() stops the batch before it starts (a server
    // that hears of its client's attention on another thread while the batch is about to start).
    RunResult run(const QString& batch, bool keepCancel = false);
    // Runs a batch inside a transaction it cannot end, rolled back afterwards (see
    // Engine::executeIsolated).
    // `traceLines`: fill RunResult::executedLines; `read`: see Engine::executeIsolated.
    IsolatedRun runIsolated(const QString& batch, bool writeLock, bool traceLines = false,
                            ReadRest* read = nullptr);
    // Parses and binds without running: the compile-time verdict of a batch.
    std::optional<ServerError> compile(const QString& batch);

    // The login of the session and the server's name, as SUSER_NAME() and @@SERVERNAME answer
    // them (a server's connection names its client's login).
    void setLogin(const QString& login, const QString& serverName);

    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    int transactionCount() const;

    // Time, memory and lock waits of every batch from now on.
    void setLimits(const Limits& limits);
    const Limits& limits() const;

    // Cap on WHILE iterations per batch (0 = none): a runaway loop fails instead of hanging.
    void setLoopLimit(qint64 iterations);
    // Time a batch may run (milliseconds, 0 = unlimited; 30 s as ADO's command timeout): the
    // batch stops with "Query timeout expired" (the timeoutMs of the limits).
    void setTimeout(qint64 milliseconds);
    // Stops the batch running now as a timeout does (Msg 3617); safe to call from another
    // thread (a server's connection cancelling on the client's attention).
    void cancel();
    void clearCancel();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tsql
