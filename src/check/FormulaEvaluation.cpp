#include "check/FormulaEvaluation.h"

#include "check/CompiledRows.h"
#include "check/Declarations.h"
#include "check/Messages.h"
#include "check/TrialTexts.h"
#include "tsql/Engine.h"
#include "tsql/compiled/CompiledFormula.h"
#include "tsql/text/Parser.h"
#include "tsql/values/Value.h"

#include <algorithm>

namespace check {

namespace {

namespace compiled = tsql::compiled;

QString tr(const TrialTranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

TrialPath enginePath(TrialPath::Reason reason) {
    return {EvaluationPath::Engine, reason, {}, 0, 0};
}

TrialPath constructPath(const QString& construct, int line, int column) {
    return {EvaluationPath::Engine, TrialPath::Reason::Construct, construct, std::max(0, line),
            std::max(0, column)};
}

// A formula with RETURN ends the trial's batch before the SELECT of its outputs after it: the
// engine's run says so (trialmsg::NoOutputs), which a compiled outcome could not tell.
std::optional<TrialPath> returnIn(const std::vector<tsql::Token>& tokens) {
    for (const tsql::Token& t : tokens)
        if (t.isKeyword("RETURN"))
            return constructPath(QStringLiteral("RETURN"), t.line, t.column);
    return std::nullopt;
}

// What the check's guard refuses in the formula and where (construct: the statement as the guard
// names it; empty when it cannot read the formula at all).
//
// The guard reads what follows the declarations, here the formula alone: the trial's batch adds
// a SELECT of the outputs on a line of its own, which no complete statement of a formula takes in
// (a formula that reads otherwise does not compile either, and goes to the engine, whose guard
// reads the whole batch). The guard keeps its last verdict per thread by that text: a formula
// that production's run just guarded is not read again. It reads the formula from `tokens` (the
// scan's, when it has them), and the statements it read come back in `read`: read where the
// formula stands after the declarations, they are the compile's too.
std::optional<TrialPath> refusedByGuard(const QString& sql, const std::vector<tsql::Token>& tokens,
                                        std::shared_ptr<tsql::ReadRest>& read) {
    static const QString declarations = trialDeclarations();
    static const int declarationLines = int(declarations.count(u'\n'));
    GuardVerdict verdict =
        guardRest(sql, declarations.size(), declarationLines, DynamicBatches::Refused, tokens);
    read = std::move(verdict.read);
    if (!verdict.refused)
        return std::nullopt;
    const RefusedStatement& r = *verdict.refused;
    return constructPath(r.statement, r.line - declarationLines, r.column);
}

// One row's values as the trial batch leaves them before the formula: the program's inputs, the
// outputs' (in the order of trialOutputs()).
struct PreparedRow {
    compiled::Row row;
    std::vector<tsql::Value> outputs;
    core::RowSet before; // the SELECT of the outputs before the formula
};

// The row of the SELECT of the outputs marked `step`, as the engine's connection hands it over;
// `values`: the value of each output, in the order of trialOutputs().
core::RowSet outputsRow(const QString& step, const std::vector<const tsql::Value*>& values) {
    static const tsql::SqlType text = *tsql::parseTypeName(QStringLiteral("NVARCHAR(100)"));
    static const QStringList columns = [] {
        QStringList names{TrialStepColumn};
        for (const TrialElement& out : trialOutputs())
            names << out.key.mid(1);
        return names;
    }();
    core::RowSet set;
    set.columns = columns;
    QList<core::Variant> row;
    row.reserve(columns.size());
    row << core::Variant::fromString(step);
    for (qsizetype i = 0; i < trialOutputs().size(); ++i)
        row << tsql::toVariant(tsql::convert(*values[size_t(i)], text, true));
    set.rows << row;
    return set;
}

// Throws SqlError when a value stops the SELECT of the outputs before the formula. `values` and
// `converted`: the evaluation's own, reused from row to row.
std::optional<PreparedRow> prepareRow(const compiledrows::CompiledTrial& formula,
                                      const QList<TrialInput>& inputs, const TrialTranslateFn& translate,
                                      compiledrows::InitialValues& values,
                                      compiledrows::ConvertedInputs& converted) {
    if (!compiledrows::fillInitialValues(formula, inputs, translate, values, converted))
        return std::nullopt;
    PreparedRow out;
    out.row = compiledrows::programRow(*formula.compiled.program, values);
    out.outputs.reserve(formula.outputSlots.size());
    for (int slot : formula.outputSlots)
        out.outputs.push_back(values.initial[size_t(slot)]);
    std::vector<const tsql::Value*> before;
    for (const tsql::Value& value : out.outputs)
        before.push_back(&value);
    out.before = outputsRow(TrialStepBefore, before);
    return out;
}

// The values of the SELECT of the outputs marked `step`: the first before the formula, the last
// after it (a SELECT of the formula's own comes in between).
const core::RowSet* outputsSet(const QList<core::RowSet>& sets, const QString& step) {
    const core::RowSet* found = nullptr;
    for (const core::RowSet& set : sets) {
        if (set.columns.isEmpty() || set.columns.first() != TrialStepColumn || set.rows.size() != 1 ||
            set.rows.first().first().toString() != step)
            continue;
        found = &set;
        if (step == TrialStepBefore)
            break;
    }
    return found;
}

std::optional<QString> outputValue(const core::RowSet* set, qsizetype index) {
    if (!set || index + 1 >= set->rows.first().size())
        return std::nullopt;
    const core::Variant& v = set->rows.first().at(index + 1);
    if (v.isNull() || v.isEmpty())
        return std::nullopt;
    return v.toString();
}

QList<int> formulaLines(const QList<int>& batchLines, const TrialBatch& batch) {
    QList<int> lines;
    for (int line : batchLines)
        if (line > batch.prefixLines && line - batch.prefixLines <= batch.formulaLines)
            lines.append(line - batch.prefixLines);
    return lines;
}

// The result of a run from its outcome, whichever path gave it.
void readOutcome(TrialResult& result, const GuardedOutcome& outcome, const TrialBatch& batch,
                 const TrialTranslateFn& translate) {
    const core::RowSet* before = outputsSet(outcome.resultSets, TrialStepBefore);
    const core::RowSet* after = outputsSet(outcome.resultSets, TrialStepAfter);
    for (qsizetype i = 0; i < result.outputs.size(); ++i) {
        result.outputs[i].before = outputValue(before, i);
        result.outputs[i].after = outputValue(after, i);
    }
    if (outcome.executedLines)
        result.executedLines = formulaLines(*outcome.executedLines, batch);
    if (!outcome.accepted()) {
        result.message = describeFailure(outcome, batch.prefixLines, translate);
        const int formulaLine = outcome.failureLine() - batch.prefixLines;
        result.formulaLine = formulaLine > 0 && formulaLine <= batch.formulaLines ? formulaLine : 0;
        return;
    }
    if (!after) {
        result.message = tr(translate, trialmsg::NoOutputs);
        return;
    }
    result.ran = true;
}

// An error the compiled evaluator stopped at (its line the formula's), as the engine reports it
// for a batch whose formula follows `prefixLines` lines.
ado::Error compiledError(tsql::ServerError error, int prefixLines) {
    error.line += prefixLines;
    return ado::embeddedError(error);
}

bool sameRunOptions(const compiled::RunOptions& a, const compiled::RunOptions& b) {
    return a.trace == b.trace && a.loopLimit == b.loopLimit && a.limits.timeoutMs == b.limits.timeoutMs &&
           a.limits.memoryBytes == b.limits.memoryBytes && a.limits.lockWaitMs == b.limits.lockWaitMs &&
           a.limits.serverMemoryBytes == b.limits.serverMemoryBytes &&
           a.limits.diskBytes == b.limits.diskBytes;
}

// A construct in the user's language: the compiled evaluator's names in words (ConstructNames)
// through the catalogue, the guard's own word for a statement it cannot name; a statement's
// keywords (EXEC, RAISERROR, TRY ... CATCH) as T-SQL writes them.
QString constructName(const QString& construct, const TrialTranslateFn& translate) {
    if (construct == msg::ThisStatement)
        return tr(translate, construct);
    for (const trialmsg::ConstructName& name : trialmsg::ConstructNames) {
        const qsizetype at = name.english.indexOf(QLatin1String("%1"));
        if (at < 0) {
            if (construct == name.english)
                return tr(translate, name.italian);
            continue;
        }
        const QString head = name.english.left(at);
        const QString tail = name.english.mid(at + 2);
        if (construct.size() > head.size() + tail.size() && construct.startsWith(head) &&
            construct.endsWith(tail))
            return tr(translate, name.italian)
                .arg(construct.mid(head.size(), construct.size() - head.size() - tail.size()));
    }
    return construct;
}

} // namespace

struct FormulaEvaluation::Impl {
    // The formula compiled, with the runner of its rows.
    struct Prepared {
        compiledrows::CompiledTrial formula;
        std::shared_ptr<compiled::Runner> runner;
        compiled::RunOptions runnerOptions;
        // The values of the last row prepared and the inputs converted so far (see prepareRow).
        compiledrows::InitialValues values;
        compiledrows::ConvertedInputs converted;
    };

