#include "host/MenuItem.h"

namespace host {

core::Variant MenuItem::MenuKey() const {
    const_cast<MenuItem*>(this)->record(QStringLiteral("MenuKey"));
    return m_key;
}

} // namespace host
