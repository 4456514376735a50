#pragma once

// The evaluators of the built-in functions, named by the rows of the function table
// (FunctionRegistry.cpp) and defined by subject: MathFunctions.cpp, StringFunctions.cpp,
// DateFunctions.cpp and OtherFunctions.cpp. Not part of the engine's interface.

#include "tsql/functions/Functions.h"

namespace tsql::builtin {

using Args = std::vector<Value>;

// ---- helpers shared by the evaluators ----

// A text result: of the call's type when that is a character type, varchar(max) otherwise.
Value textOut(const QString& s, const SqlType& type);
// The value as text (the text itself for the character types, its CAST text otherwise).
QString asText(const Value& v);
qint64 asInt(const Value& v);
QDateTime asDate(const Value& v, TypeId textType = TypeId::DateTime2);

// ---- mathematics ----
Value round(const FunctionDef&, const Args&, const SqlType&);
// What ROUND of an exact number of `precision` digits gives in the call's type `type` (the
// number its value holds): rounded half away from zero, or cut when `truncate`, to `digits`.
Numeric roundedExact(const Numeric& n, int precision, qint64 digits, bool truncate, const SqlType& type);
Value floor(const FunctionDef&, const Args&, const SqlType&);
Value ceiling(const FunctionDef&, const Args&, const SqlType&);
Value abs(const FunctionDef&, const Args&, const SqlType&);
Value sign(const FunctionDef&, const Args&, const SqlType&);
Value power(const FunctionDef&, const Args&, const SqlType&);
Value sqrt(const FunctionDef&, const Args&, const SqlType&);
Value square(const FunctionDef&, const Args&, const SqlType&);
Value exp(const FunctionDef&, const Args&, const SqlType&);
Value log(const FunctionDef&, const Args&, const SqlType&);
Value log10(const FunctionDef&, const Args&, const SqlType&);
Value pi(const FunctionDef&, const Args&, const SqlType&);
Value rand(const FunctionDef&, const Args&, const SqlType&);

// ---- strings ----
Value len(const FunctionDef&, const Args&, const SqlType&);
Value datalength(const FunctionDef&, const Args&, const SqlType&);
Value left(const FunctionDef&, const Args&, const SqlType&);
Value right(const FunctionDef&, const Args&, const SqlType&);
Value substring(const FunctionDef&, const Args&, const SqlType&);
Value ltrim(const FunctionDef&, const Args&, const SqlType&);
Value rtrim(const FunctionDef&, const Args&, const SqlType&);
Value trim(const FunctionDef&, const Args&, const SqlType&); // TRIM([characters FROM] s)
Value upper(const FunctionDef&, const Args&, const SqlType&);
Value lower(const FunctionDef&, const Args&, const SqlType&);
Value reverse(const FunctionDef&, const Args&, const SqlType&);
Value replace(const FunctionDef&, const Args&, const SqlType&);
Value charindex(const FunctionDef&, const Args&, const SqlType&);
Value replicate(const FunctionDef&, const Args&, const SqlType&);
Value space(const FunctionDef&, const Args&, const SqlType&);
Value stuff(const FunctionDef&, const Args&, const SqlType&);
Value str(const FunctionDef&, const Args&, const SqlType&);
Value concat(const FunctionDef&, const Args&, const SqlType&);
Value ascii(const FunctionDef&, const Args&, const SqlType&); // ASCII and UNICODE
Value char_(const FunctionDef&, const Args&, const SqlType&);
Value nchar(const FunctionDef&, const Args&, const SqlType&);
Value patindex(const FunctionDef&, const Args&, const SqlType&);
Value concatWs(const FunctionDef&, const Args&, const SqlType&);
Value translate(const FunctionDef&, const Args&, const SqlType&);
Value quotename(const FunctionDef&, const Args&, const SqlType&);
Value format(const FunctionDef&, const Args&, const SqlType&);

// ---- dates ----
Value getdate(const FunctionDef&, const Args&, const SqlType&); // GETDATE and SYSDATETIME
Value getutcdate(const FunctionDef&, const Args&, const SqlType&);
Value dateadd(const FunctionDef&, const Args&, const SqlType&);
Value datediff(const FunctionDef&, const Args&, const SqlType&);
Value datediffBig(const FunctionDef&, const Args&, const SqlType&);
Value datepart(const FunctionDef&, const Args&, const SqlType&);
Value datename(const FunctionDef&, const Args&, const SqlType&);
Value year(const FunctionDef&, const Args&, const SqlType&);
Value month(const FunctionDef&, const Args&, const SqlType&);
Value day(const FunctionDef&, const Args&, const SqlType&);
Value eomonth(const FunctionDef&, const Args&, const SqlType&);
Value datefromparts(const FunctionDef&, const Args&, const SqlType&);
Value datetimefromparts(const FunctionDef&, const Args&, const SqlType&);
Value timefromparts(const FunctionDef&, const Args&, const SqlType&);
// The time data type in the date functions (TimeFunctions.cpp): a part of the day (hour down to
// nanosecond), n units added around the clock, the boundaries crossed between a time and another
// time or date.
qint64 timePart(DatePart part, qint64 ticks);
Value timeDateadd(DatePart part, qint64 n, const Value& time, const SqlType& type);
qint64 timeDatediff(DatePart part, const Value& from, const Value& to);

// ---- NULLs, logic, errors and the rest ----
Value isnull(const FunctionDef&, const Args&, const SqlType&);
Value coalesce(const FunctionDef&, const Args&, const SqlType&);
Value nullif(const FunctionDef&, const Args&, const SqlType&);
Value isnumeric(const FunctionDef&, const Args&, const SqlType&);
Value isdate(const FunctionDef&, const Args&, const SqlType&);
Value objectId(const FunctionDef&, const Args&, const SqlType&);
Value newid(const FunctionDef&, const Args&, const SqlType&);
// The server, the database and the session (SystemFunctions.cpp).
Value serverPropertyValue(const FunctionDef&, const Args&, const SqlType&);
Value dbName(const FunctionDef&, const Args&, const SqlType&);
Value dbId(const FunctionDef&, const Args&, const SqlType&);
Value loginName(const FunctionDef&, const Args&, const SqlType&);
Value userName(const FunctionDef&, const Args&, const SqlType&);
Value schemaName(const FunctionDef&, const Args&, const SqlType&);
Value schemaId(const FunctionDef&, const Args&, const SqlType&);
Value objectName(const FunctionDef&, const Args&, const SqlType&);
Value iif(const FunctionDef&, CallSite&, const SqlType&);
Value choose(const FunctionDef&, CallSite&, const SqlType&);
Value errorNumber(const FunctionDef&, CallSite&, const SqlType&);
Value errorMessage(const FunctionDef&, CallSite&, const SqlType&);
Value errorLine(const FunctionDef&, CallSite&, const SqlType&);
Value errorSeverity(const FunctionDef&, CallSite&, const SqlType&);
Value errorState(const FunctionDef&, CallSite&, const SqlType&);

// ---- aggregates ----
Value count(const FunctionDef&, std::span<const Value>, const SqlType&);
Value max(const FunctionDef&, std::span<const Value>, const SqlType&);
Value min(const FunctionDef&, std::span<const Value>, const SqlType&);
Value sum(const FunctionDef&, std::span<const Value>, const SqlType&);
Value avg(const FunctionDef&, std::span<const Value>, const SqlType&);
// STRING_AGG: the separator first, then the group's values in their order.
Value stringAgg(const FunctionDef&, std::span<const Value>, const SqlType&);

} // namespace tsql::builtin
