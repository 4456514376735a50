// formule eval: a display-form formula run on values from the command line, changing nothing.

#include "../common/ToolRun.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

using checktest::TestDatabase;

using testtool::ToolRun;

class Eval : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(FORMULE_TOOL)))
            GTEST_SKIP() << "the formule tool is not built: " << FORMULE_TOOL;
        CHECK_REQUIRE_ENGINE(db);
    }

    ToolRun eval(const QStringList& arguments, const QStringList& global = {}) {
        return testtool::runTool(QStringList{QStringLiteral("--db"), db.connectionString()} + global +
                                     QStringList{QStringLiteral("eval")} + arguments,
                                 {}, 60000);
    }

    TestDatabase db;
};

TEST_F(Eval, PrintsTheOutputsAsTheServerWritesThem) {
    const ToolRun r = eval({QStringLiteral("--set"), QStringLiteral("Prezzo lordo - CURR=60"),
                            QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50\r\n"
                                           "SET [Sconto 1%] = [Prezzo lordo - CURR] / 7")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("[Prezzo lordo]\t110.000000\n[Sconto 1%]\t8.571\n"));
}

TEST_F(Eval, VariablesEnglishLabelsAndAll) {
    ToolRun r =
        eval({QStringLiteral("--all"), QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=1"),
              QStringLiteral("SET [Prezzo lordo] = ISNULL([Sconto 1% - IN], 2) + [Prezzo lordo - CURR]")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], QStringLiteral("[Prezzo lordo]\t3.000000"));
    EXPECT_EQ(lines[1], QStringLiteral("[Sconto 1%]\tNULL"));
}

