// The server's TLS without sockets: an OpenSSL client in memory talks to a TlsChannel, the
// handshake first, then records both ways; the certificate from files (good, mismatched,
// missing, not PEM) and the self-signed one; what a client of another protocol version or a
// stream of junk gets.

#include "tds/Tls.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <gtest/gtest.h>

namespace {

// A TLS client over memory buffers: what it writes is taken with out(), what the server wrote is
// given with in().
class MemoryClient {
public:
    explicit MemoryClient(int maxVersion = TLS1_3_VERSION, int minVersion = TLS1_VERSION)
        : m_ctx(SSL_CTX_new(TLS_client_method())) {
        SSL_CTX_set_min_proto_version(m_ctx, minVersion);
        SSL_CTX_set_max_proto_version(m_ctx, maxVersion);
        SSL_CTX_set_security_level(m_ctx, 0); // old protocol versions for the refusal cases
        m_ssl = SSL_new(m_ctx);
        BIO* in = BIO_new(BIO_s_mem());
        BIO* out = BIO_new(BIO_s_mem());
        BIO_set_mem_eof_return(in, -1);
        m_in = in;
        m_out = out;
        SSL_set_bio(m_ssl, in, out);
        SSL_set_connect_state(m_ssl);
    }
    ~MemoryClient() {
        SSL_free(m_ssl);
        SSL_CTX_free(m_ctx);
    }
    MemoryClient(const MemoryClient&) = delete;
    MemoryClient& operator=(const MemoryClient&) = delete;

