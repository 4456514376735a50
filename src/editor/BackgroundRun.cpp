#include "editor/BackgroundRun.h"

#include "ado/Ado.h"
#include "core/Error.h"

#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <exception>
#include <mutex>

namespace editor {

namespace {

const QString BusyText = QStringLiteral("Il server sta eseguendo la formula...");
const QString StopText = QStringLiteral("Interrompi");
const QString AlreadyRunning = QStringLiteral("Un'altra esecuzione della formula è in corso");

// How often a stop is said again until the worker's run has returned: a stop that reaches the
// engine between two batches is forgotten when the next one starts.
constexpr int CancelRepeatMs = 50;

// The message a batch stopped before it began ends with: the engine's time limit, as a stop
// while it runs gives it.
ado::Error stoppedBeforeStart() {
    ado::Error e;
    e.number = core::err::ProviderError;
    e.nativeError = 3617;
    e.severity = 25;
    e.state = 1;
    e.sqlState = QStringLiteral("HY008");
    e.description = BackgroundRun::stoppedText();
    return e;
}

} // namespace

struct BackgroundRun::Job {
    check::GuardedRequest request;
    check::DetachedRun detached; // work that needs no connection (then request is unused)
    // Work that takes the worker's connection (then request and detached are unused).
    std::function<void(ado::Connection*)> withConnection;
    std::function<void()> stop;
    QString connectionString;
    std::atomic<bool> cancelled{false};
    // Written by the worker, read by the window's thread once the worker said it is done.
    check::GuardedOutcome outcome;
    std::exception_ptr error;
    bool noConnection = false;           // the worker could not open a connection from the string
    bool done = false;                   // the window's thread has been told
    std::atomic<bool> workerDone{false}; // the worker has returned from the job
};

// Lives on the worker thread with its connection: the connection's database handle belongs to
// the thread that opened it.
class BackgroundRun::Worker : public QObject {
public:
    void execute(Job& job) {
        if (job.detached.work) {
            executeDetached(job);
            return;
        }
        if (job.withConnection) {
            executeWithConnection(job);
            return;
        }
        if (!open(job.connectionString)) {
            job.noConnection = true;
            return;
        }
        {
            const std::lock_guard lock(m_mutex);
            m_active = m_own.get();
        }
        if (job.cancelled) {
            job.outcome.errors.append(stoppedBeforeStart());
        } else {
            try {
                job.outcome = check::runGuarded(*m_own, job.request);
            } catch (...) {
                job.error = std::current_exception();
            }
        }
        const std::lock_guard lock(m_mutex);
        m_active = nullptr;
    }

    // Called from the window's thread: stops the batch the worker's connection is running, or the
    // detached work running.
    void cancelActive() {
        const std::lock_guard lock(m_mutex);
        if (m_active)
            m_active->Cancel();
        if (m_activeStop)
            m_activeStop();
    }

    // On the worker thread, before it ends: the connection goes with the thread that opened it.
    void close() {
        const std::lock_guard lock(m_mutex);
        m_own.reset();
        m_ownString.clear();
    }

private:
    void executeDetached(Job& job) {
        {
            const std::lock_guard lock(m_mutex);
            m_activeStop = job.detached.stop;
        }
        if (job.cancelled) {
            job.outcome.errors.append(stoppedBeforeStart());
        } else {
            try {
                job.outcome = job.detached.work();
            } catch (...) {
                job.error = std::current_exception();
            }
        }
        const std::lock_guard lock(m_mutex);
        m_activeStop = nullptr;
    }

    void executeWithConnection(Job& job) {
        ado::Connection* connection = open(job.connectionString) ? m_own.get() : nullptr;
        {
            const std::lock_guard lock(m_mutex);
            m_active = connection;
            m_activeStop = job.stop;
        }
        if (!job.cancelled) {
            try {
                job.withConnection(connection);
            } catch (...) {
                job.error = std::current_exception();
            }
        }
        const std::lock_guard lock(m_mutex);
        m_active = nullptr;
        m_activeStop = nullptr;
    }

