// The table of built-in functions is the only list of them: every row is checked for its
// argument counts (Msg 174 for a fixed count, Msg 189 for a range, with the server's texts), for
// running in the engine and in a query over a table, and the binder accepts no other name.

#include "tsql/Session.h"
#include "tsql/functions/Functions.h"

#include "TestDb.h"

#include <QSet>

#include <gtest/gtest.h>

using tsql::FirstArgument;
using tsql::FunctionDef;

namespace {

// A call of `f` with `count` arguments: the first as its row reads it, the others `value`.
QString call(const FunctionDef& f, int count, const QString& value = QStringLiteral("1"),
             const QString& condition = QStringLiteral("1 = 1")) {
    QStringList args;
    for (int k = 0; k < count; ++k) {
        if (k == 0 && f.first == FirstArgument::Datepart)
            args << QStringLiteral("day");
        else if (k == 0 && f.first == FirstArgument::Condition)
            args << condition;
        else
            args << value;
    }
    return QStringLiteral("SELECT %1(%2)").arg(QString::fromLatin1(f.name), args.join(QStringLiteral(", ")));
}

QString lowerName(const FunctionDef& f) {
    return QString::fromLatin1(f.name).toLower();
}

class FunctionRegistry : public tsqltest::SessionTest {};

TEST_F(FunctionRegistry, RowsAreUniqueAndComplete) {
    QSet<QString> names;
    for (const FunctionDef& f : tsql::builtinFunctions()) {
        const QString name = QString::fromLatin1(f.name);
        EXPECT_FALSE(names.contains(name)) << f.name << " appears twice";
        names.insert(name);
        EXPECT_EQ(name, name.toUpper()) << f.name;
        EXPECT_EQ(tsql::findFunction(name), &f) << f.name;
        EXPECT_LE(f.minArgs, f.maxArgs) << f.name;
        EXPECT_NE(f.type, nullptr) << f.name;
        const int evaluators = (f.eval.scalar ? 1 : 0) + (f.eval.lazy ? 1 : 0) + (f.eval.fold ? 1 : 0);
        EXPECT_EQ(evaluators, 1) << f.name;
        // SQLite can only call an evaluator of evaluated arguments.
        if (f.sql == tsql::SqlForm::Engine) {
            EXPECT_NE(f.eval.scalar, nullptr) << f.name;
        }
        // Aggregates are written as SQLite's aggregates or the engine's own, and only they are.
        EXPECT_EQ(f.aggregate(), f.sql == tsql::SqlForm::Count || f.sql == tsql::SqlForm::Aggregate ||
                                     f.sql == tsql::SqlForm::Ordered)
            << f.name;
        // A function written as a parameter takes no argument, so never reads a row.
        if (f.sql == tsql::SqlForm::Value) {
            EXPECT_EQ(f.maxArgs, 0) << f.name;
        }
    }
}

TEST_F(FunctionRegistry, OneArgumentTooFewOrTooManyIsMsg174Or189) {
    for (const FunctionDef& f : tsql::builtinFunctions()) {
        const bool fixed = f.minArgs == f.maxArgs;
        const QString message =
            fixed
                ? QStringLiteral("The %1 function requires %2 argument(s).").arg(lowerName(f)).arg(f.minArgs)
                : QStringLiteral("The %1 function requires %2 to %3 arguments.")
                      .arg(lowerName(f))
                      .arg(f.minArgs)
                      .arg(f.maxArgs);
        std::vector<int> wrong{f.maxArgs + 1};
        if (f.minArgs > 0)
            wrong.push_back(f.minArgs - 1);
        for (int count : wrong) {
            const QString batch = call(f, count);
            auto e = session.compile(batch);
            ASSERT_TRUE(e.has_value()) << batch.toStdString();
            EXPECT_EQ(e->number, fixed ? 174 : 189) << batch.toStdString();
            EXPECT_EQ(e->level, 15) << batch.toStdString();
            EXPECT_EQ(e->line, 1) << batch.toStdString();
            EXPECT_EQ(e->message, message) << batch.toStdString();
        }
    }
}

TEST_F(FunctionRegistry, EveryAcceptedCountCompiles) {
    for (const FunctionDef& f : tsql::builtinFunctions()) {
        // SUBSTRING reads a text (a number is Msg 8116); a text converts to the other arguments.
        const QString value = qstrcmp(f.name, "SUBSTRING") == 0 ? QStringLiteral("'1'") : QStringLiteral("1");
        for (int count : {f.minArgs, std::min(f.maxArgs, f.minArgs + 2)}) {
            const QString batch = call(f, count, value);
            auto e = session.compile(batch);
            EXPECT_FALSE(e.has_value()) << batch.toStdString() << " -> " << e->message.toStdString();
        }
    }
}

// Every function runs in the engine (variables, constants) and in a query SQLite runs over a
// table: a value may be refused, but no function is missing from either.
TEST_F(FunctionRegistry, EveryFunctionRunsInTheEngineAndOverATable) {
    const QSet<int> missing = {195, 40000, 50000};
    for (const FunctionDef& f : tsql::builtinFunctions()) {
        const QString local = call(f, f.minArgs);
        tsql::RunResult r = session.run(local);
        if (r.error) {
            EXPECT_FALSE(missing.contains(r.error->number))
                << local.toStdString() << " -> " << r.error->message.toStdString();
        }
        if (f.minArgs == 0)
            continue;
        const QString overTable =
            call(f, f.minArgs, QStringLiteral("CM01_INDTIPODATO"), QStringLiteral("CM01_INDTIPODATO = 1")) +
            QStringLiteral(" FROM CM01_CATEGORIECOMM");
        r = session.run(overTable);
        // TIMEFROMPARTS takes its precision as a constant only: a column there is refused by name
        if (r.error && qstrcmp(f.name, "TIMEFROMPARTS") == 0) {
            EXPECT_TRUE(r.error->message.contains(QStringLiteral("constant from 0 to 7")))
                << r.error->message.toStdString();
        } else if (r.error) {
            EXPECT_FALSE(missing.contains(r.error->number))
                << overTable.toStdString() << " -> " << r.error->message.toStdString();
        }
    }
}

TEST_F(FunctionRegistry, RowsWrittenAsCaseAndCountStarRunOverATable) {
    tsql::RunResult r = session.run(QStringLiteral("SELECT COUNT_BIG(*), COUNT(*) FROM CM01_CATEGORIECOMM"));
    ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
    ASSERT_EQ(r.resultSets.size(), 1u);
    EXPECT_EQ(tsql::toText(r.resultSets[0].rows[0][0]), QStringLiteral("3"));
    EXPECT_EQ(r.resultSets[0].types[0].id, tsql::TypeId::BigInt);
    r = session.run(
        QStringLiteral("SELECT CHOOSE(CM01_INDTIPODATO + 1, 'a', 'b', 'c'), IIF(CM01_INDTIPODATO > 0, "
                       "'y', 'n') FROM CM01_CATEGORIECOMM ORDER BY CM01_IDCATEGORIA"));
    ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
    EXPECT_EQ(tsqltest::rowTexts(r).join(u';'), QStringLiteral("a|n;b|y;c|y"));
}

// The binder accepts a name if and only if the table has a row for it: the built-in functions of
// T-SQL the engine lacks are Msg 195, as a misspelt name is.
TEST_F(FunctionRegistry, TheBinderAcceptsTheTablesNamesAndNoOther) {
    QStringList names = {
        // aggregates
        "APPROX_COUNT_DISTINCT", "AVG", "CHECKSUM_AGG", "COUNT", "COUNT_BIG", "GROUPING", "GROUPING_ID",
        "MAX", "MIN", "STDEV", "STDEVP", "STRING_AGG", "SUM", "VAR", "VARP",
        // mathematics
        "ABS", "ACOS", "ASIN", "ATAN", "ATN2", "CEILING", "COS", "COT", "DEGREES", "EXP", "FLOOR", "LOG",
        "LOG10", "PI", "POWER", "RADIANS", "RAND", "ROUND", "SIGN", "SIN", "SQRT", "SQUARE", "TAN",
        // strings
        "ASCII", "CHAR", "CHARINDEX", "CONCAT", "CONCAT_WS", "DIFFERENCE", "FORMAT", "LEFT", "LEN", "LOWER",
        "LTRIM", "NCHAR", "PATINDEX", "QUOTENAME", "REPLACE", "REPLICATE", "REVERSE", "RIGHT", "RTRIM",
        "SOUNDEX", "SPACE", "STR", "STRING_ESCAPE", "STUFF", "SUBSTRING", "TRANSLATE", "TRIM", "UNICODE",
        "UPPER",
        // dates
        "DATEADD", "DATEDIFF", "DATEDIFF_BIG", "DATEFROMPARTS", "DATENAME", "DATEPART", "DATETIME2FROMPARTS",
        "DATETIMEFROMPARTS", "DATETRUNC", "DAY", "EOMONTH", "GETDATE", "GETUTCDATE", "ISDATE", "MONTH",
        "SMALLDATETIMEFROMPARTS", "SWITCHOFFSET", "SYSDATETIME", "SYSDATETIMEOFFSET", "SYSUTCDATETIME",
        "TIMEFROMPARTS", "TODATETIMEOFFSET", "YEAR",
        // logic, NULLs, system
        "CHOOSE", "IIF", "GREATEST", "LEAST", "COALESCE", "NULLIF", "ISNULL", "ISNUMERIC", "NEWID",
        "NEWSEQUENTIALID", "ERROR_LINE", "ERROR_MESSAGE", "ERROR_NUMBER", "ERROR_PROCEDURE", "ERROR_SEVERITY",
        "ERROR_STATE", "XACT_STATE", "SCOPE_IDENTITY", "IDENT_CURRENT", "OBJECT_ID", "DB_NAME", "DB_ID",
        "SUSER_SNAME", "HOST_NAME", "APP_NAME", "CHECKSUM", "BINARY_CHECKSUM", "COMPRESS", "DECOMPRESS",
        "FORMATMESSAGE", "ISJSON", "JSON_VALUE", "JSON_QUERY", "JSON_MODIFY",
        // misspelt
        "ARROTONDA", "ISNUL", "GETDATES"};
    for (const FunctionDef& f : tsql::builtinFunctions())
        names << QString::fromLatin1(f.name);
    for (const QString& name : names) {
        const QString batch = QStringLiteral("SELECT %1(1)").arg(name);
        auto e = session.compile(batch);
        // GROUPING and GROUPING_ID are read by the binder itself, against the query's GROUP BY.
        if (tsql::findFunction(name) || name == u"GROUPING" || name == u"GROUPING_ID") {
            EXPECT_TRUE(!e || e->number != 195) << batch.toStdString();
        } else {
            ASSERT_TRUE(e.has_value()) << batch.toStdString();
            EXPECT_EQ(e->number, 195) << batch.toStdString();
            EXPECT_EQ(e->message,
                      QStringLiteral("'%1' is not a recognized built-in function name.").arg(name))
                << batch.toStdString();
        }
    }
}

} // namespace
