// formule in one language a run: every command, its help and a run of it, in Italian and in
// English, with no word of the other language in what it prints; the language from --lang or
// from the locale; the manual page and the bash completion in step with the tool's options.

#include "../common/LanguageWords.h"
#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

using testtool::EnglishWords;
using testtool::ItalianWords;
using testtool::wordsFound;

class ToolLanguage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    ToolRun run(const QStringList& args, const QMap<QString, QString>& locale = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.remove(QStringLiteral("FORMULE_DB"));
        env.remove(QStringLiteral("FORMULE_DB_FILE"));
        if (!locale.isEmpty()) {
            for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
                env.remove(QString::fromLatin1(name));
            for (auto it = locale.begin(); it != locale.end(); ++it)
                env.insert(it.key(), it.value());
            env.insert(QStringLiteral("KEEP_LOCALE"), QStringLiteral("1"));
        }
        const ToolRun r = testtool::runTool(args, {}, 120000, env);
        EXPECT_TRUE(r.finished);
        return r;
    }

    // The tool's commands, as its completion script lists them.
    QStringList commandNames() const {
        const ToolRun r = run({QStringLiteral("help"), QStringLiteral("--completion")});
        static const QRegularExpression list(QStringLiteral("local commands=\"([^\"]*)\""));
        return list.match(r.out).captured(1).split(u' ', Qt::SkipEmptyParts);
    }

    // The options a command's help lists ("--name" words at the start of a line).
    QStringList helpOptions(const QString& command) const {
        const ToolRun r =
            run({QStringLiteral("--lang"), QStringLiteral("en"), command, QStringLiteral("--help")});
        static const QRegularExpression option(QStringLiteral("^  (?:-\\w, )?(--[\\w-]+)"),
                                               QRegularExpression::MultilineOption);
        QStringList names;
        for (auto it = option.globalMatch(r.out); it.hasNext();)
            names << it.next().captured(1);
        return names;
    }

    QTemporaryDir home;
};

} // namespace

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Every command's help and a run of each, in both languages: nothing of the other language.
TEST_F(ToolLanguage, EveryCommandSpeaksOneLanguage) {
    const QStringList names = commandNames();
    ASSERT_GE(names.size(), 25);
    // One run of each command that reaches its own texts; the database is made in each language.
    const QList<QStringList> runs{
        {QStringLiteral("init-db"), QStringLiteral("--demo")},
        {QStringLiteral("demo")},
        {QStringLiteral("sql"), QStringLiteral("SELECT 1 AS n")},
        {QStringLiteral("sql")},
        {QStringLiteral("eval"), QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=100"),
         QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 1")},
        {QStringLiteral("eval"), QStringLiteral("--set"), QStringLiteral("nessuno=1"),
         QStringLiteral("SET @OUTPREZZO = 1")},
        {QStringLiteral("check"), QStringLiteral("SET @OUTPREZZO = 1")},
        {QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("7"), QStringLiteral("--id"),
         QStringLiteral("1")},
        {QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0")},
        {QStringLiteral("describe"), QStringLiteral("[nessuno]")},
        {QStringLiteral("history"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("1")},
        {QStringLiteral("check-all")},
        {QStringLiteral("check-all"), QStringLiteral("--jobs"), QStringLiteral("0")},
        {QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("99999")},
        {QStringLiteral("save"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("99999"), QStringLiteral("SET @OUTPREZZO = 1")},
        {QStringLiteral("where-used")},
        {QStringLiteral("where-used"), QStringLiteral("{ZZZ}")},
        {QStringLiteral("complete")},
        {QStringLiteral("eval"), QStringLiteral("--trace"), QStringLiteral("--explain"),
         QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = 1 / 0")},
        {QStringLiteral("case"), QStringLiteral("add")},
        {QStringLiteral("impact"), QStringLiteral("--context"), QStringLiteral("0")},
        {QStringLiteral("test"), QStringLiteral("--format"), QStringLiteral("xml")},
        // serve's refusals, each before it listens.
        {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("x")},
        {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0")},
        {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")},
        {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
         QStringLiteral("--user"), QStringLiteral("u"), QStringLiteral("--password"), QStringLiteral("x"),
         QStringLiteral("--password-file"), QStringLiteral("/nonexistent")},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("init-db"), QStringLiteral("extra")},
        {QStringLiteral("--company"), QStringLiteral("x"), QStringLiteral("demo")},
        {},
    };
    for (const char* language : {"it", "en"}) {
        const QString lang = QString::fromLatin1(language);
        const QStringList& other = lang == QLatin1String("it") ? EnglishWords : ItalianWords;
        const QString db =
            ado::setup::embeddedConnectionString(home.filePath(lang + QStringLiteral(".sqlite")));
        QList<QStringList> all;
        for (const QString& name : names)
            all << QStringList{name, QStringLiteral("--help")};
        all << QStringList{QStringLiteral("--help")} << runs;
        for (const QStringList& args : all) {
            const ToolRun r =
                run(QStringList{QStringLiteral("--lang"), lang, QStringLiteral("--db"), db} + args);
            const QString said = r.out + r.err;
            EXPECT_FALSE(said.isEmpty()) << args.join(u' ').toStdString();
            EXPECT_EQ(wordsFound(said, other), QStringList())
                << lang.toStdString() << ": " << args.join(u' ').toStdString() << "\n"
                << said.toStdString();
        }
    }
}

// The language comes from --lang, otherwise from the locale's messages (LC_ALL, LC_MESSAGES,
// LANG, the first one set): it* is Italian, anything else English.
TEST_F(ToolLanguage, TheLocaleChoosesUnlessLangIsGiven) {
    const QString italian = QStringLiteral("formule: nessun comando indicato (vedi formule --help)\n");
    const QString english = QStringLiteral("formule: no command given (see formule --help)\n");
    for (const testtool::LanguageChoice& c : testtool::languageChoices()) {
        const QString& expected = c.italian ? italian : english;
        const ToolRun r = run(c.args, c.locale);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, expected) << c.locale.values().join(u',').toStdString();
    }
}

// Each command's help lists its own options and an example, not the other commands.
TEST_F(ToolLanguage, CommandHelpShowsItsOwnOptionsAndAnExample) {
    const ToolRun r = run(
        {QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("eval"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Usage:\n  formule eval [--set NAME=VALUE]")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nExample:\n  formule eval "))) << r.out.toStdString();
    for (const char* other : {"check-all", "where-used", "init-db"})
        EXPECT_FALSE(r.out.contains(QLatin1String(other))) << other;
}

// The manual page the build made is what the tool prints now, and names every command and
// every option of every command.
TEST_F(ToolLanguage, TheManualPageIsInStepWithTheTool) {
    QFile file(QStringLiteral(FORMULE_MANPAGE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    const ToolRun r = run(
        {QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("help"), QStringLiteral("--man")});
    EXPECT_EQ(page, r.out);
    EXPECT_TRUE(page.startsWith(QStringLiteral(".TH FORMULE 1\n")));
    for (const QString& name : commandNames()) {
        EXPECT_TRUE(page.contains(QStringLiteral(".SS ") + name + u'\n')) << name.toStdString();
        for (QString option : helpOptions(name))
            EXPECT_TRUE(page.contains(option.replace(u'-', QStringLiteral("\\-")))) << option.toStdString();
    }
}

// The completion script kept in data/completion is the one the tool makes, and bash completes
// every command and, after each, exactly the options its help lists.
TEST_F(ToolLanguage, TheBashCompletionKnowsEveryCommandAndOption) {
    QFile file(QStringLiteral(FORMULE_COMPLETION));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(file.readAll());
    EXPECT_EQ(script, run({QStringLiteral("help"), QStringLiteral("--completion")}).out)
        << "data/completion/formule.bash is behind the tool: formule help --completion > "
           "data/completion/formule.bash";
    const auto complete = [&](const QStringList& words) {
        QProcess bash;
        const QString line = QStringLiteral("source '%1'; COMP_WORDS=(%2); COMP_CWORD=%3; _formule; "
                                            "printf '%s\\n' \"${COMPREPLY[@]}\"")
                                 .arg(QStringLiteral(FORMULE_COMPLETION), words.join(u' '))
                                 .arg(words.size() - 1);
        bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), line});
        bash.waitForFinished(30000);
        QStringList reply = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        reply.sort();
        return reply;
    };
    const QStringList names = commandNames();
    QStringList commandsOffered = complete({QStringLiteral("formule"), QStringLiteral("''")});
    for (const QString& name : names)
        EXPECT_TRUE(commandsOffered.contains(name)) << name.toStdString();
    for (const QString& name : names) {
        QStringList expected = helpOptions(name);
        expected.sort();
        expected.removeDuplicates();
        QStringList offered = complete({QStringLiteral("formule"), name, QStringLiteral("--")});
        offered.removeDuplicates();
        EXPECT_EQ(offered, expected) << name.toStdString();
    }
}
