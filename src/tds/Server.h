#pragma once

// A TDS server in front of the embedded engine: SQL Server clients (FreeTDS's ODBC driver and
// its tsql tool among them) log in with SQL authentication and run batches, parameterised and
// prepared statements and transactions on the embedded database. One thread per connection,
// each with its own engine session and SQLite connection.

#include "tds/Throttle.h"

#include <QString>

#include <functional>
#include <memory>

namespace tds {

class TlsCredentials;

// The texts of the logins refused for encryption, in the language of the server's operator
// (the tool translates them).
struct EncryptionTexts {
    QString noCertificate = QStringLiteral(
        "Login failed: the client asked for an encrypted connection, but this server has no certificate "
        "(start formule serve with --tls-cert and --tls-key, or --tls-self-signed), or connect without "
        "encryption.");
    QString required = QStringLiteral(
        "Login failed: this server requires an encrypted connection; connect with encryption (Encrypt=yes).");
};

struct ServerConfig {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 1433;
    QString user;
    QString password;
    QString databasePath; // the SQLite file of the embedded engine
    QString databaseName; // the name clients see (ENVCHANGE, DB_NAME())
    // Serves the database without any write: a statement that would change a table of the
    // database fails as on a read-only SQL Server database (Msg 3906); temporary tables work.
    bool readOnly = false;
    int maxConnections = 64; // sessions logged in at once
    // Connections still in the handshake at once: when all are taken, a new connection closes
    // the oldest handshake of the address that holds the most.
    int maxHandshakes = 16;
    qint64 handshakeTimeoutMs = 5000;       // from the connection to the end of LOGIN7
    qint64 idleTimeoutMs = 600000;          // a session without any request for this long is closed
    qint64 sendTimeoutMs = 60000;           // a client that takes no byte of an answer for this long
    qsizetype maxHandshakeBytes = 8192;     // a message before the login (PRELOGIN, LOGIN7)
    qsizetype maxMessageBytes = 16LL << 20; // a message after it (a batch of 8 million characters)
    qint64 batchTimeoutMs = 300000;         // the server's own bound on a batch, beyond clients' timeouts
    ThrottleLimits throttle;                // failed logins per client address
    // The certificate TLS presents; without one the server offers no encryption and refuses
    // the login of a client that asks for it.
    std::shared_ptr<const TlsCredentials> tls;
    bool requireEncryption = false; // a client that does not encrypt the whole session is refused
    EncryptionTexts encryptionTexts;
};

// Listens, prints "listening on HOST:PORT" through `ready` once it accepts connections, and
// serves until SIGTERM or SIGINT arrives. `log` is called from one thread at a time, one whole
// line per call. Returns 0 after a clean stop; on a failure to listen
// returns 2 with the reason in `error`.
int runServer(const ServerConfig& config, const std::function<void(const QString&)>& ready,
              const std::function<void(const QString&)>& log, QString& error);

} // namespace tds
