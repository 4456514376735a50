// Calls of the functions of the engine's table compiled into nodes: the arguments evaluated in
// their order, then the function's own evaluator. ISNULL reads its two arguments in place, and
// ROUND of a decimal gives its number on the decimal lane.

#include "tsql/compiled/ProgramNodes.h"

#include "tsql/functions/BuiltinFunctions.h"
#include "tsql/functions/Functions.h"

namespace tsql::compiled {

namespace {

// A function of evaluated arguments, gathered in a list the runner keeps from row to row.
class ScalarCall final : public ExprNode {
public:
    ScalarCall(const Expr& e, std::vector<ExprNodeP> args, int scratch)
        : ExprNode(e.line, e.column)
        , m_function(*e.function)
        , m_type(e.type)
        , m_args(std::move(args))
        , m_scratch(std::size_t(scratch)) {}
    Value value(Frame& f) const override {
        std::vector<Value>& args = f.scratch[m_scratch];
        args.clear();
        MemoryCharge held;
        for (const ExprNodeP& a : m_args) {
            args.push_back(a->value(f));
            held.add(heldBytes(args.back()));
        }
        Value result = callScalar(m_function, args, m_type);
        args.clear();
        return result;
    }

private:
    const FunctionDef& m_function;
    SqlType m_type;
    std::vector<ExprNodeP> m_args;
    std::size_t m_scratch;
};

// ISNULL(x, y): both arguments evaluated in their order, as for any function, then the first
// that is not NULL converted to the result's type as the function does; read in place rather
// than gathered in a list.
class IsNullCall final : public ExprNode {
public:
    IsNullCall(const Expr& e, std::vector<ExprNodeP> args)
        : ExprNode(e.line, e.column)
        , m_type(e.type)
        , m_first(std::move(args[0]))
        , m_second(std::move(args[1])) {
        if (const Value* c = m_second->constant())
            m_replacement = assignedConstant(*c, m_type);
        m_lane = m_type.id == TypeId::Decimal && m_replacement && m_first->laneType() &&
                 identicalTypes(*m_first->laneType(), m_type);
    }
    const SqlType* laneType() const override { return m_lane ? &m_type : nullptr; }
    // The first number converted to the result's type as value() converts it, or the replacement.
    bool number(Frame& f, std::optional<Numeric>& out) const override {
        std::optional<Numeric> first;
        if (!m_lane || !m_first->number(f, first))
            return false;
        if (!first) {
            out = m_replacement->null ? std::nullopt : std::optional<Numeric>(m_replacement->n);
            return true;
        }
        return decimalOfType(*first, m_type, out);
    }
    Value value(Frame& f) const override {
        const OperandPair operands(*m_first, *m_second, f);
        const Value& first = operands.first();
        if (!first.null)
            return unchangedBy(first, m_type) ? first : convert(first, m_type);
        return m_replacement ? *m_replacement : convert(operands.second(), m_type);
    }

private:
    SqlType m_type;
    ExprNodeP m_first, m_second;
    std::optional<Value> m_replacement; // a constant second argument, converted once
    bool m_lane = false;
};

// ROUND(x, digits) of a decimal on the lane with constant digits: its number rounded as the
// function rounds it; every other call as any function.
class RoundCall final : public ExprNode {
public:
    RoundCall(const Expr& e, ExprNodeP call, const ExprNode& argument, qint64 digits)
        : ExprNode(e.line, e.column)
        , m_type(e.type)
        , m_call(std::move(call))
        , m_argument(argument)
        , m_digits(digits) {}
    Value value(Frame& f) const override { return m_call->value(f); }
    const SqlType* laneType() const override { return &m_type; }
    bool number(Frame& f, std::optional<Numeric>& out) const override {
        std::optional<Numeric> x;
        if (!m_argument.number(f, x))
            return false;
        if (!x) {
            out = std::nullopt;
            return true;
        }
        // The argument keeps its own decimal type (converted to it, as the function converts it).
        const SqlType& own = *m_argument.laneType();
        if (!decimalOfType(*x, own, x))
            return false;
        out = builtin::roundedExact(*x, own.precision, m_digits, false, m_type);
        return true;
    }

private:
    SqlType m_type;
    ExprNodeP m_call;           // the call as any function runs it
    const ExprNode& m_argument; // its first argument, held by the call
    qint64 m_digits;
};

// IIF, CHOOSE and the ERROR_ functions read their own arguments; no CATCH block runs in a
// program, so the ERROR_ functions see no error.
class LazyCall final : public ExprNode {
public:
    LazyCall(const Expr& e, std::vector<ExprNodeP> args)
        : ExprNode(e.line, e.column)
        , m_function(*e.function)
        , m_type(e.type)
        , m_args(std::move(args)) {}
    Value value(Frame& f) const override {
        Site site(*this, f);
        return m_function.eval.lazy(m_function, site, m_type);
    }

private:
    class Site final : public CallSite {
    public:
        Site(const LazyCall& call, Frame& f)
            : m_call(call)
            , m_frame(f) {}
        std::size_t argumentCount() const override { return m_call.m_args.size(); }
        Value argument(std::size_t k) override { return m_call.m_args[k]->value(m_frame); }
        bool isTrue(std::size_t k) override { return m_call.m_args[k]->truth(m_frame) == Tri::True; }
        const ServerError* caughtError() const override { return nullptr; }

    private:
        const LazyCall& m_call;
        Frame& m_frame;
    };
    const FunctionDef& m_function;
    SqlType m_type;
    std::vector<ExprNodeP> m_args;
};

} // namespace

ExprNodeP compileFunction(const Expr& e, std::vector<ExprNodeP> args, CompileState& state) {
    const FunctionDef& f = *e.function;
    if (f.eval.fold) {
        state.refuse(QStringLiteral("the aggregate function %1").arg(e.name), e.line, e.column);
        return nullptr;
    }
    // OBJECT_ID and the other metadata functions read the database's catalogue, which a program
    // has not.
    if (readsCatalog(f)) {
        state.refuse(QStringLiteral("the function %1").arg(e.name), e.line, e.column);
        return nullptr;
    }
    if (f.eval.lazy)
        return std::make_unique<LazyCall>(e, std::move(args));
    if (f.eval.scalar == &builtin::isnull && f.nulls != Nulls::Propagate && args.size() == 2)
        return std::make_unique<IsNullCall>(e, std::move(args));
    if (f.eval.scalar == &builtin::round && args.size() == 2 && e.type.id == TypeId::Decimal &&
        args[0]->laneType() && args[1]->constant() && !args[1]->constant()->null &&
        args[1]->constant()->type.isInteger()) {
        const ExprNode& argument = *args[0];
        const qint64 digits = args[1]->constant()->i;
        return std::make_unique<RoundCall>(
            e, std::make_unique<ScalarCall>(e, std::move(args), state.scratch()), argument, digits);
    }
    return std::make_unique<ScalarCall>(e, std::move(args), state.scratch());
}

} // namespace tsql::compiled
