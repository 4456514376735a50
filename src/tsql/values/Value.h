#pragma once

#include "tsql/base/ServerError.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tsql {

// The data types the engine knows, ordered so that a greater value has a higher
// data-type precedence (as SQL Server converts the operand of lower precedence).
enum class TypeId {
    Unknown = 0, // type of NULL and of values whose type is not known until run time
    Char,
    VarChar,
    NChar,
    NVarChar,
    UniqueIdentifier,
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    SmallMoney,
    Money,
    Decimal,
    Real,
    Float,
    Time, // ticks of 100 ns since midnight in Value::i, the fractional-second precision in scale
    Date,
    SmallDateTime,
    DateTime,
    DateTime2,
    Xml,
    XmlNode, // a row of an xml nodes() source (only usable with XML methods)
};

struct SqlType {
    TypeId id = TypeId::Unknown;
    int precision = 0;        // decimal
    int scale = 0;            // decimal; time: digits of a second (0 to 7)
    int length = 0;           // character types; -1 for max
    bool numericName = false; // written as numeric rather than decimal

    static SqlType of(TypeId id) { return SqlType{id, 0, 0, 0, false}; }
    static SqlType decimal(int p, int s) { return SqlType{TypeId::Decimal, p, s, 0, false}; }
    static SqlType varchar(int len) { return SqlType{TypeId::VarChar, 0, 0, len, false}; }
    static SqlType time(int scale = 7) { return SqlType{TypeId::Time, 0, scale, 0, false}; }
    bool isString() const { return id >= TypeId::Char && id <= TypeId::NVarChar; }
    bool isUnicode() const { return id == TypeId::NChar || id == TypeId::NVarChar; }
    bool isInteger() const { return id >= TypeId::Bit && id <= TypeId::BigInt; }
    bool isExactNumeric() const { return id >= TypeId::Bit && id <= TypeId::Decimal; }
    bool isNumeric() const { return id >= TypeId::Bit && id <= TypeId::Float; }
    bool isDate() const { return id >= TypeId::Date && id <= TypeId::DateTime2; }
    // date and datetime2 convert to no number and from none, implicitly or explicitly ("Data type
    // conversion (Database Engine)"); datetime and smalldatetime count days from 1900.
    bool isNumberlessDate() const { return id == TypeId::Date || id == TypeId::DateTime2; }
    bool isTime() const { return id == TypeId::Time; }
    QString name() const; // "decimal", "int", "varchar", ...
};

// Msg 8117: an operand of a type that the operator or aggregate `what` ("minus", "add", "sum",
// ...) does not take.
[[noreturn]] void invalidOperand(const SqlType& t, const QString& what, int line = 0, int column = 0);

// Parses a type name as written in T-SQL ("DECIMAL(17,6)", "nvarchar(max)", "int");
// nullopt when the name is unknown.
std::optional<SqlType> parseTypeName(const QString& text);
std::optional<SqlType> typeFromName(const QString& upperName, int args, int a1, int a2, bool max);
// The T-SQL type that a SQLite column declaration stands for.
SqlType typeFromSqliteDecl(const QString& decl);

// An exact decimal of up to 38 digits: value / 10^scale.
struct Numeric {
    __int128 v = 0;
    int scale = 0;
    int digits() const;                           // significant integer digits + scale
    std::optional<Numeric> rescaled(int s) const; // rounds half away from zero
    double toDouble() const;
    QString toString() const;
    static std::optional<Numeric> parse(const QString& text); // digits with an optional point
    static std::optional<Numeric> fromDouble(double d, int scale);
};

struct XmlDoc;
struct XmlNodeRef;

// The date and time a value holds: a QDateTime only in the values of the date and time kinds, so
// that a value of any other type is made, copied and dropped without a call into QDateTime. One
// that holds none reads as the null QDateTime.
class HeldDateTime {
public:
    HeldDateTime() = default;
    HeldDateTime(const QDateTime& d) // implicit: a value's date is assigned as a QDateTime
        : m_held(d) {}
    HeldDateTime& operator=(const QDateTime& d) {
        m_held = d;
        return *this;
    }
    const QDateTime& get() const { return m_held ? *m_held : none(); }
    operator const QDateTime&() const { return get(); }
    const QDateTime* operator->() const { return &get(); }

private:
    static const QDateTime& none() {
        static const QDateTime null;
        return null;
    }
    std::optional<QDateTime> m_held;
};

struct Value {
    SqlType type;
    bool null = true;
    qint64 i = 0;                           // integer kinds and bit; time: 100 ns ticks
    Numeric n;                              // decimal and money
    double f = 0;                           // float and real
    QString s;                              // character types and xml text
    HeldDateTime dt;                        // date and time kinds (UTC, no zone)
    std::shared_ptr<const XmlDoc> doc;      // parsed xml, built on first use
    std::shared_ptr<const XmlNodeRef> node; // XmlNode values

