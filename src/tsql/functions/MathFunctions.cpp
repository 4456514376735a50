// The mathematical functions. ROUND, FLOOR, CEILING, ABS, SIGN and POWER return the type of
// their argument ("Mathematical functions (Transact-SQL)": int for the smaller integers, float
// for a text), so each computes in the argument's category: float, integer or exact decimal.
// The others compute in float.

#include "tsql/functions/BuiltinFunctions.h"

#include "tsql/base/Messages.h"

#include <cmath>

namespace tsql::builtin {

namespace {

enum class Category { Approximate, Integer, Exact };

Category categoryOf(const SqlType& t) {
    if (t.id == TypeId::Float || t.id == TypeId::Real)
        return Category::Approximate;
    if (t.isInteger())
        return Category::Integer;
    return Category::Exact; // decimal and money
}

// The argument in the result's type; a decimal argument keeps its own precision and scale.
Value numericArgument(const Value& a, const SqlType& type) {
    return convert(a, type.id == TypeId::Decimal ? (a.type.id == TypeId::Decimal ? a.type : type) : type);
}

Value approximateOut(double r, const SqlType& type) {
    Value out = Value::flt(r);
    out.type = type;
    return out;
}

Value integerOut(qint64 r, const SqlType& type) {
    return convert(Value::integer(r, TypeId::BigInt), type);
}

[[noreturn]] void numericOverflow() {
    raise<Msg::ArithmeticOverflow>(u"expression", u"numeric");
}

// An exact result rounded to the scale of the call's type (money: 4).
Value exactOut(const Numeric& r, const SqlType& type) {
    Value out;
    out.type = type;
    out.null = false;
    auto fitted = r.rescaled(type.id == TypeId::Decimal ? type.scale : 4);
    if (!fitted)
        numericOverflow();
    out.n = *fitted;
    return out;
}

__int128 pow10(int k) {
    __int128 p = 1;
    for (int j = 0; j < k; ++j)
        p *= 10;
    return p;
}

double asFloat(const Value& v) {
    return convert(v, SqlType::of(TypeId::Float)).f;
}

// `v` rounded to a multiple of 10^drop (0 <= drop <= 38), half away from zero, or cut towards
// zero; nullopt when the result does not fit in 128 bits. The half is found without doubling
// the remainder, which could overflow for drop = 38.
std::optional<__int128> roundToPower(__int128 v, int drop, bool truncate) {
    const __int128 p = pow10(drop);
    __int128 q = v / p;
    const __int128 rem = v % p;
    const __int128 magnitude = rem < 0 ? -rem : rem;
    if (!truncate && magnitude >= p - magnitude)
        q += v < 0 ? -1 : 1;
    __int128 r;
    if (__builtin_mul_overflow(q, p, &r))
        return std::nullopt;
    return r;
}

// ROUND(n, digits) of an integer: digits below zero round to tens, hundreds, ...; a bigint
// rounded beyond its range is Msg 8115, any other integer is checked by its conversion back.
qint64 roundInteger(qint64 v, qint64 digits, bool truncate) {
    if (digits >= 0)
        return v;
    // 10^19 is more than any bigint: from 20 digits on every value rounds to 0.
    if (digits < -19)
        return 0;
    const std::optional<__int128> r = roundToPower(v, int(-digits), truncate);
    if (!r || *r > std::numeric_limits<qint64>::max() || *r < std::numeric_limits<qint64>::min())
        raise<Msg::ArithmeticOverflow>(u"expression", u"bigint");
    return qint64(*r);
}

// ROUND(n, digits) of an exact number, half away from zero; the result keeps the argument's
// precision, so rounding 9.9 of decimal(2,1) to 0 digits is Msg 8115. A decimal holds less than
// 10^38, so rounding to 10^39 or beyond gives 0.
Numeric roundExact(const Numeric& n, int precision, qint64 digits, bool truncate, const SqlType& type) {
    Numeric r = n;
    if (digits >= n.scale)
        return r;
    if (digits < qint64(n.scale) - 38) {
        r.v = 0;
        return r;
    }
    const std::optional<__int128> rounded = roundToPower(n.v, int(n.scale - digits), truncate);
    if (!rounded || (*rounded < 0 ? -*rounded : *rounded) >= pow10(38))
        numericOverflow();
    r.v = *rounded;
    const int allowed = type.id == TypeId::Decimal ? precision : 19;
    if (r.digits() > allowed)
        numericOverflow();
    return r;
}

// FLOOR and CEILING of an exact number: an integer of scale 0.
Numeric floorOrCeilingExact(const Numeric& n, bool ceiling) {
    __int128 p = pow10(n.scale);
    __int128 q = n.v / p;
    if (!ceiling && n.v < 0 && n.v % p != 0)
        --q;
    if (ceiling && n.v > 0 && n.v % p != 0)
        ++q;
    return Numeric{q, 0};
}

Value floorOrCeiling(const Args& a, const SqlType& type, bool ceiling) {
    Value x = numericArgument(a[0], type);
    switch (categoryOf(type)) {
    case Category::Approximate:
        return approximateOut(ceiling ? std::ceil(x.f) : std::floor(x.f), type);
    case Category::Integer:
        return integerOut(x.i, type);
    case Category::Exact:
        break;
    }
    return exactOut(floorOrCeilingExact(x.n, ceiling), type);
}

// The functions of one argument computed in float; a value outside the function's domain is
// Msg 3623.
template <typename F> Value approximate(const Args& a, bool outsideDomain(double), F f) {
    double d = asFloat(a[0]);
    double r = f(d);
    if (outsideDomain(d))
        raise<Msg::InvalidFloatingPointOperation>();
    return Value::flt(r);
}

bool anywhere(double) {
    return false;
}
bool belowZero(double d) {
    return d < 0;
}
bool notAboveZero(double d) {
    return d <= 0;
}

} // namespace

// ROUND(n, digits [, truncate]): NULL when n or digits is NULL; a NULL third argument rounds.
Value round(const FunctionDef&, const Args& a, const SqlType& type) {
    if (a[0].null || a[1].null)
        return Value::nullOf(type);
    Value x = numericArgument(a[0], type);
    switch (categoryOf(type)) {
    case Category::Approximate: {
        double p = std::pow(10.0, double(asInt(a[1])));
        bool truncate = a.size() > 2 && !a[2].null && asInt(a[2]) != 0;
        return approximateOut(truncate ? std::trunc(x.f * p) / p : std::round(x.f * p) / p, type);
    }
    case Category::Integer: {
        qint64 digits = asInt(a[1]);
        bool truncate = a.size() > 2 && !a[2].null && asInt(a[2]) != 0;
        return integerOut(roundInteger(x.i, digits, truncate), type);
    }
    case Category::Exact:
        break;
    }
    qint64 digits = asInt(a[1]);
    bool truncate = a.size() > 2 && !a[2].null && asInt(a[2]) != 0;
    Value out;
    out.type = type;
    out.null = false;
    out.n = roundedExact(x.n, x.type.precision, digits, truncate, type);
    return out;
}

Numeric roundedExact(const Numeric& n, int precision, qint64 digits, bool truncate, const SqlType& type) {
    const std::optional<Numeric> fitted = roundExact(n, precision, digits, truncate, type)
                                              .rescaled(type.id == TypeId::Decimal ? type.scale : 4);
    if (!fitted)
        numericOverflow();
    return *fitted;
}

Value floor(const FunctionDef&, const Args& a, const SqlType& type) {
    return floorOrCeiling(a, type, false);
}

Value ceiling(const FunctionDef&, const Args& a, const SqlType& type) {
    return floorOrCeiling(a, type, true);
}

Value abs(const FunctionDef&, const Args& a, const SqlType& type) {
    Value x = numericArgument(a[0], type);
    switch (categoryOf(type)) {
    case Category::Approximate:
        return approximateOut(std::fabs(x.f), type);
    case Category::Integer:
        if (x.i == std::numeric_limits<qint64>::min())
            raise<Msg::ArithmeticOverflow>(u"expression", type.name());
        return integerOut(std::llabs(x.i), type);
    case Category::Exact:
        break;
    }
    Numeric r = x.n;
    r.v = x.n.v < 0 ? -x.n.v : x.n.v;
    return exactOut(r, type);
}

Value sign(const FunctionDef&, const Args& a, const SqlType& type) {
    Value x = numericArgument(a[0], type);
    switch (categoryOf(type)) {
    case Category::Approximate:
        return approximateOut(x.f > 0 ? 1 : (x.f < 0 ? -1 : 0), type);
    case Category::Integer:
        return integerOut(x.i > 0 ? 1 : (x.i < 0 ? -1 : 0), type);
    case Category::Exact:
        break;
    }
    Numeric r = x.n;
    r.v = x.n.v > 0 ? 1 : (x.n.v < 0 ? -1 : 0);
    for (int k = 0; k < x.n.scale; ++k)
        r.v *= 10;
    return exactOut(r, type);
}

// POWER computes in float and converts back to the argument's type (decimal(38, s) for a
// decimal): a result the type cannot hold is Msg 232 (8115 for a decimal).
// A negative number to a fractional power has no real value: Msg 3623, whatever the type.
static double powerOf(double x, double y) {
    const double r = std::pow(x, y);
    if (std::isnan(r))
        raise<Msg::InvalidFloatingPointOperation>();
    return r;
}

Value power(const FunctionDef&, const Args& a, const SqlType& type) {
    Value x = numericArgument(a[0], type);
    switch (categoryOf(type)) {
    case Category::Approximate: {
        double r = powerOf(x.f, asFloat(a[1]));
        if (!std::isfinite(r))
            raise<Msg::OverflowForType>(u"float", r);
        return approximateOut(r, type);
    }
    case Category::Integer: {
        double d = powerOf(double(x.i), asFloat(a[1]));
        bool fits = type.id == TypeId::Int ? (d >= -2147483648.0 && d <= 2147483647.0)
                                           : (d >= -9.2233720368547758e18 && d < 9.2233720368547758e18);
        if (!fits)
            raise<Msg::OverflowForType>(u"int", QString::number(d, 'f', 6));
        return integerOut(qint64(d), type);
    }
    case Category::Exact:
        break;
    }
    double d = powerOf(x.n.toDouble(), asFloat(a[1]));
    auto nd = Numeric::fromDouble(d, type.scale);
    if (!nd)
        raise<Msg::ArithmeticOverflow>(u"float", u"numeric");
    return exactOut(*nd, type);
}

Value sqrt(const FunctionDef&, const Args& a, const SqlType&) {
    return approximate(a, belowZero, [](double d) { return std::sqrt(d); });
}

Value square(const FunctionDef&, const Args& a, const SqlType&) {
    return approximate(a, anywhere, [](double d) { return d * d; });
}

Value exp(const FunctionDef&, const Args& a, const SqlType&) {
    return approximate(a, anywhere, [](double d) { return std::exp(d); });
}

// LOG(n [, base]).
Value log(const FunctionDef&, const Args& a, const SqlType&) {
    return approximate(a, notAboveZero, [&a](double d) {
        double r = std::log(d);
        if (a.size() > 1)
            r /= std::log(asFloat(a[1]));
        return r;
    });
}

Value log10(const FunctionDef&, const Args& a, const SqlType&) {
    return approximate(a, notAboveZero, [](double d) { return std::log10(d); });
}

Value pi(const FunctionDef&, const Args&, const SqlType&) {
    return Value::flt(M_PI);
}

// RAND(): a number from 0 up to 1. The server's sequence for a seed is its own and not
// documented: RAND with a seed is refused rather than answered with another number.
Value rand(const FunctionDef&, const Args& a, const SqlType&) {
    if (!a.empty())
        raise<Msg::RandSeedNotSupported>();
    return Value::flt(double(std::rand()) / RAND_MAX);
}

} // namespace tsql::builtin
