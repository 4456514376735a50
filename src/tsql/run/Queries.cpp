// Queries: those over tables run by SQLite from generated text, the others (constants,
// variables, xml nodes() sources, derived tables of them) evaluated row by row here, with the
// clauses in the server's logical order: FROM, WHERE, GROUP BY, HAVING, SELECT, DISTINCT,
// ORDER BY, TOP, UNION.

#include "tsql/run/Evaluator.h"

#include "tsql/base/Messages.h"

#include "tsql/bind/Binder.h"
#include "tsql/sql/StatementCache.h"
#include "tsql/values/DateSettings.h"
#include "tsql/xml/Xml.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace tsql {

namespace {

// A value read from SQLite (integer, float, text or null), given the type the query says it has.
Value fromSqlite(Value raw, const SqlType& t) {
    if (raw.null)
        return Value::nullOf(t);
    if (t.id == TypeId::Unknown) {
        if (raw.type.id == TypeId::BigInt && raw.i >= std::numeric_limits<qint32>::min() &&
            raw.i <= std::numeric_limits<qint32>::max())
            raw.type = SqlType::of(TypeId::Int);
        return raw;
    }
    try {
        if (t.id == TypeId::Decimal && raw.type.id == TypeId::Float) {
            auto n = Numeric::fromDouble(raw.f, t.scale);
            if (n) {
                Value v;
                v.type = t;
                v.null = false;
                v.n = *n;
                return v;
            }
        }
        // SQLite keeps a date as the text yyyy-mm-dd hh:mi:ss.mmm, read so whatever the batch's
        // DATEFORMAT is.
        if (t.isDate() && raw.type.isString())
            return dateFromText(raw, t, DateOrder::Ymd);
        SqlType target = t;
        if (target.isString())
            target.length = -1;
        Value v = convert(raw, target, true);
        v.type = t;
        return v;
    } catch (const SqlError&) {
        return raw;
    }
}

// A row of an in-engine query takes its time and its memory: every one made is counted, so that
// a query that combines too many rows stops at the batch's limits.
qint64 ctxBytes(const RowCtx& c) {
    qint64 n = qint64(sizeof(RowCtx));
    for (const auto& r : c.rows)
        n += rowBytes(r.second);
    return n;
}

// Equal for DISTINCT, GROUP BY and UNION: NULLs are equal to one another there.
bool sameValues(const std::vector<Value>& a, const std::vector<Value>& b) {
    for (size_t j = 0; j < a.size(); ++j) {
        const Value &x = a[j], &y = b[j];
        if (x.null != y.null || (!x.null && compareValues(x, y).value_or(1) != 0))
            return false;
    }
    return true;
}

ResultSet emptyResult(const Select& sel) {
    ResultSet rs;
    for (const SelectItem& it : sel.items) {
        rs.columns << itemName(it);
        rs.types.push_back(it.expr->type);
    }
    return rs;
}

} // namespace

ResultSet Evaluator::query(Select& sel, const RowCtx* outer, qint64 limit) {
    if (sel.usesTables)
        return runSql(sel, outer, limit);
    return localQuery(sel, outer, limit);
}

void Evaluator::checkTables(const Select& sel) const {
    for (const TableSource* s : sel.flatSources)
        if (s->kind == SourceKind::Table)
            checkTable(*s);
}

void Evaluator::checkTable(const TableSource& ts) const {
    if (!ts.exists || (ts.checkExists && !tableExists(ts)))
        raiseAt<Msg::InvalidObjectName>(ts.line, ts.column, ts.nameParts.join(u'.'));
}

// ---------------- queries over tables ----------------

// The text generated for a query that reads no value of the batch (variables, outer rows) is the
// same every time the batch runs: it is kept with the compiled batch.
QString Evaluator::generatedSql(Select& sel, const RowCtx* ctx, qint64 limit, QVariantList& params) {
    GeneratedSql* kept = m_state.compiled && !ctx ? &m_state.compiled->generated : nullptr;
    const auto key = std::make_pair(static_cast<const Select*>(&sel), limit);
    const auto known = kept ? kept->find(key) : GeneratedSql::iterator();
    if (kept && known != kept->end()) {
        params = known->second.second;
        return known->second.first;
    }
    // Queries run while generating (sub-queries evaluated here) keep their own account.
    const bool outerReads = std::exchange(sqlReadsValues, false);
    QString sql = selectSql(*this, sel, ctx, params, limit);
    const bool reads = sqlReadsValues;
    sqlReadsValues = outerReads || reads;
    if (kept && !reads)
        kept->emplace(key, std::make_pair(sql, params));
    return sql;
}

