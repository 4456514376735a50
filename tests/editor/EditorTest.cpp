#include "EditorFixture.h"

namespace {

using namespace editortest;
using editor::FRMLP_FORMULE;

TEST_F(Editor, FirstActivationRunsTheExactStatementOfEachContext) {
    struct Case {
        int context;
        QString statement;
        QString title;
        QString shown;
    };
    const Case cases[] = {
        {0, "SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 1",
         "Formule della Condizione", "SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"},
        {1, "SELECT  LP07_FORMULE AS FORMULA FROM  LP07_QUOTAZIONI  WHERE  LP07_ID = 1",
         "Formule del Listino", "SET [Prezzo lordo] = [Prezzo lordo - IN] * 1.1"},
        {2, "SELECT  LP17_FORMULA AS FORMULA FROM  LP17_FORMULEMANUT  WHERE  LP17_ID = 1",
         "Formule della manutenzione listini", "SET [Prezzo lordo] = ROUND([Prezzo lordo - CURR] * 1.03, 2)"},
    };
    for (const Case& c : cases) {
        FRMLP_FORMULE& w = open(c.context, core::Variant::fromInt32(1));
        EXPECT_EQ(w.SqlText(), c.statement) << c.context;
        EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), c.title);
        EXPECT_EQ(ui(w).TXT_FORMULA->Text(), c.shown);
        EXPECT_EQ(w.UndoIndex(), 1); // the formula as shown is the first snapshot
        EXPECT_EQ(w.UndoBuffer(1), c.shown);
        EXPECT_FALSE(w.FirstActivation());
    }
    EXPECT_TRUE(errorProcedures().isEmpty()) << responder.requests().size();
}

