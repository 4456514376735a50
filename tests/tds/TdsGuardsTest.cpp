// The server's guards without sockets: what a client sent as a log line shows it, the log keeps
// every line whole under many threads and counts floods, failed logins slow down and block an
// address.

#include "tds/Log.h"
#include "tds/Throttle.h"

#include <QStringList>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(TdsLog, ClientTextCannotForgeALine) {
    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {QStringLiteral("admin"), QStringLiteral("admin")},
        {QStringLiteral("x'\nserve: 1.2.3.4: admin logged in"),
         QStringLiteral("x'\\nserve: 1.2.3.4: admin logged in")},
        {QStringLiteral("a\rb\tc"), QStringLiteral("a\\rb\\tc")},
        {QStringLiteral("back\\n"), QStringLiteral("back\\\\n")},
        {QStringLiteral("\x1b[2J"), QStringLiteral("\\x1b[2J")},
        {QString(QChar(0x7F)) + QChar(0x85), QStringLiteral("\\x7f\\x85")},
        {QStringLiteral("a\u2028b\u202Ec\u2066"), QStringLiteral("a\\u2028b\\u202ec\\u2066")},
        {QStringLiteral("è€"), QStringLiteral("è€")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tds::clientText(c.in), c.out) << c.in.toStdString();
}

TEST(TdsLog, ClientTextIsBounded) {
    EXPECT_EQ(tds::clientText(QString(5, u'x'), 5), QStringLiteral("xxxxx"));
    EXPECT_EQ(tds::clientText(QString(6, u'x'), 5), QStringLiteral("xxxxx..."));
    EXPECT_EQ(tds::clientText(QString(100000, u'\n')).size(), 128 + 3);
}

TEST(TdsLog, LinesFromManyThreadsStayWholeAndAllArrive) {
    QStringList lines;
    tds::ServerLog log([&lines](const QString& line) { lines << line; });
    constexpr int Threads = 16, PerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < PerThread; ++i)
                log.write(QStringLiteral("thread %1 line %2 end").arg(t).arg(i));
        });
    }
    for (std::thread& t : threads)
        t.join();
    ASSERT_EQ(lines.size(), Threads * PerThread);
    lines.sort();
    lines.removeDuplicates();
    EXPECT_EQ(lines.size(), Threads * PerThread);
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(QLatin1String("thread ")) && line.endsWith(QLatin1String(" end")))
            << line.toStdString();
}

TEST(TdsLog, WriteEscapesAndCutsWhatSlippedThrough) {
    QStringList lines;
    tds::ServerLog log([&lines](const QString& line) { lines << line; });
    log.write(QStringLiteral("a\nb"));
    log.write(QString(5000, u'x'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QStringLiteral("a\\nb"));
    EXPECT_EQ(lines.at(1).size(), tds::MaxLogLine + 3);
}

TEST(TdsLog, ABurstIsOneLineAndItsCount) {
    QStringList lines;
    tds::ServerLog log([&lines](const QString& line) { lines << line; });
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < 100; ++i)
        log.burst(QStringLiteral("k"), QStringLiteral("first"), t0 + i * 100ms);
    log.burst(QStringLiteral("other"), QStringLiteral("other first"), t0);
    log.quiet(t0 + 9900ms + 5s, 10s); // the burst of "k" goes on
    EXPECT_EQ(lines, QStringList({QStringLiteral("first"), QStringLiteral("other first")}));
    log.quiet(t0 + 9900ms + 10s, 10s);
    EXPECT_EQ(lines, QStringList({QStringLiteral("first"), QStringLiteral("other first"),
                                  QStringLiteral("k: 99 more in this burst")}));
    log.burst(QStringLiteral("k"), QStringLiteral("first again"), t0 + 60s);
    EXPECT_EQ(lines.last(), QStringLiteral("first again"));
}

TEST(TdsLog, BurstsOfManyKeysAreBounded) {
    QStringList lines;
    tds::ServerLog log([&lines](const QString& line) { lines << line; });
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < 10000; ++i)
        log.burst(QString::number(i), QStringLiteral("line %1").arg(i), t0);
    EXPECT_EQ(lines.size(), 256);
    log.quiet(t0 + 1h, 10s);
    EXPECT_EQ(lines.last(), QStringLiteral("other clients: %1 more in this burst").arg(10000 - 256));
}

TEST(TdsThrottle, DelaysGrowThenTheAddressIsRefused) {
    tds::ThrottleLimits limits;
    limits.blockAfter = 4;
    limits.step = 100ms;
    limits.maxDelay = 250ms;
    limits.blockFor = 30s;
    tds::LoginThrottle throttle(limits);
    const Clock::time_point t0 = Clock::now();
    const QString a = QStringLiteral("10.0.0.1"), b = QStringLiteral("10.0.0.2");
    struct Step {
        std::chrono::milliseconds delay;
        bool blockStarts;
    };
    const Step steps[] = {{100ms, false}, {200ms, false}, {250ms, false}, {250ms, true}, {250ms, false}};
    int i = 0;
    for (const Step& s : steps) {
        const auto v = throttle.failed(a, t0 + i * 1s);
        EXPECT_EQ(v.delay, s.delay) << i;
        EXPECT_EQ(v.blockStarts, s.blockStarts) << i;
        EXPECT_EQ(v.failures, i + 1);
        ++i;
    }
    EXPECT_TRUE(throttle.blocked(a, t0 + 4s));
    EXPECT_TRUE(throttle.blocked(a, t0 + 32s));
    EXPECT_FALSE(throttle.blocked(a, t0 + 33s));
    EXPECT_FALSE(throttle.blocked(b, t0 + 4s));
    EXPECT_EQ(throttle.failed(b, t0).delay, 100ms);
}

TEST(TdsThrottle, FailuresBeyondTheWindowAreForgotten) {
    tds::ThrottleLimits limits;
    limits.window = 60s;
    tds::LoginThrottle throttle(limits);
    const Clock::time_point t0 = Clock::now();
    const QString a = QStringLiteral("10.0.0.1");
    throttle.failed(a, t0);
    EXPECT_EQ(throttle.failed(a, t0 + 60s).failures, 2);
    EXPECT_EQ(throttle.failed(a, t0 + 121s).failures, 1);
}

TEST(TdsThrottle, AddressesRememberedAreBounded) {
    tds::ThrottleLimits limits;
    limits.maxAddresses = 8;
    limits.blockAfter = 1;
    tds::LoginThrottle throttle(limits);
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < 100; ++i)
        throttle.failed(QStringLiteral("10.0.0.%1").arg(i), t0 + i * 1ms);
    int blocked = 0;
    for (int i = 0; i < 100; ++i)
        blocked += throttle.blocked(QStringLiteral("10.0.0.%1").arg(i), t0 + 1s) ? 1 : 0;
    EXPECT_EQ(blocked, 8);
    EXPECT_TRUE(throttle.blocked(QStringLiteral("10.0.0.99"), t0 + 1s));
}

} // namespace
