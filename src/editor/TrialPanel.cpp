#include "editor/TrialPanel.h"

#include "check/Messages.h"
#include "check/ServerMessageTexts.h"
#include "host/controls/VxlRichTextBox.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>

namespace editor {

namespace {

// The panel's texts in Italian (the catalogues of data/translations have them in English).
const QString Title = QStringLiteral("Prova della formula");
const QString RunText = QStringLiteral("Prova");
const QString ElementHeader = QStringLiteral("Elemento");
const QString TypeHeader = QStringLiteral("Tipo");
const QString ValueHeader = QStringLiteral("Valore");
const QString OutputHeader = QStringLiteral("Risultato");
const QString BeforeHeader = QStringLiteral("Prima");
const QString AfterHeader = QStringLiteral("Dopo");
const QString TextType = QStringLiteral("testo");
const QString Ran =
    QStringLiteral("Eseguita: le righe segnate a sinistra della formula sono state eseguite.");
const QString RanNoTrace =
    QStringLiteral("Eseguita. Su SQL Server la traccia delle righe eseguite non è disponibile.");

constexpr int MarginWidth = 10;
const QColor ExecutedColor(46, 160, 67);
const QColor ErrorColor(207, 34, 46);

QString keyOf(const check::TrialElement& e) {
    switch (e.kind) {
    case check::TrialElement::Kind::Category:
        return QStringLiteral("C:") + e.key;
    case check::TrialElement::Kind::Variant:
        return QStringLiteral("V:") + e.key;
    default:
        return e.key;
    }
}

QTableWidget* table(QWidget* parent, int columns) {
    auto* t = new QTableWidget(0, columns, parent);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    return t;
}

QTableWidgetItem* cell(const QString& text, bool bold = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    if (bold) {
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
    }
    return item;
}

} // namespace

TrialMargin::TrialMargin(controls::VxlRichTextBox* box)
    : QWidget(box)
    , m_box(box) {
    setObjectName(QStringLiteral("TRIAL_MARGIN"));
    box->SetLeftMargin(MarginWidth);
    box->installEventFilter(this);
    connect(box->verticalScrollBar(), &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    // Marks of a run belong to the text that ran: an edit takes them away.
    connect(box, &QPlainTextEdit::textChanged, this, &TrialMargin::clear);
    place();
    show();
}

void TrialMargin::setMarks(const QList<int>& executed, int errorLine) {
    m_executed = executed;
    m_error = errorLine;
    update();
}

void TrialMargin::place() {
    if (!m_box)
        return;
    const QRect viewport = m_box->viewport()->geometry();
    setGeometry(viewport.left() - MarginWidth, viewport.top(), MarginWidth, viewport.height());
}

bool TrialMargin::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) && watched == m_box)
        place();
    return QWidget::eventFilter(watched, event);
}

void TrialMargin::paintEvent(QPaintEvent*) {
    if (!m_box)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QTextDocument* doc = m_box->document();
    auto mark = [&](int line, const QColor& color) {
        const QTextBlock block = doc->findBlockByNumber(line - 1);
        if (!block.isValid())
            return;
        const QRect r = m_box->cursorRect(QTextCursor(block));
        const int d = std::min(MarginWidth - 2, r.height() - 2);
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRect((MarginWidth - d) / 2, r.top() + (r.height() - d) / 2, d, d));
    };
    for (int line : m_executed)
        mark(line, ExecutedColor);
    if (m_error > 0)
        mark(m_error, ErrorColor);
}

