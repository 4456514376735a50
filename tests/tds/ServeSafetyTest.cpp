// `formule serve` reached by hostile and careless clients on raw sockets: what it refuses at
// start, what a login may do in read-only mode, what its log shows of a client's text, the
// bounds before the login, the throttle of failed logins, and a good client served while all of
// that happens at once.

#include "RawClient.h"
#include "ServeProcess.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace tds_test;

QString listen() {
    return QStringLiteral("127.0.0.1:0");
}

TEST(ServeStart, RefusesWhatWouldExposeTheDatabase) {
    struct Case {
        const char* what;
        QStringList args;
        QString env; // FORMULE_PASSWORD, when not null
        QString error;
    };
    const Case cases[] = {
        {"empty --password",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User, QStringLiteral("--password"),
          QString()},
         {},
         QStringLiteral("serve: serve una password e non deve essere vuota")},
        {"empty FORMULE_PASSWORD",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User},
         QStringLiteral(""),
         QStringLiteral("serve: serve una password e non deve essere vuota")},
        {"all addresses without --allow-remote",
         {QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0"), QStringLiteral("--user"), User},
         {},
         QStringLiteral(
             "serve: 0.0.0.0 è raggiungibile da altri computer e questo server non richiede la cifratura")},
        {"both password options",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User, QStringLiteral("--password"),
          QStringLiteral("x"), QStringLiteral("--password-file"), QStringLiteral("/nonexistent")},
         {},
         QStringLiteral("serve: dai --password oppure --password-file, non entrambi")},
        {"missing password file",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User,
          QStringLiteral("--password-file"), QStringLiteral("/nonexistent/password")},
         {},
         QStringLiteral("serve: non riesco a leggere il file della password \"/nonexistent/password\"")},
        {"a certificate without its key",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User, QStringLiteral("--tls-cert"),
          QStringLiteral("/nonexistent/server.crt")},
         {},
         QStringLiteral("serve: --tls-cert e --tls-key vanno dati insieme")},
        {"certificate files and a self-signed one",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User, QStringLiteral("--tls-cert"),
          QStringLiteral("a.crt"), QStringLiteral("--tls-key"), QStringLiteral("a.key"),
          QStringLiteral("--tls-self-signed")},
         {},
         QStringLiteral("serve: dai --tls-cert e --tls-key oppure --tls-self-signed, non entrambi")},
        {"encryption required without a certificate",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User,
          QStringLiteral("--require-encryption")},
         {},
         QStringLiteral("serve: --require-encryption richiede un certificato")},
        {"a certificate file that is missing",
         {QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User, QStringLiteral("--tls-cert"),
          QStringLiteral("/nonexistent/server.crt"), QStringLiteral("--tls-key"),
          QStringLiteral("/nonexistent/server.key")},
         {},
         QStringLiteral(
             "serve: il certificato TLS non si può usare: cannot read \"/nonexistent/server.crt\"")},
    };
    for (const Case& c : cases) {
        ServeProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("FORMULE_PASSWORD"));
        env.remove(QStringLiteral("LC_ALL"));
        env.remove(QStringLiteral("LC_MESSAGES"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("it_IT.UTF-8"));
        if (!c.env.isNull())
            env.insert(QStringLiteral("FORMULE_PASSWORD"), c.env);
        const QString said = server.start(c.args, env);
        EXPECT_TRUE(said.startsWith(c.error)) << c.what << ": " << said.toStdString();
        EXPECT_FALSE(server.running()) << c.what;
        EXPECT_EQ(server.exitCode(), 2) << c.what;
    }
}

TEST(ServeStart, BeyondLoopbackOnlyWhenAllowedAndWithAWarning) {
    ServeProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("it_IT.UTF-8"));
    const QString said = server.start({QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0"),
                                       QStringLiteral("--allow-remote"), QStringLiteral("--user"), User},
                                      env);
    ASSERT_TRUE(said.startsWith(QLatin1String("listening on 0.0.0.0:"))) << said.toStdString();
    EXPECT_TRUE(server.log().startsWith(QStringLiteral(
        "serve: attenzione: in ascolto su 0.0.0.0, raggiungibile da altri computer; l'accesso (nome e "
        "password) e i dati viaggiano in chiaro sulla rete, a meno che il client non cifri\n")))
        << server.log().toStdString();
    RawClient client;
    ASSERT_TRUE(client.connect(server.port()));
    const auto answer = client.login(User, Password, AnswerMs);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(loggedIn(*answer));
    EXPECT_EQ(server.stop(), 0);
}

