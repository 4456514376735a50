// Date texts: how the server reads a text as a date and time ("datetime (Transact-SQL)",
// supported string literal formats; "SET DATEFORMAT") and how CONVERT writes one in a style
// ("CAST and CONVERT (Transact-SQL)", date and time styles).

#include "tsql/base/Messages.h"
#include "tsql/values/DateSettings.h"

#include <QRegularExpression>

namespace tsql {

namespace {

// hh:mi[:ss[.fff | :mmm]][AM|PM], or hh AM|PM.
const QString kTime =
    QStringLiteral("(?:(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:([.:])(\\d{1,9}))?)?\\s*([AaPp][Mm])?|"
                   "(\\d{1,2})\\s*([AaPp][Mm]))");

struct Fields {
    bool ydmRefused = false;
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, msec = 0;
};

// Fields that make no date or time: day 31 of a 30-day month, month 13, hour 24.
bool valid(const Fields& f) {
    return f.year >= 1 && f.year <= 9999 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
           f.day <= QDate(f.year, f.month, 1).daysInMonth() && f.hour >= 0 && f.hour <= 23 && f.minute >= 0 &&
           f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

// A two-digit year is read with the cutoff year 2049 ("two digit year cutoff").
int fullYear(const QString& digits) {
    const int y = digits.toInt();
    if (digits.size() > 2)
        return y;
    return y < 50 ? 2000 + y : 1900 + y;
}

// A time: datetime and smalldatetime take at most three decimals of a second, and after the T of
// ISO 8601 the seconds too ("datetime (Transact-SQL)", ISO 8601).
bool readTime(const QString& text, TypeId target, bool iso, Fields& f) {
    static const QRegularExpression re(QStringLiteral("^%1$").arg(kTime));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    const bool oldType = target == TypeId::DateTime || target == TypeId::SmallDateTime;
    if (oldType && ((m.captured(4) == u"." && m.captured(5).size() > 3) || (iso && m.captured(3).isEmpty())))
        return false;
    QString ampm;
    if (!m.captured(7).isEmpty()) {
        f.hour = m.captured(7).toInt();
        ampm = m.captured(8);
    } else {
        f.hour = m.captured(1).toInt();
        f.minute = m.captured(2).toInt();
        f.second = m.captured(3).toInt();
        const QString frac = m.captured(5);
        // datetime2 is kept to the millisecond: finer digits other than zeros are refused.
        if (m.captured(4) == u"." && frac.size() > 3 &&
            frac.mid(3).contains(QRegularExpression(QStringLiteral("[1-9]"))))
            raise<Msg::TimeValueNotSupported>(QStringLiteral("A date and time finer than a millisecond"));
        if (m.captured(4) == u".")
            f.msec = (frac + QStringLiteral("00")).left(3).toInt();
        else if (!frac.isEmpty())
            f.msec = frac.size() > 3 ? 1000 : frac.toInt();
        ampm = m.captured(6);
    }
    if (f.msec > 999)
        f.hour = 99; // no time
    if (!ampm.isEmpty()) {
        if (f.hour > 12)
            f.hour = 99;
        else
            f.hour = f.hour % 12 + (ampm.compare(u"PM", Qt::CaseInsensitive) == 0 ? 12 : 0);
    }
    return true;
}

// The positions (0, 1, 2) of day, month and year in an order.
struct Positions {
    int d, m, y;
};

Positions positionsOf(DateOrder o) {
    switch (o) {
    case DateOrder::Mdy:
        return {1, 0, 2};
    case DateOrder::Dmy:
        return {0, 1, 2};
    case DateOrder::Ymd:
        return {2, 1, 0};
    case DateOrder::Ydm:
        return {1, 2, 0};
    case DateOrder::Myd:
        return {2, 0, 1};
    case DateOrder::Dym:
        break;
    }
    return {0, 2, 1};
}

// Three numbers: a part of three or four digits is the year wherever it stands, the order
// places the others (the day and the month keep their order relative to each other);
// without one, the order places all three.
void readNumbers(const QString (&part)[3], DateOrder order, Fields& f) {
    const Positions p = positionsOf(order);
    int y = p.y;
    for (int k : {0, 2, 1})
        if (part[k].size() >= 3) {
            y = k;
            break;
        }
    int first = y == 0 ? 1 : 0, second = y == 2 ? 1 : 2;
    const bool dayFirst = p.d < p.m;
    f.year = fullYear(part[y]);
    f.day = part[dayFirst ? first : second].toInt();
    f.month = part[dayFirst ? second : first].toInt();
}

// The month a word names in the session's language (its full or short name), 0 for none.
int monthOf(const QString& word) {
    for (int k = 1; k <= 12; ++k)
        if (word.compare(monthName(k), Qt::CaseInsensitive) == 0 ||
            word.compare(monthName(k, true), Qt::CaseInsensitive) == 0)
            return k;
    return 0;
}

// A month name with a day and a year in any order (Apr 15 1996, 15 April 96, 1996 April): a
// number of three or four digits is the year, otherwise the first number is the day.
bool readAlphabetic(const QString& text, Fields& f) {
    static const QRegularExpression sep(QStringLiteral("[\\s,./-]+"));
    const QStringList tokens = text.split(sep, Qt::SkipEmptyParts);
    QStringList numbers;
    int month = 0;
    for (const QString& t : tokens) {
        bool digits = !t.isEmpty();
        for (QChar c : t)
            digits = digits && c.isDigit() && c.unicode() < 128;
        if (digits && t.size() <= 4) {
            numbers << t;
        } else if (month == 0 && monthOf(t) != 0) {
            month = monthOf(t);
        } else {
            return false;
        }
    }
    if (month == 0 || numbers.isEmpty() || numbers.size() > 2)
        return false;
    f.month = month;
    if (numbers.size() == 1) {
        if (numbers[0].size() < 3)
            return false;
        f.year = numbers[0].toInt();
        f.day = 1;
        return true;
    }
    const int yearAt = numbers[0].size() >= 3 ? 0 : 1;
    f.year = fullYear(numbers[yearAt]);
    f.day = numbers[1 - yearAt].toInt();
    return true;
}

// The date part of a text (no time): true when it has a date's shape.
bool readDatePart(const QString& text, TypeId target, std::optional<DateOrder> order, Fields& f) {
    static const QRegularExpression compact(QStringLiteral("^(\\d{2}|\\d{4})(\\d{2})(\\d{2})$"));
    static const QRegularExpression numeric(QStringLiteral("^(\\d{1,4})([-/.])(\\d{1,4})\\2(\\d{1,4})$"));
    if (auto m = compact.match(text); m.hasMatch()) {
        f.year = fullYear(m.captured(1));
        f.month = m.captured(2).toInt();
        f.day = m.captured(3).toInt();
        return true;
    }
    if (auto m = numeric.match(text); m.hasMatch()) {
        const QString parts[3] = {m.captured(1), m.captured(3), m.captured(4)};
        DateOrder o = order.value_or(dateSettings().order);
        // date and datetime2 read a leading year as year, month, day under any setting, and
        // no other three numbers under ydm ("SET DATEFORMAT").
        if (!order && SqlType::of(target).isNumberlessDate()) {
            if (parts[0].size() >= 3)
                o = DateOrder::Ymd;
            else if (o == DateOrder::Ydm)
                f.ydmRefused = true;
        }
        readNumbers(parts, o, f);
        return true;
    }
    return readAlphabetic(text, f);
}

} // namespace

DateRead readDate(const QString& text, TypeId target, std::optional<DateOrder> order) {
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(.+)$"));
    static const QRegularExpression timed(QStringLiteral("^(?:(.*\\S)\\s+)?(%1)$").arg(kTime));
    const QString s = text.trimmed();
    Fields f;
    bool shaped = true;
    if (s.isEmpty()) {
    } else if (auto m = iso.match(s); m.hasMatch()) {
        f.year = m.captured(1).toInt();
        f.month = m.captured(2).toInt();
        f.day = m.captured(3).toInt();
        shaped = readTime(m.captured(4), target, true, f);
    } else if (auto t = timed.match(s); t.hasMatch()) {
        shaped = readTime(t.captured(2), target, false, f) &&
                 (t.captured(1).isEmpty() || readDatePart(t.captured(1), target, order, f));
    } else {
        shaped = readDatePart(s, target, order, f);
    }
    DateRead r;
    if (!shaped)
        return r;
    if (f.ydmRefused) {
        r.status = DateReading::YdmRefused;
        return r;
    }
    const bool oldType = target == TypeId::DateTime || target == TypeId::SmallDateTime;
    if (!valid(f)) {
        // datetime and smalldatetime call a date's shape with impossible values out of range.
        r.status = oldType ? DateReading::OutOfRange : DateReading::NotADate;
        return r;
    }
    r.value = roundedFor(
        QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second, f.msec), Qt::UTC), target);
    r.status = dateInRange(r.value, target) ? DateReading::Date : DateReading::OutOfRange;
    return r;
}

