#include "FakeWindow.h"
#include "TestApp.h"

#include "ado/Ado.h"
#include "component/CLSLP_FORMULE.h"
#include "host/DataFrame.h"
#include "host/GlobalObject.h"
#include "host/LayoutModel.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>

using component::CLSLP_FORMULE;
using core::Variant;

namespace {

// A class wired to the fake window, a host global object, a navigator and a test responder.
class Component : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        auto driver = std::make_unique<fake::Driver>(&journal, &windows);
        drv = driver.get();
        cls = std::make_unique<CLSLP_FORMULE>(std::move(driver));
        global.setResponder(&responder);
        global.ConnectionSettings()->setConnectionString(QStringLiteral("Provider=Embedded;Data Source=x"));
    }

    // Configures the class as the host does before ShowForm, and shows the window modeless.
    fake::Window* open(bool active = true) {
        cls->setClsGlobal(&global);
        cls->setActiveNavigator(&navigator);
        cls->setCaption(Variant(QStringLiteral("Composizione formule SQL")));
        cls->setIsActive(active);
        cls->ShowForm();
        return windows.isEmpty() ? nullptr : windows.last().data();
    }

    QStringList journal;
    QList<QPointer<fake::Window>> windows;
    fake::Driver* drv = nullptr;
    host::GlobalObject global;
    host::Navigator navigator;
    host::TestResponder responder;
    std::unique_ptr<CLSLP_FORMULE> cls;
};

// ---- Conversions ----

TEST_F(Component, DefaultInterfaceIsReadableLateBound) {
    cls->setEnmContestoformule(component::vxContestoManutenzione);
    cls->setID(Variant::fromInt32(42));
    EXPECT_EQ(cls->property("enmContestoformule").toInt(), 2);
    EXPECT_EQ(Variant::fromQVariant(cls->property("ID")), Variant::fromInt32(42));
    EXPECT_TRUE(Variant::fromQVariant(CLSLP_FORMULE().property("ID")).isEmpty());
    EXPECT_EQ(host::cinterfaceOf(cls.get()), static_cast<host::Cinterface*>(cls.get()));
    QObject plain;
    EXPECT_EQ(host::cinterfaceOf(&plain), nullptr);
    EXPECT_EQ(host::cinterfaceOf(nullptr), nullptr);
}

TEST_F(Component, FiltroAlwaysReadsEmpty) {
    for (const Variant& v :
         {Variant(QStringLiteral("LP01_ID = 1")), Variant::fromInt32(7), Variant::null()}) {
        cls->setFiltro(v);
        EXPECT_TRUE(cls->Filtro().isEmpty());
    }
}

TEST_F(Component, TopAndLeftAreStoredAs32BitIntegers) {
    struct Case {
        Variant in;
        Variant expected; // after a previous value of 99
    };
    const Case cases[] = {
        {Variant(QStringLiteral("150")), Variant::fromInt32(150)},
        {Variant::fromInt16(-5), Variant::fromInt32(-5)},
        {Variant::fromDouble(2.5), Variant::fromInt32(2)}, // banker's rounding
        {Variant::fromDouble(3.5), Variant::fromInt32(4)},
        {Variant::fromInt64(std::numeric_limits<std::int32_t>::max()), Variant::fromInt32(2147483647)},
        {Variant::fromInt64(std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1),
         Variant::fromInt32(99)},
        {Variant(QStringLiteral("abc")), Variant::fromInt32(99)},
        {Variant::null(), Variant::fromInt32(99)},
        {Variant(), Variant::fromInt32(0)}, // Empty converts to 0
    };
    for (const Case& c : cases) {
        cls->setTop(Variant::fromInt32(99));
        cls->setLeft(Variant::fromInt32(99));
        cls->setTop(c.in);
        cls->setLeft(c.in);
        EXPECT_EQ(cls->Top(), c.expected) << c.in.typeName().toStdString();
        EXPECT_EQ(cls->Left(), c.expected) << c.in.typeName().toStdString();
        EXPECT_EQ(cls->Top().type(), core::VarType::Long);
    }
}

