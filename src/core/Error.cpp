#include "core/Error.h"

#include <utility>

namespace core {

namespace {

std::string whatText(const ErrorInfo& info) {
    return QStringLiteral("%1 (%2)").arg(info.description).arg(info.number).toStdString();
}

// Shows the error and tells what to do; an empty answer function counts as no display at all.
int ask(const QString& procedure, const ErrorAnswerFn& answer, const std::exception_ptr& e) {
    if (!answer)
        return static_cast<int>(Answer::Abort);
    return answer(procedure, currentErrorInfo(e));
}

} // namespace

ComError::ComError(qint32 number, QString description, QString source)
    : ComError(ErrorInfo{number, std::move(description), std::move(source)}) {}

ComError::ComError(ErrorInfo info)
    : m_info(std::move(info))
    , m_what(whatText(m_info)) {}

QString standardDescription(qint32 number) {
    switch (number) {
    case err::InvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case err::Overflow:
        return QStringLiteral("Overflow");
    case err::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case err::DivisionByZero:
        return QStringLiteral("Division by zero");
    case err::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case err::ObjectVariableNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case err::InvalidUseOfNull:
        return QStringLiteral("Invalid use of Null");
    case err::ObjectRequired:
        return QStringLiteral("Object required");
    case err::AdoBofEof:
        return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                              "Requested operation requires a current record.");
    case err::AdoItemNotFound:
        return QStringLiteral(
            "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    case err::AdoOperationNotAllowed:
        return QStringLiteral("Operation is not allowed when the object is closed.");
    case err::ProviderNotFound:
        return QStringLiteral("Provider cannot be found. It may not be properly installed.");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

void raiseError(qint32 number, const QString& source) {
    throw ComError(number, standardDescription(number), source);
}

ErrorInfo currentErrorInfo(const std::exception_ptr& e) {
    if (!e)
        return {};
    try {
        std::rethrow_exception(e);
    } catch (const ComError& c) {
        return c.info();
    } catch (const std::exception& x) {
        return ErrorInfo{err::InvalidProcedureCall, QString::fromUtf8(x.what()), {}};
    } catch (...) {
        return ErrorInfo{err::InvalidProcedureCall, standardDescription(err::InvalidProcedureCall), {}};
    }
}

ErrorAnswerFn suppressErrors() {
    return [](const QString&, const ErrorInfo&) { return static_cast<int>(Answer::Ignore); };
}

bool runStep(const QString& procedure, const ErrorAnswerFn& answer, const std::function<void()>& step) {
    for (;;) {
        std::exception_ptr failure;
        try {
            step();
            return true;
        } catch (...) {
            failure = std::current_exception();
        }
        // The answer is asked outside the handler, so that a display that throws in turn
        // does not run inside the first error's catch block.
        switch (ask(procedure, answer, failure)) {
        case static_cast<int>(Answer::Retry):
            continue;
        case static_cast<int>(Answer::Ignore):
            return true;
        default:
            return false;
        }
    }
}

Outcome runSteps(const QString& procedure, const ErrorAnswerFn& answer,
                 std::initializer_list<std::function<void()>> steps) {
    for (const auto& step : steps)
        if (!runStep(procedure, answer, step))
            return Outcome::Aborted;
    return Outcome::Completed;
}

} // namespace core
