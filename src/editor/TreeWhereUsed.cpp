#include "editor/TreeWhereUsed.h"

#include "ado/Ado.h"
#include "core/Error.h"
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
const QString Searching = QStringLiteral("Ricerca in corso: usi trovati finora %1...");
// A record's lines beyond these are in its own rows (the record opens into one row per line).
constexpr int ShownLines = 20;

// The rows keep the record and line for the double-click.
constexpr int ContextRole = Qt::UserRole;
constexpr int IdRole = Qt::UserRole + 1;
constexpr int LineRole = Qt::UserRole + 2;
constexpr int LinesRole = Qt::UserRole + 3; // a record's lines, until its rows of lines are made

QString linesText(const QList<int>& lines) {
    QStringList shown;
    for (qsizetype i = 0; i < lines.size() && i < ShownLines; ++i)
        shown << QString::number(lines[i]);
    if (lines.size() > ShownLines)
        shown << QStringLiteral("...");
    return shown.join(QStringLiteral(", "));
}

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
                             tr(QStringLiteral("Descrizione")), tr(QStringLiteral("Righe"))});
    // The columns take the width of the first rows: sized to their contents at every batch, the
    // view would lay out every row again each time (tens of thousands of records).
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_status = new QLabel(tr(Searching).arg(0), this);
    // The rows of a record's lines are made when it is first opened.
    connect(m_list, &QTreeWidget::itemExpanded, this, &WhereUsedDialog::addLines);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    resize(560, 300);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        emit openRecord(item->data(0, ContextRole).toInt(), item->data(0, IdRole).toLongLong(),
                        item->data(0, LineRole).toInt());
    });
}

void WhereUsedDialog::add(const QList<RecordUses>& records) {
    QList<QTreeWidgetItem*> items;
    items.reserve(records.size());
    for (const RecordUses& record : records) {
        const tables::EditingContext* context = tables::editingContext(record.context);
        auto* item = new QTreeWidgetItem(
            {context ? tr(QString::fromUtf8(context->caption)) : QString::number(record.context),
             QString::number(record.id), record.description, linesText(record.lines)});
        item->setData(0, ContextRole, record.context);
        item->setData(0, IdRole, record.id);
        item->setData(0, LineRole, record.lines.value(0));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        if (record.lines.size() > 1) {
            item->setData(0, LinesRole, QVariant::fromValue(record.lines));
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        m_uses += record.lines.size();
        items << item;
    }
    const bool first = m_list->topLevelItemCount() == 0;
    m_list->addTopLevelItems(items);
    if (first && !items.isEmpty()) {
        m_list->setCurrentItem(items.first());
        for (int column : {0, 1, 3})
            m_list->resizeColumnToContents(column);
    }
    if (!m_finished)
        m_status->setText(tr(Searching).arg(m_uses));
}

void WhereUsedDialog::addLines(QTreeWidgetItem* record) {
    const QVariant lines = record->data(0, LinesRole);
    if (!lines.isValid())
        return;
    record->setData(0, LinesRole, QVariant());
    QList<QTreeWidgetItem*> rows;
    for (int line : lines.value<QList<int>>()) {
        auto* row = new QTreeWidgetItem({QString(), QString(), QString(), QString::number(line)});
        row->setData(0, ContextRole, record->data(0, ContextRole));
        row->setData(0, IdRole, record->data(0, IdRole));
        row->setData(0, LineRole, line);
        row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        rows << row;
    }
    record->addChildren(rows);
}

void WhereUsedDialog::finish(qint64 uses) {
    m_finished = true;
    m_uses = uses;
    m_status->setText(m_list->topLevelItemCount() == 0 ? tr(NoUse).arg(m_element) : tr(Uses).arg(uses));
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
