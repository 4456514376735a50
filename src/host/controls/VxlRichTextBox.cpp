#include "host/controls/VxlRichTextBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCursor>

namespace controls {

int virtualKeyCode(int qtKey) {
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey; // same codes as the upper-case characters
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

int shiftState(Qt::KeyboardModifiers modifiers) {
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

VxlRichTextBox::~VxlRichTextBox() {
    if (hasFocus())
        clearFocus();
}

VxlRichTextBox::VxlRichTextBox(QWidget* parent)
    : QPlainTextEdit(parent) {
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!m_programmatic)
            emit SelChange();
    });
}

QString VxlRichTextBox::Text() const {
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void VxlRichTextBox::SetText(const QString& text) {
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!m_multiLine)
        plain.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_programmatic = true;
    setPlainText(plain);
    m_programmatic = false;
}

int VxlRichTextBox::SelStart() const {
    const QTextCursor cursor = textCursor();
    const int position = cursor.selectionStart();
    // Every paragraph break before the position counts twice (CR LF) in Text().
    const int breaks = document()->findBlock(position).blockNumber();
    return position + breaks;
}

int VxlRichTextBox::toDocumentPosition(int textPosition) const {
    const QString text = Text();
    int documentPosition = 0;
    for (int i = 0; i < textPosition && i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            continue; // the LF that follows counts for the break
        ++documentPosition;
    }
    return documentPosition;
}

void VxlRichTextBox::SetSelStart(int position) {
    const int documentPosition = std::clamp(toDocumentPosition(std::max(position, 0)), 0,
                                            std::max(document()->characterCount() - 1, 0));
    QTextCursor cursor = textCursor();
    cursor.setPosition(documentPosition);
    m_programmatic = true;
    setTextCursor(cursor);
    m_programmatic = false;
}

void VxlRichTextBox::SetMultiLine(bool multiLine) {
    m_multiLine = multiLine;
    setLineWrapMode(multiLine ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(multiLine ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(multiLine ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void VxlRichTextBox::SetTopMargin(int pixels) {
    if (pixels == m_topMargin)
        return;
    m_topMargin = pixels;
    updateMargins();
    QResizeEvent resized(size(), size());
    QCoreApplication::sendEvent(this, &resized);
}

void VxlRichTextBox::flushPendingKey() {
    if (m_pendingKey == nullptr || m_pendingDone)
        return;
    m_pendingDone = true;
    QPlainTextEdit::keyPressEvent(m_pendingKey);
}

void VxlRichTextBox::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(virtualKeyCode(event->key()), shiftState(event->modifiers()));

    int charCode = 0;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        charCode = 13;
    else if (!event->text().isEmpty())
        charCode = event->text().at(0).unicode();
    if (!m_multiLine && charCode == 13) {
        emit KeyPress(charCode);
        event->accept();
        return; // a one-line box takes no line break
    }

    QKeyEvent* const outer = m_pendingKey;
    const bool outerDone = m_pendingDone;
    m_pendingKey = event;
    m_pendingDone = false;
    if (charCode != 0)
        emit KeyPress(charCode);
    if (!m_pendingDone)
        QPlainTextEdit::keyPressEvent(event);
    m_pendingKey = outer;
    m_pendingDone = outerDone;
}

void VxlRichTextBox::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    emit LostFocus();
}

} // namespace controls
