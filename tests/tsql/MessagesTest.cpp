// The catalogue of the engine's messages: every text takes its arguments %1..%n without a gap,
// numbers and levels are the server's ranges, and the texts come out filled in one pass.

#include "tsql/base/Messages.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <set>

using tsql::Msg;

namespace {

TEST(Messages, EveryTextTakesItsArgumentsWithoutAGap) {
    for (const tsql::MessageDef& def : tsql::kMessages) {
        const QString text = QString::fromUtf16(def.text.data(), qsizetype(def.text.size()));
        const int count = tsql::placeholderCount(def.text);
        for (int n = 1; n <= count; ++n)
            EXPECT_TRUE(text.contains(QStringLiteral("%%1").arg(n)))
                << def.number << ": " << text.toStdString();
        EXPECT_GT(def.number, 0) << text.toStdString();
        EXPECT_GE(def.level, 10) << def.number;
        EXPECT_LE(def.level, 25) << def.number;
        EXPECT_GE(def.state, 1) << def.number;
        EXPECT_FALSE(text.isEmpty()) << def.number;
    }
}

TEST(Messages, NoTextIsWrittenTwice) {
    std::set<std::pair<int, std::u16string_view>> seen;
    for (const tsql::MessageDef& def : tsql::kMessages)
        EXPECT_TRUE(seen.insert({def.number, def.text}).second)
            << def.number << ": "
            << QString::fromUtf16(def.text.data(), qsizetype(def.text.size())).toStdString();
}

struct FormatCase {
    const char* name;
    std::u16string_view text;
    QStringList args;
    QString expected;
};

TEST(Messages, FormatFillsEachPlaceholderOnce) {
    const FormatCase cases[] = {
        {"in order", u"a %1 b %2.", {"x", "y"}, "a x b y."},
        {"out of order", u"%2 then %1", {"x", "y"}, "y then x"},
        {"repeated", u"%1 and %1", {"t"}, "t and t"},
        {"an argument's own placeholder stays", u"%1 near %2", {"%2", "z"}, "%2 near z"},
        {"a percent sign that is no placeholder", u"100% of %1 %", {"it"}, "100% of it %"},
        {"empty argument", u"'%1'", {""}, "''"},
        {"no arguments", u"Divide.", {}, "Divide."},
    };
    for (const FormatCase& c : cases) {
        QString filled;
        switch (c.args.size()) {
        case 0:
            filled = tsql::formatMessage(c.text, {});
            break;
        case 1:
            filled = tsql::formatMessage(c.text, {c.args[0]});
            break;
        default:
            filled = tsql::formatMessage(c.text, {c.args[0], c.args[1]});
            break;
        }
        EXPECT_EQ(filled, c.expected) << c.name;
    }
}

TEST(Messages, ARaisedMessageCarriesItsNumberLevelStateAndPlace) {
    const tsql::ServerError e = tsql::serverError<Msg::InvalidObjectName>(3, 7, QStringLiteral("dbo.T"));
    EXPECT_EQ(e.number, 208);
    EXPECT_EQ(e.level, 16);
    EXPECT_EQ(e.state, 1);
    EXPECT_EQ(e.line, 3);
    EXPECT_EQ(e.column, 7);
    EXPECT_EQ(e.message, QStringLiteral("Invalid object name 'dbo.T'."));

    const tsql::ServerError lock = tsql::serverError<Msg::LockTimeout>(0, 0);
    EXPECT_EQ(lock.state, 51);
    EXPECT_EQ(lock.level, 16);

    // Numbers as QString::arg writes them; a literal word as it is.
    EXPECT_EQ(tsql::serverError<Msg::OverflowForType>(1, 0, u"int", 12.5).message,
              QStringLiteral("Arithmetic overflow error for type int, value = 12.5."));
    try {
        tsql::raise<Msg::DivideByZero>();
        FAIL() << "raise returned";
    } catch (const tsql::SqlError& err) {
        EXPECT_EQ(err.error.number, 8134);
        EXPECT_EQ(err.error.line, 0);
        EXPECT_EQ(err.error.message, QStringLiteral("Divide by zero error encountered."));
    }
}

} // namespace
