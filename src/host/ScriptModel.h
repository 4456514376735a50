#pragma once

#include "host/HostObject.h"

#include <QPointer>

namespace host {

// The host's script object model: windows report their events to it and register the objects
// scripts may reach.
class ScriptModel : public HostObject {
    Q_OBJECT
public:
    using HostObject::HostObject;

    // A window event (flag 1 = opened).
    Q_INVOKABLE core::Variant ScriptFormEvent(const QString& formName, int reserved, int flag,
                                              const core::Variant& formNameVariant);
    // Releases what was registered for a menu key.
    Q_INVOKABLE core::Variant ScriptRelease(const core::Variant& menuKey);
    // Registers an object under a name; the object argument may be replaced by the model
    // (see setReplacement). Returns the registered object.
    QObject* ScriptAddObject(const QString& ownerName, QObject*& object, int kind, const QString& objectName);

    // Objects registered so far, by object name.
    QList<QPair<QString, QPointer<QObject>>> objects() const { return m_objects; }
    // Test seam: the object ScriptAddObject leaves in its by-reference argument (null = unchanged).
    void setReplacement(QObject* object) { m_replacement = object; }

private:
    QList<QPair<QString, QPointer<QObject>>> m_objects;
    QPointer<QObject> m_replacement;
};

} // namespace host
