// Values and message texts of the engine's type rules, where a verdict alone says too little:
// texts in table columns read as numbers against a number, the type integers compute in, and
// the server's wording of each overflow and NULL-constant error.

#include "tsql/Engine.h"
#include "tsql/Session.h"

#include "TestDb.h"

#include <gtest/gtest.h>

using tsql::RunResult;
using tsql::Session;

namespace {

class TypesTest : public tsqltest::SessionTest {
protected:
    // The rows of the first result set, cells joined with '|' and rows with ';'.
    QString rows(const QString& batch) { return tsqltest::rowTexts(ok(batch)).join(u';'); }

    // The error of a batch: "Msg N: text".
    QString errorText(const QString& batch) {
        RunResult r = session.run(batch);
        if (!r.error)
            return QStringLiteral("accepted");
        return QStringLiteral("Msg %1: %2").arg(r.error->number).arg(r.error->message);
    }

    // Codes that all read as numbers, the first with a leading zero.
    void numericCodes() {
        rows(QStringLiteral("DELETE FROM MG5F_DIMECONF"));
        for (const char* code : {"05", "7", "12"})
            rows(
                QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR) VALUES (1, '%1')")
                    .arg(QString::fromLatin1(code)));
    }
};

// A char column against a number compares as numbers: '05' = 5, and '12' > 6 although the text
// '12' sorts before '6'.
TEST_F(TypesTest, TextColumnsAgainstNumbersCompareAsNumbers) {
    numericCodes();
    const QString select =
        QStringLiteral("SELECT RTRIM(MG5F_CODICEVAR) FROM MG5F_DIMECONF WHERE %1 ORDER BY 1");
    EXPECT_EQ(rows(select.arg(QStringLiteral("MG5F_CODICEVAR = 5"))), QStringLiteral("05"));
    EXPECT_EQ(rows(select.arg(QStringLiteral("MG5F_CODICEVAR > 6"))), QStringLiteral("12;7"));
    EXPECT_EQ(rows(select.arg(QStringLiteral("MG5F_CODICEVAR IN (5, 12)"))), QStringLiteral("05;12"));
    EXPECT_EQ(rows(select.arg(QStringLiteral("MG5F_CODICEVAR BETWEEN 6 AND 10"))), QStringLiteral("7"));
    EXPECT_EQ(rows(select.arg(QStringLiteral("MG5F_CODICEVAR = CAST(7 AS decimal(10,2))"))),
              QStringLiteral("7"));
    // Against numeric(2,1) every text is read as numeric(2,1): '12' does not fit.
    EXPECT_EQ(errorText(QStringLiteral("SELECT COUNT(*) FROM MG5F_DIMECONF WHERE MG5F_CODICEVAR = 7.0")),
              QStringLiteral("Msg 8115: Arithmetic overflow error converting varchar to data type numeric."));
    EXPECT_EQ(
        rows(QStringLiteral("SELECT MG5F_CODICEVAR * 2, MG5F_CODICEVAR / 2 FROM MG5F_DIMECONF ORDER BY 1")),
        QStringLiteral("10|2;14|3;24|6"));
    EXPECT_EQ(rows(QStringLiteral("SELECT CASE MG5F_CODICEVAR WHEN 5 THEN 'five' ELSE 'other' END FROM "
                                  "MG5F_DIMECONF ORDER BY 1")),
              QStringLiteral("five;other;other"));
}