    QString sql;
    std::shared_ptr<Prepared> compiledFormula; // made on the first run that may take the compiled path
    // What sends the formula to the engine whatever it compiles to (RETURN, the guard's refusal).
    std::optional<std::optional<TrialPath>> refusal;
    std::optional<TrialPath> guardRefusal;
    // What one reading of the formula's tokens tells: RETURN, the elements it reads.
    struct Scan {
        std::optional<TrialPath> returns;
        QList<TrialElement> elements;
    };
    std::optional<Scan> scanned;
    // The formula's tokens read by the scan, until the compile takes them (none after a lexical
    // error: the compile reads the formula and meets it itself), and the statements the guard read
    // from them, which the compile takes instead when there are some.
    std::vector<tsql::Token> tokens;
    std::shared_ptr<tsql::ReadRest> guardRead;

    const Scan& scan() {
        if (!scanned) {
            std::optional<tsql::ServerError> error;
            std::vector<tsql::Token> read = tsql::tokenize(sql, error);
            scanned = Scan{returnIn(read), trialElements(sql, read)};
            if (!error)
                tokens = std::move(read);
        }
        return *scanned;
    }

    // Compiled once: the program counts the formula's own lines, which the run moves to the lines
    // the formula takes in the trial's batch after the row's values.
    std::shared_ptr<Prepared> prepared() {
        if (compiledFormula)
            return compiledFormula;
        auto p = std::make_shared<Prepared>();
        tsql::ReadRest scannedTokens{sql, {}, {}, std::move(tokens)};
        tsql::ReadRest* read = guardRead                      ? guardRead.get()
                               : scannedTokens.tokens.empty() ? nullptr
                                                              : &scannedTokens;
        p->formula = compiledrows::compileTrial(sql, read);
        tokens = {};
        guardRead.reset();
        compiledFormula = p;
        return p;
    }

