#pragma once

#include "editing/FormulaHistory.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;
class QTextEdit;

namespace editor {

// The record's history beside the editor window ("Cronologia"): its versions, newest first
// (version, who, when, comment, size), and the selected one against the text of the formula box,
// both in display form, with the changed words marked (struck red: only in the version; green
// and underlined: only in the box). "Ripristina" hands the version's display form to the window,
// which puts it into the box as one edit. The panel reads nothing itself: the window gives it the
// versions and the display form of each.
class HistoryPanel : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString(const QString&)> translate;
        // The display form of a version's SQL form (nullopt in: a cleared formula, shown empty);
        // nullopt when it cannot be shown.
        std::function<std::optional<QString>(const std::optional<QString>& sqlForm)> displayForm;
        std::function<QString()> boxText;            // the formula box's text now
        std::function<void(const QString&)> restore; // puts a display form into the box
    };

    HistoryPanel(Hooks hooks, QWidget* parent = nullptr);

    // Lists `versions` (newest first); `more`: the record has older ones not listed. Selects the
    // newest, or `select` when it is listed.
    void setVersions(const QList<editing::FormulaVersion>& versions, bool more,
                     std::optional<int> select = {});
    // Says why there is nothing to list (no record, no history table, a read that failed).
    void setProblem(const QString& text);
    // Shows the selected version against the box again (the box changed).
    void refresh();
    // The version selected (0: none).
    int selectedVersion() const;
    void translateCaptions();

private:
    void showSelected();
    // The note under the list: the list's own (a limit reached), then `text`.
    void setNote(const QString& text);
    void restoreSelected();
    QString tr(const QString& text) const;

    Hooks m_hooks;
    QList<editing::FormulaVersion> m_versions;
    QString m_listNote;
    std::optional<QString> m_shown; // the display form of the selected version, when it has one
    QLabel* m_note = nullptr;
    QTableWidget* m_table = nullptr;
    QTextEdit* m_diff = nullptr;
    QPushButton* m_restore = nullptr;
};

} // namespace editor
