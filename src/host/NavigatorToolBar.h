#pragma once

#include <QPointer>
#include <QToolBar>

class QComboBox;

namespace host {

class Navigator;

// The navigator's tool bar: the buttons press the navigator's buttons (Navigator::pressButton)
// and the company selector asks the navigator to change the company (Navigator::changeCompany),
// then shows the company in force. The captions go through the global object's translation.
class NavigatorToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit NavigatorToolBar(Navigator* navigator, QWidget* parent = nullptr);

private:
    QString translate(const char* italian) const;
    void fillCompanies();
    void showCompanyInForce();

    QPointer<Navigator> m_navigator;
    QComboBox* m_companySelector = nullptr;
    bool m_settingCompany = false;
};

} // namespace host
