// The formule tool run as a process: exit codes, standard output and standard error.

#include "ado/Setup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class FormuleTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        db = home.filePath(QStringLiteral("work/test.sqlite"));
        connection = ado::setup::embeddedConnectionString(db);
    }

    ToolRun run(const QStringList& args, const QByteArray& input = {}) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FORMULE_TOOL), args);
        EXPECT_TRUE(p.waitForStarted());
        if (!input.isEmpty())
            p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(120000));
        ToolRun r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    ToolRun withDb(QStringList args, const QByteArray& input = {}) const {
        args.prepend(connection);
        args.prepend(QStringLiteral("--db"));
        return run(args, input);
    }

    void initDemo() const {
        const ToolRun r = withDb({QStringLiteral("init-db"), QStringLiteral("--demo")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    QTemporaryDir home;
    QString db;
    QString connection;
};

QString demoRows() {
    return QString::number(ado::setup::splitStatements(ado::setup::demoDataScript()).size());
}

} // namespace

TEST_F(FormuleTool, HelpListsTheCommands) {
    const ToolRun r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* name : {"init-db", "sql", "demo", "--db", "--lang", "--company", "--on-error"})
        EXPECT_TRUE(r.out.contains(QLatin1String(name))) << name;
    const ToolRun sqlHelp = run({QStringLiteral("init-db"), QStringLiteral("--help")});
    EXPECT_EQ(sqlHelp.exitCode, 0);
    EXPECT_TRUE(sqlHelp.out.contains(QLatin1String("--demo")));
}

TEST_F(FormuleTool, UsageErrorsExitWithTwo) {
    struct Case {
        QStringList args;
        QString err;
    };
    const Case cases[] = {
        {{}, QStringLiteral("formule: no command given (see formule --help)\n")},
        {{QStringLiteral("frobnicate")},
         QStringLiteral("formule: unknown command \"frobnicate\" (see formule --help)\n")},
        {{QStringLiteral("--lang"), QStringLiteral("de"), QStringLiteral("demo")},
         QStringLiteral("formule: --lang must be it or en, not \"de\"\n")},
        {{QStringLiteral("--company"), QStringLiteral("x1"), QStringLiteral("demo")},
         QStringLiteral("formule: --company must be a whole number, not \"x1\"\n")},
        {{QStringLiteral("--on-error"), QStringLiteral("retry"), QStringLiteral("demo")},
         QStringLiteral("formule: --on-error must be abort or ignore, not \"retry\"\n")},
        {{QStringLiteral("sql"), QStringLiteral("--bogus"), QStringLiteral("SELECT 1")},
         QStringLiteral("formule sql: Unknown option 'bogus'.\n")},
        {{QStringLiteral("init-db"), QStringLiteral("extra")},
         QStringLiteral("init-db: unexpected argument \"extra\"\n")},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(u' ').toStdString();
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, QString());
    }
}

