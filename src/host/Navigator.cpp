#include "host/Navigator.h"

#include "host/GlobalObject.h"
#include "host/LayoutModel.h"
#include "host/ScriptModel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QToolBar>

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

void Navigator::onButton(int code) {
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

QToolBar* Navigator::toolBar(QWidget* parent) {
    if (m_toolBar)
        return m_toolBar;
    const auto tr = [this](const char* text) {
        const QString italian = QString::fromUtf8(text);
        return m_global ? m_global->Traduci(italian) : italian;
    };
    auto* bar = new QToolBar(tr("Navigatore"), parent);
    bar->setObjectName(QStringLiteral("Navigator"));
    struct Entry {
        int code;
        const char* text;
    };
    static const Entry entries[] = {
        {button::New, "Nuovo"},
        {button::Save, "Salva"},
        {button::Delete, "Elimina"},
        {button::First, "Primo"},
        {button::Previous, "Precedente"},
        {button::Next, "Successivo"},
        {button::Last, "Ultimo"},
        {button::Refresh, "Aggiorna"},
        {button::ExportToOffice, "Esporta in Office"},
        {button::Multimedia, "Multimedia"},
    };
    for (const Entry& e : entries) {
        QAction* action = bar->addAction(tr(e.text));
        action->setObjectName(QStringLiteral("button%1").arg(e.code));
        action->setData(e.code);
        const int code = e.code;
        connect(action, &QAction::triggered, this, [this, code] { onButton(code); });
    }
    bar->addSeparator();
    bar->addWidget(new QLabel(tr("Ditta") + QLatin1Char(' '), bar));
    m_companySelector = new QComboBox(bar);
    m_companySelector->setObjectName(QStringLiteral("companySelector"));
    bar->addWidget(m_companySelector);
    for (const auto& [code, name] : m_companies)
        m_companySelector->addItem(name, code.toQVariant());
    showCompanyInForce();
    connect(m_companySelector, &QComboBox::activated, this, [this](int index) {
        if (m_settingCompany || index < 0 || index >= m_companies.size())
            return;
        changeCompany(m_companies.at(index).first);
    });
    m_toolBar = bar;
    return bar;
}

void Navigator::setCompanies(GlobalObject* global, const QList<QPair<core::Variant, QString>>& companies) {
    m_global = global;
    m_companies = companies;
    if (m_companySelector) {
        m_settingCompany = true;
        m_companySelector->clear();
        for (const auto& [code, name] : m_companies)
            m_companySelector->addItem(name, code.toQVariant());
        m_settingCompany = false;
        showCompanyInForce();
    }
}

void Navigator::showCompanyInForce() {
    if (!m_companySelector || !m_global)
        return;
    m_settingCompany = true;
    for (int i = 0; i < m_companies.size(); ++i) {
        if (m_companies.at(i).first.equals(m_global->Company()->CompanyCode()))
            m_companySelector->setCurrentIndex(i);
    }
    m_settingCompany = false;
}

bool Navigator::changeCompany(const core::Variant& code) {
    const bool cancelled = raiseBeforeChangeDitta();
    if (!cancelled && m_global)
        m_global->Company()->setCompanyCode(code);
    // Show the company in force (the previous one when the change was refused).
    showCompanyInForce();
    if (!cancelled)
        emit companyChanged(code);
    return !cancelled;
}

void ExportToOffice::setTitoloMaster(const QString& value) {
    record(QStringLiteral("TitoloMaster="), {core::Variant(value)});
    m_titolo = value;
}

} // namespace host