QDateTime roundedFor(const QDateTime& d, TypeId id) {
    if (!d.isValid())
        return d;
    const qint64 ms = d.time().msecsSinceStartOfDay();
    qint64 rounded = ms;
    switch (id) {
    case TypeId::Date:
        rounded = 0;
        break;
    case TypeId::DateTime: {
        const qint64 ticks = (ms * 3 + 5) / 10; // 1/300 s, half up
        rounded = (ticks * 10 + 1) / 3;
        break;
    }
    case TypeId::SmallDateTime:
        rounded = (ms + 30001) / 60000 * 60000; // 29.999 s and more: the next minute
        break;
    default:
        break;
    }
    if (rounded == ms)
        return d;
    return QDateTime(d.date(), QTime(0, 0), Qt::UTC).addMSecs(rounded);
}

bool dateInRange(const QDateTime& d, TypeId target) {
    // The years as the days of their first and last dates: the date is worked out once.
    static const qint64 first1753 = QDate(1753, 1, 1).toJulianDay();
    static const qint64 first1 = QDate(1, 1, 1).toJulianDay();
    static const qint64 last9999 = QDate(9999, 12, 31).toJulianDay();
    if (target == TypeId::SmallDateTime)
        return d >= QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC) &&
               d < QDateTime(QDate(2079, 6, 6), QTime(23, 59, 30), Qt::UTC);
    const QDate date = d.date();
    if (!date.isValid())
        return false;
    const qint64 day = date.toJulianDay();
    return day >= (target == TypeId::DateTime ? first1753 : first1) && day <= last9999;
}

