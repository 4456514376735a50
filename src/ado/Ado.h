#pragma once

#include "core/Error.h"
#include "core/RowSet.h"
#include "core/Variant.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <initializer_list>
#include <memory>
#include <optional>

namespace tsql {
struct Limits;
struct ReadRest;
struct ServerError;
} // namespace tsql

namespace ado {

// ADO's own error numbers beyond those core::err names.
namespace adoerr {
inline constexpr qint32 OperationNotAllowedOpen = 3705; // operation not allowed when the object is open
inline constexpr qint32 InvalidArgument = 3001;         // a malformed connection string
} // namespace adoerr

// One entry of a connection's Errors collection.
struct Error {
    qint32 number = 0;      // HRESULT-style number (core::err::ProviderError for server errors)
    QString description;    // the server's or driver's message
    qint32 nativeError = 0; // the server's message number (Msg N)
    QString sqlState;
    QString source;
    int line = 0;     // line of the batch the server reports
    int column = 0;   // column (ours; SQL Server reports none)
    int severity = 0; // level
    int state = 0;
};

class Errors {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    const Error& Item(int index) const; // throws ComError 3265 when out of range
    void Clear() { m_items.clear(); }
    void Append(const Error& e) { m_items.append(e); }
    const QList<Error>& items() const { return m_items; }

private:
    QList<Error> m_items;
};

class Field {
public:
    Field(QString name, core::Variant value)
        : m_name(std::move(name))
        , m_value(std::move(value)) {}
    const QString& Name() const { return m_name; }
    const core::Variant& Value() const { return m_value; }

private:
    QString m_name;
    core::Variant m_value;
};

class Recordset;

// The fields of the current row of a recordset.
class Fields {
public:
    explicit Fields(const Recordset* rs)
        : m_rs(rs) {}
    int Count() const;
    Field Item(int index) const;           // throws ComError 3265 when out of range, 3021 at BOF/EOF
    Field Item(const QString& name) const; // case-insensitive; same errors

private:
    const Recordset* m_rs;
};

// A static, client-side recordset: every row is fetched when the command runs, so
// RecordCount is always known.
class Recordset {
public:
    Recordset();
    explicit Recordset(core::RowSet rows);

    // BOF and EOF of ADO (EOF is a C macro, hence the names).
    bool IsBOF() const;
    bool IsEOF() const;
    qint64 RecordCount() const; // -1 when closed
    void MoveFirst();
    void MoveNext(); // throws 3021 when already at EOF
    void MoveLast();
    void Close();
    bool IsOpen() const { return m_open; }
    Fields GetFields() const { return Fields(this); }
    Field operator[](const QString& name) const { return GetFields().Item(name); }

