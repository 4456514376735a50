#include "FormulaGenerator.h"

#include "check/Declarations.h"
#include "language/References.h"

#include <array>

namespace differential {

namespace refs = language::refs;

unsigned ByteChoices::below(unsigned n) {
    if (n <= 1 || m_at >= m_size)
        return 0;
    unsigned v = m_data[m_at++];
    if (n > 256 && m_at < m_size)
        v = v << 8 | m_data[m_at++];
    return v % n;
}

namespace {

enum class Family { Number, Text, Date };

constexpr int MaxExpressionDepth = 3;
constexpr int MaxStatementDepth = 3;
constexpr int MaxStatements = 24;

template <std::size_t N> const char* pick(Choices& c, const std::array<const char*, N>& items) {
    return items[c.below(unsigned(N))];
}

// clang-format off
const std::array<const char*, 23> NumberLiterals{
    "0", "1", "-1", "2", "10", "100", "2147483647", "-2147483648", "0.5", "1.03", "12.345678", "2147483648",
    "0.0000001", "1e3", "-0.25", "3.14159265358979", "7", "99999999999.999999", "123456789012345678", "1.5E-3",
    "NULL", "365", "-7"};
// clang-format on
const std::array<const char*, 20> TextLiterals{
    "''",           "' '",          "'A'",         "'NORD'",  "'MPRI'",
    "'ROSSO'",      "'rosso '",     "N'è€'",       "'12.5'",  "'3'",
    "'2024-01-31'", "'O''Brien'",   "'  x  '",     "'%'",     "NULL",
    "'abc'",        "'31/01/2024'", "'ELETTRICA'", "N'日本'", "'una descrizione più lunga di venti'"};
const std::array<const char*, 8> DateTexts{"'20240131'",
                                           "'2024-02-29 23:59:59.997'",
                                           "'17530101'",
                                           "'99991231'",
                                           "'2000-01-01T12:30:00'",
                                           "'31/12/2023'",
                                           "'20240230'",
                                           "'1900-01-01'"};
const std::array<const char*, 12> NumberTypes{
    "INT",           "BIGINT",       "SMALLINT",       "TINYINT", "BIT",  "DECIMAL(17,6)",
    "DECIMAL(10,2)", "DECIMAL(5,0)", "NUMERIC(38,10)", "FLOAT",   "REAL", "MONEY"};
const std::array<const char*, 6> TextTypes{"VARCHAR(20)", "CHAR(5)",   "NVARCHAR(30)",
                                           "VARCHAR(3)",  "NCHAR(10)", "VARCHAR(MAX)"};
// Mostly datetime: date and datetime2 take no number in arithmetic and no time date part.
const std::array<const char*, 8> DateTypes{"DATETIME", "DATETIME",      "DATETIME", "SMALLDATETIME",
                                           "DATETIME", "SMALLDATETIME", "DATE",     "DATETIME2"};
const std::array<const char*, 8> DateParts{"year",   "month",  "day",       "hour",
                                           "minute", "second", "dayofyear", "weekday"};
const std::array<const char*, 6> CategoryIds{"123", "124", "125", "126", "901", "7"};
const std::array<const char*, 5> VariantCodes{"V01", "V02", "V03", "v01", "V90"};

struct Var {
    QString name;
    Family family;
};

Family familyOf(const tsql::SqlType& t) {
    if (t.isString())
        return Family::Text;
    if (t.isDate())
        return Family::Date;
    return Family::Number;
}

const std::vector<Var>& declaredPool() {
    static const std::vector<Var> pool = [] {
        std::vector<Var> out;
        for (const check::DeclaredVariable& v : check::declaredVariables())
            if (const auto t = tsql::parseTypeName(v.type))
                out.push_back({v.variable, familyOf(*t)});
        return out;
    }();
    return pool;
}

class Generator {
public:
    explicit Generator(Choices& c)
        : m_c(c) {}

    GeneratedFormula run() {
        const int count = 1 + int(m_c.below(8));
        for (int k = 0; k < count && m_statements < MaxStatements; ++k)
            statement(0);
        // Something is always written to an output, so that the values compare something.
        if (m_c.percent(70))
            line(QStringLiteral("SET @OUTPREZZO = ") + expression(Family::Number, 0));
        return {m_text, m_categoryIds, m_variantCodes};
    }

private:
    void line(const QString& text) {
        if (!m_text.isEmpty())
            m_text += QStringLiteral("\r\n");
        m_text += QString(m_indent * 4, u' ') + text;
    }

