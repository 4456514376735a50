#include "tsql/values/Value.h"

#include "tsql/values/DateSettings.h"
#include "tsql/values/TimeOfDay.h"
#include "tsql/values/ValueInternal.h"

namespace tsql {

namespace detail {

const QDateTime& baseDate() {
    static const QDateTime b(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
    return b;
}

} // namespace detail

// The text CAST and CONVERT without a style give ("CAST and CONVERT", style 0): money with two
// decimals, float in at most six significant digits with a three-digit exponent, datetime as
// "Mon dd yyyy hh:miAM" (the month in the session's language), datetime2 as
// "yyyy-mm-dd hh:mi:ss.fffffff".
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
    case TypeId::Time:
        return timeText(v.i, v.type.scale);
    case TypeId::Date:
        return v.dt->date().toString(QStringLiteral("yyyy-MM-dd"));
    case TypeId::DateTime2:
        return v.dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral("0000");
    case TypeId::DateTime:
    case TypeId::SmallDateTime: {
        QString month = monthName(v.dt->date().month(), true);
        int h = v.dt->time().hour();
        QString ap = h < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
        int h12 = h % 12 == 0 ? 12 : h % 12;
        return QStringLiteral("%1 %2 %3 %4:%5%6")
            .arg(month)
            .arg(v.dt->date().day(), 2)
            .arg(v.dt->date().year())
            .arg(h12, 2)
            .arg(v.dt->time().minute(), 2, 10, QChar(u'0'))
            .arg(ap);
    }
    default:
        return v.s;
    }
}

} // namespace tsql
