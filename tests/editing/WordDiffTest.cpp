// The word diff of two display texts: its units, its pieces, and its bounds on long input.

#include "editing/WordDiff.h"

#include <gtest/gtest.h>

namespace {

using editing::DiffItem;
using editing::DiffOp;

QString joined(const QList<DiffItem>& pieces, DiffOp skip) {
    QString text;
    for (const DiffItem& p : pieces)
        if (p.op != skip)
            text += p.text;
    return text;
}

TEST(WordDiff, UnitsSplitWordsBlanksLineBreaksAndSigns) {
    const struct {
        const char* text;
        QStringList units;
    } cases[] = {
        {"", {}},
        {"SET [Prezzo lordo] = 7", {"SET", " ", "[", "Prezzo", " ", "lordo", "]", " ", "=", " ", "7"}},
        {"a\r\nb\rc\n\nd", {"a", "\r\n", "b", "\r", "c", "\n", "\n", "d"}},
        {"x_1 \t y<=0.5", {"x_1", " \t ", "y", "<", "=", "0", ".", "5"}},
        {"città''", {"città", "'", "'"}},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(editing::wordUnits(text), c.units) << c.text;
        EXPECT_EQ(editing::wordUnits(text).join(QString()), text) << c.text;
    }
}

TEST(WordDiff, PiecesJoinSameKindsAndGiveBothTextsBack) {
    const struct {
        const char* from;
        const char* to;
        QList<DiffItem> pieces;
    } cases[] = {
        {"", "", {}},
        {"SET a = 7", "SET a = 7", {{DiffOp::Equal, "SET a = 7"}}},
        {"SET a = 7",
         "SET a = 8",
         {{DiffOp::Equal, "SET a = "}, {DiffOp::Delete, "7"}, {DiffOp::Insert, "8"}}},
        {"", "SET a", {{DiffOp::Insert, "SET a"}}},
        {"SET a", "", {{DiffOp::Delete, "SET a"}}},
        {"IF x THEN y",
         "IF x AND z THEN y",
         {{DiffOp::Equal, "IF x "}, {DiffOp::Insert, "AND z "}, {DiffOp::Equal, "THEN y"}}},
        // A changed word is replaced whole, not letter by letter.
        {"prezzo", "prezzi", {{DiffOp::Delete, "prezzo"}, {DiffOp::Insert, "prezzi"}}},
    };
    for (const auto& c : cases) {
        const QString from = QString::fromUtf8(c.from);
        const QString to = QString::fromUtf8(c.to);
        const QList<DiffItem> pieces = editing::wordDiff(from, to);
        EXPECT_EQ(pieces, c.pieces) << c.from << " -> " << c.to;
        EXPECT_EQ(joined(pieces, DiffOp::Insert), from);
        EXPECT_EQ(joined(pieces, DiffOp::Delete), to);
    }
}

TEST(WordDiff, LongTextsBeyondTheCellLimitStillGiveBothTextsBack) {
    // 2 x 40,000 words of differing middles: past MaxDiffCells the middle is removed and added
    // whole, the common start and end stay equal.
    QString from = QStringLiteral("SET inizio = 1\n");
    QString to = from;
    for (int i = 0; i < 20'000; ++i) {
        from += QStringLiteral("a%1 ").arg(i);
        to += QStringLiteral("b%1 ").arg(i);
    }
    from += QStringLiteral("\nfine");
    to += QStringLiteral("\nfine");
    const QList<DiffItem> pieces = editing::wordDiff(from, to);
    ASSERT_EQ(pieces.size(), 4);
    EXPECT_EQ(pieces.first().op, DiffOp::Equal);
    EXPECT_EQ(pieces.last(), (DiffItem{DiffOp::Equal, QStringLiteral(" \nfine")}));
    EXPECT_EQ(joined(pieces, DiffOp::Insert), from);
    EXPECT_EQ(joined(pieces, DiffOp::Delete), to);
}

} // namespace
