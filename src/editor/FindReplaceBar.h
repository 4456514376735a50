#pragma once

#include "editing/EditCommands.h"

#include <QFrame>
#include <QPointer>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace controls {
class VxlRichTextBox;
}

namespace editor {

// The bar over the top right corner of the formula box that finds and replaces inside it (Ctrl+R)
// or goes to a line (Ctrl+G). Enter finds the next match, Shift+Enter the previous one, Esc
// closes the bar and gives the box the focus back. A replacement goes through `applyEdit`, which
// makes it one step of the window's edit history; in a read-only box nothing is replaced.
class FindReplaceBar : public QFrame {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;
    // Runs `edit` (which changes the box) as one step of the edit history.
    using ApplyEditFn = std::function<void(const std::function<void()>& edit)>;

    enum class Mode { Find, Replace, GoToLine };

    FindReplaceBar(controls::VxlRichTextBox* box, TranslateFn translate, ApplyEditFn applyEdit);

    // Shows the bar in `mode` with the focus in its first field; the find field starts with the
    // box's selection when it is on one line.
    void open(Mode mode);
    void close();
    Mode mode() const { return m_mode; }

    // The operations of its buttons (tests call them too). Each says what it did in the bar's
    // status line.
    bool findNext(bool backward = false);
    bool replaceCurrent();
    int replaceAll();
    bool goToLine();

    QLineEdit* findField() const { return m_find; }
    QLineEdit* replaceField() const { return m_replace; }
    QLineEdit* lineField() const { return m_line; }
    QCheckBox* matchCase() const { return m_case; }
    QCheckBox* wholeWord() const { return m_word; }
    QLabel* status() const { return m_status; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void translateCaptions();
    void place();
    editing::FindOptions options() const;
    QString translated(const char* italian) const;
    void select(int start, int end);

    QPointer<controls::VxlRichTextBox> m_box;
    TranslateFn m_translate;
    ApplyEditFn m_applyEdit;
    Mode m_mode = Mode::Find;
    QWidget* m_findRow = nullptr;
    QWidget* m_replaceRow = nullptr;
    QWidget* m_lineRow = nullptr;
    QLineEdit* m_find = nullptr;
    QLineEdit* m_replace = nullptr;
    QLineEdit* m_line = nullptr;
    QLabel* m_lineLabel = nullptr;
    QCheckBox* m_case = nullptr;
    QCheckBox* m_word = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_replaceOne = nullptr;
    QToolButton* m_replaceEvery = nullptr;
    QToolButton* m_go = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace editor
