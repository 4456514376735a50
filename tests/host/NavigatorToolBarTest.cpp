#include "TestApp.h"

#include "host/GlobalObject.h"
#include "host/LateBound.h"
#include "host/Navigator.h"
#include "host/NavigatorToolBar.h"

#include "../common/Catalogue.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

using core::Variant;

namespace {

class NavigatorToolBar : public ::testing::Test {
protected:
    void SetUp() override { guiApp(); }
};

TEST_F(NavigatorToolBar, ButtonsRaiseButtonPressedWithTheirCodes) {
    host::Navigator nav;
    QList<int> pressed;
    QObject::connect(&nav, &host::Navigator::ButtonPressed, [&](bool&, int& code) { pressed << code; });
    QString exportedTitle;
    QObject::connect(&nav, &host::Navigator::BeforeExportToOffice, [](bool&, QObject*& o) {
        host::late::set(o, "TitoloMaster", QStringLiteral("FRMLP_FORMULE"));
    });
    QObject::connect(&nav, &host::Navigator::exported, [&](const QString& t) { exportedTitle = t; });
    host::NavigatorToolBar bar(&nav);
    bar.findChild<QAction*>(QStringLiteral("button25"))->trigger();
    bar.findChild<QAction*>(QStringLiteral("button12"))->trigger();
    bar.findChild<QAction*>(QStringLiteral("button23"))->trigger();
    EXPECT_EQ(pressed, (QList<int>{25, 12}));
    EXPECT_EQ(exportedTitle, QStringLiteral("FRMLP_FORMULE"));
}

TEST_F(NavigatorToolBar, CompanySelectorAsksBeforeChanging) {
    host::GlobalObject global;
    global.Company()->setCompanyCode(Variant::fromInt32(1));
    host::Navigator nav;
    nav.setCompanies(&global, {{Variant::fromInt32(1), QStringLiteral("Ditta 1")},
                               {Variant::fromInt32(2), QStringLiteral("Ditta 2")}});
    bool refuse = true;
    int asked = 0;
    QObject::connect(&nav, &host::Navigator::BeforeChangeDitta, [&](bool& cancel) {
        ++asked;
        if (refuse)
            cancel = true;
    });
    host::NavigatorToolBar bar(&nav);
    auto* selector = bar.findChild<QComboBox*>(QStringLiteral("companySelector"));
    ASSERT_NE(selector, nullptr);
    selector->setCurrentIndex(0);
    emit selector->activated(1);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(global.Company()->CompanyCode(), Variant::fromInt32(1));
    EXPECT_EQ(selector->currentIndex(), 0); // back to the company in force
    refuse = false;
    emit selector->activated(1);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(global.Company()->CompanyCode(), Variant::fromInt32(2));
    EXPECT_EQ(selector->currentIndex(), 1);
}

TEST_F(NavigatorToolBar, CompaniesGivenLaterFillTheSelector) {
    host::GlobalObject global;
    global.Company()->setCompanyCode(Variant::fromInt32(2));
    host::Navigator nav;
    host::NavigatorToolBar bar(&nav);
    auto* selector = bar.findChild<QComboBox*>(QStringLiteral("companySelector"));
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(selector->count(), 0);
    nav.setCompanies(&global, {{Variant::fromInt32(1), QStringLiteral("Ditta 1")},
                               {Variant::fromInt32(2), QStringLiteral("Ditta 2")}});
    EXPECT_EQ(selector->count(), 2);
    EXPECT_EQ(selector->currentIndex(), 1);
}

// Every caption the tool bar shows, read from the tool bar itself, has an English entry.
TEST_F(NavigatorToolBar, EveryCaptionHasAnEnglishEntry) {
    const QMap<QString, QString> en =
        testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/host_en.ts"));
    host::Navigator nav; // no global object: the captions stay Italian
    host::NavigatorToolBar bar(&nav);
    QStringList captions{bar.windowTitle()};
    for (const QAction* action : bar.actions())
        if (!action->text().isEmpty())
            captions << action->text();
    for (const QLabel* label : bar.findChildren<QLabel*>())
        captions << label->text().trimmed();
    EXPECT_GE(captions.size(), 12);
    for (const QString& caption : captions)
        EXPECT_FALSE(en.value(caption).isEmpty()) << caption.toStdString();
}

} // namespace
