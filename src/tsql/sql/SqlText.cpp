#include "tsql/sql/SqlText.h"

#include "tsql/sql/SqlExpressions.h"

namespace tsql {

QString quoteIdent(const QString& name) {
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString quoteString(const QString& s) {
    QString q = s;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

QString sqlAlias(const TableSource& s) {
    if (!s.alias.isEmpty())
        return s.alias;
    if (s.kind == SourceKind::Table || s.kind == SourceKind::Cte)
        return s.nameParts.last();
    if (s.kind == SourceKind::Function)
        return s.functionName;
    return QString();
}

QString sqlTableName(const TableSource& s) {
    if (!s.sqlQuery.isEmpty())
        return u'(' + s.sqlQuery + u')';
    return s.sqlSchema.isEmpty() ? quoteIdent(s.realName) : s.sqlSchema + u'.' + quoteIdent(s.realName);
}

QVariant toParam(const Value& v) {
    if (v.null)
        return QVariant(QMetaType::fromType<QString>());
    switch (v.type.id) {
    case TypeId::Bit:
    case TypeId::TinyInt:
    case TypeId::SmallInt:
    case TypeId::Int:
    case TypeId::BigInt:
    case TypeId::Unknown:
        return QVariant(qlonglong(v.i));
    case TypeId::Decimal:
    case TypeId::Money:
    case TypeId::SmallMoney: {
        auto whole = v.n.rescaled(0);
        if (whole && whole->rescaled(v.n.scale) && whole->rescaled(v.n.scale)->v == v.n.v &&
            whole->v <= std::numeric_limits<qint64>::max() && whole->v >= std::numeric_limits<qint64>::min())
            return QVariant(qlonglong(whole->v));
        return QVariant(v.n.toDouble());
    }
    case TypeId::Float:
    case TypeId::Real:
        return QVariant(v.f);
    case TypeId::Time: // seven decimals whatever the precision: the texts sort as the times do
        return QVariant(timeText(v.i, 7));
    case TypeId::Date:
        return QVariant(v.dt->toString(QStringLiteral("yyyy-MM-dd")));
    case TypeId::DateTime:
    case TypeId::SmallDateTime:
    case TypeId::DateTime2:
        return QVariant(v.dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    default:
        // A null QString would be bound as SQL NULL: an empty literal stays an empty string.
        return QVariant(v.s.isNull() ? QStringLiteral("") : v.s);
    }
}

using sqltext::Gen;

namespace {

// The expression an ORDER BY item sorts by: an item of the select list for a position or an
// alias, the item itself otherwise.
Expr& orderKey(Select& sel, OrderItem& o) {
    Expr& e = *o.expr;
    if (e.kind == EK::Literal && e.value.type.id == TypeId::Int && e.value.i >= 1 &&
        size_t(e.value.i) <= sel.items.size())
        return *sel.items[size_t(e.value.i - 1)].expr;
    if (e.kind == EK::Column && e.depth == -1)
        return *sel.items[size_t(e.columnIndex)].expr;
    return e;
}

} // namespace

RowWindow rowWindow(ValueSource& ex, Select& sel, Select& last, const RowCtx* ctx, qint64 limit) {
    RowWindow w{limit, 0};
    auto cap = [&](qint64 n) { w.count = w.count < 0 ? n : std::min(w.count, n); };
    if (sel.top)
        cap(topCount(ex, *sel.top, ctx));
    if (last.offset) {
        ex.sqlReadsValues = true;
        const Value v = ex.eval(*last.offset, ctx);
        w.skip = v.null ? -1 : convert(v, SqlType::of(TypeId::BigInt)).i;
        if (w.skip < 0)
            raise<Msg::OffsetMayNotNegative>();
    }
    if (last.fetch) {
        ex.sqlReadsValues = true;
        const Value v = ex.eval(*last.fetch, ctx);
        const qint64 n = v.null ? 0 : convert(v, SqlType::of(TypeId::BigInt)).i;
        if (n <= 0)
            raise<Msg::FetchMustBePositive>();
        cap(n);
    }
    return w;
}

namespace {

// LIMIT and OFFSET of a window of rows ("" for all of them).
QString limitSql(const RowWindow& w) {
    if (w.skip > 0)
        return QStringLiteral(" LIMIT %1 OFFSET %2").arg(w.count).arg(w.skip);
    return w.count >= 0 ? QStringLiteral(" LIMIT %1").arg(w.count) : QString();
}

// SELECT ... HAVING ... of one query, without ORDER BY and row limits. `collateTexts`: text
// columns carry the engine's collation, for the comparisons of EXCEPT, INTERSECT and UNION.
QString queryBody(Gen& g, Select& sel, bool single, bool collateTexts, QStringList* rankKeys = nullptr) {
    if (sel.usesXml)
        raiseAt<Msg::XmlNodesSourceCombined>(sel.line, sel.column);
    QStringList items;
    for (size_t k = 0; k < sel.items.size(); ++k) {
        QString x = g.expr(*sel.items[k].expr);
        if (single && k == 0)
            x = QStringLiteral("tsql_single(%1, COUNT(*) OVER ())").arg(x);
        // The grand total of grouping sets is one row, over no row too: the query is made an
        // aggregate one even where its select list has no aggregate.
        if (g.grouping && g.active == 0 && k == 0)
            x = QStringLiteral("CASE WHEN count(*) IS NULL THEN NULL ELSE %1 END").arg(x);
        if (collateTexts && sel.items[k].expr->type.isString())
            x += QStringLiteral(" COLLATE TSQL_CI");
        items << x + QStringLiteral(" AS ") + quoteIdent(QStringLiteral("c%1").arg(k));
    }
    // TOP ... PERCENT or WITH TIES: the ORDER BY keys go with the select list, and the rows are
    // kept from outside (rankedTop).
    if (rankKeys) {
        for (size_t k = 0; k < sel.orderBy.size(); ++k) {
            Expr& key = orderKey(sel, sel.orderBy[k]);
            items << g.expr(key) + QStringLiteral(" AS ") + quoteIdent(QStringLiteral("k%1").arg(k));
            *rankKeys << quoteIdent(QStringLiteral("k%1").arg(k)) +
                             (key.type.isString() ? QStringLiteral(" COLLATE TSQL_CI") : QString()) +
                             (sel.orderBy[k].desc ? QStringLiteral(" DESC") : QString());
        }
        if (rankKeys->isEmpty()) // TOP ... PERCENT without ORDER BY: rows in no particular order
            *rankKeys << QStringLiteral("NULL");
    }
    // The members of a recursive CTE carry the level of each row: 0 in the anchor, one more than
    // the row it comes from in a recursive member, which stops beyond MAXRECURSION.
    if (sel.anchorMember)
        items << QStringLiteral("0 AS \"lvl\"");
    for (const TableSource* src : sel.flatSources)
        if (sel.recursiveMember && src->kind == SourceKind::Cte && src->cte->generating)
            items << QStringLiteral("tsql_recursion(%1.\"lvl\" + 1, %2) AS \"lvl\"")
                         .arg(quoteIdent(sqlAlias(*src)))
                         .arg(src->cte->maxRecursion);
    QString sql = QStringLiteral("SELECT ");
    if (sel.distinct && !g.grouping)
        sql += QStringLiteral("DISTINCT ");
    sql += items.join(QStringLiteral(", "));
    QStringList from;
    for (auto& f : sel.from)
        from << g.source(*f);
    if (!from.isEmpty())
        sql += QStringLiteral(" FROM ") + from.join(QStringLiteral(", "));
    if (sel.where)
        sql += QStringLiteral(" WHERE ") + g.cond(*sel.where);
    QStringList gb;
    for (size_t k = 0; k < sel.groupBy.size(); ++k) {
        if (g.grouping && !(g.active & (quint64(1) << k)))
            continue;
        Expr& x = *sel.groupBy[k];
        gb << g.expr(x) + (x.type.isString() ? QStringLiteral(" COLLATE TSQL_CI") : QString());
    }
    if (!gb.isEmpty())
        sql += QStringLiteral(" GROUP BY ") + gb.join(QStringLiteral(", "));
    if (sel.having)
        sql += QStringLiteral(" HAVING ") + g.cond(*sel.having);
    return sql;
}

// A query with ROLLUP, CUBE or GROUPING SETS: the query of each grouping set, joined by UNION
// ALL, as a query of its own (columns c0, c1, ...); DISTINCT applies to the whole.
QString groupingBody(ValueSource& ex, Select& sel, const RowCtx* ctx, QVariantList& params) {
    QStringList members;
    for (quint64 mask : sel.groupingSets) {
        Gen g{ex, ctx, {}};
        g.grouping = &sel;
        g.active = mask;
        members << queryBody(g, sel, false, false);
        params << g.params;
    }
    return QStringLiteral("SELECT %1* FROM (%2)")
        .arg(sel.distinct ? QStringLiteral("DISTINCT ") : QString(),
             members.join(QStringLiteral(" UNION ALL ")));
}

// The column of the result an ORDER BY item of a grouping-sets query names: by position, by
// alias, or as the very column of a select item; other items are refused by name.
int groupingOrderColumn(const Select& sel, const Expr& x) {
    if (x.kind == EK::Literal && x.value.type.isInteger() && !x.value.null)
        return int(x.value.i - 1);
    if (x.kind == EK::Column && x.depth == -1)
        return x.columnIndex;
    for (size_t k = 0; k < sel.items.size(); ++k) {
        const Expr& it = *sel.items[k].expr;
        if (x.kind == EK::Column && it.kind == EK::Column && x.src && it.src == x.src &&
            it.columnIndex == x.columnIndex && it.depth == x.depth)
            return int(k);
    }
    raiseAt<Msg::GroupingOrderNotSupported>(x.line, x.column);
}

// A member of a combined query with TOP of its own, which can have no ORDER BY: its first rows,
// or the share TOP ... PERCENT keeps of them.
QString topMember(ValueSource& ex, Select& m, const RowCtx* ctx, const QString& body, QVariantList& params) {
    if (m.topPercent)
        return QStringLiteral("SELECT * FROM (%1)")
            .arg(rankedTop(ex, m, ctx, body, {QStringLiteral("NULL")}, int(m.items.size()), params));
    return QStringLiteral("SELECT * FROM (%1%2)")
        .arg(body, limitSql(RowWindow{topCount(ex, *m.top, ctx), 0}));
}

QString setOperator(const Select& m) {
    switch (m.setOp) {
    case SetOp::Except:
        return QStringLiteral(" EXCEPT ");
    case SetOp::Intersect:
        return QStringLiteral(" INTERSECT ");
    case SetOp::Union:
        break;
    }
    return m.unionAll ? QStringLiteral(" UNION ALL ") : QStringLiteral(" UNION ");
}

// A query combined with UNION, EXCEPT or INTERSECT. SQLite reads its operators left to right at
// one level, the server reads INTERSECT first: a run of members joined by INTERSECT among other
// operators is written as a query of its own. A member with TOP is one too, as SQLite limits
// only the whole. The ORDER BY names the result's columns by position.
QString combinedSql(ValueSource& ex, Select& first, const RowCtx* ctx, QVariantList& params, qint64 limit) {
    std::vector<Select*> members;
    for (Select* m = &first; m; m = m->unionNext.get())
        members.push_back(m);
    bool mixed = false;
    for (const Select* m : members)
        mixed = mixed || (m->unionNext && m->setOp != SetOp::Intersect);
    QString sql;
    for (size_t k = 0; k < members.size();) {
        QString run;
        size_t end = k;
        for (;; ++end) {
            Gen g{ex, ctx, {}};
            QString body;
            if (!members[end]->ownTables) {
                // A member without tables is computed by the engine, alone, and its rows sent.
                std::unique_ptr<Select> rest = std::move(members[end]->unionNext);
                struct Restore {
                    Select& m;
                    std::unique_ptr<Select>& rest;
                    bool tables;
                    ~Restore() {
                        m.unionNext = std::move(rest);
                        m.usesTables = tables;
                    }
                } restore{*members[end], rest, std::exchange(members[end]->usesTables, false)};
                body = QStringLiteral("SELECT * FROM (%1)")
                           .arg(g.rowsText(ex.localRows(*members[end], ctx),
                                           qsizetype(members[end]->items.size())));
            } else if (!members[end]->groupingSets.empty()) {
                body = groupingBody(ex, *members[end], ctx, g.params);
            } else {
                body = queryBody(g, *members[end], false, true);
            }
            params << g.params;
            if (members[end]->top && members[end]->ownTables)
                body = topMember(ex, *members[end], ctx, body, params);
            run += body;
            if (!members[end]->unionNext || members[end]->setOp != SetOp::Intersect)
                break;
            run += setOperator(*members[end]);
        }
        if (mixed && end > k)
            run = QStringLiteral("SELECT * FROM (%1)").arg(run);
        if (k > 0)
            sql += setOperator(*members[k - 1]);
        sql += run;
        k = end + 1;
    }
    Select& last = *members.back();
    if (!last.orderBy.empty()) {
        QStringList ob;
        for (const OrderItem& o : last.orderBy)
            ob << QString::number(o.outputIndex + 1) +
                      (o.expr->type.isString() ? QStringLiteral(" COLLATE TSQL_CI") : QString()) +
                      (o.desc ? QStringLiteral(" DESC") : QString());
        sql += QStringLiteral(" ORDER BY ") + ob.join(QStringLiteral(", "));
    }
    RowWindow w{limit, 0};
    if (last.offset) {
        Select none;
        w = rowWindow(ex, none, last, ctx, limit);
    }
    return sql + limitSql(w);
}

} // namespace

// `single`: a scalar sub-query, which fails with Msg 512 when it yields more than one row.
QString selectSql(ValueSource& ex, Select& sel, const RowCtx* ctx, QVariantList& params, qint64 limit,
                  bool single) {
    // A scalar sub-query is checked row by row where it is written; one whose rows are limited,
    // made distinct or combined is checked around it.
    const bool inlineSingle =
        single && !sel.top && !sel.distinct && !sel.unionNext && !sel.offset && sel.groupingSets.empty();
    if (single && !inlineSingle) {
        QString inner = selectSql(ex, sel, ctx, params, limit, false);
        return QStringLiteral("SELECT tsql_single(\"c0\", COUNT(*) OVER ()) AS \"c0\" FROM (%1)").arg(inner);
    }
    if (sel.unionNext)
        return combinedSql(ex, sel, ctx, params, limit);
    const bool ranked = sel.top && (sel.topPercent || sel.withTies);
    if (!sel.groupingSets.empty()) {
        QString sql = groupingBody(ex, sel, ctx, params);
        QStringList ob;
        for (const OrderItem& o : sel.orderBy)
            ob << quoteIdent(QStringLiteral("c%1").arg(groupingOrderColumn(sel, *o.expr))) +
                      (o.expr->type.isString() ? QStringLiteral(" COLLATE TSQL_CI") : QString()) +
                      (o.desc ? QStringLiteral(" DESC") : QString());
        if (ranked)
            return rankedTop(ex, sel, ctx, sql, ob.isEmpty() ? QStringList{QStringLiteral("NULL")} : ob,
                             int(sel.items.size()), params) +
                   limitSql(RowWindow{limit, 0});
        if (!ob.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + ob.join(QStringLiteral(", "));
        return sql + limitSql(rowWindow(ex, sel, sel, ctx, limit));
    }
    Gen g{ex, ctx, {}};
    QStringList rankKeys;
    QString sql = queryBody(g, sel, inlineSingle, sel.distinct, ranked ? &rankKeys : nullptr);
    if (ranked) {
        params << g.params;
        return rankedTop(ex, sel, ctx, sql, rankKeys, int(sel.items.size()), params) +
               limitSql(RowWindow{limit, 0});
    }
    if (!sel.orderBy.empty()) {
        QStringList ob;
        for (auto& o : sel.orderBy) {
            QString x;
            if (o.expr->kind == EK::Literal && o.expr->value.type.id == TypeId::Int)
                x = QString::number(o.expr->value.i);
            else
                x = g.expr(*o.expr);
            if (o.expr->type.isString())
                x += QStringLiteral(" COLLATE TSQL_CI");
            ob << x + (o.desc ? QStringLiteral(" DESC") : QString());
        }
        sql += QStringLiteral(" ORDER BY ") + ob.join(QStringLiteral(", "));
    }
    sql += limitSql(rowWindow(ex, sel, sel, ctx, limit));
    params << g.params;
    return sql;
}

QString updateOrDeleteSql(ValueSource& ex, Stmt& s, QVariantList& params) {
    TableSource& t = *s.target;
    Select& sel = *s.select;
    const QString target = sqlTableName(t);
    Gen g{ex, nullptr, {}};
    QString sql;
    QString alias = t.alias.isEmpty() ? QString() : QStringLiteral(" AS ") + quoteIdent(t.alias);
    // The parts are generated in the order the text has them (SET, FROM, WHERE): each may
    // add parameters, which SQLite binds by position.
    if (s.kind == SK::Update) {
        QStringList sets;
        for (Assignment& a : s.sets) {
            if (a.slot >= 0)
                raise<Msg::AssigningVariablesUpdateNot>();
            QString col = quoteIdent(t.columns[a.columnIndex]);
            const StoreTarget column{&t, a.columnIndex, true};
            QString value;
            if (!a.value->rowDependent) {
                Value v = ex.eval(*a.value, nullptr);
                if (a.op != u"=")
                    raise<Msg::CompoundAssignmentColumnsNot>();
                value = storeCall(g.param(storeParam(v, column)), column, true);
            } else {
                value = g.expr(*a.value);
                if (a.op != u"=")
                    value = QStringLiteral("(%1 %2 %3)").arg(col, a.op.left(1), value);
                value = storeCall(value, column, false);
            }
            sets << col + QStringLiteral(" = ") + value;
        }
        QStringList fromParts;
        for (auto& f : sel.from)
            fromParts << g.source(*f);
        const QString from =
            fromParts.isEmpty() ? QString() : QStringLiteral(" FROM ") + fromParts.join(QStringLiteral(", "));
        sql =
            QStringLiteral("UPDATE %1%2 SET %3%4").arg(target, alias, sets.join(QStringLiteral(", ")), from);
    } else {
        sql = QStringLiteral("DELETE FROM %1%2").arg(target, alias);
    }
    const QString where = sel.where ? g.cond(*sel.where) : QString();
    if (s.top) {
        qint64 n = topCount(ex, *s.top, nullptr);
        sql += QStringLiteral(" WHERE rowid IN (SELECT rowid FROM %1%2%3 LIMIT %4)")
                   .arg(target, alias, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where)
                   .arg(n);
    } else if (!where.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + where;
    }
    params << g.params;
    return sql;
}

} // namespace tsql
