#include "editor/TreeWidgetSink.h"

#include "core/Error.h"
#include "tree/StrutturaTree.h"

#include <QApplication>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <algorithm>

namespace editor {

namespace {

// Rows between two repaints of the window while a sub-branch is read.
constexpr qsizetype RowsBetweenRepaints = 8192;

} // namespace

TreeWidgetSink::TreeWidgetSink(QTreeWidget*& widget, const QMap<QString, QIcon>& images,
                               QList<QTreeWidgetItem*>& nodes, QHash<QString, QTreeWidgetItem*>& byKey)
    : m_widget(widget)
    , m_images(images)
    , m_nodes(nodes)
    , m_byKey(byKey) {}

void TreeWidgetSink::clear() {
    m_widget->clear();
    m_nodes.clear();
    m_byKey.clear();
    m_gathered.clear();
    m_branch = nullptr;
}

QIcon TreeWidgetSink::iconOf(const QString& image, const QString& selectedImage) {
    const QString key = image + u'|' + selectedImage;
    auto it = m_icons.constFind(key);
    if (it != m_icons.constEnd())
        return *it;
    QIcon icon;
    const QIcon normal = m_images.value(image);
    const QIcon selected = m_images.value(selectedImage);
    if (!normal.isNull())
        icon.addPixmap(normal.pixmap(24, 24), QIcon::Normal);
    if (!selected.isNull())
        icon.addPixmap(selected.pixmap(24, 24), QIcon::Selected);
    m_icons.insert(key, icon);
    return icon;
}

void TreeWidgetSink::add(const tree::TreeNode& node) {
    if (m_byKey.contains(node.key))
        throw core::ComError(35602, QStringLiteral("Key is not unique in collection"));
    QTreeWidgetItem* parent = nullptr;
    if (!node.relative.isEmpty()) {
        parent = m_byKey.value(node.relative);
        if (parent == nullptr)
            throw core::ComError(35601, QStringLiteral("Element not found"));
    }
    // Rows of a sub-branch being read join the tree together in endBranch.
    const bool gather = m_branch != nullptr && parent == m_branch;
    QTreeWidgetItem* item = nullptr;
    if (gather)
        item = new QTreeWidgetItem;
    else if (parent == nullptr)
        item = new QTreeWidgetItem(m_widget);
    else
        item = new QTreeWidgetItem(parent);
    item->setText(0, node.text);
    item->setData(0, Qt::UserRole, node.key);
    item->setIcon(0, iconOf(node.image, node.selectedImage));
    if (node.bold) {
        QFont f = item->font(0);
        f.setBold(true);
        item->setFont(0, f);
    }
    if (node.color.isValid())
        item->setForeground(0, node.color);
    if (node.deferred)
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    m_byKey.insert(node.key, item);
    if (!gather) {
        m_nodes.append(item);
        return;
    }
    m_gathered.append(item);
    if (m_gathered.size() % RowsBetweenRepaints == 0)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TreeWidgetSink::beginBranch(QTreeWidgetItem* branch) {
    m_branch = branch;
    m_gathered.clear();
}

void TreeWidgetSink::endBranch() {
    QTreeWidgetItem* branch = m_branch;
    m_branch = nullptr;
    if (branch == nullptr)
        return;
    branch->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (m_gathered.isEmpty())
        return;
    // In the order of a full build the rows follow their sub-branch (which has no other child).
    const qsizetype at = m_nodes.indexOf(branch) + 1;
    m_nodes.insert(at, m_gathered.size(), nullptr);
    std::copy(m_gathered.cbegin(), m_gathered.cend(), m_nodes.begin() + at);
    branch->addChildren(m_gathered);
    m_gathered.clear();
}

void TreeWidgetSink::joinRows(QTreeWidgetItem* branch, const QList<QTreeWidgetItem*>& rows) {
    m_branch = branch;
    m_gathered = rows;
    endBranch();
}

void setExpandedInOrder(QTreeWidget& widget, const QList<QTreeWidgetItem*>& nodes, qsizetype count,
                        bool expand) {
    QAbstractItemModel* model = widget.model();
    QHash<QTreeWidgetItem*, int> childrenSeen; // by parent (null: the top level)
    QHash<QTreeWidgetItem*, QPersistentModelIndex> indexes;
    for (qsizetype i = 0; i < count && i < nodes.size(); ++i) {
        QTreeWidgetItem* item = nodes.at(i);
        QTreeWidgetItem* parent = item->parent();
        const int row = childrenSeen[parent]++;
        const QModelIndex index =
            model->index(row, 0, parent ? QModelIndex(indexes.value(parent)) : QModelIndex());
        if (widget.itemFromIndex(index) != item) {
            item->setExpanded(expand); // not where the order puts it: asked of the node itself
            continue;
        }
        if (item->childCount() > 0 || item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
            indexes.insert(item, index);
        widget.setExpanded(index, expand);
    }
}

void fillTreeBranches(tree::StrutturaTree& builder, TreeWidgetSink& sink, const QStringList& keys,
                      const QHash<QString, QTreeWidgetItem*>& byKey) {
    if (std::none_of(keys.begin(), keys.end(), [&](const QString& key) { return builder.isPending(key); }))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    for (const QString& key : keys) {
        QTreeWidgetItem* branch = byKey.value(key);
        if (branch == nullptr || !builder.isPending(key))
            continue;
        sink.beginBranch(branch);
        struct End {
            TreeWidgetSink& s;
            ~End() { s.endBranch(); }
        } end{sink};
        const tree::BuildOutcome outcome = builder.fillBranch(key, sink);
        if (outcome == tree::BuildOutcome::Aborted || outcome == tree::BuildOutcome::Stopped)
            return; // the error was shown and answered: the other branches stay as they are
    }
}

} // namespace editor