TEST_F(FormuleTool, InitDbCreatesLoadsAndRefusesToOverwrite) {
    ToolRun r = withDb({QStringLiteral("init-db"), QStringLiteral("--demo")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(r.out,
              QStringLiteral("database file created\n"
                             "tables created: LP01_PROVIDER, LP07_QUOTAZIONI, LP17_FORMULEMANUT, LP14_CAMPI, "
                             "CM01_CATEGORIECOMM, MG5F_DIMECONF\n"
                             "demo rows loaded: ") +
                  demoRows() + u'\n');
    ASSERT_TRUE(QFile::exists(db));

    r = withDb({QStringLiteral("init-db"), QStringLiteral("--demo")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err,
              QStringLiteral("init-db: The database already holds rows (table LP01_PROVIDER): the demo rows "
                             "are not loaded, to keep what is there\n"));

    r = withDb({QStringLiteral("init-db")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("schema already present\n"));
}

TEST_F(FormuleTool, InitDbWithoutDemoCreatesEmptyTables) {
    const ToolRun r = withDb({QStringLiteral("init-db")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("database file created\ntables created: LP01_PROVIDER, LP07_QUOTAZIONI, "
                                    "LP17_FORMULEMANUT, LP14_CAMPI, CM01_CATEGORIECOMM, MG5F_DIMECONF\n"));
    const ToolRun count =
        withDb({QStringLiteral("sql"), QStringLiteral("SELECT COUNT(*) AS N FROM LP14_CAMPI")});
    EXPECT_EQ(count.out, QStringLiteral("N\n0\n"));
}

TEST_F(FormuleTool, SqlPrintsHeaderRowsAndNull) {
    initDemo();
    struct Case {
        QString sql;
        QString out;
    };
    const Case cases[] = {
        {QStringLiteral(
             "SELECT LP01_ID, LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID IN (1, 4) ORDER BY LP01_ID"),
         QStringLiteral("LP01_ID\tLP01_FORMULE\n1\tSET @OUTPREZZO = @ATTPREZZO + 50\n4\tNULL\n")},
        {QStringLiteral("SELECT LP01_ID FROM LP01_PROVIDER WHERE LP01_ID = 999"),
         QStringLiteral("LP01_ID\n")},
        {QStringLiteral("SELECT LP14_DESCRIZIONE FROM LP14_CAMPI WHERE LP14_INDELEMENTO = 616"),
         QString::fromUtf8("LP14_DESCRIZIONE\nAttività\n")},
        {QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHERE LP07_ID = 3"),
         QStringLiteral("(1 row affected)\n")},
        {QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHERE LP07_ID > 2"),
         QStringLiteral("(2 rows affected)\n")},
        {QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL WHERE LP07_ID = 99"),
         QStringLiteral("(0 rows affected)\n")},
    };
    for (const Case& c : cases) {
        const ToolRun r = withDb({QStringLiteral("sql"), c.sql});
        EXPECT_EQ(r.exitCode, 0) << c.sql.toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, c.out) << c.sql.toStdString();
        EXPECT_EQ(r.err, QString());
    }
}

TEST_F(FormuleTool, SqlPrintsEveryResultSetOfABatch) {
    initDemo();
    const ToolRun r =
        withDb({QStringLiteral("sql"), QStringLiteral("SELECT 1 AS A; SELECT 2 AS B, NULL AS C")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("A\n1\n\nB\tC\n2\tNULL\n"));
}

TEST_F(FormuleTool, SqlReadsStandardInput) {
    initDemo();
    const QByteArray text = "SELECT LP17_ID FROM LP17_FORMULEMANUT WHERE LP17_ID <= 2 ORDER BY LP17_ID\n";
    for (const QStringList& args :
         {QStringList{QStringLiteral("sql"), QStringLiteral("-")}, QStringList{QStringLiteral("sql")}}) {
        const ToolRun r = withDb(args, text);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("LP17_ID\n1\n2\n"));
    }
    const ToolRun empty = withDb({QStringLiteral("sql"), QStringLiteral("  ")});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(empty.err, QStringLiteral("sql: no statement given\n"));
}

TEST_F(FormuleTool, FailuresGoToStandardError) {
    initDemo();
    const ToolRun bad = withDb({QStringLiteral("sql"), QStringLiteral("SELECT NOTHING FROM NO_SUCH_TABLE")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, QString());
    EXPECT_EQ(bad.err, QStringLiteral("sql: error -2147217900: Invalid object name 'NO_SUCH_TABLE'.\n"
                                      "Msg 208, Level 16, State 1, Line 1\n"));

    const QString missing = home.filePath(QStringLiteral("missing.sqlite"));
    const ToolRun noDb = run({QStringLiteral("--db"), ado::setup::embeddedConnectionString(missing),
                              QStringLiteral("sql"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(noDb.exitCode, 2);
    EXPECT_EQ(noDb.err,
              QStringLiteral("sql: error -2147467259: The database file \"%1\" does not exist (key Data "
                             "Source)\n")
                  .arg(missing));
    EXPECT_FALSE(QFile::exists(missing));

    const ToolRun badProvider =
        run({QStringLiteral("--db"), QStringLiteral("Provider=Foo;Data Source=x"), QStringLiteral("demo")});
    EXPECT_EQ(badProvider.exitCode, 2);
    EXPECT_EQ(badProvider.err,
              QStringLiteral("demo: error 3706: Provider \"Foo\" cannot be found (key Provider); "
                             "use Embedded, MSOLEDBSQL or SQLOLEDB\n"));
}

TEST_F(FormuleTool, DemoUsesTheDefaultDatabaseCreatedOnFirstUse) {
    const QString defaultDb = home.filePath(QStringLiteral("data/formule/demo.sqlite"));
    ASSERT_FALSE(QFile::exists(defaultDb));
    const ToolRun r = run({QStringLiteral("demo")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(defaultDb));
    EXPECT_EQ(r.err, QString());
    const QStringList lines = r.out.split(u'\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(0), QStringLiteral("Formule della Condizione (LP01_PROVIDER)"));
    EXPECT_EQ(lines.at(1), QStringLiteral("1\tListino fornitore base\tSET @OUTPREZZO = @ATTPREZZO + 50"));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nFormule del Listino (LP07_QUOTAZIONI)\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nFormule della manutenzione listini (LP17_FORMULEMANUT)\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("4\tFornitore senza formula\tNULL\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("5\tSconto fisso\tSET @OUTSC3PERC = 2\n")));
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("\n")));
    EXPECT_FALSE(r.out.endsWith(QStringLiteral("\n\n")));

    // The second run finds the database and shows the same.
    const ToolRun again = run({QStringLiteral("demo")});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, r.out);
}
