#include "editor/TreeWhereUsed.h"

#include "ado/Ado.h"
#include "tables/EditingContext.h"
#include "tree/Insertion.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace editor {

namespace {

const QString MenuEntry = QStringLiteral("Formule che lo usano");
const QString Title = QStringLiteral("Formule che usano %1");
const QString NoUse = QStringLiteral("Nessuna formula usa %1.");
const QString Uses = QStringLiteral("Usi trovati: %1. Doppio clic per aprire la formula.");
const QString UseOf = QStringLiteral("Uso di %1");

// The rows keep the record and line for the double-click.
constexpr int ContextRole = Qt::UserRole;
constexpr int IdRole = Qt::UserRole + 1;
constexpr int LineRole = Qt::UserRole + 2;

} // namespace

WhereUsedDialog::WhereUsedDialog(const QString& element, TranslateFn translate, QWidget* parent)
    : QDialog(parent)
    , m_element(element)
    , m_translate(std::move(translate)) {
    setObjectName(QStringLiteral("whereUsedDialog"));
    setWindowTitle(tr(Title).arg(element));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("uses"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({tr(QStringLiteral("Contesto")), QStringLiteral("ID"),
                             tr(QStringLiteral("Descrizione")), tr(QStringLiteral("Riga"))});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_status = new QLabel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    resize(560, 300);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        emit openRecord(item->data(0, ContextRole).toInt(), item->data(0, IdRole).toLongLong(),
                        item->data(0, LineRole).toInt());
    });
}

void WhereUsedDialog::add(const language::ElementUse& use) {
    const tables::EditingContext* context = tables::editingContext(use.context);
    auto* item = new QTreeWidgetItem(
        m_list, {context ? tr(QString::fromUtf8(context->caption)) : QString::number(use.context),
                 QString::number(use.id), use.description, QString::number(use.line)});
    item->setData(0, ContextRole, use.context);
    item->setData(0, IdRole, use.id);
    item->setData(0, LineRole, use.line);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
}

void WhereUsedDialog::finish() {
    const int count = m_list->topLevelItemCount();
    m_status->setText(count == 0 ? tr(NoUse).arg(m_element) : tr(Uses).arg(count));
    if (count > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
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
    if (connection != nullptr && name) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        language::WhereUsed whereUsed(*connection);
        // A category that no longer exists is used nowhere.
        if (const auto used = whereUsed.resolve(*name))
            whereUsed.run(*used, std::nullopt,
                          [&dialog](const language::ElementUse& use) { dialog.add(use); });
    }
    dialog.finish();
}

} // namespace editor
