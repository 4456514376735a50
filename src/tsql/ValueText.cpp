#include "tsql/Value.h"

#include "tsql/ValueInternal.h"

#include <QLocale>

namespace tsql {

namespace detail {

// The forms are tried in order; the first that reads the whole text wins. Dates are read as the
// engine stores them (no time zone).
std::optional<QDateTime> parseDateTime(const QString& text) {
    QString s = text.trimmed();
    static const char* formats[] = {"yyyy-MM-dd HH:mm:ss.zzz",
                                    "yyyy-MM-dd HH:mm:ss",
                                    "yyyy-MM-dd HH:mm",
                                    "yyyy-MM-ddTHH:mm:ss.zzz",
                                    "yyyy-MM-ddTHH:mm:ss",
                                    "yyyy-MM-dd",
                                    "yyyyMMdd HH:mm:ss",
                                    "yyyyMMdd HH:mm",
                                    "yyyyMMdd",
                                    "dd/MM/yyyy HH:mm:ss",
                                    "dd/MM/yyyy",
                                    "MM/dd/yyyy",
                                    "yyyy-MM-dd HH:mm:ss.z",
                                    "yyyy-MM-dd HH:mm:ss.zz"};
    for (const char* f : formats) {
        QDateTime d = QDateTime::fromString(s, QLatin1String(f));
        if (d.isValid()) {
            d.setTimeSpec(Qt::UTC);
            return d;
        }
    }
    QDateTime d = QLocale::c().toDateTime(s, QStringLiteral("MMM d yyyy h:mmAP"));
    if (d.isValid()) {
        d.setTimeSpec(Qt::UTC);
        return d;
    }
    return std::nullopt;
}

const QDateTime& baseDate() {
    static const QDateTime b(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
    return b;
}

} // namespace detail

// The text CAST and CONVERT without a style give ("CAST and CONVERT", style 0): money with two
// decimals, float in at most six significant digits with a three-digit exponent, datetime as
// "Mon dd yyyy hh:miAM".
QString toText(const Value& v) {
    if (v.null)
        return QString();
    switch (v.type.id) {
    case TypeId::Bit:
    case TypeId::TinyInt:
    case TypeId::SmallInt:
    case TypeId::Int:
    case TypeId::BigInt:
    case TypeId::Unknown:
        return QString::number(v.i);
    case TypeId::Decimal: {
        QString s = v.n.toString();
        return s;
    }
    case TypeId::Money:
    case TypeId::SmallMoney:
        return v.n.rescaled(2).value_or(v.n).toString();
    case TypeId::Float:
    case TypeId::Real: {
        QString s = QString::number(v.f, 'g', 6);
        int e = s.indexOf(u'e');
        if (e >= 0) {
            QString mant = s.left(e), ex = s.mid(e + 1);
            QChar sign = ex[0];
            QString digits = ex.mid(1);
            while (digits.size() < 3)
                digits.prepend(u'0');
            s = mant + u'e' + sign + digits;
        }
        return s;
    }
    case TypeId::Date:
        return v.dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    case TypeId::DateTime:
    case TypeId::SmallDateTime: {
        QLocale c = QLocale::c();
        QString month = c.monthName(v.dt.date().month(), QLocale::ShortFormat);
        int h = v.dt.time().hour();
        QString ap = h < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
        int h12 = h % 12 == 0 ? 12 : h % 12;
        return QStringLiteral("%1 %2 %3 %4:%5%6")
            .arg(month)
            .arg(v.dt.date().day(), 2)
            .arg(v.dt.date().year())
            .arg(h12, 2)
            .arg(v.dt.time().minute(), 2, 10, QChar(u'0'))
            .arg(ap);
    }
    default:
        return v.s;
    }
}

} // namespace tsql
