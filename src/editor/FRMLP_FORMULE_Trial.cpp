// The window's trial panel: the button beside the check, Ctrl+T, and the values the user typed
// for a record, remembered in the host's settings of the user (never in the company's database).

#include "editor/BackgroundRun.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FollowMoves.h"
#include "editor/TrialCases.h"
#include "editor/TrialPanel.h"

#include "core/NullSafe.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/TranslationService.h"
#include "host/WindowPlacement.h"
#include "host/controls/HostControls.h"
#include "host/controls/VxlRichTextBox.h"
#include "language/FormulaLanguage.h"
#include "language/References.h"

#include <QEvent>
#include <QStyle>

namespace editor {

namespace {

const QString VisibleKey = QStringLiteral("trial/visible");
// The panel's place beside its window: its frame's offset from the window's and its size.
const QString PlaceKey = QStringLiteral("windows/TRIAL_PANEL");

// The window's frame on screen; inside the host's multi-document area, the window's own rectangle.
QRect anchorFrame(const QWidget* window) {
    return window->isWindow() ? window->frameGeometry()
                              : QRect(window->mapToGlobal(QPoint(0, 0)), window->size());
}

// The user's settings of the host, or null without a host.
host::UserSettings* userSettings(host::Cinterface* ai) {
    host::GlobalObject* global = ai ? ai->ClsGlobal() : nullptr;
    return global ? global->Settings()->User() : nullptr;
}

// The display text of a category (id 123 -> "{C01 - Colore}") or a variant (code V01 ->
// "|V01 - Colore scocca|") through the look-ups the translation to display form makes, on the
// editor's connection; empty when the connection does not know it (the panel shows the key).
QString referenceLabel(ado::Connection* connection, const check::TrialElement& element) {
    if (!connection)
        return {};
    language::Services services;
    services.execute = [connection](const QString& statement) { return connection->Execute(statement); };
    language::refs::Lookup lookup(services);
    try {
        if (element.kind == check::TrialElement::Kind::Category) {
            if (const auto label = lookup.lookupCategoryLabel(core::CDecN(core::Variant(element.key))))
                return u'{' + *label + u'}';
        } else if (element.kind == check::TrialElement::Kind::Variant) {
            if (const auto label = lookup.lookupVariantLabel(language::refs::sqlLiteral(element.key)))
                return u'|' + *label + u'|';
        }
    } catch (const core::ComError&) {
        // A look-up that fails leaves the key: the panel is no place for a database error.
    }
    return {};
}

} // namespace

void FRMLP_FORMULE::buildTrialPanel(const QRect& button) {
    IMG_TRIAL = new controls::VXL_TBARMENU(this);
    IMG_TRIAL->setObjectName(QStringLiteral("IMG_TRIAL"));
    IMG_TRIAL->SetPicture(style()->standardIcon(QStyle::SP_MediaPlay));
    // Translated with the other captions once the host is known (translateCaptions).
    IMG_TRIAL->setToolTip(QStringLiteral("Prova la formula (Ctrl+T)"));
    IMG_TRIAL->setGeometry(button);
    new FollowMoves(IMG_CHECK, IMG_TRIAL);
    m_trial = new TrialPanel(
        TXT_FORMULA, [this](const QString& s) { return translate(s); }, this);
    m_trial->setWindowFlag(Qt::Tool);
    m_trial->resize(420, 520);
    m_trial->setSources(
        {.sqlForm =
             [this] { return decodeToken(RTrimN(core::Variant(TXT_FORMULA->Text())).toString(), false); },
         .connection = [this] { return GconConnect(); },
         .labelOf = [this](const check::TrialElement& e) { return referenceLabel(GconConnect(), e); },
         // The window's parts come after its controls: the worker is looked up when a run starts.
         .run =
             [this](ado::Connection& connection, const check::GuardedRequest& request) {
                 return backgroundRun()->run(connection, request);
             },
         .busy = [this] { return runInFlight(); },
         .evaluate = [this](const check::DetachedRun& work) { return backgroundRun()->runDetached(work); },
         .reading = [this] { return trialReading(); }});
    connect(IMG_TRIAL, &controls::VXL_TBARMENU::ButtonClick, this, [this] { toggleTrialPanel(); });
    connect(m_trial, &TrialPanel::ran, this, [this] { rememberTrialValues(); });
    buildTrialCases();
}

TrialPanel* FRMLP_FORMULE::trialPanel() const {
    return m_trial;
}

check::TrialReading FRMLP_FORMULE::trialReading() const {
    host::Cinterface* ai = ActiveInterface();
    host::GlobalObject* host = ai ? ai->ClsGlobal() : nullptr;
    host::TranslationService* service = host ? host->Translation() : nullptr;
    return check::readingOf(service ? service->language() : QString());
}

QString FRMLP_FORMULE::trialSettingsKey() const {
    return QStringLiteral("trial/values/%1/%2").arg(context()).arg(RTrimN(id()).toString());
}

void FRMLP_FORMULE::toggleTrialPanel() {
    showTrialPanel(!m_trial->isVisible());
    // Opened by the user: typing goes to its first value.
    if (m_trial->isVisible()) {
        m_trial->activateWindow();
        m_trial->focusFirstValue();
    }
}

void FRMLP_FORMULE::showTrialPanel(bool show) {
    if (show) {
        m_trial->refreshElements();
        if (m_cases)
            m_cases->reload();
        placeTrialPanel();
        m_trial->setVisible(true);
        host::fitToScreen(m_trial, true); // its decorations are known once it is shown
    } else {
        hideTrialPanel();
    }
    if (host::UserSettings* settings = userSettings(ActiveInterface()))
        settings->SetValue(VisibleKey, show);
}

void FRMLP_FORMULE::placeTrialPanel() {
    // Beside the window where the user last had it, else to its right (to its left when the
    // screen has no room there), always inside the screen of the window.
    const QRect anchor = anchorFrame(this);
    const QRect available = host::availableFor(this, anchor, true);
    host::UserSettings* settings = userSettings(ActiveInterface());
    const QRect kept = settings ? settings->Value(PlaceKey).toRect() : QRect();
    const QRect frame = kept.isValid()
                            ? host::fitFrame(QRect(anchor.topLeft() + kept.topLeft(), kept.size()), available)
                            : host::besideFrame(anchor, m_trial->frameGeometry().size(), available);
    const QSize decorations = m_trial->frameGeometry().size() - m_trial->size();
    m_trial->resize(frame.size() - decorations);
    m_trial->move(frame.topLeft());
}

void FRMLP_FORMULE::hideTrialPanel() {
    if (!m_trial->isVisible())
        return;
    if (host::UserSettings* settings = userSettings(ActiveInterface())) {
        const QRect frame = m_trial->frameGeometry();
        settings->SetValue(PlaceKey, QRect(frame.topLeft() - anchorFrame(this).topLeft(), frame.size()));
    }
    m_trial->hide();
}

void FRMLP_FORMULE::restoreTrialPanel() {
    host::UserSettings* settings = userSettings(ActiveInterface());
    if (!settings)
        return;
    QHash<QString, QString> values;
    const QVariantMap stored = settings->Value(trialSettingsKey()).toMap();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        values.insert(it.key(), it.value().toString());
    m_trial->setValues(values);
    if (settings->Value(VisibleKey, false).toBool() && !m_storedUnreadable)
        showTrialPanel(true);
}

void FRMLP_FORMULE::rememberTrialValues() {
    host::UserSettings* settings = userSettings(ActiveInterface());
    if (!settings)
        return;
    QVariantMap map;
    const QHash<QString, QString> values = m_trial->values();
    for (auto it = values.begin(); it != values.end(); ++it)
        map.insert(it.key(), it.value());
    settings->SetValue(trialSettingsKey(), map);
}

} // namespace editor
