// Completion of the engine's words after Ctrl+Space, and the highlighter's colours on a light
// and on a dark palette.

#include "diagnostics/WordCompletion.h"
#include "diagnostics/FormulaHighlighter.h"

#include <QPalette>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using diagnostics::completeWord;
using diagnostics::wordBefore;
using diagnostics::WordCandidate;

QStringList shown(const QList<WordCandidate>& list) {
    QStringList out;
    for (const WordCandidate& c : list)
        out << c.shown;
    return out;
}

TEST(WordCompletion, PrefixesAnyCase) {
    const struct {
        const char* prefix;
        const char* first;    // the first candidate shown, or null for none
        const char* inserted; // what it inserts
    } cases[] = {
        {"rou", "ROUND(numeric_expression, length [, function])", "ROUND("},
        {"ROUND", "ROUND(numeric_expression, length [, function])", "ROUND("},
        {"dateA", "DATEADD(datepart, number, date)", "DATEADD("},
        {"getd", "GETDATE()", "GETDATE("},
        {"sel", "SELECT", "SELECT"},
        {"xyz", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const QList<WordCandidate> found = completeWord(QString::fromLatin1(c.prefix));
        if (c.first == nullptr) {
            EXPECT_TRUE(found.isEmpty()) << c.prefix;
            continue;
        }
        ASSERT_FALSE(found.isEmpty()) << c.prefix;
        EXPECT_EQ(found.first().shown, QString::fromLatin1(c.first)) << c.prefix;
        EXPECT_EQ(found.first().inserted, QString::fromLatin1(c.inserted)) << c.prefix;
    }
}

TEST(WordCompletion, AWordThatIsBothFunctionAndKeywordIsOfferedAsBoth) {
    const QStringList left = shown(completeWord(QStringLiteral("left")));
    EXPECT_EQ(left, (QStringList{QStringLiteral("LEFT(character_expression, integer_expression)"),
                                 QStringLiteral("LEFT")}));
    // Functions come first, every candidate starts with the prefix.
    const QList<WordCandidate> d = completeWord(QStringLiteral("d"));
    bool keywords = false;
    for (const WordCandidate& c : d) {
        EXPECT_TRUE(c.inserted.startsWith(u'D'));
        if (!c.function)
            keywords = true;
        else
            EXPECT_FALSE(keywords) << c.shown.toStdString();
    }
}

TEST(WordCompletion, WordBeforeTheCaret) {
    const struct {
        const char* line;
        int column;
        const char* word;
    } cases[] = {
        {"SET @a = rou", 12, "rou"}, {"SET @a = rou", 10, "r"}, {"SET @a", 6, ""},
        {"x = 12", 6, ""},           {"x = a1", 6, "a1"},       {"", 0, ""},
        {"abc", 99, "abc"},          {"abc", -3, ""},           {"[Prezzo] + is", 13, "is"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wordBefore(QString::fromLatin1(c.line), c.column), QString::fromLatin1(c.word))
            << c.line << " @" << c.column;
}

// The contrast ratio of two colours (1 to 21) as the accessibility guidelines define it.
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette paletteOf(const QColor& base, const QColor& text) {
    QPalette p;
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Window, base);
    p.setColor(QPalette::WindowText, text);
    return p;
}

TEST(HighlighterColours, LegibleOnLightAndDarkPalettes) {
    using diagnostics::FormulaHighlighter;
    using diagnostics::TokenKind;
    const QPalette palettes[] = {paletteOf(Qt::white, Qt::black),
                                 paletteOf(QColor(0x1E, 0x1E, 0x1E), QColor(0xD4, 0xD4, 0xD4)),
                                 paletteOf(QColor(0x2B, 0x2B, 0x2B), Qt::white),
                                 paletteOf(QColor(0xF0, 0xF0, 0xF0), QColor(0x20, 0x20, 0x20))};
    const TokenKind kinds[] = {TokenKind::Keyword,  TokenKind::String,   TokenKind::Number,
                               TokenKind::Comment,  TokenKind::Variable, TokenKind::Label,
                               TokenKind::Category, TokenKind::Variant,  TokenKind::Unbalanced};
    for (const QPalette& p : palettes) {
        for (TokenKind kind : kinds) {
            const QTextCharFormat f = FormulaHighlighter::formatOf(kind, false, p);
            const QColor back =
                f.background().style() == Qt::NoBrush ? p.color(QPalette::Base) : f.background().color();
            // Comments are quieter on purpose; the rest reads as body text does.
            const double least = kind == TokenKind::Comment ? 3.0 : 4.5;
            EXPECT_GE(contrast(f.foreground().color(), back), least)
                << "kind " << int(kind) << " on base " << p.color(QPalette::Base).name().toStdString();
        }
    }
}

TEST(HighlighterColours, LightPaletteKeepsTheDesignedHues) {
    using diagnostics::FormulaHighlighter;
    using diagnostics::TokenKind;
    const QPalette light = paletteOf(Qt::white, Qt::black);
    EXPECT_EQ(FormulaHighlighter::formatOf(TokenKind::Keyword, false, light).foreground().color(),
              QColor(0x00, 0x33, 0x99));
    const QPalette dark = paletteOf(QColor(0x1E, 0x1E, 0x1E), QColor(0xD4, 0xD4, 0xD4));
    const QColor keyword = FormulaHighlighter::formatOf(TokenKind::Keyword, false, dark).foreground().color();
    EXPECT_NE(keyword, QColor(0x00, 0x33, 0x99));
    EXPECT_NEAR(keyword.toHsl().hue(), QColor(0x00, 0x33, 0x99).toHsl().hue(), 2);
}

} // namespace
