// The SQL Server back end against a server: the real one FORMULE_TEST_SQLSERVER names (an ADO
// connection string, Provider=MSOLEDBSQL;Data Source=host,port;Initial Catalog=...;User ID=...;
// Password=...), else a `formule serve` of the test's own over the demo database. The verdict
// corpus runs on a real server only.

#include "../tsql/Corpus.h"
#include "LocalServer.h"
#include "ado/Ado.h"
#include "check/Declarations.h"

#include <QFileInfo>

#include <iostream>

#include <gtest/gtest.h>

// The server FORMULE_TEST_SQLSERVER names, or else `local` started: its connection string (empty,
// with the test failed, when it could not start).
QString serverToTest(testing_tds::LocalServer& local) {
    const QString cs = qEnvironmentVariable("FORMULE_TEST_SQLSERVER");
    if (!cs.isEmpty())
        return cs;
    QString error;
    if (!local.start(error)) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    return local.connectionString();
}

TEST(SqlServerLive, BatchesResultSetsErrorsAndTransactions) {
    testing_tds::LocalServer local;
    const QString cs = serverToTest(local);
    ASSERT_FALSE(cs.isEmpty());
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

// An isolated run puts the session back as it found it, whatever session options the batch set
// and whether or not it failed: the next batch reads dates, weeks and options as before.
TEST(SqlServerLive, AnIsolatedRunPutsTheSessionBack) {
    testing_tds::LocalServer local;
    const QString cs = serverToTest(local);
    ASSERT_FALSE(cs.isEmpty());
    ado::Connection conn;
    conn.Open(cs);
    ASSERT_EQ(conn.State(), 1);
    const auto session = [&conn] {
        const ado::BatchOutcome out = conn.ExecuteBatch(QStringLiteral(
            "SELECT @@OPTIONS, @@DATEFIRST, @@LANGUAGE, MONTH(CONVERT(datetime, '01/02/03')), @@TRANCOUNT"));
        EXPECT_TRUE(out.errors.isEmpty());
        QStringList values;
        if (!out.resultSets.isEmpty() && !out.resultSets.first().rows.isEmpty())
            for (const core::Variant& v : out.resultSets.first().rows.first())
                values << v.toString();
        return values.join(u'|');
    };
    const QString before = session();
    ASSERT_FALSE(before.isEmpty());
    ado::CommandLimits limits;
    for (const char* batch :
         {"SET DATEFORMAT ydm SET LANGUAGE Italiano SET DATEFIRST 3 SELECT 1",
          "SET LANGUAGE British SET NOCOUNT ON SET XACT_ABORT OFF SET ARITHABORT OFF SELECT 1",
          "SET ANSI_WARNINGS ON SET CONCAT_NULL_YIELDS_NULL ON SET DATEFORMAT dmy SELECT 1 / 0",
          "SET XACT_ABORT OFF SET DATEFORMAT myd SELECT 1 / 0 SET NOCOUNT ON"}) {
        conn.ExecuteIsolated(QString::fromLatin1(batch), false, limits);
        EXPECT_EQ(session(), before) << batch;
    }
    conn.Close();
}

// The rows of the component's tables the engine's corpus test runs its cases on (tests/tsql/
// TestDb.h), put in place at the head of every case's batch, inside its transaction.
const QString CorpusRows = QStringLiteral(
    "DELETE FROM LP01_PROVIDER DELETE FROM LP14_CAMPI DELETE FROM CM01_CATEGORIECOMM DELETE FROM "
    "MG5F_DIMECONF\r\n"
    "INSERT INTO LP01_PROVIDER (LP01_ID, LP01_DESCRIZIONE, LP01_FORMULE, LP01_DITTA_CG18) "
    "VALUES (42, 'Listino', 'SET @OUTPREZZO = 25', 1)\r\n"
    "INSERT INTO LP14_CAMPI (LP14_INDELEMENTO, LP14_DESCRIZIONE, LP14_PARENT, LP14_ISATTIVO, LP14_PROGVISUA) "
    "VALUES (1, 'Documento', NULL, 1, 2), (2, 'Articolo', NULL, 1, 1), (3, 'Spento', NULL, 0, 3), "
    "(10, 'Famiglia', 2, 1, 1)\r\n"
    "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR, "
    "CM01_INDTIPODATO) VALUES (123, 1, 'C01       ', 'Colore    ', 0), (124, 1, 'c02', 'Peso', 1), "
    "(125, 2, 'C03', 'Altra ditta', 2)\r\n"
    "INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
    "VALUES (1, 'V01                 ', 'Colore scocca  '), (1, 'V02', 'Motore')\r\n");

// Every case of the engine's verdict corpus (tests/tsql/cases) on the real server, behind the
// check's declaration block and the corpus test's rows, as the engine's corpus test runs them,
// each in a transaction that is rolled back: the server's verdict must be the one the case
// expects. The cases the engine refuses by name (Msg 40000) are the server's to run: they are
// counted, not compared. Only with a real server: formule serve answers with the engine itself.
TEST(SqlServerLive, TheVerdictCorpusAgrees) {
    const QString cs = qEnvironmentVariable("FORMULE_TEST_SQLSERVER");
    if (cs.isEmpty())
        GTEST_SKIP() << "FORMULE_TEST_SQLSERVER names no SQL Server";
    ado::Connection conn;
    conn.Open(cs);
    ASSERT_EQ(conn.State(), 1);
    ado::CommandLimits limits;
    limits.timeoutMs = 30000;
    const QStringList files = corpus::caseFiles(QStringLiteral(FORMULE_TSQL_CASES_DIR));
    ASSERT_FALSE(files.isEmpty()) << FORMULE_TSQL_CASES_DIR;
    int compared = 0;
    int agree = 0;
    int refusals = 0;
    for (const QString& file : files) {
        for (const corpus::Case& c : corpus::readCorpus(file)) {
            if (c.expected == corpus::EngineRefusal) {
                ++refusals;
                continue;
            }
            const ado::IsolatedOutcome out = conn.ExecuteIsolated(
                CorpusRows + check::BuildDeclarations() + c.declare + c.text, true, limits);
            int got = 0;
            for (const ado::Error& e : out.outcome.errors) {
                if (e.severity > 10) {
                    got = e.nativeError;
                    break;
                }
            }
            ++compared;
            EXPECT_EQ(got, c.expected)
                << QFileInfo(file).fileName().toStdString() << ": " << c.name.toStdString() << ": "
                << (out.outcome.errors.isEmpty() ? std::string("accepted")
                                                 : out.outcome.errors.first().description.toStdString());
            if (got == c.expected)
                ++agree;
        }
    }
    std::cout << "[ corpus ] live server: " << agree << " of " << compared << " agree; " << refusals
              << " refused by the embedded engine not compared\n";
    conn.Close();
}
