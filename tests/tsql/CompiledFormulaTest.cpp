// The compiled evaluator against the engine: each formula of the tables runs on each of its rows
// both as a program and as the engine's batch (the production declarations, the row's inputs
// set on one line, the formula, a SELECT of the variables it names); values, types, NULLs,
// errors (number, level, line, text) and the lines traced must be the same. Constructs a
// program does not run are refused by name and place.

#include "tsql/compiled/CompiledFormula.h"
#include "check/Declarations.h"

#include "TestDb.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using tsql::compiled::Row;

const QString kCategories = QStringLiteral("<CATEGORIE>%1</CATEGORIE>");
const QString kVariants = QStringLiteral("<VARIANTI>%1</VARIANTI>");

QString category(const char* id, const char* value) {
    return QStringLiteral("<CATEGORIA IDCATEGORIA_CM01=\"%1\" VALORE=\"%2\"/>")
        .arg(QString::fromUtf8(id), QString::fromUtf8(value));
}

QString variant(const char* code, const char* value) {
    return QStringLiteral("<VARIANTE MG5F_CODICEVAR=\"%1\" VALORE=\"%2\"/>")
        .arg(QString::fromUtf8(code), QString::fromUtf8(value));
}

QString categoryLookup(const char* type, const char* id) {
    return QStringLiteral(
               "( SELECT  COLS.value('@VALORE', '%1') AS VALORE   FROM      "
               "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
               "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = %2 )")
        .arg(QString::fromUtf8(type), QString::fromUtf8(id));
}

QString variantLookup(const char* code) {
    return QStringLiteral("( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE  FROM      "
                          "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
                          "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='%1' )")
        .arg(QString::fromUtf8(code));
}

// One row: the inputs as T-SQL sets them ("@QTA1 = 5"), and the two documents (null: NULL).
struct Input {
    QStringList sets;
    QString categories;
    QString variants;
};

class CompiledFormula : public ::testing::Test {
protected:
    const QString declarations = check::ProductionDeclarations();
    const int declarationLines = check::ProductionDeclarationLines;
    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session{db};

    // The row's values for `program`: the inputs set by a program of their own.
    Row rowFor(const tsql::compiled::Program& program, const Input& input) {
        Row row;
        std::vector<tsql::Value> values(program.variables().size());
        if (!input.sets.isEmpty()) {
            const auto setter = tsql::compiled::compile(
                declarations, QStringLiteral("SET ") + input.sets.join(QStringLiteral("\r\nSET ")));
            EXPECT_TRUE(setter.program) << input.sets.join(u' ').toStdString();
            if (setter.program) {
                tsql::compiled::Runner runner(setter.program);
                const auto& out = runner.run({});
                EXPECT_FALSE(out.error);
                for (std::size_t k = 0; k < values.size(); ++k)
                    values[k] = out.value(k);
            }
        }
        for (std::size_t k = 0; k < values.size(); ++k)
            if (values[k].type.id == tsql::TypeId::Unknown)
                values[k] = tsql::Value::nullOf(program.variables()[k].type);
        for (int slot : program.inputs()) {
            const QString& name = program.variables()[std::size_t(slot)].name;
            const QString& xml = name == u"@CM01_IDCATEGORIA" ? input.categories
                                 : name == u"@MG5F_CODICEVAR" ? input.variants
                                                              : QString();
            if (!xml.isNull())
                values[std::size_t(slot)] =
                    tsql::convert(tsql::Value::str(xml, true), tsql::SqlType::of(tsql::TypeId::Xml));
            row.values.push_back(values[std::size_t(slot)]);
        }
        if (!input.categories.isNull())
            row.categories =
                *tsql::compiled::nodesOf(input.categories, QStringLiteral("CATEGORIE"),
                                         QStringLiteral("CATEGORIA"), QStringLiteral("IDCATEGORIA_CM01"));
        if (!input.variants.isNull())
            row.variants =
                *tsql::compiled::nodesOf(input.variants, QStringLiteral("VARIANTI"),
                                         QStringLiteral("VARIANTE"), QStringLiteral("MG5F_CODICEVAR"));
        return row;
    }

