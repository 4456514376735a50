// The memory a batch builds is counted before it is built, wherever it is built: the arguments
// of string functions while their result is made, results and messages of loops, values that
// pass through SQLite; the batches of the whole process share one ceiling; and a batch's pages
// written to disk stop at the disk budget, leaving the log file no larger than before.

#include "tsql/Session.h"
#include "tsql/base/Limits.h"

#include "TestDb.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <malloc.h>

#include <thread>

using tsql::Limits;
using tsql::RunResult;
using tsql::Session;

namespace {

using tsqltest::resident;

using BudgetsTest = tsqltest::LimitedSessionTest;

struct GrowthCase {
    const char* name;
    const char* batch;
};

// Each piece fits in 32 MB on its own; what is held while the next is built does not.
const GrowthCase kGrowth[] = {
    {"REPLACE of a REPLICATE",
     "SELECT LEN(REPLACE(REPLICATE(CAST('a' AS VARCHAR(MAX)), 12000000), 'a', 'aa'))"},
    {"REPLACE keeping the length",
     "SELECT LEN(REPLACE(REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000), 'a', 'b'))"},
    {"REVERSE", "SELECT LEN(REVERSE(REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000)))"},
    {"LTRIM of RTRIM", "SELECT LEN(LTRIM(RTRIM(REPLICATE(CAST(' a ' AS VARCHAR(MAX)), 3000000))))"},
    {"UPPER", "SELECT LEN(UPPER(REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000)))"},
    {"SUBSTRING", "SELECT LEN(SUBSTRING(REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000), 2, 8999990))"},
    {"CONCAT", "SELECT LEN(CONCAT(REPLICATE(CAST('a' AS VARCHAR(MAX)), 5000000), "
               "REPLICATE(CAST('b' AS VARCHAR(MAX)), 5000000)))"},
    {"concatenation", "SELECT LEN(REPLICATE(CAST('a' AS VARCHAR(MAX)), 5000000) + "
                      "REPLICATE(CAST('b' AS VARCHAR(MAX)), 5000000))"},
    {"STUFF", "SELECT LEN(STUFF(REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000), 2, 1, 'xy'))"},
    {"xml of a long text", "SELECT CAST(REPLICATE(CAST('<a/>' AS VARCHAR(MAX)), 3000000) AS XML)"},
    {"TRANSLATE", "SELECT LEN(TRANSLATE(REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000), 'a', 'b'))"},
    {"TRIM of characters", "SELECT LEN(TRIM('x' FROM REPLICATE(CAST('a' AS VARCHAR(MAX)), 9000000)))"},
    {"CONCAT_WS", "SELECT LEN(CONCAT_WS(',', REPLICATE(CAST('a' AS VARCHAR(MAX)), 5000000), "
                  "REPLICATE(CAST('b' AS VARCHAR(MAX)), 5000000)))"},
    {"STRING_AGG",
     "SELECT LEN(STRING_AGG(v, ',')) FROM (VALUES (REPLICATE(CAST('a' AS VARCHAR(MAX)), 5000000)), "
     "(REPLICATE(CAST('b' AS VARCHAR(MAX)), 5000000))) AS t(v)"},
    {"STRING_SPLIT into many short pieces",
     "SELECT COUNT(*) FROM STRING_SPLIT(REPLICATE(CAST('a,' AS VARCHAR(MAX)), 4000000), ',')"},
};

TEST_F(BudgetsTest, StringFunctionsCountWhatTheirArgumentsHold) {
    limit(30000, 32LL << 20);
    for (const GrowthCase& c : kGrowth) {
        const qint64 before = startMeasuring();
        RunResult r = session.run(QString::fromUtf8(c.batch));
        const qint64 peak = resident("VmHWM");
        ASSERT_TRUE(r.error.has_value()) << c.name;
        EXPECT_EQ(r.error->number, 40002) << c.name << ": " << r.error->message.toStdString();
        if (before > 0 && peak > 0) {
            EXPECT_LT(peak - before, 48LL << 20) << c.name;
        }
    }
    // Within the budget they still run.
    EXPECT_EQ(tsqltest::firstCell(ok(QStringLiteral(
                  "SELECT LEN(REPLACE(REPLICATE(CAST('a' AS VARCHAR(MAX)), 3000000), 'a', 'aa'))"))),
              QStringLiteral("6000000"));
}

// What a batch returns or prints in a loop is held until it ends: it stops at the budget, and
// what it holds then is not much more than the budget.
TEST_F(BudgetsTest, ResultsAndMessagesOfLoopsStopAtTheBudget) {
    const char* loops[] = {"WHILE 1 = 1 SELECT 1", "WHILE 1 = 1 PRINT 'x'", "WHILE 1 = 1 SELECT n FROM T100"};
    limit(30000, 16LL << 20);
    for (const char* loop : loops) {
        const qint64 before = startMeasuring();
        {
            RunResult r = session.run(QString::fromUtf8(loop));
            ASSERT_TRUE(r.error.has_value()) << loop;
            EXPECT_EQ(r.error->number, 40002) << loop << ": " << r.error->message.toStdString();
            const qint64 held = resident("VmRSS");
            if (before > 0 && held > 0) {
                EXPECT_LT(held - before, 24LL << 20) << loop;
            }
        }
    }
}

// The batches of all sessions share one ceiling: one holding most of it leaves another too
// little, which stops with the server's Msg 701; the counter is back to nothing afterwards.
TEST_F(BudgetsTest, TheBatchesOfTheProcessShareOneCeiling) {
    const qint64 idle = tsql::serverMemoryInUse();
    Limits l;
    l.memoryBytes = 64LL << 20;
    l.serverMemoryBytes = 40LL << 20;
    l.timeoutMs = 20000;
    std::atomic<Session*> holding{nullptr};
    std::thread holder([&] {
        QSqlDatabase other = tsqltest::makeDb();
        {
            Session s(other);
            s.setLimits(l);
            holding = &s;
            // 24 MB held until the other session has tried; then it is cancelled.
            RunResult r =
                s.run(QStringLiteral("DECLARE @v VARCHAR(MAX) = REPLICATE(CAST('x' AS VARCHAR(MAX)), "
                                     "12000000), @n INT = 0 WHILE @n < 1000000000 SET @n += 1"));
            EXPECT_TRUE(r.error.has_value());
            holding = nullptr;
        }
        const QString name = other.connectionName();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    });
    for (int k = 0; k < 2000 && tsql::serverMemoryInUse() < idle + (20LL << 20); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    session.setLimits(l);
    RunResult r = session.run(QStringLiteral("SELECT LEN(REPLICATE(CAST('x' AS VARCHAR(MAX)), 10000000))"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 701);
    EXPECT_EQ(r.error->level, 17);
    EXPECT_EQ(
        r.error->message,
        QStringLiteral("There is insufficient system memory in resource pool 'default' to run this query."));
    // The same batch fits with the ceiling raised.
    l.serverMemoryBytes = 0;
    session.setLimits(l);
    EXPECT_EQ(
        tsqltest::firstCell(ok(QStringLiteral("SELECT LEN(REPLICATE(CAST('x' AS VARCHAR(MAX)), 10000000))"))),
        QStringLiteral("10000000"));
    if (Session* h = holding.load())
        h->cancel();
    holder.join();
    EXPECT_EQ(tsql::serverMemoryInUse(), idle);
}

struct DiskCase {
    const char* name;
    const char* batch;
};

// Each writes gigabytes within seconds without the budget.
const DiskCase kDisk[] = {
    {"temporary table doubling",
     "CREATE TABLE #t (s VARCHAR(400)) INSERT #t VALUES (REPLICATE('x', 400)) WHILE 1 = 1 INSERT #t SELECT s "
     "FROM #t"},
    {"table doubling",
     "INSERT LP01_PROVIDER (LP01_ID, LP01_FORMULE) VALUES (1, REPLICATE('y', 400)) DECLARE @m INT = 1000 "
     "WHILE 1 = 1 BEGIN INSERT LP01_PROVIDER (LP01_ID, LP01_FORMULE) SELECT LP01_ID + @m, LP01_FORMULE FROM "
     "LP01_PROVIDER SET @m = @m * 2 END"},
};

// A check's batch writing to a database file another connection keeps open stops at its disk
// budget (Msg 40006), and the log file is afterwards no larger than before.
TEST_F(BudgetsTest, WritesStopAtTheDiskBudgetAndTheLogIsGivenBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("budget.sqlite"));
    tsqltest::createFile(path, QStringLiteral("WAL"));
    tsqltest::FileConnection reader(path);
    ASSERT_EQ(reader.scalar(QStringLiteral("SELECT COUNT(*) FROM T100")), QStringLiteral("100"));
    tsqltest::FileConnection writer(path);
    {
        Session s(writer.db());
        Limits l;
        l.timeoutMs = 20000;
        l.diskBytes = 2LL << 20;
        s.setLimits(l);
        const qint64 fileBefore = QFileInfo(path).size();
        const qint64 logBefore = QFileInfo(path + QStringLiteral("-wal")).size();
        for (const DiskCase& c : kDisk) {
            const tsql::IsolatedRun r = s.runIsolated(QString::fromUtf8(c.batch), true);
            ASSERT_TRUE(r.result.error.has_value()) << c.name;
            EXPECT_EQ(r.result.error->number, 40006)
                << c.name << ": " << r.result.error->message.toStdString();
            EXPECT_EQ(r.result.error->level, 20) << c.name;
            EXPECT_EQ(
                r.result.error->message,
                QStringLiteral("The batch writes more than 2 MB to disk, the limit of the embedded server."))
                << c.name;
            EXPECT_LE(QFileInfo(path).size(), fileBefore) << c.name;
            EXPECT_LE(QFileInfo(path + QStringLiteral("-wal")).size(), std::max<qint64>(logBefore, 4LL << 20))
                << c.name;
        }
        // Nothing stayed, and a batch within the budget runs.
        EXPECT_EQ(reader.scalar(QStringLiteral("SELECT COUNT(*) FROM LP01_PROVIDER")), QStringLiteral("1"));
        const tsql::IsolatedRun small = s.runIsolated(
            QStringLiteral("DECLARE @t TABLE (a INT) INSERT @t SELECT n FROM T100 SELECT COUNT(*) FROM @t"),
            true);
        ASSERT_FALSE(small.result.error.has_value()) << small.result.error->message.toStdString();
    }
}

} // namespace
