// The window while a batch runs on the worker: what would start another run or change the
// formula box under it is locked, and a close stops the run first.
#include "editor/FRMLP_FORMULE.h"
#include "editor/FRMLP_FORMULE_Parts.h"
#include "editor/TrialPanel.h"

#include "host/controls/HostControls.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace editor {

BackgroundRun* FRMLP_FORMULE::backgroundRun() const {
    return m_parts->background.get();
}

bool FRMLP_FORMULE::runInFlight() const {
    return m_parts->background->running();
}

void FRMLP_FORMULE::connectBackgroundRun() {
    m_parts->background->lockWhileRunning(
        {IMG_CHECK, IMG_SAVE, IMG_CLEAR, IMG_UNDO, IMG_REDO, m_trial ? m_trial->runButton() : nullptr},
        TXT_FORMULA);
    connect(m_parts->background.get(), &BackgroundRun::runningChanged, this, [this](bool running) {
        if (running || !m_parts->closeAfterRun)
            return;
        // Queued: the run's caller (the check, the save) returns to the event loop first.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_parts->closeAfterRun = false;
                close(); // put off again when another run has started meanwhile
            },
            Qt::QueuedConnection);
    });
}

bool FRMLP_FORMULE::deferCloseWhileRunning(QCloseEvent* event) {
    if (!runInFlight())
        return false;
    m_parts->closeAfterRun = true;
    m_parts->background->cancel();
    event->ignore();
    return true;
}

} // namespace editor
