// The rules of a table's columns that INSERT and UPDATE keep, on a table the catalog reads with
// an IDENTITY column: the numbers the engine gives, SET IDENTITY_INSERT, and the texts of the
// server's messages.

#include "tsql/Session.h"

#include "TestDb.h"

#include <gtest/gtest.h>

namespace {

class ColumnRulesTest : public tsqltest::SessionTest {
protected:
    void SetUp() override {
        tsqltest::runAll(
            db, {QStringLiteral("CREATE TABLE RIGHE (ID INT IDENTITY(10,5) NOT NULL, CODICE CHAR(4) NOT "
                                "NULL, IMPORTO DECIMAL(5,2) NULL)")});
    }

    // The rows of the first result set.
    QStringList rows(const QString& query) { return tsqltest::rowTexts(ok(query)); }
};

TEST_F(ColumnRulesTest, IdentityNumbersFromItsSeedByItsIncrement) {
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE) VALUES ('A'), ('B')"), 0);
    EXPECT_EQ(error("INSERT INTO RIGHE VALUES ('C', 1.5)"), 0);
    // A char(4) value keeps its blanks: 'A   ' + 'X' is too long for the column.
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE) SELECT CODICE + 'X' FROM RIGHE"), 2628);
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE) SELECT RTRIM(CODICE) + 'X' FROM RIGHE"), 0);
    EXPECT_EQ(rows("SELECT ID, CODICE FROM RIGHE ORDER BY ID"),
              QStringList({"10|A   ", "15|B   ", "20|C   ", "25|AX  ", "30|BX  ", "35|CX  "}));
}

TEST_F(ColumnRulesTest, ExplicitIdentityOnlyWithIdentityInsert) {
    QString message;
    EXPECT_EQ(error("INSERT INTO RIGHE (ID, CODICE) VALUES (1, 'A')", &message), 544);
    EXPECT_EQ(message,
              "Cannot insert explicit value for identity column in table 'RIGHE' when IDENTITY_INSERT is "
              "set to OFF.");
    EXPECT_EQ(error("SET IDENTITY_INSERT RIGHE ON INSERT INTO RIGHE (ID, CODICE) VALUES (100, 'A')"), 0);
    EXPECT_EQ(error("INSERT INTO RIGHE VALUES ('B', NULL)"), 8101);
    EXPECT_EQ(error("SET IDENTITY_INSERT LP14_CAMPI ON"), 8106);
    EXPECT_EQ(error("SET IDENTITY_INSERT RIGHE OFF INSERT INTO RIGHE (CODICE) VALUES ('C')"), 0);
    EXPECT_EQ(rows("SELECT ID FROM RIGHE ORDER BY ID"), QStringList({"100", "105"}));
    EXPECT_EQ(error("UPDATE RIGHE SET ID = 1"), 8102);
}

TEST_F(ColumnRulesTest, MessagesNameTheColumnAndTheTable) {
    QString message;
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE) VALUES (NULL)", &message), 515);
    EXPECT_EQ(message,
              "Cannot insert the value NULL into column 'CODICE', table 'master.dbo.RIGHE'; column does "
              "not allow nulls. INSERT fails.");
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE) VALUES ('ABCDEF')", &message), 2628);
    EXPECT_EQ(message,
              "String or binary data would be truncated in table 'master.dbo.RIGHE', column 'CODICE'. "
              "Truncated value: 'ABCD'.");
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE, IMPORTO) VALUES ('A', 1000)"), 8115);
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE, IMPORTO) VALUES ('A', 999.999)"), 8115);
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE) VALUES ('A')"), 0);
    EXPECT_EQ(error("UPDATE RIGHE SET CODICE = NULL", &message), 515);
    EXPECT_TRUE(message.endsWith("UPDATE fails.")) << message.toStdString();
}

TEST_F(ColumnRulesTest, ValuesAreKeptInTheColumnsTypes) {
    EXPECT_EQ(error("INSERT INTO RIGHE (CODICE, IMPORTO) VALUES ('AB      ', 12.345)"), 0);
    EXPECT_EQ(error("UPDATE RIGHE SET IMPORTO = IMPORTO * 2"), 0);
    EXPECT_EQ(rows("SELECT CODICE, IMPORTO FROM RIGHE"), QStringList({"AB  |24.70"}));
}

