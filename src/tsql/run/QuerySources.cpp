// Sources of in-engine queries that are no table: table value constructors (VALUES ...) and
// common table expressions, recursive ones evaluated level by level up to MAXRECURSION.

#include "tsql/run/Evaluator.h"

#include "tsql/base/Messages.h"

#include "tsql/sql/StatementCache.h"

#include <sqlite3.h>

#include <algorithm>

namespace tsql {

namespace {

// Runs one member of a union chain on its own: the members after it are set aside meanwhile.
struct MemberAlone {
    Select& member;
    std::unique_ptr<Select> rest;
    explicit MemberAlone(Select& m)
        : member(m)
        , rest(std::move(m.unionNext)) {}
    ~MemberAlone() { member.unionNext = std::move(rest); }
    MemberAlone(const MemberAlone&) = delete;
    MemberAlone& operator=(const MemberAlone&) = delete;
};

} // namespace

bool Evaluator::tableExists(const TableSource& ts) const {
    const QString schema = ts.sqlSchema.isEmpty() ? QStringLiteral("main") : ts.sqlSchema;
    const auto q = m_statements.run(
        QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE")
            .arg(schema),
        {ts.realName});
    return q->state == SQLITE_ROW;
}

std::vector<std::vector<Value>> Evaluator::localRows(Select& sel, const RowCtx* ctx) {
    return query(sel, ctx, -1).rows;
}

std::vector<std::vector<Value>> Evaluator::localRows(TableSource& source, const RowCtx* ctx) {
    switch (source.kind) {
    case SourceKind::Derived:
        return query(*source.derived, ctx, -1).rows;
    case SourceKind::Values:
        return valuesRows(source, ctx);
    case SourceKind::Cte:
        return cteRows(*source.cte, ctx);
    case SourceKind::Function:
        return functionRows(source, ctx);
    default:
        return {};
    }
}

// The rows of VALUES, each value converted to its column's type.
std::vector<std::vector<Value>> Evaluator::valuesRows(TableSource& s, const RowCtx* outer) {
    std::vector<std::vector<Value>> rows;
    MemoryCharge work;
    for (auto& row : s.valueRows) {
        m_budget.tick();
        std::vector<Value> values;
        for (size_t k = 0; k < row.size(); ++k)
            values.push_back(convert(eval(*row[k], outer), s.columnTypes[k]));
        work.add(rowBytes(values));
        rows.push_back(std::move(values));
    }
    return rows;
}

// The rows of a table-valued function (STRING_SPLIT), from its arguments' values.
std::vector<std::vector<Value>> Evaluator::functionRows(TableSource& s, const RowCtx* outer) {
    MemoryCharge held;
    std::vector<Value> args;
    for (auto& a : s.functionArgs) {
        args.push_back(eval(*a, outer));
        held.add(heldBytes(args.back()));
    }
    std::vector<std::vector<Value>> rows;
    MemoryCharge work;
    for (Value& v : stringSplit(args[0], args[1], s.columnTypes[0])) {
        m_budget.tick();
        rows.push_back({std::move(v)});
        work.add(rowBytes(rows.back()));
    }
    return rows;
}

std::vector<std::vector<Value>> Evaluator::cteRows(Cte& c, const RowCtx* outer) {
    for (const auto& w : m_cteWorking)
        if (w.first == &c)
            return *w.second;
    if (!c.recursive)
        return query(*c.select, outer, -1).rows;
    return recursiveRows(c, outer);
}

// A recursive CTE ("WITH common_table_expression", recursive execution): the anchor members give
// the first rows; each recursive member then runs on the rows of the level before, until a level
// gives none. A level beyond MAXRECURSION (100 unless the statement says otherwise, 0 for no
// limit) that gives rows stops the statement with Msg 530.
std::vector<std::vector<Value>> Evaluator::recursiveRows(Cte& c, const RowCtx* outer) {
    Select* lastAnchor = c.select.get();
    while (lastAnchor->unionNext && !lastAnchor->unionNext->recursiveMember)
        lastAnchor = lastAnchor->unionNext.get();
    std::vector<std::vector<Value>> all;
    {
        MemberAlone anchors(*lastAnchor);
        all = query(*c.select, outer, -1).rows;
    }
    MemoryCharge work;
    for (const auto& r : all)
        work.add(rowBytes(r));
    std::vector<std::vector<Value>> level = all;
    for (qint64 depth = 1; !level.empty(); ++depth) {
        std::vector<std::vector<Value>> next;
        m_cteWorking.emplace_back(&c, &level);
        try {
            for (Select* m = lastAnchor->unionNext.get(); m; m = m->unionNext.get()) {
                if (!m->recursiveMember)
                    continue;
                MemberAlone alone(*m);
                for (auto& r : localQuery(*m, outer, -1).rows)
                    next.push_back(std::move(r));
            }
        } catch (...) {
            m_cteWorking.pop_back();
            throw;
        }
        m_cteWorking.pop_back();
        if (!next.empty() && c.maxRecursion > 0 && depth > c.maxRecursion)
            raise<Msg::RecursionExhausted>(c.maxRecursion);
        for (const auto& r : next) {
            m_budget.tick();
            work.add(rowBytes(r));
            all.push_back(r);
        }
        level = std::move(next);
    }
    return all;
}

} // namespace tsql
