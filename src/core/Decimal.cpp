#include "core/Decimal.h"

#include <QDebug>
#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace core {

namespace {

using u128 = unsigned __int128;
using u64 = std::uint64_t;

constexpr u128 kLimit = u128(1) << 96; // every mantissa is below this

constexpr std::array<u128, 39> makePowers() {
    std::array<u128, 39> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<u128, 39> kPow10 = makePowers();

// A 256-bit unsigned integer: wide enough for the exact intermediate results of the
// operations (a 96-bit mantissa times 10^28, or the product of two mantissas).
struct U256 {
    std::array<u64, 4> w{}; // least significant word first

    U256() = default;
    explicit U256(u128 v) {
        w[0] = static_cast<u64>(v);
        w[1] = static_cast<u64>(v >> 64);
    }

    bool isZero() const { return (w[0] | w[1] | w[2] | w[3]) == 0; }
    bool fitsMantissa() const { return w[2] == 0 && w[3] == 0 && low128() < kLimit; }
    u128 low128() const { return (u128(w[1]) << 64) | w[0]; }
    bool isOdd() const { return (w[0] & 1) != 0; }

    // Returns false when the result does not fit 256 bits.
    bool mulSmall(u64 m) {
        u128 carry = 0;
        for (auto& x : w) {
            const u128 p = u128(x) * m + carry;
            x = static_cast<u64>(p);
            carry = p >> 64;
        }
        return carry == 0;
    }
    bool mulPow10(int n) {
        for (; n >= 19; n -= 19)
            if (!mulSmall(static_cast<u64>(kPow10[19])))
                return false;
        return n == 0 || mulSmall(static_cast<u64>(kPow10[static_cast<std::size_t>(n)]));
    }
    void addSmall(u64 a) {
        u128 carry = a;
        for (auto& x : w) {
            if (carry == 0)
                break;
            const u128 s = u128(x) + carry;
            x = static_cast<u64>(s);
            carry = s >> 64;
        }
    }
    // Divides in place and returns the remainder.
    u64 divSmall(u64 d) {
        u128 rem = 0;
        for (int i = 3; i >= 0; --i) {
            const u128 cur = (rem << 64) | w[static_cast<std::size_t>(i)];
            w[static_cast<std::size_t>(i)] = static_cast<u64>(cur / d);
            rem = cur % d;
        }
        return static_cast<u64>(rem);
    }
    void add(const U256& o) {
        u128 carry = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const u128 s = u128(w[i]) + o.w[i] + carry;
            w[i] = static_cast<u64>(s);
            carry = s >> 64;
        }
    }
    // Requires *this >= o.
    void sub(const U256& o) {
        u64 borrow = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const u128 d = u128(w[i]) - o.w[i] - borrow;
            w[i] = static_cast<u64>(d);
            borrow = (d >> 64) != 0 ? 1 : 0;
        }
    }
    void addShifted(u128 v, std::size_t word) {
        U256 t;
        t.w[word] = static_cast<u64>(v);
        if (word + 1 < 4)
            t.w[word + 1] = static_cast<u64>(v >> 64);
        add(t);
    }
    static U256 mul(u128 a, u128 b) {
        const u64 a0 = static_cast<u64>(a), a1 = static_cast<u64>(a >> 64);
        const u64 b0 = static_cast<u64>(b), b1 = static_cast<u64>(b >> 64);
        U256 r;
        r.addShifted(u128(a0) * b0, 0);
        r.addShifted(u128(a0) * b1, 1);
        r.addShifted(u128(a1) * b0, 1);
        r.addShifted(u128(a1) * b1, 2);
        return r;
    }
    bool bit(int i) const { return ((w[static_cast<std::size_t>(i / 64)] >> (i % 64)) & 1) != 0; }
    void setBit(int i) { w[static_cast<std::size_t>(i / 64)] |= u64(1) << (i % 64); }
    int bitLength() const {
        for (int i = 3; i >= 0; --i)
            if (w[static_cast<std::size_t>(i)] != 0)
                return i * 64 + 64 - __builtin_clzll(w[static_cast<std::size_t>(i)]);
        return 0;
    }
    // Long division by a divisor below 2^127; returns the remainder.
    u128 divMod(u128 d) {
        U256 q;
        u128 r = 0;
        for (int i = bitLength() - 1; i >= 0; --i) {
            r = (r << 1) | (bit(i) ? 1 : 0);
            if (r >= d) {
                r -= d;
                q.setBit(i);
            }
        }
        *this = q;
        return r;
    }

