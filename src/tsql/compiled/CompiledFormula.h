#pragma once

// The compiled evaluator: a formula (the statements formula authors write, after the fixed
// declarations) compiled once into a program that evaluates a row of input values with no
// parsing, no SQLite and no database at all. It gives exactly what the engine gives for the same
// batch (values, types, NULLs, errors with their number, level and line); a formula that uses
// anything it does not compile is left to the engine, and compile() says which construct and where.
//
// Nothing a program runs can read or write a table: it has none.

#include "tsql/base/Limits.h"
#include "tsql/base/ServerError.h"
#include "tsql/text/Lexer.h"
#include "tsql/values/Value.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tsql {
struct ReadRest;
}

namespace tsql::compiled {

class Program;

// Why a formula is left to the engine: the construct, named as a formula author knows it
// ("a query over the table LP17_FORMULEMANUT", "EXEC", "RAISERROR", "a compile error"), and
// where it starts in the formula (1-based line and column; 0 when it is the whole formula).
struct Fallback {
    QString construct;
    int line = 0;
    int column = 0;
};

// A category or variant node the formula's sub-queries over the two xml variables read: the
// element's key attribute (IDCATEGORIA_CM01, MG5F_CODICEVAR) and its VALORE attribute, as the
// document would hold them (nullopt: the attribute is absent).
struct Node {
    std::optional<QString> key;
    std::optional<QString> value;
};

// A document's nodes, shared and never changed once made: rows that read the same document hold
// one list (a copy of the row copies no text), and a look-up that finds the list it read for the
// last row knows its keys without comparing them.
class NodeList {
public:
    NodeList() = default;
    NodeList(std::vector<Node> nodes) // implicit: a list is its nodes
        : m_nodes(nodes.empty() ? nullptr : std::make_shared<const std::vector<Node>>(std::move(nodes))) {}

    const std::vector<Node>& nodes() const { return m_nodes ? *m_nodes : none(); }
    operator const std::vector<Node>&() const { return nodes(); }
    bool empty() const { return !m_nodes; }
    std::size_t size() const { return nodes().size(); }
    // The same list (not only equal nodes): made once and shared since.
    bool sameAs(const NodeList& other) const { return m_nodes && m_nodes == other.m_nodes; }
    // Where the list is kept (null: empty): the same place, the same list while this one is held.
    const void* identity() const { return m_nodes.get(); }

private:
    static const std::vector<Node>& none() {
        static const std::vector<Node> empty;
        return empty;
    }
    std::shared_ptr<const std::vector<Node>> m_nodes;
};

// The nodes of an xml variable's document, in document order, read once (for a caller that has
// the document rather than its nodes): the elements `element` ("CATEGORIA", "VARIANTE") under
// the root `root` ("CATEGORIE", "VARIANTI"). Nullopt when the text is no document the engine reads
// the same way (the caller then leaves the row to the engine).
std::optional<std::vector<Node>> nodesOf(const QString& xml, const QString& root, const QString& element,
                                         const QString& keyAttribute);

// One row of inputs. `values` holds a value for each input of the program (Program::inputs(), in
// that order), already of the variable's declared type or NULL; `categories` and `variants` the
// nodes of the documents in @CM01_IDCATEGORIA and @MG5F_CODICEVAR (empty: the variable is NULL).
// A caller that keeps the values elsewhere may lend them instead: `borrowed`, when not empty, is
// read in place of `values` (null: the variable's NULL), each value valid while the row runs.
struct Row {
    std::vector<Value> values;
    std::vector<const Value*> borrowed;
    NodeList categories;
    NodeList variants;

    // The value of the k-th input (null: the variable's NULL).
    const Value* input(std::size_t k) const {
        if (!borrowed.empty())
            return k < borrowed.size() ? borrowed[k] : nullptr;
        return k < values.size() ? &values[k] : nullptr;
    }
};

// What one evaluation gave: every variable's value when the formula ended (or stopped at its
// error), the outputs among them, and the error.
struct Outcome {
    std::optional<ServerError> error; // as the engine reports it; line: of the formula (1-based)
    std::vector<int> executedLines;   // traced runs: formula lines on which a statement ran, ascending

    // The value of the variable in `slot` (Program::variables() order, then the formula's own):
    // valid until the next run, and while the row it ran on is (a variable the formula only
    // reads is read where the row holds it).
    const Value& value(std::size_t slot) const { return *read[slot]; }
    // The number of slots (0: no program).
    std::size_t size() const { return read.size(); }

    // The runner's own: the variables it holds, and where each slot is read.
    std::vector<Value> held;
    std::vector<const Value*> read;
};

struct Variable {
    QString name; // upper case with its at sign
    SqlType type;
};

class Program {
public:
    virtual ~Program() = default;
    // Every variable the declarations declare, in their order (the slots of Outcome::values).
    virtual const std::vector<Variable>& variables() const = 0;
    // The declaration slots the formula names: a Row gives their values, in this order. The
    // variables it never names start NULL.
    virtual const std::vector<int>& inputs() const = 0;
};

struct Compiled {
    std::shared_ptr<const Program> program; // null: the engine must run the formula
    std::optional<Fallback> fallback;       // why, when program is null
};

// Compiles `formula` (the SQL form, as stored) after `declarations` (leading DECLARE statements
// only, as the check and production send them). The declarations are read once per distinct text
// and kept. Never throws: whatever it cannot compile, a compile error included, is a fallback.
// Lines are the formula's own (line 1 is its first), wherever the caller's batch puts it.
// `formulaRead`: the formula as its caller read it already (taken; `text` the formula): its
// tokens as tokenize read them without an error, or its statements as read at the place it takes
// after the declarations (the check's statement guard reads them so).
Compiled compile(const QString& declarations, const QString& formula, ReadRest* formulaRead = nullptr);

struct RunOptions {
    Limits limits;        // the time limit (Msg 3617) and the memory budget, as the engine's batch
    qint64 loopLimit = 0; // WHILE iterations per evaluation, as the engine's loop limit (0: none)
    bool trace = false;   // fill Outcome::executedLines
};

// Evaluates rows of one program, one at a time, reusing its working storage: after the first row,
// a row allocates nothing beyond the values it builds. Not thread-safe: one runner per thread (a
// program is shared, read-only, by any number of runners).
class Runner {
public:
    explicit Runner(std::shared_ptr<const Program> program, RunOptions options = {});
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // The outcome of the formula on `row`, valid until the next call.
    const Outcome& run(const Row& row);
    // Stops the evaluation running now as a timeout would (Msg 3617); callable from any thread.
    void cancel();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tsql::compiled
