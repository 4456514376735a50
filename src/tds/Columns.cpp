#include "tds/Columns.h"

#include "tds/Tokens.h"
#include "tsql/Session.h"

#include <QUuid>

#include <cstring>

namespace tds {

namespace {

using tsql::TypeId;

int decimalBytes(int precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

// Largest byte length a string column's values take in UCS-2.
qint64 longestString(const tsql::ResultSet& rs, size_t col) {
    qint64 longest = 0;
    for (const auto& row : rs.rows) {
        if (col < row.size() && !row[col].null)
            longest = qMax<qint64>(longest, row[col].s.size() * 2);
    }
    return longest;
}

// The embedded engine keeps every character of its text (SQLite's TEXT is Unicode, whatever the
// declared type), so all character columns travel as Unicode (nchar, nvarchar): as varchar under
// code page 1252 they would lose what the code page lacks.
ColumnFormat stringFormat(const tsql::ResultSet& rs, size_t col, const tsql::SqlType& t) {
    ColumnFormat f;
    const bool fixed = t.id == TypeId::Char || t.id == TypeId::NChar;
    f.wire = fixed ? 0xEF : 0xE7;
    const int declared = t.length > 0 ? t.length * 2 : 0;
    const qint64 longest = longestString(rs, col);
    // A column declared (max), or holding longer values than its declaration (the engine keeps
    // text as it is), goes in chunks.
    if (t.length < 0 || longest > 8000 || declared > 8000) {
        f.wire = 0xE7;
        f.chunked = true;
        f.length = 0xFFFF;
    } else {
        f.length = int(qMax<qint64>(qMax(declared, 2), longest));
        if (fixed && declared < longest)
            f.wire = 0xE7;
    }
    return f;
}

ColumnFormat decimalFormat(const tsql::ResultSet& rs, size_t col, const tsql::SqlType& t) {
    ColumnFormat f;
    f.wire = t.numericName ? 0x6C : 0x6A;
    f.scale = qBound(0, t.scale, 38);
    f.precision = qBound(qMax(1, f.scale), t.precision > 0 ? t.precision : 18, 38);
    // A value wider than the declared precision widens the column rather than being cut.
    for (const auto& row : rs.rows) {
        if (col < row.size() && !row[col].null) {
            const auto scaled = row[col].n.rescaled(f.scale);
            if (scaled && scaled->digits() > f.precision)
                f.precision = 38;
        }
    }
    f.length = decimalBytes(f.precision);
    return f;
}

ColumnFormat formatOf(const tsql::ResultSet& rs, size_t col) {
    const tsql::SqlType t = col < rs.types.size() ? rs.types[col] : tsql::SqlType{};
    ColumnFormat f;
    switch (t.id) {
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
        return stringFormat(rs, col, t);
    case TypeId::Decimal:
        return decimalFormat(rs, col, t);
    case TypeId::Money:
    case TypeId::SmallMoney:
        return decimalFormat(rs, col, tsql::SqlType::decimal(t.id == TypeId::Money ? 19 : 10, 4));
    case TypeId::Bit:
        f.wire = 0x68;
        f.length = 1;
        return f;
    case TypeId::TinyInt:
        f.length = 1;
        return f;
    case TypeId::SmallInt:
        f.length = 2;
        return f;
    case TypeId::BigInt:
        f.length = 8;
        return f;
    case TypeId::Real:
        f.wire = 0x6D;
        f.length = 4;
        return f;
    case TypeId::Float:
        f.wire = 0x6D;
        f.length = 8;
        return f;
    case TypeId::Time:
        f.wire = 0x29; // TIMENTYPE: the scale, then 3 to 5 bytes of units of 10^-scale s
        f.scale = qBound(0, t.scale, 7);
        f.length = f.scale <= 2 ? 3 : f.scale <= 4 ? 4 : 5;
        return f;
    case TypeId::Date:
        f.wire = 0x28;
        f.length = 3;
        return f;
    case TypeId::DateTime2:
        f.wire = 0x2A; // DATETIME2N at scale 7: 5 bytes of 100 ns since midnight, 3 of days
        f.scale = 7;
        f.length = 8;
        return f;
    case TypeId::SmallDateTime:
        f.wire = 0x6F;
        f.length = 4;
        return f;
    case TypeId::DateTime:
        f.wire = 0x6F;
        f.length = 8;
        return f;
    case TypeId::UniqueIdentifier:
        f.wire = 0x24;
        f.length = 16;
        return f;
    case TypeId::Xml:
    case TypeId::XmlNode:
        f.wire = 0xF1;
        f.chunked = true;
        return f;
    case TypeId::Int:
    case TypeId::Unknown:
        return f;
    }
    return f;
}

void writeUnsigned(Writer& w, quint64 v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        w.u8(quint8(v >> (8 * i)));
}

void writeChunked(Writer& w, QByteArrayView bytes) {
    w.u64(quint64(bytes.size()));
    if (!bytes.isEmpty()) {
        w.u32(quint32(bytes.size()));
        w.bytes(bytes);
    }
    w.u32(0);
}

void writeDecimal(Writer& w, const ColumnFormat& f, const tsql::Value& v) {
    const auto scaled = v.n.rescaled(f.scale);
    const __int128 n = scaled ? scaled->v : 0;
    const unsigned __int128 magnitude = n < 0 ? (unsigned __int128)(-(n + 1)) + 1 : (unsigned __int128)n;
    w.u8(quint8(f.length));
    w.u8(n < 0 ? 0 : 1);
    for (int i = 0; i < f.length - 1; ++i)
        w.u8(quint8(magnitude >> (8 * i)));
}

void writeDateTime(Writer& w, const ColumnFormat& f, const tsql::Value& v) {
    const QDateTime dt = v.dt;
    if (f.wire == 0x28) {
        w.u8(3);
        writeUnsigned(w, quint64(DayZero1.daysTo(dt.date())), 3);
        return;
    }
    if (f.wire == 0x2A) {
        w.u8(quint8(f.length));
        writeUnsigned(w, quint64(dt.time().msecsSinceStartOfDay()) * 10000, 5);
        writeUnsigned(w, quint64(DayZero1.daysTo(dt.date())), 3);
        return;
    }
    const qint64 days = DayZero1900.daysTo(dt.date());
    const qint64 ms = dt.time().msecsSinceStartOfDay();
    w.u8(quint8(f.length));
    if (f.length == 4) {
        w.u16(quint16(days));
        w.u16(quint16(ms / 60000));
        return;
    }
    w.u32(quint32(qint32(days)));
    w.u32(quint32((ms * 3 + 5) / 10)); // three hundredths of a second
}

void writeString(Writer& w, const ColumnFormat& f, const tsql::Value& v) {
    QString text = v.s;
    if (f.wire == 0xEF) // nchar(n): padded to its length
        text = text.leftJustified(f.length / 2, u' ');
    const QByteArray bytes = toUcs2(text);
    if (f.chunked) {
        writeChunked(w, bytes);
        return;
    }
    w.u16(quint16(bytes.size()));
    w.bytes(bytes);
}

} // namespace

std::vector<ColumnFormat> columnFormats(const tsql::ResultSet& rs) {
    std::vector<ColumnFormat> out;
    const size_t count = size_t(rs.columns.size());
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
        out.push_back(formatOf(rs, i));
    return out;
}

void writeTypeInfo(Writer& w, const ColumnFormat& f) {
    w.u8(f.wire);
    switch (f.wire) {
    case 0x28:
        return;
    case 0x29:
    case 0x2A:
        w.u8(quint8(f.scale));
        return;
    case 0x6A:
    case 0x6C:
        w.u8(quint8(f.length));
        w.u8(quint8(f.precision));
        w.u8(quint8(f.scale));
        return;
    case 0xA7:
    case 0xAF:
    case 0xE7:
    case 0xEF:
        w.u16(quint16(f.length));
        w.bytes(QByteArrayView(Collation, 5));
        return;
    case 0xF1:
        w.u8(0); // no schema collection
        return;
    default:
        w.u8(quint8(f.length));
        return;
    }
}

void writeValue(Writer& w, const ColumnFormat& f, const tsql::Value& v) {
    if (v.null) {
        if (f.chunked)
            w.u64(~0ULL);
        else if (f.wire == 0xA7 || f.wire == 0xAF || f.wire == 0xE7 || f.wire == 0xEF)
            w.u16(0xFFFF);
        else
            w.u8(0);
        return;
    }
    switch (f.wire) {
    case 0x26:
    case 0x68:
        w.u8(quint8(f.length));
        writeUnsigned(w, quint64(v.i), f.length);
        return;
    case 0x6D:
        w.u8(quint8(f.length));
        if (f.length == 4) {
            const float x = float(v.f);
            quint32 raw;
            std::memcpy(&raw, &x, 4);
            w.u32(raw);
        } else {
            quint64 raw;
            std::memcpy(&raw, &v.f, 8);
            w.u64(raw);
        }
        return;
    case 0x6A:
    case 0x6C:
        writeDecimal(w, f, v);
        return;
    case 0x28:
    case 0x2A:
    case 0x6F:
        writeDateTime(w, f, v);
        return;
    case 0x29: {
        quint64 units = quint64(v.i);
        for (int k = f.scale; k < 7; ++k)
            units /= 10;
        w.u8(quint8(f.length));
        writeUnsigned(w, units, f.length);
        return;
    }
    case 0x24: {
        w.u8(16);
        w.bytes(swapGuidOrder(QUuid::fromString(v.s).toRfc4122()));
        return;
    }
    case 0xF1:
        writeChunked(w, toUcs2(v.s));
        return;
    default:
        writeString(w, f, v);
        return;
    }
}

} // namespace tds