    friend std::strong_ordering operator<=>(const U256& a, const U256& b) {
        for (int i = 3; i >= 0; --i) {
            const auto k = static_cast<std::size_t>(i);
            if (a.w[k] != b.w[k])
                return a.w[k] < b.w[k] ? std::strong_ordering::less : std::strong_ordering::greater;
        }
        return std::strong_ordering::equal;
    }
};

enum class Rounding { HalfEven, HalfAwayFromZero };

// The decimal nearest to m / 10^scale with at most `maxScale` decimals and a 96-bit mantissa:
// decimals are dropped (rounding once, from the exact value) until both hold.
// nullopt when even scale 0 does not fit.
std::optional<Decimal> makeDecimal(U256 m, int scale, bool negative, Rounding mode,
                                   int maxScale = Decimal::MaxScale) {
    if (scale < 0) {
        if (m.isZero())
            return Decimal::fromParts(0, 0, negative);
        for (; scale < 0; ++scale)
            if (!m.mulSmall(10) || !m.fitsMantissa())
                return std::nullopt;
    }
    u64 last = 0;        // the most significant digit dropped so far
    bool sticky = false; // whether any less significant dropped digit was not zero
    auto dropDigit = [&] {
        sticky = sticky || last != 0;
        last = m.divSmall(10);
        --scale;
    };
    while (scale > maxScale) {
        if (m.isZero()) { // nothing left to drop: only the rounding information stays
            sticky = sticky || last != 0;
            last = 0;
            scale = maxScale;
            break;
        }
        dropDigit();
    }
    for (;;) {
        U256 r = m;
        const bool up = mode == Rounding::HalfAwayFromZero
                            ? last >= 5
                            : (last > 5 || (last == 5 && (sticky || m.isOdd())));
        if (up)
            r.addSmall(1);
        if (r.fitsMantissa())
            return Decimal::fromParts(r.low128(), scale, negative);
        if (scale == 0)
            return std::nullopt;
        dropDigit();
    }
}

U256 scaledUp(u128 m, int by) {
    U256 r(m);
    r.mulPow10(by); // at most 96 bits times 10^28: always fits
    return r;
}

std::string digitsOf(u128 v) {
    // At most 29 digits: written as up to two 19-digit groups below a leading part.
    constexpr u64 group = 10000000000000000000ULL; // 10^19
    u64 parts[3];
    int n = 0;
    do {
        parts[n++] = static_cast<u64>(v % group);
        v /= group;
    } while (v != 0 && n < 3);
    char buf[64];
    char* p = std::to_chars(buf, buf + sizeof buf, parts[n - 1]).ptr;
    for (int i = n - 2; i >= 0; --i) {
        char tmp[20];
        char* e = std::to_chars(tmp, tmp + sizeof tmp, parts[i]).ptr;
        const auto len = e - tmp;
        p = std::fill_n(p, 19 - len, '0');
        p = std::copy(tmp, e, p);
    }
    return std::string(buf, p);
}

// A number read from text: value = digits * 10^exponent.
struct Scanned {
    bool negative = false;
    std::string digits; // ASCII digits, leading zeros removed (empty for zero)
    long exponent = 0;
};

constexpr long kExponentCap = 100000; // far beyond any representable value either way

bool isBlank(QChar c) {
    return c.isSpace();
}
bool isDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

std::optional<Scanned> scanNumber(QStringView text, QChar dec, QChar group) {
    Scanned out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        out.negative = text[i] == u'-';
        ++i;
    }
    bool anyDigit = false;
    long fracDigits = 0;
    std::string digits;
    while (i < n) {
        const QChar c = text[i];
        if (isDigit(c)) {
            digits.push_back(static_cast<char>(c.unicode()));
            anyDigit = true;
        } else if (!group.isNull() && c == group && anyDigit && c != dec) {
            // group separators are accepted anywhere after the first digit, as the platform does
        } else {
            break;
        }
        ++i;
    }
    if (i < n && text[i] == dec) {
        ++i;
        while (i < n && isDigit(text[i])) {
            digits.push_back(static_cast<char>(text[i].unicode()));
            ++fracDigits;
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    long exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            expNegative = text[i] == u'-';
            ++i;
        }
        if (i >= n || !isDigit(text[i]))
            return std::nullopt;
        while (i < n && isDigit(text[i])) {
            if (exponent < kExponentCap)
                exponent = exponent * 10 + (text[i].unicode() - u'0');
            ++i;
        }
        if (expNegative)
            exponent = -exponent;
    }
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n)
        return std::nullopt;
    const auto firstNonZero = digits.find_first_not_of('0');
    out.digits = firstNonZero == std::string::npos ? std::string() : digits.substr(firstNonZero);
    out.exponent = exponent - fracDigits;
    return out;
}

