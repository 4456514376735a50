// The catalogue as drivers and tools read it: the catalogue views (their columns, names and
// types as SQL Server's documentation lists them, and their rows from the database's schema),
// sp_tables, sp_columns and sp_help, the metadata functions, the one version the server tells,
// the SET options drivers send at connect, SET LOCK_TIMEOUT, and the SQL Server schema script
// (named defaults, CREATE INDEX, sys.indexes) run twice.

#include "tsql/ServerVersion.h"
#include "tsql/Session.h"

#include "TestDb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using tsql::RunResult;
using tsql::Session;

namespace {

// A database file named "shop" with the editor's tables and one table the engine made itself,
// with the types the SQLite schema does not use.
class CatalogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<tsqltest::FileConnection> file;
    std::unique_ptr<Session> session;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("shop.sqlite"));
        tsqltest::createFile(path, QStringLiteral("WAL"));
        file = std::make_unique<tsqltest::FileConnection>(path);
        session = std::make_unique<Session>(file->db());
        const RunResult r = session->run(QStringLiteral(
            "CREATE TABLE dbo.T_TYPES (ID INT IDENTITY(5, 2) NOT NULL CONSTRAINT PK_T PRIMARY KEY, "
            "N NVARCHAR(MAX) NULL, W NVARCHAR(40) NOT NULL CONSTRAINT DF_W DEFAULT N'x', D DATE "
            "NULL, "
            "T TIME NULL, M MONEY NULL, F FLOAT NULL, B BIT NOT NULL CONSTRAINT DF_B DEFAULT 1, "
            "C CHAR(3) NULL CONSTRAINT UQ_C UNIQUE)"));
        ASSERT_FALSE(r.error) << r.error->message.toStdString();
    }
    void TearDown() override {
        session.reset();
        file.reset();
    }

    RunResult run(const QString& batch) { return session->run(batch); }

    // The rows of the batch's `set`-th result set, each as its cells joined by '|'.
    QStringList rows(const QString& batch, std::size_t set = 0) {
        const RunResult r = run(batch);
        EXPECT_FALSE(r.error) << batch.toStdString() << ": " << r.error->message.toStdString();
        const tsql::ResultSet* s = tsqltest::resultSet(r, set);
        return s ? tsqltest::rowTexts(*s) : QStringList{QStringLiteral("<no result set>")};
    }
    QString scalar(const QString& batch) { return rows(batch).value(0); }
    QStringList columns(const QString& batch) {
        const RunResult r = run(batch);
        const tsql::ResultSet* s = tsqltest::resultSet(r, 0);
        return s ? s->columns : QStringList{};
    }
    std::optional<tsql::ServerError> error(const QString& batch) { return run(batch).error; }
};

