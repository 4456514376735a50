// The SQL Server back end against a server: the real one FORMULE_TEST_SQLSERVER names (an ADO
// connection string, Provider=MSOLEDBSQL;Data Source=host,port;Initial Catalog=...;User ID=...;
// Password=...), else a `formule serve` of the test's own over the demo database.

#include "LocalServer.h"
#include "ado/Ado.h"

#include <gtest/gtest.h>

TEST(SqlServerLive, BatchesResultSetsErrorsAndTransactions) {
    QString cs = qEnvironmentVariable("FORMULE_TEST_SQLSERVER");
    testing_tds::LocalServer local;
    if (cs.isEmpty()) {
        QString error;
        ASSERT_TRUE(local.start(error)) << error.toStdString();
        cs = local.connectionString();
    }
    ado::Connection conn;
    conn.Open(cs);
    ASSERT_EQ(conn.State(), 1);

    ado::BatchOutcome out = conn.ExecuteBatch(QStringLiteral(
        "SELECT 1 AS A, CAST(NULL AS INT) AS B, CAST(12.50 AS DECIMAL(5,2)) AS C\nSELECT N'è' AS D"));
    ASSERT_EQ(out.resultSets.size(), 2);
    const QList<core::Variant>& row = out.resultSets.at(0).rows.at(0);
    EXPECT_EQ(row.at(0).toInt32(), 1);
    EXPECT_TRUE(row.at(1).isNull());
    EXPECT_EQ(row.at(2).toDecimal().toString(), QStringLiteral("12.50"));
    EXPECT_EQ(out.resultSets.at(1).rows.at(0).at(0).toString(), QStringLiteral("è"));

    ado::RecordsetPtr rs = conn.Execute(QStringLiteral("SELECT 1 AS X WHERE 1 = 0"));
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_TRUE(rs->IsEOF());

    try {
        conn.Execute(QStringLiteral("declare @a int\nSELECT * FROM NO_SUCH_TABLE_FORMULE"));
        ADD_FAILURE() << "no error";
    } catch (const core::ComError& e) {
        EXPECT_EQ(e.number(), core::err::ProviderError);
        ASSERT_GE(conn.GetErrors().Count(), 1);
        const ado::Error& err = conn.GetErrors().Item(0);
        EXPECT_EQ(err.nativeError, 208);
        EXPECT_EQ(err.description, QStringLiteral("Invalid object name 'NO_SUCH_TABLE_FORMULE'."));
        EXPECT_TRUE(err.sqlState == QLatin1String("42S02") || err.sqlState == QLatin1String("S0002"))
            << err.sqlState.toStdString();
        // Level and line come through the driver's SQL Server fields; FreeTDS's driver does
        // not hand the state over.
        EXPECT_EQ(err.severity, 16);
        EXPECT_EQ(err.line, 2);
    }

    // A change rolled back through the connection's transaction leaves the component's table
    // as it was.
    const QString count = QStringLiteral("SELECT COUNT(*) AS N FROM LP14_CAMPI");
    const qint32 before = conn.Execute(count)->GetFields().Item(0).Value().toInt32();
    conn.BeginTrans();
    EXPECT_EQ(conn.TransactionCount(), 1);
    conn.Execute(QStringLiteral("DELETE FROM LP14_CAMPI"));
    EXPECT_EQ(conn.Execute(count)->GetFields().Item(0).Value().toInt32(), 0);
    conn.RollbackTrans();
    EXPECT_EQ(conn.TransactionCount(), 0);
    EXPECT_EQ(conn.Execute(count)->GetFields().Item(0).Value().toInt32(), before);
    conn.Close();
}
