#include "tsql/Value.h"

#include "tsql/Limits.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace tsql {

void raise(int number, int level, const QString& message, int line, int column) {
    throw SqlError{ServerError{number, level, 1, line, column, message}};
}

namespace {
__int128 pow10(int k) {
    static __int128 table[39];
    static bool ready = false;
    if (!ready) {
        table[0] = 1;
        for (int j = 1; j < 39; ++j)
            table[j] = table[j - 1] * 10;
        ready = true;
    }
    return table[k < 0 ? 0 : (k > 38 ? 38 : k)];
}
__int128 abs128(__int128 v) {
    return v < 0 ? -v : v;
}
const __int128 kMax38 = [] {
    __int128 p = 1;
    for (int j = 0; j < 38; ++j)
        p *= 10;
    return p;
}();
} // namespace

QString SqlType::name() const {
    switch (id) {
    case TypeId::Unknown:
        return QStringLiteral("int");
    case TypeId::Char:
        return QStringLiteral("char");
    case TypeId::VarChar:
        return QStringLiteral("varchar");
    case TypeId::NChar:
        return QStringLiteral("nchar");
    case TypeId::NVarChar:
        return QStringLiteral("nvarchar");
    case TypeId::UniqueIdentifier:
        return QStringLiteral("uniqueidentifier");
    case TypeId::Bit:
        return QStringLiteral("bit");
    case TypeId::TinyInt:
        return QStringLiteral("tinyint");
    case TypeId::SmallInt:
        return QStringLiteral("smallint");
    case TypeId::Int:
        return QStringLiteral("int");
    case TypeId::BigInt:
        return QStringLiteral("bigint");
    case TypeId::SmallMoney:
        return QStringLiteral("smallmoney");
    case TypeId::Money:
        return QStringLiteral("money");
    case TypeId::Decimal:
        return numericName ? QStringLiteral("numeric") : QStringLiteral("decimal");
    case TypeId::Real:
        return QStringLiteral("real");
    case TypeId::Float:
        return QStringLiteral("float");
    case TypeId::Date:
        return QStringLiteral("date");
    case TypeId::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case TypeId::DateTime:
        return QStringLiteral("datetime");
    case TypeId::Xml:
    case TypeId::XmlNode:
        return QStringLiteral("xml");
    }
    return QString();
}

std::optional<SqlType> typeFromName(const QString& u, int args, int a1, int a2, bool max) {
    SqlType t;
    auto simple = [&](TypeId id) -> std::optional<SqlType> {
        if (args > 0)
            return std::nullopt;
        return SqlType::of(id);
    };
    if (u == u"DECIMAL" || u == u"NUMERIC" || u == u"DEC") {
        t.id = TypeId::Decimal;
        t.numericName = u == u"NUMERIC";
        t.precision = args >= 1 ? a1 : 18;
        t.scale = args >= 2 ? a2 : 0;
        if (max || args > 2)
            return std::nullopt;
        return t;
    }
    if (u == u"CHAR" || u == u"VARCHAR" || u == u"NCHAR" || u == u"NVARCHAR" || u == u"CHARACTER") {
        t.id = u == u"VARCHAR"    ? TypeId::VarChar
               : u == u"NCHAR"    ? TypeId::NChar
               : u == u"NVARCHAR" ? TypeId::NVarChar
                                  : TypeId::Char;
        if (args > 1)
            return std::nullopt;
        if (max && (t.id == TypeId::Char || t.id == TypeId::NChar))
            return std::nullopt;
        t.length = max ? -1 : (args == 1 ? a1 : 1);
        return t;
    }
    if (u == u"INT" || u == u"INTEGER")
        return simple(TypeId::Int);
    if (u == u"BIGINT")
        return simple(TypeId::BigInt);
    if (u == u"SMALLINT")
        return simple(TypeId::SmallInt);
    if (u == u"TINYINT")
        return simple(TypeId::TinyInt);
    if (u == u"BIT")
        return simple(TypeId::Bit);
    if (u == u"MONEY")
        return simple(TypeId::Money);
    if (u == u"SMALLMONEY")
        return simple(TypeId::SmallMoney);
    if (u == u"FLOAT") {
        if (args > 1)
            return std::nullopt;
        return SqlType::of(args == 1 && a1 <= 24 ? TypeId::Real : TypeId::Float);
    }
    if (u == u"REAL")
        return simple(TypeId::Real);
    if (u == u"DATETIME" || u == u"DATETIME2")
        return SqlType::of(TypeId::DateTime);
    if (u == u"SMALLDATETIME")
        return simple(TypeId::SmallDateTime);
    if (u == u"DATE")
        return simple(TypeId::Date);
    if (u == u"XML")
        return simple(TypeId::Xml);
    if (u == u"UNIQUEIDENTIFIER")
        return simple(TypeId::UniqueIdentifier);
    if (u == u"SYSNAME")
        return SqlType{TypeId::NVarChar, 0, 0, 128, false};
    return std::nullopt;
}

