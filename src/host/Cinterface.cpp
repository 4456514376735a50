#include "host/Cinterface.h"

namespace host {

Cinterface* cinterfaceOf(QObject* object) {
    return object ? qobject_cast<Cinterface*>(object) : nullptr;
}

} // namespace host
