#include "check/SyntaxCheck.h"
#include "TestDatabase.h"
#include "check/Messages.h"
#include "check/TrialRun.h"

#include <gtest/gtest.h>

namespace {

using check::SyntaxCheck;
using checktest::TestDatabase;
using core::StringTextBox;

struct Shown {
    QString prompt;
    int code;
    QString title;
};

// A check of a formula box with recording message box and log.
struct Checker {
    explicit Checker(ado::Connection* connection)
        : host({.connection = [connection] { return connection; },
                .messageBox =
                    [this](const QString& p, int c, const QString& t) {
                        shown.append({p, c, t});
                        return check::answer::Ok;
                    }})
        , check(box, host, {.log = [this](const QString& m) { logged << m; }}) {}
    bool run(const QString& text, bool showMessage = false) {
        box.setText(text);
        const core::Variant v = check.CheckFormula(showMessage);
        // True or Empty, nothing else.
        EXPECT_TRUE(v.isEmpty() || (v.type() == core::VarType::Boolean && v.toBool()));
        return !v.isEmpty();
    }
    StringTextBox box;
    QList<Shown> shown;
    QStringList logged;
    core::FunctionServices host;
    SyntaxCheck check;
};

TEST(SyntaxCheck, BatchIsTheDeclarationsFollowedByTheFormula) {
    const QString batch = SyntaxCheck::checkBatch(QStringLiteral("SET @OUTPREZZO = 25"));
    EXPECT_TRUE(batch.startsWith(check::BuildDeclarations()));
    EXPECT_TRUE(batch.endsWith(QStringLiteral("AS CHAR(20)\r\nSET @OUTPREZZO = 25")));
    EXPECT_EQ(SyntaxCheck::declarationLines(), 139);
    EXPECT_EQ(batch.count(QStringLiteral("\r\n")), 139);
}

TEST(SyntaxCheck, WithoutAConnectionTheFormulaIsNotCorrect) {
    Checker c(nullptr);
    EXPECT_FALSE(c.run(QStringLiteral("SET @OUTPREZZO = 25"), true));
    ASSERT_EQ(c.shown.size(), 1);
    EXPECT_EQ(c.shown[0].prompt, QStringLiteral("Attenzione!\r\nLa formula non risulta essere corretta."));
    EXPECT_EQ(c.shown[0].code, 48);
    EXPECT_EQ(c.shown[0].title, QStringLiteral("Controllo sintassi formula fallita"));
    EXPECT_FALSE(c.check.lastServerMessage().isEmpty());
    ASSERT_EQ(c.logged.size(), 1);
    EXPECT_TRUE(c.logged[0].contains(c.check.lastServerMessage()));
}

TEST(SyntaxCheck, SilentCheckShowsNothing) {
    Checker c(nullptr);
    EXPECT_FALSE(c.run(QStringLiteral("SET @OUTPREZZO = 25"), false));
    EXPECT_TRUE(c.shown.isEmpty());
}

TEST(SyntaxCheck, ServerMessageNeverReachesTheMessageBox) {
    TestDatabase db;
    Checker c(db.connection.get());
    EXPECT_FALSE(c.run(QStringLiteral("SET @PIPPO = 1"), true));
    ASSERT_EQ(c.shown.size(), 1);
    EXPECT_FALSE(c.check.lastServerMessage().isEmpty());
    EXPECT_FALSE(c.shown[0].prompt.contains(c.check.lastServerMessage()));
    EXPECT_EQ(c.logged.size(), 1);
}

TEST(SyntaxCheck, RefusedStatementsAreNotSentAndNotCorrect) {
    TestDatabase db;
    Checker c(db.connection.get());
    const QString before = db.dump();
    const qint64 sent = db.connection->statementCount();
    EXPECT_FALSE(
        c.run(QStringLiteral("SET @OUTPREZZO = 1\r\nCOMMIT\r\nDELETE FROM LP01_PROVIDER\r\nBEGIN TRAN")));
    EXPECT_EQ(db.connection->statementCount(), sent);
    EXPECT_EQ(c.check.lastFormulaLine(), 2);
    EXPECT_TRUE(c.check.lastServerMessage().contains(QStringLiteral("COMMIT non è ammessa")));
    EXPECT_EQ(db.dump(), before);
}

// The session options a formula sets are the check's only: the next check and the next trial run
// on the same connection read dates, weeks and languages as before. 13/01/2003 is a date under
// DATEFORMAT dmy only; 2024-01-07 is a Sunday, day 7 of the week from Monday, day 1 from Sunday.
TEST(SyntaxCheck, SessionOptionsOfAFormulaEndWithItsCheck) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Checker c(db.connection.get());
    const QString dated = QStringLiteral("SET @DATARIF = '13/01/2003'");
    const QString weekday =
        QStringLiteral("IF DATEPART(weekday, '20240107') <> 1 OR @@LANGUAGE <> 'us_english' "
                       "SET @OUTPREZZO = 1 / 0");
    EXPECT_FALSE(c.run(dated));
    EXPECT_TRUE(c.run(weekday)) << c.check.lastServerMessage().toStdString();
    for (const char* options :
         {"SET DATEFORMAT dmy", "SET LANGUAGE Italiano", "SET DATEFIRST 1\r\nSET DATEFORMAT dmy",
          "SET NOCOUNT, XACT_ABORT ON\r\nSET ARITHABORT OFF\r\nSET DATEFORMAT dmy"}) {
        EXPECT_TRUE(c.run(QString::fromLatin1(options) + QStringLiteral("\r\n") + dated))
            << options << ": " << c.check.lastServerMessage().toStdString();
        EXPECT_FALSE(c.run(dated)) << options;
        EXPECT_TRUE(c.run(weekday)) << options << ": " << c.check.lastServerMessage().toStdString();
        const check::TrialResult trial = check::runTrial(
            *db.connection, QStringLiteral("SET @OUTPREZZO = MONTH('01/02/2003') + 10 * @@DATEFIRST"), {},
            check::TrialOptions{});
        ASSERT_TRUE(trial.ran) << trial.message.toStdString();
        EXPECT_EQ(trial.outputs[0].after, QStringLiteral("71.000000")) << options;
    }
    // A trial run that sets them leaves the next check as it was, too.
    const check::TrialResult trial = check::runTrial(
        *db.connection, QStringLiteral("SET DATEFORMAT dmy SET @DATARIF = '13/01/2003' SET @OUTPREZZO = 1"),
        {}, check::TrialOptions{});
    ASSERT_TRUE(trial.ran) << trial.message.toStdString();
    EXPECT_FALSE(c.run(dated));
}

