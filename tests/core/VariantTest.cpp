#include "core/Variant.h"
#include "core/Error.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QObject>

#include <functional>
#include <limits>

using core::Decimal;
using core::Variant;
using core::VarType;

namespace {

// The error number a conversion raises, 0 when it raises none.
qint32 errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::ComError& e) {
        return e.number();
    }
    return 0;
}

Variant dec(const char* text) {
    return Variant::fromDecimal(*Decimal::parse(QString::fromLatin1(text)));
}

// Variants of every kind, for the tables below.
struct Named {
    const char* name;
    Variant value;
};

} // namespace

TEST(Variant, CIntRoundsHalfToEvenAndOverflowsOutsideItsRange) {
    LocaleGuard en(LocaleGuard::english());
    struct Case {
        Named in;
        std::int16_t result;
        qint32 error;
    };
    const Case cases[] = {
        {{"2.5", Variant::fromDouble(2.5)}, 2, 0},
        {{"3.5", Variant::fromDouble(3.5)}, 4, 0},
        {{"-2.5", Variant::fromDouble(-2.5)}, -2, 0},
        {{"-3.5", Variant::fromDouble(-3.5)}, -4, 0},
        {{"2.51", Variant::fromDouble(2.51)}, 3, 0},
        {{"32767", Variant::fromInt32(32767)}, 32767, 0},
        {{"32768", Variant::fromInt32(32768)}, 0, core::err::Overflow},
        {{"-32768", Variant::fromInt32(-32768)}, -32768, 0},
        {{"-32769", Variant::fromInt64(-32769)}, 0, core::err::Overflow},
        {{"32767.49", Variant::fromDouble(32767.49)}, 32767, 0},
        {{"32767.5", Variant::fromDouble(32767.5)}, 0, core::err::Overflow},
        {{"-32768.5", Variant::fromDouble(-32768.5)}, -32768, 0},
        {{"-32768.51", Variant::fromDouble(-32768.51)}, 0, core::err::Overflow},
        {{"NaN", Variant::fromDouble(std::numeric_limits<double>::quiet_NaN())}, 0, core::err::Overflow},
        {{"dec 3.5", dec("3.5")}, 4, 0},
        {{"dec 32767.5", dec("32767.5")}, 0, core::err::Overflow},
        {{"text 2.5", Variant("2.5")}, 2, 0},
        {{"text 1E30", Variant("1E30")}, 0, core::err::Overflow},
        {{"text abc", Variant("abc")}, 0, core::err::TypeMismatch},
        {{"text empty", Variant("")}, 0, core::err::TypeMismatch},
        {{"Empty", Variant()}, 0, 0},
        {{"Null", Variant::null()}, 0, core::err::InvalidUseOfNull},
        {{"True", Variant::fromBool(true)}, -1, 0},
        {{"False", Variant::fromBool(false)}, 0, 0},
        {{"object", Variant::fromObject(nullptr)}, 0, core::err::ObjectVariableNotSet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.name);
        std::int16_t r = 0;
        EXPECT_EQ(errorOf([&] { r = c.in.value.toInt16(); }), c.error);
        if (c.error == 0) {
            EXPECT_EQ(r, c.result);
        }
    }
}

