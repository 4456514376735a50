#pragma once

// TLS for the TDS server through OpenSSL: the server's certificate and key (from PEM files, or a
// self-signed pair made at start), and one connection's TLS state over memory buffers. TDS
// carries the handshake inside PRELOGIN packets and the records after it on the bare stream, so
// the connection moves the bytes itself and OpenSSL only turns them into plain text and back.
// The protocol is TLS 1.2, as SQL Server 2019 speaks it in TDS 7.x; no renegotiation and no
// session tickets, so that reading never has anything to write.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

struct ssl_ctx_st;
struct ssl_st;
struct bio_st;

namespace tds {

// The certificate the server presents and its key: shared by every connection, read-only once
// made.
class TlsCredentials {
public:
    ~TlsCredentials();
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;

    // The certificate (its chain may follow in the same file) and the private key, in PEM;
    // nullptr with the reason in `error` (a file missing, not PEM, a key of another certificate).
    static std::shared_ptr<const TlsCredentials> fromFiles(const QString& certFile, const QString& keyFile,
                                                           QString& error);
    // A certificate for `commonName` (and localhost, 127.0.0.1, ::1) signed by its own new
    // P-256 key, valid from an hour ago for a year.
    static std::shared_ptr<const TlsCredentials> selfSigned(const QString& commonName, QString& error);

    // The SHA-256 of the certificate in DER, as upper-case hex pairs joined by ':'.
    QString fingerprint() const { return m_fingerprint; }
    bool isSelfSigned() const { return m_selfSigned; }
    ssl_ctx_st* context() const { return m_context; }

private:
    TlsCredentials() = default;
    // The context for the certificate and key already loaded into it; false on a failure.
    bool finish(QString& error);

    ssl_ctx_st* m_context = nullptr;
    QString m_fingerprint;
    bool m_selfSigned = false;
};

// One connection's TLS, server side. Not thread-safe: the connection guards it with a mutex.
class TlsChannel {
public:
    explicit TlsChannel(const TlsCredentials& credentials);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    enum class Step { More, Done, Failed };
    // Takes the client's handshake bytes and appends the server's answer to `out`; Done once the
    // handshake is complete, Failed with the reason in error().
    Step handshake(QByteArrayView fromClient, QByteArray& out);
    // Takes bytes of the client's records and appends whatever plain text they complete to
    // `plain`; false when the records are not valid (or the client closed TLS).
    bool decrypt(QByteArrayView fromClient, QByteArray& plain);
    // The records of `plain`, appended to `out`; false on a failure.
    bool encrypt(QByteArrayView plain, QByteArray& out);
    QString error() const { return m_error; }
    // The protocol and cipher agreed, e.g. "TLSv1.2 ECDHE-ECDSA-AES256-GCM-SHA384".
    QString description() const;

private:
    bool drainOutput(QByteArray& out);

    ssl_st* m_ssl = nullptr;
    bio_st* m_in = nullptr;  // the client's bytes, read by OpenSSL
    bio_st* m_out = nullptr; // OpenSSL's bytes for the client
    QString m_error;
};

} // namespace tds
