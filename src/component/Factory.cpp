// The class object of the shared component library: the host loads the library by name and
// creates the class with its programmatic identifier.
#include "component/CLSLP_FORMULE.h"

// Creates the class named by progId ("QEDRIX.CLSLP_FORMULE", case-insensitive), or returns null
// for any other name. The caller owns the object; deleting it runs Class_Terminate.
extern "C" Q_DECL_EXPORT QObject* formule_create(const char* progId) {
    if (!progId ||
        QString::fromUtf8(progId).compare(QLatin1String(component::ProgId), Qt::CaseInsensitive) != 0)
        return nullptr;
    return new component::CLSLP_FORMULE(component::makeEditorDriver());
}
