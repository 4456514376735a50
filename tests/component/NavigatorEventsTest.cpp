#include "FakeWindow.h"
#include "TestApp.h"

#include "ado/Ado.h"
#include "component/CLSLP_FORMULE.h"
#include "host/DataFrame.h"
#include "host/GlobalObject.h"
#include "host/HyperMedia.h"
#include "host/LayoutModel.h"
#include "host/Navigator.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using component::CLSLP_FORMULE;
using core::Variant;

namespace {

const QString ChangePrompt = QStringLiteral("Il cambio ditta comporta la chiusura del programma, proseguo ?");
const QString MediaPrompt =
    QStringLiteral("Il collegamento ai dati multimediali è possibile solamente in fase di variazione");

// A provider record with a media identifier (or without the column).
ado::RecordsetPtr providerRow(bool withMediaColumn = true) {
    core::RowSet rows;
    rows.columns = {QStringLiteral("LP01_ID"), QStringLiteral("LP01_DESCRIZIONE")};
    QList<Variant> row = {Variant::fromInt32(42), Variant(QStringLiteral("Provider 42"))};
    if (withMediaColumn) {
        rows.columns << QStringLiteral("LP01_IDMEDIA_CG99");
        row << Variant::fromInt32(9001);
    }
    rows.rows.append(row);
    return std::make_shared<ado::Recordset>(rows);
}

class NavigatorEvents : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        auto driver = std::make_unique<fake::Driver>(&journal, &windows);
        cls = std::make_unique<CLSLP_FORMULE>(std::move(driver));
        global.setResponder(&responder);
        global.ConnectionSettings()->setConnectionString(
            QStringLiteral("Provider=Embedded;Data Source=demo"));
        global.HostContext()->setContextValue1(Variant(QStringLiteral("LP")));
        global.HostContext()->setContextValue2(Variant::fromInt32(7));
        frame.setRecordset(providerRow());
        frame.setName(QStringLiteral("LP01_PROVIDER"));
        cls->setClsGlobal(&global);
        cls->setActiveNavigator(&navigator);
        cls->setActiveFrame(&frame);
        cls->sethwndParent(4660);
        cls->setCaption(Variant(QStringLiteral("Composizione formule SQL")));
        cls->setIsActive(true);
        cls->ShowForm();
        window = windows.last();
        global.setCurrentInterface(cls.get());
        frame.clearCalls();
        global.clearCalls();
    }

    int press(int code) {
        int button = code;
        EXPECT_FALSE(navigator.raiseButtonPressed(button));
        return button;
    }

    QStringList journal;
    QList<QPointer<fake::Window>> windows;
    QPointer<fake::Window> window;
    host::GlobalObject global;
    host::Navigator navigator;
    host::DataFrame frame;
    host::TestResponder responder;
    std::unique_ptr<CLSLP_FORMULE> cls;
};

// Every event raised once, with fresh models and export object; returns the Cancel of each.
struct Raised {
    bool cancels[5];
};
Raised raiseAll(host::Navigator& navigator, host::ExportToOffice& exportObject, host::LayoutModel& layout,
                host::ScriptModel& script) {
    Raised r{};
    r.cancels[0] = navigator.raiseBeforeChangeDitta();
    QObject* exp = &exportObject;
    r.cancels[1] = navigator.raiseBeforeExportToOffice(exp);
    int button = host::button::Multimedia;
    r.cancels[2] = navigator.raiseButtonPressed(button);
    host::LayoutModel* l = &layout;
    r.cancels[3] = navigator.raiseInitializeLayoutObjectModel(l);
    host::ScriptModel* s = &script;
    r.cancels[4] = navigator.raiseInitializeScriptObjectModel(s);
    return r;
}

TEST_F(NavigatorEvents, InactiveInterfaceDoesNothing) {
    cls->setIsActive(false);
    host::ExportToOffice exportObject;
    host::LayoutModel layout;
    host::ScriptModel script;
    const Raised r = raiseAll(navigator, exportObject, layout, script);
    for (bool c : r.cancels)
        EXPECT_FALSE(c);
    EXPECT_TRUE(responder.requests().isEmpty());
    EXPECT_TRUE(exportObject.calls().isEmpty());
    EXPECT_TRUE(layout.calls().isEmpty());
    EXPECT_TRUE(script.calls().isEmpty());
    EXPECT_TRUE(frame.calls().isEmpty());
    EXPECT_EQ(cls->hyperMedia(), nullptr);
    EXPECT_TRUE(window->open);
}

TEST_F(NavigatorEvents, AfterTheUnloadNoInterfaceMeansNothingHappens) {
    cls->CloseForm();
    ASSERT_EQ(cls->ActiveDll(), nullptr);
    host::ExportToOffice exportObject;
    host::LayoutModel layout;
    host::ScriptModel script;
    const Raised r = raiseAll(navigator, exportObject, layout, script);
    for (bool c : r.cancels)
        EXPECT_FALSE(c);
    EXPECT_TRUE(responder.requests().isEmpty());
    EXPECT_TRUE(exportObject.calls().isEmpty());
    EXPECT_TRUE(layout.calls().isEmpty());
    EXPECT_TRUE(script.calls().isEmpty());
}

