// A stored formula through the window and back: the lines a save of the text shown at load would
// change, and those a save would change although the user did not edit them.
#include "editing/RoundTrip.h"
#include "language/StoredFormulas.h"

#include <gtest/gtest.h>

namespace {

using editing::changedByRoundTrip;
using editing::untouchedChanges;

// The window shows the stored form with every doubled apostrophe single; the SQL form of a text
// here is the text itself (no labels), so the round trip loses exactly what the load loses.
QString shown(const QString& stored) {
    return language::singledQuotes(stored);
}

TEST(RoundTrip, LinesChangedByTheLoad) {
    struct Case {
        const char* name;
        QString stored;
        QList<int> lines;
    };
    const Case cases[] = {
        {"no apostrophes", QStringLiteral("SET @OUTPREZZO = 1"), {}},
        {"single apostrophes", QStringLiteral("IF @X = 'A'\nSET @OUTPREZZO = 1"), {}},
        {"empty", QString(), {}},
        {"doubled apostrophe", QStringLiteral("SET @OUTPREZZO = LEN('l''ora')"), {1}},
        {"doubled apostrophe on the third line",
         QStringLiteral("SET @A = 1\nSET @B = 2\r\nSET @C = LEN('l''ora')"),
         {3}},
        {"two lines", QStringLiteral("SET @A = 'x''y'\nSET @B = 2\nSET @C = ''''"), {1, 3}},
        {"empty string literal", QStringLiteral("SET @A = ''"), {1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(changedByRoundTrip(c.stored, shown(c.stored)), c.lines) << c.name;
    // CR LF and LF are the same line end; a line added at the end is told by the last line.
    EXPECT_TRUE(changedByRoundTrip(QStringLiteral("A\nB"), QStringLiteral("A\r\nB")).isEmpty());
    EXPECT_EQ(changedByRoundTrip(QStringLiteral("A\nB"), QStringLiteral("A\nB\n")), QList<int>{2});
    EXPECT_EQ(changedByRoundTrip(QStringLiteral("A\nB\nC"), QStringLiteral("A\nB")), QList<int>{3});
}

TEST(RoundTrip, ChangesInLinesTheUserDidNotEdit) {
    const QString stored = QStringLiteral("SET @A = LEN('l''ora')\nSET @B = 2\nSET @C = 3");
    const QString loaded = shown(stored);
    struct Case {
        const char* name;
        QString current;
        QList<int> untouched;
    };
    const Case cases[] = {
        {"saved untouched", loaded, {1}},
        {"another line edited", QStringLiteral("SET @A = LEN('l'ora')\nSET @B = 20\nSET @C = 3"), {1}},
        {"a line added at the end", loaded + QStringLiteral("\nSET @D = 4"), {1}},
        {"the line itself repaired", QStringLiteral("SET @A = LEN('l''ora')\nSET @B = 2\nSET @C = 3"), {}},
        {"the line itself edited otherwise", QStringLiteral("SET @A = LEN('x')\nSET @B = 2\nSET @C = 3"), {}},
        {"a line inserted before it", QStringLiteral("SET @Z = 0\n") + loaded, {1}},
        {"everything replaced", QStringLiteral("SET @OUTPREZZO = 1"), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(untouchedChanges(stored, shown(stored), loaded, c.current, c.current), c.untouched)
            << c.name;
}

TEST(RoundTrip, NothingToAskWhenTheLoadKeepsTheFormula) {
    const QString stored = QStringLiteral("IF @X = 'A'\nSET @OUTPREZZO = 1");
    EXPECT_TRUE(untouchedChanges(stored, stored, stored, QStringLiteral("X"), QStringLiteral("X")).isEmpty());
    // A lossy load, but the text to write is the stored one.
    const QString lossy = QStringLiteral("SET @A = 'l''ora'");
    EXPECT_TRUE(untouchedChanges(lossy, shown(lossy), shown(lossy), lossy, lossy).isEmpty());
}

TEST(RoundTrip, TranslationsThatDoNotKeepTheLinesAreAskedAbout) {
    // The SQL form has a line more than the display form: no line-by-line reading, every
    // changed line is told.
    const QString stored = QStringLiteral("SET @A = 'l''ora'\nSET @B = 1");
    const QString resaved = QStringLiteral("SET @A = 'l'ora'\nSET @B = 1");
    EXPECT_EQ(untouchedChanges(stored, resaved, QStringLiteral("one line only"), QStringLiteral("edited"),
                               resaved + QStringLiteral("\nextra")),
              QList<int>{1});
}

} // namespace