TEST_F(Component, WindowStateAndProgramModeKeepTheirValueOutside16Bits) {
    struct Case {
        std::int32_t in;
        std::int32_t expected; // after a previous value of 2
    };
    const Case cases[] = {
        {0, 0},     {1, 1},      {32767, 32767}, {-32768, -32768},
        {32768, 2}, {-32769, 2}, {40000, 2},     {std::numeric_limits<std::int32_t>::min(), 2}};
    for (const Case& c : cases) {
        cls->setWindowState(2);
        cls->setProgramMode(2);
        cls->setWindowState(c.in);
        cls->setProgramMode(c.in);
        EXPECT_EQ(cls->WindowState(), c.expected) << c.in;
        EXPECT_EQ(cls->ProgramMode(), c.expected) << c.in;
    }
}

// ---- TransferData ----

TEST_F(Component, TransferDataRaisesExactlyOneEventWithAnEqualValue) {
    QObject object;
    for (const Variant& v : {Variant(QStringLiteral("dati")), Variant::fromInt32(42), Variant::null(),
                             Variant(), Variant::fromObject(&object)}) {
        QSignalSpy spy(cls.get(), &CLSLP_FORMULE::DataTransfer);
        const Variant result = cls->TransferData(v);
        EXPECT_TRUE(result.isEmpty());
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).value<Variant>(), v);
    }
}

// ---- ShowForm / CloseForm ----

TEST_F(Component, ModelessShowFormRunsTheStepsInOrderAndReturnsEmpty) {
    cls->setWindowState(2);
    cls->setCaption(Variant::fromInt32(12));
    const Variant result = cls->ShowForm();
    EXPECT_TRUE(result.isEmpty());
    EXPECT_EQ(journal, (QStringList{"create", "ActiveInterface", "ActiveClass", "WindowState(2)",
                                    "Caption(12)", "ShowModeless"}));
    ASSERT_EQ(windows.size(), 1);
    fake::Window* w = windows.first();
    EXPECT_EQ(w->activeInterface.data(), cls.get());
    EXPECT_EQ(w->activeClass.data(), cls.get());
    EXPECT_TRUE(w->open);
    EXPECT_EQ(cls->window(), w);
}

TEST_F(Component, ShowFormHandsTheReplacedActiveDllToTheWindow) {
    CLSLP_FORMULE other(std::make_unique<fake::Driver>(&journal, &windows));
    cls->setActiveDll(&other);
    cls->ShowForm();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows.first()->activeInterface.data(), &other);
    EXPECT_EQ(windows.first()->activeClass.data(), cls.get());
}

TEST_F(Component, ModalShowFormReturnsWhenTheWindowIsClosed) {
    bool closedInside = false;
    drv->onModal = [&](fake::Window* w) {
        // While the window is open the host is still inside ShowForm.
        EXPECT_TRUE(w->open);
        EXPECT_EQ(cls->CloseForm(), Variant::fromBool(true));
        closedInside = true;
    };
    cls->setWindowModal(true);
    const Variant result = cls->ShowForm();
    EXPECT_TRUE(closedInside);
    EXPECT_TRUE(result.isEmpty());
    EXPECT_EQ(journal.mid(journal.size() - 3), (QStringList{"ShowModal", "unload", "ModalReturned"}));
}

TEST_F(Component, CloseFormWithoutWindowReturnsTrue) {
    const Variant result = cls->CloseForm();
    EXPECT_EQ(result.type(), core::VarType::Boolean);
    EXPECT_TRUE(result.toBool());
}

