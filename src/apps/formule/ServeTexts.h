#pragma once

#include <QString>

// The texts of the serve command about encryption, in Italian; data/translations/tool_en.ts
// holds them in English (Context::tr picks the one of --lang).
namespace formule_cli::servetext {

inline const QString CertAndKeyTogether = QStringLiteral("--tls-cert e --tls-key vanno dati insieme");
inline const QString CertOrSelfSigned =
    QStringLiteral("dai --tls-cert e --tls-key oppure --tls-self-signed, non entrambi");
inline const QString RequireNeedsCertificate = QStringLiteral(
    "--require-encryption richiede un certificato (--tls-cert e --tls-key, oppure --tls-self-signed)");
// %1 the reason (OpenSSL's).
inline const QString CertificateUnusable = QStringLiteral("il certificato TLS non si può usare: %1");
// %1 the fingerprint.
inline const QString SelfSignedFingerprint =
    QStringLiteral("certificato TLS autofirmato creato all'avvio, impronta SHA-256 %1");
// %1 the certificate's file, %2 the fingerprint.
inline const QString FileFingerprint = QStringLiteral("certificato TLS da %1, impronta SHA-256 %2");
// The login refused to a client that asks for encryption when the server has no certificate.
inline const QString LoginNoCertificate = QStringLiteral(
    "Accesso non riuscito: il client chiede una connessione cifrata, ma questo server non ha un certificato "
    "(avvia formule serve con --tls-cert e --tls-key, oppure --tls-self-signed), o connettiti senza "
    "cifratura.");
// The login refused to a client that does not encrypt when the server requires it.
inline const QString LoginEncryptionRequired = QStringLiteral(
    "Accesso non riuscito: questo server richiede una connessione cifrata; connettiti con la cifratura "
    "(Encrypt=yes).");

// The errors and warnings of the serve command's options.
// %1 the argument.
inline const QString UnexpectedArgument = QStringLiteral("argomento inatteso \"%1\"");
inline const QString ListenTakes =
    QStringLiteral("--listen vuole HOST:PORTA (la PORTA 0 sceglie una porta libera)");
// %1 the host.
inline const QString RemoteRefused = QStringLiteral(
    "%1 è raggiungibile da altri computer e questo server non richiede la cifratura: l'accesso e i dati "
    "potrebbero viaggiare in chiaro; aggiungi --require-encryption (con un certificato) o --allow-remote per "
    "restare comunque in ascolto lì");
// %1 the host.
inline const QString RemoteWarning = QStringLiteral(
    "attenzione: in ascolto su %1, raggiungibile da altri computer; l'accesso (nome e password) e i dati "
    "viaggiano in chiaro sulla rete, a meno che il client non cifri");
inline const QString UserRequired =
    QStringLiteral("--user è obbligatorio (l'accesso SQL che usano i client)");
inline const QString PasswordOrFile = QStringLiteral("dai --password oppure --password-file, non entrambi");
// %1 the file, %2 the system's reason.
inline const QString PasswordFileUnreadable =
    QStringLiteral("non riesco a leggere il file della password \"%1\": %2");
// %1 the file.
inline const QString PasswordFileTooLong =
    QStringLiteral("il file della password \"%1\" è più lungo di 4096 byte");
inline const QString PasswordRequired = QStringLiteral(
    "serve una password e non deve essere vuota (--password-file FILE, FORMULE_PASSWORD dell'ambiente o "
    "--password)");
inline const QString EmbeddedOnly =
    QStringLiteral("--db deve indicare un database incorporato (Provider=Embedded)");

} // namespace formule_cli::servetext
