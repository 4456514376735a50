// Conditions under SQL's three-valued logic ("NULL and UNKNOWN (Transact-SQL)"): a comparison
// with NULL is unknown, not false; NOT unknown is unknown; AND is false as soon as one side is
// false, OR true as soon as one side is true, and unknown otherwise when a side is unknown. IF,
// WHILE, WHERE, HAVING and CASE WHEN take only a true condition: unknown acts as false there, but
// NOT of it does not become true (IF NOT (NULL = 1) runs the ELSE branch).

#include "tsql/run/Evaluator.h"

#include "tsql/base/Messages.h"

#include "tsql/functions/Functions.h"

namespace tsql {

namespace {

Tri fromCompare(std::optional<int> c, const QString& op) {
    if (!c)
        return Tri::Unknown;
    int v = *c;
    bool r = false;
    if (op == u"=")
        r = v == 0;
    else if (op == u"<>" || op == u"!=")
        r = v != 0;
    else if (op == u"<" || op == u"!>")
        r = op == u"<" ? v < 0 : v <= 0;
    else if (op == u">" || op == u"!<")
        r = op == u">" ? v > 0 : v >= 0;
    else if (op == u"<=")
        r = v <= 0;
    else if (op == u">=")
        r = v >= 0;
    return r ? Tri::True : Tri::False;
}

} // namespace

Tri Evaluator::condition(Expr& e, const RowCtx* ctx) {
    switch (e.kind) {
    case EK::Compare:
        return comparison(e, ctx);
    case EK::And: {
        const Tri a = condition(*e.args[0], ctx);
        if (a == Tri::False)
            return Tri::False;
        const Tri b = condition(*e.args[1], ctx);
        if (b == Tri::False)
            return Tri::False;
        return (a == Tri::True && b == Tri::True) ? Tri::True : Tri::Unknown;
    }
    case EK::Or: {
        const Tri a = condition(*e.args[0], ctx);
        if (a == Tri::True)
            return Tri::True;
        const Tri b = condition(*e.args[1], ctx);
        if (b == Tri::True)
            return Tri::True;
        return (a == Tri::False && b == Tri::False) ? Tri::False : Tri::Unknown;
    }
    case EK::Not:
        return triNot(condition(*e.args[0], ctx));
    case EK::IsNull:
        return isNull(e, ctx);
    case EK::Between:
        return between(e, ctx);
    case EK::In:
        return inList(e, ctx);
    case EK::Like:
        return like(e, ctx);
    case EK::Exists:
        return exists(e, ctx);
    default:
        raiseAt<Msg::NonBoolean>(e.line, e.column);
    }
}

Tri Evaluator::comparison(Expr& e, const RowCtx* ctx) {
    if (!e.quantifier.isEmpty())
        return quantified(e, ctx);
    Value a = eval(*e.args[0], ctx);
    Value b = eval(*e.args[1], ctx);
    return fromCompare(compareValues(a, b), e.op);
}

Tri Evaluator::isNull(Expr& e, const RowCtx* ctx) {
    const bool null = eval(*e.args[0], ctx).null;
    return (null != e.negated) ? Tri::True : Tri::False;
}

Tri Evaluator::between(Expr& e, const RowCtx* ctx) {
    Value v = eval(*e.args[0], ctx);
    Value lo = eval(*e.args[1], ctx);
    Value hi = eval(*e.args[2], ctx);
    Tri a = fromCompare(compareValues(v, lo), QStringLiteral(">="));
    Tri b = fromCompare(compareValues(v, hi), QStringLiteral("<="));
    Tri r = (a == Tri::False || b == Tri::False) ? Tri::False
            : (a == Tri::True && b == Tri::True) ? Tri::True
                                                 : Tri::Unknown;
    return e.negated ? triNot(r) : r;
}

Tri Evaluator::inList(Expr& e, const RowCtx* ctx) {
    Value v = eval(*e.args[0], ctx);
    std::vector<Value> list;
    if (e.sub) {
        ResultSet rs = query(*e.sub, ctx, -1);
        for (auto& r : rs.rows)
            list.push_back(std::move(r[0]));
    } else {
        for (size_t k = 1; k < e.args.size(); ++k)
            list.push_back(eval(*e.args[k], ctx));
    }
    Tri r = Tri::False;
    for (const Value& x : list) {
        m_budget.tick();
        auto c = compareValues(v, x);
        if (!c)
            r = Tri::Unknown;
        else if (*c == 0) {
            r = Tri::True;
            break;
        }
    }
    return e.negated ? triNot(r) : r;
}

Tri Evaluator::like(Expr& e, const RowCtx* ctx) {
    Value v = eval(*e.args[0], ctx);
    Value p = eval(*e.args[1], ctx);
    QChar esc;
    if (e.args.size() > 2) {
        Value x = eval(*e.args[2], ctx);
        if (x.null)
            return Tri::Unknown;
        QString xs = convert(x, SqlType::varchar(-1)).s;
        if (xs.size() != 1)
            raise<Msg::InvalidEscapeCharacterSpecified>(xs);
        esc = xs[0];
    }
    if (v.null || p.null)
        return Tri::Unknown;
    QString vs = convert(v, SqlType::varchar(-1)).s;
    QString ps = convert(p, SqlType::varchar(-1)).s;
    while (vs.endsWith(u' ') && !ps.endsWith(u' '))
        vs.chop(1);
    bool m = likeMatch(vs, ps, esc);
    return (m != e.negated) ? Tri::True : Tri::False;
}

// x op ALL (query): true when every comparison is (so for no row), false when one is false,
// unknown otherwise; x op ANY (query): true when one comparison is, false when every one is
// false (or there is no row), unknown otherwise ("ALL (Transact-SQL)", "SOME | ANY").
Tri Evaluator::quantified(Expr& e, const RowCtx* ctx) {
    const Value a = eval(*e.args[0], ctx);
    const ResultSet rs = query(*e.sub, ctx, -1);
    const bool all = e.quantifier == u"ALL";
    Tri r = all ? Tri::True : Tri::False;
    for (const auto& row : rs.rows) {
        m_budget.tick();
        const Tri t = fromCompare(compareValues(a, row[0]), e.op);
        if (t == (all ? Tri::False : Tri::True))
            return t;
        if (t == Tri::Unknown)
            r = Tri::Unknown;
    }
    return r;
}

Tri Evaluator::exists(Expr& e, const RowCtx* ctx) {
    ResultSet rs = query(*e.sub, ctx, 1);
    return rs.rows.empty() ? Tri::False : Tri::True;
}

} // namespace tsql
