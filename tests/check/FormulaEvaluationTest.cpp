// Which evaluation runs a trial and why, in words; the compiled evaluator's results against the
// engine's on representative formulas (outputs before and after, message, formula line, lines that
// ran), and neither path leaving anything in the database.

#include "check/FormulaEvaluation.h"
#include "check/Messages.h"
#include "check/TrialTexts.h"
#include "language/References.h"
#include "tsql/compiled/CompiledFormula.h"

#include "../common/Catalogue.h"
#include "../tsql/Corpus.h"
#include "HostileFormulas.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <iostream>

namespace check {
// A path as a failing expectation shows it.
void PrintTo(const TrialPath& path, std::ostream* out) {
    *out << describePath(path).toStdString();
}
} // namespace check

namespace {

using check::EvaluationPath;
using check::TrialElement;
using check::TrialInput;
using check::TrialPath;
using checktest::TestDatabase;
using Reason = check::TrialPath::Reason;

TrialInput variable(const char* name, const QString& text) {
    return {*check::declaredElement(QLatin1String(name)), text};
}

TrialInput category(const QString& id, const QString& text) {
    return {{TrialElement::Kind::Category, id, {}, false}, text};
}

TrialInput variant(const QString& code, const QString& text) {
    return {{TrialElement::Kind::Variant, code, {}, false}, text};
}

TrialPath construct(const QString& what, int line, int column) {
    return {EvaluationPath::Engine, Reason::Construct, what, line, column};
}

TrialPath engine(Reason reason) {
    return {EvaluationPath::Engine, reason, {}, 0, 0};
}

TEST(TrialPathTexts, EveryReasonInItalianAndEnglish) {
    QMap<QString, QString> en =
        testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/trial_en.ts"));
    en.insert(testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/check_en.ts")));
    const check::TrialTranslateFn english = [&en](const QString& text) { return en.value(text, text); };
    struct Case {
        TrialPath path;
        QString italian;
        QString english;
    };
    const Case cases[] = {
        {{EvaluationPath::Compiled, Reason::Compiled, {}, 0, 0},
         QStringLiteral("l'ha eseguita il valutatore compilato"),
         QStringLiteral("the compiled evaluator ran it")},
        {construct(QStringLiteral("EXEC"), 3, 1),
         QStringLiteral("l'ha eseguita il motore: EXEC alla riga 3, colonna 1"),
         QStringLiteral("the engine ran it: EXEC at line 3, column 1")},
        {construct(QStringLiteral("RAISERROR"), 12, 0),
         QStringLiteral("l'ha eseguita il motore: RAISERROR alla riga 12"),
         QStringLiteral("the engine ran it: RAISERROR at line 12")},
        {construct(QStringLiteral("a compile error"), 0, 0),
         QStringLiteral("l'ha eseguita il motore: un errore di compilazione"),
         QStringLiteral("the engine ran it: a compile error")},
        {construct(QStringLiteral("a query over the table LP17_FORMULEMANUT"), 2, 7),
         QStringLiteral(
             "l'ha eseguita il motore: una query sulla tabella LP17_FORMULEMANUT alla riga 2, colonna 7"),
         QStringLiteral("the engine ran it: a query over the table LP17_FORMULEMANUT at line 2, column 7")},
        {construct(QStringLiteral("the xml method exist()"), 1, 20),
         QStringLiteral("l'ha eseguita il motore: il metodo xml exist() alla riga 1, colonna 20"),
         QStringLiteral("the engine ran it: the xml method exist() at line 1, column 20")},
        {construct(QStringLiteral("ALL with a sub-query"), 1, 1),
         QStringLiteral("l'ha eseguita il motore: ALL con una sotto-query alla riga 1, colonna 1"),
         QStringLiteral("the engine ran it: ALL with a sub-query at line 1, column 1")},
        {construct(QStringLiteral("TRY ... CATCH"), 1, 1),
         QStringLiteral("l'ha eseguita il motore: TRY ... CATCH alla riga 1, colonna 1"),
         QStringLiteral("the engine ran it: TRY ... CATCH at line 1, column 1")},
        // A name that looks like a placeholder stays the name.
        {construct(QStringLiteral("the variable %2"), 3, 1),
         QStringLiteral("l'ha eseguita il motore: la variabile %2 alla riga 3, colonna 1"),
         QStringLiteral("the engine ran it: the variable %2 at line 3, column 1")},
        // A construct's text is never read for placeholders.
        {construct(QStringLiteral("%1 %2"), 4, 5),
         QStringLiteral("l'ha eseguita il motore: %1 %2 alla riga 4, colonna 5"),
         QStringLiteral("the engine ran it: %1 %2 at line 4, column 5")},
        {construct(check::msg::ThisStatement, 2, 1),
         QStringLiteral("l'ha eseguita il motore: Questa istruzione alla riga 2, colonna 1"),
         QStringLiteral("the engine ran it: This statement at line 2, column 1")},
        {engine(Reason::Server),
         QStringLiteral("l'ha eseguita SQL Server, il riferimento su questa connessione"),
         QStringLiteral("SQL Server ran it, the reference on this connection")},
        {engine(Reason::TurnedOff),
         QStringLiteral("l'ha eseguita il motore: il valutatore compilato è stato escluso"),
         QStringLiteral("the engine ran it: the compiled evaluator was left out")},
        {engine(Reason::Connection),
         QStringLiteral("l'ha eseguita il motore: la connessione è chiusa o ha una transazione aperta"),
         QStringLiteral("the engine ran it: the connection is closed or has a transaction open")},
        {engine(Reason::Values),
         QStringLiteral("l'ha eseguita il motore: un valore dato non va al valutatore compilato"),
         QStringLiteral("the engine ran it: a value given does not go to the compiled evaluator")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(check::describePath(c.path), c.italian);
        EXPECT_EQ(check::describePath(c.path, english), c.english);
    }
    // Every name of the compiled evaluator has an Italian text whose English is the name again.
    for (const check::trialmsg::ConstructName& name : check::trialmsg::ConstructNames) {
        SCOPED_TRACE(name.english.toStdString());
        const QString written = name.english.contains(QLatin1String("%1"))
                                    ? name.english.arg(QStringLiteral("X1"))
                                    : name.english;
        const QString italian = check::describePath(construct(written, 0, 0));
        EXPECT_EQ(italian,
                  QStringLiteral("l'ha eseguita il motore: ") + (name.italian.contains(QLatin1String("%1"))
                                                                     ? name.italian.arg(QStringLiteral("X1"))
                                                                     : name.italian));
        EXPECT_EQ(check::describePath(construct(written, 0, 0), english),
                  QStringLiteral("the engine ran it: ") + written);
    }
}

class Evaluation : public ::testing::Test {
protected:
    void SetUp() override { CHECK_REQUIRE_ENGINE(db); }

    static check::TrialOptions options(bool compiled, bool trace = true) {
        check::TrialOptions o;
        o.compiled = compiled;
        o.trace = trace;
        return o;
    }

    // What the formula's own compilation says, as the path of a run that nothing else decides.
    static TrialPath compiledVerdict(const QString& sql) {
        const tsql::compiled::Compiled c = tsql::compiled::compile(check::trialDeclarations(), sql);
        if (c.program)
            return {EvaluationPath::Compiled, Reason::Compiled, {}, 0, 0};
        return construct(c.fallback->construct, c.fallback->line, c.fallback->column);
    }

    TestDatabase db;
};

TEST_F(Evaluation, PathBeforeTheValues) {
    struct Case {
        QString sql;
        std::optional<TrialPath> expected; // nullopt: as the compiled evaluator decides
    };
    const Case cases[] = {
        {QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 1"), std::nullopt},
        // RETURN ends the batch before the outputs are read: the engine's run says so.
        {QStringLiteral("SET @OUTPREZZO = 1\r\nIF @ATTPREZZO IS NULL\r\n    RETURN"),
         construct(QStringLiteral("RETURN"), 3, 5)},
        {QStringLiteral("SET @OUTPREZZO = 1 -- RETURN in a comment\r\nSET @OUTSC1PERC = LEN('RETURN')"),
         std::nullopt},
        // What the check's guard refuses, named and placed in the formula.
        {QStringLiteral("SET @OUTPREZZO = 1\r\n  EXEC('SELECT 1')"),
         construct(QStringLiteral("EXECUTE"), 2, 3)},
        {QStringLiteral("DELETE FROM LP01_PROVIDER\r\nCOMMIT"), construct(QStringLiteral("COMMIT"), 2, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        check::FormulaEvaluation evaluation(c.sql);
        const TrialPath expected = c.expected.value_or(compiledVerdict(c.sql));
        EXPECT_EQ(evaluation.plan(*db.connection, options(true)), expected);
        EXPECT_EQ(evaluation.plan(*db.connection, options(false)), engine(Reason::TurnedOff));
        // The run says the same, when the values go where the formula does.
        const check::TrialResult r = evaluation.run(*db.connection, {}, options(true));
        ASSERT_TRUE(r.path.has_value());
        EXPECT_EQ(*r.path, expected);
    }
}

TEST_F(Evaluation, ConnectionThatCannotRunInIsolationGoesToTheEngine) {
    check::FormulaEvaluation evaluation(QStringLiteral("SET @OUTPREZZO = 1"));
    ado::Connection closed;
    EXPECT_EQ(evaluation.plan(closed, options(true)), engine(Reason::Connection));
    EXPECT_THROW(evaluation.run(closed, {}, options(true)), core::ComError); // as the engine's run always did
    db.connection->BeginTrans();
    EXPECT_EQ(evaluation.plan(*db.connection, options(true)), engine(Reason::Connection));
    const check::TrialResult r = evaluation.run(*db.connection, {}, options(true));
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Msg 40004"))) << r.message.toStdString();
    db.connection->RollbackTrans();
}

TEST_F(Evaluation, RefusedValueRunsNothingOnEitherPath) {
    check::FormulaEvaluation evaluation(QStringLiteral("SET @OUTPREZZO = 1"));
    for (bool compiled : {true, false}) {
        const qint64 before = db.connection->statementCount();
        const check::TrialResult r = evaluation.run(
            *db.connection, {variable("@INSC1PERC", QStringLiteral("12345"))}, options(compiled));
        EXPECT_EQ(r.refusedKey, QStringLiteral("@INSC1PERC"));
        EXPECT_FALSE(r.path.has_value());
        EXPECT_EQ(db.connection->statementCount(), before);
    }
}

// The same formula on the same values gives the same result whichever path runs it; a run of the
// compiled evaluator sends nothing to the connection, and neither path leaves anything behind.
TEST_F(Evaluation, CompiledAndEngineGiveTheSameResults) {
    const QString categorySql = language::refs::categorySubQuery(0, "123");
    const QString variantSql = language::refs::variantSubQuery(QStringLiteral("V01"));
    enum class Runs { Compiled, Engine, Either };
    struct Case {
        QString sql;
        QList<TrialInput> inputs;
        Runs runs = Runs::Compiled;
    };
    const Case cases[] = {
        {QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50\r\nSET @OUTSC1PERC = @ATTPREZZO / 7"),
         {variable("@ATTPREZZO", QStringLiteral("60"))}},
        {QStringLiteral("SET @OUTSC2PERC = @OUTSC2PERC * 2"),
         {variable("@OUTSC2PERC", QStringLiteral("1,5"))}},
        {QStringLiteral("IF @DO11_SEZDOC = 'A'\r\n    SET @OUTPREZZO = 1\r\nELSE\r\n    SET @OUTPREZZO = 2"),
         {variable("@DO11_SEZDOC", QStringLiteral("B"))}},
        {QStringLiteral("SET @OUTPREZZO = ISNULL(@ATTPREZZO, 99)"), {variable("@ATTPREZZO", QString())}},
        {QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = @ATTPREZZO / 0"),
         {variable("@ATTPREZZO", QStringLiteral("5"))}},
        {QStringLiteral("SET @OUTPREZZO = 'abc'"), {}},
        {QStringLiteral("DECLARE @I INT = 0\r\nWHILE @I < 10\r\nBEGIN\r\n    SET @I += 1\r\n"
                        "    SET @OUTPREZZO = ISNULL(@OUTPREZZO, 0) + @I * 1.5\r\nEND"),
         {}},
        // The line of an error seen from a CATCH block counts the lines the values take before it.
        {QStringLiteral("BEGIN TRY\r\n    SET @OUTSC1PERC = 1 / 0\r\nEND TRY\r\nBEGIN CATCH\r\n"
                        "    SET @OUTPREZZO = ERROR_LINE()\r\nEND CATCH"),
         {variable("@ATTPREZZO", QStringLiteral("1")), variable("@DO11_SEZDOC", QStringLiteral("A"))},
         Runs::Either},
        {QStringLiteral("SET @OUTPREZZO = LEN(@DO11_SEZDOC) + LEN(@DO29_AGENTE_MG17) + ASCII(@DO11_SEZDOC)"),
         {variable("@DO11_SEZDOC", QStringLiteral("\u20AC")),
          variable("@DO29_AGENTE_MG17", QStringLiteral("  x "))}},
        {QStringLiteral("SET @OUTPREZZO = DATEDIFF(DAY, @DATARIF, '20240301')"),
         {variable("@DATARIF", QStringLiteral("31/01/2024"))}},
        {QStringLiteral("IF ") + categorySql + QStringLiteral(" = 'ROSSO' AND ") + variantSql +
             QStringLiteral(" = 'BLU' SET @OUTPREZZO = 7 ELSE SET @OUTPREZZO = 8"),
         {category(QStringLiteral("123"), QStringLiteral("ROSSO")),
          variant(QStringLiteral("V01"), QStringLiteral("BLU"))}},
        {QStringLiteral("SET @OUTPREZZO = LEN(") + variantSql + QStringLiteral(")"),
         {variant(QStringLiteral("V01"), QStringLiteral("<a&\"'>"))}},
        {QStringLiteral("SET @OUTPREZZO = 1\r\nRETURN"), {}, Runs::Engine},
        {QStringLiteral("DELETE FROM LP01_PROVIDER\r\nSET @OUTPREZZO = 1"), {}, Runs::Engine},
        // A text the code page would write as a look-alike letter: the engine's SET refuses it by
        // name before the formula, and the row goes to the engine to say so.
        {QStringLiteral("SET @OUTPREZZO = LEN(@DO11_SEZDOC)"),
         {variable("@DO11_SEZDOC", QStringLiteral("\u0100"))},
         Runs::Engine},
        // A value the formula never names is still an output's value before and after it.
        {QStringLiteral("SET @OUTPREZZO = 3"), {variable("@OUTSC3PERC", QStringLiteral("2"))}},
    };
    const QString dump = db.dump();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        check::FormulaEvaluation evaluation(c.sql);
        const qint64 statements = db.connection->statementCount();
        const check::TrialResult compiled = evaluation.run(*db.connection, c.inputs, options(true));
        ASSERT_TRUE(compiled.path.has_value());
        if (c.runs != Runs::Either) {
            EXPECT_EQ(compiled.path->path,
                      c.runs == Runs::Compiled ? EvaluationPath::Compiled : EvaluationPath::Engine);
        }
        if (compiled.path->path == EvaluationPath::Compiled) {
            EXPECT_EQ(db.connection->statementCount(), statements);
        }
        const check::TrialResult reference = evaluation.run(*db.connection, c.inputs, options(false));
        SCOPED_TRACE(check::describePath(*compiled.path).toStdString());
        EXPECT_EQ(compiled.ran, reference.ran);
        EXPECT_EQ(compiled.message, reference.message);
        EXPECT_EQ(compiled.formulaLine, reference.formulaLine);
        EXPECT_EQ(compiled.executedLines, reference.executedLines);
        ASSERT_EQ(compiled.outputs.size(), reference.outputs.size());
        for (qsizetype i = 0; i < compiled.outputs.size(); ++i) {
            SCOPED_TRACE(compiled.outputs[i].element.key.toStdString());
            EXPECT_EQ(compiled.outputs[i].before, reference.outputs[i].before);
            EXPECT_EQ(compiled.outputs[i].after, reference.outputs[i].after);
        }
    }
    EXPECT_EQ(db.dump(), dump);
}

// The two paths on every formula of the engine's verdict corpus that needs no declarations of its
// own and on every hostile formula: the same result (a run that ran out of time says so on both,
// wherever the clock stopped it), the same verdict as production runs the formula, and the
// database as it was.
TEST_F(Evaluation, BothPathsAgreeOnTheCorpusAndTheHostileFormulas) {
    std::vector<std::pair<QString, QString>> formulas;
    const QDir cases(QStringLiteral(FORMULE_DATA_DIR "/../tests/tsql/cases"));
    for (const QString& file : cases.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
        for (const corpus::Case& c : corpus::readCorpus(cases.filePath(file)))
            if (c.declare.isEmpty())
                formulas.emplace_back(file + u':' + c.name, c.text);
    for (const checktest::Hostile& h : checktest::hostileFormulas())
        formulas.emplace_back(QLatin1String(h.name), h.text);
    ASSERT_GT(formulas.size(), 300u);
    const QString dump = db.dump();
    int compiledRuns = 0, compiledVerdicts = 0;
    // A runaway batch stops at the limit it meets first, time or memory: which one depends on the
    // machine's speed at that moment. Production's verdict on a run out of time is that the server
    // did not answer in time (busy), with the timeout's message inside its own.
    const auto limitMet = [](const QString& m) {
        return m.startsWith(QStringLiteral("Msg 3617,")) || m.startsWith(QStringLiteral("Msg 40002,"));
    };
    const auto verdictLimitMet = [&](const check::ProductionVerdict& v) {
        return v.busy || limitMet(v.message);
    };
    for (const auto& [name, sql] : formulas) {
        SCOPED_TRACE(name.toStdString());
        check::FormulaEvaluation evaluation(sql);
        check::TrialOptions fast = options(true);
        fast.limits.timeoutMs = 1000;
        if (const std::optional<check::ProductionVerdict> verdict =
                check::FormulaEvaluation(sql).asProduction(*db.connection, {}, fast.limits)) {
            ++compiledVerdicts;
            const check::ProductionVerdict engine =
                check::runAsProduction(*db.connection, sql, {}, fast.limits);
            if (!verdictLimitMet(*verdict) || !verdictLimitMet(engine)) {
                EXPECT_EQ(verdict->correct, engine.correct);
                EXPECT_EQ(verdict->message, engine.message);
                EXPECT_EQ(verdict->formulaLine, engine.formulaLine);
                EXPECT_EQ(verdict->batchLine, engine.batchLine);
                EXPECT_EQ(verdict->column, engine.column);
            }
        }
        const check::TrialResult compiled = evaluation.run(*db.connection, {}, fast);
        fast.compiled = false;
        const check::TrialResult reference = evaluation.run(*db.connection, {}, fast);
        ASSERT_TRUE(compiled.path.has_value());
        compiledRuns += compiled.path->path == EvaluationPath::Compiled ? 1 : 0;
        EXPECT_EQ(compiled.ran, reference.ran);
        if (limitMet(reference.message) || limitMet(compiled.message)) {
            EXPECT_TRUE(limitMet(compiled.message) && limitMet(reference.message))
                << compiled.message.toStdString() << " / " << reference.message.toStdString();
            continue;
        }
        EXPECT_EQ(compiled.message, reference.message);
        EXPECT_EQ(compiled.formulaLine, reference.formulaLine);
        EXPECT_EQ(compiled.executedLines, reference.executedLines);
        for (qsizetype i = 0; i < compiled.outputs.size() && i < reference.outputs.size(); ++i) {
            EXPECT_EQ(compiled.outputs[i].before, reference.outputs[i].before);
            EXPECT_EQ(compiled.outputs[i].after, reference.outputs[i].after);
        }
    }
    std::cout << "compiled: " << compiledRuns << " of " << formulas.size() << " formulas, "
              << compiledVerdicts << " verdicts\n";
    EXPECT_GT(compiledRuns, 0);
    EXPECT_GT(compiledVerdicts, 0);
    EXPECT_EQ(db.dump(), dump);
}

} // namespace
