#pragma once

#include "tsql/base/ServerError.h"
#include "tsql/values/SqliteStatement.h"
#include "tsql/values/Value.h"

#include <QSqlDatabase>
#include <QVariantList>

#include <optional>

namespace tsql {

// Registers on the connection what generated SQL needs: the collation TSQL_CI (case- and
// trailing-blank-insensitive, as Latin1_General_CI_AS compares), tsql_like (LIKE with the
// server's wildcards), tsql_div (division that reports a zero divisor), tsql_to (conversion to a
// T-SQL type, which reports a value that does not convert), tsql_text (a value of a T-SQL type as
// CAST writes it), tsql_single (a scalar sub-query's row count), tsql_store (a value written to a
// column, with the column's checks), tsql_<name> for every built-in function the SQL text calls
// by the engine's own implementation (SqlForm::Engine of the function table, and TRIM with the
// characters to remove) and the aggregate tsql_string_agg (SqlForm::Ordered).
void registerSqliteFunctions(const QSqlDatabase& db);

// A server error raised inside one of those functions during the last statement.
std::optional<ServerError> takePendingError();
void clearPendingError();

} // namespace tsql
