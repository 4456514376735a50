#include "editor/CatalogueRows.h"

#include "editor/TreeWidgetSink.h"
#include "tree/StrutturaTree.h"

#include <QHash>
#include <QTreeWidgetItem>

#include <algorithm>
#include <vector>

namespace editor {

namespace {

// What the rows of one branch share.
struct Shared {
    std::shared_ptr<const diagnostics::ElementCatalog> catalog;
    diagnostics::ElementKind kind;
    QString subKey;
    QIcon icon;
    std::function<QString(const QString&)> translate; // null: the text as read
};

// The key the tree's reading gives a row: the sub-branch's key, "_", and the category's id in
// ten digits or the variant's code.
QString rowKey(const Shared& shared, qsizetype index) {
    if (shared.kind == diagnostics::ElementKind::Variant)
        return shared.subKey + u'_' + shared.catalog->referenceCode(shared.kind, index).toString();
    const qlonglong id = shared.catalog->referenceId(shared.kind, index).toLongLong();
    const QString digits = QString::number(id < 0 ? -id : id).rightJustified(10, u'0');
    return shared.subKey + u'_' + (id < 0 ? u'-' + digits : digits);
}

// A row of a list branch: its text, picture and key come from the catalogue when asked; anything
// set on it (the search's colour, its folded words) is kept as on any item.
class CatalogueRow : public QTreeWidgetItem {
public:
    CatalogueRow(std::shared_ptr<const Shared> shared, qsizetype index)
        : m_shared(std::move(shared))
        , m_index(index) {}

    QVariant data(int column, int role) const override {
        if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
            return text();
        if (column == 0 && role == Qt::DecorationRole)
            return m_shared->icon;
        if (column == 0 && role == Qt::UserRole)
            return rowKey(*m_shared, m_index);
        return QTreeWidgetItem::data(column, role);
    }

private:
    QString text() const {
        if (!m_text.isNull())
            return m_text;
        const QString read = m_shared->catalog->referenceText(m_shared->kind, m_index).toString();
        m_text = read;
        if (m_shared->translate) {
            try {
                m_text = m_shared->translate(read);
            } catch (...) {
                m_text = read;
            }
        }
        return m_text;
    }

    std::shared_ptr<const Shared> m_shared;
    qsizetype m_index;
    mutable QString m_text;
};

// Whether every row of the list gets a key of its own, as the tree's reading forms it: ids that
// are whole numbers, codes that begin their text; none twice.
bool keysFormed(const diagnostics::ElementCatalog& catalog, diagnostics::ElementKind kind) {
    const qsizetype count = catalog.referenceCount(kind);
    if (kind == diagnostics::ElementKind::Category) {
        std::vector<qlonglong> ids;
        ids.reserve(std::size_t(count));
        for (qsizetype i = 0; i < count; ++i) {
            bool ok = false;
            ids.push_back(catalog.referenceId(kind, i).toLongLong(&ok));
            if (!ok)
                return false;
        }
        std::sort(ids.begin(), ids.end());
        return std::adjacent_find(ids.begin(), ids.end()) == ids.end();
    }
    std::vector<QStringView> codes;
    codes.reserve(std::size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView code = catalog.referenceCode(kind, i);
        const QStringView text = catalog.referenceText(kind, i);
        if (code.isEmpty() || !text.startsWith(code) || !text.sliced(code.size()).startsWith(u" - "))
            return false;
        codes.push_back(code);
    }
    std::sort(codes.begin(), codes.end());
    return std::adjacent_find(codes.begin(), codes.end()) == codes.end();
}

} // namespace

std::optional<diagnostics::ElementKind> listBranchKind(const QString& key) {
    static const QHash<QString, diagnostics::ElementKind> kinds = {
        {tree::elementKey(core::Variant::fromInt32(tree::CategoriesElement)),
         diagnostics::ElementKind::Category},
        {tree::elementKey(core::Variant::fromInt32(502)), diagnostics::ElementKind::Variant},
        {tree::elementKey(core::Variant::fromInt32(810)), diagnostics::ElementKind::Variant}};
    const auto it = kinds.constFind(key);
    return it == kinds.constEnd() ? std::nullopt : std::optional(*it);
}

namespace {

// The rows of one list branch, or nullopt when the keys cannot be formed or `stop` answered true.
std::optional<QList<QTreeWidgetItem*>>
makeRows(const std::shared_ptr<const diagnostics::ElementCatalog>& catalog, diagnostics::ElementKind kind,
         const QString& key, const QIcon& icon, const std::function<QString(const QString&)>& translate,
         const std::function<bool(qsizetype)>& stop) {
    if (!keysFormed(*catalog, kind))
        return std::nullopt;
    auto shared = std::make_shared<Shared>();
    shared->catalog = catalog;
    shared->kind = kind;
    shared->subKey = key;
    shared->icon = icon;
    if (kind == diagnostics::ElementKind::Category)
        shared->translate = translate;
    const qsizetype count = catalog->referenceCount(kind);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (stop && (i & 0xfff) == 0 && stop(i)) {
            qDeleteAll(rows);
            return std::nullopt;
        }
        rows.append(new CatalogueRow(shared, i));
    }
    return rows;
}

} // namespace

