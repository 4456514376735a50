// Batches of 64 KB that nest or chain as deep as their size allows: each gives a result or
// Msg 191, never a crash (the sanitizer build runs them on the main thread's stack).

#include "tsql/Session.h"
#include "tsql/text/Parser.h"

#include "TestDb.h"

#include <gtest/gtest.h>

#include <functional>

using tsql::RunResult;
using tsql::Session;

namespace {

constexpr qsizetype kInput = 64 * 1024;

// `head`, then `piece` as often as fits in 64 KB, then `tail` as often.
QString repeated(const QString& head, const QString& piece, const QString& middle = QString(),
                 const QString& closing = QString(), const QString& end = QString()) {
    const qsizetype unit = piece.size() + closing.size();
    const qsizetype n = std::max<qsizetype>(1, (kInput - head.size() - middle.size() - end.size()) / unit);
    return head + piece.repeated(n) + middle + closing.repeated(n) + end;
}

QString numbered(const QString& head, const QString& pattern, int count, const QString& end) {
    QString s = head;
    for (int k = 0; k < count; ++k)
        s += pattern.arg(k);
    return s + end;
}

constexpr int kNestedTooDeeply = 191;
constexpr int kAnyError = -1;
constexpr int kResult = 0;

struct NestingCase {
    const char* name;
    std::function<QString()> batch;
    int expect;        // kResult, kNestedTooDeeply, another message number, or kAnyError
    const char* value; // kResult: first cell of the last result set, or the last message
};

const QString kTimes1 = QStringLiteral("+1");

const NestingCase kCases[] = {
    // Operators read in a loop make trees as deep as they are long.
    {"SET with a chain of +", [] { return repeated(QStringLiteral("DECLARE @x INT SET @x = 1"), kTimes1); },
     kNestedTooDeeply, nullptr},
    {"SELECT with a chain of +", [] { return repeated(QStringLiteral("SELECT 1"), kTimes1); },
     kNestedTooDeeply, nullptr},
    {"chain of *", [] { return repeated(QStringLiteral("SELECT 1"), QStringLiteral("*1")); },
     kNestedTooDeeply, nullptr},
    {"chain of - and /", [] { return repeated(QStringLiteral("SELECT 1"), QStringLiteral("-1/1")); },
     kNestedTooDeeply, nullptr},
    {"string concatenation", [] { return repeated(QStringLiteral("SELECT 'a'"), QStringLiteral("+'a'")); },
     kNestedTooDeeply, nullptr},
    {"chain of AND",
     [] { return repeated(QStringLiteral("IF 1=1"), QStringLiteral(" AND 1=1"), {}, {}, " PRINT 1"); },
     kNestedTooDeeply, nullptr},
    {"chain of OR",
     [] { return repeated(QStringLiteral("IF 1=0"), QStringLiteral(" OR 1=0"), {}, {}, " PRINT 1"); },
     kNestedTooDeeply, nullptr},
    {"chain over a column",
     [] {
         return repeated(QStringLiteral("SELECT LP01_ID"), QStringLiteral("+LP01_ID"), {}, {},
                         " FROM LP01_PROVIDER");
     },
     kNestedTooDeeply, nullptr},
    {"chain of AND over a column",
     [] {
         return repeated(QStringLiteral("SELECT 1 FROM LP14_CAMPI WHERE LP14_ISATTIVO = 1"),
                         QStringLiteral(" AND LP14_ISATTIVO = 1"));
     },
     kNestedTooDeeply, nullptr},
    {"chained xml methods",
     [] {
         return repeated(QStringLiteral("DECLARE @x XML = '<a/>' SELECT @x"), QStringLiteral(".query('a')"));
     },
     kNestedTooDeeply, nullptr},
    {"chain of UNION", [] { return repeated(QStringLiteral("SELECT 1"), QStringLiteral(" UNION SELECT 1")); },
     kNestedTooDeeply, nullptr},
    {"chain of joins",
     [] {
         return numbered(QStringLiteral("SELECT 1 FROM LP14_CAMPI t"),
                         QStringLiteral(" JOIN LP14_CAMPI t%1 ON 1=1"), 2500, QString());
     },
     kAnyError, nullptr},
    // Nesting written out: the parser's calls nest with it.
    {"parentheses",
     [] { return repeated(QStringLiteral("SELECT "), QStringLiteral("("), QStringLiteral("1"), ")"); },
     kNestedTooDeeply, nullptr},
    {"parentheses around sums",
     [] { return repeated(QStringLiteral("SELECT "), QStringLiteral("(1+"), QStringLiteral("1"), ")"); },
     kNestedTooDeeply, nullptr},
    {"sub-queries",
     [] { return repeated(QStringLiteral("SELECT "), QStringLiteral("(SELECT "), QStringLiteral("1"), ")"); },
     kNestedTooDeeply, nullptr},
    {"EXISTS",
     [] {
         return repeated(QStringLiteral("SELECT 1 WHERE "), QStringLiteral("EXISTS (SELECT 1 WHERE "),
                         QStringLiteral("1=1"), ")");
     },
     kNestedTooDeeply, nullptr},
    {"derived tables",
     [] {
         return repeated(QStringLiteral("SELECT * FROM "), QStringLiteral("(SELECT * FROM "),
                         QStringLiteral("LP14_CAMPI"), ") d");
     },
     kNestedTooDeeply, nullptr},
    {"function calls",
     [] { return repeated(QStringLiteral("SELECT "), QStringLiteral("ABS("), QStringLiteral("1"), ")"); },
     kNestedTooDeeply, nullptr},
    {"CASE in CASE",
     [] {
         return repeated(QStringLiteral("SELECT "), QStringLiteral("CASE WHEN 1=1 THEN "),
                         QStringLiteral("1"), " END");
     },
     kNestedTooDeeply, nullptr},
    {"NOT", [] { return repeated(QStringLiteral("IF "), QStringLiteral("NOT "), {}, {}, "1=1 PRINT 1"); },
     kNestedTooDeeply, nullptr},
    {"unary minus",
     [] { return repeated(QStringLiteral("SELECT "), QStringLiteral("- "), QStringLiteral("1")); },
     kNestedTooDeeply, nullptr},
    {"BEGIN ... END",
     [] { return repeated(QString(), QStringLiteral("BEGIN "), QStringLiteral("PRINT 1"), " END"); },
     kNestedTooDeeply, nullptr},
    {"IF in IF", [] { return repeated(QString(), QStringLiteral("IF 1=1 "), QStringLiteral("PRINT 1")); },
     kNestedTooDeeply, nullptr},
    {"WHILE in WHILE",
     [] { return repeated(QString(), QStringLiteral("WHILE 1=0 "), QStringLiteral("PRINT 1")); },
     kNestedTooDeeply, nullptr},
    {"TRY in TRY",
     [] {
         return repeated(QString(), QStringLiteral("BEGIN TRY "), QStringLiteral("PRINT 1"),
                         " END TRY BEGIN CATCH END CATCH");
     },
     kNestedTooDeeply, nullptr},
    {"xml nested as deep as it goes",
     [] {
         return repeated(QStringLiteral("DECLARE @x XML = '"), QStringLiteral("<a>"), QString(), "</a>",
                         "' SELECT @x.query('/a')");
     },
     6335, nullptr},
    // Long but flat: these work.
    {"CASE with thousands of WHEN",
     [] {
         return numbered(QStringLiteral("DECLARE @i INT = 2999 SELECT CASE"),
                         QStringLiteral(" WHEN @i = %1 THEN %1"), 3000, QStringLiteral(" END"));
     },
     kResult, "2999"},
    {"CASE over a column with thousands of WHEN",
     [] {
         return numbered(QStringLiteral("SELECT CASE"), QStringLiteral(" WHEN LP01_ID = %1 THEN %1"), 3000,
                         QStringLiteral(" ELSE -1 END FROM LP01_PROVIDER"));
     },
     kResult, "42"},
    {"IN with thousands of values",
     [] {
         return numbered(QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI WHERE LP14_INDELEMENTO IN (-1"),
                         QStringLiteral(", %1"), 8000, QStringLiteral(")"));
     },
     kResult, "4"},
    {"IF ... ELSE IF chain of 20,000",
     [] {
         return numbered(QStringLiteral("DECLARE @i INT = 19999 IF @i = -1 PRINT -1"),
                         QStringLiteral(" ELSE IF @i = %1 PRINT %1"), 20000,
                         QStringLiteral(" ELSE PRINT 'none'"));
     },
     kResult, "19999"},
    {"thousands of statements in one block",
     [] {
         return "DECLARE @i INT = 0 BEGIN " + QStringLiteral("SET @i += 1 ").repeated(5000) + "END PRINT @i";
     },
     kResult, "5000"},
    // Formulas of a realistic size.
    {"chain of 300 terms", [] { return QStringLiteral("SELECT 1") + kTimes1.repeated(299); }, kResult, "300"},
    {"chain of 300 terms over a column",
     [] {
         return QStringLiteral("SELECT LP01_ID") + QStringLiteral("+LP01_ID").repeated(299) +
                " FROM LP01_PROVIDER";
     },
     kResult, "12600"},
    {"chain of 300 conditions over a column",
     [] {
         return QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI WHERE LP14_INDELEMENTO > 0") +
                QStringLiteral(" AND LP14_INDELEMENTO > 0").repeated(299);
     },
     kResult, "4"},
    {"concatenation of 300 strings",
     [] { return QStringLiteral("SELECT LEN('a'") + QStringLiteral("+'a'").repeated(299) + ")"; }, kResult,
     "300"},
    {"ELSE IF chain of 300",
     [] {
         return numbered(QStringLiteral("DECLARE @i INT = 299 IF @i = -1 PRINT -1"),
                         QStringLiteral(" ELSE IF @i = %1 PRINT %1"), 300, QString());
     },
     kResult, "299"},
    {"xml nested 100 levels",
     [] {
         return QStringLiteral("DECLARE @x XML = '") + QStringLiteral("<a>").repeated(100) + "v" +
                QStringLiteral("</a>").repeated(100) + "' SELECT @x.value('(//a)[100]', 'VARCHAR(10)')";
     },
     kResult, "v"},
};

QString lastValue(const RunResult& r) {
    if (!r.resultSets.empty() && !r.resultSets.back().rows.empty())
        return tsqltest::firstCell(r, tsqltest::kLastSet);
    return r.messages.empty() ? QStringLiteral("<nothing>") : r.messages.back().text;
}

TEST(Nesting, DeepOrLongBatchesGiveAResultOrMsg191) {
    QSqlDatabase db = tsqltest::makeDb();
    Session session(db);
    for (const NestingCase& c : kCases) {
        const QString batch = c.batch();
        ASSERT_LE(batch.size(), 2 * kInput + 600000) << c.name;
        RunResult r = session.run(batch);
        if (c.expect == kResult) {
            ASSERT_FALSE(r.error.has_value())
                << c.name << ": Msg " << r.error->number << " " << r.error->message.toStdString();
            EXPECT_EQ(lastValue(r), QString::fromUtf8(c.value)) << c.name;
            continue;
        }
        ASSERT_TRUE(r.error.has_value()) << c.name;
        if (c.expect == kAnyError)
            continue;
        EXPECT_EQ(r.error->number, c.expect) << c.name << ": " << r.error->message.toStdString();
        if (c.expect == kNestedTooDeeply) {
            EXPECT_EQ(r.error->level, 15) << c.name;
            EXPECT_EQ(r.error->message,
                      QStringLiteral("Some part of your SQL statement is nested too deeply. "
                                     "Rewrite the query or break it up into smaller queries."))
                << c.name;
        }
    }
    // Still usable afterwards.
    RunResult r = session.run(QStringLiteral("SELECT COUNT(*) FROM LP14_CAMPI"));
    ASSERT_FALSE(r.error.has_value());
    EXPECT_EQ(lastValue(r), QStringLiteral("4"));
}

// The compile-only path (the syntax check's verdict) refuses the same trees.
TEST(Nesting, CompilingAloneRefusesTheSameTrees) {
    QSqlDatabase db = tsqltest::makeDb();
    Session session(db);
    const QString chain = repeated(QStringLiteral("DECLARE @x INT SET @x = 1"), kTimes1);
    auto e = session.compile(chain);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->number, 191);
    EXPECT_THROW(tsql::parseBatch(chain), tsql::SqlError);
    EXPECT_FALSE(
        session.compile(QStringLiteral("DECLARE @x INT SET @x = 1") + kTimes1.repeated(299)).has_value());
}

} // namespace
