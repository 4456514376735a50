#pragma once

// The host around one editor window, shared by the window's tests.
#include "FakeClass.h"

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "editor/FRMLP_FORMULE.h"
#include "host/LayoutModel.h"
#include "host/LogObject.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"
#include "host/TranslationService.h"
#include "host/controls/HostControls.h"
#include "host/controls/MDIActiveX.h"
#include "host/controls/VXL_RESIZEFORM.h"
#include "host/controls/VxlRichTextBox.h"
#include "instructions/FRMLP_ISTRUZIONI.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

// Readable texts in the failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace editortest {

using editor::FRMLP_FORMULE;

// The window's controls, found in its widget tree as a user's tools would find them: by their
// names, and the two host controls without a picture of their own by their type.
struct Controls {
    controls::VxlRichTextBox* TXT_FORMULA;
    QTreeWidget* TVW_FIELDS;
    controls::VXL_TITLEBAR* LBL_ELEMSELEZ;
    controls::VXL_TITLEBAR* LBL_OPERATORI_;
    controls::VXL_GROUPBOX* GRB_COMPFORMULE;
    controls::VXL_TBARMENU* IMG_UNDO;
    controls::VXL_TBARMENU* IMG_REDO;
    controls::VXL_TBARMENU* IMG_LEGEND;
    controls::VXL_TBARMENU* IMG_CLEAR;
    controls::VXL_TBARMENU* IMG_SAVE;
    controls::VXL_TBARMENU* IMG_CHECK;
    controls::VXL_TBARMENU* IMG_EXPCOL;
    controls::VXL_TBARMENU* IMG_TRIAL;
    QCheckBox* CHK_DEBUG;
    controls::VXL_RESIZEFORM* RESIZEFORM;
    controls::MDIActiveX* MDIActiveX1;
    QMenu* mnuPrincipale;
    QAction* mnuSeleziona;
    QAction* mnuDeseleziona;
};

template <typename T> T* namedChild(const QObject& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no control " << name;
    return child;
}

inline Controls ui(const QObject& w) {
    return {namedChild<controls::VxlRichTextBox>(w, "TXT_FORMULA"),
            namedChild<QTreeWidget>(w, "TVW_FIELDS"),
            namedChild<controls::VXL_TITLEBAR>(w, "LBL_ELEMSELEZ"),
            namedChild<controls::VXL_TITLEBAR>(w, "LBL_OPERATORI_"),
            namedChild<controls::VXL_GROUPBOX>(w, "GRB_COMPFORMULE"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_UNDO"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_REDO"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_LEGEND"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_CLEAR"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_SAVE"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_CHECK"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_EXPCOL"),
            namedChild<controls::VXL_TBARMENU>(w, "IMG_TRIAL"),
            namedChild<QCheckBox>(w, "CHK_DEBUG"),
            w.findChild<controls::VXL_RESIZEFORM*>(),
            w.findChild<controls::MDIActiveX*>(),
            namedChild<QMenu>(w, "mnuPrincipale"),
            namedChild<QAction>(w, "mnuSeleziona"),
            namedChild<QAction>(w, "mnuDeseleziona")};
}

inline QApplication& app() {
    static int argc = 1;
    static char name[] = "editor_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// The host around one editor window: an embedded demo database, the global object, the navigator
// with its object models, the menu item, and a responder that answers every dialog.
class Editor : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(dir.isValid());
        host::GclsLog::setLogFilePath(dir.filePath(QStringLiteral("host.log")));
        connectionString = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
        ado::setup::initialize(connectionString, true);
        global.ConnectionSettings()->setConnectionString(connectionString);
        global.Company()->setCompanyCode(core::Variant::fromInt32(1));
        global.setResponder(&responder);
        // The user's settings of the run (drafts, places) in its own folder.
        global.Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
        navigator.setScriptModel(&script);
        navigator.setLayoutModel(&layout);
        menu.setMenuKey(core::Variant(QStringLiteral("LP_FORMULE")));
        cls.setClsGlobal(&global);
        cls.setActiveNavigator(&navigator);
        cls.setClsVoceMenu(&menu);
    }
    void TearDown() override {
        window.reset();
        FRMLP_FORMULE::setModalHook({});
        instructions::setModalRunner({});
    }

    // Opens the window as the component class does: references, state (load), caption, show.
    FRMLP_FORMULE& open(int context, const core::Variant& id) {
        cls.context = context;
        cls.id = id;
        window = std::make_unique<FRMLP_FORMULE>();
        window->setActiveInterface(&cls);
        window->setActiveClass(&cls);
        window->SetWindowState(0);
        window->SetCaption(QStringLiteral("Composizione formule SQL"));
        window->ShowModeless();
        return *window;
    }

    void execute(const QString& sql) {
        ado::Connection c;
        c.Open(connectionString);
        c.Execute(sql);
        c.Close();
    }

    QTreeWidgetItem* node(const QString& parentText, const QString& text) const {
        for (QTreeWidgetItem* item : window->treeNodes())
            if (item->text(0) == text && item->parent() != nullptr && item->parent()->text(0) == parentText)
                return item;
        return nullptr;
    }

    void doubleClick(QTreeWidgetItem* item) {
        QTreeWidget* tree = ui(*window).TVW_FIELDS;
        if (item->parent() != nullptr)
            item->parent()->setExpanded(true);
        tree->scrollToItem(item);
        const QRect r = tree->visualItemRect(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, r.center());
    }

    QStringList errorProcedures() const {
        QStringList names;
        for (const host::Request& r : responder.requests())
            if (r.kind == host::Request::Kind::Error)
                for (const char* p : {"Form_Load", "Form_Activate", "showInfo", "LoadStrutturaTree"})
                    if (r.text.contains(QLatin1String(p)))
                        names << QLatin1String(p);
        return names;
    }

    QTemporaryDir dir;
    QString connectionString;
    host::GlobalObject global;
    host::Navigator navigator;
    host::ScriptModel script;
    host::LayoutModel layout;
    host::MenuItem menu;
    host::TestResponder responder;
    FakeClass cls;
    std::unique_ptr<FRMLP_FORMULE> window;
};

} // namespace editortest
