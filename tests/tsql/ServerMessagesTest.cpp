// What reaches a client is always a server's message: constructs SQLite words differently run
// (a (max) column of a table the batch makes, DEFAULT VALUES), what SQLite cannot do is refused
// by name, SQLite's own texts never come through, and a name of another database never runs on
// a table of this one.

#include "tsql/Session.h"

#include "TestDb.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using tsqltest::rowTexts;

class ServerMessagesTest : public tsqltest::SessionTest {};

// Words of SQLite's own messages: none of them may reach a client.
const char* const kSqliteWords[] = {
    "syntax error",      "near \"",           "SQLite",  "sqlite", "no such column",
    "at most 64 tables", "constraint failed", "too many"};

void expectServerText(const QString& message, const std::string& batch) {
    for (const char* word : kSqliteWords)
        EXPECT_FALSE(message.contains(QLatin1String(word))) << batch << ": " << message.toStdString();
}

struct RunsCase {
    const char* name;
    const char* batch;
    const char* rows; // the last result set, rows joined with ';'
};

// Tables of a batch with (max) columns, and rows of defaults, as the server runs them.
const RunsCase kRuns[] = {
    {"table variable, nvarchar(max)",
     "DECLARE @t TABLE (s NVARCHAR(MAX)) INSERT @t VALUES (REPLICATE(CAST(N'é' AS NVARCHAR(MAX)), 5000)) "
     "SELECT LEN(s) FROM @t",
     "5000"},
    {"table variable, every (max) type",
     "DECLARE @t TABLE (a VARCHAR(MAX), b NVARCHAR(MAX), d INT) "
     "INSERT @t (a, b, d) VALUES ('x', N'y', 1) SELECT a + b, d FROM @t",
     "xy|1"},
    {"temporary table, varchar(max)",
     "CREATE TABLE #t (s VARCHAR(MAX) NOT NULL, n INT) INSERT #t VALUES ('abc', 1) "
     "SELECT s, n FROM #t DROP TABLE #t",
     "abc|1"},
    {"a (max) column of a temporary table keeps a long value whole",
     "CREATE TABLE #m (s NVARCHAR(MAX)) INSERT #m VALUES (REPLICATE(CAST(N'a' AS NVARCHAR(MAX)), 9000)) "
     "SELECT LEN(s) FROM #m DROP TABLE #m",
     "9000"},
    {"DEFAULT VALUES into a temporary table",
     "CREATE TABLE #d (a INT, b VARCHAR(10) DEFAULT 'z', c INT IDENTITY(5, 2)) "
     "INSERT #d DEFAULT VALUES INSERT #d DEFAULT VALUES SELECT COALESCE(a, -1), b, c FROM #d DROP TABLE #d",
     "-1|z|5;-1|z|7"},
    {"DEFAULT VALUES into a table variable",
     "DECLARE @d TABLE (a INT, b NVARCHAR(MAX) DEFAULT N'w') INSERT @d DEFAULT VALUES "
     "SELECT COUNT(*), MAX(b) FROM @d",
     "1|w"},
    {"the current database's own name", "SELECT COUNT(*) FROM master.dbo.LP01_PROVIDER", "1"},
    {"the current database, schema left out", "SELECT COUNT(*) FROM master..LP01_PROVIDER", "1"},
    {"tempdb for a temporary table",
     "CREATE TABLE #q (a INT) INSERT tempdb..#q VALUES (3) SELECT a FROM tempdb.dbo.#q DROP TABLE #q", "3"},
};

TEST_F(ServerMessagesTest, TablesOfABatchTakeMaxColumnsAndDefaultValues) {
    for (const RunsCase& c : kRuns) {
        const tsql::RunResult r = session.run(QString::fromUtf8(c.batch));
        ASSERT_FALSE(r.error.has_value()) << c.name << ": " << r.error->message.toStdString();
        EXPECT_EQ(rowTexts(r, tsqltest::kLastSet).join(u';'), QString::fromUtf8(c.rows)) << c.name;
    }
}

struct FailsCase {
    const char* name;
    const char* batch;
    int number;
    const char* message; // the message's exact text; empty: any server text
};

