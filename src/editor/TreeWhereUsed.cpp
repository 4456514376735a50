#include "editor/TreeWhereUsed.h"

#include "editor/WhereUsedModel.h"

#include "ado/Ado.h"
#include "core/Error.h"
#include "tables/EditingContext.h"
#include "tree/Insertion.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace editor {

namespace {

const QString MenuEntry = QStringLiteral("Formule che lo usano");
const QString Title = QStringLiteral("Formule che usano %1");
const QString NoUse = QStringLiteral("Nessuna formula usa %1.");
const QString Uses = QStringLiteral("Usi trovati: %1. Doppio clic per aprire la formula.");
const QString UseOf = QStringLiteral("Uso di %1");
const QString Searching = QStringLiteral("Ricerca in corso: usi trovati finora %1...");

} // namespace

WhereUsedDialog::WhereUsedDialog(const QString& element, TranslateFn translate, QWidget* parent)
    : QDialog(parent)
    , m_element(element)
    , m_translate(std::move(translate)) {
    setObjectName(QStringLiteral("whereUsedDialog"));
    setWindowTitle(tr(Title).arg(element));
    // The contexts' captions, translated once.
    QHash<int, QString> contexts;
    for (const tables::EditingContext& c : tables::editingContexts())
        contexts.insert(c.number, tr(QString::fromUtf8(c.caption)));
    m_model = new WhereUsedModel(
        {tr(QStringLiteral("Contesto")), QStringLiteral("ID"), tr(QStringLiteral("Descrizione")),
         tr(QStringLiteral("Righe"))},
        [contexts](int context) { return contexts.value(context, QString::number(context)); }, this);
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("uses"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setModel(m_model);
    // The columns take the width of the first rows: sized to their contents at every batch, the
    // view would lay out every row again each time (tens of thousands of records).
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_status = new QLabel(tr(Searching).arg(0), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    resize(560, 300);
    connect(m_list, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        emit openRecord(index.data(WhereUsedModel::ContextRole).toInt(),
                        index.data(WhereUsedModel::IdRole).toLongLong(),
                        index.data(WhereUsedModel::LineRole).toInt());
    });
    connect(m_model, &WhereUsedModel::appended, this, [this] {
        if (!m_list->currentIndex().isValid() && m_model->rowCount() > 0) {
            m_list->setCurrentIndex(m_model->index(0, 0));
            for (int column : {0, 1, 3})
                m_list->resizeColumnToContents(column);
        }
        showStatus();
    });
}

void WhereUsedDialog::add(const QList<RecordUses>& records) {
    m_model->add(records);
}

void WhereUsedDialog::finish(qint64 uses) {
    m_total = uses;
    showStatus();
}

void WhereUsedDialog::showStatus() {
    if (m_finished)
        return;
    if (!m_total || m_model->queued() > 0) {
        m_status->setText(tr(Searching).arg(m_model->uses()));
        return;
    }
    m_finished = true;
    m_status->setText(m_model->rowCount() == 0 ? tr(NoUse).arg(m_element) : tr(Uses).arg(*m_total));
    emit searchFinished();
}

TreeWhereUsed::TreeWhereUsed(QTreeWidget* tree, Hooks hooks)
    : m_tree(tree)
    , m_hooks(std::move(hooks)) {
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QTreeWidgetItem* item = m_tree->itemAt(pos);
        if (item == nullptr)
            return;
        m_tree->setCurrentItem(item);
        QMenu* menu = menuFor(item, m_tree);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        // Not exec(): the menu must not hold a nested event loop of its own.
        menu->popup(m_tree->viewport()->mapToGlobal(pos));
    });
}

std::optional<QString> TreeWhereUsed::elementOf(QTreeWidgetItem* item) const {
    if (item == nullptr)
        return std::nullopt;
    tree::InsertionRequest request;
    request.hasChildren =
        item->childCount() > 0 || item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
    request.text = item->text(0);
    if (item->parent() != nullptr) {
        request.parentText = item->parent()->text(0);
        if (item->parent()->parent() != nullptr)
            request.grandparentText = item->parent()->parent()->text(0);
    }
    const auto reference = tree::elementReference(request, m_hooks.translate);
    return reference ? std::optional<QString>(reference->text) : std::nullopt;
}

QMenu* TreeWhereUsed::menuFor(QTreeWidgetItem* item, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuAlbero"));
    QAction* uses = menu->addAction(tr(MenuEntry));
    uses->setObjectName(QStringLiteral("mnuFormuleCheLoUsano"));
    std::optional<QString> element;
    m_hooks.trap(QStringLiteral("TVW_FIELDS_ContextMenu"), [&] { element = elementOf(item); });
    uses->setEnabled(element.has_value());
    const QString text = element.value_or(QString());
    connect(uses, &QAction::triggered, this, [this, text] {
        m_hooks.trap(QStringLiteral("TVW_FIELDS_WhereUsed"), [&] {
            auto* dialog = new WhereUsedDialog(text, m_hooks.translate, m_tree->window());
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            m_dialog = dialog;
            connect(dialog, &WhereUsedDialog::openRecord, this,
                    [this, text](int context, qint64 id, int line) {
                        m_hooks.open(context, id, line, tr(UseOf).arg(text));
                    });
            search(text, *dialog);
            dialog->show();
        });
    });
    return menu;
}

void TreeWhereUsed::showUses(QTreeWidgetItem* item) {
    QMenu* menu = menuFor(item, m_tree);
    QAction* uses = menu->actions().value(0);
    if (uses != nullptr && uses->isEnabled())
        uses->trigger();
    delete menu;
}

void TreeWhereUsed::search(const QString& element, WhereUsedDialog& dialog) {
    ado::Connection* connection = m_hooks.connection ? m_hooks.connection() : nullptr;
    const auto name = language::parseElementName(element, m_hooks.translate);
    if (connection == nullptr || !name) {
        dialog.finish(0);
        return;
    }
    // The search goes with the dialog: closing it stops the search.
    auto* search = new WhereUsedSearch(&dialog);
    connect(search, &WhereUsedSearch::found, &dialog, &WhereUsedDialog::add);
    connect(search, &WhereUsedSearch::finished, &dialog, [this, &dialog](qint64 uses, const QString& error) {
        dialog.finish(uses);
        if (!error.isEmpty())
            m_hooks.trap(QStringLiteral("TVW_FIELDS_WhereUsed"),
                         [&error] { throw core::ComError(core::err::ProviderError, error); });
    });
    search->start(*connection, *name);
}

} // namespace editor
