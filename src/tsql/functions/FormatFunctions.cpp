// FORMAT (value, format [, culture]) ("FORMAT (Transact-SQL)"): numbers by NumberFormat.cpp,
// dates here, by the standard date formats of the culture (d, D, t, T, f, F, g, G, M, Y, s) and
// the custom ones (d dd ddd dddd M MM MMM MMMM y yy yyyy h hh H HH m mm s ss f F t tt, the time
// and date separators, quotes and escapes). A format the .NET Framework refuses gives NULL; a
// culture that is none is Msg 9818.

#include "tsql/functions/BuiltinFunctions.h"
#include "tsql/functions/Cultures.h"
#include "tsql/functions/NumberFormat.h"

#include "tsql/base/Messages.h"

namespace tsql {

namespace {

// The .NET day of the week: 0 Sunday ... 6 Saturday.
int dayOfWeek(const QDate& d) {
    return d.dayOfWeek() % 7;
}

QString digits(int value, int width) {
    return QString::number(value).rightJustified(width, u'0');
}

// Characters of `f` from k equal to f[k].
int repeatCount(const QString& f, qsizetype k) {
    int n = 1;
    while (k + n < f.size() && f[k + n] == f[k])
        ++n;
    return n;
}

// A custom date format; nullopt where the Framework refuses it.
std::optional<QString> customDate(const QDateTime& dt, const QString& f, const QString& whole,
                                  const Culture& c) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    QString out;
    for (qsizetype k = 0; k < f.size();) {
        const QChar ch = f[k];
        const int n = repeatCount(f, k);
        switch (ch.unicode()) {
        case 'd':
            out += n == 1   ? QString::number(d.day())
                   : n == 2 ? digits(d.day(), 2)
                   : n == 3 ? QString::fromUtf16(c.shortDays[size_t(dayOfWeek(d))])
                            : QString::fromUtf16(c.days[size_t(dayOfWeek(d))]);
            break;
        case 'M':
            out += n == 1   ? QString::number(d.month())
                   : n == 2 ? digits(d.month(), 2)
                   : n == 3 ? QString::fromUtf16(c.shortMonths[size_t(d.month() - 1)])
                            : QString::fromUtf16(c.months[size_t(d.month() - 1)]);
            break;
        case 'y':
            out += n == 1   ? QString::number(d.year() % 100)
                   : n == 2 ? digits(d.year() % 100, 2)
                            : digits(d.year(), n);
            break;
        case 'h':
            out += digits(t.hour() % 12 == 0 ? 12 : t.hour() % 12, std::min(n, 2));
            break;
        case 'H':
            out += digits(t.hour(), std::min(n, 2));
            break;
        case 'm':
            out += digits(t.minute(), std::min(n, 2));
            break;
        case 's':
            out += digits(t.second(), std::min(n, 2));
            break;
        case 'f':
        case 'F': {
            if (n > 7)
                return std::nullopt;
            QString fraction = digits(t.msec(), 3).leftJustified(7, u'0').left(n);
            if (ch == u'F') {
                while (fraction.endsWith(u'0'))
                    fraction.chop(1);
                if (fraction.isEmpty() && out.endsWith(u'.'))
                    out.chop(1);
            }
            out += fraction;
            break;
        }
        case 't':
            if (!c.designators)
                raise<Msg::FormatNotSupported>(whole);
            out += (t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM")).left(n == 1 ? 1 : 2);
            break;
        case 'g':
        case 'z':
        case 'K':
            raise<Msg::FormatNotSupported>(whole); // era and time zone
        case ':':
        case '/':
            out += QString(n, ch); // the three cultures' separators
            break;
        case '\'':
        case '"': {
            qsizetype e = k + 1;
            while (e < f.size() && f[e] != ch)
                out += f[e++];
            if (e >= f.size())
                return std::nullopt; // an unclosed quote
            k = e + 1;
            continue;
        }
        case '\\':
            if (k + 1 >= f.size())
                return std::nullopt;
            out += f[k + 1];
            k += 2;
            continue;
        case '%':
            if (k + 1 >= f.size() || f[k + 1] == u'%')
                return std::nullopt;
            k += 1;
            continue;
        default:
            out += QString(n, ch);
            break;
        }
        k += n;
    }
    return out;
}

// The pattern of a standard date format in the culture; a null one for a letter that is none.
QString standardPattern(QChar letter, const Culture& c, const QString& whole) {
    auto known = [&](const char* pattern) {
        if (!pattern)
            raise<Msg::FormatNotSupported>(whole);
        return QString::fromLatin1(pattern);
    };
    switch (letter.unicode()) {
    case 'd':
        return known(c.shortDate);
    case 'D':
        return known(c.longDate);
    case 't':
        return known(c.shortTime);
    case 'T':
        return known(c.longTime);
    case 'f':
        return known(c.longDate) + u' ' + known(c.shortTime);
    case 'F':
        return known(c.longDate) + u' ' + known(c.longTime);
    case 'g':
        return known(c.shortDate) + u' ' + known(c.shortTime);
    case 'G':
        return known(c.shortDate) + u' ' + known(c.longTime);
    case 'M':
    case 'm':
        return known(c.monthDay);
    case 'Y':
    case 'y':
        return known(c.yearMonth);
    case 's':
        return QStringLiteral("yyyy'-'MM'-'dd'T'HH':'mm':'ss");
    case 'O':
    case 'o':
    case 'R':
    case 'r':
    case 'u':
    case 'U':
        raise<Msg::FormatNotSupported>(whole);
    default:
        return QString();
    }
}

std::optional<QString> formatDate(const Value& v, const QString& format, const Culture& c) {
    // A .NET DateTime: date, smalldatetime, datetime and datetime2 (a time is a TimeSpan, with
    // formats of its own).
    const TypeId id = v.type.id;
    if (id != TypeId::Date && id != TypeId::SmallDateTime && id != TypeId::DateTime &&
        id != TypeId::DateTime2)
        raise<Msg::FormatTypeNotSupported>(v.type.name());
    if (format.isEmpty())
        raise<Msg::FormatNotSupported>(format);
    if (format.size() == 1) {
        const QString pattern = standardPattern(format[0], c, format);
        if (pattern.isNull())
            return std::nullopt;
        return customDate(v.dt, pattern, format, c);
    }
    return customDate(v.dt, format, format, c);
}

} // namespace

namespace builtin {

// FORMAT: nvarchar(4000); NULL for a format the Framework refuses.
Value format(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString culture = a.size() > 2 ? asText(a[2]) : QString();
    const Culture& c = cultureNamed(a.size() > 2 ? &culture : nullptr);
    const QString f = asText(a[1]);
    const std::optional<QString> out = a[0].type.isDate() ? formatDate(a[0], f, c) : formatNumber(a[0], f, c);
    if (!out)
        return Value::nullOf(type);
    checkStringSize(out->size(), type);
    if (out->size() > 4000)
        return Value::nullOf(type);
    return textOut(*out, type);
}

} // namespace builtin

} // namespace tsql