QChar singleChar(const QString& s, QChar fallback) {
    return s.size() == 1 ? s.at(0) : fallback;
}

// The regional separators; a locale whose separators are not single characters reads '.'
// as the decimal separator and has no group separator.
QChar localeDecimalPoint(const QLocale& loc) {
    return singleChar(loc.decimalPoint(), u'.');
}
QChar localeGroupSeparator(const QLocale& loc) {
    return singleChar(loc.groupSeparator(), QChar());
}

} // namespace

Decimal Decimal::fromInt64(std::int64_t v) {
    Decimal d;
    d.m_negative = v < 0;
    d.m_mantissa = v < 0 ? u128(~static_cast<u64>(v)) + 1 : u128(static_cast<u64>(v));
    return d;
}

Decimal Decimal::fromUInt64(std::uint64_t v) {
    Decimal d;
    d.m_mantissa = v;
    return d;
}

std::optional<Decimal> Decimal::fromDouble(double v) {
    if (!std::isfinite(v))
        return std::nullopt;
    // 15 significant digits, as the platform converts a double, then no trailing zeros.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    const QString text = QString::fromLatin1(buf, res.ptr - buf);
    auto d = parse(text, u'.', QChar());
    if (!d)
        return std::nullopt;
    return d->normalized();
}

std::optional<Decimal> Decimal::fromParts(unsigned __int128 mantissa, int scale, bool negative) {
    if (mantissa >= kLimit || scale < 0 || scale > MaxScale)
        return std::nullopt;
    Decimal d;
    d.m_mantissa = mantissa;
    d.m_scale = scale;
    d.m_negative = negative;
    return d;
}

std::optional<Decimal> Decimal::parse(QStringView text, QChar decimalSeparator, QChar groupSeparator) {
    bool overflow = false;
    return parse(text, decimalSeparator, groupSeparator, &overflow);
}

std::optional<Decimal> Decimal::parse(QStringView text, QChar decimalSeparator, QChar groupSeparator,
                                      bool* overflow) {
    if (overflow)
        *overflow = false;
    auto s = scanNumber(text, decimalSeparator, groupSeparator);
    if (!s)
        return std::nullopt;
    // Digits far beyond the 29 a decimal can hold cannot change a half-away-from-zero
    // rounding: keep enough of them and fold the rest into the exponent.
    constexpr std::size_t keep = 70;
    if (s->digits.size() > keep) {
        s->exponent += static_cast<long>(s->digits.size() - keep);
        s->digits.resize(keep);
    }
    U256 m;
    for (char c : s->digits) {
        m.mulSmall(10);
        m.addSmall(static_cast<u64>(c - '0'));
    }
    long scale = -s->exponent;
    if (scale > kExponentCap)
        scale = kExponentCap;
    if (scale < -kExponentCap)
        scale = -kExponentCap;
    auto d = makeDecimal(m, static_cast<int>(scale), s->negative, Rounding::HalfAwayFromZero);
    if (!d && overflow)
        *overflow = true;
    return d;
}

std::optional<Decimal> Decimal::parseLocale(QStringView text) {
    bool overflow = false;
    return parseLocale(text, &overflow);
}

std::optional<Decimal> Decimal::parseLocale(QStringView text, bool* overflow) {
    // Without separators the locale plays no part: it is not asked for (it is slow to ask).
    if (std::all_of(text.begin(), text.end(),
                    [](QChar c) { return (c >= u'0' && c <= u'9') || c == u' ' || c == u'+' || c == u'-'; }))
        return parse(text, u'.', u',', overflow);
    const QLocale loc;
    return parse(text, localeDecimalPoint(loc), localeGroupSeparator(loc), overflow);
}

