// libFuzzer target over the server's side of encryption: PRELOGIN read, the encryption agreed
// for it and the answer written, then the client's TLS bytes as the server takes them, in
// PRELOGIN messages of the lengths the input chooses; and, after a real handshake with a client
// in memory, records that the input makes up. Any input must end in a handshake, a refusal or a
// wait for more, never in a crash, a read beyond a buffer or a hang.
//
// The first byte chooses: even, the PRELOGIN and the handshake; odd, the records after one.

#include "FuzzOptions.h"

#include "tds/Requests.h"
#include "tds/Tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstddef>
#include <cstdint>

namespace {

const tds::TlsCredentials& credentials() {
    static const auto made = [] {
        QString error;
        return tds::TlsCredentials::selfSigned(QStringLiteral("fuzz"), error);
    }();
    return *made;
}

// The PRELOGIN of the input's first part, then the rest as handshake messages: each a length
// byte and that many bytes (the last takes what is left).
void preLoginAndHandshake(QByteArrayView input) {
    const qsizetype split = input.isEmpty() ? 0 : qsizetype(quint8(input[0])) % (input.size());
    const QByteArrayView preLogin = input.sliced(qMin<qsizetype>(1, input.size()))
                                        .first(qMax<qsizetype>(0, qMin(split, input.size() - 1)));
    if (const auto request = tds::parsePreLogin(preLogin)) {
        for (const bool certificate : {false, true})
            for (const bool required : {false, true})
                tds::preLoginAnswer(tds::chooseEncryption(request->encryption, certificate, required).answer);
    }
    QByteArrayView rest = input.sliced(qMin(input.size(), 1 + preLogin.size()));
    tds::TlsChannel server(credentials());
    while (!rest.isEmpty()) {
        const qsizetype n = qMin<qsizetype>(rest.size() - 1, qsizetype(quint8(rest[0])) * 16 + 1);
        QByteArray out;
        const auto step = server.handshake(rest.sliced(1, qMax<qsizetype>(0, n)), out);
        rest = rest.sliced(qMin(rest.size(), 1 + qMax<qsizetype>(0, n)));
        if (step != tds::TlsChannel::Step::More)
            break;
    }
}

// A client in memory that completes the handshake with the server.
struct Client {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(ctx);
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    Client() {
        BIO_set_mem_eof_return(in, -1);
        SSL_set_bio(ssl, in, out);
        SSL_set_connect_state(ssl);
    }
    ~Client() {
        SSL_free(ssl);
        SSL_CTX_free(ctx);
    }
    QByteArray drain() {
        QByteArray bytes;
        char buffer[4096];
        int n = 0;
        while ((n = BIO_read(out, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        return bytes;
    }
};

void recordsAfterHandshake(QByteArrayView input) {
    Client client;
    tds::TlsChannel server(credentials());
    auto step = tds::TlsChannel::Step::More;
    for (int flights = 0; flights < 8 && step == tds::TlsChannel::Step::More; ++flights) {
        SSL_do_handshake(client.ssl);
        QByteArray toClient;
        step = server.handshake(client.drain(), toClient);
        BIO_write(client.in, toClient.constData(), int(toClient.size()));
    }
    SSL_do_handshake(client.ssl);
    ERR_clear_error();
    if (step != tds::TlsChannel::Step::Done)
        return;
    // A good record first, then the input: what follows a valid record must not matter.
    SSL_write(client.ssl, "ok", 2);
    QByteArray plain;
    server.decrypt(client.drain(), plain);
    server.decrypt(input, plain);
    QByteArray records;
    server.encrypt(plain.left(4096), records);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > fuzz::MaxInput)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] % 2 == 0)
        preLoginAndHandshake(rest);
    else
        recordsAfterHandshake(rest);
    ERR_clear_error();
    return 0;
}
