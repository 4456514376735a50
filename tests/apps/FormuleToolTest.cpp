// The formule tool run as a process: exit codes, standard output and standard error.

#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using testtool::ToolRun;

class FormuleTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        db = home.filePath(QStringLiteral("work/test.sqlite"));
        connection = ado::setup::embeddedConnectionString(db);
    }

    // The tool with a home of the test's own, so that nothing it keeps there outlives the test.
    ToolRun run(const QStringList& args, const QByteArray& input = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        // The tool's texts in English: the locale of the machine running the tests aside.
        env.insert(QStringLiteral("KEEP_LOCALE"), QStringLiteral("1"));
        env.remove(QStringLiteral("LC_ALL"));
        env.remove(QStringLiteral("LC_MESSAGES"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        const ToolRun r = testtool::runTool(args, input, 120000, env);
        EXPECT_TRUE(r.started);
        EXPECT_TRUE(r.finished);
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

// Texts in failure messages as text.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

TEST_F(FormuleTool, HelpListsTheCommands) {
    const ToolRun r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* name : {"init-db", "sql", "demo", "--db", "--lang", "--company", "--on-error"})
        EXPECT_TRUE(r.out.contains(QLatin1String(name))) << name;
    const ToolRun sqlHelp = run({QStringLiteral("init-db"), QStringLiteral("--help")});
    EXPECT_EQ(sqlHelp.exitCode, 0);
    EXPECT_TRUE(sqlHelp.out.contains(QLatin1String("--demo")));
}

// check-sql follows the server for a dynamic batch written out as constants, and says so.
TEST_F(FormuleTool, CheckSqlRunsAConstantDynamicBatch) {
    initDemo();
    const ToolRun help = run({QStringLiteral("check-sql"), QStringLiteral("--help")});
    EXPECT_TRUE(help.out.contains(QLatin1String("EXEC ('SELECT 1')"))) << help.out.toStdString();
    EXPECT_EQ(withDb({QStringLiteral("check-sql"), QStringLiteral("EXEC ('SELECT 1')")}).out,
              QStringLiteral("OK\n"));
    const ToolRun variable = withDb(
        {QStringLiteral("check-sql"), QStringLiteral("DECLARE @s nvarchar(9) = 'SELECT 1' EXEC (@s)")});
    EXPECT_EQ(variable.exitCode, 1);
    const ToolRun thrown = withDb({QStringLiteral("check-sql"), QStringLiteral(";THROW 50001, 'Prezzo', 1")});
    EXPECT_TRUE(thrown.out.startsWith(QStringLiteral("Msg 50001, Level 16, State 1, Line 1: Prezzo")))
        << thrown.out.toStdString();
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
         QStringLiteral(
             "formule: --company must be a whole number, not \"x1\": \"x\" at character 1 is not a "
             "decimal digit\n")},
        {{QStringLiteral("--on-error"), QStringLiteral("retry"), QStringLiteral("demo")},
         QStringLiteral("formule: --on-error must be abort or ignore, not \"retry\"\n")},
        {{QStringLiteral("sql"), QStringLiteral("--bogus"), QStringLiteral("SELECT 1")},
         QStringLiteral("formule sql: Unknown option 'bogus'.\n")},
        {{QStringLiteral("init-db"), QStringLiteral("extra")},
         QStringLiteral("formule init-db takes no arguments: \"extra\" is one too many (see formule init-db "
                        "--help)\n")},
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
                             "CM01_CATEGORIECOMM, MG5F_DIMECONF, LP30_CASIPROVA, "
                             "LP31_VERSIONI\n"
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
    EXPECT_EQ(r.out, QStringLiteral(
                         "database file created\ntables created: LP01_PROVIDER, LP07_QUOTAZIONI, "
                         "LP17_FORMULEMANUT, LP14_CAMPI, CM01_CATEGORIECOMM, MG5F_DIMECONF, LP30_CASIPROVA, "
                         "LP31_VERSIONI\n"));
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
    EXPECT_EQ(bad.err,
              QStringLiteral("Msg 208, Level 16, State 1, Line 1\nInvalid object name 'NO_SUCH_TABLE'.\n"));

    const QString missing = home.filePath(QStringLiteral("missing.sqlite"));
    const ToolRun noDb = run({QStringLiteral("--db"), ado::setup::embeddedConnectionString(missing),
                              QStringLiteral("sql"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(noDb.exitCode, 2);
    EXPECT_EQ(
        noDb.err,
        QStringLiteral("sql: The database file \"%1\" does not exist (key Data Source)\n").arg(missing));
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
    const ToolRun r = run({QStringLiteral("--lang"), QStringLiteral("it"), QStringLiteral("demo")});
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
    const ToolRun again = run({QStringLiteral("--lang"), QStringLiteral("it"), QStringLiteral("demo")});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, r.out);
}

TEST_F(FormuleTool, RecordOptionsTakeWholeNumbersOnly) {
    initDemo();
    struct Case {
        QString id;
        QString err; // empty: the value is taken
    };
    const QString notWhole = QStringLiteral("show: --id must be a whole number, not \"%1\": %2\n");
    const Case cases[] = {
        {QStringLiteral("1,5"),
         notWhole.arg(QStringLiteral("1,5"), QStringLiteral("\",\" at character 2 is not "
                                                            "a decimal digit"))},
        {QStringLiteral("1e3"),
         notWhole.arg(QStringLiteral("1e3"), QStringLiteral("\"e\" at character 2 is not "
                                                            "a decimal digit"))},
        {QStringLiteral("+2"),
         notWhole.arg(QStringLiteral("+2"), QStringLiteral("\"+\" at character 1 is not a decimal digit"))},
        {QStringLiteral("-2"),
         notWhole.arg(QStringLiteral("-2"), QStringLiteral("\"-\" at character 1 is not a decimal digit"))},
        {QStringLiteral("1.0"),
         notWhole.arg(QStringLiteral("1.0"), QStringLiteral("\".\" at character 2 is not a decimal digit"))},
        {QStringLiteral("1 2"),
         notWhole.arg(QStringLiteral("1 2"), QStringLiteral("\" \" at character 2 is not a decimal digit"))},
        {QStringLiteral("abc"),
         notWhole.arg(QStringLiteral("abc"), QStringLiteral("\"a\" at character 1 is not a decimal digit"))},
        {QStringLiteral("0x10"),
         notWhole.arg(QStringLiteral("0x10"), QStringLiteral("\"x\" at character 2 is not a decimal digit"))},
        {QString::fromUtf8("\u0663"), // ARABIC-INDIC DIGIT THREE
         notWhole.arg(QString::fromUtf8("\u0663"),
                      QString::fromUtf8("\"\u0663\" (U+0663) at character 1 is not a decimal digit"))},
        {QStringLiteral("1\u00a0"),
         notWhole.arg(QStringLiteral("1\u00a0"),
                      QStringLiteral("U+00A0 at character 2 is not a decimal digit"))},
        {QString::fromUtf8("1\U0001F600"), // a character outside the first plane, after a digit
         notWhole.arg(QString::fromUtf8("1\U0001F600"),
                      QString::fromUtf8("\"\U0001F600\" (U+1F600) at character 2 is not a decimal digit"))},
        {QString::fromUtf8("\U0001F6001"),
         notWhole.arg(QString::fromUtf8("\U0001F6001"),
                      QString::fromUtf8("\"\U0001F600\" (U+1F600) at character 1 is not a decimal digit"))},
        {QStringLiteral("99999999999999999999"),
         notWhole.arg(QStringLiteral("99999999999999999999"), QStringLiteral("it has more than 18 digits"))},
        {QString(), QStringLiteral("show: --id is required (the record that holds the formula)\n")},
        {QStringLiteral("  "),
         QStringLiteral("show: --id is required (the record that holds the formula)\n")},
        {QStringLiteral(" 1 "), QString()},
        {QStringLiteral("\t1"), QString()},
        {QStringLiteral("0001"), QString()},
    };
    for (const Case& c : cases) {
        const ToolRun r = withDb({QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0"),
                                  QStringLiteral("--id"), c.id});
        if (c.err.isEmpty()) {
            EXPECT_EQ(r.exitCode, 0) << c.id.toStdString() << ": " << r.err.toStdString();
            EXPECT_EQ(r.err, QString());
            EXPECT_FALSE(r.out.isEmpty()) << c.id.toStdString();
        } else {
            EXPECT_EQ(r.exitCode, 2) << c.id.toStdString();
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(r.out, QString());
        }
    }

    // The number is taken as written: a record that is not there is a negative outcome.
    for (const QString& id : {QStringLiteral(" 7 "), QStringLiteral("999999999999999999")}) {
        const ToolRun r = withDb({QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0"),
                                  QStringLiteral("--id"), id});
        EXPECT_EQ(r.exitCode, 1) << id.toStdString();
        EXPECT_EQ(r.err, QStringLiteral("show: no record %1 in context 0\n").arg(id.trimmed()));
    }

    const QString badContext = QStringLiteral(
        "%1: --context must be 0 (provider), 1 (price list) or 2 (price-list maintenance), not \"%2\"\n");
    for (const QString& context :
         {QStringLiteral("3"), QStringLiteral("-1"), QStringLiteral("01"), QStringLiteral("+1"),
          QStringLiteral("1.0"), QStringLiteral("1e0"), QString()}) {
        ToolRun r = withDb({QStringLiteral("show"), QStringLiteral("--context"), context,
                            QStringLiteral("--id"), QStringLiteral("1")});
        EXPECT_EQ(r.exitCode, 2) << context.toStdString();
        EXPECT_EQ(r.err, badContext.arg(QStringLiteral("show"), context));
        r = withDb({QStringLiteral("tree"), QStringLiteral("--context"), context});
        EXPECT_EQ(r.exitCode, 2) << context.toStdString();
        EXPECT_EQ(r.err, badContext.arg(QStringLiteral("tree"), context));
    }
    const ToolRun blanks = withDb({QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral(" 1 "),
                                   QStringLiteral("--id"), QStringLiteral("1")});
    EXPECT_EQ(blanks.exitCode, 0) << blanks.err.toStdString();

    const QString badCompany = QStringLiteral("formule: --company must be a whole number, not \"%1\": %2\n");
    const std::pair<QString, QString> companies[] = {
        {QStringLiteral("1,5"), QStringLiteral("\",\" at character 2 is not a decimal digit")},
        {QStringLiteral("1e3"), QStringLiteral("\"e\" at character 2 is not a decimal digit")},
        {QStringLiteral("+2"), QStringLiteral("\"+\" at character 1 is not a decimal digit")},
        {QStringLiteral("2147483648"), QStringLiteral("it is above 2147483647")},
        {QString(), QStringLiteral("it is empty")},
    };
    for (const auto& [company, why] : companies) {
        const ToolRun r = withDb({QStringLiteral("--company"), company, QStringLiteral("demo")});
        EXPECT_EQ(r.exitCode, 2) << company.toStdString();
        EXPECT_EQ(r.err, badCompany.arg(company, why));
    }
    const ToolRun company =
        withDb({QStringLiteral("--company"), QStringLiteral(" 2147483647 "), QStringLiteral("demo")});
    EXPECT_EQ(company.exitCode, 0) << company.err.toStdString();
}

TEST_F(FormuleTool, TextThatIsNotUtf8IsRefused) {
    initDemo();
    struct Case {
        QByteArray input;
        QString err;
    };
    const QString invalid = QStringLiteral("formule: standard input is not valid UTF-8 at byte offset %1\n");
    const QString nul = QStringLiteral("formule: standard input holds a NUL byte at byte offset %1\n");
    const Case cases[] = {
        {QByteArray("SELECT '\xC3\x28'"), invalid.arg(8)},         // a lead byte without its continuation
        {QByteArray("SELECT '\x80'"), invalid.arg(8)},             // a lone continuation byte
        {QByteArray("SELECT '\xC0\xAF'"), invalid.arg(8)},         // overlong "/"
        {QByteArray("SELECT '\xE0\x80\xAF'"), invalid.arg(8)},     // overlong "/" in three bytes
        {QByteArray("SELECT '\xED\xA0\x80'"), invalid.arg(8)},     // the surrogate D800
        {QByteArray("SELECT '\xF4\x90\x80\x80'"), invalid.arg(8)}, // above U+10FFFF
        {QByteArray("SELECT '\xFF'"), invalid.arg(8)},             // never in UTF-8
        {QByteArray("SELECT '\xC3\xA9\xE2\x82\xAC\xFE'"), invalid.arg(13)}, // counted in bytes
        {QByteArray("SELECT 1 -- \xE2\x82"), invalid.arg(12)},              // cut short at the end
        {QByteArray("SEL\0ECT 1", 9), nul.arg(3)},
        {QByteArray("SELECT '\xC3\xA9'\0", 12), nul.arg(11)},
        {QByteArray("\0", 1), nul.arg(0)},
    };
    for (const Case& c : cases) {
        const ToolRun r = withDb({QStringLiteral("sql"), QStringLiteral("-")}, c.input);
        EXPECT_EQ(r.exitCode, 2) << c.input.toHex(' ').toStdString();
        EXPECT_EQ(r.err, c.err) << c.input.toHex(' ').toStdString();
        EXPECT_EQ(r.out, QString());
    }
    // The other commands read their text the same way.
    const ToolRun translation =
        run({QStringLiteral("to-display"), QStringLiteral("-")}, "SET @OUTPREZZO = \xC3\x28");
    EXPECT_EQ(translation.exitCode, 2);
    EXPECT_EQ(translation.err, invalid.arg(17));

    // Bytes of an argument, before Qt decodes them; the reason in the language of --lang.
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("exec \"$0\" --db \"$1\" sql \"$(printf 'SELECT 1 -- \\303(')\" --lang it"),
                 QStringLiteral(FORMULE_TOOL), connection});
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 2);
    EXPECT_EQ(QString::fromUtf8(shell.readAllStandardError()),
              QStringLiteral("formule: l'argomento 4 non è UTF-8 valido alla posizione di byte 12\n"));
}

