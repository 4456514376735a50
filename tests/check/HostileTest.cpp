// Hostile formulas through the three ways a text reaches the server: the check of the window,
// the batch check of the tool (runGuarded) and the save. Whatever the text, the database is
// the same afterwards, the run ends within the limits, and the verdict says why.

#include "HostileFormulas.h"
#include "TestDatabase.h"
#include "check/GuardedRun.h"
#include "check/SyntaxCheck.h"
#include "editing/FormulaHistory.h"
#include "editing/FormulaStore.h"
#include "language/FormulaLanguage.h"

#include <QElapsedTimer>
#include <QSqlQuery>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

using checktest::Hostile;
using checktest::hostileFormulas;
using checktest::OtherWriter;
using checktest::repeated;
using checktest::TestDatabase;

// The test database with a table of 100 rows for cross joins.
struct HostileDatabase : TestDatabase {
    HostileDatabase() {
        connection->setLimits(checktest::shortLimits());
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
        , check(box, host, {.decode = check::decodeWith(language), .limits = checktest::shortLimits()}) {}
    core::FunctionServices host;
    core::StringTextBox box;
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
    const check::GuardedOutcome outcome = check::runGuarded(*db.connection, h.text, checktest::shortLimits(),
                                                            check::DynamicBatches::ConstantsRead);
    EXPECT_LT(clock.elapsed(), kEndsWithinMs) << h.name;
    if (!outcome.accepted()) {
        EXPECT_FALSE(check::describeFailure(outcome).isEmpty()) << h.name;
    }
    EXPECT_EQ(db.dump(), before) << h.name << " (check-sql)";

    // The save, confirmed: only the formula column of the record changes, to the formula itself,
    // and its versions are appended (the record held NULL: version 1 is NULL).
    clock.restart();
    editing::FormulaStore store(w.box, w.host,
                                {.checkFormula = editing::FormulaStore::checkWith(w.check),
                                 .decode = check::decodeWith(w.language),
                                 .canEncode = check::canEncodeWith(w.language)});
    store.UpdateFormula();
    EXPECT_LT(clock.elapsed(), kEndsWithinMs) << h.name;
    if (store.lastWritten()) {
        EXPECT_FALSE(db.formula(0, 13).isNull()) << h.name;
        const std::optional<editing::FormulaVersion> kept =
            editing::FormulaHistory(*db.connection).load(0, 13, 2);
        ASSERT_TRUE(kept.has_value()) << h.name;
        EXPECT_EQ(kept->sqlForm, db.formula(0, 13).toString()) << h.name;
    }
    QSqlQuery reset(db.raw());
    reset.exec(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 13"));
    reset.exec(QStringLiteral("DELETE FROM LP31_VERSIONI WHERE LP31_CONTESTO = 0 AND LP31_IDFORMULA = 13"));
    EXPECT_EQ(db.dump(), before) << h.name << " (save)";

    // The connection goes on working and writes for good.
    db.connection->Execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'X' WHERE LP01_ID = 13"));
    EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("X")) << h.name;
}

INSTANTIATE_TEST_SUITE_P(Check, HostileFormulas, ::testing::ValuesIn(hostileFormulas()),
                         [](const ::testing::TestParamInfo<Hostile>& test) {
                             return std::string(test.param.name);
                         });

// A temporary table a check creates, and the table variables it declares, are gone when the
// check ends: the next check finds no #t and may create it again.
TEST(TemporaryTables, NothingOutlivesTheCheck) {
    HostileDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    const QString make =
        QStringLiteral("CREATE TABLE #t (A INT) INSERT #t VALUES (1) DECLARE @v TABLE (B INT)");
    EXPECT_TRUE(check::runGuarded(*db.connection, make, checktest::shortLimits()).accepted());
    const check::GuardedOutcome read =
        check::runGuarded(*db.connection, QStringLiteral("SELECT A FROM #t"), checktest::shortLimits());
    ASSERT_FALSE(read.errors.isEmpty());
    EXPECT_EQ(read.errors.first().nativeError, 208);
    EXPECT_TRUE(check::runGuarded(*db.connection, make, checktest::shortLimits()).accepted());
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
        ado::CommandLimits limits = checktest::shortLimits();
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
    ado::CommandLimits limits = checktest::shortLimits();
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