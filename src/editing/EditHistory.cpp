#include "editing/EditHistory.h"

#include "core/NullSafe.h"

namespace editing {

namespace {

QString snapshotOf(const QString& text) {
    return core::RTrimN(core::Variant(text)).toString();
}

constexpr int KeyUp = 38;
constexpr int KeyDown = 40;
constexpr int Blank = 32;
constexpr int CarriageReturn = 13;

} // namespace

EditHistory::EditHistory(core::TextBox& formulaBox, std::function<void()> letPendingEventsRun)
    : m_box(formulaBox)
    , m_letPendingEventsRun(std::move(letPendingEventsRun)) {}

void EditHistory::RecordUndoState() {
    if (m_index >= LastPosition)
        return; // full: this pause is not recorded
    const QString snapshot = snapshotOf(m_box.text());
    ++m_index;
    m_buffer[static_cast<std::size_t>(m_index)] = snapshot;
    if (m_changed)
        m_changed();
}

void EditHistory::recordEdit(const std::function<void()>& edit) {
    if (snapshotOf(m_box.text()) != m_buffer[static_cast<std::size_t>(m_index)])
        RecordUndoState();
    edit();
    RecordUndoState();
}

void EditHistory::UndoFormula() {
    if (m_index <= 0)
        return;
    const qsizetype excess = m_box.text().size() - m_buffer[static_cast<std::size_t>(m_index)].size();
    const qsizetype shift = excess > 0 ? excess : 0;
    m_caret = m_box.selStart();
    --m_index;
    m_box.setText(m_buffer[static_cast<std::size_t>(m_index)]);
    if (m_caret - shift >= 1) {
        m_box.setSelStart(static_cast<int>(m_caret - shift));
        m_caret = m_box.selStart();
    }
    if (m_changed)
        m_changed();
}

void EditHistory::RedoFormula() {
    if (m_index < LastPosition)
        ++m_index;
    const QString& snapshot = m_buffer[static_cast<std::size_t>(m_index)];
    if (!snapshotOf(snapshot).isEmpty())
        m_box.setText(snapshot);
    else
        --m_index;
    if (m_changed)
        m_changed();
}

bool EditHistory::canRedo() const {
    return m_index < LastPosition && !snapshotOf(m_buffer[static_cast<std::size_t>(m_index + 1)]).isEmpty();
}

void EditHistory::clickUndo(const core::ErrorAnswerFn& errorAnswer) {
    core::runStep(QStringLiteral("IMG_UNDO_ButtonClick"), errorAnswer, [this] { UndoFormula(); });
}

void EditHistory::clickRedo(const core::ErrorAnswerFn& errorAnswer) {
    core::runStep(QStringLiteral("IMG_REDO_ButtonClick"), errorAnswer, [this] { RedoFormula(); });
}

void EditHistory::onKey(int keyCode, int shift) {
    if (shift == 0 && (keyCode == KeyUp || keyCode == KeyDown))
        RecordUndoState();
}

void EditHistory::onQtKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    const int keyCode = qtKey == Qt::Key_Up ? KeyUp : (qtKey == Qt::Key_Down ? KeyDown : 0);
    onKey(keyCode, shift);
}

void EditHistory::onCharacter(int characterCode) {
    m_caret = m_box.selStart() + 1;
    if (characterCode == Blank || characterCode == CarriageReturn) {
        if (m_letPendingEventsRun)
            m_letPendingEventsRun();
        RecordUndoState();
    }
}

void EditHistory::onCaret() {
    m_caret = m_box.selStart();
}

void EditHistory::onWindowNotification() {
    RecordUndoState();
}

} // namespace editing