TEST_F(Editor, StoredFormulaShowsSingleQuotesAndNoTrailingBlanks) {
    execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'IF ''a''''b'' = ''x'' SELECT 1   ' "
                           "WHERE LP01_ID = 4"));
    FRMLP_FORMULE& w = open(0, core::Variant(QStringLiteral("4")));
    EXPECT_EQ(w.SqlText(),
              QStringLiteral("SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 4"));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("IF 'a'b' = 'x' SELECT 1"));
}

TEST_F(Editor, NoIdentifierRunsNoQuery) {
    const core::Variant ids[] = {core::Variant::fromInt32(0), core::Variant(), core::Variant::null(),
                                 core::Variant(QString())};
    for (const core::Variant& id : ids) {
        FRMLP_FORMULE& w = open(0, id);
        EXPECT_TRUE(w.SqlText().isEmpty()) << id.typeName().toStdString();
        EXPECT_EQ(w.lastRecordset(), nullptr);
        EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
        EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Formula"));
        EXPECT_EQ(w.UndoIndex(), 0);
        EXPECT_FALSE(w.treeNodes().isEmpty()); // the tree is built all the same
    }
}

TEST_F(Editor, RecordWithoutFormulaLeavesTheBoxEmptyAndTheHistoryUnstarted) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(999));
    EXPECT_EQ(w.SqlText(),
              QStringLiteral("SELECT  LP01_FORMULE AS FORMULA FROM  LP01_PROVIDER WHERE  LP01_ID = 999"));
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    EXPECT_EQ(w.UndoIndex(), 0);
}

TEST_F(Editor, SecondActivationDoesNotReload) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const qint64 statements = w.GconConnect()->statementCount();
    execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SELECT 2' WHERE LP01_ID = 1"));
    w.hide();
    w.show();
    w.Form_Activate();
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"));
    EXPECT_EQ(w.GconConnect()->statementCount(), statements);
    EXPECT_EQ(script.callCount(QStringLiteral("ScriptFormEvent")), 1);
}

TEST_F(Editor, ActivationRegistersTheWindowWithTheHost) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    EXPECT_EQ(global.CurrentInterface(), &cls);
    EXPECT_EQ(global.application(), editor::componentApplication());
    QStringList calls = navigator.callNames();
    calls.removeIf([](const QString& c) { return !c.startsWith(QLatin1String("Navigator")); });
    EXPECT_EQ(calls.mid(0, 3), (QStringList{"NavigatorRefresh", "NavigatorPrepare", "NavigatorPrepareOpen"}));
    EXPECT_EQ(script.callStrings(),
              (QStringList{R"(ScriptFormEvent("FRMLP_FORMULE", 0, 1, "FRMLP_FORMULE"))"}));
    EXPECT_EQ(w.Ditta(), core::Variant::fromInt32(1));
    EXPECT_EQ(w.GstrConnect(), connectionString);
    EXPECT_EQ(w.GconConnect()->State(), 1);
}

TEST_F(Editor, ExecuteFormEventReportsOnlyTheOpening) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    script.clearCalls();
    navigator.clearCalls();
    EXPECT_TRUE(w.ExecuteFormEvent(core::Variant(QStringLiteral("vxClose"))).isEmpty());
    EXPECT_TRUE(script.calls().isEmpty());
    EXPECT_TRUE(navigator.calls().isEmpty());
    EXPECT_TRUE(w.ExecuteFormEvent(core::Variant(QStringLiteral("vxOpen"))).isEmpty());
    EXPECT_EQ(script.callCount(QStringLiteral("ScriptFormEvent")), 1);
    EXPECT_EQ(navigator.callCount(QStringLiteral("NavigatorPrepareOpen")), 1);
}

TEST_F(Editor, ExecuteFormEventShowsAFailingHostCallUnderItsName) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    responder.clear();
    responder.setFallback(host::answer::Ignore);
    cls.setActiveNavigator(nullptr);
    w.ExecuteFormEvent(core::Variant(QStringLiteral("vxOpen")));
    ASSERT_FALSE(responder.requests().isEmpty());
    EXPECT_TRUE(responder.requests().first().text.contains(QLatin1String("ExecuteFormEvent")));
    EXPECT_EQ(responder.requests().first().kind, host::Request::Kind::Error);
}

TEST_F(Editor, BadConnectionIsShownAndAnswerFiveContinuesWithoutConnection) {
    global.ConnectionSettings()->setConnectionString(QStringLiteral("Provider=Nowhere;Data Source=x"));
    responder.setFallback(host::answer::Ignore);
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QStringList procedures = errorProcedures();
    ASSERT_GE(procedures.size(), 2);
    EXPECT_EQ(procedures.first(), QStringLiteral("Form_Load"));
    EXPECT_TRUE(procedures.contains(QStringLiteral("Form_Activate")));
    EXPECT_EQ(responder.requests().first().code, 4370);
    EXPECT_EQ(w.Ditta(), core::Variant::fromInt32(1)); // the load went on after the failed open
    ASSERT_NE(w.GconConnect(), nullptr);
    EXPECT_EQ(w.GconConnect()->State(), 0);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    EXPECT_TRUE(ui(w).RESIZEFORM->isStarted());
}

TEST_F(Editor, AnswerThreeLeavesTheLoad) {
    global.ConnectionSettings()->setConnectionString(QStringLiteral("Provider=Nowhere;Data Source=x"));
    responder.setFallback(host::answer::Abort);
    cls.context = 0;
    cls.id = core::Variant::fromInt32(1);
    FRMLP_FORMULE w;
    w.setActiveInterface(&cls);
    w.setActiveClass(&cls);
    w.Load();
    EXPECT_EQ(errorProcedures(), QStringList{"Form_Load"});
    EXPECT_TRUE(w.Ditta().isEmpty()); // the statements after the failing one did not run
    EXPECT_FALSE(ui(w).RESIZEFORM->isStarted());
}

TEST_F(Editor, WithoutLogObjectTheErrorDisplayAnswersAbort) {
    host::TestResponder plain;
    host::ScopedResponder scoped(&plain);
    FRMLP_FORMULE w; // never loaded: no GclsLog
    w.setCurrentError({5, QStringLiteral("x"), {}});
    EXPECT_EQ(w.VisualizzaErrore(QStringLiteral("Form_Load")), 3);
    ASSERT_EQ(plain.requests().size(), 1);
    EXPECT_EQ(plain.requests().first().text, QStringLiteral("Classe Log non settata"));
    EXPECT_EQ(plain.requests().first().title, QStringLiteral("Composizione formule SQL"));
    EXPECT_EQ(plain.requests().first().code, 0);
}

TEST_F(Editor, UnloadHandsTheOwnConnectionBackAndReleasesEverything) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    QPointer<ado::Connection> own = w.GconConnect();
    ado::Connection* const ownAddress = own.data();
    ASSERT_FALSE(own.isNull());
    EXPECT_EQ(cls.Connection(), own.data());
    EXPECT_TRUE(w.Unload());
    EXPECT_EQ(cls.connectionHistory, (QList<ado::Connection*>{ownAddress, nullptr}));
    EXPECT_EQ(cls.Connection(), nullptr);
    EXPECT_EQ(cls.ActiveDll(), nullptr);
    EXPECT_EQ(cls.ActiveFrame(), nullptr);
    EXPECT_EQ(w.ActiveInterface(), nullptr);
    EXPECT_EQ(w.ActiveClass(), nullptr);
    EXPECT_EQ(w.GclsLog(), nullptr);
    EXPECT_EQ(w.GclsConnect(), nullptr);
    EXPECT_TRUE(own.isNull()); // closed and released
    EXPECT_EQ(global.CurrentInterface(), nullptr);
    EXPECT_EQ(global.OtherInterface(), nullptr);
    EXPECT_EQ(navigator.ScriptModel(), nullptr);
    EXPECT_EQ(navigator.LayoutModel(), nullptr);
    EXPECT_TRUE(script.callStrings().contains(QStringLiteral(R"(ScriptRelease("LP_FORMULE"))")));
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Editor, UnloadKeepsGoingWhenHostCallsFail) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    cls.setClsVoceMenu(nullptr);     // step 1 fails
    cls.setActiveNavigator(nullptr); // steps 2 and 3 fail
    EXPECT_TRUE(w.Unload());
    EXPECT_EQ(cls.Connection(), nullptr);
    EXPECT_EQ(cls.ActiveDll(), nullptr);
    EXPECT_EQ(global.CurrentInterface(), nullptr);
}

TEST_F(Editor, HostConnectionIsKeptAtLoadAndClearedAtUnload) {
    ado::Connection hostConnection;
    cls.setConnection(&hostConnection);
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    EXPECT_EQ(cls.Connection(), &hostConnection);
    EXPECT_NE(w.GconConnect(), &hostConnection);
    w.Unload();
    EXPECT_EQ(cls.Connection(), nullptr);
}

TEST_F(Editor, ModalWindowIsPlacedFromTheHostsLeftAndTop) {
    struct Case {
        int left, top, x, y;
    };
    for (const Case& c : {Case{0, 0, 1000, 30}, Case{500, 700, 500, 700}}) {
        cls.setWindowModal(true);
        cls.setLeft(core::Variant::fromInt32(c.left));
        cls.setTop(core::Variant::fromInt32(c.top));
        cls.id = core::Variant();
        FRMLP_FORMULE w;
        w.setActiveInterface(&cls);
        w.setActiveClass(&cls);
        w.Load();
        EXPECT_EQ(w.pos(), QPoint(controls::twipsToPixels(c.x, &w), controls::twipsToPixels(c.y, &w)));
    }
}

TEST_F(Editor, ModalShowRunsANestedLoopUntilTheWindowCloses) {
    cls.id = core::Variant::fromInt32(1);
    FRMLP_FORMULE w;
    w.setActiveInterface(&cls);
    w.setActiveClass(&cls);
    w.SetWindowState(0);
    // Runs inside the nested loop, once the window is showing.
    QMetaObject::invokeMethod(
        &w, [&w] { w.close(); }, Qt::QueuedConnection);
    w.ShowModal();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.ActiveInterface(), nullptr);
}

TEST_F(Editor, PlacementInsideTheFrameUsesTheHostsValues) {
    cls.setLeft(core::Variant::fromInt32(0));
    cls.setTop(core::Variant::fromInt32(0));
    FRMLP_FORMULE& w = open(0, core::Variant());
    ui(w).MDIActiveX1->RequestPlacement();
    EXPECT_EQ(ui(w).MDIActiveX1->lastPlacement(), QRect(0, 30, 12540, 8055));
    cls.setLeft(core::Variant::fromInt32(200));
    cls.setTop(core::Variant::fromInt32(400));
    ui(w).MDIActiveX1->RequestPlacement();
    EXPECT_EQ(ui(w).MDIActiveX1->lastPlacement(), QRect(200, 400, 12540, 8055));
}

TEST_F(Editor, ControlsAreRegisteredWithTheResizeManagerInOrder) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    const QList<QPair<QString, int>> expected = {
        {"LBL_ELEMSELEZ", 7}, {"IMG_UNDO", 3},         {"IMG_REDO", 3},  {"IMG_LEGEND", 3},
        {"IMG_CHECK", 5},     {"IMG_CLEAR", 5},        {"IMG_SAVE", 5},  {"TVW_FIELDS", 11},
        {"TXT_FORMULA", 15},  {"GRB_COMPFORMULE", 15}, {"CHK_DEBUG", 10}};
    EXPECT_EQ(ui(w).RESIZEFORM->registrations(), expected);
    const int formulaWidth = ui(w).TXT_FORMULA->width();
    const int treeWidth = ui(w).TVW_FIELDS->width();
    w.resize(w.width() + 100, w.height() + 40);
    EXPECT_EQ(ui(w).TXT_FORMULA->width(), formulaWidth + 100);
    EXPECT_EQ(ui(w).TVW_FIELDS->width(), treeWidth);
}

TEST_F(Editor, WindowHasItsControlsAndImages) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Composizione formule SQL"));
    EXPECT_EQ(ui(w).CHK_DEBUG->text(), QStringLiteral("Log Attivo"));
    EXPECT_FALSE(ui(w).CHK_DEBUG->isVisible());
    EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Formula"));
    EXPECT_EQ(ui(w).mnuPrincipale->title(), QStringLiteral("Principale"));
    EXPECT_EQ(ui(w).mnuSeleziona->text(), QStringLiteral("Seleziona entità anagrafica"));
    EXPECT_EQ(ui(w).mnuDeseleziona->text(), QStringLiteral("Deseleziona entità anagrafica"));
    EXPECT_EQ(w.imlImagesTrv().keys().size(), 7);
    for (const char* key : {"ramo", "elemento", "elementosel", "ramosel", "operatore", "minus", "plus"})
        EXPECT_FALSE(w.imlImagesTrv().value(QLatin1String(key)).isNull()) << key;
    // The formula box and the tree side by side.
    EXPECT_LT(ui(w).TVW_FIELDS->geometry().right(), ui(w).TXT_FORMULA->geometry().left());
}

TEST_F(Editor, CaptionsAndTitlesAreShownInTheHostsLanguage) {
    host::TranslationService english;
    ASSERT_GE(english.load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en")), 1);
    global.setTranslation(&english);
    FRMLP_FORMULE& w = open(1, core::Variant::fromInt32(1));
    EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Formulas of the price list"));
    EXPECT_EQ(ui(w).CHK_DEBUG->text(), QStringLiteral("Log enabled"));
    EXPECT_EQ(ui(w).mnuSeleziona->text(), QStringLiteral("Select master-data entity"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Technical information"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Formula"));
    QString instructionsTitle;
    instructions::setModalRunner([&](instructions::FRMLP_ISTRUZIONI& info) {
        instructionsTitle = info.windowTitle() + QLatin1Char('|') + info.BTN_CHIUDI->Caption();
        info.close();
    });
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(instructionsTitle, QStringLiteral("Instructions|&Close"));
    global.setTranslation(nullptr);
}

// ---- Keyboard commands --------------------------------------------------------------------

TEST_F(Editor, CtrlPEmptiesTheBoxWithoutAQuestion) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    responder.clear();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    EXPECT_TRUE(responder.requests().isEmpty());
}

TEST_F(Editor, CombinationsWithMoreThanCtrlDoNothing) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(ui(w).TXT_FORMULA->Text() + QStringLiteral(" + 1"));
    ui(w).TXT_FORMULA->SetLocked(true); // the box itself takes no character: only commands could change it
    const QString text = ui(w).TXT_FORMULA->Text();
    for (Qt::KeyboardModifiers mods :
         {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier,
          Qt::KeyboardModifiers(Qt::AltModifier)}) {
        for (Qt::Key key : {Qt::Key_P, Qt::Key_W, Qt::Key_Z}) {
            QTest::keyClick(ui(w).TXT_FORMULA, key, mods);
            EXPECT_EQ(ui(w).TXT_FORMULA->Text(), text);
            EXPECT_FALSE(w.technicalView());
        }
    }
}

TEST_F(Editor, CtrlZAndCtrlYWalkTheHistory) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QString first = ui(w).TXT_FORMULA->Text();
    ui(w).TXT_FORMULA->SetText(first + QStringLiteral(" * 2"));
    w.RecordUndoState();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), first);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), first + QStringLiteral(" * 2"));
}

TEST_F(Editor, KeyCommandsWorkFromAnyControlOfTheWindow) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    QTest::keyClick(ui(w).TVW_FIELDS, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
}

TEST_F(Editor, CtrlHChecksAndShowsTheOutcome) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    responder.clear();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests().first().text, QStringLiteral("La formula è corretta."));
}

TEST_F(Editor, CtrlSSavesTheSqlForm) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(5));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 7"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(w.SqlText().startsWith(QStringLiteral("UPDATE"))) << w.SqlText().toStdString();
    ado::Connection c;
    c.Open(connectionString);
    auto rs = c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 5"));
    EXPECT_EQ((*rs)[QStringLiteral("LP01_FORMULE")].Value().toString(), QStringLiteral("SET @OUTPREZZO = 7"));
}

TEST_F(Editor, AStoredFormulaThatCannotBeShownIsLockedAndNeverOverwritten) {
    // Its display form would pass the text limit on the way back: the box cannot show it.
    QString stored;
    for (int i = 0; i < 800; ++i)
        stored += QStringLiteral("SET @OUTPREZZO = @ATTPREZZO\r\n");
    ado::Connection c;
    c.Open(connectionString);
    c.Execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = '%1' WHERE LP01_ID = 5").arg(stored));
    responder.setFallback(host::answer::Abort);
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(5));
    EXPECT_TRUE(w.storedFormulaUnreadable());
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    EXPECT_TRUE(ui(w).TXT_FORMULA->Locked());
    EXPECT_FALSE(ui(w).IMG_SAVE->isEnabled());
    EXPECT_FALSE(ui(w).IMG_CLEAR->isEnabled());
    bool explained = false;
    for (const host::Request& r : responder.requests())
        explained = explained || r.text.contains(QStringLiteral("non può essere mostrata"));
    EXPECT_TRUE(explained);
    // Neither Ctrl+P and Ctrl+S nor the save procedure write anything.
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    w.UpdateFormula();
    auto rs = c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 5"));
    EXPECT_EQ((*rs)[QStringLiteral("LP01_FORMULE")].Value().toString(), stored);
    // The technical view shows the stored SQL, read-only; leaving it shows nothing editable.
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text().count(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO")), 800);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Locked());
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    EXPECT_TRUE(ui(w).TXT_FORMULA->Locked());
    EXPECT_FALSE(ui(w).IMG_SAVE->isEnabled());
}

TEST_F(Editor, CtrlLAndTheLegendButtonOpenANewInstructionsWindowEachTime) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    QList<const void*> shown;
    instructions::setModalRunner([&](instructions::FRMLP_ISTRUZIONI& info) {
        shown << &info;
        EXPECT_EQ(info.parentWidget(), &w);
        QTest::mouseClick(info.BTN_CHIUDI, Qt::LeftButton);
    });
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_L, Qt::ControlModifier);
    QTest::mouseClick(ui(w).IMG_LEGEND, Qt::LeftButton);
    for (const host::Request& r : responder.requests())
        ADD_FAILURE() << r.text.toStdString();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(instructions::FRMLP_ISTRUZIONI::liveInstances(), 0);
}

TEST_F(Editor, CtrlWSwitchesToTheTechnicalViewAndBack) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QString display = ui(w).TXT_FORMULA->Text();
    ui(w).LBL_ELEMSELEZ->SetTitle(QStringLiteral("another title"));
    const int history = w.UndoIndex();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(w.technicalView());
    EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Info tecniche"));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));
    EXPECT_TRUE(ui(w).TXT_FORMULA->Locked());
    EXPECT_TRUE(ui(w).TXT_FORMULA->isEnabled());
    for (QWidget* off :
         std::initializer_list<QWidget*>{ui(w).TVW_FIELDS, ui(w).IMG_SAVE, ui(w).IMG_CHECK, ui(w).IMG_CLEAR,
                                         ui(w).IMG_LEGEND, ui(w).IMG_EXPCOL, ui(w).IMG_UNDO, ui(w).IMG_REDO})
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
    EXPECT_TRUE(ui(w).CHK_DEBUG->isVisible());
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_X); // read-only: typing changes nothing
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));

    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(w.technicalView());
    EXPECT_EQ(ui(w).LBL_ELEMSELEZ->Title(), QStringLiteral("Formula"));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), display);
    EXPECT_FALSE(ui(w).TXT_FORMULA->Locked());
    for (QWidget* on :
         std::initializer_list<QWidget*>{ui(w).TVW_FIELDS, ui(w).IMG_SAVE, ui(w).IMG_CHECK, ui(w).IMG_CLEAR,
                                         ui(w).IMG_LEGEND, ui(w).IMG_EXPCOL, ui(w).IMG_UNDO, ui(w).IMG_REDO})
        EXPECT_TRUE(on->isEnabled());
    EXPECT_FALSE(ui(w).CHK_DEBUG->isVisible());
    EXPECT_EQ(w.UndoIndex(), history); // the switch records nothing
}

TEST_F(Editor, KeysStillReachTheFocusedControl) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("SET"));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET"));
}

// ---- Edit history on the real box -----------------------------------------------------------

TEST_F(Editor, TypingABlankRecordsTheTextWithTheBlankTrimmed) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("SET"));
    EXPECT_EQ(w.UndoIndex(), 0);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Space);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET "));
    EXPECT_EQ(w.UndoIndex(), 1);
    EXPECT_EQ(w.UndoBuffer(1), QStringLiteral("SET"));
    EXPECT_EQ(w.CaretPosition(), 4);
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("x"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Return);
    EXPECT_EQ(w.UndoIndex(), 2);
    EXPECT_EQ(w.UndoBuffer(2), QStringLiteral("SET x\r\n")); // only blanks are trimmed
}

TEST_F(Editor, ArrowsRecordOnlyWithoutModifiers) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    ui(w).TXT_FORMULA->SetText(QStringLiteral("a\r\nb"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Down);
    EXPECT_EQ(w.UndoIndex(), 1);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(w.UndoIndex(), 1);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Left);
    EXPECT_EQ(w.UndoIndex(), 1);
}

TEST_F(Editor, CaretMovesAreRememberedAndLosingTheFocusRecords) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    w.activateWindow();
    ui(w).TXT_FORMULA->setFocus();
    ui(w).TXT_FORMULA->SetText(QStringLiteral("abcdef"));
    ui(w).TXT_FORMULA->SetSelStart(6);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Left);
    EXPECT_EQ(w.CaretPosition(), 5);
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(ui(w).TXT_FORMULA, &out);
    EXPECT_EQ(w.UndoIndex(), 1);
    EXPECT_EQ(w.UndoBuffer(1), QStringLiteral("abcdef"));
}

TEST_F(Editor, UndoButtonStepsBack) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    QTest::mouseClick(ui(w).IMG_UNDO, Qt::LeftButton);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    QTest::mouseClick(ui(w).IMG_REDO, Qt::LeftButton);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"));
}

// ---- Element tree --------------------------------------------------------------------------

TEST_F(Editor, TreeIsBuiltWithStylesAndPictures) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    ASSERT_GE(ui(w).TVW_FIELDS->topLevelItemCount(), 9);
    QTreeWidgetItem* first = ui(w).TVW_FIELDS->topLevelItem(0);
    EXPECT_EQ(first->text(0), QStringLiteral("Quotazione"));
    EXPECT_EQ(first->data(0, Qt::UserRole).toString(), QStringLiteral("kqu"));
    EXPECT_TRUE(first->font(0).bold());
    EXPECT_EQ(first->foreground(0).color(), QColor(132, 132, 132));
    EXPECT_FALSE(first->icon(0).isNull());
    EXPECT_EQ(first->child(0)->text(0), QStringLiteral("Prezzo lordo"));
    EXPECT_EQ(w.treeNodes().at(1), first->child(0));
}

TEST_F(Editor, DoubleClickInsertsTheElementIntoAnEmptyBox) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    QTreeWidgetItem* item = node(QStringLiteral("Quotazione"), QStringLiteral("Prezzo lordo"));
    ASSERT_NE(item, nullptr);
    doubleClick(item);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("[Prezzo lordo] = "));
    EXPECT_EQ(ui(w).TXT_FORMULA->SelStart(), 16);
    EXPECT_EQ(w.CaretPosition(), 16);
    EXPECT_EQ(w.UndoIndex(), 1);
}

TEST_F(Editor, DoubleClickInsertsAtTheRememberedPosition) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 1"));
    w.setCaretPosition(10);
    doubleClick(node(QStringLiteral("Quotazione ingresso"), QStringLiteral("Sconto 2%")));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [Prezz [Sconto 2% - IN] o lordo] = 1"));
    EXPECT_EQ(w.CaretPosition(), 28);
}

TEST_F(Editor, DoubleClickOnAnOperatorAndOnABranch) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    ui(w).TXT_FORMULA->SetText(QStringLiteral("IF 1=1"));
    w.setCaretPosition(6);
    doubleClick(node(QStringLiteral("Operatori logici"), QStringLiteral("AND")));
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("IF 1=1 AND "));
    const int history = w.UndoIndex();
    const QString text = ui(w).TXT_FORMULA->Text();
    QTreeWidgetItem* branch = ui(w).TVW_FIELDS->topLevelItem(0);
    const QRect r = ui(w).TVW_FIELDS->visualItemRect(branch);
    QTest::mouseDClick(ui(w).TVW_FIELDS->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), text);
    EXPECT_EQ(w.UndoIndex(), history);
}

TEST_F(Editor, DoubleClickOnCategoryAndVariantValuesWritesTheirReferences) {
    cls.setClsGlobal(&global);
    global.Settings()->Configurator()->setVariantsEnabled(core::Variant::fromInt32(1));
    FRMLP_FORMULE& w = open(0, core::Variant());
    // The category and variant rows are read when their sub-branch is first expanded.
    const QList<QTreeWidgetItem*> built = w.treeNodes();
    for (QTreeWidgetItem* item : built) {
        if (item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) {
            EXPECT_EQ(item->childCount(), 0);
            item->setExpanded(true);
        }
    }
    EXPECT_GT(w.treeNodes().size(), built.size());
    int categories = 0, variants = 0;
    for (QTreeWidgetItem* item : w.treeNodes()) {
        if (item->childCount() != 0 || item->parent() == nullptr)
            continue;
        const QString parent = item->parent()->text(0);
        QString expected;
        if (parent == QStringLiteral("Categoria commerciale"))
            expected = QLatin1Char('{') + item->text(0) + QLatin1Char('}');
        else if (parent == QStringLiteral("Codice variante"))
            expected = QLatin1Char('|') + item->text(0) + QLatin1Char('|');
        else
            continue;
        (parent.startsWith(QLatin1Char('C')) && parent.contains(QLatin1String("Categoria")) ? categories
                                                                                            : variants)++;
        ui(w).TXT_FORMULA->SetText(QStringLiteral("IF 1 = 1"));
        w.setCaretPosition(2);
        doubleClick(item);
        EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("IF ") + expected + QStringLiteral("  1 = 1"));
    }
    EXPECT_GT(categories, 0);
    EXPECT_GT(variants, 0);
}

TEST_F(Editor, ExpandCollapseButtonTogglesTheWholeTree) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    EXPECT_EQ(ui(w).IMG_EXPCOL->pictureKey(), QStringLiteral("plus"));
    QTest::mouseClick(ui(w).IMG_EXPCOL, Qt::LeftButton);
    EXPECT_TRUE(w.TreeExpanded());
    EXPECT_EQ(ui(w).IMG_EXPCOL->pictureKey(), QStringLiteral("minus"));
    for (QTreeWidgetItem* item : w.treeNodes())
        EXPECT_TRUE(item->isExpanded() || item->childCount() == 0);
    EXPECT_EQ(ui(w).TVW_FIELDS->currentItem(), w.treeNodes().at(1));
    EXPECT_TRUE(w.updatesEnabled());
    QTest::mouseClick(ui(w).IMG_EXPCOL, Qt::LeftButton);
    EXPECT_FALSE(w.TreeExpanded());
    EXPECT_EQ(ui(w).IMG_EXPCOL->pictureKey(), QStringLiteral("plus"));
    for (QTreeWidgetItem* item : w.treeNodes())
        EXPECT_FALSE(item->isExpanded());
    // Expanding one node by hand makes the next click collapse everything.
    ui(w).TVW_FIELDS->topLevelItem(1)->setExpanded(true);
    EXPECT_TRUE(w.TreeExpanded());
    EXPECT_EQ(ui(w).IMG_EXPCOL->pictureKey(), QStringLiteral("minus"));
    QTest::mouseClick(ui(w).IMG_EXPCOL, Qt::LeftButton);
    EXPECT_FALSE(ui(w).TVW_FIELDS->topLevelItem(1)->isExpanded());
}

} // namespace
