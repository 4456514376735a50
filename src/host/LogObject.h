#pragma once

#include "core/Error.h"
#include "host/HostObject.h"
#include "host/Responder.h"

#include <QPointer>

#include <cstdint>

namespace ado {
class Errors;
}

namespace host {

class Cinterface;

// The host's log object: error display and logging, and the host message box. Both dialogs go
// through a Responder: the one given with setResponder, else the one of the global object of the
// attached interface, else Responder::current().
class GclsLog : public HostObject {
    Q_OBJECT
public:
    explicit GclsLog(QObject* parent = nullptr);

    // Attaches the plug-in interface whose errors are logged (null detaches).
    void AttachInterface(Cinterface* activeInterface);
    Cinterface* attachedInterface() const;

    // Remembers the current run-time error for the next ShowError.
    void SetError(const core::ErrorInfo& error);
    // Remembers the errors of an ADO connection for the next ShowError.
    void SetAdoErrors(const ado::Errors& errors);

    // Shows the remembered error (abort/retry/ignore, critical icon, second button default for
    // style 4370) and appends it to the host log file. Returns 3, 4 or 5.
    int ShowError(const QString& applicationTitle, const QString& caption, const QString& procedureName,
                  std::int32_t style, std::int32_t& reserved);

    // The host message box: returns the pressed button (1 OK, 6 Yes, 7 No, ...).
    int MessageBox(const QString& prompt, std::int32_t code, const QString& title, bool log,
                   std::int32_t& reserved);
    // The host message box with captions of its own on its buttons (in the order of the code's
    // buttons: "Ripristina" and "Scarta" on Yes and No); the answer is still the button's code.
    int MessageBoxCaptions(const QString& prompt, std::int32_t code, const QString& title,
                           const QStringList& captions);

    // The errors remembered so far (cleared by ShowError).
    const core::ErrorInfo& lastError() const { return m_error; }
    const QList<QString>& lastAdoErrors() const { return m_adoErrors; }

    void setResponder(Responder* responder) { m_responder = responder; }
    Responder* responder() const;

    // The host log file ShowError appends to (process wide). The default is formule-host.log in
    // the application's local data directory.
    static QString logFilePath();
    static void setLogFilePath(const QString& path);

private:
    QPointer<QObject> m_interface;
    core::ErrorInfo m_error;
    QList<QString> m_adoErrors;
    Responder* m_responder = nullptr;
};

} // namespace host
