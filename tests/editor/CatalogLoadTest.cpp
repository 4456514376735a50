#include "EditorFixture.h"
#include "core/HostServices.h"
#include "diagnostics/ElementCatalog.h"
#include "diagnostics/ElementSearch.h"
#include "diagnostics/FormulaHighlighter.h"
#include "diagnostics/LiveDiagnostics.h"
#include "editor/CatalogLoader.h"
#include "editor/ElementFinding.h"
#include "editor/FormulaAssist.h"

#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

using namespace editortest;
using diagnostics::ElementKind;

// Whether `piece` of the box's first line is underlined as an unknown element.
bool underlinedAt(FRMLP_FORMULE& w, const QString& piece) {
    const QTextBlock block = ui(w).TXT_FORMULA->document()->firstBlock();
    const int p = int(block.text().indexOf(piece));
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (p >= r.start && p < r.start + r.length)
            return r.format.underlineStyle() == QTextCharFormat::WaveUnderline;
    return false;
}

bool namesUnknownCategory(const QList<diagnostics::Diagnostic>& found) {
    return std::any_of(found.begin(), found.end(), [](const diagnostics::Diagnostic& d) {
        return d.message.contains(QStringLiteral("ZZ99"));
    });
}

class CatalogArrival : public Editor {};

TEST_F(CatalogArrival, UnknownCategoryIsMarkedOnlyOnceTheListsArrive) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    editor::CatalogLoader* loader = w.finding()->loader();
    ASSERT_NE(loader, nullptr);
    // The lists come through the event loop, which has not run since the activation.
    ASSERT_FALSE(loader->isLoaded());
    editor::FormulaAssist& assist = *w.assist();
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = {ZZ99 - Nessuna} + [Ignota]"));
    EXPECT_FALSE(underlinedAt(w, QStringLiteral("{ZZ99")));
    EXPECT_TRUE(underlinedAt(w, QStringLiteral("[Ignota]"))); // the labels are there at once

    // Every result of the live diagnostics before the lists arrived leaves the category alone.
    bool wrongBeforeLoad = false;
    bool markedAfterLoad = false;
    QObject::connect(assist.live(), &diagnostics::LiveDiagnostics::ready,
                     [&](const QList<diagnostics::Diagnostic>& found, const QString&) {
                         if (!loader->isLoaded())
                             wrongBeforeLoad = wrongBeforeLoad || namesUnknownCategory(found);
                         else
                             markedAfterLoad = markedAfterLoad || namesUnknownCategory(found);
                     });
    QTRY_VERIFY_WITH_TIMEOUT(loader->isLoaded(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(markedAfterLoad, 20000);
    EXPECT_FALSE(wrongBeforeLoad);
    EXPECT_TRUE(underlinedAt(w, QStringLiteral("{ZZ99")));
    EXPECT_TRUE(namesUnknownCategory(assist.liveDiagnostics()));
    // Completion and the tree's search now know the company's categories.
    EXPECT_TRUE(w.finding()->loader()->isLoaded());
}

TEST(CatalogLabelsOnly, ListsAreUnknownSoNothingIsJudgedAndEveryBranchMayMatch) {
    core::FunctionServices host;
    const auto catalog =
        std::make_shared<const diagnostics::ElementCatalog>(diagnostics::ElementCatalog::withLabels(host));
    EXPECT_FALSE(catalog->listKnown(ElementKind::Category));
    EXPECT_FALSE(catalog->listKnown(ElementKind::Variant));
    EXPECT_TRUE(catalog->knowsReference(ElementKind::Category, QStringLiteral("ZZ99 - Nessuna")));
    EXPECT_FALSE(catalog->labels().isEmpty());
    const diagnostics::ElementSearch search(catalog);
    // A branch not read yet is read and searched by the tree itself.
    EXPECT_TRUE(search.anyMatch(ElementKind::Category, diagnostics::SearchWords(QStringLiteral("zz"))));
    EXPECT_TRUE(search.anyMatch(ElementKind::Variant, diagnostics::SearchWords(QStringLiteral("zz"))));
}

} // namespace
