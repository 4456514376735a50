#include "editor/ImpactPreview.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace editor {

namespace {

// The window's texts in Italian (data/translations/impactpreview_en.ts has them in English).
const QString Title = QStringLiteral("Anteprima impatto");
const QString CasesText = QStringLiteral("Casi di prova del record");
const QString CsvText = QStringLiteral("File CSV:");
const QString BrowseText = QStringLiteral("Sfoglia...");
const QString NumbersC = QStringLiteral("Numeri e date come 1234.5 e 2026-12-31");
const QString NumbersLanguage = QStringLiteral("Numeri e date nella lingua dell'utente");
const QString GenerationText = QStringLiteral("Righe generate:");
const QString GenerationHint = QStringLiteral("[Prezzo lordo - CURR]=da 10 a 100 passo 10");
const QString StartText = QStringLiteral("Calcola");
// As the busy indicator and the verification window say it.
const QString CancelText = QStringLiteral("Interrompi");
const QString OutputText = QStringLiteral("Risultato:");
const QString ChooseCsv = QStringLiteral("Scegli il file CSV");
const QString CsvFilter = QStringLiteral("File CSV (*.csv);;Tutti i file (*)");
const QString ProgressKnown = QStringLiteral("%1 di %2 righe");
const QString ProgressUnknown = QStringLiteral("%1 righe");
const QString ChartTitle = QStringLiteral("Variazione % di %1");
const QString BarsName = QStringLiteral("Righe per intervallo");
const QString RowHeader = QStringLiteral("Origine");
const QString BeforeHeader = QStringLiteral("Prima");
const QString AfterHeader = QStringLiteral("Dopo");
const QString ChangeHeader = QStringLiteral("Variazione");
const QString PercentHeader = QStringLiteral("Variazione %");
const QString ValuesHeader = QStringLiteral("Valori");
const QString MoversHint =
    QStringLiteral("Doppio clic su una riga: i suoi valori vanno nel pannello di prova.");

const QString RowsLine =
    QStringLiteral("Righe lette: %1 · eseguite da entrambe le formule: %2 · cambiate: %3");
const QString FailuresLine =
    QStringLiteral("Errori della sola formula memorizzata: %1 · della sola nuova: %2 · di entrambe: %3");
const QString OldFailed = QStringLiteral("%1: la formula memorizzata dà errore: %2");
const QString NewFailed = QStringLiteral("%1: la nuova formula dà errore: %2");
const QString AbsoluteName = QStringLiteral("Variazione assoluta");
const QString PercentName = QStringLiteral("Variazione %");
const QString QuantilesLine =
    QStringLiteral("%1: minimo %2 · p5 %3 · p25 %4 · mediana %5 · p75 %6 · p95 %7 · massimo %8");
const QString OldPath = QStringLiteral("Formula memorizzata: %1");
const QString NewPath = QStringLiteral("Nuova formula: %1");
const QString Cancelled = QStringLiteral("Interrotta: le cifre sono quelle delle righe lette fin qui.");
const QString NoOutput = QStringLiteral("Nessuna delle due formule imposta un risultato su queste righe.");

// The failures the summary names one by one (the report keeps more).
constexpr int FailuresShown = 3;
const QColor ErrorColor(0xcf, 0x22, 0x2e);
const QColor BarColor(0x2f, 0x7f, 0xc1);

QChart* newChart() {
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

namespace impacttext {

QString number(double value, check::TrialReading reading) {
    if (!std::isfinite(value))
        return QString::number(value);
    QString text = QString::number(value, 'f', 4);
    while (text.contains(u'.') && (text.endsWith(u'0') || text.endsWith(u'.')))
        text.chop(1);
    return check::trialShownNumber(text == QStringLiteral("-0") ? QStringLiteral("0") : text, reading);
}

QStringList binLabels(const check::ImpactHistogram& histogram, check::TrialReading reading) {
    // One decimal: the labels stand under narrow bars, the figures above give the exact values.
    const auto shortNumber = [reading](double value) {
        QString text = QString::number(value, 'f', 1);
        if (text.endsWith(QStringLiteral(".0")))
            text.chop(2);
        return check::trialShownNumber(text == QStringLiteral("-0") ? QStringLiteral("0") : text, reading);
    };
    QStringList labels;
    for (qsizetype i = 0; i < histogram.counts.size(); ++i) {
        const double from = histogram.from + double(i) * histogram.width;
        if (histogram.width <= 0)
            labels << shortNumber(from);
        else
            labels << QStringLiteral("%1 … %2").arg(shortNumber(from), shortNumber(from + histogram.width));
    }
    return labels;
}

QString inputsText(const check::ImpactRow& row, const TranslateFn& translate, check::TrialReading reading) {
    QStringList parts;
    for (const check::TrialInput& input : row.inputs)
        parts << check::trialLabel(input.element, translate) + u'=' +
                     check::trialTypedText(input.element, input.text, reading);
    return parts.join(QStringLiteral("; "));
}

QStringList summary(const check::ImpactReport& report, const check::ImpactOutput* output,
                    const TranslateFn& translate, check::TrialReading reading) {
    const auto tr = [&translate](const QString& s) { return translate ? translate(s) : s; };
    QStringList lines;
    if (report.cancelled)
        lines << tr(Cancelled);
    lines << tr(RowsLine)
                 .arg(report.rows)
                 .arg(output ? output->evaluated : 0)
                 .arg(output ? output->changed : 0);
    lines << tr(FailuresLine).arg(report.failedOld).arg(report.failedNew).arg(report.failedBoth);
    for (qsizetype i = 0; i < report.failures.size() && i < FailuresShown; ++i) {
        const check::ImpactFailure& f = report.failures.at(i);
        if (!f.oldMessage.isEmpty())
            lines << tr(OldFailed).arg(f.row.origin, f.oldMessage);
        if (!f.newMessage.isEmpty())
            lines << tr(NewFailed).arg(f.row.origin, f.newMessage);
    }
    if (output) {
        for (const auto& [name, q] :
             {std::pair{AbsoluteName, output->absolute}, std::pair{PercentName, output->percent}})
            lines << tr(QuantilesLine)
                         .arg(tr(name), number(q.min, reading), number(q.p5, reading), number(q.p25, reading),
                              number(q.median, reading), number(q.p75, reading), number(q.p95, reading),
                              number(q.max, reading));
    } else {
        lines << tr(NoOutput);
    }
    if (report.oldPath)
        lines << tr(OldPath).arg(check::describePath(*report.oldPath, translate));
    if (report.newPath)
        lines << tr(NewPath).arg(check::describePath(*report.newPath, translate));
    return lines;
}

} // namespace impacttext

ImpactPreview::ImpactPreview(TranslateFn translate, QWidget* parent)
    : QWidget(parent)
    , m_translate(std::move(translate)) {
    setObjectName(QStringLiteral("IMPACT_PREVIEW"));
    auto* layout = new QVBoxLayout(this);

    auto* sources = new QFormLayout;
    m_cases = new QCheckBox(this);
    m_cases->setObjectName(QStringLiteral("CHK_IMPACT_CASES"));
    m_cases->setChecked(true);
    sources->addRow(m_cases);
    auto* csvRow = new QHBoxLayout;
    m_csv = new QLineEdit(this);
    m_csv->setObjectName(QStringLiteral("TXT_IMPACT_CSV"));
    m_browse = new QPushButton(this);
    m_browse->setObjectName(QStringLiteral("CMD_IMPACT_CSV"));
    m_numbers = new QComboBox(this);
    m_numbers->setObjectName(QStringLiteral("CMB_IMPACT_NUMBERS"));
    m_numbers->addItems({QString(), QString()});
    csvRow->addWidget(m_csv, 1);
    csvRow->addWidget(m_browse);
    csvRow->addWidget(m_numbers);
    m_csvLabel = new QLabel(this);
    sources->addRow(m_csvLabel, csvRow);
    m_generation = new QLineEdit(this);
    m_generation->setObjectName(QStringLiteral("TXT_IMPACT_GENERATE"));
    m_generationLabel = new QLabel(this);
    sources->addRow(m_generationLabel, m_generation);
    layout->addLayout(sources);

    auto* runRow = new QHBoxLayout;
    m_start = new QPushButton(this);
    m_start->setObjectName(QStringLiteral("CMD_IMPACT_START"));
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("CMD_IMPACT_CANCEL"));
    m_cancel->setEnabled(false);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("PRB_IMPACT"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    runRow->addWidget(m_start);
    runRow->addWidget(m_cancel);
    runRow->addWidget(m_progress, 1);
    layout->addLayout(runRow);

    auto* outputRow = new QHBoxLayout;
    m_outputLabel = new QLabel(this);
    m_outputs = new QComboBox(this);
    m_outputs->setObjectName(QStringLiteral("CMB_IMPACT_OUTPUT"));
    m_outputs->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    outputRow->addWidget(m_outputLabel);
    outputRow->addWidget(m_outputs);
    outputRow->addStretch(1);
    layout->addLayout(outputRow);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("LBL_IMPACT_MESSAGE"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setStyleSheet(QStringLiteral("color: %1;").arg(ErrorColor.name()));
    m_message->hide();
    layout->addWidget(m_message);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LBL_IMPACT_SUMMARY"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);

    m_chart = newChart();
    m_chartView = new QChartView(m_chart, this);
    m_chartView->setObjectName(QStringLiteral("CHV_IMPACT"));
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->setMinimumHeight(280);
    m_movers = new QTableWidget(0, 6, this);
    m_movers->setObjectName(QStringLiteral("TBL_IMPACT_MOVERS"));
    m_movers->verticalHeader()->hide();
    m_movers->horizontalHeader()->setStretchLastSection(true);
    m_movers->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_movers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_movers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_chartView);
    split->addWidget(m_movers);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    layout->addWidget(split, 1);

    connect(m_start, &QPushButton::clicked, this, [this] {
        if (!m_running)
            emit startRequested();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_running) {
            m_cancel->setEnabled(false);
            emit cancelRequested();
        }
    });
    connect(m_browse, &QPushButton::clicked, this, &ImpactPreview::chooseFile);
    connect(m_outputs, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling)
            showOutput(index);
    });
    connect(m_movers, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const int shown = outputShown();
        if (shown < 0 || row < 0 || row >= m_report.outputs.at(shown).movers.size())
            return;
        emit moverChosen(m_report.outputs.at(shown).movers.at(row).row);
    });
    translateCaptions();
    resize(760, 720);
}

