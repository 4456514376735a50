#include "core/Decimal.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>

using core::Decimal;

namespace {

const char* const kMax = "79228162514264337593543950335";
const char* const kNoValue = nullptr; // expected result "does not fit / no number"

Decimal dec(const char* text) {
    const auto d = Decimal::parse(QString::fromLatin1(text));
    if (!d)
        ADD_FAILURE() << "not a decimal: " << text;
    return d.value_or(Decimal());
}

std::string show(const std::optional<Decimal>& d) {
    return d ? d->toString().toStdString() : std::string("<none>");
}

std::string expected(const char* text) {
    return text ? std::string(text) : std::string("<none>");
}

} // namespace

TEST(Decimal, ParseAndFormatKeepTheScale) {
    struct Case {
        const char* text;
        const char* result;
    };
    const Case cases[] = {
        {"0", "0"},
        {"-0", "0"},
        {"0.00", "0.00"},
        {"-0.00", "0.00"},
        {"1.50", "1.50"},
        {"-12.50", "-12.50"},
        {"  42  ", "42"},
        {"+7", "7"},
        {".5", "0.5"},
        {"5.", "5"},
        {"007.10", "7.10"},
        {"1.5E3", "1500"},
        {"1.5e-3", "0.0015"},
        {"1E28", "10000000000000000000000000000"},
        {"0E-40", "0.0000000000000000000000000000"},
        {kMax, kMax},
        {"-79228162514264337593543950335", "-79228162514264337593543950335"},
        {"79228162514264337593543950336", kNoValue},
        {"1E29", kNoValue},
        {"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
        {"7.9228162514264337593543950335", "7.9228162514264337593543950335"},
        // beyond 28 decimals: rounded half away from zero
        {"0.00000000000000000000000000004", "0.0000000000000000000000000000"},
        {"0.00000000000000000000000000005", "0.0000000000000000000000000001"},
        {"-0.00000000000000000000000000005", "-0.0000000000000000000000000001"},
        {"1.23456789012345678901234567891", "1.2345678901234567890123456789"},
        // 29 significant digits that do not fit 96 bits lose one decimal
        {"9.9999999999999999999999999999", "10.000000000000000000000000000"},
        {"79228162514264337593543950335.4", kMax},
        {"79228162514264337593543950335.5", kNoValue},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123e-50",
         "12345678901234567890123.456789"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(show(Decimal::parse(QString::fromLatin1(c.text))), expected(c.result));
    }
}

TEST(Decimal, ParseRejectsWhatIsNoNumber) {
    const char* const bad[] = {"",    " ",    "abc",  "1.2.3", "1e", "1e+", "--1",  "+-1", "1 2",
                               "1,5", "0x10", "1.5x", ".",     "-",  "e5",  "1..2", "١٢"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        bool overflow = true;
        EXPECT_FALSE(Decimal::parse(QString::fromUtf8(text), u'.', QChar(), &overflow));
        EXPECT_FALSE(overflow);
    }
}

TEST(Decimal, ParseTellsOverflowApart) {
    bool overflow = false;
    EXPECT_FALSE(Decimal::parse(u"1E29", u'.', QChar(), &overflow));
    EXPECT_TRUE(overflow);
    EXPECT_FALSE(Decimal::parse(u"-79228162514264337593543950336", u'.', QChar(), &overflow));
    EXPECT_TRUE(overflow);
    EXPECT_TRUE(Decimal::parse(u"1E-1000", u'.', QChar(), &overflow));
    EXPECT_FALSE(overflow);
}

TEST(Decimal, ParseWithSeparators) {
    EXPECT_EQ(show(Decimal::parse(u"1.234.567,89", u',', u'.')), "1234567.89");
    EXPECT_EQ(show(Decimal::parse(u"-1,5", u',', u'.')), "-1.5");
    EXPECT_EQ(show(Decimal::parse(u"1,234.5", u'.', u',')), "1234.5");
    EXPECT_FALSE(Decimal::parse(u",5", u'.', u',')); // a group separator needs a digit before it
}

TEST(Decimal, ParseLocaleFollowsTheRegionalSettings) {
    {
        LocaleGuard it(LocaleGuard::italian());
        EXPECT_EQ(show(Decimal::parseLocale(u"1,5")), "1.5");
        EXPECT_EQ(show(Decimal::parseLocale(u"1.234,50")), "1234.50");
        // the point is the Italian group separator
        EXPECT_EQ(show(Decimal::parseLocale(u"1.5")), "15");
        EXPECT_EQ(core::parseDoubleLocale(u"2,25"), 2.25);
    }
    {
        LocaleGuard en(LocaleGuard::english());
        EXPECT_EQ(show(Decimal::parseLocale(u"1.5")), "1.5");
        EXPECT_EQ(show(Decimal::parseLocale(u"1,234.5")), "1234.5");
        EXPECT_EQ(core::parseDoubleLocale(u"2.25"), 2.25);
    }
}

TEST(Decimal, Arithmetic) {
    enum Op { Add, Sub, Mul, Div };
    struct Case {
        const char* a;
        Op op;
        const char* b;
        const char* result;
    };
    const Case cases[] = {
        {"0.1", Add, "0.2", "0.3"},
        {"1.10", Add, "2.205", "3.305"},
        {"5", Sub, "5.00", "0.00"},
        {"-1", Add, "1", "0"},
        {kMax, Add, "0", kMax},
        {kMax, Add, "1", kNoValue},
        {kMax, Add, "0.4", kMax},
        {kMax, Add, "0.5", kNoValue}, // ...335.5 rounds to even ...336, which does not fit
        {"-79228162514264337593543950335", Sub, "1", kNoValue},
        {kMax, Sub, kMax, "0"},
        {"1", Add, "0.0000000000000000000000000001", "1.0000000000000000000000000001"},
        // a mantissa beyond 96 bits gives up decimals, rounding half to even
        {"10", Add, "0.0000000000000000000000000001", "10.000000000000000000000000000"},
        {"10", Add, "0.0000000000000000000000000005", "10.000000000000000000000000000"},
        {"10", Add, "0.0000000000000000000000000015", "10.000000000000000000000000002"},
        {"10", Add, "0.0000000000000000000000000025", "10.000000000000000000000000002"},
        {"10", Add, "0.0000000000000000000000000026", "10.000000000000000000000000003"},
        {"1.5", Mul, "2", "3.0"},
        {"0.1", Mul, "0.1", "0.01"},
        {"-1.5", Mul, "-1.5", "2.25"},
        {"0", Mul, "-1", "0"},
        {kMax, Mul, "1", kMax},
        {kMax, Mul, "2", kNoValue},
        {kMax, Mul, "0.1", "7922816251426433759354395033.5"},
        {"0.00000000000001", Mul, "0.000000000000001", "0.0000000000000000000000000000"},
        {"0.0000000000000000000000000015", Mul, "0.1", "0.0000000000000000000000000002"},
        {"0.0000000000000000000000000025", Mul, "0.1", "0.0000000000000000000000000002"},
        {"0.0000000000000000000000000035", Mul, "0.1", "0.0000000000000000000000000004"},
        {"1", Div, "3", "0.3333333333333333333333333333"},
        {"2", Div, "3", "0.6666666666666666666666666667"},
        {"-1", Div, "3", "-0.3333333333333333333333333333"},
        {"10", Div, "3", "3.3333333333333333333333333333"},
        {"100", Div, "3", "33.333333333333333333333333333"},
        {"1", Div, "4", "0.25"},
        {"10.00", Div, "2", "5.00"},
        {"1", Div, "0.5", "2"},
        {"7", Div, "7", "1"},
        {"1", Div, "0.0000000000000000000000000001", "10000000000000000000000000000"},
        {kMax, Div, "1", kMax},
        {kMax, Div, "0.5", kNoValue},
        {kMax, Div, "-1", "-79228162514264337593543950335"},
        {"1", Div, kMax, "0.0000000000000000000000000000"},
        {"1", Div, "0", kNoValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " op" + std::to_string(c.op) + " " + c.b);
        const Decimal a = dec(c.a);
        const Decimal b = dec(c.b);
        std::optional<Decimal> r;
        switch (c.op) {
        case Add:
            r = a.add(b);
            break;
        case Sub:
            r = a.subtract(b);
            break;
        case Mul:
            r = a.multiply(b);
            break;
        case Div:
            r = a.divide(b);
            break;
        }
        EXPECT_EQ(show(r), expected(c.result));
        if (r && r->isZero()) {
            EXPECT_FALSE(r->isNegative());
        }
    }
}

TEST(Decimal, NegativeZero) {
    const auto negZero = Decimal::fromParts(0, 2, true);
    ASSERT_TRUE(negZero);
    EXPECT_EQ(negZero->toString(), "0.00");
    EXPECT_FALSE(negZero->isNegative());
    EXPECT_TRUE(negZero->isZero());
    EXPECT_EQ(*negZero, Decimal());
    EXPECT_EQ(negZero->compare(dec("0")), std::strong_ordering::equal);
    EXPECT_EQ(dec("-0").negated().toString(), "0");
    EXPECT_EQ(dec("0").multiply(dec("-3"))->toString(), "0");
    EXPECT_EQ(negZero->toDouble(), 0.0);
}

TEST(Decimal, Compare) {
    EXPECT_EQ(dec("1.0"), dec("1"));
    EXPECT_LT(dec("1.49"), dec("1.5"));
    EXPECT_LT(dec("-2"), dec("-1.99"));
    EXPECT_LT(dec("-0.0000000000000000000000000001"), dec("0"));
    EXPECT_GT(dec(kMax), dec("79228162514264337593543950334"));
    EXPECT_LT(dec("0.0000000000000000000000000001"), dec("0.0000000000000000000000000002"));
    EXPECT_GT(dec("1"), dec("0.9999999999999999999999999999"));
}

TEST(Decimal, FromParts) {
    EXPECT_TRUE(Decimal::fromParts((static_cast<unsigned __int128>(1) << 96) - 1, 28, false));
    EXPECT_FALSE(Decimal::fromParts(static_cast<unsigned __int128>(1) << 96, 0, false));
    EXPECT_FALSE(Decimal::fromParts(1, 29, false));
    EXPECT_FALSE(Decimal::fromParts(1, -1, false));
    EXPECT_EQ(Decimal::fromParts(12345, 3, true)->toString(), "-12.345");
}

TEST(Decimal, IntegerConversions) {
    EXPECT_EQ(Decimal::fromInt64(std::numeric_limits<std::int64_t>::min()).toString(),
              "-9223372036854775808");
    EXPECT_EQ(Decimal::fromInt64(std::numeric_limits<std::int64_t>::max()).toString(), "9223372036854775807");
    EXPECT_EQ(Decimal::fromUInt64(std::numeric_limits<std::uint64_t>::max()).toString(),
              "18446744073709551615");

    struct Case {
        const char* text;
        std::optional<std::int64_t> truncated;
        std::optional<std::int64_t> rounded;
    };
    const Case cases[] = {
        {"2.5", 2, 2},
        {"3.5", 3, 4},
        {"-2.5", -2, -2},
        {"-3.5", -3, -4},
        {"2.51", 2, 3},
        {"0.4999999999999999999999999999", 0, 0},
        {"9223372036854775807", 9223372036854775807LL, 9223372036854775807LL},
        {"9223372036854775807.5", 9223372036854775807LL, std::nullopt},
        {"9223372036854775808", std::nullopt, std::nullopt},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min(),
         std::numeric_limits<std::int64_t>::min()},
        {"-9223372036854775808.5", std::numeric_limits<std::int64_t>::min(),
         std::numeric_limits<std::int64_t>::min()},
        {"-9223372036854775809", std::nullopt, std::nullopt},
        {kMax, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(dec(c.text).toInt64(), c.truncated);
        EXPECT_EQ(dec(c.text).toInt64Rounded(), c.rounded);
    }
}

TEST(Decimal, Doubles) {
    EXPECT_EQ(dec("0.1").toDouble(), 0.1);
    EXPECT_EQ(dec("-2.5").toDouble(), -2.5);
    EXPECT_EQ(dec("0.3333333333333333333333333333").toDouble(), 1.0 / 3);
    EXPECT_EQ(dec(kMax).toDouble(), 79228162514264337593543950335.0);
    EXPECT_EQ(dec("0.0000000000000000000000000001").toDouble(), 1e-28);

    struct Case {
        double value;
        const char* result;
    };
    const Case cases[] = {
        {0.1, "0.1"},
        {0.0, "0"},
        {-0.0, "0"},
        {-2.5, "-2.5"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789.123456789, "123456789.123457"},
        {0.1 + 0.2, "0.3"},
        {1e20, "100000000000000000000"},
        {1e-20, "0.00000000000000000001"},
        {1e-30, "0"},
        {7.9e28, "79000000000000000000000000000"},
        {1e29, kNoValue},
        {std::numeric_limits<double>::quiet_NaN(), kNoValue},
        {std::numeric_limits<double>::infinity(), kNoValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(show(Decimal::fromDouble(c.value)), expected(c.result));
    }
}

TEST(Decimal, RescaleNormalizePrecision) {
    struct Case {
        const char* text;
        int scale;
        const char* result;
    };
    const Case cases[] = {
        {"1.25", 1, "1.3"},    {"-1.25", 1, "-1.3"}, {"1.24", 1, "1.2"},  {"1.5", 3, "1.500"},
        {"0.5", 0, "1"},       {"2.5", 0, "3"},      {kMax, 1, kNoValue}, {"1.5", 29, kNoValue},
        {"1.5", -1, kNoValue}, {"-0.04", 1, "0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " to " + std::to_string(c.scale));
        EXPECT_EQ(show(dec(c.text).rescaled(c.scale)), expected(c.result));
    }
    EXPECT_EQ(dec("1.500").normalized().toString(), "1.5");
    EXPECT_EQ(dec("100").normalized().toString(), "100");
    EXPECT_EQ(dec("0.000").normalized().toString(), "0");
    EXPECT_EQ(dec("123.45").precision(), 5);
    EXPECT_EQ(dec("0.05").precision(), 2);
    EXPECT_EQ(dec("0").precision(), 1);
    EXPECT_EQ(dec(kMax).precision(), 29);
    EXPECT_EQ(dec("0.0000000000000000000000000001").precision(), 28);
    EXPECT_EQ(dec("-1.5").toString(u','), "-1,5");
}

TEST(Decimal, ParseDouble) {
    EXPECT_EQ(core::parseDouble(u" 1.5E3 "), 1500.0);
    EXPECT_EQ(core::parseDouble(u"0.1"), 0.1);
    EXPECT_EQ(core::parseDouble(u"1e-400"), 0.0);
    bool overflow = false;
    EXPECT_FALSE(core::parseDouble(u"1e400", u'.', QChar(), &overflow));
    EXPECT_TRUE(overflow);
    EXPECT_FALSE(core::parseDouble(u"abc", u'.', QChar(), &overflow));
    EXPECT_FALSE(overflow);
}

TEST(Decimal, RandomValuesRoundTripAndSumsUndo) {
    std::mt19937_64 rng(20261205);
    auto randomDecimal = [&] {
        const unsigned __int128 m =
            ((static_cast<unsigned __int128>(rng()) << 64) | rng()) >> (32 + rng() % 96); // below 2^96
        return *Decimal::fromParts(m, static_cast<int>(rng() % 29), (rng() & 1) != 0);
    };
    for (int i = 0; i < 2000; ++i) {
        const Decimal a = randomDecimal();
        const Decimal b = randomDecimal();
        SCOPED_TRACE(a.toString().toStdString() + " and " + b.toString().toStdString());
        const auto back = Decimal::parse(a.toString());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->toString(), a.toString());
        EXPECT_EQ(back->scale(), a.scale());
        EXPECT_EQ(a.compare(b), 0 <=> b.compare(a));
        // the conversion to double keeps the order (it may make close values equal)
        if (a < b) {
            EXPECT_LE(a.toDouble(), b.toDouble());
        } else {
            EXPECT_GE(a.toDouble(), b.toDouble());
        }
        const auto sum = a.add(b);
        if (sum && sum->scale() == std::max(a.scale(), b.scale())) {
            EXPECT_EQ(sum->subtract(b), a); // no decimal dropped: exact
        }
        if (!b.isZero()) {
            const auto q = a.divide(b);
            ASSERT_TRUE(q || a.abs() > b.abs());
        }
    }
}