    const Var& variable(Family f, bool outputFirst) {
        if (outputFirst && m_c.percent(50)) {
            static const std::array<const char*, 6> outputs{"@OUTPREZZO", "@OUTSC1PERC",  "@OUTSCIMP",
                                                            "@OUTMAGIMP", "@OUTMAG1PERC", "@OUTSC2PERC"};
            if (f == Family::Number) {
                m_scratch = {QString::fromLatin1(pick(m_c, outputs)), f};
                return m_scratch;
            }
        }
        std::vector<const Var*> candidates;
        for (const Var& v : m_locals)
            if (v.family == f)
                candidates.push_back(&v);
        if (!candidates.empty() && m_c.percent(40))
            return *candidates[m_c.below(unsigned(candidates.size()))];
        const auto& pool = declaredPool();
        for (int tries = 0; tries < 8; ++tries) {
            const Var& v = pool[m_c.below(unsigned(pool.size()))];
            if (v.family == f)
                return v;
        }
        static const Var fallbacks[] = {{QStringLiteral("@ATTPREZZO"), Family::Number},
                                        {QStringLiteral("@MG19_ZONA"), Family::Text},
                                        {QStringLiteral("@DATARIF"), Family::Date}};
        return fallbacks[int(f)];
    }

    Family anyFamily() { return Family(m_c.below(3)); }

    // A category sub-query reading its value as a number (DECIMAL(17,6), DECIMAL(1)) or as text.
    QString categoryQuery(bool number) {
        const QString id = QString::fromLatin1(pick(m_c, CategoryIds));
        m_categoryIds << id;
        return refs::categorySubQuery(number ? 1 + int(m_c.below(2)) : (m_c.percent(90) ? 0 : 3), id);
    }

    QString variantQuery() {
        const QString code = QString::fromLatin1(pick(m_c, VariantCodes));
        m_variantCodes << code;
        return refs::variantSubQuery(code);
    }

    QString leaf(Family f) {
        const unsigned k = m_c.below(10);
        if (k < 4)
            return variable(f, false).name;
        if (k == 4 && f != Family::Date)
            return f == Family::Number ? categoryQuery(!m_c.percent(10))
                                       : (m_c.percent(50) ? categoryQuery(false) : variantQuery());
        switch (f) {
        case Family::Number:
            return QString::fromUtf8(pick(m_c, NumberLiterals));
        case Family::Text:
            return QString::fromUtf8(pick(m_c, TextLiterals));
        case Family::Date:
            return m_c.percent(15) ? QStringLiteral("NULL")
                                   : QStringLiteral("CAST(%1 AS %2)")
                                         .arg(QString::fromLatin1(pick(m_c, DateTexts)),
                                              m_c.percent(70) ? QStringLiteral("DATETIME")
                                                              : QStringLiteral("SMALLDATETIME"));
        }
        return QStringLiteral("NULL");
    }

    QString conversion(Family f, int depth) {
        static const std::array<const char*, 4> forms{"CAST", "CONVERT", "TRY_CAST", "TRY_CONVERT"};
        const char* form = pick(m_c, forms);
        QString type = f == Family::Number ? QString::fromLatin1(pick(m_c, NumberTypes))
                       : f == Family::Text ? QString::fromLatin1(pick(m_c, TextTypes))
                                           : QString::fromLatin1(pick(m_c, DateTypes));
        const Family from = m_c.percent(70) ? f : anyFamily();
        if (f == Family::Date && from == Family::Number && m_c.percent(80))
            type = QStringLiteral("DATETIME");
        const QString arg = expression(from, depth + 1);
        if (QLatin1String(form).endsWith(QLatin1String("CAST")))
            return QStringLiteral("%1(%2 AS %3)").arg(QLatin1String(form), arg, type);
        static const std::array<const char*, 7> styles{"", ", 103", ", 112", ", 120", ", 126", ", 1", ", 0"};
        return QStringLiteral("%1(%2, %3%4)")
            .arg(QLatin1String(form), type, arg, QLatin1String(pick(m_c, styles)));
    }

