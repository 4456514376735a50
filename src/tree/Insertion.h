#pragma once

#include "core/Error.h"

#include <QString>

#include <functional>
#include <optional>

namespace tree {

// What a double-click on the element tree sees: the selected node and its ancestors, and the
// formula box.
struct InsertionRequest {
    bool hasNode = true;                    // false when no node is selected
    bool hasChildren = false;               // the node is a branch
    QString text;                           // the node's text
    std::optional<QString> parentText;      // nullopt for a top-level node
    std::optional<QString> grandparentText; // nullopt when the node has no grandparent
    QString boxText;                        // the formula box's text
    int boxCaret = 0;                       // the box's caret position now (start of its selection)
    int caretPosition = 0;                  // CaretPosition: the position remembered while the user typed
};

// What the window does with the double-click.
struct InsertionResult {
    // False: nothing happens (no node, a branch, a top-level node); caret, focus and history
    // stay as they are. True: the remaining fields apply.
    bool handled = false;
    QString insertion;        // the composed insertion text (label, reference or bare text)
    int rule = 0;             // the last rule (1 to 6) that matched, 0 for none
    bool textChanged = false; // the box text is to be replaced by `text`
    QString text;             // the box's new text (the old one when unchanged)
    // The caret to set on the box (L + CaretPosition + 2); nullopt when nothing was inserted.
    // After setting it the window reads the box's caret back into CaretPosition.
    std::optional<int> caret;
    bool focus = false;         // give the box the focus when it can take it
    bool recordHistory = false; // call RecordUndoState
};

// The element a leaf of the tree stands for, written as its insertion writes it: a label
// ("[Prezzo lordo - CURR]", rules 1 to 4), a variant ("|V01 - Colore scocca|", rule 5) or a
// category ("{C01 - Colore}", rule 6). nullopt for branches, top-level nodes and the leaves no
// rule matches (operators and delimiters). Translation failures throw as in composeInsertion.
struct ElementReference {
    int rule = 0;
    QString text;
};
std::optional<ElementReference> elementReference(const InsertionRequest& request,
                                                 const std::function<QString(const QString&)>& translate);

// Composes the insertion of a double-clicked tree node into the formula. The captions the
// rules compare with are translated when each rule is tested; a failing translation throws
// to the caller (the event handler has no error trap).
InsertionResult composeInsertion(const InsertionRequest& request,
                                 const std::function<QString(const QString&)>& translate);

// The expand/collapse button of the tree (IMG_EXPCOL) and the TreeExpanded flag.
class ExpandCollapse {
public:
    struct Toggle {
        QString picture; // "plus" or "minus": the picture to show on the button
        bool expand;     // the argument of ExpandStrutturaTree
    };

    bool treeExpanded() const { return m_expanded; }
    // A click of the button: the picture shows what the next click will do, then the flag
    // is inverted and the whole tree expanded or collapsed accordingly.
    Toggle buttonClick();
    // The user expanded a node by hand: the flag is set and the "minus" picture returned.
    QString nodeExpanded();

private:
    bool m_expanded = false;
};

// What ExpandStrutturaTree does to a tree of nodeCount nodes: set the expanded state of the
// first `nodes` nodes (in the order they were added), then select the node at `select`
// (0-based, in the order added) when set. The node index is 16-bit: a tree of 32767 nodes
// or more raises overflow after the first 32767 nodes, and nothing is selected.
struct ExpandPlan {
    int nodes = 0;
    std::optional<int> select;
    std::optional<core::ErrorInfo> error;
};
ExpandPlan expandStrutturaTree(bool expand, int nodeCount);

} // namespace tree
