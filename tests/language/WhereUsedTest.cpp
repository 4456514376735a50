// The where-used search: which lines of the stored formulas use an element, read by the
// engine's lexer so that strings and comments do not count.

#include "LanguageFixture.h"

#include "language/References.h"
#include "language/WhereUsed.h"

#include <gtest/gtest.h>

namespace {

using language::ElementName;
using language::UsedElement;
using Kind = language::UsedElement::Kind;

const QString kCategory = language::refs::categorySubQuery(0, QStringLiteral(" 123 "));
const QString kVariant = language::refs::variantSubQuery(QStringLiteral("V01")) + u' ';

TEST(WhereUsedLines, VariableOnTwoLinesGivesBothLines) {
    const QString sql =
        QStringLiteral("SET @OUTPREZZO = @ATTPREZZO\nSET @OUTSC1PERC = 1\nSET @OUTPREZZO = 2 * "
                       "@attprezzo");
    EXPECT_EQ(language::usesIn(sql, {Kind::Variable, QStringLiteral("@ATTPREZZO")}), (QList<int>{1, 3}));
}

TEST(WhereUsedLines, OneLineCountsOnce) {
    const QString sql = QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + @ATTPREZZO");
    EXPECT_EQ(language::usesIn(sql, {Kind::Variable, QStringLiteral("@ATTPREZZO")}), (QList<int>{1}));
}

TEST(WhereUsedLines, StringsAndCommentsDoNotCount) {
    const QString sql = QStringLiteral("SET @OUTPREZZO = 1 -- @ATTPREZZO\n"
                                       "/* @ATTPREZZO\n@ATTPREZZO */ PRINT '@ATTPREZZO'\n"
                                       "PRINT N'it''s @ATTPREZZO'\n"
                                       "SET @OUTPREZZO = @ATTPREZZO");
    EXPECT_EQ(language::usesIn(sql, {Kind::Variable, QStringLiteral("@ATTPREZZO")}), (QList<int>{5}));
}

TEST(WhereUsedLines, LongerVariableIsNoUseOfItsPrefix) {
    const QString sql = QStringLiteral("SET @OUTPREZZO = @ATTPREZZOX");
    EXPECT_TRUE(language::usesIn(sql, {Kind::Variable, QStringLiteral("@ATTPREZZO")}).isEmpty());
}

TEST(WhereUsedLines, CategorySubQueryByItsId) {
    const QString sql = QStringLiteral("SET @OUTPREZZO = 1\nIF ") + kCategory +
                        QStringLiteral(" = 'ROSSO' SET @OUTPREZZO = 2");
    EXPECT_EQ(language::usesIn(sql, {Kind::Category, QStringLiteral("123")}), (QList<int>{2}));
    EXPECT_TRUE(language::usesIn(sql, {Kind::Category, QStringLiteral("124")}).isEmpty());
}

TEST(WhereUsedLines, SubQueryTextInsideAStringDoesNotCount) {
    QString quoted = kCategory;
    quoted.replace(QStringLiteral("'"), QStringLiteral("''"));
    const QString sql = QStringLiteral("PRINT '") + quoted + QStringLiteral("'");
    EXPECT_TRUE(language::usesIn(sql, {Kind::Category, QStringLiteral("123")}).isEmpty());
    const QString commented = QStringLiteral("SET @OUTPREZZO = 1 -- ") + kCategory;
    EXPECT_TRUE(language::usesIn(commented, {Kind::Category, QStringLiteral("123")}).isEmpty());
}

TEST(WhereUsedLines, VariantSubQueryByItsCode) {
    const QString sql = QStringLiteral("IF ") + kVariant + QStringLiteral("= 'ROSSO'\nSET @OUTPREZZO = 2");
    EXPECT_EQ(language::usesIn(sql, {Kind::Variant, QStringLiteral("v01")}), (QList<int>{1}));
    EXPECT_TRUE(language::usesIn(sql, {Kind::Variant, QStringLiteral("V02")}).isEmpty());
}

TEST(WhereUsedNames, TheFourForms) {
    const auto same = [](const QString& s) { return s; };
    auto n = language::parseElementName(QStringLiteral("[Sconto 3% - CURR]"), same);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, Kind::Variable);
    EXPECT_EQ(n->text, QStringLiteral("@ATTSC3PERC"));
    n = language::parseElementName(QStringLiteral("@attsc3perc"), same);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->text, QStringLiteral("@ATTSC3PERC"));
    n = language::parseElementName(QStringLiteral("{C01 - Colore}"), same);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, Kind::Category);
    EXPECT_EQ(n->text, QStringLiteral("C01"));
    n = language::parseElementName(QStringLiteral("|V01|"), same);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, Kind::Variant);
    EXPECT_EQ(n->text, QStringLiteral("V01"));
    EXPECT_FALSE(language::parseElementName(QStringLiteral("[No such label]"), same));
    EXPECT_FALSE(language::parseElementName(QStringLiteral("plain"), same));
    EXPECT_FALSE(language::parseElementName(QStringLiteral("||"), same));
}

