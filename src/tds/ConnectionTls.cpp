// The connection's side of PRELOGIN and of TLS: the answer to the client's ENCRYPTION option,
// the handshake carried in PRELOGIN packets, and the encrypted stream after it.

#include "tds/Connection.h"
#include "tds/Tls.h"

#include <sys/socket.h>

#include <cstring>

namespace tds {

bool ClientConnection::negotiate(const QByteArray& payload) {
    const auto request = parsePreLogin(payload);
    if (!request) {
        m_shared.log.burst(QStringLiteral("%1: malformed PRELOGIN").arg(m_address),
                           QStringLiteral("%1: malformed PRELOGIN; connection closed").arg(m_peer));
        return false;
    }
    const EncryptionChoice choice =
        chooseEncryption(request->encryption, m_config.tls != nullptr, m_config.requireEncryption);
    if (!send(quint8(PacketType::TabularResult), preLoginAnswer(choice.answer)))
        return false;
    // The login that follows is refused with the reason (the client reads it, where a closed
    // connection would tell it nothing).
    m_refusal = choice.refusal;
    if (choice.refusal == EncryptionRefusal::Required) {
        // Some clients that said they cannot encrypt start TLS all the same when the server
        // requires it: a handshake is welcome, a plain login is refused.
        auto next = readMessage();
        if (!next)
            return false;
        if (next->type == quint8(PacketType::PreLogin)) {
            m_refusal = EncryptionRefusal::None;
            return tlsHandshake(TlsMode::Full, std::move(next));
        }
        m_loginArrived = m_loginArrived || next->type == quint8(PacketType::Login7);
        push(std::move(*next));
        return true;
    }
    return choice.mode == TlsMode::None || tlsHandshake(choice.mode, std::nullopt);
}

// The client's handshake records come in PRELOGIN packets and the server's answers go back in
// PRELOGIN packets, until the handshake is complete.
bool ClientConnection::tlsHandshake(TlsMode mode, std::optional<Incoming> first) {
    m_tls = std::make_unique<TlsChannel>(*m_config.tls);
    // A client's side of a handshake is a few kilobytes: more is no handshake.
    constexpr qsizetype MaxHandshakeBytes = qsizetype(64) * 1024;
    qsizetype received = 0;
    for (;;) {
        auto message = first ? std::exchange(first, std::nullopt) : readMessage();
        if (!message)
            return false;
        if (mode == TlsMode::LoginOnly && received == 0 && message->type == quint8(PacketType::Login7)) {
            // A client that said ENCRYPT_OFF and logs in without TLS: served as one that cannot
            // encrypt (the server does not require encryption).
            m_loginArrived = true;
            push(std::move(*message));
            return true;
        }
        if (message->type != quint8(PacketType::PreLogin)) {
            m_shared.log.burst(QStringLiteral("%1: no TLS handshake").arg(m_address),
                               QStringLiteral("%1: the client agreed to encrypt but sent message type %2 "
                                              "instead of the TLS handshake; connection closed")
                                   .arg(m_peer)
                                   .arg(message->type));
            return false;
        }
        received += message->payload.size();
        if (received > MaxHandshakeBytes) {
            m_shared.log.burst(QStringLiteral("%1: TLS handshake too long").arg(m_address),
                               QStringLiteral("%1: more than %2 bytes of TLS handshake; connection closed")
                                   .arg(m_peer)
                                   .arg(MaxHandshakeBytes));
            return false;
        }
        QByteArray out;
        TlsChannel::Step step;
        {
            const std::lock_guard lock(m_tlsMutex);
            step = m_tls->handshake(message->payload, out);
        }
        if (!out.isEmpty() && !send(quint8(PacketType::PreLogin), out))
            return false;
        if (step == TlsChannel::Step::Failed) {
            m_shared.log.burst(QStringLiteral("%1: TLS handshake failed").arg(m_address),
                               QStringLiteral("%1: TLS handshake failed: %2; connection closed")
                                   .arg(m_peer, m_tls->error()));
            return false;
        }
        if (step == TlsChannel::Step::Done)
            break;
    }
    m_readTls = true;
    m_loginOnlyTls = mode == TlsMode::LoginOnly;
    m_writeTls = mode == TlsMode::Full;
    return true;
}

bool ClientConnection::readDecrypted(char* buffer, qsizetype length) {
    while (m_plain.size() - m_plainAt < length) {
        if (!waitReadable())
            return false;
        char raw[16384];
        const ssize_t n = ::recv(m_socket, raw, sizeof raw, 0);
        if (n <= 0)
            return false;
        bool ok = false;
        {
            const std::lock_guard lock(m_tlsMutex);
            ok = m_tls->decrypt(QByteArrayView(raw, n), m_plain);
        }
        if (!ok) {
            m_shared.log.burst(QStringLiteral("%1: TLS error").arg(m_address),
                               QStringLiteral("%1: %2; connection closed").arg(m_peer, m_tls->error()));
            return false;
        }
    }
    std::memcpy(buffer, m_plain.constData() + m_plainAt, size_t(length));
    m_plainAt += length;
    // What was read goes once it is all read, or once it is the larger part.
    if (m_plainAt == m_plain.size()) {
        m_plain.clear();
        m_plainAt = 0;
    } else if (m_plainAt > 65536 && m_plainAt > m_plain.size() / 2) {
        m_plain.remove(0, m_plainAt);
        m_plainAt = 0;
    }
    return true;
}

bool ClientConnection::sendAll(QByteArrayView bytes) {
    QByteArray records;
    if (m_writeTls) {
        // Only this thread writes once the session is encrypted, and a read never writes (no
        // renegotiation): the records go out in the order they were made without the lock.
        const std::lock_guard lock(m_tlsMutex);
        if (!m_tls->encrypt(bytes, records))
            return false;
        bytes = records;
    }
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t k = ::send(m_socket, bytes.data() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (k <= 0)
            return false;
        sent += k;
    }
    return true;
}

} // namespace tds
