#include "host/Responder.h"

#include <QAbstractButton>

namespace host {

MessageBoxSpec messageBoxSpec(std::int32_t code) {
    using B = QMessageBox::StandardButton;
    MessageBoxSpec spec;
    switch (code & 0xF) {
    case mb::OkCancel:
        spec.buttons = {B::Ok, B::Cancel};
        break;
    case mb::AbortRetryIgnore:
        spec.buttons = {B::Abort, B::Retry, B::Ignore};
        break;
    case mb::YesNoCancel:
        spec.buttons = {B::Yes, B::No, B::Cancel};
        break;
    case mb::YesNo:
        spec.buttons = {B::Yes, B::No};
        break;
    case mb::RetryCancel:
        spec.buttons = {B::Retry, B::Cancel};
        break;
    default:
        spec.buttons = {B::Ok};
        break;
    }
    switch (code & 0x70) {
    case mb::Critical:
        spec.icon = QMessageBox::Critical;
        break;
    case mb::Question:
        spec.icon = QMessageBox::Question;
        break;
    case mb::Exclamation:
        spec.icon = QMessageBox::Warning;
        break;
    case mb::Information:
        spec.icon = QMessageBox::Information;
        break;
    default:
        spec.icon = QMessageBox::NoIcon;
        break;
    }
    int defaultIndex = 0;
    if (code & mb::DefaultButton3)
        defaultIndex = 2;
    else if (code & mb::DefaultButton2)
        defaultIndex = 1;
    if (defaultIndex >= spec.buttons.size())
        defaultIndex = 0;
    spec.defaultButton = spec.buttons.at(defaultIndex);
    spec.systemModal = (code & mb::SystemModal) != 0;
    return spec;
}

int answerCode(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return answer::Ok;
    case QMessageBox::Abort:
        return answer::Abort;
    case QMessageBox::Retry:
        return answer::Retry;
    case QMessageBox::Ignore:
        return answer::Ignore;
    case QMessageBox::Yes:
        return answer::Yes;
    case QMessageBox::No:
        return answer::No;
    default:
        return answer::Cancel;
    }
}

namespace {
DialogResponder& dialogResponder() {
    static DialogResponder responder;
    return responder;
}
Responder* g_current = nullptr;
} // namespace

Responder* Responder::current() {
    return g_current ? g_current : &dialogResponder();
}

void Responder::setCurrent(Responder* responder) {
    g_current = responder;
}

int DialogResponder::respond(const Request& request) {
    const MessageBoxSpec spec = messageBoxSpec(request.code);
    QMessageBox box(spec.icon, request.title, request.text);
    for (QMessageBox::StandardButton b : spec.buttons)
        box.addButton(b);
    box.setDefaultButton(spec.defaultButton);
    if (spec.buttons.size() == 1 || spec.buttons.contains(QMessageBox::Cancel))
        box.setEscapeButton(spec.buttons.contains(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                                       : spec.buttons.first());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return answerCode(spec.buttons.contains(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                                     : spec.defaultButton);
    return answerCode(box.standardButton(clicked));
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
    return answerCode(messageBoxSpec(request.code).defaultButton);
}

ScopedResponder::ScopedResponder(Responder* responder)
    : m_previous(g_current) {
    Responder::setCurrent(responder);
}

ScopedResponder::~ScopedResponder() {
    Responder::setCurrent(m_previous);
}

} // namespace host
