// Binding of statements, table sources and queries: variables declared in the batch, tables and
// columns looked up in the catalogue, the select list checked against GROUP BY.

#include "tsql/bind/BinderImpl.h"

#include "tsql/base/Messages.h"
#include "tsql/text/UpperCase.h"
#include "tsql/xml/Xml.h"

#include <QRegularExpression>

#include <utility>

namespace tsql {

namespace binding {

// Binds one statement. Deferred name resolution ("Deferred name resolution and compilation"): a
// table that does not exist stops nothing at compile time; the statement that names it keeps
// Msg 208 and raises it when it runs, so that the statements before it run first (and a CATCH
// block around it cannot catch it, see the executor). The columns of such a statement cannot be
// checked; an unknown column of a statement whose tables all exist is a compile error.
template <class F> void Binder::asStatement(Stmt& s, F&& body) {
    firstUnknownTable.reset();
    pendingColumnError.reset();
    try {
        body();
    } catch (SqlError& e) {
        if (e.error.line == 0) {
            e.error.line = s.line;
            e.error.column = s.column;
        }
        throw;
    }
    if (firstUnknownTable)
        s.deferred = firstUnknownTable;
    else if (pendingColumnError)
        throw SqlError{*pendingColumnError};
    firstUnknownTable.reset();
    pendingColumnError.reset();
}

int Binder::variable(const QString& name, int line, int column) {
    auto it = vars.constFind(upperCased(name));
    if (it == vars.constEnd())
        raiseAt<Msg::UndeclaredVariable>(line, column, name);
    return it.value();
}

void Binder::checkAssignable(const SqlType& from, const SqlType& to, int line, int column) {
    if (!implicitAllowed(from.id, to.id))
        raiseAt<Msg::OperandTypeClash>(line, column, from.name(), to.name());
}

void Binder::statement(Stmt& s) {
    s.order = ++order;
    statementKind(s);
    s.orderEnd = order;
}

void Binder::statementKind(Stmt& s) {
    switch (s.kind) {
    case SK::Declare:
        asStatement(s, [&] { declare(s); });
        break;
    case SK::Set:
        asStatement(s, [&] { setVariable(s); });
        break;
    case SK::Select:
        asStatement(s, [&] { select(*s.select, true); });
        break;
    case SK::If:
        ifChain(s);
        break;
    case SK::While:
        asStatement(s, [&] { condition(*s.expr); });
        ++loops;
        statement(*s.thenStmt);
        --loops;
        break;
    case SK::Block:
        for (auto& c : s.body)
            statement(*c);
        break;
    case SK::TryCatch:
        tryCatch(s);
        break;
    case SK::Break:
    case SK::Continue:
        if (loops == 0) {
            if (s.kind == SK::Break)
                raiseAt<Msg::BreakOutsideWhile>(s.line, s.column);
            raiseAt<Msg::ContinueOutsideWhile>(s.line, s.column);
        }
        break;
    case SK::Return:
        if (s.expr)
            raiseAt<Msg::ReturnStatementReturnStatus>(s.line, s.column);
        break;
    case SK::Print:
        asStatement(s, [&] { expr(*s.expr); });
        break;
    case SK::Label:
        label(s);
        break;
    case SK::Goto:
        gotos.push_back(JumpSite{&s, tryScopes});
        break;
    case SK::Raiserror:
    case SK::Throw:
    case SK::Exec:
    case SK::ExecString:
    case SK::ExecSql:
        errorStatement(s);
        break;
    case SK::Update:
    case SK::Delete:
    case SK::Insert:
        asStatement(s, [&] { dml(s); });
        break;
    case SK::SetOption:
        settingRules(s);
        if (s.target) // SET IDENTITY_INSERT: a table that does not exist fails when it runs
            resolveTable(*s.target, false);
        if (s.expr) // SET DATEFORMAT, LANGUAGE, DATEFIRST: a variable's value
            asStatement(s, [&] { expr(*s.expr); });
        break;
    case SK::CreateTable:
        asStatement(s, [&] { createTable(s); });
        break;
    case SK::CreateIndex:
        asStatement(s, [&] { createIndex(s); });
        break;
    default:
        break;
    }
}

// IF ... ELSE IF ...: the chain is followed in a loop, however long it is. Every link holds the
// links after it.
void Binder::ifChain(Stmt& s) {
    std::vector<Stmt*> links;
    for (Stmt* node = &s; node;) {
        links.push_back(node);
        if (node != &s)
            node->order = ++order;
        asStatement(*node, [&] { condition(*node->expr); });
        statement(*node->thenStmt);
        Stmt* next = node->elseStmt.get();
        if (next && next->kind != SK::If) {
            statement(*next);
            next = nullptr;
        }
        node = next;
    }
    for (Stmt* link : links)
        link->orderEnd = order;
}

// The TRY block and the CATCH block are scopes of their own, which no GOTO may enter from
// outside.
void Binder::tryCatch(Stmt& s) {
    tryScopes.push_back(++scopeCount);
    for (auto& c : s.body)
        statement(*c);
    tryScopes.back() = ++scopeCount;
    ++catchDepth;
    statement(*s.elseStmt);
    --catchDepth;
    tryScopes.pop_back();
}

// Label names are unique in the batch ("GOTO (Transact-SQL)").
void Binder::label(Stmt& s) {
    const QString key = s.var.toUpper();
    if (labels.contains(key))
        raiseAt<Msg::LabelAlreadyDeclaredLabel>(s.line, s.column, s.var);
    labels.insert(key, JumpSite{&s, tryScopes});
}

// Once the whole batch is read: every GOTO names a label of the batch (Msg 133), and goes
// forward, backward, into or out of blocks, but not into a TRY or CATCH block it is not in
// (Msg 1026).
void Binder::resolveJumps() {
    for (const JumpSite& g : gotos) {
        auto it = labels.constFind(g.stmt->var.toUpper());
        if (it == labels.constEnd())
            raiseAt<Msg::GotoStatementReferencesLabel>(g.stmt->line, g.stmt->column, g.stmt->var);
        const std::vector<int>& into = it->scopes;
        if (into.size() > g.scopes.size() || !std::equal(into.begin(), into.end(), g.scopes.begin()))
            raiseAt<Msg::GotoUsedJumpInto>(g.stmt->line, g.stmt->column);
        g.stmt->jumpTo = it->stmt;
    }
}

// RAISERROR, THROW and EXEC: their operands are expressions of the batch; THROW without
// operands rethrows the error a CATCH block handles, so it must be inside one (Msg 10704).
void Binder::errorStatement(Stmt& s) {
    if (s.kind == SK::Throw && s.args.empty() && catchDepth == 0)
        raiseAt<Msg::RethrowErrorThrowStatement>(s.line, s.column);
    asStatement(s, [&] {
        for (auto& a : s.args)
            expr(*a);
    });
}

// A constant row count is checked when the batch is compiled: a negative one is Msg 127, one
// that is not a whole number Msg 1060 (unless it is a PERCENT), a percentage above 100 Msg 1031.
void Binder::topCount(Expr& top, bool percent) {
    const Expr* lit = &top;
    bool negative = false;
    while (lit->kind == EK::Unary && (lit->op == u"-" || lit->op == u"+")) {
        negative = negative != (lit->op == u"-");
        lit = lit->args[0].get();
    }
    if (lit->kind != EK::Literal || lit->value.null)
        return;
    const TypeId id = lit->value.type.id;
    // A whole number beyond int is read as a numeric of scale 0.
    const bool whole = lit->value.type.isInteger() || (id == TypeId::Decimal && lit->value.type.scale == 0);
    if (!percent && !whole)
        raiseAt<Msg::NumberRowsProvidedTop>(top.line, top.column);
    const double v = convert(lit->value, SqlType::of(TypeId::Float)).f;
    if (negative && v != 0)
        raiseAt<Msg::NegativeTopCount>(top.line, top.column);
    if (percent && v > 100)
        raiseAt<Msg::PercentValuesBetween>(top.line, top.column);
}

// A variable's slot is its place in the batch: every DECLARE of the batch, run or not, declares
// its variables for the statements after it (Msg 134 for a second one of the same name).
void Binder::declare(Stmt& s) {
    for (VarDecl& d : s.decls) {
        if (d.table) {
            declareTable(d);
            continue;
        }
        if (d.init) {
            expr(*d.init);
            checkAssignable(d.init->type, d.type, d.line, d.column);
        }
        const QString key = claimName(d);
        d.slot = int(varTypes.size());
        varTypes.push_back(d.type);
        vars.insert(key, d.slot);
    }
}

void Binder::setVariable(Stmt& s) {
    s.slot = variable(s.var, s.varLine, s.varColumn);
    expr(*s.expr);
    const SqlType& vt = varTypes[size_t(s.slot)];
    if (s.op != u"=")
        arithmeticType(s.op.left(1), vt, s.expr->type);
    checkAssignable(s.expr->type, vt, s.line, s.column);
    if (s.expr->type.id == TypeId::XmlNode)
        raiseAt<Msg::ColumnReturnedFromNodes>(s.expr->line, s.expr->column, s.expr->parts.value(0));
}

void Binder::dml(Stmt& s) {
    // The CTEs of WITH ... INSERT ... SELECT are bound with its query.
    const size_t visibleCtes = ctes.size();
    if (s.select && (s.kind != SK::Insert || s.select->items.empty()))
        bindCtes(*s.select);
    bool known = resolveTable(*s.target);
    if (!s.target->sqlQuery.isEmpty()) // a catalogue view
        raiseAt<Msg::AdHocUpdatesSystemCatalogs>(s.target->line, s.target->column);
    if (s.kind == SK::Insert) {
        insert(s, known);
        ctes.resize(visibleCtes);
        return;
    }
    // UPDATE / DELETE: the target is in scope together with the FROM sources.
    Select& sel = *s.select;
    scopes.push_back(&sel);
    sel.usesTables = true;
    sel.flatSources.push_back(s.target.get());
    for (auto& f : sel.from)
        source(*f, sel);
    if (s.top) {
        expr(*s.top);
        topCount(*s.top, false);
    }
    for (Assignment& a : s.sets) {
        expr(*a.value);
        if (containsAggregate(*a.value))
            raiseAt<Msg::AggregateInUpdateSet>(a.value->line, a.value->column);
        if (!a.variable.isEmpty()) {
            a.slot = variable(a.variable, a.line, a.column_);
        } else if (known) {
            a.columnIndex = int(s.target->columns.indexOf(
                QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(a.column)),
                                   QRegularExpression::CaseInsensitiveOption)));
            if (a.columnIndex < 0)
                pendingOrFail(serverError<Msg::InvalidColumnName>(a.line, a.column_, a.column));
            else
                assignableColumn(*s.target, a);
        }
    }
    if (sel.where) {
        condition(*sel.where);
        if (containsAggregate(*sel.where))
            raiseAt<Msg::AggregateNotAppearWhere>(sel.where->line, sel.where->column);
    }
    scopes.pop_back();
    ctes.resize(visibleCtes);
}

