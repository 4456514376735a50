// One reading of a formula serves the statement guard and the engine: the guard reads what
// follows the declarations as the engine reads it there and hands the statements over. On a
// table of formulas (ordinary ones, errors at compile and at run time, texts that start in every
// way a batch can, and the hostile ones the guard refuses), the verdicts and the server's
// messages are those of two separate readings.

#include "HostileFormulas.h"
#include "TestDatabase.h"
#include "check/GuardedRun.h"
#include "check/StatementGuard.h"
#include "check/SyntaxCheck.h"
#include "tsql/text/Parser.h"

#include <optional>

#include <gtest/gtest.h>

namespace {

using checktest::TestDatabase;

std::vector<QString> formulas() {
    std::vector<QString> texts = {
        QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"),
        QStringLiteral("SET @OUTPREZZO = 1\r\nSET @ATTPREZZZO = 2"),
        QStringLiteral("SET @OUTPREZZO = 1\nSET @OUTPREZZO = 1 / 0"),
        QStringLiteral("SET @OUTPREZZO = 1\nSET @OUTPREZZO = = 2"),
        QStringLiteral("IF @MG19_ZONA = 'NORD' SET @OUTSC1PERC = 5 ELSE SET @OUTSC1PERC = @INSC1PERC"),
        QStringLiteral("SELECT NOCOL FROM LP01_PROVIDER"),
        QStringLiteral("SELECT * FROM NONESISTE"),
        QStringLiteral("DECLARE @OUTPREZZO INT"),
        QStringLiteral("DECLARE @x INT = 1 SET @OUTPREZZO = @x"),
        QStringLiteral("PRINT 'x' RETURN"),
        QStringLiteral("WHILE 1 = 0 SET @OUTPREZZO = 1"),
        QStringLiteral("BEGIN SET @OUTPREZZO = 1 END"),
        QStringLiteral("UPDATE LP01_PROVIDER SET LP01_DESCRIZIONE = 'x'"),
        QStringLiteral("INSERT INTO LP01_PROVIDER (LP01_ID) VALUES (999)"),
        QStringLiteral("DELETE FROM LP01_PROVIDER SELECT 1/0"),
        QStringLiteral("SELECT 'abc"),
        QStringLiteral("SET @OUTPREZZO = 1 /* open"),
        QStringLiteral("SET"),
        QStringLiteral("SET @OUTPREZZO = 1; WITH x AS (SELECT 1 AS a) SELECT @OUTPREZZO = a FROM x"),
        QStringLiteral("SET @OUTPREZZO = 1\r\nWITH x AS (SELECT 1 AS a) SELECT @OUTPREZZO = a FROM x"),
        QStringLiteral("SET @OUTPREZZO = 1 THROW 50000, 'x', 1"),
        QStringLiteral("SET @OUTPREZZO = 1; THROW 50000, 'x', 1"),
        QStringLiteral("SET @OUTPREZZO = 1; CREATE PROCEDURE p AS SELECT 1"),
        QStringLiteral("SET @OUTPREZZO = 'it''s' + N'ò' + [OUT]"),
        // Texts that do not start with a statement keyword: the engine reads them with the
        // declarations, the guard on their own.
        QStringLiteral("sp_who"),
        QStringLiteral("; sp_who"),
        QStringLiteral("; CREATE PROCEDURE p AS SELECT 1"),
        QStringLiteral(";SET @OUTPREZZO = 1"),
        QStringLiteral("WITH x AS (SELECT 1 AS a) SELECT @OUTPREZZO = a FROM x"),
        QStringLiteral("THROW 50000, 'x', 1"),
        QStringLiteral("\r\n\r\nSET @OUTPREZZO = 1 / 0"),
        QStringLiteral("   SET @OUTPREZZO = 1 / 0"),
        QStringLiteral("-- c\r\nSET @OUTPREZZO = 1 / 0"),
        QStringLiteral("/* c */ SET @OUTPREZZO = 1 / 0"),
        QStringLiteral("(SELECT 1)"),
        QStringLiteral("@OUTPREZZO = 1"),
        QStringLiteral(" "),
    };
    for (const checktest::Hostile& h : checktest::hostileFormulas())
        texts.push_back(h.text);
    return texts;
}

QString describe(const check::GuardVerdict& v) {
    if (!v.refused)
        return QStringLiteral("accepted writes=%1").arg(v.writes);
    const check::RefusedStatement& r = *v.refused;
    return QStringLiteral("refused %1 line %2 column %3 number %4: %5")
        .arg(r.statement)
        .arg(r.line)
        .arg(r.column)
        .arg(r.number)
        .arg(r.reason);
}

// Guards another text, so that the next verdict is not the one the guard keeps for its last text.
void forgetLastVerdict() {
    check::guardBatch(QStringLiteral("SELECT 'another text'"));
}

TEST(SharedRead, TheGuardReadsTheRestAsItReadsItOnItsOwn) {
    const int lines = check::SyntaxCheck::declarationLines();
    for (const QString& formula : formulas()) {
        const QString batch = check::SyntaxCheck::checkBatch(formula);
        const qsizetype prefix = batch.size() - formula.size();
        forgetLastVerdict();
        const check::GuardVerdict shared = check::guardBatch(batch, prefix, lines);
        forgetLastVerdict();
        check::GuardVerdict alone = check::guardBatch(formula);
        if (alone.refused)
            alone.refused->line += lines;
        EXPECT_EQ(describe(shared), describe(alone)) << formula.left(80).toStdString();
        // Judged again, the text gets the verdict the guard kept, without statements to hand on.
        const check::GuardVerdict again = check::guardBatch(batch, prefix, lines);
        EXPECT_EQ(describe(again), describe(alone)) << formula.left(80).toStdString();
        EXPECT_FALSE(again.read);
        if (shared.read) {
            EXPECT_FALSE(shared.refused);
            EXPECT_EQ(shared.read->text, formula);
            EXPECT_EQ(shared.read->place, (tsql::BatchPlace{static_cast<int>(prefix), lines, false}));
        }
    }
}

TEST(SharedRead, TheStatementsGoOnlyWithARestThatReadsTheSameOnItsOwn) {
    const int lines = check::SyntaxCheck::declarationLines();
    auto read = [lines](const QString& formula) {
        const QString batch = check::SyntaxCheck::checkBatch(formula);
        forgetLastVerdict();
        return check::guardBatch(batch, batch.size() - formula.size(), lines).read != nullptr;
    };
    EXPECT_TRUE(read(QStringLiteral("SET @OUTPREZZO = 1")));
    EXPECT_TRUE(read(QStringLiteral("IF 1 = 1 SELECT 1")));
    EXPECT_FALSE(read(QStringLiteral(";SET @OUTPREZZO = 1")));
    EXPECT_FALSE(read(QStringLiteral("WITH x AS (SELECT 1 AS a) SELECT @OUTPREZZO = a FROM x")));
    EXPECT_FALSE(read(QStringLiteral("SET @OUTPREZZO = 1 COMMIT")));
    EXPECT_FALSE(read(QStringLiteral("SET @OUTPREZZO = = 1")));
}

// The engine's outcome of a batch read once (by the guard, then bound by the engine) and of the
// same batch read by the engine itself, on two connections so that neither finds the other's
// compiled batch.
TEST(SharedRead, TheEngineGivesTheSameOutcomeAsWhenItReadsTheBatchItself) {
    TestDatabase once;
    TestDatabase twice;
    CHECK_REQUIRE_ENGINE(once);
    const QString before = once.dump();
    const int lines = check::SyntaxCheck::declarationLines();
    int handedOver = 0;
    for (const QString& formula : formulas()) {
        const QString batch = check::SyntaxCheck::checkBatch(formula);
        const qsizetype prefix = batch.size() - formula.size();
        forgetLastVerdict();
        const check::GuardVerdict verdict = check::guardBatch(batch, prefix, lines);
        if (verdict.refused)
            continue;
        const ado::IsolatedOutcome a = once.connection->ExecuteIsolated(
            batch, verdict.writes, checktest::shortLimits(), false, verdict.read.get());
        // Taken unless the engine had the batch compiled, or no declaration block yet.
        handedOver += verdict.read && verdict.read->text.isEmpty() ? 1 : 0;
        const ado::IsolatedOutcome b =
            twice.connection->ExecuteIsolated(batch, verdict.writes, checktest::shortLimits());
        const auto text = [](const ado::IsolatedOutcome& o) {
            QStringList errors;
            for (const ado::Error& e : o.outcome.errors)
                errors << QStringLiteral("%1/%2/%3 %4:%5 %6")
                              .arg(e.nativeError)
                              .arg(e.severity)
                              .arg(e.state)
                              .arg(e.line)
                              .arg(e.column)
                              .arg(e.description);
            return errors.join(u'\n') + QStringLiteral(" count %1").arg(o.transactionCountAfter);
        };
        // A run stopped by a limit (time, memory) may stop at another place, or at another limit.
        const auto limited = [](const ado::IsolatedOutcome& o) {
            return !o.outcome.errors.isEmpty() && (o.outcome.errors.first().nativeError == 3617 ||
                                                   o.outcome.errors.first().nativeError == 40002);
        };
        if (limited(a) || limited(b))
            continue;
        EXPECT_EQ(text(a), text(b)) << formula.left(80).toStdString();
    }
    EXPECT_GT(handedOver, 10);
    EXPECT_EQ(once.dump(), before);
}

// A statement list read at another place than the engine's, or from another text, is not taken:
// the engine reads the batch itself.
TEST(SharedRead, StatementsReadElsewhereAreNotTaken) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    const int lines = check::SyntaxCheck::declarationLines();
    // The engine learns its declaration block from a first batch.
    db.connection->ExecuteIsolated(check::SyntaxCheck::checkBatch(QStringLiteral("SET @OUTPREZZO = 2")),
                                   false, checktest::shortLimits());
    int batches = 0;
    // Runs a new batch (a batch run before would be found compiled) with the statements of
    // `readText` read at `place`: whether the engine took them, and the line of its message.
    const auto runWith = [&](std::optional<tsql::BatchPlace> place, std::optional<QString> readText) {
        const QString formula = QStringLiteral("SET @OUTPREZZO = %1\nSET @OUTPREZZO = 1 / 0").arg(++batches);
        const QString batch = check::SyntaxCheck::checkBatch(formula);
        const tsql::BatchPlace at =
            place.value_or(tsql::BatchPlace{static_cast<int>(batch.size() - formula.size()), lines, false});
        const QString text = readText.value_or(formula);
        tsql::ReadRest read{text, at, *tsql::parseStandaloneRest(text, at)};
        const ado::IsolatedOutcome out =
            db.connection->ExecuteIsolated(batch, false, checktest::shortLimits(), false, &read);
        return std::make_pair(read.text.isEmpty(), out.outcome.errors.value(0).line);
    };
    const int prefix = static_cast<int>(check::CheckDeclarations().size());
    const int divisionLine = lines + 2;
    EXPECT_EQ(runWith(tsql::BatchPlace{prefix, lines + 1, false}, {}), std::make_pair(false, divisionLine));
    EXPECT_EQ(runWith(tsql::BatchPlace{prefix, lines, true}, {}), std::make_pair(false, divisionLine));
    EXPECT_EQ(runWith({}, QStringLiteral("SET @OUTPREZZO = 1\nSET @OUTPREZZO = 2 / 0")),
              std::make_pair(false, divisionLine));
    EXPECT_EQ(runWith({}, {}), std::make_pair(true, divisionLine));
}

} // namespace
