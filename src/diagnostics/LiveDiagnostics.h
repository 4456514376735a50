#pragma once

#include "diagnostics/Diagnostics.h"
#include "diagnostics/ElementCatalog.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace diagnostics {

// The live diagnostics of an editor: after a pause in typing the text is analysed by a
// DiagnosticsEngine on a thread of its own, so the parse never holds up the user interface;
// only the newest text's result is delivered, on the thread that owns this object.
class LiveDiagnostics : public QObject {
    Q_OBJECT
public:
    using TranslateFn = std::function<QString(const QString&)>;
    static constexpr int DefaultDelayMs = 300;

    // The messages are translated here, on the caller's thread, once: the worker only reads them.
    LiveDiagnostics(std::shared_ptr<const ElementCatalog> catalog, const TranslateFn& translate,
                    QObject* parent = nullptr);
    ~LiveDiagnostics() override;

    // The text changed: analysed once typing pauses for the delay.
    void textChanged(const QString& text);
    // Analyses the text now (no pause).
    void analyseNow(const QString& text);
    void setDelay(int milliseconds) { m_timer.setInterval(milliseconds); }
    // Judges elements against `catalog` from now on (the company's lists arrived): texts
    // handed over after this call are analysed with it.
    void setCatalog(std::shared_ptr<const ElementCatalog> catalog);
    // Forget the pending text and any result on its way (the box shows something else).
    void cancel();

signals:
    // The diagnostics of `text`, the newest text handed over.
    void ready(const QList<diagnostics::Diagnostic>& found, const QString& text);

private:
    struct Worker;
    void post();

    std::shared_ptr<const ElementCatalog> m_catalog;
    TranslateFn m_messages;
    QTimer m_timer;
    QString m_pending;
    // The newest revision handed over, read by the worker to skip texts already replaced.
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
    QThread* m_thread = nullptr;
    Worker* m_worker = nullptr;
};

} // namespace diagnostics
