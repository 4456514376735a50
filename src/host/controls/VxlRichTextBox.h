#pragma once

#include <QPlainTextEdit>
#include <QString>

class QKeyEvent;

namespace controls {

// Key code of a Qt key as the host's controls report it (the Windows virtual-key codes:
// letters and digits are their upper-case character codes, Up 38, Down 40, Enter 13 ...);
// 0 for a key without a code.
int virtualKeyCode(int qtKey);
// Shift state of the host's key notifications: 1 Shift, 2 Ctrl, 4 Alt, added together.
int shiftState(Qt::KeyboardModifiers modifiers);

// The host's rich-text box: a plain-text edit box with the members the windows use.
//
// Text and caret: Text() returns line breaks as CR LF and SelStart() counts in that text, so a
// position read from the box can be used directly on the text read from it. SetText accepts
// CR LF, CR or LF.
//
// Notifications (all emitted before the box itself acts on the key, none can consume it):
//  - KeyDown(keyCode, shift): every key press, from the key-press event.
//  - KeyPress(charCode): every key press that produces a character (Enter gives 13), emitted
//    before the character is inserted. A handler that needs the character in the text first
//    calls flushPendingKey() (the "let pending events run" step of the host's event model).
//  - SelChange(): the caret notification; the user moved the caret or the selection (mouse,
//    keys, typing). Programmatic SetText/SetSelStart do not raise it.
//  - LostFocus(): the window notification; the box lost the keyboard focus.
//
// The box keeps no undo history of its own: the windows keep theirs.
class VxlRichTextBox : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(int SelStart READ SelStart WRITE SetSelStart)
    Q_PROPERTY(bool Locked READ Locked WRITE SetLocked)
    Q_PROPERTY(bool MultiLine READ MultiLine WRITE SetMultiLine)
public:
    explicit VxlRichTextBox(QWidget* parent = nullptr);
    // The focus leaves while the box is still whole, so the filters that watch it (completion,
    // find bar, gutter) see its FocusOut from a box, not from QWidget's destructor.
    ~VxlRichTextBox() override;

    QString Text() const;
    void SetText(const QString& text);
    int SelStart() const;
    // Positions beyond the end of the text put the caret at the end; negative ones at 0.
    void SetSelStart(int position);
    bool Locked() const { return isReadOnly(); }
    void SetLocked(bool locked) { setReadOnly(locked); }
    bool MultiLine() const { return m_multiLine; }
    void SetMultiLine(bool multiLine);

    // Keeps `pixels` under the text area free (a strip of the window sits there).
    void SetBottomMargin(int pixels) {
        m_bottomMargin = pixels;
        updateMargins();
    }
    // Keeps `pixels` left of the text area free (a margin of marks sits there).
    void SetLeftMargin(int pixels) {
        m_leftMargin = pixels;
        updateMargins();
    }
    int LeftMargin() const { return m_leftMargin; }
    // Keeps `pixels` free at the box's left edge, left of the margin of marks (the line numbers'
    // gutter sits there).
    void SetGutterWidth(int pixels) {
        m_gutterWidth = pixels;
        updateMargins();
    }
    int GutterWidth() const { return m_gutterWidth; }
    // Keeps `pixels` above the text area free (a bar of the window sits there). What is placed
    // beside the text area (margins, strips) is told by a resize event of the box.
    void SetTopMargin(int pixels);
    int TopMargin() const { return m_topMargin; }

    // Inserts the character of the key press being notified now, so that a KeyPress handler
    // can see it in the text. Does nothing outside a KeyPress notification.
    void flushPendingKey();

signals:
    void KeyDown(int keyCode, int shift);
    void KeyPress(int charCode);
    void SelChange();
    void LostFocus();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int toDocumentPosition(int textPosition) const;
    void updateMargins() { setViewportMargins(m_gutterWidth + m_leftMargin, m_topMargin, 0, m_bottomMargin); }

    QKeyEvent* m_pendingKey = nullptr;
    bool m_pendingDone = false;
    bool m_programmatic = false;
    bool m_multiLine = true;
    int m_leftMargin = 0;
    int m_gutterWidth = 0;
    int m_topMargin = 0;
    int m_bottomMargin = 0;
};

} // namespace controls