    const core::RowSet& rowSet() const { return m_rows; }
    qint64 position() const { return m_pos; }

private:
    core::RowSet m_rows;
    qint64 m_pos = 0;
    bool m_open = false;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

// What a back end returns for one command text.
struct BatchOutcome {
    QList<core::RowSet> resultSets; // the rows of every SELECT that returned rows, in order
    qint64 recordsAffected = -1;
    QList<Error> errors; // empty when the batch succeeded
};

// Limits a connection puts on the commands it runs.
struct CommandLimits {
    int timeoutMs = 30000;            // wall clock of one command (ADO's CommandTimeout); 0 = none
    qint64 memoryBytes = 256LL << 20; // strings and rows one batch may build (embedded server)
    int lockWaitMs = 15000;           // wait for another connection's lock (embedded server)
    qint64 diskBytes = 0;             // pages one batch may write (embedded server); 0 = none
};

// The embedded engine's message as an entry of Errors, exactly as a batch run on an embedded
// connection reports it (for a caller that runs the engine's semantics without a connection).
Error embeddedError(const tsql::ServerError& error);
// The embedded engine's budgets for the limits of a command.
tsql::Limits embeddedLimits(const CommandLimits& limits);

// What a batch run in isolation left behind: nothing in the database, only its outcome.
struct IsolatedOutcome {
    BatchOutcome outcome;          // errors empty when the server accepted the batch
    int transactionCountAfter = 1; // @@TRANCOUNT when the batch ended; 1 = as the batch found it
    // Traced runs on a back end that can trace: the lines of the batch on which a statement ran,
    // ascending. nullopt when no trace was asked for or the back end has none (SQL Server).
    std::optional<QList<int>> executedLines;
};

// A back end (provider) behind a Connection.
class Backend {
public:
    virtual ~Backend() = default;
    virtual void close() = 0;
    virtual BatchOutcome execute(const QString& commandText) = 0;
    virtual void beginTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;
    // Transactions opened on the server and not yet closed (@@TRANCOUNT).
    virtual int transactionCount() = 0;
    // Applies to the commands that follow.
    virtual void setLimits(const CommandLimits& limits) = 0;
    // Runs the batch inside a transaction of its own (@@TRANCOUNT 1 when the batch starts) and
    // rolls everything back afterwards, whatever the batch did. `writes`: the batch changes
    // table data, so the back end may take its write lock first. Batch errors are reported in
    // the outcome, and so is a transaction already open on the embedded engine (Msg 40004);
    // throws ComError when the connection fails, or a transaction is open on SQL Server.
    // `trace` asks for IsolatedOutcome::executedLines where the back end can give them; `read`
    // is what the caller already read of the batch, for the embedded engine (see tsql::ReadRest).
    virtual IsolatedOutcome executeIsolated(const QString& commandText, bool writes, bool trace,
                                            tsql::ReadRest* read) = 0;
    // Stops the batch an isolated run is running now (the user's batch, never the statements
    // that end its transaction); called from another thread than the one running it. A back end
    // that cannot stop a batch lets it run to its own time limit.
    virtual void cancel() {}
};

// ADO-style Key=Value; connection string, keys case-insensitive, values may be quoted
// with "..." or '...'; later duplicates win.
class ConnectionString {
public:
    // Throws ComError with a description naming the offending part for malformed text.
    static ConnectionString parse(const QString& text);
    QString value(const QString& key) const; // "" when absent
    bool contains(const QString& key) const;
    const QMap<QString, QString>& values() const { return m_values; } // keys lower-case
    // The first of `keys` (aliases of one setting, lower-case) that is present, or "".
    QString firstOf(std::initializer_list<const char*> keys) const;
    // The key under which `firstOf` found its value (for messages), or "".
    QString keyOf(std::initializer_list<const char*> keys) const;
    // Sets a value (the key is stored lower-case), as Open does with its user and password.
    void set(const QString& key, const QString& value);

private:
    QMap<QString, QString> m_values;
};

// Keys that name the same setting, as ADO accepts them.
namespace keys {
inline constexpr std::initializer_list<const char*> Provider = {"provider"};
inline constexpr std::initializer_list<const char*> DataSource = {"data source", "server", "address", "addr",
                                                                  "network address"};
inline constexpr std::initializer_list<const char*> InitialCatalog = {"initial catalog", "database"};
inline constexpr std::initializer_list<const char*> UserId = {"user id", "uid", "user"};
inline constexpr std::initializer_list<const char*> Password = {"password", "pwd"};
inline constexpr std::initializer_list<const char*> IntegratedSecurity = {"integrated security",
                                                                          "trusted_connection"};
inline constexpr std::initializer_list<const char*> ConnectTimeout = {"connect timeout", "connection timeout",
                                                                      "timeout"};
inline constexpr std::initializer_list<const char*> Encrypt = {"encrypt", "use encryption for data"};
} // namespace keys

// The back ends a connection string can name.
enum class ProviderKind { Embedded, SqlServer };
// Provider value (case-insensitive, an optional ".N" version suffix allowed) to back end;
// throws ComError 3706 naming the provider and the key.
ProviderKind providerKind(const ConnectionString& cs);

// The DSN-less ODBC connection string for the FreeTDS driver that a SQL Server connection
// string maps to. Throws ComError naming the key that is missing or malformed.
QString odbcConnectionString(const ConnectionString& cs);

// Splits diagnostic text as the ODBC driver manager reports it ("[vendor][driver][server]message",
// several messages joined by blanks) into errors with the bracketed prefixes as source.
// Used when the driver's records cannot be read one by one.
QList<Error> parseDiagnosticText(const QString& text, const QString& sqlState = {}, int nativeError = 0);

// ADO Connection. Command texts run as one batch; a failing batch fills Errors and raises a
// ComError whose description is the first error's message. Nothing is written by a failed
// call to Open.
class Connection : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString READ connectionString WRITE setConnectionString)
    Q_PROPERTY(int State READ State)
public:
    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString& s) { m_connectionString = s; }

    // Options -1 = unspecified, as ADO. Empty connectionString uses the property.
    Q_INVOKABLE void Open(const QString& connectionString = {}, const QString& userId = {},
                          const QString& password = {}, int options = -1);
    Q_INVOKABLE void Close();
    int State() const; // 0 closed, 1 open

    // Runs the command text; returns the first result set as a static recordset (an empty,
    // closed recordset when the command returned no rows). recordsAffected receives the
    // count when not null.
    RecordsetPtr Execute(const QString& commandText, core::Variant* recordsAffected = nullptr,
                         int options = -1);
    // Runs the command text and returns every result set (for tools that show them all);
    // errors as Execute.
    BatchOutcome ExecuteBatch(const QString& commandText);

    // Runs a batch so that nothing it does stays (see Backend::executeIsolated), within
    // `limits` instead of the connection's own for this one run. Batch errors fill Errors and
    // are returned, not raised; raises when the run cannot be isolated.
    // `trace`: report the lines that ran where the back end can (IsolatedOutcome::executedLines).
    // `read`: what the caller already read of the batch (see tsql::ReadRest); other back ends
    // than the embedded one ignore it.
    IsolatedOutcome ExecuteIsolated(const QString& commandText, bool writes, const CommandLimits& limits,
                                    bool trace = false, tsql::ReadRest* read = nullptr);

    // Stops the batch that ExecuteIsolated is running on another thread (ADO's Cancel): the run
    // ends as its time limit would end it (Msg 3617 on the embedded engine, the driver's
    // "Operation canceled" on SQL Server). Safe to call from any thread while the connection is
    // open; a call while nothing runs may be forgotten, so a caller that must stop a run calls
    // again until the run has returned.
    void Cancel();

    // The limits of every command (ADO's CommandTimeout and the embedded server's budgets).
    void setLimits(const CommandLimits& limits);
    const CommandLimits& limits() const { return m_limits; }

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    int TransactionCount(); // open server transactions (0 when closed)

    Errors& GetErrors() { return m_errors; }
    const Errors& GetErrors() const { return m_errors; }

    // Statements sent through this connection, for tests and benchmarks.
    qint64 statementCount() const { return m_statements; }
    // The back end the connection was last opened with.
    ProviderKind providerKind() const { return m_kind; }

private:
    [[noreturn]] void raise(qint32 number, const QString& description);
    Backend& backend();
    BatchOutcome run(const QString& commandText);
    CommandLimits m_limits;
    ProviderKind m_kind = ProviderKind::Embedded;
    QString m_connectionString;
    std::unique_ptr<Backend> m_backend;
    Errors m_errors;
    qint64 m_statements = 0;
};

} // namespace ado
