// Completion candidates, the words of a search and the help of an element, without widgets.
#include "diagnostics/ElementSearch.h"
#include "ado/Ado.h"
#include "ado/Setup.h"
#include "core/HostServices.h"
#include "diagnostics/ElementHelp.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace diagnostics;

namespace {

std::shared_ptr<const ElementCatalog> lists() {
    return std::make_shared<const ElementCatalog>(
        ElementCatalog::withLists({{"C01", "C01 - Colore", "123"},
                                   {"C02", "C02 - Altezza massima", "124"},
                                   {"C10", "C10 - Colore vernice", "130"}},
                                  {{"V01", "V01 - Colore scocca", {}}, {"V02", "V02 - Motorizzazione", {}}}));
}

QStringList texts(const QList<Candidate>& found) {
    QStringList out;
    for (const Candidate& c : found)
        out.append(c.inserted);
    return out;
}

QStringList complete(const QString& fragment) {
    return texts(ElementSearch(lists()).complete(fragment));
}

} // namespace

TEST(ElementSearch, WordsInAnyOrderIgnoringCaseAccentsAndApostrophes) {
    EXPECT_EQ(complete(QStringLiteral("[quantita 1")).value(0), QStringLiteral("[Quantita' 1 (di riga)]"));
    EXPECT_TRUE(
        complete(QStringLiteral("[riga quantità 1")).contains(QStringLiteral("[Quantita' 1 (di riga)]")));
    EXPECT_TRUE(complete(QStringLiteral("[QUANTITA'")).contains(QStringLiteral("[Quantita' 2 (di riga)]")));
    EXPECT_EQ(complete(QStringLiteral("[lordo curr prezzo")),
              QStringList{QStringLiteral("[Prezzo lordo - CURR]")});
    EXPECT_TRUE(complete(QStringLiteral("[nessuna etichetta simile")).isEmpty());
}

TEST(ElementSearch, ExactLabelFirstThenPrefixThenWordStarts) {
    const QStringList found = complete(QStringLiteral("[prezzo lordo"));
    ASSERT_GE(found.size(), 3);
    EXPECT_EQ(found.at(0), QStringLiteral("[Prezzo lordo]"));
    EXPECT_EQ(found.at(1), QStringLiteral("[Prezzo lordo - IN]"));
    EXPECT_EQ(found.at(2), QStringLiteral("[Prezzo lordo - CURR]"));
    // A closing delimiter already typed is ignored; the exact element still comes first.
    EXPECT_EQ(complete(QStringLiteral("[Sconto 1%]")).value(0), QStringLiteral("[Sconto 1%]"));
    // Words that begin words rank before the same letters inside a word.
    const QStringList colore = complete(QStringLiteral("{lore"));
    EXPECT_EQ(colore.size(), 2);
    EXPECT_EQ(complete(QStringLiteral("{colore")).value(0), QStringLiteral("{C01 - Colore}"));
}

TEST(ElementSearch, LabelsAreFoundByTheirVariable) {
    EXPECT_EQ(complete(QStringLiteral("[attprezzo")), QStringList{QStringLiteral("[Prezzo lordo - CURR]")});
}

TEST(ElementSearch, CategoriesAndVariantsAreWrittenAsInserted) {
    EXPECT_EQ(complete(QStringLiteral("{alt")), QStringList{QStringLiteral("{C02 - Altezza massima}")});
    EXPECT_EQ(complete(QStringLiteral("|scocca")), QStringList{QStringLiteral("|V01 - Colore scocca|")});
    EXPECT_EQ(complete(QStringLiteral("{")).size(), 3);
    EXPECT_TRUE(complete(QStringLiteral("x")).isEmpty());
}

TEST(ElementSearch, AtMostFiftyCandidates) {
    QList<ElementCatalog::Reference> many;
    for (int i = 0; i < 500; ++i)
        many.append(
            {QStringLiteral("K%1").arg(i), QStringLiteral("K%1 - Voce %1").arg(i), QString::number(i)});
    const ElementSearch search(std::make_shared<const ElementCatalog>(ElementCatalog::withLists(many, {})));
    const QList<Candidate> found = search.complete(QStringLiteral("{voce"));
    EXPECT_EQ(found.size(), ElementSearch::MaxCandidates);
    EXPECT_EQ(found.first().inserted, QStringLiteral("{K0 - Voce 0}"));
}

TEST(ElementSearch, OnlyTheCompanysCategoriesAndVariants) {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "diagnostics_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    QTemporaryDir dir;
    const QString cs = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
    ado::setup::initialize(cs, true);
    ado::Connection connection;
    connection.Open(cs);
    core::FunctionServices host({.connection = [&] { return &connection; }});
    for (const QString& company : {QStringLiteral("1"), QStringLiteral("2")}) {
        auto catalog = std::make_shared<const ElementCatalog>(ElementCatalog::load(host, company));
        const ElementSearch search(catalog);
        const QStringList categories = texts(search.complete(QStringLiteral("{")));
        const QStringList variants = texts(search.complete(QStringLiteral("|")));
        if (company == QLatin1String("1")) {
            EXPECT_TRUE(categories.contains(QStringLiteral("{C01 - Colore}")));
            EXPECT_FALSE(categories.contains(QStringLiteral("{C90 - Categoria ditta 2}")));
            EXPECT_FALSE(variants.contains(QStringLiteral("|V90 - Variante ditta 2|")));
            // The help reads the value type through the connection.
            const ElementHelp help(catalog, {}, ElementHelp::connectionDataType(host));
            const std::optional<ElementInfo> info = help.describe(QStringLiteral("{C02 - Altezza massima}"));
            ASSERT_TRUE(info);
            EXPECT_EQ(info->id, QStringLiteral("124"));
            EXPECT_EQ(info->valueType, QStringLiteral("numero decimale"));
        } else {
            EXPECT_EQ(categories, QStringList{QStringLiteral("{C90 - Categoria ditta 2}")});
            EXPECT_EQ(variants, QStringList{QStringLiteral("|V90 - Variante ditta 2|")});
        }
    }
}

