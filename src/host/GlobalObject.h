#pragma once

#include "core/Variant.h"
#include "host/HostObject.h"
#include "host/TranslationService.h"
#include "host/UserSettings.h"

#include <QPointer>

#include <cstdint>

namespace host {

class Cinterface;
class Responder;

// Global object's connection settings: the host database's connection string.
class ConnectionSettings : public HostObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString READ ConnectionString WRITE setConnectionString)
public:
    using HostObject::HostObject;
    QString ConnectionString() const { return m_connectionString; }
    void setConnectionString(const QString& value) { m_connectionString = value; }

private:
    QString m_connectionString;
};

// The current company.
class Company : public HostObject {
    Q_OBJECT
    Q_PROPERTY(core::Variant CompanyCode READ CompanyCode WRITE setCompanyCode)
public:
    using HostObject::HostObject;
    core::Variant CompanyCode() const { return m_code; }
    void setCompanyCode(const core::Variant& value) { m_code = value; }

private:
    core::Variant m_code;
};

// Context of the host handed on to the hypermedia library.
class HostContext : public HostObject {
    Q_OBJECT
    Q_PROPERTY(core::Variant ContextValue1 READ ContextValue1 WRITE setContextValue1)
    Q_PROPERTY(core::Variant ContextValue2 READ ContextValue2 WRITE setContextValue2)
public:
    using HostObject::HostObject;
    core::Variant ContextValue1() const { return m_value1; }
    void setContextValue1(const core::Variant& v) { m_value1 = v; }
    core::Variant ContextValue2() const { return m_value2; }
    void setContextValue2(const core::Variant& v) { m_value2 = v; }

private:
    core::Variant m_value1;
    core::Variant m_value2;
};

// Configurator settings of the company: VariantsEnabled is 1 when configurator variants are in use.
class ConfiguratorSettings : public HostObject {
    Q_OBJECT
    Q_PROPERTY(core::Variant VariantsEnabled READ VariantsEnabled WRITE setVariantsEnabled)
public:
    using HostObject::HostObject;
    core::Variant VariantsEnabled() const { return m_variants; }
    void setVariantsEnabled(const core::Variant& v) { m_variants = v; }

private:
    core::Variant m_variants = core::Variant::fromInt32(0);
};

// Application settings of the host.
class ApplicationSettings : public HostObject {
    Q_OBJECT
    Q_PROPERTY(host::ConfiguratorSettings* Configurator READ Configurator)
    Q_PROPERTY(host::UserSettings* User READ User)
public:
    explicit ApplicationSettings(QObject* parent = nullptr);
    ConfiguratorSettings* Configurator() const { return m_configurator; }
    // The settings of the user at this computer (see UserSettings).
    host::UserSettings* User() const { return m_user; }

private:
    ConfiguratorSettings* m_configurator;
    host::UserSettings* m_user;
};

// The host global object. Members reached late bound are Q_PROPERTYs / Q_INVOKABLEs.
//
// The variant setting is read from a plug-in interface by four property reads:
//     ActiveInterface.ClsGlobal.Settings.Configurator.VariantsEnabled
// which holds 1 when variants are enabled (anything else, or a failing read, means disabled);
// variantSetting() below performs exactly this chain.
class GlobalObject : public HostObject {
    Q_OBJECT
    Q_PROPERTY(host::ConnectionSettings* ConnectionSettings READ ConnectionSettings)
    Q_PROPERTY(host::Company* Company READ Company)
    Q_PROPERTY(host::HostContext* HostContext READ HostContext)
    Q_PROPERTY(host::ApplicationSettings* Settings READ Settings)
    Q_PROPERTY(host::TranslationService* Translation READ Translation)
    Q_PROPERTY(QObject* CurrentInterface READ currentInterfaceObject)
public:
    explicit GlobalObject(QObject* parent = nullptr);

    host::ConnectionSettings* ConnectionSettings() const { return m_connectionSettings; }
    host::Company* Company() const { return m_company; }
    host::HostContext* HostContext() const { return m_hostContext; }
    ApplicationSettings* Settings() const { return m_settings; }
    // The host translation service; setTranslation replaces the built-in one (not owned).
    TranslationService* Translation() const;
    void setTranslation(TranslationService* service);
    // Shortcut to the translation service's Traduci.
    Q_INVOKABLE QString Traduci(const QString& italianText) const;

    // Registers the plug-in's application object.
    Q_INVOKABLE void SetApplication(QObject* application);
    QObject* application() const { return m_application; }

    // The interface of the window the user is working in (set, get).
    void setCurrentInterface(Cinterface* value);
    Cinterface* CurrentInterface() const;
    QObject* currentInterfaceObject() const { return m_current; }
    // The interface of another window (set only).
    void setOtherInterface(Cinterface* value);
    Cinterface* OtherInterface() const;
    // The plug-in releases its interface (its window closed).
    void ReleaseInterface(Cinterface* value);

    // Responder used by the log objects attached to interfaces of this host (not owned).
    void setResponder(Responder* responder) { m_responder = responder; }
    Responder* responder() const { return m_responder; }

private:
    host::ConnectionSettings* m_connectionSettings;
    host::Company* m_company;
    host::HostContext* m_hostContext;
    ApplicationSettings* m_settings;
    TranslationService* m_ownTranslation;
    QPointer<TranslationService> m_translation;
    QPointer<QObject> m_application;
    QPointer<QObject> m_current;
    QPointer<QObject> m_other;
    Responder* m_responder = nullptr;
};

// The variant setting of a plug-in interface read through the four-property chain documented on
// GlobalObject, late bound. Throws core::ComError when a link is missing (91) or unknown (438).
core::Variant variantSetting(Cinterface* activeInterface);
// True when variantSetting gives 1; false also when the chain fails.
bool variantsEnabled(Cinterface* activeInterface);

} // namespace host
