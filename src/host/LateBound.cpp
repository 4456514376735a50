#include "host/LateBound.h"

#include "core/Error.h"

#include <QMetaProperty>

namespace host::late {

namespace {
void requireObject(const QObject* object, const char* member) {
    if (!object)
        throw core::ComError(core::err::ObjectVariableNotSet, QStringLiteral("Object variable not set"),
                             QString::fromLatin1(member));
}

[[noreturn]] void notSupported(const QObject* object, const char* member) {
    throw core::ComError(NotSupported, QStringLiteral("Object doesn't support this property or method"),
                         QString::fromLatin1(object->metaObject()->className()) + QLatin1Char('.') +
                             QString::fromLatin1(member));
}
} // namespace

QVariant get(const QObject* object, const char* property) {
    requireObject(object, property);
    const int index = object->metaObject()->indexOfProperty(property);
    if (index < 0)
        notSupported(object, property);
    return object->metaObject()->property(index).read(object);
}

core::Variant getVariant(const QObject* object, const char* property) {
    return core::Variant::fromQVariant(get(object, property));
}

QObject* getObject(const QObject* object, const char* property) {
    const QVariant v = get(object, property);
    if (!v.isValid() || v.isNull())
        return nullptr;
    if (v.metaType().flags() & QMetaType::PointerToQObject)
        return *static_cast<QObject* const*>(v.constData());
    if (v.canConvert<QObject*>())
        return v.value<QObject*>();
    throw core::ComError(core::err::ObjectRequired, QStringLiteral("Object required"),
                         QString::fromLatin1(property));
}

void set(QObject* object, const char* property, const QVariant& value) {
    requireObject(object, property);
    const int index = object->metaObject()->indexOfProperty(property);
    if (index < 0)
        notSupported(object, property);
    if (!object->metaObject()->property(index).write(object, value))
        throw core::ComError(core::err::TypeMismatch, QStringLiteral("Type mismatch"),
                             QString::fromLatin1(property));
}

void call(QObject* object, const char* method) {
    requireObject(object, method);
    const QByteArray signature = QByteArray(method) + "()";
    if (object->metaObject()->indexOfMethod(signature.constData()) < 0)
        notSupported(object, method);
    QMetaObject::invokeMethod(object, method, Qt::DirectConnection);
}

} // namespace host::late
