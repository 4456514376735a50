#pragma once

#include "diagnostics/Diagnostics.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QWidget;

namespace check {
class SyntaxCheck;
} // namespace check
namespace editing {
class EditHistory;
} // namespace editing
namespace controls {
class VxlRichTextBox;
class VXL_TBARMENU;
} // namespace controls
namespace diagnostics {
class ElementCatalog;
class FormulaHighlighter;
class LiveDiagnostics;
} // namespace diagnostics

namespace editor {

// What the formula box shows besides the prescribed window: highlighting, live diagnostics,
// the message strip under the box (the first message of a failed check, placed in the formula;
// clicking it puts the caret there), the unsaved-changes marker, the matching delimiter at the
// caret and whether the undo and redo buttons have anything to do. It only reads the window's
// controls and the check; it writes nothing and asks nothing.
class FormulaAssist : public QObject {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;

    FormulaAssist(controls::VxlRichTextBox* box, controls::VXL_TBARMENU* undo, controls::VXL_TBARMENU* redo,
                  editing::EditHistory& history, TranslateFn translate);
    ~FormulaAssist() override;

    // The catalogue of the elements is known (the window's first activation): highlighting and
    // live diagnostics judge elements from now on; the box's text counts as the stored formula.
    // Called again with a fuller catalogue (the company's lists read later), it only judges the
    // box's text again against it.
    void start(std::shared_ptr<const diagnostics::ElementCatalog> catalog);
    // A check ended (the button, Ctrl+H or the silent check of a save). `correctAsStored`: it
    // failed, and the formula as it is saved passes as production runs it (check::passesAsStored);
    // the strip says so on a line of its own under the message.
    void checked(const check::SyntaxCheck& check, bool correctAsStored = false);
    // A save wrote the box's text.
    void saved();
    // The record's test cases ran after a check: `summary` in the strip ("3 casi di prova: 1
    // diverso"), as an error when a case differs; a click on the strip calls `open`.
    void showCases(const QString& summary, bool differing, std::function<void()> open);
    // The box shows the SQL form (the technical view): no diagnostics, no marker changes.
    void setTechnicalView(bool on);
    // The buttons' states after a change of the history.
    void refreshHistory();
    // Marks line `line` (from 1) of the box as a failed check's line is marked, shows `message`
    // for it in the strip (the server's message of a check, or a note such as where an element
    // is used; `error` picks the strip's style) and puts the caret at the line's start, scrolled
    // into view. The mark stays until the text changes. False (nothing marked) when the box has
    // no such line or shows the SQL form.
    bool markLine(int line, const QString& message, bool error);

    // For tests and the demo host.
    QLabel* strip() const { return m_message; }
    // The strip's message whole (the strip shows each line cut in its middle when it is wider).
    const QString& stripMessage() const { return m_fullMessage; }
    QLabel* unsavedMarker() const { return m_unsaved; }
    // The help line above the messages (the window's element help writes it).
    QLabel* helpLine() const { return m_help; }
    diagnostics::FormulaHighlighter* highlighter() const { return m_highlighter; }
    diagnostics::LiveDiagnostics* live() const { return m_live.get(); }
    const QList<diagnostics::Diagnostic>& liveDiagnostics() const { return m_found; }
    bool hasUnsavedChanges() const { return m_unsavedChanges; }
    // The message of the marked text at `position` of the box's text (a live finding, or the
    // check's message when it marks a column); empty when nothing there is marked.
    QString messageAt(qsizetype position) const;
    // Where a click on the strip puts the caret (-1: nowhere).
    qsizetype stripTarget() const { return m_target; }
    void clickStrip();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textChanged();
    void showLive(const QList<diagnostics::Diagnostic>& found, const QString& text);
    void showMessage(const diagnostics::Diagnostic& d, bool error);
    void clearMessage();
    // The strip's height for `rows` rows of text (the help line and the message's lines).
    void fitStrip(int rows);
    void applyMarks();
    void matchDelimiters();
    void placeStrip();
    // The strip's and the help line's colours, from the box's palette.
    void applyPalette();
    void showElided();
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }

    QPointer<controls::VxlRichTextBox> m_box;
    QPointer<controls::VXL_TBARMENU> m_undo;
    QPointer<controls::VXL_TBARMENU> m_redo;
    editing::EditHistory& m_history;
    TranslateFn m_translate;
    QWidget* m_stripWidget = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_unsaved = nullptr;
    QLabel* m_help = nullptr;
    QAction* m_copyServerText = nullptr;
    QString m_fullMessage; // the strip's message before eliding
    QString m_serverText;  // the check's message as the server gave it
    diagnostics::FormulaHighlighter* m_highlighter = nullptr;
    std::shared_ptr<const diagnostics::ElementCatalog> m_catalog;
    std::unique_ptr<diagnostics::LiveDiagnostics> m_live;
    QList<diagnostics::Diagnostic> m_found;
    std::optional<diagnostics::Diagnostic> m_checkMessage; // until the text changes
    QString m_stored;
    QString m_lastText; // the text of the last change seen
    bool m_started = false;
    bool m_technical = false;
    bool m_unsavedChanges = false;
    qsizetype m_target = -1;
    std::function<void()> m_openCases; // what a click on the strip opens (the cases' summary)
    QString m_casesText;               // the text the cases ran on
    QIcon m_undoIcon;
    QIcon m_redoIcon;
    QIcon m_undoDimmed;
    QIcon m_redoDimmed;
    std::optional<bool> m_canUndo; // as the buttons show it
    std::optional<bool> m_canRedo;
};

} // namespace editor