// A temporary table and a table variable keep the same rules as the database's tables: the
// catalog reads them from the columns the batch made.
TEST_F(ColumnRulesTest, TemporaryTableKeepsTheRules) {
    QString message;
    EXPECT_EQ(
        error("CREATE TABLE #t (id int IDENTITY(10,5), c varchar(3) NOT NULL, d int NOT NULL DEFAULT 7)"), 0);
    EXPECT_EQ(error("INSERT INTO #t (c) VALUES (NULL)", &message), 515);
    EXPECT_EQ(message,
              "Cannot insert the value NULL into column 'c', table 'tempdb.dbo.#t'; column does not allow "
              "nulls. INSERT fails.");
    EXPECT_EQ(error("INSERT INTO #t (c) VALUES ('abcd')", &message), 2628);
    EXPECT_EQ(message,
              "String or binary data would be truncated in table 'tempdb.dbo.#t', column 'c'. Truncated "
              "value: 'abc'.");
    EXPECT_EQ(error("INSERT INTO #t (c) VALUES ('a'), ('b')"), 0);
    EXPECT_EQ(error("INSERT INTO #t (c, d) VALUES ('c', DEFAULT)"), 0);
    EXPECT_EQ(error("INSERT INTO #t (c) SELECT RTRIM(CODICE) FROM RIGHE"), 0);
    EXPECT_EQ(error("INSERT INTO #t (id, c) VALUES (1, 'x')"), 544);
    EXPECT_EQ(error("UPDATE #t SET c = NULL"), 515);
    EXPECT_EQ(error("UPDATE #t SET id = 1"), 8102);
    EXPECT_EQ(rows("SELECT id, c, d FROM #t ORDER BY id"), QStringList({"10|a|7", "15|b|7", "20|c|7"}));
    EXPECT_EQ(error("SET IDENTITY_INSERT #t ON INSERT INTO #t (id, c) VALUES (100, 'e') "
                    "SET IDENTITY_INSERT #t OFF INSERT INTO #t (c) VALUES ('f')"),
              0);
    EXPECT_EQ(rows("SELECT id FROM #t WHERE id > 20 ORDER BY id"), QStringList({"100", "105"}));
    EXPECT_EQ(rows("SELECT CASE WHEN OBJECT_ID('tempdb..#t') IS NULL THEN 0 ELSE 1 END, OBJECT_ID('#t')"),
              QStringList({"1|<NULL>"}));
}

TEST_F(ColumnRulesTest, TableVariableKeepsTheRules) {
    const QString declare =
        QStringLiteral("DECLARE @t TABLE (id int IDENTITY(100,10), c char(2) NOT NULL, d int DEFAULT 3) ");
    QString message;
    EXPECT_EQ(error(declare + "INSERT INTO @t (c) VALUES (NULL)", &message), 515);
    EXPECT_EQ(message,
              "Cannot insert the value NULL into column 'c', table '@t'; column does not allow nulls. "
              "INSERT fails.");
    EXPECT_EQ(error(declare + "INSERT INTO @t (c) VALUES ('abc')", &message), 2628);
    EXPECT_EQ(message,
              "String or binary data would be truncated in table '@t', column 'c'. Truncated value: 'ab'.");
    EXPECT_EQ(error(declare + "INSERT INTO @t (c) VALUES ('a') UPDATE @t SET c = NULL", &message), 515);
    EXPECT_TRUE(message.endsWith("UPDATE fails.")) << message.toStdString();
    EXPECT_EQ(rows(declare +
                   "INSERT INTO @t (c) VALUES ('a'), ('b') INSERT INTO @t (c, d) VALUES ('c', DEFAULT) "
                   "INSERT INTO @t (c) SELECT 'd' FROM RIGHE UNION ALL SELECT 'e' "
                   "SELECT id, c, d FROM @t ORDER BY id"),
              QStringList({"100|a |3", "110|b |3", "120|c |3", "130|e |3"}));
    // In a dynamic batch, with the rules of its own table variable.
    EXPECT_EQ(error("EXEC ('" + QString(declare).replace("'", "''") + "INSERT INTO @t (c) VALUES (NULL)')"),
              515);
}

} // namespace
