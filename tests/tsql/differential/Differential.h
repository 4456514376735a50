#pragma once

// The differential harness of the compiled evaluator: a formula and a row of inputs run on the
// embedded engine (the production declarations, the inputs set on one line, the two xml
// variables built from the nodes, the formula, a SELECT of every declared variable) and through
// the compiled program; every variable's value, type and NULL-ness, the error (number, level,
// state, line in the formula, message) and, on traced rows, the lines that ran must agree.
// A formula the evaluator leaves to the engine is counted as a fallback, never as a difference.
// Used by the differential test, the fuzz target and the benchmark; it needs no test framework.

#include "tsql/Session.h"
#include "tsql/compiled/CompiledFormula.h"
#include "tsql/values/Value.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace differential {

using tsql::compiled::Node;

// A formula as the sources give it: its SQL form and the "declare ..." lines (CR LF each) it
// needs after the production block (corpus cases declare their own variables).
struct FormulaCase {
    QString name;
    QString formula;
    QString extraDeclarations;
};

// One row: the inputs by variable name (upper case, with the at sign), each already of the
// variable's declared type or NULL (absent: NULL), only for variables the formula names, and the nodes of the
// two xml documents (empty: the variable is NULL).
struct InputRow {
    QHash<QString, tsql::Value> values;
    std::vector<Node> categories;
    std::vector<Node> variants;
};

enum class Verdict {
    Same,       // both agree
    Fallback,   // the evaluator left the formula to the engine
    Unseen,     // the engine ended the batch before the SELECT of the variables (RETURN): errors only
    Refused,    // the engine refused the row's own inputs (a harness matter, not the formula's)
    Difference, // they disagree: `detail` says where
};

struct Comparison {
    Verdict verdict = Verdict::Same;
    QString detail;
};

// One declared variable of the batch: its name (upper case) and type.
struct Declared {
    QString name;
    tsql::SqlType type;
};

// A formula compiled once for its rows.
struct Prepared {
    FormulaCase source;
    QString declarations; // the production block and the case's own declarations
    int declarationLines = 0;
    std::vector<Declared> declared; // every variable of the declarations, in order
    std::shared_ptr<const tsql::compiled::Program> program;
    std::optional<tsql::compiled::Fallback> fallback;
    QString problem; // the program's variables differ from the declarations: a difference
};

struct Counts {
    qint64 formulas = 0;
    qint64 compiled = 0;
    qint64 fallbacks = 0;
    qint64 rows = 0;
    qint64 same = 0;
    qint64 unseen = 0;
    qint64 refused = 0;
    qint64 differences = 0;
    QHash<QString, int> fallbackConstructs; // how many formulas fell back on each construct
    double fallbackRate() const { return formulas ? double(fallbacks) / double(formulas) : 0; }
};

// The variables a declaration text declares ("declare @X as decimal(17,6)" lines), in order.
std::vector<Declared> declaredIn(const QString& declarations);

// The text of a value for a difference report: type, NULL or its exact content.
QString describe(const tsql::Value& v);
// True when the two values are the same value of the same type (or both NULL of it).
bool sameValue(const tsql::Value& a, const tsql::Value& b);

// The xml text of the nodes under `root`/`element` with the key attribute `keyAttribute`.
QString nodesXml(const std::vector<Node>& nodes, const QString& root, const QString& element,
                 const QString& keyAttribute);

// A literal that gives `v` (already of the variable's type) to a variable of that type.
QString literalOf(const tsql::Value& v);

// The batch the engine runs for a compiled formula and a row: the declarations, the row's inputs
// on one line, the xml documents on the next, the formula, and a SELECT of every variable that
// is not xml (their declaration slots in `selected`).
QString engineBatch(const Prepared& prepared, const InputRow& row, std::vector<size_t>* selected = nullptr);

// A reproducer of a case and a row, as a test case table would hold it.
QString reproducer(const FormulaCase& formula, const InputRow& row);

class Harness {
public:
    // `loopLimit`: WHILE iterations per evaluation, the same on both sides.
    explicit Harness(qint64 loopLimit = 2000);
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // The formula compiled after the declarations; the engine's batch has the row's two lines in
    // between, and both sides' lines are compared as the formula's own.
    Prepared prepare(const FormulaCase& formula);
    // Runs `row` on both sides and compares; `trace` compares the lines that ran as well.
    Comparison compare(const Prepared& prepared, const InputRow& row, bool trace);

    // The declared variables (not the xml ones) the formula names: those a row gives values to.
    static std::vector<Declared> namedVariables(const Prepared& prepared);

    const Counts& counts() const { return m_counts; }
    // The engine's session (limits and loop limit as the runner's).
    tsql::Session& session() { return *m_session; }

private:
    Comparison compareRun(const Prepared& prepared, const InputRow& row, bool trace);

    QSqlDatabase m_db;
    std::unique_ptr<tsql::Session> m_session;
    qint64 m_loopLimit;
    Counts m_counts;
};

} // namespace differential
