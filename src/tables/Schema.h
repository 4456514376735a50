#pragma once

#include <QString>
#include <QStringList>

// The tables the formula editor reads and writes, as the set-up of a database sees them.
namespace tables {

// The eight tables, in creation order (the test cases and the formulas' versions last).
const QStringList& tableNames();

// Whether `table` holds a row: one row when it does, none when it is empty. The SQLite form is
// run on the file directly; the SQL Server form through the connection.
QString sqliteAnyRowStatement(const QString& table);
QString sqlServerAnyRowStatement(const QString& table);
// The object id of the table dbo.`table` on SQL Server: NULL when it does not exist.
QString sqlServerTableIdStatement(const QString& table);

} // namespace tables
