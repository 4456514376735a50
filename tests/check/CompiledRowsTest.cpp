// The values a row of trial inputs leaves in the variables, converted through the per-position
// cache the impact preview keeps from row to row, against the same rows converted afresh (the
// literal, then the SET's conversion): the same value, type and null for every variable, and the
// same refusal, whatever the rows before left in the cache.

#include "check/CompiledRows.h"

#include <gtest/gtest.h>

namespace {

namespace compiledrows = check::compiledrows;
using check::TrialInput;

TrialInput variable(const char* name, const QString& text) {
    return {*check::declaredElement(QLatin1String(name)), text};
}

// A value as an expectation shows it: its type, precision, scale, length and text, or NULL.
QString shown(const tsql::Value& v) {
    return QStringLiteral("%1(%2,%3,%4) %5")
        .arg(v.type.name())
        .arg(v.type.precision)
        .arg(v.type.scale)
        .arg(v.type.length)
        .arg(v.null ? QStringLiteral("NULL") : tsql::toText(v));
}

// Every variable's value, or "refused" when the row goes to the engine.
QStringList valuesOf(const std::optional<compiledrows::InitialValues>& values) {
    if (!values)
        return {QStringLiteral("refused")};
    QStringList out;
    for (const tsql::Value& v : values->initial)
        out << shown(v);
    return out;
}

const compiledrows::CompiledTrial& trial() {
    static const compiledrows::CompiledTrial t =
        compiledrows::compileTrial(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"));
    return t;
}

// One table of cells per type: each text is given in every position order, after every other
// text of the table, so that every cached value meets every text that follows it.
struct Column {
    const char* variable;
    QStringList texts;
};

const std::vector<Column>& columns() {
    static const std::vector<Column> table{
        {"@QTA1", // DECIMAL(14,3): Italian comma, rounding at the scale, overflow, blanks
         {"1,5",
          "1.5",
          "1,5",
          " 1,5 ",
          "1.2345",
          "1.2344",
          "1.2355",
          "-1.2345",
          "0,0005",
          "99999999999.999",
          "999999999999",
          "99999999999.9995",
          "1e3",
          "abc",
          "",
          " ",
          "1,2,3",
          "1.234,5",
          "+7",
          "-0",
          "00012",
          ".5",
          "5.",
          ","}},
        {"@DITTA", // DECIMAL(5,0)
         {"1", "1,4", "1,5", "2,5", "-2,5", "99999", "99999,4", "99999,5", "100000", "", "x"}},
        {"@DO30_ID_CO1A", // BIGINT
         {"1", "9223372036854775807", "9223372036854775808", "-9223372036854775808", "1,5", "1.0", "", "  "}},
        {"@DATARIF", // DATETIME
         {"31/12/2024", "31/12/2024 23:59", "31/12/2024 23:59:59", "29/02/2023", "29/02/2024", "2024-12-31",
          "20241231", "20241231 10:00:00.997", "20241231 10:00:00.999", "1/1/1753", "31/12/1752", "",
          "oggi"}},
        {"@DO11_SEZDOC", // CHAR(2)
         {"A", "AB", "ABC", " A", "A ", "", "  ", "à", "\u20ac"}},
        {"@DO29_AGENTE_MG17", // NCHAR(20)
         {"Rossi", "Rossi ", "\u4e2d\u6587", "", QString(21, u'x'), QString(20, u'x')}},
    };
    return table;
}

TEST(CompiledRowsTest, CachedConversionEqualsFreshOne) {
    ASSERT_TRUE(trial().compiled.program);
    compiledrows::ConvertedInputs cache;
    compiledrows::InitialValues reused;
    int compared = 0;
    for (const Column& column : columns()) {
        // Every pair of texts one after the other in the same position, then the whole column
        // in one row after another column's row (another element in the same position).
        for (const QString& before : column.texts) {
            for (const QString& text : column.texts) {
                for (const QString& cell : {before, text}) {
                    const QList<TrialInput> row{variable(column.variable, cell)};
                    const std::optional<compiledrows::InitialValues> fresh =
                        compiledrows::initialValues(trial(), row, {});
                    const bool ok = compiledrows::fillInitialValues(trial(), row, {}, reused, cache);
                    EXPECT_EQ(ok, fresh.has_value()) << column.variable << " '" << cell.toStdString() << "'";
                    EXPECT_EQ(valuesOf(ok ? std::optional(reused) : std::nullopt), valuesOf(fresh))
                        << column.variable << " '" << cell.toStdString() << "' after '"
                        << before.toStdString() << "'";
                    ++compared;
                }
            }
        }
    }
    // The same texts under other elements in one position: the cache keys by element too.
    for (const Column& a : columns())
        for (const Column& b : columns())
            for (const QString& text : a.texts) {
                for (const char* name : {a.variable, b.variable}) {
                    const QList<TrialInput> row{variable(name, text), variable("@QTA2", text)};
                    const std::optional<compiledrows::InitialValues> fresh =
                        compiledrows::initialValues(trial(), row, {});
                    const bool ok = compiledrows::fillInitialValues(trial(), row, {}, reused, cache);
                    EXPECT_EQ(valuesOf(ok ? std::optional(reused) : std::nullopt), valuesOf(fresh))
                        << name << " '" << text.toStdString() << "'";
                    ++compared;
                }
            }
    EXPECT_GT(compared, 1000);
}

// A plain number is read without its literal (a file's prices, all different): the value is the
// one the SET of its literal gives; one that rounds past the type's digits is left to the literal.
TEST(CompiledRowsTest, PlainNumberEqualsItsLiteralsValue) {
    int plain = 0;
    const QStringList edges{"9999999999.9995", "99999999999.9994", "00099999999999.9", "-9999999999.99949",
                            "7."};
    for (const Column& column : columns())
        for (const QString& text : column.texts + edges) {
            const TrialInput input = variable(column.variable, text);
            const std::optional<tsql::Value> fast = check::trialPlainNumber(input.element, text);
            if (!fast)
                continue;
            ++plain;
            const check::TrialLiteral literal = check::trialLiteral(input.element, text);
            ASSERT_TRUE(literal.error.isEmpty()) << text.toStdString();
            const std::optional<tsql::Value> slow =
                compiledrows::assignedValue(input, literal.literal, *tsql::parseTypeName(input.element.type));
            ASSERT_TRUE(slow) << text.toStdString();
            EXPECT_EQ(shown(*fast), shown(*slow)) << column.variable << " '" << text.toStdString() << "'";
        }
    EXPECT_GT(plain, 10);
    EXPECT_FALSE(check::trialPlainNumber(*check::declaredElement(QStringLiteral("@QTA1")),
                                         QStringLiteral("99999999999.9995")));
}

// A position whose texts seldom repeat stops keeping them: its values are the same after that.
TEST(CompiledRowsTest, PositionOfFewRepeatsConvertsEveryText) {
    compiledrows::ConvertedInputs cache;
    compiledrows::InitialValues reused;
    QStringList texts;
    for (int i = 0; i < 5000; ++i)
        texts << QStringLiteral("%1,%2").arg(i).arg(i % 10000, 4, 10, QLatin1Char('0'));
    texts << columns().front().texts << texts.mid(0, 10);
    for (const QString& text : texts) {
        const QList<TrialInput> row{variable("@QTA1", text), variable("@DITTA", text.left(3))};
        const std::optional<compiledrows::InitialValues> fresh =
            compiledrows::initialValues(trial(), row, {});
        const bool ok = compiledrows::fillInitialValues(trial(), row, {}, reused, cache);
        ASSERT_EQ(valuesOf(ok ? std::optional(reused) : std::nullopt), valuesOf(fresh)) << text.toStdString();
    }
}

// A refused row leaves nothing behind: the next row's values are its own.
TEST(CompiledRowsTest, RowAfterRefusedRowHasItsOwnValues) {
    compiledrows::ConvertedInputs cache;
    compiledrows::InitialValues reused;
    const QList<TrialInput> good{variable("@QTA1", QStringLiteral("2,5")),
                                 variable("@DITTA", QStringLiteral("7"))};
    const QList<TrialInput> bad{variable("@QTA1", QStringLiteral("abc")),
                                variable("@DITTA", QStringLiteral("8"))};
    const QList<TrialInput> partial{variable("@QTA1", QString()), variable("@DITTA", QStringLiteral("7"))};
    for (const QList<TrialInput>* row : {&good, &bad, &good, &partial, &good, &partial}) {
        const std::optional<compiledrows::InitialValues> fresh =
            compiledrows::initialValues(trial(), *row, {});
        const bool ok = compiledrows::fillInitialValues(trial(), *row, {}, reused, cache);
        EXPECT_EQ(valuesOf(ok ? std::optional(reused) : std::nullopt), valuesOf(fresh));
    }
}

} // namespace