TEST(Variant, CLngAndCLngLng) {
    EXPECT_EQ(Variant::fromDouble(2147483646.5).toInt32(), 2147483646);
    EXPECT_EQ(errorOf([] { Variant::fromDouble(2147483647.5).toInt32(); }), core::err::Overflow);
    EXPECT_EQ(errorOf([] { Variant::fromInt64(2147483648LL).toInt32(); }), core::err::Overflow);
    EXPECT_EQ(Variant::fromInt32(std::numeric_limits<std::int32_t>::min()).toInt32(),
              std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(Variant::fromDouble(-9223372036854775808.0).toInt64(),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(errorOf([] { Variant::fromDouble(9223372036854775808.0).toInt64(); }), core::err::Overflow);
    EXPECT_EQ(errorOf([] { Variant::fromDouble(std::numeric_limits<double>::infinity()).toInt64(); }),
              core::err::Overflow);
    EXPECT_EQ(dec("-9223372036854775808").toInt64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(errorOf([] { dec("9223372036854775808").toInt64(); }), core::err::Overflow);
}

TEST(Variant, CStr) {
    struct Case {
        Named in;
        const char* result;
    };
    const Case cases[] = {
        {{"Empty", Variant()}, ""},
        {{"True", Variant::fromBool(true)}, "True"},
        {{"False", Variant::fromBool(false)}, "False"},
        {{"Integer", Variant::fromInt16(-7)}, "-7"},
        {{"Long", Variant::fromInt32(2147483647)}, "2147483647"},
        {{"LongLong", Variant::fromInt64(std::numeric_limits<std::int64_t>::min())}, "-9223372036854775808"},
        {{"0.1", Variant::fromDouble(0.1)}, "0.1"},
        {{"0.1+0.2", Variant::fromDouble(0.1 + 0.2)}, "0.3"},
        {{"1/3", Variant::fromDouble(1.0 / 3)}, "0.333333333333333"},
        {{"-1.5", Variant::fromDouble(-1.5)}, "-1.5"},
        {{"-0.0", Variant::fromDouble(-0.0)}, "0"},
        {{"1e14", Variant::fromDouble(1e14)}, "100000000000000"},
        {{"1e15", Variant::fromDouble(1e15)}, "1E+15"},
        {{"1e20", Variant::fromDouble(1e20)}, "1E+20"},
        {{"1.5e300", Variant::fromDouble(1.5e300)}, "1.5E+300"},
        {{"0.0001", Variant::fromDouble(0.0001)}, "0.0001"},
        {{"0.00001", Variant::fromDouble(0.00001)}, "1E-05"},
        {{"123456789012345678", Variant::fromDouble(123456789012345678.0)}, "1.23456789012346E+17"},
        {{"dec 1.50", dec("1.50")}, "1.5"},
        {{"dec -0.00", dec("-0.00")}, "0"},
        {{"dec max", dec("-79228162514264337593543950335")}, "-79228162514264337593543950335"},
        {{"dec 1/3", dec("0.3333333333333333333333333333")}, "0.3333333333333333333333333333"},
        {{"text", Variant("  ab ")}, "  ab "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.name);
        EXPECT_EQ(c.in.value.toString(), QString::fromLatin1(c.result));
    }
}

TEST(Variant, NullRaisesInvalidUseOfNull) {
    const Variant n = Variant::null();
    try {
        (void)n.toString();
        FAIL() << "no error";
    } catch (const core::ComError& e) {
        EXPECT_EQ(e.number(), 94);
        EXPECT_EQ(e.description(), "Invalid use of Null");
    }
    const std::function<void()> conversions[] = {
        [&] { (void)n.toBool(); },  [&] { (void)n.toInt16(); },  [&] { (void)n.toInt32(); },
        [&] { (void)n.toInt64(); }, [&] { (void)n.toDouble(); }, [&] { (void)n.toDecimal(); },
    };
    for (const auto& f : conversions)
        EXPECT_EQ(errorOf(f), core::err::InvalidUseOfNull);
    EXPECT_TRUE(n.isNull());
    EXPECT_FALSE(n.isEmpty());
    EXPECT_TRUE(Variant().isEmpty());
    EXPECT_FALSE(Variant().isNull());
}

TEST(Variant, CBool) {
    LocaleGuard en(LocaleGuard::english());
    struct Case {
        Named in;
        bool result;
        qint32 error;
    };
    const Case cases[] = {
        {{"Empty", Variant()}, false, 0},
        {{"True text", Variant("True")}, true, 0},
        {{"false text", Variant(" false ")}, false, 0},
        {{"0 text", Variant("0")}, false, 0},
        {{"2.5 text", Variant("2.5")}, true, 0},
        {{"abc", Variant("abc")}, false, core::err::TypeMismatch},
        {{"0", Variant::fromInt16(0)}, false, 0},
        {{"-1", Variant::fromInt32(-1)}, true, 0},
        {{"0.0", Variant::fromDouble(0.0)}, false, 0},
        {{"dec 0.00", dec("0.00")}, false, 0},
        {{"dec 0.01", dec("0.01")}, true, 0},
        {{"Null", Variant::null()}, false, core::err::InvalidUseOfNull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.name);
        bool r = false;
        EXPECT_EQ(errorOf([&] { r = c.in.value.toBool(); }), c.error);
        if (c.error == 0) {
            EXPECT_EQ(r, c.result);
        }
    }
}

TEST(Variant, CDblAndCDec) {
    LocaleGuard en(LocaleGuard::english());
    EXPECT_EQ(Variant("1.5").toDouble(), 1.5);
    EXPECT_EQ(Variant(" -2E3 ").toDouble(), -2000.0);
    EXPECT_EQ(Variant::fromBool(true).toDouble(), -1.0);
    EXPECT_EQ(dec("0.1").toDouble(), 0.1);
    EXPECT_EQ(errorOf([] { Variant("x").toDouble(); }), core::err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant("1E400").toDouble(); }), core::err::Overflow);

    EXPECT_EQ(Variant::fromDouble(0.1).toDecimal().toString(), "0.1");
    EXPECT_EQ(Variant("12.50").toDecimal().toString(), "12.50");
    EXPECT_EQ(Variant::fromInt64(-5).toDecimal().toString(), "-5");
    EXPECT_EQ(Variant().toDecimal().toString(), "0");
    EXPECT_EQ(errorOf([] { Variant("abc").toDecimal(); }), core::err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant("1E29").toDecimal(); }), core::err::Overflow);
    EXPECT_EQ(errorOf([] { Variant::fromDouble(1e30).toDecimal(); }), core::err::Overflow);

    LocaleGuard it(LocaleGuard::italian());
    EXPECT_EQ(Variant("1,5").toDouble(), 1.5);
    EXPECT_EQ(Variant("1,5").toDecimal().toString(), "1.5");
    EXPECT_EQ(Variant("2,5").toInt16(), 2);
}

