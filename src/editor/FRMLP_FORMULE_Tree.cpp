// The element tree of the window: its build, the category and variant branches read when first
// opened, the insertion of a node by double click and the expand/collapse button.

#include "editor/CatalogueRows.h"
#include "editor/ElementFinding.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"
#include "editor/TreeWidgetSink.h"

#include "core/NullSafe.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/controls/HostControls.h"
#include "host/controls/VxlRichTextBox.h"
#include "tree/Insertion.h"
#include "tree/StrutturaTree.h"
#include "tree/TreeImages.h"

#include <QTreeWidget>

namespace editor {

void FRMLP_FORMULE::LoadStrutturaTree() {
    // The category and variant rows are read when their sub-branch is first expanded.
    auto builder = std::make_unique<tree::StrutturaTree>(
        m_parts->services, tree::TreeOptions{.ditta = RTrimN(m_ditta).toString(),
                                             .variantSetting = [this]() -> std::optional<core::Variant> {
                                                 host::Cinterface* ai = ActiveInterface();
                                                 if (ai == nullptr)
                                                     return std::nullopt;
                                                 return host::variantSetting(ai);
                                             },
                                             .deferLists = true});
    if (builder->LoadStrutturaTree(m_parts->treeSink) != tree::BuildOutcome::NoConnection)
        m_parts->treeBuilder = std::move(builder);
}

void FRMLP_FORMULE::prepareTreeRows(const std::shared_ptr<const diagnostics::ElementCatalog>& catalog) {
    if (!m_parts->treeBuilder)
        return;
    // A branch of 100,000 rows then opens by joining rows already made.
    m_parts->preparedRows =
        std::make_unique<PreparedRows>(catalog, m_parts->treeBuilder->pendingBranches(),
                                       m_parts->treeSink.iconOf(QString::fromLatin1(tree::ImgElemento),
                                                                QString::fromLatin1(tree::ImgElementoSel)),
                                       [this](const QString& s) { return translate(s); });
}

void FRMLP_FORMULE::fillTreeBranches(const QStringList& keys) {
    if (!m_parts->treeBuilder)
        return;
    // The category and variant lists the catalogue already holds are not read again.
    if (m_parts->finding)
        fillListsFromCatalogue(
            *m_parts->treeBuilder, m_parts->treeSink, keys,
            [this](const QString& key) { return nodeByKey(key); }, m_parts->finding->catalog(),
            [this](const QString& s) { return translate(s); }, m_parts->preparedRows.get());
    editor::fillTreeBranches(*m_parts->treeBuilder, m_parts->treeSink, keys, m_nodesByKey);
}

void FRMLP_FORMULE::TVW_FIELDS_DblClick() {
    if (runInFlight())
        return; // the box's text is the one the run's caller has read
    QTreeWidgetItem* node = TVW_FIELDS->currentItem();
    tree::InsertionRequest request;
    request.hasNode = node != nullptr && node->isSelected();
    if (request.hasNode) {
        // A sub-branch whose rows were not read yet has them read first.
        fillTreeBranches({node->data(0, Qt::UserRole).toString()});
        request.hasChildren = node->childCount() > 0;
        request.text = node->text(0);
        if (node->parent() != nullptr) {
            request.parentText = node->parent()->text(0);
            if (node->parent()->parent() != nullptr)
                request.grandparentText = node->parent()->parent()->text(0);
        }
    }
    request.boxText = TXT_FORMULA->Text();
    request.boxCaret = TXT_FORMULA->SelStart();
    request.caretPosition = CaretPosition();
    const tree::InsertionResult result =
        tree::composeInsertion(request, [this](const QString& text) { return translate(text); });
    if (!result.handled)
        return;
    if (result.textChanged)
        TXT_FORMULA->SetText(result.text);
    if (result.caret) {
        TXT_FORMULA->SetSelStart(*result.caret);
        setCaretPosition(TXT_FORMULA->SelStart());
    }
    if (result.focus && TXT_FORMULA->isEnabled())
        TXT_FORMULA->setFocus();
    if (result.recordHistory)
        RecordUndoState();
}

bool FRMLP_FORMULE::TreeExpanded() const {
    return m_parts->expandCollapse.treeExpanded();
}

void FRMLP_FORMULE::IMG_EXPCOL_ButtonClick() {
    // Updates of the window are suspended while every node changes, and resumed on every path.
    setUpdatesEnabled(false);
    struct Resume {
        QWidget* w;
        ~Resume() { w->setUpdatesEnabled(true); }
    } resume{this};
    const tree::ExpandCollapse::Toggle toggle = m_parts->expandCollapse.buttonClick();
    IMG_EXPCOL->SetPicture(m_imlImagesTrv.value(toggle.picture));
    IMG_EXPCOL->setPictureKey(toggle.picture);
    ExpandStrutturaTree(toggle.expand);
}

void FRMLP_FORMULE::ExpandStrutturaTree(bool expand) {
    // Expanding reaches every node: the deferred sub-branches are read first, so the nodes are
    // those and in the order of a full build.
    if (expand && m_parts->treeBuilder)
        fillTreeBranches(m_parts->treeBuilder->pendingBranches());
    const tree::ExpandPlan plan = tree::expandStrutturaTree(expand, static_cast<int>(m_treeNodes.size()));
    setExpandedInOrder(*TVW_FIELDS, m_treeNodes, plan.nodes, expand);
    if (plan.select && *plan.select < m_treeNodes.size()) {
        TVW_FIELDS->setCurrentItem(m_treeNodes.at(*plan.select));
    }
    if (plan.error)
        throw core::ComError(*plan.error);
}

} // namespace editor