// UPDATE ... SET column = value: a value of a type the column takes; never the identity column
// (Msg 8102).
void Binder::assignableColumn(const TableSource& t, const Assignment& a) {
    if (t.columnRules[size_t(a.columnIndex)].identity)
        raiseAt<Msg::UpdateIdentityColumn>(a.line, a.column_, t.columns[a.columnIndex]);
    checkAssignable(a.value->type, t.columnTypes[size_t(a.columnIndex)], a.line, a.column_);
}

// The values or the query of an INSERT, counted against its columns (Msg 109, 110, 120).
void Binder::insert(Stmt& s, bool known) {
    QStringList cols = s.insertColumns;
    if (known) {
        for (const QString& c : cols)
            if (!s.target->columns.contains(c, Qt::CaseInsensitive))
                pendingOrFail(serverError<Msg::InvalidColumnName>(s.line, s.column, c));
    }
    // Without a list of columns the values go to every column but the identity one.
    int expected = int(cols.size());
    if (cols.isEmpty())
        for (const ColumnRule& r : s.target->columnRules)
            expected += r.identity ? 0 : 1;
    for (auto& row : s.values) {
        for (auto& v : row)
            if (v)
                expr(*v);
        if (known && int(row.size()) != expected) {
            if (row.size() > size_t(expected))
                raiseAt<Msg::FewerColumnsThanValues>(s.line, s.column);
            raiseAt<Msg::MoreColumnsThanValues>(s.line, s.column);
        }
    }
    if (s.select && !s.select->items.empty()) {
        select(*s.select, false);
        if (known && int(s.select->items.size()) != expected)
            raiseAt<Msg::SelectListInsertStatement>(
                s.line, s.column,
                int(s.select->items.size()) > expected ? QStringLiteral("more") : QStringLiteral("fewer"));
    }
}

