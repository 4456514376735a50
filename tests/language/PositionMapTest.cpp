// The map from positions of the SQL form back to positions of the display form that the
// display-to-SQL translation records.
#include "LanguageFixture.h"

#include "language/PositionMap.h"

using language::PositionMap;

TEST(PositionMap, PlainTextAndReplacementsMapBack) {
    // "ab[X]cd[YY]e" -> "ab@1cd@22e": [X] at 2..5 became @1 (2), [YY] at 7..11 became @22 (3).
    PositionMap map;
    map.apply({{2, 3, 2}, {7, 4, 3}});
    EXPECT_EQ(map.toSource(0), 0);
    EXPECT_EQ(map.toSource(2), 2);
    EXPECT_EQ(map.toSource(3), 2); // inside a replacement: where the element starts
    EXPECT_TRUE(map.isReplaced(3));
    EXPECT_EQ(map.toSource(4), 5); // "c"
    EXPECT_EQ(map.toSource(6), 7); // "@22"
    EXPECT_EQ(map.toSource(9), 11);
    EXPECT_EQ(map.sourceRange(6, 9), std::make_pair(qsizetype(7), qsizetype(11)));
}

TEST(PositionMap, LaterRoundsComposeWithEarlierOnes) {
    // "[A] x {C}" -> "@AA x {C}" -> "@AA x @PLACE"
    PositionMap map;
    map.apply(0, 3, 3);
    map.apply(6, 3, 6);
    EXPECT_EQ(map.toSource(4), 4);
    EXPECT_EQ(map.sourceRange(6, 12), std::make_pair(qsizetype(6), qsizetype(9)));
    // A third round replacing across both spans covers both sources.
    map.apply(0, 12, 1);
    EXPECT_EQ(map.sourceRange(0, 1), std::make_pair(qsizetype(0), qsizetype(9)));
}

class PositionMapTranslation : public LanguageFixture {};

// Category sub-queries of different lengths (a text category and a numeric one, each with its own
// value column) stand between the labels: every label still maps to its own place.
TEST_F(PositionMapTranslation, NormalModeMapsPastSubQueriesOfDifferentLengths) {
    language::FormulaLanguage lang(services());
    const QString display = QStringLiteral("IF {C01 - Colore} = 'ROSSO' AND {C02 - Altezza massima} > 3\r\n"
                                           "   SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50");
    PositionMap map;
    const QString sql = lang.decodeToken(display, false, &map);
    ASSERT_TRUE(sql.contains(categoryQuery("VARCHAR(20)", "123")));
    ASSERT_TRUE(sql.contains(categoryQuery("DECIMAL(17,6)", "124")));
    EXPECT_EQ(map.toSource(sql.indexOf("@OUTPREZZO")), display.indexOf("[Prezzo lordo]"));
    EXPECT_EQ(map.toSource(sql.indexOf("@ATTPREZZO")), display.indexOf("[Prezzo lordo - CURR]"));
    EXPECT_EQ(map.toSource(sql.indexOf("> 3")), display.indexOf("> 3"));
    EXPECT_EQ(map.toSource(sql.indexOf("'ROSSO'")), display.indexOf("'ROSSO'"));
    const qsizetype second = sql.indexOf(categoryQuery("DECIMAL(17,6)", "124"));
    const auto [start, end] = map.sourceRange(second + 10, second + 20);
    EXPECT_EQ(start, display.indexOf("{C02"));
    EXPECT_EQ(end, display.indexOf("} > 3") + 1);
}

TEST_F(PositionMapTranslation, CheckModeMapsPastPlaceholdersOfReferencesOfDifferentLengths) {
    language::FormulaLanguage lang(services());
    const QString display = QStringLiteral(
        "IF {C01 - Colore} = 'A' AND {C02 - Altezza massima} = 1 AND |V01 - Colore scocca| = 'B' "
        "SET [Sconto 1%] = @x");
    PositionMap map;
    const QString sql = lang.decodeToken(display, true, &map);
    EXPECT_TRUE(statements.isEmpty());
    EXPECT_EQ(map.toSource(sql.indexOf("@x")), display.indexOf("@x"));
    EXPECT_EQ(map.toSource(sql.indexOf("= 1")), display.indexOf("= 1"));
    EXPECT_EQ(map.toSource(sql.indexOf("@DO30_CODART_MG66")), display.indexOf("|V01"));
}

// A translated label that holds a bracket makes the dictionary step replace label by label:
// the map follows that path too.
TEST_F(PositionMapTranslation, LabelByLabelReplacementIsMappedAsWell) {
    translateHook = [](const QString& text) {
        return text == QLatin1String("Famiglia") ? QStringLiteral("Fam[iglia") : text;
    };
    language::FormulaLanguage lang(services());
    const QString display = QStringLiteral("IF [Fam[iglia] = 'X' SET [Prezzo lordo] = @y");
    PositionMap map;
    const QString sql = lang.decodeToken(display, true, &map);
    ASSERT_TRUE(sql.contains("@MG66_FAM_MG53"));
    EXPECT_EQ(map.toSource(sql.indexOf("@y")), display.indexOf("@y"));
    EXPECT_EQ(map.toSource(sql.indexOf("@OUTPREZZO")), display.indexOf("[Prezzo lordo]"));
}
