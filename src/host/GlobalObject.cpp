#include "host/GlobalObject.h"

#include "core/Error.h"
#include "host/Cinterface.h"
#include "host/LateBound.h"

namespace host {

namespace {
core::Variant objectArg(Cinterface* value) {
    return core::Variant::fromObject(value ? value->asObject() : nullptr);
}
} // namespace

ApplicationSettings::ApplicationSettings(QObject* parent)
    : HostObject(parent)
    , m_configurator(new ConfiguratorSettings(this))
    , m_user(new UserSettings(this)) {}

GlobalObject::GlobalObject(QObject* parent)
    : HostObject(parent)
    , m_connectionSettings(new host::ConnectionSettings(this))
    , m_company(new host::Company(this))
    , m_hostContext(new host::HostContext(this))
    , m_settings(new ApplicationSettings(this))
    , m_ownTranslation(new TranslationService(this))
    , m_translation(m_ownTranslation) {
    setObjectName(QStringLiteral("GlobalObject"));
}

TranslationService* GlobalObject::Translation() const {
    return m_translation ? m_translation.data() : m_ownTranslation;
}

void GlobalObject::setTranslation(TranslationService* service) {
    m_translation = service ? service : m_ownTranslation;
}

QString GlobalObject::Traduci(const QString& italianText) const {
    return Translation()->Traduci(italianText);
}

void GlobalObject::SetApplication(QObject* application) {
    record(QStringLiteral("SetApplication"), {core::Variant::fromObject(application)});
    m_application = application;
}

void GlobalObject::setCurrentInterface(Cinterface* value) {
    record(QStringLiteral("CurrentInterface"), {objectArg(value)});
    m_current = value ? value->asObject() : nullptr;
}

Cinterface* GlobalObject::CurrentInterface() const {
    return cinterfaceOf(m_current);
}

void GlobalObject::setOtherInterface(Cinterface* value) {
    record(QStringLiteral("OtherInterface"), {objectArg(value)});
    m_other = value ? value->asObject() : nullptr;
}

Cinterface* GlobalObject::OtherInterface() const {
    return cinterfaceOf(m_other);
}

void GlobalObject::ReleaseInterface(Cinterface* value) {
    record(QStringLiteral("ReleaseInterface"), {objectArg(value)});
    QObject* object = value ? value->asObject() : nullptr;
    if (object && m_current == object)
        m_current = nullptr;
    if (object && m_other == object)
        m_other = nullptr;
}

core::Variant variantSetting(Cinterface* activeInterface) {
    if (!activeInterface)
        throw core::ComError(core::err::ObjectVariableNotSet, QStringLiteral("Object variable not set"),
                             QStringLiteral("ClsGlobal"));
    QObject* global = activeInterface->ClsGlobal();
    QObject* settings = late::getObject(global, "Settings");
    QObject* configurator = late::getObject(settings, "Configurator");
    return late::getVariant(configurator, "VariantsEnabled");
}

bool variantsEnabled(Cinterface* activeInterface) {
    try {
        const core::Variant v = variantSetting(activeInterface);
        return v.isNumeric() && v.equals(core::Variant::fromInt32(1));
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace host
