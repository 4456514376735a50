#include "host/DialogResponder.h"

#include <QAbstractButton>

namespace host {

QMessageBox::StandardButton standardButton(int answer) {
    switch (answer) {
    case answer::Ok:
        return QMessageBox::Ok;
    case answer::Cancel:
        return QMessageBox::Cancel;
    case answer::Abort:
        return QMessageBox::Abort;
    case answer::Retry:
        return QMessageBox::Retry;
    case answer::Ignore:
        return QMessageBox::Ignore;
    case answer::Yes:
        return QMessageBox::Yes;
    case answer::No:
        return QMessageBox::No;
    default:
        return QMessageBox::NoButton;
    }
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

QMessageBox::Icon messageBoxIcon(MessageBoxSpec::Icon icon) {
    switch (icon) {
    case MessageBoxSpec::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBoxSpec::Icon::Question:
        return QMessageBox::Question;
    case MessageBoxSpec::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxSpec::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxSpec::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int DialogResponder::respond(const Request& request) {
    const MessageBoxSpec spec = messageBoxSpec(request.code);
    const bool hasCancel = spec.buttons.contains(answer::Cancel);
    QMessageBox box(messageBoxIcon(spec.icon), request.title, request.text);
    for (int button : spec.buttons)
        box.addButton(standardButton(button));
    box.setDefaultButton(standardButton(spec.defaultButton));
    if (spec.buttons.size() == 1 || hasCancel)
        box.setEscapeButton(standardButton(hasCancel ? answer::Cancel : spec.buttons.first()));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return hasCancel ? answer::Cancel : spec.defaultButton;
    return answerCode(box.standardButton(clicked));
}

} // namespace host