// The columns of every view, in SQL Server's order, and the type of the ones drivers read.
TEST_F(CatalogTest, EveryViewHasTheServersColumns) {
    struct Case {
        const char* view;
        QStringList first; // its first columns, in order
        qsizetype count;
    };
    const std::vector<Case> cases = {
        {"sys.objects",
         {"name", "object_id", "principal_id", "schema_id", "parent_object_id", "type", "type_desc",
          "create_date", "modify_date", "is_ms_shipped", "is_published", "is_schema_published"},
         12},
        {"sys.tables", {"name", "object_id", "principal_id", "schema_id", "parent_object_id", "type"}, 41},
        {"sys.views", {"name", "object_id"}, 19},
        {"sys.columns",
         {"object_id", "name", "column_id", "system_type_id", "user_type_id", "max_length", "precision",
          "scale", "collation_name", "is_nullable", "is_ansi_padded", "is_rowguidcol", "is_identity",
          "is_computed"},
         36},
        {"sys.types",
         {"name", "system_type_id", "user_type_id", "schema_id", "principal_id", "max_length", "precision",
          "scale", "collation_name", "is_nullable", "is_user_defined"},
         15},
        {"sys.schemas", {"name", "schema_id", "principal_id"}, 3},
        {"sys.databases",
         {"name", "database_id", "source_database_id", "create_date", "compatibility_level",
          "collation_name"},
         27},
        {"sys.indexes",
         {"object_id", "name", "index_id", "type", "type_desc", "is_unique", "is_primary_key",
          "is_unique_constraint"},
         17},
        {"sys.identity_columns",
         {"object_id", "name", "column_id", "system_type_id", "user_type_id", "seed_value", "increment_value",
          "last_value", "is_not_for_replication"},
         9},
        {"INFORMATION_SCHEMA.TABLES", {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"}, 4},
        {"INFORMATION_SCHEMA.COLUMNS",
         {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "ORDINAL_POSITION", "COLUMN_DEFAULT",
          "IS_NULLABLE", "DATA_TYPE", "CHARACTER_MAXIMUM_LENGTH", "CHARACTER_OCTET_LENGTH",
          "NUMERIC_PRECISION", "NUMERIC_PRECISION_RADIX", "NUMERIC_SCALE", "DATETIME_PRECISION"},
         23},
    };
    for (const Case& c : cases) {
        for (const QString& written : {QString::fromLatin1(c.view), QString::fromLatin1(c.view).toUpper(),
                                       QStringLiteral("shop.") + QString::fromLatin1(c.view)}) {
            const QStringList got = columns(QStringLiteral("SELECT * FROM %1").arg(written));
            EXPECT_EQ(got.size(), c.count) << written.toStdString();
            EXPECT_EQ(got.mid(0, c.first.size()), c.first) << written.toStdString();
        }
    }
    // Another database's catalogue is not this one's; an unknown view is no view.
    EXPECT_EQ(error(QStringLiteral("SELECT * FROM sys.no_such_view"))->number, 208);
    EXPECT_EQ(error(QStringLiteral("SELECT * FROM other.sys.tables"))->number, 911);
}

TEST_F(CatalogTest, TablesAndViewsWithTheIdsObjectIdGives) {
    EXPECT_EQ(
        rows(QStringLiteral("SELECT name, type, type_desc, schema_id, SCHEMA_NAME(schema_id) FROM sys.tables "
                            "WHERE object_id = OBJECT_ID('dbo.LP14_CAMPI')")),
        QStringList{QStringLiteral("LP14_CAMPI|U |USER_TABLE|1|dbo")});
    // type is char(2): 'U' finds 'U ' as on the server.
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM sys.objects WHERE type = 'U'")),
              QStringLiteral("6"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM sys.tables t JOIN sys.objects o ON o.object_id = "
                                    "t.object_id AND OBJECT_NAME(o.object_id) = t.name")),
              QStringLiteral("6"));
    // The same ids in another session, and after another table was made and dropped.
    const QString before = scalar(QStringLiteral("SELECT object_id FROM sys.tables WHERE name = 'T_TYPES'"));
    run(QStringLiteral("CREATE TABLE X1 (a INT); DROP TABLE X1"));
    tsqltest::FileConnection other(path);
    Session second(other.db());
    const RunResult r = second.run(QStringLiteral("SELECT object_id FROM sys.tables WHERE name = 'T_TYPES'"));
    ASSERT_FALSE(r.error);
    EXPECT_EQ(tsqltest::rowTexts(r.resultSets.at(0)), QStringList{before});
    // Temporary tables belong to tempdb, not to the database's catalogue.
    EXPECT_EQ(
        scalar(QStringLiteral("CREATE TABLE #tmp (a INT); SELECT COUNT(*) FROM sys.tables WHERE name LIKE "
                              "'#%'")),
        QStringLiteral("0"));
    EXPECT_EQ(rows(QStringLiteral("SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM "
                                  "INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME LIKE 'LP%'")),
              (QStringList{QStringLiteral("shop|dbo|LP01_PROVIDER|BASE TABLE"),
                           QStringLiteral("shop|dbo|LP14_CAMPI|BASE TABLE")}));
}