TEST(Variant, EqualsAsTheEqualOperator) {
    QObject a;
    QObject b;
    struct Case {
        Named x;
        Named y;
        bool equal;
    };
    const Case cases[] = {
        {{"Empty", Variant()}, {"0", Variant::fromInt16(0)}, true},
        {{"Empty", Variant()}, {"\"\"", Variant("")}, true},
        {{"Empty", Variant()}, {"Empty", Variant()}, true},
        {{"Empty", Variant()}, {"False", Variant::fromBool(false)}, true},
        {{"Empty", Variant()}, {"\" \"", Variant(" ")}, false},
        {{"Empty", Variant()}, {"Null", Variant::null()}, false},
        {{"Null", Variant::null()}, {"Null", Variant::null()}, false},
        {{"Null", Variant::null()}, {"0", Variant::fromInt32(0)}, false},
        {{"1", Variant::fromInt16(1)}, {"1.0", Variant::fromDouble(1.0)}, true},
        {{"1", Variant::fromInt32(1)}, {"dec 1.00", dec("1.00")}, true},
        {{"dec 1.5", dec("1.5")}, {"1.5", Variant::fromDouble(1.5)}, true},
        {{"dec 1.5", dec("1.5")}, {"2", Variant::fromInt64(2)}, false},
        {{"True", Variant::fromBool(true)}, {"-1", Variant::fromInt32(-1)}, true},
        {{"a", Variant("a")}, {"A", Variant("A")}, false},
        {{"ab", Variant("ab")}, {"ab", Variant("ab")}, true},
        {{"12", Variant("12")}, {"12", Variant::fromInt32(12)}, false},
        {{"obj a", Variant::fromObject(&a)}, {"obj a", Variant::fromObject(&a)}, true},
        {{"obj a", Variant::fromObject(&a)}, {"obj b", Variant::fromObject(&b)}, false},
        {{"Nothing", Variant::fromObject(nullptr)}, {"Nothing", Variant::fromObject(nullptr)}, true},
        {{"Nothing", Variant::fromObject(nullptr)}, {"Empty", Variant()}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.x.name) + " = " + c.y.name);
        EXPECT_EQ(c.x.value.equals(c.y.value), c.equal);
        EXPECT_EQ(c.y.value.equals(c.x.value), c.equal);
    }
}

TEST(Variant, IdentityComparesKindAndValue) {
    EXPECT_EQ(Variant(), Variant());
    EXPECT_EQ(Variant::null(), Variant::null());
    EXPECT_NE(Variant(), Variant::null());
    EXPECT_NE(Variant::fromInt16(1), Variant::fromInt32(1));
    EXPECT_EQ(Variant::fromInt32(1), Variant::fromInt32(1));
    EXPECT_EQ(Variant("x"), Variant::fromString("x"));
    EXPECT_NE(Variant("x"), Variant("X"));
}

