#pragma once

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

private:
    void runOrThrow(const QString& text);
    // One command, with the query timeout of the limits.
    BatchOutcome run(const QString& commandText);
    QString m_name;
    bool m_open = false;
    int m_timeoutMs = 30000;
};

} // namespace ado::detail
