#include "editor/WhereUsedSearch.h"

#include "editor/CatalogLoader.h"

#include "ado/Ado.h"
#include "core/Error.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

namespace editor {

namespace {

// How long the worker gathers records before it hands them over (after the first one, which goes
// at once): the window adds a batch in one go instead of a row at a time.
constexpr qint64 BatchMs = 40;

// The search itself, wherever it runs: `hand` receives the records as they are ready.
qint64 searchUses(ado::Connection& connection, const language::ElementName& name,
                  const std::function<void(QList<RecordUses>)>& hand,
                  const std::function<bool()>& cancelled) {
    language::WhereUsed search(connection);
    const std::optional<language::UsedElement> element = search.resolve(name);
    if (!element)
        return 0; // a category that no longer exists is used nowhere
    WhereUsedSearch::Grouping grouping;
    QElapsedTimer sinceHanded;
    bool handed = false;
    const qint64 uses = search.run(
        *element, std::nullopt,
        [&](const language::ElementUse& use) {
            grouping.add(use);
            if (grouping.hasComplete() && (!handed || sinceHanded.elapsed() >= BatchMs)) {
                hand(grouping.take(false));
                handed = true;
                sinceHanded.restart();
            }
        },
        cancelled);
    hand(grouping.take(true));
    return uses;
}

} // namespace

bool WhereUsedSearch::Grouping::add(const language::ElementUse& use) {
    if (!m_records.isEmpty() && m_records.last().context == use.context && m_records.last().id == use.id) {
        if (m_records.last().lines.last() != use.line)
            m_records.last().lines.append(use.line);
        return false;
    }
    m_records.append({use.context, use.id, use.description, {use.line}});
    return m_records.size() > 1;
}

QList<RecordUses> WhereUsedSearch::Grouping::take(bool all) {
    QList<RecordUses> out;
    if (all || m_records.size() <= 1) {
        if (all)
            out.swap(m_records);
        return out;
    }
    RecordUses last = m_records.takeLast();
    out.swap(m_records);
    m_records.append(std::move(last));
    return out;
}

WhereUsedSearch::WhereUsedSearch(QObject* parent)
    : QObject(parent) {}

WhereUsedSearch::~WhereUsedSearch() {
    *m_cancelled = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void WhereUsedSearch::start(ado::Connection& connection, const language::ElementName& name) {
    const QString connectionString = connection.connectionString();
    QPointer<ado::Connection> windowConnection(&connection);
    m_thread = QThread::create([this, connectionString, name, windowConnection, cancelled = m_cancelled] {
        const std::unique_ptr<ado::Connection> own = ownConnection(connectionString);
        if (!own) {
            QMetaObject::invokeMethod(
                this,
                [this, windowConnection, name] {
                    if (windowConnection)
                        searchHere(*windowConnection, name);
                    else
                        emit finished(0, QString());
                },
                Qt::QueuedConnection);
            return;
        }
        // This object waits for the thread before it goes: `this` is alive here, and an event
        // posted to it after it has gone is dropped with it.
        const auto hand = [this, cancelled](QList<RecordUses> records) {
            if (records.isEmpty() || *cancelled)
                return;
            QMetaObject::invokeMethod(
                this, [this, records = std::move(records)] { emit found(records); }, Qt::QueuedConnection);
        };
        qint64 uses = 0;
        QString error;
        try {
            uses = searchUses(*own, name, hand, [cancelled] { return cancelled->load(); });
        } catch (const core::ComError& e) {
            error = e.description();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        own->Close();
        QMetaObject::invokeMethod(
            this,
            [this, uses, error] {
                m_finished = true;
                emit finished(uses, error);
            },
            Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("where-used"));
    m_thread->start(QThread::LowPriority);
}

void WhereUsedSearch::searchHere(ado::Connection& connection, const language::ElementName& name) {
    qint64 uses = 0;
    QString error;
    try {
        uses = searchUses(
            connection, name, [this](const QList<RecordUses>& records) { emit found(records); },
            [cancelled = m_cancelled] { return cancelled->load(); });
    } catch (const core::ComError& e) {
        error = e.description();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    m_finished = true;
    emit finished(uses, error);
}

} // namespace editor