    // The engine's batch: the inputs on one line after the declarations, then the formula.
    QString engineBatch(const tsql::compiled::Program& program, const QString& formula, const Input& input) {
        QStringList sets = input.sets;
        if (!input.categories.isNull())
            sets << QStringLiteral("@CM01_IDCATEGORIA = N'%1'").arg(input.categories);
        if (!input.variants.isNull())
            sets << QStringLiteral("@MG5F_CODICEVAR = N'%1'").arg(input.variants);
        QStringList names;
        for (int slot : program.inputs())
            names << program.variables()[std::size_t(slot)].name;
        return declarations +
               (sets.isEmpty() ? QString() : QStringLiteral("SET ") + sets.join(QStringLiteral(" SET "))) +
               QStringLiteral("\r\n") + formula + QStringLiteral("\r\nSELECT ") + names.join(u',');
    }

    void expectSame(const QString& formula, const Input& input, qint64 loopLimit = 0) {
        SCOPED_TRACE(formula.toStdString() + " | " + input.sets.join(u' ').toStdString());
        const auto compiled = tsql::compiled::compile(declarations, formula);
        ASSERT_TRUE(compiled.program) << compiled.fallback->construct.toStdString();
        const Row row = rowFor(*compiled.program, input);
        tsql::compiled::Runner runner(compiled.program,
                                      {.limits = {}, .loopLimit = loopLimit, .trace = true});
        const tsql::compiled::Outcome& out = runner.run(row);

        session.setLoopLimit(loopLimit);
        const tsql::RunResult engine =
            session.runIsolated(engineBatch(*compiled.program, formula, input), false, true).result;
        // The formula's lines: after the declarations and the line of inputs.
        const int selectLine = int(formula.count(u'\n')) + 2; // the SELECT of the variables
        std::vector<int> lines;
        for (int line : engine.executedLines)
            if (line > declarationLines + 1 && line - declarationLines - 1 != selectLine)
                lines.push_back(line - declarationLines - 1);
        EXPECT_EQ(out.executedLines, lines);
        ASSERT_EQ(bool(out.error), bool(engine.error))
            << (engine.error ? engine.error->message : out.error->message).toStdString();
        if (engine.error) {
            EXPECT_EQ(out.error->number, engine.error->number);
            EXPECT_EQ(out.error->level, engine.error->level);
            EXPECT_EQ(out.error->line, engine.error->line - declarationLines - 1);
            EXPECT_EQ(out.error->message.toStdString(), engine.error->message.toStdString());
            return;
        }
        if (engine.resultSets.empty()) // the formula returned before the SELECT
            return;
        const auto& values = engine.resultSets[0].rows.at(0);
        for (std::size_t k = 0; k < values.size(); ++k) {
            const tsql::Value& mine = out.value(std::size_t(compiled.program->inputs()[k]));
            const tsql::Value& theirs = values[k];
            SCOPED_TRACE(
                compiled.program->variables()[std::size_t(compiled.program->inputs()[k])].name.toStdString());
            EXPECT_EQ(mine.null, theirs.null);
            EXPECT_EQ(mine.type.id, theirs.type.id);
            EXPECT_EQ(mine.type.precision, theirs.type.precision);
            EXPECT_EQ(mine.type.scale, theirs.type.scale);
            EXPECT_EQ(mine.type.length, theirs.type.length);
            if (!mine.null && !theirs.null) {
                EXPECT_EQ(tsql::toText(mine).toStdString(), tsql::toText(theirs).toStdString());
            }
        }
    }
};

std::string describe(const tsql::compiled::Outcome& out) {
    QString s = out.error ? QStringLiteral("Msg %1 line %2: %3\n")
                                .arg(out.error->number)
                                .arg(out.error->line)
                                .arg(out.error->message)
                          : QString();
    for (std::size_t k = 0; k < out.size(); ++k)
        s += (out.value(k).null ? QStringLiteral("NULL") : tsql::toText(out.value(k))) + u'|';
    return s.toStdString();
}

struct FormulaCase {
    QString formula;
    std::vector<Input> rows;
    qint64 loopLimit = 0;
};

