// The SQL Server back end end to end: `formule serve` started by the test on a free loopback
// port, reached through Provider=MSOLEDBSQL (QODBC and FreeTDS) and through FreeTDS's own tsql
// client. The same table of tool commands runs on the embedded back end and through the server,
// and their answers must agree.

#include "../check/HostileFormulas.h"
#include "../common/ToolRun.h"
#include "ServedSuite.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpSocket>

#include <atomic>
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

// The tool on the back end `db` names; killed after a minute.
ToolRun runTool(const QString& db, const QStringList& args) {
    return testtool::runTool(QStringList{QStringLiteral("--db"), db} + args, {}, 60000);
}

// A verdict as both back ends can give it: number, level, line and text. FreeTDS's ODBC driver
// does not hand a message's state over (see StateThroughFreeTds), and the column is the embedded
// engine's own.
QString comparable(QString text) {
    static const QRegularExpression state(QStringLiteral(", State \\d+,"));
    static const QRegularExpression column(QStringLiteral(" \\(column \\d+\\)"));
    return text.replace(state, QStringLiteral(",")).replace(column, QString());
}

// The state of a server message through FreeTDS's ODBC driver: unknown (0). The driver keeps the
// message's class in the field of the state and drops the state itself.
constexpr int StateThroughFreeTds = 0;

using served_test::checkOn;
using served_test::CheckVerdict;

// One server for the whole suite, and an embedded database of its own created the same way.
class TdsEndToEnd : public served_test::ServedSuite {
protected:
    static void SetUpTestSuite() {
        ServedSuite::SetUpTestSuite();
        s_embeddedDir = new QTemporaryDir;
        s_embedded =
            ado::setup::embeddedConnectionString(s_embeddedDir->filePath(QStringLiteral("e.sqlite")));
        ado::setup::initialize(s_embedded, true);
    }
    static void TearDownTestSuite() {
        ServedSuite::TearDownTestSuite();
        delete s_embeddedDir;
    }

    inline static QTemporaryDir* s_embeddedDir = nullptr;
    inline static QString s_embedded;

    // Every table of the served database, read from its file.
    static QString dump() {
        ado::Connection c;
        c.Open(s_server->embeddedConnectionString());
        QString text;
        for (const char* table : {"LP01_PROVIDER", "LP07_QUOTAZIONI", "LP17_FORMULEMANUT", "LP14_CAMPI",
                                  "CM01_CATEGORIECOMM", "MG5F_DIMECONF"}) {
            const ado::BatchOutcome out = c.ExecuteBatch(QStringLiteral("SELECT * FROM %1").arg(table));
            for (const core::RowSet& rs : out.resultSets)
                for (const auto& row : rs.rows)
                    for (const core::Variant& v : row)
                        text += v.isNull() ? QStringLiteral("NULL|") : v.toString() + u'|';
        }
        return text;
    }
};

