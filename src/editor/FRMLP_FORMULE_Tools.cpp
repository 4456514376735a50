// The formula box's editing tools (EditorTools) wired to the window: its translation service,
// its edit history and the user's settings of its host.

#include "editor/EditorTools.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"

#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/UserSettings.h"

namespace editor {

namespace {

host::UserSettings* userSettingsOf(host::Cinterface* ai) {
    host::GlobalObject* global = ai ? ai->ClsGlobal() : nullptr;
    return global ? global->Settings()->User() : nullptr;
}

} // namespace

void FRMLP_FORMULE::buildEditorTools() {
    EditorTools::Hooks hooks;
    hooks.translate = [this](const QString& text) { return translate(text); };
    hooks.recordEdit = [this](const std::function<void()>& edit) { m_parts->history.recordEdit(edit); };
    hooks.setting = [this](const QString& key) {
        host::UserSettings* settings = userSettingsOf(ActiveInterface());
        return settings ? settings->Value(key) : QVariant();
    };
    hooks.setSetting = [this](const QString& key, const QVariant& value) {
        if (host::UserSettings* settings = userSettingsOf(ActiveInterface()))
            settings->SetValue(key, value);
    };
    auto* tools = new EditorTools(this, TXT_FORMULA, std::move(hooks));
    tools->setObjectName(QStringLiteral("EDITOR_TOOLS"));
}

} // namespace editor
