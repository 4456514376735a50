// The check commands of the formule tool, run as a user runs them.

#include "../common/ToolRun.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSqlQuery>

namespace {

using checktest::TestDatabase;

using testtool::ToolRun;

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(FORMULE_TOOL)))
            GTEST_SKIP() << "the formule tool is not built: " << FORMULE_TOOL;
    }

    ToolRun run(const QStringList& arguments, const QByteArray& input = {}) {
        return testtool::runTool(QStringList{QStringLiteral("--db"), db.connectionString()} + arguments,
                                 input, 60000);
    }

    TestDatabase db;
};

TEST_F(Cli, DeclarationsPrintsTheBlockAsIs) {
    const ToolRun r = run({QStringLiteral("declarations")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, check::BuildDeclarations());
}

TEST_F(Cli, CheckPrintsTheOutcome) {
    CHECK_REQUIRE_ENGINE(db);
    ToolRun r = run({QStringLiteral("check"), QStringLiteral("SET [Prezzo lordo] = 25")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("La formula è corretta.\n"));

    r = run({QStringLiteral("check"), QStringLiteral("-")}, "SET [Prezzo lordo] = 1\r\nSET @PIPPO = 2");
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.out.split(u'\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("La formula non risulta essere corretta."));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("@PIPPO"))) << r.out.toStdString();
}

TEST_F(Cli, SaveShowAndClear) {
    CHECK_REQUIRE_ENGINE(db);
    ToolRun r =
        run({QStringLiteral("save"), QStringLiteral("--context"), QStringLiteral("1"), QStringLiteral("--id"),
             QStringLiteral("12"), QStringLiteral("IF [Famiglia] = 'MPRI' SET [Prezzo lordo] = 25")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'IF @MG66_FAM_MG53 = ''MPRI'' SET "
                             "@OUTPREZZO = 25' WHERE LP07_ID = 12\n"));
    EXPECT_EQ(db.formula(1, 12).toString(), QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI' SET @OUTPREZZO = 25"));

    r = run({QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("1"), QStringLiteral("--id"),
             QStringLiteral("12")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("IF [Famiglia] = 'MPRI' SET [Prezzo lordo] = 25\n"));

    // A failing formula is saved only with --yes.
    r = run({QStringLiteral("save"), QStringLiteral("--context"), QStringLiteral("1"), QStringLiteral("--id"),
             QStringLiteral("12"), QStringLiteral("SET @PIPPO = 1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(db.formula(1, 12).toString(), QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI' SET @OUTPREZZO = 25"));
    r = run({QStringLiteral("save"), QStringLiteral("--yes"), QStringLiteral("--context"),
             QStringLiteral("1"), QStringLiteral("--id"), QStringLiteral("12"),
             QStringLiteral("SET @PIPPO = 1")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(db.formula(1, 12).toString(), QStringLiteral("SET @PIPPO = 1"));

    r = run({QStringLiteral("clear"), QStringLiteral("--context"), QStringLiteral("1"),
             QStringLiteral("--id"), QStringLiteral("12")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHERE LP07_ID = 12\n"));
    EXPECT_TRUE(db.formula(1, 12).isNull());
}

TEST_F(Cli, RecordOptionsAreChecked) {
    EXPECT_EQ(run({QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("3"),
                   QStringLiteral("--id"), QStringLiteral("12")})
                  .exitCode,
              2);
    EXPECT_EQ(run({QStringLiteral("clear"), QStringLiteral("--context"), QStringLiteral("0")}).exitCode, 2);
    EXPECT_EQ(
        run({QStringLiteral("save"), QStringLiteral("--id"), QStringLiteral("abc"), QStringLiteral("x")})
            .exitCode,
        2);
    EXPECT_EQ(run({QStringLiteral("show"), QStringLiteral("--id"), QStringLiteral("999")}).exitCode, 1);
}

// A formula or batch that would commit what it did under check: refused, nothing written.
TEST_F(Cli, ChecksNeverWrite) {
    CHECK_REQUIRE_ENGINE(db);
    const QString before = db.dump();
    struct Case {
        const char* command;
        const char* text;
    };
    const Case cases[] = {
        {"check", "SET [Prezzo lordo] = 1COMMIT DELETE FROM LP01_PROVIDER SELECT 1BEGIN TRAN"},
        {"check", "SET [Prezzo lordo] = 1E5COMMIT DELETE FROM LP01_PROVIDER BEGIN TRAN"},
        {"check-sql", "COMMIT DELETE FROM LP01_PROVIDER"},
        {"check-sql", "ROLLBACK DELETE FROM LP01_PROVIDER"},
        {"check-sql", "commıt DELETE FROM LP01_PROVIDER"},
        {"check-sql", "SET IMPLICIT_TRANSACTIONS ON"},
        {"check-sql", "SET NOCOUNT, NOEXEC ON DELETE FROM LP01_PROVIDER"},
        {"check-sql", "SET XACT_ABORT OFF DELETE FROM LP01_PROVIDER SELECT 1 / 0 DELETE FROM LP01_PROVIDER"},
        {"check-sql", "EXEC ('COMMIT') DELETE FROM LP01_PROVIDER"},
        {"check-sql", "EXEC ('DELETE FROM LP01_PROVIDER EXEC (''COM'' + ''MIT'')')"},
        {"check-sql", "DECLARE @s nvarchar(20) = 'COMMIT' EXEC (@s)"},
        {"check-sql", "EXEC sp_executesql N'DELETE FROM LP01_PROVIDER'"},
        {"check", "SET [Prezzo lordo] = 1 EXEC ('DELETE FROM LP01_PROVIDER')"},
    };
    for (const Case& c : cases) {
        const ToolRun r = run({QString::fromLatin1(c.command), QString::fromUtf8(c.text)});
        EXPECT_EQ(r.exitCode, 1) << c.text << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.out.trimmed().isEmpty()) << c.text;
        EXPECT_EQ(db.dump(), before) << c.command << ' ' << c.text;
    }
    // A harmless data change is run and rolled back: the server's verdict, nothing kept.
    ToolRun r = run({QStringLiteral("check-sql"), QStringLiteral("DELETE FROM LP01_PROVIDER")});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("OK\n"));
    // So is a dynamic batch written out as constants, with the server's verdict on its own text.
    r = run({QStringLiteral("check-sql"), QStringLiteral("EXEC ('DELETE FROM LP01_PROVIDER SELECT 1')")});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    r = run({QStringLiteral("check-sql"), QStringLiteral("SELECT 1\nEXEC (N'SELECT 1\nSELECT 1 / 0')")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Msg 8134, Level 16, State 1, Line 2: ")))
        << r.out.toStdString();
    r = run({QStringLiteral("check-sql"), QStringLiteral("SELECT 1\nSET @x = = 1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Msg 102, Level 15, State 1, Line 2: ")))
        << r.out.toStdString();
    EXPECT_EQ(db.dump(), before);
}

TEST_F(Cli, ARefusalIsWrittenInTheLanguageOfTheTool) {
    const ToolRun italian = run({QStringLiteral("check-sql"), QStringLiteral("SELECT 1\nCOMMIT")});
    EXPECT_EQ(italian.out,
              QStringLiteral("Riga 2: COMMIT non è ammessa sotto controllo: chiuderebbe la transazione "
                             "in cui il controllo esegue la formula, e le istruzioni che seguono "
                             "resterebbero scritte\n"));
    const ToolRun english = run({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("check-sql"),
                                 QStringLiteral("SELECT 1\nSET IMPLICIT_TRANSACTIONS ON")});
    EXPECT_EQ(
        english.out,
        QStringLiteral("Line 2: SET IMPLICIT_TRANSACTIONS is not allowed under check: it changes the session "
                       "of the connection beyond the check, and with it the later checks and "
                       "saves\n"));
}

TEST_F(Cli, DynamicBatchesAreRefusedWithTheirReason) {
    const ToolRun formula = run({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("check-sql"),
                                 QStringLiteral("DECLARE @s nvarchar(20) = 'SELECT 1'\nEXEC (@s)")});
    EXPECT_EQ(
        formula.out,
        QStringLiteral("Line 2: EXECUTE (@s) is not allowed under check: the text of the dynamic batch is "
                       "known only when the statement runs, so the check cannot read it first\n"));
    const ToolRun inner =
        run({QStringLiteral("check-sql"), QStringLiteral("SELECT 1\nEXEC ('SELECT 1 COMMIT')")});
    EXPECT_TRUE(inner.out.startsWith(QStringLiteral("Riga 2: COMMIT non è ammessa sotto controllo")))
        << inner.out.toStdString();
}

TEST_F(Cli, SavingToARecordThatDoesNotExistIsAnError) {
    CHECK_REQUIRE_ENGINE(db);
    const QString before = db.dump();
    for (const char* command : {"save", "clear"}) {
        QStringList args{QString::fromLatin1(command), QStringLiteral("--context"), QStringLiteral("0"),
                         QStringLiteral("--id"), QStringLiteral("777")};
        if (QByteArray(command) == "save")
            args << QStringLiteral("SET [Prezzo lordo] = 1");
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("nessun record 777"))) << r.err.toStdString();
    }
    EXPECT_EQ(db.dump(), before);
}

// Labels are longer than their variables: a display text over the text limit can have a short
// SQL form, which the translation back could not show again.
QString longDisplayFormula(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]\r\n");
    return text;
}

TEST_F(Cli, AFormulaThatCouldNotBeShownAgainIsNotSaved) {
    CHECK_REQUIRE_ENGINE(db);
    const QString formula = longDisplayFormula(800);
    ASSERT_GT(formula.size(), 32767);
    const QString before = db.dump();
    const ToolRun r =
        run({QStringLiteral("save"), QStringLiteral("--yes"), QStringLiteral("--context"),
             QStringLiteral("0"), QStringLiteral("--id"), QStringLiteral("12"), QStringLiteral("-")},
            formula.toUtf8());
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("32767"))) << r.err.toStdString();
    EXPECT_EQ(db.dump(), before);
}

TEST_F(Cli, AStoredFormulaThatCannotBeShownFailsShow) {
    QSqlQuery q(QSqlDatabase::database(db.rawName()));
    QString sql;
    for (int i = 0; i < 800; ++i)
        sql += QStringLiteral("SET @OUTPREZZO = @ATTPREZZO\r\n");
    q.prepare(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = ? WHERE LP01_ID = 12"));
    q.addBindValue(sql);
    ASSERT_TRUE(q.exec());
    const ToolRun r =
        run({QStringLiteral("--on-error"), QStringLiteral("ignore"), QStringLiteral("show"),
             QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"), QStringLiteral("12")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.left(200).toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("non si può mostrare"))) << r.err.toStdString();
    EXPECT_EQ(db.formula(0, 12).toString(), sql);
}

TEST_F(Cli, AFormulaWhoseTranslationFailsIsNotCorrect) {
    QString formula;
    for (int i = 0; i < 2000; ++i)
        formula += QStringLiteral("SET [Prezzo lordo] = 1\r\n");
    const ToolRun r = run({QStringLiteral("check"), QStringLiteral("-")}, formula.toUtf8());
    EXPECT_EQ(r.exitCode, 1) << r.out.left(200).toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("La formula non risulta essere corretta.")))
        << r.out.left(200).toStdString();
}

} // namespace

namespace {

// A line end other than LF and CR LF is refused by name, in the tool's language; a check that writes
// only a table variable runs while another connection holds the database's write lock.
TEST_F(Cli, CheckRefusesStrayLineEndsAndTakesNoLockForOwnTables) {
    CHECK_REQUIRE_ENGINE(db);
    ToolRun r =
        run({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("check"), QStringLiteral("-")},
            "SET [Prezzo lordo] = 1\r\nSET [Prezzo lordo] = 2 -- x\rCOMMIT");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              QStringLiteral("The formula does not appear to be correct.\nLine 2: U+000D (CR) is not allowed "
                             "under check: it is a line end other than LF and CR LF, which the server could "
                             "read as the end of a -- comment where the check sees the comment go on (or the "
                             "other way round); write the lines with LF or CR LF\n"));

    QSqlDatabase raw = QSqlDatabase::database(db.rawName());
    ASSERT_TRUE(QSqlQuery(raw).exec(QStringLiteral("BEGIN IMMEDIATE")));
    ASSERT_TRUE(QSqlQuery(raw).exec(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'held'")));
    r = run({QStringLiteral("check"),
             QStringLiteral("DECLARE @t TABLE (a INT) INSERT @t VALUES (1) SET [Prezzo lordo] = 1")});
    QSqlQuery(raw).exec(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("La formula è corretta.\n"));
}

} // namespace
