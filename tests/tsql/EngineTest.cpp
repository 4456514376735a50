// Results, messages and transactions of the engine: the statements the editor sends, with
// their exact spacing, and the texts of the server's errors.

#include "tsql/Engine.h"
#include "tsql/Session.h"

#include "TestDb.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

using tsql::RunResult;
using tsql::Session;

namespace {

using tsqltest::rowTexts;

class EngineTest : public tsqltest::SessionTest {};

struct StatementCase {
    const char* sql;
    const char* rows; // rows joined with ';', cells with '|'
};

// The statements of the editor, character for character.
const StatementCase kStatements[] = {
    {"SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='C01'", "123"},
    {"SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='C02'", "124"},
    {"SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='ZZZ'", ""},
    {" SELECT CM01_INDTIPODATO  FROM CM01_CATEGORIECOMM  WHERE CM01_IDCATEGORIA = 124", "1"},
    {"SELECT RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) FROM CM01_CATEGORIECOMM WHERE  CM01_IDCATEGORIA "
     "=123",
     "C01 - Colore"},
    {"SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) FROM MG5F_DIMECONF WHERE  MG5F_CODICEVAR "
     "='V01'",
     "V01 - Colore scocca"},
    {" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE  FROM  LP14_CAMPI WITH (NOLOCK)  WHERE LP14_PARENT     IS "
     "NULL    "
     "AND LP14_ISATTIVO   = 1  ORDER BY LP14_PROGVISUA ASC ",
     "2|Articolo;1|Documento"},
    {" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE  FROM  LP14_CAMPI WITH (NOLOCK)  WHERE LP14_PARENT     = 2  "
     " AND "
     "LP14_ISATTIVO   = 1  ORDER BY LP14_PROGVISUA ASC ",
     "10|Famiglia"},
    {" SELECT CM01_IDCATEGORIA, RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) AS DESCRIZIONE  FROM  "
     "CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 1 ORDER BY CM01_CODICE ASC ",
     "123|C01 - Colore;124|c02 - Peso"},
    {" SELECT MG5F_CODICEVAR, RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) AS DESCRIZIONE  FROM  "
     "MG5F_DIMECONF WITH (NOLOCK)  WHERE MG5F_DITTA_CG18 = 1 ORDER BY MG5F_CODICEVAR ASC ",
     "V01                 |V01 - Colore scocca;V02|V02 - Motore"},
    {" SELECT TOP 1 1  FROM CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 1", "1"},
    {" SELECT TOP 1 1  FROM CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 9", ""},
    {"SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 42", "SET @OUTPREZZO = 25"},
    {"SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 43", ""},
};

TEST_F(EngineTest, EditorStatementsReturnTheServersRows) {
    for (const StatementCase& c : kStatements) {
        RunResult r = ok(QString::fromUtf8(c.sql));
        ASSERT_EQ(r.resultSets.size(), 1u) << c.sql;
        EXPECT_EQ(rowTexts(r).join(u';'), QString::fromUtf8(c.rows)) << c.sql;
    }
}

// Texts in the tables compare without regard to case or trailing blanks, letters by their
// lower-case form, accented letters as text.
TEST_F(EngineTest, TableTextsCompareCaseAndTrailingBlanksInsensitive) {
    ok(QStringLiteral("DELETE FROM MG5F_DIMECONF"));
    const char* codes[] = {"b", "A  ", "[x", "a_", "Ab", "\xc3\xa8", "E", "\xc3\x88z", "ab"};
    int order = 0; // the description orders codes that compare equal
    for (const char* code : codes)
        ok(QStringLiteral(
               "INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) VALUES "
               "(1, '%1', '%2')")
               .arg(QString::fromUtf8(code))
               .arg(++order));
    RunResult r =
        ok(QStringLiteral("SELECT RTRIM(MG5F_CODICEVAR) FROM MG5F_DIMECONF ORDER BY MG5F_CODICEVAR, "
                          "MG5F_DESCR_VAR"));
    // "[" (0x5B) sorts before letters, "_" (0x5F) too, since letters compare in lower case.
    EXPECT_EQ(rowTexts(r).join(u';'), QString::fromUtf8("[x;A;a_;Ab;ab;b;E;\xc3\xa8;\xc3\x88z"));
    const struct {
        const char* where;
        const char* rows;
    } cases[] = {
        {"= 'a'", "A"},
        {"= 'A    '", "A"},
        {"= 'AB'", "Ab;ab"},
        {"IN ('B', 'e', 'x', '\xc3\x88')", "b;E;\xc3\xa8"},
        {"> 'ab'", "b;E;\xc3\xa8;\xc3\x88z"},
        {"< 'A'", "[x"},
    };
    for (const auto& c : cases) {
        r = ok(
            QStringLiteral("SELECT RTRIM(MG5F_CODICEVAR) FROM MG5F_DIMECONF WHERE MG5F_CODICEVAR %1 ORDER BY "
                           "MG5F_CODICEVAR")
                .arg(QString::fromUtf8(c.where)));
        EXPECT_EQ(rowTexts(r).join(u';'), QString::fromUtf8(c.rows)) << c.where;
    }
}

TEST_F(EngineTest, ColumnNamesFollowAliasesAndColumns) {
    RunResult r =
        ok(QStringLiteral(" SELECT CM01_IDCATEGORIA, RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) AS "
                          "DESCRIZIONE  FROM  CM01_CATEGORIECOMM WITH (NOLOCK) "));
    EXPECT_EQ(r.resultSets[0].columns, (QStringList{"CM01_IDCATEGORIA", "DESCRIZIONE"}));
    r = ok(QStringLiteral("SELECT 1, 2 AS B, C = 3"));
    EXPECT_EQ(r.resultSets[0].columns, (QStringList{"", "B", "C"}));
}

// A batch sent again runs from what the engine kept of it: the same rows while nothing
// changed, the rows of the new values and columns once something did.
TEST_F(EngineTest, BatchesSentAgainSeeChangedValuesAndSchema) {
    const QString byId = QStringLiteral("SELECT * FROM LP14_CAMPI WHERE LP14_INDELEMENTO = 10");
    EXPECT_EQ(rowTexts(ok(byId)).join(u';'), QStringLiteral("10|Famiglia|2|1|1"));
    EXPECT_EQ(rowTexts(ok(byId)).join(u';'), QStringLiteral("10|Famiglia|2|1|1"));
    ok(QStringLiteral("UPDATE LP14_CAMPI SET LP14_DESCRIZIONE = 'Gruppo' WHERE LP14_INDELEMENTO = 10"));
    EXPECT_EQ(rowTexts(ok(byId)).join(u';'), QStringLiteral("10|Gruppo|2|1|1"));
    // A column added behind the engine's back (another connection, say) is seen.
    QSqlQuery(db).exec(QStringLiteral("ALTER TABLE LP14_CAMPI ADD COLUMN LP14_NOTE VARCHAR(10) DEFAULT 'n'"));
    EXPECT_EQ(rowTexts(ok(byId)).join(u';'), QStringLiteral("10|Gruppo|2|1|1|n"));

    // A query that reads a variable is generated anew each time it runs.
    const QString loop = QStringLiteral(
        "DECLARE @i INT SET @i = 1 WHILE @i <= 3 BEGIN "
        "SELECT LP14_DESCRIZIONE FROM LP14_CAMPI WHERE LP14_INDELEMENTO = @i SET @i = @i + 1 END");
    for (int run = 0; run < 2; ++run) {
        const RunResult r = ok(loop);
        ASSERT_EQ(r.resultSets.size(), 3u);
        EXPECT_EQ(rowTexts(r, 0).join(u';'), QStringLiteral("Documento"));
        EXPECT_EQ(rowTexts(r, 1).join(u';'), QStringLiteral("Articolo"));
        EXPECT_EQ(rowTexts(r, 2).join(u';'), QStringLiteral("Spento"));
    }
    // More distinct statements than the engine keeps, then the first ones again.
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(rowTexts(ok(QStringLiteral("SELECT %1 + LP14_INDELEMENTO FROM LP14_CAMPI WHERE "
                                             "LP14_INDELEMENTO = 1")
                                  .arg(k)))
                      .join(u';'),
                  QString::number(k + 1));
    EXPECT_EQ(rowTexts(ok(byId)).join(u';'), QStringLiteral("10|Gruppo|2|1|1|n"));
}

TEST_F(EngineTest, SavingAFormulaStoresItsQuotesSingle) {
    RunResult r = ok(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'IF @MG66_FAM_MG53 = ''ABC'' "
                                    "SET @OUTPREZZO = 1' WHERE LP01_ID = 42"));
    EXPECT_EQ(r.recordsAffected, 1);
    r = ok(QStringLiteral("SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 42"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("IF @MG66_FAM_MG53 = 'ABC' SET @OUTPREZZO = 1"));
    r = ok(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 42"));
    EXPECT_EQ(r.recordsAffected, 1);
    r = ok(QStringLiteral("SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 42"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("<NULL>"));
    r = ok(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL WHERE LP01_ID = 7"));
    EXPECT_EQ(r.recordsAffected, 0);
}

TEST_F(EngineTest, EmptyStringsAreNotNull) {
    RunResult r = ok(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = '' WHERE LP01_ID = 42"));
    EXPECT_EQ(r.recordsAffected, 1);
    r = ok(QStringLiteral(
        "SELECT CASE WHEN LP01_FORMULE IS NULL THEN 'null' ELSE 'empty' END, LEN(LP01_FORMULE) "
        "FROM LP01_PROVIDER WHERE LP01_ID = 42"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("empty|0"));
    r = ok(QStringLiteral("DECLARE @s VARCHAR(10) SET @s = '' "
                          "UPDATE LP01_PROVIDER SET LP01_FORMULE = @s WHERE LP01_ID = 42 "
                          "SELECT COUNT(*) FROM LP01_PROVIDER WHERE LP01_FORMULE IS NULL AND LP01_ID = 42"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("0"));
}

TEST_F(EngineTest, TablesCreatedBetweenBatchesAreSeen) {
    RunResult r = session.run(QStringLiteral("SELECT COUNT(*) FROM LATER_TABLE"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 208);
    QSqlQuery(db).exec(QStringLiteral("CREATE TABLE LATER_TABLE (A INTEGER)"));
    r = ok(QStringLiteral("SELECT COUNT(*) FROM LATER_TABLE"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("0"));
    QSqlQuery(db).exec(QStringLiteral("ALTER TABLE LATER_TABLE ADD COLUMN B TEXT"));
    r = ok(QStringLiteral("SELECT COUNT(B) FROM LATER_TABLE"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("0"));
}

struct ValueCase {
    const char* sql;
    const char* result;
};

const ValueCase kValues[] = {
    {"SELECT 1.5 * 2", "3.0"},
    {"SELECT 10 / 4", "2"},
    {"SELECT 10 / 4.0", "2.500000"},
    {"SELECT -7 % 3", "-1"},
    {"SELECT CAST(1 AS DECIMAL(5,2))", "1.00"},
    {"SELECT CAST(2.345 AS DECIMAL(5,2))", "2.35"},
    {"SELECT 'a' + NULL", "<NULL>"},
    {"SELECT 'a' + 'b'", "ab"},
    {"SELECT '5' + 1", "6"},
    {"SELECT ROUND(2.345, 2)", "2.350"},
    {"SELECT ROUND(2.345, 2, 1)", "2.340"},
    {"SELECT ROUND(1234, -2)", "1200"},
    {"SELECT FLOOR(-2.5), CEILING(2.1)", "-3|3"},
    {"SELECT LEN('ab  '), LEN(NULL)", "2|<NULL>"},
    {"SELECT SUBSTRING('abcdef', 2, 3), LEFT('abc', 2), RIGHT('abc', 2)", "bcd|ab|bc"},
    {"SELECT CHARINDEX('C', 'abc'), CHARINDEX('z', 'abc')", "3|0"},
    {"SELECT UPPER('àb'), LOWER('AB'), LTRIM('  a '), RTRIM(' a  ') + '|'", "ÀB|ab|a | a|"},
    {"SELECT REPLACE('aXbx', 'x', '-')", "a-b-"},
    {"SELECT CASE WHEN 'abc ' = 'ABC' THEN 1 ELSE 0 END", "1"},
    {"SELECT CASE WHEN 'abc' = 'abd' THEN 1 ELSE 0 END", "0"},
    {"SELECT COALESCE(NULL, NULL, 3), ISNULL(NULL, 'x'), NULLIF(1, 1)", "3|x|<NULL>"},
    {"SELECT IIF(1 > 2, 'a', 'b')", "b"},
    {"SELECT POWER(2, 10), SQRT(16.0), ABS(-3)", "1024|4|3"},
    {"SELECT YEAR('2024-02-28'), MONTH('2024-02-28'), DAY('2024-02-28')", "2024|2|28"},
    {"SELECT DATEDIFF(day, '2024-02-28', '2024-03-01')", "2"},
    {"SELECT CONVERT(VARCHAR(10), DATEADD(day, 1, CAST('2024-02-28' AS DATETIME)), 103)", "29/02/2024"},
    {"SELECT CONVERT(VARCHAR(30), CAST('2024-02-28 13:45:07.250' AS DATETIME), 126)",
     "2024-02-28T13:45:07.250"},
    {"SELECT DATEPART(month, '2024-07-01')", "7"},
    {"SELECT CAST(12.5 AS VARCHAR(10)), CAST(3 AS CHAR(3)) + '|'", "12.5|3  |"},
    {"SELECT 5 & 3, 5 | 3, 5 ^ 3, ~5", "1|7|6|-6"},
    {"SELECT 1 WHERE 'AB' LIKE 'a%'", "1"},
    {"SELECT 1 WHERE 'A_B' LIKE 'a!_%' ESCAPE '!'", "1"},
    {"SELECT 1 WHERE 'b' LIKE '[a-c]'", "1"},
    {"SELECT 1 WHERE NULL = NULL", ""},
    {"SELECT 1 WHERE NOT (NULL = 1)", ""},
    {"SELECT 1 WHERE 2 IN (1, NULL, 2)", "1"},
    {"SELECT 1 WHERE 3 NOT IN (1, NULL)", ""},
    {"SELECT 1 WHERE 2 BETWEEN 1 AND 3", "1"},
    {"SELECT COUNT(*), MAX(CM01_IDCATEGORIA), MIN(CM01_CODICE) FROM CM01_CATEGORIECOMM", "3|125|C01       "},
    {"SELECT CM01_DITTA_CG18, COUNT(*) FROM CM01_CATEGORIECOMM GROUP BY CM01_DITTA_CG18 ORDER BY 1",
     "1|2;2|1"},
    {"SELECT TOP 2 CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM ORDER BY CM01_IDCATEGORIA DESC", "125;124"},
    {"SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM WHERE CM01_CODICE IN ('c01', 'C03')", "123;125"},
    {"SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM WHERE CM01_CODICE LIKE 'c0[12]'", "123;124"},
    {"SELECT C.CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM C WHERE EXISTS (SELECT 1 FROM MG5F_DIMECONF M WHERE "
     "M.MG5F_DITTA_CG18 = C.CM01_DITTA_CG18) ORDER BY 1",
     "123;124"},
    {"DECLARE @c CHAR(10) = 'c01' SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM WHERE CM01_CODICE = @c",
     "123"},
    {"SELECT (SELECT MAX(CM01_IDCATEGORIA) FROM CM01_CATEGORIECOMM) + 1", "126"},
};

TEST_F(EngineTest, ExpressionsFollowServerSemantics) {
    for (const ValueCase& c : kValues) {
        RunResult r = ok(QString::fromUtf8(c.sql));
        ASSERT_EQ(r.resultSets.size(), 1u) << c.sql;
        EXPECT_EQ(rowTexts(r).join(u';'), QString::fromUtf8(c.result)) << c.sql;
    }
}

TEST_F(EngineTest, XmlSubQueriesReadTheVariables) {
    const QString decl = QStringLiteral(
        "DECLARE @CM01_IDCATEGORIA XML = '<CATEGORIE><CATEGORIA IDCATEGORIA_CM01=\"123\" VALORE=\"ROSSO\"/>"
        "<CATEGORIA IDCATEGORIA_CM01=\"124\" VALORE=\"12.5\"/></CATEGORIE>'\r\n"
        "DECLARE @MG5F_CODICEVAR XML = '<VARIANTI><VARIANTE MG5F_CODICEVAR=\"V01\" "
        "VALORE=\"BLU\"/></VARIANTI>'\r\n"
        "DECLARE @NULLXML XML\r\n");
    RunResult r =
        ok(decl + QStringLiteral(
                      "SELECT ( SELECT  COLS.value('@VALORE', 'VARCHAR(20)') AS VALORE   FROM      "
                      "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
                      "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = 123 )"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("ROSSO"));
    r = ok(decl + QStringLiteral(
                      "SELECT ( SELECT  COLS.value('@VALORE', 'DECIMAL(17,6)') AS VALORE   FROM      "
                      "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
                      "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = 124 ) * 2"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("25.000000"));
    r = ok(decl +
           QStringLiteral("SELECT ( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE   FROM      "
                          "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
                          "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='V01' )"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("BLU                 "));
    r = ok(decl + QStringLiteral("SELECT COUNT(*) FROM @NULLXML.nodes('/A') T(C)"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("0"));
    r = ok(decl + QStringLiteral(
                      "SELECT @CM01_IDCATEGORIA.value('(/CATEGORIE/CATEGORIA/@VALORE)[2]', 'VARCHAR(10)'), "
                      "@CM01_IDCATEGORIA.exist('/CATEGORIE/CATEGORIA[@VALORE=\"ROSSO\"]'), "
                      "@NULLXML.value('(/A)[1]', 'INT')"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("12.5|1|<NULL>"));
}

struct ErrorCase {
    const char* batch;
    int number;
    int line;
    const char* message;
};

const ErrorCase kErrors[] = {
    {"SET @X = 1", 137, 1, "Must declare the scalar variable \"@X\"."},
    {"DECLARE @a INT\r\nSELECT 1\r\nSET @a = [Prezzo lordo]", 207, 3, "Invalid column name 'Prezzo lordo'."},
    {"SELECT * FROM NOPE", 208, 1, "Invalid object name 'NOPE'."},
    {"SELECT PIPPO FROM CM01_CATEGORIECOMM", 207, 1, "Invalid column name 'PIPPO'."},
    {"SELECT X.CM01_CODICE FROM CM01_CATEGORIECOMM", 4104, 1,
     "The multi-part identifier \"X.CM01_CODICE\" could not be bound."},
    {"SET", 156, 1, "Incorrect syntax near the keyword 'SET'."},
    {"IF 1=1 SELECT 1\r\nelse", 156, 2, "Incorrect syntax near the keyword 'else'."},
    {"SELECT (1", 102, 1, "Incorrect syntax near '1'."},
    {"SELECT 1 +", 102, 1, "Incorrect syntax near '+'."},
    {"PRINT 1\r\nGO", 102, 2, "Incorrect syntax near 'GO'."},
    {"GO", 2812, 1, "Could not find stored procedure 'GO'."},
    {"SELECT ARROTONDA(1)", 195, 1, "'ARROTONDA' is not a recognized built-in function name."},
    {"SELECT ISNULL(1)", 174, 1, "The isnull function requires 2 argument(s)."},
    {"SELECT ROUND(1)", 189, 1, "The round function requires 2 to 3 arguments."},
    {"DECLARE @a INT\r\nDECLARE @A INT", 134, 2,
     "The variable name '@A' has already been declared. Variable names must be unique within a query batch "
     "or "
     "stored procedure."},
    {"SELECT 1/0", 8134, 1, "Divide by zero error encountered."},
    {"DECLARE @d DECIMAL(6,3)\r\nSET @d = 1000", 8115, 2,
     "Arithmetic overflow error converting int to data type numeric."},
    {"DECLARE @d DECIMAL(6,3) SET @d = 999.9999", 8115, 1,
     "Arithmetic overflow error converting numeric to data type numeric."},
    {"DECLARE @d DECIMAL(6,3) SET @d = 'abc'", 8114, 1, "Error converting data type varchar to numeric."},
    {"SELECT 'xyz' + 1", 245, 1,
     "Conversion failed when converting the varchar value 'xyz' to data type int."},
    {"DECLARE @d DECIMAL(6,3) SELECT @d ^ 2", 402, 1,
     "The data types decimal and int are incompatible in the '^' operator."},
    {"SELECT 'abc", 105, 1, "Unclosed quotation mark after the character string 'abc'."},
    {"SELECT 1 /* x", 113, 1, "Missing end comment mark '*/'."},
    {"RETURN 1", 178, 1, "A RETURN statement with a return status can only be used in a stored procedure."},
    {"SELECT 1 \\ 2", 102, 1, "Incorrect syntax near '\\'."},
    {"IF 1 SELECT 2", 4145, 1,
     "An expression of non-boolean type specified in a context where a condition is expected, near "
     "'SELECT'."},
    {"SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM WHERE CM01_IDCATEGORIA = (SELECT CM01_IDCATEGORIA FROM "
     "CM01_CATEGORIECOMM)",
     512, 1,
     "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , >, "
     ">= or "
     "when the subquery is used as an expression."},
    {"COMMIT", 3902, 1, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
};

TEST_F(EngineTest, ErrorsCarryTheServersNumbersTextsAndLines) {
    for (const ErrorCase& c : kErrors) {
        RunResult r = session.run(QString::fromUtf8(c.batch));
        ASSERT_TRUE(r.error.has_value()) << c.batch;
        EXPECT_EQ(r.error->number, c.number) << c.batch;
        EXPECT_EQ(r.error->line, c.line) << c.batch;
        EXPECT_EQ(r.error->message, QString::fromUtf8(c.message)) << c.batch;
    }
}

TEST_F(EngineTest, BatchStopsAtTheFirstRunTimeError) {
    RunResult r = session.run(QStringLiteral("SELECT 1\r\nSELECT 1/0\r\nSELECT 2"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->line, 2);
    EXPECT_EQ(r.resultSets.size(), 1u);
}

TEST_F(EngineTest, RolledBackTransactionLeavesTheTablesUnchanged) {
    session.beginTransaction();
    EXPECT_EQ(session.transactionCount(), 1);
    ok(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'x' WHERE LP01_ID = 42"));
    ok(QStringLiteral("DELETE FROM CM01_CATEGORIECOMM"));
    session.rollbackTransaction();
    EXPECT_EQ(session.transactionCount(), 0);
    RunResult r =
        ok(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER; SELECT COUNT(*) FROM CM01_CATEGORIECOMM"));
    EXPECT_EQ(rowTexts(r, 0).join(u';'), QStringLiteral("SET @OUTPREZZO = 25"));
    EXPECT_EQ(rowTexts(r, 1).join(u';'), QStringLiteral("3"));
}

TEST_F(EngineTest, BatchesChangeTheTransactionCount) {
    session.beginTransaction();
    ok(QStringLiteral("BEGIN TRAN SELECT @@TRANCOUNT"));
    EXPECT_EQ(session.transactionCount(), 2);
    ok(QStringLiteral("COMMIT TRAN"));
    EXPECT_EQ(session.transactionCount(), 1);
    ok(QStringLiteral("COMMIT"));
    EXPECT_EQ(session.transactionCount(), 0);
    RunResult r = session.run(QStringLiteral("ROLLBACK"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 3903);
    session.beginTransaction();
    ok(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(session.transactionCount(), 0);
}

TEST_F(EngineTest, AFailingStatementChangesNoRow) {
    RunResult r =
        session.run(QStringLiteral("INSERT INTO MG5F_DIMECONF VALUES (1, 'V03', 'a'), (1, 'V01', 'dup')"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 2627);
    r = ok(QStringLiteral("SELECT COUNT(*) FROM MG5F_DIMECONF"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("2"));
    r = ok(
        QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_CODICEVAR, MG5F_DESCR_VAR) VALUES ('V03', 'Ruote')"));
    EXPECT_EQ(r.recordsAffected, 1);
    r = ok(QStringLiteral("DELETE TOP (1) FROM MG5F_DIMECONF WHERE MG5F_CODICEVAR = 'v03'"));
    EXPECT_EQ(r.recordsAffected, 1);
}

TEST_F(EngineTest, VariablesKeepTheirDeclaredTypes) {
    RunResult r = ok(QStringLiteral("DECLARE @c CHAR(4), @v VARCHAR(3), @d DECIMAL(6,3), @i INT\r\n"
                                    "SET @c = 'ab' SET @v = 'abcdef' SET @d = 1.23456 SET @i = 7.9\r\n"
                                    "SELECT @c + '|', @v, @d, @i"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("ab  ||abc|1.235|7"));
    r = ok(QStringLiteral(
        "DECLARE @n INT = 0, @s INT = 0 WHILE @n < 10 BEGIN SET @n += 1 IF @n % 2 = 0 CONTINUE "
        "SET @s += @n END SELECT @s"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("25"));
    r = ok(QStringLiteral(
        "DECLARE @x INT SELECT @x = CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM ORDER BY 1 SELECT @x"));
    EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("125"));
}

TEST_F(EngineTest, EngineHandsValuesOverAsVariants) {
    tsql::Engine engine(db);
    tsql::BatchResult r = engine.execute(
        QStringLiteral("SELECT CAST(12.5 AS DECIMAL(5,2)), 3, 'abc', NULL, CAST(1 AS BIGINT), 2.5E0"));
    ASSERT_FALSE(r.error.has_value());
    ASSERT_EQ(r.resultSets.size(), 1);
    const auto& row = r.resultSets[0].rows[0];
    EXPECT_EQ(row[0].type(), core::VarType::Decimal);
    EXPECT_EQ(row[0].toDecimal().toString(), QStringLiteral("12.50"));
    EXPECT_EQ(row[1].type(), core::VarType::Long);
    EXPECT_EQ(row[2].toString(), QStringLiteral("abc"));
    EXPECT_TRUE(row[3].isNull());
    EXPECT_EQ(row[4].type(), core::VarType::LongLong);
    EXPECT_EQ(row[5].type(), core::VarType::Double);
    tsql::BatchResult e = engine.execute(QStringLiteral("SELECT 1\r\nSELECT @Y"));
    ASSERT_TRUE(e.error.has_value());
    EXPECT_EQ(e.error->number, 137);
    EXPECT_EQ(e.error->line, 2);
    EXPECT_EQ(e.error->column, 8);
}

} // namespace

namespace {

TEST_F(EngineTest, RunawayLoopsStopAtTheLimits) {
    session.setLoopLimit(1000);
    RunResult r = session.run(QStringLiteral("DECLARE @n INT = 0 WHILE 1 = 1 SET @n += 1"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->number, 40001);
    session.setLoopLimit(0);
    session.setTimeout(50);
    r = session.run(QStringLiteral("WHILE 1 = 1 PRINT 1"));
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->message, QStringLiteral("Query timeout expired"));
}

} // namespace

namespace {

TEST_F(EngineTest, ExtremeArgumentsFailCleanly) {
    const char* batches[] = {
        "SELECT REPLICATE('ab', 9223372036854775807)",
        "SELECT SPACE(2147483647)",
        "SELECT DATEADD(year, 100000, GETDATE())",
        "SELECT DATEADD(day, 9223372036854775807, GETDATE())",
        "SELECT POWER(10.0, 400)",
        "SELECT POWER(2, 62)",
        "SELECT CAST(1e300 AS DECIMAL(38,0))",
        "SELECT CAST(1e300 AS BIGINT)",
        "SELECT ROUND(1.5, -100), ROUND(15, -100)",
        "SELECT STR(1.5, -5, 99)",
        "SELECT SUBSTRING('abc', -2147483647, 2147483647)",
        "SELECT CHAR(-1), NCHAR(70000)",
        "SELECT -9223372036854775807 - 2",
        "SELECT CAST(-9223372036854775807 - 1 AS BIGINT) / -1",
        "SELECT 99999999999999999999999999999999999999 * 10",
        "SELECT 1 / 3.0 / 3.0 / 3.0 / 3.0 / 3.0 / 3.0",
        "DECLARE @x XML = '<a><b' SELECT @x.value('(/a)[1]', 'INT')",
        "SELECT CAST('<a/>' AS XML).exist('/a')",
    };
    for (const char* b : batches) {
        RunResult r = session.run(QString::fromUtf8(b));
        if (r.error) {
            EXPECT_GT(r.error->number, 0) << b;
            EXPECT_FALSE(r.error->message.isEmpty()) << b;
        }
    }
}

} // namespace

namespace {

TEST_F(EngineTest, CatchBlockSeesTheError) {
    RunResult r =
        ok(QStringLiteral("BEGIN TRY SELECT 1/0 END TRY BEGIN CATCH SELECT ERROR_NUMBER(), ERROR_MESSAGE() "
                          "END CATCH SELECT ERROR_NUMBER()"));
    ASSERT_EQ(r.resultSets.size(), 2u);
    EXPECT_EQ(rowTexts(r, 0).join(u';'), QStringLiteral("8134|Divide by zero error encountered."));
    EXPECT_EQ(rowTexts(r, 1).join(u';'), QStringLiteral("<NULL>"));
}

} // namespace

namespace {

struct BatchValue {
    const char* batch;
    const char* value; // first cell of the last result set
};

// Values of the batch are sent to SQLite as parameters, bound by position: they must be in the
// order the generated text has them, whatever part of the statement holds them.
const BatchValue kParametersInTextOrder[] = {
    {"DECLARE @lo INT = 1, @hi INT = 2 SELECT COUNT(*) FROM LP14_CAMPI WHERE LP14_INDELEMENTO BETWEEN @lo "
     "AND @hi",
     "2"},
    {"DECLARE @lo INT = 1, @hi INT = 2 SELECT COUNT(*) FROM LP14_CAMPI WHERE LP14_INDELEMENTO + @lo = @hi",
     "1"},
    {"DECLARE @p VARCHAR(10) = 'Art', @q VARCHAR(10) = '%' SELECT COUNT(*) FROM LP14_CAMPI "
     "WHERE LP14_DESCRIZIONE LIKE @p + @q",
     "1"},
    {"DECLARE @v VARCHAR(10) = 'Doc', @p VARCHAR(10) = 'Doc%' SELECT COUNT(*) FROM LP14_CAMPI "
     "WHERE @v + LP14_DESCRIZIONE LIKE @p",
     "4"},
    {"DECLARE @new VARCHAR(80) = 'Nuovo', @id INT = 2 UPDATE LP14_CAMPI SET LP14_DESCRIZIONE = @new "
     "WHERE LP14_INDELEMENTO = @id SELECT LP14_DESCRIZIONE FROM LP14_CAMPI WHERE LP14_INDELEMENTO = 2",
     "Nuovo"},
    {"DECLARE @new VARCHAR(80) = 'Nuovo', @id INT = 1 UPDATE TOP (1) LP14_CAMPI SET LP14_DESCRIZIONE = @new "
     "WHERE LP14_INDELEMENTO > @id SELECT COUNT(*) FROM LP14_CAMPI WHERE LP14_DESCRIZIONE = 'Nuovo'",
     "1"},
};

TEST_F(EngineTest, ParametersAreBoundInTheOrderOfTheText) {
    for (const BatchValue& c : kParametersInTextOrder) {
        QSqlDatabase fresh = tsqltest::makeDb();
        Session s(fresh);
        RunResult r = s.run(QString::fromUtf8(c.batch));
        ASSERT_FALSE(r.error.has_value()) << c.batch << ": " << r.error->message.toStdString();
        ASSERT_FALSE(r.resultSets.empty()) << c.batch;
        EXPECT_EQ(rowTexts(r, tsqltest::kLastSet).value(0), QString::fromUtf8(c.value)) << c.batch;
    }
}

} // namespace