TEST_F(Component, CloseFormAfterACompleteUnloadReturnsTrueAndClearsTheHostReferences) {
    QObject frame;
    ado::Connection connection;
    cls->setActiveFrame(&frame);
    cls->setConnection(&connection);
    open();
    const Variant result = cls->CloseForm();
    EXPECT_EQ(result, Variant::fromBool(true));
    EXPECT_EQ(cls->ActiveDll(), nullptr);
    EXPECT_EQ(cls->ActiveFrame(), nullptr);
    EXPECT_EQ(cls->Connection(), nullptr);
    // The class keeps the unloaded window object.
    EXPECT_NE(cls->window(), nullptr);
}

TEST_F(Component, CloseFormReturnsFalseWhenTheUnloadDidNotComplete) {
    drv->nextUnloadFails = true;
    open();
    EXPECT_EQ(cls->CloseForm(), Variant::fromBool(false));
    EXPECT_EQ(cls->ActiveDll(), static_cast<host::Cinterface*>(cls.get()));
}

TEST_F(Component, ShowFormAfterAnUnloadGivesTheNewWindowNoInterface) {
    open();
    cls->CloseForm();
    cls->ShowForm();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows.at(1)->activeInterface.data(), nullptr);
    EXPECT_NE(windows.at(0).data(), nullptr); // both windows stay with the class
}

TEST_F(Component, FailingWindowCreationIsSuppressed) {
    struct Failing : fake::Driver {
        using fake::Driver::Driver;
        QObject* create() override {
            throw core::ComError(429, QStringLiteral("ActiveX can't create object"));
        }
    };
    CLSLP_FORMULE c(std::make_unique<Failing>(&journal, &windows));
    EXPECT_TRUE(c.ShowForm().isEmpty());
    EXPECT_EQ(c.CloseForm(), Variant::fromBool(true));
    EXPECT_TRUE(windows.isEmpty());
}

// ---- Class_Initialize / Class_Terminate ----

TEST_F(Component, TerminateReleasesInOrderAndDestroysTheWindow) {
    host::MenuItem item;
    cls->setClsVoceMenu(&item);
    fake::Window* w = open();
    QPointer<fake::Window> watched(w);
    QStringList steps;
    int eventsAfterNavigatorRelease = -1;
    cls->setTerminateTrace([&](const QString& step) {
        steps << step;
        if (step == QLatin1String("ActiveNavigator")) {
            // The handlers are disconnected: an event no longer reaches the class.
            navigator.raiseBeforeChangeDitta();
            eventsAfterNavigatorRelease = static_cast<int>(responder.requests().size());
            EXPECT_FALSE(watched.isNull()); // the window goes last
        }
    });
    cls.reset();
    EXPECT_EQ(steps, (QStringList{"ClsGlobal", "ClsVoceMenu", "ActiveNavigator", "ActiveDll", "window"}));
    EXPECT_EQ(eventsAfterNavigatorRelease, 0);
    EXPECT_TRUE(watched.isNull());
}

TEST_F(Component, NavigatorReplacementMovesTheHandlers) {
    fake::Window* w = open();
    host::Navigator second;
    cls->setActiveNavigator(&second);
    bool cancel = navigator.raiseBeforeChangeDitta();
    EXPECT_FALSE(cancel);
    EXPECT_TRUE(responder.requests().isEmpty());
    responder.push(host::answer::No);
    cancel = second.raiseBeforeChangeDitta();
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(w->open);
}

// ---- Variant setting chain ----

TEST_F(Component, VariantSettingIsReadThroughFourProperties) {
    EXPECT_THROW(host::variantSetting(cls.get()), core::ComError); // no global object
    EXPECT_FALSE(host::variantsEnabled(cls.get()));
    cls->setClsGlobal(&global);
    EXPECT_EQ(host::variantSetting(cls.get()), Variant::fromInt32(0));
    EXPECT_FALSE(host::variantsEnabled(cls.get()));
    global.Settings()->Configurator()->setVariantsEnabled(Variant::fromInt16(1));
    EXPECT_TRUE(host::variantsEnabled(cls.get()));
    global.Settings()->Configurator()->setVariantsEnabled(Variant::fromInt32(2));
    EXPECT_FALSE(host::variantsEnabled(cls.get()));
}

} // namespace