    QString numberExpression(int d) {
        const auto n = [&] { return expression(Family::Number, d + 1); };
        const auto t = [&] { return expression(Family::Text, d + 1); };
        const auto dt = [&] { return expression(Family::Date, d + 1); };
        const QString part = QString::fromLatin1(pick(m_c, DateParts));
        switch (m_c.below(20)) {
        case 0:
        case 1:
        case 2: {
            static const std::array<const char*, 5> ops{" + ", " - ", " * ", " / ", " % "};
            return n() + QLatin1String(pick(m_c, ops)) + n();
        }
        case 3:
            return QStringLiteral("-(") + n() + u')'; // "-" before "-1" would start a comment
        case 4:
            return QStringLiteral("(") + n() + u')';
        case 5:
            return QStringLiteral("ROUND(%1, %2%3)")
                .arg(n(), QString::number(int(m_c.below(7)) - 2),
                     m_c.percent(20) ? QStringLiteral(", 1") : QString());
        case 6: {
            static const std::array<const char*, 8> f1{"ABS",  "FLOOR",  "CEILING", "SIGN",
                                                       "SQRT", "SQUARE", "LOG10",   "EXP"};
            return QStringLiteral("%1(%2)").arg(QLatin1String(pick(m_c, f1)), n());
        }
        case 7:
            return QStringLiteral("POWER(%1, %2)").arg(n(), QString::number(m_c.below(4)));
        case 8: {
            static const std::array<const char*, 6> f1{"LEN",     "DATALENGTH", "ASCII",
                                                       "UNICODE", "ISNUMERIC",  "ISDATE"};
            return QStringLiteral("%1(%2)").arg(QLatin1String(pick(m_c, f1)), t());
        }
        case 9:
            return m_c.percent(50) ? QStringLiteral("CHARINDEX(%1, %2)").arg(t(), t())
                                   : QStringLiteral("PATINDEX('%A%', %1)").arg(t());
        case 10: {
            static const std::array<const char*, 3> f1{"YEAR", "MONTH", "DAY"};
            return m_c.percent(50) ? QStringLiteral("%1(%2)").arg(QLatin1String(pick(m_c, f1)), dt())
                                   : QStringLiteral("DATEPART(%1, %2)").arg(part, dt());
        }
        case 11:
            return QStringLiteral("DATEDIFF(%1, %2, %3)").arg(part, dt(), dt());
        case 12:
            return m_c.percent(50) ? QStringLiteral("ISNULL(%1, %2)").arg(n(), n())
                                   : QStringLiteral("COALESCE(%1, %2, %3)").arg(n(), n(), n());
        case 13:
            return m_c.percent(50) ? QStringLiteral("NULLIF(%1, %2)").arg(n(), n())
                                   : QStringLiteral("IIF(%1, %2, %3)").arg(condition(d + 1), n(), n());
        case 14:
            if (m_c.percent(50)) {
                // Bitwise operators take integers only.
                static const std::array<const char*, 3> ops{" & ", " | ", " ^ "};
                return QStringLiteral("(CAST(%1 AS INT)%2CAST(%3 AS INT))")
                    .arg(n(), QLatin1String(pick(m_c, ops)), n());
            }
            return m_c.percent(50) ? QStringLiteral("CHOOSE(%1, %2, %3)").arg(n(), n(), n())
                                   : QStringLiteral("(~CAST(%1 AS INT))").arg(n());
        case 15:
        case 16:
            return caseExpression(Family::Number, d);
        case 17:
        case 18:
            return conversion(Family::Number, d);
        default:
            return leaf(Family::Number);
        }
    }

