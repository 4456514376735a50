// Values the query constructs return and where their tables live: temporary tables and table
// variables (SQLite's temp schema, gone with a rollback or with the batch), VALUES, common
// table expressions (recursive ones over tables too), ALL / ANY and IDENTITY values.

#include "tsql/Engine.h"
#include "tsql/Session.h"

#include "TestDb.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

namespace {

class QueryTest : public tsqltest::SessionTest {
protected:
    // The rows of the last result set.
    QStringList rows(const QString& batch) { return tsqltest::rowTexts(ok(batch), tsqltest::kLastSet); }
    QStringList sqlite(const QString& sql) {
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        QStringList out;
        while (q.next()) {
            QStringList cells;
            for (int k = 0; k < q.record().count(); ++k)
                cells << q.value(k).toString();
            out << cells.join(u'|');
        }
        return out;
    }
};

TEST_F(QueryTest, TemporaryTableLivesInTheTempSchemaForTheSession) {
    rows("CREATE TABLE #t (a varchar(5) NOT NULL, b decimal(10,2) NULL, c int IDENTITY(100, 10))");
    EXPECT_TRUE(sqlite("SELECT name FROM main.sqlite_master WHERE name LIKE '#%'").isEmpty());
    EXPECT_EQ(sqlite("SELECT name, lower(type), \"notnull\" FROM pragma_table_info('#t', 'temp')"),
              QStringList({"a|varchar(5)|1", "b|decimal(10,2)|0", "c|int identity(100,10)|1"}));
    rows("INSERT INTO #t (a, b) VALUES ('x', 1.5), ('y', NULL)");
    rows("INSERT INTO #t (a) SELECT CM01_CODICE FROM CM01_CATEGORIECOMM WHERE CM01_IDCATEGORIA = 124");
    EXPECT_EQ(rows("SELECT a, b, c FROM #t ORDER BY c"),
              QStringList({"x|1.50|100", "y|<NULL>|110", "c02|<NULL>|120"}));
    EXPECT_EQ(error("CREATE TABLE #t (z int)"), 2714);
    rows("DROP TABLE #t");
    EXPECT_EQ(error("SELECT * FROM #t"), 208);
}

TEST_F(QueryTest, TemporaryTableGoesWithTheTransactionThatMadeIt) {
    session.beginTransaction();
    rows("CREATE TABLE #t (a int) INSERT #t VALUES (1)");
    session.rollbackTransaction();
    EXPECT_EQ(error("SELECT * FROM #t"), 208);
    EXPECT_TRUE(sqlite("SELECT name FROM temp.sqlite_master").isEmpty());
}

TEST_F(QueryTest, IsolatedBatchLeavesNoTable) {
    tsql::Engine engine(db);
    auto r = engine.executeIsolated(
        "CREATE TABLE #t (a int) DECLARE @v TABLE (b int) INSERT #t VALUES (1) INSERT @v SELECT a FROM #t",
        true);
    EXPECT_FALSE(r.result.error.has_value());
    EXPECT_TRUE(sqlite("SELECT name FROM temp.sqlite_master").isEmpty());
}

TEST_F(QueryTest, TableVariableKeepsItsRowsThroughRollbackAndGoesWithTheBatch) {
    EXPECT_EQ(rows("DECLARE @t TABLE (id int IDENTITY, n varchar(10)) "
                   "BEGIN TRAN INSERT @t (n) VALUES ('a'), ('b') ROLLBACK "
                   "INSERT @t (n) VALUES ('c') SELECT id, n FROM @t ORDER BY id"),
              QStringList({"1|a", "2|b", "3|c"}));
    EXPECT_TRUE(sqlite("SELECT name FROM temp.sqlite_master").isEmpty());
}

TEST_F(QueryTest, TableVariableJoinsATableOfTheDatabase) {
    EXPECT_EQ(
        rows("DECLARE @t TABLE (id decimal(10,0)) INSERT @t VALUES (124), (999) "
             "SELECT RTRIM(c.CM01_CODICE) FROM @t t JOIN CM01_CATEGORIECOMM c ON c.CM01_IDCATEGORIA = t.id"),
        QStringList({"c02"}));
}

TEST_F(QueryTest, ValuesTakeTheTypeOfHighestPrecedence) {
    EXPECT_EQ(rows("SELECT x, s FROM (VALUES (1, 'a'), (2.5, 'bcd')) AS v(x, s) ORDER BY x"),
              QStringList({"1.0|a", "2.5|bcd"}));
    EXPECT_EQ(rows("SELECT v.n, RTRIM(c.CM01_CODICE) FROM (VALUES (123), (125)) v(n) "
                   "JOIN CM01_CATEGORIECOMM c ON c.CM01_IDCATEGORIA = v.n ORDER BY 1"),
              QStringList({"123|C01", "125|C03"}));
}

TEST_F(QueryTest, CommonTableExpressions) {
    EXPECT_EQ(rows(";WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 4) SELECT i FROM n"),
              QStringList({"1", "2", "3", "4"}));
    // Over a table: the recursion runs on SQLite.
    EXPECT_EQ(rows(";WITH n AS (SELECT CAST(MIN(CM01_IDCATEGORIA) AS int) AS i FROM CM01_CATEGORIECOMM "
                   "UNION ALL SELECT i + 1 FROM n WHERE i < 125) SELECT i FROM n ORDER BY i"),
              QStringList({"123", "124", "125"}));
    EXPECT_EQ(rows(";WITH c AS (SELECT CM01_IDCATEGORIA AS id FROM CM01_CATEGORIECOMM) "
                   "SELECT COUNT(*) FROM c a JOIN c b ON b.id = a.id + 1"),
              QStringList({"2"}));
    EXPECT_EQ(
        error(";WITH n AS (SELECT CM01_IDCATEGORIA AS i FROM CM01_CATEGORIECOMM UNION ALL SELECT i FROM n) "
              "SELECT COUNT(*) FROM n"),
        530);
    EXPECT_EQ(rows(";WITH n AS (SELECT CM01_IDCATEGORIA AS i, 0 AS d FROM CM01_CATEGORIECOMM UNION ALL "
                   "SELECT i, d + 1 FROM n WHERE d < 100) SELECT COUNT(*) FROM n"),
              QStringList({"303"}));
    EXPECT_EQ(error(";WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n) SELECT i FROM n OPTION "
                    "(MAXRECURSION 5)"),
              530);
}

TEST_F(QueryTest, AllAndAnyOverTables) {
    EXPECT_EQ(rows("SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM WHERE CM01_IDCATEGORIA >= ALL "
                   "(SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM)"),
              QStringList({"125"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM CM01_CATEGORIECOMM WHERE CM01_IDCATEGORIA > ANY "
                   "(SELECT n FROM (VALUES (123), (NULL)) v(n))"),
              QStringList({"2"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM CM01_CATEGORIECOMM WHERE NOT (CM01_IDCATEGORIA > ALL "
                   "(SELECT n FROM (VALUES (1), (NULL)) v(n)))"),
              QStringList({"0"}));
}

} // namespace