TEST_F(NavigatorEvents, CompanyChangeAnsweredNoCancelsAndKeepsTheWindow) {
    responder.push(host::answer::No);
    EXPECT_TRUE(navigator.raiseBeforeChangeDitta());
    ASSERT_EQ(responder.requests().size(), 1);
    const host::Request& q = responder.requests().first();
    EXPECT_EQ(q.text, ChangePrompt);
    EXPECT_EQ(q.code, 4);
    EXPECT_EQ(q.title, QStringLiteral("Composizione formule SQL"));
    EXPECT_EQ(q.kind, host::Request::Kind::Message);
    EXPECT_TRUE(window->open);
    EXPECT_FALSE(journal.contains(QStringLiteral("unload")));
    // The question went through the window's log object.
    EXPECT_EQ(window->log->callCount(QStringLiteral("MessageBox")), 1);
}

TEST_F(NavigatorEvents, CompanyChangeAnsweredYesUnloadsTheWindow) {
    responder.push(host::answer::Yes);
    EXPECT_FALSE(navigator.raiseBeforeChangeDitta());
    EXPECT_FALSE(window->open);
    EXPECT_TRUE(journal.contains(QStringLiteral("unload")));
    EXPECT_EQ(cls->ActiveDll(), nullptr);
}

TEST_F(NavigatorEvents, CompanyChangeThroughTheNavigatorsSelector) {
    global.Company()->setCompanyCode(Variant::fromInt32(1));
    navigator.setCompanies(&global, {{Variant::fromInt32(1), QStringLiteral("Ditta 1")},
                                     {Variant::fromInt32(2), QStringLiteral("Ditta 2")}});
    responder.push(host::answer::No);
    EXPECT_FALSE(navigator.changeCompany(Variant::fromInt32(2)));
    EXPECT_EQ(global.Company()->CompanyCode(), Variant::fromInt32(1));
    responder.push(host::answer::Yes);
    EXPECT_TRUE(navigator.changeCompany(Variant::fromInt32(2)));
    EXPECT_EQ(global.Company()->CompanyCode(), Variant::fromInt32(2));
    // The window is gone: a further change goes ahead without a question.
    EXPECT_TRUE(navigator.changeCompany(Variant::fromInt32(1)));
    EXPECT_EQ(responder.requests().size(), 2);
}

TEST_F(NavigatorEvents, ExportNamesTheWindow) {
    host::ExportToOffice exportObject;
    QObject* exp = &exportObject;
    EXPECT_FALSE(navigator.raiseBeforeExportToOffice(exp));
    EXPECT_EQ(exportObject.TitoloMaster(), QStringLiteral("FRMLP_FORMULE"));
    EXPECT_EQ(exp, &exportObject);
}

TEST_F(NavigatorEvents, ExportWithAnObjectWithoutTitleIsSuppressed) {
    QObject plain;
    QObject* exp = &plain;
    EXPECT_FALSE(navigator.raiseBeforeExportToOffice(exp));
    QObject* none = nullptr;
    EXPECT_FALSE(navigator.raiseBeforeExportToOffice(none));
}

TEST_F(NavigatorEvents, OtherButtonsAreIgnored) {
    for (int code : {24, 26, 0, -25, 1}) {
        EXPECT_EQ(press(code), code);
        EXPECT_TRUE(frame.calls().isEmpty()) << code;
        EXPECT_TRUE(responder.requests().isEmpty()) << code;
        EXPECT_EQ(cls->hyperMedia(), nullptr) << code;
    }
}

TEST_F(NavigatorEvents, MultimediaWithoutFrameOrRecordsetDoesNothing) {
    frame.setRecordset(nullptr);
    press(25);
    EXPECT_EQ(frame.callNames(), QStringList{QStringLiteral("Recordset")});
    EXPECT_EQ(cls->hyperMedia(), nullptr);
    cls->setActiveFrame(nullptr);
    press(25);
    EXPECT_EQ(cls->hyperMedia(), nullptr);
    EXPECT_TRUE(responder.requests().isEmpty());
}

TEST_F(NavigatorEvents, MultimediaWhileInsertingOnlyShowsTheNotice) {
    frame.setStatus(host::frame::Inserting);
    press(25);
    ASSERT_EQ(responder.requests().size(), 1);
    const host::Request& q = responder.requests().first();
    EXPECT_EQ(q.text, MediaPrompt);
    EXPECT_EQ(q.code, 64);
    EXPECT_EQ(q.title, QStringLiteral("Avviso Utente"));
    EXPECT_EQ(frame.callCount(QStringLiteral("Update")), 0);
    EXPECT_EQ(cls->hyperMedia(), nullptr);
}

