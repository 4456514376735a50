#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

#include <QLineEdit>
#include <QTreeWidget>
class QTreeWidgetItem;

namespace diagnostics {
class ElementSearch;
}

namespace editor {

// The search box above the element tree: the tree keeps only the leaves that hold every typed
// word (in their text, or in the label and variable they insert) and the branches above them,
// expanded, with the matches highlighted. Category and variant branches whose rows were not read
// yet are searched through the catalogue and read only when something in them matches. Esc
// clears the box and restores the expansion the tree had before; Enter or Down moves to the
// first match, and Enter on a leaf of the tree inserts it as a double-click does.
class TreeFilter : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // The tree's nodes in the order they were added (parents before children).
        std::function<const QList<QTreeWidgetItem*>&()> nodes;
        // The deferred sub-branches whose rows were not read yet, and the reading of some.
        std::function<QStringList()> pending;
        std::function<void(const QStringList&)> fill;
        // Extra words a leaf is found by (the label it inserts and its variable).
        std::function<QString(QTreeWidgetItem*)> extra;
        // Enter on a leaf of the tree: the double-click insertion.
        std::function<void()> activate;
    };

    TreeFilter(QTreeWidget* tree, QLineEdit* box, Hooks hooks);
    ~TreeFilter() override;

    void setSearch(std::shared_ptr<const diagnostics::ElementSearch> search);
    // Applies the words of the box (empty: clears the filter).
    void apply(const QString& text);
    void clear();
    bool isActive() const { return m_active; }
    QLineEdit* box() const { return m_box; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void remember();
    void restore();
    void focusFirstMatch();

    QPointer<QTreeWidget> m_tree;
    QPointer<QLineEdit> m_box;
    Hooks m_hooks;
    std::shared_ptr<const diagnostics::ElementSearch> m_search;
    QHash<QTreeWidgetItem*, bool> m_expanded; // expansion before the filter
    QList<QTreeWidgetItem*> m_highlighted;
    bool m_active = false;
};

} // namespace editor