    // RETURN, or a statement the check's guard refuses by name: the engine's run tells what the
    // trial makes of them, whatever the formula compiles to.
    const std::optional<TrialPath>& formulaRefusal() {
        if (!refusal) {
            std::optional<TrialPath> found = scan().returns;
            if (!found) {
                guardRefusal = refusedByGuard(sql, tokens, guardRead);
                if (guardRefusal && !guardRefusal->construct.isEmpty())
                    found = guardRefusal;
            }
            refusal = found;
        }
        return *refusal;
    }
    // A formula the guard cannot read at all (the compiled evaluator then falls back as well).
    std::optional<TrialPath> unreadByGuard() {
        formulaRefusal();
        if (guardRefusal && guardRefusal->construct.isEmpty())
            return constructPath(msg::ThisStatement, guardRefusal->line, guardRefusal->column);
        return std::nullopt;
    }

    // The path of a run; the formula is compiled only when the connection and the options let it
    // run compiled.
    TrialPath choose(ado::Connection& connection, const TrialOptions& options) {
        if (!options.compiled)
            return enginePath(TrialPath::Reason::TurnedOff);
        if (connection.State() != 1)
            return enginePath(TrialPath::Reason::Connection);
        if (connection.providerKind() != ado::ProviderKind::Embedded)
            return enginePath(TrialPath::Reason::Server);
        if (connection.TransactionCount() != 0)
            return enginePath(TrialPath::Reason::Connection);
        if (const std::optional<TrialPath>& refused = formulaRefusal())
            return *refused;
        const std::shared_ptr<Prepared> p = prepared();
        if (!p->formula.compiled.program) {
            const compiled::Fallback fallback = p->formula.compiled.fallback.value_or(compiled::Fallback{});
            return constructPath(fallback.construct, fallback.line, fallback.column);
        }
        if (const std::optional<TrialPath>& unread = unreadByGuard())
            return *unread;
        return {EvaluationPath::Compiled, TrialPath::Reason::Compiled, {}, 0, 0};
    }

