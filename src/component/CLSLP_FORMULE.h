#pragma once

#include "component/WindowDriver.h"
#include "core/Variant.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/HyperMedia.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"

#include <QObject>
#include <QPointer>

#include "tables/EditingContext.h"
#include <cstdint>

#include <functional>
#include <memory>

namespace component {

// The editing context: which stored formula the window edits.
using tables::EnumContestoFormule;
using tables::vxContestoListino;
using tables::vxContestoManutenzione;
using tables::vxContestoProvider;

// The programmatic identifier the host creates the class by.
inline constexpr const char* ProgId = "QEDRIX.CLSLP_FORMULE";

// The component's creatable class: a holder of host state and the launcher of the formula editor
// window. The host configures it through the plug-in interface and through its default interface
// (enmContestoformule, ID; also readable late bound, which is how the window reads them), then
// calls ShowForm. Every member runs with errors suppressed: a failing statement is skipped.
// The navigator's five events are handled while ActiveDll.IsActive is True.
class CLSLP_FORMULE : public QObject, public host::Cinterface {
    Q_OBJECT
    Q_INTERFACES(host::Cinterface)
    Q_PROPERTY(int enmContestoformule READ enmContestoformule WRITE setEnmContestoformule)
    Q_PROPERTY(core::Variant ID READ ID WRITE setID)
    Q_CLASSINFO("ProgId", "QEDRIX.CLSLP_FORMULE")
public:
    // Class_Initialize runs here. The driver gives the window (makeEditorDriver for FRMLP_FORMULE;
    // a null driver means no window at all).
    explicit CLSLP_FORMULE(std::unique_ptr<WindowDriver> driver = nullptr, QObject* parent = nullptr);
    // Class_Terminate runs here.
    ~CLSLP_FORMULE() override;

    // ---- Default interface ----
    std::int32_t enmContestoformule() const { return m_contesto; }
    void setEnmContestoformule(std::int32_t value) { m_contesto = value; }
    core::Variant ID() const { return m_id; }
    void setID(const core::Variant& value) { m_id = value; }

    // ---- host::Cinterface ----
    void setClsGlobal(host::GlobalObject* value) override;
    host::GlobalObject* ClsGlobal() const override;
    void setActiveFrame(QObject* value) override;
    QObject* ActiveFrame() const override;
    void setActiveNavigator(host::Navigator* value) override;
    host::Navigator* ActiveNavigator() const override;
    void setActiveDll(host::Cinterface* value) override;
    host::Cinterface* ActiveDll() const override;
    void setStatusBar(QObject* value) override;
    QObject* StatusBar() const override;
    void setCanInsert(bool value) override { m_canInsert = value; }
    bool CanInsert() const override { return m_canInsert; }
    void setCanDelete(bool value) override { m_canDelete = value; }
    bool CanDelete() const override { return m_canDelete; }
    void setCanUpdate(bool value) override { m_canUpdate = value; }
    bool CanUpdate() const override { return m_canUpdate; }
    void setCanQbe(bool value) override { m_canQbe = value; }
    bool CanQbe() const override { return m_canQbe; }
    void setWindowState(std::int32_t value) override;
    std::int32_t WindowState() const override { return m_windowState; }
    void setWindowModal(bool value) override { m_windowModal = value; }
    bool WindowModal() const override { return m_windowModal; }
    void setProgramMode(std::int32_t value) override;
    std::int32_t ProgramMode() const override { return m_programMode; }
    void setMenuModulo(const core::Variant& value) override { m_menuModulo = value; }
    core::Variant MenuModulo() const override { return m_menuModulo; }
    void setMenuPadre(const core::Variant& value) override { m_menuPadre = value; }
    core::Variant MenuPadre() const override { return m_menuPadre; }
    void setMenuProg(const core::Variant& value) override { m_menuProg = value; }
    core::Variant MenuProg() const override { return m_menuProg; }
    void setCaption(const core::Variant& value) override { m_caption = value; }
    core::Variant Caption() const override { return m_caption; }
    void sethwndParent(std::int32_t value) override { m_hwndParent = value; }
    std::int32_t hwndParent() const override { return m_hwndParent; }
    core::Variant ShowForm() override;
    core::Variant CloseForm() override;
    void setConnection(ado::Connection* value) override;
    ado::Connection* Connection() const override;
    QObject* Cwindow() const override { return nullptr; }
    core::Variant TransferData(const core::Variant& Data) override;
    core::Variant Top() const override;
    void setTop(const core::Variant& value) override;
    core::Variant Left() const override;
    void setLeft(const core::Variant& value) override;
    void setClsVoceMenu(host::MenuItem* value) override;
    host::MenuItem* ClsVoceMenu() const override;
    void setIsActive(bool value) override { m_isActive = value; }
    bool IsActive() const override { return m_isActive; }
    void setIsCalled(bool value) override { m_isCalled = value; }
    bool IsCalled() const override { return m_isCalled; }
    void setFiltro(const core::Variant& value) override;
    core::Variant Filtro() const override { return {}; }
    QObject* asObject() override { return this; }

    // ---- Navigator event handlers ----
    void ActiveNavigator_BeforeChangeDitta(bool& Cancel);
    void ActiveNavigator_BeforeExportToOffice(bool& Cancel, QObject*& Pcls_ExpToOffice);
    void ActiveNavigator_ButtonPressed(bool& Cancel, int& ButtonPress);
    void ActiveNavigator_InitializeLayoutObjectModel(bool& Cancel, host::LayoutModel*& ClsLayout);
    void ActiveNavigator_InitializeScriptObjectModel(bool& Cancel, host::ScriptModel*& ClsScript);

    // ---- For the host's tests and tools ----
    // The window object the class holds (null before ShowForm).
    QObject* window() const { return m_window; }
    // The hypermedia object (null until the first multimedia link).
    host::CHyperMedia* hyperMedia() const { return m_hyperMedia; }
    // Called with the name of each release step of Class_Terminate, in order.
    void setTerminateTrace(std::function<void(const QString&)> trace) { m_trace = std::move(trace); }

signals:
    // Data transferred by the host (TransferData), dispatch identifier 1.
    void DataTransfer(const core::Variant& Data);

private:
    bool interfaceActive() const;
    void trace(const QString& step);

    std::unique_ptr<WindowDriver> m_driver;
    std::int32_t m_contesto = vxContestoProvider;
    core::Variant m_id;

    QPointer<host::GlobalObject> m_global;
    QPointer<QObject> m_frame;
    QPointer<host::Navigator> m_navigator;
    QList<QMetaObject::Connection> m_navigatorConnections;
    QPointer<QObject> m_activeDll;
    QPointer<QObject> m_statusBar;
    bool m_canInsert = false;
    bool m_canDelete = false;
    bool m_canUpdate = false;
    bool m_canQbe = false;
    std::int16_t m_windowState = 0;
    bool m_windowModal = false;
    std::int16_t m_programMode = 0;
    core::Variant m_menuModulo;
    core::Variant m_menuPadre;
    core::Variant m_menuProg;
    core::Variant m_caption;
    std::int32_t m_hwndParent = 0;
    QPointer<ado::Connection> m_connection;
    std::int32_t m_top = 0;
    std::int32_t m_left = 0;
    QPointer<host::MenuItem> m_voceMenu;
    bool m_isActive = false;
    bool m_isCalled = false;
    QPointer<QObject> m_window;
    QList<QPointer<QObject>> m_created;
    QPointer<host::CHyperMedia> m_hyperMedia;
    std::function<void(const QString&)> m_trace;
};

} // namespace component
