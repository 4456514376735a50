#pragma once

#include "core/Error.h"

#include <QString>
#include <QStringList>

namespace ado::setup {

enum class Dialect { Sqlite, SqlServer };

// The scripts compiled into the binaries (schema-sqlite.sql, schema-sqlserver.sql,
// demo-data.sql). Throws ComError when a script is missing from the build.
QString script(const QString& fileName);
QString schemaScript(Dialect dialect);
QString demoDataScript();

// Splits a script into statements at every ';' outside string literals and comments; the
// statements come without the ';', trimmed, and "--" line comments are dropped.
QStringList splitStatements(const QString& script);

// The embedded demo database of the user: <generic data location>/formule/demo.sqlite.
QString defaultDatabasePath();
// Provider=Embedded;Data Source=<path>, the path quoted when it needs it.
QString embeddedConnectionString(const QString& path);

// A failure of initialize: what went wrong, told apart because callers answer differently.
class SetupError : public core::ComError {
public:
    enum class Kind {
        Connection, // the database could not be opened or created
        Refused,    // demo rows asked for, but the tables already hold rows
        Failed      // a statement of a script failed (nothing was written)
    };
    SetupError(Kind kind, const core::ComError& error)
        : core::ComError(error.info())
        , m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

struct InitReport {
    bool fileCreated = false;  // the embedded database file did not exist
    QStringList tablesCreated; // tables that were missing and now exist
    int demoRows = 0;          // rows inserted from the demo script
};

// Creates what is missing of the database a connection string names: for Provider=Embedded
// the file (and its folder) and the tables, applied to SQLite directly; for SQL Server the
// tables, through the ADO layer. With `demo` it also inserts the demo rows, but only when
// none of the tables holds a row. Everything happens in one transaction: on failure
// nothing is written and a file created by the call is removed again. Throws SetupError.
InitReport initialize(const QString& connectionString, bool demo);

} // namespace ado::setup
