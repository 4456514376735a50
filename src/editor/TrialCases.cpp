#include "editor/TrialCases.h"

#include "editor/TrialPanel.h"

#include "check/FormulaEvaluation.h"
#include "check/Messages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace editor {

namespace {

const QString SaveText = QStringLiteral("Salva come caso di prova");
const QString CasesTitle = QStringLiteral("Casi di prova");
const QString LoadText = QStringLiteral("Carica");
const QString RenameText = QStringLiteral("Rinomina");
const QString RemoveText = QStringLiteral("Elimina");
const QString RunText = QStringLiteral("Esegui");
const QString OutputHeader = QStringLiteral("Risultato");
const QString ExpectedHeader = QStringLiteral("Atteso");
const QString ComputedHeader = QStringLiteral("Calcolato");
const QString NameTitle = QStringLiteral("Nome del caso di prova");
const QString RunFirst =
    QStringLiteral("Prova prima la formula: il caso prende i risultati dell'ultima prova.");
const QString NoRecord =
    QStringLiteral("La formula non è legata a un record: i casi di prova non si possono salvare.");
// %1 the case's name.
const QString Saved = QStringLiteral("Caso di prova «%1» salvato.");
const QString ConfirmRemove = QStringLiteral("Eliminare il caso di prova «%1»?");
const QString Passed = QStringLiteral("Il caso di prova dà i risultati attesi.");

constexpr int YesNoQuestionNo = 4 + 32 + 256; // Yes and No, question icon, No the default
constexpr int AnswerYes = 6;
const QColor DifferBackground(0xFD, 0xEC, 0xEA);

QTableWidgetItem* readOnly(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

TrialCases::TrialCases(TrialPanel* panel, TranslateFn translate, QWidget* parent)
    : QWidget(parent)
    , m_panel(panel)
    , m_translate(std::move(translate)) {
    setObjectName(QStringLiteral("TRIAL_CASES"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("CMD_SALVA_CASO"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("LST_CASI"));
    auto* buttons = new QHBoxLayout;
    m_load = new QPushButton(this);
    m_rename = new QPushButton(this);
    m_remove = new QPushButton(this);
    m_runOne = new QPushButton(this);
    m_load->setObjectName(QStringLiteral("CMD_CARICA_CASO"));
    m_rename->setObjectName(QStringLiteral("CMD_RINOMINA_CASO"));
    m_remove->setObjectName(QStringLiteral("CMD_ELIMINA_CASO"));
    m_runOne->setObjectName(QStringLiteral("CMD_ESEGUI_CASO"));
    for (QPushButton* b : {m_load, m_rename, m_remove, m_runOne})
        buttons->addWidget(b);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("TBL_CASO"));
    m_table->verticalHeader()->hide();
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("LBL_CASO_MESSAGE"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_save);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_table, 2);
    layout->addWidget(m_message);
    connect(m_save, &QPushButton::clicked, this, &TrialCases::saveFromPanel);
    connect(m_load, &QPushButton::clicked, this, &TrialCases::loadSelected);
    connect(m_rename, &QPushButton::clicked, this, &TrialCases::renameSelected);
    connect(m_remove, &QPushButton::clicked, this, &TrialCases::removeSelected);
    connect(m_runOne, &QPushButton::clicked, this, &TrialCases::runSelected);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling)
            showCase(row);
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { loadSelected(); });
    connect(m_table, &QTableWidget::itemChanged, this, &TrialCases::expectedEdited);
    translateCaptions();
}

void TrialCases::translateCaptions() {
    m_save->setText(tr(SaveText));
    m_list->setToolTip(tr(CasesTitle));
    m_load->setText(tr(LoadText));
    m_rename->setText(tr(RenameText));
    m_remove->setText(tr(RemoveText));
    m_runOne->setText(tr(RunText));
    m_table->setHorizontalHeaderLabels({tr(OutputHeader), tr(ExpectedHeader), tr(ComputedHeader)});
}

