// The bytes the server writes: the tokens that end statements and carry messages, the login
// acknowledgement with the server's version, each type's TYPE_INFO and value, the PRELOGIN
// answer and the encryption the server agrees to. Exact bytes, as MS-TDS lays them out.

#include "TdsMessageBuilders.h"
#include "tds/Columns.h"
#include "tds/Requests.h"
#include "tds/Tokens.h"
#include "tsql/ServerVersion.h"
#include "tsql/run/Results.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

TEST(TdsTokens, DoneTokensCarryStatusCommandAndRows) {
    struct Case {
        tds::DoneKind kind;
        quint16 status, command;
        quint64 rows;
        const char* bytes;
    };
    const Case cases[] = {
        {tds::DoneKind::Done, tds::DoneFinal, 0, 0, "fd 0000 0000 0000000000000000"},
        {tds::DoneKind::Done, tds::DoneAttention, 0, 0, "fd 2000 0000 0000000000000000"},
        {tds::DoneKind::Done, tds::DoneMore | tds::DoneCount, 0xC1, 5000, "fd 1100 c100 8813000000000000"},
        {tds::DoneKind::DoneProc, tds::DoneError, 0, 0, "fe 0200 0000 0000000000000000"},
        {tds::DoneKind::DoneInProc, tds::DoneMore | tds::DoneCount, 0xC3, 0x100000000ULL,
         "ff 1100 c300 0000000001000000"},
    };
    for (const Case& c : cases) {
        tds::TokenWriter tw(QStringLiteral("srv"));
        tw.done(c.kind, c.status, c.command, c.rows);
        EXPECT_EQ(tw.take().toHex(' ').toStdString(), hex(c.bytes).toHex(' ').toStdString()) << c.bytes;
    }
}

// ERROR above level 10, INFO at 10 and below: number, state, class, message, server,
// procedure and line.
TEST(TdsTokens, ErrorsAndInfoMessages) {
    struct Case {
        tds::Message m;
        const char* bytes;
    };
    const Case cases[] = {
        {{208, 1, 16, 2, QStringLiteral("No"), {}},
         "aa 1800 d0000000 01 10 0200 4e006f00 03 73007200 7600 00 02000000"},
        {{0, 1, 0, 1, QStringLiteral("hi"), {}},
         "ab 1800 00000000 01 00 0200 68006900 03 73007200 7600 00 01000000"},
        {{50000, 1, 10, 3, QStringLiteral("i"), QStringLiteral("p")},
         "ab 1800 50c30000 01 0a 0100 6900 03 73007200 7600 01 7000 03000000"},
    };
    for (const Case& c : cases) {
        tds::TokenWriter tw(QStringLiteral("srv"));
        tw.message(c.m);
        EXPECT_EQ(tw.take().toHex(' ').toStdString(), hex(c.bytes).toHex(' ').toStdString()) << c.bytes;
    }
}

// LOGINACK names the server's version, the one @@VERSION and PRELOGIN tell.
TEST(TdsTokens, LoginAckTellsTheServerVersion) {
    tds::TokenWriter tw(QStringLiteral("srv"));
    tw.loginAck(tds::Tds74, QStringLiteral("S"));
    const QByteArray bytes = tw.take();
    EXPECT_EQ(bytes.toHex(' ').toStdString(),
              hex("ad 0c00 01 74000004 01 5300 0f 00 07d0").toHex(' ').toStdString());
    EXPECT_EQ(quint8(bytes[bytes.size() - 4]), tsql::server_version::Major);
    EXPECT_EQ(QByteArray(tsql::server_version::ProductVersion).left(9), QByteArrayLiteral("15.0.2000"));
}