// Every column type the engine keeps, as sys.columns, INFORMATION_SCHEMA.COLUMNS and sp_columns
// describe it.
TEST_F(CatalogTest, ColumnsWithTheirDeclaredTypes) {
    EXPECT_EQ(
        rows(QStringLiteral(
            "SELECT c.name, t.name, c.max_length, c.[precision], c.scale, c.is_nullable, c.is_identity, "
            "ISNULL(c.collation_name, '-') FROM sys.columns c JOIN sys.types t ON t.user_type_id = "
            "c.user_type_id WHERE c.object_id = OBJECT_ID('T_TYPES') ORDER BY c.column_id")),
        (QStringList{"ID|int|4|10|0|0|1|-", "N|nvarchar|-1|0|0|1|0|SQL_Latin1_General_CP1_CI_AS",
                     "W|nvarchar|80|0|0|0|0|SQL_Latin1_General_CP1_CI_AS", "D|date|3|10|0|1|0|-",
                     "T|time|5|16|7|1|0|-", "M|money|8|19|4|1|0|-", "F|float|8|53|0|1|0|-",
                     "B|bit|1|1|0|0|0|-", "C|char|3|0|0|1|0|SQL_Latin1_General_CP1_CI_AS"}));
    EXPECT_EQ(
        rows(QStringLiteral(
            "SELECT COLUMN_NAME, ORDINAL_POSITION, ISNULL(COLUMN_DEFAULT, '-'), IS_NULLABLE, DATA_TYPE, "
            "ISNULL(CHARACTER_MAXIMUM_LENGTH, -9), ISNULL(CHARACTER_OCTET_LENGTH, -9), "
            "ISNULL(NUMERIC_PRECISION, 0), ISNULL(NUMERIC_PRECISION_RADIX, 0), ISNULL(NUMERIC_SCALE, -9), "
            "ISNULL(DATETIME_PRECISION, -9) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'T_TYPES' "
            "ORDER BY ORDINAL_POSITION")),
        (QStringList{"ID|1|-|NO|int|-9|-9|10|10|0|-9", "N|2|-|YES|nvarchar|-1|-1|0|0|-9|-9",
                     "W|3|('x')|NO|nvarchar|40|80|0|0|-9|-9", "D|4|-|YES|date|-9|-9|0|0|-9|0",
                     "T|5|-|YES|time|-9|-9|0|0|-9|7", "M|6|-|YES|money|-9|-9|19|10|4|-9",
                     "F|7|-|YES|float|-9|-9|53|2|-9|-9", "B|8|((1))|NO|bit|-9|-9|0|0|-9|-9",
                     "C|9|-|YES|char|3|3|0|0|-9|-9"}));
    EXPECT_EQ(rows(QStringLiteral("SELECT name, seed_value, increment_value FROM sys.identity_columns")),
              QStringList{QStringLiteral("ID|5|2")});
    // The SQLite schema's own declarations (INTEGER, VARCHAR, TEXT, DECIMAL) read as the engine reads them.
    EXPECT_EQ(rows(QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE, ISNULL(CHARACTER_MAXIMUM_LENGTH, 0), "
                                  "ISNULL(NUMERIC_PRECISION, 0), ISNULL(COLUMN_DEFAULT, '-') FROM "
                                  "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'LP01_PROVIDER'")),
              (QStringList{"LP01_ID|int|0|10|-", "LP01_DESCRIZIONE|varchar|80|0|-",
                           "LP01_FORMULE|varchar|-1|0|-", "LP01_DITTA_CG18|decimal|0|5|((1))"}));
}

TEST_F(CatalogTest, IndexesAndKeys) {
    EXPECT_EQ(
        rows(QStringLiteral("SELECT OBJECT_NAME(object_id), ISNULL(name, '-'), index_id, type_desc, "
                            "is_unique, is_primary_key, is_unique_constraint FROM sys.indexes WHERE "
                            "object_id IN (OBJECT_ID('T_TYPES'), OBJECT_ID('T100')) ORDER BY object_id, "
                            "index_id")),
        (QStringList{"T100|-|0|HEAP|0|0|0", "T_TYPES|PK_T_TYPES|1|CLUSTERED|1|1|0",
                     "T_TYPES|UQ_T_TYPES_2|2|NONCLUSTERED|1|0|1"}));
    ASSERT_FALSE(error(QStringLiteral("CREATE UNIQUE NONCLUSTERED INDEX IX_W ON dbo.T_TYPES (W DESC, B)")));
    EXPECT_EQ(rows(QStringLiteral("SELECT name, index_id, is_unique FROM sys.indexes WHERE object_id = "
                                  "OBJECT_ID('T_TYPES') AND index_id > 2")),
              QStringList{QStringLiteral("IX_W|3|1")});
    struct Refusal {
        const char* batch;
        int number;
    };
    for (const Refusal& r : std::vector<Refusal>{{"CREATE INDEX IX_W ON T_TYPES (B)", 1913},
                                                 {"CREATE INDEX IX_Q ON T_TYPES (NOPE)", 1911},
                                                 {"CREATE INDEX IX_Q ON NO_TABLE (A)", 208},
                                                 {"CREATE INDEX IX_Q ON sys.tables (name)", 259}}) {
        const auto e = error(QString::fromLatin1(r.batch));
        ASSERT_TRUE(e) << r.batch;
        EXPECT_EQ(e->number, r.number) << r.batch << ": " << e->message.toStdString();
    }
}

