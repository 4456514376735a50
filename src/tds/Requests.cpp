#include "tds/Requests.h"

#include "tds/RpcValues.h"
#include "tds/Wire.h"
#include "tsql/ServerVersion.h"

namespace tds {

namespace {

// Skips ALL_HEADERS (TDS 7.2 and later put it before a batch's text and RPC calls).
bool skipAllHeaders(Reader& r) {
    const quint32 total = r.u32();
    if (!r.ok() || total < 4 || total > quint32(r.remaining() + 4))
        return false;
    r.skip(total - 4);
    return r.ok();
}

// A string at an offset and a count of characters of LOGIN7's fixed part.
QString loginString(QByteArrayView payload, Reader& fixed, bool& ok, bool obfuscated = false) {
    const quint16 offset = fixed.u16();
    const quint16 chars = fixed.u16();
    if (chars == 0)
        return {};
    if (qsizetype(offset) + qsizetype(chars) * 2 > payload.size()) {
        ok = false;
        return {};
    }
    QByteArray bytes = payload.sliced(offset, qsizetype(chars) * 2).toByteArray();
    if (obfuscated) {
        // The password's bytes are XORed with 0xA5 and their nibbles swapped.
        for (char& c : bytes) {
            const quint8 x = quint8(c) ^ 0xA5;
            c = char(quint8((x << 4) | (x >> 4)));
        }
    }
    return fromUcs2(bytes);
}

} // namespace

std::optional<PacketHeader> parseHeader(QByteArrayView bytes) {
    Reader r(bytes);
    PacketHeader h;
    h.type = r.u8();
    h.status = r.u8();
    h.length = r.u16be();
    if (!r.ok() || h.length < HeaderSize)
        return std::nullopt;
    return h;
}

std::optional<PreLogin> parsePreLogin(QByteArrayView payload) {
    Reader r(payload);
    PreLogin out;
    // Option entries: token, offset and length (big-endian), up to the terminator 0xFF.
    for (int entries = 0; entries < 64; ++entries) {
        const quint8 token = r.u8();
        if (!r.ok())
            return std::nullopt;
        if (token == 0xFF)
            return out;
        const quint16 offset = r.u16be();
        const quint16 length = r.u16be();
        if (!r.ok() || qsizetype(offset) + length > payload.size())
            return std::nullopt;
        if (token == 0x01 && length >= 1) {
            const quint8 value = quint8(payload[offset]);
            if (value > 3)
                return std::nullopt;
            out.encryption = Encryption(value);
        }
    }
    return std::nullopt;
}

EncryptionChoice chooseEncryption(std::optional<Encryption> client, bool hasCertificate, bool required) {
    const Encryption asked = client.value_or(Encryption::Off);
    const bool wants = asked == Encryption::On || asked == Encryption::Required;
    if (!hasCertificate)
        return {Encryption::NotSupported, TlsMode::None,
                wants ? EncryptionRefusal::NoCertificate : EncryptionRefusal::None};
    if (wants)
        return {Encryption::On, TlsMode::Full, EncryptionRefusal::None};
    if (asked == Encryption::NotSupported)
        return required ? EncryptionChoice{Encryption::Required, TlsMode::None, EncryptionRefusal::Required}
                        : EncryptionChoice{Encryption::NotSupported, TlsMode::None, EncryptionRefusal::None};
    // ENCRYPT_OFF: the login alone goes encrypted, unless the server requires it all.
    return required ? EncryptionChoice{Encryption::Required, TlsMode::Full, EncryptionRefusal::None}
                    : EncryptionChoice{Encryption::Off, TlsMode::LoginOnly, EncryptionRefusal::None};
}

QByteArray preLoginAnswer(Encryption encryption) {
    Writer w;
    constexpr int Entries = 5;
    const quint8 tokens[Entries] = {0x00, 0x01, 0x02, 0x03, 0x04};
    const quint16 lengths[Entries] = {6, 1, 1, 0, 1};
    quint16 offset = Entries * 5 + 1;
    for (int i = 0; i < Entries; ++i) {
        w.u8(tokens[i]);
        w.u16be(offset);
        w.u16be(lengths[i]);
        offset += lengths[i];
    }
    w.u8(0xFF);
    // VERSION: major, minor, build (big-endian) and the sub-build.
    w.u8(quint8(tsql::server_version::Major));
    w.u8(quint8(tsql::server_version::Minor));
    w.u16be(quint16(tsql::server_version::Build));
    w.u16be(0);
    w.u8(quint8(encryption));
    w.u8(0); // the default instance
    w.u8(0); // no MARS
    return w.data();
}

std::optional<Login7> parseLogin7(QByteArrayView payload) {
    Reader r(payload);
    const quint32 length = r.u32();
    Login7 login;
    login.tdsVersion = r.u32();
    login.packetSize = r.u32();
    r.skip(4 + 4 + 4); // client program version, process id, connection id
    r.skip(2);         // option flags 1 and 2
    r.skip(1);         // type flags
    const quint8 flags3 = r.u8();
    login.featureExtension = (flags3 & 0x10) != 0;
    r.skip(4 + 4); // time zone, LCID
    if (!r.ok() || length != quint32(payload.size()) || payload.size() < 86)
        return std::nullopt;
    bool ok = true;
    login.hostName = loginString(payload, r, ok);
    login.userName = loginString(payload, r, ok);
    login.password = loginString(payload, r, ok, true);
    login.appName = loginString(payload, r, ok);
    login.serverName = loginString(payload, r, ok);
    r.skip(4);                   // extension (its own block when the feature extension flag is set)
    loginString(payload, r, ok); // client interface name
    login.language = loginString(payload, r, ok);
    login.database = loginString(payload, r, ok);
    if (!ok || !r.ok())
        return std::nullopt;
    return login;
}

std::optional<QString> parseSqlBatch(QByteArrayView payload) {
    Reader r(payload);
    if (!skipAllHeaders(r) || r.remaining() % 2 != 0)
        return std::nullopt;
    return r.ucs2(r.remaining() / 2);
}

std::optional<QList<RpcCall>> parseRpc(QByteArrayView payload) {
    Reader r(payload);
    if (!skipAllHeaders(r))
        return std::nullopt;
    QList<RpcCall> calls;
    constexpr int MaxCalls = 1024, MaxParameters = 2100; // SQL Server's own limit of parameters
    while (!r.atEnd()) {
        if (calls.size() >= MaxCalls)
            return std::nullopt;
        RpcCall call;
        const quint16 nameLength = r.u16();
        if (nameLength == 0xFFFF)
            call.procId = r.u16();
        else
            call.procName = r.ucs2(nameLength);
        r.skip(2); // option flags
        if (!r.ok())
            return std::nullopt;
        while (r.ok() && !r.atEnd()) {
            const quint8 next = r.u8();
            if (next == 0x80 || next == 0xFF)
                break; // the next call of the batch
            if (call.parameters.size() >= MaxParameters)
                return std::nullopt;
            RpcParameter p;
            p.name = r.ucs2(next);
            p.output = (r.u8() & 0x01) != 0;
            if (!readParameterValue(r, p))
                return std::nullopt;
            call.parameters.append(p);
        }
        if (!r.ok())
            return std::nullopt;
        calls.append(call);
    }
    return calls;
}

std::optional<TransactionRequest> parseTransactionRequest(QByteArrayView payload) {
    Reader r(payload);
    if (!skipAllHeaders(r))
        return std::nullopt;
    TransactionRequest out;
    const quint16 type = r.u16();
    if (!r.ok())
        return std::nullopt;
    switch (type) {
    case 5: // TM_BEGIN_XACT: isolation level, name
        out.kind = TransactionRequest::Kind::Begin;
        break;
    case 7:   // TM_COMMIT_XACT: name, flags, optional begin
    case 8: { // TM_ROLLBACK_XACT
        out.kind = type == 7 ? TransactionRequest::Kind::Commit : TransactionRequest::Kind::Rollback;
        r.bVarchar();
        const quint8 flags = r.u8();
        out.beginAfter = r.ok() && (flags & 0x01) != 0;
        break;
    }
    default:
        break;
    }
    if (!r.ok())
        return std::nullopt;
    return out;
}

} // namespace tds
