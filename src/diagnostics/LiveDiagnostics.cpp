#include "diagnostics/LiveDiagnostics.h"

#include "check/ServerMessageTexts.h"

#include "diagnostics/Texts.h"

#include <QHash>
#include <QThread>

namespace diagnostics {

// Lives on the worker thread: its engine (and the engine's in-memory database) belongs there.
struct LiveDiagnostics::Worker : QObject {
    std::shared_ptr<const ElementCatalog> catalog;
    QHash<QString, QString> messages;
    std::unique_ptr<DiagnosticsEngine> engine;

    QList<Diagnostic> analyse(const QString& text) {
        if (!engine)
            engine = std::make_unique<DiagnosticsEngine>(
                *catalog, [this](const QString& s) { return messages.value(s, catalog->translated(s)); });
        return engine->analyse(text);
    }
    ~Worker() override { engine.reset(); }
};

LiveDiagnostics::LiveDiagnostics(std::shared_ptr<const ElementCatalog> catalog, const TranslateFn& translate,
                                 QObject* parent)
    : QObject(parent)
    , m_catalog(std::move(catalog)) {
    QHash<QString, QString> messages;
    for (const QString& text : msg::all() + check::serverMessageTexts())
        messages.insert(text, translate ? translate(text) : text);
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &LiveDiagnostics::post);
    m_thread = new QThread(this);
    m_worker = new Worker;
    m_worker->catalog = m_catalog;
    m_worker->messages = std::move(messages);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
}

LiveDiagnostics::~LiveDiagnostics() {
    m_thread->quit();
    m_thread->wait();
}

void LiveDiagnostics::textChanged(const QString& text) {
    m_pending = text;
    ++*m_latest;
    m_timer.start();
}

void LiveDiagnostics::analyseNow(const QString& text) {
    m_pending = text;
    ++*m_latest;
    m_timer.stop();
    post();
}

void LiveDiagnostics::setCatalog(std::shared_ptr<const ElementCatalog> catalog) {
    m_catalog = std::move(catalog);
    // Queued before any later text, so the worker swaps the catalogue before analysing it; the
    // engine refers to the catalogue, so it goes first.
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker, catalog = m_catalog] {
        worker->engine.reset();
        worker->catalog = catalog;
    });
}

void LiveDiagnostics::cancel() {
    ++*m_latest;
    m_timer.stop();
}

// The destructor waits for the worker's thread, so `this` outlives a parse in progress; a
// result posted back to a destroyed object is dropped with it.
void LiveDiagnostics::post() {
    const quint64 revision = *m_latest;
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker,
        [this, worker, revision, latest = m_latest, text = m_pending] {
            // A newer text is on its way: this one is not worth the parse.
            if (*latest != revision)
                return;
            QList<Diagnostic> found = worker->analyse(text);
            QMetaObject::invokeMethod(
                this,
                [this, revision, latest, found = std::move(found), text] {
                    if (*latest == revision)
                        emit ready(found, text);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

} // namespace diagnostics
