// Expressions compiled into nodes: each node evaluates its operands in the engine's order and
// applies the engine's rule (arithmetic, convert, compareValues, the function table, ...).

#include "tsql/base/Messages.h"
#include "tsql/compiled/Lookups.h"
#include "tsql/compiled/ProgramNodes.h"

#include "tsql/functions/Functions.h"
#include "tsql/values/DateSettings.h"
#include "tsql/values/ValueInternal.h"

namespace tsql::compiled {

Value ExprNode::value(Frame& f) const {
    return truthValue(truth(f));
}

Tri ExprNode::truth(Frame&) const {
    raiseAt<Msg::NonBoolean>(m_line, m_column);
}

void CompileState::refuse(const QString& construct, int line, int column) {
    if (!fallback)
        fallback = Fallback{construct, line > 0 ? line - declarationLines : 0, line > 0 ? column : 0};
}

int CompileState::keyList(bool variants, const SqlType& keyType) {
    for (std::size_t k = 0; k < keyLists.size(); ++k) {
        const SqlType& t = keyLists[k].keyType;
        if (keyLists[k].variants == variants && t.id == keyType.id && t.precision == keyType.precision &&
            t.scale == keyType.scale && t.length == keyType.length)
            return int(k);
    }
    keyLists.push_back({variants, keyType});
    return int(keyLists.size() - 1);
}

// Two texts compare under the collation ignoring trailing blanks: a value of a text type `other`
// converted to the dominant text type keeps its text (the dominant type is as wide and as
// Unicode as it), and so does the constant converted to `other` when it is no longer than
// `other` and its characters are in the code page where `other` needs them. A date or time
// constant is read as the batch's default settings read it, which every run of a program has.
namespace {

// A number constant compared with decimals of type `other`: compareValues converts both to their
// dominant decimal type, where both keep their exact values unless its precision was cut to 38.
// Then the constant's exact copy in `other` (when it has one) compares with every value as the
// constant does.
std::optional<Value> exactDecimalConstant(const Value& constant, const SqlType& other) {
    if (other.id != TypeId::Decimal || !(constant.type.id == TypeId::Decimal || constant.type.isInteger()))
        return std::nullopt;
    const SqlType y = detail::decimalOf(constant.type);
    const int scale = std::max(other.scale, y.scale);
    if (std::max(other.precision - other.scale, y.precision - y.scale) + scale > 38)
        return std::nullopt;
    try {
        Value copy = convert(constant, other);
        // Exact when it converts back to the constant (a rounded copy would not).
        if (sameType(copy.type, other) && compareValues(convert(copy, constant.type), constant) == 0)
            return copy;
    } catch (const SqlError&) {
    }
    return std::nullopt;
}

} // namespace

std::optional<Value> assignedConstant(const Value& constant, const SqlType& type) {
    try {
        // A program runs every row under the batch's default date settings (it refuses the SET
        // statements that change them): a date text is read now as it would be then.
        const BatchDateSettings dates;
        return convert(constant, type);
    } catch (const SqlError&) {
        return std::nullopt;
    }
}

bool unchangedBy(const Value& v, const SqlType& type) {
    return type.id == TypeId::Decimal && !v.null && identicalTypes(v.type, type) && v.n.scale == type.scale &&
           detail::fitsPrecision(v.n, type.precision);
}

bool decimalOfType(const Numeric& n, const SqlType& type, std::optional<Numeric>& out) {
    const std::optional<Numeric> scaled = detail::atScale(n, type.scale);
    if (!scaled || !detail::fitsPrecision(*scaled, type.precision))
        return false;
    out = scaled;
    return true;
}

bool setScalarsInPlace(Value& v, const SqlType& type, const std::optional<Numeric>& n) {
    if (!v.s.isNull() || v.doc || v.node || !v.dt->isNull())
        return false;
    v.type = type;
    v.null = !n;
    v.i = 0;
    v.n = n.value_or(Numeric{});
    v.f = 0;
    return true;
}

std::optional<Value> comparedConstant(const Value& constant, const SqlType& other) {
    if (constant.null)
        return std::nullopt;
    if (std::optional<Value> exact = exactDecimalConstant(constant, other))
        return exact;
    const SqlType t = dominantType(other, constant.type);
    const bool texts = other.isString() && constant.type.isString() && t.isString();
    if (!(sameType(t, other) && (t.isInteger() || t.id == TypeId::Decimal || t.isString() || t.isDate())) &&
        !texts)
        return std::nullopt;
    if (texts && !sameType(t, other)) {
        if (other.length >= 0 && constant.s.size() > other.length)
            return std::nullopt;
        try {
            if (constant.type.isUnicode() && !other.isUnicode() && inCodePage(constant.s) != constant.s)
                return std::nullopt;
        } catch (const SqlError&) {
            return std::nullopt;
        }
    }
    std::optional<Value> c = assignedConstant(constant, other);
    if (c && sameType(c->type, other))
        return c;
    return std::nullopt;
}

namespace {

class Constant final : public ExprNode {
public:
    Constant(const Expr& e)
        : Constant(e, e.value) {}
    Constant(const Expr& e, Value v)
        : ExprNode(e.line, e.column)
        , m_value(std::move(v)) {}
    Value value(Frame&) const override { return m_value; }
    const Value* held(Frame&) const override { return &m_value; }
    const Value* constant() const override { return &m_value; }
    const SqlType* laneType() const override {
        return m_value.type.id == TypeId::Decimal ? &m_value.type : nullptr;
    }
    bool number(Frame&, std::optional<Numeric>& out) const override {
        out = m_value.null ? std::nullopt : std::optional<Numeric>(m_value.n);
        return true;
    }

private:
    Value m_value;
};

class VariableRef final : public ExprNode {
public:
    VariableRef(const Expr& e)
        : ExprNode(e.line, e.column)
        , m_slot(std::size_t(e.slot))
        , m_type(e.type) {}
    Value value(Frame& f) const override { return *f.read[m_slot]; }
    const Value* held(Frame& f) const override { return f.read[m_slot]; }
    const SqlType* laneType() const override { return m_type.id == TypeId::Decimal ? &m_type : nullptr; }
    bool number(Frame& f, std::optional<Numeric>& out) const override {
        const Value& v = *f.read[m_slot];
        if (!identicalTypes(v.type, m_type))
            return false;
        out = v.null ? std::nullopt : std::optional<Numeric>(v.n);
        return true;
    }

private:
    std::size_t m_slot;
    SqlType m_type; // the declared type, which every value of the variable has
};

class SystemVariable final : public ExprNode {
public:
    SystemVariable(const Expr& e)
        : ExprNode(e.line, e.column)
        , m_name(e.name)
        , m_type(e.type) {}
    // No transaction is ever open in a program.
    Value value(Frame& f) const override { return systemVariableValue(m_name, m_type, f.rowCount, 0); }

private:
    QString m_name;
    SqlType m_type;
};

class Unary final : public ExprNode {
public:
    enum Op { Minus, BitNot, Plus };
    Unary(const Expr& e, ExprNodeP operand)
        : ExprNode(e.line, e.column)
        , m_op(e.op == u"-"   ? Minus
               : e.op == u"~" ? BitNot
                              : Plus)
        , m_operand(std::move(operand)) {}
    Value value(Frame& f) const override {
        const Operand v(*m_operand, f);
        return m_op == Minus ? negate(*v) : m_op == BitNot ? bitNot(*v) : *v;
    }

private:
    Op m_op;
    ExprNodeP m_operand;
};

// The result type of an operator depends on its operands' types alone: it is worked out once
// for the types the operands are bound to, and used whenever their values have those types. An
// integer constant with a decimal result is converted to its decimal type (decimal(10,0) for an
// int) on every evaluation: here once instead, when that leaves the result type as it is.
class Binary final : public ExprNode {
public:
    Binary(const Expr& e, ExprNodeP a, ExprNodeP b)
        : ExprNode(e.line, e.column)
        , m_op(arithmeticOpOf(e.op))
        , m_a(std::move(a))
        , m_b(std::move(b))
        , m_typeA(e.args[0]->type)
        , m_typeB(e.args[1]->type) {
        try {
            m_result = arithmeticType(m_op, m_typeA, m_typeB);
            m_decimalA = decimalOperand(*m_a, m_typeA);
            m_decimalB = decimalOperand(*m_b, m_typeB);
            const SqlType& x = m_decimalA ? m_decimalA->type : m_typeA;
            const SqlType& y = m_decimalB ? m_decimalB->type : m_typeB;
            if (!identicalTypes(arithmeticType(m_op, x, y), *m_result)) {
                m_decimalA.reset();
                m_decimalB.reset();
            }
        } catch (const SqlError&) {
            m_result.reset();
        }
        m_lane = m_result && m_result->id == TypeId::Decimal && onLane(*m_a, m_typeA, m_decimalA) &&
                 onLane(*m_b, m_typeB, m_decimalB);
    }
    const SqlType* laneType() const override { return m_lane ? &*m_result : nullptr; }
    // The operator's arithmetic on the operands' numbers: a NULL gives NULL, as arithmetic().
    bool number(Frame& f, std::optional<Numeric>& out) const override {
        std::optional<Numeric> p, q;
        if (!m_lane || !operandNumber(*m_a, m_decimalA, f, p) || !operandNumber(*m_b, m_decimalB, f, q))
            return false;
        out = p && q ? std::optional<Numeric>(detail::decimalResult(m_op, *p, *q, *m_result)) : std::nullopt;
        return true;
    }
    Value value(Frame& f) const override {
        const OperandPair operands(*m_a, *m_b, f);
        const Value& a = operands.first();
        const Value& b = operands.second();
        if (m_result && identicalTypes(a.type, m_typeA) && identicalTypes(b.type, m_typeB))
            return arithmetic(m_op, m_decimalA ? *m_decimalA : a, m_decimalB ? *m_decimalB : b, *m_result);
        return arithmetic(m_op, a, b);
    }

private:
    // An integer constant of the bound type, converted as the operator converts it for a decimal
    // result.
    std::optional<Value> decimalOperand(const ExprNode& node, const SqlType& bound) const {
        const Value* c = node.constant();
        if (!c || c->null || !sameType(c->type, bound) || !c->type.isInteger() || c->type.id == TypeId::Bit ||
            m_result->id != TypeId::Decimal)
            return std::nullopt;
        return convert(*c, detail::decimalOf(c->type));
    }

