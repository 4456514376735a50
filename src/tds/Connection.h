#pragma once

#include "tds/Requests.h"
#include "tds/Server.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace tsql {
class Session;
}

namespace tds {

class TokenWriter;

// A statement of sp_prepare: its parameter declarations and its text.
struct PreparedStatement {
    QString declarations;
    QString text;
};

// One client's connection: a reader thread turns packets into messages (an attention cancels
// the running batch at once), and the connection's own thread answers them in order.
class ClientConnection {
public:
    ClientConnection(int socket, int spid, const ServerConfig& config,
                     std::function<void(const QString&)> log);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Serves the connection until the client leaves, breaks the protocol or the server stops.
    void serve();
    // Ends the connection from another thread (the server stopping).
    void stop();
    bool finished() const { return m_finished.load(); }

private:
    struct Incoming {
        quint8 type = 0;
        QByteArray payload;
        bool closed = false;
    };

    void readLoop();
    bool readExactly(char* buffer, qsizetype length);
    void push(Incoming message);
    Incoming next();
    bool attentionPending();

    bool send(quint8 type, const QByteArray& payload);
    bool handshake();
    bool answerPreLogin(const QByteArray& payload);
    bool login(const QByteArray& payload);
    bool refuseLogin(int number, const QString& text);
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
    std::function<void(const QString&)> m_log;
    QString m_peer;
    int m_packetSize = DefaultPacketSize;
    quint32 m_tdsVersion = Tds74;
    quint8 m_packetId = 0;

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Incoming> m_queue;
    qsizetype m_queuedBytes = 0;
    std::atomic<bool> m_finished{false};
    std::atomic<tsql::Session*> m_running{nullptr};

    QString m_dbConnection;
    std::unique_ptr<tsql::Session> m_session;
    quint64 m_transactionId = 0;
    std::map<qint32, PreparedStatement> m_prepared;
    qint32 m_nextHandle = 1;
};

} // namespace tds
