#pragma once

#include "diagnostics/ElementCatalog.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QTreeWidgetItem;

namespace tree {
class StrutturaTree;
}

namespace editor {

class TreeWidgetSink;

// The sub-branches of the element tree that list the company's categories or variants, by key;
// nullopt for any other node.
std::optional<diagnostics::ElementKind> listBranchKind(const QString& key);

// Reads the deferred list sub-branches among `keys` from the window's catalogue, which holds the
// same rows read with the same statements on the worker after the window's first paint: the rows
// are made at once and take their text from the catalogue when they are painted (a category's
// description through `translate`, as the tree's own reading does), so a branch of 100,000 rows
// opens without a statement and without building 100,000 texts. A branch whose rows the
// catalogue does not know, or whose keys could not be formed or are not unique, is left pending:
// the tree's own reading takes it, with its statement and its errors.
void fillListsFromCatalogue(tree::StrutturaTree& builder, TreeWidgetSink& sink, const QStringList& keys,
                            const std::function<QTreeWidgetItem*(const QString&)>& nodeByKey,
                            const std::shared_ptr<const diagnostics::ElementCatalog>& catalog,
                            const std::function<QString(const QString&)>& translate);

} // namespace editor
