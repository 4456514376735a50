#pragma once

#include "ado/Ado.h"
#include "check/GuardedRun.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace check {

// One element a formula reads: a declared variable (a quotation value, a master-data field, an
// output), a category or a variant.
struct TrialElement {
    enum class Kind { Variable, Category, Variant };
    Kind kind = Kind::Variable;
    QString key;         // "@ATTPREZZO", a category id ("123") or a variant code ("V01")
    QString type;        // the declared type ("decimal(17,6)", "CHAR(2)"); empty: text (categories, variants)
    bool output = false; // an @OUT variable: read back after the run

    bool operator==(const TrialElement&) const = default;
};

// The elements the SQL form `sql` (normal mode) reads: its declared variables in the order of
// the declaration block, then its categories and its variants in the order of the text. Read
// with the engine's lexer; an unreadable text gives the elements before the flaw.
QList<TrialElement> trialElements(const QString& sql);

// The output variables (@OUT...), in the order of the declaration block.
const QList<TrialElement>& trialOutputs();

// The declared variable `name` ("@ATTPREZZO", any case), or nullopt.
std::optional<TrialElement> declaredElement(const QString& name);

using TrialTranslateFn = std::function<QString(const QString&)>; // the host's; unset: Italian

// The element's label in the user's language: "[Prezzo lordo - CURR]" for a variable of the
// token dictionary (its name otherwise), "{123}" for a category, "|V01|" for a variant.
QString trialLabel(const TrialElement& element, const TrialTranslateFn& translate = {});

// The declared variable a user names by its label without brackets ("Prezzo lordo - CURR", in
// the language of `translate`, any case), by its label with them, or by its name ("@ATTPREZZO").
std::optional<TrialElement> elementNamed(const QString& name, const TrialTranslateFn& translate = {});

// A value typed for an element; empty text is NULL.
struct TrialInput {
    TrialElement element;
    QString text;
};

// The T-SQL literal that gives `text` to a variable of `element`'s type, or why it does not fit
// (a number that is none or too large for its precision, text longer than its length, a date
// that is none, a line break). Categories and variants take any single-line text.
struct TrialLiteral {
    QString literal; // "NULL" for empty text
    QString error;   // empty when the value fits
};
TrialLiteral trialLiteral(const TrialElement& element, const QString& text,
                          const TrialTranslateFn& translate = {});

// The batch of a trial run: the check's declarations, the two XML variables the category and
// variant sub-queries read, the typed values, a SELECT of the outputs before, the formula, and a
// SELECT of the outputs after.
struct TrialBatch {
    QString text;
    qsizetype prefixLength = 0; // the system's own text before the formula
    int prefixLines = 0;        // line breaks in it: formula line = batch line - prefixLines
    int formulaLines = 0;
    QString refusedKey; // the first input whose value does not fit (nothing to run)
    QString refusal;    // why
};
TrialBatch trialBatch(const QString& sql, const QList<TrialInput>& inputs,
                      const TrialTranslateFn& translate = {});

// An output of a run: its value as the server writes it as text (nullopt: NULL).
struct TrialOutput {
    TrialElement element;
    std::optional<QString> before;
    std::optional<QString> after;
    bool changed() const { return before != after; }
};

struct TrialResult {
    bool ran = false;           // the formula ran to its end and its outputs were read
    QString refusedKey;         // an input that does not fit its type: nothing was run
    QString message;            // why it did not run (the server's message, the refusal)
    int formulaLine = 0;        // the formula's line the message points at (0: none)
    QList<TrialOutput> outputs; // every output in block order (values read as far as the run got)
    // The formula's lines on which a statement ran (embedded engine, when traced); nullopt when
    // the connection gives no trace.
    std::optional<QList<int>> executedLines;
};

struct TrialOptions {
    ado::CommandLimits limits = checkLimits();
    bool trace = false;
    TrialTranslateFn translate;
    GuardedRunFn run; // where the batch runs; unset = on `connection`, on the caller's thread
};

// Runs the formula's SQL form (normal mode, as stored) on `inputs` through runGuarded: the same
// guard, isolated transaction always rolled back and limits as the check. Throws ComError when
// the connection cannot run it in isolation.
TrialResult runTrial(ado::Connection& connection, const QString& sql, const QList<TrialInput>& inputs,
                     const TrialOptions& options = {});

} // namespace check
