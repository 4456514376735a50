// `formule serve` through the drivers people use: one table of steps (login, a wrong password,
// types, parameters, an error with its line, info messages, transactions, catalog queries, 5,000
// rows, cancels and the request after them), run by each driver on one connection, with and
// without encryption. Each driver is a small program under tests/tds/drivers that reads the
// steps and answers each with one line of JSON; the expected answers are here, the same for
// every driver. A driver that is not installed skips its cases (scripts/install-deps.sh installs
// them all; under CI=true a missing driver fails).

#include "ServeProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <iostream>
#include <map>

#include <gtest/gtest.h>

namespace {

using namespace tds_test;

enum class Match { Exact, Contains };

struct Step {
    const char* name;
    const char* kind; // login, query, params, transaction, rows, cancel
    QString sql;
    QString expected;
    int line = 0; // the error's line, checked where the driver tells it
    QStringList messages = {};
    Match match = Match::Exact;
    QString password = {};                    // login: another password
    QString next = {};                        // cancel: the request on the same connection after it
    std::map<QString, QString> byDriver = {}; // a driver's own answer where it differs
};

const QString Xs = QStringLiteral("xxxxxxxxxxxxxxxxxxxx");

// The steps every driver runs on a server with a certificate, encrypted or not.
std::vector<Step> sessionSteps() {
    return {
        {"login", "login", {}, QStringLiteral("ok")},
        {"wrong password",
         "login",
         {},
         QStringLiteral("Login failed for user '%1'.").arg(User),
         0,
         {},
         Match::Contains,
         QStringLiteral("not the password")},
        {"types",
         "query",
         QStringLiteral(
             "SELECT CAST(12.50 AS DECIMAL(5,2)), CAST(-12.34 AS MONEY), CAST('2024-02-29' AS DATE), "
             "CAST('2024-01-02 10:11:12.345' AS DATETIME2), N'Ελληνικά 日本語 עברית', "
             "CAST(NULL AS INT), CAST(1 AS BIT), CAST(0 AS BIT)"),
         QStringLiteral("12.50|-12.3400|2024-02-29|2024-01-02 10:11:12.345|Ελληνικά 日本語 עברית|NULL|1|0"),
         0,
         {},
         Match::Exact,
         {},
         {},
         // DB-Library hands datetime2 to pymssql as datetime, in 1/300 s.
         {{QStringLiteral("pymssql"),
           QStringLiteral(
               "12.50|-12.3400|2024-02-29|2024-01-02 10:11:12.347|Ελληνικά 日本語 עברית|NULL|1|0")}}},
        {"parameters", "params", QStringLiteral("SELECT @a + 1, @b"), QStringLiteral("42|ünï 日本")},
        {"error with its line", "query", QStringLiteral("SELECT 1\nSELECT * FROM NO_SUCH_TABLE"),
         QStringLiteral("error 208: Invalid object name 'NO_SUCH_TABLE'."), 2},
        {"raised error", "query", QStringLiteral("DECLARE @x INT\n\nRAISERROR('custom %d', 16, 3, 7)"),
         QStringLiteral("error 50000: custom 7"), 3},
        {"print and raiserror info",
         "query",
         QStringLiteral("PRINT 'hello'\nRAISERROR('custom info', 10, 1)\nSELECT 7"),
         QStringLiteral("7"),
         0,
         {QStringLiteral("hello"), QStringLiteral("custom info")},
         Match::Exact,
         {},
         {},
         // pymssql raises any message above severity 6 as an error after its message handler saw it.
         {{QStringLiteral("pymssql"), QStringLiteral("error 50000: custom info")}}},
        {"transactions", "transaction", {}, QStringLiteral("0; 1|0")},
        {"catalog: INFORMATION_SCHEMA", "query",
         QStringLiteral(
             "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'LP01_PROVIDER'"),
         QStringLiteral("LP01_PROVIDER")},
        {"catalog: sys.tables", "query",
         QStringLiteral("SELECT name FROM sys.tables WHERE name = 'LP14_CAMPI'"),
         QStringLiteral("LP14_CAMPI")},
        {"5,000 rows", "rows",
         QStringLiteral("WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                        "SELECT i, REPLICATE(N'x', 20) AS t FROM n OPTION (MAXRECURSION 0)"),
         QStringLiteral("5000 rows, first 1|%1, last 5000|%1").arg(Xs)},
        {"cancel an endless loop",
         "cancel",
         QStringLiteral("DECLARE @i INT = 0\nWHILE 1 = 1 SET @i = @i % 7 + 1"),
         QStringLiteral("cancelled; next 42"),
         0,
         {},
         Match::Exact,
         {},
         QStringLiteral("SELECT 42")},
        {"cancel rows streaming",
         "cancel",
         QStringLiteral("WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 100000000) "
                        "SELECT i FROM n OPTION (MAXRECURSION 0)"),
         QStringLiteral("cancelled; next 44"),
         0,
         {},
         Match::Exact,
         {},
         QStringLiteral("SELECT 44")},
        {"cancel a long recursive count",
         "cancel",
         QStringLiteral("WITH n AS (SELECT CAST(1 AS BIGINT) AS i UNION ALL SELECT i + 1 FROM n WHERE i < "
                        "1000000000) SELECT COUNT(*) FROM n OPTION (MAXRECURSION 0)"),
         QStringLiteral("cancelled; next 45"),
         0,
         {},
         Match::Exact,
         {},
         QStringLiteral("SELECT 45")},
        {"after the cancels", "query", QStringLiteral("SELECT N'still here'"), QStringLiteral("still here")},
    };
}

struct Driver {
    QString name;
    QString program; // empty when the interpreter is missing
    QStringList args;
    // ODBC hands a request's info messages over in an order of its own.
    bool messagesInOrder = true;
};

Driver driverNamed(const QString& name) {
    const QString scripts = QStringLiteral(FORMULE_TDS_DRIVER_SCRIPTS);
    // The Python drivers are Debian's packages: Debian's interpreter, whatever else is on PATH.
    const QString python =
        QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3") : QString();
    if (name == QLatin1String("tedious"))
        return {name,
                QStandardPaths::findExecutable(QStringLiteral("node")),
                {scripts + QStringLiteral("/tedious_runner.js")}};
    if (name == QLatin1String("pyodbc"))
        return {name, python, {scripts + QStringLiteral("/pyodbc_runner.py")}, false};
    return {name, python, {scripts + QStringLiteral("/pymssql_runner.py")}};
}

struct Answer {
    QString result;
    int line = 0;
    QStringList messages;
    double ms = -1;
};

class DriverTable : public ::testing::TestWithParam<const char*> {
protected:
    // Runs `steps` with the driver against the server on `port`; the answers by step name, or
    // a skip reason in `skip`.
    std::map<QString, Answer> run(const ServeProcess& server, bool encrypt, const std::vector<Step>& steps,
                                  QString& skip) {
        const Driver d = driverNamed(QString::fromLatin1(GetParam()));
        std::map<QString, Answer> answers;
        if (d.program.isEmpty()) {
            skip = QStringLiteral("no interpreter for %1").arg(d.name);
            return answers;
        }
        QJsonArray list;
        for (const Step& s : steps) {
            QJsonObject o{{QStringLiteral("name"), QString::fromUtf8(s.name)},
                          {QStringLiteral("kind"), QString::fromUtf8(s.kind)},
                          {QStringLiteral("sql"), s.sql},
                          {QStringLiteral("next"), s.next},
                          {QStringLiteral("after_ms"), 300}};
            if (!s.password.isEmpty())
                o.insert(QStringLiteral("password"), s.password);
            if (QLatin1String(s.kind) == QLatin1String("params"))
                o.insert(QStringLiteral("params"),
                         QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("a")},
                                                {QStringLiteral("type"), QStringLiteral("int")},
                                                {QStringLiteral("value"), 41}},
                                    QJsonObject{{QStringLiteral("name"), QStringLiteral("b")},
                                                {QStringLiteral("type"), QStringLiteral("nvarchar")},
                                                {QStringLiteral("value"), QStringLiteral("ünï 日本")}}});
            list.append(o);
        }
        const QJsonObject plan{{QStringLiteral("host"), QStringLiteral("127.0.0.1")},
                               {QStringLiteral("port"), server.port()},
                               {QStringLiteral("user"), User},
                               {QStringLiteral("password"), Password},
                               {QStringLiteral("database"), QStringLiteral("serve")},
                               {QStringLiteral("encrypt"), encrypt},
                               {QStringLiteral("steps"), list}};
        const QString planFile = server.dir() + QStringLiteral("/plan-%1.json").arg(d.name);
        QFile f(planFile);
        if (!f.open(QIODevice::WriteOnly))
            return answers;
        f.write(QJsonDocument(plan).toJson());
        f.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TEDIOUS_MODULES"), QStringLiteral(FORMULE_TDS_NODE_MODULES));
        p.setProcessEnvironment(env);
        p.start(d.program, d.args + QStringList{planFile});
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
        }
        const QString err = QString::fromUtf8(p.readAllStandardError());
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 77) {
            skip = err.trimmed();
            return answers;
        }
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.isEmpty())
                continue;
            Answer a;
            a.result = o.value(QStringLiteral("result")).toString();
            a.line = o.value(QStringLiteral("line")).toInt();
            for (const QJsonValue& m : o.value(QStringLiteral("messages")).toArray())
                a.messages << m.toString();
            a.ms = o.value(QStringLiteral("ms")).toDouble(-1);
            answers[o.value(QStringLiteral("name")).toString()] = a;
        }
        return answers;
    }

    void check(const std::vector<Step>& steps, const std::map<QString, Answer>& answers, const char* setup) {
        const Driver d = driverNamed(QString::fromLatin1(GetParam()));
        for (const Step& s : steps) {
            SCOPED_TRACE(std::string(setup) + ", " + s.name);
            const auto it = answers.find(QString::fromUtf8(s.name));
            ASSERT_NE(it, answers.end()) << "no answer";
            const Answer& a = it->second;
            const auto own = s.byDriver.find(d.name);
            const QString expected = own != s.byDriver.end() ? own->second : s.expected;
            if (s.match == Match::Contains) {
                EXPECT_TRUE(a.result.contains(expected)) << a.result.toStdString();
            } else {
                EXPECT_EQ(a.result.toStdString(), expected.toStdString());
            }
            // Only where the driver tells the line of a server message.
            if (s.line > 0 && a.line > 0) {
                EXPECT_EQ(a.line, s.line);
            }
            QStringList got = a.messages, want = s.messages;
            if (!d.messagesInOrder) {
                got.sort();
                want.sort();
            }
            EXPECT_EQ(got.join(u'|').toStdString(), want.join(u'|').toStdString());
            // The figures of the cancels go to the log (reported, not judged here).
            if (QLatin1String(s.kind) == QLatin1String("cancel"))
                std::cout << d.name.toStdString() << ", " << setup << ", " << s.name << ": acknowledged "
                          << a.ms << " ms after the cancel\n";
        }
    }

    void skipOrFail(const QString& reason) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            FAIL() << "driver missing in CI: " << reason.toStdString();
        GTEST_SKIP() << reason.toStdString();
    }

    // Every step of a session against a server with a self-signed certificate, the client asking
    // for encryption or not.
    void everyStep(bool encrypt, const char* how) {
        ServeProcess server;
        ASSERT_TRUE(server
                        .start({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                QStringLiteral("--user"), User, QStringLiteral("--tls-self-signed")})
                        .startsWith(QLatin1String("listening on")));
        QString skip;
        const auto steps = sessionSteps();
        const auto answers = run(server, encrypt, steps, skip);
        if (!skip.isEmpty())
            return skipOrFail(skip);
        check(steps, answers, how);
    }
};