std::optional<SqlType> parseTypeName(const QString& text) {
    QString s = text.trimmed().toUpper();
    int paren = s.indexOf(u'(');
    QString name = (paren < 0 ? s : s.left(paren)).trimmed();
    int args = 0, a1 = 0, a2 = 0;
    bool max = false;
    if (paren >= 0) {
        int close = s.indexOf(u')', paren);
        if (close < 0 || !s.mid(close + 1).trimmed().isEmpty())
            return std::nullopt;
        const QStringList parts = s.mid(paren + 1, close - paren - 1).split(u',');
        for (const QString& p : parts) {
            QString x = p.trimmed();
            bool ok = false;
            int v = x.toInt(&ok);
            if (x == u"MAX" && args == 0) {
                max = true;
            } else if (!ok) {
                return std::nullopt;
            }
            (args == 0 ? a1 : a2) = v;
            ++args;
        }
        if (max)
            args = 0;
    }
    return typeFromName(name, args, a1, a2, max);
}

SqlType typeFromSqliteDecl(const QString& decl) {
    if (auto t = parseTypeName(decl))
        return *t;
    QString u = decl.toUpper();
    if (u.contains(u"INT"))
        return SqlType::of(TypeId::BigInt);
    if (u.contains(u"CHAR") || u.contains(u"CLOB") || u.contains(u"TEXT"))
        return SqlType::varchar(-1);
    if (u.contains(u"REAL") || u.contains(u"FLOA") || u.contains(u"DOUB"))
        return SqlType::of(TypeId::Float);
    if (u.contains(u"DEC") || u.contains(u"NUM"))
        return SqlType::decimal(38, 10);
    if (u.contains(u"DATE") || u.contains(u"TIME"))
        return SqlType::of(TypeId::DateTime);
    return SqlType::of(TypeId::Unknown);
}

// ---- Numeric ----

int Numeric::digits() const {
    __int128 a = abs128(v);
    int d = 0;
    while (a > 0) {
        a /= 10;
        ++d;
    }
    return std::max(d, scale);
}

std::optional<Numeric> Numeric::rescaled(int s) const {
    if (s == scale)
        return *this;
    if (s > scale) {
        int k = s - scale;
        if (k > 38)
            return v == 0 ? std::optional<Numeric>(Numeric{0, s}) : std::nullopt;
        __int128 r;
        if (__builtin_mul_overflow(v, pow10(k), &r) || abs128(r) >= kMax38)
            return std::nullopt;
        return Numeric{r, s};
    }
    int k = scale - s;
    if (k > 38)
        return Numeric{0, s};
    __int128 p = pow10(k);
    __int128 q = v / p, rem = v % p;
    if (abs128(rem) * 2 >= p)
        q += v < 0 ? -1 : 1;
    return Numeric{q, s};
}

double Numeric::toDouble() const {
    return double(v) / std::pow(10.0, scale);
}

QString Numeric::toString() const {
    __int128 a = abs128(v);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(a % 10)));
        a /= 10;
    } while (a > 0);
    while (digits.size() <= scale)
        digits.prepend(u'0');
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    if (v < 0)
        digits.prepend(u'-');
    return digits;
}

std::optional<Numeric> Numeric::parse(const QString& text) {
    QString s = text.trimmed();
    int k = 0;
    bool neg = false;
    if (k < s.size() && (s[k] == u'-' || s[k] == u'+')) {
        neg = s[k] == u'-';
        ++k;
    }
    __int128 v = 0;
    int scale = 0, count = 0;
    bool point = false;
    for (; k < s.size(); ++k) {
        QChar c = s[k];
        if (c == u'.' && !point) {
            point = true;
            continue;
        }
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return std::nullopt;
        if (v == 0 && c == u'0' && !point) {
            ++count;
            continue;
        }
        ++count;
        if (v >= kMax38 / 10) {
            if (point)
                continue; // extra decimals are dropped
            return std::nullopt;
        }
        v = v * 10 + (c.unicode() - u'0');
        if (point)
            ++scale;
    }
    if (count == 0)
        return std::nullopt;
    return Numeric{neg ? -v : v, scale};
}

