#pragma once

// Client messages as a TDS client writes them, for the parser tests.

#include "tds/Wire.h"

#include <QStringList>

namespace tds_test {

inline QByteArray ucs2(const QString& s) {
    return tds::toUcs2(s);
}

// PRELOGIN with VERSION and ENCRYPTION (value `encryption`).
inline QByteArray preLogin(quint8 encryption) {
    tds::Writer w;
    w.u8(0x00);
    w.u16be(11);
    w.u16be(6);
    w.u8(0x01);
    w.u16be(17);
    w.u16be(1);
    w.u8(0xFF);
    w.bytes(QByteArray("\x10\x00\x03\xe8\x00\x00", 6));
    w.u8(encryption);
    return w.data();
}

// LOGIN7 of TDS 7.4 with the strings host, user, password, app, server, (extension), client
// interface, language, database; the password obfuscated as clients do.
inline QByteArray login7(const QString& user, const QString& password, const QString& database) {
    const QStringList strings = {QStringLiteral("host"),
                                 user,
                                 password,
                                 QStringLiteral("app"),
                                 QStringLiteral("srv"),
                                 QString(),
                                 QStringLiteral("ODBC"),
                                 QStringLiteral("us_english"),
                                 database};
    constexpr int FixedSize = 94;
    tds::Writer table, data;
    for (qsizetype i = 0; i < strings.size(); ++i) {
        if (i == 5) {
            table.u32(0); // extension offset
            continue;
        }
        QByteArray bytes = ucs2(strings.at(i));
        if (i == 2) {
            for (char& c : bytes) {
                const quint8 b = quint8(c);
                c = char(quint8(((b << 4) | (b >> 4)) ^ 0xA5));
            }
        }
        table.u16(quint16(FixedSize + data.size()));
        table.u16(quint16(strings.at(i).size()));
        data.bytes(bytes);
    }
    table.bytes(QByteArray(6, '\0')); // client id
    for (int i = 0; i < 6; ++i)
        table.u16(0); // SSPI, attach file, change password
    table.u32(0);     // long SSPI
    tds::Writer w;
    w.u32(quint32(FixedSize + data.size()));
    w.u32(0x74000004);
    w.u32(4096);
    w.u32(7);
    w.u32(1);
    w.u32(0);
    w.u16(0x03E0);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.u32(0x409);
    w.bytes(table.data());
    w.bytes(data.data());
    return w.data();
}

// An RPC message: ALL_HEADERS of its own length only, sp_executesql by number and `params`.
inline QByteArray rpc(const QByteArray& params) {
    tds::Writer w;
    w.u32(4);
    w.u16(0xFFFF);
    w.u16(10);
    w.u16(0);
    w.bytes(params);
    return w.data();
}

// A positional NVARCHAR parameter of up to 4000 characters.
inline QByteArray nvarcharParam(const QString& value) {
    tds::Writer w;
    w.u8(0);                                        // no name
    w.u8(0);                                        // status
    w.u8(0xE7);                                     // NVARCHAR
    w.u16(8000);                                    // maximum length
    w.bytes(QByteArray("\x09\x04\xd0\x00\x34", 5)); // collation
    const QByteArray bytes = ucs2(value);
    w.u16(quint16(bytes.size()));
    w.bytes(bytes);
    return w.data();
}

inline QByteArray intParam(const QString& name, qint32 value) {
    tds::Writer w;
    w.u8(quint8(name.size()));
    w.ucs2(name);
    w.u8(0);
    w.u8(0x26);
    w.u8(4);
    w.u8(4);
    w.u32(quint32(value));
    return w.data();
}

} // namespace tds_test
