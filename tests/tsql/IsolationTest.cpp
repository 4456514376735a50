// A batch run in isolation leaves the database file as it found it, whatever its statements
// do with transactions, and waits for other connections' locks no longer than the limits say.

#include "tsql/Engine.h"

#include "TestDb.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using tsql::BatchResult;
using tsql::Engine;
using tsql::IsolatedResult;
using tsql::Limits;

namespace {

// A database file in the journal mode of the test's parameter.
class IsolationTest : public ::testing::TestWithParam<const char*> {
protected:
    QTemporaryDir dir;
    QString path;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("formule.sqlite"));
        tsqltest::createFile(path, QString::fromUtf8(GetParam()));
    }

    // Every row of every table, read by another connection.
    QString dump() {
        QString out;
        tsqltest::FileConnection c(path);
        {
            QSqlQuery tables(c.db());
            tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
            QStringList names;
            while (tables.next())
                names << tables.value(0).toString();
            for (const QString& t : names) {
                QSqlQuery rows(c.db());
                rows.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t));
                out += t + u'\n';
                while (rows.next()) {
                    QStringList cells;
                    for (int k = 0; k < rows.record().count(); ++k)
                        cells << rows.value(k).toString();
                    out += cells.join(u'|') + u'\n';
                }
            }
        }
        return out;
    }

    // A digest of the bytes of the database file once everything committed is in it (the
    // write-ahead log checkpointed), and every row as another connection reads it.
    QString snapshot() {
        tsqltest::FileConnection(path).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromLatin1(
                   QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()) +
               u'\n' + dump();
    }
};

struct IsolatedCase {
    const char* name;
    const char* batch;
    int error;          // message number the batch stops with, 0 none
    int tranCountAfter; // @@TRANCOUNT when it ended, -1 any
};

const IsolatedCase kBatches[] = {
    {"data changed", "DELETE FROM LP14_CAMPI UPDATE T100 SET n = n + 1 INSERT INTO T100 VALUES (1000)", 0, 1},
    {"nothing changed", "SELECT COUNT(*) FROM T100", 0, 1},
    {"COMMIT, then data changed", "COMMIT DELETE FROM LP14_CAMPI", 0, 0},
    {"COMMIT, data changed, a transaction committed",
     "COMMIT DELETE FROM LP14_CAMPI BEGIN TRAN INSERT INTO T100 VALUES (1000) COMMIT", 0, 0},
    {"ROLLBACK, then data changed", "ROLLBACK DELETE FROM LP14_CAMPI", 0, 0},
    {"data changed, ROLLBACK, changed again", "DELETE FROM T100 ROLLBACK DELETE FROM LP14_CAMPI", 0, 0},
    {"BEGIN TRAN, ROLLBACK, then data changed",
     "BEGIN TRAN ROLLBACK UPDATE LP14_CAMPI SET LP14_DESCRIZIONE = 'x'", 0, 0},
    {"COMMIT inside TRY", "BEGIN TRY COMMIT END TRY BEGIN CATCH END CATCH DELETE FROM LP14_CAMPI", 0, 0},
    {"a COMMIT too many", "COMMIT COMMIT DELETE FROM LP14_CAMPI", 3902, 0},
    {"a COMMIT too many, caught",
     "COMMIT BEGIN TRY COMMIT END TRY BEGIN CATCH END CATCH DELETE FROM LP14_CAMPI", 0, 0},
    {"nested transactions committed past the caller's",
     "BEGIN TRAN BEGIN TRAN DELETE FROM T100 COMMIT COMMIT COMMIT INSERT INTO T100 VALUES (7)", 0, 0},
    {"a loop of changes and COMMIT",
     "DECLARE @i INT = 0 WHILE @i < 20 BEGIN INSERT INTO T100 VALUES (1000 + @i) COMMIT BEGIN TRAN "
     "SET @i += 1 END",
     0, 1},
    {"a loop of COMMIT and ROLLBACK, caught",
     "DECLARE @i INT = 0 WHILE @i < 10 BEGIN BEGIN TRY COMMIT END TRY BEGIN CATCH END CATCH "
     "BEGIN TRY ROLLBACK END TRY BEGIN CATCH END CATCH DELETE FROM T100 WHERE n = @i SET @i += 1 END",
     0, 0},
    {"an error in the middle", "DELETE FROM T100 COMMIT SELECT 1/0 DELETE FROM LP14_CAMPI", 8134, 0},
    {"ROLLBACK in a CATCH block",
     "BEGIN TRY DELETE FROM T100 SELECT 1/0 END TRY BEGIN CATCH ROLLBACK END CATCH DELETE FROM LP14_CAMPI", 0,
     0},
    {"a key violation caught",
     "COMMIT BEGIN TRY INSERT INTO LP14_CAMPI VALUES (1, 'dup', NULL, 1, 0) END TRY BEGIN CATCH END CATCH "
     "DELETE FROM LP14_CAMPI",
     0, 0},
    {"a large value written",
     "COMMIT UPDATE LP01_PROVIDER SET LP01_FORMULE = REPLICATE(CAST('x' AS VARCHAR(MAX)), 2000000) "
     "INSERT INTO T100 SELECT n + 100 FROM T100",
     0, 0},
    {"out of time in the middle of an UPDATE",
     "COMMIT UPDATE T100 SET n = n + 1 WHERE (SELECT COUNT(*) FROM T100 a, T100 b, T100 c "
     "WHERE a.n <> T100.n) > 0",
     3617, -1},
    {"out of time in a loop of transactions",
     "WHILE 1 = 1 BEGIN BEGIN TRAN INSERT INTO T100 VALUES (1) COMMIT END", 3617, -1},
    {"out of time in a loop of changes after COMMIT",
     "COMMIT WHILE 1 = 1 BEGIN TRY INSERT INTO T100 VALUES (1) SELECT 1/0 END TRY BEGIN CATCH END CATCH",
     3617, 0},
};

