// What formule prints for a machine to read and where it takes its secrets from: the values of
// sql (scale, bits, whole floats, escapes, NULL against the text NULL), errors without an HRESULT,
// the database of FORMULE_DB and FORMULE_DB_FILE and the note of a writing command, the logging
// categories off unless asked for.

#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

class ToolOutput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        connection = ado::setup::embeddedConnectionString(home.filePath(QStringLiteral("t.sqlite")));
        ado::setup::initialize(connection, true);
    }

    ToolRun run(const QStringList& args, const QMap<QString, QString>& extra = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.remove(QStringLiteral("FORMULE_DB"));
        env.remove(QStringLiteral("FORMULE_DB_FILE"));
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        QStringList all{QStringLiteral("--lang"), QStringLiteral("en")};
        all << args;
        const ToolRun r = testtool::runTool(all, {}, 120000, env);
        EXPECT_TRUE(r.finished);
        return r;
    }

    ToolRun sql(const QString& text) const {
        return run({QStringLiteral("--db"), connection, QStringLiteral("sql"), text});
    }

    QTemporaryDir home;
    QString connection;
};

} // namespace

// One value a row, its column's text on the second line.
TEST_F(ToolOutput, SqlPrintsValuesInOneLineEachInTheCLocale) {
    struct Case {
        const char* expression;
        const char* printed;
    };
    const Case cases[] = {
        {"CAST(2 AS DECIMAL(10,2))", "2.00"},
        {"CAST(-0.5 AS DECIMAL(10,3))", "-0.500"},
        {"CAST(1234567.5 AS DECIMAL(18,1))", "1234567.5"},
        {"CAST(1 AS BIT)", "1"},
        {"CAST(0 AS BIT)", "0"},
        {"CAST(1e20 AS FLOAT)", "100000000000000000000"},
        {"CAST(2.5 AS FLOAT)", "2.5"},
        {"CAST(9007199254740993 AS BIGINT)", "9007199254740993"},
        {"NULL", "NULL"},
        {"'NULL'", "\\NULL"},
        {"'null'", "null"},
        {"'a' + CHAR(9) + 'b'", "a\\tb"},
        {"'a' + CHAR(13) + CHAR(10) + 'b'", "a\\r\\nb"},
        {"'c:\\dir\\NULL'", "c:\\\\dir\\\\NULL"},
        {"N'perché'", "perché"},
    };
    for (const Case& c : cases) {
        const ToolRun r = sql(QStringLiteral("SELECT %1 AS v").arg(QString::fromUtf8(c.expression)));
        EXPECT_EQ(r.exitCode, 0) << c.expression << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("v\n") + QString::fromUtf8(c.printed) + u'\n') << c.expression;
    }
    // --lang it changes no value.
    const ToolRun italian =
        run({QStringLiteral("--lang"), QStringLiteral("it"), QStringLiteral("--db"), connection,
             QStringLiteral("sql"), QStringLiteral("SELECT CAST(1234.5 AS DECIMAL(9,2)) AS v")});
    EXPECT_EQ(italian.out, QStringLiteral("v\n1234.50\n"));
}

// Errors say the server's number, level, state and line, or the reason alone, never an HRESULT.
TEST_F(ToolOutput, SqlErrorsCarryNoHresult) {
    const ToolRun thrown = sql(QString::fromUtf8("THROW 50001, N'è così', 3"));
    EXPECT_EQ(thrown.exitCode, 1);
    EXPECT_EQ(thrown.err, QString::fromUtf8("Msg 50001, Level 16, State 3, Line 1\nè così\n"));
    const ToolRun missing =
        run({QStringLiteral("--db"),
             ado::setup::embeddedConnectionString(home.filePath(QStringLiteral("no.sqlite"))),
             QStringLiteral("sql"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith(QStringLiteral("sql: The database file ")))
        << missing.err.toStdString();
    EXPECT_FALSE(missing.err.contains(QStringLiteral("-2147"))) << missing.err.toStdString();
}

// Without --db: FORMULE_DB, then the first line of FORMULE_DB_FILE; a writing command names the
// database on standard error, never its login; a command that only reads says nothing.
TEST_F(ToolOutput, TheDatabaseFromTheEnvironmentIsNamedByWritingCommands) {
    const QString file = home.filePath(QStringLiteral("db.txt"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((connection + QStringLiteral(";User ID=u;Password=secret\nignored\n")).toUtf8());
    }
    const QString where = home.filePath(QStringLiteral("t.sqlite"));
    struct Case {
        QMap<QString, QString> env;
        QStringList args;
        QString err;
    };
    const QString note = QStringLiteral("formule: sql uses the database %1 (--db not given)\n").arg(where);
    const Case cases[] = {
        {{{QStringLiteral("FORMULE_DB"), connection}},
         {QStringLiteral("sql"), QStringLiteral("SELECT 1 AS n")},
         note},
        {{{QStringLiteral("FORMULE_DB_FILE"), file}},
         {QStringLiteral("sql"), QStringLiteral("SELECT 1 AS n")},
         note},
        {{{QStringLiteral("FORMULE_DB"), connection}}, {QStringLiteral("demo")}, QString()},
        {{{QStringLiteral("FORMULE_DB_FILE"), home.filePath(QStringLiteral("none.txt"))}},
         {QStringLiteral("sql"), QStringLiteral("SELECT 1 AS n")},
         QStringLiteral("formule: FORMULE_DB_FILE: the file \"%1\" cannot be read\n")
             .arg(home.filePath(QStringLiteral("none.txt")))},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.args, c.env);
        EXPECT_EQ(r.err, c.err) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("secret")));
        if (c.err == note) {
            EXPECT_EQ(r.out, QStringLiteral("n\n1\n"));
        }
    }
    // --db given: no note.
    EXPECT_EQ(sql(QStringLiteral("SELECT 1 AS n")).err, QString());
}

// The formule.* categories write nothing unless --verbose or QT_LOGGING_RULES turns them on.
TEST_F(ToolOutput, LoggingIsOffUntilAskedFor) {
    EXPECT_EQ(sql(QStringLiteral("SELECT 1 AS n")).err, QString());
    const ToolRun verbose = run({QStringLiteral("--verbose"), QStringLiteral("--db"), connection,
                                 QStringLiteral("sql"), QStringLiteral("SELECT 1 AS n")});
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("formule.ado: opened"))) << verbose.err.toStdString();
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("formule.tsql: running a batch")))
        << verbose.err.toStdString();
    const ToolRun rules =
        run({QStringLiteral("--db"), connection, QStringLiteral("sql"), QStringLiteral("SELECT 1 AS n")},
            {{QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("formule.tsql=true")}});
    EXPECT_TRUE(rules.err.contains(QStringLiteral("formule.tsql: running a batch")))
        << rules.err.toStdString();
    EXPECT_FALSE(rules.err.contains(QStringLiteral("formule.ado"))) << rules.err.toStdString();
    EXPECT_EQ(verbose.out, QStringLiteral("n\n1\n"));
}