    Value() = default;
    Value(const Value&) = default;
    Value(Value&&) noexcept = default;
    Value& operator=(Value&&) noexcept = default;
    ~Value() = default;
    // Values are assigned row after row, mostly numbers over numbers: the members neither side
    // holds are left alone (a QString's copy assignment is a call even between two null texts).
    Value& operator=(const Value& o) {
        if (this == &o)
            return *this;
        type = o.type;
        null = o.null;
        i = o.i;
        n = o.n;
        f = o.f;
        if (!(s.isNull() && o.s.isNull()))
            s = o.s;
        dt = o.dt;
        if (doc || o.doc)
            doc = o.doc;
        if (node || o.node)
            node = o.node;
        return *this;
    }

    static Value nullOf(const SqlType& t) {
        Value v;
        v.type = t;
        return v;
    }
    static Value integer(qint64 x, TypeId id = TypeId::Int);
    static Value decimal(const Numeric& x, int precision);
    static Value flt(double x);
    static Value str(const QString& x, bool unicode = false);
    static Value boolean(bool b);
    static Value datetime(const QDateTime& d, TypeId id = TypeId::DateTime);
    static Value time(qint64 ticks, int scale = 7);
};
// A member added to Value is copied in its operator= too.
static_assert(sizeof(void*) != 8 || sizeof(Value) == 144);

// Conversion between types as CAST and implicit conversion do. Throws SqlError (245, 8114,
// 8115, 241, 206, 529...). `explicitConversion` is true for CAST and CONVERT.
Value convert(const Value& v, const SqlType& to, bool explicitConversion = false);
// What CAST(text AS decimal(p, s)) gives for a text of digits with an optional sign and point, as
// convert() reads it (rounded half away from zero to the scale): nullopt when the text is no
// number (Msg 8114) or needs more digits than the precision (Msg 8115). For a caller that reads
// many numbers and needs no message.
std::optional<Numeric> decimalFromText(const QString& text, const SqlType& decimalType);
// True when an implicit conversion from one type to the other exists.
bool implicitAllowed(TypeId from, TypeId to);
// True when CAST or CONVERT from one type to the other exists (Msg 529 otherwise).
bool explicitAllowed(TypeId from, TypeId to);
// Text of a value as CAST(... AS varchar) writes it.
QString toText(const Value& v);

// A text as char and varchar hold it: in the code page of the database's collation (Latin1,
// code page 1252). Characters of scripts the code page lacks become '?' as the server makes
// them; a character the server may write as a look-alike Latin letter instead ("best fit") is
// refused by name (Msg 40000) rather than guessed.
QString inCodePage(const QString& s);
// A byte of code page 1252 as a character (CHAR), and a character of the code page as its byte
// (ASCII); -1 for a character the code page lacks.
QChar fromCodePage(int byte);
int codePageByte(QChar c);

// Comparison with SQL Server semantics (after conversion to the common type): strings are
// compared case-insensitively and ignoring trailing blanks. Returns nullopt when either is NULL.
std::optional<int> compareValues(const Value& a, const Value& b);
int compareStringsCI(const QString& a, const QString& b); // -1, 0 or 1

// The type of higher precedence of two operand types.
SqlType dominantType(const SqlType& a, const SqlType& b);
// The binary arithmetic, string and bitwise operators: + - * / % & | ^.
enum class ArithmeticOp { Add, Subtract, Multiply, Divide, Modulo, BitAnd, BitOr, BitXor };
// The operator a text names (one of the eight characters above).
ArithmeticOp arithmeticOpOf(const QString& op);
// Result type of an arithmetic operator on two operand types; throws 402 when invalid.
SqlType arithmeticType(ArithmeticOp op, const SqlType& a, const SqlType& b);
SqlType arithmeticType(const QString& op, const SqlType& a, const SqlType& b);
// Applies a binary arithmetic, string or bitwise operator.
Value arithmetic(ArithmeticOp op, const Value& a, const Value& b);
// The same when the caller knows the result type: `type` must be arithmeticType(op, a.type, b.type).
Value arithmetic(ArithmeticOp op, const Value& a, const Value& b, const SqlType& type);
Value arithmetic(const QString& op, const Value& a, const Value& b);
Value negate(const Value& a);
Value bitNot(const Value& a);

// Memory a value or a row takes, as the budget counts it.
qint64 valueBytes(const Value& v);
qint64 rowBytes(const std::vector<Value>& row);

// Memory of a value held while the next ones are built (the arguments of a function or an
// operator): a long text counts, unless it is shared with another holder (a variable, a row),
// which counts it already; short ones are bounded by the size of the expression that makes
// them, and counting them would only cost time.
inline qint64 heldBytes(const Value& v) {
    return v.s.size() > 4096 && v.s.isDetached() ? valueBytes(v) : 0;
}

// A string of `chars` characters of type `type` is about to be built: stops the batch when a
// (max) value would grow beyond SQL Server's 2 GB (Msg 7119), or when it would not fit in the
// batch's memory (Msg 40002). Short strings are let through without a look.
void checkStringSizeSlow(qint64 chars, const SqlType& type);
inline void checkStringSize(qint64 chars, const SqlType& type) {
    if (chars > 4096)
        checkStringSizeSlow(chars, type);
}

} // namespace tsql