    QString textExpression(int d) {
        const auto n = [&] { return expression(Family::Number, d + 1); };
        const auto t = [&] { return expression(Family::Text, d + 1); };
        const auto small = [&] { return QString::number(int(m_c.below(8)) - 1); };
        switch (m_c.below(20)) {
        case 0:
        case 1:
            return t() + QStringLiteral(" + ") + t();
        case 2:
            return QStringLiteral("%1(%2, %3)")
                .arg(m_c.percent(50) ? QStringLiteral("LEFT") : QStringLiteral("RIGHT"), t(),
                     m_c.percent(70) ? small() : n());
        case 3:
            return QStringLiteral("SUBSTRING(%1, %2, %3)").arg(t(), small(), small());
        case 4: {
            static const std::array<const char*, 7> f1{"UPPER", "LOWER",   "LTRIM",    "RTRIM",
                                                       "TRIM",  "REVERSE", "QUOTENAME"};
            return QStringLiteral("%1(%2)").arg(QLatin1String(pick(m_c, f1)), t());
        }
        case 5:
            return QStringLiteral("REPLACE(%1, %2, %3)").arg(t(), t(), t());
        case 6:
            return m_c.percent(50) ? QStringLiteral("REPLICATE(%1, %2)").arg(t(), small())
                                   : QStringLiteral("SPACE(%1)").arg(small());
        case 7: {
            static const std::array<const char*, 4> extra{"", ", 10", ", 10, 2", ", 3"};
            return QStringLiteral("STR(%1%2)").arg(n(), QLatin1String(pick(m_c, extra)));
        }
        case 8:
            return QStringLiteral("STUFF(%1, %2, %3, %4)").arg(t(), small(), small(), t());
        case 9:
            return m_c.percent(50)
                       ? QStringLiteral("CONCAT(%1, %2, %3)").arg(t(), n(), expression(anyFamily(), d + 1))
                       : QStringLiteral("CONCAT_WS('-', %1, %2)").arg(t(), n());
        case 10:
            return QStringLiteral("%1(%2)").arg(
                m_c.percent(50) ? QStringLiteral("CHAR") : QStringLiteral("NCHAR"), n());
        case 11: {
            static const std::array<const char*, 5> formats{"'N2'", "'0.00'", "'#,##0.###'", "'C'",
                                                            "'dd/MM/yyyy'"};
            static const std::array<const char*, 3> cultures{"", ", 'it-IT'", ", 'en-US'"};
            return QStringLiteral("FORMAT(%1, %2%3)")
                .arg(m_c.percent(70) ? n() : expression(Family::Date, d + 1),
                     QLatin1String(pick(m_c, formats)), QLatin1String(pick(m_c, cultures)));
        }
        case 12:
            return QStringLiteral("DATENAME(%1, %2)")
                .arg(QLatin1String(pick(m_c, DateParts)), expression(Family::Date, d + 1));
        case 13:
            return m_c.percent(50) ? QStringLiteral("ISNULL(%1, %2)").arg(t(), t())
                                   : QStringLiteral("COALESCE(%1, %2)").arg(t(), t());
        case 14:
            return QStringLiteral("IIF(%1, %2, %3)").arg(condition(d + 1), t(), t());
        case 15:
        case 16:
            return caseExpression(Family::Text, d);
        case 17:
            return conversion(Family::Text, d);
        default:
            return leaf(Family::Text);
        }
    }

    QString dateExpression(int d) {
        const auto n = [&] { return expression(Family::Number, d + 1); };
        const auto dt = [&] { return expression(Family::Date, d + 1); };
        switch (m_c.below(10)) {
        case 0:
        case 1:
            return QStringLiteral("DATEADD(%1, %2, %3)").arg(QLatin1String(pick(m_c, DateParts)), n(), dt());
        case 2:
            return m_c.percent(80) ? QStringLiteral("CAST(EOMONTH(%1) AS DATETIME)").arg(dt())
                                   : QStringLiteral("EOMONTH(%1, %2)").arg(dt(), n());
        case 3:
            return m_c.percent(80)
                       ? QStringLiteral("CAST(DATEFROMPARTS(%1, %2, %3) AS DATETIME)").arg(n(), n(), n())
                       : QStringLiteral("DATEFROMPARTS(%1, %2, %3)").arg(n(), n(), n());
        case 4:
            return QStringLiteral("ISNULL(%1, %2)").arg(dt(), dt());
        case 5:
            return conversion(Family::Date, d);
        case 6:
            return caseExpression(Family::Date, d);
        case 7:
            // datetime and smalldatetime take a number of days; date and datetime2 do not.
            return leaf(Family::Date) + (m_c.percent(50) ? QStringLiteral(" + ") : QStringLiteral(" - ")) +
                   n();
        default:
            return leaf(Family::Date);
        }
    }

    QString caseExpression(Family f, int d) {
        QString s = QStringLiteral("CASE");
        const bool simple = m_c.percent(30);
        const Family operand = anyFamily();
        if (simple)
            s += u' ' + expression(operand, d + 1);
        const int branches = 1 + int(m_c.below(3));
        for (int k = 0; k < branches; ++k)
            s += QStringLiteral(" WHEN ") + (simple ? expression(operand, d + 1) : condition(d + 1)) +
                 QStringLiteral(" THEN ") + expression(f, d + 1);
        if (m_c.percent(60))
            s += QStringLiteral(" ELSE ") + expression(f, d + 1);
        return s + QStringLiteral(" END");
    }

