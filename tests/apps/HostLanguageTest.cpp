// formule-host in one language a run: its help, its refusals, --version and what its off-screen
// runs print (pictures, timings, the trial panel's and the impact preview's message, the message
// boxes a run answers by itself), in Italian and in English, with no word of the other language;
// the language from --lang or from the locale, as the tool chooses it.

#include "../common/LanguageWords.h"
#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

class HostLanguage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        db = ado::setup::embeddedConnectionString(home.filePath(QStringLiteral("demo.sqlite")));
        ado::setup::initialize(db, true);
    }

    // The host without a display (as the tests run), the user's settings in the test's folder and
    // the locale's variables of `locale` only.
    ToolRun run(const QStringList& args, const QMap<QString, QString>& locale) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        for (auto it = locale.begin(); it != locale.end(); ++it)
            env.insert(it.key(), it.value());
        env.insert(QStringLiteral("KEEP_LOCALE"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        const ToolRun r = testtool::runTool(args, {}, 120000, env);
        EXPECT_TRUE(r.finished) << args.join(u' ').toStdString();
        return r;
    }

    // A run in `language`, given by --lang and by the locale alike.
    ToolRun runIn(const QString& language, const QStringList& args) const {
        const QString lang =
            language == QLatin1String("it") ? QStringLiteral("it_IT.UTF-8") : QStringLiteral("en_US.UTF-8");
        return run(QStringList{QStringLiteral("--lang"), language, QStringLiteral("--db"), db} + args,
                   {{QStringLiteral("LANG"), lang}});
    }

    QString file(const QString& name) const { return home.filePath(name); }

    QTemporaryDir home;
    QString db;
};

} // namespace

// Every refusal, the help and each kind of off-screen run, in both languages: nothing of the other
// language in what the host prints.
TEST_F(HostLanguage, EveryOutputSpeaksOneLanguage) {
    const QStringList record{QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
                             QStringLiteral("1")};
    const QList<QStringList> runs{
        {QStringLiteral("--help")},
        {QStringLiteral("--version")},
        {QStringLiteral("--no-such-option")},
        {QStringLiteral("--company")},
        {QStringLiteral("--company"), QStringLiteral("uno")},
        {QStringLiteral("--variants"), QStringLiteral("forse")},
        {QStringLiteral("--lang=de")}, // the last --lang counts: refused, told in the locale's language
        {QStringLiteral("--screenshot"), file(QStringLiteral("x.png"))},
        {QStringLiteral("--context"), QStringLiteral("zero"), QStringLiteral("--id"), QStringLiteral("1"),
         QStringLiteral("--screenshot"), file(QStringLiteral("x.png"))},
        QStringList{QStringLiteral("--modal"), QStringLiteral("--host-screenshot"),
                    file(QStringLiteral("x.png"))} +
            record,
        {}, // no display and no picture asked for
        QStringList{QStringLiteral("--screenshot"), file(QStringLiteral("none/x.png"))} + record,
        QStringList{QStringLiteral("--timings"), QStringLiteral("--expand-tree"),
                    QStringLiteral("--screenshot"), file(QStringLiteral("timings.png"))} +
            record,
        QStringList{QStringLiteral("--check"), QStringLiteral("--formula"),
                    QStringLiteral("SET @OUTPREZZO = ("), QStringLiteral("--screenshot"),
                    file(QStringLiteral("check.png"))} +
            record,
        QStringList{QStringLiteral("--trial-value"), QStringLiteral("@ATTPREZZO=21"),
                    QStringLiteral("--trial-value"), QStringLiteral("V:V99=X"),
                    QStringLiteral("--trial-screenshot"), file(QStringLiteral("trial.png"))} +
            record,
        QStringList{QStringLiteral("--impact-screenshot"), file(QStringLiteral("impact.png"))} + record,
        QStringList{QStringLiteral("--draft-screenshot"), file(QStringLiteral("draft.png"))} + record,
        {QStringLiteral("--verify-screenshot"), file(QStringLiteral("verify.png"))},
    };
    for (const char* language : {"it", "en"}) {
        const QString lang = QString::fromLatin1(language);
        for (const QStringList& args : runs) {
            const ToolRun r = runIn(lang, args);
            // Qt's offscreen platform says what it cannot do (raise a window...): a developer's note,
            // not the host's.
            static const QRegularExpression platformNotes(
                QStringLiteral("^This plugin does not support .*\n"), QRegularExpression::MultilineOption);
            const QString said = QString(r.out + r.err).remove(platformNotes);
            EXPECT_FALSE(said.isEmpty()) << args.join(u' ').toStdString();
            EXPECT_EQ(testtool::otherLanguageWords(said, lang), QStringList())
                << lang.toStdString() << ": " << args.join(u' ').toStdString() << "\n"
                << said.toStdString();
        }
    }
}