TEST_F(CatalogTest, TheViewsAreReadOnly) {
    for (const char* batch :
         {"INSERT INTO sys.tables (name) VALUES ('x')", "UPDATE sys.columns SET name = 'x'",
          "DELETE FROM INFORMATION_SCHEMA.TABLES", "DELETE sys.objects WHERE 1 = 0"}) {
        const auto e = error(QString::fromLatin1(batch));
        ASSERT_TRUE(e) << batch;
        EXPECT_EQ(e->number, 259) << batch;
        EXPECT_EQ(e->message, QStringLiteral("Ad hoc updates to system catalogs are not allowed.")) << batch;
    }
}

TEST_F(CatalogTest, DatabasesSchemasAndTypes) {
    EXPECT_EQ(rows(QStringLiteral("SELECT name, database_id, compatibility_level FROM sys.databases")),
              (QStringList{"master|1|150", "tempdb|2|150", "model|3|150", "msdb|4|150", "shop|5|150"}));
    EXPECT_EQ(rows(QStringLiteral("SELECT name, schema_id FROM sys.schemas ORDER BY schema_id")),
              (QStringList{"dbo|1", "guest|2", "INFORMATION_SCHEMA|3", "sys|4"}));
    EXPECT_EQ(
        rows(QStringLiteral("SELECT name, system_type_id, user_type_id, max_length FROM sys.types WHERE "
                            "name IN ('int', 'nvarchar', 'sysname', 'decimal') ORDER BY user_type_id")),
        (QStringList{"int|56|56|4", "decimal|106|106|17", "nvarchar|231|231|8000", "sysname|231|256|256"}));
}

TEST_F(CatalogTest, MetadataFunctions) {
    struct Case {
        const char* expression;
        const char* value;
    };
    const std::vector<Case> cases = {
        {"DB_NAME()", "shop"},
        {"DB_NAME(5)", "shop"},
        {"DB_NAME(2)", "tempdb"},
        {"ISNULL(DB_NAME(6), '-')", "-"},
        {"DB_ID()", "5"},
        {"DB_ID('MSDB')", "4"},
        {"ISNULL(DB_ID('nope'), -1)", "-1"},
        {"SUSER_NAME()", "dbo"},
        {"SUSER_SNAME()", "dbo"},
        {"USER_NAME()", "dbo"},
        {"SCHEMA_NAME()", "dbo"},
        {"SCHEMA_NAME(4)", "sys"},
        {"SCHEMA_ID('INFORMATION_SCHEMA')", "3"},
        {"OBJECT_NAME(OBJECT_ID('lp14_campi'))", "LP14_CAMPI"},
        {"ISNULL(OBJECT_NAME(1), '-')", "-"},
        {"ISNULL(OBJECT_NAME(OBJECT_ID('LP14_CAMPI'), 2), '-')", "-"},
        {"SERVERPROPERTY('ProductVersion')", tsql::server_version::ProductVersion},
        {"SERVERPROPERTY('productlevel')", tsql::server_version::ProductLevel},
        {"SERVERPROPERTY('ProductMajorVersion')", "15"},
        {"SERVERPROPERTY('EngineEdition') + 0", "4"},
        {"SERVERPROPERTY('Edition')", "Express Edition (64-bit)"},
        {"SERVERPROPERTY('ServerName')", "EMBEDDED"},
        {"SERVERPROPERTY('MachineName')", "EMBEDDED"},
        {"@@SERVERNAME", "EMBEDDED"},
        {"SERVERPROPERTY('Collation')", "SQL_Latin1_General_CP1_CI_AS"},
        {"ISNULL(SERVERPROPERTY('NoSuchProperty'), '-')", "-"},
        {"LEFT(@@VERSION, CHARINDEX(CHAR(10), @@VERSION) - 2)",
         "Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scalar(QStringLiteral("SELECT %1").arg(QLatin1String(c.expression))),
                  QString::fromUtf8(c.value))
            << c.expression;
    session->setLogin(QStringLiteral("Mario"), QStringLiteral("formule"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT SUSER_NAME() + '/' + @@SERVERNAME + '/' + "
                                    "CAST(SERVERPROPERTY('ServerName') AS nvarchar(20))")),
              QStringLiteral("Mario/formule/formule"));
}