    QString expression(Family f, int depth) {
        if (depth >= MaxExpressionDepth || m_c.percent(35))
            return leaf(f);
        switch (f) {
        case Family::Number:
            return numberExpression(depth);
        case Family::Text:
            return textExpression(depth);
        case Family::Date:
            return dateExpression(depth);
        }
        return leaf(f);
    }

    QString comparison(int depth) {
        // Mostly within a family; now and then across, for the conversions and their errors.
        const Family a = anyFamily();
        const Family b = m_c.percent(80) ? a : anyFamily();
        static const std::array<const char*, 6> ops{" = ", " <> ", " < ", " > ", " <= ", " >= "};
        switch (m_c.below(8)) {
        case 0:
            return expression(a, depth + 1) +
                   (m_c.percent(50) ? QStringLiteral(" IS NULL") : QStringLiteral(" IS NOT NULL"));
        case 1:
            return QStringLiteral("%1 %2BETWEEN %3 AND %4")
                .arg(expression(a, depth + 1), m_c.percent(20) ? QStringLiteral("NOT ") : QString(),
                     expression(b, depth + 1), expression(b, depth + 1));
        case 2:
            return QStringLiteral("%1 %2IN (%3, %4, %5)")
                .arg(expression(a, depth + 1), m_c.percent(20) ? QStringLiteral("NOT ") : QString(),
                     expression(b, depth + 1), leaf(b), leaf(b));
        case 3: {
            static const std::array<const char*, 6> patterns{"'N%'",     "'%O%'", "'_O%'",
                                                             "'[A-M]%'", "'%'",   "''"};
            return QStringLiteral("%1 %2LIKE %3")
                .arg(expression(Family::Text, depth + 1),
                     m_c.percent(20) ? QStringLiteral("NOT ") : QString(),
                     QLatin1String(pick(m_c, patterns)));
        }
        default:
            return expression(a, depth + 1) + QLatin1String(pick(m_c, ops)) + expression(b, depth + 1);
        }
    }

    QString condition(int depth) {
        if (depth >= MaxExpressionDepth || m_c.percent(50))
            return comparison(depth);
        switch (m_c.below(4)) {
        case 0:
            return condition(depth + 1) + QStringLiteral(" AND ") + condition(depth + 1);
        case 1:
            return condition(depth + 1) + QStringLiteral(" OR ") + condition(depth + 1);
        case 2:
            return QStringLiteral("NOT (") + condition(depth + 1) + u')';
        default:
            return QStringLiteral("(") + condition(depth + 1) + u')';
        }
    }

    void assignment() {
        const Family f = m_c.percent(85) ? Family::Number : anyFamily();
        const Var target = variable(f, true);
        const Family valueFamily = m_c.percent(85) ? f : anyFamily();
        switch (m_c.below(6)) {
        case 0: {
            static const std::array<const char*, 5> ops{"+=", "-=", "*=", "/=", "%="};
            const QString op =
                f == Family::Number ? QString::fromLatin1(pick(m_c, ops)) : QStringLiteral("+=");
            line(QStringLiteral("SET %1 %2 %3").arg(target.name, op, expression(valueFamily, 0)));
            return;
        }
        case 1: {
            const Var second = variable(anyFamily(), true);
            line(
                QStringLiteral("SELECT %1 = %2, %3 = %4")
                    .arg(target.name, expression(valueFamily, 0), second.name, expression(second.family, 0)));
            return;
        }
        default:
            line(QStringLiteral("SET %1 = %2").arg(target.name, expression(valueFamily, 0)));
        }
    }

    void declareLocal() {
        const Family f = anyFamily();
        const QString name = QStringLiteral("@L%1").arg(++m_localCount);
        const QString type = f == Family::Number ? QString::fromLatin1(pick(m_c, NumberTypes))
                             : f == Family::Text ? QString::fromLatin1(pick(m_c, TextTypes))
                                                 : QString::fromLatin1(pick(m_c, DateTypes));
        line(QStringLiteral("DECLARE %1 %2%3")
                 .arg(name, type, m_c.percent(60) ? QStringLiteral(" = ") + expression(f, 1) : QString()));
        m_locals.push_back({name, f});
    }

