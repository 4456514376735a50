#pragma once

#include "tds/Log.h"
#include "tds/Requests.h"
#include "tds/Server.h"
#include "tds/Throttle.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace tsql {
class Session;
}

namespace tds {

class TokenWriter;
class TlsChannel;

// A statement of sp_prepare: its parameter declarations and its text.
struct PreparedStatement {
    QString declarations;
    QString text;
};

// What the connections of one server share: its log and the count of failed logins.
struct ServerShared {
    explicit ServerShared(std::function<void(const QString&)> sink, ThrottleLimits limits)
        : log(std::move(sink))
        , throttle(limits) {}
    ServerLog log;
    LoginThrottle throttle;
};

// The client address of a connected socket: "HOST:PORT", and HOST alone in `host`.
QString peerOf(int socket, QString* host = nullptr);

// One client's connection: a reader thread turns packets into messages (an attention cancels
// the running batch at once), and the connection's own thread answers them in order.
class ClientConnection {
public:
    ClientConnection(int socket, int spid, const ServerConfig& config, ServerShared& shared);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Serves the connection until the client leaves, breaks the protocol or the server stops.
    void serve();
    // Ends the connection from another thread (the server stopping).
    void stop();
    bool finished() const { return m_finished.load(); }
    bool loggedIn() const { return m_loggedIn.load(); }
    const QString& address() const { return m_address; }

private:
    struct Incoming {
        quint8 type = 0;
        QByteArray payload;
        bool closed = false;
    };

    void readLoop();
    // One message, its packets joined, or an attention (pushed at once, the message goes on);
    // nullopt when the client left, broke the protocol or went beyond the bound.
    std::optional<Incoming> readMessage();
    // The answer to PRELOGIN and the TLS handshake that may follow it, both in the reader.
    bool negotiate(const QByteArray& payload);
    // `first`: the client's first handshake message when it was read already.
    bool tlsHandshake(TlsMode mode, std::optional<Incoming> first);
    // Waits until the socket has data, within the handshake's deadline before the login and the
    // idle time after it; false when the time is over.
    bool waitReadable();
    // `length` bytes of the stream: of the socket, or of the plain text of its TLS records.
    bool readExactly(char* buffer, qsizetype length);
    bool readDecrypted(char* buffer, qsizetype length);
    // Bytes to the socket, through TLS once the session is encrypted.
    bool sendAll(QByteArrayView bytes);
    void push(Incoming message);
    Incoming next();
    bool attentionPending();

    bool sendPacket(quint8 type, QByteArrayView data, bool endOfMessage);
    // A whole message, split into packets.
    bool send(quint8 type, QByteArrayView payload);
    // The tokens written so far go out as whole packets; `last` sends the rest and ends the
    // message. A client that reads slowly holds the writer back here, not in memory.
    bool flush(TokenWriter& tw, bool last);
    bool handshake();
    bool login(const QByteArray& payload);
    // Refuses the login with `text` to the client; the log gets `logText` (what the client sent
    // escaped).
    bool refuseLogin(int number, const QString& text, const QString& logText);
    bool failLogin(const QString& userName);
    bool openSession();
    void closeSession();
    bool answer(const Incoming& message);
    void runBatch(TokenWriter& tw, const QString& text, bool inProc, int lineOffset);
    void runRpc(TokenWriter& tw, const QList<RpcCall>& calls);
    // One call; a call the server cannot run ends with an error message and an error DONEPROC.
    void runCall(TokenWriter& tw, const RpcCall& call, bool last);
    void runTransactionRequest(TokenWriter& tw, const TransactionRequest& request);
    void noteTransaction(TokenWriter& tw, int before);

    int m_socket;
    int m_spid;
    ServerConfig m_config;
    ServerShared& m_shared;
    QString m_address;
    QString m_peer;
    qint64 m_acceptedAt = 0;
    int m_packetSize = DefaultPacketSize;
    quint32 m_tdsVersion = Tds74;
    quint8 m_packetId = 0;

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Incoming> m_queue;
    qsizetype m_queuedBytes = 0;
    bool m_stopping = false; // the connection's thread reads no more messages
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_loggedIn{false};
    bool m_loginArrived = false; // the reader's own: LOGIN7 came, the handshake's deadline is over
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_attention{false};
    std::atomic<qint64> m_lastActivity{0};
    std::atomic<tsql::Session*> m_running{nullptr};
    // TLS: the channel (guarded by m_tlsMutex: the reader decrypts while the connection's thread
    // encrypts), whether the reader's and the writer's bytes go through it, and the reader's plain
    // text not read yet.
    std::unique_ptr<TlsChannel> m_tls;
    std::mutex m_tlsMutex;
    bool m_readTls = false;              // the reader's own
    bool m_loginOnlyTls = false;         // the reader's own: TLS ends after LOGIN7
    std::atomic<bool> m_writeTls{false}; // set before LOGIN7 is queued
    QByteArray m_plain;
    qsizetype m_plainAt = 0;
    EncryptionRefusal m_refusal = EncryptionRefusal::None; // set before LOGIN7 is queued
    QByteArray m_unsent;         // the part of a packet the answer has not filled yet
    bool m_writeRefused = false; // set by the read-only guard while a batch runs

    QString m_dbConnection;
    std::unique_ptr<tsql::Session> m_session;
    quint64 m_transactionId = 0;
    std::map<qint32, PreparedStatement> m_prepared;
    qint32 m_nextHandle = 1;
};

} // namespace tds