std::optional<Numeric> Numeric::fromDouble(double d, int scale) {
    if (!std::isfinite(d))
        return std::nullopt;
    double scaled = std::round(d * std::pow(10.0, scale));
    if (std::fabs(scaled) >= 1e38)
        return std::nullopt;
    return Numeric{static_cast<__int128>(scaled), scale};
}

// ---- Value ----

Value Value::integer(qint64 x, TypeId id) {
    Value v;
    v.type = SqlType::of(id);
    v.null = false;
    v.i = x;
    return v;
}
Value Value::decimal(const Numeric& x, int precision) {
    Value v;
    v.type = SqlType::decimal(std::max(precision, std::max(x.scale, 1)), x.scale);
    v.null = false;
    v.n = x;
    return v;
}
Value Value::flt(double x) {
    Value v;
    v.type = SqlType::of(TypeId::Float);
    v.null = false;
    v.f = x;
    return v;
}
Value Value::str(const QString& x, bool unicode) {
    Value v;
    v.type = SqlType{unicode ? TypeId::NVarChar : TypeId::VarChar, 0, 0,
                     int(std::max<qsizetype>(1, x.size())), false};
    v.null = false;
    v.s = x;
    return v;
}
Value Value::boolean(bool b) {
    return integer(b ? 1 : 0, TypeId::Bit);
}
Value Value::datetime(const QDateTime& d, TypeId id) {
    Value v;
    v.type = SqlType::of(id);
    v.null = false;
    v.dt = d;
    return v;
}

static SqlType decimalOf(const SqlType& t) {
    switch (t.id) {
    case TypeId::Bit:
        return SqlType::decimal(1, 0);
    case TypeId::TinyInt:
        return SqlType::decimal(3, 0);
    case TypeId::SmallInt:
        return SqlType::decimal(5, 0);
    case TypeId::Int:
    case TypeId::Unknown:
        return SqlType::decimal(10, 0);
    case TypeId::BigInt:
        return SqlType::decimal(19, 0);
    case TypeId::Money:
        return SqlType::decimal(19, 4);
    case TypeId::SmallMoney:
        return SqlType::decimal(10, 4);
    default:
        return t;
    }
}

static qint64 intMin(TypeId id) {
    switch (id) {
    case TypeId::Bit:
    case TypeId::TinyInt:
        return 0;
    case TypeId::SmallInt:
        return -32768;
    case TypeId::BigInt:
        return std::numeric_limits<qint64>::min();
    default:
        return std::numeric_limits<qint32>::min();
    }
}
static qint64 intMax(TypeId id) {
    switch (id) {
    case TypeId::Bit:
        return 1;
    case TypeId::TinyInt:
        return 255;
    case TypeId::SmallInt:
        return 32767;
    case TypeId::BigInt:
        return std::numeric_limits<qint64>::max();
    default:
        return std::numeric_limits<qint32>::max();
    }
}

static QString messageTypeName(const SqlType& t) {
    if (t.id == TypeId::Decimal)
        return QStringLiteral("numeric");
    if (t.id == TypeId::Unknown)
        return QStringLiteral("int");
    return t.name();
}

[[noreturn]] static void overflow(const SqlType& from, const SqlType& to) {
    QString f = from.id == TypeId::Unknown ? QStringLiteral("expression") : messageTypeName(from);
    raise(8115, 16,
          QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
              .arg(f, messageTypeName(to)));
}

bool implicitAllowed(TypeId from, TypeId to) {
    if (from == to || from == TypeId::Unknown || to == TypeId::Unknown)
        return true;
    auto isStr = [](TypeId t) { return t >= TypeId::Char && t <= TypeId::NVarChar; };
    if (from == TypeId::XmlNode || to == TypeId::XmlNode)
        return false;
    if (from == TypeId::Xml || to == TypeId::Xml)
        return isStr(from) || isStr(to);
    if (from == TypeId::UniqueIdentifier || to == TypeId::UniqueIdentifier)
        return isStr(from) || isStr(to);
    bool fromNum = from >= TypeId::Bit && from <= TypeId::Float;
    bool toNum = to >= TypeId::Bit && to <= TypeId::Float;
    if ((from == TypeId::Date && toNum) || (to == TypeId::Date && fromNum))
        return false;
    return true;
}

