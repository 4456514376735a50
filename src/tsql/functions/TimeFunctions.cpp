// The date functions on the time data type ("DATEPART", "DATEADD", "DATEDIFF",
// "TIMEFROMPARTS (Transact-SQL)"): a time has hours down to nanoseconds and no date; DATEADD
// wraps it around midnight, DATEDIFF reads it on 1900-01-01.

#include "tsql/functions/BuiltinFunctions.h"

#include "tsql/base/Messages.h"
#include "tsql/values/TimeOfDay.h"
#include "tsql/values/ValueInternal.h"

namespace tsql::builtin {

namespace {

[[noreturn]] void refuse(const char* what) {
    raise<Msg::TimeValueNotSupported>(QString::fromLatin1(what));
}

// The ticks of a unit of a part of the day.
qint64 ticksOf(DatePart part) {
    switch (part) {
    case DatePart::Hour:
        return 3600 * kTicksPerSecond;
    case DatePart::Minute:
        return 60 * kTicksPerSecond;
    case DatePart::Second:
        return kTicksPerSecond;
    case DatePart::Millisecond:
        return kTicksPerMillisecond;
    case DatePart::Microsecond:
        return 10;
    default:
        return 0; // nanoseconds: a hundredth of a tick; the parts of a date have none
    }
}

// A date-type value as days from 1900-01-01 and ticks of its day (datetime in 1/300 seconds);
// a time is on 1900-01-01.
struct DayAndTicks {
    qint64 days = 0;
    qint64 ticks = 0;
};

DayAndTicks dayAndTicks(const Value& v) {
    if (v.type.isTime())
        return {0, v.i};
    const QDateTime d = asDate(v);
    const Value t =
        convert(Value::datetime(d, v.type.isDate() ? v.type.id : TypeId::DateTime2), SqlType::time());
    return {detail::baseDate().date().daysTo(d.date()), t.i};
}

} // namespace

qint64 timePart(DatePart part, qint64 ticks) {
    const qint64 fraction = ticks % kTicksPerSecond;
    switch (part) {
    case DatePart::Hour:
        return ticks / ticksOf(DatePart::Hour);
    case DatePart::Minute:
        return ticks / ticksOf(DatePart::Minute) % 60;
    case DatePart::Second:
        return ticks / kTicksPerSecond % 60;
    case DatePart::Millisecond:
        return fraction / kTicksPerMillisecond;
    case DatePart::Microsecond:
        return fraction / 10;
    case DatePart::Nanosecond:
        return fraction * 100;
    default:
        refuse("A part of a date of a time"); // refused as Msg 9810 when the batch is bound
    }
}

// DATEADD(part, n, time): n units of the part added, around the clock; nanoseconds count in
// steps of 100 (49 adds nothing, 50 adds one step).
Value timeDateadd(DatePart part, qint64 n, const Value& time, const SqlType& type) {
    qint64 delta = 0;
    if (part == DatePart::Nanosecond) {
        if (n < 0 && n % 100 != 0)
            refuse("DATEADD of a negative count of nanoseconds that is no multiple of 100");
        delta = (n + 50) / 100;
    } else if (ticksOf(part) != 0) {
        delta = n % (kTicksPerDay / ticksOf(part)) * ticksOf(part);
    } else {
        refuse("DATEADD of a part of a date to a time"); // refused as Msg 9810 when bound
    }
    qint64 unit = 1;
    for (int k = type.scale; k < 7; ++k)
        unit *= 10;
    if (delta % unit != 0)
        refuse("DATEADD of a part finer than the precision of the time");
    const qint64 ticks = ((time.i + delta) % kTicksPerDay + kTicksPerDay) % kTicksPerDay;
    return Value::time(ticks, type.scale);
}

// DATEDIFF of hours down to nanoseconds with a time: the boundaries of the part crossed, the
// time on 1900-01-01.
qint64 timeDatediff(DatePart part, const Value& from, const Value& to) {
    const DayAndTicks x = dayAndTicks(from), y = dayAndTicks(to);
    const __int128 p = __int128(x.days) * kTicksPerDay + x.ticks;
    const __int128 q = __int128(y.days) * kTicksPerDay + y.ticks;
    __int128 r = 0;
    if (part == DatePart::Nanosecond) {
        r = (q - p) * 100;
    } else {
        const __int128 unit = ticksOf(part);
        auto floorOf = [unit](__int128 v) { return v / unit - (v % unit < 0 ? 1 : 0); };
        r = floorOf(q) - floorOf(p);
    }
    if (r > std::numeric_limits<qint64>::max() || r < std::numeric_limits<qint64>::min())
        refuse("DATEDIFF_BIG of nanoseconds beyond bigint");
    return qint64(r);
}

// TIMEFROMPARTS(hour, minute, seconds, fractions, precision): fractions count units of
// 10^-precision seconds; parts out of their ranges are Msg 289.
Value timefromparts(const FunctionDef&, const Args& a, const SqlType& type) {
    qint64 p[4];
    for (std::size_t k = 0; k < 4; ++k)
        p[k] = asInt(a[k]);
    const int precision = int(asInt(a[4]));
    qint64 limit = 1;
    for (int k = 0; k < precision; ++k)
        limit *= 10;
    if (p[0] < 0 || p[0] > 23 || p[1] < 0 || p[1] > 59 || p[2] < 0 || p[2] > 59 || p[3] < 0 || p[3] >= limit)
        raise<Msg::ConstructDataTypeSome>(u"time");
    const qint64 ticks =
        ((p[0] * 60 + p[1]) * 60 + p[2]) * kTicksPerSecond + p[3] * (kTicksPerSecond / limit);
    return Value::time(ticks, type.scale);
}

} // namespace tsql::builtin
