// Hostile formulas through the three ways a text reaches the server: the check of the window,
// the batch check of the tool (runGuarded) and the save. Whatever the text, the database is
// the same afterwards, the run ends within the limits, and the verdict says why.

#include "TestDatabase.h"
#include "check/FormulaStore.h"
#include "check/GuardedRun.h"
#include "check/SyntaxCheck.h"
#include "language/FormulaLanguage.h"

#include <QElapsedTimer>
#include <QSqlQuery>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

using checktest::TestDatabase;

// Short limits so that endless batches end quickly here; the shipped ones are longer.
ado::CommandLimits testLimits() {
    ado::CommandLimits limits;
    limits.timeoutMs = 300;
    limits.memoryBytes = 64LL << 20;
    limits.lockWaitMs = 2000;
    return limits;
}

QString repeated(const QString& head, const QString& piece, int times, const QString& tail = {}) {
    QString s = head;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s + tail;
}

struct Hostile {
    const char* name;
    QString text;
};

std::vector<Hostile> hostileFormulas() {
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

// The test database with a table of 100 rows for cross joins.
struct HostileDatabase : TestDatabase {
    HostileDatabase() {
        connection->setLimits(testLimits());
        QSqlDatabase db = raw();
        QSqlQuery q(db);
        q.exec(QStringLiteral("CREATE TABLE T100 (N INTEGER NOT NULL PRIMARY KEY)"));
        q.exec(QStringLiteral("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100) "
                              "INSERT INTO T100 SELECT n FROM c"));
    }
    QSqlDatabase raw() const { return QSqlDatabase::database(rawName()); }
};

// The language of the window: labels as their Italian texts, errors answered with abort.
struct Window {
    explicit Window(HostileDatabase& db)
        : host({.connection = [&db] { return db.connection.get(); },
                .messageBox = [](const QString&, int, const QString&) { return check::answer::Yes; },
                .context = [] { return 0; },
                .id = [] { return core::Variant::fromInt32(13); }})
        , language(host)
        , check(box, host, {.decode = check::decodeWith(language), .limits = testLimits()}) {}
    core::FunctionServices host;
    check::StringTextBox box;
    language::FormulaLanguage language;
    check::SyntaxCheck check;
};

class HostileFormulas : public ::testing::TestWithParam<Hostile> {};

// Limit plus slack for the machine and the sanitizers; a run that does not end fails the
// test long before that.
constexpr qint64 kEndsWithinMs = 20000;

TEST_P(HostileFormulas, ChangeNothingAndEndWithAVerdict) {
    HostileDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    const QString before = db.dump();
    const Hostile& h = GetParam();
    Window w(db);
    QElapsedTimer clock;

    // The window's check.
    clock.start();
    w.box.setText(h.text);
    const bool correct = !w.check.CheckFormula(false).isEmpty();
    EXPECT_LT(clock.elapsed(), kEndsWithinMs) << h.name;
    if (!correct) {
        EXPECT_FALSE(w.check.lastServerMessage().isEmpty()) << h.name;
    }
    EXPECT_EQ(db.dump(), before) << h.name << " (check)";
    EXPECT_EQ(db.connection->TransactionCount(), 0) << h.name;

    // The batch check of the tool.
    clock.restart();
    const check::GuardedOutcome outcome =
        check::runGuarded(*db.connection, h.text, testLimits(), check::DynamicBatches::ConstantsRead);
    EXPECT_LT(clock.elapsed(), kEndsWithinMs) << h.name;
    if (!outcome.accepted()) {
        EXPECT_FALSE(check::describeFailure(outcome).isEmpty()) << h.name;
    }
    EXPECT_EQ(db.dump(), before) << h.name << " (check-sql)";

    // The save, confirmed: only the formula column of the record changes, to the formula itself.
    clock.restart();
    check::FormulaStore store(w.box, w.host,
                              {.checkFormula = check::FormulaStore::checkWith(w.check),
                               .decode = check::decodeWith(w.language),
                               .canEncode = check::canEncodeWith(w.language)});
    store.UpdateFormula();
    EXPECT_LT(clock.elapsed(), kEndsWithinMs) << h.name;
    if (store.lastWritten()) {
        EXPECT_FALSE(db.formula(0, 13).isNull()) << h.name;
    }
    QSqlQuery reset(db.raw());
    reset.exec(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 13"));
    EXPECT_EQ(db.dump(), before) << h.name << " (save)";

    // The connection goes on working and writes for good.
    db.connection->Execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'X' WHERE LP01_ID = 13"));
    EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("X")) << h.name;
}

INSTANTIATE_TEST_SUITE_P(Check, HostileFormulas, ::testing::ValuesIn(hostileFormulas()),
                         [](const ::testing::TestParamInfo<Hostile>& test) {
                             return std::string(test.param.name);
                         });

// Another connection to the same file, on a thread of its own, that holds the write lock for a
// while: as another user's save in progress.
class OtherWriter {
public:
    OtherWriter(const QString& connectionString, int holdMs)
        : m_thread([this, connectionString, holdMs] {
            ado::Connection c;
            c.Open(connectionString);
            c.BeginTrans();
            c.Execute(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'other' WHERE LP07_ID = 12"));
            m_holding = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            c.CommitTrans();
            c.Close();
        }) {
        while (!m_holding)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~OtherWriter() { m_thread.join(); }

private:
    std::atomic<bool> m_holding{false};
    std::thread m_thread;
};

// A temporary table a check creates, and the table variables it declares, are gone when the
// check ends: the next check finds no #t and may create it again.
TEST(TemporaryTables, NothingOutlivesTheCheck) {
    HostileDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    const QString make =
        QStringLiteral("CREATE TABLE #t (A INT) INSERT #t VALUES (1) DECLARE @v TABLE (B INT)");
    EXPECT_TRUE(check::runGuarded(*db.connection, make, testLimits()).accepted());
    const check::GuardedOutcome read =
        check::runGuarded(*db.connection, QStringLiteral("SELECT A FROM #t"), testLimits());
    ASSERT_FALSE(read.errors.isEmpty());
    EXPECT_EQ(read.errors.first().nativeError, 208);
    EXPECT_TRUE(check::runGuarded(*db.connection, make, testLimits()).accepted());
}

TEST(CheckLocks, ACheckThatWritesWaitsForAnotherWritersLock) {
    HostileDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Window w(db);
    w.box.setText(QStringLiteral("DELETE FROM LP01_PROVIDER SET @OUTPREZZO = 1"));
    bool correct = false;
    {
        OtherWriter other(db.connectionString(), 400);
        correct = !w.check.CheckFormula(false).isEmpty();
    }
    EXPECT_TRUE(correct) << w.check.lastServerMessage().toStdString();
    EXPECT_EQ(db.formula(1, 12).toString(), QStringLiteral("other")); // the other writer's change stays
    EXPECT_EQ(db.formula(0, 12).toString(), QStringLiteral("SET @OUTPREZZO = 1")); // the check's is gone
}

TEST(CheckLocks, ASaveWaitsForACheckHoldingTheWriteLock) {
    HostileDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    // The check writes, then loops until its time limit: it holds the write lock all that time.
    std::atomic<bool> checking{false};
    std::thread checker([&] {
        ado::Connection c;
        c.Open(db.connectionString());
        ado::CommandLimits limits = testLimits();
        limits.timeoutMs = 600;
        checking = true;
        check::runGuarded(
            c, QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'x' WHILE 1 = 1 SET @i = 1"), limits);
        c.Close();
    });
    while (!checking)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NO_THROW(db.connection->Execute(
        QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'saved' WHERE LP17_ID = 12")));
    checker.join();
    EXPECT_EQ(db.formula(2, 12).toString(), QStringLiteral("saved"));
    EXPECT_EQ(db.formula(0, 12).toString(), QStringLiteral("SET @OUTPREZZO = 1"));
}

TEST(CheckLocks, ASaveThatCannotGetTheLockSaysSo) {
    HostileDatabase db;
    ado::CommandLimits limits = testLimits();
    limits.lockWaitMs = 100;
    db.connection->setLimits(limits);
    OtherWriter other(db.connectionString(), 800);
    try {
        db.connection->Execute(
            QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'saved' WHERE LP17_ID = 12"));
        ADD_FAILURE() << "the save did not wait for the lock";
    } catch (const core::ComError& e) {
        ASSERT_GT(db.connection->GetErrors().Count(), 0);
        EXPECT_EQ(db.connection->GetErrors().Item(0).nativeError, 1222);
        EXPECT_EQ(e.description(), QStringLiteral("Lock request time out period exceeded."));
    }
}

} // namespace