TEST_F(NavigatorEvents, MultimediaOnAChangedRecordSavesItFirst) {
    frame.setStatus(host::frame::Modified);
    press(25);
    ASSERT_NE(cls->hyperMedia(), nullptr);
    EXPECT_EQ(frame.callNames(), (QStringList{"Recordset", "Status", "Update"}));
    ASSERT_EQ(cls->hyperMedia()->callCount(QStringLiteral("HypermediaOpen")), 1);
    EXPECT_TRUE(responder.requests().isEmpty());
}

TEST_F(NavigatorEvents, MultimediaWhileVaryingOpensTheMediaWithTheHostsValues) {
    frame.setStatus(host::frame::Editing);
    press(25);
    EXPECT_EQ(frame.callCount(QStringLiteral("Update")), 0);
    ASSERT_NE(cls->hyperMedia(), nullptr);
    ASSERT_EQ(cls->hyperMedia()->calls().size(), 1);
    const host::Call& call = cls->hyperMedia()->calls().first();
    EXPECT_EQ(call.member, QStringLiteral("HypermediaOpen"));
    ASSERT_EQ(call.args.size(), 7);
    EXPECT_EQ(call.args[0], Variant(QStringLiteral("LP")));
    EXPECT_EQ(call.args[1], Variant::fromInt32(7));
    EXPECT_EQ(call.args[2], Variant(QStringLiteral("Provider=Embedded;Data Source=demo")));
    EXPECT_EQ(call.args[3], Variant::fromInt32(9001));
    EXPECT_EQ(call.args[4], Variant::fromInt32(4660));
    EXPECT_EQ(call.args[5], Variant::fromInt32(1));
    EXPECT_EQ(call.args[6], Variant::fromInt32(0));
}

TEST_F(NavigatorEvents, TwoPressesUseOneHypermediaObject) {
    const int before = host::CHyperMedia::instancesCreated();
    press(25);
    host::CHyperMedia* first = cls->hyperMedia();
    press(25);
    EXPECT_EQ(cls->hyperMedia(), first);
    EXPECT_EQ(host::CHyperMedia::instancesCreated() - before, 1);
    EXPECT_EQ(first->callCount(QStringLiteral("HypermediaOpen")), 2);
}

TEST_F(NavigatorEvents, FrameWithoutTheMediaFieldPassesEmpty) {
    frame.setRecordset(providerRow(false));
    press(25);
    ASSERT_NE(cls->hyperMedia(), nullptr);
    ASSERT_EQ(cls->hyperMedia()->calls().size(), 1);
    EXPECT_TRUE(cls->hyperMedia()->calls().first().args[3].isEmpty());
}

TEST_F(NavigatorEvents, LayoutModelReceivesTheTitleAndTheWindow) {
    host::LayoutModel layout;
    host::LayoutModel* l = &layout;
    EXPECT_FALSE(navigator.raiseInitializeLayoutObjectModel(l));
    ASSERT_EQ(layout.calls().size(), 1);
    EXPECT_EQ(layout.callStrings().first(),
              QStringLiteral(
                  "LayoutInitialize(\"Gestione provider listini parametrici\", FRMLP_FORMULE, 0, 0, 0)"));
    EXPECT_EQ(cls->window(), window.data());
}

TEST_F(NavigatorEvents, LayoutModelMayReplaceTheWindowReference) {
    host::LayoutModel layout;
    QObject replacement;
    layout.setReplacement(&replacement);
    host::LayoutModel* l = &layout;
    navigator.raiseInitializeLayoutObjectModel(l);
    EXPECT_EQ(cls->window(), &replacement);
}

TEST_F(NavigatorEvents, ScriptModelReceivesTheWindowAndTheFrame) {
    host::ScriptModel script;
    host::ScriptModel* s = &script;
    EXPECT_FALSE(navigator.raiseInitializeScriptObjectModel(s));
    EXPECT_EQ(script.callStrings(),
              (QStringList{"ScriptAddObject(\"FRMLP_FORMULE\", FRMLP_FORMULE, 0, \"FRMLP_FORMULE\")",
                           "ScriptAddObject(\"LP01_PROVIDER\", DataFrame, 3, \"LP01_PROVIDER\")"}));
}

TEST_F(NavigatorEvents, ScriptModelWithoutFrameRegistersTheWindowOnly) {
    cls->setActiveFrame(nullptr);
    host::ScriptModel script;
    QObject replacement;
    replacement.setObjectName(QStringLiteral("altro"));
    script.setReplacement(&replacement);
    host::ScriptModel* s = &script;
    navigator.raiseInitializeScriptObjectModel(s);
    EXPECT_EQ(script.callCount(QStringLiteral("ScriptAddObject")), 1);
    EXPECT_EQ(cls->window(), &replacement);
}

} // namespace
