#include "tds/Tls.h"

#include <QFile>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tds {

namespace {

// The reason of OpenSSL's last failure (its error queue emptied), or `fallback`.
QString openSslError(const QString& fallback) {
    QString text;
    while (const unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        text = QString::fromLatin1(buffer); // the last is the most specific
    }
    return text.isEmpty() ? fallback : fallback + QStringLiteral(" (") + text + u')';
}

// A PEM file read whole (at most 1 MB: no certificate chain comes near it).
bool readPem(const QString& file, QByteArray& bytes, QString& error) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read \"%1\": %2").arg(file, f.errorString());
        return false;
    }
    bytes = f.read(1 << 20);
    if (!f.atEnd()) {
        error = QStringLiteral("\"%1\" is larger than 1 MB: no certificate or key").arg(file);
        return false;
    }
    return true;
}

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

BioPtr memoryBio(const QByteArray& bytes) {
    return BioPtr(BIO_new_mem_buf(bytes.constData(), int(bytes.size())));
}

bool addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

} // namespace

TlsCredentials::~TlsCredentials() {
    SSL_CTX_free(m_context);
}

bool TlsCredentials::finish(QString& error) {
    if (SSL_CTX_check_private_key(m_context) != 1) {
        error = openSslError(QStringLiteral("the key does not belong to the certificate"));
        return false;
    }
    // TLS 1.2 as SQL Server 2019 offers it inside TDS 7.x; nothing that makes a read write.
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_options(m_context,
                        SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_TICKET | SSL_OP_CIPHER_SERVER_PREFERENCE);
    SSL_CTX_set_session_cache_mode(m_context, SSL_SESS_CACHE_OFF);
    X509* cert = SSL_CTX_get0_certificate(m_context);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), digest, &length) != 1) {
        error = openSslError(QStringLiteral("cannot compute the certificate's fingerprint"));
        return false;
    }
    m_fingerprint = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), qsizetype(length)).toHex(':').toUpper());
    return true;
}

std::shared_ptr<const TlsCredentials> TlsCredentials::fromFiles(const QString& certFile,
                                                                const QString& keyFile, QString& error) {
    QByteArray certPem, keyPem;
    if (!readPem(certFile, certPem, error) || !readPem(keyFile, keyPem, error))
        return nullptr;
    std::shared_ptr<TlsCredentials> c(new TlsCredentials);
    c->m_context = SSL_CTX_new(TLS_server_method());
    if (!c->m_context) {
        error = openSslError(QStringLiteral("cannot start TLS"));
        return nullptr;
    }
    BioPtr certBio = memoryBio(certPem);
    X509Ptr cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
    if (!cert || SSL_CTX_use_certificate(c->m_context, cert.get()) != 1) {
        error = openSslError(QStringLiteral("\"%1\" holds no PEM certificate").arg(certFile));
        return nullptr;
    }
    // The rest of the file: the chain up to the authority, sent along with the certificate.
    while (X509* extra = PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr)) {
        if (SSL_CTX_add0_chain_cert(c->m_context, extra) != 1) {
            X509_free(extra);
            error =
                openSslError(QStringLiteral("\"%1\": a certificate of its chain is refused").arg(certFile));
            return nullptr;
        }
    }
    ERR_clear_error(); // the end of the file ends the loop with an error of its own
    BioPtr keyBio = memoryBio(keyPem);
    KeyPtr key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    if (!key) {
        error = openSslError(
            QStringLiteral("\"%1\" holds no PEM private key (without a passphrase)").arg(keyFile));
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey(c->m_context, key.get()) != 1) {
        error = openSslError(QStringLiteral("the key does not belong to the certificate"));
        return nullptr;
    }
    if (!c->finish(error))
        return nullptr;
    return c;
}

