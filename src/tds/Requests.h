#pragma once

// The client's messages, parsed from their bytes. Every parser checks each length against the
// buffer and returns nullopt for anything malformed; none recurses or allocates more than the
// message holds.

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace tds {

// Message types of the packet header.
enum class PacketType : quint8 {
    SqlBatch = 0x01,
    Rpc = 0x03,
    TabularResult = 0x04,
    Attention = 0x06,
    TransactionManager = 0x0E,
    Login7 = 0x10,
    PreLogin = 0x12,
};

inline constexpr qsizetype HeaderSize = 8;
inline constexpr quint8 StatusEndOfMessage = 0x01;
// Packet sizes a client may ask for, as SQL Server allows them.
inline constexpr int MinPacketSize = 512;
inline constexpr int MaxPacketSize = 32767;
inline constexpr int DefaultPacketSize = 4096;
// TDS versions as LOGIN7 and LOGINACK carry them.
inline constexpr quint32 Tds72 = 0x72090002;
inline constexpr quint32 Tds74 = 0x74000004;

struct PacketHeader {
    quint8 type = 0;
    quint8 status = 0;
    quint16 length = 0; // of the whole packet, header included
};
// nullopt when the header's length is below the header's own size.
std::optional<PacketHeader> parseHeader(QByteArrayView bytes);

// Encryption values of PRELOGIN.
enum class Encryption : quint8 { Off = 0, On = 1, NotSupported = 2, Required = 3 };

struct PreLogin {
    std::optional<Encryption> encryption; // absent when the client sent no ENCRYPTION option
};
std::optional<PreLogin> parsePreLogin(QByteArrayView payload);

// How a connection is encrypted after PRELOGIN: not at all, the LOGIN7 message only (both
// sides said ENCRYPT_OFF), or everything from the login on.
enum class TlsMode : quint8 { None, LoginOnly, Full };
// Why the login that follows is refused: the client asked for encryption the server cannot
// give (it has no certificate), or the server requires encryption the client does not do.
enum class EncryptionRefusal : quint8 { None, NoCertificate, Required };

struct EncryptionChoice {
    Encryption answer = Encryption::NotSupported; // the ENCRYPTION option of the server's answer
    TlsMode mode = TlsMode::None;
    EncryptionRefusal refusal = EncryptionRefusal::None;
    bool operator==(const EncryptionChoice&) const = default;
};
// The server's side of the ENCRYPTION option as SQL Server plays it: the client's value (absent
// counts as ENCRYPT_OFF), whether the server has a certificate and whether it requires
// encryption.
EncryptionChoice chooseEncryption(std::optional<Encryption> client, bool hasCertificate, bool required);

// The server's PRELOGIN answer: VERSION (the server's version), ENCRYPTION, INSTOPT, THREADID
// (empty) and MARS (off).
QByteArray preLoginAnswer(Encryption encryption);

struct Login7 {
    quint32 tdsVersion = 0;
    quint32 packetSize = 0;
    bool featureExtension = false;
    QString hostName, userName, password, appName, serverName, language, database;
};
std::optional<Login7> parseLogin7(QByteArrayView payload);

// The text of a SQL batch after its ALL_HEADERS.
std::optional<QString> parseSqlBatch(QByteArrayView payload);

// A parameter value of an RPC call, as the T-SQL literal that stands for it ("NULL",
// "12.50", "N'text'", "0x0A0B").
struct RpcParameter {
    QString name; // with its @, or empty for a positional parameter
    bool output = false;
    QString literal;
    std::optional<qint64> integer; // the value when it is a whole number (procedure handles)
    std::optional<QString> text;   // the value when it is a character string
};

struct RpcCall {
    QString procName; // empty when called by number
    quint16 procId = 0;
    QList<RpcParameter> parameters;
};

// The calls of an RPC message (several when the client batches them).
std::optional<QList<RpcCall>> parseRpc(QByteArrayView payload);

// Transaction manager requests.
struct TransactionRequest {
    enum class Kind { Begin, Commit, Rollback, Other };
    Kind kind = Kind::Other;
    bool beginAfter = false; // commit or rollback that opens a new transaction at once
};
std::optional<TransactionRequest> parseTransactionRequest(QByteArrayView payload);

} // namespace tds
