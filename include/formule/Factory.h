#pragma once

// The class object of the formula editor component: a host creates the component class with its
// programmatic identifier, either through this declaration (linking Formule::component) or by
// resolving the symbol after loading libformule_component at run time.

#include "formule/formule_component_export.h"

class QObject;

// Creates the class named by progId ("QEDRIX.CLSLP_FORMULE", case-insensitive), or returns null
// for any other name. The caller owns the object; deleting it runs the class's termination. The
// object implements host::Cinterface (host::cinterfaceOf) and has the properties
// enmContestoformule and ID.
extern "C" FORMULE_COMPONENT_EXPORT QObject* formule_create(const char* progId);