TEST(SyntaxCheck, AnOpenTransactionOnTheConnectionIsLeftAlone) {
    TestDatabase db;
    Checker c(db.connection.get());
    db.connection->BeginTrans();
    if (db.connection->TransactionCount() != 1)
        GTEST_SKIP() << "the embedded connection does not count its transactions yet";
    EXPECT_FALSE(c.run(QString()));
    EXPECT_EQ(db.connection->TransactionCount(), 1);
    db.connection->RollbackTrans();
}

// Verdicts of the server (need the engine to run declared T-SQL).

TEST(SyntaxCheck, EmptyBoxIsCorrect) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Checker c(db.connection.get());
    EXPECT_TRUE(c.run(QString(), true));
    ASSERT_EQ(c.shown.size(), 1);
    EXPECT_EQ(c.shown[0].prompt, QStringLiteral("La formula è corretta."));
    EXPECT_EQ(c.shown[0].code, 64);
    EXPECT_EQ(c.shown[0].title, QStringLiteral("Controllo sintassi formula avvenuta con successo"));
    EXPECT_TRUE(c.logged.isEmpty());
    EXPECT_TRUE(c.check.lastServerMessage().isEmpty());
}

struct Verdict {
    const char* name;
    const char* sql; // check-mode SQL form
    bool correct;
};

class Verdicts : public ::testing::TestWithParam<Verdict> {};

TEST_P(Verdicts, FollowTheServer) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Checker c(db.connection.get());
    const Verdict& v = GetParam();
    EXPECT_EQ(c.run(QString::fromUtf8(v.sql)), v.correct) << v.sql << "\n"
                                                          << c.check.lastServerMessage().toStdString();
    EXPECT_EQ(db.connection->TransactionCount(), 0);
    // Blanks and line breaks around the formula do not change the outcome.
    EXPECT_EQ(c.run(QStringLiteral("  \r\n") + QString::fromUtf8(v.sql) + QStringLiteral("\r\n  ")),
              v.correct);
}