    void loop(int depth) {
        const QString counter = QStringLiteral("@I%1").arg(++m_localCount);
        line(QStringLiteral("DECLARE %1 INT = 0").arg(counter));
        line(QStringLiteral("WHILE %1 < %2%3")
                 .arg(counter, QString::number(m_c.below(6)),
                      m_c.percent(30) ? QStringLiteral(" AND ") + condition(1) : QString()));
        line(QStringLiteral("BEGIN"));
        ++m_indent;
        line(QStringLiteral("SET %1 = %1 + 1").arg(counter));
        const int body = 1 + int(m_c.below(3));
        for (int k = 0; k < body && m_statements < MaxStatements; ++k) {
            if (m_c.percent(15))
                line(QStringLiteral("IF %1 %2")
                         .arg(condition(1),
                              m_c.percent(50) ? QStringLiteral("BREAK") : QStringLiteral("CONTINUE")));
            statement(depth + 1);
        }
        --m_indent;
        line(QStringLiteral("END"));
    }

    void rare() {
        switch (m_c.below(6)) {
        case 0:
            line(QStringLiteral("BEGIN"));
            line(QStringLiteral("    THROW 50001, N'Prezzo non valido', 1"));
            line(QStringLiteral("END"));
            return;
        case 1:
            line(QStringLiteral("RAISERROR('Valore %d non ammesso', 16, 1, 42)"));
            return;
        case 2:
            line(m_c.percent(50) ? QStringLiteral("SET DATEFORMAT dmy")
                                 : QStringLiteral("SET DATEFORMAT ymd"));
            return;
        case 3:
            line(QStringLiteral("RETURN"));
            return;
        case 4:
            line(QStringLiteral("PRINT ") + expression(Family::Text, 1));
            return;
        default:
            line(QStringLiteral("BEGIN TRY"));
            ++m_indent;
            assignment();
            --m_indent;
            line(QStringLiteral("END TRY"));
            line(QStringLiteral("BEGIN CATCH"));
            ++m_indent;
            line(QStringLiteral("SET @OUTSC1PERC = ERROR_NUMBER() % 1000"));
            line(QStringLiteral("SET @DO41_CODPROGETTO = LEFT(ERROR_MESSAGE(), 25)"));
            line(QStringLiteral("SET @OUTSC2PERC = ERROR_LINE() % 1000"));
            --m_indent;
            line(QStringLiteral("END CATCH"));
        }
    }

    // The body of an IF, an ELSE or a loop: one statement, a block when it takes several.
    void body(int depth) {
        if (m_c.percent(60) || depth >= MaxStatementDepth || m_statements >= MaxStatements) {
            ++m_statements;
            assignment();
            return;
        }
        line(QStringLiteral("BEGIN"));
        ++m_indent;
        statement(depth);
        --m_indent;
        line(QStringLiteral("END"));
    }

    void statement(int depth) {
        ++m_statements;
        const bool nested = depth < MaxStatementDepth && m_statements < MaxStatements;
        const unsigned k = m_c.below(20);
        if (k < 9 || !nested) {
            assignment();
        } else if (k < 13) {
            line(QStringLiteral("IF ") + condition(0));
            ++m_indent;
            body(depth + 1);
            --m_indent;
            if (m_c.percent(50)) {
                line(QStringLiteral("ELSE"));
                ++m_indent;
                body(depth + 1);
                --m_indent;
            }
        } else if (k < 15) {
            line(QStringLiteral("BEGIN"));
            ++m_indent;
            const int count = 1 + int(m_c.below(3));
            for (int n = 0; n < count && m_statements < MaxStatements; ++n)
                statement(depth + 1);
            --m_indent;
            line(QStringLiteral("END"));
        } else if (k < 17) {
            declareLocal();
        } else if (k < 19) {
            loop(depth);
        } else {
            rare();
        }
    }

