#include "editor/EditorTools.h"

#include "editing/EditCommands.h"
#include "editor/FindReplaceBar.h"
#include "editor/LineGutter.h"
#include "host/controls/VxlRichTextBox.h"

#include <QShortcut>

#include <algorithm>
#include <QTextCursor>
#include <QWheelEvent>

namespace editor {

EditorTools::EditorTools(QWidget* window, controls::VxlRichTextBox* box, Hooks hooks)
    : QObject(window)
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
    auto shortcut = [this, window](const QKeySequence& keys, const std::function<void()>& action) {
        auto* s = new QShortcut(keys, window);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_R), [this] { openFind(true); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { openGoToLine(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Slash), [this] { toggleComment(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { setZoom(m_zoom + 1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { setZoom(m_zoom + 1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { setZoom(m_zoom - 1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(0); });
    box->viewport()->installEventFilter(this);
    box->installEventFilter(this);
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

bool EditorTools::eventFilter(QObject* watched, QEvent* event) {
    if (m_box && watched == m_box && event->type() == QEvent::Show && !m_restored)
        restoreZoom();
    if (m_box && watched == m_box->viewport() && event->type() == QEvent::Wheel) {
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