void ImpactPreview::closeEvent(QCloseEvent* event) {
    if (m_running && m_cancel->isEnabled()) {
        m_cancel->setEnabled(false);
        emit cancelRequested();
    }
    QWidget::closeEvent(event);
}

void ImpactPreview::translateCaptions() {
    setWindowTitle(tr(Title));
    m_cases->setText(tr(CasesText));
    m_csvLabel->setText(tr(CsvText));
    m_browse->setText(tr(BrowseText));
    m_numbers->setItemText(0, tr(NumbersC));
    m_numbers->setItemText(1, tr(NumbersLanguage));
    m_generationLabel->setText(tr(GenerationText));
    m_generation->setPlaceholderText(tr(GenerationHint));
    m_start->setText(tr(StartText));
    m_cancel->setText(tr(CancelText));
    m_outputLabel->setText(tr(OutputText));
    m_movers->setHorizontalHeaderLabels({tr(RowHeader), tr(BeforeHeader), tr(AfterHeader), tr(ChangeHeader),
                                         tr(PercentHeader), tr(ValuesHeader)});
    m_movers->setToolTip(tr(MoversHint));
}

bool ImpactPreview::useCases() const {
    return m_cases->isChecked();
}

QString ImpactPreview::csvPath() const {
    return m_csv->text().trimmed();
}

