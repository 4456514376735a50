#pragma once

#include "core/Error.h"
#include "core/Variant.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace ado {
class Connection;
class Recordset;
} // namespace ado

namespace check {
enum class TrialReading;
}
namespace diagnostics {
class ElementCatalog;
} // namespace diagnostics

namespace host {
class Cinterface;
class UserSettings;
class WindowPlacement;
class GclsLog;
class GclsConnect;
class GlobalObject;
class Navigator;
} // namespace host

namespace controls {
class VxlRichTextBox;
class VXL_TBARMENU;
class VXL_TITLEBAR;
class VXL_GROUPBOX;
class VXL_RESIZEFORM;
class MDIActiveX;
} // namespace controls

namespace language {
class FormulaLanguage;
}

namespace check {
struct ImpactRow;
}
namespace editing {
struct FormulaVersion;
}

namespace editor {

class BackgroundRun;
class FormulaAssist;
class ImpactPreview;
class HistoryPanel;
class TrialPanel;
class TrialCases;
class TreeWhereUsed;

// Title of the component's application, shown by the error display.
inline constexpr const char* ApplicationTitle = "QEDRIX";
// The component's application object handed to the host's SetApplication (one per process).
QObject* componentApplication();

// The formula editor window "Composizione formule SQL".
//
// The component class creates it, sets ActiveInterface and ActiveClass, then sets the window
// state (which loads the window: Form_Load), the caption, and shows it modal (ShowModal, which
// returns when the window closes) or modeless. The first activation registers the window with
// the host, builds the element tree and shows the stored formula of the editing context.
// Closing the window (by the user or by Unload) runs the unload query and the unload, which
// release every host reference; the object itself stays until its owner deletes it.
//
// ActiveClass is the component class seen late bound: its properties enmContestoformule (int)
// and ID (Variant) are read through the meta-object, so the window needs nothing of the
// component's library.
class FRMLP_FORMULE : public QWidget {
    Q_OBJECT
public:
    explicit FRMLP_FORMULE(QWidget* parent = nullptr);
    ~FRMLP_FORMULE() override;

    // ---- Public members, in their order ----
    host::Cinterface* ActiveInterface() const;
    void setActiveInterface(host::Cinterface* value);
    host::GclsLog* GclsLog() const;
    host::GclsConnect* GclsConnect() const;
    ado::Connection* GconConnect() const;
    // Set by other objects, read by none: the window builds its statements in SqlText.
    QString GstrSql() const { return m_gstrSql; }
    void setGstrSql(const QString& value) { m_gstrSql = value; }
    // Set by the window load: the connection string of GconConnect, and the code of the current
    // company (the company filter of the element tree's statements).
    QString GstrConnect() const { return m_gstrConnect; }
    core::Variant Ditta() const { return m_ditta; }
    QObject* ActiveClass() const { return m_activeClass; }
    void setActiveClass(QObject* value) { m_activeClass = value; }

    // ---- Public functions ----
    static core::Variant RTrimN(const core::Variant& Expression);
    static core::Variant CDecN(const core::Variant& Expression);
    // Shows the current error (see setCurrentError) through GclsLog; returns 3, 4 or 5.
    int VisualizzaErrore(const QString& SubOrFunctionName);
    core::Variant ExecuteFormEvent(const core::Variant& eventName);
    core::Variant SyncNavigator();

    // ---- Lifecycle, as the component class drives it ----
    // Loads the window once (Form_Load); later calls do nothing.
    void Load();
    bool isLoaded() const { return m_loaded; }
    // Window state 0 normal, 1 minimised, 2 maximised; loads the window first.
    void SetWindowState(int state);
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    void ShowModeless();
    // Shows the window application-modal and returns when it has closed (a nested event loop).
    void ShowModal();
    // Unloads the window (unload query, unload, hidden). Returns true when the unload ran to
    // its end (ActiveInterface released).
    bool Unload();
    // The first activation (also run by the window's show and activation events).
    void Form_Activate();

    // Replaces the nested event loop of ShowModal (tests): the hook receives the shown window
    // and is expected to close it; ShowModal returns when the hook returns.
    using ModalHook = std::function<void(FRMLP_FORMULE*)>;
    static void setModalHook(ModalHook hook);

