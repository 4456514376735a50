// The company's categories and variants read a page at a time give the lists the element tree's
// statements give, in the same order.
#include "diagnostics/ElementCatalog.h"

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "core/NullSafe.h"
#include "tables/ElementTables.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace diagnostics;

namespace {

void ensureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "diagnostics_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

// The texts of a list as the element tree's statement returns them.
QStringList treeTexts(ado::Connection& connection, const QString& statement) {
    QStringList texts;
    std::shared_ptr<ado::Recordset> rs = connection.Execute(statement);
    for (; rs && !rs->IsEOF(); rs->MoveNext())
        texts.append(core::RTrimN(rs->GetFields().Item(QStringLiteral("DESCRIZIONE")).Value()).toString());
    return texts;
}

QStringList catalogueTexts(const ElementCatalog& catalog, ElementKind kind) {
    QStringList texts;
    for (qsizetype i = 0; i < catalog.referenceCount(kind); ++i)
        texts.append(catalog.referenceText(kind, i).toString());
    return texts;
}

class CatalogLists : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        const QString cs =
            ado::setup::embeddedConnectionString(m_dir.filePath(QStringLiteral("lists.sqlite")));
        ado::setup::initialize(cs, true);
        m_connection.Open(cs);
        // More rows than a page holds, for company 3.
        m_connection.Execute(QStringLiteral(
            "BEGIN TRANSACTION\n"
            "DECLARE @i INT = 0\n"
            "WHILE @i < 9000 BEGIN\n"
            "  INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR)\n"
            "  VALUES (100000 + @i, 3, 'K' + RIGHT('0000' + CAST(@i AS VARCHAR(4)), 4), 'Voce ' + CAST(@i AS "
            "VARCHAR(4)))\n"
            "  INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR)\n"
            "  VALUES (3, 'W' + RIGHT('0000' + CAST(8999 - @i AS VARCHAR(4)), 4), 'Variante ' + CAST(@i AS "
            "VARCHAR(4)))\n"
            "  SET @i = @i + 1\n"
            "END\n"
            "COMMIT TRANSACTION"));
    }

    void expectTreeLists() {
        core::FunctionServices host({.connection = [this] { return &m_connection; }});
        const ElementCatalog catalog = ElementCatalog::load(host, QStringLiteral("3"));
        ASSERT_TRUE(catalog.listKnown(ElementKind::Category));
        ASSERT_TRUE(catalog.listKnown(ElementKind::Variant));
        const QStringList categories =
            treeTexts(m_connection, tables::categoriesStatement(QStringLiteral("3")));
        const QStringList variants = treeTexts(m_connection, tables::variantsStatement(QStringLiteral("3")));
        EXPECT_GE(categories.size(), 9000);
        EXPECT_EQ(catalogueTexts(catalog, ElementKind::Category), categories);
        EXPECT_EQ(catalogueTexts(catalog, ElementKind::Variant), variants);
        const std::optional<ElementCatalog::Reference> k =
            catalog.findReference(ElementKind::Category, "K4321");
        ASSERT_TRUE(k);
        EXPECT_EQ(k->code, QStringLiteral("K4321"));
        EXPECT_EQ(k->text, QStringLiteral("K4321 - Voce 4321"));
        EXPECT_EQ(k->id, QStringLiteral("104321"));
    }

    QTemporaryDir m_dir;
    ado::Connection m_connection;
};

} // namespace

TEST_F(CatalogLists, PagesGiveTheTreesListsInItsOrder) {
    expectTreeLists();
}

// Codes the server compares as equal, one at the end of a page and one at the start of the
// next: the pages miss one, so the list is read in one statement.
TEST_F(CatalogLists, CodesEqualButForCaseAcrossAPageStillAllThere) {
    for (int at : {4095, 4096, 8191})
        m_connection.Execute(
            QStringLiteral("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, "
                           "CM01_CODICE, CM01_DESCR) VALUES (%1, 3, 'k%2', 'Doppia')")
                .arg(200000 + at)
                .arg(at, 4, 10, QLatin1Char('0')));
    expectTreeLists();
}