    bool open(const QString& connectionString) {
        if (m_own && m_ownString == connectionString)
            return true;
        if (connectionString.trimmed().isEmpty() || connectionString == m_failedString)
            return false;
        auto connection = std::make_unique<ado::Connection>();
        try {
            connection->Open(connectionString);
        } catch (...) {
            // A server that needs the credentials the host gave its own connection: the window's
            // thread runs the batch on that one.
            m_failedString = connectionString;
            return false;
        }
        const std::lock_guard lock(m_mutex);
        m_own = std::move(connection);
        m_ownString = connectionString;
        return true;
    }

    std::mutex m_mutex;
    std::unique_ptr<ado::Connection> m_own;
    ado::Connection* m_active = nullptr;
    std::function<void()> m_activeStop;
    QString m_ownString;
    QString m_failedString;
};

BackgroundRun::BackgroundRun(QWidget* window, TranslateFn translate)
    : m_window(window)
    , m_translate(std::move(translate)) {}

BackgroundRun::~BackgroundRun() {
    if (!m_thread)
        return;
    if (m_job)
        m_job->cancelled = true;
    m_thread->quit();
    // The run in flight ends at the engine's next check of its budget; the stop is said again
    // until it has.
    while (!m_thread->wait(CancelRepeatMs))
        m_worker->cancelActive();
    delete m_worker;
    delete m_thread;
}

const QString& BackgroundRun::stoppedText() {
    static const QString text = QStringLiteral("Esecuzione interrotta dall'utente.");
    return text;
}

check::GuardedRunFn BackgroundRun::runner() {
    QPointer<BackgroundRun> self(this);
    return [self](ado::Connection& connection, const check::GuardedRequest& request) {
        if (!self)
            return check::runGuarded(connection, request);
        return self->run(connection, request);
    };
}

void BackgroundRun::ensureWorker() {
    if (m_thread)
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("formula-run"));
    m_worker = new Worker;
    m_worker->moveToThread(m_thread);
    // Told on the worker thread as it ends: the connection closes on the thread that opened it.
    connect(
        m_thread, &QThread::finished, m_worker, [worker = m_worker] { worker->close(); },
        Qt::DirectConnection);
    m_thread->start();
    m_cancelTimer = new QTimer(this);
    m_cancelTimer->setInterval(CancelRepeatMs);
    connect(m_cancelTimer, &QTimer::timeout, this, [this] { m_worker->cancelActive(); });
    m_busyTimer = new QTimer(this);
    m_busyTimer->setSingleShot(true);
    connect(m_busyTimer, &QTimer::timeout, this, &BackgroundRun::showIndicator);
}

void BackgroundRun::ensureIndicator() {
    if (m_busy)
        return;
    m_busy = new QWidget(m_window, Qt::Tool);
    m_busy->setObjectName(QStringLiteral("busyIndicator"));
    auto* layout = new QVBoxLayout(m_busy);
    m_busyText = new QLabel(m_busy);
    auto* bar = new QProgressBar(m_busy);
    bar->setRange(0, 0); // no steps to count: the bar only says that the run goes on
    bar->setTextVisible(false);
    m_stop = new QPushButton(m_busy);
    m_stop->setObjectName(QStringLiteral("CMD_INTERROMPI"));
    layout->addWidget(m_busyText);
    layout->addWidget(bar);
    layout->addWidget(m_stop);
    connect(m_stop, &QPushButton::clicked, this, &BackgroundRun::cancel);
}

void BackgroundRun::showIndicator() {
    if (!m_running)
        return;
    ensureIndicator();
    m_busy->setWindowTitle(m_window ? m_window->windowTitle() : QString());
    m_busyText->setText(tr(BusyText));
    m_stop->setText(tr(StopText));
    m_stop->setEnabled(true);
    m_busy->adjustSize();
    if (m_window) {
        const QRect frame = m_window->geometry();
        m_busy->move(
            m_window->mapToGlobal(QPoint((frame.width() - m_busy->width()) / 2, frame.height() / 3)));
    }
    m_busy->show();
    m_busy->raise();
    emit busyShown();
}

void BackgroundRun::cancel() {
    if (!m_job || m_job->done)
        return;
    m_job->cancelled = true;
    m_lastCancelled = true;
    if (m_stop)
        m_stop->setEnabled(false);
    m_worker->cancelActive();
    m_cancelTimer->start();
}

void BackgroundRun::finish(const std::shared_ptr<Job>& job) {
    job->done = true;
    m_cancelTimer->stop();
    if (job == m_job)
        emit waitingEnded();
}

