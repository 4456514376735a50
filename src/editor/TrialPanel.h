#pragma once

#include "check/FormulaEvaluation.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTableWidget;

namespace ado {
class Connection;
}
namespace controls {
class VxlRichTextBox;
}

namespace editor {

// The margin left of the formula box: a green mark on each line where a statement ran in the
// last trial run, a red one on the line of its error.
class TrialMargin : public QWidget {
    Q_OBJECT
public:
    explicit TrialMargin(controls::VxlRichTextBox* box);
    void setMarks(const QList<int>& executed, int errorLine);
    void clear() { setMarks({}, 0); }
    const QList<int>& executedLines() const { return m_executed; }
    int errorLine() const { return m_error; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    QPointer<controls::VxlRichTextBox> m_box;
    QList<int> m_executed;
    int m_error = 0;
};

// The trial panel of the editor: an input for every element the formula reads, typed by its
// declaration, the "Prova" button, the outputs before and after the run, and a discreet line
// saying which evaluation ran it. It runs the formula through a check::FormulaEvaluation (the
// compiled evaluator where the embedded engine is the reference, the check's guard, rollback and
// limits otherwise) and writes nothing.
class TrialPanel : public QWidget {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;
    struct Sources {
        std::function<QString()> sqlForm;             // the box's formula in SQL form (normal mode)
        std::function<ado::Connection*()> connection; // the editor's connection
        // A category's or variant's label as the formula writes it, or "" (the panel shows its key).
        std::function<QString(const check::TrialElement&)> labelOf;
        // Where the batch runs (unset: on the connection, on this thread); whether a run of the
        // window is in flight (the panel then starts none).
        check::GuardedRunFn run;
        std::function<bool()> busy;
        // Where a run of the compiled evaluator goes (unset: on this thread).
        check::DetachedRunFn evaluate;
        // How the user writes values and reads numbers (unset: Italian).
        std::function<check::TrialReading()> reading;
    };

    TrialPanel(controls::VxlRichTextBox* box, TranslateFn translate, QWidget* parent = nullptr);
    void setSources(Sources sources) { m_sources = std::move(sources); }
    // Whether the compiled evaluator may run the formula (see check::TrialOptions::compiled).
    void setCompiledAllowed(bool allowed) { m_compiledAllowed = allowed; }

    // Sets the captions from their Italian texts through the translation: the window calls it
    // again once its host (and so the translation service) is known.
    void translateCaptions();
    // Reads the elements of the formula again; values typed for the same elements stay.
    void refreshElements();
    // "Prova": runs the formula on the typed values.
    void run();
    // The first value takes the focus (the button when the formula reads nothing).
    void focusFirstValue();

    // The typed values by element ("@ATTPREZZO", "C:123", "V:V01"), for the host settings.
    QHash<QString, QString> values() const;
    void setValues(const QHash<QString, QString>& values);

    const check::TrialResult& lastResult() const { return m_result; }
    QTableWidget* inputTable() const { return m_inputs; }
    QTableWidget* outputTable() const { return m_outputs; }
    QLabel* messageLabel() const { return m_message; }
    QLabel* pathLabel() const { return m_path; }
    QPushButton* runButton() const { return m_run; }
    TrialMargin* margin() const { return m_margin; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A run ended (the window remembers the values).
    void ran();

private:
    void collectValues();
    void showOutputs();
    void showMessage(const QString& text, bool error);
    void showServerMessage(const QString& message);
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }
    check::TrialReading reading() const;

    QPointer<controls::VxlRichTextBox> m_box;
    TranslateFn m_translate;
    Sources m_sources;
    QList<check::TrialElement> m_elements;
    QHash<QString, QString> m_values;
    check::TrialResult m_result;
    QTableWidget* m_inputs = nullptr;
    QTableWidget* m_outputs = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_path = nullptr;
    QPushButton* m_run = nullptr;
    // The formula of the last run, kept compiled while the text stays the same.
    std::unique_ptr<check::FormulaEvaluation> m_evaluation;
    bool m_compiledAllowed = true;
    TrialMargin* m_margin = nullptr;
};

} // namespace editor
