#include "tsql/values/Value.h"

#include "tsql/values/DateSettings.h"

#include "tsql/values/ValueInternal.h"

#include <array>
#include <cmath>

namespace tsql {

using detail::abs128;
using detail::kMax38;
using detail::magnitude128;
using detail::pow10;

// ---- Numeric ----

int Numeric::digits() const {
    // The powers of ten up to |v| (10^38 < 2^127 < 10^39), counted by comparison rather than by
    // divisions of 128 bits, which the decimal operators and conversions would pay on every value.
    // The bit length of |v| gives the count within one: a number of b bits has floor((b - 1) *
    // log10(2)) + 1 digits or one more (1233 / 4096 is log10(2) to within 1e-5, exact enough for
    // the 128 bits there are).
    const unsigned __int128 a = magnitude128(v);
    if (a == 0)
        return std::max(0, scale);
    const auto high = quint64(a >> 64);
    const int bits = high ? 128 - __builtin_clzll(high) : 64 - __builtin_clzll(quint64(a));
    int d = ((bits - 1) * 1233 >> 12) + 1;
    if (d <= 38 && a >= static_cast<unsigned __int128>(pow10(d)))
        ++d;
    return std::max(d, scale);
}

std::optional<Numeric> Numeric::rescaled(int s) const {
    if (s == scale)
        return *this;
    if (s > scale) {
        int k = s - scale;
        if (k > 38)
            return v == 0 ? std::optional<Numeric>(Numeric{0, s}) : std::nullopt;
        __int128 r;
        if (!detail::multiply128(v, pow10(k), r) || abs128(r) >= kMax38)
            return std::nullopt;
        return Numeric{r, s};
    }
    int k = scale - s;
    if (k > 38)
        return Numeric{0, s};
    __int128 p = pow10(k);
    __int128 q, rem;
    if (detail::fits64(v) && k <= 18) { // the same quotient and remainder in 64 bits
        q = qint64(v) / qint64(p);
        rem = qint64(v) % qint64(p);
    } else {
        q = v / p;
        rem = v % p;
    }
    // Half of p or more, without doubling the remainder (p may be 10^38).
    if (abs128(rem) >= p - abs128(rem))
        q += v < 0 ? -1 : 1;
    return Numeric{q, s};
}

double Numeric::toDouble() const {
    // The powers of ten up to 1e22 are exact doubles: the same divisor pow() gives, read from a
    // table instead of computed for every value.
    static constexpr auto kExact = [] {
        std::array<double, 23> powers{};
        double p = 1;
        for (double& power : powers) {
            power = p;
            p *= 10;
        }
        return powers;
    }();
    const double divisor =
        scale >= 0 && scale < int(kExact.size()) ? kExact[std::size_t(scale)] : std::pow(10.0, scale);
    return double(v) / divisor;
}

QString Numeric::toString() const {
    unsigned __int128 a = magnitude128(v);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(a % 10)));
        a /= 10;
    } while (a > 0);
    while (digits.size() <= scale)
        digits.prepend(u'0');
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    if (v < 0)
        digits.prepend(u'-');
    return digits;
}

namespace {

// The digits of a number's text from `k` on (its sign read before), counted in `Int`: 64 bits for
// a text too short to leave them, 128 bits otherwise.
template <typename Int> std::optional<Numeric> readDigits(QStringView s, qsizetype k, bool neg) {
    Int v = 0;
    int scale = 0, count = 0;
    bool point = false;
    for (; k < s.size(); ++k) {
        const char16_t c = s[k].unicode();
        if (c == u'.' && !point) {
            point = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        ++count;
        if (v == 0 && c == u'0' && !point)
            continue;
        if (__int128(v) >= kMax38 / 10) {
            if (point)
                continue; // extra decimals are dropped
            return std::nullopt;
        }
        v = v * 10 + Int(c - u'0');
        if (point)
            ++scale;
    }
    if (count == 0)
        return std::nullopt;
    const __int128 value = __int128(v);
    return Numeric{neg ? -value : value, scale};
}

} // namespace

std::optional<Numeric> Numeric::parse(const QString& text) {
    const QStringView s = QStringView(text).trimmed();
    qsizetype k = 0;
    bool neg = false;
    if (k < s.size() && (s[k] == u'-' || s[k] == u'+')) {
        neg = s[k] == u'-';
        ++k;
    }
    // At most 19 characters hold less than 10^19: a 64-bit count.
    return s.size() - k <= 19 ? readDigits<quint64>(s, k, neg) : readDigits<__int128>(s, k, neg);
}

std::optional<Numeric> Numeric::fromDouble(double d, int scale) {
    if (!std::isfinite(d))
        return std::nullopt;
    double scaled = std::round(d * std::pow(10.0, scale));
    if (std::fabs(scaled) >= 1e38)
        return std::nullopt;
    return Numeric{static_cast<__int128>(scaled), scale};
}

// ---- Value ----

Value Value::integer(qint64 x, TypeId id) {
    Value v;
    v.type = SqlType::of(id);
    v.null = false;
    v.i = x;
    return v;
}
Value Value::decimal(const Numeric& x, int precision) {
    Value v;
    v.type = SqlType::decimal(std::max(precision, std::max(x.scale, 1)), x.scale);
    v.null = false;
    v.n = x;
    return v;
}
Value Value::flt(double x) {
    Value v;
    v.type = SqlType::of(TypeId::Float);
    v.null = false;
    v.f = x;
    return v;
}
Value Value::str(const QString& x, bool unicode) {
    Value v;
    v.type = SqlType{unicode ? TypeId::NVarChar : TypeId::VarChar, 0, 0,
                     int(std::max<qsizetype>(1, x.size())), false};
    v.null = false;
    v.s = x;
    return v;
}
Value Value::boolean(bool b) {
    return integer(b ? 1 : 0, TypeId::Bit);
}
Value Value::datetime(const QDateTime& d, TypeId id) {
    Value v;
    v.type = SqlType::of(id);
    v.null = false;
    v.dt = roundedFor(d, id);
    return v;
}
Value Value::time(qint64 ticks, int scale) {
    Value v;
    v.type = SqlType::time(scale);
    v.null = false;
    v.i = ticks;
    return v;
}

} // namespace tsql
