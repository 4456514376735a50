#pragma once

// The batch that runs a parameterised statement: the statement's parameters declared and
// given the call's values on the first line, then the statement as the client wrote it.

#include "tds/Requests.h"

namespace tds {

struct BoundBatch {
    QString text;
    int prefixLines = 0; // lines the declarations add before the statement's first line
};

// `declarations` as sp_executesql takes them ("@P1 int, @P2 nvarchar(10) OUTPUT"), the values
// from `values[first]` on, by name or in order. nullopt, with the reason in `error`, when a value
// names no declared parameter or the declarations cannot be read.
std::optional<BoundBatch> bindParameters(const QString& declarations, const QString& statement,
                                         const QList<RpcParameter>& values, qsizetype first, QString& error);

// Stored procedures the server answers, by their RPC number or name.
enum class Procedure { Unknown, ExecuteSql, Prepare, Execute, PrepExec, Unprepare, Catalog };
Procedure procedureOf(const RpcCall& call);

// A call of one of the catalogue's procedures the engine runs (sp_tables, sp_columns, sp_help)
// as the batch that calls it: EXEC with the call's values as literals, by name or in order.
// nullopt, with the reason in `error`, for a parameter name that is no plain @name.
std::optional<QString> catalogProcedureBatch(const RpcCall& call, QString& error);

} // namespace tds