TEST_F(CompiledFormula, GivesTheEnginesValuesTypesAndErrors) {
    const std::vector<FormulaCase> cases = {
        {"SET @OUTPREZZO = @INPREZZO * 1.1",
         {{{"@INPREZZO = 10.5"}}, {{}}, {{"@INPREZZO = 99999999999.999999"}}}},
        {"SET @QTA1 = 7 / 2\r\nSET @QTA2 = 7 % -3\r\nSET @COLLI = 7.0 / 3", {{}}},
        {"SET @OUTPREZZO = @INPREZZO / @QTA1",
         {{{"@INPREZZO = 1", "@QTA1 = 0"}}, {{"@INPREZZO = 1", "@QTA1 = 4"}}}},
        {"SET @OUTSC1PERC = @QTA1 * 10", {{{"@QTA1 = 99.9"}}, {{"@QTA1 = 100"}}}},
        {"SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = @MG66_FAM_MG53",
         {{{"@MG66_FAM_MG53 = '12'"}}, {{"@MG66_FAM_MG53 = 'ab'"}}}},
        {"IF @MG66_FAM_MG53 = 'AB' SET @OUTPREZZO = 1 ELSE SET @OUTPREZZO = 2",
         {{{"@MG66_FAM_MG53 = 'ab  '"}}, {{"@MG66_FAM_MG53 = ' AB'"}}, {{}}}},
        // Constants compared with variables of other types: converted once when that changes nothing.
        {"IF @MG66_FAM_MG53 = N'AB' SET @QTA1 = 1\r\nIF @MG66_FAM_MG53 = 'ABCDE' SET @QTA2 = 1\r\n"
         "IF N'\u03a9' = @MG66_FAM_MG53 SET @COLLI = 1\r\nIF @DO29_AGENTE_MG17 <> '\u00e9' SET @VOLUME = "
         "1\r\n"
         "IF @QTA1 < '5' SET @PESONETTO = 1\r\nIF @DATARIF > '20240101' SET @PESOLORDO = 1",
         {{{"@MG66_FAM_MG53 = 'ab'", "@DO29_AGENTE_MG17 = N'\u00c9'", "@DATARIF = '20240102'"}},
          {{"@MG66_FAM_MG53 = N'\u4e2d'", "@QTA1 = 7"}},
          {{"@MG66_FAM_MG53 = 'ABCD'"}}}},
        {"IF @QTA1 = 'x' SET @QTA2 = 1", {{{"@QTA1 = 1"}}, {{}}}},
        // Number constants against decimals: an exact copy in the variable's type, a rounded one
        // (0.0005 as DECIMAL(14,3)), one that does not fit (100 as DECIMAL(2,0)), and an exact
        // one whose comparison overflows the dominant type (38 digits and one decimal: Msg 8115).
        {"IF @DO11_TIPODOC = 2 SET @QTA1 = 1\r\nIF @DO11_TIPODOC > 2.5 SET @QTA2 = 1\r\n"
         "IF @QTA1 < 100 SET @COLLI = 1\r\nIF @DO11_TIPODOC <> 100 SET @VOLUME = 1\r\n"
         "IF 0.0005 < @QTA2 SET @PESONETTO = 1",
         {{{"@DO11_TIPODOC = 2"}}, {{"@DO11_TIPODOC = 3", "@QTA2 = 0.001"}}, {{}}}},
        {"DECLARE @D DECIMAL(38,0) = 12345678901234567890123456789012345678\r\nIF @D > 1.0 SET @QTA1 = 1",
         {{}}},
        // Constants computed and converted when compiled, and those that fail as the line runs.
        {"SET @OUTPREZZO = 3 + 1\r\nSET @QTA1 = 7.5 * 2 - 0.25\r\nSET @QTA2 = 2147483647 + 1", {{}}},
        // Decimals computed on their numbers alone: ROUND to either side of the point, a NULL
        // operand, ISNULL's constant replacement, a product that no longer fits the variable (Msg
        // 8115 from the assignment), comparisons of a product and of a rounding, and LIKE's
        // prefix pattern beside one that is not.
        {"SET @OUTPREZZO = ROUND(@INPREZZO * 1.005, 2)\r\nSET @OUTSC1PERC = ROUND(@INPREZZO, -2)\r\n"
         "SET @OUTSC2PERC = ISNULL(@QTA1, 2.5) / 3\r\nSET @QTA2 = @INPREZZO * 1000000000",
         {{{"@INPREZZO = 12.345"}}, {{}}, {{"@INPREZZO = 99999999999.999999", "@QTA1 = 4"}}}},
        {"IF @INPREZZO * 2 > 10.25 SET @QTA1 = 1\r\nIF ROUND(@QTA2, 1) = 0.5 SET @COLLI = 1\r\n"
         "IF @MG66_FAM_MG53 LIKE 'a_%' SET @VOLUME = 1\r\nIF @MG66_FAM_MG53 LIKE 'AB%' SET @PESONETTO = 1",
         {{{"@INPREZZO = 5.125", "@QTA2 = 0.45", "@MG66_FAM_MG53 = 'ab'"}}, {{}}}},
        {"SET @COLLI = 1.0 / 0", {{}}},
        {"SET @DATARIF = '20240315 10:30'\r\nSET @MG66_FAM_MG53 = 'ABCDEFG'\r\nSET @QTA1 = '12.5'\r\n"
         "SET @QTA2 = 'x'",
         {{}}},
        {"IF NOT (@QTA1 = 1) SET @OUTPREZZO = 1\r\nELSE IF @QTA1 IS NULL SET @OUTPREZZO = 2\r\nELSE SET "
         "@OUTPREZZO = 3",
         {{}, {{"@QTA1 = 1"}}, {{"@QTA1 = 2"}}}},
        {"SET @OUTPREZZO = CASE WHEN @QTA1 > 10 THEN 1 WHEN @QTA1 > 5 THEN 2.5 ELSE NULL END",
         {{{"@QTA1 = 11"}}, {{"@QTA1 = 6"}}, {{}}}},
        {"SET @MG66_MARCA_MG64 = CASE @MG66_FAM_MG53 WHEN 'A' THEN 'uno' WHEN 'B' THEN 'due' ELSE "
         "@MG66_FAM_MG53 END",
         {{{"@MG66_FAM_MG53 = 'a '"}}, {{"@MG66_FAM_MG53 = 'C'"}}, {{}}}},
        {"SET @OUTPREZZO = IIF(@QTA1 > 1, 1 / @QTA1, CHOOSE(2, 1 / 0, 7, 8))",
         {{{"@QTA1 = 0"}}, {{"@QTA1 = 4"}}}},
        {"SET @MG66_GRUPFIS_MG61 = CONVERT(VARCHAR(10), @DATARIF, 103)\r\nSET @DATARIF = CONVERT(DATETIME, "
         "'31/12/2024', 103)\r\nSET @QTA1 = TRY_CAST('x' AS INT)",
         {{{"@DATARIF = '20240229'"}}, {{}}}},
        {"SET @OUTPREZZO = CAST(@MG66_FAM_MG53 AS DECIMAL(5,2)) + CONVERT(INT, @DATARIF, 500)",
         {{{"@MG66_FAM_MG53 = '1.5'"}}}},
        {"DECLARE @I INT = 0\r\nWHILE @I < 10\r\nBEGIN\r\n  SET @I += 1\r\n  IF @I = 3 CONTINUE\r\n  IF @I = "
         "7 "
         "BREAK\r\n  SET @OUTPREZZO = ISNULL(@OUTPREZZO, 0) + @I\r\nEND",
         {{}}},
        {"WHILE 1 = 1 SET @QTA1 = ISNULL(@QTA1, 0) + 1", {{}}, 50},
        {"SELECT @QTA1 = 1, @QTA2 = @QTA1 + 1\r\nSET @OUTPREZZO = @@ROWCOUNT", {{{"@QTA1 = 5"}}}},
        {"IF @MG66_FAM_MG53 LIKE 'A%' AND @QTA1 BETWEEN 1 AND 5 AND @MG66_SFAM_MG54 NOT IN ('X', 'Y', "
         "NULL)\r\n"
         "  SET @OUTPREZZO = 1\r\nELSE\r\n  SET @OUTPREZZO = 2",
         {{{"@MG66_FAM_MG53 = 'ab'", "@QTA1 = 5", "@MG66_SFAM_MG54 = 'Z'"}},
          {{"@MG66_FAM_MG53 = 'ab'", "@QTA1 = 5"}}}},
        {"SET @MG66_GRUPFIS_MG61 = UPPER(LEFT(@DO30_CODART_MG66, 3)) + '-' + RTRIM(@MG66_FAM_MG53) + "
         "REPLICATE('x', LEN(@MG66_FAM_MG53))",
         {{{"@DO30_CODART_MG66 = 'abcdef'", "@MG66_FAM_MG53 = 'F1'"}}, {{}}}},
        {"SET @OUTPREZZO = 1\r\nRETURN\r\nSET @OUTPREZZO = 2", {{}}},
        {"SET @OUTPREZZO += 5\r\nSET @OUTPREZZO *= @QTA1\r\nSET @MG66_FAM_MG53 += 'zzzz'",
         {{{"@OUTPREZZO = 2", "@QTA1 = 3", "@MG66_FAM_MG53 = 'a'"}}}},
        {"SET @OUTPREZZO = POWER(10.0, @QTA1) + ROUND(@INPREZZO, 1) + ABS(-@QTA2)",
         {{{"@QTA1 = 2", "@INPREZZO = 1.25", "@QTA2 = 3"}}, {{"@QTA1 = 40"}}}},
        {"IF @DATARIF >= '20240101' SET @QTA1 = DATEDIFF(DAY, '20240101', @DATARIF)\r\n"
         "SET @QTA2 = DATEPART(WEEKDAY, @DATARIF) + YEAR(@DATARIF)",
         {{{"@DATARIF = '20240315 10:00'"}}, {{"@DATARIF = '20231231'"}}}},
    };
    for (const FormulaCase& c : cases)
        for (const Input& row : c.rows)
            expectSame(c.formula, row, c.loopLimit);
}

