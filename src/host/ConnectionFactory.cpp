#include "host/ConnectionFactory.h"

#include "ado/Ado.h"

namespace host {

ado::Connection* GclsConnect::NewConnection(QObject* parent) {
    record(QStringLiteral("NewConnection"));
    return new ado::Connection(parent);
}

} // namespace host
