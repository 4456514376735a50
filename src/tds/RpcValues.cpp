#include "tds/RpcValues.h"

#include "tds/Wire.h"
#include "tsql/sql/SqlText.h"

#include <QDateTime>
#include <QUuid>

#include <cstring>

namespace tds {

namespace {

// The most bytes one parameter value may hold (a (max) value sent in chunks included).
constexpr quint64 MaxValueBytes = 64ULL << 20;

QString hexLiteral(QByteArrayView b) {
    return QStringLiteral("0x") + QString::fromLatin1(b.toByteArray().toHex().toUpper());
}

// An unsigned integer of the bytes, least significant first.
template <typename T = quint64> T littleEndian(QByteArrayView b) {
    T v = 0;
    for (qsizetype i = b.size() - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[i]);
    return v;
}

QString decimalText(bool positive, unsigned __int128 v, int scale) {
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(v % 10)));
        v /= 10;
    } while (v != 0);
    while (digits.size() <= scale)
        digits.prepend(u'0');
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    return positive ? digits : u'-' + digits;
}

QString floatText(double d) {
    QString t = QString::number(d, 'g', 17);
    if (!t.contains(u'e') && !t.contains(u'E'))
        t += QStringLiteral("E0");
    return t;
}

QString dateTimeText(const QDateTime& dt, bool withTime) {
    return u'\'' +
           dt.toString(withTime ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd")) +
           u'\'';
}

qint64 signedOf(quint64 v, int bytes) {
    const int bits = bytes * 8;
    if (bits < 64 && (v & (1ULL << (bits - 1))))
        return qint64(v) - qint64(1ULL << bits);
    return qint64(v);
}

struct TypeInfo {
    quint8 type = 0;
    int scale = 0;
};

// The literal of a value of fixed or byte-counted length.
std::optional<QString> fixedLiteral(const TypeInfo& t, QByteArrayView b, RpcParameter& p) {
    const int n = int(b.size());
    switch (t.type) {
    case 0x30:
    case 0x32:
    case 0x34:
    case 0x38:
    case 0x7F:
    case 0x26:
    case 0x68: {
        // TINYINT, BIT, SMALLINT, INT, BIGINT, INTN, BITN
        if (n != 1 && n != 2 && n != 4 && n != 8)
            return std::nullopt;
        const quint64 raw = littleEndian(b);
        const qint64 v = n == 1 ? qint64(raw) : signedOf(raw, n);
        p.integer = v;
        return QString::number(v);
    }
    case 0x3B:
    case 0x3E:
    case 0x6D: { // REAL, FLOAT, FLTN
        if (n == 4) {
            const quint32 raw = quint32(littleEndian(b));
            float f;
            std::memcpy(&f, &raw, 4);
            return floatText(f);
        }
        if (n != 8)
            return std::nullopt;
        const quint64 raw = littleEndian(b);
        double d;
        std::memcpy(&d, &raw, 8);
        return floatText(d);
    }
    case 0x3C:
    case 0x7A:
    case 0x6E: { // MONEY, SMALLMONEY, MONEYN
        qint64 v;
        if (n == 4)
            v = signedOf(littleEndian(b), 4);
        else if (n == 8)
            v = qint64((littleEndian(b.first(4)) << 32) | littleEndian(b.sliced(4)));
        else
            return std::nullopt;
        return decimalText(v >= 0, v < 0 ? quint64(-(v + 1)) + 1 : quint64(v), 4);
    }
    case 0x37:
    case 0x3F:
    case 0x6A:
    case 0x6C: { // DECIMAL, NUMERIC (N)
        if (n < 2 || n > 17 || t.scale > 38)
            return std::nullopt;
        return decimalText(b[0] != 0, littleEndian<unsigned __int128>(b.sliced(1)), t.scale);
    }
    case 0x3A:
    case 0x3D:
    case 0x6F: { // SMALLDATETIME, DATETIME, DATETIMN
        if (n == 4) {
            const QDateTime dt(DayZero1900.addDays(littleEndian(b.first(2))),
                               QTime(0, 0).addSecs(int(littleEndian(b.sliced(2))) * 60), Qt::UTC);
            return dateTimeText(dt, true);
        }
        if (n != 8)
            return std::nullopt;
        const qint64 days = signedOf(littleEndian(b.first(4)), 4);
        const qint64 ticks = qint64(littleEndian(b.sliced(4)));
        const QDateTime dt(DayZero1900.addDays(days), QTime(0, 0).addMSecs(int((ticks * 10 + 1) / 3)),
                           Qt::UTC);
        return dateTimeText(dt, true);
    }
    case 0x28: // DATEN
        if (n != 3)
            return std::nullopt;
        return dateTimeText(QDateTime(DayZero1.addDays(qint64(littleEndian(b))), QTime(0, 0), Qt::UTC),
                            false);
    case 0x2A: { // DATETIME2N: time in units of 10^-scale s, then the day
        if (n < 6 || n > 8 || t.scale > 7)
            return std::nullopt;
        quint64 units = littleEndian(b.first(n - 3));
        for (int s = t.scale; s < 7; ++s)
            units *= 10;
        const QDateTime dt(DayZero1.addDays(qint64(littleEndian(b.sliced(n - 3)))),
                           QTime(0, 0).addMSecs(int((units / 10000) % 86400000)), Qt::UTC);
        return dateTimeText(dt, true);
    }
    case 0x24: { // GUID: the first three groups little-endian
        if (n != 16)
            return std::nullopt;
        return u'\'' + QUuid::fromRfc4122(swapGuidOrder(b)).toString(QUuid::WithoutBraces).toUpper() + u'\'';
    }
    default:
        return std::nullopt;
    }
}

// A value sent in chunks (PLP): total length, then chunks up to a chunk of length 0.
std::optional<QByteArray> readPlp(Reader& r, bool& isNull) {
    const quint64 total = r.u64();
    isNull = total == ~0ULL;
    QByteArray out;
    if (isNull)
        return out;
    if (total != ~0ULL - 1 && total > MaxValueBytes)
        return std::nullopt;
    for (;;) {
        const quint32 chunk = r.u32();
        if (!r.ok() || quint64(out.size()) + chunk > MaxValueBytes)
            return std::nullopt;
        if (chunk == 0)
            return out;
        const QByteArrayView b = r.bytes(chunk);
        if (!r.ok())
            return std::nullopt;
        out.append(b.data(), b.size());
    }
}

bool isCharType(quint8 type) {
    return type == 0xA7 || type == 0xAF || type == 0xE7 || type == 0xEF || type == 0x23 || type == 0x63 ||
           type == 0xF1;
}

bool isUnicodeType(quint8 type) {
    return type == 0xE7 || type == 0xEF || type == 0x63 || type == 0xF1;
}

// The literal of a character or binary value.
QString bytesLiteral(quint8 type, QByteArrayView b, RpcParameter& p) {
    if (!isCharType(type))
        return hexLiteral(b);
    const QString s = isUnicodeType(type) ? fromUcs2(b) : fromCp1252(b);
    p.text = s;
    return u'N' + tsql::quoteString(s);
}

// A value sent in chunks, or NULL.
bool readPlpValue(Reader& r, quint8 type, RpcParameter& p) {
    bool isNull = false;
    const auto b = readPlp(r, isNull);
    if (!b)
        return false;
    p.literal = isNull ? QStringLiteral("NULL") : bytesLiteral(type, *b, p);
    return r.ok();
}

bool readVariableLength(Reader& r, quint8 type, RpcParameter& p) {
    const quint16 maxLength = r.u16();
    if (isCharType(type))
        r.skip(5); // collation
    if (maxLength == 0xFFFF)
        return readPlpValue(r, type, p);
    const quint16 length = r.u16();
    if (length == 0xFFFF) {
        p.literal = QStringLiteral("NULL");
        return r.ok();
    }
    const QByteArrayView b = r.bytes(length);
    if (!r.ok())
        return false;
    p.literal = bytesLiteral(type, b, p);
    return true;
}

bool readLongLength(Reader& r, quint8 type, RpcParameter& p) {
    r.u32(); // maximum length
    if (type != 0x22)
        r.skip(5); // collation of text and ntext
    const quint32 length = r.u32();
    if (length == 0xFFFFFFFF) {
        p.literal = QStringLiteral("NULL");
        return r.ok();
    }
    if (length > MaxValueBytes)
        return false;
    const QByteArrayView b = r.bytes(length);
    if (!r.ok())
        return false;
    p.literal = bytesLiteral(type, b, p);
    return true;
}

// A value of `length` bytes of a fixed or byte-counted type.
bool readFixedValue(Reader& r, const TypeInfo& t, qsizetype length, RpcParameter& p) {
    const QByteArrayView b = r.bytes(length);
    const auto lit = r.ok() ? fixedLiteral(t, b, p) : std::nullopt;
    p.literal = lit.value_or(QString());
    return lit.has_value();
}

int fixedLength(quint8 type) {
    switch (type) {
    case 0x1F:
        return 0; // NULLTYPE
    case 0x30:
    case 0x32:
        return 1;
    case 0x34:
        return 2;
    case 0x38:
    case 0x3A:
    case 0x3B:
    case 0x7A:
        return 4;
    case 0x3C:
    case 0x3D:
    case 0x3E:
    case 0x7F:
        return 8;
    default:
        return -1;
    }
}

} // namespace