[[noreturn]] static void clash(const SqlType& from, const SqlType& to, bool explicitConversion) {
    if (explicitConversion)
        raise(529, 16,
              QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                  .arg(from.name(), to.name()));
    raise(206, 16,
          QStringLiteral("Operand type clash: %1 is incompatible with %2").arg(from.name(), to.name()));
}

static std::optional<QDateTime> parseDateTime(const QString& text) {
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

static const QDateTime& baseDate() {
    static const QDateTime b(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
    return b;
}

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

static QString fitString(const QString& s, const SqlType& to) {
    if (to.length < 0)
        return s;
    if (s.size() > to.length)
        return s.left(to.length);
    if (to.id == TypeId::Char || to.id == TypeId::NChar)
        return s + QString(to.length - s.size(), u' ');
    return s;
}

Value convert(const Value& v, const SqlType& to, bool explicitConversion) {
    const SqlType& from = v.type;
    if (to.id == TypeId::Unknown)
        return v;
    if (!implicitAllowed(from.id, to.id)) {
        bool explicitOk = explicitConversion && from.id != TypeId::XmlNode && to.id != TypeId::XmlNode &&
                          !(from.id == TypeId::Xml && to.isNumeric()) &&
                          !(to.id == TypeId::Xml && from.isNumeric()) && to.id != TypeId::Date &&
                          from.id != TypeId::Date;
        if (!explicitOk)
            clash(from, to, explicitConversion);
    }
    if (v.null) {
        return Value::nullOf(to);
    }
    Value r;
    r.type = to;
    r.null = false;
    if (to.isInteger()) {
        if (from.isInteger() || from.id == TypeId::Unknown) {
            r.i = v.i;
            if (to.id == TypeId::Bit)
                r.i = v.i != 0;
            else if (v.i < intMin(to.id) || v.i > intMax(to.id))
                overflow(SqlType::of(TypeId::Unknown), to);
        } else if (from.id == TypeId::Decimal || from.id == TypeId::Money || from.id == TypeId::SmallMoney) {
            __int128 q = v.n.v / pow10(v.n.scale);
            if (to.id == TypeId::Bit)
                r.i = v.n.v != 0;
            else if (q < intMin(to.id) || q > intMax(to.id))
                overflow(from, to);
            else
                r.i = qint64(q);
        } else if (from.id == TypeId::Float || from.id == TypeId::Real) {
            if (to.id == TypeId::Bit)
                r.i = v.f != 0;
            else {
                double t = std::trunc(v.f);
                if (!(t >= double(intMin(to.id)) && t < double(intMax(to.id)) + 1.0))
                    overflow(from, to);
                r.i = qint64(t);
            }
        } else if (from.isString()) {
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
                        raise(248, 16,
                              QStringLiteral("The conversion of the %1 value '%2' overflowed an %3 column.")
                                  .arg(from.name(), v.s, to.name()));
                }
            }
            if (!ok)
                raise(245, 16,
                      QStringLiteral("Conversion failed when converting the %1 value '%2' to data type %3.")
                          .arg(from.name(), v.s, to.name()));
            if (to.id == TypeId::Bit)
                x = x != 0;
            else if (x < intMin(to.id) || x > intMax(to.id))
                raise(248, 16,
                      QStringLiteral("The conversion of the %1 value '%2' overflowed an %3 column.")
                          .arg(from.name(), v.s, to.name()));
            r.i = x;
        } else if (from.isDate()) {
            r.i = baseDate().daysTo(v.dt);
        } else {
            clash(from, to, explicitConversion);
        }
        return r;
    }
    if (to.id == TypeId::Decimal || to.id == TypeId::Money || to.id == TypeId::SmallMoney) {
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
            n = Numeric::parse(v.s);
            if (!n) {
                if (to.id == TypeId::Decimal)
                    raise(8114, 16,
                          QStringLiteral("Error converting data type %1 to numeric.").arg(from.name()));
                raise(235, 16,
                      QStringLiteral(
                          "Cannot convert a char value to money. The char value has incorrect syntax."));
            }
        } else if (from.isDate()) {
            n = Numeric{baseDate().daysTo(v.dt), 0};
        } else {
            clash(from, to, explicitConversion);
        }
        auto scaled = n->rescaled(target.scale);
        if (!scaled || scaled->digits() - scaled->scale > target.precision - target.scale)
            overflow(from.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : from, to);
        r.n = *scaled;
        return r;
    }
    if (to.id == TypeId::Float || to.id == TypeId::Real) {
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
                raise(8114, 16, QStringLiteral("Error converting data type %1 to float.").arg(from.name()));
        } else if (from.isDate()) {
            r.f = double(baseDate().msecsTo(v.dt)) / 86400000.0;
        } else {
            clash(from, to, explicitConversion);
        }
        if (to.id == TypeId::Real)
            r.f = double(float(r.f));
        return r;
    }
    if (to.isString() || to.id == TypeId::Xml || to.id == TypeId::UniqueIdentifier) {
        if (from.id == TypeId::XmlNode)
            clash(from, to, explicitConversion);
        QString s = toText(v);
        if (to.isString() && to.length >= 0 && s.size() > to.length && !from.isString() && !from.isDate()) {
            if (from.isInteger())
                s = QStringLiteral("*");
            else
                raise(8115, 16,
                      QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
                          .arg(messageTypeName(from), to.name()));
        }
        r.s = to.isString() ? fitString(s, to) : s;
        if (to.id == TypeId::Xml && from.id == TypeId::Xml)
            r.doc = v.doc;
        return r;
    }
    if (to.isDate()) {
        QDateTime d;
        if (from.isDate()) {
            d = v.dt;
        } else if (from.isString()) {
            auto p = parseDateTime(v.s);
            static const QRegularExpression dateShape(
                QStringLiteral("^\\s*(\\d{4}-\\d{1,2}-\\d{1,2}|\\d{8}|\\d{1,2}/\\d{1,2}/\\d{4})([ T].*)?$"));
            if (!p && to.id != TypeId::Date && dateShape.match(v.s).hasMatch())
                raise(242, 16,
                      QStringLiteral(
                          "The conversion of a %1 data type to a %2 data type resulted in an out-of-range "
                          "value.")
                          .arg(from.name(), to.name()));
            if (!p)
                raise(241, 16,
                      QStringLiteral(
                          "Conversion failed when converting date and/or time from character string."));
            d = *p;
        } else if (from.isInteger() || from.id == TypeId::Unknown) {
            d = baseDate().addDays(v.i);
        } else if (from.isNumeric()) {
            double days = from.id == TypeId::Float || from.id == TypeId::Real ? v.f : v.n.toDouble();
            d = baseDate().addMSecs(qint64(std::llround(days * 86400000.0)));
        } else {
            clash(from, to, explicitConversion);
        }
        if (to.id == TypeId::Date)
            d = QDateTime(d.date(), QTime(0, 0), Qt::UTC);
        r.dt = d;
        return r;
    }
    clash(from, to, explicitConversion);
}