void Binder::pendingOrFail(const ServerError& error) {
    if (!pendingColumnError)
        pendingColumnError = error;
}

void Binder::source(TableSource& ts, Select& sel) {
    switch (ts.kind) {
    case SourceKind::Table:
        if (cteSource(ts, sel))
            break;
        if (!resolveTable(ts))
            unknownInScope = true;
        sel.usesTables = true;
        sel.flatSources.push_back(&ts);
        break;
    case SourceKind::XmlNodes: {
        expr(*ts.xmlTarget);
        if (ts.xmlTarget->type.id != TypeId::Xml && ts.xmlTarget->type.id != TypeId::Unknown)
            raiseAt<Msg::NoMethods>(ts.line, ts.column, ts.xmlTarget->type.name());
        xpathCheck(ts.xpath, ts.line, ts.column);
        ts.columns = ts.columnAliases;
        ts.columnTypes = {SqlType::of(TypeId::XmlNode)};
        sel.usesXml = true;
        sel.flatSources.push_back(&ts);
        break;
    }
    case SourceKind::Derived: {
        select(*ts.derived, false);
        outputColumns(ts.alias, ts.columnAliases, ts.derived->items, ts.columns, ts.columnTypes, ts.line,
                      ts.column);
        // Without tables or xml sources inside, it fits a query of either kind.
        if (ts.derived->usesTables)
            sel.usesTables = true;
        if (ts.derived->usesXml)
            sel.usesXml = true;
        sel.flatSources.push_back(&ts);
        break;
    }
    case SourceKind::Values:
        valuesSource(ts, sel);
        break;
    case SourceKind::Function:
        functionSource(ts, sel);
        break;
    case SourceKind::Cte:
        break;
    case SourceKind::Join:
        source(*ts.left, sel);
        source(*ts.right, sel);
        if (ts.on) {
            condition(*ts.on);
            if (containsAggregate(*ts.on))
                raiseAt<Msg::AggregateInOnClause>(ts.on->line, ts.on->column);
        }
        if (ts.joinType.endsWith(u"APPLY") && ts.right->kind == SourceKind::Derived)
            ts.right->applyCorrelated = readsOuter(*ts.right->derived, 0);
        break;
    }
}

