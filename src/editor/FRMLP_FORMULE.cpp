#include "editor/FRMLP_FORMULE.h"
#include "editor/ElementFinding.h"
#include "editor/FRMLP_FORMULE_Parts.h"
#include "editor/Require.h"
#include "editor/TreeWidgetSink.h"

#include "ado/Ado.h"
#include "check/ProductionRun.h"
#include "check/SyntaxCheck.h"
#include "core/NullSafe.h"
#include "core/TextBox.h"
#include "editing/EditHistory.h"
#include "editing/FormulaStore.h"
#include "editor/ElementFinding.h"
#include "editor/FormulaAssist.h"
#include "editor/TreeWhereUsed.h"
#include "editor/TrialCases.h"
#include "editor/TrialPanel.h"
#include "host/Cinterface.h"
#include "host/ConnectionFactory.h"
#include "host/GlobalObject.h"
#include "host/LateBound.h"
#include "host/LogObject.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"
#include "host/controls/HostControls.h"
#include "host/controls/MDIActiveX.h"
#include "host/controls/VXL_RESIZEFORM.h"
#include "host/controls/VxlRichTextBox.h"
#include "instructions/FRMLP_ISTRUZIONI.h"
#include "language/FormulaLanguage.h"
#include "language/StoredFormulas.h"
#include "tables/EditingContext.h"
#include "tables/FormulaTables.h"
#include "tree/TreeImages.h"
#include "tree/TreeNode.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTextStream>
#include <QTreeWidget>

namespace editor {

namespace {

FRMLP_FORMULE::ModalHook& modalHook() {
    static FRMLP_FORMULE::ModalHook hook;
    return hook;
}

// Appends the server's message of a failed check to the host log file, where an administrator
// can read it.
void appendToHostLog(const QString& message) {
    QFile file(host::GclsLog::logFilePath());
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << QDateTime::currentDateTime().toString(Qt::ISODate) << '\t' << "CheckFormula" << '\t' << message
        << '\n';
}

} // namespace

FRMLP_FORMULE::Parts::Parts(FRMLP_FORMULE* window)
    : services(window)
    , background(std::make_unique<BackgroundRun>(window,
                                                 [window](const QString& s) { return window->translate(s); }))
    , box(window->TXT_FORMULA)
    , language(services)
    , history(box,
              [window] {
                  // The typed character reaches the box before the snapshot is taken.
                  window->TXT_FORMULA->flushPendingKey();
                  QCoreApplication::processEvents();
              })
    , syntaxCheck(box, services,
                  {.decode = check::decodeWith(language),
                   .log = appendToHostLog,
                   .run = background->runner(),
                   .checked =
                       [this](const check::SyntaxCheck& c) {
                           // Only after a check the user asked for failed, on this thread as the
                           // check itself: the save's silent check sends nothing more.
                           const bool asStored =
                               c.lastShown() && !c.lastCorrect() && !c.lastServerBusy() &&
                               check::passesAsStored(services, box.text(), background->runner());
                           assist->checked(c, asStored);
                       }})
    , store(box, services,
            {.checkFormula = editing::FormulaStore::checkWith(syntaxCheck),
             .decode = check::decodeWith(language),
             .canEncode = check::canEncodeWith(language),
             .written =
                 [this, window] {
                     assist->saved();
                     window->formulaWritten();
                     emit window->formulaSaved();
                 },
             .confirmWrite =
                 [window](const QString& sqlForm) { return window->confirmCasesBeforeSave(sqlForm); },
             // The formula's history names the host's user of the session.
             .author =
                 [window] {
                     host::Cinterface* ai = window->ActiveInterface();
                     host::GlobalObject* global = ai ? ai->ClsGlobal() : nullptr;
                     return editing::VersionAuthor{editing::Origin::Window,
                                                   global ? global->Settings()->User()->Name() : QString(),
                                                   {}};
                 },
             .expectedVersion = [window] { return window->m_loadedVersion; },
             .moved =
                 [window](const editing::FormulaVersion& newer) { return window->askOverwriteMoved(newer); }})
    , assist(std::make_unique<FormulaAssist>(window->TXT_FORMULA, window->IMG_UNDO, window->IMG_REDO, history,
                                             [window](const QString& s) { return window->translate(s); }))
    , treeSink(window->TVW_FIELDS, window->m_imlImagesTrv, window->m_treeNodes, window->m_nodesByKey)
    , whereUsed(makeWhereUsed(window)) {}

QObject* componentApplication() {
    static QObject* application = [] {
        auto* app = new QObject;
        app->setObjectName(QString::fromLatin1(ApplicationTitle));
        app->setProperty("Title", QString::fromLatin1(ApplicationTitle));
        return app;
    }();
    return application;
}

FRMLP_FORMULE::FRMLP_FORMULE(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("FRMLP_FORMULE"));
    setWindowTitle(QStringLiteral("Composizione formule SQL"));
    buildControls();
    m_parts = std::make_unique<Parts>(this);
    m_parts->finding = new ElementFinding(this, m_parts->services, m_parts->assist->helpLine());
    buildEditorTools();
    connectEvents();
    connectBackgroundRun();
    qApp->installEventFilter(this);
}