ResultSet Evaluator::runSql(Select& sel, const RowCtx* ctx, qint64 limit) {
    for (const Select* s = &sel; s; s = s->unionNext.get())
        checkTables(*s);
    QVariantList params;
    const QString sql = generatedSql(sel, ctx, limit, params);
    const auto q = m_statements.run(sql, params);
    ResultSet rs = emptyResult(sel);
    int n = int(sel.items.size());
    for (; q->state == SQLITE_ROW; q->state = q->statement->step()) {
        std::vector<Value> row;
        row.reserve(size_t(n));
        rs.memory.add(rowBytes(row) + qint64(n) * qint64(sizeof(Value)));
        for (int k = 0; k < n; ++k) {
            row.push_back(fromSqlite(q->statement->column(k), rs.types[size_t(k)]));
            rs.memory.add(valueBytes(row.back()) - qint64(sizeof(Value)));
        }
        rs.rows.push_back(std::move(row));
    }
    if (q->state != SQLITE_DONE)
        m_statements.failure(*q->statement);
    if (auto pending = takePendingError())
        throw SqlError{*pending};
    return rs;
}

// ---------------- in-engine queries (no tables: constants, variables, xml) ----------------

XmlNodeRef Evaluator::contextNode(const Value& target) {
    if (target.type.id == TypeId::XmlNode)
        return *target.node;
    std::shared_ptr<const XmlDoc> doc = target.doc ? target.doc : parseXml(target.s);
    return XmlNodeRef{doc, &doc->root, -1};
}

void Evaluator::counted(MemoryCharge& work, const RowCtx& c) {
    m_budget.tick();
    work.add(ctxBytes(c));
}

// Each combination of rows so far, times the nodes the xml source selects in it.
void Evaluator::xmlRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos,
                        MemoryCharge& work) {
    std::vector<RowCtx> next;
    for (RowCtx& c : combos) {
        c.outer = outer;
        Value target = eval(*s.xmlTarget, &c);
        if (target.null)
            continue;
        for (const XmlNodeRef& n : xpathSelect(contextNode(target), s.xpath)) {
            RowCtx r = c;
            Value nv;
            nv.type = SqlType::of(TypeId::XmlNode);
            nv.null = false;
            nv.node = std::make_shared<XmlNodeRef>(n);
            r.rows.push_back({&s, {nv}});
            counted(work, r);
            next.push_back(std::move(r));
        }
    }
    combos = std::move(next);
}

// The combinations of rows of the sources of FROM, joined.
void Evaluator::sourceRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos,
                           MemoryCharge& work) {
    switch (s.kind) {
    case SourceKind::XmlNodes:
        xmlRows(s, outer, combos, work);
        break;
    case SourceKind::Derived:
    case SourceKind::Values:
    case SourceKind::Cte:
    case SourceKind::Function:
        combine(s, localRows(s, outer), combos, work);
        break;
    case SourceKind::Join:
        sourceRows(*s.left, outer, combos, work);
        if (s.joinType.endsWith(u"APPLY")) {
            applyRows(s, outer, combos, work);
            break;
        }
        if (s.joinType != u"INNER" && s.joinType != u"CROSS")
            raiseAt<Msg::OuterJoinsOverXml>(s.line, s.column);
        sourceRows(*s.right, outer, combos, work);
        if (s.on) {
            for (RowCtx& c : combos)
                c.outer = outer;
            filter(*s.on, combos);
        }
        break;
    case SourceKind::Table:
        raiseAt<Msg::TablesCombinedXmlSources>(s.line, s.column);
    }
}

