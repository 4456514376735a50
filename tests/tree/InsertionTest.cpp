#include "tree/Insertion.h"

#include <gtest/gtest.h>

#include <QStringList>

using tree::composeInsertion;
using tree::InsertionRequest;
using tree::InsertionResult;

namespace {

QString italian(const QString& s) {
    return s;
}

struct InsertionCase {
    const char* name;
    QString text;
    std::optional<QString> parent;
    std::optional<QString> grandparent;
    QString box;
    int boxCaret;
    int caretPosition;
    // expected
    QString insertion;
    int rule;
    QString newText;
    std::optional<int> caret;
};

class InsertionTable : public ::testing::TestWithParam<InsertionCase> {};

TEST_P(InsertionTable, ComposesTextCaretFocusAndHistory) {
    const InsertionCase& c = GetParam();
    InsertionRequest r;
    r.text = c.text;
    r.parentText = c.parent;
    r.grandparentText = c.grandparent;
    r.boxText = c.box;
    r.boxCaret = c.boxCaret;
    r.caretPosition = c.caretPosition;
    const InsertionResult res = composeInsertion(r, italian);
    EXPECT_TRUE(res.handled);
    EXPECT_EQ(res.insertion, c.insertion);
    EXPECT_EQ(res.rule, c.rule);
    EXPECT_EQ(res.text, c.newText);
    EXPECT_EQ(res.textChanged, res.caret.has_value());
    EXPECT_EQ(res.caret, c.caret);
    EXPECT_TRUE(res.focus);
    EXPECT_TRUE(res.recordHistory);
}

const QString ken = QStringLiteral("Entità anagrafiche");

INSTANTIATE_TEST_SUITE_P(
    Rules, InsertionTable,
    ::testing::Values(
        InsertionCase{"GrossPriceInEmptyBoxBeginsAssignment", "Prezzo lordo", "Quotazione", std::nullopt, "",
                      0, 0, "[Prezzo lordo]", 1, "[Prezzo lordo] = ", 16},
        InsertionCase{"IncomingDiscountAtTen", "Sconto 2%", "Quotazione ingresso", std::nullopt,
                      "SET [Sconto 1%] = 5", 3, 10, "[Sconto 2% - IN]", 2,
                      "SET [Scont [Sconto 2% - IN] o 1%] = 5", 28},
        InsertionCase{"CurrentQuotation", "Sconto importo", "Quotazione corrente", std::nullopt, "x", 0, 1,
                      "[Sconto importo - CURR]", 3, "x [Sconto importo - CURR] ", 1 + 23 + 2},
        InsertionCase{"ParentCaptionRightTrimmed", "Sconto 1%", "Quotazione   ", std::nullopt, "a b", 0, 1,
                      "[Sconto 1%]", 1, "a [Sconto 1%]  b", 1 + 11 + 2},
        InsertionCase{"EntityFieldUnderRoot", "Famiglia", "Articolo", ken, "SET [Prezzo lordo] = 1", 0, 0,
                      "[Famiglia]", 4, " [Famiglia] SET [Prezzo lordo] = 1", 12},
        InsertionCase{"GrandparentNotTrimmed", "Famiglia", "Articolo", ken + u' ', "x", 0, 1, "Famiglia", 0,
                      "x Famiglia ", 1 + 8 + 2},
        InsertionCase{"OperatorBare", "AND", "Operatori logici", std::nullopt, "IF a = 1 THEN", 0, 8, "AND",
                      0, "IF a = 1 AND  THEN", 13},
        InsertionCase{"OperatorInEmptyBoxNotAnAssignment", "(", "Delimitatori", std::nullopt, "", 0, 0, "(",
                      0, " ( ", 3},
        InsertionCase{"CategoryValue", "C01 - Privati", "Categoria commerciale", QStringLiteral("Articolo"),
                      "x", 0, 1, "{C01 - Privati}", 6, "x {C01 - Privati} ", 1 + 15 + 2},
        InsertionCase{"CategoryUnderEntityRootStillBraced", "C01 - Privati", "Categoria commerciale", ken,
                      "x", 0, 1, "{C01 - Privati}", 6, "x {C01 - Privati} ", 18},
        InsertionCase{"VariantValue", "V01 - Colore", "Codice variante", QStringLiteral("Configuratore"), "x",
                      0, 0, "|V01 - Colore|", 5, " |V01 - Colore| x", 16},
        InsertionCase{"OtherSubBranchNoDelimiters", "V01 - Colore", "Varianti",
                      QStringLiteral("Configuratore"), "x", 0, 0, "V01 - Colore", 0, " V01 - Colore x", 14},
        InsertionCase{"PositionBeyondEndAppends", "OR", "Operatori logici", std::nullopt, "ab", 0, 40, "OR",
                      0, "ab OR ", 44},
        InsertionCase{"NegativePositionInsertsAtStart", "OR", "Operatori logici", std::nullopt, "ab", 0, -1,
                      "OR", 0, " OR ab", 3},
        InsertionCase{"BlankBoxCaretAtZeroKeepsBlanks", "NOT", "Operatori logici", std::nullopt, "  ", 0, 5,
                      "NOT", 0, " NOT   ", 10},
        InsertionCase{"BlankBoxCaretAfterBlanksInsertsNothing", "Prezzo lordo", "Quotazione", std::nullopt,
                      "   ", 3, 3, "[Prezzo lordo]", 1, "   ", std::nullopt},
        InsertionCase{"EmptyBoxQuotationUsesRememberedPosition", "Prezzo lordo", "Quotazione", std::nullopt,
                      "\n", 0, 7, "[Prezzo lordo]", 1, "[Prezzo lordo] = ", 14 + 7 + 2}),
    [](const ::testing::TestParamInfo<InsertionCase>& test) { return std::string(test.param.name); });

TEST(Insertion, BranchesAndMissingNodesDoNothing) {
    int calls = 0;
    const auto counting = [&](const QString& s) {
        ++calls;
        return s;
    };
    InsertionRequest branch;
    branch.text = QStringLiteral("Quotazione");
    branch.hasChildren = true;
    branch.boxText = QStringLiteral("abc");
    branch.caretPosition = 2;
    InsertionRequest none = branch;
    none.hasChildren = false;
    none.hasNode = false;
    InsertionRequest topLevel = branch;
    topLevel.hasChildren = false;
    for (const InsertionRequest& r : {branch, none, topLevel}) {
        const InsertionResult res = composeInsertion(r, counting);
        EXPECT_FALSE(res.handled);
        EXPECT_FALSE(res.textChanged);
        EXPECT_EQ(res.text, QStringLiteral("abc"));
        EXPECT_FALSE(res.caret);
        EXPECT_FALSE(res.focus);
        EXPECT_FALSE(res.recordHistory);
    }
    EXPECT_EQ(calls, 0);
}

TEST(Insertion, CaptionsComeFromTheTranslationWhenEachRuleIsTested) {
    QStringList asked;
    const auto english = [&](const QString& s) {
        asked << s;
        if (s == QStringLiteral("Quotazione ingresso"))
            return QStringLiteral("Incoming quotation");
        if (s == QStringLiteral("Entità anagrafiche"))
            return QStringLiteral("Master data");
        return s;
    };
    InsertionRequest r;
    r.text = QStringLiteral("Discount 2%");
    r.parentText = QStringLiteral("Incoming quotation");
    r.grandparentText = QStringLiteral("Quotations");
    r.boxText = QStringLiteral("x");
    EXPECT_EQ(composeInsertion(r, english).insertion, QStringLiteral("[Discount 2% - IN]"));
    EXPECT_EQ(asked, (QStringList{"Quotazione", "Quotazione ingresso", "Quotazione corrente",
                                  "Entità anagrafiche", "Codice variante", "Categoria commerciale"}));

    // The Italian caption no longer matches once translated.
    r.parentText = QStringLiteral("Quotazione ingresso");
    EXPECT_EQ(composeInsertion(r, english).rule, 0);

    // Without a grandparent the entity rule is not tested at all.
    asked.clear();
    r.grandparentText.reset();
    composeInsertion(r, english);
    EXPECT_FALSE(asked.contains(QStringLiteral("Entità anagrafiche")));
}

TEST(Insertion, LaterRuleWins) {
    // A caption that is both the translated "Quotazione" and "Categoria commerciale".
    const auto same = [](const QString& s) {
        return s == QStringLiteral("Quotazione") || s == QStringLiteral("Categoria commerciale")
                   ? QStringLiteral("X")
                   : s;
    };
    InsertionRequest r;
    r.text = QStringLiteral("t");
    r.parentText = QStringLiteral("X");
    r.grandparentText = QStringLiteral("Entità anagrafiche");
    r.boxText = QStringLiteral("");
    const InsertionResult res = composeInsertion(r, same);
    EXPECT_EQ(res.rule, 6);
    EXPECT_EQ(res.insertion, QStringLiteral("{t}"));
    // Rule 1 matched too, so the empty box begins an assignment with the final text.
    EXPECT_EQ(res.text, QStringLiteral("{t} = "));
}

TEST(Insertion, TranslationFailureReachesTheCaller) {
    InsertionRequest r;
    r.text = QStringLiteral("t");
    r.parentText = QStringLiteral("p");
    const auto failing = [](const QString&) -> QString {
        throw core::ComError(91, QStringLiteral("no service"));
    };
    EXPECT_THROW(composeInsertion(r, failing), core::ComError);
}

TEST(ExpandCollapse, PlanSelectsSecondNodeOnlyWhenExpanding) {
    struct Case {
        bool expand;
        int count;
        int nodes;
        std::optional<int> select;
        bool overflow;
    };
    const Case cases[] = {
        {true, 0, 0, std::nullopt, false},
        {true, 1, 1, std::nullopt, false},
        {true, 2, 2, 1, false},
        {true, 120, 120, 1, false},
        {false, 120, 120, std::nullopt, false},
        {true, 32766, 32766, 1, false},
        {true, 32767, 32767, std::nullopt, true},
        {false, 40000, 32767, std::nullopt, true},
    };
    for (const Case& c : cases) {
        const tree::ExpandPlan plan = tree::expandStrutturaTree(c.expand, c.count);
        EXPECT_EQ(plan.nodes, c.nodes) << c.count;
        EXPECT_EQ(plan.select, c.select) << c.count;
        EXPECT_EQ(plan.error.has_value(), c.overflow) << c.count;
        if (plan.error) {
            EXPECT_EQ(plan.error->number, core::err::Overflow);
        }
    }
}

} // namespace
