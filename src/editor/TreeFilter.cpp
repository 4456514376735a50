#include "editor/TreeFilter.h"

#include "diagnostics/ElementCatalog.h"
#include "diagnostics/ElementSearch.h"
#include "tree/StrutturaTree.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeWidget>

namespace editor {

namespace {

// The folded words a leaf is found by, kept on the item once computed.
constexpr int FoldedRole = Qt::UserRole + 40;
const QColor Highlight(255, 236, 140);

// The deferred sub-branch of the categories; the others hold variants.
const QString CategoriesBranch = tree::elementKey(core::Variant::fromInt32(tree::CategoriesElement));

} // namespace

TreeFilter::TreeFilter(QTreeWidget* tree, QLineEdit* box, Hooks hooks)
    : QObject(tree)
    , m_tree(tree)
    , m_box(box)
    , m_hooks(std::move(hooks)) {
    box->setClearButtonEnabled(true);
    box->installEventFilter(this);
    tree->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this, &TreeFilter::apply);
}

TreeFilter::~TreeFilter() = default;

void TreeFilter::setSearch(std::shared_ptr<const diagnostics::ElementSearch> search) {
    m_search = std::move(search);
}

void TreeFilter::remember() {
    m_expanded.clear();
    for (QTreeWidgetItem* item : m_hooks.nodes())
        if (item->childCount() > 0)
            m_expanded.insert(item, item->isExpanded());
}

void TreeFilter::restore() {
    for (QTreeWidgetItem* item : m_hooks.nodes()) {
        item->setHidden(false);
        if (item->childCount() > 0 || m_expanded.contains(item))
            item->setExpanded(m_expanded.value(item, false));
    }
}

void TreeFilter::apply(const QString& text) {
    const diagnostics::SearchWords words(text);
    if (words.isEmpty()) {
        clear();
        return;
    }
    m_tree->setUpdatesEnabled(false);
    if (!m_active)
        remember();
    m_active = true;
    // Rows not read yet are looked for in the catalogue; a branch is read only when one matches.
    if (m_search && m_hooks.pending) {
        QStringList read;
        for (const QString& key : m_hooks.pending()) {
            const diagnostics::ElementKind kind = key == CategoriesBranch ? diagnostics::ElementKind::Category
                                                                          : diagnostics::ElementKind::Variant;
            if (m_search->anyMatch(kind, words))
                read.append(key);
        }
        if (!read.isEmpty())
            m_hooks.fill(read);
    }
    for (QTreeWidgetItem* item : std::as_const(m_highlighted))
        item->setBackground(0, QBrush());
    m_highlighted.clear();
    // Children come after their parents: walking backwards, a parent learns whether any of its
    // children stays before it is reached.
    const QList<QTreeWidgetItem*>& nodes = m_hooks.nodes();
    QHash<QTreeWidgetItem*, bool> keeps;
    for (qsizetype i = nodes.size() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = nodes.at(i);
        bool keep = keeps.value(item, false);
        if (item->childCount() == 0 && item->parent() != nullptr) {
            QVariant folded = item->data(0, FoldedRole);
            if (!folded.isValid()) {
                const QString extra = m_hooks.extra ? m_hooks.extra(item) : QString();
                folded = diagnostics::foldForComparison(item->text(0) + u'\x01' + extra,
                                                        diagnostics::Fold::Apostrophes);
                item->setData(0, FoldedRole, folded);
            }
            keep = words.matches(folded.toString());
            if (keep) {
                item->setBackground(0, Highlight);
                m_highlighted.append(item);
            }
        }
        item->setHidden(!keep);
        if (keep && item->parent() != nullptr)
            keeps.insert(item->parent(), true);
        if (item->childCount() > 0)
            item->setExpanded(keep);
    }
    m_tree->setUpdatesEnabled(true);
}

void TreeFilter::clear() {
    if (!m_box->text().isEmpty()) {
        m_box->clear(); // comes back here through textChanged
        return;
    }
    if (!m_active)
        return;
    m_tree->setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : std::as_const(m_highlighted))
        item->setBackground(0, QBrush());
    m_highlighted.clear();
    restore();
    m_active = false;
    m_tree->setUpdatesEnabled(true);
}

void TreeFilter::focusFirstMatch() {
    if (!m_highlighted.isEmpty()) {
        // The highlighted list was gathered backwards: its last item is the first in the tree.
        m_tree->setCurrentItem(m_highlighted.last());
        m_highlighted.last()->setSelected(true);
    }
    m_tree->setFocus();
}

bool TreeFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == m_box) {
        if (key == Qt::Key_Escape) {
            clear();
            return true;
        }
        if (enter || key == Qt::Key_Down) {
            focusFirstMatch();
            return true;
        }
    } else if (watched == m_tree && enter) {
        QTreeWidgetItem* item = m_tree->currentItem();
        if (item != nullptr && item->childCount() == 0 && m_hooks.activate) {
            item->setSelected(true);
            m_hooks.activate();
            return true;
        }
    } else if (watched == m_tree && key == Qt::Key_Escape && m_active) {
        clear();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace editor