// CROSS APPLY and OUTER APPLY: the right side's rows for each combination so far, with that
// combination as the outer row of its query; OUTER keeps a combination it gives no row for,
// with NULLs.
void Evaluator::applyRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos,
                          MemoryCharge& work) {
    TableSource& right = *s.right;
    if (right.kind != SourceKind::Derived && right.kind != SourceKind::Values &&
        right.kind != SourceKind::Cte) {
        sourceRows(right, outer, combos, work);
        return;
    }
    std::vector<RowCtx> next;
    for (RowCtx& c : combos) {
        c.outer = outer;
        const auto rows = localRows(right, &c);
        if (rows.empty() && s.joinType.startsWith(u"OUTER")) {
            std::vector<Value> nulls;
            for (const SqlType& t : right.columnTypes)
                nulls.push_back(Value::nullOf(t));
            RowCtx r = c;
            r.rows.push_back({&right, std::move(nulls)});
            counted(work, r);
            next.push_back(std::move(r));
        }
        for (const auto& row : rows) {
            RowCtx r = c;
            r.rows.push_back({&right, row});
            counted(work, r);
            next.push_back(std::move(r));
        }
    }
    combos = std::move(next);
}

// Each combination of rows so far, times the rows of the source `s`.
void Evaluator::combine(TableSource& s, const std::vector<std::vector<Value>>& rows,
                        std::vector<RowCtx>& combos, MemoryCharge& work) {
    std::vector<RowCtx> next;
    for (const RowCtx& c : combos)
        for (const auto& row : rows) {
            RowCtx r = c;
            r.rows.push_back({&s, row});
            counted(work, r);
            next.push_back(std::move(r));
        }
    combos = std::move(next);
}

// Keeps the combinations for which the condition is true (not false, not unknown).
void Evaluator::filter(Expr& where, std::vector<RowCtx>& combos) {
    std::vector<RowCtx> kept;
    for (RowCtx& c : combos) {
        m_budget.tick();
        if (condition(where, &c) == Tri::True)
            kept.push_back(std::move(c));
    }
    combos = std::move(kept);
}

// The groups of GROUP BY, in the order their first row came; without GROUP BY, one group of all
// the rows (an aggregate over no row still gives one).
std::vector<std::vector<RowCtx>> Evaluator::groups(Select& sel, std::vector<RowCtx>& combos,
                                                   MemoryCharge& work) {
    std::vector<std::vector<RowCtx>> result;
    if (sel.groupBy.empty()) {
        result.push_back(std::move(combos));
        return result;
    }
    std::vector<std::vector<Value>> keys;
    for (RowCtx& c : combos) {
        counted(work, c);
        std::vector<Value> k;
        for (auto& gexpr : sel.groupBy)
            k.push_back(eval(*gexpr, &c));
        size_t gi = 0;
        for (; gi < keys.size(); ++gi) {
            m_budget.tick();
            if (sameValues(k, keys[gi]))
                break;
        }
        if (gi == keys.size()) {
            keys.push_back(k);
            result.emplace_back();
        }
        result[gi].push_back(c);
    }
    return result;
}

// The select list of one row (or group), with the ORDER BY keys, which may name its items by
// position or by alias.
void Evaluator::project(Select& sel, RowCtx& ctx, std::vector<OutRow>& out, MemoryCharge& work,
                        bool ordered) {
    m_budget.tick();
    OutRow o;
    for (SelectItem& it : sel.items)
        o.values.push_back(eval(*it.expr, &ctx));
    work.add(rowBytes(o.values));
    ctx.items = &o.values;
    for (OrderItem& ob : sel.orderBy) {
        if (!ordered)
            break;
        if (ob.expr->kind == EK::Literal && ob.expr->value.type.id == TypeId::Int && ob.expr->value.i >= 1 &&
            size_t(ob.expr->value.i) <= o.values.size())
            o.keys.push_back(o.values[size_t(ob.expr->value.i - 1)]);
        else
            o.keys.push_back(eval(*ob.expr, &ctx));
    }
    ctx.items = nullptr;
    out.push_back(std::move(o));
}

