// The rules the server checks on a bound query and on a bound call, beyond names and types: the
// select list, HAVING and ORDER BY of a grouped query hold only grouped expressions and
// aggregates (Msg 8120, 8121, 8127); a GROUP BY expression reads a column of its own query and
// holds no aggregate or sub-query (164, 144); ORDER BY of SELECT DISTINCT names items of the
// select list (145); a FROM clause exposes each name once (1011, 1013); TOP ... WITH TIES has an
// ORDER BY of its own (1062); an aggregate takes no aggregate or sub-query (130), SUM and AVG no
// NULL constant (8117); SUBSTRING reads a text (8116); a date has no time parts (9810).

#include "tsql/bind/BinderImpl.h"

#include "tsql/base/Messages.h"

namespace tsql::binding {

namespace {

bool isNullConstant(const Expr& e) {
    return e.kind == EK::Literal && e.value.null;
}

bool sameType(const SqlType& a, const SqlType& b) {
    return a.id == b.id && a.length == b.length && a.precision == b.precision && a.scale == b.scale;
}

// The same expression written twice, as GROUP BY matches the select list against its own list:
// the same operators, names, constants and columns (a column by the source it was bound to).
// Sub-queries match nothing.
bool sameExpr(const Expr& a, const Expr& b) {
    if (a.kind != b.kind || a.sub || b.sub || a.args.size() != b.args.size() || a.negated != b.negated ||
        a.distinct != b.distinct || a.hasInput != b.hasInput || a.hasElse != b.hasElse ||
        a.tryCast != b.tryCast || a.op.compare(b.op, Qt::CaseInsensitive) != 0 ||
        a.name.compare(b.name, Qt::CaseInsensitive) != 0)
        return false;
    switch (a.kind) {
    case EK::Literal:
        if (a.value.null || b.value.null)
            return a.value.null == b.value.null;
        if (a.datepartArg || b.datepartArg)
            return a.value.s.compare(b.value.s, Qt::CaseInsensitive) == 0;
        return a.value.type.id == b.value.type.id && toText(a.value) == toText(b.value);
    case EK::Column:
        if (a.src || b.src)
            return a.src == b.src && a.columnIndex == b.columnIndex && a.depth == b.depth;
        return a.depth == b.depth && a.parts.join(u'.').compare(b.parts.join(u'.'), Qt::CaseInsensitive) == 0;
    case EK::Cast:
        if (!sameType(a.castType, b.castType))
            return false;
        break;
    default:
        break;
    }
    for (size_t k = 0; k < a.args.size(); ++k) {
        if (!a.args[k] || !b.args[k]) {
            if (a.args[k] || b.args[k])
                return false;
            continue;
        }
        if (!sameExpr(*a.args[k], *b.args[k]))
            return false;
    }
    return true;
}

bool hasSubquery(const Expr& e) {
    return e.sub != nullptr;
}

bool containsAggregateOrSubquery(const Expr& e) {
    if (e.aggregate || hasSubquery(e))
        return true;
    for (const auto& a : e.args)
        if (a && containsAggregateOrSubquery(*a))
            return true;
    return false;
}

// A column of the query's own sources somewhere in the expression (a column of a table that
// does not exist counts: its statement fails when it runs).
bool readsOwnColumn(const Expr& e) {
    if (e.kind == EK::Column && e.depth == 0)
        return true;
    for (const auto& a : e.args)
        if (a && readsOwnColumn(*a))
            return true;
    return false;
}

// Where an ungrouped column stands, as the server's message names the clause.
enum class Clause { SelectList, Having, OrderBy };

// The table part of a column as the messages name it: its alias, or its table's name.
QString columnOwner(const TableSource& src) {
    if (src.alias.isEmpty() && src.kind == SourceKind::Table)
        return src.nameParts.last();
    return sourceName(src);
}

[[noreturn]] void ungrouped(const Expr& e, Clause clause) {
    const QString table = columnOwner(*e.src);
    const QString column = e.src->columns.value(e.columnIndex);
    switch (clause) {
    case Clause::SelectList:
        raiseAt<Msg::ColumnInvalidSelectList>(e.line, e.column, table, column);
    case Clause::Having:
        raiseAt<Msg::ColumnInvalidHaving>(e.line, e.column, table, column);
    case Clause::OrderBy:
        raiseAt<Msg::ColumnInvalidOrderBy>(e.line, e.column, table, column);
    }
    Q_UNREACHABLE();
}

class GroupedCheck {
public:
    GroupedCheck(const Select& sel, Clause clause)
        : m_sel(sel)
        , m_clause(clause) {}