check::TrialOptions TrialCases::options() const {
    check::TrialOptions o;
    o.translate = m_translate;
    o.run = m_sources.run;
    o.evaluate = m_sources.evaluate;
    o.shown = reading();
    return o;
}

check::TrialReading TrialCases::reading() const {
    return m_sources.reading ? m_sources.reading() : check::TrialReading::Italian;
}

void TrialCases::showMessage(const QString& text, bool error) {
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #cf222e;") : QString());
}

int TrialCases::selectedRow() const {
    const int row = m_list->currentRow();
    return row >= 0 && row < m_cases.size() ? row : -1;
}

bool TrialCases::reload() {
    const auto record = m_sources.record ? m_sources.record() : std::nullopt;
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    const QString selected = selectedRow() >= 0 ? m_cases.at(selectedRow()).name : QString();
    // A case read again as it was keeps the outcome of its last run.
    const QList<check::TestCase> before = m_cases;
    const QList<std::optional<check::CaseOutcome>> ran = m_outcomes;
    m_cases.clear();
    m_outcomes.clear();
    bool ok = true;
    if (record && connection) {
        try {
            check::TestCaseStore store(*connection);
            if (store.available())
                m_cases = store.load(record->first, record->second);
        } catch (const core::ComError& e) {
            showMessage(e.description(), true);
            ok = false;
        }
    }
    for (const check::TestCase& c : m_cases) {
        const qsizetype at = before.indexOf(c);
        m_outcomes.append(at >= 0 && at < ran.size() ? ran.at(at) : std::nullopt);
    }
    fillList();
    for (int row = 0; row < m_cases.size(); ++row)
        if (m_cases.at(row).name == selected)
            m_list->setCurrentRow(row);
    return ok;
}

void TrialCases::fillList() {
    m_filling = true;
    m_list->clear();
    m_outcomes.resize(m_cases.size());
    for (qsizetype i = 0; i < m_cases.size(); ++i) {
        QString text = m_cases.at(i).name;
        const std::optional<check::CaseOutcome>& outcome = m_outcomes.at(i);
        if (outcome)
            text = (outcome->passed ? QStringLiteral("✓ ") : QStringLiteral("✗ ")) + text;
        auto* item = new QListWidgetItem(text, m_list);
        if (outcome && !outcome->passed)
            item->setBackground(DifferBackground);
    }
    m_filling = false;
    if (m_cases.isEmpty())
        m_table->setRowCount(0);
}

QList<check::CaseOutcome> TrialCases::runAll(const QString& sql) {
    m_outcomes.clear();
    QList<check::CaseOutcome> ran;
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    if (connection && !m_cases.isEmpty())
        ran = check::runCases(*connection, sql, m_cases, options());
    for (const check::CaseOutcome& outcome : ran)
        m_outcomes.append(outcome);
    fillList();
    const int row = selectedRow();
    if (row >= 0)
        showCase(row);
    return ran;
}

void TrialCases::showFirstDiffering() {
    for (qsizetype i = 0; i < m_outcomes.size(); ++i) {
        if (m_outcomes.at(i) && !m_outcomes.at(i)->passed) {
            m_list->setCurrentRow(int(i));
            showCase(int(i));
            return;
        }
    }
}