// The first value that reads as no number stops the query, and the message names it as the
// char(20) column holds it, blanks included.
TEST_F(TypesTest, ATextThatIsNoNumberFailsOnItsRow) {
    numericCodes();
    rows(QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR) VALUES (2, 'X9')"));
    EXPECT_EQ(
        errorText(QStringLiteral("SELECT COUNT(*) FROM MG5F_DIMECONF WHERE MG5F_CODICEVAR = 5")),
        QStringLiteral("Msg 245: Conversion failed when converting the varchar value 'X9                  ' "
                       "to data type int."));
    EXPECT_EQ(
        errorText(QStringLiteral("SELECT MAX(CAST(MG5F_CODICEVAR AS int)) FROM MG5F_DIMECONF")),
        QStringLiteral("Msg 245: Conversion failed when converting the varchar value 'X9                  ' "
                       "to data type int."));
    EXPECT_EQ(rows(QStringLiteral("SELECT MAX(CAST(MG5F_CODICEVAR AS decimal(5,1))) FROM MG5F_DIMECONF WHERE "
                                  "MG5F_DITTA_CG18 = 1")),
              QStringLiteral("12.0"));
    EXPECT_EQ(
        errorText(QStringLiteral("SELECT MAX(CAST(MG5F_CODICEVAR AS tinyint) * 30) FROM MG5F_DIMECONF WHERE "
                                 "MG5F_DITTA_CG18 = 1")),
        QStringLiteral("accepted"));
    EXPECT_EQ(
        errorText(QStringLiteral("SELECT MAX(CAST(MG5F_CODICEVAR * 30 AS tinyint)) FROM MG5F_DIMECONF WHERE "
                                 "MG5F_DITTA_CG18 = 1")),
        QStringLiteral("Msg 220: Arithmetic overflow error for data type tinyint, value = 360."));
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = 1 AND "
                                  "MG5F_CODICEVAR = 5")),
              QStringLiteral("1"));
}

// tinyint and smallint keep their type in arithmetic between them; with an int they compute in
// int.
TEST_F(TypesTest, SmallIntegersKeepTheirTypeInArithmetic) {
    EXPECT_EQ(rows(QStringLiteral("DECLARE @t tinyint = 100 SELECT @t + @t, @t + 200, @t * 3")),
              QStringLiteral("200|300|300"));
    EXPECT_EQ(
        errorText(QStringLiteral("DECLARE @t tinyint = 200 SELECT @t + @t")),
        QStringLiteral("Msg 8115: Arithmetic overflow error converting expression to data type tinyint."));
    EXPECT_EQ(
        errorText(QStringLiteral("DECLARE @t tinyint = 1 SELECT @t - CAST(2 AS tinyint)")),
        QStringLiteral("Msg 8115: Arithmetic overflow error converting expression to data type tinyint."));
    EXPECT_EQ(
        errorText(QStringLiteral("DECLARE @s smallint = 300 SELECT @s * @s")),
        QStringLiteral("Msg 8115: Arithmetic overflow error converting expression to data type smallint."));
}

