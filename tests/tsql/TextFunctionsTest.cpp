// The string, format and table-valued functions that answer with a type of their own: the type
// and length of each result, the column STRING_SPLIT names, the same values whether the engine or
// SQLite computes them, and the exact texts of their messages.

#include "TestDb.h"

#include <gtest/gtest.h>

namespace {

class TextFunctionsTest : public tsqltest::SessionTest {};

struct TypeCase {
    const char* expression;
    tsql::TypeId type;
    int length; // -1: (max)
};

// "STRING_AGG (Transact-SQL)", "QUOTENAME", "FORMAT", "PATINDEX": return types.
const TypeCase kTypes[] = {
    {"QUOTENAME('a')", tsql::TypeId::NVarChar, 258},
    {"FORMAT(1, 'N')", tsql::TypeId::NVarChar, 4000},
    {"STRING_AGG(CAST('a' AS VARCHAR(10)), ',')", tsql::TypeId::VarChar, 8000},
    {"STRING_AGG(CAST('a' AS NVARCHAR(10)), ',')", tsql::TypeId::NVarChar, 4000},
    {"STRING_AGG(CAST('a' AS VARCHAR(MAX)), ',')", tsql::TypeId::VarChar, -1},
    {"STRING_AGG(1, ',')", tsql::TypeId::NVarChar, 4000},
    {"TRANSLATE(CAST('a' AS VARCHAR(7)), 'a', 'b')", tsql::TypeId::VarChar, 7},
    {"TRIM('x' FROM CAST('a' AS NCHAR(5)))", tsql::TypeId::NVarChar, 5},
};

TEST_F(TextFunctionsTest, ResultTypes) {
    for (const TypeCase& c : kTypes) {
        const tsql::RunResult r = ok(QStringLiteral("SELECT %1").arg(QLatin1String(c.expression)));
        ASSERT_EQ(r.resultSets.size(), 1u) << c.expression;
        EXPECT_EQ(r.resultSets[0].types[0].id, c.type) << c.expression;
        EXPECT_EQ(r.resultSets[0].types[0].length, c.length) << c.expression;
    }
    const tsql::RunResult big =
        ok(QStringLiteral("SELECT PATINDEX('%a%', CAST('a' AS VARCHAR(MAX))), PATINDEX('%a%', 'a')"));
    EXPECT_EQ(big.resultSets[0].types[0].id, tsql::TypeId::BigInt);
    EXPECT_EQ(big.resultSets[0].types[1].id, tsql::TypeId::Int);
}

TEST_F(TextFunctionsTest, StringSplitHasOneColumnNamedValueOfTheTextsKind) {
    const tsql::RunResult r = ok(QStringLiteral("SELECT * FROM STRING_SPLIT(N'x|y|', '|')"));
    ASSERT_EQ(r.resultSets.size(), 1u);
    EXPECT_EQ(r.resultSets[0].columns, QStringList{QStringLiteral("value")});
    EXPECT_EQ(r.resultSets[0].types[0].id, tsql::TypeId::NVarChar);
    EXPECT_EQ(tsqltest::rowTexts(r), (QStringList{QStringLiteral("x"), QStringLiteral("y"), QString()}));
}

// A function computed by the engine for a variable and by SQLite over a table's row gives one
// value.
TEST_F(TextFunctionsTest, EngineAndTableGiveTheSameValues) {
    const char* expressions[] = {
        "PATINDEX('%o%', CM01_DESCR)",       "CONCAT_WS('-', CM01_DESCR, NULL, CM01_IDCATEGORIA)",
        "TRANSLATE(CM01_DESCR, 'oe', '0E')", "QUOTENAME(RTRIM(CM01_DESCR), '(')",
        "TRIM('C ' FROM CM01_CODICE)",       "FORMAT(CM01_IDCATEGORIA * 1000.5, '#,##0.0', 'it-IT')",
    };
    for (const char* x : expressions) {
        const QString overTable =
            QStringLiteral("SELECT %1 FROM CM01_CATEGORIECOMM ORDER BY CM01_IDCATEGORIA")
                .arg(QLatin1String(x));
        const QString inEngine =
            QStringLiteral(
                "SELECT %1 FROM (SELECT CAST(CM01_IDCATEGORIA AS DECIMAL(10,0)) AS CM01_IDCATEGORIA, "
                "CAST(CM01_CODICE AS CHAR(10)) AS CM01_CODICE, CAST(CM01_DESCR AS VARCHAR(80)) AS "
                "CM01_DESCR FROM (VALUES (123, 'C01', 'Colore    '), (124, 'c02', 'Peso'), (125, 'C03', "
                "'Altra ditta')) AS v(CM01_IDCATEGORIA, CM01_CODICE, CM01_DESCR)) AS t ORDER BY "
                "CM01_IDCATEGORIA")
                .arg(QLatin1String(x));
        EXPECT_EQ(tsqltest::rowTexts(ok(overTable)), tsqltest::rowTexts(ok(inEngine))) << x;
    }
}

struct MessageCase {
    const char* batch;
    const char* message;
};

const MessageCase kMessages[] = {
    {"SELECT TRANSLATE('a', 'ab', 'c')",
     "The second and third arguments of the TRANSLATE built-in function must contain an equal number of "
     "characters."},
    {"SELECT FORMAT(1, 'N', 'xx yy')",
     "The culture parameter 'xx yy' provided in the function call is not supported."},
    {"SELECT PARSE('x1' AS decimal(5, 2) USING 'it-IT')",
     "Error converting string value 'x1' into data type decimal using culture 'it-IT'."},
    {"SELECT value FROM STRING_SPLIT('a', 'ab')",
     "Procedure expects parameter 'separator' of type 'nchar(1)/nvarchar(1)'."},
    {"DECLARE @d DATE = '2020-01-01' SELECT DATEADD(iso_week, 1, @d)",
     "The datepart iso_week is not supported by date function dateadd for data type date."},
    {"SELECT STRING_AGG(v, ',') FROM (VALUES (REPLICATE('a', 8000)), ('b')) AS t(v)",
     "STRING_AGG aggregation result exceeded the limit of 8000 bytes. Use LOB types to avoid result "
     "truncation."},
};

TEST_F(TextFunctionsTest, MessagesAreTheServers) {
    for (const MessageCase& c : kMessages) {
        QString message;
        EXPECT_NE(error(QString::fromUtf8(c.batch), &message), 0) << c.batch;
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.batch;
    }
}

} // namespace