void Evaluator::removeDuplicates(std::vector<OutRow>& rows) {
    std::vector<OutRow> unique;
    for (OutRow& o : rows) {
        bool dup = false;
        for (const OutRow& u : unique) {
            m_budget.tick();
            if (sameValues(o.values, u.values)) {
                dup = true;
                break;
            }
        }
        if (!dup)
            unique.push_back(std::move(o));
    }
    rows = std::move(unique);
}

namespace {

// Two ORDER BY keys compared as the sort does: NULLs first, equal to one another.
int compareKeys(const Value& x, const Value& y) {
    if (x.null || y.null)
        return x.null == y.null ? 0 : (x.null ? -1 : 1);
    return compareValues(x, y).value_or(0);
}

} // namespace

// ORDER BY: NULLs first in ascending order, as the server sorts them; equal keys keep their order.
void Evaluator::sort(const Select& sel, std::vector<OutRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [&](const OutRow& a, const OutRow& b) {
        m_budget.tick();
        for (size_t k = 0; k < sel.orderBy.size(); ++k) {
            const int c = compareKeys(a.keys[k], b.keys[k]);
            if (c != 0)
                return sel.orderBy[k].desc ? c > 0 : c < 0;
        }
        return false;
    });
}

// TOP n WITH TIES: the first n sorted rows and those after them whose ORDER BY keys equal the
// n-th row's.
qint64 Evaluator::withTies(const std::vector<OutRow>& rows, qint64 n) {
    if (n <= 0)
        return n;
    qint64 end = n;
    for (; end < qint64(rows.size()); ++end) {
        m_budget.tick();
        const OutRow &last = rows[size_t(n - 1)], &next = rows[size_t(end)];
        bool tie = true;
        for (size_t k = 0; tie && k < last.keys.size(); ++k)
            tie = compareKeys(last.keys[k], next.keys[k]) == 0;
        if (!tie)
            break;
    }
    return end;
}

// Rows that are in `rows` only once (NULLs equal to one another), in the order of their first.
void Evaluator::distinctRows(std::vector<std::vector<Value>>& rows) {
    std::vector<std::vector<Value>> unique;
    for (auto& r : rows) {
        bool dup = false;
        for (const auto& u : unique) {
            m_budget.tick();
            dup = dup || sameValues(r, u);
        }
        if (!dup)
            unique.push_back(std::move(r));
    }
    rows = std::move(unique);
}

// One operator of a combined query over the rows so far and the rows of the next operand:
// UNION ALL appends; UNION, EXCEPT and INTERSECT give distinct rows.
void Evaluator::combineRows(const Select& op, std::vector<std::vector<Value>>& rows,
                            std::vector<std::vector<Value>> next, MemoryCharge& work) {
    if (op.setOp == SetOp::Union) {
        for (auto& r : next) {
            work.add(rowBytes(r));
            rows.push_back(std::move(r));
        }
        if (!op.unionAll)
            distinctRows(rows);
        return;
    }
    distinctRows(rows);
    std::vector<std::vector<Value>> kept;
    for (auto& r : rows) {
        bool inNext = false;
        for (const auto& n : next) {
            m_budget.tick();
            inNext = inNext || sameValues(r, n);
        }
        if (inNext == (op.setOp == SetOp::Intersect))
            kept.push_back(std::move(r));
    }
    rows = std::move(kept);
}

