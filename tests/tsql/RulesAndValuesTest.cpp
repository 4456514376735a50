// The exact texts of the rules the binder checks, and the constructs the engine refuses by name
// rather than answer with a value the server would not give: RAND with a seed, a character a
// code page conversion could render as a look-alike, TOP ... PERCENT in UPDATE and DELETE. What
// it does compute (TOP ... PERCENT and WITH TIES, rounding) is checked row by row.

#include "tsql/Session.h"

#include "TestDb.h"

#include <gtest/gtest.h>

namespace {

using tsqltest::rowTexts;

class RulesAndValuesTest : public tsqltest::SessionTest {};

struct FailsCase {
    const char* batch;
    int number;
    const char* message;
};

const char* const kTable = "CREATE TABLE #t (a int, b int) ";

const FailsCase kFails[] = {
    {"SELECT b FROM #t GROUP BY a", 8120,
     "Column '#t.b' is invalid in the select list because it is not contained in either an aggregate "
     "function or the GROUP BY clause."},
    {"SELECT COUNT(*) FROM #t AS x HAVING x.b > 1", 8121,
     "Column 'x.b' is invalid in the HAVING clause because it is not contained in either an aggregate "
     "function or the GROUP BY clause."},
    {"SELECT a FROM #t GROUP BY a ORDER BY b", 8127,
     "Column \"#t.b\" is invalid in the ORDER BY clause because it is not contained in either an aggregate "
     "function or the GROUP BY clause."},
    {"SELECT DISTINCT a FROM #t ORDER BY b", 145,
     "ORDER BY items must appear in the select list if SELECT DISTINCT is specified."},
    {"SELECT COUNT(*) FROM #t GROUP BY 1", 164,
     "Each GROUP BY expression must contain at least one column that is not an outer reference."},
    {"SELECT COUNT(*) FROM #t GROUP BY (SELECT 1)", 144,
     "Cannot use an aggregate or a subquery in an expression used for the group by list of a GROUP BY "
     "clause."},
    {"SELECT MAX(COUNT(*)) FROM #t", 130,
     "Cannot perform an aggregate function on an expression containing an aggregate or a subquery."},
    {"SELECT 1 FROM #t AS x, #t AS X", 1011,
     "The correlation name 'X' is specified multiple times in a FROM clause."},
    {"SELECT 1 FROM #t JOIN #t ON 1 = 1", 1013,
     "The objects \"#t\" and \"#t\" in the FROM clause have the same exposed names. Use correlation names to "
     "distinguish them."},
    {"SELECT TOP 1 WITH TIES a FROM #t", 1062,
     "The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause."},
    {"SELECT SUM(NULL)", 8117, "Operand data type NULL is invalid for sum operator."},
    {"SELECT CAST(1 AS bit) - CAST(1 AS bit)", 8117,
     "Operand data type bit is invalid for subtract operator."},
    {"SELECT SUBSTRING(NULL, 1, 1)", 8116,
     "Argument data type NULL is invalid for argument 1 of substring function."},
    {"SELECT SUBSTRING(1.5, 1, 1)", 8116,
     "Argument data type numeric is invalid for argument 1 of substring function."},
    {"SELECT DATEPART(hh, CAST('2024-01-01' AS date))", 9810,
     "The datepart hour is not supported by date function datepart for data type date."},
    {"SELECT DATEADD(ms, 1, CAST('2024-01-01' AS date))", 9810,
     "The datepart millisecond is not supported by date function dateadd for data type date."},
    {"UPDATE #t SET a = MAX(b)", 157, "An aggregate may not appear in the set list of an UPDATE statement."},
    {"DELETE FROM #t WHERE COUNT(*) > 1", 147,
     "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING "
     "clause "
     "or a select list, and the column being aggregated is an outer reference."},
    {"SELECT 1 FROM #t AS x JOIN #t AS y ON MAX(x.a) = 1", 1015,
     "An aggregate cannot appear in an ON clause unless it is in a subquery contained in a HAVING clause or "
     "select list, and the column being aggregated is an outer reference."},
    {"SELECT DATEADD(day, 2147483648, '2024-01-01')", 8115,
     "Arithmetic overflow error converting expression to data type int."},
    {"SELECT EOMONTH('9999-12-31', 1)", 517, "Adding a value to a 'date' column caused an overflow."},
    {"SELECT DATEADD(month, 1, CAST('9999-12-01' AS datetime))", 517,
     "Adding a value to a 'datetime' column caused an overflow."},
    {"SELECT POWER(-2.0, 0.5)", 3623, "An invalid floating point operation occurred."},
    {"SELECT POWER(CAST(-2 AS float), 0.5)", 3623, "An invalid floating point operation occurred."},
    // Refused by name: the server's results are not reproduced.
    {"SELECT RAND(7)", 40000, "RAND with a seed is not supported by the embedded server."},
    {"SELECT CAST(N'\xce\xa9' AS varchar(5))", 40000,
     "Converting the character U+03A9 to char or varchar is not supported by the embedded server."},
    {"UPDATE TOP (10) PERCENT #t SET a = 1", 40000,
     "TOP ... PERCENT in UPDATE and DELETE is not supported by the embedded server."},
    {"DELETE TOP (10) PERCENT FROM #t", 40000,
     "TOP ... PERCENT in UPDATE and DELETE is not supported by the embedded server."},
    // Clauses read and not acted on where that could change a result (docs/engine-ignored-clauses.md).
    {"SELECT a FROM #t WITH (INDEX(0))", 40000,
     "The table hint INDEX is not supported by the embedded server."},
    {"SELECT a FROM #t WITH (NOLOCK, HOLDLOCK)", 40000,
     "This combination of table hints is not supported by the embedded server."},
    {"SELECT a FROM #t WITH (NOLOCK, UPDLOCK)", 40000,
     "This combination of table hints is not supported by the embedded server."},
    {"SELECT a FROM #t WITH (FASTEST)", 321,
     "FASTEST is not a recognized table hints option. If it is intended as a parameter to a table-valued "
     "function or to the CHANGETABLE function, ensure that your database compatibility mode is set to 90."},
    {"DELETE FROM #t WITH (NOLOCK)", 1065,
     "The NOLOCK and READUNCOMMITTED lock hints are not allowed for target tables of INSERT, UPDATE, DELETE "
     "or "
     "MERGE statements."},
    {"SET ANSI_NULLS OFF", 40000, "SET ANSI_NULLS OFF is not supported by the embedded server."},
    {"SET CONCAT_NULL_YIELDS_NULL OFF", 40000,
     "SET CONCAT_NULL_YIELDS_NULL OFF is not supported by the embedded server."},
    {"SET NOEXEC ON", 40000, "SET NOEXEC ON is not supported by the embedded server."},
    {"SET ROWCOUNT 5", 40000, "SET ROWCOUNT 5 is not supported by the embedded server."},
    {"SET TRANSACTION ISOLATION LEVEL SNAPSHOT", 40000,
     "SET TRANSACTION ISOLATION LEVEL SNAPSHOT is not supported by the embedded server."},
    {"DECLARE @u TABLE (s varchar(5) COLLATE Latin1_General_CS_AS)", 40000,
     "The collation Latin1_General_CS_AS is not supported by the embedded server."},
    {"DECLARE @u TABLE (n int CHECK (n > 0))", 40000,
     "A CHECK constraint is not supported by the embedded server."},
    {"CREATE TABLE #u (n int, CONSTRAINT c CHECK (n > 0))", 40000,
     "A CHECK constraint is not supported by the embedded server."},
    {"RAISERROR ('x', 10, 1) WITH SETERROR", 40000,
     "RAISERROR ... WITH SETERROR is not supported by the embedded server."},
    {"BEGIN TRAN ROLLBACK TRAN inner_one", 40000,
     "ROLLBACK TRANSACTION with a name is not supported by the embedded server."},
    {"SELECT CONVERT(varchar(30), CAST(1234.5 AS money), 1)", 40000,
     "CONVERT style 1 from money to varchar is not supported by the embedded server."},
    {"SELECT CONVERT(varchar(30), CAST('2024-01-01' AS datetime), 130)", 40000,
     "CONVERT style 130 from datetime to varchar is not supported by the embedded server."},
};

TEST_F(RulesAndValuesTest, RulesGiveTheServersTexts) {
    for (const FailsCase& c : kFails) {
        session.run(QStringLiteral("DROP TABLE IF EXISTS #t"));
        const QString batch = QString::fromLatin1(kTable) + QString::fromUtf8(c.batch);
        QString message;
        EXPECT_EQ(error(batch, &message), c.number) << c.batch << ": " << message.toStdString();
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.batch;
    }
}

struct RunsCase {
    const char* batch;
    const char* rows; // rows joined with ';', values with '|'
};

// #t holds a = 1..6 with b = 10, 20, 20, 30, 30, 30.
const char* const kRows = "CREATE TABLE #t (a int, b int) "
                          "INSERT INTO #t VALUES (1, 10), (2, 20), (3, 20), (4, 30), (5, 30), (6, 30) ";

const RunsCase kRuns[] = {
    // TOP ... WITH TIES: the rows equal to the last one in ORDER BY come too.
    {"SELECT TOP 1 WITH TIES a FROM #t ORDER BY b DESC, a - a", "4;5;6"},
    {"SELECT TOP 2 WITH TIES b FROM #t ORDER BY b", "10;20;20"},
    {"SELECT TOP 0 WITH TIES b FROM #t ORDER BY b", ""},
    {"SELECT TOP 3 WITH TIES b, COUNT(*) FROM #t GROUP BY b ORDER BY 2 DESC", "30|3;20|2;10|1"},
    {"SELECT DISTINCT TOP 1 WITH TIES b FROM #t ORDER BY b DESC", "30"},
    // TOP ... PERCENT: the count rounded up, never down.
    {"SELECT TOP 50 PERCENT a FROM #t ORDER BY a", "1;2;3"},
    {"SELECT TOP 17 PERCENT a FROM #t ORDER BY a", "1;2"},
    {"SELECT TOP 16.66 PERCENT a FROM #t ORDER BY a", "1"},
    {"SELECT TOP 16.67 PERCENT a FROM #t ORDER BY a", "1;2"},
    {"SELECT TOP 0 PERCENT a FROM #t ORDER BY a", ""},
    {"SELECT TOP 100 PERCENT a FROM #t ORDER BY a DESC", "6;5;4;3;2;1"},
    {"DECLARE @p float = 33.34 SELECT TOP (@p) PERCENT a FROM #t ORDER BY a", "1;2;3"},
    {"SELECT TOP 34 PERCENT WITH TIES b FROM #t ORDER BY b", "10;20;20"},
    {"SELECT COUNT(*) FROM (SELECT TOP 50 PERCENT a FROM #t ORDER BY b DESC) AS d", "3"},
    // The same over rows that are no table's.
    {"SELECT TOP 1 WITH TIES x FROM (VALUES (2), (1), (1)) AS v(x) ORDER BY x", "1;1"},
    {"SELECT TOP 34 PERCENT x FROM (VALUES (3), (1), (2)) AS v(x) ORDER BY x DESC", "3;2"},
    // Rounding as the server rounds.
    {"SELECT CAST(CAST(2.5 AS money) AS int), CAST(CAST(-2.5 AS money) AS int), CAST(2.5 AS int)", "3|-3|2"},
    {"SELECT CAST(CAST('1900-01-01 12:00' AS datetime) AS int), CAST(CAST('1900-01-01 11:59:59.997' AS "
     "datetime) "
     "AS int)",
     "1|0"},
    {"SELECT DATEPART(ms, CAST('2024-01-01 00:00:00.001' AS datetime)), DATEPART(ms, CAST('2024-01-01 "
     "00:00:00.002' AS datetime)), DATEPART(ms, CAST('2024-01-01 00:00:00.005' AS datetime)), DATEPART(ms, "
     "CAST('2024-01-01 00:00:00.009' AS datetime))",
     "0|3|7|10"},
    {"SELECT DAY(CAST('2024-01-31 23:59:59.999' AS datetime)), DAY(CAST('2024-01-31 23:59:59.998' AS "
     "datetime))",
     "1|31"},
    {"SELECT DATEPART(mi, CAST('2024-01-01 10:10:29.998' AS smalldatetime)), DATEPART(mi, CAST('2024-01-01 "
     "10:10:29.999' AS smalldatetime))",
     "10|11"},
    {"SELECT ASCII('\xe2\x82\xac'), ASCII(N'\xe6\x97\xa5'), UNICODE(N'\xe2\x82\xac'), UNICODE(CHAR(128)), "
     "ASCII(CHAR(159))",
     "128|63|8364|8364|159"},
    {"SELECT CAST(N'\xe6\x97\xa5\xd0\xaf\xc3\xa8\xe2\x82\xac' AS varchar(10))", "??\xc3\xa8\xe2\x82\xac"},
    // Clauses that change no value.
    {"SELECT COUNT(*) FROM #t WITH (NOLOCK) JOIN #t AS x (NOLOCK) ON x.a = #t.a OPTION (RECOMPILE)", "6"},
    {"SET NOCOUNT ON SET XACT_ABORT ON SET ANSI_NULLS ON SET ROWCOUNT 0 SELECT COUNT(*) FROM #t WITH "
     "(TABLOCK, "
     "HOLDLOCK)",
     "6"},
    {"DECLARE @u TABLE (s varchar(5) COLLATE DATABASE_DEFAULT) INSERT @u VALUES ('A') SELECT COUNT(*) FROM "
     "@u "
     "WHERE s = 'a'",
     "1"},
    {"SELECT CAST('$1,234.56' AS money) * 100, CAST('12,50' AS money), CAST('-\xe2\x82\xac"
     "5' AS money)",
     "123456.00|1250.00|-5.00"},
};

TEST_F(RulesAndValuesTest, ValuesAreTheServers) {
    for (const RunsCase& c : kRuns) {
        session.run(QStringLiteral("DROP TABLE IF EXISTS #t"));
        const QString batch = QString::fromLatin1(kRows) + QString::fromUtf8(c.batch);
        const QStringList rows = rowTexts(ok(batch));
        EXPECT_EQ(rows.join(u';'), QString::fromUtf8(c.rows)) << c.batch;
    }
}

} // namespace
