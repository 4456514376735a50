// The demo host renders the editor window off screen and exits.
#include "TestApp.h"

#include "ado/Setup.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// `configDir`: the user's configuration folder of the run (the host keeps the user's settings there).
HostRun runHost(const QStringList& arguments, const QString& configDir = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The host in Italian, whatever the machine's locale: the texts looked for here are Italian.
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("it_IT.UTF-8"));
    if (!configDir.isEmpty())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FORMULE_HOST_PROGRAM), arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

class DemoHost : public ::testing::Test {
protected:
    void SetUp() override {
        testApp<QApplication>();
        ASSERT_TRUE(dir.isValid());
        db = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
        ado::setup::initialize(db, true);
    }
    QTemporaryDir dir;
    QString db;
};

TEST_F(DemoHost, ScreenshotOfTheEditorModelessAndModal) {
    for (const bool modal : {false, true}) {
        const QString file =
            dir.filePath(modal ? QStringLiteral("modal.png") : QStringLiteral("modeless.png"));
        QStringList args = {QStringLiteral("--db"),         db,
                            QStringLiteral("--context"),    QStringLiteral("0"),
                            QStringLiteral("--id"),         QStringLiteral("1"),
                            QStringLiteral("--screenshot"), file};
        if (modal)
            args << QStringLiteral("--modal");
        const HostRun r = runHost(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed(), file);
        const QImage image(file);
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(image.width(), 400);
        EXPECT_GT(image.height(), 300);
    }
}

// The trial panel after a run, beside the editor: the values typed, "Prova" pressed, the
// panel's message on standard error. A second run finds the panel open from the user's settings.
TEST_F(DemoHost, TrialScreenshotShowsThePanelAfterARun) {
    const QString file = dir.filePath(QStringLiteral("trial.png"));
    const QStringList args = {
        QStringLiteral("--db"),
        db,
        QStringLiteral("--context"),
        QStringLiteral("0"),
        QStringLiteral("--id"),
        QStringLiteral("1"),
        QStringLiteral("--formula"),
        QStringLiteral("IF {C01 - Colore} = 'ROSSO'\n  SET [Prezzo lordo] = [Prezzo lordo - CURR] * 2"),
        QStringLiteral("--trial-value"),
        QStringLiteral("@ATTPREZZO=21"),
        QStringLiteral("--trial-value"),
        QStringLiteral("C:123=ROSSO"),
        QStringLiteral("--trial-screenshot"),
        file};
    for (int run = 0; run < 2; ++run) {
        const HostRun r = runHost(args, dir.filePath(QStringLiteral("config")));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed(), file);
        EXPECT_TRUE(r.err.contains(QStringLiteral("formule-host: prova: Eseguita"))) << r.err.toStdString();
        const QImage image(file);
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(image.width(), 1000); // the editor and the panel beside it
    }
    const HostRun unknown =
        runHost(QStringList(args) << QStringLiteral("--trial-value") << QStringLiteral("V:V99=X"),
                dir.filePath(QStringLiteral("config")));
    EXPECT_TRUE(
        unknown.err.contains(QStringLiteral("formule-host: la formula non legge alcun elemento V:V99")))
        << unknown.err.toStdString();
}

TEST_F(DemoHost, BadOptionsAreRefused) {
    const QStringList cases[] = {
        {QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png"))}, // no record to open
        {QStringLiteral("--company"), QStringLiteral("uno")},
        {QStringLiteral("--variants"), QStringLiteral("forse")},
        {QStringLiteral("--context"), QStringLiteral("zero"), QStringLiteral("--id"), QStringLiteral("1"),
         QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("y.png"))},
    };
    for (const QStringList& args : cases) {
        const HostRun r = runHost(QStringList{QStringLiteral("--db"), db} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("formule-host:"))) << r.err.toStdString();
    }
}

} // namespace