    // An operand the lane takes: a decimal of the type it was bound to, or an integer constant
    // converted to its decimal type (value() takes the converted one for it too).
    static bool onLane(const ExprNode& node, const SqlType& bound, const std::optional<Value>& converted) {
        return converted || (node.laneType() && identicalTypes(*node.laneType(), bound));
    }
    static bool operandNumber(const ExprNode& node, const std::optional<Value>& converted, Frame& f,
                              std::optional<Numeric>& out) {
        if (converted) {
            out = converted->n;
            return true;
        }
        return node.number(f, out);
    }

    ArithmeticOp m_op;
    ExprNodeP m_a, m_b;
    SqlType m_typeA, m_typeB;
    std::optional<SqlType> m_result;
    std::optional<Value> m_decimalA, m_decimalB;
    bool m_lane = false;
};

class Cast final : public ExprNode {
public:
    Cast(const Expr& e, ExprNodeP operand, ExprNodeP second)
        : ExprNode(e.line, e.column)
        , m_type(e.castType)
        , m_try(e.tryCast)
        , m_parse(e.name == u"PARSE" || e.name == u"TRY_PARSE")
        , m_operand(std::move(operand))
        , m_second(std::move(second)) {}
    Value value(Frame& f) const override {
        MemoryCharge held;
        const Operand v(*m_operand, f);
        held.add(v.heldMemory());
        if (m_parse) {
            if (!m_second)
                return parseValue(*v, m_type, nullptr, m_try);
            const Value culture = m_second->value(f);
            return parseValue(*v, m_type, &culture, m_try);
        }
        if (!m_second)
            return castWithStyle(*v, nullptr, m_type, m_try);
        const Operand style(*m_second, f);
        return castWithStyle(*v, &*style, m_type, m_try);
    }

private:
    SqlType m_type;
    bool m_try, m_parse;
    ExprNodeP m_operand, m_second;
};

class Case final : public ExprNode {
public:
    Case(const Expr& e, ExprNodeP input, std::vector<std::pair<ExprNodeP, ExprNodeP>> branches,
         ExprNodeP otherwise)
        : ExprNode(e.line, e.column)
        , m_type(e.type)
        , m_input(std::move(input))
        , m_branches(std::move(branches))
        , m_else(std::move(otherwise)) {}
    Value value(Frame& f) const override {
        MemoryCharge held;
        std::optional<Operand> input;
        if (m_input) {
            input.emplace(*m_input, f);
            held.add(input->heldMemory());
        }
        for (const auto& [when, then] : m_branches) {
            const bool hit = input ? caseMatches(**input, *Operand(*when, f)) : when->truth(f) == Tri::True;
            if (hit)
                return convert(*Operand(*then, f), m_type);
        }
        if (m_else)
            return convert(*Operand(*m_else, f), m_type);
        return Value::nullOf(m_type);
    }

private:
    SqlType m_type;
    ExprNodeP m_input;
    std::vector<std::pair<ExprNodeP, ExprNodeP>> m_branches;
    ExprNodeP m_else;
};

// A comparison. compareValues converts both sides to their dominant type each time; when one
// side is a constant, it is converted once when compiled (comparedConstant) and used whenever
// the other side's value has its bound type.
class Comparison final : public ExprNode {
public:
    Comparison(const Expr& e, ExprNodeP a, ExprNodeP b)
        : ExprNode(e.line, e.column)
        , m_op(compareOpOf(e.op))
        , m_a(std::move(a))
        , m_b(std::move(b)) {
        for (int side = 0; side < 2 && !m_converted; ++side) {
            const Expr& constant = *e.args[std::size_t(side)];
            const SqlType& other = e.args[std::size_t(1 - side)]->type;
            if (constant.kind != EK::Literal)
                continue;
            m_converted = comparedConstant(constant.value, other);
            m_constantFirst = side == 0;
            m_otherType = other;
        }
        const ExprNode& other = m_constantFirst ? *m_b : *m_a;
        m_lane = m_converted && m_converted->type.id == TypeId::Decimal && other.laneType() &&
                 sameType(*other.laneType(), m_otherType);
    }
    Tri truth(Frame& f) const override {
        if (m_lane) {
            // compareValues of two decimals of one type: NULL is unknown, numbers of one scale
            // compare as they are.
            std::optional<Numeric> x;
            if ((m_constantFirst ? *m_b : *m_a).number(f, x)) {
                if (!x || m_converted->null)
                    return compared(std::nullopt, m_op);
                if (x->scale == m_converted->n.scale) {
                    const __int128 a = m_constantFirst ? m_converted->n.v : x->v;
                    const __int128 b = m_constantFirst ? x->v : m_converted->n.v;
                    return compared(a < b ? -1 : (a > b ? 1 : 0), m_op);
                }
            }
        }
        if (m_converted) {
            const Operand other(m_constantFirst ? *m_b : *m_a, f);
            if (sameType(other->type, m_otherType))
                return compared(m_constantFirst ? compareValues(*m_converted, *other)
                                                : compareValues(*other, *m_converted),
                                m_op);
            const Operand constant(m_constantFirst ? *m_a : *m_b, f);
            return compared(
                m_constantFirst ? compareValues(*constant, *other) : compareValues(*other, *constant), m_op);
        }
        const Operand a(*m_a, f);
        const Operand b(*m_b, f);
        return compared(compareValues(*a, *b), m_op);
    }

private:
    CompareOp m_op;
    ExprNodeP m_a, m_b;
    std::optional<Value> m_converted;
    bool m_constantFirst = false;
    SqlType m_otherType;
    bool m_lane = false; // the other side's number compared with the constant's
};

class Logic final : public ExprNode {
public:
    enum Op { And, Or, Not };
    Logic(const Expr& e, Op op, ExprNodeP a, ExprNodeP b)
        : ExprNode(e.line, e.column)
        , m_op(op)
        , m_a(std::move(a))
        , m_b(std::move(b)) {}
    Tri truth(Frame& f) const override {
        const Tri a = m_a->truth(f);
        if (m_op == Not)
            return triNot(a);
        const Tri decisive = m_op == And ? Tri::False : Tri::True;
        if (a == decisive)
            return decisive;
        const Tri b = m_b->truth(f);
        if (b == decisive)
            return decisive;
        const Tri other = m_op == And ? Tri::True : Tri::False;
        return (a == other && b == other) ? other : Tri::Unknown;
    }

private:
    Op m_op;
    ExprNodeP m_a, m_b;
};

class IsNull final : public ExprNode {
public:
    IsNull(const Expr& e, ExprNodeP operand)
        : ExprNode(e.line, e.column)
        , m_negated(e.negated)
        , m_operand(std::move(operand)) {}
    Tri truth(Frame& f) const override {
        const bool null = Operand(*m_operand, f)->null;
        return (null != m_negated) ? Tri::True : Tri::False;
    }

private:
    bool m_negated;
    ExprNodeP m_operand;
};

class Between final : public ExprNode {
public:
    Between(const Expr& e, std::vector<ExprNodeP> args)
        : ExprNode(e.line, e.column)
        , m_negated(e.negated)
        , m_args(std::move(args)) {}
    Tri truth(Frame& f) const override {
        const Operand v(*m_args[0], f);
        const Operand lo(*m_args[1], f);
        const Operand hi(*m_args[2], f);
        return betweenValues(*v, *lo, *hi, m_negated);
    }

private:
    bool m_negated;
    std::vector<ExprNodeP> m_args;
};

class InList final : public ExprNode {
public:
    InList(const Expr& e, std::vector<ExprNodeP> args, int scratch)
        : ExprNode(e.line, e.column)
        , m_negated(e.negated)
        , m_args(std::move(args))
        , m_scratch(std::size_t(scratch)) {}
    Tri truth(Frame& f) const override {
        const Operand v(*m_args[0], f);
        std::vector<Value>& list = f.scratch[m_scratch];
        list.clear();
        for (std::size_t k = 1; k < m_args.size(); ++k)
            list.push_back(m_args[k]->value(f));
        const Tri t = inValues(*v, list, m_negated, f.budget);
        list.clear();
        return t;
    }

private:
    bool m_negated;
    std::vector<ExprNodeP> m_args;
    std::size_t m_scratch;
};

class Like final : public ExprNode {
public:
    Like(const Expr& e, std::vector<ExprNodeP> args)
        : ExprNode(e.line, e.column)
        , m_negated(e.negated)
        , m_args(std::move(args)) {}
    Tri truth(Frame& f) const override {
        const Operand v(*m_args[0], f);
        const Operand p(*m_args[1], f);
        if (m_args.size() < 3)
            return likeValues(*v, *p, nullptr, m_negated);
        const Operand escape(*m_args[2], f);
        return likeValues(*v, *p, &*escape, m_negated);
    }

private:
    bool m_negated;
    std::vector<ExprNodeP> m_args;
};

// The name of the first table a query reads, for the fallback's message.
QString firstTable(const Select& sel) {
    for (const TableSource* s : sel.flatSources)
        if (s->kind == SourceKind::Table)
            return s->nameParts.join(u'.');
    return {};
}

ExprNodeP compileSubquery(const Expr& e, CompileState& state) {
    if (std::optional<LookupShape> shape = lookupShape(*e.sub)) {
        state.named[std::size_t(shape->variable)] = true;
        return makeLookup(e, *shape, state);
    }
    const QString table = firstTable(*e.sub);
    state.refuse(table.isEmpty() ? QStringLiteral("a sub-query")
                                 : QStringLiteral("a query over the table %1").arg(table),
                 e.line, e.column);
    return nullptr;
}

// An operator on two number constants ("3 + 1"), computed when compiled; nullopt when an
// operand is no number constant or the operation fails (it then fails as the program runs).
std::optional<Value> foldedNumbers(const Expr& e, const ExprNode& a, const ExprNode& b) {
    const Value* x = a.constant();
    const Value* y = b.constant();
    if (!x || !y || !x->type.isNumeric() || !y->type.isNumeric())
        return std::nullopt;
    try {
        return arithmetic(arithmeticOpOf(e.op), *x, *y);
    } catch (const SqlError&) {
        return std::nullopt;
    }
}

// The kinds compiled with their operands, each operand compiled first.
ExprNodeP compileWithOperands(const Expr& e, std::vector<ExprNodeP> args, CompileState& state) {
    switch (e.kind) {
    case EK::Unary:
        return std::make_unique<Unary>(e, std::move(args[0]));
    case EK::Binary:
        if (std::optional<Value> folded = foldedNumbers(e, *args[0], *args[1]))
            return std::make_unique<Constant>(e, std::move(*folded));
        return std::make_unique<Binary>(e, std::move(args[0]), std::move(args[1]));
    case EK::Cast:
        return std::make_unique<Cast>(e, std::move(args[0]), args.size() > 1 ? std::move(args[1]) : nullptr);
    case EK::Function:
        return compileFunction(e, std::move(args), state);
    case EK::Compare:
        return std::make_unique<Comparison>(e, std::move(args[0]), std::move(args[1]));
    case EK::And:
        return std::make_unique<Logic>(e, Logic::And, std::move(args[0]), std::move(args[1]));
    case EK::Or:
        return std::make_unique<Logic>(e, Logic::Or, std::move(args[0]), std::move(args[1]));
    case EK::Not:
        return std::make_unique<Logic>(e, Logic::Not, std::move(args[0]), nullptr);
    case EK::IsNull:
        return std::make_unique<IsNull>(e, std::move(args[0]));
    case EK::Between:
        return std::make_unique<Between>(e, std::move(args));
    case EK::In:
        return std::make_unique<InList>(e, std::move(args), state.scratch());
    case EK::Like:
        return std::make_unique<Like>(e, std::move(args));
    case EK::Case: {
        std::size_t k = 0;
        ExprNodeP input = e.hasInput ? std::move(args[k++]) : nullptr;
        const std::size_t end = args.size() - (e.hasElse ? 1 : 0);
        std::vector<std::pair<ExprNodeP, ExprNodeP>> branches;
        for (; k + 1 < end; k += 2)
            branches.emplace_back(std::move(args[k]), std::move(args[k + 1]));
        ExprNodeP otherwise = e.hasElse ? std::move(args.back()) : nullptr;
        return std::make_unique<Case>(e, std::move(input), std::move(branches), std::move(otherwise));
    }
    default:
        return nullptr;
    }
}

// Kinds a program does not evaluate, named for the fallback; empty for those it does.
QString refusedKind(const Expr& e) {
    switch (e.kind) {
    case EK::Column:
    case EK::Star:
        return QStringLiteral("a column");
    case EK::Exists:
        return QStringLiteral("EXISTS");
    case EK::XmlMethod:
        return QStringLiteral("the xml method %1()").arg(e.name);
    case EK::Window:
        return QStringLiteral("the window function %1").arg(e.name);
    case EK::In:
        return e.sub ? QStringLiteral("IN with a sub-query") : QString();
    case EK::Compare:
        return e.sub ? QStringLiteral("%1 with a sub-query").arg(e.quantifier) : QString();
    case EK::SysVar:
        // @@TRANCOUNT counts the session's transactions, which a program knows nothing of.
        return e.name == u"@@TRANCOUNT" ? e.name : QString();
    case EK::Function:
        return e.function ? QString() : e.name;
    default:
        return {};
    }
}

} // namespace

ExprNodeP compileExpr(const Expr& e, CompileState& state) {
    if (state.fallback)
        return nullptr;
    if (const QString refused = refusedKind(e); !refused.isEmpty()) {
        state.refuse(refused, e.line, e.column);
        return nullptr;
    }
    switch (e.kind) {
    case EK::Literal:
        return std::make_unique<Constant>(e);
    case EK::Variable:
        if (e.slot < 0 || std::size_t(e.slot) >= state.types.size()) {
            state.refuse(QStringLiteral("the variable %1").arg(e.name), e.line, e.column);
            return nullptr;
        }
        if (std::size_t(e.slot) < state.named.size())
            state.named[std::size_t(e.slot)] = true;
        return std::make_unique<VariableRef>(e);
    case EK::SysVar:
        if (e.name == u"@@ROWCOUNT" && !state.rowCountSet) {
            state.refuse(QStringLiteral("@@ROWCOUNT before the formula sets it"), e.line, e.column);
            return nullptr;
        }
        return std::make_unique<SystemVariable>(e);
    case EK::Subquery:
        return compileSubquery(e, state);
    default:
        break;
    }
    std::vector<ExprNodeP> args;
    args.reserve(e.args.size());
    for (const ExprP& a : e.args) {
        args.push_back(compileExpr(*a, state));
        if (!args.back())
            return nullptr;
    }
    ExprNodeP node = compileWithOperands(e, std::move(args), state);
    if (!node)
        state.refuse(QStringLiteral("the expression"), e.line, e.column);
    return node;
}

} // namespace tsql::compiled