TEST_P(IsolationTest, NothingTheBatchDoesIsKept) {
    const QString before = snapshot();
    {
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        for (const IsolatedCase& c : kBatches) {
            // Short for the batches meant to run out of time, ample for the others on a busy machine.
            Limits limits;
            limits.timeoutMs = c.error == 3617 ? 300 : 30000;
            engine.setLimits(limits);
            IsolatedResult r = engine.executeIsolated(QString::fromUtf8(c.batch), true);
            if (c.error == 0) {
                EXPECT_FALSE(r.result.error.has_value())
                    << c.name << ": " << r.result.error->message.toStdString();
            } else {
                ASSERT_TRUE(r.result.error.has_value()) << c.name;
                EXPECT_EQ(r.result.error->number, c.error)
                    << c.name << ": " << r.result.error->message.toStdString();
            }
            if (c.tranCountAfter >= 0) {
                EXPECT_EQ(r.transactionCountAfter, c.tranCountAfter) << c.name;
            }
            EXPECT_EQ(engine.transactionCount(), 0) << c.name;
            EXPECT_EQ(snapshot(), before) << c.name;
        }
        // The connection is left in autocommit: a plain batch afterwards is kept.
        BatchResult r = engine.execute(QStringLiteral("DELETE FROM T100 WHERE n = 1"));
        ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        EXPECT_EQ(engine.transactionCount(), 0);
    }
    EXPECT_NE(snapshot(), before);
    EXPECT_TRUE(dump().contains(QStringLiteral("T100\n2\n")));
}

