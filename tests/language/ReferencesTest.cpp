#include "language/References.h"

#include <gtest/gtest.h>

using namespace language::refs;

namespace {

// The sub-queries as they are stored, written out in full.
const QString kCategory123 =
    "( SELECT  COLS.value('@VALORE', 'VARCHAR(20)') AS VALORE   FROM      "
    "@CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)  WHERE      "
    "COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') = 123 )";
const QString kVariantV01 = "( SELECT  COLS.value('@VALORE', 'CHAR(20)') AS VALORE   FROM      "
                            "@MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS)  WHERE      "
                            "COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') ='V01' )";

struct Extract {
    Kind kind;
    const char* text;
    const char* expected;
};

class ExtractDelimited : public ::testing::TestWithParam<Extract> {};

TEST_P(ExtractDelimited, FirstPair) {
    const Extract e = GetParam();
    EXPECT_EQ(extractDelimited(e.kind, QString::fromUtf8(e.text)), QString::fromUtf8(e.expected)) << e.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractDelimited,
    ::testing::Values(Extract{Kind::Category, "IF {C01 - Colore} = 1", "C01 - Colore"},
                      Extract{Kind::Category, "{a} {b}", "a"}, Extract{Kind::Category, "{}", ""},
                      Extract{Kind::Category, "{}}", "}"}, Extract{Kind::Category, "a } b", ""},
                      Extract{Kind::Category, "{ abc", ""}, Extract{Kind::Category, "{ } {x}", " "},
                      Extract{Kind::Category, "x{", ""}, Extract{Kind::Category, "{a{b}", "a{b"},
                      Extract{Kind::Variant, "|V01 - x|", "V01 - x"}, Extract{Kind::Variant, "a || b", ""},
                      Extract{Kind::Variant, "|||", "|"}, Extract{Kind::Variant, "@a | @b |", " @b "},
                      Extract{Kind::Variant, "|", ""}, Extract{Kind::Category, "", ""}));

TEST(References, CodeIsTheTextBeforeTheFirstSeparator) {
    EXPECT_EQ(referenceCode("C01 - Colore"), "C01");
    EXPECT_EQ(referenceCode("C01 - a - b"), "C01");
    EXPECT_EQ(referenceCode(" C01  - x"), " C01 ");
    EXPECT_EQ(referenceCode("C - x"), "C");
    EXPECT_EQ(referenceCode(" - x"), "");
    EXPECT_EQ(referenceCode("C01"), "");
    EXPECT_EQ(referenceCode("C01-x"), "");
    EXPECT_EQ(extractVariantCode("V01 - Colore scocca"), "V01");
}

TEST(References, SubQueriesCharacterForCharacter) {
    EXPECT_EQ(categorySubQuery(0, "123"), kCategory123);
    QString decimal = kCategory123;
    decimal.replace("VARCHAR(20)", "DECIMAL(17,6)");
    EXPECT_EQ(categorySubQuery(1, "123"), decimal);
    QString flag = kCategory123;
    flag.replace("VARCHAR(20)", "DECIMAL(1)");
    EXPECT_EQ(categorySubQuery(2, "123"), flag);
    // Codes without a column of their own read the value as text.
    EXPECT_EQ(categorySubQuery(7, "123"), kCategory123);
    EXPECT_EQ(categorySubQuery(-1, "123"), kCategory123);
    EXPECT_EQ(variantSubQuery("V01"), kVariantV01);
    EXPECT_EQ(variantSubQueryFromQuoted("'V01'"), kVariantV01);
}

TEST(References, FindInQueryReturnsTheValueUpToTheParenthesis) {
    const QString text = "IF " + kCategory123 + " = 'ROSSO' AND " + kVariantV01;
    qsizetype pos = -1;
    EXPECT_EQ(findCategoryIdInQuery(text, 1, &pos), QString(" 123 "));
    EXPECT_EQ(pos, text.indexOf(QString::fromUtf16(CategoryMarker)));
    // From right after the marker's first character it is no longer found.
    EXPECT_EQ(findCategoryIdInQuery(text, pos + 1), QString(" 123 "));
    EXPECT_EQ(findCategoryIdInQuery(text, pos + 2, &pos), std::nullopt);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(findVariantCodeInQuery(text, 1), QString("'V01' "));
    EXPECT_EQ(findVariantCodeInQuery("COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') =", 1), std::nullopt);
    // The parenthesis is looked for from the second character of the value on.
    EXPECT_EQ(findVariantCodeInQuery("COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') =)x)", 1), QString(")x"));
    EXPECT_EQ(findCategoryIdInQuery("abc", 10), std::nullopt);
}

// The variant look-up from a code as a stored sub-query quotes it (the statements' own texts are
// tested with the stored tables).
TEST(References, VariantLookUpTakesTheQuotedCode) {
    EXPECT_EQ(variantLabelStatement("'V01'"),
              QString("SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) "
                      "FROM MG5F_DIMECONF WHERE  MG5F_CODICEVAR ='V01'"));
    EXPECT_EQ(variantLabelStatement(" 'V01' "), variantLabelStatement("'V01'"));
    EXPECT_EQ(variantLabelStatement("'A'B'"),
              QString("SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) "
                      "FROM MG5F_DIMECONF WHERE  MG5F_CODICEVAR ='A''B'"));
    EXPECT_EQ(variantLabelStatement("V01"), std::nullopt);
    EXPECT_EQ(variantLabelStatement("'"), std::nullopt);
}

TEST(References, BlankTrimsTouchOnlySpaces) {
    EXPECT_EQ(rtrimBlanks("  ab  "), "  ab");
    EXPECT_EQ(trimBlanks("  ab  "), "ab");
    EXPECT_EQ(trimBlanks("\r\n"), "\r\n");
    EXPECT_EQ(trimBlanks("   "), "");
}

} // namespace
