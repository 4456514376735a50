// Finding elements and their uses: completion and tree search, the tree's where-used list and
// the opening of its records, the marked line of the formula box.
#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"

#include "core/Error.h"
#include "editor/ElementFinding.h"
#include "host/GlobalObject.h"
#include "host/Navigator.h"

namespace editor {

std::unique_ptr<TreeWhereUsed> FRMLP_FORMULE::Parts::makeWhereUsed(FRMLP_FORMULE* window) {
    return std::make_unique<TreeWhereUsed>(
        window->TVW_FIELDS,
        TreeWhereUsed::Hooks{
            .translate = [window](const QString& s) { return window->translate(s); },
            .connection = [window] { return window->GconConnect(); },
            .open = [window](int context, qint64 id, int line,
                             const QString& message) { window->openUse(context, id, line, message); },
            .trap =
                [window](const QString& procedure, const std::function<void()>& step) {
                    core::runStep(procedure, window->errorAnswer(), step);
                }});
}

ElementFinding* FRMLP_FORMULE::finding() const {
    return m_parts->finding;
}

QStringList FRMLP_FORMULE::pendingTreeBranches() const {
    return m_parts->treeBuilder ? m_parts->treeBuilder->pendingBranches() : QStringList();
}

bool FRMLP_FORMULE::markLine(int line, const QString& message, bool error) {
    return m_parts->assist->markLine(line, message, error);
}

TreeWhereUsed* FRMLP_FORMULE::whereUsed() const {
    return m_parts->whereUsed.get();
}

void FRMLP_FORMULE::openUse(int context, qint64 id, int line, const QString& message) {
    if (context == this->context() && CDecN(this->id()).toInt64() == id) {
        markLine(line, message, false);
        activateWindow();
        return;
    }
    if (!navigator()->NavigatorOpenRecord(context, id, line, message))
        messageBox(translate(QStringLiteral("L'applicazione non apre altre formule da questa finestra.")), 64,
                   windowTitle());
}

} // namespace editor
