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

} // namespace formule_cli::servetext
