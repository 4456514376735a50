// The editing commands of the formula box as text operations, and their one step of history.

#include "editing/EditCommands.h"
#include "editing/EditHistory.h"

#include <gtest/gtest.h>

namespace {

using namespace editing;

// "|" marks the caret, "[" and "]" a selection, in the texts of the cases below.
struct Marked {
    QString text;
    int start = 0;
    int end = 0;
};

Marked parse(const char* marked) {
    Marked m;
    int open = -1;
    for (const QChar c : QString::fromUtf8(marked)) {
        if (c == u'|')
            m.start = m.end = int(m.text.size());
        else if (c == u'[')
            open = int(m.text.size());
        else if (c == u']') {
            m.start = open;
            m.end = int(m.text.size());
        } else
            m.text.append(c);
    }
    return m;
}

QString render(const QString& text, int start, int end) {
    QString out = text;
    if (start == end)
        return out.insert(start, u'|');
    out.insert(end, u']');
    return out.insert(start, u'[');
}

TEST(ToggleLineComment, Table) {
    const struct {
        const char* before;
        const char* after; // null: no change
    } cases[] = {
        {"SET @a = 1|", "-- SET @a = 1|"},
        {"|SET @a = 1", "-- |SET @a = 1"},
        {"-- SET @a = 1|", "SET @a = 1|"},
        {"--SET @a = 1|", "SET @a = 1|"},
        {"  -- x|", "  x|"},
        {"[a\nb]", "[-- a\n-- b]"},
        {"[a\n  b\n]c", "[-- a\n--   b\n]c"},       // the line after a selection's end stays
        {"  [a\n\n    b]", "  [-- a\n\n  --   b]"}, // smallest indentation, blank line kept
        {"[-- a\nb]", "[-- -- a\n-- b]"},           // mixed: everything is commented
        {"[-- a\n\n  -- b]", "[a\n\n  b]"},
        {"a\n|\nb", nullptr}, // a blank line alone
        {"|", nullptr},
        {"x = 1 -- note|", "-- x = 1 -- note|"},
    };
    for (const auto& c : cases) {
        const Marked m = parse(c.before);
        const std::optional<TextChange> change = toggleLineComment(m.text, m.start, m.end);
        if (c.after == nullptr) {
            EXPECT_FALSE(change.has_value()) << c.before;
            continue;
        }
        ASSERT_TRUE(change.has_value()) << c.before;
        EXPECT_EQ(render(applied(m.text, *change), change->selStart, change->selEnd),
                  QString::fromUtf8(c.after))
            << c.before;
    }
}

TEST(ToggleLineComment, TwiceGivesTheTextBack) {
    const QString text = QStringLiteral("SET @a = 1\n  IF @a > 0\n\n    SET @b = 2");
    const auto on = toggleLineComment(text, 0, int(text.size()));
    ASSERT_TRUE(on);
    const QString commented = applied(text, *on);
    const auto off = toggleLineComment(commented, on->selStart, on->selEnd);
    ASSERT_TRUE(off);
    EXPECT_EQ(applied(commented, *off), text);
}

TEST(ToggleLineComment, AReversedSelectionIsReadInOrder) {
    const QString text = QStringLiteral("-- a\nb");
    EXPECT_EQ(toggleLineComment(text, 6, 2), toggleLineComment(text, 2, 6));
}

TEST(ToggleLineComment, PositionsOutsideTheTextAreClamped) {
    const auto change = toggleLineComment(QStringLiteral("ab"), -5, 99);
    ASSERT_TRUE(change);
    EXPECT_EQ(applied(QStringLiteral("ab"), *change), QStringLiteral("-- ab"));
}

TEST(GoToLine, Table) {
    const QString text = QStringLiteral("one\ntwo\n\nfour");
    EXPECT_EQ(lineCount(text), 4);
    EXPECT_EQ(lineCount(QString()), 1);
    const struct {
        int line;
        std::optional<int> start;
    } cases[] = {{1, 0}, {2, 4}, {3, 8}, {4, 9}, {5, std::nullopt}, {0, std::nullopt}, {-1, std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(lineStart(text, c.line), c.start) << c.line;
    EXPECT_EQ(lineStart(QString(), 1), 0);
}

TEST(Find, Table) {
    const QString text = QStringLiteral("SET [Prezzo] = prezzo + Prezzo2 * PREZZO");
    const struct {
        const char* needle;
        int from;
        bool matchCase, wholeWord, backward;
        int expected; // -1: none
    } cases[] = {
        {"prezzo", 0, false, false, false, 5},
        {"prezzo", 6, false, false, false, 15},
        {"prezzo", 6, true, false, false, 15},
        {"Prezzo", 6, true, false, false, 24},
        {"prezzo", 16, false, true, false, 34}, // Prezzo2 is no whole word
        {"prezzo", 35, false, true, false, 5},  // round the end
        {"prezzo", 40, false, false, true, 34}, // backward: the last one before
        {"prezzo", 34, false, false, true, 24},
        {"prezzo", 5, false, false, true, 34}, // backward round the start
        {"PREZZO", 0, true, true, false, 34},
        {"", 0, false, false, false, -1},
        {"absent", 0, false, false, false, -1},
        {"SET [Prezzo] = prezzo + Prezzo2 * PREZZO and more", 0, false, false, false, -1},
    };
    for (const auto& c : cases) {
        const auto found =
            findMatch(text, QString::fromUtf8(c.needle), c.from, {c.matchCase, c.wholeWord}, c.backward);
        EXPECT_EQ(found ? found->start : -1, c.expected) << c.needle << " from " << c.from;
    }
}

TEST(Find, WholeWordAtTheEdgesAndAfterDigits) {
    const FindOptions word{false, true};
    EXPECT_EQ(findAll(QStringLiteral("a a_a a1 a"), QStringLiteral("a"), word),
              (QList<Match>{{0, 1}, {9, 1}}));
    // Overlapping occurrences are counted once each, left to right.
    EXPECT_EQ(findAll(QStringLiteral("aaaa"), QStringLiteral("aa"), {}), (QList<Match>{{0, 2}, {2, 2}}));
}

TEST(Replace, Table) {
    const struct {
        const char* text;
        const char* needle;
        const char* replacement;
        bool matchCase, wholeWord;
        const char* expected;
        int count;
    } cases[] = {
        {"a + A + ab", "a", "b", false, false, "b + b + bb", 3},
        {"a + A + ab", "a", "b", true, false, "b + A + bb", 2},
        {"a + A + ab", "a", "b", false, true, "b + b + ab", 2},
        {"aaa", "a", "aa", false, false, "aaaaaa", 3}, // the replacement is not searched again
        {"x", "", "y", false, false, "x", 0},
        {"[Sconto 1%] + [Sconto 1%]", "[Sconto 1%]", "0", false, false, "0 + 0", 2},
        {"abc", "abc", "", false, false, "", 1},
    };
    for (const auto& c : cases) {
        const Replacement r = replaceAll(QString::fromUtf8(c.text), QString::fromUtf8(c.needle),
                                         QString::fromUtf8(c.replacement), {c.matchCase, c.wholeWord});
        EXPECT_EQ(r.text, QString::fromUtf8(c.expected)) << c.text;
        EXPECT_EQ(r.count, c.count) << c.text;
    }
}

TEST(Replace, LongTextStaysLinear) {
    // A text of the box's largest size with a match every few characters is replaced in one pass.
    const QString text = QStringLiteral("ab ").repeated(100'000);
    const Replacement r = replaceAll(text, QStringLiteral("ab"), QStringLiteral("x"), {false, true});
    EXPECT_EQ(r.count, 100'000);
    EXPECT_EQ(r.text.size(), 200'000);
}

TEST(RecordEdit, OneStepBackToTheTextBefore) {
    core::StringTextBox box;
    EditHistory history(box);
    // Typed text never recorded: the command records it before its change.
    box.setText(QStringLiteral("SET @a = 1"));
    history.recordEdit([&] { box.setText(QStringLiteral("-- SET @a = 1")); });
    EXPECT_EQ(history.UndoIndex(), 2);
    history.UndoFormula();
    EXPECT_EQ(box.text(), QStringLiteral("SET @a = 1"));
    history.RedoFormula();
    EXPECT_EQ(box.text(), QStringLiteral("-- SET @a = 1"));
    // The text is the current snapshot already: one snapshot only.
    history.recordEdit([&] { box.setText(QStringLiteral("SET @a = 1")); });
    EXPECT_EQ(history.UndoIndex(), 3);
    history.UndoFormula();
    EXPECT_EQ(box.text(), QStringLiteral("-- SET @a = 1"));
}

} // namespace
