// The server command: the embedded database served over TDS, for SQL Server clients and tools.

#include "ado/Ado.h"
#include "apps/formule/Command.h"
#include "tds/Server.h"

#include <QFileInfo>

using namespace formule_cli;

namespace {

struct Endpoint {
    QString host;
    quint16 port = 0;
};

// HOST:PORT, [HOST]:PORT for IPv6; the port a number from 0 (any free port) to 65535.
std::optional<Endpoint> parseEndpoint(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    Endpoint e;
    e.host = text.left(colon);
    if (e.host.startsWith(u'[') && e.host.endsWith(u']'))
        e.host = e.host.mid(1, e.host.size() - 2);
    const WholeNumber port = parseWholeNumber(text.mid(colon + 1), 65535);
    if (!port.error.isEmpty() || e.host.isEmpty())
        return std::nullopt;
    e.port = quint16(port.value);
    return e;
}

int runServe(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    if (!positional.isEmpty()) {
        *ctx.err << "serve: unexpected argument \"" << positional.first() << "\"\n";
        return ExitUsage;
    }
    tds::ServerConfig config;
    const auto endpoint = parseEndpoint(parser.value(QStringLiteral("listen")));
    if (!endpoint) {
        *ctx.err << "serve: --listen takes HOST:PORT (PORT 0 picks a free port)\n";
        return ExitUsage;
    }
    config.host = endpoint->host;
    config.port = endpoint->port;
    config.user = parser.value(QStringLiteral("user"));
    config.password = parser.value(QStringLiteral("password"));
    if (config.user.isEmpty() || !parser.isSet(QStringLiteral("password"))) {
        *ctx.err << "serve: --user and --password are required (the SQL login clients use)\n";
        return ExitUsage;
    }
    // The database must be the embedded one: opening it checks the file (and creates the demo
    // database when it is the default one and missing).
    try {
        const ado::ConnectionString cs = ado::ConnectionString::parse(ctx.connectionString);
        if (ado::providerKind(cs) != ado::ProviderKind::Embedded) {
            *ctx.err << "serve: --db must name an embedded database (Provider=Embedded)\n";
            return ExitUsage;
        }
        ctx.connection();
        config.databasePath = cs.firstOf(ado::keys::DataSource);
    } catch (const core::ComError& e) {
        *ctx.err << "serve: " << e.description() << "\n";
        return ExitUsage;
    }
    config.databaseName = QFileInfo(config.databasePath).completeBaseName();
    if (config.databaseName.isEmpty())
        config.databaseName = QStringLiteral("formule");
    QString error;
    const int code = tds::runServer(
        config,
        [&ctx](const QString& line) {
            *ctx.out << line << "\n";
            ctx.out->flush();
        },
        [&ctx](const QString& line) {
            *ctx.err << "serve: " << line << "\n";
            ctx.err->flush();
        },
        error);
    if (code != 0)
        *ctx.err << "serve: " << error << "\n";
    return code == 0 ? ExitOk : ExitUsage;
}

const Registrar serveCommand({
    QStringLiteral("serve"),
    QStringLiteral("serve [--listen HOST:PORT] --user NAME --password SECRET  serve the embedded database of "
                   "--db over TDS to SQL Server clients (FreeTDS's ODBC driver and tsql, "
                   "Provider=MSOLEDBSQL;Data Source=HOST,PORT); prints \"listening on HOST:PORT\" once "
                   "ready (port 0: a free port); loopback unless told otherwise; stops on SIGTERM"),
    [](QCommandLineParser& parser) {
        parser.addOption({QStringLiteral("listen"),
                          QStringLiteral("Address and port (default 127.0.0.1:1433)."),
                          QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:1433")});
        parser.addOption(
            {QStringLiteral("user"), QStringLiteral("The SQL login's name."), QStringLiteral("NAME")});
        parser.addOption({QStringLiteral("password"), QStringLiteral("The SQL login's password."),
                          QStringLiteral("SECRET")});
    },
    runServe,
});

} // namespace