TEST_F(FormuleTool, TextInAnyScriptPasses) {
    initDemo();
    const QString text = QString::fromUtf8("Ελληνικά 日本語 한국어 עברית 😀");
    const QByteArray statement = "SELECT N'" + text.toUtf8() + "' AS T";
    const QString expected = QStringLiteral("T\n") + text + u'\n';
    for (const QByteArray& input : {statement, "\xEF\xBB\xBF" + statement, statement + "\n"}) {
        const ToolRun r = withDb({QStringLiteral("sql"), QStringLiteral("-")}, input);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, expected);
    }
    const ToolRun argument = withDb({QStringLiteral("sql"), QString::fromUtf8(statement)});
    EXPECT_EQ(argument.exitCode, 0) << argument.err.toStdString();
    EXPECT_EQ(argument.out, expected);
}

namespace {

// lint: one line per diagnostic, exit 1 with an error; it never runs the formula.
TEST_F(FormuleTool, LintPrintsLineColumnAndMessageWithoutRunningTheFormula) {
    initDemo();
    ToolRun r = withDb({QStringLiteral("--lang"), QStringLiteral("it"), QStringLiteral("lint"),
                        QStringLiteral("SET [Prezzo lordo] = 10 / 0")});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    r = withDb({QStringLiteral("--lang"), QStringLiteral("it"), QStringLiteral("lint"), QStringLiteral("-")},
               "IF {C01 - Colore} = 'A'\r\n   SET [prezzo lordo] = 1 + {C77 - Nessuna}\r\n");
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines[0],
              QStringLiteral("2:8: error: Etichetta sconosciuta [prezzo lordo]. Forse: [Prezzo lordo]"));
    EXPECT_TRUE(lines[1].startsWith(
        QStringLiteral("2:29: error: Categoria inesistente per la ditta: {C77 - Nessuna}.")))
        << lines[1].toStdString();

