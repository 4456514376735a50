#pragma once

#include "check/GuardedRun.h"
#include "check/TestCases.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace ado {
class Connection;
}

namespace editor {

class TrialPanel;

// The test cases of the window's record, in the trial panel: "Salva come caso di prova" makes one
// of the panel's values and the outputs of its last run; the list loads, renames, deletes and
// runs them; the table shows a case's expected outputs (editable) against the computed ones,
// the differing ones marked. Cases run through check::FormulaEvaluation on the window's worker,
// as the trial run does; the store and the verdicts are check::TestCaseStore and check::runCase.
class TrialCases : public QWidget {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;
    struct Sources {
        std::function<ado::Connection*()> connection;
        // The record (context, id) the window edits; nullopt when it has no id.
        std::function<std::optional<std::pair<int, qint64>>()> record;
        std::function<QString()> sqlForm; // the box's formula in SQL form (normal mode)
        std::function<QString()> author;  // the host's user
        check::GuardedRunFn run;
        check::DetachedRunFn evaluate;
        // Asks a name (`title`, the name proposed); nullopt when the user cancels.
        std::function<std::optional<QString>(const QString& title, const QString& proposed)> askName;
        // The host's message box (prompt, code, title): the answer.
        std::function<int(const QString&, int, const QString&)> messageBox;
        // How the user writes values and reads numbers (unset: Italian); the cases keep their
        // values as the stored reading reads them.
        std::function<check::TrialReading()> reading;
    };

    TrialCases(TrialPanel* panel, TranslateFn translate, QWidget* parent = nullptr);
    void setSources(Sources sources) { m_sources = std::move(sources); }
    void translateCaptions();

    // Reads the record's cases again (none when the database has no table of them); false with
    // the reason in the message line when reading fails.
    bool reload();
    const QList<check::TestCase>& cases() const { return m_cases; }
    // Runs every case on `sql` and shows their outcomes; returns them in the order of cases().
    QList<check::CaseOutcome> runAll(const QString& sql);
    // The first differing case of the last runAll, shown in the table (the strip's click).
    void showFirstDiffering();

    // The panel's buttons.
    void saveFromPanel();
    void loadSelected();
    void renameSelected();
    void removeSelected();
    void runSelected();

    QListWidget* list() const { return m_list; }
    QTableWidget* comparison() const { return m_table; }
    QLabel* messageLabel() const { return m_message; }
    QPushButton* saveButton() const { return m_save; }
    // The outcome of each case of cases() that ran since the cases were read.
    const QList<std::optional<check::CaseOutcome>>& outcomes() const { return m_outcomes; }

private:
    void fillList();
    void showCase(int row);
    void expectedEdited(QTableWidgetItem* item);
    void showMessage(const QString& text, bool error);
    int selectedRow() const;
    check::TrialOptions options() const;
    check::TrialReading reading() const;
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }

    QPointer<TrialPanel> m_panel;
    TranslateFn m_translate;
    Sources m_sources;
    QList<check::TestCase> m_cases;
    QList<std::optional<check::CaseOutcome>> m_outcomes; // parallel to m_cases
    QListWidget* m_list = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_runOne = nullptr;
    bool m_filling = false;
};

} // namespace editor
