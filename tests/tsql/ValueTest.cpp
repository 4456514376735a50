// Types, conversions and XML paths of the engine, checked against the rules of SQL Server's
// data-type documentation (precedence, precision and scale of results, conversion errors).

#include "tsql/values/Value.h"
#include "tsql/xml/Xml.h"

#include "TestDb.h"

#include <gtest/gtest.h>

using namespace tsql;

namespace {

SqlType type(const char* name) {
    return *parseTypeName(QString::fromUtf8(name));
}

struct ResultTypeCase {
    const char* op;
    const char* left;
    const char* right;
    int precision, scale;
};

// https://learn.microsoft.com/en-us/sql/t-sql/data-types/precision-scale-and-length-transact-sql
TEST(Value, DecimalResultTypesFollowPrecisionAndScaleRules) {
    const ResultTypeCase cases[] = {
        {"+", "decimal(17,6)", "decimal(6,3)", 18, 6},    {"*", "decimal(17,6)", "decimal(6,3)", 24, 9},
        {"/", "decimal(6,3)", "decimal(4,1)", 12, 8},     {"*", "decimal(17,6)", "int", 28, 6},
        {"*", "decimal(38,10)", "decimal(38,10)", 38, 6}, {"%", "decimal(6,3)", "decimal(4,1)", 6, 3},
    };
    for (const auto& c : cases) {
        SqlType t = arithmeticType(QString::fromUtf8(c.op), type(c.left), type(c.right));
        EXPECT_EQ(t.id, TypeId::Decimal) << c.left << c.op << c.right;
        EXPECT_EQ(t.precision, c.precision) << c.left << c.op << c.right;
        EXPECT_EQ(t.scale, c.scale) << c.left << c.op << c.right;
    }
}

struct ConvertCase {
    const char* from; // text value
    const char* to;
    const char* result; // nullptr: an error
    int error;
};

// https://learn.microsoft.com/en-us/sql/t-sql/functions/cast-and-convert-transact-sql
TEST(Value, ConversionsOfTextAndNumbers) {
    const ConvertCase cases[] = {
        {" 12 ", "int", "12", 0},
        {"", "int", "0", 0},
        {"1.5", "int", nullptr, 245},
        {"99999999999", "int", nullptr, 248},
        {"12.345", "decimal(5,2)", "12.35", 0},
        {"-0.005", "decimal(5,2)", "-0.01", 0},
        {"1000", "decimal(5,2)", nullptr, 8115},
        {"abc", "decimal(5,2)", nullptr, 8114},
        // Texts of up to 19 characters are read in 64 bits, longer ones in 128: both the same way.
        {"007.50", "decimal(5,2)", "7.50", 0},
        {"-.5", "decimal(5,2)", "-0.50", 0},
        {"+5.", "decimal(5,2)", "5.00", 0},
        {".", "decimal(5,2)", nullptr, 8114},
        {"-", "decimal(5,2)", nullptr, 8114},
        {"1.2.3", "decimal(5,2)", nullptr, 8114},
        {"9999999999999999999", "decimal(38,0)", "9999999999999999999", 0},
        {"-999999999999999999.9", "decimal(38,1)", "-999999999999999999.9", 0},
        {"99999999999999999999", "decimal(38,0)", "99999999999999999999", 0},
        {"0.00000000000000000015", "decimal(38,20)", "0.00000000000000000015", 0},
        {"0000000000000000000001", "decimal(5,2)", "1.00", 0},
        {"9999999999999999999", "decimal(18,0)", nullptr, 8115},
        {"1 2", "decimal(5,2)", nullptr, 8114},
        {"1e3", "float", "1000", 0},
        {"x", "float", nullptr, 8114},
        {"abcdef", "char(3)", "abc", 0},
        {"ab", "char(4)", "ab  ", 0},
        {"2024-02-29", "datetime", "Feb 29 2024 12:00AM", 0},
        {"2024-02-30", "datetime", nullptr, 242},
        {"30 febbraio", "datetime", nullptr, 241},
        {"true", "bit", "1", 0},
    };
    for (const auto& c : cases) {
        try {
            Value v = convert(Value::str(QString::fromUtf8(c.from)), type(c.to));
            ASSERT_NE(c.result, nullptr) << c.from << " -> " << c.to;
            EXPECT_EQ(toText(v), QString::fromUtf8(c.result)) << c.from << " -> " << c.to;
        } catch (const SqlError& e) {
            EXPECT_EQ(c.result, nullptr) << c.from << " -> " << c.to << ": " << e.error.message.toStdString();
            EXPECT_EQ(e.error.number, c.error) << c.from << " -> " << c.to;
        }
    }
}

TEST(Value, ComparisonsIgnoreCaseAndTrailingBlanks) {
    EXPECT_EQ(compareValues(Value::str(QStringLiteral("abc  ")), Value::str(QStringLiteral("ABC"))), 0);
    EXPECT_EQ(compareValues(Value::str(QStringLiteral(" abc")), Value::str(QStringLiteral("abc"))),
              -1); // leading blanks count
    EXPECT_LT(*compareValues(Value::str(QStringLiteral("a")), Value::str(QStringLiteral("B"))), 0);
    EXPECT_FALSE(compareValues(Value::nullOf(SqlType::of(TypeId::Int)), Value::integer(1)).has_value());
    EXPECT_EQ(compareValues(Value::str(QStringLiteral("10")), Value::integer(9)), 1); // compared as int
    EXPECT_THROW(compareValues(Value::str(QStringLiteral("x")), Value::integer(9)), SqlError);
}

struct TextOrder {
    const char16_t* a;
    const char16_t* b;
    int sign; // of a against b
};

// Letters fold to lower case before texts are compared unit by unit ('_' and '[' sit between the
// upper and the lower case letters); a character beyond ASCII folds as the case folding says.
TEST(Value, TextComparisonsFoldToLowerCase) {
    const TextOrder cases[] = {
        {u"_", u"A", -1},
        {u"[", u"a", -1},
        {u"abc", u"ABD", -1},
        {u"AB", u"abc", -1},
        {u"abc  ", u"ABC", 0},
        {u"", u"   ", 0},
        {u"a b", u"A B ", 0},
        {u"ab", u"a b", 1},
        {u"\u00c9", u"\u00e9", 0},
        {u"\u00e9", u"f", 1},
        {u"a\u00e9", u"A\u00c9z", -1},
        {u"Z\u00e9", u"a\u00e9", 1},
        {u"stra\u00dfe", u"STRASSE", 1},
        {u"\u0100", u"\u0101 ", 0},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf16(c.a), b = QString::fromUtf16(c.b);
        EXPECT_EQ(compareStringsCI(a, b), c.sign) << a.toStdString() << " | " << b.toStdString();
        EXPECT_EQ(compareStringsCI(b, a), -c.sign) << b.toStdString() << " | " << a.toStdString();
    }
}

struct DateCompareCase {
    TypeId type;
    QDateTime a, b;          // UTC, as values hold them; not always what the type would hold
    std::optional<int> sign; // nullopt: a conversion error
};

Value dateOf(TypeId type, const QDateTime& d) {
    Value v = Value::nullOf(SqlType::of(type));
    v.null = false;
    v.dt = d;
    return v;
}

QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), Qt::UTC);
}

