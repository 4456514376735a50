#pragma once

// Hostile formulas: texts that try to end the check's transaction, change the schema or the
// session, reach other servers or run without end. The check's own tests and the SQL Server back
// end's end-to-end tests run them all.

#include <QString>

#include <vector>

namespace checktest {

inline QString repeated(const QString& head, const QString& piece, int times, const QString& tail = {}) {
    QString s = head;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s + tail;
}

struct Hostile {
    const char* name;
    QString text;
};

inline std::vector<Hostile> hostileFormulas() {
    const QString del = QStringLiteral(" DELETE FROM LP01_PROVIDER ");
    std::vector<Hostile> cases = {
        // Transaction control in every spelling.
        {"Commit", QStringLiteral("COMMIT") + del},
        {"CommitTran", QStringLiteral("commit tran") + del},
        {"CommitWork", QStringLiteral("COMMIT WORK") + del},
        {"Rollback", QStringLiteral("ROLLBACK") + del},
        {"RollbackTransaction", QStringLiteral("ROLLBACK TRANSACTION") + del},
        {"BeginTran", QStringLiteral("BEGIN TRAN") + del + QStringLiteral("COMMIT")},
        {"NumberGluedCommit",
         QStringLiteral("SET @OUTPREZZO = 1COMMIT") + del + QStringLiteral("SELECT 1BEGIN TRAN")},
        {"NumberGluedRollback", QStringLiteral("SET @OUTPREZZO = 1ROLLBACK") + del},
        {"DecimalGluedRollback", QStringLiteral("SET @OUTPREZZO = 1.ROLLBACK") + del},
        {"ExponentGluedCommit",
         QStringLiteral("SET @OUTPREZZO = 1E5COMMIT") + del + QStringLiteral("BEGIN TRAN")},
        {"HexGluedCommit", QStringLiteral("SET @OUTPREZZO = 0x1COMMIT") + del + QStringLiteral("BEGIN TRAN")},
        {"GluedSetOption", QStringLiteral("SELECT 1SET XACT_ABORT ON")},
        {"GluedSetOptionList", QStringLiteral("SELECT 1SET NOCOUNT, IMPLICIT_TRANSACTIONS ON") + del},
        {"CommitInTry", QStringLiteral("BEGIN TRY COMMIT END TRY BEGIN CATCH END CATCH") + del},
        {"CommitInIf", QStringLiteral("IF 1 = 1 COMMIT") + del},
        {"CommitInLoop", QStringLiteral("WHILE 1 = 1 BEGIN COMMIT BREAK END") + del},
        {"CommitBetweenComments", QStringLiteral("/* x */COMMIT/* y */") + del},
        {"CommitBetweenSemicolons", QStringLiteral(";COMMIT;") + del},
        {"SaveTransaction",
         QStringLiteral("SAVE TRANSACTION s") + del + QStringLiteral("ROLLBACK TRANSACTION s")},
        {"DotlessI", QStringLiteral("commıt") + del},
        // Table definitions.
        {"DropTable", QStringLiteral("DROP TABLE LP01_PROVIDER")},
        {"CreateTable", QStringLiteral("CREATE TABLE X (A INT)")},
        {"AlterTable", QStringLiteral("ALTER TABLE LP01_PROVIDER ADD X INT")},
        {"Truncate", QStringLiteral("TRUNCATE TABLE LP01_PROVIDER")},
        {"CreateIndex", QStringLiteral("CREATE INDEX I ON LP01_PROVIDER (LP01_ID)")},
        // Data changes: run, and rolled back.
        {"Delete", QStringLiteral("DELETE FROM LP01_PROVIDER")},
        {"Update", QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'x'")},
        {"Insert", QStringLiteral("INSERT INTO LP01_PROVIDER (LP01_ID) VALUES (999)")},
        {"DeleteThenError", QStringLiteral("DELETE FROM LP01_PROVIDER SELECT 1/0")},
        {"UpdateThenEndlessLoop",
         QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHILE 1 = 1 SET @OUTPREZZO = 1")},
        {"DeleteInCatch",
         QStringLiteral("BEGIN TRY DELETE FROM LP01_PROVIDER SELECT 1/0 END TRY BEGIN CATCH DELETE FROM "
                        "LP17_FORMULEMANUT END CATCH")},
        {"EndlessWritingLoop",
         QStringLiteral(
             "WHILE 1 = 1 BEGIN DELETE FROM LP01_PROVIDER INSERT INTO LP01_PROVIDER (LP01_ID) VALUES "
             "(1) END")},
        // Procedures and dynamic SQL.
        {"ExecString", QStringLiteral("EXEC('DELETE FROM LP01_PROVIDER')")},
        {"ExecuteSql", QStringLiteral("EXECUTE sp_executesql N'DELETE FROM LP01_PROVIDER'")},
        {"BareProcedure", QStringLiteral("sp_who")},
        {"ExecVariable", QStringLiteral("DECLARE @s NVARCHAR(100) = 'COMMIT' EXEC(@s)")},
        {"ExecWithResult", QStringLiteral("EXEC @OUTPREZZO = sp_x")},
        {"ExecConcatenatedCommit", QStringLiteral("EXEC ('COM' + 'MIT')") + del},
        {"ExecNestedCommit", QStringLiteral("EXEC ('EXEC (''ROLLBACK'')')") + del},
        {"ExecSetOption", QStringLiteral("EXEC ('SET XACT_ABORT OFF')") + del},
        {"ExecUnreadable", QStringLiteral("EXEC ('COMMIT TRAN t WITH (DELAYED_DURABILITY = ON)')") + del},
        {"ExecInCatch",
         QStringLiteral("BEGIN TRY SELECT 1/0 END TRY BEGIN CATCH EXEC ('COMMIT') END CATCH") + del},
        {"ExecEndlessLoop", QStringLiteral("EXEC ('WHILE 1 = 1 DELETE FROM LP01_PROVIDER')")},
        {"ExecutesqlRecursion",
         QStringLiteral(
             "DECLARE @s nvarchar(200) = N'DELETE FROM LP01_PROVIDER EXEC sp_executesql @s, "
             "N''@s nvarchar(200)'', @s = @s' EXEC sp_executesql @s, N'@s nvarchar(200)', @s = @s")},
        {"RaiserrorFatal", QStringLiteral("DELETE FROM LP01_PROVIDER RAISERROR('x', 25, 1) WITH LOG")},
        {"ThrowAfterDelete", QStringLiteral("DELETE FROM LP01_PROVIDER;THROW 50001, 'x', 1")},
        // SELECT INTO and temporary objects.
        {"SelectInto", QStringLiteral("SELECT * INTO X FROM LP01_PROVIDER")},
        {"SelectIntoTemp", QStringLiteral("SELECT 1 AS A INTO #t")},
        {"CreateTemp", QStringLiteral("CREATE TABLE #t (A INT)")},
        {"TableVariable", QStringLiteral("DECLARE @t TABLE (A INT) INSERT INTO @t VALUES (1)")},
        {"GlobalTemp", QStringLiteral("CREATE TABLE ##g (A INT)")},
        {"TempThenPermanentDrop", QStringLiteral("CREATE TABLE #t (A INT) DROP TABLE #t, LP01_PROVIDER")},
        {"TempTableFromTable",
         QStringLiteral(
             "CREATE TABLE #t (A INT IDENTITY, F VARCHAR(MAX)) INSERT #t (F) SELECT LP01_FORMULE FROM "
             "LP01_PROVIDER UPDATE LP01_PROVIDER SET LP01_FORMULE = (SELECT MAX(F) FROM #t)")},
        {"EndlessRecursion",
         QStringLiteral(
             ";WITH c AS (SELECT 1 AS n UNION ALL SELECT n + 1 FROM c) SELECT @OUTPREZZO = COUNT(*) "
             "FROM c OPTION (MAXRECURSION 0)")},
        {"EndlessRecursionOverTable",
         QStringLiteral(";WITH c AS (SELECT N FROM T100 UNION ALL SELECT c.N + 1 FROM c) SELECT @OUTPREZZO = "
                        "COUNT(*) FROM c")},
        // Waiting and endless work.
        {"WaitforDelay", QStringLiteral("WAITFOR DELAY '23:59:00'")},
        {"WaitforTime", QStringLiteral("WAITFOR TIME '23:59'")},
        {"EndlessLoop", QStringLiteral("WHILE 1 = 1 SET @OUTPREZZO = 1")},
        {"EndlessCaughtErrors",
         QStringLiteral("WHILE 1 = 1 BEGIN TRY SET @OUTPREZZO = 1/0 END TRY BEGIN CATCH END CATCH")},
        {"Goto", QStringLiteral("label: GOTO label")},
        // Exploding strings.
        {"DoublingString", QStringLiteral("DECLARE @v VARCHAR(MAX) = 'x' WHILE 1 = 1 SET @v = @v + @v")},
        {"HugeReplicate", QStringLiteral("SELECT REPLICATE(CAST('x' AS VARCHAR(MAX)), 2000000000)")},
        {"DoublingConcat",
         QStringLiteral(
             "DECLARE @v NVARCHAR(MAX) = REPLICATE(N'x', 4000) WHILE 1 = 1 SET @v = CONCAT(@v, @v)")},
        // Cross joins.
        {"SixWayCrossJoin",
         QStringLiteral("SELECT COUNT(*) FROM T100 a, T100 b, T100 c, T100 d, T100 e, T100 f")},
        {"CrossJoinRows",
         QStringLiteral("SELECT * FROM T100 a CROSS JOIN T100 b CROSS JOIN T100 c CROSS JOIN T100 d")},
        {"WriteThenCrossJoin",
         QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'x' SELECT COUNT(*) FROM T100 "
                        "a, T100 b, T100 c, T100 d, T100 e")},
        // Batch separators.
        {"GoBetween", QStringLiteral("SELECT 1\nGO\nDELETE FROM LP01_PROVIDER")},
        {"GoAlone", QStringLiteral("GO")},
        // Comments and quotes hiding statements, or statements hiding in them.
        {"QuotesAroundCommit", QStringLiteral("SELECT '/*' COMMIT SELECT '*/'") + del},
        {"CarriageReturnEndsComment", QStringLiteral("-- comment\rCOMMIT") + del},
        {"NestedComments", QStringLiteral("/* /* */ COMMIT */ DELETE FROM LP01_PROVIDER")},
        {"BracketedName", QStringLiteral("SELECT [x]]COMMIT] FROM LP01_PROVIDER")},
        {"QuotedIdentifier", QStringLiteral("SELECT \"COMMIT\"") + del},
        {"StringWithCommit", QStringLiteral("SELECT N'''; COMMIT; --'") + del},
        {"UnterminatedString", QStringLiteral("SELECT 'x") + del},
        // Unicode look-alikes.
        {"CyrillicC", QStringLiteral("СOMMIT") + del},
        {"FullWidth", QStringLiteral("ＣＯＭＭＩＴ") + del},
        {"ZeroWidthSpace", QStringLiteral("COMMIT\u200B") + del},
        {"SoftHyphen", QStringLiteral("DEL\u00ADETE FROM LP01_PROVIDER")},
        // Session options.
        {"XactAbort", QStringLiteral("SET XACT_ABORT ON")},
        {"XactAbortOff", QStringLiteral("SET XACT_ABORT OFF") + del + QStringLiteral(" SELECT 1 / 0") + del},
        {"XactAbortCaught", QStringLiteral("SET XACT_ABORT ON BEGIN TRY SELECT 1 / 0 END TRY BEGIN CATCH") +
                                del + QStringLiteral(" END CATCH")},
        {"OptionListNoExec", QStringLiteral("SET NOCOUNT, NOEXEC ON") + del},
        {"DateSettings", QStringLiteral("SET LANGUAGE Italiano SET DATEFORMAT ydm SET DATEFIRST 3") + del},
        {"ImplicitTransactions", QStringLiteral("SET IMPLICIT_TRANSACTIONS ON") + del},
        {"NoExec", QStringLiteral("SET NOEXEC ON")},
        {"RowCount", QStringLiteral("SET ROWCOUNT 1")},
        // A linked server.
        {"LinkedServer", QStringLiteral("SELECT * FROM srv.db.dbo.LP01_PROVIDER")},
        // Depth and length.
        {"LongSum", repeated(QStringLiteral("SET @OUTPREZZO = 1"), QStringLiteral("+1"), 12000)},
        {"LongSelect", repeated(QStringLiteral("SELECT 1"), QStringLiteral("+1"), 11000)},
        {"DeepParentheses", repeated(QStringLiteral("SELECT "), QStringLiteral("("), 5000) +
                                QStringLiteral("1") + QString(5000, u')')},
        {"LongElseIf", repeated(QStringLiteral("IF 1 = 0 SET @OUTPREZZO = 1"),
                                QStringLiteral(" ELSE IF 1 = 0 SET @OUTPREZZO = 1"), 5000)},
        {"LongAnd", repeated(QStringLiteral("IF 1 = 1"), QStringLiteral(" AND 1 = 1"), 8000,
                             QStringLiteral(" SET @OUTPREZZO = 1"))},
        {"LongCase", repeated(QStringLiteral("SET @OUTPREZZO = CASE @OUTPREZZO"),
                              QStringLiteral(" WHEN 1 THEN 2"), 5000, QStringLiteral(" END"))},
    };
    return cases;
}

} // namespace checktest