check::ImpactNumbers ImpactPreview::csvNumbers() const {
    return m_numbers->currentIndex() == 1 ? check::ImpactNumbers::Language : check::ImpactNumbers::C;
}

QString ImpactPreview::generationSpec() const {
    return m_generation->text().trimmed();
}

void ImpactPreview::chooseFile() {
    const QString path = m_askFile
                             ? m_askFile(tr(ChooseCsv))
                             : QFileDialog::getOpenFileName(this, tr(ChooseCsv), csvPath(), tr(CsvFilter));
    if (!path.isEmpty())
        m_csv->setText(path);
}

void ImpactPreview::setRunning(bool running) {
    m_running = running;
    m_start->setEnabled(!running);
    m_cancel->setEnabled(running);
    for (QWidget* w :
         {static_cast<QWidget*>(m_cases), static_cast<QWidget*>(m_csv), static_cast<QWidget*>(m_browse),
          static_cast<QWidget*>(m_numbers), static_cast<QWidget*>(m_generation)})
        w->setEnabled(!running);
    if (running) {
        m_message->hide();
        m_progress->setRange(0, 0);
        m_progress->setFormat(QString());
    }
}

void ImpactPreview::setProgress(qint64 done, qint64 total) {
    if (!m_running)
        return; // told late, after the run's report
    if (total > 0) {
        // The bar counts in thousandths: a row count may pass the bar's int range.
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(std::clamp<qint64>(done * 1000 / total, 0, 1000)));
        m_progress->setFormat(tr(ProgressKnown).arg(done).arg(total));
    } else {
        m_progress->setRange(0, 0);
        m_progress->setFormat(tr(ProgressUnknown).arg(done));
    }
    m_progress->setTextVisible(true);
    emit progressed(done, total);
}

int ImpactPreview::outputShown() const {
    const int index = m_outputs->currentIndex();
    return index >= 0 && index < m_report.outputs.size() ? index : -1;
}

