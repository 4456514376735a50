#include "host/Responder.h"

namespace host {

MessageBoxLayout messageBoxLayout(std::int32_t code) {
    MessageBoxLayout layout;
    switch (code & 0xF) {
    case mb::OkCancel:
        layout.buttons = {answer::Ok, answer::Cancel};
        break;
    case mb::AbortRetryIgnore:
        layout.buttons = {answer::Abort, answer::Retry, answer::Ignore};
        break;
    case mb::YesNoCancel:
        layout.buttons = {answer::Yes, answer::No, answer::Cancel};
        break;
    case mb::YesNo:
        layout.buttons = {answer::Yes, answer::No};
        break;
    case mb::RetryCancel:
        layout.buttons = {answer::Retry, answer::Cancel};
        break;
    default:
        layout.buttons = {answer::Ok};
        break;
    }
    switch (code & 0x70) {
    case mb::Critical:
        layout.icon = MessageBoxLayout::Icon::Critical;
        break;
    case mb::Question:
        layout.icon = MessageBoxLayout::Icon::Question;
        break;
    case mb::Exclamation:
        layout.icon = MessageBoxLayout::Icon::Exclamation;
        break;
    case mb::Information:
        layout.icon = MessageBoxLayout::Icon::Information;
        break;
    default:
        layout.icon = MessageBoxLayout::Icon::None;
        break;
    }
    int defaultIndex = 0;
    if (code & mb::DefaultButton3)
        defaultIndex = 2;
    else if (code & mb::DefaultButton2)
        defaultIndex = 1;
    if (defaultIndex >= layout.buttons.size())
        defaultIndex = 0;
    layout.defaultButton = layout.buttons.at(defaultIndex);
    layout.systemModal = (code & mb::SystemModal) != 0;
    return layout;
}

namespace {
// Answers with the default button of the code: the responder of a program that installed none.
class DefaultButtonResponder : public Responder {
public:
    int respond(const Request& request) override { return messageBoxLayout(request.code).defaultButton; }
};

Responder* g_current = nullptr;
Responder* g_default = nullptr;
} // namespace

Responder* Responder::current() {
    static DefaultButtonResponder defaultButton;
    if (g_current)
        return g_current;
    return g_default ? g_default : &defaultButton;
}

void Responder::setCurrent(Responder* responder) {
    g_current = responder;
}

void Responder::setDefault(Responder* responder) {
    g_default = responder;
}

TestResponder::TestResponder(QList<int> answers, int fallback)
    : m_answers(std::move(answers))
    , m_fallback(fallback) {}

int TestResponder::respond(const Request& request) {
    m_requests.append(request);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    if (m_fallback != 0)
        return m_fallback;
    return messageBoxLayout(request.code).defaultButton;
}

ScopedResponder::ScopedResponder(Responder* responder)
    : m_previous(g_current) {
    Responder::setCurrent(responder);
}

ScopedResponder::~ScopedResponder() {
    Responder::setCurrent(m_previous);
}

} // namespace host
