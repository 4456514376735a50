// Conversion between the engine's types, as CAST, CONVERT and implicit conversion do it
// ("Data type conversion (Database Engine)", "CAST and CONVERT (Transact-SQL)"): which
// conversions exist, how a value is rounded or cut on the way, and the server's message when a
// value does not fit or cannot be read.

#include "tsql/values/Value.h"

#include "tsql/base/Messages.h"

#include "tsql/values/DateSettings.h"
#include "tsql/values/TimeOfDay.h"
#include "tsql/values/ValueInternal.h"
#include "tsql/xml/Xml.h"

#include <cmath>

namespace tsql {

using detail::baseDate;
using detail::decimalOf;
using detail::intMax;
using detail::intMin;
using detail::messageTypeName;
using detail::overflow;
using detail::pow10;

namespace detail {

void overflow(const SqlType& from, const SqlType& to) {
    QString f = from.id == TypeId::Unknown ? QStringLiteral("expression") : messageTypeName(from);
    raise<Msg::ArithmeticOverflow>(f, messageTypeName(to));
}

} // namespace detail

namespace {

// No conversion between the types: Msg 529 for CAST and CONVERT, Msg 206 for an implicit one.
[[noreturn]] void clash(const SqlType& from, const SqlType& to, bool explicitConversion) {
    if (explicitConversion)
        raise<Msg::ExplicitConversionNotAllowed>(from.name(), to.name());
    raise<Msg::OperandTypeClash>(from.name(), to.name());
}

// A text stored in a character type: cut silently at its length (assignment to a shorter
// variable does not fail), and char and nchar padded with blanks to their length.
QString fitString(const QString& s, const SqlType& to) {
    if (to.length < 0)
        return s;
    if (s.size() > to.length)
        return s.left(to.length);
    if (to.id == TypeId::Char || to.id == TypeId::NChar)
        return s + QString(to.length - s.size(), u' ');
    return s;
}

// Digits out of the range of the integer type `to`: tinyint and smallint name their storage
// (INT1, INT2; Msg 244), int is Msg 248 and bigint Msg 8114.
[[noreturn]] void textOverflow(const Value& v, const SqlType& to) {
    if (to.id == TypeId::BigInt)
        raise<Msg::ErrorConverting>(v.type.name(), u"bigint");
    if (to.id == TypeId::TinyInt || to.id == TypeId::SmallInt)
        raise<Msg::ConversionOverflowedInteger>(
            v.type.name(), v.s, to.id == TypeId::TinyInt ? QStringLiteral("INT1") : QStringLiteral("INT2"));
    raise<Msg::ConversionOverflowed>(v.type.name(), v.s, to.name());
}

// A text read as an integer of type `to`: blanks around it are ignored, an empty text is 0,
// 'TRUE' and 'FALSE' are read for bit; digits out of the type's range overflow (textOverflow),
// anything else is Msg 245.
qint64 integerFromText(const Value& v, const SqlType& to) {
    const SqlType& from = v.type;
    QString s = v.s.trimmed();
    bool ok = false;
    qint64 x = 0;
    if (s.isEmpty()) {
        ok = true;
    } else if (to.id == TypeId::Bit && (s.compare(u"TRUE", Qt::CaseInsensitive) == 0 ||
                                        s.compare(u"FALSE", Qt::CaseInsensitive) == 0)) {
        ok = true;
        x = s.compare(u"TRUE", Qt::CaseInsensitive) == 0;
    } else {
        x = s.toLongLong(&ok);
        if (!ok) {
            bool allDigits = !s.isEmpty();
            for (int k = (s[0] == u'-' || s[0] == u'+') ? 1 : 0; k < s.size(); ++k)
                allDigits = allDigits && s[k].isDigit();
            if (allDigits && s.size() > 1)
                textOverflow(v, to);
        }
    }
    if (!ok)
        raise<Msg::ConversionFailed>(from.name(), v.s, to.name());
    if (to.id == TypeId::Bit)
        x = x != 0;
    else if (x < intMin(to.id) || x > intMax(to.id))
        textOverflow(v, to);
    return x;
}

// An exact whole number out of the range of the integer type `to`. tinyint and smallint are
// reached through int: a value that int holds is named in Msg 220; int and bigint, and values
// beyond int's range, are Msg 8115 for the expression.
[[noreturn]] void integerOverflow(__int128 value, const SqlType& to) {
    const bool narrow = to.id == TypeId::TinyInt || to.id == TypeId::SmallInt;
    if (narrow && value >= intMin(TypeId::Int) && value <= intMax(TypeId::Int))
        raise<Msg::OverflowForDataType>(to.name(), qint64(value));
    overflow(SqlType::of(TypeId::Unknown), to);
}

// To an integer type: exact numbers and floats are truncated towards zero; bit takes any
// value other than zero as 1; a date is its number of days since 1900-01-01. A float out of
// range is Msg 232, with the value as the server prints it (six decimals).
Value toInteger(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    Value r;
    r.type = to;
    r.null = false;
    if (from.isInteger() || from.id == TypeId::Unknown) {
        r.i = v.i;
        if (to.id == TypeId::Bit)
            r.i = v.i != 0;
        else if (v.i < intMin(to.id) || v.i > intMax(to.id))
            integerOverflow(v.i, to);
    } else if (from.id == TypeId::Decimal || from.id == TypeId::Money || from.id == TypeId::SmallMoney) {
        // decimal is truncated, money and smallmoney are rounded ("CAST and CONVERT",
        // truncating and rounding results)
        __int128 q = v.n.v / pow10(v.n.scale);
        if (from.id != TypeId::Decimal)
            if (const auto whole = v.n.rescaled(0))
                q = whole->v;
        if (to.id == TypeId::Bit)
            r.i = v.n.v != 0;
        else if (q < intMin(to.id) || q > intMax(to.id))
            integerOverflow(q, to);
        else
            r.i = qint64(q);
    } else if (from.id == TypeId::Float || from.id == TypeId::Real) {
        if (to.id == TypeId::Bit)
            r.i = v.f != 0;
        else {
            double t = std::trunc(v.f);
            if (!(t >= double(intMin(to.id)) && t < double(intMax(to.id)) + 1.0))
                raise<Msg::OverflowForType>(to.name(), QString::number(v.f, 'f', 6));
            r.i = qint64(t);
        }
    } else if (from.isString()) {
        r.i = integerFromText(v, to);
    } else if (from.isDate()) {
        // datetime and smalldatetime count days from 1900, rounded at noon.
        const qint64 ms = baseDate().msecsTo(v.dt);
        const qint64 half = 43200000, day = 86400000;
        const qint64 days = ms >= 0 ? (ms + half) / day : -((half - ms) / day);
        if (to.id == TypeId::Bit)
            r.i = days != 0;
        else if (days < intMin(to.id) || days > intMax(to.id))
            integerOverflow(days, to);
        else
            r.i = days;
    } else {
        clash(from, to, explicitConversion);
    }
    return r;
}

// The currency symbols a text converted to money may start with ("money and smallmoney
// (Transact-SQL)").
bool currencySymbol(QChar c) {
    static constexpr char16_t symbols[] = {
        0x0024, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x09F2, 0x09F3, 0x0E3F, 0x17DB, 0x20A0, 0x20A1, 0x20A2,
        0x20A3, 0x20A4, 0x20A5, 0x20A6, 0x20A7, 0x20A8, 0x20A9, 0x20AA, 0x20AB, 0x20AC, 0x20AD, 0x20AE,
        0x20AF, 0x20B0, 0x20B1, 0xFDFC, 0xFE69, 0xFF04, 0xFFE0, 0xFFE1, 0xFFE5, 0xFFE6};
    for (char16_t s : symbols)
        if (c.unicode() == s)
            return true;
    return false;
}

// A text read as money: a sign, a currency symbol before the digits, and commas among the
// digits of the whole part, which mark no decimals ('12,50' is 1250); nullopt for any other text.
std::optional<Numeric> moneyFromText(const QString& text) {
    QString s = text.trimmed();
    QString sign;
    if (!s.isEmpty() && (s[0] == u'-' || s[0] == u'+')) {
        sign = s.left(1);
        s.remove(0, 1);
    }
    if (!s.isEmpty() && currencySymbol(s[0])) {
        s.remove(0, 1);
        if (sign.isEmpty() && !s.isEmpty() && (s[0] == u'-' || s[0] == u'+')) {
            sign = s.left(1);
            s.remove(0, 1);
        }
    }
    const qsizetype point = s.indexOf(u'.');
    QString whole = point < 0 ? s : s.left(point);
    if (whole.startsWith(u',') || whole.startsWith(u'-') || whole.startsWith(u'+'))
        return std::nullopt;
    whole.remove(u',');
    return Numeric::parse(sign + whole + (point < 0 ? QString() : s.mid(point)));
}

} // namespace

std::optional<Numeric> decimalFromText(const QString& text, const SqlType& decimalType) {
    const std::optional<Numeric> n = Numeric::parse(text);
    if (!n)
        return std::nullopt;
    const std::optional<Numeric> scaled = n->rescaled(decimalType.scale);
    if (!scaled || !detail::fitsPrecision(*scaled, decimalType.precision))
        return std::nullopt;
    return scaled;
}

namespace {

// A value of the exact numeric type `to` holding `n` (already at its scale).
Value exactValue(const SqlType& to, const Numeric& n) {
    Value r;
    r.type = to;
    r.null = false;
    r.n = n;
    return r;
}

// To decimal, money or smallmoney: rounded half away from zero to the target's scale; more
// integer digits than its precision leaves room for is Msg 8115. A text that is no number is
// Msg 8114 for decimal, Msg 235 for money.
Value toExactNumeric(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    SqlType target = decimalOf(to);
    std::optional<Numeric> n;
    if (from.isInteger() || from.id == TypeId::Unknown) {
        n = Numeric{v.i, 0};
    } else if (from.id == TypeId::Decimal || from.id == TypeId::Money || from.id == TypeId::SmallMoney) {
        n = v.n;
    } else if (from.id == TypeId::Float || from.id == TypeId::Real) {
        n = Numeric::fromDouble(v.f, std::min(target.scale + 1, 38));
        if (!n)
            overflow(from, to);
    } else if (from.isString()) {
        n = to.id == TypeId::Decimal ? Numeric::parse(v.s) : moneyFromText(v.s);
        if (!n) {
            if (to.id == TypeId::Decimal)
                raise<Msg::ErrorConverting>(from.name(), u"numeric");
            raise<Msg::ConvertCharValueMoney>();
        }
    } else if (from.isDate()) {
        n = Numeric{baseDate().daysTo(v.dt), 0};
    } else {
        clash(from, to, explicitConversion);
    }
    auto scaled = n->rescaled(target.scale);
    if (!scaled || !detail::fitsPrecision(*scaled, target.precision))
        overflow(from.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : from, to);
    return exactValue(to, *scaled);
}

// To float or real; a date is its number of days (with the fraction of the day) since 1900.
Value toApproximate(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    Value r;
    r.type = to;
    r.null = false;
    if (from.isInteger() || from.id == TypeId::Unknown)
        r.f = double(v.i);
    else if (from.id == TypeId::Decimal || from.id == TypeId::Money || from.id == TypeId::SmallMoney)
        r.f = v.n.toDouble();
    else if (from.id == TypeId::Float || from.id == TypeId::Real)
        r.f = v.f;
    else if (from.isString()) {
        QString s = v.s.trimmed();
        bool ok = true;
        r.f = s.isEmpty() ? 0.0 : s.toDouble(&ok);
        if (!ok)
            raise<Msg::ErrorConverting>(from.name(), u"float");
    } else if (from.isDate()) {
        r.f = double(baseDate().msecsTo(v.dt)) / 86400000.0;
    } else {
        clash(from, to, explicitConversion);
    }
    if (to.id == TypeId::Real)
        r.f = double(float(r.f));
    return r;
}

// A character of code page 1252 beyond Latin1: the 27 letters and signs of 0x80 to 0x9F, and
// the five bytes there that Windows passes through as controls.
bool windowsLatin(char16_t c) {
    static constexpr char16_t extra[] = {0x0081, 0x008D, 0x008F, 0x0090, 0x009D, 0x0152, 0x0153, 0x0160,
                                         0x0161, 0x0178, 0x017D, 0x017E, 0x0192, 0x02C6, 0x02DC, 0x2013,
                                         0x2014, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2020,
                                         0x2021, 0x2022, 0x2026, 0x2030, 0x2039, 0x203A, 0x20AC, 0x2122};
    for (char16_t e : extra)
        if (c == e)
            return true;
    return false;
}

// Scripts with no letter code page 1252 could stand in for: Cyrillic, Armenian, Hebrew, Arabic
// and the scripts of India and South-East Asia, Georgian, Hangul, the CJK blocks, the halves of
// a surrogate pair and the private use area.
bool foreignScript(char16_t c) {
    return (c >= 0x0400 && c <= 0x06FF) || (c >= 0x0900 && c <= 0x0EFF) || (c >= 0x10A0 && c <= 0x11FF) ||
           (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xD800 && c <= 0xF8FF);
}

} // namespace

// The characters of the bytes 0x80 to 0x9F of code page 1252.
constexpr char16_t kWindowsHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar fromCodePage(int byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kWindowsHigh[byte - 0x80]);
    return QChar(char16_t(byte));
}

