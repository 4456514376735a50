#include "host/NavigatorToolBar.h"

#include "host/GlobalObject.h"
#include "host/Navigator.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

namespace host {

NavigatorToolBar::NavigatorToolBar(Navigator* navigator, QWidget* parent)
    : QToolBar(parent)
    , m_navigator(navigator) {
    setWindowTitle(translate("Navigatore"));
    setObjectName(QStringLiteral("Navigator"));
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
        QAction* action = addAction(translate(e.text));
        action->setObjectName(QStringLiteral("button%1").arg(e.code));
        action->setData(e.code);
        const int code = e.code;
        connect(action, &QAction::triggered, this, [this, code] {
            if (m_navigator)
                m_navigator->pressButton(code);
        });
    }
    addSeparator();
    addWidget(new QLabel(translate("Ditta") + QLatin1Char(' '), this));
    m_companySelector = new QComboBox(this);
    m_companySelector->setObjectName(QStringLiteral("companySelector"));
    addWidget(m_companySelector);
    fillCompanies();
    connect(m_companySelector, &QComboBox::activated, this, [this](int index) {
        if (m_settingCompany || !m_navigator || index < 0 || index >= m_navigator->companies().size())
            return;
        m_navigator->changeCompany(m_navigator->companies().at(index).first);
    });
    connect(navigator, &Navigator::companiesChanged, this, &NavigatorToolBar::fillCompanies);
    connect(navigator, &Navigator::companyDecided, this, &NavigatorToolBar::showCompanyInForce);
}

QString NavigatorToolBar::translate(const char* italian) const {
    const QString text = QString::fromUtf8(italian);
    GlobalObject* global = m_navigator ? m_navigator->global() : nullptr;
    return global ? global->Traduci(text) : text;
}

void NavigatorToolBar::fillCompanies() {
    if (!m_navigator)
        return;
    m_settingCompany = true;
    m_companySelector->clear();
    for (const auto& [code, name] : m_navigator->companies())
        m_companySelector->addItem(name, code.toQVariant());
    m_settingCompany = false;
    showCompanyInForce();
}

void NavigatorToolBar::showCompanyInForce() {
    const int index = m_navigator ? m_navigator->companyInForceIndex() : -1;
    if (index < 0)
        return;
    m_settingCompany = true;
    m_companySelector->setCurrentIndex(index);
    m_settingCompany = false;
}

} // namespace host
