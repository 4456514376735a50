#pragma once

#include "tsql/values/Value.h"

#include <QSqlDatabase>
#include <QVariantList>

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

} // namespace tsql