// What the impact preview's formulas do most, at the edges where a shortcut could go wrong:
// decimals assigned to their own type or rounded half away from zero to a smaller scale, sums and
// products one digit over their precision (Msg 8115), NULLs, negative numbers, ISNULL of both
// kinds (both arguments evaluated, the result converted to the first's type), texts compared
// with trailing blanks and in another case.
TEST_F(CompiledFormula, DecimalsTextsAndIsNullAtTheirEdges) {
    const std::vector<FormulaCase> cases = {
        {"SET @OUTSC1PERC = @INSC1PERC\r\nSET @OUTSC2PERC = @INPREZZO\r\nSET @OUTPREZZO = @INSC1PERC",
         {{{"@INSC1PERC = -999.999", "@INPREZZO = 999.9994"}},
          {{"@INPREZZO = 999.9995"}},
          {{"@INPREZZO = -999.9995"}},
          {{"@INPREZZO = -0.0005", "@INSC1PERC = 0.5"}},
          {{}}}},
        {"SET @OUTSC1PERC = @INSC1PERC * 10\r\nSET @OUTSC2PERC = @INSC1PERC + @INSC1PERC",
         {{{"@INSC1PERC = 99.999"}},
          {{"@INSC1PERC = -100"}},
          {{"@INSC1PERC = 499.9995"}},
          {{"@INSC1PERC = 500"}},
          {{}}}},
        {"SET @OUTPREZZO = @INPREZZO * @INPREZZO\r\nSET @OUTPREZZO = @OUTPREZZO - @INPREZZO",
         {{{"@INPREZZO = 99999.999999"}},
          {{"@INPREZZO = 316227.766016"}},
          {{"@INPREZZO = -316227.766017"}},
          {{"@INPREZZO = -0.000001"}}}},
        {"SET @OUTPREZZO = ROUND(@INPREZZO * 1.01, 4)\r\nSET @OUTSC1PERC = ROUND(@INSC1PERC, 2)",
         {{{"@INPREZZO = 1.00495", "@INSC1PERC = -0.005"}},
          {{"@INPREZZO = -1.00495", "@INSC1PERC = 999.995"}},
          {{}}}},
        {"SET @OUTSC1PERC = ISNULL(@QTA1, 1.0005)\r\nSET @OUTSC2PERC = ISNULL(@OUTSC2PERC, 0) + 0.5\r\n"
         "SET @MG66_MARCA_MG64 = ISNULL(@MG66_FAM_MG53, 'ABCDEFG')",
         {{{"@QTA1 = 2.5", "@OUTSC2PERC = 999.5", "@MG66_FAM_MG53 = 'ab'"}},
          {{"@OUTSC2PERC = 999.499"}},
          {{"@OUTSC2PERC = -999.999"}}}},
        {"SET @OUTSC1PERC = ISNULL(@QTA1, 1 / 0)", {{{"@QTA1 = 1"}}, {{}}}},
        {"SET @OUTSC1PERC = ISNULL(NULL, @QTA1) + ISNULL(@QTA2, NULL)", {{{"@QTA1 = 1", "@QTA2 = 2"}}, {{}}}},
        {"IF @MG66_FAM_MG53 < 'a' SET @QTA1 = 1\r\nIF @MG66_FAM_MG53 > 'A' SET @QTA2 = 1\r\n"
         "IF @MG66_FAM_MG53 = 'Ab' SET @COLLI = 1\r\nIF @DO29_AGENTE_MG17 = N'\u00e9' SET @OUTPREZZO = 1",
         {{{"@MG66_FAM_MG53 = '['", "@DO29_AGENTE_MG17 = N'\u00c9 '"}},
          {{"@MG66_FAM_MG53 = '_'", "@DO29_AGENTE_MG17 = N'f'"}},
          {{"@MG66_FAM_MG53 = 'aB  '"}},
          {{"@MG66_FAM_MG53 = 'a'"}}}},
    };
    for (const FormulaCase& c : cases)
        for (const Input& row : c.rows)
            expectSame(c.formula, row, c.loopLimit);
}

