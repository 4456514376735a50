#include "host/ScriptModel.h"

namespace host {

core::Variant ScriptModel::ScriptFormEvent(const QString& formName, int reserved, int flag,
                                           const core::Variant& formNameVariant) {
    record(QStringLiteral("ScriptFormEvent"), {core::Variant(formName), core::Variant::fromInt32(reserved),
                                               core::Variant::fromInt32(flag), formNameVariant});
    return {};
}

core::Variant ScriptModel::ScriptRelease(const core::Variant& menuKey) {
    record(QStringLiteral("ScriptRelease"), {menuKey});
    return {};
}

QObject* ScriptModel::ScriptAddObject(const QString& ownerName, QObject*& object, int kind,
                                      const QString& objectName) {
    record(QStringLiteral("ScriptAddObject"), {core::Variant(ownerName), core::Variant::fromObject(object),
                                               core::Variant::fromInt32(kind), core::Variant(objectName)});
    if (m_replacement)
        object = m_replacement;
    m_objects.append({objectName, QPointer<QObject>(object)});
    return object;
}

} // namespace host
