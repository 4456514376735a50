// Connection::Cancel from another thread stops the batch an isolated run is running, on the
// embedded engine and on a SQL Server back end (a `formule serve` of the test's own), and leaves
// the connection usable with nothing of the batch kept.
#include "LocalServer.h"
#include "ado/Ado.h"
#include "ado/Setup.h"

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

namespace {

struct Stopped {
    QList<ado::Error> errors;
    bool usableAfter = false;
    int transactionsAfter = -1;
    QString countAfter;
};

// Runs an endless loop that writes on a connection opened on a thread of its own, with no time
// limit (only a cancel can end it), and cancels it from this thread until the run has returned.
Stopped stopEndlessLoop(const QString& connectionString) {
    std::mutex mutex;
    ado::Connection* running = nullptr;
    std::atomic<bool> done{false};
    Stopped out;
    std::thread runner([&] {
        ado::Connection c;
        c.Open(connectionString);
        ado::CommandLimits unlimited;
        unlimited.timeoutMs = 0;
        {
            const std::lock_guard lock(mutex);
            running = &c;
        }
        const ado::IsolatedOutcome run = c.ExecuteIsolated(
            QStringLiteral(
                "WHILE 1 = 1 UPDATE LP01_PROVIDER SET LP01_DESCRIZIONE = 'cambiata' WHERE LP01_ID = 1"),
            true, unlimited);
        {
            const std::lock_guard lock(mutex);
            running = nullptr;
        }
        out.errors = run.outcome.errors;
        const ado::IsolatedOutcome after = c.ExecuteIsolated(QStringLiteral("SELECT 1"), false, unlimited);
        out.usableAfter = after.outcome.errors.isEmpty();
        out.transactionsAfter = c.TransactionCount();
        const ado::RecordsetPtr rs = c.Execute(
            QStringLiteral("SELECT COUNT(*) AS N FROM LP01_PROVIDER WHERE LP01_DESCRIZIONE = 'cambiata'"));
        out.countAfter = (*rs)[QStringLiteral("N")].Value().toString();
        c.Close();
        done = true;
    });
    while (!done) {
        {
            const std::lock_guard lock(mutex);
            if (running)
                running->Cancel();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    runner.join();
    return out;
}

TEST(Cancel, StopsTheEmbeddedEnginesBatchAsItsTimeLimitWould) {
    QTemporaryDir dir;
    const QString cs = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
    ado::setup::initialize(cs, true);
    const Stopped s = stopEndlessLoop(cs);
    ASSERT_EQ(s.errors.size(), 1);
    EXPECT_EQ(s.errors.first().nativeError, 3617);
    EXPECT_TRUE(s.usableAfter);
    EXPECT_EQ(s.transactionsAfter, 0);
    EXPECT_EQ(s.countAfter, QStringLiteral("0"));
}

TEST(Cancel, StopsTheBatchOnASqlServerBackEnd) {
    testing_tds::LocalServer local;
    QString error;
    ASSERT_TRUE(local.start(error)) << error.toStdString();
    const Stopped s = stopEndlessLoop(local.connectionString());
    ASSERT_FALSE(s.errors.isEmpty());
    // Operation canceled: HY008, which FreeTDS's driver reports with its ODBC 2 name S1008.
    EXPECT_TRUE(s.errors.first().sqlState == u"HY008" || s.errors.first().sqlState == u"S1008")
        << s.errors.first().sqlState.toStdString() << ' ' << s.errors.first().description.toStdString();
    EXPECT_TRUE(s.usableAfter);
    EXPECT_EQ(s.transactionsAfter, 0);
    EXPECT_EQ(s.countAfter, QStringLiteral("0"));
}

TEST(Cancel, ANotOpenConnectionIgnoresIt) {
    ado::Connection c;
    c.Cancel();
    EXPECT_EQ(c.State(), 0);
}

} // namespace