int compareStringsCI(const QString& a, const QString& b) {
    qsizetype la = a.size(), lb = b.size();
    while (la > 0 && a[la - 1] == u' ')
        --la;
    while (lb > 0 && b[lb - 1] == u' ')
        --lb;
    return QStringView(a).left(la).compare(QStringView(b).left(lb), Qt::CaseInsensitive);
}

SqlType dominantType(const SqlType& a, const SqlType& b) {
    if (a.id == TypeId::Unknown)
        return b;
    if (b.id == TypeId::Unknown)
        return a;
    if (a.isString() && b.isString()) {
        SqlType t;
        t.id = std::max(a.id, b.id);
        t.length = (a.length < 0 || b.length < 0) ? -1 : std::max(a.length, b.length);
        return t;
    }
    if (a.id == TypeId::Decimal || b.id == TypeId::Decimal) {
        if (a.id > TypeId::Decimal || b.id > TypeId::Decimal)
            return a.id > b.id ? a : b;
        SqlType x = a.isString() ? SqlType::decimal(38, 10) : decimalOf(a);
        SqlType y = b.isString() ? SqlType::decimal(38, 10) : decimalOf(b);
        if (a.isString())
            return y;
        if (b.isString())
            return x;
        int s = std::max(x.scale, y.scale);
        int p = std::min(38, std::max(x.precision - x.scale, y.precision - y.scale) + s);
        return SqlType::decimal(p, s);
    }
    return a.id >= b.id ? a : b;
}