// Two dates of one type compare as converting both to it leaves them: rounded to the type's
// precision (1/300 s, the minute, the day), out of its range an error.
TEST(Value, DatesCompareAsTheirTypeHoldsThem) {
    const DateCompareCase cases[] = {
        {TypeId::DateTime, utc(2024, 1, 1), utc(2024, 1, 2), -1},
        {TypeId::DateTime, utc(2024, 1, 1, 0, 0, 0, 3), utc(2024, 1, 1), 1},
        {TypeId::DateTime, utc(2024, 1, 1, 0, 0, 0, 1), utc(2024, 1, 1), 0},
        {TypeId::SmallDateTime, utc(2024, 1, 1, 10, 0, 29), utc(2024, 1, 1, 10), 0},
        {TypeId::SmallDateTime, utc(2024, 1, 1, 10, 0, 30), utc(2024, 1, 1, 10), 1},
        {TypeId::Date, utc(2024, 1, 1, 23, 59), utc(2024, 1, 1), 0},
        {TypeId::Date, utc(2023, 12, 31), utc(2024, 1, 1), -1},
        {TypeId::SmallDateTime, utc(1800, 1, 1), utc(2024, 1, 1), std::nullopt},
        {TypeId::DateTime, utc(1700, 1, 1), utc(2024, 1, 1), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a.toString(Qt::ISODateWithMs).toStdString() + " " +
                     c.b.toString(Qt::ISODateWithMs).toStdString());
        const Value a = dateOf(c.type, c.a), b = dateOf(c.type, c.b);
        if (!c.sign) {
            EXPECT_THROW(compareValues(a, b), SqlError);
            continue;
        }
        EXPECT_EQ(compareValues(a, b), c.sign);
        EXPECT_EQ(compareValues(b, a), -*c.sign);
    }
    EXPECT_FALSE(
        compareValues(dateOf(TypeId::Date, utc(2024, 1, 1)), Value::nullOf(SqlType::of(TypeId::Date))));
}

