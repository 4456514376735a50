// The date and time functions ("Date and time data types and functions (Transact-SQL)"). Dates
// are kept without a time zone; weeks start on the session's @@DATEFIRST; DATEDIFF
// counts the boundaries crossed between the two dates, not whole units.

#include "tsql/functions/BuiltinFunctions.h"

#include "tsql/base/Messages.h"
#include "tsql/values/DateSettings.h"
#include "tsql/values/ValueInternal.h"

#include <QHash>

namespace tsql {

DatePart datepartOf(const QString& word, const QString& function) {
    static const QHash<QString, DatePart> parts = {{"YEAR", DatePart::Year},
                                                   {"YY", DatePart::Year},
                                                   {"YYYY", DatePart::Year},
                                                   {"QUARTER", DatePart::Quarter},
                                                   {"QQ", DatePart::Quarter},
                                                   {"Q", DatePart::Quarter},
                                                   {"MONTH", DatePart::Month},
                                                   {"MM", DatePart::Month},
                                                   {"M", DatePart::Month},
                                                   {"DAYOFYEAR", DatePart::DayOfYear},
                                                   {"DY", DatePart::DayOfYear},
                                                   {"Y", DatePart::DayOfYear},
                                                   {"DAY", DatePart::Day},
                                                   {"DD", DatePart::Day},
                                                   {"D", DatePart::Day},
                                                   {"WEEK", DatePart::Week},
                                                   {"WK", DatePart::Week},
                                                   {"WW", DatePart::Week},
                                                   {"ISO_WEEK", DatePart::IsoWeek},
                                                   {"ISOWK", DatePart::IsoWeek},
                                                   {"ISOWW", DatePart::IsoWeek},
                                                   {"WEEKDAY", DatePart::Weekday},
                                                   {"DW", DatePart::Weekday},
                                                   {"W", DatePart::Weekday},
                                                   {"HOUR", DatePart::Hour},
                                                   {"HH", DatePart::Hour},
                                                   {"MINUTE", DatePart::Minute},
                                                   {"MI", DatePart::Minute},
                                                   {"N", DatePart::Minute},
                                                   {"SECOND", DatePart::Second},
                                                   {"SS", DatePart::Second},
                                                   {"S", DatePart::Second},
                                                   {"MILLISECOND", DatePart::Millisecond},
                                                   {"MS", DatePart::Millisecond},
                                                   {"MICROSECOND", DatePart::Microsecond},
                                                   {"MCS", DatePart::Microsecond},
                                                   {"NANOSECOND", DatePart::Nanosecond},
                                                   {"NS", DatePart::Nanosecond}};
    auto it = parts.constFind(word.toUpper());
    if (it == parts.constEnd())
        raise<Msg::UnknownDatePart>(word, function.toLower());
    return it.value();
}

namespace builtin {

namespace {

QString nameOf(const FunctionDef& f) {
    return QString::fromLatin1(f.name);
}

// The day of the week counted from @@DATEFIRST (1 to 7).
int weekdayOf(const QDate& d) {
    return (d.dayOfWeek() - dateSettings().dateFirst + 7) % 7 + 1;
}

// The engine keeps the date types to the millisecond: their microseconds and nanoseconds are
// refused by name.
[[noreturn]] void finerPart(const char* what) {
    raise<Msg::TimeValueNotSupported>(QString::fromLatin1(what));
}

qint64 partOf(DatePart part, const QDateTime& d) {
    QDate dd = d.date();
    QTime t = d.time();
    switch (part) {
    case DatePart::Year:
        return dd.year();
    case DatePart::Quarter:
        return (dd.month() - 1) / 3 + 1;
    case DatePart::Month:
        return dd.month();
    case DatePart::DayOfYear:
        return dd.dayOfYear();
    case DatePart::Day:
        return dd.day();
    case DatePart::Week: {
        const int offset = weekdayOf(QDate(dd.year(), 1, 1)) - 1;
        return (dd.dayOfYear() + offset - 1) / 7 + 1;
    }
    case DatePart::IsoWeek:
        return dd.weekNumber();
    case DatePart::Weekday:
        return weekdayOf(dd);
    case DatePart::Hour:
        return t.hour();
    case DatePart::Minute:
        return t.minute();
    case DatePart::Second:
        return t.second();
    case DatePart::Millisecond:
        break;
    case DatePart::Microsecond:
    case DatePart::Nanosecond:
        finerPart("DATEPART or DATENAME of microseconds or nanoseconds of a date type");
    }
    return t.msec();
}

QDateTime added(DatePart part, const QDateTime& d, qint64 n) {
    switch (part) {
    case DatePart::Year:
        return d.addYears(int(n));
    case DatePart::Quarter:
        return d.addMonths(int(n * 3));
    case DatePart::Month:
        return d.addMonths(int(n));
    case DatePart::Day:
    case DatePart::DayOfYear:
    case DatePart::Weekday:
        return d.addDays(n);
    case DatePart::Week:
    case DatePart::IsoWeek: // refused before (Msg 9810)
        return d.addDays(n * 7);
    case DatePart::Hour:
        return d.addSecs(n * 3600);
    case DatePart::Minute:
        return d.addSecs(n * 60);
    case DatePart::Second:
        return d.addSecs(n);
    case DatePart::Millisecond:
        break;
    case DatePart::Microsecond:
    case DatePart::Nanosecond:
        finerPart("DATEADD of microseconds or nanoseconds to a datetime2 or a text");
    }
    return d.addMSecs(n);
}

// The hours, minutes or seconds (`unit` in milliseconds) of the clock that have begun from the
// epoch to `d`: the difference of two counts the boundaries crossed between them, as 10:59 to
// 11:01 crosses one hour.
qint64 clockUnits(const QDateTime& d, qint64 unit) {
    const qint64 ms = d.toMSecsSinceEpoch();
    return ms >= 0 ? ms / unit : -((-ms + unit - 1) / unit);
}

// The boundaries of `part` crossed from x to y.
qint64 difference(DatePart part, const QDateTime& x, const QDateTime& y) {
    switch (part) {
    case DatePart::Year:
        return y.date().year() - x.date().year();
    case DatePart::Quarter:
        return (y.date().year() * 4 + (y.date().month() - 1) / 3) -
               (x.date().year() * 4 + (x.date().month() - 1) / 3);
    case DatePart::Month:
        return (y.date().year() * 12 + y.date().month()) - (x.date().year() * 12 + x.date().month());
    case DatePart::Day:
    case DatePart::DayOfYear:
    case DatePart::Weekday:
        return x.date().daysTo(y.date());
    case DatePart::Week:    // from Sunday whatever @@DATEFIRST is ("DATEDIFF", datepart week)
    case DatePart::IsoWeek: // refused before (Msg 9810)
        return (x.date().addDays(-(x.date().dayOfWeek() % 7)))
                   .daysTo(y.date().addDays(-(y.date().dayOfWeek() % 7))) /
               7;
    case DatePart::Hour:
        return clockUnits(y, 3600000) - clockUnits(x, 3600000);
    case DatePart::Minute:
        return clockUnits(y, 60000) - clockUnits(x, 60000);
    case DatePart::Second:
        return clockUnits(y, 1000) - clockUnits(x, 1000);
    case DatePart::Millisecond:
        break;
    case DatePart::Microsecond:
    case DatePart::Nanosecond:
        finerPart("DATEDIFF of microseconds or nanoseconds between date types");
    }
    return x.msecsTo(y);
}

// ISO_WEEK is a part DATEPART and DATENAME know, DATEADD and DATEDIFF do not (Msg 9810).
void refuseIsoWeek(DatePart part, const FunctionDef& f, const SqlType& dateType) {
    if (part == DatePart::IsoWeek)
        raise<Msg::DatepartNotSupported>(u"iso_week", nameOf(f).toLower(),
                                         dateType.isDate() ? dateType.name() : QStringLiteral("datetime"));
}

Value dateOut(const QDate& d) {
    return Value::datetime(QDateTime(d, QTime(0, 0), Qt::UTC), TypeId::Date);
}

} // namespace

// A date argument as it is; a text read as `textType` (datetime2 for DATEPART, DATEDIFF and
// the others, which read '0001-01-01' and yyyy-mm-dd under any DATEFORMAT; datetime for
// DATEADD); a number as days from 1900 in datetime ("DATEPART (Transact-SQL)", remarks).
QDateTime asDate(const Value& v, TypeId textType) {
    if (v.type.isTime())
        raise<Msg::TimeValueNotSupported>(QStringLiteral("This date function of a time"));
    if (v.type.isDate())
        return v.dt;
    return convert(v, SqlType::of(v.type.isString() ? textType : TypeId::DateTime)).dt.get();
}

// GETDATE and SYSDATETIME: the local time, kept as the engine keeps dates (no zone), as
// datetime or datetime2.
Value getdate(const FunctionDef&, const Args&, const SqlType& type) {
    QDateTime now = QDateTime::currentDateTime();
    return Value::datetime(QDateTime(now.date(), now.time(), Qt::UTC), type.id);
}

Value getutcdate(const FunctionDef&, const Args&, const SqlType& type) {
    return Value::datetime(QDateTime::currentDateTimeUtc(), type.id);
}

// DATEADD(part, n, date): a result outside the range of the date's type is Msg 517.
Value dateadd(const FunctionDef& f, const Args& a, const SqlType& type) {
    const DatePart part = datepartOf(a[0].s, nameOf(f));
    refuseIsoWeek(part, f, type);
    if (a[0].null || a[1].null || a[2].null)
        return Value::nullOf(type);
    // The number is an int (Msg 8115 beyond it); no count of years, quarters or months that
    // large leaves a date in range.
    const qint64 n = convert(a[1], SqlType::of(TypeId::Int)).i;
    if (a[2].type.isTime())
        return timeDateadd(part, n, a[2], type);
    QDateTime d = asDate(a[2], TypeId::DateTime);
    const qint64 months = part == DatePart::Year ? n * 12 : part == DatePart::Quarter ? n * 3 : n;
    if ((part == DatePart::Year || part == DatePart::Quarter || part == DatePart::Month) &&
        (months > 120000 || months < -120000))
        raise<Msg::AddingValueColumnCaused>(type.name());
    QDateTime r = added(part, d, n);
    if (!r.isValid() || !dateInRange(r, type.isDate() ? type.id : TypeId::DateTime))
        raise<Msg::AddingValueColumnCaused>(type.name());
    return Value::datetime(r, type.isDate() ? type.id : TypeId::DateTime);
}

// DATEDIFF(part, from, to): an int; a count beyond it is Msg 535. DATEDIFF_BIG: a bigint.
Value datediff(const FunctionDef& f, const Args& a, const SqlType& type) {
    const DatePart part = datepartOf(a[0].s, nameOf(f));
    refuseIsoWeek(part, f, a[1].type.isDate() ? a[1].type : a[2].type);
    if (a[1].null || a[2].null)
        return Value::nullOf(type);
    const bool time = a[1].type.isTime() || a[2].type.isTime();
    qint64 r = 0;
    if (time && part >= DatePart::Hour)
        r = timeDatediff(part, a[1], a[2]);
    else if (time) // the date parts of a time are those of 1900-01-01
        r = difference(part, a[1].type.isTime() ? detail::baseDate() : asDate(a[1]),
                       a[2].type.isTime() ? detail::baseDate() : asDate(a[2]));
    else
        r = difference(part, asDate(a[1]), asDate(a[2]));
    if (type.id == TypeId::BigInt)
        return Value::integer(r, TypeId::BigInt);
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
        raise<Msg::DatediffFunctionResultedOverflow>();
    return Value::integer(r);
}

Value datediffBig(const FunctionDef& f, const Args& a, const SqlType& type) {
    return datediff(f, a, type);
}

Value datepart(const FunctionDef& f, const Args& a, const SqlType& type) {
    const DatePart part = datepartOf(a[0].s, nameOf(f));
    if (a[1].null)
        return Value::nullOf(type);
    if (a[1].type.isTime())
        return Value::integer(timePart(part, a[1].i));
    return Value::integer(partOf(part, asDate(a[1])));
}

// DATENAME: the name of the month or the day of the week in the session's language, the number of any other
// part.
Value datename(const FunctionDef& f, const Args& a, const SqlType& type) {
    const DatePart part = datepartOf(a[0].s, nameOf(f));
    if (a[1].null)
        return Value::nullOf(type);
    if (a[1].type.isTime())
        return textOut(QString::number(timePart(part, a[1].i)), type);
    QDateTime d = asDate(a[1]);
    qint64 v = partOf(part, d);
    if (part == DatePart::Month)
        return textOut(monthName(d.date().month()), type);
    if (part == DatePart::Weekday)
        return textOut(dayName(d.date().dayOfWeek()), type);
    return textOut(QString::number(v), type);
}

Value year(const FunctionDef&, const Args& a, const SqlType&) {
    return Value::integer(partOf(DatePart::Year, asDate(a[0])));
}

Value month(const FunctionDef&, const Args& a, const SqlType&) {
    return Value::integer(partOf(DatePart::Month, asDate(a[0])));
}

Value day(const FunctionDef&, const Args& a, const SqlType&) {
    return Value::integer(partOf(DatePart::Day, asDate(a[0])));
}

// EOMONTH(date [, months]): the last day of the month, months later.
Value eomonth(const FunctionDef&, const Args& a, const SqlType&) {
    QDate d = asDate(a[0]).date();
    if (a.size() > 1) {
        // A month beyond 9999 is Msg 517, as for DATEADD.
        const qint64 n = convert(a[1], SqlType::of(TypeId::Int)).i;
        const qint64 month = qint64(d.year()) * 12 + d.month() - 1 + n;
        if (month < 12 || month >= qint64(10000) * 12)
            raise<Msg::AddingValueColumnCaused>(u"date");
        d = QDate(int(month / 12), int(month % 12) + 1, 1);
    }
    return dateOut(QDate(d.year(), d.month(), d.daysInMonth()));
}

Value datefromparts(const FunctionDef&, const Args& a, const SqlType&) {
    QDate d(int(asInt(a[0])), int(asInt(a[1])), int(asInt(a[2])));
    if (!d.isValid())
        raise<Msg::ConstructDataTypeSome>(u"date");
    return dateOut(d);
}

// DATETIMEFROMPARTS(year, month, day, hour, minute, seconds, milliseconds): Msg 289 for parts
// that make no datetime.
Value datetimefromparts(const FunctionDef&, const Args& a, const SqlType&) {
    qint64 p[7];
    for (std::size_t k = 0; k < 7; ++k)
        p[k] = asInt(a[k]);
    const bool small = p[0] >= 1753 && p[0] <= 9999 && p[3] >= 0 && p[3] < 24 && p[4] >= 0 && p[4] < 60 &&
                       p[5] >= 0 && p[5] < 60 && p[6] >= 0 && p[6] < 1000;
    const QDate d = small ? QDate(int(p[0]), int(p[1]), int(p[2])) : QDate();
    if (!d.isValid())
        raise<Msg::ConstructDataTypeSome>(u"datetime");
    return Value::datetime(QDateTime(d, QTime(int(p[3]), int(p[4]), int(p[5]), int(p[6])), Qt::UTC));
}

} // namespace builtin

} // namespace tsql
