// Runs every batch of the shared verdict corpus, and of this directory's own cases, behind the
// declaration block of the syntax check, and compares the engine's verdict with the server's.

#include "check/Declarations.h"
#include "tsql/Session.h"

#include "Corpus.h"
#include "TestDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <gtest/gtest.h>

namespace {

using corpus::Case;
using corpus::readCorpus;

void runCorpus(const QString& path, size_t minimumCases) {
    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session(db);
    std::vector<Case> cases = readCorpus(path);
    ASSERT_GE(cases.size(), minimumCases);
    int agree = 0;
    for (const Case& c : cases) {
        QString batch = check::BuildDeclarations() + c.declare + c.text;
        session.beginTransaction();
        tsql::RunResult r = session.run(batch);
        session.rollbackTransaction();
        int got = r.error ? r.error->number : 0;
        EXPECT_EQ(got, c.expected) << c.name.toStdString() << ": "
                                   << (r.error ? r.error->message.toStdString() : std::string("accepted"));
        if (got == c.expected)
            ++agree;
    }
    std::cout << "[ corpus ] " << path.toStdString() << ": " << agree << " of " << cases.size() << " agree\n";
}

// The shared corpus lives beside the checkout (../shared/tsql-corpus), not in it: a checkout
// without it runs this directory's own cases only.
TEST(Corpus, SharedVerdictsAgree) {
    const QString dir = QDir::cleanPath(QStringLiteral(FORMULE_SHARED_DIR "/tsql-corpus"));
    if (!QFileInfo(dir).isDir())
        GTEST_SKIP() << "no shared verdict corpus: the folder " << dir.toStdString()
                     << " is absent (shared/tsql-corpus is looked for beside the checkout)";
    runCorpus(dir + QStringLiteral("/formulas.txt"), 30);
}

// This directory's own cases, a file for each area of the language (cases/*.txt).
TEST(Corpus, OwnVerdictsAgree) {
    const QStringList files = corpus::caseFiles(QStringLiteral(FORMULE_TSQL_TEST_DIR "/cases"));
    ASSERT_FALSE(files.isEmpty()) << FORMULE_TSQL_TEST_DIR;
    for (const QString& file : files)
        runCorpus(file, 5);
}

TEST(Corpus, DeclarationBlockAloneIsAccepted) {
    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session(db);
    tsql::RunResult r = session.run(check::BuildDeclarations());
    EXPECT_FALSE(r.error.has_value()) << r.error->message.toStdString();
}

} // namespace