    Choices& m_c;
    QString m_text;
    int m_indent = 0;
    int m_statements = 0;
    int m_localCount = 0;
    std::vector<Var> m_locals;
    Var m_scratch;
    QStringList m_categoryIds;
    QStringList m_variantCodes;
};

// ---- rows ----

const std::array<const char*, 14> NumberTexts{
    "0", "1",       "-1",     "12.5",       "100", "0.001",          "-0.5",
    "3", "1000000", "99.999", "2147483647", "42",  "9999999999.999", "7"};
const std::array<const char*, 14> TextValues{"",
                                             "A",
                                             "NORD",
                                             "SUD",
                                             "MPRI",
                                             "PFIN",
                                             "abc",
                                             "è",
                                             "O'B",
                                             "  x ",
                                             "12.5",
                                             "ROSSO",
                                             "una descrizione lunga più del campo",
                                             "日本"};
const std::array<const char*, 8> DateValues{"2024-01-31",
                                            "2024-02-29 23:59:59.997",
                                            "1753-01-01",
                                            "9999-12-31 23:59:59",
                                            "2000-06-15 12:30:00",
                                            "1900-01-01",
                                            "2023-12-31 00:00:00.003",
                                            "2024-03-10 08:15:00"};
const std::array<const char*, 22> NodeValues{
    "ROSSO",     "rosso",    "",    " ",
    "2.5",       "3",        "-1",  "1",
    "0",         "abc",      "1e2", "12345678901.123456",
    "0.0000001", "è",        "€",   "una descrizione più lunga di venti",
    "  7  ",     "1.",       ".5",  "+4",
    "BLU",       "ELETTRICA"};
const std::array<const char*, 9> OddKeys{"abc", "1.5",         "",    " 123 ", "0123", "123.000000",
                                         "-0",  "99999999999", "V01 "};

tsql::Value valueFor(Choices& c, const tsql::SqlType& type) {
    if (c.percent(15))
        return tsql::Value::nullOf(type);
    QString text;
    if (type.isString())
        text = QString::fromUtf8(pick(c, TextValues));
    else if (type.isDate())
        text = QString::fromLatin1(pick(c, DateValues));
    else
        text = QString::fromLatin1(pick(c, NumberTexts));
    try {
        return tsql::convert(tsql::Value::str(text, true), type, false);
    } catch (const tsql::SqlError&) {
        return tsql::Value::nullOf(type); // out of the type's range: the row leaves it NULL
    }
}

std::vector<Node> nodesFor(Choices& c, const QStringList& keys) {
    std::vector<Node> nodes;
    if (c.percent(10))
        return nodes; // the document is NULL
    for (const QString& key : keys) {
        if (c.percent(15))
            continue; // absent
        const int copies = c.percent(10) ? 2 : 1;
        for (int k = 0; k < copies; ++k)
            nodes.push_back({key, c.percent(5)
                                      ? std::nullopt
                                      : std::optional<QString>(QString::fromUtf8(pick(c, NodeValues)))});
    }
    const int noise = int(c.below(3));
    for (int k = 0; k < noise; ++k) {
        std::optional<QString> key;
        if (!c.percent(15))
            key = c.percent(50) ? QString::fromLatin1(pick(c, OddKeys))
                                : QString::fromLatin1(pick(c, CategoryIds));
        nodes.insert(nodes.begin() + c.below(unsigned(nodes.size() + 1)),
                     Node{key, std::optional<QString>(QString::fromUtf8(pick(c, NodeValues)))});
    }
    return nodes;
}

QStringList distinct(QStringList list) {
    list.removeDuplicates();
    return list;
}

} // namespace

GeneratedFormula generateFormula(Choices& choices) {
    Generator g(choices);
    GeneratedFormula f = g.run();
    f.categoryIds = distinct(f.categoryIds);
    f.variantCodes = distinct(f.variantCodes);
    return f;
}

InputRow generateRow(Choices& choices, const std::vector<Declared>& variables, const QStringList& categoryIds,
                     const QStringList& variantCodes) {
    InputRow row;
    for (const Declared& v : variables)
        row.values.insert(v.name, valueFor(choices, v.type));
    row.categories = nodesFor(choices, categoryIds);
    row.variants = nodesFor(choices, variantCodes);
    return row;
}

QStringList categoryIdsIn(const QString& formula) {
    QStringList out;
    for (const QString& v : refs::markerValues(formula, refs::Kind::Category))
        out << refs::trimBlanks(v);
    return distinct(out);
}

QStringList variantCodesIn(const QString& formula) {
    QStringList out;
    for (const QString& v : refs::markerValues(formula, refs::Kind::Variant))
        if (const auto code = refs::variantCodeOfValue(v))
            out << *code;
    return distinct(out);
}

} // namespace differential
