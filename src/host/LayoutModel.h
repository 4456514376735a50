#pragma once

#include "host/HostObject.h"

#include <QPointer>

namespace host {

// The host's layout object model: user layouts of a window.
class LayoutModel : public HostObject {
    Q_OBJECT
public:
    using HostObject::HostObject;

    // Prepares the layouts of a window; the window argument may be replaced by the model
    // (see setReplacement). Returns the window.
    QObject* LayoutInitialize(const core::Variant& title, QObject*& window, int a, int b, int c);

    void setReplacement(QObject* object) { m_replacement = object; }
    QPointer<QObject> lastWindow() const { return m_window; }
    core::Variant lastTitle() const { return m_title; }

private:
    QPointer<QObject> m_replacement;
    QPointer<QObject> m_window;
    core::Variant m_title;
};

} // namespace host
