#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace host {

// Standard message-box answer codes.
namespace answer {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace answer

// Standard message-box style values a code is built from.
namespace mb {
inline constexpr std::int32_t OkOnly = 0;
inline constexpr std::int32_t OkCancel = 1;
inline constexpr std::int32_t AbortRetryIgnore = 2;
inline constexpr std::int32_t YesNoCancel = 3;
inline constexpr std::int32_t YesNo = 4;
inline constexpr std::int32_t RetryCancel = 5;
inline constexpr std::int32_t Critical = 16;
inline constexpr std::int32_t Question = 32;
inline constexpr std::int32_t Exclamation = 48;
inline constexpr std::int32_t Information = 64;
inline constexpr std::int32_t DefaultButton2 = 256;
inline constexpr std::int32_t DefaultButton3 = 512;
inline constexpr std::int32_t SystemModal = 4096;
} // namespace mb

// What a message-box code means on screen: buttons in order and the default one (as the answer
// codes they give), icon.
struct MessageBoxLayout {
    enum class Icon { None, Critical, Question, Exclamation, Information };
    QList<int> buttons;
    Icon icon = Icon::None;
    int defaultButton = 0;
    bool systemModal = false;
};

// Decodes a code made of the values above (unknown button groups fall back to OK only).
MessageBoxLayout messageBoxLayout(std::int32_t code);

// One question put to the user.
struct Request {
    enum class Kind { Message, Error };
    Kind kind = Kind::Message;
    QString title;
    QString text;          // prompt, or the error report of ShowError
    std::int32_t code = 0; // message-box code (4370 for ShowError)
    QStringList captions;  // texts of the code's buttons in their order; empty: the standard ones
};

// Answers the log object's dialogs. Programs with windows install the DialogResponder of
// formule_host_gui, which shows a QMessageBox; tests and the command-line tool install another one
// so that nothing ever waits on a dialog.
class Responder {
public:
    virtual ~Responder() = default;
    // Returns the answer code (1..7).
    virtual int respond(const Request& request) = 0;

    // The process-wide responder used by log objects that were given none (never null): the one
    // installed with setCurrent, else the default one. setCurrent(nullptr) restores the default.
    static Responder* current();
    static void setCurrent(Responder* responder);
    // The default responder (not owned). Until a program sets one, every request is answered with
    // the default button of its code; setDefault(nullptr) restores that.
    static void setDefault(Responder* responder);
};

// Scripted answers for tests and the command-line tool: answers are taken in order; once they
// run out, the fallback answer is used (the default button of the code when fallback is 0).
// Every request is recorded.
class TestResponder : public Responder {
public:
    explicit TestResponder(QList<int> answers = {}, int fallback = 0);
    int respond(const Request& request) override;

    void push(int answer) { m_answers.append(answer); }
    void setFallback(int answer) { m_fallback = answer; }
    const QList<Request>& requests() const { return m_requests; }
    void clear() { m_requests.clear(); }

private:
    QList<int> m_answers;
    int m_fallback = 0;
    QList<Request> m_requests;
};

// Installs a responder as the current one for its lifetime and restores the previous one.
class ScopedResponder {
public:
    explicit ScopedResponder(Responder* responder);
    ~ScopedResponder();
    ScopedResponder(const ScopedResponder&) = delete;
    ScopedResponder& operator=(const ScopedResponder&) = delete;

private:
    Responder* m_previous;
};

} // namespace host
