// The class object of the shared component library: the host loads the library by name (or links
// it) and creates the class with its programmatic identifier.
#include "formule/Factory.h"

#include "component/CLSLP_FORMULE.h"

QObject* formule_create(const char* progId) {
    if (!progId ||
        QString::fromUtf8(progId).compare(QLatin1String(component::ProgId), Qt::CaseInsensitive) != 0)
        return nullptr;
    return new component::CLSLP_FORMULE(component::makeEditorDriver());
}
