// The rules of a table's columns that INSERT and UPDATE keep, on a table the catalog reads with
// an IDENTITY column: the numbers the engine gives, SET IDENTITY_INSERT, and the texts of the
// server's messages.

#include "tsql/Session.h"

#include "TestDb.h"

#include <gtest/gtest.h>

using tsql::RunResult;

namespace {

class ColumnRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        tsqltest::runAll(
            db, {QStringLiteral("CREATE TABLE RIGHE (ID INT IDENTITY(10,5) NOT NULL, CODICE CHAR(4) NOT "
                                "NULL, IMPORTO DECIMAL(5,2) NULL)")});
    }

    QSqlDatabase db = tsqltest::makeDb();
    tsql::Session session{db};

    QStringList rows(const QString& query) {
        RunResult r = session.run(query);
        EXPECT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        QStringList out;
        if (r.resultSets.empty())
            return out;
        for (const auto& row : r.resultSets[0].rows) {
            QStringList cells;
            for (const auto& v : row)
                cells << (v.null ? QStringLiteral("<NULL>") : tsql::toText(v));
            out << cells.join(u'|');
        }
        return out;
    }

    int error(const QString& batch, QString* message = nullptr) {
        RunResult r = session.run(batch);
        if (message && r.error)
            *message = r.error->message;
        return r.error ? r.error->number : 0;
    }
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

} // namespace
