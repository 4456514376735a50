// FORMAT of numbers, as the .NET Framework's number formatting writes them: the value becomes a
// string of significant digits and the place of its decimal point (a decimal keeps its digits,
// float keeps 15 and real 7, as the Framework reads them), rounded half away from zero, then
// written by the standard or the custom format.

#include "tsql/functions/NumberFormat.h"

#include "tsql/base/Messages.h"

#include <QRegularExpression>

#include <cstdio>
#include <string>

namespace tsql {

namespace {

enum class Kind { Integer, Decimal, Double, Single };

// value = 0.d1 d2 d3 ... x 10^scale; no digits for zero.
struct Number {
    bool negative = false;
    std::string digits;
    int scale = 0;
    Kind kind = Kind::Integer;
};

std::string unsignedDigits(unsigned __int128 u) {
    std::string s;
    while (u > 0) {
        s.insert(s.begin(), char('0' + int(u % 10)));
        u /= 10;
    }
    return s;
}

// The digits of a binary floating-point value as the Framework takes them: `precision`
// significant digits, trailing zeros dropped.
void floatDigits(Number& n, double d, int precision) {
    n.negative = d < 0;
    if (d == 0)
        return;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, d < 0 ? -d : d);
    const std::string text(buffer);
    const auto e = text.find('e');
    for (std::size_t k = 0; k < e; ++k)
        if (text[k] != '.')
            n.digits += text[k];
    n.scale = std::stoi(text.substr(e + 1)) + 1;
    while (!n.digits.empty() && n.digits.back() == '0')
        n.digits.pop_back();
}

std::optional<Number> numberOf(const Value& v) {
    Number n;
    const TypeId id = v.type.id;
    if (v.type.isInteger() && id != TypeId::Bit) {
        n.negative = v.i < 0;
        const unsigned __int128 u = v.i < 0 ? (unsigned __int128)(-(__int128)v.i) : (unsigned __int128)v.i;
        n.digits = unsignedDigits(u);
        n.scale = int(n.digits.size());
        return n;
    }
    if (id == TypeId::Decimal || id == TypeId::Money || id == TypeId::SmallMoney) {
        n.kind = Kind::Decimal;
        n.negative = v.n.v < 0;
        n.digits = unsignedDigits(v.n.v < 0 ? (unsigned __int128)(-v.n.v) : (unsigned __int128)v.n.v);
        n.scale = int(n.digits.size()) - v.n.scale;
        return n;
    }
    if (id == TypeId::Float) {
        n.kind = Kind::Double;
        floatDigits(n, v.f, 15);
        return n;
    }
    if (id == TypeId::Real) {
        n.kind = Kind::Single;
        floatDigits(n, double(float(v.f)), 7);
        return n;
    }
    return std::nullopt;
}

// Keeps `pos` digits, the next one rounding half away from zero; trailing zeros go. Zero loses
// its sign.
void roundNumber(Number& n, int pos) {
    std::string& d = n.digits;
    int i = 0;
    while (i < pos && i < int(d.size()))
        ++i;
    if (i == pos && pos >= 0 && i < int(d.size()) && d[size_t(i)] >= '5') {
        while (i > 0 && d[size_t(i - 1)] == '9')
            --i;
        if (i > 0) {
            ++d[size_t(i - 1)];
        } else {
            ++n.scale;
            d[0] = '1';
            i = 1;
        }
    } else {
        if (pos < 0)
            i = 0;
        while (i > 0 && d[size_t(i - 1)] == '0')
            --i;
    }
    d.resize(size_t(i));
    if (d.empty()) {
        n.scale = 0;
        n.negative = false;
    }
}

void appendGrouped(QString& out, const std::string& intPart, QChar group, bool grouping) {
    for (std::size_t k = 0; k < intPart.size(); ++k) {
        out += QChar(intPart[k]);
        const std::size_t left = intPart.size() - k - 1;
        if (grouping && left > 0 && left % 3 == 0)
            out += group;
    }
}

// The digits with `decimals` places, groups of three when `grouping`.
void formatFixed(QString& out, const Number& n, int decimals, const Culture& c, bool grouping) {
    int digPos = n.scale;
    std::size_t di = 0;
    const std::string& d = n.digits;
    if (digPos > 0) {
        std::string intPart;
        for (int k = 0; k < digPos; ++k)
            intPart += di < d.size() ? d[di++] : '0';
        appendGrouped(out, intPart, c.group, grouping);
    } else {
        out += u'0';
    }
    if (decimals <= 0)
        return;
    out += c.decimal;
    if (digPos < 0) {
        const int zeros = std::min(-digPos, decimals);
        out += QString(zeros, u'0');
        decimals -= zeros;
    }
    for (; decimals > 0; --decimals)
        out += QChar(di < d.size() ? d[di++] : '0');
}

void formatExponent(QString& out, int exponent, QChar letter, int minDigits, bool plus) {
    out += letter;
    if (exponent < 0)
        out += u'-';
    else if (plus)
        out += u'+';
    out += QString::number(std::abs(exponent)).rightJustified(minDigits, u'0');
}

void formatGeneral(QString& out, const Number& n, int precision, bool suppressScientific, QChar letter,
                   const Culture& c) {
    int digPos = n.scale;
    bool scientific = false;
    if (!suppressScientific && (digPos > precision || digPos < -3)) {
        digPos = 1;
        scientific = true;
    }
    std::size_t di = 0;
    const std::string& d = n.digits;
    if (digPos > 0) {
        do {
            out += QChar(di < d.size() ? d[di++] : '0');
        } while (--digPos > 0);
    } else {
        out += u'0';
    }
    if (di < d.size() || digPos < 0) {
        out += c.decimal;
        for (; digPos < 0; ++digPos)
            out += u'0';
        while (di < d.size())
            out += QChar(d[di++]);
    }
    if (scientific)
        formatExponent(out, n.scale - 1, letter, 2, true);
}

[[noreturn]] void refuse(const QString& format) {
    raise<Msg::FormatNotSupported>(format);
}

int integerBits(TypeId id) {
    switch (id) {
    case TypeId::TinyInt:
        return 8;
    case TypeId::SmallInt:
        return 16;
    case TypeId::Int:
        return 32;
    default:
        return 64;
    }
}

// A standard format: one letter and a precision of up to two digits.
std::optional<QString> standardFormat(const Value& v, Number n, QChar letter, int precision,
                                      const QString& format, const Culture& c) {
    const QChar upper = letter.toUpper();
    QString out;
    const bool integer = n.kind == Kind::Integer;
    switch (upper.unicode()) {
    case 'N':
    case 'F':
        roundNumber(n, n.scale + (precision < 0 ? 2 : precision));
        if (n.negative)
            out += u'-';
        formatFixed(out, n, precision < 0 ? 2 : precision, c, upper == u'N');
        return out;
    case 'C': {
        if (!c.currency)
            refuse(format);
        roundNumber(n, n.scale + (precision < 0 ? 2 : precision));
        if (n.negative && !c.negativeCurrency)
            refuse(format);
        QString amount;
        formatFixed(amount, n, precision < 0 ? 2 : precision, c, true);
        const QString symbol = QString::fromUtf16(c.currency);
        out = c.currencySymbolFirst ? symbol + amount : amount + u' ' + symbol;
        return n.negative ? u'(' + out + u')' : out;
    }
    case 'P':
        if (!c.percent)
            refuse(format);
        if (!n.digits.empty())
            n.scale += 2;
        roundNumber(n, n.scale + (precision < 0 ? 2 : precision));
        if (n.negative)
            out += u'-';
        formatFixed(out, n, precision < 0 ? 2 : precision, c, true);
        return out + QStringLiteral(" %");
    case 'E': {
        const int p = precision < 0 ? 6 : precision;
        roundNumber(n, p + 1);
        if (n.negative)
            out += u'-';
        std::size_t di = 0;
        out += QChar(di < n.digits.size() ? n.digits[di++] : '0');
        if (p > 0) {
            out += c.decimal;
            for (int k = 0; k < p; ++k)
                out += QChar(di < n.digits.size() ? n.digits[di++] : '0');
        }
        formatExponent(out, n.digits.empty() ? 0 : n.scale - 1, letter == u'e' ? u'e' : u'E', 3, true);
        return out;
    }
    case 'D':
        if (!integer)
            return std::nullopt;
        return (n.negative ? QStringLiteral("-") : QString()) +
               QString::fromStdString(n.digits.empty() ? std::string("0") : n.digits)
                   .rightJustified(std::max(precision, 1), u'0');
    case 'X': {
        if (!integer)
            return std::nullopt;
        const int bits = integerBits(v.type.id);
        const quint64 mask = bits == 64 ? ~quint64(0) : (quint64(1) << bits) - 1;
        out = QString::number(quint64(v.i) & mask, 16);
        out = letter == u'X' ? out.toUpper() : out;
        return out.rightJustified(std::max(precision, 1), u'0');
    }
    case 'G': {
        const QChar e = letter == u'g' ? u'e' : u'E';
        int p = precision;
        const int most = n.kind == Kind::Double ? 15 : n.kind == Kind::Single ? 7 : 0;
        if (most > 0 && p > most)
            refuse(format);
        if (p <= 0 && n.kind == Kind::Decimal) {
            if (n.negative)
                out += u'-';
            formatGeneral(out, n, 0, true, e, c);
            return out;
        }
        if (p <= 0)
            p = most > 0 ? most : std::max<int>(int(n.digits.size()), 1);
        roundNumber(n, p);
        if (n.negative)
            out += u'-';
        formatGeneral(out, n, p, false, e, c);
        return out;
    }
    case 'R':
        refuse(format);
    default:
        return std::nullopt;
    }
}

QString customFormat(Number n, const QString& format, const Culture& c);

} // namespace

