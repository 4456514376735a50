#include "host/controls/MDIActiveX.h"

#include "host/controls/HostControls.h"

#include <QEvent>
#include <QMdiSubWindow>

namespace controls {

MDIActiveX::MDIActiveX(QWidget* window)
    : QObject(window)
    , m_window(window) {
    setObjectName(QStringLiteral("MDIActiveX1"));
    window->installEventFilter(this);
}

void MDIActiveX::SetPlacement(const QVariant& left, const QVariant& top, const QVariant& width,
                              const QVariant& height) {
    m_last = QRect(left.toInt(), top.toInt(), width.toInt(), height.toInt());
    const QRect pixels = twipsToPixels(m_last, m_window);
    QWidget* target = qobject_cast<QMdiSubWindow*>(m_window->parentWidget());
    if (target == nullptr)
        target = m_window->window();
    target->setGeometry(pixels);
}

bool MDIActiveX::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Show && !m_placedInArea &&
        qobject_cast<QMdiSubWindow*>(m_window->parentWidget()) != nullptr) {
        m_placedInArea = true;
        emit PlacementRequest();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace controls