TEST(ServeStart, PasswordFromTheEnvironment) {
    ServeProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FORMULE_PASSWORD"), QStringLiteral("from the environment"));
    ASSERT_TRUE(server.start({QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User}, env)
                    .startsWith(QLatin1String("listening on")));
    struct Case {
        QString password;
        bool in;
    };
    for (const Case& c : {Case{QStringLiteral("from the environment"), true}, Case{Password, false},
                          Case{QString(), false}, Case{QStringLiteral("from the environmenT"), false}}) {
        RawClient client;
        ASSERT_TRUE(client.connect(server.port()));
        const auto answer = client.login(User, c.password, AnswerMs);
        ASSERT_TRUE(answer) << c.password.toStdString();
        EXPECT_EQ(loggedIn(*answer), c.in) << c.password.toStdString();
        if (!c.in) {
            EXPECT_TRUE(holds(*answer, QStringLiteral("Login failed for user 'formule_test'.")));
        }
    }
}

qint64 countRows(const QString& path, const QString& sql) {
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                n = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

TEST(ServeReadOnly, EveryWriteFailsAsOnAReadOnlyDatabase) {
    ServeProcess server;
    ASSERT_TRUE(server
                    .start({QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User,
                            QStringLiteral("--read-only")})
                    .startsWith(QLatin1String("listening on")));
    const QString sumBefore = QStringLiteral("SELECT (SELECT COUNT(*) FROM LP17_FORMULEMANUT) * 1000 + "
                                             "(SELECT COUNT(*) FROM sqlite_master)");
    const qint64 before = countRows(server.databasePath(), sumBefore);
    ASSERT_GT(before, 0);
    RawClient client;
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(loggedIn(client.login(User, Password, AnswerMs).value_or(QByteArray())));
    const QString refused =
        QStringLiteral("Failed to update database \"serve\" because the database is read-only.");
    struct Case {
        QString batch;
        bool writes;
    };
    const Case cases[] = {
        {QStringLiteral("SELECT COUNT(*) FROM LP17_FORMULEMANUT"), false},
        {QStringLiteral("DELETE FROM LP17_FORMULEMANUT"), true},
        {QStringLiteral("INSERT INTO LP17_FORMULEMANUT (LP17_ID, LP17_FORMULA) VALUES (99999, N'x')"), true},
        {QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = N'x'"), true},
        {QStringLiteral("CREATE TABLE T_NEW (a int)"), true},
        {QStringLiteral("DROP TABLE LP17_FORMULEMANUT"), true},
        {QStringLiteral("BEGIN TRANSACTION; DELETE FROM LP14_CAMPI; COMMIT"), true},
        {QStringLiteral(
             "CREATE TABLE #t (a int); INSERT INTO #t VALUES (1); UPDATE #t SET a = 2; SELECT a FROM #t"),
         false},
        {QStringLiteral("DECLARE @n int = 1; SELECT @n + 1"), false},
    };
    for (const Case& c : cases) {
        const auto answer = client.batch(c.batch, AnswerMs);
        ASSERT_TRUE(answer) << c.batch.toStdString();
        EXPECT_EQ(holds(*answer, refused), c.writes) << c.batch.toStdString();
        EXPECT_EQ(succeeded(*answer), !c.writes) << c.batch.toStdString();
        if (c.writes)
            client.batch(QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK"), AnswerMs);
    }
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(countRows(server.databasePath(), sumBefore), before);
}

TEST(ServeLog, WhatAClientSentCannotForgeALine) {
    ServeProcess server;
    ASSERT_TRUE(server.start({QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User})
                    .startsWith(QLatin1String("listening on")));
    RawClient client;
    ASSERT_TRUE(client.connect(server.port()));
    const QString forged = QStringLiteral("x\nserve: 127.0.0.1:1: admin logged in");
    const auto answer = client.login(forged, QStringLiteral("wrong"), AnswerMs);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(holds(*answer, QStringLiteral("Login failed for user '%1'.").arg(forged)));
    EXPECT_EQ(server.stop(), 0);
    const QStringList lines = server.log().split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.filter(QStringLiteral("admin logged in")).size(), 1) << server.log().toStdString();
    for (const QString& line : lines)
        EXPECT_FALSE(line.startsWith(QLatin1String("serve: 127.0.0.1:1:"))) << line.toStdString();
    EXPECT_TRUE(server.log().contains(
        QStringLiteral("Login failed for user 'x\\nserve: 127.0.0.1:1: admin logged in'.")));
}

TEST(ServeLimits, BeforeTheLoginOnlyAFewKilobytes) {
    ServeProcess server;
    ASSERT_TRUE(server.start({QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User})
                    .startsWith(QLatin1String("listening on")));
    struct Case {
        const char* what;
        tds::PacketType type;
        qsizetype bytes;
        bool end;
    };
    const Case cases[] = {
        {"PRELOGIN of 9 KB in packets", tds::PacketType::PreLogin, 9000, false},
        {"LOGIN7 of 9 KB", tds::PacketType::Login7, 9000, true},
        {"a batch before the login", tds::PacketType::SqlBatch, 100, true},
    };
    for (const Case& c : cases) {
        RawClient client;
        ASSERT_TRUE(client.connect(server.port(), "127.0.0.5"));
        client.send(c.type, QByteArray(c.bytes, 'A'), c.end);
        EXPECT_TRUE(client.closedWithin(AnswerMs)) << c.what;
    }
    // The server goes on.
    RawClient good;
    ASSERT_TRUE(good.connect(server.port()));
    EXPECT_TRUE(loggedIn(good.login(User, Password, AnswerMs).value_or(QByteArray())));
    EXPECT_EQ(server.stop(), 0);
    EXPECT_TRUE(
        server.log().contains(QStringLiteral("more than 8192 bytes before the login; connection closed")));
}

TEST(ServeLimits, ATruncatedParameterEndsOnlyItsConnection) {
    ServeProcess server;
    ASSERT_TRUE(server.start({QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User})
                    .startsWith(QLatin1String("listening on")));
    const QByteArray whole = rpc(nvarcharParam(QStringLiteral("SELECT 1")));
    for (const qsizetype cut : {whole.size() - 1, whole.size() - 16, qsizetype(14)}) {
        RawClient client;
        ASSERT_TRUE(client.connect(server.port()));
        ASSERT_TRUE(loggedIn(client.login(User, Password, AnswerMs).value_or(QByteArray())));
        client.send(tds::PacketType::Rpc, whole.first(cut));
        EXPECT_TRUE(client.closedWithin(AnswerMs)) << cut;
    }
    RawClient client;
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(loggedIn(client.login(User, Password, AnswerMs).value_or(QByteArray())));
    client.send(tds::PacketType::Rpc, whole);
    const auto answer = client.read(AnswerMs);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(succeeded(*answer));
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(server.log().count(QStringLiteral("malformed RPC request; connection closed")), 3);
}

TEST(ServeLimits, FailedLoginsBlockTheirAddressOnly) {
    ServeProcess server;
    ASSERT_TRUE(server.start({QStringLiteral("--listen"), listen(), QStringLiteral("--user"), User})
                    .startsWith(QLatin1String("listening on")));
    // Twelve wrong guesses at once: the tenth blocks the address.
    std::vector<std::thread> guesses;
    std::atomic<int> refused{0};
    for (int i = 0; i < 12; ++i) {
        guesses.emplace_back([&server, &refused, i] {
            RawClient client;
            if (!client.connect(server.port(), "127.0.0.9"))
                return;
            const auto answer = client.login(User, QStringLiteral("guess %1").arg(i), 10000);
            if (answer && holds(*answer, QStringLiteral("Login failed for user 'formule_test'.")))
                ++refused;
        });
    }
    for (std::thread& t : guesses)
        t.join();
    // Connections made after the block are closed without an answer.
    EXPECT_GE(refused.load(), 10);
    RawClient blocked;
    ASSERT_TRUE(blocked.connect(server.port(), "127.0.0.9"));
    EXPECT_FALSE(blocked.login(User, Password, AnswerMs));
    RawClient other;
    ASSERT_TRUE(other.connect(server.port(), "127.0.0.10"));
    EXPECT_TRUE(loggedIn(other.login(User, Password, AnswerMs).value_or(QByteArray())));
    EXPECT_EQ(server.stop(), 0);
    const QString log = server.log();
    EXPECT_EQ(log.count(QStringLiteral("127.0.0.9: 10 failed logins; connections from this address refused "
                                       "for 60 s")),
              1)
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Login failed for user 'formule_test'.")), 1) << log.toStdString();
    EXPECT_TRUE(
        log.contains(QStringLiteral("127.0.0.9: failed logins: %1 more in this burst").arg(refused - 1)))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("connection refused (too many failed logins)")));
}

} // namespace
