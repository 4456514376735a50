// The functions of NULLs and logic (ISNULL, COALESCE, NULLIF, IIF, CHOOSE), of errors (ERROR_*),
// ISNUMERIC, ISDATE, OBJECT_ID, NEWID, and the aggregates.

#include "tsql/functions/BuiltinFunctions.h"
#include "tsql/values/DateSettings.h"

#include <QRegularExpression>
#include <QUuid>

namespace tsql::builtin {

// ISNULL returns the type of its first argument; COALESCE the type of highest precedence of all
// ("ISNULL (Transact-SQL)", "COALESCE (Transact-SQL)"): the value is converted to it.
Value isnull(const FunctionDef&, const Args& a, const SqlType& type) {
    return convert(a[0].null ? a[1] : a[0], type);
}

Value coalesce(const FunctionDef&, const Args& a, const SqlType& type) {
    for (const Value& v : a)
        if (!v.null)
            return convert(v, type);
    return Value::nullOf(type);
}

Value nullif(const FunctionDef&, const Args& a, const SqlType& type) {
    auto c = compareValues(a[0], a[1]);
    if (c && *c == 0)
        return Value::nullOf(type);
    return convert(a[0], type);
}

// ISNUMERIC: 1 for a number, or a text that converts to some numeric type ("ISNUMERIC
// (Transact-SQL)"): money reads a currency symbol, signs and thousands separators, so that '$',
// '+', '-', '.' and '$1,000' are numeric; float reads an exponent after e or d ('1e5', '1d2').
// An empty text, any other text, a date and NULL are not.
Value isnumeric(const FunctionDef&, const Args& a, const SqlType&) {
    const Value& v = a[0];
    if (v.null || !v.type.isString())
        return Value::integer(!v.null && v.type.isNumeric() ? 1 : 0);
    static const QRegularExpression money(
        QStringLiteral("^(?:[+-]?[$\\x{00A3}\\x{00A5}\\x{20AC}]?|[$\\x{00A3}\\x{00A5}\\x{20AC}][+-])[0-9,]*(?"
                       ":\\.[0-9]*)?$"));
    static const QRegularExpression floating(
        QStringLiteral("^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?$"));
    const QString s = v.s.trimmed();
    const bool numeric = !s.isEmpty() && (money.match(s).hasMatch() || floating.match(s).hasMatch());
    return Value::integer(numeric ? 1 : 0);
}

// ISDATE: 1 for a text that reads as a datetime under the session's DATEFORMAT and LANGUAGE (a
// date datetime2 alone holds, such as the year 1000, is not one), and for a datetime; 0 for
// NULL and for an empty text, though CAST reads that as 1900-01-01 ("ISDATE (Transact-SQL)").
Value isdate(const FunctionDef&, const Args& a, const SqlType&) {
    const Value& v = a[0];
    if (v.null)
        return Value::integer(0);
    if (v.type.isDate())
        return Value::integer(1);
    const QString text = v.type.isString() ? v.s : toText(v);
    return Value::integer(
        !text.trimmed().isEmpty() && readDate(text, TypeId::DateTime).status == DateReading::Date ? 1 : 0);
}

// OBJECT_ID('[database.][schema.]name' [, 'type']): the id of a table ('U') or view ('V') of the
// database, NULL for any other name, type or schema than dbo. A temporary table of the session is
// named with tempdb before it (tempdb..#t); without it, NULL ("OBJECT_ID (Transact-SQL)").
Value objectId(const FunctionDef&, const Args& a, const SqlType& type) {
    ObjectCatalog* catalog = currentCatalog();
    if (a[0].null || !catalog)
        return Value::nullOf(type);
    const QStringList parts = splitObjectName(toText(a[0]));
    if (parts.isEmpty() || parts.size() > 3)
        return Value::nullOf(type);
    if (parts.size() >= 2 && !parts[parts.size() - 2].isEmpty() &&
        parts[parts.size() - 2].compare(u"dbo", Qt::CaseInsensitive) != 0)
        return Value::nullOf(type);
    const bool inTempdb = parts.size() == 3 && parts[0].compare(u"tempdb", Qt::CaseInsensitive) == 0;
    if (inTempdb != parts.last().startsWith(u'#'))
        return Value::nullOf(type);
    const QString kind = a.size() > 1 && !a[1].null ? toText(a[1]).trimmed().toUpper() : QString();
    const auto id = catalog->objectId(parts.last(), kind);
    return id ? Value::integer(*id) : Value::nullOf(type);
}

Value newid(const FunctionDef&, const Args&, const SqlType& type) {
    Value r = textOut(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), type);
    r.type = SqlType::of(TypeId::UniqueIdentifier);
    return r;
}