QString Decimal::toString() const {
    return toString(u'.');
}

QString Decimal::toString(QChar decimalSeparator) const {
    if (m_scale == 0 && m_mantissa <= u128(std::numeric_limits<std::int64_t>::max())) {
        const auto whole = static_cast<std::int64_t>(m_mantissa);
        return QString::number(isNegative() ? -whole : whole);
    }
    std::string digits = digitsOf(m_mantissa);
    QString out;
    if (isNegative())
        out += u'-';
    if (m_scale == 0) {
        out += QString::fromLatin1(digits);
        return out;
    }
    const auto scale = static_cast<std::size_t>(m_scale);
    if (digits.size() <= scale)
        digits.insert(0, scale + 1 - digits.size(), '0');
    out += QString::fromLatin1(digits.substr(0, digits.size() - scale));
    out += decimalSeparator;
    out += QString::fromLatin1(digits.substr(digits.size() - scale));
    return out;
}

double Decimal::toDouble() const {
    double v;
    if (m_mantissa < (u128(1) << 53) && m_scale <= 22) {
        // Both operands are exact doubles, so the one division rounds correctly.
        v = static_cast<double>(static_cast<u64>(m_mantissa)) / static_cast<double>(kPow10[m_scale]);
    } else {
        const std::string text = digitsOf(m_mantissa) + "e-" + std::to_string(m_scale);
        std::from_chars(text.data(), text.data() + text.size(), v);
    }
    return isNegative() ? -v : v;
}

std::optional<std::int64_t> Decimal::toInt64() const {
    const u128 ip = m_mantissa / kPow10[m_scale];
    const u128 limit = u128(1) << 63;
    if (isNegative()) {
        if (ip > limit)
            return std::nullopt;
        return static_cast<std::int64_t>(~static_cast<u64>(ip) + 1);
    }
    if (ip >= limit)
        return std::nullopt;
    return static_cast<std::int64_t>(ip);
}

std::optional<std::int64_t> Decimal::toInt64Rounded() const {
    const u128 p = kPow10[m_scale];
    u128 q = m_mantissa / p;
    const u128 r = m_mantissa % p;
    if (r * 2 > p || (r * 2 == p && (q & 1) != 0))
        ++q;
    Decimal whole;
    whole.m_mantissa = q;
    whole.m_negative = m_negative;
    return whole.toInt64();
}

std::optional<Decimal> Decimal::add(const Decimal& o) const {
    if (m_scale == o.m_scale) {
        // Same scale: the exact result fits 128 bits; only a carry beyond 96 needs the general way.
        if (m_negative == o.m_negative) {
            const u128 sum = m_mantissa + o.m_mantissa;
            if (sum < kLimit)
                return fromParts(sum, m_scale, m_negative);
        } else {
            return m_mantissa >= o.m_mantissa ? fromParts(m_mantissa - o.m_mantissa, m_scale, m_negative)
                                              : fromParts(o.m_mantissa - m_mantissa, m_scale, o.m_negative);
        }
    }
    const int s = std::max(m_scale, o.m_scale);
    U256 a = scaledUp(m_mantissa, s - m_scale);
    U256 b = scaledUp(o.m_mantissa, s - o.m_scale);
    if (m_negative == o.m_negative) {
        a.add(b);
        return makeDecimal(a, s, m_negative, Rounding::HalfEven);
    }
    if (a >= b) {
        a.sub(b);
        return makeDecimal(a, s, m_negative && !a.isZero(), Rounding::HalfEven);
    }
    b.sub(a);
    return makeDecimal(b, s, o.m_negative, Rounding::HalfEven);
}

std::optional<Decimal> Decimal::subtract(const Decimal& o) const {
    return add(o.negated());
}

std::optional<Decimal> Decimal::multiply(const Decimal& o) const {
    constexpr u128 small = u128(1) << 64;
    if (m_mantissa < small && o.m_mantissa < small && m_scale + o.m_scale <= MaxScale) {
        const u128 p = m_mantissa * o.m_mantissa;
        if (p < kLimit)
            return fromParts(p, m_scale + o.m_scale, m_negative != o.m_negative);
    }
    return makeDecimal(U256::mul(m_mantissa, o.m_mantissa), m_scale + o.m_scale, m_negative != o.m_negative,
                       Rounding::HalfEven);
}

