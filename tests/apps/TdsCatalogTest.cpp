// What drivers and tools read before anything else, through `formule serve`: the tables and
// columns of FreeTDS's ODBC catalogue calls (SQLTables and SQLColumns, which QODBC's tables() and
// record() make), the SQL Server schema script run by init-db over the SQL Server back end, two
// clients in transactions at once, and pymssql's login (where Debian's python3-pymssql is
// installed).

#include "../common/ToolRun.h"
#include "../tds/ServeProcess.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

#include <gtest/gtest.h>

namespace {

using tds_test::ServeProcess;

// A served database: the demo database, or an empty one (every table dropped before the
// server starts) for init-db.
class TdsCatalog : public ::testing::Test {
protected:
    ServeProcess server;
    QString password = tds_test::Password;

    // `plainPassword`: one unixODBC's isql passes on as it is (isql's own reading of a
    // connection string does not keep every character of the suite's password).
    void start(bool empty, bool plainPassword = false) {
        QStringList args = {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                            QStringLiteral("--user"), tds_test::User};
        if (plainPassword) {
            password = QStringLiteral("Catalog-1");
            args << QStringLiteral("--password") << password;
        }
        const QString line =
            server.start(args, QProcessEnvironment::systemEnvironment(), [empty](const QString& path) {
                if (!empty)
                    return;
                const QString name = QStringLiteral("drop_tables");
                {
                    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                    db.setDatabaseName(path);
                    db.open();
                    QStringList tables;
                    QSqlQuery q(db);
                    q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                                          "LIKE 'sqlite%'"));
                    while (q.next())
                        tables << q.value(0).toString();
                    for (const QString& t : tables)
                        QSqlQuery(db).exec(QStringLiteral("DROP TABLE \"%1\"").arg(t));
                }
                QSqlDatabase::removeDatabase(name);
            });
        ASSERT_NE(server.port(), 0) << line.toStdString();
    }

    QString adoString() const {
        return QStringLiteral("Provider=MSOLEDBSQL;Data Source=127.0.0.1,%1;Initial Catalog=serve;User ID=%2;"
                              "Password=\"%3\"")
            .arg(server.port())
            .arg(tds_test::User, password);
    }

    // A QODBC connection through FreeTDS's driver, under a name of its own.
    QSqlDatabase odbc() {
        static std::atomic<int> counter{0};
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"),
                                                    QStringLiteral("catalog_odbc_%1").arg(counter++));
        db.setDatabaseName(QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;DATABASE=serve;UID=%2;"
                                          "PWD={%3};TDS_Version=7.4;ClientCharset=UTF-8")
                               .arg(server.port())
                               .arg(tds_test::User, password));
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
        return db;
    }
};

// A query that reads its rows once: QODBC's default, a scrollable cursor, is a server cursor
// (sp_cursoropen) to FreeTDS, which the server does not offer.
QSqlQuery forwardOnly(const QSqlDatabase& db) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    return q;
}

