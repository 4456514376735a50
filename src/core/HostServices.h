#pragma once

#include "core/Error.h"
#include "core/Variant.h"

#include <QString>

#include <functional>

namespace ado {
class Connection;
}

namespace core {

// What the subsystems of the editor (translations, check, save, element tree) need from
// whoever hosts them: the editor window, the command-line tool, a test. One interface, so that
// each of them is implemented once and handed over whole.
class HostServices {
public:
    virtual ~HostServices() = default;

    // The connection the window works on; null when there is none.
    virtual ado::Connection* connection() = 0;
    // The host translation service: Italian text in, the text to show out. May throw ComError.
    virtual QString translate(const QString& italianText) = 0;
    // The host message box: prompt, message-box code (4 Yes/No, 16 critical, 32 question,
    // 48 exclamation, 64 information, 256 second button default), title; returns the button
    // pressed (1 OK, 6 Yes, 7 No).
    virtual int messageBox(const QString& prompt, int code, const QString& title) = 0;
    // The error display (VisualizzaErrore): asked with the procedure's name, answers 3 abort,
    // 4 retry or 5 ignore.
    virtual int errorAnswer(const QString& procedure, const ErrorInfo& error) = 0;
    // The editing context of the record (enmContestoformule) and the record's identifier (ID).
    virtual int editingContext() = 0;
    virtual Variant recordId() = 0;

    // errorAnswer as the function the step runner takes; valid while this object lives.
    ErrorAnswerFn errorAnswerFn() {
        return [this](const QString& procedure, const ErrorInfo& error) {
            return errorAnswer(procedure, error);
        };
    }
};

// The pieces of FunctionServices, filled with designated initialisers. A missing function
// behaves as a host without that service: no connection, texts unchanged, every question
// answered No, every error answered with abort, the provider context, no identifier.
struct ServiceFunctions {
    std::function<ado::Connection*()> connection;
    std::function<QString(const QString&)> translate;
    std::function<int(const QString& prompt, int code, const QString& title)> messageBox;
    ErrorAnswerFn errorAnswer;
    std::function<int()> context;
    std::function<Variant()> id;
};

// Host services made of plain functions, for hosts that have their pieces at hand (the tool,
// tests, benchmarks).
class FunctionServices final : public HostServices {
public:
    explicit FunctionServices(ServiceFunctions functions = {})
        : f(std::move(functions)) {}

    ado::Connection* connection() override { return f.connection ? f.connection() : nullptr; }
    QString translate(const QString& text) override { return f.translate ? f.translate(text) : text; }
    int messageBox(const QString& prompt, int code, const QString& title) override {
        return f.messageBox ? f.messageBox(prompt, code, title) : 7;
    }
    int errorAnswer(const QString& procedure, const ErrorInfo& error) override {
        return f.errorAnswer ? f.errorAnswer(procedure, error) : static_cast<int>(Answer::Abort);
    }
    int editingContext() override { return f.context ? f.context() : 0; }
    Variant recordId() override { return f.id ? f.id() : Variant(); }

    ServiceFunctions f;
};

} // namespace core
