// Batches that would run for ever or take all the memory stop at the limits of the batch, with
// the server's message, and leave the session usable.

#include "tsql/Session.h"

#include "TestDb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <initializer_list>

using tsql::Limits;
using tsql::RunResult;
using tsql::Session;

namespace {

using tsqltest::firstCell;

using LimitsTest = tsqltest::LimitedSessionTest;

struct StoppedCase {
    const char* name;
    const char* batch;
    std::initializer_list<int> accepted; // message numbers the batch may stop with
};

// Each runs for minutes, hours or for ever without the limit.
const StoppedCase kRunaway[] = {
    {"six-way cross join", "SELECT COUNT(*) FROM T100 a, T100 b, T100 c, T100 d, T100 e, T100 f", {3617}},
    {"counting loop", "DECLARE @i INT = 0 WHILE 1 = 1 SET @i += 1", {3617}},
    {"loop of caught errors", "WHILE 1 = 1 BEGIN TRY SELECT 1/0 END TRY BEGIN CATCH END CATCH", {3617}},
    {"loop catching everything it can",
     "WHILE 1 = 1 BEGIN TRY SELECT COUNT(*) FROM T100 a, T100 b, T100 c, T100 d END TRY "
     "BEGIN CATCH PRINT ERROR_MESSAGE() END CATCH",
     {3617}},
    {"update of every row, each row slow",
     "UPDATE T100 SET n = n + 1 WHERE (SELECT COUNT(*) FROM T100 a, T100 b, T100 c WHERE a.n <> T100.n) > 0",
     {3617}},
    {"sorted cross join",
     "SELECT TOP 1 a.n FROM T100 a, T100 b, T100 c, T100 d, T100 e ORDER BY a.n + b.n DESC",
     {3617}},
    {"waiting", "WAITFOR DELAY '01:00:00'", {156, 102, 3617}},
    {"cross join of xml nodes in the engine",
     "DECLARE @x XML = '<a>' + REPLICATE(CAST('<b/>' AS VARCHAR(MAX)), 3000) + '</a>' "
     "SELECT COUNT(*) FROM @x.nodes('/a/b') t1(c) CROSS JOIN @x.nodes('/a/b') t2(c) "
     "CROSS JOIN @x.nodes('/a/b') t3(c)",
     {3617, 40002}},
    {"LIKE that backtracks at every character",
     "DECLARE @v VARCHAR(MAX) = REPLICATE(CAST('a' AS VARCHAR(MAX)), 400000) "
     "SELECT CASE WHEN @v LIKE '%' + REPLICATE('a', 5000) + 'b' THEN 1 ELSE 0 END",
     {3617}},
    {"LIKE that backtracks, run by SQLite",
     "DECLARE @v VARCHAR(MAX) = REPLICATE(CAST('a' AS VARCHAR(MAX)), 400000) "
     "SELECT COUNT(*) FROM T100 WHERE @v + CAST(n AS VARCHAR(3)) LIKE '%' + REPLICATE('a', 5000) + 'b'",
     {3617}},
    {"DISTINCT over many rows in the engine",
     "DECLARE @x XML = '<a>' + REPLICATE(CAST('<b/>' AS VARCHAR(MAX)), 600) + '</a>' "
     "SELECT DISTINCT COUNT(*) FROM @x.nodes('/a/b') t1(c) CROSS JOIN @x.nodes('/a/b') t2(c) "
     "CROSS JOIN @x.nodes('/a/b') t3(c)",
     {3617, 40002}},
};

TEST_F(LimitsTest, RunawayBatchesStopAtTheTimeLimit) {
    limit(300, 256LL << 20);
    for (const StoppedCase& c : kRunaway) {
        QElapsedTimer clock;
        clock.start();
        RunResult r = session.run(QString::fromUtf8(c.batch));
        const qint64 ms = clock.elapsed();
        ASSERT_TRUE(r.error.has_value()) << c.name;
        EXPECT_TRUE(std::find(c.accepted.begin(), c.accepted.end(), r.error->number) != c.accepted.end())
            << c.name << ": Msg " << r.error->number << " " << r.error->message.toStdString();
        if (r.error->number == 3617) {
            EXPECT_EQ(r.error->message, QStringLiteral("Query timeout expired")) << c.name;
            EXPECT_GE(r.error->level, 20) << c.name; // no CATCH block handles it
        }
        EXPECT_LT(ms, 5000) << c.name;
        expectUsable();
    }
}

TEST_F(LimitsTest, NoCatchBlockHandlesTheTimeout) {
    limit(200, 256LL << 20);
    RunResult r = session.run(QStringLiteral("DECLARE @i INT = 0 BEGIN TRY WHILE 1 = 1 SET @i += 1 END TRY "
                                             "BEGIN CATCH SELECT 'caught' END CATCH SELECT 'after'"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 3617);
    EXPECT_TRUE(r.resultSets.empty());
}

TEST_F(LimitsTest, ATimeoutInsideATransactionLeavesNoneOpen) {
    limit(300, 256LL << 20);
    RunResult r = session.run(QStringLiteral(
        "BEGIN TRAN DELETE FROM LP14_CAMPI UPDATE T100 SET n = n + 1 WHERE (SELECT COUNT(*) FROM T100 a, "
        "T100 b, T100 c WHERE a.n <> T100.n) > 0"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 3617);
    // SQLite rolls back the whole transaction when it interrupts a write.
    EXPECT_EQ(session.transactionCount(), 0);
    expectUsable();
    RunResult rows = session.run(QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI"));
    EXPECT_EQ(firstCell(rows), QStringLiteral("4"));
}

TEST_F(LimitsTest, TheClockStartsAgainWithEveryBatch) {
    limit(400, 256LL << 20);
    for (int k = 0; k < 3; ++k) {
        RunResult r =
            session.run(QStringLiteral("DECLARE @i INT = 0 WHILE @i < 20000 SET @i += 1 SELECT @i"));
        ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        EXPECT_EQ(firstCell(r), QStringLiteral("20000"));
    }
}

// Each builds strings or rows without end, or far beyond the budget, within the time limit.
const StoppedCase kGreedy[] = {
    {"doubling a (max) variable", "DECLARE @v VARCHAR(MAX) = 'x' WHILE 1 = 1 SET @v = @v + @v", {40002}},
    {"doubling with CONCAT", "DECLARE @v NVARCHAR(MAX) = N'x' WHILE 1 = 1 SET @v = CONCAT(@v, @v)", {40002}},
    {"doubling with STUFF",
     "DECLARE @v VARCHAR(MAX) = 'xy' WHILE 1 = 1 SET @v = STUFF(@v, 2, 0, @v)",
     {40002}},
    {"REPLICATE of a (max) value", "SELECT REPLICATE(CAST('x' AS VARCHAR(MAX)), 2000000000)", {40002}},
    {"REPLACE growing a (max) value",
     "DECLARE @v VARCHAR(MAX) = REPLICATE(CAST('a' AS VARCHAR(MAX)), 100000) "
     "SELECT REPLACE(@v, 'a', REPLICATE('b', 8000))",
     {40002}},
    {"result set of a cross join", "SELECT a.n, b.n, c.n, d.n FROM T100 a, T100 b, T100 c, T100 d", {40002}},
    {"assignment from a cross join",
     "DECLARE @n INT SELECT @n = a.n FROM T100 a, T100 b, T100 c, T100 d",
     {40002}},
    {"result sets in a loop", "WHILE 1 = 1 SELECT REPLICATE('x', 8000)", {40002}},
    {"messages in a loop", "WHILE 1 = 1 PRINT REPLICATE('x', 8000)", {40002}},
    {"cross join of xml nodes in the engine",
     "DECLARE @x XML = '<a>' + REPLICATE(CAST('<b/>' AS VARCHAR(MAX)), 3000) + '</a>' "
     "SELECT t1.c.value('(.)[1]', 'INT') FROM @x.nodes('/a/b') t1(c) CROSS JOIN @x.nodes('/a/b') t2(c)",
     {40002}},
    {"sub-query rows in the engine",
     "DECLARE @x XML = '<a>' + REPLICATE(CAST('<b/>' AS VARCHAR(MAX)), 3000) + '</a>' "
     "SELECT COUNT(*) FROM (SELECT t1.c.query('.') AS q FROM @x.nodes('/a/b') t1(c) CROSS JOIN "
     "@x.nodes('/a/b') t2(c)) AS d",
     {40002}},
};

TEST_F(LimitsTest, GreedyBatchesStopAtTheMemoryLimit) {
    limit(20000, 32LL << 20);
    for (const StoppedCase& c : kGreedy) {
        QElapsedTimer clock;
        clock.start();
        RunResult r = session.run(QString::fromUtf8(c.batch));
        ASSERT_TRUE(r.error.has_value()) << c.name;
        EXPECT_TRUE(std::find(c.accepted.begin(), c.accepted.end(), r.error->number) != c.accepted.end())
            << c.name << ": Msg " << r.error->number << " " << r.error->message.toStdString();
        if (r.error->number == 40002) {
            EXPECT_EQ(r.error->message,
                      QStringLiteral("The batch needs more than 32 MB of memory, the limit of the embedded "
                                     "server."))
                << c.name;
        }
        EXPECT_LT(clock.elapsed(), 10000) << c.name;
        expectUsable();
    }
}

TEST_F(LimitsTest, DoublingAStringStopsWithinTheDefaultLimits) {
    session.setLimits(Limits());
    const qint64 before = startMeasuring();
    RunResult r = session.run(QStringLiteral("DECLARE @v VARCHAR(MAX) = 'x' WHILE 1 = 1 SET @v = @v + @v"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 40002);
    EXPECT_EQ(r.error->level, 17);
    EXPECT_EQ(
        r.error->message,
        QStringLiteral("The batch needs more than 256 MB of memory, the limit of the embedded server."));
    const qint64 after = tsqltest::resident("VmHWM");
    if (before > 0 && after > 0) {
        EXPECT_LT(after - before, 400LL << 20);
    }
    expectUsable();
}

TEST_F(LimitsTest, ParsingXmlStaysWithinTheBudget) {
    limit(20000, 32LL << 20);
    const qint64 before = startMeasuring();
    // 16 MB of text, whose tree of two million elements would take several hundred MB.
    RunResult r = session.run(QStringLiteral(
        "DECLARE @x XML = REPLICATE(CAST('<b/>' AS VARCHAR(MAX)), 2000000) SELECT @x.exist('/b')"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 40002) << r.error->message.toStdString();
    const qint64 after = tsqltest::resident("VmHWM");
    if (before > 0 && after > 0) {
        EXPECT_LT(after - before, 150LL << 20);
    }
    expectUsable();
}

TEST_F(LimitsTest, LargeValuesStopAtTheSizeOfTheirType) {
    limit(20000, 0); // no budget: only the 2 GB of a (max) value holds them
    const char* batches[] = {
        "SELECT REPLICATE(CAST('xy' AS VARCHAR(MAX)), 1100000000)",
        "SELECT REPLICATE(CAST(N'x' AS NVARCHAR(MAX)), 1100000000)",
        "SELECT REPLICATE(CAST('x' AS VARCHAR(MAX)), 9223372036854775807)",
    };
    for (const char* b : batches) {
        RunResult r = session.run(QString::fromUtf8(b));
        ASSERT_TRUE(r.error.has_value()) << b;
        EXPECT_EQ(r.error->number, 7119) << b;
        EXPECT_EQ(r.error->level, 16) << b;
        EXPECT_EQ(r.error->message,
                  QStringLiteral("Attempting to grow LOB beyond maximum allowed size of 2147483647 bytes."));
    }
}

TEST_F(LimitsTest, ACatchBlockHandlesTheMemoryLimit) {
    limit(20000, 16LL << 20);
    RunResult r =
        session.run(QStringLiteral("BEGIN TRY SELECT REPLICATE(CAST('x' AS VARCHAR(MAX)), 100000000) END TRY "
                                   "BEGIN CATCH SELECT ERROR_NUMBER() END CATCH"));
    ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
    EXPECT_EQ(firstCell(r), QStringLiteral("40002"));
}

TEST_F(LimitsTest, MemoryIsGivenBackAfterEveryBatch) {
    // The variable (6 MB) and the concatenation built from it (12 MB) count together.
    limit(20000, 24LL << 20);
    for (int k = 0; k < 5; ++k) {
        RunResult r = session.run(QStringLiteral(
            "DECLARE @v VARCHAR(MAX) = REPLICATE(CAST('x' AS VARCHAR(MAX)), 3000000) SELECT LEN(@v + @v)"));
        ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        EXPECT_EQ(firstCell(r), QStringLiteral("6000000"));
    }
    // A variable given a smaller value gives back what the larger one took.
    RunResult r = session.run(QStringLiteral("DECLARE @v VARCHAR(MAX), @k INT = 0 WHILE @k < 20 BEGIN "
                                             "SET @v = REPLICATE(CAST('x' AS VARCHAR(MAX)), 3000000) "
                                             "SET @v = '' SET @k += 1 END SELECT @k"));
    ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
    EXPECT_EQ(firstCell(r), QStringLiteral("20"));
}

struct ValueCase {
    const char* expression;
    const char* value;
};

// SQL Server cuts the result of a string function at 8,000 bytes unless its input is of a (max)
// type; a (max) input is kept whole.
const ValueCase kStringSizes[] = {
    {"LEN(REPLICATE('ab', 5000))", "8000"},
    {"LEN(REPLICATE(CAST('ab' AS VARCHAR(MAX)), 5000))", "10000"},
    {"LEN(REPLICATE(N'ab', 5000))", "4000"},
    {"LEN(REPLACE(REPLICATE('a', 8000), 'a', 'bb'))", "8000"},
    {"LEN(REPLACE(REPLICATE(CAST('a' AS VARCHAR(MAX)), 8000), 'a', 'bb'))", "16000"},
    {"REPLACE('aXbxc', 'x', '--')", "a--b--c"},
    {"REPLACE('abc', 'z', '--')", "abc"},
    {"LEN(CONCAT(REPLICATE(CAST('a' AS VARCHAR(MAX)), 6000), REPLICATE('b', 6000)))", "12000"},
    {"STUFF('abcdef', 2, 3, 'XYZW')", "aXYZWef"},
};

TEST_F(LimitsTest, StringFunctionsKeepTheirSizes) {
    for (const ValueCase& c : kStringSizes) {
        RunResult r = session.run(QStringLiteral("SELECT ") + QString::fromUtf8(c.expression));
        ASSERT_FALSE(r.error.has_value()) << c.expression << ": " << r.error->message.toStdString();
        EXPECT_EQ(firstCell(r), QString::fromUtf8(c.value)) << c.expression;
    }
}

} // namespace