class WhereUsedSearch : public LanguageFixture {
protected:
    QStringList uses(const QString& element, std::optional<int> context = std::nullopt) {
        language::WhereUsed search(m_connection);
        const auto name = language::parseElementName(element, {});
        if (!name)
            return {QStringLiteral("unknown")};
        const auto resolved = search.resolve(*name);
        if (!resolved)
            return {QStringLiteral("unresolved")};
        QStringList rows;
        search.run(*resolved, context, [&rows](const language::ElementUse& u) {
            rows << QStringLiteral("%1 %2 %3").arg(u.context).arg(u.id).arg(u.line);
        });
        return rows;
    }
};

TEST_F(WhereUsedSearch, EachKindInTheDemoData) {
    exec(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'PRINT ''@ATTPREZZO''\nSET @OUTPREZZO = "
                        "@ATTPREZZO' WHERE LP07_ID = 4"));
    EXPECT_EQ(uses(QStringLiteral("@ATTPREZZO")), (QStringList{"0 1 1", "1 4 2", "2 1 1"}));
    EXPECT_EQ(uses(QStringLiteral("@ATTPREZZO"), 1), (QStringList{"1 4 2"}));
    EXPECT_EQ(uses(QStringLiteral("[Prezzo lordo - CURR]")), (QStringList{"0 1 1", "1 4 2", "2 1 1"}));
    EXPECT_EQ(uses(QStringLiteral("{C01}")), (QStringList{"0 3 1"}));
    EXPECT_EQ(uses(QStringLiteral("{C02}")), (QStringList{"2 2 1"}));
    EXPECT_EQ(uses(QStringLiteral("|V01|")), (QStringList{"1 2 1"}));
    EXPECT_EQ(uses(QStringLiteral("{C99}")), (QStringList{"unresolved"}));
    EXPECT_TRUE(uses(QStringLiteral("@NESSUNA")).isEmpty());
}

TEST_F(WhereUsedSearch, ReadsPastOnePage) {
    const int count = language::StoredFormulaReader::PageSize * 2 + 3;
    for (int i = 0; i < count; ++i)
        exec(QStringLiteral(
                 "INSERT INTO LP17_FORMULEMANUT (LP17_ID, LP17_DESCRIZIONE, LP17_FORMULA) VALUES (%1, "
                 "'x', 'SET @OUTPREZZO = @ATTSC3PERC')")
                 .arg(1000 + i));
    const QStringList rows = uses(QStringLiteral("@ATTSC3PERC"), 2);
    ASSERT_EQ(rows.size(), count);
    EXPECT_EQ(rows.first(), QStringLiteral("2 1000 1"));
    EXPECT_EQ(rows.last(), QStringLiteral("2 %1 1").arg(1000 + count - 1));
}

} // namespace