// A query combined with UNION, EXCEPT or INTERSECT: the members run in the order of the text;
// INTERSECT is applied first, then UNION and EXCEPT from left to right. The last member's ORDER
// BY, OFFSET and FETCH order and limit the whole.
ResultSet Evaluator::combinedQuery(Select& first, const RowCtx* outer, qint64 limit) {
    MemoryCharge work;
    std::vector<Select*> members;
    for (Select* m = &first; m; m = m->unionNext.get())
        members.push_back(m);
    auto rowsOf = [&](Select& m) {
        std::unique_ptr<Select> rest = std::move(m.unionNext);
        struct Restore {
            Select& m;
            std::unique_ptr<Select>& rest;
            ~Restore() { m.unionNext = std::move(rest); }
        } restore{m, rest};
        auto rows = memberQuery(m, outer, -1, false).rows;
        for (const auto& r : rows)
            work.add(rowBytes(r));
        return rows;
    };
    // Operands of UNION and EXCEPT: runs of members joined by INTERSECT.
    std::vector<std::vector<std::vector<Value>>> operands;
    std::vector<const Select*> operators;
    operands.push_back(rowsOf(*members[0]));
    for (size_t k = 1; k < members.size(); ++k) {
        const Select& op = *members[k - 1];
        auto rows = rowsOf(*members[k]);
        if (op.setOp == SetOp::Intersect) {
            combineRows(op, operands.back(), std::move(rows), work);
        } else {
            operators.push_back(&op);
            operands.push_back(std::move(rows));
        }
    }
    std::vector<std::vector<Value>> all = std::move(operands[0]);
    for (size_t k = 0; k < operators.size(); ++k)
        combineRows(*operators[k], all, std::move(operands[k + 1]), work);
    Select& last = *members.back();
    std::vector<OutRow> out;
    for (auto& r : all) {
        OutRow o;
        for (const OrderItem& ob : last.orderBy)
            o.keys.push_back(r[size_t(ob.outputIndex)]);
        o.values = std::move(r);
        out.push_back(std::move(o));
    }
    sort(last, out);
    Select none;
    return windowed(first, out, rowWindow(*this, none, last, outer, limit));
}

// The rows of `out` the window keeps, as the result of `sel`.
ResultSet Evaluator::windowed(const Select& sel, std::vector<OutRow>& out, const RowWindow& w) {
    ResultSet rs = emptyResult(sel);
    for (size_t k = size_t(std::min<qint64>(w.skip, qint64(out.size()))); k < out.size(); ++k) {
        if (w.count >= 0 && qint64(rs.rows.size()) >= w.count)
            break;
        rs.memory.add(rowBytes(out[k].values));
        rs.rows.push_back(std::move(out[k].values));
    }
    return rs;
}

ResultSet Evaluator::localQuery(Select& sel, const RowCtx* outer, qint64 limit) {
    if (sel.unionNext)
        return combinedQuery(sel, outer, limit);
    // A later member of a combined query run alone (its rows sent to SQLite) keeps the ORDER
    // BY, OFFSET and FETCH it holds for the whole.
    return memberQuery(sel, outer, limit, !sel.laterMember);
}

// One query without tables; `whole`: it is not a member of a combined query, and its ORDER BY,
// OFFSET and FETCH are its own.
ResultSet Evaluator::memberQuery(Select& sel, const RowCtx* outer, qint64 limit, bool whole) {
    MemoryCharge work; // the rows combined on the way
    std::vector<RowCtx> combos(1);
    combos[0].outer = outer;
    for (auto& f : sel.from)
        sourceRows(*f, outer, combos, work);
    for (RowCtx& c : combos)
        c.outer = outer;
    if (sel.where)
        filter(*sel.where, combos);
    std::vector<OutRow> outRows;
    if (sel.hasAggregate) {
        for (auto& grp : groups(sel, combos, work)) {
            RowCtx gctx = grp.empty() ? RowCtx() : grp.front();
            gctx.outer = outer;
            gctx.group = &grp;
            if (sel.having && condition(*sel.having, &gctx) != Tri::True)
                continue;
            project(sel, gctx, outRows, work, whole);
        }
    } else {
        for (RowCtx& c : combos)
            project(sel, c, outRows, work, whole);
    }
    if (sel.distinct)
        removeDuplicates(outRows);
    if (whole && !sel.orderBy.empty())
        sort(sel, outRows);
    Select none;
    const bool ranked = sel.top && (sel.topPercent || sel.withTies);
    RowWindow w = rowWindow(*this, ranked ? none : sel, whole ? sel : none, outer, limit);
    if (ranked) {
        // TOP ... PERCENT keeps a share of the rows; WITH TIES also the rows that tie the last.
        qint64 t = sel.topPercent ? topShare(*this, *sel.top, outer).rows(qint64(outRows.size()))
                                  : topCount(*this, *sel.top, outer);
        if (sel.withTies)
            t = withTies(outRows, t);
        w.count = limit < 0 ? t : std::min(limit, t);
    }
    return windowed(sel, outRows, w);
}

} // namespace tsql
