#include "core/NullSafe.h"
#include "core/Error.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QObject>

using core::CDecN;
using core::Decimal;
using core::RTrimN;
using core::Variant;
using core::VarType;

namespace {

Variant dec(const char* text) {
    return Variant::fromDecimal(*Decimal::parse(QString::fromLatin1(text)));
}

qint32 errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::ComError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(NullSafe, RTrimN) {
    struct Case {
        const char* name;
        Variant in;
        const char* result;
    };
    const Case cases[] = {
        {"Null", Variant::null(), ""},
        {"Empty", Variant(), ""},
        {"empty text", Variant(""), ""},
        {"blanks around ab", Variant("  ab  "), "  ab"},
        {"only blanks", Variant("   "), ""},
        {"tab stays", Variant("ab\t"), "ab\t"},
        {"inner blanks stay", Variant("a b  "), "a b"},
        {"number 12", Variant::fromInt32(12), "12"},
        {"decimal 1.50", dec("1.50"), "1.5"},
        {"double 2.5", Variant::fromDouble(2.5), "2.5"},
        {"True", Variant::fromBool(true), "True"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Variant r = RTrimN(c.in);
        EXPECT_EQ(r.type(), VarType::String);
        EXPECT_EQ(r, Variant(c.result));
    }
}

TEST(NullSafe, RTrimNOfAnObjectRaisesInTheCaller) {
    QObject o;
    EXPECT_EQ(errorOf([&] { RTrimN(Variant::fromObject(&o)); }), core::err::TypeMismatch);
    EXPECT_EQ(errorOf([] { RTrimN(Variant::fromObject(nullptr)); }), core::err::ObjectVariableNotSet);
}

TEST(NullSafe, CDecNOfMissingValuesIsTheIntegerZero) {
    for (const Variant& v : {Variant::null(), Variant(), Variant("")}) {
        SCOPED_TRACE(v.typeName().toStdString());
        const Variant r = CDecN(v);
        EXPECT_EQ(r.type(), VarType::Integer);
        EXPECT_EQ(r, Variant::fromInt16(0));
    }
}

TEST(NullSafe, CDecNConvertsToDecimal) {
    struct Case {
        const char* name;
        QLocale locale;
        Variant in;
        const char* result; // nullptr: type mismatch
    };
    const QLocale it = LocaleGuard::italian();
    const QLocale en = LocaleGuard::english();
    const Case cases[] = {
        {"7", en, Variant::fromInt32(7), "7"},
        {"0 is a value", en, Variant::fromInt16(0), "0"},
        {"True", en, Variant::fromBool(true), "-1"},
        {"double 0.1", en, Variant::fromDouble(0.1), "0.1"},
        {"decimal", en, dec("-3.250"), "-3.250"},
        {"point, English", en, Variant("1.5"), "1.5"},
        {"comma, English", en, Variant("1,5"), "15"},
        {"comma, Italian", it, Variant("1,5"), "1.5"},
        {"point, Italian", it, Variant("1.5"), "15"},
        {"grouped, Italian", it, Variant("1.234,56"), "1234.56"},
        {"blanks around", en, Variant(" 12.50 "), "12.50"},
        {"abc", en, Variant("abc"), nullptr},
        {"blank", en, Variant(" "), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocaleGuard guard(c.locale);
        if (!c.result) {
            EXPECT_EQ(errorOf([&] { CDecN(c.in); }), core::err::TypeMismatch);
            continue;
        }
        const Variant r = CDecN(c.in);
        EXPECT_EQ(r.type(), VarType::Decimal);
        EXPECT_EQ(r.toDecimal().toString(), QString::fromLatin1(c.result));
    }
}
