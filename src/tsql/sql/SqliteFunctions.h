#pragma once

#include "tsql/Engine.h"

#include "tsql/values/Value.h"

#include <QSqlDatabase>
#include <QVariantList>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace tsql {

// The SQLite handle under a Qt connection, or null when it is no SQLite connection.
sqlite3* sqliteHandle(const QSqlDatabase& db);

// One statement prepared on a SQLite handle and read value by value, without the copies a
// QSqlQuery makes of every row. Finalized when it goes out of scope.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // False when the statement could not be prepared (errorText tells why).
    bool prepared() const { return m_stmt != nullptr; }
    // Binds the values in order: null, integer (qlonglong), floating (double) or text. Returns
    // SQLITE_OK, or SQLite's answer for the first value it refused (SQLITE_TOOBIG, ...).
    int bind(const QVariantList& params);
    // SQLITE_ROW while there is a row, SQLITE_DONE at the end, an error code otherwise.
    int step();
    // The current row's value as SQLite holds it: an integer (BigInt), a float, a text (blobs
    // read as UTF-8) or a null of unknown type.
    Value column(int index) const;
    // Ends the statement's run and clears its values, ready to be run again.
    void reset();
    // Rows changed by the statement, once it is done.
    qint64 changes() const;
    QString errorText() const;
    // SQLite's extended result code of the last failure.
    int errorCode() const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Registers on the connection what generated SQL needs: the collation TSQL_CI (case- and
// trailing-blank-insensitive, as Latin1_General_CI_AS compares), tsql_like (LIKE with the
// server's wildcards), tsql_div (division that reports a zero divisor), tsql_to (conversion to a
// T-SQL type, which reports a value that does not convert), tsql_single (a scalar sub-query's row
// count), tsql_store (a value written to a column, with the column's checks) and tsql_<name> for
// every built-in function the SQL text calls by the engine's own implementation (SqlForm::Engine
// of the function table).
void registerSqliteFunctions(QSqlDatabase db);

// A server error raised inside one of those functions during the last statement.
std::optional<ServerError> takePendingError();
void clearPendingError();

} // namespace tsql