void Binder::select(Select& sel, bool topLevel) {
    const size_t visibleCtes = ctes.size();
    bindCtes(sel);
    memberStarts(sel);
    scopes.push_back(&sel);
    bool savedUnknown = unknownInScope;
    const bool savedWindows = std::exchange(windowsAllowed, false);
    const size_t groupingMark = groupingCalls.size();
    // SQLite computes window functions and grouping sets: a query with them runs there, whatever
    // its sources.
    for (const SelectItem& it : sel.items)
        if (it.expr && containsWindow(*it.expr))
            sel.usesTables = true;
    if (!sel.groupingSets.empty())
        sel.usesTables = true;
    for (auto& f : sel.from)
        source(*f, sel);
    if (sel.top) {
        expr(*sel.top);
        topCount(*sel.top, sel.topPercent);
    }
    expandStars(sel);
    windowsAllowed = true;
    selectList(sel, topLevel);
    windowsAllowed = false;
    if (sel.where)
        condition(*sel.where);
    for (auto& g : sel.groupBy)
        expr(*g);
    if (sel.having) {
        condition(*sel.having);
        sel.hasAggregate = true;
    }
    if (!sel.groupBy.empty() || !sel.groupingSets.empty())
        sel.hasAggregate = true;
    if (sel.where && containsAggregate(*sel.where))
        raiseAt<Msg::AggregateNotAppearWhere>(sel.where->line, sel.where->column);
    // The ORDER BY of a combined query is its last member's, over the result's columns.
    const bool combined = sel.laterMember || sel.unionNext;
    if (!combined) {
        windowsAllowed = true;
        orderBy(sel);
        windowsAllowed = false;
    }
    queryRules(sel);
    offsetFetch(sel);
    groupingArguments(sel, groupingMark);
    memberBound(sel);
    sel.ownTables = sel.usesTables;
    if (sel.unionNext) {
        scopes.pop_back();
        sel.unionNext->laterMember = true;
        select(*sel.unionNext, topLevel);
        scopes.push_back(&sel);
        if (sel.unionNext->items.size() != sel.items.size())
            raiseAt<Msg::AllQueriesCombinedUsing>(sel.line, sel.column);
        sel.usesTables = sel.usesTables || sel.unionNext->usesTables;
        sel.usesXml = sel.usesXml || sel.unionNext->usesXml;
        unionRules(sel);
    }
    if (combined && !sel.laterMember)
        combinedOrderBy(sel);
    unknownInScope = savedUnknown;
    windowsAllowed = savedWindows;
    scopes.pop_back();
    ctes.resize(visibleCtes);
}