check::GuardedOutcome BackgroundRun::run(ado::Connection& connection, const check::GuardedRequest& request) {
    auto job = std::make_shared<Job>();
    job->request = request;
    job->connectionString = connection.connectionString();
    return execute(job, [&connection, &request] { return check::runGuarded(connection, request); });
}

check::DetachedRunFn BackgroundRun::detachedRunner() {
    QPointer<BackgroundRun> self(this);
    return [self](const check::DetachedRun& work) {
        if (!self)
            return work.work();
        return self->runDetached(work);
    };
}

check::GuardedOutcome BackgroundRun::runDetached(const check::DetachedRun& work) {
    auto job = std::make_shared<Job>();
    job->detached = work;
    return execute(job, {});
}

void BackgroundRun::runWithConnection(ado::Connection& connection,
                                      const std::function<void(ado::Connection*)>& work,
                                      const std::function<void()>& stop) {
    auto job = std::make_shared<Job>();
    job->withConnection = work;
    job->stop = stop;
    job->connectionString = connection.connectionString();
    execute(job, {});
}

check::GuardedOutcome BackgroundRun::execute(const std::shared_ptr<Job>& job,
                                             const std::function<check::GuardedOutcome()>& here) {
    if (m_running)
        throw core::ComError(core::err::ProviderError, tr(AlreadyRunning));
    ensureWorker();
    m_job = job;
    m_running = true;
    m_lastCancelled = false;
    emit runningChanged(true);
    struct End {
        BackgroundRun* self;
        ~End() {
            self->m_running = false;
            self->m_job.reset();
            self->m_busyTimer->stop();
            self->m_cancelTimer->stop();
            if (self->m_busy)
                self->m_busy->hide();
            emit self->runningChanged(false);
        }
    } end{this};

    QMetaObject::invokeMethod(
        m_worker,
        [this, worker = m_worker, job] {
            worker->execute(*job);
            job->workerDone = true;
            // The window's object waits for the thread before it goes: `this` is alive here, and
            // an event posted to it after it has gone is dropped with it.
            QMetaObject::invokeMethod(
                this, [this, job] { finish(job); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    if (!job->withConnection)
        m_busyTimer->start(m_busyDelay);
    QEventLoop loop;
    connect(this, &BackgroundRun::waitingEnded, &loop, &QEventLoop::quit);
    QMetaObject::invokeMethod(this, &BackgroundRun::waiting, Qt::QueuedConnection);
    loop.exec();
    if (!job->done)
        waitAfterQuit(*job);

    if (job->error)
        std::rethrow_exception(job->error);
    if (job->noConnection)
        return here();
    check::GuardedOutcome outcome = std::move(job->outcome);
    // A stopped run says so rather than that it ran out of time; one that ended before the stop
    // reached it keeps its verdict.
    if (job->cancelled && !outcome.errors.isEmpty() && check::serverUnavailable(outcome.errors.first())) {
        outcome.errors.first().description = tr(stoppedText());
        outcome.stopped = true;
    }
    return outcome;
}

void BackgroundRun::waitAfterQuit(Job& job) {
    // The application quits under the run: it tells every event loop to end, this one too, and
    // runs none again. The run is stopped and waited for here, without events, so that nothing the
    // caller gave it goes while the worker still uses it.
    job.cancelled = true;
    m_lastCancelled = true;
    while (!job.workerDone) {
        m_worker->cancelActive();
        QThread::msleep(CancelRepeatMs);
    }
}

void BackgroundRun::lockWhileRunning(const QList<QWidget*>& disabled, QPlainTextEdit* readOnly) {
    connect(this, &BackgroundRun::runningChanged, this, [this, disabled, readOnly](bool running) {
        if (running) {
            m_locked.clear();
            for (QWidget* w : disabled)
                if (w) {
                    m_locked.append({w, w->isEnabled()});
                    w->setEnabled(false);
                }
            m_lockedBox = readOnly;
            m_boxWasReadOnly = readOnly && readOnly->isReadOnly();
            if (readOnly)
                readOnly->setReadOnly(true);
            return;
        }
        for (const auto& [w, enabled] : std::as_const(m_locked))
            if (w)
                w->setEnabled(enabled);
        m_locked.clear();
        if (m_lockedBox)
            m_lockedBox->setReadOnly(m_boxWasReadOnly);
        m_lockedBox = nullptr;
    });
}

} // namespace editor
