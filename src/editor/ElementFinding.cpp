#include "editor/ElementFinding.h"

#include "core/HostServices.h"
#include "diagnostics/ElementHelp.h"
#include "diagnostics/ElementSearch.h"
#include "diagnostics/FormulaHighlighter.h"
#include "editor/CatalogLoader.h"
#include "editor/ElementCompleter.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FormulaAssist.h"
#include "editor/TreeFilter.h"
#include "host/controls/VXL_RESIZEFORM.h"
#include "host/controls/VxlRichTextBox.h"
#include "tree/Insertion.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

namespace editor {

namespace {

// The keys of the box and the tree, shown while the caret is on no element.
const QString Hint =
    QStringLiteral("Ctrl+Spazio: completa · Ctrl+F: cerca elementi · Ctrl+R: trova e sostituisci · "
                   "Ctrl+G: vai alla riga · Ctrl+/: commento · Ctrl++ / Ctrl+-: zoom");

// The parts of `hint` (separated by " · ") that fit in `width`, whole, from the first; the first
// alone, elided, when not even it fits.
QString fittingParts(const QString& hint, const QFontMetrics& metrics, int width) {
    const QString separator = QStringLiteral(" · ");
    const QStringList parts = hint.split(separator);
    QString shown;
    for (const QString& part : parts) {
        const QString longer = shown.isEmpty() ? part : shown + separator + part;
        if (metrics.horizontalAdvance(longer) > width)
            break;
        shown = longer;
    }
    return shown.isEmpty() ? metrics.elidedText(parts.value(0), Qt::ElideRight, width) : shown;
}

} // namespace

ElementFinding::ElementFinding(FRMLP_FORMULE* window, core::HostServices& services, QLabel* helpLine)
    : QObject(window)
    , m_window(window)
    , m_services(services)
    , m_helpLine(helpLine) {
    controls::VxlRichTextBox* box = window->TXT_FORMULA;
    QTreeWidget* tree = window->TVW_FIELDS;
    m_completer = new ElementCompleter(box);
    m_completer->setInserted([window] {
        window->setCaretPosition(window->TXT_FORMULA->SelStart());
        window->RecordUndoState();
    });
    m_filterBox = new QLineEdit(window);
    m_filterBox->setObjectName(QStringLiteral("TXT_CERCA"));
    m_filterBox->setPlaceholderText(m_services.translate(QStringLiteral("Cerca (Ctrl+F)")));
    m_filter =
        new TreeFilter(tree, m_filterBox,
                       {.nodes = [window]() -> const QList<QTreeWidgetItem*>& { return window->treeNodes(); },
                        .pending = [window] { return window->pendingTreeBranches(); },
                        .fill = [window](const QStringList& keys) { window->fillTreeBranches(keys); },
                        .extra =
                            [this](QTreeWidgetItem* item) {
                                const QString element = insertionOf(item);
                                const std::optional<diagnostics::ElementInfo> info =
                                    m_help ? m_help->describe(element) : std::nullopt;
                                return info ? element + u' ' + info->variable : element;
                            },
                        .activate = [window] { window->TVW_FIELDS_DblClick(); }});
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), window);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_filterBox->setFocus();
        m_filterBox->selectAll();
    });
    // The tree: full texts readable by scrolling sideways and in the tooltip.
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    tree->setTextElideMode(Qt::ElideNone);
    tree->viewport()->installEventFilter(this);
    // Measuring the column reads every visible row: done once after a run of expansions (the
    // expand-all button expands every node), not once per node.
    auto* fitLater = new QTimer(this);
    fitLater->setSingleShot(true);
    fitLater->setInterval(0);
    connect(fitLater, &QTimer::timeout, tree, [tree] { tree->resizeColumnToContents(0); });
    const auto fit = [fitLater] { fitLater->start(); };
    connect(tree, &QTreeWidget::itemExpanded, this, fit);
    connect(tree, &QTreeWidget::itemCollapsed, this, fit);
    connect(m_filter, &TreeFilter::applied, this, fit);
    box->viewport()->installEventFilter(this);
    connect(box, &QPlainTextEdit::cursorPositionChanged, this, &ElementFinding::followCaret);
    window->RESIZEFORM->setAfterApply([this] { layoutTree(); });
    if (m_helpLine) {
        m_helpLine->installEventFilter(this);
        m_helpLine->setMinimumWidth(1); // the hint gives up its last keys, not the strip its width
        followCaret();
    }
}

ElementFinding::~ElementFinding() = default;

void ElementFinding::translateCaptions() {
    m_filterBox->setPlaceholderText(m_services.translate(QStringLiteral("Cerca (Ctrl+F)")));
}

