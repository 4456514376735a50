#pragma once

// Byte-level reading and writing of TDS data: little-endian integers, UCS-2 text and the
// length-prefixed strings of the token stream. The reader never reads past its buffer: a read
// beyond the end marks it failed and returns zeros, so a parser checks ok() once at the end.

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

namespace tds {

class Reader {
public:
    explicit Reader(QByteArrayView data)
        : m_data(data) {}

    bool ok() const { return m_ok; }
    qsizetype remaining() const { return m_ok ? m_data.size() - m_pos : 0; }
    bool atEnd() const { return remaining() == 0; }

    quint8 u8();
    quint16 u16();
    quint32 u32();
    quint64 u64();
    quint16 u16be();
    quint32 u32be();
    QByteArrayView bytes(qsizetype n);
    void skip(qsizetype n) { bytes(n); }
    // `chars` UTF-16 code units.
    QString ucs2(qsizetype chars);
    // A string with a one-byte (B_VARCHAR) or two-byte (US_VARCHAR) count of characters.
    QString bVarchar() { return ucs2(u8()); }
    QString usVarchar() { return ucs2(u16()); }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

class Writer {
public:
    QByteArray& data() { return m_data; }
    const QByteArray& data() const { return m_data; }
    qsizetype size() const { return m_data.size(); }

    void u8(quint8 v) { m_data.append(char(v)); }
    void u16(quint16 v);
    void u32(quint32 v);
    void u64(quint64 v);
    void u16be(quint16 v);
    void u32be(quint32 v);
    void bytes(QByteArrayView b) { m_data.append(b.data(), b.size()); }
    void ucs2(const QString& s);
    // B_VARCHAR and US_VARCHAR: the count of UTF-16 code units, truncated to what fits.
    void bVarchar(const QString& s);
    void usVarchar(const QString& s);
    // Overwrites two bytes at `at` (a length written once the data after it is known).
    void patchU16(qsizetype at, quint16 v);

private:
    QByteArray m_data;
};

// The first day of the day counts: datetime and smalldatetime count from 1900-01-01, date and
// datetime2 from 0001-01-01.
inline const QDate DayZero1900(1900, 1, 1);
inline const QDate DayZero1(1, 1, 1);

// A uniqueidentifier keeps its first three groups little-endian on the wire: the same reordering
// of its 16 bytes turns RFC 4122 order into the wire's and back.
QByteArray swapGuidOrder(QByteArrayView sixteen);

QByteArray toUcs2(const QString& s);
QString fromUcs2(QByteArrayView bytes);

// Windows code page 1252, the code page of the server's collation (the text of varchar
// parameters).
QString fromCp1252(QByteArrayView bytes);

} // namespace tds
