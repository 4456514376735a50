#include "check/GuardedRun.h"

#include "check/Messages.h"

namespace check {

namespace {

// The batch, let through by the guard's `verdict`, run in isolation.
GuardedOutcome run(ado::Connection& connection, const QString& batch, const ado::CommandLimits& limits,
                   const GuardVerdict& verdict, bool trace = false) {
    GuardedOutcome out;
    if (verdict.refused) {
        out.refused = verdict.refused;
        return out;
    }
    ado::IsolatedOutcome run =
        connection.ExecuteIsolated(batch, verdict.writes, limits, trace, verdict.read.get());
    out.executedLines = std::move(run.executedLines);
    out.errors = run.outcome.errors;
    out.resultSets = std::move(run.outcome.resultSets);
    out.transactionCountAfter = run.transactionCountAfter;
    return out;
}

} // namespace

bool serverUnavailable(const ado::Error& error) {
    switch (error.nativeError) {
    case 1205: // chosen as the deadlock victim
    case 1222: // lock request time out period exceeded
    case 3617: // the batch's time ran out (the client's attention on the server)
        return true;
    default:
        break;
    }
    // HY008 (S1008 in ODBC 2, as FreeTDS's driver names it): the run was cancelled (the user
    // stopped it) before the server judged it.
    if (error.sqlState.startsWith(QLatin1String("08")) || error.sqlState == u"HYT00" ||
        error.sqlState == u"HYT01" || error.sqlState == u"HY008" || error.sqlState == u"S1008")
        return true;
    return error.nativeError == 0 &&
           error.description.contains(QLatin1String("Timeout expired"), Qt::CaseInsensitive);
}

int GuardedOutcome::failureLine() const {
    return refused ? refused->line : errors.isEmpty() ? 0 : errors.first().line;
}

int GuardedOutcome::failureColumn() const {
    return refused ? refused->column : errors.isEmpty() ? 0 : errors.first().column;
}

ado::CommandLimits checkLimits() {
    ado::CommandLimits limits;
    limits.timeoutMs = 10000;
    limits.memoryBytes = 256LL << 20;
    limits.lockWaitMs = 15000;
    // A formula writes a few rows of table variables: 64 MB of pages is far more than any needs,
    // and keeps a runaway check from filling the disk in its 10 s.
    limits.diskBytes = 64LL << 20;
    return limits;
}

GuardedOutcome runGuarded(ado::Connection& connection, const QString& batch, const ado::CommandLimits& limits,
                          DynamicBatches dynamic) {
    return run(connection, batch, limits, guardBatch(batch, dynamic));
}

GuardedOutcome runGuarded(ado::Connection& connection, const QString& batch, const ado::CommandLimits& limits,
                          qsizetype trustedPrefix, int trustedLines, bool trace) {
    return run(connection, batch, limits, guardBatch(batch, trustedPrefix, trustedLines), trace);
}

GuardedOutcome runGuarded(ado::Connection& connection, const GuardedRequest& request) {
    return runGuarded(connection, request.batch, request.limits, request.trustedPrefix, request.trustedLines,
                      request.trace);
}

GuardedOutcome runGuardedWith(const GuardedRunFn& run, ado::Connection& connection,
                              const GuardedRequest& request) {
    return run ? run(connection, request) : runGuarded(connection, request);
}

GuardedOutcome runDetachedWith(const DetachedRunFn& run, const DetachedRun& work) {
    return run ? run(work) : work.work();
}

QString describeFailure(const GuardedOutcome& outcome, int lineOffset,
                        const std::function<QString(const QString&)>& translate) {
    auto line = [lineOffset](int l) { return std::max(0, l - lineOffset); };
    auto tr = [&translate](const QString& text) { return translate ? translate(text) : text; };
    if (outcome.refused) {
        const RefusedStatement& r = *outcome.refused;
        if (r.statement.isEmpty() && r.number != 0) {
            // The batch cannot be read: the parser's message is the engine's own.
            ado::Error e;
            e.nativeError = r.number;
            e.severity = 15;
            e.state = 1;
            e.line = r.line;
            e.column = r.column;
            e.description = r.reason;
            GuardedOutcome parsed;
            parsed.errors.append(e);
            return describeFailure(parsed, lineOffset);
        }
        const QString what = r.statement.isEmpty() ? tr(msg::ThisStatement) : r.statement;
        return tr(msg::NotAllowed).arg(line(r.line)).arg(what, tr(r.reason));
    }
    if (outcome.errors.isEmpty())
        return outcome.transactionCountAfter == 1
                   ? QString()
                   : tr(msg::TransactionCountChanged).arg(outcome.transactionCountAfter);
    const ado::Error& x = outcome.errors.first();
    if (x.nativeError == 0)
        return x.description;
    QString text = QStringLiteral("Msg %1, Level %2, State %3, Line %4: %5")
                       .arg(x.nativeError)
                       .arg(x.severity)
                       .arg(x.state)
                       .arg(line(x.line))
                       .arg(x.description);
    if (x.column > 0)
        text += QStringLiteral(" (column %1)").arg(x.column);
    return text;
}

} // namespace check
