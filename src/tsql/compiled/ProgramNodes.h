#pragma once

// The inside of a compiled program: expressions and statements as small pre-resolved nodes
// (operators read once, functions by their row of the function table, types fixed), evaluated
// over the variables of one evaluation (a Frame). Every rule a node applies is the engine's
// own (run/Evaluator.h, run/Executor.h, values/Value.h): the nodes only say in which order.
// Not part of the engine's interface.

#include "tsql/compiled/CompiledFormula.h"
#include "tsql/run/Executor.h"

#include <QHash>

#include <memory>
#include <vector>

namespace tsql::compiled {

// Which nodes of a category or variant document a look-up reads: the document and the type its
// keys are converted to. The keys of a row are converted once per such pair.
struct KeyList {
    bool variants = false;
    SqlType keyType;
};

// The keys of one row's nodes converted to a KeyList's type: in document order up to the first
// that does not convert, whose error `failure` holds (a look-up meets it when it gets there).
// The texts they were converted from are kept: a row whose nodes have the same keys (the same
// article on the next row) converts nothing again.
struct ConvertedKeys {
    quint64 row = 0;        // the evaluation they belong to
    quint64 generation = 1; // counts the conversions: the same generation, the same keys
    NodeList source;        // the list the keys were converted from
    std::vector<std::optional<QString>> texts;
    std::vector<Value> keys;
    std::optional<ServerError> failure;
};

// What a look-up gave in one evaluation (a formula reads the same category or variant more than
// once: IF x IS NOT NULL SET @v = x): its value, or its error. The node value texts it converted
// are kept with what they converted to: a later row that finds one of them converts nothing.
struct LookupResult {
    // What the look-up gave over a list it read lately: a list is never changed, so the same
    // list keeps the same nodes and gives the same value (a file's rows share the list of each
    // set of codes).
    struct Remembered {
        NodeList list;
        Value value;
    };
    // The lists read lately, RememberedLists at most, found by their place in memory (which the
    // list held here keeps theirs): the places in a small table probed without touching the
    // values, which are kept apart.
    class RememberedLists {
    public:
        static constexpr std::size_t Most = 1024;
        const Remembered* find(const NodeList& list) const;
        // Keeps what `list` gave (every list is forgotten first once Most are kept).
        const Remembered& add(const NodeList& list, const Value& given);

    private:
        struct Slot {
            const void* list = nullptr; // null: free
            std::size_t entry = 0;
        };
        std::size_t slotOf(const void* list) const;
        void place(const void* list, std::size_t entry);
        std::vector<Slot> m_slots; // a power of two of them, at most half used
        std::vector<Remembered> m_entries;
    };

    quint64 row = 0;
    Value value;
    const Remembered* recalled = nullptr; // this evaluation's value, when a remembered one
    std::optional<ServerError> error;
    // The nodes its WHERE kept (none or one) from the keys of `generation`, which keep them again.
    quint64 generation = 0; // 0: none
    std::size_t kept = 0, first = 0;
    QHash<QString, Value> converted; // node value texts converted, a bounded number
    RememberedLists remembered;

    const Value& current() const { return recalled ? recalled->value : value; }
};

// The working state of one evaluation: the variables, @@ROWCOUNT, the row's nodes, and the
// storage nodes reuse from one row to the next.
struct Frame {
    std::vector<Value>& vars;
    const std::vector<const Value*>& read; // by slot: the variable as expressions read it
    std::vector<MemoryCharge>& varMemory;
    const std::vector<SqlType>& types;
    BatchBudget& budget;
    const Row& row;
    std::vector<std::vector<Value>>& scratch; // one list for each node that gathers values
    std::vector<ConvertedKeys>& keys;         // one for each KeyList of the program
    std::vector<LookupResult>& lookups;       // one for each distinct look-up of the program
    quint64 evaluation = 0;
    qint64 rowCount = 0;
    qint64 loopCount = 0;
    qint64 loopLimit = 0;
    std::vector<bool>* lineTrace = nullptr; // traced run: the batch lines on which a statement ran
};

class ExprNode {
public:
    ExprNode(int line, int column)
        : m_line(line)
        , m_column(column) {}
    virtual ~ExprNode() = default;
    ExprNode(const ExprNode&) = delete;
    ExprNode& operator=(const ExprNode&) = delete;

    // The node's value; a condition gives its truth as a bit.
    virtual Value value(Frame& f) const;
    // The node's truth; only conditions have one (Msg 4145 otherwise, as the engine).
    virtual Tri truth(Frame& f) const;
    // A value the node holds rather than computes (a variable, a constant), read in place.
    virtual const Value* held(Frame&) const { return nullptr; }
    // The value of a constant, known when compiled; null for every other node.
    virtual const Value* constant() const { return nullptr; }

    // The decimal lane. A node whose value is a decimal of one type whatever the row names that
    // type in laneType(), and number() gives the value's number (nullopt: its NULL) without
    // building a Value; false when this row's value is not of that type after all, and the
    // caller then asks value(), which gives the value or the error as always. Only nodes that do
    // nothing but compute are on the lane, so asking value() after number() changes nothing.
    virtual const SqlType* laneType() const { return nullptr; }
    virtual bool number(Frame&, std::optional<Numeric>&) const { return false; }

