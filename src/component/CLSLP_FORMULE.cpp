#include "component/CLSLP_FORMULE.h"

#include "ado/Ado.h"
#include "core/Error.h"
#include "host/GlobalObject.h"
#include "host/HyperMedia.h"
#include "host/LateBound.h"
#include "host/LayoutModel.h"
#include "host/LogObject.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/ScriptModel.h"

#include <limits>

namespace component {

namespace {

// Runs one statement with errors suppressed (a failing statement is skipped).
template <class F> void quiet(F&& statement) {
    core::runStep(QString(), core::suppressErrors(), std::forward<F>(statement));
}

// The object behind a reference, or the platform's "object variable not set" error.
template <class T> T* need(T* object, const char* what) {
    if (!object)
        throw core::ComError(core::err::ObjectVariableNotSet,
                             QStringLiteral("Object variable or With block variable not set"),
                             QString::fromLatin1(what));
    return object;
}

// The text shown to the user, through the host translation service when there is one.
QString translated(host::GlobalObject* global, const QString& italian) {
    return global ? global->Traduci(italian) : italian;
}

[[noreturn]] void notAWindow(const char* member) {
    throw core::ComError(core::err::ObjectRequired, QStringLiteral("Object required"),
                         QString::fromLatin1(member));
}

class NoWindowDriver : public WindowDriver {
public:
    QObject* create() override { notAWindow("FRMLP_FORMULE"); }
    void setActiveInterface(QObject*, host::Cinterface*) override { notAWindow("ActiveInterface"); }
    host::Cinterface* activeInterface(QObject*) override { notAWindow("ActiveInterface"); }
    void setActiveClass(QObject*, QObject*) override { notAWindow("ActiveClass"); }
    void setWindowState(QObject*, int) override { notAWindow("WindowState"); }
    void setCaption(QObject*, const QString&) override { notAWindow("Caption"); }
    QString caption(QObject*) override { notAWindow("Caption"); }
    QString name(QObject*) override { notAWindow("Name"); }
    void show(QObject*, bool) override { notAWindow("Show"); }
    void unload(QObject*) override { notAWindow("Unload"); }
    host::GclsLog* log(QObject*) override { notAWindow("GclsLog"); }
    bool isOpen(QObject*) override { return false; }
};

} // namespace

std::unique_ptr<WindowDriver> makeNoWindowDriver() {
    return std::make_unique<NoWindowDriver>();
}

CLSLP_FORMULE::CLSLP_FORMULE(std::unique_ptr<WindowDriver> driver, QObject* parent)
    : QObject(parent)
    , m_driver(driver ? std::move(driver) : makeNoWindowDriver()) {
    setObjectName(QStringLiteral("CLSLP_FORMULE"));
    // Class_Initialize: ActiveDll is the object itself, seen through the plug-in interface.
    quiet([&] { setActiveDll(this); });
}

CLSLP_FORMULE::~CLSLP_FORMULE() {
    // Class_Terminate, in this order.
    quiet([&] { setClsGlobal(nullptr); });
    trace(QStringLiteral("ClsGlobal"));
    quiet([&] { setClsVoceMenu(nullptr); });
    trace(QStringLiteral("ClsVoceMenu"));
    quiet([&] { setActiveNavigator(nullptr); });
    trace(QStringLiteral("ActiveNavigator"));
    quiet([&] { setActiveDll(nullptr); });
    trace(QStringLiteral("ActiveDll"));
    quiet([&] {
        // The class owns its windows: releasing the last reference destroys them.
        m_window = nullptr;
        for (const QPointer<QObject>& w : std::as_const(m_created))
            delete w.data();
        m_created.clear();
    });
    trace(QStringLiteral("window"));
    // The remaining references (hypermedia object, frame, status bar, connection) go with the object.
}

void CLSLP_FORMULE::trace(const QString& step) {
    if (m_trace)
        m_trace(step);
}

// ---- Properties ----

void CLSLP_FORMULE::setClsGlobal(host::GlobalObject* value) {
    m_global = value;
}

host::GlobalObject* CLSLP_FORMULE::ClsGlobal() const {
    return m_global;
}

void CLSLP_FORMULE::setActiveFrame(QObject* value) {
    m_frame = value;
}

QObject* CLSLP_FORMULE::ActiveFrame() const {
    return m_frame;
}

void CLSLP_FORMULE::setActiveNavigator(host::Navigator* value) {
    for (const QMetaObject::Connection& c : std::as_const(m_navigatorConnections))
        disconnect(c);
    m_navigatorConnections.clear();
    m_navigator = value;
    if (!value)
        return;
    // Direct connections: the handlers receive the events' arguments by reference.
    m_navigatorConnections << connect(value, &host::Navigator::BeforeChangeDitta, this,
                                      &CLSLP_FORMULE::ActiveNavigator_BeforeChangeDitta, Qt::DirectConnection)
                           << connect(value, &host::Navigator::BeforeExportToOffice, this,
                                      &CLSLP_FORMULE::ActiveNavigator_BeforeExportToOffice,
                                      Qt::DirectConnection)
                           << connect(value, &host::Navigator::ButtonPressed, this,
                                      &CLSLP_FORMULE::ActiveNavigator_ButtonPressed, Qt::DirectConnection)
                           << connect(value, &host::Navigator::InitializeLayoutObjectModel, this,
                                      &CLSLP_FORMULE::ActiveNavigator_InitializeLayoutObjectModel,
                                      Qt::DirectConnection)
                           << connect(value, &host::Navigator::InitializeScriptObjectModel, this,
                                      &CLSLP_FORMULE::ActiveNavigator_InitializeScriptObjectModel,
                                      Qt::DirectConnection);
}

host::Navigator* CLSLP_FORMULE::ActiveNavigator() const {
    return m_navigator;
}

void CLSLP_FORMULE::setActiveDll(host::Cinterface* value) {
    m_activeDll = value ? value->asObject() : nullptr;
}

host::Cinterface* CLSLP_FORMULE::ActiveDll() const {
    return host::cinterfaceOf(m_activeDll);
}

void CLSLP_FORMULE::setStatusBar(QObject* value) {
    m_statusBar = value;
}

QObject* CLSLP_FORMULE::StatusBar() const {
    return m_statusBar;
}

void CLSLP_FORMULE::setWindowState(std::int32_t value) {
    // Kept as a 16-bit integer: a value outside its range overflows and leaves the old one.
    quiet([&] { m_windowState = core::Variant::fromInt32(value).toInt16(); });
}

void CLSLP_FORMULE::setProgramMode(std::int32_t value) {
    quiet([&] { m_programMode = core::Variant::fromInt32(value).toInt16(); });
}

void CLSLP_FORMULE::setConnection(ado::Connection* value) {
    m_connection = value;
}

ado::Connection* CLSLP_FORMULE::Connection() const {
    return m_connection;
}

core::Variant CLSLP_FORMULE::Top() const {
    return core::Variant::fromInt32(m_top);
}

void CLSLP_FORMULE::setTop(const core::Variant& value) {
    quiet([&] { m_top = value.toInt32(); });
}

core::Variant CLSLP_FORMULE::Left() const {
    return core::Variant::fromInt32(m_left);
}

void CLSLP_FORMULE::setLeft(const core::Variant& value) {
    quiet([&] { m_left = value.toInt32(); });
}

void CLSLP_FORMULE::setClsVoceMenu(host::MenuItem* value) {
    m_voceMenu = value;
}

host::MenuItem* CLSLP_FORMULE::ClsVoceMenu() const {
    return m_voceMenu;
}

void CLSLP_FORMULE::setFiltro(const core::Variant&) {
    // The filter is not used by this component: the value is discarded.
}

// ---- Functions ----

core::Variant CLSLP_FORMULE::ShowForm() {
    // 1. A new window; the class keeps every window it created until it is destroyed.
    quiet([&] {
        m_window = m_driver->create();
        m_created.append(m_window);
    });
    // 2., 3. The window's two references.
    quiet([&] { m_driver->setActiveInterface(need(m_window.data(), "window"), ActiveDll()); });
    quiet([&] { m_driver->setActiveClass(need(m_window.data(), "window"), this); });
    // 4. The window state: the window loads here.
    quiet([&] { m_driver->setWindowState(need(m_window.data(), "window"), m_windowState); });
    // 5. The caption.
    quiet([&] { m_driver->setCaption(need(m_window.data(), "window"), m_caption.toString()); });
    // 6. Modal (returns when the window is closed) or modeless.
    quiet([&] { m_driver->show(need(m_window.data(), "window"), m_windowModal); });
    // 7. Nothing reaches the host.
    return {};
}

core::Variant CLSLP_FORMULE::CloseForm() {
    bool result = false;
    quiet([&] { m_driver->unload(need(m_window.data(), "window")); });
    // With no window the test itself fails, and the suppressed error lets the True through.
    bool unloaded = true;
    quiet([&] { unloaded = m_driver->activeInterface(need(m_window.data(), "window")) == nullptr; });
    if (unloaded)
        result = true;
    return core::Variant::fromBool(result);
}

core::Variant CLSLP_FORMULE::TransferData(const core::Variant& Data) {
    quiet([&] {
        // A copy of its own: a receiver that changes the caller's variable does not change what
        // the next receiver gets.
        emit DataTransfer(core::Variant(Data));
    });
    return {};
}

// ---- Navigator events ----

bool CLSLP_FORMULE::interfaceActive() const {
    bool active = false;
    quiet([&] { active = need(ActiveDll(), "ActiveDll")->IsActive(); });
    return active;
}

void CLSLP_FORMULE::ActiveNavigator_BeforeChangeDitta(bool& Cancel) {
    if (!interfaceActive())
        return;
    int answer = 0;
    quiet([&] {
        QObject* w = need(m_window.data(), "window");
        std::int32_t zero = 0;
        answer = need(m_driver->log(w), "GclsLog")
                     ->MessageBox(
                         translated(m_global,
                                    QStringLiteral(
                                        "Il cambio ditta comporta la chiusura del programma, proseguo ?")),
                         host::mb::YesNo, m_driver->caption(w), true, zero);
    });
    if (answer == host::answer::Yes)
        quiet([&] { m_driver->unload(need(m_window.data(), "window")); });
    else
        Cancel = true;
}

void CLSLP_FORMULE::ActiveNavigator_BeforeExportToOffice(bool&, QObject*& Pcls_ExpToOffice) {
    if (!interfaceActive())
        return;
    quiet([&] {
        host::late::set(Pcls_ExpToOffice, "TitoloMaster", m_driver->name(need(m_window.data(), "window")));
    });
}

void CLSLP_FORMULE::ActiveNavigator_ButtonPressed(bool&, int& ButtonPress) {
    if (ButtonPress != host::button::Multimedia)
        return;
    if (!interfaceActive())
        return;
    // 1. A frame with a recordset is needed.
    QObject* frame = nullptr;
    QObject* recordset = nullptr;
    bool missing = true;
    quiet([&] {
        frame = need(ActiveDll(), "ActiveDll")->ActiveFrame();
        missing = frame == nullptr;
        if (!missing) {
            recordset = host::late::getObject(frame, "Recordset");
            missing = recordset == nullptr;
        }
    });
    if (missing)
        return;
    // 2. Linking is possible only while the record is varied.
    int status = -1;
    quiet([&] { status = core::Variant::fromQVariant(host::late::get(frame, "Status")).toInt32(); });
    if (status == 2) {
        quiet([&] {
            std::int32_t zero = 0;
            need(m_driver->log(need(m_window.data(), "window")), "GclsLog")
                ->MessageBox(
                    translated(m_global, QStringLiteral("Il collegamento ai dati multimediali è possibile "
                                                        "solamente in fase di variazione")),
                    host::mb::Information, translated(m_global, QStringLiteral("Avviso Utente")), true, zero);
        });
        return;
    }
    // 3. A changed record is saved first.
    if (status == 0)
        quiet([&] { host::late::call(frame, "Update"); });
    // 4. One hypermedia object per class.
    quiet([&] {
        if (!m_hyperMedia)
            m_hyperMedia = new host::CHyperMedia(this);
    });
    // 5. The media identifier of the current record (Empty when the field cannot be read).
    core::Variant mediaId;
    quiet([&] {
        QVariant value;
        if (!QMetaObject::invokeMethod(recordset, "Fields", Qt::DirectConnection,
                                       Q_RETURN_ARG(QVariant, value),
                                       Q_ARG(QString, QStringLiteral("LP01_IDMEDIA_CG99"))))
            throw core::ComError(host::late::NotSupported, QStringLiteral("Fields"));
        mediaId = core::Variant::fromQVariant(value);
    });
    // 6. Open the multimedia data of the record.
    quiet([&] {
        host::GlobalObject* global = need(m_global.data(), "ClsGlobal");
        host::HostContext* context = need(global->HostContext(), "HostContext");
        core::Variant value1 = context->ContextValue1();
        core::Variant value2 = context->ContextValue2();
        core::Variant connectionString(
            need(global->ConnectionSettings(), "ConnectionSettings")->ConnectionString());
        const core::Variant parent =
            core::Variant::fromInt32(need(global->CurrentInterface(), "CurrentInterface")->hwndParent());
        need(m_hyperMedia.data(), "CHyperMedia")
            ->HypermediaOpen(value1, value2, connectionString, mediaId, parent, 1, 0);
    });
}

void CLSLP_FORMULE::ActiveNavigator_InitializeLayoutObjectModel(bool&, host::LayoutModel*& ClsLayout) {
    if (!interfaceActive())
        return;
    quiet([&] {
        QObject* window = m_window;
        need(ClsLayout, "ClsLayout")
            ->LayoutInitialize(core::Variant(QStringLiteral("Gestione provider listini parametrici")), window,
                               0, 0, 0);
        m_window = window;
    });
}

void CLSLP_FORMULE::ActiveNavigator_InitializeScriptObjectModel(bool&, host::ScriptModel*& ClsScript) {
    if (!interfaceActive())
        return;
    quiet([&] {
        QObject* window = m_window;
        const QString name = m_driver->name(need(window, "window"));
        need(ClsScript, "ClsScript")->ScriptAddObject(name, window, 0, name);
        m_window = window;
    });
    quiet([&] {
        QObject* frame = need(ActiveDll(), "ActiveDll")->ActiveFrame();
        const QString name = core::Variant::fromQVariant(host::late::get(frame, "Name")).toString();
        need(ClsScript, "ClsScript")->ScriptAddObject(name, frame, 3, name);
    });
}

} // namespace component
