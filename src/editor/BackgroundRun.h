#pragma once

#include "check/GuardedRun.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QThread;
class QTimer;
class QWidget;

namespace ado {
class Connection;
}

namespace editor {

// Runs the window's guarded batches (the check of the button and of Ctrl+H, the save's silent
// check, the trial run, the run of the formula as saved) on a worker thread with a connection of
// its own, opened from the window connection's string, and the compiled evaluator's trial runs
// on the same worker, which need no connection. The caller's thread waits for the outcome
// in a local event loop, so its code goes on exactly as after a call on its own connection
// (message boxes included) while the window paints and answers meanwhile. Half a second into a
// run a small busy indicator with "Interrompi" shows beside the window; the button (or cancel())
// stops the batch, which then ends as its time limit would end it.
//
// One run at a time: the window disables what would start another (see runningChanged), and a
// run asked for while one is in flight is refused with a ComError (the callers count that as a
// server that could not judge the formula). When the worker cannot open a connection from the
// string alone, the batch runs on the window's connection on the window's thread, as before.
class BackgroundRun : public QObject {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;

    // `window` carries the busy indicator; `translate` gives its texts in the user's language.
    BackgroundRun(QWidget* window, TranslateFn translate);
    // Stops the batch in flight and waits for the worker to end.
    ~BackgroundRun() override;

    // run() as the check, the trial run and the production run take it.
    check::GuardedRunFn runner();
    // Runs `request` on the worker and returns its outcome when it has ended; throws what
    // runGuarded throws. `connection` is the window's: the worker opens its string.
    check::GuardedOutcome run(ado::Connection& connection, const check::GuardedRequest& request);
    // The same for work that needs no connection (the compiled evaluator's run of a trial): on
    // the worker, with the same indicator, stop (which calls the work's own) and refusal of a
    // second run.
    check::DetachedRunFn detachedRunner();
    check::GuardedOutcome runDetached(const check::DetachedRun& work);
    // Work of the window's own that needs the worker's connection (the impact preview, whose rows
    // may run on the engine): `work` gets the connection the worker opened from the string of
    // `connection`, or null when it cannot open one, and never runs on the caller's thread.
    // `stop` is called from the caller's thread by cancel(), besides the stop of the batch the
    // worker's connection runs. The busy indicator does not show: the caller shows its progress.
    // Returns when the work has ended; throws what it throws (a ComError when a run is in flight).
    void runWithConnection(ado::Connection& connection, const std::function<void(ado::Connection*)>& work,
                           const std::function<void()>& stop);

    bool running() const { return m_running; }
    // Stops the batch in flight (the busy indicator's button); nothing when none is.
    void cancel();
    // Whether the last run was stopped by cancel().
    bool lastCancelled() const { return m_lastCancelled; }
    // How long a run goes before the busy indicator shows (500 ms).
    void setBusyDelay(int milliseconds) { m_busyDelay = milliseconds; }
    // The busy indicator and its button (created with the first run).
    QWidget* busyIndicator() const { return m_busy; }
    QPushButton* stopButton() const { return m_stop; }
    // The text a cancelled batch's message says instead of the time limit's.
    static const QString& stoppedText();

    // While a run is in flight `disabled` are disabled and `readOnly` (the formula box, whose
    // text the run's caller has read already) takes no edits; each gets its state back after.
    void lockWhileRunning(const QList<QWidget*>& disabled, QPlainTextEdit* readOnly);

signals:
    // A run started or ended (the window disables and enables what starts one).
    void runningChanged(bool running);
    // The local event loop of a run started to serve events.
    void waiting();
    // The busy indicator appeared.
    void busyShown();
    // The worker has handed over the outcome of the run in flight (ends the local event loop).
    void waitingEnded();

private:
    class Worker;
    struct Job;

    void ensureWorker();
    void ensureIndicator();
    void showIndicator();
    void finish(const std::shared_ptr<Job>& job);
    // The local event loop of a run ended before the run did (the application quits).
    void waitAfterQuit(Job& job);
    // Runs `job` on the worker; `here` runs it on the caller's thread when the worker cannot open
    // a connection of its own.
    check::GuardedOutcome execute(const std::shared_ptr<Job>& job,
                                  const std::function<check::GuardedOutcome()>& here);
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }

    QPointer<QWidget> m_window;
    TranslateFn m_translate;
    QThread* m_thread = nullptr;
    Worker* m_worker = nullptr;
    std::shared_ptr<Job> m_job; // the run in flight
    QWidget* m_busy = nullptr;
    QLabel* m_busyText = nullptr;
    QPushButton* m_stop = nullptr;
    QTimer* m_busyTimer = nullptr;
    QTimer* m_cancelTimer = nullptr;
    int m_busyDelay = 500;
    bool m_running = false;
    bool m_lastCancelled = false;
    QList<std::pair<QPointer<QWidget>, bool>> m_locked;
    QPointer<QPlainTextEdit> m_lockedBox;
    bool m_boxWasReadOnly = false;
};

} // namespace editor
