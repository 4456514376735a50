#include "tds/Connection.h"

#include "tds/RpcBatch.h"
#include "tds/Tls.h"
#include "tds/Tokens.h"
#include "tsql/DatabaseFile.h"
#include "tsql/Session.h"
#include "tsql/values/SqliteStatement.h"

#include <QSqlDatabase>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace tds {

namespace {

constexpr quint16 CommandSelect = 0xC1;
constexpr quint16 CommandInsert = 0xC3;
const QString ServerName = QStringLiteral("formule");

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Pragmas that only read, whatever their argument (the engine's catalogue reads table_info).
bool pragmaReads(const char* name) {
    for (const char* reads : {"table_info", "table_xinfo", "index_list", "index_info", "index_xinfo",
                              "foreign_key_list", "database_list", "collation_list", "function_list"}) {
        if (std::strcmp(name, reads) == 0)
            return true;
    }
    return false;
}

// The read-only guard, SQLite's authorizer: any change to the database's own tables, indexes,
// views or triggers is refused when the statement is prepared (and noted in `refused`); the
// temporary ones stay writable, as tempdb is on a read-only SQL Server database.
extern "C" int refuseWrites(void* refused, int action, const char* arg1, const char* arg2,
                            const char* database, const char*) {
    switch (action) {
    case SQLITE_UPDATE:
        // SQLite asks about its schema table when it reads a table's columns; the schema table
        // itself cannot be written without a pragma refused below.
        if (arg1 && std::strcmp(arg1, "sqlite_master") == 0)
            return SQLITE_OK;
        [[fallthrough]];
    case SQLITE_INSERT:
    case SQLITE_DELETE:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_ALTER_TABLE:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
    case SQLITE_CREATE_VTABLE:
    case SQLITE_DROP_VTABLE:
        if (database && std::strcmp(database, "temp") == 0)
            return SQLITE_OK;
        break;
    case SQLITE_PRAGMA:
        // A pragma that reads: without a value, or one that reads whatever its argument.
        if (!arg2 || (arg1 && pragmaReads(arg1)))
            return SQLITE_OK;
        break;
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
        break;
    default:
        return SQLITE_OK;
    }
    *static_cast<bool*>(refused) = true;
    return SQLITE_DENY;
}

} // namespace

QString peerOf(int socket, QString* hostOut) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return QStringLiteral("unknown client");
    char host[INET6_ADDRSTRLEN] = {};
    quint16 port = 0;
    if (addr.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
        port = ntohs(a->sin_port);
    } else {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
        port = ntohs(a->sin6_port);
    }
    if (hostOut)
        *hostOut = QString::fromLatin1(host);
    return QStringLiteral("%1:%2").arg(QString::fromLatin1(host)).arg(port);
}

namespace {

QString nextConnectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("formule-tds-%1").arg(++counter);
}

// Compares every character whatever the first difference, so that the time of a refusal does not
// tell how much of a guess was right.
bool samePassword(const QString& given, const QString& expected) {
    if (expected.isEmpty())
        return false;
    char16_t diff = given.size() == expected.size() ? 0 : 1;
    for (qsizetype i = 0; i < given.size(); ++i)
        diff |= char16_t(given.at(i).unicode() ^ expected.at(i % expected.size()).unicode());
    return diff == 0;
}

Message messageOf(const tsql::ServerError& e, int lineOffset) {
    Message m;
    m.number = e.number;
    m.state = e.state;
    m.level = e.level;
    m.line = qMax(1, e.line - lineOffset);
    m.text = e.message;
    return m;
}

} // namespace

