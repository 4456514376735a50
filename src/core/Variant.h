#pragma once

#include "core/Decimal.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <variant>

namespace core {

// The OLE Automation variant kinds the system uses. Empty (never assigned) and Null
// (no valid data) are distinct.
enum class VarType { Empty, Null, Boolean, Integer, Long, LongLong, Double, Decimal, String, Object };

// A late-bound value with the platform's conversion rules. Object holds a non-owning
// reference to a QObject (a null reference is "Nothing"); the host owns what it hands over.
class Variant {
public:
    Variant() = default; // Empty
    static Variant null();
    static Variant fromBool(bool v);
    static Variant fromInt16(std::int16_t v);
    static Variant fromInt32(std::int32_t v);
    static Variant fromInt64(std::int64_t v);
    static Variant fromDouble(double v);
    static Variant fromDecimal(const Decimal& v);
    static Variant fromString(const QString& v);
    static Variant fromObject(QObject* v); // a null pointer gives an Object variant that is Nothing

    Variant(const QString& s)
        : m_value(s) {} // NOLINT: texts are used everywhere
    Variant(const char* s)
        : m_value(QString::fromUtf8(s)) {} // NOLINT

    VarType type() const;
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isNull() const { return type() == VarType::Null; }
    bool isNumeric() const; // Boolean, integer kinds, Double, Decimal
    bool isObject() const { return type() == VarType::Object; }
    bool isNothing() const; // Object kind with a null reference

    // Conversions with the platform's rules; they throw ComError (13 type mismatch,
    // 6 overflow, 94 invalid use of Null) where the platform raises.
    bool toBool() const;          // CBool
    std::int16_t toInt16() const; // CInt (banker's rounding)
    std::int32_t toInt32() const; // CLng
    std::int64_t toInt64() const;
    double toDouble() const;   // CDbl
    Decimal toDecimal() const; // CDec (texts parsed with the regional settings)
    // CStr: Empty gives "", Null raises, True gives "True". Numbers are written with '.' whatever
    // the regional settings, so that they can go into SQL text: a Double with 15 significant
    // digits ("0.1", "0.3" for 0.1 + 0.2, "1E+20", "1E-05"), a Decimal without trailing zeros.
    QString toString() const;
    QObject* toObject() const; // Object kind only (type mismatch otherwise)

    // Raw access without conversion (for the kind that type() reports).
    const QString* stringValue() const { return std::get_if<QString>(&m_value); }

    // Comparison as the platform's '=' does for the kinds the system compares: numbers by
    // value, texts exactly, Empty equal to 0 and to "", objects by identity.
    // Comparing with Null never gives true; a number never equals a text ("12" vs 12), since
    // the platform orders numeric variants before text variants.
    bool equals(const Variant& o) const;
    // Identity of kind and value (for tests and copies): Empty == Empty, Null == Null.
    friend bool operator==(const Variant& a, const Variant& b);

    // Bridges for Qt's meta-object calls: Empty is an invalid QVariant, Null a QVariant of
    // std::nullptr_t, Decimal travels as core::Decimal.
    QVariant toQVariant() const;
    static Variant fromQVariant(const QVariant& v);

    QString typeName() const; // "Empty", "Null", "Boolean", "Integer", "Long", ... as TypeName

private:
    // The integer value for CInt/CLng/CLngLng: banker's rounding, error 6 outside [lo, hi].
    std::int64_t toRangedInt(std::int64_t lo, std::int64_t hi) const;
    // Raises the error the platform gives when an object reaches a value conversion.
    [[noreturn]] void raiseObjectConversion() const;

    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct Int16 {
        std::int16_t v;
        bool operator==(const Int16&) const = default;
    };
    struct ObjRef {
        QPointer<QObject> p;
        bool operator==(const ObjRef& o) const { return p.data() == o.p.data(); }
    };
    std::variant<std::monostate, NullTag, bool, Int16, std::int32_t, std::int64_t, double, Decimal, QString,
                 ObjRef>
        m_value;
};

QDebug operator<<(QDebug dbg, const Variant& v);

// Registers core::Decimal and core::Variant with Qt's meta-type system (by name too, for
// queued connections and QMetaObject::invokeMethod). Safe to call more than once; the
// library also calls it at start-up.
void registerMetaTypes();

} // namespace core

Q_DECLARE_METATYPE(core::Decimal)
Q_DECLARE_METATYPE(core::Variant)
