// The session of one connection: the batch and statement caches, the evaluator and the executor
// over one SQLite database, and the limits every batch runs within.

#include "tsql/Session.h"

#include "tsql/base/Messages.h"

#include "tsql/ServerVersion.h"
#include "tsql/bind/Binder.h"
#include "tsql/run/BatchCache.h"
#include "tsql/run/Evaluator.h"
#include "tsql/run/Executor.h"
#include "tsql/sql/StatementCache.h"
#include "tsql/sql/Transactions.h"
#include "tsql/text/Parser.h"
#include "tsql/values/DateSettings.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace tsql {

namespace {

// A log this large after an isolated batch is cut back (SQLite checkpoints on its own at 1,000
// pages, about this size).
constexpr qint64 kLogKept = 4LL << 20;

// The size of the database's write-ahead log file, 0 without one.
qint64 logBytes(sqlite3* db) {
    const char* name = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!name || !*name)
        return 0;
    return QFileInfo(QString::fromUtf8(name) + QStringLiteral("-wal")).size();
}

} // namespace

struct Session::Impl {
    QSqlDatabase db;
    Catalog catalog;
    Transactions transactions;
    Limits limits;
    BatchBudget budget;
    // The connection's wait for another connection's lock, which a cancel ends.
    LockWait lockWait;
    BatchCache batches;
    StatementCache statements;
    BatchState state;
    Evaluator evaluator;
    Executor executor;

    explicit Impl(const QSqlDatabase& d)
        : db(d)
        , catalog(d)
        , transactions(d)
        , lockWait(sqliteHandle(d), limits.lockWaitMs)
        , statements(d, budget)
        , evaluator(state, budget, statements, transactions)
        , executor(state, evaluator, statements, transactions, budget) {
        executor.setCatalog(&catalog);
        executor.setLockWait(&lockWait);
        ServerIdentity server;
        server.productVersion = QString::fromLatin1(server_version::ProductVersion);
        server.productLevel = QString::fromLatin1(server_version::ProductLevel);
        server.major = server_version::Major;
        catalog.setServer(server);
    }

    // A batch stops at its first error: the statements before it keep what they did.
    // `keepCancel`: a cancel since the caller cleared it stops the batch before it starts.
    RunResult runBatch(const QString& batch, bool traceLines = false, ReadRest* read = nullptr,
                       bool keepCancel = false) {
        RunResult result;
        state.out = &result;
        // One flag per line of the batch at most: the trace never grows with loops.
        std::vector<bool> lines;
        state.lineTrace = traceLines ? &lines : nullptr;
        executor.startBatch();
        budget.start(limits, keepCancel);
        const CurrentBudget current(&budget);
        const BatchDateSettings dates;
        const CurrentCatalog objects(&catalog);
        const SqliteBatchScope sqliteLimits(sqliteHandle(db), budget, &lockWait);
        lockWait.setLimit(executor.lockWaitMs(limits.lockWaitMs));
        // Kept until the batch's table variables are dropped: their definitions are the batch's.
        std::shared_ptr<CompiledBatch> compiled;
        try {
            catalog.refresh();
            compiled = batches.compile(batch, catalog, read);
            state.compiled = compiled.get();
            state.startVariables(compiled->variableTypes);
            executor.createTableVariables(compiled->batch.tableVariables);
            executor.runBatch(compiled->batch.statements);
        } catch (const SqlError& e) {
            result.error = e.error;
        } catch (const std::bad_alloc&) {
            result.error = insufficientMemory();
            result.error->line = 1;
        }
        executor.dropTableVariables();
        transactions.forgetEndedTransaction();
        state.lineTrace = nullptr;
        for (size_t line = 0; line < lines.size(); ++line)
            if (lines[line])
                result.executedLines.push_back(int(line));
        state.compiled = nullptr;
        state.out = nullptr;
        // The values of the variables can be large: they go with the batch.
        state.vars.clear();
        state.varMemory.clear();
        budget.finish();
        return result;
    }

    IsolatedRun runIsolated(const QString& batch, bool writeLock, bool traceLines, ReadRest* read) {
        IsolatedRun r;
        if (transactions.count() > 0 || transactions.fenced()) {
            r.result.error = serverError<Msg::IsolatedInTransaction>(1, 0);
            r.transactionCountAfter = transactions.count();
            return r;
        }
        // The caller's lock wait applies to taking the write lock, before the batch's clock
        // starts; a cancel from now on ends the wait at once and keeps the batch from running.
        budget.clearCancel();
        lockWait.setLimit(limits.lockWaitMs);
        lockWait.watch([this] { return budget.cancelled(); });
        try {
            transactions.raiseFence(writeLock);
        } catch (const SqlError& e) {
            lockWait.watch({});
            r.result.error = budget.cancelled() ? serverError<Msg::QueryTimeout>(1, 0) : e.error;
            r.transactionCountAfter = 0;
            return r;
        }
        lockWait.watch({});
        {
            struct Lower {
                Transactions& t;
                ~Lower() { t.lowerFence(); }
            } lower{transactions};
            r.result = runBatch(batch, traceLines, read, true);
            r.transactionCountAfter = transactions.count();
        }
        // What the batch wrote was rolled back, but its pages stay in the log file.
        if (logBytes(sqliteHandle(db)) > kLogKept) {
            truncateLog(sqliteHandle(db));
            lockWait.install();
        }
        return r;
    }
};

Session::Session(const QSqlDatabase& db)
    : d(std::make_unique<Impl>(db)) {}
Session::~Session() = default;

std::optional<ServerError> Session::compile(const QString& batch) {
    try {
        Batch b = parseBatch(batch);
        d->catalog.refresh();
        std::vector<SqlType> types;
        bindBatch(b, d->catalog, types);
    } catch (const SqlError& e) {
        return e.error;
    }
    return std::nullopt;
}

RunResult Session::run(const QString& batch, bool keepCancel) {
    return d->runBatch(batch, false, nullptr, keepCancel);
}

IsolatedRun Session::runIsolated(const QString& batch, bool writeLock, bool traceLines, ReadRest* read) {
    return d->runIsolated(batch, writeLock, traceLines, read);
}

void Session::setLimits(const Limits& limits) {
    d->limits = limits;
    d->lockWait.setLimit(limits.lockWaitMs);
}

const Limits& Session::limits() const {
    return d->limits;
}

void Session::cancel() {
    d->budget.cancel();
}

void Session::clearCancel() {
    d->budget.clearCancel();
}

void Session::setLogin(const QString& login, const QString& serverName) {
    ServerIdentity server = d->catalog.server();
    server.login = login;
    server.serverName = serverName;
    d->catalog.setServer(server);
}

void Session::beginTransaction() {
    d->transactions.begin();
}
void Session::commitTransaction() {
    d->transactions.commit();
}
void Session::rollbackTransaction() {
    d->transactions.rollback();
}
int Session::transactionCount() const {
    return d->transactions.count();
}
void Session::setLoopLimit(qint64 iterations) {
    d->executor.setLoopLimit(iterations);
}
void Session::setTimeout(qint64 milliseconds) {
    d->limits.timeoutMs = milliseconds;
}

} // namespace tsql
