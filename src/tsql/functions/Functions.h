#pragma once

// The built-in functions of the engine: one table with a row per function (FunctionRegistry.cpp)
// says how many arguments it takes, the type of its result, how it is evaluated and how the
// SQLite text of a query over tables calls it. A call is looked up in the table once, while the
// batch is compiled; the bound call keeps its row (Expr::function), so that running it compares
// no names.

#include "tsql/values/Value.h"

#include <QStringList>

#include <optional>
#include <span>
#include <vector>

namespace tsql {

struct FunctionDef;

// What a function that reads its own arguments sees of its call: IIF and CHOOSE evaluate only
// the argument they return, the ERROR_ functions read the error the CATCH block handles.
class CallSite {
public:
    virtual std::size_t argumentCount() const = 0;
    virtual Value argument(std::size_t k) = 0;
    // Argument k, a condition, is true (neither false nor unknown).
    virtual bool isTrue(std::size_t k) = 0;
    // The error of the innermost CATCH block running, null outside one.
    virtual const ServerError* caughtError() const = 0;

protected:
    ~CallSite() = default;
};

// The result type for the arguments' types; may refuse them (Msg 8117).
using TypeRule = SqlType (*)(const FunctionDef& f, const std::vector<SqlType>& args);
// A scalar function of its evaluated arguments; `type` is the result type of the call.
using ScalarFn = Value (*)(const FunctionDef& f, const std::vector<Value>& args, const SqlType& type);
// A function that evaluates its arguments itself.
using LazyFn = Value (*)(const FunctionDef& f, CallSite& call, const SqlType& type);
// An aggregate: its result from the values of a group (NULLs left out, DISTINCT applied).
using FoldFn = Value (*)(const FunctionDef& f, std::span<const Value> values, const SqlType& type);

// How a row evaluates: exactly one of the three is set.
struct Evaluation {
    constexpr Evaluation(ScalarFn f)
        : scalar(f) {}
    constexpr Evaluation(LazyFn f)
        : lazy(f) {}
    constexpr Evaluation(FoldFn f)
        : fold(f) {}
    ScalarFn scalar = nullptr;
    LazyFn lazy = nullptr;
    FoldFn fold = nullptr;
};

// NULL arguments: most functions return NULL when any argument is NULL, checked before their
// evaluator runs; the others decide for themselves (ISNULL, COALESCE, CONCAT, ROUND, ...).
enum class Nulls { Propagate, Own };

// How the parser reads the first argument: as any expression, as a date part written as a bare
// word (DATEADD(day, ...)), as a condition (IIF), or as an expression or * (COUNT(*)).
enum class FirstArgument { Value, Datepart, Condition, ValueOrStar };

// How the SQLite text of a query over tables calls the function.
enum class SqlForm {
    Engine,     // tsql_<name>(...): a SQLite function of the connection that runs the row's evaluator
    Native,     // NAME(...): SQLite's own function of the same name and meaning
    IfNull,     // IFNULL(a, b)
    TrimBlank,  // TRIM(a, ' '): blanks only, as T-SQL's TRIM; with characters to remove, tsql_trim
    IifCase,    // CASE WHEN c THEN a ELSE b END
    ChooseCase, // CASE CAST(i AS INTEGER) WHEN 1 THEN a1 WHEN 2 THEN a2 ... END
    Count,      // COUNT([DISTINCT] x | *)
    Aggregate,  // NAME([DISTINCT] x), texts under the engine's collation
    Ordered,    // tsql_<name>(x, separator, limit, key1, desc1, ...): STRING_AGG, keys sorted by the engine
    Value,      // none: a function without arguments is computed once and sent as a parameter
};

// Arguments that may not be the NULL constant, whose type the server could not know: not all
// of them (COALESCE, Msg 4127), not the first (NULLIF, Msg 4151), not every result (IIF, a CASE
// underneath, Msg 8133).
enum class NullConstant { Allowed, NotAll, NotFirst, NotAllResults };

struct FunctionDef {
    const char* name; // upper case, as T-SQL writes it
    // The arguments as the function's documentation names them, optional ones in brackets
    // ("numeric_expression, length [, function]"); empty for none. The editor's completion shows it.
    const char* arguments;
    int minArgs;
    int maxArgs;
    TypeRule type;
    Evaluation eval;
    SqlForm sql = SqlForm::Engine;
    Nulls nulls = Nulls::Propagate;
    FirstArgument first = FirstArgument::Value;
    NullConstant nullConstant = NullConstant::Allowed;

