#include "check/StatementGuard.h"

#include <gtest/gtest.h>

namespace {

struct Refused {
    const char* sql;
    const char* keyword;
    int line;
};

class RefusedStatements : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedStatements, AreFoundWithTheirLine) {
    const Refused& c = GetParam();
    const auto found = check::findRefusedStatement(QString::fromUtf8(c.sql));
    ASSERT_TRUE(found.has_value()) << c.sql;
    EXPECT_EQ(found->keyword.toUpper(), QString::fromLatin1(c.keyword)) << c.sql;
    EXPECT_EQ(found->line, c.line) << c.sql;
    EXPECT_FALSE(found->reason.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Check, RefusedStatements,
    ::testing::Values(Refused{"COMMIT", "COMMIT", 1}, Refused{"commit tran", "COMMIT", 1},
                      Refused{"SET @OUTPREZZO = 1\r\nROLLBACK TRANSACTION", "ROLLBACK", 2},
                      Refused{"COMMIT; DELETE FROM LP01_PROVIDER; BEGIN TRAN", "COMMIT", 1},
                      Refused{"IF 1 = 1\r\nBEGIN\r\n  begin transaction\r\nEND", "BEGIN TRANSACTION", 3},
                      Refused{"BEGIN DISTRIBUTED TRANSACTION", "BEGIN DISTRIBUTED", 1},
                      Refused{"EXEC('COMMIT')", "EXEC", 1}, Refused{"execute sp_who", "EXECUTE", 1},
                      Refused{"EXECUTE AS USER = 'x'", "EXECUTE", 1}, Refused{"USE master", "USE", 1},
                      Refused{"SET XACT_ABORT ON", "SET XACT_ABORT", 1},
                      Refused{"SET IMPLICIT_TRANSACTIONS ON", "SET IMPLICIT_TRANSACTIONS", 1},
                      Refused{"set noexec on", "SET NOEXEC", 1}, Refused{"SET ROWCOUNT 1", "SET ROWCOUNT", 1},
                      Refused{"SET ANSI_WARNINGS OFF", "SET ANSI_WARNINGS", 1},
                      Refused{"SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED", "SET TRANSACTION", 1},
                      Refused{"SET LANGUAGE 'English'", "SET LANGUAGE", 1},
                      Refused{"SET DATEFIRST 1", "SET DATEFIRST", 1}, Refused{"SHUTDOWN", "SHUTDOWN", 1},
                      Refused{"KILL 52", "KILL", 1}, Refused{"DBCC CHECKIDENT('LP01_PROVIDER')", "DBCC", 1},
                      Refused{"/* note */ -- comment\nCHECKPOINT", "CHECKPOINT", 2},
                      Refused{"SELECT 'it''s'\r\nCOMMIT", "COMMIT", 2}));

class AcceptedStatements : public ::testing::TestWithParam<const char*> {};

TEST_P(AcceptedStatements, AreSent) {
    EXPECT_FALSE(check::findRefusedStatement(QString::fromUtf8(GetParam())).has_value()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Check, AcceptedStatements,
    ::testing::Values("", "SET @OUTPREZZO = @ATTPREZZO + 50", "set @x = 1",
                      "IF @MG66_FAM_MG53 in ('MPRI','PFIN')\r\nBEGIN\r\n SET @OUTSC1PERC = 10\r\nEND",
                      "BEGIN TRY SELECT 1 END TRY BEGIN CATCH SELECT 2 END CATCH",
                      "DELETE FROM LP01_PROVIDER", "UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL",
                      "UPDATE LP01_PROVIDER SET LP01_ID += 1", "UPDATE T SET T.LANGUAGE = 'x'",
                      "UPDATE T SET LANGUAGE = 'x'", "UPDATE T SET [ROWCOUNT] = 1", "DROP TABLE LP14_CAMPI",
                      "CREATE TABLE #T (A INT)", "TRUNCATE TABLE LP07_QUOTAZIONI", "SET NOCOUNT ON",
                      "SAVE TRANSACTION S1", "SELECT 'COMMIT' AS X", "SELECT [COMMIT] FROM T",
                      "SELECT \"ROLLBACK\" FROM T", "-- COMMIT\r\nSELECT 1",
                      "/* outer /* EXEC */ COMMIT */ SELECT 1", "SELECT @COMMIT", "SELECT * FROM #EXEC",
                      "SELECT dbo.[x].commit FROM T", "SELECT N'USE master'"));

TEST(StatementGuard, UnterminatedLiteralsAndCommentsEndTheText) {
    EXPECT_FALSE(check::findRefusedStatement(QStringLiteral("SELECT 'COMMIT")).has_value());
    EXPECT_FALSE(check::findRefusedStatement(QStringLiteral("/* COMMIT")).has_value());
    EXPECT_FALSE(check::findRefusedStatement(QStringLiteral("SELECT [COMMIT")).has_value());
}

TEST(StatementGuard, NonLatinTextAroundAKeywordStillFindsIt) {
    const auto found =
        check::findRefusedStatement(QStringLiteral("SELECT 'ΑΒΓ 日本'\nSET @назва = 1\nCOMMIT"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->line, 3);
}

} // namespace