TEST_F(CatalogTest, SpTablesAndSpColumns) {
    EXPECT_EQ(rows(QStringLiteral("EXEC sp_tables @table_name = 'LP%', @table_type = \"'TABLE','VIEW'\"")),
              (QStringList{"shop|dbo|LP01_PROVIDER|TABLE|<NULL>", "shop|dbo|LP14_CAMPI|TABLE|<NULL>"}));
    EXPECT_EQ(rows(QStringLiteral("EXEC sp_tables N'LP_1_PROVIDER', @fUsePattern = 0")), QStringList{});
    // A type counts only in quotation marks, as the procedure looks for it.
    for (const char* types : {"TABLE", "'TABLE", "'TABLES'"})
        EXPECT_EQ(rows(QStringLiteral("EXEC sp_tables 'LP%%', @table_type = N'%1'")
                           .arg(QString::fromLatin1(types).replace(u'\'', QStringLiteral("''")))),
                  QStringList{})
            << types;
    EXPECT_EQ(rows(QStringLiteral("EXEC sys.sp_tables 'tables', 'sys'")),
              QStringList{QStringLiteral("shop|sys|tables|SYSTEM TABLE|<NULL>")});
    EXPECT_EQ(columns(QStringLiteral("EXEC sp_columns T_TYPES")),
              (QStringList{"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE",
                           "TYPE_NAME", "PRECISION", "LENGTH", "SCALE", "RADIX", "NULLABLE", "REMARKS",
                           "COLUMN_DEF", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH",
                           "ORDINAL_POSITION", "IS_NULLABLE", "SS_DATA_TYPE"}));
    // ODBC 2 (the default) and ODBC 3 differ in the codes of the date and time types.
    EXPECT_EQ(rows(QStringLiteral("EXEC sp_columns @table_name = 'T_TYPES', @column_name = 'D'"))
                  .value(0)
                  .section(u'|', 3, 4),
              QStringLiteral("D|9"));
    EXPECT_EQ(
        rows(QStringLiteral("EXEC sp_columns @table_name = 'T_TYPES', @column_name = 'D', @ODBCVer = 3"))
            .value(0)
            .section(u'|', 3, 4),
        QStringLiteral("D|91"));
    const QStringList all = rows(QStringLiteral("EXEC sp_columns @table_name = N'T[_]TYPES', @ODBCVer = 3"));
    ASSERT_EQ(all.size(), 9);
    EXPECT_EQ(all[0].section(u'|', 3, 8), QStringLiteral("ID|4|int identity|10|4|0"));
    EXPECT_EQ(all[1].section(u'|', 3, 8), QStringLiteral("N|-9|nvarchar|1073741823|2147483646|<NULL>"));
    EXPECT_EQ(all[2].section(u'|', 3, 12),
              QStringLiteral("W|-9|nvarchar|40|80|<NULL>|<NULL>|0|<NULL>|('x')"));
    EXPECT_EQ(all[7].section(u'|', 3, 12), QStringLiteral("B|-7|bit|1|1|<NULL>|<NULL>|0|<NULL>|((1))"));
    EXPECT_EQ(all[8].section(u'|', 15, 18), QStringLiteral("3|9|YES|47"));
}

TEST_F(CatalogTest, SpHelp) {
    const RunResult r = run(QStringLiteral("EXEC sp_help 'dbo.T_TYPES'"));
    ASSERT_FALSE(r.error) << r.error->message.toStdString();
    ASSERT_EQ(r.resultSets.size(), 5u);
    EXPECT_EQ(tsqltest::rowTexts(r.resultSets[0]).value(0).section(u'|', 0, 2),
              QStringLiteral("T_TYPES|dbo|user table"));
    EXPECT_EQ(r.resultSets[1].rows.size(), 9u);
    EXPECT_EQ(tsqltest::rowTexts(r.resultSets[2]), QStringList{QStringLiteral("ID|5|2|0")});
    EXPECT_EQ(rows(QStringLiteral("EXEC sp_help")).size(), 6);
}

