#include "core/Error.h"
#include "tables/ElementTables.h"
#include "tables/FormulaTables.h"
#include "tables/Literals.h"

#include <gtest/gtest.h>

namespace {

TEST(ElementTables, TreeStatementsExactTexts) {
    EXPECT_EQ(tables::rootsStatement(),
              QStringLiteral(" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE  FROM  LP14_CAMPI "
                             "WITH (NOLOCK)  WHERE LP14_PARENT     IS NULL    AND "
                             "LP14_ISATTIVO   = 1  ORDER BY LP14_PROGVISUA ASC "));
    EXPECT_EQ(
        tables::childrenStatement(core::Variant::fromDecimal(core::Decimal::fromInt64(300))),
        QStringLiteral(" SELECT LP14_INDELEMENTO, LP14_DESCRIZIONE  FROM  LP14_CAMPI WITH (NOLOCK)  WHERE "
                       "LP14_PARENT     = 300   AND LP14_ISATTIVO   = 1  ORDER BY LP14_PROGVISUA ASC "));
    EXPECT_EQ(
        tables::categoriesStatement(QStringLiteral("1")),
        QStringLiteral(" SELECT CM01_IDCATEGORIA, RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) AS "
                       "DESCRIZIONE  FROM  CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 1 ORDER "
                       "BY CM01_CODICE ASC "));
    EXPECT_EQ(
        tables::variantsStatement(QStringLiteral("7")),
        QStringLiteral(" SELECT MG5F_CODICEVAR, RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) AS "
                       "DESCRIZIONE  FROM  MG5F_DIMECONF WITH (NOLOCK)  WHERE MG5F_DITTA_CG18 = 7 ORDER BY "
                       "MG5F_CODICEVAR ASC "));
    EXPECT_EQ(
        tables::categoriesTestStatement(QStringLiteral("12")),
        QStringLiteral(" SELECT TOP 1 1  FROM CM01_CATEGORIECOMM WITH (NOLOCK)  WHERE CM01_DITTA_CG18 = 12"));
}

// The look-ups of the translation, with the texts they read for the documented examples, and
// codes that carry quotes of their own: the literal doubles them, so a code never ends it early.
TEST(ElementTables, LookUpStatementsExactTexts) {
    struct Case {
        const char* name;
        QString statement;
        const char* expected;
    };
    const Case cases[] = {
        {"category id", tables::categoryIdStatement(QStringLiteral("C01")),
         "SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='C01'"},
        {"category id, quoted code", tables::categoryIdStatement(QStringLiteral("C'01'; DROP TABLE X --")),
         "SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='C''01''; DROP TABLE X --'"},
        {"data type", tables::categoryDataTypeStatement(QStringLiteral("123")),
         " SELECT CM01_INDTIPODATO  FROM CM01_CATEGORIECOMM  WHERE CM01_IDCATEGORIA = 123"},
        {"category label", tables::categoryLabelStatement(QStringLiteral("123")),
         "SELECT RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) FROM CM01_CATEGORIECOMM WHERE  "
         "CM01_IDCATEGORIA =123"},
        {"category label, trailing blanks", tables::categoryLabelStatement(QStringLiteral(" 123  ")),
         "SELECT RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) FROM CM01_CATEGORIECOMM WHERE  "
         "CM01_IDCATEGORIA = 123"},
        {"variant label", tables::variantLabelStatement(QStringLiteral("V01")),
         "SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) FROM MG5F_DIMECONF WHERE  "
         "MG5F_CODICEVAR ='V01'"},
        {"variant label, quoted code", tables::variantLabelStatement(QStringLiteral("V'1")),
         "SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) FROM MG5F_DIMECONF WHERE  "
         "MG5F_CODICEVAR ='V''1'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.statement, QString::fromUtf8(c.expected)) << c.name;
}

TEST(FormulaTables, SelectStatementsReadTheFormulaColumn) {
    EXPECT_EQ(*tables::formulaSelectStatement(0, QStringLiteral("42")),
              QStringLiteral("SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 42"));
    EXPECT_EQ(*tables::formulaSelectStatement(1, QStringLiteral("42")),
              QStringLiteral("SELECT  LP07_FORMULE AS FORMULA FROM  LP07_QUOTAZIONI  WHERE  LP07_ID = 42"));
    EXPECT_EQ(*tables::formulaSelectStatement(2, QStringLiteral("42")),
              QStringLiteral("SELECT  LP17_FORMULA AS FORMULA FROM  LP17_FORMULEMANUT  WHERE  LP17_ID = 42"));
}

TEST(FormulaTables, IdentifierIsWrittenAsItsDecimalText) {
    EXPECT_EQ(tables::identifierText(core::Variant::fromInt32(12)), QStringLiteral("12"));
    EXPECT_EQ(tables::identifierText(core::Variant(QStringLiteral("42"))), QStringLiteral("42"));
    EXPECT_EQ(tables::identifierText(core::Variant::fromDouble(7)), QStringLiteral("7"));
    EXPECT_EQ(tables::identifierText(core::Variant()), QStringLiteral("0"));
    EXPECT_THROW(tables::identifierText(core::Variant(QStringLiteral("abc"))), core::ComError);
}

} // namespace
