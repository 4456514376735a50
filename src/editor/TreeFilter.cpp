#include "editor/TreeFilter.h"

#include "diagnostics/ElementCatalog.h"
#include "diagnostics/ElementSearch.h"
#include "editor/CatalogueRows.h"
#include "tree/StrutturaTree.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

#include <optional>

namespace editor {

namespace {

// The folded words a leaf is found by, kept on the item once computed.
constexpr int FoldedRole = Qt::UserRole + 40;
const QColor Highlight(255, 236, 140);

std::optional<diagnostics::ElementKind> listKind(const QString& key) {
    return listBranchKind(key);
}

QString keyOf(const QTreeWidgetItem* item) {
    return item->data(0, Qt::UserRole).toString();
}

} // namespace

TreeFilter::TreeFilter(QTreeWidget* tree, QLineEdit* box, Hooks hooks)
    : QObject(tree)
    , m_tree(tree)
    , m_box(box)
    , m_hooks(std::move(hooks)) {
    m_pool.setMaxThreadCount(1);
    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(PauseMs);
    connect(m_pause, &QTimer::timeout, this, &TreeFilter::startSearch);
    box->setClearButtonEnabled(true);
    box->installEventFilter(this);
    tree->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this, &TreeFilter::apply);
    // A rebuilt tree deletes the rows it holds; those taken out are this filter's to delete.
    connect(tree->model(), &QAbstractItemModel::modelAboutToBeReset, this, &TreeFilter::forget);
}

TreeFilter::~TreeFilter() {
    m_latest->store(~quint64(0));
    m_pool.waitForDone();
    forget();
}

void TreeFilter::forget() {
    for (auto it = m_lists.cbegin(); it != m_lists.cend(); ++it) {
        const QSet<QTreeWidgetItem*> shown(it->shown.cbegin(), it->shown.cend());
        for (QTreeWidgetItem* row : it->all)
            if (!shown.contains(row))
                delete row;
    }
    m_lists.clear();
    m_highlighted.clear();
    m_expanded.clear();
    m_active = false;
}

void TreeFilter::setSearch(std::shared_ptr<const diagnostics::ElementSearch> search) {
    m_search = std::move(search);
}

bool TreeFilter::isSettled() const {
    return !m_pause->isActive() && !m_running;
}

void TreeFilter::apply(const QString& text) {
    if (diagnostics::SearchWords(text).isEmpty()) {
        m_pause->stop();
        ++m_generation; // a search still running is of no use
        m_running = false;
        clear();
        return;
    }
    m_pause->start();
}

void TreeFilter::startSearch() {
    const diagnostics::SearchWords words(m_box->text());
    if (!m_search) {
        show(words, nullptr);
        return;
    }
    const quint64 generation = ++m_generation;
    m_latest->store(generation);
    m_running = true;
    m_pool.start([this, search = m_search, words, generation, latest = m_latest] {
        auto matches = std::make_shared<Matches>();
        matches->generation = generation;
        const auto stale = [&] { return latest->load() != generation; };
        matches->categories = search->matching(diagnostics::ElementKind::Category, words, stale);
        matches->variants = search->matching(diagnostics::ElementKind::Variant, words, stale);
        if (stale())
            return;
        // The filter waits for this task before it is destroyed: it is still there.
        QMetaObject::invokeMethod(
            this, [this, matches] { searched(matches); }, Qt::QueuedConnection);
    });
}

void TreeFilter::searched(const std::shared_ptr<const Matches>& matches) {
    if (matches->generation != m_generation)
        return; // the box changed since: a newer search is on its way
    m_running = false;
    show(diagnostics::SearchWords(m_box->text()), matches.get());
}

void TreeFilter::applyNow() {
    m_pause->stop();
    ++m_generation;
    m_latest->store(m_generation);
    m_running = false;
    const diagnostics::SearchWords words(m_box->text());
    if (words.isEmpty()) {
        clear();
        return;
    }
    if (!m_search) {
        show(words, nullptr);
        return;
    }
    Matches matches;
    matches.categories = m_search->matching(diagnostics::ElementKind::Category, words);
    matches.variants = m_search->matching(diagnostics::ElementKind::Variant, words);
    show(words, &matches);
}

void TreeFilter::remember() {
    m_expanded.clear();
    for (QTreeWidgetItem* item : m_hooks.nodes())
        if (item->childCount() > 0)
            m_expanded.insert(item, item->isExpanded());
}