// The case's expected outputs, and the computed ones when it ran; the differing rows marked.
void TrialCases::showCase(int row) {
    m_filling = true;
    m_table->setRowCount(0);
    m_message->clear();
    if (row < 0 || row >= m_cases.size()) {
        m_filling = false;
        return;
    }
    const check::TestCase& c = m_cases.at(row);
    const check::CaseOutcome* outcome =
        row < m_outcomes.size() && m_outcomes.at(row) ? &*m_outcomes.at(row) : nullptr;
    const QList<check::TrialElement>& outputs = check::trialOutputs();
    const QString null = QStringLiteral("NULL");
    const check::TrialReading shown = reading();
    m_table->setRowCount(int(outputs.size()));
    for (int i = 0; i < outputs.size(); ++i) {
        m_table->setItem(i, 0, readOnly(check::trialLabel(outputs.at(i), m_translate)));
        m_table->setItem(
            i, 1, new QTableWidgetItem(check::trialShownNumber(c.expected.value(i).value_or(null), shown)));
        const check::CaseComparison* cmp =
            outcome && i < outcome->outputs.size() ? &outcome->outputs.at(i) : nullptr;
        m_table->setItem(
            i, 2, readOnly(cmp ? check::trialShownNumber(cmp->computed.value_or(null), shown) : QString()));
        if (cmp && cmp->differs) {
            for (int column = 0; column < 3; ++column) {
                QTableWidgetItem* item = m_table->item(i, column);
                item->setBackground(DifferBackground);
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
        }
    }
    m_table->resizeColumnsToContents();
    if (outcome) {
        QStringList lines;
        if (!outcome->passed)
            lines << outcome->difference;
        else
            lines << tr(Passed);
        lines << outcome->notes;
        showMessage(lines.join(u'\n'), !outcome->passed);
    }
    m_filling = false;
}

// An expected value typed in the table (as the user's language writes numbers): kept as the server
// writes the output's value when it fits the output's type ("NULL" or empty for NULL), refused with
// the reason otherwise, and the cell shows the stored value again.
void TrialCases::expectedEdited(QTableWidgetItem* item) {
    const int row = selectedRow();
    if (m_filling || !item || item->column() != 1 || row < 0)
        return;
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    check::TestCase changed = m_cases.at(row);
    const check::TrialElement& output = check::trialOutputs().at(item->row());
    const QString text = item->text().trimmed();
    const bool isNull = text.isEmpty() || text.compare(QStringLiteral("NULL"), Qt::CaseInsensitive) == 0;
    const check::TrialLiteral fits = check::trialLiteral(output, text, m_translate, reading());
    if (!isNull && !fits.error.isEmpty()) {
        showMessage(fits.error, true);
        m_filling = true;
        item->setText(check::trialShownNumber(
            changed.expected.value(item->row()).value_or(QStringLiteral("NULL")), reading()));
        m_filling = false;
        return;
    }
    while (changed.expected.size() < check::trialOutputs().size())
        changed.expected.append(std::nullopt);
    // The outputs are decimals: their literal is the text the server writes for the value.
    changed.expected[item->row()] = isNull ? std::nullopt : std::optional<QString>(fits.literal);
    try {
        if (!connection)
            throw core::ComError(core::err::ObjectVariableNotSet, tr(check::msg::NoConnection), {});
        check::TestCaseStore(*connection).update(changed, m_translate);
        m_cases[row] = changed;
        m_message->clear();
    } catch (const core::ComError& e) {
        showMessage(e.description(), true);
    }
}

void TrialCases::saveFromPanel() {
    const auto record = m_sources.record ? m_sources.record() : std::nullopt;
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    if (!record) {
        showMessage(tr(NoRecord), true);
        return;
    }
    if (!m_panel || !m_panel->lastResult().ran) {
        showMessage(tr(RunFirst), true);
        return;
    }
    const std::optional<QString> name =
        m_sources.askName ? m_sources.askName(tr(NameTitle), QString()) : std::nullopt;
    if (!name)
        return;
    // The values of the elements the formula reads now (the panel keeps others typed before), as
    // the case keeps them: the same for a user of any language.
    QList<check::TrialInput> given;
    const QHash<QString, QString> typed = m_panel->values();
    for (const check::TrialElement& e :
         check::trialElements(m_sources.sqlForm ? m_sources.sqlForm() : QString()))
        if (typed.contains(check::inputKey(e)))
            given.append({e, typed.value(check::inputKey(e))});
    check::TrialBatch refused;
    const std::optional<QList<check::TrialInput>> stored =
        check::trialStoredInputs(given, reading(), m_translate, refused);
    if (!stored) {
        showMessage(refused.refusal, true);
        return;
    }
    QHash<QString, QString> values;
    for (const check::TrialInput& input : *stored)
        values.insert(check::inputKey(input.element), input.text);
    check::TestCase c =
        check::caseFromRun(record->first, record->second, *name, values, m_panel->lastResult());
    c.author = m_sources.author ? m_sources.author() : QString();
    const QDateTime now = QDateTime::currentDateTime();
    c.created = now.addMSecs(-now.time().msec());
    try {
        if (!connection)
            throw core::ComError(core::err::ObjectVariableNotSet, tr(check::msg::NoConnection), {});
        check::TestCaseStore store(*connection);
        if (!store.available())
            throw core::ComError(core::err::InvalidProcedureCall, tr(check::casemsg::NoTable), {});
        store.add(c, m_translate);
    } catch (const core::ComError& e) {
        showMessage(e.description(), true);
        return;
    }
    reload();
    for (int row = 0; row < m_cases.size(); ++row)
        if (m_cases.at(row).name == c.name)
            m_list->setCurrentRow(row);
    showMessage(tr(Saved).arg(c.name), false);
}

void TrialCases::loadSelected() {
    const int row = selectedRow();
    if (row < 0 || !m_panel)
        return;
    const check::CaseInputs given = check::caseInputs(m_cases.at(row));
    if (!given.unknown.isEmpty())
        showMessage(tr(check::casemsg::UnknownInput).arg(given.unknown.first()), true);
    // The case's values replace those typed, as the user's language writes them; values of
    // elements it does not name are emptied.
    QHash<QString, QString> values = m_cases.at(row).inputs;
    for (const check::TrialInput& input : given.inputs)
        values.insert(check::inputKey(input.element),
                      check::trialTypedText(input.element, input.text, reading()));
    m_panel->setValues(values);
}

void TrialCases::renameSelected() {
    const int row = selectedRow();
    const auto record = m_sources.record ? m_sources.record() : std::nullopt;
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    if (row < 0 || !record || !connection || !m_sources.askName)
        return;
    const QString from = m_cases.at(row).name;
    const std::optional<QString> to = m_sources.askName(tr(NameTitle), from);
    if (!to || to->trimmed() == from)
        return;
    try {
        check::TestCaseStore(*connection).rename(record->first, record->second, from, *to, m_translate);
    } catch (const core::ComError& e) {
        showMessage(e.description(), true);
        return;
    }
    reload();
    for (int r = 0; r < m_cases.size(); ++r)
        if (m_cases.at(r).name == to->trimmed())
            m_list->setCurrentRow(r);
}

void TrialCases::removeSelected() {
    const int row = selectedRow();
    const auto record = m_sources.record ? m_sources.record() : std::nullopt;
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    if (row < 0 || !record || !connection || !m_sources.messageBox)
        return;
    const QString name = m_cases.at(row).name;
    if (m_sources.messageBox(tr(ConfirmRemove).arg(name), YesNoQuestionNo, tr(CasesTitle)) != AnswerYes)
        return;
    try {
        check::TestCaseStore(*connection).remove(record->first, record->second, name, m_translate);
    } catch (const core::ComError& e) {
        showMessage(e.description(), true);
        return;
    }
    reload();
}

void TrialCases::runSelected() {
    const int row = selectedRow();
    ado::Connection* connection = m_sources.connection ? m_sources.connection() : nullptr;
    if (row < 0 || !connection)
        return;
    const QList<check::CaseOutcome> one = check::runCases(
        *connection, m_sources.sqlForm ? m_sources.sqlForm() : QString(), {m_cases.at(row)}, options());
    m_outcomes.resize(m_cases.size());
    m_outcomes[row] = one.value(0);
    fillList();
    m_list->setCurrentRow(row);
    showCase(row);
}

} // namespace editor