// IIF(condition, a, b) and CHOOSE(i, a1, a2, ...) evaluate only the argument they return, as the
// CASE expressions they stand for.
Value iif(const FunctionDef&, CallSite& call, const SqlType& type) {
    return convert(call.isTrue(0) ? call.argument(1) : call.argument(2), type);
}

Value choose(const FunctionDef&, CallSite& call, const SqlType& type) {
    Value i = call.argument(0);
    if (i.null)
        return Value::nullOf(type);
    qint64 k = convert(i, SqlType::of(TypeId::Int)).i;
    if (k < 1 || k >= qint64(call.argumentCount()))
        return Value::nullOf(type);
    return convert(call.argument(std::size_t(k)), type);
}

// The ERROR_ functions describe the error the CATCH block running handles; NULL outside one.
Value errorNumber(const FunctionDef&, CallSite& call, const SqlType& type) {
    const ServerError* e = call.caughtError();
    return e ? Value::integer(e->number) : Value::nullOf(type);
}

Value errorMessage(const FunctionDef&, CallSite& call, const SqlType& type) {
    const ServerError* e = call.caughtError();
    return e ? Value::str(e->message, true) : Value::nullOf(type);
}

Value errorLine(const FunctionDef&, CallSite& call, const SqlType& type) {
    const ServerError* e = call.caughtError();
    return e ? Value::integer(e->line) : Value::nullOf(type);
}

Value errorSeverity(const FunctionDef&, CallSite& call, const SqlType& type) {
    const ServerError* e = call.caughtError();
    return e ? Value::integer(e->level) : Value::nullOf(type);
}

Value errorState(const FunctionDef&, CallSite& call, const SqlType& type) {
    const ServerError* e = call.caughtError();
    return e ? Value::integer(e->state) : Value::nullOf(type);
}

// ---- aggregates: the values of the group, NULLs left out ("Aggregate functions") ----

Value count(const FunctionDef&, std::span<const Value> values, const SqlType& type) {
    return Value::integer(qint64(values.size()), type.id);
}

Value max(const FunctionDef&, std::span<const Value> values, const SqlType& type) {
    if (values.empty())
        return Value::nullOf(type);
    Value best = values[0];
    for (const Value& v : values)
        if (compareValues(v, best).value_or(0) > 0)
            best = v;
    return best;
}

Value min(const FunctionDef&, std::span<const Value> values, const SqlType& type) {
    if (values.empty())
        return Value::nullOf(type);
    Value best = values[0];
    for (const Value& v : values)
        if (compareValues(v, best).value_or(0) < 0)
            best = v;
    return best;
}

// SUM adds in the result type: int for the smaller integers, decimal(38, s) for a decimal, money
// for smallmoney ("SUM (Transact-SQL)", return types).
Value sum(const FunctionDef&, std::span<const Value> values, const SqlType& type) {
    if (values.empty())
        return Value::nullOf(type);
    Value total = convert(values[0], type);
    for (size_t k = 1; k < values.size(); ++k)
        total = convert(arithmetic(QStringLiteral("+"), total, convert(values[k], type)), type);
    return total;
}

// AVG divides the sum by the count in the result type: integers average to an integer.
Value avg(const FunctionDef& f, std::span<const Value> values, const SqlType& type) {
    if (values.empty())
        return Value::nullOf(type);
    Value total = sum(f, values, type);
    return convert(arithmetic(QStringLiteral("/"), total, Value::integer(qint64(values.size()))), type);
}

} // namespace tsql::builtin

namespace tsql {

namespace {
thread_local ObjectCatalog* g_catalog = nullptr;
} // namespace

ObjectCatalog* currentCatalog() {
    return g_catalog;
}

CurrentCatalog::CurrentCatalog(ObjectCatalog* catalog)
    : m_previous(g_catalog) {
    g_catalog = catalog;
}

CurrentCatalog::~CurrentCatalog() {
    g_catalog = m_previous;
}

QStringList splitObjectName(const QString& name) {
    QStringList parts;
    QString part;
    for (qsizetype k = 0; k < name.size(); ++k) {
        const QChar c = name[k];
        if (c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? u']' : u'"';
            const qsizetype end = name.indexOf(close, k + 1);
            if (end < 0)
                return {};
            part += name.mid(k + 1, end - k - 1);
            k = end;
        } else if (c == u'.') {
            parts << part.trimmed();
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part.trimmed();
    if (parts.last().isEmpty())
        return {};
    return parts;
}

} // namespace tsql
