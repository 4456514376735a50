#pragma once

#include "core/Variant.h"

#include <QObject>
#include <QVariant>

namespace host {

// Late-bound access through the meta-object, with the platform's errors: a null object raises
// core::ComError 91 (object variable not set), an unknown member 438 (object doesn't support this
// property or method).
namespace late {
inline constexpr qint32 NotSupported = 438;

QVariant get(const QObject* object, const char* property);
core::Variant getVariant(const QObject* object, const char* property); // converted with fromQVariant
QObject* getObject(const QObject* object, const char* property);       // null when Nothing
void set(QObject* object, const char* property, const QVariant& value);
// Calls a Q_INVOKABLE without arguments (Update, NavigatorRefresh ...).
void call(QObject* object, const char* method);
} // namespace late

} // namespace host