TEST_F(TypesTest, OverflowMessagesNameTheTargetType) {
    const struct {
        const char* batch;
        const char* message;
    } cases[] = {
        {"DECLARE @t tinyint SET @t = 300",
         "Msg 220: Arithmetic overflow error for data type tinyint, value = 300."},
        {"SELECT CAST(-5 AS tinyint)",
         "Msg 220: Arithmetic overflow error for data type tinyint, value = -5."},
        {"SELECT CAST(40000.75 AS smallint)",
         "Msg 220: Arithmetic overflow error for data type smallint, value = 40000."},
        {"SELECT CAST(2147483648 AS int)",
         "Msg 8115: Arithmetic overflow error converting expression to data type int."},
        {"SELECT CAST(1e10 AS int)",
         "Msg 232: Arithmetic overflow error for type int, value = 10000000000.000000."},
        {"DECLARE @r real = 12345.12 DECLARE @t tinyint SET @t = @r",
         "Msg 232: Arithmetic overflow error for type tinyint, value = 12345.120117."},
        {"SELECT CAST('300' AS tinyint)", "Msg 244: The conversion of the varchar value '300' overflowed an "
                                          "INT1 column. Use a larger integer column."},
        {"SELECT CAST('-40000' AS smallint)", "Msg 244: The conversion of the varchar value '-40000' "
                                              "overflowed an INT2 column. Use a larger integer "
                                              "column."},
        {"SELECT CAST('2147483648' AS int)",
         "Msg 248: The conversion of the varchar value '2147483648' overflowed an int column."},
        {"SELECT CAST('9223372036854775808' AS bigint)",
         "Msg 8114: Error converting data type varchar to bigint."},
        {"DECLARE @d decimal(5,2) SET @d = 1000",
         "Msg 8115: Arithmetic overflow error converting int to data type numeric."},
        {"SELECT CAST(12345.6 AS decimal(5,1))",
         "Msg 8115: Arithmetic overflow error converting numeric to data type numeric."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorText(QString::fromUtf8(c.batch)), QString::fromUtf8(c.message)) << c.batch;
}

TEST_F(TypesTest, OperatorAndNullConstantMessages) {
    const struct {
        const char* batch;
        const char* message;
    } cases[] = {
        {"SELECT 'a' - 'b'", "Msg 8117: Operand data type varchar is invalid for subtract operator."},
        {"SELECT N'a' % 'b'", "Msg 8117: Operand data type nvarchar is invalid for modulo operator."},
        {"DECLARE @d date SELECT @d + 1", "Msg 206: Operand type clash: date is incompatible with int"},
        {"DECLARE @d date SELECT 1.5 + @d", "Msg 206: Operand type clash: numeric is incompatible with date"},
        {"SELECT CASE WHEN 1 = 1 THEN NULL END", "Msg 8133: At least one of the result expressions in a CASE "
                                                 "specification must be an expression other "
                                                 "than the NULL constant."},
        {"SELECT COALESCE(NULL, NULL)",
         "Msg 4127: At least one of the arguments to COALESCE must be an expression that is not the NULL "
         "constant."},
        {"SELECT NULLIF(NULL, 1)", "Msg 4151: The type of the first argument to NULLIF cannot be the NULL "
                                   "constant because the type of the "
                                   "first argument has to be known."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorText(QString::fromUtf8(c.batch)), QString::fromUtf8(c.message)) << c.batch;
    EXPECT_EQ(rows(QStringLiteral("SELECT ISNULL(NULL, NULL), COALESCE(NULL, 2), 'A' + 'B'")),
              QStringLiteral("<NULL>|2|AB"));
}

// Rounding and products at the edge of 128 bits: the largest decimal rounded to 10^38, a bigint
// rounded beyond its range, and a product of exactly -2^127 overflow as the server says; a
// rounding past every digit is 0 ("ROUND returns 0 when length is negative and larger than the
// number of digits before the decimal point").
TEST_F(TypesTest, RoundingAndProductsAtTheEdgeOf128Bits) {
    const char* nines = "CAST(99999999999999999999999999999999999999 AS DECIMAL(38,0))";
    const QString numericOverflow =
        QStringLiteral("Msg 8115: Arithmetic overflow error converting expression to data type numeric.");
    struct Case {
        QString batch;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("SELECT ROUND(%1, -38)").arg(QLatin1String(nines)), numericOverflow},
        {QStringLiteral("SELECT ROUND(-%1, -38)").arg(QLatin1String(nines)), numericOverflow},
        {QStringLiteral("SELECT ROUND(%1, -39)").arg(QLatin1String(nines)), QStringLiteral("0")},
        {QStringLiteral("SELECT ROUND(%1, -38, 1)").arg(QLatin1String(nines)), QStringLiteral("0")},
        {QStringLiteral("SELECT ROUND(%1, -2147483647)").arg(QLatin1String(nines)), QStringLiteral("0")},
        {QStringLiteral("SELECT ROUND(CAST(49999999999999999999999999999999999999 AS DECIMAL(38,0)), -38)"),
         QStringLiteral("0")},
        {QStringLiteral("SELECT ROUND(CAST(0.99999999999999999999999999999999999999 AS DECIMAL(38,38)), 0)"),
         numericOverflow},
        {QStringLiteral("SELECT ROUND(CAST(9223372036854775807 AS BIGINT), -19)"),
         QStringLiteral("Msg 8115: Arithmetic overflow error converting expression to data type bigint.")},
        {QStringLiteral("SELECT ROUND(CAST(4999999999999999999 AS BIGINT), -19)"), QStringLiteral("0")},
        {QStringLiteral("SELECT ROUND(CAST(-9223372036854775807 AS BIGINT), -20)"), QStringLiteral("0")},
        {QStringLiteral("SELECT ROUND(CAST(9223372036854775807 AS BIGINT), -18)"),
         QStringLiteral("9000000000000000000")},
        {QStringLiteral("SELECT CAST(18446744073709551616 AS DECIMAL(38,0)) * "
                        "CAST(-9223372036854775808 AS DECIMAL(38,0))"),
         QStringLiteral("Msg 8115: Arithmetic overflow error converting expression to data type numeric.")},
    };
    for (const Case& c : cases) {
        RunResult r = session.run(c.batch);
        const QString got = r.error ? QStringLiteral("Msg %1: %2").arg(r.error->number).arg(r.error->message)
                                    : tsqltest::rowTexts(r).join(u';');
        EXPECT_EQ(got, c.expected) << c.batch.toStdString();
    }
}

} // namespace