// The commands of the editor and the tool, on both back ends, in order (save and clear change
// both databases alike).
TEST_F(TdsEndToEnd, ToolCommandsAgreeOnBothBackEnds) {
    const QString nonLatin =
        QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50 -- Ελληνικά 日本語 עברית");
    const QList<QStringList> cases = {
        {QStringLiteral("sql"),
         QStringLiteral("SELECT 1 AS A, CAST(NULL AS INT) AS B, CAST(12.50 AS DECIMAL(5,2)) AS C, "
                        "CAST(2.5 AS FLOAT) AS D, N'è€ Ελληνικά 日本語' AS E, 'abc' AS F, "
                        "CAST('2024-02-29 13:14:15.997' AS DATETIME) AS G, CAST(1 AS BIT) AS H, "
                        "CAST(9007199254740993 AS BIGINT) AS I, CAST(-0.000001 AS NUMERIC(20,6)) AS J")},
        {QStringLiteral("sql"),
         QStringLiteral("SELECT CAST('2024-01-02 10:11:12.345' AS DATETIME2) AS A, "
                        "CAST('0001-01-01' AS DATE) AS B, CAST('9999-12-31 23:59:59' AS "
                        "DATETIME2) AS C")},
        {QStringLiteral("sql"), QStringLiteral("SELECT * FROM LP14_CAMPI ORDER BY LP14_INDELEMENTO")},
        {QStringLiteral("sql"),
         QStringLiteral("SELECT LP01_ID, LP01_FORMULE FROM LP01_PROVIDER ORDER BY LP01_ID")},
        {QStringLiteral("sql"), QStringLiteral("SELECT 1 AS X WHERE 1 = 0")},
        {QStringLiteral("sql"), QStringLiteral("SELECT * FROM NO_SUCH_TABLE")},
        {QStringLiteral("check-sql"), QStringLiteral("SELECT 1")},
        {QStringLiteral("check-sql"), QStringLiteral("declare @a int\nselect 1/0")},
        {QStringLiteral("check-sql"), QStringLiteral("\n\nSELECT * FROM NO_SUCH_TABLE")},
        {QStringLiteral("check-sql"), QStringLiteral("SELECT 1 +")},
        {QStringLiteral("check-sql"), QStringLiteral("DELETE FROM LP01_PROVIDER")},
        {QStringLiteral("check-sql"), QStringLiteral("RAISERROR('custom', 16, 3)")},
        {QStringLiteral("check-sql"), QStringLiteral("SELECT CAST('x' AS INT)")},
        {QStringLiteral("check"), QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50")},
        {QStringLiteral("check"), QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] +")},
        {QStringLiteral("check"), nonLatin},
        {QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("3")},
        {QStringLiteral("tree")},
        {QStringLiteral("tree"), QStringLiteral("--context"), QStringLiteral("1")},
        {QStringLiteral("demo")},
        {QStringLiteral("save"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("3"), nonLatin},
        {QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("3")},
        {QStringLiteral("clear"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("3")},
        {QStringLiteral("show"), QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
         QStringLiteral("3")},
        {QStringLiteral("save"), QStringLiteral("--context"), QStringLiteral("2"), QStringLiteral("--id"),
         QStringLiteral("999999"), QStringLiteral("SET [Prezzo lordo] = 1")},
    };
    for (const QStringList& args : cases) {
        const ToolRun embedded = runTool(s_embedded, args);
        const ToolRun served = runTool(s_server->connectionString(), args);
        EXPECT_EQ(served.exitCode, embedded.exitCode) << args.join(u' ').toStdString();
        EXPECT_EQ(comparable(served.out).toStdString(), comparable(embedded.out).toStdString())
            << args.join(u' ').toStdString();
    }
    // The non-Latin formula came back as it was saved.
    EXPECT_TRUE(runTool(s_server->connectionString(),
                        {QStringLiteral("sql"), QStringLiteral("SELECT COUNT(*) FROM LP01_PROVIDER")})
                    .out.contains(u'\n'));
}

// The hostile formulas of the safety tests change nothing on the served database either.
TEST_F(TdsEndToEnd, HostileFormulasChangeNothingThroughTheServer) {
    const QString before = dump();
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    // Long enough for the server to acknowledge the driver's cancel on a busy machine: a cancel
    // not acknowledged within the driver's own wait closes the connection.
    ado::CommandLimits limits = check::checkLimits();
    limits.timeoutMs = 3000;
    for (const checktest::Hostile& h : checktest::hostileFormulas()) {
        const check::GuardedOutcome outcome =
            check::runGuarded(conn, h.text, limits, check::DynamicBatches::ConstantsRead);
        if (!outcome.accepted()) {
            EXPECT_FALSE(check::describeFailure(outcome).isEmpty()) << h.name;
        }
        EXPECT_EQ(conn.TransactionCount(), 0) << h.name;
        EXPECT_EQ(dump(), before) << h.name;
    }
}

TEST_F(TdsEndToEnd, ErrorNumbersTextsAndTheWrongPassword) {
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    try {
        conn.Execute(QStringLiteral("SELECT 1\nSELECT * FROM NO_SUCH_TABLE"));
        ADD_FAILURE() << "no error";
    } catch (const core::ComError&) {
        ASSERT_GE(conn.GetErrors().Count(), 1);
        EXPECT_EQ(conn.GetErrors().Item(0).nativeError, 208);
        EXPECT_EQ(conn.GetErrors().Item(0).description,
                  QStringLiteral("Invalid object name 'NO_SUCH_TABLE'."));
    }
    // A server message keeps its accents through the driver, in the layer and through the tool.
    const QString accented = QString::fromUtf8("perché è così");
    try {
        conn.Execute(QString::fromUtf8("THROW 50000, N'perché è così', 1"));
        ADD_FAILURE() << "no error";
    } catch (const core::ComError&) {
        ASSERT_GE(conn.GetErrors().Count(), 1);
        EXPECT_EQ(conn.GetErrors().Item(0).description, accented);
    }
    const struct {
        QString db;
        int state;
    } runs[] = {{s_server->connectionString(), StateThroughFreeTds}, {s_embedded, 1}};
    for (const auto& run : runs) {
        const ToolRun thrown =
            runTool(run.db, {QStringLiteral("sql"), QString::fromUtf8("THROW 50000, N'perché è così', 1")});
        EXPECT_EQ(thrown.exitCode, 1);
        EXPECT_EQ(thrown.err.toStdString(), QStringLiteral("Msg 50000, Level 16, State %1, Line 1\n%2\n")
                                                .arg(run.state)
                                                .arg(accented)
                                                .toStdString())
            << run.db.toStdString();
    }
    ado::Connection wrong;
    try {
        wrong.Open(s_server->connectionString(QStringLiteral("not the password")));
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const core::ComError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("Login failed for user")))
            << e.description().toStdString();
        EXPECT_TRUE(e.description().contains(QLatin1String("User ID, Password")))
            << e.description().toStdString();
    }
}

// A failing check on both back ends: the message's number, level and line (the line of the
// formula the editor marks) agree; the state is the embedded engine's on its own back end.
TEST_F(TdsEndToEnd, FailingChecksGiveNumberLevelStateAndLineOnBothBackEnds) {
    struct Case {
        QString formula;
        int number, level, state, formulaLine;
    };
    QString longFormula;
    for (int i = 1; i < 300; ++i)
        longFormula += QStringLiteral("SET @OUTPREZZO = %1\r\n").arg(i);
    longFormula += QStringLiteral("SELECT * FROM NO_SUCH_TABLE");
    const QList<Case> cases = {
        {QStringLiteral("DECLARE @x INT\r\nSET @x = 1 / 0"), 8134, 16, 1, 2},
        {QStringLiteral("\r\n\r\nSELECT * FROM NO_SUCH_TABLE"), 208, 16, 1, 3},
        {QStringLiteral("SET @OUTPREZZO = 1\r\nRAISERROR('custom', 16, 3)"), 50000, 16, 3, 2},
        // After a result set: the error ends the fetch of its rows.
        {QStringLiteral("SELECT 1 AS A\r\n\r\nRAISERROR('after rows', 11, 7)"), 50000, 11, 7, 3},
        {QStringLiteral("SELECT CAST('x' AS INT)"), 245, 16, 1, 1},
        {QStringLiteral("SET @OUTPREZZO = 1\r\n;THROW 50001, 'thrown', 5"), 50001, 16, 5, 2},
        {longFormula, 208, 16, 1, 300},
        // Refused by the parser before the server sees it, on either back end.
        {QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = "), 102, 15, 1, 2},
    };
    ado::Connection embedded;
    embedded.Open(s_embedded);
    ado::Connection served;
    served.Open(s_server->connectionString());
    for (const Case& c : cases) {
        const std::string label = c.formula.left(60).toStdString();
        const CheckVerdict e = checkOn(embedded, c.formula);
        const CheckVerdict s = checkOn(served, c.formula);
        EXPECT_FALSE(e.correct) << label;
        EXPECT_FALSE(s.correct) << label;
        EXPECT_EQ(e.formulaLine, c.formulaLine) << label << "\n" << e.message.toStdString();
        EXPECT_EQ(s.formulaLine, c.formulaLine) << label << "\n" << s.message.toStdString();
        EXPECT_EQ(s.batchLine, e.batchLine) << label;
        EXPECT_EQ(comparable(s.message).toStdString(), comparable(e.message).toStdString()) << label;
        if (c.number == 102)
            continue; // refused before the run: no error of the server
        EXPECT_EQ(e.error.nativeError, c.number) << label;
        EXPECT_EQ(s.error.nativeError, c.number) << label;
        EXPECT_EQ(e.error.severity, c.level) << label;
        EXPECT_EQ(s.error.severity, c.level) << label;
        EXPECT_EQ(e.error.state, c.state) << label;
        EXPECT_EQ(s.error.state, StateThroughFreeTds) << label;
        EXPECT_EQ(s.error.line, e.error.line) << label;
        EXPECT_EQ(s.error.description, e.error.description) << label;
    }
}

// A 1 MB batch and non-Latin text travel both ways unchanged, on both back ends.
TEST_F(TdsEndToEnd, LargeBatchAndNonLatinTextOnBothBackEnds) {
    QString big;
    const QString piece = QStringLiteral("Ελληνικά 日本語 עברית è€ abc ");
    while (big.size() < (1 << 20) / 2)
        big += piece;
    const QString batch = QStringLiteral("SELECT N'%1' AS T, LEN(N'%1') AS L").arg(big);
    for (const QString& cs : {s_embedded, s_server->connectionString()}) {
        ado::Connection conn;
        conn.Open(cs);
        const ado::BatchOutcome out = conn.ExecuteBatch(batch);
        ASSERT_TRUE(out.errors.isEmpty())
            << cs.toStdString() << ": " << out.errors.first().description.toStdString();
        ASSERT_EQ(out.resultSets.size(), 1);
        EXPECT_EQ(out.resultSets.first().rows.first().at(0).toString(), big) << cs.toStdString();
        // LEN leaves trailing blanks out.
        EXPECT_EQ(out.resultSets.first().rows.first().at(1).toInt32(), big.size() - 1) << cs.toStdString();
    }
}

// Eight clients at once, each with its own engine session and SQLite connection: batches and
// checks. Checks that overlap wait for one another's write lock, as on SQL Server: every batch
// and every check succeeds, and none is refused with Msg 1222.
TEST_F(TdsEndToEnd, EightConcurrentConnections) {
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i) {
        clients.emplace_back([&failures, i] {
            try {
                ado::Connection conn;
                conn.Open(s_server->connectionString());
                for (int round = 0; round < 10; ++round) {
                    const ado::BatchOutcome out =
                        conn.ExecuteBatch(QStringLiteral("SELECT %1 + %2 AS S, COUNT(*) AS N FROM LP14_CAMPI")
                                              .arg(i)
                                              .arg(round));
                    if (!out.errors.isEmpty() ||
                        out.resultSets.first().rows.first().at(0).toInt32() != i + round)
                        ++failures;
                    const check::GuardedOutcome checked = check::runGuarded(
                        conn, QStringLiteral("UPDATE LP14_CAMPI SET LP14_DESCRIZIONE = 'x'"),
                        check::checkLimits());
                    if (!checked.accepted()) {
                        ++failures;
                        if (!checked.errors.isEmpty())
                            std::cout << "check refused: Msg " << checked.errors.first().nativeError << " "
                                      << checked.errors.first().description.toStdString() << "\n";
                    }
                }
            } catch (const core::ComError& e) {
                ++failures;
                std::cout << "connection failed: " << e.what() << "\n";
            }
        });
    }
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

// A command timeout sends an attention: the batch stops and the connection goes on working.
TEST_F(TdsEndToEnd, TimeoutCancelsTheBatch) {
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    ado::CommandLimits limits;
    limits.timeoutMs = 1000;
    conn.setLimits(limits);
    QString message;
    try {
        const ado::BatchOutcome out =
            conn.ExecuteBatch(QStringLiteral("DECLARE @i INT = 0 WHILE 1 = 1 SET @i = @i + 1"));
        message = out.errors.isEmpty() ? QString() : out.errors.first().description;
    } catch (const core::ComError& e) {
        message = e.description();
    }
    EXPECT_TRUE(message.contains(QLatin1String("timeout expired"), Qt::CaseInsensitive))
        << message.toStdString();
    const ado::BatchOutcome after = conn.ExecuteBatch(QStringLiteral("SELECT 42 AS A"));
    ASSERT_TRUE(after.errors.isEmpty());
    EXPECT_EQ(after.resultSets.first().rows.first().at(0).toInt32(), 42);
}

// FreeTDS's own tsql client, which no one here wrote, logs in and runs SELECT statements and an
// informational RAISERROR; then it leaves in the middle of an endless batch that deleted rows in a
// transaction: the rows stay.
TEST_F(TdsEndToEnd, FreeTdsTsqlClientAndADisconnectMidBatch) {
    const QString tsql = QStandardPaths::findExecutable(QStringLiteral("tsql"));
    ASSERT_FALSE(tsql.isEmpty()) << "FreeTDS's tsql is missing (freetds-bin; scripts/install-deps.sh)";
    const QStringList login = {QStringLiteral("-H"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("-p"), QString::number(s_server->port()),
                               QStringLiteral("-U"), testing_tds::User,
                               QStringLiteral("-P"), testing_tds::Password};
    QProcess client;
    client.start(tsql, login);
    client.write(
        QStringLiteral("SELECT LP14_DESCRIZIONE FROM LP14_CAMPI WHERE LP14_INDELEMENTO = 0\ngo\n"
                       "SELECT N'è€' AS T, 6 * 7 AS N\ngo\nRAISERROR('avviso %d', 5, 9, 7)\ngo\nexit\n")
            .toUtf8());
    client.closeWriteChannel();
    ASSERT_TRUE(client.waitForFinished(30000));
    const QString out = QString::fromUtf8(client.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QLatin1String("Documento"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("è€"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QLatin1String("42"))) << out.toStdString();
    // An informational RAISERROR is a message with its number, severity and state, not bare text.
    const QString messages = QString::fromUtf8(client.readAllStandardError());
    EXPECT_TRUE(messages.contains(QLatin1String("Msg 50000 (severity 5, state 9)")))
        << messages.toStdString();
    EXPECT_TRUE(messages.contains(QLatin1String("avviso 7"))) << messages.toStdString();

    const QString before = dump();
    QProcess leaving;
    leaving.start(tsql, login);
    leaving.write(
        "BEGIN TRANSACTION\nDELETE FROM LP14_CAMPI\nDECLARE @i INT = 0 WHILE 1 = 1 SET @i = @i + 1\ngo\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    leaving.kill();
    leaving.waitForFinished(5000);
    // The server rolls the transaction back once the batch stops; a new connection sees every row.
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    QString after;
    for (int attempt = 0; attempt < 50 && (after = dump()) != before; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(after, before);
    EXPECT_EQ(conn.ExecuteBatch(QStringLiteral("SELECT 1 AS A")).resultSets.size(), 1);
}

// Parameterised and prepared statements (RPC) and the driver's own transactions (manual commit),
// straight through QODBC.
TEST_F(TdsEndToEnd, ParametersAndDriverTransactions) {
    const QString name = QStringLiteral("tds-e2e-odbc");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(
            ado::odbcConnectionString(ado::ConnectionString::parse(s_server->connectionString())));
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        ASSERT_TRUE(q.prepare(QStringLiteral("SELECT ? + 1 AS A, ? AS B, ? AS C")));
        for (int round = 0; round < 2; ++round) {
            q.bindValue(0, 41 + round);
            q.bindValue(1, QStringLiteral("è 'x'")); // QtSql binds text as narrow characters
            q.bindValue(2, 2.5);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.value(0).toInt(), 42 + round);
            EXPECT_EQ(q.value(1).toString(), QStringLiteral("è 'x'"));
            EXPECT_EQ(q.value(2).toDouble(), 2.5);
            q.finish();
        }
        const QString count = QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI");
        ASSERT_TRUE(q.exec(count) && q.next());
        const int before = q.value(0).toInt();
        q.finish();
        ASSERT_TRUE(db.transaction());
        ASSERT_TRUE(q.exec(QStringLiteral("DELETE FROM LP14_CAMPI"))) << q.lastError().text().toStdString();
        ASSERT_TRUE(db.rollback()) << db.lastError().text().toStdString();
        ASSERT_TRUE(q.exec(count) && q.next());
        EXPECT_EQ(q.value(0).toInt(), before);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A client that sends garbage loses its connection; the server goes on serving.
TEST_F(TdsEndToEnd, MalformedPacketsCloseOnlyThatConnection) {
    for (const QByteArray& junk :
         {QByteArray("\x12\x01\x00\x04", 4), QByteArray(64, '\xFF'),
          QByteArray("\x10\x01\x00\x20\x00\x00\x01\x00", 8) + QByteArray(24, '\x00')}) {
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), s_server->port());
        ASSERT_TRUE(s.waitForConnected(5000));
        s.write(junk);
        s.waitForBytesWritten(2000);
        s.waitForReadyRead(500);
        s.close();
    }
    ado::Connection conn;
    conn.Open(s_server->connectionString());
    EXPECT_EQ(conn.ExecuteBatch(QStringLiteral("SELECT 1 AS A")).resultSets.size(), 1);
}

} // namespace