    // Sets the error that the next VisualizzaErrore shows, and the answer function that the
    // window's trapped procedures use: it remembers the error and calls VisualizzaErrore.
    void setCurrentError(const core::ErrorInfo& error) { m_currentError = error; }
    const core::ErrorInfo& currentError() const { return m_currentError; }
    core::ErrorAnswerFn errorAnswer();

    // The host translation service (the text itself when there is no host).
    QString translate(const QString& italianText) const;

    // ---- State other parts read ----
    // The last statement built: the read of the first activation, or the save's UPDATE.
    const QString& SqlText() const { return m_sqlText; }
    // imlImagesTrv: the seven pictures of the element tree, by key.
    const QMap<QString, QIcon>& imlImagesTrv() const { return m_imlImagesTrv; }
    bool FirstActivation() const { return m_firstActivation; }
    bool technicalView() const { return m_technicalView; }
    bool storedFormulaUnreadable() const { return m_storedUnreadable; }
    ado::Recordset* lastRecordset() const { return m_recordset.get(); }
    int context() const;      // ActiveClass.enmContestoformule
    core::Variant id() const; // ActiveClass.ID

    // ---- Procedures of the editing parts ----
    // Element tree: builds TVW_FIELDS; the double-click insertion; the expand/collapse button.
    void LoadStrutturaTree();
    void TVW_FIELDS_DblClick();
    void IMG_EXPCOL_ButtonClick();
    void ExpandStrutturaTree(bool expand);
    bool TreeExpanded() const;
    // Reads the rows of the deferred category and variant sub-branches among `keys`.
    void fillTreeBranches(const QStringList& keys);
    // Starts making the rows of the tree's pending list sub-branches from `catalog` on a worker.
    void prepareTreeRows(const std::shared_ptr<const diagnostics::ElementCatalog>& catalog);
    // The deferred sub-branches whose rows were not read yet.
    QStringList pendingTreeBranches() const;
    // Completion, tree search and element help.
    class ElementFinding* finding() const;
    // Tree nodes in the order they were added (the tree control's index order).
    const QList<QTreeWidgetItem*>& treeNodes() const { return m_treeNodes; }
    QTreeWidgetItem* nodeByKey(const QString& key) const { return m_nodesByKey.value(key); }

    // Edit history.
    void RecordUndoState();
    void UndoFormula();
    void RedoFormula();
    int CaretPosition() const;
    void setCaretPosition(int value);
    int UndoIndex() const;
    QString UndoBuffer(int position) const;

    // Translations of the formula language.
    QString encodeToken(const QString& text);
    QString decodeToken(const QString& text, bool checkMode);

    // Check, save and clear of the formula.
    core::Variant CheckFormula(bool ShowMessage);
    void UpdateFormula();
    void ClearFormula();

    // Highlighting, live diagnostics, message strip and unsaved marker of the formula box.
    FormulaAssist* assist() const;
    // Marks a line of the formula (from 1) with a message in the strip, as a failed check's line
    // (`error`) or as a note; the host calls it on a window it opened on a record. False when
    // the box has no such line.
    Q_INVOKABLE bool markLine(int line, const QString& message = QString(), bool error = true);
    // The element tree's context menu "Formule che lo usano" and its list.
    TreeWhereUsed* whereUsed() const;

    // The trial panel (FRMLP_FORMULE_Trial.cpp): shown and hidden by IMG_TRIAL and Ctrl+T.
    TrialPanel* trialPanel() const;
    // How the user writes the values typed for a trial: the language of the host's translation
    // service (Italian while the window has no host).
    check::TrialReading trialReading() const;
    // The record's test cases in the trial panel (FRMLP_FORMULE_Cases.cpp).
    TrialCases* trialCases() const { return m_cases; }
    // How the window asks a case's name (title, name proposed; nullopt: cancelled). A dialog
    // unless set (the tests answer here).
    void setCaseNameAsker(std::function<std::optional<QString>(const QString&, const QString&)> ask) {
        m_askCaseName = std::move(ask);
    }
    void toggleTrialPanel();
    void showTrialPanel(bool show);

