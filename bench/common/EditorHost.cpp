#include "EditorHost.h"

#include <QApplication>

namespace bench {

EditorHost::EditorHost(const QString& connectionString) {
    global.ConnectionSettings()->setConnectionString(connectionString);
    global.Company()->setCompanyCode(core::Variant::fromInt32(1));
    global.setResponder(&responder);
    navigator.setScriptModel(&script);
}

std::unique_ptr<component::CLSLP_FORMULE> EditorHost::show() {
    auto cls = std::make_unique<component::CLSLP_FORMULE>(component::makeEditorDriver());
    cls->setEnmContestoformule(component::vxContestoProvider);
    cls->setID(core::Variant::fromInt32(1));
    cls->setClsGlobal(&global);
    cls->setActiveNavigator(&navigator);
    cls->setClsVoceMenu(&item);
    cls->setCaption(core::Variant(QStringLiteral("Composizione formule SQL")));
    cls->setIsActive(true);
    cls->ShowForm();
    return cls;
}

std::unique_ptr<component::CLSLP_FORMULE> EditorHost::open() {
    std::unique_ptr<component::CLSLP_FORMULE> cls = show();
    while (window(*cls) && window(*cls)->FirstActivation())
        QApplication::processEvents();
    return cls;
}

editor::FRMLP_FORMULE* EditorHost::window(component::CLSLP_FORMULE& cls) {
    return qobject_cast<editor::FRMLP_FORMULE*>(cls.window());
}

} // namespace bench