std::optional<QString> formatNumber(const Value& v, const QString& format, const Culture& culture) {
    auto number = numberOf(v);
    if (!number)
        raise<Msg::FormatTypeNotSupported>(v.type.name());
    static const QRegularExpression standard(QStringLiteral("^([A-Za-z])([0-9]{0,2})$"));
    const auto m = standard.match(format);
    if (m.hasMatch()) {
        const QString digits = m.captured(2);
        return standardFormat(v, *number, m.captured(1)[0], digits.isEmpty() ? -1 : digits.toInt(), format,
                              culture);
    }
    if (format.isEmpty())
        return standardFormat(v, *number, u'G', -1, format, culture);
    return customFormat(*number, format, culture);
}

namespace {

// The sections of a custom format (positive;negative;zero), quotes and escapes kept whole.
QStringList sections(const QString& format) {
    QStringList parts{QString()};
    for (qsizetype k = 0; k < format.size(); ++k) {
        const QChar ch = format[k];
        if (ch == u';') {
            parts << QString();
            continue;
        }
        parts.last() += ch;
        if (ch == u'\\' && k + 1 < format.size()) {
            parts.last() += format[++k];
        } else if (ch == u'\'' || ch == u'"') {
            for (++k; k < format.size(); ++k) {
                parts.last() += format[k];
                if (format[k] == ch)
                    break;
            }
        }
    }
    return parts;
}

// The section for a sign (0 positive, 1 negative, 2 zero): an absent or empty one is the first.
int sectionFor(const QStringList& parts, int which) {
    if (which == 0 || which >= parts.size() || parts[which].isEmpty())
        return 0;
    return which;
}

struct Layout {
    int digitCount = 0;
    int decimalPos = -1;
    int firstDigit = 0x7FFFFFFF;
    int lastDigit = 0;
    int scaleAdjust = 0;
    bool thousandSeps = false;
};

Layout layoutOf(const QString& f, const QString& whole) {
    Layout l;
    int thousandPos = -1, thousandCount = 0;
    for (qsizetype k = 0; k < f.size(); ++k) {
        const QChar ch = f[k];
        switch (ch.unicode()) {
        case '#':
            ++l.digitCount;
            break;
        case '0':
            if (l.firstDigit == 0x7FFFFFFF)
                l.firstDigit = l.digitCount;
            ++l.digitCount;
            l.lastDigit = l.digitCount;
            break;
        case '.':
            if (l.decimalPos < 0)
                l.decimalPos = l.digitCount;
            break;
        case ',':
            if (l.digitCount > 0 && l.decimalPos < 0) {
                if (thousandPos >= 0) {
                    if (thousandPos == l.digitCount) {
                        ++thousandCount;
                        break;
                    }
                    l.thousandSeps = true;
                }
                thousandPos = l.digitCount;
                thousandCount = 1;
            }
            break;
        case '%':
            l.scaleAdjust += 2;
            break;
        case 0x2030:
            l.scaleAdjust += 3;
            break;
        case '\'':
        case '"':
            for (++k; k < f.size() && f[k] != ch; ++k) {
            }
            break;
        case '\\':
            ++k;
            break;
        case 'E':
        case 'e':
            if (k + 1 < f.size() && (f[k + 1] == u'0' || ((f[k + 1] == u'+' || f[k + 1] == u'-') &&
                                                          k + 2 < f.size() && f[k + 2] == u'0')))
                refuse(whole); // scientific notation in a custom format
            break;
        default:
            break;
        }
    }
    if (l.decimalPos < 0)
        l.decimalPos = l.digitCount;
    if (thousandPos >= 0) {
        if (thousandPos == l.decimalPos)
            l.scaleAdjust -= thousandCount * 3;
        else
            l.thousandSeps = true;
    }
    return l;
}

QString customFormat(Number n, const QString& format, const Culture& c) {
    const QStringList parts = sections(format);
    int section = sectionFor(parts, n.digits.empty() ? 2 : n.negative ? 1 : 0);
    Layout l;
    for (;;) {
        l = layoutOf(parts[section], format);
        if (n.digits.empty()) {
            n.negative = false;
            n.scale = 0;
            break;
        }
        n.scale += l.scaleAdjust;
        roundNumber(n, n.scale + l.digitCount - l.decimalPos);
        if (!n.digits.empty())
            break;
        const int zero = sectionFor(parts, 2);
        if (zero == section)
            break;
        section = zero;
    }
    const int firstDigit = l.firstDigit < l.decimalPos ? l.decimalPos - l.firstDigit : 0;
    const int lastDigit = l.lastDigit > l.decimalPos ? l.decimalPos - l.lastDigit : 0;
    int digPos = std::max(n.scale, l.decimalPos);
    int adjust = n.scale - l.decimalPos;
    // Where group separators go: after the digit whose place (counted from the point) is one
    // more than an entry.
    std::vector<int> separators;
    if (l.thousandSeps) {
        const int total = digPos + (adjust < 0 ? adjust : 0);
        const int count = std::max(firstDigit, total);
        for (int at = 3; count > at; at += 3)
            separators.push_back(at);
    }
    int sepIndex = int(separators.size()) - 1;
    QString out;
    if (n.negative && section == 0)
        out += u'-';
    std::size_t di = 0;
    auto nextDigit = [&]() -> QChar { return di < n.digits.size() ? QChar(n.digits[di++]) : QChar(); };
    auto separatorAfter = [&]() {
        if (l.thousandSeps && digPos > 1 && sepIndex >= 0 && digPos == separators[size_t(sepIndex)] + 1) {
            out += c.group;
            --sepIndex;
        }
    };
    bool decimalWritten = false;
    const QString& f = parts[section];
    for (qsizetype k = 0; k < f.size(); ++k) {
        const QChar ch = f[k];
        if (adjust > 0 && (ch == u'#' || ch == u'0' || ch == u'.')) {
            for (; adjust > 0; --adjust, --digPos) {
                const QChar d = nextDigit();
                out += d.isNull() ? QChar(u'0') : d;
                separatorAfter();
            }
        }
        switch (ch.unicode()) {
        case '#':
        case '0': {
            QChar d;
            if (adjust < 0) {
                ++adjust;
                d = digPos <= firstDigit ? QChar(u'0') : QChar();
            } else {
                d = nextDigit();
                if (d.isNull() && digPos > lastDigit)
                    d = u'0';
            }
            if (!d.isNull()) {
                out += d;
                separatorAfter();
            }
            --digPos;
            break;
        }
        case '.':
            if (digPos != 0 || decimalWritten)
                break;
            if (lastDigit < 0 || (l.decimalPos < l.digitCount && di < n.digits.size())) {
                out += c.decimal;
                decimalWritten = true;
            }
            break;
        case 0x2030:
            out += ch;
            break;
        case '%':
            out += u'%';
            break;
        case ',':
            break;
        case '\'':
        case '"':
            for (++k; k < f.size() && f[k] != ch; ++k)
                out += f[k];
            break;
        case '\\':
            if (k + 1 < f.size())
                out += f[++k];
            break;
        default:
            out += ch;
            break;
        }
    }
    return out;
}

} // namespace

} // namespace tsql
