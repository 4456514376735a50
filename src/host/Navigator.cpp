#include "host/Navigator.h"

#include "host/GlobalObject.h"
#include "host/LayoutModel.h"
#include "host/ScriptModel.h"

#include <QMetaMethod>

namespace host {

Navigator::Navigator(QObject* parent)
    : HostObject(parent) {
    setObjectName(QStringLiteral("Navigator"));
}

core::Variant Navigator::NavigatorPrepare() {
    record(QStringLiteral("NavigatorPrepare"));
    return {};
}

core::Variant Navigator::NavigatorPrepareOpen() {
    record(QStringLiteral("NavigatorPrepareOpen"));
    return {};
}

core::Variant Navigator::NavigatorSetStatus(short status) {
    record(QStringLiteral("NavigatorSetStatus"), {core::Variant::fromInt16(status)});
    m_status = status;
    return {};
}

void Navigator::NavigatorRefresh() {
    record(QStringLiteral("NavigatorRefresh"));
}

bool Navigator::NavigatorOpenRecord(int context, qint64 id, int line, const QString& message) {
    record(QStringLiteral("NavigatorOpenRecord"));
    if (!isSignalConnected(QMetaMethod::fromSignal(&Navigator::openRecordRequested)))
        return false;
    emit openRecordRequested(context, id, line, message);
    return true;
}

ScriptModel* Navigator::ScriptModel() const {
    const_cast<Navigator*>(this)->record(QStringLiteral("ScriptModel"));
    return m_script;
}

void Navigator::setScriptModel(host::ScriptModel* model) {
    record(QStringLiteral("ScriptModel="), {core::Variant::fromObject(model)});
    m_script = model;
}

LayoutModel* Navigator::LayoutModel() const {
    const_cast<Navigator*>(this)->record(QStringLiteral("LayoutModel"));
    return m_layout;
}

void Navigator::setLayoutModel(host::LayoutModel* model) {
    record(QStringLiteral("LayoutModel="), {core::Variant::fromObject(model)});
    m_layout = model;
}

bool Navigator::raiseBeforeChangeDitta() {
    bool cancel = false;
    emit BeforeChangeDitta(cancel);
    return cancel;
}

bool Navigator::raiseBeforeExportToOffice(QObject*& exportObject) {
    bool cancel = false;
    emit BeforeExportToOffice(cancel, exportObject);
    return cancel;
}

bool Navigator::raiseButtonPressed(int& buttonPress) {
    bool cancel = false;
    emit ButtonPressed(cancel, buttonPress);
    return cancel;
}

bool Navigator::raiseInitializeLayoutObjectModel(host::LayoutModel*& layout) {
    bool cancel = false;
    emit InitializeLayoutObjectModel(cancel, layout);
    return cancel;
}

bool Navigator::raiseInitializeScriptObjectModel(host::ScriptModel*& script) {
    bool cancel = false;
    emit InitializeScriptObjectModel(cancel, script);
    return cancel;
}

void Navigator::pressButton(int code) {
    if (code == button::ExportToOffice) {
        ExportToOffice exportObject;
        QObject* object = &exportObject;
        if (raiseBeforeExportToOffice(object))
            return;
        emit exported(exportObject.TitoloMaster());
        return;
    }
    int press = code;
    raiseButtonPressed(press);
}

void Navigator::setCompanies(GlobalObject* global, const QList<QPair<core::Variant, QString>>& companies) {
    m_global = global;
    m_companies = companies;
    emit companiesChanged();
}

int Navigator::companyInForceIndex() const {
    if (!m_global)
        return -1;
    int index = -1;
    for (int i = 0; i < m_companies.size(); ++i) {
        if (m_companies.at(i).first.equals(m_global->Company()->CompanyCode()))
            index = i;
    }
    return index;
}

bool Navigator::changeCompany(const core::Variant& code) {
    const bool cancelled = raiseBeforeChangeDitta();
    if (!cancelled && m_global)
        m_global->Company()->setCompanyCode(code);
    // Show the company in force (the previous one when the change was refused).
    emit companyDecided();
    if (!cancelled)
        emit companyChanged(code);
    return !cancelled;
}

void ExportToOffice::setTitoloMaster(const QString& value) {
    record(QStringLiteral("TitoloMaster="), {core::Variant(value)});
    m_titolo = value;
}

} // namespace host
