#include "tds/Server.h"

#include "tds/Connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <malloc.h>

#include <chrono>
#include <list>
#include <map>
#include <memory>
#include <thread>

namespace tds {

namespace {

// SIGTERM and SIGINT write a byte here; the accept loop watches the other end.
int g_stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &byte, 1);
}

struct Served {
    std::unique_ptr<ClientConnection> connection;
    std::thread thread;
    bool closing = false; // told to stop while in the handshake
};

// A listening socket on host:port; -1 with the reason in `error`.
int listenOn(const ServerConfig& config, QString& error, QString& bound) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray host = config.host.toUtf8();
    const QByteArray port = QByteArray::number(config.port);
    if (const int rc = getaddrinfo(host.constData(), port.constData(), &hints, &found); rc != 0) {
        error = QStringLiteral("cannot resolve %1: %2").arg(config.host, QString::fromUtf8(gai_strerror(rc)));
        return -1;
    }
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, 64) != 0) {
            error = QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(config.host)
                        .arg(config.port)
                        .arg(QString::fromLocal8Bit(strerror(errno)));
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0)
        return -1;
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    const quint16 actual = addr.ss_family == AF_INET
                               ? ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port)
                               : ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
    bound = QStringLiteral("%1:%2").arg(config.host).arg(actual);
    return fd;
}

void reap(std::list<Served>& served, bool all) {
    bool any = false;
    for (auto it = served.begin(); it != served.end();) {
        if (all || it->connection->finished()) {
            if (all)
                it->connection->stop();
            it->thread.join();
            it = served.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    // The memory of the connections that ended goes back to the system, not only to the
    // allocator's free lists (at most once a second: it walks every arena).
    static std::chrono::steady_clock::time_point lastTrim;
    const auto now = std::chrono::steady_clock::now();
    if (any && (all || now - lastTrim >= std::chrono::seconds(1))) {
        malloc_trim(0);
        lastTrim = now;
    }
}

// Makes room for one more handshake when all are taken: the oldest handshake of the address
// that holds the most is closed, so that a flood from some addresses does not keep others out.
// Returns the address whose handshake was closed, or an empty string when there was room.
QString makeHandshakeRoom(std::list<Served>& served, int maxHandshakes) {
    std::map<QString, int> perAddress;
    int pending = 0;
    for (const Served& s : served) {
        if (!s.closing && !s.connection->loggedIn() && !s.connection->finished()) {
            ++perAddress[s.connection->address()];
            ++pending;
        }
    }
    if (pending < maxHandshakes)
        return {};
    QString busiest;
    int most = 0;
    for (const auto& [address, count] : perAddress) {
        if (count > most) {
            most = count;
            busiest = address;
        }
    }
    for (Served& s : served) { // oldest first: connections are appended
        if (!s.closing && !s.connection->loggedIn() && s.connection->address() == busiest) {
            s.closing = true;
            s.connection->stop();
            break;
        }
    }
    return busiest;
}

int sessionsOf(const std::list<Served>& served) {
    int n = 0;
    for (const Served& s : served)
        n += s.connection->loggedIn() && !s.connection->finished() ? 1 : 0;
    return n;
}

} // namespace

int runServer(const ServerConfig& config, const std::function<void(const QString&)>& ready,
              const std::function<void(const QString&)>& log, QString& error) {
    QString bound;
    const int listener = listenOn(config, error, bound);
    if (listener < 0)
        return 2;
    if (pipe2(g_stopPipe, O_CLOEXEC) != 0) {
        error = QStringLiteral("cannot create the stop pipe");
        ::close(listener);
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    ready(QStringLiteral("listening on %1").arg(bound));

    ServerShared shared(log, config.throttle);
    std::list<Served> served;
    int nextSpid = 51;
    for (;;) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        const int n = ::poll(fds, 2, 1000);
        reap(served, false);
        shared.log.quiet();
        if (n < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        QString address;
        const QString peer = peerOf(client, &address);
        if (shared.throttle.blocked(address)) {
            shared.log.burst(QStringLiteral("%1: refused after failed logins").arg(address),
                             QStringLiteral("%1: connection refused (too many failed logins)").arg(peer));
            ::close(client);
            continue;
        }
        // Handshakes closed for room end within moments; threads stay bounded meanwhile.
        if (qsizetype(served.size()) >=
            qsizetype(config.maxConnections) + 4 * qsizetype(config.maxHandshakes)) {
            shared.log.burst(QStringLiteral("too many threads"),
                             QStringLiteral("%1 connections still ending; one refused").arg(served.size()));
            ::close(client);
            continue;
        }
        if (sessionsOf(served) >= config.maxConnections) {
            shared.log.burst(
                QStringLiteral("too many connections"),
                QStringLiteral("too many connections (%1); one refused").arg(config.maxConnections));
            ::close(client);
            continue;
        }
        if (const QString closed = makeHandshakeRoom(served, config.maxHandshakes); !closed.isEmpty())
            shared.log.burst(QStringLiteral("%1: handshakes closed for room").arg(closed),
                             QStringLiteral("%1 handshakes at once: the oldest of %2 closed")
                                 .arg(config.maxHandshakes)
                                 .arg(closed));
        const int spid = nextSpid;
        nextSpid = nextSpid >= 32000 ? 51 : nextSpid + 1;
        Served s;
        s.connection = std::make_unique<ClientConnection>(client, spid, config, shared);
        ClientConnection* c = s.connection.get();
        s.thread = std::thread([c] { c->serve(); });
        served.push_back(std::move(s));
    }
    ::close(listener);
    reap(served, true);
    ::close(g_stopPipe[0]);
    ::close(g_stopPipe[1]);
    shared.log.quiet(ServerLog::Clock::now(), std::chrono::milliseconds(0));
    shared.log.write(QStringLiteral("stopped"));
    return 0;
}

} // namespace tds
