#pragma once

#include "ado/Ado.h"
#include "check/StatementGuard.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace check {

// The limits of a batch run under check: a formula that computes a price needs far less, and a
// check holding the database's write lock must end well before another user's save gives up
// waiting for it (the connection's own lock wait, 15 s by default). 10 s, 256 MB of memory and
// 64 MB of pages written.
ado::CommandLimits checkLimits();

// Whether a message of the server says that it could not run the batch for reasons of its own,
// whatever the batch: a lock it waited for in vain (Msg 1222) or a deadlock (Msg 1205), a time-out
// (Msg 3617, the driver's "Timeout expired", ODBC state HYT00/HYT01), a run cancelled before its
// end (ODBC state HY008, S1008), a connection lost or refused (ODBC states 08xxx).
bool serverUnavailable(const ado::Error& error);

// What a guarded run found.
struct GuardedOutcome {
    std::optional<RefusedStatement> refused; // the guard did not let the batch run
    QList<ado::Error> errors;                // the server's messages, first one first
    QList<core::RowSet> resultSets;          // what the batch returned
    int transactionCountAfter = 1;           // a batch that leaves another count is not accepted
    std::optional<QList<int>> executedLines; // traced runs on the embedded engine (see ado::IsolatedOutcome)
    // The user stopped the run before its end (its first message says the server could not judge
    // the batch: see serverBusy).
    bool stopped = false;
    bool accepted() const { return !refused && errors.isEmpty() && transactionCountAfter == 1; }
    // The server could not judge the batch: its first message says the server was busy or gone
    // (see serverUnavailable), not that the batch is wrong.
    bool serverBusy() const { return !refused && !errors.isEmpty() && serverUnavailable(errors.first()); }
    // Where the first message of a run that was not accepted points in the batch: the refused
    // statement's or the first error's line and column (0 when there is none).
    int failureLine() const;
    int failureColumn() const;
};

// Runs a batch a user wrote on the connection so that nothing it does stays: the statement
// guard decides on the engine's syntax tree first (dynamic batches as `dynamic` says); then the connection
// runs the batch in an isolated transaction that is always rolled back, within `limits`. A batch that leaves
// the transaction count other than it found it counts as failed. Throws ComError when the connection cannot
// run the batch in isolation (closed, a transaction already open).
GuardedOutcome runGuarded(ado::Connection& connection, const QString& batch, const ado::CommandLimits& limits,
                          DynamicBatches dynamic = DynamicBatches::Refused);
// The same for a batch whose first `trustedPrefix` characters (`trustedLines` line breaks) are
// this system's own text, which the guard does not read again (see guardBatch).
// `trace` asks the connection for the lines that ran (GuardedOutcome::executedLines).
GuardedOutcome runGuarded(ado::Connection& connection, const QString& batch, const ado::CommandLimits& limits,
                          qsizetype trustedPrefix, int trustedLines, bool trace = false);

// One guarded run of a batch whose head is this system's own text, as the second runGuarded
// takes it besides its connection.
struct GuardedRequest {
    QString batch;
    ado::CommandLimits limits = checkLimits();
    qsizetype trustedPrefix = 0;
    int trustedLines = 0;
    bool trace = false;
};

// Runs a guarded request: runGuarded on `connection`, where the caller stands (the default), or
// elsewhere with the same outcome (the editor's worker thread on a connection of its own, while
// the window goes on painting and may stop the run). Throws what runGuarded throws.
using GuardedRunFn =
    std::function<GuardedOutcome(ado::Connection& connection, const GuardedRequest& request)>;
GuardedOutcome runGuarded(ado::Connection& connection, const GuardedRequest& request);
// `run` when set, runGuarded otherwise.
GuardedOutcome runGuardedWith(const GuardedRunFn& run, ado::Connection& connection,
                              const GuardedRequest& request);

// Work that gives the outcome of a run without a connection (the compiled evaluator's run of a
// formula), and how to stop it from another thread as a time-out would (Msg 3617).
struct DetachedRun {
    std::function<GuardedOutcome()> work;
    std::function<void()> stop;
};
// Runs detached work where the caller stands (the default) or elsewhere, as GuardedRunFn does a
// batch (the editor's worker thread, whose busy indicator may stop it).
using DetachedRunFn = std::function<GuardedOutcome(const DetachedRun& run)>;
// `run` when set, the work itself otherwise.
GuardedOutcome runDetachedWith(const DetachedRunFn& run, const DetachedRun& work);

// The first message of a run that was not accepted, as the server writes it:
// "Msg N, Level L, State S, Line R: text", with " (column C)" when the column is known; a
// refused statement as "Riga R: STATEMENT non è ammessa sotto controllo: reason". `lineOffset` is
// subtracted from the lines (the declaration block before a formula). The check's own texts go
// through `translate` (the host's translation service; unset: Italian).
QString describeFailure(const GuardedOutcome& outcome, int lineOffset = 0,
                        const std::function<QString(const QString&)>& translate = {});

} // namespace check