std::shared_ptr<const TlsCredentials> TlsCredentials::selfSigned(const QString& commonName, QString& error) {
    KeyPtr key(EVP_EC_gen("P-256"));
    X509Ptr cert(X509_new());
    if (!key || !cert) {
        error = openSslError(QStringLiteral("cannot make a key"));
        return nullptr;
    }
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) {
        error = openSslError(QStringLiteral("no random bytes for the certificate"));
        return nullptr;
    }
    serial[0] &= 0x7F; // a positive serial number
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    const QByteArray cn = commonName.toUtf8();
    X509_NAME* name = X509_get_subject_name(cert.get());
    const bool ok = serialSet && X509_set_version(cert.get(), 2) == 1 &&
                    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
                    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 24 * 3600) &&
                    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                               reinterpret_cast<const unsigned char*>(cn.constData()),
                                               int(cn.size()), -1, 0) == 1 &&
                    X509_set_issuer_name(cert.get(), name) == 1 &&
                    X509_set_pubkey(cert.get(), key.get()) == 1 &&
                    addExtension(cert.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1") &&
                    addExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
                    addExtension(cert.get(), NID_ext_key_usage, "serverAuth") &&
                    X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
    if (!ok) {
        error = openSslError(QStringLiteral("cannot make the self-signed certificate"));
        return nullptr;
    }
    std::shared_ptr<TlsCredentials> c(new TlsCredentials);
    c->m_selfSigned = true;
    c->m_context = SSL_CTX_new(TLS_server_method());
    if (!c->m_context || SSL_CTX_use_certificate(c->m_context, cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(c->m_context, key.get()) != 1) {
        error = openSslError(QStringLiteral("cannot start TLS"));
        return nullptr;
    }
    if (!c->finish(error))
        return nullptr;
    return c;
}

TlsChannel::TlsChannel(const TlsCredentials& credentials)
    : m_ssl(SSL_new(credentials.context()))
    , m_in(BIO_new(BIO_s_mem()))
    , m_out(BIO_new(BIO_s_mem())) {
    if (!m_ssl || !m_in || !m_out) {
        m_error = openSslError(QStringLiteral("cannot start TLS"));
        return;
    }
    // An empty input buffer asks for more instead of reporting the end of the stream.
    BIO_set_mem_eof_return(m_in, -1);
    SSL_set_bio(m_ssl, m_in, m_out); // the SSL object owns both from here
    SSL_set_accept_state(m_ssl);
}

TlsChannel::~TlsChannel() {
    if (m_ssl) {
        SSL_free(m_ssl);
    } else {
        BIO_free(m_in);
        BIO_free(m_out);
    }
}

bool TlsChannel::drainOutput(QByteArray& out) {
    char buffer[16384];
    for (;;) {
        const int n = BIO_read(m_out, buffer, sizeof buffer);
        if (n <= 0)
            return true;
        out.append(buffer, n);
    }
}

TlsChannel::Step TlsChannel::handshake(QByteArrayView fromClient, QByteArray& out) {
    if (!m_ssl)
        return Step::Failed;
    if (!fromClient.isEmpty() &&
        BIO_write(m_in, fromClient.data(), int(fromClient.size())) != int(fromClient.size())) {
        m_error = openSslError(QStringLiteral("TLS buffer refused the client's bytes"));
        return Step::Failed;
    }
    const int rc = SSL_do_handshake(m_ssl);
    drainOutput(out); // an alert on a failure goes to the client too
    if (rc == 1)
        return Step::Done;
    const int reason = SSL_get_error(m_ssl, rc);
    if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE)
        return Step::More;
    m_error = openSslError(QStringLiteral("TLS handshake failed"));
    return Step::Failed;
}

bool TlsChannel::decrypt(QByteArrayView fromClient, QByteArray& plain) {
    if (!m_ssl)
        return false;
    if (!fromClient.isEmpty() &&
        BIO_write(m_in, fromClient.data(), int(fromClient.size())) != int(fromClient.size())) {
        m_error = openSslError(QStringLiteral("TLS buffer refused the client's bytes"));
        return false;
    }
    char buffer[16384];
    for (;;) {
        const int n = SSL_read(m_ssl, buffer, sizeof buffer);
        if (n > 0) {
            plain.append(buffer, n);
            continue;
        }
        const int reason = SSL_get_error(m_ssl, n);
        if (reason == SSL_ERROR_WANT_READ)
            return true;
        m_error = reason == SSL_ERROR_ZERO_RETURN ? QStringLiteral("the client closed TLS")
                                                  : openSslError(QStringLiteral("invalid TLS record"));
        return false;
    }
}

bool TlsChannel::encrypt(QByteArrayView plain, QByteArray& out) {
    if (!m_ssl)
        return false;
    qsizetype at = 0;
    while (at < plain.size()) {
        const int chunk = int(qMin<qsizetype>(plain.size() - at, 16384));
        const int n = SSL_write(m_ssl, plain.data() + at, chunk);
        if (n <= 0) {
            m_error = openSslError(QStringLiteral("TLS write failed"));
            return false;
        }
        at += n;
        drainOutput(out);
    }
    return true;
}

QString TlsChannel::description() const {
    if (!m_ssl)
        return {};
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(SSL_get_version(m_ssl)),
                                       QString::fromLatin1(SSL_get_cipher_name(m_ssl)));
}

} // namespace tds
