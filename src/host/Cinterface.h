#pragma once

#include "core/Variant.h"

#include <QObject>
#include <QtPlugin>

#include <cstdint>

namespace ado {
class Connection;
}

namespace host {

class GlobalObject;
class Navigator;
class MenuItem;

// The host framework's plug-in interface. A plug-in class implements it and the host drives the
// plug-in through it: the members are declared in the interface's member order (each property's
// accessors in the order the host calls them). Every implementation is a QObject, so the
// interface is also reachable late bound: qobject_cast<host::Cinterface*>(object) or
// host::cinterfaceOf(object), and back with asObject().
class Cinterface {
public:
    virtual ~Cinterface() = default;

    // 1 ClsGlobal (set, get): the host global object.
    virtual void setClsGlobal(GlobalObject* value) = 0;
    virtual GlobalObject* ClsGlobal() const = 0;
    // 2 ActiveFrame (set, get): the host's data frame of the current record (untyped, late bound).
    virtual void setActiveFrame(QObject* value) = 0;
    virtual QObject* ActiveFrame() const = 0;
    // 3 ActiveNavigator (set, get): setting connects the plug-in's navigator handlers to the new
    // navigator and disconnects them from the previous one.
    virtual void setActiveNavigator(Navigator* value) = 0;
    virtual Navigator* ActiveNavigator() const = 0;
    // 4 ActiveDll (set, get)
    virtual void setActiveDll(Cinterface* value) = 0;
    virtual Cinterface* ActiveDll() const = 0;
    // 5 StatusBar (set, get)
    virtual void setStatusBar(QObject* value) = 0;
    virtual QObject* StatusBar() const = 0;
    // 6..9 CanInsert, CanDelete, CanUpdate, CanQbe (let, get)
    virtual void setCanInsert(bool value) = 0;
    virtual bool CanInsert() const = 0;
    virtual void setCanDelete(bool value) = 0;
    virtual bool CanDelete() const = 0;
    virtual void setCanUpdate(bool value) = 0;
    virtual bool CanUpdate() const = 0;
    virtual void setCanQbe(bool value) = 0;
    virtual bool CanQbe() const = 0;
    // 10 WindowState (let, get): passed as 32-bit, kept as 16-bit.
    virtual void setWindowState(std::int32_t value) = 0;
    virtual std::int32_t WindowState() const = 0;
    // 11 WindowModal (let, get)
    virtual void setWindowModal(bool value) = 0;
    virtual bool WindowModal() const = 0;
    // 12 ProgramMode (let, get): passed as 32-bit, kept as 16-bit.
    virtual void setProgramMode(std::int32_t value) = 0;
    virtual std::int32_t ProgramMode() const = 0;
    // 13..16 MenuModulo, MenuPadre, MenuProg, Caption (let, get): copies of Variants.
    virtual void setMenuModulo(const core::Variant& value) = 0;
    virtual core::Variant MenuModulo() const = 0;
    virtual void setMenuPadre(const core::Variant& value) = 0;
    virtual core::Variant MenuPadre() const = 0;
    virtual void setMenuProg(const core::Variant& value) = 0;
    virtual core::Variant MenuProg() const = 0;
    virtual void setCaption(const core::Variant& value) = 0;
    virtual core::Variant Caption() const = 0;
    // 17 hwndParent (let, get)
    virtual void sethwndParent(std::int32_t value) = 0;
    virtual std::int32_t hwndParent() const = 0;
    // 18 ShowForm: shows the plug-in's window (modal ones return when it closes).
    virtual core::Variant ShowForm() = 0;
    // 19 CloseForm: closes the window; a Boolean Variant, True when it unloaded completely.
    virtual core::Variant CloseForm() = 0;
    // 20 Connection (set, get)
    virtual void setConnection(ado::Connection* value) = 0;
    virtual ado::Connection* Connection() const = 0;
    // 21 Cwindow (get)
    virtual QObject* Cwindow() const = 0;
    // 22 TransferData: data handed over by the host.
    virtual core::Variant TransferData(const core::Variant& Data) = 0;
    // 23, 24 Top, Left (get, let): Variants holding 32-bit integers.
    virtual core::Variant Top() const = 0;
    virtual void setTop(const core::Variant& value) = 0;
    virtual core::Variant Left() const = 0;
    virtual void setLeft(const core::Variant& value) = 0;
    // 25 ClsVoceMenu (set, get): the menu item the plug-in was started from.
    virtual void setClsVoceMenu(MenuItem* value) = 0;
    virtual MenuItem* ClsVoceMenu() const = 0;
    // 26, 27 IsActive, IsCalled (let, get)
    virtual void setIsActive(bool value) = 0;
    virtual bool IsActive() const = 0;
    virtual void setIsCalled(bool value) = 0;
    virtual bool IsCalled() const = 0;
    // 28 Filtro (let, get)
    virtual void setFiltro(const core::Variant& value) = 0;
    virtual core::Variant Filtro() const = 0;

    // The QObject that implements the interface (for late-bound access and lifetime tracking).
    virtual QObject* asObject() = 0;
};

// The interface of a QObject, or null when it does not implement it (or is null).
Cinterface* cinterfaceOf(QObject* object);

} // namespace host

#define HOST_CINTERFACE_IID "formule.host.Cinterface/1.0"
Q_DECLARE_INTERFACE(host::Cinterface, HOST_CINTERFACE_IID)
