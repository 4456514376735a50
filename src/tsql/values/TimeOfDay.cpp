// The time data type: reading a time from a text, writing it, and its conversions to and from
// the date types ("time (Transact-SQL)", "CAST and CONVERT (Transact-SQL)").

#include "tsql/values/TimeOfDay.h"

#include "tsql/base/Messages.h"

#include "tsql/values/ValueInternal.h"

#include <QRegularExpression>

namespace tsql {

namespace {

qint64 unitOf(int scale) {
    qint64 unit = 1;
    for (int k = std::clamp(scale, 0, 7); k < 7; ++k)
        unit *= 10;
    return unit;
}

[[noreturn]] void refuse(const char* what) {
    raise<Msg::TimeValueNotSupported>(QString::fromLatin1(what));
}

// The time of day of a text: hh:mm[:ss[.fffffff]] [AM|PM] or hh AM|PM, its ticks or -1 for no
// time of day.
qint64 readTimeOfDay(const QRegularExpressionMatch& m) {
    int hour = 0, minute = 0, second = 0;
    qint64 fraction = 0;
    QString ampm;
    if (!m.captured(u"h2").isEmpty()) {
        hour = m.captured(u"h2").toInt();
        ampm = m.captured(u"ap2");
    } else {
        hour = m.captured(u"h").toInt();
        minute = m.captured(u"mi").toInt();
        second = m.captured(u"s").toInt();
        ampm = m.captured(u"ap");
        const QString digits = m.captured(u"f");
        if (m.captured(u"sep") == u":")
            refuse("A time with its fraction of a second after a colon");
        if (digits.size() > 7)
            refuse("A time with more than seven decimals of a second");
        if (!digits.isEmpty())
            fraction = (digits + QStringLiteral("000000")).left(7).toLongLong();
    }
    if (!ampm.isEmpty()) {
        if (hour > 12)
            return -1;
        hour = hour % 12 + (ampm.compare(u"PM", Qt::CaseInsensitive) == 0 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return -1;
    return (qint64(hour) * 3600 + qint64(minute) * 60 + second) * kTicksPerSecond + fraction;
}

// A date before the time (or the whole text): Msg 9808 under DATEFORMAT ydm, Msg 241 for no date.
void checkDate(const QString& text, std::optional<DateOrder> order) {
    const DateRead r = readDate(text, TypeId::DateTime2, order);
    if (r.status == DateReading::YdmRefused)
        raise<Msg::SessionsDateFormatProvide>();
    if (r.status != DateReading::Date)
        raise<Msg::DateConversionFailed>();
}

} // namespace

qint64 roundedTime(qint64 ticks, int scale) {
    const qint64 unit = unitOf(scale);
    const qint64 r = (ticks + unit / 2) / unit * unit;
    if (r >= kTicksPerDay)
        refuse("A time that rounds up to midnight of the next day");
    return r;
}

QString timeText(qint64 ticks, int scale) {
    const qint64 seconds = ticks / kTicksPerSecond;
    QString s = QStringLiteral("%1:%2:%3")
                    .arg(seconds / 3600, 2, 10, QChar(u'0'))
                    .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
                    .arg(seconds % 60, 2, 10, QChar(u'0'));
    if (scale > 0)
        s += u'.' + QStringLiteral("%1").arg(ticks % kTicksPerSecond, 7, 10, QChar(u'0')).left(scale);
    return s;
}

Value timeFromText(const Value& text, const SqlType& to, std::optional<DateOrder> order) {
    static const QRegularExpression timed(
        QStringLiteral("^(?:(?<date>.*\\S)\\s+|(?<iso>\\d{4}-\\d{2}-\\d{2})T)?"
                       "(?:(?<h>\\d{1,2}):(?<mi>\\d{1,2})(?::(?<s>\\d{1,2})(?:(?<sep>[.:])(?<f>\\d+))?)?"
                       "\\s*(?<ap>[AaPp][Mm])?|(?<h2>\\d{1,2})\\s*(?<ap2>[AaPp][Mm]))$"));
    static const QRegularExpression offset(QStringLiteral("\\d\\s*(?:[+-]\\d{1,2}:\\d{2}|[Zz])$"));
    const QString s = text.s.trimmed();
    qint64 ticks = 0;
    if (s.size() > 100) {
        raise<Msg::DateConversionFailed>();
    } else if (const auto m = timed.match(s); m.hasMatch()) {
        ticks = readTimeOfDay(m);
        if (ticks < 0)
            raise<Msg::DateConversionFailed>();
        const QString date = m.captured(u"date").isEmpty() ? m.captured(u"iso") : m.captured(u"date");
        if (!date.isEmpty())
            checkDate(date, order);
    } else if (offset.match(s).hasMatch()) {
        refuse("A text with a time zone offset converted to time");
    } else if (!s.isEmpty()) {
        checkDate(s, order);
    }
    return Value::time(roundedTime(ticks, to.scale), to.scale);
}

Value timeFromDate(const Value& v, const SqlType& to) {
    const qint64 ms = v.dt->time().msecsSinceStartOfDay();
    qint64 ticks = ms * kTicksPerMillisecond;
    if (v.type.id == TypeId::DateTime) {
        const qint64 threeHundredths = (ms * 3 + 5) / 10;
        ticks = (threeHundredths * 200'000 + 3) / 6; // 1/300 s in 100 ns, half up
    }
    return Value::time(roundedTime(ticks, to.scale), to.scale);
}

Value timeToDate(const Value& v, const SqlType& to) {
    const qint64 ticks = v.i;
    qint64 ms = ticks / kTicksPerMillisecond;
    if (to.id == TypeId::DateTime) {
        const qint64 threeHundredths = (ticks * 3 + 50'000) / 100'000;
        ms = (threeHundredths * 10 + 1) / 3;
    } else if (to.id == TypeId::SmallDateTime) {
        if (ticks % kTicksPerMillisecond != 0 && ms % 60'000 == 29'998)
            refuse("A time between 29.998 and 29.999 seconds past a minute converted to smalldatetime");
        ms = (ms + 30'001) / 60'000 * 60'000;
    } else if (ticks % kTicksPerMillisecond != 0) {
        refuse("A time with more than three decimals of a second converted to datetime2");
    }
    if (ms >= 86'400'000)
        refuse("A time that rounds up to midnight of the next day");
    return Value::datetime(detail::baseDate().addMSecs(ms), to.id);
}

QString formatTime(const Value& v, int style) {
    if (style == 8 || style == 108)
        return timeText(v.i, 0);
    return QString();
}

} // namespace tsql