TEST_F(Eval, LabelsInTheCurrentLanguage) {
    const ToolRun r = eval({QStringLiteral("--set"), QStringLiteral("gross price - curr=2.5"),
                            QStringLiteral("SET [Gross price] = [Gross price - CURR] * 2")},
                           {QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("[Gross price]\t5.000000\n"));
}

// Numbers and dates typed as the language of the run writes them; the output stays as the server
// writes it (the C locale) in both.
TEST_F(Eval, ValuesAsTheLanguageOfTheRunWritesThem) {
    struct Run {
        const char* lang;
        const char* price;
        const char* date;
        const char* out;
    };
    const QString italian =
        QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + MONTH([Data riferimento])");
    const QString english =
        QStringLiteral("SET [Gross price] = [Gross price - CURR] + MONTH([Reference date])");
    for (const Run& run : {Run{"it", "1.000,5", "03/04/2026", "[Prezzo lordo]\t1004.500000\n"},
                           Run{"en", "1,000.5", "03/04/2026", "[Gross price]\t1003.500000\n"},
                           Run{"it", "-12.5", "2026-12-31", "[Prezzo lordo]\t-0.500000\n"},
                           Run{"en", "-12.5", "20261231", "[Gross price]\t-0.500000\n"}}) {
        SCOPED_TRACE(std::string(run.lang) + " " + run.price + " " + run.date);
        const bool en = QLatin1String(run.lang) == QLatin1String("en");
        const ToolRun r =
            eval({QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=") + QLatin1String(run.price),
                  QStringLiteral("--set"), QStringLiteral("@DATARIF=") + QLatin1String(run.date),
                  en ? english : italian},
                 {QStringLiteral("--lang"), QLatin1String(run.lang)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QLatin1String(run.out));
    }
    // Refused, each in its language: the form the other language reads another way.
    const ToolRun it = eval({QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=1.000"), italian},
                            {QStringLiteral("--lang"), QStringLiteral("it")});
    EXPECT_EQ(it.exitCode, 2);
    EXPECT_EQ(it.err,
              QStringLiteral("eval: Valore non ammesso per @ATTPREZZO: «1.000» è ambiguo: scrivi 1000 se "
                             "il punto separa le migliaia, 1,000 se separa i decimali\n"));
    const ToolRun en = eval({QStringLiteral("--set"), QStringLiteral("@DATARIF=31/12/2026"), english},
                            {QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(en.exitCode, 2);
    EXPECT_EQ(en.err, QStringLiteral("eval: Value not allowed for @DATARIF: \u201C31/12/2026\u201D is not a "
                                     "date (mm/dd/yyyy or yyyy-mm-dd)\n"));
}

TEST_F(Eval, IfElseOnACharacterFieldWithItsTrace) {
    const QString formula = QStringLiteral("IF [Sezionale] = 'A'\r\n  SET [Prezzo lordo] = 1\r\nELSE\r\n"
                                           "  SET [Prezzo lordo] = 2");
    ToolRun r =
        eval({QStringLiteral("--trace"), QStringLiteral("--set"), QStringLiteral("@DO11_SEZDOC=B"), formula});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("[Prezzo lordo]\t2.000000\n"));
    EXPECT_EQ(r.err, QStringLiteral("righe eseguite: 1 4\n"));
}

TEST_F(Eval, VariantValue) {
    const ToolRun r = eval({QStringLiteral("--variant"), QStringLiteral("V01=BLU"),
                            QStringLiteral("IF |V01 - Colore| = 'BLU' SET [Prezzo lordo] = 5")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("[Prezzo lordo]\t5.000000\n"));
}

TEST_F(Eval, RunTimeErrorWithItsLine) {
    const ToolRun r = eval({QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Prezzo lordo] = 1 / 0")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Msg 8134, Level 16, State 1, Line 2:")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("riga della formula 2")));
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(Eval, RefusedValuesAndNames) {
    const QString formula = QStringLiteral("SET [Prezzo lordo] = 1");
    EXPECT_EQ(eval({QStringLiteral("--set"), QStringLiteral("Sconto 1% - IN=1000"), formula}).exitCode, 2);
    EXPECT_EQ(eval({QStringLiteral("--set"), QStringLiteral("Nessuno=1"), formula}).exitCode, 2);
    EXPECT_EQ(eval({QStringLiteral("--set"), QStringLiteral("senza uguale"), formula}).exitCode, 2);
    EXPECT_EQ(eval({QStringLiteral("--category"), QStringLiteral("C01=ROSSO"), formula}).exitCode, 2);
}

// A refused value is told in the language of --lang, from the trial run's catalogue.
TEST_F(Eval, RefusedValueInEnglish) {
    const ToolRun r = eval({QStringLiteral("--set"), QStringLiteral("Gross price - CURR=abc"),
                            QStringLiteral("SET [Gross price] = [Gross price - CURR]")},
                           {QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, QStringLiteral("eval: Value not allowed for @ATTPREZZO: \u201Cabc\u201D is not a valid "
                                    "number for decimal(17,6)\n"));
    const ToolRun it = eval({QStringLiteral("--set"), QStringLiteral("@DO11_SEZDOC=ABC"),
                             QStringLiteral("SET [Prezzo lordo] = 1")});
    EXPECT_EQ(it.exitCode, 2);
    EXPECT_EQ(it.err, QStringLiteral("eval: Valore non ammesso per @DO11_SEZDOC: \u00ABABC\u00BB supera i 2 "
                                     "caratteri\n"));
}

TEST_F(Eval, HostileFormulaChangesNothing) {
    const QString dump = db.dump();
    ToolRun r = eval({QStringLiteral("DELETE FROM LP01_PROVIDER SET [Prezzo lordo] = 1")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = eval({QStringLiteral("DELETE FROM LP01_PROVIDER COMMIT")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(db.dump(), dump);
}

// --explain says on standard error which evaluation ran the formula and why, in the language of
// --lang, after the trace; --engine leaves the compiled evaluator out.
TEST_F(Eval, ExplainSaysWhichEvaluationRanIt) {
    const QString formula = QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 1");
    const QStringList values{QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=2")};
    ToolRun r = eval(values + QStringList{QStringLiteral("--explain"), QStringLiteral("--engine"), formula});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("[Prezzo lordo]\t3.000000\n"));
    EXPECT_EQ(r.err,
              QStringLiteral("percorso: l'ha eseguita il motore: il valutatore compilato è stato escluso\n"));
    r = eval(values + QStringList{QStringLiteral("--explain"), QStringLiteral("--engine"),
                                  QStringLiteral("--trace"),
                                  QStringLiteral("SET [Gross price] = [Gross price - CURR] + 1")},
             {QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(
        r.err,
        QStringLiteral("executed lines: 1\npath: the engine ran it: the compiled evaluator was left out\n"));
    r = eval(values + QStringList{QStringLiteral("--explain"), formula});
    EXPECT_EQ(r.out, QStringLiteral("[Prezzo lordo]\t3.000000\n"));
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("percorso: l'ha eseguita "))) << r.err.toStdString();
    r = eval({QStringLiteral("--explain"), QStringLiteral("SET [Prezzo lordo] = 1\r\nRETURN")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("percorso: l'ha eseguita il motore: RETURN alla riga 2, colonna 1\n"
                                    "La formula è terminata prima che i risultati fossero letti (RETURN)\n"));
    // A refused value runs nothing: no path to tell.
    r = eval(
        {QStringLiteral("--explain"), QStringLiteral("--set"), QStringLiteral("@DO11_SEZDOC=ABC"), formula});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.contains(QStringLiteral("path:")));
}

// Without --explain nothing is added; with --engine every case gives what it gives otherwise.
TEST_F(Eval, TheEngineAloneGivesTheSameOutput) {
    const QList<QStringList> cases = {
        {QStringLiteral("--set"), QStringLiteral("Prezzo lordo - CURR=60"),
         QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50\r\nSET [Sconto 1%] = [Prezzo lordo "
                        "- CURR] / 7")},
        {QStringLiteral("--all"), QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=1"),
         QStringLiteral("SET [Prezzo lordo] = ISNULL([Sconto 1% - IN], 2) + [Prezzo lordo - CURR]")},
        {QStringLiteral("--trace"), QStringLiteral("--set"), QStringLiteral("@DO11_SEZDOC=B"),
         QStringLiteral(
             "IF [Sezionale] = 'A'\r\n  SET [Prezzo lordo] = 1\r\nELSE\r\n  SET [Prezzo lordo] = 2")},
        {QStringLiteral("--variant"), QStringLiteral("V01=BLU"),
         QStringLiteral("IF |V01 - Colore| = 'BLU' SET [Prezzo lordo] = 5")},
        {QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Prezzo lordo] = 1 / 0")},
        {QStringLiteral("DELETE FROM LP01_PROVIDER COMMIT")},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const ToolRun where = eval(arguments);
        const ToolRun engine = eval(QStringList{QStringLiteral("--engine")} + arguments);
        EXPECT_EQ(where.exitCode, engine.exitCode);
        EXPECT_EQ(where.out, engine.out);
        EXPECT_EQ(where.err, engine.err);
        EXPECT_FALSE(where.err.contains(QStringLiteral("path:")));
    }
}

} // namespace
