#pragma once

#include "core/Error.h"

namespace editor {

// The object, or error 91 as the window's procedures raise it for a missing object.
template <typename T> T* require(T* object) {
    if (object == nullptr)
        throw core::ComError(core::err::ObjectVariableNotSet,
                             QStringLiteral("Variabile oggetto non impostata"));
    return object;
}

} // namespace editor
