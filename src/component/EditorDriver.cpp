#include "component/WindowDriver.h"

#include "core/Error.h"
#include "host/Cinterface.h"

#include "editor/FRMLP_FORMULE.h"

namespace component {

namespace {

[[noreturn]] void notAWindow(const char* member) {
    throw core::ComError(core::err::ObjectRequired, QStringLiteral("Object required"),
                         QString::fromLatin1(member));
}

class EditorDriver : public WindowDriver {
public:
    QObject* create() override {
        auto* window = new editor::FRMLP_FORMULE();
        if (window->objectName().isEmpty())
            window->setObjectName(QStringLiteral("FRMLP_FORMULE"));
        return window;
    }
    void setActiveInterface(QObject* window, host::Cinterface* value) override {
        form(window, "ActiveInterface")->setActiveInterface(value);
    }
    host::Cinterface* activeInterface(QObject* window) override {
        return form(window, "ActiveInterface")->ActiveInterface();
    }
    void setActiveClass(QObject* window, QObject* value) override {
        form(window, "ActiveClass")->setActiveClass(value);
    }
    void setWindowState(QObject* window, int state) override {
        form(window, "WindowState")->SetWindowState(state);
    }
    void setCaption(QObject* window, const QString& caption) override {
        form(window, "Caption")->SetCaption(caption);
    }
    QString caption(QObject* window) override { return form(window, "Caption")->windowTitle(); }
    QString name(QObject* window) override { return form(window, "Name")->objectName(); }
    void show(QObject* window, bool modal) override {
        auto* f = form(window, "Show");
        if (modal)
            f->ShowModal();
        else
            f->ShowModeless();
    }
    void unload(QObject* window) override { form(window, "Unload")->Unload(); }
    host::GclsLog* log(QObject* window) override { return form(window, "GclsLog")->GclsLog(); }
    bool isOpen(QObject* window) override {
        auto* f = qobject_cast<editor::FRMLP_FORMULE*>(window);
        return f && f->isVisible();
    }

private:
    static editor::FRMLP_FORMULE* form(QObject* window, const char* member) {
        auto* f = qobject_cast<editor::FRMLP_FORMULE*>(window);
        if (!f)
            notAWindow(member);
        return f;
    }
};
} // namespace

std::unique_ptr<WindowDriver> makeEditorDriver() {
    return std::make_unique<EditorDriver>();
}

} // namespace component
