// The check commands of the formule tool, run as a user runs them.

#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

namespace {

using checktest::TestDatabase;

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(FORMULE_TOOL)))
            GTEST_SKIP() << "the formule tool is not built: " << FORMULE_TOOL;
    }

    ToolRun run(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess p;
        p.start(QStringLiteral(FORMULE_TOOL),
                QStringList{QStringLiteral("--db"), db.connectionString()} + arguments);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
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

} // namespace
