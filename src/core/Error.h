#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <initializer_list>
#include <string>

namespace core {

// The run-time error object: what a failing statement raises and a handler reads.
struct ErrorInfo {
    qint32 number = 0;
    QString description;
    QString source;
};

// Error numbers of the platform's run-time errors that the system raises itself.
namespace err {
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 ObjectRequired = 424;
inline constexpr qint32 ObjectVariableNotSet = 91;
inline constexpr qint32 InvalidProcedureCall = 5;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 DivisionByZero = 11;
inline constexpr qint32 InvalidUseOfNull = 94;
// ADO / provider errors (HRESULTs as signed 32-bit numbers).
inline constexpr qint32 AdoItemNotFound = 3265;         // item not found in the collection
inline constexpr qint32 AdoOperationNotAllowed = 3704;  // operation not allowed when the object is closed
inline constexpr qint32 AdoBofEof = 3021;               // either BOF or EOF is True
inline constexpr qint32 ProviderError = -2147217900;    // 0x80040E14: error reported by the provider
inline constexpr qint32 ProviderNotFound = 3706;        // provider cannot be found
inline constexpr qint32 ConnectionFailed = -2147467259; // 0x80004005: unspecified / cannot connect
} // namespace err

// A raised run-time error. Every layer raises errors as this one type, so a single handler
// convention serves the whole system.
class ComError : public std::exception {
public:
    ComError(qint32 number, QString description, QString source = {});
    explicit ComError(ErrorInfo info);
    const ErrorInfo& info() const { return m_info; }
    qint32 number() const { return m_info.number; }
    const QString& description() const { return m_info.description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    ErrorInfo m_info;
    std::string m_what;
};

// The platform's text of a run-time error number ("Overflow", "Type mismatch", ...);
// "Application-defined or object-defined error" for numbers it does not know.
QString standardDescription(qint32 number);

// Throws ComError with the number's standard description.
[[noreturn]] void raiseError(qint32 number, const QString& source = {});

// Converts whatever a step threw into the error object (unknown exceptions become error 5).
ErrorInfo currentErrorInfo(const std::exception_ptr& e);

// The answers of the error display.
enum class Answer : int { Abort = 3, Retry = 4, Ignore = 5 };

// Asked with the procedure's name and the current error; returns 3, 4 or 5
// (any other value is taken as abort).
using ErrorAnswerFn = std::function<int(const QString& procedure, const ErrorInfo& error)>;

// An answer function that suppresses every error (each failing step is skipped).
ErrorAnswerFn suppressErrors();

enum class Outcome { Completed, Aborted };

// Runs a procedure as a list of steps under an error trap: when a step throws, `answer`
// is asked with the procedure's name; 3 leaves the procedure (Aborted), 4 runs the same step
// again, 5 goes on with the next step.
Outcome runSteps(const QString& procedure, const ErrorAnswerFn& answer,
                 std::initializer_list<std::function<void()>> steps);

// The same for a single step (a statement inside a loop, for example): returns true when the
// step completed or was ignored, false when the answer was abort.
bool runStep(const QString& procedure, const ErrorAnswerFn& answer, const std::function<void()>& step);

} // namespace core
