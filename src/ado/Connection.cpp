#include "ado/Ado.h"
#include "ado/Backends.h"
#include "core/Logging.h"

namespace ado {

namespace {

const QString ConnectionSource = QStringLiteral("ADODB.Connection");

// The entry of the Errors collection for an error raised instead of reported.
Error errorOf(const core::ComError& error) {
    Error e;
    e.number = error.number();
    e.description = error.description();
    e.source = error.info().source;
    return e;
}

} // namespace

Connection::Connection(QObject* parent)
    : QObject(parent) {}

Connection::~Connection() {
    if (m_backend) {
        try {
            m_backend->close();
        } catch (...) {
            // Closing while destroyed must not throw.
        }
    }
}

void Connection::raise(qint32 number, const QString& description) {
    throw core::ComError(number, description, ConnectionSource);
}

void Connection::Open(const QString& connectionString, const QString& userId, const QString& password,
                      int /*options*/) {
    if (m_backend)
        raise(adoerr::OperationNotAllowedOpen,
              QStringLiteral("Operation is not allowed when the object is open."));
    if (!connectionString.isEmpty())
        m_connectionString = connectionString;
    m_errors.Clear();
    try {
        if (m_connectionString.trimmed().isEmpty())
            raise(core::err::ConnectionFailed,
                  QStringLiteral("The connection string is empty (expected Provider=...;Data Source=...)"));
        ConnectionString cs = ConnectionString::parse(m_connectionString);
        if (!userId.isEmpty())
            cs.set(QStringLiteral("user id"), userId);
        if (!password.isEmpty())
            cs.set(QStringLiteral("password"), password);
        const ProviderKind kind = ado::providerKind(cs);
        std::unique_ptr<Backend> backend;
        if (kind == ProviderKind::Embedded)
            backend = std::make_unique<detail::EmbeddedBackend>(cs);
        else
            backend = std::make_unique<detail::SqlServerBackend>(cs);
        backend->setLimits(m_limits);
        m_backend = std::move(backend);
        m_kind = kind;
        qCDebug(core::lcAdo) << "opened" << cs.value(QStringLiteral("Provider"))
                             << cs.value(QStringLiteral("Data Source"));
    } catch (const detail::OpenFailure& failure) {
        for (const Error& e : failure.driverErrors)
            m_errors.Append(e);
        if (m_errors.Count() == 0) {
            m_errors.Append(errorOf(failure.error));
        }
        throw failure.error;
    } catch (const core::ComError& error) {
        m_errors.Append(errorOf(error));
        throw;
    }
}

void Connection::Close() {
    if (!m_backend)
        raise(core::err::AdoOperationNotAllowed,
              QStringLiteral("Operation is not allowed when the object is closed."));
    std::unique_ptr<Backend> backend = std::move(m_backend);
    backend->close();
}

int Connection::State() const {
    return m_backend ? 1 : 0;
}

Backend& Connection::backend() {
    if (!m_backend)
        raise(core::err::AdoOperationNotAllowed,
              QStringLiteral("Operation is not allowed when the object is closed."));
    return *m_backend;
}

void Connection::setLimits(const CommandLimits& limits) {
    m_limits = limits;
    if (m_backend)
        m_backend->setLimits(limits);
}

void Connection::Cancel() {
    if (m_backend)
        m_backend->cancel();
}

IsolatedOutcome Connection::ExecuteIsolated(const QString& commandText, bool writes,
                                            const CommandLimits& limits, bool trace, tsql::ReadRest* read) {
    Backend& b = backend();
    m_errors.Clear();
    ++m_statements;
    b.setLimits(limits);
    // The connection's own limits come back whatever happens to the run.
    struct Restore {
        Backend& backend;
        const CommandLimits& limits;
        ~Restore() {
            try {
                backend.setLimits(limits);
            } catch (...) {
                // A back end that cannot take its limits back fails on its next command.
            }
        }
    } restore{b, m_limits};
    IsolatedOutcome out;
    try {
        out = b.executeIsolated(commandText, writes, trace, read);
    } catch (const core::ComError& error) {
        m_errors.Append(errorOf(error));
        throw;
    }
    for (const Error& e : out.outcome.errors)
        m_errors.Append(e);
    return out;
}

BatchOutcome Connection::run(const QString& commandText) {
    Backend& b = backend();
    m_errors.Clear();
    ++m_statements;
    BatchOutcome out;
    qCDebug(core::lcAdo) << "batch of" << commandText.size() << "characters";
    try {
        out = b.execute(commandText);
    } catch (const core::ComError& error) {
        // A back end that raises instead of reporting still leaves its error in Errors.
        m_errors.Append(errorOf(error));
        qCDebug(core::lcAdo) << "batch failed:" << error.description();
        throw;
    }
    if (!out.errors.isEmpty()) {
        qCDebug(core::lcAdo) << "batch failed:" << out.errors.first().nativeError
                             << out.errors.first().description;
        for (const Error& e : out.errors)
            m_errors.Append(e);
        const Error& first = out.errors.first();
        throw core::ComError(first.number, first.description, first.source);
    }
    return out;
}

RecordsetPtr Connection::Execute(const QString& commandText, core::Variant* recordsAffected,
                                 int /*options*/) {
    BatchOutcome out = run(commandText);
    if (recordsAffected)
        *recordsAffected = core::Variant::fromInt32(static_cast<qint32>(out.recordsAffected));
    if (out.resultSets.isEmpty())
        return std::make_shared<Recordset>();
    return std::make_shared<Recordset>(std::move(out.resultSets.first()));
}

BatchOutcome Connection::ExecuteBatch(const QString& commandText) {
    return run(commandText);
}

void Connection::BeginTrans() {
    backend().beginTransaction();
}

void Connection::CommitTrans() {
    backend().commitTransaction();
}

void Connection::RollbackTrans() {
    backend().rollbackTransaction();
}

int Connection::TransactionCount() {
    return m_backend ? m_backend->transactionCount() : 0;
}

} // namespace ado
