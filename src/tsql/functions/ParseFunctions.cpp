// PARSE and TRY_PARSE (string AS type [USING culture]) ("PARSE (Transact-SQL)"): a text read as a
// number or a date in a culture, as the .NET Framework reads it. Numbers take the culture's
// separators, a sign before or after them or parentheses, its currency symbol and an exponent;
// dates take the culture's order of day, month and year, an ISO date, the names of months and
// days with a time after them. A text with digits in a shape the engine does not read is refused
// by name (Msg 40000) rather than given a value or an error the server might not give.

#include "tsql/functions/Cultures.h"
#include "tsql/functions/Functions.h"

#include "tsql/base/Messages.h"
#include "tsql/values/DateSettings.h"

#include <QRegularExpression>

#include <cmath>

namespace tsql {

namespace {

struct Failure {}; // the culture does not read the text: Msg 9819, NULL for TRY_PARSE

// The text as a decimal number: sign, currency symbol, digits with group separators, decimal
// separator and exponent.
std::optional<QString> numberText(QString s, const Culture& c) {
    s = s.trimmed();
    bool negative = false;
    if (s.startsWith(u'(') && s.endsWith(u')')) {
        negative = true;
        s = s.mid(1, s.size() - 2).trimmed();
    }
    auto takeSign = [&](bool front) {
        if (s.isEmpty())
            return false;
        const QChar ch = front ? s.front() : s.back();
        if (ch != u'-' && ch != u'+')
            return false;
        negative = negative != (ch == u'-');
        s = front ? s.mid(1).trimmed() : s.left(s.size() - 1).trimmed();
        return true;
    };
    if (!s.isEmpty() && !takeSign(true) && !s.isEmpty())
        takeSign(false);
    const QString symbol = c.currency ? QString::fromUtf16(c.currency) : QStringLiteral("\u20AC");
    if (s.startsWith(symbol))
        s = s.mid(symbol.size()).trimmed();
    else if (s.endsWith(symbol))
        s = s.left(s.size() - symbol.size()).trimmed();
    if (!s.isEmpty() && (s.front() == u'-' || s.front() == u'+'))
        takeSign(true);
    QString digits;
    qsizetype k = 0;
    bool any = false;
    for (; k < s.size() && (s[k].isDigit() || s[k] == c.group); ++k) {
        if (s[k] != c.group) {
            digits += s[k];
            any = true;
        } else if (!any) {
            return std::nullopt;
        }
    }
    if (k < s.size() && s[k] == c.decimal) {
        digits += u'.';
        for (++k; k < s.size() && s[k].isDigit(); ++k) {
            digits += s[k];
            any = true;
        }
    }
    if (!any)
        return std::nullopt;
    if (k < s.size() && (s[k] == u'e' || s[k] == u'E')) {
        QString exponent = QStringLiteral("e");
        ++k;
        if (k < s.size() && (s[k] == u'+' || s[k] == u'-'))
            exponent += s[k++];
        const qsizetype start = k;
        while (k < s.size() && s[k].isDigit())
            exponent += s[k++];
        if (k == start)
            return std::nullopt;
        digits += exponent;
    }
    if (k != s.size())
        return std::nullopt;
    return (negative ? QStringLiteral("-") : QString()) + digits;
}

Value parseNumber(const QString& text, const SqlType& type, const Culture& c) {
    const auto number = numberText(text, c);
    if (!number)
        throw Failure{};
    try {
        if (type.id == TypeId::Float || type.id == TypeId::Real || number->contains(u'e')) {
            const Value f = convert(Value::str(*number), SqlType::of(TypeId::Float));
            // A whole number type takes a whole number only, however it is written.
            if (type.isInteger() && f.f != std::trunc(f.f))
                throw Failure{};
            return convert(f, type);
        }
        QString digits = *number;
        if (type.isInteger() && digits.contains(u'.')) {
            while (digits.endsWith(u'0'))
                digits.chop(1);
            if (!digits.endsWith(u'.'))
                throw Failure{};
            digits.chop(1);
        }
        return convert(Value::str(digits), type);
    } catch (const SqlError&) {
        throw Failure{};
    }
}

int nameIndex(const std::array<const char16_t*, 12>& names, const QString& word) {
    for (std::size_t k = 0; k < names.size(); ++k)
        if (word.compare(QString::fromUtf16(names[k]), Qt::CaseInsensitive) == 0)
            return int(k) + 1;
    return 0;
}

int monthOf(const QString& word, const Culture& c) {
    const int full = nameIndex(c.months, word);
    return full ? full : nameIndex(c.shortMonths, word);
}

// The day of the week a name gives (0 Sunday), -1 for none.
int weekdayOf(const QString& word, const Culture& c) {
    for (std::size_t k = 0; k < 7; ++k)
        if (word.compare(QString::fromUtf16(c.days[k]), Qt::CaseInsensitive) == 0 ||
            word.compare(QString::fromUtf16(c.shortDays[k]), Qt::CaseInsensitive) == 0)
            return int(k);
    return -1;
}

// hh:mm[:ss[.fff]] [AM|PM] after a date; an empty text is midnight.
std::optional<QTime> timeOf(const QString& text, const Culture& c) {
    static const QRegularExpression time(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,3}))?)?\\s*(AM|PM)?$"),
        QRegularExpression::CaseInsensitiveOption);
    if (text.isEmpty())
        return QTime(0, 0);
    const auto m = time.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const QString half = m.captured(5).toUpper();
    if (!half.isEmpty()) {
        if (!c.designators || hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (half == u"PM" ? 12 : 0);
    }
    const QTime t(hour, m.captured(2).toInt(), m.captured(3).toInt(),
                  m.captured(4).leftJustified(3, u'0').toInt());
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

Value parseDate(const QString& raw, const SqlType& type, const Culture& c) {
    const QString s = raw.simplified();
    bool hasDigit = false;
    for (QChar ch : s)
        hasDigit = hasDigit || ch.isDigit();
    if (!hasDigit)
        throw Failure{};
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](.*))?$"));
    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{4})(?: (.*))?$"));
    static const QRegularExpression named(
        QStringLiteral("^(?:(\\w+), )?(?:(\\d{1,2}) (\\w+)|(\\w+) (\\d{1,2}),) (\\d{4})(?: (.*))?$"),
        QRegularExpression::UseUnicodePropertiesOption);
    QDate date;
    QString rest;
    int weekday = -1;
    if (const auto m = iso.match(s); m.hasMatch()) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        rest = m.captured(4);
    } else if (const auto n = numeric.match(s); n.hasMatch()) {
        const int a = n.captured(1).toInt(), b = n.captured(2).toInt();
        const bool dayFirst = c.decimal == u',';
        date = QDate(n.captured(3).toInt(), dayFirst ? b : a, dayFirst ? a : b);
        rest = n.captured(4);
    } else if (const auto w = named.match(s); w.hasMatch()) {
        const bool dayFirst = !w.captured(2).isEmpty();
        const int month = monthOf(dayFirst ? w.captured(3) : w.captured(4), c);
        if (!month || (!dayFirst && c.decimal == u','))
            throw Failure{};
        date = QDate(w.captured(6).toInt(), month, (dayFirst ? w.captured(2) : w.captured(5)).toInt());
        if (!w.captured(1).isEmpty() && (weekday = weekdayOf(w.captured(1), c)) < 0)
            throw Failure{};
        rest = w.captured(7);
    } else {
        raise<Msg::ParseTextNotSupported>(raw, type.name());
    }
    const auto time = timeOf(rest, c);
    if (!date.isValid() || !time || (weekday >= 0 && date.dayOfWeek() % 7 != weekday))
        throw Failure{};
    const QDateTime dt(date, *time, Qt::UTC);
    if (!dateInRange(dt, type.id))
        throw Failure{};
    try {
        return convert(Value::datetime(dt, TypeId::DateTime2), type);
    } catch (const SqlError&) {
        throw Failure{};
    }
}

} // namespace

Value parseValue(const Value& text, const SqlType& type, const Value* culture, bool tryParse) {
    const QString cultureName = culture && !culture->null ? culture->s : QString();
    const Culture& c = cultureNamed(culture ? &cultureName : nullptr);
    if (text.null || (culture && culture->null))
        return Value::nullOf(type);
    try {
        return type.isDate() ? parseDate(text.s, type, c) : parseNumber(text.s, type, c);
    } catch (const Failure&) {
        if (tryParse)
            return Value::nullOf(type);
        raise<Msg::ParseConversionFailed>(text.s, type.name(), QString::fromLatin1(c.name));
    }
}

} // namespace tsql