TEST(ElementHelp, OutputInputAndMasterDataLabels) {
    const ElementHelp help(lists(), {});
    const std::optional<ElementInfo> out = help.describe(QStringLiteral("[Prezzo lordo]"));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->variable, QStringLiteral("@OUTPREZZO"));
    EXPECT_EQ(out->sqlType, QStringLiteral("decimal(17,6)"));
    EXPECT_TRUE(out->group.startsWith(QStringLiteral("Quotazione (in uscita")));
    EXPECT_TRUE(out->usage.contains(QStringLiteral("SET")));

    const std::optional<ElementInfo> in = help.describe(QStringLiteral("[Sconto 1% - IN]"));
    ASSERT_TRUE(in);
    EXPECT_EQ(in->variable, QStringLiteral("@INSC1PERC"));
    EXPECT_EQ(in->sqlType, QStringLiteral("decimal(6,3)"));
    EXPECT_EQ(in->group, QStringLiteral("Quotazione ingresso"));
    EXPECT_TRUE(in->usage.contains(QStringLiteral("legge")));

    const std::optional<ElementInfo> field = help.describe(QStringLiteral("[Quantita' 1 (di riga)]"));
    ASSERT_TRUE(field);
    EXPECT_EQ(field->variable, QStringLiteral("@QTA1"));
    EXPECT_EQ(field->sqlType, QStringLiteral("DECIMAL(14,3)"));
    EXPECT_EQ(field->group, QStringLiteral("Entità anagrafica: Documento"));
    const QStringList lines = help.lines(*field);
    EXPECT_EQ(lines.value(1), QStringLiteral("Variabile: @QTA1"));

    EXPECT_FALSE(help.describe(QStringLiteral("[Prezzo netto]")));
}

TEST(ElementHelp, CategoryAndVariant) {
    const ElementHelp help(lists(), {},
                           [](const QString& id) { return std::optional<int>(id == "123" ? 0 : 2); });
    const std::optional<ElementInfo> category = help.describe(QStringLiteral("{C01 - Colore}"));
    ASSERT_TRUE(category);
    EXPECT_EQ(category->id, QStringLiteral("123"));
    EXPECT_EQ(category->valueType, QStringLiteral("testo"));
    const std::optional<ElementInfo> variant = help.describe(QStringLiteral("|V02 - Motorizzazione|"));
    ASSERT_TRUE(variant);
    EXPECT_EQ(variant->code, QStringLiteral("V02"));
    EXPECT_EQ(help.lines(*variant),
              (QStringList{QStringLiteral("Variante: V02 - Motorizzazione"), QStringLiteral("Codice: V02")}));
    EXPECT_FALSE(help.describe(QStringLiteral("{C99 - Nessuna}")));
}

TEST(ElementHelp, ElementAtTheCaret) {
    const FormulaScanner scanner;
    const QString line = QStringLiteral("SET [Prezzo lordo] = {C01 - Colore} + 1");
    const std::optional<Span> label = elementAt(scanner, line, FormulaScanner::Normal, 6);
    ASSERT_TRUE(label);
    EXPECT_EQ(line.mid(label->start, label->length), QStringLiteral("[Prezzo lordo]"));
    const std::optional<Span> category = elementAt(scanner, line, FormulaScanner::Normal, 35);
    ASSERT_TRUE(category);
    EXPECT_EQ(line.mid(category->start, category->length), QStringLiteral("{C01 - Colore}"));
    EXPECT_FALSE(elementAt(scanner, line, FormulaScanner::Normal, 1));
}

// Letters outside ASCII count as letters before a word, and positions count characters.
TEST(ElementSearch, WordStartsAndPositionsBeyondAscii) {
    const auto catalog = std::make_shared<const ElementCatalog>(
        ElementCatalog::withLists({{"K1", QStringLiteral("K1 - Δcolore"), "1"},
                                   {"K2", QStringLiteral("K2 - x colore"), "2"},
                                   {"K4", QStringLiteral("K4 - abcd rosso"), "4"},
                                   {"K3", QStringLiteral("K3 - ΔΔΔ rosso"), "3"}},
                                  {}));
    const ElementSearch search(catalog);
    EXPECT_EQ(texts(search.complete(QStringLiteral("{colore"))),
              (QStringList{QStringLiteral("{K2 - x colore}"), QStringLiteral("{K1 - Δcolore}")}));
    EXPECT_EQ(texts(search.complete(QStringLiteral("{rosso"))),
              (QStringList{QStringLiteral("{K3 - ΔΔΔ rosso}"), QStringLiteral("{K4 - abcd rosso}")}));
    EXPECT_EQ(texts(search.complete(QStringLiteral("{δδδ"))),
              QStringList{QStringLiteral("{K3 - ΔΔΔ rosso}")});
}