    GuardedOutcome runCompiled(Prepared& p, PreparedRow row, const TrialBatch& batch,
                               const TrialOptions& options);

    // The runner of the program for these options, kept while they stay the same.
    static std::shared_ptr<compiled::Runner> runner(Prepared& p, const ado::CommandLimits& limits,
                                                    bool trace) {
        const compiled::RunOptions runOptions{ado::embeddedLimits(limits), 0, trace};
        if (!p.runner || !sameRunOptions(p.runnerOptions, runOptions)) {
            p.runner = std::make_shared<compiled::Runner>(p.formula.compiled.program, runOptions);
            p.runnerOptions = runOptions;
        }
        return p.runner;
    }
};

GuardedOutcome FormulaEvaluation::Impl::runCompiled(Prepared& p, PreparedRow row, const TrialBatch& batch,
                                                    const TrialOptions& options) {
    runner(p, options.limits, options.trace);
    GuardedOutcome start;
    start.resultSets << std::move(row.before);
    auto shared = std::make_shared<PreparedRow>(std::move(row));
    const std::shared_ptr<compiled::Runner> runner = p.runner;
    const std::shared_ptr<const compiled::Program> program = p.formula.compiled.program;
    const std::vector<int> outputSlots = p.formula.outputSlots;
    const int prefixLines = batch.prefixLines;
    const int afterLine = batch.prefixLines + batch.formulaLines + 1;
    const bool trace = options.trace;
    DetachedRun detached;
    detached.work = [runner, program, shared, outputSlots, prefixLines, afterLine, trace, start]() {
        const compiled::Outcome& outcome = runner->run(shared->row);
        GuardedOutcome out = start;
        if (outcome.error) {
            out.errors << compiledError(*outcome.error, prefixLines);
        } else {
            // The variables the formula never names keep what the batch set before it.
            const std::vector<int>& named = program->inputs();
            std::vector<const tsql::Value*> after;
            after.reserve(outputSlots.size());
            for (size_t k = 0; k < outputSlots.size(); ++k)
                after.push_back(std::find(named.begin(), named.end(), outputSlots[k]) != named.end()
                                    ? &outcome.value(size_t(outputSlots[k]))
                                    : &shared->outputs[k]);
            try {
                out.resultSets << outputsRow(TrialStepAfter, after);
            } catch (tsql::SqlError& stopped) {
                stopped.error.line = afterLine; // the SELECT of the outputs after the formula
                out.errors << ado::embeddedError(stopped.error);
            }
        }
        if (trace) {
            QList<int> lines;
            for (int line : outcome.executedLines)
                lines << line + prefixLines;
            out.executedLines = lines;
        }
        return out;
    };
    detached.stop = [runner] { runner->cancel(); };
    return runDetachedWith(options.evaluate, detached);
}

FormulaEvaluation::FormulaEvaluation(const QString& sql)
    : d(std::make_unique<Impl>()) {
    d->sql = sql;
}

FormulaEvaluation::~FormulaEvaluation() = default;

const QString& FormulaEvaluation::sql() const {
    return d->sql;
}

const QList<TrialElement>& FormulaEvaluation::elements() {
    return d->scan().elements;
}

TrialPath FormulaEvaluation::plan(ado::Connection& connection, const TrialOptions& options) {
    return d->choose(connection, options);
}

std::optional<ProductionVerdict> FormulaEvaluation::asProduction(ado::Connection& connection,
                                                                 const TranslateFn& translate,
                                                                 const ado::CommandLimits& limits) {
    TrialOptions options;
    options.limits = limits;
    if (d->choose(connection, options).path != EvaluationPath::Compiled)
        return std::nullopt;
    const compiled::Outcome& outcome = Impl::runner(*d->prepared(), limits, false)->run(compiled::Row{});
    GuardedOutcome out;
    if (outcome.error)
        out.errors << compiledError(*outcome.error, ProductionDeclarationLines);
    return productionVerdict(out, translate);
}

TrialResult FormulaEvaluation::run(ado::Connection& connection, const QList<TrialInput>& inputs,
                                   const TrialOptions& options) {
    TrialResult result;
    if (options.reading != TrialReading::Stored) {
        // A user's values run as the test case saved from them would: with the texts it keeps.
        TrialBatch refused;
        const std::optional<QList<TrialInput>> stored =
            trialStoredInputs(inputs, options.reading, options.translate, refused);
        if (!stored) {
            for (const TrialElement& out : trialOutputs())
                result.outputs.append({out, std::nullopt, std::nullopt});
            result.refusedKey = refused.refusedKey;
            result.message = refused.refusal;
            return result;
        }
        TrialOptions asStored = options;
        asStored.reading = TrialReading::Stored;
        return run(connection, *stored, asStored);
    }
    // The batch's text is made only when the engine runs it.
    TrialBatch batch = trialBatch(d->sql, inputs, options.translate, TrialText::Layout);
    for (const TrialElement& out : trialOutputs())
        result.outputs.append({out, std::nullopt, std::nullopt});
    if (!batch.refusedKey.isEmpty()) {
        result.refusedKey = batch.refusedKey;
        result.message = batch.refusal;
        return result;
    }
    TrialPath path = d->choose(connection, options);
    if (path.path == EvaluationPath::Compiled) {
        const std::shared_ptr<Impl::Prepared> prepared = d->prepared();
        std::optional<PreparedRow> row;
        try {
            row = prepareRow(prepared->formula, inputs, options.translate, prepared->values,
                             prepared->converted);
        } catch (const tsql::SqlError&) {
            row.reset(); // a value the SELECT of the outputs before the formula would stop at
        }
        if (row) {
            readOutcome(result, d->runCompiled(*prepared, std::move(*row), batch, options), batch,
                        options.translate);
            result.path = path;
            return result;
        }
        path = enginePath(TrialPath::Reason::Values);
    }
    // The prefix is the system's text: the guard reads the formula and the SELECT after it.
    batch = trialBatch(d->sql, inputs, options.translate);
    const GuardedOutcome outcome = runGuardedWith(options.run, connection,
                                                  {.batch = batch.text,
                                                   .limits = options.limits,
                                                   .trustedPrefix = batch.prefixLength,
                                                   .trustedLines = batch.prefixLines,
                                                   .trace = options.trace});
    readOutcome(result, outcome, batch, options.translate);
    result.path = path;
    return result;
}

TrialResult runTrial(ado::Connection& connection, const QString& sql, const QList<TrialInput>& inputs,
                     const TrialOptions& options) {
    return FormulaEvaluation(sql).run(connection, inputs, options);
}

QString describePath(const TrialPath& path, const TrialTranslateFn& translate) {
    using Reason = TrialPath::Reason;
    switch (path.reason) {
    case Reason::Compiled:
        return tr(translate, trialmsg::PathCompiled);
    case Reason::Server:
        return tr(translate, trialmsg::PathServer);
    case Reason::TurnedOff:
        return tr(translate, trialmsg::PathTurnedOff);
    case Reason::Connection:
        return tr(translate, trialmsg::PathConnection);
    case Reason::Values:
        return tr(translate, trialmsg::PathValues);
    case Reason::Construct:
        break;
    }
    const QString what = constructName(path.construct, translate);
    if (path.line <= 0)
        return tr(translate, trialmsg::PathConstruct).arg(what);
    if (path.column <= 0)
        return tr(translate, trialmsg::PathConstructAtLine).arg(what, QString::number(path.line));
    return tr(translate, trialmsg::PathConstructAt)
        .arg(what, QString::number(path.line), QString::number(path.column));
}

} // namespace check