    int line() const { return m_line; }
    int column() const { return m_column; }

private:
    int m_line, m_column;
};
using ExprNodeP = std::unique_ptr<ExprNode>;

// An operand: a held value in place, a computed one in `computed`. Only a computed value counts
// as held memory while the next operands are built, as the engine's copy of a variable shares
// its text and counts nothing.
class Operand {
public:
    Operand(const ExprNode& node, Frame& f)
        : m_value(node.held(f)) {
        if (!m_value)
            m_value = &m_computed.emplace(node.value(f));
    }
    const Value& operator*() const { return *m_value; }
    const Value* operator->() const { return m_value; }
    qint64 heldMemory() const { return m_computed ? heldBytes(*m_computed) : 0; }
    // The value to keep: a computed one moved out (the operand is then spent), a held one copied.
    Value take() {
        if (m_computed)
            return std::move(*m_computed);
        return *m_value;
    }

private:
    const Value* m_value;
    std::optional<Value> m_computed; // built only for a computed value
};

// Two operands read in their order (a binary operator's, a function's of two arguments), each
// computed one counted as held memory from when it is made until the pair goes: the first while
// the second is built, both while the operation that takes them runs.
class OperandPair {
public:
    OperandPair(const ExprNode& a, const ExprNode& b, Frame& f)
        : m_first(a, f)
        , m_second((m_held.add(m_first.heldMemory()), b), f) {
        m_held.add(m_second.heldMemory());
    }
    const Value& first() const { return *m_first; }
    const Value& second() const { return *m_second; }

private:
    MemoryCharge m_held; // first made, last released
    Operand m_first, m_second;
};

class StmtNode {
public:
    StmtNode(int line, int column)
        : m_line(line)
        , m_column(column) {}
    virtual ~StmtNode() = default;
    StmtNode(const StmtNode&) = delete;
    StmtNode& operator=(const StmtNode&) = delete;

    // Runs the statement as the executor's run() does: entered (traced, the clock looked at), and
    // a failure told the statement's place.
    Flow run(Frame& f) const;
    // Enters the statement without running it (the links of an IF ... ELSE IF chain).
    void enter(Frame& f) const;
    // A failure of this statement: placed at its line when it has no place of its own.
    void failed(SqlError& e) const;

    int line() const { return m_line; }

protected:
    virtual Flow execute(Frame& f) const = 0;

private:
    int m_line, m_column;
};
using StmtNodeP = std::unique_ptr<StmtNode>;

// What compiling collects besides the nodes: the scratch lists and key lists the program's
// runners allocate, and the first construct left to the engine.
struct CompileState {
    int scratchLists = 0;
    std::vector<KeyList> keyLists;
    QHash<QByteArray, int> lookups; // the distinct look-ups, by what they read
    std::vector<bool> named;        // declaration slots the formula names
    std::vector<bool> assigned;     // declaration slots the formula assigns
    std::vector<SqlType> types;
    int declarationLines = 0; // of the batch before the formula
    // A statement of the formula's own level that sets @@ROWCOUNT (SET, SELECT @v = ...) has been
    // compiled: what @@ROWCOUNT reads after it is the formula's. Before it, it would be what the
    // session's batch before left, which a program does not know.
    bool rowCountSet = false;
    std::optional<Fallback> fallback;

    // Notes a construct the compiled evaluator leaves to the engine (the first one is kept).
    void refuse(const QString& construct, int line, int column);
    int scratch() { return scratchLists++; }
    int keyList(bool variants, const SqlType& keyType);
};

// A constant compared with values of type `other`, converted once as compareValues would convert
// it against each of them, so that compareValues finds two values of one type and converts
// nothing: nullopt when that is not certain to give the same answer (the dominant type is not
// `other`, or the conversion fails).
std::optional<Value> comparedConstant(const Value& constant, const SqlType& other);
// `constant` converted to `type` as an assignment converts it when the program runs (the batch's
// default settings), nullopt when the conversion fails (the assignment then fails as it runs).
std::optional<Value> assignedConstant(const Value& constant, const SqlType& type);
// Whether converting `v` to `type` gives `v` as it is, so that the conversion can be left out: a
// decimal of that very type, at its scale and within its digits (what a computed decimal is).
bool unchangedBy(const Value& v, const SqlType& type);
// A decimal converted to the decimal `type` as convert() converts it when that succeeds: at the
// type's scale, within its digits; false when it does not fit (convert() raises the error then).
bool decimalOfType(const Numeric& n, const SqlType& type, std::optional<Numeric>& out);
// `v` made the decimal `n` of `type` (its NULL for nullopt) in place, as an assignment of the value
// leaves it, when it holds nothing but its scalars; false when it holds a text, a date or xml.
bool setScalarsInPlace(Value& v, const SqlType& type, const std::optional<Numeric>& n);
inline bool sameType(const SqlType& a, const SqlType& b) {
    return a.id == b.id && a.precision == b.precision && a.scale == b.scale && a.length == b.length;
}
// The same, written alike too (numeric or decimal).
inline bool identicalTypes(const SqlType& a, const SqlType& b) {
    return sameType(a, b) && a.numericName == b.numericName;
}

// Compiles a bound expression; null (with state.fallback set) when it holds a construct left to
// the engine. Recursion follows the expression's height, which the parser bounds.
ExprNodeP compileExpr(const Expr& e, CompileState& state);
// The same for a statement and what it holds.
StmtNodeP compileStmt(const Stmt& s, CompileState& state);
// A call of a function of the engine's table with its compiled arguments; null (with
// state.fallback set) for a function left to the engine.
ExprNodeP compileFunction(const Expr& e, std::vector<ExprNodeP> args, CompileState& state);
// The statements of a block.
StmtNodeP compileBlock(const std::vector<StmtP>& body, int line, int column, CompileState& state);

} // namespace tsql::compiled