// What a run prints in each language, word for word where the host writes it: the refusals, the
// trial panel's and the impact preview's lines, and the timings in the form bench/startup.sh reads.
TEST_F(HostLanguage, TheHostsOwnLinesInEachLanguage) {
    const QStringList record{QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
                             QStringLiteral("1")};
    struct Case {
        QStringList args;
        QString italian; // a pattern of a whole line of the output
        QString english;
    };
    const Case cases[] = {
        {{QStringLiteral("--lang=de")},
         QStringLiteral("formule-host: --lang deve essere it o en, non \"de\""),
         QStringLiteral("formule-host: --lang must be it or en, not \"de\"")},
        {{QStringLiteral("--no-such-option")},
         QStringLiteral("formule-host: Opzione sconosciuta 'no-such-option'\\."),
         QStringLiteral("formule-host: Unknown option 'no-such-option'\\.")},
        {{QStringLiteral("--help")},
         QStringLiteral("  --db <connessione>  +Stringa di connessione ADO .*"),
         QStringLiteral("  --db <connection>  +ADO connection string .*")},
        {QStringList{QStringLiteral("--trial-value"), QStringLiteral("@ATTPREZZO=21"),
                     QStringLiteral("--trial-screenshot"), file(QStringLiteral("trial.png"))} +
             record,
         QStringLiteral("formule-host: prova: Eseguita.*"), QStringLiteral("formule-host: trial: Done.*")},
        {QStringList{QStringLiteral("--timings"), QStringLiteral("--expand-tree"),
                     QStringLiteral("--screenshot"), file(QStringLiteral("timings.png"))} +
             record,
         QStringLiteral("primo disegno [0-9.]+ ms, residente [0-9.]+ MB, picco [0-9.]+ MB"),
         QStringLiteral("first paint [0-9.]+ ms, resident [0-9.]+ MB, peak [0-9.]+ MB")},
        {QStringList{QStringLiteral("--timings"), QStringLiteral("--expand-tree"),
                     QStringLiteral("--screenshot"), file(QStringLiteral("timings.png"))} +
             record,
         QStringLiteral("espansione completa [0-9.]+ ms, residente [0-9.]+ MB, picco [0-9.]+ MB"),
         QStringLiteral("expand-all [0-9.]+ ms, resident [0-9.]+ MB, peak [0-9.]+ MB")},
    };
    for (const Case& c : cases) {
        for (const char* language : {"it", "en"}) {
            const QString lang = QString::fromLatin1(language);
            const ToolRun r = runIn(lang, c.args);
            const QRegularExpression line(
                QStringLiteral("^%1$").arg(lang == QLatin1String("it") ? c.italian : c.english),
                QRegularExpression::MultilineOption);
            EXPECT_TRUE(line.match(r.out + r.err).hasMatch())
                << lang.toStdString() << ": " << c.args.join(u' ').toStdString() << "\n"
                << (r.out + r.err).toStdString();
        }
    }
}

// The language comes from --lang, otherwise from the locale's messages (LC_ALL, LC_MESSAGES,
// LANG, the first one set): it* is Italian, anything else English.
TEST_F(HostLanguage, TheLocaleChoosesUnlessLangIsGiven) {
    const QString italian = QStringLiteral("formule-host: --company vuole un numero\n");
    const QString english = QStringLiteral("formule-host: --company needs a number\n");
    for (const testtool::LanguageChoice& c : testtool::languageChoices()) {
        const QString& expected = c.italian ? italian : english;
        const ToolRun r = run(c.args + QStringList{QStringLiteral("--db"), db, QStringLiteral("--company"),
                                                   QStringLiteral("x")},
                              c.locale);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.endsWith(expected)) << c.locale.values().join(u',').toStdString() << "\n"
                                              << r.err.toStdString();
    }
}
