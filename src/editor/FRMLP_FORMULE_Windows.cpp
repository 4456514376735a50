// The window on screen and across sessions: its place (fitted to the screen, remembered in the
// user's host settings), the draft of unsaved changes kept when it closes and offered when the
// record opens again, and the stored formula whose display form would not save back unchanged.

#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"
#include "editor/HistoryPanel.h"
#include "editor/ImpactPreview.h"
#include "editor/TrialPanel.h"

#include "core/NullSafe.h"
#include "editing/RoundTrip.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/LogObject.h"
#include "host/Responder.h"
#include "host/UserSettings.h"
#include "host/WindowPlacement.h"
#include "host/controls/VxlRichTextBox.h"
#include "language/FormulaLanguage.h"
#include "language/StoredFormulas.h"

#include <QDateTime>
#include <QStringList>

namespace editor {

namespace {

// The host's services of the window with a silent error display: the translations made only to
// compare texts never show an error of their own (the save shows it, when it translates).
class QuietServices final : public core::HostServices {
public:
    explicit QuietServices(core::HostServices& window)
        : m_window(window) {}
    ado::Connection* connection() override { return m_window.connection(); }
    QString translate(const QString& text) override { return m_window.translate(text); }
    int messageBox(const QString&, int, const QString&) override { return host::answer::No; }
    int errorAnswer(const QString&, const core::ErrorInfo&) override {
        return static_cast<int>(core::Answer::Abort);
    }
    int editingContext() override { return m_window.editingContext(); }
    core::Variant recordId() override { return m_window.recordId(); }

private:
    core::HostServices& m_window;
};

host::UserSettings* settingsOf(host::Cinterface* ai) {
    host::GlobalObject* global = ai != nullptr ? ai->ClsGlobal() : nullptr;
    return global != nullptr ? global->Settings()->User() : nullptr;
}

QString lineList(const QList<int>& lines) {
    QStringList texts;
    for (int line : lines)
        texts.append(QString::number(line));
    return texts.join(QStringLiteral(", "));
}

const QString DraftText = QStringLiteral("text");
const QString DraftTime = QStringLiteral("time");

} // namespace

// ---------------------------------------------------------------------------------------------
// Place on screen

host::UserSettings* FRMLP_FORMULE::hostSettings() const {
    return settingsOf(ActiveInterface());
}

void FRMLP_FORMULE::placeOnScreen() {
    // A modal window keeps the place the host gives it (Left and Top), fitted to the screen; a
    // modeless one opens where the user left the last one. Inside the host's multi-document area
    // the host places it (the placement does nothing while the window is not a top-level window).
    host::Cinterface* ai = ActiveInterface();
    const bool modal = ai != nullptr && ai->WindowModal();
    if (m_placement == nullptr)
        m_placement = new host::WindowPlacement(this, modal ? nullptr : settingsOf(ai),
                                                host::WindowPlacement::keyFor(objectName()));
}

// ---------------------------------------------------------------------------------------------
// Drafts

QString FRMLP_FORMULE::draftKey() const {
    const QString record = RTrimN(id()).toString();
    return record.isEmpty() ? QString() : QStringLiteral("drafts/%1/%2").arg(context()).arg(record);
}

QString FRMLP_FORMULE::displayText() {
    QString text = RTrimN(core::Variant(TXT_FORMULA->Text())).toString();
    if (!m_technicalView)
        return text;
    QuietServices quiet(m_parts->services);
    language::FormulaLanguage silent(quiet);
    return silent.encodeToken(text);
}

void FRMLP_FORMULE::keepDraft() {
    host::UserSettings* settings = settingsOf(ActiveInterface());
    const QString key = settings != nullptr && !m_storedUnreadable && m_formulaShown ? draftKey() : QString();
    if (key.isEmpty())
        return;
    const QString text = displayText();
    if (text == m_draftBaseline) {
        settings->Remove(key); // nothing unsaved: an older draft was saved or given up
        return;
    }
    settings->SetValue(key, QVariantMap{{DraftText, text}, {DraftTime, QDateTime::currentDateTime()}});
}

void FRMLP_FORMULE::offerDraft() {
    host::UserSettings* settings = settingsOf(ActiveInterface());
    const QString key = settings != nullptr && !m_storedUnreadable ? draftKey() : QString();
    if (key.isEmpty() || m_log == nullptr)
        return;
    const QVariantMap draft = settings->Value(key).toMap();
    const QString text = draft.value(DraftText).toString();
    if (!draft.contains(DraftText) || text == m_draftBaseline) {
        settings->Remove(key);
        return;
    }
    const QString when = draft.value(DraftTime).toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    const QString prompt =
        translate(QStringLiteral("Bozza non salvata del %1: ripristina / scarta")).arg(when) +
        QStringLiteral("\r\n") +
        translate(QStringLiteral("La formula di questo record è stata chiusa con modifiche non salvate. "
                                 "Ripristinarle nel riquadro della formula o scartarle?"));
    const int answer = m_log->MessageBoxCaptions(
        prompt, host::mb::YesNo | host::mb::Question, translate(QStringLiteral("Bozza non salvata")),
        {translate(QStringLiteral("Ripristina bozza")), translate(QStringLiteral("Scarta bozza"))});
    if (answer != host::answer::Yes) {
        settings->Remove(key);
        return;
    }
    // The draft is an edit of the stored formula: it stays unsaved, and undo goes back to the
    // stored text.
    TXT_FORMULA->SetText(text);
    RecordUndoState();
}

void FRMLP_FORMULE::formulaWritten() {
    m_draftBaseline = displayText();
    bool failed = false;
    m_storedForm = quietSqlForm(m_draftBaseline, &failed); // what the save wrote
    versionWritten();
    if (host::UserSettings* settings = settingsOf(ActiveInterface()); settings != nullptr)
        if (const QString key = draftKey(); !key.isEmpty())
            settings->Remove(key);
}

// ---------------------------------------------------------------------------------------------
// The stored formula through the window and back

QString FRMLP_FORMULE::quietSqlForm(const QString& displayText, bool* failed) {
    QuietServices quiet(m_parts->services);
    language::FormulaLanguage silent(quiet);
    QString sql = silent.decodeToken(RTrimN(core::Variant(displayText)).toString(), false);
    *failed = silent.lastErrorCount() > 0;
    return sql;
}

std::optional<QString> FRMLP_FORMULE::quietDisplayForm(const std::optional<QString>& sqlForm) {
    if (!sqlForm)
        return QString();
    QuietServices quiet(m_parts->services);
    language::FormulaLanguage silent(quiet);
    const QString shown = silent.encodeToken(RTrimN(core::Variant(*sqlForm)).toString());
    if (silent.lastErrorCount() > 0)
        return std::nullopt;
    return language::singledQuotes(shown);
}

void FRMLP_FORMULE::formulaLoaded(const QString& stored) {
    m_formulaShown = true;
    m_loadedStored = stored;
    m_storedForm = stored;
    m_loadedShown = TXT_FORMULA->Text();
    m_draftBaseline = RTrimN(core::Variant(m_loadedShown)).toString();
    bool failed = false;
    m_loadedResaved = quietSqlForm(m_loadedShown, &failed);
    m_roundTripLines = failed ? QList<int>() : editing::changedByRoundTrip(stored, m_loadedResaved);
}

void FRMLP_FORMULE::noteRoundTrip() {
    if (m_roundTripLines.isEmpty())
        return;
    markLine(
        m_roundTripLines.first(),
        translate(QStringLiteral("La formula mostrata non si salva uguale a quella memorizzata (righe %1): "
                                 "due apostrofi di seguito in una stringa si mostrano come uno. Prima di "
                                 "salvare verrà chiesta conferma."))
            .arg(lineList(m_roundTripLines)),
        false);
}

bool FRMLP_FORMULE::confirmRoundTrip() {
    if (m_roundTripLines.isEmpty() || m_technicalView || m_storedUnreadable)
        return true;
    const QString current = TXT_FORMULA->Text();
    if (RTrimN(core::Variant(current)).toString().isEmpty())
        return true; // an empty box clears the formula, as the user asked
    bool failed = false;
    const QString toWrite = quietSqlForm(current, &failed);
    if (failed)
        return true; // the save reports it
    const QList<int> lines =
        editing::untouchedChanges(m_loadedStored, m_loadedResaved, m_loadedShown, current, toWrite);
    if (lines.isEmpty())
        return true;
    const QString prompt =
        translate(QStringLiteral("Il salvataggio scriverebbe una formula diversa da quella memorizzata anche "
                                 "in righe che non hai modificato (righe %1): due apostrofi di seguito in "
                                 "una stringa vi sono diventati uno."))
            .arg(lineList(lines)) +
        QStringLiteral("\r\n") + translate(QStringLiteral("Salvare comunque?"));
    return messageBox(prompt, host::mb::YesNo | host::mb::Exclamation | host::mb::DefaultButton2,
                      translate(QStringLiteral("Salvataggio formula"))) == host::answer::Yes;
}

// ---------------------------------------------------------------------------------------------
// Closing

void FRMLP_FORMULE::windowClosing() {
    keepDraft();
    // The trial panel goes with its window; whether it shows next time stays as the user left it.
    if (m_trial != nullptr)
        hideTrialPanel();
    if (m_impact != nullptr)
        m_impact->hide();
    if (m_historyPanel != nullptr)
        m_historyPanel->hide();
}

} // namespace editor
