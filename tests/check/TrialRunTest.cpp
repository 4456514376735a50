// The trial run of a formula's SQL form on typed values: the elements it reads, the batch, the
// outputs as the server writes them, run-time errors with their line, the trace, and a hostile
// formula that leaves the database as it was.

#include "check/TrialRun.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

using check::TrialElement;
using check::TrialInput;
using checktest::TestDatabase;

TrialInput variable(const char* name, const QString& text) {
    return {*check::declaredElement(QLatin1String(name)), text};
}

TrialInput category(const QString& id, const QString& text) {
    return {{TrialElement::Kind::Category, id, {}, false}, text};
}

TrialInput variant(const QString& code, const QString& text) {
    return {{TrialElement::Kind::Variant, code, {}, false}, text};
}

std::optional<QString> after(const check::TrialResult& r, const char* output) {
    for (const check::TrialOutput& o : r.outputs)
        if (o.element.key == QLatin1String(output))
            return o.after;
    ADD_FAILURE() << "no output " << output;
    return std::nullopt;
}

const QString CategorySql =
    QStringLiteral("( SELECT  COLS.value('@VALORE', 'VARCHAR(20)') AS VALORE   FROM      "
                   "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
                   "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = 123 )");
const QString VariantSql =
    QStringLiteral("( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE   FROM      "
                   "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
                   "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') = 'V01' )");

TEST(TrialElements, VariablesInBlockOrderThenCategoriesAndVariants) {
    const QString sql = QStringLiteral("IF @DO11_SEZDOC = 'A' SET @OUTPREZZO = @attprezzo + 1\r\n"
                                       "SET @OUTSC1PERC = CASE WHEN ") +
                        VariantSql + QStringLiteral(" = 'BLU' THEN 1 END + ") + CategorySql +
                        QStringLiteral(" -- @QTA1 in a comment is not read\r\nSET @OUTPREZZO = @ATTPREZZO");
    const QList<TrialElement> elements = check::trialElements(sql);
    QStringList keys;
    for (const TrialElement& e : elements)
        keys << e.key;
    EXPECT_EQ(keys, (QStringList{"@OUTPREZZO", "@OUTSC1PERC", "@ATTPREZZO", "@DO11_SEZDOC", "123", "V01"}));
    EXPECT_TRUE(elements[0].output);
    EXPECT_EQ(elements[0].type, QStringLiteral("decimal(17,6)"));
    EXPECT_EQ(elements[3].type, QStringLiteral("CHAR(2)"));
    EXPECT_EQ(elements[4].kind, TrialElement::Kind::Category);
    EXPECT_EQ(elements[5].kind, TrialElement::Kind::Variant);
}

TEST(TrialLiteral, ValuesThatDoNotFitAreRefused) {
    const TrialElement price = *check::declaredElement(QStringLiteral("@ATTPREZZO"));
    const TrialElement discount = *check::declaredElement(QStringLiteral("@INSC1PERC"));
    const TrialElement section = *check::declaredElement(QStringLiteral("@DO11_SEZDOC"));
    const TrialElement date = *check::declaredElement(QStringLiteral("@DATARIF"));
    EXPECT_EQ(check::trialLiteral(price, QStringLiteral("110")).literal, QStringLiteral("110.000000"));
    EXPECT_EQ(check::trialLiteral(price, QStringLiteral("12,5")).literal, QStringLiteral("12.500000"));
    EXPECT_EQ(check::trialLiteral(price, QString()).literal, QStringLiteral("NULL"));
    EXPECT_FALSE(check::trialLiteral(discount, QStringLiteral("1000")).error.isEmpty()); // decimal(6,3)
    EXPECT_FALSE(check::trialLiteral(price, QStringLiteral("abc")).error.isEmpty());
    EXPECT_FALSE(check::trialLiteral(section, QStringLiteral("ABC")).error.isEmpty()); // CHAR(2)
    EXPECT_EQ(check::trialLiteral(section, QStringLiteral("O'")).literal, QStringLiteral("N'O'''"));
    EXPECT_EQ(check::trialLiteral(date, QStringLiteral("31/01/2024")).literal,
              QStringLiteral("'20240131 00:00:00.000'"));
    EXPECT_EQ(check::trialLiteral(date, QStringLiteral("2024-01-31")).literal,
              QStringLiteral("'20240131 00:00:00.000'"));
    EXPECT_FALSE(check::trialLiteral(date, QStringLiteral("31/02/2024")).error.isEmpty());
    EXPECT_FALSE(check::trialLiteral(section, QStringLiteral("A\nB")).error.isEmpty());
}

