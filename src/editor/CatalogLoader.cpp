#include "editor/CatalogLoader.h"

#include "ado/Ado.h"
#include "core/HostServices.h"
#include "diagnostics/ElementCatalog.h"
#include "diagnostics/ElementSearch.h"

#include <QThread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace editor {

std::unique_ptr<ado::Connection> ownConnection(const QString& connectionString) {
    if (connectionString.trimmed().isEmpty())
        return nullptr;
    try {
        auto connection = std::make_unique<ado::Connection>();
        connection->Open(connectionString);
        return connection;
    } catch (...) {
        return nullptr;
    }
}

CatalogLoader::CatalogLoader(core::HostServices& host, QObject* parent)
    : QObject(parent)
    , m_host(host) {}

CatalogLoader::~CatalogLoader() {
    *m_cancelled = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void CatalogLoader::start(const QString& ditta, ReadyFn ready) {
    m_ditta = ditta;
    m_ready = std::move(ready);
    m_labels =
        std::make_shared<const diagnostics::ElementCatalog>(diagnostics::ElementCatalog::withLabels(m_host));
    m_ready(m_labels, std::make_shared<const diagnostics::ElementSearch>(m_labels));
    ado::Connection* connection = nullptr;
    try {
        connection = m_host.connection();
    } catch (...) {
        connection = nullptr;
    }
    if (!connection) {
        finish(m_labels, nullptr); // no database: the lists stay unknown
        return;
    }
    const QString connectionString = connection->connectionString();
    m_thread = QThread::create([this, connectionString, ditta, labels = m_labels, cancelled = m_cancelled] {
        const std::unique_ptr<ado::Connection> own = ownConnection(connectionString);
        if (!own) {
            QMetaObject::invokeMethod(
                this, [this] { readHere(); }, Qt::QueuedConnection);
            return;
        }
        auto catalog = std::make_shared<diagnostics::ElementCatalog>(*labels);
        catalog->readLists(own.get(), ditta, [cancelled] { return cancelled->load(); });
        own->Close();
        if (*cancelled)
            return;
        auto search = std::make_shared<const diagnostics::ElementSearch>(catalog);
#if defined(__GLIBC__)
        // The rows read are freed by now; the worker's heap gives their pages back.
        malloc_trim(0);
#endif
        QMetaObject::invokeMethod(
            this, [this, catalog, search] { finish(catalog, search); }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}

void CatalogLoader::readHere() {
    auto catalog = std::make_shared<const diagnostics::ElementCatalog>(
        diagnostics::ElementCatalog::load(m_host, m_ditta));
    finish(catalog, std::make_shared<const diagnostics::ElementSearch>(catalog));
}

void CatalogLoader::finish(const Catalog& catalog, const Search& search) {
    if (search)
        m_ready(catalog, search);
    m_loaded = true;
    emit loaded();
}

} // namespace editor
