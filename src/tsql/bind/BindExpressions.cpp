// Binding of expressions: columns resolved through the scopes of the query and its enclosing
// queries, the type of every node, and the checks the server makes at compile time.

#include "tsql/bind/BinderImpl.h"

#include "tsql/base/Messages.h"
#include "tsql/xml/Xml.h"

#include "tsql/functions/Functions.h"

#include <QRegularExpression>

namespace tsql::binding {

namespace {

// NULL written as such (parentheses around it change nothing): the one expression whose type
// the server does not know. CAST(NULL AS int) and a variable holding NULL have a type.
bool isNullConstant(const Expr& e) {
    return e.kind == EK::Literal && e.value.null;
}

// Msg 8133: a CASE (or IIF) must be able to take its type from one of its results.
void requireTypedResult(bool typed, const Expr& at) {
    if (!typed)
        raiseAt<Msg::LeastOneResultExpressions>(at.line, at.column);
}

} // namespace

void Binder::column(Expr& e) {
    QString col = e.parts.last();
    QString qualifier = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : QString();
    bool maybeUnknown = false;
    bool qualifierMatched = false;
    for (int d = int(scopes.size()) - 1; d >= 0; --d) {
        Select* sc = scopes[size_t(d)];
        TableSource* found = nullptr;
        int foundIndex = -1;
        for (TableSource* src : sc->flatSources) {
            if (!qualifier.isEmpty()) {
                QString sn = sourceName(*src);
                bool match = sn.compare(qualifier, Qt::CaseInsensitive) == 0;
                if (!match)
                    continue;
                qualifierMatched = true;
            }
            if (src->kind == SourceKind::Table && !src->exists) {
                maybeUnknown = true;
                continue;
            }
            for (int k = 0; k < int(src->columns.size()); ++k) {
                if (src->columns[k].compare(col, Qt::CaseInsensitive) == 0) {
                    if (found && found != src)
                        raiseAt<Msg::AmbiguousColumnName>(e.line, e.column, col);
                    found = src;
                    foundIndex = k;
                }
            }
        }
        if (found) {
            e.src = found;
            e.columnIndex = foundIndex;
            e.depth = int(scopes.size()) - 1 - d;
            e.type = found->columnTypes[size_t(foundIndex)];
            // A column of a derived table, a CTE or VALUES is one of the query's text when the
            // query that has it runs on SQLite.
            e.rowDependent =
                found->kind == SourceKind::Table || (found->kind != SourceKind::XmlNodes && sc->usesTables);
            // A sub-query that reads a row of a query over tables is part of that query's text.
            if (e.rowDependent)
                for (size_t k = size_t(d) + 1; k < scopes.size(); ++k)
                    scopes[k]->usesTables = true;
            return;
        }
        if (maybeUnknown) {
            e.type = SqlType::of(TypeId::Unknown);
            e.rowDependent = true;
            return;
        }
        if (qualifierMatched)
            break;
    }
    if (!qualifier.isEmpty() && !qualifierMatched) {
        pendingOrFail(serverError<Msg::MultiPartNotBound>(e.line, e.column, e.parts.join(u'.')));
    } else {
        pendingOrFail(serverError<Msg::InvalidColumnName>(e.line, e.column, col));
    }
    e.type = SqlType::of(TypeId::Unknown);
    e.rowDependent = true;
}

bool Binder::valueSingleton(const QString& path) {
    return xpathSingleton(path);
}

void Binder::subquerySelect(Select& sub, bool single, int line, int column) {
    select(sub, false);
    if (single && sub.items.size() != 1)
        raiseAt<Msg::OnlyOneExpressionSpecified>(line, column);
}

// The operands first, then the node itself. Only this part recurses once per level of the
// tree: the work on the node is kept out of its frame.
void Binder::expr(Expr& e) {
    for (auto& a : e.args)
        if (a && !(e.kind == EK::Function && a->datepartArg))
            expr(*a);
    for (auto& a : e.args)
        if (a && a->rowDependent)
            e.rowDependent = true;
    resolve(e);
}

void Binder::resolve(Expr& e) {
    switch (e.kind) {
    case EK::Literal:
        e.type = e.value.type;
        break;
    case EK::Variable:
        e.slot = variable(e.name, e.line, e.column);
        e.type = varTypes[size_t(e.slot)];
        break;
    case EK::SysVar:
        systemVariable(e);
        break;
    case EK::Column:
        column(e);
        break;
    case EK::Star:
        e.type = SqlType::of(TypeId::Int);
        e.rowDependent = true;
        break;
    case EK::Unary:
        unary(e);
        break;
    case EK::Binary:
        try {
            e.type = arithmeticType(e.op, e.args[0]->type, e.args[1]->type);
        } catch (SqlError& err) {
            err.error.line = e.line;
            err.error.column = e.column;
            throw;
        }
        break;
    case EK::Compare:
    case EK::Between:
    case EK::In:
        comparison(e);
        break;
    case EK::Like:
        for (auto& a : e.args)
            if (a->type.id == TypeId::Xml || a->type.id == TypeId::XmlNode)
                raiseAt<Msg::InvalidArgumentType>(e.line, e.column, a->type.name(), u"like");
        e.type = SqlType::of(TypeId::Bit);
        break;
    case EK::And:
    case EK::Or:
    case EK::Not:
    case EK::IsNull:
        e.type = SqlType::of(TypeId::Bit);
        break;
    case EK::Exists:
        select(*e.sub, false);
        if (e.sub->usesTables)
            e.rowDependent = true;
        e.type = SqlType::of(TypeId::Bit);
        break;
    case EK::Case:
        caseType(e);
        break;
    case EK::Cast:
        cast(e);
        break;
    case EK::Function:
        function(e);
        break;
    case EK::Subquery:
        subquerySelect(*e.sub, true, e.line, e.column);
        e.type = e.sub->items.empty() ? SqlType() : e.sub->items[0].expr->type;
        if (e.sub->usesTables)
            e.rowDependent = true;
        break;
    case EK::XmlMethod:
        xmlMethod(e);
        break;
    case EK::Window:
        window(e);
        break;
    }
}

void Binder::systemVariable(Expr& e) {
    static const QHash<QString, SqlType> sys = {
        {QStringLiteral("@@TRANCOUNT"), SqlType::of(TypeId::Int)},
        {QStringLiteral("@@ROWCOUNT"), SqlType::of(TypeId::Int)},
        {QStringLiteral("@@ERROR"), SqlType::of(TypeId::Int)},
        {QStringLiteral("@@OPTIONS"), SqlType::of(TypeId::Int)}, // no SET option is kept: 0
        {QStringLiteral("@@FETCH_STATUS"), SqlType::of(TypeId::Int)},
        {QStringLiteral("@@SPID"), SqlType::of(TypeId::SmallInt)},
        {QStringLiteral("@@DATEFIRST"), SqlType::of(TypeId::TinyInt)},
        {QStringLiteral("@@IDENTITY"), SqlType::decimal(38, 0)},
        {QStringLiteral("@@VERSION"), SqlType{TypeId::NVarChar, 0, 0, 300, false}},
        {QStringLiteral("@@SERVERNAME"), SqlType{TypeId::NVarChar, 0, 0, 128, false}},
        {QStringLiteral("@@LANGUAGE"), SqlType{TypeId::NVarChar, 0, 0, 128, false}},
    };
    auto it = sys.constFind(e.name);
    if (it == sys.constEnd())
        raiseAt<Msg::UndeclaredVariable>(e.line, e.column, e.name);
    e.type = it.value();
}

// ~ takes integers only (Msg 402); unary minus refuses texts, dates and xml (Msg 8117), and computes
// tinyint, smallint and bit in int.
void Binder::unary(Expr& e) {
    const SqlType& t = e.args[0]->type;
    if (e.op == u"~") {
        if (!(t.isInteger() || t.id == TypeId::Unknown))
            raiseAt<Msg::IncompatibleOperands>(e.line, e.column, t.name(), t.name(), u"'~'");
        e.type = t.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : t;
        return;
    }
    if (e.op == u"-" &&
        (t.isString() || t.isDate() || t.isTime() || t.id == TypeId::Xml || t.id == TypeId::XmlNode))
        invalidOperand(t, QStringLiteral("minus"), e.line, e.column);
    e.type = (t.id == TypeId::Bit || t.id == TypeId::TinyInt || t.id == TypeId::SmallInt ||
              t.id == TypeId::Unknown) &&
                     e.op == u"-"
                 ? SqlType::of(TypeId::Int)
                 : t;
}

// =, BETWEEN and IN: every operand must convert to the first one's type (Msg 206); an IN
// sub-query returns one column.
void Binder::comparison(Expr& e) {
    for (size_t k = 1; k < e.args.size(); ++k)
        comparable(*e.args[0], *e.args[k], e);
    if (e.sub) {
        subquerySelect(*e.sub, true, e.line, e.column);
        if (e.sub->usesTables)
            e.rowDependent = true;
        if (!e.sub->items.empty())
            comparable(*e.args[0], *e.sub->items[0].expr, e);
    }
    e.type = SqlType::of(TypeId::Bit);
}

// CASE returns the type of highest precedence among its THEN and ELSE values ("CASE
// (Transact-SQL)", return types); when every one of them is the NULL constant there is none, a
// compile error (Msg 8133).
void Binder::caseType(Expr& e) {
    SqlType t;
    bool typed = false;
    size_t k = e.hasInput ? 1 : 0;
    size_t end = e.args.size() - (e.hasElse ? 1 : 0);
    for (; k + 1 < end + 1 && k < end; k += 2) {
        if (e.hasInput)
            comparable(*e.args[0], *e.args[k], e);
        t = dominantType(t, e.args[k + 1]->type);
        typed = typed || !isNullConstant(*e.args[k + 1]);
    }
    if (e.hasElse) {
        t = dominantType(t, e.args.back()->type);
        typed = typed || !isNullConstant(*e.args.back());
    }
    requireTypedResult(typed, e);
    e.type = t;
}

// CAST and CONVERT: conversions that exist for no value (xml to a number, a date to a number,
// ...) are refused at compile time (Msg 529); others may still fail on a value at run time.
void Binder::cast(Expr& e) {
    const SqlType& f = e.args[0]->type;
    if (e.name == u"PARSE" || e.name == u"TRY_PARSE") {
        parseCall(e);
        return;
    }
    if (!explicitAllowed(f.id, e.castType.id))
        raiseAt<Msg::ExplicitConversionNotAllowed>(e.line, e.column, f.name(), e.castType.name());
    e.type = e.castType;
}

// ISO_WEEK is a part of DATEPART and DATENAME only: DATEADD, DATEDIFF and DATEDIFF_BIG refuse
// it when the batch is compiled (Msg 9810), naming the type of their date.
void Binder::isoWeekPart(const Expr& e, DatePart part) {
    if (part != DatePart::IsoWeek || e.name == u"DATEPART" || e.name == u"DATENAME")
        return;
    QString type = QStringLiteral("datetime");
    for (std::size_t k = e.args.size(); k-- > 1;)
        if (e.args[k]->type.isDate() || e.args[k]->type.isTime())
            type = e.args[k]->type.name();
    raiseAt<Msg::DatepartNotSupported>(e.line, e.column, u"iso_week", e.name.toLower(), type);
}

// PARSE and TRY_PARSE read a text (Msg 8116) into a number or a date type (Msg 10761).
void Binder::parseCall(Expr& e) {
    const SqlType& f = e.args[0]->type;
    if (!f.isString() && f.id != TypeId::Unknown)
        raiseAt<Msg::InvalidArgumentType>(e.line, e.column, f.name(), e.name.toLower());
    const SqlType& t = e.castType;
    if (!(t.isNumeric() || t.isDate()) || t.id == TypeId::Bit)
        raiseAt<Msg::InvalidDataTypeInFunction>(e.line, e.column, t.name(), e.name);
    e.type = t;
}

// A call of a built-in function (Msg 195 for any other name): the argument count of its row
// (Msg 174, 189), a date part its first argument names (Msg 155, 1023), then its result type.
void Binder::function(Expr& e) {
    const FunctionDef* f = e.function;
    if (!f && (e.name == u"GROUPING" || e.name == u"GROUPING_ID")) {
        groupingCall(e);
        return;
    }
    if (!f)
        windowOnly(e);
    if (!f)
        raiseAt<Msg::UnknownFunction>(e.line, e.column, e.name);
    if (f->aggregate())
        for (const auto& a : e.args)
            if (containsWindow(*a))
                raiseAt<Msg::WindowedFunctionsContext>(e.line, e.column);
    checkArgumentCount(*f, int(e.args.size()) - e.withinGroup - (e.trimFrom ? 1 : 0), e.line, e.column);
    if (f->first == FirstArgument::Datepart) {
        if (!e.args[0]->datepartArg)
            raiseAt<Msg::InvalidParameterSpecified>(e.line, e.column, e.name.toLower());
        isoWeekPart(e, datepartOf(e.args[0]->value.s, e.name));
    }
    if (f->sql == SqlForm::Ordered && e.distinct)
        raiseAt<Msg::StringAggDistinctNotSupported>(e.line, e.column);
    nullConstants(*f, e);
    if (f->first == FirstArgument::Condition && !isCondition(e.args[0]->kind))
        raiseAt<Msg::NonBooleanNear>(e.line, e.column, u",");
    std::vector<SqlType> types;
    types.reserve(e.args.size());
    for (auto& a : e.args)
        types.push_back(a->type);
    try {
        e.type = f->type(*f, types);
    } catch (SqlError& err) {
        err.error.line = e.line;
        err.error.column = e.column;
        throw;
    }
    e.aggregate = f->aggregate();
    if (e.aggregate)
        e.rowDependent = true;
    if (e.name == u"TIMEFROMPARTS")
        timeFromPartsScale(e);
    functionRules(e);
}

// GROUPING(column): tinyint, 1 where the row rolls the column up; GROUPING_ID(column, ...): int,
// those bits from the first argument (highest) to the last. They count as aggregates: only in
// the select list, HAVING and ORDER BY of a grouped query.
void Binder::groupingCall(Expr& e) {
    const bool id = e.name == u"GROUPING_ID";
    if (e.args.empty() || (!id && e.args.size() != 1)) {
        if (id)
            raiseAt<Msg::ArgumentCountRange>(e.line, e.column, u"grouping_id", 1, 32);
        raiseAt<Msg::ArgumentCount>(e.line, e.column, u"grouping", 1);
    }
    if (e.args.size() > 32)
        raiseAt<Msg::ArgumentCountRange>(e.line, e.column, u"grouping_id", 1, 32);
    e.type = SqlType::of(id ? TypeId::Int : TypeId::TinyInt);
    e.aggregate = true;
    e.rowDependent = true;
    groupingCalls.push_back(&e);
}

// The arguments a function needs the type of, as its row says ("COALESCE", "NULLIF", "IIF
// (Transact-SQL)"): COALESCE(NULL, NULL) is Msg 4127, NULLIF(NULL, x) Msg 4151, IIF(c, NULL,
// NULL) Msg 8133, all at compile time.
void Binder::nullConstants(const FunctionDef& f, const Expr& e) {
    auto typedFrom = [&](size_t from) {
        for (size_t k = from; k < e.args.size(); ++k)
            if (!isNullConstant(*e.args[k]))
                return true;
        return false;
    };
    switch (f.nullConstant) {
    case NullConstant::Allowed:
        return;
    case NullConstant::NotAll:
        if (!typedFrom(0))
            raiseAt<Msg::LeastOneArgumentsCoalesce>(e.line, e.column);
        return;
    case NullConstant::NotFirst:
        if (isNullConstant(*e.args[0]))
            raiseAt<Msg::TypeFirstArgumentNullif>(e.line, e.column);
        return;
    case NullConstant::NotAllResults:
        requireTypedResult(typedFrom(1), e);
        return;
    }
}

// value() reads one node (Msg 2389 otherwise) into a T-SQL type (Msg 9500 for an unknown one);
// exist() is a bit; query() is xml.
void Binder::xmlMethod(Expr& e) {
    const SqlType& t = e.args[0]->type;
    if (t.id != TypeId::Xml && t.id != TypeId::XmlNode && t.id != TypeId::Unknown)
        raiseAt<Msg::NoMethods>(e.line, e.column, t.name());
    if (e.args.size() > 1)
        xpathCheck(e.args[1]->value.s, e.line, e.column);
    if (e.name == u"value") {
        auto ty = parseTypeName(e.args[2]->value.s);
        if (!ty)
            raiseAt<Msg::DataTypeUsedValue>(e.line, e.column, e.args[2]->value.s);
        if (!valueSingleton(e.args[1]->value.s))
            raiseAt<Msg::XqueryValueRequiresSingleton>(e.line, e.column);
        e.type = *ty;
    } else if (e.name == u"exist") {
        e.type = SqlType::of(TypeId::Bit);
    } else {
        e.type = SqlType::of(TypeId::Xml);
    }
}

void Binder::comparable(const Expr& a, const Expr& b, const Expr& at) {
    const SqlType& x = a.type;
    const SqlType& y = b.type;
    if (x.id == TypeId::Xml || y.id == TypeId::Xml || x.id == TypeId::XmlNode || y.id == TypeId::XmlNode)
        raiseAt<Msg::XmlDataTypeCompared>(at.line, at.column);
    if (!implicitAllowed(x.id, y.id))
        raiseAt<Msg::OperandTypeClash>(at.line, at.column, x.name(), y.name());
}

} // namespace tsql::binding