// The layout of a batch (no text) has the lines of the whole batch, whatever line breaks the
// values bring; a value refused is refused the same way.
TEST(TrialBatch, LayoutHasTheLinesOfTheWholeText) {
    const QString sql = QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = 2\r\n");
    struct Row {
        const char* what;
        QList<TrialInput> inputs;
    };
    const Row rows[] = {
        {"no values", {}},
        {"a number", {variable("@ATTPREZZO", QStringLiteral("12,5"))}},
        {"no number", {variable("@ATTPREZZO", QString())}},
        {"a category with a line break", {category(QStringLiteral("123"), QStringLiteral("A\r\nB"))}},
        {"a variant with line breaks",
         {variant(QStringLiteral("V\n01"), QStringLiteral("BLU\n\nX")),
          category(QStringLiteral("1"), QStringLiteral("R"))}},
        {"a value refused", {variable("@INSC1PERC", QStringLiteral("1000"))}},
    };
    for (const Row& row : rows) {
        const check::TrialBatch whole = check::trialBatch(sql, row.inputs);
        const check::TrialBatch layout = check::trialBatch(sql, row.inputs, {}, check::TrialText::Layout);
        EXPECT_TRUE(layout.text.isEmpty()) << row.what;
        EXPECT_EQ(layout.refusedKey, whole.refusedKey) << row.what;
        EXPECT_EQ(layout.refusal, whole.refusal) << row.what;
        EXPECT_EQ(layout.prefixLines, whole.prefixLines) << row.what;
        EXPECT_EQ(layout.formulaLines, whole.formulaLines) << row.what;
        if (!whole.refusedKey.isEmpty())
            continue;
        EXPECT_EQ(whole.prefixLines, whole.text.left(whole.prefixLength).count(u'\n')) << row.what;
        EXPECT_EQ(whole.formulaLines, 3) << row.what;
    }
}

// Every run twice: where the compiled evaluator may run it, and on the engine alone.
class TrialRunTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { CHECK_REQUIRE_ENGINE(db); }
    check::TrialResult run(const QString& sql, const QList<TrialInput>& inputs, bool trace = false) {
        check::TrialOptions options;
        options.trace = trace;
        options.compiled = GetParam();
        return check::runTrial(*db.connection, sql, inputs, options);
    }
    TestDatabase db;
};

TEST_P(TrialRunTest, ArithmeticWithTheDeclaredScales) {
    const check::TrialResult r =
        run(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50\r\nSET @OUTSC1PERC = @ATTPREZZO / 3"),
            {variable("@ATTPREZZO", QStringLiteral("60"))});
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("110.000000"));
    EXPECT_EQ(after(r, "@OUTSC1PERC"), QStringLiteral("20.000")); // rounded on assignment to decimal(6,3)
    EXPECT_EQ(after(r, "@OUTSC2PERC"), std::nullopt);
    EXPECT_TRUE(r.outputs[0].changed());
    EXPECT_FALSE(r.executedLines.has_value()); // not asked for
}

TEST_P(TrialRunTest, RoundingOnAssignmentToDecimal63) {
    const check::TrialResult r = run(QStringLiteral("SET @OUTSC1PERC = @INSC1PERC / 3"),
                                     {variable("@INSC1PERC", QStringLiteral("10"))});
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(after(r, "@OUTSC1PERC"), QStringLiteral("3.333"));
}

TEST_P(TrialRunTest, StartingValueOfAnOutput) {
    const check::TrialResult r = run(QStringLiteral("SET @OUTSC2PERC = @OUTSC2PERC * 2"),
                                     {variable("@OUTSC2PERC", QStringLiteral("1.5"))});
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(r.outputs[2].before, QStringLiteral("1.500"));
    EXPECT_EQ(r.outputs[2].after, QStringLiteral("3.000"));
    EXPECT_FALSE(r.outputs[0].changed());
}

