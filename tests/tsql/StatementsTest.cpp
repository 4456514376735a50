// What GOTO, RAISERROR, THROW, PRINT and dynamic batches leave behind beyond a verdict: the
// messages, the values, the error's number, level, state, line and text.

#include "tsql/Session.h"

#include "TestDb.h"

#include <gtest/gtest.h>

using tsql::RunResult;
using tsql::Session;

namespace {

using tsqltest::firstCell;

class StatementsTest : public tsqltest::SessionTest {};

TEST_F(StatementsTest, GotoLoopsBackwardAndEntersBlocks) {
    RunResult r = ok(QStringLiteral("DECLARE @i int = 0, @s varchar(50) = ''\n"
                                    "again:\n"
                                    "SET @i += 1\n"
                                    "IF @i % 2 = 0 GOTO even\n"
                                    "SET @s += 'o'\n"
                                    "IF @i < 5 GOTO again\n"
                                    "GOTO done\n"
                                    "IF 1 = 0 BEGIN\n"
                                    "  even: SET @s += 'e'\n"
                                    "  GOTO again\n"
                                    "END\n"
                                    "done: SELECT @s"));
    EXPECT_EQ(firstCell(r), QStringLiteral("oeoeo"));
}

TEST_F(StatementsTest, GotoIntoAWhileBodyGoesOnWithTheLoop) {
    // Entered at the label with @i = 0: the rest of the body runs (@i 1), then the condition is
    // looked at as after any round: two more rounds, each from the top of the body.
    RunResult r = ok(QStringLiteral("DECLARE @i int = 0, @s varchar(20) = ''\n"
                                    "GOTO inside\n"
                                    "WHILE @i < 3 BEGIN\n"
                                    "  SET @s += 'T'\n"
                                    "  inside: SET @i += 1 SET @s += CAST(@i AS varchar(2))\n"
                                    "END\n"
                                    "SELECT @s"));
    EXPECT_EQ(firstCell(r), QStringLiteral("1T2T3"));
}

TEST_F(StatementsTest, AGotoLoopIsBoundedLikeWhile) {
    session.setLoopLimit(1000);
    const tsql::ServerError e = failed(QStringLiteral("spin: GOTO spin"));
    session.setLoopLimit(0);
    EXPECT_EQ(e.number, 40001);
}

TEST_F(StatementsTest, RaiserrorFormatsItsArguments) {
    RunResult r = ok(QStringLiteral("RAISERROR('%d|%5d|%-4d|%05d|%x|%X|%o|%u|%s|%.2s|%s|%%|%+d', 10, 1, "
                                    "42, 7, 3, 12, 255, 255, 8, -1, N'abc', 'xyz', NULL, 5)"));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text,
              QStringLiteral("42|    7|3   |00012|ff|FF|10|4294967295|abc|xy|(null)|%|+5"));
    r = ok(QStringLiteral("RAISERROR('%s and %d', 0, 1, 'only one')"));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, QStringLiteral("only one and (null)"));
}

TEST_F(StatementsTest, RaiserrorIsAnErrorWithItsSeverityAndState) {
    const tsql::ServerError e =
        failed(QStringLiteral("SELECT 1\nRAISERROR(N'Codice %s: %d', 16, 4, 'A1', 9)"));
    EXPECT_EQ(e.number, 50000);
    EXPECT_EQ(e.level, 16);
    EXPECT_EQ(e.state, 4);
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.message, QStringLiteral("Codice A1: 9"));
    EXPECT_EQ(failed(QStringLiteral("RAISERROR('%d', 16, 1, 'x')")).number, 2786);
    EXPECT_EQ(
        failed(QStringLiteral("RAISERROR('x', 16, 1, 1,2,3,4,5,6,7,8,9,10,1,2,3,4,5,6,7,8,9,10,11)")).number,
        2747);
}

TEST_F(StatementsTest, CatchSeesRaiserrorAndThrow) {
    RunResult r = ok(QStringLiteral("BEGIN TRY RAISERROR('Prezzo %d', 12, 5, 3) END TRY\n"
                                    "BEGIN CATCH SELECT CONCAT(ERROR_NUMBER(), '|', ERROR_SEVERITY(), '|', "
                                    "ERROR_STATE(), '|', ERROR_LINE(), '|', ERROR_MESSAGE()) END CATCH"));
    EXPECT_EQ(firstCell(r), QStringLiteral("50000|12|5|1|Prezzo 3"));
    r = ok(QStringLiteral("BEGIN TRY\n;THROW 50123, N'Fuori listino', 9; END TRY\n"
                          "BEGIN CATCH SELECT CONCAT(ERROR_NUMBER(), '|', ERROR_SEVERITY(), '|', "
                          "ERROR_STATE(), '|', ERROR_LINE(), '|', ERROR_MESSAGE()) END CATCH"));
    EXPECT_EQ(firstCell(r), QStringLiteral("50123|16|9|2|Fuori listino"));
}

TEST_F(StatementsTest, ThrowAloneRethrowsTheOriginalError) {
    const tsql::ServerError e = failed(QStringLiteral("BEGIN TRY\nSELECT 1\nSELECT 1/0\nEND TRY\n"
                                                      "BEGIN CATCH\nPRINT 'caught';\nTHROW\nEND CATCH"));
    EXPECT_EQ(e.number, 8134);
    EXPECT_EQ(e.level, 16);
    EXPECT_EQ(e.line, 3);
}

