// The server command: the embedded database served over TDS, for SQL Server clients and tools.

#include "ado/Ado.h"
#include "apps/formule/Command.h"
#include "apps/formule/ServeTexts.h"
#include "tds/Server.h"
#include "tds/Tls.h"

#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>

#include <mutex>

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

// Whether `host` reaches this computer only: localhost, 127.0.0.0/8 and ::1.
bool isLoopback(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray h = host.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, h.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, h.constData(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

// The login's password: --password-file FILE (its first line), --password SECRET, or the
// environment's FORMULE_PASSWORD, in this order; an error text when none or an empty one.
std::optional<QString> passwordOf(const Context& ctx, const QCommandLineParser& parser, QString& error) {
    const QString file = parser.value(QStringLiteral("password-file"));
    if (!file.isEmpty() && parser.isSet(QStringLiteral("password"))) {
        error = ctx.tr(servetext::PasswordOrFile);
        return std::nullopt;
    }
    QString password;
    if (!file.isEmpty()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            error = ctx.tr(servetext::PasswordFileUnreadable).arg(file, f.errorString());
            return std::nullopt;
        }
        // A password file holds one line; a longer file is no password file.
        const QByteArray bytes = f.read(4097);
        if (bytes.size() > 4096) {
            error = ctx.tr(servetext::PasswordFileTooLong).arg(file);
            return std::nullopt;
        }
        password =
            QString::fromUtf8(bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n')));
        if (password.endsWith(u'\r'))
            password.chop(1);
    } else if (parser.isSet(QStringLiteral("password"))) {
        password = parser.value(QStringLiteral("password"));
    } else {
        password = qEnvironmentVariable("FORMULE_PASSWORD");
    }
    if (password.isEmpty()) {
        error = ctx.tr(servetext::PasswordRequired);
        return std::nullopt;
    }
    return password;
}

// The certificate of --tls-cert and --tls-key, or one made now for --tls-self-signed; false with
// the message written when the options do not go together or the certificate cannot be used.
bool setUpTls(Context& ctx, const QCommandLineParser& parser, tds::ServerConfig& config) {
    const QString cert = parser.value(QStringLiteral("tls-cert"));
    const QString key = parser.value(QStringLiteral("tls-key"));
    const bool selfSigned = parser.isSet(QStringLiteral("tls-self-signed"));
    config.requireEncryption = parser.isSet(QStringLiteral("require-encryption"));
    QString problem;
    if (cert.isEmpty() != key.isEmpty())
        problem = ctx.tr(servetext::CertAndKeyTogether);
    else if (!cert.isEmpty() && selfSigned)
        problem = ctx.tr(servetext::CertOrSelfSigned);
    else if (config.requireEncryption && cert.isEmpty() && !selfSigned)
        problem = ctx.tr(servetext::RequireNeedsCertificate);
    if (!problem.isEmpty()) {
        *ctx.err << "serve: " << problem << "\n";
        return false;
    }
    QString error;
    if (selfSigned)
        config.tls = tds::TlsCredentials::selfSigned(QStringLiteral("formule serve"), error);
    else if (!cert.isEmpty())
        config.tls = tds::TlsCredentials::fromFiles(cert, key, error);
    if ((selfSigned || !cert.isEmpty()) && !config.tls) {
        *ctx.err << "serve: " << ctx.tr(servetext::CertificateUnusable).arg(error) << "\n";
        return false;
    }
    config.encryptionTexts.noCertificate = ctx.tr(servetext::LoginNoCertificate);
    config.encryptionTexts.required = ctx.tr(servetext::LoginEncryptionRequired);
    return true;
}

int runServe(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    if (!positional.isEmpty()) {
        *ctx.err << "serve: " << ctx.tr(servetext::UnexpectedArgument).arg(positional.first()) << "\n";
        return ExitUsage;
    }
    tds::ServerConfig config;
    const auto endpoint = parseEndpoint(parser.value(QStringLiteral("listen")));
    if (!endpoint) {
        *ctx.err << "serve: " << ctx.tr(servetext::ListenTakes) << "\n";
        return ExitUsage;
    }
    config.host = endpoint->host;
    config.port = endpoint->port;
    if (!setUpTls(ctx, parser, config))
        return ExitUsage;
    // A server that requires encryption sends nothing readable over the network.
    if (!isLoopback(config.host) && !config.requireEncryption) {
        if (!parser.isSet(QStringLiteral("allow-remote"))) {
            *ctx.err << "serve: " << ctx.tr(servetext::RemoteRefused).arg(config.host) << "\n";
            return ExitUsage;
        }
        *ctx.err << "serve: " << ctx.tr(servetext::RemoteWarning).arg(config.host) << "\n";
        ctx.err->flush();
    }
    config.user = parser.value(QStringLiteral("user"));
    if (config.user.isEmpty()) {
        *ctx.err << "serve: " << ctx.tr(servetext::UserRequired) << "\n";
        return ExitUsage;
    }
    QString passwordError;
    const auto password = passwordOf(ctx, parser, passwordError);
    if (!password) {
        *ctx.err << "serve: " << passwordError << "\n";
        return ExitUsage;
    }
    config.password = *password;
    config.readOnly = parser.isSet(QStringLiteral("read-only"));
    // The database must be the embedded one: opening it checks the file (and creates the demo
    // database when it is the default one and missing).
    try {
        const ado::ConnectionString cs = ado::ConnectionString::parse(ctx.connectionString);
        if (ado::providerKind(cs) != ado::ProviderKind::Embedded) {
            *ctx.err << "serve: " << ctx.tr(servetext::EmbeddedOnly) << "\n";
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
    // The server calls the log from its connections' threads: one line at a time, whole.
    std::mutex logMutex;
    const int code = tds::runServer(
        config,
        [&ctx, &logMutex, &config, &parser](const QString& line) {
            const std::lock_guard lock(logMutex);
            *ctx.out << line << "\n";
            // The fingerprint lets a client pin the certificate (a self-signed one is new each start).
            if (config.tls)
                *ctx.out << (config.tls->isSelfSigned()
                                 ? ctx.tr(servetext::SelfSignedFingerprint).arg(config.tls->fingerprint())
                                 : ctx.tr(servetext::FileFingerprint)
                                       .arg(parser.value(QStringLiteral("tls-cert")),
                                            config.tls->fingerprint()))
                         << "\n";
            ctx.out->flush();
        },
        [&ctx, &logMutex](const QString& line) {
            const std::lock_guard lock(logMutex);
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
    QStringLiteral(
        "serve il database incorporato di --db via TDS ai client SQL Server (il driver ODBC di FreeTDS e "
        "tsql, Provider=MSOLEDBSQL;Data Source=HOST,PORT); stampa \"listening on HOST:PORT\" quando è pronto "
        "(porta 0: una porta libera); la password da FILE, da FORMULE_PASSWORD o da --password; solo "
        "loopback senza --allow-remote (nessuna cifratura); --read-only: nessuna modifica al database; TLS "
        "(la cifratura come la negozia SQL Server) con il certificato di --tls-cert/--tls-key o uno creato "
        "all'avvio (--tls-self-signed; la sua impronta SHA-256 stampata dopo \"listening on\"); "
        "--require-encryption rifiuta i client che non cifrano; si ferma con SIGTERM"),
    [](CommandLine& parser) {
        parser.addOption({QStringLiteral("listen"),
                          QStringLiteral("Indirizzo e porta (predefinito 127.0.0.1:1433)."),
                          QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:1433")});
        parser.addOption(
            {QStringLiteral("user"), QStringLiteral("Il nome dell'utente SQL."), QStringLiteral("NAME")});
        parser.addOption({QStringLiteral("password"),
                          QStringLiteral("La password dell'utente SQL (visibile agli altri utenti del "
                                         "computer: meglio --password-file o FORMULE_PASSWORD)."),
                          QStringLiteral("SECRET")});
        parser.addOption({QStringLiteral("password-file"),
                          QStringLiteral("Un file la cui prima riga è la password dell'utente SQL."),
                          QStringLiteral("FILE")});
        parser.addOption(
            {QStringLiteral("allow-remote"),
             QStringLiteral(
                 "Ascolta su un indirizzo oltre il loopback (le credenziali viaggiano non cifrate).")});
        parser.addOption(
            {QStringLiteral("read-only"), QStringLiteral("Servi il database senza alcuna modifica.")});
        parser.addOption(
            {QStringLiteral("tls-cert"),
             QStringLiteral("Il certificato del server per TLS, PEM (può seguirlo la sua catena)."),
             QStringLiteral("FILE")});
        parser.addOption({QStringLiteral("tls-key"),
                          QStringLiteral("La chiave privata di --tls-cert, PEM senza passphrase."),
                          QStringLiteral("FILE")});
        parser.addOption(
            {QStringLiteral("tls-self-signed"),
             QStringLiteral("Crea un certificato autofirmato all'avvio e ne stampa l'impronta.")});
        parser.addOption({QStringLiteral("require-encryption"),
                          QStringLiteral("Rifiuta i client che non cifrano tutta la sessione.")});
    },
    runServe,
});

} // namespace
