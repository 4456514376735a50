// The window's test cases: kept in the trial panel, run after a check the user asked for (the
// strip says how many differ; a click shows them) and before a save writes (a differing case asks
// first, No the default). The check's and the save's own steps and texts are not touched: these
// come after the check and just before the write.

#include "editor/BackgroundRun.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"
#include "editor/TrialCases.h"
#include "editor/TrialPanel.h"

#include "check/Messages.h"
#include "check/Services.h"
#include "host/Cinterface.h"
#include "host/GlobalObject.h"
#include "host/controls/VxlRichTextBox.h"

#include <QInputDialog>
#include <QLayout>

namespace editor {

namespace {

const QString CasesTitle = QStringLiteral("Casi di prova");
// %1 the case's name, %2 its first difference.
const QString FirstDiffering = QStringLiteral("«%1»: %2");
constexpr int SaveAnywayCode = 4 + 48 + 256; // Yes and No, exclamation icon, No the default
const QString CrLf = QStringLiteral("\r\n");

} // namespace

void FRMLP_FORMULE::buildTrialCases() {
    m_cases = new TrialCases(
        m_trial, [this](const QString& s) { return translate(s); }, m_trial);
    m_trial->layout()->addWidget(m_cases);
    m_cases->setSources(
        {.connection = [this] { return GconConnect(); },
         .record = [this]() -> std::optional<std::pair<int, qint64>> {
             bool ok = false;
             const qint64 record = RTrimN(id()).toString().toLongLong(&ok);
             if (!ok)
                 return std::nullopt;
             return std::pair<int, qint64>{context(), record};
         },
         .sqlForm =
             [this] { return decodeToken(RTrimN(core::Variant(TXT_FORMULA->Text())).toString(), false); },
         .author =
             [this] {
                 host::Cinterface* ai = ActiveInterface();
                 host::GlobalObject* global = ai ? ai->ClsGlobal() : nullptr;
                 return global ? global->Settings()->User()->Name() : QString();
             },
         .run =
             [this](ado::Connection& connection, const check::GuardedRequest& request) {
                 return backgroundRun()->run(connection, request);
             },
         .evaluate = [this](const check::DetachedRun& work) { return backgroundRun()->runDetached(work); },
         .askName = [this](const QString& title, const QString& proposed) -> std::optional<QString> {
             if (m_askCaseName)
                 return m_askCaseName(title, proposed);
             bool ok = false;
             const QString name = QInputDialog::getText(m_trial, translate(CasesTitle), title,
                                                        QLineEdit::Normal, proposed, &ok);
             return ok ? std::optional<QString>(name) : std::nullopt;
         },
         .messageBox = [this](const QString& prompt, int code,
                              const QString& title) { return messageBox(prompt, code, title); },
         .reading = [this] { return trialReading(); }});
}

void FRMLP_FORMULE::runCasesAfterCheck() {
    if (!m_cases || m_storedUnreadable || !m_cases->reload() || m_cases->cases().isEmpty())
        return;
    const QString sql = decodeToken(RTrimN(core::Variant(TXT_FORMULA->Text())).toString(), false);
    const QList<check::CaseOutcome> outcomes = m_cases->runAll(sql);
    qsizetype differing = 0;
    for (const check::CaseOutcome& o : outcomes)
        differing += o.passed ? 0 : 1;
    // The panel shows the first differing case, whether it is open now or later.
    m_cases->showFirstDiffering();
    const auto translateFn = [this](const QString& s) { return translate(s); };
    assist()->showCases(check::casesSummary(outcomes.size(), differing, translateFn), differing > 0, [this] {
        showTrialPanel(true);
        m_cases->showFirstDiffering();
    });
}

bool FRMLP_FORMULE::confirmCasesBeforeSave(const QString& sqlForm) {
    if (!m_cases || !m_cases->reload() || m_cases->cases().isEmpty())
        return true;
    const QList<check::CaseOutcome> outcomes = m_cases->runAll(sqlForm);
    const check::CaseOutcome* first = nullptr;
    qsizetype differing = 0;
    for (const check::CaseOutcome& o : outcomes) {
        if (o.passed)
            continue;
        ++differing;
        if (!first)
            first = &o;
    }
    if (!first)
        return true;
    const auto translateFn = [this](const QString& s) { return translate(s); };
    const QString prompt = translate(check::msg::Attention) + CrLf +
                           check::casesSummary(outcomes.size(), differing, translateFn) + CrLf +
                           translate(FirstDiffering).arg(first->name, first->difference) + CrLf +
                           translate(check::msg::SaveAnyway);
    return messageBox(prompt, SaveAnywayCode, translate(CasesTitle)) == check::answer::Yes;
}

} // namespace editor