void ImpactPreview::showReport(const check::ImpactReport& report) {
    const int before = outputShown();
    const std::optional<check::TrialElement> chosen =
        before >= 0 ? std::optional(m_report.outputs.at(before).element) : std::nullopt;
    m_report = report;
    m_message->hide();
    m_progress->setRange(0, 1000);
    m_progress->setValue(1000);
    m_progress->setFormat(tr(ProgressUnknown).arg(report.rows));
    m_filling = true;
    m_outputs->clear();
    int show = -1;
    for (int i = 0; i < m_report.outputs.size(); ++i) {
        const check::ImpactOutput& o = m_report.outputs.at(i);
        m_outputs->addItem(check::trialLabel(o.element, m_translate));
        // The output chosen before; else the first one the change moves; else the first.
        if (chosen && o.element == *chosen)
            show = i;
    }
    for (int i = 0; show < 0 && i < m_report.outputs.size(); ++i)
        if (m_report.outputs.at(i).changed > 0)
            show = i;
    if (show < 0 && !m_report.outputs.isEmpty())
        show = 0;
    m_outputs->setCurrentIndex(show);
    m_filling = false;
    showOutput(show);
}

void ImpactPreview::showError(const QString& message) {
    m_report = {};
    m_filling = true;
    m_outputs->clear();
    m_filling = false;
    showOutput(-1);
    m_summary->clear();
    m_message->setText(message);
    m_message->show();
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
}

void ImpactPreview::showOutput(int index) {
    const check::ImpactOutput* output =
        index >= 0 && index < m_report.outputs.size() ? &m_report.outputs.at(index) : nullptr;
    m_summary->setText(impacttext::summary(m_report, output, m_translate, reading()).join(u'\n'));
    showHistogram(output);
    showMovers(output);
}

void ImpactPreview::showHistogram(const check::ImpactOutput* output) {
    // A chart of its own for every histogram: the axes and bars of the last one go with it.
    QChart* previous = m_chart;
    m_chart = newChart();
    m_chartView->setChart(m_chart);
    delete previous;
    m_bars = nullptr;
    m_binLabels.clear();
    if (!output)
        return;
    m_chart->setTitle(tr(ChartTitle).arg(check::trialLabel(output->element, m_translate)));
    m_binLabels = impacttext::binLabels(output->histogram, reading());
    auto* series = new QBarSeries;
    m_bars = new QBarSet(tr(BarsName));
    m_bars->setColor(BarColor);
    m_bars->setBorderColor(BarColor.darker(130));
    qint64 highest = 0;
    for (qint64 count : output->histogram.counts) {
        m_bars->append(double(count));
        highest = std::max(highest, count);
    }
    series->append(m_bars);
    series->setBarWidth(0.9);
    m_chart->addSeries(series);
    auto* bins = new QBarCategoryAxis;
    bins->append(m_binLabels);
    bins->setLabelsAngle(-90);
    m_chart->addAxis(bins, Qt::AlignBottom);
    series->attachAxis(bins);
    // Whole numbers on the count axis: at most five steps, each a whole number of rows.
    highest = std::max<qint64>(highest, 1);
    const qint64 steps = std::min<qint64>(highest, 5);
    const qint64 step = (highest + steps - 1) / steps;
    auto* counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%.0f"));
    counts->setRange(0, double(step * steps));
    counts->setTickCount(int(steps) + 1);
    m_chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(counts);
}

void ImpactPreview::showMovers(const check::ImpactOutput* output) {
    m_movers->setRowCount(0);
    if (!output)
        return;
    const QString null = QStringLiteral("NULL");
    const check::TrialReading shown = reading();
    m_movers->setRowCount(int(output->movers.size()));
    for (int row = 0; row < output->movers.size(); ++row) {
        const check::ImpactMover& m = output->movers.at(row);
        m_movers->setItem(row, 0, cell(m.row.origin));
        m_movers->setItem(row, 1, cell(check::trialShownNumber(m.before.value_or(null), shown)));
        m_movers->setItem(row, 2, cell(check::trialShownNumber(m.after.value_or(null), shown)));
        m_movers->setItem(row, 3, cell(impacttext::number(m.change, shown)));
        m_movers->setItem(
            row, 4,
            cell(m.percent ? impacttext::number(*m.percent, shown) + QStringLiteral(" %") : QString()));
        m_movers->setItem(row, 5, cell(impacttext::inputsText(m.row, m_translate, shown)));
        for (int column = 1; column < 5; ++column)
            m_movers->item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    m_movers->resizeColumnsToContents();
}

} // namespace editor