    // The impact preview (FRMLP_FORMULE_Impact.cpp), opened by IMG_IMPACT and Ctrl+I: the stored
    // formula and the box's one run over the record's test cases, a CSV file and generated rows
    // on the worker; nothing is written. Null until it first opens.
    ImpactPreview* impactPreview() const { return m_impact; }
    // Opens the preview and runs it (a run in flight: it only comes to the front).
    void showImpactPreview();
    // The preview's "Calcola": refused while a run of the window is in flight.
    void runImpactPreview();
    // The SQL form of the record's formula as stored now (as read, then as the last save wrote).
    const QString& storedSqlForm() const { return m_storedForm; }
    // The record's history beside the window (FRMLP_FORMULE_History.cpp): IMG_HISTORY and Ctrl+K
    // list its versions (the newest selected, or `select`).
    HistoryPanel* historyPanel() const;
    void showHistory(std::optional<int> select = {});
    // The latest version of the record when the window read it, then the one its last save
    // wrote; a save asks before writing over a newer one. nullopt: not known (not compared).
    std::optional<int> loadedVersion() const { return m_loadedVersion; }

    // The lines (from 1) of the stored formula that a save of the text shown at load would
    // change (a doubled apostrophe shown single); empty when it saves back unchanged.
    const QList<int>& roundTripLines() const { return m_roundTripLines; }
    // The worker that runs the check, the save's check and the trial run while the window goes
    // on painting (FRMLP_FORMULE_Running.cpp).
    BackgroundRun* backgroundRun() const;

    // The host message box of GclsLog (raises 91 without a log object).
    int messageBox(const QString& prompt, int code, const QString& title);

    // Key handler of the window (key code and shift state as the host's controls report them).
    void Form_KeyDown(int keyCode, int shift);
    // Opens the instructions window modally (a new instance each time).
    void showInfo();

signals:
    // The window finished its unload (the host may drop its references).
    void unloaded();
    // The window was closed (ends ShowModal's loop).
    void closed();
    // A save wrote the formula (the host may show the record's new state).
    void formulaSaved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // ---- Controls ----
    // The window's own: other objects reach them through the window's procedures (tests find
    // them in its widget tree by their names).
    controls::VxlRichTextBox* TXT_FORMULA = nullptr;
    QTreeWidget* TVW_FIELDS = nullptr;
    controls::VXL_TITLEBAR* LBL_ELEMSELEZ = nullptr;
    controls::VXL_TITLEBAR* LBL_OPERATORI_ = nullptr;
    controls::VXL_GROUPBOX* GRB_COMPFORMULE = nullptr;
    controls::VXL_TBARMENU* IMG_UNDO = nullptr;
    controls::VXL_TBARMENU* IMG_REDO = nullptr;
    controls::VXL_TBARMENU* IMG_LEGEND = nullptr;
    controls::VXL_TBARMENU* IMG_CLEAR = nullptr;
    controls::VXL_TBARMENU* IMG_SAVE = nullptr;
    controls::VXL_TBARMENU* IMG_CHECK = nullptr;
    controls::VXL_TBARMENU* IMG_EXPCOL = nullptr;
    controls::VXL_TBARMENU* IMG_TRIAL = nullptr;   // the trial panel, beside the check
    controls::VXL_TBARMENU* IMG_IMPACT = nullptr;  // the impact preview, beside the trial panel's
    controls::VXL_TBARMENU* IMG_HISTORY = nullptr; // the history, beside the information
    QCheckBox* CHK_DEBUG = nullptr;
    controls::VXL_RESIZEFORM* RESIZEFORM = nullptr;
    controls::MDIActiveX* MDIActiveX1 = nullptr;
    QMenu* mnuPrincipale = nullptr;
    QAction* mnuSeleziona = nullptr;
    QAction* mnuDeseleziona = nullptr;
    // imlImagesTrv: the seven pictures by key.
    QMap<QString, QIcon> m_imlImagesTrv;

    void buildControls();
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    void RESIZEFORM_RegisterControls();
    void MDIActiveX1_PlacementRequest();
    void loadStoredFormula();