const FailsCase kFails[] = {
    {"DEFAULT VALUES into a column that takes no NULL and has no default",
     "CREATE TABLE #n (a INT NOT NULL) INSERT #n DEFAULT VALUES", 515, ""},
    {"a key violated", "CREATE TABLE #k (a INT PRIMARY KEY) INSERT #k VALUES (1) INSERT #k VALUES (1)", 2627,
     ""},
    {"another database, deleting", "DELETE FROM otherdb.dbo.LP01_PROVIDER", 911,
     "Database 'otherdb' does not exist. Make sure that the name is entered correctly."},
    {"another database, reading", "SELECT * FROM [Other DB].dbo.LP14_CAMPI", 911,
     "Database 'Other DB' does not exist. Make sure that the name is entered correctly."},
    {"another database, inserting", "INSERT INTO x.dbo.LP14_CAMPI (LP14_INDELEMENTO) VALUES (1)", 911,
     "Database 'x' does not exist. Make sure that the name is entered correctly."},
    {"another database, updating through a join",
     "UPDATE p SET LP01_FORMULE = NULL FROM otherdb.dbo.LP01_PROVIDER p", 911,
     "Database 'otherdb' does not exist. Make sure that the name is entered correctly."},
    {"another database, a temporary table", "DROP TABLE otherdb.dbo.#t", 911,
     "Database 'otherdb' does not exist. Make sure that the name is entered correctly."},
    {"a server's own database without the table", "DELETE FROM msdb.dbo.LP01_PROVIDER", 208,
     "Invalid object name 'msdb.dbo.LP01_PROVIDER'."},
};

TEST_F(ServerMessagesTest, FailuresAreTheServersMessages) {
    for (const FailsCase& c : kFails) {
        QString message;
        EXPECT_EQ(error(QString::fromUtf8(c.batch), &message), c.number)
            << c.name << ": " << message.toStdString();
        if (*c.message) {
            EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.name;
        }
        expectServerText(message, c.name);
    }
    // Nothing was deleted or changed in the database's tables.
    EXPECT_EQ(
        rowTexts(ok(QStringLiteral("SELECT COUNT(*) FROM LP01_PROVIDER WHERE LP01_FORMULE IS NOT NULL")))
            .join(u';'),
        QStringLiteral("1"));
}

// A join of more tables than SQLite joins is refused by name, not with SQLite's text; one table
// fewer runs.
TEST_F(ServerMessagesTest, AJoinOfTooManyTablesIsRefusedByName) {
    auto join = [](int tables) {
        QString sql = QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI t0");
        for (int k = 1; k < tables; ++k)
            sql +=
                QStringLiteral(" JOIN LP14_CAMPI t%1 ON t%1.LP14_INDELEMENTO = t0.LP14_INDELEMENTO").arg(k);
        return sql;
    };
    EXPECT_EQ(rowTexts(ok(join(64))).join(u';'), QStringLiteral("4"));
    QString message;
    EXPECT_EQ(error(join(65), &message), 40000) << message.toStdString();
    EXPECT_EQ(
        message,
        QStringLiteral("A query that joins more than 64 tables is not supported by the embedded server."));
    expectServerText(message, "65 tables");
}

// The database's name is its file's: there the file's name is the current database, and master
// is one of the server's own databases, without the editor's tables.
TEST(DatabaseNames, TheFilesNameIsTheCurrentDatabase) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("listini.sqlite"));
    tsqltest::createFile(path, QStringLiteral("WAL"));
    {
        tsqltest::FileConnection db(path);
        tsql::Session session(db.db());
        tsql::RunResult r = session.run(QStringLiteral("SELECT COUNT(*) FROM LISTINI.dbo.T100"));
        ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("100"));
        r = session.run(QStringLiteral("DELETE FROM master.dbo.T100"));
        ASSERT_TRUE(r.error.has_value());
        EXPECT_EQ(r.error->number, 208);
        r = session.run(QStringLiteral("SELECT COUNT(*) FROM T100"));
        EXPECT_EQ(rowTexts(r).join(u';'), QStringLiteral("100"));
    }
}

} // namespace
