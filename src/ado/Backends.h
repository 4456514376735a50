#pragma once

#include <mutex>
#include <optional>

// The back ends behind ado::Connection. Private to the ADO layer.

#include "ado/Ado.h"

#include <QSqlDatabase>
#include <QVariant>

namespace tsql {
class Engine;
}

namespace ado::detail {

// A failure to open: the description of the raised error and the driver's messages.
struct OpenFailure {
    core::ComError error;
    QList<Error> driverErrors;
};

// A QSqlDatabase connection name no other Connection uses.
QString uniqueConnectionName();

// A value read through QtSql as a Variant: SQL NULL is Null, numbers keep their kind, exact
// numerics that arrive as text (high-precision policy) become Decimal.
core::Variant fromSqlValue(const QVariant& value, int fieldTypeId);

// SQL state a server message number belongs to (the driver's class for it).
QString sqlStateForMessage(int number);

// Provider=Embedded: a SQLite file whose command texts run through the embedded T-SQL engine.
class EmbeddedBackend : public Backend {
public:
    // Throws OpenFailure.
    explicit EmbeddedBackend(const ConnectionString& cs);
    ~EmbeddedBackend() override;
    void close() override;
    BatchOutcome execute(const QString& commandText) override;
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;
    int transactionCount() override;
    void setLimits(const CommandLimits& limits) override;
    IsolatedOutcome executeIsolated(const QString& commandText, bool writes, bool trace,
                                    tsql::ReadRest* read) override;
    void cancel() override;

private:
    QString m_name;
    std::unique_ptr<tsql::Engine> m_engine;
};

// Provider=MSOLEDBSQL / SQLOLEDB: Microsoft SQL Server through QODBC and the FreeTDS driver.
class SqlServerBackend : public Backend {
public:
    // Throws OpenFailure.
    explicit SqlServerBackend(const ConnectionString& cs);
    ~SqlServerBackend() override;
    void close() override;
    BatchOutcome execute(const QString& commandText) override;
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;
    int transactionCount() override;
    void setLimits(const CommandLimits& limits) override;
    IsolatedOutcome executeIsolated(const QString& commandText, bool writes, bool trace,
                                    tsql::ReadRest* read) override;
    void cancel() override;

private:
    // The settings of the session an isolated run puts back (SqlServerBackend.cpp).
    struct Session {
        int transactionCount = 0;
        qint64 options = 0; // @@OPTIONS
        int dateFirst = 7;
        QString language;
        QString dateFormat; // mdy, dmy, ...
    };
    // Reads them; nullopt (with the server's message in `error`) when the server does not answer.
    std::optional<Session> readSession(QString& error);
    // The statement that sets back what a run changed of `before`, seen in `after`.
    static QString restoreSession(const Session& before, const Session& after);

    void runOrThrow(const QString& text);
    // One command, with the query timeout of the limits.
    BatchOutcome run(const QString& commandText);
    QString m_name;
    bool m_open = false;
    int m_timeoutMs = 30000;
    // The statement of the user's batch while an isolated run executes it (see cancel()); the
    // mutex keeps the handle from being freed while another thread cancels it.
    std::mutex m_cancelMutex;
    void* m_cancellable = nullptr;
    bool m_runningUserBatch = false;
    // Whether sys.dm_exec_sessions tells the session's date format (a server of formule serve
    // has no such view: the date format is then read from how the server reads 01/02/03).
    bool m_sessionView = true;
};

} // namespace ado::detail
