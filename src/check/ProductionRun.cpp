#include "check/ProductionRun.h"

#include "check/Declarations.h"
#include "check/Messages.h"
#include "core/HostServices.h"
#include "language/FormulaLanguage.h"

namespace check {

namespace {

QString tr(const TranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

} // namespace

QString productionBatch(const QString& storedSql) {
    return ProductionDeclarations() + storedSql;
}

ProductionVerdict runAsProduction(ado::Connection& connection, const QString& storedSql,
                                  const TranslateFn& translate, const ado::CommandLimits& limits,
                                  const GuardedRunFn& run) {
    const QString batch = productionBatch(storedSql);
    const qsizetype prefix = batch.size() - storedSql.size();
    GuardedOutcome outcome;
    try {
        outcome = runGuardedWith(run, connection,
                                 {.batch = batch,
                                  .limits = limits,
                                  .trustedPrefix = prefix,
                                  .trustedLines = ProductionDeclarationLines,
                                  .trace = false});
    } catch (const core::ComError& e) {
        // The connection could not run the batch at all (closed, lost, refused).
        ProductionVerdict verdict;
        verdict.busy = true;
        verdict.message = tr(translate, msg::ServerBusy).arg(e.description());
        return verdict;
    }
    return productionVerdict(outcome, translate);
}

ProductionVerdict productionVerdict(const GuardedOutcome& outcome, const TranslateFn& translate) {
    ProductionVerdict verdict;
    if (outcome.accepted()) {
        verdict.correct = true;
        return verdict;
    }
    verdict.busy = outcome.serverBusy();
    verdict.message =
        verdict.busy
            ? tr(translate, msg::ServerBusy).arg(describeFailure(outcome, ProductionDeclarationLines))
            : describeFailure(outcome, ProductionDeclarationLines, translate);
    const int line = outcome.failureLine() - ProductionDeclarationLines;
    if (line > 0 && !verdict.busy) {
        verdict.formulaLine = line;
        verdict.batchLine = outcome.failureLine();
        verdict.column = outcome.failureColumn();
    }
    return verdict;
}

bool passesAsStored(core::HostServices& host, const QString& displayText, const GuardedRunFn& run) {
    ado::Connection* connection = host.connection();
    if (!connection)
        return false;
    // The host's own error display would show a failing look-up: this run is only a note.
    core::FunctionServices silent({.connection = [connection] { return connection; },
                                   .translate = [&host](const QString& t) { return host.translate(t); },
                                   .messageBox = {},
                                   .errorAnswer = {},
                                   .context = {},
                                   .id = {}});
    try {
        language::FormulaLanguage language(silent);
        const QString placeholders = language.decodeToken(displayText, true);
        if (language.lastErrorCount() > 0)
            return false;
        const QString stored = language.decodeToken(displayText, false);
        if (language.lastErrorCount() > 0 || stored == placeholders)
            return false;
        return runAsProduction(
                   *connection, stored, [&host](const QString& t) { return host.translate(t); },
                   checkLimits(), run)
            .correct;
    } catch (...) {
        return false;
    }
}

} // namespace check