// * and t.* become the columns of the sources they name (of an unknown table, none).
void Binder::expandStars(Select& sel) {
    std::vector<SelectItem> items;
    for (SelectItem& it : sel.items) {
        if (!it.star) {
            items.push_back(std::move(it));
            continue;
        }
        bool any = false;
        if (sel.flatSources.empty())
            raiseAt<Msg::SpecifyTableSelectFrom>(it.line, it.column);
        for (TableSource* src : sel.flatSources) {
            if (!it.starQualifier.isEmpty() &&
                sourceName(*src).compare(it.starQualifier, Qt::CaseInsensitive) != 0)
                continue;
            any = true;
            if (src->kind == SourceKind::Table && !src->exists)
                continue;
            for (const QString& c : src->columns) {
                SelectItem x;
                x.line = it.line;
                x.column = it.column;
                x.expr = std::make_unique<Expr>();
                x.expr->kind = EK::Column;
                x.expr->line = it.line;
                x.expr->column = it.column;
                x.expr->parts << sourceName(*src) << c;
                items.push_back(std::move(x));
            }
        }
        if (!any)
            raiseAt<Msg::MultiPartNotBound>(it.line, it.column, it.starQualifier);
    }
    sel.items = std::move(items);
}

// The items of the select list; a SELECT either assigns variables or returns rows, and assigns
// only as a statement of its own (Msg 141).
void Binder::selectList(Select& sel, bool topLevel) {
    bool anyAssign = false, anyRetrieve = false;
    for (SelectItem& it : sel.items) {
        expr(*it.expr);
        if (it.expr->aggregate || containsAggregate(*it.expr))
            sel.hasAggregate = true;
        if (!it.assignVar.isEmpty()) {
            anyAssign = true;
            it.slot = variable(it.assignVar, it.line, it.column);
            checkAssignable(it.expr->type, varTypes[size_t(it.slot)], it.line, it.column);
        } else {
            anyRetrieve = true;
        }
    }
    if ((anyAssign && anyRetrieve) || (anyAssign && !topLevel))
        raiseAt<Msg::SelectStatementAssignsValue>(sel.line, sel.column);
    sel.assigns = anyAssign;
}