void ElementFinding::load(
    const QString& ditta,
    std::function<void(const std::shared_ptr<const diagnostics::ElementCatalog>&)> catalogue) {
    if (m_loader)
        return;
    m_loader = new CatalogLoader(m_services, this);
    m_loader->setObjectName(QStringLiteral("catalogLoader"));
    m_loader->start(ditta, [this, catalogue = std::move(catalogue)](const CatalogLoader::Catalog& catalog,
                                                                    const CatalogLoader::Search& search) {
        start(catalog, search);
        if (catalogue)
            catalogue(catalog);
    });
}

void ElementFinding::start(const std::shared_ptr<const diagnostics::ElementCatalog>& catalog,
                           std::shared_ptr<const diagnostics::ElementSearch> search) {
    m_catalog = catalog;
    m_search = search ? std::move(search) : std::make_shared<const diagnostics::ElementSearch>(catalog);
    m_help = std::make_unique<diagnostics::ElementHelp>(
        catalog, [this](const QString& s) { return m_services.translate(s); },
        diagnostics::ElementHelp::connectionDataType(m_services));
    m_completer->setSearch(m_search);
    m_filter->setSearch(m_search);
    if (!m_window->RESIZEFORM->isStarted())
        layoutTree();
    followCaret();
}

void ElementFinding::layoutTree() {
    QTreeWidget* tree = m_window->TVW_FIELDS;
    const QRect placed = tree->geometry();
    const int height = m_filterBox->sizeHint().height();
    m_filterBox->setGeometry(placed.left(), placed.top(), placed.width(), height);
    tree->setGeometry(placed.adjusted(0, height + 2, 0, 0));
}

QString ElementFinding::insertionOf(QTreeWidgetItem* item) const {
    tree::InsertionRequest request;
    request.text = item->text(0);
    if (item->parent() != nullptr) {
        request.parentText = item->parent()->text(0);
        if (item->parent()->parent() != nullptr)
            request.grandparentText = item->parent()->parent()->text(0);
    }
    try {
        return tree::composeInsertion(request, [this](const QString& s) { return m_services.translate(s); })
            .insertion;
    } catch (...) {
        return {};
    }
}

QString ElementFinding::helpOf(const QString& element, bool multiline) const {
    const std::optional<diagnostics::ElementInfo> info = m_help ? m_help->describe(element) : std::nullopt;
    if (!info)
        return {};
    return multiline ? m_help->lines(*info).join(u'\n') : m_help->summary(*info);
}

QString ElementFinding::nodeTip(QTreeWidgetItem* item) const {
    if (item == nullptr)
        return {};
    const QString help = item->childCount() == 0 ? helpOf(insertionOf(item), true) : QString();
    return help.isEmpty() ? item->text(0) : item->text(0) + QStringLiteral("\n\n") + help;
}

QString ElementFinding::elementTipAt(int documentPosition) const {
    const QTextBlock block = m_window->TXT_FORMULA->document()->findBlock(documentPosition);
    if (!block.isValid())
        return {};
    const diagnostics::FormulaScanner scanner;
    const std::optional<diagnostics::Span> span =
        diagnostics::elementAt(scanner, block.text(), diagnostics::FormulaHighlighter::stateBefore(block),
                               documentPosition - block.position());
    return span ? block.text().mid(span->start, span->length) : QString();
}

void ElementFinding::followCaret() {
    if (!m_helpLine)
        return;
    const QString element = elementTipAt(m_window->TXT_FORMULA->textCursor().position());
    const QString help = element.isEmpty() ? QString() : helpOf(element, false);
    if (!help.isEmpty()) {
        m_helpLine->setText(help);
        m_helpLine->setToolTip(QString());
        return;
    }
    // As many of the keys as the line holds; all of them on hover.
    const QString hint = m_services.translate(Hint);
    m_helpLine->setText(fittingParts(hint, m_helpLine->fontMetrics(), m_helpLine->contentsRect().width()));
    m_helpLine->setToolTip(hint);
}

bool ElementFinding::eventFilter(QObject* watched, QEvent* event) {
    // The help line is compared only on events a live widget receives (not those of its
    // destruction, when it is no label any more).
    if (event->type() == QEvent::Resize && watched == m_helpLine)
        followCaret();
    if (event->type() != QEvent::ToolTip || watched == m_helpLine)
        return QObject::eventFilter(watched, event);
    auto* help = static_cast<QHelpEvent*>(event);
    QString tip;
    if (watched == m_window->TVW_FIELDS->viewport()) {
        tip = nodeTip(m_window->TVW_FIELDS->itemAt(help->pos()));
    } else {
        const int position = m_window->TXT_FORMULA->cursorForPosition(help->pos()).position();
        const QString element = elementTipAt(position);
        tip = element.isEmpty() ? QString() : helpOf(element, true);
        // A wavy underline there says first what is wrong.
        const QString marked = m_window->assist() ? m_window->assist()->messageAt(position) : QString();
        if (!marked.isEmpty())
            tip = tip.isEmpty() ? marked : marked + QStringLiteral("\n\n") + tip;
    }
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, qobject_cast<QWidget*>(watched));
    return true;
}

} // namespace editor
