#include "host/WindowPlacement.h"

#include "host/UserSettings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStyle>
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

QRect cascadeFrame(const QRect& first, const QSize& minimum, const QRect& area, const QList<QPoint>& taken,
                   int step) {
    step = std::max(1, step);
    const QRect start =
        fitFrame(QRect(first.topLeft(), first.size().boundedTo(area.size()).expandedTo(minimum)), area);
    QPoint previous(-1, -1);
    // At most as many steps as fit across the area: a bounded search whatever `taken` holds.
    const int steps = std::min(256, std::max(area.width(), area.height()) / step + 1);
    for (int k = 0; k < steps; ++k) {
        const QPoint at = start.topLeft() + QPoint(k * step, k * step);
        const QSize room(area.x() + area.width() - at.x(), area.y() + area.height() - at.y());
        const QSize size = start.size().boundedTo(room).expandedTo(minimum);
        const QRect candidate = fitFrame(QRect(at, size), area);
        if (candidate.topLeft() == previous)
            break; // no room for another step
        previous = candidate.topLeft();
        if (!taken.contains(candidate.topLeft()))
            return candidate;
    }
    return start;
}

namespace {

// Every live placement of a top-level window, to find the windows of the same key (the window's
// thread only).
QList<const WindowPlacement*>& placements() {
    static QList<const WindowPlacement*> all;
    return all;
}

int cascadeStep(const QWidget* window) {
    return std::max(24, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
}

} // namespace

WindowPlacement::WindowPlacement(QWidget* window, UserSettings* settings, QString key, QWidget* anchor)
    : QObject(window)
    , m_window(window)
    , m_settings(settings)
    , m_anchor(anchor)
    , m_key(std::move(key)) {
    setObjectName(QStringLiteral("windowPlacement"));
    window->installEventFilter(this);
    placements().append(this);
    connect(this, &QObject::destroyed,
            [self = static_cast<const WindowPlacement*>(this)] { placements().removeAll(self); });
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
    cascade();
}

void WindowPlacement::cascade() {
    QList<QPoint> taken;
    for (const WindowPlacement* other : std::as_const(placements())) {
        if (other != this && other->m_key == m_key && other->m_window != nullptr &&
            other->m_window->isWindow() && other->m_window->isVisible())
            taken.append(other->m_window->frameGeometry().topLeft());
    }
    const QRect frame = m_window->frameGeometry();
    if (!taken.contains(frame.topLeft()) ||
        (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QRect available = availableFor(m_window, frame, true, m_anchor);
    const QRect free = cascadeFrame(frame, QSize(), available, taken, cascadeStep(m_window));
    if (free == frame)
        return;
    m_window->resize(m_window->size() - (frame.size() - free.size()));
    m_window->move(free.topLeft());
    fitToScreen(m_window, true, m_anchor);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    // Only events a live widget receives are looked at, before the window is compared.
    const bool showOrHide = event->type() == QEvent::Show || event->type() == QEvent::Hide;
    if (showOrHide && watched == m_window && m_window->isWindow()) {
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

SubWindowPlacement::SubWindowPlacement(QMdiSubWindow* sub, UserSettings* settings, QString key)
    : QObject(sub)
    , m_sub(sub)
    , m_settings(settings)
    , m_key(std::move(key)) {
    setObjectName(QStringLiteral("subWindowPlacement"));
    sub->installEventFilter(this);
}

QString SubWindowPlacement::keyFor(const QString& name) {
    return QStringLiteral("subwindows/") + name;
}

QRect SubWindowPlacement::remembered() const {
    if (m_settings == nullptr)
        return {};
    const QRect place = m_settings->Value(m_key).toRect();
    return place.isValid() ? place : QRect();
}

void SubWindowPlacement::remember() const {
    if (m_settings == nullptr || m_sub == nullptr || m_sub->mdiArea() == nullptr ||
        (m_sub->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    m_settings->SetValue(m_key, m_sub->geometry());
}

void SubWindowPlacement::place() {
    QMdiArea* area = m_sub != nullptr ? m_sub->mdiArea() : nullptr;
    if (area == nullptr)
        return;
    const QRect stored = remembered();
    const QRect first = stored.isValid() ? stored : m_sub->geometry();
    QList<QPoint> taken;
    for (const QMdiSubWindow* other : area->subWindowList()) {
        if (other != m_sub && other->isVisible())
            taken.append(other->pos());
    }
    const QSize minimum = m_sub->minimumSizeHint().expandedTo(m_sub->minimumSize());
    m_sub->setGeometry(cascadeFrame(first, minimum, area->viewport()->rect(), taken, cascadeStep(m_sub)));
}

bool SubWindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    // Closing the sub-window, or the host's window, hides it. The type is looked at first: the
    // sub-window is compared only on an event a live widget receives, never while it is destroyed.
    if (event->type() == QEvent::Hide && watched == m_sub)
        remember();
    return QObject::eventFilter(watched, event);
}

} // namespace host