void TreeFilter::restore() {
    for (QTreeWidgetItem* item : ordinaryNodes()) {
        item->setHidden(false);
        if (item->childCount() > 0 || m_expanded.contains(item))
            item->setExpanded(m_expanded.value(item, false));
    }
}

// Rows not read yet are looked for in the catalogue; a branch is read only when one matches.
void TreeFilter::readMatchingBranches(const diagnostics::SearchWords& words, const Matches* matches) {
    if (!m_hooks.pending || !m_hooks.fill)
        return;
    QStringList read;
    for (const QString& key : m_hooks.pending()) {
        const diagnostics::ElementKind kind = listKind(key).value_or(diagnostics::ElementKind::Variant);
        const std::vector<bool>* known = !matches                                     ? nullptr
                                         : kind == diagnostics::ElementKind::Category ? &matches->categories
                                                                                      : &matches->variants;
        bool any = true; // a list not known may hold a match
        if (known && !known->empty())
            any = std::find(known->begin(), known->end(), true) != known->end();
        else if (m_search)
            any = m_search->anyMatch(kind, words);
        if (any)
            read.append(key);
    }
    if (!read.isEmpty())
        m_hooks.fill(read);
}

bool TreeFilter::leafMatches(QTreeWidgetItem* item, const diagnostics::SearchWords& words) {
    QVariant folded = item->data(0, FoldedRole);
    if (!folded.isValid()) {
        const QString extra = m_hooks.extra ? m_hooks.extra(item) : QString();
        folded =
            diagnostics::foldForComparison(item->text(0) + u'\x01' + extra, diagnostics::Fold::Apostrophes);
        item->setData(0, FoldedRole, folded);
    }
    return words.matches(folded.toString());
}

bool TreeFilter::filterRows(QTreeWidgetItem* branch, const diagnostics::SearchWords& words,
                            const Matches* matches) {
    auto it = m_lists.find(branch);
    if (it == m_lists.end()) {
        ListRows rows;
        rows.all.reserve(branch->childCount());
        for (int i = 0; i < branch->childCount(); ++i)
            rows.all.append(branch->child(i));
        rows.shown = rows.all;
        it = m_lists.insert(branch, rows);
    }
    ListRows& rows = *it;
    // The catalogue's answer stands for the rows when they are its list in its order (the tree
    // reads them with the same statement); otherwise each row's own text is compared.
    const std::optional<diagnostics::ElementKind> kind = listKind(keyOf(branch));
    const std::vector<bool>* known = nullptr;
    if (matches && kind && m_search) {
        const std::vector<bool>& v =
            *kind == diagnostics::ElementKind::Category ? matches->categories : matches->variants;
        const diagnostics::ElementCatalog& catalog = m_search->catalog();
        const qsizetype n = rows.all.size();
        if (qsizetype(v.size()) == n && n > 0 &&
            catalog.referenceText(*kind, 0) == rows.all.first()->text(0) &&
            catalog.referenceText(*kind, n - 1) == rows.all.last()->text(0))
            known = &v;
    }
    QList<QTreeWidgetItem*> kept;
    for (qsizetype i = 0; i < rows.all.size(); ++i) {
        QTreeWidgetItem* row = rows.all.at(i);
        if (known ? (*known)[std::size_t(i)] : leafMatches(row, words))
            kept.append(row);
    }
    // The rows join and leave the branch together: one change of the view each way. Their
    // colour is set while they are out of it, where it costs the view nothing.
    branch->takeChildren();
    for (QTreeWidgetItem* row : std::as_const(rows.shown))
        row->setBackground(0, QBrush());
    if (kept.size() != rows.all.size())
        for (QTreeWidgetItem* row : std::as_const(kept))
            row->setBackground(0, Highlight);
    for (QTreeWidgetItem* row : std::as_const(kept))
        row->setHidden(false);
    branch->addChildren(kept);
    rows.shown = kept;
    return !kept.isEmpty();
}

std::vector<QTreeWidgetItem*> TreeFilter::ordinaryNodes() const {
    const QList<QTreeWidgetItem*>& nodes = m_hooks.nodes();
    std::vector<QTreeWidgetItem*> out;
    out.reserve(std::size_t(std::min<qsizetype>(nodes.size(), 4096)));
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        QTreeWidgetItem* item = nodes.at(i);
        out.push_back(item);
        // A list branch's rows follow it in the order of the nodes.
        const auto it = m_lists.constFind(item);
        const qsizetype rows = it != m_lists.constEnd() ? it->all.size()
                               : listKind(keyOf(item))  ? item->childCount()
                                                        : 0;
        if (rows > 0 && i + rows < nodes.size() && nodes.at(i + 1) != nullptr &&
            (it != m_lists.constEnd() ? nodes.at(i + 1) == it->all.first()
                                      : nodes.at(i + 1)->parent() == item))
            i += rows;
    }
    return out;
}