    // Outside an aggregate, every column of the query's own sources is one of the GROUP BY
    // list, or inside an expression the list holds as written.
    void expr(const Expr& e) const {
        if (e.aggregate || grouped(e))
            return;
        if (e.kind == EK::Column && e.depth == 0 && e.src)
            ungrouped(e, m_clause);
        for (const auto& a : e.args)
            if (a)
                expr(*a);
        if (e.sub)
            subquery(*e.sub, 1);
    }

private:
    const Select& m_sel;
    Clause m_clause;

    bool grouped(const Expr& e) const {
        for (const auto& g : m_sel.groupBy)
            if (sameExpr(*g, e))
                return true;
        return false;
    }

    // A sub-query reads the grouped query's columns as outer references (`level` queries out):
    // those too are grouped ones.
    void subquery(const Select& sub, int level) const {
        for (const Select* s = &sub; s; s = s->unionNext.get()) {
            for (const SelectItem& it : s->items)
                outer(*it.expr, level);
            if (s->where)
                outer(*s->where, level);
            if (s->having)
                outer(*s->having, level);
        }
    }

    void outer(const Expr& e, int level) const {
        if (e.aggregate)
            return;
        if (e.kind == EK::Column && e.depth == level && e.src) {
            for (const auto& g : m_sel.groupBy)
                if (g->kind == EK::Column && g->src == e.src && g->columnIndex == e.columnIndex)
                    return;
            ungrouped(e, m_clause);
        }
        for (const auto& a : e.args)
            if (a)
                outer(*a, level);
        if (e.sub)
            subquery(*e.sub, level + 1);
    }
};

// An ORDER BY item that names an item of the select list: by position, by alias, or written as
// the item is.
bool namesSelectItem(const Select& sel, const Expr& o) {
    if (o.depth == -1 || (o.kind == EK::Literal && o.value.type.isInteger() && !o.value.null))
        return true;
    for (const SelectItem& it : sel.items)
        if (sameExpr(*it.expr, o))
            return true;
    return false;
}

} // namespace

// The rules of a bound query, in the order the server reports them.
void Binder::queryRules(Select& sel) {
    exposedNames(sel);
    for (const auto& g : sel.groupBy) {
        if (containsAggregateOrSubquery(*g))
            raiseAt<Msg::GroupByAggregateOrSubquery>(g->line, g->column);
        if (!readsOwnColumn(*g))
            raiseAt<Msg::GroupByConstant>(g->line, g->column);
    }
    // A combined query's ORDER BY names the result's columns: its members have none of their own.
    const bool ownOrder = !(sel.laterMember || sel.unionNext);
    if (ownOrder)
        for (const OrderItem& o : sel.orderBy)
            if (containsAggregate(*o.expr))
                sel.hasAggregate = true;
    if (sel.hasAggregate) {
        for (const SelectItem& it : sel.items)
            GroupedCheck(sel, Clause::SelectList).expr(*it.expr);
        if (sel.having)
            GroupedCheck(sel, Clause::Having).expr(*sel.having);
        for (const OrderItem& o : sel.orderBy)
            if (ownOrder && o.expr->depth != -1)
                GroupedCheck(sel, Clause::OrderBy).expr(*o.expr);
    }
    if (sel.distinct && ownOrder)
        for (const OrderItem& o : sel.orderBy)
            if (!namesSelectItem(sel, *o.expr))
                raiseAt<Msg::OrderByItemsDistinct>(o.expr->line, o.expr->column);
    if (sel.withTies && sel.orderBy.empty())
        raiseAt<Msg::TopWithTiesWithoutOrderBy>(sel.line, sel.column);
}

// The members of a combined query share the ORDER BY written after the last one: none of them
// has one of its own for TOP ... WITH TIES.
void Binder::unionRules(const Select& sel) {
    for (const Select* m = &sel; m; m = m->unionNext.get())
        if (m->withTies)
            raiseAt<Msg::TopWithTiesWithoutOrderBy>(m->line, m->column);
}

// Each source of a FROM clause goes by a name of its own: two aliases alike are Msg 1011, two
// tables of the same name without one Msg 1013.
void Binder::exposedNames(const Select& sel) {
    const auto& sources = sel.flatSources;
    for (size_t k = 1; k < sources.size(); ++k) {
        const TableSource& b = *sources[k];
        const QString nb = sourceName(b);
        if (nb.isEmpty())
            continue;
        for (size_t j = 0; j < k; ++j) {
            const TableSource& a = *sources[j];
            if (sourceName(a).compare(nb, Qt::CaseInsensitive) != 0)
                continue;
            if (a.alias.isEmpty() && b.alias.isEmpty())
                raiseAt<Msg::SameExposedNames>(b.line, b.column, a.nameParts.join(u'.'),
                                               b.nameParts.join(u'.'));
            raiseAt<Msg::CorrelationNameTwice>(b.line, b.column, nb);
        }
    }
}

// The rules of a bound call of a built-in function.
void Binder::functionRules(const Expr& e) {
    const FunctionDef& f = *e.function;
    const QString name = QString::fromLatin1(f.name);
    if (e.aggregate) {
        for (const auto& a : e.args)
            if (a && containsAggregateOrSubquery(*a))
                raiseAt<Msg::AggregateOfAggregate>(e.line, e.column);
        if ((name == u"SUM" || name == u"AVG") && isNullConstant(*e.args[0]))
            raiseAt<Msg::InvalidOperand>(e.line, e.column, u"NULL", name.toLower());
        return;
    }
    if (name == u"SUBSTRING") {
        const Expr& a = *e.args[0];
        if (isNullConstant(a))
            raiseAt<Msg::InvalidArgumentType>(e.line, e.column, u"NULL", u"substring");
        if (a.type.id != TypeId::Unknown && !a.type.isString())
            raiseAt<Msg::InvalidArgumentType>(e.line, e.column, a.type.name(), u"substring");
        return;
    }
    // DATEADD(part, n, d), DATEPART(part, d), DATENAME(part, d): a date has no time of day.
    const bool adds = name == u"DATEADD";
    if (!adds && name != u"DATEPART" && name != u"DATENAME")
        return;
    const Expr& date = *e.args[adds ? 2 : 1];
    const DatePart part = datepartOf(e.args[0]->value.s, e.name);
    // the parts in DatePart's order, as the server's message names them
    static const char* const partNames[] = {"year",   "quarter",     "month",       "dayofyear", "day",
                                            "week",   "iso_week",    "weekday",     "hour",      "minute",
                                            "second", "millisecond", "microsecond", "nanosecond"};
    const QString partName = QString::fromLatin1(partNames[int(part)]);
    // a date has no time of day, a time no date; datetime and smalldatetime have no
    // microseconds and nanoseconds to add
    const TypeId id = date.type.id;
    const bool fine = part == DatePart::Microsecond || part == DatePart::Nanosecond;
    if ((id == TypeId::Date && part >= DatePart::Hour) || (id == TypeId::Time && part < DatePart::Hour) ||
        (adds && fine && (id == TypeId::DateTime || id == TypeId::SmallDateTime)))
        raiseAt<Msg::DatepartNotSupported>(e.line, e.column, partName, name.toLower(), date.type.name());
}

// TIMEFROMPARTS(hour, minute, seconds, fractions, precision): the precision, an integer constant
// from 0 to 7, is the scale of the result; any other precision is refused by name.
void Binder::timeFromPartsScale(Expr& e) {
    const Expr& p = *e.args[4];
    bool ok = p.kind == EK::Literal && !p.value.null && p.value.type.isInteger();
    if (ok && p.value.i >= 0 && p.value.i <= 7) {
        e.type = SqlType::time(int(p.value.i));
        return;
    }
    raiseAt<Msg::TimeValueNotSupported>(
        e.line, e.column, QStringLiteral("TIMEFROMPARTS with a precision other than a constant from 0 to 7"));
}

// A session option set away from the connection's default where that changes what a batch
// computes or whether it runs (ANSI_NULLS OFF makes `= NULL` true, CONCAT_NULL_YIELDS_NULL OFF
// joins NULL as '', NOEXEC ON runs nothing, ROWCOUNT n stops statements, TEXTSIZE n cuts texts,
// SNAPSHOT isolation fails unless the database allows it) is refused by name. The others change
// no value of the batch nor its first error (docs/engine-ignored-clauses.md). QUOTED_IDENTIFIER
// and PARSEONLY take effect when the batch is parsed, the others when the SET runs ("SET
// Statements (Transact-SQL)"): the binder refuses the first, the executor the others, so that a
// SET in a branch not taken is no error, as on the server.
void Binder::settingRules(const Stmt& s) {
    refuseSetting(s, true);
}

} // namespace tsql::binding

