#pragma once

#include "check/Impact.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QBarSet;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace editor {

// The texts of an impact report, apart from the widgets that show them.
namespace impacttext {
using TranslateFn = std::function<QString(const QString&)>;

// The numbers and values below are written as `reading` writes them (the decimal comma in
// Italian; Stored: as the C locale writes them).
// The label of every bin of a histogram of percent changes ("-10 … -5", one decimal at most; one
// bin of no width: its value).
QStringList binLabels(const check::ImpactHistogram& histogram,
                      check::TrialReading reading = check::TrialReading::Stored);
// The summary of a report for one of its outputs (null: none), one line per figure.
QStringList summary(const check::ImpactReport& report, const check::ImpactOutput* output,
                    const TranslateFn& translate, check::TrialReading reading = check::TrialReading::Stored);
// A row's inputs as the user reads them: "[Prezzo lordo - CURR]=100; {123}=ROSSO".
QString inputsText(const check::ImpactRow& row, const TranslateFn& translate,
                   check::TrialReading reading = check::TrialReading::Stored);
// A number as the preview shows it (at most four decimals, none trailing).
QString number(double value, check::TrialReading reading = check::TrialReading::Stored);
} // namespace impacttext

// The window "Anteprima impatto" of the editor: what the user chooses to run the stored formula
// and the box's formula over (the record's test cases, a CSV file, a generation spec), the
// progress and "Annulla" of a run, and its report: an output chosen in a list, its figures, the
// histogram of its percent change and the rows that move it most. It runs nothing itself: the
// editor window starts and stops the run (startRequested, cancelRequested) and gives it the
// progress and the report; a double-click on a mover hands its row back (moverChosen).
class ImpactPreview : public QWidget {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;
    // Asks the CSV file to read (the title): its path, or empty when the user cancels.
    using FileAsker = std::function<QString(const QString& title)>;

    explicit ImpactPreview(TranslateFn translate, QWidget* parent = nullptr);
    void translateCaptions();
    void setFileAsker(FileAsker ask) { m_askFile = std::move(ask); }
    // How the user reads numbers and values (unset: as the C locale writes them).
    void setReading(std::function<check::TrialReading()> reading) { m_reading = std::move(reading); }

    // The rows the user asked for.
    bool useCases() const;
    QString csvPath() const;
    check::ImpactNumbers csvNumbers() const;
    QString generationSpec() const;

    // A run in flight: start disabled, "Annulla" enabled, the progress shown.
    void setRunning(bool running);
    bool running() const { return m_running; }
    void setProgress(qint64 done, qint64 total);
    // The report of a run; the output shown stays the one chosen when the new report has it.
    void showReport(const check::ImpactReport& report);
    // Why a run could not start or ended without a report (the figures are cleared).
    void showError(const QString& message);
    const check::ImpactReport& report() const { return m_report; }
    int outputShown() const;

    QCheckBox* casesCheck() const { return m_cases; }
    QLineEdit* csvEdit() const { return m_csv; }
    QComboBox* numbersChooser() const { return m_numbers; }
    QLineEdit* generationEdit() const { return m_generation; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* cancelButton() const { return m_cancel; }
    QProgressBar* progressBar() const { return m_progress; }
    QComboBox* outputChooser() const { return m_outputs; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* messageLabel() const { return m_message; }
    QChartView* chartView() const { return m_chartView; }
    // The histogram's bars (null before a report with an output).
    QBarSet* histogramBars() const { return m_bars; }
    QStringList histogramLabels() const { return m_binLabels; }
    QTableWidget* moversTable() const { return m_movers; }

protected:
    // Closed while a run is in flight: the run stops (its report still shows when it opens again).
    void closeEvent(QCloseEvent* event) override;

signals:
    void startRequested();
    void cancelRequested();
    // The progress of the run in flight was shown.
    void progressed(qint64 done, qint64 total);
    // A mover's row was double-clicked: its inputs go to the trial panel.
    void moverChosen(const check::ImpactRow& row);

private:
    void showOutput(int index);
    void showHistogram(const check::ImpactOutput* output);
    void showMovers(const check::ImpactOutput* output);
    void chooseFile();
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }

    check::TrialReading reading() const { return m_reading ? m_reading() : check::TrialReading::Stored; }

    TranslateFn m_translate;
    FileAsker m_askFile;
    std::function<check::TrialReading()> m_reading;
    check::ImpactReport m_report;
    bool m_running = false;
    bool m_filling = false;
    QCheckBox* m_cases = nullptr;
    QLabel* m_csvLabel = nullptr;
    QLineEdit* m_csv = nullptr;
    QPushButton* m_browse = nullptr;
    QComboBox* m_numbers = nullptr;
    QLabel* m_generationLabel = nullptr;
    QLineEdit* m_generation = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_outputLabel = nullptr;
    QComboBox* m_outputs = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_message = nullptr;
    QChart* m_chart = nullptr;
    QChartView* m_chartView = nullptr;
    QBarSet* m_bars = nullptr;
    QStringList m_binLabels;
    QTableWidget* m_movers = nullptr;
};

} // namespace editor
