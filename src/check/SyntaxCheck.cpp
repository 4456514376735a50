#include "check/SyntaxCheck.h"

#include "ado/Ado.h"
#include "check/Declarations.h"
#include "check/GuardedRun.h"
#include "check/Messages.h"
#include "language/References.h"

namespace check {

SyntaxCheck::SyntaxCheck(core::TextBox& formulaBox, core::HostServices& host, Options options)
    : m_box(formulaBox)
    , m_host(host)
    , m_options(std::move(options)) {}

QString SyntaxCheck::checkBatch(const QString& sql) {
    return CheckDeclarations() + sql;
}

int SyntaxCheck::declarationLines() {
    return DeclarationLineCount + 1; // the block and the configurator option
}

QString SyntaxCheck::tr(const QString& text) const {
    return m_host.translate(text);
}

void SyntaxCheck::fail(const QString& message, int formulaLine, int batchLine, int column) {
    m_correct = false;
    if (m_serverMessage.isEmpty()) {
        m_serverMessage = message;
        m_formulaLine = formulaLine;
        m_batchLine = batchLine;
        m_batchColumn = column;
    }
}

core::Variant SyntaxCheck::CheckFormula(bool ShowMessage) {
    m_correct = false;
    m_shown = ShowMessage;
    m_busy = false;
    m_serverMessage.clear();
    m_formulaLine = 0;
    m_batchLine = 0;
    m_batchColumn = 0;
    m_translation = {};
    m_batch.clear();
    try {
        const QString text = m_box.text();
        m_translation = m_options.decode ? m_options.decode(text, true) : Translation{text, false, {}};
        const Translation& sql = m_translation;
        m_batch = checkBatch(sql.text);
        m_prefixLength = m_batch.size() - sql.text.size();
        ado::Connection* connection = m_host.connection();
        if (!connection)
            throw core::ComError(core::err::ObjectVariableNotSet, tr(msg::NoConnection));
        // The check goes on with what the translation returned, but a formula whose translation
        // failed is not correct: what the server saw is not the formula.
        if (sql.failed && sql.overLimit)
            fail(tr(msg::NotTranslated) + QStringLiteral(". ") +
                 tr(msg::OverTextLimit).arg(text.size()).arg(language::refs::MaxPassLength));
        else if (sql.failed)
            fail(tr(msg::NotTranslated));
        bool ran = false;
        try {
            ran = runBatch(connection);
        } catch (const core::ComError& e) {
            // The connection could not run the batch at all (closed, lost, refused): the formula
            // was not judged.
            m_busy = true;
            fail(tr(msg::ServerBusy).arg(e.description()));
        }
        m_correct = ran && !sql.failed;
    } catch (const core::ComError& e) {
        fail(e.description());
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
    } catch (...) {
        fail(QStringLiteral("Unknown error"));
    }
    if (!m_correct && m_options.log) {
        QString entry = QStringLiteral("Syntax check of the formula failed: ") + m_serverMessage;
        if (m_formulaLine > 0)
            entry += QStringLiteral(" (formula line %1)").arg(m_formulaLine);
        try {
            m_options.log(entry);
        } catch (...) {
            // The log is for administrators: a failing log never changes the outcome.
        }
    }
    if (ShowMessage) {
        try {
            show(m_correct);
        } catch (...) {
            // CheckFormula never raises to its caller.
        }
    }
    if (m_options.checked) {
        try {
            m_options.checked(*this);
        } catch (...) {
            // What the window shows besides never changes the outcome.
        }
    }
    return m_correct ? core::Variant::fromBool(true) : core::Variant();
}

bool SyntaxCheck::runBatch(ado::Connection* connection) {
    // The declaration block is the check's own text: the guard reads the formula only.
    const GuardedOutcome outcome = runGuardedWith(m_options.run, *connection,
                                                  {.batch = m_batch,
                                                   .limits = m_options.limits,
                                                   .trustedPrefix = m_prefixLength,
                                                   .trustedLines = declarationLines(),
                                                   .trace = false});
    if (outcome.accepted())
        return true;
    if (outcome.stopped && outcome.serverBusy()) {
        m_busy = true;
        fail(tr(msg::CheckStopped));
        return false;
    }
    if (outcome.serverBusy()) {
        m_busy = true;
        fail(tr(msg::ServerBusy).arg(describeFailure(outcome, declarationLines())));
        return false;
    }
    const int line = outcome.failureLine();
    const int column = outcome.failureColumn();
    const int formulaLine = line - declarationLines();
    fail(describeFailure(outcome, declarationLines(), [this](const QString& text) { return tr(text); }),
         formulaLine > 0 ? formulaLine : 0, formulaLine > 0 ? line : 0, formulaLine > 0 ? column : 0);
    return false;
}

void SyntaxCheck::show(bool correct) {
    if (correct) {
        m_host.messageBox(tr(msg::Correct), msg::CorrectCode, tr(msg::CorrectTitle));
    } else {
        m_host.messageBox(tr(msg::Attention) + msg::CrLf + tr(msg::NotCorrect), msg::NotCorrectCode,
                          tr(msg::NotCorrectTitle));
    }
}

void SyntaxCheck::clickCheck(const core::ErrorAnswerFn& errorAnswer) {
    core::runStep(QStringLiteral("IMG_CHECK_ButtonClick"), errorAnswer, [this] { CheckFormula(true); });
}

} // namespace check