FRMLP_FORMULE::~FRMLP_FORMULE() {
    qApp->removeEventFilter(this);
    // The child controls outlive the window's own parts: nothing of theirs may reach them now.
    TXT_FORMULA->disconnect(this);
    TVW_FIELDS->disconnect(this);
}

void FRMLP_FORMULE::setModalHook(ModalHook hook) {
    modalHook() = std::move(hook);
}

// ---------------------------------------------------------------------------------------------
// Public members

host::GclsLog* FRMLP_FORMULE::GclsLog() const {
    return m_log.data();
}

host::GclsConnect* FRMLP_FORMULE::GclsConnect() const {
    return m_connect.data();
}

ado::Connection* FRMLP_FORMULE::GconConnect() const {
    return m_connection.data();
}

host::Cinterface* FRMLP_FORMULE::ActiveInterface() const {
    return host::cinterfaceOf(m_activeInterface.data());
}

void FRMLP_FORMULE::setActiveInterface(host::Cinterface* value) {
    m_activeInterface = value != nullptr ? value->asObject() : nullptr;
}

host::GlobalObject* FRMLP_FORMULE::global() const {
    return require(require(ActiveInterface())->ClsGlobal());
}

host::Navigator* FRMLP_FORMULE::navigator() const {
    return require(require(ActiveInterface())->ActiveNavigator());
}

int FRMLP_FORMULE::context() const {
    return host::late::getVariant(require(m_activeClass.data()), "enmContestoformule").toInt32();
}

core::Variant FRMLP_FORMULE::id() const {
    return host::late::getVariant(require(m_activeClass.data()), "ID");
}

QString FRMLP_FORMULE::translate(const QString& italianText) const {
    host::Cinterface* ai = ActiveInterface();
    if (ai == nullptr || ai->ClsGlobal() == nullptr)
        return italianText;
    return ai->ClsGlobal()->Traduci(italianText);
}

core::Variant FRMLP_FORMULE::RTrimN(const core::Variant& Expression) {
    return core::RTrimN(Expression);
}

core::Variant FRMLP_FORMULE::CDecN(const core::Variant& Expression) {
    return core::CDecN(Expression);
}

int FRMLP_FORMULE::VisualizzaErrore(const QString& SubOrFunctionName) {
    if (m_log == nullptr) {
        host::Request request;
        request.kind = host::Request::Kind::Message;
        request.title = windowTitle();
        request.text = translate(QStringLiteral("Classe Log non settata"));
        request.code = host::mb::OkOnly;
        host::Responder::current()->respond(request);
        return static_cast<int>(core::Answer::Abort);
    }
    m_log->SetError(m_currentError);
    if (m_connection != nullptr)
        m_log->SetAdoErrors(m_connection->GetErrors());
    std::int32_t reserved = 0;
    return m_log->ShowError(QString::fromLatin1(ApplicationTitle), windowTitle(), SubOrFunctionName, 4370,
                            reserved);
}

core::ErrorAnswerFn FRMLP_FORMULE::errorAnswer() {
    QPointer<FRMLP_FORMULE> self(this);
    return [self](const QString& procedure, const core::ErrorInfo& error) {
        if (self == nullptr)
            return static_cast<int>(core::Answer::Abort);
        self->m_currentError = error;
        return self->VisualizzaErrore(procedure);
    };
}