PreparedRows::PreparedRows(std::shared_ptr<const diagnostics::ElementCatalog> catalog,
                           const QStringList& keys, QIcon icon,
                           std::function<QString(const QString&)> translate)
    : m_catalog(std::move(catalog))
    , m_icon(std::move(icon))
    , m_translate(std::move(translate)) {
    QStringList lists;
    for (const QString& key : keys) {
        const std::optional<diagnostics::ElementKind> kind = listBranchKind(key);
        if (m_catalog && kind && m_catalog->listKnown(*kind) && !m_rows.count(key)) {
            m_rows.emplace(key, std::nullopt);
            lists.append(key);
        }
    }
    if (!lists.isEmpty())
        m_worker = std::thread([this, lists] { run(lists); });
}

PreparedRows::~PreparedRows() {
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
    for (auto& [key, taken] : m_rows) {
        if (taken)
            qDeleteAll(taken->rows);
    }
}

void PreparedRows::run(const QStringList& keys) {
    for (const QString& key : keys) {
        const diagnostics::ElementKind kind = *listBranchKind(key);
        const qsizetype count = m_catalog->referenceCount(kind);
        {
            std::lock_guard lock(m_mutex);
            if (!m_rows.count(key))
                continue; // made on the window's thread meanwhile
            m_current = key;
            m_made = 0;
        }
        // Between chunks of rows: stopped, or the window no longer waits for these rows.
        const auto stop = [this, &key, count](qsizetype made) {
            std::lock_guard lock(m_mutex);
            m_made = count > 0 ? made * 100 / count : 100;
            return m_stop.load() || !m_rows.count(key);
        };
        // The translation is the window's and is only called on its thread, when a row is painted.
        std::optional<QList<QTreeWidgetItem*>> rows =
            makeRows(m_catalog, kind, key, m_icon, m_translate, stop);
        std::lock_guard lock(m_mutex);
        m_current.clear();
        const auto it = m_rows.find(key);
        if (it == m_rows.end()) {
            if (rows)
                qDeleteAll(*rows);
        } else {
            it->second = Taken{rows.has_value(), rows.value_or(QList<QTreeWidgetItem*>())};
        }
        m_done.notify_all();
        if (m_stop)
            return;
    }
}

std::optional<PreparedRows::Taken> PreparedRows::take(const QString& key,
                                                      const diagnostics::ElementCatalog* catalog) {
    if (catalog != m_catalog.get())
        return std::nullopt;
    std::unique_lock lock(m_mutex);
    const auto it = m_rows.find(key);
    if (it == m_rows.end())
        return std::nullopt;
    // Rows the worker has not made yet, or only begun, are made here at once rather than waited
    // for (the worker drops them); rows more than half made are waited for.
    if (!it->second && (m_current != key || m_made < 50)) {
        m_rows.erase(it);
        return std::nullopt;
    }
    m_done.wait(lock, [&] { return it->second.has_value(); });
    std::optional<Taken> taken = std::move(it->second);
    m_rows.erase(it);
    return taken;
}

void fillListsFromCatalogue(tree::StrutturaTree& builder, TreeWidgetSink& sink, const QStringList& keys,
                            const std::function<QTreeWidgetItem*(const QString&)>& nodeByKey,
                            const std::shared_ptr<const diagnostics::ElementCatalog>& catalog,
                            const std::function<QString(const QString&)>& translate, PreparedRows* prepared) {
    if (!catalog)
        return;
    for (const QString& key : keys) {
        const std::optional<diagnostics::ElementKind> kind = listBranchKind(key);
        if (!kind || !builder.isPending(key) || !catalog->listKnown(*kind))
            continue;
        QTreeWidgetItem* branch = nodeByKey(key);
        if (branch == nullptr)
            continue;
        std::optional<PreparedRows::Taken> made =
            prepared ? prepared->take(key, catalog.get()) : std::nullopt;
        if (!made) {
            std::optional<QList<QTreeWidgetItem*>> rows =
                makeRows(catalog, *kind, key,
                         sink.iconOf(QString::fromLatin1(tree::ImgElemento),
                                     QString::fromLatin1(tree::ImgElementoSel)),
                         translate, {});
            made = PreparedRows::Taken{rows.has_value(), rows.value_or(QList<QTreeWidgetItem*>())};
        }
        if (!made->formed)
            continue;
        sink.joinRows(branch, made->rows);
        builder.dropPending(key);
    }
}

} // namespace editor
