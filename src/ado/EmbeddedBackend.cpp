#include "ado/Backends.h"
#include "tsql/DatabaseFile.h"
#include "tsql/Engine.h"

#include <QFileInfo>

#include <atomic>

namespace ado::detail {

namespace {

const QString EmbeddedSource = QStringLiteral("Embedded");

[[noreturn]] void failOpen(const QString& description, const QString& driverText = {}) {
    OpenFailure failure{core::ComError(core::err::ConnectionFailed, description, EmbeddedSource), {}};
    Error e;
    e.number = core::err::ConnectionFailed;
    e.description = driverText.isEmpty() ? description : driverText;
    e.source = EmbeddedSource;
    failure.driverErrors.append(e);
    throw failure;
}

} // namespace

QString uniqueConnectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("formule-ado-%1").arg(++counter);
}

QString sqlStateForMessage(int number) {
    switch (number) {
    case 207:
        return QStringLiteral("42S22");
    case 208:
        return QStringLiteral("42S02");
    case 8134:
        return QStringLiteral("22012");
    case 220:
    case 232:
    case 8115:
        return QStringLiteral("22003");
    case 245:
    case 8114:
        return QStringLiteral("22018");
    case 2627:
    case 2601:
    case 515:
    case 547:
        return QStringLiteral("23000");
    default:
        return QStringLiteral("42000");
    }
}

EmbeddedBackend::EmbeddedBackend(const ConnectionString& cs) {
    const QString path = cs.firstOf(keys::DataSource);
    if (path.trimmed().isEmpty())
        failOpen(QStringLiteral("Provider=Embedded needs the Data Source key (the database file)"));
    const QFileInfo info(path);
    if (!info.exists())
        failOpen(QStringLiteral("The database file \"%1\" does not exist (key Data Source)").arg(path));
    if (info.isDir())
        failOpen(QStringLiteral("\"%1\" is a directory, not a database file (key Data Source)").arg(path));

    // Mode=Read opens the file read-only; ReadWrite (or no Mode) for reading and writing.
    const QString mode = cs.value(QStringLiteral("mode")).trimmed();
    const bool readOnly = mode.compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
    if (!readOnly && !mode.isEmpty() && mode.compare(QLatin1String("ReadWrite"), Qt::CaseInsensitive) != 0)
        failOpen(QStringLiteral("Mode must be Read or ReadWrite, not \"%1\"").arg(mode));

    const QString name = uniqueConnectionName();
    const std::optional<QString> driverText = tsql::openDatabaseFile(name, path, readOnly);
    if (!driverText) {
        m_name = name;
        m_engine = std::make_unique<tsql::Engine>(QSqlDatabase::database(name, false));
        return;
    }
    failOpen(
        QStringLiteral("\"%1\" cannot be opened as a database (key Data Source): %2").arg(path, *driverText),
        *driverText);
}

EmbeddedBackend::~EmbeddedBackend() {
    close();
}

void EmbeddedBackend::close() {
    if (m_name.isEmpty())
        return;
    m_engine.reset();
    tsql::closeDatabase(m_name);
    m_name.clear();
}

namespace {

BatchOutcome outcomeOf(tsql::BatchResult&& r) {
    BatchOutcome out;
    out.resultSets = std::move(r.resultSets);
    out.recordsAffected = r.recordsAffected;
    if (r.error)
        out.errors.append(embeddedError(*r.error));
    return out;
}

} // namespace

BatchOutcome EmbeddedBackend::execute(const QString& commandText) {
    return outcomeOf(m_engine->execute(commandText));
}

void EmbeddedBackend::setLimits(const CommandLimits& limits) {
    m_engine->setLimits(embeddedLimits(limits));
}

IsolatedOutcome EmbeddedBackend::executeIsolated(const QString& commandText, bool writes, bool trace,
                                                 tsql::ReadRest* read) {
    // A transaction already open is the engine's to refuse (Msg 40004): its fence checks it.
    tsql::IsolatedResult r = m_engine->executeIsolated(commandText, writes, trace, read);
    IsolatedOutcome out;
    if (trace)
        out.executedLines = r.result.executedLines;
    out.outcome = outcomeOf(std::move(r.result));
    out.transactionCountAfter = r.transactionCountAfter;
    return out;
}

void EmbeddedBackend::cancel() {
    // The engine only stops its running batch: the rollback that ends the isolated run is no
    // batch and always runs.
    if (m_engine)
        m_engine->cancel();
}

void EmbeddedBackend::beginTransaction() {
    m_engine->beginTransaction();
}

void EmbeddedBackend::commitTransaction() {
    m_engine->commitTransaction();
}

void EmbeddedBackend::rollbackTransaction() {
    m_engine->rollbackTransaction();
}

int EmbeddedBackend::transactionCount() {
    return m_engine->transactionCount();
}

} // namespace ado::detail

namespace ado {

Error embeddedError(const tsql::ServerError& error) {
    Error e;
    e.number = core::err::ProviderError;
    e.description = error.message;
    e.nativeError = error.number;
    e.sqlState = detail::sqlStateForMessage(error.number);
    e.source = detail::EmbeddedSource;
    e.line = error.line;
    e.column = error.column;
    e.severity = error.level;
    e.state = error.state;
    return e;
}

tsql::Limits embeddedLimits(const CommandLimits& limits) {
    tsql::Limits l;
    l.timeoutMs = limits.timeoutMs;
    l.memoryBytes = limits.memoryBytes;
    l.lockWaitMs = limits.lockWaitMs;
    l.diskBytes = limits.diskBytes;
    return l;
}

} // namespace ado