    // One step of the handshake: 1 done, 0 more to come, -1 failed.
    int step() {
        const int rc = SSL_do_handshake(m_ssl);
        if (rc == 1)
            return 1;
        const int e = SSL_get_error(m_ssl, rc);
        ERR_clear_error();
        return e == SSL_ERROR_WANT_READ ? 0 : -1;
    }
    void in(const QByteArray& bytes) {
        if (!bytes.isEmpty())
            BIO_write(m_in, bytes.constData(), int(bytes.size()));
    }
    QByteArray out() {
        QByteArray bytes;
        char buffer[4096];
        int n = 0;
        while ((n = BIO_read(m_out, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        return bytes;
    }
    void write(const QByteArray& plain) { SSL_write(m_ssl, plain.constData(), int(plain.size())); }
    QByteArray read() {
        QByteArray plain;
        char buffer[4096];
        int n = 0;
        while ((n = SSL_read(m_ssl, buffer, sizeof buffer)) > 0)
            plain.append(buffer, n);
        return plain;
    }
    QString version() const { return QString::fromLatin1(SSL_get_version(m_ssl)); }
    // The SHA-256 of the certificate the server presented, as the server prints it.
    QString peerFingerprint() const {
        X509* cert = SSL_get1_peer_certificate(m_ssl);
        if (!cert)
            return {};
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        X509_digest(cert, EVP_sha256(), digest, &length);
        X509_free(cert);
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex(':').toUpper());
    }

private:
    SSL_CTX* m_ctx;
    SSL* m_ssl = nullptr;
    BIO* m_in = nullptr;
    BIO* m_out = nullptr;
};

// Runs the handshake to its end (at most 10 flights); the server's last step.
tds::TlsChannel::Step handshake(MemoryClient& client, tds::TlsChannel& server) {
    tds::TlsChannel::Step last = tds::TlsChannel::Step::More;
    for (int flights = 0; flights < 10; ++flights) {
        const int c = client.step();
        const QByteArray toServer = client.out();
        if (c < 0 && toServer.isEmpty())
            return tds::TlsChannel::Step::Failed;
        QByteArray toClient;
        last = server.handshake(toServer, toClient);
        client.in(toClient);
        if (last != tds::TlsChannel::Step::More) {
            client.step();
            return last;
        }
    }
    return last;
}

std::shared_ptr<const tds::TlsCredentials> selfSigned() {
    QString error;
    auto c = tds::TlsCredentials::selfSigned(QStringLiteral("test"), error);
    EXPECT_TRUE(c) << error.toStdString();
    return c;
}

TEST(TdsTls, HandshakeThenRecordsBothWays) {
    const auto credentials = selfSigned();
    ASSERT_TRUE(credentials);
    EXPECT_TRUE(credentials->isSelfSigned());
    EXPECT_EQ(credentials->fingerprint().size(), 32 * 3 - 1);
    MemoryClient client;
    tds::TlsChannel server(*credentials);
    ASSERT_EQ(handshake(client, server), tds::TlsChannel::Step::Done) << server.error().toStdString();
    // TLS 1.2 whatever the client offers above it, as SQL Server 2019 in TDS 7.x.
    EXPECT_EQ(client.version(), QStringLiteral("TLSv1.2"));
    EXPECT_TRUE(server.description().startsWith(QLatin1String("TLSv1.2 ")));
    EXPECT_EQ(client.peerFingerprint(), credentials->fingerprint());

    // A message larger than one record, given to the server a byte at a time at first.
    QByteArray login(40000, Qt::Uninitialized);
    for (qsizetype i = 0; i < login.size(); ++i)
        login[i] = char(i * 7);
    client.write(login);
    const QByteArray records = client.out();
    QByteArray plain;
    for (qsizetype i = 0; i < 100; ++i)
        ASSERT_TRUE(server.decrypt(records.mid(i, 1), plain));
    ASSERT_TRUE(server.decrypt(records.mid(100), plain)) << server.error().toStdString();
    EXPECT_EQ(plain, login);

    QByteArray answer;
    ASSERT_TRUE(server.encrypt(QByteArrayLiteral("answer"), answer));
    EXPECT_FALSE(answer.contains("answer"));
    client.in(answer);
    EXPECT_EQ(client.read(), QByteArrayLiteral("answer"));
}

TEST(TdsTls, RefusesWhatIsNotTls12) {
    const auto credentials = selfSigned();
    ASSERT_TRUE(credentials);
    {
        // A client that stops at TLS 1.1.
        MemoryClient client(TLS1_1_VERSION);
        tds::TlsChannel server(*credentials);
        EXPECT_EQ(handshake(client, server), tds::TlsChannel::Step::Failed);
        EXPECT_FALSE(server.error().isEmpty());
    }
    {
        // One that speaks TLS 1.3 only.
        MemoryClient client(TLS1_3_VERSION, TLS1_3_VERSION);
        tds::TlsChannel server(*credentials);
        EXPECT_EQ(handshake(client, server), tds::TlsChannel::Step::Failed);
    }
}

TEST(TdsTls, JunkIsRefused) {
    const auto credentials = selfSigned();
    ASSERT_TRUE(credentials);
    const QByteArray junk[] = {
        QByteArray(300, 'A'),
        QByteArray::fromHex("15030300020228"),       // the client's fatal alert
        QByteArray::fromHex("170303000501020304ff"), // application data before any handshake
    };
    for (const QByteArray& bytes : junk) {
        tds::TlsChannel server(*credentials);
        QByteArray out;
        EXPECT_EQ(server.handshake(bytes, out), tds::TlsChannel::Step::Failed) << bytes.toHex().toStdString();
    }
    // Records after a good handshake that are not valid records.
    MemoryClient client;
    tds::TlsChannel server(*credentials);
    ASSERT_EQ(handshake(client, server), tds::TlsChannel::Step::Done);
    QByteArray plain;
    EXPECT_FALSE(server.decrypt(QByteArray::fromHex("1703030010") + QByteArray(16, 'x'), plain));
    EXPECT_TRUE(plain.isEmpty());
}

// Certificate and key from PEM files, as `openssl req` writes them.
TEST(TdsTls, CertificateFiles) {
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        GTEST_SKIP() << "no openssl command";
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto make = [&](const char* cert, const char* key) {
        return QProcess::execute(openssl,
                                 {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                  QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                  QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                                  QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                  QStringLiteral("/CN=test"), QStringLiteral("-keyout"), path(key),
                                  QStringLiteral("-out"), path(cert)});
    };
    ASSERT_EQ(make("a.crt", "a.key"), 0);
    ASSERT_EQ(make("b.crt", "b.key"), 0);
    QFile notPem(path("junk.pem"));
    ASSERT_TRUE(notPem.open(QIODevice::WriteOnly));
    notPem.write("not a certificate\n");
    notPem.close();
    struct Case {
        const char* cert;
        const char* key;
        const char* error; // empty when the pair is good
    };
    const Case cases[] = {
        {"a.crt", "a.key", ""},
        {"a.crt", "b.key", "the key does not belong to the certificate"},
        {"missing.crt", "a.key", "cannot read"},
        {"junk.pem", "a.key", "holds no PEM certificate"},
        {"a.crt", "junk.pem", "holds no PEM private key"},
        {"a.crt", "a.crt", "holds no PEM private key"},
    };
    for (const Case& c : cases) {
        QString error;
        const auto credentials = tds::TlsCredentials::fromFiles(path(c.cert), path(c.key), error);
        if (*c.error == 0) {
            ASSERT_TRUE(credentials) << error.toStdString();
            EXPECT_FALSE(credentials->isSelfSigned());
            MemoryClient client;
            tds::TlsChannel server(*credentials);
            EXPECT_EQ(handshake(client, server), tds::TlsChannel::Step::Done);
            EXPECT_EQ(client.peerFingerprint(), credentials->fingerprint());
        } else {
            EXPECT_FALSE(credentials) << c.cert << " " << c.key;
            EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
        }
    }
}

} // namespace
