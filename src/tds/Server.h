#pragma once

// A TDS server in front of the embedded engine: SQL Server clients (FreeTDS's ODBC driver and
// its tsql tool among them) log in with SQL authentication and run batches, parameterised and
// prepared statements and transactions on the embedded database. One thread per connection,
// each with its own engine session and SQLite connection.

#include <QString>

#include <functional>

namespace tds {

struct ServerConfig {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 1433;
    QString user;
    QString password;
    QString databasePath; // the SQLite file of the embedded engine
    QString databaseName; // the name clients see (ENVCHANGE, DB_NAME())
    int maxConnections = 64;
    qint64 batchTimeoutMs = 300000; // the server's own bound on a batch, beyond clients' timeouts
};

// Listens, prints "listening on HOST:PORT" through `ready` once it accepts connections, and
// serves until SIGTERM or SIGINT arrives. Returns 0 after a clean stop; on a failure to listen
// returns 2 with the reason in `error`.
int runServer(const ServerConfig& config, const std::function<void(const QString&)>& ready,
              const std::function<void(const QString&)>& log, QString& error);

} // namespace tds
