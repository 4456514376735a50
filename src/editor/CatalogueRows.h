#pragma once

#include "diagnostics/ElementCatalog.h"

#include <QIcon>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QTreeWidgetItem;

namespace tree {
class StrutturaTree;
}

namespace editor {

class TreeWidgetSink;

// The sub-branches of the element tree that list the company's categories or variants, by key;
// nullopt for any other node.
std::optional<diagnostics::ElementKind> listBranchKind(const QString& key);

// The rows of the list sub-branches made ahead on a worker thread as soon as the catalogue holds
// the lists, so that expanding a branch of 100,000 rows on the window's thread only joins rows
// already made to the tree. The rows are plain items that belong to no tree while they are made;
// their texts are still read from the catalogue (and translated) on the window's thread when
// they are painted.
class PreparedRows {
public:
    // Starts making the rows of the list sub-branches among `keys` (in that order) from
    // `catalog`, each row with `icon`; a category's text passes through `translate` when painted.
    PreparedRows(std::shared_ptr<const diagnostics::ElementCatalog> catalog, const QStringList& keys,
                 QIcon icon, std::function<QString(const QString&)> translate);
    // Stops the worker between rows, waits for it and deletes the rows nobody took.
    ~PreparedRows();
    PreparedRows(const PreparedRows&) = delete;
    PreparedRows& operator=(const PreparedRows&) = delete;

    // What take() found for a branch.
    struct Taken {
        bool formed = false;          // false: the rows could not all get keys of their own
        QList<QTreeWidgetItem*> rows; // the caller's from now on
    };
    // The rows of `key` made from `catalog`, waiting for the worker when it has made more than
    // half of them; nullopt when they were not prepared from that catalogue, were taken already,
    // or are better made by the caller at once (the worker then drops them).
    std::optional<Taken> take(const QString& key, const diagnostics::ElementCatalog* catalog);

private:
    void run(const QStringList& keys);

    std::shared_ptr<const diagnostics::ElementCatalog> m_catalog;
    QIcon m_icon;
    std::function<QString(const QString&)> m_translate;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::map<QString, std::optional<Taken>> m_rows; // nullopt while being made; gone once taken
    QString m_current;                              // the branch whose rows the worker makes
    qsizetype m_made = 0;                           // how much of them, in percent
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

// Reads the deferred list sub-branches among `keys` from the window's catalogue, which holds the
// same rows read with the same statements on the worker after the window's first paint: the rows
// are made at once and take their text from the catalogue when they are painted (a category's
// description through `translate`, as the tree's own reading does), so a branch of 100,000 rows
// opens without a statement and without building 100,000 texts. A branch whose rows the
// catalogue does not know, or whose keys could not be formed or are not unique, is left pending:
// the tree's own reading takes it, with its statement and its errors. Rows `prepared` holds for
// the same catalogue are taken from it instead of being made here.
void fillListsFromCatalogue(tree::StrutturaTree& builder, TreeWidgetSink& sink, const QStringList& keys,
                            const std::function<QTreeWidgetItem*(const QString&)>& nodeByKey,
                            const std::shared_ptr<const diagnostics::ElementCatalog>& catalog,
                            const std::function<QString(const QString&)>& translate,
                            PreparedRows* prepared = nullptr);

} // namespace editor
