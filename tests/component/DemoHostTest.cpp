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

HostRun runHost(const QStringList& arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
