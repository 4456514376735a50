#include "check/TypedValues.h"

namespace check {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads a text left to right: digits by count, single characters.
class Cursor {
public:
    explicit Cursor(QStringView text)
        : m_text(text) {}
    // The number of `min` to `max` digits at the cursor (as many as there are), -1 when fewer.
    int digits(int min, int max) {
        int value = 0, count = 0;
        while (count < max && m_at < m_text.size() && isDigit(m_text[m_at])) {
            value = value * 10 + (m_text[m_at].unicode() - u'0');
            ++m_at;
            ++count;
        }
        return count >= min ? value : -1;
    }
    bool take(QChar c) {
        if (m_at >= m_text.size() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    bool atEnd() const { return m_at >= m_text.size(); }
    qsizetype position() const { return m_at; }

private:
    QStringView m_text;
    qsizetype m_at = 0;
};

std::optional<QDateTime> dateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                                  int ms = 0) {
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, ms);
    if (year < 1 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

// d/m/yyyy or m/d/yyyy (one or two digits each), then an optional " H:mm" or " H:mm:ss".
std::optional<QDateTime> slashDate(QStringView text, bool dayFirst) {
    Cursor c(text);
    const int first = c.digits(1, 2);
    if (first < 0 || !c.take(u'/'))
        return std::nullopt;
    const int second = c.digits(1, 2);
    if (second < 0 || !c.take(u'/'))
        return std::nullopt;
    const int year = c.digits(4, 4);
    if (year < 0)
        return std::nullopt;
    int hour = 0, minute = 0, seconds = 0;
    if (c.take(u' ')) {
        hour = c.digits(1, 2);
        minute = c.take(u':') ? c.digits(2, 2) : -1;
        if (hour < 0 || minute < 0)
            return std::nullopt;
        if (c.take(u':') && (seconds = c.digits(2, 2)) < 0)
            return std::nullopt;
    }
    if (!c.atEnd())
        return std::nullopt;
    return dayFirst ? dateTime(year, second, first, hour, minute, seconds)
                    : dateTime(year, first, second, hour, minute, seconds);
}

// yyyy-mm-dd or yyyymmdd, then an optional "T" or blank and HH:mm, HH:mm:ss or HH:mm:ss.fff.
std::optional<QDateTime> isoDate(QStringView text) {
    Cursor c(text);
    const int year = c.digits(4, 4);
    if (year < 0)
        return std::nullopt;
    const bool dashes = c.take(u'-');
    const int month = c.digits(2, 2);
    if (month < 0 || (dashes && !c.take(u'-')))
        return std::nullopt;
    const int day = c.digits(2, 2);
    if (day < 0)
        return std::nullopt;
    int hour = 0, minute = 0, second = 0, ms = 0;
    if (c.take(u'T') || c.take(u' ')) {
        hour = c.digits(2, 2);
        minute = c.take(u':') ? c.digits(2, 2) : -1;
        if (hour < 0 || minute < 0)
            return std::nullopt;
        if (c.take(u':')) {
            if ((second = c.digits(2, 2)) < 0)
                return std::nullopt;
            if (c.take(u'.')) {
                const qsizetype from = c.position();
                if ((ms = c.digits(1, 3)) < 0)
                    return std::nullopt;
                for (qsizetype d = c.position() - from; d < 3; ++d)
                    ms *= 10; // .5 is 500 ms
            }
        }
    }
    if (!c.atEnd())
        return std::nullopt;
    return dateTime(year, month, day, hour, minute, second, ms);
}

} // namespace

TrialReading readingOf(const QString& language) {
    return language == QLatin1String("en") ? TrialReading::English : TrialReading::Italian;
}

TypedNumber typedNumber(const QString& text, TrialReading reading) {
    const bool english = reading == TrialReading::English;
    const QChar group = english ? u',' : u'.';
    const QChar point = english ? u'.' : u',';
    const qsizetype start = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
    qsizetype groups = 0, points = 0, pointAt = -1, lastGroup = -1;
    for (qsizetype i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == group) {
            ++groups;
            lastGroup = i;
        } else if (c == point) {
            ++points;
            pointAt = i;
        } else if (!isDigit(c)) {
            return {};
        }
    }
    TypedNumber out;
    if (points > 1 || (points == 1 && lastGroup > pointAt))
        return out;
    // Grouped: a first group of one to three digits (not starting with 0), then a separator before
    // every three digits up to the decimal separator.
    const qsizetype whole = pointAt >= 0 ? pointAt : text.size();
    bool grouped = groups > 0 && start < whole && isDigit(text.at(start)) && text.at(start) != u'0';
    for (qsizetype i = start; grouped && i < whole; ++i)
        grouped = ((whole - i) % 4 == 0) == (text.at(i) == group);
    if (grouped && groups == 1 && points == 0) {
        out.status = TypedNumber::Status::Ambiguous;
        out.thousands = QString(text).remove(group);
        out.decimal = QString(text).replace(group, point);
        return out;
    }
    if (groups > 0 && !grouped) {
        // A single point that groups no thousands is the C locale's decimal point (Italian).
        if (english || groups > 1 || points > 0)
            return out;
        out.status = TypedNumber::Status::Number;
        out.text = text;
        return out;
    }
    out.status = TypedNumber::Status::Number;
    out.text = QString(text).remove(group);
    if (points == 1)
        out.text.replace(point, u'.');
    return out;
}

std::optional<QDateTime> typedDate(QStringView text, TrialReading reading) {
    if (text.contains(u'/'))
        return slashDate(text, reading != TrialReading::English);
    return isoDate(text);
}

QString storedDateText(const QDateTime& dt) {
    const QTime time = dt.time();
    if (time == QTime(0, 0))
        return dt.toString(QStringLiteral("yyyy-MM-dd"));
    return dt.toString(time.msec() == 0 ? QStringLiteral("yyyy-MM-ddTHH:mm:ss")
                                        : QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

QString typedDateText(const QDateTime& dt, TrialReading reading) {
    const QTime time = dt.time();
    if (time.msec() != 0)
        return storedDateText(dt);
    const QString date =
        reading == TrialReading::English ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("dd/MM/yyyy");
    return dt.toString(time == QTime(0, 0) ? date : date + QStringLiteral(" HH:mm:ss"));
}

} // namespace check