// An IF ... ELSE IF chain as long as the formula makes it is compiled and run link by link.
TEST_F(CompiledFormula, ALongElseIfChain) {
    QString formula = QStringLiteral("IF @QTA1 = 0 SET @QTA2 = 0");
    for (int k = 1; k < 3000; ++k)
        formula += QStringLiteral("\r\nELSE IF @QTA1 = %1 SET @QTA2 = %1 * 2").arg(k);
    formula += QStringLiteral("\r\nELSE SET @QTA2 = 1 / 0");
    for (const char* row : {"@QTA1 = 2999", "@QTA1 = 1", "@QTA1 = 3000"})
        expectSame(formula, {{QString::fromUtf8(row)}});
}

TEST_F(CompiledFormula, CategoryAndVariantLookUps) {
    const QString formula = QStringLiteral("SET @OUTPREZZO = ") + categoryLookup("DECIMAL(17,6)", "124") +
                            QStringLiteral("\r\nSET @MG66_MARCA_MG64 = ") + variantLookup("V02") +
                            QStringLiteral("\r\nIF ") + categoryLookup("VARCHAR(20)", "7") +
                            QStringLiteral(" = 'rosso' SET @QTA1 = 1");
    const QString two = category("124", "1.5") + category("7", "rosso");
    const std::vector<Input> rows = {
        {{}, kCategories.arg(two), kVariants.arg(variant("V01", "a") + variant("V02", "b"))},
        {{}, {}, {}},                                                           // NULL documents
        {{}, kCategories.arg(QString()), kVariants.arg(QString())},             // no node
        {{}, kCategories.arg(category("124", "1") + category("124", "2")), {}}, // two nodes: Msg 512
        {{}, kCategories.arg(category("x", "1") + category("124", "2")), {}},   // a key that does not convert
        {{}, kCategories.arg(category("124", "2") + category("x", "1")), {}},   // the same, after the match
        {{}, kCategories.arg(category("7", "verde") + category("124", "1.5")), {}}, // the same text again
        {{}, kCategories.arg(category("124", "abc")), {}}, // a value that does not convert
        {{}, kCategories.arg(category("124", "abc") + category("7", "rosso")), {}},         // and again
        {{}, kCategories.arg(QStringLiteral("<CATEGORIA IDCATEGORIA_CM01=\"124\"/>")), {}}, // no VALORE
        {{}, kCategories.arg(category("124", "1") + category("124", "zz") + category("124", "3")), {}},
        {{}, {}, kVariants.arg(variant("V02  ", "b") + variant("v02", "c"))},  // trailing blanks, case
        {{}, {}, kVariants.arg(variant("V02", "abcdefghijklmnopqrstuvwxyz"))}, // a value cut to CHAR(20)
    };
    for (const Input& row : rows)
        expectSame(formula, row);
    // One runner through all the rows, twice over: what it keeps from a row (the keys converted,
    // the look-ups' results) never leaks into the next.
    const auto compiled = tsql::compiled::compile(declarations, formula);
    ASSERT_TRUE(compiled.program);
    tsql::compiled::Runner shared(compiled.program);
    for (int round = 0; round < 2; ++round)
        for (const Input& input : rows) {
            const Row row = rowFor(*compiled.program, input);
            tsql::compiled::Runner fresh(compiled.program);
            EXPECT_EQ(describe(shared.run(row)), describe(fresh.run(row))) << input.categories.toStdString();
        }
}