std::optional<Decimal> Decimal::divide(const Decimal& o) const {
    if (o.isZero())
        return std::nullopt;
    const bool negative = m_negative != o.m_negative;
    int s = m_scale - o.m_scale;
    U256 n(m_mantissa);
    if (s < 0) {
        n.mulPow10(-s);
        s = 0;
    }
    const u128 d = o.m_mantissa;
    u128 r = n.divMod(d);
    if (!n.fitsMantissa())
        return std::nullopt;
    u128 q = n.low128();
    // Adds decimals while the division is not exact and the quotient still fits.
    while (r != 0 && s < MaxScale) {
        const u128 r10 = r * 10; // r < d < 2^96
        const u128 next = q * 10 + r10 / d;
        if (next >= kLimit)
            break;
        q = next;
        r = r10 % d;
        ++s;
    }
    if (r != 0) {
        const u128 twice = r * 2;
        if (twice > d || (twice == d && (q & 1) != 0))
            ++q; // may reach 2^96: makeDecimal then drops one more decimal
    }
    return makeDecimal(U256(q), s, negative, Rounding::HalfEven);
}

Decimal Decimal::negated() const {
    Decimal d = *this;
    d.m_negative = !m_negative;
    return d;
}

Decimal Decimal::abs() const {
    Decimal d = *this;
    d.m_negative = false;
    return d;
}

std::optional<Decimal> Decimal::rescaled(int scale) const {
    if (scale < 0 || scale > MaxScale)
        return std::nullopt;
    if (scale >= m_scale) {
        const U256 m = scaledUp(m_mantissa, scale - m_scale);
        if (!m.fitsMantissa())
            return std::nullopt;
        return fromParts(m.low128(), scale, m_negative);
    }
    return makeDecimal(U256(m_mantissa), m_scale, m_negative, Rounding::HalfAwayFromZero, scale);
}

Decimal Decimal::normalized() const {
    Decimal d = *this;
    while (d.m_scale > 0 && d.m_mantissa % 10 == 0) {
        d.m_mantissa /= 10;
        --d.m_scale;
    }
    return d;
}

int Decimal::precision() const {
    int digits = 0;
    for (u128 v = m_mantissa; v != 0; v /= 10)
        ++digits;
    return std::max({digits, m_scale, 1});
}

std::strong_ordering Decimal::compare(const Decimal& o) const {
    const bool neg = isNegative();
    const bool oneg = o.isNegative();
    if (isZero() && o.isZero())
        return std::strong_ordering::equal;
    if (neg != oneg)
        return neg ? std::strong_ordering::less : std::strong_ordering::greater;
    const int s = std::max(m_scale, o.m_scale);
    const auto mag = scaledUp(m_mantissa, s - m_scale) <=> scaledUp(o.m_mantissa, s - o.m_scale);
    if (!neg)
        return mag;
    return 0 <=> mag;
}

std::optional<double> parseDouble(QStringView text, QChar decimalSeparator, QChar groupSeparator,
                                  bool* overflow) {
    if (overflow)
        *overflow = false;
    const auto s = scanNumber(text, decimalSeparator, groupSeparator);
    if (!s)
        return std::nullopt;
    if (s->digits.empty())
        return s->negative ? -0.0 : 0.0;
    const std::string c = (s->negative ? "-" : "") + s->digits + "e" + std::to_string(s->exponent);
    double v = 0;
    const auto res = std::from_chars(c.data(), c.data() + c.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars reports underflow the same way: a tiny value is zero, a huge one overflows.
        const long magnitude = static_cast<long>(s->digits.size()) + s->exponent;
        if (magnitude < 0)
            return s->negative ? -0.0 : 0.0;
        if (overflow)
            *overflow = true;
        return std::nullopt;
    }
    if (res.ec != std::errc())
        return std::nullopt;
    return v;
}

std::optional<double> parseDoubleLocale(QStringView text, bool* overflow) {
    const QLocale loc;
    return parseDouble(text, localeDecimalPoint(loc), localeGroupSeparator(loc), overflow);
}

QDebug operator<<(QDebug dbg, const Decimal& d) {
    QDebugStateSaver saver(dbg);
    dbg.nospace() << "Decimal(" << d.toString() << ')';
    return dbg;
}

} // namespace core
