// The time data type: what the embedded server refuses by name (Msg 40000) because the
// documentation leaves the server's answer open or the engine keeps the other date types to the
// millisecond, and the values a query over tables gives back. The server's own verdicts are in
// cases/time.txt.

#include "TestDb.h"

#include <gtest/gtest.h>

namespace {

struct Refusal {
    const char* batch;
    const char* names; // a part of the message that names the construct
};

class TimeRefusalTest : public tsqltest::SessionTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(TimeRefusalTest, RefusedByName) {
    expectRefusedByName(GetParam().batch, GetParam().names);
}

const Refusal kRefusals[] = {
    {"SELECT {t '10:20:30'}", "{t '...'}"},
    {"DECLARE @t TIME(0) = '23:59:59.6'", "rounds up to midnight"},
    {"DECLARE @t TIME = '23:59:59.9999999' SELECT CAST(@t AS DATETIME)", "rounds up to midnight"},
    {"DECLARE @t TIME = '23:59:45' SELECT CAST(@t AS SMALLDATETIME)", "rounds up to midnight"},
    {"DECLARE @t TIME = '10:00:00.1234567' SELECT CAST(@t AS DATETIME2)", "more than three decimals"},
    {"DECLARE @t TIME = '10:00:00.12345678'", "more than seven decimals"},
    {"DECLARE @t TIME = '10:00:00:123'", "after a colon"},
    {"DECLARE @t TIME = '10:00:00 +01:00'", "time zone offset"},
    {"DECLARE @t TIME = '10:00' SELECT CAST(@t AS VARCHAR(5))", "cut to fit"},
    {"DECLARE @t TIME = '10:00' SELECT CONVERT(VARCHAR(30), @t, 100)", "CONVERT style 100"},
    {"DECLARE @t TIME = '10:00' SELECT CONVERT(VARCHAR(30), @t, 121)", "CONVERT style 121"},
    {"DECLARE @t TIME(0) = '10:00' SELECT CASE WHEN @t = '10:00:00.4' THEN 1 END", "more decimals"},
    {"DECLARE @t TIME = '10:00' SELECT YEAR(@t)", "of a time"},
    {"DECLARE @t TIME = '10:00' SELECT ISDATE(@t)", "ISDATE of a time"},
    {"DECLARE @t TIME = '10:00' SELECT FORMAT(@t, 'hh')", "FORMAT of a value of type time"},
    {"DECLARE @t TIME = '10:00' SELECT DATEADD(NANOSECOND, -50, @t)", "negative count of nanoseconds"},
    {"DECLARE @t TIME(0) = '10:00' SELECT DATEADD(MILLISECOND, 1, @t)", "finer than the precision"},
    {"DECLARE @t TIME = '10:00' SELECT @t + CAST('2024-01-01' AS DATETIME)", "a time and a date"},
    {"DECLARE @p INT = 3 SELECT TIMEFROMPARTS(10, 0, 0, 0, @p)", "TIMEFROMPARTS"},
    {"SELECT TIMEFROMPARTS(10, 0, 0, 0, 8)", "TIMEFROMPARTS"},
    {"SELECT DATEPART(MICROSECOND, GETDATE())", "microseconds or nanoseconds"},
    {"SELECT DATEDIFF(NANOSECOND, GETDATE(), GETDATE())", "microseconds or nanoseconds"},
    {"CREATE TABLE #t (t TIME, d DATETIME) SELECT COUNT(*) FROM #t WHERE t = d", "query over tables"},
    {"CREATE TABLE #t (d DATETIME) SELECT CAST(d AS TIME) FROM #t", "query over tables"},
};

INSTANTIATE_TEST_SUITE_P(Constructs, TimeRefusalTest, ::testing::ValuesIn(kRefusals));

class TimeValueTest : public tsqltest::SessionTest {};

// The text of a time at each precision, in the engine and from a temporary table (where it is
// kept as a text of seven decimals).
TEST_F(TimeValueTest, TextAtEachPrecisionInTheEngineAndOverTables) {
    const char* expected[] = {"10:20:30",      "10:20:30.1",     "10:20:30.12",     "10:20:30.123",
                              "10:20:30.1235", "10:20:30.12346", "10:20:30.123457", "10:20:30.1234567"};
    for (int n = 0; n <= 7; ++n) {
        const QString engine =
            QStringLiteral("SELECT CAST(CAST('10:20:30.1234567' AS TIME(%1)) AS VARCHAR(30))").arg(n);
        EXPECT_EQ(tsqltest::firstCell(ok(engine)), QString::fromLatin1(expected[n])) << n;
        const QString table =
            QStringLiteral("CREATE TABLE #t%1 (t TIME(%1)) INSERT INTO #t%1 VALUES ('10:20:30.1234567') "
                           "SELECT CAST(t AS VARCHAR(30)) FROM #t%1")
                .arg(n);
        EXPECT_EQ(tsqltest::firstCell(ok(table), tsqltest::kLastSet), QString::fromLatin1(expected[n])) << n;
    }
}

TEST_F(TimeValueTest, SortedAndComparedOverTables) {
    const auto r =
        ok(QStringLiteral("CREATE TABLE #o (t TIME(2)) INSERT INTO #o VALUES ('9:05'), ('23:59:59.99'), "
                          "('00:00'), ('10:00 AM'), (NULL) "
                          "SELECT t FROM #o WHERE t >= '00:00' ORDER BY t"));
    EXPECT_EQ(tsqltest::rowTexts(r, tsqltest::kLastSet),
              QStringList({"00:00:00.00", "09:05:00.00", "10:00:00.00", "23:59:59.99"}));
}

} // namespace