TEST_F(CompiledFormula, LeavesToTheEngineWhatItDoesNotCompile) {
    struct Refused {
        const char* formula;
        const char* construct;
        int line, column;
    };
    const Refused cases[] = {
        {"SET @OUTPREZZO = 1\r\nSELECT @OUTPREZZO AS P", "SELECT returning rows", 2, 1},
        {"EXEC sp_who", "EXEC", 1, 1},
        {"SET @QTA1 = 1\r\nRAISERROR('x', 16, 1)", "RAISERROR", 2, 1},
        {"SET @QTA1 = 1;\r\nTHROW 50000, 'x', 1", "THROW", 2, 1},
        {"SET @OUTPREZZO = (SELECT TOP 1 LP01_ID FROM LP01_PROVIDER)", "a query over the table LP01_PROVIDER",
         1, 18},
        {"PRINT 1", "PRINT", 1, 1},
        {"BEGIN TRY\r\n SET @QTA1 = 1\r\nEND TRY\r\nBEGIN CATCH\r\nEND CATCH", "TRY ... CATCH", 1, 1},
        {"SET @OUTPREZZO = @CM01_IDCATEGORIA.value('(//CATEGORIA/@VALORE)[1]', 'DECIMAL(17,6)')",
         "the xml method value()", 1, 36},
        {"SET @QTA1 = 1 +", "a compile error", 1, 15},
        {"SELECT @QTA1 = LP01_ID FROM LP01_PROVIDER", "a query over the table LP01_PROVIDER", 1, 1},
        {"SET @QTA1 = @NONDICHIARATA", "a compile error", 1, 13},
        {"DECLARE @T TABLE (n INT)", "a table variable", 1, 9},
        {"GOTO fine\r\nfine:", "GOTO", 1, 1},
        {"SET DATEFORMAT dmy", "SET DATEFORMAT", 1, 1},
        {"SET @OUTPREZZO = @@TRANCOUNT", "@@TRANCOUNT", 1, 18},
        {"IF @QTA1 > 0 SET @QTA2 = 1\r\nSET @OUTPREZZO = @@ROWCOUNT", "@@ROWCOUNT before the formula sets it",
         2, 18},
        {"SET @OUTPREZZO = OBJECT_ID('LP01_PROVIDER')", "the function OBJECT_ID", 1, 18},
        {"SET @CM01_IDCATEGORIA = NULL", "an assignment to an xml variable", 1, 5},
        {"IF EXISTS (SELECT 1) SET @QTA1 = 1", "EXISTS", 1, 4},
        {"SET @QTA1 = (SELECT COLS.value('@VALORE', 'INT') FROM "
         "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') "
         "TABLE_DEFINITION(COLS) WHERE COLS.value('@ALTRO', 'INT') = 1)",
         "a sub-query", 1, 13},
        {"BEGIN TRANSACTION", "BEGIN TRANSACTION", 1, 1},
        {"UPDATE LP01_PROVIDER SET LP01_DESCRIZIONE = 'x'", "UPDATE", 1, 1},
    };
    for (const Refused& c : cases) {
        const auto compiled =
            tsql::compiled::compile(check::ProductionDeclarations(), QString::fromUtf8(c.formula));
        SCOPED_TRACE(c.formula);
        ASSERT_FALSE(compiled.program);
        ASSERT_TRUE(compiled.fallback);
        EXPECT_EQ(compiled.fallback->construct.toStdString(), c.construct);
        EXPECT_EQ(compiled.fallback->line, c.line);
        EXPECT_EQ(compiled.fallback->column, c.column);
    }
}

