#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <QLineEdit>
#include <QTreeWidget>
class QTimer;
class QTreeWidgetItem;

namespace diagnostics {
class ElementSearch;
class SearchWords;
} // namespace diagnostics

namespace editor {

// The search box above the element tree: the tree keeps only the leaves that hold every typed
// word (in their text, or in the label and variable they insert) and the branches above them,
// expanded, with the matches highlighted. Category and variant branches whose rows were not read
// yet are searched through the catalogue and read only when something in them matches. Esc
// clears the box and restores the expansion the tree had before; Enter inserts the first match
// (or the one selected in the tree) as a double-click does, Down moves to the first match.
//
// Typing costs the window's thread nothing but a timer: once typing pauses, the catalogue's
// search index is searched on a worker thread and the results are applied in one pass. The rows
// of a category or variant branch that do not match are taken out of the branch rather than
// hidden one by one (100,000 hidden rows would each cost the view a persistent index), and put
// back in their order when the search is cleared.
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
    // How long typing pauses before the search runs.
    static constexpr int PauseMs = 150;

    TreeFilter(QTreeWidget* tree, QLineEdit* box, Hooks hooks);
    ~TreeFilter() override;

    void setSearch(std::shared_ptr<const diagnostics::ElementSearch> search);
    // The words of the box changed (empty: clears the filter at once); the search follows the
    // pause.
    void apply(const QString& text);
    // Searches for the box's words now, on this thread, and shows the results.
    void applyNow();
    void clear();
    bool isActive() const { return m_active; }
    // No search waits for the pause or runs: the tree shows the box's words.
    bool isSettled() const;
    QLineEdit* box() const { return m_box; }

signals:
    // The tree shows the results of a search, or the whole tree again.
    void applied();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether each category and each variant matches, from the catalogue's index; a list left
    // empty was unknown.
    struct Matches {
        quint64 generation = 0;
        std::vector<bool> categories;
        std::vector<bool> variants;
    };
    // The rows of a category or variant branch while the filter shows some of them.
    struct ListRows {
        QList<QTreeWidgetItem*> all; // in their order
        QList<QTreeWidgetItem*> shown;
    };

    void startSearch();
    void searched(const std::shared_ptr<const Matches>& matches);
    void show(const diagnostics::SearchWords& words, const Matches* matches);
    void readMatchingBranches(const diagnostics::SearchWords& words, const Matches* matches);
    // Shows the matching rows of one list branch; whether any matched.
    bool filterRows(QTreeWidgetItem* branch, const diagnostics::SearchWords& words, const Matches* matches);
    bool leafMatches(QTreeWidgetItem* item, const diagnostics::SearchWords& words);
    // The nodes the walk over the tree sees: every node but the rows of list branches.
    std::vector<QTreeWidgetItem*> ordinaryNodes() const;
    void putRowsBack();
    void forget();
    void remember();
    void restore();
    void focusFirstMatch();

    QPointer<QTreeWidget> m_tree;
    QPointer<QLineEdit> m_box;
    Hooks m_hooks;
    std::shared_ptr<const diagnostics::ElementSearch> m_search;
    QTimer* m_pause = nullptr;
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
    quint64 m_generation = 0;
    bool m_running = false;
    QHash<QTreeWidgetItem*, bool> m_expanded; // expansion before the filter
    QList<QTreeWidgetItem*> m_highlighted;    // outside the list branches
    QHash<QTreeWidgetItem*, ListRows> m_lists;
    bool m_active = false;
};

} // namespace editor