TEST_P(IsolationTest, ABatchCannotOutliveATransactionSqliteEnded) {
    const QString before = snapshot();
    {
        tsqltest::FileConnection db(path);
        // The file may not grow: writing a large value fails with SQLITE_FULL, after which SQLite
        // rolls back the whole transaction by itself.
        QSqlQuery pages(db.db());
        pages.exec(QStringLiteral("PRAGMA page_count"));
        ASSERT_TRUE(pages.next());
        db.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages.value(0).toLongLong()));
        Engine engine(db.db());
        IsolatedResult r = engine.executeIsolated(
            QStringLiteral(
                "BEGIN TRY UPDATE LP01_PROVIDER SET LP01_FORMULE = REPLICATE(CAST('x' AS VARCHAR(MAX)), "
                "3000000) END TRY BEGIN CATCH PRINT ERROR_MESSAGE() END CATCH "
                "DELETE FROM LP14_CAMPI"),
            false);
        // The DELETE after the CATCH block would have run outside any transaction.
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(engine.transactionCount(), 0);
        ASSERT_TRUE(r.result.error.has_value());
        EXPECT_EQ(r.result.error->number, 40003) << r.result.error->message.toStdString();
        EXPECT_GE(r.result.error->level, 20);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_P(IsolationTest, RefusedWhileATransactionIsOpen) {
    {
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        engine.beginTransaction();
        IsolatedResult r = engine.executeIsolated(QStringLiteral("DELETE FROM T100"), true);
        ASSERT_TRUE(r.result.error.has_value());
        EXPECT_EQ(r.result.error->number, 40004);
        EXPECT_EQ(engine.transactionCount(), 1);
        engine.rollbackTransaction();
        EXPECT_EQ(engine.transactionCount(), 0);
        BatchResult count = engine.execute(QStringLiteral("SELECT COUNT(*) FROM T100"));
        ASSERT_EQ(count.resultSets.size(), 1);
        EXPECT_EQ(count.resultSets[0].rows[0][0].toString(), QStringLiteral("100"));
    }
}

// The batches that meet another connection's write lock: isolated (taking the write lock first, or
// reading and then writing) and plain (alone or in a transaction of their own).
struct LockAttempt {
    const char* name;
    const char* batch;
    bool isolated;
    bool writeLock;
    std::optional<tsql::ServerError> run(Engine& engine) const {
        if (isolated)
            return engine.executeIsolated(QString::fromUtf8(batch), writeLock).result.error;
        return engine.execute(QString::fromUtf8(batch)).error;
    }
};
const LockAttempt lockAttempts[] = {
    {"isolated, write lock first", "DELETE FROM T100", true, true},
    {"isolated, reading then writing", "SELECT COUNT(*) FROM T100 DELETE FROM T100", true, false},
    {"plain batch", "DELETE FROM T100", false, false},
    {"plain batch in a transaction", "BEGIN TRAN UPDATE T100 SET n = 0 COMMIT", false, false},
};

TEST_P(IsolationTest, ALockHeldElsewhereEndsInTheLockTimeout) {
    const QString before = snapshot();
    {
        tsqltest::FileConnection holder(path);
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        Limits limits;
        limits.lockWaitMs = 200;
        engine.setLimits(limits);
        ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN IMMEDIATE")));

        for (const LockAttempt& a : lockAttempts) {
            QElapsedTimer clock;
            clock.start();
            const std::optional<tsql::ServerError> error = a.run(engine);
            ASSERT_TRUE(error.has_value()) << a.name;
            EXPECT_EQ(error->number, 1222) << a.name << ": " << error->message.toStdString();
            EXPECT_EQ(error->level, 16) << a.name;
            EXPECT_EQ(error->state, 51) << a.name;
            EXPECT_EQ(error->message, QStringLiteral("Lock request time out period exceeded.")) << a.name;
            EXPECT_LT(clock.elapsed(), 5000) << a.name;
            if (engine.transactionCount() > 0)
                engine.rollbackTransaction();
            EXPECT_EQ(engine.transactionCount(), 0) << a.name;
        }
        holder.exec(QStringLiteral("ROLLBACK"));
        IsolatedResult r = engine.executeIsolated(QStringLiteral("DELETE FROM T100"), true);
        EXPECT_FALSE(r.result.error.has_value()) << r.result.error->message.toStdString();
    }
    EXPECT_EQ(snapshot(), before);
}

