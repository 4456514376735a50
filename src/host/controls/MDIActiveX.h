#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QVariant>
#include <QWidget>

namespace controls {

// The host's multi-document control: it places its window inside the host's frame.
//
// PlacementRequest (the placement event) is raised when the window is first shown inside a
// multi-document area (its parent is a QMdiSubWindow) and whenever the host calls
// RequestPlacement(). The window answers with SetPlacement (the placement method): left, top,
// width and height in twips, which the control converts to pixels and applies to the
// sub-window (or to the window itself when it is a top-level window).
class MDIActiveX : public QObject {
    Q_OBJECT
public:
    explicit MDIActiveX(QWidget* window);

    Q_INVOKABLE void SetPlacement(const QVariant& left, const QVariant& top, const QVariant& width,
                                  const QVariant& height);
    // Raises the placement event (the host frame asks the window for its place).
    void RequestPlacement() { emit PlacementRequest(); }
    // Last placement asked for, in twips (null when none).
    QRect lastPlacement() const { return m_last; }

signals:
    void PlacementRequest();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QRect m_last;
    bool m_placedInArea = false;
};

} // namespace controls
