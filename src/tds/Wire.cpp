#include "tds/Wire.h"

#include <QtEndian>

namespace tds {

namespace {

// The characters of code page 1252 at 0x80-0x9F (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

quint8 Reader::u8() {
    const QByteArrayView b = bytes(1);
    return b.isEmpty() ? 0 : quint8(b[0]);
}

quint16 Reader::u16() {
    const QByteArrayView b = bytes(2);
    return b.size() < 2 ? 0 : quint16(quint8(b[0]) | (quint8(b[1]) << 8));
}

quint32 Reader::u32() {
    const quint32 lo = u16();
    return lo | (quint32(u16()) << 16);
}

quint64 Reader::u64() {
    const quint64 lo = u32();
    return lo | (quint64(u32()) << 32);
}

quint16 Reader::u16be() {
    const QByteArrayView b = bytes(2);
    return b.size() < 2 ? 0 : quint16((quint8(b[0]) << 8) | quint8(b[1]));
}

quint32 Reader::u32be() {
    const quint32 hi = u16be();
    return (hi << 16) | u16be();
}

QByteArrayView Reader::bytes(qsizetype n) {
    if (!m_ok || n < 0 || n > m_data.size() - m_pos) {
        m_ok = false;
        return {};
    }
    const QByteArrayView out = m_data.sliced(m_pos, n);
    m_pos += n;
    return out;
}

QString Reader::ucs2(qsizetype chars) {
    if (chars < 0 || chars > (m_data.size() - m_pos) / 2) {
        m_ok = false;
        return {};
    }
    return fromUcs2(bytes(chars * 2));
}

void Writer::u16(quint16 v) {
    u8(quint8(v));
    u8(quint8(v >> 8));
}

void Writer::u32(quint32 v) {
    u16(quint16(v));
    u16(quint16(v >> 16));
}

void Writer::u64(quint64 v) {
    u32(quint32(v));
    u32(quint32(v >> 32));
}

void Writer::u16be(quint16 v) {
    u8(quint8(v >> 8));
    u8(quint8(v));
}

void Writer::u32be(quint32 v) {
    u16be(quint16(v >> 16));
    u16be(quint16(v));
}

void Writer::ucs2(const QString& s) {
    if (s.isEmpty())
        return;
    const qsizetype at = m_data.size();
    m_data.resize(at + s.size() * 2);
    qToLittleEndian<quint16>(s.utf16(), s.size(), m_data.data() + at);
}

void Writer::bVarchar(const QString& s) {
    const QString t = s.left(255);
    u8(quint8(t.size()));
    ucs2(t);
}

void Writer::usVarchar(const QString& s) {
    const QString t = s.left(65535);
    u16(quint16(t.size()));
    ucs2(t);
}

void Writer::patchU16(qsizetype at, quint16 v) {
    m_data[at] = char(v & 0xFF);
    m_data[at + 1] = char(v >> 8);
}

QByteArray swapGuidOrder(QByteArrayView sixteen) {
    QByteArray out;
    out.reserve(16);
    for (const int i : {3, 2, 1, 0, 5, 4, 7, 6})
        out.append(sixteen[i]);
    out.append(sixteen.sliced(8));
    return out;
}

QByteArray toUcs2(const QString& s) {
    Writer w;
    w.ucs2(s);
    return w.data();
}

QString fromUcs2(QByteArrayView bytes) {
    // An empty view may have no data at all: nothing to copy from it.
    if (bytes.size() < 2)
        return {};
    QString s(bytes.size() / 2, Qt::Uninitialized);
    qFromLittleEndian<quint16>(bytes.data(), s.size(), s.data());
    return s;
}

QString fromCp1252(QByteArrayView bytes) {
    QString s;
    s.reserve(bytes.size());
    for (const char b : bytes) {
        const quint8 u = quint8(b);
        if (u >= 0x80 && u < 0xA0)
            s.append(QChar(kCp1252High[u - 0x80] ? kCp1252High[u - 0x80] : char16_t(u)));
        else
            s.append(QChar(char16_t(u)));
    }
    return s;
}

} // namespace tds
