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
void Evaluator::project(Select& sel, RowCtx& ctx, std::vector<OutRow>& out, MemoryCharge& work) {
    m_budget.tick();
    OutRow o;
    for (SelectItem& it : sel.items)
        o.values.push_back(eval(*it.expr, &ctx));
    work.add(rowBytes(o.values));
    ctx.items = &o.values;
    for (OrderItem& ob : sel.orderBy) {
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

// UNION ALL appends the rows of the next query; UNION also removes the duplicates of the whole.
void Evaluator::appendUnion(Select& sel, const RowCtx* outer, ResultSet& rs) {
    ResultSet more = query(*sel.unionNext, outer, -1);
    for (auto& r : more.rows) {
        rs.memory.add(rowBytes(r));
        rs.rows.push_back(std::move(r));
    }
    if (sel.unionAll)
        return;
    std::vector<std::vector<Value>> unique;
    for (auto& r : rs.rows) {
        bool dup = false;
        for (const auto& u : unique) {
            m_budget.tick();
            const bool same = sameValues(r, u);
            dup = dup || same;
        }
        if (!dup)
            unique.push_back(r);
    }
    rs.rows = std::move(unique);
}

ResultSet Evaluator::localQuery(Select& sel, const RowCtx* outer, qint64 limit) {
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
            project(sel, gctx, outRows, work);
        }
    } else {
        for (RowCtx& c : combos)
            project(sel, c, outRows, work);
    }
    if (sel.distinct)
        removeDuplicates(outRows);
    if (!sel.orderBy.empty())
        sort(sel, outRows);
    qint64 n = limit;
    if (sel.top) {
        qint64 t = sel.topPercent ? topShare(*this, *sel.top, outer).rows(qint64(outRows.size()))
                                  : topCount(*this, *sel.top, outer);
        if (sel.withTies)
            t = withTies(outRows, t);
        n = n < 0 ? t : std::min(n, t);
    }
    ResultSet rs = emptyResult(sel);
    for (OutRow& o : outRows) {
        if (n >= 0 && qint64(rs.rows.size()) >= n)
            break;
        rs.memory.add(rowBytes(o.values));
        rs.rows.push_back(std::move(o.values));
    }
    if (sel.unionNext)
        appendUnion(sel, outer, rs);
    return rs;
}

} // namespace tsql
