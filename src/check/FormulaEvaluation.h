#pragma once

#include "check/ProductionRun.h"
#include "check/TrialRun.h"

#include <memory>

namespace check {

// A formula's SQL form (normal mode, as stored) made ready for trial runs on rows of values: the
// trial panel, `formule eval` and whatever evaluates the same formula on many rows.
//
// Two paths give the same TrialResult: outputs before and after as CONVERT(NVARCHAR(100), x)
// writes them, the first message with its formula line as describeFailure writes it, the lines
// that ran.
// - Compiled: the compiled evaluator (tsql::compiled) runs the formula on the values, with no
//   database at all: it reads and writes no table. Taken only where the embedded engine is the
//   reference, i.e. on an embedded connection (open, no transaction of its own) and when the
//   formula is one the evaluator compiles, the check's statement guard lets through and that has
//   no RETURN (which ends the trial's batch before its outputs are read).
// - Engine: today's trial run through runGuarded (the guard, an isolated transaction always
//   rolled back, the check's limits). On a SQL Server connection the server keeps running the
//   trial: it is production's reference there.
// A row whose values the compiled evaluator would not take exactly as the engine's SET takes
// them (a text the code page lacks, a document it does not read the same way) goes to the engine.
//
// The formula is compiled once, on the first run that may take the compiled path. Not
// thread-safe: one evaluation per thread.
class FormulaEvaluation {
public:
    explicit FormulaEvaluation(const QString& sql);
    ~FormulaEvaluation();
    FormulaEvaluation(const FormulaEvaluation&) = delete;
    FormulaEvaluation& operator=(const FormulaEvaluation&) = delete;

    const QString& sql() const;

    // The elements the formula reads (trialElements), read once with the look for RETURN.
    const QList<TrialElement>& elements();

    // The path a run on `connection` with `options` takes, as far as it is known before the
    // values are (a row they send to the engine says so in its result).
    TrialPath plan(ado::Connection& connection, const TrialOptions& options = {});

    // Runs the formula on `inputs` (see runTrial). Throws ComError when the engine must run it
    // and the connection cannot run it in isolation.
    TrialResult run(ado::Connection& connection, const QList<TrialInput>& inputs,
                    const TrialOptions& options = {});

    // The verdict of runAsProduction on the compiled path: production's batch leaves every
    // variable NULL, which is a row of no values. Nullopt when a run would take the engine (see
    // plan()); the caller then runs the batch.
    std::optional<ProductionVerdict> asProduction(ado::Connection& connection,
                                                  const TranslateFn& translate = {},
                                                  const ado::CommandLimits& limits = checkLimits());

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace check
