#pragma once

#include "host/Responder.h"

#include <QMessageBox>

#include <memory>

namespace host {

// The QMessageBox button of an answer code (Ok 1 ... No 7), and back: Close and Escape count as
// Cancel 2.
QMessageBox::StandardButton standardButton(int answer);
int answerCode(QMessageBox::StandardButton button);
// The QMessageBox icon of a message-box code's icon (Exclamation shows the warning sign).
QMessageBox::Icon messageBoxIcon(MessageBoxLayout::Icon icon);

// The QMessageBox of a request, as DialogResponder shows it (the demo host also renders it).
std::unique_ptr<QMessageBox> messageBoxFor(const Request& request);

// Shows the request as a modal QMessageBox with the buttons, icon and default button of its code.
// Programs with windows make it the default responder (Responder::setDefault).
class DialogResponder : public Responder {
public:
    int respond(const Request& request) override;
};

} // namespace host
