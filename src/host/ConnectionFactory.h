#pragma once

#include "host/HostObject.h"

namespace ado {
class Connection;
}

namespace host {

// The host's connection factory (standard library).
class GclsConnect : public HostObject {
    Q_OBJECT
public:
    using HostObject::HostObject;
    // A new, unopened ADO connection; the caller owns it (parent may be given).
    ado::Connection* NewConnection(QObject* parent = nullptr);
};

} // namespace host