INSTANTIATE_TEST_SUITE_P(
    Check, Verdicts,
    ::testing::Values(
        Verdict{"Assignment", "SET @OUTPREZZO = 25", true},
        Verdict{"Expression", "SET @OUTPREZZO = @ATTPREZZO + 50", true},
        Verdict{"Condition", "IF @MG66_FAM_MG53 in ('MPRI','PFIN')\r\n SET @OUTSC1PERC = 10", true},
        Verdict{"Placeholders", "IF @DO11_CODSEDE_CG31 = 1 AND @DO30_CODART_MG66 = 'V' SET @OUTPREZZO = 1",
                true},
        Verdict{"Option", "IF @DO30_OPZIONE_MG5E = 'ROSSO' SET @OUTPREZZO = 1", true},
        Verdict{"LastDeclaration", "SET @DO11_DOCUM_MG36 = 'ABC'", true},
        Verdict{"RaggCrf3", "SET @MG19_RAGGCRF3 = 'A'", true},
        Verdict{"MisspeltLabel", "SET [Prezo lordo] = 25", false},
        Verdict{"LabelInOtherCase", "SET @OUTPREZZO = [prezzo lordo]", false},
        Verdict{"UndeclaredVariable", "SET @PIPPO = 1", false},
        Verdict{"RaggRcf3IsNotDeclared", "SET @MG19_RAGGRCF3 = 'A'", false},
        Verdict{"ValueTooLarge", "SET @OUTSC1PERC = 1000", false},
        Verdict{"SyntaxError", "SET @OUTPREZZO = = 1", false},
        Verdict{"UnknownTable", "SELECT @OUTPREZZO = 1 FROM NOTABLE", false}),
    [](const ::testing::TestParamInfo<Verdict>& test) { return std::string(test.param.name); });

TEST(SyntaxCheck, ServerMessageNamesTheFormulaLine) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Checker c(db.connection.get());
    EXPECT_FALSE(c.run(QStringLiteral("SET @OUTPREZZO = 1\r\nSET @PIPPO = 2")));
    EXPECT_TRUE(c.check.lastServerMessage().contains(QStringLiteral("@PIPPO")))
        << c.check.lastServerMessage().toStdString();
    EXPECT_EQ(c.check.lastFormulaLine(), 2);
}

class DataChanges : public ::testing::TestWithParam<const char*> {};

TEST_P(DataChanges, LeaveEveryTableUnchanged) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Checker c(db.connection.get());
    const QString before = db.dump();
    c.run(QString::fromUtf8(GetParam()));
    EXPECT_EQ(db.dump(), before) << GetParam();
    EXPECT_EQ(db.connection->TransactionCount(), 0);
    // The connection still works as before: a later statement is written for good.
    db.connection->Execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'X' WHERE LP01_ID = 13"));
    EXPECT_EQ(db.formula(0, 13).toString(), QStringLiteral("X"));
}

INSTANTIATE_TEST_SUITE_P(
    Check, DataChanges,
    ::testing::Values("DELETE FROM LP01_PROVIDER", "UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL",
                      "INSERT INTO LP17_FORMULEMANUT (LP17_ID, LP17_FORMULA) VALUES (99, 'x')",
                      "DROP TABLE LP01_PROVIDER", "CREATE TABLE ZZ_NEW (A INT)",
                      "DELETE FROM MG5F_DIMECONF\r\nSET @PIPPO = 1", "COMMIT\r\nDELETE FROM LP01_PROVIDER",
                      "DELETE FROM LP01_PROVIDER\r\nCOMMIT", "ROLLBACK\r\nDELETE FROM LP01_PROVIDER",
                      "COMMIT TRAN\r\nDELETE FROM LP01_PROVIDER\r\nBEGIN TRAN",
                      "EXEC('DELETE FROM LP01_PROVIDER')", "SET IMPLICIT_TRANSACTIONS ON"));

TEST(SyntaxCheck, AcceptedDataChangeIsStillCorrect) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Checker c(db.connection.get());
    const QString before = db.dump();
    EXPECT_TRUE(c.run(QStringLiteral("DELETE FROM LP01_PROVIDER WHERE LP01_ID = 12\r\nSET @OUTPREZZO = 1")));
    EXPECT_EQ(db.dump(), before);
}