    bool aggregate() const { return eval.fold != nullptr; }
};

// Every built-in function, in the table's order.
std::span<const FunctionDef> builtinFunctions();
// The row of a function (upper-case name), or null for a name that is no built-in function.
const FunctionDef* findFunction(const QString& upperName);
// Msg 174 "The %s function requires %d argument(s)." for a function of a fixed count, Msg 189
// "The %s function requires %d to %d arguments." for one that takes a range.
void checkArgumentCount(const FunctionDef& f, int count, int line, int column);
// The name the SQLite text calls a function of SqlForm::Engine by.
QString sqliteFunctionName(const FunctionDef& f);
// Calls a scalar function on evaluated arguments, NULLs handled as the row says.
Value callScalar(const FunctionDef& f, const std::vector<Value>& args, const SqlType& type);

// The date parts of DATEADD, DATEDIFF, DATEPART and DATENAME.
enum class DatePart {
    Year,
    Quarter,
    Month,
    DayOfYear,
    Day,
    Week,
    IsoWeek, // the ISO 8601 week, DATEPART and DATENAME only
    Weekday,
    Hour,
    Minute,
    Second,
    Millisecond,
    Microsecond,
    Nanosecond
};
// The date part a word names (YEAR, YY, YYYY, ...; any case), or Msg 155 naming `function`.
DatePart datepartOf(const QString& word, const QString& function);

// A value of STRING_AGG's group with the keys of its WITHIN GROUP (ORDER BY ...).
struct KeyedValue {
    Value value;
    std::vector<Value> keys;
};

// STRING_AGG of a group's values (NULLs left out before): sorted by their keys (NULLs first in
// ascending order, `desc` for the descending keys; equal keys keep their order), joined by the
// separator (a NULL one joins with nothing); NULL for no value. A result of a type other than a
// (max) one stops at 8,000 bytes (Msg 9829).
Value stringAggregate(std::vector<KeyedValue>& rows, const Value& separator, const std::vector<bool>& desc,
                      const SqlType& type);

// STRING_SPLIT: the pieces of `text` between the occurrences of the separator (one character,
// Msg 214 otherwise, found under the collation), as values of `type`; none for a NULL text.
std::vector<Value> stringSplit(const Value& text, const Value& separator, const SqlType& type);

// PARSE and TRY_PARSE (text AS type [USING culture]): the text read in the culture (the
// session's language without one); Msg 9819 for a text it does not read (NULL for TRY_PARSE),
// Msg 9818 for a culture that is none. `type` is a number or a date type.
Value parseValue(const Value& text, const SqlType& type, const Value* culture, bool tryParse);

// LIKE with SQL Server's wildcards (% _ [set] [^set]), case-insensitive.
bool likeMatch(QStringView value, const QString& pattern, QChar escape = QChar());

// Who answers: the version of SQL Server the engine answers as (the interface's ServerVersion.h
// fills it in), the server's name and the login of the session.
struct ServerIdentity {
    QString productVersion; // "15.0.2000.5"
    QString productLevel;   // "RTM"
    int major = 0;          // 15
    QString serverName = QStringLiteral("EMBEDDED");
    QString login = QStringLiteral("dbo"); // the login of a TDS session; dbo in process
};

// The tables and views of the database as OBJECT_ID looks them up. The catalogue the batch is
// bound against (Catalog, a stage above) is one, made current for the batch's duration.
class ObjectCatalog {
public:
    // The object id of a table or view (type "U" or "V"; empty for either), nullopt for none.
    virtual std::optional<qint64> objectId(const QString& name, const QString& type) = 0;
    // The name of the table or view of an object id, nullopt for none.
    virtual std::optional<QString> objectName(qint64 id) = 0;
    // The database's name (DB_NAME()).
    virtual QString databaseName() const = 0;
    virtual const ServerIdentity& server() const = 0;

protected:
    ~ObjectCatalog() = default;
};

// The catalogue of the batch running on this thread (OBJECT_ID reads it), null outside one.
ObjectCatalog* currentCatalog();

// Makes `catalog` the current one of this thread for the scope's lifetime.
class CurrentCatalog {
public:
    explicit CurrentCatalog(ObjectCatalog* catalog);
    ~CurrentCatalog();
    CurrentCatalog(const CurrentCatalog&) = delete;
    CurrentCatalog& operator=(const CurrentCatalog&) = delete;

private:
    ObjectCatalog* m_previous;
};

// The text of @@VERSION for the server it describes.
QString versionText(const ServerIdentity& server);
// SERVERPROPERTY(name): the property as text, nullopt for a name the server does not know (NULL).
std::optional<QString> serverProperty(const ServerIdentity& server, const QString& property);
// The functions that read the catalogue of the batch (OBJECT_ID, DB_NAME, ...): a compiled
// formula, which has none, refuses them.
bool readsCatalog(const FunctionDef& f);

// The parts of a multi-part object name ('db.dbo.T', '[my table]', 'db..T'), brackets and
// quotes undone; empty for a name that is not well formed.
QStringList splitObjectName(const QString& name);

} // namespace tsql