bool readParameterValue(Reader& r, RpcParameter& p) {
    TypeInfo t;
    t.type = r.u8();
    if (!r.ok())
        return false;
    if (const int fixed = fixedLength(t.type); fixed >= 0) {
        if (fixed == 0) {
            p.literal = QStringLiteral("NULL");
            return true;
        }
        return readFixedValue(r, t, fixed, p);
    }
    switch (t.type) {
    case 0x24:
    case 0x26:
    case 0x68:
    case 0x6D:
    case 0x6E:
    case 0x6F: // byte-counted
    case 0x37:
    case 0x3F:
    case 0x6A:
    case 0x6C:
    case 0x28:
    case 0x2A: {
        if (t.type != 0x28 && t.type != 0x2A)
            r.skip(1); // maximum length
        if (t.type == 0x37 || t.type == 0x3F || t.type == 0x6A || t.type == 0x6C) {
            r.skip(1); // precision
            t.scale = r.u8();
        }
        if (t.type == 0x2A)
            t.scale = r.u8();
        const quint8 length = r.u8();
        if (!r.ok())
            return false;
        if (length == 0) {
            p.literal = QStringLiteral("NULL");
            return true;
        }
        return readFixedValue(r, t, length, p);
    }
    case 0xA5:
    case 0xA7:
    case 0xAD:
    case 0xAF:
    case 0xE7:
    case 0xEF:
        return readVariableLength(r, t.type, p);
    case 0x22:
    case 0x23:
    case 0x63:
        return readLongLength(r, t.type, p);
    case 0xF1: { // XML: no schema collection taken
        if (r.u8() != 0)
            return false;
        return readPlpValue(r, t.type, p);
    }
    default:
        return false;
    }
}

} // namespace tds