TEST_F(StatementsTest, PrintConvertsAndPrintsNullAsAnEmptyLine) {
    RunResult r =
        ok(QStringLiteral("DECLARE @d decimal(5,2) = 1.5 PRINT @d PRINT 2 + 3 PRINT NULL PRINT 'x'"));
    QStringList texts;
    for (const tsql::InfoMessage& m : r.messages)
        texts << m.text;
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("1.50"), QStringLiteral("5"), QString(), QStringLiteral("x")}));
}

// What a client sees of a message that does not stop the batch (the INFO token): PRINT is Msg 0,
// Level 0, State 1; RAISERROR at severity 10 or less keeps its number, severity and state. Each
// carries its statement's line.
TEST_F(StatementsTest, InformationalMessagesKeepNumberLevelStateAndLine) {
    const RunResult r = ok(QStringLiteral("PRINT 'a'\nSELECT 1\nRAISERROR('b %d', 5, 9, 7)\n"
                                          "RAISERROR('c', 10, 2)"));
    ASSERT_EQ(r.messages.size(), 3u);
    const struct {
        QString text;
        int number, level, state, line;
    } expected[] = {{QStringLiteral("a"), 0, 0, 1, 1},
                    {QStringLiteral("b 7"), 50000, 5, 9, 3},
                    {QStringLiteral("c"), 50000, 10, 2, 4}};
    for (size_t i = 0; i < r.messages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.messages[i].text, expected[i].text);
        EXPECT_EQ(r.messages[i].number, expected[i].number);
        EXPECT_EQ(r.messages[i].level, expected[i].level);
        EXPECT_EQ(r.messages[i].state, expected[i].state);
        EXPECT_EQ(r.messages[i].line, expected[i].line);
    }
}

TEST_F(StatementsTest, DynamicBatchesReturnRowsAndCountTheirOwnLines) {
    RunResult r = ok(QStringLiteral("EXEC ('SELECT 1 + 1') EXEC sp_executesql N'SELECT @a * @b', "
                                    "N'@a int, @b int = 5', @a = 3"));
    ASSERT_EQ(r.resultSets.size(), 2u);
    EXPECT_EQ(firstCell(r, 0), QStringLiteral("2"));
    EXPECT_EQ(firstCell(r, 1), QStringLiteral("15"));
    const tsql::ServerError e = failed(QStringLiteral("SELECT 1\nSELECT 2\nEXEC ('SELECT 1\nSELECT 1 +')"));
    EXPECT_EQ(e.number, 102);
    EXPECT_EQ(e.line, 2);
}

TEST_F(StatementsTest, DynamicBatchesKeepTheirVariablesApart) {
    RunResult r =
        ok(QStringLiteral("DECLARE @x int = 1\n"
                          "EXEC sp_executesql N'DECLARE @x int = 2 SET @y = @x * 10', N'@y int', 0\n"
                          "SELECT @x"));
    EXPECT_EQ(firstCell(r), QStringLiteral("1"));
}

TEST_F(StatementsTest, DeepDynamicNestingStopsWithMsg217) {
    const tsql::ServerError e = failed(
        QStringLiteral("DECLARE @s nvarchar(200) = N'EXEC sp_executesql @s, N''@s nvarchar(200)'', @s = @s'\n"
                       "EXEC sp_executesql @s, N'@s nvarchar(200)', @s = @s"));
    EXPECT_EQ(e.number, 217);
    // The session is usable afterwards, its variables its own again.
    EXPECT_EQ(firstCell(ok(QStringLiteral("DECLARE @k int = 4 EXEC ('SELECT 3') SELECT @k")), 1),
              QStringLiteral("4"));
}

// Each dynamic batch may itself be nested as deep as the parser allows: the stack they take
// together is bounded, and the nesting stops with Msg 217 before it runs out.
TEST_F(StatementsTest, DeeplyNestedDynamicBatchesStopBeforeTheStackRunsOut) {
    const QString open = QStringLiteral("IF 1 = 1 BEGIN ").repeated(75);
    const QString close = QStringLiteral(" END").repeated(75);
    const QString inner =
        open + QStringLiteral("EXEC sp_executesql @s, N''@s nvarchar(max)'', @s = @s") + close;
    const tsql::ServerError e =
        failed(QStringLiteral("DECLARE @s nvarchar(max) = N'") + inner +
               QStringLiteral("'\nEXEC sp_executesql @s, N'@s nvarchar(max)', @s = @s"));
    EXPECT_EQ(e.number, 217);
}

TEST_F(StatementsTest, TopCountsKnownWhenTheStatementRuns) {
    EXPECT_EQ(failed(QStringLiteral("DECLARE @n int SELECT TOP (@n) 1")).number, 1014);
    EXPECT_EQ(failed(QStringLiteral("DECLARE @n int = -2 SELECT TOP (@n) 1")).number, 1014);
    EXPECT_EQ(firstCell(ok(QStringLiteral("DECLARE @n int = 2 SELECT TOP (@n) 7"))), QStringLiteral("7"));
}

} // namespace