struct DecimalCase {
    const char* value;
    const char* from;
    const char* op; // nullptr: a conversion to `to`; otherwise value op value, converted to `to`
    const char* to;
    const char* result; // nullptr: Msg 8115
};

// Rounding half away from zero to the target's scale, and Msg 8115 from one integer digit too
// many, by conversion and after the operators.
TEST(Value, DecimalsRoundAndOverflowAtTheirPrecision) {
    const DecimalCase cases[] = {
        {"999.9994", "decimal(7,4)", nullptr, "decimal(6,3)", "999.999"},
        {"999.9995", "decimal(7,4)", nullptr, "decimal(6,3)", nullptr},
        {"-999.9995", "decimal(7,4)", nullptr, "decimal(6,3)", nullptr},
        {"-0.0005", "decimal(4,4)", nullptr, "decimal(6,3)", "-0.001"},
        {"0.0004", "decimal(4,4)", nullptr, "decimal(6,3)", "0.000"},
        {"9.5", "decimal(2,1)", nullptr, "decimal(1,0)", nullptr},
        {"-0.5", "decimal(2,1)", nullptr, "decimal(1,0)", "-1"},
        {"1", "decimal(38,0)", nullptr, "decimal(38,38)", nullptr},
        {"99999999999999999999999999999999999999", "decimal(38,0)", nullptr, "decimal(38,0)",
         "99999999999999999999999999999999999999"},
        {"99999999999999999999999999999999999999", "decimal(38,0)", "+", "decimal(38,0)", nullptr},
        {"-99999999999999999999999999999999999999", "decimal(38,0)", "-", "decimal(38,0)", "0"},
        {"499.9995", "decimal(7,4)", "+", "decimal(6,3)", "999.999"},
        {"500.0000", "decimal(7,4)", "+", "decimal(6,3)", nullptr},
        {"-31.62", "decimal(4,2)", "*", "decimal(6,3)", "999.824"},
        {"-31.63", "decimal(4,2)", "*", "decimal(6,3)", nullptr},
        {"-31.63", "decimal(4,2)", "*", "decimal(7,3)", "1000.457"},
        // Either side of 64 bits (2^63 = 9223372036854775808), where the operators leave the
        // processor's arithmetic for 128 bits: the same roundings and products.
        {"922337203.6854775807", "decimal(19,10)", nullptr, "decimal(12,3)", "922337203.685"},
        {"-922337203.6854775808", "decimal(19,10)", nullptr, "decimal(12,1)", "-922337203.7"},
        {"922337203.6854775809", "decimal(19,10)", nullptr, "decimal(12,3)", "922337203.685"},
        {"-9223372036854.775808", "decimal(19,6)", nullptr, "decimal(13,0)", "-9223372036855"},
        {"3037000499.97605", "decimal(15,5)", "*", "decimal(38,10)", "9223372036854777676.0505736025"},
        {"3037000500", "decimal(10,0)", "*", "decimal(19,0)", "9223372037000250000"},
        {"-9223372036854775808", "decimal(19,0)", "*", "decimal(38,0)",
         "85070591730234615865843651857942052864"},
        {"9999999999999999999", "decimal(19,0)", "*", "decimal(38,0)",
         "99999999999999999980000000000000000001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " " + (c.op ? c.op : "->") + " " + c.to);
        try {
            const Value v = convert(Value::str(QString::fromUtf8(c.value)), type(c.from));
            const Value r = c.op ? arithmetic(QString::fromUtf8(c.op), v, v) : v;
            const Value out = convert(r, type(c.to));
            ASSERT_NE(c.result, nullptr) << toText(out).toStdString();
            EXPECT_EQ(toText(out).toStdString(), c.result);
            EXPECT_EQ(out.type.precision, type(c.to).precision);
            EXPECT_EQ(out.type.scale, type(c.to).scale);
        } catch (const SqlError& e) {
            EXPECT_EQ(c.result, nullptr) << e.error.message.toStdString();
            EXPECT_EQ(e.error.number, 8115);
        }
    }
    EXPECT_TRUE(convert(Value::nullOf(type("decimal(7,4)")), type("decimal(6,3)")).null);
    EXPECT_EQ(convert(Value::nullOf(type("decimal(7,4)")), type("decimal(6,3)")).type.scale, 3);
}

TEST(Value, IntegerArithmeticOverflowsAndDividesByZero) {
    EXPECT_THROW(arithmetic(QStringLiteral("+"), Value::integer(2147483647), Value::integer(1)), SqlError);
    EXPECT_EQ(arithmetic(QStringLiteral("/"), Value::integer(-7), Value::integer(2)).i, -3);
    try {
        arithmetic(QStringLiteral("%"), Value::integer(1), Value::integer(0));
        ADD_FAILURE();
    } catch (const SqlError& e) {
        EXPECT_EQ(e.error.number, 8134);
    }
    EXPECT_TRUE(
        arithmetic(QStringLiteral("/"), Value::integer(1), Value::nullOf(SqlType::of(TypeId::Int))).null);
}

// https://learn.microsoft.com/en-us/sql/t-sql/xml/nodes-method-xml-data-type
TEST(Xml, PathsOfTheCategoryAndVariantSubQueries) {
    auto doc = parseXml(QStringLiteral("<CATEGORIE><CATEGORIA IDCATEGORIA_CM01=\"1\" VALORE=\"A\"/>"
                                       "<CATEGORIA IDCATEGORIA_CM01=\"2\" VALORE=\"B\"><X>t</X></CATEGORIA>"
                                       "</CATEGORIE>"));
    XmlNodeRef root{doc, &doc->root, -1};
    auto rows = xpathSelect(root, QStringLiteral("//CATEGORIE/CATEGORIA"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(xmlStringValue(xpathSelect(rows[1], QStringLiteral("@VALORE"))[0]), QStringLiteral("B"));
    EXPECT_EQ(xpathSelect(root, QStringLiteral("/CATEGORIE/CATEGORIA")).size(), 2u);
    EXPECT_EQ(xpathSelect(root, QStringLiteral("//CATEGORIA")).size(), 2u);
    EXPECT_EQ(xpathSelect(root, QStringLiteral("/CATEGORIA")).size(), 0u);
    EXPECT_EQ(xmlStringValue(xpathSelect(root, QStringLiteral("(/CATEGORIE/CATEGORIA/@VALORE)[2]"))[0]),
              QStringLiteral("B"));
    EXPECT_EQ(xpathSelect(root, QStringLiteral("/CATEGORIE/CATEGORIA[@IDCATEGORIA_CM01=\"2\"]/X")).size(),
              1u);
    EXPECT_EQ(xmlSerialize(xpathSelect(root, QStringLiteral("//X"))[0]), QStringLiteral("<X>t</X>"));
    EXPECT_THROW(parseXml(QStringLiteral("<A><B></A>")), SqlError);
}

} // namespace
