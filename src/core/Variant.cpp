#include "core/Variant.h"

#include "core/Error.h"

#include <QDebug>
#include <QMetaType>

#include <charconv>
#include <cmath>
#include <limits>

namespace core {

namespace {

constexpr double kTwoPow63 = 9223372036854775808.0;

// A double as the platform's CStr writes it: 15 significant digits, no trailing zeros,
// exponent form ("1E+20", "1E-05") outside the range that plain digits show well.
QString formatDouble(double v) {
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (v == 0)
        return QStringLiteral("0");
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    QString out = QString::fromLatin1(buf, res.ptr - buf);
    out.replace(u'e', u'E');
    return out;
}

bool parseBoolText(const QString& s, bool* ok) {
    const QString t = s.trimmed();
    *ok = true;
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    *ok = false;
    return false;
}

[[maybe_unused]] const bool s_metaTypesRegistered = (registerMetaTypes(), true);

} // namespace

void registerMetaTypes() {
    qRegisterMetaType<core::Decimal>();
    qRegisterMetaType<core::Variant>();
}

Variant Variant::null() {
    Variant v;
    v.m_value = NullTag{};
    return v;
}

Variant Variant::fromBool(bool b) {
    Variant v;
    v.m_value = b;
    return v;
}

Variant Variant::fromInt16(std::int16_t i) {
    Variant v;
    v.m_value = Int16{i};
    return v;
}

Variant Variant::fromInt32(std::int32_t i) {
    Variant v;
    v.m_value = i;
    return v;
}

Variant Variant::fromInt64(std::int64_t i) {
    Variant v;
    v.m_value = i;
    return v;
}

Variant Variant::fromDouble(double d) {
    Variant v;
    v.m_value = d;
    return v;
}

Variant Variant::fromDecimal(const Decimal& d) {
    Variant v;
    v.m_value = d;
    return v;
}

Variant Variant::fromString(const QString& s) {
    Variant v;
    v.m_value = s;
    return v;
}

Variant Variant::fromObject(QObject* o) {
    Variant v;
    v.m_value = ObjRef{QPointer<QObject>(o)};
    return v;
}

VarType Variant::type() const {
    switch (m_value.index()) {
    case 0:
        return VarType::Empty;
    case 1:
        return VarType::Null;
    case 2:
        return VarType::Boolean;
    case 3:
        return VarType::Integer;
    case 4:
        return VarType::Long;
    case 5:
        return VarType::LongLong;
    case 6:
        return VarType::Double;
    case 7:
        return VarType::Decimal;
    case 8:
        return VarType::String;
    default:
        return VarType::Object;
    }
}

bool Variant::isNumeric() const {
    switch (type()) {
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong:
    case VarType::Double:
    case VarType::Decimal:
        return true;
    default:
        return false;
    }
}

bool Variant::isNothing() const {
    const auto* o = std::get_if<ObjRef>(&m_value);
    return o && o->p.isNull();
}

void Variant::raiseObjectConversion() const {
    raiseError(isNothing() ? err::ObjectVariableNotSet : err::TypeMismatch);
}

bool Variant::toBool() const {
    switch (type()) {
    case VarType::Empty:
        return false;
    case VarType::Null:
        raiseError(err::InvalidUseOfNull);
    case VarType::Boolean:
        return std::get<bool>(m_value);
    case VarType::Integer:
        return std::get<Int16>(m_value).v != 0;
    case VarType::Long:
        return std::get<std::int32_t>(m_value) != 0;
    case VarType::LongLong:
        return std::get<std::int64_t>(m_value) != 0;
    case VarType::Double:
        return std::get<double>(m_value) != 0;
    case VarType::Decimal:
        return !std::get<Decimal>(m_value).isZero();
    case VarType::String: {
        const QString& s = std::get<QString>(m_value);
        bool ok = false;
        const bool b = parseBoolText(s, &ok);
        if (ok)
            return b;
        bool overflow = false;
        if (const auto d = parseDoubleLocale(s, &overflow))
            return *d != 0;
        if (overflow)
            return true; // a number too large for a double is still not zero
        raiseError(err::TypeMismatch);
    }
    case VarType::Object:
        break;
    }
    raiseObjectConversion();
}

std::int64_t Variant::toRangedInt(std::int64_t lo, std::int64_t hi) const {
    auto checked = [&](std::int64_t v) {
        if (v < lo || v > hi)
            raiseError(err::Overflow);
        return v;
    };
    auto fromDecimal = [&](const Decimal& d) {
        const auto r = d.toInt64Rounded();
        if (!r)
            raiseError(err::Overflow);
        return checked(*r);
    };
    switch (type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        raiseError(err::InvalidUseOfNull);
    case VarType::Boolean:
        return std::get<bool>(m_value) ? -1 : 0;
    case VarType::Integer:
        return checked(std::get<Int16>(m_value).v);
    case VarType::Long:
        return checked(std::get<std::int32_t>(m_value));
    case VarType::LongLong:
        return checked(std::get<std::int64_t>(m_value));
    case VarType::Double: {
        // nearbyint rounds half to even in the default rounding mode, as CInt and CLng do.
        const double r = std::nearbyint(std::get<double>(m_value));
        if (!(r >= -kTwoPow63 && r < kTwoPow63))
            raiseError(err::Overflow);
        return checked(static_cast<std::int64_t>(r));
    }
    case VarType::Decimal:
        return fromDecimal(std::get<Decimal>(m_value));
    case VarType::String: {
        bool overflow = false;
        if (const auto d = Decimal::parseLocale(std::get<QString>(m_value), &overflow))
            return fromDecimal(*d);
        raiseError(overflow ? err::Overflow : err::TypeMismatch);
    }
    case VarType::Object:
        break;
    }
    raiseObjectConversion();
}

std::int16_t Variant::toInt16() const {
    return static_cast<std::int16_t>(
        toRangedInt(std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int32_t Variant::toInt32() const {
    return static_cast<std::int32_t>(
        toRangedInt(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t Variant::toInt64() const {
    return toRangedInt(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

double Variant::toDouble() const {
    switch (type()) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        raiseError(err::InvalidUseOfNull);
    case VarType::Boolean:
        return std::get<bool>(m_value) ? -1 : 0;
    case VarType::Integer:
        return std::get<Int16>(m_value).v;
    case VarType::Long:
        return std::get<std::int32_t>(m_value);
    case VarType::LongLong:
        return static_cast<double>(std::get<std::int64_t>(m_value));
    case VarType::Double:
        return std::get<double>(m_value);
    case VarType::Decimal:
        return std::get<Decimal>(m_value).toDouble();
    case VarType::String: {
        bool overflow = false;
        if (const auto d = parseDoubleLocale(std::get<QString>(m_value), &overflow))
            return *d;
        raiseError(overflow ? err::Overflow : err::TypeMismatch);
    }
    case VarType::Object:
        break;
    }
    raiseObjectConversion();
}

Decimal Variant::toDecimal() const {
    switch (type()) {
    case VarType::Empty:
        return Decimal();
    case VarType::Null:
        raiseError(err::InvalidUseOfNull);
    case VarType::Boolean:
        return Decimal::fromInt64(std::get<bool>(m_value) ? -1 : 0);
    case VarType::Integer:
        return Decimal::fromInt64(std::get<Int16>(m_value).v);
    case VarType::Long:
        return Decimal::fromInt64(std::get<std::int32_t>(m_value));
    case VarType::LongLong:
        return Decimal::fromInt64(std::get<std::int64_t>(m_value));
    case VarType::Double: {
        const auto d = Decimal::fromDouble(std::get<double>(m_value));
        if (!d)
            raiseError(err::Overflow);
        return *d;
    }
    case VarType::Decimal:
        return std::get<Decimal>(m_value);
    case VarType::String: {
        bool overflow = false;
        if (const auto d = Decimal::parseLocale(std::get<QString>(m_value), &overflow))
            return *d;
        raiseError(overflow ? err::Overflow : err::TypeMismatch);
    }
    case VarType::Object:
        break;
    }
    raiseObjectConversion();
}

QString Variant::toString() const {
    switch (type()) {
    case VarType::Empty:
        return QString();
    case VarType::Null:
        raiseError(err::InvalidUseOfNull);
    case VarType::Boolean:
        return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Integer:
        return QString::number(std::get<Int16>(m_value).v);
    case VarType::Long:
        return QString::number(std::get<std::int32_t>(m_value));
    case VarType::LongLong:
        return QString::number(std::get<std::int64_t>(m_value));
    case VarType::Double:
        return formatDouble(std::get<double>(m_value));
    case VarType::Decimal:
        return std::get<Decimal>(m_value).normalized().toString();
    case VarType::String:
        return std::get<QString>(m_value);
    case VarType::Object:
        break;
    }
    raiseObjectConversion();
}

QObject* Variant::toObject() const {
    if (const auto* o = std::get_if<ObjRef>(&m_value))
        return o->p.data();
    raiseError(err::TypeMismatch);
}

bool Variant::equals(const Variant& o) const {
    const VarType ta = type();
    const VarType tb = o.type();
    if (ta == VarType::Null || tb == VarType::Null)
        return false;
    if (ta == VarType::Object || tb == VarType::Object)
        return ta == tb && toObject() == o.toObject();
    if (ta == VarType::String || tb == VarType::String) {
        // Texts compare exactly; Empty equals ""; a number never equals a text, since the
        // platform orders numeric variants before text variants.
        if (ta == VarType::Empty)
            return o.stringValue()->isEmpty();
        if (tb == VarType::Empty)
            return stringValue()->isEmpty();
        if (ta != tb)
            return false;
        return *stringValue() == *o.stringValue();
    }
    // Both numeric or Empty (which counts as 0).
    if (ta == VarType::Double || tb == VarType::Double)
        return toDouble() == o.toDouble();
    if (ta == VarType::Decimal || tb == VarType::Decimal)
        return toDecimal() == o.toDecimal();
    return toInt64() == o.toInt64();
}

bool operator==(const Variant& a, const Variant& b) {
    return a.m_value == b.m_value;
}

QVariant Variant::toQVariant() const {
    switch (type()) {
    case VarType::Empty:
        return QVariant();
    case VarType::Null:
        return QVariant::fromValue(nullptr);
    case VarType::Boolean:
        return QVariant(std::get<bool>(m_value));
    case VarType::Integer:
        return QVariant::fromValue<qint16>(std::get<Int16>(m_value).v);
    case VarType::Long:
        return QVariant(static_cast<int>(std::get<std::int32_t>(m_value)));
    case VarType::LongLong:
        return QVariant(static_cast<qlonglong>(std::get<std::int64_t>(m_value)));
    case VarType::Double:
        return QVariant(std::get<double>(m_value));
    case VarType::Decimal:
        return QVariant::fromValue(std::get<Decimal>(m_value));
    case VarType::String:
        return QVariant(std::get<QString>(m_value));
    case VarType::Object:
        break;
    }
    return QVariant::fromValue(std::get<ObjRef>(m_value).p.data());
}

Variant Variant::fromQVariant(const QVariant& v) {
    if (!v.isValid())
        return Variant();
    const QMetaType mt = v.metaType();
    if (mt.flags().testFlag(QMetaType::PointerToQObject))
        return fromObject(v.value<QObject*>());
    if (mt == QMetaType::fromType<Variant>())
        return v.value<Variant>();
    if (mt == QMetaType::fromType<Decimal>())
        return fromDecimal(v.value<Decimal>());
    if (mt.id() == QMetaType::Nullptr || v.isNull())
        return null(); // also a typed SQL NULL
    switch (mt.id()) {
    case QMetaType::Bool:
        return fromBool(v.toBool());
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
        return fromInt16(static_cast<std::int16_t>(v.toInt()));
    case QMetaType::UShort:
    case QMetaType::Int:
        return fromInt32(v.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return fromInt64(v.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u <= static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max()))
            return fromInt64(static_cast<std::int64_t>(u));
        return fromDecimal(Decimal::fromUInt64(u));
    }
    case QMetaType::Float:
    case QMetaType::Double:
        return fromDouble(v.toDouble());
    case QMetaType::QString:
        return fromString(v.toString());
    case QMetaType::QByteArray:
        return fromString(QString::fromUtf8(v.toByteArray()));
    default:
        break;
    }
    if (v.canConvert<QString>())
        return fromString(v.toString());
    raiseError(err::TypeMismatch);
}

QString Variant::typeName() const {
    switch (type()) {
    case VarType::Empty:
        return QStringLiteral("Empty");
    case VarType::Null:
        return QStringLiteral("Null");
    case VarType::Boolean:
        return QStringLiteral("Boolean");
    case VarType::Integer:
        return QStringLiteral("Integer");
    case VarType::Long:
        return QStringLiteral("Long");
    case VarType::LongLong:
        return QStringLiteral("LongLong");
    case VarType::Double:
        return QStringLiteral("Double");
    case VarType::Decimal:
        return QStringLiteral("Decimal");
    case VarType::String:
        return QStringLiteral("String");
    case VarType::Object:
        break;
    }
    const QObject* o = std::get<ObjRef>(m_value).p.data();
    return o ? QString::fromLatin1(o->metaObject()->className()) : QStringLiteral("Nothing");
}

QDebug operator<<(QDebug dbg, const Variant& v) {
    QDebugStateSaver saver(dbg);
    dbg.nospace() << "Variant(" << v.typeName();
    if (v.type() != VarType::Empty && v.type() != VarType::Null && v.type() != VarType::Object)
        dbg << ", " << v.toString();
    dbg << ')';
    return dbg;
}

} // namespace core
