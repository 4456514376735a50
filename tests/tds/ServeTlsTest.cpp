// `formule serve` and encryption on a raw socket: the PRELOGIN answer (the server's version and
// the encryption agreed) and the login refused, with its reason, to a client that asks for
// encryption the server cannot give or that does not encrypt on a server that requires it.

#include "RawClient.h"
#include "ServeProcess.h"

#include "tsql/ServerVersion.h"

#include <gtest/gtest.h>

namespace {

using namespace tds_test;

// The ENCRYPTION value of a PRELOGIN answer.
std::optional<tds::Encryption> encryptionOf(const QByteArray& answer) {
    const auto parsed = tds::parsePreLogin(answer);
    return parsed ? parsed->encryption : std::nullopt;
}

TEST(ServeTls, PreLoginAnswerAndTheLoginRefusedWithItsReason) {
    struct Case {
        const char* what;
        QStringList args;
        tds::Encryption client;
        tds::Encryption answer;
        QString refusal; // empty: the plain login goes through
    };
    const Case cases[] = {
        {"no certificate, the client asks for encryption",
         {},
         tds::Encryption::On,
         tds::Encryption::NotSupported,
         QStringLiteral(
             "Login failed: the client asked for an encrypted connection, but this server has no "
             "certificate (start formule serve with --tls-cert and --tls-key, or --tls-self-signed), "
             "or connect without encryption.")},
        {"no certificate, the client cannot encrypt",
         {},
         tds::Encryption::NotSupported,
         tds::Encryption::NotSupported,
         {}},
        {"encryption required, the client cannot encrypt",
         {QStringLiteral("--tls-self-signed"), QStringLiteral("--require-encryption")},
         tds::Encryption::NotSupported,
         tds::Encryption::Required,
         QStringLiteral("Login failed: this server requires an encrypted connection; connect with encryption "
                        "(Encrypt=yes).")},
        {"a certificate, the client cannot encrypt",
         {QStringLiteral("--tls-self-signed")},
         tds::Encryption::NotSupported,
         tds::Encryption::NotSupported,
         {}},
    };
    for (const Case& c : cases) {
        ServeProcess server;
        ASSERT_TRUE(server
                        .start(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                           QStringLiteral("--user"), User, QStringLiteral("--lang"),
                                           QStringLiteral("en")} +
                               c.args)
                        .startsWith(QLatin1String("listening on")))
            << c.what << server.log().toStdString();
        RawClient client;
        ASSERT_TRUE(client.connect(server.port()));
        ASSERT_TRUE(client.send(tds::PacketType::PreLogin, preLogin(quint8(c.client))));
        const auto answer = client.read(AnswerMs);
        ASSERT_TRUE(answer) << c.what;
        EXPECT_EQ(encryptionOf(*answer), c.answer) << c.what;
        // VERSION first: 15.0.2000.
        EXPECT_EQ(answer->mid(26, 4).toHex().toStdString(), "0f0007d0") << c.what;
        ASSERT_TRUE(client.send(tds::PacketType::Login7, login7(User, Password, {})));
        const auto login = client.read(AnswerMs);
        ASSERT_TRUE(login) << c.what;
        if (c.refusal.isEmpty()) {
            EXPECT_TRUE(loggedIn(*login)) << c.what;
        } else {
            EXPECT_FALSE(loggedIn(*login)) << c.what;
            EXPECT_TRUE(holds(*login, c.refusal)) << c.what;
            EXPECT_TRUE(client.closedWithin(AnswerMs)) << c.what;
        }
    }
}

// A client that agreed to encrypt and then sends no TLS handshake, or junk for one, is closed.
TEST(ServeTls, NoHandshakeOrAJunkOneClosesTheConnection) {
    ServeProcess server;
    ASSERT_TRUE(server
                    .start({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                            QStringLiteral("--user"), User, QStringLiteral("--tls-self-signed")})
                    .startsWith(QLatin1String("listening on")));
    const QByteArray junk(600, 'J');
    for (const bool sendLogin : {true, false}) {
        RawClient client;
        ASSERT_TRUE(client.connect(server.port()));
        ASSERT_TRUE(client.send(tds::PacketType::PreLogin, preLogin(quint8(tds::Encryption::On))));
        const auto answer = client.read(AnswerMs);
        ASSERT_TRUE(answer);
        EXPECT_EQ(encryptionOf(*answer), tds::Encryption::On);
        if (sendLogin)
            ASSERT_TRUE(client.send(tds::PacketType::Login7, login7(User, Password, {})));
        else
            ASSERT_TRUE(client.send(tds::PacketType::PreLogin, junk));
        EXPECT_TRUE(client.closedWithin(AnswerMs)) << sendLogin;
    }
    // The server goes on serving.
    RawClient good;
    ASSERT_TRUE(good.connect(server.port()));
    const auto login = good.login(User, Password, AnswerMs);
    ASSERT_TRUE(login);
    EXPECT_TRUE(loggedIn(*login));
}

} // namespace