// SQLTables (unixODBC's isql: "help") lists the system tables and the tables, SQLColumns ("help
// table") each column with SQL Server's type, size and nullability.
TEST_F(TdsCatalog, OdbcCatalogueCalls) {
    start(false, true);
    const auto isql = [this](const QString& command) {
        QProcess p;
        p.start(QStringLiteral("isql"),
                QStringList{
                    QStringLiteral("-k"),
                    QStringLiteral("DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=%1;DATABASE=serve;UID=%2;PWD={%3};"
                                   "TDS_Version=7.4;ClientCharset=UTF-8")
                        .arg(server.port())
                        .arg(tds_test::User, password),
                    QStringLiteral("-b"), QStringLiteral("-d|")});
        p.write(command.toUtf8() + "\n");
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    };
    const QStringList tables = isql(QStringLiteral("help"));
    EXPECT_EQ(tables.size(), 11 + 8) << tables.join(u'\n').toStdString();
    EXPECT_EQ(tables.value(0), QStringLiteral("serve|INFORMATION_SCHEMA|COLUMNS|SYSTEM TABLE|"));
    EXPECT_TRUE(tables.contains(QStringLiteral("serve|dbo|LP14_CAMPI|TABLE|")))
        << tables.join(u'\n').toStdString();
    EXPECT_EQ(isql(QStringLiteral("help LP14_CAMPI")),
              (QStringList{"serve|dbo|LP14_CAMPI|LP14_INDELEMENTO|4|int|10|4|0|10|0|||4|||1|NO|56",
                           "serve|dbo|LP14_CAMPI|LP14_DESCRIZIONE|12|varchar|80|80|||0|||12||80|2|NO|39",
                           "serve|dbo|LP14_CAMPI|LP14_PARENT|4|int|10|4|0|10|1|||4|||3|YES|38",
                           "serve|dbo|LP14_CAMPI|LP14_ISATTIVO|5|smallint|5|2|0|10|0||((1))|5|||4|NO|52",
                           "serve|dbo|LP14_CAMPI|LP14_PROGVISUA|4|int|10|4|0|10|0||((0))|4|||5|NO|56"}));
    {
        QSqlDatabase db = odbc();
        const QSqlRecord record = db.record(QStringLiteral("LP14_CAMPI"));
        ASSERT_EQ(record.count(), 5);
        struct Field {
            const char* name;
            QMetaType::Type type;
            int length;
            QSqlField::RequiredStatus required;
        };
        const std::vector<Field> fields = {
            {"LP14_INDELEMENTO", QMetaType::Int, 10, QSqlField::Required},
            {"LP14_DESCRIZIONE", QMetaType::QString, 80, QSqlField::Required},
            {"LP14_PARENT", QMetaType::Int, 10, QSqlField::Optional},
            {"LP14_ISATTIVO", QMetaType::Short, 5, QSqlField::Required},
            {"LP14_PROGVISUA", QMetaType::Int, 10, QSqlField::Required},
        };
        for (int k = 0; k < record.count(); ++k) {
            const QSqlField f = record.field(k);
            EXPECT_EQ(f.name(), QString::fromLatin1(fields[size_t(k)].name));
            EXPECT_EQ(f.metaType().id(), int(fields[size_t(k)].type)) << fields[size_t(k)].name;
            EXPECT_EQ(f.length(), fields[size_t(k)].length) << fields[size_t(k)].name;
            EXPECT_EQ(f.requiredStatus(), fields[size_t(k)].required) << fields[size_t(k)].name;
        }
        QSqlQuery q = forwardOnly(db);
        ASSERT_TRUE(
            q.exec(QStringLiteral("SELECT CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(20)), DB_NAME(), "
                                  "SUSER_NAME(), (SELECT compatibility_level FROM sys.databases WHERE "
                                  "name = DB_NAME())")))
            << q.lastError().text().toStdString();
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("15.0.2000.5"));
        EXPECT_EQ(q.value(1).toString(), QStringLiteral("serve"));
        EXPECT_EQ(q.value(2).toString(), tds_test::User);
        EXPECT_EQ(q.value(3).toInt(), 150);
    }
    EXPECT_EQ(server.stop(), 0);
}

// The SQL Server schema script through the SQL Server back end: named defaults, keys and its
// indexes behind sys.indexes; run again, it finds the schema present and changes nothing.
TEST_F(TdsCatalog, InitDbRunsTheSqlServerScript) {
    start(true);
    const testtool::ToolRun first = testtool::runTool(
        {QStringLiteral("--db"), adoString(), QStringLiteral("init-db"), QStringLiteral("--demo")});
    ASSERT_EQ(first.exitCode, 0) << first.out.toStdString() << first.err.toStdString();
    EXPECT_TRUE(first.out.startsWith(QStringLiteral("tabelle create: LP01_PROVIDER, ")))
        << first.out.toStdString();
    const testtool::ToolRun again =
        testtool::runTool({QStringLiteral("--db"), adoString(), QStringLiteral("init-db")});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(again.out, QStringLiteral("schema già presente\n"));
    const testtool::ToolRun indexes = testtool::runTool(
        {QStringLiteral("--db"), adoString(), QStringLiteral("sql"),
         QStringLiteral(
             "SELECT i.name, OBJECT_NAME(i.object_id) AS t FROM sys.indexes i WHERE i.name LIKE 'IX%' "
             "ORDER BY i.name")});
    EXPECT_EQ(indexes.exitCode, 0) << indexes.err.toStdString();
    EXPECT_EQ(indexes.out, QStringLiteral("name\tt\nIX_CM01_DITTA_CODICE\tCM01_CATEGORIECOMM\n"
                                          "IX_MG5F_CODICEVAR\tMG5F_DIMECONF\n"));
    EXPECT_EQ(server.stop(), 0);
}