namespace tsql {

void refuseSetting(const Stmt& s, bool parseTime) {
    static const char* const defaultOn[] = {"ANSI_WARNINGS",           "ANSI_NULLS",   "QUOTED_IDENTIFIER",
                                            "CONCAT_NULL_YIELDS_NULL", "ANSI_PADDING", "ANSI_NULL_DFLT_ON"};
    static const char* const defaultOff[] = {
        "NUMERIC_ROUNDABORT", "IMPLICIT_TRANSACTIONS", "FMTONLY",           "NOEXEC",
        "PARSEONLY",          "SHOWPLAN_TEXT",         "ANSI_NULL_DFLT_OFF"};
    if (s.target)
        return; // SET IDENTITY_INSERT
    // Every option of a list (SET NOCOUNT, ANSI_WARNINGS OFF) is judged, not only the first.
    const QStringList named = s.options.isEmpty() ? QStringList{s.var} : s.options;
    for (const QString& option : named) {
        if ((option == u"QUOTED_IDENTIFIER" || option == u"PARSEONLY") != parseTime)
            continue;
        bool refused = false;
        for (const char* o : defaultOn)
            refused = refused || (option == QLatin1String(o) && s.op == u"OFF");
        for (const char* o : defaultOff)
            refused = refused || (option == QLatin1String(o) && s.op == u"ON");
        // ANSI_DEFAULTS sets IMPLICIT_TRANSACTIONS ON (ON) or ANSI_NULLS OFF (OFF) with others.
        refused = refused || option == u"ANSI_DEFAULTS";
        refused = refused || (option == u"ROWCOUNT" && s.op != u"0");
        // TEXTSIZE 2147483647, what drivers set at connect, cuts no value the engine keeps (its
        // texts stop before 2 GB); 0 is the default of a client that sets none.
        refused = refused || (option == u"TEXTSIZE" && s.op != u"0" && s.op != u"2147483647");
        if (refused)
            raiseAt<Msg::SetOptionNotSupported>(s.line, s.column, option, s.op);
    }
    if (!parseTime && s.var == u"TRANSACTION" && s.op == u"SNAPSHOT")
        raiseAt<Msg::SetOptionNotSupported>(s.line, s.column, u"TRANSACTION ISOLATION LEVEL", s.op);
}

} // namespace tsql
