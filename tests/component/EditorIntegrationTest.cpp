// The component with the real editor window, on a temporary embedded demo database.
#include "TestApp.h"

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "component/CLSLP_FORMULE.h"
#include "editor/FRMLP_FORMULE.h"
#include "host/GlobalObject.h"
#include "host/LogObject.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"

#include <QApplication>
#include <QLibrary>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using component::CLSLP_FORMULE;
using core::Variant;

namespace {

class EditorIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        testApp<QApplication>();
        ASSERT_TRUE(dir.isValid());
        host::GclsLog::setLogFilePath(dir.filePath(QStringLiteral("host.log")));
        connectionString = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
        ado::setup::initialize(connectionString, true);
        global.ConnectionSettings()->setConnectionString(connectionString);
        global.Company()->setCompanyCode(Variant::fromInt32(1));
        global.setResponder(&responder);
        global.Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
        navigator.setScriptModel(&script);
        item.setMenuKey(Variant(QStringLiteral("LP_FORMULE")));
        cls = std::make_unique<CLSLP_FORMULE>(component::makeEditorDriver());
        cls->setEnmContestoformule(component::vxContestoProvider);
        cls->setID(Variant::fromInt32(1));
        cls->setClsGlobal(&global);
        cls->setActiveNavigator(&navigator);
        cls->setClsVoceMenu(&item);
        cls->setCaption(Variant(QStringLiteral("Composizione formule SQL")));
        cls->setIsActive(true);
    }
    void TearDown() override {
        cls.reset();
        editor::FRMLP_FORMULE::setModalHook({});
        host::GclsLog::setLogFilePath(QString());
    }

    editor::FRMLP_FORMULE* window() const { return qobject_cast<editor::FRMLP_FORMULE*>(cls->window()); }

    QTemporaryDir dir;
    QString connectionString;
    host::GlobalObject global;
    host::Navigator navigator;
    host::ScriptModel script;
    host::MenuItem item;
    host::TestResponder responder;
    std::unique_ptr<CLSLP_FORMULE> cls;
};

TEST_F(EditorIntegration, ModelessOpenAndCloseHandTheWindowsConnectionToTheHostAndBack) {
    EXPECT_TRUE(cls->ShowForm().isEmpty());
    editor::FRMLP_FORMULE* w = window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Composizione formule SQL"));
    EXPECT_EQ(w->ActiveClass(), cls.get());
    EXPECT_EQ(w->ActiveInterface(), static_cast<host::Cinterface*>(cls.get()));
    // The host supplied no connection: the window's own one is handed over at load.
    ASSERT_NE(w->GconConnect(), nullptr);
    EXPECT_EQ(cls->Connection(), w->GconConnect());
    EXPECT_TRUE(responder.requests().isEmpty());

    EXPECT_EQ(cls->CloseForm(), Variant::fromBool(true));
    EXPECT_EQ(cls->ActiveDll(), nullptr);
    EXPECT_EQ(cls->ActiveFrame(), nullptr);
    EXPECT_EQ(cls->Connection(), nullptr);
    EXPECT_EQ(w->ActiveInterface(), nullptr);
    EXPECT_EQ(cls->window(), w); // kept until the class goes
    EXPECT_GE(global.callCount(QStringLiteral("ReleaseInterface")), 1);
}

TEST_F(EditorIntegration, ModalShowFormReturnsWhenTheWindowCloses) {
    bool shownInside = false;
    editor::FRMLP_FORMULE::setModalHook([&](editor::FRMLP_FORMULE* w) {
        shownInside = w->isVisible();
        w->close();
    });
    cls->setWindowModal(true);
    EXPECT_TRUE(cls->ShowForm().isEmpty());
    EXPECT_TRUE(shownInside);
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->ActiveInterface(), nullptr);
    EXPECT_EQ(cls->ActiveDll(), nullptr);
    EXPECT_EQ(cls->CloseForm(), Variant::fromBool(true));
}

TEST_F(EditorIntegration, BadConnectionStringIsShownAndIgnoredAnswerGoesOn) {
    global.ConnectionSettings()->setConnectionString(QStringLiteral("Provider=Embedded;Data Source=") +
                                                     dir.filePath(QStringLiteral("missing/x.sqlite")));
    responder.setFallback(host::answer::Ignore);
    EXPECT_TRUE(cls->ShowForm().isEmpty());
    ASSERT_FALSE(responder.requests().isEmpty());
    const host::Request& first = responder.requests().first();
    EXPECT_EQ(first.kind, host::Request::Kind::Error);
    EXPECT_EQ(first.code, 4370);
    EXPECT_TRUE(first.text.contains(QStringLiteral("Form_Load")));
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(window()->isVisible());
    EXPECT_EQ(cls->CloseForm(), Variant::fromBool(true));
}

TEST_F(EditorIntegration, NavigatorCompanyChangeAnsweredYesClosesTheRealWindow) {
    cls->ShowForm();
    responder.push(host::answer::Yes);
    EXPECT_FALSE(navigator.raiseBeforeChangeDitta());
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests().first().title, QStringLiteral("Composizione formule SQL"));
    EXPECT_EQ(window()->ActiveInterface(), nullptr);
    EXPECT_FALSE(window()->isVisible());
}

#ifdef FORMULE_COMPONENT_LIBRARY
TEST(ComponentLibrary, ClassObjectCreatesTheClassByItsName) {
    testApp<QApplication>();
    QLibrary library(QStringLiteral(FORMULE_COMPONENT_LIBRARY));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    auto create = reinterpret_cast<QObject* (*)(const char*)>(library.resolve("formule_create"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create("QEDRIX.ALTRA"), nullptr);
    EXPECT_EQ(create(nullptr), nullptr);
    std::unique_ptr<QObject> object(create("QEDRIX.CLSLP_FORMULE"));
    ASSERT_NE(object, nullptr);
    host::Cinterface* plugin = host::cinterfaceOf(object.get());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->ActiveDll(), plugin);
    EXPECT_EQ(object->property("enmContestoformule").toInt(), 0);
    EXPECT_TRUE(Variant::fromQVariant(object->property("ID")).isEmpty());
}
#endif

} // namespace
