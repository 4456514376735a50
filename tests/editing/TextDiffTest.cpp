#include "editing/TextDiff.h"

#include <gtest/gtest.h>

namespace {

using editing::DiffItem;
using editing::DiffOp;

TEST(TextDiff, UnifiedDiffOfSmallTexts) {
    const struct {
        const char* name;
        const char* from;
        const char* to;
        const char* expected;
    } cases[] = {
        {"same", "a\nb\n", "a\nb", ""},
        {"same, other line breaks", "a\r\nb\r\n", "a\nb\n", ""},
        {"both empty", "", "", ""},
        {"one line changed", "a\nb\nc\n", "a\nB\nc\n", "--- v1\n+++ v2\n@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n"},
        {"added to an empty text", "", "x\ny", "--- v1\n+++ v2\n@@ -0,0 +1,2 @@\n+x\n+y\n"},
        {"emptied", "x", "", "--- v1\n+++ v2\n@@ -1 +0,0 @@\n-x\n"},
        {"a line inserted between far lines", "1\n2\n3\n4\n5\n6\n7\n8\n9\n",
         "1\n2\n3\n4\n5\nnew\n6\n7\n8\n9\n",
         "--- v1\n+++ v2\n@@ -3,6 +3,7 @@\n 3\n 4\n 5\n+new\n 6\n 7\n 8\n"},
        {"two hunks", "a\n1\n2\n3\n4\n5\n6\n7\n8\nb\n", "A\n1\n2\n3\n4\n5\n6\n7\n8\nB\n",
         "--- v1\n+++ v2\n@@ -1,4 +1,4 @@\n-a\n+A\n 1\n 2\n 3\n@@ -7,4 +7,4 @@\n 6\n 7\n 8\n-b\n+B\n"},
        {"changes six equal lines apart join one hunk", "a\n1\n2\n3\n4\n5\n6\nb\n",
         "A\n1\n2\n3\n4\n5\n6\nB\n",
         "--- v1\n+++ v2\n@@ -1,8 +1,8 @@\n-a\n+A\n 1\n 2\n 3\n 4\n 5\n 6\n-b\n+B\n"},
        {"the last line goes", "a\nb\nc", "a\nb", "--- v1\n+++ v2\n@@ -1,3 +1,2 @@\n a\n b\n-c\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(editing::unifiedDiff(QString::fromUtf8(c.from), QString::fromUtf8(c.to),
                                       QStringLiteral("v1"), QStringLiteral("v2")),
                  QString::fromUtf8(c.expected))
            << c.name;
    }
}

TEST(TextDiff, ScriptIsALongestCommonSubsequence) {
    const QStringList from = {"x", "a", "b", "c", "y", "d"};
    const QStringList to = {"a", "z", "b", "d", "c"};
    const QList<DiffItem> items = editing::diffItems(from, to);
    QStringList rebuiltFrom;
    QStringList rebuiltTo;
    int equal = 0;
    for (const DiffItem& item : items) {
        if (item.op != DiffOp::Insert)
            rebuiltFrom << item.text;
        if (item.op != DiffOp::Delete)
            rebuiltTo << item.text;
        equal += item.op == DiffOp::Equal ? 1 : 0;
    }
    EXPECT_EQ(rebuiltFrom, from);
    EXPECT_EQ(rebuiltTo, to);
    EXPECT_EQ(equal, 3); // a, b and c (or d)
}

// Beyond the table's limit the middle is replaced as a whole: still both texts, in bounded memory.
TEST(TextDiff, LongTextsFallBackToAWholeReplacement) {
    QStringList from;
    QStringList to;
    for (int i = 0; i < 3000; ++i) {
        from << QStringLiteral("line %1").arg(i);
        to << QStringLiteral("line %1").arg(i % 2 == 0 ? i : -i);
    }
    const QList<DiffItem> items = editing::diffItems(from, to);
    // The common first line stays; everything after it is removed, then added.
    ASSERT_EQ(items.size(), 1 + 2 * 2999);
    EXPECT_EQ(items.at(0), (DiffItem{DiffOp::Equal, QStringLiteral("line 0")}));
    EXPECT_EQ(items.at(1).op, DiffOp::Delete);
    EXPECT_EQ(items.at(3000).op, DiffOp::Insert);
    EXPECT_EQ(items.last(), (DiffItem{DiffOp::Insert, QStringLiteral("line -2999")}));
}

TEST(TextDiff, LinesOfAText) {
    EXPECT_EQ(editing::textLines(QString()), QStringList());
    EXPECT_EQ(editing::textLines(QStringLiteral("\n")), QStringList({QString()}));
    EXPECT_EQ(editing::textLines(QStringLiteral("a\r\n\rb\nc")), QStringList({"a", "", "b", "c"}));
}

} // namespace