static QString opName(const QString& op) {
    if (op == u"+")
        return QStringLiteral("add");
    if (op == u"-")
        return QStringLiteral("subtract");
    if (op == u"*")
        return QStringLiteral("multiply");
    if (op == u"/")
        return QStringLiteral("divide");
    if (op == u"%")
        return QStringLiteral("modulo");
    return QStringLiteral("'%1'").arg(op);
}

[[noreturn]] static void incompatible(const QString& op, const SqlType& a, const SqlType& b) {
    raise(402, 16,
          QStringLiteral("The data types %1 and %2 are incompatible in the %3 operator.")
              .arg(a.name(), b.name(), opName(op)));
}

static SqlType capDecimal(int p, int s, bool division) {
    if (p <= 38)
        return SqlType::decimal(p, s);
    int integral = p - s;
    int minScale = std::min(s, 6);
    int ns = std::max(38 - integral, minScale);
    Q_UNUSED(division);
    return SqlType::decimal(38, ns);
}

SqlType arithmeticType(const QString& op, const SqlType& a0, const SqlType& b0) {
    SqlType a = a0, b = b0;
    bool bitwise = op == u"&" || op == u"|" || op == u"^";
    if (a.id == TypeId::XmlNode || b.id == TypeId::XmlNode || a.id == TypeId::Xml || b.id == TypeId::Xml)
        incompatible(op, a, b);
    if (bitwise) {
        auto ok = [](const SqlType& t) { return t.isInteger() || t.id == TypeId::Unknown; };
        if (!ok(a) || !ok(b))
            incompatible(op, a, b);
        SqlType t = dominantType(a, b);
        return t.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : t;
    }
    if (a.id == TypeId::Unknown && b.id == TypeId::Unknown)
        return SqlType::of(TypeId::Int);
    if (op == u"+" && (a.isString() || a.id == TypeId::Unknown) &&
        (b.isString() || b.id == TypeId::Unknown)) {
        SqlType t = dominantType(a, b);
        int la = a.id == TypeId::Unknown ? 0 : a.length, lb = b.id == TypeId::Unknown ? 0 : b.length;
        t.id = (a.isUnicode() || b.isUnicode()) ? TypeId::NVarChar : TypeId::VarChar;
        t.length = (la < 0 || lb < 0 || la + lb > 8000) ? -1 : la + lb;
        return t;
    }
    if (a.isDate() || b.isDate()) {
        if ((op == u"+" || op == u"-") && !(a.id == TypeId::Date || b.id == TypeId::Date)) {
            return a.isDate() ? a : b;
        }
        raise(8117, 16,
              QStringLiteral("Operand data type %1 is invalid for %2 operator.")
                  .arg((a.isDate() ? a : b).name(), opName(op)));
    }
    if (a.isString())
        a = b.id == TypeId::Decimal ? SqlType::decimal(38, 10) : b;
    if (b.isString())
        b = a.id == TypeId::Decimal ? SqlType::decimal(38, 10) : a;
    if (a.id == TypeId::Unknown)
        a = b;
    if (b.id == TypeId::Unknown)
        b = a;
    if (a.id == TypeId::Float || b.id == TypeId::Float || a.id == TypeId::Real || b.id == TypeId::Real) {
        if (op == u"%")
            incompatible(op, a0, b0);
        return SqlType::of(TypeId::Float);
    }
    if (a.id == TypeId::Decimal || b.id == TypeId::Decimal) {
        SqlType x = decimalOf(a), y = decimalOf(b);
        int p1 = x.precision, s1 = x.scale, p2 = y.precision, s2 = y.scale;
        if (op == u"+" || op == u"-") {
            int s = std::max(s1, s2);
            return capDecimal(std::max(p1 - s1, p2 - s2) + s + 1, s, false);
        }
        if (op == u"*")
            return capDecimal(p1 + p2 + 1, s1 + s2, false);
        if (op == u"/") {
            int s = std::max(6, s1 + p2 + 1);
            return capDecimal(p1 - s1 + s2 + s, s, true);
        }
        int s = std::max(s1, s2);
        return capDecimal(std::min(p1 - s1, p2 - s2) + s, s, false);
    }
    if (a.id == TypeId::Money || b.id == TypeId::Money || a.id == TypeId::SmallMoney ||
        b.id == TypeId::SmallMoney)
        return SqlType::of(TypeId::Money);
    SqlType t = dominantType(a, b);
    if (t.id == TypeId::Bit || t.id == TypeId::TinyInt || t.id == TypeId::SmallInt)
        t = SqlType::of(TypeId::Int);
    return t;
}

