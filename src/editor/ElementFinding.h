#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include <QLabel>
#include <QLineEdit>
class QTreeWidgetItem;

namespace core {
class HostServices;
}
namespace diagnostics {
class ElementCatalog;
class ElementHelp;
class ElementSearch;
} // namespace diagnostics

namespace editor {

class CatalogLoader;
class ElementCompleter;
class FRMLP_FORMULE;
class TreeFilter;

// Finding and understanding elements in the editor window: the completion list of the formula
// box, the search box of the element tree, the tooltips of the tree and the box (the full text
// of a node and what an element is) and the help line under the box that follows the caret.
// It adds to the window without changing what the window does: insertions go through the
// window's own double-click insertion and history.
class ElementFinding : public QObject {
    Q_OBJECT
public:
    ElementFinding(FRMLP_FORMULE* window, core::HostServices& services, QLabel* helpLine);
    // The search box's placeholder in the host's language: the window is made before the host
    // hands over its translation service, so the window's load passes it through again.
    void translateCaptions();
    ~ElementFinding() override;

    // The window's first activation: the catalogue of company `ditta` is loaded (see
    // CatalogLoader); `catalogue` is handed each catalogue this finding starts with, the labels'
    // one now and the full one when the lists have been read.
    void load(const QString& ditta,
              std::function<void(const std::shared_ptr<const diagnostics::ElementCatalog>&)> catalogue);
    // The catalogue is known: completion, the tree's search and help use it and `search` (built
    // from it here when null) from now on.
    void start(const std::shared_ptr<const diagnostics::ElementCatalog>& catalog,
               std::shared_ptr<const diagnostics::ElementSearch> search = nullptr);
    // Null before load.
    CatalogLoader* loader() const { return m_loader; }
    // The catalogue the finding started with last (null before).
    const std::shared_ptr<const diagnostics::ElementCatalog>& catalog() const { return m_catalog; }

    ElementCompleter* completer() const { return m_completer; }
    TreeFilter* treeFilter() const { return m_filter; }
    QLineEdit* filterBox() const { return m_filterBox; }
    QLabel* helpLine() const { return m_helpLine; }
    // The help of a tree node (its full text, and what the element it inserts is).
    QString nodeTip(QTreeWidgetItem* item) const;
    // The help of the element at a position of the box's text (empty when none).
    QString elementTipAt(int documentPosition) const;
    // Lays the search box above the tree (after the window's resize manager placed the tree).
    void layoutTree();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString insertionOf(QTreeWidgetItem* item) const;
    QString helpOf(const QString& element, bool multiline) const;
    void followCaret();

    FRMLP_FORMULE* m_window;
    core::HostServices& m_services;
    QPointer<QLabel> m_helpLine;
    QLineEdit* m_filterBox = nullptr;
    ElementCompleter* m_completer = nullptr;
    TreeFilter* m_filter = nullptr;
    CatalogLoader* m_loader = nullptr;
    std::shared_ptr<const diagnostics::ElementSearch> m_search;
    std::shared_ptr<const diagnostics::ElementCatalog> m_catalog;
    std::unique_ptr<diagnostics::ElementHelp> m_help;
    bool m_placing = false;
};

} // namespace editor