    r = withDb({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("lint"),
                QStringLiteral("SET [Gross price] = 1\nSET [Gross price] = = 2")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("2:21: error: Syntax error (Msg 102: ")))
        << r.out.toStdString();
}

// formule check places the server's message in the formula as written (its display form), as lint
// does, and says on a line of its own when the formula as saved passes as production runs it;
// the exit code stays the check's.
TEST_F(FormuleTool, CheckPlacesItsMessageInTheDisplayFormAndJudgesTheStoredForm) {
    initDemo();
    const QString asStoredIt = QStringLiteral("Il controllo sostituisce categorie e varianti con segnaposto "
                                              "(numerici per le categorie); la formula "
                                              "come viene salvata è corretta.\n");
    const QString asStoredEn = QStringLiteral(
        "The check replaces categories and variants with placeholders (numeric for categories); the formula "
        "as it is saved is correct.\n");
    const QString numeric =
        QStringLiteral("Msg 8114, Level 16, State 1, Line %1: Error converting data type varchar to numeric. "
                       "(column 1)\n");
    const struct {
        const char* lang;
        const char* formula;
        int exitCode;
        QString out;
    } cases[] = {
        {"it", "IF {C01 - Colore} = 'ROSSO' SET [Sconto 4%] = 10", 1,
         "La formula non risulta essere corretta.\n" + numeric.arg(1) + asStoredIt},
        {"en", "SET [Gross price] = 1\nIF {C01 - Colore} = 'ROSSO' SET @OUTSC4PERC = 10", 1,
         "The formula does not appear to be correct.\n" + numeric.arg(2) + asStoredEn},
        // Wrong as saved too: a number of the category compared with a text; no line about it.
        {"it", "IF {C02 - Altezza massima} = 'ALTO' SET [Sconto 4%] = 10", 1,
         "La formula non risulta essere corretta.\n" + numeric.arg(1)},
        // Column 46 of the formula as written (column 31 of its SQL form, @ATTPREZZO + @NOPE).
        {"it", "SET [Prezzo lordo] = 1\nSET [Prezzo lordo] = [Prezzo lordo - CURR] + @NOPE", 1,
         "La formula non risulta essere corretta.\nMsg 137, Level 15, State 1, Line 2: Must declare the "
         "scalar "
         "variable \"@NOPE\". (column 46)\n"},
        {"it", "IF {C01 - Colore} = {C04 - Linea prodotto} SET [Sconto 4%] = 10", 0,
         "La formula è corretta.\n"},
    };
    for (const auto& c : cases) {
        const ToolRun r = withDb({QStringLiteral("--lang"), QString::fromLatin1(c.lang),
                                  QStringLiteral("check"), QString::fromUtf8(c.formula)});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.formula;
        EXPECT_EQ(r.out, c.out) << c.formula;
    }
}

} // namespace
