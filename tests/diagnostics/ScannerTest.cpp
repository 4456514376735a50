// The scanner of the display form: kinds of piece, elements and their resolution, line states.
#include "diagnostics/ElementCatalog.h"
#include "diagnostics/FormulaScanner.h"

#include <gtest/gtest.h>

using namespace diagnostics;

namespace {

QString describe(const QString& text, const std::vector<Span>& spans) {
    QStringList parts;
    static const char* names[] = {"kw", "str", "num", "com", "var", "label", "cat", "vnt", "unb"};
    for (const Span& s : spans)
        parts << QStringLiteral("%1%2:%3").arg(QLatin1String(names[int(s.kind)]), s.unknown ? "!" : "",
                                               text.mid(s.start, s.length));
    return parts.join(u' ');
}

} // namespace

TEST(FormulaScanner, EveryKindOfPiece) {
    const ElementCatalog catalog = ElementCatalog::withLists({{"C01", "C01 - Colore"}}, {{"V01", "V01 - X"}});
    const FormulaScanner scanner(&catalog);
    const QString text = QStringLiteral("IF {C01 - Colore} = 'a' AND |V01 - X| = 2.5 -- [Prezzo lordo]\n"
                                        "SET [Prezzo lordo] = [Ignoto] + @x /* c */ + {C9 - Y} ]");
    EXPECT_EQ(
        describe(text, scanner.scanText(text)),
        QStringLiteral("kw:IF cat:{C01 - Colore} str:'a' kw:AND vnt:|V01 - X| num:2.5 com:-- [Prezzo lordo] "
                       "kw:SET label:[Prezzo lordo] label!:[Ignoto] var:@x com:/* c */ cat!:{C9 - Y} unb:]"));
}

TEST(FormulaScanner, StringsAndCommentsRunAcrossLines) {
    const FormulaScanner scanner;
    std::vector<Span> spans;
    int state = scanner.scanLine(u"SET @a = 'one", FormulaScanner::Normal, spans);
    EXPECT_NE(state, FormulaScanner::Normal);
    spans.clear();
    state = scanner.scanLine(u"two' /* open /* nested */", state, spans);
    EXPECT_NE(state, FormulaScanner::Normal);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].kind, TokenKind::String);
    EXPECT_EQ(spans[0].length, 4);
    spans.clear();
    state = scanner.scanLine(u"still */ [Prezzo lordo]", state, spans);
    EXPECT_EQ(state, FormulaScanner::Normal);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].kind, TokenKind::Comment);
    EXPECT_EQ(spans[1].kind, TokenKind::Label);
}

TEST(FormulaScanner, QuoteInsideAReferenceDoesNotOpenAString) {
    const ElementCatalog catalog = ElementCatalog::withLists({{"C01", "C01 - Colore dell'auto"}}, {});
    const FormulaScanner scanner(&catalog);
    const QString text = QStringLiteral("IF {C01 - Colore dell'auto} = 'ROSSO' SET [Sconto 1%] = 1");
    EXPECT_EQ(
        describe(text, scanner.scanText(text)),
        QStringLiteral("kw:IF cat:{C01 - Colore dell'auto} str:'ROSSO' kw:SET label:[Sconto 1%] num:1"));
}

TEST(FormulaScanner, MatchingDelimiterAtTheCaret) {
    const FormulaScanner scanner;
    const QString line = QStringLiteral("SET [Prezzo lordo] = {C01 - x");
    std::vector<Span> spans;
    scanner.scanLine(line, FormulaScanner::Normal, spans);
    auto m = FormulaScanner::matchDelimiter(spans, line, 4);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->other, 17);
    m = FormulaScanner::matchDelimiter(spans, line, 18); // right after "]"
    ASSERT_TRUE(m);
    EXPECT_EQ(m->at, 17);
    EXPECT_EQ(m->other, 4);
    m = FormulaScanner::matchDelimiter(spans, line, 21);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->other, -1); // an unbalanced brace
}