int codePageByte(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int k = 0; k < 32; ++k)
        if (kWindowsHigh[k] == u)
            return 0x80 + k;
    return -1;
}

QString inCodePage(const QString& s) {
    QString out;
    for (qsizetype k = 0; k < s.size(); ++k) {
        const char16_t c = s[k].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || windowsLatin(c))
            continue;
        if (!foreignScript(c))
            raise<Msg::CodePageCharacterNotSupported>(
                QStringLiteral("%1").arg(int(c), 4, 16, QChar(u'0')).toUpper());
        if (out.isNull())
            out = s;
        out[k] = u'?';
    }
    return out.isNull() ? s : out;
}

namespace {

// To a character type, xml or uniqueidentifier: the value's text. A number too long for the
// target is "*" when it is an integer going to char or varchar and Msg 8115 otherwise
// ("CAST and CONVERT", truncating and rounding results); texts and dates are cut.
Value toCharacter(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    if (from.id == TypeId::XmlNode)
        clash(from, to, explicitConversion);
    QString s = toText(v);
    if (from.isTime() && to.isString() && to.length >= 0 && s.size() > to.length)
        raise<Msg::TimeValueNotSupported>(QStringLiteral("A time cut to fit a shorter text"));
    if ((to.id == TypeId::Char || to.id == TypeId::VarChar) && (from.isUnicode() || from.id == TypeId::Xml))
        s = inCodePage(s);
    if (to.isString() && to.length >= 0 && s.size() > to.length && !from.isString() && !from.isDate()) {
        if (from.isInteger() && !to.isUnicode())
            s = QStringLiteral("*");
        else if (from.isInteger())
            overflow(SqlType::of(TypeId::Unknown), to);
        else
            raise<Msg::ArithmeticOverflow>(messageTypeName(from), to.name());
    }
    Value r;
    r.type = to;
    r.null = false;
    r.s = to.isString() ? fitString(s, to) : s;
    if (to.id == TypeId::Xml && from.id == TypeId::Xml)
        r.doc = v.doc;
    else if (to.id == TypeId::Xml) // a text becomes xml only when it is well formed (Msg 9400...)
        r.doc = parseXml(s);
    return r;
}

[[noreturn]] void dateOutOfRange(const SqlType& from, const SqlType& to) {
    raise<Msg::ConversionOutOfRange>(from.name(), to.name());
}

// To a date type. A text is read under the session's date settings (DateSettings.h): a date's
// shape with values the type cannot hold is Msg 242, any other text that reads as no date
// Msg 241; a number counts days from 1900-01-01 (Msg 8115 beyond the type). datetime starts on
// 1753-01-01, smalldatetime on 1900-01-01, date and datetime2 on 0001-01-01.
Value toDate(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    QDateTime d;
    if (from.isTime())
        return timeToDate(v, to);
    if (from.isDate()) {
        d = v.dt;
        if (!dateInRange(d, to.id))
            dateOutOfRange(from, to);
    } else if (from.isString()) {
        return dateFromText(v, to);
    } else if (from.isInteger() || from.id == TypeId::Unknown || from.isNumeric()) {
        const double days = from.isInteger() || from.id == TypeId::Unknown        ? double(v.i)
                            : from.id == TypeId::Float || from.id == TypeId::Real ? v.f
                                                                                  : v.n.toDouble();
        if (!(days > -53691.0 && days < 2958464.0))
            overflow(SqlType::of(TypeId::Unknown), to);
        d = baseDate().addMSecs(qint64(std::llround(days * 86400000.0)));
        if (!dateInRange(d, to.id))
            overflow(SqlType::of(TypeId::Unknown), to);
    } else {
        clash(from, to, explicitConversion);
    }
    d = roundedFor(d, to.id);
    if (!dateInRange(d, to.id))
        dateOutOfRange(from, to);
    Value r;
    r.type = to;
    r.null = false;
    r.dt = d;
    return r;
}

} // namespace

