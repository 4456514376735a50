#pragma once

// The rules of a table's columns that INSERT and UPDATE enforce, from the catalog's declared
// types and rules (ColumnRule): NOT NULL (Msg 515), the length of a character column
// (Msg 2628), the precision of a decimal one (Msg 8115), and IDENTITY (Msg 544, 8101, 8102).

#include "tsql/text/Ast.h"

namespace tsql {

// One column written by a statement: its table and place there, and the statement's kind.
struct StoreTarget {
    const TableSource* table = nullptr;
    int column = -1;
    bool update = false;
};

// The value `v` as the column keeps it, converted to its declared type: NULL into a NOT NULL
// column fails (Msg 515), as does a text longer than a character column unless what is cut is
// blanks (Msg 2628: SQL Server 2019 at compatibility level 150 with VERBOSE_TRUNCATION_WARNINGS
// ON), and a number too wide for a decimal one (Msg 8115).
Value storeValue(const Value& v, const SqlType& type, const ColumnRule& rule, const QString& column,
                 const QString& table, bool update);
Value storeValue(const Value& v, const StoreTarget& target);

// The value `v` converted for a later storeValue in SQLite (storeCall with `converted`): to the
// column's type, or for a character column to a text of any length, so the check is made there.
Value storeParam(const Value& v, const StoreTarget& target);

// The SQL text that stores `valueSql` into the column: tsql_store(...), a function of the
// connection that makes the checks of storeValue on every row written. `converted`: the value
// is already of the column's type (storeParam).
QString storeCall(const QString& valueSql, const StoreTarget& target, bool converted);

// Msg 515 for the column (a NOT NULL column without a default that an INSERT leaves out).
[[noreturn]] void nullNotAllowed(const QString& column, const QString& table, bool update);

} // namespace tsql