bool dateStyleExists(int style) {
    return (style >= 0 && style <= 14) || (style >= 20 && style <= 25) || (style >= 100 && style <= 114) ||
           style == 120 || style == 121 || style == 126 || style == 127 || style == 130 || style == 131;
}

std::optional<DateOrder> styleOrder(int style) {
    switch (style % 100) {
    case 1:
    case 10:
    case 22:
        return DateOrder::Mdy;
    case 3:
    case 4:
    case 5:
    case 13:
        return DateOrder::Dmy;
    case 2:
    case 11:
    case 12:
    case 20:
    case 21:
    case 23:
    case 26:
    case 27:
        return DateOrder::Ymd;
    default:
        return std::nullopt;
    }
}

// The formats of the styles that write numbers only; 6, 7, 9, 13 and 14 name months or write
// milliseconds after a colon and are built below; 0 and 100 are the value's own text.
QString formatDate(const Value& v, int style) {
    const QDateTime& d = v.dt;
    const bool century = style >= 100 || style == 23;
    const QString y = century ? QStringLiteral("yyyy") : QStringLiteral("yy");
    const QString ms = QStringLiteral("%1").arg(d.time().msec(), 3, 10, QChar(u'0'));
    const QString mon = monthName(d.date().month(), true);
    const QString dd = QStringLiteral("%1").arg(d.date().day(), 2, 10, QChar(u'0'));
    auto f = [&](const QString& format) { return d.toString(format); };
    switch (style % 100) {
    case 1:
        return f(QStringLiteral("MM/dd/") + y);
    case 2:
        return f(y + QStringLiteral(".MM.dd"));
    case 3:
        return f(QStringLiteral("dd/MM/") + y);
    case 4:
        return f(QStringLiteral("dd.MM.") + y);
    case 5:
        return f(QStringLiteral("dd-MM-") + y);
    case 6:
        return dd + u' ' + mon + u' ' + f(y);
    case 7:
        return mon + u' ' + dd + QStringLiteral(", ") + f(y);
    case 8:
    case 24:
        return f(QStringLiteral("HH:mm:ss"));
    case 10:
        return f(QStringLiteral("MM-dd-") + y);
    case 11:
        return f(y + QStringLiteral("/MM/dd"));
    case 12:
        return f(y + QStringLiteral("MMdd"));
    case 13:
        return dd + u' ' + mon + u' ' + f(QStringLiteral("yyyy HH:mm:ss:")) + ms;
    case 14:
        return f(QStringLiteral("HH:mm:ss:")) + ms;
    case 20:
        return f(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case 21:
    case 25:
        return f(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case 23:
        return f(QStringLiteral("yyyy-MM-dd"));
    case 26:
    case 27:
        return f(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
    default:
        return QString();
    }
}

} // namespace tsql