[[noreturn]] static void divideByZero() {
    raise(8134, 16, QStringLiteral("Divide by zero error encountered."));
}

// Operand of an arithmetic operator converted to the category of the result type.
static Value operandFor(const Value& v, const SqlType& result) {
    if (result.isString())
        return convert(v, SqlType::varchar(-1));
    if (result.isInteger())
        return convert(v,
                       result.id == TypeId::BigInt ? SqlType::of(TypeId::BigInt) : SqlType::of(TypeId::Int));
    if (result.id == TypeId::Float)
        return convert(v, result);
    if (result.id == TypeId::Decimal || result.id == TypeId::Money) {
        if (v.type.isString()) {
            if (v.null)
                return Value::nullOf(SqlType::decimal(38, 10));
            auto n = Numeric::parse(v.s);
            if (!n)
                raise(8114, 16,
                      QStringLiteral("Error converting data type %1 to numeric.").arg(v.type.name()));
            return Value::decimal(*n, n->digits());
        }
        if (v.type.id == TypeId::Decimal || v.type.id == TypeId::Money || v.type.id == TypeId::SmallMoney)
            return v;
        if (v.type.id == TypeId::Float || v.type.id == TypeId::Real)
            return convert(v, SqlType::decimal(38, 10));
        SqlType d = decimalOf(v.type);
        return convert(v, d);
    }
    return v;
}

Value arithmetic(const QString& op, const Value& a, const Value& b) {
    SqlType t = arithmeticType(op, a.type, b.type);
    if (t.isDate()) {
        const Value& d = a.type.isDate() ? a : b;
        const Value& n = a.type.isDate() ? b : a;
        Value nv = convert(n, SqlType::of(TypeId::Float));
        if (d.null || nv.null)
            return Value::nullOf(t);
        double days = op == u"-" ? -nv.f : nv.f;
        return Value::datetime(d.dt.addMSecs(qint64(std::llround(days * 86400000.0))), t.id);
    }
    Value x = operandFor(a, t), y = operandFor(b, t);
    if (x.null || y.null)
        return Value::nullOf(t);
    Value r;
    r.type = t;
    r.null = false;
    if (t.isString()) {
        checkStringSize(qint64(x.s.size()) + qint64(y.s.size()), t);
        r.s = x.s + y.s;
        return r;
    }
    if (t.isInteger()) {
        qint64 p = x.i, q = y.i, out = 0;
        bool of = false;
        if (op == u"+")
            of = __builtin_add_overflow(p, q, &out);
        else if (op == u"-")
            of = __builtin_sub_overflow(p, q, &out);
        else if (op == u"*")
            of = __builtin_mul_overflow(p, q, &out);
        else if (op == u"/") {
            if (q == 0)
                divideByZero();
            if (p == std::numeric_limits<qint64>::min() && q == -1)
                of = true;
            else
                out = p / q;
        } else if (op == u"%") {
            if (q == 0)
                divideByZero();
            out = q == -1 ? 0 : p % q;
        } else if (op == u"&")
            out = p & q;
        else if (op == u"|")
            out = p | q;
        else if (op == u"^")
            out = p ^ q;
        if (of || out < intMin(t.id) || out > intMax(t.id))
            overflow(SqlType::of(TypeId::Unknown), t);
        r.i = out;
        return r;
    }
    if (t.id == TypeId::Float) {
        if (op == u"+")
            r.f = x.f + y.f;
        else if (op == u"-")
            r.f = x.f - y.f;
        else if (op == u"*")
            r.f = x.f * y.f;
        else if (op == u"/") {
            if (y.f == 0)
                divideByZero();
            r.f = x.f / y.f;
        }
        if (!std::isfinite(r.f))
            overflow(SqlType::of(TypeId::Unknown), t);
        return r;
    }
    // decimal and money
    SqlType target = t.id == TypeId::Money ? SqlType::decimal(19, 4) : t;
    const Numeric& p = x.n;
    const Numeric& q = y.n;
    std::optional<Numeric> res;
    auto fail = [&]() { overflow(SqlType::of(TypeId::Unknown), t); };
    if (op == u"+" || op == u"-") {
        int s = std::max(p.scale, q.scale);
        auto pa = p.rescaled(s), qa = q.rescaled(s);
        if (!pa || !qa)
            fail();
        __int128 out;
        bool of = op == u"+" ? __builtin_add_overflow(pa->v, qa->v, &out)
                             : __builtin_sub_overflow(pa->v, qa->v, &out);
        if (of)
            fail();
        res = Numeric{out, s};
    } else if (op == u"*") {
        __int128 out;
        if (__builtin_mul_overflow(p.v, q.v, &out))
            fail();
        res = Numeric{out, p.scale + q.scale};
    } else if (op == u"/" || op == u"%") {
        if (q.v == 0)
            divideByZero();
        if (op == u"%") {
            int s = std::max(p.scale, q.scale);
            auto pa = p.rescaled(s), qa = q.rescaled(s);
            if (!pa || !qa)
                fail();
            res = Numeric{pa->v % qa->v, s};
        } else {
            // Long division with one digit more than the result scale, then rounded.
            __int128 num = p.v;
            int sc = p.scale - q.scale;
            while (sc < target.scale + 1) {
                __int128 t2;
                if (__builtin_mul_overflow(num, __int128(10), &t2))
                    break;
                num = t2;
                ++sc;
            }
            if (sc < 0)
                fail();
            res = Numeric{num / q.v, sc};
        }
    }
    auto fitted = res->rescaled(target.scale);
    if (!fitted || fitted->digits() - fitted->scale > target.precision - target.scale)
        fail();
    r.n = *fitted;
    return r;
}

