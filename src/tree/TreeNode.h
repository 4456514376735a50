#pragma once

#include <QColor>
#include <QList>
#include <QString>

namespace tree {

// Relationship of a node to its relative, as the tree control numbers it.
inline constexpr int RelationshipNone = 0; // top-level node: added without relative
inline constexpr int RelationshipChild = 4;

// Colour of every branch node (top-level branches, entity roots, list sub-branches).
inline constexpr int BranchRed = 132;
inline constexpr int BranchGreen = 132;
inline constexpr int BranchBlue = 132;

// One node of the element tree with the six attributes it is added with, plus its style.
struct TreeNode {
    QString relative;                    // key of the parent node; empty for a top-level node
    int relationship = RelationshipNone; // RelationshipChild whenever relative is set
    QString key;
    QString text;
    QString image;         // image key in imlImagesTrv
    QString selectedImage; // image key shown while the node is selected
    bool bold = false;
    QColor color;  // text colour of branch nodes; invalid for plain nodes
    int level = 0; // 0 for top-level nodes, 1 for their children and so on
    // A category or variant sub-branch whose rows are read when it is first expanded
    // (StrutturaTree::fillBranch); false when its rows follow it at once.
    bool deferred = false;

    bool isBranchStyle() const { return bold && color.isValid(); }
    friend bool operator==(const TreeNode&, const TreeNode&) = default;
};

// Receives the nodes of the tree one at a time, in the order they are added. The window adds
// them to its tree control, the command-line tool prints them. add() may throw core::ComError;
// the builder then handles the error like any other failing statement.
class TreeSink {
public:
    virtual ~TreeSink() = default;
    // Removes every node (called once per build, before the first node).
    virtual void clear() = 0;
    virtual void add(const TreeNode& node) = 0;
};

// A sink that keeps the nodes in a list.
class NodeListSink : public TreeSink {
public:
    void clear() override { nodes.clear(); }
    void add(const TreeNode& node) override { nodes.append(node); }

    QList<TreeNode> nodes;
};

} // namespace tree
