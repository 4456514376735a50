#include "editor/HistoryPanel.h"

#include "editing/WordDiff.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace editor {

namespace {

const char* const Columns[] = {"Versione", "Utente", "Data (UTC)", "Commento", "Caratteri"};

// The marks of the differences: strong enough on a light base, light enough on a dark one; the
// strike and the underline say it without the colours too.
QTextCharFormat markFormat(editing::DiffOp op, const QPalette& palette) {
    QTextCharFormat format;
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    if (op == editing::DiffOp::Delete) {
        format.setForeground(dark ? QColor(0xff, 0x8a, 0x80) : QColor(0xb7, 0x1c, 0x1c));
        format.setBackground(dark ? QColor(0x5a, 0x1e, 0x1e) : QColor(0xfd, 0xe0, 0xe0));
        format.setFontStrikeOut(true);
    } else if (op == editing::DiffOp::Insert) {
        format.setForeground(dark ? QColor(0x9c, 0xe6, 0x9c) : QColor(0x1b, 0x5e, 0x20));
        format.setBackground(dark ? QColor(0x1e, 0x46, 0x1e) : QColor(0xdf, 0xf3, 0xdf));
        format.setFontUnderline(true);
    }
    return format;
}

} // namespace

HistoryPanel::HistoryPanel(Hooks hooks, QWidget* parent)
    : QWidget(parent)
    , m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("HISTORY_PANEL"));
    setWindowTitle(QStringLiteral("Cronologia della formula"));
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, int(std::size(Columns)), this);
    m_table->setObjectName(QStringLiteral("HISTORY_VERSIONS"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    layout->addWidget(m_table, 2);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("HISTORY_NOTE"));
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    m_diff = new QTextEdit(this);
    m_diff->setObjectName(QStringLiteral("HISTORY_DIFFERENCES"));
    m_diff->setReadOnly(true);
    m_diff->setLineWrapMode(QTextEdit::NoWrap);
    QFont mono = m_diff->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    m_diff->setFont(mono);
    layout->addWidget(m_diff, 3);
    m_restore = new QPushButton(QStringLiteral("Ripristina"), this);
    m_restore->setObjectName(QStringLiteral("HISTORY_RESTORE"));
    m_restore->setEnabled(false);
    layout->addWidget(m_restore, 0, Qt::AlignRight);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { showSelected(); });
    connect(m_restore, &QPushButton::clicked, this, [this] { restoreSelected(); });
    translateCaptions();
}

QString HistoryPanel::tr(const QString& text) const {
    return m_hooks.translate ? m_hooks.translate(text) : text;
}

void HistoryPanel::translateCaptions() {
    setWindowTitle(tr(QStringLiteral("Cronologia della formula")));
    QStringList headers;
    for (const char* column : Columns)
        headers << tr(QString::fromUtf8(column));
    m_table->setHorizontalHeaderLabels(headers);
    // "Ripristina" alone is the redo button's entry in the catalogues (another English word): the
    // button's own entry has a key of its own, and Italian shows the word itself.
    const QString restoreKey = QStringLiteral("Ripristina (versione della cronologia)");
    const QString restoreText = tr(restoreKey);
    m_restore->setText(restoreText == restoreKey ? QStringLiteral("Ripristina") : restoreText);
    m_restore->setToolTip(tr(QStringLiteral(
        "Mette la versione scelta nel riquadro della formula (Ctrl+Z la toglie); si salva come sempre")));
}

void HistoryPanel::setVersions(const QList<editing::FormulaVersion>& versions, bool more,
                               std::optional<int> select) {
    m_versions = versions;
    const QSignalBlocker quiet(m_table);
    m_table->clearContents();
    m_table->setRowCount(int(versions.size()));
    int selectRow = versions.isEmpty() ? -1 : 0;
    for (int row = 0; row < versions.size(); ++row) {
        const editing::FormulaVersion& v = versions.at(row);
        const QString size = v.sqlForm ? QString::number(v.sqlForm->size()) : tr(QStringLiteral("(vuota)"));
        const QString cells[] = {QString::number(v.version), v.user,
                                 QString(v.when).replace(u'T', u' ').remove(u'Z'), v.comment, size};
        for (int column = 0; column < int(std::size(cells)); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 0 || column == 4)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(row, column, item);
        }
        if (select && v.version == *select)
            selectRow = row;
    }
    m_table->resizeColumnsToContents();
    if (selectRow >= 0)
        m_table->selectRow(selectRow);
    m_listNote =
        more ? tr(QStringLiteral("Sono elencate solo le %1 versioni più recenti")).arg(versions.size())
             : QString();
    showSelected();
    if (versions.isEmpty())
        setNote(tr(QStringLiteral("La formula non ha ancora versioni registrate: la prima si registra "
                                  "al primo salvataggio")));
}

void HistoryPanel::setProblem(const QString& text) {
    setVersions({}, false);
    setNote(text);
}

void HistoryPanel::setNote(const QString& text) {
    m_note->setText(m_listNote.isEmpty() ? text : m_listNote + QLatin1Char('\n') + text);
}

int HistoryPanel::selectedVersion() const {
    const QList<QTableWidgetItem*> items = m_table->selectedItems();
    if (items.isEmpty())
        return 0;
    const int row = items.first()->row();
    return row < m_versions.size() ? m_versions.at(row).version : 0;
}

void HistoryPanel::refresh() {
    showSelected();
}

void HistoryPanel::showSelected() {
    setNote(QString());
    m_diff->clear();
    m_shown.reset();
    m_restore->setEnabled(false);
    const QList<QTableWidgetItem*> items = m_table->selectedItems();
    if (items.isEmpty() || items.first()->row() >= m_versions.size())
        return;
    const editing::FormulaVersion& v = m_versions.at(items.first()->row());
    m_shown = m_hooks.displayForm ? m_hooks.displayForm(v.sqlForm) : v.sqlForm.value_or(QString());
    if (!m_shown) {
        setNote(tr(QStringLiteral("La versione %1 non si lascia mostrare nella forma visualizzata: la sua "
                                  "forma SQL non si traduce con gli elementi di oggi"))
                    .arg(v.version));
        return;
    }
    const QString box = m_hooks.boxText ? m_hooks.boxText() : QString();
    const QList<editing::DiffItem> pieces = editing::wordDiff(*m_shown, box);
    const bool same = pieces.size() <= 1 && (pieces.isEmpty() || pieces.first().op == editing::DiffOp::Equal);
    setNote(same ? tr(QStringLiteral("La versione %1 è uguale al testo del riquadro")).arg(v.version)
                 : tr(QStringLiteral("Versione %1 contro il riquadro: barrato in rosso ciò che c'è solo "
                                     "nella versione, sottolineato in verde ciò che c'è solo nel "
                                     "riquadro"))
                       .arg(v.version));
    QTextCursor cursor(m_diff->document());
    for (const editing::DiffItem& piece : pieces)
        cursor.insertText(piece.text, markFormat(piece.op, m_diff->palette()));
    m_diff->moveCursor(QTextCursor::Start);
    m_restore->setEnabled(!same);
}

void HistoryPanel::restoreSelected() {
    if (m_shown && m_hooks.restore)
        m_hooks.restore(*m_shown);
    showSelected();
}

} // namespace editor