// Each type's TYPE_INFO in COLMETADATA and its value in a ROW, and NULL of each.
TEST(TdsColumns, TypeInfoAndValueOfEachType) {
    using tsql::SqlType;
    using tsql::TypeId;
    using tsql::Value;
    const auto at = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    struct Case {
        const char* what;
        SqlType type;
        Value value;
        const char* info;
        const char* bytes;
        const char* null;
    };
    const Case cases[] = {
        {"decimal(5,2) 12.50", SqlType::decimal(5, 2),
         Value::decimal(*tsql::Numeric::parse(QStringLiteral("12.50")), 5), "6a 05 05 02", "05 01 e2040000",
         "00"},
        {"decimal(5,2) -0.01", SqlType::decimal(5, 2),
         Value::decimal(*tsql::Numeric::parse(QStringLiteral("-0.01")), 5), "6a 05 05 02", "05 00 01000000",
         "00"},
        {"money -12.34 (as decimal(19,4))", SqlType::of(TypeId::Money),
         [] {
             Value v = Value::decimal(*tsql::Numeric::parse(QStringLiteral("-12.3400")), 19);
             v.type = tsql::SqlType::of(TypeId::Money);
             return v;
         }(),
         "6a 09 13 04", "09 00 08e20100 00000000", "00"},
        {"date 2024-02-29", SqlType::of(TypeId::Date), Value::datetime(at(2024, 2, 29), TypeId::Date), "28",
         "03 80460b", "00"},
        {"datetime2 2024-01-02 10:11:12.345", SqlType::of(TypeId::DateTime2),
         Value::datetime(at(2024, 1, 2, 10, 11, 12, 345), TypeId::DateTime2), "2a 07", "08 90c46b6255 46460b",
         "00"},
        {"nvarchar Ελ", SqlType{TypeId::NVarChar, 0, 0, 10, false}, Value::str(QStringLiteral("Ελ"), true),
         "e7 1400 0904d00034", "0400 9503bb03", "ffff"},
        {"bit 1", SqlType::of(TypeId::Bit), Value::boolean(true), "68 01", "01 01", "00"},
        {"int -2", SqlType::of(TypeId::Int), Value::integer(-2), "26 04", "04 feffffff", "00"},
    };
    for (const Case& c : cases) {
        tsql::ResultSet rs;
        rs.columns << QStringLiteral("c");
        rs.types.push_back(c.type);
        rs.rows.push_back({c.value});
        const auto formats = tds::columnFormats(rs);
        ASSERT_EQ(formats.size(), 1u) << c.what;
        tds::Writer info, value, null;
        tds::writeTypeInfo(info, formats[0]);
        tds::writeValue(value, formats[0], c.value);
        tds::writeValue(null, formats[0], Value::nullOf(c.type));
        EXPECT_EQ(info.data().toHex(' ').toStdString(), hex(c.info).toHex(' ').toStdString()) << c.what;
        EXPECT_EQ(value.data().toHex(' ').toStdString(), hex(c.bytes).toHex(' ').toStdString()) << c.what;
        EXPECT_EQ(null.data().toHex(' ').toStdString(), hex(c.null).toHex(' ').toStdString()) << c.what;
    }
}

// The server's side of ENCRYPTION for every value a client may send, with and without a
// certificate, requiring encryption or not.
TEST(TdsPreLogin, EncryptionTheServerAgreesTo) {
    using tds::Encryption;
    using tds::EncryptionRefusal;
    using tds::TlsMode;
    struct Case {
        std::optional<Encryption> client;
        bool certificate, required;
        tds::EncryptionChoice choice;
    };
    const Case cases[] = {
        // Without a certificate: nothing encrypted; a client that wants it is refused at login.
        {Encryption::Off, false, false, {Encryption::NotSupported, TlsMode::None, EncryptionRefusal::None}},
        {Encryption::NotSupported,
         false,
         false,
         {Encryption::NotSupported, TlsMode::None, EncryptionRefusal::None}},
        {std::nullopt, false, false, {Encryption::NotSupported, TlsMode::None, EncryptionRefusal::None}},
        {Encryption::On,
         false,
         false,
         {Encryption::NotSupported, TlsMode::None, EncryptionRefusal::NoCertificate}},
        {Encryption::Required,
         false,
         false,
         {Encryption::NotSupported, TlsMode::None, EncryptionRefusal::NoCertificate}},
        // With one: the login alone for ENCRYPT_OFF, everything for ENCRYPT_ON.
        {Encryption::Off, true, false, {Encryption::Off, TlsMode::LoginOnly, EncryptionRefusal::None}},
        {std::nullopt, true, false, {Encryption::Off, TlsMode::LoginOnly, EncryptionRefusal::None}},
        {Encryption::NotSupported,
         true,
         false,
         {Encryption::NotSupported, TlsMode::None, EncryptionRefusal::None}},
        {Encryption::On, true, false, {Encryption::On, TlsMode::Full, EncryptionRefusal::None}},
        {Encryption::Required, true, false, {Encryption::On, TlsMode::Full, EncryptionRefusal::None}},
        // Required: everything, and a client that cannot encrypt is refused.
        {Encryption::Off, true, true, {Encryption::Required, TlsMode::Full, EncryptionRefusal::None}},
        {Encryption::NotSupported,
         true,
         true,
         {Encryption::Required, TlsMode::None, EncryptionRefusal::Required}},
        {Encryption::On, true, true, {Encryption::On, TlsMode::Full, EncryptionRefusal::None}},
    };
    for (const Case& c : cases) {
        const auto got = tds::chooseEncryption(c.client, c.certificate, c.required);
        EXPECT_EQ(got, c.choice) << (c.client ? int(*c.client) : -1) << " cert " << c.certificate
                                 << " required " << c.required;
    }
}

TEST(TdsPreLogin, TheAnswerTellsVersionAndEncryption) {
    for (const auto e : {tds::Encryption::Off, tds::Encryption::On, tds::Encryption::NotSupported,
                         tds::Encryption::Required}) {
        const QByteArray answer = tds::preLoginAnswer(e);
        // VERSION 15.0.2000 sub-build 0, then ENCRYPTION, INSTOPT and MARS.
        const QByteArray expected = hex("00 001a 0006 01 0020 0001 02 0021 0001 03 0022 0000 04 0022 0001 ff"
                                        "0f 00 07d0 0000") +
                                    char(e) + hex("00 00");
        EXPECT_EQ(answer.toHex(' ').toStdString(), expected.toHex(' ').toStdString());
        const auto parsed = tds::parsePreLogin(answer);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->encryption, e);
    }
}

} // namespace
