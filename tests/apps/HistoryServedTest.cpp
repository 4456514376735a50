// The formulas' history over the SQL Server back end (QODBC and FreeTDS to a `formule serve`):
// the save's UPDATE and its versions in one server transaction, both or neither.

#include "../common/ToolRun.h"
#include "ServedSuite.h"
#include "editing/FormulaHistory.h"
#include "tables/FormulaTables.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

class HistoryServed : public served_test::ServedSuite {
protected:
    // Runs `sql` on the served database's file directly (what the engine itself would refuse:
    // a trigger that injects a failure).
    static void raw(const QString& sql) {
        const QString name = QStringLiteral("history-served-raw");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(s_server->databasePath());
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
        }
        QSqlDatabase::removeDatabase(name);
    }

    static QString formulaOf(ado::Connection& c, qint64 id) {
        const core::Variant v =
            c.Execute(*tables::formulaSelectStatement(0, QString::number(id)))->GetFields().Item(0).Value();
        return v.isNull() ? QStringLiteral("NULL") : v.toString();
    }

    static editing::VersionedWrite write(qint64 id, const QString& sqlForm) {
        return {
            .context = 0,
            .idText = QString::number(id),
            .sqlForm = sqlForm,
            .updateStatement = *tables::formulaUpdateStatement(
                0, QString(sqlForm).replace(u'\'', QStringLiteral("''")), QString::number(id)),
            .author = {editing::Origin::Tool, QStringLiteral("served"), QStringLiteral("über den Server")},
            .expected = std::nullopt};
    }
};

TEST_F(HistoryServed, VersionsGoInTheTransactionOfTheUpdate) {
    ado::Connection c;
    c.Open(s_server->connectionString());
    const QString held = formulaOf(c, 1);
    editing::VersionedOutcome out =
        editing::writeVersioned(c, write(1, QStringLiteral("SET @OUTPREZZO = 'Ωμέγα'")));
    EXPECT_EQ(out.version, 2);
    out = editing::writeVersioned(c, write(1, QStringLiteral("SET @OUTPREZZO = 3")));
    EXPECT_EQ(out.version, 3);
    EXPECT_EQ(c.TransactionCount(), 0);
    const QList<editing::FormulaVersion> versions = editing::FormulaHistory(c).list(0, 1);
    ASSERT_EQ(versions.size(), 3);
    EXPECT_EQ(versions.at(0).sqlForm, QStringLiteral("SET @OUTPREZZO = 3"));
    EXPECT_EQ(versions.at(1).sqlForm, QStringLiteral("SET @OUTPREZZO = 'Ωμέγα'"));
    EXPECT_EQ(versions.at(1).hash, editing::formulaHash(QStringLiteral("SET @OUTPREZZO = 'Ωμέγα'")));
    EXPECT_EQ(versions.at(1).comment, QStringLiteral("über den Server"));
    EXPECT_EQ(versions.at(2).sqlForm, held);

    // The record moved on: nothing is written, the newer version is named.
    editing::VersionedWrite stale = write(1, QStringLiteral("SET @OUTPREZZO = 4"));
    stale.expected = 2;
    out = editing::writeVersioned(c, stale);
    ASSERT_TRUE(out.newer.has_value());
    EXPECT_EQ(out.newer->version, 3);
    EXPECT_EQ(formulaOf(c, 1), QStringLiteral("SET @OUTPREZZO = 3"));
    EXPECT_EQ(c.TransactionCount(), 0);
}

TEST_F(HistoryServed, AFailedVersionRollsTheUpdateBack) {
    const struct {
        const char* name;
        const char* trigger;
    } cases[] = {
        {"the first version fails",
         "CREATE TRIGGER T_FAIL BEFORE INSERT ON LP31_VERSIONI BEGIN SELECT RAISE(ABORT, 'injected'); END"},
        {"the new version fails after version 1",
         "CREATE TRIGGER T_FAIL BEFORE INSERT ON LP31_VERSIONI WHEN NEW.LP31_VERSIONE = 2 BEGIN SELECT "
         "RAISE(ABORT, 'injected'); END"},
        {"the UPDATE fails",
         "CREATE TRIGGER T_FAIL AFTER UPDATE ON LP01_PROVIDER BEGIN SELECT RAISE(ABORT, 'injected'); END"},
    };
    ado::Connection c;
    c.Open(s_server->connectionString());
    for (const auto& k : cases) {
        raw(QString::fromLatin1(k.trigger));
        const QString held = formulaOf(c, 2);
        EXPECT_THROW(editing::writeVersioned(c, write(2, QStringLiteral("SET @OUTPREZZO = 9"))),
                     core::ComError)
            << k.name;
        EXPECT_EQ(c.TransactionCount(), 0) << k.name;
        EXPECT_EQ(formulaOf(c, 2), held) << k.name;
        EXPECT_EQ(editing::FormulaHistory(c).latestVersion(0, 2), 0) << k.name;
        raw(QStringLiteral("DROP TRIGGER T_FAIL"));
    }
}

TEST_F(HistoryServed, TheToolNamesTheServerLogin) {
    const QString db = s_server->connectionString();
    const QStringList record = {QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
                                QStringLiteral("4")};
    ToolRun r = testtool::runTool(QStringList{QStringLiteral("--db"), db, QStringLiteral("save")} + record +
                                      QStringList{QStringLiteral("--expect-version"), QStringLiteral("0"),
                                                  QStringLiteral("SET [Prezzo lordo] = 2")},
                                  {}, 60000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = testtool::runTool(QStringList{QStringLiteral("--db"), db, QStringLiteral("history")} + record, {},
                          60000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines.at(0).section(u'\t', 2, 3), QStringLiteral("formule_test\ttool"));
    r = testtool::runTool(QStringList{QStringLiteral("--db"), db, QStringLiteral("diff")} + record, {},
                          60000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QStringLiteral("--- v1\n+++ v2\n@@ -0,0 +1 @@\n+SET [Prezzo lordo] = 2\n"));
}

} // namespace
