// Conditions under SQL's three-valued logic ("NULL and UNKNOWN (Transact-SQL)"): a comparison
// with NULL is unknown, not false; NOT unknown is unknown; AND is false as soon as one side is
// false, OR true as soon as one side is true, and unknown otherwise when a side is unknown. IF,
// WHILE, WHERE, HAVING and CASE WHEN take only a true condition: unknown acts as false there, but
// NOT of it does not become true (IF NOT (NULL = 1) runs the ELSE branch).

#include "tsql/run/Evaluator.h"

#include "tsql/base/Messages.h"

#include "tsql/functions/Functions.h"

namespace tsql {

CompareOp compareOpOf(const QString& op) {
    if (op == u"=")
        return CompareOp::Equal;
    if (op == u"<>" || op == u"!=")
        return CompareOp::NotEqual;
    if (op == u"<")
        return CompareOp::Less;
    if (op == u"!>" || op == u"<=")
        return CompareOp::LessEqual;
    if (op == u">")
        return CompareOp::Greater;
    return CompareOp::GreaterEqual; // >= and !<
}

Tri compared(std::optional<int> c, CompareOp op) {
    if (!c)
        return Tri::Unknown;
    const int v = *c;
    bool r = false;
    switch (op) {
    case CompareOp::Equal:
        r = v == 0;
        break;
    case CompareOp::NotEqual:
        r = v != 0;
        break;
    case CompareOp::Less:
        r = v < 0;
        break;
    case CompareOp::LessEqual:
        r = v <= 0;
        break;
    case CompareOp::Greater:
        r = v > 0;
        break;
    case CompareOp::GreaterEqual:
        r = v >= 0;
        break;
    }
    return r ? Tri::True : Tri::False;
}

namespace {

Tri fromCompare(std::optional<int> c, const QString& op) {
    return compared(c, compareOpOf(op));
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
    return betweenValues(v, lo, hi, e.negated);
}

Tri betweenValues(const Value& v, const Value& lo, const Value& hi, bool negated) {
    Tri a = compared(compareValues(v, lo), CompareOp::GreaterEqual);
    Tri b = compared(compareValues(v, hi), CompareOp::LessEqual);
    Tri r = (a == Tri::False || b == Tri::False) ? Tri::False
            : (a == Tri::True && b == Tri::True) ? Tri::True
                                                 : Tri::Unknown;
    return negated ? triNot(r) : r;
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
    return inValues(v, list, e.negated, m_budget);
}

Tri inValues(const Value& v, const std::vector<Value>& list, bool negated, BatchBudget& budget) {
    Tri r = Tri::False;
    for (const Value& x : list) {
        budget.tick();
        auto c = compareValues(v, x);
        if (!c)
            r = Tri::Unknown;
        else if (*c == 0) {
            r = Tri::True;
            break;
        }
    }
    return negated ? triNot(r) : r;
}

Tri Evaluator::like(Expr& e, const RowCtx* ctx) {
    Value v = eval(*e.args[0], ctx);
    Value p = eval(*e.args[1], ctx);
    if (e.args.size() > 2) {
        const Value x = eval(*e.args[2], ctx);
        return likeValues(v, p, &x, e.negated);
    }
    return likeValues(v, p, nullptr, e.negated);
}

Tri likeValues(const Value& v, const Value& p, const Value* escape, bool negated) {
    QChar esc;
    if (escape) {
        if (escape->null)
            return Tri::Unknown;
        QString xs = convert(*escape, SqlType::varchar(-1)).s;
        if (xs.size() != 1)
            raise<Msg::InvalidEscapeCharacterSpecified>(xs);
        esc = xs[0];
    }
    if (v.null || p.null)
        return Tri::Unknown;
    // A char or varchar is its text in varchar(max): only the other types are converted.
    const auto text = [](const Value& x) {
        return x.type.id == TypeId::Char || x.type.id == TypeId::VarChar ? x.s
                                                                         : convert(x, SqlType::varchar(-1)).s;
    };
    QString vs = text(v);
    const QString ps = text(p);
    if (!ps.endsWith(u' ')) {
        qsizetype end = vs.size();
        while (end > 0 && vs.at(end - 1) == u' ')
            --end;
        vs.truncate(end);
    }
    bool m = likeMatch(vs, ps, esc);
    return (m != negated) ? Tri::True : Tri::False;
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
