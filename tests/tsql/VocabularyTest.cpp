// The words the engine lists for completion: the documented argument list of every function
// agrees with the counts its row of the function table checks, and the keywords are the
// lexer's reserved words.

#include "tsql/Vocabulary.h"
#include "tsql/functions/Functions.h"
#include "tsql/text/Lexer.h"

#include <gtest/gtest.h>

namespace {

struct Slots {
    int required = 0;
    int total = 0;
    bool unbounded = false;
};

// Reads an argument list as the documentation writes it: arguments separated by commas, the
// optional ones in brackets ("a [, b [, c]]", "[seed]"), "...n" for any number more.
Slots slotsOf(const QString& arguments) {
    Slots s;
    if (arguments.isEmpty())
        return s;
    s.unbounded = arguments.contains(QLatin1String("...n"));
    int depth = 0;
    int optionalCommas = 0;
    QString slot;
    auto endSlot = [&] {
        const QString t = slot.trimmed();
        const bool optional = t.startsWith(u'[') && t.endsWith(u']') && t.count(u'[') == 1;
        s.required += optional ? 0 : 1;
        s.total += 1;
        slot.clear();
    };
    for (QChar c : arguments) {
        if (c == u'[')
            ++depth;
        else if (c == u']')
            --depth;
        if (c == u',' && depth == 0)
            endSlot();
        else {
            if (c == u',')
                ++optionalCommas;
            slot.append(c);
        }
    }
    endSlot();
    s.total += optionalCommas;
    return s;
}

TEST(Vocabulary, SlotReaderReadsTheDocumentedForms) {
    const struct {
        const char* text;
        int required, total;
        bool unbounded;
    } cases[] = {
        {"", 0, 0, false},
        {"[seed]", 0, 1, false},
        {"float_expression [, length [, decimal]]", 1, 3, false},
        {"expression1, expression2 [, ...n]", 2, 3, true},
        {"[DISTINCT] expression | *", 1, 1, false},
        {"datepart, number, date", 3, 3, false},
    };
    for (const auto& c : cases) {
        const Slots s = slotsOf(QString::fromLatin1(c.text));
        EXPECT_EQ(s.required, c.required) << c.text;
        EXPECT_EQ(s.total, c.total) << c.text;
        EXPECT_EQ(s.unbounded, c.unbounded) << c.text;
    }
}

TEST(Vocabulary, EveryFunctionsArgumentsAgreeWithItsCounts) {
    const QList<tsql::FunctionSignature> list = tsql::functionList();
    ASSERT_EQ(std::size_t(list.size()), tsql::builtinFunctions().size());
    for (const tsql::FunctionSignature& f : list) {
        const Slots s = slotsOf(f.arguments);
        EXPECT_EQ(s.required, f.minArgs) << f.text().toStdString();
        if (s.unbounded)
            EXPECT_EQ(f.maxArgs, 254) << f.text().toStdString();
        else
            EXPECT_EQ(s.total, f.maxArgs) << f.text().toStdString();
        EXPECT_NE(tsql::findFunction(f.name), nullptr) << f.name.toStdString();
    }
    for (qsizetype k = 1; k < list.size(); ++k)
        EXPECT_LT(list[k - 1].name, list[k].name);
}

TEST(Vocabulary, SignatureText) {
    const QList<tsql::FunctionSignature> list = tsql::functionList();
    const auto find = [&](const char* name) {
        for (const tsql::FunctionSignature& f : list)
            if (f.name == QLatin1String(name))
                return f.text();
        return QString();
    };
    EXPECT_EQ(find("ROUND"), QStringLiteral("ROUND(numeric_expression, length [, function])"));
    EXPECT_EQ(find("GETDATE"), QStringLiteral("GETDATE()"));
    EXPECT_EQ(find("SUM"), QStringLiteral("SUM([DISTINCT] expression)"));
}

TEST(Vocabulary, KeywordsAreTheLexersReservedWords) {
    const QStringList words = tsql::keywordList();
    ASSERT_FALSE(words.isEmpty());
    for (const QString& w : words)
        EXPECT_TRUE(tsql::isReservedKeyword(w)) << w.toStdString();
    for (qsizetype k = 1; k < words.size(); ++k)
        EXPECT_LT(words[k - 1], words[k]);
    for (const char* w : {"SET", "IF", "ELSE", "BEGIN", "END", "CASE", "WHEN", "THEN", "NULL"})
        EXPECT_TRUE(words.contains(QLatin1String(w))) << w;
    // Function names that are not reserved are not offered twice as keywords.
    EXPECT_FALSE(words.contains(QStringLiteral("ROUND")));
}

} // namespace
