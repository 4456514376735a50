// A good client served while the server is attacked on every side at once: 32 clients failing
// their login in a loop, 64 sockets that send nothing, 20 clients sending endless pre-login
// data and a slow reader of a large result. The good client logs in and runs a query again and
// again, each answer within its deadline; the server's resident memory stays under its ceiling
// and the server is alive at the end.
//
// FORMULE_SERVE_LOAD_SECONDS sets how long the attack lasts (20 s, 8 s in the sanitizer build).

#include "RawClient.h"
#include "ServeProcess.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <atomic>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace tds_test;

// The server's resident memory under the attack (the README's figure); the sanitizer build's
// shadow memory is not counted against it.
constexpr qint64 CeilingKb = 256 * 1024;

// The rows of the slow reader's result, about 12 MB on the wire (a tenth of it in the sanitizer
// build, whose server would take longer to read them than the run lasts).
constexpr int LargeRows = Sanitized ? 20000 : 200000;

// Fills the formulas' table with LargeRows rows before the server opens the database.
void addRows(const QString& path) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO LP17_FORMULEMANUT (LP17_ID, LP17_DESCRIZIONE, LP17_FORMULA) "
                                 "VALUES (?, ?, ?)"));
        for (int i = 0; i < LargeRows; ++i) {
            q.bindValue(0, 100000 + i);
            q.bindValue(1, QStringLiteral("row %1").arg(i));
            q.bindValue(2, QStringLiteral("[formula] * %1 + 1").arg(i));
            ASSERT_TRUE(q.exec());
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

int attackSeconds() {
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("FORMULE_SERVE_LOAD_SECONDS", &ok);
    return ok && s > 0 ? s : Sanitized ? 8 : 20;
}

struct Attack {
    std::atomic<bool> over{false};
    std::atomic<int> failedLogins{0};
    std::atomic<int> idleClosed{0};
    std::atomic<int> oversizedClosed{0};
    std::atomic<qint64> slowBytes{0};
    std::atomic<qint64> peakKb{0};
    std::vector<std::thread> threads;

    void run(std::function<void()> f) { threads.emplace_back(std::move(f)); }
    void end() {
        over = true;
        for (std::thread& t : threads)
            t.join();
    }
};

void failingLogins(Attack& a, quint16 port) {
    while (!a.over) {
        RawClient c;
        if (!c.connect(port, "127.0.0.2"))
            continue;
        const auto answer = c.login(User, QStringLiteral("not the password"), 5000);
        if (answer && holds(*answer, QStringLiteral("Login failed for user 'formule_test'.")))
            ++a.failedLogins;
    }
}

void idleSocket(Attack& a, quint16 port) {
    while (!a.over) {
        RawClient c;
        if (!c.connect(port, "127.0.0.3"))
            continue;
        while (!a.over) {
            if (c.closedWithin(200)) {
                ++a.idleClosed;
                break;
            }
        }
    }
}

void oversizedPreLogin(Attack& a, quint16 port) {
    const QByteArray junk(64 * 1024, 'P');
    while (!a.over) {
        RawClient c;
        if (!c.connect(port, "127.0.0.4"))
            continue;
        // Up to 64 MB without an end of message, as long as the server takes it.
        for (int i = 0; i < 1024 && !a.over; ++i) {
            if (!c.send(tds::PacketType::PreLogin, junk, false))
                break;
        }
        if (c.closedWithin(1000))
            ++a.oversizedClosed;
    }
}

// Logs in again until a session is had: under the flood its handshake may be closed for room,
// as any client's may, and a real client would try again.
// Logs in again until it has a session: under the flood its handshake may be closed for room, as
// any client's may, and a real client would try again.
void slowReader(Attack& a, quint16 port) {
    std::optional<RawClient> c;
    for (;;) {
        if (a.over)
            return;
        c.emplace();
        if (c->connect(port, "127.0.0.6") && loggedIn(c->login(User, Password, 10000).value_or(QByteArray())))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    tds::Writer batch;
    batch.u32(4);
    batch.ucs2(QStringLiteral("SELECT * FROM LP17_FORMULEMANUT"));
    if (!c->send(tds::PacketType::SqlBatch, batch.data()))
        return;
    while (!a.over) {
        const qsizetype n = c->readSome(2048, 100);
        if (n == 0)
            return;
        if (n > 0)
            a.slowBytes += n;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

TEST(ServeUnderLoad, AGoodClientIsServedWhileOthersAttack) {
    ServeProcess server;
    const QString said = server.start(
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--user"), User},
        QProcessEnvironment::systemEnvironment(), addRows);
    ASSERT_TRUE(said.startsWith(QLatin1String("listening on"))) << said.toStdString();
    const quint16 port = server.port();

    Attack attack;
    for (int i = 0; i < 32; ++i)
        attack.run([&attack, port] { failingLogins(attack, port); });
    for (int i = 0; i < 64; ++i)
        attack.run([&attack, port] { idleSocket(attack, port); });
    for (int i = 0; i < 20; ++i)
        attack.run([&attack, port] { oversizedPreLogin(attack, port); });
    attack.run([&attack, port] { slowReader(attack, port); });
    attack.run([&attack, &server] {
        while (!attack.over) {
            attack.peakKb = qMax(attack.peakKb.load(), server.residentKb());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });

    int rounds = 0;
    QStringList failures;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(attackSeconds());
    while (std::chrono::steady_clock::now() < end) {
        RawClient good;
        ++rounds;
        if (!good.connect(port)) {
            failures << QStringLiteral("round %1: no connection").arg(rounds);
            continue;
        }
        const auto login = good.login(User, Password, AnswerMs);
        if (!login || !loggedIn(*login)) {
            failures << QStringLiteral("round %1: no login within %2 ms").arg(rounds).arg(AnswerMs);
            continue;
        }
        const auto answer =
            good.batch(QStringLiteral("SELECT COUNT(*) FROM LP17_FORMULEMANUT WHERE LP17_ID < 10"), AnswerMs);
        if (!answer || !succeeded(*answer))
            failures << QStringLiteral("round %1: no answer within %2 ms").arg(rounds).arg(AnswerMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const bool aliveUnderAttack = server.running();
    attack.end();

    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
    EXPECT_GT(rounds, 0);
    EXPECT_TRUE(aliveUnderAttack);
    // Each attack reached the server.
    EXPECT_GT(attack.failedLogins.load(), 0);
    EXPECT_GT(attack.idleClosed.load(), 0);
    EXPECT_GT(attack.oversizedClosed.load(), 0);
    EXPECT_GT(attack.slowBytes.load(), 0);
    std::cout << "rounds " << rounds << ", failed logins answered " << attack.failedLogins
              << ", idle sockets closed " << attack.idleClosed << ", oversized closed "
              << attack.oversizedClosed << ", slow reader took " << attack.slowBytes << " bytes, peak RSS "
              << attack.peakKb / 1024 << " MB\n";
    if (!Sanitized) {
        EXPECT_LT(attack.peakKb.load(), CeilingKb);
    }
    EXPECT_TRUE(server.running());
    EXPECT_EQ(server.stop(), 0);
    // Floods are logged once per burst: thousands of refused connections make a few lines.
    const qsizetype lines = server.log().count(u'\n');
    std::cout << "log lines " << lines << "\n";
    EXPECT_LT(lines, 200) << server.log().toStdString();
}

} // namespace
