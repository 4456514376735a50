#pragma once

#include "ado/Ado.h"
#include "check/GuardedRun.h"
#include "check/TypedValues.h"
#include "tsql/values/Value.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tsql {
struct Token;
}

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
// The same from the tokens of `sql` as tsql::tokenize gave them (a caller that reads them anyway).
QList<TrialElement> trialElements(const QString& sql, const std::vector<tsql::Token>& tokens);

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
// `reading`: how the text is written (a user's language, or as a test case keeps it).
struct TrialLiteral {
    QString literal; // "NULL" for empty text
    QString error;   // empty when the value fits
};
TrialLiteral trialLiteral(const TrialElement& element, const QString& text,
                          const TrialTranslateFn& translate = {},
                          TrialReading reading = TrialReading::Stored);

// The text a test case keeps for `text` typed in `reading` (in `literal`), which the stored reading
// reads as `reading` reads `text`: a number as the C locale writes it ("1.000,5" in Italian gives
// "1000.5"), a date as yyyy-mm-dd (THH:mm:ss with a time), any other text as typed. `error` is
// trialLiteral's when the value does not fit.
TrialLiteral trialStoredText(const TrialElement& element, const QString& text, TrialReading reading,
                             const TrialTranslateFn& translate = {});

// A value a test case keeps (read as the stored reading reads it) as a user of `reading` types it:
// "12.5" is "12,5" in Italian, "2026-12-31" is "31/12/2026" in Italian and "12/31/2026" in English.
// A text that is no number or date of its element's type as it is.
QString trialTypedText(const TrialElement& element, const QString& stored, TrialReading reading);

// A number as the server writes it ("-12.500000") as `reading` shows it: the decimal comma in
// Italian. Any other text as it is.
QString trialShownNumber(const QString& text, TrialReading reading);

// The value a decimal variable of `element` takes from `text` when the text is a plain
// number as the C locale writes it ("-12.5") that fits the type: what the SET of trialLiteral's
// literal leaves in the variable, without writing the literal. nullopt for any other text or type
// (trialLiteral then says what the text gives).
std::optional<tsql::Value> trialPlainNumber(const TrialElement& element, const QString& text);
// The same for a variable of `type` (the element's declared type, read once by the caller).
std::optional<tsql::Value> trialPlainNumber(const tsql::SqlType& type, const QString& text);

// What a trial batch declares before the values: the check's declarations and the two XML
// variables the category and variant sub-queries read (their own line, after the block).
QString trialDeclarations();

// The document a trial gives @CM01_IDCATEGORIA (Kind::Category) or @MG5F_CODICEVAR
// (Kind::Variant): <CATEGORIE><CATEGORIA IDCATEGORIA_CM01="123" VALORE="ROSSO"/></CATEGORIE> and the
// same for the variants, from the inputs of that kind with a value; empty when there is none.
QString trialReferenceXml(const QList<TrialInput>& inputs, TrialElement::Kind kind);

// The first column of the two SELECTs of the outputs around the formula, and its value in each:
// the outputs follow it, each named as its variable without the at sign.
inline const QString TrialStepColumn = QStringLiteral("TRIAL_STEP");
inline const QString TrialStepBefore = QStringLiteral("B");
inline const QString TrialStepAfter = QStringLiteral("A");

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
// `inputs` typed in `reading` with the texts a test case keeps for them (trialStoredText); nullopt
// for the first that does not fit, with its key and why in `refused` as trialBatch refuses it.
std::optional<QList<TrialInput>> trialStoredInputs(const QList<TrialInput>& inputs, TrialReading reading,
                                                   const TrialTranslateFn& translate, TrialBatch& refused);

// Layout: the lines and the refusal alone, no `text` nor `prefixLength` (what a run that sends no
// batch needs).
enum class TrialText { Whole, Layout };
TrialBatch trialBatch(const QString& sql, const QList<TrialInput>& inputs,
                      const TrialTranslateFn& translate = {}, TrialText text = TrialText::Whole);

// An output of a run: its value as the server writes it as text (nullopt: NULL).
struct TrialOutput {
    TrialElement element;
    std::optional<QString> before;
    std::optional<QString> after;
    bool changed() const { return before != after; }
};

// Which evaluation ran a trial, and why that one.
enum class EvaluationPath { Compiled, Engine };
struct TrialPath {
    enum class Reason {
        Compiled,   // the compiled evaluator ran it: the embedded engine is the reference
        Construct,  // the formula uses what the compiled evaluator does not compile (construct below)
        Server,     // the connection is to SQL Server: the server runs the formula, as in production
        TurnedOff,  // the caller asked for the engine (TrialOptions::compiled)
        Connection, // the connection is closed or has a transaction open: the engine's run tells
        Values,     // a value given that the compiled evaluator does not take as the engine would
    };
    EvaluationPath path = EvaluationPath::Engine;
    Reason reason = Reason::TurnedOff;
    QString construct; // Reason::Construct: what, as a formula author knows it ("EXEC")
    int line = 0;      // where it starts in the formula (1-based; 0: the whole formula)
    int column = 0;
    bool operator==(const TrialPath&) const = default;
};

// The path in words, in the user's language: "l'ha eseguita il valutatore compilato", "l'ha
// eseguita il motore: EXEC alla riga 3, colonna 1", ...
QString describePath(const TrialPath& path, const TrialTranslateFn& translate = {});

struct TrialResult {
    bool ran = false;           // the formula ran to its end and its outputs were read
    QString refusedKey;         // an input that does not fit its type: nothing was run
    QString message;            // why it did not run (the server's message, the refusal)
    int formulaLine = 0;        // the formula's line the message points at (0: none)
    QList<TrialOutput> outputs; // every output in block order (values read as far as the run got)
    // The formula's lines on which a statement ran (embedded engine, when traced); nullopt when
    // the connection gives no trace.
    std::optional<QList<int>> executedLines;
    // Which evaluation ran it (nullopt: nothing ran, a value was refused).
    std::optional<TrialPath> path;
};

struct TrialOptions {
    ado::CommandLimits limits = checkLimits();
    bool trace = false;
    TrialTranslateFn translate;
    GuardedRunFn run; // where the batch runs; unset = on `connection`, on the caller's thread
    // Whether the compiled evaluator may run the formula where the engine is the reference (an
    // embedded connection); false: the engine runs it whatever the connection.
    bool compiled = true;
    // Where a compiled run goes (unset: on the caller's thread); it stops the run as `run` stops
    // a batch.
    DetachedRunFn evaluate;
    // How the inputs' texts are written: a user's values in the user's language; the stored
    // reading for a test case's values and the rows of a preview.
    TrialReading reading = TrialReading::Stored;
    // How the verdicts of test cases write the numbers they quote (trialShownNumber): the window's
    // in the user's language; Stored: as the server writes them (the tool's outputs).
    TrialReading shown = TrialReading::Stored;
};

// Runs the formula's SQL form (normal mode, as stored) on `inputs`, through a FormulaEvaluation
// made for this one run: on the compiled evaluator where it may (see FormulaEvaluation), through
// runGuarded otherwise (the same guard, isolated transaction always rolled back and limits as the
// check). Throws ComError when the connection cannot run it in isolation.
TrialResult runTrial(ado::Connection& connection, const QString& sql, const QList<TrialInput>& inputs,
                     const TrialOptions& options = {});

} // namespace check
