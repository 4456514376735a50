// The formule tool's input, as a user or a script gives it: arguments it does not take, standard
// input that cannot be read or never ends, a database without the tables, on a read-only file
// system, formulas over the translation's text limit.

#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

class ToolInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("db")));
        db = home.filePath(QStringLiteral("db/test.sqlite"));
        connection = ado::setup::embeddedConnectionString(db);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        // The tool's texts in Italian: the locale of the machine running the tests aside.
        env.insert(QStringLiteral("KEEP_LOCALE"), QStringLiteral("1"));
        env.remove(QStringLiteral("LC_ALL"));
        env.remove(QStringLiteral("LC_MESSAGES"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("it_IT.UTF-8"));
        return env;
    }

    ToolRun withDb(QStringList args, const QByteArray& input = {}) const {
        args.prepend(connection);
        args.prepend(QStringLiteral("--db"));
        return testtool::runTool(args, input, 120000, environment());
    }

    // The tool run by /bin/sh: `shell` is the command line after "formule --db CONNSTR", with
    // the redirections it needs; "$F" is the tool, "$D" the connection string, "$H" the home.
    ToolRun inShell(const QString& shell) const {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("F=\"$0\"; D=\"$1\"; H=\"$2\"; export F D H; ") + shell,
                 QStringLiteral(FORMULE_TOOL), connection, home.path()});
        ToolRun r;
        r.started = p.waitForStarted();
        p.closeWriteChannel();
        r.finished = p.waitForFinished(120000);
        if (!r.finished)
            p.kill();
        p.waitForFinished();
        if (r.finished && p.exitStatus() == QProcess::NormalExit)
            r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    void initDemo() const {
        const ToolRun r = withDb({QStringLiteral("init-db"), QStringLiteral("--demo")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    QString stored(int context, int id) const {
        const ToolRun r =
            withDb({QStringLiteral("sql"), QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4")
                                               .arg(context == 0 ? "LP01_FORMULE" : "LP07_FORMULE",
                                                    context == 0 ? "LP01_PROVIDER" : "LP07_QUOTAZIONI",
                                                    context == 0 ? "LP01_ID" : "LP07_ID")
                                               .arg(id)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r.out;
    }

    QTemporaryDir home;
    QString db;
    QString connection;
};

// A command line with the record options of context 0, record 1.
QStringList record(const char* command) {
    return {QString::fromLatin1(command), QStringLiteral("--context"), QStringLiteral("0"),
            QStringLiteral("--id"), QStringLiteral("1")};
}

} // namespace

TEST_F(ToolInput, SaveWritesNothingWhenItsInputCannotBeRead) {
    initDemo();
    const QString before = stored(0, 1);
    ASSERT_TRUE(before.contains(QStringLiteral("@ATTPREZZO + 50"))) << before.toStdString();
    const QString save = QStringLiteral("\"$F\" --db \"$D\" save --context 0 --id 1 ");
    struct Case {
        QString shell;
        QString err;
    };
    const QString noText = QStringLiteral("save: lo standard input non contiene alcun testo: nulla è stato "
                                          "scritto (clear elimina la formula; un "
                                          "testo vuoto si salva solo dato come argomento vuoto, '')\n");
    const Case cases[] = {
        {save + QStringLiteral("- < \"$H\""),
         QStringLiteral("formule: lo standard input non si può leggere: Is a directory\n")},
        {save + QStringLiteral("< \"$H\""),
         QStringLiteral("formule: lo standard input non si può leggere: Is a directory\n")},
        {save + QStringLiteral("- <&-"),
         QStringLiteral("formule: lo standard input è chiuso: dai il testo come argomento o con \"-\" da un "
                        "file\n")},
        {save + QStringLiteral("<&-"),
         QStringLiteral("formule: lo standard input è chiuso: dai il testo come argomento o con \"-\" da un "
                        "file\n")},
        {save + QStringLiteral("< /dev/null"), noText},
        {save + QStringLiteral("- < /dev/null"), noText},
        {QStringLiteral("printf ' \\r\\n\\t\\n' | ") + save + QStringLiteral("-"), noText},
        {QStringLiteral("\"$F\" --lang en --db \"$D\" save --context 0 --id 1 < /dev/null"),
         QStringLiteral(
             "save: standard input holds no text: nothing was written (clear removes the formula; an "
             "empty text is saved only when given as an empty argument, '')\n")},
    };
    for (const Case& c : cases) {
        const ToolRun r = inShell(c.shell);
        EXPECT_EQ(r.exitCode, 2) << c.shell.toStdString();
        EXPECT_EQ(r.err.toStdString(), c.err.toStdString()) << c.shell.toStdString();
        EXPECT_EQ(r.out, QString()) << c.shell.toStdString();
        EXPECT_EQ(stored(0, 1), before) << c.shell.toStdString();
    }

    // An empty text given as such is the window's save of an empty box: the formula is removed.
    const ToolRun empty = withDb(record("save") << QString());
    EXPECT_EQ(empty.exitCode, 0) << empty.err.toStdString();
    EXPECT_EQ(empty.out, QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 1\n"));
}

TEST_F(ToolInput, EveryCommandRefusesArgumentsItDoesNotTake) {
    initDemo();
    const QString before = stored(0, 1);
    struct Case {
        QStringList args;
        QString err;
    };
    const QString one = QStringLiteral("formule %1 accetta un solo argomento: \"%2\" è di troppo (un testo "
                                       "con spazi va tra virgolette; vedi "
                                       "formule %1 --help)\n");
    const QString none =
        QStringLiteral("formule %1 non accetta argomenti: \"%2\" è di troppo (vedi formule %1 --help)\n");
    const QString deleteAll = QStringLiteral("DELETE FROM LP01_PROVIDER");
    const Case cases[] = {
        {record("save") << QStringLiteral("SET [Prezzo lordo] = 7") << deleteAll,
         one.arg(QStringLiteral("save"), deleteAll)},
        {record("save") << QStringLiteral("-") << QStringLiteral("-"), one.arg(QStringLiteral("save"), "-")},
        {record("clear") << QStringLiteral("x"), none.arg(QStringLiteral("clear"), "x")},
        {record("show") << QStringLiteral("x"), none.arg(QStringLiteral("show"), "x")},
        {{QStringLiteral("check"), QStringLiteral("SET [Prezzo lordo] = 1"), QStringLiteral("x")},
         one.arg(QStringLiteral("check"), "x")},
        {{QStringLiteral("check-sql"), QStringLiteral("SELECT 1"), deleteAll},
         one.arg(QStringLiteral("check-sql"), deleteAll)},
        {{QStringLiteral("sql"), QStringLiteral("SELECT 1"), deleteAll},
         one.arg(QStringLiteral("sql"), deleteAll)},
        {{QStringLiteral("lint"), QStringLiteral("a"), QStringLiteral("b")},
         one.arg(QStringLiteral("lint"), "b")},
        {{QStringLiteral("eval"), QStringLiteral("a"), QStringLiteral("b")},
         one.arg(QStringLiteral("eval"), "b")},
        {{QStringLiteral("to-sql"), QStringLiteral("a"), QStringLiteral("b")},
         one.arg(QStringLiteral("to-sql"), "b")},
        {{QStringLiteral("to-display"), QStringLiteral("a"), QStringLiteral("b")},
         one.arg(QStringLiteral("to-display"), "b")},
        {{QStringLiteral("where-used"), QStringLiteral("[Prezzo lordo]"), QStringLiteral("b")},
         one.arg(QStringLiteral("where-used"), "b")},
        {{QStringLiteral("complete"), QStringLiteral("[Prez"), QStringLiteral("b")},
         one.arg(QStringLiteral("complete"), "b")},
        {{QStringLiteral("describe"), QStringLiteral("[Prezzo lordo]"), QStringLiteral("b")},
         one.arg(QStringLiteral("describe"), "b")},
        {{QStringLiteral("check-all"), QStringLiteral("x")}, none.arg(QStringLiteral("check-all"), "x")},
        {{QStringLiteral("tree"), QStringLiteral("x")}, none.arg(QStringLiteral("tree"), "x")},
        {{QStringLiteral("demo"), QStringLiteral("x")}, none.arg(QStringLiteral("demo"), "x")},
        {{QStringLiteral("declarations"), QStringLiteral("x")},
         none.arg(QStringLiteral("declarations"), "x")},
        {{QStringLiteral("init-db"), QStringLiteral("x")}, none.arg(QStringLiteral("init-db"), "x")},
        // A long argument is shown shortened.
        {{QStringLiteral("demo"), QString(60, u'a')},
         none.arg(QStringLiteral("demo"), QString(40, u'a') + u'…')},
    };
    for (const Case& c : cases) {
        const ToolRun r = withDb(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(u' ').toStdString();
        EXPECT_EQ(r.err.toStdString(), c.err.toStdString());
        EXPECT_EQ(r.out, QString()) << c.args.join(u' ').toStdString();
    }
    EXPECT_EQ(stored(0, 1), before);

    const ToolRun english = withDb({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("sql"),
                                    QStringLiteral("SELECT 1"), QStringLiteral("SELECT 2")});
    EXPECT_EQ(english.err,
              QStringLiteral("formule sql takes one argument: \"SELECT 2\" is one too many (quote a "
                             "text that has spaces; see formule sql --help)\n"));
}

TEST_F(ToolInput, StandardInputIsReadUpToItsBoundAndItsFirstFlaw) {
    initDemo();
    const QString limit = QStringLiteral(
        "formule: lo standard input supera il limite di 16777216 byte (16 MB): non è stato letto oltre\n");
    const QString nul =
        QStringLiteral("formule: lo standard input contiene un byte NUL alla posizione di byte %1\n");
    const QString invalid =
        QStringLiteral("formule: lo standard input non è UTF-8 valido alla posizione di byte %1\n");
    struct Case {
        QString shell;
        int exitCode;
        QString err;
    };
    // An address space of 1 GB: input kept whole would not fit (a NUL stream of 60 s is 12 GB).
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space for its shadow: no limit there, the
    // Release build holds the reader to the bound.
    const QString bounded;
#else
    const QString bounded = QStringLiteral("ulimit -v 1048576; ");
#endif
    const Case cases[] = {
        {bounded + QStringLiteral("\"$F\" --db \"$D\" check-sql - < /dev/zero"), 2, nul.arg(0)},
        {bounded + QStringLiteral("\"$F\" --db \"$D\" check < /dev/zero"), 2, nul.arg(0)},
        {bounded + QStringLiteral("\"$F\" --db \"$D\" lint < /dev/zero"), 2, nul.arg(0)},
        {bounded + QStringLiteral("yes 'SELECT 1' | \"$F\" --db \"$D\" sql -"), 2, limit},
        {bounded + QStringLiteral("yes | \"$F\" --db \"$D\" save --context 0 --id 1"), 2, limit},
        {bounded + QStringLiteral("yes | \"$F\" --db \"$D\" to-display"), 2, limit},
        // Exactly at the bound: read whole (the statement is one comment).
        {QStringLiteral("{ printf -- '--'; head -c 16777214 /dev/zero | tr '\\0' x; } | \"$F\" --db \"$D\" "
                        "check-sql -"),
         0, QString()},
        {QStringLiteral("{ printf -- '--'; head -c 16777215 /dev/zero | tr '\\0' x; } | \"$F\" --db \"$D\" "
                        "check-sql -"),
         2, limit},
        // A flaw after the first block, and a character that crosses from one block to the next.
        {QStringLiteral(
             "{ head -c 100000 /dev/zero | tr '\\0' ' '; printf 'SELECT \\377'; } | \"$F\" --db \"$D\" "
             "sql -"),
         2, invalid.arg(100007)},
        {QStringLiteral(
             "{ printf -- '--'; head -c 65533 /dev/zero | tr '\\0' ' '; printf '\\303\\251\\nSELECT 1 "
             "AS A'; } | \"$F\" --db \"$D\" sql -"),
         0, QString()},
        {QStringLiteral("{ printf -- '--'; head -c 65534 /dev/zero | tr '\\0' ' '; printf '\\342\\202'; } | "
                        "\"$F\" --db \"$D\" sql -"),
         2, invalid.arg(65536)},
    };
    for (const Case& c : cases) {
        const ToolRun r = inShell(c.shell);
        EXPECT_TRUE(r.finished) << c.shell.toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << c.shell.toStdString() << "\n" << r.err.left(300).toStdString();
        if (!c.err.isEmpty()) {
            EXPECT_EQ(r.err.toStdString(), c.err.toStdString()) << c.shell.toStdString();
        }
    }
    EXPECT_TRUE(stored(0, 1).contains(QStringLiteral("@ATTPREZZO + 50")));
}

TEST_F(ToolInput, ADatabaseWithoutTheTablesAsksForInitDb) {
    {
        QFile empty(db);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly)); // an empty file is an empty SQLite database
    }
    const QString message = QStringLiteral(
        "formule: %1: il database non contiene le tabelle delle formule (manca LP01_PROVIDER): esegui prima "
        "formule init-db\n");
    const QList<QStringList> commands = {
        record("show"),
        record("save") << QStringLiteral("SET [Prezzo lordo] = 1"),
        record("clear"),
        {QStringLiteral("check"), QStringLiteral("SET [Prezzo lordo] = 1")},
        {QStringLiteral("check-all")},
        {QStringLiteral("where-used"), QStringLiteral("[Prezzo lordo]")},
        {QStringLiteral("tree")},
        {QStringLiteral("demo")},
        {QStringLiteral("lint"), QStringLiteral("SET [Prezzo lordo] = 1")},
    };
    for (const QStringList& args : commands) {
        const ToolRun r = withDb(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_EQ(r.err.toStdString(), message.arg(args.first()).toStdString());
    }
    const ToolRun english = withDb({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("tree")});
    EXPECT_EQ(english.err, QStringLiteral("formule: tree: the database does not hold the formula tables "
                                          "(LP01_PROVIDER is missing): run formule init-db first\n"));
    // The commands that take the database as it is still run.
    const ToolRun sql = withDb({QStringLiteral("sql"), QStringLiteral("SELECT 1 AS A")});
    EXPECT_EQ(sql.exitCode, 0) << sql.err.toStdString();
    EXPECT_EQ(sql.out, QStringLiteral("A\n1\n"));
}

TEST_F(ToolInput, AFormulaOverTheTextLimitIsToldByItsLength) {
    initDemo();
    const QString before = stored(0, 1);
    QString formula;
    for (int i = 0; i < 2000; ++i)
        formula += QStringLiteral("SET [Prezzo lordo] = 1\r\n"); // 24 characters
    ASSERT_EQ(formula.size(), 48000);
    const QString reason = QStringLiteral(
        "La formula conta 48000 caratteri: la traduzione tra la forma visualizzata e la forma SQL tratta "
        "testi di "
        "al massimo 32767 caratteri per passo, e questa formula li supera. Accorcia la formula.");
    const ToolRun check = withDb({QStringLiteral("check"), formula});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.out,
              QStringLiteral("La formula non risulta essere corretta.\nLa formula non si lascia tradurre "
                             "nella sua forma SQL. La formula conta 48000 caratteri e la sua traduzione "
                             "supera il limite di 32767 caratteri per passo: va accorciata.\n"));
    EXPECT_EQ(check.err.toStdString(), (QStringLiteral("decodeToken: ") + reason + u'\n').toStdString());

    const ToolRun save = withDb(record("save") << QStringLiteral("--yes") << formula);
    EXPECT_EQ(save.exitCode, 1);
    EXPECT_TRUE(save.err.startsWith(QStringLiteral("decodeToken: ") + reason + u'\n'))
        << save.err.toStdString();
    EXPECT_EQ(stored(0, 1), before);

    const ToolRun lint = withDb({QStringLiteral("lint"), formula});
    EXPECT_EQ(lint.exitCode, 1);
    EXPECT_EQ(lint.out.toStdString(), (QStringLiteral("1:1: error: ") + reason + u'\n').toStdString());

    const ToolRun english =
        withDb({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("lint"), formula});
    EXPECT_EQ(english.out,
              QStringLiteral("1:1: error: The formula has 48000 characters: the translation between "
                             "display form and SQL form handles texts of at most 32767 characters "
                             "in each pass, and this formula goes beyond them. Shorten the "
                             "formula.\n"));
    // The limit holds for the text of each pass of the translation, where the labels are already
    // variables ("[Prezzo lordo]" 14 characters, "@OUTPREZZO" 10): a longer formula may pass.
    formula.truncate(1400 * 24);
    const ToolRun atLimit = withDb({QStringLiteral("check"), formula});
    EXPECT_EQ(atLimit.exitCode, 0) << atLimit.out.toStdString() << atLimit.err.toStdString();
}

namespace {

// Whether the test may mount file systems of its own: a user and mount namespace (unshare -rm).
bool mountsAvailable() {
    QProcess p;
    p.start(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

TEST_F(ToolInput, CommandsThatOnlyReadRunOnAReadOnlyFileSystem) {
    if (!mountsAvailable())
        GTEST_SKIP() << "no user and mount namespace (unshare -rm) to make a read-only file system";
    initDemo();
    // The folder of the database mounted read-only: SQLite can make no file beside it.
    const QString readOnly = QStringLiteral(
        "unshare -rm sh -c 'mount --bind \"$H/db\" \"$H/db\" && mount -o remount,ro,bind \"$H/db\" && exec "
        "\"$F\" --db \"$D\" %1'");
    const QStringList commands = {
        QStringLiteral("show --context 0 --id 1"),
        QStringLiteral("where-used \"[Prezzo lordo]\""),
        QStringLiteral("tree --context 1"),
        QStringLiteral("check-all"),
        QStringLiteral("demo"),
        QStringLiteral("lint \"SET [prezzo lordo] = 1\""),
        QStringLiteral("check \"SET [Prezzo lordo] = 1\""),
    };
    for (const QString& command : commands) {
        const ToolRun writable = inShell(QStringLiteral("exec \"$F\" --db \"$D\" ") + command);
        ASSERT_FALSE(writable.out.isEmpty()) << command.toStdString() << writable.err.toStdString();
        const ToolRun r = inShell(readOnly.arg(command));
        EXPECT_EQ(r.exitCode, writable.exitCode) << command.toStdString() << "\n" << r.err.toStdString();
        if (command == QLatin1String("check-all")) // the counts line ends with the time taken
            EXPECT_EQ(r.out, writable.out);
        else
            EXPECT_EQ(r.out + r.err, writable.out + writable.err) << command.toStdString();
    }
    // A command that writes says why it cannot.
    const QString before = stored(0, 1);
    const ToolRun save =
        inShell(readOnly.arg(QStringLiteral("save --context 0 --id 1 \"SET [Prezzo lordo] = 1\"")));
    EXPECT_EQ(save.exitCode, 1);
    EXPECT_EQ(save.err,
              QStringLiteral("UpdateFormula: errore -2147217900: Failed to update the database because the "
                             "database is read-only.\n"));
    EXPECT_EQ(stored(0, 1), before);
    // Mode=Read in the connection string: read-only on any file system.
    const ToolRun modeRead =
        testtool::runTool({QStringLiteral("--db"), connection + QStringLiteral(";Mode=Read"),
                           QStringLiteral("sql"), QStringLiteral("DELETE FROM LP01_PROVIDER")},
                          {}, 120000, environment());
    EXPECT_EQ(modeRead.exitCode, 1);
    EXPECT_TRUE(modeRead.err.contains(QStringLiteral("Msg 3906,"))) << modeRead.err.toStdString();
    EXPECT_EQ(stored(0, 1), before);
}

TEST_F(ToolInput, AFullDiskIsNamedAsTheCause) {
    if (!mountsAvailable())
        GTEST_SKIP() << "no user and mount namespace (unshare -rm) to make a small file system";
    initDemo();
    // The database on a file system of 400 KB, filled by a check that inserts 16 MB.
    const QString full = QStringLiteral(
        "unshare -rm sh -c 'mount -t tmpfs -o size=400k tmpfs \"$H/data\" && cp \"$H/db/test.sqlite\" "
        "\"$H/data/\" && exec \"$F\" --db \"Provider=Embedded;Data Source=$H/data/test.sqlite\" %1'");
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("data")));
    const QByteArray fill = "DECLARE @i INT = 0 WHILE @i < 200000 BEGIN INSERT INTO LP01_PROVIDER (LP01_ID, "
                            "LP01_DESCRIZIONE) VALUES (1000 + @i, REPLICATE('x', 80)) SET @i += 1 END";
    const QString cause =
        QStringLiteral("Could not allocate space for the database: the disk that holds it or its "
                       "temporary files is full.");
    for (const QString& command : {QStringLiteral("check-sql"), QStringLiteral("check")}) {
        QFile text(home.filePath(QStringLiteral("fill.txt")));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly | QIODevice::Truncate));
        text.write(command == QLatin1String("check") ? fill + " SET [Prezzo lordo] = 1" : fill);
        text.close();
        const ToolRun r = inShell(full.arg(command + QStringLiteral(" - < \"$H/fill.txt\"")));
        EXPECT_EQ(r.exitCode, 1) << command.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(cause)) << r.out.toStdString() << r.err.toStdString();
    }
}