// ORDER BY may name a column alias of the select list (depth -1: the item's value).
void Binder::orderBy(Select& sel) {
    for (OrderItem& o : sel.orderBy) {
        const Expr& x = *o.expr;
        if (x.kind == EK::Literal && x.value.type.isInteger() && !x.value.null &&
            (x.value.i < 1 || x.value.i > qint64(sel.items.size())))
            raiseAt<Msg::OrderPositionNumberOut>(x.line, x.column, x.value.i);
        if (o.expr->kind == EK::Column && o.expr->parts.size() == 1) {
            bool aliasRef = false;
            for (size_t k = 0; k < sel.items.size(); ++k) {
                if (sel.items[k].hasAlias &&
                    sel.items[k].alias.compare(o.expr->parts[0], Qt::CaseInsensitive) == 0) {
                    o.expr->columnIndex = int(k);
                    o.expr->src = nullptr;
                    o.expr->type = sel.items[k].expr->type;
                    o.expr->rowDependent = sel.items[k].expr->rowDependent;
                    o.expr->depth = -1; // select-list alias
                    aliasRef = true;
                    break;
                }
            }
            if (aliasRef)
                continue;
        }
        expr(*o.expr);
    }
}

// Whether a query reads a column of the queries around it: a column `level` selects deep in it
// that goes more than `level` selects out.
bool Binder::readsOuter(const Select& sel, int level) {
    for (const Select* m = &sel; m; m = m->unionNext.get()) {
        std::vector<const Expr*> exprs;
        for (const SelectItem& it : m->items)
            exprs.push_back(it.expr.get());
        exprs.push_back(m->where.get());
        exprs.push_back(m->having.get());
        exprs.push_back(m->top.get());
        for (const auto& g : m->groupBy)
            exprs.push_back(g.get());
        for (const OrderItem& o : m->orderBy)
            exprs.push_back(o.expr.get());
        std::vector<const TableSource*> sources;
        for (const auto& f : m->from)
            sources.push_back(f.get());
        while (!sources.empty()) {
            const TableSource* s = sources.back();
            sources.pop_back();
            if (s->kind == SourceKind::Join) {
                sources.push_back(s->left.get());
                sources.push_back(s->right.get());
                exprs.push_back(s->on.get());
            } else if (s->kind == SourceKind::Derived && readsOuter(*s->derived, level + 1)) {
                return true;
            }
            for (const auto& row : s->valueRows)
                for (const auto& v : row)
                    exprs.push_back(v.get());
        }
        for (const Expr* e : exprs)
            if (e && exprReadsOuter(*e, level))
                return true;
    }
    return false;
}

bool Binder::exprReadsOuter(const Expr& e, int level) {
    if (e.kind == EK::Column && e.depth > level)
        return true;
    if (e.sub && readsOuter(*e.sub, level + 1))
        return true;
    for (const auto& a : e.args)
        if (a && exprReadsOuter(*a, level))
            return true;
    return false;
}

// The ORDER BY of a query combined with UNION, EXCEPT or INTERSECT names columns of the result:
// by position, or by the name the first query gives them (Msg 104 for anything else).
void Binder::combinedOrderBy(Select& first) {
    Select* last = &first;
    while (last->unionNext)
        last = last->unionNext.get();
    for (OrderItem& o : last->orderBy) {
        Expr& x = *o.expr;
        if (x.kind == EK::Literal && x.value.type.isInteger() && !x.value.null) {
            if (x.value.i < 1 || x.value.i > qint64(first.items.size()))
                raiseAt<Msg::OrderPositionNumberOut>(x.line, x.column, x.value.i);
            o.outputIndex = int(x.value.i - 1);
        } else if (x.kind == EK::Column) {
            for (size_t k = 0; k < first.items.size() && o.outputIndex < 0; ++k)
                if (itemName(first.items[k]).compare(x.parts.last(), Qt::CaseInsensitive) == 0)
                    o.outputIndex = int(k);
        }
        if (o.outputIndex < 0)
            raiseAt<Msg::OrderItemsMustAppear>(x.line, x.column);
        x.type = first.items[size_t(o.outputIndex)].expr->type;
        x.kind = EK::Literal; // the value is the result's column; nothing here is evaluated
        x.value = Value::nullOf(x.type);
        x.rowDependent = true;
    }
}