TEST_P(DriverTable, EveryStepWithEncryption) {
    everyStep(true, "encrypted");
}

// The client does not ask for encryption from a server that has a certificate: pymssql and tedious
// get none, FreeTDS's ODBC driver at its default has the login alone encrypted.
TEST_P(DriverTable, EveryStepWithoutEncryption) {
    everyStep(false, "plain");
}

// A client that asks for encryption from a server without a certificate, and one that does not
// encrypt on a server that requires it. FreeTDS ends the first itself after the server's answer
// (it never sends its login), and starts TLS all the same in the second.
TEST_P(DriverTable, EncryptionRefusals) {
    struct Case {
        const char* setup;
        QStringList args;
        bool encrypt;
        Step step;
    };
    const std::map<QString, QString> freeTdsEnds = {{QStringLiteral("pyodbc"), QStringLiteral("error")},
                                                    {QStringLiteral("pymssql"), QStringLiteral("error")}};
    const std::map<QString, QString> freeTdsEncrypts = {{QStringLiteral("pyodbc"), QStringLiteral("ok")},
                                                        {QStringLiteral("pymssql"), QStringLiteral("ok")}};
    const Case cases[] = {
        {"no certificate",
         {},
         true,
         // The server's own text, in the language of the server's operator: its options are the same.
         {"login", "login", {}, QStringLiteral("--tls-cert"), 0, {}, Match::Contains, {}, {}, freeTdsEnds}},
        {"encryption required",
         {QStringLiteral("--tls-self-signed"), QStringLiteral("--require-encryption")},
         false,
         {"login",
          "login",
          {},
          QStringLiteral("requires encryption"),
          0,
          {},
          Match::Contains,
          {},
          {},
          freeTdsEncrypts}},
    };
    for (const Case& c : cases) {
        ServeProcess server;
        ASSERT_TRUE(server
                        .start(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                           QStringLiteral("--user"), User} +
                               c.args)
                        .startsWith(QLatin1String("listening on")))
            << c.setup;
        QString skip;
        const auto answers = run(server, c.encrypt, {c.step}, skip);
        if (!skip.isEmpty())
            return skipOrFail(skip);
        check({c.step}, answers, c.setup);
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverTable, ::testing::Values("pyodbc", "pymssql", "tedious"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param);
                         });

} // namespace
