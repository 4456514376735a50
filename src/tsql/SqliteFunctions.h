#pragma once

#include "tsql/Engine.h"

#include <QSqlDatabase>

#include <optional>

namespace tsql {

// Registers on the connection what generated SQL needs: the collation TSQL_CI (case- and
// trailing-blank-insensitive, as Latin1_General_CI_AS compares), tsql_like (LIKE with the
// server's wildcards), tsql_div (division that reports a zero divisor) and tsql_call (every
// other built-in function, run by the engine's own implementation).
void registerSqliteFunctions(QSqlDatabase db);

// A server error raised inside one of those functions during the last statement.
std::optional<ServerError> takePendingError();
void clearPendingError();

} // namespace tsql
