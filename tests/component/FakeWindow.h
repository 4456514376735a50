#pragma once

// A stand-in for the editor window, driven like the real one: its load creates a log object, its
// unload releases the host references in the window's order. Tests use it where the behaviour of
// the class, not of the window, is under test.

#include "component/WindowDriver.h"
#include "core/Error.h"
#include "host/Cinterface.h"
#include "host/LogObject.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace fake {

class Window : public QObject {
    Q_OBJECT
public:
    explicit Window(QStringList* journal)
        : m_journal(journal) {
        setObjectName(QStringLiteral("FRMLP_FORMULE"));
    }

    QPointer<QObject> activeInterface;
    QPointer<QObject> activeClass;
    int state = -1;
    QString caption;
    bool loaded = false;
    bool open = false;
    bool modal = false;
    bool unloadFails = false; // the unload stops before it releases ActiveInterface
    QPointer<host::GclsLog> log;

    void load() {
        if (loaded)
            return;
        loaded = true;
        log = new host::GclsLog(this);
        log->AttachInterface(host::cinterfaceOf(activeInterface));
    }

    void unload() {
        m_journal->append(QStringLiteral("unload"));
        open = false;
        if (unloadFails)
            return;
        if (host::Cinterface* i = host::cinterfaceOf(activeInterface)) {
            i->setActiveFrame(nullptr);
            i->setConnection(nullptr);
            i->setActiveDll(nullptr);
        }
        activeClass = nullptr;
        activeInterface = nullptr;
        emit unloaded();
    }

signals:
    void unloaded();

private:
    QStringList* m_journal;
};

// Records every operation in a journal; `onModal` runs while a modal show is in progress
// (the show returns when it has returned and the window was closed).
class Driver : public component::WindowDriver {
public:
    QStringList* journal;
    QList<QPointer<Window>>* windows;
    std::function<void(Window*)> onModal;
    bool nextUnloadFails = false;

    Driver(QStringList* j, QList<QPointer<Window>>* w)
        : journal(j)
        , windows(w) {}

    QObject* create() override {
        journal->append(QStringLiteral("create"));
        auto* w = new Window(journal);
        w->unloadFails = nextUnloadFails;
        windows->append(w);
        return w;
    }
    void setActiveInterface(QObject* window, host::Cinterface* value) override {
        journal->append(QStringLiteral("ActiveInterface"));
        win(window)->activeInterface = value ? value->asObject() : nullptr;
    }
    host::Cinterface* activeInterface(QObject* window) override {
        return host::cinterfaceOf(win(window)->activeInterface);
    }
    void setActiveClass(QObject* window, QObject* value) override {
        journal->append(QStringLiteral("ActiveClass"));
        win(window)->activeClass = value;
    }
    void setWindowState(QObject* window, int state) override {
        journal->append(QStringLiteral("WindowState(%1)").arg(state));
        win(window)->state = state;
        win(window)->load();
    }
    void setCaption(QObject* window, const QString& caption) override {
        journal->append(QStringLiteral("Caption(%1)").arg(caption));
        win(window)->caption = caption;
    }
    QString caption(QObject* window) override { return win(window)->caption; }
    QString name(QObject* window) override { return win(window)->objectName(); }
    void show(QObject* window, bool modal) override {
        Window* w = win(window);
        journal->append(modal ? QStringLiteral("ShowModal") : QStringLiteral("ShowModeless"));
        w->open = true;
        w->modal = modal;
        if (modal) {
            if (onModal)
                onModal(w);
            journal->append(QStringLiteral("ModalReturned"));
        }
    }
    void unload(QObject* window) override { win(window)->unload(); }
    host::GclsLog* log(QObject* window) override { return win(window)->log; }
    bool isOpen(QObject* window) override { return win(window)->open; }

private:
    static Window* win(QObject* o) {
        auto* w = qobject_cast<Window*>(o);
        if (!w)
            throw core::ComError(core::err::ObjectRequired, QStringLiteral("Object required"));
        return w;
    }
};

} // namespace fake
