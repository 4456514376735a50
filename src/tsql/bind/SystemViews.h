#pragma once

// The catalogue views the engine answers (sys.tables, sys.columns, INFORMATION_SCHEMA.COLUMNS,
// ...): read-only relations with SQL Server's column names and types, computed when a query
// reads them from SQLite's schema of the database (its tables, their columns with the types as
// declared, their indexes). A query names them as on the server (sys.tables, [sys].[columns],
// INFORMATION_SCHEMA.TABLES); writing them is Msg 259.

#include "tsql/values/Value.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace tsql {

struct SystemView {
    QString schema; // "sys" or "INFORMATION_SCHEMA"
    QString name;   // "tables"
    QStringList columns;
    std::vector<SqlType> types;
    QString sql;        // the SQLite query that computes its rows, in the columns' order
    bool listed = true; // shown by sp_tables (the procedures' own rowsets are not)
};

// The view `schema`.`name` (case-insensitive), null for none.
const SystemView* findSystemView(const QString& schema, const QString& name);
// Every view, in a fixed order.
const std::vector<SystemView>& systemViews();

// What the catalogue says of a column's declared type (SQLite keeps the declaration as the
// table's statement wrote it): SQL Server's type name and ids, its sizes, and how ODBC's
// catalogue calls describe it (sp_columns).
struct ColumnTypeFacts {
    QString name;         // "int", "nvarchar", "decimal", ...
    int systemTypeId = 0; // sys.types.system_type_id
    int maxLength = 0;    // bytes; -1 for a (max) type
    int precision = 0;    // sys.columns.precision
    int scale = 0;        // sys.columns.scale
    bool identity = false;
    qint64 seed = 1, increment = 1; // an identity column's
    bool character = false;
    std::optional<int> charLength;  // characters (-1 for max), character types only
    std::optional<int> octetLength; // bytes (-1 for max), character types only
    std::optional<int> numericPrecision, numericRadix, numericScale, datetimePrecision;
    int odbcType = 0;      // DATA_TYPE of sp_columns (ODBC 3 codes)
    int odbcPrecision = 0; // PRECISION of sp_columns
    int odbcLength = 0;    // LENGTH of sp_columns
    int ssDataType = 0;    // SS_DATA_TYPE of sp_columns (not null)
};
ColumnTypeFacts columnTypeFacts(const QString& declaration);
// A field of columnTypeFacts by its name ("name", "system_type_id", ...) as SQLite's function
// tsql_coltype(declaration, field) returns it: text, a number or null.
QVariant columnTypeFact(const QString& declaration, const QString& field);
// A column's default as the server shows it (COLUMN_DEFAULT, sp_columns's COLUMN_DEF): a number
// in two parentheses, anything else in one; null for none.
QVariant defaultDefinition(const QVariant& sqliteDefault);

} // namespace tsql