TEST(Variant, KindsAndTypeNames) {
    QObject o;
    struct Case {
        Variant value;
        VarType type;
        const char* name;
        bool numeric;
    };
    const Case cases[] = {
        {Variant(), VarType::Empty, "Empty", false},
        {Variant::null(), VarType::Null, "Null", false},
        {Variant::fromBool(true), VarType::Boolean, "Boolean", true},
        {Variant::fromInt16(1), VarType::Integer, "Integer", true},
        {Variant::fromInt32(1), VarType::Long, "Long", true},
        {Variant::fromInt64(1), VarType::LongLong, "LongLong", true},
        {Variant::fromDouble(1), VarType::Double, "Double", true},
        {dec("1"), VarType::Decimal, "Decimal", true},
        {Variant("1"), VarType::String, "String", false},
        {Variant::fromObject(&o), VarType::Object, "QObject", false},
        {Variant::fromObject(nullptr), VarType::Object, "Nothing", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.type(), c.type);
        EXPECT_EQ(c.value.typeName(), QString::fromLatin1(c.name));
        EXPECT_EQ(c.value.isNumeric(), c.numeric);
    }
    EXPECT_TRUE(Variant::fromObject(nullptr).isNothing());
    EXPECT_FALSE(Variant::fromObject(&o).isNothing());
    EXPECT_FALSE(Variant().isNothing());
    EXPECT_EQ(Variant::fromObject(&o).toObject(), &o);
    EXPECT_EQ(errorOf([] { Variant("x").toObject(); }), core::err::TypeMismatch);
    EXPECT_EQ(errorOf([&] { Variant::fromObject(&o).toString(); }), core::err::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::fromObject(nullptr).toString(); }), core::err::ObjectVariableNotSet);
}

TEST(Variant, ObjectReferenceDoesNotOwnAndSeesDeletion) {
    auto* o = new QObject;
    const Variant v = Variant::fromObject(o);
    delete o;
    EXPECT_TRUE(v.isNothing());
}

TEST(Variant, QVariantBridgeRoundTrips) {
    QObject o;
    const Variant values[] = {
        Variant(),
        Variant::null(),
        Variant::fromBool(false),
        Variant::fromInt16(-12),
        Variant::fromInt32(123456),
        Variant::fromInt64(std::numeric_limits<std::int64_t>::max()),
        Variant::fromDouble(0.25),
        dec("-12.50"),
        Variant("testo"),
        Variant::fromObject(&o),
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.typeName().toStdString());
        const Variant back = Variant::fromQVariant(v.toQVariant());
        EXPECT_EQ(back, v);
        EXPECT_EQ(back.type(), v.type());
    }
    EXPECT_FALSE(Variant().toQVariant().isValid());
    EXPECT_EQ(Variant::null().toQVariant().metaType(), QMetaType::fromType<std::nullptr_t>());
    EXPECT_EQ(dec("1.5").toQVariant().metaType(), QMetaType::fromType<Decimal>());
}

TEST(Variant, FromQVariantOfOtherTypes) {
    EXPECT_TRUE(Variant::fromQVariant(QVariant(QMetaType::fromType<int>())).isNull()); // typed SQL NULL
    EXPECT_EQ(Variant::fromQVariant(QVariant(7u)), Variant::fromInt64(7));
    EXPECT_EQ(Variant::fromQVariant(QVariant::fromValue<quint64>(std::numeric_limits<quint64>::max())).type(),
              VarType::Decimal);
    EXPECT_EQ(Variant::fromQVariant(QVariant(1.5f)), Variant::fromDouble(1.5));
    EXPECT_EQ(Variant::fromQVariant(QVariant(QByteArray("àb"))), Variant(QString::fromUtf8("àb")));
    EXPECT_EQ(Variant::fromQVariant(QVariant::fromValue(Variant::fromInt16(3))), Variant::fromInt16(3));
    EXPECT_TRUE(Variant::fromQVariant(QVariant::fromValue<QObject*>(nullptr)).isNothing());
    EXPECT_EQ(errorOf([] { Variant::fromQVariant(QVariant::fromValue(QList<int>{1})); }),
              core::err::TypeMismatch);
}