TEST(CompiledFormulaRunner, ALoopStopsAtTheTimeLimitOrWhenCancelled) {
    const auto compiled = tsql::compiled::compile(
        check::ProductionDeclarations(), QStringLiteral("SET @QTA1 = 0\r\nWHILE 1 = 1\r\n  SET @QTA1 += 1"));
    ASSERT_TRUE(compiled.program);
    tsql::Limits limits;
    limits.timeoutMs = 1;
    tsql::compiled::Runner runner(compiled.program, {.limits = limits, .loopLimit = 0, .trace = false});
    const auto& out = runner.run({});
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->number, 3617);
    EXPECT_EQ(out.error->level, 25);
    EXPECT_EQ(out.error->line, 2);
    // A cancel from another thread stops the loop as the time limit does.
    tsql::Limits none;
    none.timeoutMs = 0;
    tsql::compiled::Runner endless(compiled.program, {.limits = none, .loopLimit = 0, .trace = false});
    std::atomic<bool> done{false};
    std::optional<tsql::ServerError> error;
    std::thread worker([&] {
        error = endless.run({}).error;
        done = true;
    });
    while (!done) {
        endless.cancel();
        std::this_thread::yield();
    }
    worker.join();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, 3617);
    EXPECT_EQ(error->line, 2);
}

