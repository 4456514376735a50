#pragma once

#include "ado/Ado.h"
#include "core/Variant.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"

#include <QObject>
#include <QPointer>

// A plug-in class as the host sees it, holding what the host hands over, with the editing
// context read late bound by the window (enmContestoformule, ID).
class FakeClass : public QObject, public host::Cinterface {
    Q_OBJECT
    Q_INTERFACES(host::Cinterface)
    Q_PROPERTY(int enmContestoformule MEMBER context)
    Q_PROPERTY(core::Variant ID MEMBER id)
public:
    FakeClass() { m_dll = this; }

    int context = 0;
    core::Variant id;

    void setClsGlobal(host::GlobalObject* v) override { m_global = v; }
    host::GlobalObject* ClsGlobal() const override { return m_global; }
    void setActiveFrame(QObject* v) override { m_frame = v; }
    QObject* ActiveFrame() const override { return m_frame; }
    void setActiveNavigator(host::Navigator* v) override { m_navigator = v; }
    host::Navigator* ActiveNavigator() const override { return m_navigator; }
    void setActiveDll(host::Cinterface* v) override { m_dll = v ? v->asObject() : nullptr; }
    host::Cinterface* ActiveDll() const override { return host::cinterfaceOf(m_dll); }
    void setStatusBar(QObject* v) override { m_statusBar = v; }
    QObject* StatusBar() const override { return m_statusBar; }
    void setCanInsert(bool v) override { m_flags[0] = v; }
    bool CanInsert() const override { return m_flags[0]; }
    void setCanDelete(bool v) override { m_flags[1] = v; }
    bool CanDelete() const override { return m_flags[1]; }
    void setCanUpdate(bool v) override { m_flags[2] = v; }
    bool CanUpdate() const override { return m_flags[2]; }
    void setCanQbe(bool v) override { m_flags[3] = v; }
    bool CanQbe() const override { return m_flags[3]; }
    void setWindowState(std::int32_t v) override { m_windowState = v; }
    std::int32_t WindowState() const override { return m_windowState; }
    void setWindowModal(bool v) override { m_modal = v; }
    bool WindowModal() const override { return m_modal; }
    void setProgramMode(std::int32_t v) override { m_programMode = v; }
    std::int32_t ProgramMode() const override { return m_programMode; }
    void setMenuModulo(const core::Variant& v) override { m_menu[0] = v; }
    core::Variant MenuModulo() const override { return m_menu[0]; }
    void setMenuPadre(const core::Variant& v) override { m_menu[1] = v; }
    core::Variant MenuPadre() const override { return m_menu[1]; }
    void setMenuProg(const core::Variant& v) override { m_menu[2] = v; }
    core::Variant MenuProg() const override { return m_menu[2]; }
    void setCaption(const core::Variant& v) override { m_caption = v; }
    core::Variant Caption() const override { return m_caption; }
    void sethwndParent(std::int32_t v) override { m_hwnd = v; }
    std::int32_t hwndParent() const override { return m_hwnd; }
    core::Variant ShowForm() override { return {}; }
    core::Variant CloseForm() override { return {}; }
    void setConnection(ado::Connection* v) override {
        m_connection = v;
        connectionHistory.append(v);
    }
    ado::Connection* Connection() const override { return m_connection; }
    QObject* Cwindow() const override { return nullptr; }
    core::Variant TransferData(const core::Variant&) override { return {}; }
    core::Variant Top() const override { return m_top; }
    void setTop(const core::Variant& v) override { m_top = core::Variant::fromInt32(v.toInt32()); }
    core::Variant Left() const override { return m_left; }
    void setLeft(const core::Variant& v) override { m_left = core::Variant::fromInt32(v.toInt32()); }
    void setClsVoceMenu(host::MenuItem* v) override { m_menuItem = v; }
    host::MenuItem* ClsVoceMenu() const override { return m_menuItem; }
    void setIsActive(bool v) override { m_active = v; }
    bool IsActive() const override { return m_active; }
    void setIsCalled(bool v) override { m_called = v; }
    bool IsCalled() const override { return m_called; }
    void setFiltro(const core::Variant&) override {}
    core::Variant Filtro() const override { return {}; }
    QObject* asObject() override { return this; }

    // Every value given to Connection, in order (null for a release).
    QList<ado::Connection*> connectionHistory;

private:
    QPointer<host::GlobalObject> m_global;
    QPointer<QObject> m_frame;
    QPointer<host::Navigator> m_navigator;
    QPointer<QObject> m_dll;
    QPointer<QObject> m_statusBar;
    bool m_flags[4] = {};
    std::int32_t m_windowState = 0;
    bool m_modal = false;
    std::int32_t m_programMode = 0;
    core::Variant m_menu[3];
    core::Variant m_caption;
    std::int32_t m_hwnd = 0;
    QPointer<ado::Connection> m_connection;
    core::Variant m_top;
    core::Variant m_left;
    QPointer<host::MenuItem> m_menuItem;
    bool m_active = true;
    bool m_called = false;
};