// GROUPING(column) and GROUPING_ID(column, ...) of this query, once its GROUP BY is bound: each
// argument is a grouping column. Without grouping sets every row groups by all of them: 0.
void Binder::groupingArguments(Select& sel, size_t mark) {
    for (size_t k = mark; k < groupingCalls.size(); ++k) {
        Expr& e = *groupingCalls[k];
        for (const auto& a : e.args) {
            int index = -1;
            for (size_t g = 0; g < sel.groupBy.size() && index < 0; ++g)
                if (a->kind == EK::Column && a->src && sel.groupBy[g]->src == a->src &&
                    sel.groupBy[g]->columnIndex == a->columnIndex)
                    index = int(g);
            if (index < 0)
                raiseAt<Msg::GroupingArgumentNotSupported>(a->line, a->column);
            e.grouping.push_back(index);
        }
        if (sel.groupingSets.empty()) {
            const SqlType type = e.type;
            e.kind = EK::Literal;
            e.value = Value::integer(0, type.id);
            e.rowDependent = false;
            e.aggregate = false;
        }
    }
    groupingCalls.resize(mark);
}

// OFFSET and FETCH take row counts of integer type that read no column: a constant OFFSET may
// not be negative (Msg 10742) and a constant FETCH must be above zero (Msg 10744). TOP and
// OFFSET exclude each other (Msg 10741).
void Binder::offsetFetch(Select& sel) {
    if (!sel.offset)
        return;
    if (sel.top)
        raiseAt<Msg::TopCannotUsedOffset>(sel.top->line, sel.top->column);
    for (Expr* e : {sel.offset.get(), sel.fetch.get()}) {
        if (!e)
            continue;
        expr(*e);
        const bool isOffset = e == sel.offset.get();
        if (!e->type.isInteger() && !(e->kind == EK::Literal && e->value.null)) {
            if (isOffset)
                raiseAt<Msg::OffsetMustBeInteger>(e->line, e->column);
            raiseAt<Msg::NumberRowsProvidedTop>(e->line, e->column);
        }
        if (e->rowDependent || e->aggregate || containsAggregate(*e))
            raiseAt<Msg::OffsetFetchNotSupported>(e->line, e->column);
        const Expr* lit = e;
        bool negative = false;
        while (lit->kind == EK::Unary && (lit->op == u"-" || lit->op == u"+")) {
            negative = negative != (lit->op == u"-");
            lit = lit->args[0].get();
        }
        if (lit->kind != EK::Literal || lit->value.null)
            continue;
        const qint64 v = negative ? -lit->value.i : lit->value.i;
        if (isOffset && v < 0)
            raiseAt<Msg::OffsetMayNotNegative>(e->line, e->column);
        if (!isOffset && v <= 0)
            raiseAt<Msg::FetchMustBePositive>(e->line, e->column);
    }
}
bool Binder::containsAggregate(const Expr& e) {
    if (e.aggregate)
        return true;
    for (const auto& a : e.args)
        if (a && containsAggregate(*a))
            return true;
    return false;
}

} // namespace binding

void bindBatch(Batch& batch, Catalog& catalog, std::vector<SqlType>& variableTypes,
               const DeclaredScope& scope) {
    variableTypes = scope.types;
    binding::Binder b(catalog, variableTypes);
    b.after(scope);
    b.batch(batch);
}

} // namespace tsql
