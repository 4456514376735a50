#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace ado {
class Connection;
}
namespace core {
class HostServices;
}
namespace diagnostics {
class ElementCatalog;
class ElementSearch;
} // namespace diagnostics

namespace editor {

// A worker's connection: the host connection's string opened anew. Null when there is none or it
// cannot be opened from the string alone (a server that needs the host's credentials).
std::unique_ptr<ado::Connection> ownConnection(const QString& connectionString);

// The catalogue of the elements a formula may name, without holding up the window's first
// paint: the labels come at once (the host's translation service answers on this thread), the
// company's categories and variants, and the search index over them, are read on a worker thread
// with a connection of its own. Until they are there the lists count as unknown, so nothing is
// judged against them. When the worker cannot open a connection (a server that needs the
// credentials the host gave its own connection), the lists are read on this thread once the
// event loop runs, after the paint.
class CatalogLoader : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool loaded READ isLoaded NOTIFY loaded)
public:
    using Catalog = std::shared_ptr<const diagnostics::ElementCatalog>;
    using Search = std::shared_ptr<const diagnostics::ElementSearch>;
    using ReadyFn = std::function<void(const Catalog&, const Search&)>;

    CatalogLoader(core::HostServices& host, QObject* parent = nullptr);
    // Stops the worker between rows and waits for it.
    ~CatalogLoader() override;

    // Hands `ready` the labels' catalogue now and the full one later (on this thread). Once per
    // loader.
    void start(const QString& ditta, ReadyFn ready);
    // Whether the full catalogue has been handed over.
    bool isLoaded() const { return m_loaded; }

signals:
    // The full catalogue has been handed over.
    void loaded();

private:
    void finish(const Catalog& catalog, const Search& search);
    void readHere();

    core::HostServices& m_host;
    QString m_ditta;
    ReadyFn m_ready;
    Catalog m_labels;
    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    bool m_loaded = false;
};

} // namespace editor
