#pragma once

#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QWidget>

namespace editor {

// Keeps a control at its designed distance from another one as the resize manager moves that
// one: the buttons beside the check follow it without joining the manager's registrations.
class FollowMoves : public QObject {
public:
    FollowMoves(QWidget* leader, QWidget* follower)
        : QObject(follower)
        , m_follower(follower)
        , m_offset(follower->pos() - leader->pos()) {
        leader->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move)
            m_follower->move(static_cast<QWidget*>(watched)->pos() + m_offset);
        return false;
    }

private:
    QWidget* m_follower;
    QPoint m_offset;
};

} // namespace editor
