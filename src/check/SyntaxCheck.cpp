#include "check/SyntaxCheck.h"

#include "ado/Ado.h"
#include "check/Declarations.h"
#include "check/Messages.h"
#include "check/StatementGuard.h"

namespace check {

SyntaxCheck::SyntaxCheck(TextBox& formulaBox, Services services)
    : m_box(formulaBox)
    , m_services(std::move(services)) {}

QString SyntaxCheck::checkBatch(const QString& sql) {
    return CheckDeclarations() + sql;
}

int SyntaxCheck::declarationLines() {
    return DeclarationLineCount + 1; // the block and the configurator option
}

QString SyntaxCheck::tr(const QString& text) const {
    return m_services.translate ? m_services.translate(text) : text;
}

void SyntaxCheck::fail(const QString& message, int formulaLine) {
    m_correct = false;
    if (m_serverMessage.isEmpty()) {
        m_serverMessage = message;
        m_formulaLine = formulaLine;
    }
}

core::Variant SyntaxCheck::CheckFormula(bool ShowMessage) {
    m_correct = false;
    m_serverMessage.clear();
    m_formulaLine = 0;
    m_batch.clear();
    try {
        const QString text = m_box.text();
        const QString sql = m_services.decode ? m_services.decode(text, true) : text;
        m_batch = checkBatch(sql);
        ado::Connection* connection = m_services.connection ? m_services.connection() : nullptr;
        if (!connection)
            throw core::ComError(core::err::ObjectVariableNotSet,
                                 QStringLiteral("No connection to check the formula on"));
        m_correct = runBatch(connection, sql);
    } catch (const core::ComError& e) {
        fail(e.description());
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
    } catch (...) {
        fail(QStringLiteral("Unknown error"));
    }
    if (!m_correct && m_services.log) {
        QString entry = QStringLiteral("Syntax check of the formula failed: ") + m_serverMessage;
        if (m_formulaLine > 0)
            entry += QStringLiteral(" (formula line %1)").arg(m_formulaLine);
        try {
            m_services.log(entry);
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
    return m_correct ? core::Variant::fromBool(true) : core::Variant();
}

bool SyntaxCheck::runBatch(ado::Connection* connection, const QString& sql) {
    if (const auto refused = findRefusedStatement(sql)) {
        fail(QStringLiteral("%1 is not allowed in a formula under check: %2")
                 .arg(refused->keyword.toUpper(), refused->reason),
             refused->line);
        return false;
    }
    if (connection->TransactionCount() != 0) {
        fail(QStringLiteral("A transaction is already open on the connection: the check would roll it back"));
        return false;
    }

    connection->BeginTrans();
    const int inside = connection->TransactionCount();
    if (inside != 1) {
        // Without a transaction of its own the check cannot undo the formula: it does not run it.
        if (inside > 0)
            connection->RollbackTrans();
        fail(QStringLiteral("The connection did not open the check's transaction"));
        return false;
    }
    bool accepted = true;
    try {
        connection->Execute(m_batch); // the result set, if any, is released unread
    } catch (const core::ComError& e) {
        accepted = false;
        const ado::Errors& errors = connection->GetErrors();
        if (errors.Count() > 0) {
            const ado::Error& first = errors.Item(0);
            const int line = first.line - declarationLines();
            fail(first.description.isEmpty() ? e.description() : first.description, line > 0 ? line : 0);
        } else {
            fail(e.description());
        }
    } catch (...) {
        // Whatever went wrong, the transaction below is still rolled back.
        accepted = false;
        fail(QStringLiteral("The batch could not be run on the connection"));
    }
    int after = inside;
    try {
        after = connection->TransactionCount();
    } catch (const core::ComError& e) {
        fail(e.description());
        accepted = false;
    }
    if (after != inside) {
        accepted = false;
        fail(
            QStringLiteral("The formula changed the transaction count from %1 to %2").arg(inside).arg(after));
    }
    // Whatever happened, nothing of the batch stays: roll back what is still open.
    if (after > 0) {
        try {
            connection->RollbackTrans();
        } catch (const core::ComError& e) {
            accepted = false;
            fail(QStringLiteral("The check's transaction could not be rolled back: ") + e.description());
        }
    }
    return accepted;
}

void SyntaxCheck::show(bool correct) {
    if (!m_services.messageBox)
        return;
    if (correct) {
        m_services.messageBox(tr(msg::Correct), msg::CorrectCode, tr(msg::CorrectTitle));
    } else {
        m_services.messageBox(tr(msg::Attention) + msg::CrLf + tr(msg::NotCorrect), msg::NotCorrectCode,
                              tr(msg::NotCorrectTitle));
    }
}

void SyntaxCheck::clickCheck(const core::ErrorAnswerFn& errorAnswer) {
    core::runStep(QStringLiteral("IMG_CHECK_ButtonClick"), errorAnswer, [this] { CheckFormula(true); });
}

} // namespace check
