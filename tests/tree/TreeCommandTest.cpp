#include "ado/Setup.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
    int exitCode;
    QString out;
    QString err;
};

class TreeCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ado::setup::initialize(ado::setup::embeddedConnectionString(path()), true); }
    QString path() const { return dir.filePath(QStringLiteral("demo.sqlite")); }

    Outcome run(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(FORMULE_BIN),
                QStringList{QStringLiteral("--lang"), QStringLiteral("it"), QStringLiteral("--db"),
                            ado::setup::embeddedConnectionString(path()), QStringLiteral("tree")} +
                    args);
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QTemporaryDir dir;
};

QStringList topLevel(const QString& out) {
    QStringList keys;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(u' '))
            keys << line.section(u'\t', 0, 0);
    return keys;
}

TEST_F(TreeCommandTest, MaintenanceContextPrintsEightBranches) {
    const Outcome r = run({QStringLiteral("--context"), QStringLiteral("2")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(topLevel(r.out), (QStringList{"kqu", "kquin", "kquatt", "kof", "koc", "kol", "kco", "kde"}));
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("kqu\tQuotazione\n  kqu1\tPrezzo lordo\n")));
}

TEST_F(TreeCommandTest, VariantsOffByDefault) {
    const Outcome off = run({});
    EXPECT_EQ(off.exitCode, 0) << off.err.toStdString();
    EXPECT_FALSE(off.out.contains(QStringLiteral("elemento_502")));
    EXPECT_TRUE(off.out.contains(QStringLiteral("      elemento_810_V01\tV01 - Colore scocca\n")));
    const Outcome on = run({QStringLiteral("--variants"), QStringLiteral("on")});
    EXPECT_TRUE(on.out.contains(QStringLiteral("    elemento_502\tCodice variante\n")));
    EXPECT_TRUE(on.out.contains(QStringLiteral("  ramo_500\tConfiguratore\n")));
}

TEST_F(TreeCommandTest, BadOptionsAreUsageErrors) {
    for (const QStringList& args :
         {QStringList{"--context", "3"}, QStringList{"--context", "x"}, QStringList{"--variants", "yes"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tree: "))) << r.err.toStdString();
    }
}

} // namespace