// A program is shared, read-only, by runners on several threads.
TEST(CompiledFormulaRunner, RunnersOnThreadsShareAProgram) {
    const QString formula =
        QStringLiteral("DECLARE @I INT = 0\r\nWHILE @I < 20 BEGIN SET @I += 1 SET @OUTPREZZO = "
                       "ISNULL(@OUTPREZZO, 0) + @I * 1.5 END\r\nSET @MG66_MARCA_MG64 = "
                       "UPPER(@MG66_FAM_MG53) + 'x'");
    const auto compiled = tsql::compiled::compile(check::ProductionDeclarations(), formula);
    ASSERT_TRUE(compiled.program);
    Row row;
    for (int slot : compiled.program->inputs())
        row.values.push_back(tsql::Value::nullOf(compiled.program->variables()[std::size_t(slot)].type));
    tsql::compiled::Runner reference(compiled.program);
    const std::string expected = describe(reference.run(row));
    std::atomic<int> differences{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            tsql::compiled::Runner runner(compiled.program);
            for (int k = 0; k < 200; ++k)
                if (describe(runner.run(row)) != expected)
                    ++differences;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(differences, 0);
}

TEST(CompiledFormulaNodes, DocumentsTheEngineReadsAndThoseItDoesNot) {
    const auto nodes = tsql::compiled::nodesOf(
        QStringLiteral(
            "<X><CATEGORIE><CATEGORIA IDCATEGORIA_CM01=\"1\" VALORE=\"a\"/><CATEGORIA VALORE=\"b\"/>"
            "</CATEGORIE></X><CATEGORIE><CATEGORIA IDCATEGORIA_CM01=\"3\"/></CATEGORIE>"),
        QStringLiteral("CATEGORIE"), QStringLiteral("CATEGORIA"), QStringLiteral("IDCATEGORIA_CM01"));
    ASSERT_TRUE(nodes);
    // In the order the engine's path gives them: the shallower CATEGORIE first.
    ASSERT_EQ(nodes->size(), 3u);
    EXPECT_EQ((*nodes)[0].key, QStringLiteral("3"));
    EXPECT_FALSE((*nodes)[0].value);
    EXPECT_EQ((*nodes)[1].key, QStringLiteral("1"));
    EXPECT_EQ((*nodes)[1].value, QStringLiteral("a"));
    EXPECT_FALSE((*nodes)[2].key);
    EXPECT_EQ((*nodes)[2].value, QStringLiteral("b"));
    for (const char* bad : {"<CATEGORIE>", "<CATEGORIE><CATEGORIA></CATEGORIE>", "<A x='1' x='2'/>"})
        EXPECT_FALSE(tsql::compiled::nodesOf(QString::fromUtf8(bad), QStringLiteral("CATEGORIE"),
                                             QStringLiteral("CATEGORIA"), QStringLiteral("IDCATEGORIA_CM01")))
            << bad;
}

} // namespace
