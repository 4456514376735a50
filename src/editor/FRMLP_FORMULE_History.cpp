// The window's "Cronologia": the record's versions beside the window (the button beside the
// information button, and Ctrl+K), "Ripristina" as one edit of the box, and the save's question
// when another save made a newer version since this window read the record.

#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"
#include "editor/HistoryPanel.h"

#include "ado/Ado.h"
#include "core/NullSafe.h"
#include "editing/FormulaHistory.h"
#include "host/LogObject.h"
#include "host/Responder.h"
#include "host/controls/HostControls.h"
#include "host/controls/VxlRichTextBox.h"

#include <QStyle>

namespace editor {

namespace {

// The versions a window lists at most: the latest ones.
constexpr int MaxListed = 1000;

} // namespace

void FRMLP_FORMULE::buildHistoryPanel(const QRect& button) {
    IMG_HISTORY = new controls::VXL_TBARMENU(this);
    IMG_HISTORY->setObjectName(QStringLiteral("IMG_HISTORY"));
    IMG_HISTORY->SetPicture(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    // Translated with the other captions once the host is known (translateCaptions).
    IMG_HISTORY->setToolTip(QStringLiteral("Cronologia della formula (Ctrl+K)"));
    IMG_HISTORY->setGeometry(button);
    m_historyPanel = new HistoryPanel(
        {.translate = [this](const QString& s) { return translate(s); },
         .displayForm = [this](const std::optional<QString>& sql) { return quietDisplayForm(sql); },
         .boxText = [this] { return displayText(); },
         .restore = [this](const QString& text) { restoreFromHistory(text); }},
        this);
    m_historyPanel->setWindowFlag(Qt::Tool);
    m_historyPanel->resize(640, 560);
    connect(IMG_HISTORY, &controls::VXL_TBARMENU::ButtonClick, this, [this] { showHistory(); });
}

HistoryPanel* FRMLP_FORMULE::historyPanel() const {
    return m_historyPanel;
}

void FRMLP_FORMULE::translateHistoryCaptions() {
    IMG_HISTORY->setToolTip(translate(IMG_HISTORY->toolTip()));
    m_historyPanel->translateCaptions();
}

std::optional<qint64> FRMLP_FORMULE::recordNumber() const {
    bool ok = false;
    const qint64 number = RTrimN(id()).toString().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

void FRMLP_FORMULE::showHistory(std::optional<int> select) {
    core::runStep(QStringLiteral("showHistory"), errorAnswer(), [&] {
        const std::optional<qint64> record = recordNumber();
        ado::Connection* connection = GconConnect();
        if (!record || connection == nullptr) {
            m_historyPanel->setProblem(
                translate(QStringLiteral("La finestra non è aperta su un record salvato: "
                                         "non c'è una cronologia da mostrare")));
        } else {
            editing::FormulaHistory history(*connection, [this](const QString& s) { return translate(s); });
            if (!history.available()) {
                m_historyPanel->setProblem(translate(editing::historymsg::NoTable));
            } else {
                const QList<editing::FormulaVersion> versions =
                    history.listLatest(context(), *record, MaxListed + 1);
                const bool more = versions.size() > MaxListed;
                m_historyPanel->setVersions(more ? versions.first(MaxListed) : versions, more, select);
            }
        }
        m_historyPanel->show();
        m_historyPanel->raise();
    });
}

void FRMLP_FORMULE::restoreFromHistory(const QString& text) {
    // The box is not the formula's display form in the technical view, and a run may be reading it.
    if (m_technicalView || m_storedUnreadable || runInFlight())
        return;
    // One step of the window's own undo history: Ctrl+Z gives back the text the box held.
    m_parts->history.recordEdit([&] { TXT_FORMULA->SetText(text); });
    TXT_FORMULA->setFocus();
}

void FRMLP_FORMULE::rememberLoadedVersion() {
    m_loadedVersion.reset();
    const std::optional<qint64> record = recordNumber();
    if (!record || GconConnect() == nullptr)
        return;
    try {
        editing::FormulaHistory history(*GconConnect());
        if (history.available())
            m_loadedVersion = history.latestVersion(context(), *record);
    } catch (const core::ComError&) {
        // Unread, the version is not compared: the save reports a history it cannot write.
    }
}

bool FRMLP_FORMULE::askOverwriteMoved(const editing::FormulaVersion& newer) {
    if (m_parts->closeAfterRun || m_log == nullptr)
        return false; // the window is closing: nothing more is asked or written
    const QString who = newer.user.isEmpty() ? translate(editing::historymsg::Unknown) : newer.user;
    const QString when = QString(newer.when).replace(u'T', u' ').remove(u'Z');
    const QString prompt =
        translate(QStringLiteral("La formula è stata salvata da %1 il %2 (UTC), versione %3, dopo che questa "
                                 "finestra l'ha letta (versione %4)."))
            .arg(who, when)
            .arg(newer.version)
            .arg(m_loadedVersion.value_or(0)) +
        QStringLiteral("\r\n") +
        translate(QStringLiteral("Sovrascrivere la sua versione con il testo del riquadro, mostrare le "
                                 "differenze o annullare il salvataggio?"));
    const int answer = m_log->MessageBoxCaptions(
        prompt, host::mb::YesNoCancel | host::mb::Exclamation | host::mb::DefaultButton3,
        translate(QStringLiteral("Formula modificata nel frattempo")),
        {translate(QStringLiteral("Sovrascrivi")), translate(QStringLiteral("Mostra differenze")),
         translate(QStringLiteral("Non salvare"))});
    if (answer == host::answer::Yes)
        return true;
    if (answer == host::answer::No)
        showHistory(newer.version);
    return false;
}

void FRMLP_FORMULE::versionWritten() {
    if (const int version = m_parts->store.lastVersion(); version > 0)
        m_loadedVersion = version;
    if (m_historyPanel->isVisible())
        showHistory(m_loadedVersion);
}

} // namespace editor
