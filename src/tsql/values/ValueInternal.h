#pragma once

// Helpers shared by the files that implement Value.h: types, conversion, arithmetic and the text
// of values. Not part of the engine's interface.

#include "tsql/values/Value.h"

#include <array>
#include <limits>

namespace tsql::detail {

// 10^k for 0 <= k <= 38 (clamped outside).
inline __int128 pow10(int k) {
    static constexpr std::array<__int128, 39> table = [] {
        std::array<__int128, 39> t{};
        t[0] = 1;
        for (std::size_t j = 1; j < t.size(); ++j)
            t[j] = t[j - 1] * 10;
        return t;
    }();
    return table[std::size_t(k < 0 ? 0 : (k > 38 ? 38 : k))];
}

inline __int128 abs128(__int128 v) {
    return v < 0 ? -v : v;
}

// |v| for every v, the most negative one (-2^127, a product that just fits 128 bits) included.
inline unsigned __int128 magnitude128(__int128 v) {
    using U = unsigned __int128;
    return v < 0 ? U(0) - static_cast<U>(v) : static_cast<U>(v);
}

// Whether v fits 64 bits: the operators then take the processor's own multiplication and
// division instead of the library's 128-bit ones, with the same results.
inline bool fits64(__int128 v) {
    return v >= std::numeric_limits<qint64>::min() && v <= std::numeric_limits<qint64>::max();
}

// a * b into `out`, false when the product does not fit 128 bits (as __builtin_mul_overflow).
inline bool multiply128(__int128 a, __int128 b, __int128& out) {
    if (fits64(a) && fits64(b)) { // |a * b| <= 2^126: no overflow
        out = __int128(qint64(a)) * qint64(b);
        return true;
    }
    return !__builtin_mul_overflow(a, b, &out);
}

// One more than the largest value of 38 digits, the most a decimal holds.
inline constexpr __int128 kMax38 = [] {
    __int128 p = 1;
    for (int j = 0; j < 38; ++j)
        p *= 10;
    return p;
}();

// Whether a value already of its type's scale has no more integer digits than `precision` leaves
// room for (digits() - scale <= precision - scale): |v| < 10^precision, one comparison instead of
// counting the digits.
inline bool fitsPrecision(const Numeric& n, int precision) {
    if (n.scale > precision || precision > 38 || precision < 0)
        return n.digits() - n.scale <= precision - n.scale;
    return magnitude128(n.v) < static_cast<unsigned __int128>(pow10(precision));
}

// `n` at scale `s` (rounded half away from zero; nullopt beyond 38 digits): the number itself
// at its own scale, most operands, without a call.
inline std::optional<Numeric> atScale(const Numeric& n, int s) {
    return n.scale == s ? std::optional<Numeric>(n) : n.rescaled(s);
}

// A decimal (or money) operator of two exact numbers, the result of type `t` (Msg 8115 and 8134
// as the operator raises them).
Numeric decimalResult(ArithmeticOp op, const Numeric& p, const Numeric& q, const SqlType& t);

// The decimal type an exact numeric type converts to without loss ("Precision, scale, and
// length": int is decimal(10,0), money decimal(19,4), ...); other types unchanged.
SqlType decimalOf(const SqlType& t);

// The range of an integer type.
inline qint64 intMin(TypeId id) {
    switch (id) {
    case TypeId::Bit:
    case TypeId::TinyInt:
        return 0;
    case TypeId::SmallInt:
        return -32768;
    case TypeId::BigInt:
        return std::numeric_limits<qint64>::min();
    default:
        return std::numeric_limits<qint32>::min();
    }
}

inline qint64 intMax(TypeId id) {
    switch (id) {
    case TypeId::Bit:
        return 1;
    case TypeId::TinyInt:
        return 255;
    case TypeId::SmallInt:
        return 32767;
    case TypeId::BigInt:
        return std::numeric_limits<qint64>::max();
    default:
        return std::numeric_limits<qint32>::max();
    }
}

// The type's name as the server's conversion messages write it (decimal as "numeric").
QString messageTypeName(const SqlType& t);

// Msg 8115, "Arithmetic overflow error converting <from> to data type <to>."; `from` Unknown
// reads "expression".
[[noreturn]] void overflow(const SqlType& from, const SqlType& to);

// 1900-01-01, day 0 of the server's date arithmetic.
const QDateTime& baseDate();

} // namespace tsql::detail