// A cancel from another thread while the batch waits for another connection's lock ends the wait
// at once, as it ends a running batch (Msg 3617): the lock wait here is a minute, so a wait that
// did not hear the cancel would end in the lock time-out instead. Afterwards the engine runs the
// next batch as usual.
TEST_P(IsolationTest, ACancelEndsTheWaitForALockHeldElsewhere) {
    const QString before = snapshot();
    {
        tsqltest::FileConnection holder(path);
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        Limits limits;
        limits.lockWaitMs = 60000;
        engine.setLimits(limits);
        ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN IMMEDIATE")));

        for (const LockAttempt& a : lockAttempts) {
            // The user's "Interrompi", repeated until the run returns (a cancel that comes before
            // the batch has started is forgotten when it starts).
            std::atomic<bool> done{false};
            std::thread canceller([&] {
                while (!done) {
                    engine.cancel();
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            });
            const std::optional<tsql::ServerError> error = a.run(engine);
            done = true;
            canceller.join();
            ASSERT_TRUE(error.has_value()) << a.name;
            EXPECT_EQ(error->number, 3617) << a.name << ": " << error->message.toStdString();
            EXPECT_EQ(error->message, QStringLiteral("Query timeout expired")) << a.name;
            if (engine.transactionCount() > 0)
                engine.rollbackTransaction();
            EXPECT_EQ(engine.transactionCount(), 0) << a.name;
        }
        holder.exec(QStringLiteral("ROLLBACK"));
        IsolatedResult r =
            engine.executeIsolated(QStringLiteral("DELETE FROM T100 SELECT COUNT(*) FROM T100"), true);
        ASSERT_FALSE(r.result.error.has_value()) << r.result.error->message.toStdString();
        EXPECT_EQ(r.result.resultSets[0].rows[0][0].toString(), QStringLiteral("0"));
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_P(IsolationTest, TheWriteLockIsAwaited) {
    const QString before = snapshot();
    {
        // Another connection, on a thread of its own, holds the write lock for a moment.
        tsqltest::WriteLockHolder other(path, 300, QStringLiteral("ROLLBACK"));
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        Limits limits;
        limits.lockWaitMs = 10000;
        engine.setLimits(limits);
        QElapsedTimer clock;
        clock.start();
        IsolatedResult r =
            engine.executeIsolated(QStringLiteral("DELETE FROM T100 SELECT COUNT(*) FROM T100"), true);
        EXPECT_FALSE(r.result.error.has_value()) << r.result.error->message.toStdString();
        ASSERT_EQ(r.result.resultSets.size(), 1);
        EXPECT_EQ(r.result.resultSets[0].rows[0][0].toString(), QStringLiteral("0"));
        EXPECT_GE(clock.elapsed(), 100);
    }
    EXPECT_EQ(snapshot(), before);
}

// Table variables and temporary tables are the connection's own: a batch that writes only them,
// isolated or in a transaction of its own, runs while another connection holds the database's
// write lock, without waiting for it. Beginning a transaction takes no lock either.
TEST_P(IsolationTest, OwnTablesAndBeginningATransactionTakeNoLock) {
    const QString before = snapshot();
    {
        tsqltest::FileConnection holder(path);
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        Limits limits;
        limits.lockWaitMs = 200;
        engine.setLimits(limits);
        ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN IMMEDIATE")));
        ASSERT_TRUE(holder.exec(QStringLiteral("INSERT INTO T100 VALUES (500)")));

        struct Attempt {
            const char* name;
            const char* batch;
            bool isolated;
            const char* count; // the last result's one value
        };
        const Attempt attempts[] = {
            {"isolated, a table variable",
             "DECLARE @t TABLE (a INT) INSERT @t SELECT n FROM T100 UPDATE @t SET a = a + 1 SELECT COUNT(*) "
             "FROM @t",
             true, "100"},
            {"isolated, a temporary table",
             "CREATE TABLE #t (a INT) INSERT #t SELECT n FROM T100 DELETE FROM #t WHERE a > 10 "
             "SELECT COUNT(*) FROM #t DROP TABLE #t",
             true, "10"},
            {"a transaction over own tables",
             "DECLARE @t TABLE (a INT) BEGIN TRAN INSERT @t SELECT n FROM T100 CREATE TABLE #u (b INT) "
             "INSERT #u VALUES (2) COMMIT SELECT COUNT(*) FROM @t DROP TABLE #u",
             false, "100"},
            {"a transaction that reads", "BEGIN TRAN SELECT COUNT(*) FROM T100 ROLLBACK", false, "100"},
        };
        for (const Attempt& a : attempts) {
            const BatchResult r = a.isolated
                                      ? engine.executeIsolated(QString::fromUtf8(a.batch), false).result
                                      : engine.execute(QString::fromUtf8(a.batch));
            ASSERT_FALSE(r.error.has_value()) << a.name << ": " << r.error->message.toStdString();
            ASSERT_FALSE(r.resultSets.isEmpty()) << a.name;
            EXPECT_EQ(r.resultSets.last().rows.first().first().toString(), QString::fromUtf8(a.count))
                << a.name;
            EXPECT_EQ(engine.transactionCount(), 0) << a.name;
        }
        // A transaction begun in one batch holds nothing until it writes a table of the database.
        ASSERT_FALSE(engine.execute(QStringLiteral("BEGIN TRAN")).error.has_value());
        holder.exec(QStringLiteral("ROLLBACK"));
        {
            tsqltest::FileConnection other(path);
            Engine saver(other.db());
            saver.setLimits(limits);
            const BatchResult saved = saver.execute(QStringLiteral("UPDATE T100 SET n = n WHERE n = 1"));
            EXPECT_FALSE(saved.error.has_value()) << saved.error->message.toStdString();
        }
        ASSERT_FALSE(engine.execute(QStringLiteral("ROLLBACK")).error.has_value());
    }
    EXPECT_EQ(snapshot(), before);
}

// A transaction that has read the database and then writes one of its tables waits for the
// write lock another connection holds for a moment, as on SQL Server, instead of failing at once.
TEST_P(IsolationTest, AWriteAfterReadingInATransactionWaitsForTheLock) {
    {
        // Another connection, on a thread of its own, holds the write lock for a moment.
        tsqltest::WriteLockHolder other(path, 300, QStringLiteral("COMMIT"));
        tsqltest::FileConnection db(path);
        Engine engine(db.db());
        Limits limits;
        limits.lockWaitMs = 10000;
        engine.setLimits(limits);
        ASSERT_FALSE(
            engine.execute(QStringLiteral("BEGIN TRAN SELECT COUNT(*) FROM T100")).error.has_value());
        const BatchResult r = engine.execute(QStringLiteral(
            "DELETE FROM T100 WHERE n = 1 SELECT COUNT(*) FROM T100 COMMIT SELECT @@TRANCOUNT"));
        EXPECT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        ASSERT_EQ(r.resultSets.size(), 2);
        // The other connection's row is there: the transaction reads what was committed.
        EXPECT_EQ(r.resultSets[0].rows[0][0].toString(), QStringLiteral("100"));
        EXPECT_EQ(r.resultSets[1].rows[0][0].toString(), QStringLiteral("0"));
    }
}

INSTANTIATE_TEST_SUITE_P(JournalModes, IsolationTest, ::testing::Values("WAL", "DELETE"),
                         [](const ::testing::TestParamInfo<const char*>& mode) {
                             return std::string(mode.param);
                         });

} // namespace