TEST_F(CatalogTest, ProcedureCallsThatFail) {
    struct Case {
        const char* batch;
        int number;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"EXEC sp_columns", 201,
         "Procedure or function 'sp_columns' expects parameter '@table_name', which was not supplied."},
        {"EXEC sp_columns @table = 'x'", 8145, "@table is not a parameter for procedure sp_columns."},
        {"EXEC sp_help 'T_TYPES', 'more'", 8145, "2 is not a parameter for procedure sp_help."},
        {"EXEC sp_help 'nothing'", 15009,
         "The object 'nothing' does not exist in database 'shop' or is invalid for this operation."},
        {"EXEC sp_help 'guest.T_TYPES'", 15009,
         "The object 'guest.T_TYPES' does not exist in database 'shop' or is invalid for this operation."},
        {"EXEC sp_no_such_procedure", 2812, "Could not find stored procedure 'sp_no_such_procedure'."},
    };
    for (const Case& c : cases) {
        const auto e = error(QString::fromLatin1(c.batch));
        ASSERT_TRUE(e) << c.batch;
        EXPECT_EQ(e->number, c.number) << c.batch;
        EXPECT_EQ(e->message, QString::fromLatin1(c.message)) << c.batch;
    }
    // A value written into the procedure's own query stays a value.
    EXPECT_EQ(rows(QStringLiteral("EXEC sp_tables @table_name = 'x'' OR 1 = 1 --'")), QStringList{});
}

// What drivers send at connect (FreeTDS, pymssql, tedious, JDBC, ODBC): accepted; what would
// compute otherwise: refused by name.
TEST_F(CatalogTest, SetOptionsDriversSend) {
    const std::vector<const char*> accepted = {
        "SET TEXTSIZE 2147483647",
        "SET TEXTSIZE 0",
        "SET ANSI_NULLS ON",
        "SET ANSI_PADDING ON",
        "SET ANSI_WARNINGS ON",
        "SET ARITHABORT ON",
        "SET ARITHABORT OFF",
        "SET CONCAT_NULL_YIELDS_NULL ON",
        "SET QUOTED_IDENTIFIER ON",
        "SET CURSOR_CLOSE_ON_COMMIT ON",
        "SET CURSOR_CLOSE_ON_COMMIT OFF",
        "SET IMPLICIT_TRANSACTIONS OFF",
        "SET LANGUAGE us_english",
        "SET DATEFORMAT mdy",
        "SET DATEFIRST 7",
        "SET TRANSACTION ISOLATION LEVEL READ COMMITTED",
        "SET LOCK_TIMEOUT -1",
        "SET LOCK_TIMEOUT 0",
        "SET NOCOUNT ON",
        "SET XACT_ABORT ON",
        "SET ANSI_NULL_DFLT_ON ON",
        "SET ANSI_NULL_DFLT_OFF OFF",
        "SET NUMERIC_ROUNDABORT OFF",
        "SET DEADLOCK_PRIORITY NORMAL",
        "SET ARITHABORT ON; SET CONCAT_NULL_YIELDS_NULL ON; SET ANSI_NULLS ON; SET ANSI_NULL_DFLT_ON ON; SET "
        "ANSI_PADDING ON; SET ANSI_WARNINGS ON; SET ANSI_NULL_DFLT_ON ON; SET CURSOR_CLOSE_ON_COMMIT ON; SET "
        "QUOTED_IDENTIFIER ON; SET TEXTSIZE 2147483647"};
    for (const char* batch : accepted) {
        const auto e = error(QString::fromLatin1(batch));
        EXPECT_FALSE(e) << batch << ": " << e->message.toStdString();
    }
    struct Refused {
        const char* batch;
        const char* message;
    };
    const std::vector<Refused> refused = {
        {"SET ANSI_NULLS OFF", "SET ANSI_NULLS OFF is not supported by the embedded server."},
        {"SET IMPLICIT_TRANSACTIONS ON",
         "SET IMPLICIT_TRANSACTIONS ON is not supported by the embedded server."},
        {"SET ANSI_DEFAULTS ON", "SET ANSI_DEFAULTS ON is not supported by the embedded server."},
        {"SET ANSI_DEFAULTS OFF", "SET ANSI_DEFAULTS OFF is not supported by the embedded server."},
        {"SET ANSI_NULL_DFLT_ON OFF", "SET ANSI_NULL_DFLT_ON OFF is not supported by the embedded server."},
        {"SET ANSI_NULL_DFLT_OFF ON", "SET ANSI_NULL_DFLT_OFF ON is not supported by the embedded server."},
        {"SET TEXTSIZE 4096", "SET TEXTSIZE 4096 is not supported by the embedded server."},
        {"SET LOCK_TIMEOUT -2", "SET LOCK_TIMEOUT -2 is not supported by the embedded server."},
        {"SET NUMERIC_ROUNDABORT ON", "SET NUMERIC_ROUNDABORT ON is not supported by the embedded server."},
    };
    for (const Refused& r : refused) {
        const auto e = error(QString::fromLatin1(r.batch));
        ASSERT_TRUE(e) << r.batch;
        EXPECT_EQ(e->number, 40000) << r.batch;
        EXPECT_EQ(e->message, QString::fromLatin1(r.message)) << r.batch;
    }
}

