#include "check/StatementGuard.h"

#include <gtest/gtest.h>

namespace {

struct Refused {
    const char* sql;
    const char* statement; // "" when the batch cannot be read
    int line;
};

class RefusedStatements : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedStatements, AreFoundOnTheTreeWithTheirLine) {
    const Refused& c = GetParam();
    const check::GuardVerdict v = check::guardBatch(QString::fromUtf8(c.sql));
    ASSERT_TRUE(v.refused.has_value()) << c.sql;
    EXPECT_EQ(v.refused->statement.toStdString(), std::string(c.statement)) << c.sql;
    EXPECT_EQ(v.refused->line, c.line) << c.sql;
    EXPECT_FALSE(v.refused->reason.isEmpty());
    if (*c.statement == '\0') {
        EXPECT_NE(v.refused->number, 0) << "an unreadable batch carries the parser's message: " << c.sql;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Check, RefusedStatements,
    ::testing::Values(
        // Transaction control in every spelling, and glued to a number the way the engine reads it.
        Refused{"COMMIT", "COMMIT", 1}, Refused{"commit tran", "COMMIT", 1},
        Refused{"COMMIT WORK", "COMMIT", 1},
        Refused{"SET @OUTPREZZO = 1\r\nROLLBACK TRANSACTION", "ROLLBACK", 2},
        Refused{"SET @OUTPREZZO = 1COMMIT DELETE FROM LP01_PROVIDER SELECT 1BEGIN TRAN", "COMMIT", 1},
        Refused{"SET @OUTPREZZO = 1ROLLBACK", "ROLLBACK", 1},
        Refused{"SET @OUTPREZZO = 1.ROLLBACK", "ROLLBACK", 1},
        Refused{"SET @OUTPREZZO = 1E5COMMIT", "COMMIT", 1}, Refused{"SET @OUTPREZZO = 0x1COMMIT", "", 1},
        Refused{"SELECT 1SET IMPLICIT_TRANSACTIONS ON", "SET IMPLICIT_TRANSACTIONS", 1},
        Refused{"IF 1 = 1\r\nBEGIN\r\n  begin transaction\r\nEND", "BEGIN TRANSACTION", 3},
        Refused{"WHILE 1 = 0\n BEGIN TRY COMMIT END TRY BEGIN CATCH END CATCH", "COMMIT", 2},
        Refused{"IF 1 = 0 SET @OUTPREZZO = 1 ELSE ROLLBACK", "ROLLBACK", 1},
        // Out of sight: procedures and dynamic batches.
        Refused{"EXEC('COMMIT')", "EXECUTE", 1}, Refused{"EXEC('SELECT 1')", "EXECUTE", 1},
        Refused{"EXECUTE sp_executesql N'SELECT 1'", "EXECUTE sp_executesql", 1},
        Refused{"EXEC('SELECT ' + CAST(1 AS varchar(5)))", "", 1},
        Refused{"execute sp_who", "EXECUTE sp_who", 1}, Refused{"sp_who", "EXECUTE sp_who", 1},
        Refused{"EXEC @proc", "EXECUTE @proc", 1},
        // Session options that outlive the batch, other than those production runs formulas with;
        // every option of a list counts.
        Refused{"SET IMPLICIT_TRANSACTIONS ON", "SET IMPLICIT_TRANSACTIONS", 1},
        Refused{"set noexec on", "SET NOEXEC", 1}, Refused{"SET ROWCOUNT 1", "SET ROWCOUNT", 1},
        Refused{"SET NOCOUNT, NOEXEC ON", "SET NOEXEC", 1},
        Refused{"SET XACT_ABORT ON\nSET ANSI_WARNINGS, IMPLICIT_TRANSACTIONS ON", "SET IMPLICIT_TRANSACTIONS",
                2},
        Refused{"SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED", "SET TRANSACTION", 1},
        Refused{"SET IDENTITY_INSERT #T ON", "SET IDENTITY_INSERT", 1},
        Refused{"SET ANSI_NULLS OFF", "SET ANSI_NULLS", 1},
        Refused{"SET QUOTED_IDENTIFIER OFF", "SET QUOTED_IDENTIFIER", 1},
        Refused{"SET ARITHIGNORE ON", "SET ARITHIGNORE", 1},
        Refused{"SET NUMERIC_ROUNDABORT ON", "SET NUMERIC_ROUNDABORT", 1},
        Refused{"SET LOCK_TIMEOUT 0", "SET LOCK_TIMEOUT", 1}, Refused{"SET TEXTSIZE 1", "SET TEXTSIZE", 1},
        Refused{"SET DEADLOCK_PRIORITY LOW", "SET DEADLOCK_PRIORITY", 1},
        Refused{"SET PARSEONLY ON", "SET PARSEONLY", 1}, Refused{"SET FMTONLY ON", "SET FMTONLY", 1},
        Refused{"SET STATISTICS IO ON", "SET STATISTICS", 1},
        Refused{"SET DATEFORMAT @f\nEXEC ('SELECT 1')", "EXECUTE", 2},
        Refused{"SELECT 'it''s'\r\nCOMMIT", "COMMIT", 2},
        // A linked server is outside any transaction of the connection.
        Refused{"SELECT * FROM srv.db.dbo.t", "srv.db.dbo.t", 1},
        Refused{"SELECT (SELECT 1 FROM srv.db.dbo.t)", "srv.db.dbo.t", 1},
        // What the parser cannot read is not sent (fail closed).
        Refused{"USE master", "", 1}, Refused{"TRUNCATE TABLE LP07_QUOTAZIONI", "", 1},
        // Tables of the database, and global temporary ones, outlive the check.
        Refused{"DROP TABLE LP14_CAMPI", "DROP TABLE LP14_CAMPI", 1},
        Refused{"CREATE TABLE LP99 (A INT)", "CREATE TABLE LP99", 1},
        Refused{"CREATE TABLE ##T (A INT)", "CREATE TABLE ##T", 1},
        Refused{"CREATE TABLE #T (A INT)\r\nDROP TABLE IF EXISTS #T, dbo.LP14_CAMPI",
                "DROP TABLE dbo.LP14_CAMPI", 2},
        Refused{"SAVE TRANSACTION S1", "", 1}, Refused{"SELECT 1 INTO #T", "", 1},
        Refused{"WAITFOR DELAY '23:59:00'", "", 1}, Refused{"SELECT 'COMMIT", "", 1},
        Refused{"/* COMMIT", "", 1},
        // The engine reads a dotless i as the I it becomes in upper case: a keyword to both.
        Refused{"commıt", "COMMIT", 1}, Refused{"ＣＯＭＭＩＴ", "EXECUTE ＣＯＭＭＩＴ", 1}));

class AcceptedStatements : public ::testing::TestWithParam<const char*> {};

TEST_P(AcceptedStatements, AreSent) {
    const check::GuardVerdict v = check::guardBatch(QString::fromUtf8(GetParam()));
    EXPECT_FALSE(v.refused.has_value())
        << GetParam() << ": " << (v.refused ? v.refused->reason.toStdString() : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Check, AcceptedStatements,
    ::testing::Values("", "SET @OUTPREZZO = @ATTPREZZO + 50", "set @x = 1",
                      "IF @MG66_FAM_MG53 in ('MPRI','PFIN')\r\nBEGIN\r\n SET @OUTSC1PERC = 10\r\nEND",
                      "BEGIN TRY SELECT 1 END TRY BEGIN CATCH SELECT 2 END CATCH", "SET NOCOUNT ON",
                      // The session options production runs formulas with: the connection puts
                      // the session back after the check.
                      "SET NOCOUNT OFF", "SET XACT_ABORT ON", "set xact_abort off", "SET ANSI_WARNINGS ON",
                      "SET ANSI_WARNINGS OFF", "SET ARITHABORT OFF", "SET CONCAT_NULL_YIELDS_NULL OFF",
                      "SET NOCOUNT, XACT_ABORT ON", "SET DATEFORMAT dmy", "SET DATEFORMAT @f",
                      "SET DATEFIRST 1", "SET LANGUAGE 'English'", "SET LANGUAGE Italiano",
                      "IF 1 = 1 BEGIN SET DATEFORMAT ymd SET LANGUAGE [British] END", "SELECT 'COMMIT' AS X",
                      "SELECT [COMMIT] FROM T", "-- COMMIT\r\nSELECT 1",
                      "/* outer /* EXEC */ COMMIT */ SELECT 1", "SELECT @COMMIT", "SELECT N'USE master'",
                      "SELECT * FROM dbo.LP01_PROVIDER WITH (NOLOCK)", "label: SELECT 1",
                      "WHILE @x < 3 BEGIN SET @x = @x + 1 IF @x = 2 BREAK END",
                      // Local temporary tables and table variables go with the check's rollback.
                      "CREATE TABLE #T (A INT IDENTITY, B VARCHAR(5) NOT NULL DEFAULT 'x') DROP TABLE #T",
                      "DECLARE @t TABLE (A INT PRIMARY KEY) INSERT @t VALUES (1) SELECT * FROM @t",
                      ";WITH c AS (SELECT 1 AS n) SELECT * FROM c", "SELECT * FROM (VALUES (1), (2)) AS v(n)",
                      "again: SET @x = @x + 1 IF @x < 3 GOTO again", "RAISERROR('x %d', 16, 1, 5)",
                      ";THROW 50001, 'x', 1", "BEGIN TRY SELECT 1/0 END TRY BEGIN CATCH THROW END CATCH",
                      // Sent as one batch, GO and a Cyrillic look-alike are column aliases, as on the server.
                      "SELECT 1\nGO", "SELECT 1\nСOMMIT"));

TEST(StatementGuard, DataChangesRunUnderRollbackAndAreMarked) {
    for (const char* sql :
         {"DELETE FROM LP01_PROVIDER", "UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL",
          "INSERT INTO LP01_PROVIDER (LP01_ID) VALUES (99)", "IF 1 = 0 BEGIN UPDATE T SET A = 1 END"}) {
        const check::GuardVerdict v = check::guardBatch(QString::fromUtf8(sql));
        EXPECT_FALSE(v.refused.has_value()) << sql;
        EXPECT_TRUE(v.writes) << sql;
    }
    EXPECT_FALSE(check::guardBatch(QStringLiteral("SELECT * FROM LP01_PROVIDER")).writes);
}

// The tool's batch check reads a dynamic batch written out as constants as a batch of its own.
TEST(StatementGuard, ConstantDynamicBatchesAreReadAsBatchesOfTheirOwn) {
    using check::DynamicBatches;
    const auto read = [](const char* sql) {
        return check::guardBatch(QString::fromUtf8(sql), DynamicBatches::ConstantsRead);
    };
    for (const char* sql :
         {"EXEC ('SELECT 1')", "EXECUTE (N'DECLARE @x int SET @x = 1')", "EXEC ('SELECT ' + N'1')",
          "EXEC ('EXEC (''SELECT 1'')')", "EXEC ('SELECT 1 / 0')"})
        EXPECT_FALSE(read(sql).refused.has_value()) << sql;
    EXPECT_TRUE(read("EXEC ('DELETE FROM LP01_PROVIDER')").writes);
    struct Case {
        const char* sql;
        const char* statement;
        int line;
    };
    for (const Case& c :
         {Case{"SELECT 1\nEXEC ('SELECT 1\nCOMMIT')", "COMMIT", 2}, Case{"EXEC ('COM' + 'MIT')", "COMMIT", 1},
          Case{"EXEC ('EXEC (''EXEC (''''ROLLBACK'''')'')')", "ROLLBACK", 1},
          Case{"EXEC ('SET XACT_ABORT OFF SET NOEXEC ON')", "SET NOEXEC", 1},
          Case{"DECLARE @s nvarchar(9)\nEXEC (@s)", "EXECUTE (@s)", 2},
          Case{"EXEC ('SELECT 1' + @s)", "EXECUTE (@s)", 1},
          Case{"EXEC sp_executesql N'SELECT 1'", "EXECUTE sp_executesql", 1},
          Case{"EXEC ('sp_who')", "EXECUTE sp_who", 1},
          Case{"EXEC ('COMMIT TRAN t WITH (DELAYED_DURABILITY = ON)')", "", 1}}) {
        const check::GuardVerdict v = read(c.sql);
        ASSERT_TRUE(v.refused.has_value()) << c.sql;
        EXPECT_EQ(v.refused->statement.toStdString(), std::string(c.statement)) << c.sql;
        EXPECT_EQ(v.refused->line, c.line) << c.sql;
    }
    // Nested as deep as a text can be written out (each level doubles the quotes of the next).
    QString deep = QStringLiteral("SELECT 1");
    for (int level = 0; level < 12; ++level)
        deep = QStringLiteral("EXEC ('") + QString(deep).replace(u'\'', QStringLiteral("''")) +
               QStringLiteral("')");
    EXPECT_FALSE(read(deep.toUtf8().constData()).refused.has_value());
}

TEST(StatementGuard, ParseErrorsCarryTheEnginesMessageAndPlace) {
    const check::GuardVerdict v = check::guardBatch(QStringLiteral("SET @x = 1\nSET @y = = 2"));
    ASSERT_TRUE(v.refused.has_value());
    EXPECT_EQ(v.refused->number, 102);
    EXPECT_EQ(v.refused->line, 2);
    EXPECT_GT(v.refused->column, 0);
}

TEST(StatementGuard, NonLatinTextAroundAStatementStillFindsIt) {
    const check::GuardVerdict v =
        check::guardBatch(QStringLiteral("SELECT 'ΑΒΓ 日本'\nSET @назва = 1\nCOMMIT"));
    ASSERT_TRUE(v.refused.has_value());
    EXPECT_EQ(v.refused->statement, QStringLiteral("COMMIT"));
    EXPECT_EQ(v.refused->line, 3);
}

} // namespace
