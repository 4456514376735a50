#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace host {
class Cinterface;
class GclsLog;
} // namespace host

namespace component {

// How the component class drives its window. The class keeps its window as a plain object
// reference (the host's layout and script object models may hand back another object), and
// every operation goes through the driver, which raises core::ComError when the object is not
// a window it knows.
class WindowDriver {
public:
    virtual ~WindowDriver() = default;

    // A new window object, not yet loaded (the class owns it).
    virtual QObject* create() = 0;
    virtual void setActiveInterface(QObject* window, host::Cinterface* value) = 0;
    virtual host::Cinterface* activeInterface(QObject* window) = 0;
    virtual void setActiveClass(QObject* window, QObject* value) = 0;
    // Setting the window state loads the window.
    virtual void setWindowState(QObject* window, int state) = 0;
    virtual void setCaption(QObject* window, const QString& caption) = 0;
    virtual QString caption(QObject* window) = 0;
    // The window's name (its class name in the host's object models).
    virtual QString name(QObject* window) = 0;
    // Modal shows return when the window has closed.
    virtual void show(QObject* window, bool modal) = 0;
    // Unload query and unload.
    virtual void unload(QObject* window) = 0;
    virtual host::GclsLog* log(QObject* window) = 0;
    // True while the window is open (shown and not unloaded).
    virtual bool isOpen(QObject* window) = 0;
};

// The driver of the editor window FRMLP_FORMULE (library formule_component_impl).
std::unique_ptr<WindowDriver> makeEditorDriver();
// A driver without windows: every operation fails (the class suppresses the errors).
std::unique_ptr<WindowDriver> makeNoWindowDriver();

} // namespace component
