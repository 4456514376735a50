#pragma once

#include "tree/TreeNode.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace tree {
class StrutturaTree;
}

namespace editor {

// Adds the nodes of the element tree to the tree control, keeping them by key and in the order
// of a full build (the tree control's index order). A deferred sub-branch shows the expand mark
// without children; its rows arrive later through fillTreeBranches and are put right after it.
class TreeWidgetSink : public tree::TreeSink {
public:
    // `images`: the window's image list by key, read when a node is added.
    TreeWidgetSink(QTreeWidget*& widget, const QMap<QString, QIcon>& images, QList<QTreeWidgetItem*>& nodes,
                   QHash<QString, QTreeWidgetItem*>& byKey);

    void clear() override;
    void add(const tree::TreeNode& node) override;

    // Rows of a deferred sub-branch: the nodes added between begin and end are gathered and
    // joined to the tree at once (one insertion into the view, one into the ordered list).
    void beginBranch(QTreeWidgetItem* branch);
    void endBranch();
    // Rows of the deferred sub-branch `branch` made elsewhere, joined as endBranch joins them.
    // Their keys (the sub-branch's key and a suffix unique among them) are the caller's to
    // check: they are not kept by key.
    void joinRows(QTreeWidgetItem* branch, const QList<QTreeWidgetItem*>& rows);
    // The icon of a node with these pictures, shared by every node that has them.
    QIcon iconOf(const QString& image, const QString& selectedImage);

private:
    QTreeWidget*& m_widget;
    const QMap<QString, QIcon>& m_images;
    QList<QTreeWidgetItem*>& m_nodes;
    QHash<QString, QTreeWidgetItem*>& m_byKey;
    QHash<QString, QIcon> m_icons; // composed icons by "image|selected image", shared by every node
    QTreeWidgetItem* m_branch = nullptr;
    QList<QTreeWidgetItem*> m_gathered;
};

// Reads the rows of the deferred sub-branches `keys` into the tree control, with the wait cursor
// shown; the window keeps repainting meanwhile (user input waits until the rows are in).
void fillTreeBranches(tree::StrutturaTree& builder, TreeWidgetSink& sink, const QStringList& keys,
                      const QHash<QString, QTreeWidgetItem*>& byKey);

// Sets the expanded state of the first `count` nodes of `nodes` (the tree's nodes in the order
// they were added: a parent before its children, siblings in order), one at a time in that
// order. The tree control is given each node's position from that order: asked for it by the
// node, it would search the node's siblings, which under a branch of 100,000 rows is slow.
void setExpandedInOrder(QTreeWidget& widget, const QList<QTreeWidgetItem*>& nodes, qsizetype count,
                        bool expand);

} // namespace editor
