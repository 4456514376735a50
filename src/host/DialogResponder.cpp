#include "host/DialogResponder.h"

#include <QAbstractButton>
#include <QPushButton>

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

QMessageBox::Icon messageBoxIcon(MessageBoxLayout::Icon icon) {
    switch (icon) {
    case MessageBoxLayout::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBoxLayout::Icon::Question:
        return QMessageBox::Question;
    case MessageBoxLayout::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxLayout::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxLayout::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

std::unique_ptr<QMessageBox> messageBoxFor(const Request& request) {
    const MessageBoxLayout layout = messageBoxLayout(request.code);
    const bool hasCancel = layout.buttons.contains(answer::Cancel);
    auto box = std::make_unique<QMessageBox>(messageBoxIcon(layout.icon), request.title, request.text);
    for (qsizetype i = 0; i < layout.buttons.size(); ++i) {
        QAbstractButton* button = box->addButton(standardButton(layout.buttons.at(i)));
        if (i < request.captions.size() && button != nullptr)
            button->setText(request.captions.at(i));
    }
    box->setDefaultButton(standardButton(layout.defaultButton));
    if (layout.buttons.size() == 1 || hasCancel)
        box->setEscapeButton(standardButton(hasCancel ? answer::Cancel : layout.buttons.first()));
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

int DialogResponder::respond(const Request& request) {
    const MessageBoxLayout layout = messageBoxLayout(request.code);
    const bool hasCancel = layout.buttons.contains(answer::Cancel);
    const std::unique_ptr<QMessageBox> box = messageBoxFor(request);
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    if (!clicked)
        return hasCancel ? answer::Cancel : layout.defaultButton;
    return answerCode(box->standardButton(clicked));
}

} // namespace host
