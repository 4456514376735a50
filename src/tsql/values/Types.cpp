#include "tsql/values/Value.h"

#include "tsql/base/Messages.h"

#include "tsql/values/ValueInternal.h"

#include <QStringList>

namespace tsql {

using detail::decimalOf;

void invalidOperand(const SqlType& t, const QString& what, int line, int column) {
    raiseAt<Msg::InvalidOperand>(line, column, t.name(), what);
}

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
    case TypeId::Time:
        return QStringLiteral("time");
    case TypeId::Date:
        return QStringLiteral("date");
    case TypeId::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case TypeId::DateTime:
        return QStringLiteral("datetime");
    case TypeId::DateTime2:
        return QStringLiteral("datetime2");
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
    if (u == u"DATETIME")
        return simple(TypeId::DateTime);
    if (u == u"DATETIME2") {
        if (args > 1 || max)
            return std::nullopt;
        return SqlType::of(TypeId::DateTime2);
    }
    if (u == u"TIME") {
        if (args > 1 || max)
            return std::nullopt;
        return SqlType::time(args == 1 ? a1 : 7);
    }
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

namespace detail {

SqlType decimalOf(const SqlType& t) {
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

QString messageTypeName(const SqlType& t) {
    if (t.id == TypeId::Decimal)
        return QStringLiteral("numeric");
    if (t.id == TypeId::Unknown)
        return QStringLiteral("int");
    return t.name();
}

} // namespace detail

// The implicit conversions of the server's conversion table ("Data type conversion (Database
// Engine)"): between any two of the character, number and date types, except date and numbers;
// xml and uniqueidentifier only to and from texts. NULL of unknown type converts to anything.
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
    // time converts to and from texts and the date types that hold a time of day
    if (from == TypeId::Time || to == TypeId::Time) {
        const SqlType other = SqlType::of(from == TypeId::Time ? to : from);
        return other.isString() || (other.isDate() && other.id != TypeId::Date);
    }
    bool fromNum = from >= TypeId::Bit && from <= TypeId::Float;
    bool toNum = to >= TypeId::Bit && to <= TypeId::Float;
    if ((SqlType::of(from).isNumberlessDate() && toNum) || (SqlType::of(to).isNumberlessDate() && fromNum))
        return false;
    return true;
}

// CAST and CONVERT allow more than implicit conversion does (xml to and from text, for instance),
// but never xml and numbers, nor date or datetime2 and numbers.
bool explicitAllowed(TypeId from, TypeId to) {
    if (implicitAllowed(from, to))
        return true;
    if (from == TypeId::Time || to == TypeId::Time)
        return false;
    const SqlType f = SqlType::of(from), t = SqlType::of(to);
    return from != TypeId::XmlNode && to != TypeId::XmlNode && !(from == TypeId::Xml && t.isNumeric()) &&
           !(to == TypeId::Xml && f.isNumeric()) && !t.isNumberlessDate() && !f.isNumberlessDate();
}

// "Data type precedence (Transact-SQL)": the TypeId order, from the character types up to
// datetime. Two texts give the wider one (nvarchar over varchar); decimal against an integer or
// money gives a decimal wide enough for both, and a text against a decimal is read as
// decimal(38,10).
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
    if (a.id == TypeId::Time && b.id == TypeId::Time)
        return SqlType::time(std::max(a.scale, b.scale));
    return a.id >= b.id ? a : b;
}

} // namespace tsql
