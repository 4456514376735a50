// The tool's history commands (history, diff, restore) and the version options of save and
// clear, run as a user runs them.

#include "../common/Catalogue.h"
#include "../common/ToolRun.h"
#include "TestDatabase.h"
#include "apps/formule/HistoryTexts.h"
#include "editing/FormulaHistory.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using checktest::TestDatabase;
using testtool::ToolRun;

class HistoryCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(FORMULE_TOOL)))
            GTEST_SKIP() << "the formule tool is not built: " << FORMULE_TOOL;
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("USER"), QStringLiteral("tester"));
        // The tool in Italian, whatever the machine's locale: the formulas here are written in it.
        environment.remove(QStringLiteral("LC_ALL"));
        environment.remove(QStringLiteral("LC_MESSAGES"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("it_IT.UTF-8"));
        environment.insert(QStringLiteral("KEEP_LOCALE"), QStringLiteral("1"));
    }

    ToolRun run(const QStringList& arguments, const QByteArray& input = {}) {
        return testtool::runTool(QStringList{QStringLiteral("--db"), db.connectionString()} + arguments,
                                 input, 60000, environment);
    }

    // The record 12 of context 0, with the command's arguments after it.
    static QStringList record(const char* command, const QStringList& more = {}) {
        return QStringList{QString::fromLatin1(command), QStringLiteral("--context"), QStringLiteral("0"),
                           QStringLiteral("--id"), QStringLiteral("12")} +
               more;
    }

    // The history's lines with every time replaced by WHEN.
    QString historyLines(const QStringList& more = {}) {
        static const QRegularExpression time(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"));
        const ToolRun r = run(record("history", more));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QString(r.out).replace(time, QStringLiteral("WHEN"));
    }

    TestDatabase db;
    QProcessEnvironment environment;
};

