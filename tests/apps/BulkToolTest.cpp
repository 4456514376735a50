// formule check-all and where-used run as a process: formats, exit codes, the context filter.

#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

class BulkTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_connection = ado::setup::embeddedConnectionString(m_dir.filePath(QStringLiteral("bulk.sqlite")));
        ASSERT_EQ(run({QStringLiteral("init-db"), QStringLiteral("--demo")}).exitCode, 0);
    }

    ToolRun run(const QStringList& args) const {
        const ToolRun r = testtool::runTool(QStringList{QStringLiteral("--db"), m_connection} + args);
        EXPECT_TRUE(r.finished);
        return r;
    }

    // Fewer demo records: two are cleared (the one whose editor's check fails among them).
    void keepOnlyCorrect() const {
        for (const char* statement : {"UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 3",
                                      "UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHERE LP07_ID = 3"})
            ASSERT_EQ(run({QStringLiteral("sql"), QString::fromLatin1(statement)}).exitCode, 0);
    }

    void misspell() const {
        ASSERT_EQ(run({QStringLiteral("sql"),
                       QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'SET @OUTPREZZO = 1\nSET "
                                      "@OUTPREZZZO = 2' WHERE LP07_ID = 1")})
                      .exitCode,
                  0);
    }

    QTemporaryDir m_dir;
    QString m_connection;
};

TEST_F(BulkTool, AllCorrectExitsZeroWithTabSeparatedRows) {
    keepOnlyCorrect();
    const ToolRun r = run({QStringLiteral("check-all")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("0\t1\tOK\t\n0\t2\tOK\t\n0\t5\tOK\t\n1\t1\tOK\t\n1\t2\tOK\t\n"
                                    "2\t1\tOK\t\n2\t2\tOK\t\n2\t3\tOK\t\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("OK 8, ERROR 0, STALE 0"))) << r.err.toStdString();
}

// The demo database as production runs its formulas: every one correct. As the editor checks
// them, the category of text compared with 'ROSSO' is a number compared with a text.
TEST_F(BulkTool, TheDemoDatabasePassesAsProductionRunsIt) {
    const QString all =
        QStringLiteral("0\t1\tOK\t\n0\t2\tOK\t\n%1\n0\t5\tOK\t\n1\t1\tOK\t\n1\t2\tOK\t\n1\t3\tOK\t\n"
                       "2\t1\tOK\t\n2\t2\tOK\t\n2\t3\tOK\t\n");
    for (const QString& jobs : {QStringLiteral("1"), QStringLiteral("2")}) {
        ToolRun r = run({QStringLiteral("check-all"), QStringLiteral("--jobs"), jobs});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, all.arg(QStringLiteral("0\t3\tOK\t")));
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("OK 10, ERROR 0, STALE 0, UNCHECKED 0, 10 formule in ")))
            << r.err.toStdString();

        r = run({QStringLiteral("check-all"), QStringLiteral("--as-editor"), QStringLiteral("--jobs"), jobs});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_EQ(r.out, all.arg(QStringLiteral("0\t3\tERROR\tMsg 8114, Level 16, State 1, Line 1: Error "
                                                "converting data type varchar to numeric. (column 1)")));
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("OK 9, ERROR 1, STALE 0, UNCHECKED 0, 10 formule in ")))
            << r.err.toStdString();
    }
}

TEST_F(BulkTool, AnErrorExitsOneAndNamesTheLine) {
    keepOnlyCorrect();
    misspell();
    const ToolRun r = run({QStringLiteral("check-all"), QStringLiteral("--context"), QStringLiteral("1")});
    EXPECT_EQ(r.exitCode, 1);
    const QStringList rows = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("1\t1\tERROR\tMsg 137, Level 15, State 1, Line 2:")))
        << rows[0].toStdString();
    EXPECT_EQ(rows[1], QStringLiteral("1\t2\tOK\t"));
}

TEST_F(BulkTool, CsvHasAHeaderAndQuotesMessages) {
    keepOnlyCorrect();
    misspell();
    const ToolRun r = run({QStringLiteral("check-all"), QStringLiteral("--context"), QStringLiteral("1"),
                           QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(r.exitCode, 1);
    const QStringList rows = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3) << r.out.toStdString();
    EXPECT_EQ(rows[0], QStringLiteral("CONTEXT,ID,VERDICT,MESSAGE"));
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("1,1,ERROR,\"Msg 137, Level 15"))) << rows[1].toStdString();
    EXPECT_EQ(rows[2], QStringLiteral("1,2,OK,"));
}

TEST_F(BulkTool, JsonIsOneArray) {
    keepOnlyCorrect();
    misspell();
    for (const QString& jobs : {QStringLiteral("1"), QStringLiteral("2")}) {
        const ToolRun r = run({QStringLiteral("check-all"), QStringLiteral("--format"),
                               QStringLiteral("json"), QStringLiteral("--jobs"), jobs});
        EXPECT_EQ(r.exitCode, 1);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        const QJsonArray rows = doc.array();
        ASSERT_EQ(rows.size(), 8);
        const QJsonObject error11 = rows.at(3).toObject();
        EXPECT_EQ(error11.value(QStringLiteral("context")).toInt(), 1);
        EXPECT_EQ(error11.value(QStringLiteral("id")).toInt(), 1);
        EXPECT_EQ(error11.value(QStringLiteral("verdict")).toString(), QStringLiteral("ERROR"));
        EXPECT_EQ(error11.value(QStringLiteral("line")).toInt(), 2);
        EXPECT_EQ(rows.at(0).toObject().value(QStringLiteral("verdict")).toString(), QStringLiteral("OK"));
    }
}

TEST_F(BulkTool, EmptyJsonAndBadOptions) {
    ASSERT_EQ(run({QStringLiteral("sql"), QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = NULL")})
                  .exitCode,
              0);
    const ToolRun r = run({QStringLiteral("check-all"), QStringLiteral("--context"), QStringLiteral("2"),
                           QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("[]\n"));
    EXPECT_EQ(run({QStringLiteral("check-all"), QStringLiteral("--format"), QStringLiteral("xml")}).exitCode,
              2);
    EXPECT_EQ(run({QStringLiteral("check-all"), QStringLiteral("--jobs"), QStringLiteral("0")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("check-all"), QStringLiteral("--context"), QStringLiteral("3")}).exitCode,
              2);
}

TEST_F(BulkTool, WhereUsedExitCodes) {
    ToolRun r = run({QStringLiteral("where-used"), QStringLiteral("|V01|")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("1\t2\t1\n"));
    r = run({QStringLiteral("where-used"), QStringLiteral("[Prezzo lordo - CURR]"),
             QStringLiteral("--context"), QStringLiteral("2")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("2\t1\t1\n"));
    EXPECT_EQ(run({QStringLiteral("where-used"), QStringLiteral("@NESSUNA")}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("where-used"), QStringLiteral("{C99}")}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("where-used"), QStringLiteral("nothing")}).exitCode, 2);
}

} // namespace
