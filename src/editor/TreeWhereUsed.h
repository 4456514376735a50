#pragma once

#include "editor/WhereUsedSearch.h"
#include "language/WhereUsed.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QMenu;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace ado {
class Connection;
}

namespace editor {

// The list of the stored formulas that use one element, one row per record: context, id,
// description of the record and the lines that use the element; a record with several lines
// opens into one row per line. A double-click on a row asks for that record to be opened, at
// the row's line (a record's first one). Rows come in while the search goes on; closing the
// dialog stops it. The rows are those of a WhereUsedModel in a view: a list of 60,000 records
// fills without holding the window.
class WhereUsedModel;

class WhereUsedDialog : public QDialog {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;

    WhereUsedDialog(const QString& element, TranslateFn translate, QWidget* parent);

    void add(const QList<RecordUses>& records);
    // After the last row: the count of uses, or that nothing uses the element (once the rows
    // handed over are all in the list).
    void finish(qint64 uses);
    bool isSearchFinished() const { return m_finished; }
    QTreeView* list() const { return m_list; }
    WhereUsedModel* model() const { return m_model; }
    QLabel* status() const { return m_status; }
    const QString& element() const { return m_element; }

signals:
    void openRecord(int context, qint64 id, int line);
    // The search ended and its count is shown.
    void searchFinished();

private:
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }
    // Shows the progress, or the end once the search has finished and every row is in.
    void showStatus();

    QString m_element;
    TranslateFn m_translate;
    WhereUsedModel* m_model;
    QTreeView* m_list;
    QLabel* m_status;
    std::optional<qint64> m_total; // the search's count, once it has finished
    bool m_finished = false;
};

// The element tree's where-used entry: the context menu of a leaf that is an element (a label,
// a category or a variant) offers "Formule che lo usano", which searches the stored formulas on
// the window's connection (language::WhereUsed) and shows them in a WhereUsedDialog. A
// double-click there hands the record and line to `open` (the window asks the host).
class TreeWhereUsed : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString(const QString&)> translate;
        std::function<ado::Connection*()> connection;
        // Opens a record with a line marked and a message for it.
        std::function<void(int context, qint64 id, int line, const QString& message)> open;
        // Runs a step under the window's error trap (a failing search is shown, not thrown).
        std::function<void(const QString& procedure, const std::function<void()>& step)> trap;
    };

    TreeWhereUsed(QTreeWidget* tree, Hooks hooks);

    // The element a node stands for, as the where-used search names it; nullopt for branches,
    // top-level nodes, operators and delimiters.
    std::optional<QString> elementOf(QTreeWidgetItem* item) const;
    // The context menu of a node: one entry, enabled when the node is an element. The caller
    // owns the menu.
    QMenu* menuFor(QTreeWidgetItem* item, QWidget* parent);
    // Searches the uses of the node's element and shows them (a new dialog each time; the last
    // one is kept by dialog()). Nothing happens for a node that is no element.
    void showUses(QTreeWidgetItem* item);
    WhereUsedDialog* dialog() const { return m_dialog; }

private:
    QString tr(const QString& italian) const {
        return m_hooks.translate ? m_hooks.translate(italian) : italian;
    }
    void search(const QString& element, WhereUsedDialog& dialog);

    QTreeWidget* m_tree;
    Hooks m_hooks;
    QPointer<WhereUsedDialog> m_dialog;
};

} // namespace editor