// SET LOCK_TIMEOUT shortens the wait for another connection's lock for the rest of the session;
// -1 gives back the engine's own wait. No time is measured: the holder keeps its lock far longer
// than the short waits, and a wait that ignored the setting would still end in Msg 1222.
TEST_F(CatalogTest, LockTimeoutLastsForTheSession) {
    tsqltest::FileConnection holder(path);
    ASSERT_TRUE(holder.exec(QStringLiteral("BEGIN IMMEDIATE")));
    const QString write =
        QStringLiteral("UPDATE LP14_CAMPI SET LP14_PROGVISUA = 9 WHERE LP14_INDELEMENTO = 1");
    ASSERT_FALSE(error(QStringLiteral("SET LOCK_TIMEOUT 50")));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto e = error(write);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number, 1222);
    }
    // Reading inside a transaction waits for no one.
    EXPECT_EQ(scalar(QStringLiteral("BEGIN TRAN; SELECT COUNT(*) FROM LP14_CAMPI")), QStringLiteral("4"));
    EXPECT_EQ(error(write)->number, 1222);
    session->rollbackTransaction();
    holder.exec(QStringLiteral("ROLLBACK"));
    EXPECT_FALSE(error(write));
    EXPECT_FALSE(error(QStringLiteral("SET LOCK_TIMEOUT -1")));
}

// The SQL Server schema script: named defaults, keys, CREATE INDEX behind sys.indexes and
// OBJECT_ID, statement by statement as init-db runs it, twice (the second run changes nothing).
TEST_F(CatalogTest, TheSqlServerSchemaScriptRunsTwice) {
    QFile script(QStringLiteral(FORMULE_DATA_DIR "/schema-sqlserver.sql"));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    QStringList statements;
    for (const QString& piece : QString::fromUtf8(script.readAll()).split(QStringLiteral(";\n")))
        if (!piece.trimmed().isEmpty())
            statements << piece;
    QTemporaryDir emptyDir;
    tsqltest::FileConnection empty(emptyDir.filePath(QStringLiteral("fresh.sqlite")));
    Session fresh(empty.db());
    for (int round = 0; round < 2; ++round)
        for (const QString& s : statements) {
            const RunResult r = fresh.run(s);
            ASSERT_FALSE(r.error) << "round " << round << ": " << s.toStdString() << ": "
                                  << r.error->message.toStdString();
        }
    const RunResult r = fresh.run(QStringLiteral(
        "SELECT name FROM sys.indexes WHERE name LIKE 'IX%' ORDER BY name; "
        "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_CODICE) VALUES (1, 'A'); "
        "SELECT CM01_DITTA_CG18, CM01_DESCR, CM01_INDTIPODATO FROM CM01_CATEGORIECOMM; "
        "SELECT COLUMN_DEFAULT FROM INFORMATION_SCHEMA.COLUMNS WHERE COLUMN_NAME = 'CM01_DESCR'"));
    ASSERT_FALSE(r.error) << r.error->message.toStdString();
    ASSERT_EQ(r.resultSets.size(), 3u);
    EXPECT_EQ(tsqltest::rowTexts(r.resultSets[0]),
              (QStringList{"IX_CM01_DITTA_CODICE", "IX_MG5F_CODICEVAR"}));
    EXPECT_EQ(tsqltest::rowTexts(r.resultSets[1]), QStringList{QStringLiteral("1||0")});
    EXPECT_EQ(tsqltest::rowTexts(r.resultSets[2]), QStringList{QStringLiteral("('')")});
}

} // namespace
