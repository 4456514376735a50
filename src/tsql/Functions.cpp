#include "tsql/Functions.h"

#include "tsql/Limits.h"

#include <QHash>
#include <QUuid>

#include <cmath>

namespace tsql {

const FunctionInfo* findFunction(const QString& name) {
    static const QHash<QString, FunctionInfo> table = {
        {QStringLiteral("ISNULL"), {2, 2, false}},
        {QStringLiteral("COALESCE"), {2, 254, false}},
        {QStringLiteral("NULLIF"), {2, 2, false}},
        {QStringLiteral("ROUND"), {2, 3, false}},
        {QStringLiteral("FLOOR"), {1, 1, false}},
        {QStringLiteral("CEILING"), {1, 1, false}},
        {QStringLiteral("ABS"), {1, 1, false}},
        {QStringLiteral("SIGN"), {1, 1, false}},
        {QStringLiteral("POWER"), {2, 2, false}},
        {QStringLiteral("SQRT"), {1, 1, false}},
        {QStringLiteral("SQUARE"), {1, 1, false}},
        {QStringLiteral("EXP"), {1, 1, false}},
        {QStringLiteral("LOG"), {1, 2, false}},
        {QStringLiteral("LOG10"), {1, 1, false}},
        {QStringLiteral("PI"), {0, 0, false}},
        {QStringLiteral("RAND"), {0, 1, false}},
        {QStringLiteral("LEN"), {1, 1, false}},
        {QStringLiteral("DATALENGTH"), {1, 1, false}},
        {QStringLiteral("LEFT"), {2, 2, false}},
        {QStringLiteral("RIGHT"), {2, 2, false}},
        {QStringLiteral("SUBSTRING"), {3, 3, false}},
        {QStringLiteral("LTRIM"), {1, 1, false}},
        {QStringLiteral("RTRIM"), {1, 1, false}},
        {QStringLiteral("TRIM"), {1, 1, false}},
        {QStringLiteral("UPPER"), {1, 1, false}},
        {QStringLiteral("LOWER"), {1, 1, false}},
        {QStringLiteral("REPLACE"), {3, 3, false}},
        {QStringLiteral("CHARINDEX"), {2, 3, false}},
        {QStringLiteral("REVERSE"), {1, 1, false}},
        {QStringLiteral("REPLICATE"), {2, 2, false}},
        {QStringLiteral("SPACE"), {1, 1, false}},
        {QStringLiteral("STR"), {1, 3, false}},
        {QStringLiteral("STUFF"), {4, 4, false}},
        {QStringLiteral("CONCAT"), {2, 254, false}},
        {QStringLiteral("ASCII"), {1, 1, false}},
        {QStringLiteral("CHAR"), {1, 1, false}},
        {QStringLiteral("NCHAR"), {1, 1, false}},
        {QStringLiteral("UNICODE"), {1, 1, false}},
        {QStringLiteral("ISNUMERIC"), {1, 1, false}},
        {QStringLiteral("GETDATE"), {0, 0, false}},
        {QStringLiteral("SYSDATETIME"), {0, 0, false}},
        {QStringLiteral("GETUTCDATE"), {0, 0, false}},
        {QStringLiteral("DATEADD"), {3, 3, false}},
        {QStringLiteral("DATEDIFF"), {3, 3, false}},
        {QStringLiteral("DATEPART"), {2, 2, false}},
        {QStringLiteral("DATENAME"), {2, 2, false}},
        {QStringLiteral("YEAR"), {1, 1, false}},
        {QStringLiteral("MONTH"), {1, 1, false}},
        {QStringLiteral("DAY"), {1, 1, false}},
        {QStringLiteral("EOMONTH"), {1, 2, false}},
        {QStringLiteral("DATEFROMPARTS"), {3, 3, false}},
        {QStringLiteral("IIF"), {3, 3, false}},
        {QStringLiteral("CHOOSE"), {2, 254, false}},
        {QStringLiteral("NEWID"), {0, 0, false}},
        {QStringLiteral("ERROR_NUMBER"), {0, 0, false}},
        {QStringLiteral("ERROR_MESSAGE"), {0, 0, false}},
        {QStringLiteral("ERROR_LINE"), {0, 0, false}},
        {QStringLiteral("ERROR_SEVERITY"), {0, 0, false}},
        {QStringLiteral("ERROR_STATE"), {0, 0, false}},
        {QStringLiteral("MAX"), {1, 1, true}},
        {QStringLiteral("MIN"), {1, 1, true}},
        {QStringLiteral("SUM"), {1, 1, true}},
        {QStringLiteral("AVG"), {1, 1, true}},
        {QStringLiteral("COUNT"), {1, 1, true}},
        {QStringLiteral("COUNT_BIG"), {1, 1, true}},
    };
    auto it = table.constFind(name);
    return it == table.constEnd() ? nullptr : &it.value();
}

static SqlType stringResult(const SqlType& in, int length) {
    SqlType t;
    t.id = in.isUnicode() ? TypeId::NVarChar : TypeId::VarChar;
    t.length = length;
    return t;
}

static SqlType intLike(const SqlType& t) {
    if (t.id == TypeId::Bit || t.id == TypeId::TinyInt || t.id == TypeId::SmallInt || t.id == TypeId::Unknown)
        return SqlType::of(TypeId::Int);
    if (t.isString())
        return SqlType::of(TypeId::Float);
    return t;
}

SqlType functionType(const QString& name, const std::vector<SqlType>& a, int line, int column) {
    const FunctionInfo* f = findFunction(name);
    int n = int(a.size());
    if (n < f->minArgs || n > f->maxArgs) {
        QString msg = f->minArgs == f->maxArgs
                          ? QStringLiteral("The %1 function requires %2 argument(s).")
                                .arg(name.toLower())
                                .arg(f->minArgs)
                          : QStringLiteral("The %1 function requires %2 to %3 arguments.")
                                .arg(name.toLower())
                                .arg(f->minArgs)
                                .arg(f->maxArgs);
        throw SqlError{ServerError{174, 15, 1, line, column, msg}};
    }
    auto dominantOf = [&](int from) {
        SqlType t;
        for (int k = from; k < n; ++k)
            t = dominantType(t, a[size_t(k)]);
        return t;
    };
    if (name == u"ISNULL")
        return a[0].id == TypeId::Unknown ? a[1] : a[0];
    if (name == u"COALESCE")
        return dominantOf(0);
    if (name == u"IIF")
        return dominantOf(1);
    if (name == u"CHOOSE")
        return dominantOf(1);
    if (name == u"NULLIF")
        return a[0];
    if (name == u"ROUND" || name == u"ABS" || name == u"SIGN")
        return intLike(a[0]);
    if (name == u"FLOOR" || name == u"CEILING") {
        SqlType t = intLike(a[0]);
        if (t.id == TypeId::Decimal)
            t.scale = 0;
        return t;
    }
    if (name == u"POWER") {
        SqlType t = intLike(a[0]);
        if (t.id == TypeId::Decimal)
            t = SqlType::decimal(38, t.scale);
        return t;
    }
    if (name == u"SQRT" || name == u"SQUARE" || name == u"EXP" || name == u"LOG" || name == u"LOG10" ||
        name == u"PI" || name == u"RAND")
        return SqlType::of(TypeId::Float);
    if (name == u"LEN" || name == u"CHARINDEX" || name == u"DATEDIFF" || name == u"DATEPART" ||
        name == u"YEAR" || name == u"MONTH" || name == u"DAY" || name == u"DATALENGTH" ||
        name == u"ISNUMERIC" || name == u"ASCII" || name == u"UNICODE" || name == u"COUNT")
        return SqlType::of(TypeId::Int);
    if (name == u"ERROR_NUMBER" || name == u"ERROR_LINE" || name == u"ERROR_SEVERITY" ||
        name == u"ERROR_STATE")
        return SqlType::of(TypeId::Int);
    if (name == u"ERROR_MESSAGE")
        return SqlType{TypeId::NVarChar, 0, 0, 4000, false};
    if (name == u"COUNT_BIG")
        return SqlType::of(TypeId::BigInt);
    if (name == u"LEFT" || name == u"RIGHT" || name == u"SUBSTRING" || name == u"LTRIM" || name == u"RTRIM" ||
        name == u"TRIM" || name == u"UPPER" || name == u"LOWER" || name == u"REVERSE" || name == u"STUFF")
        return stringResult(a[0], a[0].isString() ? a[0].length : 30);
    if (name == u"REPLACE" || name == u"REPLICATE") {
        // The type of the input: a (max) type stays one, any other is 8,000 bytes long.
        const bool large =
            a[0].isString() && (a[0].length < 0 || a[0].length > (a[0].isUnicode() ? 4000 : 8000));
        return stringResult(a[0], large ? -1 : (a[0].isUnicode() ? 4000 : 8000));
    }
    if (name == u"CONCAT")
        return stringResult(dominantOf(0), -1);
    if (name == u"SPACE")
        return SqlType::varchar(-1);
    if (name == u"STR")
        return SqlType::varchar(10);
    if (name == u"DATENAME")
        return SqlType{TypeId::NVarChar, 0, 0, 30, false};
    if (name == u"CHAR")
        return SqlType{TypeId::Char, 0, 0, 1, false};
    if (name == u"NCHAR")
        return SqlType{TypeId::NChar, 0, 0, 1, false};
    if (name == u"GETDATE" || name == u"SYSDATETIME" || name == u"GETUTCDATE")
        return SqlType::of(TypeId::DateTime);
    if (name == u"DATEADD")
        return a[2].isDate() ? a[2] : SqlType::of(TypeId::DateTime);
    if (name == u"EOMONTH" || name == u"DATEFROMPARTS")
        return SqlType::of(TypeId::Date);
    if (name == u"NEWID")
        return SqlType::of(TypeId::UniqueIdentifier);
    if (name == u"MAX" || name == u"MIN")
        return a[0];
    if (name == u"SUM" || name == u"AVG") {
        SqlType t = intLike(a[0]);
        if (t.id == TypeId::Decimal)
            t = SqlType::decimal(38, name == u"AVG" ? std::max(t.scale, 6) : t.scale);
        if (t.id == TypeId::SmallMoney)
            t = SqlType::of(TypeId::Money);
        if (a[0].isString() || a[0].isDate() || a[0].id == TypeId::Xml)
            raise(8117, 16,
                  QStringLiteral("Operand data type %1 is invalid for %2 operator.")
                      .arg(a[0].name(), name.toLower()),
                  line, column);
        return t;
    }
    return SqlType::of(TypeId::Unknown);
}

QString datepartName(const QString& w, const QString& function) {
    static const QHash<QString, QString> parts = {{"YEAR", "YEAR"},       {"YY", "YEAR"},
                                                  {"YYYY", "YEAR"},       {"QUARTER", "QUARTER"},
                                                  {"QQ", "QUARTER"},      {"Q", "QUARTER"},
                                                  {"MONTH", "MONTH"},     {"MM", "MONTH"},
                                                  {"M", "MONTH"},         {"DAYOFYEAR", "DAYOFYEAR"},
                                                  {"DY", "DAYOFYEAR"},    {"Y", "DAYOFYEAR"},
                                                  {"DAY", "DAY"},         {"DD", "DAY"},
                                                  {"D", "DAY"},           {"WEEK", "WEEK"},
                                                  {"WK", "WEEK"},         {"WW", "WEEK"},
                                                  {"WEEKDAY", "WEEKDAY"}, {"DW", "WEEKDAY"},
                                                  {"W", "WEEKDAY"},       {"HOUR", "HOUR"},
                                                  {"HH", "HOUR"},         {"MINUTE", "MINUTE"},
                                                  {"MI", "MINUTE"},       {"N", "MINUTE"},
                                                  {"SECOND", "SECOND"},   {"SS", "SECOND"},
                                                  {"S", "SECOND"},        {"MILLISECOND", "MILLISECOND"},
                                                  {"MS", "MILLISECOND"}};
    auto it = parts.constFind(w.toUpper());
    if (it == parts.constEnd())
        raise(155, 15, QStringLiteral("'%1' is not a recognized %2 option.").arg(w, function.toLower()));
    return it.value();
}

bool likeMatch(const QString& value, const QString& pattern, QChar esc) {
    // Iterative matcher with backtracking on '%'.
    const int n = int(value.size()), m = int(pattern.size());
    auto charEq = [](QChar a, QChar b) { return a.toCaseFolded() == b.toCaseFolded(); };
    // Returns the length of the pattern element at j and whether it matches character c.
    auto element = [&](int j, QChar c, bool& matches) -> int {
        QChar pc = pattern[j];
        if (!esc.isNull() && pc == esc && j + 1 < m) {
            matches = charEq(c, pattern[j + 1]);
            return 2;
        }
        if (pc == u'_') {
            matches = true;
            return 1;
        }
        if (pc == u'[') {
            int k = j + 1;
            bool negate = false;
            if (k < m && pattern[k] == u'^') {
                negate = true;
                ++k;
            }
            int start = k;
            bool found = false;
            while (k < m && (pattern[k] != u']' || k == start)) {
                if (k + 2 < m && pattern[k + 1] == u'-' && pattern[k + 2] != u']') {
                    QChar lo = pattern[k].toCaseFolded(), hi = pattern[k + 2].toCaseFolded(),
                          cc = c.toCaseFolded();
                    found = found || (cc >= lo && cc <= hi);
                    k += 3;
                } else {
                    found = found || charEq(c, pattern[k]);
                    ++k;
                }
            }
            if (k >= m) { // no closing bracket: a literal '['
                matches = c == u'[';
                return 1;
            }
            matches = negate ? !found : found;
            return k - j + 1;
        }
        matches = charEq(c, pc);
        return 1;
    };
    int i = 0, j = 0, starJ = -1, starI = 0;
    // Backtracking makes a match of a long value against a long pattern slow: the batch's clock
    // is looked at on the way.
    BatchBudget* budget = currentBudget();
    while (i < n) {
        if (budget)
            budget->tick();
        if (j < m && pattern[j] == u'%' && !(j > 0 && !esc.isNull() && pattern[j - 1] == esc)) {
            starJ = ++j;
            starI = i;
            continue;
        }
        if (j < m) {
            bool ok = false;
            int len = element(j, value[i], ok);
            if (ok) {
                j += len;
                ++i;
                continue;
            }
        }
        if (starJ >= 0) {
            j = starJ;
            i = ++starI;
            continue;
        }
        return false;
    }
    while (j < m && pattern[j] == u'%')
        ++j;
    return j == m;
}

// True for a value of a (max) type, or one longer than any other type holds: SQL Server's
// string functions keep such values whole, and cut any other result at 8,000 bytes.
static bool isLargeValue(const Value& v) {
    return v.type.isString() && (v.type.length < 0 || v.type.length > (v.type.isUnicode() ? 4000 : 8000));
}

// Characters in 8,000 bytes of the type.
static qint64 nonMaxLength(const SqlType& t) {
    return t.isUnicode() ? 4000 : 8000;
}

// Every occurrence of `find` (any case) replaced by `with`; at most `cap` characters of the
// result are built when cap >= 0. The size is known before anything is built.
static QString replaceAll(const QString& s, const QString& find, const QString& with, qint64 cap,
                          const SqlType& type) {
    std::vector<qsizetype> at;
    for (qsizetype k = s.indexOf(find, 0, Qt::CaseInsensitive); k >= 0;
         k = s.indexOf(find, k + find.size(), Qt::CaseInsensitive))
        at.push_back(k);
    qint64 length = qint64(s.size()) + qint64(at.size()) * (qint64(with.size()) - qint64(find.size()));
    if (cap >= 0)
        length = std::min(length, cap);
    else
        checkStringSize(length, type);
    QString out;
    out.reserve(qsizetype(length));
    qsizetype from = 0;
    for (qsizetype k : at) {
        if (out.size() >= length)
            break;
        out += QStringView(s).mid(from, k - from);
        out += with;
        from = k + find.size();
    }
    if (out.size() < length)
        out += QStringView(s).mid(from);
    out.truncate(qsizetype(length));
    return out;
}

static QString asText(const Value& v) {
    if (v.type.isString())
        return v.s;
    return toText(v);
}

static qint64 asInt(const Value& v) {
    return convert(v, SqlType::of(TypeId::BigInt)).i;
}

static QString rtrimBlanks(const QString& s) {
    qsizetype k = s.size();
    while (k > 0 && s[k - 1] == u' ')
        --k;
    return s.left(k);
}

static int ciIndexOf(const QString& hay, const QString& needle, int from) {
    return int(hay.indexOf(needle, from, Qt::CaseInsensitive));
}

static QDateTime asDate(const Value& v) {
    return convert(v, SqlType::of(TypeId::DateTime)).dt;
}

static qint64 datePart(const QString& part, const QDateTime& d) {
    QDate dd = d.date();
    QTime t = d.time();
    if (part == u"YEAR")
        return dd.year();
    if (part == u"QUARTER")
        return (dd.month() - 1) / 3 + 1;
    if (part == u"MONTH")
        return dd.month();
    if (part == u"DAYOFYEAR")
        return dd.dayOfYear();
    if (part == u"DAY")
        return dd.day();
    if (part == u"WEEK") {
        QDate jan1(dd.year(), 1, 1);
        int offset = jan1.dayOfWeek() % 7; // Sunday first
        return (dd.dayOfYear() + offset - 1) / 7 + 1;
    }
    if (part == u"WEEKDAY")
        return dd.dayOfWeek() % 7 + 1;
    if (part == u"HOUR")
        return t.hour();
    if (part == u"MINUTE")
        return t.minute();
    if (part == u"SECOND")
        return t.second();
    return t.msec();
}

Value callFunction(const QString& name, const std::vector<Value>& a, const SqlType& rt) {
    auto anyNull = [&](int count) {
        for (int k = 0; k < count && k < int(a.size()); ++k)
            if (a[size_t(k)].null)
                return true;
        return false;
    };
    auto strOut = [&](const QString& s) {
        Value r;
        r.type = rt.isString() ? rt : SqlType::varchar(-1);
        r.null = false;
        r.s = s;
        return r;
    };
    if (name == u"ISNULL")
        return convert(a[0].null ? a[1] : a[0], rt);
    if (name == u"COALESCE") {
        for (const Value& v : a)
            if (!v.null)
                return convert(v, rt);
        return Value::nullOf(rt);
    }
    if (name == u"NULLIF") {
        auto c = compareValues(a[0], a[1]);
        if (c && *c == 0)
            return Value::nullOf(rt);
        return convert(a[0], rt);
    }
    if (name == u"CONCAT") {
        QStringList parts;
        qint64 length = 0;
        for (const Value& v : a) {
            if (!v.null) {
                parts << asText(v);
                length += parts.last().size();
            }
        }
        checkStringSize(length, rt);
        return strOut(parts.join(QString()));
    }
    if (name == u"GETDATE" || name == u"SYSDATETIME") {
        QDateTime now = QDateTime::currentDateTime();
        return Value::datetime(QDateTime(now.date(), now.time(), Qt::UTC));
    }
    if (name == u"GETUTCDATE")
        return Value::datetime(QDateTime::currentDateTimeUtc());
    if (name == u"NEWID") {
        Value r = strOut(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        r.type = SqlType::of(TypeId::UniqueIdentifier);
        return r;
    }
    if (name == u"PI")
        return Value::flt(M_PI);
    if (name == u"RAND")
        return Value::flt(double(std::rand()) / RAND_MAX);
    if (name == u"DATEADD") {
        QString part = datepartName(a[0].s, name);
        if (anyNull(3))
            return Value::nullOf(rt);
        qint64 n = asInt(a[1]);
        QDateTime d = asDate(a[2]);
        if (n > 100000000 || n < -100000000)
            raise(517, 16,
                  QStringLiteral("Adding a value to a '%1' column caused an overflow.").arg(rt.name()));
        QDateTime r;
        if (part == u"YEAR")
            r = d.addYears(int(n));
        else if (part == u"QUARTER")
            r = d.addMonths(int(n * 3));
        else if (part == u"MONTH")
            r = d.addMonths(int(n));
        else if (part == u"DAY" || part == u"DAYOFYEAR" || part == u"WEEKDAY")
            r = d.addDays(n);
        else if (part == u"WEEK")
            r = d.addDays(n * 7);
        else if (part == u"HOUR")
            r = d.addSecs(n * 3600);
        else if (part == u"MINUTE")
            r = d.addSecs(n * 60);
        else if (part == u"SECOND")
            r = d.addSecs(n);
        else
            r = d.addMSecs(n);
        if (!r.isValid() || r.date().year() < 1753 || r.date().year() > 9999)
            raise(517, 16,
                  QStringLiteral("Adding a value to a '%1' column caused an overflow.").arg(rt.name()));
        Value out = Value::datetime(r, rt.isDate() ? rt.id : TypeId::DateTime);
        return out;
    }
    if (name == u"DATEDIFF") {
        QString part = datepartName(a[0].s, name);
        if (a[1].null || a[2].null)
            return Value::nullOf(rt);
        QDateTime x = asDate(a[1]), y = asDate(a[2]);
        qint64 r = 0;
        if (part == u"YEAR")
            r = y.date().year() - x.date().year();
        else if (part == u"QUARTER")
            r = (y.date().year() * 4 + (y.date().month() - 1) / 3) -
                (x.date().year() * 4 + (x.date().month() - 1) / 3);
        else if (part == u"MONTH")
            r = (y.date().year() * 12 + y.date().month()) - (x.date().year() * 12 + x.date().month());
        else if (part == u"DAY" || part == u"DAYOFYEAR" || part == u"WEEKDAY")
            r = x.date().daysTo(y.date());
        else if (part == u"WEEK")
            r = (x.date().addDays(-(x.date().dayOfWeek() % 7)))
                    .daysTo(y.date().addDays(-(y.date().dayOfWeek() % 7))) /
                7;
        else if (part == u"HOUR")
            r = x.secsTo(y) / 3600;
        else if (part == u"MINUTE")
            r = x.secsTo(y) / 60;
        else if (part == u"SECOND")
            r = x.secsTo(y);
        else
            r = x.msecsTo(y);
        if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
            raise(535, 16,
                  QStringLiteral("The datediff function resulted in an overflow. The number of dateparts "
                                 "separating two date/time instances is too large. Try to use datediff "
                                 "with a less precise datepart."));
        return Value::integer(r);
    }
    if (name == u"DATEPART" || name == u"DATENAME") {
        QString part = datepartName(a[0].s, name);
        if (a[1].null)
            return Value::nullOf(rt);
        qint64 v = datePart(part, asDate(a[1]));
        if (name == u"DATENAME") {
            QDateTime d = asDate(a[1]);
            if (part == u"MONTH")
                return strOut(QLocale::c().monthName(d.date().month()));
            if (part == u"WEEKDAY")
                return strOut(QLocale::c().dayName(d.date().dayOfWeek()));
            return strOut(QString::number(v));
        }
        return Value::integer(v);
    }
    if (anyNull(int(a.size())) && name != u"ROUND" && name != u"CHARINDEX" && name != u"STR")
        return Value::nullOf(rt);
    if (name == u"YEAR" || name == u"MONTH" || name == u"DAY")
        return Value::integer(datePart(name, asDate(a[0])));
    if (name == u"EOMONTH") {
        QDate d = asDate(a[0]).date();
        if (a.size() > 1)
            d = d.addMonths(int(asInt(a[1])));
        d = QDate(d.year(), d.month(), d.daysInMonth());
        return Value::datetime(QDateTime(d, QTime(0, 0), Qt::UTC), TypeId::Date);
    }
    if (name == u"DATEFROMPARTS") {
        QDate d(int(asInt(a[0])), int(asInt(a[1])), int(asInt(a[2])));
        if (!d.isValid())
            raise(289, 16,
                  QStringLiteral("Cannot construct data type date, some of the arguments have values which "
                                 "are not valid."));
        return Value::datetime(QDateTime(d, QTime(0, 0), Qt::UTC), TypeId::Date);
    }
    if (name == u"ROUND" || name == u"FLOOR" || name == u"CEILING" || name == u"ABS" || name == u"SIGN" ||
        name == u"POWER") {
        if (anyNull(name == u"ROUND" ? 2 : int(a.size())))
            return Value::nullOf(rt);
        Value x =
            convert(a[0], rt.id == TypeId::Decimal ? (a[0].type.id == TypeId::Decimal ? a[0].type : rt) : rt);
        if (rt.id == TypeId::Float || rt.id == TypeId::Real) {
            double d = x.f, r = d;
            if (name == u"ROUND") {
                double p = std::pow(10.0, double(asInt(a[1])));
                bool truncate = a.size() > 2 && !a[2].null && asInt(a[2]) != 0;
                r = truncate ? std::trunc(d * p) / p : std::round(d * p) / p;
            } else if (name == u"FLOOR")
                r = std::floor(d);
            else if (name == u"CEILING")
                r = std::ceil(d);
            else if (name == u"ABS")
                r = std::fabs(d);
            else if (name == u"SIGN")
                r = d > 0 ? 1 : (d < 0 ? -1 : 0);
            else {
                r = std::pow(d, convert(a[1], SqlType::of(TypeId::Float)).f);
                if (!std::isfinite(r))
                    raise(232, 16,
                          QStringLiteral("Arithmetic overflow error for type float, value = %1.").arg(r));
            }
            Value out = Value::flt(r);
            out.type = rt;
            return out;
        }
        if (rt.isInteger()) {
            qint64 v = x.i, r = v;
            if (name == u"ROUND") {
                qint64 digits = asInt(a[1]);
                bool truncate = a.size() > 2 && !a[2].null && asInt(a[2]) != 0;
                if (digits < 0) {
                    qint64 p = 1;
                    for (qint64 k = 0; k < -digits && p < 1000000000000000000LL; ++k)
                        p *= 10;
                    qint64 q = v / p, rem = v % p;
                    if (!truncate && std::llabs(rem) * 2 >= p)
                        q += v < 0 ? -1 : 1;
                    r = q * p;
                }
            } else if (name == u"ABS") {
                if (v == std::numeric_limits<qint64>::min())
                    raise(8115, 16,
                          QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
                              .arg(rt.name()));
                r = std::llabs(v);
            } else if (name == u"SIGN")
                r = v > 0 ? 1 : (v < 0 ? -1 : 0);
            else if (name == u"POWER") {
                double d = std::pow(double(v), convert(a[1], SqlType::of(TypeId::Float)).f);
                bool fits = rt.id == TypeId::Int ? (d >= -2147483648.0 && d <= 2147483647.0)
                                                 : (d >= -9.2233720368547758e18 && d < 9.2233720368547758e18);
                if (!fits)
                    raise(232, 16,
                          QStringLiteral("Arithmetic overflow error for type int, value = %1.")
                              .arg(d, 0, 'f', 6));
                r = qint64(d);
            }
            return convert(Value::integer(r, TypeId::BigInt), rt);
        }
        // decimal and money
        Numeric n = x.n;
        int s = n.scale;
        Numeric r = n;
        if (name == u"ROUND") {
            qint64 digits = asInt(a[1]);
            bool truncate = a.size() > 2 && !a[2].null && asInt(a[2]) != 0;
            if (digits < s) {
                int drop = int(std::min<qint64>(s - digits, 38));
                __int128 p = 1;
                for (int k = 0; k < drop; ++k)
                    p *= 10;
                __int128 q = n.v / p, rem = n.v % p;
                if (!truncate && (rem < 0 ? -rem : rem) * 2 >= p)
                    q += n.v < 0 ? -1 : 1;
                r.v = q * p;
                bool over = (r.v < 0 ? -r.v : r.v) >= [] {
                    __int128 m = 1;
                    for (int k = 0; k < 38; ++k)
                        m *= 10;
                    return m;
                }();
                Numeric probe = r;
                int allowed = rt.id == TypeId::Decimal ? x.type.precision : 19;
                if (over || probe.digits() > allowed)
                    raise(8115, 16,
                          QStringLiteral(
                              "Arithmetic overflow error converting expression to data type numeric."));
            }
        } else if (name == u"FLOOR" || name == u"CEILING") {
            __int128 p = 1;
            for (int k = 0; k < s; ++k)
                p *= 10;
            __int128 q = n.v / p;
            if (name == u"FLOOR" && n.v < 0 && n.v % p != 0)
                --q;
            if (name == u"CEILING" && n.v > 0 && n.v % p != 0)
                ++q;
            r = Numeric{q, 0};
        } else if (name == u"ABS") {
            r.v = n.v < 0 ? -n.v : n.v;
        } else if (name == u"SIGN") {
            r.v = (n.v > 0 ? 1 : (n.v < 0 ? -1 : 0));
            for (int k = 0; k < s; ++k)
                r.v *= 10;
        } else {
            double d = std::pow(n.toDouble(), convert(a[1], SqlType::of(TypeId::Float)).f);
            auto nd = Numeric::fromDouble(d, rt.scale);
            if (!nd)
                raise(8115, 16,
                      QStringLiteral("Arithmetic overflow error converting float to data type numeric."));
            r = *nd;
        }
        Value out;
        out.type = rt;
        out.null = false;
        auto fitted = r.rescaled(rt.id == TypeId::Decimal ? rt.scale : 4);
        if (!fitted)
            raise(8115, 16,
                  QStringLiteral("Arithmetic overflow error converting expression to data type numeric."));
        out.n = *fitted;
        return out;
    }
    if (name == u"SQRT" || name == u"SQUARE" || name == u"EXP" || name == u"LOG" || name == u"LOG10") {
        double d = convert(a[0], SqlType::of(TypeId::Float)).f, r = 0;
        bool domain = false;
        if (name == u"SQRT") {
            domain = d < 0;
            r = std::sqrt(d);
        } else if (name == u"SQUARE")
            r = d * d;
        else if (name == u"EXP")
            r = std::exp(d);
        else if (name == u"LOG") {
            domain = d <= 0;
            r = std::log(d);
            if (a.size() > 1)
                r /= std::log(convert(a[1], SqlType::of(TypeId::Float)).f);
        } else {
            domain = d <= 0;
            r = std::log10(d);
        }
        if (domain)
            raise(3623, 16, QStringLiteral("An invalid floating point operation occurred."));
        return Value::flt(r);
    }
    if (name == u"LEN")
        return Value::integer(rtrimBlanks(asText(a[0])).size());
    if (name == u"DATALENGTH") {
        if (a[0].type.isString())
            return Value::integer(a[0].s.size() * (a[0].type.isUnicode() ? 2 : 1));
        if (a[0].type.isInteger())
            return Value::integer(a[0].type.id == TypeId::BigInt ? 8 : a[0].type.id == TypeId::Int ? 4 : 2);
        return Value::integer(asText(a[0]).size());
    }
    if (name == u"LEFT" || name == u"RIGHT") {
        qint64 n = asInt(a[1]);
        if (n < 0)
            raise(536, 16,
                  QStringLiteral("Invalid length parameter passed to the %1 function.").arg(name.toLower()));
        QString s = asText(a[0]);
        return strOut(name == u"LEFT" ? s.left(n) : s.right(n));
    }
    if (name == u"SUBSTRING") {
        QString s = asText(a[0]);
        qint64 start = asInt(a[1]), len = asInt(a[2]);
        if (len < 0)
            raise(537, 16,
                  QStringLiteral("Invalid length parameter passed to the LEFT or SUBSTRING function."));
        qint64 from = std::max<qint64>(start, 1);
        qint64 to = start + len; // exclusive
        if (to <= from || from > s.size())
            return strOut(QString());
        return strOut(s.mid(from - 1, std::min<qint64>(to, s.size() + 1) - from));
    }
    if (name == u"LTRIM") {
        QString s = asText(a[0]);
        int k = 0;
        while (k < s.size() && s[k] == u' ')
            ++k;
        return strOut(s.mid(k));
    }
    if (name == u"RTRIM")
        return strOut(rtrimBlanks(asText(a[0])));
    if (name == u"TRIM") {
        QString s = rtrimBlanks(asText(a[0]));
        int k = 0;
        while (k < s.size() && s[k] == u' ')
            ++k;
        return strOut(s.mid(k));
    }
    if (name == u"UPPER")
        return strOut(asText(a[0]).toUpper());
    if (name == u"LOWER")
        return strOut(asText(a[0]).toLower());
    if (name == u"REVERSE") {
        QString s = asText(a[0]);
        std::reverse(s.begin(), s.end());
        return strOut(s);
    }
    if (name == u"REPLACE") {
        QString s = asText(a[0]), find = asText(a[1]), with = asText(a[2]);
        if (find.isEmpty())
            return strOut(s);
        return strOut(replaceAll(s, find, with, isLargeValue(a[0]) ? -1 : nonMaxLength(a[0].type), rt));
    }
    if (name == u"CHARINDEX") {
        if (a[0].null || a[1].null)
            return Value::nullOf(rt);
        QString needle = asText(a[0]), hay = asText(a[1]);
        qint64 start = a.size() > 2 && !a[2].null ? std::max<qint64>(asInt(a[2]), 1) : 1;
        if (needle.isEmpty())
            return Value::integer(0);
        int k = ciIndexOf(hay, needle, int(std::min<qint64>(start - 1, hay.size())));
        return Value::integer(k < 0 ? 0 : k + 1);
    }
    if (name == u"REPLICATE") {
        qint64 n = asInt(a[1]);
        if (n < 0)
            return Value::nullOf(rt);
        QString s = asText(a[0]);
        if (s.isEmpty())
            return strOut(s);
        if (isLargeValue(a[0])) {
            // A (max) value is repeated in full, up to the 2 GB of the type.
            const qint64 most = std::numeric_limits<qint64>::max() / s.size();
            checkStringSize(n > most ? std::numeric_limits<qint64>::max() : n * s.size(), rt);
            return strOut(s.repeated(n));
        }
        // Any other value: the result is cut at 8,000 bytes.
        const qint64 cap = nonMaxLength(a[0].type);
        n = std::min<qint64>(n, cap);
        if (s.size() * n > cap)
            n = cap / s.size();
        return strOut(s.repeated(n));
    }
    if (name == u"SPACE") {
        qint64 n = asInt(a[0]);
        if (n < 0)
            return Value::nullOf(rt);
        return strOut(QString(int(std::min<qint64>(n, 8000)), u' '));
    }
    if (name == u"STUFF") {
        QString s = asText(a[0]);
        qint64 start = asInt(a[1]), len = asInt(a[2]);
        if (start < 1 || start > s.size() || len < 0)
            return Value::nullOf(rt);
        const QString insert = asText(a[3]);
        checkStringSize(qint64(s.size()) + insert.size(), rt);
        return strOut(s.left(start - 1) + insert + s.mid(start - 1 + len));
    }
    if (name == u"STR") {
        if (a[0].null)
            return Value::nullOf(rt);
        double d = convert(a[0], SqlType::of(TypeId::Float)).f;
        int len = a.size() > 1 ? int(std::clamp<qint64>(asInt(a[1]), 1, 8000)) : 10;
        int dec = a.size() > 2 ? int(std::clamp<qint64>(asInt(a[2]), 0, 16)) : 0;
        QString s = QString::number(d, 'f', std::clamp(dec, 0, 16));
        if (s.size() > len)
            s = QString(len, u'*');
        return strOut(s.rightJustified(len, u' '));
    }
    if (name == u"ASCII" || name == u"UNICODE") {
        QString s = asText(a[0]);
        if (s.isEmpty())
            return Value::nullOf(rt);
        return Value::integer(s[0].unicode());
    }
    if (name == u"CHAR" || name == u"NCHAR") {
        qint64 c = asInt(a[0]);
        if (c < 0 || c > (name == u"CHAR" ? 255 : 65535))
            return Value::nullOf(rt);
        Value r = strOut(QString(QChar(char16_t(c))));
        r.type = rt;
        return r;
    }
    if (name == u"ISNUMERIC") {
        if (!a[0].type.isString())
            return Value::integer(a[0].type.isNumeric() ? 1 : 0);
        bool ok = false;
        a[0].s.trimmed().toDouble(&ok);
        return Value::integer(ok ? 1 : 0);
    }
    raise(195, 15, QStringLiteral("'%1' is not a recognized built-in function name.").arg(name));
}

} // namespace tsql
