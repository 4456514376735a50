#pragma once

#include "host/HostObject.h"
#include "host/LayoutModel.h"
#include "host/ScriptModel.h"

#include <QPointer>

namespace host {

class GlobalObject;

// Button codes of the navigator (ButtonPressed's ButtonPress).
namespace button {
inline constexpr int New = 1;
inline constexpr int Save = 2;
inline constexpr int Delete = 3;
inline constexpr int Undo = 4;
inline constexpr int First = 10;
inline constexpr int Previous = 11;
inline constexpr int Next = 12;
inline constexpr int Last = 13;
inline constexpr int Search = 20;
inline constexpr int Refresh = 21;
inline constexpr int Print = 22;
inline constexpr int ExportToOffice = 23;
inline constexpr int Notes = 24;
inline constexpr int Multimedia = 25; // link multimedia data to the current record
inline constexpr int Help = 26;
} // namespace button

// The host navigator: the bar of command buttons of the host window. Plug-ins keep it up to date
// (NavigatorPrepare ... NavigatorRefresh) and receive its five events. The events are signals
// whose arguments are references: handlers connected directly may set Cancel to True (and replace
// the objects), and the raise* functions return what the handlers left.
class Navigator : public HostObject {
    Q_OBJECT
    Q_PROPERTY(host::ScriptModel* ScriptModel READ ScriptModel WRITE setScriptModel)
    Q_PROPERTY(host::LayoutModel* LayoutModel READ LayoutModel WRITE setLayoutModel)
    Q_PROPERTY(int status READ status)
public:
    explicit Navigator(QObject* parent = nullptr);

    Q_INVOKABLE core::Variant NavigatorPrepare();
    Q_INVOKABLE core::Variant NavigatorPrepareOpen();
    Q_INVOKABLE core::Variant NavigatorSetStatus(short status);
    Q_INVOKABLE void NavigatorRefresh();
    // A plug-in asks the host to open the editing window of a record (context and id), with
    // `line` of its text marked (0: none) and `message` shown for it. Returns false when the
    // host does not open records on request (nothing listens to openRecordRequested).
    Q_INVOKABLE bool NavigatorOpenRecord(int context, qint64 id, int line, const QString& message);

    host::ScriptModel* ScriptModel() const;
    void setScriptModel(host::ScriptModel* model);
    host::LayoutModel* LayoutModel() const;
    void setLayoutModel(host::LayoutModel* model);

    int status() const { return m_status; }

    // Raise the events as the navigator does; each returns the final Cancel.
    bool raiseBeforeChangeDitta();
    bool raiseBeforeExportToOffice(QObject*& exportObject);
    bool raiseButtonPressed(int& buttonPress);
    bool raiseInitializeLayoutObjectModel(host::LayoutModel*& layout);
    bool raiseInitializeScriptObjectModel(host::ScriptModel*& script);

    // A button of the navigator pressed (its tool bar is NavigatorToolBar in formule_host_gui):
    // Export to office raises BeforeExportToOffice and, unless cancelled, exported; any other
    // button raises ButtonPressed with its code.
    void pressButton(int code);
    // Companies offered by the selector (code, name); the global object receives the chosen code
    // and translates the tool bar's captions.
    void setCompanies(GlobalObject* global, const QList<QPair<core::Variant, QString>>& companies);
    const QList<QPair<core::Variant, QString>>& companies() const { return m_companies; }
    GlobalObject* global() const { return m_global; }
    // The position in companies() of the global object's company; -1 when it is not there.
    int companyInForceIndex() const;
    // Asks the plug-ins and changes the company unless one cancels; returns true when changed.
    bool changeCompany(const core::Variant& code);

signals:
    void BeforeChangeDitta(bool& Cancel);
    void BeforeExportToOffice(bool& Cancel, QObject*& Pcls_ExpToOffice);
    void ButtonPressed(bool& Cancel, int& ButtonPress);
    void InitializeLayoutObjectModel(bool& Cancel, host::LayoutModel*& ClsLayout);
    void InitializeScriptObjectModel(bool& Cancel, host::ScriptModel*& ClsScript);

    // A plug-in asked for a record to be opened (NavigatorOpenRecord).
    void openRecordRequested(int context, qint64 id, int line, const QString& message);

    // After a company change went ahead.
    void companyChanged(const core::Variant& code);
    // After an export went ahead; TitoloMaster as set by the handlers.
    void exported(const QString& titoloMaster);
    // The companies were replaced (setCompanies).
    void companiesChanged();
    // A change of company was asked for and made or refused: the selector shows the company in
    // force again.
    void companyDecided();

private:
    QPointer<host::ScriptModel> m_script;
    QPointer<host::LayoutModel> m_layout;
    QPointer<GlobalObject> m_global;
    QList<QPair<core::Variant, QString>> m_companies;
    int m_status = -1;
};

// The object handed with BeforeExportToOffice: the handlers name the exported master.
class ExportToOffice : public HostObject {
    Q_OBJECT
    Q_PROPERTY(QString TitoloMaster READ TitoloMaster WRITE setTitoloMaster)
public:
    using HostObject::HostObject;
    QString TitoloMaster() const { return m_titolo; }
    void setTitoloMaster(const QString& value);

private:
    QString m_titolo;
};

} // namespace host
