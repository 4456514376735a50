#pragma once

// The host's objects a benchmark needs to open the formula editor through the component, as the
// host application does: global object (connection, company 1, the test responder), navigator,
// menu item.

#include "component/CLSLP_FORMULE.h"
#include "editor/FRMLP_FORMULE.h"
#include "host/GlobalObject.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"

#include <memory>

namespace bench {

struct EditorHost {
    host::GlobalObject global;
    host::Navigator navigator;
    host::ScriptModel script;
    host::MenuItem item;
    host::TestResponder responder;

    explicit EditorHost(const QString& connectionString);

    // The component shown on provider record 1 (ShowForm); its window is open, its first
    // activation not yet run.
    std::unique_ptr<component::CLSLP_FORMULE> show();
    // The same, after the window's first activation.
    std::unique_ptr<component::CLSLP_FORMULE> open();
    static editor::FRMLP_FORMULE* window(component::CLSLP_FORMULE& cls);
};

} // namespace bench
