#pragma once

#include "host/HostObject.h"

namespace host {

// A menu item of the host's module manager: the entry a plug-in was started from.
class MenuItem : public HostObject {
    Q_OBJECT
    Q_PROPERTY(core::Variant MenuKey READ MenuKey WRITE setMenuKey)
public:
    using HostObject::HostObject;
    core::Variant MenuKey() const;
    void setMenuKey(const core::Variant& key) { m_key = key; }

private:
    core::Variant m_key;
};

} // namespace host