TrialPanel::TrialPanel(controls::VxlRichTextBox* box, TranslateFn translate, QWidget* parent)
    : QWidget(parent)
    , m_box(box)
    , m_translate(std::move(translate)) {
    setObjectName(QStringLiteral("TRIAL_PANEL"));
    auto* layout = new QVBoxLayout(this);
    m_inputs = table(this, 3);
    m_inputs->setTabKeyNavigation(false);
    m_run = new QPushButton(this);
    m_run->setObjectName(QStringLiteral("CMD_PROVA"));
    m_outputs = table(this, 3);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("LBL_TRIAL_MESSAGE"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_path = new QLabel(this);
    m_path->setObjectName(QStringLiteral("LBL_TRIAL_PATH"));
    m_path->setWordWrap(true);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_path->setStyleSheet(QStringLiteral("color: #6e7781;"));
    QFont small = m_path->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_path->setFont(small);
    layout->addWidget(m_inputs, 3);
    layout->addWidget(m_run);
    layout->addWidget(m_outputs, 2);
    layout->addWidget(m_message);
    layout->addWidget(m_path);
    m_margin = new TrialMargin(box);
    connect(m_run, &QPushButton::clicked, this, &TrialPanel::run);
    translateCaptions();
}

void TrialPanel::translateCaptions() {
    setWindowTitle(tr(Title));
    m_run->setText(tr(RunText));
    m_inputs->setHorizontalHeaderLabels({tr(ElementHeader), tr(TypeHeader), tr(ValueHeader)});
    m_outputs->setHorizontalHeaderLabels({tr(OutputHeader), tr(BeforeHeader), tr(AfterHeader)});
}

void TrialPanel::collectValues() {
    for (int row = 0; row < m_inputs->rowCount() && row < m_elements.size(); ++row)
        if (auto* edit = qobject_cast<QLineEdit*>(m_inputs->cellWidget(row, 2)))
            m_values.insert(keyOf(m_elements[row]), edit->text());
}

QHash<QString, QString> TrialPanel::values() const {
    const_cast<TrialPanel*>(this)->collectValues();
    QHash<QString, QString> out;
    for (auto it = m_values.begin(); it != m_values.end(); ++it)
        if (!it.value().isEmpty())
            out.insert(it.key(), it.value());
    return out;
}

void TrialPanel::setValues(const QHash<QString, QString>& values) {
    m_values = values;
    // The inputs show the values given, not what was typed in them before (which the refresh
    // would otherwise read back over them).
    for (int row = 0; row < m_inputs->rowCount() && row < m_elements.size(); ++row)
        if (auto* edit = qobject_cast<QLineEdit*>(m_inputs->cellWidget(row, 2)))
            edit->setText(m_values.value(keyOf(m_elements[row])));
    refreshElements();
}

void TrialPanel::refreshElements() {
    collectValues();
    const QString sql = m_sources.sqlForm ? m_sources.sqlForm() : QString();
    const QList<check::TrialElement> elements = check::trialElements(sql);
    if (elements == m_elements && m_inputs->rowCount() == elements.size()) {
        for (int row = 0; row < m_elements.size(); ++row)
            if (auto* edit = qobject_cast<QLineEdit*>(m_inputs->cellWidget(row, 2)))
                edit->setText(m_values.value(keyOf(m_elements[row])));
        return;
    }
    m_elements = elements;
    m_inputs->setRowCount(int(m_elements.size()));
    for (int row = 0; row < m_elements.size(); ++row) {
        const check::TrialElement& e = m_elements[row];
        QString label = check::trialLabel(e, m_translate);
        if (e.kind != check::TrialElement::Kind::Variable && m_sources.labelOf) {
            const QString found = m_sources.labelOf(e);
            if (!found.isEmpty())
                label = found;
        }
        m_inputs->setItem(row, 0, cell(label));
        m_inputs->setItem(row, 1, cell(e.type.isEmpty() ? tr(TextType) : e.type.toLower()));
        auto* edit = new QLineEdit(m_values.value(keyOf(e)), m_inputs);
        edit->setObjectName(keyOf(e));
        connect(edit, &QLineEdit::returnPressed, this, &TrialPanel::run);
        edit->installEventFilter(this);
        m_inputs->setCellWidget(row, 2, edit);
    }
    m_inputs->resizeColumnsToContents();
}

check::TrialReading TrialPanel::reading() const {
    return m_sources.reading ? m_sources.reading() : check::TrialReading::Italian;
}

void TrialPanel::run() {
    if (m_sources.busy && m_sources.busy())
        return;
    collectValues();
    refreshElements();
    QList<check::TrialInput> inputs;
    for (const check::TrialElement& e : m_elements)
        inputs.append({e, m_values.value(keyOf(e))});
    m_result = {};
    m_path->clear();
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    if (!connection) {
        showMessage(tr(check::msg::NoConnection), true);
        return;
    }
    check::TrialOptions options;
    options.trace = true;
    options.translate = m_translate;
    options.run = m_sources.run;
    options.evaluate = m_sources.evaluate;
    options.compiled = m_compiledAllowed;
    options.reading = reading();
    const QString sql = m_sources.sqlForm();
    if (!m_evaluation || m_evaluation->sql() != sql)
        m_evaluation = std::make_unique<check::FormulaEvaluation>(sql);
    try {
        m_result = m_evaluation->run(*connection, inputs, options);
    } catch (const core::ComError& e) {
        m_result.message = e.description();
    }
    if (m_result.path)
        m_path->setText(check::describePath(*m_result.path, m_translate));
    showOutputs();
    m_margin->setMarks(m_result.executedLines.value_or(QList<int>{}),
                       m_result.ran ? 0 : m_result.formulaLine);
    if (!m_result.ran)
        showServerMessage(m_result.message);
    else
        showMessage(tr(m_result.executedLines ? Ran : RanNoTrace), false);
    emit ran();
}

void TrialPanel::showOutputs() {
    m_outputs->setRowCount(int(m_result.outputs.size()));
    const QString null = QStringLiteral("NULL");
    const check::TrialReading shown = reading();
    for (int row = 0; row < m_result.outputs.size(); ++row) {
        const check::TrialOutput& o = m_result.outputs[row];
        const bool changed = m_result.ran && o.changed();
        m_outputs->setItem(row, 0, cell(check::trialLabel(o.element, m_translate), changed));
        m_outputs->setItem(row, 1, cell(check::trialShownNumber(o.before.value_or(null), shown)));
        m_outputs->setItem(
            row, 2,
            cell(m_result.ran ? check::trialShownNumber(o.after.value_or(null), shown) : QString(), changed));
    }
    m_outputs->resizeColumnsToContents();
}

void TrialPanel::showMessage(const QString& text, bool error) {
    m_message->setText(text);
    m_message->setToolTip(QString());
    m_message->setStyleSheet(error ? QStringLiteral("color: #cf222e;") : QString());
}

// A run's failure: the server's frequent messages explained first in the window's language, the
// names as the formula writes them, the place in words; the server's text whole in the tooltip.
void TrialPanel::showServerMessage(const QString& message) {
    const check::DisplayNames names(m_translate);
    showMessage(check::describeServerMessage(message, m_translate, names.fn()), true);
    if (check::parseServerMessage(message))
        m_message->setToolTip(message);
}

void TrialPanel::focusFirstValue() {
    if (m_inputs->rowCount() == 0) {
        m_run->setFocus();
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(m_inputs->cellWidget(0, 2))) {
        edit->setFocus();
        edit->selectAll();
    }
}

// Tab and Shift+Tab in a value go to the next or the previous value (after the last, the button):
// the element and type cells take no keys, and a value typed there would be lost.
bool TrialPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
        return QWidget::eventFilter(watched, event);
    for (int row = 0; row < m_inputs->rowCount(); ++row) {
        if (m_inputs->cellWidget(row, 2) != watched)
            continue;
        const int next = key->key() == Qt::Key_Tab ? row + 1 : row - 1;
        if (auto* edit = qobject_cast<QLineEdit*>(m_inputs->cellWidget(next, 2))) {
            m_inputs->scrollTo(m_inputs->model()->index(next, 2));
            edit->setFocus(key->key() == Qt::Key_Tab ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            edit->selectAll();
        } else if (next >= m_inputs->rowCount()) {
            m_run->setFocus(Qt::TabFocusReason);
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace editor
