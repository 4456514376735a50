#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <compare>
#include <cstdint>
#include <optional>

class QDebug;

namespace core {

// A 96-bit scaled decimal as OLE Automation keeps it: an unsigned 96-bit integer mantissa,
// a scale from 0 to 28 (the power of ten the mantissa is divided by) and a sign.
// Values are exact; operations that do not fit report overflow instead of losing digits.
class Decimal {
public:
    static constexpr int MaxScale = 28;

    Decimal() = default; // zero, scale 0
    static Decimal fromInt64(std::int64_t v);
    static Decimal fromUInt64(std::uint64_t v);
    // Nearest decimal with at most 15 significant digits, as the platform converts a double.
    static std::optional<Decimal> fromDouble(double v);
    // Builds from raw parts; nullopt when the mantissa exceeds 96 bits or the scale 28.
    static std::optional<Decimal> fromParts(unsigned __int128 mantissa, int scale, bool negative);

    // Plain decimal form: optional sign, digits, optional decimal separator and digits,
    // optional exponent ("1.5E3"); blanks around the number are allowed. Digits beyond
    // 28 decimals are rounded half away from zero; nullopt when the text is no number or
    // the value does not fit.
    static std::optional<Decimal> parse(QStringView text, QChar decimalSeparator = u'.',
                                        QChar groupSeparator = QChar());
    // Parses with the separators of the current QLocale (the regional settings).
    static std::optional<Decimal> parseLocale(QStringView text);
    // The same, telling the two failures apart: `*overflow` is set to true when the text is a
    // number that does not fit, to false otherwise.
    static std::optional<Decimal> parse(QStringView text, QChar decimalSeparator, QChar groupSeparator,
                                        bool* overflow);
    static std::optional<Decimal> parseLocale(QStringView text, bool* overflow);

    // Plain decimal form with '.' and the value's own scale: "-12.50", "0", "0.001".
    // A negative zero is written "0".
    QString toString() const;
    // The same with another decimal separator (the regional one for display, for example).
    QString toString(QChar decimalSeparator) const;
    double toDouble() const;
    // Integer part, truncated toward zero; nullopt when it does not fit.
    std::optional<std::int64_t> toInt64() const;
    // Rounds half to even (banker's rounding), as the platform's CLng/CInt do.
    std::optional<std::int64_t> toInt64Rounded() const;

    unsigned __int128 mantissa() const { return m_mantissa; }
    int scale() const { return m_scale; }
    bool isNegative() const { return m_negative && m_mantissa != 0; }
    bool isZero() const { return m_mantissa == 0; }

    std::optional<Decimal> add(const Decimal& o) const;
    std::optional<Decimal> subtract(const Decimal& o) const;
    std::optional<Decimal> multiply(const Decimal& o) const;
    // nullopt on overflow and on division by zero (callers tell the two apart by o.isZero()).
    std::optional<Decimal> divide(const Decimal& o) const;
    Decimal negated() const;
    Decimal abs() const;

    // Rounds (half away from zero) or extends to exactly `scale` decimals.
    std::optional<Decimal> rescaled(int scale) const;
    // Removes trailing zero decimals.
    Decimal normalized() const;
    // Number of significant integer digits plus `scale()` (SQL precision of this value).
    int precision() const;

    std::strong_ordering compare(const Decimal& o) const;
    friend bool operator==(const Decimal& a, const Decimal& b) { return a.compare(b) == 0; }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) { return a.compare(b); }

private:
    unsigned __int128 m_mantissa = 0; // < 2^96
    int m_scale = 0;
    bool m_negative = false;
};

QDebug operator<<(QDebug dbg, const Decimal& d);

// Reads a number written in the plain decimal form that Decimal::parse accepts as a double
// (correctly rounded). nullopt when the text is no number, or it is out of the double range
// (then `*overflow` is set to true).
std::optional<double> parseDouble(QStringView text, QChar decimalSeparator = u'.',
                                  QChar groupSeparator = QChar(), bool* overflow = nullptr);
// The same with the separators of the current QLocale.
std::optional<double> parseDoubleLocale(QStringView text, bool* overflow = nullptr);

} // namespace core
