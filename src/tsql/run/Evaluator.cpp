// Expressions: the value of every kind of node, from the variables and the rows of the query
// being evaluated. Conditions are in Conditions.cpp, queries in Queries.cpp.

#include "tsql/run/Evaluator.h"

#include "tsql/base/Messages.h"

#include "tsql/functions/Functions.h"
#include "tsql/sql/Transactions.h"
#include "tsql/values/DateSettings.h"
#include "tsql/values/TimeOfDay.h"
#include "tsql/xml/Xml.h"

namespace tsql {

namespace {

const std::vector<Value>* findRow(const RowCtx* ctx, const TableSource* src) {
    for (const RowCtx* c = ctx; c; c = c->outer)
        for (const auto& r : c->rows)
            if (r.first == src)
                return &r.second;
    return nullptr;
}

// What IIF, CHOOSE and the ERROR_ functions see of their call.
class Call final : public CallSite {
public:
    Call(Evaluator& evaluator, Expr& e, const RowCtx* ctx, const std::optional<ServerError>& caught)
        : m_evaluator(evaluator)
        , m_e(e)
        , m_ctx(ctx)
        , m_caught(caught) {}
    std::size_t argumentCount() const override { return m_e.args.size(); }
    Value argument(std::size_t k) override { return m_evaluator.eval(*m_e.args[k], m_ctx); }
    bool isTrue(std::size_t k) override { return m_evaluator.condition(*m_e.args[k], m_ctx) == Tri::True; }
    const ServerError* caughtError() const override { return m_caught ? &*m_caught : nullptr; }

private:
    Evaluator& m_evaluator;
    Expr& m_e;
    const RowCtx* m_ctx;
    const std::optional<ServerError>& m_caught;
};

} // namespace

Value truthValue(Tri t) {
    if (t == Tri::Unknown)
        return Value::nullOf(SqlType::of(TypeId::Bit));
    return Value::boolean(t == Tri::True);
}

// A style CONVERT does not have for a conversion between a date type and a text: Msg 281 (Msg
// 9809 to date and datetime2), raised by TRY_CONVERT too ("CAST and CONVERT", date and time
// styles). Styles of other conversions are not looked at.
void checkStyle(const SqlType& from, const SqlType& to, int style) {
    // Styles that write money with commas or four decimals, floats in scientific notation, dates
    // in the Hijri calendar, or keep the blanks of an xml text: refused by name rather than
    // written as style 0 does.
    const bool money = from.id == TypeId::Money || from.id == TypeId::SmallMoney;
    const bool approximate = from.id == TypeId::Float || from.id == TypeId::Real;
    if (style != 0 &&
        ((to.isString() && (money || approximate)) || (from.isString() && to.id == TypeId::Xml)))
        raise<Msg::ConvertStyleNotSupported>(style, from.name(), to.name());
    if ((style == 130 || style == 131) &&
        ((from.isDate() && to.isString()) || (from.isString() && to.isDate())))
        raise<Msg::ConvertStyleNotSupported>(style, from.name(), to.name());
    if (from.isTime() && to.isString() && style != 8 && style != 108 && dateStyleExists(style))
        raise<Msg::ConvertStyleNotSupported>(style, from.name(), to.name());
    if (dateStyleExists(style))
        return;
    if ((from.isDate() || from.isTime()) && to.isString())
        raise<Msg::InvalidStyleToText>(style, from.name());
    if (from.isString() && (to.isNumberlessDate() || to.isTime()))
        raise<Msg::StyleNotSupportedConversions>(style, from.name(), to.name());
    if (from.isString() && to.isDate())
        raise<Msg::InvalidStyle>(style, to.name());
}

// eval and condition recurse once per level of the expression tree: each only dispatches,
// and the work on a node, with its locals, is done in a function of its own.
Value Evaluator::eval(Expr& e, const RowCtx* ctx) {
    switch (e.kind) {
    case EK::Literal:
        return e.value;
    case EK::Variable:
        return m_state.vars[size_t(e.slot)];
    case EK::SysVar:
        return systemVariable(e);
    case EK::Column:
        return columnValue(e, ctx);
    case EK::Star:
        return Value::integer(1);
    case EK::Unary:
        return unaryValue(e, ctx);
    case EK::Binary:
        return binaryValue(e, ctx);
    case EK::Cast:
        return castExpr(e, ctx);
    case EK::Function:
        return functionValue(e, ctx);
    case EK::Subquery:
        return scalarSubquery(*e.sub, ctx, e.type);
    case EK::XmlMethod:
        return xmlMethod(e, ctx);
    case EK::Case:
        return caseValue(e, ctx);
    case EK::Window: // computed by SQLite in the query's text, never here
        raiseAt<Msg::WindowOutsideQuery>(e.line, e.column);
    default:
        return truthValue(condition(e, ctx));
    }
}

// The @@ variables the engine answers as a server of its own: one connection (@@SPID 1), the
// language and first day of the week of the batch's date settings; @@ERROR and the others it does not keep
// are 0.
Value Evaluator::systemVariable(const Expr& e) {
    return systemVariableValue(e.name, e.type, m_state.rowCount, m_transactions.count());
}

Value systemVariableValue(const QString& name, const SqlType& type, qint64 rowCount, int transactions) {
    if (name == u"@@TRANCOUNT")
        return Value::integer(transactions);
    if (name == u"@@ROWCOUNT")
        return Value::integer(rowCount);
    if (name == u"@@VERSION" || name == u"@@SERVERNAME") {
        static const ServerIdentity none;
        const ServerIdentity& server = currentCatalog() ? currentCatalog()->server() : none;
        return Value::str(name == u"@@VERSION" ? versionText(server) : server.serverName, true);
    }
    if (name == u"@@SPID")
        return Value::integer(1, TypeId::SmallInt);
    if (name == u"@@DATEFIRST")
        return Value::integer(dateSettings().dateFirst, TypeId::TinyInt);
    if (name == u"@@LANGUAGE")
        return Value::str(QString::fromUtf8(dateSettings().lang().name), true);
    if (name == u"@@IDENTITY")
        return Value::nullOf(type);
    return Value::integer(0);
}

// A column of the row of its source, found in this query's row or an enclosing one (an outer
// reference); depth -1 is an ORDER BY naming an item of the select list by its alias.
Value Evaluator::columnValue(const Expr& e, const RowCtx* ctx) {
    if (e.depth == -1 && ctx) {
        for (const RowCtx* c = ctx; c; c = c->outer)
            if (c->items)
                return (*c->items)[size_t(e.columnIndex)];
    }
    const std::vector<Value>* row = e.src ? findRow(ctx, e.src) : nullptr;
    if (!row)
        raiseAt<Msg::InvalidColumnName>(e.line, e.column, e.parts.last());
    return (*row)[size_t(e.columnIndex)];
}

Value Evaluator::unaryValue(Expr& e, const RowCtx* ctx) {
    Value v = eval(*e.args[0], ctx);
    if (e.op == u"-")
        return negate(v);
    if (e.op == u"~")
        return bitNot(v);
    return v;
}

// The operands, and a function's arguments, are counted against the batch's memory while the
// result is built from them.
Value Evaluator::binaryValue(Expr& e, const RowCtx* ctx) {
    MemoryCharge held;
    Value a = eval(*e.args[0], ctx);
    held.add(heldBytes(a));
    Value b = eval(*e.args[1], ctx);
    held.add(heldBytes(b));
    return arithmetic(e.op, a, b);
}

// TRY_CAST and TRY_CONVERT give NULL where CAST and CONVERT fail on the value ("TRY_CAST
// (Transact-SQL)"); a conversion that exists for no value was refused when the batch was bound,
// and a style that does not exist fails both. A NULL style gives NULL ("TRY_CONVERT").
Value Evaluator::castExpr(Expr& e, const RowCtx* ctx) {
    MemoryCharge held;
    Value v = eval(*e.args[0], ctx);
    held.add(heldBytes(v));
    if (e.name == u"PARSE" || e.name == u"TRY_PARSE") {
        const Value culture = e.args.size() > 1 ? eval(*e.args[1], ctx) : Value();
        return parseValue(v, e.castType, e.args.size() > 1 ? &culture : nullptr, e.tryCast);
    }
    if (e.args.size() > 1) {
        const Value style = eval(*e.args[1], ctx);
        return castWithStyle(v, &style, e.castType, e.tryCast);
    }
    return castWithStyle(v, nullptr, e.castType, e.tryCast);
}

Value castWithStyle(const Value& v, const Value* styleValue, const SqlType& to, bool tryCast) {
    int style = -1;
    if (styleValue) {
        if (styleValue->null)
            return Value::nullOf(to);
        style = int(convert(*styleValue, SqlType::of(TypeId::Int)).i);
        checkStyle(v.type, to, style);
    }
    if (tryCast) {
        try {
            return castValue(to, v, style);
        } catch (const SqlError&) {
            return Value::nullOf(to);
        }
    }
    return castValue(to, v, style);
}

// CONVERT with a style writes a date in the style's format, and reads a text in the order of
// day, month and year the style fixes; any other case converts as CAST does.
Value castValue(const SqlType& t, const Value& v, int style) {
    if (style >= 0 && !v.null && v.type.isDate() && t.isString()) {
        const QString f = formatDate(v, style);
        if (!f.isNull())
            return convert(Value::str(f), t, true);
    }
    if (style >= 0 && !v.null && v.type.isTime() && t.isString())
        return convert(Value::str(formatTime(v, style)), t, true);
    if (style >= 0 && !v.null && v.type.isString() && t.isDate())
        if (const auto order = styleOrder(style))
            return dateFromText(v, t, order);
    if (style >= 0 && !v.null && v.type.isString() && t.isTime())
        return timeFromText(v, t, styleOrder(style));
    return convert(v, t, true);
}

Value Evaluator::functionValue(Expr& e, const RowCtx* ctx) {
    const FunctionDef& f = *e.function;
    if (f.eval.fold)
        return aggregate(e, ctx);
    if (f.eval.lazy) {
        Call call(*this, e, ctx, m_state.caught);
        return f.eval.lazy(f, call, e.type);
    }
    std::vector<Value> args;
    args.reserve(e.args.size());
    MemoryCharge held;
    for (auto& a : e.args) {
        args.push_back(eval(*a, ctx));
        held.add(heldBytes(args.back()));
    }
    return callScalar(f, args, e.type);
}

// An aggregate over the rows of the current group (all the rows of the query without GROUP BY,
// the current row outside an aggregate query): NULLs are left out, COUNT(*) counts rows, and
// DISTINCT keeps one of the values that compare equal under the collation.
Value Evaluator::aggregate(Expr& e, const RowCtx* ctx) {
    const std::vector<RowCtx>* group = nullptr;
    for (const RowCtx* c = ctx; c && !group; c = c->outer)
        group = c->group;
    std::vector<RowCtx> single;
    if (!group) {
        single.push_back(ctx ? *ctx : RowCtx());
        group = &single;
    }
    if (e.function->sql == SqlForm::Ordered)
        return orderedAggregate(e, ctx, *group);
    bool star = e.args[0]->kind == EK::Star;
    std::vector<Value> vals;
    MemoryCharge held;
    for (const RowCtx& r : *group) {
        m_budget.tick();
        if (star) {
            vals.push_back(Value::integer(1));
            continue;
        }
        Value v = eval(*e.args[0], &r);
        if (v.null)
            continue;
        if (e.distinct) {
            bool dup = false;
            for (const Value& x : vals) {
                m_budget.tick();
                dup = dup || compareValues(x, v).value_or(1) == 0;
            }
            if (dup)
                continue;
        }
        held.add(valueBytes(v));
        vals.push_back(v);
    }
    return e.function->eval.fold(*e.function, vals, e.type);
}

// STRING_AGG: each value of the group that is not NULL with its WITHIN GROUP keys; the separator
// is read once.
Value Evaluator::orderedAggregate(Expr& e, const RowCtx* ctx, const std::vector<RowCtx>& group) {
    std::vector<KeyedValue> rows;
    MemoryCharge held;
    for (const RowCtx& r : group) {
        m_budget.tick();
        Value v = eval(*e.args[0], &r);
        if (v.null)
            continue;
        KeyedValue kv{std::move(v), {}};
        for (std::size_t k = 2; k < e.args.size(); ++k)
            kv.keys.push_back(eval(*e.args[k], &r));
        held.add(valueBytes(kv.value) + rowBytes(kv.keys));
        rows.push_back(std::move(kv));
    }
    const Value separator = eval(*e.args[1], group.empty() ? ctx : &group.front());
    return stringAggregate(rows, separator, e.orderDesc, e.type);
}

// CASE takes the first WHEN that is true (a simple CASE compares under the collation, and a NULL
// input matches no WHEN), and converts its value to the type of the whole expression.
Value Evaluator::caseValue(Expr& e, const RowCtx* ctx) {
    size_t k = 0;
    Value input;
    MemoryCharge held;
    if (e.hasInput) {
        input = eval(*e.args[0], ctx);
        held.add(heldBytes(input));
        k = 1;
    }
    size_t end = e.args.size() - (e.hasElse ? 1 : 0);
    for (; k < end; k += 2) {
        bool hit;
        if (e.hasInput)
            hit = compareValues(input, eval(*e.args[k], ctx)).value_or(1) == 0;
        else
            hit = condition(*e.args[k], ctx) == Tri::True;
        if (hit)
            return convert(eval(*e.args[k + 1], ctx), e.type);
    }
    if (e.hasElse)
        return convert(eval(*e.args.back(), ctx), e.type);
    return Value::nullOf(e.type);
}

// A sub-query used as a value: NULL without a row, Msg 512 with more than one.
Value Evaluator::scalarSubquery(Select& sub, const RowCtx* ctx, const SqlType& type) {
    ResultSet rs = query(sub, ctx, 2);
    if (rs.rows.size() > 1)
        raise<Msg::SubqueryMultipleValues>();
    if (rs.rows.empty())
        return Value::nullOf(type);
    return rs.rows[0][0];
}

// value(), exist() and query() of an xml variable, column or nodes() row.
Value Evaluator::xmlMethod(Expr& e, const RowCtx* ctx) {
    MemoryCharge held;
    Value target = eval(*e.args[0], ctx);
    held.add(heldBytes(target));
    if (target.null)
        return Value::nullOf(e.type);
    std::vector<XmlNodeRef> found = xpathSelect(contextNode(target), e.args[1]->value.s);
    if (e.name == u"exist")
        return Value::boolean(!found.empty());
    if (e.name == u"query") {
        QString s;
        for (const XmlNodeRef& n : found) {
            s += xmlSerialize(n);
            checkStringSize(s.size(), SqlType::varchar(-1));
        }
        Value v = Value::str(s);
        v.type = SqlType::of(TypeId::Xml);
        return v;
    }
    if (found.empty())
        return Value::nullOf(e.type);
    Value text = Value::str(xmlStringValue(found[0]), true);
    return convert(text, e.type, true);
}

} // namespace tsql
