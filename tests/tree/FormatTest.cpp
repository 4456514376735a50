#include "tree/StrutturaTree.h"

#include <gtest/gtest.h>

namespace {

TEST(TreeStatements, ExactTexts) {
    EXPECT_EQ(tree::rootsStatement(),
              QStringLiteral(" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE  FROM  LP14_CAMPI "
                             "WITH (NOLOCK)  WHERE LP14_PARENT     IS NULL    AND "
                             "LP14_ISATTIVO   = 1  ORDER BY LP14_PROGVISUA ASC "));
    EXPECT_EQ(
        tree::childrenStatement(core::Variant::fromDecimal(core::Decimal::fromInt64(300))),
        QStringLiteral(" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE  FROM  LP14_CAMPI WITH (NOLOCK)  WHERE "
                       "LP14_PARENT     = 300   AND LP14_ISATTIVO   = 1  ORDER BY LP14_PROGVISUA ASC "));
    EXPECT_EQ(
        tree::categoriesStatement(QStringLiteral("1")),
        QStringLiteral(" SELECT CM01_IDCATEGORIA, RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) AS "
                       "DESCRIZIONE  FROM  CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 1 ORDER "
                       "BY CM01_CODICE ASC "));
    EXPECT_EQ(
        tree::variantsStatement(QStringLiteral("7")),
        QStringLiteral(" SELECT MG5F_CODICEVAR, RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) AS "
                       "DESCRIZIONE  FROM  MG5F_DIMECONF WITH (NOLOCK)  WHERE MG5F_DITTA_CG18 = 7 ORDER BY "
                       "MG5F_CODICEVAR ASC "));
    EXPECT_EQ(
        tree::categoriesTestStatement(QStringLiteral("12")),
        QStringLiteral(" SELECT TOP 1 1  FROM CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 12"));
}

TEST(TreeKeys, ZeroFilledIds) {
    struct Case {
        core::Variant value;
        int digits;
        const char* expected;
    };
    const Case cases[] = {
        {core::Variant::fromInt32(7), 3, "007"},
        {core::Variant::fromInt32(602), 3, "602"},
        {core::Variant::fromInt32(1234), 3, "1234"},
        {core::Variant::fromInt32(0), 3, "000"},
        {core::Variant("7"), 3, "007"},
        {core::Variant("34"), 3, "034"},
        {core::Variant::fromInt32(12), 10, "0000000012"},
        {core::Variant::fromInt64(12345678901LL), 10, "12345678901"},
        {core::Variant::fromDecimal(core::Decimal::fromInt64(35)), 3, "035"},
        {core::Variant::fromInt32(-5), 3, "-005"},
        {core::Variant("abc"), 3, "abc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tree::formatId(c.value, c.digits), QString::fromUtf8(c.expected)) << c.expected;
}

} // namespace
