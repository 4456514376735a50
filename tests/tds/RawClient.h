#pragma once

// A TDS client on a raw socket for the server's tests: it sends exactly the bytes a test builds
// (well-formed, truncated, oversized) from a loopback address of the test's choice
// (127.0.0.0/8 all reaches this computer), and reads the server's answers with a deadline.

#include "TdsMessageBuilders.h"
#include "tds/Requests.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>

namespace tds_test {

class RawClient {
public:
    RawClient() = default;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    ~RawClient() { close(); }

    // Connects to 127.0.0.1:port from `source` (an address of 127.0.0.0/8).
    bool connect(quint16 port, const char* source = "127.0.0.1") {
        close();
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return false;
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, source, &from.sin_addr);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
            ::connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            close();
            return false;
        }
        return true;
    }

    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool isOpen() const { return m_fd >= 0; }

    // Packets of `payload`, the last with the end of the message unless `end` is false.
    bool send(tds::PacketType type, QByteArrayView payload, bool end = true) {
        constexpr qsizetype Room = 4096 - tds::HeaderSize;
        qsizetype at = 0;
        do {
            const qsizetype n = qMin(Room, payload.size() - at);
            const bool last = end && at + n >= payload.size();
            tds::Writer w;
            w.u8(quint8(type));
            w.u8(last ? tds::StatusEndOfMessage : 0);
            w.u16be(quint16(n + tds::HeaderSize));
            w.u16be(0);
            w.u8(1);
            w.u8(0);
            w.bytes(payload.sliced(at, n));
            if (!sendAll(w.data()))
                return false;
            at += n;
        } while (at < payload.size());
        return true;
    }

    // One message of the server; nullopt when the connection ended or `timeoutMs` passed.
    std::optional<QByteArray> read(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        QByteArray message;
        for (;;) {
            char header[tds::HeaderSize];
            if (!readExactly(header, tds::HeaderSize, deadline))
                return std::nullopt;
            const auto h = tds::parseHeader(QByteArrayView(header, tds::HeaderSize));
            if (!h)
                return std::nullopt;
            QByteArray body(h->length - tds::HeaderSize, Qt::Uninitialized);
            if (!readExactly(body.data(), body.size(), deadline))
                return std::nullopt;
            message += body;
            if (h->status & tds::StatusEndOfMessage)
                return message;
        }
    }

    // Reads at most `n` bytes of whatever the server sent (a slow reader); 0 when it ended.
    qsizetype readSome(qsizetype n, int timeoutMs) {
        QByteArray buffer(n, Qt::Uninitialized);
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return -1;
        const ssize_t k = ::recv(m_fd, buffer.data(), size_t(n), 0);
        return k < 0 ? 0 : qsizetype(k);
    }

    // Whether the server closed the connection within `timeoutMs` (whatever it sent before).
    bool closedWithin(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[4096];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                return false;
            if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0)
                return true;
        }
    }

    // PRELOGIN and LOGIN7; the server's answer to the login (nullopt when it gave none).
    std::optional<QByteArray> login(const QString& user, const QString& password, int timeoutMs,
                                    const QString& database = QString()) {
        if (!send(tds::PacketType::PreLogin, preLogin(quint8(tds::Encryption::NotSupported))) ||
            !read(timeoutMs) || !send(tds::PacketType::Login7, login7(user, password, database)))
            return std::nullopt;
        return read(timeoutMs);
    }

    // A SQL batch; the server's answer.
    std::optional<QByteArray> batch(const QString& text, int timeoutMs) {
        tds::Writer w;
        w.u32(4);
        w.ucs2(text);
        if (!send(tds::PacketType::SqlBatch, w.data()))
            return std::nullopt;
        return read(timeoutMs);
    }

private:
    bool sendAll(const QByteArray& bytes) {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t k =
                ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (k <= 0)
                return false;
            sent += k;
        }
        return true;
    }

    bool readExactly(char* buffer, qsizetype length, std::chrono::steady_clock::time_point deadline) {
        qsizetype done = 0;
        while (done < length) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                return false;
            const ssize_t n = ::recv(m_fd, buffer + done, size_t(length - done), 0);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    int m_fd = -1;
};

// Whether an answer holds the login's acknowledgement (the LOGINACK token and no error).
inline bool loggedIn(const QByteArray& answer) {
    return answer.contains(ucs2(QStringLiteral("Microsoft SQL Server"))) && !answer.startsWith(char(0xAA));
}

// Whether an answer holds `text` (the UCS-2 of a message or a value).
inline bool holds(const QByteArray& answer, const QString& text) {
    return answer.contains(ucs2(text));
}

// Whether the answer's last token is a DONE (or the DONEPROC of a procedure call) without its
// error bit.
inline bool succeeded(const QByteArray& answer) {
    constexpr qsizetype DoneSize = 13;
    if (answer.size() < DoneSize)
        return false;
    const quint8 token = quint8(answer[answer.size() - DoneSize]);
    if (token != 0xFD && token != 0xFE)
        return false;
    return (quint8(answer[answer.size() - DoneSize + 1]) & 0x02) == 0;
}

} // namespace tds_test