TEST_P(TrialRunTest, IfElseOnACharacterField) {
    const QString sql = QStringLiteral("IF @DO11_SEZDOC = 'A'\r\n    SET @OUTPREZZO = 1\r\nELSE\r\n"
                                       "    SET @OUTPREZZO = 2");
    check::TrialResult r = run(sql, {variable("@DO11_SEZDOC", QStringLiteral("A"))}, true);
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("1.000000"));
    ASSERT_TRUE(r.executedLines.has_value());
    EXPECT_EQ(*r.executedLines, (QList<int>{1, 2}));
    r = run(sql, {variable("@DO11_SEZDOC", QStringLiteral("B"))}, true);
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("2.000000"));
    EXPECT_EQ(*r.executedLines, (QList<int>{1, 4}));
}

TEST_P(TrialRunTest, CategoryAndVariantThroughTheXmlVariables) {
    const QString sql = QStringLiteral("IF ") + CategorySql + QStringLiteral(" = 'ROSSO' AND ") + VariantSql +
                        QStringLiteral(" = 'BLU' SET @OUTPREZZO = 7 ELSE SET @OUTPREZZO = 8");
    check::TrialResult r = run(sql, {category(QStringLiteral("123"), QStringLiteral("ROSSO")),
                                     variant(QStringLiteral("V01"), QStringLiteral("BLU"))});
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("7.000000"));
    r = run(sql, {category(QStringLiteral("123"), QStringLiteral("VERDE")),
                  variant(QStringLiteral("V01"), QStringLiteral("BLU"))});
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("8.000000"));
    // Markup in a value stays text.
    r = run(QStringLiteral("SET @OUTPREZZO = LEN(") + VariantSql + QStringLiteral(")"),
            {variant(QStringLiteral("V01"), QStringLiteral("<a&\"'>"))});
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("6.000000"));
}

TEST_P(TrialRunTest, IsNullOnAnEmptyInput) {
    const check::TrialResult r =
        run(QStringLiteral("SET @OUTPREZZO = ISNULL(@ATTPREZZO, 99)"), {variable("@ATTPREZZO", QString())});
    ASSERT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(after(r, "@OUTPREZZO"), QStringLiteral("99.000000"));
}

TEST_P(TrialRunTest, DivideByZeroReportedWithItsLine) {
    const check::TrialResult r = run(QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = @ATTPREZZO / 0"),
                                     {variable("@ATTPREZZO", QStringLiteral("5"))});
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(r.formulaLine, 2);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Msg 8134, Level 16, State 1, Line 2:")))
        << r.message.toStdString();
}

TEST_P(TrialRunTest, ValueThatDoesNotFitRunsNothing) {
    const qint64 before = db.connection->statementCount();
    const check::TrialResult r =
        run(QStringLiteral("SET @OUTPREZZO = 1"), {variable("@INSC1PERC", QStringLiteral("12345"))});
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(r.refusedKey, QStringLiteral("@INSC1PERC"));
    EXPECT_EQ(db.connection->statementCount(), before);
}

TEST_P(TrialRunTest, HostileFormulaLeavesTheDatabaseIdentical) {
    const QString dump = db.dump();
    check::TrialResult r = run(QStringLiteral("DELETE FROM LP01_PROVIDER\r\nSET @OUTPREZZO = 1"), {});
    EXPECT_TRUE(r.ran) << r.message.toStdString();
    EXPECT_EQ(db.dump(), dump);
    r = run(QStringLiteral("DELETE FROM LP01_PROVIDER\r\nCOMMIT\r\nDELETE FROM LP07_QUOTAZIONI"), {});
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(r.formulaLine, 2);
    EXPECT_EQ(db.dump(), dump);
}

INSTANTIATE_TEST_SUITE_P(Paths, TrialRunTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "CompiledWherePossible" : "EngineOnly";
                         });

} // namespace