// A client that sits in an open transaction after reading keeps no one waiting; two clients
// that both write meet the lock: the second one's SET LOCK_TIMEOUT ends its wait with Msg 1222.
TEST_F(TdsCatalog, TransactionsOfTwoClients) {
    start(false);
    {
        QSqlDatabase a = odbc();
        QSqlDatabase b = odbc();
        ASSERT_TRUE(a.transaction());
        QSqlQuery readA = forwardOnly(a);
        ASSERT_TRUE(readA.exec(QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI")))
            << readA.lastError().text().toStdString();
        ASSERT_TRUE(readA.next());
        readA.finish();
        ASSERT_TRUE(b.transaction());
        QSqlQuery writeB = forwardOnly(b);
        ASSERT_TRUE(writeB.exec(
            QStringLiteral("UPDATE LP14_CAMPI SET LP14_PROGVISUA = 7 WHERE LP14_INDELEMENTO = 1")))
            << writeB.lastError().text().toStdString();
        EXPECT_TRUE(b.commit()) << b.lastError().text().toStdString();

        QSqlQuery writeA = forwardOnly(a);
        ASSERT_TRUE(writeA.exec(
            QStringLiteral("UPDATE LP14_CAMPI SET LP14_PROGVISUA = 8 WHERE LP14_INDELEMENTO = 1")))
            << writeA.lastError().text().toStdString();
        ASSERT_TRUE(b.transaction());
        QSqlQuery second = forwardOnly(b);
        ASSERT_TRUE(second.exec(QStringLiteral("SET LOCK_TIMEOUT 100")));
        EXPECT_FALSE(second.exec(
            QStringLiteral("UPDATE LP14_CAMPI SET LP14_PROGVISUA = 9 WHERE LP14_INDELEMENTO = 2")));
        EXPECT_TRUE(
            second.lastError().text().contains(QStringLiteral("Lock request time out period exceeded.")))
            << second.lastError().text().toStdString();
        EXPECT_TRUE(b.rollback());
        EXPECT_TRUE(a.commit()) << a.lastError().text().toStdString();
        QSqlQuery check = forwardOnly(b);
        ASSERT_TRUE(
            check.exec(QStringLiteral("SELECT LP14_PROGVISUA FROM LP14_CAMPI WHERE LP14_INDELEMENTO = 1")));
        ASSERT_TRUE(check.next());
        EXPECT_EQ(check.value(0).toInt(), 8);
    }
    EXPECT_EQ(server.stop(), 0);
}

// pymssql logs in (it sets CURSOR_CLOSE_ON_COMMIT and TEXTSIZE 2147483647 at connect), reads the
// catalogue, and its default (a transaction the first statement opens) keeps no other client
// from writing.
TEST_F(TdsCatalog, PymssqlLogsInAndReadsTheCatalogue) {
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import pymssql")});
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-pymssql is not installed";
    start(false);
    const QString script =
        QStringLiteral(
            "import pymssql, sys\n"
            "a = pymssql.connect(server='127.0.0.1', port=%1, user=sys.argv[1], password=sys.argv[2], "
            "database='serve')\n"
            "b = pymssql.connect(server='127.0.0.1', port=%1, user=sys.argv[1], password=sys.argv[2], "
            "database='serve')\n"
            "ca = a.cursor()\n"
            "ca.execute(\"EXEC sp_columns 'LP14_CAMPI'\")\n"
            "print(len(ca.fetchall()))\n"
            "ca.execute(\"SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE'\")\n"
            "print(ca.fetchone()[0])\n"
            "cb = b.cursor()\n"
            "cb.execute('SET LOCK_TIMEOUT 1000; UPDATE LP14_CAMPI SET LP14_PROGVISUA = 3 WHERE "
            "LP14_INDELEMENTO = 1')\n"
            "b.commit()\n"
            "print('written')\n")
            .arg(server.port());
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"), script, tds_test::User, tds_test::Password});
    ASSERT_TRUE(py.waitForFinished(60000));
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(py.readAllStandardOutput()), QStringLiteral("5\n8\nwritten\n"));
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