void TreeFilter::show(const diagnostics::SearchWords& words, const Matches* matches) {
    if (words.isEmpty()) {
        clear();
        return;
    }
    m_tree->setUpdatesEnabled(false);
    if (!m_active)
        remember();
    m_active = true;
    readMatchingBranches(words, matches);
    for (QTreeWidgetItem* item : std::as_const(m_highlighted))
        item->setBackground(0, QBrush());
    m_highlighted.clear();
    // Children come after their parents: walking backwards, a parent learns whether any of its
    // children stays before it is reached.
    const std::vector<QTreeWidgetItem*> nodes = ordinaryNodes();
    QSet<QTreeWidgetItem*> keeps;
    for (auto i = nodes.rbegin(); i != nodes.rend(); ++i) {
        QTreeWidgetItem* item = *i;
        bool keep = keeps.contains(item);
        if (m_lists.contains(item) || (listKind(keyOf(item)) && item->childCount() > 0)) {
            keep = filterRows(item, words, matches);
        } else if (item->childCount() == 0 && item->parent() != nullptr) {
            keep = leafMatches(item, words);
            if (keep) {
                item->setBackground(0, Highlight);
                m_highlighted.append(item);
            }
        }
        if (item->isHidden() == keep)
            item->setHidden(!keep);
        if (keep && item->parent() != nullptr)
            keeps.insert(item->parent());
        if (item->childCount() > 0 && item->isExpanded() != keep)
            item->setExpanded(keep);
    }
    m_tree->setUpdatesEnabled(true);
    emit applied();
}

void TreeFilter::putRowsBack() {
    for (auto it = m_lists.begin(); it != m_lists.end(); ++it) {
        QTreeWidgetItem* branch = it.key();
        branch->takeChildren();
        for (QTreeWidgetItem* row : std::as_const(it->shown))
            row->setBackground(0, QBrush());
        branch->addChildren(it->all);
    }
    m_lists.clear();
}

void TreeFilter::clear() {
    if (!m_box->text().isEmpty()) {
        m_box->clear(); // comes back here through textChanged
        return;
    }
    if (!m_active)
        return;
    m_tree->setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : std::as_const(m_highlighted))
        item->setBackground(0, QBrush());
    m_highlighted.clear();
    restore();
    putRowsBack();
    m_active = false;
    m_tree->setUpdatesEnabled(true);
    emit applied();
}

void TreeFilter::focusFirstMatch() {
    QTreeWidgetItem* first = nullptr;
    // The first highlighted leaf in the tree's order: the walk gathered them backwards, and the
    // rows of the list branches come after the branch that holds them.
    for (QTreeWidgetItem* item : ordinaryNodes()) {
        if (m_lists.contains(item) && !m_lists.value(item).shown.isEmpty() && !item->isHidden()) {
            first = m_lists.value(item).shown.first();
            break;
        }
        if (!item->isHidden() && m_highlighted.contains(item)) {
            first = item;
            break;
        }
    }
    if (first != nullptr) {
        m_tree->setCurrentItem(first);
        first->setSelected(true);
    }
    m_tree->setFocus();
}

bool TreeFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == m_box) {
        if (key == Qt::Key_Escape) {
            clear();
            return true;
        }
        if (enter || key == Qt::Key_Down) {
            // What the box says is shown before the keys move in the tree.
            if (!isSettled())
                applyNow();
            focusFirstMatch();
            QTreeWidgetItem* item = m_tree->currentItem();
            if (enter && item != nullptr && item->isSelected() && item->childCount() == 0 && m_hooks.activate)
                m_hooks.activate();
            return true;
        }
    } else if (watched == m_tree && enter) {
        QTreeWidgetItem* item = m_tree->currentItem();
        if (item != nullptr && item->childCount() == 0 && m_hooks.activate) {
            item->setSelected(true);
            m_hooks.activate();
            return true;
        }
    } else if (watched == m_tree && key == Qt::Key_Escape && m_active) {
        clear();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace editor