TEST(SyntaxCheck, TranslationInCheckModeIsUsed) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    StringTextBox box(QStringLiteral("SET [Prezzo lordo] = 25"));
    QList<bool> modes;
    core::FunctionServices host({.connection = [&] { return db.connection.get(); }});
    SyntaxCheck check(box, host, {.decode = [&](const QString& text, bool checkMode) {
                          modes << checkMode;
                          QString sql = text;
                          return check::Translation{
                              sql.replace(QStringLiteral("[Prezzo lordo]"), QStringLiteral("@OUTPREZZO"))};
                      }});
    EXPECT_FALSE(check.CheckFormula(false).isEmpty());
    EXPECT_EQ(modes, QList<bool>({true}));
    EXPECT_TRUE(check.lastBatch().endsWith(QStringLiteral("\r\nSET @OUTPREZZO = 25")));
}

TEST(SyntaxCheck, ClickCheckShowsTheOutcome) {
    Checker c(nullptr);
    c.box.setText(QStringLiteral("SET @OUTPREZZO = 1"));
    int errors = 0;
    c.check.clickCheck([&](const QString&, const core::ErrorInfo&) {
        ++errors;
        return 3;
    });
    EXPECT_EQ(errors, 0);
    ASSERT_EQ(c.shown.size(), 1);
    EXPECT_EQ(c.shown[0].code, 48);
}

} // namespace

namespace {

// The check hands its batch to the run function the window gives it (the window's worker) and
// judges what comes back exactly as a run of its own: a run the user stopped is "not correct",
// with the prescribed box, and says that it was stopped rather than that the formula is wrong.
TEST(SyntaxCheck, ItsBatchGoesThroughTheRunFunctionItIsGiven) {
    TestDatabase db;
    QList<check::GuardedRequest> asked;
    check::GuardedOutcome answer;
    QList<Shown> shown;
    core::FunctionServices host({.connection = [&db] { return db.connection.get(); },
                                 .messageBox =
                                     [&shown](const QString& p, int c, const QString& t) {
                                         shown.append({p, c, t});
                                         return check::answer::Ok;
                                     }});
    StringTextBox box;
    SyntaxCheck check(box, host,
                      {.run = [&](ado::Connection& connection, const check::GuardedRequest& request) {
                          EXPECT_EQ(&connection, db.connection.get());
                          asked << request;
                          return answer;
                      }});
    box.setText(QStringLiteral("SET @OUTPREZZO = 25"));
    EXPECT_TRUE(check.CheckFormula(false).toBool());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].batch, SyntaxCheck::checkBatch(QStringLiteral("SET @OUTPREZZO = 25")));
    EXPECT_EQ(asked[0].trustedPrefix, asked[0].batch.size() - QStringLiteral("SET @OUTPREZZO = 25").size());
    EXPECT_EQ(asked[0].trustedLines, SyntaxCheck::declarationLines());
    EXPECT_EQ(asked[0].limits.timeoutMs, check::checkLimits().timeoutMs);

    ado::Error stopped;
    stopped.nativeError = 3617;
    stopped.severity = 25;
    stopped.state = 1;
    stopped.line = 140;
    stopped.description = QStringLiteral("Esecuzione interrotta dall'utente.");
    const struct {
        bool stoppedByUser;
        QString message;
    } cases[] = {
        {true, check::msg::CheckStopped},
        {false, check::msg::ServerBusy.arg(QStringLiteral(
                    "Msg 3617, Level 25, State 1, Line 1: Esecuzione interrotta dall'utente."))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stoppedByUser);
        shown.clear();
        answer = {};
        answer.errors << stopped;
        answer.stopped = c.stoppedByUser;
        EXPECT_TRUE(check.CheckFormula(true).isEmpty());
        EXPECT_TRUE(check.lastServerBusy());
        EXPECT_EQ(check.lastServerMessage(), c.message);
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].prompt, QStringLiteral("Attenzione!\r\nLa formula non risulta essere corretta."));
        EXPECT_EQ(shown[0].code, 48);
    }
    // A run function that cannot run (another run in flight) leaves the formula unjudged.
    SyntaxCheck refusing(box, host,
                         {.run = [](ado::Connection&, const check::GuardedRequest&) -> check::GuardedOutcome {
                             throw core::ComError(core::err::ProviderError, QStringLiteral("in corso"));
                         }});
    EXPECT_TRUE(refusing.CheckFormula(false).isEmpty());
    EXPECT_TRUE(refusing.lastServerBusy());
}

} // namespace
