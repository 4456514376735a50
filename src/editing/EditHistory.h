#pragma once

#include "core/Error.h"
#include "core/TextBox.h"

#include <QString>
#include <qnamespace.h>

#include <array>
#include <cstdint>
#include <functional>

namespace editing {

// The undo/redo history of the formula box: snapshots of the whole text (trailing blanks
// removed) taken at the pauses of editing, in 100 usable positions, and the remembered caret
// position used by the insertion from the element tree.
//
// Notifications of the formula box and how the window is expected to deliver them with Qt:
// - onKey: the key-down (QEvent::KeyPress) of the box, before the box handles it; Up and Down
//   with no Shift, Ctrl or Alt record a snapshot (onQtKey maps Qt::Key_Up/Key_Down and the
//   modifiers; the keypad modifier does not count).
// - onCharacter: a key press that carries a character (QKeyEvent::text() not empty; Return and
//   Enter give 13), before the box inserts it. For a blank or a carriage return it calls the
//   "let pending events run" callback, which must make the character reach the text of the box
//   (the window lets the box process the key event at that point), and then records.
// - onCaret: the box's cursorPositionChanged (a click or a selection change).
// - onWindowNotification: the box losing the focus (QEvent::FocusOut).
// None of them consumes or changes the key, and none has an error trap.
class EditHistory {
public:
    static constexpr int Positions = 101; // 0 to 100; position 0 is never written
    static constexpr std::int16_t LastPosition = 100;

    // `letPendingEventsRun` is called by onCharacter before a snapshot; may be unset.
    explicit EditHistory(core::TextBox& formulaBox, std::function<void()> letPendingEventsRun = {});

    // RecordUndoState: stores the trimmed text at the next position, unless the history is full.
    void RecordUndoState();
    // UndoFormula: steps back one snapshot (the box empties at position 0) and moves the caret
    // back by what the text had in excess of the snapshot.
    void UndoFormula();
    // RedoFormula: steps forward onto a written, non-blank snapshot; the caret is not touched.
    void RedoFormula();

    // An editing command of the box (a comment toggled, a replacement) as one step of the history:
    // the text before it is recorded first when the current snapshot does not hold it (typing since
    // the last pause), then `edit` runs and the text after it is recorded. Undo then returns
    // exactly to the text before the command.
    void recordEdit(const std::function<void()>& edit);

    // Whether UndoFormula and RedoFormula would change anything now (the buttons show it).
    bool canUndo() const { return m_index > 0; }
    bool canRedo() const;
    // Told after every change of the position or the snapshots (the buttons show it).
    void setChangeListener(std::function<void()> listener) { m_changed = std::move(listener); }

    // The IMG_UNDO and IMG_REDO clicks (and Ctrl+Z, Ctrl+Y) under their traps.
    void clickUndo(const core::ErrorAnswerFn& errorAnswer);
    void clickRedo(const core::ErrorAnswerFn& errorAnswer);

    // The four notifications of the formula box.
    void onKey(int keyCode, int shift); // key codes 38 Up, 40 Down; shift 1 Shift, 2 Ctrl, 4 Alt
    void onQtKey(int qtKey, Qt::KeyboardModifiers modifiers);
    void onCharacter(int characterCode);
    void onCaret();
    void onWindowNotification();

    const std::array<QString, Positions>& UndoBuffer() const { return m_buffer; }
    std::int16_t UndoIndex() const { return m_index; }
    std::int32_t CaretPosition() const { return m_caret; }
    // The tree insertion remembers where it left the caret.
    void setCaretPosition(std::int32_t position) { m_caret = position; }

private:
    core::TextBox& m_box;
    std::function<void()> m_letPendingEventsRun;
    std::function<void()> m_changed;
    std::array<QString, Positions> m_buffer;
    std::int16_t m_index = 0;
    std::int32_t m_caret = 0;
};

} // namespace editing
