// The table of the built-in functions: the only list of them. The parser reads a call's first
// argument as its row says, the binder checks the argument count and takes the result type from
// it, the evaluator and SQLite call its evaluator, and the SQL generator writes its SqlForm.

#include "tsql/functions/BuiltinFunctions.h"

#include "tsql/base/Messages.h"

#include <QHash>

namespace tsql {

namespace {

using Types = std::vector<SqlType>;

// ---- result-type rules ("Functions (Transact-SQL)", the return type of each function) ----

template <TypeId Id> SqlType fixed(const FunctionDef&, const Types&) {
    return SqlType::of(Id);
}

SqlType text(TypeId id, int length) {
    return SqlType{id, 0, 0, length, false};
}

// A text result of the argument's kind (nvarchar for a Unicode argument).
SqlType stringResult(const SqlType& in, int length) {
    return text(in.isUnicode() ? TypeId::NVarChar : TypeId::VarChar, length);
}

// The type of the mathematical functions that return their argument's type: int for bit,
// tinyint, smallint and NULL; float for a text.
SqlType intLike(const SqlType& t) {
    if (t.id == TypeId::Bit || t.id == TypeId::TinyInt || t.id == TypeId::SmallInt || t.id == TypeId::Unknown)
        return SqlType::of(TypeId::Int);
    if (t.isString())
        return SqlType::of(TypeId::Float);
    return t;
}

SqlType dominantFrom(const Types& a, std::size_t from) {
    SqlType t;
    for (std::size_t k = from; k < a.size(); ++k)
        t = dominantType(t, a[k]);
    return t;
}

SqlType typeOfFirst(const FunctionDef&, const Types& a) {
    return a[0];
}

// ISNULL: the type of the first argument, unless that is an untyped NULL; int for two of them.
SqlType isnullType(const FunctionDef&, const Types& a) {
    const SqlType& t = a[0].id == TypeId::Unknown ? a[1] : a[0];
    return t.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : t;
}

SqlType dominantOfAll(const FunctionDef&, const Types& a) {
    return dominantFrom(a, 0);
}

// IIF and CHOOSE: the type of highest precedence among the values they may return.
SqlType dominantOfResults(const FunctionDef&, const Types& a) {
    return dominantFrom(a, 1);
}

SqlType numericType(const FunctionDef&, const Types& a) {
    return intLike(a[0]);
}

// FLOOR and CEILING of a decimal keep its precision with scale 0.
SqlType floorType(const FunctionDef&, const Types& a) {
    SqlType t = intLike(a[0]);
    if (t.id == TypeId::Decimal)
        t.scale = 0;
    return t;
}

// POWER of a decimal is decimal(38, s).
SqlType powerType(const FunctionDef&, const Types& a) {
    SqlType t = intLike(a[0]);
    if (t.id == TypeId::Decimal)
        t = SqlType::decimal(38, t.scale);
    return t;
}

// The string functions that return their argument's type and length (30 for a non-text).
SqlType sameString(const FunctionDef&, const Types& a) {
    return stringResult(a[0], a[0].isString() ? a[0].length : 30);
}

// REPLACE and REPLICATE: a (max) argument stays one, any other result is 8,000 bytes long.
SqlType replaceType(const FunctionDef&, const Types& a) {
    const bool large = a[0].isString() && (a[0].length < 0 || a[0].length > (a[0].isUnicode() ? 4000 : 8000));
    return stringResult(a[0], large ? -1 : (a[0].isUnicode() ? 4000 : 8000));
}

SqlType concatType(const FunctionDef&, const Types& a) {
    return stringResult(dominantFrom(a, 0), -1);
}

// PATINDEX: bigint when it searches a (max) value, int otherwise.
SqlType patindexType(const FunctionDef&, const Types& a) {
    const bool large = a[1].isString() && a[1].length < 0;
    return SqlType::of(large ? TypeId::BigInt : TypeId::Int);
}

// FORMAT takes a number or a date (Msg 8116 for a text, bit or xml); nvarchar(4000).
SqlType formatType(const FunctionDef& f, const Types& a) {
    const SqlType& t = a[0];
    if (t.isString() || t.id == TypeId::Bit || t.id == TypeId::Xml || t.id == TypeId::XmlNode ||
        t.id == TypeId::UniqueIdentifier)
        raise<Msg::InvalidArgumentType>(t.name(), QString::fromLatin1(f.name).toLower());
    if (t.isTime())
        raise<Msg::FormatTypeNotSupported>(t.name());
    return text(TypeId::NVarChar, 4000);
}

SqlType quotenameType(const FunctionDef&, const Types&) {
    return text(TypeId::NVarChar, 258);
}

SqlType varcharMax(const FunctionDef&, const Types&) {
    return SqlType::varchar(-1);
}

SqlType strType(const FunctionDef&, const Types&) {
    return SqlType::varchar(10);
}

SqlType datenameType(const FunctionDef&, const Types&) {
    return text(TypeId::NVarChar, 30);
}

SqlType charType(const FunctionDef&, const Types&) {
    return text(TypeId::Char, 1);
}

SqlType ncharType(const FunctionDef&, const Types&) {
    return text(TypeId::NChar, 1);
}

// The names the metadata functions return: sysname, nvarchar(128).
SqlType sysnameType(const FunctionDef&, const Types&) {
    return text(TypeId::NVarChar, 128);
}

SqlType errorMessageType(const FunctionDef&, const Types&) {
    return text(TypeId::NVarChar, 4000);
}

// DATEADD returns the type of its date argument (datetime for a text).
SqlType dateaddType(const FunctionDef&, const Types& a) {
    return a[2].isDate() || a[2].isTime() ? a[2] : SqlType::of(TypeId::DateTime);
}

// TIMEFROMPARTS: time(precision), its precision set by the binder from the constant.
SqlType timeType(const FunctionDef&, const Types&) {
    return SqlType::time();
}

// ISDATE reads a text, or a datetime or smalldatetime; date, datetime2 and xml are refused
// ("ISDATE (Transact-SQL)", Msg 8116).
SqlType isdateType(const FunctionDef& f, const Types& a) {
    if (a[0].isNumberlessDate() || a[0].id == TypeId::Xml || a[0].id == TypeId::XmlNode)
        raise<Msg::InvalidArgumentType>(a[0].name(), QString::fromLatin1(f.name).toLower());
    if (a[0].isTime())
        raise<Msg::TimeValueNotSupported>(QStringLiteral("ISDATE of a time"));
    return SqlType::of(TypeId::Int);
}

// An aggregate refuses an argument of a type it cannot compute on (Msg 8117): bit for all of
// them, as for SUM, AVG, MIN and MAX.
void refuseOperand(const FunctionDef& f, const SqlType& t, bool refused) {
    if (refused || t.id == TypeId::Bit)
        invalidOperand(t, QString::fromLatin1(f.name).toLower());
}

// SUM and AVG of a decimal are decimal(38, s) (AVG at least 6 decimals), of smallmoney money;
// texts, dates, xml and bit are refused (Msg 8117).
SqlType sumOrAvgType(const FunctionDef& f, const Types& a, bool average) {
    refuseOperand(f, a[0], a[0].isString() || a[0].isDate() || a[0].isTime() || a[0].id == TypeId::Xml);
    SqlType t = intLike(a[0]);
    if (t.id == TypeId::Decimal)
        t = SqlType::decimal(38, average ? std::max(t.scale, 6) : t.scale);
    if (t.id == TypeId::SmallMoney)
        t = SqlType::of(TypeId::Money);
    return t;
}

// MIN and MAX: the argument's type; bit and xml are refused (Msg 8117).
SqlType minMaxType(const FunctionDef& f, const Types& a) {
    refuseOperand(f, a[0], a[0].id == TypeId::Xml);
    return a[0];
}

// STRING_AGG: a text keeps its kind, 8,000 bytes long unless it is a (max) one; any other value
// gives nvarchar(4000) ("STRING_AGG (Transact-SQL)", return types).
SqlType stringAggType(const FunctionDef&, const Types& a) {
    if (!a[0].isString())
        return text(TypeId::NVarChar, 4000);
    if (a[0].length < 0)
        return stringResult(a[0], -1);
    return stringResult(a[0], a[0].isUnicode() ? 4000 : 8000);
}

SqlType sumType(const FunctionDef& f, const Types& a) {
    return sumOrAvgType(f, a, false);
}

SqlType avgType(const FunctionDef& f, const Types& a) {
    return sumOrAvgType(f, a, true);
}

constexpr auto Int = TypeId::Int;
constexpr auto BigInt = TypeId::BigInt;
constexpr auto SmallInt = TypeId::SmallInt;
constexpr auto Float = TypeId::Float;
constexpr auto Date = TypeId::Date;
constexpr auto DateTime = TypeId::DateTime;
constexpr auto DateTime2 = TypeId::DateTime2;
constexpr auto Guid = TypeId::UniqueIdentifier;
constexpr auto Own = Nulls::Own;
constexpr auto Engine = SqlForm::Engine;
constexpr auto Native = SqlForm::Native;
constexpr auto IfNull = SqlForm::IfNull;
constexpr auto TrimBlank = SqlForm::TrimBlank;
constexpr auto IifCase = SqlForm::IifCase;
constexpr auto ChooseCase = SqlForm::ChooseCase;
constexpr auto Count = SqlForm::Count;
constexpr auto Aggregate = SqlForm::Aggregate;
constexpr auto Ordered = SqlForm::Ordered;
constexpr auto Param = SqlForm::Value;
constexpr auto Datepart = FirstArgument::Datepart;
constexpr auto Condition = FirstArgument::Condition;
constexpr auto OrStar = FirstArgument::ValueOrStar;
constexpr auto Plain = FirstArgument::Value;
constexpr auto NotAllNull = NullConstant::NotAll;
constexpr auto NotFirstNull = NullConstant::NotFirst;
constexpr auto NotAllResultsNull = NullConstant::NotAllResults;

namespace fn = builtin;

// One row per function. Columns left out take their defaults: SQL form Engine, NULLs Propagate,
// first argument Value, NULL constants allowed.
// clang-format off
constexpr FunctionDef kFunctions[] = {
    // name           arguments, as the documentation of the function writes them   min  max  result type          evaluator          SQL form    NULLs      first arg. NULL constants
    // NULLs and logic
    {"ISNULL",          "check_expression, replacement_value",                          2,   2, isnullType,          fn::isnull,        IfNull,     Own},
    {"COALESCE",        "expression1, expression2 [, ...n]",                            2, 254, dominantOfAll,       fn::coalesce,      Native,     Own,       Plain,     NotAllNull},
    {"NULLIF",          "expression1, expression2",                                     2,   2, typeOfFirst,         fn::nullif,        Native,     Own,       Plain,     NotFirstNull},
    {"IIF",             "boolean_expression, true_value, false_value",                  3,   3, dominantOfResults,   fn::iif,           IifCase,    Own,       Condition, NotAllResultsNull},
    {"CHOOSE",          "index, value1 [, ...n]",                                       2, 254, dominantOfResults,   fn::choose,        ChooseCase, Own},
    {"ISNUMERIC",       "expression",                                                   1,   1, fixed<Int>,          fn::isnumeric,     Engine,     Own},
    {"ISDATE",          "expression",                                                   1,   1, isdateType,          fn::isdate,        Engine,     Own},
    // mathematics
    {"ROUND",           "numeric_expression, length [, function]",                      2,   3, numericType,         fn::round,         Engine,     Own},
    {"FLOOR",           "numeric_expression",                                           1,   1, floorType,           fn::floor},
    {"CEILING",         "numeric_expression",                                           1,   1, floorType,           fn::ceiling},
    {"ABS",             "numeric_expression",                                           1,   1, numericType,         fn::abs},
    {"SIGN",            "numeric_expression",                                           1,   1, numericType,         fn::sign},
    {"POWER",           "float_expression, y",                                          2,   2, powerType,           fn::power},
    {"SQRT",            "float_expression",                                             1,   1, fixed<Float>,        fn::sqrt},
    {"SQUARE",          "float_expression",                                             1,   1, fixed<Float>,        fn::square},
    {"EXP",             "float_expression",                                             1,   1, fixed<Float>,        fn::exp},
    {"LOG",             "float_expression [, base]",                                    1,   2, fixed<Float>,        fn::log},
    {"LOG10",           "float_expression",                                             1,   1, fixed<Float>,        fn::log10},
    {"PI",              "",                                                             0,   0, fixed<Float>,        fn::pi,            Param},
    {"RAND",            "[seed]",                                                       0,   1, fixed<Float>,        fn::rand,          Engine,     Own},
    // strings
    {"LEN",             "string_expression",                                            1,   1, fixed<Int>,          fn::len},
    {"DATALENGTH",      "expression",                                                   1,   1, fixed<Int>,          fn::datalength},
    {"LEFT",            "character_expression, integer_expression",                     2,   2, sameString,          fn::left},
    {"RIGHT",           "character_expression, integer_expression",                     2,   2, sameString,          fn::right},
    {"SUBSTRING",       "expression, start, length",                                    3,   3, sameString,          fn::substring},
    {"LTRIM",           "character_expression",                                         1,   1, sameString,          fn::ltrim,         Native},
    {"RTRIM",           "character_expression",                                         1,   1, sameString,          fn::rtrim,         Native},
    {"TRIM",            "string",                                                       1,   1, sameString,          fn::trim,          TrimBlank},
    {"UPPER",           "character_expression",                                         1,   1, sameString,          fn::upper,         Native},
    {"LOWER",           "character_expression",                                         1,   1, sameString,          fn::lower,         Native},
    {"REVERSE",         "string_expression",                                            1,   1, sameString,          fn::reverse},
    {"REPLACE",         "string_expression, string_pattern, string_replacement",        3,   3, replaceType,         fn::replace},
    {"CHARINDEX",       "expression_to_find, expression_to_search [, start_location]",  2,   3, fixed<Int>,          fn::charindex,     Engine,     Own},
    {"REPLICATE",       "string_expression, integer_expression",                        2,   2, replaceType,         fn::replicate},
    {"SPACE",           "integer_expression",                                           1,   1, varcharMax,          fn::space},
    {"STR",             "float_expression [, length [, decimal]]",                      1,   3, strType,             fn::str,           Engine,     Own},
    {"STUFF",           "character_expression, start, length, replace_with_expression",  4,   4, sameString,          fn::stuff},
    {"CONCAT",          "string_value1, string_value2 [, ...n]",                        2, 254, concatType,          fn::concat,        Engine,     Own},
    {"ASCII",           "character_expression",                                         1,   1, fixed<Int>,          fn::ascii},
    {"CHAR",            "integer_expression",                                           1,   1, charType,            fn::char_},
    {"NCHAR",           "integer_expression",                                           1,   1, ncharType,           fn::nchar},
    {"UNICODE",         "ncharacter_expression",                                        1,   1, fixed<Int>,          fn::ascii},
    {"PATINDEX",        "'%pattern%', expression",                                      2,   2, patindexType,        fn::patindex},
    {"CONCAT_WS",       "separator, argument1, argument2 [, ...n]",                     3, 254, concatType,          fn::concatWs,      Engine,     Own},
    {"TRANSLATE",       "input_string, characters, translations",                       3,   3, sameString,          fn::translate},
    {"QUOTENAME",       "character_string [, quote_character]",                         1,   2, quotenameType,       fn::quotename},
    {"FORMAT",          "value, format [, culture]",                                    2,   3, formatType,          fn::format},
    // dates
    {"GETDATE",         "",                                                             0,   0, fixed<DateTime>,     fn::getdate,       Param},
    {"SYSDATETIME",     "",                                                             0,   0, fixed<DateTime2>,    fn::getdate,       Param},
    {"SYSUTCDATETIME",  "",                                                             0,   0, fixed<DateTime2>,    fn::getutcdate,    Param},
    {"GETUTCDATE",      "",                                                             0,   0, fixed<DateTime>,     fn::getutcdate,    Param},
    {"DATEADD",         "datepart, number, date",                                       3,   3, dateaddType,         fn::dateadd,       Engine,     Own,       Datepart},
    {"DATEDIFF",        "datepart, startdate, enddate",                                 3,   3, fixed<Int>,          fn::datediff,      Engine,     Own,       Datepart},
    {"DATEDIFF_BIG",    "datepart, startdate, enddate",                                 3,   3, fixed<BigInt>,       fn::datediffBig,   Engine,     Own,       Datepart},
    {"DATEPART",        "datepart, date",                                               2,   2, fixed<Int>,          fn::datepart,      Engine,     Own,       Datepart},
    {"DATENAME",        "datepart, date",                                               2,   2, datenameType,        fn::datename,      Engine,     Own,       Datepart},
    {"YEAR",            "date",                                                         1,   1, fixed<Int>,          fn::year},
    {"MONTH",           "date",                                                         1,   1, fixed<Int>,          fn::month},
    {"DAY",             "date",                                                         1,   1, fixed<Int>,          fn::day},
    {"EOMONTH",         "start_date [, month_to_add]",                                  1,   2, fixed<Date>,         fn::eomonth},
    {"DATEFROMPARTS",   "year, month, day",                                             3,   3, fixed<Date>,         fn::datefromparts},
    {"DATETIMEFROMPARTS", "year, month, day, hour, minute, seconds, milliseconds",        7,   7, fixed<DateTime>,     fn::datetimefromparts},
    {"TIMEFROMPARTS",   "hour, minute, seconds, fractions, precision",                  5,   5, timeType,            fn::timefromparts},
    // system
    {"NEWID",           "",                                                             0,   0, fixed<Guid>,         fn::newid,         Param},
    {"OBJECT_ID",       "object_name [, object_type]",                                  1,   2, fixed<Int>,          fn::objectId,      Engine,     Own},
    // SERVERPROPERTY answers sql_variant on the server; the engine has no such type and answers the
    // property's text (numbers as their digits), which converts where the variant would.
    {"SERVERPROPERTY",  "'propertyname'",                                               1,   1, sysnameType,         fn::serverPropertyValue},
    {"DB_NAME",         "[database_id]",                                                0,   1, sysnameType,         fn::dbName},
    {"DB_ID",           "['database_name']",                                            0,   1, fixed<SmallInt>,     fn::dbId},
    {"SUSER_NAME",      "[server_user_id]",                                             0,   1, sysnameType,         fn::loginName},
    {"SUSER_SNAME",     "[server_user_sid]",                                            0,   1, sysnameType,         fn::loginName},
    {"USER_NAME",       "[id]",                                                         0,   1, sysnameType,         fn::userName},
    {"SCHEMA_NAME",     "[schema_id]",                                                  0,   1, sysnameType,         fn::schemaName},
    {"SCHEMA_ID",       "[schema_name]",                                                0,   1, fixed<Int>,          fn::schemaId},
    {"OBJECT_NAME",     "object_id [, database_id]",                                    1,   2, sysnameType,         fn::objectName},
    {"ERROR_NUMBER",    "",                                                             0,   0, fixed<Int>,          fn::errorNumber,   Param,      Own},
    {"ERROR_MESSAGE",   "",                                                             0,   0, errorMessageType,    fn::errorMessage,  Param,      Own},
    {"ERROR_LINE",      "",                                                             0,   0, fixed<Int>,          fn::errorLine,     Param,      Own},
    {"ERROR_SEVERITY",  "",                                                             0,   0, fixed<Int>,          fn::errorSeverity, Param,      Own},
    {"ERROR_STATE",     "",                                                             0,   0, fixed<Int>,          fn::errorState,    Param,      Own},
    // aggregates
    {"COUNT",           "[DISTINCT] expression | *",                                    1,   1, fixed<Int>,          fn::count,         Count,      Own,       OrStar},
    {"COUNT_BIG",       "[DISTINCT] expression | *",                                    1,   1, fixed<BigInt>,       fn::count,         Count,      Own,       OrStar},
    {"MAX",             "expression",                                                   1,   1, minMaxType,          fn::max,           Aggregate,  Own},
    {"MIN",             "expression",                                                   1,   1, minMaxType,          fn::min,           Aggregate,  Own},
    {"SUM",             "[DISTINCT] expression",                                        1,   1, sumType,             fn::sum,           Aggregate,  Own},
    {"AVG",             "[DISTINCT] expression",                                        1,   1, avgType,             fn::avg,           Aggregate,  Own},
    {"STRING_AGG",      "expression, separator",                                        2,   2, stringAggType,       fn::stringAgg,     Ordered,    Own},
    // clang-format on
};
// clang-format on

} // namespace

std::span<const FunctionDef> builtinFunctions() {
    return kFunctions;
}

const FunctionDef* findFunction(const QString& upperName) {
    static const QHash<QString, const FunctionDef*> byName = [] {
        QHash<QString, const FunctionDef*> h;
        for (const FunctionDef& f : kFunctions)
            h.insert(QString::fromLatin1(f.name), &f);
        return h;
    }();
    return byName.value(upperName, nullptr);
}

void checkArgumentCount(const FunctionDef& f, int count, int line, int column) {
    if (count >= f.minArgs && count <= f.maxArgs)
        return;
    const QString name = QString::fromLatin1(f.name).toLower();
    if (f.minArgs == f.maxArgs)
        raiseAt<Msg::ArgumentCount>(line, column, name, f.minArgs);
    raiseAt<Msg::ArgumentCountRange>(line, column, name, f.minArgs, f.maxArgs);
}

QString sqliteFunctionName(const FunctionDef& f) {
    return QStringLiteral("tsql_") + QString::fromLatin1(f.name).toLower();
}

Value callScalar(const FunctionDef& f, const std::vector<Value>& args, const SqlType& type) {
    if (f.nulls == Nulls::Propagate)
        for (const Value& v : args)
            if (v.null)
                return Value::nullOf(type);
    return f.eval.scalar(f, args, type);
}

} // namespace tsql