TEST_F(HistoryCli, SavesClearsAndRestoresAreListed) {
    CHECK_REQUIRE_ENGINE(db);
    ToolRun r = run(record("save", {QStringLiteral("--comment"), QStringLiteral("più 9"),
                                    QStringLiteral("SET [Prezzo lordo] = 10")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SET @OUTPREZZO = 10' WHERE LP01_ID = 12\n"));
    EXPECT_EQ(r.err, QStringLiteral("save: versione 2 registrata nella cronologia della formula\n"));
    r = run(record("clear", {QStringLiteral("--comment"), QStringLiteral("via")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = run(record("restore", {QStringLiteral("--version"), QStringLiteral("1")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SET @OUTPREZZO = 1' WHERE LP01_ID = 12\n"));
    // Restoring the clear clears again.
    r = run(record("restore", {QStringLiteral("--version"), QStringLiteral("3"), QStringLiteral("--comment"),
                               QStringLiteral("di nuovo vuota")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 12\n"));
    EXPECT_TRUE(db.formula(0, 12).isNull());

    EXPECT_EQ(historyLines(), QStringLiteral("5\tWHEN\ttester\ttool\tdi nuovo vuota\n"
                                             "4\tWHEN\ttester\ttool\t\n"
                                             "3\tWHEN\ttester\ttool\tvia\n"
                                             "2\tWHEN\ttester\ttool\tpiù 9\n"
                                             "1\tWHEN\ttester\ttool\t\n"));
    EXPECT_EQ(historyLines({QStringLiteral("--format"), QStringLiteral("csv")}).split(u'\n').mid(0, 3),
              QStringList({QStringLiteral("VERSION,WHEN,WHO,FROM,COMMENT"),
                           QStringLiteral("5,WHEN,tester,tool,di nuovo vuota"),
                           QStringLiteral("4,WHEN,tester,tool,")}));
    const QString json = historyLines({QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_TRUE(json.contains(QStringLiteral("\"hash\": null"))) << json.toStdString();
    EXPECT_TRUE(json.contains(QStringLiteral("\"hash\": \"") +
                              editing::formulaHash(QStringLiteral("SET @OUTPREZZO = 10"))))
        << json.toStdString();
    // Another record has none.
    r = run({QStringLiteral("history"), QStringLiteral("--context"), QStringLiteral("1"),
             QStringLiteral("--id"), QStringLiteral("12")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err, QStringLiteral("history: La formula (contesto 1, id 12) non ha versioni registrate\n"));
}

TEST_F(HistoryCli, ExpectVersionRefusesARecordThatMovedOn) {
    CHECK_REQUIRE_ENGINE(db);
    // No version yet: 0 is what was read.
    ToolRun r = run(record("save", {QStringLiteral("--expect-version"), QStringLiteral("0"),
                                    QStringLiteral("SET [Prezzo lordo] = 10")}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString when = editing::FormulaHistory(*db.connection).load(0, 12, 2)->when;
    const QString before = db.dump();
    const struct {
        QStringList args;
        int expected;
    } cases[] = {
        {record("save", {"--expect-version", "1", "SET [Prezzo lordo] = 11"}), 1},
        {record("save", {"--expect-version", "0", "SET [Prezzo lordo] = 11"}), 0},
        {record("clear", {"--expect-version", "3"}), 3},
        {record("restore", {"--version", "1", "--expect-version", "1"}), 1},
    };
    for (const auto& c : cases) {
        r = run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(u' ').toStdString();
        EXPECT_EQ(r.out, QString());
        EXPECT_EQ(r.err,
                  c.args.first() + QStringLiteral(": La formula è stata modificata nel frattempo: attesa la "
                                                  "versione %1, c'è la versione 2 salvata da tester il %2 "
                                                  "(UTC). Nulla è stato scritto\n")
                                       .arg(c.expected)
                                       .arg(when));
        EXPECT_EQ(db.dump(), before);
    }
    r = run(record("save", {QStringLiteral("--expect-version"), QStringLiteral("2"),
                            QStringLiteral("SET [Prezzo lordo] = 11")}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // In English.
    r = run(QStringList{QStringLiteral("--lang"), QStringLiteral("en")} +
            record("clear", {QStringLiteral("--expect-version"), QStringLiteral("2")}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        r.err.startsWith(QStringLiteral("clear: The formula was changed meanwhile: version 2 was expected, "
                                        "there is version 3 saved by tester on ")))
        << r.err.toStdString();
}

TEST_F(HistoryCli, DiffOfTheDisplayForms) {
    CHECK_REQUIRE_ENGINE(db);
    ASSERT_EQ(
        run(record("save", {QStringLiteral("SET [Prezzo lordo] = 10\r\nSET [Sconto 1%] = 5")})).exitCode, 0);
    const struct {
        const char* name;
        QStringList args;
        QByteArray input;
        int exitCode;
        const char* out;
    } cases[] = {
        {"the one before the latest against the latest",
         {},
         {},
         1,
         "--- v1\n+++ v2\n@@ -1 +1,2 @@\n-SET [Prezzo lordo] = 1\n+SET [Prezzo lordo] = 10\n+SET [Sconto 1%] "
         "= 5\n"},
        {"the same version", {"--from", "2", "--to", "2"}, {}, 0, ""},
        {"the other way",
         {"--from", "2", "--to", "1"},
         {},
         1,
         "--- v2\n+++ v1\n@@ -1,2 +1 @@\n-SET [Prezzo lordo] = 10\n-SET [Sconto 1%] = 5\n+SET [Prezzo "
         "lordo] = 1\n"},
        {"the latest against a text", {"--text", "SET [Prezzo lordo] = 10\nSET [Sconto 1%] = 5"}, {}, 0, ""},
        {"the latest against standard input",
         {"-"},
         "SET [Prezzo lordo] = 10\nSET [Sconto 1%] = 6\n",
         1,
         "--- v2\n+++ -\n@@ -1,2 +1,2 @@\n SET [Prezzo lordo] = 10\n-SET [Sconto 1%] = 5\n+SET [Sconto 1%] "
         "= 6\n"},
        {"a version against a text", {"--from", "1", "--text", "SET [Prezzo lordo] = 1"}, {}, 0, ""},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(record("diff", c.args), c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": " << r.err.toStdString();
        EXPECT_EQ(r.out.toStdString(), c.out) << c.name;
    }
}

TEST_F(HistoryCli, WrongOptionsAreRefusedBeforeAnythingIsWritten) {
    namespace t = formule_cli::history::text;
    const QString before = db.dump();
    const struct {
        QStringList args;
        QString err;
    } cases[] = {
        {record("save", {QStringLiteral("--expect-version"), QStringLiteral("due"),
                         QStringLiteral("SET [Prezzo lordo] = 1")}),
         QStringLiteral("save: ") + t::BadExpectVersion.arg(QStringLiteral("due"))},
        {record("save", {QStringLiteral("--comment"), QStringLiteral("a\nb"),
                         QStringLiteral("SET [Prezzo lordo] = 1")}),
         QStringLiteral("save: ") + editing::historymsg::CommentLineBreak},
        {record("clear", {QStringLiteral("--comment"), QString(401, u'x')}),
         QStringLiteral("clear: ") + editing::historymsg::CommentTooLong.arg(400)},
        {record("restore"), QStringLiteral("restore: ") + t::VersionRequired},
        {record("restore", {QStringLiteral("--version"), QStringLiteral("0")}),
         QStringLiteral("restore: ") + t::BadVersion.arg(QStringLiteral("--version"), QStringLiteral("0"))},
        {record("diff",
                {QStringLiteral("--to"), QStringLiteral("1"), QStringLiteral("--text"), QStringLiteral("x")}),
         QStringLiteral("diff: ") + t::ToAndText},
        {record("diff"), QStringLiteral("diff: La formula (contesto 0, id 12) non ha versioni registrate")},
        {record("history", {QStringLiteral("--format"), QStringLiteral("xml")}),
         QStringLiteral("history: ") + t::BadFormat.arg(QStringLiteral("xml"))},
        {{QStringLiteral("history"), QStringLiteral("--prune-before"), QStringLiteral("2026-02-30")},
         QStringLiteral("history: ") + t::BadDate.arg(QStringLiteral("2026-02-30"))},
        {{QStringLiteral("history"), QStringLiteral("--prune-before"), QStringLiteral("2026-01-01 10:00")},
         QStringLiteral("history: ") + t::BadDate.arg(QStringLiteral("2026-01-01 10:00"))},
        {record("history", {QStringLiteral("--prune-before"), QStringLiteral("2026-01-01")}),
         QStringLiteral("history: ") + t::PruneWithRecord},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(u' ').toStdString();
        EXPECT_EQ(r.err, c.err + u'\n') << c.args.join(u' ').toStdString();
        EXPECT_EQ(db.dump(), before);
    }
    // A version that does not exist: the command ran, nothing to restore.
    const ToolRun r = run(record("restore", {QStringLiteral("--version"), QStringLiteral("7")}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("restore: La versione 7 della formula (contesto 0, id 12) non esiste\n"));
}

TEST_F(HistoryCli, PruneKeepsTheLatestOfEveryRecord) {
    CHECK_REQUIRE_ENGINE(db);
    for (const char* text : {"SET [Prezzo lordo] = 10", "SET [Prezzo lordo] = 11"})
        ASSERT_EQ(run(record("save", {QString::fromLatin1(text)})).exitCode, 0);
    ToolRun r =
        run({QStringLiteral("history"), QStringLiteral("--prune-before"), QStringLiteral("2000-01-01")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("versioni eliminate: 0\n"));
    r = run({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("history"),
             QStringLiteral("--prune-before"), QStringLiteral("9999-12-31T23:59:59Z")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("versions deleted: 2\n"));
    EXPECT_EQ(historyLines(), QStringLiteral("3\tWHEN\ttester\ttool\t\n"));
}

// A database made before the history: the save writes as it always did and says that no version
// was recorded; init-db adds the table, and the next save has its versions.
TEST_F(HistoryCli, AnOlderDatabaseSavesAndKeepsVersionsOnceInitDbAddedTheTable) {
    CHECK_REQUIRE_ENGINE(db);
    {
        QSqlQuery q(QSqlDatabase::database(db.rawName()));
        ASSERT_TRUE(q.exec(QStringLiteral("DROP TABLE LP31_VERSIONI")));
    }
    ToolRun r = run(record("save", {QStringLiteral("SET [Prezzo lordo] = 10")}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("save: ") + formule_cli::history::text::NotRecorded + u'\n');
    r = run(record("save", {QStringLiteral("--expect-version"), QStringLiteral("0"),
                            QStringLiteral("SET [Prezzo lordo] = 11")}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(editing::historymsg::NoTable)) << r.err.toStdString();
    r = run(record("history"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, QStringLiteral("history: ") + editing::historymsg::NoTable + u'\n');

    r = run({QStringLiteral("init-db")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("tabelle create: ")) &&
                r.out.endsWith(QStringLiteral("LP31_VERSIONI\n")))
        << r.out.toStdString();
    r = run(record("save", {QStringLiteral("SET [Prezzo lordo] = 10")}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(historyLines(), QStringLiteral("2\tWHEN\ttester\ttool\t\n1\tWHEN\ttester\ttool\t\n"));
}

// A save killed inside its transaction (its UPDATE done, its version being written: a trigger keeps
// the INSERT busy) leaves the record and its history as they were: both or neither.
TEST_F(HistoryCli, ASaveKilledInsideItsTransactionLeavesFormulaAndHistoryAsTheyWere) {
    CHECK_REQUIRE_ENGINE(db);
    ASSERT_EQ(run(record("save", {QStringLiteral("SET [Prezzo lordo] = 1")})).exitCode, 0);
    const QString before = db.dump();
    QSqlDatabase raw = QSqlDatabase::database(db.rawName());
    for (const char* sql :
         {"CREATE TABLE SLOW (X INTEGER)",
          "INSERT INTO SLOW WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C WHERE X < 20000) "
          "SELECT X FROM C",
          "CREATE TRIGGER T_SLOW BEFORE INSERT ON LP31_VERSIONI BEGIN SELECT COUNT(*) FROM SLOW A, SLOW B; "
          "END",
          "PRAGMA busy_timeout = 0"})
        ASSERT_TRUE(QSqlQuery(raw).exec(QString::fromLatin1(sql))) << sql;

    QProcess save;
    save.setProcessEnvironment(environment);
    save.start(QStringLiteral(FORMULE_TOOL), QStringList{QStringLiteral("--db"), db.connectionString()} +
                                                 record("save", {QStringLiteral("SET [Prezzo lordo] = 2")}));
    ASSERT_TRUE(save.waitForStarted());
    // The save holds the database's write lock from its UPDATE to its commit; its silent check
    // holds it too, but briefly: the save is caught when the lock stays held for 300 ms.
    int held = 0;
    for (int wait = 0; wait < 6000 && held < 60 && save.state() == QProcess::Running; ++wait) {
        QSqlQuery probe(raw);
        if (probe.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            probe.exec(QStringLiteral("ROLLBACK"));
            held = 0;
        } else {
            ++held;
        }
        QThread::msleep(5);
    }
    const bool inside = held >= 60;
    save.kill();
    save.waitForFinished();
    ASSERT_TRUE(inside) << "the save ended before it was caught in its transaction";
    EXPECT_EQ(save.exitStatus(), QProcess::CrashExit);

    ASSERT_TRUE(QSqlQuery(raw).exec(QStringLiteral("DROP TRIGGER T_SLOW")));
    ASSERT_TRUE(QSqlQuery(raw).exec(QStringLiteral("DROP TABLE SLOW")));
    EXPECT_EQ(db.dump().toStdString(), before.toStdString());
    EXPECT_EQ(historyLines(), QStringLiteral("2\tWHEN\ttester\ttool\t\n1\tWHEN\ttester\ttool\t\n"));
}

TEST(HistoryTexts, EveryTextHasItsEnglishEntry) {
    const QMap<QString, QString> en =
        testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/history_en.ts"));
    namespace m = editing::historymsg;
    namespace t = formule_cli::history::text;
    for (const QString& text : {m::NoTable,         m::BadId,       m::CommentTooLong,   m::CommentLineBreak,
                                m::Moved,           m::NoVersion,   m::NoHistory,        m::Unknown,
                                t::Saved,           t::NotRecorded, t::BadExpectVersion, t::BadVersion,
                                t::VersionRequired, t::ToAndText,   t::BadFormat,        t::BadDate,
                                t::PruneWithRecord, t::Pruned,      t::NotShown,         t::NoPrevious})
        EXPECT_FALSE(en.value(text).isEmpty()) << text.toStdString();
}

} // namespace