core::Variant FRMLP_FORMULE::ExecuteFormEvent(const core::Variant& eventName) {
    bool open = false;
    host::ScriptModel* script = nullptr;
    core::runSteps(QStringLiteral("ExecuteFormEvent"), errorAnswer(),
                   {[&] { open = eventName.equals(core::Variant(QStringLiteral("vxOpen"))); },
                    [&] {
                        if (open)
                            navigator()->NavigatorPrepareOpen();
                    },
                    [&] {
                        if (open)
                            script = navigator()->ScriptModel();
                    },
                    [&] {
                        if (open && script != nullptr)
                            script->ScriptFormEvent(objectName(), 0, 1, core::Variant(objectName()));
                    }});
    return {};
}

core::Variant FRMLP_FORMULE::SyncNavigator() {
    core::runSteps(QStringLiteral("SyncNavigator"), core::suppressErrors(),
                   {[&] { global()->setCurrentInterface(ActiveInterface()); },
                    [&] {
                        QObject* frame = require(ActiveInterface())->ActiveFrame();
                        if (frame != nullptr)
                            navigator()->NavigatorSetStatus(
                                host::late::getVariant(frame, "Status").toInt16());
                    },
                    [&] { navigator()->NavigatorRefresh(); }});
    return {};
}

// ---------------------------------------------------------------------------------------------
// Load, activation

void FRMLP_FORMULE::Load() {
    if (m_loaded)
        return;
    m_loaded = true;
    Form_Load();
}

