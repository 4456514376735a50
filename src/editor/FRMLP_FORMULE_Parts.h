#pragma once

// The window's own parts, shared by the source files of FRMLP_FORMULE (not by other code).
#include "editor/BackgroundRun.h"
#include "editor/CatalogueRows.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FormulaAssist.h"
#include "editor/TreeWhereUsed.h"
#include "editor/TreeWidgetSink.h"

#include "check/SyntaxCheck.h"
#include "core/HostServices.h"
#include "core/TextBox.h"
#include "editing/EditHistory.h"
#include "editing/FormulaStore.h"
#include "host/controls/VxlRichTextBox.h"
#include "language/FormulaLanguage.h"
#include "tree/Insertion.h"
#include "tree/StrutturaTree.h"
#include "tree/TreeNode.h"

#include <memory>

namespace editor {

class ElementFinding;

// The formula box as the check, the save and the history see it.
class FormulaBox : public core::TextBox {
public:
    explicit FormulaBox(controls::VxlRichTextBox* box)
        : m_box(box) {}
    QString text() const override { return m_box->Text(); }
    void setText(const QString& text) override { m_box->SetText(text); }
    int selStart() const override { return m_box->SelStart(); }
    void setSelStart(int position) override { m_box->SetSelStart(position); }

private:
    controls::VxlRichTextBox* m_box;
};

// The window as host of its subsystems: its connection, the host's translation service and
// message box, VisualizzaErrore, and the context and identifier of the class that opened it.
class FRMLP_FORMULE::Services final : public core::HostServices {
public:
    explicit Services(FRMLP_FORMULE* window)
        : m_window(window) {}
    ado::Connection* connection() override { return m_window->m_connection.data(); }
    QString translate(const QString& text) override { return m_window->translate(text); }
    int messageBox(const QString& prompt, int code, const QString& title) override {
        return m_window->messageBox(prompt, code, title);
    }
    int errorAnswer(const QString& procedure, const core::ErrorInfo& error) override {
        return m_window->errorAnswer()(procedure, error);
    }
    int editingContext() override { return m_window->context(); }
    core::Variant recordId() override { return m_window->id(); }

private:
    FRMLP_FORMULE* m_window;
};

struct FRMLP_FORMULE::Parts {
    explicit Parts(FRMLP_FORMULE* window);
    // The tree's where-used list, opening its records through the window (FRMLP_FORMULE_Find.cpp).
    static std::unique_ptr<TreeWhereUsed> makeWhereUsed(FRMLP_FORMULE* window);

    Services services;
    // Before the check, which runs its batches through it.
    std::unique_ptr<BackgroundRun> background;
    // A close came while a run was in flight: the window closes once the run's caller returns,
    // and asks nothing more meanwhile (every question is answered No).
    bool closeAfterRun = false;
    FormulaBox box;
    language::FormulaLanguage language;
    editing::EditHistory history;
    check::SyntaxCheck syntaxCheck;
    editing::FormulaStore store;
    tree::ExpandCollapse expandCollapse;
    std::unique_ptr<FormulaAssist> assist;
    TreeWidgetSink treeSink;
    // The builder of the last LoadStrutturaTree: it reads the deferred sub-branches later.
    std::unique_ptr<tree::StrutturaTree> treeBuilder;
    // The rows of the category and variant sub-branches, made on a worker once the catalogue
    // holds the lists (after the tree, which owns the rows it took).
    std::unique_ptr<PreparedRows> preparedRows;
    std::unique_ptr<TreeWhereUsed> whereUsed;
    ElementFinding* finding = nullptr;
};

} // namespace editor