    void resetHistory();
    void translateCaptions();
    void switchTechnicalView();
    void lockUnreadableFormula(const QString& storedSql);
    void connectEvents();
    void buildTrialPanel(const QRect& button);
    void buildImpactButton(const QRect& button);
    void buildImpactPreview();
    void placeImpactPreview();
    // The inputs of a row of the preview into the trial panel, which opens.
    void loadImpactRow(const check::ImpactRow& row);
    void buildHistoryPanel(const QRect& button);
    void translateHistoryCaptions();
    std::optional<qint64> recordNumber() const; // the record's identifier as a whole number
    void restoreFromHistory(const QString& text);
    void rememberLoadedVersion();
    bool askOverwriteMoved(const editing::FormulaVersion& newer);
    void versionWritten();
    // The display form of a stored SQL form, translated without showing errors (nullopt in: a
    // cleared formula, shown empty); nullopt when it cannot be shown.
    std::optional<QString> quietDisplayForm(const std::optional<QString>& sqlForm);
    // The box's gutter, find and replace, go to line, comments and zoom (FRMLP_FORMULE_Tools.cpp).
    void buildEditorTools();
    void restoreTrialPanel();
    void placeTrialPanel();
    // Hides the panel, remembering its place beside the window (not whether it shows).
    void hideTrialPanel();
    void rememberTrialValues();
    // The test cases: built with the panel, run after a check the user asked for (the strip says
    // how many differ) and before a save writes (a differing one asks first).
    void buildTrialCases();
    void runCasesAfterCheck();
    bool confirmCasesBeforeSave(const QString& sqlForm);
    QString trialSettingsKey() const;
    host::GlobalObject* global() const;
    // FRMLP_FORMULE_Windows.cpp: the place on screen, drafts, the stored form's round trip.
    void placeOnScreen();
    host::UserSettings* hostSettings() const; // the user's host settings, null without a host
    QString draftKey() const;
    QString displayText();
    void keepDraft();
    void offerDraft();
    void formulaWritten();
    QString quietSqlForm(const QString& displayText, bool* failed);
    void formulaLoaded(const QString& stored);
    void noteRoundTrip();
    bool confirmRoundTrip();
    void windowClosing();
    host::Navigator* navigator() const;
    // Opens a record of the where-used list: this window's own record is marked here, another
    // one is asked of the host through the navigator.
    void openUse(int context, qint64 id, int line, const QString& message);
    // A run in flight: what would start another is locked (FRMLP_FORMULE_Running.cpp).
    bool runInFlight() const;
    void connectBackgroundRun();
    // A close asked for while a run is in flight stops the run and closes the window once the
    // run's caller has returned; true when the close was put off so.
    bool deferCloseWhileRunning(QCloseEvent* event);

    // ElementFinding places its completion list and tooltips over the formula box and the tree.
    friend class ElementFinding;

    QString m_gstrSql;
    QString m_gstrConnect;
    core::Variant m_ditta;
    QString m_sqlText;
    QPointer<QObject> m_activeInterface;
    QPointer<QObject> m_activeClass;
    QPointer<host::GclsLog> m_log;
    QPointer<host::GclsConnect> m_connect;
    QPointer<ado::Connection> m_connection;
    std::shared_ptr<ado::Recordset> m_recordset;
    core::ErrorInfo m_currentError;
    QList<QTreeWidgetItem*> m_treeNodes;
    QHash<QString, QTreeWidgetItem*> m_nodesByKey;
    class Services;
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_firstActivation = false;
    bool m_technicalView = false;
    // The stored formula could not be translated for the box: it is kept here, shown only by the
    // technical view, and nothing in the window writes the record.
    bool m_storedUnreadable = false;
    QString m_storedSql;
    bool m_closingFromUnload = false;
    // Propagation guard of the window's key preview (see eventFilter).
    const QEvent* m_lastKeyEvent = nullptr;
    QPointer<QWidget> m_lastKeyReceiver;
    TrialPanel* m_trial = nullptr;
    HistoryPanel* m_historyPanel = nullptr;
    std::optional<int> m_loadedVersion;
    TrialCases* m_cases = nullptr;
    ImpactPreview* m_impact = nullptr;
    QString m_storedForm;
    std::function<std::optional<QString>(const QString&, const QString&)> m_askCaseName;
    host::WindowPlacement* m_placement = nullptr;
    // The stored formula as read, the box's text then and its SQL form; the text a draft is
    // compared with (the loaded one, then the saved one).
    bool m_formulaShown = false;
    QString m_loadedStored;
    QString m_loadedShown;
    QString m_loadedResaved;
    QString m_draftBaseline;
    QList<int> m_roundTripLines;
};

} // namespace editor
