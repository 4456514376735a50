#pragma once

#include "check/GuardedRun.h"

#include <QString>

#include <functional>

namespace core {
class HostServices;
}

namespace check {

// A stored formula judged as production runs it: the check's declarations, then the two xml
// variables of the category and variant sub-queries (ProductionDeclarations()), then the stored
// SQL form itself, sub-queries and all. The window's check judges the check-mode form instead,
// where a category is `@DO11_CODSEDE_CG31` (DECIMAL(5,0)) and a variant `@DO30_CODART_MG66`
// (CHAR(25)): a category of text compared with a text fails there (Msg 8114) and runs here.
//
// The run goes through runGuarded exactly as the window's check does: the same guard reads the
// formula (the declarations are this system's own text), in a transaction that is always rolled
// back, within checkLimits(). Nothing of the stored form can change data that the check's form
// could not.
//
// What the empty xml variables mean for the verdict. They hold no value (NULL), so every
// sub-query reads no row and gives a NULL of the type its value() names, and conditions on it
// take their ELSE branch. Everything the server decides without the data is judged all the same:
// the whole batch is read and bound first (syntax, names, the sub-queries' types and their
// comparisons and conversions with constants, the xml paths of value(), nodes(), query() and
// exist(), which the engine reads when it binds as the server compiles them), and every statement
// that runs does so with the types production gives it. What it cannot see is what depends on a
// category's or a variant's value: a branch taken only for some values, a value that does not
// convert, a sub-query that finds two rows. The window's check, whose placeholders are NULL too,
// cannot see those either.
struct ProductionVerdict {
    bool correct = false;
    bool busy = false;   // the server could not judge it (see serverUnavailable)
    QString message;     // the first message, lines counted in the formula (see describeFailure)
    int formulaLine = 0; // from 1; 0 when unknown or in the declarations
    int batchLine = 0;   // the message's line in the batch, 0 when unknown
    int column = 0;      // in the stored SQL form, 0 when unknown
};

using TranslateFn = std::function<QString(const QString&)>;

// The text sent for a stored SQL form.
QString productionBatch(const QString& storedSql);

// The verdict of a run of production's batch (lines counted in the batch).
ProductionVerdict productionVerdict(const GuardedOutcome& outcome, const TranslateFn& translate = {});

// Runs `storedSql` as production runs it (see above) on `connection`. The check's own texts go
// through `translate` (unset: Italian). A connection that cannot run the batch in isolation
// (closed, lost, a transaction already open) gives a busy verdict with msg::ServerBusy, as the
// window's check says it.
// `run` says where the batch runs (unset: on `connection`, on the caller's thread).
ProductionVerdict runAsProduction(ado::Connection& connection, const QString& storedSql,
                                  const TranslateFn& translate = {},
                                  const ado::CommandLimits& limits = checkLimits(),
                                  const GuardedRunFn& run = {});

// For a formula in display form whose window's check failed: true when its form as saved (the
// translation in normal mode, with the category and variant look-ups on the host's connection)
// passes as production runs it. False as well when the formula has no category or variant to
// translate (the check's placeholders are then not why it failed), when the translation fails
// (silently: no error is shown) or when the server cannot judge it.
bool passesAsStored(core::HostServices& host, const QString& displayText, const GuardedRunFn& run = {});

} // namespace check
