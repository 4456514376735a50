#include "host/WindowPlacement.h"

#include "host/UserSettings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace host {

QRect fitFrame(const QRect& frame, const QRect& available) {
    if (!available.isValid())
        return frame;
    const int width = std::min(frame.width(), available.width());
    const int height = std::min(frame.height(), available.height());
    const int x = std::clamp(frame.x(), available.left(), available.left() + available.width() - width);
    const int y = std::clamp(frame.y(), available.top(), available.top() + available.height() - height);
    return {x, y, width, height};
}

QScreen* screenFor(const QWidget* window) {
    if (window != nullptr) {
        const QWidget* parent = window->parentWidget();
        if (parent != nullptr && parent->window()->screen() != nullptr)
            return parent->window()->screen();
        if (window->screen() != nullptr)
            return window->screen();
    }
    return QGuiApplication::primaryScreen();
}

QRect availableFor(const QWidget* window, const QRect& frame, bool preferFrameScreen, const QWidget* anchor) {
    if (preferFrameScreen) {
        if (QScreen* there = QGuiApplication::screenAt(frame.center()))
            return there->availableGeometry();
    }
    const QScreen* screen = anchor != nullptr && anchor->window()->screen() != nullptr
                                ? anchor->window()->screen()
                                : screenFor(window);
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

void fitToScreen(QWidget* window, bool preferOwnScreen, const QWidget* anchor) {
    if (window == nullptr || !window->isWindow() ||
        (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const QRect fitted = fitFrame(frame, availableFor(window, frame, preferOwnScreen, anchor));
    if (fitted == frame)
        return;
    // The decorations keep their size: the client area gives up what the frame must lose.
    const QSize decorations = frame.size() - inner.size();
    const QSize client = fitted.size() - decorations;
    const QSize minimum = window->minimumSize();
    if (minimum.width() > client.width() || minimum.height() > client.height())
        window->setMinimumSize(minimum.boundedTo(client));
    window->resize(client);
    window->move(fitted.topLeft()); // a window's position is its frame's
}

QRect besideFrame(const QRect& anchor, const QSize& size, const QRect& available) {
    const int right = anchor.x() + anchor.width();
    if (right + size.width() <= available.x() + available.width())
        return fitFrame(QRect(QPoint(right, anchor.y()), size), available);
    if (anchor.x() - size.width() >= available.x())
        return fitFrame(QRect(QPoint(anchor.x() - size.width(), anchor.y()), size), available);
    return fitFrame(QRect(QPoint(right - size.width(), anchor.y()), size), available);
}

WindowPlacement::WindowPlacement(QWidget* window, UserSettings* settings, QString key, QWidget* anchor)
    : QObject(window)
    , m_window(window)
    , m_settings(settings)
    , m_anchor(anchor)
    , m_key(std::move(key)) {
    setObjectName(QStringLiteral("windowPlacement"));
    window->installEventFilter(this);
}

QString WindowPlacement::keyFor(const QString& name) {
    return QStringLiteral("windows/") + name;
}

QRect WindowPlacement::remembered() const {
    if (m_settings == nullptr)
        return {};
    const QRect place = m_settings->Value(m_key).toRect();
    return place.isValid() ? place : QRect();
}

void WindowPlacement::remember() const {
    if (m_settings == nullptr || m_window == nullptr || !m_window->isWindow())
        return;
    const bool normal = !(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    m_settings->SetValue(m_key, normal ? m_window->geometry() : m_window->normalGeometry());
}

void WindowPlacement::restore() {
    if (m_window == nullptr || !m_window->isWindow())
        return;
    const QRect place = remembered();
    if (place.isValid())
        m_window->setGeometry(place);
    // A place the user chose stays on its screen while that screen is there.
    if (!place.isValid() && m_anchor != nullptr) {
        // A first opening: over the anchor's window, on its screen.
        const QRect anchor = m_anchor->window()->frameGeometry();
        m_window->move(anchor.topLeft() + QPoint(40, 40));
    }
    fitToScreen(m_window, place.isValid(), m_anchor);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && m_window->isWindow()) {
        if (event->type() == QEvent::Show) {
            if (!m_restored) {
                m_restored = true;
                restore();
            } else {
                fitToScreen(m_window, true, m_anchor);
            }
        } else if (event->type() == QEvent::Hide) {
            remember();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace host
