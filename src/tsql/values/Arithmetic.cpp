// The arithmetic, string and bitwise operators: the type of their result (data-type precedence
// and the precision and scale rules of decimal results) and their value.

#include "tsql/values/Value.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"
#include "tsql/values/ValueInternal.h"

#include <cmath>

namespace tsql {

using detail::decimalOf;
using detail::intMax;
using detail::intMin;
using detail::overflow;

namespace {

QString opName(ArithmeticOp op) {
    switch (op) {
    case ArithmeticOp::Add:
        return QStringLiteral("add");
    case ArithmeticOp::Subtract:
        return QStringLiteral("subtract");
    case ArithmeticOp::Multiply:
        return QStringLiteral("multiply");
    case ArithmeticOp::Divide:
        return QStringLiteral("divide");
    case ArithmeticOp::Modulo:
        return QStringLiteral("modulo");
    case ArithmeticOp::BitAnd:
        return QStringLiteral("'&'");
    case ArithmeticOp::BitOr:
        return QStringLiteral("'|'");
    case ArithmeticOp::BitXor:
        return QStringLiteral("'^'");
    }
    return {};
}

[[noreturn]] void incompatible(ArithmeticOp op, const SqlType& a, const SqlType& b) {
    raise<Msg::IncompatibleOperands>(a.name(), b.name(), opName(op));
}

// A result type whose precision would pass 38 keeps its integer digits and gives up scale, but
// keeps at least min(s, 6) decimals ("Precision, scale, and length (Transact-SQL)"): a
// product of two decimal(38,10) is decimal(38,6), not decimal(38,20).
SqlType capDecimal(int p, int s) {
    if (p <= 38)
        return SqlType::decimal(p, s);
    int integral = p - s;
    int minScale = std::min(s, 6);
    int ns = std::max(38 - integral, minScale);
    return SqlType::decimal(38, ns);
}

// The precision and scale of a decimal operation on decimal(p1,s1) and decimal(p2,s2), as the
// server computes them ("Precision, scale, and length (Transact-SQL)"):
//   + -  scale max(s1,s2), precision max(p1-s1, p2-s2) + scale + 1
//   *    scale s1+s2, precision p1+p2+1
//   /    scale max(6, s1+p2+1), precision p1-s1+s2 + scale
//   %    scale max(s1,s2), precision min(p1-s1, p2-s2) + scale
SqlType decimalResultType(ArithmeticOp op, const SqlType& x, const SqlType& y) {
    int p1 = x.precision, s1 = x.scale, p2 = y.precision, s2 = y.scale;
    if (op == ArithmeticOp::Add || op == ArithmeticOp::Subtract) {
        int s = std::max(s1, s2);
        return capDecimal(std::max(p1 - s1, p2 - s2) + s + 1, s);
    }
    if (op == ArithmeticOp::Multiply)
        return capDecimal(p1 + p2 + 1, s1 + s2);
    if (op == ArithmeticOp::Divide) {
        int s = std::max(6, s1 + p2 + 1);
        return capDecimal(p1 - s1 + s2 + s, s);
    }
    int s = std::max(s1, s2);
    return capDecimal(std::min(p1 - s1, p2 - s2) + s, s);
}

[[noreturn]] void divideByZero() {
    raise<Msg::DivideByZero>();
}

// Operand of an arithmetic operator converted to the category of the result type.
Value operandFor(const Value& v, const SqlType& result) {
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
                raise<Msg::ErrorConverting>(v.type.name(), u"numeric");
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

// An integer operator on the operands converted to int or bigint; the result must fit the type.
qint64 integerResult(ArithmeticOp op, qint64 p, qint64 q, const SqlType& t) {
    qint64 out = 0;
    bool of = false;
    if (op == ArithmeticOp::Add)
        of = __builtin_add_overflow(p, q, &out);
    else if (op == ArithmeticOp::Subtract)
        of = __builtin_sub_overflow(p, q, &out);
    else if (op == ArithmeticOp::Multiply)
        of = __builtin_mul_overflow(p, q, &out);
    else if (op == ArithmeticOp::Divide) {
        if (q == 0)
            divideByZero();
        if (p == std::numeric_limits<qint64>::min() && q == -1)
            of = true;
        else
            out = p / q;
    } else if (op == ArithmeticOp::Modulo) {
        if (q == 0)
            divideByZero();
        out = q == -1 ? 0 : p % q;
    } else if (op == ArithmeticOp::BitAnd)
        out = p & q;
    else if (op == ArithmeticOp::BitOr)
        out = p | q;
    else if (op == ArithmeticOp::BitXor)
        out = p ^ q;
    if (of || out < intMin(t.id) || out > intMax(t.id))
        overflow(SqlType::of(TypeId::Unknown), t);
    return out;
}

double floatResult(ArithmeticOp op, double x, double y, const SqlType& t) {
    double r = 0;
    if (op == ArithmeticOp::Add)
        r = x + y;
    else if (op == ArithmeticOp::Subtract)
        r = x - y;
    else if (op == ArithmeticOp::Multiply)
        r = x * y;
    else if (op == ArithmeticOp::Divide) {
        if (y == 0)
            divideByZero();
        r = x / y;
    }
    if (!std::isfinite(r))
        overflow(SqlType::of(TypeId::Unknown), t);
    return r;
}

// Only datetime and smalldatetime take + and - of a number of days (or of one another). The
// newer date types convert to no number: with a number they are an operand type clash (Msg 206,
// "datetime2 is incompatible with int"), with another date type incompatible (Msg 402), and
// any other operator, or two of the same type, is invalid for the type (Msg 8117).
SqlType dateArithmeticType(ArithmeticOp op, const SqlType& a, const SqlType& b) {
    auto counts = [](const SqlType& t) { return t.id == TypeId::DateTime || t.id == TypeId::SmallDateTime; };
    const SqlType& d = a.isDate() ? a : b;
    if (op != ArithmeticOp::Add && op != ArithmeticOp::Subtract)
        invalidOperand(d, opName(op));
    if (counts(a) && (counts(b) || !b.isDate()))
        return a;
    if (counts(b) && !a.isDate())
        return b;
    if (a.isNumeric() || b.isNumeric())
        raise<Msg::OperandTypeClash>(a.name(), b.name());
    if (a.isDate() && b.isDate() && a.id != b.id)
        incompatible(op, a, b);
    invalidOperand(counts(a) || !a.isDate() ? b : a, opName(op));
}

// A date plus or minus a number of days (with their fraction).
Value dateResult(ArithmeticOp op, const Value& a, const Value& b, const SqlType& t) {
    const Value& d = a.type.isDate() ? a : b;
    const Value& n = a.type.isDate() ? b : a;
    Value nv = convert(n, SqlType::of(TypeId::Float));
    if (d.null || nv.null)
        return Value::nullOf(t);
    double days = op == ArithmeticOp::Subtract ? -nv.f : nv.f;
    return Value::datetime(d.dt->addMSecs(qint64(std::llround(days * 86400000.0))), t.id);
}

} // namespace

// A decimal (or money) operator computed exactly on 128 bits, then rounded to the result's
// scale; a result with more integer digits than the type holds is Msg 8115.
Numeric detail::decimalResult(ArithmeticOp op, const Numeric& p, const Numeric& q, const SqlType& t) {
    SqlType target = t.id == TypeId::Money ? SqlType::decimal(19, 4) : t;
    std::optional<Numeric> res;
    auto fail = [&]() { overflow(SqlType::of(TypeId::Unknown), t); };
    if (op == ArithmeticOp::Add || op == ArithmeticOp::Subtract) {
        int s = std::max(p.scale, q.scale);
        auto pa = detail::atScale(p, s), qa = detail::atScale(q, s);
        if (!pa || !qa)
            fail();
        __int128 out;
        bool of = op == ArithmeticOp::Add ? __builtin_add_overflow(pa->v, qa->v, &out)
                                          : __builtin_sub_overflow(pa->v, qa->v, &out);
        if (of)
            fail();
        res = Numeric{out, s};
    } else if (op == ArithmeticOp::Multiply) {
        __int128 out;
        if (!detail::multiply128(p.v, q.v, out))
            fail();
        res = Numeric{out, p.scale + q.scale};
    } else if (op == ArithmeticOp::Divide || op == ArithmeticOp::Modulo) {
        if (q.v == 0)
            divideByZero();
        if (op == ArithmeticOp::Modulo) {
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
    auto fitted = detail::atScale(*res, target.scale);
    if (!fitted || !detail::fitsPrecision(*fitted, target.precision))
        fail();
    return *fitted;
}

// The operand of lower data-type precedence is converted to the other's type ("Data type
// precedence (Transact-SQL)"): a text against a number is read as that number (as decimal(38,10)
// against a decimal) and NULL of unknown type takes the other operand's type. Integers keep the
// operand type of higher precedence (tinyint + tinyint is a tinyint, and overflows as one); bit
// computes in int. + on two texts concatenates, up to 8,000 characters before the result becomes
// a (max) type; - * / % on two texts is invalid (Msg 8117). A date takes + and - of a number of
// days only.
SqlType arithmeticType(ArithmeticOp op, const SqlType& a0, const SqlType& b0) {
    SqlType a = a0, b = b0;
    bool bitwise = op == ArithmeticOp::BitAnd || op == ArithmeticOp::BitOr || op == ArithmeticOp::BitXor;
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
    // bit is no arithmetic operand of its own: two of them are Msg 8117 (one converts to the
    // other operand's type).
    if (a.id == TypeId::Bit && b.id == TypeId::Bit)
        invalidOperand(a, opName(op));
    if (op == ArithmeticOp::Add && (a.isString() || a.id == TypeId::Unknown) &&
        (b.isString() || b.id == TypeId::Unknown)) {
        SqlType t = dominantType(a, b);
        int la = a.id == TypeId::Unknown ? 0 : a.length, lb = b.id == TypeId::Unknown ? 0 : b.length;
        t.id = (a.isUnicode() || b.isUnicode()) ? TypeId::NVarChar : TypeId::VarChar;
        t.length = (la < 0 || lb < 0 || la + lb > 8000) ? -1 : la + lb;
        return t;
    }
    if (a.isTime() || b.isTime()) {
        // time takes no arithmetic: a number is an operand type clash, as for datetime2
        const SqlType& t = a.isTime() ? a : b;
        if ((op == ArithmeticOp::Add || op == ArithmeticOp::Subtract) && (a.isNumeric() || b.isNumeric()))
            raise<Msg::OperandTypeClash>(a.name(), b.name());
        if ((op == ArithmeticOp::Add || op == ArithmeticOp::Subtract) && (a.isDate() || b.isDate()))
            raise<Msg::TimeValueNotSupported>(QStringLiteral("Adding or subtracting a time and a date"));
        invalidOperand(t, opName(op));
    }
    if (a.isDate() || b.isDate())
        return dateArithmeticType(op, a, b);
    if (a.isString() && b.isString())
        invalidOperand(dominantType(a, b), opName(op));
    if (a.isString())
        a = b.id == TypeId::Decimal ? SqlType::decimal(38, 10) : b;
    if (b.isString())
        b = a.id == TypeId::Decimal ? SqlType::decimal(38, 10) : a;
    if (a.id == TypeId::Unknown)
        a = b;
    if (b.id == TypeId::Unknown)
        b = a;
    if (a.id == TypeId::Float || b.id == TypeId::Float || a.id == TypeId::Real || b.id == TypeId::Real) {
        if (op == ArithmeticOp::Modulo)
            incompatible(op, a0, b0);
        return SqlType::of(TypeId::Float);
    }
    if (a.id == TypeId::Decimal || b.id == TypeId::Decimal)
        return decimalResultType(op, decimalOf(a), decimalOf(b));
    if (a.id == TypeId::Money || b.id == TypeId::Money || a.id == TypeId::SmallMoney ||
        b.id == TypeId::SmallMoney)
        return SqlType::of(TypeId::Money);
    SqlType t = dominantType(a, b);
    if (t.id == TypeId::Bit)
        t = SqlType::of(TypeId::Int);
    return t;
}

ArithmeticOp arithmeticOpOf(const QString& op) {
    static const std::pair<char16_t, ArithmeticOp> ops[] = {
        {u'+', ArithmeticOp::Add},    {u'-', ArithmeticOp::Subtract}, {u'*', ArithmeticOp::Multiply},
        {u'/', ArithmeticOp::Divide}, {u'%', ArithmeticOp::Modulo},   {u'&', ArithmeticOp::BitAnd},
        {u'|', ArithmeticOp::BitOr},  {u'^', ArithmeticOp::BitXor}};
    for (const auto& [text, op2] : ops)
        if (op.size() == 1 && op[0] == QChar(text))
            return op2;
    raise<Msg::IncorrectSyntax>(op);
}

SqlType arithmeticType(const QString& op, const SqlType& a, const SqlType& b) {
    return arithmeticType(arithmeticOpOf(op), a, b);
}

Value arithmetic(const QString& op, const Value& a, const Value& b) {
    return arithmetic(arithmeticOpOf(op), a, b);
}

Value arithmetic(ArithmeticOp op, const Value& a, const Value& b) {
    return arithmetic(op, a, b, arithmeticType(op, a.type, b.type));
}

namespace {

// An operand that operandFor would copy unchanged: an exact decimal of a decimal or money result.
bool passesAsIs(const Value& v, const SqlType& result) {
    const TypeId id = v.type.id;
    return (result.id == TypeId::Decimal || result.id == TypeId::Money) &&
           (id == TypeId::Decimal || id == TypeId::Money || id == TypeId::SmallMoney);
}

} // namespace

// Both operands are converted to the result's type first; a NULL operand gives NULL of it.
Value arithmetic(ArithmeticOp op, const Value& a, const Value& b, const SqlType& t) {
    if (t.isDate())
        return dateResult(op, a, b, t);
    std::optional<Value> convertedA, convertedB;
    const Value& x = passesAsIs(a, t) ? a : convertedA.emplace(operandFor(a, t));
    const Value& y = passesAsIs(b, t) ? b : convertedB.emplace(operandFor(b, t));
    if (x.null || y.null)
        return Value::nullOf(t);
    Value r;
    r.type = t;
    r.null = false;
    if (t.isString()) {
        checkStringSize(qint64(x.s.size()) + qint64(y.s.size()), t);
        r.s = x.s + y.s;
    } else if (t.isInteger()) {
        r.i = integerResult(op, x.i, y.i, t);
    } else if (t.id == TypeId::Float) {
        r.f = floatResult(op, x.f, y.f, t);
    } else {
        r.n = detail::decimalResult(op, x.n, y.n, t);
    }
    return r;
}

Value negate(const Value& a) {
    if (a.type.isString() || a.type.id == TypeId::Xml || a.type.id == TypeId::XmlNode || a.type.isDate() ||
        a.type.isTime())
        invalidOperand(a.type, QStringLiteral("minus"));
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
        raise<Msg::IncompatibleOperands>(a.type.name(), a.type.name(), u"'~'");
    if (a.null)
        return a;
    Value r = a;
    r.i = a.type.id == TypeId::Bit ? !a.i : a.type.id == TypeId::TinyInt ? (~a.i & 0xff) : ~a.i;
    return r;
}

} // namespace tsql