Value negate(const Value& a) {
    if (a.type.isString() || a.type.id == TypeId::Xml || a.type.id == TypeId::XmlNode || a.type.isDate())
        raise(8117, 16,
              QStringLiteral("Operand data type %1 is invalid for minus operator.").arg(a.type.name()));
    if (a.null)
        return a;
    Value r = a;
    if (a.type.isInteger() || a.type.id == TypeId::Unknown) {
        if (a.type.id == TypeId::Bit || a.type.id == TypeId::TinyInt || a.type.id == TypeId::SmallInt ||
            a.type.id == TypeId::Unknown)
            r.type = SqlType::of(TypeId::Int);
        if (a.i == intMin(r.type.id))
            overflow(SqlType::of(TypeId::Unknown), r.type);
        r.i = -a.i;
    } else if (a.type.id == TypeId::Float || a.type.id == TypeId::Real) {
        r.f = -a.f;
    } else {
        r.n.v = -a.n.v;
    }
    return r;
}

Value bitNot(const Value& a) {
    if (!(a.type.isInteger() || a.type.id == TypeId::Unknown))
        raise(402, 16,
              QStringLiteral("The data types %1 and %1 are incompatible in the '~' operator.")
                  .arg(a.type.name()));
    if (a.null)
        return a;
    Value r = a;
    r.i = a.type.id == TypeId::Bit ? !a.i : a.type.id == TypeId::TinyInt ? (~a.i & 0xff) : ~a.i;
    return r;
}

std::optional<int> compareValues(const Value& a, const Value& b) {
    SqlType t = dominantType(a.type, b.type);
    if (t.id == TypeId::XmlNode || t.id == TypeId::Xml)
        raise(305, 16,
              QStringLiteral(
                  "The XML data type cannot be compared or sorted, except when using the IS NULL operator."));
    Value x = convert(a, t), y = convert(b, t);
    if (x.null || y.null)
        return std::nullopt;
    auto sign = [](auto d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); };
    if (t.isString())
        return sign(compareStringsCI(x.s, y.s));
    if (t.isInteger() || t.id == TypeId::Unknown)
        return x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
    if (t.id == TypeId::Float || t.id == TypeId::Real)
        return x.f < y.f ? -1 : (x.f > y.f ? 1 : 0);
    if (t.isDate())
        return x.dt < y.dt ? -1 : (x.dt > y.dt ? 1 : 0);
    if (t.id == TypeId::UniqueIdentifier)
        return sign(x.s.compare(y.s, Qt::CaseInsensitive));
    int s = std::max(x.n.scale, y.n.scale);
    auto p = x.n.rescaled(s), q = y.n.rescaled(s);
    if (!p || !q) {
        double d1 = x.n.toDouble(), d2 = y.n.toDouble();
        return d1 < d2 ? -1 : (d1 > d2 ? 1 : 0);
    }
    return p->v < q->v ? -1 : (p->v > q->v ? 1 : 0);
}

} // namespace tsql
