#include "editor/EditorTools.h"

#include "editing/EditCommands.h"
#include "editor/FindReplaceBar.h"
#include "editor/LineGutter.h"
#include "host/controls/VxlRichTextBox.h"

#include <QApplication>
#include <QKeyEvent>

#include <QTextCursor>
#include <QWheelEvent>
#include <algorithm>

namespace editor {

EditorTools::EditorTools(QWidget* window, controls::VxlRichTextBox* box, Hooks hooks)
    : QObject(window)
    , m_window(window)
    , m_box(box)
    , m_hooks(std::move(hooks)) {
    m_designedPointSize = box->font().pointSizeF();
    m_gutter = new LineGutter(box);
    m_bar = new FindReplaceBar(box, m_hooks.translate, [this](const std::function<void()>& edit) {
        if (m_hooks.recordEdit)
            m_hooks.recordEdit(edit);
        else
            edit();
    });
    // The keys are read before the focused control, anywhere in the window, as the window's own
    // commands are; the ones taken here go no further. The box's first show and Ctrl+wheel over
    // its text come through the same filter.
    qApp->installEventFilter(this);
}

void EditorTools::toggleComment() {
    if (!m_box || m_box->isReadOnly() || !m_box->isEnabled())
        return;
    const QTextCursor cursor = m_box->textCursor();
    const auto change =
        editing::toggleLineComment(m_box->toPlainText(), cursor.selectionStart(), cursor.selectionEnd());
    if (!change)
        return;
    const auto edit = [&] {
        QTextCursor c(m_box->document());
        c.setPosition(change->from);
        c.setPosition(change->to, QTextCursor::KeepAnchor);
        c.insertText(change->text);
        c.setPosition(change->selStart);
        c.setPosition(change->selEnd, QTextCursor::KeepAnchor);
        m_box->setTextCursor(c);
    };
    if (m_hooks.recordEdit)
        m_hooks.recordEdit(edit);
    else
        edit();
}

void EditorTools::openFind(bool replace) {
    m_bar->open(replace ? FindReplaceBar::Mode::Replace : FindReplaceBar::Mode::Find);
}

void EditorTools::openGoToLine() {
    m_bar->open(FindReplaceBar::Mode::GoToLine);
}

void EditorTools::setZoom(int steps, bool remember) {
    if (!m_box)
        return;
    steps = std::clamp(steps, MinZoom, MaxZoom);
    // The designed size may be in pixels (no point size): zoom the pixels then.
    QFont font = m_box->font();
    if (m_designedPointSize > 0)
        font.setPointSizeF(std::max(m_designedPointSize + steps, 4.0));
    m_box->setFont(font);
    const bool changed = steps != m_zoom;
    m_zoom = steps;
    if (remember && changed && m_hooks.setSetting)
        m_hooks.setSetting(QString::fromLatin1(ZoomKey), m_zoom);
}

void EditorTools::restoreZoom() {
    m_restored = true;
    if (!m_hooks.setting)
        return;
    const QVariant stored = m_hooks.setting(QString::fromLatin1(ZoomKey));
    bool ok = false;
    const int steps = stored.toInt(&ok);
    if (stored.isValid() && ok)
        setZoom(steps, false);
}

bool EditorTools::command(const QKeyEvent& key) {
    // A character that needs Shift on some keyboards ("/" and "+" on an Italian one) may come
    // with it; the other keys take Ctrl alone.
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool ctrlMaybeShift = ctrl || modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    switch (key.key()) {
    case Qt::Key_R:
        if (ctrl)
            openFind(true);
        return ctrl;
    case Qt::Key_G:
        if (ctrl)
            openGoToLine();
        return ctrl;
    case Qt::Key_Slash:
        if (ctrlMaybeShift)
            toggleComment();
        return ctrlMaybeShift;
    case Qt::Key_Plus:
        if (ctrlMaybeShift)
            setZoom(m_zoom + 1);
        return ctrlMaybeShift;
    case Qt::Key_Equal:
        if (ctrl)
            setZoom(m_zoom + 1);
        return ctrl;
    case Qt::Key_Minus:
        if (ctrl)
            setZoom(m_zoom - 1);
        return ctrl;
    case Qt::Key_0:
        if (ctrl)
            setZoom(0);
        return ctrl;
    default:
        return false;
    }
}

bool EditorTools::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && m_window) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == m_window || m_window->isAncestorOf(widget)) && m_window->isEnabled())
            return command(*static_cast<QKeyEvent*>(event));
        return false;
    }
    // The filter sees every object's events, also those of widgets being destroyed: the box is
    // looked at only for the events a live widget receives.
    if (event->type() == QEvent::Show && !m_restored && m_box && watched == m_box)
        restoreZoom();
    if (event->type() == QEvent::Wheel && m_box && watched == m_box->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() == Qt::ControlModifier) {
            // A notch is 120 eighths of a degree; touchpads send less at a time.
            m_wheelRest += wheel->angleDelta().y();
            const int steps = m_wheelRest / 120;
            m_wheelRest -= steps * 120;
            if (steps != 0)
                setZoom(m_zoom + steps);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace editor