Value dateFromText(const Value& text, const SqlType& to, std::optional<DateOrder> order) {
    const DateRead r = readDate(text.s, to.id, order);
    if (r.status == DateReading::OutOfRange)
        dateOutOfRange(text.type, to);
    if (r.status == DateReading::YdmRefused)
        raise<Msg::SessionsDateFormatProvide>();
    if (r.status == DateReading::NotADate)
        raise<Msg::DateConversionFailed>();
    return Value::datetime(r.value, to.id);
}

namespace {

// To time(n): a text is read as a time of day, a date type gives its time of day, a time of
// another precision is rounded to this one.
Value toTime(const Value& v, const SqlType& to, bool explicitConversion) {
    if (v.type.isTime())
        return Value::time(roundedTime(v.i, to.scale), to.scale);
    if (v.type.isString())
        return timeFromText(v, to);
    if (v.type.isDate() && v.type.id != TypeId::Date)
        return timeFromDate(v, to);
    clash(v.type, to, explicitConversion);
}

} // namespace

// CAST and CONVERT allow more than implicit conversion does (explicitAllowed).
Value convert(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    // The commonest conversion, a decimal to another (or the same) decimal, exists both ways.
    if (to.id == TypeId::Decimal && from.id == TypeId::Decimal) {
        if (v.null)
            return Value::nullOf(to);
        if (v.n.scale == to.scale && detail::fitsPrecision(v.n, to.precision))
            return exactValue(to, v.n); // at the same scale nothing rounds: the digits as they are
        return toExactNumeric(v, to, explicitConversion);
    }
    if (to.id == TypeId::Unknown)
        return v;
    if (!(explicitConversion ? explicitAllowed(from.id, to.id) : implicitAllowed(from.id, to.id)))
        clash(from, to, explicitConversion);
    if (v.null)
        return Value::nullOf(to);
    if (to.isInteger())
        return toInteger(v, to, explicitConversion);
    if (to.id == TypeId::Decimal || to.id == TypeId::Money || to.id == TypeId::SmallMoney)
        return toExactNumeric(v, to, explicitConversion);
    if (to.id == TypeId::Float || to.id == TypeId::Real)
        return toApproximate(v, to, explicitConversion);
    if (to.isString() || to.id == TypeId::Xml || to.id == TypeId::UniqueIdentifier)
        return toCharacter(v, to, explicitConversion);
    if (to.isDate())
        return toDate(v, to, explicitConversion);
    if (to.isTime())
        return toTime(v, to, explicitConversion);
    clash(from, to, explicitConversion);
}

} // namespace tsql
