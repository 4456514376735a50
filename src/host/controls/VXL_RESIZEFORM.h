#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QVariant>
#include <QWidget>

#include <functional>

namespace controls {

// The host's resize manager: an invisible control that moves and stretches the controls of
// its window when the window is resized.
//
// Layout codes (bit flags, added together): each flag anchors one edge of the control to the
// same edge of the window, so that edge keeps its distance from the window's edge.
//   1 Top, 2 Left, 4 Right, 8 Bottom.
// Anchored on both opposite edges the control stretches; on the far edge only (Right without
// Left, Bottom without Top) it moves; on neither it keeps its place on that axis. So:
//   3  (Top|Left)             stays where it was designed
//   5  (Top|Right)            follows the right edge
//   7  (Top|Left|Right)       stretches in width
//   10 (Left|Bottom)          follows the bottom edge
//   11 (Top|Left|Bottom)      stretches in height
//   15 (all four)             stretches both ways
//
// Start() (the start method) raises RegisterControls (the registration event) the first time,
// in which the window calls AddControl (the registration method) for each control; then it
// raises QueryProportional (the Boolean event, passed by reference): answered True, every
// control of the window that was not registered scales with the window in position and
// size, keeping its proportions. The positions at the first Start are the design positions.
class VXL_RESIZEFORM : public QObject {
    Q_OBJECT
public:
    enum Anchor { Top = 1, Left = 2, Right = 4, Bottom = 8 };

    // The window is the parent widget whose children are laid out.
    explicit VXL_RESIZEFORM(QWidget* window);

    // Registration method: the control is found by object name among the window's
    // descendants. Throws core::ComError 5 for an unknown control or a code outside 0..15.
    Q_INVOKABLE void AddControl(const QVariant& controlName, const QVariant& layoutCode);
    // Start method.
    Q_INVOKABLE void Start();

    bool isStarted() const { return m_started; }
    bool isProportional() const { return m_proportional; }
    // Registered names and codes in registration order (for inspection).
    QList<QPair<QString, int>> registrations() const;
    // Lays the controls out for the window's current size.
    void apply();
    // Called after every layout, for controls the window places relative to registered ones.
    void setAfterApply(std::function<void()> afterApply) { m_afterApply = std::move(afterApply); }

signals:
    void RegisterControls();
    void QueryProportional(bool* proportional);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Item {
        QPointer<QWidget> widget;
        QString name;
        int code = 0;
        QRect design;
    };
    QWidget* m_window;
    QList<Item> m_items;
    QList<Item> m_scaled; // unregistered controls in proportional mode
    QSize m_designSize;
    bool m_started = false;
    bool m_registered = false;
    bool m_proportional = false;
    std::function<void()> m_afterApply;
};

} // namespace controls
