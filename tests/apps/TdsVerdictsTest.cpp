// Verdicts through `formule serve` (the SQL Server back end): a line end that could end a comment
// for the server is refused before anything is sent, a check takes no lock another client waits
// for, and a client sitting in an open transaction keeps no one from checking or saving.

#include "ServedSuite.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

using served_test::checkOn;
using Checked = served_test::CheckVerdict;

class TdsVerdicts : public served_test::ServedSuite {
protected:
    static QString formula(int id) {
        ado::Connection c;
        c.Open(s_server->embeddedConnectionString());
        const ado::BatchOutcome out = c.ExecuteBatch(
            QStringLiteral("SELECT LP17_FORMULA FROM LP17_FORMULEMANUT WHERE LP17_ID = %1").arg(id));
        if (out.resultSets.isEmpty() || out.resultSets.first().rows.isEmpty())
            return QStringLiteral("<no row>");
        const core::Variant v = out.resultSets.first().rows.first().first();
        return v.isNull() ? QStringLiteral("NULL") : v.toString();
    }

    static qint64 firstMaintenanceId() {
        ado::Connection c;
        c.Open(s_server->embeddedConnectionString());
        const ado::BatchOutcome out =
            c.ExecuteBatch(QStringLiteral("SELECT MIN(LP17_ID) FROM LP17_FORMULEMANUT"));
        return out.resultSets.first().rows.first().first().toInt64();
    }
};

// What the engine's lexer reads as a comment up to LF, the server may end at a lone CR, NEL or a
// Unicode line separator: the statement after it would run. The guard refuses such a text on this
// back end as on the embedded one, and the record is untouched.
TEST_F(TdsVerdicts, ALineEndThatCouldEndACommentIsNeverSent) {
    const qint64 id = firstMaintenanceId();
    const QString before = formula(id);
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    const QString update =
        QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'changed' WHERE LP17_ID = %1").arg(id);
    const struct {
        QString text;
        const char* character;
    } cases[] = {
        {QStringLiteral("SET @OUTPREZZO = 1 -- x\r") + update, "U+000D (CR)"},
        {QStringLiteral("SET @OUTPREZZO = 1 -- x") + QChar(0x85) + update, "U+0085 (NEL)"},
        {QStringLiteral("SET @OUTPREZZO = 1 -- x") + QChar(0x2028) + update, "U+2028 (LS)"},
    };
    for (const auto& c : cases) {
        const Checked checked = checkOn(conn, c.text);
        EXPECT_FALSE(checked.correct) << c.character;
        EXPECT_FALSE(checked.busy) << c.character;
        EXPECT_TRUE(checked.message.contains(QLatin1String(c.character))) << checked.message.toStdString();
        const check::GuardedOutcome outcome = check::runGuarded(conn, c.text, check::checkLimits());
        ASSERT_TRUE(outcome.refused.has_value()) << c.character;
        EXPECT_EQ(outcome.refused->statement, QLatin1String(c.character));
    }
    EXPECT_EQ(formula(id), before);
    // Written with CR LF, the same text is a comment and an UPDATE on a line of its own: the check
    // runs it and rolls it back.
    const Checked lines = checkOn(conn, QStringLiteral("SET @OUTPREZZO = 1 -- x\r\n") + update);
    EXPECT_TRUE(lines.correct) << lines.message.toStdString();
    EXPECT_EQ(formula(id), before);
}

// Another client writes a table and keeps its transaction open for a while. A check that writes
// only table variables and temporary tables does not wait for it; a save waits its turn and is
// written once the other client commits, as on SQL Server.
TEST_F(TdsVerdicts, ChecksDoNotWaitAndASaveWaitsItsTurn) {
    const qint64 id = firstMaintenanceId();
    std::atomic<bool> holding{false};
    std::thread other([&holding] {
        ado::Connection c;
        c.Open(s_server->connectionString());
        c.BeginTrans();
        c.Execute(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_DESCRIZIONE = LP07_DESCRIZIONE"));
        holding = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(4000));
        holding = false;
        c.CommitTrans();
        c.Close();
    });
    while (!holding)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    const Checked own =
        checkOn(conn, QStringLiteral("DECLARE @t TABLE (a INT) INSERT @t VALUES (1)\r\n"
                                     "CREATE TABLE #t (s NVARCHAR(MAX)) INSERT #t DEFAULT VALUES\r\n"
                                     "SELECT @OUTPREZZO = COUNT(*) FROM @t"));
    EXPECT_TRUE(own.correct) << own.message.toStdString();
    EXPECT_FALSE(own.busy);
    // The check did not wait for the other client's commit.
    const bool stillHeld = holding;
    EXPECT_TRUE(stillHeld);
    EXPECT_NO_THROW(conn.Execute(
        QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'saved after waiting' WHERE LP17_ID = %1")
            .arg(id)));
    other.join();
    EXPECT_EQ(formula(id), QStringLiteral("saved after waiting"));
}

// A client that began a transaction and read, and sits there, keeps no lock: another client's
// save goes through while that transaction is still open.
TEST_F(TdsVerdicts, AnOpenTransactionThatOnlyReadsBlocksNoSave) {
    const qint64 id = firstMaintenanceId();
    ado::Connection idle;
    idle.Open(s_server->connectionString());
    idle.BeginTrans();
    const ado::BatchOutcome read = idle.ExecuteBatch(QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI"));
    ASSERT_TRUE(read.errors.isEmpty());
    ado::Connection saver;
    saver.Open(s_server->connectionString());
    ado::CommandLimits limits;
    limits.timeoutMs = 5000;
    saver.setLimits(limits);
    EXPECT_NO_THROW(saver.Execute(
        QStringLiteral(
            "UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'saved beside a reader' WHERE LP17_ID = %1")
            .arg(id)));
    const Checked checked =
        checkOn(saver, QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_DESCRIZIONE = 'x'"));
    EXPECT_TRUE(checked.correct) << checked.message.toStdString();
    idle.RollbackTrans();
    EXPECT_EQ(formula(id), QStringLiteral("saved beside a reader"));
}

} // namespace
