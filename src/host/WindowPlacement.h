#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class QMdiSubWindow;
class QScreen;
class QWidget;

namespace host {

class UserSettings;

// Where windows go on screen: every window the host and its plug-ins open lies inside the
// available geometry of a screen (the desktop without task bars and docks), whatever size its
// design asks for and wherever the user left it on a screen that is no longer there.

// `frame` moved, and shrunk where it is larger, so that it lies inside `available`. A frame that
// already fits is returned as it is.
QRect fitFrame(const QRect& frame, const QRect& available);

// The screen a top-level window belongs on: the one of its parent's window, else its own, else
// the primary screen (null only without any screen).
QScreen* screenFor(const QWidget* window);

// The available geometry `window`'s frame must fit: the screen that holds the centre of
// `frame` when one does and `preferFrameScreen` is set, else the screen of `anchor`'s window
// when given, else screenFor(window)'s.
QRect availableFor(const QWidget* window, const QRect& frame, bool preferFrameScreen,
                   const QWidget* anchor = nullptr);

// Moves (and shrinks) a top-level window so that its frame, decorations included, lies inside
// the available geometry of its screen (see availableFor). A window that is not a top-level
// window, is maximised or full screen is left alone.
void fitToScreen(QWidget* window, bool preferOwnScreen = false, const QWidget* anchor = nullptr);

// A frame of `size` beside `anchor` (a frame too) inside `available`: to its right when there is
// room, else to its left, else on top of it at its right edge, always inside `available`.
QRect besideFrame(const QRect& anchor, const QSize& size, const QRect& available);

// The place of a window of `size` (never smaller than `minimum`) that would go at `first` inside
// `area`, where windows already stand at the places `taken`: `first` when it is free, else each
// further place one `step` lower and to the right, the window giving up size (down to
// `minimum`) before it leaves `area`; the first free one. Where no step is left inside `area`,
// the first place (windows of equal size then lie on top of each other rather than off screen).
QRect cascadeFrame(const QRect& first, const QSize& minimum, const QRect& area, const QList<QPoint>& taken,
                   int step);

// Remembers a top-level window's place in the user's settings under `key` (the window's place
// and size when it is hidden or closed) and puts it back, fitted to the screen, each time it is
// shown. Without settings (no host) the window is only fitted. Lives as a child of the window.
class WindowPlacement : public QObject {
    Q_OBJECT
public:
    // `anchor`: the window whose screen it opens on when it has no parent (the host's window for
    // a window of its own that must not stay above it).
    WindowPlacement(QWidget* window, UserSettings* settings, QString key, QWidget* anchor = nullptr);

    // The place remembered under the key, or a null rectangle.
    QRect remembered() const;
    // Writes the window's current place (its geometry without decorations) under the key.
    void remember() const;
    // Puts the remembered place back (when there is one) and fits the window to its screen.
    void restore();

    // The settings key of a window's place: "windows/NAME".
    static QString keyFor(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A window opened where another window of the same key stands (two editors of different
    // records) goes one step lower and to the right of it, inside the screen.
    void cascade();

    QPointer<QWidget> m_window;
    QPointer<UserSettings> m_settings;
    QPointer<QWidget> m_anchor;
    QString m_key;
    bool m_restored = false;
};

// Remembers the place of a window the host shows in its multi-document area (its sub-window's
// place and size inside the area) in the user's settings under `key`, and puts a new sub-window
// there: at the remembered place, or where it was given when none is remembered, cascaded past
// the area's other sub-windows and inside the area. Lives as a child of the sub-window.
class SubWindowPlacement : public QObject {
    Q_OBJECT
public:
    SubWindowPlacement(QMdiSubWindow* sub, UserSettings* settings, QString key);

    // The place remembered under the key, or a null rectangle.
    QRect remembered() const;
    // Writes the sub-window's place under the key (not while it is minimised or maximised).
    void remember() const;
    // Puts the sub-window at its place: see the class.
    void place();

    // The settings key of the place of a window in the area: "subwindows/NAME".
    static QString keyFor(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QMdiSubWindow> m_sub;
    QPointer<UserSettings> m_settings;
    QString m_key;
};

} // namespace host