void FRMLP_FORMULE::SetWindowState(int state) {
    Load();
    switch (state) {
    case 1:
        setWindowState(Qt::WindowMinimized);
        break;
    case 2:
        setWindowState(Qt::WindowMaximized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
}

void FRMLP_FORMULE::Form_Load() {
    auto ai = [this] { return ActiveInterface(); };
    core::runSteps(QStringLiteral("Form_Load"), errorAnswer(),
                   {[&] {
                        m_log = new host::GclsLog(this);
                        m_log->AttachInterface(ai());
                    },
                    [&] { m_firstActivation = true; }, [&] { translateCaptions(); },
                    [&] {
                        if (ai() != nullptr && ai()->WindowModal()) {
                            const core::Variant left = ai()->Left();
                            const core::Variant top = ai()->Top();
                            const int x = left.equals(core::Variant::fromInt32(0)) ? 1000 : left.toInt32();
                            const int y = top.equals(core::Variant::fromInt32(0)) ? 30 : top.toInt32();
                            move(controls::twipsToPixels(x, this), controls::twipsToPixels(y, this));
                        }
                    },
                    [&] { placeOnScreen(); },
                    [&] {
                        if (ai() != nullptr)
                            m_gstrConnect = require(global()->ConnectionSettings())->ConnectionString();
                    },
                    [&] {
                        if (ai() != nullptr)
                            m_connect = new host::GclsConnect(this);
                    },
                    [&] {
                        if (ai() != nullptr)
                            m_connection = require(m_connect.data())->NewConnection(this);
                    },
                    [&] {
                        if (ai() != nullptr)
                            require(m_connection.data())->setConnectionString(m_gstrConnect);
                    },
                    [&] {
                        if (ai() != nullptr)
                            require(m_connection.data())->Open(QString(), QString(), QString(), -1);
                    },
                    [&] {
                        if (ai() != nullptr)
                            m_ditta = require(global()->Company())->CompanyCode();
                    },
                    [&] {
                        if (ai() != nullptr && ai()->Connection() == nullptr)
                            ai()->setConnection(m_connection);
                    },
                    [&] {
                        if (ai() != nullptr)
                            resetHistory();
                    },
                    [&] {
                        if (ai() != nullptr)
                            RESIZEFORM->Start();
                    }});
}

void FRMLP_FORMULE::Form_Activate() {
    if (!m_firstActivation)
        return;
    bool hasId = false;
    core::Variant decimalId;
    core::runSteps(
        QStringLiteral("Form_Activate"), errorAnswer(),
        {[&] { m_firstActivation = false; }, [&] { SyncNavigator(); },
         [&] { global()->SetApplication(componentApplication()); }, [&] { navigator()->NavigatorPrepare(); },
         [&] { ExecuteFormEvent(core::Variant(QStringLiteral("vxOpen"))); }, [&] { LoadStrutturaTree(); },
         [&] {
             decimalId = CDecN(id());
             hasId = !decimalId.equals(core::Variant::fromInt32(0));
         },
         [&] {
             if (!hasId)
                 return;
             const tables::EditingContext* ctx = tables::editingContext(context());
             if (!ctx)
                 return; // no context: SqlText keeps what it holds
             LBL_ELEMSELEZ->SetTitle(translate(QString::fromUtf8(ctx->caption)));
             m_sqlText = *tables::formulaSelectStatement(ctx->number, decimalId.toString());
         },
         [&] {
             if (!hasId)
                 return;
             rememberLoadedVersion(); // before the read: a save in between is asked about, not lost
             m_recordset = require(m_connection.data())->Execute(m_sqlText, nullptr, -1);
         },
         [&] {
             if (hasId && m_recordset && !m_recordset->IsBOF() && !m_recordset->IsEOF()) {
                 const QString stored = RTrimN((*m_recordset)[QStringLiteral("FORMULA")].Value()).toString();
                 QString shown = encodeToken(stored);
                 if (m_parts->language.lastErrorCount() > 0) {
                     lockUnreadableFormula(stored);
                     return;
                 }
                 TXT_FORMULA->SetText(language::singledQuotes(shown));
                 RecordUndoState();
                 formulaLoaded(stored);
             }
         }});
    // The elements the formula may name, for highlighting, live diagnostics, completion and help;
    // the company's lists arrive after the first paint.
    m_parts->finding->load(RTrimN(m_ditta).toString(), [this](const auto& catalog) {
        m_parts->assist->start(catalog);
        prepareTreeRows(catalog);
    });
    if (hasId && !m_storedUnreadable) {
        noteRoundTrip();
        offerDraft();
    }
    restoreTrialPanel();
    // The user starts in the formula box, the caret after the formula.
    if (TXT_FORMULA->isEnabled() && !m_storedUnreadable) {
        TXT_FORMULA->setFocus();
        TXT_FORMULA->moveCursor(QTextCursor::End);
        setCaretPosition(TXT_FORMULA->SelStart());
    }
}

FormulaAssist* FRMLP_FORMULE::assist() const {
    return m_parts->assist.get();
}

// ---------------------------------------------------------------------------------------------
// Showing, closing

void FRMLP_FORMULE::ShowModeless() {
    setWindowModality(Qt::NonModal);
    show();
}

void FRMLP_FORMULE::ShowModal() {
    QPointer<FRMLP_FORMULE> self(this);
    setWindowModality(Qt::ApplicationModal);
    show();
    if (modalHook()) {
        modalHook()(this);
        return;
    }
    if (self == nullptr || !isVisible())
        return;
    QEventLoop loop;
    connect(this, &FRMLP_FORMULE::closed, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

bool FRMLP_FORMULE::Unload() {
    if (isVisible()) {
        close();
    } else if (!m_unloaded) {
        Form_QueryUnload();
        Form_Unload();
        emit closed();
    }
    return ActiveInterface() == nullptr;
}

void FRMLP_FORMULE::closeEvent(QCloseEvent* event) {
    if (deferCloseWhileRunning(event))
        return;
    if (!m_unloaded) {
        Form_QueryUnload();
        Form_Unload();
    }
    event->accept();
    QWidget::closeEvent(event);
    emit closed();
}

void FRMLP_FORMULE::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loaded)
        Load();
    Form_Activate();
}

void FRMLP_FORMULE::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FRMLP_FORMULE::Form_QueryUnload() {
    SyncNavigator();
    // The unload goes on whatever happens here: unsaved changes are kept as a draft.
    core::runStep(QStringLiteral("Form_QueryUnload"), core::suppressErrors(), [this] { windowClosing(); });
}

void FRMLP_FORMULE::Form_Unload() {
    m_unloaded = true;
    core::Variant menuKey;
    auto ai = [this] { return require(ActiveInterface()); };
    core::runSteps(
        QStringLiteral("Form_Unload"), core::suppressErrors(),
        {[&] { menuKey = require(ai()->ClsVoceMenu())->MenuKey(); },
         [&] { require(navigator()->ScriptModel())->ScriptRelease(menuKey); },
         [&] { navigator()->setLayoutModel(nullptr); }, [&] { navigator()->setScriptModel(nullptr); },
         [&] { ai()->setActiveFrame(nullptr); }, [&] { global()->ReleaseInterface(ai()); },
         [&] { global()->setCurrentInterface(nullptr); }, [&] { global()->setOtherInterface(nullptr); },
         [&] { ai()->setConnection(nullptr); }, [&] { delete m_connect.data(); },
         [&] { require(m_log.data())->AttachInterface(nullptr); }, [&] { delete m_log.data(); },
         [&] { require(m_connection.data())->Close(); }, [&] { delete m_connection.data(); },
         [&] { ai()->setActiveDll(nullptr); },
         [&] {
             m_activeClass = nullptr;
             m_activeInterface = nullptr;
         }});
    emit unloaded();
}

// ---------------------------------------------------------------------------------------------
// Events of the controls

void FRMLP_FORMULE::connectEvents() {
    const QString imageKeys[] = {QStringLiteral("ramo"),        QStringLiteral("elemento"),
                                 QStringLiteral("elementosel"), QStringLiteral("ramosel"),
                                 QStringLiteral("operatore"),   QStringLiteral("minus"),
                                 QStringLiteral("plus")};
    for (const QString& key : imageKeys)
        m_imlImagesTrv.insert(key, QIcon(tree::treePixmap(key)));
    IMG_EXPCOL->SetPicture(m_imlImagesTrv.value(QStringLiteral("plus")));
    IMG_EXPCOL->setPictureKey(QStringLiteral("plus"));

    connect(IMG_UNDO, &controls::VXL_TBARMENU::ButtonClick, this,
            [this] { m_parts->history.clickUndo(errorAnswer()); });
    connect(IMG_REDO, &controls::VXL_TBARMENU::ButtonClick, this,
            [this] { m_parts->history.clickRedo(errorAnswer()); });
    connect(IMG_LEGEND, &controls::VXL_TBARMENU::ButtonClick, this, [this] {
        core::runStep(QStringLiteral("IMG_LEGEND_ButtonClick"), errorAnswer(), [this] { showInfo(); });
    });
    connect(IMG_CHECK, &controls::VXL_TBARMENU::ButtonClick, this, [this] {
        m_parts->syntaxCheck.clickCheck(errorAnswer());
        if (m_parts->syntaxCheck.lastCorrect())
            runCasesAfterCheck();
    });
    connect(IMG_SAVE, &controls::VXL_TBARMENU::ButtonClick, this, [this] {
        if (m_storedUnreadable || !confirmRoundTrip())
            return;
        m_parts->store.clickSave();
        m_sqlText = m_parts->store.SqlText();
    });
    connect(IMG_CLEAR, &controls::VXL_TBARMENU::ButtonClick, this, [this] { ClearFormula(); });
    // The tree's handlers have no trap of their own: an error is shown instead of escaping.
    connect(IMG_EXPCOL, &controls::VXL_TBARMENU::ButtonClick, this, [this] {
        core::runStep(QStringLiteral("IMG_EXPCOL_ButtonClick"), errorAnswer(),
                      [this] { IMG_EXPCOL_ButtonClick(); });
    });

    connect(TVW_FIELDS, &QTreeWidget::itemDoubleClicked, this, [this] {
        core::runStep(QStringLiteral("TVW_FIELDS_DblClick"), errorAnswer(),
                      [this] { TVW_FIELDS_DblClick(); });
    });
    connect(TVW_FIELDS, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        fillTreeBranches({item->data(0, Qt::UserRole).toString()});
        const QString picture = m_parts->expandCollapse.nodeExpanded();
        IMG_EXPCOL->SetPicture(m_imlImagesTrv.value(picture));
        IMG_EXPCOL->setPictureKey(picture);
    });

    // Notifications of the formula box: key, character, caret, window (focus lost).
    connect(TXT_FORMULA, &controls::VxlRichTextBox::KeyDown, this,
            [this](int keyCode, int shift) { m_parts->history.onKey(keyCode, shift); });
    connect(TXT_FORMULA, &controls::VxlRichTextBox::KeyPress, this,
            [this](int charCode) { m_parts->history.onCharacter(charCode); });
    connect(TXT_FORMULA, &controls::VxlRichTextBox::SelChange, this, [this] { m_parts->history.onCaret(); });
    connect(TXT_FORMULA, &controls::VxlRichTextBox::LostFocus, this,
            [this] { m_parts->history.onWindowNotification(); });
}

// ---------------------------------------------------------------------------------------------
// Edit history

void FRMLP_FORMULE::translateCaptions() {
    // The captions of the design pass through the host's translation service once, at load.
    setWindowTitle(translate(windowTitle()));
    for (controls::VXL_TITLEBAR* bar : {LBL_ELEMSELEZ, LBL_OPERATORI_})
        bar->SetTitle(translate(bar->Title()));
    CHK_DEBUG->setText(translate(CHK_DEBUG->text()));
    mnuPrincipale->setTitle(translate(mnuPrincipale->title()));
    for (QAction* item : {mnuSeleziona, mnuDeseleziona})
        item->setText(translate(item->text()));
    for (controls::VXL_TBARMENU* b :
         {IMG_UNDO, IMG_REDO, IMG_LEGEND, IMG_CLEAR, IMG_SAVE, IMG_CHECK, IMG_EXPCOL, IMG_TRIAL, IMG_IMPACT})
        b->setToolTip(translate(b->toolTip()));
    trialPanel()->translateCaptions();
    m_parts->finding->translateCaptions();
    translateHistoryCaptions();
    if (m_cases)
        m_cases->translateCaptions();
}

void FRMLP_FORMULE::resetHistory() {
    // A new window starts with an empty history at position 0; nothing to do for a loaded one.
}

void FRMLP_FORMULE::RecordUndoState() {
    m_parts->history.RecordUndoState();
}

void FRMLP_FORMULE::UndoFormula() {
    m_parts->history.UndoFormula();
}

void FRMLP_FORMULE::RedoFormula() {
    m_parts->history.RedoFormula();
}

int FRMLP_FORMULE::CaretPosition() const {
    return m_parts->history.CaretPosition();
}

void FRMLP_FORMULE::setCaretPosition(int value) {
    m_parts->history.setCaretPosition(value);
}

int FRMLP_FORMULE::UndoIndex() const {
    return m_parts->history.UndoIndex();
}

QString FRMLP_FORMULE::UndoBuffer(int position) const {
    return position >= 0 && position < editing::EditHistory::Positions
               ? m_parts->history.UndoBuffer()[position]
               : QString();
}

// ---------------------------------------------------------------------------------------------
// Translations, check, save

int FRMLP_FORMULE::messageBox(const QString& prompt, int code, const QString& title) {
    if (m_parts->closeAfterRun)
        return check::answer::No; // the window is closing: nothing more is asked or written
    std::int32_t reserved = 0;
    return require(m_log.data())->MessageBox(prompt, code, title, true, reserved);
}

QString FRMLP_FORMULE::encodeToken(const QString& text) {
    return m_parts->language.encodeToken(text);
}

QString FRMLP_FORMULE::decodeToken(const QString& text, bool checkMode) {
    return m_parts->language.decodeToken(text, checkMode);
}

core::Variant FRMLP_FORMULE::CheckFormula(bool ShowMessage) {
    core::Variant result = m_parts->syntaxCheck.CheckFormula(ShowMessage);
    // After a check the user asked for that passed: the record's test cases (the strip).
    if (ShowMessage && !result.isEmpty())
        runCasesAfterCheck();
    return result;
}

void FRMLP_FORMULE::UpdateFormula() {
    if (m_storedUnreadable || !confirmRoundTrip())
        return;
    m_parts->store.UpdateFormula();
    m_sqlText = m_parts->store.SqlText();
}

void FRMLP_FORMULE::ClearFormula() {
    if (m_storedUnreadable)
        return;
    m_parts->store.clickClear();
    m_sqlText = m_parts->store.SqlText();
}

void FRMLP_FORMULE::lockUnreadableFormula(const QString& storedSql) {
    // The box would open empty, and a save would then write NULL over the stored formula: the
    // window keeps the stored SQL for the technical view and offers nothing that writes.
    m_storedUnreadable = true;
    m_storedSql = storedSql;
    TXT_FORMULA->SetText(QString());
    TXT_FORMULA->SetLocked(true);
    for (QWidget* w : std::initializer_list<QWidget*>{TVW_FIELDS, IMG_SAVE, IMG_CHECK, IMG_CLEAR, IMG_EXPCOL,
                                                      IMG_UNDO, IMG_REDO, IMG_IMPACT})
        w->setEnabled(false);
    messageBox(translate(QStringLiteral(
                             "La formula salvata non può essere mostrata: la sua forma SQL (%1 caratteri) "
                             "non si lascia tradurre nella forma visualizzata. La formula resta com'è nel "
                             "database e la finestra non la modifica; Ctrl+W mostra la forma SQL "
                             "salvata."))
                   .arg(storedSql.size()),
               16, translate(QStringLiteral("Formula non leggibile")));
}

void FRMLP_FORMULE::showInfo() {
    core::runStep(QStringLiteral("showInfo"), errorAnswer(), [this] {
        instructions::showInstructions(
            this, [this](const QString& text) { return translate(text); }, hostSettings());
    });
    if (isVisible())
        activateWindow(); // the editor gets the focus back
}

} // namespace editor