ClientConnection::ClientConnection(int socket, int spid, const ServerConfig& config, ServerShared& shared)
    : m_socket(socket)
    , m_spid(spid)
    , m_config(config)
    , m_shared(shared)
    , m_peer(peerOf(socket, &m_address))
    , m_acceptedAt(nowMs()) {
    // A client that takes no byte of an answer for this long is gone.
    timeval t{};
    t.tv_sec = time_t(m_config.sendTimeoutMs / 1000);
    t.tv_usec = suseconds_t((m_config.sendTimeoutMs % 1000) * 1000);
    setsockopt(m_socket, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
}

ClientConnection::~ClientConnection() {
    ::close(m_socket);
}

// The engine session and the SQLite connection belong to the connection's thread: they go there.
void ClientConnection::closeSession() {
    m_session.reset();
    if (m_dbConnection.isEmpty())
        return;
    tsql::closeDatabase(m_dbConnection);
    m_dbConnection.clear();
}

void ClientConnection::stop() {
    ::shutdown(m_socket, SHUT_RDWR);
}

void ClientConnection::serve() {
    std::thread reader([this] { readLoop(); });
    if (handshake()) {
        for (;;) {
            const Incoming message = next();
            if (message.closed)
                break;
            m_busy = true;
            const bool ok = answer(message);
            m_lastActivity = nowMs();
            m_busy = false;
            if (!ok)
                break;
        }
    }
    {
        // The reader may wait for room in the queue that no one empties any more.
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_ready.notify_all();
    stop();
    reader.join();
    closeSession();
    // What the connection held goes now, not when the server reaps it.
    m_queue.clear();
    m_prepared.clear();
    m_unsent = QByteArray();
    m_finished = true;
}

bool ClientConnection::waitReadable() {
    for (;;) {
        const qint64 now = nowMs();
        qint64 deadline = 0;
        if (!m_loggedIn && !m_loginArrived)
            deadline = m_acceptedAt + m_config.handshakeTimeoutMs;
        else if (m_busy || !m_loggedIn) // answering, or opening the session of the login
            deadline = now + 1000;      // a request runs: its own time limit holds
        else
            deadline = m_lastActivity + m_config.idleTimeoutMs;
        if (now >= deadline) {
            if (!m_loggedIn)
                m_shared.log.burst(QStringLiteral("%1: handshake not completed in time").arg(m_address),
                                   QStringLiteral("%1: no login within %2 ms; connection closed")
                                       .arg(m_peer)
                                       .arg(m_config.handshakeTimeoutMs));
            else
                m_shared.log.write(QStringLiteral("%1: no request for %2 s; connection closed")
                                       .arg(m_peer)
                                       .arg(m_config.idleTimeoutMs / 1000));
            return false;
        }
        pollfd p{m_socket, POLLIN, 0};
        const int n = ::poll(&p, 1, int(qMin<qint64>(deadline - now, 1000)));
        if (n > 0)
            return true; // data, or the end of the connection that recv reports
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool ClientConnection::readExactly(char* buffer, qsizetype length) {
    if (m_readTls)
        return readDecrypted(buffer, length);
    qsizetype done = 0;
    while (done < length) {
        if (!waitReadable())
            return false;
        const ssize_t n = ::recv(m_socket, buffer + done, size_t(length - done), 0);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

std::optional<ClientConnection::Incoming> ClientConnection::readMessage() {
    Incoming current;
    for (;;) {
        char header[HeaderSize];
        if (!readExactly(header, HeaderSize))
            return std::nullopt;
        const auto h = parseHeader(QByteArrayView(header, HeaderSize));
        if (!h)
            return std::nullopt;
        // Before the login only what PRELOGIN and LOGIN7 need; the bound is checked before the
        // packet's body is read.
        const bool loggedIn = m_loggedIn;
        const qsizetype limit = loggedIn ? m_config.maxMessageBytes : m_config.maxHandshakeBytes;
        if (current.payload.size() + h->length - HeaderSize > limit) {
            if (loggedIn)
                m_shared.log.write(QStringLiteral("%1: a message of more than %2 bytes; connection closed")
                                       .arg(m_peer)
                                       .arg(limit));
            else
                m_shared.log.burst(
                    QStringLiteral("%1: too much data before the login").arg(m_address),
                    QStringLiteral("%1: more than %2 bytes before the login; connection closed")
                        .arg(m_peer)
                        .arg(limit));
            return std::nullopt;
        }
        QByteArray body(h->length - HeaderSize, Qt::Uninitialized);
        if (!readExactly(body.data(), body.size()))
            return std::nullopt;
        if (h->type == quint8(PacketType::Attention)) {
            // Cancels the running batch now; answered in order with the other messages.
            m_attention = true;
            if (tsql::Session* s = m_running.load())
                s->cancel();
            push(Incoming{h->type, {}, false});
            continue;
        }
        if (!current.payload.isEmpty() && current.type != h->type)
            return std::nullopt;
        current.type = h->type;
        current.payload.append(body);
        if (h->status & StatusEndOfMessage)
            return current;
    }
}

// Packets become messages; a malformed packet or a message beyond the bound ends the connection.
// The first message may be PRELOGIN: the reader answers it (and runs the TLS handshake) itself,
// so that it knows how to read the bytes that follow.
void ClientConnection::readLoop() {
    bool first = true;
    while (auto message = readMessage()) {
        if (std::exchange(first, false) && message->type == quint8(PacketType::PreLogin)) {
            if (!negotiate(message->payload))
                break;
            continue;
        }
        if (message->type == quint8(PacketType::Login7)) {
            m_loginArrived = true;
            if (std::exchange(m_loginOnlyTls, false)) {
                // Only LOGIN7 went encrypted: the stream is plain again from here on.
                m_readTls = false;
                m_plain.clear();
                m_plainAt = 0;
            }
        }
        push(std::move(*message));
    }
    // The client left (or broke the protocol): the running batch stops.
    if (tsql::Session* s = m_running.load())
        s->cancel();
    push(Incoming{0, {}, true});
}

void ClientConnection::push(Incoming message) {
    std::unique_lock lock(m_mutex);
    // Messages wait in order; a client that sends far ahead of the answers is held back here.
    const qsizetype limit = m_loggedIn ? m_config.maxMessageBytes : m_config.maxHandshakeBytes;
    m_ready.wait(lock, [&] {
        return m_queuedBytes + message.payload.size() <= limit || m_queue.empty() || message.closed ||
               m_stopping;
    });
    m_queuedBytes += message.payload.size();
    m_queue.push_back(std::move(message));
    m_ready.notify_all();
}

ClientConnection::Incoming ClientConnection::next() {
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [&] { return !m_queue.empty(); });
    Incoming message = std::move(m_queue.front());
    m_queue.pop_front();
    m_queuedBytes -= message.payload.size();
    m_ready.notify_all();
    return message;
}

bool ClientConnection::attentionPending() {
    std::unique_lock lock(m_mutex);
    if (m_queue.empty() || m_queue.front().type != quint8(PacketType::Attention))
        return false;
    m_queue.pop_front();
    return true;
}

bool ClientConnection::sendPacket(quint8 type, QByteArrayView data, bool endOfMessage) {
    Writer w;
    w.u8(type);
    w.u8(endOfMessage ? StatusEndOfMessage : 0);
    w.u16be(quint16(data.size() + HeaderSize));
    w.u16be(quint16(m_spid));
    w.u8(++m_packetId);
    w.u8(0);
    w.bytes(data);
    return sendAll(w.data());
}

bool ClientConnection::send(quint8 type, QByteArrayView payload) {
    const qsizetype room = m_packetSize - HeaderSize;
    qsizetype at = 0;
    do {
        const qsizetype n = qMin(room, payload.size() - at);
        if (!sendPacket(type, payload.sliced(at, n), at + n >= payload.size()))
            return false;
        at += n;
    } while (at < payload.size());
    return true;
}

bool ClientConnection::flush(TokenWriter& tw, bool last) {
    m_unsent.append(tw.take());
    const qsizetype room = m_packetSize - HeaderSize;
    const QByteArrayView unsent(m_unsent);
    qsizetype at = 0;
    bool ok = true;
    while (ok && unsent.size() - at > room) {
        ok = sendPacket(quint8(PacketType::TabularResult), unsent.sliced(at, room), false);
        at += room;
    }
    if (ok && last)
        ok = sendPacket(quint8(PacketType::TabularResult), unsent.sliced(at), true);
    if (last || !ok)
        m_unsent = QByteArray();
    else
        m_unsent.remove(0, at);
    return ok;
}

// The reader has answered PRELOGIN (and run the TLS handshake): the first message here is the
// login.
bool ClientConnection::handshake() {
    const Incoming message = next();
    if (message.closed)
        return false;
    if (message.type != quint8(PacketType::Login7)) {
        m_shared.log.burst(
            QStringLiteral("%1: no login").arg(m_address),
            QStringLiteral("%1: the client did not log in (message type %2); connection closed")
                .arg(m_peer)
                .arg(message.type));
        return false;
    }
    return login(message.payload);
}

bool ClientConnection::refuseLogin(int number, const QString& text, const QString& logText) {
    TokenWriter tw(ServerName);
    Message m;
    m.number = number;
    m.level = 14;
    m.text = text;
    tw.message(m);
    tw.done(DoneKind::Done, DoneError, 0, 0);
    send(quint8(PacketType::TabularResult), tw.take());
    m_shared.log.write(QStringLiteral("%1: %2").arg(m_peer, logText));
    return false;
}

// A wrong name or password: the refusal comes later with each failure of the address, the log
// gets the first failure of a burst and the count when it is over, and the address is refused
// for a while once it has failed too often.
bool ClientConnection::failLogin(const QString& userName) {
    const LoginThrottle::Verdict v = m_shared.throttle.failed(m_address);
    std::this_thread::sleep_for(v.delay);
    TokenWriter tw(ServerName);
    tw.message({18456, 1, 14, 1, QStringLiteral("Login failed for user '%1'.").arg(userName), {}});
    tw.done(DoneKind::Done, DoneError, 0, 0);
    send(quint8(PacketType::TabularResult), tw.take());
    m_shared.log.burst(QStringLiteral("%1: failed logins").arg(m_address),
                       QStringLiteral("%1: Login failed for user '%2'.").arg(m_peer, clientText(userName)));
    if (v.blockStarts)
        m_shared.log.write(
            QStringLiteral("%1: %2 failed logins; connections from this address refused for %3 s")
                .arg(m_address)
                .arg(v.failures)
                .arg(m_shared.throttle.limits().blockFor.count() / 1000));
    return false;
}

bool ClientConnection::login(const QByteArray& payload) {
    const auto request = parseLogin7(payload);
    if (!request) {
        m_shared.log.burst(QStringLiteral("%1: malformed LOGIN7").arg(m_address),
                           QStringLiteral("%1: malformed LOGIN7; connection closed").arg(m_peer));
        return false;
    }
    switch (m_refusal) {
    case EncryptionRefusal::NoCertificate:
        return refuseLogin(18456, m_config.encryptionTexts.noCertificate,
                           QStringLiteral("the client asked for encryption; no certificate; login refused"));
    case EncryptionRefusal::Required:
        return refuseLogin(18456, m_config.encryptionTexts.required,
                           QStringLiteral("the client does not encrypt; encryption required; login refused"));
    case EncryptionRefusal::None:
        break;
    }
    if (request->tdsVersion < Tds72 && (request->tdsVersion >> 24) < 0x72)
        return refuseLogin(18456, QStringLiteral("Login failed: TDS 7.2 or later is needed."),
                           QStringLiteral("Login failed: TDS 7.2 or later is needed."));
    m_tdsVersion = (request->tdsVersion >> 24) >= 0x74 ? Tds74 : request->tdsVersion;
    // SQL logins: the name compared as the server's case-insensitive collation does, the
    // password exactly.
    const bool nameMatches = request->userName.compare(m_config.user, Qt::CaseInsensitive) == 0;
    if (!samePassword(request->password, m_config.password) || !nameMatches)
        return failLogin(request->userName);
    const auto cannotOpen = [this](const QString& database) {
        const QString text =
            QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.");
        return refuseLogin(4060, text.arg(database), text.arg(clientText(database)));
    };
    if (!request->database.isEmpty() &&
        request->database.compare(m_config.databaseName, Qt::CaseInsensitive) != 0 &&
        request->database.compare(QLatin1String("master"), Qt::CaseInsensitive) != 0)
        return cannotOpen(request->database);
    if (!openSession())
        return cannotOpen(m_config.databaseName);
    m_session->setLogin(m_config.user, ServerName);
    // From here on the client's messages may be as large as a session's.
    m_loggedIn = true;
    m_lastActivity = nowMs();
    if (request->packetSize >= quint32(MinPacketSize) && request->packetSize <= quint32(MaxPacketSize))
        m_packetSize = int(request->packetSize);
    TokenWriter tw(ServerName);
    tw.envChange(EnvChange::Database, m_config.databaseName, QStringLiteral("master"));
    tw.message(
        {5701, 2, 0, 1, QStringLiteral("Changed database context to '%1'.").arg(m_config.databaseName), {}});
    tw.envChangeBytes(EnvChange::Collation, QByteArrayView(Collation, 5), {});
    tw.envChange(EnvChange::Language, QStringLiteral("us_english"), {});
    tw.message({5703, 1, 0, 1, QStringLiteral("Changed language setting to us_english."), {}});
    tw.loginAck(m_tdsVersion, QStringLiteral("Microsoft SQL Server"));
    tw.envChange(EnvChange::PacketSize, QString::number(m_packetSize), QString::number(m_packetSize));
    if (request->featureExtension)
        tw.featureExtAck();
    tw.done(DoneKind::Done, DoneFinal, 0, 0);
    return send(quint8(PacketType::TabularResult), tw.take());
}

bool ClientConnection::openSession() {
    const QString name = nextConnectionName();
    if (tsql::openDatabaseFile(name, m_config.databasePath))
        return false;
    m_dbConnection = name;
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (m_config.readOnly) {
        sqlite3* handle = tsql::sqliteHandle(db);
        if (!handle || sqlite3_set_authorizer(handle, refuseWrites, &m_writeRefused) != SQLITE_OK) {
            closeSession();
            return false;
        }
    }
    m_session = std::make_unique<tsql::Session>(db);
    tsql::Limits limits;
    limits.timeoutMs = m_config.batchTimeoutMs;
    m_session->setLimits(limits);
    return true;
}

bool ClientConnection::answer(const Incoming& message) {
    TokenWriter tw(ServerName);
    // Rows go out while they are written; an attention stops them.
    tw.setFlush([this, &tw] { return !m_attention && flush(tw, false); });
    switch (PacketType(message.type)) {
    case PacketType::Attention:
        break; // answered below
    case PacketType::SqlBatch: {
        const auto text = parseSqlBatch(message.payload);
        if (!text) {
            m_shared.log.write(QStringLiteral("%1: malformed SQL batch; connection closed").arg(m_peer));
            return false;
        }
        runBatch(tw, *text, false, 0);
        break;
    }
    case PacketType::Rpc: {
        const auto calls = parseRpc(message.payload);
        if (!calls) {
            m_shared.log.write(QStringLiteral("%1: malformed RPC request; connection closed").arg(m_peer));
            return false;
        }
        runRpc(tw, *calls);
        break;
    }
    case PacketType::TransactionManager: {
        const auto request = parseTransactionRequest(message.payload);
        if (!request) {
            m_shared.log.write(
                QStringLiteral("%1: malformed transaction request; connection closed").arg(m_peer));
            return false;
        }
        runTransactionRequest(tw, *request);
        break;
    }
    default:
        m_shared.log.write(QStringLiteral("%1: unexpected message type %2; connection closed")
                               .arg(m_peer)
                               .arg(message.type));
        return false;
    }
    // An attention that came while the request ran: its results are dropped and the
    // acknowledgement is the whole answer.
    if (message.type == quint8(PacketType::Attention) || attentionPending()) {
        m_attention = false;
        tw.take();
        // The request's response ends first (what was sent of it, then a DONE), and the
        // acknowledgement follows as a message of its own: a client may take the first message
        // that comes after its attention for the end of the response it was reading and wait
        // for the acknowledgement in the next one.
        if (message.type != quint8(PacketType::Attention)) {
            TokenWriter end(ServerName);
            end.done(DoneKind::Done, DoneFinal, 0, 0);
            if (!flush(end, true))
                return false;
        }
        TokenWriter ack(ServerName);
        ack.done(DoneKind::Done, DoneAttention, 0, 0);
        return flush(ack, true);
    }
    return flush(tw, true);
}

// The tokens of one batch: messages, result sets, the rows a change touched, the error that
// stopped it. `inProc`: inside a procedure call (DONEINPROC, and no final DONE of its own).
void ClientConnection::runBatch(TokenWriter& tw, const QString& text, bool inProc, int lineOffset) {
    const int before = m_session->transactionCount();
    // The reader sets m_attention, then cancels the session it finds in m_running: whichever
    // order the two threads meet in, an attention that comes now stops this batch.
    m_session->clearCancel();
    m_running = m_session.get();
    if (m_attention)
        m_session->cancel();
    m_writeRefused = false;
    tsql::RunResult r = m_session->run(text, true);
    m_running = nullptr;
    if (m_writeRefused && r.error) {
        // The read-only guard refused a change: SQL Server's answer on a read-only database.
        r.error->number = 3906;
        r.error->level = 16;
        r.error->state = 1;
        r.error->message =
            QStringLiteral("Failed to update database \"%1\" because the database is read-only.")
                .arg(m_config.databaseName);
    }
    const DoneKind kind = inProc ? DoneKind::DoneInProc : DoneKind::Done;
    for (const tsql::InfoMessage& m : r.messages)
        tw.message({m.number, m.state, m.level, qMax(1, m.line - lineOffset), m.text, {}});
    for (const tsql::ResultSet& rs : r.resultSets) {
        tw.resultSet(rs);
        tw.done(kind, DoneMore | DoneCount, CommandSelect, quint64(rs.rows.size()));
    }
    if (r.recordsAffected >= 0)
        tw.done(kind, DoneMore | DoneCount, CommandInsert, quint64(r.recordsAffected));
    if (r.error)
        tw.message(messageOf(*r.error, lineOffset));
    noteTransaction(tw, before);
    if (!inProc)
        tw.done(DoneKind::Done, r.error ? DoneError : DoneFinal, 0, 0);
    else if (r.error)
        tw.done(DoneKind::DoneInProc, DoneMore | DoneError, 0, 0);
}

// Tells the client that the request opened or ended a transaction (its descriptor goes into
// the client's later requests).
void ClientConnection::noteTransaction(TokenWriter& tw, int before) {
    const int after = m_session->transactionCount();
    Writer id;
    if (before == 0 && after > 0) {
        id.u64(++m_transactionId);
        tw.envChangeBytes(EnvChange::BeginTransaction, id.data(), {});
    } else if (before > 0 && after == 0) {
        id.u64(m_transactionId);
        tw.envChangeBytes(EnvChange::CommitTransaction, {}, id.data());
    }
}

void ClientConnection::runTransactionRequest(TokenWriter& tw, const TransactionRequest& request) {
    const int before = m_session->transactionCount();
    try {
        switch (request.kind) {
        case TransactionRequest::Kind::Begin:
            m_session->beginTransaction();
            break;
        case TransactionRequest::Kind::Commit:
            m_session->commitTransaction();
            break;
        case TransactionRequest::Kind::Rollback:
            m_session->rollbackTransaction();
            break;
        case TransactionRequest::Kind::Other:
            break;
        }
        if (request.beginAfter && m_session->transactionCount() == 0)
            m_session->beginTransaction();
    } catch (const tsql::SqlError& e) {
        tw.message(messageOf(e.error, 0));
        noteTransaction(tw, before);
        tw.done(DoneKind::Done, DoneError, 0, 0);
        return;
    }
    noteTransaction(tw, before);
    tw.done(DoneKind::Done, DoneFinal, 0, 0);
}

void ClientConnection::runRpc(TokenWriter& tw, const QList<RpcCall>& calls) {
    for (qsizetype i = 0; i < calls.size(); ++i)
        runCall(tw, calls.at(i), i + 1 == calls.size());
}

void ClientConnection::runCall(TokenWriter& tw, const RpcCall& call, bool last) {
    const quint16 more = last ? 0 : DoneMore;
    const Procedure proc = procedureOf(call);
    const QList<RpcParameter>& params = call.parameters;
    auto fail = [&](int number, const QString& text) {
        tw.message({number, 1, 16, 1, text, call.procName});
        tw.done(DoneKind::DoneProc, quint16(more | DoneError), 0, 0);
    };
    auto textAt = [&](qsizetype i) { return i < params.size() ? params.at(i).text : std::nullopt; };
    QString declarations, statement;
    qsizetype firstValue = 0;
    std::optional<qint32> newHandle;
    switch (proc) {
    case Procedure::Unknown:
        return fail(2812, QStringLiteral("Could not find stored procedure '%1'.")
                              .arg(call.procName.isEmpty() ? QString::number(call.procId) : call.procName));
    case Procedure::Catalog: {
        QString error;
        const auto batch = catalogProcedureBatch(call, error);
        if (!batch)
            return fail(8145, error);
        statement = *batch;
        firstValue = params.size(); // the values are in the statement
        break;
    }
    case Procedure::ExecuteSql:
        if (!textAt(0))
            return fail(214, QStringLiteral("Procedure expects parameter '@statement' of type "
                                            "'ntext/nchar/nvarchar'."));
        statement = *textAt(0);
        declarations = textAt(1).value_or(QString());
        firstValue = params.size() > 1 ? 2 : 1;
        break;
    case Procedure::Prepare:
    case Procedure::PrepExec: {
        if (!textAt(2))
            return fail(214, QStringLiteral("Procedure expects parameter '@stmt' of type "
                                            "'ntext/nchar/nvarchar'."));
        if (m_prepared.size() >= 4096)
            return fail(8179, QStringLiteral("Too many prepared statements on this connection."));
        newHandle = m_nextHandle++;
        const PreparedStatement& prepared = m_prepared[*newHandle] =
            PreparedStatement{textAt(1).value_or(QString()), *textAt(2)};
        if (proc == Procedure::Prepare) {
            tw.returnStatus(0);
            tw.returnInt(0, params.value(0).name, *newHandle);
            tw.done(DoneKind::DoneProc, more, 0, 0);
            return;
        }
        declarations = prepared.declarations;
        statement = prepared.text;
        firstValue = 3;
        break;
    }
    case Procedure::Execute:
    case Procedure::Unprepare: {
        const auto handle = params.isEmpty() ? std::nullopt : params.first().integer;
        const auto it = handle ? m_prepared.find(qint32(*handle)) : m_prepared.end();
        if (it == m_prepared.end())
            return fail(8179, QStringLiteral("Could not find prepared statement with handle %1.")
                                  .arg(handle ? QString::number(*handle) : QStringLiteral("NULL")));
        if (proc == Procedure::Unprepare) {
            m_prepared.erase(it);
            tw.returnStatus(0);
            tw.done(DoneKind::DoneProc, more, 0, 0);
            return;
        }
        declarations = it->second.declarations;
        statement = it->second.text;
        firstValue = 1;
        break;
    }
    }
    QString error;
    const auto bound = bindParameters(declarations, statement, params, firstValue, error);
    if (!bound)
        return fail(8145, error);
    runBatch(tw, bound->text, true, bound->prefixLines);
    tw.returnStatus(0);
    if (newHandle)
        tw.returnInt(0, params.value(0).name, *newHandle);
    tw.done(DoneKind::DoneProc, more, 0, 0);
}

} // namespace tds
